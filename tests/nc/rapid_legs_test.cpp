// Rapid positioning legs: dog-legs worked by hand (equal deltas included), seeded random dog-legs
// checked for equal axis speeds in every leg, the per-axis profile against hand-worked physics
// and the bounds of speed and acceleration at every step, and the cases that keep a rapid whole.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "config/controller_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/rapid_legs.h"
#include "nc_test_fixture.h"

namespace mirexa {
namespace {

using RapidLegTest = testing::NcInterpreterTest;

MotionPosition At(double x, double y, double z, double a = 0.0) {
    return {{x, y, z, a, 0.0}};
}

std::vector<std::vector<double>> DogLeg(const MotionPosition& from, const MotionPosition& to) {
    MotionPosition legs[3];
    const int count = ComputeDogLegWayPoints(from, to, legs);
    std::vector<std::vector<double>> out;
    for (int i = 0; i < count; ++i) {
        out.push_back({legs[i].axis[0], legs[i].axis[1], legs[i].axis[2], legs[i].axis[3]});
    }
    return out;
}

using Points = std::vector<std::vector<double>>;

TEST_F(RapidLegTest, DogLegsWorkedByHand) {
    EXPECT_EQ(DogLeg(At(0, 0, 0), At(10, 4, 0)), (Points{{4, 4, 0, 0}, {10, 4, 0, 0}}));
    EXPECT_EQ(DogLeg(At(0, 0, 0), At(10, 4, 2)),
              (Points{{2, 2, 2, 0}, {4, 4, 2, 0}, {10, 4, 2, 0}}));
    EXPECT_EQ(DogLeg(At(10, 4, 2), At(0, 0, 0)),
              (Points{{8, 2, 0, 0}, {6, 0, 0, 0}, {0, 0, 0, 0}}));
    // Two equal deltas: the median is taken, never an unset middle.
    EXPECT_EQ(DogLeg(At(0, 0, 0), At(10, 4, 4)), (Points{{4, 4, 4, 0}, {10, 4, 4, 0}}));
    EXPECT_EQ(DogLeg(At(0, 0, 0), At(10, 10, 4)), (Points{{4, 4, 4, 0}, {10, 10, 4, 0}}));
    EXPECT_EQ(DogLeg(At(0, 0, 0), At(4, -10, 10)), (Points{{4, -4, 4, 0}, {4, -10, 10, 0}}));
    // Straight already: one axis, an equal diagonal, equal deltas on all three.
    EXPECT_TRUE(DogLeg(At(0, 0, 0), At(0, 0, 7)).empty());
    EXPECT_TRUE(DogLeg(At(0, 0, 0), At(5, -5, 0)).empty());
    EXPECT_TRUE(DogLeg(At(1, 1, 1), At(-2, 4, 4)).empty());
    EXPECT_TRUE(DogLeg(At(0, 0, 0), At(5, 5.000001, 0)).empty());
    // An axis within the tolerance of its end makes no leg of its own.
    EXPECT_EQ(DogLeg(At(0, 0, 0), At(10, 4, 0.000004)),
              (Points{{4, 4, 0.000004, 0}, {10, 4, 0.000004, 0}}));
    // Rotary axes move with the longest axis and arrive with the last leg.
    EXPECT_EQ(DogLeg(At(0, 0, 0, 0), At(10, 4, 0, 90)), (Points{{4, 4, 0, 36}, {10, 4, 0, 90}}));
}

// In every leg the axes that move, move by the same amount toward their ends; an axis that has
// arrived moves no more; the last way point is the end.
TEST_F(RapidLegTest, RandomDogLegsMoveEveryAxisAtTheSameSpeed) {
    const unsigned seed = 5123;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> coordinate(-20, 20);
    for (int round = 0; round < 5000; ++round) {
        const MotionPosition from = At(coordinate(rng), coordinate(rng), coordinate(rng));
        MotionPosition to = At(coordinate(rng), coordinate(rng), coordinate(rng));
        const int k = static_cast<int>(rng() % 3);
        if (rng() % 4 == 0) {
            to.axis[k] = from.axis[k];  // an axis that stays
        } else if (rng() % 4 == 0) {
            // Two equal deltas.
            const int other = (k + 1) % 3;
            to.axis[other] = from.axis[other] + (to.axis[k] - from.axis[k]);
        }
        SCOPED_TRACE("round " + std::to_string(round));
        MotionPosition legs[3];
        const int count = ComputeDogLegWayPoints(from, to, legs);
        ASSERT_LE(count, 3);
        if (count == 0) {
            continue;
        }
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(legs[count - 1].axis[i], to.axis[i]);
        }
        MotionPosition prev = from;
        for (int k = 0; k < count; ++k) {
            double step = -1.0;
            for (int i = 0; i < 3; ++i) {
                const double moved = legs[k].axis[i] - prev.axis[i];
                if (moved == 0.0) {
                    continue;
                }
                EXPECT_GT(moved * (to.axis[i] - from.axis[i]), 0.0) << "axis " << i;
                EXPECT_LE(std::fabs(legs[k].axis[i] - from.axis[i]),
                          std::fabs(to.axis[i] - from.axis[i]));
                if (step < 0.0) {
                    step = std::fabs(moved);
                }
                EXPECT_NEAR(std::fabs(moved), step, 1e-9) << "axis " << i;
            }
            EXPECT_GT(step, 0.0) << "a leg that moves nothing";
            prev = legs[k];
        }
    }
}

TEST_F(RapidLegTest, ProfileTrapezoidAndTriangleWorkedByHand) {
    // X: 100 mm at 100 mm/s with 1000 mm/s^2: 0.1 s up to speed over 5 mm, 0.9 s of cruise,
    // 0.1 s down. Y: 10 mm never reaches the speed: 0.1 s up, 0.1 s down.
    const double rate[3] = {6000, 6000, 6000}, acceleration[3] = {1, 1, 1};
    RapidStepProfile profile;
    const int n =
        ComputeRapidStepProfile(At(0, 0, 0), At(100, 10, 0), rate, acceleration, 1.0, &profile);
    ASSERT_EQ(n, 100);
    const RapidAxisProfile& x = profile.axis[0];
    const RapidAxisProfile& y = profile.axis[1];
    EXPECT_EQ(x.trapezoid, 1);
    EXPECT_DOUBLE_EQ(x.accelerationTime, 0.1);
    EXPECT_DOUBLE_EQ(x.cruiseEnd, 1.0);
    EXPECT_DOUBLE_EQ(x.totalTime, 1.1);
    EXPECT_DOUBLE_EQ(x.accelerationDistance, 5.0);
    EXPECT_EQ(y.trapezoid, 0);
    EXPECT_DOUBLE_EQ(y.accelerationTime, 0.1);
    EXPECT_DOUBLE_EQ(y.totalTime, 0.2);
    EXPECT_DOUBLE_EQ(profile.stepTime, 0.011);
    MotionPosition p;
    EvaluateRapidStep(profile, n, 5, &p);  // t = 0.055 s
    EXPECT_NEAR(p.axis[0], 1.5125, 1e-12);
    EXPECT_NEAR(p.axis[1], 1.5125, 1e-12);
    EvaluateRapidStep(profile, n, 14, &p);  // t = 0.154 s: Y braking, 0.046 s left
    EXPECT_NEAR(p.axis[0], 5.0 + 0.054 * 100.0, 1e-9);
    EXPECT_NEAR(p.axis[1], 10.0 - 500.0 * 0.046 * 0.046, 1e-9);
    EvaluateRapidStep(profile, n, 50, &p);  // t = 0.55 s: X cruising, Y arrived
    EXPECT_NEAR(p.axis[0], 50.0, 1e-9);
    EXPECT_EQ(p.axis[1], 10.0);
    EvaluateRapidStep(profile, n, 95, &p);  // t = 1.045 s: X braking, 0.055 s left
    EXPECT_NEAR(p.axis[0], 100.0 - 1.5125, 1e-9);
    EvaluateRapidStep(profile, n, n, &p);
    EXPECT_EQ(p.axis[0], 100.0);
    EXPECT_EQ(p.axis[1], 10.0);
}

// At every step of random profiles no axis goes faster than its rate, changes its mean speed by
// more than its acceleration allows, or passes its end; the last step is the end, rotaries
// included.
TEST_F(RapidLegTest, RandomProfilesKeepSpeedAndAccelerationBounds) {
    const unsigned seed = 777;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coordinate(-300, 300), rateOf(1000, 40000),
        accelerationOf(0.2, 5.0);
    int split = 0;
    for (int round = 0; round < 300; ++round) {
        double rate[3], acceleration[3];
        for (int i = 0; i < 3; ++i) {
            rate[i] = rateOf(rng);
            acceleration[i] = accelerationOf(rng);
        }
        const MotionPosition from = At(coordinate(rng), coordinate(rng), coordinate(rng), 10);
        const MotionPosition to = At(coordinate(rng), coordinate(rng), coordinate(rng), 70);
        SCOPED_TRACE("round " + std::to_string(round));
        RapidStepProfile profile;
        const int n = ComputeRapidStepProfile(from, to, rate, acceleration, 2.0, &profile);
        if (n == 0) {
            continue;  // a slow short axis leads over less than two steps
        }
        ++split;
        const double dt = profile.stepTime;
        MotionPosition prev = from;
        double speed[3] = {0, 0, 0};
        for (int i = 1; i <= n; ++i) {
            MotionPosition p;
            EvaluateRapidStep(profile, n, i, &p);
            for (int axis = 0; axis < 3; ++axis) {
                const double v = (p.axis[axis] - prev.axis[axis]) / dt;
                const double sign = to.axis[axis] > from.axis[axis] ? 1.0 : -1.0;
                EXPECT_GE(v * sign, -1e-9) << "axis " << axis << " step " << i;
                EXPECT_LE(std::fabs(v), rate[axis] / 60.0 * (1 + 1e-9)) << "axis " << axis;
                EXPECT_LE(std::fabs(v - speed[axis]), acceleration[axis] * 1000.0 * dt * (1 + 1e-6))
                    << "axis " << axis << " step " << i;
                speed[axis] = v;
            }
            prev = p;
        }
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(prev.axis[i], to.axis[i]);
        }
    }
    EXPECT_GT(split, 250);
}

TEST_F(RapidLegTest, MissingRatesAccelerationsOrStepLengthKeepTheRapidWhole) {
    const double rate[3] = {6000, 6000, 6000}, acceleration[3] = {1, 1, 1};
    RapidStepProfile profile;
    const MotionPosition from = At(0, 0, 0), to = At(100, 10, 0);
    for (int axis = 0; axis < 2; ++axis) {
        double r[3] = {rate[0], rate[1], rate[2]}, a[3] = {acceleration[0], acceleration[1], 1};
        r[axis] = 0.0;
        EXPECT_EQ(ComputeRapidStepProfile(from, to, r, acceleration, 1.0, &profile), 0);
        a[axis] = 0.0;
        EXPECT_EQ(ComputeRapidStepProfile(from, to, rate, a, 1.0, &profile), 0);
        a[axis] = std::nan("");
        EXPECT_EQ(ComputeRapidStepProfile(from, to, rate, a, 1.0, &profile), 0);
    }
    // Z does not move: its missing values do not matter.
    const double noZ[3] = {6000, 6000, 0};
    EXPECT_EQ(ComputeRapidStepProfile(from, to, noZ, noZ, 1.0, &profile), 100);
    EXPECT_EQ(ComputeRapidStepProfile(from, to, rate, acceleration, 0.0, &profile), 0);
    EXPECT_EQ(ComputeRapidStepProfile(from, to, rate, acceleration, -1.0, &profile), 0);
    EXPECT_EQ(ComputeRapidStepProfile(from, to, rate, acceleration, 1e-30, &profile),
              kRapidStepsMax);
    // One step would do; equal moves at equal rates are synchronous already.
    EXPECT_EQ(ComputeRapidStepProfile(from, At(0.5, 0.2, 0), rate, acceleration, 1.0, &profile), 0);
    EXPECT_EQ(ComputeRapidStepProfile(from, At(0, 40, -40), rate, acceleration, 1.0, &profile), 0);
}

TEST_F(RapidLegTest, RapidsUnderTransformsOrOnALinePathStayWhole) {
    RunSession.controller.rapid[0] = RunSession.controller.rapid[1] = 6000;
    RunSession.controller.rapidAcceleration[0] = RunSession.controller.rapidAcceleration[1] = 1;
    RunKinematics.motion.start = At(0, 0, 0);
    RunKinematics.motion.end = At(100, 10, 0);
    const auto split = [] {
        const int count = SubdivideRapidMove(RunSession);
        EXPECT_EQ(RunSession.run.pending.rapidLegCount, count);
        return count;
    };
    for (int type : {kRapidStraight, kRapidLine}) {
        RunSession.controller.rapidType = type;
        EXPECT_EQ(split(), 0);
    }
    RunSession.controller.rapidType = kRapidDogLeg;
    EXPECT_EQ(split(), 2);
    RunSession.controller.rapidType = kRapidProfile;
    EXPECT_EQ(split(), 100);
    // G00PATH LINE keeps the rapid whole only in the automation's result runs.
    RunSession.controller.linearRapidPath = 1;
    RunKinematics.modes.runMode = RunMode::kResult;
    EXPECT_EQ(split(), 100);
    for (BatchRunKind kind : {BatchRunKind::kReal, BatchRunKind::kSkip}) {
        RunKinematics.modes.batchKind = kind;
        EXPECT_EQ(split(), 100);
    }
    for (BatchRunKind kind :
         {BatchRunKind::kResult, BatchRunKind::kResultLogged, BatchRunKind::kResultUnseen}) {
        RunKinematics.modes.batchKind = kind;
        EXPECT_EQ(split(), 0);
    }
    RunKinematics.modes.runMode = RunMode::kIdle;
    RunKinematics.modes.batchKind = BatchRunKind::kNone;
    RunSession.run.transforms.transformState = 2;
    EXPECT_EQ(split(), 0);
    RunSession.run.transforms.transformState = 0;
    RunSession.run.transforms.scaling = 1;
    EXPECT_EQ(split(), 0);
    RunSession.run.transforms.scaling = 0;
    RunKinematics.plane.active = 1;
    EXPECT_EQ(split(), 0);
}

TEST_F(RapidLegTest, PositioningTypeOfEachG00ModeWord) {
    const struct {
        const char* word;
        int type;
    } cases[] = {{"LINE", 9}, {"ASYNC1", 1}, {"ASYNC2", 2}, {"ASYNC", 1}, {"UNKNOWN", 0}};
    for (const auto& c : cases) {
        ReadControllerFileAt(RunSession, RunKinematics,
                             dir.Write("g00.ctl", std::string("G00MODE=") + c.word + "\r\n"));
        RefreshNcControllerView(RunSession);
        EXPECT_EQ(RunSession.controller.rapidType, c.type) << c.word;
    }
}

}  // namespace
}  // namespace mirexa
