// The run timer of the main window and run control together: the order of the abort's flags.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "shell/run_commands.h"

namespace mirexa {
namespace {

// The abort must be visible to whoever sees the pause released: a watcher that spins until the
// pause request falls must then find the abort set, every time. The watcher is one thread for all
// rounds, spinning before each abort, so that the window between the two stores is probed often.
TEST(RunAbortOrderTest, TheAbortIsSetBeforeThePauseIsReleased) {
    const RunFlagRefs& flags = RunFlags();
    constexpr int kRounds = 20000;
    std::atomic<int> round{0};
    std::atomic<int> spinning{0};
    std::atomic<int> seen{0};
    std::atomic<int> missed{0};
    std::thread watcher([&] {
        for (int r = 1; r <= kRounds; ++r) {
            while (round.load() != r) {
                std::this_thread::yield();
            }
            spinning = r;
            while (flags.pauseRequest->load() != 0) {
            }
            if (flags.abortRequest->load() == 0) {
                missed.fetch_add(1);
            }
            seen = r;
        }
    });
    for (int r = 1; r <= kRounds; ++r) {
        flags.abortRequest->store(0);
        flags.pauseRequest->store(1);
        round = r;
        while (spinning.load() != r) {
            std::this_thread::yield();
        }
        AbortRun(WindowHandle{}, r % 2);
        while (seen.load() != r) {
            std::this_thread::yield();
        }
    }
    watcher.join();
    EXPECT_EQ(missed.load(), 0);
    flags.abortRequest->store(0);
    flags.pauseRequest->store(0);
    flags.pauseBlink->store(0);
    RunCommands.runTimer = 0;
}

}  // namespace
}  // namespace mirexa
