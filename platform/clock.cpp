// Monotonic process clock, manual test clock and sleeping.
#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/window_internal.h"

namespace mirexa {

namespace {

const std::chrono::steady_clock::time_point processStart = std::chrono::steady_clock::now();
std::atomic<int> manualClockOn{0};
std::atomic<std::uint64_t> manualClockMs{0};

}  // namespace

std::uint64_t GetTickMilliseconds() {
    if (manualClockOn.load()) {
        return manualClockMs.load();
    }
    auto elapsed = std::chrono::steady_clock::now() - processStart;
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void UseManualClock(int on, std::uint64_t startMs) {
    manualClockMs.store(startMs);
    manualClockOn.store(on ? 1 : 0);
    WakeAllMessageQueues();
}

int IsManualClockOn() {
    return manualClockOn.load();
}

void AdvanceManualClock(std::uint64_t ms) {
    manualClockMs.fetch_add(ms);
    WakeAllMessageQueues();
}

void SleepMilliseconds(unsigned ms) {
    if (manualClockOn.load()) {
        AdvanceManualClock(ms);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace mirexa
