// A fixture for the configuration tests: every configuration global at its start value, and a
// scratch directory that is the working directory while the test runs.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "config/config_hooks.h"
#include "config/config_records.h"
#include "config/tool_tables.h"
#include "services/file_paths.h"
#include "services/shared_state.h"
#include "support/scratch_directory.h"

namespace mirexa::testing {

// Puts every global the configuration readers fill back to its start value, and the language
// their messages are written in to Japanese.
inline void ResetConfigurationState() {
    ResetConfigurationRecords();
    FreeToolTables();
    FileLocations = FileLocationSettings{};
    ConfigCallbacks = ConfigHooks{};
    AutomaticMode.store(0);
    UiLanguage.store(0);
}

// Works in scratch_.At(workDirectory) ("" for the scratch root).
class ConfigFixture : public ::testing::Test {
protected:
    explicit ConfigFixture(std::string workDirectory = "")
        : workDirectory_(std::move(workDirectory)) {}
    void SetUp() override {
        ResetConfigurationState();
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        oldDirectory_ = cwd;
        const std::string work =
            workDirectory_.empty() ? scratch_.Path() : scratch_.At(workDirectory_);
        scratch_.MakeDirectory(workDirectory_);
        ASSERT_EQ(chdir(work.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(oldDirectory_.c_str()), 0);
        ResetConfigurationState();
    }
    ScratchDirectory scratch_;
    std::vector<std::string> messages_;

private:
    std::string workDirectory_;
    std::string oldDirectory_;
};

inline std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace mirexa::testing
