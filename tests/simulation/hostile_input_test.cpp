// Hostile report templates: the truncation and changed-byte sweep over the template seeds, each
// expanded with inputs that fill every list and written as a report.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/hostile_test_bench.h"

namespace mirexa {
namespace {

class SimulationHostileInputTest : public testing::HostileSweepTest {};

TEST_P(SimulationHostileInputTest, TemplatesSurviveTruncationAndChangedBytes) {
    SweepAndExpectNoFailure();
}

INSTANTIATE_TEST_SUITE_P(Readers, SimulationHostileInputTest,
                         ::testing::ValuesIn(testing::HostileReaderNames("simulation")),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace mirexa
