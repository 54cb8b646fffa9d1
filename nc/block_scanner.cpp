// The shared operations of the block scanner: placing axis values, the cutter side, canned cycle
// and tool selection, and length offsets.
#include "nc/block_scanner.h"

#include "geometry/machine_kinematics.h"
#include "nc/coordinate_transforms.h"
#include "nc/cutter_compensation.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_words.h"
#include "nc/tool_change_moves.h"

namespace mirexa {

namespace {

double ReadOffsetValue(const float* table, int index) {
    return (table != nullptr && index >= 0 && index < kToolOffsetEntries) ? table[index] : 0.0;
}

}  // namespace

double LengthOfOffset(int h) {
    const NcOffsetMemoryView& memory = NcController.offsets;
    return ReadOffsetValue(memory.hOffset, h) + ReadOffsetValue(memory.hWear, h);
}

double HolderOffset() {
    return NcController.toolBasePoint == 4 ? NcController.toolHolderOffset : 0.0;
}

void SetLengthOffset(double value) {
    CurrentToolValues.lengthOffset = value;
}

void ApplyModalLengthOffset() {
    const NcModalState& modal = NcRun.modal;
    SetLengthOffset(modal.lengthCompensation *
                    (LengthOfOffset(modal.lengthOffsetNumber) + HolderOffset()));
}

void SelectLengthAxis(int atLengthCode) {
    switch (NcController.lengthOffsetType) {
        case 0:
            KinematicsMode.lengthCompensationAxis = NcController.axes.programXyAxes[2];
            break;
        case 1:
            KinematicsMode.lengthCompensationAxis = NcRun.modal.plane.normal;
            break;
        default:
            if (atLengthCode) {
                KinematicsMode.lengthCompensationAxis = 2;
                NcRun.block.lengthAxisFromWord = 1;
            }
            break;
    }
}

void CancelLengthCompensation() {
    NcModalState& modal = NcRun.modal;
    if (NcController.g49Mode && modal.lengthCompensation != 0) {
        modal.lengthCancelState = 1;
    }
    modal.lengthCompensation = 0;
    if (modal.toolCenterPointMode != kToolCentreOff && NcController.resetToolCenterControl == 0) {
        // The start point is the tool point moved back by the length offset still in force.
        modal.toolCenterPointMode = kToolCentreOff;
        ResetPositionsToStartPoint();
    }
    SetLengthOffset(0.0);
}

void StartCycle(int n) {
    NcModalState& modal = NcRun.modal;
    modal.cycleCode = n;
    modal.cycleIncremental = modal.incremental;
    modal.cycleInitialLevel = CurrentMotion.start.axis[modal.plane.normal];
    modal.cycleRepeat = 1;
}

void SelectTool(int t) {
    NcModalState& modal = NcRun.modal;
    NcRun.block.toolWordSeen = 1;
    modal.toolNumber = t;
    modal.nextTool = t;
    NcRun.toolChange.lastToolWord = t;
    if (NcController.toolChangeRouteSteps > 0) {
        PrepareToolChangeMoves();
    }
}

void SetCutterSide(int code) {
    NcModalState& modal = NcRun.modal;
    if (code == 40) {
        modal.compensationSide = 0;
        if (NcRun.compensationPhase == 1) {
            NcRun.compensationPhase = 2;
        }
        return;
    }
    modal.compensationSide = (code == 41 ? 1 : -1) * (modal.planeCode < 0 ? -1 : 1);
    if (NcRun.compensationPhase == 0) {
        NcRun.compensationPhase = 1;
    }
    SetCompensationSide(modal.compensationSide);
}

int EndProgramByM() {
    if (!NcController.runTypeMemory) {
        return 0;
    }
    MarkProgramEnd();
    NcRun.block.stopScan = 1;
    return 1;
}

}  // namespace mirexa
