// The program's resources as data: command and resource ids, key codes, the accelerator table,
// the string table and the menu items of the run commands. Read by the shell at start-up.
#pragma once

#include <string>

#include "platform/keys.h"

namespace mirexa {

// Resource ids.
constexpr int IDI_MAIN_ICON = 107;         // large and small icon of the main window
constexpr int IDR_MAIN_MENU = 109;         // the main menu
constexpr int IDR_ACCELERATORS = 109;      // the accelerator table
constexpr int IDS_EDITION_NAME = 109;      // the edition name: title and window class name
constexpr int IDD_COMMAND_PANEL = 226;     // modeless command panel
constexpr int IDD_TOOL_DISPLAY = 214;      // modeless tool display panel
constexpr int EDITION_NAME_CAPACITY = 11;  // the title buffer, terminator included

// Commands (WM_COMMAND wparam).
constexpr unsigned IDM_VERSION_INFO = 104;
constexpr unsigned IDM_NC_SELECT = 32771;
constexpr unsigned IDM_NC_SELECT_OPTIMAL_STOCK = 32772;
constexpr unsigned IDM_CUT_REAL = 32774;
constexpr unsigned IDM_CUT_SKIP = 32775;
constexpr unsigned IDM_CUT_RESULT = 32776;
constexpr unsigned IDM_PATH_DISPLAY = 32777;
constexpr unsigned IDM_PATH_DISPLAY_NO_ROTARY = 32778;
constexpr unsigned IDM_TOOLS_FILE = 32781;
constexpr unsigned IDM_CONTROLLER_FILE = 32782;
constexpr unsigned IDM_MACHINE_FILE = 32783;
constexpr unsigned IDM_STOCK_READ = 32784;
constexpr unsigned IDM_NC_EDIT = 32813;              // also the view's E key
constexpr unsigned IDM_STOCK_DISPLAY_STYLE = 32872;  // also the view's H key
constexpr unsigned IDM_PERSPECTIVE = 32901;  // also the first simulation plug-in's item (F8)
constexpr unsigned IDM_ROTARY_REAL_CUT_MODE = 32902;  // also the second one's item (F9)
// View popup commands (mouse tools of the view window).
constexpr unsigned IDM_VIEW_POPUP_FIRST = 257;
constexpr unsigned IDM_VIEW_POPUP_SECOND = 250;
constexpr unsigned IDM_VIEW_POPUP_THIRD = 254;

// Timers of the main window.
constexpr unsigned IDT_JOG_REPEAT = 1;
constexpr unsigned IDT_VIEW_WHEEL = 4;  // the view window's wheel timer
constexpr unsigned IDT_PAUSE_BLINK = 5;
constexpr unsigned IDT_RESIZE_REDRAW = 6;
constexpr unsigned IDT_RUN_PROGRESS = 101;

// Key codes (WM_KEYDOWN wparam): platform/keys.h.

// The character a key gives without modifiers ("A" for the A key), or 0 for keys that give none.
// Letters give upper case; the caller compares both cases.
int MapKeyToCharacter(unsigned keyCode);

// One accelerator: a key with Alt held gives a command.
struct AcceleratorEntry {
    unsigned keyCode = {};
    int alt = {};
    unsigned command = {};
};

// Table 109: Alt+"?" and Alt+"/" (one key) give IDM_VERSION_INFO. Returns the command of the key,
// or 0 when the table does not hold it.
unsigned FindAccelerator(unsigned keyCode, int altHeld);

// The string table: the text of id, or an empty text for an unknown id.
std::string LoadResourceString(int id);

// Menu items of the run commands, with their texts in the menu's language (Japanese); the
// message file replaces them.
struct MenuItemText {
    unsigned command = {};
    const char* text = {};
};
inline constexpr MenuItemText RunMenuItems[] = {
    {IDM_CUT_REAL, "実加工(&R)"},
    {IDM_CUT_SKIP, "スキップ加工(&S)"},
    {IDM_CUT_RESULT, "加工して結果表示(&T or F5キー)"},
    {IDM_PATH_DISPLAY, "パス表示(&P or F6キー)"},
    {IDM_PATH_DISPLAY_NO_ROTARY, "回転成分を補間しないパス表示(&D or F7)"},
};

// The 13 bitmaps of the view popup menu, in loading order; the popup uses three of them.
inline constexpr int ViewPopupBitmaps[13] = {228, 260, 236, 234, 155, 154, 150,
                                             153, 149, 151, 152, 264, 270};

}  // namespace mirexa
