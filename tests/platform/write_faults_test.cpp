// The write-fault seam: which operation a plan fails and what a failed call leaves (no write,
// no rename, a closed descriptor); and the profile writer failed at every step, which must keep
// the file whole and leave no temporary file.
#include "platform/write_faults.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/profile.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;

class WriteFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/mirexa-faults-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override {
        DisarmWriteFaults();
        fs::remove_all(directory_);
    }
    std::string At(const std::string& name) const {
        return (directory_ / name).string();
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void Write(const std::string& path, const std::string& content) {
        std::ofstream(path, std::ios::binary) << content;
    }
    fs::path directory_;
};

TEST_F(WriteFaultTest, ThePlanFailsOnlyTheNthOperationOfItsKinds) {
    const int descriptor = open(At("a").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(descriptor, 0);
    // Counting writes only: the sync is not counted, the second write fails and writes nothing.
    ArmWriteFaults(2, kWriteFaultWrite);
    EXPECT_EQ(WriteDescriptor(descriptor, "ab", 2), 2);
    EXPECT_EQ(SyncDescriptor(descriptor), 0);
    errno = 0;
    EXPECT_EQ(WriteDescriptor(descriptor, "cd", 2), -1);
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(WriteDescriptor(descriptor, "ef", 2), 2);
    EXPECT_EQ(CountWriteOperations(), 3);
    EXPECT_EQ(WasWriteFaultInjected(), 1);
    // A failed close still closes.
    ArmWriteFaults(1, kWriteFaultClose);
    EXPECT_EQ(CloseDescriptor(descriptor), -1);
    EXPECT_EQ(fcntl(descriptor, F_GETFD), -1);
    EXPECT_EQ(Read(At("a")), "abef");

    // A failed rename renames nothing; disarmed, every call reaches the system.
    ArmWriteFaults(1, kWriteFaultRename);
    EXPECT_EQ(RenameFile(At("a").c_str(), At("b").c_str()), -1);
    EXPECT_TRUE(fs::exists(At("a")));
    DisarmWriteFaults();
    EXPECT_EQ(RenameFile(At("a").c_str(), At("b").c_str()), 0);
    EXPECT_EQ(CountWriteOperations(), 1) << "nothing is counted while disarmed";

    // Streams: a failed write, flush and close each report, and the close still closes.
    std::FILE* stream = std::fopen(At("c").c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    ArmWriteFaults(1);
    EXPECT_EQ(WriteStream("xy", 1, 2, stream), 0u);
    ArmWriteFaults(2);
    EXPECT_EQ(WriteStream("xy", 1, 2, stream), 2u);
    EXPECT_EQ(FlushStream(stream), EOF);
    ArmWriteFaults(1, kWriteFaultClose);
    EXPECT_EQ(CloseStream(stream), EOF);
    EXPECT_EQ(Read(At("c")), "xy") << "the buffered bytes still reached the file at the close";
}

TEST_F(WriteFaultTest, EveryFailedProfileWriteKeepsTheFileWhole) {
    const std::string path = At("mirexa.ini");
    const std::string original = "; settings\r\n[Save]\r\nX=10\r\nY=20\r\n[Define]\r\nA=1\r\n";
    Write(path, original);
    ArmWriteFaults(0);
    ASSERT_EQ(WriteProfileValue("Save", "Y", "25", path), 1);
    const int operations = CountWriteOperations();
    EXPECT_EQ(operations, 4) << "write, flush, close, rename";
    for (int n = 1; n <= operations; ++n) {
        SCOPED_TRACE(::testing::Message() << "operation " << n);
        Write(path, original);
        ArmWriteFaults(n);
        EXPECT_EQ(WriteProfileValue("Save", "Y", "25", path), 0);
        DisarmWriteFaults();
        EXPECT_EQ(Read(path), original);
        for (const auto& entry : fs::directory_iterator(directory_)) {
            const std::string name = entry.path().filename().string();
            EXPECT_EQ(name, "mirexa.ini") << "no temporary or lock file is left";
        }
    }
    EXPECT_EQ(WriteProfileValue("Save", "Y", "25", path), 1);
    EXPECT_EQ(Read(path), "; settings\r\n[Save]\r\nX=10\r\nY=25\r\n[Define]\r\nA=1\r\n");
}

// A signal that interrupts a write, the sync or the rename of the profile writer (EINTR, as a
// handler without SA_RESTART leaves it) is no failure: the call is made again and the file is
// written whole, with no temporary file left.
TEST_F(WriteFaultTest, AProfileWriteInterruptedByASignalIsWrittenWhole) {
    const std::string path = At("mirexa.ini");
    const std::string original = "[Save]\nX=10\nY=20\n";
    for (const unsigned kind : {kWriteFaultWrite, kWriteFaultFlush, kWriteFaultRename}) {
        SCOPED_TRACE(::testing::Message() << "kind " << kind);
        Write(path, original);
        ArmWriteFaults(1, kind, EINTR);
        EXPECT_EQ(WriteProfileValue("Save", "Y", "25", path), 1);
        EXPECT_EQ(WasWriteFaultInjected(), 1);
        EXPECT_EQ(CountWriteOperations(), 2) << "the interrupted call and its repetition";
        DisarmWriteFaults();
        EXPECT_EQ(Read(path), "[Save]\nX=10\nY=25\n");
        for (const auto& entry : fs::directory_iterator(directory_)) {
            EXPECT_EQ(entry.path().filename().string(), "mirexa.ini");
        }
    }
    // The seam reports the errno the plan names.
    ArmWriteFaults(1, kWriteFaultRename, EINTR);
    errno = 0;
    EXPECT_EQ(RenameFile(At("none").c_str(), At("other").c_str()), -1);
    EXPECT_EQ(errno, EINTR);
}

}  // namespace
}  // namespace mirexa
