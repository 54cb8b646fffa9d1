// The reports and end records of one cutting run, in one record that the run holds
// (CuttingRun::reports): the interference report and the limit log it writes, the reports it
// showed, the long rotary move warning file, what it keeps from its start for its end, the
// tool-length report output, the motion state saved at its last alarm and the interference kinds
// it recorded. The steps reach it through their context (MoveStepContext::reports), the report
// hooks take it as a parameter, and the run's end works on it once the thread is joined. Outside
// a run (the window's jog and dialogs, the view, the end of the window's runs) the window's run
// has one (shell/run_commands.h); a test or a tool keeps the reports of its own runs.
//
// Threads: while the run goes its thread writes the record; the user-interface thread reads only
// the recorded kinds (atomic) until the thread has been joined.
#pragma once

#include <string>
#include <vector>

#include "simulation/interference_decisions.h"
#include "simulation/interference_reports.h"
#include "simulation/rotary_warning_file.h"
#include "simulation/run_end.h"
#include "simulation/tool_length_report.h"

namespace mirexa {

struct RunReports {
    InterferenceReportState interference;
    LimitLogState limitLog;
    // The reports shown (or named in the log) since the run was prepared, in order.
    std::vector<std::string> shown;
    WarningFileState warningFile;
    RunEndFacts end;
    // Set up by the run's owner before the run starts (the window opens it for its runs).
    ToolLengthReportOutput toolLength;
    // The motion state of the last alarm, kept across the runs of one run object: the view swaps
    // to the window's run's.
    MotionStateSnapshot motionSnapshot;
    InterferenceKindSet kinds;
};

// The one reset at a run's start (PrepareCuttingRun): the recorded kinds and the event count,
// the list of shown reports, the end facts, and the limit log (closed first when a run left it
// open). The interference report and the warning file are closed at every run's end and stay as
// they are: a warning written outside a run (a jog) goes into the window's next run's file. The
// tool-length output is its owner's, set up before the start, and the motion snapshot is kept
// for the view.
void ResetRunReports(RunReports& reports);

}  // namespace mirexa
