// The automation thread: the unattended run of a macro file or of the command line's batch
// (stock operations; stock, NC program, report, cut and save), its hooks into the running
// program, the process's exit code, the abort on SIGINT, SIGTERM and SIGHUP, and the headless
// settings.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "config/config_records.h"
#include "platform/window.h"

namespace mirexa {

// The thread's procedure: first the files the work rests on are checked (the settings file, the
// tools, controller and machine files and their models, the basic model: missing, unreadable,
// empty, no tool or facet, tools of sizes no machine has), each failure logged and counted for
// exit 2; with a macro only the files the command line named. When the command line was refused
// or any check failed, no work is done; otherwise the macro file when one was named, else the
// command line's stock operation, else the command-line sequence (a machine model found empty
// meanwhile also fails the batch). It then posts WM_AUTOMATION_DONE unless that was done, so that
// the process ends when the automation does, except where the work leaves the real window to the
// user: work of the user's window (files, run modes 1 to 4), or a macro that ran without EXIT
// (HandWindowToUser), unless an abort signal came meanwhile.
void AutomationThreadProc();

// The definition files a macro's LOAD_TTL, LOAD_CTL and LOAD_MTL replaced (they check their own
// file when they read it).
enum : unsigned {
    kMacroLoadedTools = 1,
    kMacroLoadedController = 2,
    kMacroLoadedMachine = 4,
    kMacroWorkCheck = 8,  // the check at a macro's first work (the settings file is not checked)
};
// The check a macro makes before its first CUT, VERIFY or SAVE_WORK: the command line's check of
// every definition file in use (the tools, controller and machine files the command line or the
// settings named, their holders and models), but for those replaced. Each
// failure is logged and fails the batch; 1 when none failed.
int CheckMacroDefinitionFiles(unsigned replaced);

// The command line's stock operation (-XM, -XR, -XP, -XD; each comes with a stock and -O): loads
// the stock, runs the first operation that is set (move, rotate, paint, peel pens, difference),
// saves, and posts WM_AUTOMATION_DONE. Returns 1 when an operation was set.
int RunCommandLineStockOperation();

// The command line's sequence: stock, NC program (with the optimal stock when a run mode is set
// and no stock named), report, cut (-X2 .. -X6) and save; run modes 5 and 6 (and a stop on a
// failure in them) post WM_AUTOMATION_DONE. Returns 1 when DONE was posted.
int RunCommandLineSequence();

// The process's exit code from the program's own (the quit code, or -1 after an aborted batch
// run): -1 after such an abort or an abort signal, else 2 after a failure of the unattended
// work or a report it could not write (automatic mode), else the program's code. A POSIX shell
// sees -1 as 255.
int ChooseProgramExitCode(int programExitCode);

// ChooseProgramExitCode, and when that is -1 the log's last word on it: "aborted by signal N"
// (or "aborted" when no signal asked for it). main returns what this returns.
int FinishProgramExitCode(int programExitCode);

// Makes a write past the file-size limit fail as a write (EFBIG) instead of ending the process
// with SIGXFSZ, so a writer removes its temporary file and reports the failure.
void IgnoreFileSizeSignal();

// Installs handlers of SIGINT, SIGTERM and SIGHUP that record the signal and raise
// *runAbortRequest (a lock-free atomic store, safe in a handler); the automation thread sees the
// signal at its next step and ends the batch; a signal that the program was started with
// ignored stays ignored. Returns 1, or 0 when a handler could not be installed.
int InstallAbortSignalHandlers(std::atomic<std::int32_t>* runAbortRequest);
// Restores the handlers that were there before.
void RestoreAbortSignalHandlers();
// The end of the automation's work: when it leaves the window to the user (no WM_AUTOMATION_DONE
// was posted), the signals end the program again as they end any window, instead of raising the
// abort request of a batch that is over; a signal caught while the window was being handed over
// ends the program then. Automation thread.
void HandBackAbortSignals();

// 1 when the program runs headless: no real-window backend is available, or the batch flag is
// set.
int ChooseHeadlessBackend(int realWindowAvailable, int batchFlag);

// Where the program runs, chosen before start-up. silentRun: the command line asks for work
// drawn nowhere (its batch flag: -X6, -V6, the stock operations); workAsked: it names a stock, an
// NC program, a run or report mode or a macro; displayAvailable: a display answers;
// displayNamed: the environment names one (DISPLAY, WAYLAND_DISPLAY or the toolkit's platform).
// A silent run never needs a display (headless); anything else opens the real window when there
// is a display. A display that is named but does not answer is refused (displayUnreachable: the
// caller says why on stderr and exits 2), whatever the work: the window was asked for. Without
// any display named, asked-for work runs headless and unattended (noDisplay: the log says so); a
// start with nothing to do is refused.
struct ProgramWindowChoice {
    int realWindow = {};
    int noDisplay = {};
    int refused = {};
    int displayUnreachable = {};
};
ProgramWindowChoice ChooseProgramWindow(int silentRun, int workAsked, int displayAvailable,
                                        int displayNamed);

// 1 when the command line's work in the real window runs without a user: a macro file, run mode
// 5, or report mode 5 (nobody answers while it runs: boxes and questions go to the log, and the
// exit codes of an unattended run hold). Otherwise the window belongs to the user from the start.
int WindowWorkIsUnattended(const CommandLineSwitches& options);

// The settings of automatic work in the real window (WindowWorkIsUnattended): AutomaticMode on,
// drawing on, message boxes and file dialogs answered with their defaults and logged, and the
// automation thread created even when the command line was refused (so that the program ends
// with the batch's exit code). User-interface thread, before the main window is created.
void ApplyWindowAutomation();
// The end of automatic work that leaves the window open (a macro without EXIT): the user's
// answers, the user's settings and the user's keys again. User-interface thread.
void HandWindowToUser();

// The settings of a headless run: AutomaticMode and DrawingSuppressed on, message boxes
// answered with their default answer and logged. Call before the main window is created.
void ApplyHeadlessAutomation();

// Opens a report in the desktop's viewer (xdg-open, without a shell); in automatic mode or
// headless only writes "viewer not opened: " and the path to the log. Returns 1 when the viewer
// was started or the line written, 0 when the viewer could not start.
int OpenReportInViewer(const std::string& path);

// On the real-window backend without the desktop's viewer ("xdg-open") the user is told, in a
// box (or the log while nobody is there), once a session, that nothing can show the file, and 0
// is returned; otherwise 1.
int TellWhenNoViewer(const std::string& path);

// Creates the hidden window through which the automation's calls run on the user-interface
// thread (call on that thread, before the automation thread runs). Returns 1, or 0 when the
// window could not be created.
int OpenAutomationCallWindow();
// Destroys the hidden window (call on the user-interface thread before its message loop ends).
void CloseAutomationCallWindow();

// What the automation calls in the program (automation_steps.h):
// Runs the call on the user-interface thread through the hidden window and returns once it has
// run: 1, or 0 when the hidden window or the main window is gone.
int RunCallOnWindowThread(const std::function<void()>& call);
// 1 while the main window and the hidden window stand; asks nothing of the user-interface thread.
int AutomationWindowsStand();
// The command to MainWindow; the stock and NC data commands are handled with their lparam.
void SendCommandToMainWindow(unsigned command, MessageLParam lparam);
// A window command to MainWindow.
void SendSystemCommandToMainWindow(unsigned code);
// Posts WM_AUTOMATION_DONE to MainWindow.
void PostDoneToMainWindow();
// Starts a program without a shell (posix_spawnp), as the leader of a process group of its own,
// and waits for it: its exit status, or -1 when it could not be started. An abort signal or the
// program's shutdown (the window closed or its display went away, WorkerShutdownRequested) ends
// the wait: the whole group (the program and what it started) is asked to end (SIGTERM), ended
// (SIGKILL) when a process of it is left three seconds later, and the program reaped; the wait
// returns once no process of the group is left. The program's environment carries the EXEC
// nesting depth one above this one's.
int SpawnAndWait(const std::string& program, const std::string& argument);

// The program's display went away (called on the user-interface thread, which ends the process
// right after): the automation is asked to end as on the window's close, and while a program a
// macro's EXEC started runs, waits (a few seconds at most) for the automation thread to end that
// program's group and log the lines not run; whatever of the group is left then is killed.
void EndAutomationWithDisplay();

// The EXEC nesting depth: the number of macros' EXEC lines that started this process one inside
// the other, carried in the environment variable kExecDepthVariable (0 when absent or not a
// number). A macro that starts itself would otherwise start processes without end.
inline constexpr const char* kExecDepthVariable = "MIREXA_EXEC_DEPTH";
inline constexpr int kExecDepthLimit = 4;
int ExecNestingDepth();

// Connects the automation, the stock commands and the NC data commands to the running program
// (call once on the user-interface thread, after the other parts are connected and before
// RunProgram): the hidden window of the automation's calls (OpenAutomationCallWindow); the menu
// commands of the main window that are handled here; the automation thread's procedure; the
// basic model's loader; the report viewer; the abort signals' flag for the read loops
// (SetReadAbortFlag) and for the message boxes (SetMessageBoxEndFlag).
void ConnectAutomation();

// After the command line was read (commandLineRead: what ParseCommandLine returned): the
// file-size signal ignored (IgnoreFileSizeSignal), the headless settings when the program runs
// headless (ChooseHeadlessBackend), a failure of the
// batch when an argument was refused (in automatic mode), and the abort signals when automatic
// work was asked for.
void PrepareUnattendedRun(int realWindowAvailable, int commandLineRead);

}  // namespace mirexa
