// Invalidation and the synthesised WM_PAINT, the native side's notifications, enabled state and
// focus, and the GUI pump of the message loop.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/keys.h"
#include "platform/window.h"
#include "support/test_windows.h"

namespace mirexa {
namespace {

std::vector<std::string> seen;  // "<window text> <message> <wparam> <lparam>"

std::string Msg(const std::string& text, unsigned message, long long wparam = 0,
                long long lparam = 0) {
    return text + " " + std::to_string(message) + " " + std::to_string(wparam) + " " +
           std::to_string(lparam);
}

MessageResult Recorder(WindowHandle window, unsigned message, MessageWParam wparam,
                       MessageLParam lparam) {
    if (message != WM_CREATE && message != WM_DESTROY) {
        seen.push_back(Msg(GetPlatformWindowText(window), message, static_cast<long long>(wparam),
                           static_cast<long long>(lparam)));
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

WindowHandle Make(const std::string& text, WindowHandle parent = nullptr, int visible = 1) {
    return testing::MakeTestWindow(Recorder, text, parent, WindowRect{10, 20, 110, 70}, 0, visible);
}

class WindowStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseManualClock(1, 1000);
        testing::DispatchPendingMessages();
        seen.clear();
    }
    void TearDown() override {
        SetGuiPump(nullptr);
        testing::DispatchPendingMessages();
        UseManualClock(0, 0);
    }
};

TEST_F(WindowStateTest, APaintComesAfterPostsBeforeTimersAndOnlyOnScreen) {
    WindowHandle main = Make("main");
    WindowHandle child = Make("child", main);
    WindowHandle hidden = Make("hidden", nullptr, 0);
    StartWindowTimer(main, 5, 20);
    AdvanceManualClock(20);
    EXPECT_EQ(InvalidatePlatformWindow(hidden), 1);
    EXPECT_EQ(InvalidatePlatformWindow(main), 1);  // the child with it
    PostWindowMessage(main, WM_USER, 1, 0);
    testing::DispatchPendingMessages();
    EXPECT_EQ(seen, (std::vector<std::string>{Msg("main", WM_USER, 1), Msg("main", WM_PAINT),
                                              Msg("child", WM_PAINT), Msg("main", WM_TIMER, 5)}));
    EXPECT_EQ(IsPlatformWindowInvalid(main), 0);
    EXPECT_EQ(IsPlatformWindowInvalid(hidden), 1);
    // Shown, the hidden window gets its paint; minimised, a window waits for its restore.
    seen.clear();
    ShowPlatformWindow(hidden, SW_SHOW);
    ShowPlatformWindow(main, SW_MINIMIZE);
    InvalidatePlatformWindow(child);
    testing::DispatchPendingMessages();
    EXPECT_EQ(seen, (std::vector<std::string>{Msg("main", WM_SIZE), Msg("hidden", WM_PAINT)}));
    seen.clear();
    ShowPlatformWindow(main, SW_RESTORE);
    testing::DispatchPendingMessages();
    EXPECT_EQ(seen,
              (std::vector<std::string>{Msg("main", WM_SIZE, 100, 50), Msg("child", WM_PAINT)}));
    // UpdatePlatformWindow paints an invalid window at once, and only then.
    EXPECT_EQ(UpdatePlatformWindow(main), 0);
    InvalidatePlatformWindow(main);
    EXPECT_EQ(UpdatePlatformWindow(main), 1);
    EXPECT_EQ(IsPlatformWindowInvalid(main), 0);
    DestroyPlatformWindow(main);
    DestroyPlatformWindow(hidden);
}

TEST_F(WindowStateTest, NativeGeometryIsAppliedWhenDispatchedAndCoalesced) {
    struct Case {
        const char* name;
        std::vector<WindowRect> rects;  // reported one after the other
        int minimised;
        std::vector<std::string> expected;
        WindowRect finalRect;
    };
    const std::vector<Case> cases = {
        {"resize",
         {{10, 20, 210, 120}},
         0,
         {Msg("w", WM_SIZE, 200, 100), Msg("w", WM_WINDOWPOSCHANGED)},
         {10, 20, 210, 120}},
        {"move",
         {{30, 40, 130, 90}},
         0,
         {Msg("w", WM_MOVE, 0, 30 | 40 << 16), Msg("w", WM_WINDOWPOSCHANGED)},
         {30, 40, 130, 90}},
        {"drag coalesced",
         {{10, 20, 150, 70}, {10, 20, 170, 70}, {10, 20, 190, 80}},
         0,
         {Msg("w", WM_SIZE, 180, 60), Msg("w", WM_WINDOWPOSCHANGED)},
         {10, 20, 190, 80}},
        {"minimise keeps the rectangle",
         {{0, 0, 0, 0}},
         1,
         {Msg("w", WM_SIZE, 0, 0), Msg("w", WM_WINDOWPOSCHANGED)},
         {10, 20, 110, 70}},
        {"unchanged", {{10, 20, 110, 70}}, 0, {}, {10, 20, 110, 70}},
    };
    for (const Case& c : cases) {
        WindowHandle w = Make("w");
        seen.clear();
        for (const WindowRect& rect : c.rects) {
            EXPECT_EQ(NotifyNativeGeometry(w, rect, c.minimised), 1) << c.name;
        }
        EXPECT_TRUE(seen.empty()) << c.name << ": the notification itself runs no program code";
        testing::DispatchPendingMessages();
        EXPECT_EQ(seen, c.expected) << c.name;
        WindowRect rect;
        GetPlatformWindowRect(w, &rect);
        EXPECT_EQ(rect.right, c.finalRect.right) << c.name;
        EXPECT_EQ(rect.bottom, c.finalRect.bottom) << c.name;
        EXPECT_EQ(rect.left, c.finalRect.left) << c.name;
        EXPECT_EQ(IsPlatformWindowMinimised(w), c.minimised) << c.name;
        DestroyPlatformWindow(w);
    }
}

TEST_F(WindowStateTest, ActivationFocusEnablingAndCloseFromTheNativeSide) {
    WindowHandle a = Make("a");
    WindowHandle b = Make("b");
    EXPECT_EQ(SetFocusWindow(a), nullptr);
    SetKeyDownState(VK_CONTROL, 1);
    NotifyNativeActivate(a, WA_INACTIVE);
    NotifyNativeFocus(b);
    testing::DispatchPendingMessages();
    EXPECT_EQ(IsKeyDown(VK_CONTROL), 0);  // no stuck Ctrl after switching programs
    EXPECT_EQ(GetFocusWindow(), b);
    const auto bits = [](WindowHandle w) {
        return static_cast<long long>(reinterpret_cast<std::uintptr_t>(w));
    };
    EXPECT_EQ(seen, (std::vector<std::string>{Msg("a", WM_SETFOCUS), Msg("a", WM_ACTIVATE),
                                              Msg("a", WM_KILLFOCUS, bits(b)),
                                              Msg("b", WM_SETFOCUS, bits(a))}));
    // A disabled window loses the focus and cannot take it.
    seen.clear();
    EXPECT_EQ(EnablePlatformWindow(b, 0), 1);
    EXPECT_EQ(EnablePlatformWindow(b, 0), 0);
    EXPECT_EQ(IsPlatformWindowEnabled(b), 0);
    EXPECT_EQ(GetFocusWindow(), nullptr);
    EXPECT_EQ(SetFocusWindow(b), nullptr);
    EXPECT_EQ(GetFocusWindow(), nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{Msg("b", WM_KILLFOCUS), Msg("b", WM_ENABLE, 0)}));
    // The close box: WM_CLOSE on dispatch, whose default destroys; the focus goes with it.
    SetFocusWindow(a);
    EXPECT_EQ(NotifyNativeClose(a), 1);
    EXPECT_EQ(IsPlatformWindow(a), 1);
    testing::DispatchPendingMessages();
    EXPECT_EQ(IsPlatformWindow(a), 0);
    EXPECT_EQ(GetFocusWindow(), nullptr);
    EXPECT_EQ(NotifyNativeClose(a), 0);
    DestroyPlatformWindow(b);
}

TEST_F(WindowStateTest, MouseMovesReplaceOnlyTheLastQueuedMessage) {
    WindowHandle w = Make("w");
    PostOrReplaceWindowMessage(w, WM_MOUSEMOVE, 0, 1);
    PostOrReplaceWindowMessage(w, WM_MOUSEMOVE, 0, 2);
    PostWindowMessage(w, WM_LBUTTONDOWN, 0, 2);
    PostOrReplaceWindowMessage(w, WM_MOUSEMOVE, 0, 3);
    testing::DispatchPendingMessages();
    EXPECT_EQ(seen, (std::vector<std::string>{Msg("w", WM_MOUSEMOVE, 0, 2),
                                              Msg("w", WM_LBUTTONDOWN, 0, 2),
                                              Msg("w", WM_MOUSEMOVE, 0, 3)}));
    DestroyPlatformWindow(w);
}

// A stand-in for a toolkit's event loop: wait blocks until woken or timed out.
struct FakePump {
    std::mutex mutex;
    std::condition_variable changed;
    int woken = 0;
    std::vector<long long> waits;  // the timeouts asked for
    std::vector<int> polls;        // excludeInput of each poll
};
FakePump fake;

const GuiPump kFakePump = {
    [] {
        std::lock_guard<std::mutex> lock(fake.mutex);
        fake.woken = 1;
        fake.changed.notify_all();
    },
    [](std::int64_t timeoutMs) {
        std::unique_lock<std::mutex> lock(fake.mutex);
        fake.waits.push_back(timeoutMs);
        fake.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 5000 : timeoutMs),
                              [] { return fake.woken != 0; });
        fake.woken = 0;
    },
    [](int excludeInput) { fake.polls.push_back(excludeInput); },
};

TEST_F(WindowStateTest, TheGuiThreadWaitsInThePumpAndOtherThreadsWakeIt) {
    WindowHandle w = Make("w");
    SetGuiPump(&kFakePump);
    fake.waits.clear();
    fake.polls.clear();
    fake.woken = 0;
    std::thread poster([w] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PostWindowMessage(w, WM_USER, 7, 0);
    });
    WindowMessage message;
    ASSERT_EQ(WaitWindowMessage(&message), 1);
    poster.join();
    EXPECT_EQ(message.wparam, 7u);
    ASSERT_FALSE(fake.waits.empty());
    EXPECT_EQ(fake.waits.front(), -1);  // no timer: no limit
    // Timers on the GUI thread keep the floor; a peek without removal keeps input out.
    StartWindowTimer(w, 9, 1);
    AdvanceManualClock(kGuiTimerFloorMs - 1);
    EXPECT_EQ(PeekWindowMessage(&message, PM_NOREMOVE), 0);
    AdvanceManualClock(1);
    EXPECT_EQ(PeekWindowMessage(&message, PM_REMOVE), 1);
    EXPECT_EQ(message.message, WM_TIMER);
    EXPECT_EQ(fake.polls, (std::vector<int>{1, 0}));
    SetGuiPump(nullptr);
    DestroyPlatformWindow(w);
}

// The toolkit holds the user's input until it is polled; a poll posts it to the window.
WindowHandle inputTarget = nullptr;
int inputHeld = 0;
const GuiPump kInputPump = {
    [] {},
    // Nothing else comes: a wait ends the call with a message the test does not expect.
    [](std::int64_t) { PostWindowMessage(inputTarget, WM_USER, 0, 0); },
    [](int excludeInput) {
        if (!excludeInput && inputHeld) {
            inputHeld = 0;
            PostWindowMessage(inputTarget, WM_KEYDOWN, VK_ESCAPE, 0);
        }
    },
};

TEST_F(WindowStateTest, InputHeldByTheToolkitComesBeforeATimerThatIsAlwaysDueAndAPaint) {
    WindowHandle w = Make("w");
    SetGuiPump(&kInputPump);
    inputTarget = w;
    StartWindowTimer(w, 3, kGuiTimerFloorMs);
    WindowMessage message;
    for (int turn = 0; turn < 3; ++turn) {
        // A redraw slower than the timer's period: the timer is due again at every turn.
        AdvanceManualClock(2 * kGuiTimerFloorMs);
        InvalidatePlatformWindow(w);
        inputHeld = 1;
        ASSERT_EQ(WaitWindowMessage(&message), 1);
        EXPECT_EQ(message.message, static_cast<unsigned>(WM_KEYDOWN)) << "turn " << turn;
        ASSERT_EQ(WaitWindowMessage(&message), 1);
        EXPECT_EQ(message.message, static_cast<unsigned>(WM_PAINT));
        DispatchWindowMessage(message);
        ASSERT_EQ(WaitWindowMessage(&message), 1);
        EXPECT_EQ(message.message, static_cast<unsigned>(WM_TIMER));
    }
    SetGuiPump(nullptr);
    DestroyPlatformWindow(w);
}

}  // namespace
}  // namespace mirexa
