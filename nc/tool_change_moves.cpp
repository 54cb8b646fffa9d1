// Tool change moves along the machine's route.
#include "nc/tool_change_moves.h"

#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"

namespace mirexa {

namespace {

// Arms the route when the tool to mount is not on the spindle.
void DecideToolChange(NcSession& session, int toMount) {
    NcBlockState& block = session.run.block;
    NcToolChangeState& tc = session.run.toolChange;
    NcPendingMoves& p = session.run.pending;
    const bool changes = toMount >= 0 && toMount != tc.mountedTool;
    if (block.toolChangeArmed) {
        // A later T word of the same block names the tool that is mounted in the end.
        if (changes) {
            tc.mountedTool = toMount;
        }
        return;
    }
    const int steps = session.controller.toolChangeRouteSteps;
    if (!changes || steps <= 0) {
        p.toolChangeCount = p.toolChangeIndex = 0;
        return;
    }
    p.toolChangeCount = steps < kToolChangeRouteSteps ? steps : kToolChangeRouteSteps;
    p.toolChangeIndex = 0;
    block.toolChangeArmed = 1;
    tc.mountedTool = toMount;
    session.run.modal.lengthCompensation = 0;
    session.kinematics->toolValues.lengthOffset = 0.0;
}

// One route step; a block step keeps the block's start and its own axis words.
void MakeToolChangeStep(NcSession& session, bool blockStep) {
    NcPendingMoves& p = session.run.pending;
    MotionRecord& m = session.kinematics->motion;
    m.motionType = kMotionRapid;
    m.sweep = m.length = 0.0;
    m.arcMirrorPending = 0;
    m.cycleMoveFlag = 0;
    m.lookaheadReplay = 0;
    if (!blockStep) {
        m.start = m.end;
        m.blockHasMotion = 0;
    }
    const int step = p.toolChangeIndex;
    if (step >= p.toolChangeCount || step >= kToolChangeRouteSteps) {
        p.toolChangeCount = p.toolChangeIndex = 0;
        return;
    }
    const NcControllerView& c = session.controller;
    for (int i = 0; i < 5; ++i) {
        if (!c.toolChangeRoute[step][i]) {
            continue;
        }
        const double target = c.toolChangePosition[i] - session.kinematics->workOrigin.axis[i];
        if (target != m.start.axis[i]) {
            m.blockHasMotion = 1;
        }
        m.end.axis[i] = target;
        session.run.programmed.axis[i] = target;
    }
    if (++p.toolChangeIndex >= p.toolChangeCount) {
        p.toolChangeCount = p.toolChangeIndex = 0;
    }
}

}  // namespace

void PrepareToolChangeMoves(NcSession& session) {
    const NcModalState& modal = session.run.modal;
    NcToolChangeState& tc = session.run.toolChange;
    NcBlockState& block = session.run.block;
    const bool m06 = modal.mCode == 6;
    if (session.controller.atcType == 3) {
        if (!m06) {
            DecideToolChange(session, -1);
            return;
        }
        // M06 mounts the tool prepared by the T words of earlier blocks; the first call decides.
        if (!block.toolChangeSeen) {
            block.toolChangeSeen = 1;
            DecideToolChange(session, tc.stagedTool);
        }
        return;
    }
    block.toolChangeSeen = 1;
    if (session.controller.atcType != 1 && !m06) {
        DecideToolChange(session, -1);
        return;
    }
    DecideToolChange(session, modal.nextTool);
}

void StepToolChangeMove(NcSession& session) {
    MakeToolChangeStep(session, false);
}

void StepFirstToolChangeMove(NcSession& session) {
    MakeToolChangeStep(session, true);
}

}  // namespace mirexa
