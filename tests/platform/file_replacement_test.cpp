// The replacement of a file: the permissions the new file ends with.
#include "platform/file_replacement.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/scratch_directory.h"

namespace mirexa {
namespace {

using testing::LeftoverTemporaries;
using testing::ReadWholeFile;

int ModeOf(const std::string& path) {
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

TEST(FileReplacement, ModesOfNewAndReplacedFiles) {
    testing::ScratchDirectory dir;
    const mode_t mask = umask(022);
    const struct {
        const char* name;
        int existingMode;  // -1: no file yet
        int mode;          // passed to ReplaceFileContents
        int expected;
    } cases[] = {
        {"new.txt", -1, -1, 0644},        // a new file: 0666 less the umask
        {"private.txt", 0600, -1, 0600},  // the user's permissions stay
        {"given.txt", 0600, 0640, 0640},  // an explicit mode wins
    };
    for (const auto& c : cases) {
        const std::string path = dir.At(c.name);
        if (c.existingMode >= 0) {
            dir.Write(c.name, "old");
            chmod(path.c_str(), static_cast<mode_t>(c.existingMode));
        }
        ASSERT_EQ(ReplaceFileContents(path, "new", 0, c.mode), 1) << c.name;
        EXPECT_EQ(ReadWholeFile(path), "new") << c.name;
        EXPECT_EQ(ModeOf(path), c.expected) << c.name;
        EXPECT_TRUE(LeftoverTemporaries(path).empty()) << c.name;
    }
    umask(mask);
}

}  // namespace
}  // namespace mirexa
