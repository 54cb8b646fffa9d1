// Write times, sizes and identities from stat().
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

int GetFileIdentity(const std::string& path, FileIdentity* identity) {
    *identity = FileIdentity{};
    struct stat info = {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return 0;
    }
    constexpr std::int64_t kBillion = 1000000000;
    identity->device = static_cast<std::uint64_t>(info.st_dev);
    identity->inode = static_cast<std::uint64_t>(info.st_ino);
    identity->size = static_cast<std::uint64_t>(info.st_size);
    identity->writeNanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_sec) * kBillion +
                                 static_cast<std::int64_t>(info.st_mtim.tv_nsec);
    identity->changeNanoseconds = static_cast<std::int64_t>(info.st_ctim.tv_sec) * kBillion +
                                  static_cast<std::int64_t>(info.st_ctim.tv_nsec);
    return 1;
}

std::string DescribeFileIdentity(const FileIdentity& identity) {
    return std::to_string(identity.device) + ":" + std::to_string(identity.inode) + ":" +
           std::to_string(identity.size) + ":" + std::to_string(identity.writeNanoseconds) + ":" +
           std::to_string(identity.changeNanoseconds);
}

}  // namespace mirexa
