// Menu trees and menu bars of the platform layer, and the file-dialog requests of the headless
// backend.
#include "platform/menus.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/file_dialog.h"

namespace mirexa {
namespace {

MenuEntryInfo Item(unsigned command, const char* caption) {
    return {.command = command, .caption = caption};
}
MenuEntryInfo Separator() {
    return {.separator = 1};
}
MenuEntryInfo Popup(const char* caption, MenuHandle submenu) {
    return {.caption = caption, .submenu = submenu};
}

// A bar: "File" (open 10, separator, exit 11) and "View" (nested "Zoom" (in 20, out 21), 22).
struct SampleBar {
    MenuHandle bar = CreateMenuHandle();
    MenuHandle file = CreateMenuHandle();
    MenuHandle view = CreateMenuHandle();
    MenuHandle zoom = CreateMenuHandle();
    SampleBar() {
        AppendMenuEntry(file, Item(10, "Open"));
        AppendMenuEntry(file, Separator());
        AppendMenuEntry(file, Item(11, "Exit"));
        AppendMenuEntry(zoom, Item(20, "In"));
        AppendMenuEntry(zoom, Item(21, "Out"));
        AppendMenuEntry(view, Popup("Zoom", zoom));
        AppendMenuEntry(view, Item(22, "Axes"));
        AppendMenuEntry(bar, Popup("File", file));
        AppendMenuEntry(bar, Popup("View", view));
    }
    ~SampleBar() {
        DestroyMenuHandle(bar);
    }
};

TEST(Menus, ItemsAreFoundByPositionAndByCommandInNestedSubmenus) {
    SampleBar s;
    EXPECT_EQ(GetMenuEntryCount(s.bar), 2);
    EXPECT_EQ(GetSubMenuHandle(s.bar, 1), s.view);
    EXPECT_EQ(GetMenuEntryId(s.file, 1), 0u);  // separator
    EXPECT_EQ(GetMenuEntryId(s.view, 0), MENU_ID_SUBMENU);
    EXPECT_EQ(GetMenuEntryId(s.view, 9), MENU_ID_SUBMENU);  // no item there
    EXPECT_EQ(GetMenuEntryState(s.bar, 21, MENU_BYCOMMAND), 0);
    EXPECT_EQ(GetMenuEntryState(s.view, 0, MENU_BYPOSITION), static_cast<int>(MENU_POPUP));
    EXPECT_EQ(GetMenuEntryState(s.bar, 99, MENU_BYCOMMAND), -1);

    EXPECT_EQ(CheckMenuEntry(s.bar, 21, MENU_BYCOMMAND | MENU_CHECKED), 0);
    EXPECT_EQ(EnableMenuEntry(s.bar, 21, MENU_BYCOMMAND | MENU_GRAYED), 0);
    EXPECT_EQ(SetMenuEntryCaption(s.bar, 21, MENU_BYCOMMAND, "Zoom out"), 1);
    MenuEntryInfo info;
    ASSERT_EQ(GetMenuEntryInfo(s.zoom, 1, MENU_BYPOSITION, &info), 1);
    EXPECT_EQ(info.caption, "Zoom out");
    EXPECT_EQ(info.state, MENU_CHECKED | MENU_GRAYED);  // the caption change kept the state
    EXPECT_EQ(EnableMenuEntry(s.bar, 21, MENU_BYCOMMAND | MENU_ENABLED),
              static_cast<int>(MENU_GRAYED));
    EXPECT_EQ(SetMenuEntryCaption(s.file, 1, MENU_BYPOSITION, "x"), 0);  // separator

    // An inserted item moves the later ones; a removed submenu goes with its items.
    ASSERT_EQ(InsertMenuEntry(s.file, 0, Item(12, "New")), 1);
    EXPECT_EQ(GetMenuEntryId(s.file, 1), 10u);
    ASSERT_EQ(RemoveMenuEntry(s.view, 0, MENU_BYPOSITION), 1);
    EXPECT_EQ(IsMenuHandle(s.zoom), 0);
    EXPECT_EQ(GetMenuEntryState(s.bar, 20, MENU_BYCOMMAND), -1);
}

TEST(Menus, BadHandlesAndTreesThatAreNoTreesAreRefused) {
    SampleBar s;
    MenuHandle loose = CreateMenuHandle();
    EXPECT_EQ(InsertMenuEntry(s.zoom, -1, Popup("Loop", s.bar)), 0);   // a menu inside itself
    EXPECT_EQ(InsertMenuEntry(loose, -1, Popup("Twice", s.zoom)), 0);  // a submenu elsewhere
    EXPECT_EQ(DestroyMenuHandle(s.zoom), 0);                           // only with its item
    ASSERT_EQ(DestroyMenuHandle(loose), 1);
    EXPECT_EQ(GetMenuEntryCount(loose), -1);
    EXPECT_EQ(AppendMenuEntry(loose, Item(1, "x")), 0);
    EXPECT_EQ(EnableMenuEntry(loose, 1, MENU_BYCOMMAND), -1);
    EXPECT_EQ(GetMenuEntryCount(nullptr), -1);
}

TEST(Menus, AWindowsMenuBarPostsOnlyCommandsThatCanBeChosen) {
    SampleBar s;
    WindowHandle window = CreatePlatformWindow(WindowCreateParams{});
    static std::vector<MenuHandle> changed;
    static std::vector<WindowHandle> bars;
    changed.clear();
    bars.clear();
    MenuBackendHooks hooks;
    hooks.menuChanged = [](MenuHandle menu, int) { changed.push_back(menu); };
    hooks.menuBarChanged = [](WindowHandle w) { bars.push_back(w); };
    MenuBackendHooks previous = SetMenuBackendHooks(hooks);

    ASSERT_EQ(SetWindowMenuBar(window, s.bar), 1);
    EXPECT_EQ(SetWindowMenuBar(window, s.view), 0);  // a submenu cannot be a bar
    WindowHandle other = CreatePlatformWindow(WindowCreateParams{});
    EXPECT_EQ(SetWindowMenuBar(other, s.bar), 0);  // nor the bar of two windows
    DestroyPlatformWindow(other);
    EXPECT_EQ(GetWindowMenuBar(window), s.bar);
    EnableMenuEntry(s.bar, 11, MENU_BYCOMMAND | MENU_GRAYED);
    EnableMenuEntry(s.view, 0, MENU_BYPOSITION | MENU_DISABLED);  // the Zoom submenu
    EXPECT_EQ(changed, (std::vector<MenuHandle>{s.file, s.view}));
    struct Case {
        unsigned command;
        int posted;
    };
    // The command's data (Shift at the choice) goes with it as its lparam.
    for (Case c : {Case{10, 1}, Case{11, 0}, Case{20, 0}, Case{22, 1}, Case{99, 0}}) {
        EXPECT_EQ(ChooseMenuCommand(window, c.command, c.command == 22 ? 7 : 0), c.posted)
            << c.command;
    }
    std::vector<std::pair<MessageWParam, MessageLParam>> posted;
    WindowMessage message;
    while (PeekWindowMessage(&message, PM_REMOVE)) {
        if (message.message == WM_COMMAND) {
            posted.emplace_back(message.wparam, message.lparam);
        }
    }
    EXPECT_EQ(posted, (std::vector<std::pair<MessageWParam, MessageLParam>>{{10, 0}, {22, 7}}));
    EXPECT_EQ(RedrawMenuBar(window), 1);

    // A destroyed bar leaves the window without one.
    MenuHandle bar = CreateMenuHandle();
    ASSERT_EQ(SetWindowMenuBar(window, bar), 1);
    ASSERT_EQ(DestroyMenuHandle(bar), 1);
    EXPECT_EQ(GetWindowMenuBar(window), nullptr);
    EXPECT_EQ(RedrawMenuBar(window), 0);
    EXPECT_EQ(bars.size(), 4u);
    SetMenuBackendHooks(previous);
    DestroyPlatformWindow(window);
}

TEST(FileDialog, CancelKeepsTheRequestsValuesAndAutomaticModeLogs) {
    FileDialogRequest request;
    request.title = "NC DATA FILE";
    request.filterIndex = 3;
    request.checkBoxChecked = 1;
    FileDialogResult result;
    FileDialogResponder previous = SetFileDialogResponder({});
    EXPECT_EQ(ShowFileDialog(request, &result), 0);
    EXPECT_EQ(result.filterIndex, 3);
    // An OK without a path is no choice.
    SetFileDialogResponder([](const FileDialogRequest&) {
        FileDialogResult r;
        r.ok = 1;
        r.filterIndex = 1;
        return r;
    });
    EXPECT_EQ(ShowFileDialog(request, &result), 0);
    EXPECT_EQ(result.filterIndex, 3);
    EXPECT_EQ(result.checkBoxChecked, 1);
    std::vector<std::string> log;
    SetFileDialogResponder(
        MakeAutomaticFileDialogResponder([&](const std::string& line) { log.push_back(line); }));
    EXPECT_EQ(ShowFileDialog(request, &result), 0);
    EXPECT_EQ(log, std::vector<std::string>{"file dialog cancelled: NC DATA FILE\n"});
    SetFileDialogResponder(previous);
}

}  // namespace
}  // namespace mirexa
