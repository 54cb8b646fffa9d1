// The marker lists: orientation triad, coordinate axes, picked point and centre of rotation.
#include "view/marker_lists.h"

#include <GL/gl.h>

#include <cmath>

#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "view/display_lists.h"
#include "view/machine_lists.h"

namespace mirexa {

double PickedPoint[3] = {};

namespace {

// cos and sin of an angle (deg), exact within 0.1 deg of 0, 90, 180, 270 and 360.
void SnappedCosSin(double angle, double trigCos, double trigSin, double* c, double* s) {
    static const double kQuarters[5][3] = {{0.0, 1.0, 0.0},
                                           {90.0, 0.0, 1.0},
                                           {180.0, -1.0, 0.0},
                                           {270.0, 0.0, -1.0},
                                           {360.0, 1.0, 0.0}};
    for (const auto& q : kQuarters) {
        if (std::fabs(angle - q[0]) <= 0.1) {
            *c = q[1];
            *s = q[2];
            return;
        }
    }
    *c = trigCos;
    *s = trigSin;
}

// A letter's strokes as line segments (pairs of points), or as one strip.
void DrawLetter(int axis, double cx, double cy, double width, double height) {
    if (axis == 0) {  // X: two crossing strokes
        const double hx = 7.0 / width, hy = 7.0 / height;
        glBegin(GL_LINES);
        glVertex3d(cx - hx, cy - hy, -1.0);
        glVertex3d(cx + hx, cy + hy, -1.0);
        glVertex3d(cx - hx, cy + hy, -1.0);
        glVertex3d(cx + hx, cy - hy, -1.0);
        glEnd();
    } else if (axis == 1) {  // Y: a V on a stem
        const double hx = 7.0 / width, hy = 7.0 / height;
        glBegin(GL_LINES);
        glVertex3d(cx - hx, cy + hy, -1.0);
        glVertex3d(cx, cy, -1.0);
        glVertex3d(cx + hx, cy + hy, -1.0);
        glVertex3d(cx, cy, -1.0);
        glVertex3d(cx, cy, -1.0);
        glVertex3d(cx, cy - hy, -1.0);
        glEnd();
    } else {  // Z: top, diagonal, bottom
        const double hx = 8.0 / width, hy = 8.0 / height;
        glBegin(GL_LINE_STRIP);
        glVertex3d(cx - hx, cy + hy, -1.0);
        glVertex3d(cx + hx, cy + hy, -1.0);
        glVertex3d(cx - hx, cy - hy, -1.0);
        glVertex3d(cx + hx, cy - hy, -1.0);
        glEnd();
    }
}

void DrawRedPoint(const double p[3]) {
    glPointSize(5.0f);
    glColor3f(1.0f, 0.0f, 0.0f);
    glBegin(GL_POINTS);
    glVertex3dv(p);
    glEnd();
    glPointSize(1.0f);  // later frames draw points at their own size
}

// Three lines from an origin (mm) along the rows of a matrix (display units), in three colours.
void DrawFrameLines(const double originMm[3], const double rows[9], const float colors[3][3]) {
    double origin[3];
    for (int i = 0; i < 3; ++i) {
        origin[i] = originMm[i] / DisplayUnitFactor;
    }
    for (int axis = 0; axis < 3; ++axis) {
        const double* row = &rows[axis * 3];
        glColor3fv(colors[axis]);
        glVertex3dv(origin);
        glVertex3d(origin[0] + row[0], origin[1] + row[1], origin[2] + row[2]);
    }
}

}  // namespace

void ComputeTriadArms(const ViewState& view, TriadArm arms[3]) {
    double cosA = 1, sinA = 0, cosB = 1, sinB = 0;
    SnappedCosSin(view.angleA, view.cosA, view.sinA, &cosA, &sinA);
    SnappedCosSin(view.angleB, view.cosB, view.sinB, &cosB, &sinB);
    for (int axis = 0; axis < 3; ++axis) {
        double v[3] = {0, 0, 0};
        v[axis] = 1.0;
        if (view.orientationCode > 0) {
            OrientPointForProjection(view.orientationCode, &v[0], &v[1], &v[2]);
        }
        const double x = cosA * v[0] - sinA * v[1];
        const double t = sinA * v[0] + cosA * v[1];
        const double y = cosB * t + sinB * v[2];
        arms[axis].direction[0] = x;
        arms[axis].direction[1] = y;
        arms[axis].visible = std::fabs(x) > 1e-12 || std::fabs(y) > 1e-12 ? 1 : 0;
    }
}

void BuildOrientationTriadList() {
    SceneDirty.triad = 0;
    if (!BeginSceneList(FixedListName(kListTriad))) {
        return;
    }
    const double w = CurrentView.width > 0 ? CurrentView.width : 1;
    const double h = CurrentView.height > 0 ? CurrentView.height : 1;
    const double ox = 80.0 / w - 1.0, oy = 80.0 / h - 1.0;
    TriadArm arms[3];
    ComputeTriadArms(CurrentView, arms);
    static const float kColors[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int axis = 0; axis < 3; ++axis) {
        if (!arms[axis].visible) {
            continue;
        }
        const double dx = arms[axis].direction[0];
        const double dy = arms[axis].direction[1];
        const double tipX = ox + 60.0 / w * dx;
        const double tipY = oy + 60.0 / h * dy;
        glColor3fv(kColors[axis]);
        glBegin(GL_LINES);
        glVertex3d(ox, oy, -1.0);
        glVertex3d(tipX, tipY, -1.0);
        glEnd();
        const double length = std::hypot(dx, dy);
        double lx = 0.0, ly = dy > 0 ? 10.0 / h : -10.0 / h;
        if (dx != 0.0) {  // an axis pointing straight up or down keeps only the vertical offset
            lx = 10.0 / w * dx / length;
            ly = 10.0 / h * dy / length;
        }
        DrawLetter(axis, tipX + lx, tipY + ly, w, h);
    }
    EndSceneList();
}

void BuildCoordinateAxesList() {
    SceneDirty.axes = 0;
    if (!BeginSceneList(FixedListName(kListAxes))) {
        return;
    }
    glBegin(GL_LINES);
    static const float kColors[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int axis = 0; axis < 3; ++axis) {
        double tip[3] = {0, 0, 0};
        tip[axis] = 1.5;
        glColor3fv(kColors[axis]);
        glVertex3d(0.0, 0.0, 0.0);
        glVertex3dv(tip);
    }
    // The external work offset's frame.
    double external[5] = {};
    if (WorkOffsetSource.readEntry != nullptr) {
        WorkOffsetSource.readEntry(0, external);
    }
    const bool shifted = external[0] != 0.0 || external[1] != 0.0 || external[2] != 0.0 ||
                         external[3] != 0.0 || external[4] != 0.0;
    if (shifted) {
        static const float kPale[3][3] = {
            {1.0f, 0.5f, 0.5f}, {0.5f, 1.0f, 0.5f}, {0.5f, 0.5f, 1.0f}};
        DrawFrameLines(Orientation.machineOrigin, Orientation.machineScaled, kPale);
    }
    // The tilted working plane's frame at the work origin.
    if (RunKinematics.plane.active) {
        DrawFrameLines(Orientation.workOrigin, Orientation.workScaled, kColors);
    }
    glEnd();
    EndSceneList();
}

void BuildPickedPointList() {
    if (!BeginSceneList(FixedListName(kListPickedPoint))) {
        return;
    }
    const double p[3] = {PickedPoint[0] / DisplayUnitFactor, PickedPoint[1] / DisplayUnitFactor,
                         PickedPoint[2] / DisplayUnitFactor};
    DrawRedPoint(p);
    EndSceneList();
    SceneDirty.pickedPoint = 1;
}

void BuildRotationCentreList() {
    if (!BeginSceneList(FixedListName(kListRotationCentre))) {
        return;
    }
    DrawRedPoint(CurrentView.centre);
    EndSceneList();
}

}  // namespace mirexa
