// Window records, queues, cross-thread sends, timers and the built-in controls of the headless
// backend.
#include "platform/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "support/bounded_wait.h"
#include "support/test_windows.h"

namespace mirexa {
namespace {

constexpr unsigned MSG_ASK_THREAD = WM_USER + 10;  // returns 1 on the window's own thread
constexpr unsigned MSG_DOUBLE = WM_USER + 11;      // returns wparam x 2
constexpr unsigned MSG_QUIT_LOOP = WM_USER + 12;   // posts the quit request

std::thread::id uiThread;
std::vector<std::string> trace;  // touched on the window's thread only

MessageResult TestProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                            MessageLParam lparam) {
    switch (message) {
        case WM_CREATE:
            trace.push_back("create " + GetPlatformWindowText(window));
            return 0;
        case WM_DESTROY:
            trace.push_back("destroy " + GetPlatformWindowText(window));
            EXPECT_EQ(DestroyPlatformWindow(window), 0);  // already under way: no second round
            return 0;
        case WM_TIMER:
            trace.push_back("timer " + std::to_string(wparam));
            return 0;
        case MSG_ASK_THREAD:
            return std::this_thread::get_id() == uiThread ? 1 : 0;
        case MSG_DOUBLE:
            return static_cast<MessageResult>(wparam * 2);
        case MSG_QUIT_LOOP:
            PostLoopQuit(static_cast<int>(wparam));
            return 0;
        case WM_USER:
            trace.push_back("user " + std::to_string(wparam));
            return 0;
        default:
            return DefaultWindowProcedure(window, message, wparam, lparam);
    }
}

WindowHandle MakeWindow(const std::string& text, WindowHandle parent = nullptr, int id = 0) {
    return testing::MakeTestWindow(TestProcedure, text, parent, WindowRect{10, 20, 330, 260}, id);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        uiThread = std::this_thread::get_id();
        trace.clear();
        // Drain what an earlier test may have left on this thread's queue, and open it again for
        // sends from other threads (an earlier test may have ended its loop) by taking a message.
        WindowMessage message;
        while (PeekWindowMessage(&message, PM_REMOVE)) {
        }
        WindowHandle opener = MakeWindow("opener");
        PostWindowMessage(opener, WM_NULL, 0, 0);
        WaitWindowMessage(&message);
        DestroyPlatformWindow(opener);
        trace.clear();
    }
    void TearDown() override {
        UseManualClock(0);
    }
};

TEST_F(WindowTest, HeadlessIsTheOnlyBackendSoFar) {
    EXPECT_EQ(StartPlatformBackend(PlatformBackend::RealWindow), 0);
    EXPECT_EQ(GetPlatformBackend(), PlatformBackend::Headless);
    EXPECT_EQ(StartPlatformBackend(PlatformBackend::Headless), 1);
}

TEST_F(WindowTest, CreateAndDestroyReachTheProcedureParentFirst) {
    WindowHandle main = MakeWindow("main");
    WindowHandle child = MakeWindow("child", main, 5);
    WindowHandle grandchild = MakeWindow("grandchild", child, 6);
    EXPECT_EQ(GetParentWindow(child), main);
    EXPECT_EQ(GetChildWindow(main, 5), child);
    EXPECT_EQ(GetChildWindow(main, 6), nullptr);
    EXPECT_EQ(GetChildWindows(child), std::vector<WindowHandle>{grandchild});
    WindowRect rect;
    ASSERT_EQ(GetWindowClientRect(main, &rect), 1);
    EXPECT_EQ(rect.right, 320);
    EXPECT_EQ(rect.bottom, 240);

    EXPECT_EQ(DestroyPlatformWindow(main), 1);
    EXPECT_EQ(trace,
              (std::vector<std::string>{"create main", "create child", "create grandchild",
                                        "destroy main", "destroy child", "destroy grandchild"}));
    for (WindowHandle gone : {main, child, grandchild}) {
        EXPECT_EQ(IsPlatformWindow(gone), 0);
        EXPECT_EQ(PostWindowMessage(gone, WM_USER, 0, 0), 0);
        EXPECT_EQ(SendWindowMessage(gone, MSG_DOUBLE, 4, 0), 0);
        EXPECT_EQ(SetPlatformWindowText(gone, "x"), 0);
    }
    EXPECT_EQ(DestroyPlatformWindow(main), 0);
}

TEST_F(WindowTest, CreateFailsWhenTheProcedureRefuses) {
    WindowCreateParams params;
    params.procedure = [](WindowHandle, unsigned message, MessageWParam, MessageLParam) {
        return message == WM_CREATE ? MessageResult{-1} : MessageResult{0};
    };
    EXPECT_EQ(CreatePlatformWindow(params), nullptr);
}

TEST_F(WindowTest, TextVisibilityAndSize) {
    WindowHandle main = MakeWindow("first");
    EXPECT_EQ(GetPlatformWindowText(main), "first");
    EXPECT_EQ(SetPlatformWindowText(main, "加工 : 結果表示"), 1);
    EXPECT_EQ(GetPlatformWindowText(main), "加工 : 結果表示");
    EXPECT_EQ(IsPlatformWindowVisible(main), 0);
    EXPECT_EQ(ShowPlatformWindow(main, SW_SHOW), 0);
    EXPECT_EQ(ShowPlatformWindow(main, SW_HIDE), 1);
    EXPECT_EQ(IsPlatformWindowVisible(main), 0);
    EXPECT_EQ(MovePlatformWindow(main, WindowRect{0, 0, 640, 480}), 1);
    WindowRect rect;
    GetWindowClientRect(main, &rect);
    EXPECT_EQ(rect.right, 640);
    DestroyPlatformWindow(main);
}

TEST_F(WindowTest, PostedMessagesComeInOrderAndPeekCanLeaveThem) {
    WindowHandle main = MakeWindow("main");
    for (unsigned i = 1; i <= 3; ++i) {
        ASSERT_EQ(PostWindowMessage(main, WM_USER, i, 0), 1);
    }
    WindowMessage message;
    ASSERT_EQ(PeekWindowMessage(&message, PM_NOREMOVE), 1);
    EXPECT_EQ(message.wparam, 1u);
    ASSERT_EQ(PeekWindowMessage(&message, PM_REMOVE), 1);
    EXPECT_EQ(message.wparam, 1u);
    DispatchWindowMessage(message);
    ASSERT_EQ(WaitWindowMessage(&message), 1);
    DispatchWindowMessage(message);
    ASSERT_EQ(WaitWindowMessage(&message), 1);
    DispatchWindowMessage(message);
    EXPECT_EQ(PeekWindowMessage(&message, PM_REMOVE), 0);
    EXPECT_EQ(trace.back(), "user 3");
    EXPECT_EQ(trace.size(), 4u);

    // A message posted to a window that is destroyed before it is taken is dropped.
    WindowHandle doomed = MakeWindow("doomed");
    PostWindowMessage(doomed, WM_USER, 9, 0);
    DestroyPlatformWindow(doomed);
    EXPECT_EQ(PeekWindowMessage(&message, PM_REMOVE), 0);
    DestroyPlatformWindow(main);
}

TEST_F(WindowTest, LoopEndsWithTheQuitCodeAfterPendingMessages) {
    WindowHandle main = MakeWindow("main");
    PostWindowMessage(main, WM_USER, 1, 0);
    PostWindowMessage(main, MSG_QUIT_LOOP, 7, 0);
    PostWindowMessage(main, WM_USER, 2, 0);
    EXPECT_EQ(RunMessageLoop(), 7);
    EXPECT_EQ(trace, (std::vector<std::string>{"create main", "user 1", "user 2"}));
    DestroyPlatformWindow(main);
}

TEST_F(WindowTest, SendFromAWorkerIsHandledOnTheWindowThreadAndReturnsItsResult) {
    WindowHandle main = MakeWindow("main");
    EXPECT_EQ(SendWindowMessage(main, MSG_ASK_THREAD, 0, 0), 1);  // direct on the own thread
    std::future<std::vector<MessageResult>> worker = std::async(std::launch::async, [main] {
        std::vector<MessageResult> results;
        for (MessageWParam i = 0; i < 50; ++i) {
            results.push_back(SendWindowMessage(main, MSG_DOUBLE, i, 0));
        }
        results.push_back(SendWindowMessage(main, MSG_ASK_THREAD, 0, 0));
        PostWindowMessage(main, MSG_QUIT_LOOP, 0, 0);
        return results;
    });
    EXPECT_EQ(RunMessageLoop(), 0);
    std::vector<MessageResult> results = testing::AwaitFuture(worker, "the sending worker");
    ASSERT_EQ(results.size(), 51u);
    for (MessageResult i = 0; i < 50; ++i) {
        EXPECT_EQ(results[static_cast<std::size_t>(i)], i * 2);
    }
    EXPECT_EQ(results.back(), 1);
    DestroyPlatformWindow(main);
}

TEST_F(WindowTest, SendDuringShutdownReturnsInsteadOfWaiting) {
    WindowHandle main = MakeWindow("main");
    // A worker that sends while the loop is ending: its send must come back, with 0.
    std::promise<void> sending;
    std::future<MessageResult> worker = std::async(std::launch::async, [&] {
        sending.set_value();
        MessageResult last = 1;
        while (last != 0) {  // sends are handled until the loop ends, then refused
            last = SendWindowMessage(main, MSG_DOUBLE, 1, 0);
        }
        return SendWindowMessage(main, MSG_DOUBLE, 1, 0);
    });
    testing::AwaitFuture(sending.get_future(), "the worker's first send");
    PostWindowMessage(main, MSG_QUIT_LOOP, 0, 0);
    RunMessageLoop();
    // The loop has ended and this thread takes no more messages: the worker must not hang.
    ASSERT_EQ(worker.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(worker.get(), 0);
    DestroyPlatformWindow(main);
}

TEST_F(WindowTest, SendToAWindowOfAnExitedThreadReturns) {
    WindowHandle orphan = nullptr;
    std::thread([&] { orphan = MakeWindow("orphan"); }).join();
    EXPECT_EQ(SendWindowMessage(orphan, MSG_DOUBLE, 3, 0), 0);
    EXPECT_EQ(PostWindowMessage(orphan, WM_USER, 0, 0), 0);
    DestroyPlatformWindow(orphan);
}

TEST_F(WindowTest, TwoUserInterfaceThreadsSendingToEachOtherDoNotDeadlock) {
    WindowHandle main = MakeWindow("main");
    std::atomic<WindowHandle> other{nullptr};
    std::atomic<int> done{0};
    static std::atomic<WindowHandle> backTarget{nullptr};
    backTarget = main;
    std::thread second([&] {
        WindowCreateParams params;
        // Handling a message by sending one back to the first thread while it waits on us.
        params.procedure = [](WindowHandle w, unsigned m, MessageWParam wp, MessageLParam lp) {
            if (m == MSG_DOUBLE) {
                return SendWindowMessage(backTarget.load(), MSG_DOUBLE, wp, 0) + 1;
            }
            return DefaultWindowProcedure(w, m, wp, lp);
        };
        other = CreatePlatformWindow(params);
        WindowMessage message;
        while (!done.load()) {
            PeekWindowMessage(&message, PM_REMOVE);
            std::this_thread::yield();
        }
        DestroyPlatformWindow(other.load());
    });
    while (!other.load()) {
        std::this_thread::yield();
    }
    EXPECT_EQ(SendWindowMessage(other.load(), MSG_DOUBLE, 5, 0), 11);
    done = 1;
    second.join();
    DestroyPlatformWindow(main);
}

TEST_F(WindowTest, TimersFireByTheManualClock) {
    UseManualClock(1, 1000);
    WindowHandle main = MakeWindow("main");
    EXPECT_EQ(StartWindowTimer(main, 101, 5), 101u);
    EXPECT_EQ(StartWindowTimer(main, 7, 12), 7u);
    WindowMessage message;
    AdvanceManualClock(4);
    EXPECT_EQ(PeekWindowMessage(&message, PM_REMOVE), 0);  // not yet due at 1004 ms
    AdvanceManualClock(1);
    ASSERT_EQ(PeekWindowMessage(&message, PM_REMOVE), 1);
    EXPECT_EQ(message.message, WM_TIMER);
    EXPECT_EQ(message.wparam, 101u);
    EXPECT_EQ(PeekWindowMessage(&message, PM_REMOVE), 0);  // rescheduled for 1010 ms
    // Late by far: one message per timer, no burst, the earlier due first.
    AdvanceManualClock(100);
    std::vector<MessageWParam> fired;
    while (PeekWindowMessage(&message, PM_REMOVE)) {
        fired.push_back(message.wparam);
    }
    EXPECT_EQ(fired, (std::vector<MessageWParam>{101, 7}));
    // A posted message comes before a due timer.
    AdvanceManualClock(20);
    PostWindowMessage(main, WM_USER, 1, 0);
    ASSERT_EQ(PeekWindowMessage(&message, PM_REMOVE), 1);
    EXPECT_EQ(message.message, WM_USER);
    EXPECT_EQ(StopWindowTimer(main, 101), 1);
    EXPECT_EQ(StopWindowTimer(main, 101), 0);
    ASSERT_EQ(PeekWindowMessage(&message, PM_REMOVE), 1);
    EXPECT_EQ(message.wparam, 7u);
    DestroyPlatformWindow(main);
    AdvanceManualClock(1000);
    EXPECT_EQ(PeekWindowMessage(&message, PM_REMOVE), 0);  // timers die with their window
}

TEST_F(WindowTest, GetMessageWakesForATimerWhenAnotherThreadStepsTheClock) {
    UseManualClock(1, 0);
    WindowHandle main = MakeWindow("main");
    StartWindowTimer(main, 3, 50);
    std::thread stepper([] {
        for (int i = 0; i < 10; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            AdvanceManualClock(10);
        }
    });
    WindowMessage message;
    ASSERT_EQ(WaitWindowMessage(&message), 1);
    EXPECT_EQ(message.message, WM_TIMER);
    EXPECT_GE(GetTickMilliseconds(), 50u);
    stepper.join();
    DestroyPlatformWindow(main);
}

TEST_F(WindowTest, ManualClockSleepAdvancesInsteadOfWaiting) {
    UseManualClock(1, 42);
    SleepMilliseconds(8);
    EXPECT_EQ(GetTickMilliseconds(), 50u);
    UseManualClock(0);
    std::uint64_t before = GetTickMilliseconds();
    SleepMilliseconds(5);
    EXPECT_GE(GetTickMilliseconds() - before, 5u);
}

TEST_F(WindowTest, StatusBarPartsKeepTextsAndFlags) {
    WindowHandle main = MakeWindow("main");
    WindowHandle bar = CreateStatusBar(main, 1);
    EXPECT_EQ(GetStatusBarPartCount(bar), 1);
    EXPECT_EQ(SetStatusBarText(bar, 1, 0, "x"), 0);  // no such part yet
    EXPECT_EQ(SetStatusBarParts(bar, {100, 200, -1}), 1);
    EXPECT_EQ(SendWindowMessage(bar, SB_GETPARTS, 0, 0), 3);
    EXPECT_EQ(SetStatusBarText(bar, 1, 0, " 12.5%"), 1);
    EXPECT_EQ(SetStatusBarText(bar, 2, SBT_NOBORDERS, ""), 1);
    EXPECT_EQ(GetStatusBarPart(bar, 1).text, " 12.5%");
    EXPECT_EQ(GetStatusBarPart(bar, 1).flags, 0u);
    EXPECT_EQ(GetStatusBarPart(bar, 2).flags, SBT_NOBORDERS);
    EXPECT_EQ(GetStatusBarPart(bar, 2).rightEdge, -1);
    EXPECT_EQ(SetStatusBarParts(bar, {}), 0);
    EXPECT_EQ(SendWindowMessage(bar, SB_SETPARTS, STATUSBAR_MAX_PARTS + 1, 0), 0);
    EXPECT_EQ(SetStatusBarParts(bar, {100, -1}), 1);
    EXPECT_EQ(GetStatusBarPart(bar, 1).text, " 12.5%");  // kept
    EXPECT_EQ(GetStatusBarPart(bar, 2).text, "");        // gone with its part
    // A worker's text reaches the bar through the user-interface thread.
    auto worker = std::async(std::launch::async, [bar] {
        int ok = SetStatusBarText(bar, 0, 0, "データ整合中");
        PostWindowMessage(GetParentWindow(bar), MSG_QUIT_LOOP, 0, 0);
        return ok;
    });
    RunMessageLoop();
    EXPECT_EQ(testing::AwaitFuture(worker, "the worker's status text"), 1);
    EXPECT_EQ(GetStatusBarPart(bar, 0).text, "データ整合中");
    DestroyPlatformWindow(main);
}

TEST_F(WindowTest, ProgressBarClampsItsPositionToTheRange) {
    WindowHandle main = MakeWindow("main");
    WindowHandle bar = CreateProgressBar(main, 2, WindowRect{0, 0, 100, 20});
    EXPECT_EQ(IsPlatformWindowVisible(bar), 0);
    SendWindowMessage(bar, PBM_SETRANGE, 0, 1001);
    EXPECT_EQ(SendWindowMessage(bar, PBM_SETSTEP, 1, 0), 10);
    struct Case {
        int set;
        int shown;
    };
    for (Case c : {Case{500, 500}, Case{1001, 1001}, Case{5000, 1001}, Case{-3, 0}}) {
        SendWindowMessage(bar, PBM_SETPOS, static_cast<MessageWParam>(c.set), 0);
        EXPECT_EQ(SendWindowMessage(bar, PBM_GETPOS, 0, 0), c.shown);
    }
    SendWindowMessage(bar, PBM_SETPOS, 900, 0);
    SendWindowMessage(bar, PBM_SETRANGE, 0, 100);
    ProgressBarValue value = GetProgressBarValue(bar);
    EXPECT_EQ(value.position, 100);
    EXPECT_EQ(value.high, 100);
    EXPECT_EQ(value.step, 1);
    DestroyPlatformWindow(main);
}

}  // namespace
}  // namespace mirexa
