// The user-interface side of a cutting run: the run commands that start the simulation thread,
// the run keys, and the run timer (timer 101) that serves the thread's redraw and pause requests
// and ends each run in order: alarm code, rewind, reports, menus.
//
// Threads. Everything here runs on the user-interface thread, except that the simulation thread
// reads and writes the window's run's controls (atomics) at the same time.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "config/config_records.h"
#include "config/offset_tables.h"
#include "platform/file_replacement.h"
#include "platform/window.h"
#include "services/run_mode.h"
#include "shell/worker_threads.h"
#include "simulation/cutting_run.h"

namespace mirexa {

// The path of the required-length report: location 0 a file named after the first check in
// report mode (check 0 protrusion "length.txt", 1 effective length "height.txt", 2 chip width
// "chip-w.txt"; in Japanese "突出し長.txt", "有効刃長.txt", "チップ幅.txt") in the output
// directory; 1 "length.txt" in the output directory; any other value the NC program path with
// the extension of its file name replaced by "_length.txt" (appended when the file name has no
// ".", whatever the directories hold).
std::string BuildLengthReportPath(int location, int firstCheck, int language,
                                  const std::string& outputDirectory, const std::string& ncPath);

// Calls of the run commands into the panels, menus and plug-ins, which are not there yet. A null
// hook means "nothing there".
struct RunHooks {
    // Panels and menus.
    void (*drawAxisValuePanes)() = {};
    void (*drawRunPanes)() = {};  // the "\tSTOP" and "\tESC" panes raised
    void (*drawNcDataLine)() = {};
    void (*drawPanelAfterRun)() = {};  // NC line, axis labels, values, stop-mode labels
    void (*repaintToolPanel)() = {};
    // 1 when the simulation plug-in of the slot (0 or 1) is loaded.
    int (*simulationPluginLoaded)(int slot) = {};
};
extern RunHooks RunCallbacks;

// State of the run commands, reset between runs where noted.
struct RunCommandState {
    unsigned runTimer = {};  // IDT_RUN_PROGRESS while timer 101 runs, else 0
    unsigned runPeriodMs = {};
    unsigned blinkTimer = {};  // IDT_PAUSE_BLINK while timer 5 runs, else 0
    int pauseKey = 17;         // key code held to pause: 17 Ctrl, 32 Space, 19 Pause
    int stopKey = 27;          // key code that aborts: 27 Esc, 19 Pause, 3 Ctrl-Break
    // The platform clock (ms) at the last frame the run's redraw handshake drew, if it drew one.
    int runFrameDrawn = {};
    std::uint64_t lastRunFrameMs = {};
    // The run's length report, written to a temporary file beside its name that takes the name
    // when the run ends (a run cut off by a signal or killed leaves the previous report).
    FileReplacement lengthReport = {};
    std::string lengthReportPath = {};
    // The closed length report that the viewer shows once the run's end is complete (its files,
    // the title), so that no box about the viewer holds the end up.
    std::string reportToShow = {};
    // The control origin when the run began: an alarm end restores it (the run's end restores
    // the work offsets and the start point, run_end.h).
    MotionPosition savedControlOrigin = {};
    // Where an aborted or alarm run returns to, kept across runs: set at window creation and by
    // a path reader's start point (SetRunStartPoint).
    RunStartPoint startPoint = {};
    // The runs whose end is complete (the report shown or told): whoever waits for a run's end
    // reads it before the run starts and waits for it to grow.
    int endedRuns = {};
};
extern RunCommandState RunCommands;

// The control (work) coordinate origin in machine coordinates, with which the dialogs convert
// between work and machine values.
extern MotionPosition ControlOriginOffset;

// ControlOriginOffset := the interpreter's external offset plus its active work offset; called
// when a controller read applies the work offset and when a run ends.
void TakeControlOriginFromController();

// Set when an aborted run ends under the command line's run mode 5 or 6: the process then exits
// with -1.
extern std::atomic<int> AbortedBatchRunMark;

// Fills what the run's end calls in the shell (run_ui_hooks.h): the macro break, the aborted
// batch mark, the tool-length report, the alarm file, the viewer, the view and the recording; the
// panels' and menus' calls pass on to this file's RunHooks (a null hook there draws nothing).
// Also the view's resume and abort (ResumeRunTimer, AbortRun).
void ConnectRunEndToShell();

// Takes PauseKey and StopKey from the settings ("STOP KEY", "ESCAPE KEY") and the redraw
// intervals from SKIP VIEW and SKIP BLOCK.
void InitRunCommandSettings();

// The run command that starts a run in the mode (IDM_CUT_REAL, IDM_CUT_SKIP, IDM_CUT_RESULT); 0
// for kIdle.
unsigned RunCommandOfMode(RunMode mode);

// Commands 32774-32778 (returns 1 when the id is one of them and was handled). commandData: the
// command message's lparam, whose kKeyShiftHeld bit is Shift as held at the key or menu choice
// that gave a path display command. A run's thread runs threadBody: the main window passes none,
// and the run cuts (RunCuttingThread); a test may pass a scripted body.
int HandleRunCommand(WindowHandle mainWindow, unsigned command, MessageLParam commandData,
                     void (*threadBody)() = nullptr);

// The run keys of WM_KEYDOWN and WM_KEYUP; returns 1 when the key was taken. keyData: the key
// message's lparam (Shift and Ctrl as held when the key was typed, passed on with a key given
// to the view).
int HandleRunKeyDown(WindowHandle mainWindow, unsigned keyCode, MessageLParam keyData);
int HandleRunKeyUp(WindowHandle mainWindow, unsigned keyCode);

// Resumes a paused run (G in either window, the GO pane): run control's resume, and timer 101
// served again with the period of the run mode.
void ResumeRunTimer(WindowHandle mainWindow);

// Aborts the run (StopKey from the key, fromPane 0; the ESC pane, fromPane 1).
void AbortRun(WindowHandle mainWindow, int fromPane);

// One tick of timer 101.
void RunProgressTimer(WindowHandle mainWindow);

// 1 while a run is active (run mode above 0) or its thread has not been joined.
int IsRunActive();

// 1 while a run is active and the command would change what it reads: the stock and its models,
// the program, the pitch, a definition file or a setting the run follows. The command handlers
// refuse such a command however it comes (menu, panel pane, key, plug-in, automation); the menus
// are greyed as well, but a pane or a key does not look at them.
int RefusedDuringRun(unsigned command);

// Closing the main window during a run: aborts the run, waits for the thread (answering sends
// meanwhile), joins it and finishes the run, so that nothing the thread reads is freed under
// it. Nothing happens when no run is active.
void EndRunBeforeClose(WindowHandle mainWindow);

}  // namespace mirexa
