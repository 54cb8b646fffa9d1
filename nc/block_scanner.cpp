// The shared operations of the block scanner: placing axis values, the cutter side, canned cycle
// and tool selection, and length offsets.
#include "nc/block_scanner.h"

#include "geometry/machine_kinematics.h"
#include "nc/coordinate_transforms.h"
#include "nc/cutter_compensation.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"
#include "nc/tool_change_moves.h"

namespace mirexa {

namespace {

double ReadOffsetValue(const float* table, int index) {
    return (table != nullptr && index >= 0 && index < kToolOffsetEntries) ? table[index] : 0.0;
}

}  // namespace

double LengthOfOffset(NcSession& session, int h) {
    const NcOffsetMemoryView& memory = session.controller.offsets;
    return ReadOffsetValue(memory.hOffset, h) + ReadOffsetValue(memory.hWear, h);
}

double HolderOffset(NcSession& session) {
    return session.controller.toolBasePoint == 4 ? session.controller.toolHolderOffset : 0.0;
}

void SetLengthOffset(NcSession& session, double value) {
    session.kinematics->toolValues.lengthOffset = value;
}

void ApplyModalLengthOffset(NcSession& session) {
    const NcModalState& modal = session.run.modal;
    SetLengthOffset(
        session, modal.lengthCompensation *
                     (LengthOfOffset(session, modal.lengthOffsetNumber) + HolderOffset(session)));
}

void SelectLengthAxis(NcSession& session, int atLengthCode) {
    switch (session.controller.lengthOffsetType) {
        case 0:
            session.kinematics->modes.lengthCompensationAxis =
                session.controller.axes.programXyAxes[2];
            break;
        case 1:
            session.kinematics->modes.lengthCompensationAxis = session.run.modal.plane.normal;
            break;
        default:
            if (atLengthCode) {
                session.kinematics->modes.lengthCompensationAxis = 2;
                session.run.block.lengthAxisFromWord = 1;
            }
            break;
    }
}

void CancelLengthCompensation(NcSession& session) {
    NcModalState& modal = session.run.modal;
    if (session.controller.g49Mode && modal.lengthCompensation != 0) {
        modal.lengthCancelState = 1;
    }
    modal.lengthCompensation = 0;
    if (modal.toolCenterPointMode != kToolCentreOff &&
        session.controller.resetToolCenterControl == 0) {
        // The start point is the tool point moved back by the length offset still in force.
        modal.toolCenterPointMode = kToolCentreOff;
        ResetPositionsToStartPoint(session);
    }
    SetLengthOffset(session, 0.0);
}

void StartCycle(NcSession& session, int n) {
    NcModalState& modal = session.run.modal;
    modal.cycleCode = n;
    modal.cycleIncremental = modal.incremental;
    modal.cycleInitialLevel = session.kinematics->motion.start.axis[modal.plane.normal];
    modal.cycleRepeat = 1;
}

void SelectTool(NcSession& session, int t) {
    NcModalState& modal = session.run.modal;
    session.run.block.toolWordSeen = 1;
    modal.toolNumber = t;
    modal.nextTool = t;
    session.run.toolChange.lastToolWord = t;
    if (session.controller.toolChangeRouteSteps > 0) {
        PrepareToolChangeMoves(session);
    }
}

void SetCutterSide(NcSession& session, int code) {
    NcModalState& modal = session.run.modal;
    if (code == 40) {
        modal.compensationSide = 0;
        if (session.run.compensationPhase == 1) {
            session.run.compensationPhase = 2;
        }
        return;
    }
    modal.compensationSide = (code == 41 ? 1 : -1) * (modal.planeCode < 0 ? -1 : 1);
    if (session.run.compensationPhase == 0) {
        session.run.compensationPhase = 1;
    }
    SetCompensationSide(session, modal.compensationSide);
}

int EndProgramByM(NcSession& session) {
    if (!session.controller.runTypeMemory) {
        return 0;
    }
    MarkProgramEnd(session);
    session.run.block.stopScan = 1;
    return 1;
}

}  // namespace mirexa
