// The hostile-input sweep: derived inputs of every seed, fed one by one under a watchdog.
#include "fuzz/hostile_sweep.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

namespace mirexa::testing {

namespace {

// Byte offsets near the start that every seed gets changed at: the heads and counts of the
// binary formats (STL 84, DME 152, DMF 156 bytes) lie there; text formats get fewer.
constexpr std::size_t kBinaryHeadOffsets = 160;
constexpr std::size_t kTextHeadOffsets = 32;
// Offsets spread over the rest of a seed.
constexpr std::size_t kSpreadOffsets = 32;
// Lines of a seed that are stretched.
constexpr std::size_t kStretchedLines = 8;

// ThreadSanitizer slows the readers about ten times over and has nothing to find in their one
// thread (only the watchdog runs beside them): its build feeds every 8th variant. The plain and
// AddressSanitizer builds feed them all.
#if defined(__SANITIZE_THREAD__)
constexpr long kVariantThinning = 8;
#else
constexpr long kVariantThinning = 1;
#endif

// Ends the process when one input runs longer than the cap; started and stopped around each
// input.
class HangWatch {
public:
    explicit HangWatch(int capSeconds) : cap_(capSeconds), thread_([this] { Watch(); }) {}
    ~HangWatch() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    HangWatch(const HangWatch&) = delete;
    HangWatch& operator=(const HangWatch&) = delete;

    void Start(const std::string& label) {
        std::lock_guard<std::mutex> lock(mutex_);
        label_ = label;
        deadline_ = std::chrono::steady_clock::now() + cap_;
        running_ = true;
        wake_.notify_all();
    }
    void Stop() {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!quit_) {
            if (!running_) {
                wake_.wait(lock);
                continue;
            }
            const auto deadline = deadline_;
            if (wake_.wait_until(lock, deadline) == std::cv_status::timeout && running_ &&
                deadline_ == deadline) {
                std::fprintf(stderr, "hostile input ran past %d s: %s\n",
                             static_cast<int>(cap_.count()), label_.c_str());
                std::fflush(stderr);
                std::abort();
            }
        }
    }

    std::chrono::seconds cap_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::string label_;
    std::chrono::steady_clock::time_point deadline_;
    bool running_ = false;
    bool quit_ = false;
    std::thread thread_;
};

// Start offsets of the seed's lines (each line running to its "\n" or the end).
std::vector<std::size_t> LineStarts(std::string_view seed) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < seed.size();) {
        starts.push_back(at);
        const std::size_t newline = seed.find('\n', at);
        at = newline == std::string_view::npos ? seed.size() : newline + 1;
    }
    return starts;
}

// The variants with one line stretched past the buffer.
bool VisitStretchedLines(std::string_view seed, int lineCharacters,
                         const std::function<bool(const HostileVariant&)>& visit) {
    const std::vector<std::size_t> starts = LineStarts(seed);
    const std::size_t step = std::max<std::size_t>(1, starts.size() / kStretchedLines);
    const std::size_t length = static_cast<std::size_t>(lineCharacters) + 64;
    for (std::size_t i = 0; i < starts.size(); i += step) {
        const std::size_t begin = starts[i];
        std::size_t end = seed.find('\n', begin);
        end = end == std::string_view::npos ? seed.size() : end;
        std::size_t textEnd = end;
        if (textEnd > begin && seed[textEnd - 1] == '\r') {
            --textEnd;
        }
        const std::string_view text = seed.substr(begin, textEnd - begin);
        std::string copies(text);
        while (!text.empty() && copies.size() < length) {
            copies += text;
        }
        const std::string fills[3] = {std::string(length, '9'), std::string(length, ' '), copies};
        const char* kinds[3] = {"digits", "blanks", "copies"};
        for (int k = 0; k < 3; ++k) {
            HostileVariant variant;
            variant.label = "line " + std::to_string(i + 1) + " stretched with " + kinds[k];
            variant.bytes =
                std::string(seed.substr(0, textEnd)) + fills[k] + std::string(seed.substr(textEnd));
            if (!visit(variant)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

void VisitHostileVariants(std::string_view seed, int lineCharacters, int stride,
                          const std::function<bool(const HostileVariant&)>& visit) {
    // 1. Truncations.
    std::size_t step = 1;
    if (seed.size() > kShortSeedBytes) {
        step = static_cast<std::size_t>(std::max(stride, 1));
    }
    if (seed.size() > kEveryOffsetLimit) {
        step = std::max(step, kTruncationStride);
    }
    for (std::size_t at = 0; at < seed.size(); at += step) {
        if (!visit({"truncated at " + std::to_string(at), std::string(seed.substr(0, at))})) {
            return;
        }
    }
    // 2. Changed bytes.
    const std::size_t head = lineCharacters > 0 ? kTextHeadOffsets : kBinaryHeadOffsets;
    std::vector<std::size_t> offsets;
    for (std::size_t at = 0; at < std::min(seed.size(), head); ++at) {
        offsets.push_back(at);
    }
    if (seed.size() > head) {
        const std::size_t rest = seed.size() - head;
        for (std::size_t i = 0; i < kSpreadOffsets; ++i) {
            offsets.push_back(head + rest * i / kSpreadOffsets);
        }
    }
    for (std::size_t at : offsets) {
        const unsigned char original = static_cast<unsigned char>(seed[at]);
        const unsigned char changed[3] = {static_cast<unsigned char>(original ^ 0x01),
                                          static_cast<unsigned char>(original ^ 0x80), 0xFF};
        const char* labels[3] = {" ^ 0x01", " ^ 0x80", " = 0xFF"};
        for (int k = 0; k < 3; ++k) {
            HostileVariant variant{"byte " + std::to_string(at) + labels[k], std::string(seed)};
            variant.bytes[at] = static_cast<char>(changed[k]);
            if (!visit(variant)) {
                return;
            }
        }
    }
    if (lineCharacters <= 0) {
        return;
    }
    // 3. Long lines, one line without an end, CRLF ends.
    if (!VisitStretchedLines(seed, lineCharacters, visit)) {
        return;
    }
    std::string joined;
    std::string crlf;
    for (char c : seed) {
        if (c != '\n' && c != '\r') {
            joined += c;
        }
        if (c == '\n') {
            crlf += "\r\n";
        } else if (c != '\r') {
            crlf += c;
        }
    }
    if (!visit({"one line without an end", joined})) {
        return;
    }
    visit({"CRLF line ends", crlf});
}

HostileSweepResult SweepHostileReader(const HostileReader& reader, const std::string& sourceRoot,
                                      int capSeconds) {
    HostileSweepResult result;
    HangWatch watch(capSeconds);
    for (const std::string& seedPath : ListHostileSeeds(sourceRoot, reader)) {
        ++result.seeds;
        const std::string seed = ReadHostileFile(seedPath);
        const std::string seedName = std::filesystem::path(seedPath).filename().string();
        long variants = 0;
        auto feed = [&](const HostileVariant& variant) {
            if (variants++ % kVariantThinning != 0) {
                return true;
            }
            ++result.inputs;
            watch.Start(std::string(reader.name) + " " + seedName + ": " + variant.label);
            const std::string problem = FeedHostileInput(reader, variant.bytes);
            watch.Stop();
            if (!problem.empty()) {
                result.failures.push_back(seedName + ": " + variant.label + ": " + problem);
            }
            return result.failures.size() < 20;
        };
        if (!feed({"as it is", seed})) {
            break;
        }
        VisitHostileVariants(seed, reader.lineCharacters, reader.truncationStride, feed);
        if (result.failures.size() >= 20) {
            break;
        }
    }
    return result;
}

}  // namespace mirexa::testing
