// The deterministic hostile-input sweep: every seed of a reader truncated at every byte offset
// (every 64th beyond 64 KiB), with bytes changed at a fixed set of offsets and with lines
// stretched past the reader's line buffer, each fed to the reader under a per-input time cap.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/hostile_readers.h"

namespace mirexa::testing {

// One derived input and what it is, for messages ("truncated at 117", "byte 12 ^ 0x80",
// "line 3 stretched with '9'").
struct HostileVariant {
    std::string label = {};
    std::string bytes = {};
};

// Seeds longer than this are truncated at every kTruncationStride-th offset only (or the
// reader's own stride, when larger).
inline constexpr std::size_t kEveryOffsetLimit = 64 * 1024;
inline constexpr std::size_t kTruncationStride = 64;

// Calls visit for every variant of the seed: the truncations (at every offset, or every
// stride-th offset for a seed of more than kShortSeedBytes), the changed bytes (each byte XOR
// 0x01, XOR 0x80 and set to 0xFF at 32 offsets spread over the seed, and at its first 160
// offsets, where the binary heads and counts are, or its first 32 for a text format) and, for a
// text format (lineCharacters not 0), up to eight lines stretched past lineCharacters with
// digits, with blanks and with copies of their own text, a file of one line without a line end,
// and CRLF line ends throughout. Stops when visit returns false.
void VisitHostileVariants(std::string_view seed, int lineCharacters, int stride,
                          const std::function<bool(const HostileVariant&)>& visit);

// What a sweep of one reader found.
struct HostileSweepResult {
    int seeds = {};
    long inputs = {};
    std::vector<std::string> failures = {};  // "<seed>: <variant>: <problem>", at most 20
};

// Feeds every seed of the reader (from sourceRoot/tests/fuzz/corpus/<name>/) and every variant
// of it (every 8th under ThreadSanitizer).
// An input still running after capSeconds ends the process with its seed and variant on stderr
// (a hang cannot be recovered from inside the process).
HostileSweepResult SweepHostileReader(const HostileReader& reader, const std::string& sourceRoot,
                                      int capSeconds);

}  // namespace mirexa::testing
