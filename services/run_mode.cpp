// The batch kinds' digits, their run modes, and the Tab keys' step through the run modes.
#include "services/run_mode.h"

namespace mirexa {

BatchRunKind BatchRunKindOfDigit(int digit) {
    return digit >= 0 && digit <= 6 ? static_cast<BatchRunKind>(digit) : BatchRunKind::kNone;
}

RunMode RunModeOfBatchKind(BatchRunKind kind) {
    switch (kind) {
        case BatchRunKind::kReal:
            return RunMode::kRealCutting;
        case BatchRunKind::kSkip:
            return RunMode::kSkipCutting;
        case BatchRunKind::kResult:
        case BatchRunKind::kResultLogged:
        case BatchRunKind::kResultUnseen:
            return RunMode::kResult;
        case BatchRunKind::kNone:
        case BatchRunKind::kSelectOnly:
            break;
    }
    return RunMode::kIdle;
}

RunMode StepRunMode(RunMode mode, bool backwards) {
    switch (mode) {
        case RunMode::kRealCutting:
            return backwards ? RunMode::kRealCutting : RunMode::kSkipCutting;
        case RunMode::kSkipCutting:
            return backwards ? RunMode::kRealCutting : RunMode::kResult;
        case RunMode::kResult:
            return backwards ? RunMode::kSkipCutting : RunMode::kResult;
        case RunMode::kIdle:
            break;
    }
    return RunMode::kIdle;
}

}  // namespace mirexa
