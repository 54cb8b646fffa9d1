// Start and resume of the run timer with the run buttons, the paused state, the view spin, and
// the stop for a recorded event.
#include "simulation/run_timer.h"

#include "platform/clock.h"
#include "platform/controls.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "simulation/cutting_run.h"
#include "simulation/interference_decisions.h"
#include "simulation/run_control.h"
#include "simulation/run_ui_hooks.h"

namespace mirexa {

namespace {

const RunUiHooks& Ui() {
    return RunUiCallbacks;
}

void DrawPane(int pane, const char* text, int pressed) {
    if (Ui().drawRunPane != nullptr) {
        Ui().drawRunPane(pane, text, pressed);
    }
}

void Call(void (*hook)()) {
    if (hook != nullptr) {
        hook();
    }
}

}  // namespace

unsigned GetRunTimerPeriodMs() {
    return WindowRun.mode.load() == RunMode::kResult && WindowRun.controls.showSteps.load() == 0
               ? kResultRunTimerPeriodMs
               : kRunTimerPeriodMs;
}

void StartRunTimer(WindowHandle window) {
    ShowRunButtons(window);
    WindowRun.controls.stopKeyRequest = 0;
    StartWindowTimer(window, kRunProgressTimerId, GetRunTimerPeriodMs());
}

void ShowRunButtons(WindowHandle window) {
    // The pause's cursor, spin and blink end; GO is shown pressed, then STOP and ESC.
    Call(Ui().restoreArrowCursor);
    Call(Ui().clearViewSpin);
    StopWindowTimer(window, kPauseBlinkTimerId);
    DrawPane(kRunPaneGoStop, "\tGO", 1);
    SleepMilliseconds(kRunButtonsPressMs);
    DrawPane(kRunPaneGoStop, "\tSTOP", 0);
    DrawPane(kRunPaneEscape, "\tESC", 0);
    // Releases a thread waiting at a stop block.
    ResumeRun(WindowRun.controls);
    // The pause's panes are cleared.
    const WindowHandle bar = MainStatusBar.load();
    if (bar != nullptr) {
        SetStatusBarText(bar, 3, SBT_NOBORDERS, "");
        SetStatusBarText(bar, 4, SBT_NOBORDERS, "");
    }
}

void PauseRun(WindowHandle window) {
    WindowRun.controls.pendingStop = 1;
    // The block the thread published when it stopped.
    if (Ui().showPanelBlock != nullptr) {
        const RunStatusSnapshot status = ReadRunStatus();
        Ui().showPanelBlock(status.lineNumber, status.blockText);
    }
    DrawPane(kRunPaneGoStop, "\tSTOP", 1);
    // The stock as it stands, and its frame in a recording.
    Call(Ui().markStockDirty);
    Call(Ui().redrawMainWindow);
    if (DrawingSuppressed.load() == 0) {
        Call(Ui().writeAviFrame);
    }
    // The STOP pane blinks while the run waits.
    WindowRun.controls.pauseBlink = 0;
    StartWindowTimer(window, kPauseBlinkTimerId, kPauseBlinkPeriodMs);
}

void RestoreCursorAndKillTimer(WindowHandle window, unsigned timerId) {
    Call(Ui().restoreArrowCursor);
    StopWindowTimer(window, timerId);
    Call(Ui().clearViewSpin);
}

int RunEventStopWanted(const InterferenceKindSet& kinds) {
    return WindowRun.request.runLogFlag == 0 && kinds.eventCount.load() != kNoEvent ? 1 : 0;
}

}  // namespace mirexa
