// The HEIDENHAIN dialect: datum shifts, Q parameters, cycle words, PLANE, tool calls, block ends
// and the end of tool centre point control.
#include "nc/dialect_heidenhain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "config/offset_tables.h"
#include "dialect_test_fixture.h"
#include "geometry/machine_kinematics.h"
#include "geometry/rotary_solutions.h"
#include "nc/block_interpreter.h"
#include "nc/controller_dialects.h"
#include "nc/coordinate_transforms.h"
#include "nc/dialect_heidenhain.h"
#include "nc/kinematics_services.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"
#include "nc/step_driver.h"

namespace mirexa {
namespace {

using testing::DialectTest;

TEST_F(DialectTest, HeidenhainDatumShiftsSelectGuardedWorkOffsets) {
    UseDialect("HEIDENHAIN");
    FillWorkOffsets();
    Run({"CYCL DEF 7.0 DATUM SHIFT", "CYCL DEF 7.1 #3"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 3);
    EXPECT_DOUBLE_EQ(RunKinematics.workOrigin.axis[0], 300.0);
    // Beyond the 201 entries, and no number at all: refused, the offset stays.
    Run({"CYCL DEF 7.1 #201", "CYCL DEF 7.1 #99999999999", "CYCL DEF 7.1 #"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 3);
    // #0: the external offset alone.
    Run({"CYCL DEF 7.1 #0"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 0);
    EXPECT_DOUBLE_EQ(RunKinematics.workOrigin.axis[0], 0.0);
    // An axis word sets that axis of entry 1, which becomes the origin; the program position is
    // re-based so that the tool stays where it is.
    Run({"L X+50 Y+0 Z+0 FMAX", "CYCL DEF 7.1 X+20"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 1);
    EXPECT_DOUBLE_EQ(RunSession.run.transforms.workOffsets[1].axis[0], 20.0);
    EXPECT_DOUBLE_EQ(RunKinematics.workOrigin.axis[0], 20.0);
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[0], 30.0);
    // Datum setting: Q339 in the definition line or on a parameter line of its own.
    Run({"CYCL DEF 247 DATUM SETTING Q339=2"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 2);
    Run({"CYCL DEF 247 DATUM SETTING ~", "Q339=3 ;DATUM NUMBER"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 3);
    Run({"CYCL DEF 247 Q339=500", "CYCL DEF 247 Q339=-1"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 3);
}

TEST_F(DialectTest, HeidenhainQParametersStayInTheirTable) {
    UseDialect("HEIDENHAIN");
    Run({"CYCL DEF 200 DRILLING Q200=2 Q201=-15 Q202=5 Q203=+1 Q204=30 Q206=120 Q211=0.5"});
    const HeidenhainCycleParameters& p = RunSession.dialect.cycle;
    EXPECT_EQ(RunSession.run.modal.heidenhainCycleCode, 200);
    EXPECT_DOUBLE_EQ(p.setUpClearance, 2.0);
    EXPECT_DOUBLE_EQ(p.depth, -15.0);
    EXPECT_DOUBLE_EQ(RunSession.run.modal.cyclePeck, 5.0);
    EXPECT_DOUBLE_EQ(RunSession.run.modal.dwellTime, 0.5);
    EXPECT_DOUBLE_EQ(p.feed, 120.0);
    const HeidenhainCycleLevels& l = RunSession.run.modal.heidenhainLevels;
    EXPECT_DOUBLE_EQ(l.first, 2.0);
    EXPECT_DOUBLE_EQ(l.second, -15.0);
    EXPECT_DOUBLE_EQ(l.third, 30.0);
    EXPECT_DOUBLE_EQ(l.base, 1.0);
    // The last entry is stored; beyond it, and numbers too long for any table, nothing is.
    Run({"Q1999 = +7", "Q2000=8", "Q4294967297=9", "Q99999999999999999999=9"});
    EXPECT_DOUBLE_EQ(p.q[1999], 7.0);
    EXPECT_EQ(SetHeidenhainQParameter(RunSession, kQParameterCount, 1.0), 0);
    EXPECT_EQ(SetHeidenhainQParameter(RunSession, -1, 1.0), 0);
    EXPECT_EQ(p.q[1], 0.0);  // 4294967297 did not wrap around to 1
    // Parameters as axis values; FN 0 assigns; a parameter beyond the table moves nothing.
    Run({"FN 0: Q1 = +12.5", "FN 0: Q2=-3", "L X+Q1 Y-Q2 Z+Q1999"});
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[0], 12.5);
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[1], 3.0);
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[2], 7.0);
    Run({"L IX-Q1 Z+Q5000"});
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[0], 0.0);
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[2], 7.0);
    Run({"FN 0: Q9999999999 = 1", "FN 1: Q3 = Q1 + Q2"});
    EXPECT_EQ(p.q[3], 0.0);
    // Cycle numbers outside the known definitions are refused and the defined cycle stays.
    int cursor = 0;
    EXPECT_EQ(ParseHeidenhainCyclDef(RunSession, &cursor, " 999 UNKNOWN\n"), 0);
    cursor = 0;
    EXPECT_EQ(ParseHeidenhainCyclDef(RunSession, &cursor, " 210\n"), 0);
    cursor = 0;
    EXPECT_EQ(ParseHeidenhainCyclDef(RunSession, &cursor, " 7.4 X+1\n"), 0);
    EXPECT_EQ(RunSession.run.modal.heidenhainCycleCode, 200);
}

TEST_F(DialectTest, HeidenhainIsoCycleWordsFollowTheDefinedCycle) {
    UseDialect("HEIDENHAIN");
    Run({"G83 P01 2 P02 -20 P03 5 P04 0.5 P05 150"});
    EXPECT_EQ(RunSession.run.modal.heidenhainCycleCode, 83);
    EXPECT_EQ(RunSession.run.modal.cycleCode, kNoCycle);  // defined, not yet called
    EXPECT_DOUBLE_EQ(RunSession.run.modal.cycleRWord, 2.0);
    EXPECT_DOUBLE_EQ(RunSession.run.modal.cycleDepthWord, -20.0);
    EXPECT_DOUBLE_EQ(RunSession.run.modal.cyclePeck, 5.0);
    EXPECT_DOUBLE_EQ(RunSession.run.modal.dwellTime, 0.5);
    EXPECT_DOUBLE_EQ(RunSession.dialect.cycle.feed, 150.0);
    // Other cycles: P03 the dwell, P04 the feed; P05 belongs to none of them.
    Run({"G81 P01 1 P02 -8 P03 0.25 P04 90"});
    EXPECT_DOUBLE_EQ(RunSession.run.modal.dwellTime, 0.25);
    EXPECT_DOUBLE_EQ(RunSession.dialect.cycle.feed, 90.0);
    int cursor = 0;
    EXPECT_EQ(ParseHeidenhainIsoCycleWord(RunSession, &cursor, "05 1\n"), 0);
    EXPECT_EQ(cursor, 0);
    // The call: the block drills where the tool stands, at the cycle's feed, with K and L
    // counts of 1 whatever they say.
    Run({"G00 X0 Y0 Z10", "M99 K5"});
    EXPECT_EQ(RunSession.run.modal.cycleCode, 81);
    EXPECT_EQ(RunSession.run.modal.cycleRepeat, 1);
    EXPECT_DOUBLE_EQ(RunSession.run.modal.cycleInitialLevel, 10.0);
    EXPECT_DOUBLE_EQ(RunKinematics.motion.feed, 90.0);
    EXPECT_EQ(RunSession.run.modal.mCode, 0);
}

TEST_F(DialectTest, HeidenhainPlaneSpatialAndReset) {
    UseDialect("HEIDENHAIN");
    Run({"PLANE SPATIAL SPA+0 SPB+45 SPC+0 TURN MB MAX FMAX SEQ-"});
    const TiltedWorkPlane& plane = RunKinematics.plane;
    EXPECT_DOUBLE_EQ(plane.planeAngles[0], 0.0);
    EXPECT_DOUBLE_EQ(plane.planeAngles[1], 45.0);
    EXPECT_DOUBLE_EQ(plane.planeAngles[2], 0.0);
    EXPECT_EQ(RunSession.dialect.planeSequence, -1);
    EXPECT_EQ(RunKinematics.modes.preferredRotarySign, -1);
    // The rotary solutions then refuse a positive first rotary angle.
    EXPECT_EQ(AcceptRotarySolution(RunKinematics, -45.0, 0.0), 1);
    EXPECT_EQ(AcceptRotarySolution(RunKinematics, 45.0, 0.0), 0);
    EXPECT_EQ(RunSession.run.modal.gCode, 682);
    EXPECT_EQ(plane.active, 1);
    EXPECT_EQ(RunKinematics.modes.planeCoordinates, 1);
    EXPECT_EQ(RunSession.run.modal.lengthCompensation, 1);
    // The plane is turned 45 deg about Y: its Z axis leans into X, and the matrix is a rotation.
    const double h = std::sqrt(0.5);
    double z[3] = {plane.matrix[6], plane.matrix[7], plane.matrix[8]};
    EXPECT_NEAR(std::fabs(z[0]), h, 1e-12);
    EXPECT_NEAR(z[1], 0.0, 1e-12);
    EXPECT_NEAR(z[2], h, 1e-12);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            double dot = 0.0;
            for (int k = 0; k < 3; ++k) {
                dot += plane.matrix[3 * r + k] * plane.matrix[3 * c + k];
            }
            EXPECT_NEAR(dot, r == c ? 1.0 : 0.0, 1e-12);
        }
    }
    Run({"PLANE SPATIAL SPA+0 SPB+0 SPC+30 SEQ+"});
    EXPECT_EQ(RunKinematics.modes.preferredRotarySign, 1);
    // RESET zeroes the rotary values of the end and the programmed position.
    RunKinematics.motion.end.axis[3] = 12.0;
    RunKinematics.motion.end.axis[4] = -7.0;
    RunSession.run.programmed.axis[3] = 12.0;
    Run({"PLANE RESET STAY"});
    EXPECT_EQ(RunKinematics.motion.end.axis[3], 0.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[4], 0.0);
    EXPECT_EQ(RunSession.run.programmed.axis[3], 0.0);
    EXPECT_EQ(RunSession.run.modal.gCode, 69);
    EXPECT_EQ(plane.active, 0);
    EXPECT_EQ(RunKinematics.modes.preferredRotarySign, 0);
    // Other plane forms are not simulated: nothing changes.
    Run({"PLANE EULER EULPR+10 EULNU+20 EULROT+0"});
    EXPECT_EQ(plane.active, 0);
}

TEST_F(DialectTest, HeidenhainToolCallReadsDeltasAndGuardsTheTool) {
    UseDialect("HEIDENHAIN");
    RunSession.controller.magazineCount = 20;
    dOffset[5] = 4.0f;
    Run({"TOOL CALL 5 Z S3000 DL+0.1 DR-0.05 X+99"});
    EXPECT_EQ(RunSession.run.modal.nextTool, 5);
    EXPECT_DOUBLE_EQ(RunSession.words.toolDeltaLength, 0.1);
    EXPECT_DOUBLE_EQ(RunSession.words.toolDeltaRadius, -0.05);
    EXPECT_EQ(RunSession.run.modal.radiusOffsetNumber, 5);
    EXPECT_FLOAT_EQ(dWear[5], -0.05f);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 0.0);  // the rest of the line is not read
    // The DL delta is the wear of the tool's length when the length is taken from the tool.
    RunSession.controller.currentTool.number = 5;
    RunSession.controller.currentTool.length = 80.0;
    RunSession.controller.toolBasePoint = 3;  // LENGTH-TOP
    RunSession.controller.autoLengthPosition = 0;
    SetLengthOffsetForCurrentTool(RunSession);
    EXPECT_NEAR(RunKinematics.toolValues.lengthOffset, 80.1, 1e-12);
    // A tool outside the magazine is refused; the deltas of its line are still read.
    Run({"TOOL CALL 21 Z DL+1", "TOOLCALL -3 Z"});
    EXPECT_EQ(RunSession.run.modal.nextTool, 5);
    EXPECT_DOUBLE_EQ(RunSession.words.toolDeltaLength, 0.0);
}

TEST_F(DialectTest, HeidenhainBlockEndsAndUnsimulatedWordsAreIgnored) {
    UseDialect("HEIDENHAIN");
    Run({"L X+10 Y+0 F100 ; X+99"});
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 10.0);
    Run({"L X+20 * Y+50"});
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 20.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[1], 0.0);
    // Labels, parameter functions, tool definitions, blank forms and label calls move nothing
    // and change no mode.
    const MotionPosition before = RunKinematics.motion.end;
    const NcModalState modal = RunSession.run.modal;
    Run({"LBL 1", "FN 2: Q1 = +5 * Q2", "TOOL DEF 3 L+0 R+2", "BLK FORM 0.1 Z X+0 Y+0 Z-20",
         "CALL LBL 1 REP 3", "STOP"});
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(RunKinematics.motion.end.axis[i], before.axis[i]);
    }
    EXPECT_DOUBLE_EQ(RunSession.run.modal.programmedFeed, modal.programmedFeed);
    EXPECT_EQ(RunKinematics.motion.blockHasMotion, 0);
    EXPECT_EQ(RunSession.run.modal.radiusOffsetNumber, modal.radiusOffsetNumber);
    // F MAX makes the move a rapid; a feed makes a rapid a line.
    Run({"L X+30 F MAX"});
    EXPECT_EQ(RunKinematics.motion.motionType, kMotionRapid);
    Run({"G00 X+40 F200"});
    EXPECT_EQ(RunKinematics.motion.motionType, kMotionLine);
    // F AUTO and feeds per tooth or revolution keep the programmed feed and read no axis.
    Run({"L Y+1 F AUTO", "L Y+2 FZ0.1", "L Y+3 FU0.2"});
    EXPECT_DOUBLE_EQ(RunSession.run.modal.programmedFeed, 200.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[2], 0.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[1], 3.0);
    // L with M91 anywhere in the line: machine coordinates.
    RunKinematics.workOrigin.axis[0] = 100.0;
    Run({"L X+150 M91"});
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[0], 50.0);
    RunKinematics.workOrigin.axis[0] = 0.0;
    // M126 and M127: the shortest-path mode of the rotary axes on and off.
    Run({"M126"});
    EXPECT_EQ(RunKinematics.modes.shortestPath[0], 1);
    EXPECT_EQ(RunKinematics.modes.shortestPath[1], 1);
    Run({"M127"});
    EXPECT_EQ(RunKinematics.modes.shortestPath[0], 0);
    // M128 and M129: tool centre point control on (length compensation on) and off.
    RunSession.controller.rotaryType = 2;
    Run({"M128 X+1000"});
    EXPECT_EQ(RunSession.run.modal.toolCenterPointMode, 1);
    EXPECT_EQ(RunSession.run.modal.lengthCompensation, 1);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 50.0);  // the rest of the line is not read
    Run({"M129"});
    EXPECT_EQ(RunSession.run.modal.toolCenterPointMode, 0);
    EXPECT_EQ(RunSession.run.modal.lengthCompensation, 0);
}

TEST_F(DialectTest, ToolCentreEndsWhereTheMachineStands) {
    // HEIDENHAIN M129 after M128: every register restarts from the machine position taken
    // back through the kinematics (machine minus origin, Z less the gauge length).
    UseDialect("HEIDENHAIN");
    RunSession.controller.rotaryType = 1;
    Run({"M128", "L X+10 Y+5 Z+0 F100"});
    EXPECT_EQ(RunSession.run.modal.toolCenterPointMode, 1);
    RunKinematics.toolValues.gaugeLength = 30.0;
    RunKinematics.workOrigin.axis[0] = 100.0;
    const double machine[5] = {117.0, 8.0, 40.0, 0.0, 0.0};
    for (int i = 0; i < 5; ++i) {
        RunKinematics.pose.machine.axis[i] = machine[i];
    }
    Run({"M129"});
    EXPECT_EQ(RunSession.run.modal.toolCenterPointMode, 0);
    EXPECT_EQ(RunSession.run.modal.gCode, 49);
    for (const MotionPosition* p :
         {&RunKinematics.motion.start, &RunKinematics.motion.end,
          &RunKinematics.motion.lastPosition, &RunSession.run.programmed}) {
        EXPECT_DOUBLE_EQ(p->axis[0], 17.0);
        EXPECT_DOUBLE_EQ(p->axis[1], 8.0);
        EXPECT_DOUBLE_EQ(p->axis[2], 10.0);
    }
}

}  // namespace
}  // namespace mirexa
