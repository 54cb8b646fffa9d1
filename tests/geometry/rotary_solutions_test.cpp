// Rotary-angle solutions, folding, wrapping and over-travel.
#include "geometry/rotary_solutions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "geometry/machine_kinematics.h"
#include "support/kinematics_test_support.h"

namespace mirexa {
namespace {

using testing::AngleGap;
using testing::AxisAbout;
using testing::Distance3;

constexpr unsigned kSeed = 7122026;

class RotarySolutionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetKinematicsState();
    }
    void TearDown() override {
        testing::ResetKinematicsState();
    }
    // Mixed machine: B head (axis 1 about Y), C table (axis 2 about Z).
    static void SetBHeadCTable() {
        CurrentMachine.rotaryType = 3;
        CurrentMachine.rotary[0] = AxisAbout(1);
        CurrentMachine.rotary[1] = AxisAbout(2);
    }
    static void AxisFor(double a1, double a2, double axis[3]) {
        const double angles[2] = {a1, a2};
        ComputeToolAxisFromRotaryAngles(angles, axis);
    }
};

// Every candidate turns the base axis onto the wanted axis, and one of them is the pair the axis
// was built from, on random layouts of every type, both signs, tilted axes and tilted bases.
TEST_F(RotarySolutionsTest, CandidatesReproduceTheToolAxis) {
    std::mt19937_64 rng(kSeed);
    std::printf("seed %u\n", kSeed);
    std::uniform_real_distribution<double> angle(-180, 180);
    int found = 0, total = 0;
    for (int n = 0; n < 6000; ++n) {
        const int type = n % 4, tilt = (n / 4) % 3, direction = (n / 12) % 3;
        testing::SetRandomMachine(rng, type, tilt, direction);
        const double a1 = angle(rng), a2 = angle(rng);
        double t[3];
        AxisFor(a1, a2, t);
        const double previous[2] = {a1 + 1, a2 + 1};
        RotaryCandidates c;
        ListRotaryCandidates(RunKinematics, t, previous, &c);
        ASSERT_GE(c.count, 1) << "case " << n;
        bool hit = false, anyFree = false;
        for (int j = 0; j < c.count; ++j) {
            double back[3];
            AxisFor(c.angle[j][0], c.angle[j][1], back);
            ASSERT_LT(Distance3(back, t), 1e-9) << "type " << type << " tilt " << tilt
                                                << " direction " << direction << " case " << n;
            // Solved angles come within half a turn; kept ones are the previous angles.
            for (int k = 0; k < 2; ++k) {
                ASSERT_TRUE(std::fabs(c.angle[j][k]) <= 180 || c.angle[j][k] == previous[k])
                    << "type " << type << " case " << n << " angle " << c.angle[j][k];
            }
            // Either the pair itself, or the axes that cannot change the tool axis keep
            // their previous angle.
            double other[3];
            AxisFor(a1, c.angle[j][1], other);
            const bool firstFree = Distance3(other, t) < 1e-9;
            AxisFor(c.angle[j][0], a2, other);
            const bool secondFree = Distance3(other, t) < 1e-9;
            anyFree = anyFree || firstFree || secondFree;
            if ((AngleGap(c.angle[j][0], a1) < 1e-7 || firstFree) &&
                (AngleGap(c.angle[j][1], a2) < 1e-7 || secondFree)) {
                hit = true;
            }
        }
        // Away from the singular layouts a tool axis has two distinct solutions.
        ASSERT_TRUE(anyFree || c.count == 2) << "type " << type << " case " << n;
        ++total;
        found += hit;
        ASSERT_TRUE(hit) << "type " << type << " tilt " << tilt << " direction " << direction
                         << " case " << n << " angles " << a1 << ", " << a2;
    }
    EXPECT_EQ(found, total);
}

TEST_F(RotarySolutionsTest, AxisAlongTheOuterRotaryAxisKeepsItsAngle) {
    // C-A head: tool axis (0, 0, 1) lies along C.
    CurrentMachine.rotaryType = 1;
    CurrentMachine.rotary[0] = AxisAbout(2);
    CurrentMachine.rotary[1] = AxisAbout(0);
    const double t[3] = {0, 0, 1};
    const double previous[2] = {37.5, 10};
    RotaryCandidates c;
    ListRotaryCandidates(RunKinematics, t, previous, &c);
    ASSERT_EQ(c.count, 1);
    EXPECT_EQ(c.angle[0][0], 37.5);
    EXPECT_NEAR(c.angle[0][1], 0.0, 1e-12);
    // A residue far below 1e-9 is the same axis.
    const double nearly[3] = {1e-17, -1e-17, 1};
    ListRotaryCandidates(RunKinematics, nearly, previous, &c);
    ASSERT_EQ(c.count, 1);
    EXPECT_EQ(c.angle[0][0], 37.5);

    // With the tilted plane active: HEIDENHAIN takes the plane's SPC angle, SIEMENS the angle of
    // the rotation order.
    RunKinematics.plane.active = 1;
    RunKinematics.plane.planeAngles[0] = 11;
    RunKinematics.plane.planeAngles[1] = 22;
    RunKinematics.plane.planeAngles[2] = 33;
    KinematicsController.heidenhain = 1;
    ListRotaryCandidates(RunKinematics, t, previous, &c);
    EXPECT_EQ(c.angle[0][0], 33.0);
    KinematicsController.heidenhain = 0;
    KinematicsController.siemens = 1;
    RunKinematics.plane.rotationOrderCode = 158;
    ListRotaryCandidates(RunKinematics, t, previous, &c);
    EXPECT_EQ(c.angle[0][0], 22.0);
    RunKinematics.plane.rotationOrderCode = 1;
    ListRotaryCandidates(RunKinematics, t, previous, &c);
    EXPECT_EQ(c.angle[0][0], 37.5);

    // Table-table with axis 1 about Z: axis 1 cannot change the tool axis and keeps its angle.
    testing::ResetKinematicsState();
    CurrentMachine.rotaryType = 2;
    CurrentMachine.rotary[0] = AxisAbout(2);
    CurrentMachine.rotary[1] = AxisAbout(0);
    double want[3];
    AxisFor(0, 40, want);
    ListRotaryCandidates(RunKinematics, want, previous, &c);
    ASSERT_EQ(c.count, 1);
    EXPECT_EQ(c.angle[0][0], 37.5);
    EXPECT_NEAR(c.angle[0][1], 40.0, 1e-9);
}

// A tool axis just off the outer axis of a C-A head: the A angle is the tilt itself and C
// points the tilt's way, for tilts down to the singular band (1e-9 rad), not a single
// candidate that keeps C and drops the tilt.
TEST_F(RotarySolutionsTest, SmallTiltsGiveTwoExactCandidates) {
    CurrentMachine.rotaryType = 1;
    CurrentMachine.rotary[0] = AxisAbout(2);
    CurrentMachine.rotary[1] = AxisAbout(0);
    const double previous[2] = {37.5, 10};
    const double degrees = 180 / M_PI;
    struct Case {
        double x, c, a;
    };
    const Case cases[] = {{1e-8, 90, 5.729577951308232e-7}, {1e-7, 90, 5.729577951308233e-6}};
    for (const Case& k : cases) {
        const double t[3] = {k.x, 0, 1};
        RotaryCandidates c;
        ListRotaryCandidates(RunKinematics, t, previous, &c);
        ASSERT_EQ(c.count, 2) << k.x;
        for (int j = 0; j < 2; ++j) {
            const double sign = c.angle[j][1] > 0 ? 1 : -1;
            EXPECT_NEAR(c.angle[j][0], sign * k.c, 1e-6) << k.x;
            EXPECT_NEAR(c.angle[j][1], sign * k.a, 1e-9 * k.a) << k.x;
        }
        EXPECT_LT(c.angle[0][1] * c.angle[1][1], 0.0) << k.x;
    }
    // Random tilts from 3e-9 to 1e-2 rad at random azimuths: A is the tilt to a relative 1e-9
    // and each candidate turns the base axis onto t. (The solver snaps components below 1e-9
    // to 0 first, so the tilt is measured on the snapped axis.)
    std::mt19937_64 rng(kSeed);
    std::printf("seed %u\n", kSeed);
    for (int n = 0; n < 20000; ++n) {
        const double drawn = std::pow(10.0, std::uniform_real_distribution<double>(-8.5, -2)(rng));
        const double azimuth = std::uniform_real_distribution<double>(-M_PI, M_PI)(rng);
        double t[3] = {std::sin(drawn) * std::cos(azimuth), std::sin(drawn) * std::sin(azimuth),
                       std::cos(drawn)};
        SnapToolAxis(t);
        const double tilt = std::atan2(std::hypot(t[0], t[1]), t[2]);
        RotaryCandidates c;
        ListRotaryCandidates(RunKinematics, t, previous, &c);
        ASSERT_EQ(c.count, 2) << tilt;
        for (int j = 0; j < 2; ++j) {
            ASSERT_NEAR(std::fabs(c.angle[j][1]), tilt * degrees, 1e-9 * tilt * degrees) << tilt;
            double back[3];
            AxisFor(c.angle[j][0], c.angle[j][1], back);
            ASSERT_LT(Distance3(back, t), 1e-15) << tilt;
        }
    }
}

// On an A-C table the C angle folds near a previous angle a million degrees away, not 1000
// turns short of it.
TEST_F(RotarySolutionsTest, FoldingReachesAPreviousAngleAnyTurnsAway) {
    CurrentMachine.rotaryType = 2;
    CurrentMachine.rotary[0] = AxisAbout(0);
    CurrentMachine.rotary[1] = AxisAbout(2);
    double t[3];
    AxisFor(30, 40, t);
    const int flags[2] = {0, 0};
    const double range[2] = {0, 0};
    const double previous[2] = {30, 1000040};
    double result[2];
    ASSERT_EQ(SolveRotaryAngles(RunKinematics, t, previous, flags, range, range, result), 1);
    EXPECT_NEAR(result[0], 30, 1e-9);
    EXPECT_NEAR(result[1], 40 + 2778 * 360.0, 1e-6);
    EXPECT_LE(std::fabs(result[1] - previous[1]), 180);
}

TEST_F(RotarySolutionsTest, PrimaryAxisByAngleDecisionAndType) {
    // Candidates of B 30, C 0: (30, 0) and (-30, 180).
    SetBHeadCTable();
    double t[3];
    AxisFor(30, 0, t);
    const int flags[2] = {0, 0};
    const double range[2] = {0, 0};
    const double previous[2] = {-25, 10};
    double result[2];
    struct Case {
        int type, decision;
        double b;
    };
    // Mixed types (and 0) decide by C unless FANUC-2; the others by B unless a decision is set.
    const Case cases[] = {{3, 0, 30}, {0, 0, 30}, {3, 1, -30}, {0, 1, -30}, {3, 2, 30}};
    for (const Case& k : cases) {
        CurrentMachine.rotaryType = k.type;
        KinematicsController.angleDecision = k.decision;
        ASSERT_EQ(SolveRotaryAngles(RunKinematics, t, previous, flags, range, range, result), 1);
        EXPECT_NEAR(result[0], k.b, 1e-9) << "type " << k.type << " decision " << k.decision;
    }
    EXPECT_EQ(RunKinematics.modes.previousSolutionCount, 2);
}

TEST_F(RotarySolutionsTest, TiesFallBackToTheOtherAxisThenTheResidues) {
    SetBHeadCTable();
    double t[3];
    AxisFor(30, 0, t);
    const int flags[2] = {0, 0};
    const double range[2] = {0, 0};
    double result[2];
    KinematicsController.angleDecision = 1;  // B decides on the mixed machine
    // B moves 30 either way: C decides.
    const double towardsZero[2] = {0, 10};
    SolveRotaryAngles(RunKinematics, t, towardsZero, flags, range, range, result);
    EXPECT_NEAR(result[0], 30, 1e-9);
    const double towardsHalf[2] = {0, 170};
    SolveRotaryAngles(RunKinematics, t, towardsHalf, flags, range, range, result);
    EXPECT_NEAR(result[0], -30, 1e-9);
    // C moves 90 either way as well: the smaller C residue wins.
    const double across[2] = {0, 90};
    SolveRotaryAngles(RunKinematics, t, across, flags, range, range, result);
    EXPECT_NEAR(result[0], 30, 1e-9);
    EXPECT_NEAR(result[1], 0, 1e-9);
}

TEST_F(RotarySolutionsTest, ShortestPathCountsTheMoveAcrossZero) {
    // Candidates (30, 10) and (-30, 190); previous C 350 in a 0..360 stroke: 10 stays 10.
    SetBHeadCTable();
    double t[3];
    AxisFor(30, 10, t);
    const int flags[2] = {0, 1};
    const double range1[2] = {0, 0};
    const double range2[2] = {0, 360};
    const double previous[2] = {0, 350};
    double result[2];
    RunKinematics.modes.shortestPath[1] = 1;  // move 20 against 160
    SolveRotaryAngles(RunKinematics, t, previous, flags, range1, range2, result);
    EXPECT_NEAR(result[1], 10, 1e-9);
    RunKinematics.modes.shortestPath[1] = 0;  // move 340 against 160
    SolveRotaryAngles(RunKinematics, t, previous, flags, range1, range2, result);
    EXPECT_NEAR(result[1], 190, 1e-9);
}

TEST_F(RotarySolutionsTest, NoFittingCandidateGivesZero) {
    SetBHeadCTable();
    double t[3];
    AxisFor(30, 0, t);
    const int flags[2] = {1, 0};
    const double range1[2] = {50, 60};
    const double range2[2] = {0, 0};
    const double previous[2] = {0, 0};
    double result[2] = {9, 9};
    EXPECT_EQ(SolveRotaryAngles(RunKinematics, t, previous, flags, range1, range2, result), 0);
    EXPECT_EQ(result[0], 0.0);
    EXPECT_EQ(result[1], 0.0);
    EXPECT_EQ(RunKinematics.modes.previousSolutionCount, 0);
    // A zero or non-finite axis has no candidate.
    const double zero[3] = {0, 0, 0};
    const double nan[3] = {std::nan(""), 0, 1};
    RotaryCandidates c;
    ListRotaryCandidates(RunKinematics, zero, previous, &c);
    EXPECT_EQ(c.count, 0);
    ListRotaryCandidates(RunKinematics, nan, previous, &c);
    EXPECT_EQ(c.count, 0);
}

TEST_F(RotarySolutionsTest, NcSolutionTakesTheSmallestTurnWithinTheStrokes) {
    SetBHeadCTable();
    double t[3];
    AxisFor(-30, 170, t);  // also (30, -10)
    double result[2];
    ASSERT_EQ(SolveRotaryAnglesNc(RunKinematics, t, result), 1);
    EXPECT_NEAR(result[0], 30, 1e-9);
    EXPECT_NEAR(result[1], -10, 1e-9);
    // B limited to negative angles: only (-30, 170) fits.
    CurrentMachine.strokes.enabled[3] = 1;
    CurrentMachine.strokes.min[3] = -90;
    CurrentMachine.strokes.max[3] = 0;
    ASSERT_EQ(SolveRotaryAnglesNc(RunKinematics, t, result), 1);
    EXPECT_NEAR(result[0], -30, 1e-9);
    EXPECT_NEAR(result[1], 170, 1e-9);
    CurrentMachine.strokes.max[3] = -40;
    EXPECT_EQ(SolveRotaryAnglesNc(RunKinematics, t, result), 0);
    EXPECT_EQ(result[0], 0.0);

    // A-B head: the axis of (-170, -80) is also that of (10, -100), the smaller turn; and a B-A
    // table axis of (-170, 0) comes back as -170, not as the same angle one turn up.
    testing::ResetKinematicsState();
    CurrentMachine.rotaryType = 1;
    CurrentMachine.rotary[0] = AxisAbout(0);
    CurrentMachine.rotary[1] = AxisAbout(1);
    AxisFor(-170, -80, t);
    ASSERT_EQ(SolveRotaryAnglesNc(RunKinematics, t, result), 1);
    EXPECT_NEAR(result[0], 10, 1e-9);
    EXPECT_NEAR(result[1], -100, 1e-9);
    CurrentMachine.rotaryType = 2;
    CurrentMachine.rotary[0] = AxisAbout(1);
    CurrentMachine.rotary[1] = AxisAbout(0);
    AxisFor(-170, 0, t);
    ASSERT_EQ(SolveRotaryAnglesNc(RunKinematics, t, result), 1);
    EXPECT_NEAR(result[0], -170, 1e-9);
    EXPECT_NEAR(result[1], 0, 1e-9);
    // Candidates that need no fold come back exactly.
    AxisFor(90, 0, t);
    ASSERT_EQ(SolveRotaryAnglesNc(RunKinematics, t, result), 1);
    EXPECT_EQ(result[0], 90.0);

    // A candidate lying exactly on its stroke limit fits.
    SetBHeadCTable();
    CurrentMachine.strokes.enabled[3] = 1;
    CurrentMachine.strokes.max[3] = 0;
    for (int d = -179; d < 0; ++d) {
        AxisFor(d, 0, t);
        const double none[2] = {0, 0};
        RotaryCandidates c;
        ListRotaryCandidates(RunKinematics, t, none, &c);
        ASSERT_EQ(c.count, 2);
        const int j = c.angle[0][0] < 0 ? 0 : 1;
        CurrentMachine.strokes.min[3] = c.angle[j][0];
        ASSERT_EQ(SolveRotaryAnglesNc(RunKinematics, t, result), 1) << d;
        EXPECT_EQ(result[0], c.angle[j][0]) << d;
    }
}

TEST_F(RotarySolutionsTest, PreferredSignOnlyUnderHeidenhain) {
    SetBHeadCTable();
    CurrentMachine.rotary[0] = AxisAbout(0);  // A head
    struct Case {
        int sign;
        double a1, a2;
        int accepted;
    };
    const Case cases[] = {
        {0, -10, -10, 1}, {1, -10, 5, 0},  {1, 10, -5, 1},
        {-1, 10, 5, 0},   {-1, -10, 5, 1}, {7, -10, -5, 1},
    };
    for (const Case& k : cases) {
        RunKinematics.modes.preferredRotarySign = k.sign;
        EXPECT_EQ(AcceptRotarySolution(RunKinematics, k.a1, k.a2), k.accepted)
            << k.sign << " " << k.a1;
    }
    // Axis 2 not about Z: its sign counts too.
    CurrentMachine.rotary[1] = AxisAbout(1);
    RunKinematics.modes.preferredRotarySign = 1;
    EXPECT_EQ(AcceptRotarySolution(RunKinematics, 10, -5), 0);
    EXPECT_EQ(AcceptRotarySolution(RunKinematics, 10, 0), 1);
    RunKinematics.modes.preferredRotarySign = -1;
    EXPECT_EQ(AcceptRotarySolution(RunKinematics, -10, 5), 0);

    // The solver applies it only in the HEIDENHAIN dialect.
    SetBHeadCTable();
    double t[3];
    AxisFor(30, 0, t);
    const int flags[2] = {0, 0};
    const double range[2] = {0, 0};
    const double previous[2] = {20, 0};
    double result[2];
    RunKinematics.modes.preferredRotarySign = -1;
    SolveRotaryAngles(RunKinematics, t, previous, flags, range, range, result);
    EXPECT_NEAR(result[0], 30, 1e-9);
    KinematicsController.heidenhain = 1;
    SolveRotaryAngles(RunKinematics, t, previous, flags, range, range, result);
    EXPECT_NEAR(result[0], -30, 1e-9);
}

TEST_F(RotarySolutionsTest, DiffRotaryAngleHandValues) {
    struct Case {
        double a, b, plain, heidenhain;
    };
    const Case cases[] = {
        {0, 180, 180, 180},    {270, 90, -180, -180}, {450, 270, 180, -180}, {270, 450, -180, 180},
        {350, 10, 20, 20},     {10, 350, -20, -20},   {-360, 10, 10, 10},    {-360, 0, 0, 0},
        {-90, 90, -180, -180}, {720, 720, 0, 0},      {-10, -350, 20, 20},
    };
    for (const Case& k : cases) {
        KinematicsController.heidenhain = 0;
        EXPECT_EQ(DiffRotaryAngle(RunKinematics, k.a, k.b), k.plain) << k.a << " -> " << k.b;
        KinematicsController.heidenhain = 1;
        EXPECT_EQ(DiffRotaryAngle(RunKinematics, k.a, k.b), k.heidenhain)
            << k.a << " -> " << k.b << " H";
    }
    EXPECT_FALSE(std::signbit(DiffRotaryAngle(RunKinematics, -360, 0)));
    RunKinematics.modes.incrementalMode = 1;
    EXPECT_EQ(DiffRotaryAngle(RunKinematics, 350, 10), -340.0);
    RunKinematics.modes.incrementalMode = 0;
    EXPECT_TRUE(
        std::isnan(DiffRotaryAngle(RunKinematics, 0, std::numeric_limits<double>::infinity())));
}

TEST_F(RotarySolutionsTest, WrapDegreesIsBoundedForAnyInput) {
    struct Case {
        double in, lo, hi, out;
    };
    const Case cases[] = {
        {370, 0, 360, 370 - 360}, {-10, 0, 360, 350}, {725, -180, 180, 5},
        {-725, -180, 180, -5},    {90, 0, 360, 90},   {-360, 0, 360, 0},
    };
    for (const Case& k : cases) {
        double a = k.in;
        WrapDegrees(&a, k.lo, k.hi);
        EXPECT_EQ(a, k.out) << k.in;
    }
    const double inf = std::numeric_limits<double>::infinity();
    for (double special : {inf, -inf, std::nan("")}) {
        double a = special;
        WrapDegrees(&a, 0, 360);
        EXPECT_TRUE(std::isnan(special) ? std::isnan(a) : a == special);
    }
    for (double huge : {1e17, -1e17, 1e300, -1e300, 3.6e9 + 45}) {
        double a = huge;
        WrapDegrees(&a, -180, 180);
        EXPECT_GE(a, -180) << huge;
        EXPECT_LE(a, 180) << huge;
    }
    // Bounds so large that a turn no longer changes the angle end the loop too.
    for (double lo : {5e18 + 1024, -5e18}) {
        double a = lo < 0 ? lo - 2048 : 5e18;
        WrapDegrees(&a, lo, lo + 4096);
        EXPECT_TRUE(std::isfinite(a)) << lo;
    }
    double a = 3.6e9 + 45;  // exact in binary, so the result is exact too
    WrapDegrees(&a, -180, 180);
    EXPECT_EQ(a, 45.0);
}

TEST_F(RotarySolutionsTest, FoldRotaryAngleNearAndIntoLimits) {
    const double deg = M_PI / 180;
    struct Case {
        double reference;
        int limits;
        double min, max, in, out;
        int ok;
    };
    const Case cases[] = {
        {350, 0, 0, 0, 10, 370, 1},
        {-170, 0, 0, 0, 170, -190, 1},
        {350, 1, 0, 360, 10, 10, 1},
        {0, 1, 0, 360, -90, 270, 1},
        {0, 1, -10, 10, 200, 200, 0},
        {0, 1, 100, 120, 0, 0, 0},
        // Any number of turns away: 2,777,778 turns, not a capped 1000.
        {1e9, 0, 0, 0, 10, 10 + 2777778 * 360.0, 1},
        {-1e9, 1, -1e9 + 200, -1e9 + 400, 10, -1e9 + 290, 1},
    };
    for (const Case& k : cases) {
        double a = k.in * deg;
        EXPECT_EQ(FoldRotaryAngleNear(k.reference, k.limits, k.min, k.max, &a), k.ok)
            << k.reference << " " << k.in;
        EXPECT_NEAR(a / deg, k.out, 1e-6 * (1 + std::fabs(k.out) * 1e-6))
            << k.reference << " " << k.in;
    }
    // Random references far away: the result is the angle plus whole turns, within half a turn
    // of the reference (radians throughout, so up to their rounding).
    std::mt19937_64 rng(kSeed);
    std::printf("seed %u\n", kSeed);
    for (int n = 0; n < 20000; ++n) {
        const double reference = std::uniform_real_distribution<double>(-1e7, 1e7)(rng);
        const double in = std::uniform_real_distribution<double>(-720, 720)(rng) * deg;
        double a = in;
        ASSERT_EQ(FoldRotaryAngleNear(reference, 0, 0, 0, &a), 1);
        const double turns = (a - in) / (2 * M_PI);
        ASSERT_NEAR(turns, std::round(turns), 1e-6) << reference;
        ASSERT_LE(std::fabs(a / deg - reference), 180 + 1e-6) << reference;
    }
    // An angle on its limit stays inside and unchanged, bit for bit.
    for (int d = -720; d <= 720; d += 7) {
        const double on = d * deg;
        double a = on;
        EXPECT_EQ(FoldRotaryAngleNear(d, 1, d, d + 90, &a), 1) << d;
        EXPECT_EQ(a, on) << d;
        a = on;
        EXPECT_EQ(FoldRotaryAngleNear(d, 1, d - 90, d, &a), 1) << d;
        EXPECT_EQ(a, on) << d;
    }
    // Huge angles are folded like any other; non-finite ones fail at once.
    double huge = 1e300;
    EXPECT_EQ(FoldRotaryAngleNear(0, 1, -180, 180, &huge), 1);
    EXPECT_LE(std::fabs(huge), M_PI);
    double nan = std::nan("");
    EXPECT_EQ(FoldRotaryAngleNear(0, 0, 0, 0, &nan), 0);

    CurrentMachine.strokes.enabled[3] = 1;
    CurrentMachine.strokes.min[3] = -90;
    CurrentMachine.strokes.max[3] = 90;
    CurrentMachine.strokes.enabled[4] = 1;
    CurrentMachine.strokes.min[4] = 10;
    CurrentMachine.strokes.max[4] = 400;
    double a1 = 300 * deg, a2 = -20 * deg;
    EXPECT_EQ(FoldRotaryAnglesIntoLimits(&a1, &a2), 1);
    EXPECT_NEAR(a1 / deg, -60, 1e-9);
    EXPECT_NEAR(a2 / deg, 340, 1e-9);
    a1 = 0, a2 = 0;  // 0 lies outside [10, 400] and is not moved
    EXPECT_EQ(FoldRotaryAnglesIntoLimits(&a1, &a2), 0);
    a1 = 600 * deg, a2 = 20 * deg;  // one step only
    EXPECT_EQ(FoldRotaryAnglesIntoLimits(&a1, &a2), 0);
    EXPECT_NEAR(a1 / deg, 600, 1e-9);
}

TEST_F(RotarySolutionsTest, OverTravelReportsTheFirstAxisOutside) {
    const double inside[5] = {0, 0, 0, 0, 0};
    EXPECT_EQ(CheckOverTravel(inside), -1);
    StrokeLimits& s = CurrentMachine.strokes;
    for (int i = 0; i < 5; ++i) {
        s.enabled[i] = 1;
        s.min[i] = -100;
        s.max[i] = 100;
    }
    KinematicsController.axisLetters[3] = 'B';
    OverTravelLetter = '?';
    EXPECT_EQ(CheckOverTravel(inside), -1);
    EXPECT_EQ(OverTravelLetter, '?');
    const double beyond[5] = {0, 0, 0, 100.5, -101};
    EXPECT_EQ(CheckOverTravel(beyond), 3);
    EXPECT_EQ(OverTravelLetter, 'B');
    s.enabled[3] = 0;
    EXPECT_EQ(CheckOverTravel(beyond), 4);
    EXPECT_EQ(OverTravelLetter, 'C');
    const double onEdge[5] = {-100, 100, 0, 0, 0};
    EXPECT_EQ(CheckOverTravel(onEdge), -1);
    const double notANumber[5] = {0, std::nan(""), 0, 0, 0};
    EXPECT_EQ(CheckOverTravel(notANumber), 1);
}

TEST_F(RotarySolutionsTest, RotationOrderCodes) {
    RunKinematics.plane.planeAngles[0] = 1;
    RunKinematics.plane.planeAngles[1] = 2;
    RunKinematics.plane.planeAngles[2] = 3;
    const int first[] = {27, 155, 125, 39, 167};
    const int second[] = {30, 158, 54, 182};
    const int third[] = {57, 185, 45, 173};
    for (int c : first) {
        RunKinematics.plane.rotationOrderCode = c;
        EXPECT_EQ(GetAngleForRotationOrder(RunKinematics, 9), 1.0) << c;
    }
    for (int c : second) {
        RunKinematics.plane.rotationOrderCode = c;
        EXPECT_EQ(GetAngleForRotationOrder(RunKinematics, 9), 2.0) << c;
    }
    for (int c : third) {
        RunKinematics.plane.rotationOrderCode = c;
        EXPECT_EQ(GetAngleForRotationOrder(RunKinematics, 9), 3.0) << c;
    }
    RunKinematics.plane.rotationOrderCode = 28;
    EXPECT_EQ(GetAngleForRotationOrder(RunKinematics, 9), 9.0);
}

// The solve reads the given records' modes, move and tilted plane and leaves the count of fitting
// candidates in their modes, as it does on a copy of them; the run's records keep their count.
// Each case gives another answer (or warning) on the run's records.
TEST_F(RotarySolutionsTest, RecordsFormSolvesWithTheGivenRecordsOnly) {
    struct Case {
        const char* name;
        int heidenhain, siemens;
        double axisFrom[2];  // the wanted tool axis, from these angles
        double previous[2];
        int limitC;  // C limited to [-10, 10]
        void (*fill)(KinematicsSessionRecords* records);
    };
    const Case cases[] = {
        {"preferred sign",
         1,
         0,
         {30, 0},
         {25, 10},
         0,
         [](KinematicsSessionRecords* r) { r->modes.preferredRotarySign = -1; }},
        {"plane SPC",
         1,
         0,
         {0, 0},
         {5, 10},
         0,
         [](KinematicsSessionRecords* r) {
             r->plane.active = 1;
             r->plane.planeAngles[2] = 35;
         }},
        {"rotation order",
         0,
         1,
         {0, 0},
         {5, 10},
         0,
         [](KinematicsSessionRecords* r) {
             r->plane.active = 1;
             r->plane.rotationOrderCode = 27;
             r->plane.planeAngles[0] = -50;
         }},
        {"long move",
         0,
         0,
         {30, 0},
         {-25, 170},
         1,
         [](KinematicsSessionRecords* r) {
             r->motion.motionType = 1;
             r->modes.toolCenterControl = 2;
             r->modes.runMode = RunMode::kRealCutting;
             r->modes.previousSolutionCount = 2;
         }},
    };
    static int warnings;
    RotaryMoveCallbacks.longRotaryMove = [](double, double, double, double) { ++warnings; };
    for (const Case& c : cases) {
        testing::ResetKinematicsState();
        SetBHeadCTable();
        KinematicsController.heidenhain = c.heidenhain;
        KinematicsController.siemens = c.siemens;
        double t[3];
        AxisFor(c.axisFrom[0], c.axisFrom[1], t);
        const int flags[2] = {0, c.limitC};
        const double range1[2] = {-360, 360}, range2[2] = {-10, 10};
        KinematicsSessionRecords given;
        c.fill(&given);
        KinematicsSessionRecords copy = given;
        RunKinematics.modes.previousSolutionCount = 9;  // never a count: marks the run's records

        double fromGiven[2], fromCopy[2], onRun[2];
        warnings = 0;
        const int r1 = SolveRotaryAngles(given, t, c.previous, flags, range1, range2, fromGiven);
        const int w1 = warnings;
        EXPECT_EQ(RunKinematics.modes.previousSolutionCount, 9) << c.name;

        warnings = 0;
        const int r2 = SolveRotaryAngles(copy, t, c.previous, flags, range1, range2, fromCopy);
        const int w2 = warnings;
        EXPECT_EQ(r1, r2) << c.name;
        EXPECT_EQ(fromGiven[0], fromCopy[0]) << c.name;
        EXPECT_EQ(fromGiven[1], fromCopy[1]) << c.name;
        EXPECT_EQ(w1, w2) << c.name;
        EXPECT_EQ(given.modes.previousSolutionCount, copy.modes.previousSolutionCount) << c.name;

        warnings = 0;
        SolveRotaryAngles(RunKinematics, t, c.previous, flags, range1, range2, onRun);
        const bool differs = onRun[0] != fromGiven[0] || onRun[1] != fromGiven[1];
        EXPECT_TRUE(differs || warnings != w1) << c.name;
    }
    RotaryMoveCallbacks = {};
}

}  // namespace
}  // namespace mirexa
