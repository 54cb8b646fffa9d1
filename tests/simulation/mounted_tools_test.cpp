// The mounted-tool owner word against a second thread, and the mounted-tools pass.
#include "simulation/mounted_tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "config/tool_profile.h"
#include "cutting_test_support.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "simulation/cutting_core.h"
#include "simulation/interference_flags.h"
#include "stock/stock_grid.h"
#include "structure_test_support.h"
#include "support/bounded_wait.h"
#include "support/stock_invariants.h"
#include "support/test_cutting_run.h"

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
            if (!testing::AwaitCondition([owner] { return TryTakeMountedTools(owner) != 0; },
                                         std::chrono::microseconds(0))) {
                ADD_FAILURE() << "side " << owner << " waited in vain for the word, round " << i;
                return;
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
        std::lock_guard<const MountedToolsSide> lock(MountedToolsForSimulation);
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

namespace mirexa {
namespace {

using testing::BoxModel;
using testing::PutFlatTool;
using testing::ScopedCheckState;
using testing::ZRayTop;

// A carrier of three 6 mm flat end mills (tools 1 to 3) and a listed tool 4 that is not in the
// tools table, over a 100 x 100 x 50 mm block at 0.5 mm. Tool 1 is current with its tip at
// (20, 20, 40); the stations of tools 2 and 3 lie 30 mm along X and Y from it.
class MountedToolsPass : public ::testing::Test {
protected:
    ScopedCheckState state;
    testing::ScopedCuttingState cutting;
    int savedIndex = CurrentStockIndex.load();

    void SetUp() override {
        MountedToolBusyFlags = kMountedToolsFree;
        ClearMountedToolResults(TestRun.cutting.mountedResults);
        for (int n = 1; n <= 3; ++n) {
            PutFlatTool(n, 6, 12);
            testing::PutLengthRecord(n, kToolLength1, {50});
        }
        const double stations[5][3] = {{}, {0, 0, 0}, {30, 0, 0}, {0, 30, 0}, {0, -30, 0}};
        MountedTools.count = 4;
        for (int n = 1; n <= 4; ++n) {
            MountedTools.list[n] = n;
            MountedTools.flags[n] = 1;
            std::copy(stations[n], stations[n] + 3, MountedTools.positions[n]);
        }
        const double box[6] = {0, 0, 0, 100, 100, 50};
        testing::BuildBoxStock(&StockModels[0], box, 0.5);
        CurrentStockIndex = 0;
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
        LoadCutterSections(RunTools.tool, &TestRun.cutting.cutter);
        // The tip at (20, 20, 40), the axis up.
        double* m = RunKinematics.pose.machine.axis;
        double tip[3], axis[3];
        ComputeToolTipAndAxis(RunKinematics, m, tip, axis);
        m[0] = 20 - tip[0], m[1] = 20 - tip[1], m[2] = 40 - tip[2];
        ComputeToolTipAndAxis(RunKinematics, m, RunKinematics.pose.tool.point,
                              RunKinematics.pose.tool.axis);
        ClearInterferenceFlags(TestRun.cutting.flags);
    }
    void TearDown() override {
        FreeStockModel(&StockModels[0]);
        StockModels[0] = StockModel{};
        CurrentStockIndex = savedIndex;
        MountedToolBusyFlags = kMountedToolsFree;
        ClearMountedToolResults(TestRun.cutting.mountedResults);
    }
    static double TopAt(double x, double y) {
        return ZRayTop(StockModels[0], static_cast<int>(x * 2), static_cast<int>(y * 2));
    }
};

TEST_F(MountedToolsPass, ACarrierOfThreeCutsAtTheThreeStations) {
    EXPECT_EQ(CurrentToolHasMountedTools(RunSession), 1);
    Checks.arborCheck = 3;
    CutAndCheckMountedTools(TestRun.cutting, RunSession, &StockModels[CurrentStockIndex.load()],
                            testing::CutMark);
    EXPECT_EQ(TopAt(20, 20), 40.0);
    EXPECT_EQ(TopAt(50, 20), 40.0);
    EXPECT_EQ(TopAt(20, 50), 40.0);
    EXPECT_EQ(TopAt(50, 50), 50.0);
    // The other tools touched the stock: code 5 each, and the attachment flag for them.
    EXPECT_EQ(TestRun.cutting.mountedResults[2].code, kMountedStockContact);
    EXPECT_EQ(TestRun.cutting.mountedResults[3].code, kMountedStockContact);
    EXPECT_EQ(TestRun.cutting.mountedResults[4].code, 0) << "not in the tools table: skipped";
    EXPECT_EQ(TestRun.cutting.mountedResults[1].code, 0) << "the current tool has no result";
    EXPECT_EQ(TestRun.cutting.flags.attachment, 1);
    EXPECT_EQ(TestRun.cutting.flags.contact, 1);
    EXPECT_DOUBLE_EQ(TestRun.cutting.mountedResults[2].machine[0],
                     RunKinematics.pose.machine.axis[0] + 30.0);
    // The current tool is current again and the owner word is free.
    EXPECT_EQ(RunTools.tool.derivedFrom, 1);
    EXPECT_EQ(MountedToolBusyFlags.load(), kMountedToolsFree);
    EXPECT_TRUE(StockInvariantsHold(StockModels[0], true));
}

TEST_F(MountedToolsPass, ContactUnderCutRecordsNothingAndAllChecksOffCutsOnlyTheCurrentStation) {
    Checks.arborCheck = 2;
    CutAndCheckMountedTools(TestRun.cutting, RunSession, &StockModels[CurrentStockIndex.load()],
                            testing::CutMark);
    EXPECT_EQ(TopAt(50, 20), 40.0);
    EXPECT_EQ(TestRun.cutting.mountedResults[2].code, 0);
    EXPECT_EQ(TestRun.cutting.flags.attachment, 0);

    // With every check off, the other stations are not visited.
    Checks.arborCheck = 0;
    const double before = TopAt(20, 50);
    ASSERT_EQ(before, 40.0);
    MountedTools.positions[2][0] = 60.0;  // a fresh spot for tool 2
    CutAndCheckMountedTools(TestRun.cutting, RunSession, &StockModels[CurrentStockIndex.load()],
                            testing::CutMark);
    EXPECT_EQ(TopAt(80, 20), 50.0);
}

TEST_F(MountedToolsPass, ToolsAtTheCurrentStationCutWithoutResultsAndOldCodesAreCleared) {
    // Tool 3 shares tool 1's station and is 5 mm longer by its SHIFT: it cuts 5 mm deeper there.
    MountedTools.positions[3][0] = MountedTools.positions[3][1] = 0.0;
    ToolTableSet.shifts[3] = 5.0f;
    TestRun.cutting.mountedResults[3].code = kMountedViceHit;  // left from an earlier pass
    Checks.arborCheck = 0;
    CutAndCheckMountedTools(TestRun.cutting, RunSession, &StockModels[CurrentStockIndex.load()],
                            testing::CutMark);
    EXPECT_EQ(TopAt(20, 20), 35.0);
    EXPECT_EQ(TestRun.cutting.mountedResults[3].code, 0);
    EXPECT_EQ(TestRun.cutting.flags.structure[kToolVice], 0);
    EXPECT_EQ(TopAt(50, 20), 50.0) << "all checks off: tool 2 stays out";
    EXPECT_EQ(RunTools.tool.derivedFrom, 1);
}

TEST_F(MountedToolsPass, AnotherToolInTheViceRaisesTheToolViceFlag) {
    const double lo[3] = {45, 15, 0}, hi[3] = {55, 25, 45};
    StructureModels.vices.push_back(BoxModel(lo, hi));
    Checks.structurePairs[kToolVice] = 1;
    CutAndCheckMountedTools(TestRun.cutting, RunSession, &StockModels[CurrentStockIndex.load()],
                            testing::CutMark);
    EXPECT_EQ(TestRun.cutting.mountedResults[2].code, kMountedViceHit);
    EXPECT_EQ(TestRun.cutting.mountedResults[2].vice, 1);
    EXPECT_EQ(TestRun.cutting.mountedResults[3].code, kMountedStockContact)
        << "in the stock, clear of the vice";
    EXPECT_EQ(TestRun.cutting.flags.structure[kToolVice], 1);
    EXPECT_EQ(TestRun.cutting.flags.contact, 1);
}

TEST(MountedToolPositions, StationDifferenceAndShiftAlongTheToolDirection) {
    ScopedCheckState state;
    PutFlatTool(1, 6, 12);
    PutFlatTool(2, 6, 12);
    ToolTableSet.shifts[1] = 2.0f;
    ToolTableSet.shifts[2] = 7.0f;
    MountedTools.positions[1][0] = 10;
    MountedTools.positions[2][0] = 40;
    MountedTools.positions[2][1] = -5;
    const double base[5] = {100, 200, 300, 15, 25};
    double out[5];
    MountedToolPosition(base, 2, 1, out);
    EXPECT_DOUBLE_EQ(out[0], 130);
    EXPECT_DOUBLE_EQ(out[1], 195);
    EXPECT_DOUBLE_EQ(out[2], 295) << "2 - 7 along Z";
    EXPECT_EQ(out[3], 15);
    EXPECT_EQ(out[4], 25);
    CurrentMachine.toolDirectionTilted = 1;
    CurrentMachine.toolDirection[0] = 1;
    CurrentMachine.toolDirection[2] = 0;
    MountedToolPosition(base, 2, 1, out);
    EXPECT_DOUBLE_EQ(out[0], 125);
    EXPECT_DOUBLE_EQ(out[2], 300);
}

}  // namespace
}  // namespace mirexa
