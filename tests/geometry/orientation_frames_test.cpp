// Orientation frames of a turning table against the kinematics' own table map.
#include "geometry/orientation_frames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"
#include "support/kinematics_test_support.h"

namespace mirexa {
namespace {

using testing::AxisAbout;
using testing::Distance3;

constexpr unsigned kSeed = 1032026;

class OrientationFramesTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetKinematicsState();
        entries_[0] = {{0, 0, 0, 0, 0}};
        WorkOffsetSource.readEntry = [](int index, double out[5]) {
            for (int i = 0; i < 5; ++i) {
                out[i] = entries_[index].axis[i];
            }
        };
        WorkOffsetSource.currentIndex = [] { return currentIndex_; };
    }
    void TearDown() override {
        testing::ResetKinematicsState();
        for (MotionPosition& e : entries_) {
            e = {};
        }
        currentIndex_ = 0;
    }
    static void SetTableMachine(int type) {
        CurrentMachine.rotaryType = type;
        for (int i = 0; i < 3; ++i) {
            CurrentMachine.tablePosition[i] = 10.0 * (i + 1);
            CurrentMachine.tableOffset[i] = -4.0 * (i + 2);
            CurrentMachine.secondTableCentre[i] = CurrentMachine.tablePosition[i];
        }
        const RotaryAxisFrame& f2 = CurrentMachine.rotary[1];
        CurrentMachine.secondTableCentre[f2.planeP] += CurrentMachine.tableOffset[f2.planeP];
        CurrentMachine.secondTableCentre[f2.planeQ] += CurrentMachine.tableOffset[f2.planeQ];
    }
    static MotionPosition entries_[201];
    static int currentIndex_;
};

MotionPosition OrientationFramesTest::entries_[201];
int OrientationFramesTest::currentIndex_ = 0;

TEST_F(OrientationFramesTest, UnturnedFramesAreTheIdentity) {
    const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int type : {0, 1, 2, 3}) {
        SetTableMachine(type);
        // Turned positions for the head types, unturned ones for the table types.
        const bool turned = type == 0 || type == 1;
        entries_[0] = {{5, 6, 7, turned ? 30.0 : 0.0, turned ? 45.0 : 0.0}};
        UpdateToolMatrixFromPosition();
        UpdateToolMatrixWithWorkOffset();
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(Orientation.machineMatrix[i], identity[i]) << "type " << type;
            EXPECT_EQ(Orientation.workMatrix[i], identity[i]) << "type " << type;
            EXPECT_EQ(Orientation.workInverse[i], identity[i]) << "type " << type;
        }
        EXPECT_EQ(Orientation.workOrigin[0], 5.0);
        EXPECT_EQ(Orientation.workOrigin[2], 7.0);
    }
}

// The frame of a table position is the table's forward map: the origin is where the table
// carries the position, the rows are the turned unit axes.
TEST_F(OrientationFramesTest, TableFramesFollowTheTableMap) {
    std::mt19937_64 rng(kSeed);
    std::printf("seed %u\n", kSeed);
    std::uniform_real_distribution<double> angle(-180, 180);
    std::uniform_real_distribution<double> pos(-100, 100);
    for (int n = 0; n < 600; ++n) {
        const int type = n % 2 ? 2 : 3;
        testing::ResetKinematicsState();
        testing::SetRandomMachine(rng, type, (n / 2) % 3, 0);
        RunKinematics.toolValues.gaugeLength = 0;
        for (double& h : CurrentMachine.headPosition) {
            h = 0;
        }
        const MotionPosition p = {{pos(rng), pos(rng), pos(rng), angle(rng), angle(rng)}};
        double origin[3], matrix[9], scaled[9];
        BuildOrientationMatrix(p, origin, matrix, 0.2, scaled);
        MotionPosition q = p;
        if (type == 3) {
            q.axis[3] = 0;  // the head angle does not turn the work
        }
        double expected[3], axis[3];
        ComputeToolTipAndAxis(RunKinematics, q.axis, expected, axis);
        ASSERT_LT(Distance3(expected, origin), 1e-10) << "type " << type << " case " << n;
        for (int r = 0; r < 3; ++r) {
            const double unit[3] = {r == 0 ? 1.0 : 0.0, r == 1 ? 1.0 : 0.0, r == 2 ? 1.0 : 0.0};
            double row[3];
            const double angles[2] = {q.axis[3], q.axis[4]};
            RotateVectorByRotaryAngles(angles, unit, row);
            ASSERT_LT(Distance3(row, matrix + 3 * r), 1e-12) << "type " << type << " row " << r;
        }
        for (int i = 0; i < 9; ++i) {
            ASSERT_EQ(scaled[i], 0.2 * matrix[i]);
        }
    }
}

TEST_F(OrientationFramesTest, WorkFrameSumsEntriesAndMapsIntoTheToolFrame) {
    CurrentMachine.rotaryType = 2;
    CurrentMachine.rotary[0] = AxisAbout(0);
    SetTableMachine(2);
    entries_[0] = {{1, 2, 3, 10, 20}};
    entries_[3] = {{4, 5, 6, 20, 25}};
    currentIndex_ = 3;
    UpdateToolMatrixWithWorkOffset();
    EXPECT_EQ(Orientation.viewDirty, 1);
    EXPECT_EQ(Orientation.workPosition.axis[0], 5.0);
    EXPECT_EQ(Orientation.workPosition.axis[4], 45.0);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(Orientation.workScaled[i], 0.2 * Orientation.workMatrix[i]);
    }
    // The inverse of a rotation is its transpose.
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(Orientation.workInverse[3 * r + c], Orientation.workMatrix[3 * c + r],
                        1e-15);
        }
    }
    double out[3];
    TransformToToolFrame(Orientation.workOrigin, out);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_EQ(out[1], 0.0);
    EXPECT_EQ(out[2], 0.0);
    for (int r = 0; r < 3; ++r) {
        double p[3];
        Vec3Add(Orientation.workOrigin, Orientation.workMatrix + 3 * r, p);
        TransformToToolFrame(p, out);
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(out[j], r == j ? 1.0 : 0.0, 1e-14) << "row " << r;
        }
    }
    // Index 0 takes the external offset alone; unturned offsets only shift.
    currentIndex_ = 0;
    entries_[0] = {{1, 2, 3, 0, 0}};
    UpdateToolMatrixWithWorkOffset();
    const double p[3] = {0.5, 0.25, 0};
    TransformToToolFrame(p, out);
    EXPECT_EQ(out[0], -0.5);
    EXPECT_EQ(out[1], -1.75);
    EXPECT_EQ(out[2], -3.0);

    Orientation.viewDirty = 0;
    UpdateToolMatrixFromPosition();
    EXPECT_EQ(Orientation.viewDirty, 1);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(Orientation.machineScaled[i], 0.05 * Orientation.machineMatrix[i]);
    }
}

// A scene point placed by the table's forward map comes back to the machine position.
TEST_F(OrientationFramesTest, MachineToWorkUndoesTheTableTurn) {
    std::mt19937_64 rng(kSeed + 1);
    std::uniform_real_distribution<double> angle(-180, 180);
    std::uniform_real_distribution<double> pos(-100, 100);
    for (int n = 0; n < 400; ++n) {
        const int type = n % 2 ? 2 : 3;
        testing::ResetKinematicsState();
        testing::SetRandomMachine(rng, type, (n / 2) % 3, 0);
        SetTableMachine(type);
        RunKinematics.toolValues.gaugeLength = 0;
        for (double& h : CurrentMachine.headPosition) {
            h = 0;
        }
        RunKinematics.pose.program = {{0, 0, 0, angle(rng), angle(rng)}};
        UpdateMachinePosition(RunKinematics);  // machine angles and their cache
        double m[5] = {pos(rng), pos(rng), pos(rng), RunKinematics.pose.machine.axis[3],
                       RunKinematics.pose.machine.axis[4]};
        if (type == 3) {
            m[3] = 0;
        }
        double scene[3], axis[3], back[3];
        ComputeToolTipAndAxis(RunKinematics, m, scene, axis);
        ConvertMachineToWorkPosition(RunKinematics, scene, back);
        ASSERT_LT(Distance3(back, m), 1e-10) << "type " << type << " case " << n;

        // Following the rotary axes leaves the point; not following the linear axes adds the
        // table displacement.
        SceneFollow.followRotaryAxes = 1;
        SceneFollow.tableDisplacement[1] = 2.5;
        ConvertMachineToWorkPosition(RunKinematics, scene, back);
        ASSERT_EQ(back[0], scene[0]);
        ASSERT_EQ(back[1], scene[1] + 2.5);
        SceneFollow.followLinearAxes = 1;
        ConvertMachineToWorkPosition(RunKinematics, scene, back);
        ASSERT_EQ(back[1], scene[1]);
    }
}

TEST_F(OrientationFramesTest, FirstAxisTurnsWithItsTilt) {
    std::mt19937_64 rng(kSeed + 2);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (int n = 0; n < 100; ++n) {
        RotaryAxisFrame& f = CurrentMachine.rotary[0];
        f = AxisAbout(n % 3);
        testing::TiltByAngle(&f, 90 * unit(rng));
        const double v[3] = {unit(rng), unit(rng), unit(rng)};
        const double c = std::cos(3 * unit(rng)), s = std::sqrt(1 - c * c);
        double a[3], b[3];
        RotateAboutFirstRotaryAxis(v, c, s, a);
        RotateAboutTiltedAxis(v, b, f.tiltSin, f.tiltCos, s, c, f.axis, f.planeP, f.planeQ);
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(a[i], b[i]);
        }
    }
    // Axis 2 turns plainly in its plane.
    CurrentMachine.rotary[1] = AxisAbout(1);
    const double v[3] = {1, 2, 3};
    double r[3];
    RotateAboutSecondRotaryAxis(v, 0, 1, r);
    EXPECT_EQ(r[0], 3.0);
    EXPECT_EQ(r[1], 2.0);
    EXPECT_EQ(r[2], -1.0);
}

}  // namespace
}  // namespace mirexa
