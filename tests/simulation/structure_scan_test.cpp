// The shared structure scans: model lists by kind, contact of triangles and segments with box
// models (touching counts), the symmetric facet test, and the sorted, culled scans against a
// plain test of every facet on random cases.
#include "simulation/structure_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "structure_test_support.h"

namespace mirexa {
namespace {

using testing::BoxMeshFacets;
using testing::BoxModel;
using testing::PreparedModel;
using testing::TriangleFacet;

int AnyBoxFacetHit(const MachineModel& model, const std::vector<StlFacet>& head) {
    for (const StlFacet& f : head) {
        ScanTriangle t;
        PrepareScanTriangle(f.values + 3, &t);
        if (TriangleHitsStructureModel(t, model)) {
            return 1;
        }
    }
    return 0;
}

TEST(StructureScan, BoxHeadAboveTouchingAndInsideABoxModel) {
    const double lo[3] = {0, 0, 0}, hi[3] = {100, 50, 30};
    const MachineModel vice = BoxModel(lo, hi);
    struct Case {
        double bottom;
        int hit;
    } cases[] = {{31.0, 0}, {30.0, 1}, {29.99, 1}, {30.0 + 1e-9, 0}};
    for (const Case& c : cases) {
        const double hlo[3] = {20, 10, c.bottom}, hhi[3] = {60, 40, c.bottom + 50};
        EXPECT_EQ(AnyBoxFacetHit(vice, BoxMeshFacets(hlo, hhi)), c.hit) << "bottom " << c.bottom;
    }
    // Beside the model, sharing only the face x = 100 over part of it.
    const double slo[3] = {100, 10, 5}, shi[3] = {120, 20, 25};
    EXPECT_EQ(AnyBoxFacetHit(vice, BoxMeshFacets(slo, shi)), 1);
    const double flo[3] = {101, 10, 5}, fhi[3] = {120, 20, 25};
    EXPECT_EQ(AnyBoxFacetHit(vice, BoxMeshFacets(flo, fhi)), 0);
}

TEST(StructureScan, VertexAndEdgeTouchesCount) {
    const double lo[3] = {0, 0, 0}, hi[3] = {100, 50, 30};
    const MachineModel box = BoxModel(lo, hi);
    ScanTriangle t;
    // One vertex on the box's corner, the rest outside.
    const double corner[9] = {100, 50, 30, 130, 60, 40, 110, 90, 35};
    PrepareScanTriangle(corner, &t);
    EXPECT_EQ(TriangleHitsStructureModel(t, box), 1);
    const double near[9] = {100.5, 50.5, 30.5, 130, 60, 40, 110, 90, 35};
    PrepareScanTriangle(near, &t);
    EXPECT_EQ(TriangleHitsStructureModel(t, box), 0);
    // A sloping triangle resting on the box's top edge at x = 100, z = 30 along its length.
    const double edge[9] = {100, -10, 30, 100, 60, 30, 130, 25, 0};
    PrepareScanTriangle(edge, &t);
    EXPECT_EQ(TriangleHitsStructureModel(t, box), 1);
    const double clear[9] = {100.01, -10, 30, 100.01, 60, 30, 130.01, 25, 0};
    PrepareScanTriangle(clear, &t);
    EXPECT_EQ(TriangleHitsStructureModel(t, box), 0);
}

TEST(StructureScan, SmallCornerThroughALargeTriangleIsFoundFromItsEdges) {
    // A jaw corner 1 mm square, 20 mm high, through a large flat head facet at z = 10.
    const double lo[3] = {0, 0, 0}, hi[3] = {1, 1, 20};
    const MachineModel jaw = BoxModel(lo, hi);
    const double big[9] = {-100, -100, 10, 100, -100, 10, 0, 100, 10};
    ScanTriangle t;
    PrepareScanTriangle(big, &t);
    int oneSided = 0;
    for (int f = 0; f < jaw.facetCount; ++f) {
        oneSided += IntersectTriangleFace(jaw.facets[f].values + 3, jaw.records[f], big);
    }
    EXPECT_EQ(oneSided, 0) << "the head's edges alone never reach the jaw";
    EXPECT_EQ(TriangleHitsStructureModel(t, jaw), 1);
}

TEST(StructureScan, SegmentsAgainstABoxModel) {
    const double lo[3] = {0, 0, 0}, hi[3] = {100, 50, 30};
    const MachineModel box = BoxModel(lo, hi);
    const double top[3] = {50, 25, 60};
    const double into[3] = {50, 25, 29.99}, onto[3] = {50, 25, 30}, above[3] = {50, 25, 31};
    EXPECT_EQ(SegmentHitsStructureModel(top, into, box), 1);
    EXPECT_EQ(SegmentHitsStructureModel(top, onto, box), 1);
    EXPECT_EQ(SegmentHitsStructureModel(top, above, box), 0);
    // A segment wholly inside the solid meets no facet: only surfaces are tested.
    const double a[3] = {10, 10, 10}, b[3] = {20, 20, 20};
    EXPECT_EQ(SegmentHitsStructureModel(a, b, box), 0);
    // A segment lying in the top face's plane is parallel to it.
    const double c[3] = {-10, 25, 30}, d[3] = {-1, 25, 30};
    EXPECT_EQ(SegmentHitsStructureModel(c, d, box), 0);
}

// Random triangles and segments against random meshes: the sorted, culled scan finds exactly
// what a plain test of every facet finds.
TEST(StructureScan, CulledScansAgreeWithEveryFacetTested) {
    const unsigned seed = 20240611;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coord(-20.0, 20.0);
    std::uniform_real_distribution<double> spread(-6.0, 6.0);
    int hits = 0, segmentHits = 0;
    for (int round = 0; round < 60; ++round) {
        std::vector<StlFacet> facets;
        for (int f = 0; f < 40; ++f) {
            const double c[3] = {coord(rng), coord(rng), coord(rng)};
            double v[9];
            for (int i = 0; i < 9; ++i) {
                v[i] = c[i % 3] + spread(rng);
            }
            facets.push_back(TriangleFacet(v));
        }
        const MachineModel model = PreparedModel(facets);
        for (int trial = 0; trial < 50; ++trial) {
            const double c[3] = {coord(rng), coord(rng), coord(rng)};
            double v[9];
            for (int i = 0; i < 9; ++i) {
                v[i] = c[i % 3] + spread(rng);
            }
            ScanTriangle t;
            PrepareScanTriangle(v, &t);
            int expected = 0;
            for (int f = 0; f < model.facetCount && !expected; ++f) {
                const double* w = model.facets[f].values + 3;
                expected = IntersectTriangleFace(w, model.records[f], v) > 0 ||
                           IntersectTriangleFace(v, t.record, w) > 0;
            }
            ASSERT_EQ(TriangleHitsStructureModel(t, model), expected) << round << "/" << trial;
            hits += expected;
            int expectedSegment = 0;
            for (int f = 0; f < model.facetCount && !expectedSegment; ++f) {
                expectedSegment =
                    SegmentHitsFacet(model.records[f], model.facets[f].values + 3, v, v + 3);
            }
            ASSERT_EQ(SegmentHitsStructureModel(v, v + 3, model), expectedSegment);
            segmentHits += expectedSegment;
        }
    }
    EXPECT_GT(hits, 100);
    EXPECT_GT(segmentHits, 20);
}

TEST(StructureScan, ListsHoldModelsWithFacetsAndEachBasicModelItsOwnFreeBox) {
    MachineStructureModels s;
    const double a[3] = {0, 0, 0}, b[3] = {10, 10, 10}, c[3] = {20, 0, 0}, d[3] = {30, 10, 10};
    s.vices.push_back(BoxModel(a, b));
    s.vices.push_back(MachineModel{});  // a vice file that held nothing
    s.vices.push_back(BoxModel(c, d));
    StructureModelList list;
    ASSERT_EQ(GatherStructureModels(s, kStructureVice, &list), 2);
    EXPECT_EQ(list.entries[1].model, &s.vices[2]);
    EXPECT_EQ(list.entries[0].freeMin, nullptr);
    EXPECT_EQ(GatherStructureModels(s, kStructureTable, &list), 0);
    EXPECT_EQ(GatherStructureModels(s, 17, &list), 0);

    // Two basic models: each with its own box.
    s.basics.push_back(BoxModel(a, b));
    s.basics.push_back(BoxModel(c, d));
    s.basicFreeBoxes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_EQ(GatherStructureModels(s, kStructureBasic, &list), 2);
    EXPECT_EQ(list.entries[0].freeMin[0], 1);
    EXPECT_EQ(list.entries[0].freeMax[0], 4);
    EXPECT_EQ(list.entries[1].freeMin[0], 7);
    EXPECT_EQ(list.entries[1].freeMax[2], 12);

    // One basic model: its regions with facets, sharing the model's box; the corner counters
    // are counts, never listed.
    s.basics.clear();
    s.basicFreeBoxes.clear();
    const double lo[3] = {-50, -50, -50}, hi[3] = {50, 50, 50};
    MachineModel whole = BoxModel(lo, hi);
    for (int k = 0; k < 3; ++k) {
        s.basicFreeMin[k] = -10;
        s.basicFreeMax[k] = 10;
    }
    BinFacetsByRegion(whole, s.basicFreeMin, s.basicFreeMax, &s.basicRegions, s.basicCornerCounts);
    int withFacets = 0, facets = 0;
    for (const MachineModel& r : s.basicRegions) {
        withFacets += r.facetCount > 0 ? 1 : 0;
    }
    ASSERT_EQ(GatherStructureModels(s, kStructureBasic, &list), withFacets);
    for (int i = 0; i < list.count; ++i) {
        EXPECT_EQ(list.entries[i].freeMin, s.basicFreeMin);
        EXPECT_EQ(list.entries[i].freeMax, s.basicFreeMax);
        EXPECT_FALSE(list.entries[i].model->records.empty());
        facets += list.entries[i].model->facetCount;
    }
    EXPECT_EQ(facets, 12);
}

TEST(StructureScan, StrictlyInsideExcludesTheBoundary) {
    const double lo[3] = {0, 0, 0}, hi[3] = {10, 10, 10};
    const double in[3] = {1, 1, 1}, out[3] = {9, 9, 9}, edge[3] = {9, 9, 10};
    EXPECT_EQ(BoxStrictlyInside(in, out, lo, hi), 1);
    EXPECT_EQ(BoxStrictlyInside(in, edge, lo, hi), 0);
    EXPECT_EQ(PointStrictlyInside(edge, lo, hi), 0);
    EXPECT_EQ(BoxesOverlap(edge, edge, lo, hi), 1);
    const double nan[3] = {1, std::nan(""), 1};
    EXPECT_EQ(BoxStrictlyInside(nan, nan, lo, hi), 0);
    EXPECT_EQ(BoxesOverlap(nan, nan, lo, hi), 0);
}

}  // namespace
}  // namespace mirexa
