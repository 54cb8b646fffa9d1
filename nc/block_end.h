// Completion of an interpreted block: the forms that act at the end of a block (work offsets
// through the table, offset data setting, coordinate setting, local coordinates, scaling, mirror,
// rotation and tilted planes), the tool axis of vector input, the arc geometry and the feed check.
#pragma once

namespace mirexa {

struct NcSession;

// Completes the block that InterpretNcBlock has just scanned, in this order: G8110 (nothing else
// is done for such a block); the tool vector; the arc geometry (error 1 on a radius check); the
// G10 data; scaling, mirror and rotation; G92; G52; G68.2 and G254; the feed check (error 2 for a
// cutting move with feed 0 that moves, when CHECK F0 is on).
void CompleteNcBlock(NcSession& session);

}  // namespace mirexa
