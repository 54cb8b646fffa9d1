// The file dialogs' logic: filters and titles per kind and language, the plug-in suffix patterns
// and matching, directories, the filter index remembered per kind, the OK labels with the pending
// name, and the work-coordinates check box; the dialogs answered by a scripted responder.
#include "shell/file_dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/config_records.h"
#include "geometry/machine_kinematics.h"
#include "services/shared_state.h"

namespace mirexa {
namespace {

TEST(FileDialogRules, FiltersAndTitlesPerKindAndLanguage) {
    struct Case {
        int save;
        int kind;
        int language;
        const char* label;
        const char* patterns;
        const char* title;
    };
    // The language picks the text; unknown kinds have neither filter nor title.
    for (Case c :
         {Case{0, 0, 1, "TTL(*.TTL)", "*.TTL", "TTL"},
          Case{0, 2, 0, "DMEﾌｧｲﾙ(*.DME)", "*.DME", "被切削材定義ファイル"},
          Case{0, 7, 1, "", "", ""}, Case{1, 3, 1, "Image File(*.PNG)", "*.PNG", "Save Image"},
          Case{1, 0, 1, "", "", ""}, Case{1, -1, 0, "", "", ""}}) {
        FileDialogFilter f =
            c.save ? SaveFileFilter(c.kind, c.language) : SettingFileFilter(c.kind, c.language);
        EXPECT_EQ(f.label, c.label) << c.save << " " << c.kind;
        EXPECT_EQ(f.patterns, c.patterns) << c.save << " " << c.kind;
        EXPECT_EQ(c.save ? SaveFileTitle(c.kind, c.language) : SettingFileTitle(c.kind, c.language),
                  c.title);
    }
}

TEST(FileDialogRules, SuffixPatternsMatchingAndDirectories) {
    EXPECT_EQ(BuildFilterPattern(".cl;.apt"), "*.cl;*.apt");
    EXPECT_EQ(BuildFilterPattern(".cl"), "*.cl");
    EXPECT_EQ(BuildFilterPattern("cls"), "*cls");
    std::vector<FileDialogFilter> filters =
        NcFileFilters("*.tap", 1, {{"CL data", ".cl;.cls", 1}, {"APT", ".apt", 0}});
    ASSERT_EQ(filters.size(), 4u);
    EXPECT_EQ(filters[0].label, "user specified files (*.tap)");
    EXPECT_EQ(filters[0].patterns, "*.tap");
    EXPECT_EQ(filters[2].patterns, "*.*");
    EXPECT_EQ(filters[3].patterns, "*.cl;*.cls");
    EXPECT_EQ(NcFileFilters("", 0, {})[0].label, "ユーザー指定 (*)");
    EXPECT_EQ(NcFileFilters("", 0, {})[0].patterns, "*");

    struct Match {
        int loaded;
        const char* name;
        const char* list;
        int expected;
    };
    for (Match m : {Match{1, "PART.CL", ".cl;.apt", 1}, Match{1, "part.apt", ".cl;.apt", 1},
                    Match{1, "part.nc", ".cl;.apt", 0}, Match{0, "part.cl", ".cl", 0},
                    Match{1, "part.nc", ".cl;;.apt", 0}, Match{1, "part.nc", ".cl;", 0},
                    Match{1, "part.nc", "", 0}, Match{1, "l", ".cl", 0}}) {
        EXPECT_EQ(MatchExtensionList(m.loaded, m.name, m.list), m.expected)
            << m.name << " in \"" << m.list << "\"";
    }
    EXPECT_EQ(TrimTrailingChars("/work/parts/a.nc"), "/work/parts");
    EXPECT_EQ(TrimTrailingChars("/a.nc"), "");
    EXPECT_EQ(TrimTrailingChars("a.nc"), "");
}

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFileDialogs();
        savedOrigin_ = RunKinematics.workOrigin;
        savedStl_ = StlImport;
        previous_ = SetFileDialogResponder([this](const FileDialogRequest& request) {
            requests.push_back(request);
            FileDialogResult answer = next;
            next = {};
            return answer;
        });
    }
    void TearDown() override {
        SetFileDialogResponder(previous_);
        ResetFileDialogs();
        RunKinematics.workOrigin = savedOrigin_;
        StlImport = savedStl_;
        UiLanguage.store(0);
    }
    void Choose(const char* path, int filterIndex, int checkBox = 0) {
        next = FileDialogResult{1, path, filterIndex, checkBox};
    }
    std::vector<FileDialogRequest> requests;
    FileDialogResult next = {};

private:
    FileDialogResponder previous_;
    MotionPosition savedOrigin_ = {};
    StlImportSettings savedStl_ = {};
};

TEST_F(FileDialogTest, TheFilterIndexIsRememberedPerKindAndCancelChangesNothing) {
    std::string directory = "unchanged";
    std::string path = "/defs/old.ttl";
    Choose("/defs/new.ttl", 2);
    ASSERT_EQ(SelectSettingFile(nullptr, FILE_KIND_TOOLS, &directory, &path), 1);
    EXPECT_EQ(path, "/defs/new.ttl");
    EXPECT_EQ(directory, "/defs");
    EXPECT_EQ(requests[0].initialDirectory, "/defs");
    Choose("/defs/m.mtl", 1);
    SelectSettingFile(nullptr, FILE_KIND_MACHINE, &directory, &path);
    Choose("/nc/p.nc", 3);
    SelectNcFile(nullptr, &directory, &path);
    EXPECT_EQ(SelectSettingFile(nullptr, FILE_KIND_TOOLS, &directory, &path), 0);  // cancel
    EXPECT_EQ(path, "/nc/p.nc");
    EXPECT_EQ(directory, "/nc");
    SelectSettingFile(nullptr, FILE_KIND_MACHINE, &directory, &path);
    Settings.ncFilePattern = "*.tap";
    SelectNcFile(nullptr, &directory, &path);
    Settings.ncFilePattern = ProgramSettings{}.ncFilePattern;
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[3].filterIndex, 2);                // tools again
    EXPECT_EQ(requests[4].filterIndex, 1);                // machine again
    EXPECT_EQ(requests[5].filterIndex, 3);                // the NC program
    EXPECT_EQ(requests[5].filters[0].patterns, "*.tap");  // the settings' NC file pattern
    EXPECT_NE(requests[5].flags & FILEDLG_FILE_MUST_EXIST, 0u);
}

TEST_F(FileDialogTest, OkLabelsPendingNameAndTheWorkCoordinatesCheckBox) {
    UiLanguage.store(1);
    std::string directory;
    std::string path;
    FileDialogs.okLabelReverse = 1;
    FileDialogs.pendingName = "turned.dme";
    FileDialogs.pendingNameSet = 1;
    SelectSettingFile(nullptr, FILE_KIND_STOCK, &directory, &path);
    SelectSettingFile(nullptr, FILE_KIND_STOCK, &directory, &path);
    EXPECT_EQ(requests[0].okLabel, "&Reverse");
    EXPECT_EQ(requests[0].fileName, "turned.dme");
    EXPECT_EQ(requests[1].fileName, "");  // the pending name is used once
    EXPECT_EQ(requests[1].checkBoxLabel, "");

    // With a work origin the basic model's dialog asks for work coordinates; cleared it gives
    // machine coordinates.
    RunKinematics.workOrigin.axis[2] = -30.5;
    StlImport.coordinateKind = 1;
    Choose("/models/base.stl", 1, 0);
    ASSERT_EQ(SelectSettingFile(nullptr, FILE_KIND_BASIC_MODEL, &directory, &path), 1);
    EXPECT_EQ(requests[2].checkBoxChecked, 1);
    EXPECT_EQ(requests[2].okLabel, "&OK");
    EXPECT_EQ(StlImport.coordinateKind, 0);
    // The save dialog keeps its own check box and starts from the file's name.
    path = "/work/out/cut.dme";
    Choose("/work/out/cut2.dme", 1, 1);
    ASSERT_EQ(SelectSaveFile(nullptr, SAVE_KIND_STOCK, &directory, &path), 1);
    EXPECT_EQ(requests[3].fileName, "cut.dme");
    EXPECT_EQ(requests[3].title, "Save Work");
    EXPECT_EQ(FileDialogs.saveCheckBox, 1);
    EXPECT_EQ(path, "/work/out/cut2.dme");
}

}  // namespace
}  // namespace mirexa
