// The main menu's state on the menu model of resource 109: check marks and choice groups, the
// stock items, and the run areas, which must not shift when plug-in items are inserted.
#include "shell/menu_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "resources/main_menu.h"

namespace mirexa {
namespace {

int State(MenuHandle menu, unsigned command) {
    return GetMenuEntryState(menu, command, MENU_BYCOMMAND);
}
int Checked(MenuHandle menu, unsigned command) {
    return (State(menu, command) & MENU_CHECKED) != 0;
}
int Grey(MenuHandle menu, unsigned command) {
    return (State(menu, command) & MENU_GRAYED) != 0;
}

// Every item's state in menu order, for comparing a whole tree before and after.
void Snapshot(MenuHandle menu, std::vector<int>* states) {
    for (int i = 0; i < GetMenuEntryCount(menu); ++i) {
        states->push_back(GetMenuEntryState(menu, static_cast<unsigned>(i), MENU_BYPOSITION));
        if (MenuHandle sub = GetSubMenuHandle(menu, i)) {
            Snapshot(sub, states);
        }
    }
}

class MenuStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        menu = LoadMenuResource(IDR_MAIN_MENU);
    }
    void TearDown() override {
        DestroyMenuHandle(menu);
    }
    MenuHandle menu = {};
};

TEST_F(MenuStateTest, EachChoiceGroupChecksExactlyOneItem) {
    struct Group {
        std::vector<unsigned> items;
        int MenuCheckInputs::*value;
    };
    const std::vector<Group> groups = {
        {{IDM_ARBOR_CHECK_0, IDM_ARBOR_CHECK_1, IDM_ARBOR_CHECK_2, IDM_ARBOR_CHECK_OTHER},
         &MenuCheckInputs::arborCheck},
        {{IDM_HEIGHT_CHECK_0, IDM_HEIGHT_CHECK_1, IDM_HEIGHT_CHECK_OTHER},
         &MenuCheckInputs::heightCheck},
        {{IDM_CHIP_CHECK_0, IDM_CHIP_CHECK_1, IDM_CHIP_CHECK_OTHER}, &MenuCheckInputs::chipCheck},
        {{IDM_TCP_NORMAL, IDM_TCP_FORCED_TYPE1, IDM_TCP_FORCED_TYPE2},
         &MenuCheckInputs::toolCenterPointMode},
        {{IDM_STOP_NONE, IDM_STOP_M00, IDM_STOP_M01, IDM_STOP_SINGLE_BLOCK, IDM_STOP_AT_POSITION},
         &MenuCheckInputs::stopMode},
    };
    for (const Group& group : groups) {
        const int last = static_cast<int>(group.items.size()) - 1;
        // Every value in turn, then values beyond the group, which take its last item.
        for (int value : {0, 1, last, last + 1, 7}) {
            MenuCheckInputs inputs;
            inputs.*group.value = value;
            ApplyMenuChecks(menu, inputs);
            for (int i = 0; i <= last; ++i) {
                EXPECT_EQ(Checked(menu, group.items[i]), i == std::min(value, last))
                    << group.items[i] << " for value " << value;
            }
        }
    }
}

TEST_F(MenuStateTest, ToggleChecksColourModeGreysAndThePluginItem) {
    MenuCheckInputs inputs;
    inputs.rapidCutCheck = 1;
    inputs.perspective = 1;
    inputs.colorMode = 1;
    inputs.stockDisplayStyle = 2;
    ApplyMenuChecks(menu, inputs);
    EXPECT_EQ(Checked(menu, IDM_CHECK_RAPID_ON), 1);
    EXPECT_EQ(Checked(menu, IDM_CHECK_RAPID_OFF), 0);
    EXPECT_EQ(Checked(menu, IDM_PERSPECTIVE), 1);
    EXPECT_EQ(Checked(menu, IDM_SHOW_AXES), 0);
    EXPECT_EQ(Checked(menu, IDM_COLOR_MODE_TOOL_PEN), 1);
    EXPECT_EQ(Grey(menu, IDM_COLOR_MODE_TOOL_PEN), 1);
    EXPECT_EQ(Grey(menu, IDM_COLOR_MODE_NORMAL), 1);
    inputs.stockDisplayStyle = 0;
    ApplyMenuChecks(menu, inputs);
    EXPECT_EQ(Grey(menu, IDM_COLOR_MODE_NORMAL), 0);
    // The NC communication item is the plug-in's: absent without it, checked while switched off.
    EXPECT_EQ(State(menu, IDM_DISABLE_NCCOM), -1);
    AppendMenuEntry(GetSubMenuHandle(menu, MAIN_MENU_OPTIONS),
                    {.command = IDM_DISABLE_NCCOM, .caption = "Disable NC communication"});
    inputs.nccomLoaded = 1;
    inputs.nccomSwitchedOff = 1;
    ApplyMenuChecks(menu, inputs);
    EXPECT_EQ(Checked(menu, IDM_DISABLE_NCCOM), 1);
}

TEST_F(MenuStateTest, StockItemsIncludeTheDifferencePaintingOnlyWithABasicModelPath) {
    const std::string saved = DefinitionFiles.basicModelFile;
    for (const char* path : {"", "/models/base.stl"}) {
        DefinitionFiles.basicModelFile = path;
        EnableStockMenuItems(menu, 0);
        EnableMenuEntry(menu, IDM_PAINT_DIFFERENCE, MENU_BYCOMMAND | MENU_ENABLED);
        EnableStockMenuItems(menu, 1);
        for (unsigned command : {IDM_STOCK_STATE, IDM_STOCK_SAVE, IDM_STOCK_XYZ_CUT,
                                 IDM_PEEL_PEN_COLOR, IDM_BASIC_MODEL}) {
            EXPECT_EQ(Grey(menu, command), 1) << command;
        }
        EXPECT_EQ(Grey(menu, IDM_STOCK_READ), 0);
        EXPECT_EQ(Grey(menu, IDM_PAINT_DIFFERENCE), *path ? 1 : 0) << path;
    }
    DefinitionFiles.basicModelFile = saved;
    EnableStockMenuItems(nullptr, 1);  // no menu bar (-N): nothing to do
}

TEST_F(MenuStateTest, RunAreasFollowTheirItemsPastPluginItemsAndComeBackAsTheyWere) {
    WindowHandle window = CreatePlatformWindow(WindowCreateParams{});
    ASSERT_EQ(SetWindowMenuBar(window, menu), 1);
    PrepareMenuState(menu);
    // Plug-in items inserted at the top of the machining and display menus after the load.
    InsertMenuEntry(GetSubMenuHandle(menu, MAIN_MENU_MACHINING), 0,
                    {.command = 32951, .caption = "Plug-in"});
    InsertMenuEntry(GetSubMenuHandle(menu, MAIN_MENU_DISPLAY), 0,
                    {.command = 32952, .caption = "Plug-in"});
    EnableStockMenuItems(menu, 1);  // no stock yet
    for (unsigned command :
         {IDM_NC_REPORT, IDM_NC_EDIT, IDM_CUT_REAL, IDM_CUT_RESULT, IDM_PATH_DISPLAY}) {
        EnableMenuEntry(menu, command, MENU_BYCOMMAND);  // an NC program is selected
    }
    std::vector<int> before;
    Snapshot(menu, &before);

    GreyMenusDuringRun(window);
    struct Case {
        unsigned command;
        int grey;
    };
    for (Case c : {Case{IDM_NC_SELECT, 1}, Case{IDM_NC_REPORT, 1}, Case{IDM_NC_EDIT, 0},
                   Case{IDM_STOCK_READ, 1}, Case{IDM_STOCK_SAVE, 1}, Case{IDM_READ_VICE_STL, 1},
                   Case{IDM_CUT_REAL, 1}, Case{IDM_CUT_RESULT, 1}, Case{IDM_PATH_DISPLAY, 0},
                   Case{IDM_ROTARY_REAL_CUT_MODE, 1}, Case{IDM_RAPID_REAL_CUT_MODE, 1},
                   Case{IDM_OPTIONAL_BLOCK_SKIP, 0}, Case{IDM_MACHINE_FILE, 1},
                   Case{IDM_SHOW_PATH_POINTS, 1}, Case{IDM_PERSPECTIVE, 0},
                   Case{IDM_MOVIE_SETTINGS, 1}, Case{32951, 0}, Case{32952, 0}}) {
        EXPECT_EQ(Grey(menu, c.command), c.grey) << c.command;
    }
    EnableMenusAfterRun(window);
    std::vector<int> after;
    Snapshot(menu, &after);
    EXPECT_EQ(after, before);  // the stock save item, grey without a stock, stays grey
    EXPECT_EQ(Grey(menu, IDM_STOCK_SAVE), 1);
    SetWindowMenuBar(window, nullptr);
    DestroyPlatformWindow(window);
    GreyMenusDuringRun(nullptr);  // a window without a menu bar
}

TEST(MainMenuResource, EveryCommandOnceAndEveryLineInsideItsSubmenu) {
    int count = 0;
    const MenuResourceLine* lines = FindMenuResource(IDR_MAIN_MENU, &count);
    ASSERT_NE(lines, nullptr);
    std::vector<unsigned> seen;
    for (int i = 0; i < count; ++i) {
        const MenuResourceLine& line = lines[i];
        const int deepest =
            i == 0 ? 0 : lines[i - 1].depth + (lines[i - 1].command == MENU_RESOURCE_POPUP);
        EXPECT_LE(line.depth, deepest) << i;
        if (line.depth == 0) {
            EXPECT_EQ(line.command, MENU_RESOURCE_POPUP) << i;  // the bar holds menus only
        }
        if (line.command != MENU_RESOURCE_POPUP && line.caption) {
            EXPECT_EQ(std::count(seen.begin(), seen.end(), line.command), 0) << line.command;
            seen.push_back(line.command);
        }
    }
    EXPECT_EQ(FindMenuResource(110, &count), nullptr);
    EXPECT_EQ(LoadMenuResource(110), nullptr);
}

}  // namespace
}  // namespace mirexa
