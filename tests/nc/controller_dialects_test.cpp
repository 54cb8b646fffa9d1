// Controller dialects: HEIDENHAIN datum shifts, Q parameters, cycle words, PLANE and tool calls,
// SIEMENS CYCLE800, TRAORI/TRAFOOF and orientation words, the OSP inclined-plane call and work
// offset words, and words of the dialects that index tables.
#include "nc/controller_dialects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "config/offset_tables.h"
#include "geometry/machine_kinematics.h"
#include "geometry/rotary_solutions.h"
#include "nc/block_interpreter.h"
#include "nc/coordinate_transforms.h"
#include "nc/dialect_heidenhain.h"
#include "nc/dialect_osp.h"
#include "nc/dialect_siemens.h"
#include "nc/kinematics_services.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_words.h"
#include "nc/step_driver.h"
#include "nc_test_fixture.h"

namespace mirexa {
namespace {

class DialectTest : public testing::NcInterpreterTest {
protected:
    void UseDialect(const char* name) {
        NcController.heidenhain = std::strcmp(name, "HEIDENHAIN") == 0;
        NcController.siemens = std::strcmp(name, "SIEMENS") == 0;
        NcController.osp = std::strcmp(name, "OSP") == 0;
        NcController.mazak = std::strcmp(name, "MAZAK") == 0;
        NcController.dialect = NcController.heidenhain ? kDialectHeidenhain
                               : NcController.osp      ? kDialectOsp
                                                       : kDialectNormal;
        NcController.decimalPointRule = NcController.heidenhain ? 3 : 0;
        ResetInterpreterState();
    }
    // Work offset entries 1 .. 3 at X 100, 200, 300 in the run's copy of the table.
    void FillWorkOffsets() {
        for (int i = 1; i <= 3; ++i) {
            NcRun.transforms.workOffsets[i].axis[0] = 100.0 * i;
        }
        ChangeWorkOffset(1);
    }
};

TEST_F(DialectTest, HeidenhainDatumShiftsSelectGuardedWorkOffsets) {
    UseDialect("HEIDENHAIN");
    FillWorkOffsets();
    Run({"CYCL DEF 7.0 DATUM SHIFT", "CYCL DEF 7.1 #3"});
    EXPECT_EQ(NcRun.modal.workOffsetIndex, 3);
    EXPECT_DOUBLE_EQ(WorkOrigin.axis[0], 300.0);
    // Beyond the 201 entries, and no number at all: refused, the offset stays.
    Run({"CYCL DEF 7.1 #201", "CYCL DEF 7.1 #99999999999", "CYCL DEF 7.1 #"});
    EXPECT_EQ(NcRun.modal.workOffsetIndex, 3);
    // #0: the external offset alone.
    Run({"CYCL DEF 7.1 #0"});
    EXPECT_EQ(NcRun.modal.workOffsetIndex, 0);
    EXPECT_DOUBLE_EQ(WorkOrigin.axis[0], 0.0);
    // An axis word sets that axis of entry 1, which becomes the origin; the program position is
    // re-based so that the tool stays where it is.
    Run({"L X+50 Y+0 Z+0 FMAX", "CYCL DEF 7.1 X+20"});
    EXPECT_EQ(NcRun.modal.workOffsetIndex, 1);
    EXPECT_DOUBLE_EQ(NcRun.transforms.workOffsets[1].axis[0], 20.0);
    EXPECT_DOUBLE_EQ(WorkOrigin.axis[0], 20.0);
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[0], 30.0);
    // Datum setting: Q339 in the definition line or on a parameter line of its own.
    Run({"CYCL DEF 247 DATUM SETTING Q339=2"});
    EXPECT_EQ(NcRun.modal.workOffsetIndex, 2);
    Run({"CYCL DEF 247 DATUM SETTING ~", "Q339=3 ;DATUM NUMBER"});
    EXPECT_EQ(NcRun.modal.workOffsetIndex, 3);
    Run({"CYCL DEF 247 Q339=500", "CYCL DEF 247 Q339=-1"});
    EXPECT_EQ(NcRun.modal.workOffsetIndex, 3);
}

TEST_F(DialectTest, HeidenhainQParametersStayInTheirTable) {
    UseDialect("HEIDENHAIN");
    Run({"CYCL DEF 200 DRILLING Q200=2 Q201=-15 Q202=5 Q203=+1 Q204=30 Q206=120 Q211=0.5"});
    const HeidenhainCycleParameters& p = DialectState.cycle;
    EXPECT_EQ(NcRun.modal.heidenhainCycleCode, 200);
    EXPECT_DOUBLE_EQ(p.setUpClearance, 2.0);
    EXPECT_DOUBLE_EQ(p.depth, -15.0);
    EXPECT_DOUBLE_EQ(NcRun.modal.cyclePeck, 5.0);
    EXPECT_DOUBLE_EQ(NcRun.modal.dwellTime, 0.5);
    EXPECT_DOUBLE_EQ(p.feed, 120.0);
    const HeidenhainCycleLevels& l = NcRun.modal.heidenhainLevels;
    EXPECT_DOUBLE_EQ(l.first, 2.0);
    EXPECT_DOUBLE_EQ(l.second, -15.0);
    EXPECT_DOUBLE_EQ(l.third, 30.0);
    EXPECT_DOUBLE_EQ(l.base, 1.0);
    // The last entry is stored; beyond it, and numbers too long for any table, nothing is.
    Run({"Q1999 = +7", "Q2000=8", "Q4294967297=9", "Q99999999999999999999=9"});
    EXPECT_DOUBLE_EQ(p.q[1999], 7.0);
    EXPECT_EQ(SetHeidenhainQParameter(kQParameterCount, 1.0), 0);
    EXPECT_EQ(SetHeidenhainQParameter(-1, 1.0), 0);
    EXPECT_EQ(p.q[1], 0.0);  // 4294967297 did not wrap around to 1
    // Parameters as axis values; FN 0 assigns; a parameter beyond the table moves nothing.
    Run({"FN 0: Q1 = +12.5", "FN 0: Q2=-3", "L X+Q1 Y-Q2 Z+Q1999"});
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[0], 12.5);
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[1], 3.0);
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[2], 7.0);
    Run({"L IX-Q1 Z+Q5000"});
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[0], 0.0);
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[2], 7.0);
    Run({"FN 0: Q9999999999 = 1", "FN 1: Q3 = Q1 + Q2"});
    EXPECT_EQ(p.q[3], 0.0);
    // Cycle numbers outside the known definitions are refused and the defined cycle stays.
    int cursor = 0;
    EXPECT_EQ(ParseHeidenhainCyclDef(&cursor, " 999 UNKNOWN\n"), 0);
    cursor = 0;
    EXPECT_EQ(ParseHeidenhainCyclDef(&cursor, " 210\n"), 0);
    cursor = 0;
    EXPECT_EQ(ParseHeidenhainCyclDef(&cursor, " 7.4 X+1\n"), 0);
    EXPECT_EQ(NcRun.modal.heidenhainCycleCode, 200);
}

TEST_F(DialectTest, HeidenhainIsoCycleWordsFollowTheDefinedCycle) {
    UseDialect("HEIDENHAIN");
    Run({"G83 P01 2 P02 -20 P03 5 P04 0.5 P05 150"});
    EXPECT_EQ(NcRun.modal.heidenhainCycleCode, 83);
    EXPECT_EQ(NcRun.modal.cycleCode, kNoCycle);  // defined, not yet called
    EXPECT_DOUBLE_EQ(NcRun.modal.cycleRWord, 2.0);
    EXPECT_DOUBLE_EQ(NcRun.modal.cycleDepthWord, -20.0);
    EXPECT_DOUBLE_EQ(NcRun.modal.cyclePeck, 5.0);
    EXPECT_DOUBLE_EQ(NcRun.modal.dwellTime, 0.5);
    EXPECT_DOUBLE_EQ(DialectState.cycle.feed, 150.0);
    // Other cycles: P03 the dwell, P04 the feed; P05 belongs to none of them.
    Run({"G81 P01 1 P02 -8 P03 0.25 P04 90"});
    EXPECT_DOUBLE_EQ(NcRun.modal.dwellTime, 0.25);
    EXPECT_DOUBLE_EQ(DialectState.cycle.feed, 90.0);
    int cursor = 0;
    EXPECT_EQ(ParseHeidenhainIsoCycleWord(&cursor, "05 1\n"), 0);
    EXPECT_EQ(cursor, 0);
    // The call: the block drills where the tool stands, at the cycle's feed, with K and L
    // counts of 1 whatever they say.
    Run({"G00 X0 Y0 Z10", "M99 K5"});
    EXPECT_EQ(NcRun.modal.cycleCode, 81);
    EXPECT_EQ(NcRun.modal.cycleRepeat, 1);
    EXPECT_DOUBLE_EQ(NcRun.modal.cycleInitialLevel, 10.0);
    EXPECT_DOUBLE_EQ(CurrentMotion.feed, 90.0);
    EXPECT_EQ(NcRun.modal.mCode, 0);
}

TEST_F(DialectTest, HeidenhainPlaneSpatialAndReset) {
    UseDialect("HEIDENHAIN");
    Run({"PLANE SPATIAL SPA+0 SPB+45 SPC+0 TURN MB MAX FMAX SEQ-"});
    const TiltedWorkPlane& plane = CurrentWorkPlane;
    EXPECT_DOUBLE_EQ(plane.planeAngles[0], 0.0);
    EXPECT_DOUBLE_EQ(plane.planeAngles[1], 45.0);
    EXPECT_DOUBLE_EQ(plane.planeAngles[2], 0.0);
    EXPECT_EQ(DialectState.planeSequence, -1);
    EXPECT_EQ(KinematicsMode.preferredRotarySign, -1);
    // The rotary solutions then refuse a positive first rotary angle.
    EXPECT_EQ(AcceptRotarySolution(-45.0, 0.0), 1);
    EXPECT_EQ(AcceptRotarySolution(45.0, 0.0), 0);
    EXPECT_EQ(NcRun.modal.gCode, 682);
    EXPECT_EQ(plane.active, 1);
    EXPECT_EQ(KinematicsMode.planeCoordinates, 1);
    EXPECT_EQ(NcRun.modal.lengthCompensation, 1);
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
    EXPECT_EQ(KinematicsMode.preferredRotarySign, 1);
    // RESET zeroes the rotary values of the end and the programmed position.
    CurrentMotion.end.axis[3] = 12.0;
    CurrentMotion.end.axis[4] = -7.0;
    NcRun.programmed.axis[3] = 12.0;
    Run({"PLANE RESET STAY"});
    EXPECT_EQ(CurrentMotion.end.axis[3], 0.0);
    EXPECT_EQ(CurrentMotion.end.axis[4], 0.0);
    EXPECT_EQ(NcRun.programmed.axis[3], 0.0);
    EXPECT_EQ(NcRun.modal.gCode, 69);
    EXPECT_EQ(plane.active, 0);
    EXPECT_EQ(KinematicsMode.preferredRotarySign, 0);
    // Other plane forms are not simulated: nothing changes.
    Run({"PLANE EULER EULPR+10 EULNU+20 EULROT+0"});
    EXPECT_EQ(plane.active, 0);
}

TEST_F(DialectTest, HeidenhainToolCallReadsDeltasAndGuardsTheTool) {
    UseDialect("HEIDENHAIN");
    NcController.magazineCount = 20;
    dOffset[5] = 4.0f;
    Run({"TOOL CALL 5 Z S3000 DL+0.1 DR-0.05 X+99"});
    EXPECT_EQ(NcRun.modal.nextTool, 5);
    EXPECT_DOUBLE_EQ(NcWords.toolDeltaLength, 0.1);
    EXPECT_DOUBLE_EQ(NcWords.toolDeltaRadius, -0.05);
    EXPECT_EQ(NcRun.modal.radiusOffsetNumber, 5);
    EXPECT_FLOAT_EQ(dWear[5], -0.05f);
    EXPECT_EQ(CurrentMotion.end.axis[0], 0.0);  // the rest of the line is not read
    // The DL delta is the wear of the tool's length when the length is taken from the tool.
    NcController.currentTool.number = 5;
    NcController.currentTool.length = 80.0;
    NcController.toolBasePoint = 3;  // LENGTH-TOP
    NcController.autoLengthPosition = 0;
    SetLengthOffsetForCurrentTool();
    EXPECT_NEAR(CurrentToolValues.lengthOffset, 80.1, 1e-12);
    // A tool outside the magazine is refused; the deltas of its line are still read.
    Run({"TOOL CALL 21 Z DL+1", "TOOLCALL -3 Z"});
    EXPECT_EQ(NcRun.modal.nextTool, 5);
    EXPECT_DOUBLE_EQ(NcWords.toolDeltaLength, 0.0);
}

TEST_F(DialectTest, HeidenhainBlockEndsAndUnsimulatedWordsAreIgnored) {
    UseDialect("HEIDENHAIN");
    Run({"L X+10 Y+0 F100 ; X+99"});
    EXPECT_EQ(CurrentMotion.end.axis[0], 10.0);
    Run({"L X+20 * Y+50"});
    EXPECT_EQ(CurrentMotion.end.axis[0], 20.0);
    EXPECT_EQ(CurrentMotion.end.axis[1], 0.0);
    // Labels, parameter functions, tool definitions, blank forms and label calls move nothing
    // and change no mode.
    const MotionPosition before = CurrentMotion.end;
    const NcModalState modal = NcRun.modal;
    Run({"LBL 1", "FN 2: Q1 = +5 * Q2", "TOOL DEF 3 L+0 R+2", "BLK FORM 0.1 Z X+0 Y+0 Z-20",
         "CALL LBL 1 REP 3", "STOP"});
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(CurrentMotion.end.axis[i], before.axis[i]);
    }
    EXPECT_DOUBLE_EQ(NcRun.modal.programmedFeed, modal.programmedFeed);
    EXPECT_EQ(CurrentMotion.blockHasMotion, 0);
    EXPECT_EQ(NcRun.modal.radiusOffsetNumber, modal.radiusOffsetNumber);
    // F MAX makes the move a rapid; a feed makes a rapid a line.
    Run({"L X+30 F MAX"});
    EXPECT_EQ(CurrentMotion.motionType, kMotionRapid);
    Run({"G00 X+40 F200"});
    EXPECT_EQ(CurrentMotion.motionType, kMotionLine);
    // F AUTO and feeds per tooth or revolution keep the programmed feed and read no axis.
    Run({"L Y+1 F AUTO", "L Y+2 FZ0.1", "L Y+3 FU0.2"});
    EXPECT_DOUBLE_EQ(NcRun.modal.programmedFeed, 200.0);
    EXPECT_EQ(CurrentMotion.end.axis[2], 0.0);
    EXPECT_EQ(CurrentMotion.end.axis[1], 3.0);
    // L with M91 anywhere in the line: machine coordinates.
    WorkOrigin.axis[0] = 100.0;
    Run({"L X+150 M91"});
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[0], 50.0);
    WorkOrigin.axis[0] = 0.0;
    // M126 and M127: the shortest-path mode of the rotary axes on and off.
    Run({"M126"});
    EXPECT_EQ(KinematicsMode.shortestPath[0], 1);
    EXPECT_EQ(KinematicsMode.shortestPath[1], 1);
    Run({"M127"});
    EXPECT_EQ(KinematicsMode.shortestPath[0], 0);
    // M128 and M129: tool centre point control on (length compensation on) and off.
    NcController.rotaryType = 2;
    Run({"M128 X+1000"});
    EXPECT_EQ(NcRun.modal.toolCenterPointMode, 1);
    EXPECT_EQ(NcRun.modal.lengthCompensation, 1);
    EXPECT_EQ(CurrentMotion.end.axis[0], 50.0);  // the rest of the line is not read
    Run({"M129"});
    EXPECT_EQ(NcRun.modal.toolCenterPointMode, 0);
    EXPECT_EQ(NcRun.modal.lengthCompensation, 0);
}

TEST_F(DialectTest, Cycle800ArgumentLists) {
    int cursor = 0;
    const char* full = "(1,\"HEAD1\",200001,57,10,20,30,0,45,90,1,2,3,-1,100)\n";
    EXPECT_EQ(ParseCycle800Arguments(&cursor, full), 1);
    const Cycle800Arguments& a = DialectState.cycle800;
    EXPECT_EQ(a.retractionMode, 1);
    EXPECT_STREQ(a.swivelName, "HEAD1");
    EXPECT_EQ(a.swivelState, 200001);
    const int digits[6] = {2, 0, 0, 0, 0, 1};
    for (int d = 0; d < 6; ++d) {
        EXPECT_EQ(a.swivelDigits[d], digits[d]);
    }
    EXPECT_EQ(a.rotationOrder, 57);
    EXPECT_DOUBLE_EQ(a.referencePoint[2], 30.0);
    EXPECT_DOUBLE_EQ(a.angles[1], 45.0);
    EXPECT_DOUBLE_EQ(a.angles[2], 90.0);
    EXPECT_DOUBLE_EQ(a.offset[0], 1.0);
    EXPECT_EQ(a.direction, -1);
    EXPECT_EQ(a.retractionValue, 100);
    EXPECT_EQ(full[cursor], '\n');
    // Units digit 0: not incremental; an empty name and an empty retraction field are allowed,
    // and a comma inside the quoted name does not split the list.
    cursor = 0;
    EXPECT_EQ(ParseCycle800Arguments(&cursor, "(,\"A,B\",100000,27,0,0,0,10,0,0)\n"), 1);
    EXPECT_EQ(a.swivelDigits[5], 0);
    EXPECT_STREQ(a.swivelName, "A,B");
    EXPECT_DOUBLE_EQ(a.angles[0], 10.0);
    EXPECT_EQ(a.direction, 0);  // omitted trailing fields read 0
    // Reset and empty lists give 0, as does a rotation order of 0; a list cut off by the line's
    // end is no list at all (-1).
    cursor = 0;
    EXPECT_EQ(ParseCycle800Arguments(&cursor, "(,\"0\",0,0)\n"), 0);
    cursor = 0;
    EXPECT_EQ(ParseCycle800Arguments(&cursor, "()\n"), 0);
    cursor = 0;
    EXPECT_EQ(ParseCycle800Arguments(&cursor, "(0,\"T\",1,0,1,2,3)\n"), 0);
    cursor = 0;
    EXPECT_EQ(ParseCycle800Arguments(&cursor, "(0,\"T\",1,57,1,2\n"), -1);
    // A very long name is cut to the field, never past it.
    std::string longName = "(0,\"" + std::string(300, 'N') + "\",1,57)\n";
    cursor = 0;
    EXPECT_EQ(ParseCycle800Arguments(&cursor, longName.c_str()), 1);
    EXPECT_EQ(std::strlen(a.swivelName), static_cast<size_t>(kSwivelNameCapacity - 1));
}

TEST_F(DialectTest, Cycle800TiltsThePlaneAndIncrementsOnIt) {
    UseDialect("SIEMENS");
    // 90 deg about Z, twice with the incremental digit: 180 deg in all.
    Run({"CYCLE800(0,\"T\",200000,57,0,0,0,0,0,90,0,0,0,-1,100)"});
    const TiltedWorkPlane& plane = CurrentWorkPlane;
    EXPECT_EQ(NcRun.modal.gCode, 682);
    EXPECT_EQ(plane.active, 1);
    EXPECT_NEAR(std::fabs(plane.matrix[1]), 1.0, 1e-12);  // plane X along machine +-Y
    Run({"CYCLE800(0,\"T\",200001,57,0,0,0,0,0,90,0,0,0,-1,100)"});
    EXPECT_NEAR(plane.matrix[0], -1.0, 1e-12);
    EXPECT_NEAR(plane.matrix[4], -1.0, 1e-12);
    EXPECT_NEAR(plane.matrix[8], 1.0, 1e-12);
    // Without the incremental digit the plane starts from the machine axes again.
    Run({"CYCLE800(0,\"T\",200000,57,0,0,0,0,0,90,0,0,0,-1,100)"});
    EXPECT_NEAR(std::fabs(plane.matrix[1]), 1.0, 1e-12);
    // The origin: the reference point plus the offset along the turned axes.
    Run({"CYCLE800(0,\"T\",200000,57,5,6,7,0,0,90,10,0,0,-1,100)"});
    EXPECT_NEAR(plane.origin[0], 5.0, 1e-12);
    EXPECT_NEAR(std::fabs(plane.origin[1] - 6.0), 10.0, 1e-12);
    EXPECT_NEAR(plane.origin[2], 7.0, 1e-12);
    // The reset list stores G69, switches the plane and length compensation off.
    Run({"CYCLE800(,\"0\",0,0)"});
    EXPECT_EQ(NcRun.modal.gCode, 69);
    EXPECT_EQ(plane.active, 0);
    EXPECT_EQ(NcRun.modal.lengthCompensation, 0);
    // An unknown rotation order leaves the plane as it was; a cut-off list changes nothing.
    Run({"CYCLE800(0,\"T\",200000,99,0,0,0,0,0,90,0,0,0,-1,100)", "CYCLE800(0,\"T\",1"});
    EXPECT_EQ(plane.active, 0);
}

TEST_F(DialectTest, SiemensToolCentreAndOrientationWords) {
    UseDialect("SIEMENS");
    NcController.magazineCount = 10;
    Run({"TRAORI", "G01 X10 Y0 Z5 F100"});
    EXPECT_EQ(NcRun.modal.toolCenterPointMode, 1);
    EXPECT_EQ(NcRun.modal.lengthCompensation, 1);
    // TRAFOOF ends it and puts every position register where the machine stands.
    CurrentMachinePose.machine.axis[0] = 10.0;
    CurrentMachinePose.machine.axis[2] = 5.0;
    Run({"TRAFOOF X20."});
    EXPECT_EQ(NcRun.modal.toolCenterPointMode, 0);
    EXPECT_EQ(NcRun.modal.gCode, 49);
    EXPECT_DOUBLE_EQ(CurrentMotion.start.axis[0], 10.0);
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[0], 20.0);  // the scan goes on behind TRAFOOF
    // A3=, B3=, C3=: tool vector input; the vector becomes the tool axis.
    NcController.rotaryType = 2;
    Run({"G01 X1 A3=0 B3=0 C3=2"});
    EXPECT_EQ(NcRun.modal.toolCenterPointMode, 2);
    EXPECT_NEAR(CurrentMachinePose.tool.axis[2], 1.0, 1e-12);
    // Orientation angles: B2=90 under ORIEULER tilts the tool axis into the XY plane.
    Run({"ORIEULER", "G01 X2 A2=0 B2=90 C2=0"});
    const double* axis = CurrentMachinePose.tool.axis;
    EXPECT_NEAR(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2], 1.0, 1e-12);
    EXPECT_NEAR(axis[2], 0.0, 1e-12);
    // Orientation conventions.
    Run({"ORIRPY2"});
    EXPECT_EQ(DialectState.orientation.convention, 2);
    Run({"ORIEULER"});
    EXPECT_EQ(DialectState.orientation.convention, 0);
    Run({"ORIRPY"});
    EXPECT_EQ(DialectState.orientation.convention, 1);
    // T=n selects by number; a number beyond the magazine and an unknown name are refused.
    Run({"T=4 X99"});
    EXPECT_EQ(NcRun.modal.nextTool, 4);
    Run({"T=11", "T=\"NO SUCH TOOL\"", "T=\"UNCLOSED"});
    EXPECT_EQ(NcRun.modal.nextTool, 4);
}

TEST_F(DialectTest, OspInclinedPlaneCallWritesAGuardedTarget) {
    UseDialect("OSP");
    NcController.rotaryLetter[0] = 'A';
    NcController.rotaryLetter[1] = 'C';
    FillWorkOffsets();
    // A head machine turns nothing: the target is the source plus the shift.
    Run({"CALL OO88 PH=2 PP=10 PA=30 PB=45 PX=1 PY=2 PZ=3 PCA=15 PCC=-20 PC=1"});
    const MotionPosition& t = NcRun.transforms.workOffsets[10];
    EXPECT_DOUBLE_EQ(t.axis[0], 201.0);
    EXPECT_DOUBLE_EQ(t.axis[1], 2.0);
    EXPECT_DOUBLE_EQ(t.axis[2], 3.0);
    EXPECT_DOUBLE_EQ(t.axis[3], 15.0);   // PCA: rotary axis A
    EXPECT_DOUBLE_EQ(t.axis[4], -20.0);  // PCC: rotary axis C
    EXPECT_EQ(NcRun.modal.workOffsetIndex, 10);
    EXPECT_DOUBLE_EQ(WorkOrigin.axis[0], 201.0);
    // A table machine turns the point about the table; the distance to the centre stays.
    CurrentMachine.rotaryType = 2;
    CurrentMachine.rotary[0] = {0, 1, 2};
    CurrentMachine.rotary[1] = {2, 0, 1};
    CurrentMachine.rotary[0].sign = 1;
    CurrentMachine.rotary[1].sign = 1;
    Run({"CALL OO88 PH=1 PP=11 PA=0 PB=90"});
    const MotionPosition& u = NcRun.transforms.workOffsets[11];
    EXPECT_NEAR(std::hypot(u.axis[0], u.axis[1]), 100.0, 1e-9);
    EXPECT_NEAR(u.axis[0], 0.0, 1e-9);
    // Targets and sources outside the table, and the external offset as a target, are refused.
    const MotionPosition external = NcRun.transforms.workOffsets[0];
    Run({"CALL OO88 PH=1 PP=201", "CALL OO88 PH=1 PP=0", "CALL OO88 PH=999999 PP=12",
         "CALL OO88 PH=1"});
    EXPECT_EQ(NcRun.modal.workOffsetIndex, 11);
    EXPECT_EQ(NcRun.transforms.workOffsets[0].axis[0], external.axis[0]);
    EXPECT_EQ(NcRun.transforms.workOffsets[12].axis[0], 0.0);
}

TEST_F(DialectTest, OspWorkOffsetWordsAndCodes) {
    UseDialect("OSP");
    FillWorkOffsets();
    // G15 H: the entry becomes the origin at once; the block end moves with it.
    Run({"G01 X50. F100", "G15 H2"});
    EXPECT_EQ(NcRun.modal.workOffsetIndex, 2);
    EXPECT_DOUBLE_EQ(WorkOrigin.axis[0], 200.0);
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[0], -50.0);
    // H beyond the table is refused.
    Run({"G15 H201", "G16 H99999"});
    EXPECT_EQ(NcRun.modal.workOffsetIndex, 2);
    // G16 H: the end moves at the end of the block; the origin stays.
    Run({"G16 H3 X10."});
    EXPECT_EQ(NcRun.modal.workOffsetIndex, 3);
    EXPECT_DOUBLE_EQ(WorkOrigin.axis[0], 200.0);
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[0], -90.0);
    // Motion codes 100 to 103 and the OSP arcs; return levels by M52, M53, M54.
    Run({"G101 X0", "G132 X10. Y0 L5."});
    EXPECT_EQ(CurrentMotion.motionType, kMotionClockwise);
    EXPECT_NEAR(CurrentMotion.sweep, M_PI, 1e-12);
    Run({"M53"});
    EXPECT_EQ(NcRun.modal.returnLevel, 2);
    Run({"M54"});
    EXPECT_EQ(NcRun.modal.returnLevel, 0);
    // RTS in the main program returns nowhere and ends nothing.
    Run({"RTS", "G100 X1."});
    EXPECT_EQ(NcRun.status.endState, 0);
    EXPECT_EQ(CurrentMotion.motionType, kMotionRapid);
}

TEST_F(DialectTest, OspDiameterValuesAndTurningModes) {
    UseDialect("OSP");
    NcRun.modal.diameterProgramming = 1;
    Run({"G01 X40. Y5. F100"});
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[0], 20.0);
    // Under polar interpolation (G137) and in the G138 mode X is taken as written.
    Run({"G137", "X40."});
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[0], 40.0);
    Run({"G136", "G138", "X30. Y5."});
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[0], 30.0);
    // G136 ends the G138 mode with the Y value zeroed; diameters are halved again.
    Run({"G136"});
    EXPECT_EQ(CurrentMotion.end.axis[1], 0.0);
    Run({"X30."});
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[0], 15.0);
    // OSP cycle codes G274, G283 and G284 are the cycles 74, 83 and 84.
    Run({"G283 X0 Z-5. R1."});
    EXPECT_EQ(NcRun.modal.cycleCode, 83);
    EXPECT_EQ(NcRun.modal.gCode, 83);
}

TEST_F(DialectTest, OspG469BuildsThePlaneOnlyUnderItsCode) {
    UseDialect("OSP");
    // Without P1 the plane code is 0: the block builds and switches on nothing.
    Run({"G469 X10. I0 J90. K0"});
    EXPECT_EQ(CurrentWorkPlane.active, 0);
    EXPECT_EQ(NcRun.transforms.tiltedPlaneReady, 0);
    // P1 takes the controller's code 313: the Euler plane (here a quarter turn about X, which
    // takes the tool axis to -Y) is built about the origin the block names and switched on.
    Run({"G469 X10. Y0 Z0 I0 J90. K0 P1"});
    EXPECT_EQ(NcRun.modal.gCode, 682);
    EXPECT_EQ(CurrentWorkPlane.active, 1);
    EXPECT_DOUBLE_EQ(CurrentWorkPlane.origin[0], 10.0);
    const double* q = CurrentWorkPlane.matrix;
    EXPECT_NEAR(q[6], 0.0, 1e-12);
    EXPECT_NEAR(q[7], -1.0, 1e-12);
    EXPECT_NEAR(q[8], 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(CurrentMotion.end.axis[0], 0.0);  // the block's X is the origin, no move
    Run({"G468"});
    EXPECT_EQ(NcRun.modal.gCode, 69);
    EXPECT_EQ(CurrentWorkPlane.active, 0);
    // A Q word replaces a non-zero code: any code but 313 builds nothing.
    Run({"G469 X50. I0 J45. K0 P1 Q312"});
    EXPECT_EQ(DialectState.ospPlaneCode, 312);
    EXPECT_EQ(CurrentWorkPlane.active, 0);
    // The old plane is untouched, its origin and angles included.
    EXPECT_NEAR(CurrentWorkPlane.matrix[7], -1.0, 1e-12);
    EXPECT_DOUBLE_EQ(CurrentWorkPlane.origin[0], 10.0);
    EXPECT_DOUBLE_EQ(CurrentWorkPlane.planeAngles[1], 90.0);
    // Q313 brings the code back; without P1 the plane is built but stays off.
    Run({"G469 I0 J45. K0 Q313"});
    EXPECT_EQ(CurrentWorkPlane.active, 0);
    EXPECT_NEAR(CurrentWorkPlane.matrix[7], -std::sqrt(0.5), 1e-12);
    // A controller without the code: P1 takes 0, and a Q word cannot replace a zero code.
    UseDialect("OSP");
    NcController.ospTiltedPlaneCode = 0;
    Run({"G469 I0 J90. K0 P1 Q313"});
    EXPECT_EQ(DialectState.ospPlaneCode, 0);
    EXPECT_EQ(CurrentWorkPlane.active, 0);
    EXPECT_EQ(NcRun.transforms.tiltedPlaneReady, 0);
}

TEST_F(DialectTest, OspRotationAboutYAndCylindricalPlanes) {
    UseDialect("OSP");
    // G127 needs the G138 mode and no polar interpolation.
    Run({"G127 B90."});
    EXPECT_EQ(NcRun.transforms.rotationCount, 0);
    Run({"G137", "G138", "G127 B90."});
    EXPECT_EQ(NcRun.transforms.rotationCount, 0);
    // With them: a turn about Y (axes Z, X) about the origin by the B angle; the block's own B
    // is the angle, not a rotary move.
    Run({"G136", "G138", "G127 B90."});
    ASSERT_EQ(NcRun.transforms.rotationCount, 1);
    const RotationLevel& level = NcRun.transforms.rotation[0];
    EXPECT_EQ(level.kind, 2);
    EXPECT_EQ(level.axes.first, 2);
    EXPECT_EQ(level.axes.second, 0);
    EXPECT_EQ(level.angle, 90.0);
    EXPECT_EQ(level.sine, 1.0);
    EXPECT_EQ(level.cosine, 0.0);
    for (double c : level.centre) {
        EXPECT_EQ(c, 0.0);
    }
    // A second G127 while the rotation stands adds no level; G126 marks it for cancelling.
    Run({"G127 B45."});
    EXPECT_EQ(NcRun.transforms.rotationCount, 1);
    Run({"G126"});
    EXPECT_EQ(NcRun.transforms.transformState, 3);
    // G119: cylindrical interpolation; a turning machine leaves its ZX plane for YZ.
    UseDialect("OSP");
    NcController.lathe = 1;
    Run({"G18", "G119"});
    EXPECT_EQ(NcRun.modal.cylindricalInterpolation, 1);
    EXPECT_EQ(NcRun.modal.planeCode, 19);
    // G138 returns to the turning plane; M109 leaves it again.
    Run({"G138"});
    EXPECT_EQ(NcRun.modal.planeCode, 18);
    Run({"M109"});
    EXPECT_EQ(NcRun.modal.planeCode, 19);
    EXPECT_EQ(NcRun.modal.plane.normal, 0);
    // Without cylindrical interpolation M109 keeps the plane; a milling machine's G119 takes ZX.
    UseDialect("OSP");
    NcController.lathe = 0;
    Run({"G18", "M109"});
    EXPECT_EQ(NcRun.modal.planeCode, 18);
    Run({"G17", "G119"});
    EXPECT_EQ(NcRun.modal.planeCode, 18);
}

TEST_F(DialectTest, MazakHeadAngleModeTurnsTheHeadOffset) {
    UseDialect("MAZAK");
    KinematicsController.mazak = 1;
    NcController.automaticToolOffset = 1;
    CurrentToolValues.lengthOffset = 80.0;
    const double* v = CurrentToolValues.fixedHeadOffset;
    // Without the mode a milling head keeps the tool along Z whatever the angle.
    SetToolVectorFromAngle(90);
    EXPECT_EQ(v[0], 0.0);
    EXPECT_EQ(v[2], 80.0);
    // P1 after T sets the mode: the head offset turns by the B value of the block end.
    CurrentMotion.end.axis[3] = 90.0;
    Run({"T1 P1"});
    EXPECT_EQ(DialectState.mazakHeadAngleMode, 1);
    EXPECT_EQ(v[0], 80.0);
    EXPECT_EQ(v[2], 0.0);
    // A P without T or G43 is a dwell and leaves the mode; P0 after G43 clears it.
    Run({"P0"});
    EXPECT_EQ(DialectState.mazakHeadAngleMode, 1);
    hOffset[1] = 50.0f;
    Run({"G43 H1 P0"});
    EXPECT_EQ(DialectState.mazakHeadAngleMode, 0);
    EXPECT_EQ(v[0], 0.0);
    EXPECT_EQ(v[2], 50.0);
}

TEST_F(DialectTest, ToolCentreEndsWhereTheMachineStands) {
    // HEIDENHAIN M129 after M128: every register restarts from the machine position taken
    // back through the kinematics (machine minus origin, Z less the gauge length).
    UseDialect("HEIDENHAIN");
    NcController.rotaryType = 1;
    Run({"M128", "L X+10 Y+5 Z+0 F100"});
    EXPECT_EQ(NcRun.modal.toolCenterPointMode, 1);
    CurrentToolValues.gaugeLength = 30.0;
    WorkOrigin.axis[0] = 100.0;
    const double machine[5] = {117.0, 8.0, 40.0, 0.0, 0.0};
    for (int i = 0; i < 5; ++i) {
        CurrentMachinePose.machine.axis[i] = machine[i];
    }
    Run({"M129"});
    EXPECT_EQ(NcRun.modal.toolCenterPointMode, 0);
    EXPECT_EQ(NcRun.modal.gCode, 49);
    for (const MotionPosition* p : {&CurrentMotion.start, &CurrentMotion.end,
                                    &CurrentMotion.lastPosition, &NcRun.programmed}) {
        EXPECT_DOUBLE_EQ(p->axis[0], 17.0);
        EXPECT_DOUBLE_EQ(p->axis[1], 8.0);
        EXPECT_DOUBLE_EQ(p->axis[2], 10.0);
    }
}

TEST_F(DialectTest, DialectProgramsWithHostileWordsEndCleanly) {
    // Words cut off at the line's end, unclosed lists and quotes, and huge numbers in each
    // dialect: the programs end without an error code and the invariants hold after each call.
    const char* programs[][2] = {
        {"HEIDENHAIN",
         "CYCL DEF\nCYCL DEF 7.1\nCYCL DEF 7.1 #\nPLANE\nPLANE SPATIAL\nTOOL CALL\nCALL PGM\n"
         "CC\nC\nLP PR\nQ\nQ1=\nP01\nDR\nRL\nF MAX\nCYCL CALL\nM99\n"
         "Q99999999999999999999999999=1\nEND PGM\n"},
        {"SIEMENS", "CYCLE800(\nCYCLE800\nT=\"\nT=\nA3=\nORIRPY\nTRAFOOF\nSUPA\n"},
        {"OSP", "CALL OO88\nCALL O\nCALL\nRTS\nG15 H\nG71 Z\nNCYL\n"},
        {"MAZAK", "G10.9\nG10.9 X\nG123.1\nT1 P1\nG43 P\n"},
    };
    for (const auto& program : programs) {
        SCOPED_TRACE(program[0]);
        UseDialect(program[0]);
        const std::string trace = Trace(program[1]);
        EXPECT_NE(trace.find("END state 2 error 0"), std::string::npos) << trace;
    }
    // A polar circle about a pole on the tool itself has no radius: the arc alarm, no move.
    UseDialect("HEIDENHAIN");
    EXPECT_EQ(Trace("CC\nCP IPA+90 DR+\nL X+1\n"), "END state 0 error 1\n");
}

}  // namespace
}  // namespace mirexa
