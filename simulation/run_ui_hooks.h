// What the run's reports, alarm messages, run timer and end-of-run work call in the shell, the
// view and the panels. The shell fills the hooks at start-up; tests fill them with recording
// fakes. A null hook means "nothing there": no viewer opens, no sound plays, nothing is drawn.
// Every hook is called on the user-interface thread, except the four of the reports, which the
// simulation thread calls during a run.
#pragma once

namespace mirexa {

struct NcSession;

// The panes of the information panel that show the run buttons.
enum RunPane : int { kRunPaneGoStop = 0, kRunPaneEscape = 1 };

struct RunUiHooks {
    // --- Reports (also on the simulation thread) ---
    // Opens a written report in the desktop's viewer (never called in automatic mode).
    void (*openInViewer)(const char* path) = {};
    // Plays a system sound and returns when it has played ("SystemHand").
    void (*playSystemSound)(const char* name) = {};
    // The status bar's text of the recorded interference kind (UTF-8).
    void (*setCollisionKindText)(const char* text) = {};
    // Repaints the tool display panel when it is shown.
    void (*repaintToolPanel)() = {};

    // --- Run buttons and the paused state ---
    // Draws a pane of the information panel ("\tGO", "\tSTOP", "\tESC") pressed or raised.
    void (*drawRunPane)(int pane, const char* text, int pressed) = {};
    // Sets the class cursor back to the arrow.
    void (*restoreArrowCursor)() = {};
    // Clears the view's spin flag (its timer is killed by run control).
    void (*clearViewSpin)() = {};
    // Shows a block in the panel's NC-data line: its line number and text (no line end).
    void (*showPanelBlock)(int lineNumber, const char* text) = {};
    // Sets the stock flag of the current undo slot in the scene's dirty flags, when a stock
    // exists, and the style-list name to the current stock and undo slot.
    void (*markStockDirty)() = {};
    // Sets the view's pending redraw, invalidates and updates the main window.
    void (*redrawMainWindow)() = {};
    // Invalidates and updates the view window.
    void (*redrawView)() = {};
    // Draws the axis value panes.
    void (*drawAxisValuePanes)() = {};
    // Writes an AVI frame when a recording is running.
    void (*writeAviFrame)() = {};
    // 1 while the pause key is held and the main window is the foreground window.
    int (*pauseKeyHeld)() = {};

    // --- End of a run ---
    // The macro automation's break counter (1 abort, 2 alarm), when a macro runs.
    void (*setMacroBreak)(int value) = {};
    // An aborted run under the command line's run mode 5 or 6: the process exits with -1.
    void (*markAbortedBatchRun)() = {};
    // Stops a sound that is playing; plays the alarm sound.
    void (*stopSound)() = {};
    void (*playAlarmSound)() = {};
    // Frees the NURBS buffers; moves a following external editor's cursor.
    void (*freeNurbsBuffers)(NcSession& session) = {};
    void (*moveEditorCursor)() = {};
    // Redraws the status bar.
    void (*drawStatusBar)() = {};
    // The panel after a run: the NC-data line (the file name after an abort), the axis labels,
    // the axis values and the stop-mode selector.
    void (*drawPanelAfterRun)(int aborted) = {};
    // Draws the stop-mode selector.
    void (*drawStopModeSelector)() = {};
    // Writes the last tool's line of the tool-length report; closes and shows the report when a
    // length check is in its report mode and the run was a user's run.
    void (*finishToolLengthReport)() = {};
    // Stops the AVI recording.
    void (*stopAviRecording)() = {};
    // Enables the menus after a run.
    void (*enableMenusAfterRun)() = {};
    // Closes the radius-offset alarm file of the interpreter (and clears its event flag).
    void (*closeAlarmFile)(NcSession& session) = {};
};
extern RunUiHooks RunUiCallbacks;

}  // namespace mirexa
