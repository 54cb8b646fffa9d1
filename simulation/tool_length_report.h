// The required-tool-length report line written when the use of a tool ends (how far the tool
// must stick out, its neck, edge height and tip), and the snapshot of the motion state that the
// run, the main window and the dialogs keep before moving the machine for a look.
//
// The report file is the run's business: the simulation thread fills the current tool's brief
// (CurrentToolState) when a tool becomes current, the main window opens the report output (the
// window's run's, run_reports.h) before the run starts, the interference checks of the cut fill
// the measurements. The simulation run and the user interface never write a line at the same
// time (the run-control handshake keeps them apart). The motion snapshot is a run's too: its
// steps save it at an alarm, the window's jog and dialogs save the window's run's, and the view
// swaps to the window's run's.
#pragma once

#include <cstdio>

#include "config/current_tool_brief.h"
#include "geometry/machine_kinematics.h"
#include "services/run_mode.h"

namespace mirexa {

struct NcSession;

// The value of ARBOR CHECK, HEIGHT CHECK and CHIP-W CHECK that asks for a part of the line.
constexpr int kToolLengthCheckOutput = 1;

// What the report asks for and where it goes.
struct ToolLengthReportOutput {
    int arborCheck = {};      // ARBOR CHECK: OUTPUT asks for the length and neck parts
    int heightCheck = {};     // HEIGHT CHECK: OUTPUT asks for the edge height
    int chipWidthCheck = {};  // CHIP-W CHECK: OUTPUT asks for the tip width or centre height
    // The automation's batch kind of the run; the automation's result runs write no lines.
    BatchRunKind batchKind = BatchRunKind::kNone;
    std::FILE* stream = {};  // the report file, owned by the main window; null when none is open
};

// What the interference checks of the cut measured for the tool in use (mm; a cutting state's
// measured).
struct ToolLengthMeasurements {
    int lineDue = {};      // 1: a line is due for the current tool
    double stickOut = {};  // required stick-out length
    double neckLu = {};    // required neck length Lu
    double neckLt = {};    // required neck length Lt; negative when no length fits
    // The bounds of the neck length search: equal when the neck length is not settled.
    double neckSearch[2] = {};
    double edgeHeight = {};    // required cutting edge height
    double tipWidth = {};      // required tip width (VERTICAL tools)
    double centreHeight = {};  // required centre height (RADIUS tools)
};

// Clears every measured value and the line-due flag.
void ClearToolLengthMeasurements(ToolLengthMeasurements& measured);

// Capacity of a report line, its end included.
constexpr int kToolLengthLineCapacity = 512;

// When at least one of the three checks of the output is OUTPUT, its run mode is below 4 and a
// line is due (the measures given), composes the line of the current tool in the language of
// UiLanguage ("T%02d:" or "TMP:" and the tool's display name from UiHooks.currentToolTypeName,
// then the asked-for parts; lengths, neck lengths and heights with a margin of 1.0, tip width and
// centre height without) and appends it to the output's stream, then clears the measurements.
// Returns 1 when the line was written; 0 when none was due or asked for (nothing changes); -1
// when the stream is missing or refused the line (the measurements are cleared all the same, so
// that they do not pass to the next tool).
int WriteToolLengthReportLine(const ToolLengthReportOutput& report,
                              ToolLengthMeasurements& measured);

// The line WriteToolLengthReportLine would write, composed into out (NUL-terminated, cut to
// the capacity) from the measures given; the measurements are not touched.
void FormatToolLengthReportLine(const ToolLengthReportOutput& report,
                                const ToolLengthMeasurements& measured, char* out, int capacity);

// A saved motion state.
struct MotionStateSnapshot {
    int toolNumber = -1;  // negative when nothing is saved
    MotionPosition program = {};
    MotionPosition machine = {};
    MotionPosition workOrigin = {};
    double toolPoint[3] = {};
    double toolAxis[3] = {};
};

// Copies the current tool number (CurrentToolState), the program and machine positions of the
// records' pose (or the session's), their work origin and the tool point and axis into the
// snapshot.
void SaveMotionState(const KinematicsSessionRecords& records, MotionStateSnapshot* snapshot);
void SaveMotionState(NcSession& session, MotionStateSnapshot* snapshot);
// The same without the tool number, into out.
void CaptureMotionState(const KinematicsSessionRecords& records, MotionStateSnapshot* out);
void CaptureMotionState(NcSession& session, MotionStateSnapshot* out);

}  // namespace mirexa
