// The machine definition file: defaults, rotary axes and their tilt against hand-worked values,
// the fixed angle head, strokes, the tool change route, the tool base point, and the sample.
#include "config/machine_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "config/axis_label_table.h"
#include "definition_test_support.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"

namespace mirexa {
namespace {

using testing::DefinitionFileTest;
using testing::HookCalls;

using MachineFileTest = DefinitionFileTest;

const double kSqrtHalf = std::sqrt(0.5);

TEST_F(MachineFileTest, EmptyFileGivesDefaultsAndMissingFileKeepsTheDefinition) {
    Machine.route.steps = 7;  // left by an earlier reading
    ReadMachine("");
    EXPECT_EQ(Machine.status, 1);
    EXPECT_EQ(Machine.atcType, 1);
    EXPECT_EQ(Machine.rotaryType, 0);
    EXPECT_EQ(Machine.tableType[0], 1);
    EXPECT_EQ(Machine.tableType[1], 2);
    EXPECT_EQ(Machine.headType[0], 2);
    EXPECT_EQ(Machine.headType[1], 2);
    EXPECT_DOUBLE_EQ(Machine.toolDirection[2], 1.0);
    EXPECT_EQ(Machine.headRotation, 0);
    EXPECT_EQ(Machine.route.steps, 7) << "without a tool change position the route is not parsed";
    EXPECT_EQ(Machine.rotary[0].ownAxis, 0);
    EXPECT_EQ(Machine.rotary[1].ownAxis, 2);
    EXPECT_EQ(CurrentMachine.rotary[1].axis, 2);
    EXPECT_EQ(HookCalls, (std::vector<std::string>{"markViewDirty", "markSceneRebuild"}));
    // The reading ends with the axis labels of the controller's letters.
    EXPECT_STREQ(AxisLabelTable.labels[2][0], "\tXmt");

    ReadMachine("NAME=KEEP ME\nSTROKE RANGE(X)=-1,1\n");
    ReadMachineFileAt(scratch_.At("missing.mtl"), 1);
    EXPECT_EQ(Machine.status, -1);
    EXPECT_EQ(Machine.name, "KEEP ME");
    EXPECT_EQ(Machine.strokeGiven[0], 1);
}

TEST_F(MachineFileTest, RotaryAxisLettersFollowTheController) {
    ReadMachine("ROTARY AXIS1=B\nROTARY AXIS2 C\n");
    EXPECT_EQ(Machine.rotary[0].ownAxis, 1);
    EXPECT_EQ(Machine.rotary[0].otherAxes[0], 2);
    EXPECT_EQ(Machine.rotary[0].otherAxes[1], 0);
    EXPECT_DOUBLE_EQ(Machine.rotary[0].direction[1], 1.0);
    EXPECT_EQ(Controller.axes.rotaryLetters[0], 'B');
    EXPECT_STREQ(Controller.axes.labels[3], "\tB");
    EXPECT_EQ(CurrentMachine.rotary[0].axis, 1);
    EXPECT_EQ(CurrentMachine.rotary[0].planeP, 2);
    EXPECT_EQ(KinematicsController.axisLetters[4], 'C');

    ReadController("ROTARY1 CHAR=W\nB-CODE=-B\nROTARY1 DIRECTION=REVERSE\n");
    ReadMachine("ROTARY AXIS1=B\n");
    EXPECT_EQ(Controller.axes.rotaryLetters[0], 'W');
    EXPECT_EQ(Machine.rotary[0].ownAxis, 1);
    EXPECT_EQ(Controller.axes.rotarySignFlags[0], 0);
    EXPECT_EQ(CurrentMachine.rotary[0].sign, -1);

    ReadController("B-CODE=-B\n");
    ReadMachine("ROTARY AXIS1=Y\n");
    EXPECT_EQ(Controller.axes.rotarySignFlags[0], 1) << "resolved by the letter the machine gave";
}

TEST_F(MachineFileTest, AngleHeadAndToolDirection) {
    ReadMachine("ANGLE HEAD(A)=30\nANGLE HEAD(B)=45\n");
    EXPECT_DOUBLE_EQ(Machine.headAngles[0], 0.0);
    EXPECT_DOUBLE_EQ(Machine.headAngles[1], 45.0);
    EXPECT_EQ(Machine.headRotation, 1);
    EXPECT_NEAR(Machine.toolDirection[0], kSqrtHalf, 1e-15);
    EXPECT_DOUBLE_EQ(Machine.toolDirection[1], 0.0);
    EXPECT_NEAR(Machine.toolDirection[2], kSqrtHalf, 1e-15);
    EXPECT_EQ(CurrentMachine.toolDirectionTilted, 1);
    EXPECT_EQ(CurrentMachine.headRotation, 1);

    ReadMachine("TOOL DIRECTION=1,0,0\n");
    EXPECT_DOUBLE_EQ(Machine.headAngles[2], 90.0);
    EXPECT_DOUBLE_EQ(Machine.headAngles[0], 90.0);
    EXPECT_EQ(Machine.headRotation, 1);

    double d[3];
    AnglesToRotation(90, 0, 0, d);
    EXPECT_EQ(d[1], -1.0);
    EXPECT_EQ(d[2], 0.0);
    AnglesToRotation(0, -90, 0, d);
    EXPECT_EQ(d[0], -1.0);
    AnglesToRotation(30, 0, 90, d);  // (0, -1/2, cos 30) turned a quarter about Z
    EXPECT_NEAR(d[0], 0.5, 1e-15);
    EXPECT_NEAR(d[1], 0.0, 1e-15);
    EXPECT_NEAR(d[2], std::sqrt(3.0) / 2, 1e-15);
    AnglesToRotation(0, 0, 45, d);
    EXPECT_EQ(d[2], 1.0);

    double ax = -1, az = -1;
    const double back[3] = {0, -1, 1};
    DirectionToAngles(back, &ax, &az);
    EXPECT_DOUBLE_EQ(az, 180.0);
    EXPECT_NEAR(ax, 45.0, 1e-12);
    const double slanted[3] = {1, 1, 0};
    DirectionToAngles(slanted, &ax, &az);
    EXPECT_NEAR(az, 45.0, 1e-12);
    EXPECT_DOUBLE_EQ(ax, 90.0);
}

TEST_F(MachineFileTest, TiltOfTheRotaryAxes) {
    ReadMachine("AXIS1 ANGLE=30\nAXIS2 ANGLE=45\n");
    EXPECT_EQ(Machine.rotary[0].angleFlag, 1);
    EXPECT_EQ(Machine.rotary[1].angleFlag, 0) << "only the first angle is used";
    EXPECT_NEAR(Machine.rotary[0].direction[0], std::sqrt(3.0) / 2, 1e-15);
    EXPECT_NEAR(Machine.rotary[0].direction[1], 0.5, 1e-15);
    EXPECT_EQ(CurrentMachine.rotary[0].tiltKind, kTiltAngle);
    EXPECT_EQ(CurrentMachine.rotary[1].tiltKind, kTiltNone);

    // (1, 1, 1) for an axis about X: elevation atan(1/sqrt 2), azimuth 45 degrees, and the
    // direction the unit vector itself.
    ReadMachine("ROTARY AXIS1=A\nAXIS1 VECTOR=1,1,1\n");
    const RotaryAxisDefinition& a = Machine.rotary[0];
    EXPECT_EQ(a.vectorFlag, 1);
    EXPECT_NEAR(a.tiltCos, std::sqrt(2.0 / 3.0), 1e-15);
    EXPECT_NEAR(a.tiltSin, 1 / std::sqrt(3.0), 1e-15);
    EXPECT_NEAR(a.azimuthCos, kSqrtHalf, 1e-15);
    EXPECT_NEAR(a.azimuthSin, kSqrtHalf, 1e-15);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(a.direction[i], 1 / std::sqrt(3.0), 1e-15) << i;
    }
    EXPECT_EQ(CurrentMachine.rotary[0].tiltKind, kTiltVector);

    // An axis about Y measures its azimuth towards X: (3, 4, 0) has azimuth atan2(3, 4).
    ReadMachine("ROTARY AXIS1=B\nAXIS1 VECTOR=3,4,0\n");
    EXPECT_NEAR(Machine.rotary[0].azimuthSin, 0.6, 1e-15);
    EXPECT_NEAR(Machine.rotary[0].azimuthCos, 0.8, 1e-15);
    EXPECT_NEAR(Machine.rotary[0].direction[0], 0.6, 1e-15);
    EXPECT_NEAR(Machine.rotary[0].direction[1], 0.8, 1e-15);

    // A vector straight up has no horizontal part: tilt 90 degrees, finite values.
    ReadMachine("AXIS1 VECTOR=0,0,2\n");
    EXPECT_NEAR(Machine.rotary[0].tiltCos, 0.0, 1e-15);
    EXPECT_DOUBLE_EQ(Machine.rotary[0].tiltSin, 1.0);
    EXPECT_TRUE(std::isfinite(Machine.rotary[0].azimuthCos));

    // Axis 2 turns about Z by default: a vector cannot tilt it.
    ReadMachine("AXIS2 VECTOR=1,0,1\n");
    EXPECT_EQ(Machine.rotary[1].vectorFlag, 0);
    EXPECT_EQ(CurrentMachine.rotary[1].tiltKind, kTiltNone);
    EXPECT_NE(LogText().find("AXIS2 VECTOR"), std::string::npos);

    // The angle of an axis wins over its vector.
    ReadMachine("AXIS1 ANGLE=10\nAXIS1 VECTOR=0,1,1\n");
    EXPECT_EQ(CurrentMachine.rotary[0].tiltKind, kTiltAngle);
}

TEST_F(MachineFileTest, StrokesAndAxisDirection) {
    ReadMachine(
        "STROKE RANGE(X)=-500,500\nROTARY AXIS1=B\nSTROKE RANGE(B)=-30,120\nSTROKE RANGE(Q)=1,2\n"
        "AXIS DIRECTION=RIGHT+Z,BACK+X\n");
    EXPECT_EQ(Machine.anyStroke, 1);
    EXPECT_EQ(Machine.strokeGiven[0], 1);
    EXPECT_DOUBLE_EQ(Machine.strokes[0][0], -500.0);
    EXPECT_DOUBLE_EQ(Machine.strokes[0][1], 500.0);
    EXPECT_EQ(Machine.strokeGiven[3], 1);
    EXPECT_DOUBLE_EQ(Machine.strokes[3][1], 120.0);
    EXPECT_EQ(Machine.strokeGiven[4], 0);
    EXPECT_EQ(CurrentMachine.strokes.enabled[3], 1);
    EXPECT_DOUBLE_EQ(CurrentMachine.strokes.min[3], -30.0);
    EXPECT_EQ(Machine.axisDirection, 11);

    std::string many;
    for (int i = 0; i < 8; ++i) {
        many += "STROKE RANGE(Q)=" + std::to_string(i) + ",9\n";
    }
    ReadMachine(many + "AXIS DIRECTION=UP\n");
    EXPECT_EQ(Machine.axisDirection, 0);
    EXPECT_EQ(Machine.strokeGiven[3] + Machine.strokeGiven[4], 0);
}

TEST_F(MachineFileTest, ToolChangeRoute) {
    ReadMachine("TOOL CHANGE ROUTE=Z-XY\nTOOL CHANGE POSITION=1,2,3,4,5\n");
    EXPECT_EQ(Machine.route.steps, 2);
    EXPECT_EQ(Machine.route.moves[0][2], 1);
    EXPECT_EQ(Machine.route.moves[1][0] + Machine.route.moves[1][1], 2);
    EXPECT_DOUBLE_EQ(Machine.toolChangePosition[4], 5.0);

    ToolChangeRoute route;
    ParseToolChangeRoute("", &route);
    EXPECT_EQ(route.steps, 2);
    EXPECT_EQ(route.moves[1][1], 1);
    ParseToolChangeRoute("Z - XY", &route);
    EXPECT_EQ(route.steps, 1) << "a blank ends the text; blank rotary letters match nothing";
    EXPECT_EQ(route.moves[0][3] + route.moves[0][4], 0);
    Controller.axes.rotaryLetters[0] = 'B';
    ParseToolChangeRoute("Z-XY-B", &route);
    EXPECT_EQ(route.steps, 3);
    EXPECT_EQ(route.moves[2][3], 1);
    ParseToolChangeRoute("Z-X-Y-Z-X-Y-Z", &route);
    EXPECT_EQ(route.steps, kToolChangeRouteSteps);

    ReadMachine("TOOL CHANGE ROUTE= Z-X-Y-Z-X-Y\nTOOL CHANGE POSITION=0,0,0\n");
    EXPECT_EQ(Machine.routeText, "Z-X-Y-Z-X-") << "the route text holds ten characters";
}

TEST_F(MachineFileTest, ToolChangerWords) {
    ReadMachine("ATC TYPE=DIRECT T 1,24\n");
    EXPECT_EQ(Machine.atcType, 1);
    EXPECT_EQ(Machine.tWordMode, 4);
    EXPECT_EQ(Machine.tWordNumber, 24);
    ReadMachine("ATC TYPE=DIRECT");
    EXPECT_EQ(Machine.tWordMode, 0);
    ReadMachine("ATC TYPE=WAIT2\n");
    EXPECT_EQ(Machine.atcType, 3);
    ReadMachine("ATC TYPE=WAIT\nMAXIMUM FEEDRATE=8000\nMAXIMUM FEEDRATE(Z)=5000\n");
    EXPECT_EQ(Machine.atcType, 2);
    EXPECT_FLOAT_EQ(Machine.maxFeed[1], 8000.0f);
    EXPECT_FLOAT_EQ(Machine.maxFeed[2], 5000.0f);
    ReadController("PRODUCT=HEIDENHAIN\n");
    ReadMachine("ATC TYPE=WAIT\n");
    EXPECT_EQ(Machine.atcType, 1);
}

TEST_F(MachineFileTest, RotaryTypeSetsTheBasePointOnlyWhenTheSettingsDidNot) {
    Settings.toolBasePointGiven = 0;
    ReadMachine("ROTARY TYPE=HEAD\n");
    EXPECT_EQ(Settings.toolBasePoint, 4);
    ReadMachine("NAME=3 AXIS\n");
    EXPECT_EQ(Settings.toolBasePoint, 0) << "a machine without ROTARY TYPE returns to BOTTOM";
    Settings.toolBasePointGiven = 1;
    Settings.toolBasePoint = 2;
    ReadMachine("ROTARY TYPE=HEAD\n");
    EXPECT_EQ(Settings.toolBasePoint, 2);
}

TEST_F(MachineFileTest, TablesHeadsAndTheSecondTableCentre) {
    ReadMachine(
        "ROTARY TYPE=TABLE\nTABLE POSITION=10,20,30\nTABLE OFFSET=1,2,3\nTABLE TYPE=NO\n"
        "TABLE2 TYPE=AXIS\nHEAD1 TYPE=NO\nMOVE(X)=TABLE\nMOVE(Y)=TABLE\nMOVE(Z)=HEAD\n"
        "TOOL HOLDER OFFSET=12.5\n");
    EXPECT_EQ(Machine.rotaryType, 2);
    EXPECT_DOUBLE_EQ(Machine.secondTableCentre[0], 11.0);
    EXPECT_DOUBLE_EQ(Machine.secondTableCentre[1], 22.0);
    EXPECT_DOUBLE_EQ(Machine.secondTableCentre[2], 30.0) << "not along rotary axis 2 (Z)";
    EXPECT_DOUBLE_EQ(CurrentMachine.secondTableCentre[1], 22.0);
    EXPECT_EQ(Machine.tableType[0], 0);
    EXPECT_EQ(Machine.tableType[1], 3);
    EXPECT_EQ(Machine.headType[0], 0);
    EXPECT_EQ(Machine.headType[1], 2);
    EXPECT_EQ(Machine.tableCarriedCount, 2);
    EXPECT_DOUBLE_EQ(Machine.toolHolderOffset, 12.5);
}

TEST_F(MachineFileTest, NamesAndLineEnds) {
    ReadMachine("NAME = MILL 5\r\nRAPID(X)=100\r\n");
    EXPECT_EQ(Machine.name, "MILL 5");
    EXPECT_FLOAT_EQ(Machine.rapid[0], 100.0f);
    EXPECT_EQ(HookCalls.front(), "announceMachineName MILL 5");
    ReadMachine("NAME=" + std::string(300, 'M') + "\n");
    EXPECT_EQ(Machine.name.size(), kMachineNameChars);
}

TEST_F(MachineFileTest, BundledSampleLoadsWithoutAMessage) {
    std::filesystem::current_path(MIREXA_SAMPLES);
    ReadControllerFileAt(RunSession, RunKinematics, "vmc3.ctl");
    ReadMachineFileAt("vmc3.mtl", 1);
    ASSERT_EQ(Machine.status, 1);
    EXPECT_EQ(Machine.name, "VMC3 vertical machining centre");
    EXPECT_EQ(Machine.atcType, 2);
    EXPECT_EQ(Machine.route.steps, 2);
    EXPECT_EQ(Machine.tableType[0], 0);
    EXPECT_EQ(Machine.anyStroke, 1);
    EXPECT_DOUBLE_EQ(Machine.strokes[2][0], -450.0);
    EXPECT_EQ(MachineModelNames.slots[kModelTable], "table.stl");
    ASSERT_EQ(MachineModelNames.viceNames.size(), 1u);
    EXPECT_DOUBLE_EQ(MachineModelNames.slotOffsets[kModelTable][2], -90.52);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(LogText().empty()) << LogText();
}

}  // namespace
}  // namespace mirexa
