// Machine kinematics against Rodrigues' rotation, hand-worked poses, round trips over random
// machines and the pose invariant of UpdateMachinePosition.
#include "geometry/machine_kinematics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

#include "geometry/vector_math.h"
#include "support/kinematics_test_support.h"

namespace mirexa {
namespace {

using testing::AxisAbout;
using testing::Distance3;
using testing::Rodrigues;

constexpr unsigned kSeed = 20261207;

class KinematicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetKinematicsState();
    }
    void TearDown() override {
        testing::ResetKinematicsState();
    }
};

TEST_F(KinematicsTest, TiltedRotationsMatchRodrigues) {
    std::mt19937_64 rng(kSeed);
    std::printf("seed %u\n", kSeed);
    std::uniform_real_distribution<double> angle(-M_PI, M_PI);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (int n = 0; n < 2000; ++n) {
        const int a = n % 3;
        const int p = (a + 1) % 3, q = (a + 2) % 3;
        const double tilt = angle(rng), turn = angle(rng);
        const double v[3] = {unit(rng), unit(rng), unit(rng)};
        double axis[3] = {0, 0, 0};
        axis[a] = std::cos(tilt);
        axis[p] = std::sin(tilt);
        double expected[3], got[3];
        Rodrigues(axis, turn, v, expected);
        RotateAboutTiltedAxis(v, got, std::sin(tilt), std::cos(tilt), std::sin(turn),
                              std::cos(turn), a, p, q);
        ASSERT_LT(Distance3(expected, got), 1e-15 * 8) << "axis " << a << " case " << n;

        // An axis given by a vector: the turn is about that vector itself.
        const int k = n % 2;
        double w[3] = {unit(rng), unit(rng), unit(rng)};
        const double length = Vec3Length(w);
        for (double& c : w) {
            c /= length;
        }
        RotaryAxisFrame f = AxisAbout(k);
        testing::TiltByVector(&f, w);
        Rodrigues(w, turn, v, expected);
        RotateAboutDoublyTiltedAxis(v, got, f.tiltSin, f.tiltCos, f.azimuthSin, f.azimuthCos,
                                    std::sin(turn), std::cos(turn), k, f.planeP, f.planeQ);
        ASSERT_LT(Distance3(expected, got), 1e-15 * 8) << "vector axis " << k << " case " << n;
    }
}

TEST_F(KinematicsTest, RightAngleTurnsAreExact) {
    // (0,0,1) about X by 90 deg, both direction signs.
    CurrentMachine.rotaryType = 2;
    CurrentMachine.rotary[0] = AxisAbout(0);
    double axis[3];
    const double a90[2] = {90, 0};
    ComputeToolAxisFromRotaryAngles(a90, axis);
    EXPECT_EQ(axis[0], 0.0);
    EXPECT_EQ(axis[1], -1.0);
    EXPECT_EQ(axis[2], 0.0);
    EXPECT_FALSE(std::signbit(axis[0]) || std::signbit(axis[2]));
    CurrentMachine.rotary[0].sign = -1;
    ComputeToolAxisFromRotaryAngles(a90, axis);
    EXPECT_EQ(axis[1], 1.0);
    EXPECT_EQ(axis[2], 0.0);

    // C-A head at (90, 90).
    CurrentMachine = {};
    CurrentMachine.rotaryType = 1;
    CurrentMachine.rotary[0] = AxisAbout(2);
    CurrentMachine.rotary[1] = AxisAbout(0);
    const double both90[2] = {90, 90};
    ComputeToolAxisFromRotaryAngles(both90, axis);
    EXPECT_EQ(axis[0], 1.0);
    EXPECT_EQ(axis[1], 0.0);
    EXPECT_EQ(axis[2], 0.0);

    // Mixed machine, B head, HP = (0,0,100), G = 50 at (90, 0).
    CurrentMachine = {};
    CurrentMachine.rotaryType = 3;
    CurrentMachine.rotary[0] = AxisAbout(1);
    CurrentMachine.headPosition[2] = 100;
    RunKinematics.toolValues.gaugeLength = 50;
    const double machine[5] = {0, 0, 0, 90, 0};
    double point[3];
    ComputeToolTipAndAxis(RunKinematics, machine, point, axis);
    EXPECT_EQ(point[0], -150.0);
    EXPECT_EQ(point[1], 0.0);
    EXPECT_EQ(point[2], 100.0);
    EXPECT_EQ(axis[0], 1.0);
    EXPECT_EQ(axis[1], 0.0);
    EXPECT_EQ(axis[2], 0.0);
}

TEST_F(KinematicsTest, ToolAxisSnapsBelowOneNanometreOfUnit) {
    CurrentMachine.rotaryType = 2;
    const double b[3] = {9.99e-10, 1e-9, -0.0};
    for (int i = 0; i < 3; ++i) {
        CurrentMachine.toolDirection[i] = b[i];
    }
    CurrentMachine.toolDirection[2] = -0.0;
    double axis[3];
    const double zero[2] = {0, 0};
    ComputeToolAxisFromRotaryAngles(zero, axis);
    EXPECT_EQ(axis[0], 0.0);
    EXPECT_EQ(axis[1], 1e-9);
    EXPECT_EQ(axis[2], 0.0);
    EXPECT_FALSE(std::signbit(axis[2]));
    double v[3] = {-9.99e-10, -1e-9, 5e-10};
    SnapToolAxis(v);
    EXPECT_EQ(v[0], 0.0);
    EXPECT_EQ(v[1], -1e-9);
    EXPECT_EQ(v[2], 0.0);
}

TEST_F(KinematicsTest, ReversedAxisTurnsTheOtherWay) {
    std::mt19937_64 rng(kSeed + 1);
    std::uniform_real_distribution<double> angle(-360, 360);
    for (int type = 0; type <= 3; ++type) {
        testing::SetRandomMachine(rng, type, 1, 2);
        const double theta[2] = {angle(rng), angle(rng)};
        double forward[3], reversed[3];
        CurrentMachine.rotary[0].sign = 1;
        CurrentMachine.rotary[1].sign = 1;
        const double negated[2] = {-theta[0], -theta[1]};
        ComputeToolAxisFromRotaryAngles(negated, forward);
        CurrentMachine.rotary[0].sign = -1;
        CurrentMachine.rotary[1].sign = -1;
        ComputeToolAxisFromRotaryAngles(theta, reversed);
        EXPECT_LT(Distance3(forward, reversed), 1e-12) << "type " << type;
    }
}

// Forward then inverse kinematics returns the machine X, Y, Z on random machines of every type,
// both direction signs, every tilt kind and several tool directions.
TEST_F(KinematicsTest, InverseUndoesForwardOnRandomMachines) {
    std::mt19937_64 rng(kSeed + 2);
    std::printf("seed %u\n", kSeed + 2);
    std::uniform_real_distribution<double> angle(-360, 360);
    std::uniform_real_distribution<double> pos(-500, 500);
    int checked = 0;
    for (int n = 0; n < 6000; ++n) {
        const int type = n % 4, tilt = (n / 4) % 3, direction = (n / 12) % 3;
        testing::SetRandomMachine(rng, type, tilt, direction);
        const double m[5] = {pos(rng), pos(rng), pos(rng), angle(rng), angle(rng)};
        double point[3], axis[3], back[3];
        ComputeToolTipAndAxis(RunKinematics, m, point, axis);
        const double angles[2] = {m[3], m[4]};
        ComputeMachinePositionFromToolPoint(RunKinematics, point, angles, back);
        ASSERT_LT(Distance3(m, back), 2e-12)
            << "type " << type << " tilt " << tilt << " direction " << direction << " case " << n;
        // The tool axis is the turned base axis: still a unit vector (up to the snap).
        ASSERT_NEAR(Vec3Length(axis), 1.0, 2e-9);
        ++checked;
    }
    EXPECT_EQ(checked, 6000);
}

TEST_F(KinematicsTest, RotaryRadiusHandValues) {
    // Mixed, B head: the tip swings about the pivot at the gauge length.
    CurrentMachine.rotaryType = 3;
    CurrentMachine.rotary[0] = AxisAbout(1);
    RunKinematics.toolValues.gaugeLength = 100;
    const double m[5] = {0, 0, 0, 0, 0};
    double r[2];
    ComputeRotaryRadius(RunKinematics, m, r);
    EXPECT_EQ(r[0], 100.0);
    // C table at TP = (10, 0, 0): the tip lies 10 + 100 from its centre after B = 90 ...
    CurrentMachine.tablePosition[0] = 10;
    const double tilted[5] = {0, 0, 0, 90, 0};
    ComputeRotaryRadius(RunKinematics, tilted, r);
    EXPECT_NEAR(r[1], 110.0, 1e-12);

    // Table-table A-C: the distance of the machine point from the A axis through TP, and from
    // the C axis after the A turn.
    CurrentMachine = {};
    CurrentMachine.rotaryType = 2;
    CurrentMachine.tablePosition[1] = 20;
    const double p[5] = {30, 20 + 3, 4, 90, 0};
    ComputeRotaryRadius(RunKinematics, p, r);
    EXPECT_NEAR(r[0], 5.0, 1e-12);
    // A turns (30, 3, 4) to (30, -4, 3): 50 from the C axis.
    EXPECT_NEAR(r[1], std::hypot(30.0, 4.0), 1e-12);
}

TEST_F(KinematicsTest, NonFiniteAndHugeAnglesEndWithoutHanging) {
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {inf, -inf, std::nan(""), 1e300, -1e17};
    for (int type = 0; type <= 3; ++type) {
        testing::ResetKinematicsState();
        CurrentMachine.rotaryType = type;
        CurrentMachine.strokes.enabled[3] = CurrentMachine.strokes.enabled[4] = 1;
        CurrentMachine.strokes.max[3] = CurrentMachine.strokes.max[4] = 360;
        for (double v : values) {
            const double m[5] = {1, 2, 3, v, v};
            double point[3], axis[3], radii[2];
            ComputeToolTipAndAxis(RunKinematics, m, point, axis);
            ComputeRotaryRadius(RunKinematics, m, radii);
            RunKinematics.pose.program = {{1, 2, 3, v, 0}};
            UpdateMachinePosition(RunKinematics);
            RunKinematics.modes.planeCoordinates = 1;
            RunKinematics.plane.active = 1;
            UpdateMachinePosition(RunKinematics);
            RunKinematics.modes.planeCoordinates = 0;
            RunKinematics.plane.active = 0;
            if (std::isfinite(v)) {
                EXPECT_NEAR(Vec3Length(axis), 1.0, 1e-9) << v;
            }
        }
    }
}

TEST_F(KinematicsTest, PlaneTransformsAreInversePairs) {
    // Plane X axis along machine Y, Y along -X, Z along Z, origin (1,2,3), work origin (10,0,0).
    const double q[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 9; ++i) {
        RunKinematics.plane.matrix[i] = q[i];
    }
    RunKinematics.plane.origin[0] = 1, RunKinematics.plane.origin[1] = 2,
    RunKinematics.plane.origin[2] = 3;
    RunKinematics.workOrigin.axis[0] = 10;
    const double p[3] = {16, 7, 8};
    double plane[3], back[3];
    ConvertMachineToPlane(RunKinematics, p, plane);
    // d = (5, 5, 5): plane X = d.y, plane Y = -d.x.
    EXPECT_EQ(plane[0], 5.0);
    EXPECT_EQ(plane[1], -5.0);
    EXPECT_EQ(plane[2], 5.0);
    ConvertPlaneToMachine(RunKinematics, plane, back);
    EXPECT_EQ(back[0], 16.0);
    EXPECT_EQ(back[1], 7.0);
    EXPECT_EQ(back[2], 8.0);
    double w[5];
    const double five[5] = {1, 2, 3, 4, 5};
    RunKinematics.workOrigin = {{1, 1, 1, 1, 1}};
    SubtractWorkOffset(RunKinematics, five, w);
    EXPECT_EQ(w[4], 4.0);
    AddWorkOffset(RunKinematics, w, w);
    EXPECT_EQ(w[4], 5.0);
}

// After UpdateMachinePosition the tool pose is the forward kinematics of the machine position
// in the tool centre point, plain and tilted-plane branches.
TEST_F(KinematicsTest, UpdatedPoseIsForwardKinematicsOfMachinePosition) {
    std::mt19937_64 rng(kSeed + 3);
    std::printf("seed %u\n", kSeed + 3);
    std::uniform_real_distribution<double> angle(-180, 180);
    std::uniform_real_distribution<double> pos(-200, 200);
    std::uniform_real_distribution<double> length(0, 150);
    for (int n = 0; n < 3000; ++n) {
        const int type = n % 4, branch = (n / 4) % 3, tilt = (n / 12) % 3;
        // The head types build the gauge offset along the head's Z: the base axis stays (0,0,1).
        const int direction = type == 2 ? (n / 36) % 3 : 0;
        testing::ResetKinematicsState();
        testing::SetRandomMachine(rng, type, tilt, direction);
        RunKinematics.toolValues.toolShift = length(rng) / 10;
        RunKinematics.toolValues.lengthOffset = length(rng);
        RunKinematics.workOrigin = {{pos(rng), pos(rng), pos(rng), angle(rng), angle(rng)}};
        RunKinematics.pose.program = {{pos(rng), pos(rng), pos(rng), angle(rng), angle(rng)}};
        if (branch == 0) {
            RunKinematics.modes.toolCenterControl = 1 + n % 2;
            RunKinematics.modes.tclCoordinate = (n / 2) % 2;
            const double programAngles[2] = {RunKinematics.pose.program.axis[3],
                                             RunKinematics.pose.program.axis[4]};
            FillTcpTableFrame(RunKinematics, programAngles);
        } else if (branch == 2) {
            RunKinematics.modes.planeCoordinates = 1;
            RunKinematics.plane.active = 1;
            // Stored angles, or angles solved for the plane's Z axis; the machine may also keep
            // the programmed angles, and the pose then follows the machine position.
            RunKinematics.plane.mode = (n / 36) % 2 ? 2 : 0;
            RunKinematics.modes.keepProgrammedAngles = (n / 72) % 2;
            RunKinematics.plane.storedAngles[0] = angle(rng);
            RunKinematics.plane.storedAngles[1] = angle(rng);
            const double ex[3] = {1, 0, 0};
            RotateVectorByRotaryAngles(RunKinematics.plane.storedAngles, ex,
                                       RunKinematics.plane.matrix);
            const double ey[3] = {0, 1, 0};
            RotateVectorByRotaryAngles(RunKinematics.plane.storedAngles, ey,
                                       RunKinematics.plane.matrix + 3);
            RotateVectorByRotaryAngles(RunKinematics.plane.storedAngles,
                                       CurrentMachine.toolDirection,
                                       RunKinematics.plane.matrix + 6);
            RunKinematics.plane.origin[0] = pos(rng);
        }
        UpdateMachinePosition(RunKinematics);
        double point[3], axis[3];
        ComputeToolTipAndAxis(RunKinematics, RunKinematics.pose.machine.axis, point, axis);
        ASSERT_LT(Distance3(point, RunKinematics.pose.tool.point), 1e-9)
            << "type " << type << " branch " << branch << " tilt " << tilt << " case " << n;
        ASSERT_LT(Distance3(axis, RunKinematics.pose.tool.axis), 1e-9)
            << "type " << type << " branch " << branch << " case " << n;
        // The cache follows the machine angles.
        double s = 0, c = 0;
        SinCosDegrees(RunKinematics.pose.machine.axis[4], CurrentMachine.rotary[1].sign, &s, &c);
        ASSERT_EQ(s, RunKinematics.pose.sin2);
        ASSERT_EQ(c, RunKinematics.pose.cos2);
    }
}

TEST_F(KinematicsTest, PlainBranchAddsWorkOriginAndToolLength) {
    CurrentMachine.rotaryType = 2;
    RunKinematics.toolValues.gaugeLength = 100;
    RunKinematics.toolValues.toolShift = 5;
    RunKinematics.workOrigin = {{10, 20, 30, 0, 0}};
    RunKinematics.pose.program = {{1, 2, 3, 0, 0}};
    UpdateMachinePosition(RunKinematics);
    EXPECT_EQ(RunKinematics.pose.machine.axis[0], 11.0);
    EXPECT_EQ(RunKinematics.pose.machine.axis[2], 33.0 + 95.0);
    // The tip lies S below the program point plus the work origin.
    EXPECT_EQ(RunKinematics.pose.tool.point[2], 33.0 - 5.0);

    // With a tilted base axis the length is added along it.
    const double r = std::sqrt(0.5);
    CurrentMachine.toolDirection[0] = r;
    CurrentMachine.toolDirection[2] = r;
    CurrentMachine.toolDirectionTilted = 1;
    UpdateMachinePosition(RunKinematics);
    EXPECT_DOUBLE_EQ(RunKinematics.pose.machine.axis[0], 11.0 + 95.0 * r);
    EXPECT_DOUBLE_EQ(RunKinematics.pose.machine.axis[2], 33.0 + 95.0 * r);
}

TEST_F(KinematicsTest, MachinePositionSourceDerivesProgramAndBlockEnds) {
    CurrentMachine.rotaryType = 2;
    RunKinematics.toolValues.gaugeLength = 100;
    RunKinematics.toolValues.toolShift = 4;
    RunKinematics.toolValues.fixedHeadOffset[0] = 7;
    RunKinematics.toolValues.fixedHeadOffset[1] = 8;
    RunKinematics.toolValues.fixedHeadOffset[2] = 9;
    RunKinematics.workOrigin = {{10, 20, 30, 1, 2}};
    RunKinematics.modes.positionSource = 2;
    RunKinematics.pose.machine = {{100, 200, 300, 0, 0}};
    UpdateMachinePosition(RunKinematics);
    const MotionPosition& p = RunKinematics.pose.program;
    EXPECT_EQ(p.axis[0], 90.0);
    EXPECT_EQ(p.axis[2], 270.0);  // P.Z = M.Z - W.Z
    EXPECT_EQ(p.axis[3], -1.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[2], 270.0 - 96.0);
    EXPECT_EQ(RunKinematics.motion.transformedEnd.axis[2], 270.0 - 96.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 90.0);

    // AUTOMATIC TOOL OFFSET changes E.X and E.Z only.
    RunKinematics.modes.automaticToolOffset = 1;
    UpdateMachinePosition(RunKinematics);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 90.0 - 7);
    EXPECT_EQ(RunKinematics.motion.end.axis[1], 180.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[2], 270.0 - 9 - 96.0);
    EXPECT_EQ(RunKinematics.motion.transformedEnd.axis[0], 90.0);
    EXPECT_EQ(RunKinematics.motion.transformedEnd.axis[2], 270.0 - 96.0);
    EXPECT_EQ(p.axis[0], 90.0);
    EXPECT_EQ(p.axis[2], 270.0);

    // Length compensation instead: the compensated axis of E only.
    RunKinematics.modes.automaticToolOffset = 0;
    RunKinematics.modes.lengthCompensation = 1;
    RunKinematics.modes.lengthCompensationAxis = 1;
    RunKinematics.toolValues.lengthOffset = 50;
    UpdateMachinePosition(RunKinematics);
    EXPECT_EQ(RunKinematics.motion.end.axis[1], 130.0);
    EXPECT_EQ(RunKinematics.motion.transformedEnd.axis[1], 180.0);
}

// Under G53 or G53.1 the program position derived from the machine position takes the tool
// length along the base axis, so that the plain branch maps it back to the same machine
// position, for every base axis.
TEST_F(KinematicsTest, MachineCoordinateMoveRoundTripsThroughPlainBranch) {
    const double r = std::sqrt(0.5);
    const double directions[3][3] = {{0, 0, 1}, {0, 1, 0}, {r, 0, r}};
    for (int g : {53, 531}) {
        for (const auto& b : directions) {
            testing::ResetKinematicsState();
            CurrentMachine.rotaryType = 2;
            for (int i = 0; i < 3; ++i) {
                CurrentMachine.toolDirection[i] = b[i];
            }
            CurrentMachine.toolDirectionTilted = b[2] != 1;
            RunKinematics.toolValues.gaugeLength = 120;
            RunKinematics.toolValues.toolShift = 20;
            RunKinematics.workOrigin = {{5, 6, 7, 0, 0}};
            const MotionPosition given = {{100, 200, 300, 0, 0}};
            RunKinematics.pose.machine = given;
            if (g == 53) {
                RunKinematics.modes.machineCoordinateMove = 1;
            } else {
                RunKinematics.modes.lastGCode = 531;
            }
            UpdateMachinePosition(RunKinematics);
            if (b[2] == 1) {
                EXPECT_EQ(RunKinematics.pose.program.axis[2], 300.0 - 7 - 100);
            }
            RunKinematics.modes.machineCoordinateMove = 0;
            RunKinematics.modes.lastGCode = 0;
            UpdateMachinePosition(RunKinematics);
            EXPECT_LT(Distance3(RunKinematics.pose.machine.axis, given.axis), 1e-12)
                << "G" << g << " b " << b[0] << "," << b[1] << "," << b[2];
        }
    }
}

TEST_F(KinematicsTest, PlaneCoordinatesUnderHeidenhainMachineMoveGoThroughThePlane) {
    CurrentMachine.rotaryType = 2;
    RunKinematics.toolValues.gaugeLength = 100;
    RunKinematics.toolValues.toolShift = 3;
    RunKinematics.modes.planeCoordinates = 1;
    RunKinematics.modes.lastGCode = 531;
    RunKinematics.plane.origin[2] = 10;
    RunKinematics.pose.machine = {{1, 2, 203, 0, 0}};
    UpdateMachinePosition(RunKinematics);
    // Tool point (1, 2, 103), plane point (1, 2, 93), then + S.
    EXPECT_EQ(RunKinematics.pose.program.axis[2], 96.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[2], 96.0);
}

TEST_F(KinematicsTest, TableTurnOfToolCentreControlFollowsTheTableMap) {
    std::mt19937_64 rng(kSeed + 4);
    std::uniform_real_distribution<double> angle(-180, 180);
    std::uniform_real_distribution<double> pos(-200, 200);
    for (int n = 0; n < 500; ++n) {
        testing::ResetKinematicsState();
        const int type = n % 2 ? 2 : 3;
        testing::SetRandomMachine(rng, type, n % 3, 0);
        RunKinematics.toolValues.gaugeLength = 0;
        CurrentMachine.headPosition[0] = CurrentMachine.headPosition[1] = 0;
        CurrentMachine.headPosition[2] = 0;
        RunKinematics.workOrigin = {{0, 0, 0, angle(rng), angle(rng)}};
        const double programAngles[2] = {angle(rng), angle(rng)};
        FillTcpTableFrame(RunKinematics, programAngles);
        // The turn equals the forward map of the table at reference + work origin angles.
        const double p[3] = {pos(rng), pos(rng), pos(rng)};
        const double m[5] = {p[0], p[1], p[2],
                             type == 2 ? programAngles[0] + RunKinematics.workOrigin.axis[3] : 0.0,
                             programAngles[1] + RunKinematics.workOrigin.axis[4]};
        double expected[3], axis[3];
        ComputeToolTipAndAxis(RunKinematics, m, expected, axis);
        double got[3] = {p[0], p[1], p[2]};
        RotatePointAboutTableCentre(RunKinematics, got);
        ASSERT_LT(Distance3(expected, got), 1e-10) << "type " << type << " case " << n;
    }
}

TEST_F(KinematicsTest, TcpTableFrameFill) {
    CurrentMachine.rotaryType = 2;
    CurrentMachine.rotary[0] = AxisAbout(0);
    RunKinematics.workOrigin = {{0, 0, 0, 30, 60}};
    const double program[2] = {60, 30};
    FillTcpTableFrame(RunKinematics, program);
    EXPECT_EQ(RunKinematics.tcp.referenceAngle[0], 60.0);
    EXPECT_EQ(RunKinematics.tcp.referenceAngle[1], 30.0);
    EXPECT_EQ(RunKinematics.tcp.sin1, 1.0);  // 60 + 30
    EXPECT_EQ(RunKinematics.tcp.sin2, 1.0);  // 30 + 60

    RunKinematics.tcp = {};
    CurrentMachine.rotaryType = 3;
    FillTcpTableFrame(RunKinematics, program);
    EXPECT_EQ(RunKinematics.tcp.referenceAngle[0], 0.0);
    EXPECT_EQ(RunKinematics.tcp.referenceAngle[1], 30.0);
    EXPECT_EQ(RunKinematics.tcp.sin1, 0.0);
    EXPECT_EQ(RunKinematics.tcp.cos1, 1.0);
    EXPECT_EQ(RunKinematics.tcp.sin2, 1.0);

    // Program side with zero work origin angles: the pairs stay as they were.
    RunKinematics.tcp = {};
    RunKinematics.tcp.sin1 = 0.25;
    RunKinematics.modes.tclCoordinate = 1;
    RunKinematics.workOrigin = {};
    FillTcpTableFrame(RunKinematics, program);
    EXPECT_EQ(RunKinematics.tcp.sin1, 0.25);
    EXPECT_EQ(RunKinematics.tcp.referenceAngle[1], 0.0);
    // ... and with work origin angles the pairs are those of the work origin.
    RunKinematics.workOrigin.axis[4] = 90;
    FillTcpTableFrame(RunKinematics, program);
    EXPECT_EQ(RunKinematics.tcp.sin2, 1.0);
    EXPECT_EQ(RunKinematics.tcp.sin1, 0.25);  // axis 1 only for table-table machines
}

TEST_F(KinematicsTest, CachedTurnsFollowTheToolAxisMap) {
    std::mt19937_64 rng(kSeed + 5);
    std::uniform_real_distribution<double> angle(-360, 360);
    for (int type = 0; type <= 3; ++type) {
        testing::ResetKinematicsState();
        testing::SetRandomMachine(rng, type, 1, 2);
        RunKinematics.pose.program = {{0, 0, 0, angle(rng), angle(rng)}};
        UpdateMachinePosition(RunKinematics);
        double viaCache[3];
        RotateByBothRotaryAngles(RunKinematics, CurrentMachine.toolDirection, viaCache);
        EXPECT_LT(Distance3(viaCache, RunKinematics.pose.tool.axis), 1e-9) << "type " << type;
        const double angles[2] = {RunKinematics.pose.machine.axis[3], 0};
        double first[3], expected[3];
        RotateByFirstRotaryAngle(RunKinematics, CurrentMachine.toolDirection, first);
        RotateVectorByRotaryAngles(angles, CurrentMachine.toolDirection, expected);
        if (type != 1) {
            EXPECT_LT(Distance3(first, expected), 1e-12) << "type " << type;
        }
    }
}

TEST_F(KinematicsTest, PathPointVariantsLeaveTheGlobalsAsDocumented) {
    CurrentMachine.rotaryType = 2;
    RunKinematics.toolValues.gaugeLength = 10;
    const MotionPosition program = {{1, 2, 3, 0, 0}};
    MotionPosition machine = {{50, 50, 50, 0, 0}};
    double point[3], axis[3];
    ConvertPathPointToMachineNoPlane(RunKinematics, program, &machine, point, axis);
    EXPECT_EQ(RunKinematics.pose.machine.axis[2], 0.0);
    EXPECT_EQ(point[2], 3.0);
    ConvertPathPointToMachine(RunKinematics, program, &machine, point, axis);
    EXPECT_EQ(RunKinematics.pose.machine.axis[2], 13.0);
    EXPECT_EQ(RunKinematics.pose.program.axis[0], 0.0);

    // Under G53 the plain path variant only computes the pose; the other derives P.
    RunKinematics.modes.machineCoordinateMove = 1;
    ConvertPathPointToMachineNoPlane(RunKinematics, program, &machine, point, axis);
    EXPECT_EQ(point[2], 40.0);
    EXPECT_EQ(RunKinematics.pose.program.axis[0], 0.0);
    ConvertPathPointToMachine(RunKinematics, program, &machine, point, axis);
    EXPECT_EQ(RunKinematics.pose.program.axis[0], 50.0);
    EXPECT_EQ(RunKinematics.pose.program.axis[2], 40.0);

    // Tool centre point control comes before G53: both variants follow the caller's program
    // position, write the global machine position and leave the global program position.
    RunKinematics.modes.toolCenterControl = 1;
    for (int variant = 0; variant < 2; ++variant) {
        RunKinematics.pose = {};
        MotionPosition caller = machine;
        if (variant == 0) {
            ConvertPathPointToMachine(RunKinematics, program, &caller, point, axis);
        } else {
            ConvertPathPointToMachineNoPlane(RunKinematics, program, &caller, point, axis);
        }
        EXPECT_EQ(point[0], 1.0) << variant;
        EXPECT_EQ(point[2], 3.0) << variant;
        EXPECT_EQ(RunKinematics.pose.machine.axis[2], 13.0) << variant;
        EXPECT_EQ(RunKinematics.pose.program.axis[0], 0.0) << variant;
        EXPECT_EQ(caller.axis[2], 50.0) << variant;
    }
}

// The pose update and the path conversions read and write only the records they are given: on a
// copy of the records they give the same results bit for bit, and the run's records, set apart
// from both, stay as they were.
TEST_F(KinematicsTest, RecordsFormsPoseTheGivenRecordsOnly) {
    enum Branch { kPlain, kToolCentre, kStoredPlane, kMachineGiven, kPlaneG531 };
    struct Case {
        int type;
        Branch branch;
    };
    const Case cases[] = {{1, kPlain},        {2, kPlain},       {3, kPlain},
                          {1, kToolCentre},   {2, kToolCentre},  {3, kToolCentre},
                          {2, kStoredPlane},  {3, kStoredPlane}, {1, kMachineGiven},
                          {2, kMachineGiven}, {3, kPlaneG531}};
    std::mt19937_64 rng(kSeed + 9);
    std::uniform_real_distribution<double> angle(-180, 180);
    std::uniform_real_distribution<double> pos(-200, 200);
    auto samePose = [](const MachinePose& a, const MachinePose& b) {
        return std::memcmp(&a, &b, sizeof(MachinePose)) == 0;
    };
    auto sameEnds = [](const MotionRecord& a, const MotionRecord& b) {
        return std::memcmp(&a.end, &b.end, sizeof(MotionPosition)) == 0 &&
               std::memcmp(&a.transformedEnd, &b.transformedEnd, sizeof(MotionPosition)) == 0;
    };
    for (const Case& c : cases) {
        testing::ResetKinematicsState();
        KinematicsSessionRecords given;
        testing::SetRandomMachine(rng, c.type, 1, 0);
        given.toolValues.toolShift = 4;
        given.toolValues.lengthOffset = 60;
        given.workOrigin = {{pos(rng), pos(rng), pos(rng), angle(rng), angle(rng)}};
        given.pose.program = {{pos(rng), pos(rng), pos(rng), angle(rng), angle(rng)}};
        given.pose.machine = {{pos(rng), pos(rng), pos(rng), angle(rng), angle(rng)}};
        given.modes.lengthCompensation = 1;
        if (c.branch == kToolCentre) {
            given.modes.toolCenterControl = 1;
            const double programAngles[2] = {angle(rng), angle(rng)};
            FillTcpTableFrame(given, programAngles);
        } else if (c.branch == kStoredPlane || c.branch == kPlaneG531) {
            given.modes.planeCoordinates = 1;
            given.modes.lastGCode = c.branch == kPlaneG531 ? 531 : 0;
            given.plane.active = 1;
            given.plane.mode = 2;
            given.plane.storedAngles[0] = angle(rng);
            given.plane.storedAngles[1] = angle(rng);
            RotateVectorByRotaryAngles(given.plane.storedAngles, CurrentMachine.toolDirection,
                                       given.plane.matrix + 6);
            given.plane.origin[0] = pos(rng);
        } else if (c.branch == kMachineGiven) {
            given.modes.positionSource = 2;
        }

        // The run's records differ from the given ones in everything the pose reads.
        KinematicsSessionRecords other = given;
        RunKinematics.pose = given.pose;
        RunKinematics.motion = given.motion;
        RunKinematics.workOrigin = {{1, 2, 3, 4, 5}};
        RunKinematics.toolValues = {7, 1, 9, {1, 1, 1}};
        RunKinematics.modes.lengthCompensationAxis = 1;
        RunKinematics.plane.origin[1] = 11;
        RunKinematics.tcp.referenceAngle[0] = 13;
        const MachinePose boundPose = RunKinematics.pose;
        const MotionRecord boundMotion = RunKinematics.motion;
        UpdateMachinePosition(other);
        EXPECT_TRUE(samePose(boundPose, RunKinematics.pose)) << c.type << " " << c.branch;
        EXPECT_TRUE(sameEnds(boundMotion, RunKinematics.motion)) << c.type << " " << c.branch;

        // The same update on the given records.
        UpdateMachinePosition(given);
        EXPECT_TRUE(samePose(given.pose, other.pose)) << c.type << " " << c.branch;
        EXPECT_TRUE(sameEnds(given.motion, other.motion)) << c.type << " " << c.branch;

        // The path conversions, both variants.
        const MotionPosition program = {{pos(rng), pos(rng), pos(rng), angle(rng), angle(rng)}};
        for (int variant = 0; variant < 2; ++variant) {
            MotionPosition byRecords = given.pose.machine, byCopy = given.pose.machine;
            double pointR[3], axisR[3], pointB[3], axisB[3];
            if (variant == 0) {
                ConvertPathPointToMachine(other, program, &byRecords, pointR, axisR);
            } else {
                ConvertPathPointToMachineNoPlane(other, program, &byRecords, pointR, axisR);
            }
            if (variant == 0) {
                ConvertPathPointToMachine(given, program, &byCopy, pointB, axisB);
            } else {
                ConvertPathPointToMachineNoPlane(given, program, &byCopy, pointB, axisB);
            }
            EXPECT_EQ(std::memcmp(pointR, pointB, sizeof pointR), 0) << c.type << " " << variant;
            EXPECT_EQ(std::memcmp(axisR, axisB, sizeof axisR), 0) << c.type << " " << variant;
            EXPECT_TRUE(samePose(given.pose, other.pose)) << c.type << " " << variant;
            EXPECT_TRUE(sameEnds(given.motion, other.motion)) << c.type << " " << variant;
        }
        EXPECT_TRUE(samePose(boundPose, RunKinematics.pose)) << c.type << " " << c.branch;
    }
}

TEST_F(KinematicsTest, ToolAxisFrameTurnsAboutTheAxisForEveryDirection) {
    std::mt19937_64 rng(kSeed + 6);
    std::uniform_real_distribution<double> unit(-1, 1);
    // Vertical and horizontal axes included: the frame does not depend on an elevation angle.
    const double fixed[4][3] = {{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {0, -1, 0}};
    for (int n = 0; n < 400; ++n) {
        double a[3];
        if (n < 4) {
            a[0] = fixed[n][0], a[1] = fixed[n][1], a[2] = fixed[n][2];
        } else {
            a[0] = unit(rng), a[1] = unit(rng), a[2] = unit(rng);
            const double l = Vec3Length(a);
            for (double& c : a) {
                c /= l;
            }
        }
        const double c[3] = {unit(rng), unit(rng), unit(rng)};
        const double omega = unit(rng) * M_PI;
        const double v0[3] = {unit(rng), unit(rng), unit(rng)};
        double v[3] = {v0[0], v0[1], v0[2]};
        RotateByToolAxisAngles(a, c, v, omega, 1);
        double expected[3];
        Rodrigues(a, omega, v0, expected);
        ASSERT_LT(Distance3(expected, v), 1e-12) << "case " << n;
        RotateByToolAxisAngles(a, c, v, omega, -1);
        ASSERT_LT(Distance3(v0, v), 1e-12) << "case " << n;
        // Choices 0 and 2 turn the same plane in opposite senses, keeping lengths.
        RotateByToolAxisAngles(a, c, v, omega, 0);
        ASSERT_NEAR(Vec3Length(v), Vec3Length(v0), 1e-12);
        RotateByToolAxisAngles(a, c, v, omega, 2);
        ASSERT_LT(Distance3(v0, v), 1e-12) << "case " << n;
    }
}

TEST_F(KinematicsTest, ToolFrameAtStep) {
    RunKinematics.motion.referenceStart[0] = 1;
    RunKinematics.motion.referenceStep[1] = 0.5;
    double direction[3] = {0, 0, 1}, reference[3];
    const double point[3] = {10, 0, 0};
    ComputeToolFrameAtStep(RunKinematics, point, 0.1, 4, direction, reference);
    EXPECT_EQ(reference[0], 1.0);
    EXPECT_EQ(reference[1], 2.0);
    EXPECT_EQ(direction[2], 1.0);

    // Counter-clockwise arc about the origin in XY: the direction becomes the tangent (0, 1, 0)
    // at (10, 0), and the reference is turned by the spindle angle about it.
    RunKinematics.motion.motionType = 3;
    RunKinematics.motion.spindleStartAngle = M_PI / 2;
    RunKinematics.motion.referenceStart[0] = 0;
    RunKinematics.motion.referenceStart[2] = 1;
    RunKinematics.motion.referenceStep[1] = 0;
    ComputeToolFrameAtStep(RunKinematics, point, 0.0, 0, direction, reference);
    EXPECT_NEAR(direction[0], 0.0, 1e-15);
    EXPECT_NEAR(direction[1], 1.0, 1e-15);
    // t = z x y = -x, w = y x -x = z; turning z by 90 deg about y gives x.
    EXPECT_NEAR(reference[0], 1.0, 1e-15);
    EXPECT_NEAR(reference[2], 0.0, 1e-15);
}

// The records a kinematics call may be given instead of the run's globals.
struct KinematicsRecords {
    MachineGeometry machine = {};
    KinematicsToolValues tool = {};
    MotionPosition origin = {};
    TiltedWorkPlane plane = {};
    MotionRecord motion = {};
};

// A random set of records: machine, tool values, work origin, tilted plane and a spun arc move.
KinematicsRecords MakeRandomRecords(std::mt19937_64& rng, int n) {
    std::uniform_real_distribution<double> value(-100, 100);
    testing::SetRandomMachine(rng, 1 + n % 3, (n / 3) % 3, (n / 9) % 3);
    KinematicsRecords r;
    r.machine = CurrentMachine;
    r.tool.gaugeLength = RunKinematics.toolValues.gaugeLength;
    r.tool.toolShift = value(rng);
    r.tool.lengthOffset = value(rng);
    for (double& a : r.origin.axis) {
        a = value(rng);
    }
    for (int i = 0; i < 9; ++i) {
        r.plane.matrix[i] = value(rng) / 100;
    }
    for (int i = 0; i < 3; ++i) {
        r.plane.origin[i] = value(rng);
        r.motion.referenceStart[i] = value(rng);
        r.motion.referenceStep[i] = value(rng) / 100;
        r.motion.arcCentre[i] = value(rng);
    }
    r.motion.motionType = 2 + n % 2;
    r.motion.spindleStartAngle = value(rng) / 100;
    return r;
}

void MakeRunRecords(const KinematicsRecords& r) {
    CurrentMachine = r.machine;
    RunKinematics.toolValues = r.tool;
    RunKinematics.workOrigin = r.origin;
    RunKinematics.plane = r.plane;
    RunKinematics.motion = r.motion;
}

// Fixed inputs of every form: a machine position (mm, deg), a point (mm), angles (deg), a vector.
constexpr double kMachine[5] = {12.5, -40.25, 87.0, 33.0, -71.5};
constexpr double kPoint[3] = {-15.0, 22.5, 40.0};
constexpr double kAngles[2] = {-27.5, 118.0};
constexpr double kVector[3] = {0.3, -0.4, 0.8};

// Each form of the kinematics that takes records, beside its form that reads the run's records;
// both write their results into out (up to 5 values).
struct KinematicsForm {
    const char* name;
    void (*fromRun)(double out[5]);
    void (*fromRecords)(const KinematicsRecords& r, double out[5]);
};

const KinematicsForm kForms[] = {
    {"ComputeToolTipAndAxis",
     [](double o[5]) { ComputeToolTipAndAxis(RunKinematics, kMachine, o, o + 2); },
     [](const KinematicsRecords& r, double o[5]) {
         ComputeToolTipAndAxis(r.machine, r.tool, kMachine, o, o + 2);
     }},
    {"ComputeMachinePositionFromToolPoint",
     [](double o[5]) { ComputeMachinePositionFromToolPoint(RunKinematics, kPoint, kAngles, o); },
     [](const KinematicsRecords& r, double o[5]) {
         ComputeMachinePositionFromToolPoint(r.machine, r.tool, kPoint, kAngles, o);
     }},
    {"ComputeMachinePositionWithToolLength",
     [](double o[5]) { ComputeMachinePositionWithToolLength(RunKinematics, kPoint, kAngles, o); },
     [](const KinematicsRecords& r, double o[5]) {
         ComputeMachinePositionWithToolLength(r.machine, r.tool, kPoint, kAngles, o);
     }},
    {"ComputeRotaryRadius", [](double o[5]) { ComputeRotaryRadius(RunKinematics, kMachine, o); },
     [](const KinematicsRecords& r, double o[5]) {
         ComputeRotaryRadius(r.machine, r.tool, kMachine, o);
     }},
    {"RotaryAxisDirection",
     [](double o[5]) {
         RotaryAxisDirection(0, o);
         RotaryAxisDirection(1, o + 2);
     },
     [](const KinematicsRecords& r, double o[5]) {
         RotaryAxisDirection(r.machine, 0, o);
         RotaryAxisDirection(r.machine, 1, o + 2);
     }},
    {"RotateAboutRotaryAxis", [](double o[5]) { RotateAboutRotaryAxis(1, kVector, 0.6, 0.8, o); },
     [](const KinematicsRecords& r, double o[5]) {
         RotateAboutRotaryAxis(r.machine, 1, kVector, 0.6, 0.8, o);
     }},
    {"RotateVectorByRotaryAngles",
     [](double o[5]) { RotateVectorByRotaryAngles(kAngles, kVector, o); },
     [](const KinematicsRecords& r, double o[5]) {
         RotateVectorByRotaryAngles(r.machine, kAngles, kVector, o);
     }},
    {"ComputeToolAxisFromRotaryAngles",
     [](double o[5]) { ComputeToolAxisFromRotaryAngles(kAngles, o); },
     [](const KinematicsRecords& r, double o[5]) {
         ComputeToolAxisFromRotaryAngles(r.machine, kAngles, o);
     }},
    {"TurnPointWithTable",
     [](double o[5]) { TurnPointWithTable(kPoint, 0.6, 0.8, -0.28, 0.96, o); },
     [](const KinematicsRecords& r, double o[5]) {
         TurnPointWithTable(r.machine, kPoint, 0.6, 0.8, -0.28, 0.96, o);
     }},
    {"SubtractWorkOffset", [](double o[5]) { SubtractWorkOffset(RunKinematics, kMachine, o); },
     [](const KinematicsRecords& r, double o[5]) { SubtractWorkOffset(r.origin, kMachine, o); }},
    {"AddWorkOffset", [](double o[5]) { AddWorkOffset(RunKinematics, kMachine, o); },
     [](const KinematicsRecords& r, double o[5]) { AddWorkOffset(r.origin, kMachine, o); }},
    {"ConvertMachineToPlane", [](double o[5]) { ConvertMachineToPlane(RunKinematics, kPoint, o); },
     [](const KinematicsRecords& r, double o[5]) {
         ConvertMachineToPlane(r.plane, r.origin, kPoint, o);
     }},
    {"ConvertPlaneToMachine", [](double o[5]) { ConvertPlaneToMachine(RunKinematics, kPoint, o); },
     [](const KinematicsRecords& r, double o[5]) {
         ConvertPlaneToMachine(r.plane, r.origin, kPoint, o);
     }},
    {"ComputeToolFrameAtStep",
     [](double o[5]) {
         double direction[3] = {0, 0, 1};
         ComputeToolFrameAtStep(RunKinematics, kPoint, 0.05, 3, direction, o);
         o[3] = direction[0], o[4] = direction[1];
     },
     [](const KinematicsRecords& r, double o[5]) {
         double direction[3] = {0, 0, 1};
         ComputeToolFrameAtStep(r.motion, kPoint, 0.05, 3, direction, o);
         o[3] = direction[0], o[4] = direction[1];
     }},
};

// A form given records reads no global: with other records in the run it gives, bit for bit,
// what the run's form gives when the run holds the records it was given.
TEST_F(KinematicsTest, FormsWithRecordsReadNoGlobal) {
    std::mt19937_64 rng(kSeed + 7);
    std::printf("seed %u\n", kSeed + 7);
    for (int n = 0; n < 54; ++n) {
        const KinematicsRecords given = MakeRandomRecords(rng, n);
        const KinematicsRecords other = MakeRandomRecords(rng, n + 1);
        for (const KinematicsForm& form : kForms) {
            double expected[5] = {}, actual[5] = {};
            MakeRunRecords(given);
            form.fromRun(expected);
            MakeRunRecords(other);
            form.fromRecords(given, actual);
            for (int i = 0; i < 5; ++i) {
                EXPECT_EQ(std::memcmp(&expected[i], &actual[i], sizeof(double)), 0)
                    << form.name << " case " << n << " value " << i << ": " << expected[i]
                    << " != " << actual[i];
            }
        }
    }
}

}  // namespace
}  // namespace mirexa
