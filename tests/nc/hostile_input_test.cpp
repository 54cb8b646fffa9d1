// Hostile NC programs through the step driver, run from the file and from memory with the
// sample tools, controller and machine: the truncation, changed-byte and long-line sweep over
// the programs of the tests, with the run-state invariants checked after every call.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fuzz/hostile_test_bench.h"
#include "nc_invariants.h"

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

}  // namespace
}  // namespace mirexa
