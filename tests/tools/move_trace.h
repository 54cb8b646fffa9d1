// The move trace of the tests: an NC program pulled through the step driver from reset to its
// end, one text line per move, for golden files and the nctrace program.
#pragma once

#include <functional>
#include <string>

#include "geometry/machine_kinematics.h"
#include "simulation/move_stepping.h"
#include "simulation/simulation_thread.h"

namespace mirexa::testing {

// One line per move handed out with motion: the source line (the main file's line, a subprogram's
// line in the NC file when it runs from memory, "<name>:<line>" in a subprogram file; for a move
// of the compensation look-ahead its element's line, negated for corner and connecting moves),
// the motion type, the last position (X Y Z and the two rotary axes), for arcs the transformed
// centre and the sweep, and the feed, all at %.4f. A radius-offset alarm adds a line "ALARM
// INTERFERENCE IN RADIUS(%.3f) OFFSET <main-file line>" before the move of its call. The run ends
// with a line "END state <s> error <e>"; a program whose start character never appeared ends
// with error 3, as the data check reports it.
//
// Every block is taken as the simulation takes it (TakeFetchedBlock: tool changes, the
// re-synchronisations, the block end), and the machine then stands at the move's end, posed
// through the kinematics as at the last step of the simulation's stepping; `withMachine` adds
// that machine position to each move line (" MX.. MY.. MZ.. MA.. MB..", %.4f).
//
// The program index is loaded first when the controller runs from memory. `afterEachCall`, when
// given, runs after every call of the step driver (tests check invariants there). At most
// `maxCalls` calls are made; a run cut there ends with "END cut".
std::string TraceNcProgram(NcSession& session, const std::string& programPath,
                           const std::function<void()>& afterEachCall = {},
                           long maxCalls = 10000000, bool withMachine = false);

// A trace pulled step by step, so that traces of several sessions can be pulled in turn on one
// thread: OpenNcTrace opens the session on the program (0 and the end line emitted when it
// cannot), then each StepNcTrace makes one call of the step driver and emits what the trace
// makes of it, until it answers 0 after emitting the end line. Every record the trace reads and
// writes is the session's or its own.
struct NcTrace {
    NcSession* session = {};
    SimulationRunRecord record = {};
    BlockLoopState loop = {};
    MachinePose startPose = {};
    long calls = {};
    int alarms = {};
    bool stopped = {};
    bool ended = {};
};
int OpenNcTrace(NcTrace* trace, NcSession& session, const std::string& programPath,
                const std::function<void(const std::string&)>& emit);
int StepNcTrace(NcTrace* trace, const std::function<void(const std::string&)>& emit,
                const std::function<void()>& afterEachCall = {}, long maxCalls = 10000000,
                bool withMachine = false);

// The same trace handed to emit line by line as it is made, so that a trace of millions of moves
// is never held in memory.
void StreamNcProgramTrace(NcSession& session, const std::string& programPath,
                          const std::function<void(const std::string&)>& emit,
                          const std::function<void()>& afterEachCall = {}, long maxCalls = 10000000,
                          bool withMachine = false);

// The trace line of the current move. A NURBS move adds the lines of FormatNurbsCurveLines.
std::string FormatMoveLine(NcSession& session, bool withMachine = false);

// The current NURBS curve: a line "  NURBS order <k> points <n> knots <m> length <L>", then for
// every non-empty span its middle and end point, "  span <i> U<t> X<x> Y<y> Z<z>" (program
// coordinates, %.4f).
std::string FormatNurbsCurveLines(NcSession& session);

}  // namespace mirexa::testing
