// Step driver: whole programs traced move by move (arcs in the three planes, start and stop
// characters, subprograms, reference returns, mirror and rotation), the queues' drain order and
// the end of the program.
#include "nc/step_driver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "geometry/machine_kinematics.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc_test_fixture.h"

namespace mirexa {
namespace {

using StepDriverTest = testing::NcInterpreterTest;
constexpr double kPi = M_PI;

TEST_F(StepDriverTest, ArcsByRadiusAndOffsetsInEachPlane) {
    const std::string trace = Trace(
        "G90 G17 G00 X0 Y0 Z0\n"
        "G01 F100.\n"
        "G02 X10. Y10. R10.\n"
        "G03 X20. Y0 R-10.\n"
        "G03 X20. Y0 I-5. J0\n"
        "G18 G02 X10. Z10. R10.\n"
        "G19 G03 Y0 Z0 J0 K-5.\n"
        "G17 G02 X10. Y0 R5.\n");
    EXPECT_EQ(trace, Move(1, 0, 0, 0, 0, 0) +                               //
                         Arc(3, 2, 10, 10, 0, 10, 0, 0, kPi / 2, 100) +     //
                         Arc(4, 3, 20, 0, 0, 10, 0, 0, 3 * kPi / 2, 100) +  //
                         Arc(5, 3, 20, 0, 0, 15, 0, 0, 2 * kPi, 100) +      //
                         Arc(6, 2, 10, 0, 10, 10, 0, 0, kPi / 2, 100) +     //
                         Arc(7, 3, 10, 0, 0, 10, 0, 5, kPi, 100) +          //
                         Arc(8, 2, 10, 0, 0, 10, 0, 0, 0, 100) +            //
                         "END state 2 error 0\n");
}

TEST_F(StepDriverTest, ArcRadiusAndFeedErrorsStopTheRun) {
    RunSession.controller.arcRadiusTolerance = 0.001;
    EXPECT_EQ(Trace("G90 G02 X10. Y0 I4. F100.\nG01 X0\n"), "END state 0 error 1\n");
    ClearAll();
    RunSession.controller.checkF0 = 1;
    EXPECT_EQ(Trace("G90 G01 X0 F0\nX5.\n"), Move(1, 1, 0, 0, 0, 0) + "END state 0 error 2\n");
    ClearAll();
    // An R smaller than half the chord cannot reach its end.
    RunSession.controller.arcRadiusTolerance = 0.001;
    EXPECT_EQ(Trace("G90 G02 X10. Y0 R4. F100.\n"), "END state 0 error 1\n");
    ClearAll();
    // A zero radius has no direction, even with the radius check off.
    EXPECT_EQ(Trace("G90 G02 X10. Y0 I0 J0 F100.\n"), "END state 0 error 1\n");
}

TEST_F(StepDriverTest, StartAndStopCharacter) {
    RunSession.controller.endOfRecord = '%';
    ResetInterpreterState(RunSession);
    EXPECT_EQ(Trace("G00 X5.\n%\nG00 X1.\n %\nG00 X9.\n"),
              Move(3, 0, 1, 0, 0, 0) + "END state 2 error 0\n");
    ClearAll();
    RunSession.controller.endOfRecord = '%';
    EXPECT_EQ(Trace("G00 X5.\nG00 X1.\n"), "END state 2 error 3\n");
    ClearAll();
    // Inside a subprogram the character ends nothing: the line is passed over.
    RunSession.controller.endOfRecord = '%';
    dir.Write("O100", "%\nG01 X2.\n%\nG01 X3.\n");
    EXPECT_EQ(Trace("%\nG01 F10.\nM198 P100\nG01 X4.\n%\nG01 X5.\n"),
              std::string("O100:2 G1 X2.0000 Y0.0000 Z0.0000 A0.0000 B0.0000 F10.0000\n") +
                  "O100:4 G1 X3.0000 Y0.0000 Z0.0000 A0.0000 B0.0000 F10.0000\n" +
                  Move(4, 1, 4, 0, 0, 10) + "END state 2 error 0\n");
}

TEST_F(StepDriverTest, SubprogramsFromMemoryNestFourDeep) {
    RunSession.controller.runTypeMemory = 1;
    const std::string trace = Trace(
        "G90 G01 F10.\n"
        "M98 P1\n"
        "P2 M98\n"
        "M30\n"
        "O1\nX1.\nM98 P2\nM99\n"
        "O2\nX2.\nM98 P3\nM99\n"
        "O3\nX3.\nM98 P4\nM99\n"
        "O4\nX4.\nM98 P1 Y4.\nM99\n");
    EXPECT_EQ(trace, Move(6, 1, 1, 0, 0, 10) + Move(10, 1, 2, 0, 0, 10) + Move(14, 1, 3, 0, 0, 10) +
                         Move(18, 1, 4, 0, 0, 10) + "END state 2 error 0\n");
    // The fifth call was refused and its line ended there: Y4 was never read.
    EXPECT_EQ(RunKinematics.motion.end.axis[1], 0.0);
}

TEST_F(StepDriverTest, SubprogramFiles) {
    dir.Write("SUB1", "G01 X1.\n");
    dir.Write("O0007", "G01 X7.\nM99\nX70.\n");
    const std::string trace = Trace(
        "G90 G01 F10.\n"
        "M98<SUB1>\n"
        "M98<1234> X5.\n"
        "M198 P7\n"
        "M198 P8 X6.\n"
        "X9.\n");
    EXPECT_EQ(trace, "SUB1:1 G1 X1.0000 Y0.0000 Z0.0000 A0.0000 B0.0000 F10.0000\n" +
                         Move(3, 1, 5, 0, 0, 10) +
                         "O0007:1 G1 X7.0000 Y0.0000 Z0.0000 A0.0000 B0.0000 F10.0000\n" +
                         Move(6, 1, 9, 0, 0, 10) + "END state 2 error 0\n");
}

TEST_F(StepDriverTest, ReferenceReturns) {
    // G91 G28 Z0 without a reference point: through the intermediate point back to the run's
    // start point on Z only.
    EXPECT_EQ(Trace("G90 G00 X10. Y20. Z30.\nG91 G28 Z0\nG90 X0\n"),
              Move(1, 0, 10, 20, 30, 0) + Move(2, 0, 10, 20, 30, 0) + Move(2, 0, 10, 20, 0, 0) +
                  Move(3, 0, 0, 20, 0, 0) + "END state 2 error 0\n");
    ClearAll();
    // With reference points: the final leg is a machine-coordinate target.
    RunSession.controller.referencePoint[0][2] = 500.0;
    RunSession.controller.referencePointPresent[0] = 1;
    RunSession.controller.referencePoint[1][0] = -100.0;
    RunSession.controller.referencePoint[1][1] = -50.0;
    RunSession.controller.referencePointPresent[1] = 1;
    WorkOffsetTable[1] = {{10, 0, 0, 0, 0}};
    EXPECT_EQ(Trace("G90 G00 X10. Y20. Z30.\nG28 Z40.\nG30 P2 X0 Y0\nX1.\n"),
              Move(1, 0, 10, 20, 30, 0) + Move(2, 0, 10, 20, 40, 0) + Move(2, 0, 10, 20, 500, 0) +
                  Move(3, 0, 0, 0, 500, 0) + Move(3, 0, -110, -50, 500, 0) +
                  Move(4, 0, 1, -50, 500, 0) + "END state 2 error 0\n");
    // Under length compensation the machine target is where the last position ends up.
    ClearAll();
    RunSession.controller.referencePoint[0][2] = 500.0;
    RunSession.controller.referencePointPresent[0] = 1;
    hOffset[1] = 100.0f;
    EXPECT_EQ(Trace("G90 G43 H1 G00 Z30.\nG91 G28 Z0\nG90 G49 Z0\n"),
              Move(1, 0, 0, 0, 130, 0) + Move(2, 0, 0, 0, 130, 0) + Move(2, 0, 0, 0, 500, 0) +
                  Move(3, 0, 0, 0, 0, 0) + "END state 2 error 0\n");
    EXPECT_EQ(RunSession.run.reference.keptPosition.axis[2], 500.0);
}

TEST_F(StepDriverTest, MirrorSwapsArcsOnceAndRotationIsExact) {
    const std::string trace = Trace(
        "G90 G17 G00 X0 Y0 Z0\n"
        "G51.1 X0\n"
        "G02 X10. Y10. R10. F100.\n"
        "G01 X20.\n"
        "G50.1\n"
        "G68 X0 Y0 R90.\n"
        "G01 X1. Y0\n"
        "G69\n"
        "G01 X5.\n");
    EXPECT_EQ(trace, Move(1, 0, 0, 0, 0, 0) + Arc(3, 3, -10, 10, 0, -10, 0, 0, kPi / 2, 100) +
                         Move(4, 1, -20, 10, 0, 100) + Move(7, 1, 0, 1, 0, 100) +
                         Move(9, 1, 5, 1, 0, 100) + "END state 2 error 0\n");
}

TEST_F(StepDriverTest, MirroredArcFlipsTheCompensationSideOnce) {
    Trace("G90 G17 G41 D1 G51.1 Y5.\nG02 X10. Y0 R5. F10.\n");
    EXPECT_EQ(RunSession.run.modal.compensationSide, -1);
    EXPECT_EQ(RunKinematics.motion.motionType, 3);
    EXPECT_EQ(RunKinematics.motion.arcMirrorPending, 0);
    EXPECT_EQ(RunKinematics.motion.transformedCentre[1], 10.0);
    // A second finish of the same move swaps nothing again.
    FinishBlockPosition(RunSession);
    EXPECT_EQ(RunKinematics.motion.motionType, 3);
    EXPECT_EQ(RunSession.run.modal.compensationSide, -1);
}

TEST_F(StepDriverTest, HeldWorkOffsetChangeLandsWithTheLastQueuedMove) {
    const std::string path = dir.Write("main.nc", "\n");
    ResetInterpreterState(RunSession);
    ASSERT_EQ(OpenNcProgramSource(RunSession, path), 1);
    NcPendingMoves& p = RunSession.run.pending;
    ASSERT_EQ(PushToolAxisMove(RunSession, -1.0, 1), 1);
    ASSERT_EQ(PushToolAxisMove(RunSession, -2.0, 1), 1);
    p.workOffsetChangeHeld = 1;
    p.heldOldOrigin = {{0, 0, 0, 0, 0}};
    p.heldNewOrigin = {{10, 0, 5, 0, 0}};
    ComputeNextMove(RunSession);
    EXPECT_EQ(RunKinematics.workOrigin.axis[0], 0.0);  // still the old origin
    EXPECT_EQ(RunKinematics.motion.end.axis[2], -1.0);
    FinishBlockPosition(RunSession);
    ComputeNextMove(RunSession);
    // The last entry is expressed in the new work coordinates.
    EXPECT_EQ(RunKinematics.workOrigin.axis[0], 10.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], -10.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[2], -2.0);
    EXPECT_EQ(p.workOffsetChangeHeld, 0);
}

TEST_F(StepDriverTest, LengthCompensationRaisesTheLastPosition) {
    hOffset[1] = 100.0f;
    EXPECT_EQ(Trace("G90 G43 H1 G00 Z5.\nG49 Z5.\n"),
              Move(1, 0, 0, 0, 105, 0) + Move(2, 0, 0, 0, 5, 0) + "END state 2 error 0\n");
}

// A line longer than the limit is not run as the block cut there: the driver stops on its error.
TEST_F(StepDriverTest, SmallEndsSnapToZeroAndAnOverlongLineEndsTheRunOnItsError) {
    const std::string overlong = "G01 X1." + std::string(1100, ' ') + "X99.\n";
    const std::string trace = Trace("G01 X1. F1.\nY0.0000005 Z-0.0000004\n" + overlong + "Y2.\n");
    EXPECT_EQ(trace, Move(1, 1, 1, 0, 0, 1) + Move(2, 1, 1, 0, 0, 1) + "END state 0 error " +
                         std::to_string(kNcErrorLineTooLong) + "\n");
}

TEST_F(StepDriverTest, QueuesDrainInTheirOrderAndTheEndWaitsForCyclePoints) {
    const std::string path = dir.Write("main.nc", "G01 X100. F10.\n");
    ResetInterpreterState(RunSession);
    ASSERT_EQ(OpenNcProgramSource(RunSession, path), 1);
    NcPendingMoves& p = RunSession.run.pending;
    p.cyclePointCount = 2;
    p.cyclePoint[0] = {{1, 0, 0, 0, 0}};
    p.cyclePoint[1] = {{2, 0, 0, 0, 0}};
    p.cyclePointType[0] = p.cyclePointType[1] = 1;
    p.rapidLegCount = 1;
    p.rapidLeg[0] = {{0, 0, 9, 0, 0}};
    ASSERT_EQ(PushToolAxisMove(RunSession, -3.0, 1), 1);
    const double vector[4] = {0.1, 0.2, 0.3, 0.4};
    ASSERT_EQ(PushToolVectorChange(RunSession, vector), 1);
    std::vector<double> xs, zs;
    std::vector<int> ends;
    for (int i = 0; i < 8 && RunSession.run.status.endState < 2; ++i) {
        ComputeNextMove(RunSession);
        if (RunSession.run.status.subprogramEnd) {
            ends.push_back(RunSession.run.status.endState);
            continue;
        }
        FinishBlockPosition(RunSession);
        xs.push_back(RunKinematics.motion.end.axis[0]);
        zs.push_back(RunKinematics.motion.end.axis[2]);
        if (i == 2) {
            EXPECT_EQ(RunSession.run.toolVector[1], 0.2);
            EXPECT_EQ(RunSession.run.orientationAngle[0], 0.3);
        }
        if (i == 3) {
            // The main file ends while a cycle point still pends.
            MarkProgramEnd(RunSession);
            EXPECT_EQ(RunSession.run.status.endState, 1);
        }
    }
    // Rapid leg, tool-axis move, orientation change, the two cycle points; then the end.
    EXPECT_EQ(zs, (std::vector<double>{9, -3, -3, 0, 0}));
    EXPECT_EQ(xs, (std::vector<double>{0, 0, 0, 1, 2}));
    EXPECT_EQ(ends, (std::vector<int>{2}));
}

TEST_F(StepDriverTest, LookaheadQueuesAreBounded) {
    for (int i = 0; i < kLookaheadQueueMax; ++i) {
        ASSERT_EQ(PushToolAxisMove(RunSession, i, 1), 1);
    }
    EXPECT_EQ(PushToolAxisMove(RunSession, 0, 1), 0);
    EXPECT_EQ(RunSession.run.status.error, kNcErrorQueueFull);
    EXPECT_EQ(RunSession.run.pending.toolAxisMoves.size(), static_cast<size_t>(kLookaheadQueueMax));
}

}  // namespace
}  // namespace mirexa
