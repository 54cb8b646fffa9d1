// INI profile reading and writing: defaults, case, CRLF, and the atomic replace.
#include "platform/profile.h"
#include "platform/write_faults.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "support/bounded_wait.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory = fs::temp_directory_path() /
                    ("mirexa_profile_" + std::to_string(getpid()) + "_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(directory);
        fs::create_directories(directory);
        path = (directory / "mirexa.ini").string();
    }
    void TearDown() override {
        fs::permissions(directory, fs::perms::owner_all);
        fs::remove_all(directory);
    }
    void Write(const std::string& content) {
        std::ofstream(path, std::ios::binary) << content;
    }
    std::string Read() {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    fs::path directory;
    std::string path;
};

TEST_F(ProfileTest, ReadsValuesWithoutCaseLineEndOrBlanks) {
    Write(
        "; settings\r\n"
        "[Table]\r\n"
        "MAX MAGAZINE = 300 \r\n"
        "Name=\"  quoted  \"\r\n"
        "Empty=\r\n"
        "Negative=-25mm\r\n"
        "Huge=99999999999\r\n"
        "Word=abc\r\n"
        "\r\n"
        "[ NCdata ]\n"
        "SKIP VIEW=10\n"
        "Path=C:\\nc\\a.nc\r\n"
        "[table]\r\n"
        "MAX MAGAZINE=1\r\n");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case strings[] = {
        {"Table", "MAX MAGAZINE", "300"},  {"TABLE", "max magazine", "300"},
        {"Table", "Name", "  quoted  "},   {"Table", "Empty", ""},
        {"ncdata", "skip view", "10"},     {"NCdata", "Path", "C:\\nc\\a.nc"},
        {"Table", "Missing", "default"},   {"Nowhere", "SKIP VIEW", "default"},
        {"Table", "SKIP VIEW", "default"},  // a key of another section
    };
    for (const Case& c : strings) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ReadProfileString(c.section, c.key, "default", path), c.expected);
    }
    struct IntCase {
        const char* key;
        int expected;
    };
    const IntCase ints[] = {{"MAX MAGAZINE", 300}, {"Negative", -25}, {"Huge", 2147483647},
                            {"Word", 0},           {"Empty", 0},      {"Missing", 77}};
    for (const IntCase& c : ints) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ReadProfileInt("Table", c.key, 77, path), c.expected);
    }
    EXPECT_EQ(ReadProfileString("Table", "MAX MAGAZINE", "d", path + ".missing"), "d");
    EXPECT_EQ(ReadProfileInt("Table", "MAX MAGAZINE", 5, path + ".missing"), 5);
}

TEST_F(ProfileTest, WriteReplacesTheValueAndKeepsEveryOtherByteAndTheCrlf) {
    const std::string before =
        "[Table]\r\nMAX MAGAZINE=200\r\nUNDO=1\r\n\r\n[Save]\r\nPOS=1\r\n; end\r\n";
    Write(before);
    ASSERT_EQ(WriteProfileValue("table", "undo", "3", path), 1);
    EXPECT_EQ(Read(), "[Table]\r\nMAX MAGAZINE=200\r\nUNDO=3\r\n\r\n[Save]\r\nPOS=1\r\n; end\r\n");
    EXPECT_EQ(ReadProfileInt("Table", "UNDO", 0, path), 3);

    // A new key goes behind the section's last line, before the blank line.
    ASSERT_EQ(WriteProfileValue("Table", "NEW KEY", "x y", path), 1);
    EXPECT_EQ(Read(),
              "[Table]\r\nMAX MAGAZINE=200\r\nUNDO=3\r\nNEW KEY=x y\r\n\r\n[Save]\r\n"
              "POS=1\r\n; end\r\n");
    // A new section goes at the end.
    ASSERT_EQ(WriteProfileValue("Video", "FPS", "30", path), 1);
    EXPECT_EQ(Read(),
              "[Table]\r\nMAX MAGAZINE=200\r\nUNDO=3\r\nNEW KEY=x y\r\n\r\n[Save]\r\n"
              "POS=1\r\n; end\r\n[Video]\r\nFPS=30\r\n");
    EXPECT_EQ(ReadProfileString("Video", "FPS", "", path), "30");
    EXPECT_EQ(ReadProfileString("Save", "POS", "", path), "1");
}

TEST_F(ProfileTest, WriteKeepsLfFilesAndMakesMissingOnes) {
    Write("[A]\nk=1");  // no line end at the end
    ASSERT_EQ(WriteProfileValue("A", "j", "2", path), 1);
    EXPECT_EQ(Read(), "[A]\nk=1\nj=2\n");
    fs::remove(path);
    ASSERT_EQ(WriteProfileValue("Mouse", "WHEEL", "-1", path), 1);
    EXPECT_EQ(Read(), "[Mouse]\nWHEEL=-1\n");
    EXPECT_EQ(ReadProfileInt("Mouse", "WHEEL", 0, path), -1);
}

TEST_F(ProfileTest, RoundTripsManyValuesThroughCrlf) {
    Write("[Define]\r\n");
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(WriteProfileValue("Define", "K" + std::to_string(i), std::to_string(i * 7), path),
                  1);
    }
    for (int i = 39; i >= 0; i -= 3) {
        ASSERT_EQ(WriteProfileValue("define", "k" + std::to_string(i), std::to_string(-i), path),
                  1);
    }
    for (int i = 0; i < 40; ++i) {
        int expected = (39 - i) % 3 == 0 ? -i : i * 7;
        EXPECT_EQ(ReadProfileInt("Define", "K" + std::to_string(i), 12345, path), expected);
    }
    std::string content = Read();
    for (std::size_t at = content.find('\n'); at != std::string::npos;
         at = content.find('\n', at + 1)) {
        ASSERT_GT(at, 0u);
        EXPECT_EQ(content[at - 1], '\r') << "a line lost its CR";
    }
}

TEST_F(ProfileTest, WriteRefusesInputThatWouldBreakTheFile) {
    Write("[A]\nk=1\n");
    EXPECT_EQ(WriteProfileValue("A", "k", "1\n[B]", path), 0);
    EXPECT_EQ(WriteProfileValue("A", "k=2", "1", path), 0);
    EXPECT_EQ(WriteProfileValue("A", "", "1", path), 0);
    EXPECT_EQ(WriteProfileValue("A]", "k", "1", path), 0);
    EXPECT_EQ(WriteProfileValue("A", "k\r", "1", path), 0);
    EXPECT_EQ(Read(), "[A]\nk=1\n");
}

TEST_F(ProfileTest, FailedWriteIsReportedAndLeavesTheFileWhole) {
    // A write, a flush, the rename and a close each failing (through the write-fault seam, which
    // fails for root as for anyone): the write is refused and the file keeps its old text.
    for (const unsigned kind :
         {kWriteFaultWrite, kWriteFaultFlush, kWriteFaultRename, kWriteFaultClose}) {
        SCOPED_TRACE(kind);
        Write("[A]\nk=1\n");
        ArmWriteFaults(1, kind);
        const int written = WriteProfileValue("A", "k", "2", path);
        const int injected = WasWriteFaultInjected();
        DisarmWriteFaults();
        EXPECT_EQ(injected, 1) << "the write made no such call";
        EXPECT_EQ(written, 0);
        EXPECT_EQ(Read(), "[A]\nk=1\n");
    }
    // The next write, without a fault, goes through.
    EXPECT_EQ(WriteProfileValue("A", "k", "2", path), 1);
    EXPECT_EQ(Read(), "[A]\nk=2\n");
    EXPECT_EQ(WriteProfileValue("A", "k", "2", directory.string()), 0);  // a directory
    std::size_t entries = 0;
    for (auto& entry : fs::directory_iterator(directory)) {
        (void)entry;
        ++entries;
    }
    EXPECT_LE(entries, 1u) << "a temporary file was left behind";
}

TEST_F(ProfileTest, WriteKeepsTheFileMode) {
    Write("[A]\nk=1\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(WriteProfileValue("A", "k", "2", path), 1);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Writer w sets keys of its own ("w<w>_<i>" = i, over three sections), one write at a time.
// Returns the number of writes that failed.
int WriteOwnKeys(const std::string& path, int writer, int count) {
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        failed += WriteProfileValue("S" + std::to_string(i % 3),
                                    "w" + std::to_string(writer) + "_" + std::to_string(i),
                                    std::to_string(i), path) != 1;
    }
    return failed;
}

TEST_F(ProfileTest, WritersInThreadsAndProcessesLoseNoKey) {
    constexpr int PROCESSES = 2;
    constexpr int THREADS = 4;
    constexpr int KEYS = 30;
    // Processes first, while this process runs no other thread.
    std::vector<pid_t> children;
    for (int p = 0; p < PROCESSES; ++p) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            _exit(WriteOwnKeys(path, THREADS + p, KEYS) == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    std::vector<std::thread> threads;
    std::vector<int> failures(THREADS);
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] { failures[t] = WriteOwnKeys(path, t, KEYS); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_TRUE(testing::AwaitChildExit(child, &status, "a writer process's end"));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer process failed";
    }
    EXPECT_EQ(failures, std::vector<int>(THREADS));
    int lost = 0;
    for (int w = 0; w < THREADS + PROCESSES; ++w) {
        for (int i = 0; i < KEYS; ++i) {
            std::string key = "w" + std::to_string(w) + "_" + std::to_string(i);
            lost +=
                ReadProfileString("S" + std::to_string(i % 3), key, "", path) != std::to_string(i);
        }
    }
    EXPECT_EQ(lost, 0) << "of " << (THREADS + PROCESSES) * KEYS << " keys";
}

}  // namespace
}  // namespace mirexa
