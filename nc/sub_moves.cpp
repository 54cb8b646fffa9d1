// The sources of the queued sub-moves. The plain moves stand until the tool-change sequence, the
// rapid positioning types, the canned cycles and the cutter compensation fill their queues here:
// each source queues nothing, so every block hands out its own move.
#include "nc/sub_moves.h"

#include "nc/nc_run_state.h"

namespace mirexa {

void PrepareToolChangeMoves() {
    NcRun.pending.toolChangeCount = 0;
    NcRun.pending.toolChangeIndex = 0;
}

int StepToolChangeMove() {
    return 0;
}

int SubdivideRapidMove() {
    return 0;
}

int ExpandDrillingCycle() {
    return 0;
}

void ShiftBlockLookahead() {}

}  // namespace mirexa
