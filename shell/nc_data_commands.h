// The NC data and definition-file commands of the main window that unattended runs send:
// selecting the NC program (with the optimal box stock around its path on request), the
// cutting-information report, and loading the tools, controller and machine files. They run the
// data check, the report and the view themselves; only the open dialogs and the path-reader
// plug-ins, which are not there yet, are reached through NcDataCommandCallbacks.
//
// Threads. Everything here runs on the user-interface thread.
#pragma once

#include <string>

#include "nc/data_check.h"
#include "platform/window.h"
#include "resources/program_resources.h"

namespace mirexa {

// The interpreter error of an NC program that does not exist.
inline constexpr int kNcProgramMissingError = 101;

// What the data check of a program found: its interpreter error (0 none), where it cuts (the
// tool point along its feed moves) and where its tool goes at all (the tool point along every
// move), in machine coordinates, the frame the stock is built in (mm; an empty extent has its
// minimum above its maximum).
struct DataCheckExtents {
    int error = {};
    double cutMin[3] = {};
    double cutMax[3] = {};
    double pathMin[3] = {};
    double pathMax[3] = {};
};

// Calls of these commands into the parts built apart from them. A null hook means nothing there
// (a dialog: cancelled).
struct NcDataCommandHooks {
    // The path-reader plug-in slot whose suffix list holds the path's extension, or -1.
    int (*pathReaderSlot)(const std::string& path) = {};
    // The version and environment dialog (modal; its answer is not used).
    int (*versionDialog)() = {};
};
extern NcDataCommandHooks NcDataCommandCallbacks;

// The commands' own state.
struct NcDataCommandState {
    int activePathReader = -1;  // the path-reader plug-in of the program, -1 plain NC text
    int selectedState = {};     // 0 none, 1 first selection, 2 a later one
};
extern NcDataCommandState NcDataCommands;

// The NC program to open: as given; a bare name in the NC directory ([NCdata]); with ".NC"
// appended when that names a file; else the file of that name in the program's folder after the
// question "Is the one of the program side folder acceptable?" (answered Yes in automatic mode).
// Returns 1 with *path replaced, 0 when nothing was found.
int ResolveNcProgramPath(std::string* path);

// The optimal box around where a program cuts, in machine coordinates: X and Y from the cutting
// extent widened by the work margins, Z from 10 mm below its lowest point to its highest raised
// by the Z margin; when nothing is cut (no feed move) the path's X and Y widened by the margins,
// with the top 5 mm below the path's lowest Z and the bottom 20 mm below that. With a pitch the
// box is then made whole pitches: X and Y grow from the lower corner, Z from the top down, so
// that the top stays where the cutting begins (at least two nodes per axis). Fills box (min x,
// y, z, max x, y, z) and returns 1; returns 0 with box untouched when the path is empty too (a
// program without motion).
int ComputeOptimalStockBox(const DataCheckExtents& extents, const double margin[3], double pitch,
                           double box[6]);

// The results of a data check as the Check Data (kDataCheckAll: extents, feeds, spindle speed,
// tools in their order of use, D and H numbers, machining time) or Check Min-Max command
// (extents only) shows them, in the interface's language. Lengths in mm, feeds in mm/min, times
// in h:mm:ss.
std::string FormatDataCheckSummary(const DataCheckRecord& result, int mode);

// Opens the manual page (DefinitionFiles.helpPath) with the desktop's default viewer; says so
// in a message box when the page or the viewer is missing. Nothing in automatic mode. Returns 1
// when the viewer took the page.
int OpenHelpPage();

// The title's file names (StatusInputs) from the selected NC program, the three definition files
// and the machine's name; the caller then updates the title.
void PublishSelectedFiles();

// Makes path the settings file: the settings of the one in use are written back to it first
// (unless unattended), then every setting is read from the new one (the command line's values
// stay), then the tools, controller and machine files it names; the NC program and the stock stay.
// Returns 1 when the new file held settings, 0 when it did not (a message says so and the
// settings file in use stays).
int SwitchSettingsFile(WindowHandle window, const std::string& path);

// Joins the run's end to the interpreter: the closing of the alarm report and the NURBS buffers.
void ConnectDataCheckCommands();

// Handles IDM_NC_SELECT, IDM_NC_SELECT_OPTIMAL_STOCK, IDM_NC_REPORT, IDM_NC_CHECK_DATA,
// IDM_NC_CHECK_MIN_MAX, IDM_TOOLS_FILE, IDM_CONTROLLER_FILE, IDM_MACHINE_FILE,
// IDM_SETTINGS_FILE (through an open dialog of "*.ini" files), IDM_HELP,
// IDM_HOME_PAGE, IDM_VERSION_INFO or IDM_EXIT with its lparam (32773: 1 silent). Returns 1 when
// the command is one of them, 0 otherwise.
int HandleNcDataCommand(WindowHandle window, unsigned command, MessageLParam lparam);

}  // namespace mirexa
