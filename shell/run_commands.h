// The user-interface side of a cutting run: the run commands that start the simulation thread,
// the run keys, and the run timer (timer 101) that serves the thread's redraw and pause requests
// and ends each run in order: alarm code, rewind, reports, menus.
//
// Threads. Everything here runs on the user-interface thread, except that the simulation thread
// reads and writes the run flags (atomics) at the same time.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "config/config_records.h"
#include "config/offset_tables.h"
#include "platform/window.h"
#include "shell/worker_threads.h"

namespace mirexa {

// The run flags shared with the simulation thread. They belong to run control; the shell reaches
// them through these pointers, which run control binds at start-up (BindRunFlags). Until then,
// and for any pointer left null, the shell uses flags of its own.
struct RunFlagRefs {
    std::atomic<std::int32_t>* runMode = {};  // 0 idle, 1 real, 2 skip, 3 result display
    std::atomic<std::int32_t>* abortRequest = {};
    std::atomic<std::int32_t>* pauseRequest = {};
    std::atomic<std::int32_t>* pauseBlink = {};
    std::atomic<std::int32_t>* lineHeld = {};
    std::atomic<std::int32_t>* stopKeyRequest = {};
    std::atomic<std::int32_t>* redrawRequest = {};
    std::atomic<std::int32_t>* showSteps = {};
};

// Binds the flags (null fields: the shell's own); returns the complete set now in use.
const RunFlagRefs& BindRunFlags(const RunFlagRefs& refs);
// The flags in use; every pointer is valid.
const RunFlagRefs& RunFlags();

// What the run's end reads to choose its alarm code (filled by the simulation side).
struct AlarmEndInputs {
    int simulationState = {};  // 4: the run ended on an alarm
    int interpreterError = {};
    int overTravel = {};     // an axis went outside its stroke
    int programStarted = 1;  // 0: the start character never appeared (error 3)
    // Interference flags of the last step.
    int taper = {};
    int structure[kStructurePairCount] = {};  // in StructurePair order
    int attachment = {};
    int arbor = {};
    int overLength = {};
    int spindleStoppedContact = {};  // contact with the spindle stopped
    int overChip = {};
    // The last move was a rapid move; the alarm position was saved.
    int rapidMove = {};
    int alarmPositionSaved = {};
};

// The alarm code of an alarm end, first match wins: taper 5; the structure pairs in order with
// codes 11-14, 17-21, 24-27, 30-34, 37-42, 45; attachment 8; arbor 2; over-length 3; spindle
// stopped 9 (only while SPINDLE CHECK is 1 or more); over-chip 4; over-travel 91; interpreter
// error e gives 100 + e; otherwise 1 for a rapid move, 7 when the alarm position was saved, else
// 6. playAlarmSound is set to 1 for the last three.
int ChooseAlarmCode(const AlarmEndInputs& inputs, int spindleCheck, int* playAlarmSound);

// The message code of each structure pair, in StructurePair order.
extern const int StructurePairAlarmCodes[kStructurePairCount];

// The path of the required-length report: location 0 a file named after the first check in
// report mode (check 0 protrusion "length.txt", 1 effective length "height.txt", 2 chip width
// "chip-w.txt"; in Japanese "突出し長.txt", "有効刃長.txt", "チップ幅.txt") in the output
// directory; 1 "length.txt" in the output directory; any other value the NC program path with
// the extension of its file name replaced by "_length.txt" (appended when the file name has no
// ".", whatever the directories hold).
std::string BuildLengthReportPath(int location, int firstCheck, int language,
                                  const std::string& outputDirectory, const std::string& ncPath);

// Calls of the run commands into run control, the interpreter, the view, the panels, the menus
// and the reports. A null hook means "nothing there".
struct RunHooks {
    // --- Simulation thread and run control ---
    // The body of the simulation thread (null: a run that ends at once).
    void (*simulationThreadProc)() = {};
    // Resumes a paused run (clears the stop and pause requests, starts timer 101). Null: the
    // shell's own minimal form.
    void (*startRunTimer)(WindowHandle mainWindow) = {};
    // Shows the paused state and starts the blink timer 5. Null: the shell's own minimal form.
    void (*pauseRun)(WindowHandle mainWindow) = {};
    // The end of an aborted run after its thread has ended. Null: the shell's own minimal form.
    void (*finishCuttingRun)(WindowHandle mainWindow) = {};
    // Fills the inputs of the alarm code.
    void (*collectAlarmInputs)(AlarmEndInputs* inputs) = {};
    // The simulation state := 0 after an alarm end.
    void (*clearSimulationState)() = {};
    // The run's end snapshot takes the current program and machine positions, the control
    // origin, the tool point and the tool axis (at window creation).
    void (*fillEndSnapshot)() = {};
    // 1 when an interference event was recorded, or the offset alarm stands while the radius
    // offset check stops: the thread must stop before its next block.
    int (*eventStopWanted)() = {};
    // Shows (or logs) the alarm message of a code.
    void (*showInterferenceMessage)(int runLog, const std::string& ncPath, int code) = {};
    // --- Interpreter ---
    // Restores the tool-centre-point type of the controller and zeroes the run-scoped switches
    // (last G code, tilted plane, reference return, polar and cylindrical interpolation, ...).
    void (*resetRunScopedSwitches)() = {};
    // Sets the interpreter error (to 3 when the start character never appeared).
    void (*setInterpreterError)(int error) = {};
    // The current work offset index, and setting it back.
    int (*workOffsetIndex)() = {};
    void (*setWorkOffsetIndex)(int index) = {};
    // The previous step's pose takes the current machine position.
    void (*setPreviousStepPose)() = {};
    // Closes the subprogram files still open (after ending the second progress) at depth 0.
    void (*closeSubprogramFiles)() = {};
    // The subprogram depth and the current line with its number (for the panel's NC strip).
    int (*subprogramDepth)() = {};
    // --- Stock, view, panels, menus ---
    int (*canPushUndoPoint)() = {};
    void (*pushUndoPoint)() = {};
    void (*redrawView)() = {};
    void (*markStockDirty)() = {};
    void (*drawAxisValuePanes)() = {};
    void (*drawRunPanes)() = {};  // the "\tSTOP" and "\tESC" panes raised
    void (*drawNcDataLine)() = {};
    void (*drawPanelAfterRun)() = {};  // NC line, axis labels, values, stop-mode labels
    void (*greyMenusDuringRun)() = {};
    void (*enableMenusAfterRun)() = {};
    void (*repaintToolPanel)() = {};
    void (*togglePathDisplay)(int variant, int duringRun) = {};  // 0 path, 1 without rotary
    // --- Reports, sounds, recording ---
    void (*writeToolLengthReportLine)(std::FILE* report) = {};
    void (*closeLimitLog)(int showInViewer) = {};
    void (*closeWarningFile)(int showInViewer) = {};
    void (*closeAlarmAndInterferenceFiles)() = {};
    void (*openInViewer)(const std::string& path) = {};
    void (*playSystemSound)(const char* name) = {};  // synchronously ("SystemHand")
    void (*playAlarmSound)() = {};
    void (*writeAviFrame)() = {};
    void (*stopAviRecording)() = {};
    // --- Keys ---
    // The view's zoom-rectangle mode is on: the main window ignores keys.
    int (*viewZoomRectangleMode)() = {};
    // A drag in the view or another busy state of the view.
    int (*viewBusy)() = {};
    // Ctrl went down (1) or up (0): the view's mouse tool follows it.
    void (*controlKeyChanged)(int down) = {};
    // 1 when the simulation plug-in of the slot (0 or 1) is loaded.
    int (*simulationPluginLoaded)(int slot) = {};
    // The window a character key goes to (the view window); null: nowhere.
    WindowHandle (*viewWindow)() = {};
};
extern RunHooks RunCallbacks;

// State of the run commands, reset between runs where noted.
struct RunCommandState {
    unsigned runTimer = {};  // IDT_RUN_PROGRESS while timer 101 runs, else 0
    unsigned runPeriodMs = {};
    unsigned blinkTimer = {};  // IDT_PAUSE_BLINK while timer 5 runs, else 0
    int runLogFlag = {};
    int pauseKey = 17;       // key code held to pause: 17 Ctrl, 32 Space, 19 Pause
    int stopKey = 27;        // key code that aborts: 27 Esc, 19 Pause, 3 Ctrl-Break
    int stepsPerRedraw = 1;  // run mode 1
    int linesPerRedraw = 1;  // run mode 2
    std::FILE* lengthReport = {};
    std::string lengthReportPath = {};
    // The program position an alarm end rewinds to (set at window creation or by the plug-in
    // start point), and the copies taken when the run began.
    MotionPosition startPoint = {};
    MotionPosition savedWorkOffsets[kWorkOffsetEntries] = {};
    int savedWorkOffsetIndex = {};
    MotionPosition savedControlOrigin = {};
};
extern RunCommandState RunCommands;

// The control (work) coordinate origin in machine coordinates; the offset dialogs set it.
extern MotionPosition ControlOriginOffset;

// Set when an aborted run ends under the command line's run mode 5 or 6: the process then exits
// with -1.
extern std::atomic<int> AbortedBatchRunMark;

// Takes PauseKey and StopKey from the settings ("STOP KEY", "ESCAPE KEY") and the redraw
// intervals from SKIP VIEW and SKIP BLOCK.
void InitRunCommandSettings();

// Commands 32774-32778 (returns 1 when the id is one of them and was handled).
int HandleRunCommand(WindowHandle mainWindow, unsigned command);

// The run keys of WM_KEYDOWN and WM_KEYUP; returns 1 when the key was taken.
int HandleRunKeyDown(WindowHandle mainWindow, unsigned keyCode);
int HandleRunKeyUp(WindowHandle mainWindow, unsigned keyCode);

// Aborts the run (StopKey from the key, fromPane 0; the ESC pane, fromPane 1).
void AbortRun(WindowHandle mainWindow, int fromPane);

// One tick of timer 101.
void RunProgressTimer(WindowHandle mainWindow);

// 1 while a run is active (run mode above 0) or its thread has not been joined.
int IsRunActive();

// Closing the main window during a run: aborts the run, waits for the thread (answering sends
// meanwhile), joins it and finishes the run, so that nothing the thread reads is freed under
// it. Nothing happens when no run is active.
void EndRunBeforeClose(WindowHandle mainWindow);

}  // namespace mirexa
