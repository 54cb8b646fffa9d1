// The NC interpreter's run state and the small operations on it that several parts share.
#include "nc/nc_run_state.h"

#include "nc/kinematics_services.h"
#include "nc/nc_controller_view.h"

namespace mirexa {

NcUsedCodes UsedCodes;

int PushToolAxisMove(double value, int motionType) {
    NcPendingMoves& p = NcRun.pending;
    if (static_cast<int>(p.toolAxisMoves.size()) >= kLookaheadQueueMax) {
        NcRun.status.error = kNcErrorQueueFull;
        return 0;
    }
    p.toolAxisMoves.push_back({value, motionType});
    return 1;
}

int PushToolVectorChange(const double values[4]) {
    NcPendingMoves& p = NcRun.pending;
    if (static_cast<int>(p.toolVectors.size()) >= kLookaheadQueueMax) {
        NcRun.status.error = kNcErrorQueueFull;
        return 0;
    }
    ToolVectorChange change;
    for (int i = 0; i < 4; ++i) {
        change.values[i] = values[i];
    }
    p.toolVectors.push_back(change);
    return 1;
}

int CyclePointsPending() {
    return NcRun.pending.cyclePointIndex < NcRun.pending.cyclePointCount ? 1 : 0;
}

void MarkProgramEnd() {
    NcRun.modal.incremental = 0;
    NcRun.status.endState = kRunEndPending;
    if (!CyclePointsPending()) {
        NcRun.status.endState = kRunEnded;
        if (NcController.dialect.heidenhain) {
            SetRotaryShortestPath(0);
        }
    }
}

}  // namespace mirexa
