// The controller definition file: defaults, value words, the keyword order, bounded tables,
// wait files, long and CRLF lines, and the bundled sample.
#include "config/controller_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "definition_test_support.h"
#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"
#include "nc/nc_session.h"

namespace mirexa {
namespace {

using testing::DefinitionFileTest;
using testing::HookCalls;

using ControllerFileTest = DefinitionFileTest;

TEST_F(ControllerFileTest, EmptyFileGivesTheDefaultsAndMissingFileKeepsTheDerivedValues) {
    Controller.axes.planeCodes[0] = -19;  // left over from an earlier reading
    ReadController("");
    EXPECT_EQ(Controller.status, 1);
    EXPECT_EQ(Controller.leastInputIncrement, 1000);
    EXPECT_DOUBLE_EQ(Controller.coordinateTolerance, 0.0005);
    EXPECT_EQ(Controller.initialPlane, 17);
    EXPECT_EQ(Controller.initialMachinePlane, 17);
    EXPECT_EQ(Controller.workOffsetIndex, 1);
    EXPECT_EQ(Controller.resetWorkOffsetIndex, 1);
    EXPECT_EQ(ToolOffsets.type, 3);
    EXPECT_EQ(Controller.endOfRecord, ' ');
    EXPECT_EQ(Controller.cuttingEnabled, 1);
    EXPECT_EQ(Controller.concaveArcFeed, 1);
    EXPECT_EQ(Controller.axes.planeCodes[0], 17);
    EXPECT_STREQ(Controller.axes.labels[0], "\tX");
    EXPECT_STREQ(Controller.axes.labels[2], "\tZ");
    EXPECT_EQ(Controller.axes.toolLengthAxis, 2);
    EXPECT_EQ(HookCalls, (std::vector<std::string>{"freeNcProgramText", "clearWorkOffsetShifts",
                                                   "applyControllerStartState",
                                                   "applyCurrentWorkOffset", "markViewDirty"}));
    EXPECT_TRUE(Controller.fileTime.valid);

    Controller.axes.planeCodes[0] = -19;
    HookCalls.clear();
    ReadControllerFileAt(RunSession, RunKinematics, scratch_.At("missing.ctl"));
    EXPECT_EQ(Controller.status, -1);
    EXPECT_FALSE(Controller.fileTime.valid) << "a missing file has no time";
    EXPECT_EQ(Controller.axes.planeCodes[0], -19) << "nothing is derived without a file";
    EXPECT_EQ(HookCalls, (std::vector<std::string>{"freeNcProgramText", "clearWorkOffsetShifts"}));
}

TEST_F(ControllerFileTest, ValuesNotResetKeepTheirLastReadingAndTheRestReturnToDefaults) {
    ReadController(
        "NAME(MAX20)=MILL A\nR-TOLERANCE=0.02\nSMOOTH ANGLE=5\nG73_D=2\nG83_D=3\n"
        "WARNING LEVEL=0\nCHECK F0=YES\nMEMORY D01=1.5\nMEMORY G54=(1,2,3,0,0)\n");
    EXPECT_EQ(Controller.name, "MILL A");
    EXPECT_EQ(Controller.checkF0, 1);
    EXPECT_FLOAT_EQ(ToolOffsets.d[1], 1.5f);
    EXPECT_DOUBLE_EQ(WorkOffsetTable[1].axis[2], 3.0);
    ReadController("\n");
    EXPECT_EQ(Controller.name, "MILL A");
    EXPECT_FLOAT_EQ(Controller.arcRadiusTolerance, 0.02f);
    EXPECT_FLOAT_EQ(Controller.smoothAngle, 5.0f);
    EXPECT_FLOAT_EQ(Controller.g73Peck, 2.0f);
    EXPECT_FLOAT_EQ(Controller.g83Peck, 3.0f);
    EXPECT_EQ(Controller.warningLevel, 1);
    EXPECT_EQ(Controller.checkF0, 0);
    EXPECT_FLOAT_EQ(ToolOffsets.d[1], 0.0f) << "offsets are cleared at every reading";
    EXPECT_DOUBLE_EQ(WorkOffsetTable[1].axis[2], 0.0);
}

TEST_F(ControllerFileTest, UnitWordsMatchWholeNumbers) {
    struct Case {
        const char* line;
        int increment;
        double tolerance;
    };
    const Case cases[] = {
        {"UNIT=1/10000\n", 10000, 0.00005}, {"UNIT=0.01\n", 100, 0.0005},
        {"UNIT = .001\n", 1000, 0.0005},    {"UNIT=1/100000\n", 1000, 0.0005},
        {"UNIT=0.1\n", 1000, 0.0005},       {"UNIT(MM)=1/10000\n", 1000, 0.0005},
        {"unit=1/100\n", 100, 0.0005},
    };
    for (const Case& c : cases) {
        ReadController(c.line);
        EXPECT_EQ(Controller.leastInputIncrement, c.increment) << c.line;
        EXPECT_EQ(InputIncrements.leastInputIncrement, c.increment) << c.line;
        EXPECT_DOUBLE_EQ(Controller.coordinateTolerance, c.tolerance) << c.line;
    }
    ReadController("UNIT(SCALE)=.00001\nUNIT(DEG)=1/1000000\n");
    EXPECT_EQ(Controller.scaleIncrement, 100000);
    EXPECT_EQ(Controller.angleIncrement, 1000) << "1/1000000 is neither listed spelling";
    EXPECT_EQ(Controller.leastInputIncrement, 1000) << "UNIT(SCALE) is no UNIT line";
}

TEST_F(ControllerFileTest, DecimalPointRuleAndDialects) {
    const std::pair<const char*, int> rules[] = {
        {"DECIMAL POINT=NORMAL\n", 3}, {"DECIMAL POINT=NO\n", 0}, {"DECIMAL POINT=YES\n", 1},
        {"DECIMAL POINT=MAYBE\n", 2},  {"DECIMAL POINT=\n", 2},
    };
    for (const auto& [line, rule] : rules) {
        ReadController(line);
        EXPECT_EQ(Controller.decimalPointRule, rule) << line;
    }

    ReadController("PRODUCT=HEIDENHAIN\nEOR=%\nDECIMAL POINT=NO\n");
    EXPECT_EQ(Controller.dialect.number, 11);
    EXPECT_EQ(Controller.dialect.heidenhain, 1);
    EXPECT_EQ(Controller.endOfRecord, ' ');
    EXPECT_EQ(Controller.decimalPointRule, 3);
    EXPECT_EQ(KinematicsController.heidenhain, 1);

    ReadController("PRODUCT=OSP\nEOR = %\n");
    EXPECT_EQ(Controller.dialect.number, 1);
    EXPECT_EQ(Controller.workOffsetIndex, 0);
    EXPECT_EQ(Controller.resetWorkOffsetIndex, 0);
    EXPECT_EQ(Controller.endOfRecord, '%');

    ReadController("PRODUCT=MAZAK\nTCL COORDINATE=TABLE\n");
    EXPECT_EQ(Controller.dialect.number, 0);
    EXPECT_EQ(Controller.dialect.mazak, 1);
    EXPECT_EQ(Controller.tcpProgramSide, 0);
    EXPECT_EQ(RunKinematics.modes.tclCoordinate, 0);

    ReadController("PRODUCT=NORMAL\n");
    EXPECT_EQ(Controller.dialect.number, 0);
    EXPECT_EQ(Controller.dialect.osp + Controller.dialect.mazak + Controller.dialect.siemens, 0);
}

TEST_F(ControllerFileTest, ReplaceEntriesTakeTheFirstQuoteKind) {
    std::string text =
        "REPLACE \"G05.1\" \"\"\n"
        "REPLACE 'A\"B' \"x\" 'C'\n"  // the single quote comes first
        "REPLACE \"OPEN\" \n"         // incomplete
        "REPLACE \"\" \"empty from\"\n";
    ReadController(text);
    ASSERT_EQ(ReplaceTable.size(), 2u);
    EXPECT_EQ(ReplaceTable[0].from, "G05.1");
    EXPECT_EQ(ReplaceTable[0].to, "");
    EXPECT_EQ(ReplaceTable[1].from, "A\"B");
    EXPECT_EQ(ReplaceTable[1].to, "C");

    text.clear();
    for (int i = 0; i < 32; ++i) {
        text += "REPLACE \"#" + std::to_string(i) + "\" \"\"\n";
    }
    ReadController(text);
    ASSERT_EQ(ReplaceTable.size(), kReplaceTableCapacity);
    EXPECT_EQ(ReplaceTable.back().from, "#29");
}

TEST_F(ControllerFileTest, CheckWordsSkipsAndStopStrings) {
    ReadController("CHECK RADIUS OFFSET=STOP+OPEN\nOPTIONAL BLOCK SKIP=0,3\n");
    EXPECT_EQ(Controller.radiusCheckStop, 1);
    EXPECT_EQ(Controller.radiusCheckListMode, 2);
    EXPECT_EQ(Controller.radiusCheckAny, 1);
    EXPECT_EQ(OptionalBlockSkipFlags.on[0], 1);
    EXPECT_EQ(OptionalBlockSkipFlags.on[3], 1);
    EXPECT_EQ(OptionalBlockSkipFlags.on[1], 0);
    EXPECT_EQ(OptionalBlockSkipFlags.anyOn, 1);

    ReadController("CHECK RADIUS OFFSET=LIST OPEN\nOPTIONAL BLOCK SKIP=12,-1,9,1e30\n");
    EXPECT_EQ(Controller.radiusCheckStop, 0);
    EXPECT_EQ(Controller.radiusCheckListMode, 1) << "without + the scan ends at the first word";
    EXPECT_EQ(Controller.radiusCheckAny, 1);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(OptionalBlockSkipFlags.on[i], 0) << "switch " << i;
    }
    EXPECT_EQ(OptionalBlockSkipFlags.on[9], 1) << "numbers outside 0..9 name no switch";

    ReadController("CHECK RADIUS OFFSET=PENKI\nCHECK CHAR=\"#()\"\n");
    EXPECT_EQ(Controller.radiusCheckPaint, 1);
    EXPECT_EQ(Controller.radiusCheckAny, 1);
    EXPECT_EQ(Controller.allowedCharacters, "#()");

    ReadController(
        "STOP CHARACTER=M06, T01\nSTOP CHARACTER = G28\tM30 TOOLONG12345\n"
        "STOP CHARACTER M99\n");
    EXPECT_EQ(Controller.stopStrings, (std::vector<std::string>{"M06", "T01", "G28", "M30"}))
        << "strings over 10 characters and lines without = are passed over";
    std::string many = "STOP CHARACTER=";
    for (int i = 0; i < 25; ++i) {
        many += "S" + std::to_string(i) + " ";
    }
    ReadController(many + "\n");
    EXPECT_EQ(Controller.stopStrings.size(), kStopStringCapacity);
}

TEST_F(ControllerFileTest, TypeLatheAndInitialPlaneFollowFileOrder) {
    ReadController("INITIAL PLANE=XY\nTYPE=LATHE\n");
    EXPECT_EQ(Controller.initialPlane, 18);
    EXPECT_EQ(Controller.initialMachinePlane, 18);
    EXPECT_EQ(Controller.lathe[0], 1);
    ReadController("TYPE=LATHE\nINITIAL PLANE=G17\n");
    EXPECT_EQ(Controller.initialPlane, 17);
    ReadController("TYPE=WIRE\n");
    EXPECT_EQ(Controller.wire, 1);
    EXPECT_EQ(Controller.tclVectorInterpolation, 1);
}

TEST_F(ControllerFileTest, ClearanceLinesNeedTwoDigitCodes) {
    ReadController(
        "G73 CLEARANCE=2.5\nG89 CLEARANCE 4\nG7 CLEARANCE=1\nG7X CLEARANCE=9\n"
        "G8- CLEARANCE=9\ng81 clearance=1.5\n");
    EXPECT_DOUBLE_EQ(Controller.clearance[3], 2.5);
    EXPECT_DOUBLE_EQ(Controller.clearance[19], 4.0);
    EXPECT_DOUBLE_EQ(Controller.clearance[11], 1.5);
    double sum = 0;
    for (double c : Controller.clearance) {
        sum += c;
    }
    EXPECT_DOUBLE_EQ(sum, 8.0) << "lines without a digit at position 2 set nothing";
}

TEST_F(ControllerFileTest, CutAndLatheCodes) {
    ReadController("CUT ON CODE=M51\n");
    EXPECT_EQ(Controller.cutOnCode, "M51");
    EXPECT_EQ(Controller.cuttingEnabled, 0);
    EXPECT_EQ(Controller.resetCuttingEnabled, 0);

    ReadController("CUT OFF CODE = M50\nCUT ON CODE\t=M51 (cutting)\n");
    EXPECT_EQ(Controller.cutOffCode, "M50");
    EXPECT_EQ(Controller.cutOnCode, "M51");
    EXPECT_EQ(Controller.cuttingEnabled, 1);

    ReadController(
        "LATHE ON CODE=M101\nLATHE2 OFF CODE=M202\nLATHE1 OFF CODE=M102\nLATHEX ON CODE=M9\n"
        "CUT ON CODE=ABCDEFGHIJKLMNOPQRSTUVWXYZ\n");
    EXPECT_EQ(Controller.latheOnCode[0], "M101");
    EXPECT_EQ(Controller.latheOffCode[0], "M102");
    EXPECT_EQ(Controller.latheOffCode[1], "M202");
    EXPECT_EQ(Controller.latheOnCode[1], "");
    EXPECT_EQ(Controller.cutOnCode, "") << "a code longer than 20 characters is not taken";
    EXPECT_EQ(Controller.cuttingEnabled, 1);
}

TEST_F(ControllerFileTest, WaitFilesArePlainNamesDeletedInTheControllerFolder) {
    const std::string ready = scratch_.Write("ctl/ready.flg", "1");
    const std::string outside = scratch_.Write("precious.txt", "keep");
    const std::string absolute = scratch_.Write("abs.txt", "keep");
    const std::string text =
        "WAIT M-CODE=100,ready.flg,101, 102 ../precious.txt,103," + absolute + ",104,sub/x\n";
    scratch_.Write("ctl/waitfile", "1");
    ReadController(text, "ctl/test.ctl");
    ASSERT_EQ(Controller.waitMCodes.size(), 5u);
    EXPECT_EQ(Controller.waitMCodes[0].code, 100);
    EXPECT_EQ(Controller.waitMCodes[0].fileName, "ready.flg");
    EXPECT_EQ(Controller.waitMCodes[1].code, 101);
    EXPECT_EQ(Controller.waitMCodes[2].code, 102);
    EXPECT_EQ(Controller.waitMCodes[2].fileName, "waitfile")
        << "a name written behind its number without a comma is passed over";
    EXPECT_EQ(Controller.waitMCodes[3].fileName, "waitfile") << "a path is refused";
    EXPECT_EQ(Controller.waitMCodes[4].fileName, "waitfile");
    EXPECT_FALSE(std::filesystem::exists(ready));
    EXPECT_FALSE(std::filesystem::exists(scratch_.At("ctl/waitfile")));
    EXPECT_TRUE(std::filesystem::exists(outside));
    EXPECT_TRUE(std::filesystem::exists(absolute));
    const std::string log = LogText();
    EXPECT_NE(log.find("Wait file deleted: " + scratch_.At("ctl/ready.flg")), std::string::npos);
    EXPECT_NE(log.find("not a plain file name"), std::string::npos);

    std::string path;
    ASSERT_EQ(GetWaitFilePath(0, &path), 1);
    EXPECT_EQ(path, scratch_.At("ctl/ready.flg"));
    EXPECT_EQ(GetWaitFilePath(5, &path), 0);

    std::string many = "WAIT M-CODE=";
    for (int i = 0; i < 12; ++i) {
        many += std::to_string(200 + i) + ",";
    }
    ReadController(many + "\n");
    EXPECT_EQ(Controller.waitMCodes.size(), kWaitMCodeCapacity);
}

TEST_F(ControllerFileTest, LongLinesAndCrlfLines) {
    // The tail of an over-long line must not be read as a line of its own.
    std::string comment = "REM " + std::string(1019, 'x');
    ReadController(comment + "D01=5.0\nD02=7\n");
    EXPECT_FLOAT_EQ(ToolOffsets.d[1], 0.0f);
    EXPECT_FLOAT_EQ(ToolOffsets.d[2], 7.0f);
    EXPECT_NE(LogText().find("line 1 is longer than"), std::string::npos);

    ReadController(
        "NAME(MAX20)=CR NAME\r\nCUT OFF CODE=M50\r\nSTOP CHARACTER=M00\r\nEOR=%\r\n"
        "CHAR(X)=U\r\n");
    EXPECT_EQ(Controller.name, "CR NAME");
    EXPECT_EQ(Controller.cutOffCode, "M50");
    EXPECT_EQ(Controller.stopStrings, std::vector<std::string>{"M00"});
    EXPECT_EQ(Controller.endOfRecord, '%');
    EXPECT_EQ(Controller.axes.programLetters[0], 'U');

    // A last line without its line feed is read whole.
    ReadController("NAME(MAX20)=LAST");
    EXPECT_EQ(Controller.name, "LAST");
    ReadController("NAME(MAX20)=" + std::string(400, 'N') + "\n");
    EXPECT_EQ(Controller.name.size(), kControllerNameChars);
}

TEST_F(ControllerFileTest, ModesRotaryAxesAndNameColour) {
    ReadController(
        "NAME COLOR=10,20,30,1e30,-5,255.9\nROTARY1 DIRECTION=REVERSE\nROTARY2 ROUTE=SHORTEST\n"
        "ROTARY1 RANGE=-120,30\nTOOL CENTER CONTROL=TYPE2\nAUTOMATIC TOOL OFFSET=YES\n"
        "ANGLE DECISION=FANUC-2\nFEEDRATE=AUTO2\nTOOL OFFSET MEMORY = a\nSCALE EFFECT(Y)=OFF\n"
        "SCALE EFFECT(Q)=OFF\nSCALE(Z)=0.5\nG00MODE=ASYNC1\nRUN TYPE=MEMORY\n");
    EXPECT_EQ(Controller.nameColor[0], 10);
    EXPECT_EQ(Controller.nameColor[2], 30);
    EXPECT_EQ(Controller.nameBackground[0], 255) << "huge values are clamped";
    EXPECT_EQ(Controller.nameBackground[1], 0);
    EXPECT_EQ(Controller.nameBackground[2], 255);
    EXPECT_EQ(Controller.rotaryDirection[0], -1);
    EXPECT_EQ(CurrentMachine.rotary[0].sign, -1);
    EXPECT_EQ(CurrentMachine.rotary[1].sign, 1);
    EXPECT_EQ(RunKinematics.modes.shortestPath[1], 1);
    EXPECT_EQ(Controller.rotaryRangeGiven[0], 1);
    EXPECT_DOUBLE_EQ(Controller.rotaryRange[0][0], -120.0);
    EXPECT_DOUBLE_EQ(Controller.rotaryRange[0][1], 30.0);
    EXPECT_EQ(Controller.toolCenterControl, 2);
    EXPECT_EQ(Controller.resetToolCenterControl, 2);
    EXPECT_EQ(RunKinematics.modes.automaticToolOffset, 1);
    EXPECT_EQ(KinematicsController.angleDecision, 1);
    EXPECT_EQ(Controller.feedWordMode, 3);
    EXPECT_EQ(ToolOffsets.type, 1);
    EXPECT_EQ(Controller.scaleEffect[0], 1);
    EXPECT_EQ(Controller.scaleEffect[1], 0);
    EXPECT_DOUBLE_EQ(Controller.scale[2], 0.5);
    EXPECT_EQ(Controller.rapidType, 1);
    EXPECT_EQ(Controller.runTypeMemory, 1);
}

TEST_F(ControllerFileTest, BundledSampleReadsItsValues) {
    ReadControllerFileAt(RunSession, RunKinematics, std::string(MIREXA_SAMPLES) + "/vmc3.ctl");
    ASSERT_EQ(Controller.status, 1);
    EXPECT_EQ(Controller.name, "VMC3 STANDARD");
    EXPECT_EQ(Controller.dialect.number, 0);
    EXPECT_EQ(Controller.decimalPointRule, 3);
    EXPECT_EQ(Controller.endOfRecord, '%');
    EXPECT_EQ(Controller.stopOption, 2);
    EXPECT_EQ(ToolOffsets.type, 3);
    EXPECT_FLOAT_EQ(ToolOffsets.d[2], 4.0f);
    EXPECT_FLOAT_EQ(ToolOffsets.dWear[2], -0.01f);
    EXPECT_FLOAT_EQ(ToolOffsets.h[3], 110.0f);
    EXPECT_FLOAT_EQ(ToolOffsets.hWear[3], -0.05f);
    EXPECT_DOUBLE_EQ(WorkOffsetTable[0].axis[2], -0.5);
    EXPECT_DOUBLE_EQ(WorkOffsetTable[1].axis[0], -250.0);
    EXPECT_DOUBLE_EQ(WorkOffsetTable[2].axis[0], -100.0);
    EXPECT_DOUBLE_EQ(WorkOffsetTable[10].axis[0], 50.25);
    EXPECT_FLOAT_EQ(FeedMemory[1], 800.0f);
    EXPECT_DOUBLE_EQ(Controller.clearance[3], 1.0);
    ASSERT_EQ(ReplaceTable.size(), 1u);
    EXPECT_EQ(ReplaceTable[0].from, "G05.1Q1");
    EXPECT_TRUE(LogText().empty()) << LogText();
}

}  // namespace
}  // namespace mirexa
