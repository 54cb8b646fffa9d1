// Path joining and splitting, case-insensitive lookup, data-file resolution and output files,
// in temporary directories.
#include "services/file_paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/message_box.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

using testing::ReadWholeFile;
using testing::ScratchDirectory;

// Keeps the program-wide state that these tests change and puts it back afterwards.
class FilePathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLocations_ = FileLocations;
        savedLanguage_ = UiLanguage.load();
        savedAutomatic_ = AutomaticMode.load();
        FileLocations = {};
        FileLocations.currentDirectory = scratch_.At("current");
        FileLocations.programDirectory = scratch_.At("program");
        FileLocations.logDirectory = scratch_.At("log");
        previousResponder_ = SetMessageBoxResponder([this](const MessageBoxRequest& request) {
            boxes_.push_back(request);
            return MBX_IDOK;
        });
    }
    void TearDown() override {
        SetMessageBoxResponder(previousResponder_);
        FileLocations = savedLocations_;
        UiLanguage = savedLanguage_;
        AutomaticMode = savedAutomatic_;
    }

    ScratchDirectory scratch_;
    std::vector<MessageBoxRequest> boxes_;

private:
    FileLocationSettings savedLocations_;
    int savedLanguage_ = 0;
    int savedAutomatic_ = 0;
    MessageBoxResponder previousResponder_;
};

std::string Resolve(std::string_view directory, std::string_view name) {
    char out[512] = "untouched";
    EXPECT_EQ(ResolveDataFile(directory, name, out, sizeof out), 1) << name;
    return out;
}

TEST(JoinPath, InsertsOneSeparatorAndChecksTheCapacity) {
    struct Case {
        const char* directory;
        const char* name;
        const char* joined;
    };
    const Case cases[] = {
        {"/data/", "a.TTL", "/data/a.TTL"},
        {"/data", "a.TTL", "/data/a.TTL"},
        {"C:\\data\\", "a.TTL", "C:\\data\\a.TTL"},
        {"", "a.TTL", "a.TTL"},
    };
    for (const Case& c : cases) {
        char out[64];
        ASSERT_EQ(JoinPath(c.directory, c.name, out, sizeof out), 1);
        EXPECT_STREQ(out, c.joined);
    }
    char small[6] = "keep";
    EXPECT_EQ(JoinPath("dir", "ab", small, 6), 0) << "6 characters need 7 bytes";
    EXPECT_STREQ(small, "keep");
    EXPECT_EQ(JoinPath("dir", "a", small, 6), 1);
    EXPECT_STREQ(small, "dir/a");
    char same[32] = "base";
    ASSERT_EQ(JoinPath(same, "name", same, sizeof same), 1) << "output may alias the input";
    EXPECT_STREQ(same, "base/name");
}

TEST(SplitPath, DirectoryAndFileNameParts) {
    const std::string longExtension = "." + std::string(40, 'x');
    struct Case {
        std::string path;
        const char* directory;
        const char* name;
        std::string nameWithExtension;
    };
    const Case cases[] = {
        {"C:\\one\\two\\three\\part.DME", "C:\\one\\two\\three\\", "part", "part.DME"},
        {"/one/two/three/part.DME", "/one/two/three/", "part", "part.DME"},
        {"one\\two/part.tar.gz", "one\\two/", "part.tar", "part.tar.gz"},
        {"/one.d/README", "/one.d/", "README", "README"},
        {"part.stl", "", "part", "part.stl"},
        {"D:part.stl", "D:", "part", "part.stl"},
        {"/one/", "/one/", "", ""},
        // An extension of any length keeps the directory.
        {"/one/two/part" + longExtension, "/one/two/", "part", "part" + longExtension},
    };
    for (const Case& c : cases) {
        char directory[128], name[128], full[128];
        ASSERT_EQ(GetPathDirectory(c.path, directory, sizeof directory), 1) << c.path;
        ASSERT_EQ(GetPathFileName(c.path, 0, name, sizeof name), 1) << c.path;
        ASSERT_EQ(GetPathFileName(c.path, 1, full, sizeof full), 1) << c.path;
        EXPECT_STREQ(directory, c.directory) << c.path;
        EXPECT_STREQ(name, c.name) << c.path;
        EXPECT_EQ(full, c.nameWithExtension) << c.path;
    }
    char tiny[4] = "abc";
    EXPECT_EQ(GetPathDirectory("/long/dir/x", tiny, sizeof tiny), 0);
    EXPECT_EQ(GetPathFileName("/d/name.ext", 1, tiny, sizeof tiny), 0);
    EXPECT_STREQ(tiny, "abc");
}

TEST(CaseInsensitiveNames, ExtensionsAndTexts) {
    EXPECT_EQ(HasFileExtension("/a/part.STL", ".stl"), 1);
    EXPECT_EQ(HasFileExtension("part.Stl", "STL"), 1);
    EXPECT_EQ(HasFileExtension("C:\\a.b\\part", ".b"), 0) << "a dot in a directory is no extension";
    EXPECT_EQ(HasFileExtension("part.stlx", ".stl"), 0);
    EXPECT_EQ(HasFileExtension("part", ""), 0);
    EXPECT_EQ(EqualIgnoringCase("Load_Work", "LOAD_WORK"), 1);
    EXPECT_EQ(EqualIgnoringCase("LOAD", "LOAD_WORK"), 0);
    EXPECT_EQ(EqualIgnoringCase("[\\]", "{|}"), 0) << "only letters fold";
    EXPECT_EQ(EqualIgnoringCase("工具", "工具"), 1);
}

TEST_F(FilePathsTest, FindsFilesWithoutRegardToCase) {
    scratch_.Write("Tools/Mill.TTL", "tools");
    std::string found;
    ASSERT_EQ(FindFileIgnoringCase(scratch_.At("TOOLS/mill.ttl"), &found), 1);
    EXPECT_EQ(found, scratch_.At("Tools/Mill.TTL"));
    ASSERT_EQ(FindFileIgnoringCase(scratch_.At("tools\\MILL.ttl"), &found), 1);
    EXPECT_EQ(found, scratch_.At("Tools/Mill.TTL"));
    EXPECT_EQ(FindFileIgnoringCase(scratch_.At("tools/drill.ttl"), &found), 0);

    // Several matches: the first in byte order, so the choice does not depend on the directory.
    scratch_.Write("twin/b.txt");
    scratch_.Write("twin/B.TXT");
    ASSERT_EQ(FindFileIgnoringCase(scratch_.At("twin/B.txt"), &found), 1);
    EXPECT_EQ(found, scratch_.At("twin/B.TXT"));

    std::FILE* stream = OpenFileStream(scratch_.At("TOOLS/MILL.TTL"), "r");
    ASSERT_NE(stream, nullptr) << "reading falls back to the name in another case";
    char text[16] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text - 1, stream), 5u);
    EXPECT_STREQ(text, "tools");
    std::fclose(stream);
    EXPECT_EQ(OpenFileStream(scratch_.At("Tools"), "r"), nullptr) << "a directory is no file";
    EXPECT_EQ(OpenFileStream(scratch_.At("missing"), "rb"), nullptr);
    EXPECT_EQ(OpenFileStream("", "r"), nullptr);
}

TEST_F(FilePathsTest, ExpandLongPathChecksExistenceAndCapacity) {
    std::string file = scratch_.Write("Dir/Name.dat");
    char out[512] = "untouched";
    EXPECT_EQ(ExpandLongPath(scratch_.At("Dir/Missing.dat"), out, sizeof out), 0);
    EXPECT_EQ(ExpandLongPath(scratch_.At("Nope/Name.dat"), out, sizeof out), 0);
    EXPECT_STREQ(out, "untouched");
    ASSERT_EQ(ExpandLongPath(scratch_.At("dir\\name.DAT"), out, sizeof out), 1);
    EXPECT_EQ(out, file);
    ASSERT_EQ(ExpandLongPath(scratch_.At("Dir"), out, sizeof out), 1) << "directories count";

    // A result of exactly the capacity's length does not fit its NUL.
    std::vector<char> exact(file.size());
    EXPECT_EQ(ExpandLongPath(file, exact.data(), exact.size()), 0);
    std::vector<char> enough(file.size() + 1);
    EXPECT_EQ(ExpandLongPath(file, enough.data(), enough.size()), 1);
    EXPECT_EQ(std::string(enough.data()), file);
}

TEST_F(FilePathsTest, ResolveDataFileSearchesInOrder) {
    const std::string given = scratch_.At("given");
    scratch_.Write("given/a.ttl");
    scratch_.Write("current/a.ttl");
    scratch_.Write("program/a.ttl");
    scratch_.Write("current/b.ttl");
    scratch_.Write("program/b.ttl");
    scratch_.Write("program/c.ttl");
    scratch_.MakeDirectory("given/d.ttl");
    scratch_.Write("current/d.ttl");

    EXPECT_EQ(Resolve(given, "a.ttl"), scratch_.At("given/a.ttl"));
    EXPECT_EQ(Resolve(given, "A.TTL"), scratch_.At("given/a.ttl")) << "case is ignored";
    EXPECT_EQ(Resolve(given, "b.ttl"), scratch_.At("current/b.ttl"));
    EXPECT_EQ(Resolve(given, "c.ttl"), scratch_.At("program/c.ttl"));
    EXPECT_EQ(Resolve(given, "C.TTL"), scratch_.At("program/c.ttl"));
    EXPECT_EQ(Resolve(given, "d.ttl"), scratch_.At("current/d.ttl")) << "a directory is skipped";
    EXPECT_EQ(Resolve(given, "e.ttl"), scratch_.At("program/e.ttl")) << "last place untested";
    EXPECT_EQ(Resolve("", "b.ttl"), scratch_.At("current/b.ttl"));

    // A name with a directory part is taken relative to the current directory only.
    EXPECT_EQ(Resolve(given, "sub\\..\\x.ttl"), scratch_.At("current/x.ttl"));
    EXPECT_EQ(Resolve(given, "../given/A.ttl"), scratch_.At("given/a.ttl"));
    EXPECT_EQ(Resolve(given, scratch_.At("program/a.ttl")), scratch_.At("program/a.ttl"));

    char small[8] = "keep";
    EXPECT_EQ(ResolveDataFile(given, "a.ttl", small, sizeof small), 0);
    EXPECT_EQ(ResolveDataFile(given, "", small, sizeof small), 0);
    EXPECT_STREQ(small, "keep");
}

TEST_F(FilePathsTest, OutputFileCreatesOneMissingLevel) {
    std::string oneLevel = scratch_.At("out/report.txt");
    std::FILE* stream = OpenOutputFile(0, oneLevel, scratch_.At("out"), 1);
    ASSERT_NE(stream, nullptr);
    std::fputs("first\n", stream);
    std::fclose(stream);
    stream = OpenOutputFile(1, oneLevel, scratch_.At("out"), 1);
    ASSERT_NE(stream, nullptr);
    std::fputs("second\n", stream);
    std::fclose(stream);
    EXPECT_EQ(ReadWholeFile(oneLevel), "first\nsecond\n");
    stream = OpenOutputFile(0, oneLevel, "", 1);
    ASSERT_NE(stream, nullptr);
    std::fclose(stream);
    EXPECT_EQ(ReadWholeFile(oneLevel), "") << "write mode truncates";
    EXPECT_TRUE(boxes_.empty());

    std::string twoLevels = scratch_.At("a/b/report.txt");
    EXPECT_EQ(OpenOutputFile(0, twoLevels, scratch_.At("a/b"), 0), nullptr);
    EXPECT_TRUE(boxes_.empty()) << "no box unless asked";
    EXPECT_EQ(OpenOutputFile(0, scratch_.At("c/report.txt"), "", 0), nullptr)
        << "no directory given, none created";

    UiLanguage = 1;
    EXPECT_EQ(OpenOutputFile(1, twoLevels, scratch_.At("a/b"), 1), nullptr);
    UiLanguage = 0;
    EXPECT_EQ(OpenOutputFile(1, twoLevels, scratch_.At("a/b"), 1), nullptr);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[0].text, "Write protect");
    EXPECT_EQ(boxes_[1].text, "書き込み保護されています");
    for (const MessageBoxRequest& box : boxes_) {
        EXPECT_EQ(box.caption, twoLevels);
        EXPECT_EQ(box.owner, MainWindow.load());
        EXPECT_NE(box.style & MBX_TOPMOST, 0u);
    }
}

TEST_F(FilePathsTest, OutputFailureInAutomaticModeGoesToTheLog) {
    UiLanguage = 1;
    AutomaticMode = 1;
    std::string path = scratch_.At("x/y/report.txt");
    EXPECT_EQ(OpenOutputFile(0, path, scratch_.At("x/y"), 1), nullptr);
    EXPECT_TRUE(boxes_.empty());
    std::string log = ReadWholeFile(scratch_.At("log/mirexa.log"));
    const std::string entry = "(0) - Write protect\n";
    ASSERT_GE(log.size(), entry.size());
    EXPECT_EQ(log.substr(log.size() - entry.size()), entry);
}

}  // namespace
}  // namespace mirexa
