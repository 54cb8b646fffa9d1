// Hostile NC programs through the step driver, run from the file and from memory with the
// sample tools, controller and machine: the truncation, changed-byte and long-line sweep over
// the programs of the tests, with the run-state invariants checked after every call.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>

#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc_test_fixture.h"
#include "support/hostile_test_bench.h"
#include "support/nc_invariants.h"

namespace mirexa {
namespace {

class NcHostileInputTest : public testing::HostileSweepTest {};

TEST_P(NcHostileInputTest, ProgramsSurviveTruncationChangedBytesAndLongLines) {
    testing::HostileChecks.ncCall = testing::CheckNcInvariants;
    SweepAndExpectNoFailure();
}

INSTANTIATE_TEST_SUITE_P(Readers, NcHostileInputTest,
                         ::testing::ValuesIn(testing::HostileReaderNames("nc")),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// The seeds themselves run to their end without an error, so the sweep's variants start from
// programs that move the machine (a bench missing a companion would read nothing).
TEST_P(NcHostileInputTest, SeedsRunToTheirEnd) {
    const testing::HostileReader* reader = testing::FindHostileReader(GetParam());
    ASSERT_NE(reader, nullptr);
    static int calls = 0;
    testing::HostileChecks.ncCall = [] {
        ++calls;
        return std::string();
    };
    for (const std::string& seed :
         testing::ListHostileSeeds(testing::HostileSourceRoot(), *reader)) {
        // A regression input keeps what once broke a reader; it may rightly end on an error.
        if (std::filesystem::path(seed).filename().string().rfind("regress-", 0) == 0) {
            continue;
        }
        SCOPED_TRACE(seed);
        RunSession.run = {};
        calls = 0;
        EXPECT_EQ(testing::FeedHostileInput(*reader, testing::ReadHostileFile(seed)), "");
        EXPECT_EQ(RunSession.run.status.endState, 2);
        EXPECT_EQ(RunSession.run.status.error, 0);
        EXPECT_GE(calls, 6) << "step driver calls";
    }
}

using NcHostileWordTest = testing::NcInterpreterTest;

// Spindle speeds beyond the int range once converted out of range; they saturate.
TEST_F(NcHostileWordTest, SpindleSpeedsBeyondTheIntRangeSaturate) {
    Run({"S30055555555550 M03"});
    EXPECT_EQ(RunSession.run.modal.spindleSpeed, INT_MAX);
    Run({"S-30055555555550"});
    EXPECT_EQ(RunSession.run.modal.spindleSpeed, INT_MIN);
    Run({"S2400.9"});
    EXPECT_EQ(RunSession.run.modal.spindleSpeed, 2400);
}

}  // namespace
}  // namespace mirexa
