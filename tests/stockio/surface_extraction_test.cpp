// Surface extraction: shapes with known volume, closure and normals through the mesh checker,
// the frame mapping, the orientation classes, caps, skipping, and the sparse and parallel walks
// against the plain serial walk, facet for facet.
#include "stockio/surface_extraction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "geometry/vector_math.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "support/mesh_checker.h"

namespace mirexa {
namespace {

struct Extracted {
    std::vector<MeshFacet> facets;
    MeshExtractionStats stats;
    std::int64_t result = 0;
};

Extracted Extract(const StockModel& model, int threads = 1, int plain = 0) {
    Extracted out;
    MeshExtractionOptions options;
    options.threads = threads;
    options.plainCellWalk = plain;
    out.result = ExtractStockMesh(model, CollectFacets(&out.facets), options, &out.stats);
    return out;
}

// Closed, consistent normals, no lost cell polygons, and balanced areas.
void ExpectSoundSurface(const Extracted& mesh, const char* what) {
    EXPECT_EQ(mesh.result, static_cast<std::int64_t>(mesh.facets.size())) << what;
    EXPECT_TRUE(SurfaceIsClosed(mesh.facets)) << what;
    EXPECT_TRUE(SurfaceIsConforming(mesh.facets)) << what;
    EXPECT_TRUE(NormalsAgreeWithVertexOrder(mesh.facets)) << what;
    EXPECT_EQ(mesh.stats.fallbackCells, 0) << what;
    EXPECT_EQ(mesh.stats.segmentOverflows, 0) << what;
    double area[3];
    SumAreaVectors(mesh.facets, area);
    const double scale = 1e-9 * SurfaceArea(mesh.facets);
    EXPECT_NEAR(area[0], 0.0, scale) << what;
    EXPECT_NEAR(area[1], 0.0, scale) << what;
    EXPECT_NEAR(area[2], 0.0, scale) << what;
}

// The material of [0, 10]^3 without an open box, as a closed union of five boxes (the rays on
// the walls stay full): a pocket (x, y in (2, 5), z above 7), a through hole, or a slot.
const std::vector<SolidBox> kPocket = {{{0, 0, 0}, {10, 10, 7}},
                                       {{0, 0, 0}, {2, 10, 10}},
                                       {{5, 0, 0}, {10, 10, 10}},
                                       {{0, 0, 0}, {10, 2, 10}},
                                       {{0, 5, 0}, {10, 10, 10}}};
const std::vector<SolidBox> kHole = {{{0, 0, 0}, {2, 10, 10}},
                                     {{5, 0, 0}, {10, 10, 10}},
                                     {{0, 0, 0}, {10, 2, 10}},
                                     {{0, 5, 0}, {10, 10, 10}}};
const std::vector<SolidBox> kStep = {{{0, 0, 0}, {10, 10, 5}}, {{0, 0, 0}, {5, 10, 10}}};
const std::vector<SolidBox> kSlot = {
    {{0, 0, 0}, {10, 10, 6}}, {{0, 0, 0}, {3, 10, 10}}, {{6, 0, 0}, {10, 10, 10}}};

TEST(SurfaceExtraction, UntouchedBoxIsTwelveOutwardFacets) {
    StockModel model;
    SetStockUndoRingSize(&model, 1);
    const double box[6] = {0, 0, 0, 20, 10, 5};
    ASSERT_EQ(CreateBoxStockIdentity(&model, box, 1.0), 1);
    const Extracted mesh = Extract(model);
    ASSERT_EQ(mesh.result, 12);
    EXPECT_EQ(mesh.stats.cellsVisited, 0);  // the box needs no cell
    ExpectSoundSurface(mesh, "box");
    EXPECT_DOUBLE_EQ(SignedVolume(mesh.facets), 1000.0);
    // Two facets per face, each with the face's outward unit normal given.
    int perAxis[6] = {};
    for (const MeshFacet& f : mesh.facets) {
        EXPECT_EQ(f.normalGiven, 1);
        for (int a = 0; a < 3; ++a) {
            if (f.normal[a] != 0.0) {
                ++perAxis[2 * a + (f.normal[a] > 0 ? 1 : 0)];
            }
        }
    }
    for (int face = 0; face < 6; ++face) {
        EXPECT_EQ(perAxis[face], 2) << "face " << face;
    }
    FreeStockModel(&model);
}

TEST(SurfaceExtraction, ConvexNodeAlignedShapesHaveTheirExactVolume) {
    // A box inside the grid (every face built from cells) and boxes on some grid faces.
    const std::vector<std::vector<SolidBox>> shapes = {
        {{{1, 1, 1}, {4, 4, 4}}}, {{{0, 1, 0}, {3, 4, 5}}}, {{{2, 0, 0}, {5, 5, 2}}}};
    for (const auto& boxes : shapes) {
        StockModel model;
        ASSERT_EQ(BuildBoxUnionStock(&model, 6, 6, 6, 1.0, boxes), 1);
        const Extracted mesh = Extract(model);
        ExpectSoundSurface(mesh, "convex");
        EXPECT_EQ(SignedVolume(mesh.facets), BoxUnionVolume(boxes));
        FreeStockModel(&model);
    }
}

TEST(SurfaceExtraction, ConcaveNodeEdgesAreChamferedByHalfACell) {
    // Where two node-plane faces meet in a concave edge along a node line (a pocket floor and
    // its wall, the corners of a hole, the inner corner of a step), the rays on both faces run
    // full through the edge, and the cell on the empty side only sees touches: the edge rules
    // join the touches diagonally across that cell. Each unit of such an edge adds a triangle
    // of pitch^2 / 2 to the volume; a straight edge from grid face to grid face adds exactly
    // that. Convex edges and the faces themselves stay exact.
    struct Case {
        const char* name;
        const std::vector<SolidBox>* boxes;
        double concaveLength;  // mm of concave node-line edges, none meeting another
    };
    const Case cases[] = {{"step", &kStep, 10}, {"hole", &kHole, 40}, {"slot", &kSlot, 20}};
    for (const Case& c : cases) {
        StockModel model;
        ASSERT_EQ(BuildBoxUnionStock(&model, 11, 11, 11, 1.0, *c.boxes), 1);
        const Extracted mesh = Extract(model);
        ExpectSoundSurface(mesh, c.name);
        EXPECT_EQ(SignedVolume(mesh.facets), BoxUnionVolume(*c.boxes) + 0.5 * c.concaveLength)
            << c.name;
        FreeStockModel(&model);
    }
}

TEST(SurfaceExtraction, FacesAHairOffTheNodesGiveClosedSurfaces) {
    // The same solids with every inner face moved a hair (far below a millionth of the pitch)
    // off its node plane: the rays crossing the face end a hair off the node, and the rays
    // along it run inside the material (faces moved outwards) or outside it (inwards). Every
    // family's crossing ends are read as on the node and the surface is closed. Outwards, the
    // node lines on the faces hold material as in the node-aligned solid and the surface is the
    // node-aligned one, concave chamfers included; inwards, the rays along the faces are empty,
    // the cells on the empty side see no touches, and the concave edges come out sharp.
    for (double hair : {1e-9, -1e-9}) {
        for (const std::vector<SolidBox>* solid : {&kStep, &kHole, &kSlot, &kPocket}) {
            std::vector<SolidBox> moved = *solid;
            for (SolidBox& box : moved) {
                for (int a = 0; a < 3; ++a) {
                    box.min[a] -= box.min[a] > 0.0 ? hair : 0.0;
                    box.max[a] += box.max[a] < 10.0 ? hair : 0.0;
                }
            }
            StockModel exact;
            StockModel near;
            ASSERT_EQ(BuildBoxUnionStock(&exact, 11, 11, 11, 1.0, *solid), 1);
            ASSERT_EQ(BuildBoxUnionStock(&near, 11, 11, 11, 1.0, moved), 1);
            const Extracted want = Extract(exact);
            const Extracted got = Extract(near);
            ExpectSoundSurface(got, "moved by a hair");
            if (hair > 0.0) {
                EXPECT_TRUE(SameFacets(got.facets, want.facets));
            } else {
                EXPECT_NEAR(SignedVolume(got.facets), BoxUnionVolume(*solid), 1e-9);
            }
            FreeStockModel(&exact);
            FreeStockModel(&near);
        }
    }
}

TEST(SurfaceExtraction, NodeAlignedPocketIsClosedAndWithinItsChamfers) {
    // The pocket [2, 5]^2 x [7, 10]: 973 mm^3 of material. Its 24 mm of concave edges meet in
    // four corners, where the chamfers overlap, so the volume lies between the exact one and
    // the exact one plus a half cell per unit of concave edge.
    StockModel model;
    ASSERT_EQ(BuildBoxUnionStock(&model, 11, 11, 11, 1.0, kPocket), 1);
    const Extracted mesh = Extract(model);
    ExpectSoundSurface(mesh, "pocket");
    const double volume = SignedVolume(mesh.facets);
    EXPECT_EQ(BoxUnionVolume(kPocket), 973.0);
    EXPECT_GT(volume, 973.0);
    EXPECT_LE(volume, 973.0 + 0.5 * 24);
    // The top face splits into four rectangles around the pocket. Each takes a vertex wherever
    // the pocket's walls or another rectangle meet its sides, and is cut into a fan from a
    // corner: 6 + 5 + 5 + 4 facets. The x and y faces take the corners of the top rectangles
    // on their top edges (3, 3, 4 and 2 facets), the bottom its 2.
    EXPECT_EQ(mesh.stats.capFacets, 34);
    FreeStockModel(&model);
}

TEST(SurfaceExtraction, WallsBetweenNodesMeetAtSharpEdges) {
    // Faces between nodes meet at sharp edges where the two rays beyond each face end on it:
    // only the corners, where three such faces meet inside one cell, and the edges within two
    // cells of them come out chamfered, a small share of the chamfer of every edge (surface
    // area * pitch / 2).
    for (double pitch : {1.0, 0.5, 0.25}) {
        const std::vector<SolidBox> boxes = {{{0.3, 0.3, 0.3}, {3.7, 3.7, 3.7}}};
        const int n = static_cast<int>(4.0 / pitch) + 1;
        StockModel model;
        ASSERT_EQ(BuildBoxUnionStock(&model, n, n, n, pitch, boxes), 1);
        const Extracted mesh = Extract(model);
        ExpectSoundSurface(mesh, "off-grid box");
        const double error = std::fabs(SignedVolume(mesh.facets) - BoxUnionVolume(boxes));
        EXPECT_LE(error, SurfaceArea(mesh.facets) * pitch / 50) << "pitch " << pitch;
        EXPECT_GT(error, 0.0) << "pitch " << pitch;
        FreeStockModel(&model);
    }
}

// Random unions of 1 to 3 boxes inside a 15-node grid. On nodes: corners on a lattice of 4 pitches,
// and boxes that touch must overlap (a contact in a face, edge or point only is not a solid the
// rays can describe). Off nodes: corners at a quarter to three quarters of a pitch from the
// lattice, so that distinct faces are at least 2.5 pitches apart.
std::vector<SolidBox> RandomUnion(std::mt19937* rng, bool onNodes) {
    for (;;) {
        std::vector<SolidBox> boxes;
        const int count = std::uniform_int_distribution<int>(1, 3)(*rng);
        for (int b = 0; b < count; ++b) {
            SolidBox box;
            for (int a = 0; a < 3; ++a) {
                int p = std::uniform_int_distribution<int>(0, 3)(*rng);
                int q = std::uniform_int_distribution<int>(0, 3)(*rng);
                if (p > q) {
                    std::swap(p, q);
                }
                if (p == q) {
                    (q < 3 ? q : p) += q < 3 ? 1 : -1;
                }
                const double fraction = onNodes ? 0.0 : 0.25;
                box.min[a] = 1 + 4 * p + fraction * std::uniform_int_distribution<int>(1, 3)(*rng);
                box.max[a] = 1 + 4 * q + fraction * std::uniform_int_distribution<int>(1, 3)(*rng);
            }
            boxes.push_back(box);
        }
        bool contactOnly = false;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            for (std::size_t j = i + 1; j < boxes.size(); ++j) {
                bool touch = true, overlap = true;
                for (int a = 0; a < 3; ++a) {
                    touch = touch && boxes[i].min[a] <= boxes[j].max[a] &&
                            boxes[j].min[a] <= boxes[i].max[a];
                    overlap = overlap && boxes[i].min[a] < boxes[j].max[a] &&
                              boxes[j].min[a] < boxes[i].max[a];
                }
                contactOnly = contactOnly || (touch && !overlap);
            }
        }
        if (!(onNodes && contactOnly)) {
            return boxes;
        }
    }
}

// The summed length of the boxes' edges: every concave edge of a union lies on one of them.
double EdgeLength(const std::vector<SolidBox>& boxes) {
    double length = 0.0;
    for (const SolidBox& box : boxes) {
        for (int a = 0; a < 3; ++a) {
            length += 4 * (box.max[a] - box.min[a]);
        }
    }
    return length;
}

TEST(SurfaceExtraction, RandomUnionsOfBoxesAreClosedAndNearTheirVolume) {
    const unsigned seed = 20240611;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    for (int trial = 0; trial < 120; ++trial) {
        const bool onNodes = trial % 2 == 0;
        const std::vector<SolidBox> boxes = RandomUnion(&rng, onNodes);
        StockModel model;
        ASSERT_EQ(BuildBoxUnionStock(&model, 15, 15, 15, 1.0, boxes), 1);
        const Extracted mesh = Extract(model);
        const std::string what = "trial " + std::to_string(trial);
        ExpectSoundSurface(mesh, what.c_str());
        const double volume = SignedVolume(mesh.facets);
        const double exact = BoxUnionVolume(boxes);
        if (onNodes) {
            // Exact but for the half-cell chamfers of concave edges, which only add material.
            EXPECT_GE(volume, exact) << what;
            EXPECT_LE(volume, exact + 0.5 * EdgeLength(boxes)) << what;
        } else {
            EXPECT_LE(std::fabs(volume - exact), SurfaceArea(mesh.facets) / 2) << what;
        }
        FreeStockModel(&model);
    }
}

TEST(SurfaceExtraction, SparseAndParallelWalksWriteThePlainWalksFacets) {
    const unsigned seed = 77;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    std::vector<std::vector<SolidBox>> shapes = {kPocket, kHole};
    for (int i = 0; i < 16; ++i) {
        shapes.push_back(RandomUnion(&rng, i % 2 == 0));
    }
    // A ray with more ends than fit inline, and painted ends.
    shapes.push_back({{{1, 1, 1}, {3, 9, 9}},
                      {{4.5, 1, 1}, {6, 9, 9}},
                      {{7, 1, 1}, {8.5, 9, 9}},
                      {{9.25, 1, 1}, {10, 9, 9}},
                      {{11, 1, 1}, {13, 9, 9}}});
    for (std::size_t s = 0; s < shapes.size(); ++s) {
        StockModel model;
        ASSERT_EQ(BuildBoxUnionStock(&model, 15, 16, 17, 1.0, shapes[s], 0x31), 1);
        const Extracted plain = Extract(model, 1, 1);
        EXPECT_GT(plain.facets.size(), 12u);
        for (int threads : {1, 2, 3, 5}) {
            const Extracted fast = Extract(model, threads, 0);
            EXPECT_TRUE(SameFacets(fast.facets, plain.facets))
                << "shape " << s << " threads " << threads;
            EXPECT_EQ(fast.result, plain.result);
            EXPECT_LE(fast.stats.cellsVisited, plain.stats.cellsVisited);
        }
        EXPECT_TRUE(SameFacets(Extract(model, 3, 1).facets, plain.facets)) << "shape " << s;
        FreeStockModel(&model);
    }
    // A grid long in y, so that its slabs are cut into several bands of rows, with material on
    // every face of the grid and walls across the band borders.
    StockModel model;
    const std::vector<SolidBox> boxes = {{{0, 0, 0}, {9, 80, 3}},
                                         {{2.5, 0, 0}, {6.5, 30.5, 8}},
                                         {{0, 34, 0}, {9, 64, 8}},
                                         {{1.5, 67.5, 0}, {9, 80, 8}}};
    ASSERT_EQ(BuildBoxUnionStock(&model, 10, 81, 9, 1.0, boxes), 1);
    const Extracted plain = Extract(model, 1, 1);
    ExpectSoundSurface(plain, "long grid");
    for (int threads : {1, 3}) {
        EXPECT_TRUE(SameFacets(Extract(model, threads, 0).facets, plain.facets)) << threads;
    }
    FreeStockModel(&model);
}

TEST(SurfaceExtraction, FansKeepEveryPointOfTheirLoop) {
    // Loops in the plane z = 0 with points on a line along their sides. A fan whose triangle
    // has zero area would lose the points its edges pass through (the writers leave it out).
    struct Case {
        const char* name;
        std::vector<std::array<double, 2>> loop;
        std::size_t facets;
    };
    const Case cases[] = {
        {"first triangle flat", {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {0, 1}}, 3},
        {"a point on every side",
         {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}},
         6},
        {"two points on every side: around the centroid",
         {{0, 0},
          {1, 0},
          {2, 0},
          {3, 0},
          {3, 1},
          {3, 2},
          {3, 3},
          {2, 3},
          {1, 3},
          {0, 3},
          {0, 2},
          {0, 1}},
         12},
    };
    for (const Case& c : cases) {
        std::vector<std::array<double, 3>> points;
        for (const auto& p : c.loop) {
            points.push_back({p[0], p[1], 0.0});
        }
        std::vector<const double*> loop;
        for (const auto& p : points) {
            loop.push_back(p.data());
        }
        std::vector<MeshFacet> facets;
        const MeshTransform identity;
        EXPECT_EQ(EmitMeshFan(identity, loop.data(), static_cast<int>(loop.size()),
                              CollectFacets(&facets)),
                  static_cast<std::int64_t>(c.facets))
            << c.name;
        ASSERT_EQ(facets.size(), c.facets) << c.name;  // none of zero area
        // The edges that no other edge of the fan cancels are exactly the loop's edges.
        using Point = std::array<double, 3>;
        std::map<std::pair<Point, Point>, int> net;
        for (const MeshFacet& f : facets) {
            for (int e = 0; e < 3; ++e) {
                const Point u = {f.vertices[e][0], f.vertices[e][1], f.vertices[e][2]};
                const int n = (e + 1) % 3;
                const Point v = {f.vertices[n][0], f.vertices[n][1], f.vertices[n][2]};
                ++net[{u, v}];
                --net[{v, u}];
            }
        }
        std::map<std::pair<Point, Point>, int> expected;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const Point& u = points[i];
            const Point& v = points[(i + 1) % points.size()];
            expected[{u, v}] = 1;
            expected[{v, u}] = -1;
        }
        std::erase_if(net, [](const auto& entry) { return entry.second == 0; });
        EXPECT_EQ(net, expected) << c.name;
    }
}

TEST(SurfaceExtraction, CellsWithOnlyFullOrEmptyEdgesGiveNothing) {
    StockModel model;
    ASSERT_EQ(BuildBoxUnionStock(&model, 8, 8, 8, 1.0, {{{0, 0, 0}, {7, 7, 3.5}}}), 1);
    StockCapMarks marks;
    int flags[6];
    CellSegmentList segments;
    EXPECT_EQ(AnalyseStockCell(model, marks, 3, 3, 1, 0, flags, &segments), 0);  // all full
    EXPECT_EQ(segments.count, 0);
    EXPECT_EQ(AnalyseStockCell(model, marks, 3, 3, 5, 0, flags, &segments), 0);  // all empty
    EXPECT_EQ(segments.count, 0);
    EXPECT_EQ(AnalyseStockCell(model, marks, 3, 3, 3, 0, flags, &segments), 1);  // the top
    // The sparse walk only visits cells with an end on an edge: the top layer, the sides and
    // the bottom, not the full interior.
    const Extracted sparse = Extract(model);
    const Extracted plain = Extract(model, 1, 1);
    EXPECT_LT(sparse.stats.cellsVisited, plain.stats.cellsVisited);
    FreeStockModel(&model);
}

TEST(SurfaceExtraction, UnclosableCrossingChainsAreClosedByTheFallback) {
    // Crossing segments P -> Q and Q -> R that no other segment closes (read reversed by the
    // cell loops), and edge segments alone, which the neighbour cells build.
    const double p[3] = {0, 0, 0}, q[3] = {1, 0, 0}, r[3] = {1, 1, 0}, t[3] = {0, 1, 1};
    auto segment = [](const double* from, const double* to, int id) {
        CellFaceSegment s;
        std::copy(from, from + 3, s.from);
        std::copy(to, to + 3, s.to);
        s.id = id;
        return s;
    };
    struct Case {
        const char* what;
        std::vector<CellFaceSegment> segments;
        std::int64_t facets;
        std::int64_t fallbacks;
        std::int64_t leftovers;
    };
    const Case cases[] = {
        {"open crossing chain", {segment(p, q, 12), segment(q, r, 14), segment(r, t, 3)}, 1, 1, 0},
        {"edge segments alone", {segment(p, q, 2), segment(q, r, 4), segment(r, t, 3)}, 0, 0, 1},
        {"closed crossing loop",
         {segment(p, q, 12), segment(q, r, 14), segment(r, p, 10)},
         1,
         0,
         0},
    };
    const int noFlags[6] = {};
    for (const Case& c : cases) {
        CellSegmentList list;
        for (const CellFaceSegment& s : c.segments) {
            AppendCellSegment(&list, s);
        }
        std::vector<MeshFacet> facets;
        MeshExtractionStats stats;
        const MeshTransform identity;
        EXPECT_EQ(EmitDexelFaceTriangles(identity, noFlags, list, CollectFacets(&facets), &stats),
                  c.facets)
            << c.what;
        EXPECT_EQ(stats.fallbackCells, c.fallbacks) << c.what;
        EXPECT_EQ(stats.leftoverEdgeChains, c.leftovers) << c.what;
    }
}

// --- Placement ------------------------------------------------------------------------------

TEST(SurfaceExtraction, FrameMapsVerticesAsThePlacementDoes) {
    StockModel model;
    const std::vector<SolidBox> step = {{{0, 0, 0}, {7, 6, 2}}, {{0, 0, 0}, {3.5, 6, 5}}};
    ASSERT_EQ(BuildBoxUnionStock(&model, 8, 7, 6, 1.0, step), 1);
    const Extracted grid = Extract(model);
    ExpectSoundSurface(grid, "grid");
    // A quarter turn about z followed by a half turn about x, and an offset; then a mirror.
    const StockFrame frames[2] = {{{0, 1, 0, 1, 0, 0, 0, 0, -1, 10, -20, 5.5}},
                                  {{-1, 0, 0, 0, 1, 0, 0, 0, 1, 3, 0, 0}}};
    for (const StockFrame& frame : frames) {
        model.frame = frame;
        const Extracted placed = Extract(model);
        ExpectSoundSurface(placed, "placed");
        ASSERT_EQ(placed.facets.size(), grid.facets.size());
        EXPECT_DOUBLE_EQ(SignedVolume(placed.facets), SignedVolume(grid.facets));
        const bool mirror = frame.values[0] == -1;
        for (std::size_t i = 0; i < grid.facets.size(); ++i) {
            for (int v = 0; v < 3; ++v) {
                // A mirror reverses the vertex order, so vertices 1 and 2 trade places.
                const int source = mirror && v > 0 ? 3 - v : v;
                double expected[3];
                TransformPoint(frame.values, grid.facets[i].vertices[source], expected);
                for (int k = 0; k < 3; ++k) {
                    ASSERT_EQ(placed.facets[i].vertices[v][k], expected[k]) << "facet " << i;
                }
            }
        }
    }
    FreeStockModel(&model);
}

TEST(SurfaceExtraction, OrientationClassesOfTheTurns) {
    // The 24 turns that map axes onto axes are 24 distinct classes of 1-8, 11-18 and 21-28; the
    // identity alone is class 1; the mirrors are none of them.
    std::vector<int> seen;
    const int permutations[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                    {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (const auto& p : permutations) {
        for (int signs = 0; signs < 8; ++signs) {
            StockFrame frame;
            for (int row = 0; row < 3; ++row) {
                frame.values[3 * row + p[row]] = (signs >> row) & 1 ? -1.0 : 1.0;
            }
            const double* m = frame.values;
            const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) -
                               m[1] * (m[3] * m[8] - m[5] * m[6]) +
                               m[2] * (m[3] * m[7] - m[4] * m[6]);
            const int orientation = ClassifyStockOrientation(frame);
            if (det > 0) {
                EXPECT_TRUE((orientation >= 1 && orientation <= 8) ||
                            (orientation >= 11 && orientation <= 18) ||
                            (orientation >= 21 && orientation <= 28))
                    << orientation;
                EXPECT_EQ(std::count(seen.begin(), seen.end(), orientation), 0) << orientation;
                seen.push_back(orientation);
                EXPECT_EQ(orientation == 1, signs == 0 && p[0] == 0 && p[1] == 1);
            } else {
                EXPECT_TRUE(orientation == 101 || orientation == 103 || orientation == 0)
                    << orientation;
            }
        }
    }
    EXPECT_EQ(seen.size(), 24u);
    EXPECT_EQ(ClassifyStockOrientation({{0, 1, 0, -1, 0, 0, 0, 0, 1}}), 2);
    EXPECT_EQ(ClassifyStockOrientation({{0, 0, 1, 1, 0, 0, 0, 1, 0}}), 14);
    EXPECT_EQ(ClassifyStockOrientation({{0, 1, 0, 0, 0, -1, -1, 0, 0}}), 26);
    EXPECT_EQ(ClassifyStockOrientation({{1, 0.5, 0, 0, 0.8, 0.6, 0, -0.6, 0.8}}), 101);
}

// --- Failures -------------------------------------------------------------------------------

struct FailingSink {
    int left = 0;
    static int Write(void* context, const MeshFacet&) {
        auto* sink = static_cast<FailingSink*>(context);
        return sink->left-- > 0 ? 1 : -7;
    }
};

TEST(SurfaceExtraction, WriteFailuresStopTheExtraction) {
    StockModel model;
    ASSERT_EQ(BuildBoxUnionStock(&model, 11, 11, 11, 1.0, kPocket), 1);
    for (int threads : {1, 3}) {
        for (int left : {5, 40}) {  // during the caps, during the cells
            FailingSink failing{left};
            MeshExtractionOptions options;
            options.threads = threads;
            EXPECT_EQ(ExtractStockMesh(model, {FailingSink::Write, &failing}, options), -7);
        }
    }
    StockModel empty;
    std::vector<MeshFacet> facets;
    EXPECT_EQ(ExtractStockMesh(empty, CollectFacets(&facets)), kMeshExtractionNoModel);
    EXPECT_TRUE(facets.empty());
    FreeStockModel(&model);
}

}  // namespace
}  // namespace mirexa
