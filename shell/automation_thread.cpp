// The automation thread: its procedure, the command line's stock operation and sequence, the
// exit code, the abort signals, the headless settings and the hooks of the running program.
#include "shell/automation_thread.h"

#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/machine_file.h"
#include "config/machine_models.h"
#include "config/settings_file.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "platform/backend.h"
#include "platform/default_viewer.h"
#include "platform/file_dialog.h"
#include "platform/file_reading.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/program_group.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/automation_steps.h"
#include "shell/hook_calls.h"
#include "shell/macro_file.h"
#include "shell/main_window.h"
#include "shell/nc_data_commands.h"
#include "shell/run_commands.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "shell/stock_commands.h"
#include "shell/view_services.h"
#include "shell/worker_threads.h"
#include "simulation/cutting_run.h"
#include "simulation/dexel_grid_view.h"
#include "simulation/run_control.h"
#include "simulation/run_end.h"
#include "stock/stock_hooks.h"

extern char** environ;

namespace mirexa {

namespace {

// The run's abort request raised by the signal handler; a lock-free atomic, so the store is safe
// there.
std::atomic<std::atomic<std::int32_t>*> signalAbortTarget{nullptr};
// The signals that abort an unattended run (a closed terminal sends SIGHUP) and the handlers
// that were there before.
constexpr int kAbortSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousHandlers[std::size(kAbortSignals)] = {};
int handlersInstalled = 0;

void OnAbortSignal(int signalNumber) {
    AbortSignalReceived.store(signalNumber);
    if (std::atomic<std::int32_t>* target = signalAbortTarget.load()) {
        target->store(1);
    }
}

}  // namespace

int ExecNestingDepth() {
    const char* value = std::getenv(kExecDepthVariable);
    if (value == nullptr) {
        return 0;
    }
    char* end = nullptr;
    const long depth = std::strtol(value, &end, 10);
    return end != value && *end == '\0' && depth > 0 && depth < 1000 ? static_cast<int>(depth) : 0;
}

int SpawnAndWait(const std::string& program, const std::string& argument) {
    const char* argv[3] = {program.c_str(), argument.empty() ? nullptr : argument.c_str(), nullptr};
    // This environment with the nesting depth one deeper.
    const std::string prefix = std::string(kExecDepthVariable) + "=";
    const std::string depth = prefix + std::to_string(ExecNestingDepth() + 1);
    std::vector<char*> environment;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, prefix.c_str(), prefix.size()) != 0) {
            environment.push_back(*entry);
        }
    }
    environment.push_back(const_cast<char*>(depth.c_str()));
    environment.push_back(nullptr);
    // The program leads a process group of its own: what it starts (a wrapper script's worker)
    // is ended with it.
    const pid_t child = StartProgramGroup(const_cast<char* const*>(argv), environment.data());
    if (child < 0) {
        return -1;
    }
    int status = 0;
    // An abort or the window's end asks the group to end (SIGTERM); what ignores that is ended a
    // few seconds later (SIGKILL), so that nothing keeps an aborted batch or a closed window's
    // process waiting, or goes on working after the program reported the line ended. A program
    // that ends by itself leaves what it started in the background to itself.
    bool reaped = false;
    bool stopping = false;
    bool killed = false;
    auto killAt = std::chrono::steady_clock::time_point{};
    auto giveUpAt = std::chrono::steady_clock::time_point{};
    for (;;) {
        if (!reaped) {
            const pid_t done = waitpid(child, &status, WNOHANG);
            if (done < 0 && errno != EINTR) {
                ForgetProgramGroup(child);
                return -1;
            }
            reaped = done == child;
        }
        const auto now = std::chrono::steady_clock::now();
        // A process of a killed group that stays a zombie (nobody reaps orphans) does not hold
        // the line past the kill's patience.
        if (reaped && (!stopping || !IsProgramGroupAlive(child) || (killed && now >= giveUpAt))) {
            break;
        }
        if (!stopping && (AbortSignalReceived.load() != 0 || WorkerShutdownRequested.load() != 0)) {
            SignalProgramGroup(child, SIGTERM);
            stopping = true;
            killAt = now + kProgramGroupPatience;
        } else if (stopping && !killed && now >= killAt) {
            SignalProgramGroup(child, SIGKILL);
            killed = true;
            giveUpAt = now + kProgramGroupKillPatience;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ForgetProgramGroup(child);
    if (WIFEXITED(status)) {
        // posix_spawnp reports a program it found but could not run only through the child.
        return WEXITSTATUS(status) == 127 ? -1 : WEXITSTATUS(status);
    }
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

void EndAutomationWithDisplay() {
    WorkerShutdownRequested.store(1);
    if (CountStartedProgramGroups() == 0) {
        return;
    }
    // The automation thread's wait for its program ends the program's group (SIGTERM, then
    // SIGKILL) and then logs the lines not run; the last moments are bounded all the same.
    const auto until = std::chrono::steady_clock::now() + kProgramGroupPatience +
                       kProgramGroupKillPatience + std::chrono::seconds(1);
    while (AutomationEndLogged.load() == 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EndStartedProgramGroups(std::chrono::milliseconds(0), kProgramGroupKillPatience);
}

// The hidden window whose procedure runs the automation's calls on the user-interface thread.
constexpr unsigned WM_AUTOMATION_CALL = WM_USER + 300;
namespace {

std::atomic<WindowHandle> callWindow{nullptr};

MessageResult AutomationCallProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                      MessageLParam lparam) {
    if (message == WM_AUTOMATION_CALL && lparam != 0) {
        (*reinterpret_cast<const std::function<void()>*>(lparam))();
        return 1;
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

}  // namespace

int AutomationWindowsStand() {
    return IsPlatformWindow(callWindow.load()) && IsPlatformWindow(MainWindow.load()) ? 1 : 0;
}

int RunCallOnWindowThread(const std::function<void()>& call) {
    WindowHandle window = callWindow.load();
    if (AutomationWindowsStand() == 0) {
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
    // On the desktop the window manager carries them out, as for the frame's buttons, and the
    // window follows what it did.
    WindowHandle main = MainWindow.load();
    if (!MainWindowCallbacks.setWindowState || !IsPlatformWindow(main)) {
        return;
    }
    const int state = code == SC_MINIMIZE ? 1 : code == SC_MAXIMIZE ? 2 : 0;
    if (state != 0 || code == SC_RESTORE) {
        MainWindowCallbacks.setWindowState(main, state);
    }
}

void PostDoneToMainWindow() {
    PostWindowMessage(MainWindow.load(), WM_AUTOMATION_DONE, 0, 0);
}

namespace {

CommandLineSwitches ReadCommandLine() {
    CommandLineSwitches options;
    RunOnMainThread([&] { options = CommandLine; });
    return options;
}

// A cut of the command line's run mode, already in CommandLine (the run start reads and clears
// it); waits for its end. Returns the kCut kind.
int RunCommandLineCut(unsigned command, const CommandLineSwitches& o) {
    AutomationRequest request;
    request.batchKind = o.batchKind;
    request.batchRun = o.batchRun;
    if (!SendAutomationRequest(command, 0, request)) {
        return kCutAborted;
    }
    return WaitForWindowRunEnd();
}

const char* UnusableModelsText() {
    return ChooseLanguageText(" - Machine models that cannot be read are not checked.",
                              " - 読めない機械形状はチェックしません");
}

// A name without a folder that is found nowhere is tried beside the program last: the message
// names the working folder too, where the user most likely put it.
std::string PlacesLookedIn(const std::string& path) {
    const std::string& program = DefinitionFiles.programDirectory;
    const std::string& current = DefinitionFiles.currentDirectory;
    std::string found;
    if (FindFileIgnoringCase(path, &found) || current.empty() || current == program ||
        path.compare(0, program.size(), program) != 0) {
        return {};
    }
    return ChooseLanguageText(" Also looked for in ", " 次の場所も探しました: ") + current;
}

// Definition files that could not be read at start-up fail the batch: the settings file and the
// tools, controller and machine files, whether the command line or the settings named them
// (with a macro, only the command line's: the macro may load its own; at its first work the
// others are checked but for those a LOAD_ line replaced); a default name the settings never
// gave does not count. A file that does not open, is empty, holds no line its reader knows, or
// (the tools file) holds no tool counts. Returns the number of failures recorded.
int CheckNamedDefinitionFiles(int macroRun, unsigned replaced = 0) {
    int failures = 0;
    auto fail = [&failures](const std::string& text) {
        failures += AutomaticMode.load() != 0 ? 1 : 0;  // a user is told by the reading itself
        RecordBatchFailure(text);
    };
    RunOnMainThread([macroRun, replaced, &fail, &failures] {
        const char* unreadable = ChooseLanguageText(" - The definition file cannot be read.",
                                                    " - 定義ファイルを読めません");
        const char* refused = ChooseLanguageText(" - The definition file cannot be read: ",
                                                 " - 定義ファイルを読めません: ");
        const char* empty = ChooseLanguageText(" - The definition file holds nothing to use.",
                                               " - 定義ファイルに使える内容がありません");
        // A macro that started without a settings file works with the defaults it chose.
        if (!macroRun && !(replaced & kMacroWorkCheck) &&
            !SettingsFileHoldsValues(DefinitionFiles.settingsPath)) {
            // A file that is there but cannot be read (here, or where the name was looked for
            // first) is named with its reason.
            std::string path = DefinitionFiles.settingsPath;
            int error = FileOpenError(path);
            const std::string here =
                DefinitionFiles.currentDirectory + DefinitionFiles.settingsName;
            if ((path.empty() || error == ENOENT) && FileOpenError(here) != ENOENT) {
                path = here;
                error = FileOpenError(here);
            }
            fail(
                (path.empty() ? DefinitionFiles.settingsName : path) +
                (error != 0 && error != ENOENT
                     ? ChooseLanguageText(" - The settings file cannot be read: ",
                                          " - 設定ファイルを読めません: ") +
                           DescribeFileError(error)
                 : SettingsFileTooLarge(path)
                     ? std::string(
                           ChooseLanguageText(" - The settings file is too large (over 64 MB).",
                                              " - 設定ファイルが大きすぎます (64 MB 超)"))
                     : std::string(ChooseLanguageText(" - The settings file is missing or holds "
                                                      "no value.",
                                                      " - 設定ファイルが無いか、値がありません"))) +
                PlacesLookedIn(path));
        }
        // A file counts when the command line named it, or the settings did (their key is
        // there: a default name the settings never gave may well be missing).
        const std::string& settings = DefinitionFiles.settingsPath;
        auto named = [&settings, macroRun](int given, const char* key) {
            const std::string absent = "\n";  // no value holds a line end
            return given || (!macroRun && !settings.empty() &&
                             ReadProfileString("Table", key, absent, settings) != absent);
        };
        const struct {
            bool named;
            int status;
            bool records;
            const std::string& path;
        } files[] = {
            {named(CommandLine.toolsGiven, "TOOL_TABLE") && !(replaced & kMacroLoadedTools),
             ToolFile.status, ToolTablesHoldATool(), DefinitionFiles.toolsFile},
            {named(CommandLine.controllerGiven, "CONTROLLER_TABLE") &&
                 !(replaced & kMacroLoadedController),
             Controller.status, Controller.knownLines > 0, DefinitionFiles.controllerFile},
            {named(CommandLine.machineGiven, "MACHINE_TABLE") && !(replaced & kMacroLoadedMachine),
             Machine.status, Machine.knownLines > 0, DefinitionFiles.machineFile},
        };
        if (CommandLine.basicModelGiven || (!macroRun && !DefinitionFiles.basicModelFile.empty())) {
            // The report logs and records its own failure.
            failures += !ReportMissingBasicModel(DefinitionFiles.basicModelFile) &&
                        AutomaticMode.load() != 0;
        }
        for (const auto& file : files) {
            if (!file.named || file.path.empty()) {
                continue;
            }
            std::uint64_t size = 0;
            if (file.status == -1) {
                // A file of the name in the working folder that is there but is refused (a FIFO,
                // a device) is named with its reason.
                std::string shown;
                const int error =
                    FindFileRefusal(file.path, DefinitionFiles.currentDirectory, &shown);
                fail(error == 0 || error == ENOENT
                         ? file.path + unreadable + PlacesLookedIn(file.path)
                         : shown + refused + DescribeFileError(error));
            } else if ((GetFileSizeBytes(file.path, &size) && size == 0) || !file.records) {
                fail(file.path + empty);
            }
        }
        if (UnusableMachineModels.load() > 0 && !(replaced & kMacroLoadedMachine)) {
            fail(DefinitionFiles.machineFile + UnusableModelsText());
        }
        // A holder file the tools file names that gives no holder: the holder checks would
        // pass what they are there to stop.
        const bool toolsInUse =
            (CommandLine.toolsGiven || !macroRun) && !(replaced & kMacroLoadedTools);
        if (toolsInUse && ToolFile.status == 1 && ToolFile.unusableHolderFiles > 0) {
            fail(ToolFile.holderFileProblem);
        }
        if (toolsInUse && ToolFile.status == 1 && ToolFile.refusedTools > 0) {
            fail(DefinitionFiles.toolsFile +
                 ChooseLanguageText(" - Tools with sizes no machine has are not used.",
                                    " - 機械にありえない寸法の工具は使いません"));
        }
    });
    return failures;
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
    // A report the unattended work could not write, or work given up for want of memory, is
    // work not done.
    if (programExitCode == 0 && AutomaticMode.load() != 0 &&
        (CountReportWriteFailures() != 0 || CountMemoryShortages() != 0)) {
        return kBatchExitFileError;
    }
    return programExitCode;
}

int FinishProgramExitCode(int programExitCode) {
    const int code = ChooseProgramExitCode(programExitCode);
    if (code == kBatchExitAborted) {
        const int signalNumber = AbortSignalReceived.load();
        AppendLogEntry(signalNumber != 0
                           ? "aborted by signal " + std::to_string(signalNumber) + "\n"
                           : std::string("aborted\n"));
    }
    return code;
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
    for (std::size_t i = 0; i < std::size(kAbortSignals); ++i) {
        // A signal the program was started with ignored stays ignored: a run started under
        // nohup (SIGHUP) or in the background of a script (SIGINT) goes on when that signal
        // comes, as the one who started it asked.
        if (sigaction(kAbortSignals[i], nullptr, &previousHandlers[i]) == 0 &&
            previousHandlers[i].sa_handler == SIG_IGN) {
            continue;
        }
        if (sigaction(kAbortSignals[i], &action, &previousHandlers[i]) != 0) {
            while (i-- > 0) {
                sigaction(kAbortSignals[i], &previousHandlers[i], nullptr);
            }
            return 0;
        }
    }
    handlersInstalled = 1;
    return 1;
}

void RestoreAbortSignalHandlers() {
    if (handlersInstalled) {
        for (std::size_t i = 0; i < std::size(kAbortSignals); ++i) {
            sigaction(kAbortSignals[i], &previousHandlers[i], nullptr);
        }
        handlersInstalled = 0;
    }
    signalAbortTarget.store(nullptr);
}

void HandBackAbortSignals() {
    if (AutomationRun.donePosted == 0) {
        RestoreAbortSignalHandlers();
        // A signal caught after the work chose to leave the window to the user (while the window
        // was being handed over) would otherwise be swallowed: it ends the program now, as it
        // would have a moment later. One after the restore meets the default action itself.
        if (const int signalNumber = AbortSignalReceived.load(); signalNumber != 0) {
            std::raise(signalNumber);
        }
    }
}

void IgnoreFileSizeSignal() {
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGXFSZ, &action, nullptr);
}

int ChooseHeadlessBackend(int realWindowAvailable, int batchFlag) {
    return !realWindowAvailable || batchFlag ? 1 : 0;
}

ProgramWindowChoice ChooseProgramWindow(int silentRun, int workAsked, int displayAvailable,
                                        int displayNamed) {
    ProgramWindowChoice choice;
    if (silentRun) {
        return choice;
    }
    if (displayAvailable) {
        choice.realWindow = 1;
    } else if (displayNamed) {
        choice.displayUnreachable = 1;
    } else if (workAsked) {
        choice.noDisplay = 1;
    } else {
        choice.refused = 1;
    }
    return choice;
}

int WindowWorkIsUnattended(const CommandLineSwitches& options) {
    return options.macroGiven || options.batchRun || options.reportMode >= 5 ? 1 : 0;
}

namespace {

// The real window's own answerers, kept while automatic work answers in their place.
MessageBoxResponder userMessageBoxes;
FileDialogResponder userFileDialogs;
int answersTaken = 0;

}  // namespace

void ApplyWindowAutomation() {
    const int unattended = WindowWorkIsUnattended(CommandLine);
    AutomaticMode.store(unattended);
    DrawingSuppressed.store(0);
    if (!unattended) {
        return;
    }
    // A refused command line still needs the thread: it ends the program with exit 2.
    CommandLine.automation = 1;
    auto log = [](const std::string& line) { AppendLogEntry(line); };
    userMessageBoxes = SetMessageBoxResponder(MakeAutomaticMessageBoxResponder(log));
    userFileDialogs = SetFileDialogResponder(MakeAutomaticFileDialogResponder(log));
    answersTaken = 1;
}

void HandWindowToUser() {
    AutomaticMode.store(0);
    if (answersTaken) {
        SetMessageBoxResponder(userMessageBoxes);
        SetFileDialogResponder(userFileDialogs);
        userMessageBoxes = {};
        userFileDialogs = {};
        answersTaken = 0;
    }
    // The tool panel painted nothing while the work was automatic.
    CallHook(RunCallbacks.repaintToolPanel);
}

void ApplyHeadlessAutomation() {
    AutomaticMode.store(1);
    DrawingSuppressed.store(1);
    SetMessageBoxResponder(
        MakeAutomaticMessageBoxResponder([](const std::string& line) { AppendLogEntry(line); }));
    SetFileDialogResponder(
        MakeAutomaticFileDialogResponder([](const std::string& line) { AppendLogEntry(line); }));
}

int OpenReportInViewer(const std::string& path) {
    if (AutomaticMode.load() != 0 || GetPlatformBackend() == PlatformBackend::Headless) {
        AppendLogEntry(
            std::string(ChooseLanguageText("viewer not opened: ", "ビューアは開きません: ")) +
            path + "\n");
        return 1;
    }
    if (!TellWhenNoViewer(path)) {
        return 0;
    }
    return SpawnAndWait("xdg-open", path) >= 0 ? 1 : 0;
}

int TellWhenNoViewer(const std::string& path) {
    if (GetPlatformBackend() == PlatformBackend::Headless || DefaultViewerInstalled()) {
        return 1;
    }
    // Said once a session (a main window): every run's report would otherwise end in the same
    // box. Window records are never reused, so a new session is told again.
    static std::atomic<WindowHandle> toldFor{nullptr};
    const WindowHandle session = MainWindow.load();
    if (toldFor.exchange(session) == session && session != nullptr) {
        return 0;
    }
    ShowMessageOrLog(0,
                     ChooseLanguageText("There is no viewer to show the file (xdg-open).",
                                        "ファイルを表示するビューアー(xdg-open)がありません") +
                         std::string("\n") + path,
                     EDITION_NAME, MBX_OK | MBX_ICONERROR | MBX_TOPMOST);
    return 0;
}

int OpenAutomationCallWindow() {
    if (!IsPlatformWindow(callWindow.load())) {
        WindowCreateParams params;
        params.className = "MirexaAutomationCalls";
        params.procedure = AutomationCallProcedure;
        callWindow.store(CreatePlatformWindow(params));
    }
    return IsPlatformWindow(callWindow.load());
}

void CloseAutomationCallWindow() {
    WindowHandle window = callWindow.exchange(nullptr);
    if (IsPlatformWindow(window)) {
        DestroyPlatformWindow(window);
    }
}

void ConnectAutomation() {
    OpenAutomationCallWindow();
    // The readers' loops end on the abort signals too (an endless or huge input file), and an
    // open message box gives way to them.
    SetReadAbortFlag(&AbortSignalReceived);
    SetMessageBoxEndFlag(&AbortSignalReceived);
    ConnectDataCheckCommands();
    StockCallbacks.loadBasicModel = LoadBasicModelForStock;
    StartupCallbacks.automationThreadProc = AutomationThreadProc;
}

void PrepareUnattendedRun(int realWindowAvailable, int commandLineRead) {
    IgnoreFileSizeSignal();
    if (ChooseHeadlessBackend(realWindowAvailable, CommandLine.batch)) {
        ApplyHeadlessAutomation();
    } else {
        ApplyWindowAutomation();
    }
    // A refused argument (an NC program that does not open, a bad switch) is work not done.
    if (!commandLineRead) {
        RecordBatchFailure(ChooseLanguageText(
            "The command line was not read completely; the refused arguments follow",
            "コマンドラインを読めない引数がありました。以下に示します"));
    }
    if (CommandLine.automation) {
        InstallAbortSignalHandlers(&WindowRun.controls.abortRequest);
    }
}

// --- The thread --------------------------------------------------------------------------------

int RunCommandLineStockOperation() {
    const CommandLineSwitches o = ReadCommandLine();
    unsigned command = 0;
    MessageLParam lparam = 1;
    std::int32_t CommandLineSwitches::*flag = nullptr;
    if (o.moveStock) {
        command = IDM_STOCK_MOVE;
        flag = &CommandLineSwitches::moveStock;
    } else if (o.rotateStock) {
        command = IDM_STOCK_ROTATE;
        flag = &CommandLineSwitches::rotateStock;
    } else if (o.paintStock) {
        flag = &CommandLineSwitches::paintStock;
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
        flag = &CommandLineSwitches::differencePaint;
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
    const CommandLineSwitches o = ReadCommandLine();
    const bool batchRun = o.batchKind >= BatchRunKind::kResultLogged;
    // a. The stock.
    if (o.stockGiven && LoadStockStep(nullptr, 0) != 1 && batchRun) {
        PostAutomationDone();
        return 1;
    }
    // b. The NC program.
    int alarms = 0;
    if (o.ncGiven) {
        const bool optimal =
            !o.stockGiven && o.batchKind != BatchRunKind::kNone && !o.selectWithoutOptimalStock;
        alarms = SelectNcStep(nullptr, optimal ? 1 : 0);
        if (alarms != 0 && (batchRun || o.reportMode >= 5)) {
            PostAutomationDone();
            return 1;
        }
    }
    // c. The report.
    if (o.reportMode != 0 && alarms == 0) {
        const MessageLParam silent =
            o.batchKind >= BatchRunKind::kResultLogged || o.reportMode >= 5 || o.batch ? 1 : 0;
        const int reportAlarms = ReportStep(o.reportMode, silent);
        if ((o.reportMode >= 5 && o.batchKind == BatchRunKind::kNone) ||
            (batchRun && reportAlarms != 0)) {
            PostAutomationDone();
            return 1;
        }
    }
    if (AutomationRun.stopped) {
        return 0;
    }
    // d. The cut, then the save.
    const RunMode mode = RunModeOfBatchKind(o.batchKind);
    if (mode == RunMode::kIdle) {
        return 0;  // e. select only, or nothing to run
    }
    const unsigned command = RunCommandOfMode(mode);
    const int end = RunCommandLineCut(command, o);
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

int CheckMacroDefinitionFiles(unsigned replaced) {
    return CheckNamedDefinitionFiles(0, replaced | kMacroWorkCheck) == 0 ? 1 : 0;
}

void AutomationThreadProc() {
    // Memory that runs out in the automation's own work ends that work with a log line and
    // exit 2, and the program still ends as after any batch.
    int worked = 0;
    int macroGiven = 0;
    try {
        ResetAutomationRun();
        const CommandLineSwitches o = ReadCommandLine();
        macroGiven = o.macroGiven;
        const int unusableFiles = CheckNamedDefinitionFiles(o.macroGiven);
        const int unusableModels = UnusableMachineModels.load();
        // A refused argument, a definition file that could not be read or settings the memory
        // could not hold: the batch would run with values nobody asked for and replace its
        // output, so it ends before any work, and the log says so after the files' own lines
        // (one may read like a warning: a holder file missing leaves tools without holders).
        if (unusableFiles > 0) {
            RecordBatchFailure(ChooseLanguageText(
                "The run is refused: the definition files named above cannot be used as they "
                "are, and the work would run with values nobody asked for.",
                "上記の定義ファイルをそのまま使えないため、処理を実行しません"));
        }
        if (!AutomationRun.windowGone && BatchFailureCode.load() == 0 &&
            CountMemoryShortages() == 0) {
            worked = 1;
            if (o.macroGiven) {
                RunMacroFile();
            } else if (!RunCommandLineStockOperation()) {
                RunCommandLineSequence();
            }
        }
        // Models found empty while the work ran (they are loaded when a check needs them).
        if (UnusableMachineModels.load() > unusableModels) {
            RecordBatchFailure(DefinitionFiles.machineFile + UnusableModelsText());
        }
    } catch (const std::bad_alloc&) {
        LogMemoryShortage("automation");
        worked = 0;
    }
    AutomationEndLogged.store(1);
    // The command line's stock and program were the start's choices: from now on Work > Read and
    // NC Data > Select ask the user again instead of taking them once more.
    RunOnMainThread([] {
        CommandLine.stockGiven = 0;
        CommandLine.ncGiven = 0;
    });
    // The real window stays with the user after the user's own work, and after a macro that
    // ran to its end without EXIT; every other automatic work ends the program, and so does an
    // abort signal that came while the work ran.
    const bool userWindow = GetPlatformBackend() == PlatformBackend::RealWindow && worked != 0 &&
                            AbortSignalReceived.load() == 0 &&
                            (macroGiven != 0 || AutomaticMode.load() == 0);
    try {
        if (!userWindow) {
            PostAutomationDone();
        } else if (!AutomationRun.donePosted) {
            RunOnMainThread(HandWindowToUser);
        }
    } catch (const std::bad_alloc&) {
        // No memory to hand the window over: it stays as it is, and the work counts as failed.
        NoteMemoryShortage();
    }
    HandBackAbortSignals();
}

}  // namespace mirexa
