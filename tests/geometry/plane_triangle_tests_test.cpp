// Facet planes, point-in-triangle codes, segment/facet intersections and the ray-end tests,
// against hand-worked cases and barycentric coordinates.
#include "geometry/plane_triangle_tests.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace mirexa {
namespace {

TEST(ComputePlaneFromThreePoints, NormalSignAndDegenerateFacets) {
    struct Case {
        double triangle[9];
        double plane[4];
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 1, 0, 1, 0, 0}, {0, 0, 1, 0}},
        {{0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 0, 1, 0}},
        {{5, 0, 0, 5, 0, 1, 5, 1, 0}, {1, 0, 0, -5}},  // normal (-1, 0, 0) flipped
        {{0, 2, 0, 1, 2, 0, 0, 2, 1}, {0, 1, 0, -2}},
        // Zero-area facets: collinear points, and a repeated point.
        {{0, 0, 0, 1, 1, 1, 2, 2, 2}, {0, 0, 0, 0}},
        {{3, 4, 5, 3, 4, 5, 0, 0, 1}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        double plane[4];
        ComputePlaneFromThreePoints(c.triangle, plane);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(plane[i], c.plane[i]) << "coefficient " << i;
        }
    }
    // A zero plane never meets a segment.
    const double zero[4] = {}, p0[3] = {0, 0, -1}, p1[3] = {0, 0, 1};
    const double facet[9] = {0, 0, 0, 1, 1, 1, 2, 2, 2};
    double hit[3];
    EXPECT_EQ(IntersectSegmentPlane(zero, facet, p0, p1, hit), 0);
    EXPECT_EQ(IntersectSegmentAxisPlane(zero, facet, 2, 0, 1, p0, p1, hit), 0);
}

TEST(TestPointInTriangle, Codes) {
    const double xy[9] = {0, 0, 0, 10, 0, 0, 0, 10, 0};
    const double yz[9] = {4, 0, 0, 4, 10, 0, 4, 0, 10};
    const double xz[9] = {0, -3, 0, 10, -3, 0, 0, -3, 10};
    struct Case {
        const double* triangle;
        double p[3];
        int code;
    };
    const Case cases[] = {
        {xy, {0.005, 0, 0}, 1},
        {xy, {10, 0.003, 0.004}, 1},
        {xy, {5, 0, 0}, 2},
        {xy, {5, 5, 0}, 2},
        {xy, {10 / 3.0, 10 / 3.0, 0}, 21},
        {xy, {1, 1, 0}, 21},
        {xy, {11, 11, 0}, 0},
        {xy, {-1, 5, 0}, 0},
        {yz, {4, 10 / 3.0, 10 / 3.0}, 22},
        {yz, {4, 8, 8}, 0},
        {xz, {10 / 3.0, -3, 10 / 3.0}, 23},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TestPointInTriangle(c.triangle, c.p), c.code)
            << c.p[0] << "," << c.p[1] << "," << c.p[2];
    }
    // In the plane of coordinates j, k.
    EXPECT_EQ(TestPointInTriangleOnAxis(yz, cases[8].p, 0, 1, 2), 21);
    EXPECT_EQ(TestPointInTriangleOnAxis(yz, cases[9].p, 0, 1, 2), 0);
    EXPECT_EQ(TestPointInTriangleOnAxis(xy, cases[2].p, 2, 0, 1), 2);
    EXPECT_EQ(TestPointInTriangleOnAxis(xy, cases[0].p, 2, 0, 1), 1);
    EXPECT_EQ(TestPointInTriangleOnAxis(xy, cases[4].p, 2, 3, 1), 0);
}

// Points well inside or well outside random triangles, classified by barycentric
// coordinates; both tests must agree, in 3-D and projected.
TEST(TestPointInTriangle, RandomPointsAgreeWithBarycentricCoordinates) {
    const unsigned seed = 77;
    std::printf("random triangles, seed %u\n", seed);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> value(-50, 50);
    int checked = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        double t[9];
        for (int n = 0; n < 3; ++n) {
            t[3 * n] = value(rng);
            t[3 * n + 1] = value(rng);
            t[3 * n + 2] = 7.5;
        }
        const double p[3] = {value(rng), value(rng), 7.5};
        const double det = (t[4] - t[7]) * (t[0] - t[6]) + (t[6] - t[3]) * (t[1] - t[7]);
        if (std::fabs(det) < 50) {
            continue;  // nearly degenerate
        }
        const double l0 = ((t[4] - t[7]) * (p[0] - t[6]) + (t[6] - t[3]) * (p[1] - t[7])) / det;
        const double l1 = ((t[7] - t[1]) * (p[0] - t[6]) + (t[0] - t[6]) * (p[1] - t[7])) / det;
        const double l2 = 1 - l0 - l1;
        const double margin = std::min({l0, l1, l2});
        if (std::fabs(margin) < 0.01) {
            continue;  // near an edge
        }
        const int expected = margin > 0 ? 21 : 0;
        EXPECT_EQ(TestPointInTriangle(t, p), expected) << "trial " << trial;
        EXPECT_EQ(TestPointInTriangleOnAxis(t, p, 2, 0, 1), expected) << "trial " << trial;
        ++checked;
    }
    EXPECT_GT(checked, 10000);
}

TEST(IntersectTriangleFace, AxisAndGeneralFacets) {
    const double facet[9] = {0, 0, 2, 10, 0, 2, 0, 10, 2};
    FacetRecord axis;
    axis.kind = 2;
    ComputePlaneFromThreePoints(facet, axis.plane);
    FacetRecord general = axis;
    general.kind = 3;
    struct Case {
        const char* name;
        double triangle[9];
        int result;
    };
    const Case cases[] = {
        {"edge through the facet", {1, 1, 0, 1, 1, 5, 3, 3, 5}, 1},
        {"third edge through it", {1, 1, 5, 9, 9, 5, 1, 1, 0}, 1},
        {"through the plane outside the facet", {8, 8, 0, 8, 8, 5, 9, 9, 5}, 0},
        {"below the plane", {1, 1, 0, 2, 1, 0, 1, 2, 1}, 0},
        {"edge ending on the plane", {1, 1, 0, 1, 1, 2, 3, 3, -1}, 1},
        {"parallel to the plane", {1, 1, 2, 2, 1, 2, 1, 2, 2}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IntersectTriangleFace(facet, axis, c.triangle), c.result) << c.name;
        EXPECT_EQ(IntersectTriangleFace(facet, general, c.triangle), c.result) << c.name;
    }
    FacetRecord unknown = axis;
    unknown.kind = 4;
    EXPECT_EQ(IntersectTriangleFace(facet, unknown, cases[0].triangle), 0);

    double hit[3];
    const double p0[3] = {1, 2, -2}, p1[3] = {1, 2, 6};
    EXPECT_EQ(IntersectSegmentPlane(general.plane, facet, p0, p1, hit), 1);
    EXPECT_EQ(hit[0], 1);
    EXPECT_EQ(hit[1], 2);
    EXPECT_EQ(hit[2], 2);
    hit[2] = 0;
    EXPECT_EQ(IntersectSegmentAxisPlane(axis.plane, facet, 2, 0, 1, p0, p1, hit), 1);
    EXPECT_EQ(hit[2], 2);
}

TEST(RayEndTests, InsideRadiusAndOutsideTolerance) {
    CuttingChecks = {};
    CuttingChecks.checkPoint[0] = 1;
    CuttingChecks.checkDirection[2] = 2;  // not unit: the distance must not depend on it
    CuttingChecks.checkRadiusSquared = 4;
    // Ray along Z at x = u, y = v: (i, j, k) = (0, 1, 2).
    struct Case {
        int i, j, k;
        double u, v;
        double w[2];
        uint8_t expected[2];
    };
    const Case cases[] = {
        {0, 1, 2, 2, 0, {-5, 5}, {0x41, 0x41}},  // distance 1 from the line
        {0, 1, 2, 3, 0, {0, 9}, {0x40, 0x40}},   // distance 2: not strictly inside
        {0, 1, 2, 1, 1.9, {0, 0}, {0x41, 0x41}},
        {1, 2, 0, 0, 0, {0.5, 4}, {0x41, 0x40}},    // ray along X at y = z = 0
        {1, 1, 0, 0, 0, {0.5, 0.5}, {0x40, 0x40}},  // not a permutation: unchanged
    };
    for (const Case& c : cases) {
        uint8_t out[2] = {0x40, 0x40};
        TestPointsInsideRadius(c.i, c.j, c.k, c.u, c.v, c.w, out);
        EXPECT_EQ(out[0], c.expected[0]) << c.u << "," << c.v;
        EXPECT_EQ(out[1], c.expected[1]) << c.u << "," << c.v;
    }
    // A zero direction measures from the check point.
    CuttingChecks.checkDirection[2] = 0;
    uint8_t out[2] = {0, 0x21};
    const double w[2] = {1, 3};
    TestPointsInsideRadius(0, 1, 2, 1, 0, w, out);
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[1], 0x21);

    CuttingChecks.penFlagByte = 0x50;
    CuttingChecks.axisFactors[2] = 1;
    CuttingChecks.axisFactors[0] = -0.5;
    CuttingChecks.axialConstant = -5;
    CuttingChecks.tolerance = 2;
    const double values[2] = {8, 6};
    uint8_t flags[2] = {0xFF, 0xFF};
    TestAxisOutsideTolerance(2, values, flags);
    EXPECT_EQ(flags[0], 0x51);  // |8 - 5| = 3 > 2
    EXPECT_EQ(flags[1], 0x50);  // |6 - 5| = 1
    const double exact[2] = {7, -6};
    TestAxisOutsideTolerance(0, exact, flags);
    EXPECT_EQ(flags[0], 0x51);  // |-3.5 - 5| > 2
    EXPECT_EQ(flags[1], 0x50);  // |3 - 5| = 2 is not above
    TestAxisOutsideTolerance(3, values, flags);
    EXPECT_EQ(flags[0], 0x50);
    CuttingChecks = {};
}

}  // namespace
}  // namespace mirexa
