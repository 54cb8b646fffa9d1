// Machine facts read from /proc and the process limits.
#include "platform/system_info.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <thread>

namespace mirexa {

std::uint64_t GetAvailableMemoryBytes() {
    std::uint64_t available = 0;
    if (std::FILE* file = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, file)) {
            unsigned long long kib = 0;
            if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) {
                available = static_cast<std::uint64_t>(kib) * 1024u;
                break;
            }
        }
        std::fclose(file);
    }
    struct rlimit limit = {};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        std::uint64_t cap = static_cast<std::uint64_t>(limit.rlim_cur);
        if (available == 0 || cap < available) {
            available = cap;
        }
    }
    return available;
}

int GetProcessorCount() {
    unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : static_cast<int>(count);
}

}  // namespace mirexa
