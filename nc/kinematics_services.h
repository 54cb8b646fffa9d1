// Interpreter services that set the kinematics inputs: the work origin, the fixed head-offset
// vector and the rotary shortest-path flags.
#pragma once

#include "geometry/machine_kinematics.h"

namespace mirexa {

struct NcSession;

// Points the orientation frames at the run's copy of the work offset table and the interpreter's
// current work offset index.
void InstallWorkOffsetSource();

// Work origin := entry 0 of the run's work offset table, plus the entry of the current work
// offset index when it is 1..200; then rebuilds the work-side frame.
void ApplyCurrentWorkOffset(NcSession& session);

// The five components of the work origin that ApplyCurrentWorkOffset sets: entry 0 of the run's
// work offset table plus the entry of the current index when it is 1..200.
MotionPosition ActiveWorkOrigin(NcSession& session);

// The linear part (X, Y, Z mm) of the work origin that ApplyCurrentWorkOffset would set: entry 0
// plus the current entry when its index is 1..200.
void ReadCurrentWorkOffset(NcSession& session, double out[3]);

// Fixed head-offset vector := (sin a * L, 0, cos a * L) for the angle a (deg) and the effective
// tool length L; (0, 0, L) in the MAZAK dialect on a non-lathe without a fixed angle head.
void SetToolVectorFromAngle(NcSession& session, double angle);

// Switches the shortest-path flag of each rotary axis, except on an axis whose flag is locked by
// the machine definition or whose enabled stroke spans less than 360 deg.
void SetRotaryShortestPath(NcSession& session, int on);

}  // namespace mirexa
