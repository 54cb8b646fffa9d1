// Holder and shank checks: the section layouts against hand-worked values (LENGTH2, LENGTH3,
// the taper search's widened neck, ARBOR, ARBOR2 and ARBOR3 envelopes).
#include "simulation/holder_checks.h"

#include <gtest/gtest.h>

#include <cmath>

#include "config/tool_profile.h"
#include "cutting_test_support.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "simulation/cutting_core.h"
#include "simulation/interference_flags.h"
#include "simulation/mounted_tools.h"
#include "simulation/tool_length_report.h"
#include "stock/stock_grid.h"
#include "structure_test_support.h"
#include "support/stock_invariants.h"
#include "support/test_cutting_run.h"

namespace mirexa {
namespace {

using testing::PutFlatTool;
using testing::PutHolder;
using testing::PutLengthRecord;
using testing::ScopedCheckState;

constexpr double kDegree = M_PI / 180.0;

class SectionLayout : public ::testing::Test {
protected:
    ScopedCheckState state;
    // A 6 mm flat end mill (body radius 3) as tool 1.
    void SetUp() override {
        PutFlatTool(1, 6, 12);
    }
};

TEST_F(SectionLayout, LengthTwoNeckWidensToTheShank) {
    // LENGTH2 a 60, b 20 (neck start), c 15 (neck length), g 16 (shank diameter).
    PutLengthRecord(1, kToolLength2, {60, 20, 15, 0, 0, 16});
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
    ShankSectionValues s[3];
    ASSERT_EQ(LayoutShankSections(RunTools.tool, 20.0, -1.0, s), 3);
    EXPECT_DOUBLE_EQ(s[0].start, 20.0);
    EXPECT_DOUBLE_EQ(s[0].length, 15.0);
    EXPECT_DOUBLE_EQ(s[0].coneStartRadius, 3.0);
    EXPECT_DOUBLE_EQ(s[0].topRadius, 8.0);
    EXPECT_DOUBLE_EQ(s[0].windowRadius, 8.0);
    EXPECT_EQ(s[1].length, 0.0) << "LENGTH2 has no taper";
    EXPECT_DOUBLE_EQ(s[2].start, 35.0);
    EXPECT_DOUBLE_EQ(s[2].length, 25.0);
    EXPECT_DOUBLE_EQ(s[2].topRadius, 8.0);
    EXPECT_EQ(s[2].index, 2);
    // Laid out from another neck start with the search's long shank.
    ASSERT_EQ(LayoutShankSections(RunTools.tool, 31.5, kSearchShankLength, s), 3);
    EXPECT_DOUBLE_EQ(s[2].start, 46.5);
    EXPECT_DOUBLE_EQ(s[2].length, 500.0);
}

TEST_F(SectionLayout, LengthThreeNeckTaperAndShank) {
    // LENGTH3 a 60, b 20, c 10, neck angle p 1 deg, taper angle q 30 deg, g 16.
    PutLengthRecord(1, kToolLength3, {60, 20, 10, 1, 30, 16});
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
    ShankSectionValues s[3];
    ASSERT_EQ(LayoutShankSections(RunTools.tool, 20.0, -1.0, s), 3);
    const double neckTop = 3.0 + 10.0 * std::tan(1.0 * kDegree);
    const double taper = (8.0 - neckTop) / std::tan(30.0 * kDegree);
    EXPECT_NEAR(s[0].topRadius, neckTop, 1e-9);
    EXPECT_DOUBLE_EQ(s[0].length, 10.0);
    EXPECT_NEAR(s[1].coneStartRadius, neckTop, 1e-9);
    EXPECT_NEAR(s[1].length, taper, 1e-9);
    EXPECT_DOUBLE_EQ(s[1].start, 30.0);
    EXPECT_NEAR(s[2].start, 30.0 + taper, 1e-9);
    EXPECT_NEAR(s[2].length, 30.0 - taper, 1e-9);

    // The taper search widens the neck as the tool's own neck widens.
    ASSERT_EQ(LayoutTaperSearchSections(RunTools.tool, 4.0, s), 3);
    EXPECT_NEAR(s[0].topRadius, 3.0 + 4.0 * std::tan(1.0 * kDegree), 1e-9);
    EXPECT_DOUBLE_EQ(s[1].start, 24.0);
    EXPECT_DOUBLE_EQ(s[2].length, 500.0);
    // A neck that would pass the shank radius ends the search.
    EXPECT_EQ(LayoutTaperSearchSections(RunTools.tool, 400.0, s), -1);
    // A length of 0 leaves the neck out.
    ASSERT_EQ(LayoutTaperSearchSections(RunTools.tool, 0.0, s), 3);
    EXPECT_EQ(s[0].length, 0.0);
    EXPECT_DOUBLE_EQ(s[1].coneStartRadius, 3.0);

    // A neck angle of 0: no neck section; the taper starts at the body radius.
    PutLengthRecord(1, kToolLength3, {60, 20, 10, 0, 30, 16});
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
    ASSERT_EQ(LayoutShankSections(RunTools.tool, 20.0, -1.0, s), 3);
    EXPECT_EQ(s[0].length, 0.0);
    EXPECT_DOUBLE_EQ(s[1].coneStartRadius, 3.0);
    EXPECT_NEAR(s[1].length, 5.0 / std::tan(30.0 * kDegree), 1e-9);
}

TEST_F(SectionLayout, NoShankPassesWithoutAWiderShank) {
    ShankSectionValues s[3];
    PutLengthRecord(1, kToolLength1, {50});
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
    EXPECT_EQ(HasShankPasses(RunTools.tool), 0);
    EXPECT_EQ(LayoutShankSections(RunTools.tool, 0.0, -1.0, s), 0);
    EXPECT_EQ(LayoutTaperSearchSections(RunTools.tool, 1.0, s), 0);
    // A shank no wider than the body.
    PutLengthRecord(1, kToolLength2, {60, 20, 15, 0, 0, 6});
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
    EXPECT_EQ(HasShankPasses(RunTools.tool), 0);
}

TEST_F(SectionLayout, HolderSectionsFollowTheEnvelope) {
    PutLengthRecord(1, kToolLength1, {50});
    ShankSectionValues s[kArborMaxSegments];
    // ARBOR: cylinders.
    PutHolder(1, kArborCylinders, {20, 40}, {10, 30});
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
    ASSERT_EQ(LayoutHolderSections(RunTools.tool, 50.0, s), 2);
    EXPECT_DOUBLE_EQ(s[0].start, 50.0);
    EXPECT_DOUBLE_EQ(s[0].coneStartRadius, 10.0);
    EXPECT_DOUBLE_EQ(s[0].topRadius, 10.0);
    EXPECT_DOUBLE_EQ(s[1].start, 60.0);
    EXPECT_DOUBLE_EQ(s[1].windowRadius, 20.0);
    // Laid out from a searched holder start.
    ASSERT_EQ(LayoutHolderSections(RunTools.tool, 72.5, s), 2);
    EXPECT_DOUBLE_EQ(s[1].start, 82.5);

    // ARBOR2 that narrows (40, then 30, then 50): the first cone starts at the shank radius and
    // every window reaches the wide end of its section.
    PutHolder(1, kArborCones, {40, 30, 50}, {15, 25});
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
    ASSERT_EQ(LayoutHolderSections(RunTools.tool, 50.0, s), 2);
    EXPECT_DOUBLE_EQ(s[0].coneStartRadius, RunTools.tool.shankRadius);
    EXPECT_GE(s[0].topRadius, 20.0);
    EXPECT_GE(s[1].windowRadius, 20.0);
    EXPECT_GE(s[1].coneStartRadius, 20.0) << "no narrowing cone";
    EXPECT_GE(s[1].topRadius, s[1].coneStartRadius);

    // ARBOR3: code 0 a cylinder, otherwise a cone to the next radius.
    PutHolder(1, kArborCoded, {20, 30, 30}, {15, 25}, {1, 0});
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
    ASSERT_EQ(LayoutHolderSections(RunTools.tool, 50.0, s), 2);
    EXPECT_DOUBLE_EQ(s[0].coneStartRadius, 10.0);
    EXPECT_DOUBLE_EQ(s[0].topRadius, 15.0);
    EXPECT_DOUBLE_EQ(s[1].coneStartRadius, 15.0);
    EXPECT_DOUBLE_EQ(s[1].topRadius, 15.0);

    ToolTableSet.arbors[1].present = 0;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
    EXPECT_EQ(LayoutHolderSections(RunTools.tool, 50.0, s), 0);
}

}  // namespace
}  // namespace mirexa

namespace mirexa {
namespace {

using testing::BuildBoxStock;
using testing::PutFlatTool;
using testing::PutHolder;
using testing::PutLengthRecord;
using testing::ScopedCheckState;

// Every ray of the three families, ends with their flags and stamps.
bool SameRays(const StockModel& a, const StockModel& b) {
    const DexelFamily* fa[3] = {&a.z, &a.x, &a.y};
    const DexelFamily* fb[3] = {&b.z, &b.x, &b.y};
    for (int f = 0; f < 3; ++f) {
        if (fa[f]->cellCount != fb[f]->cellCount) {
            return false;
        }
        for (std::int64_t c = 0; c < fa[f]->cellCount; ++c) {
            if (!(ReadDexelRay(*fa[f], c) == ReadDexelRay(*fb[f], c))) {
                return false;
            }
        }
    }
    return true;
}

class ShankAndHolderPasses : public ::testing::Test {
protected:
    ScopedCheckState state;
    testing::ScopedCuttingState cutting;
    StockModel stock;
    StockModel reference;

    void SetUp() override {
        InstallInterferenceCheckHooks();
        PutFlatTool(1, 6, 12);
    }
    void TearDown() override {
        FreeStockModel(&stock);
        FreeStockModel(&reference);
        ReleaseHolderCheckBuffers();
    }
    static void UseTool() {
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
        LoadCutterSections(RunTools.tool, &TestRun.cutting.cutter);
    }
    // A 100 x 100 x 50 mm block at 0.5 mm.
    void Block(StockModel* model) {
        const double box[6] = {0, 0, 0, 100, 100, 50};
        BuildBoxStock(model, box, 0.5);
    }
    // One cut with the tip at (50, 50, z), axis +Z, as a step makes it.
    void CutAt(StockModel* model, double z) {
        const double point[3] = {50, 50, z}, axis[3] = {0, 0, 1};
        ClearInterferenceFlags(TestRun.cutting.flags);
        removed_ =
            CutStockAtToolPose(TestRun.cutting, RunSession, model, point, axis, testing::CutMark);
    }
    double removed_ = 0.0;  // by the last CutAt (mm^3)
};

TEST_F(ShankAndHolderPasses, ArborCheckModesOnANeckDrivenIntoTheStock) {
    // LENGTH2: neck from 20 mm (radius 3 widening to 8 over 15 mm), tool length 60.
    PutLengthRecord(1, kToolLength2, {60, 20, 15, 0, 0, 16});
    UseTool();
    Block(&reference);
    Checks.arborCheck = 0;
    CutAt(&reference, 20.0);  // the neck starts at z = 40, 10 mm inside the block
    const double cutterVolume = removed_;
    EXPECT_EQ(TestRun.cutting.flags.taper, 0);

    // OUTPUT: the shank only probes; the stock is the cutter's alone, byte for byte.
    Block(&stock);
    Checks.arborCheck = 1;
    CutAt(&stock, 20.0);
    EXPECT_TRUE(SameRays(stock, reference));
    EXPECT_EQ(removed_, cutterVolume);
    EXPECT_EQ(TestRun.cutting.flags.taper, 0);

    // CUT: the neck's cone is cut away without a flag: pi * integral over t of 0 .. 10 of
    // (3 + t/3)^2 - 3^2 = pi (100 + 1000/27) mm^3 beyond the cutter's hole.
    Block(&stock);
    Checks.arborCheck = 2;
    CutAt(&stock, 20.0);
    const double neck = M_PI * (100.0 + 1000.0 / 27.0);
    EXPECT_NEAR(removed_ - cutterVolume, neck, 0.06 * neck);
    EXPECT_EQ(TestRun.cutting.flags.taper, 0);
    EXPECT_EQ(TestRun.cutting.flags.contact, 1);
    EXPECT_FALSE(SameRays(stock, reference));
    EXPECT_TRUE(StockInvariantsHold(stock, true));
    StockModel cut;
    Block(&cut);
    CutAt(&cut, 20.0);
    // YES and STOP cut the same and raise the flag.
    for (int mode : {3, 4}) {
        Block(&stock);
        Checks.arborCheck = mode;
        CutAt(&stock, 20.0);
        EXPECT_EQ(TestRun.cutting.flags.taper, 1) << mode;
        EXPECT_EQ(TestRun.cutting.flags.arbor, 0) << mode;
        EXPECT_TRUE(SameRays(stock, cut)) << mode;
    }
    // Clear of the block: nothing, whatever the mode.
    Block(&stock);
    CutAt(&stock, 45.0);
    EXPECT_EQ(TestRun.cutting.flags.taper, 0);
    FreeStockModel(&cut);
}

TEST_F(ShankAndHolderPasses, NeckSearchFindsTheFirstLatticeValueThatClears) {
    // The neck, laid out from the searched length, clears the block's top (z = 50) once its
    // start lies above it: with the tip 12.34 mm deep that is at 12.4 mm, the first value of the
    // 0.1 mm lattice not below 12.34.
    PutLengthRecord(1, kToolLength2, {60, 20, 15, 0, 0, 16});
    UseTool();
    Block(&stock);
    Checks.arborCheck = 1;
    CutAt(&stock, 50.0 - 12.34);
    ToolLengthMeasurements& m = TestRun.cutting.measured;
    EXPECT_NEAR(m.neckLu, 12.4, 1e-9);
    EXPECT_NE(m.neckSearch[0], m.neckSearch[1]) << "settled";
    EXPECT_EQ(m.neckLt, 0.0) << "LENGTH2: the taper search tries the tool's own neck, clear";
    EXPECT_NEAR(m.stickOut, 0.0, 1e-12) << "no holder";
    // The searches only grow: a shallower pose keeps the length, a deeper one raises it.
    CutAt(&stock, 50.0 - 5.0);
    EXPECT_NEAR(m.neckLu, 12.4, 1e-9);
    CutAt(&stock, 50.0 - 20.05);
    EXPECT_NEAR(m.neckLu, 20.1, 1e-9);
}

TEST_F(ShankAndHolderPasses, TaperSearchEndsWithMinusOneWhenNoNeckLengthClears) {
    // LENGTH3 with a neck of 1 degree starting 5 mm above the tip: 25 mm deep, every neck
    // length leaves the widened neck or the taper in the block; the search gives up at 199.
    PutLengthRecord(1, kToolLength3, {60, 5, 10, 1, 30, 16});
    UseTool();
    Block(&stock);
    Checks.arborCheck = 1;
    CutAt(&stock, 25.0);
    EXPECT_EQ(TestRun.cutting.measured.neckLt, -1.0);
    CutAt(&stock, 45.0);
    EXPECT_EQ(TestRun.cutting.measured.neckLt, -1.0) << "ended for the tool";
}

TEST_F(ShankAndHolderPasses, HolderOfALengthOneToolCutsFlagsAndSearches) {
    // LENGTH 50 (no neck or taper pass) with a 40 mm holder 30 mm long.
    PutLengthRecord(1, kToolLength1, {50});
    PutHolder(1, kArborCylinders, {40}, {30});
    UseTool();
    EXPECT_EQ(HasShankPasses(RunTools.tool), 0);
    // The holder's bottom 5 mm inside the block.
    Block(&reference);
    Checks.arborCheck = 2;
    CutAt(&reference, -5.0);
    EXPECT_EQ(TestRun.cutting.flags.arbor, 0);
    const double ring = M_PI * (400.0 - 9.0) * 5.0;  // the holder's disc, 5 mm, around the hole
    const double cutterVolume = M_PI * 9.0 * 50.0;
    EXPECT_NEAR(removed_, cutterVolume + ring, 0.05 * (cutterVolume + ring));
    Block(&stock);
    Checks.arborCheck = 3;
    CutAt(&stock, -5.0);
    EXPECT_EQ(TestRun.cutting.flags.arbor, 1);
    EXPECT_EQ(TestRun.cutting.flags.taper, 0);
    EXPECT_TRUE(SameRays(stock, reference));
    // OUTPUT: the holder must start 37.3 mm above a tip 37.25 mm below the top.
    Block(&stock);
    Checks.arborCheck = 1;
    CutAt(&stock, 50.0 - 37.25);
    EXPECT_NEAR(TestRun.cutting.measured.stickOut, 37.3, 1e-9);
    EXPECT_EQ(TestRun.cutting.measured.neckLu, 0.0);
    // ARBOR CHECK 0: nothing beyond the cutter.
    Block(&stock);
    Block(&reference);
    Checks.arborCheck = 0;
    CutAt(&stock, -5.0);
    EXPECT_NEAR(removed_, cutterVolume, 0.05 * cutterVolume);
    EXPECT_EQ(TestRun.cutting.flags.arbor, 0);
}

}  // namespace
}  // namespace mirexa
