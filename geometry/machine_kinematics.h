// Five-axis machine kinematics: the machine, tool and mode records the kinematics reads, and the
// conversions between program position, machine position and tool pose for every rotary type.
//
// The machine geometry and the controller settings are the definition files'; the other records
// are an NC session's (KinematicsSessionRecords), which every function that reads or writes them
// takes. The conversions that read only the machine geometry, the tool values, the work origin,
// the tilted plane or the move also come in a form that takes just those records.
#pragma once

#include "services/run_mode.h"

namespace mirexa {

// --- Positions and poses -------------------------------------------------------------------

// X, Y, Z in mm, then rotary axis 1 and rotary axis 2 in degrees.
struct MotionPosition {
    double axis[5] = {};
};

// The tool tip point (mm, work coordinates) and the tool axis (unit vector, tip to spindle).
struct ToolPose {
    double point[3] = {};
    double axis[3] = {0, 0, 1};
};

// The current pose: program position P (work coordinates), machine position M, the tool pose,
// and the sine and cosine of direction sign * machine angle for both rotary axes.
struct MachinePose {
    MotionPosition program = {};
    MotionPosition machine = {};
    ToolPose tool = {};
    double sin1 = {};
    double cos1 = 1;
    double sin2 = {};
    double cos2 = 1;
};

// The current move. The NC interpreter fills it; the kinematics writes the end position E and the
// transformed end E' in the modes where the program position is derived from the machine.
struct MotionRecord {
    MotionPosition start = {};
    MotionPosition end = {};             // E
    MotionPosition transformedEnd = {};  // E'
    int motionType = {};       // 0 rapid, 1 line, 2 clockwise arc, 3 counter-clockwise, 132 NURBS
    double arcCentre[3] = {};  // mm
    int arcNormalAxis = 2;     // index of the arc plane's normal (2 for XY)
    double radius = {};        // mm, the start radius of an arc
    double sweep = {};         // rad
    double length = {};        // mm
    double feed = {};          // mm/min
    // Arc geometry kept by the NC interpreter: unit radial vectors from the centre to the start
    // and end, the end radius (mm), the arc axis (unit normal of the arc plane) and the frame
    // vector (arc axis x start radial, set when a rotation turns the arc).
    double startRadial[3] = {};
    double endRadial[3] = {};
    double endRadius = {};
    double arcAxis[3] = {0, 0, 1};
    double arcFrame[3] = {};
    // The end after tool length, rotation, scaling and mirror; the previous last position (where
    // the move starts on the machine side); the arc centre after the same transforms; the end
    // of a reference return given in machine coordinates.
    MotionPosition lastPosition = {};
    MotionPosition startPoint = {};
    double transformedCentre[3] = {};
    MotionPosition machineTarget = {};
    // 1 when the block named an axis, turns a circle (a whole circle may name none) or the move
    // is a sub-move.
    int blockHasMotion = {};
    int lookaheadReplay = {};   // 1 for a queued point handed out under compensation
    int cycleMoveFlag = {};     // 1 when a cycle point moves up, or down from its third point
    int arcMirrorPending = {};  // 1 for an arc until a mirror swapped its direction once
    // Per-step tool frame: reference vector at step i = referenceStart + i * referenceStep.
    double referenceStart[3] = {};
    double referenceStep[3] = {};
    // Spindle orientation of the move (rad); both 0 means no spindle turn of the frame.
    double spindleStartAngle = {};
    double spindleSecondAngle = {};
    // Plane of the spindle turn in the tool-axis frame: 0 axis-along and second cross component,
    // 1 the two cross components (+angle), -1 the same with -angle, 2 as 0 in the opposite sense.
    int spindleAxisChoice = 1;
};

// The work origin W: external offset plus the current work offset entry (mm, mm, mm, deg, deg).
// Kept by the NC interpreter whenever the work offset changes.

// --- Machine geometry ----------------------------------------------------------------------

// How a rotary axis is tilted away from its machine axis.
enum RotaryTiltKind { kTiltNone = 0, kTiltAngle = 1, kTiltVector = 2 };

// One rotary axis: the machine axis it turns about (0 X, 1 Y, 2 Z) and the two plane indices in
// cyclic order, its direction sign, and its tilt. Angle tilt: the axis direction is
// tiltCos * e_axis + tiltSin * e_planeP. Vector tilt (axis 0 or 1 only): elevation (tiltCos,
// tiltSin) from the XY plane and azimuth (azimuthCos, azimuthSin) from the axis towards the other
// horizontal axis.
struct RotaryAxisFrame {
    int axis = {};
    int planeP = 1;
    int planeQ = 2;
    int sign = 1;  // -1 when the axis turns the other way (REVERSE)
    int tiltKind = kTiltNone;
    double tiltCos = 1;
    double tiltSin = {};
    double azimuthCos = 1;
    double azimuthSin = {};
};

// Stroke limits of X, Y, Z (mm) and rotary 1, rotary 2 (deg), each with an enable flag.
struct StrokeLimits {
    int enabled[5] = {};
    double min[5] = {};
    double max[5] = {};
};

// The machine geometry the kinematics reads (filled by the machine file reader).
struct MachineGeometry {
    int rotaryType = {};  // 0 none, 1 head-head, 2 table-table, 3 mixed (head axis 1, table axis 2)
    RotaryAxisFrame rotary[2] = {{0, 1, 2}, {2, 0, 1}};
    double headPosition[3] = {};   // HP, mm
    double headOffset[3] = {};     // HO, mm (type 1 only)
    double tablePosition[3] = {};  // TP, mm
    double tableOffset[3] = {};    // TO, mm (type 2 only)
    // Centre of rotary axis 2 for the frames: TP with TO added on axis 2's plane indices.
    double secondTableCentre[3] = {};
    double toolDirection[3] = {0, 0, 1};  // base tool axis b
    int toolDirectionTilted = {};         // 1 when b differs from (0, 0, 1)
    int headRotation = {};                // 1 for a fixed angle head
    int shortestPathLock[2] = {};         // 1: the rotary axis keeps its shortest-path flag
    StrokeLimits strokes = {};
};
extern MachineGeometry CurrentMachine;

// Controller settings the kinematics and the rotary solutions read.
struct KinematicsControllerSettings {
    int heidenhain = {};  // dialect flags
    int siemens = {};
    int mazak = {};
    int lathe = {};          // 1 for a lathe controller
    int angleDecision = {};  // 0 default, 1 FANUC-2
    int warningLevel = 1;    // the long rotary move warning file is written when >= 1
    char axisLetters[5] = {'X', 'Y', 'Z', 'A', 'C'};
};
extern KinematicsControllerSettings KinematicsController;

// Values of the current tool (mm).
struct KinematicsToolValues {
    double gaugeLength = {};         // G: tool holder offset plus the top of the tool profile
    double toolShift = {};           // S: the tool's SHIFT value
    double lengthOffset = {};        // H: the effective tool length / active length offset
    double fixedHeadOffset[3] = {};  // subtracted from block ends with AUTOMATIC TOOL OFFSET
};

// --- Mode inputs ---------------------------------------------------------------------------

// Modes set by the NC interpreter, the controller file and the simulation run.
struct KinematicsModeFlags {
    int positionSource = {};         // 2: the machine position is the given quantity
    int toolCenterControl = {};      // 0 off, 1 TYPE1, 2 TYPE2
    int tclCoordinate = {};          // 0 TABLE, 1 program side
    int machineCoordinateMove = {};  // G53 block
    int lastGCode = {};              // 531 for G53.1
    int planeCoordinates = {};       // 1: program positions are in tilted-plane coordinates
    int polarInterpolation = {};
    int cylindricalInterpolation = {};
    int cylindricalIndex[2] = {};  // position indices feeding machine X and angle 2
    int lengthCompensation = {};
    int lengthCompensationAxis = 2;
    int automaticToolOffset = {};  // AUTOMATIC TOOL OFFSET YES
    int keepProgrammedAngles = {};
    int preferredRotarySign = {};        // 0 any, 1 positive, -1 negative
    unsigned char shortestPath[2] = {};  // per rotary axis: turn the shorter way
    int incrementalMode = {};            // G91
    RunMode runMode = RunMode::kIdle;  // copy of the cutting run mode; kIdle when no run is active
    // The automation's batch kind of the cutting run (kNone for a user's run or no run).
    BatchRunKind batchKind = BatchRunKind::kNone;
    int previousSolutionCount = {};  // candidates that fitted at the last solve
};

// The tilted working plane. Q by rows (row 0 the plane X axis, row 1 Y, row 2 Z, in machine
// coordinates), its transpose, the plane origin O (mm), the three plane angles (deg), the two
// stored rotary angles (deg) and the rotation-order code.
struct TiltedWorkPlane {
    int active = {};
    int mode = {};  // 2: take the stored rotary angles
    double matrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double transposed[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double origin[3] = {};
    double planeAngles[3] = {};
    double storedAngles[2] = {};
    int rotationOrderCode = {};
};

// Reference angles (deg) and table turn sine/cosine pairs of tool centre point control.
struct TcpTableFrame {
    double referenceAngle[2] = {};
    double sin1 = {};
    double cos1 = 1;
    double sin2 = {};
    double cos2 = 1;
};

// The machine records one interpretation moves: the pose, the move, the work origin, the tool
// values, the modes, the tilted plane and the tool centre point frame. The run owns one
// (RunKinematics); another puller (the tool path) owns its own and binds it on its thread, so that
// the names above read and write that puller's records there and the run's records everywhere else.
struct KinematicsSessionRecords {
    MachinePose pose = {};
    MotionRecord motion = {};
    MotionPosition workOrigin = {};
    KinematicsToolValues toolValues = {};
    KinematicsModeFlags modes = {};
    TiltedWorkPlane plane = {};
    TcpTableFrame tcp = {};
};
// The machine records of the run's session (RunSession).
extern KinematicsSessionRecords RunKinematics;

// --- Rotations -----------------------------------------------------------------------------

// out[a] = v[a]; out[p] = c v[p] - s v[q]; out[q] = c v[q] + s v[p]. out may alias v.
void RotateInAxisPlane(const double v[3], double out[3], double c, double s, int a, int p, int q);

// Turn by angle (sin, cos) about the axis tiltCos * e_a + tiltSin * e_p.
void RotateAboutTiltedAxis(const double v[3], double out[3], double tiltSin, double tiltCos,
                           double angleSin, double angleCos, int a, int p, int q);

// Turn about an axis given by elevation and azimuth, for axis index k of 0 or 1.
void RotateAboutDoublyTiltedAxis(const double v[3], double out[3], double elevationSin,
                                 double elevationCos, double azimuthSin, double azimuthCos,
                                 double angleSin, double angleCos, int k, int p, int q);

// Turn about rotary axis `index` (0 or 1) by the angle whose sin and cos are given (direction
// sign already applied), with the axis's tilt when the rotary type allows it.
void RotateAboutRotaryAxis(const MachineGeometry& machine, int index, const double v[3], double s,
                           double c, double out[3]);
void RotateAboutRotaryAxis(int index, const double v[3], double s, double c, double out[3]);

// Unit direction of rotary axis `index` (0 or 1), with its tilt when the rotary type allows it.
// The turns above are right-handed about this direction.
void RotaryAxisDirection(const MachineGeometry& machine, int index, double n[3]);
void RotaryAxisDirection(int index, double n[3]);

// Turn by machine angle 1 / both machine angles from the cached sines and cosines of
// the session's pose, in the order of the tool axis map. Axis 1 turns with its tilt only where
// the rotary type allows one (never on a head-head machine), exactly as in the tool axis map.
void RotateByFirstRotaryAngle(KinematicsSessionRecords& kinematics, const double v[3],
                              double out[3]);
void RotateByBothRotaryAngles(KinematicsSessionRecords& kinematics, const double v[3],
                              double out[3]);

// Turns a vector as the tool axis is turned by the angles (deg).
void RotateVectorByRotaryAngles(const MachineGeometry& machine, const double angles[2],
                                const double v[3], double out[3]);
void RotateVectorByRotaryAngles(const double angles[2], const double v[3], double out[3]);

// Tool axis for the angles (deg): the base axis turned, components below 1e-9 set to 0.
void ComputeToolAxisFromRotaryAngles(const MachineGeometry& machine, const double angles[2],
                                     double axis[3]);
void ComputeToolAxisFromRotaryAngles(const double angles[2], double axis[3]);

// Sets components of magnitude below 1e-9 to exactly 0.
void SnapToolAxis(double axis[3]);

// --- Forward and inverse kinematics --------------------------------------------------------

// Tool tip point (mm) and tool axis for a machine position (mm, deg), with the gauge length G.
// axis may be null.
void ComputeToolTipAndAxis(const MachineGeometry& geometry, const KinematicsToolValues& tool,
                           const double machine[5], double point[3], double axis[3]);
void ComputeToolTipAndAxis(KinematicsSessionRecords& kinematics, const double machine[5],
                           double point[3], double axis[3]);
// Machine X, Y, Z (mm) that put the tool point at `point` with the angles (deg): the inverse of
// the above with the gauge length G.
void ComputeMachinePositionFromToolPoint(const MachineGeometry& geometry,
                                         const KinematicsToolValues& tool, const double point[3],
                                         const double angles[2], double machineXyz[3]);
void ComputeMachinePositionFromToolPoint(KinematicsSessionRecords& kinematics,
                                         const double point[3], const double angles[2],
                                         double machineXyz[3]);
// The same with the active length offset H on head machines and G + H - S on the table.
void ComputeMachinePositionWithToolLength(const MachineGeometry& geometry,
                                          const KinematicsToolValues& tool, const double point[3],
                                          const double angles[2], double machineXyz[3]);
void ComputeMachinePositionWithToolLength(KinematicsSessionRecords& kinematics,
                                          const double point[3], const double angles[2],
                                          double machineXyz[3]);
// Distances (mm) of the tool tip from rotary axis 1 and 2 at a machine position.
void ComputeRotaryRadius(const MachineGeometry& geometry, const KinematicsToolValues& tool,
                         const double machine[5], double radii[2]);
void ComputeRotaryRadius(KinematicsSessionRecords& kinematics, const double machine[5],
                         double radii[2]);

// --- Work origin and tilted plane ----------------------------------------------------------

void SubtractWorkOffset(const MotionPosition& origin, const double position[5], double out[5]);
void SubtractWorkOffset(KinematicsSessionRecords& kinematics, const double position[5],
                        double out[5]);
void AddWorkOffset(const MotionPosition& origin, const double position[5], double out[5]);
void AddWorkOffset(KinematicsSessionRecords& kinematics, const double position[5], double out[5]);
// Q (p - O - W) and its inverse Q^T p + O + W.
void ConvertMachineToPlane(const TiltedWorkPlane& plane, const MotionPosition& origin,
                           const double point[3], double planePoint[3]);
void ConvertMachineToPlane(KinematicsSessionRecords& kinematics, const double point[3],
                           double planePoint[3]);
void ConvertPlaneToMachine(const TiltedWorkPlane& plane, const MotionPosition& origin,
                           const double planePoint[3], double point[3]);
void ConvertPlaneToMachine(KinematicsSessionRecords& kinematics, const double planePoint[3],
                           double point[3]);

// --- Pose updates --------------------------------------------------------------------------

// Brings the records' pose (and in the reverse modes P, E and E') up to date from their modes,
// work origin, tool values, tilted plane and tool centre point frame.
void UpdateMachinePosition(KinematicsSessionRecords& records);
// The same steps on caller positions, for the path drawing; see the .cpp for the differences.
void ConvertPathPointToMachine(KinematicsSessionRecords& records, const MotionPosition& program,
                               MotionPosition* machine, double point[3], double axis[3]);
void ConvertPathPointToMachineNoPlane(KinematicsSessionRecords& records,
                                      const MotionPosition& program, MotionPosition* machine,
                                      double point[3], double axis[3]);

// Turns a point (mm) with the table by the turns whose sines and cosines are given (direction
// signs applied): on a table-table machine by axis 1, then by axis 2 about its offset centre; on
// a mixed machine by axis 2 about the table position, the coordinate along axis 2 kept. Other
// rotary types leave the point as it is. out may alias point.
void TurnPointWithTable(const MachineGeometry& machine, const double point[3], double s1, double c1,
                        double s2, double c2, double out[3]);
void TurnPointWithTable(const double point[3], double s1, double c1, double s2, double c2,
                        double out[3]);
// Turns a point by the table turn of tool centre point control (the session's tool centre point
// frame pairs).
void RotatePointAboutTableCentre(KinematicsSessionRecords& kinematics, double point[3]);
// Fills the session's tool centre point frame when tool centre point control starts, from the
// program angles (deg).
void FillTcpTableFrame(KinematicsSessionRecords& kinematics, const double programAngles[2]);

// --- Tool frame per step -------------------------------------------------------------------

// Turns v about the frame of tool axis A (roll given by C) by the spindle angle (rad) in the plane
// chosen by `choice` (see MotionRecord::spindleAxisChoice). v is in/out.
void RotateByToolAxisAngles(const double axisA[3], const double rollC[3], double v[3],
                            double spindleAngle, int choice);
// Per-step tool frame of a move (the current one without the record) at step i.
void ComputeToolFrameAtStep(const MotionRecord& motion, const double point[3], double spindleStep,
                            int i, double direction[3], double reference[3]);
void ComputeToolFrameAtStep(KinematicsSessionRecords& kinematics, const double point[3],
                            double spindleStep, int i, double direction[3], double reference[3]);

}  // namespace mirexa
