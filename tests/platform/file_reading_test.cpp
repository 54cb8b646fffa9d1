// Input files: regular files only, without waiting on a FIFO; bounded whole-file reads; the abort
// request; settings read again when their bytes change.
#include "platform/file_reading.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/file_replacement.h"
#include "platform/profile.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;

class FileReadingTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/mirexa_reading_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
    }
    void TearDown() override {
        SetReadAbortFlag(nullptr);
        fs::remove_all(directory);
    }
    std::string Write(const std::string& name, const std::string& content) {
        const std::string path = directory + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::string directory;
};

// Whatever is no regular file is refused at once (a FIFO without a writer would block an open
// for reading, /dev/zero never ends).
TEST_F(FileReadingTest, OnlyRegularFilesOpenAndNothingWaits) {
    const std::string fifo = directory + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        int error;
    } refused[] = {
        {fifo, EINVAL},
        {"/dev/zero", EINVAL},
        {directory, EISDIR},
        {directory + "/missing", ENOENT},
    };
    for (const auto& c : refused) {
        errno = 0;
        EXPECT_EQ(OpenRegularFile(c.path, "rb"), nullptr) << c.path;
        EXPECT_EQ(errno, c.error) << c.path;
        std::string content = "old";
        EXPECT_EQ(ReadWholeRegularFile(c.path, &content), c.error == ENOENT ? 0 : -1) << c.path;
        EXPECT_TRUE(content.empty()) << c.path;
    }
    EXPECT_EQ(DescribeReadFailure(EINVAL), "not a regular file");
    std::FILE* file = OpenRegularFile(Write("a.txt", "abc"), "r+");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fgetc(file), 'a');
    std::fclose(file);
}

TEST_F(FileReadingTest, WholeFilesAreBoundedAndEndOnTheAbortRequest) {
    const std::string text(200000, 'x');
    const std::string path = Write("big.ini", text);
    std::string content;
    EXPECT_EQ(ReadWholeRegularFile(path, &content), 1);
    EXPECT_EQ(content, text);
    EXPECT_EQ(ReadWholeRegularFile(path, &content, text.size()), 1);
    errno = 0;
    EXPECT_EQ(ReadWholeRegularFile(path, &content, text.size() - 1), -1);
    EXPECT_EQ(errno, EFBIG);
    EXPECT_TRUE(content.empty());
    EXPECT_EQ(ReadWholeRegularFile(Write("empty", ""), &content), 1);
    EXPECT_TRUE(content.empty());

    std::atomic<int> abort{0};
    SetReadAbortFlag(&abort);
    EXPECT_EQ(ReadAbortRequested(), 0);
    abort.store(15);
    EXPECT_EQ(ReadAbortRequested(), 1);
    EXPECT_EQ(ReadWholeRegularFile(path, &content), -1);
    EXPECT_EQ(errno, EINTR);
}

// The settings are the user's: with the abort request raised (a window that ends on an abort
// signal writes them as it closes) they are still read and written, while an output of the
// aborted work is still refused and left as it was.
TEST_F(FileReadingTest, TheSettingsAreReadAndWrittenWhileTheAbortRequestIsRaised) {
    const std::string path = Write("mirexa.ini", "[Table]\nPITCH=1\n");
    const std::string output = Write("out.txt", "earlier");
    std::atomic<int> abort{15};
    SetReadAbortFlag(&abort);
    EXPECT_EQ(ReadProfileString("Table", "PITCH", "d", path), "1");
    {
        const ProfileReadScope scope(path);
        EXPECT_EQ(ReadProfileInt("Table", "PITCH", 0, path), 1);
    }
    errno = 0;
    EXPECT_EQ(WriteProfileValues({{"Table", "PITCH", "2"}, {"Window", "LEFT", "40"}}, path), 1)
        << std::strerror(errno);
    std::string content;
    SetReadAbortFlag(nullptr);
    ASSERT_EQ(ReadWholeRegularFile(path, &content), 1);
    EXPECT_EQ(content, "[Table]\nPITCH=2\n[Window]\nLEFT=40\n");
    SetReadAbortFlag(&abort);
    EXPECT_EQ(ReplaceFileContents(output, "new", 0), 0);
    EXPECT_EQ(errno, EINTR);
    SetReadAbortFlag(nullptr);
    ASSERT_EQ(ReadWholeRegularFile(output, &content), 1);
    EXPECT_EQ(content, "earlier");
}

// Settings are split once per content: a file changed in place, even to the same size, is read
// anew, except within a read scope; a FIFO or /dev/zero as the settings file gives the defaults
// at once.
TEST_F(FileReadingTest, SettingsChangedInPlaceAreReadAnew) {
    const std::string path = Write("mirexa.ini", "[Table]\nPITCH=1\n");
    EXPECT_EQ(ReadProfileString("Table", "PITCH", "d", path), "1");
    Write("mirexa.ini", "[Table]\nPITCH=2\n");
    EXPECT_EQ(ReadProfileString("Table", "PITCH", "d", path), "2");
    Write("other.ini", "[Table]\nPITCH=3\n");
    EXPECT_EQ(ReadProfileString("Table", "pitch", "d", directory + "/other.ini"), "3");
    EXPECT_EQ(ReadProfileString("Table", "PITCH", "d", path), "2");
    {
        // A read scope answers from one state of the file, read once, until it ends.
        const ProfileReadScope scope(path);
        Write("mirexa.ini", "[Table]\nPITCH=4\n");
        EXPECT_EQ(ReadProfileString("Table", "PITCH", "d", path), "2");
        const ProfileReadScope nested(path);
        EXPECT_EQ(ReadProfileInt("table", "pitch", 0, path), 2);
        EXPECT_EQ(ReadProfileString("Table", "PITCH", "d", directory + "/other.ini"), "3");
    }
    EXPECT_EQ(ReadProfileString("Table", "PITCH", "d", path), "4");
    const std::string fifo = directory + "/pipe.ini";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadProfileString("Table", "PITCH", "d", fifo), "d");
    EXPECT_EQ(ReadProfileString("Table", "PITCH", "d", "/dev/zero"), "d");
}

}  // namespace
}  // namespace mirexa
