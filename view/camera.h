// The camera of the 3D view: a turntable (angle A about model Z, tilt B about the screen's
// horizontal axis) around a centre of rotation, with zoom, a fixed eye offset, an orthographic or
// perspective projection and the machine's fixed quarter-turn orientation; the GL matrices, the
// software projection of model points that matches them, and the drag, wheel and pan operations.
//
// Units: angles in degrees; the centre of rotation and every drawn coordinate in display units
// (model millimetres divided by DisplayUnitFactor); window positions in pixels, y downwards.
#pragma once

#include <cstdint>

namespace mirexa {

// The divisor applied to every model coordinate (mm) before drawing. 500.0 at start; the shell
// resets it from the stock size when a stock is made.
extern double DisplayUnitFactor;

// Projection constants: near and far planes (display units) and the vertical field of view of
// the perspective projection (deg).
constexpr double kViewNearPlane = 0.01;
constexpr double kViewFarPlane = 15.0;
constexpr double kViewFieldOfView = 30.0;
// The scene centre lies this far in front of the eye (display units, negative: along -z).
constexpr double kViewEyeOffset = -4.0;

// Mouse tools that drive the camera (the rest belong to the view window).
constexpr int kMouseModeRotate = 11;
constexpr int kMouseModeZoom = 12;
constexpr int kMouseModePan = 13;

struct ViewState {
    double angleA = 315.0;             // deg, about model Z, kept in [0, 360)
    double angleB = 45.0;              // deg, tilt, kept in [0, 360]
    double cosA = 0.7071067811865476;  // of the start angles, until UpdateViewTrig
    double sinA = -0.7071067811865476;
    double cosB = 0.7071067811865476;
    double sinB = 0.7071067811865476;
    double startAngleA = 315.0;  // ANGLE-A, restored by the reset key
    double startAngleB = 45.0;   // ANGLE-B
    double zoom = 1.0;
    double centre[3] = {};  // display units
    double eyeOffset = kViewEyeOffset;
    int perspective = {};  // 0 orthographic, 1 perspective
    // tan(field of view / 2): constant, so it is set once here and the perspective scale is
    // valid from the start, whichever projection was set last.
    double tanHalfFieldOfView = 0.2679491924311227;  // tan 15 deg
    int orientationCode = {};                        // AXIS DIRECTION code, 0 .. 43
    int width = {};                                  // view size, pixels
    int height = {};
    double aspect = 1.0;  // width / height
    double halfWidth = {};
    double halfHeight = {};
    // Pixels per display unit at the centre's depth in perspective:
    // (halfHeight / tanHalfFieldOfView) / |eyeOffset|.
    double perspectiveScale = {};
    std::uint8_t viewChanged = {};  // set by every camera change, cleared by the view window
    // Drag bookkeeping.
    int lastDragX = {};
    int lastDragY = {};
    std::uint64_t dragTick = {};  // ms of the last rotating drag step, 0 after zoom and pan
    int lastRotationAxis = {};    // 1 A, 2 B
    int lastRotationStep = {};    // signed steps of 2.5 deg of the last rotation
};

// The view's camera. Used on the user-interface thread only.
extern ViewState CurrentView;

// Restores the start state: angles from the start angles, zoom 1, centre 0, trig refreshed.
void ResetViewState(ViewState* view);

// Sets the view size (pixels, each at least 1): the aspect, the half sizes and the perspective
// scale; marks the view changed.
void SetViewSize(ViewState* view, int width, int height);

// Refreshes cos and sin of A and B, exact at multiples of 90 deg.
void UpdateViewTrig(ViewState* view);

// The view angles of the settings (ANGLE-A, ANGLE-B, deg) become the current view's angles and
// the start angles the reset key returns to; the sines and cosines follow. The projection takes
// the PERSPECTIVE setting.
void TakeViewAnglesFromSettings();

// --- GL matrices (need a current context) ----------------------------------------------------

// Loads the projection into the current projection matrix (which it selects and leaves
// selected): orthographic (-aspect, aspect, -1, 1, near, far) or the perspective frustum of the
// field of view, the aspect and the same planes. Recomputes the perspective scale.
void SetViewProjection(ViewState* view);
// Multiplies the current model-view matrix by the camera transform: the centre c goes to the
// origin, the scene turns by the orientation code, A about Z and -B about X, is scaled by the
// zoom and sits 4 units in front of the eye.
void ApplyModelViewTransform(const ViewState& view);
// The glRotated calls of an orientation code (tens rotation first, then the Z rotation).
// Codes 50 and above, and codes whose digits name no rotation, apply nothing.
void RotateForViewOrientation(int code);

// --- Software projection ---------------------------------------------------------------------

// The orientation rotation applied to a point (in place) by exact permutation and sign changes,
// equal to what RotateForViewOrientation does to a vertex.
void OrientPointForProjection(int code, double* x, double* y, double* z);
// The inverse rotation (for vectors from screen space back into the model).
void OrientVectorForView(int code, double* x, double* y, double* z);

constexpr int kProjectBehindEye = -1;  // perspective: the point lies at or behind the eye

// Projects a model point (mm) to window pixels (y downwards) and its depth (display units
// towards the viewer, 0 at the centre's depth). 1 on success. In perspective, a point whose
// depth is at least -eyeOffset - near (at or behind the eye's near plane) is rejected with
// kProjectBehindEye and the outputs are left unchanged.
int ProjectModelPointToWindow(const ViewState& view, const double point[3], double* depth,
                              double* windowX, double* windowY);

// --- Camera changes --------------------------------------------------------------------------

// The centre of rotation: the middle of the current stock's material bounds (machine to work
// position, then / DisplayUnitFactor) when a stock exists, else the external work offset plus
// the selected work offset entry (/ DisplayUnitFactor).
void SetRotationCentre(ViewState* view);

// Moves a point (display units, in place) by the model vector that appears as the screen delta
// (dx right, dy up; pixels) at the centre's depth.
void PanByScreenDelta(const ViewState& view, double dx, double dy, double point[3]);

// One drag step to the cursor position (client pixels) in a mouse mode (kMouseModeRotate, Zoom,
// or any other value for pan) at the given tick (ms). Returns 1 when the camera changed.
int MouseDragView(ViewState* view, int cursorX, int cursorY, int mouseMode, std::uint64_t tick);

// n >= 1 multiplies the zoom by 1.1^n, n < 1 divides it by 1.1^-n; marks the view changed.
void ZoomBySteps(ViewState* view, std::int16_t n);

// Wraps an angle (deg) into [0, 360).
double WrapViewAngle(double angle);

}  // namespace mirexa
