// The per-step interference flags and their two summary tests.
#include "simulation/interference_flags.h"

namespace mirexa {

void ClearInterferenceFlags(InterferenceFlagSet& flags) {
    flags = InterferenceFlagSet{};
}

int AnyInterferenceFlagSet(const InterferenceFlagSet& flags) {
    for (const std::int32_t flag : flags.structure) {
        if (flag != 0) {
            return 1;
        }
    }
    return 0;
}

int AnyCuttingAlarmFlagSet(const InterferenceFlagSet& f) {
    return (f.arbor | f.taper | f.attachment | f.overLength | f.overChip) != 0 ? 1 : 0;
}

}  // namespace mirexa
