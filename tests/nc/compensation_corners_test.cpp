// Corner geometry of the compensation: intersections checked against hand-worked points and, for
// seeded random elements, against the carriers themselves (a point must lie on both, and its
// parameters must give it back); tangent extensions against the tangent construction.
#include "nc/compensation_corners.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace mirexa {
namespace {

PathElement Line(double x0, double y0, double x1, double y1, double z0 = 0, double z1 = 0) {
    PathElement e;
    e.motionType = 1;
    e.start[0] = x0, e.start[1] = y0, e.start[2] = z0;
    e.end[0] = x1, e.end[1] = y1, e.end[2] = z1;
    return e;
}

// An arc about (cx, cy) with radius r from angle a0 over sweep (rad) in its direction.
PathElement Arc(int type, double cx, double cy, double r, double a0, double sweep) {
    PathElement e;
    e.motionType = type;
    e.centre[0] = cx, e.centre[1] = cy;
    e.radius = r;
    e.sweep = sweep;
    const double a1 = type == 3 ? a0 + sweep : a0 - sweep;
    e.start[0] = cx + r * std::cos(a0), e.start[1] = cy + r * std::sin(a0);
    e.end[0] = cx + r * std::cos(a1), e.end[1] = cy + r * std::sin(a1);
    return e;
}

// The point of an element at parameter t.
void PointAt(const PathElement& e, double t, double out[2]) {
    if (e.motionType <= 1) {
        out[0] = e.start[0] + t * (e.end[0] - e.start[0]);
        out[1] = e.start[1] + t * (e.end[1] - e.start[1]);
        return;
    }
    const double a0 = std::atan2(e.start[1] - e.centre[1], e.start[0] - e.centre[0]);
    const double a = e.motionType == 3 ? a0 + t * e.sweep : a0 - t * e.sweep;
    out[0] = e.centre[0] + std::fabs(e.radius) * std::cos(a);
    out[1] = e.centre[1] + std::fabs(e.radius) * std::sin(a);
}

TEST(CompensationCornersTest, LineLineParametersAndFailures) {
    PathIntersection x;
    int count = 0;
    // Offset lines of a square's inner corner: y = 5 from x 0..20, x = 15 from y 0..20.
    EXPECT_EQ(IntersectLineLine(Line(0, 5, 20, 5, 0, -4), Line(15, 0, 15, 20, 2, 2), &x, &count),
              kIntersectOk);
    EXPECT_EQ(count, 1);
    EXPECT_DOUBLE_EQ(x.point[0][0], 15.0);
    EXPECT_DOUBLE_EQ(x.point[0][1], 5.0);
    EXPECT_DOUBLE_EQ(x.parameter[0], 0.75);
    EXPECT_DOUBLE_EQ(x.parameter[1], 0.25);
    EXPECT_DOUBLE_EQ(x.point[0][2], -3.0);  // each element's own third axis
    EXPECT_DOUBLE_EQ(x.point[1][2], 2.0);
    // The carriers meet beyond the second element's end: the point is kept, the status says so.
    EXPECT_EQ(IntersectLineLine(Line(0, 5, 20, 5), Line(15, -10, 15, -7), &x, &count),
              kIntersectOutside);
    EXPECT_EQ(count, 1);
    EXPECT_DOUBLE_EQ(x.parameter[1], 5.0);
    EXPECT_EQ(IntersectLineLine(Line(0, 5, 20, 5), Line(0, 6, 20, 6), &x, &count), kIntersectNone);
    EXPECT_EQ(IntersectLineLine(Line(0, 5, 20, 5), Line(3, 3, 3, 3), &x, &count), kIntersectNone);
    EXPECT_EQ(count, 0);
}

TEST(CompensationCornersTest, LineAndArcInEitherOrder) {
    PathIntersection x[2];
    int count = 0;
    // A quarter arc about the origin, radius 5, counter-clockwise from 0 deg to 90 deg, crossed by
    // the line x = 3 at (3, 4).
    const PathElement arc = Arc(3, 0, 0, 5, 0, M_PI / 2);
    const PathElement line = Line(3, -10, 3, 10, 0, 20);
    ASSERT_EQ(IntersectPathElements(line, arc, x, &count), kIntersectOk);
    ASSERT_EQ(count, 1);  // (3, -4) lies outside the quarter
    EXPECT_NEAR(x[0].point[0][1], 4.0, 1e-12);
    EXPECT_NEAR(x[0].parameter[0], 0.7, 1e-12);
    EXPECT_NEAR(x[0].parameter[1], std::atan2(4.0, 3.0) / (M_PI / 2), 1e-12);
    EXPECT_NEAR(x[0].point[0][2], 14.0, 1e-12);
    // Swapped, the parameters and points follow the elements.
    ASSERT_EQ(IntersectPathElements(arc, line, x, &count), kIntersectOk);
    ASSERT_EQ(count, 1);
    EXPECT_NEAR(x[0].parameter[1], 0.7, 1e-12);
    EXPECT_NEAR(x[0].point[1][2], 14.0, 1e-12);
    EXPECT_NEAR(x[0].point[0][2], 0.0, 1e-12);
    // The same quarter run clockwise from 90 deg: the point is reached first from the other end.
    const PathElement back = Arc(2, 0, 0, 5, M_PI / 2, M_PI / 2);
    ASSERT_EQ(IntersectPathElements(line, back, x, &count), kIntersectOk);
    EXPECT_NEAR(x[0].parameter[1], 1.0 - std::atan2(4.0, 3.0) / (M_PI / 2), 1e-12);
    // A line crossing the full circle twice gives both points; one missing the circle none.
    const PathElement circle = Arc(3, 0, 0, 5, 0, 2 * M_PI);
    ASSERT_EQ(IntersectPathElements(line, circle, x, &count), kIntersectOk);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(IntersectPathElements(Line(6, -10, 6, 10), circle, x, &count), kIntersectNone);
    // The line stops short of the arc: the carriers meet, the elements do not.
    EXPECT_EQ(IntersectPathElements(Line(3, -10, 3, 0), arc, x, &count), kIntersectOutside);
    EXPECT_EQ(count, 0);
    // Zero radius and zero-length lines have no intersection.
    PathElement point = arc;
    point.radius = 0.0;
    EXPECT_EQ(IntersectPathElements(line, point, x, &count), kIntersectNone);
    EXPECT_EQ(IntersectPathElements(Line(3, 4, 3, 4), arc, x, &count), kIntersectNone);
}

TEST(CompensationCornersTest, ArcArcCandidatesInTheFirstArcsOrder) {
    PathIntersection x[2];
    int count = 0;
    // Circles of radius 5 about (0, 0) and (6, 0) cross at (3, 4) and (3, -4). A full clockwise
    // circle from 90 deg reaches (3, 4) first.
    const PathElement first = Arc(2, 0, 0, 5, M_PI / 2, 2 * M_PI);
    const PathElement second = Arc(3, 6, 0, 5, M_PI / 2, 2 * M_PI);
    ASSERT_EQ(IntersectArcArc(first, second, x, &count), kIntersectOk);
    ASSERT_EQ(count, 2);
    EXPECT_NEAR(x[0].point[0][1], 4.0, 1e-12);
    EXPECT_NEAR(x[1].point[0][1], -4.0, 1e-12);
    EXPECT_LT(x[0].parameter[0], x[1].parameter[0]);
    // Only the upper half of the second circle: one point.
    const PathElement upper = Arc(3, 6, 0, 5, 0, M_PI);
    ASSERT_EQ(IntersectArcArc(first, upper, x, &count), kIntersectOk);
    ASSERT_EQ(count, 1);
    EXPECT_NEAR(x[0].point[1][1], 4.0, 1e-12);
    EXPECT_EQ(IntersectArcArc(first, Arc(3, 0, 0, 3, 0, 1), x, &count), kIntersectNone);
    EXPECT_EQ(IntersectArcArc(first, Arc(3, 20, 0, 3, 0, 1), x, &count), kIntersectNone);
    EXPECT_EQ(IntersectArcArc(first, Arc(3, 1, 0, 1, 0, 1), x, &count), kIntersectNone);
}

TEST(CompensationCornersTest, RandomIntersectionsLieOnBothElements) {
    const unsigned seed = 1411;
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coordinate(-20.0, 20.0);
    std::uniform_real_distribution<double> angle(0.0, 2 * M_PI);
    int found = 0;
    for (int round = 0; round < 2000; ++round) {
        PathElement e[2];
        for (PathElement& element : e) {
            const int type = 1 + static_cast<int>(rng() % 3);
            element = type == 1
                          ? Line(coordinate(rng), coordinate(rng), coordinate(rng), coordinate(rng))
                          : Arc(type, coordinate(rng) / 2, coordinate(rng) / 2,
                                1.0 + std::fabs(coordinate(rng)) / 2, angle(rng), 0.1 + angle(rng));
        }
        PathIntersection x[2];
        int count = 0;
        const int status = IntersectPathElements(e[0], e[1], x, &count);
        if (status != kIntersectOk) {
            continue;
        }
        for (int k = 0; k < count; ++k) {
            for (int side = 0; side < 2; ++side) {
                SCOPED_TRACE(::testing::Message() << "round " << round << " side " << side);
                EXPECT_GE(x[k].parameter[side], -1e-9);
                EXPECT_LE(x[k].parameter[side], 1.0 + 1e-9);
                double p[2];
                PointAt(e[side], x[k].parameter[side], p);
                EXPECT_NEAR(p[0], x[k].point[side][0], 1e-7);
                EXPECT_NEAR(p[1], x[k].point[side][1], 1e-7);
            }
            ++found;
        }
    }
    EXPECT_GT(found, 300);
}

TEST(CompensationCornersTest, OuterCornersCloseAlongTheTangents) {
    double points[3][3];
    const double c[3] = {20, 0, 0};
    // A right turn of 90 deg with the tool 5 to the left (clockwise round the corner): from
    // (20, 5) to (25, 0), the tangent lines meet at (25, 5).
    const double s90[3] = {20, 5, 1}, e90[3] = {25, 0, 2};
    ASSERT_EQ(ExtendCompensationCorner(1, s90, e90, c, 5.0, points), 2);
    EXPECT_NEAR(points[0][0], 25.0, 1e-12);
    EXPECT_NEAR(points[0][1], 5.0, 1e-12);
    EXPECT_EQ(points[0][2], 1.0);
    EXPECT_EQ(points[1][0], 25.0);
    EXPECT_EQ(points[1][2], 2.0);
    // A turn of 60 deg: one point where the tangents meet, tan(30 deg) * 5 along the first.
    const double e60[3] = {20 + 5 * std::sin(M_PI / 3), 5 * std::cos(M_PI / 3), 0};
    ASSERT_EQ(ExtendCompensationCorner(1, s90, e60, c, 5.0, points), 2);
    EXPECT_NEAR(points[0][0], 20 + 5 * std::tan(M_PI / 6), 1e-12);
    EXPECT_NEAR(points[0][1], 5.0, 1e-12);
    // A turn of 120 deg: two points, each 5 along its tangent, then the end.
    const double e120[3] = {20 + 5 * std::sin(2 * M_PI / 3), 5 * std::cos(2 * M_PI / 3), 0};
    ASSERT_EQ(ExtendCompensationCorner(1, s90, e120, c, 5.0, points), 3);
    EXPECT_NEAR(points[0][0], 25.0, 1e-12);
    EXPECT_NEAR(points[0][1], 5.0, 1e-12);
    EXPECT_NEAR(std::hypot(points[1][0] - e120[0], points[1][1] - e120[1]), 5.0, 1e-12);
    EXPECT_EQ(points[2][0], e120[0]);
    // Counter-clockwise round the same corner mirrored in y.
    const double sm[3] = {20, -5, 0}, em[3] = {25, 0, 0};
    ASSERT_EQ(ExtendCompensationCorner(0, sm, em, c, 5.0, points), 2);
    EXPECT_NEAR(points[0][1], -5.0, 1e-12);
    // Ends that nearly meet need no extension.
    const double near[3] = {20.0002, 5.0002, 0};
    EXPECT_EQ(ExtendCompensationCorner(1, s90, near, c, 5.0, points), 1);
}

}  // namespace
}  // namespace mirexa
