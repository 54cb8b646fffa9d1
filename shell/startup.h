// Start-up and shutdown of the program: the fixed start-up order (system facts, plug-ins,
// command line, settings and definition files, resources, the automation thread created held,
// the main window, the message loop), the fixed shutdown order and the exit code; the main
// window's class and placement.
//
// Threads. Everything here runs on the user-interface thread (the thread that calls
// RunProgram).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "platform/window.h"

namespace mirexa {

// What start-up and shutdown call of the features not built yet, in the order of the fields, and
// the automation thread's body. A null service is skipped.
struct StartupServices {
    // Start-up.
    void (*loadPlugins)() = {};       // 2
    void (*createPanelBrush)() = {};  // 9
    void (*loadSoundEffects)() = {};  // 12
    // 17: the automation thread's body; null: a body that ends the program at once.
    void (*automationThreadProc)() = {};
    // Shutdown.
    void (*freeSoundEffects)() = {};  // 6
    void (*unloadPlugins)() = {};     // 9
};
extern StartupServices StartupCallbacks;

// Start-up step 4: reads the command line (its refused arguments reported), and prepares an
// unattended run on the headless backend. 1 when every argument was read.
int ReadProgramCommandLine(const std::string& text);

// Start-up step 8: reads the settings file (its messages reported); the tool starts at the
// control point.
void ReadProgramSettings();

// The measuring trace: 10,000 points of three doubles and 10,000 one-byte marks (first mark 1),
// allocated at start-up and freed at shutdown.
constexpr int TRACE_POINT_COUNT = 10000;
extern std::vector<double> TracePoints;
extern std::vector<std::uint8_t> TracePointMarks;

// --- Main window -------------------------------------------------------------------------------

// The window class of the main window (our records: the platform has no class registry).
struct MainWindowClass {
    std::string name = {};  // the edition name
    WindowProcedure procedure = {};
    int icon = {};
    int menu = {};  // 0 without a menu bar (-N)
    int registered = {};
};
extern MainWindowClass MainClass;

// The default place and size of a main window that has none of its own (pixels).
inline constexpr WindowRect DEFAULT_MAIN_WINDOW_RECT = {0, 0, 1024, 768};

struct MainWindowPlacementChoice {
    WindowRect rect = {};
    int usedDefault = {};  // the default place and size were taken
    int show = {};         // the show command
};

// Where the main window opens: the command line's rectangle when given; else, with [Save]
// DISPLAY non-zero, the saved X, Y, WIDE and HEIGHT when all four are there (a missing one, -1,
// or a size below 1 takes the default place and size instead); else the default. Shown
// minimised in a minimised batch run, else with [Save] SHOW when a saved or given rectangle is
// used, else with the caller's show command. Whatever the source, the rectangle is made to fit
// the screen's work area `screen` (see FitRectToScreen).
MainWindowPlacementChoice ChooseMainWindowPlacement(const CommandLineSwitches& options,
                                                    const ProgramSettings& settings,
                                                    int showCommand, int minimisedBatchRun,
                                                    const WindowRect& screen);
// The rectangle shrunk to the screen's size where it is larger, then moved onto the screen where
// it lies partly off it, so that the whole window (its status bar included) can be seen.
WindowRect FitRectToScreen(const WindowRect& rect, const WindowRect& screen);

// Registers the main window's class (name from the string table, no menu with -N).
void RegisterMainWindowClass();
// Creates, shows and paints the main window; returns 1, or 0 when it could not be created.
int CreateMainWindow(int showCommand);

// --- Program -----------------------------------------------------------------------------------

struct ProgramStart {
    std::string commandLine = {};  // the arguments behind the program name
    int showCommand = SW_SHOW;
    // Close the window as soon as it has painted once when nothing automatic runs (the headless
    // backend has no user to close it).
    int closeWhenIdle = {};
    // The work wanted the real window but there is no display: it runs unattended on the headless
    // backend, and the log says so.
    int noDisplay = {};
};

// The exit code: -1 after an aborted run under run mode 5 or 6, else the quit code. A POSIX
// shell sees -1 as 255.
int ProgramExitCode(int quitCode, int abortedBatchRun);

// The program from start-up to shutdown; returns the exit code, or 0 when the main window could
// not be created (nothing is torn down then).
int RunProgram(const ProgramStart& start);

// The message loop: accelerators are routed to the main window whatever window has the focus;
// returns the quit code.
int RunMainMessageLoop();

}  // namespace mirexa
