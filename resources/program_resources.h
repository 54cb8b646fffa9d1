// The program's resources as data: command and resource ids, key codes, the accelerator table and
// the string table (the main menu is in main_menu.h). Read by the shell at start-up.
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

// Commands of the main menu and of the senders without a menu item.
constexpr unsigned IDM_EXIT = 105;
constexpr unsigned IDM_RESIZE_SETTINGS = 122;
constexpr unsigned IDM_TOOL_PARAMETERS = 128;
constexpr unsigned IDM_PITCH = 138;
constexpr unsigned IDM_CONTROL_POINT = 154;
constexpr unsigned IDM_INITIAL_CONDITION = 208;
constexpr unsigned IDM_SHOW_COMMAND_PANEL = 213;
constexpr unsigned IDM_HELP = 801;
constexpr unsigned IDM_NC_REPORT = 32773;
constexpr unsigned IDM_COLOR_SETTINGS = 32779;
constexpr unsigned IDM_STOCK_SAVE = 32786;
constexpr unsigned IDM_STOCK_TWO_POINT = 32787;
constexpr unsigned IDM_STOCK_OFFSET = 32788;
constexpr unsigned IDM_PAINT_ALL = 32789;
constexpr unsigned IDM_PEEL_PAINT = 32790;
constexpr unsigned IDM_SOUND = 32794;
constexpr unsigned IDM_SHOW_PATH_POINTS = 32800;
constexpr unsigned IDM_EXPAND_RATE = 32812;
constexpr unsigned IDM_NC_EDIT = 32813;  // also the view's E key
constexpr unsigned IDM_SHOW_TOOL_DIALOG = 32816;
constexpr unsigned IDM_DISCOLORATION_REGION = 32819;
constexpr unsigned IDM_PEEL_PEN_COLOR = 32820;
constexpr unsigned IDM_HOME_PAGE = 32821;
constexpr unsigned IDM_STOCK_ROTATE = 32826;
constexpr unsigned IDM_STOCK_MOVE = 32827;
constexpr unsigned IDM_SHOW_AXES = 32828;
constexpr unsigned IDM_CHECK_RAPID_ON = 32833;
constexpr unsigned IDM_CHECK_RAPID_OFF = 32837;
constexpr unsigned IDM_ARBOR_CHECK_0 = 32838;
constexpr unsigned IDM_ARBOR_CHECK_2 = 32839;
constexpr unsigned IDM_RADIUS_OFFSETS = 32841;
constexpr unsigned IDM_LENGTH_OFFSETS = 32842;
constexpr unsigned IDM_COLOR_MODE_NORMAL = 32843;
constexpr unsigned IDM_COLOR_MODE_TOOL_PEN = 32844;
constexpr unsigned IDM_HEIGHT_CHECK_0 = 32845;
constexpr unsigned IDM_HEIGHT_CHECK_OTHER = 32846;
constexpr unsigned IDM_HEIGHT_CHECK_1 = 32847;
constexpr unsigned IDM_BASIC_MODEL = 32851;
constexpr unsigned IDM_OPTIONAL_BLOCK_SKIP = 32852;
constexpr unsigned IDM_STOP_NONE = 32853;
constexpr unsigned IDM_STOP_M00 = 32854;
constexpr unsigned IDM_STOP_M01 = 32855;
constexpr unsigned IDM_STOP_SINGLE_BLOCK = 32856;
constexpr unsigned IDM_STOP_AT_POSITION = 32857;
constexpr unsigned IDM_STOCK_DISPLAY_STYLE = 32872;  // also the view's H key
constexpr unsigned IDM_ARBOR_CHECK_1 = 32874;
constexpr unsigned IDM_CHIP_CHECK_0 = 32875;
constexpr unsigned IDM_CHIP_CHECK_1 = 32876;
constexpr unsigned IDM_CHIP_CHECK_OTHER = 32877;
constexpr unsigned IDM_OPTIMIZE_DRAWING = 32879;
constexpr unsigned IDM_ARBOR_CHECK_OTHER = 32880;
constexpr unsigned IDM_SHOW_TOOL = 32883;
constexpr unsigned IDM_WORK_COORDINATES = 32884;
constexpr unsigned IDM_PAINT_DIFFERENCE = 32893;
constexpr unsigned IDM_INTERFERENCE_SETTINGS = 32894;
constexpr unsigned IDM_STOCK_CYLINDER = 32896;
constexpr unsigned IDM_TCP_NORMAL = 32897;
constexpr unsigned IDM_TCP_FORCED_TYPE1 = 32898;
constexpr unsigned IDM_TCP_FORCED_TYPE2 = 32899;
constexpr unsigned IDM_DISPLAY_MODE = 32900;
constexpr unsigned IDM_READ_VICE_STL = 32904;
constexpr unsigned IDM_STOCK_STATE = 32905;
constexpr unsigned IDM_STOCK_XYZ_CUT = 32906;
constexpr unsigned IDM_MOVIE_SETTINGS = 32907;
constexpr unsigned IDM_RAPID_REAL_CUT_MODE = 32908;
constexpr unsigned IDM_STOCK_FROM_ORIGIN = 32911;
constexpr unsigned IDM_STRUCTURE_INTERFERENCE_SETTINGS = 32912;
constexpr unsigned IDM_DISABLE_NCCOM = 32931;  // a plug-in's item, not in the resource
constexpr unsigned IDM_PERSPECTIVE = 32901;    // also the first simulation plug-in's item (F8)
constexpr unsigned IDM_ROTARY_REAL_CUT_MODE = 32902;  // also the second one's item (F9)
// The stock-modifier plug-ins' menu items; they do nothing of their own.
constexpr unsigned IDM_MOD_PLUGIN_1 = 32951;
constexpr unsigned IDM_MOD_PLUGIN_2 = 32952;
constexpr unsigned IDM_MOD_PLUGIN_3 = 32953;
// The data check of the selected NC program: everything, or the extents only.
constexpr unsigned IDM_NC_CHECK_DATA = 32961;
constexpr unsigned IDM_NC_CHECK_MIN_MAX = 32962;
// Another settings file: read it, then the definition files it names.
constexpr unsigned IDM_SETTINGS_FILE = 32963;
// The mouse tools of the view window (248 .. 257 and 261), served by the view.
constexpr unsigned IDM_VIEW_TOOL_FIRST = 248;
constexpr unsigned IDM_VIEW_TOOL_LAST = 261;
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

// Table 109: Alt+"?" and Alt+"/" (one key) give IDM_VERSION_INFO, Alt+D IDM_NC_CHECK_DATA and
// Alt+M IDM_NC_CHECK_MIN_MAX. Returns the command of the key, or 0 when the table does not hold
// it.
unsigned FindAccelerator(unsigned keyCode, int altHeld);

// The string table: the text of id, or an empty text for an unknown id.
std::string LoadResourceString(int id);

// The 13 bitmaps of the view popup menu, in loading order; the popup uses three of them.
inline constexpr int ViewPopupBitmaps[13] = {228, 260, 236, 234, 155, 154, 150,
                                             153, 149, 151, 152, 264, 270};

}  // namespace mirexa
