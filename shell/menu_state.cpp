// The main menu's state: stock items, check marks and the run areas.
#include "shell/menu_state.h"

#include <initializer_list>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "nc/nc_run_state.h"
#include "nc/plugin_slots.h"
#include "resources/main_menu.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "shell/hook_calls.h"
#include "shell/option_commands.h"
#include "shell/stock_commands.h"
#include "view/camera.h"

namespace mirexa {

namespace {

MenuRunAreas MainRunAreas;

MenuHandle MainMenuBar() {
    return GetWindowMenuBar(MainWindow.load());
}

void Check(MenuHandle menu, unsigned command, int on) {
    CheckMenuEntry(menu, command, MENU_BYCOMMAND | (on ? MENU_CHECKED : MENU_UNCHECKED));
}

// Clears every item of a choice group, then checks the one of the choice (the last item stands
// for every value beyond the others).
void CheckChoice(MenuHandle menu, std::initializer_list<unsigned> group, int choice) {
    int index = 0;
    const int last = static_cast<int>(group.size()) - 1;
    const int chosen = choice >= 0 && choice < last ? choice : last;
    for (unsigned command : group) {
        Check(menu, command, index++ == chosen);
    }
}

// The position of the item a reference names in its menu now, or -1.
int FindEntryPosition(const MenuEntryRef& ref) {
    const int count = GetMenuEntryCount(ref.menu);
    for (int i = 0; i < count; ++i) {
        MenuEntryInfo info;
        GetMenuEntryInfo(ref.menu, static_cast<unsigned>(i), MENU_BYPOSITION, &info);
        if (ref.submenu ? info.submenu == ref.submenu
                        : !info.submenu && !info.separator && info.command == ref.command) {
            return i;
        }
    }
    return -1;
}

// Sets the item's grey state; returns its previous MENU_GRAYED | MENU_DISABLED bits, or -1 when
// the item is gone.
int EnableRef(const MenuEntryRef& ref, unsigned state) {
    const int position = FindEntryPosition(ref);
    if (position < 0) {
        return -1;
    }
    return EnableMenuEntry(ref.menu, static_cast<unsigned>(position), MENU_BYPOSITION | state);
}

// The reference of the item at a position; 0 for a separator or a position without an item.
int RefAt(MenuHandle menu, int position, MenuEntryRef* ref) {
    MenuEntryInfo info;
    if (position < 0 ||
        !GetMenuEntryInfo(menu, static_cast<unsigned>(position), MENU_BYPOSITION, &info) ||
        info.separator) {
        return 0;
    }
    *ref = MenuEntryRef{menu, info.submenu ? 0u : info.command, info.submenu};
    return 1;
}

void AddPositions(MenuHandle menu, std::initializer_list<int> positions,
                  std::vector<MenuEntryRef>* refs) {
    for (int position : positions) {
        MenuEntryRef ref;
        if (RefAt(menu, position, &ref)) {
            refs->push_back(ref);
        }
    }
}

void AddAllBut(MenuHandle menu, int skipped, std::vector<MenuEntryRef>* refs) {
    const int count = GetMenuEntryCount(menu);
    for (int i = 0; i < count; ++i) {
        if (i != skipped) {
            AddPositions(menu, {i}, refs);
        }
    }
}

const MenuRunAreas& AreasOf(MenuHandle bar) {
    if (MainRunAreas.bar != bar) {
        MainRunAreas = DeriveMenuRunAreas(bar);
    }
    return MainRunAreas;
}

// Greys the run areas, remembering each item's state; or gives each item back the state it had
// before the run (an item grey before the run stays grey), then enables the after-run items.
void SetRunAreas(WindowHandle window, int grey) {
    MenuHandle bar = GetWindowMenuBar(window);
    if (!bar) {
        return;
    }
    AreasOf(bar);
    MenuRunAreas& areas = MainRunAreas;
    if (grey) {
        if (!areas.greyed) {
            areas.savedStates.clear();
            for (const MenuEntryRef& ref : areas.runItems) {
                areas.savedStates.push_back(EnableRef(ref, MENU_GRAYED));
            }
            areas.savedMovieState =
                EnableMenuEntry(bar, IDM_MOVIE_SETTINGS, MENU_BYCOMMAND | MENU_GRAYED);
            areas.greyed = 1;
        }
    } else {
        for (std::size_t i = 0; i < areas.runItems.size(); ++i) {
            const int saved =
                areas.greyed && i < areas.savedStates.size() ? areas.savedStates[i] : 0;
            EnableRef(areas.runItems[i], saved > 0 ? static_cast<unsigned>(saved) : MENU_ENABLED);
        }
        for (const MenuEntryRef& ref : areas.afterRunItems) {
            EnableRef(ref, MENU_ENABLED);
        }
        const int saved = areas.greyed ? areas.savedMovieState : 0;
        EnableMenuEntry(bar, IDM_MOVIE_SETTINGS,
                        MENU_BYCOMMAND | (saved > 0 ? static_cast<unsigned>(saved) : MENU_ENABLED));
        areas.greyed = 0;
    }
    RedrawMenuBar(window);
}

}  // namespace

MenuCheckInputs GatherMenuCheckInputs() {
    MenuCheckInputs in;
    in.sound = Settings.sound;
    in.pathPoints = DisplayModes.constructionPoint;
    in.pathDisplay = DisplayModes.pathDisplay;
    in.pathDisplayNoRotary = DisplayModes.pathDisplay2;
    in.toolCenterPointMode = Controller.toolCenterControl;  // the choice, not the run's state
    in.stopMode = Controller.stopOption;
    in.rotaryRealCut = Settings.realRotation;
    in.rapidRealCut = Settings.realRapid;
    in.rapidCutCheck = Checks.ignoreG00 ? 0 : 1;
    in.arborCheck = Checks.arborCheck;
    in.heightCheck = Checks.heightCheck;
    in.chipCheck = Checks.chipWidthCheck;
    in.colorMode = DisplayModes.colorMode;
    in.stockDisplayStyle = DisplayModes.stockStyle;
    in.nccomLoaded = IsPluginLoaded(kPluginNccom, 0);
    in.nccomSwitchedOff = PluginSlots.nccomSwitchedOff.load();
    in.commandPanelShown = Settings.showCommandPanel;
    in.toolShown = DisplayModes.toolMode != 0 ? 1 : 0;
    in.toolDialogShown = Settings.showToolPanel;
    in.axesShown = DisplayModes.basicAxis;
    in.perspective = CurrentView.perspective;
    in.stockPresent = StockCommands.stockPresent;
    return in;
}

void ApplyMenuChecks(MenuHandle menu, const MenuCheckInputs& in) {
    if (!IsMenuHandle(menu)) {
        return;
    }
    Check(menu, IDM_SOUND, in.sound);
    Check(menu, IDM_SHOW_PATH_POINTS, in.pathPoints);
    Check(menu, IDM_PATH_DISPLAY, in.pathDisplay);
    Check(menu, IDM_PATH_DISPLAY_NO_ROTARY, in.pathDisplayNoRotary);
    CheckChoice(menu, {IDM_TCP_NORMAL, IDM_TCP_FORCED_TYPE1, IDM_TCP_FORCED_TYPE2},
                in.toolCenterPointMode);
    CheckChoice(
        menu,
        {IDM_STOP_NONE, IDM_STOP_M00, IDM_STOP_M01, IDM_STOP_SINGLE_BLOCK, IDM_STOP_AT_POSITION},
        in.stopMode);
    Check(menu, IDM_ROTARY_REAL_CUT_MODE, in.rotaryRealCut);
    Check(menu, IDM_RAPID_REAL_CUT_MODE, in.rapidRealCut);
    Check(menu, IDM_CHECK_RAPID_ON, in.rapidCutCheck);
    Check(menu, IDM_CHECK_RAPID_OFF, !in.rapidCutCheck);
    CheckChoice(menu,
                {IDM_ARBOR_CHECK_0, IDM_ARBOR_CHECK_1, IDM_ARBOR_CHECK_2, IDM_ARBOR_CHECK_OTHER},
                in.arborCheck);
    CheckChoice(menu, {IDM_HEIGHT_CHECK_0, IDM_HEIGHT_CHECK_1, IDM_HEIGHT_CHECK_OTHER},
                in.heightCheck);
    CheckChoice(menu, {IDM_CHIP_CHECK_0, IDM_CHIP_CHECK_1, IDM_CHIP_CHECK_OTHER}, in.chipCheck);
    Check(menu, IDM_COLOR_MODE_TOOL_PEN, in.colorMode);
    Check(menu, IDM_COLOR_MODE_NORMAL, !in.colorMode);
    const unsigned colourState = in.stockDisplayStyle != 0 ? MENU_GRAYED : MENU_ENABLED;
    EnableMenuEntry(menu, IDM_COLOR_MODE_TOOL_PEN, MENU_BYCOMMAND | colourState);
    EnableMenuEntry(menu, IDM_COLOR_MODE_NORMAL, MENU_BYCOMMAND | colourState);
    if (in.nccomLoaded) {
        // The item reads "disable": its check mark shows that the plug-in is switched off.
        Check(menu, IDM_DISABLE_NCCOM, in.nccomSwitchedOff);
    }
    Check(menu, IDM_SHOW_COMMAND_PANEL, in.commandPanelShown);
    Check(menu, IDM_SHOW_TOOL, in.toolShown);
    Check(menu, IDM_SHOW_TOOL_DIALOG, in.toolDialogShown);
    Check(menu, IDM_SHOW_AXES, in.axesShown);
    Check(menu, IDM_PERSPECTIVE, in.perspective);
    const MenuRunAreas& areas = AreasOf(menu);
    if (in.stockPresent && areas.hasStockOptionItem) {
        EnableRef(areas.stockOptionItem, MENU_GRAYED);
    }
}

void UpdateMenuChecks() {
    ApplyMenuChecks(MainMenuBar(), GatherMenuCheckInputs());
}

void EnableStockMenuItems(MenuHandle menu, int grey) {
    const unsigned state = grey ? MENU_GRAYED : MENU_ENABLED;
    for (unsigned command :
         {IDM_STOCK_STATE, IDM_STOCK_SAVE, IDM_STOCK_ROTATE, IDM_STOCK_MOVE, IDM_STOCK_OFFSET,
          IDM_STOCK_XYZ_CUT, IDM_PAINT_ALL, IDM_PEEL_PAINT, IDM_PEEL_PEN_COLOR, IDM_BASIC_MODEL}) {
        EnableMenuEntry(menu, command, MENU_BYCOMMAND | state);
    }
    if (!DefinitionFiles.basicModelFile.empty()) {
        EnableMenuEntry(menu, IDM_PAINT_DIFFERENCE, MENU_BYCOMMAND | state);
    }
}

void EnableMainStockMenuItems(int grey) {
    EnableStockMenuItems(MainMenuBar(), grey);
}

void EnableNcProgramMenuItems() {
    for (unsigned command : {IDM_NC_REPORT, IDM_NC_EDIT, IDM_CUT_REAL, IDM_CUT_SKIP, IDM_CUT_RESULT,
                             IDM_PATH_DISPLAY, IDM_PATH_DISPLAY_NO_ROTARY}) {
        EnableMainMenuCommand(command, 1);
    }
}

void EnableMainMenuCommand(unsigned command, int enable) {
    EnableMenuEntry(MainMenuBar(), command, MENU_BYCOMMAND | (enable ? MENU_ENABLED : MENU_GRAYED));
}

MenuRunAreas DeriveMenuRunAreas(MenuHandle bar) {
    MenuRunAreas areas;
    areas.bar = bar;
    if (!IsMenuHandle(bar)) {
        return areas;
    }
    std::vector<MenuEntryRef>& run = areas.runItems;
    AddPositions(GetSubMenuHandle(bar, MAIN_MENU_NC_DATA), {0, 1, 2}, &run);
    AddAllBut(GetSubMenuHandle(bar, MAIN_MENU_STOCK), 5, &run);
    MenuHandle machining = GetSubMenuHandle(bar, MAIN_MENU_MACHINING);
    AddPositions(machining, {0, 1, 2, 6, 7}, &run);
    AddAllBut(GetSubMenuHandle(bar, MAIN_MENU_SETTING_FILES), -1, &run);
    AddPositions(GetSubMenuHandle(bar, MAIN_MENU_DISPLAY), {5}, &run);
    const int count = GetMenuEntryCount(machining);
    AddPositions(machining, {count - 14, count - 13, count - 11, count - 1}, &areas.afterRunItems);
    areas.hasStockOptionItem =
        RefAt(GetSubMenuHandle(bar, MAIN_MENU_OPTIONS), 5, &areas.stockOptionItem);
    return areas;
}

void PrepareMenuState(MenuHandle bar) {
    MainRunAreas = DeriveMenuRunAreas(bar);
}

void GreyMenusDuringRun(WindowHandle window) {
    SetRunAreas(window, 1);
}

void EnableMenusAfterRun(WindowHandle window) {
    SetRunAreas(window, 0);
}

}  // namespace mirexa
