// A slot cut through the cutting core, then rendered: the floor shows the tool's pen, only the
// blocks the cut touched get new lists, and an undo shows the uncut stock from the older lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "simulation/cutting_core.h"
#include "simulation/dexel_grid_view.h"
#include "stock/stock_grid.h"
#include "support/test_cutting_run.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/gl_colors.h"
#include "view_test_support.h"

namespace mirexa {
namespace {

using testing::ColorNear;
using testing::LitColor;

// The cutting inputs a test changes, put back when it ends.
struct ScopedCut {
    CutterSections cutter = TestRun.cutting.cutter;
    MotionRecord motion = RunKinematics.motion;
    KinematicsToolValues values = RunKinematics.toolValues;
    ~ScopedCut() {
        TestRun.cutting.cutter = cutter;
        RunKinematics.motion = motion;
        RunKinematics.toolValues = values;
        ReleaseCuttingBuffers();
        FreeToolTables();
    }
};

TEST(CutRender, SlotFloorShowsThePenAndOnlyItsBlocksAreRebuilt) {
    testing::OffscreenView view(120, 120);
    ASSERT_TRUE(view.ok());
    ScopedCut restore;
    DisplayUnitFactor = 40.0;
    DisplayModes.toolMode = 0;
    // The sample's FLAT D10 (tool 1) in pen 3.
    ASSERT_EQ(AllocToolTables(24), 1);
    ReadToolFileAt(RunSession, RunKinematics, RunTools, std::string(MIREXA_SAMPLES) + "/vmc3.ttl");
    ASSERT_EQ(ToolFile.status, 1);
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
    LoadCutterSections(RunTools.tool, &TestRun.cutting.cutter);
    TestRun.cutting.cutter.penBits = 3 << kDexelEndPenShift;
    const CutEndMarkRecord mark = MakeCutEndMark(TestRun.cutting.cutter.penBits, false, 0);
    RunKinematics.motion.motionType = 1;  // a feed move
    const double lo[3] = {-30, -30, -20}, hi[3] = {30, 30, 0};
    ASSERT_EQ(testing::MakeBoxStock(0, lo, hi, 0.5, 2), 1);
    StockModel& stock = StockModels[0];
    StockListNameTable& table = StockListNames[0];
    ASSERT_EQ(view.Render(), 1);
    const double floor[3] = {0, 0.3, -4};
    const double up[3] = {0, 0, 1};
    EXPECT_TRUE(ColorNear(view.PixelAt(floor), LitColor(GlColors.pens[0], up)));
    // Back up, then cut a slot 4 mm deep along X, its centre line off the node lattice.
    PushStockUndo(&stock);
    CopyPreviousListNameRow(stock, &table);
    BindDexelGridViews(&stock, TestRun.cutting.views);
    const double axis[3] = {0, 0, 1};
    for (double x = -20.0; x <= 20.0; x += 0.4) {
        const double point[3] = {x, 0.3, -4.0};
        CutStockAtToolPose(TestRun.cutting, RunSession, &stock, point, axis, mark);
    }
    const int dirty = testing::CountDirtyBlocks(stock);
    ASSERT_GT(dirty, 0);
    EXPECT_LT(dirty, stock.blocks.count / 3);
    std::vector<std::uint8_t> wasDirty(stock.blocks.dirty, stock.blocks.dirty + stock.blocks.count);
    ASSERT_EQ(view.Render(), 1);
    EXPECT_TRUE(ColorNear(view.PixelAt(floor), LitColor(GlColors.pens[3], up)));
    const double rim[3] = {0, 20, 0};
    EXPECT_TRUE(ColorNear(view.PixelAt(rim), LitColor(GlColors.pens[0], up)));
    int renamed = 0;
    for (int b = 0; b < stock.blocks.count; ++b) {
        const bool changed = table.names[b] != table.names[kStockBlockListRow + b];
        EXPECT_EQ(changed, wasDirty[static_cast<std::size_t>(b)] != 0) << "block " << b;
        renamed += changed ? 1 : 0;
    }
    EXPECT_EQ(renamed, dirty);
    // Undo: the uncut top is drawn again from the first slot's lists.
    PopStockUndo(&stock);
    ASSERT_EQ(view.Render(), 1);
    EXPECT_EQ(testing::CountDirtyBlocks(stock), 0);
    const double top[3] = {0, 0.3, 0};
    EXPECT_TRUE(ColorNear(view.PixelAt(top), LitColor(GlColors.pens[0], up)));
}

}  // namespace
}  // namespace mirexa
