// Difference painting: a pocket cut deeper than the basic model, the PLUS and MINUS thresholds,
// the comparison model's cache, pens and targets, the emphasis against a brute-force search,
// and the refusals that must leave the stock alone.
#include "stock/difference_paint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "analytic_stock.h"
#include "services/program_log.h"
#include "stock/stock_grid.h"
#include "stock/stock_operation_support.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

constexpr double kPitch = 0.5;

AnalyticPart Box(double x0, double y0, double z0, double x1, double y1, double z1) {
    return BoxSolid(x0, y0, z0, x1, y1, z1).parts[0];
}

// A block 0.25..9.75 with a pocket [3.25, 5.75]^2 open to the top from the given floor height.
std::vector<AnalyticPart> PocketBlock(double floor) {
    return {Box(0.25, 0.25, 0.25, 9.75, 9.75, floor), Box(0.25, 0.25, floor, 3.25, 9.75, 9.75),
            Box(5.75, 0.25, floor, 9.75, 9.75, 9.75), Box(3.25, 0.25, floor, 5.75, 3.25, 9.75),
            Box(3.25, 5.75, floor, 5.75, 9.75, 9.75)};
}

// One end of the stock: its family, cell, index and point (local mm).
struct EndSite {
    int axis = {};
    std::int64_t cell = {};
    int index = {};
    double point[3] = {};
    std::uint8_t flag = {};
    std::int32_t stamp = {};
    double value = {};
};

std::vector<EndSite> ListEnds(const StockModel& m) {
    std::vector<EndSite> sites;
    for (int axis : {2, 0, 1}) {
        const DexelFamily& f = axis == 2 ? m.z : (axis == 0 ? m.x : m.y);
        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
        const int counts[3] = {m.nx, m.ny, m.nz};
        for (std::int64_t cell = 0; cell < f.cellCount; ++cell) {
            const DexelRay ray = ReadDexelRay(f, cell);
            for (std::size_t i = 0; i < ray.ends.size(); ++i) {
                EndSite s;
                s.axis = axis;
                s.cell = cell;
                s.index = static_cast<int>(i);
                s.point[u] = (cell % counts[u]) * m.pitch + m.origin[u];
                s.point[v] = (cell / counts[u]) * m.pitch + m.origin[v];
                s.point[axis] = ray.ends[i];
                s.flag = ray.flags[i];
                s.stamp = ray.stamps[i];
                s.value = ray.ends[i];
                sites.push_back(s);
            }
        }
    }
    return sites;
}

class DifferenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
    }
    void TearDown() override {
        FreeStockModel(&current);
        Reset();
    }
    void Reset() {
        FreeStockModel(&BasicModel);
        BasicModel = StockModel{};
        FreeStockModel(&ComparisonModel);
        ComparisonModel = StockModel{};
        BasicModelState = BasicModelStatus{};
        ComparisonBuild = ComparisonModelBuild{};
    }
    void Build(StockModel* m, const std::vector<AnalyticPart>& parts, bool marked = false) {
        AnalyticSolid solid;
        solid.parts = parts;
        const int nodes[3] = {21, 21, 21};
        const double origin[3] = {0, 0, 0};
        ASSERT_EQ(BuildAnalyticStock(m, nodes, kPitch, origin, solid, marked), 1);
    }
    // Paints and returns the ends whose flag changed; checks that no count, end or stamp did.
    std::vector<EndSite> PaintAndListChanged(const DifferencePaintSettings& settings) {
        const std::vector<EndSite> before = ListEnds(current);
        EXPECT_EQ(PaintDifference(&current, BasicModel, settings), 1);
        EXPECT_TRUE(StockInvariantsHold(current));
        const std::vector<EndSite> after = ListEnds(current);
        std::vector<EndSite> changed;
        EXPECT_EQ(before.size(), after.size());
        for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
            EXPECT_EQ(before[i].value, after[i].value);
            EXPECT_EQ(before[i].stamp, after[i].stamp);
            if (before[i].flag != after[i].flag) {
                changed.push_back(after[i]);
            }
        }
        return changed;
    }
    // Checks that exactly the ends satisfying `expected` changed, to `flag`.
    void ExpectChanged(const std::vector<EndSite>& changed,
                       const std::function<bool(const EndSite&)>& expected, std::uint8_t flag,
                       std::size_t expectedCount) {
        EXPECT_EQ(changed.size(), expectedCount);
        for (const EndSite& s : changed) {
            EXPECT_TRUE(expected(s)) << "axis " << s.axis << " at (" << s.point[0] << ", "
                                     << s.point[1] << ", " << s.point[2] << ")";
            EXPECT_EQ(s.flag, flag);
        }
    }
    std::size_t CountEnds(const std::function<bool(const EndSite&)>& which) {
        std::size_t n = 0;
        for (const EndSite& s : ListEnds(current)) {
            n += which(s) ? 1 : 0;
        }
        return n;
    }
    StockModel current;
};

TEST_F(DifferenceTest, PocketCutTooDeepIsPaintedThereAndNowhereElse) {
    Build(&BasicModel, PocketBlock(7.25));
    BasicModelState.present = 1;
    Build(&current, PocketBlock(6.75), true);  // flags 0x21: pen 2, painted
    DifferencePaintSettings minus;
    minus.areaSign = -1;
    minus.allowance = 0.1;
    minus.penMode = 1;
    minus.pen = 5;
    // Inside the extra half millimetre under the pocket.
    auto inExtraCut = [](const EndSite& s) {
        return s.point[0] >= 3.25 && s.point[0] <= 5.75 && s.point[1] >= 3.25 &&
               s.point[1] <= 5.75 && s.point[2] >= 6.75 && s.point[2] < 7.25;
    };
    const std::size_t there = CountEnds(inExtraCut);
    ASSERT_GT(there, 40u);
    ExpectChanged(PaintAndListChanged(minus), inExtraCut, 0x51, there);
    // PLUS: nothing of the stock stands outside the grown basic model.
    DifferencePaintSettings plus = minus;
    plus.areaSign = 1;
    plus.clearPrevious = 0;
    EXPECT_TRUE(PaintAndListChanged(plus).empty());
    EXPECT_EQ(ComparisonBuild.builds, 2);
}

TEST_F(DifferenceTest, SelfComparisonMarksNothing) {
    Build(&BasicModel, PocketBlock(7.25));
    Build(&current, PocketBlock(7.25));
    for (int sign : {1, -1}) {
        for (double allowance : {0.0, 0.1}) {
            DifferencePaintSettings settings;
            settings.areaSign = sign;
            settings.allowance = allowance;
            EXPECT_TRUE(PaintAndListChanged(settings).empty()) << sign << " " << allowance;
        }
    }
}

TEST_F(DifferenceTest, PlusAndMinusThresholdsOnTheTopFace) {
    Build(&BasicModel, {Box(0.25, 0.25, 0.25, 4.75, 4.75, 4.75)});
    struct Case {
        int sign;
        double top;
        bool marked;
    };
    // Allowance 0.125: above by half of it no, by exactly it no (on the grown surface), by
    // twice yes; below by exactly it no (on the shrunk surface, the test is strict), by 1.5
    // times yes.
    const Case cases[] = {{1, 4.8125, false},
                          {1, 4.875, false},
                          {1, 5.0, true},
                          {-1, 4.625, false},
                          {-1, 4.5625, true}};
    for (const Case& c : cases) {
        FreeStockModel(&current);
        Build(&current, {Box(0.25, 0.25, 0.25, 4.75, 4.75, c.top)});
        DifferencePaintSettings settings;
        settings.areaSign = c.sign;
        settings.allowance = 0.125;
        const auto changed = PaintAndListChanged(settings);
        auto onTop = [&](const EndSite& s) { return s.axis == 2 && s.value == c.top; };
        auto aboveGrown = [](const EndSite& s) { return s.point[2] > 4.875; };
        if (!c.marked) {
            EXPECT_TRUE(changed.empty()) << c.top;
        } else if (c.sign == 1) {
            // Everything above the grown surface: the top ends and the X and Y rays at z = 5.
            ExpectChanged(changed, aboveGrown, 0x01, CountEnds(aboveGrown));
        } else {
            ExpectChanged(changed, onTop, 0x01, CountEnds(onTop));
        }
    }
}

TEST_F(DifferenceTest, EmptyComparisonRayMarksAllForPlusNoneForMinus) {
    Build(&BasicModel, {Box(0.25, 0.25, 0.25, 4.75, 4.75, 4.75)});
    Build(&current,
          {Box(0.25, 0.25, 0.25, 4.75, 4.75, 4.75), Box(6.25, 6.25, 6.25, 8.75, 8.75, 8.75)});
    auto farBox = [](const EndSite& s) { return s.point[0] > 6 && s.point[1] > 6; };
    DifferencePaintSettings settings;
    settings.allowance = 0.125;
    ExpectChanged(PaintAndListChanged(settings), farBox, 0x01, CountEnds(farBox));
    settings.areaSign = -1;
    StripStockPaint(&current);
    EXPECT_TRUE(PaintAndListChanged(settings).empty());
}

TEST_F(DifferenceTest, ComparisonModelIsBuiltOncePerSignAndAllowance) {
    Build(&BasicModel, {Box(0.25, 0.25, 0.25, 4.75, 4.75, 4.75)});
    Build(&current, {Box(0.25, 0.25, 0.25, 4.75, 4.75, 5.25)});
    DifferencePaintSettings settings;
    PaintAndListChanged(settings);
    PaintAndListChanged(settings);
    EXPECT_EQ(ComparisonBuild.builds, 1);
    EXPECT_EQ(BasicModelState.comparisonPresent, 1);
    settings.allowance = 0.2;
    PaintAndListChanged(settings);
    EXPECT_EQ(ComparisonBuild.builds, 2);
    settings.areaSign = -1;
    PaintAndListChanged(settings);
    EXPECT_EQ(ComparisonBuild.builds, 3);
    // The comparison model's flags are all zero and it is grown within the grid.
    for (const EndSite& s : ListEnds(ComparisonModel)) {
        EXPECT_EQ(s.flag, 0);
    }
    EXPECT_TRUE(StockInvariantsHold(ComparisonModel));
}

TEST_F(DifferenceTest, GrownComparisonStaysWithinATenthOfTheGrid) {
    Build(&BasicModel, {Box(0, 0, 0, 10, 10, 10)});
    Build(&current, {Box(0, 0, 0, 10, 10, 10)});
    DifferencePaintSettings settings;
    settings.allowance = 0.5;
    EXPECT_TRUE(PaintAndListChanged(settings).empty());
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(FamilyRay(ComparisonModel, axis, 10, 10).ends, (std::vector<double>{-0.1, 10.1}));
        EXPECT_EQ(FamilyRay(ComparisonModel, axis, 0, 20).ends, (std::vector<double>{-0.1, 10.1}));
    }
}

TEST_F(DifferenceTest, TargetPenClearingAndEmphasis) {
    Build(&BasicModel, {Box(0.25, 0.25, 0.25, 4.75, 4.75, 4.75)});
    Build(&current, {Box(0.25, 0.25, 0.25, 4.75, 4.75, 5.25)});
    // Pens: 3 on the Z rays with x < 2, pen 4 elsewhere; every end painted.
    std::vector<std::uint8_t> flags;
    for (std::int64_t c = 0; c < current.z.cellCount; ++c) {
        const int n = current.z.counts[c];
        flags.assign(static_cast<std::size_t>(n), (c % current.nx) * kPitch < 2 ? 0x31 : 0x41);
        SetDexelCellFlags(c, current.z.capacity, current.z.counts, current.z.flags, flags.data());
    }
    PaintWholeStock(&current);
    // Paint mode with target pen 3 and clearing: pen 3 ends lose their paint bit, then the
    // marked ones of pen 3 get it back; nothing else changes.
    DifferencePaintSettings settings;
    settings.allowance = 0.125;
    settings.targetPenOn = 1;
    settings.targetPen = 3;
    auto pen3Unmarked = [](const EndSite& s) {
        return s.axis == 2 && s.point[0] < 2 && s.value != 5.25;
    };
    ExpectChanged(PaintAndListChanged(settings), pen3Unmarked, 0x30, CountEnds(pen3Unmarked));
    // Without a target, clearing strips every paint bit; only the marked ends are painted.
    settings.targetPenOn = 0;
    auto unmarkedPainted = [](const EndSite& s) {
        return s.point[2] <= 4.875 && (s.flag & 1) == 0;
    };
    const auto changed = PaintAndListChanged(settings);
    for (const EndSite& s : ListEnds(current)) {
        EXPECT_EQ((s.flag & 1) != 0, s.point[2] > 4.875);
    }
    EXPECT_FALSE(changed.empty());
    EXPECT_TRUE(std::all_of(changed.begin(), changed.end(), unmarkedPainted));
    // Emphasis: every end within the radius of a marked end, whatever its pen.
    StripStockPaint(&current);
    settings.targetPenOn = 1;
    settings.targetPen = 9;  // no end carries it: the emphasis ignores it
    settings.emphasisRadius = 0.75;
    std::vector<EndSite> marked;
    for (const EndSite& s : ListEnds(current)) {
        if (s.point[2] > 4.875) {
            marked.push_back(s);
        }
    }
    auto nearMarked = [&](const EndSite& s) {
        for (const EndSite& m : marked) {
            const double d2 = std::pow(s.point[0] - m.point[0], 2) +
                              std::pow(s.point[1] - m.point[1], 2) +
                              std::pow(s.point[2] - m.point[2], 2);
            if (d2 <= 0.75 * 0.75) {
                return true;
            }
        }
        return false;
    };
    const std::size_t near = CountEnds(nearMarked);
    ASSERT_GT(near, CountEnds([](const EndSite& s) { return s.point[2] > 4.875; }));
    const auto emphasised = PaintAndListChanged(settings);
    EXPECT_EQ(emphasised.size(), near);
    for (const EndSite& s : emphasised) {
        EXPECT_TRUE(nearMarked(s));
        EXPECT_EQ(s.flag & 1, 1);
    }
}

TEST_F(DifferenceTest, RefusalsAndFailuresLeaveTheStockAlone) {
    Build(&current, {Box(0.25, 0.25, 0.25, 4.75, 4.75, 5.25)}, true);
    const std::vector<EndSite> before = ListEnds(current);
    auto unchanged = [&] {
        const std::vector<EndSite> now = ListEnds(current);
        bool same = now.size() == before.size();
        for (std::size_t i = 0; same && i < now.size(); ++i) {
            same = now[i].flag == before[i].flag && now[i].value == before[i].value;
        }
        return same;
    };
    DifferencePaintSettings settings;
    // A basic model on another grid (one node more on x) is refused before anything is read.
    StockModel other;
    const int nodes[3] = {22, 21, 21};
    const double origin[3] = {0, 0, 0};
    ASSERT_EQ(BuildAnalyticStock(&other, nodes, kPitch, origin, BoxSolid(1, 1, 1, 2, 2, 2)), 1);
    EXPECT_EQ(PaintDifference(&current, other, settings), kStockOperationGridMismatch);
    FreeStockModel(&other);
    Build(&BasicModel, {Box(0.25, 0.25, 0.25, 4.75, 4.75, 4.75)});
    {
        ScopedStockHooks hooks;
        StockCallbacks.availableMemoryBytes = [] { return std::uint64_t{2000}; };
        EXPECT_EQ(PaintDifference(&current, BasicModel, settings), kStockOperationMemoryError);
        EXPECT_EQ(ComparisonModel.nx, 0);
        EXPECT_EQ(BasicModelState.comparisonPresent, 0);
    }
    ASSERT_EQ(PaintDifference(&current, BasicModel, settings), 1);  // builds the cache
    StripStockPaint(&current);
    const std::vector<EndSite> stripped = ListEnds(current);
    {
        ScopedStockHooks hooks;  // the marks no longer fit
        StockCallbacks.availableMemoryBytes = [] { return std::uint64_t{2000}; };
        EXPECT_EQ(PaintDifference(&current, BasicModel, settings), kStockOperationMemoryError);
    }
    {
        StockOperationScope running;
        EXPECT_EQ(PaintDifference(&current, BasicModel, settings), kStockOperationBusy);
    }
    const std::vector<EndSite> now = ListEnds(current);
    ASSERT_EQ(now.size(), stripped.size());
    for (std::size_t i = 0; i < now.size(); ++i) {
        EXPECT_EQ(now[i].flag, stripped[i].flag);
    }
    EXPECT_FALSE(unchanged());  // the successful painting did change flags
}

// A ray of more ends than its slot holds needs a mark block; one that finds no memory ends the
// painting as out of memory with the stock as it was, and the command says "Memory over!" and
// counts the shortage (unattended work then saves nothing and exits 2).
TEST_F(DifferenceTest, AMarkBlockWithoutMemoryLeavesTheStockAlone) {
    std::vector<AnalyticPart> slabs;
    for (int k = 0; k < 5; ++k) {
        slabs.push_back(Box(0.25, 0.25, 0.25 + 2 * k, 4.75, 4.75, 1.25 + 2 * k));
    }
    Build(&current, slabs, true);
    ASSERT_GT(*std::max_element(current.z.counts, current.z.counts + current.z.cellCount),
              current.z.capacity);
    slabs.pop_back();
    Build(&BasicModel, slabs);
    BasicModelState.present = 1;
    DifferencePaintSettings settings;
    ASSERT_EQ(PaintDifference(&current, BasicModel, settings), 1);  // builds the cache
    StripStockPaint(&current);
    const std::vector<EndSite> before = ListEnds(current);

    ScopedStockHooks hooks;
    StockCallbacks.allowAllocation = [](std::size_t bytes) { return bytes > 64; };  // no ray's
    static std::string shown;
    StockCallbacks.showMessageBox = [](WindowHandle, const char* text, const char*, unsigned) {
        shown = text;
        return 1;
    };
    const int shortages = CountMemoryShortages();
    EXPECT_EQ(PaintDifferenceWithBasicModel(&current, settings), kStockOperationMemoryError);
    EXPECT_EQ(shown, "Memory over!");
    EXPECT_EQ(CountMemoryShortages(), shortages + 1);
    const std::vector<EndSite> after = ListEnds(current);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].flag, before[i].flag) << i;
    }
}

// --- The command: loading the basic model through the hook ---------------------------------

int Loads = 0;

int FakeLoader(const StockModel& grid, StockModel* basic) {
    ++Loads;
    const int nodes[3] = {grid.nx, grid.ny, grid.nz};
    return BuildAnalyticStock(basic, nodes, grid.pitch, grid.origin,
                              BoxSolid(0.25, 0.25, 0.25, 4.75, 4.75, 4.75));
}

int FailingLoader(const StockModel&, StockModel* basic) {
    basic->nx = 0;
    return -20;
}

TEST_F(DifferenceTest, CommandLoadsTheBasicModelOnceAndMarksBlocksDirty) {
    ScopedStockHooks hooks;
    Build(&current, {Box(0.25, 0.25, 0.25, 4.75, 4.75, 5.25)});
    DifferencePaintSettings settings;
    StockCallbacks.loadBasicModel = FailingLoader;
    EXPECT_EQ(PaintDifferenceWithBasicModel(&current, settings), -20);
    EXPECT_EQ(BasicModelState.present, 0);
    StockCallbacks.loadBasicModel = FakeLoader;
    Loads = 0;
    std::fill(current.blocks.dirty, current.blocks.dirty + current.blocks.count, 0);
    ASSERT_EQ(PaintDifferenceWithBasicModel(&current, settings), 1);
    ASSERT_EQ(PaintDifferenceWithBasicModel(&current, settings), 1);
    EXPECT_EQ(Loads, 1);
    EXPECT_EQ(BasicModelState.present, 1);
    for (int b = 0; b < current.blocks.count; ++b) {
        EXPECT_EQ(current.blocks.dirty[b], 1);
    }
}

}  // namespace
}  // namespace mirexa
