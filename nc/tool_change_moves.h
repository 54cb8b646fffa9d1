// Tool change moves: the machine's travel to its tool change position along the tool-change route
// when a block changes the tool.
#pragma once

namespace mirexa {

struct NcSession;

// Arms the tool-change route for the block being interpreted; called for M06 and for T words
// while the machine has a route. The tool the block mounts, by ATC TYPE:
// - 1 (T): a T word mounts its tool at once (M06 mounts the next tool);
// - 2 (WAIT): M06 mounts the tool of the last T word;
// - 3 (WAIT2): M06 mounts the tool prepared by the last T word of an earlier block
//   (NcToolChangeState::stagedTool); a T word in the M06 block prepares the next change (T5 then
//   M06 mounts 5; T6 then "M06 T7" mounts 6 and prepares 7).
// When that tool is not the one on the spindle, the route's steps pend (index 0) and the tool
// length compensation is switched off; otherwise nothing pends. A route armed earlier in the same
// block stays armed.
void PrepareToolChangeMoves(NcSession& session);

// Makes the next route step the live move: a rapid from the previous end whose flagged axes go to
// the tool change position (machine coordinates) less the work origin; BlockHasMotion is 1 only
// when one of them moves. The programmed position follows. After the last step the queue is
// empty; called with nothing pending it makes an empty move.
void StepToolChangeMove(NcSession& session);

// The first route step of the block that armed the route: as StepToolChangeMove, but from the
// block's start, so that the block's own axis words join this first rapid (the block's move
// becomes a rapid of the route).
void StepFirstToolChangeMove(NcSession& session);

}  // namespace mirexa
