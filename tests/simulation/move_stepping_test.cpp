// Stepping of single moves: step counts of lines, rotary moves and arcs, the exact last
// position, the redraw cadence seen by a scripted host, skipped moves, over-travel, the end
// marks, the tool-load limit and the report lines.
#include "simulation/move_stepping.h"
#include "support/test_cutting_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "cutting_test_support.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "run_report_support.h"
#include "services/file_paths.h"
#include "services/shared_state.h"
#include "simulation/cutting_core.h"
#include "simulation/interference_flags.h"
#include "simulation/run_control.h"
#include "simulation/simulation_hooks.h"
#include "simulation/tool_length_report.h"
#include "stock/stock_grid.h"
#include "support/saved_globals.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

// A host thread that serves every redraw and notes the run's step count at each.
class RedrawHost {
public:
    RedrawHost() : thread_([this] { Serve(); }) {}
    ~RedrawHost() {
        Stop();
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    std::vector<std::int64_t> stepsAtRedraw;
    std::vector<int> requests;  // RedrawRequest's value at each

private:
    void Serve() {
        while (!stop_) {
            if (const int request = WindowRun.controls.redrawRequest.load(); request != 0) {
                stepsAtRedraw.push_back(TestRun.record.steps);
                requests.push_back(request);
                WindowRun.controls.redrawRequest = 0;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class MoveSteppingTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_.Keep(CurrentMachine, RunKinematics.pose, RunKinematics.modes, Settings,
                    SimulationCallbacks, DexelPitch, KinematicsController, Checks,
                    FileLocations.currentDirectory);
        // The run's reports are written in a scratch working directory.
        FileLocations.currentDirectory = reports_.Path();
        GiveRunRequest(TestRun, WindowRunRequest());
        testing::WatchRunDrawing();
        RunKinematics.pose = MachinePose{};
        // The report lines name the rotary axes by the controller's letters: the default ones,
        // whatever controller file an earlier test read.
        KinematicsController = KinematicsControllerSettings{};
        DexelPitch.secondPitch = 1.0;
        ResetSimulationRunRecord(TestStepContext());
        CurrentStockIndex = 0;
        ASSERT_EQ(AllocToolTables(3), 1);
    }
    void TearDown() override {
        testing::CloseRunReportFiles(TestRun.reports);
        FreeStockModel(&StockModels[0]);
        StockModels[0] = StockModel{};
        saved_.Restore();
        WindowRun.mode = RunMode::kIdle;
        FreeToolTables();
        RunTools.tool = CurrentToolRecord{};
        DrawingSuppressed = 0;
    }
    // A line or rapid from a to b (X, Y, Z).
    void SetLine(int type, const double a[3], const double b[3], double feed = 600.0) {
        RunKinematics.motion = MotionRecord{};
        RunKinematics.motion.motionType = type;
        block_.from = block_.to = MotionPosition{};
        for (int k = 0; k < 3; ++k) {
            block_.from.axis[k] = a[k];
            block_.to.axis[k] = b[k];
        }
        RunKinematics.motion.feed = feed;
    }
    // The text of a report the run wrote in the working directory, its files closed first.
    std::string Report(const char* name) {
        testing::CloseRunReportFiles(TestRun.reports);
        return testing::ReadWholeFile(reports_.At(name));
    }
    testing::ScopedCuttingState cutting_;
    testing::SavedGlobals saved_;
    testing::ScratchDirectory reports_;
    StepBlockInfo block_;
};

TEST_F(MoveSteppingTest, ShortMoveTakesOneStepToItsExactEnd) {
    const double a[3] = {1.0, 2.0, 3.0}, b[3] = {1.3, 2.1, 2.95};
    SetLine(1, a, b);
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    EXPECT_EQ(TestRun.record.steps, 1);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(RunKinematics.pose.program.axis[k], b[k]);
    }
    EXPECT_DOUBLE_EQ(TestRun.record.actualStep, std::sqrt(0.09 + 0.01 + 0.0025));
    // A long line: ceil(L / step) steps, equal in length, the last exactly at the end.
    const double c[3] = {1.3 + 10.5, 2.1, 2.95};
    SetLine(1, b, c);
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    EXPECT_EQ(TestRun.record.steps, 1 + 11);
    EXPECT_DOUBLE_EQ(TestRun.record.actualStep, 10.5 / 11.0);
    EXPECT_EQ(RunKinematics.pose.program.axis[0], c[0]);
}

// A second session stepped through a context of its own (as the tool path steps while a run
// waits) moves only its own pose and its own step record: the run session's pose and
// TestRun.record stay as they were, bit for bit.
TEST_F(MoveSteppingTest, SecondSessionContextLeavesTheRunsRecordsUntouched) {
    RunKinematics.pose.program.axis[0] = 3.0;
    RunKinematics.pose.program.axis[2] = 40.0;
    UpdateMachinePosition(RunKinematics);
    TestRun.record.steps = 7;
    TestRun.record.actualStep = 0.25;
    TestRun.record.rotaryRadii[0][0] = TestRun.record.rotaryRadii[1][0] = 42.0;
    const MachinePose runPose = RunKinematics.pose;
    const SimulationRunRecord runRecord = TestRun.record;
    TestRun.cutting.measured.lineDue = 0;

    auto drawing = std::make_unique<NcSession>();
    CopyNcSessionState(drawing.get(), RunSession);
    SimulationRunRecord record;
    CuttingState cutting;
    RunControls controls;
    MoveStepContext context{drawing.get(), &record, nullptr, &cutting};
    context.controls = &controls;
    ResetSimulationRunRecord(context);
    const double a[3] = {3.0, 0.0, 40.0}, b[3] = {3.0, 10.0, 40.0};
    SetLine(1, a, b);
    MoveInterpolation plan;
    ASSERT_EQ(PlanMoveInterpolation(context, block_, &plan), 10);
    for (std::int64_t i = 1; i <= plan.steps; ++i) {
        PoseMoveStep(context, block_, plan, i);
    }
    EndMoveInterpolation(context);
    EXPECT_EQ(StepCurrentMove(context, block_), kMoveStepped);
    EXPECT_EQ(drawing->kinematics->pose.program.axis[1], 10.0);
    EXPECT_EQ(record.steps, 10);
    EXPECT_DOUBLE_EQ(record.actualStep, 1.0);
    EXPECT_EQ(cutting.measured.lineDue, 1) << "the drawing's own cutting state stepped";

    EXPECT_EQ(std::memcmp(&RunKinematics.pose, &runPose, sizeof runPose), 0);
    EXPECT_EQ(TestRun.cutting.measured.lineDue, 0);
    EXPECT_EQ(TestRun.record.steps, runRecord.steps);
    EXPECT_EQ(TestRun.record.actualStep, runRecord.actualStep);
    EXPECT_EQ(TestRun.record.stepLength, runRecord.stepLength);
    EXPECT_EQ(TestRun.record.removedVolume, runRecord.removedVolume);
    EXPECT_EQ(TestRun.record.rapidCheckActive, runRecord.rapidCheckActive);
    EXPECT_EQ(std::memcmp(TestRun.record.rotaryRadii, runRecord.rotaryRadii,
                          sizeof runRecord.rotaryRadii),
              0);
}

TEST_F(MoveSteppingTest, RotaryTravelCountsAsArcLengthAtTheMeanRadius) {
    // A table turning about X, the position 100 from its axis: 90 deg is 157.08 mm, 158 steps.
    CurrentMachine.rotaryType = 2;
    RunKinematics.pose.program.axis[1] = 100.0;
    UpdateMachinePosition(RunKinematics);
    ResetSimulationRunRecord(TestStepContext());
    EXPECT_DOUBLE_EQ(TestRun.record.rotaryRadii[0][0], 100.0)
        << "the start radius of the run's start";
    const double a[3] = {0.0, 100.0, 0.0};
    SetLine(1, a, a);
    block_.to.axis[3] = 90.0;
    double length = 0.0;
    EXPECT_EQ(CountMoveSteps(TestStepContext(), block_, &length), 158);
    EXPECT_NEAR(length, 90.0 * M_PI * 200.0 / 360.0, 1e-9);
}

TEST_F(MoveSteppingTest, ArcsStepTheirAngleAndTheirHelixHeight) {
    // A quarter circle of radius 10 about the origin in XY, counter-clockwise, rising 3 mm.
    const double a[3] = {10.0, 0.0, 0.0}, b[3] = {0.0, 10.0, 3.0};
    SetLine(3, a, b);
    RunKinematics.motion.sweep = M_PI / 2.0;
    DexelPitch.secondPitch = 0.5;
    ResetSimulationRunRecord(TestStepContext());
    double length = 0.0;
    const double s = 10.0 * M_PI / 2.0;
    EXPECT_EQ(CountMoveSteps(TestStepContext(), block_, &length),
              static_cast<std::int64_t>(std::ceil(std::sqrt(s * s + 9.0) / 0.5)));
    EXPECT_DOUBLE_EQ(length, std::sqrt(s * s + 9.0));
    // Every step point lies on the helix; the last is the arc's end.
    {
        const StepWatch watch([] {
            const double* p = RunKinematics.pose.program.axis;
            EXPECT_NEAR(std::hypot(p[0], p[1]), 10.0, 1e-9);
            EXPECT_NEAR(p[2], 3.0 * std::atan2(p[1], p[0]) / (M_PI / 2.0), 1e-9);
        });
        EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    }
    EXPECT_EQ(RunKinematics.pose.program.axis[0], 0.0);
    EXPECT_EQ(RunKinematics.pose.program.axis[1], 10.0);
    // Clockwise, the same ends: the other way round (three quarters, through -y).
    static double lowestY;
    lowestY = 0.0;
    RunKinematics.motion.motionType = 2;
    RunKinematics.motion.sweep = 3.0 * M_PI / 2.0;
    {
        const StepWatch watch(
            [] { lowestY = std::min(lowestY, RunKinematics.pose.program.axis[1]); });
        EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    }
    EXPECT_NEAR(lowestY, -10.0, 0.01);
    // In the ZX plane (G18: from Z towards X) a counter-clockwise quarter from +Z reaches +X.
    const double c[3] = {0.0, 0.0, 10.0}, d[3] = {10.0, 0.0, 0.0};
    SetLine(3, c, d);
    RunKinematics.motion.sweep = M_PI / 2.0;
    RunKinematics.motion.arcAxis[0] = RunKinematics.motion.arcAxis[2] = 0.0;
    RunKinematics.motion.arcAxis[1] = 1.0;
    block_.arcPlane[0] = 2;
    block_.arcPlane[1] = 0;
    const StepWatch watch([] {
        const double* p = RunKinematics.pose.program.axis;
        EXPECT_NEAR(std::hypot(p[0], p[2]), 10.0, 1e-9);
        EXPECT_GE(p[0], -1e-9);
        EXPECT_GE(p[2], -1e-9);
    });
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
}

TEST_F(MoveSteppingTest, RedrawsFollowSkipView) {
    WindowRun.mode = RunMode::kRealCutting;
    Settings.skipView = 10;
    ResetSimulationRunRecord(TestStepContext());
    const double a[3] = {0, 0, 0}, b[3] = {25.0, 0, 0};
    // Each request wakes the user-interface side; only the move's last step must be drawn.
    static int raised = 0;
    raised = 0;
    WindowRun.controls.kept.redrawRaised = [] { ++raised; };
    {
        RedrawHost host;
        SetLine(1, a, b);
        EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
        host.Stop();
        EXPECT_EQ(host.stepsAtRedraw, (std::vector<std::int64_t>{10, 20, 25}));
        EXPECT_EQ(host.requests, (std::vector<int>{kRedrawFrameMayCoalesce, kRedrawFrameMayCoalesce,
                                                   kRedrawFrame}));
        EXPECT_EQ(raised, 3);
    }
    WindowRun.controls.kept.redrawRaised = nullptr;
    // A SKIP VIEW below 1 counts as 1: a redraw at every step, never a division by zero.
    Settings.skipView = 0;
    ResetSimulationRunRecord(TestStepContext());
    {
        RedrawHost host;
        const double c[3] = {3.0, 0, 0};
        SetLine(1, a, c);
        EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
        host.Stop();
        EXPECT_EQ(host.stepsAtRedraw, (std::vector<std::int64_t>{1, 2, 3}));
    }
    // Skip runs draw nothing per step, nor does a run with drawing suppressed.
    WindowRun.mode = RunMode::kSkipCutting;
    SetLine(1, a, b);
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    WindowRun.mode = RunMode::kRealCutting;
    DrawingSuppressed = 1;
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    EXPECT_EQ(WindowRun.controls.redrawRequest.load(), 0);
}

TEST_F(MoveSteppingTest, SkippedMovesLeaveStateAndStock) {
    const double box[6] = {0, 0, 0, 20, 20, 10};
    testing::BuildBoxStock(&StockModels[0], box, 0.5);
    TestRun.cutting.cutter = testing::FlatTool(4.0);
    WindowRun.controls.kept.simulationState = 7;
    // IGNORE G00: a rapid into the material is neither cut nor stepped.
    Checks.ignoreG00 = 1;
    const double a[3] = {5.1, 5.1, 20.0}, b[3] = {5.1, 5.1, 6.0};
    SetLine(0, a, b);
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveSkipped);
    EXPECT_EQ(WindowRun.controls.kept.simulationState.load(), 7);
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 10, 10), 10.0);
    Checks.ignoreG00 = 0;
    // A move without travel is not stepped, unless the block keeps short moves.
    SetLine(1, b, b);
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveSkipped);
    EXPECT_EQ(TestRun.record.steps, 0);
    block_.keepShortMoves = 1;
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    EXPECT_EQ(TestRun.record.steps, 1);
    EXPECT_EQ(WindowRun.controls.kept.simulationState.load(), 1)
        << "the zero-length step put the tool into material";
}

TEST_F(MoveSteppingTest, OverTravelStopsBeforeTheStepCuts) {
    const double box[6] = {0, 0, 0, 20, 20, 10};
    testing::BuildBoxStock(&StockModels[0], box, 0.5);
    TestRun.cutting.cutter = testing::FlatTool(1.0);
    CurrentMachine.strokes.enabled[0] = 1;
    CurrentMachine.strokes.min[0] = -100.0;
    CurrentMachine.strokes.max[0] = 12.5;
    TestRun.reports.motionSnapshot = MotionStateSnapshot{};
    // Ten steps of 1 mm from x = 10: step 3 (x = 13) is out of the stroke.
    const double a[3] = {10.0, 5.1, 8.0}, b[3] = {20.0, 5.1, 8.0};
    SetLine(1, a, b);
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveEndsRun);
    EXPECT_EQ(TestRun.record.steps, 2);
    EXPECT_EQ(WindowRun.controls.overTravelAxis.load(), 0);
    EXPECT_EQ(WindowRun.controls.stepAlarm.load(), 1);
    EXPECT_EQ(TestRun.reports.motionSnapshot.program.axis[0], 13.0) << "the alarm position is kept";
    EXPECT_EQ(RunKinematics.pose.program.axis[0], 13.0) << "step 3 is posed";
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 24, 10), 8.0) << "x = 12 was cut";
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 26, 10), 10.0) << "x = 13 was not";
}

TEST_F(MoveSteppingTest, NewEndsTakePenRapidBitAndLineStamp) {
    const double box[6] = {0, 0, 0, 20, 20, 10};
    testing::BuildBoxStock(&StockModels[0], box, 0.5);
    TestRun.cutting.cutter = testing::FlatTool(2.0);
    TestRun.cutting.cutter.penBits = 6 << 4;
    block_.lineStamp = -17;  // a look-ahead replay of line 17
    const double a[3] = {5.0, 5.0, 12.0}, b[3] = {5.0, 5.0, 8.0};
    SetLine(0, a, b);
    Checks.interference = 0;
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    const DexelRay ray = ReadDexelRay(StockModels[0].z, 10 * StockModels[0].nx + 10);
    ASSERT_EQ(ray.ends.size(), 2u);
    EXPECT_EQ(ray.ends[1], 8.0);
    EXPECT_EQ(ray.flags[1], (6 << 4) | 1);
    EXPECT_EQ(ray.stamps[1], -17);
    EXPECT_EQ(WindowRun.controls.kept.simulationState.load(), 1);
    // With the rapid check recording, the same plunge is an alarm step: the step goes to the
    // report's second form (its file is there) with its line, and the move goes on.
    reports_.Write("interference2.txt", "");
    Checks.interference = 2;  // record
    Checks.pauseOnEvents = 1;
    const double c[3] = {9.0, 5.0, 12.0}, d[3] = {9.0, 5.0, 8.0};
    SetLine(0, c, d);
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    EXPECT_EQ(WindowRun.controls.kept.simulationState.load(), 4);
    // Step 2 puts the tip on the top face, which it only touches; step 3 is in the stock.
    const std::string report = Report("interference2.txt");
    EXPECT_EQ(report.find("2/4:"), std::string::npos) << report;
    EXPECT_NE(report.find("3/4:X9.000000Y5.000000Z9.000000A0.000000C0.000000\n"), std::string::npos)
        << report;
    // With the rapid check stopping, the plunge ends the move and the run at its first alarm
    // step.
    Checks.interference = 1;
    const double e[3] = {13.0, 5.0, 12.0}, f[3] = {13.0, 5.0, 8.0};
    SetLine(0, e, f);
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveEndsRun);
    EXPECT_EQ(WindowRun.controls.kept.simulationState.load(), 4);
}

TEST_F(MoveSteppingTest, ToolLoadLimitAlarmsAndLogs) {
    const double box[6] = {0, 0, 0, 40, 20, 10};
    testing::BuildBoxStock(&StockModels[0], box, 0.5);
    TestRun.cutting.cutter = testing::FlatTool(4.0);
    RunTools.tool.derivedFrom = 1;
    // Slotting 2 deep with D 4: a cross-section of about 8 mm^2 once in full cut.
    ToolTableSet.loadLimits[1] = {kToolLoadSectionLog, {7.0f}};
    block_.mainLine = 120;
    const double a[3] = {2.3, 10.1, 8.0}, b[3] = {12.3, 10.1, 8.0};
    SetLine(1, a, b);
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    const std::string log = Report("limitp.txt");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.rfind("120:X", 0), 0u) << log;
    EXPECT_EQ(log.substr(log.find('\n') - 3, 4), "(A)\n") << log;
    EXPECT_EQ(WindowRun.controls.stepAlarm.load(), 0);
    // Inside a subprogram a type-11 line starts with the subprogram's name and counter; a
    // type-12 line keeps the main line number.
    block_.inSubprogram = 1;
    std::strcpy(block_.subprogramName, "O1234");
    block_.subprogramLine = 7;
    char line[256];
    FormatLimitLogLine(TestStepContext(), block_, kToolLoadSectionLog, 8.5, line, sizeof line);
    EXPECT_STREQ(line, "O1234:7:X12.300000Y10.100000Z8.000000A0.000000C0.000000:8.500000(A)\n");
    FormatLimitLogLine(TestStepContext(), block_, kToolLoadRemovalLog, 8.5, line, sizeof line);
    EXPECT_EQ(std::string(line).rfind("120:X", 0), 0u);
    // Alarm type: the step raises the alarm.
    ToolTableSet.loadLimits[1] = {kToolLoadSectionAlarm, {7.0f}};
    const double c[3] = {12.3, 10.1, 8.0}, d[3] = {14.3, 10.1, 8.0};
    SetLine(1, c, d);
    StepCurrentMove(TestStepContext(), block_);
    EXPECT_EQ(WindowRun.controls.stepAlarm.load(), 1);
    EXPECT_EQ(WindowRun.controls.kept.simulationState.load(), 4);
    // A zero-length step into fresh material has no cross-section: no alarm, no infinity.
    const double e[3] = {30.3, 10.1, 8.0};
    SetLine(1, e, e);
    block_.keepShortMoves = 1;
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    EXPECT_EQ(TestRun.record.actualStep, 0.0);
    EXPECT_EQ(WindowRun.controls.stepAlarm.load(), 0);
    EXPECT_EQ(WindowRun.controls.kept.simulationState.load(), 1);
}

// A lathe table turning about X: each step cuts a whole revolution, so a tool standing 8 above
// the axis leaves a round bar of radius 8 under it.
TEST_F(MoveSteppingTest, TurningStepsCutAWholeRevolution) {
    const double box[6] = {0, -10, -10, 20, 10, 10};
    testing::BuildBoxStock(&StockModels[0], box, 0.5);
    TestRun.cutting.cutter = testing::FlatTool(4.0);
    CurrentMachine.rotaryType = 2;
    const MachineDefinition savedMachine = Machine;
    Machine.tableType[0] = 4;
    const double a[3] = {10.0, 0.0, 8.0};
    SetLine(1, a, a);
    block_.keepShortMoves = 1;
    EXPECT_EQ(StepCurrentMove(TestStepContext(), block_), kMoveStepped);
    Machine = savedMachine;
    EXPECT_EQ(TestRun.record.spinningAxis, 3);
    EXPECT_GT(TestRun.record.removedVolume, 0.0);
    // Along y through the axis at x = 10 the bar reaches +-8 (to the lattice of the turn).
    const StockModel& m = StockModels[0];
    const DexelRay ray = ReadDexelRay(m.y, std::int64_t{20} * m.nz + 20);  // x = 10, z = 0
    ASSERT_EQ(ray.ends.size(), 2u);
    EXPECT_NEAR(ray.ends[0], -8.0, 0.05);
    EXPECT_NEAR(ray.ends[1], 8.0, 0.05);
    EXPECT_TRUE(StockInvariantsHold(m, true));
}

}  // namespace
}  // namespace mirexa
