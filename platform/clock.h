// The platform clock: milliseconds on a monotonic clock counted from the start of the process, a
// manual clock that tests step by hand, and sleeping.
#pragma once

#include <cstdint>

namespace mirexa {

// Milliseconds since the process started (monotonic; the manual clock's value while it is on).
std::uint64_t GetTickMilliseconds();

// Switches the manual clock on (starting at startMs) or off. While it is on, GetTickMilliseconds
// returns its value, SleepMilliseconds advances it instead of sleeping, and timers fire by it.
void UseManualClock(int on, std::uint64_t startMs = 0);
int IsManualClockOn();
// Moves the manual clock forward and wakes every message queue so that due timers fire.
void AdvanceManualClock(std::uint64_t ms);

// Suspends the calling thread for ms milliseconds (advances the manual clock when it is on).
void SleepMilliseconds(unsigned ms);

}  // namespace mirexa
