// Orientation frames of a turning table and the maps of scene points into work coordinates.
#include "geometry/orientation_frames.h"

#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"

namespace mirexa {

OrientationMatrices Orientation;
WorkOffsetHooks WorkOffsetSource;
SceneFollowSettings SceneFollow;

namespace {

void ReadWorkOffsetEntry(int index, double out[5]) {
    for (int i = 0; i < 5; ++i) {
        out[i] = 0.0;
    }
    if (WorkOffsetSource.readEntry != nullptr && index >= 0 && index <= 200) {
        WorkOffsetSource.readEntry(index, out);
    }
}

}  // namespace

void RotateAboutFirstRotaryAxis(const double point[3], double c, double s, double out[3]) {
    const RotaryAxisFrame& f = CurrentMachine.rotary[0];
    if (f.tiltKind == kTiltAngle) {
        RotateAboutTiltedAxis(point, out, f.tiltSin, f.tiltCos, s, c, f.axis, f.planeP, f.planeQ);
    } else if (f.tiltKind == kTiltVector && f.axis != 2) {
        RotateAboutDoublyTiltedAxis(point, out, f.tiltSin, f.tiltCos, f.azimuthSin, f.azimuthCos, s,
                                    c, f.axis, f.planeP, f.planeQ);
    } else {
        RotateInAxisPlane(point, out, c, s, f.axis, f.planeP, f.planeQ);
    }
}

void RotateAboutSecondRotaryAxis(const double point[3], double c, double s, double out[3]) {
    const RotaryAxisFrame& f = CurrentMachine.rotary[1];
    RotateInAxisPlane(point, out, c, s, f.axis, f.planeP, f.planeQ);
}

void BuildOrientationMatrix(const MotionPosition& position, double origin[3], double matrix[9],
                            double scale, double scaled[9]) {
    const MachineGeometry& m = CurrentMachine;
    const double a1 = position.axis[3], a2 = position.axis[4];
    double s1, c1, s2, c2;
    SinCosDegrees(a1, m.rotary[0].sign, &s1, &c1);
    SinCosDegrees(a2, m.rotary[1].sign, &s2, &c2);
    for (int i = 0; i < 9; ++i) {
        matrix[i] = (i % 4 == 0) ? 1.0 : 0.0;
    }
    for (int i = 0; i < 3; ++i) {
        origin[i] = position.axis[i];
    }
    if (m.rotaryType == 2 && (a1 != 0 || a2 != 0)) {
        TurnPointWithTable(position.axis, s1, c1, s2, c2, origin);
        for (int r = 0; r < 3; ++r) {
            RotateAboutFirstRotaryAxis(matrix + 3 * r, c1, s1, matrix + 3 * r);
            RotateAboutSecondRotaryAxis(matrix + 3 * r, c2, s2, matrix + 3 * r);
        }
    } else if (m.rotaryType == 3 && a2 != 0) {
        TurnPointWithTable(origin, s1, c1, s2, c2, origin);
        for (int r = 0; r < 3; ++r) {
            RotateAboutSecondRotaryAxis(matrix + 3 * r, c2, s2, matrix + 3 * r);
        }
    }
    for (int i = 0; i < 9; ++i) {
        scaled[i] = scale * matrix[i];
    }
}

void UpdateToolMatrixFromPosition() {
    OrientationMatrices& o = Orientation;
    MotionPosition external;
    ReadWorkOffsetEntry(0, external.axis);
    BuildOrientationMatrix(external, o.machineOrigin, o.machineMatrix, 0.05, o.machineScaled);
    InvertMatrix3(o.machineMatrix, o.machineInverse);
    o.viewDirty = 1;
}

namespace {

void SetWorkFrame(const MotionPosition& sum) {
    OrientationMatrices& o = Orientation;
    o.workPosition = sum;
    BuildOrientationMatrix(sum, o.workOrigin, o.workMatrix, 0.2, o.workScaled);
    InvertMatrix3(o.workMatrix, o.workInverse);
    o.viewDirty = 1;
}

}  // namespace

void UpdateToolMatrixWithWorkOffset() {
    MotionPosition sum;
    ReadWorkOffsetEntry(0, sum.axis);
    const int n = WorkOffsetSource.currentIndex != nullptr ? WorkOffsetSource.currentIndex() : 0;
    if (n > 0 && n <= 200) {
        double entry[5];
        ReadWorkOffsetEntry(n, entry);
        for (int i = 0; i < 5; ++i) {
            sum.axis[i] += entry[i];
        }
    }
    SetWorkFrame(sum);
}

MotionPosition WorkOffsetSum(const MotionPosition table[], int index) {
    MotionPosition sum = table[0];
    if (index > 0 && index <= 200) {
        for (int i = 0; i < 5; ++i) {
            sum.axis[i] += table[index].axis[i];
        }
    }
    return sum;
}

void UpdateToolMatrixWithWorkOffset(const MotionPosition table[], int currentIndex) {
    SetWorkFrame(WorkOffsetSum(table, currentIndex));
}

void TransformToToolFrame(const double point[3], double out[3]) {
    const OrientationMatrices& o = Orientation;
    double d[3];
    Vec3Sub(point, o.workOrigin, d);
    if (o.workPosition.axis[3] == 0 && o.workPosition.axis[4] == 0) {
        out[0] = d[0], out[1] = d[1], out[2] = d[2];
        return;
    }
    const double* n = o.workInverse;
    for (int j = 0; j < 3; ++j) {
        out[j] = n[j] * d[0] + n[3 + j] * d[1] + n[6 + j] * d[2];
    }
}

void ConvertMachineToWorkPosition(KinematicsSessionRecords& kinematics, const double point[3],
                                  double out[3]) {
    const MachineGeometry& m = CurrentMachine;
    const MachinePose& pose = kinematics.pose;
    const RotaryAxisFrame& f2 = m.rotary[1];
    const double a1 = pose.machine.axis[3], a2 = pose.machine.axis[4];
    double r[3] = {point[0], point[1], point[2]};
    if (!SceneFollow.followRotaryAxes) {
        if (m.rotaryType == 2 && (a1 != 0 || a2 != 0)) {
            double d[3];
            Vec3Sub(point, m.secondTableCentre, d);
            RotateInAxisPlane(d, d, pose.cos2, -pose.sin2, f2.axis, f2.planeP, f2.planeQ);
            for (int i = 0; i < 3; ++i) {
                d[i] += m.secondTableCentre[i] - m.tablePosition[i];
            }
            RotateAboutFirstRotaryAxis(d, pose.cos1, -pose.sin1, d);
            Vec3Add(d, m.tablePosition, r);
        } else if (m.rotaryType == 3 && a2 != 0) {
            TurnPointWithTable(point, pose.sin1, pose.cos1, -pose.sin2, pose.cos2, r);
        }
    }
    if (!SceneFollow.followLinearAxes) {
        for (int i = 0; i < 3; ++i) {
            r[i] += SceneFollow.tableDisplacement[i];
        }
    }
    out[0] = r[0], out[1] = r[1], out[2] = r[2];
}

}  // namespace mirexa
