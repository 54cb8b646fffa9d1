// Window records and their widgets: creation, title, geometry, visibility and destruction follow
// the records; what the user does (resize, close, keys, mouse, wheel, drops) reaches the window
// procedures as the layer's messages, in order.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QMainWindow>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/keys.h"
#include "qt_test_support.h"

namespace mirexa {
namespace {

using testing::MakeChild;
using testing::MakeShownWindow;
using testing::PumpPending;
using testing::PumpUntil;
using testing::Recorded;

class QtWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Recorded().Clear();
        ReleaseAllKeys();
        window = MakeShownWindow(320, 200, "first title");
        child = MakeChild(window, WindowRect{10, 20, 110, 80});
        PumpPending();
        Recorded().Clear();
    }
    void TearDown() override {
        DestroyPlatformWindow(window);
        PumpPending();
    }
    QWidget* ChildWidget() {
        return FindQtWidget(child);
    }
    WindowHandle window = {};
    WindowHandle child = {};
};

TEST_F(QtWindowsTest, WidgetsFollowTheRecords) {
    auto* frame = qobject_cast<QMainWindow*>(FindQtWidget(window));
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->windowTitle(), "first title");
    EXPECT_EQ(frame->centralWidget()->size(), QSize(320, 200));
    ASSERT_NE(ChildWidget(), nullptr);
    EXPECT_EQ(ChildWidget()->geometry(), QRect(10, 20, 100, 60));
    EXPECT_EQ(ChildWidget()->parentWidget(), frame->centralWidget());

    SetPlatformWindowText(window, "second title");
    EXPECT_EQ(frame->windowTitle(), "second title");
    // A move by the program sends exactly one WM_SIZE, and the toolkit's own resize event does
    // not come back as a second one.
    MovePlatformWindow(window, WindowRect{40, 40, 400, 300});
    PumpUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(Recorded().Of(WM_SIZE).size(), 1u);
    EXPECT_EQ(frame->centralWidget()->size(), QSize(360, 260));
    ShowPlatformWindow(child, SW_HIDE);
    EXPECT_FALSE(ChildWidget()->isVisible());
    EnablePlatformWindow(child, 0);
    EXPECT_FALSE(ChildWidget()->isEnabled());

    QPointer<QWidget> frameLeft = frame;
    QPointer<QWidget> childLeft = ChildWidget();
    DestroyPlatformWindow(window);
    EXPECT_TRUE(frameLeft.isNull());
    EXPECT_TRUE(childLeft.isNull());
}

TEST_F(QtWindowsTest, TheUsersResizeAndCloseBoxArePosted) {
    auto* frame = qobject_cast<QMainWindow*>(FindQtWidget(window));
    frame->resize(frame->width() + 50, frame->height() + 30);
    EXPECT_TRUE(Recorded().Of(WM_SIZE).empty()) << "toolkit handlers only post";
    ASSERT_TRUE(PumpUntil([] { return !Recorded().Of(WM_SIZE).empty(); }));
    const WindowMessage size = Recorded().Of(WM_SIZE).back();
    EXPECT_EQ(size.wparam, 370u);
    EXPECT_EQ(size.lparam, 230);
    WindowRect client = {};
    GetWindowClientRect(window, &client);
    EXPECT_EQ(client.right, 370);

    frame->close();
    ASSERT_TRUE(PumpUntil([] { return !Recorded().Of(WM_CLOSE).empty(); }));
    EXPECT_TRUE(IsPlatformWindow(window)) << "the procedure decides what a close does";
}

// A wake-up that goes astray inside the toolkit must not leave the window asleep for ever: a
// wait with no timer due returns to the layer's loop by itself. A watchdog wakes a wait that
// did not, so that a failure ends the test instead of hanging it.
TEST_F(QtWindowsTest, AWaitWithNothingDueReturnsByItself) {
    const GuiPump& pump = GetGuiPump();
    ASSERT_NE(pump.wait, nullptr);
    for (int pass = 0; pass < 20; ++pass) {
        pump.poll(0);  // nothing of the set-up left that would end the wait at once
    }
    std::mutex mutex;
    std::condition_variable returned;
    bool done = false;
    bool rescued = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!returned.wait_for(lock, std::chrono::seconds(5), [&] { return done; })) {
            rescued = true;
            pump.wake();
        }
    });
    pump.wait(-1);
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    returned.notify_all();
    watchdog.join();
    EXPECT_FALSE(rescued);
}

TEST_F(QtWindowsTest, AWindowOfAnotherThreadGetsNoWidget) {
    QWidget* widget = reinterpret_cast<QWidget*>(1);
    std::thread worker([&] {
        WindowHandle other = MakeShownWindow(100, 100);
        widget = FindQtWidget(other);
        DestroyPlatformWindow(other);
    });
    worker.join();
    EXPECT_EQ(widget, nullptr);
}

TEST_F(QtWindowsTest, KeysBecomeKeyMessagesWithCodeAndCharacter) {
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* text;
        unsigned code;
        MessageLParam character;
    };
    const Case cases[] = {
        {Qt::Key_F5, Qt::NoModifier, "", VK_F5, 0},
        {Qt::Key_Tab, Qt::NoModifier, "\t", VK_TAB, 0},
        {Qt::Key_P, Qt::ControlModifier, "\x10", 'P', kKeyCtrlHeld},  // P with Ctrl held
        {Qt::Key_A, Qt::NoModifier, "a", 'A', 'a'},
        {Qt::Key_3, Qt::KeypadModifier, "3", VK_NUMPAD0 + 3, '3'},
        {Qt::Key_3, Qt::NoModifier, "3", '3', '3'},
        {Qt::Key_At, Qt::NoModifier, "@", 0, '@'},
        {Qt::Key_Slash, Qt::AltModifier, "/", VK_OEM_2, '/' | kKeyAltHeld},  // / with Alt held
        {Qt::Key_Escape, Qt::NoModifier, "", VK_ESCAPE, 0},
        {Qt::Key_Left, Qt::NoModifier, "", VK_LEFT, 0},
    };
    QWidget* target = ChildWidget();
    for (const Case& c : cases) {
        Recorded().Clear();
        QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers, QString::fromUtf8(c.text));
        QApplication::sendEvent(target, &press);
        PumpPending();
        const auto downs = Recorded().Of(WM_KEYDOWN);
        ASSERT_EQ(downs.size(), 1u) << c.key;
        EXPECT_EQ(downs[0].window, child);
        EXPECT_EQ(downs[0].wparam, c.code) << c.key;
        EXPECT_EQ(downs[0].lparam, c.character) << c.key;
        if (c.code != 0) {
            EXPECT_EQ(IsKeyDown(c.code), 1) << c.key;
        }
        EXPECT_EQ(IsKeyDown(VK_MENU), (c.modifiers & Qt::AltModifier) ? 1 : 0);
        QKeyEvent release(QEvent::KeyRelease, c.key, c.modifiers, QString::fromUtf8(c.text));
        QApplication::sendEvent(target, &release);
        EXPECT_EQ(IsKeyDown(c.code), 0) << c.key;
    }
    // A modifier and a key typed and let go before the program takes the key: the message keeps
    // the modifier, as held when the key went down (the key state has it up by then).
    const struct {
        Qt::Key modifierKey, key;
        Qt::KeyboardModifier modifier;
        unsigned modifierCode, code;
        MessageLParam keyData;
    } quick[] = {
        {Qt::Key_Shift, Qt::Key_Backtab, Qt::ShiftModifier, VK_SHIFT, VK_TAB, kKeyShiftHeld},
        {Qt::Key_Control, Qt::Key_P, Qt::ControlModifier, VK_CONTROL, 'P', kKeyCtrlHeld},
        {Qt::Key_Alt, Qt::Key_D, Qt::AltModifier, VK_MENU, 'D', kKeyAltHeld},
    };
    for (const auto& q : quick) {
        Recorded().Clear();
        const std::pair<QEvent::Type, Qt::Key> typed[] = {{QEvent::KeyPress, q.modifierKey},
                                                          {QEvent::KeyPress, q.key},
                                                          {QEvent::KeyRelease, q.key},
                                                          {QEvent::KeyRelease, q.modifierKey}};
        for (const auto& [type, key] : typed) {
            QKeyEvent event(type, key, type == QEvent::KeyPress ? q.modifier : Qt::NoModifier);
            QApplication::sendEvent(target, &event);
        }
        EXPECT_EQ(IsKeyDown(q.modifierCode), 0) << q.key;
        PumpPending();
        const auto downs = Recorded().Of(WM_KEYDOWN);
        ASSERT_EQ(downs.size(), 2u) << q.key;
        EXPECT_EQ(downs[1].wparam, q.code) << q.key;
        EXPECT_EQ(downs[1].lparam, q.keyData) << q.key;
    }
    // A deactivation releases every key held, so no Ctrl stays down after switching programs.
    SetKeyDownState(VK_CONTROL, 1);
    NotifyNativeActivate(window, WA_INACTIVE);
    EXPECT_EQ(IsKeyDown(VK_CONTROL), 0);
}

TEST_F(QtWindowsTest, MouseAndWheelCarryClientPixels) {
    QWidget* target = ChildWidget();
    QTest::mouseClick(target, Qt::LeftButton, Qt::ShiftModifier, QPoint(7, 9));
    QTest::mouseClick(target, Qt::RightButton, Qt::ControlModifier, QPoint(30, 40));
    QWheelEvent wheel(QPointF(5, 6), target->mapToGlobal(QPointF(5, 6)), QPoint(), QPoint(0, -240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &wheel);
    PumpPending();
    const std::pair<unsigned, MessageLParam> expected[] = {
        {WM_LBUTTONDOWN, 7 | (9 << 16)},   {WM_LBUTTONUP, 7 | (9 << 16)},
        {WM_RBUTTONDOWN, 30 | (40 << 16)}, {WM_RBUTTONUP, 30 | (40 << 16)},
        {WM_MOUSEWHEEL, 5 | (6 << 16)},
    };
    for (const auto& [message, point] : expected) {
        const auto found = Recorded().Of(message);
        ASSERT_EQ(found.size(), 1u) << message;
        EXPECT_EQ(found[0].lparam, point) << message;
    }
    EXPECT_EQ(static_cast<std::intptr_t>(Recorded().Of(WM_MOUSEWHEEL)[0].wparam), -240);
    // A button's press carries Shift and Ctrl as held at the click.
    EXPECT_EQ(static_cast<std::intptr_t>(Recorded().Of(WM_LBUTTONDOWN)[0].wparam), kKeyShiftHeld);
    EXPECT_EQ(static_cast<std::intptr_t>(Recorded().Of(WM_RBUTTONDOWN)[0].wparam), kKeyCtrlHeld);
}

TEST_F(QtWindowsTest, DroppedFilesArriveInTheOrderDropped) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/b part.nc"), QUrl::fromLocalFile("/tmp/a.TTL"),
                  QUrl("https://example.invalid/not-a-file"), QUrl::fromLocalFile("/tmp/c.dme")});
    // The widget's own handlers, as the toolkit calls them at the end of a drag (the desktop's
    // drag protocol itself needs a real display).
    QObject* target = ChildWidget();
    QDragEnterEvent enter(QPoint(3, 3), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    target->event(&enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(3, 3), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    target->event(&drop);
    EXPECT_TRUE(Recorded().drops.empty()) << "the drop waits for the layer's loop";
    ASSERT_TRUE(PumpUntil([] { return !Recorded().Of(WM_DROPFILES).empty(); }));
    ASSERT_EQ(Recorded().drops.size(), 1u);
    const std::vector<std::string> expected = {"/tmp/b part.nc", "/tmp/a.TTL", "/tmp/c.dme"};
    EXPECT_EQ(Recorded().drops[0], expected);
    EXPECT_EQ(Recorded().Of(WM_DROPFILES)[0].window, child);
}

}  // namespace
}  // namespace mirexa
