// The sweep tests' side of the hostile-input harness: a scratch bench made the working
// directory for the test, and the reader names of one subsystem for parameterised tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/hostile_sweep.h"

namespace mirexa::testing {

// The source tree (the parent of the samples folder).
inline std::string HostileSourceRoot() {
    return std::filesystem::path(MIREXA_SAMPLES).parent_path().string();
}

// The names of the table's readers that the subsystem's sweep runs.
inline std::vector<std::string> HostileReaderNames(const std::string& subsystem) {
    std::vector<std::string> names;
    for (const HostileReader& reader : GetHostileReaders()) {
        if (subsystem == reader.subsystem) {
            names.push_back(reader.name);
        }
    }
    return names;
}

// A per-input cap far above any reader's time on the seeds even under ThreadSanitizer: only a
// reader that loops ends the process.
inline constexpr int kHostileInputCapSeconds = 60;

// Runs the sweep of the named reader in a scratch bench and reports every failure.
class HostileSweepTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        savedDirectory_ = std::filesystem::current_path();
        bench_ = MakeHostileBenchDirectory();
        ASSERT_FALSE(bench_.empty());
        ASSERT_EQ(PrepareHostileBench(HostileSourceRoot(), bench_), 1);
    }
    void TearDown() override {
        std::filesystem::current_path(savedDirectory_);
        HostileChecks = {};
        std::error_code ignored;
        std::filesystem::remove_all(bench_, ignored);
    }
    void SweepAndExpectNoFailure() {
        const HostileReader* reader = FindHostileReader(GetParam());
        ASSERT_NE(reader, nullptr);
        const HostileSweepResult result =
            SweepHostileReader(*reader, HostileSourceRoot(), kHostileInputCapSeconds);
        EXPECT_GT(result.seeds, 0) << "no seeds in tests/fuzz/corpus/" << reader->name;
        EXPECT_GT(result.inputs, result.seeds);
        for (const std::string& failure : result.failures) {
            ADD_FAILURE() << failure;
        }
        std::printf("%s: %d seeds, %ld inputs\n", reader->name, result.seeds, result.inputs);
    }

private:
    std::string bench_;
    std::filesystem::path savedDirectory_;
};

}  // namespace mirexa::testing
