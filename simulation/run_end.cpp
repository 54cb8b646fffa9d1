// The start and the end of a cutting run, the alarm code of an alarm end, and the decisions and
// reports connected to the simulation thread's hooks.
#include "simulation/run_end.h"

#include <algorithm>
#include <string>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "geometry/orientation_frames.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "services/program_log.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_run.h"
#include "simulation/cutting_state.h"
#include "simulation/interference_flags.h"
#include "simulation/interference_messages.h"
#include "simulation/interference_reports.h"
#include "simulation/rotary_warning_file.h"
#include "simulation/run_control.h"
#include "simulation/run_reports.h"
#include "simulation/run_timer.h"
#include "simulation/run_ui_hooks.h"
#include "simulation/simulation_hooks.h"
#include "simulation/simulation_thread.h"
#include "stock/stock_model.h"

namespace mirexa {

namespace {

// The wait after showing the warning file (ms), so that the viewer comes up before the next
// window is drawn.
constexpr unsigned kWarningViewerWaitMs = 100;

const RunUiHooks& Ui() {
    return RunUiCallbacks;
}

void Call(void (*hook)()) {
    if (hook != nullptr) {
        hook();
    }
}

bool Suppressed() {
    return DrawingSuppressed.load() != 0;
}

int CurrentToolNumber(NcSession& session) {
    const int n = session.tools->tool.derivedFrom;
    return IsToolNumberInTables(n) != 0 ? n : -1;
}

// The run's stock exists and its cuts use it.
bool StockInUse(const StockModel* stock) {
    return stock != nullptr && stock->nx > 0 && stock->useState == 0;
}

// Closes the subprogram levels still open (after ending the second progress bar).
void CloseSubprogramLevels(NcSession& session) {
    if (session.subprograms.depth <= 0) {
        return;
    }
    EndProgress2();
    while (session.subprograms.depth > 0) {
        EndSubprogramLevel(session);
    }
}

// The values of the interpreter that live for a run and must not reach the next one: the
// controller's tool-centre-point type, the last G code, the tilted plane, the reference return,
// polar and cylindrical interpolation, and the run's kinematics switches.
void ClearRunScopedSwitches(NcSession& session) {
    Controller.toolCenterControl = Controller.resetToolCenterControl;
    session.run.modal.gCode = 0;
    session.run.modal.polarInterpolation = 0;
    session.run.modal.cylindricalInterpolation = 0;
    session.run.reference.phase = 0;
    session.kinematics->plane.active = 0;
    session.kinematics->plane.mode = 0;
    session.kinematics->modes.positionSource = 0;
    session.kinematics->modes.planeCoordinates = 0;
    session.kinematics->modes.polarInterpolation = 0;
    session.kinematics->modes.cylindricalInterpolation = 0;
    session.kinematics->modes.machineCoordinateMove = 0;
}

// What the end of a run works on: the run's session, stock and reports, the start point it
// rewinds to and the main window.
struct RunEndScope {
    NcSession& session;
    const StockModel* stock;
    RunReports& reports;
    const InterferenceFlagSet& flags;  // those of the run's last step
    const RunStartPoint& start;
    WindowHandle window;
    std::atomic<RunMode>& mode;  // the run's, kIdle once its end is taken
    RunControls& controls;       // the run's
    const RunRequest& request;   // the run's
};

// Closes the limit log and the warning file and shows what holds lines.
void CloseRunLogs(NcSession& session, RunReports& reports) {
    CloseLimitLog(reports, CurrentToolNumber(session));
    const std::string warningPath = reports.warningFile.path;
    if (CloseWarningFile(reports.warningFile) > 0) {
        ShowReportFile(reports, warningPath.c_str(), 0);
        SleepMilliseconds(kWarningViewerWaitMs);
    }
}

void CloseRunReports(NcSession& session, RunReports& reports, const ReportBlock& block,
                     RunControls& controls) {
    if (Ui().closeAlarmFile != nullptr) {
        Ui().closeAlarmFile(session);
    }
    CloseInterferenceFile(reports, block, &controls);
}

// The work offsets and their index come back and the program position returns to the start
// point, re-expressed in the work origin they give (a run that ended in another work offset
// than the start point was taken in must not move the machine elsewhere, beyond the strokes);
// the interpreter's reset then takes the work origin from them.
void RewindToStart(const RunEndScope& scope) {
    NcSession& session = scope.session;
    const RunEndFacts& end = scope.reports.end;
    if (end.workOffsetsSaved != 0) {
        std::copy(end.savedWorkOffsets, end.savedWorkOffsets + kWorkOffsetEntries, WorkOffsetTable);
        session.run.modal.workOffsetIndex = end.savedWorkOffsetIndex;
    }
    MotionPosition& program = session.kinematics->pose.program;
    if (scope.start.set != 0) {
        const MotionPosition origin =
            WorkOffsetSum(WorkOffsetTable, session.run.modal.workOffsetIndex);
        for (int i = 0; i < 5; ++i) {
            program.axis[i] =
                scope.start.position.axis[i] + scope.start.workOrigin.axis[i] - origin.axis[i];
        }
    } else {
        program = session.run.reference.runStartPoint;
    }
    ResetInterpreterState(session);
    UpdateMachinePosition(*session.kinematics);
}

// A copy of the block of the last line read, for the report closed after the subprogram levels
// were closed and the interpreter's reset cleared the line numbers.
struct KeptBlock {
    ReportBlock block;
    std::string name;
    std::string text;
};

KeptBlock KeepCurrentBlock(NcSession& session) {
    KeptBlock kept;
    kept.block = GetCurrentReportBlock(session);
    kept.name = kept.block.subprogramName != nullptr ? kept.block.subprogramName : "";
    kept.text = kept.block.ncLine != nullptr ? kept.block.ncLine : "";
    kept.block.subprogramName = kept.name.c_str();
    kept.block.ncLine = kept.text.c_str();
    return kept;
}

// The first part of an aborted end: the macro break, the subprogram files, the batch's exit code
// and the end mark.
void BeginAbortedRunEnd(const RunEndScope& scope) {
    const RunUiHooks& ui = Ui();
    if (ui.setMacroBreak != nullptr) {
        ui.setMacroBreak(1);
    }
    CloseSubprogramLevels(scope.session);
    if (scope.request.batchRun != 0) {
        Call(ui.markAbortedBatchRun);
    }
    scope.reports.end.endInProgress = 1;
}

// The limit log, the warning file, the alarm file and the interference report closed and shown
// (a box when nothing can show them), once the window shows the run's end.
void CloseAbortedRunLogsAndReports(const RunEndScope& scope, const ReportBlock& last) {
    CloseRunLogs(scope.session, scope.reports);
    CloseRunReports(scope.session, scope.reports, last, scope.controls);
}

// The cursor, the view's spin and the run's timers stop; where the run stood is kept, then the
// program goes back to the start point with the work offsets it started with.
void RewindAbortedRun(const RunEndScope& scope) {
    const NcSession& session = scope.session;
    const RunUiHooks& ui = Ui();
    Call(ui.restoreArrowCursor);
    Call(ui.clearViewSpin);
    StopWindowTimer(scope.window, kPauseBlinkTimerId);
    StopWindowTimer(scope.window, kRunProgressTimerId);
    RunEndFacts& end = scope.reports.end;
    end.endProgram = session.kinematics->pose.program;
    end.endMachine = session.kinematics->pose.machine;
    end.endWorkOrigin = session.kinematics->workOrigin;
    end.endTool = session.kinematics->pose.tool;
    RewindToStart(scope);
}

// The rewound state is shown: the axis values, scene and view, the sound stopped, an AVI frame,
// the escape in the run pane; the NC stream and the NURBS buffers are let go once the pane shows
// it, and the editor, the status bar and the panel follow.
void RedrawAbortedRun(const RunEndScope& scope) {
    NcSession& session = scope.session;
    const RunUiHooks& ui = Ui();
    if (!Suppressed()) {
        Call(ui.drawAxisValuePanes);
    }
    Call(ui.markStockDirty);
    Call(ui.redrawView);
    if (Settings.sound != 0) {
        Call(ui.stopSound);
    }
    if (!Suppressed()) {
        Call(ui.writeAviFrame);
    }
    if (ui.drawRunPane != nullptr) {
        ui.drawRunPane(kRunPaneEscape, "\tESC", 1);
    }
    CloseNcProgramSource(session);
    if (ui.freeNurbsBuffers != nullptr) {
        ui.freeNurbsBuffers(session);
    }
    Call(ui.moveEditorCursor);
    session.line.lineHeld = 0;
    Call(ui.drawStatusBar);
    if (!Suppressed() && ui.drawPanelAfterRun != nullptr) {
        ui.drawPanelAfterRun(1);
    }
}

// The run lets go of what it held: the tool-length report, the run mode, the progress bar, the AVI
// recording, the menus and the stop-mode selector; the end mark is cleared last.
void ReleaseAbortedRun(const RunEndScope& scope) {
    RunEndFacts& end = scope.reports.end;
    const RunUiHooks& ui = Ui();
    Call(ui.finishToolLengthReport);
    scope.mode = RunMode::kIdle;
    EndProgressForActiveReader();
    if (AutomaticMode.load() == 0) {
        Call(ui.stopAviRecording);
    }
    Call(ui.enableMenusAfterRun);
    if (!Suppressed()) {
        Call(ui.drawStopModeSelector);
    }
    end.endInProgress = 0;
}

// The end of an aborted run: begin, rewind, redraw (the last frame of a recording among it), then
// the reports shown, so that no box about them comes before the window shows the end; release.
void FinishAbortedRun(const RunEndScope& scope, const ReportBlock& last) {
    BeginAbortedRunEnd(scope);
    RewindAbortedRun(scope);
    RedrawAbortedRun(scope);
    CloseAbortedRunLogsAndReports(scope, last);
    ReleaseAbortedRun(scope);
}

// The alarm end: code, message and rewind. Returns the code.
int FinishAlarm(const RunEndScope& scope) {
    NcSession& session = scope.session;
    const InterferenceFlagSet& flags = scope.flags;
    const WindowHandle window = scope.window;
    const RunUiHooks& ui = Ui();
    if (ui.setMacroBreak != nullptr) {
        ui.setMacroBreak(2);
    }
    scope.controls.kept.simulationState = 0;
    if (!Suppressed()) {
        Call(ui.repaintToolPanel);
    }
    scope.controls.kept.toolPanelPendingPaint = 1;
    if (Settings.sound != 0 && ui.playSystemSound != nullptr) {
        ui.playSystemSound("SystemHand");
    }
    int alarmSound = 0;
    const int code =
        ChooseAlarmCode(MakeCurrentInterferenceStep(flags, session, scope.stock),
                        Checks.spindleCheck, scope.controls.overTravelAxis.load() >= 0 ? 1 : 0,
                        session.run.status.error, scope.controls.stepAlarm.load(), &alarmSound);
    if (alarmSound != 0 && Settings.sound != 0) {
        Call(ui.playAlarmSound);
    }
    InterferenceMessageContext context;
    GatherInterferenceMessageContext(session, 1, &context);
    ShowInterferenceMessage(window, scope.request.runLogFlag, DefinitionFiles.ncProgramFile.c_str(),
                            code, context);
    // The rewind: the start point, the work offsets, the machine position, which the panel
    // shows at once (the run's last pose stays published until then).
    RewindToStart(scope);
    if (!Suppressed()) {
        Call(ui.drawAxisValuePanes);
    }
    Call(ui.redrawMainWindow);
    return code;
}

// The end of a normal or alarm run, once its last block is known: the last picture, the alarm, the
// reports and logs closed, the panels and the progress.
int FinishEndedRun(const RunEndScope& scope, const ReportBlock& last, int runEnd) {
    NcSession& session = scope.session;
    RunEndFacts& end = scope.reports.end;
    const RunUiHooks& ui = Ui();
    end.endInProgress = 1;
    // The last picture of the run.
    if (!Suppressed() && ui.drawPanelAfterRun != nullptr) {
        ui.drawPanelAfterRun(0);
    }
    Call(ui.markStockDirty);
    Call(ui.redrawView);
    Call(ui.writeAviFrame);
    CloseSubprogramLevels(session);
    // A run that never started: no start code, unless the memory ran out before it could.
    if (session.run.status.started == 0 && session.run.status.error == 0 &&
        runEnd != kRunEndMemory) {
        session.run.status.error = 3;
    }
    // A run the memory ran out in: said (logged in automatic mode, where it fails the batch);
    // the window and the stock as cut stay.
    if (runEnd == kRunEndMemory) {
        NoteMemoryShortage();
        ShowMessageOrLog(0, "Memory over!", "Data size error", MBX_OK | MBX_TOPMOST);
    }
    // The alarm, when the run ended on one.
    int code = 0;
    if (scope.controls.kept.simulationState.load() == 4 || session.run.status.error > 0 ||
        scope.controls.overTravelAxis.load() >= 0) {
        code = FinishAlarm(scope);
    }
    // The reports and logs are closed (the warning file with the limit log).
    Call(ui.finishToolLengthReport);
    scope.mode = RunMode::kIdle;
    CloseRunLogs(session, scope.reports);
    CloseRunReports(session, scope.reports, last, scope.controls);
    // The tool panel and the progress.
    if (!Suppressed()) {
        Call(ui.repaintToolPanel);
    }
    EndProgressForActiveReader();
    if (AutomaticMode.load() == 0) {
        Call(ui.stopAviRecording);
    }
    Call(ui.enableMenusAfterRun);
    Call(ui.drawStatusBar);
    end.endInProgress = 0;
    return code;
}

}  // namespace

void SetRunStartPoint(RunStartPoint* start, const MotionPosition& position) {
    start->position = position;
    start->workOrigin = RunKinematics.workOrigin;
    start->set = 1;
}

void PrepareCuttingRun(NcSession& session, RunReports& reports) {
    ResetRunReports(reports);
    RunEndFacts& end = reports.end;
    std::copy(WorkOffsetTable, WorkOffsetTable + kWorkOffsetEntries, end.savedWorkOffsets);
    end.savedWorkOffsetIndex = session.run.modal.workOffsetIndex;
    end.workOffsetsSaved = 1;
    OpenLimitFile(reports, CurrentToolNumber(session));
}

InterferenceStep MakeCurrentInterferenceStep(const InterferenceFlagSet& f, NcSession& session,
                                             const StockModel* stock) {
    InterferenceStep step;
    step.stockAvailable = StockInUse(stock) ? 1 : 0;
    step.contact = f.contact;
    step.rapid = session.kinematics->motion.motionType == 0 ? 1 : 0;
    step.tooFast = session.kinematics->motion.motionType > 0 &&
                           session.kinematics->motion.feed >= Checks.rapidFeedrate
                       ? 1
                       : 0;
    step.spindleStopped = session.run.modal.spindleDirection == 0 ? 1 : 0;
    step.arbor = f.arbor;
    step.taper = f.taper;
    step.attachment = f.attachment;
    step.overLength = f.overLength;
    step.overChip = f.overChip;
    std::copy(f.structure, f.structure + kStructurePairCount, step.structure);
    return step;
}

int ChooseAlarmCode(const InterferenceStep& s, int spindleCheck, int overTravel,
                    int interpreterError, int alarmPositionSaved, int* alarmSound) {
    *alarmSound = 0;
    if (s.taper != 0) {
        return 5;
    }
    for (int pair = 0; pair < kStructurePairCount; ++pair) {
        if (s.structure[pair] != 0) {
            return StructurePairMessageCodes[pair];
        }
    }
    if (s.attachment != 0) {
        return 8;
    }
    if (s.arbor != 0) {
        return 2;
    }
    if (s.overLength != 0) {
        return 3;
    }
    if (s.contact != 0 && s.spindleStopped != 0 && spindleCheck >= 1) {
        return 9;
    }
    if (s.overChip != 0) {
        return 4;
    }
    if (overTravel != 0) {
        return 91;
    }
    if (interpreterError > 0) {
        return 100 + interpreterError;
    }
    *alarmSound = 1;
    if (s.rapid != 0) {
        return 1;
    }
    return alarmPositionSaved != 0 ? 7 : 6;
}

int FinishRun(CuttingRun& run, const RunStartPoint& start, WindowHandle window, int aborted) {
    NcSession& session = *run.request.session;
    RunReports& reports = run.reports;
    const RunEndScope scope{session, run.request.stock, reports,      run.cutting.flags, start,
                            window,  run.mode,          run.controls, run.request};
    // The block the run ended in, as the thread left it, for an event still to be written: the
    // subprogram levels are closed and the interpreter reset before the report is.
    const KeptBlock last = KeepCurrentBlock(session);
    ClearRunScopedSwitches(session);
    int code = 0;
    if (aborted != 0) {
        FinishAbortedRun(scope, last.block);
    } else {
        code = FinishEndedRun(scope, last.block, run.result.end);
    }
    reports.end.lastAlarmCode = code;
    return code;
}

void FinishAbortedCuttingRun(CuttingRun& run, const RunStartPoint& start, WindowHandle window) {
    FinishRun(run, start, window, 1);
}

}  // namespace mirexa
