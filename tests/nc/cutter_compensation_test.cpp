// Cutter radius compensation through the step driver: whole contours against the independent
// offset-contour generator in the three planes, hand-worked corner, feed, cancel and alarm cases,
// bad input, and seeded random contours whose elements must stay on their offsets.
#include "nc/cutter_compensation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "geometry/machine_kinematics.h"
#include "nc/alarm_report.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"
#include "nc_test_fixture.h"
#include "offset_contour_reference.h"
#include "support/nc_invariants.h"

namespace mirexa {
namespace {

using testing::Contour;
using testing::ContourElement;
using testing::ExpectedMove;

// Axis-parallel lines and arcs (radii 5 and 2.5 mm) offset exactly in double precision; slanted
// lines carry the single-precision offset vector (5 mm x 2^-24 per component, about 2.5e-7 mm
// where two slanted offsets cross), inside the 1e-6 mm bar.
constexpr double kExactTolerance = 1e-9;
constexpr double kSinglePrecisionTolerance = 1e-6;

struct PulledMove {
    int line = {};  // negated for corner and connecting moves
    int type = {};
    MotionPosition end = {};
    double centre[3] = {};
    double sweep = {};
    double feed = {};
};

std::string CompensationInvariants() {
    const NcCompensationState& s = RunSession.run.compensation;
    const int phase = RunSession.run.compensationPhase;
    if (RunSession.run.status.error > 0) {
        return "";  // the run stops where the error left it
    }
    if ((s.stage == kCompensationOff) != (phase == 0)) {
        return "compensation stage and phase disagree";
    }
    if ((s.stage == kCompensationHolding && phase != 1) ||
        (s.stage == kCompensationCancelMove && phase != 2)) {
        return "a held element outside its phase";
    }
    for (const BlockStateRecord* slot : {&s.previous, &s.last}) {
        for (int i = 0; i < 5; ++i) {
            if (!std::isfinite(slot->offset.start.axis[i]) ||
                !std::isfinite(slot->offset.end.axis[i])) {
                return "an offset element is not finite";
            }
        }
        if (!std::isfinite(slot->offset.feed)) {
            return "an offset element's feed is not finite";
        }
        if (!std::isfinite(slot->offset.length)) {
            return "an offset element's length is not finite";
        }
    }
    return "";
}

class CompensationTest : public testing::NcInterpreterTest {
protected:
    void SetUp() override {
        NcInterpreterTest::SetUp();
        dOffset[1] = 5.0f;
        dOffset[2] = 2.5f;
        dOffset[3] = 1.0f;
        dWear[3] = 0.5f;
        StartAt(-10.0);
    }

    // The tool stands at X `x` when a run starts, so that a first block to X0 Y0 moves.
    static void StartAt(double x) {
        RunKinematics.pose.program = {{x, 0, 0, 0, 0}};
    }

    void TearDown() override {
        CloseAlarmFile(RunSession);
        AlarmReport = {};
        NcInterpreterTest::TearDown();
    }

    // Pulls every move of the program through the step driver, with the interpreter's and the
    // compensation's invariants checked after every call.
    std::vector<PulledMove> Pull(const std::string& program) {
        std::vector<PulledMove> moves;
        const std::string path = dir.Write("pull.nc", program);
        ResetInterpreterState(RunSession);
        if (!OpenNcProgramSource(RunSession, path)) {
            ADD_FAILURE() << "cannot open " << path;
            return moves;
        }
        for (long calls = 0; RunSession.run.status.endState < 2 && calls < 100000; ++calls) {
            ComputeNextMove(RunSession);
            const std::string broken = testing::CheckNcInvariants() + CompensationInvariants();
            if (!broken.empty()) {
                ADD_FAILURE() << broken << " (line " << RunSession.line.mainLineNumber << ")";
                break;
            }
            if (RunSession.run.status.error > 0) {
                break;
            }
            if (!RunSession.run.status.started || RunSession.run.status.subprogramEnd) {
                continue;
            }
            FinishBlockPosition(RunSession);
            const MotionRecord& m = RunKinematics.motion;
            if (!m.blockHasMotion) {
                continue;
            }
            PulledMove move;
            const NcMoveLine* held = CompensatedMoveLine(RunSession);
            move.line = held == nullptr          ? RunSession.line.mainLineNumber
                        : m.lookaheadReplay != 0 ? -held->line
                                                 : held->line;
            if (held != nullptr && RunSession.subprograms.depth == 0) {
                EXPECT_EQ(RunSession.line.displayedLineNumber, held->line);
            }
            move.type = m.motionType;
            move.end = m.lastPosition;
            for (int i = 0; i < 3; ++i) {
                move.centre[i] = m.transformedCentre[i];
            }
            move.sweep = m.sweep;
            move.feed = m.feed;
            moves.push_back(move);
        }
        CloseNcProgramSource(RunSession);
        return moves;
    }
};

// The plane axes of G17, G18 and G19 as machine axis indices.
void PlaneIndices(int plane, int* first, int* second) {
    *first = plane == 17 ? 0 : plane == 18 ? 2 : 1;
    *second = plane == 17 ? 1 : plane == 18 ? 0 : 2;
}

void ExpectPath(const std::vector<PulledMove>& moves, const std::vector<ExpectedMove>& expected,
                int plane, double tolerance) {
    // The first move is the rapid to the approach point.
    ASSERT_EQ(moves.size(), expected.size() + 1);
    int a = 0, b = 0;
    PlaneIndices(plane, &a, &b);
    for (size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE(::testing::Message() << "move " << k + 1 << " line " << moves[k + 1].line);
        const PulledMove& m = moves[k + 1];
        const ExpectedMove& e = expected[k];
        EXPECT_EQ(m.type, e.type);
        EXPECT_NEAR(m.end.axis[a], e.end[0], tolerance);
        EXPECT_NEAR(m.end.axis[b], e.end[1], tolerance);
        if (e.type != 1) {
            EXPECT_NEAR(m.centre[a], e.centre[0], tolerance);
            EXPECT_NEAR(m.centre[b], e.centre[1], tolerance);
            EXPECT_NEAR(m.sweep, e.sweep, tolerance);
        }
    }
}

Contour Square(bool counterClockwise) {
    Contour c;
    c.approach[0] = c.leave[0] = -10.0;
    c.approach[1] = c.leave[1] = -10.0;
    const double ccw[4][2] = {{20, 0}, {20, 20}, {0, 20}, {0, 0}};
    const double cw[4][2] = {{0, 20}, {20, 20}, {20, 0}, {0, 0}};
    for (const auto& p : counterClockwise ? ccw : cw) {
        ContourElement e;
        e.to[0] = p[0];
        e.to[1] = p[1];
        c.elements.push_back(e);
    }
    return c;
}

Contour Triangle() {
    Contour c;
    c.approach[0] = c.leave[0] = -10.0;
    const double points[3][2] = {{20, 0}, {10, 17.320508}, {0, 0}};
    for (const auto& p : points) {
        ContourElement e;
        e.to[0] = p[0];
        e.to[1] = p[1];
        c.elements.push_back(e);
    }
    return c;
}

ContourElement Element(int type, double x, double y, double cx = 0, double cy = 0) {
    ContourElement e;
    e.type = type;
    e.to[0] = x, e.to[1] = y;
    e.centre[0] = cx, e.centre[1] = cy;
    return e;
}

// A slot: two lines joined by two half circles, all tangent.
Contour Slot() {
    Contour c;
    c.approach[0] = c.leave[0] = -15.0;
    c.start[1] = -5.0;
    c.elements = {Element(1, 20, -5), Element(3, 20, 5, 20, 0), Element(1, 0, 5),
                  Element(3, 0, -5, 0, 0)};
    return c;
}

// Lines and arcs with a 120 deg turn, a line-arc, an arc-arc and arc-line corner.
Contour Mixed() {
    Contour c;
    c.approach[1] = c.leave[1] = 10.0;
    const double h = 17.320508;
    c.elements = {Element(1, 30, 0),         Element(1, 20, -h),
                  Element(3, 0, -h, 10, -h), Element(2, 10, -h - 10, 0, -h - 10),
                  Element(1, -20, -h - 20),  Element(1, -20, 0),
                  Element(1, 0, 0)};
    return c;
}

TEST_F(CompensationTest, ContoursMatchTheOffsetGeneratorInEveryPlane) {
    struct Case {
        const char* name;
        Contour contour;
        double tolerance;
    };
    const Case cases[] = {{"square ccw", Square(true), kExactTolerance},
                          {"square cw", Square(false), kExactTolerance},
                          {"triangle", Triangle(), kSinglePrecisionTolerance},
                          {"slot", Slot(), kExactTolerance},
                          {"mixed", Mixed(), kSinglePrecisionTolerance}};
    for (const Case& c : cases) {
        for (int plane : {17, 18, 19}) {
            for (int side : {1, -1}) {
                SCOPED_TRACE(::testing::Message()
                             << c.name << " G" << plane << (side > 0 ? " G41" : " G42"));
                Contour contour = c.contour;
                const std::string program =
                    testing::ContourProgram(&contour, plane, side > 0 ? "G41 D2" : "G42 D2");
                ExpectPath(Pull(program), testing::OffsetContour(contour, side * 2.5, false), plane,
                           c.tolerance);
                EXPECT_EQ(RunSession.run.status.error, 0);
                EXPECT_EQ(RunSession.run.compensation.alarmCount, 0);
            }
        }
    }
}

TEST_F(CompensationTest, G39ClosesTheNextOuterCornerByAnArc) {
    RunSession.controller.radiusCheckAny = 1;
    for (Contour contour : {Square(false), Triangle()}) {
        std::string program = testing::ContourProgram(&contour, 17, "G42 D1");
        // A G39 after every element but the last.
        size_t at = program.find("G40");
        for (size_t k = 0; k + 1 < contour.elements.size(); ++k) {
            at = program.rfind('\n', at - 2);
            program.insert(at + 1, "G39\n");
        }
        ExpectPath(Pull(program), testing::OffsetContour(contour, -5.0, true), 17,
                   kSinglePrecisionTolerance);
    }
    // G39 before an inner corner is spent there: the outer corner after it is extended.
    const std::string trace =
        Trace("G90 G01 F100.\nG41 D1 X0 Y0\nX20.\nG39\nY20.\nX30.\nG40 X40.\n");
    EXPECT_EQ(trace, Move(2, 1, 0, 5, 0, 100) + Move(3, 1, 15, 5, 0, 100) +
                         Move(5, 1, 15, 20, 0, 100) + Move(-6, 1, 15, 25, 0, 100) +
                         Move(-6, 1, 20, 25, 0, 100) + Move(6, 1, 30, 25, 0, 100) +
                         Move(7, 1, 40, 20, 0, 100) + "END state 2 error 0\n");
}

TEST_F(CompensationTest, BlocksBetweenElementsKeepTheirPlaceLineAndFeed) {
    // A Z-only block and motionless blocks between two elements: the Z move follows the first
    // element's compensated end, at its own feed and line; the corner of the outer turn after it
    // runs at the new depth, with the next element's line negated and its feed.
    const std::string trace =
        Trace("G90 G01 F100.\nG41 D1 X0 Y0\nX20.\nZ-5. F50.\nM05\nG04 P10\nY-20. F80.\nG40 X0\n");
    EXPECT_EQ(trace, Move(2, 1, 0, 5, 0, 100) + Move(3, 1, 20, 5, 0, 100) +
                         Move(4, 1, 20, 5, -5, 50) + Move(-7, 1, 25, 5, -5, 80) +
                         Move(-7, 1, 25, 0, -5, 80) + Move(7, 1, 25, -20, -5, 80) +
                         Move(8, 1, 0, -20, -5, 80) + "END state 2 error 0\n");
    // Collinear elements meet at their common offset point: no corner moves.
    EXPECT_EQ(Trace("G90 G01 F100.\nG42 D1 X0 Y0\nX10.\nX20.\nX30. Y0\nG40 Y-10.\n"),
              Move(2, 1, 0, -5, 0, 100) + Move(3, 1, 10, -5, 0, 100) + Move(4, 1, 20, -5, 0, 100) +
                  Move(5, 1, 30, -5, 0, 100) + Move(6, 1, 30, -10, 0, 100) +
                  "END state 2 error 0\n");
    // D3 is offset plus wear: 1.5, also when the D word stands before the G41.
    EXPECT_EQ(Trace("G90 G01 F100.\nD3 G41 X0 Y0\nX10.\nG40 Y-10.\n"),
              Move(2, 1, 0, 1.5, 0, 100) + Move(3, 1, 10, 1.5, 0, 100) +
                  Move(4, 1, 10, -10, 0, 100) + "END state 2 error 0\n");
}

TEST_F(CompensationTest, ConcaveArcsRunAtTheFeedOfTheirOffsetRadius) {
    // A pocket end of radius 10 with the tool of radius 5 inside: half feed. Convex with G42.
    const char* program =
        "G90 G01 F100.\nG41 D1 X0 Y-10.\nX20.\nG03 X20. Y10. R10.\nG01 X0\n"
        "G40 Y0\n";
    std::vector<PulledMove> moves = Pull(program);
    ASSERT_EQ(moves.size(), 5u);
    EXPECT_EQ(moves[2].type, 3);
    EXPECT_DOUBLE_EQ(moves[2].feed, 50.0);
    EXPECT_DOUBLE_EQ(moves[3].feed, 100.0);
    RunSession.controller.concaveArcFeed = 0;
    moves = Pull(program);
    EXPECT_DOUBLE_EQ(moves[2].feed, 100.0);
    RunSession.controller.concaveArcFeed = 1;
    moves = Pull("G90 G01 F100.\nG42 D1 X0 Y-10.\nX20.\nG03 X20. Y10. R10.\nG40 G01 X0\n");
    EXPECT_DOUBLE_EQ(moves[2].feed, 100.0);
    EXPECT_NEAR(moves[2].end.axis[1], 15.0, 1e-12);
}

TEST_F(CompensationTest, AnArcTurnedInsideOutStopsWithError6UnderTheCheck) {
    const char* program = "G90 G01 F100.\nG41 D1 X0 Y-3.\nX20.\nG03 X20. Y3. R3.\nG01 X0\n";
    RunSession.controller.reverseArcCheck = 1;
    std::vector<PulledMove> moves = Pull(program);
    EXPECT_EQ(RunSession.run.status.error, kNcErrorOffsetArc);
    EXPECT_EQ(moves.size(), 1u);  // the start-up move, then the run stops
    // Without the check the offset arc runs inside out (radius -2 mm, ends swapped over).
    RunSession.controller.reverseArcCheck = 0;
    moves = Pull(program);
    EXPECT_EQ(RunSession.run.status.error, 0);
    ASSERT_EQ(moves.size(), 4u);
    EXPECT_NEAR(moves[2].end.axis[1], -2.0, 1e-12);
    // A convex arc of any radius is no concern of the check.
    RunSession.controller.reverseArcCheck = 1;
    Pull("G90 G01 F100.\nG42 D1 X0 Y-1.\nX20.\nG03 X20. Y1. R1.\nG01 X0\n");
    EXPECT_EQ(RunSession.run.status.error, 0);
}

TEST_F(CompensationTest, G40WithoutMotionCancelsByTheOnlyG40Mode) {
    const char* program = "G90 G01 F100.\nG41 D1 X10.\nY10.\nX0\nG40\nZ10.\nM05\nG00 X-10.\n";
    // OFFSET: the Z move runs at the offset point; the next block that moves cancels.
    EXPECT_EQ(Trace(program), Move(2, 1, 5, 0, 0, 100) + Move(3, 1, 5, 5, 0, 100) +
                                  Move(4, 1, 0, 5, 0, 100) + Move(6, 1, 0, 5, 10, 100) +
                                  Move(8, 0, -10, 10, 10, 100) + "END state 2 error 0\n");
    // RESET: the G40 block itself takes the tool back onto the programmed point.
    RunSession.controller.compensationCancelMode = 2;
    EXPECT_EQ(Trace(program), Move(2, 1, 5, 0, 0, 100) + Move(3, 1, 5, 5, 0, 100) +
                                  Move(4, 1, 0, 5, 0, 100) + Move(5, 1, 0, 10, 0, 100) +
                                  Move(6, 1, 0, 10, 10, 100) + Move(8, 0, -10, 10, 10, 100) +
                                  "END state 2 error 0\n");
    // A cancel still pending at the end of the program goes back to the programmed end.
    RunSession.controller.compensationCancelMode = 1;
    EXPECT_EQ(Trace("G90 G01 F100.\nG41 D1 X10.\nY10.\nG40\n"),
              Move(2, 1, 5, 0, 0, 100) + Move(3, 1, 5, 10, 0, 100) + Move(4, 1, 10, 10, 0, 100) +
                  "END state 2 error 0\n");
}

TEST_F(CompensationTest, UnjoinedCornersRaiseTheRadiusOffsetAlarm) {
    // The element to Y-7 is shorter than the radius: the offsets of the inner corners miss each
    // other and a connecting line (back across the contour) joins them.
    const char* program = "G90 G01 F100.\nG41 D1 X0 Y-10.\nX20.\nY-7.\nX30.\nY10.\nG40 X0 Y0\n";
    const std::string expected =
        Move(2, 1, 0, -5, 0, 100) + "ALARM INTERFERENCE IN RADIUS(5.000) OFFSET 4\n" +
        Move(3, 1, 20, -5, 0, 100) + Move(-4, 1, 15, -10, 0, 100) + Move(4, 1, 15, -7, 0, 100) +
        Move(-5, 1, 15, -2, 0, 100) + Move(-5, 1, 20, -2, 0, 100) + Move(5, 1, 25, -2, 0, 100) +
        Move(6, 1, 25, 10, 0, 100) + Move(7, 1, 0, 0, 0, 100) + "END state 2 error 0\n";
    // Without a CHECK RADIUS OFFSET line the moves are the same and nothing is recorded.
    std::string silent = expected;
    silent.erase(silent.find("ALARM"),
                 silent.find(Move(3, 1, 20, -5, 0, 100)) - silent.find("ALARM"));
    EXPECT_EQ(Trace(program), silent);
    EXPECT_EQ(RunSession.run.compensation.radiusOffsetEvent, 0);
    // Only a controller with the check records the alarm; with LIST it is also written.
    RunSession.controller.radiusCheckAny = 1;
    RunSession.controller.radiusCheckListMode = 1;
    AlarmReport.path = dir.Path() + "/alarm.txt";
    EXPECT_EQ(Trace(program), expected);
    EXPECT_EQ(RunSession.run.compensation.radiusOffsetEvent, 1);
    CloseAlarmFile(RunSession);
    EXPECT_EQ(testing::ReadWholeFile(AlarmReport.path),
              "<<< ALARM INFORMATION >>>\n--------------\nINTERFERENCE IN RADIUS(5.000) "
              "OFFSET\n4:Y-7.\n");
    // The data check run records no alarm.
    RunSession.run.dataCheckActive = 1;
    Pull(program);
    EXPECT_EQ(RunSession.run.compensation.alarmCount, 0);
}

TEST_F(CompensationTest, BadInputPassesThroughOrGivesItsAlarm) {
    // G41 on a block that does not move in the plane passes as it is; the compensation starts at
    // the first block that does. A zero-length G40 line ends at its programmed point (no
    // division by its zero length).
    const char* program = "G90 G01 F100.\nG41 D1 Z-1.\nX0 Y0\nX10.\nX10.\nY10.\nG40 Y10.\nX0\n";
    EXPECT_EQ(Trace(program), Move(2, 1, -10, 0, -1, 100) + Move(3, 1, 0, 5, -1, 100) +
                                  Move(4, 1, 5, 5, -1, 100) + Move(6, 1, 5, 10, -1, 100) +
                                  Move(8, 1, 0, 10, -1, 100) + "END state 2 error 0\n");
    RunSession.controller.compensationCancelMode = 2;
    EXPECT_EQ(Trace(program), Move(2, 1, -10, 0, -1, 100) + Move(3, 1, 0, 5, -1, 100) +
                                  Move(4, 1, 5, 5, -1, 100) + Move(6, 1, 5, 10, -1, 100) +
                                  Move(7, 1, 10, 10, -1, 100) + Move(8, 1, 0, 10, -1, 100) +
                                  "END state 2 error 0\n");
    RunSession.controller.compensationCancelMode = 1;
    // A D word beyond the table reads D0, and a zero radius leaves the path as programmed.
    EXPECT_EQ(Trace("G90 G01 G41 D2000 X10. F100.\nY10.\nG40 G02 X0 Y0 I-10. J0\n"),
              Move(1, 1, 10, 0, 0, 100) + Move(2, 1, 10, 10, 0, 100) +
                  Arc(3, 2, 0, 0, 0, 0, 10, 0, M_PI / 2, 100) + "END state 2 error 0\n");
    // Started on an arc: the start-up arc keeps its start and ends at the next offset start.
    const std::vector<PulledMove> moves =
        Pull("G90 G00 X0\nG01 F100.\nG41 D1 G02 X10. Y10. R10.\nG01 X20.\nG40 X30.\n");
    ASSERT_EQ(moves.size(), 4u);
    EXPECT_EQ(moves[1].type, 2);
    EXPECT_NEAR(moves[1].end.axis[0], 10.0, 1e-12);
    EXPECT_NEAR(moves[1].end.axis[1], 15.0, 1e-12);
    EXPECT_NEAR(moves[1].centre[0], 10.0, 1e-12);
    EXPECT_NEAR(moves[1].centre[1], 0.0, 1e-12);
    // 10,000 blocks without motion inside the compensation are read past in one call.
    std::string many = "G90 G01 F100.\nG41 D1 X0 Y0\nX20.\n";
    for (int i = 0; i < 10000; ++i) {
        many += "M05\n";
    }
    EXPECT_EQ(Trace(many + "Y20.\nG40 X0\n"), Move(2, 1, 0, 5, 0, 100) + Move(3, 1, 15, 5, 0, 100) +
                                                  Move(10004, 1, 15, 20, 0, 100) +
                                                  Move(10005, 1, 0, 20, 0, 100) +
                                                  "END state 2 error 0\n");
    // Tool-axis moves beyond the look-ahead queue stop the run with error 7.
    std::string deep = "G90 G01 F100.\nG41 D1 X0 Y0\nX20.\n";
    for (int i = 0; i <= kLookaheadQueueMax; ++i) {
        deep += i % 2 ? "Z0\n" : "Z-1.\n";
    }
    Pull(deep + "Y20.\n");
    EXPECT_EQ(RunSession.run.status.error, kNcErrorQueueFull);
}

TEST_F(CompensationTest, TheEndOfTheProgramHandsOutWhatIsHeld) {
    // At the end of the file the last element goes out to its offset end, then the queued move.
    EXPECT_EQ(Trace("G90 G01 F100.\nG41 D1 X0 Y0\nX20.\nY20.\nZ5.\n"),
              Move(2, 1, 0, 5, 0, 100) + Move(3, 1, 15, 5, 0, 100) + Move(4, 1, 15, 20, 0, 100) +
                  Move(5, 1, 15, 20, 5, 100) + "END state 2 error 0\n");
    // The same at the stop character, and at M30 of a memory run.
    RunSession.controller.endOfRecord = '%';
    EXPECT_EQ(Trace("%\nG90 G01 F100.\nG41 D1 X0 Y0\nX20.\nY20.\n%\nX99.\n"),
              Move(3, 1, 0, 5, 0, 100) + Move(4, 1, 15, 5, 0, 100) + Move(5, 1, 15, 20, 0, 100) +
                  "END state 2 error 0\n");
    RunSession.controller.endOfRecord = ' ';
    RunSession.controller.runTypeMemory = 1;
    EXPECT_EQ(Trace("G90 G01 F100.\nG41 D1 X0 Y0\nX20.\nY20. M30\nX99.\n"),
              Move(2, 1, 0, 5, 0, 100) + Move(3, 1, 15, 5, 0, 100) + Move(4, 1, 15, 20, 0, 100) +
                  "END state 2 error 0\n");
}

TEST_F(CompensationTest, BlocksThatCannotBeOffsetEndTheContour) {
    // A reference return: the element goes out to its offset end, the tool rises straight up,
    // and the compensation starts again with the next block that moves in the plane.
    EXPECT_EQ(Trace("G90 G01 F100.\nG41 D1 X0 Y0\nX20.\nG91 G28 Z10.\nG90 G01 Y20.\nX0\n"
                    "G40 Y0\n"),
              Move(2, 1, 0, 5, 0, 100) + Move(3, 1, 20, 5, 0, 100) + Move(4, 0, 20, 5, 10, 100) +
                  Move(4, 0, 20, 5, 0, 100) + Move(5, 1, 20, 15, 0, 100) +
                  Move(6, 1, 0, 15, 0, 100) + Move(7, 1, 0, 0, 0, 100) + "END state 2 error 0\n");
    // A work offset change without motion: the element goes out in the old coordinates, the
    // contour starts again in the new ones (G55 lies 100 mm along X).
    WorkOffsetTable[2].axis[0] = 100.0;
    EXPECT_EQ(Trace("G90 G54 G01 F100.\nG41 D1 X0 Y0\nX20.\nG55\nY20.\nX0\nG40 Y0\n"),
              Move(2, 1, 0, 5, 0, 100) + Move(3, 1, 20, 5, 0, 100) + Move(5, 1, -80, 25, 0, 100) +
                  Move(6, 1, 0, 25, 0, 100) + Move(7, 1, 0, 0, 0, 100) + "END state 2 error 0\n");
    // A Z move read before the change keeps its height: it is carried into the new coordinates
    // (G55 now also lies 10 mm up).
    WorkOffsetTable[2].axis[2] = 10.0;
    RunSession.run.modal.workOffsetIndex = 1;
    StartAt(-10.0);
    EXPECT_EQ(Trace("G90 G54 G01 F100.\nG41 D1 X0 Y0\nX20.\nZ-3.\nG55\nY20.\nX0\nG40 Y0\n"),
              Move(2, 1, 0, 5, 0, 100) + Move(3, 1, 20, 5, 0, 100) + Move(4, 1, -80, 5, -13, 100) +
                  Move(6, 1, -80, 25, -13, 100) + Move(7, 1, 0, 25, -13, 100) +
                  Move(8, 1, 0, 0, -13, 100) + "END state 2 error 0\n");
    // Subprogram files: the elements carry their own file's lines.
    StartAt(-10.0);
    dir.Write("O300", "X20.\nZ-2.\nY20.\nM99\n");
    EXPECT_EQ(Trace("G90 G01 F100.\nG41 D1 X0 Y0\nM198 P300\nG40 X-10.\n"),
              Move(2, 1, 0, 5, 0, 100) +
                  "O300:1 G1 X15.0000 Y5.0000 Z0.0000 A0.0000 B0.0000 "
                  "F100.0000\nO300:2 G1 X15.0000 Y5.0000 Z-2.0000 A0.0000 "
                  "B0.0000 F100.0000\nO300:3 G1 X15.0000 Y20.0000 "
                  "Z-2.0000 A0.0000 B0.0000 F100.0000\n" +
                  Move(4, 1, -10, 20, -2, 100) + "END state 2 error 0\n");
}

TEST_F(CompensationTest, AMirroredContourIsTheMirrorOfItsPath) {
    // The mirror turns the compensated path as a whole; the side it swaps for each arc does not
    // move the tool to the other side when a D word is read again.
    const std::string contour =
        "G41 D1 X0 Y0\nX20.\nG03 X30. Y10. R10.\nG01 Y30. D1\nX0\n"
        "G02 X-10. Y20. R10.\nG01 Y0 D1\nG40 X-20.\n";
    const std::vector<PulledMove> plain = Pull("G90 G01 F100.\n" + contour);
    const std::vector<PulledMove> mirrored = Pull("G90 G01 F100.\nG51.1 X0\n" + contour);
    ASSERT_EQ(plain.size(), mirrored.size());
    for (size_t k = 0; k < plain.size(); ++k) {
        SCOPED_TRACE(::testing::Message() << "move " << k);
        EXPECT_EQ(mirrored[k].type, plain[k].type <= 1 ? plain[k].type : 5 - plain[k].type);
        EXPECT_NEAR(mirrored[k].end.axis[0], -plain[k].end.axis[0], 1e-9);
        EXPECT_NEAR(mirrored[k].end.axis[1], plain[k].end.axis[1], 1e-9);
    }
}

// A random contour of lines and arcs (arcs of a quarter turn at most, radii from 8 mm), with a
// random side and radius (up to 3 mm).
std::string RandomContour(std::mt19937& rng) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::string text = "G90 G17 G00 X0 Y0\nG01 F100.\n";
    text += std::string(rng() % 2 ? "G41" : "G42") + " D" + std::to_string(4 + rng() % 3) +
            " X10. Y0\n";
    double x = 10.0, y = 0.0, heading = 0.0;
    const int n = 3 + static_cast<int>(rng() % 8);
    char line[160];
    for (int k = 0; k < n; ++k) {
        heading += (unit(rng) - 0.5) * 2.6;
        if (rng() % 3 == 0) {
            const double r = 8.0 + 10.0 * unit(rng);
            const int type = rng() % 2 ? 2 : 3;
            const double side = type == 3 ? 1.0 : -1.0;
            const double cx = x - side * r * std::sin(heading);
            const double cy = y + side * r * std::cos(heading);
            const double turn = side * (0.2 + 1.3 * unit(rng));
            const double a0 = std::atan2(y - cy, x - cx);
            const double ex = cx + r * std::cos(a0 + turn), ey = cy + r * std::sin(a0 + turn);
            std::snprintf(line, sizeof line, "G0%d X%.6f Y%.6f I%.6f J%.6f\n", type, ex, ey, cx - x,
                          cy - y);
            x = ex, y = ey;
            heading += turn;
        } else {
            const double length = 10.0 + 20.0 * unit(rng);
            x += length * std::cos(heading);
            y += length * std::sin(heading);
            std::snprintf(line, sizeof line, "G01 X%.6f Y%.6f\n", x, y);
        }
        text += line;
        if (rng() % 4 == 0) {
            text += rng() % 2 ? "Z-1.\n" : "M05\n";
        }
    }
    return text + "G40 G01 X0 Y0\n";
}

TEST_F(CompensationTest, RandomContoursKeepEveryElementOnItsOffset) {
    const unsigned seed = 20240614;
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    dOffset[4] = 1.0f;
    dOffset[5] = 2.0f;
    dOffset[6] = 3.0f;
    RunSession.controller.radiusCheckAny = 1;
    int checked = 0;
    for (int run = 0; run < 200; ++run) {
        const std::string program = RandomContour(rng);
        SCOPED_TRACE(::testing::Message() << "run " << run << "\n" << program);
        // The programmed blocks, as the interpreter reads them without the compensation.
        std::string uncompensated = program;
        uncompensated.replace(uncompensated.find("G4"), 3, "G40");
        const std::vector<PulledMove> plain = Pull(uncompensated);
        const std::vector<PulledMove> moves = Pull(program);
        ASSERT_EQ(RunSession.run.status.error, 0);
        ASSERT_EQ(RunSession.run.status.endState, 2);
        const double radius = std::fabs(RunSession.run.compensation.radius);
        const int cancelLine = plain.back().line;
        for (const PulledMove& m : moves) {
            // Elements between the start-up and the cancel block end on their offset: at the
            // radius from the line's carrier, or at the arc's radius plus or minus it.
            if (m.line <= 3 || m.line >= cancelLine) {
                continue;
            }
            for (size_t k = 1; k < plain.size(); ++k) {
                const PulledMove& block = plain[k];
                const MotionPosition& from = plain[k - 1].end;
                const double dx = block.end.axis[0] - from.axis[0];
                const double dy = block.end.axis[1] - from.axis[1];
                if (block.line != m.line || block.type != m.type || (dx == 0.0 && dy == 0.0)) {
                    continue;
                }
                SCOPED_TRACE(::testing::Message() << "line " << m.line);
                if (m.type == 1) {
                    const double cross =
                        (m.end.axis[0] - from.axis[0]) * dy - (m.end.axis[1] - from.axis[1]) * dx;
                    EXPECT_NEAR(std::fabs(cross) / std::hypot(dx, dy), radius, 1e-5);
                } else {
                    const double d = std::hypot(m.end.axis[0] - block.centre[0],
                                                m.end.axis[1] - block.centre[1]);
                    const double r = std::hypot(block.end.axis[0] - block.centre[0],
                                                block.end.axis[1] - block.centre[1]);
                    EXPECT_NEAR(std::fabs(d - r), radius, 1e-5);
                }
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 500);
}

// Blocks of compensation words in random order and random planes, with zero-length moves,
// repeated and contradictory codes, arcs that cannot be offset and radii of every size.
std::string RandomCompensationBlock(std::mt19937& rng) {
    static const char* const kCodes[] = {"G00", "G01", "G02", "G03", "G17", "G18", "G19",   "G39",
                                         "G40", "G41", "G42", "G90", "G91", "M05", "G04 P1"};
    static const char* const kWords[] = {"X", "Y", "Z", "I", "J", "K", "R", "D", "F"};
    std::string line;
    const int words = static_cast<int>(rng() % 6);
    for (int w = 0; w < words; ++w) {
        if (rng() % 3 == 0) {
            line += kCodes[rng() % 15];
        } else {
            const int k = static_cast<int>(rng() % 9);
            const int value = static_cast<int>(rng() % 41) - 20;
            line += kWords[k] + std::to_string(k == 7 ? (value < 0 ? -value : value) : value) +
                    (rng() % 2 ? "." : ".5");
        }
        line += ' ';
    }
    return line + "\n";
}

TEST_F(CompensationTest, RandomBlocksNeverBreakTheRunState) {
    const unsigned seed = 4114;
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int d = 0; d < 20; ++d) {
        dOffset[d] = static_cast<float>(d % 7) * 1.5f;
    }
    RunSession.controller.radiusCheckAny = 1;
    for (int run = 0; run < 60; ++run) {
        RunSession.controller.compensationCancelMode = 1 + run % 2;
        RunSession.controller.reverseArcCheck = run % 3 == 0;
        std::string program = "G90 G01 F100.\n";
        for (int i = 0; i < 200; ++i) {
            program += RandomCompensationBlock(rng);
        }
        SCOPED_TRACE(::testing::Message() << "run " << run);
        Pull(program);
        EXPECT_TRUE(RunSession.run.status.endState == 2 || RunSession.run.status.error > 0);
        EXPECT_LE(RunSession.run.status.error, kNcErrorQueueFull);
    }
}

}  // namespace
}  // namespace mirexa
