// File write times with nanoseconds and file sizes.
#include "platform/file_info.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace
}  // namespace mirexa
