// The steps of the unattended work, shared by macro files and the command-line batch: each sets
// what its command needs, sends the command to the main window and reads what it reported; the
// wait for a cutting run; the record of what the commands reported; the batch's failure code.
//
// Threads. The steps run on the automation thread. It never touches a record of the
// user-interface thread itself: everything it sets or reads there (command-line fields, paths,
// the commands' outcomes, the status bar) it does inside RunOnMainThread, which runs a call on
// the user-interface thread while the automation thread waits.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "config/config_records.h"
#include "platform/window.h"

namespace mirexa {

// The commands the automation sends to the main window (WM_COMMAND wparam) are the menu's:
// resources/program_resources.h, IDM_NC_REPORT (nc_data_commands.h) and the stock commands
// (stock_commands.h).

// System commands of a macro's window lines.
inline constexpr unsigned SC_MINIMIZE = 61472;
inline constexpr unsigned SC_MAXIMIZE = 61488;
inline constexpr unsigned SC_RESTORE = 61728;

// Exit codes of an unattended run: 0 the work was done (alarms of the runs are in the log and the
// reports); 2 a named NC, stock, macro or definition file was missing or unreadable, or a save
// wrote nothing; -1 (255 in a POSIX shell) the batch was aborted.
inline constexpr int kBatchExitFileError = 2;
inline constexpr int kBatchExitAborted = -1;

// A test seam, not a hooks record: the automation calls the program's main window, run and
// system itself, and the program never installs a stand-in (with none in place every step takes
// the program's own path). A test may put one in their place (a recording sink, a scripted run);
// every field of a stand-in is set.
struct AutomationStandIn {
    // Runs the call on the user-interface thread and returns once it has run. Returns 1, or 0
    // when the main window is gone and the call did not run.
    int (*runOnMainThread)(const std::function<void()>& call) = {};
    // User-interface thread: the main window handles WM_COMMAND with the command and lparam.
    void (*sendCommand)(unsigned command, MessageLParam lparam) = {};
    // User-interface thread: a window command (SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE).
    void (*sendSystemCommand)(unsigned code) = {};
    // User-interface thread: 1 while a cutting run is active or its end has not been done.
    int (*runActive)() = {};
    // Any thread: raises the run's abort request.
    void (*requestRunAbort)() = {};
    // Any thread: posts WM_AUTOMATION_DONE to the main window.
    void (*postDone)() = {};
    // Automation thread: waits one poll period (100 ms).
    void (*pollPause)() = {};
    // Automation thread: starts the program with its one argument (none when empty), without a
    // shell, and waits until it ends (an abort signal asks it to end). Returns its exit status,
    // or -1 when it could not start.
    int (*runProgram)(const std::string& program, const std::string& argument) = {};
};

// Puts the stand-in in place of the program's own (null: the program's own again).
void SetAutomationStandIn(const AutomationStandIn* standIn);

// A window command (SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE) on the user-interface thread.
void SendAutomationSystemCommand(unsigned code);

// Starts the program with its one argument (none when empty), without a shell, and waits until
// it ends; an abort signal asks it to end. Returns its exit status, or -1 when it could not
// start. Automation thread.
int RunAutomationProgram(const std::string& program, const std::string& argument);

// What a step asks of the command it sends: the automation thread fills the request and sends it
// with the command (SendAutomationRequest); the command's handler, on the user-interface thread,
// reads it through CurrentAutomationRequest. The path names the command's file, kept as the
// program's (empty: the file the program names), and no dialog asks, as for a file of the command
// line: 32784 reads it as the stock, 32786 writes the stock to it in the save kind of lparam,
// 32771 and 32772 select it as the NC program, 32781 .. 32783 read it as the tools, controller or
// machine file.
// 32773 takes the report mode from kind (5 and 6 log a failed data check) and lparam silent.
// The run commands (32774 .. 32776) take the run mode and whether the run is a batch run; the
// difference paint (32893) takes the difference choices when the step gives them.
struct AutomationRequest {
    std::string path = {};
    int kind = {};  // 32773: the report mode (0, 1, 5 or 6)
    // 32774 .. 32776: the automation's batch kind of the run (the -X digits: real, skip, result,
    // result logged, result logged and drawn nowhere); the logged kinds open the log with the
    // program's name.
    BatchRunKind batchKind = BatchRunKind::kNone;
    // 32774 .. 32776: a batch run: nobody watches it, so an abort marks the batch's exit code and
    // progress opens no box. Ends with the run.
    int batchRun = {};
    // 32893: the choices to paint with, kept as the program's (differenceGiven 0: those that
    // stand).
    int differenceGiven = {};
    DifferencePaintChoices difference = {};
};

// User-interface thread: the request sent with the command being handled, or null when the
// command came from the menu, a key or the automation without one.
const AutomationRequest* CurrentAutomationRequest();

// What the commands the automation sends report back. Written by the command handlers on the
// user-interface thread; read by the automation thread inside runOnMainThread.
struct AutomationOutcomeRecord {
    int stockLoadResult = {};   // 32784: 1 a stock was loaded or built, 0 otherwise
    int selectionError = {};    // 32771, 32772: 0, or the interpreter error (101: file missing)
    int reportError = {};       // 32773: 0, or the error of the data check
    int runEnd = {};            // the last cut, a kCut kind
    int saveResult = {};        // 32786: 1 written, 0 nothing written
    int definitionResult = {};  // 32781 .. 32783: 1 read, 0 missing or unreadable
};
extern AutomationOutcomeRecord AutomationOutcome;

// How a cutting run ended.
inline constexpr int kCutCompleted = 0;
inline constexpr int kCutAborted = 1;
inline constexpr int kCutAlarm = 2;

// The run's end (user-interface thread) tells the automation how the run ended.
void NoteRunEndForAutomation(int kind);
// The window's end of a run is done (user-interface thread, once per run, after everything of the
// end): wakes the automation's wait for it (WaitForWindowRunEnd).
void NoteWindowRunEndDone();

// The first failure of the unattended work: 0, or kBatchExitFileError. Any thread.
extern std::atomic<int> BatchFailureCode;
// 0, or the number of the signal (SIGINT, SIGTERM) that asked for the abort. Any thread.
extern std::atomic<int> AbortSignalReceived;
// Set once the automation has logged how its work ended (a macro's lines not run among it),
// before its last calls to the window; cleared by ResetAutomationRun. Any thread.
extern std::atomic<int> AutomationEndLogged;

// Records a failure of the unattended work: in automatic mode writes the text to the log (a line
// end added when it has none) and makes the exit code 2; otherwise does nothing, since the
// command told the user. Any thread.
void RecordBatchFailure(const std::string& logText);

// The automation's own state while it runs (automation thread only).
struct AutomationRunState {
    int donePosted = {};  // WM_AUTOMATION_DONE was posted
    int breakCount = {};  // the last cut ended on an abort (1) or an alarm (2)
    int windowGone = {};  // the main window no longer answers
    int stopped = {};     // the main window is gone or an abort signal came: nothing more is sent
};
extern AutomationRunState AutomationRun;

void ResetAutomationRun();

// 1 when an abort signal came (and then AutomationRun.stopped is set).
int AbortSignalled();

// Runs the call on the user-interface thread. Returns 1, or 0 (setting windowGone and stopped)
// when the main window is gone.
int RunOnMainThread(const std::function<void()>& call);

// Sends the command with lparam on the user-interface thread, with before() run there just
// before it and after() just after it (either may be empty). Returns 1, or 0 when nothing was
// sent (stopped, an abort signal, or the main window is gone).
int SendAutomationCommand(unsigned command, MessageLParam lparam,
                          const std::function<void()>& before = {},
                          const std::function<void()>& after = {});

// Sends the command with lparam and the request on the user-interface thread, with after() run
// there just after it (may be empty); the handler reads the request while the command is
// handled. Returns 1, or 0 when nothing was sent.
int SendAutomationRequest(unsigned command, MessageLParam lparam, const AutomationRequest& request,
                          const std::function<void()>& after = {});

// Posts WM_AUTOMATION_DONE once.
void PostAutomationDone();

// Waits until the run started by the last command has ended and its end is done: asks the
// user-interface thread once whether a run is active, then, without asking it again, sleeps until
// the window's end of a run is done (NoteWindowRunEndDone) or the main window is gone, looking
// every poll period (a stand-in's poll and its own answer instead) so that an abort signal, which
// can wake nobody, is seen within it; the signal raises the run's abort request again (a run
// started after the signal cleared it). The run's end kind is read from the user-interface
// thread once the wait is over. Returns the kCut kind; kCutAborted after an abort signal or when
// the main window went away.
int WaitForWindowRunEnd();

// --- Steps (automation thread) ------------------------------------------------------------------

// Ignores the controller's STOP OPTION for an unattended run, with one log line, so that no
// stop waits for a user. User-interface thread, at the start of a run the automation asked for;
// nothing outside automatic mode.
void IgnoreStopOptionInBatch();

enum class CutKind : int { kReal, kSkip, kResult };

// A cut: in a silent run (DrawingSuppressed) every kind is a result run of batch kind
// kResultUnseen, sent as a batch run; otherwise real (kReal, 32774), skip (kSkip, 32775) or
// result (kResult, or kResultLogged with resultSilent, 32776). The batch kind goes with the
// command in its request. Waits
// for the run, writes the log's closing line and closes the log. An alarm end sets the break
// counter to 2, an abort to 1. Returns the kCut kind.
int RunCutStep(CutKind kind, int resultSilent);

// Writes the closing line of a cut (completed, alarm or aborted by the kCut kind) into the
// log when it is open, and closes the log.
void CloseCuttingLog(int end);

// Each step sends its command with the path when one is given (null: the path the program names)
// and returns what the command reported.
// 32784 with a request for the path (clearFlagAfter: the command line's stock flag is cleared
// after, its stock taken). Returns the load result (1 loaded).
int LoadStockStep(const std::string* path, int clearFlagAfter);
// 32786 with the save kind as lparam and in the request. Returns 1 when the stock was written;
// once the work ran out of memory (CountMemoryShortages, DexelMemoryShortage) nothing is saved
// (logged and counted; 0).
int SaveStockStep(int kind, const std::string* path);
// 32771, or 32772 with optimalStock, with a request for the path.
// Returns the selection's interpreter error (0 none), or -1 when nothing was sent.
int SelectNcStep(const std::string* path, int optimalStock);
// 32773 with lparam silent and a request for the report mode. Returns the data check's error
// (0 none), or -1 when nothing was sent.
int ReportStep(int reportMode, MessageLParam silent);
// 32781, 32782 or 32783 with a request for the path. Returns 1 when the file was read.
int DefinitionFileStep(unsigned command, const std::string* path);

}  // namespace mirexa
