// Tool tables: allocation bounds and value-initialisation, and the two cutter formulas checked
// against hand-worked values.
#include "config/tool_tables.h"

#include <gtest/gtest.h>

#include <cmath>

namespace mirexa {
namespace {

class ToolTablesTest : public ::testing::Test {
protected:
    void TearDown() override {
        FreeToolTables();
    }
};

TEST_F(ToolTablesTest, AllocationCoversNumbersZeroToMaxMagazineAndStartsCleared) {
    ASSERT_EQ(AllocToolTables(200), 1);
    EXPECT_EQ(ToolTableSet.maxMagazine, 200);
    for (auto size :
         {ToolTableSet.reserved.size(), ToolTableSet.tools.size(), ToolTableSet.lengths.size(),
          ToolTableSet.arbors.size(), ToolTableSet.feedTables.size(),
          ToolTableSet.loadLimits.size(), ToolTableSet.shifts.size(), ToolTableSet.pens.size()}) {
        EXPECT_EQ(size, 201u);
    }
    EXPECT_EQ(IsToolNumberInTables(0), 1);
    EXPECT_EQ(IsToolNumberInTables(200), 1);
    EXPECT_EQ(IsToolNumberInTables(201), 0);
    EXPECT_EQ(IsToolNumberInTables(-1), 0);
    // Every entry starts cleared, the holder's eleventh diameter included.
    for (const ArborProfile& arbor : ToolTableSet.arbors) {
        EXPECT_EQ(arbor.present, 0u);
        EXPECT_EQ(arbor.diameters[kArborMaxSegments], 0.0f);
    }
    EXPECT_EQ(ToolTableSet.tools[0].d, 0.0f);
    EXPECT_TRUE(ToolTableSet.tools[200].name.empty());
}

TEST_F(ToolTablesTest, ReallocationClearsWhatTheOldTablesHeld) {
    ASSERT_EQ(AllocToolTables(10), 1);
    ToolTableSet.tools[3].name = "ENDMILL D10";
    ToolTableSet.tools[3].d = 10.0f;
    ToolTableSet.pens[3] = 7;
    ASSERT_EQ(AllocToolTables(5), 1);
    EXPECT_EQ(ToolTableSet.tools.size(), 6u);
    EXPECT_TRUE(ToolTableSet.tools[3].name.empty());
    EXPECT_EQ(ToolTableSet.tools[3].d, 0.0f);
    EXPECT_EQ(ToolTableSet.pens[3], 0);
}

TEST_F(ToolTablesTest, OutOfRangeCountsAreRefusedAndLeaveNoTables) {
    for (std::int32_t bad : {0, -1, -2147483647 - 1, kMaxMagazineLimit + 1, 2147483647}) {
        ASSERT_EQ(AllocToolTables(20), 1);
        EXPECT_EQ(AllocToolTables(bad), 0) << bad;
        EXPECT_EQ(ToolTableSet.maxMagazine, 0);
        EXPECT_TRUE(ToolTableSet.tools.empty());
        EXPECT_EQ(IsToolNumberInTables(0), 0);
    }
    EXPECT_EQ(AllocToolTables(kMaxMagazineLimit), 1);
}

TEST_F(ToolTablesTest, FreeIsHarmlessTwice) {
    FreeToolTables();
    FreeToolTables();
    EXPECT_EQ(ToolTableSet.maxMagazine, 0);
}

TEST(ToolFormulasTest, CornerRadiusOffsetTakesTheChordBelowTheArcCentre) {
    EXPECT_DOUBLE_EQ(CornerRadiusOffset(10, 2, 3), 1.0);                   // f >= r
    EXPECT_DOUBLE_EQ(CornerRadiusOffset(10, 2, 2), 1.0);                   // f == r
    EXPECT_DOUBLE_EQ(CornerRadiusOffset(10, 2, 1), 3.0 - std::sqrt(3.0));  // s = sqrt(4 - 1)
    EXPECT_DOUBLE_EQ(CornerRadiusOffset(10, 2, 0), 3.0);                   // tip at the arc end
    // A negative f lies below the arc: the root's argument is clamped at 0.
    EXPECT_DOUBLE_EQ(CornerRadiusOffset(10, 2, -1), 3.0);
}

TEST(ToolFormulasTest, ClampTipWidthTakesTangentsOf45AsExactlyOne) {
    // Both 45: the upper bound is 2 (d/2 + (h - d/2)) = 2h exactly; the lower bound is
    // 2 (sin45 r / tan 90 + d/2), which is d up to the huge tangent of 90 deg.
    EXPECT_EQ(ClampTipWidth(10, 0, 45, 45, 30, 100), 60.0);
    EXPECT_NEAR(ClampTipWidth(10, 1, 45, 45, 30, 0), 10.0, 1e-9);
    // alpha 0, beta 45: lower 2 (sin45 r / tan 67.5 + d/2); upper 2 (d/2 + h).
    const double lower = 2.0 * (std::sin(M_PI / 4) * 2.0 / std::tan(67.5 * M_PI / 180) + 5.0);
    EXPECT_NEAR(ClampTipWidth(10, 2, 0, 45, 20, 0), lower, 1e-12);
    EXPECT_EQ(ClampTipWidth(10, 2, 0, 45, 20, 1000), 50.0);
    // A width between the bounds stays.
    EXPECT_EQ(ClampTipWidth(10, 2, 0, 45, 20, 30), 30.0);
    // beta 10: upper 2 (5 + 20 tan 10).
    EXPECT_NEAR(ClampTipWidth(10, 0, 0, 10, 20, 1000), 2.0 * (5.0 + 20.0 * std::tan(M_PI / 18)),
                1e-12);
}

}  // namespace
}  // namespace mirexa
