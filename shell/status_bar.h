// The main window's title and the text parts of its status bar, rebuilt from the program's state
// after every change of it, and the creation of the status bar with its two progress bars.
//
// Threads. The title, the status bar and StatusInputs belong to the user-interface thread (the
// thread of the main window and its status bar): StatusInputs is read and written there only,
// and the title and the bar are drawn there only. Another thread (the simulation thread, the
// automation thread) never touches StatusInputs: it hands its change to RequestStatusBarRefresh,
// which runs the change and the redraw on the user-interface thread through a message posted to
// the main window. UpdateMainTitle and DrawStatusBar called on another thread draw nothing and
// read nothing there; they post the same request.
#pragma once

#include <functional>
#include <string>

#include "platform/window.h"
#include "services/run_mode.h"

namespace mirexa {

// The program's edition name: the title's start when no machine is named.
inline constexpr const char* EDITION_NAME = "MIREXA7";

// Status bar parts.
constexpr int STATUS_PART_COUNT = 10;
constexpr int STATUS_PART_MESSAGE = 0;
constexpr int STATUS_PART_PERCENT = 1;
constexpr int STATUS_PART_STOP_KIND = 3;
constexpr int STATUS_PART_STOP_KEYS = 4;
constexpr int STATUS_PART_WORKPIECE = 5;
constexpr int STATUS_PART_MODE = 6;
constexpr int STATUS_PART_BASIC = 7;
constexpr int STATUS_PART_DISPLAY = 8;
constexpr int STATUS_PART_MACRO = 9;

// The macro automation's state shown in part 9; the break counter and the completed flag are
// consumed (reset) when shown.
struct MacroRunState {
    int running = {};
    int breakCount = {};
    int completed = {};
    std::string currentLine = {};
};

// The state the title and the status bar show. Its owners (machine file, NC program selection,
// definition files, run control, settings, macro automation, stock and view, interpreter) write
// it; the defaults are the state of a program that has loaded nothing and runs nothing.
struct StatusBarInputs {
    // Title.
    std::string machineName = {};  // the machine file's NAME
    std::string ncProgramPath = {};
    std::string secondNcPath = {};
    std::string toolsFilePath = {};
    std::string controllerFilePath = {};
    std::string machineFilePath = {};
    RunMode runMode = RunMode::kIdle;
    int skipView = 1;   // [NCdata] SKIP VIEW: redraw interval of real cutting
    int skipBlock = 1;  // [NCdata] SKIP BLOCK: redraw interval of skip cutting
    int stockOperationRunning = {};
    // Parts 3 and 4: a stop before a block.
    int stopPending = {};
    int offsetAlarm = {};
    int interferenceEventRecorded = {};
    std::string interferenceKindText = {};
    int pauseBlinkOn = {};
    // Part 9.
    MacroRunState macro = {};
    // Part 7: the reference model and the difference-paint side (1 both, 2 plus, >2 minus).
    std::string basicModelTitle = {};
    int differencePaintSide = {};
    // Part 8: view flags and machine shape.
    int viewFollowsTableAxes = {};
    int machineHasLinearTableAxes = {};
    int perspective = {};
    int rotaryType = 1;  // ROTARY TYPE of the machine file
    int viewFollowsRotaryAxes = {};
    // Part 5.
    int workOffsetIndex = {};  // 0 none, 1..200
    int dialect = {};          // 0 the standard dialect
    // Part 6: the interpreter's modes.
    int siemensDialect = {};
    int toolCenterPointMode = {};       // 0 off, 1 type 1, 2 type 2
    int toolCenterPointAngleForm = -1;  // -1 none (vector), 0 Euler, 1 RPY, 2 RPY2
    int tiltedWorkPlane = {};
    int coordinateRotation = {};
    int polarInterpolation = {};
    int cylindricalInterpolation = {};
    int planeCode = 17;             // 17, 18, 19, or negated
    int alternativeModeNames = {};  // the controller's naming flag for the Japanese mode texts
};

// Read and written on the user-interface thread only.
extern StatusBarInputs StatusInputs;

// Reads the inputs the user-interface thread owns from the program's records: the machine name,
// the selected NC program and definition files, the view's follow and perspective flags and the
// machine's table axes and ROTARY TYPE.
void ReadProgramStatus(StatusBarInputs* in);
// Reads the interpreter's part of the inputs: the work coordinate system, the dialect and the
// machining modes. Called by the thread that owns the interpreter's records (the simulation
// thread during a run, which hands the result to RequestStatusBarRefresh).
void ReadInterpreterStatus(StatusBarInputs* in);
// Copies the fields ReadInterpreterStatus fills.
void CopyInterpreterStatus(const StatusBarInputs& from, StatusBarInputs* to);
// User-interface thread, before the main window draws its title and bar: ReadProgramStatus into
// StatusInputs, and ReadInterpreterStatus too while no run owns the interpreter.
void RefreshStatusInputs();
// User-interface thread, after a change of the program's state: RefreshStatusInputs, then the
// title of the main window and the status bar drawn from them.
void ShowProgramStatus(WindowHandle mainWindow);
// Any thread: the interpreter's modes changed. Read on the calling thread (the interpreter's
// owner) and shown by the user-interface thread.
void RefreshInterpreterStatus();

// Posted to the main window by the refresh requests of other threads; the main window's procedure
// answers it with HandleStatusRefresh.
constexpr unsigned WM_STATUS_REFRESH = WM_USER + 200;

// A change of the inputs, run on the user-interface thread.
using StatusInputsChange = std::function<void(StatusBarInputs& inputs)>;

// Any thread: runs the change (when one is given) on StatusInputs, then redraws the status bar
// (DrawStatusBar), both on the user-interface thread: at once when called there, else when the
// main window handles WM_STATUS_REFRESH, which is posted unless one is on its way already. Changes
// that wait run in the order of their requests, before any later drawing of the title or the bar
// on the user-interface thread; one redraw serves them all. Returns 1 when done or posted; 0 when
// there is no main window to post to (the change waits for the next refresh).
int RequestStatusBarRefresh(StatusInputsChange change = {});

// User-interface thread, on WM_STATUS_REFRESH: runs the waiting changes in order, then rebuilds
// the title and redraws the status bar as they were asked for. Returns 1, or 0 (doing nothing)
// on another thread.
int HandleStatusRefresh();

// Creates the main window's status bar with its parts and the two hidden progress bars, and
// publishes them (MainStatusBar, MainProgressBar, SecondProgressBar). Returns 1, or 0 when a
// control could not be created.
int CreateMainStatusBar(WindowHandle mainWindow);

// Lets the progress display rebuild the title through UpdateMainTitle.
void ConnectProgressToMainTitle();

// Rebuilds the title of the given (main) window: the machine name (the edition name when no
// machine is named), " - ", the NC program's file name (and "/" and the second NC path's name
// when one is set), the definition file names in parentheses, then the run mode, or, when idle,
// " - " and the caption of the running progress (GetProgressStatusText) when there is one.
// Leaves the title alone while drawing is suppressed during a run or a stock operation. On a
// thread other than the window's it only asks the window's thread to do so (as
// RequestStatusBarRefresh does); nothing for a window that does not exist.
void UpdateMainTitle(WindowHandle window);

// Sets status-bar parts 2 to 9 from the state and returns 1. On a thread other than the status
// bar's (the main window's while there is no bar) it touches nothing, asks for the redraw as
// RequestStatusBarRefresh does, and returns 0.
int DrawStatusBar();

}  // namespace mirexa
