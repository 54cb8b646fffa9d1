// Hostile macro files: the truncation, changed-byte and long-line sweep over the macro seeds,
// each read against an independent split of its lines and run against commands that only count.
#include <gtest/gtest.h>

#include <string>

#include "support/hostile_test_bench.h"

namespace mirexa {
namespace {

class ShellHostileInputTest : public testing::HostileSweepTest {};

TEST_P(ShellHostileInputTest, SeedsSurviveTruncationChangedBytesAndLongLines) {
    SweepAndExpectNoFailure();
}

INSTANTIATE_TEST_SUITE_P(Readers, ShellHostileInputTest,
                         ::testing::ValuesIn(testing::HostileReaderNames("shell")),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace mirexa
