// The camera of the 3D view: view state, GL matrices, software projection and the drag, wheel
// and pan operations.
#include "view/camera.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>

#include "config/config_records.h"
#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "geometry/vector_math.h"
#include "stock/stock_model.h"
#include "view/display_lists.h"

namespace mirexa {

double DisplayUnitFactor = 500.0;
ViewState CurrentView;

namespace {

// A quarter-turn rotation as a signed permutation: out[i] = sign[i] * in[index[i]].
struct SignedPermutation {
    int index[3] = {0, 1, 2};
    int sign[3] = {1, 1, 1};
};

// Integer rotation matrices by rows.
struct IntMatrix {
    int m[3][3] = {};
};

constexpr IntMatrix kIdentity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
// The tens digit's quarter turns: 1 +90 about Y, 2 -90 about Y, 3 +90 about X, 4 -90 about X.
constexpr IntMatrix kTensTurns[5] = {
    kIdentity,
    {{{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}}},
    {{{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}},
    {{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}},
    {{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}},
};
// The units digit's turns about Z: 1 +90, 2 180, 3 -90.
constexpr IntMatrix kUnitsTurns[4] = {
    kIdentity,
    {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}},
    {{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}},
    {{{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}},
};

IntMatrix Multiply(const IntMatrix& a, const IntMatrix& b) {
    IntMatrix out;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) {
                out.m[i][j] += a.m[i][k] * b.m[k][j];
            }
        }
    }
    return out;
}

// The digits of a code that applies a rotation; false for codes that apply nothing.
bool OrientationDigits(int code, int* tens, int* units) {
    if (code <= 0 || code >= 50) {
        return false;
    }
    *tens = code / 10;
    *units = code % 10;
    if (*units > 3) {
        *units = 0;
    }
    return *tens > 0 || *units > 0;
}

// GL applies the calls' product T * Z to a vertex: first the Z turn, then the tens turn.
SignedPermutation OrientationPermutation(int code, bool inverse) {
    SignedPermutation p;
    int tens = 0, units = 0;
    if (!OrientationDigits(code, &tens, &units)) {
        return p;
    }
    IntMatrix r = Multiply(kTensTurns[tens], kUnitsTurns[units]);
    if (inverse) {  // a rotation's inverse is its transpose
        IntMatrix t;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                t.m[i][j] = r.m[j][i];
            }
        }
        r = t;
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            if (r.m[i][j] != 0) {
                p.index[i] = j;
                p.sign[i] = r.m[i][j];
            }
        }
    }
    return p;
}

void ApplyPermutation(const SignedPermutation& p, double* x, double* y, double* z) {
    const double in[3] = {*x, *y, *z};
    double out[3];
    for (int i = 0; i < 3; ++i) {
        out[i] = p.sign[i] < 0 ? -in[p.index[i]] : in[p.index[i]];
    }
    *x = out[0], *y = out[1], *z = out[2];
}

// Drag steps from a pixel distance: |d| * scale / half rounded to the nearest integer, halves up,
// negative when the drag runs the lowering way.
int DragSteps(int d, double scale, double half, bool negative) {
    if (!(half > 0.0)) {
        return 0;
    }
    const int steps = static_cast<int>(std::floor(std::abs(d) * scale / half + 0.5));
    return negative ? -steps : steps;
}

void UpdatePerspectiveScale(ViewState* view) {
    view->perspectiveScale =
        view->halfHeight / view->tanHalfFieldOfView / std::fabs(view->eyeOffset);
}

}  // namespace

double WrapViewAngle(double angle) {
    if (!std::isfinite(angle)) {
        return 0.0;
    }
    angle = std::fmod(angle, 360.0);
    if (angle < 0.0) {
        angle += 360.0;
    }
    return angle >= 360.0 ? 0.0 : angle;
}

void ResetViewState(ViewState* view) {
    view->angleA = view->startAngleA;
    view->angleB = view->startAngleB;
    view->zoom = 1.0;
    view->centre[0] = view->centre[1] = view->centre[2] = 0.0;
    UpdateViewTrig(view);
    view->viewChanged = 1;
}

void SetViewSize(ViewState* view, int width, int height) {
    view->width = width < 1 ? 1 : width;
    view->height = height < 1 ? 1 : height;
    view->aspect = static_cast<double>(view->width) / view->height;
    view->halfWidth = view->width / 2.0;
    view->halfHeight = view->height / 2.0;
    UpdatePerspectiveScale(view);
    view->viewChanged = 1;
    SceneDirty.triad = 1;
}

void UpdateViewTrig(ViewState* view) {
    SinCosDegrees(view->angleA, 1, &view->sinA, &view->cosA);
    SinCosDegrees(view->angleB, 1, &view->sinB, &view->cosB);
}

void TakeViewAnglesFromSettings() {
    CurrentView.angleA = Settings.angleA;
    CurrentView.angleB = Settings.angleB;
    CurrentView.startAngleA = Settings.angleAStart;
    CurrentView.startAngleB = Settings.angleBStart;
    CurrentView.perspective = DisplayModes.perspective;
    UpdateViewTrig(&CurrentView);
    CurrentView.viewChanged = 1;
}

void SetViewProjection(ViewState* view) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (view->perspective) {
        // The frustum that a perspective of this field of view and aspect gives.
        const double top = kViewNearPlane * view->tanHalfFieldOfView;
        const double right = top * view->aspect;
        glFrustum(-right, right, -top, top, kViewNearPlane, kViewFarPlane);
    } else {
        glOrtho(-view->aspect, view->aspect, -1.0, 1.0, kViewNearPlane, kViewFarPlane);
    }
    UpdatePerspectiveScale(view);
}

void ApplyModelViewTransform(const ViewState& view) {
    const double* c = view.centre;
    glTranslated(-c[0] * view.zoom, -c[1] * view.zoom, -c[2] * view.zoom + view.eyeOffset);
    glScaled(view.zoom, view.zoom, view.zoom);
    glTranslated(c[0], c[1], c[2]);
    glRotated(-view.angleB, 1.0, 0.0, 0.0);
    glRotated(view.angleA, 0.0, 0.0, 1.0);
    if (view.orientationCode > 0) {
        RotateForViewOrientation(view.orientationCode);
    }
    glTranslated(-c[0], -c[1], -c[2]);
}

void RotateForViewOrientation(int code) {
    int tens = 0, units = 0;
    if (!OrientationDigits(code, &tens, &units)) {
        return;
    }
    switch (tens) {
        case 1:
            glRotated(90.0, 0.0, 1.0, 0.0);
            break;
        case 2:
            glRotated(-90.0, 0.0, 1.0, 0.0);
            break;
        case 3:
            glRotated(90.0, 1.0, 0.0, 0.0);
            break;
        case 4:
            glRotated(-90.0, 1.0, 0.0, 0.0);
            break;
        default:
            break;
    }
    switch (units) {
        case 1:
            glRotated(90.0, 0.0, 0.0, 1.0);
            break;
        case 2:
            glRotated(180.0, 0.0, 0.0, 1.0);
            break;
        case 3:
            glRotated(-90.0, 0.0, 0.0, 1.0);
            break;
        default:
            break;
    }
}

void OrientPointForProjection(int code, double* x, double* y, double* z) {
    ApplyPermutation(OrientationPermutation(code, false), x, y, z);
}

void OrientVectorForView(int code, double* x, double* y, double* z) {
    ApplyPermutation(OrientationPermutation(code, true), x, y, z);
}

int ProjectModelPointToWindow(const ViewState& view, const double point[3], double* depth,
                              double* windowX, double* windowY) {
    double p[3];
    for (int i = 0; i < 3; ++i) {
        p[i] = (point[i] / DisplayUnitFactor - view.centre[i]) * view.zoom;
    }
    if (view.orientationCode > 0) {
        OrientPointForProjection(view.orientationCode, &p[0], &p[1], &p[2]);
    }
    const double x = view.cosA * p[0] - view.sinA * p[1];
    const double t = view.sinA * p[0] + view.cosA * p[1];
    const double y = view.cosB * t + view.sinB * p[2];
    const double d = view.cosB * p[2] - view.sinB * t;
    double f = view.halfHeight;
    if (view.perspective) {
        // The eye sits at depth -eyeOffset; nothing at or behind its near plane is visible.
        if (!(d < -view.eyeOffset - kViewNearPlane)) {
            return kProjectBehindEye;
        }
        f = view.halfHeight / view.tanHalfFieldOfView / std::fabs(d + view.eyeOffset);
    }
    *depth = d;
    *windowX = f * x + view.halfWidth;
    *windowY = view.halfHeight - f * y;
    return 1;
}

void SetRotationCentre(ViewState* view) {
    const int index = CurrentStockIndex.load();
    const StockModel* stock =
        index >= 0 && index < kStockModelSlots ? &StockModels[index] : nullptr;
    double centre[3] = {};
    if (stock != nullptr && stock->nx > 0 && stock->maxCorner != nullptr &&
        stock->minCorner != nullptr) {
        double middle[3];
        for (int i = 0; i < 3; ++i) {
            middle[i] = (stock->maxCorner[i] + stock->minCorner[i]) / 2.0;
        }
        ConvertMachineToWorkPosition(RunKinematics, middle, centre);
    } else {
        double entry[5] = {};
        if (WorkOffsetSource.readEntry != nullptr) {
            WorkOffsetSource.readEntry(0, entry);
        }
        for (int i = 0; i < 3; ++i) {
            centre[i] = entry[i];
        }
        const int n =
            WorkOffsetSource.currentIndex != nullptr ? WorkOffsetSource.currentIndex() : 0;
        if (n > 0 && n <= 200 && WorkOffsetSource.readEntry != nullptr) {
            double selected[5] = {};
            WorkOffsetSource.readEntry(n, selected);
            for (int i = 0; i < 3; ++i) {
                centre[i] += selected[i];
            }
        }
    }
    for (int i = 0; i < 3; ++i) {
        view->centre[i] = centre[i] / DisplayUnitFactor;
    }
    view->viewChanged = 1;
}

void PanByScreenDelta(const ViewState& view, double dx, double dy, double point[3]) {
    const double s = (view.perspective ? view.perspectiveScale : view.halfHeight) * view.zoom;
    if (!(s > 0.0)) {
        return;
    }
    const double u = dx / s;
    const double v = dy / s;
    double delta[3] = {view.cosA * u + view.sinA * view.cosB * v,
                       -view.sinA * u + view.cosA * view.cosB * v, view.sinB * v};
    if (view.orientationCode > 0) {
        OrientVectorForView(view.orientationCode, &delta[0], &delta[1], &delta[2]);
    }
    for (int i = 0; i < 3; ++i) {
        point[i] += delta[i];
    }
}

int MouseDragView(ViewState* view, int cursorX, int cursorY, int mouseMode, std::uint64_t tick) {
    // 1. The change since the last drag position; small moves add up.
    view->dragTick = tick;
    const int dx = cursorX - view->lastDragX;
    const int dy = cursorY - view->lastDragY;
    if (std::abs(dx) + std::abs(dy) < 3) {
        return 0;
    }
    if (mouseMode == kMouseModeRotate) {
        int steps = 0;
        if (std::abs(dx) <= std::abs(dy)) {
            // Dragging down lowers B. A drag too short for one step is kept to add up.
            steps = DragSteps(dy, 36.0, view->halfHeight, dy > 0);
            if (steps == 0) {
                return 0;
            }
            view->angleB += steps * 2.5;
            if (steps >= 1 && view->angleB > 360.0) {
                view->angleB -= 360.0;
            } else if (steps < 1 && view->angleB < 0.0) {
                view->angleB += 360.0;
            }
            view->lastRotationAxis = 2;
        } else {
            steps = DragSteps(dx, 72.0, view->halfWidth, dx < 0);
            if (steps == 0) {
                return 0;
            }
            // Seen from below (B above 180) the turn about Z runs the other way on screen. A is
            // wrapped after every change, whichever way it went.
            view->angleA += view->angleB <= 180.0 ? steps * 2.5 : -steps * 2.5;
            view->angleA = WrapViewAngle(view->angleA);
            view->lastRotationAxis = 1;
        }
        view->lastRotationStep = steps;
        UpdateViewTrig(view);
        SceneDirty.triad = 1;
    } else if (mouseMode == kMouseModeZoom) {
        const bool horizontal = std::abs(dx) > std::abs(dy);
        const int d = horizontal ? dx : dy;
        const double half = horizontal ? view->halfWidth : view->halfHeight;
        if (half > 0.0) {
            view->zoom *= std::pow(1.1, 20.0 * d / half);
        }
        view->dragTick = 0;
    } else {
        PanByScreenDelta(*view, -dx, dy, view->centre);
        view->dragTick = 0;
    }
    view->viewChanged = 1;
    view->lastDragX = cursorX;
    view->lastDragY = cursorY;
    return 1;
}

void ZoomBySteps(ViewState* view, std::int16_t n) {
    if (n >= 1) {
        view->zoom *= std::pow(1.1, n);
    } else {
        view->zoom /= std::pow(1.1, -n);
    }
    view->viewChanged = 1;
}

}  // namespace mirexa
