// File facts the program compares: last-write times with nanoseconds, sizes, and the identity of
// a file's content as the system gives it.
#pragma once

#include <cstdint>
#include <string>

namespace mirexa {

// A last-write time. A file that cannot be examined has "no time", which equals only itself and
// never equals the time of an existing file.
struct FileWriteTime {
    std::int64_t seconds = {};      // since 1970-01-01 UTC
    std::int32_t nanoseconds = {};  // 0..999,999,999
    int valid = {};                 // 0: no time
};

inline bool operator==(const FileWriteTime& a, const FileWriteTime& b) {
    if (!a.valid || !b.valid) {
        return a.valid == b.valid;
    }
    return a.seconds == b.seconds && a.nanoseconds == b.nanoseconds;
}

// The file's last-write time, or no time when the file does not exist or cannot be examined.
FileWriteTime GetFileWriteTime(const std::string& path);

// The file's size in bytes; returns 0 (size left 0) when it cannot be examined or is no regular
// file, 1 otherwise.
int GetFileSizeBytes(const std::string& path, std::uint64_t* size);

// What tells one file's content from another's without reading it: the file (device and inode),
// its size, its last write and its last change of state, all with nanoseconds. The change time
// is set by the system at every write, rename, link or mode change and cannot be set back, so a
// file unpacked or copied in place of another differs from it even when the archive gave it the
// same size and write time and the system reused the inode.
struct FileIdentity {
    std::uint64_t device = {};
    std::uint64_t inode = {};
    std::uint64_t size = {};
    std::int64_t writeNanoseconds = {};   // since 1970-01-01 UTC
    std::int64_t changeNanoseconds = {};  // since 1970-01-01 UTC
};

// The identity of the regular file at path (links followed); 0 when it cannot be examined or is
// no regular file, 1 otherwise.
int GetFileIdentity(const std::string& path, FileIdentity* identity);

// The identity as one line of text ("device:inode:size:write:change", decimal).
std::string DescribeFileIdentity(const FileIdentity& identity);

}  // namespace mirexa
