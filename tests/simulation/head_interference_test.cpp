// Head meshes against the stock's dexel rays and against table-side models: box heads above,
// touching and inside a box stock, vertex and edge touches, rays parallel to a facet, a placed
// stock, random triangles against a plain test of every ray, one posing per pose, and the free
// boxes of the basic models.
#include "simulation/head_interference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "cutting_test_support.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "simulation/cutting_core.h"
#include "simulation/interference_flags.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "structure_test_support.h"
#include "support/stock_invariants.h"
#include "support/test_cutting_run.h"

namespace mirexa {
namespace {

using testing::BoxMeshFacets;
using testing::BoxModel;
using testing::HeadMesh;
using testing::TriangleFacet;

struct StockFixture : ::testing::Test {
    StockModel stock;
    void Build(const double box[6], double pitch) {
        FreeStockModel(&stock);
        stock = StockModel{};
        SetStockUndoRingSize(&stock, 1);
        ASSERT_EQ(CreateBoxStockIdentity(&stock, box, pitch), 1);
    }
    void TearDown() override {
        FreeStockModel(&stock);
    }
    int HeadHits(const MachineModel& mesh, const double origin[3]) {
        PosedHeadMesh head;
        BeginHeadPose(&mesh, nullptr, RunKinematics.pose, origin, &head);
        return PosedHeadHitsStock(&head, stock);
    }
};

using HeadAgainstStock = StockFixture;

TEST_F(HeadAgainstStock, BoxHeadAboveTouchingAndInside) {
    const double box[6] = {0, 0, 0, 100, 100, 50};
    Build(box, 0.5);
    // The head mesh is given about its own origin and moved by the machine position.
    const double lo[3] = {-10, -15, 0}, hi[3] = {10, 15, 40};
    const MachineModel mesh = HeadMesh(BoxMeshFacets(lo, hi));
    struct Case {
        double z;
        int hit;
    } cases[] = {{51.0, 0}, {50.0, 1}, {49.99, 1}, {-41.0, 0}, {-40.0, 1}, {20.0, 1}};
    for (const Case& c : cases) {
        const double origin[3] = {50, 50, c.z};
        EXPECT_EQ(HeadHits(mesh, origin), c.hit) << "z " << c.z;
    }
    // Beside the stock by 1 mm, and touching its side.
    const double beside[3] = {121, 50, 10}, touching[3] = {110, 50, 10};
    EXPECT_EQ(HeadHits(mesh, beside), 0);
    EXPECT_EQ(HeadHits(mesh, touching), 1);
    // A stock that holds no grid is never hit.
    FreeStockModel(&stock);
    stock = StockModel{};
    const double inside[3] = {50, 50, 20};
    EXPECT_EQ(HeadHits(mesh, inside), 0);
}

TEST_F(HeadAgainstStock, VertexAndEdgeTouchesOnRays) {
    const double box[6] = {0, 0, 0, 100, 100, 100};
    Build(box, 1.0);
    // A pyramid point down whose apex rests on the node (50, 50, 100).
    std::vector<StlFacet> pyramid;
    const double base[4][3] = {{-10, -10, 20}, {10, -10, 20}, {10, 10, 20}, {-10, 10, 20}};
    for (int i = 0; i < 4; ++i) {
        const double* a = base[i];
        const double* b = base[(i + 1) % 4];
        const double v[9] = {0, 0, 0, a[0], a[1], a[2], b[0], b[1], b[2]};
        pyramid.push_back(TriangleFacet(v));
    }
    const MachineModel point = HeadMesh(pyramid);
    const double apex[3] = {50, 50, 100}, lifted[3] = {50, 50, 100.001};
    EXPECT_EQ(HeadHits(point, apex), 1);
    EXPECT_EQ(HeadHits(point, lifted), 0);
    // A vertical triangle whose lower edge lies along the top face over node positions: only
    // the Y rays cross its plane, and they meet it on its edge.
    const double blade[9] = {-40, 0, 0, 40, 0, 0, 0, 0, 40};
    const MachineModel edge = HeadMesh({TriangleFacet(blade)});
    const double onTop[3] = {50, 50, 100}, above[3] = {50, 50, 101};
    EXPECT_EQ(HeadHits(edge, onTop), 1);
    EXPECT_EQ(HeadHits(edge, above), 0);
}

TEST_F(HeadAgainstStock, AFacetParallelToTheRaysNeverPiercesThem) {
    const double box[6] = {0, 0, 0, 20, 20, 20};
    Build(box, 1.0);
    // A triangle in the plane x = 10.5 cuts through material, but the Z rays run in its plane
    // direction and the Y rays too: only the X family can see it.
    const double t[9] = {10.5, 2, 2, 10.5, 18, 2, 10.5, 10, 18};
    const DexelFamily& z = stock.z;
    EXPECT_EQ(TriangleHitsDexelGrid(t, 2, 0, 1, 0, 20, 0, 20, stock.nx, stock.nodesX, stock.nodesY,
                                    z.capacity, z.counts, z.ends),
              0);
    const DexelFamily& y = stock.y;
    EXPECT_EQ(TriangleHitsDexelGrid(t, 1, 2, 0, 0, 20, 0, 20, stock.nz, stock.nodesZ, stock.nodesX,
                                    y.capacity, y.counts, y.ends),
              0);
    const DexelFamily& x = stock.x;
    EXPECT_EQ(TriangleHitsDexelGrid(t, 0, 1, 2, 0, 20, 0, 20, stock.ny, stock.nodesY, stock.nodesZ,
                                    x.capacity, x.counts, x.ends),
              1);
}

TEST_F(HeadAgainstStock, APlacedStockIsSeenWhereItsFrameCarriesIt) {
    // The box [0, 40] x [0, 20] x [0, 10] turned 90 degrees about z and moved to x = 500: it
    // covers x in [480, 500], y in [0, 40].
    FreeStockModel(&stock);
    stock = StockModel{};
    SetStockUndoRingSize(&stock, 1);
    const double box[6] = {0, 0, 0, 40, 20, 10};
    StockFrame frame;
    const double values[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, 500, 0, 0};
    std::copy(values, values + 12, frame.values);
    ASSERT_EQ(CreateBoxStock(&stock, box, frame, 0.5), 1);
    ASSERT_NE(stock.frameFlag, 0);
    double min[3], max[3];
    ASSERT_EQ(GetStockCullBounds(stock, min, max), 1);
    EXPECT_NEAR(min[0], 480, 1e-9);
    EXPECT_NEAR(max[1], 40, 1e-9);
    const double lo[3] = {-2, -2, 0}, hi[3] = {2, 2, 30};
    const MachineModel mesh = HeadMesh(BoxMeshFacets(lo, hi));
    const double over[3] = {490, 35, 9.9}, clear[3] = {490, 35, 11}, beside[3] = {470, 35, 5};
    EXPECT_EQ(HeadHits(mesh, over), 1);
    EXPECT_EQ(HeadHits(mesh, clear), 0);
    EXPECT_EQ(HeadHits(mesh, beside), 0);
    // Where the box would lie without its frame there is nothing.
    const double unplaced[3] = {30, 10, 5};
    EXPECT_EQ(HeadHits(mesh, unplaced), 0);
}

// Barycentric line-triangle test along one axis: +1 clearly through the inside, -1 clearly
// outside (beyond the 0.01 mm vertex tolerance), 0 too close to call.
int RayThroughTriangle(const double t[9], int w, int u, int v, double pu, double pv) {
    const double ax = t[u], ay = t[v], bx = t[3 + u], by = t[3 + v], cx = t[6 + u], cy = t[6 + v];
    const double det = (bx - ax) * (cy - ay) - (cx - ax) * (by - ay);
    if (std::fabs(det) < 1e-6) {
        return 0;
    }
    const double l1 = ((pu - ax) * (cy - ay) - (cx - ax) * (pv - ay)) / det;
    const double l2 = ((bx - ax) * (pv - ay) - (pu - ax) * (by - ay)) / det;
    const double l0 = 1.0 - l1 - l2;
    const double m = std::min({l0, l1, l2});
    (void)w;
    return m > 1e-3 ? 1 : (m < -0.05 ? -1 : 0);
}

TEST_F(HeadAgainstStock, RandomTrianglesAgainstEveryRayTested) {
    const unsigned seed = 77031;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    const double box[6] = {0, 0, 0, 12, 12, 12};
    Build(box, 1.0);
    // Rays with one to three segments, all within the stock's box (its material corners).
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    DexelFamily* families[3] = {&stock.z, &stock.x, &stock.y};
    for (DexelFamily* f : families) {
        for (std::int64_t cell = 0; cell < f->cellCount; ++cell) {
            double ends[6];
            int segments = 0;
            double at = unit(rng) * 2.0;
            while (segments < 3) {
                const double end = at + 0.5 + unit(rng) * 3.0;
                if (end > 12.0) {
                    break;
                }
                ends[2 * segments] = at;
                ends[2 * segments + 1] = end;
                ++segments;
                at = end + 0.5 + unit(rng) * 2.0;
            }
            const std::uint8_t flags[6] = {};
            const std::int32_t stamps[6] = {};
            SetDexelCell(cell, f->capacity, f->counts, f->ends, f->flags, f->lineStamps, ends,
                         flags, stamps, 2 * segments);
        }
    }
    ASSERT_TRUE(StockInvariantsHold(stock));
    std::uniform_real_distribution<double> coord(-2.0, 14.0);
    std::uniform_real_distribution<double> spread(-2.0, 2.0);
    const int axes[3][3] = {{2, 0, 1}, {0, 1, 2}, {1, 2, 0}};  // w, u, v of Z, X, Y
    const int nus[3] = {stock.nx, stock.ny, stock.nz};
    const double* nodes[3] = {stock.nodesX, stock.nodesY, stock.nodesZ};
    int decided = 0, hits = 0;
    for (int trial = 0; trial < 1000; ++trial) {
        const double centre[3] = {coord(rng), coord(rng), coord(rng)};
        double t[9];
        for (int i = 0; i < 9; ++i) {
            t[i] = centre[i % 3] + spread(rng);
        }
        double plane[4];
        ComputePlaneFromThreePoints(t, plane);
        int expected = -1;  // -1 miss, 1 hit, 0 undecided
        for (int f = 0; f < 3 && expected != 1; ++f) {
            const int w = axes[f][0], u = axes[f][1], v = axes[f][2];
            if (std::fabs(plane[w]) < 1e-3) {
                expected = 0;
                continue;
            }
            const DexelFamily& fam = *families[f];
            for (int iv = 0; iv <= 12 && expected != 1; ++iv) {
                for (int iu = 0; iu <= 12; ++iu) {
                    const std::int64_t cell = std::int64_t{iv} * nus[f] + iu;
                    const double pu = nodes[u][iu], pv = nodes[v][iv];
                    const int through = RayThroughTriangle(t, w, u, v, pu, pv);
                    if (through == -1) {
                        continue;
                    }
                    const double depth = -(plane[u] * pu + plane[v] * pv + plane[3]) / plane[w];
                    const double* e = DexelCellEnds(cell, fam.capacity, fam.counts, fam.ends);
                    int inside = -1;
                    for (int s = 0; s + 1 < fam.counts[cell]; s += 2) {
                        if (depth > e[s] + 1e-6 && depth < e[s + 1] - 1e-6) {
                            inside = 1;
                        } else if (std::fabs(depth - e[s]) < 1e-6 ||
                                   std::fabs(depth - e[s + 1]) < 1e-6) {
                            inside = std::max(inside, 0);
                        }
                    }
                    if (inside == 1 && through == 1) {
                        expected = 1;
                        break;
                    }
                    if (inside >= 0 || through == 0) {
                        if (inside != -1) {
                            expected = std::max(expected, 0);
                        }
                    }
                }
            }
        }
        if (expected == 0) {
            continue;
        }
        ++decided;
        const MachineModel mesh = HeadMesh({TriangleFacet(t)});
        const double origin[3] = {};
        const int got = HeadHits(mesh, origin);
        ASSERT_EQ(got, expected == 1 ? 1 : 0) << "trial " << trial;
        hits += got;
    }
    std::printf("%d decided, %d hits\n", decided, hits);
    EXPECT_GT(decided, 600);
    EXPECT_GT(hits, 100);
    EXPECT_LT(hits, decided - 100);
}

TEST_F(HeadAgainstStock, AHeadIsPosedOncePerPoseForEveryPair) {
    const double box[6] = {0, 0, 0, 100, 100, 50};
    Build(box, 1.0);
    const double lo[3] = {-10, -10, 0}, hi[3] = {10, 10, 40};
    const MachineModel mesh = HeadMesh(BoxMeshFacets(lo, hi));
    const double vlo[3] = {-100, -100, -100}, vhi[3] = {200, 200, 200};
    MachineStructureModels s;
    s.vices.push_back(BoxModel(vlo, vhi));
    s.table = BoxModel(vlo, vhi);
    StructureModelList vices, table;
    GatherStructureModels(s, kStructureVice, &vices);
    GatherStructureModels(s, kStructureTable, &table);
    HeadCheckCounters counters;
    PosedHeadMesh head;
    head.counters = &counters;
    const double origin[3] = {50, 50, 60};  // clear of the stock, inside the structures' boxes
    BeginHeadPose(&mesh, nullptr, RunKinematics.pose, origin, &head);
    EXPECT_EQ(PosedHeadHitsStock(&head, stock), 0);
    EXPECT_EQ(PosedHeadHitsStructures(&head, vices), 0);
    EXPECT_EQ(PosedHeadHitsStructures(&head, table), 0);
    EXPECT_EQ(counters.posedVertices, 8 + 3 * 12);
}

TEST(HeadAgainstStructures, EachFreeBoxExcusesOnlyItsOwnModel) {
    const double lo[3] = {-5, -5, -5}, hi[3] = {5, 5, 5};
    const MachineModel mesh = HeadMesh(BoxMeshFacets(lo, hi));
    MachineStructureModels s;
    // Basic model 1 far below with a free box that holds the head; model 2 where the head is.
    const double alo[3] = {-100, -100, -200}, ahi[3] = {100, 100, -150};
    const double blo[3] = {-20, -20, -20}, bhi[3] = {20, 20, 2};
    s.basics.push_back(BoxModel(alo, ahi));
    s.basics.push_back(BoxModel(blo, bhi));
    s.basicFreeBoxes = {-1e11, -1e11, -150, 1e11, 1e11, 1e11, -1e11, -1e11, 2, 1e11, 1e11, 1e11};
    StructureModelList basics;
    ASSERT_EQ(GatherStructureModels(s, kStructureBasic, &basics), 2);
    PosedHeadMesh head;
    const double origin[3] = {0, 0, 0};
    BeginHeadPose(&mesh, nullptr, RunKinematics.pose, origin, &head);
    EXPECT_EQ(PosedHeadHitsStructures(&head, basics), 1);

    // A head strictly inside a model's free box is not tested against it; touching the box's
    // boundary it is.
    HeadCheckCounters counters;
    head.counters = &counters;
    const double high[3] = {0, 0, 7.5};
    BeginHeadPose(&mesh, nullptr, RunKinematics.pose, high, &head);
    EXPECT_EQ(PosedHeadHitsStructures(&head, basics), 0);
    EXPECT_EQ(counters.facetModelTests, 0);
    const double touching[3] = {0, 0, 7.0};
    BeginHeadPose(&mesh, nullptr, RunKinematics.pose, touching, &head);
    EXPECT_EQ(PosedHeadHitsStructures(&head, basics), 1);
    EXPECT_GT(counters.facetModelTests, 0);
}

}  // namespace
}  // namespace mirexa

namespace mirexa {
namespace {

using testing::ScopedCheckState;

// The checks of a step: the head meshes of the machine, the current stock and the pair settings.
class HeadChecks : public ::testing::Test {
protected:
    ScopedCheckState state;
    testing::ScopedCuttingState cutting;
    int savedIndex = CurrentStockIndex.load();

    void SetUp() override {
        const double box[6] = {0, 0, 0, 100, 100, 50};
        testing::BuildBoxStock(&StockModels[0], box, 0.5);
        CurrentStockIndex = 0;
        const double lo[3] = {-10, -15, 0}, hi[3] = {10, 15, 40};
        StructureModels.head = HeadMesh(BoxMeshFacets(lo, hi));
        StructureModels.head1 = HeadMesh(BoxMeshFacets(lo, hi));
        StructureModels.head2 = HeadMesh(BoxMeshFacets(lo, hi));
        ClearInterferenceFlags(TestRun.cutting.flags);
    }
    void TearDown() override {
        FreeStockModel(&StockModels[0]);
        StockModels[0] = StockModel{};
        CurrentStockIndex = savedIndex;
    }
    static void At(double x, double y, double z) {
        double* m = RunKinematics.pose.machine.axis;
        m[0] = x, m[1] = y, m[2] = z;
    }
};

TEST_F(HeadChecks, WorkPairOfEachHead) {
    struct Check {
        int (*run)(CuttingState& cutting, NcSession& session, const StockModel* stock);
        StructurePair work;
    } checks[] = {
        {CheckHeadModel, kHeadWork}, {CheckHead1Model, kHead1Work}, {CheckHead2Model, kHead2Work}};
    for (const Check& c : checks) {
        Checks = CheckSettings{};
        Checks.structurePairs[c.work] = 1;
        At(50, 50, 51);
        ClearInterferenceFlags(TestRun.cutting.flags);
        EXPECT_EQ(c.run(TestRun.cutting, RunSession, &StockModels[0]), 0);
        EXPECT_EQ(TestRun.cutting.flags.structure[c.work], 0);
        At(50, 50, 49.99);
        EXPECT_EQ(c.run(TestRun.cutting, RunSession, &StockModels[0]), 0)
            << "the result is in the flags";
        EXPECT_EQ(TestRun.cutting.flags.structure[c.work], 1);
        EXPECT_EQ(AnyInterferenceFlagSet(TestRun.cutting.flags), 1);
        // A stock that is ignored or to be deleted is never tested.
        ClearInterferenceFlags(TestRun.cutting.flags);
        StockModels[0].useState = 1;
        c.run(TestRun.cutting, RunSession, &StockModels[0]);
        StockModels[0].useState = 2;
        c.run(TestRun.cutting, RunSession, &StockModels[0]);
        StockModels[0].useState = 0;
        EXPECT_EQ(TestRun.cutting.flags.structure[c.work], 0);
        // The pair switched off.
        Checks.structurePairs[c.work] = 0;
        c.run(TestRun.cutting, RunSession, &StockModels[0]);
        EXPECT_EQ(AnyInterferenceFlagSet(TestRun.cutting.flags), 0);
    }
}

TEST_F(HeadChecks, TablePairsAndTheBasicModelSeenFromTheBase) {
    const double vlo[3] = {200, 0, 0}, vhi[3] = {260, 40, 30};
    StructureModels.vices.push_back(BoxModel(vlo, vhi));
    const double tlo[3] = {-500, -500, -40}, thi[3] = {500, 500, 0};
    StructureModels.table = BoxModel(tlo, thi);
    // The base: a column at x in [-100, -80], and the table carries X.
    const double blo[3] = {-100, -50, 0}, bhi[3] = {-80, 50, 300};
    StructureModels.basics.push_back(BoxModel(blo, bhi));
    StructureModels.basicFreeBoxes = {-80, -1e11, -1e11, 1e11, 1e11, 1e11};
    Machine.tableCarries[0] = 1;
    for (StructurePair p : {kHeadVice, kHeadTable, kHeadBasic, kHeadWork}) {
        Checks.structurePairs[p] = 2;
    }
    At(230, 20, 29);  // into the vice only
    CheckHeadModel(TestRun.cutting, RunSession, &StockModels[0]);
    EXPECT_EQ(TestRun.cutting.flags.structure[kHeadVice], 1);
    EXPECT_EQ(TestRun.cutting.flags.structure[kHeadTable], 0);
    EXPECT_EQ(TestRun.cutting.flags.structure[kHeadWork], 0);
    EXPECT_EQ(TestRun.cutting.flags.structure[kHeadBasic], 0) << "the base sees X at 0: clear";
    ClearInterferenceFlags(TestRun.cutting.flags);
    At(330, 0, -1);  // onto the table; X, which the table carries, is 0 for the base
    CheckHeadModel(TestRun.cutting, RunSession, &StockModels[0]);
    EXPECT_EQ(TestRun.cutting.flags.structure[kHeadTable], 1);
    EXPECT_EQ(TestRun.cutting.flags.structure[kHeadVice], 0);
    EXPECT_EQ(TestRun.cutting.flags.structure[kHeadBasic], 0);
    // With X taken off, the head at X = -85 meets the column; elsewhere X does not matter.
    Machine.tableCarries[0] = 0;
    ClearInterferenceFlags(TestRun.cutting.flags);
    At(-85, 0, 100);
    CheckHeadModel(TestRun.cutting, RunSession, &StockModels[0]);
    EXPECT_EQ(TestRun.cutting.flags.structure[kHeadBasic], 1);
    Machine.tableCarries[0] = 1;
    ClearInterferenceFlags(TestRun.cutting.flags);
    CheckHeadModel(TestRun.cutting, RunSession, &StockModels[0]);
    EXPECT_EQ(TestRun.cutting.flags.structure[kHeadBasic], 0);
    EXPECT_EQ(CheckNothing(), 0);
}

TEST_F(HeadChecks, AtZeroAnglesTheHeadIsOnlyMovedWhateverTheRotaryType) {
    Checks.structurePairs[kHead2Work] = 1;
    for (int type : {0, 1, 2, 3}) {
        CurrentMachine.rotaryType = type;
        CurrentMachine.headOffset[0] = 300.0;  // would carry a turned HEAD2 far away
        testing::SetMachineAngles(0, 0);
        ClearInterferenceFlags(TestRun.cutting.flags);
        At(50, 50, 49.99);
        CheckHead2Model(TestRun.cutting, RunSession, &StockModels[0]);
        EXPECT_EQ(TestRun.cutting.flags.structure[kHead2Work], 1) << type;
        ClearInterferenceFlags(TestRun.cutting.flags);
        At(50, 50, 50.5);
        CheckHead2Model(TestRun.cutting, RunSession, &StockModels[0]);
        EXPECT_EQ(TestRun.cutting.flags.structure[kHead2Work], 0) << type;
    }
}

}  // namespace
}  // namespace mirexa
