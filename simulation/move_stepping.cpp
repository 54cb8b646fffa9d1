// Stepping of one move: length and step count, the per-step pose, cut, checks, tool-load limit,
// alarm test, simulation state, report lines and redraw handshake.
#include "simulation/move_stepping.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/tool_tables.h"
#include "geometry/machine_kinematics.h"
#include "geometry/rotary_solutions.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nurbs_evaluation.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_run.h"
#include "simulation/interference_decisions.h"
#include "simulation/interference_flags.h"
#include "simulation/interference_reports.h"
#include "simulation/run_control.h"
#include "simulation/run_end.h"
#include "simulation/run_reports.h"
#include "simulation/simulation_hooks.h"
#include "simulation/tool_length_report.h"
#include "simulation/tool_pose_step.h"
#include "stock/stock_model.h"
#include "stock/stock_shapes.h"

namespace mirexa {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The machine records of the context's session.
KinematicsSessionRecords& Kinematics(const MoveStepContext& context) {
    return *context.session->kinematics;
}

// The motion state of an alarm step goes into the run's reports (none without reports).
void SaveAlarmMotionState(const MoveStepContext& context) {
    if (context.reports != nullptr) {
        SaveMotionState(Kinematics(context), &context.reports->motionSnapshot);
    }
}

// The run's interference decision of an alarm step: nonzero ends the run.
bool InterferenceBreaksOff(const MoveStepContext& context) {
    return context.reports != nullptr &&
           RecordInterferenceBreak(
               context.reports->kinds,
               MakeCurrentInterferenceStep(context.cutting->flags, *context.session, context.stock),
               Checks) != 0;
}

bool IsArc(const MotionRecord& m) {
    return m.motionType == 2 || m.motionType == 3;
}

// Travel of the move: linear deltas and the rotary deltas, each the shortest signed turn while
// that axis' shortest-path flag is on.
void MoveDeltas(const KinematicsModeFlags& modes, const StepBlockInfo& block, double d[5]) {
    for (int k = 0; k < 3; ++k) {
        d[k] = block.to.axis[k] - block.from.axis[k];
    }
    for (int k = 0; k < 2; ++k) {
        const double a = block.from.axis[3 + k], b = block.to.axis[3 + k];
        d[3 + k] = modes.shortestPath[k] != 0 ? DiffRotaryAngle(modes, a, b) : b - a;
    }
}

// The distances of the move's end from the rotary axes (mm).
void EndRotaryRadii(KinematicsSessionRecords& k, const StepBlockInfo& block, double radii[2]) {
    MotionPosition machine = block.to;
    if (block.machineCoordinates == 0 && k.modes.positionSource != 2) {
        double point[3], axis[3];
        ConvertPathPointToMachineNoPlane(k, block.to, &machine, point, axis);
    }
    ComputeRotaryRadius(CurrentMachine, k.toolValues, machine.axis, radii);
}

double Dot3(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// The part of p - centre across the axis n, and its length.
double RadialPart(const double p[3], const double centre[3], const double n[3], double out[3]) {
    double d[3];
    for (int k = 0; k < 3; ++k) {
        d[k] = p[k] - centre[k];
    }
    const double along = Dot3(d, n);
    for (int k = 0; k < 3; ++k) {
        out[k] = d[k] - along * n[k];
    }
    return std::sqrt(Dot3(out, out));
}

MoveArcFrame MakeArc(const MotionRecord& m, const StepBlockInfo& block) {
    MoveArcFrame a;
    const double axisLength = std::sqrt(Dot3(m.arcAxis, m.arcAxis));
    for (int k = 0; k < 3; ++k) {
        a.centre[k] = m.transformedCentre[k];
        a.n[k] = axisLength > 0.0 ? m.arcAxis[k] / axisLength : (k == 2 ? 1.0 : 0.0);
    }
    double end[3];
    a.startRadius = RadialPart(block.from.axis, a.centre, a.n, a.u);
    a.endRadius = RadialPart(block.to.axis, a.centre, a.n, end);
    if (a.startRadius > 0.0) {
        for (double& c : a.u) {
            c /= a.startRadius;
        }
    } else {
        for (int k = 0; k < 3; ++k) {
            a.u[k] = m.startRadial[k];
        }
    }
    // A quarter turn from the first plane axis towards the second, or the interpreter's frame
    // vector when a rotation has turned the arc out of its plane.
    const double frameLength = std::sqrt(Dot3(m.arcFrame, m.arcFrame));
    if (frameLength > 0.0) {
        for (int k = 0; k < 3; ++k) {
            a.v[k] = m.arcFrame[k] / frameLength;
        }
    } else {
        const int first = block.arcPlane[0], second = block.arcPlane[1];
        a.v[0] = a.v[1] = a.v[2] = 0.0;
        a.v[first] = -a.u[second];
        a.v[second] = a.u[first];
    }
    double d[3];
    for (int k = 0; k < 3; ++k) {
        d[k] = block.from.axis[k] - a.centre[k];
    }
    a.startHeight = Dot3(d, a.n);
    double travel[3];
    for (int k = 0; k < 3; ++k) {
        travel[k] = block.to.axis[k] - block.from.axis[k];
    }
    a.height = Dot3(travel, a.n);
    a.signedSweep = m.motionType == 2 ? -std::fabs(m.sweep) : std::fabs(m.sweep);
    return a;
}

// The position at step i of n: exactly the last position at i = n.
void PositionAtStep(const StepBlockInfo& block, const MoveArcFrame* arc, const double delta[5],
                    std::int64_t i, std::int64_t n, MotionPosition* out) {
    if (i >= n) {
        *out = block.to;
        return;
    }
    const double f = static_cast<double>(i) / static_cast<double>(n);
    for (int k = 0; k < 5; ++k) {
        out->axis[k] = block.from.axis[k] + delta[k] * f;
    }
    if (arc != nullptr) {
        const double angle = arc->signedSweep * f;
        const double radius = arc->startRadius + (arc->endRadius - arc->startRadius) * f;
        const double c = std::cos(angle), s = std::sin(angle);
        const double h = arc->startHeight + arc->height * f;
        for (int k = 0; k < 3; ++k) {
            out->axis[k] =
                arc->centre[k] + radius * (c * arc->u[k] + s * arc->v[k]) + h * arc->n[k];
        }
    }
}

// The tool vector turn of a move (see ToolVectorTurn); inactive when the axis does not change.
ToolVectorTurn PrepareToolVectorTurn(const KinematicsSessionRecords& records,
                                     const StepBlockInfo& block) {
    ToolVectorTurn t;
    if (records.modes.toolCenterControl != 2 || block.machineCoordinates != 0) {
        return t;
    }
    double from[2], to[2];
    for (int k = 0; k < 2; ++k) {
        t.offset[k] = records.workOrigin.axis[3 + k] + records.tcp.referenceAngle[k];
        from[k] = block.from.axis[3 + k] + t.offset[k];
        to[k] = block.to.axis[3 + k] + t.offset[k];
    }
    ComputeToolAxisFromRotaryAngles(from, t.start);
    ComputeToolAxisFromRotaryAngles(to, t.end);
    if (Dot3(t.start, t.end) > 1.0 - 1e-12) {
        return t;  // the tool axis does not change
    }
    t.active = 1;
    return t;
}

// The rotary values of step i of n (program angles, deg); the last step keeps the block's end. A
// half turn of the axis (start and end opposite) passes no defined plane: the angles are then
// interpolated as given.
void TurnToolVectorAtStep(KinematicsSessionRecords& records, const ToolVectorTurn* t,
                          std::int64_t i, std::int64_t n, MotionPosition* position) {
    if (t->active == 0 || i >= n) {
        return;
    }
    const double f = static_cast<double>(i) / static_cast<double>(n);
    double axis[3];
    for (int k = 0; k < 3; ++k) {
        axis[k] = t->start[k] + (t->end[k] - t->start[k]) * f;
    }
    const double length = std::sqrt(Dot3(axis, axis));
    if (!(length > 1e-9)) {
        return;
    }
    for (double& c : axis) {
        c /= length;
    }
    const StrokeLimits& s = CurrentMachine.strokes;
    const int flags[2] = {s.enabled[3], s.enabled[4]};
    const double range1[2] = {s.min[3], s.max[3]};
    const double range2[2] = {s.min[4], s.max[4]};
    // The machine still stands at the previous step (at the move's start for the first).
    const double previous[2] = {records.pose.machine.axis[3], records.pose.machine.axis[4]};
    double angles[2] = {};
    SolveRotaryAngles(records, axis, previous, flags, range1, range2, angles);
    for (int k = 0; k < 2; ++k) {
        position->axis[3 + k] = angles[k] - t->offset[k];
    }
}

int CurrentToolNumber(const MoveStepContext& context) {
    const int n = context.session->tools->tool.derivedFrom;
    return IsToolNumberInTables(n) ? n : -1;
}

bool AnyStrokeEnabled() {
    for (const int enabled : CurrentMachine.strokes.enabled) {
        if (enabled != 0) {
            return true;
        }
    }
    return false;
}

// The rotary that turns in turning mode (index 0 or 1), or -1 when the run is not turning.
int SpinningRotary(const StepBlockInfo& block) {
    const bool lathe1 = Machine.tableType[0] == 4 || block.turning[0] != 0;
    const bool lathe2 = Machine.tableType[1] == 4 || block.turning[1] != 0;
    if (!lathe1 && !lathe2) {
        return -1;
    }
    if (Machine.rotaryType == 3) {
        return 1;
    }
    return lathe1 ? 0 : 1;
}

// A full revolution of the spinning rotary at this step, cut at every angle step; the flags of
// every angle stand, the volume is the revolution's.
ToolPoseFindings CutTurningRevolution(const MoveStepContext& context, int rotary,
                                      const ToolPoseStep& step) {
    KinematicsSessionRecords& k = Kinematics(context);
    SimulationRunRecord& record = *context.record;
    MachinePose& pose = k.pose;
    record.spinningAxis = 3 + rotary;
    double radii[2];
    ComputeRotaryRadius(CurrentMachine, k.toolValues, pose.machine.axis, radii);
    double m = std::ceil(2.0 * kPi * radii[rotary] / record.stepLength);
    if (!(m >= 1.0)) {
        m = 1.0;
    } else if (m > static_cast<double>(kMaxStepsPerMove)) {
        m = static_cast<double>(kMaxStepsPerMove);
        ++record.stepCapHits;
    }
    const std::int64_t count = static_cast<std::int64_t>(m);
    const double kept = pose.machine.axis[3 + rotary];
    double machine[5];
    for (int a = 0; a < 5; ++a) {
        machine[a] = pose.machine.axis[a];
    }
    ToolPoseStep angle = step;
    angle.work = ToolPoseWork::kCutOnly;
    ToolPoseFindings found;
    double removed = 0.0;
    std::int64_t rays = 0;
    for (std::int64_t j = 0; j < count; ++j) {
        machine[3 + rotary] = static_cast<double>(j) * 360.0 / static_cast<double>(count);
        double point[3], axis[3];
        ComputeToolTipAndAxis(CurrentMachine, k.toolValues, machine, point, axis);
        angle.point = point;
        angle.axis = axis;
        angle.keepFlags = j > 0;
        found = CutAndCheckToolPose(*context.cutting, *context.session, context.stock, angle);
        removed += found.removedVolume;
        rays += found.raysVisited;
    }
    // The tool load sees the whole revolution.
    found.removedVolume = removed;
    found.raysVisited = rays;
    pose.machine.axis[3 + rotary] = kept;
    UpdateMachinePosition(k);
    return found;
}

// The cut and checks of a step of the move: a turning revolution while a rotary spins, else the
// one step at the pose.
ToolPoseFindings CutAndCheckStep(const MoveStepContext& context, const StepBlockInfo& block,
                                 bool rapid) {
    ToolPoseStep step;
    step.rapidMark = rapid;
    step.lineStamp = block.lineStamp;
    const int rotary = SpinningRotary(block);
    if (rotary >= 0) {
        return CutTurningRevolution(context, rotary, step);
    }
    step.cycleMove = block.cycleActive != 0 && block.cycleMove != 0;
    return CutAndCheckToolPose(*context.cutting, *context.session, context.stock, step);
}

// The tool-load limit of a feed step in contact: an alarm (types 1, 2) or a limit-log line
// (types 11, 12, only with logLines) when the cross-section A or the removal rate Q exceeds the
// first limit value.
void ApplyToolLoadLimit(const MoveStepContext& context, const StepBlockInfo& block,
                        const ToolPoseFindings& found, bool logLines = true) {
    const MotionRecord& motion = Kinematics(context).motion;
    const int tool = CurrentToolNumber(context);
    if (tool < 0 || motion.motionType <= 0 || !found.contact) {
        return;
    }
    const ToolLoadLimit& limit = ToolTableSet.loadLimits[tool];
    const double value = limit.limits[0];
    const double actualStep = context.record->actualStep;
    // A move of no length has no cross-section: nothing to compare.
    if (limit.type == kToolLoadNone || !(value > 0.0) || !(actualStep > 0.0)) {
        return;
    }
    const double section = found.removedVolume / actualStep;  // mm^2
    const double rate = motion.feed * section / 60.0;         // mm^3/s
    const bool sectionLimit =
        limit.type == kToolLoadSectionAlarm || limit.type == kToolLoadSectionLog;
    const double measured = sectionLimit ? section : rate;
    if (!(measured > value)) {
        return;
    }
    if (limit.type == kToolLoadSectionAlarm || limit.type == kToolLoadRemovalAlarm) {
        context.controls->stepAlarm = 1;
        SaveAlarmMotionState(context);
    } else if (logLines && context.reports != nullptr) {
        char line[512];
        FormatLimitLogLine(context, block, limit.type, measured, line, sizeof line);
        WriteLimitLogLine(*context.reports, CurrentToolNumber(context), line);
    }
}

// The state of the step: 0 rapid and 2 feed without contact, 1 in material, 4 alarm.
int StepState(const MoveStepContext& context, bool spindleAlarm) {
    const bool rapid = Kinematics(context).motion.motionType == 0;
    const InterferenceFlagSet& flags = context.cutting->flags;
    if (flags.contact == 0) {
        return AnyInterferenceFlagSet(flags) != 0 ? 4 : (rapid ? 0 : 2);
    }
    if (context.record->rapidCheckActive != 0 || spindleAlarm ||
        AnyCuttingAlarmFlagSet(flags) != 0 || context.controls->stepAlarm.load() != 0) {
        return 4;
    }
    return 1;
}

// 1 when nobody watches the drawing of the steps' run (RunDrawsNothing).
int StepsDrawNothing(const MoveStepContext& context) {
    return RunDrawsNothing(context.request != nullptr ? context.request->runLogFlag : 0);
}

bool RedrawDue(const MoveStepContext& context, std::int64_t i, std::int64_t n) {
    if (StepsDrawNothing(context) != 0) {
        return false;
    }
    const RunMode mode = context.mode != nullptr ? context.mode->load() : RunMode::kIdle;
    const bool wanted = mode == RunMode::kRealCutting || context.controls->showSteps.load() != 0;
    const std::int64_t every = RunRedrawInterval(RunMode::kRealCutting);
    return wanted && (every == 1 || i == n || i % every == 0);
}

// How far a pose may lie from the path and still be on it (mm): the program's least increment
// (twice the controller's coordinate tolerance), so that a retract whose end was rounded as
// written still follows the path; at least the rounding of interpolated positions.
double OnPathTolerance() {
    const double tolerance = Controller.coordinateTolerance;
    return std::isfinite(tolerance) && tolerance > 0.0 ? 2.0 * tolerance : 1e-6;
}

bool SameCutter(const CutterSections& a, const CutterSections& b) {
    return a.shape == b.shape && a.diameter == b.diameter && a.cornerRadius == b.cornerRadius &&
           a.flatRadius == b.flatRadius && a.cornerCentreRadius == b.cornerCentreRadius &&
           a.cornerCentreHeight == b.cornerCentreHeight && a.cornerTopRadius == b.cornerTopRadius &&
           a.topRadius == b.topRadius && a.tipConeHeight == b.tipConeHeight &&
           a.taperCotangent == b.taperCotangent && a.recordFlatRadius == b.recordFlatRadius &&
           a.recordCornerHeight == b.recordCornerHeight && a.discHeight == b.discHeight &&
           a.upperCornerRadius == b.upperCornerRadius && a.neckDiameter == b.neckDiameter;
}

bool SameAxis(const double a[3], const double b[3]) {
    return std::fabs(a[0] - b[0]) < 1e-12 && std::fabs(a[1] - b[1]) < 1e-12 &&
           std::fabs(a[2] - b[2]) < 1e-12;
}

// Whether the step just cut was a plain cut of the current tool (no mounted tools, no turning
// revolution: the step's findings say so) that reached the stock, so that the cutting state's pose
// holds its tip and axis.
bool PlainCutOfThisStep(const MoveStepContext& context, const ToolPoseFindings& found) {
    const StockModel* stock = context.stock;
    return found.plainCut && stock != nullptr && stock->nx >= 2 && stock->ny >= 2 &&
           stock->nz >= 2 && stock->useState <= 0 && context.session->run.cuttingEnabled != 0;
}

// Records step i of a straight feed move into the path (a new path at its first step; a tool axis
// that turns during the move leaves no path).
void RecordFeedPathStep(const MoveStepContext& context, std::int64_t i) {
    FeedPathMemory& path = context.record->lastFeedPath;
    const CutPoseGeometry& pose = context.cutting->pose;
    if (i == 1 || path.stock != context.stock) {
        path = FeedPathMemory{};
        path.stock = context.stock;
        path.cutter = context.cutting->cutter;
        std::copy(pose.tip, pose.tip + 3, path.from);
        std::copy(pose.axis, pose.axis + 3, path.axis);
    } else if (path.steps == 0 || !SameAxis(path.axis, pose.axis)) {
        path.steps = 0;
        return;
    }
    std::copy(pose.tip, pose.tip + 3, path.to);
    ++path.steps;
}

// Whether the step just cut placed the tool on the recorded path of the same tool in the same
// stock.
bool OnLastFeedPath(const MoveStepContext& context) {
    const FeedPathMemory& path = context.record->lastFeedPath;
    const CutPoseGeometry& pose = context.cutting->pose;
    if (path.steps < 2 || path.stock != context.stock || !SameAxis(path.axis, pose.axis) ||
        !SameCutter(path.cutter, context.cutting->cutter)) {
        return false;
    }
    double along[3], offset[3];
    for (int k = 0; k < 3; ++k) {
        along[k] = path.to[k] - path.from[k];
        offset[k] = pose.tip[k] - path.from[k];
    }
    const double length2 = Dot3(along, along);
    if (!(length2 > 0.0)) {
        return false;
    }
    const double t = std::clamp(Dot3(offset, along) / length2, 0.0, 1.0);
    double miss = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double d = offset[k] - t * along[k];
        miss += d * d;
    }
    const double tolerance = OnPathTolerance();
    return miss <= tolerance * tolerance;
}

}  // namespace

void ResetSimulationRunRecord(const MoveStepContext& context) {
    SimulationRunRecord& record = *context.record;
    record = SimulationRunRecord{};
    record.stepLength = DexelPitch.secondPitch;
    // Moves shorter than the controller's coordinate tolerance are not stepped (nor drawn).
    const double tolerance = Controller.coordinateTolerance;
    record.minimumMoveLength = std::isfinite(tolerance) && tolerance > 0.0 ? tolerance : 0.0;
    // The cut of each step is shared by the threads the settings give (MULTI THREAD).
    if (context.cutting != nullptr) {
        context.cutting->threadCount =
            Settings.multiThreadCount >= 1 ? Settings.multiThreadCount : 1;
    }
    const KinematicsSessionRecords& k = Kinematics(context);
    double radii[2];
    ComputeRotaryRadius(CurrentMachine, k.toolValues, k.pose.machine.axis, radii);
    for (int r = 0; r < 2; ++r) {
        record.rotaryRadii[0][r] = record.rotaryRadii[1][r] = radii[r];
    }
}

std::int64_t CountMoveSteps(const MoveStepContext& context, const StepBlockInfo& block,
                            double* length) {
    KinematicsSessionRecords& records = Kinematics(context);
    SimulationRunRecord& record = *context.record;
    const MotionRecord& m = records.motion;
    *length = 0.0;
    if (Checks.ignoreG00 != 0 && m.motionType == 0) {
        return 0;
    }
    double d[5];
    MoveDeltas(records.modes, block, d);
    double L = 0.0;
    bool travel = false;
    for (const double v : d) {
        travel = travel || v != 0.0;
    }
    if (IsArc(m)) {
        const MoveArcFrame arc = MakeArc(m, block);
        const double s = std::fabs(m.sweep) * (arc.startRadius + arc.endRadius) / 2.0;
        if (!(s > 0.0)) {
            return 0;
        }
        L = std::sqrt(s * s + arc.height * arc.height);
        travel = true;
    } else {
        double endRadii[2];
        EndRotaryRadii(records, block, endRadii);
        double k[2];
        for (int r = 0; r < 2; ++r) {
            k[r] = kPi * (record.rotaryRadii[0][r] + endRadii[r]) / 360.0;
            record.rotaryRadii[1][r] = endRadii[r];
        }
        L = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2] + (d[3] * k[0]) * (d[3] * k[0]) +
                      (d[4] * k[1]) * (d[4] * k[1]));
    }
    if (block.keepShortMoves == 0 && (!travel || L < record.minimumMoveLength)) {
        return 0;
    }
    double n = record.stepLength > 0.0 ? std::ceil(L / record.stepLength) : 1.0;
    if (!(n >= 1.0)) {
        n = 1.0;
    } else if (n > static_cast<double>(kMaxStepsPerMove)) {
        n = static_cast<double>(kMaxStepsPerMove);
        ++record.stepCapHits;
        AppendLogEntry("The steps of a move were limited to " + std::to_string(kMaxStepsPerMove) +
                       " (line " + std::to_string(block.mainLine) + ").\n");
    }
    const std::int64_t count = static_cast<std::int64_t>(n);
    *length = L;
    record.actualStep = L / static_cast<double>(count);
    return count;
}

namespace {

// The machine position and the tool pose of the current program (or machine) position, each
// rotary machine angle with a configured range wrapped into it.
void UpdateMachinePoseAndWrap(KinematicsSessionRecords& records) {
    MachinePose& pose = records.pose;
    UpdateMachinePosition(records);
    for (int k = 0; k < 2; ++k) {
        if (Controller.rotaryRangeGiven[k] != 0) {
            const double a = Controller.rotaryRange[k][0], b = Controller.rotaryRange[k][1];
            WrapDegrees(&pose.machine.axis[3 + k], std::min(a, b), std::max(a, b));
        }
    }
}

}  // namespace

std::int64_t PlanMoveInterpolation(const MoveStepContext& context, const StepBlockInfo& block,
                                   MoveInterpolation* plan) {
    const KinematicsSessionRecords& records = Kinematics(context);
    *plan = MoveInterpolation{};
    plan->steps = CountMoveSteps(context, block, &plan->length);
    if (plan->steps == 0) {
        return 0;
    }
    MoveDeltas(records.modes, block, plan->delta);
    if (IsArc(records.motion)) {
        plan->isArc = 1;
        plan->arc = MakeArc(records.motion, block);
    }
    plan->turn = PrepareToolVectorTurn(records, block);
    return plan->steps;
}

void PoseMoveStep(const MoveStepContext& context, const StepBlockInfo& block,
                  const MoveInterpolation& plan, std::int64_t i) {
    KinematicsSessionRecords& records = Kinematics(context);
    MachinePose& pose = records.pose;
    MotionPosition position;
    PositionAtStep(block, plan.isArc != 0 ? &plan.arc : nullptr, plan.delta, i, plan.steps,
                   &position);
    TurnToolVectorAtStep(records, &plan.turn, i, plan.steps, &position);
    if (block.machineCoordinates != 0) {
        pose.machine = position;
    } else {
        pose.program = position;
    }
    UpdateMachinePoseAndWrap(records);
}

void PoseNurbsStep(const MoveStepContext& context, const double point[3]) {
    KinematicsSessionRecords& records = Kinematics(context);
    // Finishes the point in the context session's move.
    FinishNurbsStepPosition(*context.session, point);
    records.pose.program = records.motion.lastPosition;
    UpdateMachinePoseAndWrap(records);
}

void EndMoveInterpolation(const MoveStepContext& context) {
    SimulationRunRecord& record = *context.record;
    for (int k = 0; k < 2; ++k) {
        record.rotaryRadii[0][k] = record.rotaryRadii[1][k];
    }
}

// Per step i = 1 .. n: the pose (PoseMoveStep) and the end marks; the over-travel test (ends the
// move before the cut); the cut and its checks; the tool-load limit; the alarm test; the state;
// the alarm report line and the interference decision; the redraw handshake; the abort.
int StepCurrentMove(const MoveStepContext& context, const StepBlockInfo& block) {
    const KinematicsSessionRecords& records = Kinematics(context);
    SimulationRunRecord& record = *context.record;
    const MotionRecord& m = records.motion;
    if (m.motionType == kMotionNurbs) {
        return StepNurbsMove(context, block);
    }
    MoveInterpolation plan;
    const std::int64_t n = PlanMoveInterpolation(context, block, &plan);
    if (n == 0) {
        return kMoveSkipped;
    }
    const bool rapid = m.motionType == 0;
    context.controls->showSteps =
        ((Settings.realRotation != 0 && (plan.delta[3] != 0.0 || plan.delta[4] != 0.0)) ||
         (Settings.realRapid != 0 && rapid && block.cycleActive == 0))
            ? 1
            : 0;
    record.rapidCheckActive =
        Checks.interference > 0 && (rapid || m.feed >= Checks.rapidFeedrate) ? 1 : 0;
    int result = kMoveStepped;
    for (std::int64_t i = 1; i <= n; ++i) {
        // 1-2. Pose (the end marks are the step's).
        PoseMoveStep(context, block, plan, i);
        // 3. Over-travel: the step is posed but not cut.
        context.controls->stepAlarm = 0;
        if (AnyStrokeEnabled()) {
            const int axis = CheckOverTravel(records.pose.machine.axis);
            if (axis >= 0) {
                context.controls->overTravelAxis = axis;
                context.controls->stepAlarm = 1;
                SaveAlarmMotionState(context);
                result = kMoveEndsRun;
                break;
            }
        }
        // 4-5. Cut and check. A step whose contact alarms (a rapid, a feed at the rapid check's
        // rate) on the path of the tool's last straight feed cut meets only what that cut's
        // stepping left: no contact.
        ToolPoseFindings found = CutAndCheckStep(context, block, rapid);
        if (PlainCutOfThisStep(context, found)) {
            if (found.contact && record.rapidCheckActive != 0 && OnLastFeedPath(context)) {
                found.contact = false;
                context.cutting->flags.contact = 0;
            }
            // A turning rotary would bend the path in the stock's frame: no path then.
            if (m.motionType == 1 && plan.delta[3] == 0.0 && plan.delta[4] == 0.0) {
                RecordFeedPathStep(context, i);
            }
        }
        record.raysVisited += found.raysVisited;
        // 6. Tool load.
        ApplyToolLoadLimit(context, block, found);
        // 7. Alarm test.
        const bool contact = found.contact;
        const bool spindleAlarm = Checks.spindleCheck > 0 && block.spindleStopped != 0 && contact;
        if ((rapid && contact && record.rapidCheckActive != 0) || spindleAlarm ||
            found.cuttingAlarm || found.interference) {
            context.controls->stepAlarm = 1;
            SaveAlarmMotionState(context);
        }
        // 8. The tool has been used: its tool-length report line is due.
        context.cutting->measured.lineDue = 1;
        // 9. State.
        const int state = StepState(context, spindleAlarm);
        context.controls->kept.simulationState = state;
        ++record.steps;
        record.removedVolume += found.removedVolume;
        // 10. Alarm step: the report line, then the decision.
        if (state == 4) {
            ++record.alarmSteps;
            if (context.reports != nullptr) {
                char line[512];
                FormatAlarmStepLine(context, i, n, line, sizeof line);
                WriteInterferenceStepLine(
                    *context.reports, GetCurrentReportBlock(*context.session),
                    MakeCurrentInterferenceStep(context.cutting->flags, *context.session,
                                                context.stock),
                    Checks, line);
            }
            if (InterferenceBreaksOff(context)) {
                result = kMoveEndsRun;
                break;
            }
        }
        // 11. Redraw. A step inside the move may go without a frame when the screen could not
        // show it yet; the move's last step never does.
        if (RedrawDue(context, i, n)) {
            RequestRedrawAndWait(*context.controls, i < n);
        }
        // 12. Abort.
        if (context.controls->abortRequest.load() != 0) {
            result = kMoveEndsRun;
            break;
        }
    }
    // The next move starts from where this one ended, at its end radii.
    EndMoveInterpolation(context);
    return result;
}

namespace {

// One step of a NURBS move at curve point p: the block end, finished like a block end, becomes
// the program position; the pose; the over-travel test (1: the step is posed but not cut); the
// plain cut; the tool-load alarm; the state. Returns 1 on over-travel, else 0.
int StepNurbsPoint(const MoveStepContext& context, const StepBlockInfo& block, const double p[3]) {
    const MachinePose& pose = Kinematics(context).pose;
    SimulationRunRecord& record = *context.record;
    PoseNurbsStep(context, p);
    context.controls->stepAlarm = 0;
    if (AnyStrokeEnabled()) {
        const int axis = CheckOverTravel(pose.machine.axis);
        if (axis >= 0) {
            context.controls->stepAlarm = 1;
            SaveAlarmMotionState(context);
            AppendLogEntry("Axis " + std::to_string(axis) +
                           " left its stroke inside a NURBS move (line " +
                           std::to_string(block.mainLine) + "); the move ends there.\n");
            return 1;
        }
    }
    ToolPoseStep step;
    step.work = ToolPoseWork::kCutOnly;
    step.lineStamp = block.lineStamp;
    const ToolPoseFindings found =
        CutAndCheckToolPose(*context.cutting, *context.session, context.stock, step);
    record.raysVisited += found.raysVisited;
    ApplyToolLoadLimit(context, block, found, false);
    context.cutting->measured.lineDue = 1;
    context.controls->kept.simulationState = StepState(context, false);
    ++record.steps;
    record.removedVolume += found.removedVolume;
    return 0;
}

}  // namespace

int StepNurbsMove(const MoveStepContext& context, const StepBlockInfo& block) {
    SimulationRunRecord& record = *context.record;
    // The stop option is read where it is tested: the user may change it during a redraw.
    const NcControllerView& controller = context.session->controller;
    context.controls->showSteps = 0;
    context.controls->lineHeld = 0;
    const NurbsCurveData& curve = context.session->nurbs;
    if (ValidateNurbsCurve(curve) != kNurbsValid) {
        return kMoveSkipped;
    }
    record.rapidCheckActive = 0;
    const int last = LastNurbsSpan(curve);
    int result = kMoveSkipped;
    for (int span = FirstNurbsSpan(curve); span <= last; ++span) {
        const std::int64_t m = CountNurbsSpanSteps(curve, span, record.stepLength);
        if (m == 0) {
            continue;  // an empty span
        }
        result = kMoveStepped;
        record.actualStep = MeasureNurbsSpan(curve, span) / static_cast<double>(m);
        bool overTravel = false;
        bool alarm = false;
        for (std::int64_t j = 1; j <= m; ++j) {
            double p[3];
            if (!EvaluateNurbsSpanStep(curve, span, j, m, p)) {
                break;
            }
            if (StepNurbsPoint(context, block, p) != 0) {
                overTravel = true;
                break;
            }
            if (context.controls->kept.simulationState.load() == 4) {
                ++record.alarmSteps;
                alarm = true;
                break;
            }
            if (context.controls->abortRequest.load() != 0) {
                break;
            }
        }
        // After the span: an interference that breaks off or an abort ends the run, an
        // over-travel ends only this move.
        if (alarm && InterferenceBreaksOff(context)) {
            return kMoveEndsRun;
        }
        if (context.controls->abortRequest.load() != 0) {
            return kMoveEndsRun;
        }
        if (overTravel) {
            break;
        }
        if (span < last && controller.stopOption == 2 && StepsDrawNothing(context) == 0) {
            RequestRedrawAndWait(*context.controls);
        }
    }
    if (controller.stopOption == 3 && StepsDrawNothing(context) == 0) {
        RequestRedrawAndWait(*context.controls);
    }
    return result;
}

void FormatAlarmStepLine(const MoveStepContext& context, std::int64_t step, std::int64_t count,
                         char* out, int capacity) {
    const MachinePose& pose = Kinematics(context).pose;
    const char* letters = KinematicsController.axisLetters;
    std::snprintf(out, static_cast<std::size_t>(capacity), "%lld/%lld:X%fY%fZ%f%c%f%c%f\n",
                  static_cast<long long>(step), static_cast<long long>(count), pose.tool.point[0],
                  pose.tool.point[1], pose.tool.point[2], letters[3], pose.machine.axis[3],
                  letters[4], pose.machine.axis[4]);
}

void FormatLimitLogLine(const MoveStepContext& context, const StepBlockInfo& block,
                        std::uint32_t limitType, double value, char* out, int capacity) {
    const MachinePose& pose = Kinematics(context).pose;
    const char* letters = KinematicsController.axisLetters;
    const std::size_t size = static_cast<std::size_t>(capacity);
    int used = 0;
    if (limitType == kToolLoadSectionLog && block.inSubprogram != 0) {
        used = std::snprintf(out, size, "%.*s:%d:", static_cast<int>(sizeof block.subprogramName),
                             block.subprogramName, block.subprogramLine);
    } else {
        used = std::snprintf(out, size, "%d:", block.mainLine);
    }
    if (used < 0 || used >= capacity) {
        return;
    }
    std::snprintf(out + used, size - static_cast<std::size_t>(used), "X%fY%fZ%f%c%f%c%f:%f(A)\n",
                  pose.tool.point[0], pose.tool.point[1], pose.tool.point[2], letters[3],
                  pose.machine.axis[3], letters[4], pose.machine.axis[4], value);
}

}  // namespace mirexa
