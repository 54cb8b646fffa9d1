// Facts about the machine the program runs on: memory and processors.
#pragma once

#include <cstdint>

namespace mirexa {

// Bytes of memory the program can still take without pushing the system into swap or the
// out-of-memory killer (MemAvailable of /proc/meminfo, bounded by the address-space limit).
// Returns 0 when it cannot be read.
std::uint64_t GetAvailableMemoryBytes();

// The number of processors the program may run on (at least 1).
int GetProcessorCount();

}  // namespace mirexa
