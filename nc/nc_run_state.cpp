// The NC interpreter's run state and the small operations on it that several parts share.
#include "nc/nc_run_state.h"

#include "nc/kinematics_services.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_session.h"

namespace mirexa {

NcUsedCodes UsedCodes;

int PushToolAxisMove(NcSession& session, double value, int motionType) {
    NcPendingMoves& p = session.run.pending;
    if (static_cast<int>(p.toolAxisMoves.size()) >= kLookaheadQueueMax) {
        session.run.status.error = kNcErrorQueueFull;
        return 0;
    }
    p.toolAxisMoves.push_back({value, motionType});
    return 1;
}

int PushToolVectorChange(NcSession& session, const double values[4]) {
    NcPendingMoves& p = session.run.pending;
    if (static_cast<int>(p.toolVectors.size()) >= kLookaheadQueueMax) {
        session.run.status.error = kNcErrorQueueFull;
        return 0;
    }
    ToolVectorChange change;
    for (int i = 0; i < 4; ++i) {
        change.values[i] = values[i];
    }
    p.toolVectors.push_back(change);
    return 1;
}

int CyclePointsPending(NcSession& session) {
    return session.run.pending.cyclePointIndex < session.run.pending.cyclePointCount ? 1 : 0;
}

void MarkProgramEnd(NcSession& session) {
    session.run.modal.incremental = 0;
    session.run.status.endState = kRunEndPending;
    if (!CyclePointsPending(session)) {
        session.run.status.endState = kRunEnded;
        if (session.controller.dialect.heidenhain) {
            SetRotaryShortestPath(session, 0);
        }
    }
}

}  // namespace mirexa
