// Regular-file opening for the readers and the fixed-name writers, bounded whole-file reads and
// the read abort request.
#include "platform/file_reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace mirexa {

namespace {

std::atomic<const std::atomic<int>*> readAbortFlag{nullptr};

}  // namespace

namespace {

// Keeps an opened descriptor only when it is a regular file: clears O_NONBLOCK and gives it a
// stream, else closes it (errno EISDIR for a directory, EINVAL for anything else).
std::FILE* KeepRegularFile(int descriptor, const char* mode, bool empty) {
    struct stat info = {};
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int reason = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        close(descriptor);
        errno = reason;
        return nullptr;
    }
    if (empty && ftruncate(descriptor, 0) != 0) {
        const int reason = errno;
        close(descriptor);
        errno = reason;
        return nullptr;
    }
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags != -1) {
        fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    }
    std::FILE* stream = fdopen(descriptor, mode);
    if (stream == nullptr) {
        const int reason = errno;
        close(descriptor);
        errno = reason;
    }
    return stream;
}

}  // namespace

std::FILE* OpenRegularFile(const std::string& path, const char* mode) {
    if (mode == nullptr || mode[0] != 'r' || path.empty()) {
        errno = EINVAL;
        return nullptr;
    }
    const bool update = std::strchr(mode, '+') != nullptr;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int descriptor =
        open(path.c_str(), (update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        return nullptr;
    }
    return KeepRegularFile(descriptor, mode, false);
}

std::FILE* OpenRegularFileForWriting(const std::string& path, const char* mode) {
    if (mode == nullptr || (mode[0] != 'w' && mode[0] != 'a') || path.empty()) {
        errno = EINVAL;
        return nullptr;
    }
    const bool update = std::strchr(mode, '+') != nullptr;
    const bool append = mode[0] == 'a';
    // O_NOFOLLOW: a link of the file's name is never written through. O_NONBLOCK: a FIFO
    // without a reader fails at once (ENXIO) instead of waiting; one with a reader is refused
    // below. Emptied ("w") only once it is known to be a regular file.
    const int descriptor = open(path.c_str(),
                                (update ? O_RDWR : O_WRONLY) | (append ? O_APPEND : 0) | O_CREAT |
                                    O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
                                0666);
    if (descriptor < 0) {
        if (errno == ENXIO) {
            errno = EINVAL;
        }
        return nullptr;
    }
    return KeepRegularFile(descriptor, mode, !append);
}

std::string DescribeWriteRefusal(int errorNumber) {
    if (errorNumber == ELOOP) {
        return "a symbolic link";
    }
    if (errorNumber == EINVAL || errorNumber == EISDIR) {
        return "not a regular file";
    }
    return std::strerror(errorNumber);
}

std::string DescribeReadFailure(int errorNumber) {
    if (errorNumber == EINVAL) {
        return "not a regular file";
    }
    return std::strerror(errorNumber);
}

int ReadWholeRegularFile(const std::string& path, std::string* content, std::size_t limit,
                         AbortRule abortRule) {
    content->clear();
    // A plain descriptor: settings are read many times over, so every system call counts.
    // O_NONBLOCK keeps a FIFO from blocking the open and does nothing to a regular file.
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        return errno == ENOENT ? 0 : -1;
    }
    struct stat info = {};
    int result = 1;
    int reason = 0;
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        result = -1;
        reason = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    } else if (static_cast<std::uint64_t>(info.st_size) > limit) {
        result = -1;
        reason = EFBIG;
    }
    // Room for the size found and one byte more, to see the end; grown for a file that grows,
    // up to one byte past the limit. Read in pieces so that the abort request is tested.
    content->resize(result == 1 ? std::min(limit, static_cast<std::size_t>(info.st_size)) + 1 : 0);
    std::size_t used = 0;
    while (result == 1) {
        if (abortRule == AbortRule::Honour && ReadAbortRequested()) {
            result = -1;
            reason = EINTR;
            break;
        }
        if (used == content->size()) {
            if (used > limit) {
                result = -1;  // grew past the limit while read
                reason = EFBIG;
                break;
            }
            content->resize(std::min(limit + 1, used * 2));
        }
        const std::size_t room =
            std::min(static_cast<std::size_t>(kAbortTestInterval), content->size() - used);
        const ssize_t got = read(descriptor, content->data() + used, room);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            result = -1;
            reason = errno;
            break;
        }
        if (got == 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    close(descriptor);
    if (result != 1) {
        content->clear();
        errno = reason;
        return -1;
    }
    content->resize(used);
    return 1;
}

void SetReadAbortFlag(const std::atomic<int>* flag) {
    readAbortFlag.store(flag);
}

int ReadAbortRequested() {
    const std::atomic<int>* flag = readAbortFlag.load();
    return flag != nullptr && flag->load() != 0 ? 1 : 0;
}

}  // namespace mirexa
