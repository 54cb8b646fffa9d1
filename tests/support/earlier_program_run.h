// Clearing what an earlier start of the program in the same test process left behind, for the
// tests that run the program's own start-up more than once.
#pragma once

#include "config/config_records.h"
#include "services/shared_state.h"

namespace mirexa::testing {

// The settings records and definition file names at their start values, not automatic,
// drawing on, the interface Japanese until a message file makes it English. The message boxes
// stay with the backend's responder.
inline void ClearEarlierProgramRun() {
    ResetConfigurationRecords();
    AutomaticMode.store(0);
    DrawingSuppressed.store(0);
    UiLanguage.store(0);
}

}  // namespace mirexa::testing
