// The menu bar of a window shows the layer's menu record: the main menu's tree as the resource
// gives it, check and grey states as the program sets them, and a chosen item reaching the window
// procedure as WM_COMMAND; a key that reaches a menu or another popup already closed goes to the
// window.
#include <gtest/gtest.h>

#include <QAction>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "qt_test_support.h"
#include "resources/main_menu.h"
#include "resources/program_resources.h"

namespace mirexa {
namespace {

using testing::MakeShownWindow;
using testing::PumpPending;
using testing::PumpUntil;
using testing::Recorded;

// Compares the toolkit's actions with the record, submenus included; returns the items compared.
int ExpectSameTree(const QList<QAction*>& actions, MenuHandle menu, const std::string& path) {
    const int count = GetMenuEntryCount(menu);
    EXPECT_EQ(actions.size(), count) << path;
    int compared = 0;
    for (int i = 0; i < std::min<int>(count, actions.size()); ++i) {
        MenuEntryInfo info;
        GetMenuEntryInfo(menu, static_cast<unsigned>(i), MENU_BYPOSITION, &info);
        const QAction* action = actions[i];
        const std::string where = path + "/" + std::to_string(i);
        ++compared;
        EXPECT_EQ(action->isSeparator(), info.separator != 0) << where;
        if (info.separator) {
            continue;
        }
        EXPECT_EQ(action->text().toStdString(), info.caption) << where;
        EXPECT_EQ(action->isEnabled(), (info.state & (MENU_GRAYED | MENU_DISABLED)) == 0) << where;
        EXPECT_EQ(action->isChecked(), (info.state & MENU_CHECKED) != 0) << where;
        EXPECT_EQ(action->menu() != nullptr, info.submenu != nullptr) << where;
        if (info.submenu && action->menu()) {
            compared += ExpectSameTree(action->menu()->actions(), info.submenu, where);
        }
    }
    return compared;
}

class QtMenusTest : public ::testing::Test {
protected:
    void SetUp() override {
        Recorded().Clear();
        window = MakeShownWindow(400, 300);
        menu = LoadMenuResource(IDR_MAIN_MENU);
        SetWindowMenuBar(window, menu);
        bar = qobject_cast<QMainWindow*>(FindQtWidget(window))->menuBar();
    }
    void TearDown() override {
        DestroyPlatformWindow(window);
        DestroyMenuHandle(menu);
        PumpPending();
    }
    // The action of the first item with the command, depth first.
    static QAction* FindAction(const QList<QAction*>& actions, unsigned command) {
        for (QAction* action : actions) {
            if (action->menu()) {
                if (QAction* found = FindAction(action->menu()->actions(), command)) {
                    return found;
                }
            } else if (action->property("mirexaCommand").toUInt() == command &&
                       !action->isSeparator()) {
                return action;
            }
        }
        return nullptr;
    }
    WindowHandle window = {};
    MenuHandle menu = {};
    QMenuBar* bar = {};
};

TEST_F(QtMenusTest, TheMenuBarMatchesTheResourceAndFollowsItsStates) {
    int lines = 0;
    ASSERT_NE(FindMenuResource(IDR_MAIN_MENU, &lines), nullptr);
    EXPECT_EQ(bar->actions().size(), MAIN_MENU_HELP + 1);
    EXPECT_EQ(ExpectSameTree(bar->actions(), menu, "bar"), lines);
    // The client area keeps the record's size under the new menu bar.
    EXPECT_EQ(qobject_cast<QMainWindow*>(FindQtWidget(window))->centralWidget()->size(),
              QSize(400, 300));

    CheckMenuEntry(menu, IDM_PATH_DISPLAY, MENU_BYCOMMAND | MENU_CHECKED);
    EnableMenuEntry(menu, IDM_CUT_RESULT, MENU_BYCOMMAND | MENU_GRAYED);
    SetMenuEntryCaption(menu, MAIN_MENU_HELP, MENU_BYPOSITION, "Help(&H)");
    MenuHandle stock = GetSubMenuHandle(menu, MAIN_MENU_STOCK);
    AppendMenuEntry(stock, MenuEntryInfo{.command = 40001, .caption = "Plug-in item"});
    ExpectSameTree(bar->actions(), menu, "bar");
    EXPECT_TRUE(FindAction(bar->actions(), IDM_PATH_DISPLAY)->isChecked());
    EXPECT_FALSE(FindAction(bar->actions(), IDM_CUT_RESULT)->isEnabled());
    EXPECT_EQ(bar->actions()[MAIN_MENU_HELP]->text(), "Help(&H)");
    ASSERT_NE(FindAction(bar->actions(), 40001), nullptr);
}

TEST_F(QtMenusTest, AChosenItemReachesTheWindowProcedure) {
    FindAction(bar->actions(), IDM_STOCK_ROTATE)->trigger();
    EXPECT_TRUE(Recorded().Of(WM_COMMAND).empty()) << "toolkit handlers only post";
    ASSERT_TRUE(PumpUntil([] { return !Recorded().Of(WM_COMMAND).empty(); }));
    EXPECT_EQ(Recorded().Of(WM_COMMAND)[0].wparam, IDM_STOCK_ROTATE);
    EXPECT_EQ(Recorded().Of(WM_COMMAND)[0].window, window);

    // A grey item posts nothing, even when the toolkit is asked to trigger it.
    Recorded().Clear();
    EnableMenuEntry(menu, IDM_STOCK_ROTATE, MENU_BYCOMMAND | MENU_GRAYED);
    FindAction(bar->actions(), IDM_STOCK_ROTATE)->trigger();
    PumpUntil([] { return false; }, std::chrono::milliseconds(30));
    EXPECT_TRUE(Recorded().Of(WM_COMMAND).empty());

    // Opening a menu tells the window (the view stops spinning).
    bar->actions()[MAIN_MENU_MACHINING]->menu()->popup(QPoint(0, 0));
    ASSERT_TRUE(PumpUntil([] { return !Recorded().Of(WM_MENUSELECT).empty(); }));
    bar->actions()[MAIN_MENU_MACHINING]->menu()->hide();
}

// Until the toolkit has handled a popup's closing, the X server hands the keys typed meanwhile to
// the popup's window (its keyboard grab): Esc, Esc closes the menu and leaves the menu bar, and
// both the second Esc and a key after it must go where the keyboard is, not into the closed
// popup; so must the keys that reach a dialog's file name completion list after it closed.
TEST_F(QtMenusTest, KeysTypedAtAClosedPopupReachTheWindowWithTheFocus) {
    auto* frame = qobject_cast<QMainWindow*>(FindQtWidget(window));
    QListView completions;
    completions.setWindowFlags(Qt::Popup);
    QMenu* menu = bar->actions()[MAIN_MENU_MACHINING]->menu();
    for (QWidget* closed : {static_cast<QWidget*>(menu), static_cast<QWidget*>(&completions)}) {
        SCOPED_TRACE(closed->metaObject()->className());
        frame->activateWindow();
        frame->centralWidget()->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
        if (closed == menu) {
            menu->popup(QPoint(0, 0));
        } else {
            closed->show();
        }
        ASSERT_TRUE(PumpUntil([closed] { return closed->isVisible(); }));
        closed->hide();
        // The keyboard back in the window, as the toolkit gives it back on X.
        frame->activateWindow();
        frame->centralWidget()->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
        Recorded().Clear();
        QTest::keyClick(closed->windowHandle(), Qt::Key_Escape);
        QTest::keyClick(closed->windowHandle(), Qt::Key_F5);
        PumpPending();
        const auto downs = Recorded().Of(WM_KEYDOWN);
        ASSERT_EQ(downs.size(), 2u);
        EXPECT_EQ(downs[0].wparam, VK_ESCAPE);
        EXPECT_EQ(downs[1].wparam, VK_F5);
        EXPECT_EQ(downs[1].window, window);
    }
}

}  // namespace
}  // namespace mirexa
