// Stock pose on a turned table: the worked right-angle cases, and random angles and table
// geometry checked against the kinematics' own turn of a point with the table.
#include "stock/stock_pose.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

class PoseTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedMachine = CurrentMachine;
        savedOrigin = RunKinematics.workOrigin;
        Rebuild();
    }
    // A neutral machine and a fresh box stock with the identity frame.
    void Rebuild() {
        CurrentMachine = MachineGeometry{};
        RunKinematics.workOrigin = MotionPosition{};
        SetStockUndoRingSize(&model, 2);
        const double box[6] = {0, 0, 0, 10, 20, 5};
        ASSERT_EQ(CreateBoxStockIdentity(&model, box, 1.0), 1);
    }
    void TearDown() override {
        FreeStockModel(&model);
        CurrentMachine = savedMachine;
        RunKinematics.workOrigin = savedOrigin;
    }
    // A mixed machine whose axis 2 turns about Z at TP (100, 50, 0).
    void MixedTableAboutZ(double angle) {
        CurrentMachine.rotaryType = 3;
        CurrentMachine.rotary[1] = RotaryAxisFrame{2, 0, 1};
        CurrentMachine.tablePosition[0] = 100;
        CurrentMachine.tablePosition[1] = 50;
        RunKinematics.workOrigin.axis[4] = angle;
    }
    MachineGeometry savedMachine;
    MotionPosition savedOrigin;
    StockModel model;
};

TEST_F(PoseTest, MixedTableAtRightAnglesGivesExactRows) {
    MixedTableAboutZ(90);
    UpdateStockPose(&model);
    const double rows[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(model.frame.values[i], rows[i]) << i;
    }
    // The zero offset turns by 90 deg about TP: (-100, -50) -> (50, -100), plus TP.
    EXPECT_EQ(model.frame.values[9], 150.0);
    EXPECT_EQ(model.frame.values[10], -50.0);
    EXPECT_EQ(model.frame.values[11], 0.0);
    EXPECT_EQ(model.frameFlag, 1);
    EXPECT_EQ(model.negatedOffset[0], -150.0);
    // The material bounds follow: local x 0..10 is work y -50..-40, local y 0..20 work x 130..150.
    EXPECT_EQ(model.minCorner[0], 130.0);
    EXPECT_EQ(model.maxCorner[0], 150.0);
    EXPECT_EQ(model.minCorner[1], -50.0);
    EXPECT_EQ(model.maxCorner[1], -40.0);
    EXPECT_TRUE(StockInvariantsHold(model, true));

    for (double angle : {180.0, 270.0, -90.0}) {
        Rebuild();
        MixedTableAboutZ(angle);
        UpdateStockPose(&model);
        for (int i = 0; i < 12; ++i) {
            const double v = model.frame.values[i];
            EXPECT_TRUE(v == std::trunc(v)) << angle << " entry " << i << " " << v;
        }
    }
}

TEST_F(PoseTest, HeadMachineKeepsTheFrameAndRefreshesItsInverse) {
    CurrentMachine.rotaryType = 1;
    RunKinematics.workOrigin.axis[3] = 30;
    RunKinematics.workOrigin.axis[4] = 45;
    model.frame.values[9] = 5;  // moved without the derived fields
    for (double& v : model.inverseOrientation) {
        v = 7;
    }
    UpdateStockPose(&model);
    EXPECT_EQ(model.frame.values[0], 1.0);
    EXPECT_EQ(model.frame.values[1], 0.0);
    EXPECT_EQ(model.frame.values[9], 5.0);
    EXPECT_EQ(model.inverseOrientation[0], 1.0);
    EXPECT_EQ(model.inverseOrientation[1], 0.0);
    EXPECT_EQ(model.negatedOffset[0], -5.0);
    EXPECT_EQ(model.frameFlag, 1);
}

// The frame maps every local point to where the table turn takes the point the old frame gave.
TEST_F(PoseTest, RandomTablesTurnPointsLikeTheKinematics) {
    const unsigned seed = 4711;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> angle(-360, 360), length(-200, 200);
    const RotaryAxisFrame axes[3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}};
    for (int round = 0; round < 200; ++round) {
        Rebuild();
        const int type = round % 2 == 0 ? 2 : 3;
        CurrentMachine.rotaryType = type;
        CurrentMachine.rotary[0] = axes[rng() % 3];
        CurrentMachine.rotary[1] = axes[rng() % 3];
        CurrentMachine.rotary[0].sign = rng() % 2 ? 1 : -1;
        CurrentMachine.rotary[1].sign = rng() % 2 ? 1 : -1;
        if (round % 4 == 0) {
            CurrentMachine.rotary[0].tiltKind = kTiltAngle;
            CurrentMachine.rotary[0].tiltCos = std::cos(0.3);
            CurrentMachine.rotary[0].tiltSin = std::sin(0.3);
        }
        for (int a = 0; a < 3; ++a) {
            CurrentMachine.tablePosition[a] = length(rng);
            CurrentMachine.tableOffset[a] = length(rng);
            model.frame.values[9 + a] = length(rng);
        }
        RefreshStockFrame(&model);
        RunKinematics.workOrigin.axis[3] = angle(rng);
        RunKinematics.workOrigin.axis[4] = angle(rng);
        const StockFrame before = model.frame;
        UpdateStockPose(&model);
        double s1, c1, s2, c2;
        SinCosDegrees(RunKinematics.workOrigin.axis[3], CurrentMachine.rotary[0].sign, &s1, &c1);
        SinCosDegrees(RunKinematics.workOrigin.axis[4], CurrentMachine.rotary[1].sign, &s2, &c2);
        const double* r = model.frame.values;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                const double dot = Vec3Dot(r + 3 * i, r + 3 * j);
                EXPECT_NEAR(dot, i == j ? 1.0 : 0.0, 1e-12);
                double product = 0;  // inverse x rows
                for (int m = 0; m < 3; ++m) {
                    product += model.inverseOrientation[3 * i + m] * r[3 * m + j];
                }
                EXPECT_NEAR(product, i == j ? 1.0 : 0.0, 1e-12);
            }
        }
        for (const double p : {0.0, 3.5}) {
            const double local[3] = {p, 2 * p - 1, 10 - p};
            double old[3], turned[3], now[3];
            TransformPoint(before.values, local, old);
            TurnPointWithTable(old, s1, c1, s2, c2, turned);
            TransformPoint(model.frame.values, local, now);
            for (int a = 0; a < 3; ++a) {
                EXPECT_NEAR(now[a], turned[a], 1e-9) << "round " << round << " type " << type;
            }
        }
    }
}

}  // namespace
}  // namespace mirexa
