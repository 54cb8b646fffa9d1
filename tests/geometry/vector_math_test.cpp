// Vector, matrix and angle helpers against independent values.
#include "geometry/vector_math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <random>

namespace mirexa {
namespace {

TEST(SinCosDegrees, ExactAtEveryMultipleOfNinety) {
    struct Case {
        double angle;
        int sign;
        double sin;
        double cos;
    };
    const Case cases[] = {
        {0, 1, 0, 1},    {360, 1, 0, 1},   {-360, 1, 0, 1}, {90, 1, 1, 0},   {90, -1, -1, 0},
        {-270, 1, 1, 0}, {-90, 1, -1, 0},  {270, -1, 1, 0}, {180, 1, 0, -1}, {-180, 1, 0, -1},
        {450, 1, 1, 0},  {-540, 1, 0, -1}, {720, -1, 0, 1}, {630, 1, -1, 0},
    };
    for (const Case& c : cases) {
        double s = 7, co = 7;
        SinCosDegrees(c.angle, c.sign, &s, &co);
        EXPECT_EQ(s, c.sin) << c.angle << " sign " << c.sign;
        EXPECT_EQ(co, c.cos) << c.angle << " sign " << c.sign;
        EXPECT_FALSE(std::signbit(s) && s == 0.0) << "negative zero at " << c.angle;
    }
    double s = 0, co = 0;
    SinCosDegrees(45, 1, &s, &co);
    EXPECT_NEAR(s, std::sqrt(2.0) / 2, 1e-15);
    EXPECT_NEAR(co, std::sqrt(2.0) / 2, 1e-15);
    SinCosDegrees(30, -1, &s, &co);
    EXPECT_NEAR(s, -0.5, 1e-15);
}

TEST(InvertMatrix3, InverseOfRotationIsItsTranspose) {
    const double a = 0.3, b = -1.1;
    // Rotation about Z by a, then about X by b.
    const double rz[9] = {std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a), 0, 0, 0, 1};
    const double rx[9] = {1, 0, 0, 0, std::cos(b), -std::sin(b), 0, std::sin(b), std::cos(b)};
    double m[9] = {};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) {
                m[3 * i + j] += rx[3 * i + k] * rz[3 * k + j];
            }
        }
    }
    double inv[9];
    InvertMatrix3(m, inv);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(inv[3 * i + j], m[3 * j + i], 1e-15);
        }
    }
}

TEST(TransformPoint, RowsThenOffsetAndOutputMayAliasInput) {
    const double frame[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, 10, 20, 30};
    double p[3] = {1, 2, 3};
    TransformPoint(frame, p, p);
    EXPECT_EQ(p[0], 10 - 2);
    EXPECT_EQ(p[1], 20 + 1);
    EXPECT_EQ(p[2], 33);
}

TEST(ConvertCartesianToPolar, AxisPointsExactAndQuadrants) {
    PolarOffsets = {};
    struct Case {
        double x, y, radius, angle;
    };
    const double r2 = std::sqrt(2.0);
    const Case cases[] = {
        {5, 0, 5, 0},   {-5, 0, 5, 180},  {0, 5, 5, 90},     {0, -5, 5, 270},
        {1, 1, r2, 45}, {-1, 1, r2, 135}, {-1, -1, r2, 225}, {1, -1, r2, 315},
    };
    for (const Case& c : cases) {
        const double in[5] = {c.x, c.y, 7, 8, 9};
        double out[5];
        ConvertCartesianToPolar(in, 0, out);
        EXPECT_NEAR(out[0], c.radius, 1e-14);
        EXPECT_NEAR(out[4], c.angle, 1e-12) << c.x << "," << c.y;
        EXPECT_EQ(out[1], 0.0);
        EXPECT_EQ(out[2], 7.0);
        EXPECT_EQ(out[3], 8.0);
    }
    PolarOffsets.angleOffset = 10;
    PolarOffsets.offsetSwitch = 1;
    PolarOffsets.radiusOffset = 2;
    PolarOffsets.zOffset = -1;
    const double in[5] = {0, 5, 7, 0, 0};
    double out[5];
    ConvertCartesianToPolar(in, 1, out);
    EXPECT_EQ(out[0], 7.0);
    EXPECT_EQ(out[4], 100.0);
    EXPECT_EQ(out[2], 6.0);
    ConvertCartesianToPolar(in, 0, out);
    EXPECT_EQ(out[0], 5.0);
    PolarOffsets = {};
}

TEST(RoundToInputIncrements, HalfAwayFromZeroAndSaturating) {
    struct Case {
        int increment;
        double value;
        int32_t expected;
    };
    const Case cases[] = {
        {1000, 0.0005, 1},
        {1000, -0.0005, -1},
        {1000, 0.0, 0},
        {1000, 0.0004, 0},
        {1000, -0.0004, 0},
        {1000, 12.3456, 12346},
        {100, 0.125, 13},
        {100, -0.125, -13},
        {10000, 1.0, 10000},
        {1000, 3e6, INT32_MAX},
        {1000, -3e6, INT32_MIN},
        {1000, 1e300, INT32_MAX},
        {1000, -HUGE_VAL, INT32_MIN},
        {1000, std::nan(""), 0},
        // The largest values that still fit.
        {1, 2147483646.6, INT32_MAX},
        {1, -2147483647.6, INT32_MIN},
    };
    for (const Case& c : cases) {
        InputIncrements.leastInputIncrement = c.increment;
        EXPECT_EQ(RoundToInputIncrements(c.value), c.expected) << c.value << " x " << c.increment;
    }
    InputIncrements = {};
}

TEST(BoxBounds, TransformedBoxAndTriangle) {
    const double min[3] = {0, 0, 0}, max[3] = {1, 2, 3}, shift[3] = {10, -1, 0.5};
    double lo[3], hi[3];
    TransformBoxBounds(min, max, shift, lo, hi);
    EXPECT_EQ(std::vector<double>(lo, lo + 3), (std::vector<double>{10, -1, 0.5}));
    EXPECT_EQ(std::vector<double>(hi, hi + 3), (std::vector<double>{11, 1, 3.5}));
    // A box given the wrong way round still gives ordered bounds.
    TransformBoxBounds(max, min, shift, lo, hi);
    EXPECT_EQ(std::vector<double>(lo, lo + 3), (std::vector<double>{10, -1, 0.5}));

    const double triangle[9] = {3, -1, 7, -2, 4, 7, 0, 0, -5};
    ComputeBoxBounds(triangle, lo, hi);
    EXPECT_EQ(std::vector<double>(lo, lo + 3), (std::vector<double>{-2, -1, -5}));
    EXPECT_EQ(std::vector<double>(hi, hi + 3), (std::vector<double>{3, 4, 7}));
}

TEST(OffsetPointAlongDirection, UnitDirectionAndZeroLength) {
    const double p0[3] = {1, 2, 3}, u[3] = {1, 0, 0}, v[3] = {0, 1, 0}, w[3] = {0, 0, 1};
    double out[3] = {-1, -1, -1};
    EXPECT_EQ(OffsetPointAlongDirection(p0, u, v, w, 5, 3, 4, 2, out), 1);
    EXPECT_NEAR(out[0], 4, 1e-15);
    EXPECT_NEAR(out[1], 6, 1e-15);
    EXPECT_EQ(out[2], 5);
    // a*u + b*v of length 0 leaves the output as the caller filled it.
    double kept[3] = {-1, -2, -3};
    EXPECT_EQ(OffsetPointAlongDirection(p0, u, v, w, 5, 0, 0, 2, kept), 0);
    EXPECT_EQ(OffsetPointAlongDirection(p0, u, u, w, 5, 1, -1, 2, kept), 0);
    EXPECT_EQ(kept[0], -1);
    EXPECT_EQ(kept[2], -3);
}

// Arc bounds start from the empty box unless a test says otherwise.
struct ArcBox {
    double min[3] = {1e12, 1e12, 1e12};
    double max[3] = {-1e12, -1e12, -1e12};
};

ArcBox ArcBounds(int u, int v, int direction, const double centre[3], double radius,
                 double startAngle, double sweep) {
    double start[3] = {centre[0], centre[1], centre[2]};
    double end[3] = {centre[0], centre[1], centre[2]};
    const double endAngle = direction == 2 ? startAngle - sweep : startAngle + sweep;
    start[u] += radius * std::cos(startAngle);
    start[v] += radius * std::sin(startAngle);
    end[u] += radius * std::cos(endAngle);
    end[v] += radius * std::sin(endAngle);
    ArcBox box;
    ExtendBoxByArc(u, v, 3 - u - v, direction, start, end, centre, radius, sweep, box.min, box.max);
    return box;
}

TEST(ExtendBoxByArc, QuadrantCases) {
    const double origin[3] = {0, 0, 0};
    const double q = M_PI / 2;
    struct Case {
        const char* name;
        int direction;
        double startAngle, sweep;
        double minU, maxU, minV, maxV;
    };
    const double s = 10 * std::sqrt(0.5);
    const Case cases[] = {
        {"quarter ccw", 3, 0, q, 0, 10, 0, 10},
        {"quarter cw", 2, q, q, 0, 10, 0, 10},
        {"three quarters cw", 2, 0, 3 * q, -10, 10, -10, 10},
        {"across 2 pi ccw", 3, 7 * q / 2, q, s, 10, -s, s},
        {"across 0 cw", 2, q / 2, q, s, 10, -s, s},
        {"full circle", 3, 0.3, 2 * M_PI, -10, 10, -10, 10},
        {"half ccw from pi", 3, M_PI, M_PI, -10, 10, -10, 0},
    };
    for (const Case& c : cases) {
        const ArcBox box = ArcBounds(0, 1, c.direction, origin, 10, c.startAngle, c.sweep);
        EXPECT_NEAR(box.min[0], c.minU, 1e-12) << c.name;
        EXPECT_NEAR(box.max[0], c.maxU, 1e-12) << c.name;
        EXPECT_NEAR(box.min[1], c.minV, 1e-12) << c.name;
        EXPECT_NEAR(box.max[1], c.maxV, 1e-12) << c.name;
    }
}

TEST(ExtendBoxByArc, WidensOnlyAndHandlesTheLinearAxis) {
    const double start[3] = {10, 0, 1}, end[3] = {0, 10, -4}, centre[3] = {0, 0, 0};
    double min[3] = {-50, 3, 0}, max[3] = {50, 4, 0};
    ExtendBoxByArc(0, 1, 2, 3, start, end, centre, 10, M_PI / 2, min, max);
    EXPECT_EQ(min[0], -50);  // already wider
    EXPECT_EQ(max[0], 50);
    EXPECT_EQ(min[1], 0);
    EXPECT_EQ(max[1], 10);
    EXPECT_EQ(min[2], -4);
    EXPECT_EQ(max[2], 1);
    // A start on the centre adds the start and end only; bad axes change nothing.
    ArcBox box;
    ExtendBoxByArc(0, 1, 2, 3, centre, end, centre, 10, 1.0, box.min, box.max);
    EXPECT_EQ(box.max[0], 0);
    EXPECT_EQ(box.max[1], 10);
    ArcBox untouched;
    ExtendBoxByArc(0, 3, 2, 3, start, end, centre, 10, 1.0, untouched.min, untouched.max);
    EXPECT_EQ(untouched.min[0], 1e12);
}

// Random arcs in every axis plane against densely sampled arc points: the box holds every
// point, and exceeds their bounds by no more than the quadrant tolerance allows.
TEST(ExtendBoxByArc, RandomArcsAgainstSampledPoints) {
    const unsigned seed = 2026;
    std::printf("random arcs, seed %u\n", seed);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    const int planes[3][2] = {{0, 1}, {2, 0}, {1, 2}};
    for (int trial = 0; trial < 3000; ++trial) {
        const int* plane = planes[trial % 3];
        const double centre[3] = {unit(rng) * 20 - 10, unit(rng) * 20 - 10, unit(rng) * 20 - 10};
        const double radius = 0.01 + unit(rng) * 50;
        const double startAngle = unit(rng) * 2 * M_PI;
        const double sweep = unit(rng) * 2 * M_PI * 0.995;
        const int direction = trial % 2 ? 2 : 3;
        const ArcBox box =
            ArcBounds(plane[0], plane[1], direction, centre, radius, startAngle, sweep);
        double lo[2] = {1e12, 1e12}, hi[2] = {-1e12, -1e12};
        for (int n = 0; n <= 4000; ++n) {
            const double t = startAngle + (direction == 2 ? -1 : 1) * sweep * n / 4000.0;
            const double p[2] = {centre[plane[0]] + radius * std::cos(t),
                                 centre[plane[1]] + radius * std::sin(t)};
            for (int a = 0; a < 2; ++a) {
                lo[a] = std::min(lo[a], p[a]);
                hi[a] = std::max(hi[a], p[a]);
            }
        }
        // Sampling misses at most r(1 - cos(step/2)); the tolerance adds r(1 - cos 0.01).
        const double slack = radius * (1 - std::cos(0.01)) + 1e-9;
        for (int a = 0; a < 2; ++a) {
            const int axis = plane[a];
            EXPECT_LE(box.min[axis], lo[a] + 1e-9) << "trial " << trial;
            EXPECT_GE(box.max[axis], hi[a] - 1e-9) << "trial " << trial;
            EXPECT_GE(box.min[axis], lo[a] - slack) << "trial " << trial;
            EXPECT_LE(box.max[axis], hi[a] + slack) << "trial " << trial;
        }
    }
}

}  // namespace
}  // namespace mirexa
