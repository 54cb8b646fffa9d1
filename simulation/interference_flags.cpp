// The per-step interference flags and their two summary tests.
#include "simulation/interference_flags.h"

namespace mirexa {

InterferenceFlagSet InterferenceFlags;

void ClearInterferenceFlags() {
    InterferenceFlags = InterferenceFlagSet{};
}

int AnyInterferenceFlagSet() {
    for (const std::int32_t flag : InterferenceFlags.structure) {
        if (flag != 0) {
            return 1;
        }
    }
    return 0;
}

int AnyCuttingAlarmFlagSet() {
    const InterferenceFlagSet& f = InterferenceFlags;
    return (f.arbor | f.taper | f.attachment | f.overLength | f.overChip) != 0 ? 1 : 0;
}

}  // namespace mirexa
