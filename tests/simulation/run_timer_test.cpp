// Run control driven by a scripted user-interface host: a headless main window whose timer 101
// runs the main window's run timer on a manual clock, wired to run control as the program wires
// it, and scripted simulation threads that raise redraws, wait at stop blocks and end. Checks the
// order of the handshakes, resume, abort during a pause, the timer period, and the order of the
// abort's flags.
#include "simulation/run_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "nc/nc_session.h"
#include "platform/clock.h"
#include "platform/keys.h"
#include "platform/message_box.h"
#include "resources/program_resources.h"
#include "run_report_support.h"
#include "shell/main_window.h"
#include "shell/run_commands.h"
#include "shell/worker_threads.h"
#include "simulation/run_control.h"
#include "simulation/run_end.h"
#include "support/bounded_wait.h"
#include "support/test_cutting_run.h"
#include "support/test_windows.h"

namespace mirexa {
namespace {

using testing::Hooks;

// --- The scripted simulation thread ---------------------------------------------------------

// What the scripted thread did, in order ("step 1", "redraw served", "wait", "aborted").
testing::HookRecord WorkerLog;
// The blocks the scripted thread runs; block b starts only once the gate is b or more.
std::atomic<int> ScriptBlocks{0};
std::atomic<int> ScriptGate{0};
// Set by the test to let a held thread end.
std::atomic<int> ScriptRelease{0};

// A block loop in the thread's way: before each block the stop test (a pause while the stop
// request stands), then one step with a redraw handshake.
void ScriptedBlockLoop() {
    for (int block = 1; block <= ScriptBlocks.load(); ++block) {
        while (ScriptGate.load() < block && WindowRun.controls.abortRequest.load() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (WindowRun.controls.stopKeyRequest.load() != 0) {
            WindowRun.controls.lineHeld = 1;
            PublishRunBlock(block, block, "G01X1.\n");
            WorkerLog.Add("wait");
            if (WaitAtStopBlock(WindowRun.controls) == 0) {
                WorkerLog.Add("aborted");
                return;
            }
            WindowRun.controls.lineHeld = 0;
        }
        WorkerLog.Add("step " + std::to_string(block));
        if (RequestRedrawAndWait(WindowRun.controls) == 0) {
            WorkerLog.Add("aborted");
            return;
        }
        WorkerLog.Add("redraw served");
    }
}

// Runs until released or aborted: a thread that is there while the test sets flags.
void HeldThread() {
    while (ScriptRelease.load() == 0 && WindowRun.controls.abortRequest.load() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// The thread body the host's run commands start.
void (*HostThreadBody)() = nullptr;

// --- The host -------------------------------------------------------------------------------

MessageResult HostProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                            MessageLParam lparam) {
    if (message == WM_TIMER && wparam == IDT_RUN_PROGRESS) {
        RunProgressTimer(window);
        return 0;
    }
    if (message == WM_TIMER && wparam == IDT_PAUSE_BLINK) {
        WindowRun.controls.pauseBlink = WindowRun.controls.pauseBlink.load() == 0 ? 1 : 0;
        return 0;
    }
    if (message == WM_COMMAND) {
        HandleRunCommand(window, static_cast<unsigned>(wparam), lparam, HostThreadBody);
        return 0;
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

// The main window's run commands and timer joined to run control, as the program joins them,
// with recorders for what a redraw draws.
void WireShellToRunControl(void (*threadBody)()) {
    RunCallbacks = RunHooks{};
    HostThreadBody = threadBody;
    RunCallbacks.drawAxisValuePanes = [] { Hooks.Add("axis values"); };
}

class RunTimerTest : public testing::RunReportTest {
protected:
    void SetUp() override {
        RunReportTest::SetUp();
        GiveRunRequest(TestRun, WindowRunRequest());
        DrawingSuppressed = 0;
        RunCommands = RunCommandState{};
        DefinitionFiles.ncProgramFile = Path("part.nc");
        UseManualClock(1, 0);
        WindowMessage message;
        while (PeekWindowMessage(&message, PM_REMOVE)) {
        }
        window_ = CreatePlatformWindow({.text = "main", .procedure = HostProcedure});
        RunUiCallbacks.drawRunPane = [](int pane, const char* text, int pressed) {
            Hooks.Add(std::string(pressed ? "pressed " : "raised ") + std::to_string(pane) + text);
        };
        RunUiCallbacks.redrawMainWindow = [] { Hooks.Add("main window"); };
        RunUiCallbacks.showPanelBlock = [](int line, const char* text) {
            Hooks.Add("block " + std::to_string(line) + ":" + text);
        };
        WorkerLog.Take();
        ScriptBlocks = 0;
        ScriptGate = 0;
        ScriptRelease = 0;
    }
    void TearDown() override {
        ScriptRelease = 1;
        if (CuttingRunHasThread(WindowRun)) {
            RequestRunAbort(WindowRun.controls);
            JoinCuttingRun(WindowRun);
        }
        DestroyPlatformWindow(window_);
        UseManualClock(0);
        RunCallbacks = RunHooks{};
        RunCommands = RunCommandState{};
        WindowRun.mode = RunMode::kIdle;
        testing::CloseRunReportFiles(WindowRun.reports);
        RunReportTest::TearDown();
    }

    // Starts a run of the scripted thread with a run command.
    void StartRun(void (*body)(), unsigned command) {
        WireShellToRunControl(body);
        PrepareCuttingRun(RunSession, WindowRun.reports);
        SendWindowMessage(window_, WM_COMMAND, command, 0);
        Hooks.Take();
    }
    // Steps the manual clock by 5 ms and serves every due message, until the condition holds
    // (the scripted thread works in real time meanwhile), for at most the wait bound in real
    // time; whether it holds.
    template <typename Condition>
    bool PumpUntil(Condition condition) {
        return testing::AwaitCondition(
            [&condition] {
                if (condition()) {
                    return true;
                }
                AdvanceManualClock(5);
                testing::DispatchPendingMessages();
                return false;
            },
            std::chrono::microseconds(200));
    }
    void Tick() {
        SendWindowMessage(window_, WM_TIMER, IDT_RUN_PROGRESS, 0);
    }

    WindowHandle window_ = {};
};

TEST_F(RunTimerTest, ARedrawIsServedBeforeAPauseIsEntered) {
    StartRun(HeldThread, IDM_CUT_REAL);
    PublishRunBlock(12, 12, "G00X50.Y25.Z15.\r\n");
    WindowRun.controls.redrawRequest = 1;
    WindowRun.controls.pauseRequest = 1;
    Tick();
    EXPECT_EQ(WindowRun.controls.redrawRequest.load(), 0);
    EXPECT_EQ(RunCommands.runTimer, IDT_RUN_PROGRESS);  // still running: no pause yet
    EXPECT_EQ(WindowRun.controls.pendingStop.load(), 0);
    EXPECT_EQ(Hooks.Take(), (std::vector<std::string>{"axis values"}));
    Tick();
    EXPECT_EQ(RunCommands.runTimer, 0u);
    EXPECT_EQ(RunCommands.blinkTimer, IDT_PAUSE_BLINK);
    EXPECT_EQ(WindowRun.controls.pendingStop.load(), 1);
    EXPECT_EQ(Hooks.Take(), (std::vector<std::string>{"block 12:G00X50.Y25.Z15.", "pressed 0\tSTOP",
                                                      "main window"}));
    // Paused: timer 101 no longer ticks; the blink timer toggles the phase every 500 ms.
    AdvanceManualClock(500);
    testing::DispatchPendingMessages();
    EXPECT_EQ(WindowRun.controls.pauseBlink.load(), 1);
    EXPECT_TRUE(Hooks.Take().empty());
}

// The held pause key is seen on a tick that serves a frame too: a run whose thread has a new
// frame waiting at every tick is still paused by it.
TEST_F(RunTimerTest, ThePauseKeyIsSeenOnATickThatServesAFrame) {
    StartRun(HeldThread, IDM_CUT_RESULT);
    const auto foreground = MainWindowCallbacks.isForegroundWindow;
    MainWindowCallbacks.isForegroundWindow = [](WindowHandle) { return 1; };
    SetKeyDownState(static_cast<unsigned>(RunCommands.pauseKey), 1);
    WindowRun.controls.redrawRequest = 1;
    Tick();
    SetKeyDownState(static_cast<unsigned>(RunCommands.pauseKey), 0);
    MainWindowCallbacks.isForegroundWindow = foreground;
    EXPECT_EQ(WindowRun.controls.redrawRequest.load(), 0);
    EXPECT_EQ(WindowRun.controls.stopKeyRequest.load(), 1);
}

TEST_F(RunTimerTest, AnEventStopsTheRunBeforeItsNextBlockAndResumeClearsIt) {
    ScriptBlocks = 3;
    ScriptGate = 1;
    StartRun(ScriptedBlockLoop, IDM_CUT_REAL);
    ASSERT_TRUE(PumpUntil([] { return WorkerLog.Size() >= 2; }));
    // An event recorded in block 1: the timer raises the stop request, the thread waits before
    // block 2 and the timer shows the paused state.
    WindowRun.reports.kinds.eventCount = kEventWritten;
    Tick();
    EXPECT_EQ(WindowRun.controls.stopKeyRequest.load(), 1);
    ScriptGate = 3;
    ASSERT_TRUE(PumpUntil([] { return RunCommands.blinkTimer != 0; }));
    EXPECT_EQ(WindowRun.controls.pauseRequest.load(), 1);
    // Resume ("G" while the line is held).
    Hooks.Take();
    EXPECT_EQ(HandleRunKeyDown(window_, 'G', 0), 1);
    EXPECT_EQ(WindowRun.reports.kinds.eventCount.load(), kNoEvent);
    EXPECT_EQ(WindowRun.controls.stopKeyRequest.load(), 0);
    EXPECT_EQ(RunCommands.blinkTimer, 0u);
    EXPECT_EQ(RunCommands.runTimer, IDT_RUN_PROGRESS);
    EXPECT_EQ(Hooks.Take(),
              (std::vector<std::string>{"pressed 0\tGO", "raised 0\tSTOP", "raised 1\tESC"}));
    // Without a new event the run does not stop again; it ends by itself.
    ASSERT_TRUE(PumpUntil([] { return !CuttingRunHasThread(WindowRun); }));
    EXPECT_EQ(WorkerLog.Take(),
              (std::vector<std::string>{"step 1", "redraw served", "wait", "step 2",
                                        "redraw served", "step 3", "redraw served"}));
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kIdle);
}

TEST_F(RunTimerTest, AnAbortDuringAPauseEndsWithoutSteppingTheHeldLine) {
    ScriptBlocks = 3;
    StartRun(ScriptedBlockLoop, IDM_CUT_SKIP);
    WindowRun.controls.stopKeyRequest = 1;  // the STOP pane: stop before the first block
    ScriptGate = 3;
    ASSERT_TRUE(PumpUntil([] { return RunCommands.blinkTimer != 0; }));
    EXPECT_EQ(RunCommands.runTimer, 0u);
    AbortRun(window_, 1);
    EXPECT_EQ(RunCommands.runTimer, IDT_RUN_PROGRESS);  // started again to see the end
    ASSERT_TRUE(PumpUntil([] { return !CuttingRunHasThread(WindowRun); }));
    EXPECT_EQ(WorkerLog.Take(), (std::vector<std::string>{"wait", "aborted"}));
    EXPECT_EQ(WindowRun.controls.abortRequest.load(), 0);
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kIdle);
    EXPECT_EQ(WindowRun.controls.pendingStop.load(), 0);
    EXPECT_EQ(WindowRun.controls.lineHeld.load(), 0);
    EXPECT_EQ(RunCommands.runTimer, 0u);
    EXPECT_EQ(RunCommands.blinkTimer, 0u);
    const std::vector<std::string> calls = Hooks.Take();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "pressed 1\tESC"), calls.end());
}

TEST_F(RunTimerTest, ThePeriodFollowsTheRunModeAndTheStepByStepMoves) {
    WindowRun.mode = RunMode::kResult;
    EXPECT_EQ(GetRunTimerPeriodMs(), kResultRunTimerPeriodMs);
    WindowRun.controls.showSteps = 1;
    EXPECT_EQ(GetRunTimerPeriodMs(), kRunTimerPeriodMs);
    WindowRun.controls.showSteps = 0;
    WindowRun.mode = RunMode::kSkipCutting;
    EXPECT_EQ(GetRunTimerPeriodMs(), kRunTimerPeriodMs);
    // A resume in a result run starts timer 101 at 100 ms on the clock.
    WindowRun.mode = RunMode::kResult;
    StartRunTimer(window_);
    Hooks.Take();
    AdvanceManualClock(99);
    WindowMessage message;
    EXPECT_EQ(PeekWindowMessage(&message, PM_REMOVE), 0);
    AdvanceManualClock(1);
    ASSERT_EQ(PeekWindowMessage(&message, PM_REMOVE), 1);
    EXPECT_EQ(message.wparam, kRunProgressTimerId);
    StopWindowTimer(window_, kRunProgressTimerId);
}

TEST_F(RunTimerTest, ALoggingRunNeverStopsForAnEvent) {
    reports_.kinds.eventCount = kEventRecorded;
    EXPECT_EQ(RunEventStopWanted(reports_.kinds), 1);
    WindowRun.request.runLogFlag = 1;
    EXPECT_EQ(RunEventStopWanted(reports_.kinds), 0);
    WindowRun.request.runLogFlag = 0;
    reports_.kinds.eventCount = kNoEvent;
    EXPECT_EQ(RunEventStopWanted(reports_.kinds), 0);
}

TEST_F(RunTimerTest, AMenuSelectionStopsTheViewSpin) {
    RunUiCallbacks.restoreArrowCursor = [] { Hooks.Add("arrow"); };
    RunUiCallbacks.clearViewSpin = [] { Hooks.Add("spin off"); };
    StartWindowTimer(window_, 9, 20);
    RestoreCursorAndKillTimer(window_, 9);
    EXPECT_EQ(Hooks.Take(), (std::vector<std::string>{"arrow", "spin off"}));
    AdvanceManualClock(100);
    WindowMessage message;
    EXPECT_EQ(PeekWindowMessage(&message, PM_REMOVE), 0);
}

// The abort must be visible to whoever sees the pause released: a watcher that spins until the
// pause request falls must then find the abort set, every time. The watcher is one thread for all
// rounds, spinning before each abort, so that the moment between the two stores is probed often.
// Both the main window's abort and run control's are held to it. Each round is two hand-overs
// between the threads: on an idle machine all rounds take a fraction of a second, on a few busy
// cores each hand-over may wait for a time slice, so the rounds stop after a time budget once a
// fair number has run.
template <typename Abort>
int CountAbortsMissedAtRelease(std::atomic<std::int32_t>& pause, std::atomic<std::int32_t>& abort,
                               Abort doAbort) {
    constexpr int kRounds = 20000;
    constexpr int kFewestRounds = 500;
    const auto budgetEnd = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::atomic<int> round{0};
    std::atomic<int> spinning{0};
    std::atomic<int> seen{0};
    std::atomic<int> missed{0};
    std::atomic<int> quit{0};  // the test gave up: the watcher ends
    std::thread watcher([&] {
        for (int r = 1; r <= kRounds; ++r) {
            while (round.load() != r) {
                if (quit.load() != 0) {
                    return;
                }
                std::this_thread::yield();
            }
            spinning = r;
            while (pause.load() != 0) {
            }
            if (abort.load() == 0) {
                missed.fetch_add(1);
            }
            seen = r;
        }
    });
    const auto yielding = std::chrono::microseconds(0);
    for (int r = 1; r <= kRounds; ++r) {
        if (r > kFewestRounds && std::chrono::steady_clock::now() > budgetEnd) {
            quit = 1;
            break;
        }
        abort = 0;
        pause = 1;
        round = r;
        if (!testing::AwaitCondition([&] { return spinning.load() == r; }, yielding)) {
            ADD_FAILURE() << "round " << r << ": waited in vain for the watcher to start";
            quit = 1;
            pause = 0;
            break;
        }
        doAbort(r);
        if (!testing::AwaitCondition([&] { return seen.load() == r; }, yielding)) {
            ADD_FAILURE() << "round " << r << ": waited in vain for the abort to release the pause";
            quit = 1;
            pause = 0;  // the watcher goes on, then ends
            break;
        }
    }
    watcher.join();
    abort = 0;
    pause = 0;
    return missed.load();
}

TEST(RunAbortOrderTest, TheAbortIsSetBeforeThePauseIsReleased) {
    EXPECT_EQ(
        CountAbortsMissedAtRelease(WindowRun.controls.pauseRequest, WindowRun.controls.abortRequest,
                                   [](int) { RequestRunAbort(WindowRun.controls); }),
        0);
    EXPECT_EQ(
        CountAbortsMissedAtRelease(WindowRun.controls.pauseRequest, WindowRun.controls.abortRequest,
                                   [](int r) { AbortRun(WindowHandle{}, r % 2); }),
        0);
    RunCommands.runTimer = 0;
}

}  // namespace
}  // namespace mirexa
