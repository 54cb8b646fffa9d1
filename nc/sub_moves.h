// The sources of the step driver's queued sub-moves: the tool-change route, the rapid legs of a
// positioning move, the canned-cycle points and the compensation look-ahead record. Each fills
// its queue of run.pending; the step driver hands the entries out one per call.
#pragma once

#include "nc/canned_cycles.h"
#include "nc/rapid_legs.h"
#include "nc/tool_change_moves.h"

namespace mirexa {

struct NcSession;

// Records the current block for the compensation look-ahead: the last slot becomes the previous
// one, the live block and its offset element the last one (in cutter_compensation.cpp).
void ShiftBlockLookahead(NcSession& session);

}  // namespace mirexa
