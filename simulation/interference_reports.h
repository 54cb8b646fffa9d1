// The run's text reports in the working directory: the interference report ("interference.txt",
// one entry per block with events; or "interference2.txt", one line per interfering step, when
// the user has put a file of that name there) and the tool-load limit logs ("limitp.txt" for the
// cross-section, "limitsp.txt" for the removal rate). Each is opened lazily, rewritten every run,
// closed at the end of the run and shown in the viewer when something was written to it (in
// automatic mode the log names it instead).
//
// Writes go through the write-fault seam (platform/write_faults.h). An entry of the interference
// report is flushed when it is complete; a failed write, flush or close is logged once ("Report
// not written in full: <path> (<step>: <reason>)") and ends the writing of that file for the run.
//
// Text: UTF-8 (the NC line's bytes pass through untouched), every line ending in "\n". An NC
// line is written without the CR or LF it was read with, followed by one "\n", whether or not it
// was cut at the line buffer's length.
//
// The files' states are the run's (members of its reports, run_reports.h): each function works on
// the reports it is given.
//
// Threads: during a run only the simulation thread writes; the end of the run closes the files
// on the user-interface thread after the thread has been joined. A file that cannot be opened
// leaves its stream null, and nothing is then written to it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "config/config_records.h"
#include "simulation/interference_decisions.h"

namespace mirexa {

struct NcSession;
struct RunControls;
struct RunReports;

inline constexpr const char* kInterferenceReportName = "interference.txt";
inline constexpr const char* kInterferenceReport2Name = "interference2.txt";
inline constexpr const char* kSectionLimitLogName = "limitp.txt";
inline constexpr const char* kRemovalLimitLogName = "limitsp.txt";

struct InterferenceReportState {
    std::FILE* stream = {};        // null while closed
    std::int32_t secondForm = {};  // 1 while the report is "interference2.txt"
    // The block last written in the second form: its line number (0 at opening) and, inside a
    // subprogram, the subprogram's name, so that the same counter in another subprogram starts
    // a new block.
    std::int32_t lastLineNumber = {};
    std::int32_t lastInSubprogram = -1;  // -1: no block written yet
    char lastSubprogramName[64] = {};
    // 1 once a write, flush or close of the report failed (until it is opened again): the
    // failure is in the program log, and nothing more is written, so the file keeps every
    // entry written before the failure whole.
    std::int32_t writeFailed = {};
};

// Kinds of LimitLogState::kind.
enum LimitLogKind : std::int32_t { kLimitLogNone = 0, kLimitLogSection = 1, kLimitLogRemoval = 2 };

struct LimitLogState {
    std::FILE* stream = {};       // null while closed
    std::int32_t kind = {};       // LimitLogKind of the open (or last opened) log
    std::int32_t lineCount = {};  // lines written since it was opened
    // 1 once a write, flush or close of the log failed (until a log is opened again); as for
    // the interference report.
    std::int32_t writeFailed = {};
};

// The NC block an entry names. The texts are not owned and may be null ("").
struct ReportBlock {
    std::int32_t mainLineNumber = {};
    std::int32_t inSubprogram = {};    // 1 inside a subprogram
    const char* subprogramName = {};   // the innermost subprogram's name
    std::int32_t subprogramLine = {};  // and its line counter
    const char* ncLine = {};           // the NC line as read, with or without its line end
};

// The block of the NC line last read: its main line number, and inside a subprogram the innermost
// level's name and line counter. The block refers to the session's line's text.
ReportBlock GetCurrentReportBlock(NcSession& session);

// The path of a report in the working directory (FileLocations.currentDirectory, or the
// process's directory when that is empty); "" when it does not fit a path.
std::string GetReportPath(const char* name);

// --- Interference report ---------------------------------------------------------------------

// The kind list of the first form from the recorded kinds: the plain kinds joined by " + ", then
// the holder and head groups ("ARBORvsVICE,TABLE"). ATTACHMENT is never written.
std::string BuildFirstFormKindList(const InterferenceKindSet& kinds);

// The kind list of one step in the second form, from the step's flags and the record choices:
// kinds joined by "+", groups as in the first form; no BASIC pair, no ATTACHMENT.
std::string BuildSecondFormKindList(const InterferenceStep& step, const CheckSettings& checks);

// At a step with state 4 while no report is open: when a record choice applies to the step and
// "interference2.txt" exists in the working directory, rewrites it with its header and turns
// the second form on; without the file the second form stays off. Returns 1 when the second form
// is open.
int OpenInterference2Report(RunReports& reports, const InterferenceStep& step,
                            const CheckSettings& checks);

// Second form: the block line when the block differs from the last one written (its line number,
// or the subprogram it is in), then the step's kind list and ":". Nothing while the second form
// is not open.
void BuildInterferenceList(RunReports& reports, const ReportBlock& block,
                           const InterferenceStep& step, const CheckSettings& checks);

// The report work of one interfering step: opens the second form when no report is open, then,
// while the second form is open, writes the kind list and the step line (the step number, count,
// tool point and rotary angles, ending in "\n", as the caller formatted it).
void WriteInterferenceStepLine(RunReports& reports, const ReportBlock& block,
                               const InterferenceStep& step, const CheckSettings& checks,
                               const char* stepLine);

// After a block, for an event recorded and not yet written (event count 1; nothing otherwise):
// in the first form opens "interference.txt" when no report is open and writes the block's
// entry; in both forms rebuilds the status bar's kind text, clears the kinds, repaints the tool
// panel (not in automatic mode), plays "SystemHand" when sounds are on, and sets the event count
// to 2; the run's controls (none: no run) get the simulation state 0 and a tool panel repaint.
// Returns 1 when the event was written.
int WriteInterferenceReport(RunReports& reports, const ReportBlock& block,
                            RunControls* controls = nullptr);

// At the end of every run: writes an unwritten event, clears the event count and the kinds,
// closes the report and shows it (unless in automatic mode or with the no-report-display switch,
// when the log names it), and turns the second form off. Returns 1 when a report was closed.
int CloseInterferenceFile(RunReports& reports, const ReportBlock& block,
                          RunControls* controls = nullptr);

// --- Limit logs ------------------------------------------------------------------------------

// The limit type of a tool's load limit (ToolLoadLimitType), 0 for a tool outside the tables.
std::uint32_t GetToolLoadLimitType(std::int32_t tool);

// By the tool's limit type: 11 rewrites "limitp.txt" (kind 1), 12 "limitsp.txt" (kind 2), with
// the line count at 0 (a log still open is closed first); any other type changes nothing.
// Returns 1 when a log was opened.
int OpenLimitFile(RunReports& reports, std::int32_t tool);

// Writes one limit-log line (complete with its ending), opening the log for the tool first when
// it is not open; counts it when written.
void WriteLimitLogLine(RunReports& reports, std::int32_t tool, const char* line);

// At the end of a run: closes the log when it is open, and when lines were written to it, shows
// "limitp.txt" (kind 1), or "limitsp.txt" when the current tool's limit type is still 12 (in
// automatic mode the log names it). The kind and the count are reset, so that a later run that
// logs nothing shows nothing. Returns 1 when a log was shown (or named in the log).
int CloseLimitLog(RunReports& reports, std::int32_t currentTool);

// Shows a written report: the viewer, or in automatic mode (or with noViewer) an entry in the
// program log naming the file. The path joins the reports' list of shown reports.
void ShowReportFile(RunReports& reports, const char* path, int noViewer);

}  // namespace mirexa
