// Popup menus: a list of command items shown at a point until the user picks one or dismisses
// it. The headless backend asks a responder (tests script the choice; without one the menu is
// dismissed). The chosen command is posted to the owner window as WM_COMMAND.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/window.h"

namespace mirexa {

struct PopupMenuItem {
    unsigned command = {};  // 0 for a separator
    std::string text = {};
    int checked = {};
    int grayed = {};  // shown but cannot be chosen
};

struct PopupMenu {
    std::vector<PopupMenuItem> items = {};
};

// Chooses an item of the menu shown at (x, y) client pixels of the owner; returns its command,
// or 0 to dismiss the menu.
using PopupMenuResponder = std::function<unsigned(const PopupMenu& menu, int x, int y)>;
// Installs the responder (an empty function dismisses every menu); returns the previous one.
PopupMenuResponder SetPopupMenuResponder(PopupMenuResponder responder);

// Shows the menu and waits for the choice. A chosen command that names an enabled item of the
// menu is posted to the owner as WM_COMMAND and returned; anything else returns 0 and posts
// nothing.
unsigned TrackPopupMenu(const PopupMenu& menu, int x, int y, WindowHandle owner);

}  // namespace mirexa
