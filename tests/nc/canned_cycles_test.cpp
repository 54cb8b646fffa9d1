// Canned cycles: levels worked by hand for each dialect form, pecks on bad peck depths and near
// the bottom, the point limit, repeats that need more points than the queue holds, and seeded
// random cycles checked against the rules every drilling sequence must keep.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "geometry/machine_kinematics.h"
#include "nc/canned_cycles.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"
#include "nc_test_fixture.h"

namespace mirexa {
namespace {

using CannedCycleTest = testing::NcInterpreterTest;

struct Point {
    int type;
    double level;
};

// A G17 cycle whose hole lies at (10, 0), the tool standing at (0, 0, 50).
DrillingCycleInput Cycle(int code, double r, double bottom, double q) {
    DrillingCycleInput in;
    in.cycleCode = code;
    in.start.axis[2] = 50.0;
    in.hole.axis[0] = 10.0;
    in.rWord = r;
    in.depthWord = bottom;
    in.peck = q;
    in.initialLevel = 50.0;
    return in;
}

// The points of the hole (drilling level and type), checked to lie at the hole.
std::vector<Point> Expand(const DrillingCycleInput& in) {
    static int types[kCyclePointsMax];
    static MotionPosition points[kCyclePointsMax];
    const DrillingCycleLevels levels = ComputeDrillingCycleLevels(in);
    const int count = ExpandDrillingHole(in, levels, in.start, in.hole, types, points);
    EXPECT_LE(count, kCyclePointsMax);
    std::vector<Point> out;
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(points[i].axis[in.plane.first], in.hole.axis[in.plane.first]);
        EXPECT_EQ(points[i].axis[in.plane.second], in.hole.axis[in.plane.second]);
        EXPECT_EQ(points[i].axis[3], in.start.axis[3]) << "the rotary axes stay";
        out.push_back({types[i], points[i].axis[in.plane.normal]});
    }
    return out;
}

std::vector<double> FeedEnds(const std::vector<Point>& points) {
    std::vector<double> ends;
    for (const Point& p : points) {
        if (p.type == kMotionLine) {
            ends.push_back(p.level);
        }
    }
    return ends;
}

TEST_F(CannedCycleTest, LevelsOfEachDialectFormAndReturnMode) {
    DrillingCycleInput in = Cycle(81, -48.0, -5.0, 0.0);
    in.incremental = 1;
    DrillingCycleLevels l = ComputeDrillingCycleLevels(in);
    EXPECT_DOUBLE_EQ(l.rLevel, 2.0);
    EXPECT_DOUBLE_EQ(l.bottom, -3.0);
    EXPECT_DOUBLE_EQ(l.returnLevel, 50.0);
    in = Cycle(81, 2.0, -5.0, 0.0);
    in.returnMode = 2;
    in.separateReturnLevel = 20.0;
    EXPECT_DOUBLE_EQ(ComputeDrillingCycleLevels(in).returnLevel, 20.0);
    in.repeat = 2;  // repeats always come back to the initial level
    EXPECT_DOUBLE_EQ(ComputeDrillingCycleLevels(in).returnLevel, 50.0);
    in = Cycle(83, 2.0, -10.0, 30.0);
    in.heidenhain = 1;
    l = ComputeDrillingCycleLevels(in);
    EXPECT_DOUBLE_EQ(l.rLevel, 50.0);
    EXPECT_DOUBLE_EQ(l.bottom, 38.0);
    EXPECT_DOUBLE_EQ(l.peckClearance, 0.6);
    in.peck = -100.0;
    EXPECT_DOUBLE_EQ(ComputeDrillingCycleLevels(in).peckClearance, 2.0);
    in.peck = 600.0;
    EXPECT_DOUBLE_EQ(ComputeDrillingCycleLevels(in).peckClearance, 7.0);
    in = Cycle(203, 0.0, 0.0, 5.0);
    in.heidenhain = 1;
    in.heidenhainLevels = {2.0, -20.0, 40.0, 10.0};
    l = ComputeDrillingCycleLevels(in);
    EXPECT_DOUBLE_EQ(l.rLevel, 12.0);
    EXPECT_DOUBLE_EQ(l.bottom, -10.0);
    EXPECT_DOUBLE_EQ(l.returnLevel, 50.0);
}

TEST_F(CannedCycleTest, ClearancePointAndCyclesThatDrillNothing) {
    DrillingCycleInput in = Cycle(81, 2.0, -5.0, 0.0);
    in.clearance = 1.5;
    in.start.axis[3] = 30.0;
    std::vector<Point> p = Expand(in);
    ASSERT_EQ(p.size(), 5u);
    EXPECT_DOUBLE_EQ(p[2].level, 0.5);
    EXPECT_EQ(p[2].type, kMotionRapid);
    // A code that is no drilling cycle positions, approaches and feeds out.
    p = Expand(Cycle(204, 2.0, -5.0, 0.0));
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(FeedEnds(p), std::vector<double>{2.0});
    // Nothing more than positioning with a repeat count of 0.
    in = Cycle(83, 2.0, -5.0, 1.0);
    in.repeat = 0;
    ASSERT_EQ(Expand(in).size(), 1u);
}

TEST_F(CannedCycleTest, PeckDepthOfZeroFeedsOnceAndNegativePecksByItsMagnitude) {
    for (int code : {73, 83}) {
        SCOPED_TRACE(code);
        const std::vector<Point> once = Expand(Cycle(code, 0.0, -9.0, 0.0));
        EXPECT_EQ(FeedEnds(once), std::vector<double>{-9.0});
        EXPECT_EQ(once.size(), 4u);
        const std::vector<Point> down = Expand(Cycle(code, 0.0, -9.0, 3.0));
        const std::vector<Point> up = Expand(Cycle(code, 0.0, -9.0, -3.0));
        EXPECT_EQ(FeedEnds(up), (std::vector<double>{-3.0, -6.0, -9.0}));
        ASSERT_EQ(up.size(), down.size());
        for (size_t i = 0; i < up.size(); ++i) {
            EXPECT_EQ(up[i].level, down[i].level);
            EXPECT_EQ(up[i].type, down[i].type);
        }
    }
}

TEST_F(CannedCycleTest, LastPeckWithinHalfAnIncrementOfTheBottomEndsThePecks) {
    // 0.1 - 3 x 0.3 lies a hair above -0.8 in binary: no almost empty fourth peck.
    DrillingCycleInput in = Cycle(83, 0.1, -0.8, 0.3);
    in.hole = in.start;
    in.g83Clearance = 0.1;
    std::vector<Point> p = Expand(in);
    const std::vector<double> feeds = FeedEnds(p);
    ASSERT_EQ(feeds.size(), 3u);
    EXPECT_DOUBLE_EQ(feeds[0], -0.2);
    EXPECT_DOUBLE_EQ(feeds[1], -0.5);
    EXPECT_EQ(feeds[2], -0.8);
    EXPECT_EQ(p.size(), 9u);
    // Compared exactly, the same cycle pecks once more.
    in.levelTolerance = 0.0;
    EXPECT_EQ(FeedEnds(Expand(in)).size(), 4u);
}

TEST_F(CannedCycleTest, RunModesTwoAndThreeDrillInOneFeed) {
    for (RunMode mode : {RunMode::kSkipCutting, RunMode::kResult}) {
        DrillingCycleInput in = Cycle(83, 0.0, -9.0, 3.0);
        in.runMode = mode;
        EXPECT_EQ(FeedEnds(Expand(in)), std::vector<double>{-9.0});
        in.cycleCode = 73;
        EXPECT_EQ(FeedEnds(Expand(in)), std::vector<double>{-9.0});
    }
}

TEST_F(CannedCycleTest, PeckLoopStopsAtThePointLimitAndEndsAtTheBottom) {
    for (int code : {73, 83}) {
        SCOPED_TRACE(code);
        DrillingCycleInput in = Cycle(code, 0.0, -100.0, 0.001);
        in.clearance = 0.5;
        const std::vector<Point> p = Expand(in);
        EXPECT_GT(p.size(), static_cast<size_t>(kCyclePeckPointLimit - 2));
        EXPECT_LE(p.size(), static_cast<size_t>(kCyclePointsMax));
        EXPECT_EQ(FeedEnds(p).back(), -100.0);
        EXPECT_EQ(p.back().level, 50.0);
    }
}

// Each hole needs close to a full queue of points; the four holes of K4 come one queue fill
// each, every one with the same sequence, and the program ends after the last.
TEST_F(CannedCycleTest, RepeatsBeyondTheQueueGiveEveryHoleTheSameSequence) {
    const std::string path =
        dir.Write("deep.nc", "G90 G00 X0 Y0 Z10.\nG91 G83 X5. Z-30. R-9. Q0.03 K4 F100.\nG90\n");
    ResetInterpreterState(RunSession);
    ASSERT_EQ(OpenNcProgramSource(RunSession, path), 1);
    std::vector<std::vector<Point>> holes(5);
    long calls = 0;
    while (RunSession.run.status.endState < 2 && ++calls < 100000) {
        ComputeNextMove(RunSession);
        ASSERT_EQ(RunSession.run.status.error, 0);
        if (RunSession.run.status.subprogramEnd || !RunKinematics.motion.blockHasMotion) {
            continue;
        }
        FinishBlockPosition(RunSession);
        const double x = RunKinematics.motion.lastPosition.axis[0];
        const int hole = static_cast<int>(std::lround(x / 5.0));
        ASSERT_TRUE(hole >= 0 && hole <= 4 && x == hole * 5.0) << x;
        holes[hole].push_back(
            {RunKinematics.motion.motionType, RunKinematics.motion.lastPosition.axis[2]});
    }
    CloseNcProgramSource(RunSession);
    EXPECT_EQ(RunSession.run.status.endState, 2);
    ASSERT_GT(holes[1].size(), static_cast<size_t>(kCyclePointsMax / 2));
    for (int h = 2; h <= 4; ++h) {
        ASSERT_EQ(holes[h].size(), holes[1].size()) << "hole " << h;
        for (size_t i = 0; i < holes[1].size(); ++i) {
            EXPECT_EQ(holes[h][i].level, holes[1][i].level);
            EXPECT_EQ(holes[h][i].type, holes[1][i].type);
        }
    }
    EXPECT_EQ(FeedEnds(holes[4]).back(), -29.0);
    EXPECT_EQ(holes[4].back().level, 10.0);
}

TEST_F(CannedCycleTest, HeidenhainCyclesFrom200SetBothPeckClearances) {
    RunSession.controller.dialect.heidenhain = 1;
    RunSession.run.modal.cycleCode = 200;
    RunSession.run.modal.heidenhainLevels = {2.5, -12.0, 30.0, 0.0};
    RunSession.run.modal.cyclePeck = 5.0;
    RunKinematics.motion.start.axis[2] = 30.0;
    RunKinematics.motion.end = RunKinematics.motion.start;
    ASSERT_GT(ExpandDrillingCycle(RunSession), 0);
    EXPECT_EQ(RunSession.controller.g73Peck, 2.5);
    EXPECT_EQ(RunSession.controller.g83Peck, 2.5);
    // R level 2.5, pecks of 5 with re-approaches 2.5 above the last depth.
    const NcPendingMoves& p = RunSession.run.pending;
    std::vector<double> levels;
    for (int i = 0; i < p.cyclePointCount; ++i) {
        levels.push_back(p.cyclePoint[i].axis[2]);
    }
    EXPECT_EQ(levels, (std::vector<double>{2.5, -2.5, 2.5, 0.0, -7.5, 2.5, -5.0, -12.0, 30.0}));
}

TEST_F(CannedCycleTest, CycleAtTheHoleItselfWithK0MovesNothing) {
    EXPECT_EQ(Trace("G90 G00 Z10.\nG81 Z-5. R2. K0 F100.\nG80 X1.\n"),
              Move(1, 0, 0, 0, 10, 0) + Move(3, 0, 1, 0, 10, 100) + "END state 2 error 0\n");
}

// Random cycles of every drilling kind: the deepest point is the bottom, each feed goes deeper
// than the one before (no empty or backward pecks), pecks never bite more than |Q| below the
// last depth, and the hole ends at the return level (the R level for feed-out cycles in G99).
TEST_F(CannedCycleTest, RandomCyclesKeepTheDrillingRules) {
    const unsigned seed = 20240615;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> level(-40.0, 40.0), peck(0.5, 6.0);
    const auto round3 = [](double v) { return std::round(v * 1000.0) / 1000.0; };
    const int codes[] = {73, 74, 76, 81, 82, 83, 84, 85, 86, 87, 88, 89};
    for (int round = 0; round < 2000; ++round) {
        // Q: 0, or 0.5 to 6 mm either way.
        const int sign = static_cast<int>(rng() % 3) - 1;
        DrillingCycleInput in = Cycle(codes[rng() % 12], 0, 0, sign * round3(peck(rng)));
        const double a = round3(level(rng)), b = round3(level(rng));
        if (a == b) {
            continue;
        }
        in.rWord = std::max(a, b);
        in.depthWord = std::min(a, b);
        in.returnMode = static_cast<int>(rng() % 2);
        in.g73Clearance = in.g83Clearance = 0.25;
        SCOPED_TRACE("round " + std::to_string(round) + " G" + std::to_string(in.cycleCode));
        const std::vector<Point> p = Expand(in);
        const std::vector<double> feeds = FeedEnds(p);
        double deepest = 1e9;
        for (const Point& point : p) {
            deepest = std::min(deepest, point.level);
        }
        EXPECT_EQ(deepest, in.depthWord);
        const bool pecking = (in.cycleCode == 73 || in.cycleCode == 83) && in.peck != 0.0;
        double last = in.rWord;
        for (double f : feeds) {
            if (f >= in.rWord) {
                continue;  // a feed back out
            }
            EXPECT_LT(f, last - 0.0005);
            if (pecking) {
                EXPECT_LE(last - f, std::fabs(in.peck) + 1e-9);
            }
            last = f;
        }
        EXPECT_EQ(p.back().level, in.returnMode == 0 ? in.rWord : in.initialLevel);
    }
}

}  // namespace
}  // namespace mirexa
