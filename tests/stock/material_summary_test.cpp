// The material summary's masks: a chord that meets a ray's material always shares a span with
// it, whatever the coordinates (beyond the extent, reversed, NaN); a summary is rebuilt after a
// change of the rays by a stock operation and kept by a copy to the next undo slot.
#include "stock/material_summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "stock/stock_clip.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"

namespace mirexa {
namespace {

TEST(MaterialSummaryTest, ChordsThatMeetMaterialShareASpan) {
    FamilyMaterialSummary s;
    s.origin = -3.0;
    s.spansPerMm = 64.0 / 17.0;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> at(-6.0, 17.0);
    int met = 0;
    for (int i = 0; i < 20000; ++i) {
        double a = at(random), b = at(random), lo = at(random), hi = at(random);
        if (a > b) {
            std::swap(a, b);
        }
        if (lo > hi) {
            std::swap(lo, hi);
        }
        if (lo < b && a < hi) {
            ++met;
            ASSERT_NE(MaterialSpanMask(s, a, b) & MaterialSpanMask(s, lo, hi), 0u)
                << a << " " << b << " " << lo << " " << hi;
        }
    }
    EXPECT_GT(met, 5000);
    const std::uint64_t all = ~std::uint64_t{0};
    struct Case {
        double lo, hi;
        std::uint64_t mask;
    };
    const Case cases[] = {
        {-1e300, -50.0, 1},  // below the extent: the first span
        {40.0, HUGE_VAL, std::uint64_t{1} << 63},
        {-HUGE_VAL, HUGE_VAL, all},
        {2.0, 1.0, all},  // reversed
        {NAN, 1.0, all},
        {1.0, NAN, all},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MaterialSpanMask(s, c.lo, c.hi), c.mask) << c.lo << " " << c.hi;
    }
}

TEST(MaterialSummaryTest, StockChangesRenewTheRayStamp) {
    StockModel model;
    SetStockUndoRingSize(&model, 2);
    const double box[6] = {0, 0, 0, 10, 8, 6};
    ASSERT_EQ(CreateBoxStockIdentity(&model, box, 1.0), 1);
    StockMaterialSummary summary;
    EXPECT_EQ(EnsureMaterialSummary(&summary, model), 1);
    EXPECT_EQ(EnsureMaterialSummary(&summary, model), 0);
    // The box's X ray at (y 2, z 3) runs from 0 to 10: span 0 to 63 of group 0 of row 3.
    EXPECT_EQ(summary.families[0].masks[3 * summary.families[0].groupsPerRow], ~0ull);
    PushStockUndo(&model);  // the same rays in the next slot
    EXPECT_EQ(EnsureMaterialSummary(&summary, model), 0);
    const double boxMin[3] = {0, 0, 0}, boxMax[3] = {4, 8, 6};
    ASSERT_EQ(ClipStockToBox(&model, boxMin, boxMax), 1);
    EXPECT_EQ(EnsureMaterialSummary(&summary, model), 1);
    EXPECT_EQ(summary.families[0].masks[3 * summary.families[0].groupsPerRow],
              MaterialSpanMask(summary.families[0], 0.0, 4.0));
    PopStockUndo(&model);
    EXPECT_EQ(EnsureMaterialSummary(&summary, model), 1);
    const double ends[2] = {1.0, 2.0};
    const std::uint8_t flags[2] = {};
    const std::int32_t stamps[2] = {};
    SetDexelCellByAxis(&model, 0, 2, 3, ends, flags, stamps, 2);
    EXPECT_EQ(EnsureMaterialSummary(&summary, model), 1);
    // Freed and built again at the same address: never taken for the stock it was.
    FreeStockModel(&model);
    model = StockModel{};
    ASSERT_EQ(CreateBoxStockIdentity(&model, box, 1.0), 1);
    EXPECT_EQ(EnsureMaterialSummary(&summary, model), 1);
    ReleaseMaterialSummary(&summary);
    FreeStockModel(&model);
}

}  // namespace
}  // namespace mirexa
