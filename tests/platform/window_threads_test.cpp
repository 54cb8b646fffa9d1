// Window queues under several threads: destruction against posts, sends and timers of other
// threads, pending sends at destruction, destruction from another thread, new threads that reuse
// an exited thread's id, senders that never pause, and replacing the message observer. Each test
// repeats a race a bounded number of times; threads meet through futures and atomics only.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/window.h"
#include "support/bounded_wait.h"

namespace mirexa {
namespace {

constexpr unsigned MSG_RUN = WM_USER + 20;        // lparam: std::function<MessageResult()>*
constexpr unsigned MSG_QUIT_LOOP = WM_USER + 21;  // ends the receiving thread's loop
constexpr unsigned MSG_PING = WM_USER + 22;       // returns 1
constexpr unsigned MSG_DESTROY_SELF = WM_USER + 23;

// A bound for waits that only a fault makes long.
constexpr auto HANG_LIMIT = std::chrono::seconds(30);

using Work = std::function<MessageResult()>;

MessageResult ControlProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                               MessageLParam lparam) {
    switch (message) {
        case MSG_RUN:
            return (*reinterpret_cast<Work*>(lparam))();
        case MSG_QUIT_LOOP:
            PostLoopQuit(static_cast<int>(wparam));
            return 0;
        case MSG_PING:
            return 1;
        default:
            return DefaultWindowProcedure(window, message, wparam, lparam);
    }
}

WindowHandle MakeWindow(WindowProcedure procedure, WindowHandle parent = nullptr) {
    return CreatePlatformWindow({.procedure = procedure, .parent = parent});
}

// A user-interface thread of its own: a control window and a message loop that runs until Stop.
class LoopThread {
public:
    LoopThread() {
        std::promise<WindowHandle> made;
        thread_ = std::thread([this, &made] {
            WindowHandle control = MakeWindow(ControlProcedure);
            made.set_value(control);
            RunMessageLoop();
            DestroyPlatformWindow(control);
        });
        control_ = testing::AwaitFuture(made.get_future(), "the loop thread's window");
    }
    ~LoopThread() {
        Stop();
    }
    // Runs work on the thread and returns its result.
    MessageResult Run(Work work) {
        return SendWindowMessage(control_, MSG_RUN, 0, reinterpret_cast<MessageLParam>(&work));
    }
    void Stop() {
        if (thread_.joinable()) {
            PostWindowMessage(control_, MSG_QUIT_LOOP, 0, 0);
            thread_.join();
        }
    }
    WindowHandle control() const {
        return control_;
    }

private:
    std::thread thread_;
    WindowHandle control_ = {};
};

// What a guarded window saw. It counts as freed from the moment its WM_DESTROY begins.
struct GuardState {
    std::atomic<int> destroyed{0};
    std::atomic<int> destroyCalls{0};
    std::atomic<int> lateCalls{0};  // procedure calls after WM_DESTROY began
    std::atomic<std::thread::id> destroyThread{};
    WindowHandle sendOnDestroy = {};  // a window of another thread, sent to from WM_DESTROY
};
std::atomic<int> callsOfUnknownWindows{0};

MessageResult GuardedProcedure(WindowHandle window, unsigned message, MessageWParam,
                               MessageLParam) {
    auto* state = reinterpret_cast<GuardState*>(GetWindowUserData(window));
    if (!state) {
        if (message != WM_CREATE) {
            ++callsOfUnknownWindows;  // the record is gone, yet its procedure runs
        }
        return 0;
    }
    if (state->destroyed.load()) {
        ++state->lateCalls;
        return 0;
    }
    switch (message) {
        case WM_DESTROY:
            state->destroyed = 1;
            ++state->destroyCalls;
            state->destroyThread = std::this_thread::get_id();
            if (state->sendOnDestroy) {
                SendWindowMessage(state->sendOnDestroy, MSG_PING, 0, 0);
            }
            return 0;
        case MSG_DESTROY_SELF:
            return DestroyPlatformWindow(window);
        case MSG_PING:
            return 1;
        default:
            return 0;
    }
}

WindowHandle MakeGuarded(GuardState* state, WindowHandle parent = nullptr) {
    WindowHandle window = MakeWindow(GuardedProcedure, parent);
    SetWindowUserData(window, reinterpret_cast<std::intptr_t>(state));
    return window;
}

// Posts and sends to the windows until told to stop.
std::thread StartPelting(std::vector<WindowHandle> targets, std::atomic<int>& stop) {
    return std::thread([targets, &stop] {
        while (!stop.load()) {
            for (WindowHandle target : targets) {
                PostWindowMessage(target, MSG_PING, 0, 0);
                SendWindowMessage(target, MSG_PING, 0, 0);
            }
        }
    });
}

// Takes one message, so that sends from other threads reach this thread again after an earlier
// loop here has ended.
void OpenThisThreadsQueue() {
    WindowHandle opener = MakeWindow(ControlProcedure);
    PostWindowMessage(opener, MSG_PING, 0, 0);
    WindowMessage message;
    WaitWindowMessage(&message);
    DestroyPlatformWindow(opener);
}

class WindowThreadsTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseManualClock(0);
        callsOfUnknownWindows = 0;
        OpenThisThreadsQueue();
    }
};

TEST_F(WindowThreadsTest, NoProcedureCallAfterWmDestroyWhenAnotherThreadDestroysAParent) {
    for (int round = 0; round < 100; ++round) {
        LoopThread owner;
        GuardState parentState;
        GuardState childState;
        WindowHandle parent = nullptr;
        WindowHandle child = nullptr;
        owner.Run([&] {
            parent = MakeGuarded(&parentState);
            child = MakeGuarded(&childState, parent);
            StartWindowTimer(parent, 1, 1);
            StartWindowTimer(child, 2, 1);
            return 1;
        });
        std::atomic<int> stop{0};
        std::thread pelter = StartPelting({parent, child}, stop);
        EXPECT_EQ(DestroyPlatformWindow(parent), 1);
        stop = 1;
        pelter.join();
        owner.Stop();
        ASSERT_EQ(parentState.lateCalls + childState.lateCalls + callsOfUnknownWindows, 0)
            << "round " << round;
        EXPECT_EQ(parentState.destroyCalls, 1);
        EXPECT_EQ(childState.destroyCalls, 1);
        EXPECT_EQ(IsPlatformWindow(child), 0);
    }
}

TEST_F(WindowThreadsTest, NoProcedureCallAfterWmDestroyThatWaitsOnAnotherThread) {
    LoopThread helper;  // WM_DESTROY sends to it and waits meanwhile
    for (int round = 0; round < 100; ++round) {
        LoopThread owner;
        GuardState state;
        state.sendOnDestroy = helper.control();
        WindowHandle window = nullptr;
        owner.Run([&] {
            window = MakeGuarded(&state);
            return 1;
        });
        std::atomic<int> stop{0};
        std::thread pelter = StartPelting({window}, stop);
        PostWindowMessage(window, MSG_DESTROY_SELF, 0, 0);
        EXPECT_TRUE(testing::AwaitCondition([window] { return IsPlatformWindow(window) == 0; },
                                            std::chrono::microseconds(0)))
            << "round " << round << ": waited in vain for the window's destruction";
        stop = 1;
        pelter.join();
        owner.Stop();
        ASSERT_EQ(state.lateCalls + callsOfUnknownWindows, 0) << "round " << round;
        EXPECT_EQ(state.destroyCalls, 1);
    }
}

TEST_F(WindowThreadsTest, SendPendingAtDestructionIsAnsweredWithZero) {
    for (int round = 0; round < 50; ++round) {
        std::atomic<int> sending{0};
        std::atomic<MessageResult> answer{-1};
        std::atomic<int> hung{0};
        std::thread owner([&] {
            WindowHandle window = MakeWindow(ControlProcedure);
            std::thread sender([&] {
                sending = 1;
                answer = SendWindowMessage(window, MSG_PING, 0, 0);
            });
            while (!sending.load()) {
                std::this_thread::yield();
            }
            for (int i = 0; i < 100; ++i) {
                std::this_thread::yield();  // give the send time to be queued
            }
            DestroyPlatformWindow(window);
            // The owner joins the sender without taking messages: the send must be answered.
            std::future<void> joined = std::async(std::launch::async, [&] { sender.join(); });
            if (joined.wait_for(HANG_LIMIT) != std::future_status::ready) {
                hung = 1;
                WindowMessage message;
                PeekWindowMessage(&message, PM_REMOVE);  // release the sender to end the test
            }
        });
        owner.join();
        ASSERT_EQ(hung.load(), 0) << "round " << round;
        EXPECT_EQ(answer.load(), 0);
    }
}

TEST_F(WindowThreadsTest, DestructionRunsOnTheOwnerOrIsRefusedOnceItsLoopHasEnded) {
    for (int round = 0; round < 100; ++round) {
        // While the owner's loop runs, another thread's destruction is carried out on the owner.
        {
            LoopThread owner;
            GuardState state;
            WindowHandle window = nullptr;
            std::thread::id ownerId;
            owner.Run([&] {
                window = MakeGuarded(&state);
                ownerId = std::this_thread::get_id();
                return 1;
            });
            ASSERT_EQ(DestroyPlatformWindow(window), 1);
            EXPECT_EQ(state.destroyCalls, 1);
            EXPECT_EQ(state.destroyThread.load(), ownerId);
            EXPECT_EQ(IsPlatformWindow(window), 0);
        }
        // After the owner's loop has ended, nobody can run WM_DESTROY: refused, window kept.
        GuardState state;
        std::promise<WindowHandle> made;
        std::promise<void> tried;
        std::atomic<int> ownResult{-1};
        std::thread owner([&] {
            WindowHandle window = MakeGuarded(&state);
            PostLoopQuit(0);
            RunMessageLoop();
            made.set_value(window);
            testing::AwaitFuture(tried.get_future(), "the other thread's try");
            ownResult = DestroyPlatformWindow(window);
        });
        WindowHandle window = testing::AwaitFuture(made.get_future(), "the owner's window");
        EXPECT_EQ(DestroyPlatformWindow(window), 0);
        EXPECT_EQ(IsPlatformWindow(window), 1);
        int destroyedByRefusal = state.destroyCalls.load();
        tried.set_value();
        owner.join();
        ASSERT_EQ(destroyedByRefusal, 0) << "round " << round;
        // Its owner can still destroy it.
        EXPECT_EQ(ownResult.load(), 1);
        EXPECT_EQ(state.destroyCalls, 1);
        EXPECT_EQ(IsPlatformWindow(window), 0);
    }
}

// A thread that runs a second message loop (the program started twice in one process) answers
// the sends that come while it makes its windows, before its new loop first waits.
TEST_F(WindowThreadsTest, AThreadMakingWindowsAfterItsLoopEndedAnswersSendsAgain) {
    std::promise<WindowHandle> made;
    std::promise<MessageResult> answer;
    std::thread owner([&] {
        WindowHandle first = MakeWindow(ControlProcedure);
        PostLoopQuit(0);
        RunMessageLoop();
        DestroyPlatformWindow(first);
        WindowHandle second = MakeWindow(ControlProcedure);
        made.set_value(second);
        // The other thread's send is queued before this thread waits for messages.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        PostWindowMessage(second, MSG_QUIT_LOOP, 0, 0);
        RunMessageLoop();
        DestroyPlatformWindow(second);
    });
    WindowHandle window = testing::AwaitFuture(made.get_future(), "the second loop's window");
    std::thread sender([&] { answer.set_value(SendWindowMessage(window, MSG_PING, 0, 0)); });
    std::future<MessageResult> result = answer.get_future();
    ASSERT_EQ(result.wait_for(HANG_LIMIT), std::future_status::ready);
    EXPECT_EQ(result.get(), 1);
    sender.join();
    owner.join();
}

TEST_F(WindowThreadsTest, ANewThreadWithAReusedIdIsNotTheOwnerOfAnExitedThreadsWindow) {
    GuardState state;
    WindowHandle orphan = nullptr;
    std::thread([&] { orphan = MakeGuarded(&state); }).join();
    int answered = 0;
    for (int i = 0; i < 500; ++i) {
        std::thread([&] { answered += SendWindowMessage(orphan, MSG_PING, 0, 0) != 0; }).join();
    }
    EXPECT_EQ(answered, 0);
    // Nobody is left to run its WM_DESTROY: the window cannot be destroyed.
    EXPECT_EQ(DestroyPlatformWindow(orphan), 0);
    EXPECT_EQ(state.destroyCalls, 0);
    EXPECT_EQ(IsPlatformWindow(orphan), 1);
}

// Counts what the window handles; its posted message ends the senders and the loop.
std::atomic<int> sendsHandled{0};
std::atomic<int> sendsAtPost{0};
std::atomic<int> sendsAfterPost{-1};
std::atomic<int> stopSending{0};

MessageResult CountingProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                MessageLParam lparam) {
    switch (message) {
        case MSG_PING: {
            // Some work, during which the sender just answered queues its next send.
            volatile int work = 0;
            for (int i = 0; i < 20000; ++i) {
                work = work + i;
            }
            ++sendsHandled;
            return 1;
        }
        case WM_USER:
            sendsAfterPost = sendsHandled.load() - sendsAtPost.load();
            stopSending = 1;
            PostLoopQuit(0);
            return 0;
        default:
            return DefaultWindowProcedure(window, message, wparam, lparam);
    }
}

TEST_F(WindowThreadsTest, SteadySendsDoNotStarvePostedMessages) {
    constexpr int SENDERS = 4;
    constexpr int SENDS_EACH = 2000;
    for (int round = 0; round < 5; ++round) {
        sendsHandled = 0;
        sendsAfterPost = -1;
        stopSending = 0;
        WindowHandle window = MakeWindow(CountingProcedure);
        std::vector<std::thread> senders;
        for (int s = 0; s < SENDERS; ++s) {
            senders.emplace_back([&] {
                for (int i = 0; i < SENDS_EACH && !stopSending.load(); ++i) {
                    SendWindowMessage(window, MSG_PING, 0, 0);
                }
            });
        }
        // Each look at the queue handles the sends queued then: one per sender at most.
        WindowMessage message;
        int most = 0;
        const bool handled = testing::AwaitCondition(
            [&] {
                const int before = sendsHandled.load();
                if (before >= 200) {
                    return true;
                }
                PeekWindowMessage(&message, PM_NOREMOVE);
                most = std::max(most, sendsHandled.load() - before);
                return false;
            },
            std::chrono::microseconds(0));
        EXPECT_TRUE(handled) << "round " << round << ": waited in vain for 200 sends handled";
        EXPECT_LE(most, SENDERS) << "round " << round;
        sendsAtPost = sendsHandled.load();
        PostWindowMessage(window, WM_USER, 0, 0);
        RunMessageLoop();
        stopSending = 1;
        for (auto& sender : senders) {
            sender.join();  // the loop has ended: their sends come back with 0
        }
        // The posted message waits for one round of sends at most.
        EXPECT_LE(sendsAfterPost.load(), SENDERS) << "round " << round;
        DestroyPlatformWindow(window);
        OpenThisThreadsQueue();
    }
}

TEST_F(WindowThreadsTest, ReplacedObserverIsNoLongerRunningWhenSetMessageObserverReturns) {
    struct Use {
        std::atomic<int> calls{0};
        std::atomic<int> running{0};
    };
    LoopThread owner;
    std::atomic<int> stop{0};
    std::thread pelter = StartPelting({owner.control()}, stop);
    for (int round = 0; round < 1000; ++round) {
        auto use = std::make_shared<Use>();
        SetMessageObserver([use](const WindowMessage&) {
            ++use->running;
            ++use->calls;
            volatile int work = 0;
            for (int i = 0; i < 200; ++i) {
                work = work + i;
            }
            --use->running;
        });
        if (!testing::AwaitCondition([&use] { return use->calls.load() >= 2; },
                                     std::chrono::microseconds(0))) {
            ADD_FAILURE() << "round " << round << ": waited in vain for two calls of the observer";
            SetMessageObserver({});
            break;
        }
        MessageObserver previous = SetMessageObserver({});
        ASSERT_EQ(use->running.load(), 0) << "round " << round;
        EXPECT_TRUE(previous);
    }
    stop = 1;
    pelter.join();
}

}  // namespace
}  // namespace mirexa
