// Orientation frames of a turning table: the machine-side and work-side frames built from the
// work offsets, and the maps of scene points into the work and tool frames.
#pragma once

#include "geometry/machine_kinematics.h"

namespace mirexa {

// The two frames, each a 3x3 matrix by rows with its inverse, origin (mm) and a scaled copy that
// the view draws as an axis triad.
struct OrientationMatrices {
    double machineMatrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double machineInverse[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double machineOrigin[3] = {};
    double machineScaled[9] = {};  // 0.05 x machineMatrix
    double workMatrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double workInverse[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double workOrigin[3] = {};
    double workScaled[9] = {};         // 0.2 x workMatrix
    MotionPosition workPosition = {};  // external offset plus the current work offset entry
    unsigned char viewDirty = {};      // 1 after every rebuild, cleared by the view
};
extern OrientationMatrices Orientation;

// The run's work offset table and current index, which live with the NC interpreter; it fills
// these at start-up. Null hooks read as zero entries and index 0.
struct WorkOffsetHooks {
    // Copies entry `index` (0..200: X, Y, Z mm, rotary 1, rotary 2 deg) into out.
    void (*readEntry)(int index, double out[5]) = {};
    // The current work offset index (0 for none).
    int (*currentIndex)() = {};
};
extern WorkOffsetHooks WorkOffsetSource;

// What the view shows of the table, kept by the scene drawing.
struct SceneFollowSettings {
    int followLinearAxes = {};         // the view moves with the table's linear axes
    int followRotaryAxes = {};         // the view turns with the table's rotary axes
    double tableDisplacement[3] = {};  // mm, the table's linear displacement in the scene
};
extern SceneFollowSettings SceneFollow;

// A frame from a position's X, Y, Z and rotary angles; scaled = scale x matrix.
void BuildOrientationMatrix(const MotionPosition& position, double origin[3], double matrix[9],
                            double scale, double scaled[9]);
// Turns a point about rotary axis 1 (plain or with its tilt) by the angle with this cos and sin.
void RotateAboutFirstRotaryAxis(const double point[3], double c, double s, double out[3]);
// Plain turn in rotary axis 2's plane.
void RotateAboutSecondRotaryAxis(const double point[3], double c, double s, double out[3]);
void UpdateToolMatrixFromPosition();
// The work-side frame from entry 0 (the external offset) plus the current entry: of the run's
// table (WorkOffsetSource), or of the given table of 201 entries.
void UpdateToolMatrixWithWorkOffset();
void UpdateToolMatrixWithWorkOffset(const MotionPosition table[], int currentIndex);
// The work origin of a table of 201 entries: entry 0 (the external offset) plus entry `index`
// when it is 1..200.
MotionPosition WorkOffsetSum(const MotionPosition table[], int index);
// Nᵀ (p - work origin), N the inverse of the work-side matrix.
void TransformToToolFrame(const double point[3], double out[3]);
// A machine-frame scene point into work coordinates through the table geometry.
void ConvertMachineToWorkPosition(KinematicsSessionRecords& kinematics, const double point[3],
                                  double out[3]);

}  // namespace mirexa
