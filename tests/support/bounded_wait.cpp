// Waits of the tests that end within a bound and say what they waited for.
#include "support/bounded_wait.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

extern char** environ;

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

void EndAfterVainWait(const std::string& what, std::chrono::milliseconds bound) {
    ADD_FAILURE() << "waited " << std::chrono::duration_cast<std::chrono::seconds>(bound).count()
                  << " s in vain for " << what << "; the test program ends here";
    std::fflush(stdout);
    std::fflush(stderr);
    std::abort();
}

std::string CaptureProgramOutput(const std::vector<std::string>& arguments, int* status,
                                 std::chrono::milliseconds bound) {
    *status = -1;
    int ends[2];
    if (arguments.empty() || pipe(ends) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 2);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    std::string output;
    if (spawned == 0) {
        // Read until the pipe closes or the bound has passed (a grandchild may keep it open).
        const auto deadline = std::chrono::steady_clock::now() + bound;
        char buffer[4096];
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd readable{ends[0], POLLIN, 0};
            if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            const ssize_t n = read(ends[0], buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            output.append(buffer, static_cast<std::size_t>(n));
        }
        const auto left = std::max(std::chrono::milliseconds(1),
                                   std::chrono::duration_cast<std::chrono::milliseconds>(
                                       deadline - std::chrono::steady_clock::now()));
        int raw = 0;
        if (AwaitChildExit(child, &raw, "the program " + arguments[0], left)) {
            *status = raw;
        }
    }
    close(ends[0]);
    return output;
}

}  // namespace mirexa::testing
