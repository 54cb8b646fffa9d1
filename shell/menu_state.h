// The main menu's state: the stock items enabled or grey, the check marks set from the option
// globals, and the menu areas greyed while a run is active. Every routine tolerates a window
// without a menu bar (the -N switch) and does nothing then.
//
// Threads. User-interface thread only.
#pragma once

#include <vector>

#include "platform/menus.h"
#include "platform/window.h"

namespace mirexa {

// What the check marks show; GatherMenuCheckInputs reads it from the option globals.
struct MenuCheckInputs {
    int sound = {};
    int pathPoints = {};
    int pathDisplay = {};
    int pathDisplayNoRotary = {};
    int toolCenterPointMode = {};  // 0 normal, 1 forced type 1, other forced type 2
    int stopMode = {};             // 0 .. 4
    int rotaryRealCut = {};
    int rapidRealCut = {};
    int rapidCutCheck = {};  // rapid moves are checked for cutting
    int arborCheck = {};     // 0, 1, 2, other
    int heightCheck = {};    // 0, 1, other
    int chipCheck = {};      // 0, 1, other
    int colorMode = {};      // 1: tool pen colours
    int stockDisplayStyle = {};
    int nccomLoaded = {};       // the NC communication plug-in is loaded (its item exists)
    int nccomSwitchedOff = {};  // and is switched off
    int commandPanelShown = {};
    int toolShown = {};
    int toolDialogShown = {};
    int axesShown = {};
    int perspective = {};
    int stockPresent = {};
};
MenuCheckInputs GatherMenuCheckInputs();

// Sets every check mark of the menu from the inputs: the toggles, one item of each choice group,
// the colour-mode pair grey unless the stock display style is 0, the NC communication item
// checked while that plug-in is switched off, and the stock-dependent options item grey while a
// stock exists.
void ApplyMenuChecks(MenuHandle menu, const MenuCheckInputs& inputs);
// ApplyMenuChecks on the main window's menu bar with the globals' values.
void UpdateMenuChecks();

// Greys (grey 1) or enables (grey 0) the commands that need a stock, and the difference painting
// only when a basic-model path is set.
void EnableStockMenuItems(MenuHandle menu, int grey);
// EnableStockMenuItems on the main window's menu bar.
void EnableMainStockMenuItems(int grey);
// Enables the commands that need an NC program (the report, the editor, the runs and the path
// displays), grey in the menu until one is selected.
void EnableNcProgramMenuItems();
// Enables or greys one command of the main window's menu bar.
void EnableMainMenuCommand(unsigned command, int enable);

// An item of a menu named by what it is rather than where it stands: its command, or the submenu
// it opens. Plug-in items inserted later do not move it.
struct MenuEntryRef {
    MenuHandle menu = {};
    unsigned command = {};
    MenuHandle submenu = {};
};

// The items that a run greys and that its end enables again, found once in the menu tree as it
// is loaded (before any plug-in item is inserted): the first three items of the NC data menu;
// every stock item but the one at position 5; the run commands and the two real-cut modes of
// the machining menu (positions 0 to 2, 6 and 7); every item of the setting-files menu; item 5
// of the display menu; and the movie settings. The end of a run also enables the machining
// items that stood 14, 13, 11 and 1 from the end.
struct MenuRunAreas {
    MenuHandle bar = {};
    std::vector<MenuEntryRef> runItems = {};
    std::vector<MenuEntryRef> afterRunItems = {};
    MenuEntryRef stockOptionItem = {};  // item 5 of the options menu, grey while a stock exists
    int hasStockOptionItem = {};
    // While a run has greyed them: the state each run item and the movie settings had before.
    int greyed = {};
    std::vector<int> savedStates = {};
    int savedMovieState = {};
};
MenuRunAreas DeriveMenuRunAreas(MenuHandle bar);

// Remembers the run areas of the main menu bar; call once when the menu is loaded.
void PrepareMenuState(MenuHandle bar);

// Greys the run areas of the window's menu bar, then redraws the menu bar; the end of the run
// gives each of them the state it had before (so a stock item grey for want of a stock stays
// grey) and enables the after-run items.
void GreyMenusDuringRun(WindowHandle window);
void EnableMenusAfterRun(WindowHandle window);

}  // namespace mirexa
