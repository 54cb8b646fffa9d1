// Waits of the tests for another thread, another process or the program's loop: each ends within
// a bound that a loaded two-core machine keeps for what takes a second, and says what it waited
// for.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>

namespace mirexa::testing {

// The bound of a wait for something that takes about a second on an idle machine.
inline constexpr std::chrono::seconds kWaitBound{90};

// Waits until done holds, looking every poll (0: yielding between looks), for at most the bound;
// whether it holds.
bool AwaitCondition(const std::function<bool()>& done,
                    std::chrono::microseconds poll = std::chrono::milliseconds(10),
                    std::chrono::milliseconds bound = kWaitBound);

// Waits until the path exists, as another process makes it; whether it does.
bool AwaitPath(const std::string& path);

// Waits for the child process to end, for at most the bound, and gives its wait status. One that
// has not ended by then fails the test, naming what was waited for, and is asked to end
// (SIGTERM), then a second later ended (SIGKILL) and taken; the answer is then false.
bool AwaitChildExit(pid_t child, int* status, const std::string& what,
                    std::chrono::milliseconds bound = kWaitBound);

}  // namespace mirexa::testing
