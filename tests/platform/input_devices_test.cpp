// The input pieces of the platform layer: held keys, pointer, capture and clip, the clipboard,
// popup menus with a scripted responder, and the timer query.
#include <gtest/gtest.h>

#include <vector>

#include "platform/backend.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/keys.h"
#include "platform/pointer.h"
#include "platform/popup_menu.h"
#include "platform/window.h"
#include "support/test_windows.h"

namespace mirexa {
namespace {

std::vector<WindowMessage> received;

MessageResult RecordingProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                 MessageLParam lparam) {
    if (message == WM_COMMAND) {
        received.push_back({window, message, wparam, lparam});
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

WindowHandle MakeWindow() {
    return CreatePlatformWindow(
        {.className = "InputTest", .procedure = RecordingProcedure, .rect = {0, 0, 100, 80}});
}

TEST(InputDevices, KeysHoldTheirStateAndOutOfRangeCodesReadUp) {
    ReleaseAllKeys();
    SetKeyDownState(VK_CONTROL, 1);
    SetKeyDownState(VK_SHIFT, 1);
    SetKeyDownState(VK_SHIFT, 0);
    SetKeyDownState(100000, 1);
    EXPECT_EQ(IsKeyDown(VK_CONTROL), 1);
    EXPECT_EQ(IsKeyDown(VK_SHIFT), 0);
    EXPECT_EQ(IsKeyDown(100000), 0);
    ReleaseAllKeys();
    EXPECT_EQ(IsKeyDown(VK_CONTROL), 0);
}

// The pointer over a window: the backend's answer of where it is now wins over the window's last
// mouse message (the pointer may have left without a message); a backend that cannot tell, and
// the headless one, leave the last message's position.
TEST(InputDevices, PointerOverWindowIsTheBackendsAnswerElseTheLastMessage) {
    static int answer = 0;
    static const RealWindowBackend fake = {
        [] { return 1; },
        {.pointerOverWindow =
             [](WindowHandle, int* x, int* y) {
                 if (answer == 1) {
                     *x = 5;
                     *y = 6;
                 }
                 return answer;
             }},
    };
    WindowHandle view = MakeWindow();
    SetPointerPosition(view, 10, 20);
    struct Case {
        bool realBackend;
        int answer;
        int over;
        int x;
    };
    for (const Case& c : {Case{false, 0, 1, 10}, Case{true, 0, 0, -1}, Case{true, -1, 1, 10},
                          Case{true, 1, 1, 5}}) {
        answer = c.answer;
        RegisterRealWindowBackend(c.realBackend ? &fake : nullptr);
        ASSERT_EQ(StartPlatformBackend(c.realBackend ? PlatformBackend::RealWindow
                                                     : PlatformBackend::Headless),
                  1);
        int x = -1;
        int y = -1;
        EXPECT_EQ(GetPointerOverWindow(view, &x, &y), c.over) << c.realBackend << c.answer;
        EXPECT_EQ(x, c.x) << c.realBackend << c.answer;
    }
    StartPlatformBackend(PlatformBackend::Headless);
    RegisterRealWindowBackend(nullptr);
}

TEST(InputDevices, PointerBelongsToOneWindowAndCaptureAndClipAreReleased) {
    WindowHandle a = MakeWindow();
    WindowHandle b = MakeWindow();
    SetPointerPosition(a, 10, 20);
    int x = -1;
    int y = -1;
    EXPECT_EQ(GetPointerPosition(b, &x, &y), 0);
    EXPECT_EQ(x, -1);
    ASSERT_EQ(GetPointerPosition(a, &x, &y), 1);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);

    ReleaseMouseCapture();
    EXPECT_EQ(SetMouseCapture(a), nullptr);
    EXPECT_EQ(SetMouseCapture(b), a);
    EXPECT_EQ(ReleaseMouseCapture(), 1);
    EXPECT_EQ(GetMouseCapture(), nullptr);
    EXPECT_EQ(ReleaseMouseCapture(), 0);

    const WindowRect clip{1, 2, 30, 40};
    ClipPointer(a, &clip);
    WindowRect got;
    WindowHandle owner = nullptr;
    ASSERT_EQ(GetPointerClip(&owner, &got), 1);
    EXPECT_EQ(owner, a);
    EXPECT_EQ(got.right, 30);
    ClipPointer(a, nullptr);
    EXPECT_EQ(GetPointerClip(&owner, &got), 0);
    DestroyPlatformWindow(a);
    DestroyPlatformWindow(b);
}

TEST(InputDevices, ClipboardKeepsOneBlockPerFormatUntilEmptied) {
    EmptyClipboard();
    std::vector<std::uint8_t> out{9};
    EXPECT_EQ(GetClipboardData(CLIPBOARD_DIB, &out), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(SetClipboardData(0, {1}), 0);
    ASSERT_EQ(SetClipboardData(CLIPBOARD_DIB, {1, 2, 3}), 1);
    ASSERT_EQ(SetClipboardData(CLIPBOARD_DIB, {4, 5}), 1);  // replaces
    ASSERT_EQ(SetClipboardData(CLIPBOARD_TEXT, {'a', 0}), 1);
    ASSERT_EQ(GetClipboardData(CLIPBOARD_DIB, &out), 1);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{4, 5}));
    EmptyClipboard();
    EXPECT_EQ(GetClipboardData(CLIPBOARD_TEXT, &out), 0);
}

TEST(InputDevices, PopupPostsOnlyAnEnabledItemOfTheMenu) {
    WindowHandle owner = MakeWindow();
    PopupMenu menu;
    menu.items = {{250, "Measure", 0, 0}, {0, "", 0, 0}, {257, "Rotate", 0, 1}};
    unsigned answer = 0;
    PopupMenuResponder previous = SetPopupMenuResponder([&](const PopupMenu& shown, int x, int y) {
        EXPECT_EQ(shown.items.size(), 3u);
        EXPECT_EQ(x, 7);
        EXPECT_EQ(y, 8);
        return answer;
    });
    received.clear();
    answer = 0;  // dismissed
    EXPECT_EQ(TrackPopupMenu(menu, 7, 8, owner), 0u);
    answer = 257;  // grayed
    EXPECT_EQ(TrackPopupMenu(menu, 7, 8, owner), 0u);
    answer = 999;  // not in the menu
    EXPECT_EQ(TrackPopupMenu(menu, 7, 8, owner), 0u);
    answer = 250;
    EXPECT_EQ(TrackPopupMenu(menu, 7, 8, owner), 250u);
    testing::DispatchPendingMessages();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].wparam, 250u);
    SetPopupMenuResponder(previous);
    SetPopupMenuResponder({});
    EXPECT_EQ(TrackPopupMenu(menu, 7, 8, owner), 0u);  // nobody answers: dismissed
    DestroyPlatformWindow(owner);
}

TEST(InputDevices, TimerQueryFollowsStartAndStop) {
    WindowHandle window = MakeWindow();
    EXPECT_EQ(IsWindowTimerRunning(window, 4), 0);
    StartWindowTimer(window, 4, 25);
    EXPECT_EQ(IsWindowTimerRunning(window, 4), 1);
    EXPECT_EQ(IsWindowTimerRunning(window, 5), 0);
    StopWindowTimer(window, 4);
    EXPECT_EQ(IsWindowTimerRunning(window, 4), 0);
    StartWindowTimer(window, 4, 25);
    DestroyPlatformWindow(window);
    EXPECT_EQ(IsWindowTimerRunning(window, 4), 0);
}

}  // namespace
}  // namespace mirexa
