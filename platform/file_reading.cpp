// Regular-file opening for the readers, bounded whole-file reads and the read abort request.
#include "platform/file_reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace mirexa {

namespace {

std::atomic<const std::atomic<int>*> readAbortFlag{nullptr};

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
    struct stat info = {};
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int reason = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
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

std::string DescribeReadFailure(int errorNumber) {
    if (errorNumber == EINVAL) {
        return "not a regular file";
    }
    return std::strerror(errorNumber);
}

int ReadWholeRegularFile(const std::string& path, std::string* content, std::size_t limit) {
    content->clear();
    std::FILE* file = OpenRegularFile(path, "rb");
    if (file == nullptr) {
        return errno == ENOENT ? 0 : -1;
    }
    char buffer[kAbortTestInterval];
    std::size_t count = 0;
    int result = 1;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (content->size() + count > limit) {
            errno = EFBIG;
            result = -1;
            break;
        }
        if (ReadAbortRequested()) {
            errno = EINTR;
            result = -1;
            break;
        }
        content->append(buffer, count);
    }
    if (result == 1 && std::ferror(file)) {
        result = -1;
    }
    const int reason = errno;
    std::fclose(file);
    if (result != 1) {
        content->clear();
        errno = reason;
    }
    return result;
}

void SetReadAbortFlag(const std::atomic<int>* flag) {
    readAbortFlag.store(flag);
}

int ReadAbortRequested() {
    const std::atomic<int>* flag = readAbortFlag.load();
    return flag != nullptr && flag->load() != 0 ? 1 : 0;
}

}  // namespace mirexa
