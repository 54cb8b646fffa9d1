// Run commands against a scripted simulation thread: one thread per run, a second command only
// switching the mode, the timer period, the redraw and pause handshakes, the keys, abort, the
// alarm code priority, the rewind of an alarm end, the length report, and closing the window
// during a run (the run is aborted and its thread joined before anything is freed).
#include "shell/run_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/keys.h"
#include "platform/message_box.h"
#include "resources/program_resources.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "shell/automation_steps.h"
#include "shell/info_panel.h"
#include "shell/main_window.h"
#include "shell/status_bar.h"
#include "shell/worker_threads.h"
#include "shell_test_support.h"
#include "simulation/interference_flags.h"
#include "simulation/run_control.h"
#include "simulation/run_end.h"
#include "simulation/run_ui_hooks.h"
#include "support/bounded_wait.h"
#include "support/scratch_directory.h"
#include "view/tool_path.h"
#include "view/view_window.h"

namespace mirexa {
namespace {

// The scripted simulation thread. Each step waits (real time) for the interface thread's answer
// or for an abort; every shared value is atomic.
struct FakeScript {
    std::atomic<int> starts{0};
    std::atomic<int> redraws{0};  // redraw requests to raise before the pause
    std::atomic<int> pause{0};    // raise a pause request after the redraws
    std::atomic<int> release{0};  // set by the test: the thread may end
    std::atomic<int> stage{0};    // 1 redraw raised, 2 pause raised, 3 resumed, 9 ended
    std::atomic<int> sawAbort{0};
    std::atomic<std::vector<int>*> data{nullptr};  // read on every loop until the end
    std::atomic<long> sum{0};
};
FakeScript script;

bool Aborted() {
    return WindowRun.controls.abortRequest.load() != 0;
}

void TouchData() {
    if (std::vector<int>* d = script.data.load()) {
        long s = 0;
        for (int v : *d) {
            s += v;
        }
        script.sum.store(s);
    }
}

// Waits until the condition or an abort; false on abort, and on a wait in vain (a failure).
bool WaitFor(bool (*condition)()) {
    bool met = false;
    const auto answered = [&met, condition] {
        met = condition();
        if (met || Aborted()) {
            return true;
        }
        TouchData();
        return false;
    };
    if (!testing::AwaitCondition(answered, std::chrono::milliseconds(1))) {
        ADD_FAILURE() << "the scripted run waited in vain for the test or an abort";
    }
    return met;
}

void FakeSimulation() {
    script.starts.fetch_add(1);
    RunControls& f = WindowRun.controls;
    bool go = true;
    for (int i = 0; go && i < script.redraws.load(); ++i) {
        f.redrawRequest.store(1);
        script.stage.store(1);
        go = WaitFor([] { return WindowRun.controls.redrawRequest.load() == 0; });
    }
    if (go && script.pause.load()) {
        f.lineHeld.store(1);
        f.pauseRequest.store(1);
        f.pauseBlink.store(1);
        script.stage.store(2);
        go = WaitFor([] { return WindowRun.controls.pauseRequest.load() == 0; });
        f.lineHeld.store(0);
        script.stage.store(3);
    }
    if (go) {
        go = WaitFor([] { return script.release.load() != 0; });
    }
    if (!go) {
        f.redrawRequest.store(0);  // the thread clears its own redraw request on abort
        script.sawAbort.store(1);
    }
    script.stage.store(9);
}

// The run's thread of the step redraws: raises the requests of stepRequests one by one as the
// test allows, each followed by the worker's wake, as the stepping does.
constexpr int kStepRedraws = 4;
int stepRequests[kStepRedraws] = {};  // set before the run starts
std::atomic<int> stepsAllowed{0};
std::atomic<int> stepsServed{0};

void StepRedrawSimulation() {
    script.starts.fetch_add(1);
    for (int i = 0; i < kStepRedraws; ++i) {
        if (!WaitFor([] { return stepsAllowed.load() > stepsServed.load(); })) {
            return;
        }
        WindowRun.controls.redrawRequest.store(stepRequests[i]);
        WindowRun.controls.kept.redrawRaised.load()();
        if (!WaitFor([] { return WindowRun.controls.redrawRequest.load() == 0; })) {
            WindowRun.controls.redrawRequest.store(0);
            return;
        }
        stepsServed.fetch_add(1);
    }
    WaitFor([] { return script.release.load() != 0; });
}

class RunCommandsTest : public ::testing::Test, public ShellWindowTest {
protected:
    void SetUp() override {
        ResetShellState();
        script.starts.store(0);
        script.redraws.store(0);
        script.pause.store(0);
        script.release.store(0);
        script.stage.store(0);
        script.sawAbort.store(0);
        script.data.store(nullptr);
        threadBody = FakeSimulation;
        // The run's end reaches the shell as in the program.
        ConnectRunEndToShell();
        // The panel's axis values are drawn at every redraw the thread asks for.
        RunCallbacks.drawAxisValuePanes = [] { RecordEvent("redraw"); };
        DefinitionFiles.ncProgramFile = "/w/part.nc";
        // A run that reached its start character and ended without an alarm, unless a test
        // says otherwise.
        RunSession.run.status.started = 1;
        RunSession.run.status.error = 0;
        WindowRun.controls.kept.simulationState = 1;
        WindowRun.controls.overTravelAxis = -1;
        OpenMainWindow();
        ClearRecordedEvents();
    }
    void TearDown() override {
        script.release.store(1);
        CloseMainWindow();
        RunUiCallbacks = RunUiHooks{};
        ResetShellState();
        UseManualClock(0);
    }
    // A run command as the main window takes it, the run's thread running threadBody.
    void Command(unsigned id) {
        HandleRunCommand(main, id, 0, threadBody);
    }
    // A run command as the automation sends it: with its request, on this thread.
    void AutomationCommand(unsigned id, BatchRunKind batchKind, int batchRun) {
        static WindowHandle window = nullptr;
        static void (*body)() = nullptr;
        window = main;
        body = threadBody;
        AutomationStandIn standIn;
        standIn.runOnMainThread = [](const std::function<void()>& call) {
            call();
            return 1;
        };
        standIn.sendCommand = [](unsigned command, MessageLParam) {
            HandleRunCommand(window, command, 0, body);
        };
        AutomationRequest request;
        request.batchKind = batchKind;
        request.batchRun = batchRun;
        ResetAutomationRun();
        SetAutomationStandIn(&standIn);
        SendAutomationRequest(id, 0, request);
        SetAutomationStandIn(nullptr);
    }
    void Key(unsigned key, MessageLParam keyData = 0) {
        SendWindowMessage(main, WM_KEYDOWN, key, keyData);
        DeliverPending();
    }
    // Advances the clock tick by tick until the condition holds (for at most the wait bound in
    // real time, while the run's thread works); whether it holds.
    bool TickUntil(bool (*condition)()) {
        return testing::AwaitCondition(
            [condition] {
                if (condition()) {
                    return true;
                }
                AdvanceManualClock(5);
                DeliverPending();
                return false;
            },
            std::chrono::microseconds(200));
    }
    static bool RunEnded() {
        return WindowRun.mode.load() == RunMode::kIdle && !CuttingRunHasThread(WindowRun);
    }
    // The body of the runs' thread.
    void (*threadBody)() = FakeSimulation;
};

TEST_F(RunCommandsTest, OneThreadPerRunAndASecondCommandOnlySwitchesMode) {
    // Switches the run's program set, which must not outlive it.
    RunKinematics.modes.polarInterpolation = 1;
    RunKinematics.plane.active = 1;
    Command(IDM_CUT_REAL);
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kRealCutting);
    EXPECT_EQ(RunCommands.runTimer, IDT_RUN_PROGRESS);
    EXPECT_EQ(RunCommands.runPeriodMs, 5u);
    Key(VK_F5);  // posts the result command
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kResult);
    Command(IDM_CUT_SKIP);
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kSkipCutting);
    ASSERT_TRUE(WaitUntil([] { return script.starts.load() == 1; }));
    script.release.store(1);
    ASSERT_TRUE(TickUntil(RunEnded));
    EXPECT_EQ(script.starts.load(), 1);
    EXPECT_EQ(RunCommands.runTimer, 0u);
    // The run-scoped interpreter switches are zeroed at the end.
    EXPECT_EQ(RunKinematics.modes.polarInterpolation, 0);
    EXPECT_EQ(RunKinematics.plane.active, 0);
    // A new command after the end starts a new thread.
    script.release.store(0);
    Command(IDM_CUT_REAL);
    ASSERT_TRUE(WaitUntil([] { return script.starts.load() == 2; }));
    script.release.store(1);
    ASSERT_TRUE(TickUntil(RunEnded));
}

TEST_F(RunCommandsTest, TimerPeriodFollowsModeAndShowSteps) {
    Command(IDM_CUT_RESULT);
    EXPECT_EQ(RunCommands.runPeriodMs, 100u);
    WindowRun.controls.showSteps.store(1);
    AdvanceAndDeliver(100, 5);
    EXPECT_EQ(RunCommands.runPeriodMs, 5u);
    WindowRun.controls.showSteps.store(0);
    AdvanceAndDeliver(5, 5);
    EXPECT_EQ(RunCommands.runPeriodMs, 100u);
    // Shift as the key's message has it, whether or not the key is still held when the message
    // is handled.
    Key(VK_TAB, kKeyShiftHeld);  // Shift+Tab: 3 becomes 2
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kSkipCutting);
    AdvanceAndDeliver(100, 5);
    EXPECT_EQ(RunCommands.runPeriodMs, 5u);
    Key(VK_TAB, kKeyShiftHeld);
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kRealCutting);
    Key(VK_TAB, kKeyShiftHeld);  // 1 stays with Shift
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kRealCutting);
    SetKeyDownState(VK_SHIFT, 1);  // held again by the time the plain Tab is handled
    Key(VK_TAB);
    SetKeyDownState(VK_SHIFT, 0);
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kSkipCutting);
    Key(VK_TAB);
    Key(VK_TAB);  // 1 -> 2 -> 3, and 3 stays
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kResult);
    script.release.store(1);
    ASSERT_TRUE(TickUntil(RunEnded));
}

TEST_F(RunCommandsTest, RedrawServedThenPauseThenResumeByG) {
    script.redraws.store(2);
    script.pause.store(1);
    Command(IDM_CUT_REAL);
    ASSERT_TRUE(TickUntil([] { return script.stage.load() == 2; }));
    EXPECT_EQ(RecordedEvents(), (std::vector<std::string>{"redraw", "redraw"}));
    ASSERT_TRUE(TickUntil([] { return RunCommands.runTimer == 0; }));
    EXPECT_EQ(RunCommands.blinkTimer, IDT_PAUSE_BLINK);
    // The blink timer toggles the blink phase every 500 ms.
    int blink = WindowRun.controls.pauseBlink.load();
    AdvanceAndDeliver(500, 5);
    EXPECT_NE(WindowRun.controls.pauseBlink.load(), blink);
    Key('G');
    EXPECT_EQ(RunCommands.runTimer, IDT_RUN_PROGRESS);
    EXPECT_EQ(RunCommands.blinkTimer, 0u);
    ASSERT_TRUE(WaitUntil([] { return script.stage.load() == 3; }));
    script.release.store(1);
    ASSERT_TRUE(TickUntil(RunEnded));
    EXPECT_EQ(script.sawAbort.load(), 0);
}

// A step redraw is served as soon as the worker raises it, not at the timer's next tick; one
// inside a move is answered without a frame while the run's last frame is younger than a screen
// refresh, and a move's last step is always drawn.
TEST_F(RunCommandsTest, StepRedrawsAreServedAtOnceAndLeftOutWithinAScreenRefresh) {
    const struct {
        int request;
        std::uint64_t afterMs;  // the clock advanced before the request
        bool drawn;
    } steps[kStepRedraws] = {
        {kRedrawFrameMayCoalesce, 0, true},  // the run's first frame
        {kRedrawFrameMayCoalesce, 5, false},
        {kRedrawFrame, 0, true},
        {kRedrawFrameMayCoalesce, 16, true},
    };
    for (int i = 0; i < kStepRedraws; ++i) {
        stepRequests[i] = steps[i].request;
    }
    stepsAllowed.store(0);
    stepsServed.store(0);
    threadBody = StepRedrawSimulation;
    Command(IDM_CUT_RESULT);  // its timer period is 100 ms: only the wake serves at once
    WindowRun.controls.showSteps.store(1);
    for (int i = 0; i < kStepRedraws; ++i) {
        AdvanceManualClock(steps[i].afterMs);
        ClearRecordedEvents();
        stepsAllowed.store(i + 1);
        ASSERT_TRUE(WaitUntil(
            [i] {
                DeliverPending();
                return stepsServed.load() == i + 1;
            },
            std::chrono::seconds(5)))
            << "step " << i;
        EXPECT_EQ(RecordedEvents().size(), steps[i].drawn ? 1u : 0u) << "step " << i;
    }
    script.release.store(1);
    ASSERT_TRUE(TickUntil(RunEnded));
}

// The panel's windows with the main window, so that its run panes can be clicked.
class RunPanesTest : public RunCommandsTest {
public:
    using RunCommandsTest::Key;
    void SetUp() override {
        RunCommandsTest::SetUp();
        UiLanguage.store(1);
        CloseMainWindow();
        UseManualClock(1, 0);
        InstallInfoPanelHooks();
        OpenMainWindow();
        DeliverPending();
    }
    void ClickPane(int id) {
        for (const PanelPane& pane : BuildInfoPanelPanes(CollectInfoPanelInputs())) {
            if (pane.id == id) {
                WindowHandle window = GetInfoPanelWindow(pane.window);
                const MessageLParam at =
                    static_cast<MessageLParam>(((pane.rect.top + pane.rect.bottom) / 2) << 16 |
                                               (pane.rect.left + pane.rect.right) / 2);
                SendWindowMessage(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
                SendWindowMessage(window, WM_LBUTTONUP, 0, at);
                DeliverPending();
                return;
            }
        }
        ADD_FAILURE() << "no pane " << id;
    }
    void ViewKey(unsigned key, MessageLParam character = 0) {
        SendWindowMessage(MainWindowData.handles.view, WM_KEYDOWN, key, character);
        DeliverPending();
    }
    // A real-cutting run paused before a block, its timer stopped and the pause shown.
    void PausedRun() {
        script.pause.store(1);
        script.release.store(0);
        script.stage.store(0);
        Command(IDM_CUT_REAL);
        ASSERT_TRUE(TickUntil([] { return script.stage.load() == 2; }));
        ASSERT_TRUE(TickUntil([] { return RunCommands.runTimer == 0; }));
    }
    static std::string Part(int part) {
        return GetStatusBarPart(MainStatusBar.load(), part).text;
    }
};

// Whichever way the user resumes a paused run (G in the main window or in the view, the GO
// pane), timer 101 serves it again and it reaches its end; whichever way he aborts it (the abort
// key in either window, the ESC pane), it ends. The pause shows in the status bar until then.
TEST_F(RunPanesTest, EveryWayOfResumingOrAbortingAPauseServesTheRun) {
    const struct {
        const char* way;
        void (*act)(RunPanesTest*);
        int aborts;
    } cases[] = {
        {"G in the main window", [](RunPanesTest* t) { t->Key('G'); }, 0},
        {"G in the view", [](RunPanesTest* t) { t->ViewKey('G', 'g'); }, 0},
        {"GO pane", [](RunPanesTest* t) { t->ClickPane(kPaneRun); }, 0},
        {"Esc in the main window", [](RunPanesTest* t) { t->Key(VK_ESCAPE); }, 1},
        {"Esc in the view", [](RunPanesTest* t) { t->ViewKey(VK_ESCAPE); }, 1},
        {"ESC pane", [](RunPanesTest* t) { t->ClickPane(kPaneEscape); }, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.way);
        script.sawAbort.store(0);
        PausedRun();
        EXPECT_EQ(Part(STATUS_PART_STOP_KIND), "STOP");
        // The blink shows the keys every other period.
        std::string shown;
        for (int i = 0; i < 8; ++i) {
            AdvanceAndDeliver(125, 5);
            shown += "[" + Part(STATUS_PART_STOP_KEYS) + "]";
        }
        EXPECT_NE(shown.find("[G or ESC]"), std::string::npos) << shown;
        EXPECT_NE(shown.find("[]"), std::string::npos) << shown;
        // The pause key held in the view is no abort (Ctrl+drag zooms).
        ViewKey(VK_CONTROL);
        EXPECT_EQ(WindowRun.controls.abortRequest.load(), 0);
        c.act(this);
        // A resumed run waits for its release, so timer 101 serves it now; an aborted one may
        // have ended, and the window taken its end, before the act returned.
        EXPECT_TRUE(RunCommands.runTimer == IDT_RUN_PROGRESS || (c.aborts && RunEnded()))
            << "timer " << RunCommands.runTimer;
        if (!c.aborts) {
            ASSERT_TRUE(WaitUntil([] { return script.stage.load() == 3; }));
            EXPECT_EQ(Part(STATUS_PART_STOP_KIND), "");
            script.release.store(1);
        }
        ASSERT_TRUE(TickUntil(RunEnded));
        EXPECT_EQ(script.sawAbort.load(), c.aborts);
    }
}

TEST_F(RunCommandsTest, EscapeDuringAPauseEndsTheRunAndMarksABatchExit) {
    script.pause.store(1);
    AutomationCommand(IDM_CUT_SKIP, BatchRunKind::kSkip, 1);
    EXPECT_EQ(WindowRun.request.batchRun, 1);
    ASSERT_TRUE(TickUntil([] { return RunCommands.runTimer == 0 && script.stage.load() == 2; }));
    Key(VK_ESCAPE);
    // The abort may end the run, and the window take its end, before the key returns.
    if (!RunEnded()) {
        EXPECT_EQ(WindowRun.controls.abortRequest.load(), 1);
        EXPECT_EQ(WindowRun.controls.pauseRequest.load(), 0);
        EXPECT_EQ(RunCommands.runTimer, IDT_RUN_PROGRESS);  // restarted to see the thread end
    }
    ASSERT_TRUE(TickUntil(RunEnded));
    EXPECT_EQ(script.sawAbort.load(), 1);
    EXPECT_EQ(WindowRun.controls.abortRequest.load(), 0);
    EXPECT_EQ(AbortedBatchRunMark.load(), 1);
}

// The automation's run takes its mode and batch flag from its request, not from the command
// line, and no stop waits for a user; a run from the menu afterwards is no batch run.
TEST_F(RunCommandsTest, AnAutomationRunTakesWhatItsRequestSays) {
    AutomaticMode.store(1);
    Controller.stopOption = 3;
    CommandLine.batchKind =
        BatchRunKind::kReal;  // the command line's mode is taken by the automation's run
    AutomationOutcome.runEnd = kCutAlarm;
    AutomationCommand(IDM_CUT_RESULT, BatchRunKind::kResult, 0);
    EXPECT_EQ(Controller.stopOption, 0);
    EXPECT_EQ(CommandLine.batchKind, BatchRunKind::kNone);
    EXPECT_EQ(WindowRun.request.batchRun, 0);
    EXPECT_EQ(AutomationOutcome.runEnd, kCutCompleted);
    EXPECT_NE(GetPlatformWindowText(main).find("加工 : 結果表示"), std::string::npos)
        << GetPlatformWindowText(main);
    script.release.store(1);
    ASSERT_TRUE(TickUntil(RunEnded));
    EXPECT_EQ(GetPlatformWindowText(main).find("加工"), std::string::npos)
        << GetPlatformWindowText(main);
    AutomaticMode.store(0);
    Controller.stopOption = 0;
}

TEST_F(RunCommandsTest, KeysOutsideARun) {
    // The keys the view was given, each with its Shift and Ctrl bits.
    static std::vector<std::pair<unsigned, MessageLParam>> viewKeys;
    viewKeys.clear();
    WindowCreateParams params;
    params.procedure = [](WindowHandle w, unsigned m, MessageWParam wp, MessageLParam lp) {
        if (m == WM_KEYDOWN) {
            viewKeys.emplace_back(static_cast<unsigned>(wp), lp & kKeyModifiersHeld);
        }
        return DefaultWindowProcedure(w, m, wp, lp);
    };
    static WindowHandle fakeView = nullptr;
    fakeView = CreatePlatformWindow(params);
    MainWindowData.handles.view = fakeView;
    // Left arrow never takes an interval below 1; the title and the running thread both see
    // the interval the arrows set.
    WindowRun.mode.store(RunMode::kRealCutting);
    Settings.skipView = 2;
    for (int i = 0; i < 5; ++i) {
        Key(VK_LEFT);
    }
    EXPECT_EQ(StatusInputs.skipView, 1);
    Key(VK_RIGHT);
    EXPECT_EQ(StatusInputs.skipView, 2);
    EXPECT_EQ(RunRedrawInterval(RunMode::kRealCutting), 2);
    WindowRun.mode.store(RunMode::kSkipCutting);
    Settings.skipBlock = 1;
    Key(VK_LEFT);
    EXPECT_EQ(StatusInputs.skipBlock, 1);
    Key(VK_RIGHT);
    EXPECT_EQ(RunRedrawInterval(RunMode::kSkipCutting), 2);
    WindowRun.mode.store(RunMode::kIdle);
    // "G" outside a pause does nothing and is not passed to the view; other characters and
    // F1 .. F4 are, with Shift and Ctrl as the key's message has them (Shift+7 turns the view's B
    // angle too, Ctrl+P writes its PNG), not as the keys stand when the main window takes them.
    // F6 switches the path on; Shift as the key's message has it leaves the rapids out, whether or
    // not Shift still stands when the command the key posts is handled.
    Key('G');
    EXPECT_EQ(RunCommands.runTimer, 0u);
    const struct {
        unsigned key;
        MessageLParam keyData;
        unsigned heldNow;  // a modifier held by the time the key is handled (0: none)
        int hideRapids;    // F6: the rapids left out of the path (-1: a key for the view)
    } typed[] = {
        {'5', 0, 0, -1},
        {'Z', 0, 0, -1},
        {'7', kKeyShiftHeld, 0, -1},
        {'P', kKeyCtrlHeld, 0, -1},  // Ctrl+P, Ctrl let go before the key is handled
        {'P', 0, VK_CONTROL, -1},    // P, Ctrl held by the time it is handled
        {VK_F2, kKeyCtrlHeld, 0, -1},
        {VK_F1, 0, VK_CONTROL, -1},
        {VK_F6, kKeyShiftHeld, 0, 1},  // Shift+F6, Shift let go before the command is handled
        {VK_F6, 0, VK_SHIFT, 0},       // F6, Shift held by the time the command is handled
    };
    std::vector<std::pair<unsigned, MessageLParam>> want;
    for (const auto& t : typed) {
        SCOPED_TRACE(::testing::Message() << "key " << t.key << ", held now " << t.heldNow);
        DisplayModes.pathDisplay = 0;
        ToolPathDisplay.hideRapids = t.hideRapids != 0 ? 0 : 1;
        if (t.heldNow != 0) {
            SetKeyDownState(t.heldNow, 1);
        }
        Key(t.key, t.keyData);
        ReleaseAllKeys();
        if (t.hideRapids < 0) {
            want.emplace_back(t.key, t.keyData);
        } else {
            EXPECT_EQ(DisplayModes.pathDisplay, 1);
            EXPECT_EQ(ToolPathDisplay.hideRapids, t.hideRapids);
        }
    }
    EXPECT_EQ(viewKeys, want);
    // F5 without an NC program starts nothing.
    DefinitionFiles.ncProgramFile.clear();
    Key(VK_F5);
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kIdle);
    DestroyPlatformWindow(fakeView);
    DisplayModes.pathDisplay = 0;
    ToolPathDisplay.hideRapids = 0;
}

TEST(LengthReport, PathRules) {
    EXPECT_EQ(BuildLengthReportPath(0, 0, 1, "/out", "/w/a.nc"), "/out/length.txt");
    EXPECT_EQ(BuildLengthReportPath(0, 1, 1, "/out/", "/w/a.nc"), "/out/height.txt");
    EXPECT_EQ(BuildLengthReportPath(0, 2, 1, "", "/w/a.nc"), "chip-w.txt");
    EXPECT_EQ(BuildLengthReportPath(0, 0, 0, "/out", "/w/a.nc"), "/out/突出し長.txt");
    EXPECT_EQ(BuildLengthReportPath(0, 1, 0, "/out", "/w/a.nc"), "/out/有効刃長.txt");
    EXPECT_EQ(BuildLengthReportPath(0, 2, 0, "/out", "/w/a.nc"), "/out/チップ幅.txt");
    EXPECT_EQ(BuildLengthReportPath(1, 2, 0, "/out", "/w/a.nc"), "/out/length.txt");
    EXPECT_EQ(BuildLengthReportPath(2, 0, 0, "/out", "/w/part.v2.nc"), "/w/part.v2_length.txt");
    // A "." in a directory with none in the file name: appended, not cut in the directory.
    EXPECT_EQ(BuildLengthReportPath(2, 0, 0, "/out", "/w/job.1/O1234"),
              "/w/job.1/O1234_length.txt");
    EXPECT_EQ(BuildLengthReportPath(2, 0, 0, "/out", "C:\\nc.d\\O99"), "C:\\nc.d\\O99_length.txt");
}

// An alarm end, performed by the run's end as the program joins it: the program position, the
// work offsets and their index go back to where the run started, the control origin too; the
// alarm's message is shown with its code, a running macro breaks off and the automation hears of
// the alarm.
class RunEndThroughShellTest : public RunCommandsTest {
protected:
    void SetUp() override {
        RunCommandsTest::SetUp();
        // A test of another suite that ran first in the same process may leave a pose and an
        // interpreter state behind: the run's end restores from them.
        RunKinematics.pose = MachinePose{};
        ResetInterpreterState(RunSession);
        ConnectRunEndToShell();
        previous_ = SetMessageBoxResponder([](const MessageBoxRequest& request) {
            RecordEvent("box " + request.text);
            return MBX_IDOK;
        });
        WindowRun.reports.end.lastAlarmCode = 0;
        AutomationOutcome.runEnd = 0;
        RunSession.run.status.started = 1;
        RunSession.run.status.error = 0;
        WindowRun.controls.kept.simulationState = 1;
        ClearInterferenceFlags(WindowRun.cutting.flags);
    }
    void TearDown() override {
        SetMessageBoxResponder(previous_);
        RunUiCallbacks = RunUiHooks{};
        RunCommands.startPoint = RunStartPoint{};
        WindowRun.reports.end.workOffsetsSaved = 0;
        ClearInterferenceFlags(WindowRun.cutting.flags);
        WindowRun.controls.kept.simulationState = 1;
        WorkOffsetTable[1] = MotionPosition{};
        RunKinematics.pose = MachinePose{};
        ResetInterpreterState(RunSession);
        RunCommandsTest::TearDown();
    }
    MessageBoxResponder previous_;
};

TEST_F(RunEndThroughShellTest, AlarmEndRestoresPositionOffsetsAndOrigin) {
    RunKinematics.pose.program.axis[0] = 10;
    RunKinematics.pose.program.axis[2] = 50;
    SetRunStartPoint(&RunCommands.startPoint, RunKinematics.pose.program);
    WorkOffsetTable[1].axis[0] = 100;
    RunSession.run.modal.workOffsetIndex = 3;
    ControlOriginOffset.axis[2] = -300;
    threadBody = [] {
        PrepareCuttingRun(RunSession, WindowRun.reports);
        RunKinematics.pose.program.axis[0] = 77;
        RunKinematics.pose.program.axis[2] = -5;
        WorkOffsetTable[1].axis[0] = 999;
        RunSession.run.modal.workOffsetIndex = 2;
        ControlOriginOffset.axis[2] = 1;
        WindowRun.controls.kept.simulationState = 4;
        WindowRun.cutting.flags.structure[kArborTable] = 1;
    };
    StatusInputs.macro.running = 1;
    Command(IDM_CUT_REAL);
    ASSERT_TRUE(TickUntil(RunEnded));
    EXPECT_EQ(WindowRun.reports.end.lastAlarmCode, 21);
    EXPECT_EQ(AutomationOutcome.runEnd, kCutAlarm);
    EXPECT_EQ(WindowRun.reports.end.lastAlarmCode, 21);
    EXPECT_EQ(StatusInputs.macro.breakCount, 2);  // a running macro breaks off
    EXPECT_EQ(RunKinematics.pose.program.axis[0], 10);
    EXPECT_EQ(RunKinematics.pose.program.axis[2], 50);
    EXPECT_EQ(WorkOffsetTable[1].axis[0], 100);
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 3);
    EXPECT_EQ(ControlOriginOffset.axis[2], -300);
    std::vector<std::string> events = RecordedEvents();
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const std::string& e) { return e.rfind("box ", 0) == 0; }),
              1);
}

TEST_F(RunEndThroughShellTest, MissingStartCharacterEndsWithCode103AndANormalEndKeepsPosition) {
    SetRunStartPoint(&RunCommands.startPoint, MotionPosition{});
    threadBody = [] {
        RunKinematics.pose.program.axis[1] = 42;
        RunSession.run.status.started = 0;
    };
    Command(IDM_CUT_REAL);
    ASSERT_TRUE(TickUntil(RunEnded));
    EXPECT_EQ(WindowRun.reports.end.lastAlarmCode, 103);
    EXPECT_EQ(RunKinematics.pose.program.axis[1], 0);  // rewound
    // Without an alarm nothing is shown and the end position stays.
    WindowRun.reports.end.lastAlarmCode = 0;
    AutomationOutcome.runEnd = 0;
    RunSession.run.status.error = 0;
    threadBody = [] {
        RunKinematics.pose.program.axis[1] = 42;
        RunSession.run.status.started = 1;
    };
    ClearRecordedEvents();
    Command(IDM_CUT_REAL);
    ASSERT_TRUE(TickUntil(RunEnded));
    EXPECT_EQ(AutomationOutcome.runEnd, 0);
    EXPECT_EQ(RunKinematics.pose.program.axis[1], 42);
    for (const std::string& event : RecordedEvents()) {
        EXPECT_NE(event.rfind("box ", 0), 0u) << event;
    }
}

TEST_F(RunCommandsTest, LengthReportWrittenAndShown) {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("mirexa_len_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    Checks.heightCheck = 1;
    Settings.namingModeLength = 0;
    Settings.lengthDirectory = dir.string();
    UiLanguage.store(1);
    FileLocations.logDirectory = dir.string();
    auto log = [&dir] {
        CloseLogFile();
        std::string text = testing::ReadWholeFile((dir / "mirexa.log").string());
        std::filesystem::remove(dir / "mirexa.log");
        return text;
    };
    script.release.store(1);
    Command(IDM_CUT_REAL);
    ASSERT_TRUE(TickUntil(RunEnded));
    std::string path = (dir / "height.txt").string();
    // The headless backend has no viewer to show it in: the log says so.
    EXPECT_NE(log().find("viewer not opened: " + path), std::string::npos);
    std::FILE* file = std::fopen(path.c_str(), "r");
    ASSERT_NE(file, nullptr);
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, file), nullptr);
    EXPECT_STREQ(line, "/w/part.nc\n");
    std::fclose(file);
    // A command-line run mode of 4 or more writes no length report; the run writes the NC path
    // to the log instead.
    std::filesystem::remove(path);
    AutomationCommand(IDM_CUT_REAL, BatchRunKind::kResultLogged, 1);
    ASSERT_TRUE(TickUntil(RunEnded));
    const std::string text = log();
    FileLocations.logDirectory.clear();
    EXPECT_EQ(text.find("viewer not opened"), std::string::npos);
    EXPECT_NE(text.find("/w/part.nc"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path));
    std::filesystem::remove_all(dir);
}

// Closing the window during a run: the run is aborted and its thread joined before the plug-ins'
// release and the shutdown frees what the thread reads (ASan reports a use after free
// otherwise).
TEST_F(RunCommandsTest, ClosingDuringARunAbortsAndJoinsBeforeFreeing) {
    script.data.store(new std::vector<int>(1000, 1));
    MainWindowCallbacks.callPluginFreeFunctions = [] {
        RecordEvent(script.stage.load() == 9 ? "free after the thread ended" : "free too early");
        delete script.data.exchange(nullptr);
    };
    Command(IDM_CUT_REAL);
    ASSERT_TRUE(WaitUntil([] { return script.sum.load() == 1000; }));
    SendWindowMessage(main, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsPlatformWindow(main));
    EXPECT_FALSE(CuttingRunHasThread(WindowRun));
    EXPECT_EQ(script.sawAbort.load(), 1);
    std::vector<std::string> events = RecordedEvents();
    EXPECT_EQ(std::count(events.begin(), events.end(), "free after the thread ended"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "free too early"), 0);
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kIdle);
}

}  // namespace
}  // namespace mirexa
