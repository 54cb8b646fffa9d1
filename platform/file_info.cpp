// Write times and sizes from stat().
#include "platform/file_info.h"

#include <sys/stat.h>

namespace mirexa {

FileWriteTime GetFileWriteTime(const std::string& path) {
    struct stat info = {};
    if (path.empty() || stat(path.c_str(), &info) != 0) {
        return FileWriteTime{};
    }
    FileWriteTime time;
    time.seconds = static_cast<std::int64_t>(info.st_mtim.tv_sec);
    time.nanoseconds = static_cast<std::int32_t>(info.st_mtim.tv_nsec);
    time.valid = 1;
    return time;
}

int GetFileSizeBytes(const std::string& path, std::uint64_t* size) {
    if (size) {
        *size = 0;
    }
    struct stat info = {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return 0;
    }
    if (size) {
        *size = static_cast<std::uint64_t>(info.st_size);
    }
    return 1;
}

}  // namespace mirexa
