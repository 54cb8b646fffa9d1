// The material summary that the cutting passes keep: after every kind of change of a stock's
// rays (cuts on one and several threads, undo, a clip, rays loaded one by one, a stock built
// anew) a summary that claims to describe the stock agrees, group by group, with the masks made
// from its rays; and a cut that passes over rays by the summary removes what one that visits
// every ray removes.
#include <gtest/gtest.h>

#include <random>

#include "cutting_test_support.h"
#include "simulation/cutting_core.h"
#include "simulation/dexel_grid_view.h"
#include "stock/material_summary.h"
#include "stock/stock_clip.h"
#include "stock/stock_grid.h"
#include "support/test_cutting_run.h"

namespace mirexa {
namespace {

using testing::BuildBoxStock;

bool DescribesModel(const StockMaterialSummary& s, const StockModel& model) {
    return s.model == &model && s.rayStamp == model.rayStamp;
}

::testing::AssertionResult SummaryAgrees(const StockMaterialSummary& s, const StockModel& model) {
    for (int axis = 0; axis < 3; ++axis) {
        const FamilyMaterialSummary& f = s.families[axis];
        const DexelFamily& family = FamilyAlongAxis(model, axis);
        for (std::int32_t row = 0; row < f.rows; ++row) {
            for (std::int32_t group = 0; group < f.groupsPerRow; ++group) {
                const std::uint64_t kept =
                    f.masks[static_cast<std::size_t>(row) * f.groupsPerRow + group];
                if (kept != MaterialGroupMask(f, family, row, group)) {
                    return ::testing::AssertionFailure()
                           << "axis " << axis << " row " << row << " group " << group;
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

CutterSections RandomTool(std::mt19937& random) {
    switch (random() % 4) {
        case 0:
            return testing::BallTool(4.0 + random() % 5);
        case 1:
            return testing::FlatTool(3.0 + random() % 6);
        case 2:
            return testing::BullTool(6.0, 1.0);
        default:
            return testing::VeeTool(5.0, 1.0);
    }
}

// Cuts at a random pose: upright or tilted, partly outside the box at times.
void RandomCut(std::mt19937& random, StockModel* model) {
    std::uniform_real_distribution<double> along(-3.0, 23.0), height(2.0, 13.0), lean(-0.6, 0.6);
    const double point[3] = {along(random), along(random), height(random)};
    double axis[3] = {0, 0, 1};
    if (random() % 2 == 0) {
        axis[0] = lean(random);
        axis[1] = lean(random);
        const double n = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + 1.0);
        for (double& a : axis) {
            a /= n;
        }
    }
    TestRun.cutting.cutter = RandomTool(random);
    TestRun.cutting.threadCount = 1 + static_cast<int>(random() % 3);
    CutStockAtToolPose(TestRun.cutting, model, point, axis, CutMoveFacts{1, 1, nullptr});
}

// A ray as a loader writes it: random sorted ends in the box, or none.
void LoadRandomRay(std::mt19937& random, StockModel* model) {
    const int axis = static_cast<int>(random() % 3);
    const int i1 = static_cast<int>(random() % 20), i2 = static_cast<int>(random() % 20);
    std::uniform_real_distribution<double> at(0.0, 10.0);
    double ends[4] = {at(random), at(random), at(random), at(random)};
    std::sort(ends, ends + 4);
    const std::uint8_t flags[4] = {};
    const std::int32_t stamps[4] = {};
    SetDexelCellByAxis(model, axis, i1, i2, ends, flags, stamps,
                       2 * static_cast<int>(random() % 3));
}

TEST(MaterialSummaryTest, AgreesWithTheRaysAfterEveryKindOfChange) {
    testing::ScopedCuttingState state;
    const double box[6] = {0, 0, 0, 20, 20, 10};
    StockModel model;
    BuildBoxStock(&model, box, 0.5, 3);
    std::mt19937 random(60);
    const StockMaterialSummary& summary = CuttingMaterialSummary();
    int checked = 0;
    for (int op = 0; op < 120; ++op) {
        const int kind = static_cast<int>(random() % 10);
        if (kind < 5) {
            RandomCut(random, &model);
            // A cut within the grid leaves the summary describing the stock.
            ASSERT_TRUE(TestRun.cutting.pose.outside != 0 || DescribesModel(summary, model)) << op;
        } else if (kind == 5) {
            PushStockUndo(&model);
        } else if (kind == 6) {
            PopStockUndo(&model);
        } else if (kind == 7) {
            std::uniform_real_distribution<double> lo(-1.0, 6.0), hi(12.0, 21.0);
            const double boxMin[3] = {lo(random), lo(random), lo(random) / 2.0};
            const double boxMax[3] = {hi(random), hi(random), hi(random) / 2.0};
            ASSERT_EQ(ClipStockToBox(&model, boxMin, boxMax), 1);
        } else if (kind == 8) {
            LoadRandomRay(random, &model);
        } else {
            BuildBoxStock(&model, box, 0.5, 3);
        }
        if (DescribesModel(summary, model)) {
            ++checked;
            ASSERT_TRUE(SummaryAgrees(summary, model)) << "op " << op << " kind " << kind;
        }
    }
    EXPECT_GT(checked, 40);
    FreeStockModel(&model);
}

// Ray by ray: counts, ends, flags and line stamps alike.
::testing::AssertionResult SameRays(const StockModel& a, const StockModel& b) {
    for (int axis = 0; axis < 3; ++axis) {
        const DexelFamily& fa = FamilyAlongAxis(a, axis);
        const DexelFamily& fb = FamilyAlongAxis(b, axis);
        for (std::int64_t cell = 0; cell < fa.cellCount; ++cell) {
            const std::int32_t n = fa.counts[cell];
            bool same = n == fb.counts[cell];
            for (std::int32_t k = 0; same && k < n; ++k) {
                same = DexelCellEnds(cell, fa.capacity, fa.counts, fa.ends)[k] ==
                           DexelCellEnds(cell, fb.capacity, fb.counts, fb.ends)[k] &&
                       DexelCellFlags(cell, fa.capacity, fa.counts, fa.flags)[k] ==
                           DexelCellFlags(cell, fb.capacity, fb.counts, fb.flags)[k] &&
                       DexelCellStamps(cell, fa.capacity, fa.counts, fa.lineStamps)[k] ==
                           DexelCellStamps(cell, fb.capacity, fb.counts, fb.lineStamps)[k];
            }
            if (!same) {
                return ::testing::AssertionFailure() << "axis " << axis << " cell " << cell;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// Random cuts through the passes that use the summary, then the same cuts on a like stock
// through the single-view pass, which visits every ray of each window (the windows and key
// points set by a cut of a third stock on the same grid): alike ray for ray.
TEST(MaterialSummaryTest, PassingOverRaysCutsAsVisitingEveryRay) {
    testing::ScopedCuttingState state;
    const double box[6] = {0, 0, 0, 20, 20, 10};
    StockModel bySummary, everyRay, poser;
    BuildBoxStock(&bySummary, box, 0.5);
    BuildBoxStock(&everyRay, box, 0.5);
    BuildBoxStock(&poser, box, 0.5);
    constexpr int kCuts = 80;
    std::mt19937 random(61);
    std::int64_t skipped = 0;
    for (int cut = 0; cut < kCuts; ++cut) {
        RandomCut(random, &bySummary);
        skipped += TestRun.cutting.pose.raysSkipped;
    }
    EXPECT_GT(skipped, 0);
    random.seed(61);
    for (int cut = 0; cut < kCuts; ++cut) {
        RandomCut(random, &poser);
        if (TestRun.cutting.pose.outside != 0) {
            continue;
        }
        BindDexelGridViews(&everyRay, TestRun.cutting.views);
        for (DexelGridView& view : TestRun.cutting.views) {
            CutDexelGrid(TestRun.cutting, &view);
        }
    }
    EXPECT_TRUE(SameRays(bySummary, everyRay));
    FreeStockModel(&bySummary);
    FreeStockModel(&everyRay);
    FreeStockModel(&poser);
}

}  // namespace
}  // namespace mirexa
