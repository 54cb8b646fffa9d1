// The per-step interference flags (CuttingState::flags): cleared before each step, set by the cut
// and the checks of that step, read by the alarm test and state of the stepping that owns them.
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

// Clears every flag.
void ClearInterferenceFlags(InterferenceFlagSet& flags);

// 1 when any structure pair flag is set, else 0.
int AnyInterferenceFlagSet(const InterferenceFlagSet& flags);

// 1 when any of the cutting flags that raise a step alarm (arbor, taper, attachment, over-length,
// over-chip) is set, else 0.
int AnyCuttingAlarmFlagSet(const InterferenceFlagSet& flags);

}  // namespace mirexa
