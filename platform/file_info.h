// File facts the program compares: last-write times with nanoseconds, and sizes.
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

}  // namespace mirexa
