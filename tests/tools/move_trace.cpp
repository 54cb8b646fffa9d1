// The move trace of the tests: pulls an NC program through the step driver and prints its moves.
#include "tools/move_trace.h"

#include <cmath>
#include <cstdio>

#include "geometry/machine_kinematics.h"
#include "nc/cutter_compensation.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nurbs_evaluation.h"
#include "nc/step_driver.h"
#include "simulation/move_stepping.h"
#include "simulation/simulation_thread.h"
#include "stock/stock_model.h"

namespace mirexa::testing {

namespace {

// "%.4f" without a negative zero, so that golden files do not depend on rounding signs.
std::string Number(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", v);
    if (std::string(text) == "-0.0000") {
        return "0.0000";
    }
    return text;
}

// The line of the move in its own file: the main file's line number, a subprogram's line in the
// NC file when it runs from memory, or "<name>:<line>" in a subprogram file. A move of the
// compensation look-ahead carries its element's line, negated for corner and connecting moves.
std::string SourceLine(NcSession& session) {
    if (const NcMoveLine* held = CompensatedMoveLine(session)) {
        const std::string line =
            std::to_string(session.kinematics->motion.lookaheadReplay ? -held->line : held->line);
        return held->file[0] != '\0' ? std::string(held->file) + ":" + line : line;
    }
    const int depth = session.subprograms.depth;
    if (depth == 0) {
        return std::to_string(session.line.mainLineNumber);
    }
    if (session.subprograms.fromMemory[depth - 1]) {
        return std::to_string(session.line.subprogramLineNumber);
    }
    return std::string(session.subprograms.name[depth - 1]) + ":" +
           std::to_string(session.subprograms.lineCounter[depth - 1]);
}

// The machine at the end of a move that the simulation steps: its last step, posed through the
// kinematics (and the rotary wrap) from the block's end. A move without steps leaves the machine.
void PoseMachineAtMoveEnd(const MoveStepContext& context, const StepBlockInfo& info) {
    MoveInterpolation lastStep;
    lastStep.steps = CountMoveSteps(context, info, &lastStep.length);
    if (lastStep.steps > 0) {
        PoseMoveStep(context, info, lastStep, lastStep.steps);
        EndMoveInterpolation(context);
    }
}

}  // namespace

std::string FormatMoveLine(NcSession& session, bool withMachine) {
    const MotionRecord& m = session.kinematics->motion;
    std::string line = SourceLine(session) + " G" + std::to_string(m.motionType);
    static const char* const kNames[5] = {" X", " Y", " Z", " A", " B"};
    for (int i = 0; i < 5; ++i) {
        line += kNames[i] + Number(m.lastPosition.axis[i]);
    }
    if (m.motionType == 2 || m.motionType == 3) {
        line += " C" + Number(m.transformedCentre[0]) + "," + Number(m.transformedCentre[1]) + "," +
                Number(m.transformedCentre[2]) + " S" + Number(m.sweep);
    }
    line += " F" + Number(m.feed);
    if (withMachine) {
        static const char* const kMachineNames[5] = {" MX", " MY", " MZ", " MA", " MB"};
        const MotionPosition& machine = session.kinematics->pose.machine;
        for (int i = 0; i < 5; ++i) {
            line += kMachineNames[i] + Number(machine.axis[i]);
        }
    }
    line += "\n";
    if (m.motionType == kMotionNurbs) {
        line += FormatNurbsCurveLines(session);
    }
    return line;
}

std::string FormatNurbsCurveLines(NcSession& session) {
    const NurbsCurveData& c = session.nurbs;
    std::string lines = "  NURBS order " + std::to_string(c.order) + " points " +
                        std::to_string(c.pointCount) + " knots " + std::to_string(c.knotCount) +
                        " length " + Number(MeasureNurbsLength(c)) + "\n";
    for (int span = FirstNurbsSpan(c); span <= LastNurbsSpan(c); ++span) {
        if (CountNurbsSpanSteps(c, span, 1.0) == 0) {
            continue;
        }
        for (int half = 1; half <= 2; ++half) {
            double p[3];
            if (EvaluateNurbsSpanStep(c, span, half, 2, p)) {
                lines += "  span " + std::to_string(span) + " U" +
                         Number(NurbsSpanStepParameter(c, span, half, 2)) + " X" + Number(p[0]) +
                         " Y" + Number(p[1]) + " Z" + Number(p[2]) + "\n";
            }
        }
    }
    return lines;
}

int OpenNcTrace(NcTrace* trace, NcSession& session, const std::string& programPath,
                const std::function<void(const std::string&)>& emit) {
    *trace = NcTrace{};
    trace->session = &session;
    trace->loop.stock = CurrentStockSlot();  // tools derived at the current stock's pitch
    trace->startPose = session.kinematics->pose;
    const MoveStepContext context{&session, &trace->record};
    const int opened = OpenNcSession(&session, programPath, NcMoveReader{});
    UpdateMachinePosition(*session.kinematics);
    ResetSimulationRunRecord(context);
    if (!opened) {
        CloseNcSession(&session);
        session.kinematics->pose = trace->startPose;
        emit("END cannot open " + programPath + "\n");
        trace->ended = true;
        return 0;
    }
    return 1;
}

int StepNcTrace(NcTrace* trace, const std::function<void(const std::string&)>& emit,
                const std::function<void()>& afterEachCall, long maxCalls, bool withMachine) {
    if (trace->ended) {
        return 0;
    }
    NcSession& session = *trace->session;
    const MoveStepContext context{&session, &trace->record};
    auto end = [&](const std::string& line) {
        CloseNcSession(&session);
        session.kinematics->pose = trace->startPose;
        emit(line);
        trace->ended = true;
        return 0;
    };
    if (session.run.status.endState >= 2 || trace->stopped) {
        if (!session.run.status.started && session.run.status.error == 0) {
            session.run.status.error = kNcErrorNoStart;
        }
        return end("END state " + std::to_string(session.run.status.endState) + " error " +
                   std::to_string(session.run.status.error) + "\n");
    }
    if (++trace->calls > maxCalls) {
        return end("END cut\n");
    }
    NoteBlockEntry(session, &trace->loop);
    const int next = NextNcMove(&session);
    if (afterEachCall) {
        afterEachCall();
    }
    if (session.run.compensation.alarmCount != trace->alarms) {
        trace->alarms = session.run.compensation.alarmCount;
        char radius[64];
        std::snprintf(radius, sizeof radius, "%.3f", std::fabs(session.run.compensation.radius));
        emit(std::string("ALARM INTERFERENCE IN RADIUS(") + radius + ") OFFSET " +
             std::to_string(session.line.mainLineNumber) + "\n");
    }
    if (next == kNcMoveError) {
        trace->stopped = true;  // the trace ends at the next step, as at the program's end
        return 1;
    }
    // The block's bookkeeping as the simulation takes it (tool changes, the re-synchronisations,
    // the block end), then the machine stands at the move's end.
    StepBlockInfo info;
    const int kind = TakeFetchedBlock(session, &trace->loop, &info);
    if (afterEachCall) {
        afterEachCall();
    }
    if (kind == kBlockMove || kind == kBlockNurbs) {
        PoseMachineAtMoveEnd(context, info);
        if (session.kinematics->motion.blockHasMotion) {
            emit(FormatMoveLine(session, withMachine));
        }
    }
    return 1;
}

void StreamNcProgramTrace(NcSession& session, const std::string& programPath,
                          const std::function<void(const std::string&)>& emit,
                          const std::function<void()>& afterEachCall, long maxCalls,
                          bool withMachine) {
    NcTrace trace;
    if (OpenNcTrace(&trace, session, programPath, emit)) {
        while (StepNcTrace(&trace, emit, afterEachCall, maxCalls, withMachine)) {
        }
    }
}

std::string TraceNcProgram(NcSession& session, const std::string& programPath,
                           const std::function<void()>& afterEachCall, long maxCalls,
                           bool withMachine) {
    std::string trace;
    StreamNcProgramTrace(
        session, programPath, [&trace](const std::string& lines) { trace += lines; }, afterEachCall,
        maxCalls, withMachine);
    return trace;
}

}  // namespace mirexa::testing
