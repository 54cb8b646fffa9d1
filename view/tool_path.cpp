// The tool path display: the NC program pulled again through the step driver, each block taken
// by the simulation's bookkeeping, each move posed by the simulation's interpolation and emitted
// as a line strip; all of it in the drawing's own NC session, so that the run's records stay as
// they were, even while a run waits at a stop block.
#include "view/tool_path.h"

#include <GL/gl.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nurbs_evaluation.h"
#include "platform/clock.h"
#include "platform/file_info.h"
#include "platform/window.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "simulation/cutting_run.h"
#include "simulation/move_stepping.h"
#include "simulation/run_control.h"
#include "simulation/simulation_hooks.h"
#include "simulation/simulation_thread.h"
#include "stock/stock_model.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/gl_colors.h"
#include "view/view_hooks.h"

namespace mirexa {

ToolPathOptions ToolPathDisplay;
ToolPathSummary LastToolPath;

namespace {

bool pathDrawing = false;
// The controls of the drawing going on (made new for each drawing; none between drawings), which
// the stop key aborts, and whether a run waits at a stop block meanwhile.
RunControls* drawingControls = nullptr;
bool drawingBesideWaitingRun = false;

bool DrawingAborted() {
    return drawingControls != nullptr && drawingControls->abortRequest.load() != 0;
}

// --- Messages during the drawing ---------------------------------------------------------------
// The drawing runs inside a paint and owns the interpreter. Every 3 s it takes one pending
// message: a key goes to its window (the stop key aborts the drawing); anything else (a paint, a
// command, a timer, a click, the end of the program) is held back and posted again, in its
// order, when the drawing ends, so that nothing starts a run, changes the stock or the machine,
// or paints while the path is being drawn.

constexpr std::uint64_t kPathPumpIntervalMs = 3000;
std::vector<WindowMessage> heldMessages;
std::uint64_t lastPathPumpMs = 0;

void PumpKeysDuringPath() {
    const std::uint64_t now = GetTickMilliseconds();
    if (now - lastPathPumpMs <= kPathPumpIntervalMs) {
        return;
    }
    lastPathPumpMs = now;
    WindowMessage message;
    if (!PeekWindowMessage(&message, PM_REMOVE)) {
        return;
    }
    if (message.message == WM_KEYDOWN || message.message == WM_KEYUP) {
        DispatchWindowMessage(message);
    } else {
        heldMessages.push_back(message);
    }
}

void PostHeldMessages() {
    std::vector<WindowMessage> messages;
    messages.swap(heldMessages);
    for (const WindowMessage& message : messages) {
        if (message.message == WM_QUIT) {
            PostLoopQuit(static_cast<int>(message.wparam));
        } else {
            PostWindowMessage(message.window, message.message, message.wparam, message.lparam);
        }
    }
}

// The tool point of the pose in display units.
void ToolPointForDisplay(const MachinePose& pose, double out[3]) {
    const double scale = DisplayUnitFactor != 0.0 ? DisplayUnitFactor : 1.0;
    for (int k = 0; k < 3; ++k) {
        out[k] = pose.tool.point[k] / scale;
    }
}

// One strip in the output through the tool points of the pose at each call, counted in the
// summary.
struct StripWriter {
    const ToolPathOutput& output;
    const MachinePose& pose;
    bool open = false;

    void Begin(int dashed) {
        double start[3];
        ToolPointForDisplay(pose, start);
        if (DisplayModes.constructionPoint != 0 && output.constructionPoint != nullptr) {
            output.constructionPoint(output.context, start);
        }
        if (output.beginStrip != nullptr) {
            output.beginStrip(output.context, dashed);
        }
        open = true;
        ++LastToolPath.strips;
        Vertex();
    }
    void Vertex() {
        double point[3];
        ToolPointForDisplay(pose, point);
        if (output.vertex != nullptr) {
            output.vertex(output.context, point);
        }
        ++LastToolPath.vertices;
    }
    void End() {
        if (open && output.endStrip != nullptr) {
            output.endStrip(output.context);
        }
        open = false;
    }
};

// A rapid, line or arc: planned and posed exactly as the cut plans and poses it.
void DrawMove(const MoveStepContext& context, const StepBlockInfo& block, int withoutRotary,
              const ToolPathOutput& output) {
    const KinematicsSessionRecords& records = *context.session->kinematics;
    MoveInterpolation plan;
    if (PlanMoveInterpolation(context, block, &plan) == 0) {
        return;
    }
    const bool rapid = records.motion.motionType == kMotionRapid;
    if (withoutRotary != 0 && plan.isArc == 0) {
        plan.steps = 1;
    }
    const bool drawn = !(rapid && ToolPathDisplay.hideRapids != 0);
    StripWriter strip{output, records.pose};
    if (drawn) {
        strip.Begin(rapid ? 1 : 0);
    }
    for (std::int64_t i = 1; i <= plan.steps; ++i) {
        PoseMoveStep(context, block, plan, i);
        if (drawn) {
            strip.Vertex();
        }
    }
    EndMoveInterpolation(context);
    strip.End();
    ++LastToolPath.moves;
}

// The block loop: every block through the simulation's bookkeeping; returns the result.
int DrawBlocks(const MoveStepContext& context, int withoutRotary, bool showProgress,
               const ToolPathOutput& output) {
    NcSession* session = context.session;
    // Tools are mounted by MountToolForStepping alone, derived at the current stock's pitch.
    BlockLoopState loop;
    loop.stock = CurrentStockSlot();
    for (;;) {
        NoteBlockEntry(*context.session, &loop);
        const int next = NextNcMove(session);
        if (next == kNcSessionEnded) {
            return kToolPathDrawn;
        }
        if (next == kNcMoveError) {
            LastToolPath.error = session->run.status.error;
            return kToolPathError;
        }
        StepBlockInfo info;
        const int kind = TakeFetchedBlock(*context.session, &loop, &info);
        if (kind == kBlockMove) {
            DrawMove(context, info, withoutRotary, output);
        } else if (kind == kBlockNurbs) {
            DrawNurbsPathMove(context, output);
        }
        if (showProgress) {
            UpdateProgress(0);
        }
        PumpKeysDuringPath();
        if (DrawingAborted()) {
            return kToolPathAborted;
        }
    }
}

// Steps 3 to 5 of TraceToolPath in the drawing's own session, bound on this thread, stepped with
// the drawing's own record. A run that waits at a stop block keeps its progress bar and its error
// flag: the drawing shows neither.
int RunPath(const MoveStepContext& context, int withoutRotary, bool runWaiting,
            const ToolPathOutput& output) {
    NcSession* session = context.session;
    const std::string path = DefinitionFiles.ncProgramFile;
    if (path.empty()) {
        return kToolPathNoSource;
    }
    RefreshNcControllerView(*context.session);
    // The path writes no alarm report: the radius-offset alarms are off while it runs; and it is
    // no run: no editor follows its lines and no panel is redrawn for its blocks.
    context.session->controller.radiusCheckAny = 0;
    context.session->controller.radiusCheckListMode = 0;
    session->kinematics->modes.runMode = RunMode::kIdle;
    session->kinematics->modes.batchKind = BatchRunKind::kNone;
    context.session->source.levelsHidden = runWaiting ? 1 : 0;
    const NcMoveReader reader{SimulationCallbacks.openPathReader,
                              SimulationCallbacks.closePathReader};
    const int opened = OpenNcSession(session, path, reader);
    UpdateMachinePosition(*session->kinematics);
    ResetSimulationRunRecord(context);
    const double stepLength = context.record->stepLength;
    int result = kToolPathNoSource;
    if (!(stepLength > 0.0) || !std::isfinite(stepLength)) {
        result = kToolPathBadStep;
    } else if (opened != 0) {
        if (!runWaiting) {
            BeginProgressForNcFile(MainWindow.load(), path.c_str(), "Draw Path", "Draw Path");
        }
        result = DrawBlocks(context, withoutRotary, !runWaiting, output);
        if (!runWaiting) {
            EndProgress();
        }
    }
    CloseNcSession(session);
    return result;
}

// --- OpenGL output ---------------------------------------------------------------------------

struct GlPathContext {
    const float* pathColor = {};
};

void GlBeginStrip(void* context, int dashed) {
    (void)context;
    if (dashed != 0) {
        glLineStipple(1, 0xF0F0);
        glEnable(GL_LINE_STIPPLE);
    } else {
        glDisable(GL_LINE_STIPPLE);
    }
    glBegin(GL_LINE_STRIP);
}

void GlVertex(void* context, const double point[3]) {
    (void)context;
    glVertex3dv(point);
}

void GlEndStrip(void* context) {
    (void)context;
    glEnd();
}

void GlConstructionPoint(void* context, const double point[3]) {
    const auto* gl = static_cast<const GlPathContext*>(context);
    glColor4fv(GlColors.construction);
    glBegin(GL_POINTS);
    glVertex3dv(point);
    glEnd();
    glColor4fv(gl->pathColor);
}

GlPathContext glPathContexts[2] = {{GlColors.topPath}, {GlColors.topPath2}};

}  // namespace

ToolPathOutput GlToolPathOutput(int withoutRotary) {
    ToolPathOutput output;
    output.context = &glPathContexts[withoutRotary != 0 ? 1 : 0];
    output.beginStrip = GlBeginStrip;
    output.vertex = GlVertex;
    output.endStrip = GlEndStrip;
    output.constructionPoint = GlConstructionPoint;
    return output;
}

std::int64_t DrawNurbsPathMove(const MoveStepContext& context, const ToolPathOutput& output) {
    const NurbsCurveData& curve = context.session->nurbs;
    if (ValidateNurbsCurve(curve) != kNurbsValid) {
        return 0;  // as the cut: a curve that is not complete is not stepped
    }
    StripWriter strip{output, context.session->kinematics->pose};
    strip.Begin(0);
    std::int64_t posed = 0;
    const int last = LastNurbsSpan(curve);
    for (int span = FirstNurbsSpan(curve); span <= last; ++span) {
        const std::int64_t m = CountNurbsSpanSteps(curve, span, context.record->stepLength);
        for (std::int64_t j = 1; j <= m; ++j) {
            double point[3];
            if (!EvaluateNurbsSpanStep(curve, span, j, m, point)) {
                break;
            }
            PoseNurbsStep(context, point);
            strip.Vertex();
            ++posed;
        }
        if (DrawingAborted()) {
            break;
        }
    }
    strip.End();
    ++LastToolPath.moves;
    return posed;
}

int TraceToolPath(int withoutRotary, const ToolPathOutput& output) {
    // The interpreter of the run belongs to the run: the path is drawn when no run goes or while
    // the run waits at a stop block, and never inside a data check (whose message pumps may
    // dispatch a paint) or inside another drawing.
    const bool runWaiting = WindowRun.mode.load() != RunMode::kIdle;
    if (pathDrawing || (runWaiting && WindowRun.controls.pauseRequest.load() == 0) ||
        RunSession.run.dataCheckActive != 0) {
        return kToolPathRefused;
    }
    pathDrawing = true;
    LastToolPath = ToolPathSummary{};
    RunControls controls;
    drawingControls = &controls;
    drawingBesideWaitingRun = runWaiting;
    // The drawing's own session starts where the run's stands and is dropped at the end: the
    // run's records are read, never written. The interpreter's pull and the stepping take it,
    // with the drawing's own step record, as their context.
    auto session = std::make_unique<NcSession>();
    CopyNcSessionState(session.get(), RunSession);
    SimulationRunRecord record;
    auto cutting = std::make_unique<CuttingState>();
    const int result = RunPath({session.get(), &record, nullptr, cutting.get()}, withoutRotary,
                               runWaiting, output);
    drawingControls = nullptr;
    drawingBesideWaitingRun = false;
    PostHeldMessages();
    LastToolPath.result = result;
    pathDrawing = false;
    return result;
}

int DrawToolPath(int withoutRotary) {
    if (DisplayModes.constructionPoint != 0) {
        glPointSize(3.0f);
    }
    const int result = TraceToolPath(withoutRotary, GlToolPathOutput(withoutRotary));
    glDisable(GL_LINE_STIPPLE);
    const int variant = withoutRotary != 0 ? 1 : 0;
    ToolPathDisplay.listBuilt[variant] = 1;
    ToolPathDisplay.listFileTime[variant] = GetFileWriteTime(DefinitionFiles.ncProgramFile);
    return result;
}

int ToggleToolPathDisplay(int variant, int duringRun, bool shiftHeld) {
    variant = variant != 0 ? 1 : 0;
    std::int32_t& shown = variant == 0 ? DisplayModes.pathDisplay : DisplayModes.pathDisplay2;
    if (duringRun != 0) {
        if (ToolPathDisplay.listBuilt[variant] == 0 ||
            !(GetFileWriteTime(DefinitionFiles.ncProgramFile) ==
              ToolPathDisplay.listFileTime[variant])) {
            return 0;
        }
        shown = shown != 0 ? 0 : 1;
        return 1;
    }
    shown = shown != 0 ? 0 : 1;
    if (shown != 0) {
        ToolPathDisplay.hideRapids = shiftHeld ? 1 : 0;
        (variant == 0 ? SceneDirty.path : SceneDirty.pathNoRotary) = 1;
    }
    return 1;
}

int IsToolPathDrawing() {
    return pathDrawing ? 1 : 0;
}

void AbortWindowJob() {
    if (drawingControls != nullptr) {
        RequestRunAbort(*drawingControls);
        if (!drawingBesideWaitingRun) {
            return;
        }
    }
    RequestRunAbort(WindowRun.controls);
}

void InstallToolPathDrawing() {
    ViewCallbacks.drawToolPath = [](int withoutRotary) { DrawToolPath(withoutRotary); };
    ToolPathDisplay.listBuilt[0] = ToolPathDisplay.listBuilt[1] = 0;
}

}  // namespace mirexa
