// The shell's test main window, the event trace and message delivery.
#include "shell_test_support.h"

#include <cstdlib>
#include <thread>

#include "config/config_records.h"
#include "platform/clock.h"
#include "platform/keys.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "shell/automation_thread.h"
#include "shell/main_window.h"
#include "shell/message_file.h"
#include "shell/option_commands.h"
#include "shell/run_commands.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "shell/worker_threads.h"
#include "simulation/run_control.h"
#include "view/view_window.h"

namespace mirexa {

namespace {

std::mutex eventMutex;
std::vector<std::string> events;

}  // namespace

void RecordEvent(const std::string& name) {
    std::lock_guard<std::mutex> lock(eventMutex);
    events.push_back(name);
}

std::vector<std::string> RecordedEvents() {
    std::lock_guard<std::mutex> lock(eventMutex);
    return events;
}

// The main window's view has a GL context: the software rasteriser draws on the calling thread,
// since its own worker threads are not built for the thread sanitizer, which would report their
// locks as races. Set before any context exists.
const int kRasteriserOnCallingThread = setenv("LP_NUM_THREADS", "0", 0);

void ClearRecordedEvents() {
    std::lock_guard<std::mutex> lock(eventMutex);
    events.clear();
}

void ResetShellState() {
    JoinCuttingRun(WindowRun);
    JoinWorkerThread(&AutomationThread);
    ResetConfigurationRecords();
    MainWindowCallbacks = MainWindowHooks{};
    RunCallbacks = RunHooks{};
    OptionCommandCallbacks = OptionCommandHooks{};
    OptionCommands = OptionCommandState{};
    StartupCallbacks = StartupServices{};
    UiHooks = ProgressHooks{};
    RunControls& f = WindowRun.controls;
    WindowRun.mode.store(RunMode::kIdle);
    for (auto* flag : {&f.abortRequest, &f.pauseRequest, &f.pauseBlink, &f.lineHeld,
                       &f.stopKeyRequest, &f.redrawRequest, &f.showSteps}) {
        flag->store(0);
    }
    RunCommands = RunCommandState{};
    MainWindowData = MainWindowState{};
    ResetViewWindowState();
    ReleaseAllKeys();
    StatusInputs = StatusBarInputs{};
    ControlOriginOffset = MotionPosition{};
    AbortedBatchRunMark.store(0);
    // A program run in automatic mode keeps its abort signal handlers to its end.
    RestoreAbortSignalHandlers();
    WorkerShutdownRequested.store(0);
    UiLanguage.store(0);
    ResetMessageTexts();
    AutomaticMode.store(0);
    DrawingSuppressed.store(0);
    MainWindow.store(nullptr);
    MainStatusBar.store(nullptr);
    MainProgressBar.store(nullptr);
    SecondProgressBar.store(nullptr);
    UseManualClock(1, 0);
    ResetMessagePumpTimers();
    ClearRecordedEvents();
}

int DeliverPending() {
    int count = 0;
    WindowMessage message;
    while (PeekWindowMessage(&message, PM_REMOVE)) {
        if (message.message != WM_QUIT) {
            DispatchWindowMessage(message);
        }
        ++count;
    }
    return count;
}

void AdvanceAndDeliver(std::uint64_t totalMs, std::uint64_t stepMs) {
    for (std::uint64_t done = 0; done < totalMs; done += stepMs) {
        AdvanceManualClock(stepMs);
        DeliverPending();
    }
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        DeliverPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

WindowHandle ShellWindowTest::OpenMainWindow(WindowRect rect) {
    WindowCreateParams params;
    params.procedure = MainWndProc;
    params.rect = rect;
    main = CreatePlatformWindow(params);
    MovePlatformWindow(main, rect);
    ShowPlatformWindow(main, SW_SHOW);
    return main;
}

void ShellWindowTest::CloseMainWindow() {
    if (IsPlatformWindow(main)) {
        SendWindowMessage(main, WM_CLOSE, 0, 0);
    }
    DeliverPending();
    JoinCuttingRun(WindowRun);
    JoinWorkerThread(&AutomationThread);
    UseManualClock(0);
}

}  // namespace mirexa
