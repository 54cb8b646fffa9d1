// Hostile input for the configuration readers (settings, colour, tools, holder, controller and
// machine files): the truncation, changed-byte and long-line sweep over their seeds; and the
// writers that replace a user's file (settings writer, controller offset rewrite) failed at
// every write, flush, rename and close, which must leave a whole file and report the failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "config/settings_file.h"
#include "config/settings_writer.h"
#include "config_test_support.h"
#include "definition_test_support.h"
#include "platform/write_faults.h"
#include "support/hostile_test_bench.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

using testing::ReadWholeFile;

class ConfigHostileInputTest : public testing::HostileSweepTest {};

TEST_P(ConfigHostileInputTest, SeedsSurviveTruncationChangedBytesAndLongLines) {
    SweepAndExpectNoFailure();
}

INSTANTIATE_TEST_SUITE_P(Readers, ConfigHostileInputTest,
                         ::testing::ValuesIn(testing::HostileReaderNames("config")),
                         [](const auto& info) { return info.param; });

// A last line without a line end that stops behind a comma once made the switch list loop for
// ever; it reads as the same line with its line end.
using ControllerHostileLineTest = testing::DefinitionFileTest;

TEST_F(ControllerHostileLineTest, BlockSkipListEndingInACommaWithoutLineEndEnds) {
    for (const char* text : {"OPTIONAL BLOCK SKIP=3,", "OPTIONAL BLOCK SKIP=3,\n",
                             "OPTIONAL BLOCK SKIP=3,,", "OPTIONAL BLOCK SKIP=3, ,"}) {
        SCOPED_TRACE(text);
        ResetTables();
        ReadController(text);
        EXPECT_EQ(OptionalBlockSkipFlags.on[3], 1);
        EXPECT_EQ(OptionalBlockSkipFlags.on[0], 1) << "the missing value reads 0";
        EXPECT_EQ(OptionalBlockSkipFlags.anyOn, 1);
    }
}

// The names in a directory, sorted.
std::vector<std::string> ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Disarms the seam when a test ends, whatever it asserted.
struct ScopedWriteFaults {
    ~ScopedWriteFaults() {
        DisarmWriteFaults();
    }
};

class OffsetRewriteFaultTest : public testing::DefinitionFileTest {
protected:
    // The sample controller file in place and read, with tables that differ from it, so that a
    // rewrite renews lines, appends lines and drops lines.
    void Restore() {
        std::filesystem::remove(scratch_.At("vmc3.ctl.bak"));
        path_ = ReadController(sample_, "vmc3.ctl");
        ASSERT_EQ(Controller.status, 1);
        ToolOffsets.d[1] = 7.25f;
        ToolOffsets.d[2] = 0.0f;
        ToolOffsets.h[9] = 120.5f;
        WorkOffsetTable[2].axis[0] = -15.0;
    }
    std::string sample_ = ReadWholeFile(std::string(MIREXA_SAMPLES) + "/vmc3.ctl");
    std::string path_;
};

TEST_F(OffsetRewriteFaultTest, EveryFailedStepKeepsTheFileAndItsStoredTime) {
    ASSERT_FALSE(sample_.empty());
    ScopedWriteFaults disarm;
    const unsigned all = kRewriteDOffsets | kRewriteHOffsets | kRewriteWorkOffsets;
    Restore();
    ArmWriteFaults(0);
    ASSERT_EQ(UpdateCtlOffsetMemories(all), kOffsetRewriteDone);
    const int operations = CountWriteOperations();
    const std::string renewed = ReadWholeFile(path_);
    ASSERT_NE(renewed, sample_);
    // The new file, the backup and the replace each need a write, a flush and a close or rename.
    ASSERT_GE(operations, 8);
    std::set<int> codes;
    for (int n = 1; n <= operations; ++n) {
        SCOPED_TRACE(::testing::Message() << "operation " << n << " of " << operations);
        Restore();
        const FileWriteTime stored = Controller.fileTime;
        ArmWriteFaults(n);
        const int result = UpdateCtlOffsetMemories(all);
        DisarmWriteFaults();
        ASSERT_EQ(WasWriteFaultInjected(), 1);
        codes.insert(result);
        EXPECT_LT(result, 0);
        EXPECT_EQ(ReadWholeFile(path_), sample_);
        EXPECT_TRUE(Controller.fileTime == stored);
        // Nothing but the file and, when it was made before the failure, a whole backup.
        for (const std::string& name : ListDirectory(scratch_.Path())) {
            if (name == "vmc3.ctl.bak") {
                EXPECT_EQ(ReadWholeFile(scratch_.At(name)), sample_);
            } else {
                EXPECT_TRUE(name == "vmc3.ctl" || name == "log") << "left behind: " << name;
            }
        }
    }
    EXPECT_EQ(codes, (std::set<int>{kOffsetRewriteWriteFailed, kOffsetRewriteBackupFailed,
                                    kOffsetRewriteReplaceFailed}));
    // With the faults gone the same rewrite succeeds and gives the same text.
    Restore();
    EXPECT_EQ(UpdateCtlOffsetMemories(all), kOffsetRewriteDone);
    EXPECT_EQ(ReadWholeFile(path_), renewed);
}

class SettingsWriteFaultTest : public testing::ConfigFixture {
protected:
    // The sample settings in place and read, then values changed so that the writer renews
    // several keys and adds one.
    void Restore() {
        path_ = scratch_.Write("mirexa.ini", sample_);
        testing::ResetConfigurationState();
        ReadSettingsFrom(scratch_.Path(), scratch_.At("bin/mirexa"), nullptr);
        LiveColors.work = MakeColorRef(10, 20, 30);
        LiveColors.background = MakeColorRef(4, 5, 6);
        DisplayModes.workAlpha = 0.5f;
        InitialStock.box[5] = 30.5;
        Settings.saveDisplay = 1;
    }
    int Save() {
        messages_.clear();
        return SaveSettingsToIni({0, 40, 30, 1440, 930, 1}, &messages_);
    }
    std::string sample_ = ReadWholeFile(std::string(MIREXA_SAMPLES) + "/mirexa.ini");
    std::string path_;
};

// All keys go into the file in one replacement: whichever step fails, the file is the one the
// user had, byte for byte, no temporary file stays, and the caller is told.
TEST_F(SettingsWriteFaultTest, EveryFailedStepLeavesTheFileAsItWasAndIsReported) {
    ASSERT_FALSE(sample_.empty());
    ScopedWriteFaults disarm;
    Restore();
    ArmWriteFaults(0, kWriteFaultRename);
    ASSERT_EQ(Save(), 1);
    EXPECT_EQ(CountWriteOperations(), 1) << "one replacement for every key";
    Restore();
    ArmWriteFaults(0);
    ASSERT_EQ(Save(), 1);
    const int operations = CountWriteOperations();
    const std::string saved = ReadWholeFile(path_);
    ASSERT_NE(saved, sample_);
    for (int n = 1; n <= operations; ++n) {
        SCOPED_TRACE(::testing::Message() << "operation " << n << " of " << operations);
        Restore();
        ArmWriteFaults(n);
        EXPECT_EQ(Save(), 0);
        DisarmWriteFaults();
        ASSERT_EQ(WasWriteFaultInjected(), 1);
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_NE(messages_[0].find("mirexa.ini"), std::string::npos);
        EXPECT_EQ(ReadWholeFile(path_), sample_);
        EXPECT_TRUE(testing::LeftoverTemporaries(path_).empty());
    }
    // Saving again what the file holds leaves it untouched.
    Restore();
    ASSERT_EQ(Save(), 1);
    ArmWriteFaults(0);
    ASSERT_EQ(Save(), 1);
    EXPECT_EQ(CountWriteOperations(), 0);
    EXPECT_EQ(ReadWholeFile(path_), saved);
}

}  // namespace
}  // namespace mirexa
