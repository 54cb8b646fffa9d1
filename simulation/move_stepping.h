// Stepping of one move: its length with rotary travel as arc length, its step count, and at each
// step the pose through the kinematics, the over-travel test, the cut (plain, turning or the
// mounted-tools pass), the checks, the tool-load limit, the alarm test, the run's simulation state,
// the alarm report line and the redraw handshake. Every stepping function works on a
// MoveStepContext: the move is its session's, from its start point to its last position (the block
// end after FinishBlockPosition), and the step record is its record; the block loop of the
// simulation thread says what it knows about the block, the move's ends included, in a
// StepBlockInfo.
#pragma once

#include <atomic>
#include <cstdint>

#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "services/run_mode.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_state.h"
#include "simulation/run_control.h"

namespace mirexa {

struct RunRequest;
struct RunReports;
struct StockModel;

// Most steps of one move (and cuts of one turning revolution): a bound on the run's length that
// an extreme move length over a tiny step length cannot pass. Reaching it is logged.
inline constexpr std::int64_t kMaxStepsPerMove = 100000000;

// What the block loop knows of the block whose move is stepped.
struct StepBlockInfo {
    // The move: from its start to its last position (program positions, or machine positions
    // for a move given in machine coordinates). An arc takes its centre (transformedCentre),
    // axis, sweep and frame from the session's motion, and turns from arcPlane[0] towards
    // arcPlane[1] counter-clockwise.
    MotionPosition from = {};
    MotionPosition to = {};
    std::int32_t arcPlane[2] = {0, 1};
    std::int32_t lineStamp = {};       // line number for the new ends (negated for replays)
    std::int32_t mainLine = {};        // the main file's line number
    std::int32_t inSubprogram = {};    // 1 inside a subprogram
    char subprogramName[32] = {};      // the innermost subprogram's name
    std::int32_t subprogramLine = {};  // and its line counter
    std::int32_t cycleActive = {};     // a canned cycle is active (rapids show no steps)
    std::int32_t cycleMove = {};       // the step driver marks this move as a cycle move
    std::int32_t spindleStopped = {};  // M05 in force
    // The move is given in machine coordinates (G53, G53.1, the final reference-return leg): the
    // machine position is interpolated.
    std::int32_t machineCoordinates = {};
    // A tilted plane (active or pending), G53.1, G53, the final reference leg or a look-ahead
    // orientation change: the move is stepped even without travel.
    std::int32_t keepShortMoves = {};
    std::int32_t turning[2] = {};  // the program switched turning on for rotary 1 / 2
};

// The straight path of the last straight feed move that cut the stock with the current tool, in
// the stock's frame: the tool tips of its first and last cut steps and its tool axis. Every tool
// pose on that path lies inside what the move swept; what such a pose still meets is material
// left between the move's steps (the stepping places the tool only every step length), so a
// rapid retracing the path meets no stock that the tool did not already pass through.
struct FeedPathMemory {
    const StockModel* stock = nullptr;  // the stock it cut
    CutterSections cutter = {};         // the tool that cut it
    double from[3] = {};
    double to[3] = {};
    double axis[3] = {};
    std::int64_t steps = 0;  // cut steps recorded (0: no path)
};

// The state of a run's stepping, with one reset at run start.
struct SimulationRunRecord {
    double stepLength = 1.0;        // StepLength (mm): the interpolation step length
    double actualStep = {};         // ActualStep (mm): L / n of the current move
    double minimumMoveLength = {};  // moves below it (mm) are not stepped
    double rotaryRadii[2][2] = {{1.0, 1.0}, {1.0, 1.0}};  // [start, end][rotary] (mm)
    std::int32_t rapidCheckActive = {};
    std::int32_t spinningAxis = {};  // 3 or 4: the rotary that turns in turning mode
    std::int64_t steps = {};         // steps made in this run
    std::int64_t alarmSteps = {};    // steps that ended in state 4
    double removedVolume = {};       // mm^3: the sum of the steps' removed volumes
    std::int64_t raysVisited = {};   // rays with material in the cuts' windows
    std::int32_t stepCapHits = {};   // moves whose step count was capped
    FeedPathMemory lastFeedPath = {};
};
// A cutting run keeps its step record (cutting_run.h); a drawing steps with a record of its own.

// What the stepping of a move works on: the session whose move is stepped (its move, pose, work
// origin, tool values, modes, tool centre point frame, mounted tool, NURBS curve and controller
// view), the step record and the cutting state (cutter, pose, views, flags and measures of the cut
// and checks at each step) of the run or of the drawing. The stepping reads and writes these
// records directly; the machine position update and the rotary-angle solves (of a tilted plane
// inside that update, of a tool vector turn) take the session's machine records, the cut the
// move's type and the session's cutting-on switch (CutMoveFacts), the motion state saved at an
// alarm the session's pose and work origin, and the structure and mounted-tool checks the
// session. The steps write the run's reports (an alarm step's report line and interference
// decision, the limit log's lines), and an alarm step saves its motion state there.
struct MoveStepContext {
    NcSession* session = {};
    SimulationRunRecord* record = {};
    StockModel* stock = {};      // the stock the steps cut (none: nothing is cut, the checks run)
    CuttingState* cutting = {};  // the state of the cut and checks (the stepping's own)
    // The run's reports (none: the steps write no report and save no motion state, and an
    // alarm step takes no decision).
    RunReports* reports = {};
    // The mode of the run the steps belong to, which a key may change between steps (none: no
    // run goes, as for a jog).
    const std::atomic<RunMode>* mode = {};
    // The run's controls (run_control.h), which the steps publish their state to and whose redraw
    // and abort they follow: StepCurrentMove needs them; none for a drawing or a trace that only
    // poses.
    RunControls* controls = {};
    // The request of the run the steps belong to (none: a drawing, a trace, a jog), whose facts
    // (a logged run draws nothing) the redraws follow.
    const RunRequest* request = {};
};

// Resets the context's record: the step length and the cadences from the settings (each at
// least 1), the minimum move length from the controller's coordinate tolerance, the rotary radii
// of the session's pose (so that the first rotary move is stepped at its true radius), the
// counters to 0; the cut's thread count (the cutting state's threadCount, when the context has a
// state) from the settings' MULTI THREAD.
void ResetSimulationRunRecord(const MoveStepContext& context);

// How a move ended.
enum StepMoveResult : int {
    kMoveStepped = 1,  // every step made
    kMoveSkipped = 0,  // not stepped (zero arc, IGNORE G00, too short)
    kMoveEndsRun = -1  // over-travel, an interference that breaks off, or an abort
};

// The move's length L (mm) with rotary travel at the mean radius, and its step count n =
// max(1, ceil(L / step length)), capped. Fills ActualStep. Returns the count, or 0 when the
// move is to be skipped.
std::int64_t CountMoveSteps(const MoveStepContext& context, const StepBlockInfo& block,
                            double* length);

// --- Interpolation, shared by the cut and the tool path drawing ------------------------------

// An arc in its own frame: the centre (mm), the unit axis n, the unit radial u of the start and
// the unit v a quarter turn on (counter-clockwise), the radii at both ends (mm), the height of
// the start along n and the travel along n (mm), the signed sweep (rad, negative clockwise).
struct MoveArcFrame {
    double centre[3] = {};
    double n[3] = {0, 0, 1};
    double u[3] = {1, 0, 0};
    double v[3] = {0, 1, 0};
    double startRadius = {};
    double endRadius = {};
    double startHeight = {};
    double height = {};
    double signedSweep = {};
};

// How a move is divided: its step count n (0: the move is not stepped), its length L (mm), the
// travel of the five axes (rotaries the shortest turn where that axis asks for it), and for an
// arc its frame.
// Tool centre point control with tool vector input: a move that changes the tool axis turns it
// in the plane of its start and end axes (the chord between them, normalised), and each step
// takes the rotary angles (deg) that put the tool along that axis nearest the machine's angles
// at the step before. Interpolating the angles themselves would sweep the tool over a cone.
struct ToolVectorTurn {
    std::int32_t active = {};
    double start[3] = {};  // tool axis at the move's start and end
    double end[3] = {};
    double offset[2] = {};  // machine angle less program angle (deg)
};

struct MoveInterpolation {
    std::int64_t steps = {};
    double length = {};
    double delta[5] = {};
    std::int32_t isArc = {};
    MoveArcFrame arc = {};
    ToolVectorTurn turn = {};
};

// Plans the session's move from block.from to block.to: CountMoveSteps (with its skip rules and
// its updates of ActualStep and the end rotary radii), the deltas and the arc frame. Returns the
// step count, 0 when the move is not stepped.
std::int64_t PlanMoveInterpolation(const MoveStepContext& context, const StepBlockInfo& block,
                                   MoveInterpolation* plan);

// Poses step i (1 .. steps) of the plan: the position at i / steps (exactly block.to at the last
// step; lines and rotaries linear, arcs turned about the centre with the radius blended) goes
// into the session's pose (the machine position for a move in machine coordinates, else the
// program position), UpdateMachinePosition computes the machine position and the tool pose, and
// each rotary machine angle with a configured range is wrapped into it. The tool point and axis
// of the step are then the pose's tool.
void PoseMoveStep(const MoveStepContext& context, const StepBlockInfo& block,
                  const MoveInterpolation& plan, std::int64_t i);

// Poses one step of a NURBS move at a curve point (program coordinates, mm): the point finished
// like a block end (FinishNurbsStepPosition) becomes the program position, then the machine
// position, the tool pose and the rotary wrap as in PoseMoveStep.
void PoseNurbsStep(const MoveStepContext& context, const double point[3]);

// After a planned move's steps: the next move starts at this move's end rotary radii.
void EndMoveInterpolation(const MoveStepContext& context);

// Steps the move from block.from to block.to (see the .cpp for the order of the work at each
// step).
int StepCurrentMove(const MoveStepContext& context, const StepBlockInfo& block);

// Steps a NURBS move (motion type 132; StepCurrentMove hands such a move here) knot span by knot
// span over the session's NURBS curve: span i of the non-empty spans gets
// m = max(1, ceil(span length / step length)) steps, and step j poses the tool at the curve point
// of t[i] + j (t[i+1] - t[i]) / m, finished like a block end (FinishBlockPosition). Each step
// cuts with the plain cut, applies the tool-load limit's alarm types (no limit-log line) and sets
// the run's simulation state; no structure check, no alarm report line and no per-step redraw. A
// state of 4 ends the span; an interference that breaks off or an abort ends the move and the run
// (kMoveEndsRun). An axis out of its stroke ends only the move: the step is posed but not cut,
// the run's stepAlarm is set, the motion state saved and a log line written, and the run goes
// on (overTravelAxis is not set). With stop option M01 a redraw follows every span but the last,
// with SINGLE one follows the move. An invalid or empty curve is not stepped (kMoveSkipped).
int StepNurbsMove(const MoveStepContext& context, const StepBlockInfo& block);

// The step line of the second-form interference report: "%d/%d:X%fY%fZ%f%c%f%c%f\n" with the
// step, the count, the session's tool point and the two rotary letters with their machine angles.
void FormatAlarmStepLine(const MoveStepContext& context, std::int64_t step, std::int64_t count,
                         char* out, int capacity);

// A limit-log line at the session's pose with the value and its ending "(A)\n": the main line
// number first, or for type 11 inside a subprogram the subprogram's name and line counter.
void FormatLimitLogLine(const MoveStepContext& context, const StepBlockInfo& block,
                        std::uint32_t limitType, double value, char* out, int capacity);

}  // namespace mirexa
