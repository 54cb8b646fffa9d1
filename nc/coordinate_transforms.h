// Block coordinate transforms: plane selection, scaling, in-plane rotation and the G68 stack,
// work offsets and their changes, work offsets turned with the rotary table, tilted work plane
// matrices, the tool length offset of the current tool, the fixed head offset and the reset of
// the position registers.
#pragma once

#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"

namespace mirexa {

struct NcSession;

// Maps run.modal.planeCode (17, 18 or 19; any other value counts as 19) through the
// controller's plane table: the first machine plane (XY, ZX, YZ) whose code is the program plane
// or its negative sets the plane code (with that sign) and the axis triple: (0, 1, 2) for 17,
// (2, 0, 1) for 18, (1, 2, 0) for 19.
void SelectPlaneAxes(NcSession& session);

// value := (value - centre) * factor + centre when scaling is on and enabled for the axis (0..2);
// the common factor when the block gave one, else the axis factor.
void ScaleAxisValue(NcSession& session, int axis, double* value);
// The two plane axes of point scaled as above (not in a G92 block), the normal copied.
void ScalePlanePoint(NcSession& session, const PlaneAxes& axes, const double point[5],
                     double out[3]);

// Turns point (3 or more doubles) about centre in the plane of axes.first and axes.second by
// the angle with this cosine and sine. For a 3-D rotation (threeD set) the point turns about the
// origin and the centre is added afterwards on all three axes.
void RotatePointInPlane(double point[], const PlaneAxes& axes, double c, double s,
                        const double centre[3], int threeD);

// G68 at its word: opens the programming of a new rotation level about the current end, or
// about the origin when the rest of the block holds I, J or K (centreFromWords). The G68 block
// itself makes no move.
void BeginCoordinateRotation(NcSession& session, int centreFromWords);
// At the end of a G68 block: completes the level (default angle, axes by kind, exact sine and
// cosine at multiples of 90 deg) while fewer than two levels exist.
void FinishCoordinateRotation(NcSession& session);

// The work origin of an entry: external offset + coordinate-setting shift + entry + the entry's
// local shift, from the run's copy of the work offset table. An index outside 0..200 counts as 0.
void ComputeWorkOrigin(NcSession& session, int index, MotionPosition* origin);
// Adds delta (5 doubles) to every position register: the move's start, end and last position,
// the programmed values and the pose's program position.
void ShiftPositionRegisters(NcSession& session, const double delta[5]);
// Selects work offset entry newIndex (1..200): every position register is re-based so that the
// program position is expressed in the new work coordinates; the work-side frame is rebuilt.
// Returns 0 (nothing changed) for an index outside 1..200.
int ChangeWorkOffset(NcSession& session, int newIndex);
// The work origin after a G52 or G92 change of the shifts; positions re-based as above.
void ReapplyWorkOrigin(NcSession& session);

// Writes the work offset entry for target (1..48: entry target + 6; 55..59: entry target - 53)
// from the current entry turned about the rotary table by the position's rotary values; the two
// rotary values are copied. Returns 0 for any other target (nothing written).
int ApplyWorkOffsetWithTable(NcSession& session, const MotionPosition& position, int target);
// Writes work offset `to` (G code 54..59) from `from` (54..59) turned by the angles (deg) about
// the table; 0 for codes outside 54..59.
int CopyWorkOffsetWithTable(NcSession& session, int from, const double origin[3],
                            const double angles[2], int to);

// 1 for a rotation-order code the matrix code knows (57, 45, 54, 30, 39, 27, each also with bit
// 7 set, and 125 and 155); 0 for any other.
int IsKnownRotationOrder(int code);
// Plane matrix := identity turned about its own X by angle 1, Y by angle 2, Z by angle 3; its
// inverse; a zero origin.
void BuildRotationFromAngles(NcSession& session);
// Applies the plane angles in the order of plane.rotationOrderCode to the current
// matrix (incremental) or the identity. Returns 0 and leaves the plane as it was for an unknown
// code.
int BuildTiltedPlaneMatrix(NcSession& session, int incremental);
// The G68.2 form: Euler angles about Z, X and Z (deg), exact at multiples of 90 deg.
void BuildEulerPlaneMatrix(NcSession& session, const double angles[3]);

// Sets the current offset number to the current tool, fills its H offset and wear by the TOOL
// BASE POINT setting and sets the effective tool length.
void SetLengthOffsetForCurrentTool(NcSession& session);
// Adds the fixed head offset vector to a point (X and Z); with cylindrical interpolation on the
// plane normal; while a rotation is active only the length on the length-offset axis.
void AddFixedOffsetToPoint(NcSession& session, double point[3]);
// Every position register (start, end, programmed, last, program position) := the start point,
// after the tool centre point control ended. In the HEIDENHAIN and SIEMENS dialects the start
// point is derived from the machine position through the kinematics (the tool pose is refreshed
// from it too); otherwise from the tool point corrected by the tool length along the tool axis.
void ResetPositionsToStartPoint(NcSession& session);

// Tool axis from programmed orientation angles (deg) for the convention 0 (Euler), 1 (RPY) or 2.
void ComputeToolAxisFromAngles(double axis[3], const double angles[3], int convention);
// Wire arcs: the arc length from the radii corrected by the taper angles t1, t2 (rad) and the
// wire height h (mm); clockwise for motion type 2.
void ComputeWidthFactor(NcSession& session, double* length, double sweep, double r1, double r2,
                        double t1, double t2, double h, int motionType);

}  // namespace mirexa
