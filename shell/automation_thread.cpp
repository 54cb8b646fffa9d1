// The automation thread: its procedure, the command line's stock operation and sequence, the
// exit code, the abort signals, the headless settings and the hooks of the running program.
#include "shell/automation_thread.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/machine_file.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "geometry/program_log.h"
#include "geometry/shared_state.h"
#include "platform/backend.h"
#include "platform/message_box.h"
#include "shell/automation_steps.h"
#include "shell/macro_file.h"
#include "shell/main_window.h"
#include "shell/nc_data_commands.h"
#include "shell/run_commands.h"
#include "shell/startup.h"
#include "shell/stock_commands.h"
#include "shell/view_services.h"
#include "simulation/dexel_grid_view.h"
#include "simulation/run_end.h"
#include "stock/stock_hooks.h"

extern char** environ;

namespace mirexa {

namespace {

// The run's abort request raised by the signal handler; a lock-free atomic, so the store is safe
// there.
std::atomic<std::atomic<std::int32_t>*> signalAbortTarget{nullptr};
struct sigaction previousInterrupt = {};
struct sigaction previousTerminate = {};
int handlersInstalled = 0;

void OnAbortSignal(int signalNumber) {
    AbortSignalReceived.store(signalNumber);
    if (std::atomic<std::int32_t>* target = signalAbortTarget.load()) {
        target->store(1);
    }
}

// Starts a program without a shell and waits for it: its exit status, or -1 when it could not
// be started. An abort signal ends the wait: the program is asked to end (SIGTERM) and reaped.
int SpawnAndWait(const std::string& program, const std::string& argument) {
    const char* argv[3] = {program.c_str(), argument.empty() ? nullptr : argument.c_str(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, const_cast<char* const*>(argv),
                     environ) != 0) {
        return -1;
    }
    int status = 0;
    bool stopped = false;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            return -1;
        }
        if (!stopped && AbortSignalReceived.load() != 0) {
            kill(child, SIGTERM);
            stopped = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status)) {
        // posix_spawnp reports a program it found but could not run only through the child.
        return WEXITSTATUS(status) == 127 ? -1 : WEXITSTATUS(status);
    }
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

// The hidden window whose procedure runs the automation's calls on the user-interface thread.
constexpr unsigned WM_AUTOMATION_CALL = WM_USER + 300;
std::atomic<WindowHandle> callWindow{nullptr};

MessageResult AutomationCallProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                      MessageLParam lparam) {
    if (message == WM_AUTOMATION_CALL && lparam != 0) {
        (*reinterpret_cast<const std::function<void()>*>(lparam))();
        return 1;
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

int RunCallOnWindowThread(const std::function<void()>& call) {
    WindowHandle window = callWindow.load();
    if (!IsPlatformWindow(window) || !IsPlatformWindow(MainWindow.load())) {
        return 0;
    }
    return SendWindowMessage(window, WM_AUTOMATION_CALL, 0,
                             reinterpret_cast<MessageLParam>(&call)) == 1
               ? 1
               : 0;
}

void SendCommandToMainWindow(unsigned command, MessageLParam lparam) {
    WindowHandle main = MainWindow.load();
    // The stock and NC data commands take their lparam (the automation's values) directly.
    if (!HandleStockCommand(main, command, lparam) && !HandleNcDataCommand(main, command, lparam)) {
        SendWindowMessage(main, WM_COMMAND, command, lparam);
    }
}

void SendSystemCommandToMainWindow(unsigned code) {
    // The headless window is never drawn: minimising, maximising and restoring change nothing.
    (void)code;
}

void PostDoneToMainWindow() {
    PostWindowMessage(MainWindow.load(), WM_AUTOMATION_DONE, 0, 0);
}

void SleepOnePoll() {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

CommandLineOptions ReadCommandLine() {
    CommandLineOptions options;
    RunOnMainThread([&] { options = CommandLine; });
    return options;
}

// A cut of the command line's run mode, already in CommandLine (the run start reads and clears
// it); waits for its end. Returns the kCut kind.
int RunCommandLineCut(unsigned command) {
    auto before = [] {
        AutomationOutcome.runEnd = kCutCompleted;
        IgnoreStopOptionInBatch();
    };
    if (!SendAutomationCommand(command, 0, before)) {
        return kCutAborted;
    }
    return WaitForCuttingRun();
}

// Definition files the command line named that could not be read at start-up fail the batch.
void CheckNamedDefinitionFiles() {
    RunOnMainThread([] {
        const struct {
            int given;
            int status;
            const std::string& path;
        } files[] = {
            {CommandLine.toolsGiven, ToolFile.status, DefinitionFiles.toolsFile},
            {CommandLine.controllerGiven, Controller.status, DefinitionFiles.controllerFile},
            {CommandLine.machineGiven, Machine.status, DefinitionFiles.machineFile},
        };
        for (const auto& file : files) {
            if (file.given && file.status == -1) {
                RecordBatchFailure(file.path +
                                   ChooseLanguageText(" - The definition file cannot be read.",
                                                      " - 定義ファイルを読めません"));
            }
        }
    });
}

}  // namespace

// --- Exit code, signals, headless settings ---------------------------------------------------

int ChooseProgramExitCode(int programExitCode) {
    if (programExitCode == kBatchExitAborted || AbortSignalReceived.load() != 0) {
        return kBatchExitAborted;
    }
    if (BatchFailureCode.load() != 0) {
        return BatchFailureCode.load();
    }
    return programExitCode;
}

int InstallAbortSignalHandlers(std::atomic<std::int32_t>* runAbortRequest) {
    signalAbortTarget.store(runAbortRequest);
    if (handlersInstalled) {
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = OnAbortSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGINT, &action, &previousInterrupt) != 0) {
        return 0;
    }
    if (sigaction(SIGTERM, &action, &previousTerminate) != 0) {
        sigaction(SIGINT, &previousInterrupt, nullptr);
        return 0;
    }
    handlersInstalled = 1;
    return 1;
}

void RestoreAbortSignalHandlers() {
    if (handlersInstalled) {
        sigaction(SIGINT, &previousInterrupt, nullptr);
        sigaction(SIGTERM, &previousTerminate, nullptr);
        handlersInstalled = 0;
    }
    signalAbortTarget.store(nullptr);
}

int ChooseHeadlessBackend(int realWindowAvailable, int batchFlag) {
    return !realWindowAvailable || batchFlag ? 1 : 0;
}

void ApplyHeadlessAutomation() {
    AutomaticMode.store(1);
    DrawingSuppressed.store(1);
    SetMessageBoxResponder(
        MakeAutomaticMessageBoxResponder([](const std::string& line) { AppendLogEntry(line); }));
}

int OpenReportInViewer(const std::string& path) {
    if (AutomaticMode.load() != 0 || GetPlatformBackend() == PlatformBackend::Headless) {
        AppendLogEntry(
            std::string(ChooseLanguageText("viewer not opened: ", "ビューアは開きません: ")) +
            path + "\n");
        return 1;
    }
    return SpawnAndWait("xdg-open", path) >= 0 ? 1 : 0;
}

int InstallAutomationHooks() {
    if (!IsPlatformWindow(callWindow.load())) {
        WindowCreateParams params;
        params.className = "MirexaAutomationCalls";
        params.procedure = AutomationCallProcedure;
        callWindow.store(CreatePlatformWindow(params));
    }
    AutomationHooks& h = AutomationCallbacks;
    h.runOnMainThread = RunCallOnWindowThread;
    h.sendCommand = SendCommandToMainWindow;
    h.sendSystemCommand = SendSystemCommandToMainWindow;
    h.postDone = PostDoneToMainWindow;
    h.pollPause = SleepOnePoll;
    h.runProgram = SpawnAndWait;
    return IsPlatformWindow(callWindow.load());
}

void RemoveAutomationHooks() {
    WindowHandle window = callWindow.exchange(nullptr);
    if (IsPlatformWindow(window)) {
        DestroyPlatformWindow(window);
    }
}

namespace {}  // namespace

void ConnectAutomation() {
    InstallAutomationHooks();
    AutomationHooks& a = AutomationCallbacks;
    a.setPresetPath = [](int on) { MainWindowData.presetPathFlag = on; };
    a.runActive = IsRunActive;
    a.requestRunAbort = [] { RunFlags().abortRequest->store(1); };
    ConnectDataCheckCommands();
    StockCallbacks.loadBasicModel = LoadBasicModelForStock;
    StartupCallbacks.automationThreadProc = AutomationThreadProc;
}

void PrepareUnattendedRun(int realWindowAvailable, int commandLineRead) {
    if (ChooseHeadlessBackend(realWindowAvailable, CommandLine.batch)) {
        ApplyHeadlessAutomation();
    }
    // A refused argument (an NC program that does not open, a bad switch) is work not done.
    if (!commandLineRead) {
        RecordBatchFailure(ChooseLanguageText(
            "The command line was not read completely; the refused arguments follow",
            "コマンドラインを読めない引数がありました。以下に示します"));
    }
    if (CommandLine.automation) {
        InstallAbortSignalHandlers(RunFlags().abortRequest);
    }
}

// --- The thread --------------------------------------------------------------------------------

int RunCommandLineStockOperation() {
    const CommandLineOptions o = ReadCommandLine();
    unsigned command = 0;
    MessageLParam lparam = 1;
    std::int32_t CommandLineOptions::*flag = nullptr;
    if (o.moveStock) {
        command = IDM_STOCK_MOVE;
        flag = &CommandLineOptions::moveStock;
    } else if (o.rotateStock) {
        command = IDM_STOCK_ROTATE;
        flag = &CommandLineOptions::rotateStock;
    } else if (o.paintStock) {
        flag = &CommandLineOptions::paintStock;
        if (o.paintStock == 1) {
            command = IDM_PAINT_ALL;
        } else if (o.paintPen >= 1 && o.paintPen <= kPeelAllPens) {
            command = IDM_PEEL_PEN_COLOR;
            lparam = o.paintPen;
        } else {
            command = IDM_PEEL_PAINT;
        }
    } else if (o.differencePaint) {
        command = IDM_PAINT_DIFFERENCE;
        flag = &CommandLineOptions::differencePaint;
    } else {
        return 0;
    }
    if (LoadStockStep(nullptr, 0) != 1) {
        PostAutomationDone();
        return 1;
    }
    const int failuresBefore = BatchFailureCode.load();
    SendAutomationCommand(command, lparam, {}, [flag] { CommandLine.*flag = 0; });
    // A failed operation leaves the stock as it was read: nothing is saved as its result.
    if (o.saveKind != 0 && BatchFailureCode.load() == failuresBefore && !AutomationRun.stopped) {
        SaveStockStep(o.saveKind, nullptr);
    }
    PostAutomationDone();
    return 1;
}

int RunCommandLineSequence() {
    const CommandLineOptions o = ReadCommandLine();
    const bool batchRun = o.runMode > 4;
    // a. The stock.
    if (o.stockGiven && LoadStockStep(nullptr, 0) != 1 && batchRun) {
        PostAutomationDone();
        return 1;
    }
    // b. The NC program.
    int alarms = 0;
    if (o.ncGiven) {
        const bool optimal = !o.stockGiven && o.runMode != 0 && !o.selectWithoutOptimalStock;
        alarms = SelectNcStep(nullptr, optimal ? 1 : 0);
        if (alarms != 0 && (batchRun || o.reportMode >= 5)) {
            PostAutomationDone();
            return 1;
        }
    }
    // c. The report.
    if (o.reportMode != 0 && alarms == 0) {
        const MessageLParam silent = o.runMode >= 5 || o.reportMode >= 5 || o.batch ? 1 : 0;
        const int reportAlarms = ReportStep(o.reportMode, silent);
        if ((o.reportMode >= 5 && o.runMode == 0) || (batchRun && reportAlarms != 0)) {
            PostAutomationDone();
            return 1;
        }
    }
    if (AutomationRun.stopped) {
        return 0;
    }
    // d. The cut, then the save.
    unsigned command = 0;
    switch (o.runMode) {
        case 2:
            command = IDM_CUT_REAL;
            break;
        case 3:
            command = IDM_CUT_SKIP;
            break;
        case 4:
        case 5:
        case 6:
            command = IDM_CUT_RESULT;
            break;
        default:
            return 0;  // e. select only, or nothing to run
    }
    const int end = RunCommandLineCut(command);
    // An aborted run is not a result: nothing is saved.
    if (o.saveKind != 0 && end != kCutAborted) {
        SaveStockStep(o.saveKind, nullptr);
    }
    if (batchRun) {
        CloseCuttingLog(end);
        PostAutomationDone();
        return 1;
    }
    return 0;
}

void AutomationThreadProc() {
    ResetAutomationRun();
    const CommandLineOptions o = ReadCommandLine();
    CheckNamedDefinitionFiles();
    if (!AutomationRun.windowGone) {
        if (o.macroGiven) {
            RunMacroFile();
        } else if (!RunCommandLineStockOperation()) {
            RunCommandLineSequence();
        }
    }
    if (GetPlatformBackend() == PlatformBackend::Headless) {
        PostAutomationDone();
    }
}

}  // namespace mirexa
