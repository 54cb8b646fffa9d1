// The start and the end of a cutting run on the user-interface thread: what is kept before the
// thread starts (the work offsets, the limit log, cleared events), and the one end-of-run routine
// for a normal, an alarm and an aborted end, which the run timer calls once the thread has been
// joined. Also the alarm code of an alarm end, and the hooks that connect the simulation thread
// to the decisions and reports.
//
// The end of a run in order (aborted: the left column; normal or alarm end: the right one):
//   aborted                                      normal / alarm
//   macro break 1; subprogram files closed       panel, scene and view redrawn; subprogram
//   exit code -1 in batch modes; end marked        files closed; no start character: error 3
//   limit log closed and shown                   alarm end: macro break 2, state 0, tool
//   warning file closed and shown, 100 ms          panel, "SystemHand", the alarm code and its
//   alarm file and interference report closed      message, rewind to the start point
//   timers killed, cursor, view spin             tool-length report
//   end snapshot; program position = start       run mode 0; limit log closed and shown
//   work offsets and index restored              warning file closed and shown, 100 ms
//   interpreter reset, machine position          alarm file and interference report closed
//   scene and view redrawn; sound, AVI frame     tool panel, progress, AVI stopped, menus,
//   "\tESC" pressed; NC stream, NURBS, editor      status bar
//   line held cleared; status bar; panel
//   tool-length report; pending stop, run mode
//   and run error cleared; progress; AVI
//   stopped; menus; stop-mode selector;
//   depth 0; abort and end mark cleared
#pragma once

#include <atomic>
#include <cstdint>

#include "config/offset_tables.h"
#include "geometry/machine_kinematics.h"
#include "platform/window.h"
#include "simulation/interference_decisions.h"
#include "simulation/interference_flags.h"

namespace mirexa {

struct CuttingRun;
struct NcSession;
struct RunReports;
struct StockModel;

// Where an aborted or alarm run returns to: the window's, kept across its runs (the window's run
// state holds it, shell/run_commands.h).
struct RunStartPoint {
    // The program position: set at window creation or by a path reader's start point
    // (SetRunStartPoint). Until it is set, a run returns to where it started.
    MotionPosition position = {};
    std::int32_t set = {};
    // The work origin the start point was taken in: the rewind re-expresses the start point in
    // the work origin it restores, so that the machine returns to where the start point lay even
    // when a run changed the active work offset in between.
    MotionPosition workOrigin = {};
};

// What one run keeps from its start for its end, and how it ended (a member of the run's
// reports, run_reports.h).
struct RunEndFacts {
    // The work offset table and index before the run (PrepareCuttingRun); restored only when
    // they were kept.
    MotionPosition savedWorkOffsets[kWorkOffsetEntries] = {};
    std::int32_t savedWorkOffsetIndex = 1;
    std::int32_t workOffsetsSaved = {};
    // Where an aborted run stood: the program and machine positions, the work origin, the tool
    // point and axis.
    MotionPosition endProgram = {};
    MotionPosition endMachine = {};
    MotionPosition endWorkOrigin = {};
    ToolPose endTool = {};
    // The alarm code shown at the run's alarm end (0 none).
    std::int32_t lastAlarmCode = {};
    // 1 while the end of the run is being performed.
    std::atomic<std::int32_t> endInProgress{0};
};

// Sets the program position that an aborted or alarm run returns to, in the run's work origin.
void SetRunStartPoint(RunStartPoint* start, const MotionPosition& position);

// At the start of a run, before the interpreter is reset: resets the run's reports
// (ResetRunReports: the events, the recorded kinds, the list of shown reports, a limit log left
// open closed), keeps the work offset table and index and opens the limit log of the current
// tool (a tool that logs rewrites its file even when nothing is logged later). Called first by
// the run's thread (StartCuttingRun's body).
void PrepareCuttingRun(NcSession& session, RunReports& reports);

// What the interference decisions read of the last step: the step's flags (those of the cutting
// state that made it), the move's kind and feed, the spindle, and whether the stock given (the
// run's) is there to cut.
InterferenceStep MakeCurrentInterferenceStep(const InterferenceFlagSet& flags, NcSession& session,
                                             const StockModel* stock);

// The alarm code of an alarm end, first match wins: taper 5; the structure pairs in pair order
// (11-14, 17-21, 24-27, 30-34, 37-42, 45); attachment 8; arbor 2; over-length 3; contact with
// the spindle stopped while SPINDLE CHECK is on 9; over-chip 4; over-travel 91; interpreter error
// e gives 100 + e; otherwise 1 for a rapid, 7 when the alarm position was saved (a tool-load
// alarm), else 6, and *alarmSound is set for these three.
int ChooseAlarmCode(const InterferenceStep& step, int spindleCheck, int overTravel,
                    int interpreterError, int alarmPositionSaved, int* alarmSound);

// The end of a run whose thread has been joined, on its session, stock and reports, rewinding to
// the start point: aborted 1 for the end of an aborted run, 0 for a normal or alarm end (see the
// orders above) by how the run's thread ended (its result's end); the alarm is judged on the flags
// of the run's last step (its cutting state's). Returns the alarm code shown, 0 for none.
int FinishRun(CuttingRun& run, const RunStartPoint& start, WindowHandle window, int aborted);

// The end of an aborted run (FinishRun with aborted 1).
void FinishAbortedCuttingRun(CuttingRun& run, const RunStartPoint& start, WindowHandle window);

}  // namespace mirexa
