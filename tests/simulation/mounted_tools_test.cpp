// The mounted-tool owner word against a second thread, and the mounted-tools pass.
#include "simulation/mounted_tools.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace mirexa {
namespace {

struct OwnerWordTest : ::testing::Test {
    void SetUp() override {
        MountedToolBusyFlags = kMountedToolsFree;
    }
    void TearDown() override {
        MountedToolBusyFlags = kMountedToolsFree;
    }
};

TEST_F(OwnerWordTest, OnlyTheHolderGivesItBack) {
    EXPECT_EQ(TryTakeMountedTools(kMountedToolsSimulation), 1);
    EXPECT_EQ(TryTakeMountedTools(kMountedToolsView), 0);
    EXPECT_EQ(TryTakeMountedTools(kMountedToolsSimulation), 0) << "not recursive";
    EXPECT_EQ(ReleaseMountedTools(kMountedToolsView), 0);
    EXPECT_EQ(MountedToolBusyFlags.load(), kMountedToolsSimulation);
    EXPECT_EQ(ReleaseMountedTools(kMountedToolsSimulation), 1);
    EXPECT_EQ(ReleaseMountedTools(kMountedToolsSimulation), 0);
    EXPECT_EQ(TryTakeMountedTools(kMountedToolsFree), 0);
    EXPECT_EQ(TryTakeMountedTools(7), 0);
    EXPECT_EQ(MountedToolBusyFlags.load(), kMountedToolsFree);
}

// Both sides take and give back the word as fast as they can; the plain counters they touch
// while holding it would be a data race (and lose counts) if both ever held it together.
TEST_F(OwnerWordTest, TwoThreadsNeverHoldItTogether) {
    constexpr int kRounds = 20000;
    long shared = 0;
    int holder = kMountedToolsFree;
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    auto side = [&](std::int32_t owner) {
        for (int i = 0; i < kRounds; ++i) {
            while (!TryTakeMountedTools(owner)) {
                std::this_thread::yield();
            }
            if (inside.fetch_add(1) != 0) {
                overlaps.fetch_add(1);
            }
            holder = owner;
            ++shared;
            if (holder != owner) {
                overlaps.fetch_add(1);
            }
            inside.fetch_sub(1);
            ASSERT_EQ(ReleaseMountedTools(owner), 1);
        }
    };
    std::thread view(side, kMountedToolsView);
    side(kMountedToolsSimulation);
    view.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(shared, 2L * kRounds);
    EXPECT_EQ(MountedToolBusyFlags.load(), kMountedToolsFree);
}

// A waiting side polls until the holder gives the word back; the lockable sides serve
// std::lock_guard.
TEST_F(OwnerWordTest, AWaitingSideTakesItOnceReleased) {
    std::atomic<int> released{0};
    ASSERT_EQ(TryTakeMountedTools(kMountedToolsView), 1);
    std::thread simulation([&] {
        std::lock_guard<MountedToolsSide> lock(MountedToolsForSimulation);
        EXPECT_EQ(released.load(), 1);
        EXPECT_EQ(MountedToolBusyFlags.load(), kMountedToolsSimulation);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    released = 1;
    ASSERT_EQ(ReleaseMountedTools(kMountedToolsView), 1);
    simulation.join();
    EXPECT_EQ(MountedToolBusyFlags.load(), kMountedToolsFree);
    EXPECT_TRUE(MountedToolsForView.try_lock());
    MountedToolsForView.unlock();
}

}  // namespace
}  // namespace mirexa
