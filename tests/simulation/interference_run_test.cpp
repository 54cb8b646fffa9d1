// Whole programs through the simulation thread with the interference checks installed: a
// program that drives the holder into the stock, and one that drives the tool into the vice,
// each ends at the first alarm step, the step where the holder or the tool meets what it hits.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "config/config_records.h"
#include "config/tool_profile.h"
#include "cutting_test_support.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "services/shared_state.h"
#include "simulation/cutting_core.h"
#include "simulation/interference_flags.h"
#include "simulation/mounted_tools.h"
#include "simulation/run_control.h"
#include "simulation/simulation_hooks.h"
#include "simulation/simulation_thread.h"
#include "stock/stock_grid.h"
#include "structure_test_support.h"
#include "support/scratch_directory.h"
#include "support/test_cutting_run.h"

namespace mirexa {
namespace {

// The flags of the first alarm step, and its count.
// A 40 x 30 x 10 mm block at 0.5 mm; tool 1, a 6 mm flat end mill 30 mm long in a 30 mm holder
// 20 mm long. The run draws nothing, so it runs on the test's own thread.
class InterferenceRun : public ::testing::Test {
protected:
    testing::ScopedCheckState state;
    testing::ScopedCuttingState cutting;
    testing::ScratchDirectory scratch;
    DefinitionFilePaths savedFiles = DefinitionFiles;
    DexelPitchSettings savedPitch = DexelPitch;
    int savedIndex = CurrentStockIndex.load();

    void SetUp() override {
        SimulationCallbacks = SimulationHooks{};
        InstallInterferenceCheckHooks();
        GiveRunRequest(TestRun, WindowRunRequest());
        WindowRun.mode = RunMode::kRealCutting;
        DrawingSuppressed = 1;
        testing::PutFlatTool(1, 6, 12);
        testing::PutLengthRecord(1, kToolLength1, {30});
        testing::PutHolder(1, kArborCylinders, {30}, {20});
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
        const double box[6] = {0, 0, 0, 40, 30, 10};
        testing::BuildBoxStock(&StockModels[0], box, 0.5);
        CurrentStockIndex = 0;
        DexelPitch.secondPitch = 0.5;
        RunKinematics.pose = MachinePose{};
        RunKinematics.pose.program.axis[2] = 80.0;
    }
    void TearDown() override {
        FreeStockModel(&StockModels[0]);
        StockModels[0] = StockModel{};
        CurrentStockIndex = savedIndex;
        DefinitionFiles = savedFiles;
        DexelPitch = savedPitch;
        WindowRun.mode = RunMode::kIdle;
        DrawingSuppressed = 0;
    }
    void Run(const std::string& program) {
        DefinitionFiles.ncProgramFile = scratch.Write("part.nc", program);
        RunTestCut();
    }
};

TEST_F(InterferenceRun, HolderDrivenIntoTheStockBreaksOffTheRun) {
    Checks.arborCheck = 3;
    // The holder starts 30 mm above the tip: at Z-22 it is 2 mm inside the block.
    Run("%\nG90 G00 X20. Y15. Z50.\nG01 Z-22. F500.\nG00 Z80.\nM30\n%\n");
    EXPECT_EQ(TestRun.result.end, kRunEndInterference);
    EXPECT_EQ(TestRun.record.alarmSteps, 1);
    // The step that broke off is the first with the holder below the block's top (Z 10): the tip
    // 30 mm lower, the cutter 20 mm deep in the block before.
    EXPECT_LE(RunKinematics.pose.tool.point[2], -20.0);
    EXPECT_GT(RunKinematics.pose.tool.point[2], -21.0);
    // The same program with the holder clear of the block runs to its end (from the start
    // position again: a rapid from where the last run stopped would cross the new block).
    testing::BuildBoxStock(&StockModels[0], std::array<double, 6>{0, 0, 0, 40, 30, 10}.data(), 0.5);
    RunKinematics.pose = MachinePose{};
    RunKinematics.pose.program.axis[2] = 80.0;
    Run("%\nG90 G00 X20. Y15. Z50.\nG01 Z-15. F500.\nG00 Z80.\nM30\n%\n");
    EXPECT_EQ(TestRun.result.end, kRunEndProgram);
    EXPECT_EQ(TestRun.record.alarmSteps, 0);
}

TEST_F(InterferenceRun, ToolDrivenIntoTheViceBreaksOffTheRun) {
    const double lo[3] = {60, 0, 0}, hi[3] = {80, 30, 20};
    StructureModels.vices.push_back(testing::BoxModel(lo, hi));
    Checks.structurePairs[kToolVice] = 1;
    Run("%\nG90 G00 X70. Y15. Z50.\nG01 Z21. F500.\nZ15.\nG00 Z80.\nM30\n%\n");
    EXPECT_EQ(TestRun.result.end, kRunEndInterference);
    EXPECT_EQ(TestRun.record.alarmSteps, 1);
    // The step that broke off is the first below the vice's top.
    EXPECT_LE(RunKinematics.pose.tool.point[2], 20.0);
    EXPECT_GT(RunKinematics.pose.tool.point[2], 19.0);
}

}  // namespace
}  // namespace mirexa
