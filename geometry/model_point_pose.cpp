// Structure-model vertex posing, the stock placement inverse and the tool-axis snap.
#include "geometry/model_point_pose.h"

#include <cmath>

#include "geometry/machine_kinematics.h"

namespace mirexa {

namespace {

// Machine angle 1 or 2 about its rotary axis, with the tilt the rotary type allows.
void TurnByAngle(const MachinePose& pose, int index, const double v[3], double out[3]) {
    if (index == 0) {
        RotateAboutRotaryAxis(0, v, pose.sin1, pose.cos1, out);
    } else {
        RotateAboutRotaryAxis(1, v, pose.sin2, pose.cos2, out);
    }
}

// The same turn without tilt.
void TurnPlainly(const MachinePose& pose, int index, const double v[3], double out[3]) {
    const RotaryAxisFrame& f = CurrentMachine.rotary[index];
    const double s = index == 0 ? pose.sin1 : pose.sin2;
    const double c = index == 0 ? pose.cos1 : pose.cos2;
    RotateInAxisPlane(v, out, c, s, f.axis, f.planeP, f.planeQ);
}

// v turned by machine angle index + 1 (with the tilt allowed) about the centre.
void TurnAboutCentre(const MachinePose& pose, int index, const double v[3], const double centre[3],
                     double out[3]) {
    double d[3];
    for (int i = 0; i < 3; ++i) {
        d[i] = v[i] - centre[i];
    }
    TurnByAngle(pose, index, d, d);
    for (int i = 0; i < 3; ++i) {
        out[i] = d[i] + centre[i];
    }
}

// out[a2] = p[a2]; on axis 2's plane indices, p turned plainly by angle 2 about the centre.
void TurnAboutSecondAxis(const MachinePose& pose, const double p[3], const double centre[3],
                         double out[3]) {
    const RotaryAxisFrame& f = CurrentMachine.rotary[1];
    double d[3];
    for (int i = 0; i < 3; ++i) {
        d[i] = p[i] - centre[i];
    }
    TurnPlainly(pose, 1, d, d);
    out[f.axis] = p[f.axis];
    out[f.planeP] = d[f.planeP] + centre[f.planeP];
    out[f.planeQ] = d[f.planeQ] + centre[f.planeQ];
}

}  // namespace

void PoseModelPoint(const MachinePose& pose, const double origin[3], const double vertex[3],
                    double out[3]) {
    const MachineGeometry& m = CurrentMachine;
    double v[3];
    if (m.rotaryType == 3) {
        TurnAboutCentre(pose, 0, vertex, m.headPosition, v);
    } else {
        TurnPlainly(pose, 0, vertex, v);
    }
    for (int i = 0; i < 3; ++i) {
        out[i] = origin[i] + v[i];
    }
}

void PoseModelPointPivot(const MachinePose& pose, const double origin[3], const double vertex[3],
                         double out[3]) {
    const MachineGeometry& m = CurrentMachine;
    double e[3];
    TurnAboutCentre(pose, 0, vertex, m.headPosition, e);
    for (int i = 0; i < 3; ++i) {
        e[i] += origin[i];
    }
    TurnAboutSecondAxis(pose, e, m.tablePosition, out);
}

void PoseModelPointAxes(const MachinePose& pose, const double origin[3], const double vertex[3],
                        double out[3]) {
    const MachineGeometry& m = CurrentMachine;
    const RotaryAxisFrame& f = m.rotary[1];
    double v[3] = {vertex[0], vertex[1], vertex[2]};
    v[f.planeP] += m.headOffset[f.planeP];
    v[f.planeQ] += m.headOffset[f.planeQ];
    TurnByAngle(pose, 1, v, v);
    v[f.planeP] -= m.headOffset[f.planeP];
    v[f.planeQ] -= m.headOffset[f.planeQ];
    TurnPlainly(pose, 0, v, v);
    for (int i = 0; i < 3; ++i) {
        out[i] = v[i] + origin[i];
    }
}

void PoseModelPointOffset(const MachinePose& pose, const double origin[3], const double vertex[3],
                          double out[3]) {
    const MachineGeometry& m = CurrentMachine;
    double p[3];
    for (int i = 0; i < 3; ++i) {
        p[i] = origin[i] + vertex[i];
    }
    if (m.rotaryType == 2) {
        TurnAboutCentre(pose, 0, p, m.tablePosition, out);
    } else if (m.rotaryType == 3) {
        TurnAboutSecondAxis(pose, p, m.tablePosition, out);
    } else {
        // No table turns on this machine: the model stays where it is placed.
        for (int i = 0; i < 3; ++i) {
            out[i] = p[i];
        }
    }
}

void PoseModelPointCentre(const MachinePose& pose, const double origin[3], const double vertex[3],
                          double out[3]) {
    const MachineGeometry& m = CurrentMachine;
    const RotaryAxisFrame& f = m.rotary[1];
    double u[3];
    for (int i = 0; i < 3; ++i) {
        u[i] = origin[i] + vertex[i] - m.tablePosition[i];
    }
    TurnByAngle(pose, 0, u, u);
    u[f.planeP] -= m.tableOffset[f.planeP];
    u[f.planeQ] -= m.tableOffset[f.planeQ];
    TurnPlainly(pose, 1, u, u);
    u[f.planeP] += m.tableOffset[f.planeP];
    u[f.planeQ] += m.tableOffset[f.planeQ];
    for (int i = 0; i < 3; ++i) {
        out[i] = u[i] + m.tablePosition[i];
    }
}

void ApplyModelPlacement(const double inverseOrientation[9], const double negatedOffset[3],
                         int frameFlag, double point[3]) {
    if (frameFlag == 0) {
        return;
    }
    const double* n = inverseOrientation;
    const double q[3] = {point[0] + negatedOffset[0], point[1] + negatedOffset[1],
                         point[2] + negatedOffset[2]};
    for (int j = 0; j < 3; ++j) {
        point[j] = n[j] * q[0] + n[3 + j] * q[1] + n[6 + j] * q[2];
    }
}

void SnapAxisVector(double v[3]) {
    double snapped[3] = {v[0], v[1], v[2]};
    bool changed = false;
    int zeros = 0;
    for (double& c : snapped) {
        if (c != 0.0 && std::fabs(c) < kAxisVectorSnap) {
            c = 0.0;
            changed = true;
        }
        zeros += c == 0.0 ? 1 : 0;
    }
    if (!changed || zeros == 3) {
        return;
    }
    if (zeros == 2) {
        for (double& c : snapped) {
            if (c != 0.0) {
                c = c > 0.0 ? 1.0 : -1.0;
            }
        }
    } else {
        double sum = 0.0;
        for (double c : snapped) {
            sum += c * c;
        }
        const double length = std::sqrt(sum);
        for (double& c : snapped) {
            c /= length;
        }
    }
    for (int i = 0; i < 3; ++i) {
        v[i] = snapped[i];
    }
}

}  // namespace mirexa
