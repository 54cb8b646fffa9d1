// The data check and its machining-time estimate: times worked by hand from the trapezoid and
// triangle profiles, merging and its corners, the statistics and extents, the tool list, what is
// put back after the run, bounded tables, and a seeded property check of the merging. The sums'
// bookkeeping is checked after every run.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/offset_tables.h"
#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"
#include "nc/alarm_report.h"
#include "nc/data_check.h"
#include "nc/machining_time.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"
#include "nc_test_fixture.h"
#include "platform/default_viewer.h"
#include "support/tool_records.h"

namespace mirexa {
namespace {

constexpr double kPi = 3.14159265358979323846;

class DataCheckTest : public testing::NcInterpreterTest {
protected:
    void SetUp() override {
        NcInterpreterTest::SetUp();
        // Every value as written, with or without a decimal point.
        RunSession.controller.decimalPointRule = 3;
        Checks = CheckSettings{};
        DataCheckResult = DataCheckRecord{};
        ResetMachiningTime();
    }
    void TearDown() override {
        Checks = CheckSettings{};
        NcInterpreterTest::TearDown();
    }

    // Feed acceleration (g) of all three axes; rapid rate (mm/min) and acceleration (g).
    static void Accelerate(double feed, double rapidRate = 0.0, double rapid = 0.0) {
        for (int i = 0; i < 3; ++i) {
            Machine.acceleration[i] = static_cast<float>(feed);
            Machine.rapid[i] = static_cast<float>(rapidRate);
            Machine.rapidAcceleration[i] = static_cast<float>(rapid);
        }
    }

    // Writes the program, runs the data check and checks the sums' bookkeeping.
    int Check(const std::string& program, int mode = kDataCheckAll) {
        const int result =
            RunNcDataCheck(RunSession, nullptr, dir.Write("check.nc", program), mode).ran;
        ExpectSumsConsistent();
        return result;
    }

    // Every time goes to exactly one of cutting and rapid, and to exactly one of feed-move and
    // non-cutting time; every timed second belongs to a tool ordinal (no tool change time in
    // these tests); every length to one of each pair; nothing is negative or not finite.
    static void ExpectSumsConsistent() {
        const MachiningTimeSums& s = MachiningTime.sums;
        const double values[] = {s.feedMoveTime,   s.cuttingTime,    s.rapidTime,
                                 s.nonCuttingTime, s.feedMoveLength, s.cuttingLength,
                                 s.rapidLength,    s.rapidMoveLength};
        for (double v : values) {
            EXPECT_TRUE(std::isfinite(v) && v >= 0.0) << v;
        }
        EXPECT_NEAR(s.cuttingTime + s.rapidTime, s.feedMoveTime + s.nonCuttingTime, 1e-9);
        EXPECT_NEAR(s.cuttingLength + s.rapidLength, s.feedMoveLength + s.rapidMoveLength, 1e-9);
        double tools = 0.0;
        for (double t : s.toolTime) {
            tools += t;
        }
        if (Machine.toolChangeTime == 0.0f) {
            EXPECT_NEAR(tools, s.feedMoveTime + s.nonCuttingTime, 1e-9);
        }
        EXPECT_EQ(MachiningTime.pending.length, 0.0);
    }
};

TEST_F(DataCheckTest, ProfilesWorkedByHand) {
    // Trapezoid: 0 (taken as 10) -> 100 -> 0 mm/s at 980 mm/s^2 over 100 mm.
    EXPECT_NEAR(MoveTimeWithAcceleration(100, 0, 100, 0, 0.1), 1.082653061, 1e-6);
    // Triangle: 1 mm is too short to reach 100 mm/s.
    EXPECT_NEAR(MoveTimeWithAcceleration(1, 0, 100, 0, 0.1), 0.046659905, 1e-6);
    // At the standstill speed there is no ramp at all.
    EXPECT_DOUBLE_EQ(MoveTimeWithAcceleration(100, 10, 10, 10, 0.1), 10.0);
    // Without an acceleration the machine changes speed at once; never inf or NaN.
    EXPECT_DOUBLE_EQ(MoveTimeWithAcceleration(100, 0, 100, 0, 0.0), 1.0);
    EXPECT_DOUBLE_EQ(MoveTimeWithAcceleration(100, 0, 100, 0, -1.0), 1.0);
    EXPECT_DOUBLE_EQ(MoveTimeWithAcceleration(100, 0, 100, 0, NAN), 1.0);
    EXPECT_DOUBLE_EQ(MoveTimeWithAcceleration(100, 0, 0, 0, 0.0), 10.0);
    EXPECT_EQ(MoveTimeWithAcceleration(0, 0, 100, 0, 0.1), 0.0);
    EXPECT_EQ(MoveTimeWithAcceleration(NAN, 0, 100, 0, 0.1), 0.0);
}

TEST_F(DataCheckTest, LineAndCircleTimes) {
    Accelerate(0.1);
    // At 600 mm/min the speed is the standstill speed: exactly length / speed.
    ASSERT_EQ(Check("G90 G01 X100 F600\n"), 1);
    EXPECT_NEAR(MachiningTime.sums.feedMoveTime, 10.0, 1e-9);
    EXPECT_NEAR(MachiningTime.sums.cuttingTime, 10.0, 1e-9);
    EXPECT_NEAR(MachiningTime.sums.cuttingLength, 100.0, 1e-9);
    EXPECT_EQ(MachiningTime.sums.rapidTime, 0.0);
    // A full circle of radius 10 at 600 mm/min: 2 pi 10 / 10 s.
    ASSERT_EQ(Check("G90 G17 G00 X10 Y0\nG02 I-10 J0 F600\n"), 1);
    EXPECT_NEAR(MachiningTime.sums.feedMoveTime, 2 * kPi, 1e-6);
    // 6000 mm/min with 0.1 g.
    ASSERT_EQ(Check("G90 G01 X100 F6000\n"), 1);
    EXPECT_NEAR(MachiningTime.sums.feedMoveTime, 1.082653061, 1e-6);
    ASSERT_EQ(Check("G90 G01 X1 F6000\n"), 1);
    EXPECT_NEAR(MachiningTime.sums.feedMoveTime, 0.046659905, 1e-6);
    // A diagonal single line is timed along its dominant axis with the speeds scaled to it:
    // X 100, Y 50 at 6000 mm/min moves X at 6000 * 100 / sqrt(12500) mm/min.
    ASSERT_EQ(Check("G90 G01 X100 Y50 F6000\n"), 1);
    const double vx = 100.0 * 100.0 / std::sqrt(12500.0);
    EXPECT_NEAR(MachiningTime.sums.feedMoveTime, MoveTimeWithAcceleration(100, 0, vx, 0, 0.1),
                1e-8);
    // No acceleration in the machine file: no ramp.
    Accelerate(0.0);
    ASSERT_EQ(Check("G90 G01 X100 F6000\n"), 1);
    EXPECT_DOUBLE_EQ(MachiningTime.sums.feedMoveTime, 1.0);
}

// A NURBS move is timed along its curve, not its chord: a quarter circle of radius 10 (weights
// 1, 1/sqrt 2, 1) at 600 mm/min without ramps takes about (pi 10 / 2) / 10 s; its chord would
// give 1.414 s. The curve is measured by 10 chords per span, a little short of the arc.
TEST_F(DataCheckTest, NurbsMovesAreTimedAlongTheCurve) {
    Accelerate(0.0);
    ASSERT_EQ(Check("G90 G17 G00 X10. Y0\n"
                    "G01 F600.\n"
                    "G06.2 P3 K0. X10. Y0 R1.\n"
                    "K0. X10. Y10. R0.70710678\n"
                    "K0. X0 Y10. R1.\n"
                    "K1.\nK1.\nK1.\n"),
              1);
    EXPECT_NEAR(MachiningTime.sums.feedMoveTime, kPi / 2, 0.003);
    EXPECT_LT(MachiningTime.sums.feedMoveTime, kPi / 2);
}

TEST_F(DataCheckTest, MergingAtCornersAndFeedChanges) {
    Accelerate(0.1);
    Controller.smoothAngle = 30.0f;
    // Two collinear lines at one feed are one move.
    ASSERT_EQ(Check("G90 G01 X50 F6000\nX100\n"), 1);
    EXPECT_NEAR(MachiningTime.sums.feedMoveTime, 1.082653061, 1e-6);
    EXPECT_NEAR(MachiningTime.sums.feedMoveLength, 100.0, 1e-9);
    // A 90 degree corner stops the machine.
    ASSERT_EQ(Check("G90 G01 X100 F6000\nY100\n"), 1);
    EXPECT_NEAR(MachiningTime.sums.feedMoveTime, 2 * 1.082653061, 1e-6);
    // A 20 degree corner is within the smooth angle.
    const double y = 50.0 * std::tan(20.0 * kPi / 180.0);
    char text[128];
    std::snprintf(text, sizeof text, "G90 G01 X50 F6000\nX100 Y%.6f\n", y);
    ASSERT_EQ(Check(text), 1);
    EXPECT_NEAR(MachiningTime.sums.feedMoveTime,
                MoveTimeWithAcceleration(50 + std::hypot(50, y), 0, 100, 0, 0.1), 1e-9);
    // A slower feed on the same line: the first move ends at 3000 mm/min, where the second one
    // starts (worked by hand: 0.554082 + 1.016327 s).
    ASSERT_EQ(Check("G90 G01 X50 F6000\nX100 F3000\n"), 1);
    EXPECT_NEAR(MachiningTime.sums.feedMoveTime, 1.570408163, 1e-6);
}

TEST_F(DataCheckTest, RapidsDwellsAndTheRapidFeedrate) {
    Accelerate(0.1, 10000.0, 0.5);
    // G00 X100 at 10,000 mm/min and 0.5 g: rapid and non-cutting time, no cutting time.
    ASSERT_EQ(Check("G90 G00 X100\n"), 1);
    const MachiningTimeSums& s = MachiningTime.sums;
    EXPECT_NEAR(s.rapidTime, 0.630054422, 1e-6);
    EXPECT_NEAR(s.nonCuttingTime, 0.630054422, 1e-6);
    EXPECT_EQ(s.cuttingTime, 0.0);
    EXPECT_EQ(s.feedMoveTime, 0.0);
    EXPECT_NEAR(s.rapidMoveLength, 100.0, 1e-9);
    // A dwell alone is non-cutting time.
    ASSERT_EQ(Check("G04 X2.5\n"), 1);
    EXPECT_NEAR(s.nonCuttingTime, 2.5, 1e-9);
    EXPECT_NEAR(s.rapidTime, 2.5, 1e-9);
    EXPECT_EQ(s.feedMoveTime, 0.0);
    // A feed equal to RAPID FEEDRATE is rapid, a lower one cutting.
    Checks.rapidFeedrate = 6000.0;
    ASSERT_EQ(Check("G90 G01 X100 F6000\nG01 Y100 F5999\n"), 1);
    EXPECT_NEAR(s.rapidLength, 100.0, 1e-9);
    EXPECT_NEAR(s.cuttingLength, 100.0, 1e-9);
    EXPECT_NEAR(s.rapidTime, 1.082653061, 1e-6);
    EXPECT_NEAR(DataCheckResult.maxFeed, 6000.0, 0.0);
    EXPECT_NEAR(DataCheckResult.maxCuttingFeed, 5999.0, 0.0);
    EXPECT_NEAR(DataCheckResult.minFeed, 5999.0, 0.0);
}

TEST_F(DataCheckTest, OnlyBlocksThatMoveAreTimed) {
    // After a reference return the next block restates the position without moving: no
    // travel back to it is timed, and no extent takes it.
    // The reference point lies 300 mm above the work origin, the tool 150 mm above it after
    // the length offset.
    WorkOffsetTable[1] = {{0, 0, -300, 0, 0}};
    RunSession.controller.referencePointPresent[0] = 1;
    hOffset[1] = 100;
    ASSERT_EQ(Check("G90 G54 G43 H1 G00 Z50\nG91 G28 Z0\nG90\nM30\n"), 1);
    EXPECT_NEAR(MachiningTime.sums.rapidMoveLength, 150.0 + 150.0, 1e-9);
    EXPECT_NEAR(DataCheckResult.program.max[2], 300.0, 1e-9);
}

TEST_F(DataCheckTest, ExtentsOfAnArcCrossingAQuadrant) {
    WorkOffsetTable[1] = {{100, 200, 0, 0, 0}};
    RunSession.controller.currentTool.length = 30.0;
    ASSERT_EQ(Check("G90 G17 G54 G00 X10 Y0 Z5\nG03 X-10 Y0 I-10 J0 F600\n"), 1);
    const DataCheckRecord& r = DataCheckResult;
    // The half circle through (0, 10): Y reaches 10 though both ends lie at 0.
    EXPECT_NEAR(r.program.max[1], 10.0, 1e-9);
    EXPECT_NEAR(r.program.min[1], 0.0, 1e-9);
    EXPECT_NEAR(r.program.min[0], -10.0, 1e-9);
    EXPECT_NEAR(r.program.max[0], 10.0, 1e-9);
    // The tool tip: Z less the tool's length value.
    EXPECT_NEAR(r.program.max[2], 5.0 - 30.0, 1e-9);
    EXPECT_NEAR(r.machine.max[0], 110.0, 1e-9);
    EXPECT_NEAR(r.machine.max[1], 210.0, 1e-9);
    // Min-Max refreshes the extents and leaves the times of the Check Data alone.
    const MachiningTimeSums before = MachiningTime.sums;
    ASSERT_GT(before.feedMoveTime, 0.0);
    ASSERT_EQ(Check("G90 G54 G00 X-50 Y-60 Z5\nG01 X300 F100\n", kDataCheckMinMax), 1);
    EXPECT_EQ(MachiningTime.sums.feedMoveTime, before.feedMoveTime);
    EXPECT_EQ(MachiningTime.sums.rapidTime, before.rapidTime);
    EXPECT_NEAR(r.program.min[0], -50.0, 1e-9);
    EXPECT_NEAR(r.program.max[0], 300.0, 1e-9);
    EXPECT_NEAR(r.program.max[1], -60.0, 1e-9);
}

TEST_F(DataCheckTest, PositionOriginAndErrorAfterTheRun) {
    WorkOffsetTable[1] = {{5, 6, 7, 0, 0}};
    WorkOffsetTable[2] = {{50, 0, 0, 0, 0}};
    ResetInterpreterState(RunSession);
    RunKinematics.pose.program = {{1, 2, 3, 0, 0}};
    const MotionPosition origin = RunKinematics.workOrigin;
    ASSERT_EQ(Check("G90 G55 G00 X40 Y40\nG10 L2 P1 X9\nG01 Z-5 F100\n"), 1);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(RunKinematics.pose.program.axis[i], (i < 3 ? i + 1.0 : 0.0)) << i;
        EXPECT_EQ(RunKinematics.workOrigin.axis[i], origin.axis[i]) << i;
    }
    EXPECT_EQ(WorkOffsetTable[1].axis[0], 5.0);
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 1);
    EXPECT_EQ(RunSession.run.dataCheckActive, 0);
    // A start character that never comes: error 3 and no moves.
    RunSession.controller.endOfRecord = '%';
    EXPECT_EQ(Check("G01 X10 F100\n"), 0);
    EXPECT_EQ(DataCheckResult.error, kNcErrorNoStart);
    EXPECT_EQ(RunSession.run.status.error, kNcErrorNoStart);
    EXPECT_EQ(MachiningTime.sums.feedMoveLength, 0.0);
    RunSession.controller.endOfRecord = ' ';
    // A program that does not open is refused the same way; an unknown mode does nothing.
    EXPECT_EQ(RunNcDataCheck(RunSession, nullptr, dir.At("missing.nc"), kDataCheckAll).ran, 0);
    EXPECT_EQ(DataCheckResult.error, kNcErrorNoStart);
    EXPECT_EQ(RunNcDataCheck(RunSession, nullptr, dir.At("missing.nc"), 7).ran, 0);
}

// The check interprets in a session of its own, started from the session bound where it runs:
// that session keeps its position, work origin, offsets and current tool whatever the program
// does (tool changes, G92, G10, G55), and the run's session is not touched at all. The outcome
// gives the check's error with its line and column, and the extents DataCheckResult holds.
TEST_F(DataCheckTest, TheCallersSessionKeepsItsRecords) {
    ASSERT_EQ(AllocToolTables(4), 1);
    testing::PutTestTool(1, kToolFlat, 6.0f);
    testing::PutTestTool(2, kToolBall, 4.0f);
    RunSession.controller.magazineCount = 4;
    RunSession.controller.atcType = 1;
    WorkOffsetTable[1] = {{5, 6, 7, 0, 0}};
    WorkOffsetTable[2] = {{50, 0, 0, 0, 0}};
    const MachinePose runPose = RunKinematics.pose;
    RunSession.location.mainLine = 41;  // where the run's warning entries point
    RunSession.location.blockText = "G01 B30.\n";

    auto caller = std::make_unique<NcSession>();
    CopyNcSessionState(caller.get(), RunSession);
    ResetInterpreterState(*caller);
    SelectCurrentTool(*caller, *caller->kinematics, *caller->tools, 1, 0.5);
    caller->kinematics->pose.program = {{1, 2, 3, 0, 0}};
    const MotionPosition origin = caller->kinematics->workOrigin;
    const double gauge = caller->kinematics->toolValues.gaugeLength;

    struct Case {
        const char* program;
        int error;
        int line;
        int column;
        double maxX;  // program extent (mm), when the check ran to its end
    };
    const Case cases[] = {
        {"T2 M06\nG90 G55 G01 X30 F100\n", 0, 0, 0, 30.0},
        {"G90 G92 X50 Y50\nG10 L2 P1 X9\nG01 X70 F100\n", 0, 0, 0, 70.0},
        {"G90 G01 X10 F100\nT2 M06\nG01 X1..5\n", kNcErrorDecimalPoints, 3, 8, 0.0},
        {"G90 G01 X10 F0\n", kNcErrorFeedZero, 1, 0, 0.0},
    };
    caller->controller.checkF0 = 1;
    caller->controller.codeCheck = 1;  // two decimal points in a value stop the check
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        const DataCheckOutcome outcome =
            RunNcDataCheck(*caller, nullptr, dir.Write("check.nc", c.program), kDataCheckAll);
        EXPECT_EQ(outcome.ran, c.error == 0 ? 1 : 0);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(DataCheckResult.error, c.error);
        EXPECT_EQ(caller->run.status.error, c.error);
        if (c.error != 0) {
            EXPECT_EQ(outcome.errorLine, c.line);
            EXPECT_EQ(outcome.errorColumn, c.column);
        } else {
            EXPECT_EQ(outcome.errorColumn, 0);
            EXPECT_NEAR(outcome.program.max[0], c.maxX, 1e-9);
        }
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(outcome.program.max[i], DataCheckResult.program.max[i]);
            EXPECT_EQ(outcome.toolPointWork.min[i], DataCheckResult.toolPointWork.min[i]);
        }
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(caller->kinematics->pose.program.axis[i], (i < 3 ? i + 1.0 : 0.0)) << i;
            EXPECT_EQ(caller->kinematics->workOrigin.axis[i], origin.axis[i]) << i;
        }
        EXPECT_EQ(caller->run.modal.workOffsetIndex, 1);
        EXPECT_EQ(caller->run.dataCheckActive, 0);
        EXPECT_EQ(WorkOffsetTable[1].axis[0], 5.0);
        EXPECT_EQ(caller->tools->tool.derivedFrom, 1);
        EXPECT_EQ(caller->kinematics->toolValues.gaugeLength, gauge);
        EXPECT_EQ(RunSession.run.status.error, 0);
        EXPECT_EQ(RunSession.kinematics->pose.program.axis[0], runPose.program.axis[0]);
        EXPECT_EQ(RunSession.location.mainLine, 41);
        EXPECT_EQ(RunSession.location.blockText, "G01 B30.\n");
        EXPECT_EQ(caller->location.mainLine, 0);  // the check noted its lines in its own session
    }
    RunSession.location = {};
    FreeToolTables();
}

TEST_F(DataCheckTest, ToolOrderWithWait2AndUsedNumbers) {
    RunSession.controller.atcType = 3;
    // T1 is prepared; each M06 with a T word mounts the prepared tool and prepares the next.
    ASSERT_EQ(Check("T1\nM06 T2\nG01 X10 F600 D3 H2\nM06 T3\nG43 H4 G01 X20\n"), 1);
    const DataCheckRecord& r = DataCheckResult;
    EXPECT_EQ(r.toolCount, 2);
    EXPECT_EQ(r.toolList[1], 1);
    EXPECT_EQ(r.toolList[2], 2);
    EXPECT_NEAR(MachiningTime.sums.toolTime[1], 1.0, 1e-9);
    EXPECT_NEAR(MachiningTime.sums.toolTime[2], 1.0, 1e-9);
    EXPECT_EQ(r.dUsed[3], 1);
    EXPECT_EQ(r.hUsed[2], 1);
    EXPECT_EQ(r.hUsed[4], 1);
    EXPECT_EQ(r.tUsed[1] + r.tUsed[2] + r.tUsed[3], 3);
    EXPECT_EQ(UsedCodes.recording, 0);
    EXPECT_EQ(UsedCodes.g[43], 1);
    EXPECT_EQ(UsedCodes.m[6], 1);
}

TEST_F(DataCheckTest, MoreToolsThanTheListHoldsAreBounded) {
    RunSession.controller.magazineCount = 20;
    RunSession.controller.atcType = 1;
    std::string program = "G90\n";
    for (int i = 1; i <= 250; ++i) {
        program +=
            "T" + std::to_string(i % 20 + 1) + " M06\nG01 X" + std::to_string(i % 2) + " F600\n";
    }
    // A T beyond the magazine is refused by the interpreter and flags nothing.
    program += "T999 M06\nG01 X5\n";
    ASSERT_EQ(Check(program), 1);
    const DataCheckRecord& r = DataCheckResult;
    EXPECT_EQ(r.toolCount, kTimedToolOrdinalsMax);
    EXPECT_EQ(r.toolListFull, 1);
    EXPECT_EQ(r.tUsed.size(), 21u);
    // Every tool's second is still counted (the sum check of Check), the last ones together.
    EXPECT_NEAR(MachiningTime.sums.toolTime[kTimedToolOrdinalsMax], 51 * 0.1 + 0.5, 1e-9);
}

// Property: a line along X cut into random collinear pieces at one feed takes the time of the
// whole line; pieces joined at right angles take the sum of their times alone.
TEST_F(DataCheckTest, SplitLinesTakeTheTimeOfTheWhole) {
    const unsigned seed = 20261207;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> length(0.01, 200.0), accel(0.02, 1.0);
    std::uniform_int_distribution<int> pieces(1, 6), feed(100, 20000);
    Controller.smoothAngle = 1.0f;
    for (int round = 0; round < 40; ++round) {
        Accelerate(accel(rng));
        const double total = length(rng);
        const int n = pieces(rng);
        const int f = feed(rng);
        char line[128];
        std::string split = "G90\n";
        for (int k = 1; k <= n; ++k) {
            std::snprintf(line, sizeof line, "G01 X%.3f F%d\n", total * k / n, f);
            split += line;
        }
        std::snprintf(line, sizeof line, "G90 G01 X%.3f F%d\n", total * n / n, f);
        ASSERT_EQ(Check(line), 1);
        const double whole = MachiningTime.sums.feedMoveTime;
        ASSERT_EQ(Check(split), 1);
        EXPECT_NEAR(MachiningTime.sums.feedMoveTime, whole, 1e-9) << "round " << round;

        // A staircase: each leg alone, then all together.
        const double a = length(rng), b = length(rng);
        std::snprintf(line, sizeof line, "G90 G01 X%.3f F%d\n", a, f);
        ASSERT_EQ(Check(line), 1);
        const double legA = MachiningTime.sums.feedMoveTime;
        std::snprintf(line, sizeof line, "G90 G01 Y%.3f F%d\n", b, f);
        ASSERT_EQ(Check(line), 1);
        const double legB = MachiningTime.sums.feedMoveTime;
        std::snprintf(line, sizeof line, "G90 G01 X%.3f F%d\nY%.3f\n", a, f, b);
        ASSERT_EQ(Check(line), 1);
        EXPECT_NEAR(MachiningTime.sums.feedMoveTime, legA + legB, 1e-9) << "round " << round;
    }
}

TEST_F(DataCheckTest, TheAlarmReportIsShownOnlyWhenThisRunWroteIt) {
    AlarmReport.path = dir.At("alarm.txt");
    RunSession.controller.radiusCheckListMode = 2;  // OPEN
    TakeRecordedViewerOpens();
    ASSERT_EQ(WriteRadiusOffsetAlarm(1, 5.0, 4, "Y-7.\n"), 1);
    CloseAlarmFile(RunSession);
    EXPECT_EQ(TakeRecordedViewerOpens(), std::vector<std::string>{AlarmReport.path});
    // The file of that run stays; a later run that writes nothing does not show it again.
    RunSession.run.compensation.radiusOffsetEvent = 1;
    CloseAlarmFile(RunSession);
    EXPECT_TRUE(TakeRecordedViewerOpens().empty());
    EXPECT_EQ(RunSession.run.compensation.radiusOffsetEvent, 0);
    // LIST writes without showing.
    RunSession.controller.radiusCheckListMode = 1;
    ASSERT_EQ(WriteRadiusOffsetAlarm(1, 5.0, 4, "Y-7.\n"), 1);
    CloseAlarmFile(RunSession);
    EXPECT_TRUE(TakeRecordedViewerOpens().empty());
    AlarmReport = {};
}

}  // namespace
}  // namespace mirexa
