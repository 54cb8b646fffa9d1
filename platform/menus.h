// Menus: trees of command items, separators and submenus, the menu bar of a window, and the
// calls that read and change them by position or by command id.
//
// The tree is the platform layer's own record in every backend. The headless backend keeps only
// the record (tests read it); a real-window backend shows it, reading the tree through these
// same calls, and is told of every change through the MenuBackendHooks. A command chosen by the
// user goes back through ChooseMenuCommand, which posts WM_COMMAND to the window.
//
// Threads. Menus belong to the user-interface thread; the calls are guarded by a mutex so that a
// stray call from another thread cannot corrupt a tree, but they make no promise of order.
#pragma once

#include <string>

#include "platform/window.h"

namespace mirexa {

// A menu or submenu. Opaque: created, addressed and destroyed only through the calls below. A
// handle that is not (or no longer) a live menu is refused by every call.
struct PlatformMenu;
using MenuHandle = PlatformMenu*;

// How an item is addressed (flags of the calls below).
constexpr unsigned MENU_BYCOMMAND = 0x0;     // the first item with the command id, depth first
constexpr unsigned MENU_BYPOSITION = 0x400;  // the item at that position of the menu itself
// Item states, combined in the flags of EnableMenuEntry and CheckMenuEntry and in the result of
// GetMenuEntryState.
constexpr unsigned MENU_ENABLED = 0x0;
constexpr unsigned MENU_GRAYED = 0x1;    // shown grey, cannot be chosen
constexpr unsigned MENU_DISABLED = 0x2;  // cannot be chosen
constexpr unsigned MENU_UNCHECKED = 0x0;
constexpr unsigned MENU_CHECKED = 0x8;
// Kinds, reported by GetMenuEntryState.
constexpr unsigned MENU_POPUP = 0x10;  // the item opens a submenu
constexpr unsigned MENU_SEPARATOR = 0x800;

// GetMenuEntryId of a submenu item, and of a position that holds no item.
constexpr unsigned MENU_ID_SUBMENU = 0xFFFFFFFFu;

// One item as it is inserted or read. A separator has neither command nor caption; a submenu
// item has a caption and a submenu (its command is unused).
struct MenuEntryInfo {
    unsigned command = {};
    std::string caption = {};  // UTF-8; "&" marks the access key, "\t" starts the key hint
    unsigned state = {};       // MENU_GRAYED, MENU_DISABLED, MENU_CHECKED
    int separator = {};
    MenuHandle submenu = {};
};

// A new empty menu (a menu bar or a submenu).
MenuHandle CreateMenuHandle();
// Destroys the menu with all its submenus, and takes it off any window that shows it. A
// submenu of another menu cannot be destroyed alone (returns 0): remove its item instead.
// Returns 1 when done.
int DestroyMenuHandle(MenuHandle menu);
// 1 while the handle names a live menu.
int IsMenuHandle(MenuHandle menu);

// Inserts the item before position (-1 or a position past the end appends). A submenu given in
// the item becomes part of this menu (it must be a live menu that has no parent yet and is not
// this menu or one of its ancestors). Returns 1, 0 when refused.
int InsertMenuEntry(MenuHandle menu, int position, const MenuEntryInfo& item);
int AppendMenuEntry(MenuHandle menu, const MenuEntryInfo& item);
// Removes the item (and destroys its submenu). Returns 1, 0 when there is no such item.
int RemoveMenuEntry(MenuHandle menu, unsigned item, unsigned flags);

// The number of items of the menu itself, or -1 for a handle that is not a menu.
int GetMenuEntryCount(MenuHandle menu);
// The submenu of the item at position, or null.
MenuHandle GetSubMenuHandle(MenuHandle menu, int position);
// The command of the item at position: 0 for a separator, MENU_ID_SUBMENU for a submenu item or
// a position that holds no item.
unsigned GetMenuEntryId(MenuHandle menu, int position);
// Copies the item into *info; 1, or 0 when there is no such item.
int GetMenuEntryInfo(MenuHandle menu, unsigned item, unsigned flags, MenuEntryInfo* info);
// The item's state bits (MENU_GRAYED, MENU_DISABLED, MENU_CHECKED, MENU_POPUP, MENU_SEPARATOR),
// or -1 when there is no such item.
int GetMenuEntryState(MenuHandle menu, unsigned item, unsigned flags);

// Sets MENU_GRAYED and MENU_DISABLED of the item from flags (the addressing bit included).
// Returns the previous MENU_GRAYED | MENU_DISABLED bits, or -1 when there is no such item.
int EnableMenuEntry(MenuHandle menu, unsigned item, unsigned flags);
// Sets or clears MENU_CHECKED from flags. Returns the previous MENU_CHECKED bit, or -1.
int CheckMenuEntry(MenuHandle menu, unsigned item, unsigned flags);
// Replaces the caption; the command, state and submenu stay. Returns 1, or 0 when there is no
// such item or it is a separator.
int SetMenuEntryCaption(MenuHandle menu, unsigned item, unsigned flags, const std::string& caption);

// Shows the menu as the window's menu bar (null removes it; the old menu is not destroyed).
// Returns 1, or 0 for a window or menu that does not exist or a menu that is a submenu.
int SetWindowMenuBar(WindowHandle window, MenuHandle menu);
// The window's menu bar, or null.
MenuHandle GetWindowMenuBar(WindowHandle window);
// Asks the backend to show the window's menu bar anew (after top-level changes). Returns 1 when
// the window has a menu bar.
int RedrawMenuBar(WindowHandle window);

// The user chose a command in the window's menu bar: when the command names an item that can be
// chosen (neither it nor a menu above it grey or disabled), posts WM_COMMAND with it to the
// window, commandData as its lparam (the real-window backend gives kKeyShiftHeld when Shift was
// held at the choice), and returns 1; else returns 0 and posts nothing.
int ChooseMenuCommand(WindowHandle window, unsigned command, MessageLParam commandData);

// Called after every change, on the thread that made it, without the menus' lock held (so the
// hook may read the tree). Either may be null. The real-window backend fills them.
struct MenuBackendHooks {
    // The items, states or captions of this menu (not of its submenus) changed, or it is gone
    // (destroyed set).
    void (*menuChanged)(MenuHandle menu, int destroyed) = {};
    // The window's menu bar was set, removed or redrawn.
    void (*menuBarChanged)(WindowHandle window) = {};
};
// Installs the hooks; returns the previous ones.
MenuBackendHooks SetMenuBackendHooks(const MenuBackendHooks& hooks);
// The installed hooks; read them while no thread installs others.
const MenuBackendHooks& GetMenuBackendHooks();

}  // namespace mirexa
