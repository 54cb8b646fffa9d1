// The per-step interference flags: cleared before each step, set by the cut and the checks of
// that step, read by the simulation thread's alarm test and state. Only the simulation thread
// touches them while a run is under way.
#pragma once

#include <cstdint>

#include "config/config_records.h"

namespace mirexa {

struct InterferenceFlagSet {
    std::int32_t contact = {};     // the cut removed material
    std::int32_t overLength = {};  // a removed end lay above the cutting length
    std::int32_t overChip = {};    // material inside the chip-width limit was removed
    std::int32_t arbor = {};       // the holder touched the stock
    std::int32_t taper = {};       // the shank's taper touched the stock
    std::int32_t attachment = {};  // an attachment touched the stock
    std::int32_t structure[kStructurePairCount] = {};  // one per structure pair
};
extern InterferenceFlagSet InterferenceFlags;

// Clears every flag.
void ClearInterferenceFlags();

// 1 when any structure pair flag is set, else 0.
int AnyInterferenceFlagSet();

// 1 when any of the cutting flags that raise a step alarm (arbor, taper, attachment, over-length,
// over-chip) is set, else 0.
int AnyCuttingAlarmFlagSet();

}  // namespace mirexa
