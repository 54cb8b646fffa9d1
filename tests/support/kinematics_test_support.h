// Helpers of the kinematics tests: resetting the machine state, building rotary axes as the
// machine file describes them, Rodrigues' rotation as an independent oracle, random machines.
#pragma once

#include <cmath>
#include <random>

#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "geometry/rotary_solutions.h"

namespace mirexa::testing {

inline void ResetKinematicsState() {
    RunKinematics.pose = {};
    RunKinematics.motion = {};
    RunKinematics.workOrigin = {};
    CurrentMachine = {};
    KinematicsController = {};
    RunKinematics.toolValues = {};
    RunKinematics.modes = {};
    RunKinematics.plane = {};
    RunKinematics.tcp = {};
    Orientation = {};
    WorkOffsetSource = {};
    SceneFollow = {};
}

// A rotary axis about machine axis 0 (X/A), 1 (Y/B) or 2 (Z/C), plain.
inline RotaryAxisFrame AxisAbout(int axis, int sign = 1) {
    RotaryAxisFrame f;
    f.axis = axis;
    f.planeP = (axis + 1) % 3;
    f.planeQ = (axis + 2) % 3;
    f.sign = sign;
    return f;
}

// Tilts the axis by an angle (deg) towards its first plane axis.
inline void TiltByAngle(RotaryAxisFrame* f, double degrees) {
    f->tiltKind = kTiltAngle;
    f->tiltCos = std::cos(degrees * M_PI / 180);
    f->tiltSin = std::sin(degrees * M_PI / 180);
}

// Tilts a horizontal axis (0 or 1) onto a direction vector: elevation from the XY plane and
// azimuth from the axis towards the other horizontal axis.
inline void TiltByVector(RotaryAxisFrame* f, const double v[3]) {
    const int k = f->axis, i = 1 - k;
    const double elevation = std::atan(v[2] / std::hypot(v[0], v[1]));
    const double azimuth = std::atan2(v[i], v[k]);
    f->tiltKind = kTiltVector;
    f->tiltCos = std::cos(elevation);
    f->tiltSin = std::sin(elevation);
    f->azimuthCos = std::cos(azimuth);
    f->azimuthSin = std::sin(azimuth);
}

// Rodrigues: v turned by angle (rad) about the unit axis n, right-handed.
inline void Rodrigues(const double n[3], double angle, const double v[3], double out[3]) {
    const double c = std::cos(angle), s = std::sin(angle);
    const double dot = n[0] * v[0] + n[1] * v[1] + n[2] * v[2];
    const double cross[3] = {n[1] * v[2] - n[2] * v[1], n[2] * v[0] - n[0] * v[2],
                             n[0] * v[1] - n[1] * v[0]};
    for (int i = 0; i < 3; ++i) {
        out[i] = v[i] * c + cross[i] * s + n[i] * dot * (1 - c);
    }
}

inline double Distance3(const double a[3], const double b[3]) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

// Angle difference folded into [0, 180] (deg).
inline double AngleGap(double a, double b) {
    const double d = std::fmod(std::fabs(a - b), 360.0);
    return std::fmin(d, 360.0 - d);
}

// A random machine of the given rotary type: random axes (distinct for the two rotary axes),
// signs, tilt kind 0 none / 1 angle / 2 vector on the axis the type tilts, tool direction choice
// 0 (0,0,1), 1 (0,1,0), 2 (1,0,1)/sqrt 2, and random positions and gauge length.
inline void SetRandomMachine(std::mt19937_64& rng, int type, int tiltKind, int directionChoice) {
    std::uniform_real_distribution<double> pos(-300, 300);
    std::uniform_int_distribution<int> axisPick(0, 2);
    std::uniform_int_distribution<int> coin(0, 1);
    MachineGeometry& m = CurrentMachine;
    m = {};
    m.rotaryType = type;
    const int a1 = axisPick(rng);
    int a2 = axisPick(rng);
    while (a2 == a1) {
        a2 = axisPick(rng);
    }
    m.rotary[0] = AxisAbout(a1, coin(rng) ? 1 : -1);
    m.rotary[1] = AxisAbout(a2, coin(rng) ? 1 : -1);
    RotaryAxisFrame& tilted = m.rotary[type == 1 ? 1 : 0];
    if (tiltKind == 1) {
        TiltByAngle(&tilted, std::uniform_real_distribution<double>(-60, 60)(rng));
    } else if (tiltKind == 2 && tilted.axis != 2) {
        double v[3] = {0, 0, std::uniform_real_distribution<double>(-1, 1)(rng)};
        v[tilted.axis] = std::uniform_real_distribution<double>(0.2, 1)(rng);
        v[1 - tilted.axis] = std::uniform_real_distribution<double>(-1, 1)(rng);
        TiltByVector(&tilted, v);
    }
    const double r = std::sqrt(0.5);
    const double directions[3][3] = {{0, 0, 1}, {0, 1, 0}, {r, 0, r}};
    for (int i = 0; i < 3; ++i) {
        m.toolDirection[i] = directions[directionChoice][i];
        m.headPosition[i] = pos(rng);
        m.headOffset[i] = pos(rng);
        m.tablePosition[i] = pos(rng);
        m.tableOffset[i] = pos(rng);
    }
    m.toolDirectionTilted = directionChoice != 0;
    RunKinematics.toolValues.gaugeLength = std::uniform_real_distribution<double>(0, 250)(rng);
}

}  // namespace mirexa::testing
