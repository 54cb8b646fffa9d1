// The batch kinds' run modes and the Tab keys' step through the run modes.
#include "services/run_mode.h"

#include <gtest/gtest.h>

namespace mirexa {
namespace {

TEST(RunModeTest, EachDigitOfTheCommandLineRunsInItsMode) {
    const struct {
        int digit;
        BatchRunKind kind;
        RunMode mode;
        bool logged;
    } cases[] = {
        {0, BatchRunKind::kNone, RunMode::kIdle, false},
        {1, BatchRunKind::kSelectOnly, RunMode::kIdle, false},
        {2, BatchRunKind::kReal, RunMode::kRealCutting, false},
        {3, BatchRunKind::kSkip, RunMode::kSkipCutting, false},
        {4, BatchRunKind::kResult, RunMode::kResult, false},
        {5, BatchRunKind::kResultLogged, RunMode::kResult, true},
        {6, BatchRunKind::kResultUnseen, RunMode::kResult, true},
        {7, BatchRunKind::kNone, RunMode::kIdle, false},
        {-1, BatchRunKind::kNone, RunMode::kIdle, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.digit);
        const BatchRunKind kind = BatchRunKindOfDigit(c.digit);
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(RunModeOfBatchKind(kind), c.mode);
        EXPECT_EQ(BatchKindLogsRun(kind), c.logged);
    }
}

TEST(RunModeTest, TabStepsThroughTheModesAndStopsAtBothEnds) {
    const struct {
        RunMode from;
        RunMode forwards;   // Tab
        RunMode backwards;  // Shift+Tab
    } cases[] = {
        {RunMode::kIdle, RunMode::kIdle, RunMode::kIdle},
        {RunMode::kRealCutting, RunMode::kSkipCutting, RunMode::kRealCutting},
        {RunMode::kSkipCutting, RunMode::kResult, RunMode::kRealCutting},
        {RunMode::kResult, RunMode::kResult, RunMode::kSkipCutting},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.from));
        EXPECT_EQ(StepRunMode(c.from, false), c.forwards);
        EXPECT_EQ(StepRunMode(c.from, true), c.backwards);
    }
}

}  // namespace
}  // namespace mirexa
