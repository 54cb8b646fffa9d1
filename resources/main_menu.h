// The main menu (resource 109) as data: its command ids, its tree with the Japanese captions, and
// the builder that makes a platform menu of it.
#pragma once

#include "platform/menus.h"
#include "resources/program_resources.h"

namespace mirexa {

// The top-level menus of the main menu bar, by position.
constexpr int MAIN_MENU_NC_DATA = 0;
constexpr int MAIN_MENU_STOCK = 1;
constexpr int MAIN_MENU_MACHINING = 2;
constexpr int MAIN_MENU_SETTING_FILES = 3;
constexpr int MAIN_MENU_DISPLAY = 4;
constexpr int MAIN_MENU_OPTIONS = 5;
constexpr int MAIN_MENU_HELP = 6;

// One line of a menu resource, in menu order: depth 0 is a top-level menu of the bar, depth 1
// an item of it, depth 2 an item of a nested submenu. A line with MENU_RESOURCE_POPUP opens a
// submenu holding the deeper lines that follow it; a line with a null caption is a separator.
constexpr unsigned MENU_RESOURCE_POPUP = 0xFFFFFFFFu;
struct MenuResourceLine {
    int depth = {};
    unsigned command = {};
    const char* caption = {};
    int grey = {};  // the item starts grey (it needs an NC program)
};

// The lines of menu resource id (IDR_MAIN_MENU), with their count in *count; null for an
// unknown id.
const MenuResourceLine* FindMenuResource(int id, int* count);

// Builds a platform menu from resource id: the menu bar and its submenus, every item unchecked and
// enabled unless its line starts it grey. Null for an unknown id.
MenuHandle LoadMenuResource(int id);

}  // namespace mirexa
