// Builders of the view's marker lists: the orientation triad in screen space, the coordinate
// axes, the picked point and the centre of rotation.
#pragma once

#include "view/camera.h"

namespace mirexa {

// The point (mm) the last pick found; list 28 shows it while the picked-point state is above 0.
extern double PickedPoint[3];

// One arm of the triad: its screen direction (not unit) and whether it is drawn.
struct TriadArm {
    int visible = {};
    double direction[2] = {};
};

// The screen directions of the model axes X, Y, Z under the view's rotation (orientation code,
// then A about Z, then -B about X). Angles within 0.1 deg of a multiple of 90 take exact cosine
// and sine. An axis pointing straight at or away from the viewer is not visible.
void ComputeTriadArms(const ViewState& view, TriadArm arms[3]);

void BuildOrientationTriadList();  // list 1, in normalised device coordinates
void BuildCoordinateAxesList();    // list 2
void BuildPickedPointList();       // list 28; the picked-point state becomes 1
void BuildRotationCentreList();    // list 30

}  // namespace mirexa
