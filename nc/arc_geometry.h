// Arc geometry of a move: the centre from I, J, K or from a signed radius R, the unit radial
// vectors, the start and end radii, the sweep and the arc length, and the arc radius checks.
#pragma once

#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"

namespace mirexa {

// Where the centre of an arc comes from.
constexpr int kCentreNone = 0;
constexpr int kCentreOffsets = 1;  // I, J, K: offsets from the start per machine axis
constexpr int kCentreRadius = 2;   // R: signed radius, positive for the arc of 180 deg or less

struct ArcWords {
    int centreSource = kCentreNone;
    double offsets[3] = {};   // mm per machine axis (I on X, J on Y, K on Z)
    double radius = {};       // mm, signed
    int directionGiven = {};  // 1 when the block chose the direction itself (HEIDENHAIN DR)
};

// Fills the arc fields of `move` (motion type 2 or 3, start and end set) in the plane `plane`:
// the arc axis, the centre (its normal coordinate is the start's), the radial vectors, the radii,
// the sweep (0 < sweep <= 2 pi) and the arc length. An arc whose end equals its start in the
// plane (to 1e-9 mm) is a full circle, whatever its start radius, except when its centre came from
// R or from no centre word: then the sweep and length are 0.
//
// Checks, each setting `*error` to kNcErrorArcRadius: the start and end radii differ by at least
// `tolerance` (mm); either radius is below `minimumRadius` (mm, one least input increment), so
// no arc direction exists; an R arc whose half chord exceeds |R| by at least `tolerance` (the
// arc cannot reach its end; its centre is then the chord's middle point). Without a failed check
// *error is left as it was.
void ComputeArcGeometry(const PlaneAxes& plane, const ArcWords& words, double tolerance,
                        double minimumRadius, MotionRecord* move, int* error);

// Radial vectors, radii, sweep and length of `move` from its start, end and centre (already set):
// the sweep is the angle between the radial vectors, 2 pi minus it when the arc turns the long
// way for its direction, and 2 pi for an angle of exactly 0 or an end at the start (to 1e-9 mm).
void ComputeArcFromCentre(const PlaneAxes& plane, MotionRecord* move);

}  // namespace mirexa
