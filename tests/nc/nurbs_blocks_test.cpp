// The NURBS block reader through the step driver: curves read over several lines, the words of
// the first line, and bad curves that must end in an interpreter error without a move and
// without swallowing the program's next line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geometry/machine_kinematics.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nurbs_blocks.h"
#include "nc/step_driver.h"
#include "nc_test_fixture.h"

namespace mirexa {
namespace {

class NurbsBlocksTest : public testing::NcInterpreterTest {
protected:
    // Opens the program and pulls moves until a NURBS move, an error or the end; 1 when the
    // NURBS move came (finished like every move).
    int PullToCurve(const std::string& program) {
        ResetInterpreterState(RunSession);
        if (!OpenNcProgramSource(RunSession, dir.Write("curve.nc", program))) {
            return 0;
        }
        while (RunSession.run.status.endState < 2 && RunSession.run.status.error == 0) {
            ComputeNextMove(RunSession);
            if (RunSession.run.status.error != 0 || RunSession.run.status.subprogramEnd) {
                continue;
            }
            FinishBlockPosition(RunSession);
            if (RunKinematics.motion.motionType == kMotionNurbs &&
                RunKinematics.motion.blockHasMotion) {
                return 1;
            }
        }
        return 0;
    }

    // The next move after the current one (skipping calls without a move).
    void PullNextMove() {
        do {
            ComputeNextMove(RunSession);
        } while (RunSession.run.status.endState < 2 && RunSession.run.status.error == 0 &&
                 RunSession.run.status.subprogramEnd);
        FinishBlockPosition(RunSession);
    }

    static std::vector<double> Take(const std::vector<double>& v, int count) {
        return std::vector<double>(v.begin(), v.begin() + count);
    }
};

TEST_F(NurbsBlocksTest, FourPointsAndEightKnotsOfOrderFour) {
    ASSERT_EQ(PullToCurve("G90 G01 F100.\n"
                          "G06.2 P4 K0. X0 Y0 Z0 R1.\n"
                          "K0. X10. Y20.\n"
                          "K0. X30. Y20.\n"
                          "K0. X40. Y0\n"
                          "K1.\n"
                          "K1.\n"
                          "K1.\n"
                          "K1.\n"
                          "G01 X50.\n"),
              1);
    const NurbsCurveData& c = RunSession.nurbs;
    EXPECT_EQ(c.order, 4);
    EXPECT_EQ(c.pointCount, 4);
    EXPECT_EQ(c.knotCount, 8);
    EXPECT_EQ(Take(c.x, 4), (std::vector<double>{0, 10, 30, 40}));
    EXPECT_EQ(Take(c.y, 4), (std::vector<double>{0, 20, 20, 0}));
    EXPECT_EQ(Take(c.weight, 4), (std::vector<double>{1, 1, 1, 1}));
    EXPECT_EQ(Take(c.knot, 8), (std::vector<double>{0, 0, 0, 0, 1, 1, 1, 1}));
    // The move ends at the last control point, at the curve's last line, with the feed.
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 40.0);
    EXPECT_EQ(RunKinematics.motion.start.axis[0], 40.0);
    EXPECT_EQ(RunKinematics.motion.lastPosition.axis[0], 40.0);
    EXPECT_EQ(RunSession.line.mainLineNumber, 9);
    EXPECT_EQ(RunKinematics.motion.feed, 100.0);
    // The next block is read on its own and starts at the curve's end.
    PullNextMove();
    EXPECT_EQ(RunSession.line.mainLineNumber, 10);
    EXPECT_EQ(RunKinematics.motion.motionType, kMotionLine);
    EXPECT_EQ(RunKinematics.motion.startPoint.axis[0], 40.0);
    EXPECT_EQ(RunKinematics.motion.lastPosition.axis[0], 50.0);
}

// Without P the order is 4; a coordinate a line does not give repeats the previous point's (on
// the first line the current end); a missing weight is 1. Blank and comment lines inside the
// curve are passed over.
TEST_F(NurbsBlocksTest, MissingWordsRepeatOrDefault) {
    ASSERT_EQ(PullToCurve("G00 X1. Y2. Z3.\n"
                          "G06.2 K0. R2.\n"
                          "K0. Y10.\n"
                          "\n"
                          "(a comment line)\n"
                          "K0. X7. Z-1.\n"
                          "K0. Y0 R0.5\n"
                          "K1.\n"
                          "K1.\n"
                          "K1.\n"
                          "K1.\n"),
              1);
    const NurbsCurveData& c = RunSession.nurbs;
    EXPECT_EQ(c.order, 4);
    ASSERT_EQ(c.pointCount, 4);
    EXPECT_EQ(Take(c.x, 4), (std::vector<double>{1, 1, 7, 7}));
    EXPECT_EQ(Take(c.y, 4), (std::vector<double>{2, 10, 10, 0}));
    EXPECT_EQ(Take(c.z, 4), (std::vector<double>{3, 3, -1, -1}));
    EXPECT_EQ(Take(c.weight, 4), (std::vector<double>{2, 1, 1, 0.5}));
}

// Words before the G word belong to the block (G90, G01, the feed); behind it the first line
// gives the order, the feed and the first point. Incremental points add up.
TEST_F(NurbsBlocksTest, CurveStartsMidBlock) {
    ASSERT_EQ(PullToCurve("G00 X10. Y10.\n"
                          "N20 G91 G01 F250. G06.2 P3 F300. K0. X0 Y0 Z0\n"
                          "K0. X5. Y5.\n"
                          "K0. X5. Y-5.\n"
                          "K1.\n"
                          "K1.\n"
                          "K1.\n"),
              1);
    const NurbsCurveData& c = RunSession.nurbs;
    EXPECT_EQ(c.order, 3);
    EXPECT_EQ(c.pointCount, 3);
    EXPECT_EQ(Take(c.x, 3), (std::vector<double>{10, 15, 20}));
    EXPECT_EQ(Take(c.y, 3), (std::vector<double>{10, 15, 10}));
    EXPECT_EQ(RunKinematics.motion.feed, 300.0);
    EXPECT_EQ(RunSession.run.modal.incremental, 1);
    EXPECT_EQ(RunSession.run.programmed.axis[0], 20.0);
}

// G132 reads its knots from Q; in the OSP dialect G132 is no NURBS block.
TEST_F(NurbsBlocksTest, G132TakesItsKnotsFromQ) {
    const std::string program =
        "G01 F100.\n"
        "G132 P2 Q0. X0 Y0\n"
        "Q0. X10. Y5.\n"
        "Q2.\n"
        "Q2.\n";
    ASSERT_EQ(PullToCurve(program), 1);
    EXPECT_EQ(RunSession.nurbs.order, 2);
    EXPECT_EQ(Take(RunSession.nurbs.knot, 4), (std::vector<double>{0, 0, 2, 2}));
    ClearAll();
    RunSession.controller.dialect.osp = 1;
    RunSession.controller.dialect.number = kDialectOsp;
    // In the OSP dialect G132 is a clockwise arc, never a curve (this one has no centre, so the
    // arc check may refuse it, but no knot line is taken).
    EXPECT_EQ(PullToCurve(program), 0);
    EXPECT_NE(RunSession.run.status.error, kNcErrorNurbs);
}

// Knots and weights are coordinates: "R1" without a point is 0.001 unless real input is set, so
// "R1" beside "R1." weighs 1000 times less. Kept as the controller reads it; with real input both
// read 1.
TEST_F(NurbsBlocksTest, WeightsWithoutDecimalPointAreInputIncrements) {
    const std::string program =
        "G01 F100.\n"
        "G06.2 P2 K0 X0 Y0 R1\n"
        "K0 X10. R1.\n"
        "K1\n"
        "K1\n";
    ASSERT_EQ(PullToCurve(program), 1);
    EXPECT_DOUBLE_EQ(RunSession.nurbs.weight[0], 0.001);
    EXPECT_DOUBLE_EQ(RunSession.nurbs.weight[1], 1.0);
    EXPECT_DOUBLE_EQ(RunSession.nurbs.knot[3], 0.001);
    ClearAll();
    RunSession.controller.decimalPointRule = 3;
    ASSERT_EQ(PullToCurve(program), 1);
    EXPECT_DOUBLE_EQ(RunSession.nurbs.weight[0], 1.0);
    EXPECT_DOUBLE_EQ(RunSession.nurbs.knot[3], 1.0);
}

struct BadCurve {
    const char* name;
    std::string program;
    bool lineAfter = true;  // a block follows the curve
};

// Every bad curve: interpreter error 8, no NURBS move handed out, no curve left, the block end
// back where it was.
TEST_F(NurbsBlocksTest, BadCurvesGiveAnErrorAndNoMove) {
    const std::string head = "G90 G00 X1. Y2. Z3.\nG01 F100.\n";
    const std::string knots4 = "K1.\nK1.\nK1.\nK1.\n";
    const std::vector<BadCurve> cases = {
        {"zero weight", "G06.2 K0. X0 Y0 R0\nK0. X1.\nK0. X2.\nK0. X3.\n" + knots4},
        {"negative weight", "G06.2 K0. X0 Y0\nK0. X1. R-1.\nK0. X2.\nK0. X3.\n" + knots4},
        {"knots out of order", "G06.2 K0. X0 Y0\nK0. X1.\nK0. X2.\nK0. X3.\nK2.\nK1.\nK1.\nK1.\n"},
        {"order 1", "G06.2 P1 K0. X0\nK1. X1.\nK1.\n"},
        {"order 18", "G06.2 P18 K0. X0\nK1. X1.\nK1.\n"},
        {"order negative", "G06.2 P-3 K0. X0\nK1. X1.\nK1.\n"},
        {"order above the points", "G06.2 P5 K0. X0\nK0. X1.\nK0. X2.\nK0. X3.\n" + knots4},
        {"missing K on a point", "G06.2 K0. X0 Y0\nX1.\nK0. X2.\nK0. X3.\n" + knots4},
        {"missing K on the first line", "G06.2 X0 Y0\nK0. X1.\nK0. X2.\nK0. X3.\n" + knots4},
        {"all knots equal", "G06.2 P2 K0. X0\nK0. X1.\nK0.\nK0.\n"},
        {"cut off by the end of the file", "G06.2 K0. X0 Y0\nK0. X1.\nK0. X2.\nK0. X3.\nK1.\n",
         false},
        {"cut off by the stop character", "G06.2 K0. X0 Y0\nK0. X1.\nK1.\n%\n"},
    };
    for (const BadCurve& bad : cases) {
        SCOPED_TRACE(bad.name);
        ClearAll();
        EXPECT_EQ(PullToCurve(head + bad.program + (bad.lineAfter ? "G01 X9.\n" : "")), 0);
        EXPECT_EQ(RunSession.run.status.error, kNcErrorNurbs);
        EXPECT_EQ(RunSession.nurbs.pointCount, 0);
        EXPECT_EQ(RunKinematics.motion.blockHasMotion, 0);
        EXPECT_EQ(RunKinematics.motion.end.axis[0], 1.0);
        EXPECT_EQ(RunKinematics.motion.end.axis[1], 2.0);
        EXPECT_EQ(RunSession.run.programmed.axis[0], 1.0);
        CloseNcProgramSource(RunSession);
    }
}

// Knot lines that are missing: the next program line ends the curve (an error), is not taken
// as a control point, and is handed on as a block of its own with its own line number, while the
// curve's last line keeps its number until then.
TEST_F(NurbsBlocksTest, LineAfterAnIncompleteCurveIsHandedBack) {
    FreeNurbsBuffers(RunSession);
    EXPECT_EQ(PullToCurve("G01 F100.\n"
                          "G06.2 K0. X0 Y0\n"
                          "K0. X1.\n"
                          "K0. X2.\n"
                          "K0. X3.\n"
                          "K1.\n"
                          "K1.\n"
                          "G01 X50. Y60.\n"
                          "G01 X70.\n"),
              0);
    EXPECT_EQ(RunSession.run.status.error, kNcErrorNurbs);
    EXPECT_EQ(RunSession.line.mainLineNumber, 7);
    EXPECT_STREQ(RunSession.line.text, "K1.\n");
    EXPECT_EQ(RunSession.nurbs.x[4], 0.0);  // never written as a fifth point
    ASSERT_EQ(ReadNextNcLine(RunSession), 1);
    EXPECT_STREQ(RunSession.line.text, "G01 X50. Y60.\n");
    EXPECT_EQ(RunSession.line.mainLineNumber, 8);
    ASSERT_EQ(ReadNextNcLine(RunSession), 1);
    EXPECT_STREQ(RunSession.line.text, "G01 X70.\n");
    EXPECT_EQ(RunSession.line.mainLineNumber, 9);
    // A control point line among the knot lines ends the curve in the same way.
    ClearAll();
    EXPECT_EQ(PullToCurve("G06.2 P2 K0. X0\nK0. X1.\nK1.\nK1. X5.\nK1.\n"), 0);
    EXPECT_EQ(RunSession.run.status.error, kNcErrorNurbs);
    ASSERT_EQ(ReadNextNcLine(RunSession), 1);
    EXPECT_STREQ(RunSession.line.text, "K1. X5.\n");
}

// A pushed-back line is discarded by a new run.
TEST_F(NurbsBlocksTest, ResetDiscardsAPushedBackLine) {
    EXPECT_EQ(PullToCurve("G06.2 P2 K0. X0\nK0. X1.\nG01 X5.\n"), 0);
    ResetInterpreterState(RunSession);
    EXPECT_EQ(ReadNextNcLine(RunSession), 0);  // the file is at its end; nothing is handed back
}

// The array bounds: 1,000 control points fit (order 4); 1,001 do not, nor 1,000 points of
// order 11 (1,011 knots).
TEST_F(NurbsBlocksTest, ControlPointAndKnotCapacities) {
    const auto curve = [](int points, int order) {
        std::string text = "G01 F100.\nG06.2 P" + std::to_string(order) + " K0. X0 Y0\n";
        for (int i = 1; i < points; ++i) {
            text += "K" + std::string(i < order ? "0." : std::to_string(i) + ".") + " X" +
                    std::to_string(i) + ". Y" + std::to_string(i % 7) + ".\n";
        }
        for (int i = 0; i < order; ++i) {
            text += "K" + std::to_string(points) + ".\n";
        }
        return text + "G01 X0\n";
    };
    ASSERT_EQ(PullToCurve(curve(1000, 4)), 1);
    EXPECT_EQ(RunSession.nurbs.pointCount, 1000);
    EXPECT_EQ(RunSession.nurbs.knotCount, 1004);
    EXPECT_EQ(RunSession.nurbs.x[999], 999.0);
    CloseNcProgramSource(RunSession);
    ClearAll();
    EXPECT_EQ(PullToCurve(curve(1001, 4)), 0);
    EXPECT_EQ(RunSession.run.status.error, kNcErrorNurbs);
    CloseNcProgramSource(RunSession);
    ClearAll();
    EXPECT_EQ(PullToCurve(curve(1000, 11)), 0);
    EXPECT_EQ(RunSession.run.status.error, kNcErrorNurbs);
}

// The reader's own codes for the faults, called as the interpreter calls it.
TEST_F(NurbsBlocksTest, ReaderReturnsTheFailure) {
    ResetInterpreterState(RunSession);
    const char line[] = "G06.2 P2 K0. X0 R0\n";
    EXPECT_EQ(ReadNurbsBlocks(RunSession, line, 5, 'K'),
              kNurbsCutOff);  // no source: no second line
    EXPECT_EQ(RunSession.run.status.error, kNcErrorNurbs);
    ASSERT_TRUE(OpenNcProgramSource(RunSession, dir.Write("knots.nc", "K0. X1.\nK1.\nK1.\n")));
    RunSession.run.status.error = 0;
    EXPECT_EQ(ReadNurbsBlocks(RunSession, line, 5, 'K'), kNurbsBadWeight);
    ASSERT_TRUE(OpenNcProgramSource(RunSession, dir.Write("knots.nc", "K0. X1.\nK1.\nK1.\n")));
    RunSession.run.status.error = 0;
    const char good[] = "G06.2 P2 K0. X0\n";
    EXPECT_EQ(ReadNurbsBlocks(RunSession, good, 5, 'K'), 1);
    EXPECT_EQ(RunSession.run.status.error, 0);
    // CHECK F0: a curve at feed 0 is a cutting move without feed.
    ASSERT_TRUE(OpenNcProgramSource(RunSession, dir.Write("knots.nc", "K0. X1.\nK1.\nK1.\n")));
    RunSession.controller.checkF0 = 1;
    RunKinematics.motion.feed = 0.0;
    EXPECT_EQ(ReadNurbsBlocks(RunSession, good, 5, 'K'), 1);
    EXPECT_EQ(RunSession.run.status.error, kNcErrorFeedZero);
}

// After a NURBS move, a block without a motion code moves as a rapid, and the old curve is gone.
TEST_F(NurbsBlocksTest, BlockAfterTheCurveIsNoCurve) {
    ASSERT_EQ(PullToCurve("G01 F100.\nG06.2 P2 K0. X0\nK0. X1.\nK1.\nK1.\nX5.\n"), 1);
    PullNextMove();
    EXPECT_EQ(RunKinematics.motion.motionType, kMotionRapid);
    EXPECT_EQ(RunKinematics.motion.lastPosition.axis[0], 5.0);
    EXPECT_EQ(RunSession.nurbs.pointCount, 0);
}

// Under cutter compensation a curve ends the compensated contour and runs on the plain path:
// it keeps its whole end, not only the axes the G word's line named.
TEST_F(NurbsBlocksTest, CurveEndsACompensatedContour) {
    ASSERT_EQ(PullToCurve("G90 G17 G00 X0 Y0 Z0\n"
                          "G01 F100. D1\n"
                          "G41 X10. Y0\n"
                          "X20.\n"
                          "G06.2 P2 K0. X20. Y0\n"
                          "K0. X30. Y10.\n"
                          "K1.\n"
                          "K1.\n"
                          "G01 X40. Y10.\n"
                          "G40 X50.\n"),
              1);
    EXPECT_EQ(RunSession.nurbs.pointCount, 2);
    EXPECT_EQ(RunKinematics.motion.lastPosition.axis[0], 30.0);
    EXPECT_EQ(RunKinematics.motion.lastPosition.axis[1], 10.0);
    PullNextMove();
    EXPECT_EQ(RunKinematics.motion.motionType, kMotionLine);
    EXPECT_EQ(RunKinematics.motion.startPoint.axis[0], 30.0);
    EXPECT_EQ(RunKinematics.motion.lastPosition.axis[0], 40.0);
}

}  // namespace
}  // namespace mirexa
