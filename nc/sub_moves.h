// The sources of the step driver's queued sub-moves: the tool-change sequence, the rapid legs of
// a positioning move, the canned-cycle points and the compensation look-ahead record. Each fills
// its queue of NcRun.pending; the step driver hands the entries out one per call.
#pragma once

namespace mirexa {

// Tool change named by the block: fills the tool-change moves when the machine has a route.
void PrepareToolChangeMoves();
// Makes the next tool-change move; 1 when one was made.
int StepToolChangeMove();
// Splits the current rapid into positioning legs; returns the number of legs queued.
int SubdivideRapidMove();
// Fills the cycle points of the canned cycle at the current block's position; returns their count.
int ExpandDrillingCycle();
// Records the current block for the compensation look-ahead.
void ShiftBlockLookahead();

}  // namespace mirexa
