// Run commands, run keys and the run timer of the main window.
#include "shell/run_commands.h"
#include "shell/stock_commands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <utility>

#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/alarm_report.h"
#include "nc/kinematics_services.h"
#include "nc/nc_line_source.h"
#include "nc/nc_session.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/cursor.h"
#include "platform/file_reading.h"
#include "platform/file_replacement.h"
#include "platform/keys.h"
#include "platform/message_box.h"
#include "platform/write_faults.h"
#include "resources/program_resources.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "shell/automation_steps.h"
#include "shell/automation_thread.h"
#include "shell/hook_calls.h"
#include "shell/main_window.h"
#include "shell/menu_state.h"
#include "shell/status_bar.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "simulation/run_end.h"
#include "simulation/run_timer.h"
#include "simulation/run_ui_hooks.h"
#include "simulation/simulation_thread.h"
#include "simulation/tool_length_report.h"
#include "view/avi_recording.h"
#include "view/gdi_resources.h"
#include "view/stock_view.h"
#include "view/tool_path.h"
#include "view/view_hooks.h"
#include "view/view_window.h"

namespace mirexa {

RunHooks RunCallbacks;
RunCommandState RunCommands;
MotionPosition ControlOriginOffset;
std::atomic<int> AbortedBatchRunMark{0};

namespace {

constexpr unsigned RUN_PERIOD_MS = 5;
constexpr unsigned RESULT_RUN_PERIOD_MS = 100;
// A frame younger than one screen refresh (ms) would not be seen before the next one replaces it.
constexpr std::uint64_t kScreenRefreshMs = 16;

const RunHooks& H() {
    return RunCallbacks;
}

int KeyHeld(unsigned key) {
    return IsKeyDown(key);
}

bool NcProgramSelected() {
    return !DefinitionFiles.ncProgramFile.empty();
}

// A request for a step inside a move is answered without a frame while the last frame is younger
// than a screen refresh, unless a recording takes every frame: the worker goes on at once, and the
// move's last step draws what it left.
bool FrameMayBeLeftOut(int request) {
    return request == kRedrawFrameMayCoalesce && AviRecorder.recording.load() == 0 &&
           RunCommands.runFrameDrawn != 0 &&
           GetTickMilliseconds() - RunCommands.lastRunFrameMs < kScreenRefreshMs;
}

unsigned PeriodForMode(RunMode mode, int showSteps) {
    return mode == RunMode::kResult && showSteps == 0 ? RESULT_RUN_PERIOD_MS : RUN_PERIOD_MS;
}

void StartRunProgressTimer(WindowHandle window, unsigned period) {
    RunCommands.runTimer = StartWindowTimer(window, IDT_RUN_PROGRESS, period);
    RunCommands.runPeriodMs = period;
}

void KillRunProgressTimer(WindowHandle window) {
    StopWindowTimer(window, IDT_RUN_PROGRESS);
    RunCommands.runTimer = 0;
}

void KillBlinkTimer(WindowHandle window) {
    StopWindowTimer(window, IDT_PAUSE_BLINK);
    RunCommands.blinkTimer = 0;
}

void ShowPausedState(WindowHandle window) {
    PauseRun(window);
    RunCommands.blinkTimer = StartWindowTimer(window, IDT_PAUSE_BLINK, PAUSE_BLINK_PERIOD_MS);
    ShowProgramStatus(window);  // "STOP" or the interference, and "G or ESC"
}

// The end of an aborted run: the automation told, run control's end; then the timers.
void EndAbortedRun(WindowHandle window) {
    NoteRunEndForAutomation(kCutAborted);
    FinishAbortedCuttingRun(WindowRun, RunCommands.startPoint, window);
    KillBlinkTimer(window);
    KillRunProgressTimer(window);
    WindowRun.mode.store(RunMode::kIdle);
}

// The window has taken the run's end: the run's controls end with it (nothing the run raised,
// an abort, an alarm, a held line or a pending stop, is seen by the keys and panels between
// runs), and the run object is ready for the next run.
void TakeRunEnd() {
    RenewRunControls(WindowRun.controls);
    WindowRun.state.store(RunState::kIdle);
}

void UpdateTitle(WindowHandle window) {
    StatusInputs.runMode = WindowRun.mode.load();
    StatusInputs.skipView = RunRedrawInterval(RunMode::kRealCutting);
    StatusInputs.skipBlock = RunRedrawInterval(RunMode::kSkipCutting);
    UpdateMainTitle(window);
}

// Begins the length report at path through the replacer: its lines go to a temporary file beside
// the name, which takes the name at the run's end (FinishLengthReport), so that a run cut off by
// a signal or killed leaves the previous report whole. Appended to (append non-zero), it starts
// with the previous report's bytes. The name is the settings' own: a link planted there is
// replaced, never written through (appending refuses it), and a FIFO or device is refused. A
// missing last folder level of directory is created. On failure the user is told "Write
// protect" (logged in automatic mode) and null is returned.
std::FILE* BeginLengthReport(int append, const std::string& path, const std::string& directory) {
    FileReplacement& report = RunCommands.lengthReport;
    const std::string target = ConvertPathSeparators(path);
    int begun = BeginFileReplacement(target, &report, -1, FileLinks::Replace);
    if (!begun && errno == ENOENT && !directory.empty()) {
        mkdir(ConvertPathSeparators(directory).c_str(), 0777);  // only the last level
        begun = BeginFileReplacement(target, &report, -1, FileLinks::Replace);
    }
    if (begun && (append == 0 || CopyTargetIntoReplacement(&report))) {
        if (std::FILE* stream = OpenFileReplacementStream(&report)) {
            return stream;
        }
    }
    if (errno != ENOENT) {
        LogOutputRefusal(target, errno);
    }
    ShowMessageOrLog(0, ChooseLanguageText("Write protect", "書き込み保護されています"), path,
                     MBX_OK);
    return nullptr;
}

// The length report, begun at the run's start when a length check is in report mode.
void OpenLengthReport(BatchRunKind batchKind) {
    const int modes[3] = {Checks.arborCheck, Checks.heightCheck, Checks.chipWidthCheck};
    int first = -1;
    for (int i = 0; i < 3; ++i) {
        if (modes[i] == 1) {
            first = i;
            break;
        }
    }
    // A report another run left unfinished is given up: it never takes the name.
    ToolLengthReportOutput& output = WindowRun.reports.toolLength;
    if (RunCommands.lengthReport.stream != nullptr) {
        output.stream = nullptr;
        AbandonFileReplacement(&RunCommands.lengthReport);
    }
    if (first < 0 || batchKind >= BatchRunKind::kResult) {
        return;
    }
    RunCommands.lengthReportPath =
        BuildLengthReportPath(Settings.namingModeLength, first, UiLanguage.load(),
                              Settings.lengthDirectory, DefinitionFiles.ncProgramFile);
    std::FILE* stream = BeginLengthReport(Settings.createModeLength == 1,
                                          RunCommands.lengthReportPath, Settings.lengthDirectory);
    if (stream != nullptr) {
        std::fprintf(stream, "%s\n", DefinitionFiles.ncProgramFile.c_str());
    }
    // The lines of the tools used go to this report.
    output.arborCheck = Checks.arborCheck;
    output.heightCheck = Checks.heightCheck;
    output.chipWidthCheck = Checks.chipWidthCheck;
    output.batchKind = batchKind;
    output.stream = stream;
}

// The end of the length report: the last tool's line, then the report takes its name and, in a
// user's run, is shown. A run aborted by a signal leaves the previous report (the replacer
// renames nothing then). Nothing happens when no report is open.
void FinishLengthReport() {
    FileReplacement& report = RunCommands.lengthReport;
    if (report.stream == nullptr) {
        return;
    }
    WriteToolLengthReportLine(WindowRun.reports.toolLength, WindowRun.cutting.measured);
    WindowRun.reports.toolLength.stream = nullptr;
    // A report cut short (a full disk, a file-size limit) is logged, never taken as written.
    const bool writeFailed = std::ferror(report.stream) != 0;
    if (!FinishFileReplacement(&report, 0)) {
        if (!ReadAbortRequested()) {
            LogReportWriteFailure(RunCommands.lengthReportPath, writeFailed ? "write" : "replace",
                                  writeFailed ? EIO : errno);
        }
        return;
    }
    bool viewer =
        !WindowRun.request.runLogFlag && !AutomaticMode.load() && !CommandLine.noReportDisplay;
    if (viewer) {
        RunCommands.reportToShow = RunCommands.lengthReportPath;
    }
}

// The last of a run's end: the title and the status bar without the run (the work system the end
// left, which an abort or an alarm took back to the run's start), then the length report of the
// run shown (a box when nothing can show it); then the end is complete and counted.
void CompleteRunEnd(WindowHandle window) {
    UpdateTitle(window);
    ShowProgramStatus(window);
    const std::string path = std::move(RunCommands.reportToShow);
    RunCommands.reportToShow.clear();
    if (!path.empty()) {
        OpenReportInViewer(path);
    }
    ++RunCommands.endedRuns;
    NoteWindowRunEndDone();
}

int StartWindowRun(WindowHandle window, RunMode mode, void (*threadBody)()) {
    // The automation's run: its own mode and batch flag, and no stop waits for a user.
    const AutomationRequest* request = CurrentAutomationRequest();
    if (request != nullptr) {
        AutomationOutcome.runEnd = kCutCompleted;
        IgnoreStopOptionInBatch();
    }
    // The new mode and the title; a run already going only switches its mode.
    const RunMode previous = WindowRun.mode.exchange(mode);
    UpdateTitle(window);
    if (previous != RunMode::kIdle || CuttingRunHasThread(WindowRun)) {
        return 1;  // the running thread only switches its mode
    }
    // The log of a logged batch run; the command line's run mode is taken by this run.
    const BatchRunKind batchKind = request != nullptr ? request->batchKind : BatchRunKind::kNone;
    CommandLine.batchKind = BatchRunKind::kNone;
    if (BatchKindLogsRun(batchKind)) {
        OpenLogFile();
        WriteLogLine((DefinitionFiles.ncProgramFile + "\n").c_str());
    }
    // The run's copy that an alarm end restores.
    RunCommands.savedControlOrigin = ControlOriginOffset;
    // The undo point of the stock before the run.
    if (CanPushRunUndoPoint()) {
        SetStatusBarText(MainStatusBar.load(), 0, 0,
                         ChooseLanguageText("Backup(C-Key=UNDO)", "バックアップ中(C-Key=UNDO)"));
        PushRunUndoPoint();
        RedrawView(MainWindowData.handles.view);
    }
    // The run's panes, the greyed menus and the progress of the NC file.
    CallHook(H().drawRunPanes);
    GreyMenusDuringRun(window);
    BeginProgressForNcFile(window, DefinitionFiles.ncProgramFile.c_str(), "切削", "Cut");
    RunCommands.reportToShow.clear();
    OpenLengthReport(batchKind);
    // The run's thread, and the timer that serves its requests.
    RunCommands.runFrameDrawn = 0;
    RunRequest run;
    run.session = &RunSession;
    run.stock = &CurrentStockModel();
    run.programPath = DefinitionFiles.ncProgramFile;
    run.mode = mode;
    run.batchKind = batchKind;
    run.runLogFlag = BatchKindLogsRun(batchKind) ? 1 : 0;
    run.batchRun = request != nullptr && request->batchRun != 0 ? 1 : 0;
    std::function<void(CuttingRun&)> body;
    if (threadBody != nullptr) {
        body = [threadBody](CuttingRun&) { threadBody(); };
    }
    // Until the run mounts a tool, the tool panel shows the one the spindle holds.
    WindowRun.controls.kept.mountedTool.store(-1);
    // The run's controls are made new as the run is given its request; a run the system gives no
    // thread ends as out of memory (its result says so).
    StartCuttingRun(WindowRun, std::move(run), std::move(body));
    StartRunProgressTimer(window, PeriodForMode(mode, 0));
    return 1;
}

void TogglePathDisplay(WindowHandle window, unsigned command, bool shiftHeld) {
    int variant = command == IDM_PATH_DISPLAY ? 0 : 1;
    ToggleToolPathDisplay(variant, WindowRun.mode.load() != RunMode::kIdle ? 1 : 0, shiftHeld);
    SetCursorHandle(LoadCursorHandle(CURSOR_WAIT));
    RedrawView(MainWindowData.handles.view);
    SetIdleCursor(ViewMouseMode);
    UpdateMenuChecks();
    (void)window;
}

// The spindle keeps the run's last tool: it is the current tool from now on (the tool panel
// shows it, a new stock or pitch derives it again). A plug-in's tool is no magazine tool.
void KeepSpindleToolCurrent() {
    const int held = RunTools.tool.derivedFrom;
    if (held >= 1 && IsToolNumberInTables(held)) {
        ToolFile.currentTool = held;
    }
}

// The end of the tick once the thread has ended: join it, then end the run.
void EndRunAfterThread(WindowHandle window) {
    KillRunProgressTimer(window);
    JoinCuttingRun(WindowRun);
    KeepSpindleToolCurrent();
    if (WindowRun.controls.abortRequest.load()) {
        EndAbortedRun(window);
        RedrawView(MainWindowData.handles.view);
        FinishLengthReport();
        TakeRunEnd();
        CompleteRunEnd(window);
        return;
    }
    const int code = FinishRun(WindowRun, RunCommands.startPoint, window, 0);
    if (code != 0) {
        ControlOriginOffset = RunCommands.savedControlOrigin;
        NoteRunEndForAutomation(kCutAlarm);
    } else {
        NoteRunEndForAutomation(kCutCompleted);
        TakeControlOriginFromController();  // the program may have chosen another system
    }
    // The report is finished by the run's end through its hook; when that hook is not joined to
    // this file the report is closed here all the same.
    FinishLengthReport();
    WindowRun.mode.store(RunMode::kIdle);
    TakeRunEnd();
    CompleteRunEnd(window);
}

}  // namespace

void TakeControlOriginFromController() {
    ControlOriginOffset = ActiveWorkOrigin(RunSession);
}

std::string BuildLengthReportPath(int location, int firstCheck, int language,
                                  const std::string& outputDirectory, const std::string& ncPath) {
    static const char* const english[3] = {"length.txt", "height.txt", "chip-w.txt"};
    static const char* const japanese[3] = {"突出し長.txt", "有効刃長.txt", "チップ幅.txt"};
    auto inDirectory = [&outputDirectory](const std::string& name) {
        if (outputDirectory.empty()) {
            return name;
        }
        char last = outputDirectory.back();
        return outputDirectory + (last == '/' || last == '\\' ? "" : "/") + name;
    };
    if (location == 0) {
        int check = std::clamp(firstCheck, 0, 2);
        return inDirectory(language == 1 ? english[check] : japanese[check]);
    }
    if (location == 1) {
        return inDirectory("length.txt");
    }
    std::size_t nameStart = ncPath.find_last_of("/\\");
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    std::size_t dot = ncPath.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) {
        return ncPath + "_length.txt";
    }
    return ncPath.substr(0, dot) + "_length.txt";
}

void ResumeRunTimer(WindowHandle window) {
    // A resumed run stops again only for a new event.
    ResetInterferenceKinds(WindowRun.reports.kinds);
    StartRunTimer(window);
    RunCommands.blinkTimer = 0;  // the resume has killed it
    RunCommands.runTimer = IDT_RUN_PROGRESS;
    RunCommands.runPeriodMs = PeriodForMode(WindowRun.mode.load(), 0);
    WakeRunWaiters();
    ShowProgramStatus(window);
}

void InitRunCommandSettings() {
    int stop = Settings.stopKey;
    RunCommands.pauseKey = stop == 17 || stop == 32 ? stop : 19;
    int escape = Settings.escapeKey;
    RunCommands.stopKey = escape == 19 || escape == 3 ? escape : 27;
}

unsigned RunCommandOfMode(RunMode mode) {
    switch (mode) {
        case RunMode::kRealCutting:
            return IDM_CUT_REAL;
        case RunMode::kSkipCutting:
            return IDM_CUT_SKIP;
        case RunMode::kResult:
            return IDM_CUT_RESULT;
        case RunMode::kIdle:
            break;
    }
    return 0;
}

int HandleRunCommand(WindowHandle window, unsigned command, MessageLParam commandData,
                     void (*threadBody)()) {
    switch (command) {
        case IDM_CUT_REAL:
            return StartWindowRun(window, RunMode::kRealCutting, threadBody);
        case IDM_CUT_SKIP:
            return StartWindowRun(window, RunMode::kSkipCutting, threadBody);
        case IDM_CUT_RESULT:
            return StartWindowRun(window, RunMode::kResult, threadBody);
        case IDM_PATH_DISPLAY:
        case IDM_PATH_DISPLAY_NO_ROTARY:
            TogglePathDisplay(window, command, (commandData & kKeyShiftHeld) != 0);
            return 1;
        default:
            return 0;
    }
}

void AbortRun(WindowHandle window, int fromPane) {
    AbortWindowJob();
    SetStatusBarText(MainStatusBar.load(), fromPane ? 3 : 2, 0, "");
    if (!RunCommands.runTimer) {
        unsigned period =
            fromPane ? RUN_PERIOD_MS
                     : PeriodForMode(WindowRun.mode.load(), WindowRun.controls.showSteps.load());
        StartRunProgressTimer(window, period);
    }
}

int HandleRunKeyDown(WindowHandle window, unsigned key, MessageLParam keyData) {
    if (ViewWindow.rectangle.active) {
        return 0;
    }
    std::atomic<RunMode>& runMode = WindowRun.mode;
    if (key == VK_CONTROL) {
        NoteControlKey(1);
    }
    if (key == static_cast<unsigned>(RunCommands.stopKey) && runMode.load() != RunMode::kIdle &&
        !DrawingSuppressed.load()) {
        AbortRun(window, 0);
        return 1;
    }
    if (IsViewBusy()) {
        return 0;
    }
    CallHook(MainWindowCallbacks.activateWindow, window);
    // The command keeps the key's Shift (Shift+F6 leaves the rapids out of the path).
    auto post = [window, keyData](unsigned command) {
        PostWindowMessage(window, WM_COMMAND, command, keyData & kKeyShiftHeld);
    };
    switch (key) {
        case VK_F1:
        case VK_F2:
        case VK_F3:
        case VK_F4:
            // Help and the editors of the settings and definition files, as in the view, wherever
            // the program's keyboard focus is (after a menu command or a dialog, not in the view).
            if (MainWindowData.handles.view) {
                SendWindowMessage(MainWindowData.handles.view, WM_KEYDOWN, key,
                                  keyData & kKeyModifiersHeld);
            }
            return 1;
        case VK_F5:
        case VK_F6:
        case VK_F7:
            if (NcProgramSelected()) {
                post(key == VK_F5   ? IDM_CUT_RESULT
                     : key == VK_F6 ? IDM_PATH_DISPLAY
                                    : IDM_PATH_DISPLAY_NO_ROTARY);
            }
            return 1;
        case VK_RIGHT:
        case VK_LEFT: {
            // The interval the running thread reads, as the view's arrows change it.
            StepRunRedrawInterval(runMode.load(), key == VK_RIGHT ? 1 : -1);
            UpdateTitle(window);
            return 1;
        }
        case VK_TAB:
            if (NcProgramSelected()) {
                runMode.store(StepRunMode(runMode.load(), (keyData & kKeyShiftHeld) != 0));
                UpdateTitle(window);
            }
            return 1;
        case VK_F8:
        case VK_F9: {
            int slot = key == VK_F8 ? 0 : 1;
            if (H().simulationPluginLoaded && H().simulationPluginLoaded(slot) &&
                NcProgramSelected()) {
                post(slot == 0 ? IDM_PERSPECTIVE : IDM_ROTARY_REAL_CUT_MODE);
            }
            return 1;
        }
        default:
            break;
    }
    int character = MapKeyToCharacter(key);
    if (character == 'G' || character == 'g') {
        if (WindowRun.controls.lineHeld.load()) {
            ResumeRunTimer(window);
        }
        return 1;  // never passed on to the view
    }
    if (character >= '0' && MainWindowData.handles.view != nullptr) {
        PostWindowMessage(MainWindowData.handles.view, WM_KEYDOWN, key,
                          keyData & kKeyModifiersHeld);
        return 1;
    }
    return 0;
}

int HandleRunKeyUp(WindowHandle, unsigned key) {
    if (key == VK_CONTROL) {
        NoteControlKey(0);
        return 1;
    }
    return 0;
}

void RunProgressTimer(WindowHandle window) {
    if (!RunCommands.runTimer) {
        return;
    }
    RunControls& f = WindowRun.controls;
    const bool suppressed = DrawingSuppressed.load() != 0;
    // 1. Period.
    unsigned period = PeriodForMode(WindowRun.mode.load(), f.showSteps.load());
    if (period != RunCommands.runPeriodMs) {
        KillRunProgressTimer(window);
        StartRunProgressTimer(window, period);
    }
    // 2-3. Progress and, in result runs, the current line.
    const int depth = SubprogramDepthShown.load();
    if (depth == 0) {
        UpdateProgressForActiveReader(0);
    } else {
        UpdateProgress2(0);
    }
    if (WindowRun.mode.load() == RunMode::kResult && f.showSteps.load() == 0 && !suppressed) {
        CallHook(H().drawNcDataLine);
    }
    // 4. While the thread runs.
    if (!CuttingRunFinished(WindowRun)) {
        if (!WindowRun.request.runLogFlag && RunEventStopWanted(WindowRun.reports.kinds)) {
            f.stopKeyRequest.store(1);
        }
        // A tool changed in the run: the panel follows it, painted here on this thread.
        if (WindowRun.controls.kept.toolPanelPendingPaint.exchange(0) != 0 && !suppressed) {
            CallHook(H().repaintToolPanel);
        }
        if (const int request = f.redrawRequest.load(); request != 0) {
            if (!suppressed && !WindowRun.request.runLogFlag && !FrameMayBeLeftOut(request)) {
                CallHook(H().drawAxisValuePanes);
                MarkCurrentStockDirty();
                RedrawView(MainWindowData.handles.view);
                WriteAviFrame();
                RunCommands.runFrameDrawn = 1;
                RunCommands.lastRunFrameMs = GetTickMilliseconds();
            }
            f.redrawRequest.store(0);
            WakeRunWaiters();
        } else if (f.pauseRequest.load()) {
            KillRunProgressTimer(window);
            if (!RunCommands.blinkTimer) {
                ShowPausedState(window);
            }
            return;
        }
        // The pause key is read on every tick, a frame drawn or not: a run whose thread has a
        // new frame waiting at each tick would otherwise never see it.
        if (!suppressed && !f.pauseRequest.load() &&
            KeyHeld(static_cast<unsigned>(RunCommands.pauseKey)) &&
            MainWindowCallbacks.isForegroundWindow &&
            MainWindowCallbacks.isForegroundWindow(window)) {
            f.stopKeyRequest.store(1);
        }
        return;
    }
    EndRunAfterThread(window);
}

int IsRunActive() {
    return WindowRun.mode.load() != RunMode::kIdle || CuttingRunHasThread(WindowRun) ? 1 : 0;
}

int RefusedDuringRun(unsigned command) {
    switch (command) {
        // What the run cuts and with what: the stock and its models, the program, the pitch and
        // the definition files.
        case IDM_STOCK_READ:
        case IDM_STOCK_TWO_POINT:
        case IDM_STOCK_FROM_ORIGIN:
        case IDM_STOCK_CYLINDER:
        case IDM_STOCK_STATE:
        case IDM_STOCK_ROTATE:
        case IDM_STOCK_MOVE:
        case IDM_STOCK_OFFSET:
        case IDM_STOCK_XYZ_CUT:
        case IDM_PAINT_ALL:
        case IDM_PEEL_PAINT:
        case IDM_PEEL_PEN_COLOR:
        case IDM_BASIC_MODEL:
        case IDM_PAINT_DIFFERENCE:
        case IDM_READ_VICE_STL:
        case IDM_NC_SELECT:
        case IDM_NC_SELECT_OPTIMAL_STOCK:
        case IDM_NC_REPORT:
        case IDM_TOOLS_FILE:
        case IDM_CONTROLLER_FILE:
        case IDM_MACHINE_FILE:
        case IDM_SETTINGS_FILE:
        case IDM_PITCH:
        // The settings the run reads as it goes.
        case IDM_ROTARY_REAL_CUT_MODE:
        case IDM_RAPID_REAL_CUT_MODE:
        case IDM_CHECK_RAPID_ON:
        case IDM_CHECK_RAPID_OFF:
        case IDM_ARBOR_CHECK_0:
        case IDM_ARBOR_CHECK_1:
        case IDM_ARBOR_CHECK_2:
        case IDM_ARBOR_CHECK_OTHER:
        case IDM_HEIGHT_CHECK_0:
        case IDM_HEIGHT_CHECK_1:
        case IDM_HEIGHT_CHECK_OTHER:
        case IDM_CHIP_CHECK_0:
        case IDM_CHIP_CHECK_1:
        case IDM_CHIP_CHECK_OTHER:
        case IDM_SOUND:
            return IsRunActive();
        default:
            return 0;
    }
}

void EndRunBeforeClose(WindowHandle window) {
    if (!CuttingRunHasThread(WindowRun)) {
        return;
    }
    RequestRunAbort(WindowRun.controls);
    JoinCuttingRunAnsweringMessages(WindowRun);
    EndRunAfterThread(window);
}

void ConnectRunEndToShell() {
    RunUiHooks& ui = RunUiCallbacks;
    ui.setMacroBreak = [](int value) {
        if (StatusInputs.macro.running) {
            StatusInputs.macro.breakCount = value;
        }
    };
    ui.markAbortedBatchRun = [] { AbortedBatchRunMark.store(1); };
    ui.finishToolLengthReport = FinishLengthReport;
    ui.closeAlarmFile = CloseAlarmFile;
    ui.openInViewer = [](const char* path) { OpenReportInViewer(path); };
    ui.redrawView = [] { RedrawView(MainWindowData.handles.view); };
    // The worker's redraw request and the run's end are served at once, not at the run timer's
    // next tick.
    WindowRun.controls.kept.redrawRaised = [] {
        PostOrReplaceWindowMessage(MainWindow.load(), WM_TIMER, IDT_RUN_PROGRESS, 0);
    };
    WindowRun.ended = [] {
        PostOrReplaceWindowMessage(MainWindow.load(), WM_TIMER, IDT_RUN_PROGRESS, 0);
    };
    ui.markStockDirty = MarkCurrentStockDirty;
    ui.drawAxisValuePanes = [] { CallHook(RunCallbacks.drawAxisValuePanes); };
    ui.writeAviFrame = [] { WriteAviFrame(); };
    ui.stopAviRecording = [] { StopAviRecording(); };
    ui.repaintToolPanel = [] { CallHook(RunCallbacks.repaintToolPanel); };
    ui.enableMenusAfterRun = [] { EnableMenusAfterRun(MainWindow.load()); };
    ui.drawPanelAfterRun = [](int) { CallHook(RunCallbacks.drawPanelAfterRun); };
    ui.redrawMainWindow = [] { RedrawMainWindow(MainWindow.load()); };
    ui.drawStatusBar = [] { ShowProgramStatus(MainWindow.load()); };
    // The view's G and abort key take the main window's ways, which keep its timers' record.
    ViewCallbacks.resumeRun = ResumeRunTimer;
    ViewCallbacks.abortRun = [](WindowHandle window) { AbortRun(window, 0); };
}

}  // namespace mirexa
