// The long rotary move warning file of a cutting run: "<program>_warning.txt" beside the NC
// program, one entry for each jump of a rotary axis that the rotary solutions report. The file's
// state is the run's (a member of its reports, run_reports.h).
#pragma once

#include <cstdio>
#include <string>

namespace mirexa {

struct CuttingRun;
struct NcSession;

struct WarningFileState {
    std::FILE* stream = {};
    int count = {};    // entries written since the file was opened
    std::string path;  // the path of the last file opened
};

// The warning file path for an NC program path: the extension replaced by "_warning.txt", or
// that ending appended when the file name has no extension.
std::string MakeWarningFilePath(const std::string& programPath);
// Creates the warning file of the session's source location's program with its header; 0 when the
// controller's warning level is below 1 or the file cannot be created.
int OpenWarningFile(WarningFileState& file, NcSession& session);
// Appends one entry (angles in deg) for the block of the session's source location, opening the
// file first when needed; 1 when it was written.
int WriteLongRotaryMoveWarning(WarningFileState& file, NcSession& session, double from1,
                               double from2, double to1, double to2);
// Closes the file at the end of a cutting run; returns the entries written and resets the count.
int CloseWarningFile(WarningFileState& file);

// The rotary solutions' long-move report (RotaryMoveCallbacks.longRotaryMove, which carries no
// run): on a run's thread (RunOfThisThread) the entry goes to that run's warning file at its
// session's block; on any other thread (a jog, a dialog, a redraw of the window) to the warning
// file of outsideRuns at the run session's block, so that the window's next run takes it.
int ReportLongRotaryMove(CuttingRun& outsideRuns, double from1, double from2, double to1,
                         double to2);

}  // namespace mirexa
