// File write times with nanoseconds, file sizes and file identities.
#include "platform/file_info.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace mirexa {
namespace {

namespace fs = std::filesystem;

TEST(FileInfo, WriteTimeCarriesNanosecondsAndChangesWithTheFile) {
    fs::path file = fs::temp_directory_path() / ("mirexa_time_" + std::to_string(getpid()));
    std::ofstream(file) << "G0 X0\n";
    // Set a known time with nanoseconds: 2024-03-02 09:05:03.123456789 UTC.
    struct timespec times[2] = {{1709370303, 123456789}, {1709370303, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    FileWriteTime first = GetFileWriteTime(file.string());
    EXPECT_EQ(first.valid, 1);
    EXPECT_EQ(first.seconds, 1709370303);
    EXPECT_EQ(first.nanoseconds, 123456789);
    EXPECT_TRUE(first == GetFileWriteTime(file.string()));

    // One nanosecond later is another time.
    times[1].tv_nsec += 1;
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_FALSE(first == GetFileWriteTime(file.string()));

    std::uint64_t size = 99;
    EXPECT_EQ(GetFileSizeBytes(file.string(), &size), 1);
    EXPECT_EQ(size, 6u);
    fs::remove(file);
}

TEST(FileInfo, MissingFileHasNoTimeAndNoSize) {
    FileWriteTime none = GetFileWriteTime("/nonexistent/mirexa/file.ctl");
    EXPECT_EQ(none.valid, 0);
    EXPECT_EQ(none.seconds, 0);
    EXPECT_EQ(none.nanoseconds, 0);
    EXPECT_TRUE(none == GetFileWriteTime(""));
    // No time never equals a real time, not even the epoch.
    FileWriteTime epoch;
    epoch.valid = 1;
    EXPECT_FALSE(none == epoch);
    std::uint64_t size = 99;
    EXPECT_EQ(GetFileSizeBytes("/nonexistent/mirexa/file.ctl", &size), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(GetFileSizeBytes(fs::temp_directory_path().string(), &size), 0);  // a directory
}

// Another file unpacked in place of one, with the same size and write time (as an archive gives
// them), is told from it; the file itself keeps its identity.
TEST(FileInfo, AFileReplacedWithTheSameSizeAndWriteTimeHasAnotherIdentity) {
    const fs::path folder = fs::temp_directory_path() / ("mirexa_id_" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string file = (folder / "ed.sh").string();
    const struct timespec times[2] = {{1709370303, 0}, {1709370303, 0}};
    std::ofstream(file) << "#!/bin/sh\nvi \"$@\"\n";
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    FileIdentity first;
    ASSERT_EQ(GetFileIdentity(file, &first), 1);
    FileIdentity again;
    ASSERT_EQ(GetFileIdentity(file, &again), 1);
    EXPECT_EQ(DescribeFileIdentity(first), DescribeFileIdentity(again));
    EXPECT_EQ(first.size, 18u);

    // The system stamps change times from a coarse clock: the replacement comes at a later tick,
    // as any later unpacking does.
    const std::string probe = (folder / "probe").string();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    FileIdentity tick;
    do {
        std::ofstream(probe) << "tick";
        ASSERT_EQ(GetFileIdentity(probe, &tick), 1);
    } while (tick.changeNanoseconds == first.changeNanoseconds &&
             std::chrono::steady_clock::now() < deadline);
    fs::remove(file);
    std::ofstream(file) << "#!/bin/sh\nrm -r ~\n";
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    FileIdentity replaced;
    ASSERT_EQ(GetFileIdentity(file, &replaced), 1);
    EXPECT_EQ(replaced.size, first.size);
    EXPECT_EQ(replaced.writeNanoseconds, first.writeNanoseconds);
    EXPECT_NE(DescribeFileIdentity(replaced), DescribeFileIdentity(first));

    EXPECT_EQ(GetFileIdentity(folder.string(), &replaced), 0);  // a folder
    EXPECT_EQ(GetFileIdentity((folder / "none").string(), &replaced), 0);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace mirexa
