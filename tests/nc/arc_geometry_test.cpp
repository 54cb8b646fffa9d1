// Arc geometry: hand-worked centres and sweeps in the three planes, and the radius checks.
#include "nc/arc_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace mirexa {
namespace {

constexpr PlaneAxes kXY = {0, 1, 2}, kZX = {2, 0, 1}, kYZ = {1, 2, 0};
constexpr double kTolerance = 1e6;  // the controller default: the difference check is off
constexpr double kMinimum = 0.001;

struct ArcCase {
    PlaneAxes plane;
    int type;
    double start[3];
    double end[3];
    ArcWords words;
};

MotionRecord Arc(const ArcCase& c, int* error, double tolerance = kTolerance) {
    MotionRecord m;
    m.motionType = c.type;
    for (int i = 0; i < 3; ++i) {
        m.start.axis[i] = c.start[i];
        m.end.axis[i] = c.end[i];
    }
    ComputeArcGeometry(c.plane, c.words, tolerance, kMinimum, &m, error);
    return m;
}

ArcWords ByRadius(double r) {
    ArcWords w;
    w.centreSource = kCentreRadius;
    w.radius = r;
    return w;
}

ArcWords ByOffsets(double i, double j, double k) {
    ArcWords w;
    w.centreSource = kCentreOffsets;
    w.offsets[0] = i, w.offsets[1] = j, w.offsets[2] = k;
    return w;
}

TEST(ArcGeometryTest, HandWorkedCentresAndSweeps) {
    struct Expected {
        ArcCase arc;
        double centre[3];
        double sweep;
        double length;
    };
    const double pi = M_PI;
    const Expected cases[] = {
        // G17 G02 X10 Y0 R5 from the origin: a half circle.
        {{kXY, 2, {0, 0, 0}, {10, 0, 0}, ByRadius(5)}, {5, 0, 0}, pi, 5 * pi},
        // G02 X10 Y10 R10: centre (10, 0), a quarter; G03 the same words: centre (0, 10).
        {{kXY, 2, {0, 0, 0}, {10, 10, 0}, ByRadius(10)}, {10, 0, 0}, pi / 2, 5 * pi},
        {{kXY, 3, {0, 0, 0}, {10, 10, 0}, ByRadius(10)}, {0, 10, 0}, pi / 2, 5 * pi},
        // R-10 takes the long way: centre (0, 10), three quarters.
        {{kXY, 2, {0, 0, 0}, {10, 10, 0}, ByRadius(-10)}, {0, 10, 0}, 3 * pi / 2, 15 * pi},
        // Helix: the centre keeps the start's height.
        {{kXY, 3, {0, 0, 5}, {10, 10, -5}, ByRadius(10)}, {0, 10, 5}, pi / 2, 5 * pi},
        // Full circle by offsets.
        {{kXY, 3, {0, 0, 0}, {0, 0, 0}, ByOffsets(5, 0, 0)}, {5, 0, 0}, 2 * pi, 10 * pi},
        // G18 G03 X39.3 Z-0.04 I-0.6 K0 from (X39.9, Z0.56): centre (X39.3, Z0.56), a quarter.
        {{kZX, 3, {39.9, 0, 0.56}, {39.3, 0, -0.04}, ByOffsets(-0.6, 0, 0)},
         {39.3, 0, 0.56},
         pi / 2,
         0.3 * pi},
        // G18 G02 from Z0 X0 to Z10 X10 with R10: clockwise seen from +Y, centre (X0, Z10).
        {{kZX, 2, {0, 0, 0}, {10, 0, 10}, ByRadius(10)}, {0, 0, 10}, pi / 2, 5 * pi},
        // G19 G02 from Y0 Z0 to Y10 Z10 with R10: centre (Y10, Z0).
        {{kYZ, 2, {0, 0, 0}, {0, 10, 10}, ByRadius(10)}, {0, 10, 0}, pi / 2, 5 * pi},
        // G19 G03 by J K: centre (Y0, Z5), half circle.
        {{kYZ, 3, {0, 0, 0}, {0, 0, 10}, ByOffsets(0, 0, 5)}, {0, 0, 5}, pi, 5 * pi},
    };
    for (const Expected& e : cases) {
        int error = 0;
        const MotionRecord m = Arc(e.arc, &error);
        SCOPED_TRACE(::testing::Message()
                     << "plane normal " << e.arc.plane.normal << " type " << e.arc.type << " end "
                     << e.arc.end[0] << "," << e.arc.end[1] << "," << e.arc.end[2]);
        EXPECT_EQ(error, 0);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(m.arcCentre[i], e.centre[i], 1e-12);
        }
        EXPECT_NEAR(m.sweep, e.sweep, 1e-12);
        EXPECT_NEAR(m.length, e.length, 1e-9);
        EXPECT_EQ(m.arcNormalAxis, e.arc.plane.normal);
        EXPECT_EQ(m.arcAxis[e.arc.plane.normal], 1.0);
    }
}

TEST(ArcGeometryTest, ShortAndLongArcsBySignOfR) {
    int error = 0;
    const MotionRecord shortArc = Arc({kXY, 2, {0, 0, 0}, {10, 0, 0}, ByRadius(6)}, &error);
    const MotionRecord longArc = Arc({kXY, 2, {0, 0, 0}, {10, 0, 0}, ByRadius(-6)}, &error);
    EXPECT_LT(shortArc.sweep, M_PI);
    EXPECT_GT(longArc.sweep, M_PI);
    EXPECT_NEAR(shortArc.sweep + longArc.sweep, 2 * M_PI, 1e-12);
    // The clockwise short arc bulges up: its centre lies below the chord.
    EXPECT_NEAR(shortArc.arcCentre[1], -std::sqrt(11.0), 1e-12);
    EXPECT_NEAR(longArc.arcCentre[1], std::sqrt(11.0), 1e-12);
    EXPECT_EQ(error, 0);
}

TEST(ArcGeometryTest, ClosedArcsByRadiusOrWithoutCentreHaveNoSweep) {
    for (const ArcWords& words : {ByRadius(5), ArcWords{}}) {
        int error = 0;
        const MotionRecord m = Arc({kXY, 2, {1, 2, 0}, {1, 2, 3}, words}, &error);
        EXPECT_EQ(m.sweep, 0.0);
        EXPECT_EQ(m.length, 0.0);
        EXPECT_EQ(error, 0);
    }
}

// An arc back to its start by centre offsets is a whole turn whatever the start radius's
// direction, in each plane and each direction, also when its end is a computed point a rounding
// off the start (a polar end); only its centre decides the radius.
TEST(ArcGeometryTest, ClosedArcsByOffsetsTurnWhole) {
    const double offsets[][2] = {{10, 10}, {-7.3, 2.9}, {0.001, -13.7}, {1e-3, 1e-3}};
    for (const PlaneAxes& plane : {kXY, kZX, kYZ}) {
        for (const auto& o : offsets) {
            for (const double gap : {0.0, 3e-15, -1e-12}) {
                for (const int type : {2, 3}) {
                    ArcWords words;
                    words.centreSource = kCentreOffsets;
                    words.offsets[plane.first] = o[0];
                    words.offsets[plane.second] = o[1];
                    ArcCase c{plane, type, {20, 20, 20}, {20, 20, 20}, words};
                    c.end[plane.first] += gap;
                    int error = 0;
                    const MotionRecord m = Arc(c, &error);
                    SCOPED_TRACE(::testing::Message() << plane.normal << " " << o[0] << " " << gap);
                    EXPECT_EQ(m.sweep, 2 * M_PI);
                    EXPECT_NEAR(m.length, 2 * M_PI * std::hypot(o[0], o[1]), 1e-9);
                    EXPECT_EQ(error, 0);
                }
            }
        }
    }
}

TEST(ArcGeometryTest, RadiusChecks) {
    // Start radius 4, end radius 6.
    int error = 0;
    Arc({kXY, 2, {0, 0, 0}, {10, 0, 0}, ByOffsets(4, 0, 0)}, &error, 0.001);
    EXPECT_EQ(error, kNcErrorArcRadius);
    error = 0;
    Arc({kXY, 2, {0, 0, 0}, {10, 0, 0}, ByOffsets(5, 0, 0)}, &error, 0.001);
    EXPECT_EQ(error, 0);
    // A zero start radius (G02 X10 I0 J0, or no centre word) has no direction: error even with
    // the default tolerance, and no NaN reaches the move.
    for (const ArcWords& words : {ByOffsets(0, 0, 0), ArcWords{}}) {
        error = 0;
        const MotionRecord m = Arc({kXY, 2, {0, 0, 0}, {10, 0, 0}, words}, &error);
        EXPECT_EQ(error, kNcErrorArcRadius);
        EXPECT_FALSE(std::isnan(m.sweep));
        EXPECT_FALSE(std::isnan(m.startRadial[0]));
    }
    // R smaller than half the chord: the arc cannot reach its end. With the check's tolerance
    // set that is error 1; with the default (check off) the half circle on the chord is taken.
    error = 0;
    MotionRecord m = Arc({kXY, 2, {0, 0, 0}, {10, 0, 0}, ByRadius(4)}, &error, 0.001);
    EXPECT_EQ(error, kNcErrorArcRadius);
    EXPECT_NEAR(m.arcCentre[0], 5.0, 1e-12);
    error = 0;
    m = Arc({kXY, 2, {0, 0, 0}, {10, 0, 0}, ByRadius(4)}, &error);
    EXPECT_EQ(error, 0);
    EXPECT_NEAR(m.sweep, M_PI, 1e-12);
    // Within the tolerance the arc is taken as a half circle on the chord.
    error = 0;
    m = Arc({kXY, 2, {0, 0, 0}, {10, 0, 0}, ByRadius(4.9995)}, &error, 0.001);
    EXPECT_EQ(error, 0);
    EXPECT_NEAR(m.sweep, M_PI, 1e-12);
    // An error already set stays when every check passes.
    error = 2;
    Arc({kXY, 3, {0, 0, 0}, {10, 0, 0}, ByRadius(5)}, &error, 0.001);
    EXPECT_EQ(error, 2);
}

TEST(ArcGeometryTest, RandomArcsEndOnTheirCircle) {
    const unsigned seed = 20240611;
    std::mt19937 rng(seed);
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::uniform_real_distribution<double> coordinate(-50, 50), radius(1, 80);
    for (int i = 0; i < 2000; ++i) {
        const PlaneAxes plane = (i % 3 == 0) ? kXY : (i % 3 == 1 ? kZX : kYZ);
        ArcCase c{plane, 2 + i % 2, {}, {}, ByRadius((i % 4 < 2 ? 1 : -1) * radius(rng))};
        for (int k = 0; k < 3; ++k) {
            c.start[k] = coordinate(rng);
            c.end[k] = coordinate(rng);
        }
        const double halfChord = std::hypot(c.end[plane.first] - c.start[plane.first],
                                            c.end[plane.second] - c.start[plane.second]) /
                                 2;
        if (halfChord > std::fabs(c.words.radius) - 1e-6) {
            continue;
        }
        int error = 0;
        const MotionRecord m = Arc(c, &error, 1e-9);
        ASSERT_EQ(error, 0);
        EXPECT_NEAR(m.radius, std::fabs(c.words.radius), 1e-9);
        EXPECT_NEAR(m.endRadius, std::fabs(c.words.radius), 1e-9);
        // Positive R: the arc of half a turn or less.
        EXPECT_EQ(m.sweep <= M_PI + 1e-12, c.words.radius > 0) << i;
        // Walking the sweep from the start in the arc's direction reaches the end.
        const double dir = c.type == 2 ? -1 : 1;
        const double a0 = std::atan2(m.startRadial[plane.second], m.startRadial[plane.first]);
        const double a1 = a0 + dir * m.sweep;
        EXPECT_NEAR(m.arcCentre[plane.first] + m.radius * std::cos(a1), c.end[plane.first], 1e-7);
        EXPECT_NEAR(m.arcCentre[plane.second] + m.radius * std::sin(a1), c.end[plane.second], 1e-7);
    }
}

}  // namespace
}  // namespace mirexa
