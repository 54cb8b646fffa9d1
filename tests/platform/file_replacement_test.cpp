// The replacement of a file: the permissions the new file ends with, links followed to the
// file they lead to, and the removal of temporary files that killed writers left.
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

// The file a path leads to: links are followed to their last target (which need not exist),
// relative ones from their own folder; a loop ends at some link of it.
TEST(FileReplacement, LinksAreFollowedToTheirFinalTarget) {
    testing::ScratchDirectory dir;
    dir.MakeDirectory("a");
    dir.MakeDirectory("b");
    dir.Write("b/real.txt", "x");
    const struct {
        const char* link;
        const char* holds;
    } links[] = {
        {"abs.txt", nullptr},  // the absolute path of b/real.txt
        {"a/rel.txt", "../b/real.txt"}, {"chain.txt", "a/rel.txt"}, {"dangling.txt", "b/new.txt"},
        {"loop1.txt", "loop2.txt"},     {"loop2.txt", "loop1.txt"},
    };
    for (const auto& l : links) {
        const std::string target = l.holds != nullptr ? l.holds : dir.At("b/real.txt");
        ASSERT_EQ(symlink(target.c_str(), dir.At(l.link).c_str()), 0) << l.link;
    }
    const std::string real = std::filesystem::canonical(dir.At("b/real.txt")).string();
    auto resolved = [&](const char* name) {
        return std::filesystem::weakly_canonical(ResolveFinalTarget(dir.At(name))).string();
    };
    EXPECT_EQ(resolved("b/real.txt"), real);
    EXPECT_EQ(resolved("abs.txt"), real);
    EXPECT_EQ(resolved("a/rel.txt"), real);
    EXPECT_EQ(resolved("chain.txt"), real);
    EXPECT_EQ(resolved("dangling.txt"), std::filesystem::weakly_canonical(dir.At("b/new.txt")));
    const std::string loop = ResolveFinalTarget(dir.At("loop1.txt"));
    EXPECT_TRUE(std::filesystem::is_symlink(loop)) << loop;

    // A dangling link's file is made where the link points.
    ASSERT_EQ(ReplaceFileContents(dir.At("dangling.txt"), "made", 0), 1);
    EXPECT_EQ(ReadWholeFile(dir.At("b/new.txt")), "made");
}

// Temporary files of the target that no writer holds are removed when the target is written
// next; a live writer's file and names that only look alike stay.
TEST(FileReplacement, StaleTemporariesGoAtTheNextWriteOfTheirFile) {
    testing::ScratchDirectory dir;
    const std::string target = dir.At("cut.dme");
    FileReplacement live;
    ASSERT_EQ(BeginFileReplacement(target, &live), 1);
    const struct {
        const char* name;
        bool removed;
    } files[] = {
        {"cut.dme.mirexa-Ab12Cd", true},    // a killed writer's
        {"cut.dme.mirexa-Ab12C", false},    // five letters
        {"cut.dme.mirexa-Ab12Cd7", false},  // seven
        {"cut.dme.backup", false},          // the user's
        {"other.dme.mirexa-Ab12Cd", false}  // another file's
    };
    for (const auto& f : files) {
        dir.Write(f.name, "left");
    }
    ASSERT_EQ(ReplaceFileContents(target, "new", 0), 1);
    for (const auto& f : files) {
        EXPECT_EQ(std::filesystem::exists(dir.At(f.name)), !f.removed) << f.name;
    }
    EXPECT_TRUE(std::filesystem::exists(live.temporary)) << "a live writer's file stays";
    ASSERT_EQ(FinishFileReplacement(&live, 0), 1);
    EXPECT_EQ(ReadWholeFile(target), "");
}

}  // namespace
}  // namespace mirexa
