// Block coordinate transforms: planes, scaling, rotation, work offsets, tilted planes, length
// offsets and the position registers.
#include "nc/coordinate_transforms.h"

#include <cmath>

#include "config/axis_letters.h"
#include "geometry/orientation_frames.h"
#include "geometry/vector_math.h"
#include "nc/kinematics_services.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"

namespace mirexa {

namespace {

// Intrinsic turn of the plane frame about its own axis `axis` (0 X, 1 Y, 2 Z): the two other
// rows mix, row_p' = c row_p - s row_q and row_q' = s row_p + c row_q with p the axis after
// next and q the next, so that a positive angle turns the frame right-handed.
void TurnPlaneRows(double m[9], int axis, double angle) {
    double s = 0, c = 1;
    SinCosDegrees(angle, 1, &s, &c);
    const int p = (axis + 2) % 3, q = (axis + 1) % 3;
    for (int k = 0; k < 3; ++k) {
        const double rp = m[3 * p + k], rq = m[3 * q + k];
        m[3 * p + k] = c * rp - s * rq;
        m[3 * q + k] = s * rp + c * rq;
    }
}

void StoreTransposed(TiltedWorkPlane* plane) {
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 3; ++k) {
            plane->transposed[3 * k + r] = plane->matrix[3 * r + k];
        }
    }
}

void SetIdentity(double m[9]) {
    for (int i = 0; i < 9; ++i) {
        m[i] = (i % 4 == 0) ? 1.0 : 0.0;
    }
}

}  // namespace

void SelectPlaneAxes(NcSession& session) {
    NcModalState& modal = session.run.modal;
    const int program = modal.planeCode < 0 ? -modal.planeCode : modal.planeCode;
    std::int32_t axes[3] = {0, 1, 2};
    modal.planeCode = SelectMachinePlane(session.controller.axes.planeCodes, program, axes);
    modal.plane = {axes[0], axes[1], axes[2]};
}

void ScaleAxisValue(NcSession& session, int axis, double* value) {
    const NcTransformState& t = session.run.transforms;
    if (!t.scaling || axis < 0 || axis > 2 || !t.scaleEnabled[axis]) {
        return;
    }
    const double factor = t.scalingCommon ? t.scaleCommonFactor : t.scaleFactor[axis];
    *value = (*value - t.scaleCentre[axis]) * factor + t.scaleCentre[axis];
}

void ScalePlanePoint(NcSession& session, const PlaneAxes& axes, const double point[5],
                     double out[3]) {
    for (int i = 0; i < 3; ++i) {
        out[i] = point[i];
    }
    if (session.run.transforms.scaling && session.run.modal.gCode != 92) {
        ScaleAxisValue(session, axes.first, &out[axes.first]);
        ScaleAxisValue(session, axes.second, &out[axes.second]);
    }
}

void RotatePointInPlane(double point[], const PlaneAxes& axes, double c, double s,
                        const double centre[3], int threeD) {
    const int a = axes.first, b = axes.second;
    if (threeD) {
        const double pa = point[a], pb = point[b];
        point[a] = pa * c - pb * s;
        point[b] = pb * c + pa * s;
        for (int i = 0; i < 3; ++i) {
            point[i] += centre[i];
        }
        return;
    }
    const double da = point[a] - centre[a], db = point[b] - centre[b];
    point[a] = da * c - db * s + centre[a];
    point[b] = db * c + da * s + centre[b];
}

void BeginCoordinateRotation(NcSession& session, int centreFromWords) {
    NcTransformState& t = session.run.transforms;
    if (t.rotationCount > 0 && t.rotation[0].kind == 0) {
        t.rotationCount = 0;
    }
    t.transformState = kTransformPending;
    t.pendingRotation = {};
    // The block's own end stays where it is: the G68 block makes no move.
    const MotionRecord& m = session.kinematics->motion;
    for (int i = 0; i < 3; ++i) {
        t.pendingRotation.centre[i] = centreFromWords ? 0.0 : m.end.axis[i];
    }
}

void FinishCoordinateRotation(NcSession& session) {
    NcTransformState& t = session.run.transforms;
    if (t.rotationCount >= 2) {
        t.transformState = kTransformActive;
        return;
    }
    RotationLevel level = t.pendingRotation;
    if (level.angle == 0.0 && level.kind == 0) {
        level.angle = session.controller.rotationAngle;
    }
    switch (level.kind) {
        case 1:
            level.axes = {1, 2, 0};
            break;
        case 2:
            level.axes = {2, 0, 1};
            break;
        case 3:
            level.axes = {0, 1, 2};
            break;
        default:
            level.axes = session.run.modal.plane;
            break;
    }
    SinCosDegrees(level.angle, 1, &level.sine, &level.cosine);
    t.rotation[t.rotationCount] = level;
    ++t.rotationCount;
    if (t.rotationCount == 2 && t.rotation[0].kind != 0) {
        t.rotation[0] = t.rotation[1];
        t.rotationCount = 1;
    }
    t.transformState = kTransformActive;
}

void ComputeWorkOrigin(NcSession& session, int index, MotionPosition* origin) {
    const NcTransformState& t = session.run.transforms;
    if (index < 0 || index >= kWorkOffsetEntries) {
        index = 0;
    }
    for (int i = 0; i < 5; ++i) {
        origin->axis[i] = t.workOffsets[0].axis[i] + t.coordinateShift.axis[i];
        if (index > 0) {
            origin->axis[i] += t.workOffsets[index].axis[i] + t.localShift[index].axis[i];
        }
    }
}

void ShiftPositionRegisters(NcSession& session, const double delta[5]) {
    MotionRecord& m = session.kinematics->motion;
    for (int i = 0; i < 5; ++i) {
        m.start.axis[i] += delta[i];
        m.end.axis[i] += delta[i];
        m.lastPosition.axis[i] += delta[i];
        session.run.programmed.axis[i] += delta[i];
        session.kinematics->pose.program.axis[i] += delta[i];
    }
}

void ReapplyWorkOrigin(NcSession& session) {
    MotionPosition next;
    ComputeWorkOrigin(session, session.run.modal.workOffsetIndex, &next);
    double delta[5];
    for (int i = 0; i < 5; ++i) {
        delta[i] = session.kinematics->workOrigin.axis[i] - next.axis[i];
    }
    ShiftPositionRegisters(session, delta);
    session.kinematics->workOrigin = next;
    UpdateToolMatrixWithWorkOffset(session.run.transforms.workOffsets,
                                   session.run.modal.workOffsetIndex);
}

int ChangeWorkOffset(NcSession& session, int newIndex) {
    if (newIndex < 1 || newIndex >= kWorkOffsetEntries) {
        return 0;
    }
    if (NcUpHooks.redrawPanel != nullptr) {
        NcUpHooks.redrawPanel();
    }
    session.run.modal.workOffsetIndex = newIndex;
    ReapplyWorkOrigin(session);
    return 1;
}

int ApplyWorkOffsetWithTable(NcSession& session, const MotionPosition& position, int target) {
    int entry = -1;
    if (target >= 1 && target <= 48) {
        entry = target + 6;
    } else if (target >= 55 && target <= 59) {
        entry = target - 53;
    }
    if (entry < 0) {
        return 0;
    }
    NcTransformState& t = session.run.transforms;
    const int current = session.run.modal.workOffsetIndex;
    const MotionPosition& source =
        t.workOffsets[current >= 0 && current < kWorkOffsetEntries ? current : 0];
    double s1 = 0, c1 = 1, s2 = 0, c2 = 1;
    SinCosDegrees(position.axis[3] + session.kinematics->workOrigin.axis[3],
                  CurrentMachine.rotary[0].sign, &s1, &c1);
    SinCosDegrees(position.axis[4] + session.kinematics->workOrigin.axis[4],
                  CurrentMachine.rotary[1].sign, &s2, &c2);
    double turned[3];
    TurnPointWithTable(source.axis, s1, c1, s2, c2, turned);
    MotionPosition& out = t.workOffsets[entry];
    for (int i = 0; i < 3; ++i) {
        out.axis[i] = turned[i];
    }
    out.axis[3] = position.axis[3];
    out.axis[4] = position.axis[4];
    return 1;
}

int CopyWorkOffsetWithTable(NcSession& session, int from, const double origin[3],
                            const double angles[2], int to) {
    if (from < 54 || from > 59 || to < 54 || to > 59) {
        return 0;
    }
    NcTransformState& t = session.run.transforms;
    const MotionPosition source = t.workOffsets[from - 53];
    double s1 = 0, c1 = 1, s2 = 0, c2 = 1;
    SinCosDegrees(angles[0], CurrentMachine.rotary[0].sign, &s1, &c1);
    SinCosDegrees(angles[1], CurrentMachine.rotary[1].sign, &s2, &c2);
    double point[3];
    for (int i = 0; i < 3; ++i) {
        point[i] = source.axis[i] + origin[i];
    }
    double turned[3];
    TurnPointWithTable(point, s1, c1, s2, c2, turned);
    MotionPosition& out = t.workOffsets[to - 53];
    for (int i = 0; i < 3; ++i) {
        out.axis[i] = turned[i];
    }
    out.axis[3] = source.axis[3] + angles[0];
    out.axis[4] = source.axis[4] + angles[1];
    return 1;
}

int IsKnownRotationOrder(int code) {
    if (code == 125 || code == 155) {
        return 1;
    }
    const int base = code >= 128 && code < 256 ? code - 128 : code;
    return base == 57 || base == 45 || base == 54 || base == 30 || base == 39 || base == 27;
}

void BuildRotationFromAngles(NcSession& session) {
    TiltedWorkPlane& plane = session.kinematics->plane;
    SetIdentity(plane.matrix);
    for (int k = 0; k < 3; ++k) {
        TurnPlaneRows(plane.matrix, k, plane.planeAngles[k]);
    }
    StoreTransposed(&plane);
    for (int i = 0; i < 3; ++i) {
        plane.origin[i] = 0.0;
    }
}

int BuildTiltedPlaneMatrix(NcSession& session, int incremental) {
    TiltedWorkPlane& plane = session.kinematics->plane;
    const int code = plane.rotationOrderCode;
    if (!IsKnownRotationOrder(code)) {
        return 0;
    }
    int order = code >= 128 && code < 256 ? code - 128 : code;
    const bool twoAngles = code >= 155;
    if (code == 125 || code == 155) {
        order = 27;
    }
    double m[9];
    if (incremental) {
        for (int i = 0; i < 9; ++i) {
            m[i] = plane.matrix[i];
        }
    } else {
        SetIdentity(m);
    }
    for (int step = 0; step < (twoAngles ? 2 : 3); ++step) {
        const int axis = ((order >> (2 * step)) & 3) - 1;  // 1 X, 2 Y, 3 Z
        double angle = plane.planeAngles[step];
        if (twoAngles && step == 1) {
            angle = -angle;  // the sine of the second angle is negated
        }
        TurnPlaneRows(m, axis, angle);
    }
    for (int i = 0; i < 9; ++i) {
        plane.matrix[i] = m[i];
    }
    StoreTransposed(&plane);
    return 1;
}

void BuildEulerPlaneMatrix(NcSession& session, const double angles[3]) {
    TiltedWorkPlane& plane = session.kinematics->plane;
    SetIdentity(plane.matrix);
    TurnPlaneRows(plane.matrix, 2, angles[0]);
    TurnPlaneRows(plane.matrix, 0, angles[1]);
    TurnPlaneRows(plane.matrix, 2, angles[2]);
    for (int i = 0; i < 3; ++i) {
        plane.planeAngles[i] = angles[i];
    }
    StoreTransposed(&plane);
}

void SetLengthOffsetForCurrentTool(NcSession& session) {
    const NcControllerView& c = session.controller;
    const NcCurrentToolView& tool = c.currentTool;
    const int n = tool.number;
    if (n >= 0 && n < kToolOffsetEntries) {
        session.run.modal.lengthOffsetNumber = n;
    }
    double h = 0.0, wear = 0.0;
    const bool ball = tool.type == 1 || tool.type == 4;
    switch (c.toolBasePoint) {
        case 1:
            h = ball ? tool.cornerRadius : 0.0;
            break;
        case 2:
            h = tool.cornerCentreHeight;
            break;
        case 3:
            h = tool.length;
            break;
        case 4:
            h = tool.arborTop;
            break;
        default:
            break;
    }
    if (c.toolBasePoint == 3 || c.toolBasePoint == 4) {
        if (c.autoLengthPosition == 1 && ball) {
            h -= tool.cornerRadius;
        } else if (c.autoLengthPosition == 2) {
            h -= tool.cornerCentreHeight;
        } else if (c.autoLengthPosition == 0) {
            wear = session.words.toolDeltaLength;
        }
    }
    const NcOffsetMemoryView& memory = c.offsets;
    if (n >= 0 && n < kToolOffsetEntries) {
        if (memory.hOffset != nullptr) {
            memory.hOffset[n] = static_cast<float>(h);
        }
        if (memory.hWear != nullptr) {
            memory.hWear[n] = static_cast<float>(wear);
        }
    }
    session.kinematics->toolValues.lengthOffset =
        h + wear + (c.toolBasePoint == 4 ? c.toolHolderOffset : 0.0);
}

void AddFixedOffsetToPoint(NcSession& session, double point[3]) {
    const double* v = session.kinematics->toolValues.fixedHeadOffset;
    if (session.run.modal.cylindricalInterpolation) {
        point[session.run.modal.plane.normal] += v[2];
    } else if (session.run.transforms.rotationCount > 0) {
        const int k = session.kinematics->modes.lengthCompensationAxis;
        if (k >= 0 && k < 3) {
            point[k] += session.kinematics->toolValues.lengthOffset;
        }
    } else {
        point[0] += v[0];
        point[2] += v[2];
    }
}

void ResetPositionsToStartPoint(NcSession& session) {
    MotionPosition p = session.kinematics->motion.end;
    if (session.controller.dialect.heidenhain || session.controller.dialect.siemens) {
        // The machine position is the given quantity: the kinematics derives the tool pose and
        // the program position (machine minus work origin, less the tool length and the length
        // offset still on) from it, as for a position given on the machine side.
        const KinematicsModeFlags saved = session.kinematics->modes;
        session.kinematics->modes.positionSource = 2;
        session.kinematics->modes.lengthCompensation =
            session.run.modal.lengthCompensation != 0 ? 1 : 0;
        UpdateMachinePosition(*session.kinematics);
        session.kinematics->modes = saved;
        p = session.kinematics->motion.end;
    } else {
        const ToolPose& tool = session.kinematics->pose.tool;
        for (int i = 0; i < 3; ++i) {
            p.axis[i] = tool.point[i] - session.kinematics->workOrigin.axis[i] +
                        session.kinematics->toolValues.lengthOffset * tool.axis[i];
        }
    }
    MotionRecord& m = session.kinematics->motion;
    m.start = p;
    m.end = p;
    m.lastPosition = p;
    session.run.programmed = p;
    session.kinematics->pose.program = p;
}

void ComputeToolAxisFromAngles(double axis[3], const double angles[3], int convention) {
    double v[3] = {0, 0, 1};
    double s = 0, c = 1;
    if (convention == 1) {
        const int axes[3] = {2, 1, 0};  // the third angle about Z, then Y, then X
        for (int k = 0; k < 3; ++k) {
            SinCosDegrees(angles[2 - k], 1, &s, &c);
            const int a = axes[k];
            RotateInAxisPlane(v, v, c, s, a, (a + 1) % 3, (a + 2) % 3);
        }
    } else {
        SinCosDegrees(angles[1], 1, &s, &c);
        RotateInAxisPlane(v, v, c, s, 0, 1, 2);  // second angle: tilt about X
        SinCosDegrees(angles[0], 1, &s, &c);
        RotateInAxisPlane(v, v, c, s, 2, 0, 1);  // first angle: turn about Z
    }
    for (int i = 0; i < 3; ++i) {
        axis[i] = v[i];
    }
}

void ComputeWidthFactor(NcSession& session, double* length, double sweep, double r1, double r2,
                        double t1, double t2, double h, int motionType) {
    const bool bottom = session.controller.toolBasePoint == 0;
    const bool clockwise = motionType == kMotionClockwise;
    double a = 0, b = 0;
    if ((!bottom && !clockwise) || (bottom && clockwise)) {
        a = std::fabs(std::sin(t1) * h + r1);
        b = std::fabs(std::sin(t2) * h + r2);
    } else {
        a = std::fabs(r1 - std::sin(t1) * h);
        b = std::fabs(r2 - std::sin(t2) * h);
    }
    const double m1 = a > r1 ? a : r1, m2 = b > r2 ? b : r2;
    if (m1 > r1 || m2 > r2) {
        *length = (m1 + m2) * sweep / 2.0;
    }
}

}  // namespace mirexa
