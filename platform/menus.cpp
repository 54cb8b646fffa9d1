// Menu trees of the platform layer, shared by every backend, and the menu bars of windows.
#include "platform/menus.h"

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/window_internal.h"

namespace mirexa {

struct PlatformMenu {
    std::vector<MenuEntryInfo> items = {};
    MenuHandle parent = {};       // the menu holding this one as a submenu
    WindowHandle menuBarOf = {};  // the window showing this one as its menu bar
};

namespace {

std::mutex MenusMutex;
std::unordered_map<MenuHandle, std::unique_ptr<PlatformMenu>> LiveMenus;
MenuBackendHooks MenuHooks;

PlatformMenu* Live(MenuHandle menu) {
    return menu && LiveMenus.count(menu) ? menu : nullptr;
}

// The item an address names: by position in the menu itself, or the first item with the command
// in a depth-first walk. *owner receives the menu holding the item.
MenuEntryInfo* FindItem(MenuHandle menu, unsigned item, unsigned flags, MenuHandle* owner) {
    if (!Live(menu)) {
        return nullptr;
    }
    if (flags & MENU_BYPOSITION) {
        if (item >= menu->items.size()) {
            return nullptr;
        }
        *owner = menu;
        return &menu->items[item];
    }
    for (MenuEntryInfo& entry : menu->items) {
        if (entry.submenu) {
            if (MenuEntryInfo* found = FindItem(entry.submenu, item, flags, owner)) {
                return found;
            }
        } else if (!entry.separator && entry.command == item) {
            *owner = menu;
            return &entry;
        }
    }
    return nullptr;
}

// The item at a position of the menu itself, or null; call with the lock held.
MenuEntryInfo* ItemAt(MenuHandle menu, int position) {
    MenuHandle owner = nullptr;
    return position < 0 ? nullptr
                        : FindItem(menu, static_cast<unsigned>(position), MENU_BYPOSITION, &owner);
}

void EraseTree(MenuHandle menu, std::vector<MenuHandle>* erased) {
    for (const MenuEntryInfo& entry : menu->items) {
        if (entry.submenu) {
            EraseTree(entry.submenu, erased);
        }
    }
    erased->push_back(menu);
    LiveMenus.erase(menu);
}

void NotifyChanged(MenuHandle menu, int destroyed) {
    void (*hook)(MenuHandle, int) = nullptr;
    {
        std::lock_guard<std::mutex> lock(MenusMutex);
        hook = MenuHooks.menuChanged;
    }
    if (hook) {
        hook(menu, destroyed);
    }
}

void NotifyMenuBar(WindowHandle window) {
    void (*hook)(WindowHandle) = nullptr;
    {
        std::lock_guard<std::mutex> lock(MenusMutex);
        hook = MenuHooks.menuBarChanged;
    }
    if (hook) {
        hook(window);
    }
}

// Clears the window's menu-bar field when it still names menu.
void DetachFromWindow(WindowHandle window, MenuHandle menu) {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    if (PlatformWindow* record = FindLiveWindow(window); record && record->menuBar == menu) {
        record->menuBar = nullptr;
    }
}

// Changes one item under the lock; notifies the menu that holds it. Returns what change returns,
// or fail when there is no such item.
template <typename Change>
int ChangeItem(MenuHandle menu, unsigned item, unsigned flags, int fail, Change change) {
    MenuHandle owner = nullptr;
    int result = fail;
    {
        std::lock_guard<std::mutex> lock(MenusMutex);
        MenuEntryInfo* entry = FindItem(menu, item, flags, &owner);
        if (!entry) {
            return fail;
        }
        result = change(*entry);
    }
    NotifyChanged(owner, 0);
    return result;
}

}  // namespace

MenuHandle CreateMenuHandle() {
    auto menu = std::make_unique<PlatformMenu>();
    MenuHandle handle = menu.get();
    std::lock_guard<std::mutex> lock(MenusMutex);
    LiveMenus.emplace(handle, std::move(menu));
    return handle;
}

int DestroyMenuHandle(MenuHandle menu) {
    std::vector<MenuHandle> erased;
    WindowHandle window = nullptr;
    {
        std::lock_guard<std::mutex> lock(MenusMutex);
        if (!Live(menu) || menu->parent) {
            return 0;
        }
        window = menu->menuBarOf;
        EraseTree(menu, &erased);
    }
    if (window) {
        DetachFromWindow(window, menu);
        NotifyMenuBar(window);
    }
    for (MenuHandle gone : erased) {
        NotifyChanged(gone, 1);
    }
    return 1;
}

int IsMenuHandle(MenuHandle menu) {
    std::lock_guard<std::mutex> lock(MenusMutex);
    return Live(menu) ? 1 : 0;
}

int InsertMenuEntry(MenuHandle menu, int position, const MenuEntryInfo& item) {
    {
        std::lock_guard<std::mutex> lock(MenusMutex);
        if (!Live(menu)) {
            return 0;
        }
        if (item.submenu) {
            if (!Live(item.submenu) || item.submenu->parent || item.submenu->menuBarOf) {
                return 0;
            }
            for (MenuHandle up = menu; up; up = up->parent) {
                if (up == item.submenu) {
                    return 0;  // a menu inside itself
                }
            }
            item.submenu->parent = menu;
        }
        MenuEntryInfo entry = item;
        if (entry.separator) {
            entry = MenuEntryInfo{};
            entry.separator = 1;
        }
        auto at = position < 0 || static_cast<std::size_t>(position) >= menu->items.size()
                      ? menu->items.end()
                      : menu->items.begin() + position;
        menu->items.insert(at, entry);
    }
    NotifyChanged(menu, 0);
    return 1;
}

int AppendMenuEntry(MenuHandle menu, const MenuEntryInfo& item) {
    return InsertMenuEntry(menu, -1, item);
}

int RemoveMenuEntry(MenuHandle menu, unsigned item, unsigned flags) {
    MenuHandle owner = nullptr;
    std::vector<MenuHandle> erased;
    {
        std::lock_guard<std::mutex> lock(MenusMutex);
        MenuEntryInfo* entry = FindItem(menu, item, flags, &owner);
        if (!entry) {
            return 0;
        }
        if (entry->submenu) {
            EraseTree(entry->submenu, &erased);
        }
        owner->items.erase(owner->items.begin() + (entry - owner->items.data()));
    }
    for (MenuHandle gone : erased) {
        NotifyChanged(gone, 1);
    }
    NotifyChanged(owner, 0);
    return 1;
}

int GetMenuEntryCount(MenuHandle menu) {
    std::lock_guard<std::mutex> lock(MenusMutex);
    return Live(menu) ? static_cast<int>(menu->items.size()) : -1;
}

MenuHandle GetSubMenuHandle(MenuHandle menu, int position) {
    std::lock_guard<std::mutex> lock(MenusMutex);
    const MenuEntryInfo* entry = ItemAt(menu, position);
    return entry ? entry->submenu : nullptr;
}

unsigned GetMenuEntryId(MenuHandle menu, int position) {
    std::lock_guard<std::mutex> lock(MenusMutex);
    const MenuEntryInfo* entry = ItemAt(menu, position);
    if (!entry || entry->submenu) {
        return MENU_ID_SUBMENU;
    }
    return entry->separator ? 0 : entry->command;
}

int GetMenuEntryInfo(MenuHandle menu, unsigned item, unsigned flags, MenuEntryInfo* info) {
    std::lock_guard<std::mutex> lock(MenusMutex);
    MenuHandle owner = nullptr;
    const MenuEntryInfo* entry = FindItem(menu, item, flags, &owner);
    if (!entry || !info) {
        return 0;
    }
    *info = *entry;
    return 1;
}

int GetMenuEntryState(MenuHandle menu, unsigned item, unsigned flags) {
    std::lock_guard<std::mutex> lock(MenusMutex);
    MenuHandle owner = nullptr;
    const MenuEntryInfo* entry = FindItem(menu, item, flags, &owner);
    if (!entry) {
        return -1;
    }
    unsigned state = entry->state & (MENU_GRAYED | MENU_DISABLED | MENU_CHECKED);
    if (entry->submenu) {
        state |= MENU_POPUP;
    }
    if (entry->separator) {
        state |= MENU_SEPARATOR;
    }
    return static_cast<int>(state);
}

int EnableMenuEntry(MenuHandle menu, unsigned item, unsigned flags) {
    constexpr unsigned mask = MENU_GRAYED | MENU_DISABLED;
    return ChangeItem(menu, item, flags, -1, [flags](MenuEntryInfo& entry) {
        int previous = static_cast<int>(entry.state & mask);
        entry.state = (entry.state & ~mask) | (flags & mask);
        return previous;
    });
}

int CheckMenuEntry(MenuHandle menu, unsigned item, unsigned flags) {
    return ChangeItem(menu, item, flags, -1, [flags](MenuEntryInfo& entry) {
        int previous = static_cast<int>(entry.state & MENU_CHECKED);
        entry.state = (entry.state & ~MENU_CHECKED) | (flags & MENU_CHECKED);
        return previous;
    });
}

int SetMenuEntryCaption(MenuHandle menu, unsigned item, unsigned flags,
                        const std::string& caption) {
    return ChangeItem(menu, item, flags, 0, [&caption](MenuEntryInfo& entry) {
        if (entry.separator) {
            return 0;
        }
        entry.caption = caption;
        return 1;
    });
}

int SetWindowMenuBar(WindowHandle window, MenuHandle menu) {
    MenuHandle previous = nullptr;
    {
        std::lock_guard<std::mutex> menus(MenusMutex);
        std::lock_guard<std::mutex> windows(PlatformMutex());
        PlatformWindow* record = FindLiveWindow(window);
        if (!record || (menu && (!Live(menu) || menu->parent))) {
            return 0;
        }
        // A menu is the bar of one window at a time (a window that is gone holds none).
        PlatformWindow* holder = FindLiveWindow(menu ? menu->menuBarOf : nullptr);
        if (holder && holder != record && holder->menuBar == menu) {
            return 0;
        }
        previous = record->menuBar;
        record->menuBar = menu;
        if (Live(previous)) {
            previous->menuBarOf = nullptr;
        }
        if (menu) {
            menu->menuBarOf = window;
        }
    }
    NotifyMenuBar(window);
    return 1;
}

MenuHandle GetWindowMenuBar(WindowHandle window) {
    std::lock_guard<std::mutex> menus(MenusMutex);
    std::lock_guard<std::mutex> windows(PlatformMutex());
    PlatformWindow* record = FindLiveWindow(window);
    return record && Live(record->menuBar) ? record->menuBar : nullptr;
}

int RedrawMenuBar(WindowHandle window) {
    if (!GetWindowMenuBar(window)) {
        return 0;
    }
    NotifyMenuBar(window);
    return 1;
}

int ChooseMenuCommand(WindowHandle window, unsigned command, MessageLParam commandData) {
    // Walks the bar depth first, skipping whatever lies under a grey or disabled submenu item.
    struct Walk {
        static int Choosable(MenuHandle menu, unsigned command) {
            for (const MenuEntryInfo& entry : menu->items) {
                int blocked = (entry.state & (MENU_GRAYED | MENU_DISABLED)) != 0;
                if (entry.submenu) {
                    if (!blocked && Live(entry.submenu) && Choosable(entry.submenu, command)) {
                        return 1;
                    }
                } else if (!entry.separator && entry.command == command && !blocked) {
                    return 1;
                }
            }
            return 0;
        }
    };
    {
        std::lock_guard<std::mutex> menus(MenusMutex);
        MenuHandle bar = nullptr;
        {
            std::lock_guard<std::mutex> windows(PlatformMutex());
            PlatformWindow* record = FindLiveWindow(window);
            bar = record ? record->menuBar : nullptr;
        }
        if (!Live(bar) || !Walk::Choosable(bar, command)) {
            return 0;
        }
    }
    return PostWindowMessage(window, WM_COMMAND, command, commandData);
}

const MenuBackendHooks& GetMenuBackendHooks() {
    return MenuHooks;
}

MenuBackendHooks SetMenuBackendHooks(const MenuBackendHooks& hooks) {
    std::lock_guard<std::mutex> lock(MenusMutex);
    MenuBackendHooks previous = MenuHooks;
    MenuHooks = hooks;
    return previous;
}

}  // namespace mirexa
