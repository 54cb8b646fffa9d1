// Waits of the tests for another thread, another process or the program's loop: each ends within
// a bound that a loaded two-core machine keeps for what takes a second, and says what it waited
// for.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <vector>

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

// Fails the test, naming what it waited for in vain, and ends the process: past a thread that
// does not come back nothing can go on (its future's or thread's end would wait for it).
[[noreturn]] void EndAfterVainWait(const std::string& what, std::chrono::milliseconds bound);

// The value of the future once it is ready, within the bound; a future still not ready by then
// ends the process (EndAfterVainWait).
template <typename T>
T AwaitFuture(std::future<T>& future, const std::string& what,
              std::chrono::milliseconds bound = kWaitBound) {
    if (future.wait_for(bound) != std::future_status::ready) {
        EndAfterVainWait(what, bound);
    }
    return future.get();
}
template <typename T>
T AwaitFuture(std::future<T>&& future, const std::string& what,
              std::chrono::milliseconds bound = kWaitBound) {
    return AwaitFuture(future, what, bound);
}

// Runs the program (arguments[0], found on the PATH; no shell) and gives what it wrote on its
// standard output and error, read together, and its wait status in *status (-1 when it could
// not be started). A program that has not ended within the bound fails the test and is ended
// (AwaitChildExit); its output so far is given.
std::string CaptureProgramOutput(const std::vector<std::string>& arguments, int* status,
                                 std::chrono::milliseconds bound = kWaitBound);

}  // namespace mirexa::testing
