// The data check: the whole NC program pulled through the step driver without cutting or
// drawing, collecting the extents of the motion, feeds and spindle speeds, the D, H and T
// numbers used, the tools in their order of use and the machining-time estimate.
//
// Threads: runs on the calling thread (the user-interface thread in the program) in an NC session
// of its own, started from the caller's session; the statistics and DataCheckResult are
// program-wide, so one check runs at a time.
#pragma once

#include <string>
#include <vector>

#include "nc/machining_time.h"
#include "platform/window.h"

namespace mirexa {

struct NcSession;

// Modes of the data check.
inline constexpr int kDataCheckAll = 1;     // "Check Data": everything
inline constexpr int kDataCheckMinMax = 2;  // "Check Min-Max": the extents only

// The start of an empty extent (mm); a minimum above its maximum means nothing was seen.
inline constexpr double kDataCheckExtentStart = 9999999.0;
inline constexpr int kDataCheckOffsetNumbers = 1000;  // D and H numbers 0 .. 999

struct DataCheckExtent {
    double min[3] = {kDataCheckExtentStart, kDataCheckExtentStart, kDataCheckExtentStart};
    double max[3] = {-kDataCheckExtentStart, -kDataCheckExtentStart, -kDataCheckExtentStart};
};

struct DataCheckRecord {
    // Extents (mm) of X, Y, Z. The program and machine extents take the tool tip on the tool
    // axis (the block's last position less the current tool's length value); arcs add their
    // bounding box in their plane.
    DataCheckExtent program = {};        // program (work) coordinates
    DataCheckExtent machine = {};        // the program extent plus the work origin
    DataCheckExtent toolPointWork = {};  // the kinematics' tool point less the work origin
    DataCheckExtent toolPoint = {};      // the kinematics' tool point, machine coordinates
    // Where the program cuts: the kinematics' tool point (machine coordinates, the stock's frame)
    // along every move that is not a rapid, its start and its end, and an arc's bounding box in
    // its plane.
    DataCheckExtent cutting = {};
    // Feeds (mm/min) of the feed moves and the largest spindle speed (min^-1).
    double maxFeed = {};
    double maxCuttingFeed = {};  // the largest feed below RAPID FEEDRATE
    double minFeed = kDataCheckExtentStart;
    double maxSpindle = -kDataCheckExtentStart;
    // Numbers used: D and H 0 .. 999, T one flag per tool slot 0 .. magazine.
    unsigned char dUsed[kDataCheckOffsetNumbers] = {};
    unsigned char hUsed[kDataCheckOffsetNumbers] = {};
    std::vector<unsigned char> tUsed;
    // The tool number of each tool ordinal 1 .. toolCount, in the order of use (entry 0 unused).
    int toolList[kTimedToolOrdinalsMax + 1] = {};
    int toolCount = 1;
    // 1 when the program changed tools more often than the list holds: the later tools' times
    // went to the last entry.
    int toolListFull = {};
    int error = {};  // the interpreter's error that ended the run (0 none); 3 no start or no file
    int errorLine = {};  // the main-file line number the run ended in (its alarm's line)
    int mode = {};       // the mode of the last run
};
// The results of the last run: Check Min-Max refreshes only the extents and the error.
extern DataCheckRecord DataCheckResult;

// The mode of the run in progress (0 none).
extern int DataCheckMode;

// Where the moves come from when a path-reader plug-in reads the program; null hooks mean plain
// NC text (the program file).
struct DataCheckHooks {
    // Opens the program through the active path-reader plug-in; 1 when it did (the plug-in then
    // reads), 0 to read the NC file.
    int (*openPathReader)(NcSession& session, const char* path) = {};
    // Closes the plug-in's reading (its CLOSE with argument 3).
    void (*closePathReader)() = {};
};
extern DataCheckHooks DataCheckCallbacks;

// What one data check gives its caller.
struct DataCheckOutcome {
    // 1 when the program ran to its end; 0 when it stopped at an error, could not be opened
    // (error 3) or the mode is unknown (nothing done).
    int ran = {};
    int error = {};            // the interpreter's error that ended the check (0 none)
    int errorLine = {};        // the main-file line number the check ended in
    int errorColumn = {};      // 1-based column of the character the line check refused (0 none)
    char errorCharacter = {};  // that character
    // The extents of this check (as in DataCheckRecord).
    DataCheckExtent program = {};
    DataCheckExtent machine = {};
    DataCheckExtent toolPointWork = {};
    DataCheckExtent toolPoint = {};
    DataCheckExtent cutting = {};
};

// Runs the data check of the NC program at `path` in mode kDataCheckAll or kDataCheckMinMax,
// with the progress display on `owner` ("Check Data" / "データチェック", "Check Min-Max" /
// "最大最小チェック"). The definition files must have been read and the session's controller view
// refreshed from them (RefreshNcControllerView), as for every puller. The check interprets the
// program in a session of its own, started from where the caller's session stands, and stops at the
// first interpreter error. DataCheckResult takes its results. The caller's session keeps its
// program position, work origin, offsets and current tool (a tool a communication plug-in supplied
// during the check becomes its current tool); its interpreter is reset and its run status carries
// the check's error.
DataCheckOutcome RunNcDataCheck(NcSession& caller, WindowHandle owner, const std::string& path,
                                int mode);

}  // namespace mirexa
