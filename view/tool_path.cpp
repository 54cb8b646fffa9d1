// The tool path display: the NC program pulled again through the step driver, each block taken
// by the simulation's bookkeeping, each move posed by the simulation's interpolation and emitted
// as a line strip; the machine state saved before and restored after.
#include "view/tool_path.h"

#include <GL/gl.h>

#include <cmath>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"
#include "geometry/progress.h"
#include "geometry/shared_state.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nurbs_evaluation.h"
#include "nc/step_driver.h"
#include "platform/clock.h"
#include "platform/file_info.h"
#include "platform/keys.h"
#include "platform/window.h"
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

// --- Messages during the drawing ---------------------------------------------------------------
// The drawing runs inside a paint and owns the interpreter. Every 3 s it takes one pending
// message: a key goes to its window (the stop key sets AbortRequest); anything else (a paint, a
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

// Everything a path drawing changes that the simulation, the view or the dialogs read, saved at
// its start and put back at its end.
struct SavedMachineState {
    MachinePose pose = {};
    MotionPosition workOrigin = {};
    MotionRecord motion = {};
    NcRunState run = {};
    NcLineBuffer line = {};
    KinematicsModeFlags modes = {};
    TiltedWorkPlane plane = {};
    TcpTableFrame tcp = {};
    KinematicsToolValues toolValues = {};
    SimulationRunRecord simulation = {};
    NcControllerView controller = {};
    std::int32_t tool = -1;
    CurrentToolRecord toolRecord = {};
    ToolProfile toolProfile = {};
};

// Copies each live record into the saved state (save 1) or back (save 0).
template <typename T>
void Transfer(T& live, T& kept, int save) {
    if (save != 0) {
        kept = live;
    } else {
        live = kept;
    }
}

void TransferMachineState(SavedMachineState* s, int save) {
    Transfer(CurrentTool, s->toolRecord, save);
    Transfer(CurrentToolProfile, s->toolProfile, save);
    Transfer(CurrentMachinePose, s->pose, save);
    Transfer(WorkOrigin, s->workOrigin, save);
    Transfer(CurrentMotion, s->motion, save);
    Transfer(NcRun, s->run, save);
    Transfer(NcLine, s->line, save);
    Transfer(KinematicsMode, s->modes, save);
    Transfer(CurrentWorkPlane, s->plane, save);
    Transfer(TcpTable, s->tcp, save);
    Transfer(CurrentToolValues, s->toolValues, save);
    Transfer(SimRun, s->simulation, save);
    Transfer(NcController, s->controller, save);
}

void SaveMachineState(SavedMachineState* s) {
    s->tool = CurrentTool.derivedFrom;
    TransferMachineState(s, 1);
}

double CurrentStockPitch() {
    const int index = CurrentStockIndex.load();
    if (index < 0 || index >= kStockModelSlots || StockModels[index].nx == 0) {
        return 0.0;
    }
    return StockModels[index].pitch;
}

// The tool first: selected again when the drawing mounted another (so that the lists showing the
// tool are flagged and the tool's length offsets applied), then every record as it was, the tool's
// own included (a state without a selected tool cannot be selected again).
void RestoreMachineState(SavedMachineState* s) {
    if (s->tool >= 0 && s->tool != CurrentTool.derivedFrom) {
        SelectCurrentTool(s->tool, CurrentStockPitch());
    }
    TransferMachineState(s, 0);
}

// The point of the current step in display units.
void CurrentToolPointForDisplay(double out[3]) {
    const double scale = DisplayUnitFactor != 0.0 ? DisplayUnitFactor : 1.0;
    for (int k = 0; k < 3; ++k) {
        out[k] = CurrentMachinePose.tool.point[k] / scale;
    }
}

// One strip in the output, counted in the summary.
struct StripWriter {
    const ToolPathOutput& output;
    bool open = false;

    void Begin(int dashed) {
        double start[3];
        CurrentToolPointForDisplay(start);
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
        CurrentToolPointForDisplay(point);
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
void DrawMove(const StepBlockInfo& block, int withoutRotary, const ToolPathOutput& output) {
    MoveInterpolation plan;
    if (PlanMoveInterpolation(block, &plan) == 0) {
        return;
    }
    const bool rapid = CurrentMotion.motionType == kMotionRapid;
    if (withoutRotary != 0 && plan.isArc == 0) {
        plan.steps = 1;
    }
    const bool drawn = !(rapid && ToolPathDisplay.hideRapids != 0);
    StripWriter strip{output};
    if (drawn) {
        strip.Begin(rapid ? 1 : 0);
    }
    for (std::int64_t i = 1; i <= plan.steps; ++i) {
        PoseMoveStep(block, plan, i);
        if (drawn) {
            strip.Vertex();
        }
    }
    EndMoveInterpolation();
    strip.End();
    ++LastToolPath.moves;
}

// The block loop: every block through the simulation's bookkeeping; returns the result.
int DrawBlocks(int withoutRotary, const ToolPathOutput& output) {
    BlockLoopState loop;  // tools are mounted by MountToolForStepping alone
    while (NcRun.status.endState < 2) {
        NoteBlockEntry(&loop);
        ComputeNextMove();
        if (NcRun.status.error > 0) {
            LastToolPath.error = NcRun.status.error;
            RunControl.runError = 1;
            return kToolPathError;
        }
        StepBlockInfo info;
        const int kind = TakeFetchedBlock(&loop, &info);
        if (kind == kBlockMove) {
            DrawMove(info, withoutRotary, output);
        } else if (kind == kBlockNurbs) {
            DrawNurbsPathMove(output);
        }
        UpdateProgress(0);
        PumpKeysDuringPath();
        if (RunControl.abortRequest.load() != 0) {
            return kToolPathAborted;
        }
    }
    return kToolPathDrawn;
}

// Steps 3 to 5 of TraceToolPath between the save and the restore.
int RunPath(int withoutRotary, const ToolPathOutput& output) {
    const std::string path = DefinitionFiles.ncProgramFile;
    if (path.empty()) {
        return kToolPathNoSource;
    }
    RefreshNcControllerView();
    if (NcController.runTypeMemory != 0) {
        LoadNcProgramIndex(path);
    }
    // The path writes no alarm report: the radius-offset alarms are off while it runs.
    NcController.radiusCheckAny = 0;
    NcController.radiusCheckListMode = 0;
    ResetInterpreterState();
    UpdateMachinePosition();
    ResetSimulationRunRecord();
    if (!(SimRun.stepLength > 0.0) || !std::isfinite(SimRun.stepLength)) {
        return kToolPathBadStep;
    }
    const bool reader = SimulationCallbacks.openPathReader != nullptr &&
                        SimulationCallbacks.openPathReader(path.c_str()) != 0;
    if (!reader && OpenNcProgramSource(path) == 0) {
        return kToolPathNoSource;
    }
    BeginProgressForNcFile(MainWindow.load(), path.c_str(), "Draw Path", "Draw Path");
    const int result = DrawBlocks(withoutRotary, output);
    if (reader) {
        if (SimulationCallbacks.closePathReader != nullptr) {
            SimulationCallbacks.closePathReader();
        }
    } else {
        CloseNcProgramSource();
    }
    EndProgress();
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

std::int64_t DrawNurbsPathMove(const ToolPathOutput& output) {
    const NurbsCurveData& curve = NurbsCurve;
    if (ValidateNurbsCurve(curve) != kNurbsValid) {
        return 0;  // as the cut: a curve that is not complete is not stepped
    }
    StripWriter strip{output};
    strip.Begin(0);
    std::int64_t posed = 0;
    const int last = LastNurbsSpan(curve);
    for (int span = FirstNurbsSpan(curve); span <= last; ++span) {
        const std::int64_t m = CountNurbsSpanSteps(curve, span, SimRun.stepLength);
        for (std::int64_t j = 1; j <= m; ++j) {
            double point[3];
            if (!EvaluateNurbsSpanStep(curve, span, j, m, point)) {
                break;
            }
            PoseNurbsStep(point);
            strip.Vertex();
            ++posed;
        }
        if (RunControl.abortRequest.load() != 0) {
            break;
        }
    }
    strip.End();
    ++LastToolPath.moves;
    return posed;
}

int TraceToolPath(int withoutRotary, const ToolPathOutput& output) {
    // The interpreter belongs to one puller at a time: a cutting run or a data check run (whose
    // message pumps may dispatch a paint) keeps it.
    if (pathDrawing || RunControl.runMode.load() != kRunIdle || NcRun.dataCheckActive != 0) {
        return kToolPathRefused;
    }
    pathDrawing = true;
    LastToolPath = ToolPathSummary{};
    RunControl.abortRequest = 0;
    SavedMachineState saved;
    SaveMachineState(&saved);
    const int result = RunPath(withoutRotary, output);
    RestoreMachineState(&saved);
    RunControl.abortRequest = 0;
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

int ToggleToolPathDisplay(int variant, int duringRun) {
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
        ToolPathDisplay.hideRapids = IsKeyDown(VK_SHIFT) ? 1 : 0;
        (variant == 0 ? SceneDirty.path : SceneDirty.pathNoRotary) = 1;
    }
    return 1;
}

int IsToolPathDrawing() {
    return pathDrawing ? 1 : 0;
}

void InstallToolPathDrawing() {
    ViewCallbacks.drawToolPath = [](int withoutRotary) { DrawToolPath(withoutRotary); };
    ToolPathDisplay.listBuilt[0] = ToolPathDisplay.listBuilt[1] = 0;
}

}  // namespace mirexa
