// The simulation thread's procedure: run start, the block loop with its stop test, tool changes
// and blocks without moves, the stepping of each move, the redraws after a block, and run end.
#include "simulation/simulation_thread.h"

#include <cmath>
#include <cstring>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "geometry/machine_kinematics.h"
#include "geometry/shared_state.h"
#include "geometry/tool_length_report.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/step_driver.h"
#include "simulation/cutting_core.h"
#include "simulation/move_stepping.h"
#include "simulation/run_control.h"
#include "simulation/simulation_hooks.h"
#include "stock/stock_model.h"

namespace mirexa {

SimulationRunSummary LastRunSummary;

namespace {

// The tool that the last T word prepared (tool-change modes 2 and 3); -1 none.
int PreparedTool = -1;

StockModel* CurrentStockModel() {
    const int index = CurrentStockIndex.load();
    return (index >= 0 && index < kStockModelSlots) ? &StockModels[index] : nullptr;
}

// Sub-moves that the step driver still hands out before it reads another line.
bool SubMovesPending() {
    const NcPendingMoves& p = NcRun.pending;
    return p.toolChangeIndex < p.toolChangeCount || p.rapidLegIndex < p.rapidLegCount ||
           p.toolAxisIndex < static_cast<int>(p.toolAxisMoves.size()) ||
           p.toolVectorIndex < static_cast<int>(p.toolVectors.size()) ||
           p.cyclePointIndex < p.cyclePointCount || NcRun.reference.phase == 1;
}

int InnermostLineNumber() {
    const int depth = Subprograms.depth;
    return depth > 0 ? Subprograms.lineCounter[depth - 1] : NcLine.mainLineNumber;
}

void PublishBlock() {
    PublishRunBlock(InnermostLineNumber(), NcLine.mainLineNumber, NcLine.text);
}

// A stop before the block: asked for by the user (StopKeyRequest, PendingStop). The stop is made
// on the line just read, which is held for the next fetch. Returns 0 when the run is to end.
int StopBeforeBlockIfAsked() {
    if (RunControl.stopKeyRequest.load() == 0 && RunControl.pendingStop.load() == 0) {
        return 1;
    }
    // Batch runs wait for nobody: the stop is noted and passed.
    if (RunLogFlag.load() != 0 || AutomaticMode.load() != 0) {
        RunControl.stopKeyRequest = 0;
        RunControl.pendingStop = 0;
        return 1;
    }
    PublishBlock();
    return WaitAtStopBlock();
}

// What the tool-length report line needs to know of the current tool.
void NoteCurrentToolForReport() {
    CurrentToolBrief& brief = CurrentToolState;
    brief.number = CurrentTool.derivedFrom;
    brief.fromPlugin = CurrentTool.derivedFrom == 0 ? 1 : 0;
    brief.hasHolder = CurrentTool.holder.present != 0 ? 1 : 0;
    brief.lengthKind = static_cast<int>(CurrentTool.length.kind);
    brief.shapeType = static_cast<int>(CurrentTool.tool.type);
}

// The use of the current tool ends (its tool-length report line), the new one becomes current.
void MountTool(int tool) {
    WriteToolLengthReportLine();
    const StockModel* stock = CurrentStockModel();
    SelectCurrentTool(tool, stock != nullptr && stock->nx != 0 ? stock->pitch : 0.0);
    LoadCutterSections(CurrentTool, &CurrentCutter);
    NoteCurrentToolForReport();
    SimulationState = 0;
    if (DrawingSuppressed.load() == 0) {
        RunControl.toolPanelPendingPaint = 1;
    }
    if (NcController.heidenhain != 0 || NcController.siemens != 0) {
        SetLengthOffsetForCurrentTool();
    }
    ++LastRunSummary.toolChanges;
}

// The tool change of a block by the machine's tool-change mode: 1 mounts the T word's tool at
// once; M06 mounts it in mode 2 and, in mode 3, mounts the tool the previous T word prepared;
// any other T word only prepares its tool.
void HandleToolChange() {
    NcModalState& modal = NcRun.modal;
    const NcPendingMoves& p = NcRun.pending;
    if (modal.nextTool < 0 || p.toolChangeIndex < p.toolChangeCount) {
        return;
    }
    const bool m06 = modal.mCode == 6;
    if (Machine.atcType == 3 && m06 && modal.toolNumber >= 0) {
        if (PreparedTool >= 0) {
            MountTool(PreparedTool);
        }
        PreparedTool = modal.nextTool;
        modal.nextTool = -1;
    } else if (Machine.atcType == 1 || m06) {
        MountTool(modal.nextTool);
        modal.nextTool = -1;
        PreparedTool = -1;
    } else {
        PreparedTool = modal.nextTool;
    }
}

// Blocks that end without a move: rotation programming (G68, G127 in the OSP dialect).
bool RotationProgrammingBlock() {
    const int g = NcRun.modal.gCode;
    return g == 68 || (NcController.osp != 0 && g == 127);
}

void FillStepBlockInfo(StepBlockInfo* info) {
    const MotionRecord& m = CurrentMotion;
    *info = StepBlockInfo{};
    const int depth = Subprograms.depth;
    const int line = depth > 0 ? NcLine.mainLineNumber : NcLine.displayedLineNumber;
    info->lineStamp = m.lookaheadReplay != 0 ? -line : line;
    info->mainLine = NcLine.mainLineNumber;
    if (depth > 0) {
        info->inSubprogram = 1;
        std::strncpy(info->subprogramName, Subprograms.name[depth - 1],
                     sizeof info->subprogramName - 1);
        info->subprogramLine = Subprograms.lineCounter[depth - 1];
    }
    info->cycleActive = NcRun.modal.cycleCode != kNoCycle ? 1 : 0;
    info->cycleMove = m.cycleMoveFlag;
    info->spindleStopped = NcRun.modal.spindleDirection == 0 ? 1 : 0;
    info->arcPlane[0] = NcRun.modal.plane.first;
    info->arcPlane[1] = NcRun.modal.plane.second;
    info->turning[0] = NcRun.userSwitch[0];
    info->turning[1] = NcRun.userSwitch[1];
    info->from = m.startPoint;
    info->to = m.lastPosition;
    const bool g53 =
        KinematicsMode.machineCoordinateMove != 0 && KinematicsMode.toolCenterControl == 0;
    if (NcRun.reference.phase == 2) {
        // The final reference leg runs in machine coordinates to its target.
        info->machineCoordinates = 1;
        info->from = CurrentMachinePose.machine;
        info->to = m.machineTarget;
    } else if (g53) {
        // G53: the named axes go to their machine values, the others stay.
        info->machineCoordinates = 1;
        info->from = CurrentMachinePose.machine;
        info->to = CurrentMachinePose.machine;
        for (int i = 0; i < 5; ++i) {
            if (NcRun.block.axisNamed[i] != 0) {
                info->to.axis[i] = m.end.axis[i] + WorkOrigin.axis[i];
            }
        }
    }
    info->keepShortMoves =
        (CurrentWorkPlane.active != 0 || NcRun.transforms.tiltedPlaneReady != 0 ||
         KinematicsMode.lastGCode == 531 || info->machineCoordinates != 0)
            ? 1
            : 0;
}

// Redraws after a block: in skip runs every SKIP BLOCK lines, and after a block with an event
// that pauses the run.
void RedrawAfterBlock(int* lastRedrawLine) {
    if (DrawingSuppressed.load() != 0) {
        return;
    }
    if (RunControl.runMode.load() == kRunSkipCutting && RunControl.showSteps.load() == 0) {
        const int line = InnermostLineNumber();
        if (line - *lastRedrawLine >= SimRun.skipBlock) {
            *lastRedrawLine = line;
            RequestRedrawAndWait();
        }
    }
    if (RunLogFlag.load() == 0 && SimulationCallbacks.blockHasPauseEvent != nullptr &&
        SimulationCallbacks.blockHasPauseEvent() != 0) {
        RequestRedrawAndWait();
    }
}

// Run start: measures and flags cleared, the interpreter reset from the controller values, the
// machine pose computed, the run record reset at that pose, the current tool's sections loaded,
// the video started, the NC source opened. 1, or the run's end code.
int StartRun(const std::string& path) {
    ClearToolLengthMeasurements();
    RunControl.showSteps = 0;
    SimulationState = 1;
    LastRunSummary = SimulationRunSummary{};
    PreparedTool = -1;
    RefreshNcControllerView();
    if (NcController.runTypeMemory != 0) {
        LoadNcProgramIndex(path);
    }
    ResetInterpreterState();
    UpdateMachinePosition();
    ResetSimulationRunRecord();
    LoadCutterSections(CurrentTool, &CurrentCutter);
    NoteCurrentToolForReport();
    if (!(SimRun.stepLength > 0.0) || !std::isfinite(SimRun.stepLength)) {
        return kRunEndBadStep;
    }
    if (SimulationCallbacks.startVideoRecording != nullptr && AutomaticMode.load() == 0) {
        SimulationCallbacks.startVideoRecording();
    }
    if (SimulationCallbacks.openPathReader != nullptr &&
        SimulationCallbacks.openPathReader(path.c_str()) != 0) {
        return 1;
    }
    return OpenNcProgramSource(path) != 0 ? 1 : kRunEndNoSource;
}

// The block loop; returns the run's end code.
int RunBlocks() {
    int lastRedrawLine = 0;
    while (NcRun.status.endState < 2) {
        // Fetch: a held line, queued sub-moves or a new block; a stop asked for before the block
        // is made on the line read for it, which is held for the next fetch.
        if (NcLine.lineHeld == 0 && !SubMovesPending() &&
            (RunControl.stopKeyRequest.load() != 0 || RunControl.pendingStop.load() != 0)) {
            if (ReadNextNcLine() != 0) {
                NcLine.lineHeld = 1;
                RunControl.lineHeld = 1;
                if (StopBeforeBlockIfAsked() == 0) {
                    return kRunEndAbort;
                }
                RunControl.pendingStop = 0;
                continue;
            }
        }
        const std::int64_t stepsBefore = SimRun.steps;
        const double volumeBefore = SimRun.removedVolume;
        ComputeNextMove();
        RunControl.lineHeld = 0;
        if (!(RunControl.runMode.load() >= kRunResult && RunControl.showSteps.load() == 0)) {
            PublishBlock();
        }
        if (NcRun.status.error > 0) {
            RunControl.runError = 1;
            return kRunEndError;
        }
        ++LastRunSummary.blocks;
        if (NcRun.status.started == 0 || NcRun.status.subprogramEnd != 0) {
            continue;
        }
        HandleToolChange();
        if (RotationProgrammingBlock()) {
            continue;
        }
        FinishBlockPosition();
        int result = kMoveSkipped;
        if (NcRun.block.coordinateSettingBlock != 0) {
            // G92: the position in the new coordinates is where the next move starts.
            CurrentMachinePose.program = CurrentMotion.lastPosition;
            UpdateMachinePosition();
        } else {
            // Every fetch may carry a move (a block, a cycle point, a rapid leg, a look-ahead
            // replay, a NURBS curve stepped by knot span); one without travel is not stepped.
            StepBlockInfo info;
            FillStepBlockInfo(&info);
            result = StepCurrentMove(info);
            if (result == kMoveStepped) {
                ++LastRunSummary.moves;
            }
        }
        PublishRunProgress(SimRun.steps - stepsBefore, SimRun.removedVolume - volumeBefore);
        // After the block: an over-travel, an abort or an interference that broke off ends the
        // run.
        if (RunControl.overTravelAxis.load() >= 0) {
            return kRunEndOverTravel;
        }
        if (RunControl.abortRequest.load() != 0) {
            return kRunEndAbort;
        }
        if (result == kMoveEndsRun) {
            return kRunEndInterference;
        }
        RedrawAfterBlock(&lastRedrawLine);
        if (RunControl.abortRequest.load() != 0) {
            return kRunEndAbort;
        }
        if (SimulationCallbacks.writeInterferenceReport != nullptr) {
            SimulationCallbacks.writeInterferenceReport();
        }
    }
    return kRunEndProgram;
}

}  // namespace

void SimulationThreadProc() {
    const std::string path = DefinitionFiles.ncProgramFile;
    int end = StartRun(path);
    if (end == 1) {
        end = RunBlocks();
        if (SimulationCallbacks.closePathReader != nullptr) {
            SimulationCallbacks.closePathReader();
        }
        CloseNcProgramSource();
    }
    LastRunSummary.end = end;
}

}  // namespace mirexa
