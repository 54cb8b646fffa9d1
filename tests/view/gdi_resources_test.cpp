// Edited colours flag exactly the display lists that show them (each colour alone, with its
// group shown and hidden), the pens and brush live from start-up to shutdown without leaks, and
// the 22 cursors of the resources load with their pictures.
#include "view/gdi_resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "config/color_file.h"
#include "config/config_records.h"
#include "platform/cursor.h"
#include "platform/gdi_objects.h"
#include "resources/cursor_images.h"
#include "stock/stock_grid.h"
#include "stock/stock_model.h"
#include "view/display_lists.h"
#include "view/gl_colors.h"
#include "view/stock_display.h"
#include "view_test_support.h"

namespace mirexa {
namespace {

// Puts back what the tests change.
struct ScopedColors {
    ColorSet live = LiveColors;
    ColorSet edit = EditColors;
    DisplayModeSettings modes = DisplayModes;
    GlColorTable gl = GlColors;
    PluginPenColorLists plugin = PluginPenColors;
    ~ScopedColors() {
        DeleteGdiResources();
        LiveColors = live;
        EditColors = edit;
        DisplayModes = modes;
        GlColors = gl;
        PluginPenColors = plugin;
    }
};

// Every flag ApplyColorSettings may set, cleared; the stock's style list marked as built.
void ClearFlags(StockModel* model) {
    SceneDirtyFlags& d = SceneDirty;
    for (auto* flag : {&d.triad, &d.axes, &d.machineBase, &d.path, &d.pathNoRotary, &d.tools,
                       &d.headParts, &d.head1, &d.head2, &d.tableParts, &d.table1, &d.table2,
                       &d.vice, &d.pickedPoint, &d.basicShape}) {
        *flag = 0;
    }
    for (auto& flag : d.stock) {
        flag = 0;
    }
    std::fill(model->blocks.dirty, model->blocks.dirty + model->blocks.count, std::uint8_t{0});
    StyleListState[CurrentStockIndex.load()].built = 1;
}

// The colour of the background brush (a new brush may reuse the old one's handle).
ColorRef BrushColor() {
    GdiObjectInfo info;
    return GetGdiObjectInfo(GdiResources.backgroundBrush, &info) ? info.color : 0xFFFFFFFFu;
}

// The names of the flags that are set, "stock" when the whole current stock is marked (every
// block, its undo slot's flag and its style list), "brush" when the background brush has a new
// colour.
std::set<std::string> SetFlags(const StockModel& model, ColorRef oldBrushColor) {
    std::set<std::string> out;
    const SceneDirtyFlags& d = SceneDirty;
    const std::pair<const char*, const std::atomic<std::uint8_t>*> named[] = {
        {"triad", &d.triad},
        {"axes", &d.axes},
        {"machineBase", &d.machineBase},
        {"path", &d.path},
        {"pathNoRotary", &d.pathNoRotary},
        {"tools", &d.tools},
        {"headParts", &d.headParts},
        {"head1", &d.head1},
        {"head2", &d.head2},
        {"tableParts", &d.tableParts},
        {"table1", &d.table1},
        {"table2", &d.table2},
        {"vice", &d.vice},
        {"pickedPoint", &d.pickedPoint},
        {"basicShape", &d.basicShape}};
    for (const auto& [name, flag] : named) {
        if (flag->load() != 0) {
            out.insert(name);
        }
    }
    const bool allBlocks = std::all_of(model.blocks.dirty, model.blocks.dirty + model.blocks.count,
                                       [](std::uint8_t b) { return b != 0; });
    const bool anyBlock = std::any_of(model.blocks.dirty, model.blocks.dirty + model.blocks.count,
                                      [](std::uint8_t b) { return b != 0; });
    const int slot = model.undo.currentSlot;
    const bool slotFlag = SceneDirty.stock[slot] != 0;
    const bool styleReset = StyleListState[CurrentStockIndex.load()].built == 0;
    if (allBlocks && slotFlag && styleReset) {
        out.insert("stock");
    } else if (anyBlock || slotFlag || styleReset) {
        out.insert("part of the stock");
    }
    if (BrushColor() != oldBrushColor) {
        out.insert("brush");
    }
    return out;
}

// One colour of the dialog: its field, its GL entry, its alpha, and what it flags when shown.
struct ColorCase {
    const char* name;
    ColorRef ColorSet::*field;
    float (GlColorTable::*gl)[4];
    float alpha;
    std::set<std::string> shown;
    bool hideable;  // flags nothing while its group is hidden
};

TEST(ApplyColorSettings, EachColourFlagsExactlyTheListsThatShowIt) {
    testing::OffscreenView view(32, 32);
    ASSERT_TRUE(view.ok());
    ScopedColors restore;
    const double lo[3] = {0, 0, 0}, hi[3] = {10, 10, 10};
    ASSERT_EQ(testing::MakeBoxStock(0, lo, hi, 1.0, 2), 1);
    StockModel& model = StockModels[0];
    DisplayModes.workAlpha = 0.3f;
    DisplayModes.baseAlpha = 0.4f;
    DisplayModes.toolAlpha = 0.6f;
    DisplayModes.machineAlpha = 0.7f;
    ASSERT_EQ(CreateGdiResources(), 1);

    const std::vector<ColorCase> cases = {
        {"paint", &ColorSet::penki, &GlColorTable::paint, 0.3f, {"stock"}, false},
        {"base", &ColorSet::base, &GlColorTable::base, 0.4f, {"basicShape"}, false},
        {"top path", &ColorSet::topPath, &GlColorTable::topPath, 1.0f, {"path"}, true},
        {"top path 2", &ColorSet::topPath2, &GlColorTable::topPath2, 1.0f, {"pathNoRotary"}, true},
        {"construction",
         &ColorSet::construction,
         &GlColorTable::construction,
         1.0f,
         {"path", "pathNoRotary"},
         true},
        {"tool top", &ColorSet::toolTop, &GlColorTable::toolTop, 0.6f, {"tools"}, true},
        {"tool side", &ColorSet::toolSide, &GlColorTable::toolSide, 0.6f, {"tools"}, true},
        {"arbor", &ColorSet::arbor, &GlColorTable::arbor, 0.6f, {"tools"}, true},
        {"head", &ColorSet::head, &GlColorTable::head, 0.7f, {"headParts"}, true},
        {"head(*)",
         &ColorSet::headOneRotary,
         &GlColorTable::headOneRotary,
         0.7f,
         {"headParts"},
         true},
        {"head(**)",
         &ColorSet::headTwoRotary,
         &GlColorTable::headTwoRotary,
         0.7f,
         {"headParts"},
         true},
        {"head1", &ColorSet::head1, &GlColorTable::head1, 0.7f, {"head1"}, true},
        {"head2", &ColorSet::head2, &GlColorTable::head2, 0.7f, {"head2"}, true},
        {"table", &ColorSet::table, &GlColorTable::table, 0.7f, {"tableParts"}, true},
        {"table(*)",
         &ColorSet::tableOneRotary,
         &GlColorTable::tableOneRotary,
         0.7f,
         {"tableParts"},
         true},
        {"table1", &ColorSet::table1, &GlColorTable::table1, 0.7f, {"table1"}, true},
        {"table2", &ColorSet::table2, &GlColorTable::table2, 0.7f, {"table2"}, true},
        {"vice", &ColorSet::vice, &GlColorTable::vice, 0.7f, {"vice"}, true},
        {"basic", &ColorSet::basic, &GlColorTable::basic, 0.7f, {"machineBase"}, true},
        {"background", &ColorSet::background, &GlColorTable::background, 1.0f, {"brush"}, false},
        {"work", &ColorSet::work, nullptr, 0.3f, {"stock"}, false},
    };
    int step = 0;
    for (const int shown : {1, 0}) {
        DisplayModes.pathDisplay = DisplayModes.pathDisplay2 = shown;
        DisplayModes.toolMode = DisplayModes.machineMode = shown;
        for (const ColorCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (shown ? " shown" : " hidden"));
            ++step;
            // A colour whose every channel differs from before.
            const ColorRef color = MakeColorRef(3 * step, 255 - step, 100 + step);
            CopyColorSettingsToEdit();
            EditColors.*c.field = color;
            ClearFlags(&model);
            const ColorRef brush = BrushColor();
            EXPECT_EQ(ApplyColorSettings(), 1);
            EXPECT_EQ(LiveColors.*c.field, color);
            const std::set<std::string> expected =
                shown || !c.hideable ? c.shown : std::set<std::string>{};
            EXPECT_EQ(SetFlags(model, brush), expected);
            const float* entry = c.gl != nullptr ? GlColors.*c.gl : GlColors.pens[0];
            EXPECT_FLOAT_EQ(entry[0], (3 * step) / 255.0f);
            EXPECT_FLOAT_EQ(entry[1], (255 - step) / 255.0f);
            EXPECT_FLOAT_EQ(entry[2], (100 + step) / 255.0f);
            EXPECT_FLOAT_EQ(entry[3], c.alpha);
        }
    }
    // The new brush has the new background colour; the old one is gone.
    GdiObjectInfo info;
    ASSERT_EQ(GetGdiObjectInfo(GdiResources.backgroundBrush, &info), 1);
    EXPECT_EQ(info.kind, kGdiBrush);
    EXPECT_EQ(info.color, LiveColors.background);

    // Nothing edited: nothing converted, nothing flagged.
    CopyColorSettingsToEdit();
    ClearFlags(&model);
    GlColors.vice[0] = -1.0f;  // a conversion would overwrite it
    const ColorRef brush = BrushColor();
    EXPECT_EQ(ApplyColorSettings(), 0);
    EXPECT_TRUE(SetFlags(model, brush).empty());
    EXPECT_EQ(GlColors.vice[0], -1.0f);
}

TEST(ApplyColorSettings, PensDirtyTheStockAndKeepTheirGlColourInToolPenMode) {
    testing::OffscreenView view(32, 32);
    ASSERT_TRUE(view.ok());
    ScopedColors restore;
    const double lo[3] = {0, 0, 0}, hi[3] = {10, 10, 10};
    ASSERT_EQ(testing::MakeBoxStock(0, lo, hi, 1.0, 2), 1);
    StockModel& model = StockModels[0];
    for (const int toolPen : {0, 1}) {
        SCOPED_TRACE(toolPen);
        DisplayModes.colorMode = toolPen;
        const float before[4] = {GlColors.pens[7][0], GlColors.pens[7][1], GlColors.pens[7][2],
                                 GlColors.pens[7][3]};
        CopyColorSettingsToEdit();
        EditColors.pens[7] = LiveColors.pens[7] ^ 0x00FFFFFFu;
        ClearFlags(&model);
        EXPECT_EQ(ApplyColorSettings(), 1);
        EXPECT_EQ(LiveColors.pens[7], EditColors.pens[7]);
        EXPECT_EQ(SetFlags(model, BrushColor()), std::set<std::string>{"stock"});
        if (toolPen) {
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(GlColors.pens[7][i], before[i]);
            }
        } else {
            EXPECT_FLOAT_EQ(GlColors.pens[7][0], (LiveColors.pens[7] & 0xFF) / 255.0f);
        }
    }
    // Without a stock a pen change flags no stock (and does not fail).
    FreeStockModel(&model);
    model = StockModel{};
    DisplayModes.colorMode = 0;
    CopyColorSettingsToEdit();
    EditColors.pens[3] ^= 0x000000FFu;
    EXPECT_EQ(ApplyColorSettings(), 1);
}

TEST(GdiResources, PensBrushAndPluginPensAreMadeOnceAndAllDeleted) {
    ScopedColors restore;
    DeleteGdiResources();
    const int before = CountLiveGdiObjects();
    // Two plug-in lists of 2 and 10 colours; the counts beyond the tables are clamped.
    PluginPenColors = PluginPenColorLists{};
    PluginPenColors.listCount = 5;
    PluginPenColors.colorCount[0] = 2;
    PluginPenColors.colorCount[1] = 40;
    PluginPenColors.colorCount[2] = -3;
    PluginPenColors.colors[0][1] = MakeColorRef(1, 2, 3);
    LiveColors.background = MakeColorRef(9, 8, 7);
    ASSERT_EQ(CreateGdiResources(), 1);
    const int pluginPens = (2 + 10) * 3;
    EXPECT_EQ(CountLiveGdiObjects() - before, 3 + pluginPens);
    GdiObjectInfo info;
    ASSERT_EQ(GetGdiObjectInfo(GdiResources.greyPen, &info), 1);
    EXPECT_EQ(info.kind, kGdiPen);
    EXPECT_EQ(info.style, kPenSolid);
    EXPECT_EQ(info.width, 1);
    EXPECT_EQ(info.color, 0xBFBFBFu);
    ASSERT_EQ(GetGdiObjectInfo(GdiResources.nullPen, &info), 1);
    EXPECT_EQ(info.style, kPenNull);
    ASSERT_EQ(GetGdiObjectInfo(GdiResources.backgroundBrush, &info), 1);
    EXPECT_EQ(info.color, MakeColorRef(9, 8, 7));
    const int styles[3] = {kPenSolid, kPenDot, kPenDashDot};
    for (int s = 0; s < 3; ++s) {
        ASSERT_EQ(GetGdiObjectInfo(GdiResources.pluginPens[0][1][s], &info), 1);
        EXPECT_EQ(info.style, styles[s]);
        EXPECT_EQ(info.width, 1);
        EXPECT_EQ(info.color, MakeColorRef(1, 2, 3));
    }
    // The colour table is converted again (a setting changed) without making pens twice.
    SetWorkPenColors(LiveColors, DisplayModes);
    FillGlColorTable(LiveColors, DisplayModes);
    EXPECT_EQ(CountLiveGdiObjects() - before, 3 + pluginPens);
    // The shell's objects go with the rest.
    ASSERT_EQ(AddShellGdiObject(CreateSolidBrushObject(0)), 1);
    for (int i = 1; i < GdiResourceSet::kShellObjectCapacity; ++i) {
        ASSERT_EQ(AddShellGdiObject(CreateSolidBrushObject(0)), 1);
    }
    const GdiObjectHandle extra = CreateSolidBrushObject(0);
    EXPECT_EQ(AddShellGdiObject(extra), 0);
    EXPECT_EQ(DeleteGdiObject(extra), 1);
    DeleteGdiResources();
    EXPECT_EQ(CountLiveGdiObjects(), before);
    DeleteGdiResources();  // nothing left to delete twice
    EXPECT_EQ(CountLiveGdiObjects(), before);
}

TEST(ViewCursors, TheResourcesGiveEveryCursorAPictureAndTheIdleCursorFollowsTheTool) {
    ScopedColors restore;
    EXPECT_EQ(RegisterProgramCursors(), kProgramCursorCount);
    ASSERT_EQ(kProgramCursorCount, kViewCursorCount);
    std::set<std::string> pictures;
    for (int i = 0; i < kViewCursorCount; ++i) {
        SCOPED_TRACE(ViewCursorIds[i]);
        EXPECT_EQ(ProgramCursors[i].id, ViewCursorIds[i]);
        // Every cursor shows black on white somewhere, and no two look alike.
        std::string picture;
        for (int row = 0; row < kCursorRows; ++row) {
            picture += ProgramCursors[i].rows[row];
        }
        EXPECT_NE(picture.find('#'), std::string::npos);
        EXPECT_NE(picture.find('+'), std::string::npos);
        EXPECT_TRUE(pictures.insert(picture).second);
    }
    ASSERT_EQ(CreateGdiResources(), 1);
    for (int i = 0; i < kViewCursorCount; ++i) {
        CursorImage image;
        ASSERT_EQ(GetCursorImage(GdiResources.cursors[i], &image), 1) << ViewCursorIds[i];
        EXPECT_EQ(image.rows, ProgramCursors[i].rows);
        EXPECT_EQ(GdiResources.cursors[i], GetViewCursor(ViewCursorIds[i]));
    }
    EXPECT_EQ(GetViewCursor(256), nullptr);  // no such cursor
    const CursorHandle previous = GetCursorHandle();
    EXPECT_EQ(GetCursorName(SetIdleCursor(0)), CURSOR_ARROW);
    EXPECT_EQ(GetCursorName(SetIdleCursor(kViewMouseModeRotate)), "#238");
    EXPECT_EQ(GetCursorName(GetCursorHandle()), "#238");
    for (const int tool : {1, 9, 12, 14}) {
        EXPECT_EQ(GetCursorName(SetIdleCursor(tool)), "#258");
    }
    SetCursorHandle(previous);
}

}  // namespace
}  // namespace mirexa
