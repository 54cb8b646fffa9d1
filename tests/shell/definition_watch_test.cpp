// The definition-file watch: a missing file is reported once, a changed working directory
// checks nothing, and a check does not run inside itself.
#include <gtest/gtest.h>

#include <filesystem>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/machine_file.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "platform/message_box.h"
#include "services/shared_state.h"
#include "shell/definition_watch.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;

// The sample tools and controller files and the named machine file read as at start-up, in the
// scratch folder as the start directory.
void ReadDefinitionsIn(const testing::ScratchDirectory& scratch, const char* machineFile) {
    DefinitionFiles.currentDirectory = scratch.Path() + "/";
    DefinitionFiles.toolsFile = "vmc3.ttl";
    DefinitionFiles.controllerFile = "vmc3.ctl";
    DefinitionFiles.machineFile = machineFile;
    ReadControllerFile(RunSession, RunKinematics);
    ReadMachineFile(0);
    ReadToolFile(RunSession, RunKinematics, RunTools);
}

TEST(DefinitionWatch, ReportsAMissingFileOnceAndChecksOnlyInTheStartDirectory) {
    testing::ScratchDirectory scratch;
    for (const char* name : {"vmc3.ttl", "vmc3.ctl", "vmc3.mtl", "bt40_er32.hld"}) {
        fs::copy(std::string(MIREXA_SAMPLES) + "/" + name, scratch.At(name));
    }
    const fs::path previous = fs::current_path();
    fs::current_path(scratch.Path());
    UiLanguage = 0;  // the boxes are read in Japanese
    ReadDefinitionsIn(scratch, "missing.mtl");
    std::vector<std::string> boxes;
    MessageBoxResponder previousResponder =
        SetMessageBoxResponder([&](const MessageBoxRequest& request) {
            boxes.push_back(request.text);
            // A box re-activates the window: the check must not run again inside itself.
            EXPECT_EQ(CheckDefinitionFilesChanged(nullptr), 0);
            return MBX_IDOK;
        });
    DefinitionWatch = {};

    EXPECT_EQ(CheckDefinitionFilesChanged(nullptr), 0);
    EXPECT_EQ(CheckDefinitionFilesChanged(nullptr), 0);
    EXPECT_EQ(boxes, std::vector<std::string>{"missing.mtl - 機械定義ファイルが見つかりません。"});

    boxes.clear();
    fs::last_write_time("vmc3.ctl", fs::last_write_time("vmc3.ctl") + std::chrono::seconds(5));
    scratch.MakeDirectory("elsewhere");
    fs::current_path(scratch.At("elsewhere"));
    EXPECT_EQ(CheckDefinitionFilesChanged(nullptr), 0);  // a file dialog moved the directory
    fs::current_path(scratch.Path());
    EXPECT_EQ(CheckDefinitionFilesChanged(nullptr), 1);
    EXPECT_EQ(boxes, std::vector<std::string>{
                         "コントローラー定義ファイルが更新されているので読み込みます。"});

    SetMessageBoxResponder(previousResponder);
    fs::current_path(previous);
    ResetConfigurationRecords();
}

// With a user, a holder file the tools file names that gives no holder is told once in a box,
// whether it is missing or holds no holder, and again only for another problem.
TEST(DefinitionWatch, AHolderFileThatGivesNoHolderIsToldToTheUserOnce) {
    testing::ScratchDirectory scratch;
    for (const char* name : {"vmc3.ttl", "vmc3.ctl", "vmc3.mtl"}) {
        fs::copy(std::string(MIREXA_SAMPLES) + "/" + name, scratch.At(name));
    }
    const fs::path previous = fs::current_path();
    fs::current_path(scratch.Path());
    UiLanguage = 1;
    AutomaticMode = 0;
    ASSERT_EQ(AllocToolTables(20), 1);
    ReadDefinitionsIn(scratch, "vmc3.mtl");
    std::vector<std::string> boxes;
    MessageBoxResponder previousResponder =
        SetMessageBoxResponder([&](const MessageBoxRequest& request) {
            boxes.push_back(request.text);
            return MBX_IDOK;
        });
    DefinitionWatch = {};
    EXPECT_EQ(CheckDefinitionFilesChanged(nullptr), 0);
    EXPECT_EQ(CheckDefinitionFilesChanged(nullptr), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0],
              "vmc3.ttl - The holder file bt40_er32.hld: not found; its tools have no "
              "holder to check.");
    // The holder file comes back without a holder: the tools file is read again and told.
    scratch.Write("bt40_er32.hld", "# nothing\n");
    boxes.clear();
    EXPECT_EQ(CheckDefinitionFilesChanged(nullptr), 1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[1].find("bt40_er32.hld: it holds no holder"), std::string::npos) << boxes[1];
    EXPECT_EQ(CheckDefinitionFilesChanged(nullptr), 0);
    EXPECT_EQ(boxes.size(), 2u);

    SetMessageBoxResponder(previousResponder);
    fs::current_path(previous);
    UiLanguage = 0;
    FreeToolTables();
    ResetConfigurationRecords();
}

}  // namespace
}  // namespace mirexa
