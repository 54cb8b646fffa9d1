// Random cuts with flat, ball, bull and tilted tools, saved as STL through the stock saving and
// meshed by the view: every surface must be closed and hold the volume the rays hold.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "cutting_test_support.h"
#include "nc/nc_session.h"
#include "simulation/cutting_core.h"
#include "stock/stock_grid.h"
#include "stockio/stock_saving.h"
#include "stockio/surface_extraction.h"
#include "support/mesh_checker.h"
#include "support/sanitized_build.h"
#include "support/scratch_directory.h"
#include "support/test_cutting_run.h"
#include "view/camera.h"
#include "view/stock_display.h"

namespace mirexa {
namespace {

using testing::BuildBoxStock;

// One straight move of the tool tip at a constant height (mm).
struct RandomMove {
    double from[3] = {};
    double to[2] = {};
};

// Random straight cuts of one tool: the tool, its axis, one to three moves and their step.
struct RandomCut {
    int tool = {};  // 0 flat, 1 ball, 2 bull
    double diameter = {};
    double axis[3] = {0, 0, 1};
    std::vector<RandomMove> moves;
    double step = {};
    double pitch = {};
    double box[6] = {};
};

// A coordinate on the grid's node line k (exactly as the grid computes it) or anywhere.
double Coordinate(std::mt19937& random, double origin, double pitch, int nodes, bool onNode) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (onNode) {
        const int k = 1 + static_cast<int>(unit(random) * (nodes - 2));
        return k * pitch + origin;
    }
    return origin + unit(random) * (nodes - 1) * pitch;
}

RandomCut MakeCut(std::mt19937& random) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    RandomCut cut;
    static const double kPitches[] = {0.05, 0.1, 0.125, 0.2, 0.25, 0.5, 1.0};
    cut.pitch = kPitches[random() % 7];
    const int nodes[3] = {31 + static_cast<int>(random() % 10),
                          31 + static_cast<int>(random() % 10),
                          21 + static_cast<int>(random() % 6)};
    for (int a = 0; a < 3; ++a) {
        cut.box[a] = 0.0;
        cut.box[3 + a] = (nodes[a] - 1) * cut.pitch;
    }
    cut.tool = static_cast<int>(random() % 3);
    cut.diameter = cut.box[3] * (0.2 + 0.3 * unit(random));
    if (random() % 3 == 0) {  // tilted up to 30 degrees
        const double tilt = unit(random) * 0.5;
        const double turn = unit(random) * 6.283185307179586;
        cut.axis[0] = std::sin(tilt) * std::cos(turn);
        cut.axis[1] = std::sin(tilt) * std::sin(turn);
        cut.axis[2] = std::cos(tilt);
    }
    const int moves = 1 + static_cast<int>(random() % 3);
    for (int m = 0; m < moves; ++m) {
        RandomMove move;
        const bool onNode = random() % 2 == 0;  // the tip's path on node lines
        for (int a = 0; a < 2; ++a) {
            move.from[a] = Coordinate(random, 0.0, cut.pitch, nodes[a], onNode);
            move.to[a] = Coordinate(random, 0.0, cut.pitch, nodes[a], onNode);
        }
        // The tip below the top by up to half the stock's height, on a node plane or anywhere.
        const double depth = cut.box[5] * (0.1 + 0.4 * unit(random));
        move.from[2] =
            onNode ? std::round((cut.box[5] - depth) / cut.pitch) * cut.pitch : cut.box[5] - depth;
        cut.moves.push_back(move);
    }
    cut.step = cut.pitch * (0.1 + 0.9 * unit(random));
    return cut;
}

std::string Describe(const RandomCut& cut) {
    static const char* kTools[] = {"flat", "ball", "bull"};
    char text[200];
    std::snprintf(text, sizeof text, "%s D%.4g axis (%.3f %.3f %.3f) step %.4g pitch %.4g",
                  kTools[cut.tool], cut.diameter, cut.axis[0], cut.axis[1], cut.axis[2], cut.step,
                  cut.pitch);
    std::string all = text;
    for (const RandomMove& m : cut.moves) {
        std::snprintf(text, sizeof text, "; (%.17g %.17g %.17g) to (%.17g %.17g)", m.from[0],
                      m.from[1], m.from[2], m.to[0], m.to[1]);
        all += text;
    }
    return all;
}

void MakeMoves(StockModel* model, const RandomCut& cut) {
    TestRun.cutting.cutter = cut.tool == 0   ? testing::FlatTool(cut.diameter)
                             : cut.tool == 1 ? testing::BallTool(cut.diameter)
                                             : testing::BullTool(cut.diameter, cut.diameter / 4.0);
    for (const RandomMove& m : cut.moves) {
        const double length = std::hypot(m.to[0] - m.from[0], m.to[1] - m.from[1]);
        const int steps = std::max(1, static_cast<int>(std::ceil(length / cut.step)));
        for (int i = 0; i <= steps; ++i) {
            const double t = static_cast<double>(i) / steps;
            const double p[3] = {m.from[0] + t * (m.to[0] - m.from[0]),
                                 m.from[1] + t * (m.to[1] - m.from[1]), m.from[2]};
            CutStockAtToolPose(TestRun.cutting, RunSession, model, p, cut.axis, testing::CutMark);
        }
    }
}

// The rays' volume: the mean of the three families' material.
double DexelVolume(const StockModel& model) {
    return (testing::FamilyMaterial(model, 0) + testing::FamilyMaterial(model, 1) +
            testing::FamilyMaterial(model, 2)) /
           3.0;
}

// Meshes the node ranges [low, high] of the model into facets in mm (rectangles as their two
// triangles), as the view meshes a block.
std::vector<MeshFacet> ViewRange(DexelMeshBuffers* buffers, const int low[3], const int high[3]) {
    std::vector<MeshFacet> facets;
    DexelMeshOutput output;
    output.context = &facets;
    output.primitive = [](void* context, const DexelMeshPrimitive& p) {
        for (int t = 0; t + 2 < p.vertexCount; t += 3) {
            MeshFacet f;
            for (int v = 0; v < 3; ++v) {
                for (int k = 0; k < 3; ++k) {
                    f.vertices[v][k] = p.vertices[t + v][k] * DisplayUnitFactor;  // back to mm
                }
            }
            static_cast<std::vector<MeshFacet>*>(context)->push_back(f);
        }
    };
    TriangulateDexelCells(buffers, 0, low[0], high[0], low[1], high[1], low[2], high[2], 1, output);
    return facets;
}

// The view's surface of the whole grid meshed as one range.
std::vector<MeshFacet> ViewSurface(const StockModel& model) {
    DexelMeshBuffers buffers;
    if (!PrepareDexelMeshBuffers(model, &buffers)) {
        ADD_FAILURE() << "no mesh buffers";
        return {};
    }
    const int low[3] = {0, 0, 0};
    const int high[3] = {model.nx - 1, model.ny - 1, model.nz - 1};
    std::vector<MeshFacet> facets = ViewRange(&buffers, low, high);
    FreeDexelMeshBuffers(&buffers);
    return facets;
}

// Re-meshes the display blocks of the model that are marked dirty (every block when `all`)
// into their places in `blocks`, as the view does after a cut, and clears their marks.
void MeshDirtyBlocks(StockModel* model, bool all, std::vector<std::vector<MeshFacet>>* blocks) {
    StockDisplayBlocks& b = model->blocks;
    ASSERT_GT(b.count, 1);
    blocks->resize(static_cast<std::size_t>(b.count));
    DexelMeshBuffers buffers;
    ASSERT_TRUE(PrepareDexelMeshBuffers(*model, &buffers));
    int index = 0;
    for (int bz = 0; bz < b.perAxis[2]; ++bz) {
        for (int by = 0; by < b.perAxis[1]; ++by) {
            for (int bx = 0; bx < b.perAxis[0]; ++bx, ++index) {
                if (!all && b.dirty[index] == 0) {
                    continue;
                }
                const int at[3] = {bx, by, bz};
                int low[3], high[3];
                for (int a = 0; a < 3; ++a) {
                    low[a] = at[a] * b.size[a];
                    high[a] = low[a] + (at[a] == b.lastIndex[a] ? b.lastSize[a] : b.size[a]);
                }
                (*blocks)[static_cast<std::size_t>(index)] = ViewRange(&buffers, low, high);
                b.dirty[index] = 0;
            }
        }
    }
    FreeDexelMeshBuffers(&buffers);
}

// Cuts, saves and checks one random cut; adds the plain walk's counters to totals.
void CheckCut(const RandomCut& cut, const std::string& path, MeshExtractionStats* totals) {
    SCOPED_TRACE(Describe(cut));
    StockModel model;
    BuildBoxStock(&model, cut.box, cut.pitch);
    std::vector<std::vector<MeshFacet>> blocks;
    MeshDirtyBlocks(&model, true, &blocks);
    MakeMoves(&model, cut);

    ASSERT_EQ(SaveStockFile(model, path, 1, 0, nullptr, 1), kStockSaveDone);
    std::vector<MeshFacet> saved;
    ASSERT_TRUE(ReadBinaryStlFacets(path, false, &saved));
    double area[3];
    SumAreaVectors(saved, area);
    const double surface = SurfaceArea(saved);
    EXPECT_TRUE(SurfaceIsClosed(saved));
    EXPECT_TRUE(SurfaceIsConforming(saved));
    EXPECT_LT(std::fabs(area[0]) + std::fabs(area[1]) + std::fabs(area[2]), 1e-5 * surface);
    // The surface cuts corners of at most half a pitch's depth wherever it leaves a node
    // line, so it may lie below the rays' volume by up to that layer.
    const double rays = DexelVolume(model);
    EXPECT_NEAR(SignedVolume(saved), rays, 0.5 * cut.pitch * surface);

    // The serial plain walk and a parallel sparse walk write the same facets.
    std::vector<MeshFacet> memory;
    MeshExtractionStats stats;
    MeshExtractionOptions plain;
    plain.plainCellWalk = 1;
    ASSERT_GE(ExtractStockMesh(model, CollectFacets(&memory), plain, &stats), 0);
    totals->fallbackCells += stats.fallbackCells;
    totals->holeLoops += stats.holeLoops;
    std::vector<MeshFacet> parallel;
    MeshExtractionOptions threads;
    threads.threads = 3;
    ASSERT_GE(ExtractStockMesh(model, CollectFacets(&parallel), threads), 0);
    EXPECT_TRUE(SameFacets(memory, parallel));

    const std::vector<MeshFacet> shown = ViewSurface(model);
    EXPECT_TRUE(SurfaceIsClosed(shown));
    EXPECT_TRUE(SurfaceIsConforming(shown));
    EXPECT_NEAR(SignedVolume(shown), SignedVolume(memory), 1e-6 * rays);

    // The view's blocks, each re-meshed alone where the cut reached it, fit together as one
    // conforming surface.
    MeshDirtyBlocks(&model, false, &blocks);
    std::vector<MeshFacet> assembled;
    for (const std::vector<MeshFacet>& block : blocks) {
        assembled.insert(assembled.end(), block.begin(), block.end());
    }
    EXPECT_TRUE(SurfaceIsConforming(assembled));
    EXPECT_NEAR(SignedVolume(assembled), SignedVolume(memory), 1e-6 * rays);
    FreeStockModel(&model);
}

TEST(CutSurfaceClosure, RandomCutsSaveClosedSurfacesOfTheRaysVolume) {
    testing::ScopedCuttingState state;
    const unsigned seed = 49021;
    // Under a sanitizer the first ten cuts of the sequence.
    const int cuts = testing::kSanitizedBuild ? 10 : 40;
    std::printf("random cuts from seed %u\n", seed);
    std::mt19937 random(seed);
    testing::ScratchDirectory scratch;
    const std::string path = scratch.At("cut.stl");
    MeshExtractionStats totals;
    for (int i = 0; i < cuts; ++i) {
        const RandomCut cut = MakeCut(random);
        SCOPED_TRACE(::testing::Message() << "cut " << i);
        CheckCut(cut, path, &totals);
    }
    std::printf("cells closed by the fallback: %lld\n",
                static_cast<long long>(totals.fallbackCells));
}

// Cuts of crossing passes whose islands on neighbouring rays bound a face polygon of a cell on
// one face and lie on another face of it without other material (the cut's seed and its place in
// that seed's sequence): the cell's loop runs along the island, so every cell closes its loops
// without the fallback, and the surfaces are closed. A wall thinner than the pitch between two
// node planes is seen by one family only: the cells around it mesh one piece of it, without
// walls inside it, so no edge has more than two facets each way.
TEST(CutSurfaceClosure, IslandsBoundingAFacePolygonCloseTheCellsLoops) {
    testing::ScopedCuttingState state;
    struct Case {
        unsigned seed;
        int index;
    };
    static const Case kCases[] = {
        {4, 9},  {4, 30}, {5, 52}, {49021, 85}, {1, 105},
        {2, 33}, {2, 82}, {6, 33}, {6, 100},    {7, 75},
    };
    testing::ScratchDirectory scratch;
    const std::string path = scratch.At("cut.stl");
    MeshExtractionStats totals;
    for (const Case& c : kCases) {
        std::mt19937 random(c.seed);
        RandomCut cut;
        for (int i = 0; i <= c.index; ++i) {
            cut = MakeCut(random);
        }
        SCOPED_TRACE(::testing::Message() << "seed " << c.seed << " cut " << c.index);
        CheckCut(cut, path, &totals);
    }
    EXPECT_EQ(totals.fallbackCells, 0);
    EXPECT_EQ(totals.holeLoops, 0);
}

}  // namespace
}  // namespace mirexa
