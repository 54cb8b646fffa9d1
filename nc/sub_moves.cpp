// The compensation look-ahead record of the sub-move sources. It stands empty until the cutter
// compensation fills it: every cycle block then hands out its points as they were expanded.
#include "nc/sub_moves.h"

namespace mirexa {

void ShiftBlockLookahead() {}

}  // namespace mirexa
