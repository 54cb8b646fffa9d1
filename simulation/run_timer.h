// The user-interface half of run control: starting and resuming the run timer (timer 101 of the
// main window) with the run buttons, the paused state at a stop block, stopping the view spin,
// and the stop wanted for a recorded event. The main window's run timer calls them.
//
// The timer's contract with the simulation thread (the tick is the main window's):
// 1. While the thread runs, a redraw request is served before anything else and then cleared,
//    whether or not anything was drawn (nothing is drawn while drawing is suppressed or in a
//    logging run).
// 2. Only when no redraw is pending does a pause request kill timer 101 and show the paused
//    state (PauseRun; the blink timer 5 then runs every 500 ms).
// 3. Unless the run logs, a recorded interference event (RunEventStopWanted), or the pause key
//    held while the main window is in front, raises the stop-before-block request.
// 4. The thread's end is seen through its release-stored finished flag, read with acquire, and
//    a join; only then is the end of the run performed (FinishRun, run_end.h).
// The timer runs every 100 ms in result runs while the current move is not shown step by step,
// else every 5 ms. An abort sets the run's abortRequest before it releases a pause
// (RequestRunAbort).
//
// Everything here runs on the user-interface thread.
#pragma once

#include "platform/window.h"

namespace mirexa {

struct InterferenceKindSet;

// The main window's timers of a run (the values of IDT_RUN_PROGRESS and IDT_PAUSE_BLINK).
inline constexpr unsigned kRunProgressTimerId = 101;
inline constexpr unsigned kPauseBlinkTimerId = 5;
inline constexpr unsigned kRunTimerPeriodMs = 5;
inline constexpr unsigned kResultRunTimerPeriodMs = 100;
inline constexpr unsigned kPauseBlinkPeriodMs = 500;
// The pause between drawing the GO pane pressed and the run panes raised (ms).
inline constexpr unsigned kRunButtonsPressMs = 100;

// The period the run timer must have now: 100 ms in a result run (run mode 3) while the run's
// showSteps is clear, else 5 ms.
unsigned GetRunTimerPeriodMs();

// Run start and resume: shows the run buttons (which releases a thread paused at a stop block),
// clears the stop-before-block request and starts timer 101 on the window with the current
// period. The caller first clears the event count and the kinds the run recorded, so that the
// resumed run stops again only for a new event.
void StartRunTimer(WindowHandle window);

// Arrow cursor, view spin stopped, blink timer killed; "\tGO" pressed, 100 ms, then "\tSTOP"
// and "\tESC" raised; the pause request and the blink phase cleared; status-bar parts 3 and 4
// emptied.
void ShowRunButtons(WindowHandle window);

// The paused state, for a pause request seen by the run timer (timer 101 killed, no blink timer
// running): sets the pending stop, shows the held block in the panel, draws "\tSTOP" pressed,
// redraws the scene and the main window (and an AVI frame, unless drawing is suppressed), clears
// the blink phase and starts the blink timer.
void PauseRun(WindowHandle window);

// On a menu selection: the arrow cursor, the given timer killed, the view spin flag cleared.
void RestoreCursorAndKillTimer(WindowHandle window, unsigned timerId);

// 1 when the thread must stop before its next block for an interference event recorded in the
// run's kinds (never in a logging run).
int RunEventStopWanted(const InterferenceKindSet& kinds);

}  // namespace mirexa
