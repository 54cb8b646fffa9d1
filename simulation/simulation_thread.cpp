// The simulation thread's procedure: run start, the block loop with its stop test, tool changes
// and blocks without moves, the stepping of each move, the redraws after a block, and run end.
#include "simulation/simulation_thread.h"

#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "geometry/rotary_solutions.h"
#include "geometry/vector_math.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/plugin_queries.h"
#include "nc/step_driver.h"
#include "nc/stop_blocks.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_run.h"
#include "simulation/interference_decisions.h"
#include "simulation/interference_reports.h"
#include "simulation/move_stepping.h"
#include "simulation/run_control.h"
#include "simulation/run_end.h"
#include "simulation/run_kinematics.h"
#include "simulation/simulation_hooks.h"
#include "simulation/tool_length_report.h"
#include "stock/stock_model.h"

namespace mirexa {

CuttingRun WindowRun;

namespace {

// The run whose work runs on this thread (RunOfThisThread).
thread_local CuttingRun* threadRun = nullptr;

// The runs' threads between their start and the end of their body (MayReadRunStock).
std::atomic<int> runThreadsCutting{0};

// Binds a run to the calling thread for the binding's life.
class ThreadRunBinding {
public:
    explicit ThreadRunBinding(CuttingRun* run) : previous_(threadRun) {
        threadRun = run;
    }
    ~ThreadRunBinding() {
        threadRun = previous_;
    }
    ThreadRunBinding(const ThreadRunBinding&) = delete;
    ThreadRunBinding& operator=(const ThreadRunBinding&) = delete;

private:
    CuttingRun* previous_;
};

// Sub-moves that the step driver still hands out before it reads another line.
bool SubMovesPending(NcSession& session) {
    const NcPendingMoves& p = session.run.pending;
    return p.toolChangeIndex < p.toolChangeCount || p.rapidLegIndex < p.rapidLegCount ||
           p.toolAxisIndex < static_cast<int>(p.toolAxisMoves.size()) ||
           p.toolVectorIndex < static_cast<int>(p.toolVectors.size()) ||
           p.cyclePointIndex < p.cyclePointCount || session.run.reference.phase == 1;
}

int InnermostLineNumber(NcSession& session) {
    const int depth = session.subprograms.depth;
    return depth > 0 ? session.subprograms.lineCounter[depth - 1] : session.line.mainLineNumber;
}

void PublishBlock(NcSession& session) {
    PublishRunBlock(InnermostLineNumber(session), session.line.mainLineNumber, session.line.text);
}

// The user's stop: the one-shot stop request (consumed here) or the stop key.
int TakeUserStop(RunControls& controls) {
    if (controls.pendingStop.exchange(0) != 0) {
        return 1;
    }
    return controls.stopKeyRequest.load() != 0 ? 1 : 0;
}

// The line without its line end, for the log.
std::string WithoutLineEnd(const char* line) {
    std::string text(line, strnlen(line, kNcLineCapacity));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// The run's stop before a line the interpreter calls a stop block. A run without a user never
// waits: the stop is logged and passed. A user's run publishes the held block for the paused
// panel and waits until the user resumes (1) or aborts (0).
int PauseAtStopBlock(NcSession& session, RunControls& controls, const char* line) {
    if (AutomaticMode.load() != 0) {
        AppendLogEntry("(" + std::to_string(session.line.mainLineNumber) + ") - " +
                       ChooseLanguageText("Stop block passed: nobody to resume the run: ",
                                          "停止ブロックを通過しました(再開する操作者なし): ") +
                       WithoutLineEnd(line) + "\n");
        return 1;
    }
    PublishBlock(session);
    return WaitAtStopBlock(controls);
}

// Whether the line about to be fetched is read first for the stop test: when the user asked for
// a stop or the controller stops at some blocks, and the step driver has nothing queued and the
// program has not reached its end. A stop mode the user chose meanwhile is taken first.
bool StopTestDue(NcSession& session, RunControls& controls) {
    const int requested = controls.stopModeRequest.exchange(-1);
    if (requested >= 0) {
        session.controller.stopOption = requested;
    }
    if (session.line.lineHeld != 0 || session.run.status.endState != 0 ||
        SubMovesPending(session)) {
        return false;
    }
    return controls.stopKeyRequest.load() != 0 || controls.pendingStop.load() != 0 ||
           session.controller.stopOption != 0;
}

// The stop test of the next line: the line is read and held for the next fetch, and the thread
// pauses there when it is a stop block. 1 to go on with the fetch, 0 when the run was aborted
// during the pause, -1 when no line came (the end of a subprogram file, the end of the program or
// a line error: a block without a move).
int StopTestNextLine(NcSession& session, RunControls& controls) {
    if (ReadNextNcLine(session) == 0) {
        return -1;
    }
    session.line.lineHeld = 1;
    controls.lineHeld = 1;
    const char* line = session.line.text;
    if (IsStopBlock(session, line, TakeUserStop(controls)) != 0 &&
        PauseAtStopBlock(session, controls, line) == 0) {
        return 0;
    }
    // A run without a user passes its stops: a stop request left standing would stop every
    // following block again.
    if (AutomaticMode.load() != 0) {
        controls.stopKeyRequest = 0;
    }
    controls.pendingStop = 0;
    return 1;
}

// What the tool-length report line needs to know of the current tool.
void NoteCurrentToolForReport(NcSession& session) {
    CurrentToolBrief& brief = CurrentToolState;
    brief.number = session.tools->tool.derivedFrom;
    brief.fromPlugin = session.tools->tool.derivedFrom == 0 ? 1 : 0;
    brief.hasHolder = session.tools->tool.holder.present != 0 ? 1 : 0;
    brief.lengthKind = static_cast<int>(session.tools->tool.length.kind);
    brief.shapeType = static_cast<int>(session.tools->tool.tool.type);
}

// 1 when the tool has a place in the mounted-tool list (turret or multi-tool head).
bool HasMountedList(int tool) {
    return tool >= 0 && tool < kMountedToolEntries && MountedTools.count > 0 &&
           MountedTools.flags[tool] != 0;
}

// The use of the current tool ends (its tool-length report line), the new one becomes current.
void MountTool(NcSession& session, const BlockLoopState& loop, int tool) {
    CuttingState& cutting = *loop.cutting;
    if (loop.reports != nullptr) {
        WriteToolLengthReportLine(loop.reports->toolLength, cutting.measured);
    }
    MountToolForStepping(session, loop.stock, tool);
    LoadCutterSections(session.tools->tool, &cutting.cutter);
    NoteCurrentToolForReport(session);
    if (RunControls* controls = loop.controls; controls != nullptr) {
        controls->kept.simulationState = 0;
        controls->kept.mountedTool = tool;
        if (DrawingSuppressed.load() == 0) {
            controls->kept.toolPanelPendingPaint = 1;
        }
    }
}

// Mounts a tool through the puller's mount. A change between tools of the mounted-tool list
// moves the carrier: the next move starts shifted by the difference of the two stations (mm),
// and is made as a rapid.
void MountWith(NcSession& session, BlockLoopState* loop, int tool) {
    const int current = session.tools->tool.derivedFrom;
    if (HasMountedList(tool)) {
        loop->previousTool = current;
        if (current == 0 || HasMountedList(current)) {
            loop->shiftPending = 1;
        }
    }
    ++loop->toolChanges;
    if (loop->mountTool != nullptr && loop->cutting != nullptr) {
        loop->mountTool(session, *loop, tool);
    } else {
        MountToolForStepping(session, loop->stock, tool);
    }
}

// The tool change of a block by the machine's tool-change mode: 1 mounts the T word's tool at
// once and M06 mounts it in mode 2. In mode 3 (WAIT2) a T word only prepares its tool, and M06
// mounts the tool prepared by the T words of earlier blocks, as the tool-change route decides it
// (NcToolChangeState::stagedTool).
void HandleToolChange(NcSession& session, BlockLoopState* loop) {
    NcModalState& modal = session.run.modal;
    const NcPendingMoves& p = session.run.pending;
    if (loop->pluginToolMounts != PluginToolMounts) {
        // A plug-in made its tool current: the cut goes on with its cutter.
        loop->pluginToolMounts = PluginToolMounts;
        if (loop->cutting != nullptr) {
            LoadCutterSections(session.tools->tool, &loop->cutting->cutter);
        }
        NoteCurrentToolForReport(session);
    }
    if (p.toolChangeIndex < p.toolChangeCount) {
        return;
    }
    const bool m06 = modal.mCode == 6;
    if (Machine.atcType == 3) {
        const int staged = session.run.toolChange.stagedTool;
        if (m06 && staged >= 0 && staged != session.tools->tool.derivedFrom) {
            MountWith(session, loop, staged);
        }
        return;
    }
    if (modal.nextTool >= 0 && (Machine.atcType == 1 || m06)) {
        MountWith(session, loop, modal.nextTool);
        modal.nextTool = -1;
    }
}

// Takes `last` (the program position whose pose is where the machine stands) as the block's last
// position; the block end is the one that the block's finishing (the tool length, fixed offsets
// and rotations still applied) turns into it. The machine pose is kept.
void TakeLastPositionFromMachine(NcSession& session, const MotionPosition& last) {
    MotionRecord& m = session.kinematics->motion;
    m.end = last;
    for (int round = 0; round < 3; ++round) {
        FinishBlockPosition(session);
        for (int k = 0; k < 3; ++k) {
            m.end.axis[k] -= m.lastPosition.axis[k] - last.axis[k];
        }
    }
    m.start = m.end;
    session.run.programmed = m.end;
    m.lastPosition = m.startPoint = last;
    session.kinematics->pose.program = last;
}

// Under polar interpolation the program's X and Y (mm) are the Cartesian point whose radius and
// angle the machine's X and second rotary hold (the inverse of ConvertCartesianToPolar); the
// machine's Y stays at the work origin. A machine X behind the centre has no such point: its
// radius comes out mirrored.
void TakePolarPointFromMachine(NcSession& session, const MotionPosition& machine,
                               MotionPosition* last) {
    const PolarOffsetSettings& o = PolarOffsets;
    const double radius = machine.axis[0] - session.kinematics->workOrigin.axis[0] -
                          (o.offsetSwitch != 0 ? o.radiusOffset : 0.0);
    constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
    const double angle =
        (machine.axis[4] - session.kinematics->workOrigin.axis[4] - o.angleOffset) *
        kRadiansPerDegree;
    last->axis[0] = radius * std::cos(angle);
    last->axis[1] = radius * std::sin(angle);
}

// The program positions of the block are made again from where the machine stands, in the frame
// now in force, so that the next move starts there instead of jumping; the machine does not move.
// The last position becomes the program position whose pose is the current machine position (X,
// Y, Z). `takeRotary`: the rotary axes take the machine's angles as well (a frame that turned them
// on its own, as polar interpolation turns the second rotary, is left); otherwise they keep their
// program values.
void ResynchroniseToMachine(NcSession& session, bool takeRotary) {
    MachinePose& pose = session.kinematics->pose;
    const MotionPosition machine = pose.machine;
    MotionPosition last = pose.program;
    for (int k = 0; k < (takeRotary ? 5 : 3); ++k) {
        last.axis[k] = machine.axis[k] - session.kinematics->workOrigin.axis[k];
    }
    const bool polar = session.kinematics->modes.polarInterpolation != 0;
    if (polar) {
        TakePolarPointFromMachine(session, machine, &last);
    }
    // The pose adds the work origin, the tool's length and the frame: the difference is taken off
    // again until the pose stands where the machine stood (a translation settles at once). The
    // polar map is no translation: there only Z is settled so.
    for (int round = 0; round < 3; ++round) {
        pose.program = last;
        UpdateMachinePosition(*session.kinematics);
        for (int k = polar ? 2 : 0; k < 3; ++k) {
            last.axis[k] -= pose.machine.axis[k] - machine.axis[k];
        }
    }
    TakeLastPositionFromMachine(session, last);
    UpdateMachinePosition(*session.kinematics);
}

// A tilted plane set up (G68.2, or the interpreter's code 254): the program position becomes the
// tool point where the machine stands (for G68.2 moved along the tool axis by the tool's shift,
// mm) in plane coordinates, so that the moves programmed in the plane start there. The block
// ends without a move, except a block with axis words in the HEIDENHAIN and SIEMENS dialects.
// 1 when the block ends here.
bool TakePlanePositionIfSetUp(NcSession& session) {
    // The HEIDENHAIN PLANE and SIEMENS CYCLE800 set-ups are stored as G68.2. Under tool centre
    // point control the pose reads the program position as the tool point in work coordinates,
    // not in the plane's: there the position is left as it is.
    const bool g682 = session.run.block.tiltedPlaneBlock != 0 || session.run.modal.gCode == 682;
    if ((!g682 && session.run.modal.gCode != 254) ||
        session.kinematics->modes.toolCenterControl != 0) {
        return false;
    }
    const MachinePose& pose = session.kinematics->pose;
    double point[3], axis[3];
    ComputeToolTipAndAxis(*session.kinematics, pose.machine.axis, point, axis);
    const int tool = session.tools->tool.derivedFrom;
    if (g682 && IsToolNumberInTables(tool) != 0) {
        const double shift = ToolTableSet.shifts[static_cast<std::size_t>(tool)];
        for (int k = 0; k < 3; ++k) {
            point[k] += shift * axis[k];
        }
    }
    double plane[3];
    ConvertMachineToPlane(*session.kinematics, point, plane);
    MotionPosition last = pose.program;
    for (int k = 0; k < 3; ++k) {
        last.axis[k] = plane[k];
    }
    const bool moves =
        session.kinematics->motion.blockHasMotion != 0 &&
        (session.controller.dialect.heidenhain != 0 || session.controller.dialect.siemens != 0);
    if (moves) {
        // The block's move starts at the tool point in the plane.
        session.kinematics->motion.lastPosition = last;
        session.kinematics->pose.program = last;
        return false;
    }
    TakeLastPositionFromMachine(session, last);
    return true;
}

// How a block was re-synchronised.
enum ResyncResult : int {
    kResyncNone = 0,      // not asked: the block goes on as usual
    kResyncDone = 1,      // the block ends here without a move
    kResyncThenTurn = 2,  // the block goes on with a turn of the rotary axes alone
};

// The interpreter's one-shot re-synchronisations of a block without axis words: a tool length
// cancelled under the controller's G49 KEEP mode while the length was stored; the tilted work
// plane switched off (G69); tool centre point control, or polar interpolation (G12.1/G13.1, OSP
// G137/G136), switched on or off. The last two change the map from program to machine, which
// for polar interpolation is no translation: the program position is made again through the
// map's inverse, so the machine neither moves in the switching block nor jumps at the next
// move's first step. A HEIDENHAIN PLANE RESET, which returns the rotary axes to the values it
// gives them (0), ends in a rotary turn from where the machine stands to those values, made as a
// rapid (kResyncThenTurn).
int ResynchroniseIfAsked(NcSession& session, const BlockLoopState& entry) {
    MotionRecord& m = session.kinematics->motion;
    if (m.blockHasMotion != 0) {
        return kResyncNone;
    }
    NcModalState& modal = session.run.modal;
    const bool lengthKept = session.controller.g49Mode != 0 && modal.lengthCancelState == 1;
    const bool planeOff = entry.entryPlaneActive != 0 && session.kinematics->plane.active == 0;
    const bool toolCentre = entry.entryToolCentrePoint != modal.toolCenterPointMode;
    const bool polar = entry.entryPolar != session.kinematics->modes.polarInterpolation;
    if (!lengthKept && !planeOff && !toolCentre && !polar) {
        return kResyncNone;
    }
    if (lengthKept) {
        modal.lengthCancelState = 0;
    }
    const double rotaryEnd[2] = {m.end.axis[3], m.end.axis[4]};
    // A tilted plane turned the rotary axes on its own (G53.1, or a pose in plane coordinates):
    // switched off, it leaves them where they stand until the program moves them. The
    // HEIDENHAIN PLANE RESET turns them to its own values below.
    const bool heidenhain = session.controller.dialect.heidenhain != 0;
    ResynchroniseToMachine(session, polar || (planeOff && !heidenhain));
    if (!(planeOff && heidenhain)) {
        return kResyncDone;
    }
    if (m.lastPosition.axis[3] == rotaryEnd[0] && m.lastPosition.axis[4] == rotaryEnd[1]) {
        return kResyncDone;
    }
    for (int k = 0; k < 2; ++k) {
        m.end.axis[3 + k] = rotaryEnd[k];
        session.run.programmed.axis[3 + k] = rotaryEnd[k];
    }
    m.motionType = kMotionRapid;
    return kResyncThenTurn;
}

// The machine angles (deg) that the active tilted plane turns the rotary axes to: its stored
// angles, or those that put the tool along the plane's third axis nearest the present ones (as
// the pose in plane coordinates takes them). 0 when no pair of angles fits (a machine without
// rotary axes, or strokes that exclude every pair).
int PlaneMachineAngles(NcSession& session, double angles[2]) {
    const TiltedWorkPlane& plane = session.kinematics->plane;
    if (plane.mode == 2) {
        angles[0] = plane.storedAngles[0];
        angles[1] = plane.storedAngles[1];
        return 1;
    }
    const MotionPosition& machine = session.kinematics->pose.machine;
    const StrokeLimits& s = CurrentMachine.strokes;
    const double previous[2] = {machine.axis[3], machine.axis[4]};
    const int flags[2] = {s.enabled[3], s.enabled[4]};
    const double range1[2] = {s.min[3], s.max[3]};
    const double range2[2] = {s.min[4], s.max[4]};
    return SolveRotaryAngles(*session.kinematics, plane.matrix + 6, previous, flags, range1, range2,
                             angles) != 0
               ? 1
               : 0;
}

// HEIDENHAIN, a move while a tilted plane is active (not G68.2, not G53): the rotary axes that
// the block does not program take the plane's machine angles (less the work origin), so that the
// move's rotary travel and the program's rotary values follow the turn that the pose in plane
// coordinates makes. The program's values are taken even when the machine already stands at the
// plane's angles (the block that set the plane up turned it there): a program position left at
// the old angles would turn the machine back at once when the plane is reset. 1 when the plane's
// angles were taken.
int TakePlaneRotaryAngles(NcSession& session) {
    MotionRecord& m = session.kinematics->motion;
    const NcBlockState& block = session.run.block;
    if (session.controller.dialect.heidenhain == 0 || session.kinematics->plane.active == 0 ||
        m.blockHasMotion == 0 || block.tiltedPlaneBlock != 0 ||
        session.kinematics->modes.machineCoordinateMove != 0) {
        return 0;
    }
    double angles[2];
    if (PlaneMachineAngles(session, angles) == 0) {
        return 0;
    }
    for (int k = 0; k < 2; ++k) {
        if (block.axisNamed[3 + k] == 0) {
            const double value = angles[k] - session.kinematics->workOrigin.axis[3 + k];
            m.end.axis[3 + k] = m.lastPosition.axis[3 + k] = value;
            session.run.programmed.axis[3 + k] = value;
        }
    }
    return 1;
}

// Blocks that end without a move: rotation programming (G68, G127 in the OSP dialect).
bool RotationProgrammingBlock(NcSession& session) {
    const int g = session.run.modal.gCode;
    return g == 68 || (session.controller.dialect.osp != 0 && g == 127);
}

void FillStepBlockInfo(NcSession& session, StepBlockInfo* info) {
    const MotionRecord& m = session.kinematics->motion;
    *info = StepBlockInfo{};
    const int depth = session.subprograms.depth;
    const int line = depth > 0 ? session.line.mainLineNumber : session.line.displayedLineNumber;
    info->lineStamp = m.lookaheadReplay != 0 ? -line : line;
    info->mainLine = session.line.mainLineNumber;
    if (depth > 0) {
        info->inSubprogram = 1;
        std::strncpy(info->subprogramName, session.subprograms.name[depth - 1],
                     sizeof info->subprogramName - 1);
        info->subprogramLine = session.subprograms.lineCounter[depth - 1];
    }
    info->cycleActive = session.run.modal.cycleCode != kNoCycle ? 1 : 0;
    info->cycleMove = m.cycleMoveFlag;
    info->spindleStopped = session.run.modal.spindleDirection == 0 ? 1 : 0;
    info->arcPlane[0] = session.run.modal.plane.first;
    info->arcPlane[1] = session.run.modal.plane.second;
    info->turning[0] = session.run.userSwitch[0];
    info->turning[1] = session.run.userSwitch[1];
    info->from = m.startPoint;
    info->to = m.lastPosition;
    const bool g53 = session.kinematics->modes.machineCoordinateMove != 0 &&
                     session.kinematics->modes.toolCenterControl == 0;
    if (session.run.reference.phase == 2) {
        // The final reference leg runs in machine coordinates to its target.
        info->machineCoordinates = 1;
        info->from = session.kinematics->pose.machine;
        info->to = m.machineTarget;
    } else if (g53) {
        // G53: the named axes go to their machine values, the others stay.
        info->machineCoordinates = 1;
        info->from = session.kinematics->pose.machine;
        info->to = session.kinematics->pose.machine;
        for (int i = 0; i < 5; ++i) {
            if (session.run.block.axisNamed[i] != 0) {
                info->to.axis[i] = m.end.axis[i] + session.kinematics->workOrigin.axis[i];
            }
        }
    }
    info->keepShortMoves =
        (session.kinematics->plane.active != 0 || session.run.transforms.tiltedPlaneReady != 0 ||
         session.kinematics->modes.lastGCode == 531 || info->machineCoordinates != 0)
            ? 1
            : 0;
}

// The start of the move after a change between stations of the mounted-tool list: moved by the
// new station's position less the previous one's (X, Y, Z in mm).
void ShiftMoveStart(NcSession& session, const BlockLoopState& loop, StepBlockInfo* info) {
    const int now = session.tools->tool.derivedFrom;
    const int before = loop.previousTool;
    if (now < 0 || now >= kMountedToolEntries || before < 0 || before >= kMountedToolEntries) {
        return;
    }
    for (int k = 0; k < 3; ++k) {
        info->from.axis[k] += MountedTools.positions[now][k] - MountedTools.positions[before][k];
    }
}

// Redraws after a block: in skip runs every SKIP BLOCK lines, and after a block with an event
// that pauses the run; none in a run that draws nothing.
void RedrawAfterBlock(CuttingRun& run, int* lastRedrawLine) {
    NcSession& session = *run.request.session;
    if (RunDrawsNothing(run.request.runLogFlag) != 0) {
        return;
    }
    if (run.mode.load() == RunMode::kSkipCutting && run.controls.showSteps.load() == 0) {
        const int line = InnermostLineNumber(session);
        if (line - *lastRedrawLine >= RunRedrawInterval(RunMode::kSkipCutting)) {
            *lastRedrawLine = line;
            RequestRedrawAndWait(run.controls);
        }
    }
    if (run.reports.kinds.eventCount.load() != kNoEvent && Checks.pauseOnEvents != 0) {
        RequestRedrawAndWait(run.controls);
    }
}

// Run start: measures and flags cleared, the interpreter reset from the controller values, the
// machine pose computed, the run record reset at that pose, the current tool's sections loaded,
// the video started, the NC source opened. 1, or the run's end code.
int SetUpRun(CuttingRun& run) {
    NcSession& session = *run.request.session;
    const std::string& path = run.request.programPath;
    BeginRunKinematics(session, path, run.request.mode, run.request.batchKind);
    ClearToolLengthMeasurements(run.cutting.measured);
    run.controls.showSteps = 0;
    run.controls.kept.simulationState = 1;
    run.result = RunResult{};
    run.loop = BlockLoopState{};
    run.loop.mountTool = MountTool;
    run.loop.cutting = &run.cutting;
    run.loop.reports = &run.reports;
    run.loop.controls = &run.controls;
    run.loop.stock = run.request.stock;
    run.loop.pluginToolMounts = PluginToolMounts;
    RefreshNcControllerView(session);
    const NcMoveReader reader{SimulationCallbacks.openPathReader,
                              SimulationCallbacks.closePathReader};
    const int shortagesBefore = CountMemoryShortages();
    const int opened = OpenNcSession(&session, path, reader);
    run.loop.workOffsetShown = session.run.modal.workOffsetIndex;
    UpdateMachinePosition(*session.kinematics);
    ResetSimulationRunRecord(RunContext(run));
    LoadCutterSections(session.tools->tool, &run.cutting.cutter);
    NoteCurrentToolForReport(session);
    const double stepLength = run.record.stepLength;
    if (!(stepLength > 0.0) || !std::isfinite(stepLength)) {
        return kRunEndBadStep;
    }
    if (opened == 0) {
        // A program too large to be held in memory is a shortage of memory, not a missing file.
        return CountMemoryShortages() != shortagesBefore ? kRunEndMemory : kRunEndNoSource;
    }
    if (SimulationCallbacks.startVideoRecording != nullptr && AutomaticMode.load() == 0) {
        SimulationCallbacks.startVideoRecording();
    }
    return 1;
}

// The block loop; returns the run's end code.
int RunBlocks(CuttingRun& run) {
    NcSession& session = *run.request.session;
    const MoveStepContext context = RunContext(run);
    const SimulationRunRecord& record = run.record;
    RunResult& result = run.result;
    int lastRedrawLine = 0;
    while (session.run.status.endState < 2) {
        // Fetch: a held line, queued sub-moves or a new block; before a new block the stop
        // test reads its line, which is held for the fetch.
        if (StopTestDue(session, run.controls)) {
            const int stop = StopTestNextLine(session, run.controls);
            if (stop == 0) {
                return kRunEndAbort;
            }
            if (stop < 0) {
                if (session.run.status.error > 0) {
                    return kRunEndError;
                }
                continue;
            }
        }
        const std::int64_t stepsBefore = record.steps;
        const double volumeBefore = record.removedVolume;
        // A Tab key during the run changes the mode the interpreter's blocks are read in.
        if (const RunMode mode = run.mode.load(); mode != RunMode::kIdle) {
            session.kinematics->modes.runMode = mode;
        }
        // A new block: the event written for the last one is over. A user's run has stopped
        // before this block for it, and the user's resume ended it (the status bar shows its
        // kind meanwhile); a run nobody resumes ends it here, so that every interfering block
        // gets its entry in the report.
        if (!SubMovesPending(session) &&
            (AutomaticMode.load() != 0 || run.request.runLogFlag != 0)) {
            EndWrittenInterferenceEvent(run.reports.kinds);
        }
        NoteBlockEntry(session, &run.loop);
        const int next = NextNcMove(&session);
        run.controls.lineHeld = 0;
        if (!(run.mode.load() == RunMode::kResult && run.controls.showSteps.load() == 0)) {
            PublishBlock(session);
        }
        if (next == kNcMoveError) {
            return kRunEndError;
        }
        ++result.blocks;
        StepBlockInfo info;
        const int kind = TakeFetchedBlock(session, &run.loop, &info);
        // A block that chose another work coordinate system: the window shows it at once.
        if (session.run.modal.workOffsetIndex != run.loop.workOffsetShown) {
            run.loop.workOffsetShown = session.run.modal.workOffsetIndex;
            if (NcUpHooks.redrawStatus != nullptr) {
                NcUpHooks.redrawStatus();
            }
        }
        if (kind == kBlockNoMove) {
            continue;
        }
        if (kind == kBlockResynchronised) {
            ++result.resyncs;
            continue;
        }
        if (run.loop.resyncTurn != 0) {
            ++result.resyncs;
        }
        int stepped = kMoveSkipped;
        if (kind == kBlockMove || kind == kBlockNurbs) {
            // Every fetch may carry a move (a block, a cycle point, a rapid leg, a look-ahead
            // replay, a NURBS curve stepped by knot span); one without travel is not stepped.
            stepped = StepCurrentMove(context, info);
            if (stepped == kMoveStepped) {
                ++result.moves;
            }
        }
        PublishRunProgress(record.steps - stepsBefore, record.removedVolume - volumeBefore);
        // After the block: an over-travel, an abort or an interference that broke off ends the
        // run.
        if (run.controls.overTravelAxis.load() >= 0) {
            return kRunEndOverTravel;
        }
        if (run.controls.abortRequest.load() != 0) {
            return kRunEndAbort;
        }
        if (stepped == kMoveEndsRun) {
            return kRunEndInterference;
        }
        // A ray that could not grow was left as it was: the run ends there, the stock as cut.
        if (DexelMemoryShortage.load() != 0) {
            return kRunEndMemory;
        }
        RedrawAfterBlock(run, &lastRedrawLine);
        if (run.controls.abortRequest.load() != 0) {
            return kRunEndAbort;
        }
        WriteInterferenceReport(run.reports, GetCurrentReportBlock(session), &run.controls);
    }
    return kRunEndProgram;
}

}  // namespace

void MountToolForStepping(NcSession& session, const StockModel* stock, int tool) {
    SelectCurrentTool(session, *session.kinematics, *session.tools, tool,
                      ToolDerivationPitch(stock));
    // The interpreter reads the mounted tool (its number, length and shape) through its view.
    RefreshNcControllerView(session);
    if (session.controller.dialect.heidenhain != 0 || session.controller.dialect.siemens != 0) {
        SetLengthOffsetForCurrentTool(session);
    }
}

void NoteBlockEntry(NcSession& session, BlockLoopState* loop) {
    loop->entryPlaneActive = session.kinematics->plane.active;
    loop->entryToolCentrePoint = session.run.modal.toolCenterPointMode;
    loop->entryPolar = session.kinematics->modes.polarInterpolation;
}

int TakeFetchedBlock(NcSession& session, BlockLoopState* loop, StepBlockInfo* info) {
    if (session.run.status.started == 0 || session.run.status.subprogramEnd != 0) {
        return kBlockNoMove;
    }
    HandleToolChange(session, loop);
    FollowToolCentreSwitch(session, loop);
    SetKeepProgrammedAngles(session, 0);
    if (RotationProgrammingBlock(session)) {
        return kBlockNoMove;
    }
    const int resync = ResynchroniseIfAsked(session, *loop);
    loop->resyncTurn = resync == kResyncThenTurn ? 1 : 0;
    if (resync == kResyncDone || (resync == kResyncNone && TakePlanePositionIfSetUp(session))) {
        return kBlockResynchronised;
    }
    FinishBlockPosition(session);
    SetKeepProgrammedAngles(session, TakePlaneRotaryAngles(session));
    const bool shifted = loop->shiftPending != 0;
    if (shifted) {
        loop->shiftPending = 0;
        session.kinematics->motion.motionType = 0;
    }
    if (session.run.block.coordinateSettingBlock != 0) {
        // G92: the position in the new coordinates is where the next move starts.
        session.kinematics->pose.program = session.kinematics->motion.lastPosition;
        UpdateMachinePosition(*session.kinematics);
        return kBlockPositionSet;
    }
    FillStepBlockInfo(session, info);
    if (shifted) {
        ShiftMoveStart(session, *loop, info);
    }
    return session.kinematics->motion.motionType == kMotionNurbs ? kBlockNurbs : kBlockMove;
}

MoveStepContext RunContext(CuttingRun& run) {
    return MoveStepContext{run.request.session, &run.record, run.request.stock, &run.cutting,
                           &run.reports,        &run.mode,   &run.controls,     &run.request};
}

void GiveRunRequest(CuttingRun& run, RunRequest request) {
    run.request = std::move(request);
    run.mode.store(run.request.mode);
    RenewRunControls(run.controls);
    ResetRunStatus();
}

CuttingRun* RunOfThisThread() {
    return threadRun;
}

void RunCutting(CuttingRun& run) {
    const ThreadRunBinding binding(&run);
    run.state.store(RunState::kRunning);
    NcSession& session = *run.request.session;
    DexelMemoryShortage.store(0);
    int end = kRunEndMemory;
    // Memory that runs out anywhere in the run ends the run, not the program.
    try {
        end = SetUpRun(run);
        if (end == 1) {
            end = RunBlocks(run);
        }
    } catch (const std::bad_alloc&) {
        end = kRunEndMemory;
    }
    CloseNcSession(&session);
    EndRunKinematics(session);
    RunResult& result = run.result;
    result.end = end;
    result.toolChanges = run.loop.toolChanges;
    result.steps = run.record.steps;
    result.alarmSteps = run.record.alarmSteps;
    result.removedVolume = run.record.removedVolume;
    result.stepCapHits = run.record.stepCapHits;
    for (const std::atomic<std::uint8_t>& kind : run.reports.kinds.bytes) {
        result.interferenceKinds += kind.load() != 0 ? 1 : 0;
    }
    result.limitLogLines = run.reports.limitLog.lineCount;
    result.rotaryWarnings = run.reports.warningFile.count;
    run.state.store(RunState::kEnded);
}

int StartCuttingRun(CuttingRun& run, RunRequest request, std::function<void(CuttingRun&)> body) {
    if (HasWorkerThread(run.thread)) {
        return 0;
    }
    GiveRunRequest(run, std::move(request));
    run.result = RunResult{};
    run.state.store(RunState::kRunning);
    if (!body) {
        body = [](CuttingRun& r) {
            PrepareCuttingRun(*r.request.session, r.reports);
            RunCutting(r);
        };
    }
    CuttingRun* self = &run;
    // Counted before the thread exists, so that no read of the stock starts as it begins to cut.
    runThreadsCutting.fetch_add(1);
    if (CreateWorkerThread(
            &run.thread,
            [self, body] {
                const ThreadRunBinding binding(self);
                // Memory that runs out where RunCutting does not catch it (the run's
                // preparation, a body of a tool or a test) ends the run, not the program.
                try {
                    body(*self);
                } catch (const std::bad_alloc&) {
                    self->result.end = kRunEndMemory;
                }
                runThreadsCutting.fetch_sub(1);
                self->state.store(RunState::kEnded);
                if (self->ended != nullptr) {
                    self->ended();
                }
            },
            0, 1) < 0) {
        // No thread for the run: it ends as out of memory.
        runThreadsCutting.fetch_sub(1);
        run.result.end = kRunEndMemory;
        run.state.store(RunState::kEnded);
        return -1;
    }
    return 1;
}

int CuttingRunFinished(const CuttingRun& run) {
    return run.state.load() == RunState::kEnded || IsWorkerThreadFinished(run.thread) ? 1 : 0;
}

int CuttingRunHasThread(const CuttingRun& run) {
    return HasWorkerThread(run.thread);
}

int MayReadRunStock() {
    return runThreadsCutting.load() == 0 || WindowRun.controls.redrawRequest.load() != 0 ||
                   WindowRun.controls.pauseRequest.load() != 0
               ? 1
               : 0;
}

void JoinCuttingRun(CuttingRun& run) {
    JoinWorkerThread(&run.thread);
}

void JoinCuttingRunAnsweringMessages(CuttingRun& run) {
    WaitForWorkerThread(&run.thread);
}

}  // namespace mirexa
