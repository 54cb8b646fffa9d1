// The writer that replaces a user's file: an exclusive temporary file beside the target, written,
// flushed, closed and renamed over it, every step through the write-fault seam.
#include "platform/file_replacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string_view>

#include "platform/file_reading.h"
#include "platform/write_faults.h"

namespace mirexa {

namespace {

// Tries before giving up on names that are all taken (each is a fresh random name).
constexpr int kNameTries = 64;

// What stands between the target's name and the random letters of a temporary file; a name
// this program made is known by it, so that a user's "notes.txt.backup" is never taken for one.
constexpr char kTemporaryMark[] = ".mirexa-";
constexpr std::size_t kRandomLetters = 6;

// The extended attribute that marks a temporary file as this program's while it is written: its
// value is the target's file name. A killed writer's file keeps it, so that only such files are
// ever taken for stale; it is taken off before the rename, so that no output carries it.
constexpr char kTemporaryAttribute[] = "user.mirexa.temporary";

// Links followed before a chain is taken for a loop (the system's own limit is 40).
constexpr int kLinkHops = 40;

// 64 bits for a name: from the system's random source, else mixed from the process id, the
// clock and a counter (names must differ between processes and between calls).
std::uint64_t NameBits() {
    std::uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits)) {
        return bits;
    }
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t z =
        static_cast<std::uint64_t>(getpid()) * 0x9E3779B97F4A7C15ULL ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (counter.fetch_add(1) << 32);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// The folder of the target, for its sync after the rename and its longest name.
std::string FolderOf(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : target.substr(0, slash);
}

// The longest file name the folder takes (bytes): 255 where the system does not say.
std::size_t LongestNameIn(const std::string& folder) {
    const long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
    return longest > 0 ? static_cast<std::size_t>(longest) : 255;
}

// What a temporary file's name starts with: the target's file name, or, for a name so long that
// the mark and the letters would take it past the longest name the folder takes, as much of it
// as leaves room for them (cut before a UTF-8 character, never inside one).
std::string TemporaryStem(const std::string& targetName, std::size_t longestName) {
    const std::size_t room = sizeof kTemporaryMark - 1 + kRandomLetters;
    if (targetName.size() + room <= longestName || longestName <= room) {
        return targetName;
    }
    std::size_t length = longestName - room;
    while (length > 0 && (static_cast<unsigned char>(targetName[length]) & 0xC0) == 0x80) {
        --length;
    }
    return targetName.substr(0, length);
}

std::string TemporaryName(const std::string& target) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint64_t bits = NameBits();
    const std::size_t slash = target.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = target.substr(0, nameStart) +
                       TemporaryStem(target.substr(nameStart), LongestNameIn(FolderOf(target))) +
                       kTemporaryMark;
    for (std::size_t i = 0; i < kRandomLetters; ++i) {
        name += kLetters[bits % 62];
        bits /= 62;
    }
    return name;
}

// Makes the call again while a signal interrupts it (-1 with errno EINTR): an interrupted open,
// sync or rename did nothing, and a signal that came meanwhile is no failure of the write.
template <typename Call>
int RepeatWhileInterrupted(Call call) {
    int result = 0;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

// How old an unheld temporary file must be before it is taken for one a killed writer left
// (seconds): a writer locks its file just after creating it, and a sweep that came between the
// two must not take a file that is being written.
constexpr long kStaleTemporaryAge = 300;

// The stem of a temporary file's name (TemporaryStem: the target's file name, or its start):
// "<stem>.mirexa-" and six letters or digits, with a stem before the mark; empty for any other
// name.
std::string StemOfTemporary(const std::string& name) {
    constexpr std::size_t markLength = sizeof kTemporaryMark - 1;
    if (name.size() <= markLength + kRandomLetters) {
        return {};
    }
    const std::size_t mark = name.size() - kRandomLetters - markLength;
    if (name.compare(mark, markLength, kTemporaryMark) != 0) {
        return {};
    }
    for (std::size_t i = mark + markLength; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return {};
        }
    }
    return name.substr(0, mark);
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether the open file carries the mark of a temporary file made for a target whose temporary
// files' names start with the stem (the mark holds the target's whole name).
bool CarriesTemporaryMark(int descriptor, const std::string& stem, std::size_t longestName) {
    char value[256] = {};
    const ssize_t length = fgetxattr(descriptor, kTemporaryAttribute, value, sizeof value);
    return length >= 0 &&
           TemporaryStem(std::string(value, static_cast<std::size_t>(length)), longestName) == stem;
}

std::atomic<TemporaryRemovalObserver> removalObserver{nullptr};

// Removes the temporary files of any target in the folder that writers killed before their
// rename left behind: names of the pattern, regular files of this user that carry the mark of a
// temporary file of that name, older than a few minutes and held locked by no live writer (every
// writer keeps its temporary file locked until its rename, and a killed process's lock goes with
// it). A user's file of a like name has no mark and stays. Each removal is told to the observer.
// Best effort: anything unexpected is left where it is.
void RemoveStaleTemporaries(const std::string& folderPath) {
    DIR* folder = opendir(folderPath.c_str());
    if (folder == nullptr) {
        return;
    }
    const int folderDescriptor = dirfd(folder);
    const std::size_t longestName = LongestNameIn(folderPath);
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        const std::string stem = StemOfTemporary(name);
        struct stat info = {};
        if (stem.empty() ||
            fstatat(folderDescriptor, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || info.st_uid != geteuid() ||
            now - info.st_mtime < kStaleTemporaryAge) {
            continue;
        }
        const int descriptor =
            openat(folderDescriptor, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (descriptor < 0) {
            continue;
        }
        if (CarriesTemporaryMark(descriptor, stem, longestName) &&
            flock(descriptor, LOCK_EX | LOCK_NB) == 0 &&
            unlinkat(folderDescriptor, name.c_str(), 0) == 0) {
            if (const TemporaryRemovalObserver observer = removalObserver.load()) {
                std::error_code error;
                const std::filesystem::path path = std::filesystem::path(folderPath) / name;
                observer(std::filesystem::absolute(path, error).lexically_normal().string());
            }
        }
        close(descriptor);
    }
    closedir(folder);
}

void SyncFolder(const std::string& target) {
    const int descriptor = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        // Best effort: the rename is done whatever this says.
        RepeatWhileInterrupted([descriptor] { return fsync(descriptor); });
        close(descriptor);
    }
}

// Closes what is open, through the seam; 1 when the close reported no error.
int CloseReplacement(FileReplacement* r) {
    int ok = 1;
    if (r->stream != nullptr) {
        ok = CloseStream(r->stream) == 0 ? 1 : 0;
    } else if (r->descriptor >= 0) {
        ok = CloseDescriptor(r->descriptor) == 0 ? 1 : 0;
    }
    r->stream = nullptr;
    r->descriptor = -1;
    return ok;
}

}  // namespace

void SetTemporaryRemovalObserver(TemporaryRemovalObserver observer) {
    removalObserver.store(observer);
}

std::string ResolveFinalTarget(const std::string& path) {
    std::string at = path;
    for (int hop = 0; hop < kLinkHops; ++hop) {
        struct stat info = {};
        if (lstat(at.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return at;
        }
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = readlink(at.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= link.size()) {
            return at;
        }
        link.resize(static_cast<std::size_t>(length));
        at = link[0] == '/' || at.find('/') == std::string::npos ? link : FolderOf(at) + "/" + link;
    }
    return at;  // a loop: the open or rename reports it
}

int BeginFileReplacement(const std::string& path, FileReplacement* replacement, int mode,
                         FileLinks links) {
    *replacement = FileReplacement{};
    // A link stays a link: its final target is replaced, from a temporary file in its folder.
    const std::string target = links == FileLinks::Follow ? ResolveFinalTarget(path) : path;
    RemoveStaleTemporaries(FolderOf(target));
    struct stat info = {};
    const int found =
        links == FileLinks::Follow ? stat(target.c_str(), &info) : lstat(target.c_str(), &info);
    // A FIFO, device, socket or folder (or a link to one) is never renamed over: a device such
    // as /dev/null would become a regular file. Nor is it written into: a FIFO waits for a
    // reader, and neither could be replaced whole or left as it was.
    if (found == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return 0;
    }
    const bool keepMode = mode < 0 && found == 0 && S_ISREG(info.st_mode);
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        std::string name = TemporaryName(target);
        const int descriptor = RepeatWhileInterrupted([&name, mode] {
            return open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        mode >= 0 ? static_cast<mode_t>(mode) : 0666);
        });
        if (descriptor < 0) {
            if (errno == EEXIST) {
                continue;  // planted or another writer's: never touched, another name
            }
            return 0;
        }
        // Held until the rename or the close: a live writer's file is never taken for stale.
        flock(descriptor, LOCK_EX | LOCK_NB);
        // Marked as this program's (where the file system keeps user attributes; elsewhere a
        // killed writer's file is never removed).
        const std::string targetName = FileNameOf(target);
        fsetxattr(descriptor, kTemporaryAttribute, targetName.data(), targetName.size(), 0);
        if (mode >= 0 || keepMode) {
            // An explicit mode is set as given, whatever the umask says.
            fchmod(descriptor, mode >= 0 ? static_cast<mode_t>(mode) : info.st_mode & 07777);
        }
        replacement->target = target;
        replacement->temporary = std::move(name);
        replacement->descriptor = descriptor;
        return 1;
    }
    errno = EEXIST;
    return 0;
}

std::FILE* OpenFileReplacementStream(FileReplacement* replacement) {
    if (replacement->stream == nullptr && replacement->descriptor >= 0) {
        replacement->stream = fdopen(replacement->descriptor, "wb");
        if (replacement->stream == nullptr) {
            AbandonFileReplacement(replacement);
        }
    }
    return replacement->stream;
}

int WriteAllBytes(int descriptor, const void* bytes, std::size_t count) {
    const char* at = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t written = WriteDescriptor(descriptor, at, count);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return 0;
        }
        at += written;
        count -= static_cast<std::size_t>(written);
    }
    return 1;
}

int CopyTargetIntoReplacement(FileReplacement* replacement) {
    FileReplacement& r = *replacement;
    if (r.descriptor < 0 || r.stream != nullptr) {
        errno = EINVAL;
        AbandonFileReplacement(replacement);
        return 0;
    }
    // O_NOFOLLOW: a link planted under the name never brings another file's bytes in;
    // O_NONBLOCK: a FIFO put there since the replacement began is not waited on.
    const int source =
        open(r.target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (source < 0) {
        if (errno == ENOENT) {
            return 1;
        }
        AbandonFileReplacement(replacement);
        return 0;
    }
    struct stat info = {};
    int ok = fstat(source, &info) == 0 && S_ISREG(info.st_mode) ? 1 : 0;
    if (!ok) {
        errno = EINVAL;
    }
    char buffer[1 << 16];
    while (ok) {
        const ssize_t got = read(source, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ok = got == 0 ? 1 : 0;
            break;
        }
        ok = WriteAllBytes(r.descriptor, buffer, static_cast<std::size_t>(got));
    }
    const int error = errno;
    close(source);
    if (!ok) {
        errno = error;
        AbandonFileReplacement(replacement);
        return 0;
    }
    return 1;
}

int FinishFileReplacement(FileReplacement* replacement, int sync, AbortRule abortRule) {
    FileReplacement& r = *replacement;
    if (r.temporary.empty()) {
        errno = EINVAL;
        return 0;
    }
    int ok = 1;
    if (r.stream != nullptr) {
        ok = FlushStream(r.stream) == 0 && std::ferror(r.stream) == 0 ? 1 : 0;
    }
    if (ok && sync != 0) {
        const int descriptor = r.stream != nullptr ? fileno(r.stream) : r.descriptor;
        const auto syncFile = [descriptor] { return SyncDescriptor(descriptor); };
        ok = RepeatWhileInterrupted(syncFile) == 0 ? 1 : 0;
    }
    if (!ok) {
        AbandonFileReplacement(replacement);
        return 0;
    }
    // The new file is the user's from the rename on: the mark stays out of it. (A writer killed
    // from here to the rename leaves an unmarked file, which is never removed.)
    fremovexattr(r.stream != nullptr ? fileno(r.stream) : r.descriptor, kTemporaryAttribute);
    // Buffered data may reach the file only at the close: a full disk may show there.
    if (!CloseReplacement(&r)) {
        AbandonFileReplacement(replacement);
        return 0;
    }
    // A run aborted by a signal while the file was written replaces nothing: an aborted run
    // leaves the old files, whatever moment the signal came at.
    if (abortRule == AbortRule::Honour && ReadAbortRequested()) {
        errno = EINTR;
        AbandonFileReplacement(replacement);
        return 0;
    }
    const auto renameOver = [&r] { return RenameFile(r.temporary.c_str(), r.target.c_str()); };
    if (RepeatWhileInterrupted(renameOver) != 0) {
        AbandonFileReplacement(replacement);
        return 0;
    }
    if (sync != 0) {
        SyncFolder(r.target);
    }
    r = FileReplacement{};
    return 1;
}

void AbandonFileReplacement(FileReplacement* replacement) {
    const int error = errno;
    CloseReplacement(replacement);
    if (!replacement->temporary.empty()) {
        unlink(replacement->temporary.c_str());
    }
    *replacement = FileReplacement{};
    errno = error;
}

int ReplaceFileContents(const std::string& target, std::string_view content, int sync, int mode,
                        FileLinks links, AbortRule abortRule) {
    FileReplacement replacement;
    if (!BeginFileReplacement(target, &replacement, mode, links)) {
        return 0;
    }
    if (!WriteAllBytes(replacement.descriptor, content.data(), content.size())) {
        AbandonFileReplacement(&replacement);
        return 0;
    }
    return FinishFileReplacement(&replacement, sync, abortRule);
}

}  // namespace mirexa
