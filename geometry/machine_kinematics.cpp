// Five-axis machine kinematics: rotations about the rotary axes, forward and inverse kinematics,
// the tilted working plane transforms and the per-step pose update.
#include "geometry/machine_kinematics.h"

#include <cmath>

#include "geometry/rotary_solutions.h"
#include "geometry/vector_math.h"

namespace mirexa {

MachineGeometry CurrentMachine;
KinematicsControllerSettings KinematicsController;
KinematicsSessionRecords RunKinematics;

namespace {

// Tool-axis components below this magnitude are exactly 0.
constexpr double kAxisSnap = 1e-9;

void Copy3(const double v[3], double out[3]) {
    out[0] = v[0], out[1] = v[1], out[2] = v[2];
}

// Whether rotary axis `index` (0 or 1) may be tilted on this rotary type: head machines tilt
// only axis 2, the others only axis 1.
bool TiltAllowed(const MachineGeometry& m, int index) {
    return m.rotaryType == 1 ? index == 1 : index == 0;
}

// Treats type 0 like the mixed type in the kinematics.
int KinematicType(const MachineGeometry& m) {
    const int type = m.rotaryType;
    return (type == 1 || type == 2) ? type : 3;
}

struct AngleTrig {
    double s1 = {}, c1 = 1, s2 = {}, c2 = 1;
};

AngleTrig TrigOf(const MachineGeometry& m, const double angles[2]) {
    AngleTrig t;
    SinCosDegrees(angles[0], m.rotary[0].sign, &t.s1, &t.c1);
    SinCosDegrees(angles[1], m.rotary[1].sign, &t.s2, &t.c2);
    return t;
}

// The tool axis map on any vector: head machines turn axis 2 first, the others axis 1 first.
void TurnByBothAxes(const MachineGeometry& m, const AngleTrig& t, const double v[3],
                    double out[3]) {
    double turned[3];
    if (KinematicType(m) == 1) {
        RotateAboutRotaryAxis(m, 1, v, t.s2, t.c2, turned);
        RotateAboutRotaryAxis(m, 0, turned, t.s1, t.c1, out);
    } else {
        RotateAboutRotaryAxis(m, 0, v, t.s1, t.c1, turned);
        RotateAboutRotaryAxis(m, 1, turned, t.s2, t.c2, out);
    }
}

void PlainAboutAxis(const MachineGeometry& m, int index, const double v[3], double s, double c,
                    double out[3]) {
    const RotaryAxisFrame& f = m.rotary[index];
    RotateInAxisPlane(v, out, c, s, f.axis, f.planeP, f.planeQ);
}

// Axis 2 turn of the table about its offset centre: TO is subtracted on axis 2's plane indices,
// the vector is turned plainly and TO is added back.
void TurnAboutTableOffset(const MachineGeometry& m, const double v[3], double s, double c,
                          double out[3]) {
    const RotaryAxisFrame& f = m.rotary[1];
    const double* to = m.tableOffset;
    double d[3];
    Copy3(v, d);
    d[f.planeP] -= to[f.planeP];
    d[f.planeQ] -= to[f.planeQ];
    RotateInAxisPlane(d, out, c, s, f.axis, f.planeP, f.planeQ);
    out[f.planeP] += to[f.planeP];
    out[f.planeQ] += to[f.planeQ];
}

// h = (-HPx, -HPy, -(HPz + length)): the tip seen from the head pivot at zero angles.
void HeadGaugeVector(const MachineGeometry& m, double length, double h[3]) {
    const double* hp = m.headPosition;
    h[0] = -hp[0], h[1] = -hp[1], h[2] = -(hp[2] + length);
}

// The head part of the forward map for types 1 and 3: the gauge vector turned by the head axes.
void HeadVector(const MachineGeometry& m, double length, const AngleTrig& t, double h[3]) {
    HeadGaugeVector(m, length, h);
    if (KinematicType(m) == 1) {
        RotateAboutRotaryAxis(m, 1, h, t.s2, t.c2, h);
        for (int i = 0; i < 3; ++i) {
            h[i] -= m.headOffset[i];
        }
    }
    RotateAboutRotaryAxis(m, 0, h, t.s1, t.c1, h);
}

// Takes the tool length d (mm) off the X, Y, Z of a position: along the base axis b when b is
// tilted, else along Z. The reverse branches use it to derive P from M, so that the plain branch
// maps P back onto the same M whatever b is; the table kinematics uses it for the gauge length.
void SubtractToolLength(const MachineGeometry& m, double position[3], double d) {
    if (m.toolDirectionTilted) {
        for (int i = 0; i < 3; ++i) {
            position[i] -= d * m.toolDirection[i];
        }
    } else {
        position[2] -= d;
    }
}

// Machine X, Y, Z from the tool point: the inverse kinematics with gauge lengths headLength (types
// 1 and 3) and tableLength (type 2, along b).
void InverseKinematics(const MachineGeometry& m, const double point[3], const double angles[2],
                       double headLength, double tableLength, double out[3]) {
    const AngleTrig t = TrigOf(m, angles);
    const int type = KinematicType(m);
    if (type == 1) {
        double h[3];
        HeadVector(m, headLength, t, h);
        for (int i = 0; i < 3; ++i) {
            out[i] = point[i] - h[i];
        }
        return;
    }
    const RotaryAxisFrame& f2 = m.rotary[1];
    double v[3];
    Vec3Sub(point, m.tablePosition, v);
    if (type == 2) {
        TurnAboutTableOffset(m, v, -t.s2, t.c2, v);
        RotateAboutRotaryAxis(m, 0, v, -t.s1, t.c1, v);
        Vec3Add(v, m.tablePosition, out);
        SubtractToolLength(m, out, -tableLength);
        return;
    }
    double e[3];
    RotateInAxisPlane(v, e, t.c2, -t.s2, f2.axis, f2.planeP, f2.planeQ);
    Vec3Add(e, m.tablePosition, e);
    e[f2.axis] = point[f2.axis];
    double h[3];
    HeadVector(m, headLength, t, h);
    for (int i = 0; i < 3; ++i) {
        out[i] = e[i] - (h[i] + m.headPosition[i]);
    }
}

void ForwardWithTrig(const MachineGeometry& m, const KinematicsToolValues& tool,
                     const double machine[5], const AngleTrig& t, double point[3], double axis[3]) {
    const double gauge = tool.gaugeLength;
    const int type = KinematicType(m);
    const RotaryAxisFrame& f2 = m.rotary[1];
    if (type == 1) {
        double h[3];
        HeadVector(m, gauge, t, h);
        for (int i = 0; i < 3; ++i) {
            point[i] = machine[i] + h[i];
        }
    } else if (type == 2) {
        double v[3];
        Vec3Sub(machine, m.tablePosition, v);
        SubtractToolLength(m, v, gauge);
        RotateAboutRotaryAxis(m, 0, v, t.s1, t.c1, v);
        TurnAboutTableOffset(m, v, t.s2, t.c2, v);
        Vec3Add(v, m.tablePosition, point);
    } else {
        double h[3];
        HeadVector(m, gauge, t, h);
        double e[3];
        for (int i = 0; i < 3; ++i) {
            e[i] = h[i] + m.headPosition[i] + machine[i];
        }
        double d[3];
        Vec3Sub(e, m.tablePosition, d);
        RotateInAxisPlane(d, d, t.c2, t.s2, f2.axis, f2.planeP, f2.planeQ);
        Vec3Add(d, m.tablePosition, point);
        point[f2.axis] = e[f2.axis];
    }
    if (axis != nullptr) {
        TurnByBothAxes(m, t, m.toolDirection, axis);
        SnapToolAxis(axis);
    }
}

void SubtractAlong(double point[3], const double axis[3], double distance) {
    for (int i = 0; i < 3; ++i) {
        point[i] -= distance * axis[i];
    }
}

void NormaliseIfNonZero(double v[3]) {
    const double length = Vec3Length(v);
    if (length > 0) {
        for (int k = 0; k < 3; ++k) {
            v[k] /= length;
        }
    }
}

enum class PoseVariant { kUpdate, kPath, kPathNoPlane };

// The pose steps below read and write the records they are given and the shared machine
// geometry and controller settings.

// With tool length compensation on, E loses the tool length on the compensated axis.
void SubtractLengthCompensation(const KinematicsSessionRecords& k, MotionPosition* end) {
    const int axis = k.modes.lengthCompensationAxis;
    if (axis >= 0 && axis < 5) {
        end->axis[axis] -= k.toolValues.lengthOffset;
    }
}

// Branch A: the machine position is given; P, E and E' follow from it.
void DerivedFromMachinePosition(KinematicsSessionRecords& k, const MotionPosition& machine,
                                MotionPosition* program) {
    const KinematicsToolValues& tool = k.toolValues;
    SubtractWorkOffset(k.workOrigin, machine.axis, program->axis);
    MotionRecord& motion = k.motion;
    motion.end = *program;
    motion.transformedEnd = *program;
    if (k.modes.automaticToolOffset) {
        motion.end.axis[0] -= tool.fixedHeadOffset[0];
        motion.end.axis[2] = program->axis[2] - tool.fixedHeadOffset[2];
    } else if (k.modes.lengthCompensation) {
        SubtractLengthCompensation(k, &motion.end);
    }
    const double d = tool.gaugeLength - tool.toolShift;
    SubtractToolLength(CurrentMachine, motion.end.axis, d);
    SubtractToolLength(CurrentMachine, motion.transformedEnd.axis, d);
}

// Branch D: G53 or G53.1; the machine position is given.
void DerivedFromMachineCoordinateMove(KinematicsSessionRecords& k, const MotionPosition& machine,
                                      const double point[3], MotionPosition* program) {
    const KinematicsModeFlags& mode = k.modes;
    const KinematicsToolValues& tool = k.toolValues;
    MotionRecord& motion = k.motion;
    bool offsetApplied = false;
    if (!mode.planeCoordinates ||
        (mode.machineCoordinateMove && !KinematicsController.heidenhain)) {
        SubtractWorkOffset(k.workOrigin, machine.axis, program->axis);
        SubtractToolLength(CurrentMachine, program->axis, tool.gaugeLength - tool.toolShift);
        motion.end = *program;
        motion.transformedEnd = *program;
        if (mode.automaticToolOffset) {
            motion.end.axis[0] -= tool.fixedHeadOffset[0];
            motion.end.axis[2] -= tool.fixedHeadOffset[2];
            offsetApplied = true;
        }
    } else {
        double planePoint[3];
        ConvertMachineToPlane(k.plane, k.workOrigin, point, planePoint);
        program->axis[0] = planePoint[0];
        program->axis[1] = planePoint[1];
        program->axis[2] = planePoint[2] + tool.toolShift;
        motion.end = *program;
        motion.transformedEnd = *program;
    }
    if (!offsetApplied && mode.lengthCompensation) {
        SubtractLengthCompensation(k, &motion.end);
    }
}

// Branch B: tool centre point control; the program position is the tool point.
void PoseUnderToolCentreControl(const KinematicsSessionRecords& k, const MotionPosition& program,
                                MotionPosition* machine, double point[3], double axis[3]) {
    const MachineGeometry& m = CurrentMachine;
    const KinematicsToolValues& tool = k.toolValues;
    const MotionPosition& w = k.workOrigin;
    const TcpTableFrame& tcp = k.tcp;
    const int type = KinematicType(m);
    machine->axis[3] = program.axis[3] + w.axis[3] + tcp.referenceAngle[0];
    machine->axis[4] = program.axis[4] + w.axis[4] + tcp.referenceAngle[1];
    for (int i = 0; i < 3; ++i) {
        point[i] = program.axis[i] + w.axis[i];
    }
    if (type != 2) {
        point[2] += tool.gaugeLength - tool.toolShift;
    }
    if (!(k.modes.tclCoordinate == 1 && w.axis[3] == 0 && w.axis[4] == 0)) {
        const bool turned1 = machine->axis[3] != program.axis[3];
        const bool turned2 = machine->axis[4] != program.axis[4];
        if ((m.rotaryType == 2 && (turned1 || turned2)) || (m.rotaryType == 3 && turned2)) {
            TurnPointWithTable(m, point, tcp.sin1, tcp.cos1, tcp.sin2, tcp.cos2, point);
        }
    }
    const double angles[2] = {machine->axis[3], machine->axis[4]};
    ComputeMachinePositionWithToolLength(m, tool, point, angles, machine->axis);
    ComputeToolAxisFromRotaryAngles(m, angles, axis);
    const double back =
        type == 2 ? tool.toolShift - tool.lengthOffset : tool.gaugeLength - tool.lengthOffset;
    if (back != 0) {
        SubtractAlong(point, axis, back);
    }
}

// Branch C1: program position plus work origin plus the tool length.
void PoseFromProgramPosition(const KinematicsSessionRecords& k, const MotionPosition& program,
                             MotionPosition* machine) {
    const KinematicsModeFlags& mode = k.modes;
    const MotionPosition& w = k.workOrigin;
    if (mode.cylindricalInterpolation) {
        const int i0 = mode.cylindricalIndex[0], i1 = mode.cylindricalIndex[1];
        const double first = (i0 >= 0 && i0 < 5) ? program.axis[i0] : 0.0;
        const double second = (i1 >= 0 && i1 < 5) ? program.axis[i1] : 0.0;
        machine->axis[0] = w.axis[0] + first;
        machine->axis[1] = w.axis[1];
        machine->axis[2] = program.axis[2] + w.axis[2];
        machine->axis[3] = program.axis[3] + w.axis[3];
        machine->axis[4] = w.axis[4] + second;
    } else if (mode.polarInterpolation) {
        double polar[5];
        ConvertCartesianToPolar(program.axis, 1, polar);
        AddWorkOffset(w, polar, machine->axis);
    } else {
        AddWorkOffset(w, program.axis, machine->axis);
    }
    // The tool length G - S is added along the base axis.
    SubtractToolLength(CurrentMachine, machine->axis,
                       k.toolValues.toolShift - k.toolValues.gaugeLength);
}

// Branch C2: program position in tilted-plane coordinates.
void PoseFromPlanePosition(KinematicsSessionRecords& k, const MotionPosition& program,
                           const MotionPosition& previous, MotionPosition* machine, double point[3],
                           double axis[3]) {
    const MachineGeometry& m = CurrentMachine;
    const TiltedWorkPlane& plane = k.plane;
    ConvertPlaneToMachine(plane, k.workOrigin, program.axis, point);
    double angles[2] = {0, 0};
    if (plane.active) {
        Copy3(plane.matrix + 6, axis);
        if (plane.mode == 2) {
            angles[0] = plane.storedAngles[0];
            angles[1] = plane.storedAngles[1];
        } else {
            const StrokeLimits& s = m.strokes;
            const double prev[2] = {previous.axis[3], previous.axis[4]};
            const int flags[2] = {s.enabled[3], s.enabled[4]};
            const double range1[2] = {s.min[3], s.max[3]};
            const double range2[2] = {s.min[4], s.max[4]};
            SolveRotaryAngles(k, axis, prev, flags, range1, range2, angles);
        }
    } else {
        Copy3(m.toolDirection, axis);
    }
    SubtractAlong(point, axis, k.toolValues.toolShift);
    ComputeMachinePositionFromToolPoint(m, k.toolValues, point, angles, machine->axis);
    machine->axis[3] = angles[0];
    machine->axis[4] = angles[1];
    if (k.modes.keepProgrammedAngles) {
        // The machine follows the programmed angles: the pose is that of the machine position,
        // in the per-step update as in the path drawing, so that cutting and path agree.
        machine->axis[3] = program.axis[3] + k.workOrigin.axis[3];
        machine->axis[4] = program.axis[4] + k.workOrigin.axis[4];
        ComputeToolTipAndAxis(m, k.toolValues, machine->axis, point, axis);
    }
}

void ComputePose(KinematicsSessionRecords& k, MotionPosition* program, MotionPosition* machine,
                 double point[3], double axis[3], PoseVariant variant) {
    const KinematicsModeFlags& mode = k.modes;
    const bool machineGiven = mode.machineCoordinateMove || mode.lastGCode == 531;
    if (mode.positionSource == 2) {
        ComputeToolTipAndAxis(CurrentMachine, k.toolValues, machine->axis, point, axis);
        DerivedFromMachinePosition(k, *machine, program);
    } else if (mode.toolCenterControl != 0) {
        // The machine position of tool centre point control is always the records' own, for the
        // path drawing too; the caller's record is read only in the reverse branches.
        PoseUnderToolCentreControl(k, *program, &k.pose.machine, point, axis);
    } else if (!machineGiven) {
        MotionPosition scratch = k.pose.machine;
        if (!mode.planeCoordinates) {
            PoseFromProgramPosition(k, *program, &scratch);
            ComputeToolTipAndAxis(CurrentMachine, k.toolValues, scratch.axis, point, axis);
        } else {
            PoseFromPlanePosition(k, *program, k.pose.machine, &scratch, point, axis);
        }
        if (variant != PoseVariant::kPathNoPlane) {
            k.pose.machine = scratch;
        }
    } else {
        ComputeToolTipAndAxis(CurrentMachine, k.toolValues, machine->axis, point, axis);
        if (variant != PoseVariant::kPathNoPlane) {
            DerivedFromMachineCoordinateMove(k, *machine, point, program);
        }
    }
}

}  // namespace

// --- Rotations -----------------------------------------------------------------------------

void RotateInAxisPlane(const double v[3], double out[3], double c, double s, int a, int p, int q) {
    const double va = v[a], vp = v[p], vq = v[q];
    out[a] = va;
    out[p] = c * vp - s * vq;
    out[q] = c * vq + s * vp;
}

void RotateAboutTiltedAxis(const double v[3], double out[3], double tiltSin, double tiltCos,
                           double angleSin, double angleCos, int a, int p, int q) {
    double u[3];
    u[a] = tiltCos * v[a] + tiltSin * v[p];
    u[p] = -tiltSin * v[a] + tiltCos * v[p];
    u[q] = v[q];
    double w[3];
    RotateInAxisPlane(u, w, angleCos, angleSin, a, p, q);
    out[a] = tiltCos * w[a] - tiltSin * w[p];
    out[p] = tiltSin * w[a] + tiltCos * w[p];
    out[q] = w[q];
}

void RotateAboutDoublyTiltedAxis(const double v[3], double out[3], double elevationSin,
                                 double elevationCos, double azimuthSin, double azimuthCos,
                                 double angleSin, double angleCos, int k, int p, int q) {
    const int i = 1 - k;
    const double ct = elevationCos, st = elevationSin, cz = azimuthCos, sz = azimuthSin;
    double a[3], b[3], r[3], d[3];
    a[k] = cz * v[k] + sz * v[i];
    a[i] = cz * v[i] - sz * v[k];
    a[2] = v[2];
    b[k] = ct * a[k] + st * a[2];
    b[2] = -st * a[k] + ct * a[2];
    b[i] = a[i];
    RotateInAxisPlane(b, r, angleCos, angleSin, k, p, q);
    d[k] = ct * r[k] - st * r[2];
    d[2] = st * r[k] + ct * r[2];
    d[i] = r[i];
    out[k] = cz * d[k] - sz * d[i];
    out[i] = sz * d[k] + cz * d[i];
    out[2] = d[2];
}

void RotateAboutRotaryAxis(const MachineGeometry& m, int index, const double v[3], double s,
                           double c, double out[3]) {
    const RotaryAxisFrame& f = m.rotary[index];
    if (TiltAllowed(m, index) && f.tiltKind == kTiltAngle) {
        RotateAboutTiltedAxis(v, out, f.tiltSin, f.tiltCos, s, c, f.axis, f.planeP, f.planeQ);
    } else if (TiltAllowed(m, index) && f.tiltKind == kTiltVector && f.axis != 2) {
        // A vector tilt needs a horizontal axis; one about Z is turned plainly.
        RotateAboutDoublyTiltedAxis(v, out, f.tiltSin, f.tiltCos, f.azimuthSin, f.azimuthCos, s, c,
                                    f.axis, f.planeP, f.planeQ);
    } else {
        PlainAboutAxis(m, index, v, s, c, out);
    }
}

void RotateAboutRotaryAxis(int index, const double v[3], double s, double c, double out[3]) {
    RotateAboutRotaryAxis(CurrentMachine, index, v, s, c, out);
}

void RotaryAxisDirection(const MachineGeometry& m, int index, double n[3]) {
    const RotaryAxisFrame& f = m.rotary[index];
    n[0] = n[1] = n[2] = 0.0;
    if (TiltAllowed(m, index) && f.tiltKind == kTiltAngle) {
        n[f.axis] = f.tiltCos;
        n[f.planeP] = f.tiltSin;
    } else if (TiltAllowed(m, index) && f.tiltKind == kTiltVector && f.axis != 2) {
        n[f.axis] = f.azimuthCos * f.tiltCos;
        n[1 - f.axis] = f.azimuthSin * f.tiltCos;
        n[2] = f.tiltSin;
    } else {
        n[f.axis] = 1.0;
    }
}

void RotaryAxisDirection(int index, double n[3]) {
    RotaryAxisDirection(CurrentMachine, index, n);
}

void RotateByFirstRotaryAngle(KinematicsSessionRecords& kinematics, const double v[3],
                              double out[3]) {
    RotateAboutRotaryAxis(0, v, kinematics.pose.sin1, kinematics.pose.cos1, out);
}

void RotateByBothRotaryAngles(KinematicsSessionRecords& kinematics, const double v[3],
                              double out[3]) {
    const MachinePose& pose = kinematics.pose;
    TurnByBothAxes(CurrentMachine, AngleTrig{pose.sin1, pose.cos1, pose.sin2, pose.cos2}, v, out);
}

void RotateVectorByRotaryAngles(const MachineGeometry& m, const double angles[2], const double v[3],
                                double out[3]) {
    TurnByBothAxes(m, TrigOf(m, angles), v, out);
}

void RotateVectorByRotaryAngles(const double angles[2], const double v[3], double out[3]) {
    RotateVectorByRotaryAngles(CurrentMachine, angles, v, out);
}

void ComputeToolAxisFromRotaryAngles(const MachineGeometry& m, const double angles[2],
                                     double axis[3]) {
    RotateVectorByRotaryAngles(m, angles, m.toolDirection, axis);
    SnapToolAxis(axis);
}

void ComputeToolAxisFromRotaryAngles(const double angles[2], double axis[3]) {
    ComputeToolAxisFromRotaryAngles(CurrentMachine, angles, axis);
}

void SnapToolAxis(double axis[3]) {
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(axis[i]) < kAxisSnap) {
            axis[i] = 0.0;
        }
    }
}

// --- Forward and inverse kinematics --------------------------------------------------------

void ComputeToolTipAndAxis(const MachineGeometry& m, const KinematicsToolValues& tool,
                           const double machine[5], double point[3], double axis[3]) {
    const double angles[2] = {machine[3], machine[4]};
    double p[3];
    ForwardWithTrig(m, tool, machine, TrigOf(m, angles), p, axis);
    Copy3(p, point);
}

void ComputeToolTipAndAxis(KinematicsSessionRecords& kinematics, const double machine[5],
                           double point[3], double axis[3]) {
    ComputeToolTipAndAxis(CurrentMachine, kinematics.toolValues, machine, point, axis);
}

void ComputeMachinePositionFromToolPoint(const MachineGeometry& m, const KinematicsToolValues& tool,
                                         const double point[3], const double angles[2],
                                         double machineXyz[3]) {
    const double g = tool.gaugeLength;
    double out[3];
    InverseKinematics(m, point, angles, g, g, out);
    Copy3(out, machineXyz);
}

void ComputeMachinePositionFromToolPoint(KinematicsSessionRecords& kinematics,
                                         const double point[3], const double angles[2],
                                         double machineXyz[3]) {
    ComputeMachinePositionFromToolPoint(CurrentMachine, kinematics.toolValues, point, angles,
                                        machineXyz);
}

void ComputeMachinePositionWithToolLength(const MachineGeometry& m, const KinematicsToolValues& t,
                                          const double point[3], const double angles[2],
                                          double machineXyz[3]) {
    double out[3];
    InverseKinematics(m, point, angles, t.lengthOffset,
                      t.gaugeLength + t.lengthOffset - t.toolShift, out);
    Copy3(out, machineXyz);
}

void ComputeMachinePositionWithToolLength(KinematicsSessionRecords& kinematics,
                                          const double point[3], const double angles[2],
                                          double machineXyz[3]) {
    ComputeMachinePositionWithToolLength(CurrentMachine, kinematics.toolValues, point, angles,
                                         machineXyz);
}

void ComputeRotaryRadius(const MachineGeometry& m, const KinematicsToolValues& tool,
                         const double machine[5], double radii[2]) {
    const RotaryAxisFrame& f1 = m.rotary[0];
    const RotaryAxisFrame& f2 = m.rotary[1];
    const double angles[2] = {machine[3], machine[4]};
    const AngleTrig t = TrigOf(m, angles);
    const int type = KinematicType(m);
    double h[3];
    HeadGaugeVector(m, tool.gaugeLength, h);
    if (type == 1) {
        radii[1] = std::hypot(h[f2.planeP], h[f2.planeQ]);
        double g[3];
        RotateAboutRotaryAxis(m, 1, h, t.s2, t.c2, g);
        Vec3Sub(g, m.headOffset, g);
        radii[0] = std::hypot(g[f1.planeP], g[f1.planeQ]);
    } else if (type == 2) {
        double v[3];
        Vec3Sub(machine, m.tablePosition, v);
        radii[0] = std::hypot(v[f1.planeP], v[f1.planeQ]);
        double u[3];
        RotateAboutRotaryAxis(m, 0, v, t.s1, t.c1, u);
        u[f2.planeP] -= m.tableOffset[f2.planeP];
        u[f2.planeQ] -= m.tableOffset[f2.planeQ];
        radii[1] = std::hypot(u[f2.planeP], u[f2.planeQ]);
    } else {
        radii[0] = std::hypot(h[f1.planeP], h[f1.planeQ]);
        double e[3];
        RotateAboutRotaryAxis(m, 0, h, t.s1, t.c1, e);
        for (int i = 0; i < 3; ++i) {
            e[i] += m.headPosition[i] + machine[i];
        }
        radii[1] = std::hypot(e[f2.planeP] - m.tablePosition[f2.planeP],
                              e[f2.planeQ] - m.tablePosition[f2.planeQ]);
    }
}

void ComputeRotaryRadius(KinematicsSessionRecords& kinematics, const double machine[5],
                         double radii[2]) {
    ComputeRotaryRadius(CurrentMachine, kinematics.toolValues, machine, radii);
}

// --- Work origin and tilted plane ----------------------------------------------------------

void SubtractWorkOffset(const MotionPosition& origin, const double position[5], double out[5]) {
    for (int i = 0; i < 5; ++i) {
        out[i] = position[i] - origin.axis[i];
    }
}

void SubtractWorkOffset(KinematicsSessionRecords& kinematics, const double position[5],
                        double out[5]) {
    SubtractWorkOffset(kinematics.workOrigin, position, out);
}

void AddWorkOffset(const MotionPosition& origin, const double position[5], double out[5]) {
    for (int i = 0; i < 5; ++i) {
        out[i] = position[i] + origin.axis[i];
    }
}

void AddWorkOffset(KinematicsSessionRecords& kinematics, const double position[5], double out[5]) {
    AddWorkOffset(kinematics.workOrigin, position, out);
}

void ConvertMachineToPlane(const TiltedWorkPlane& plane, const MotionPosition& origin,
                           const double point[3], double planePoint[3]) {
    double d[3];
    for (int i = 0; i < 3; ++i) {
        d[i] = point[i] - plane.origin[i] - origin.axis[i];
    }
    for (int r = 0; r < 3; ++r) {
        planePoint[r] = Vec3Dot(plane.matrix + 3 * r, d);
    }
}

void ConvertMachineToPlane(KinematicsSessionRecords& kinematics, const double point[3],
                           double planePoint[3]) {
    ConvertMachineToPlane(kinematics.plane, kinematics.workOrigin, point, planePoint);
}

void ConvertPlaneToMachine(const TiltedWorkPlane& plane, const MotionPosition& origin,
                           const double planePoint[3], double point[3]) {
    const double* q = plane.matrix;
    double out[3];
    for (int i = 0; i < 3; ++i) {
        out[i] = q[i] * planePoint[0] + q[3 + i] * planePoint[1] + q[6 + i] * planePoint[2] +
                 plane.origin[i] + origin.axis[i];
    }
    Copy3(out, point);
}

void ConvertPlaneToMachine(KinematicsSessionRecords& kinematics, const double planePoint[3],
                           double point[3]) {
    ConvertPlaneToMachine(kinematics.plane, kinematics.workOrigin, planePoint, point);
}

// --- Pose updates --------------------------------------------------------------------------

void UpdateMachinePosition(KinematicsSessionRecords& records) {
    MachinePose& pose = records.pose;
    ComputePose(records, &pose.program, &pose.machine, pose.tool.point, pose.tool.axis,
                PoseVariant::kUpdate);
    SinCosDegrees(pose.machine.axis[3], CurrentMachine.rotary[0].sign, &pose.sin1, &pose.cos1);
    SinCosDegrees(pose.machine.axis[4], CurrentMachine.rotary[1].sign, &pose.sin2, &pose.cos2);
}

// Path drawing: the reverse branches (machine position given, or G53 / G53.1 without tool centre
// point control) write the records' program position, E and E'; the other branches read the
// caller's program position, and branch C builds the machine position in a scratch record and
// copies it into the records' one.
void ConvertPathPointToMachine(KinematicsSessionRecords& records, const MotionPosition& program,
                               MotionPosition* machine, double point[3], double axis[3]) {
    const KinematicsModeFlags& mode = records.modes;
    const bool reverse =
        mode.positionSource == 2 ||
        (mode.toolCenterControl == 0 && (mode.machineCoordinateMove || mode.lastGCode == 531));
    MotionPosition p = program;
    ComputePose(records, reverse ? &records.pose.program : &p, machine, point, axis,
                PoseVariant::kPath);
}

// As ConvertPathPointToMachine, but branch C never writes the records' machine position and
// under G53 or G53.1 only the tool pose is computed from the caller's machine position.
void ConvertPathPointToMachineNoPlane(KinematicsSessionRecords& records,
                                      const MotionPosition& program, MotionPosition* machine,
                                      double point[3], double axis[3]) {
    MotionPosition p = program;
    MotionPosition* target = records.modes.positionSource == 2 ? &records.pose.program : &p;
    ComputePose(records, target, machine, point, axis, PoseVariant::kPathNoPlane);
}

void TurnPointWithTable(const MachineGeometry& m, const double point[3], double s1, double c1,
                        double s2, double c2, double out[3]) {
    const RotaryAxisFrame& f2 = m.rotary[1];
    double d[3];
    Vec3Sub(point, m.tablePosition, d);
    if (m.rotaryType == 3) {
        RotateInAxisPlane(d, d, c2, s2, f2.axis, f2.planeP, f2.planeQ);
        out[f2.axis] = point[f2.axis];
        out[f2.planeP] = d[f2.planeP] + m.tablePosition[f2.planeP];
        out[f2.planeQ] = d[f2.planeQ] + m.tablePosition[f2.planeQ];
    } else if (m.rotaryType == 2) {
        // The same order as the table's forward map: axis 1, then axis 2 about its offset centre.
        // The inverse kinematics of tool centre point control undoes axis 2 and then axis 1, so
        // only this order lets the turn and its undo cancel when both table angles are non-zero.
        RotateAboutRotaryAxis(m, 0, d, s1, c1, d);
        TurnAboutTableOffset(m, d, s2, c2, d);
        Vec3Add(d, m.tablePosition, out);
    } else if (out != point) {
        Copy3(point, out);
    }
}

void TurnPointWithTable(const double point[3], double s1, double c1, double s2, double c2,
                        double out[3]) {
    TurnPointWithTable(CurrentMachine, point, s1, c1, s2, c2, out);
}

void RotatePointAboutTableCentre(KinematicsSessionRecords& kinematics, double point[3]) {
    const TcpTableFrame& t = kinematics.tcp;
    TurnPointWithTable(point, t.sin1, t.cos1, t.sin2, t.cos2, point);
}

void FillTcpTableFrame(KinematicsSessionRecords& kinematics, const double programAngles[2]) {
    const MachineGeometry& m = CurrentMachine;
    const MotionPosition& w = kinematics.workOrigin;
    TcpTableFrame& t = kinematics.tcp;
    t.referenceAngle[0] = 0;
    t.referenceAngle[1] = 0;
    const int type = m.rotaryType;
    if (kinematics.modes.tclCoordinate == 0 && (type == 2 || type == 3)) {
        t.referenceAngle[1] = programAngles[1];
        SinCosDegrees(t.referenceAngle[1] + w.axis[4], m.rotary[1].sign, &t.sin2, &t.cos2);
        if (type == 2) {
            t.referenceAngle[0] = programAngles[0];
            SinCosDegrees(t.referenceAngle[0] + w.axis[3], m.rotary[0].sign, &t.sin1, &t.cos1);
        }
    } else if (w.axis[3] != 0 || w.axis[4] != 0) {
        SinCosDegrees(w.axis[4], m.rotary[1].sign, &t.sin2, &t.cos2);
        if (type == 2) {
            SinCosDegrees(w.axis[3], m.rotary[0].sign, &t.sin1, &t.cos1);
        }
    }
}

// --- Tool frame per step -------------------------------------------------------------------

void RotateByToolAxisAngles(const double axisA[3], const double rollC[3], double v[3],
                            double spindleAngle, int choice) {
    // Orthonormal frame: e0 along A, e1 the part of C across A, e2 = e0 x e1.
    double e0[3], e1[3], e2[3];
    const double lengthA = Vec3Length(axisA);
    if (!(lengthA > 0)) {
        return;
    }
    for (int i = 0; i < 3; ++i) {
        e0[i] = axisA[i] / lengthA;
    }
    const double along = Vec3Dot(rollC, e0);
    for (int i = 0; i < 3; ++i) {
        e1[i] = rollC[i] - along * e0[i];
    }
    double length1 = Vec3Length(e1);
    if (!(length1 > 1e-12)) {
        // No roll given: take the machine axis least aligned with A.
        int k = 0;
        for (int i = 1; i < 3; ++i) {
            if (std::fabs(e0[i]) < std::fabs(e0[k])) {
                k = i;
            }
        }
        const double unit[3] = {k == 0 ? 1.0 : 0.0, k == 1 ? 1.0 : 0.0, k == 2 ? 1.0 : 0.0};
        for (int i = 0; i < 3; ++i) {
            e1[i] = unit[i] - e0[k] * e0[i];
        }
        length1 = Vec3Length(e1);
    }
    for (int i = 0; i < 3; ++i) {
        e1[i] /= length1;
    }
    Vec3Cross(e0, e1, e2);
    const double* frame[3] = {e0, e1, e2};
    double local[3];
    for (int r = 0; r < 3; ++r) {
        local[r] = Vec3Dot(frame[r], v);
    }
    const double c = std::cos(spindleAngle);
    const double s = std::sin(spindleAngle);
    switch (choice) {
        case 0:
            RotateInAxisPlane(local, local, c, s, 1, 2, 0);
            break;
        case 2:
            RotateInAxisPlane(local, local, c, -s, 1, 2, 0);
            break;
        case -1:
            RotateInAxisPlane(local, local, c, -s, 0, 1, 2);
            break;
        default:
            RotateInAxisPlane(local, local, c, s, 0, 1, 2);
            break;
    }
    for (int i = 0; i < 3; ++i) {
        v[i] = local[0] * e0[i] + local[1] * e1[i] + local[2] * e2[i];
    }
}

void ComputeToolFrameAtStep(const MotionRecord& motion, const double point[3], double spindleStep,
                            int i, double direction[3], double reference[3]) {
    for (int k = 0; k < 3; ++k) {
        reference[k] = motion.referenceStart[k] + i * motion.referenceStep[k];
    }
    if (motion.spindleStartAngle == 0 && motion.spindleSecondAngle == 0) {
        return;
    }
    const double spindleAngle = i * spindleStep + motion.spindleStartAngle;
    if (motion.motionType == 2 || motion.motionType == 3) {
        const int n =
            (motion.arcNormalAxis >= 0 && motion.arcNormalAxis < 3) ? motion.arcNormalAxis : 2;
        double radial[3];
        Vec3Sub(point, motion.arcCentre, radial);
        radial[n] = 0;
        double normal[3] = {0, 0, 0};
        normal[n] = motion.motionType == 2 ? 1.0 : -1.0;
        Vec3Cross(radial, normal, direction);
        NormaliseIfNonZero(direction);
    }
    double t[3];
    Vec3Cross(reference, direction, t);
    NormaliseIfNonZero(t);
    double w[3];
    Vec3Cross(direction, t, w);
    RotateByToolAxisAngles(direction, t, w, spindleAngle, motion.spindleAxisChoice);
    Copy3(w, reference);
}

void ComputeToolFrameAtStep(KinematicsSessionRecords& kinematics, const double point[3],
                            double spindleStep, int i, double direction[3], double reference[3]) {
    ComputeToolFrameAtStep(kinematics.motion, point, spindleStep, i, direction, reference);
}

}  // namespace mirexa
