// Stepping of NURBS moves knot span by knot span: the step counts per span over a polyline
// curve whose lengths are known by hand, the cut at the curve's end, the redraws of the stop
// options, over-travel that ends only the move, abort, and the tool-load limit without log
// lines; and a whole program with a curve through the simulation thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "cutting_test_support.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nurbs_evaluation.h"
#include "run_report_support.h"
#include "services/file_paths.h"
#include "services/shared_state.h"
#include "simulation/cutting_core.h"
#include "simulation/move_stepping.h"
#include "simulation/run_control.h"
#include "simulation/simulation_hooks.h"
#include "simulation/simulation_thread.h"
#include "simulation/tool_length_report.h"
#include "stock/stock_grid.h"
#include "support/saved_globals.h"
#include "support/scoped_log_directory.h"
#include "support/scratch_directory.h"
#include "support/stock_invariants.h"
#include "support/test_cutting_run.h"

namespace mirexa {
namespace {

class NurbsSteppingTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_.Keep(CurrentMachine, RunKinematics.pose, SimulationCallbacks, DexelPitch,
                    Controller.stopOption, Checks, FileLocations.currentDirectory);
        // The runs' reports are written in a scratch working directory.
        FileLocations.currentDirectory = reports_.Path();
        GiveRunRequest(TestRun, WindowRunRequest());
        testing::WatchRunDrawing();
        RunSession.run = NcRunState{};
        RunSession.controller = NcControllerView{};
        RunKinematics.pose = MachinePose{};
        DexelPitch.secondPitch = 1.0;
        ResetSimulationRunRecord(TestStepContext());
        CurrentStockIndex = 0;
        ASSERT_EQ(AllocToolTables(3), 1);
        RebuildStock();
        TestRun.cutting.cutter = testing::FlatTool(1.0);
        SetPolyline();
    }
    void TearDown() override {
        testing::CloseRunReportFiles(TestRun.reports);
        FreeStockModel(&StockModels[0]);
        StockModels[0] = StockModel{};
        saved_.Restore();
        WindowRun.mode = RunMode::kIdle;
        FreeToolTables();
        FreeNurbsBuffers(RunSession);
        RunTools.tool = CurrentToolRecord{};
        RunSession.run = NcRunState{};
        RunSession.controller = NcControllerView{};
    }

    // An order-2 curve is its control polygon: (0,0,8) to (3,4,8) over [0,1] (5 mm), an empty
    // span [1,1], then (3,4,8) to (3,4,5.5) over [1,2] (2.5 mm). At 1 mm steps: 5 + 3 steps.
    void SetPolyline() {
        ASSERT_EQ(AllocNurbsBuffers(RunSession), 1);
        NurbsCurveData& c = RunSession.nurbs;
        const double points[4][3] = {{0, 0, 8}, {3, 4, 8}, {3, 4, 8}, {3, 4, 5.5}};
        for (int i = 0; i < 4; ++i) {
            c.x[i] = points[i][0];
            c.y[i] = points[i][1];
            c.z[i] = points[i][2];
            c.weight[i] = 1.0;
        }
        const double knots[6] = {0, 0, 1, 1, 2, 2};
        for (int i = 0; i < 6; ++i) {
            c.knot[i] = knots[i];
        }
        c.order = 2;
        c.pointCount = 4;
        c.knotCount = 6;
        RunKinematics.motion = MotionRecord{};
        RunKinematics.motion.motionType = kMotionNurbs;
        RunKinematics.motion.feed = 300.0;
        block_ = StepBlockInfo{};
        block_.lineStamp = 42;
        block_.to.axis[0] = 3.0;
        block_.to.axis[1] = 4.0;
        block_.to.axis[2] = 5.5;
    }

    void RebuildStock() {
        FreeStockModel(&StockModels[0]);
        StockModels[0] = StockModel{};
        const double box[6] = {0, 0, 0, 20, 20, 10};
        testing::BuildBoxStock(&StockModels[0], box, 0.5);
    }

    // Steps the move while a host thread serves redraws, noting the step count at each.
    int StepWithRedrawHost(std::vector<std::int64_t>* stepsAtRedraw) {
        std::atomic<bool> stop{false};
        std::thread host([&] {
            while (!stop) {
                if (WindowRun.controls.redrawRequest.load() != 0) {
                    stepsAtRedraw->push_back(TestRun.record.steps);
                    WindowRun.controls.redrawRequest = 0;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        const int result = StepCurrentMove(TestStepContext(), block_);
        stop = true;
        host.join();
        return result;
    }

    testing::ScopedCuttingState cutting_;
    testing::SavedGlobals saved_;
    testing::ScratchDirectory reports_;
    StepBlockInfo block_;
};

TEST_F(NurbsSteppingTest, EachSpanTakesItsOwnSteps) {
    TestRun.cutting.cutter.penBits = 3 << 4;
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    EXPECT_EQ(TestRun.record.steps, 5 + 3);
    EXPECT_DOUBLE_EQ(TestRun.record.actualStep, 2.5 / 3.0);
    // The last step stands exactly on the curve's end, and cut there with the block's stamp and
    // pen (no rapid bit).
    EXPECT_EQ(RunKinematics.pose.program.axis[0], 3.0);
    EXPECT_EQ(RunKinematics.pose.program.axis[1], 4.0);
    EXPECT_EQ(RunKinematics.pose.program.axis[2], 5.5);
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 6, 8), 5.5);
    const DexelRay ray = ReadDexelRay(StockModels[0].z, 8 * StockModels[0].nx + 6);
    ASSERT_EQ(ray.ends.size(), 2u);
    EXPECT_EQ(ray.flags[1], 3 << 4);
    EXPECT_EQ(ray.stamps[1], 42);
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 20, 20), 10.0) << "far from the curve";
    EXPECT_EQ(WindowRun.controls.kept.simulationState.load(), 1);
    // No curve: nothing stepped.
    RunSession.nurbs.pointCount = 0;
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveSkipped);
    EXPECT_EQ(TestRun.record.steps, 8);
}

// Stop option M01: a redraw after every span but the last (the empty span does not count);
// SINGLE: one redraw after the move.
TEST_F(NurbsSteppingTest, StopOptionsRedrawPerSpanOrPerMove) {
    RunSession.controller.stopOption = 2;  // the run's copy of the controller
    std::vector<std::int64_t> redraws;
    EXPECT_EQ(StepWithRedrawHost(&redraws), kMoveStepped);
    EXPECT_EQ(redraws, (std::vector<std::int64_t>{5}));
    RunSession.controller.stopOption = 3;
    redraws.clear();
    TestRun.record.steps = 0;
    EXPECT_EQ(StepWithRedrawHost(&redraws), kMoveStepped);
    EXPECT_EQ(redraws, (std::vector<std::int64_t>{8}));
    // Drawing suppressed: no handshake at all.
    DrawingSuppressed = 1;
    redraws.clear();
    EXPECT_EQ(StepWithRedrawHost(&redraws), kMoveStepped);
    DrawingSuppressed = 0;
    EXPECT_TRUE(redraws.empty());
}

// Over-travel ends the NURBS move before the step cuts, but not the run; the log says why.
TEST_F(NurbsSteppingTest, OverTravelEndsOnlyTheMove) {
    testing::ScratchDirectory dir;
    testing::ScopedLogDirectory log(dir.Path());
    block_.mainLine = 31;
    CurrentMachine.strokes.enabled[0] = 1;
    CurrentMachine.strokes.min[0] = -100.0;
    CurrentMachine.strokes.max[0] = 1.5;
    TestRun.reports.motionSnapshot = MotionStateSnapshot{};
    // Steps at x = 0.6, 1.2, 1.8: the third is out of the stroke.
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    EXPECT_EQ(TestRun.record.steps, 2);
    EXPECT_EQ(WindowRun.controls.overTravelAxis.load(), -1);
    EXPECT_EQ(WindowRun.controls.stepAlarm.load(), 1);
    EXPECT_DOUBLE_EQ(TestRun.reports.motionSnapshot.program.axis[0], 1.8);
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 6, 8), 10.0) << "the curve's end was not cut";
    const std::string logged = testing::ReadWholeFile(dir.At("mirexa.log"));
    EXPECT_NE(logged.find("Axis 0 left its stroke inside a NURBS move (line 31)"),
              std::string::npos)
        << logged;
}

TEST_F(NurbsSteppingTest, AbortEndsTheMoveAndTheRun) {
    WindowRun.controls.abortRequest = 1;
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveEndsRun);
    EXPECT_EQ(TestRun.record.steps, 1);
}

// The tool-load limit: the alarm types raise the alarm and end the span; the log types write
// no line on a NURBS move.
TEST_F(NurbsSteppingTest, ToolLoadLimitAlarmsWithoutLogLines) {
    TestRun.cutting.cutter = testing::FlatTool(4.0);
    RunTools.tool.derivedFrom = 1;
    ToolTableSet.loadLimits[1] = {kToolLoadSectionLog, {0.5f}};
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    EXPECT_EQ(TestRun.record.steps, 8);
    EXPECT_EQ(TestRun.reports.limitLog.lineCount, 0);
    EXPECT_FALSE(std::filesystem::exists(reports_.At("limitp.txt")));
    // The alarm type, on a fresh stock: the first step of each non-empty span is in material
    // and an alarm, which ends that span; a decision that records the step (the spindle stands,
    // and SPINDLE CHECK records) lets the move go on.
    RebuildStock();
    ToolTableSet.loadLimits[1] = {kToolLoadSectionAlarm, {0.5f}};
    Checks.pauseOnEvents = 1;
    Checks.spindleCheck = 2;  // record
    TestRun.record.steps = 0;
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    EXPECT_EQ(WindowRun.controls.stepAlarm.load(), 1);
    EXPECT_EQ(WindowRun.controls.kept.simulationState.load(), 4);
    EXPECT_EQ(TestRun.record.steps, 2);
    // A decision that breaks off (nothing recorded) ends the move and the run at the first alarm
    // step.
    RebuildStock();
    Checks.spindleCheck = 0;
    TestRun.record.steps = 0;
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveEndsRun);
    EXPECT_EQ(TestRun.record.steps, 1);
}

// A program with a curve run by the simulation thread (on the test's thread, drawing
// suppressed, so nothing waits): the curve is cut along its spans with the stamp of its last
// line, and an over-travel inside it ends only the curve, not the run.
TEST_F(NurbsSteppingTest, ProgramRunsItsCurveAndGoesOnAfterAnOverTravel) {
    ToolRecord& tool = ToolTableSet.tools[1];
    tool = ToolRecord{};
    tool.present = 1;
    tool.type = kToolFlat;
    tool.d = 2.0f;
    tool.h = 20.0f;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
    const DefinitionFilePaths savedFiles = DefinitionFiles;
    testing::ScratchDirectory dir;
    testing::ScopedLogDirectory log(dir.Path());
    // An order-2 curve: down from (5,5,12) to (5,5,2) in 20 steps of 0.5, then up to (5,10,12)
    // in 23 steps (ceil of 11.18 / 0.5): step j at y = 5 + 5j/23, z = 2 + 10j/23.
    DefinitionFiles.ncProgramFile = dir.Write("curve.nc",
                                              "G90 G17 G00 X5. Y5. Z12.\n"
                                              "G01 F300.\n"
                                              "G06.2 P2 K0. X5. Y5. Z12.\n"
                                              "K0. Z2.\n"
                                              "K1. Y10. Z12.\n"
                                              "K2.\n"
                                              "K2.\n"
                                              "G00 Y5.\n"
                                              "G00 Z20.\n"
                                              "M30\n");
    const auto run = [] {
        WindowRun.mode = RunMode::kRealCutting;
        RunKinematics.pose = MachinePose{};
        RunKinematics.pose.program.axis[2] = 50.0;
        DrawingSuppressed = 1;
        RunTestCut();
        DrawingSuppressed = 0;
    };
    DexelPitch.secondPitch = 0.5;
    run();
    EXPECT_EQ(TestRun.result.end, kRunEndProgram);
    const StockModel& m = StockModels[0];
    EXPECT_EQ(testing::ZRayTop(m, 10, 10), 2.0);  // (5, 5): the bottom of the curve
    // (5, 8): the lowest step within the tool's radius 1 is j = 10 (y = 7.17).
    EXPECT_NEAR(testing::ZRayTop(m, 10, 16), 2.0 + 100.0 / 23.0, 1e-9);
    const DexelRay ray = ReadDexelRay(m.z, 10 * m.nx + 10);
    EXPECT_EQ(ray.stamps.back(), 7) << "the curve's last line";
    // Y may not pass 7.1: step 10 of the second span is posed but not cut, the curve ends there
    // and the rapids after it run.
    RebuildStock();
    CurrentMachine.strokes.enabled[1] = 1;
    CurrentMachine.strokes.min[1] = -100.0;
    CurrentMachine.strokes.max[1] = 7.1;
    run();
    DefinitionFiles = savedFiles;
    EXPECT_EQ(TestRun.result.end, kRunEndProgram);
    EXPECT_EQ(WindowRun.controls.overTravelAxis.load(), -1);
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 10, 10), 2.0);
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 10, 16), 10.0) << "step 10 was not cut";
    EXPECT_EQ(RunKinematics.pose.program.axis[1], 5.0);
    EXPECT_EQ(RunKinematics.pose.program.axis[2], 20.0);
}

}  // namespace
}  // namespace mirexa
