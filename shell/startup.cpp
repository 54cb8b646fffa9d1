// The program's start-up and shutdown orders, and the main window's class and placement.
#include "shell/startup.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "config/command_line.h"
#include "config/controller_file.h"
#include "config/machine_file.h"
#include "config/settings_file.h"
#include "config/structure_models.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_session.h"
#include "platform/backend.h"
#include "platform/keys.h"
#include "platform/message_box.h"
#include "resources/cursor_images.h"
#include "resources/program_resources.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "shell/automation_steps.h"
#include "shell/automation_thread.h"
#include "shell/hook_calls.h"
#include "shell/main_window.h"
#include "shell/message_file.h"
#include "shell/run_commands.h"
#include "shell/status_bar.h"
#include "shell/worker_threads.h"
#include "simulation/cutting_core.h"
#include "stock/stock_grid.h"
#include "stock/stock_model.h"
#include "view/camera.h"
#include "view/driver_memory.h"
#include "view/gdi_resources.h"
#include "view/picking.h"
#include "view/snapshots.h"

namespace mirexa {

StartupServices StartupCallbacks;
std::vector<double> TracePoints;
std::vector<std::uint8_t> TracePointMarks;
MainWindowClass MainClass;

namespace {

// The automation's body while no automation is connected: there is nothing to do, so it ends
// the program at once, as a finished automation does.
void EndAutomationAtOnce() {
    PostWindowMessage(MainWindow.load(), WM_AUTOMATION_DONE, 0, 0);
}

// The system refused the automation thread: the work the command line named cannot start.
// Unattended work fails (a log line, exit 2) and ends the program as finished work does, unless
// the window closes by itself anyway (closeWhenIdle); the user of a window is told in a box and
// keeps the window.
void ReportAutomationThreadRefused(int closeWhenIdle) {
    const char* text =
        ChooseLanguageText("The work could not start: the system refused a thread for it.",
                           "処理を開始できません: システムが処理のスレッドを作成できませんでした");
    if (AutomaticMode.load() == 0) {
        ShowMessageOrLog(0, text, EDITION_NAME, MBX_OK | MBX_ICONERROR);
        return;
    }
    RecordBatchFailure(text);
    if (!closeWhenIdle) {
        PostWindowMessage(MainWindow.load(), WM_AUTOMATION_DONE, 0, 0);
    }
}

// The view's context was not made: the driver would not have had the address space it takes
// (view/driver_memory.h). The user of a window is told in a box and on standard error, and the
// program ends (1: the caller closes the window and exits non-zero); unattended work runs on
// without the view, with a log line (0).
int RefuseViewWithoutMemory() {
    if (!ViewContext.memoryShort || ViewContext.created) {
        return 0;
    }
    const std::string figures =
        std::to_string(((EstimateGlContextBytes() + kDriverReserveBytes) >> 20) + 1) + " MB / " +
        std::to_string(DriverMemoryRoomMegabytes()) + " MB";
    if (AutomaticMode.load() != 0) {
        AppendLogEntry(ChooseLanguageText("Memory over! The 3D view is not drawn (",
                                          "Memory over! 3D 表示を描画しません (") +
                       figures + ")\n");
        return 0;
    }
    const std::string text =
        std::string("Memory over!\n") +
        ChooseLanguageText(
            "The 3D view needs more memory than the program may still take (needed / left: ",
            "3D 表示に必要なメモリが足りません (必要 / 残り: ") +
        figures + ")." + ChooseLanguageText(" The program ends.", " プログラムを終了します。");
    std::fprintf(stderr, "mirexa: %s\n", text.c_str());
    AppendLogEntry("Memory over! The 3D view could not be made (" + figures +
                   "); the program ends\n");
    ShowMessageOrLog(0, text, "Data size error", MBX_OK | MBX_ICONERROR | MBX_TOPMOST);
    return 1;
}

}  // namespace

// --- Main window -------------------------------------------------------------------------------

MainWindowPlacementChoice ChooseMainWindowPlacement(const CommandLineSwitches& options,
                                                    const ProgramSettings& settings,
                                                    int showCommand, int minimisedBatchRun,
                                                    const WindowRect& screen) {
    MainWindowPlacementChoice choice;
    choice.rect = DEFAULT_MAIN_WINDOW_RECT;
    choice.usedDefault = 1;
    choice.show = showCommand;
    if (options.windowRectGiven && options.windowWidth > 0 && options.windowHeight > 0) {
        choice.rect = WindowRect{options.windowLeft, options.windowTop,
                                 options.windowLeft + options.windowWidth,
                                 options.windowTop + options.windowHeight};
        choice.usedDefault = 0;
        choice.show = settings.windowShow;
    } else if (settings.saveDisplay != 0) {
        // Missing keys read -1: such a window would open at (-1, -1) with a size of -1.
        bool complete = settings.windowX != -1 && settings.windowY != -1 &&
                        settings.windowWidth > 0 && settings.windowHeight > 0;
        if (complete) {
            choice.rect = WindowRect{settings.windowX, settings.windowY,
                                     settings.windowX + settings.windowWidth,
                                     settings.windowY + settings.windowHeight};
            choice.usedDefault = 0;
        }
        choice.show = settings.windowShow;
    }
    if (minimisedBatchRun) {
        choice.show = SW_MINIMIZE;
    }
    choice.rect = FitRectToScreen(choice.rect, screen);
    return choice;
}

WindowRect FitRectToScreen(const WindowRect& rect, const WindowRect& screen) {
    const int width = std::min(rect.right - rect.left, screen.right - screen.left);
    const int height = std::min(rect.bottom - rect.top, screen.bottom - screen.top);
    const int left = std::clamp(rect.left, screen.left, screen.right - width);
    const int top = std::clamp(rect.top, screen.top, screen.bottom - height);
    return WindowRect{left, top, left + width, top + height};
}

void RegisterMainWindowClass() {
    MainClass.name = LoadResourceString(IDS_EDITION_NAME).substr(0, EDITION_NAME_CAPACITY - 1);
    MainClass.procedure = MainWndProc;
    MainClass.icon = IDI_MAIN_ICON;
    MainClass.menu = CommandLine.noMenu ? 0 : IDR_MAIN_MENU;
    MainClass.registered = 1;
}

int CreateMainWindow(int showCommand) {
    MainWindowPlacementChoice place = ChooseMainWindowPlacement(
        CommandLine, Settings, showCommand, MainWindowUnseen(), GetScreenWorkArea());
    WindowCreateParams params;
    params.className = MainClass.name;
    params.procedure = MainClass.procedure ? MainClass.procedure : MainWndProc;
    params.rect = place.rect;
    params.visible = 0;
    WindowHandle window = CreatePlatformWindow(params);
    if (!window) {
        return 0;
    }
    // The first WM_SIZE lays the window out; then it is shown and painted (UpdateWindow).
    MovePlatformWindow(window, place.rect);
    ShowPlatformWindow(window, place.show == SW_HIDE ? SW_SHOW : place.show);
    SendWindowMessage(window, WM_PAINT, 0, 0);
    return 1;
}

// --- Program -----------------------------------------------------------------------------------

int ProgramExitCode(int quitCode, int abortedBatchRun) {
    return abortedBatchRun ? -1 : quitCode;
}

int RunMainMessageLoop() {
    WindowMessage message;
    while (WaitWindowMessage(&message)) {
        // Accelerators belong to the main window, whichever window the key went to; they also
        // serve a window without a menu bar (-N). Alt is the key message's, as held when the key
        // went down: the user may have let go of it by the time the loop takes the key.
        if (message.message == WM_KEYDOWN) {
            const int alt = (message.lparam & kKeyAltHeld) != 0 ? 1 : 0;
            unsigned command = FindAccelerator(static_cast<unsigned>(message.wparam), alt);
            WindowHandle main = MainWindow.load();
            if (command && IsPlatformWindow(main)) {
                SendWindowMessage(main, WM_COMMAND, command, 0);
                continue;
            }
        }
        DispatchWindowMessage(message);
    }
    return static_cast<int>(message.wparam);
}

int ReadProgramCommandLine(const std::string& text) {
    std::vector<std::string> messages;
    CommandLineOptions options = TakeCommandLineStartValues();
    const int ok = ParseCommandLineOptions(text, &options, &messages);
    // The one place where the command line reaches the program's records.
    ApplyCommandLineOptions(options);
    // A real window is there when the program started the real-window backend for a user.
    PrepareUnattendedRun(GetPlatformBackend() == PlatformBackend::RealWindow ? 1 : 0, ok);
    ReportCommandLineMessages(messages);
    return ok;
}

void ReadProgramSettings() {
    std::vector<std::string> messages;
    ReadSettings(&messages);
    ReportCommandLineMessages(messages);
    // The tool starts at the control point (the main window converts a machine-coordinate point
    // when it is created).
    std::copy(Settings.controlPoint, Settings.controlPoint + 5, RunKinematics.pose.program.axis);
}

int RunProgram(const ProgramStart& start) {
    // The interface's language before anything is said.
    ChooseInterfaceLanguage();
    const StartupServices& s = StartupCallbacks;
    WorkerShutdownRequested.store(0);
    AbortedBatchRunMark.store(0);
    // The plug-ins, no stock and no NC text yet, then the command line.
    CallHook(s.loadPlugins);
    // A freed grid keeps its node counts: the records are emptied as well, so that nothing
    // takes the released tables for a stock.
    StockModel& stock = StockModels[CurrentStockIndex.load()];
    FreeStockModel(&stock);
    stock = StockModel{};
    FreeStockModel(&BasicModel);
    BasicModel = StockModel{};
    FreeNcProgramText(RunSession);
    ReadProgramCommandLine(start.commandLine);
    if (start.noDisplay) {
        AppendLogEntry(
            ChooseLanguageText("No display: the work runs unattended, without the window\n",
                               "ディスプレイがありません: ウィンドウなしで無人で処理します\n"));
    }
    CurrentView.zoom = 1.0;
    // The settings and definition files. The status texts go into the status bar's model; the
    // bar shows them once it exists.
    ReadProgramSettings();
    ReadToolFile(RunSession, RunKinematics, RunTools);
    ReadControllerFile(RunSession, RunKinematics);
    // The settings' stock values in work coordinates go where the start's work origin puts them.
    PlaceSettingsStockAtWorkOrigin(ControlOriginOffset.axis);
    CallHook(s.createPanelBrush);
    InitRunCommandSettings();
    ConnectProgressToMainTitle();
    DrawStatusBar();
    // The machine file (the tools file again, for its machine), sounds, cursors, drawing
    // resources and the trace tables.
    ReadMachineFile(1);
    ReadToolFile(RunSession, RunKinematics, RunTools);
    CallHook(s.loadSoundEffects);
    RegisterProgramCursors();
    CreateGdiResources();
    TracePointMarks.assign(TRACE_POINT_COUNT, 0);
    TracePointMarks[0] = 1;
    TracePoints.assign(3 * TRACE_POINT_COUNT, 0.0);
    BindTraceTables(TracePoints.data(), TracePointMarks.data(), TRACE_POINT_COUNT);
    SetRotationCentre(&CurrentView);
    // The automation thread, held until the main window's first paint.
    int automationRefused = 0;
    if (CommandLine.automation) {
        const auto body = s.automationThreadProc ? s.automationThreadProc : EndAutomationAtOnce;
        automationRefused = CreateWorkerThread(&AutomationThread, body, 1, 0) < 0 ? 1 : 0;
    }
    // The main window.
    RegisterMainWindowClass();
    if (!CreateMainWindow(start.showCommand)) {
        // Nothing else is torn down, but no thread may outlive the program.
        WorkerShutdownRequested.store(1);
        JoinWorkerThread(&AutomationThread);
        return 0;
    }
    if (automationRefused) {
        ReportAutomationThreadRefused(start.closeWhenIdle);
    }
    const int viewRefused = RefuseViewWithoutMemory();
    if (viewRefused) {
        PostWindowMessage(MainWindow.load(), WM_CLOSE, 0, 0);
    }
    // A start that only checks closes at once; otherwise the message loop.
    if (start.closeWhenIdle && !HasWorkerThread(AutomationThread)) {
        PostWindowMessage(MainWindow.load(), WM_CLOSE, 0, 0);
    }
    int quitCode = RunMainMessageLoop();
    if (viewRefused) {
        quitCode = 2;
    }

    // Workers end before anything they read is freed. The run thread was joined when the window
    // closed; the automation thread ends on the shutdown request (or never ran).
    WorkerShutdownRequested.store(1);
    JoinCuttingRun(WindowRun);
    JoinWorkerThread(&AutomationThread);
    if (WorkerThreadRanOutOfMemory(AutomationThread)) {
        LogMemoryShortage("automation");  // its work ended where the memory ran out
    }
    // Shutdown: what start-up took is given back.
    ClearReplaceTable();
    DeleteGdiResources();
    FreeToolTables();
    FreeMachineModels();
    BindTraceTables(nullptr, nullptr, 0);
    TracePoints = {};
    TracePointMarks = {};
    CallHook(s.freeSoundEffects);
    FreeNcProgramText(RunSession);
    CallHook(s.unloadPlugins);
    // The cutting core's worker threads and their ray buffers.
    ReleaseCuttingBuffers();
    return ProgramExitCode(quitCode, AbortedBatchRunMark.load());
}

}  // namespace mirexa
