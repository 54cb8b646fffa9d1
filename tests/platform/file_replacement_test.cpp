// The replacement of a file: the permissions the new file ends with, links followed to the
// file they lead to, targets that are no regular files, the removal of temporary files that
// killed writers left, writers of one target at once, and files appended to.
#include "platform/file_replacement.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

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

std::vector<std::string> removedTemporaries;

// The temporary files that killed writers of any target in the folder left, unheld and a few
// minutes old, are removed when the folder is written next, each told to the observer; a live
// writer's file, a fresh one and the user's files of like names (no writer made them) stay, and
// the new file carries no mark of a temporary one.
TEST(FileReplacement, OnlyTheProgramsOwnStaleTemporariesGoAtTheNextWriteOfTheirFolder) {
    testing::ScratchDirectory dir;
    const std::string target = dir.At("cut.dme");
    FileReplacement live;
    ASSERT_EQ(BeginFileReplacement(target, &live), 1);
    testing::AgeFile(live.temporary, 3600);
    // A name that leaves no room for the mark beside it: its temporary file's name is cut.
    const std::string longest = std::string(251, 'n') + ".dme";
    const struct {
        const char* what;
        const char* name;  // a user's file; null: a killed writer's temporary file of `of`
        const char* of;
        int ageSeconds;
        bool removed;
    } files[] = {
        {"a killed writer's", nullptr, "cut.dme", 3600, true},
        {"another file's killed writer's", nullptr, "other.dme", 3600, true},
        {"the longest name's killed writer's", nullptr, longest.c_str(), 3600, true},
        {"a killed writer's, fresh", nullptr, "cut.dme", 10, false},
        {"the user's of the pattern", "notes.mirexa-backup", nullptr, 3600, false},
        {"the user's unpacked", "cut.dme.mirexa-Ab12Cd", nullptr, 3600, false},
        {"the user's", "cut.dme.backup", nullptr, 3600, false},
    };
    // All made first, then aged: making one writes the folder too.
    std::vector<std::string> paths;
    for (const auto& f : files) {
        paths.push_back(f.name != nullptr ? dir.Write(f.name, "the user's")
                                          : testing::LeaveKilledWritersTemporary(dir.At(f.of)));
        ASSERT_FALSE(paths.back().empty()) << f.what;
    }
    if (!testing::CarriesTemporaryMark(paths.front())) {
        GTEST_SKIP() << "the scratch folder's file system keeps no user attributes";
    }
    for (std::size_t i = 0; i < std::size(files); ++i) {
        testing::AgeFile(paths[i], files[i].ageSeconds);
    }
    removedTemporaries.clear();
    SetTemporaryRemovalObserver(
        [](const std::string& path) { removedTemporaries.push_back(path); });
    ASSERT_EQ(ReplaceFileContents(target, "new", 0), 1);
    SetTemporaryRemovalObserver(nullptr);
    std::vector<std::string> removed;
    for (std::size_t i = 0; i < std::size(files); ++i) {
        EXPECT_EQ(std::filesystem::exists(paths[i]), !files[i].removed) << files[i].what;
        if (files[i].removed) {
            removed.push_back(std::filesystem::path(paths[i]).filename());
        }
    }
    std::vector<std::string> told;
    for (const std::string& path : removedTemporaries) {
        EXPECT_EQ(std::filesystem::path(path).parent_path(), dir.Path()) << path;
        told.push_back(std::filesystem::path(path).filename());
    }
    std::sort(removed.begin(), removed.end());
    std::sort(told.begin(), told.end());
    EXPECT_EQ(told, removed);
    EXPECT_TRUE(std::filesystem::exists(live.temporary)) << "a live writer's file stays";
    ASSERT_EQ(FinishFileReplacement(&live, 0), 1);
    EXPECT_EQ(ReadWholeFile(target), "");
    char mark[64];
    EXPECT_LT(getxattr(target.c_str(), "user.mirexa.temporary", mark, sizeof mark), 0);
}

// Writers of one target at once never take each other's temporary file for a stale one: every
// replacement succeeds and the target holds one writer's content whole.
TEST(FileReplacement, ConcurrentWritersOfOneTargetAllSucceed) {
    testing::ScratchDirectory dir;
    const std::string target = dir.At("work.dme");
    constexpr int kWriters = 6;
    constexpr int kWrites = 150;
    std::atomic<int> failures{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            const std::string content(100 + w, static_cast<char>('a' + w));
            for (int i = 0; i < kWrites; ++i) {
                if (ReplaceFileContents(target, content, 0) != 1) {
                    failures.fetch_add(1);
                }
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(failures.load(), 0);
    const std::string content = ReadWholeFile(target);
    ASSERT_GE(content.size(), 100u);
    EXPECT_EQ(content, std::string(content.size(), content[0]));
    EXPECT_TRUE(LeftoverTemporaries(target).empty());
}

// A target that exists and is no regular file (a FIFO, a link to one, a folder) is refused:
// never renamed over, never written into, and no temporary file is left.
TEST(FileReplacement, TargetsThatAreNoRegularFilesAreRefused) {
    testing::ScratchDirectory dir;
    ASSERT_EQ(mkfifo(dir.At("pipe").c_str(), 0600), 0);
    ASSERT_EQ(symlink("pipe", dir.At("link").c_str()), 0);
    dir.MakeDirectory("folder");
    const struct {
        const char* name;
        FileLinks links;
        int error;
    } cases[] = {
        {"pipe", FileLinks::Follow, EINVAL},
        {"pipe", FileLinks::Replace, EINVAL},
        {"link", FileLinks::Follow, EINVAL},
        {"folder", FileLinks::Follow, EISDIR},
    };
    for (const auto& c : cases) {
        errno = 0;
        EXPECT_EQ(ReplaceFileContents(dir.At(c.name), "new", 0, -1, c.links), 0) << c.name;
        EXPECT_EQ(errno, c.error) << c.name;
    }
    struct stat info = {};
    EXPECT_TRUE(lstat(dir.At("pipe").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.At("link")));
    EXPECT_TRUE(LeftoverTemporaries(dir.At("pipe")).empty());
    // A link of a fixed-name output is replaced by the new file, the file it led to untouched.
    dir.Write("kept.txt", "kept");
    ASSERT_EQ(symlink("kept.txt", dir.At("report.txt").c_str()), 0);
    ASSERT_EQ(ReplaceFileContents(dir.At("report.txt"), "new", 0, -1, FileLinks::Replace), 1);
    EXPECT_FALSE(std::filesystem::is_symlink(dir.At("report.txt")));
    EXPECT_EQ(ReadWholeFile(dir.At("kept.txt")), "kept");
}

// A file appended to through a replacement starts with its present bytes (however many reads
// that takes); a missing one starts empty; a link planted under the name is never read, so the
// file it leads to stays out of the new one.
TEST(FileReplacement, AnAppendedFileStartsWithItsPresentBytes) {
    testing::ScratchDirectory dir;
    const std::string earlier = std::string(200000, 'x') + "\n";
    dir.Write("report.txt", earlier);
    dir.Write("kept.txt", "the user's own\n");
    ASSERT_EQ(symlink("kept.txt", dir.At("link.txt").c_str()), 0);
    const struct {
        const char* name;
        int result;
        std::string expected;
    } cases[] = {
        {"report.txt", 1, earlier + "new\n"},
        {"missing.txt", 1, "new\n"},
        {"link.txt", 0, ""},
    };
    for (const auto& c : cases) {
        FileReplacement replacement;
        ASSERT_EQ(BeginFileReplacement(dir.At(c.name), &replacement, -1, FileLinks::Replace), 1);
        errno = 0;
        ASSERT_EQ(CopyTargetIntoReplacement(&replacement), c.result) << c.name;
        if (c.result == 1) {
            ASSERT_EQ(WriteAllBytes(replacement.descriptor, "new\n", 4), 1);
            ASSERT_EQ(FinishFileReplacement(&replacement, 0), 1);
            EXPECT_TRUE(ReadWholeFile(dir.At(c.name)) == c.expected) << c.name;
        } else {
            EXPECT_EQ(errno, ELOOP);
            EXPECT_TRUE(std::filesystem::is_symlink(dir.At(c.name)));
        }
        EXPECT_TRUE(LeftoverTemporaries(dir.At(c.name)).empty()) << c.name;
    }
    EXPECT_EQ(ReadWholeFile(dir.At("kept.txt")), "the user's own\n");
}

}  // namespace
}  // namespace mirexa
