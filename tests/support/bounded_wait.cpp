// Waits of the tests that end within a bound and say what they waited for.
#include "support/bounded_wait.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <thread>

namespace mirexa::testing {

bool AwaitCondition(const std::function<bool()>& done, std::chrono::microseconds poll,
                    std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return done();
        }
        if (poll.count() > 0) {
            std::this_thread::sleep_for(poll);
        } else {
            std::this_thread::yield();
        }
    }
    return true;
}

bool AwaitPath(const std::string& path) {
    return AwaitCondition([&path] { return std::filesystem::exists(path); });
}

bool AwaitChildExit(pid_t child, int* status, const std::string& what,
                    std::chrono::milliseconds bound) {
    const auto ended = [child, status] { return waitpid(child, status, WNOHANG) == child; };
    if (AwaitCondition(ended, std::chrono::milliseconds(10), bound)) {
        return true;
    }
    ADD_FAILURE() << "waited " << std::chrono::duration_cast<std::chrono::seconds>(bound).count()
                  << " s in vain for " << what << " (process " << child << ")";
    kill(child, SIGTERM);
    if (!AwaitCondition(ended, std::chrono::milliseconds(10), std::chrono::seconds(1))) {
        kill(child, SIGKILL);
        waitpid(child, status, 0);
    }
    return false;
}

}  // namespace mirexa::testing
