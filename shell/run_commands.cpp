// Run commands, run keys and the run timer of the main window.
#include "shell/run_commands.h"

#include <algorithm>

#include "geometry/file_paths.h"
#include "geometry/machine_kinematics.h"
#include "geometry/program_log.h"
#include "geometry/progress.h"
#include "geometry/shared_state.h"
#include "geometry/ui_hooks.h"
#include "platform/controls.h"
#include "platform/cursor.h"
#include "resources/program_resources.h"
#include "shell/hook_calls.h"
#include "shell/main_window.h"
#include "shell/status_bar.h"

namespace mirexa {

RunHooks RunCallbacks;
RunCommandState RunCommands;
MotionPosition ControlOriginOffset;
std::atomic<int> AbortedBatchRunMark{0};

const int StructurePairAlarmCodes[kStructurePairCount] = {11, 12, 13, 14, 17, 18, 19, 20, 21,
                                                          24, 25, 26, 27, 30, 31, 32, 33, 34,
                                                          37, 38, 39, 40, 41, 42, 45};

namespace {

constexpr unsigned RUN_PERIOD_MS = 5;
constexpr unsigned RESULT_RUN_PERIOD_MS = 100;

// The shell's own flags, used until run control binds its own.
struct OwnRunFlags {
    std::atomic<std::int32_t> runMode{0};
    std::atomic<std::int32_t> abortRequest{0};
    std::atomic<std::int32_t> pauseRequest{0};
    std::atomic<std::int32_t> pauseBlink{0};
    std::atomic<std::int32_t> lineHeld{0};
    std::atomic<std::int32_t> stopKeyRequest{0};
    std::atomic<std::int32_t> redrawRequest{0};
    std::atomic<std::int32_t> showSteps{0};
};
OwnRunFlags ownFlags;
RunFlagRefs boundFlags = {&ownFlags.runMode,       &ownFlags.abortRequest, &ownFlags.pauseRequest,
                          &ownFlags.pauseBlink,    &ownFlags.lineHeld,     &ownFlags.stopKeyRequest,
                          &ownFlags.redrawRequest, &ownFlags.showSteps};

const RunHooks& H() {
    return RunCallbacks;
}

int KeyHeld(unsigned key) {
    return MainWindowCallbacks.isKeyHeld ? MainWindowCallbacks.isKeyHeld(key) : 0;
}

bool NcProgramSelected() {
    return !DefinitionFiles.ncProgramFile.empty();
}

unsigned PeriodForMode(int mode, int showSteps) {
    return mode == 3 && showSteps == 0 ? RESULT_RUN_PERIOD_MS : RUN_PERIOD_MS;
}

void StartTimer101(WindowHandle window, unsigned period) {
    RunCommands.runTimer = StartWindowTimer(window, IDT_RUN_PROGRESS, period);
    RunCommands.runPeriodMs = period;
}

void KillTimer101(WindowHandle window) {
    StopWindowTimer(window, IDT_RUN_PROGRESS);
    RunCommands.runTimer = 0;
}

void KillBlinkTimer(WindowHandle window) {
    StopWindowTimer(window, IDT_PAUSE_BLINK);
    RunCommands.blinkTimer = 0;
}

// The resume of a paused run when run control has not filled its own.
void StartRunTimer(WindowHandle window) {
    if (H().startRunTimer) {
        H().startRunTimer(window);
        RunCommands.blinkTimer = 0;  // the resume has killed it
        RunCommands.runTimer = IDT_RUN_PROGRESS;
        RunCommands.runPeriodMs = PeriodForMode(RunFlags().runMode->load(), 0);
        return;
    }
    KillBlinkTimer(window);
    RunFlags().pauseRequest->store(0);
    RunFlags().pauseBlink->store(0);
    RunFlags().stopKeyRequest->store(0);
    StartTimer101(window, PeriodForMode(RunFlags().runMode->load(), 0));
}

void PauseRun(WindowHandle window) {
    if (H().pauseRun) {
        H().pauseRun(window);
    } else {
        RunFlags().pauseBlink->store(0);
    }
    RunCommands.blinkTimer = StartWindowTimer(window, IDT_PAUSE_BLINK, PAUSE_BLINK_PERIOD_MS);
}

void FinishCuttingRun(WindowHandle window) {
    if (StatusInputs.macro.running) {
        StatusInputs.macro.breakCount = 1;
    }
    // An aborted run under run mode 5 or 6 makes the program exit with -1.
    if (CommandLine.batchRun) {
        AbortedBatchRunMark.store(1);
    }
    if (H().finishCuttingRun) {
        H().finishCuttingRun(window);
    }
    KillBlinkTimer(window);
    KillTimer101(window);
    RunFlags().runMode->store(0);
    RunFlags().abortRequest->store(0);
    RunFlags().pauseRequest->store(0);
    RunFlags().lineHeld->store(0);
}

void UpdateTitle(WindowHandle window) {
    StatusInputs.runMode = RunFlags().runMode->load();
    StatusInputs.skipView = RunCommands.stepsPerRedraw;
    StatusInputs.skipBlock = RunCommands.linesPerRedraw;
    UpdateMainTitle(window);
}

// The length report, opened at the run's start when a length check is in report mode.
void OpenLengthReport(int commandLineRunMode) {
    const int modes[3] = {Checks.arborCheck, Checks.heightCheck, Checks.chipWidthCheck};
    int first = -1;
    for (int i = 0; i < 3; ++i) {
        if (modes[i] == 1) {
            first = i;
            break;
        }
    }
    if (first < 0 || commandLineRunMode >= 4) {
        return;
    }
    RunCommands.lengthReportPath =
        BuildLengthReportPath(Settings.namingModeLength, first, UiLanguage.load(),
                              Settings.lengthDirectory, DefinitionFiles.ncProgramFile);
    RunCommands.lengthReport = OpenOutputFile(
        Settings.createModeLength == 1, RunCommands.lengthReportPath, Settings.lengthDirectory, 1);
    if (RunCommands.lengthReport) {
        std::fprintf(RunCommands.lengthReport, "%s\n", DefinitionFiles.ncProgramFile.c_str());
    }
}

int StartRun(WindowHandle window, int mode) {
    // 1-2.
    int previous = RunFlags().runMode->exchange(mode);
    UpdateTitle(window);
    if (previous > 0 || HasWorkerThread(SimulationThread)) {
        return 1;  // the running thread only switches its mode
    }
    // 3-4.
    int commandLineRunMode = CommandLine.runMode;
    if (commandLineRunMode > 4) {
        OpenLogFile();
        WriteLogLine((DefinitionFiles.ncProgramFile + "\n").c_str());
        RunCommands.runLogFlag = 1;
    } else {
        RunCommands.runLogFlag = 0;
    }
    CommandLine.runMode = 0;
    RunFlags().stopKeyRequest->store(0);
    RunFlags().abortRequest->store(0);
    // The run's copies that an alarm end restores.
    std::copy(WorkOffsetTable, WorkOffsetTable + kWorkOffsetEntries, RunCommands.savedWorkOffsets);
    RunCommands.savedWorkOffsetIndex = H().workOffsetIndex ? H().workOffsetIndex() : 0;
    RunCommands.savedControlOrigin = ControlOriginOffset;
    // 5. Undo point.
    if (AskHook(H().canPushUndoPoint)) {
        SetStatusBarText(MainStatusBar.load(), 0, 0,
                         ChooseLanguageText("Backup(C-Key=UNDO)", "バックアップ中(C-Key=UNDO)"));
        CallHook(H().pushUndoPoint);
        CallHook(H().redrawView);
    }
    // 6-8.
    CallHook(H().drawRunPanes);
    CallHook(H().greyMenusDuringRun);
    BeginProgressForNcFile(window, DefinitionFiles.ncProgramFile.c_str(), "切削", "Cut");
    // 9.
    OpenLengthReport(commandLineRunMode);
    // 10-11.
    CreateWorkerThread(&SimulationThread, H().simulationThreadProc, 0, 1);
    StartTimer101(window, PeriodForMode(mode, 0));
    return 1;
}

void TogglePathDisplay(WindowHandle window, unsigned command) {
    int variant = command == IDM_PATH_DISPLAY ? 0 : 1;
    CallHook(H().togglePathDisplay, variant, RunFlags().runMode->load() > 0 ? 1 : 0);
    CursorHandle previous = SetCursorHandle(LoadCursorHandle(CURSOR_WAIT));
    CallHook(H().redrawView);
    if (MainWindowCallbacks.setIdleCursor) {
        MainWindowCallbacks.setIdleCursor();
    } else {
        SetCursorHandle(previous);
    }
    CallHook(MainWindowCallbacks.updateMenuChecks);
    (void)window;
}

// The rewind of an alarm end: program position, machine position, work offsets, control origin.
void RewindAfterAlarm(WindowHandle window) {
    CurrentMachinePose.program = RunCommands.startPoint;
    UpdateMachinePosition();
    CallHook(H().setPreviousStepPose);
    std::copy(RunCommands.savedWorkOffsets, RunCommands.savedWorkOffsets + kWorkOffsetEntries,
              WorkOffsetTable);
    CallHook(H().setWorkOffsetIndex, RunCommands.savedWorkOffsetIndex);
    ControlOriginOffset = RunCommands.savedControlOrigin;
    RedrawMainWindow(window);
}

void EndRunNormally(WindowHandle window) {
    const bool suppressed = DrawingSuppressed.load() != 0;
    // 7.
    if (!suppressed) {
        CallHook(H().drawPanelAfterRun);
    }
    CallHook(H().markStockDirty);
    CallHook(H().redrawView);
    CallHook(H().writeAviFrame);
    EndProgress2();
    CallHook(H().closeSubprogramFiles);
    AlarmEndInputs in;
    CallHook(H().collectAlarmInputs, &in);
    if (!in.programStarted) {
        in.interpreterError = 3;
        CallHook(H().setInterpreterError, 3);
    }
    // 8. Alarm end.
    if (in.simulationState == 4 || in.interpreterError > 0 || in.overTravel) {
        if (StatusInputs.macro.running) {
            StatusInputs.macro.breakCount = 2;
        }
        CallHook(H().clearSimulationState);
        if (!suppressed) {
            CallHook(H().repaintToolPanel);
        }
        int playSound = 0;
        int code = ChooseAlarmCode(in, Checks.spindleCheck, &playSound);
        if (Settings.sound) {
            if (H().playSystemSound) {
                H().playSystemSound("SystemHand");
            }
            if (playSound) {
                CallHook(H().playAlarmSound);
            }
        }
        if (H().showInterferenceMessage) {
            H().showInterferenceMessage(RunCommands.runLogFlag, DefinitionFiles.ncProgramFile,
                                        code);
        }
        RewindAfterAlarm(window);
    }
    // 9. The length report.
    if (H().writeToolLengthReportLine) {
        H().writeToolLengthReportLine(RunCommands.lengthReport);
    }
    if (RunCommands.lengthReport) {
        std::fclose(RunCommands.lengthReport);
        RunCommands.lengthReport = nullptr;
        bool viewer =
            !RunCommands.runLogFlag && !AutomaticMode.load() && !CommandLine.noReportDisplay;
        if (viewer && H().openInViewer) {
            H().openInViewer(RunCommands.lengthReportPath);
        }
    }
    // 10-13.
    RunFlags().runMode->store(0);
    int viewer = AutomaticMode.load() ? 0 : 1;
    CallHook(H().closeLimitLog, viewer);
    CallHook(H().closeWarningFile, viewer);
    CallHook(H().closeAlarmAndInterferenceFiles);
    if (!suppressed) {
        CallHook(H().repaintToolPanel);
    }
    EndProgressForActiveReader();
    if (!AutomaticMode.load()) {
        CallHook(H().stopAviRecording);
    }
    CallHook(H().enableMenusAfterRun);
    StatusInputs.runMode = 0;
    DrawStatusBar();
}

// Steps 5 to 13 of the tick, once the thread has ended: join it, then end the run.
void EndRunAfterThread(WindowHandle window) {
    KillTimer101(window);
    JoinWorkerThread(&SimulationThread);
    CallHook(H().resetRunScopedSwitches);
    if (RunFlags().abortRequest->load()) {
        FinishCuttingRun(window);
        CallHook(H().redrawView);
        return;
    }
    EndRunNormally(window);
}

}  // namespace

const RunFlagRefs& BindRunFlags(const RunFlagRefs& refs) {
    auto pick = [](std::atomic<std::int32_t>* given, std::atomic<std::int32_t>* own) {
        return given ? given : own;
    };
    boundFlags.runMode = pick(refs.runMode, &ownFlags.runMode);
    boundFlags.abortRequest = pick(refs.abortRequest, &ownFlags.abortRequest);
    boundFlags.pauseRequest = pick(refs.pauseRequest, &ownFlags.pauseRequest);
    boundFlags.pauseBlink = pick(refs.pauseBlink, &ownFlags.pauseBlink);
    boundFlags.lineHeld = pick(refs.lineHeld, &ownFlags.lineHeld);
    boundFlags.stopKeyRequest = pick(refs.stopKeyRequest, &ownFlags.stopKeyRequest);
    boundFlags.redrawRequest = pick(refs.redrawRequest, &ownFlags.redrawRequest);
    boundFlags.showSteps = pick(refs.showSteps, &ownFlags.showSteps);
    return boundFlags;
}

const RunFlagRefs& RunFlags() {
    return boundFlags;
}

int ChooseAlarmCode(const AlarmEndInputs& in, int spindleCheck, int* playAlarmSound) {
    *playAlarmSound = 0;
    if (in.taper) {
        return 5;
    }
    for (int pair = 0; pair < kStructurePairCount; ++pair) {
        if (in.structure[pair]) {
            return StructurePairAlarmCodes[pair];
        }
    }
    if (in.attachment) {
        return 8;
    }
    if (in.arbor) {
        return 2;
    }
    if (in.overLength) {
        return 3;
    }
    if (in.spindleStoppedContact && spindleCheck >= 1) {
        return 9;
    }
    if (in.overChip) {
        return 4;
    }
    if (in.overTravel) {
        return 91;
    }
    if (in.interpreterError > 0) {
        return 100 + in.interpreterError;
    }
    *playAlarmSound = 1;
    if (in.rapidMove) {
        return 1;
    }
    return in.alarmPositionSaved ? 7 : 6;
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

void InitRunCommandSettings() {
    int stop = Settings.stopKey;
    RunCommands.pauseKey = stop == 17 || stop == 32 ? stop : 19;
    int escape = Settings.escapeKey;
    RunCommands.stopKey = escape == 19 || escape == 3 ? escape : 27;
    RunCommands.stepsPerRedraw = std::max(1, Settings.skipView);
    RunCommands.linesPerRedraw = std::max(1, Settings.skipBlock);
}

int HandleRunCommand(WindowHandle window, unsigned command) {
    switch (command) {
        case IDM_CUT_REAL:
            return StartRun(window, 1);
        case IDM_CUT_SKIP:
            return StartRun(window, 2);
        case IDM_CUT_RESULT:
            return StartRun(window, 3);
        case IDM_PATH_DISPLAY:
        case IDM_PATH_DISPLAY_NO_ROTARY:
            TogglePathDisplay(window, command);
            return 1;
        default:
            return 0;
    }
}

void AbortRun(WindowHandle window, int fromPane) {
    // The abort before the pause is released: a thread let go from a stop block must see it.
    RunFlags().abortRequest->store(1);
    RunFlags().pauseRequest->store(0);
    RunFlags().pauseBlink->store(0);
    SetStatusBarText(MainStatusBar.load(), fromPane ? 3 : 2, 0, "");
    if (!RunCommands.runTimer) {
        unsigned period =
            fromPane ? RUN_PERIOD_MS
                     : PeriodForMode(RunFlags().runMode->load(), RunFlags().showSteps->load());
        StartTimer101(window, period);
    }
}

int HandleRunKeyDown(WindowHandle window, unsigned key) {
    if (AskHook(H().viewZoomRectangleMode)) {
        return 0;
    }
    std::atomic<std::int32_t>& runMode = *RunFlags().runMode;
    if (key == VK_CONTROL) {
        CallHook(H().controlKeyChanged, 1);
    }
    if (key == static_cast<unsigned>(RunCommands.stopKey) && runMode.load() > 0 &&
        !DrawingSuppressed.load()) {
        AbortRun(window, 0);
        return 1;
    }
    if (AskHook(H().viewBusy)) {
        return 0;
    }
    CallHook(MainWindowCallbacks.activateWindow, window);
    auto post = [window](unsigned command) { PostWindowMessage(window, WM_COMMAND, command, 0); };
    switch (key) {
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
            int step = key == VK_RIGHT ? 1 : -1;
            if (runMode.load() == 1) {
                RunCommands.stepsPerRedraw = std::max(1, RunCommands.stepsPerRedraw + step);
            } else if (runMode.load() == 2) {
                RunCommands.linesPerRedraw = std::max(1, RunCommands.linesPerRedraw + step);
            }
            UpdateTitle(window);
            return 1;
        }
        case VK_TAB:
            if (NcProgramSelected()) {
                int mode = runMode.load();
                if (!KeyHeld(VK_SHIFT)) {
                    mode = mode == 1 ? 2 : mode == 2 ? 3 : mode;
                } else {
                    mode = mode == 3 ? 2 : mode == 2 ? 1 : mode;
                }
                runMode.store(mode);
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
        if (RunFlags().lineHeld->load()) {
            StartRunTimer(window);
        }
        return 1;  // never passed on to the view
    }
    if (character >= '0' && H().viewWindow) {
        PostWindowMessage(H().viewWindow(), WM_KEYDOWN, key, 0);
        return 1;
    }
    return 0;
}

int HandleRunKeyUp(WindowHandle, unsigned key) {
    if (key == VK_CONTROL) {
        CallHook(H().controlKeyChanged, 0);
        return 1;
    }
    return 0;
}

void RunProgressTimer(WindowHandle window) {
    if (!RunCommands.runTimer) {
        return;
    }
    const RunFlagRefs& f = RunFlags();
    const bool suppressed = DrawingSuppressed.load() != 0;
    // 1. Period.
    unsigned period = PeriodForMode(f.runMode->load(), f.showSteps->load());
    if (period != RunCommands.runPeriodMs) {
        KillTimer101(window);
        StartTimer101(window, period);
    }
    // 2-3. Progress and, in result runs, the current line.
    int depth = H().subprogramDepth ? H().subprogramDepth() : 0;
    if (depth == 0) {
        UpdateProgressForActiveReader(0);
    } else {
        UpdateProgress2(0);
    }
    if (f.runMode->load() == 3 && f.showSteps->load() == 0 && !suppressed) {
        CallHook(H().drawNcDataLine);
    }
    // 4. While the thread runs.
    if (!IsWorkerThreadFinished(SimulationThread)) {
        if (!RunCommands.runLogFlag && AskHook(H().eventStopWanted)) {
            f.stopKeyRequest->store(1);
        }
        if (f.redrawRequest->load()) {
            if (!suppressed && !RunCommands.runLogFlag) {
                CallHook(H().drawAxisValuePanes);
                CallHook(H().markStockDirty);
                CallHook(H().redrawView);
                CallHook(H().writeAviFrame);
            }
            f.redrawRequest->store(0);
        } else if (f.pauseRequest->load()) {
            KillTimer101(window);
            if (!RunCommands.blinkTimer) {
                PauseRun(window);
            }
        } else if (!suppressed && KeyHeld(static_cast<unsigned>(RunCommands.pauseKey)) &&
                   MainWindowCallbacks.isForegroundWindow &&
                   MainWindowCallbacks.isForegroundWindow(window)) {
            f.stopKeyRequest->store(1);
        }
        return;
    }
    // 5-13.
    EndRunAfterThread(window);
}

int IsRunActive() {
    return RunFlags().runMode->load() > 0 || HasWorkerThread(SimulationThread) ? 1 : 0;
}

void EndRunBeforeClose(WindowHandle window) {
    if (!HasWorkerThread(SimulationThread)) {
        return;
    }
    // The abort before the pause is released: a thread let go from a stop block must see it.
    RunFlags().abortRequest->store(1);
    RunFlags().pauseRequest->store(0);
    RunFlags().pauseBlink->store(0);
    WaitForWorkerThread(&SimulationThread);
    EndRunAfterThread(window);
}

}  // namespace mirexa
