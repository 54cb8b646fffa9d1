// Block interpreter: word order, G and M codes, offsets and work coordinates, and words whose
// values would index outside a table.
#include "nc/block_interpreter.h"

#include <gtest/gtest.h>

#include "config/offset_tables.h"
#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"
#include "nc_test_fixture.h"

namespace mirexa {
namespace {

using BlockInterpreterTest = testing::NcInterpreterTest;

TEST_F(BlockInterpreterTest, WordOrderDecides) {
    // G81 after G01 leaves a cycle block; G01 after G81 cancels the cycle within the line.
    Run({"G01 G81 X0 Y0 R1. Z-5."});
    EXPECT_EQ(RunSession.run.modal.cycleCode, 81);
    Run({"G81 X0 G01"});
    EXPECT_EQ(RunSession.run.modal.cycleCode, kNoCycle);
    EXPECT_EQ(RunKinematics.motion.motionType, 1);
    // Nothing behind G65 is read.
    Run({"G65 P9010 A1. X7."});
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 0.0);
    // H read before G43 takes offset 0 of a compensation that is still off; G43 then uses it.
    hOffset[1] = 100.0f;
    hWear[1] = -0.5f;
    hOffset[2] = 50.0f;
    Run({"H1 G43"});
    EXPECT_EQ(RunKinematics.toolValues.lengthOffset, 99.5);
    Run({"G49", "H2", "G43 H1"});
    EXPECT_EQ(RunKinematics.toolValues.lengthOffset, 99.5);
    Run({"G44 H2"});
    EXPECT_EQ(RunKinematics.toolValues.lengthOffset, -50.0);
    EXPECT_EQ(RunKinematics.modes.lengthCompensation, 1);
    Run({"G49"});
    EXPECT_EQ(RunKinematics.toolValues.lengthOffset, 0.0);
    EXPECT_EQ(RunKinematics.modes.lengthCompensation, 0);
}

TEST_F(BlockInterpreterTest, LengthAxisByOffsetType) {
    Run({"G18"});
    EXPECT_EQ(RunKinematics.modes.lengthCompensationAxis, 2);  // FANUC-A: the fixed axis
    RunSession.controller.lengthOffsetType = 1;
    Run({"G18", "G43 H0"});
    EXPECT_EQ(RunKinematics.modes.lengthCompensationAxis, 1);  // FANUC-B: the plane normal
    RunSession.controller.lengthOffsetType = 2;
    Run({"G17", "G43 H0 Y5."});
    EXPECT_EQ(RunKinematics.modes.lengthCompensationAxis,
              1);  // FANUC-C: the axis word that follows
    Run({"G43 H0"});
    EXPECT_EQ(RunKinematics.modes.lengthCompensationAxis, 2);
}

TEST_F(BlockInterpreterTest, ReversedPlaneSwapsArcDirection) {
    RunSession.controller.axes.planeCodes[0] = -17;
    ResetInterpreterState(RunSession);
    EXPECT_EQ(RunSession.run.modal.planeCode, -17);
    Run({"G02 X10. R5."});
    EXPECT_EQ(RunKinematics.motion.motionType, 3);
    Run({"G03 X0. R5."});
    EXPECT_EQ(RunKinematics.motion.motionType, 2);
}

TEST_F(BlockInterpreterTest, UnlistedDecimalCodesAreIgnored) {
    // G91.1 is not G91: the program stays absolute. The same for G90.1, G41.1 and G92.1.
    Run({"G90 G91.1 X10.", "X20."});
    EXPECT_EQ(RunSession.run.modal.incremental, 0);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 20.0);
    Run({"G91 G90.1 X1."});
    EXPECT_EQ(RunSession.run.modal.incremental, 1);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 21.0);
    Run({"G90 G41.1 D1", "G92.1 X0 Y0"});
    EXPECT_EQ(RunSession.run.modal.compensationSide, 0);
    EXPECT_EQ(RunKinematics.workOrigin.axis[0], 0.0);  // X0 Y0 are a move, no coordinate setting
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 0.0);
    // Listed forms and the point forms of plain codes still work.
    Run({"G1. X5.", "G17.0 G2 X5. I0"});
    EXPECT_EQ(RunKinematics.motion.motionType, 2);
}

TEST_F(BlockInterpreterTest, NegativeAndHugeIndicesAreRefused) {
    UsedCodes.recording = 1;
    Run({"G-1 M-1 G200 M250 G1 M3"});
    EXPECT_EQ(UsedCodes.g[1], 1);
    EXPECT_EQ(UsedCodes.m[3], 1);
    EXPECT_EQ(RunSession.run.modal.spindleDirection, 1);
    Run({"H5 D7", "H-3 D-2"});
    EXPECT_EQ(RunSession.run.modal.lengthOffsetNumber, 5);
    EXPECT_EQ(RunSession.run.modal.radiusOffsetNumber, 7);
    Run({"H1000 D99999999999"});
    EXPECT_EQ(RunSession.run.modal.lengthOffsetNumber, 0);
    EXPECT_EQ(RunSession.run.modal.radiusOffsetNumber, 0);
    Run({"T5", "T201", "T-1", "T99999999999"});
    EXPECT_EQ(RunSession.run.modal.nextTool, 5);
    Run({"G30 P2"});
    EXPECT_EQ(RunSession.run.modal.referencePointIndex, 1);
    Run({"G30 P0", "G30 P5", "G30 P-7"});
    EXPECT_EQ(RunSession.run.modal.referencePointIndex, 1);
    RunSession.controller.feedWordMode = 1;
    feedMemory[12] = 345.0f;
    Run({"F12", "F1000", "F-1"});
    EXPECT_EQ(RunKinematics.motion.feed, 345.0);
    EXPECT_EQ(RunSession.run.modal.feedCode, 12);
    Run({"G10 L2 P201 X5.", "G10 L2 P-1 X5.", "G10 L20 P195 X5.", "G10 L12 P1000 R3.",
         "G10 L12 P-1 R3."});
    for (int i = 0; i < kWorkOffsetEntries; ++i) {
        EXPECT_EQ(RunSession.run.transforms.workOffsets[i].axis[0], 0.0) << i;
    }
    Run({"G54.1 P195", "G54.1 P0", "G54 P-4"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 1);
    RunSession.controller.directToolDigits = 9;  // beyond the guard: the plain T form
    Run({"T12"});
    EXPECT_EQ(RunSession.run.modal.nextTool, 12);
}

TEST_F(BlockInterpreterTest, DirectToolForm) {
    RunSession.controller.directToolDigits = 2;
    hOffset[1] = 120.0f;
    hWear[1] = 0.25f;
    Run({"T0501"});
    EXPECT_EQ(RunSession.run.modal.nextTool, 5);
    EXPECT_EQ(RunSession.run.modal.toolNumber, 5);
    EXPECT_EQ(RunSession.run.modal.lengthOffsetNumber, 1);
    EXPECT_EQ(RunSession.run.modal.lengthCompensation, 1);
    EXPECT_EQ(RunKinematics.toolValues.lengthOffset, 120.25);
    Run({"T0700"});
    EXPECT_EQ(RunSession.run.modal.nextTool, 7);
    EXPECT_EQ(RunSession.run.modal.lengthCompensation, 0);
    EXPECT_EQ(RunKinematics.toolValues.lengthOffset, 0.0);
    Run({"T99900"});  // tool 999 lies outside the magazine
    EXPECT_EQ(RunSession.run.modal.nextTool, 7);
}

TEST_F(BlockInterpreterTest, FeedModes) {
    feedMemory[1] = 100.0f;
    feedMemory[12] = 1200.0f;
    const struct {
        int mode;
        const char* word;
        double feed;
    } cases[] = {{0, "F12", 12.0},  {1, "F12", 1200.0}, {1, "F12.7", 1200.0},
                 {2, "F1", 100.0},  {2, "F12", 12.0},   {3, "F12", 1200.0},
                 {3, "F 12", 12.0}, {3, "F123", 123.0}, {0, "F2.5", 2.5}};
    for (const auto& c : cases) {
        RunSession.controller.feedWordMode = c.mode;
        Run({c.word});
        EXPECT_EQ(RunKinematics.motion.feed, c.feed) << c.mode << " " << c.word;
        EXPECT_EQ(RunSession.run.modal.programmedFeed, c.feed);
    }
}

TEST_F(BlockInterpreterTest, DataSettingByMemoryType) {
    // Work offsets: L2 P entry, L20 P + 6, incremental values add up.
    Run({"G10 L2 P1 X10. Y20.", "G10 L20 P3 Z-5.", "G91 G10 L2 P1 X1.", "G90"});
    EXPECT_EQ(RunSession.run.transforms.workOffsets[1].axis[0], 11.0);
    EXPECT_EQ(RunSession.run.transforms.workOffsets[1].axis[1], 20.0);
    EXPECT_EQ(RunSession.run.transforms.workOffsets[9].axis[2], -5.0);
    // Tool offsets with R, by the memory type.
    struct Case {
        int type;
        const char* block;
        float* table;
        float* other;
    };
    const Case cases[] = {
        {1, "G10 L10 P3 R2.5", dOffset, hOffset}, {2, "G10 L10 P3 R2.5", dOffset, hOffset},
        {2, "G10 L11 P3 R2.5", dWear, hWear},     {3, "G10 L10 P3 R2.5", hOffset, nullptr},
        {3, "G10 L11 P3 R2.5", hWear, nullptr},   {3, "G10 L1 P3 R2.5", hWear, nullptr},
        {3, "G10 L12 P3 R2.5", dOffset, nullptr}, {3, "G10 L13 P3 R2.5", dWear, nullptr},
    };
    for (const Case& c : cases) {
        for (float* t : {dOffset, dWear, hOffset, hWear}) {
            t[3] = 0.0f;
        }
        RunSession.controller.offsets.memoryType = c.type;
        Run({c.block});
        EXPECT_EQ(c.table[3], 2.5f) << c.type << " " << c.block;
        if (c.other != nullptr) {
            EXPECT_EQ(c.other[3], 2.5f) << c.type << " " << c.block;
        }
        Run({"G91", c.block, "G90"});
        EXPECT_EQ(c.table[3], 5.0f) << c.type << " " << c.block;
        const int written =
            (dOffset[3] != 0) + (dWear[3] != 0) + (hOffset[3] != 0) + (hWear[3] != 0);
        EXPECT_EQ(written, c.other != nullptr ? 2 : 1) << c.type << " " << c.block;
    }
}

TEST_F(BlockInterpreterTest, WorkOffsetSelection) {
    WorkOffsetTable[1] = {{100, 0, 0, 0, 0}};
    WorkOffsetTable[2] = {{200, 50, 0, 0, 0}};
    WorkOffsetTable[9] = {{0, 0, -30, 0, 0}};
    WorkOffsetTable[7] = {{1, 1, 1, 0, 0}};
    ResetInterpreterState(RunSession);
    EXPECT_EQ(RunKinematics.workOrigin.axis[0], 100.0);
    Run({"G00 X10. Y10."});
    // G55: the program position is re-based, so the machine stays where it is.
    Run({"G55"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 2);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 10.0 + 100.0 - 200.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[1], 10.0 - 50.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[0] + RunKinematics.workOrigin.axis[0], 110.0);
    Run({"G54.1 P3"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 9);
    Run({"G54 P3"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 9);
    Run({"G54.1X0"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 7);
    Run({"G54 .1"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 1);
    Run({"G54.1 X0"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 1);  // a blank behind ".1": plain G54
    // The index survives a reset.
    Run({"G56"});
    ResetInterpreterState(RunSession);
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 3);
}

TEST_F(BlockInterpreterTest, CoordinateSettingLocalAndMachineCoordinates) {
    Run({"G00 X100. Y50."});
    Run({"G92 X0 Y0"});
    EXPECT_EQ(RunKinematics.workOrigin.axis[0], 100.0);
    EXPECT_EQ(RunKinematics.workOrigin.axis[1], 50.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 0.0);
    EXPECT_EQ(RunSession.run.transforms.coordinateShift.axis[0], 100.0);
    // Scaling does not act on G92 values.
    Run({"G51 X0 Y0 P2000", "G92 X20.", "G50"});
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 20.0);
    EXPECT_EQ(RunKinematics.workOrigin.axis[0], 80.0);
    // G52 shifts the current work offset; the position is re-based.
    Run({"G52 X10.", "X0"});
    EXPECT_EQ(RunKinematics.workOrigin.axis[0], 90.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 0.0);
    // G53 is a one-shot machine-coordinate move.
    Run({"G53 X300. Y0"});
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 300.0 - 90.0);
    EXPECT_EQ(RunKinematics.modes.machineCoordinateMove, 1);
    Run({"X1."});
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 1.0);
    EXPECT_EQ(RunKinematics.modes.machineCoordinateMove, 0);
}

TEST_F(BlockInterpreterTest, MoveFormOfCoordinateSetting) {
    RunSession.controller.g92Mode = 1;
    ResetInterpreterState(RunSession);
    Run({"G00 X100.", "G92 X0", "G92 X-10."});
    EXPECT_EQ(RunKinematics.workOrigin.axis[0], 10.0);  // only the second G92 moves the origin
    EXPECT_EQ(RunSession.run.transforms.firstG92Position.axis[0], 0.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], -10.0);
}

TEST_F(BlockInterpreterTest, ScalingAboutACentre) {
    RunSession.controller.scaleIncrement = 1000;
    Run({"G51 X10. Y0 Z0 P2000", "G01 X20."});
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 30.0);
    Run({"G50", "X20."});
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 20.0);
    // Per-axis factors, and an axis the controller keeps out of scaling.
    RunSession.controller.scaleEffect[1] = 0;
    Run({"G51 X0 Y0 I2000 J3000", "X5. Y5."});
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 10.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[1], 5.0);
}

TEST_F(BlockInterpreterTest, IncrementalAndAxisWordForms) {
    InputIncrements.leastInputIncrement = 1000;
    Run({"G91 X1000", "X1.", "G90 X-25"});
    EXPECT_EQ(RunKinematics.motion.end.axis[0], -0.025);
    RunSession.controller.axisReversed[1] = 1;
    RunSession.controller.axes.incrementalLetters[0] = 'U';
    Run({"Y5. U2.", "U2."});
    EXPECT_EQ(RunKinematics.motion.end.axis[1], -5.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], -0.025 + 4.0);
    // A dwell's X is its time, not an axis.
    Run({"G04 X1.5"});
    EXPECT_EQ(RunSession.run.modal.dwellTime, 1.5);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], -0.025 + 4.0);
    Run({"G04 P2500"});
    EXPECT_EQ(RunSession.run.modal.dwellTime, 2.5);
}

TEST_F(BlockInterpreterTest, UserCodeStrings) {
    RunSession.controller.latheOnCode[0] = "M400";
    RunSession.controller.latheOffCode[0] = "M401";
    RunSession.controller.cutOffCode = "M410";
    RunSession.controller.cutOnCode = "M411";
    RunSession.controller.waitMCodes = {{120, "waitfile"}};
    Run({"M400 X1."});
    EXPECT_EQ(RunSession.run.userSwitch[0], 1);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 1.0);
    EXPECT_EQ(RunSession.run.modal.mCode, -1);  // matched as a code string, not as M400
    Run({"M410", "M401"});
    EXPECT_EQ(RunSession.run.cuttingEnabled, 0);
    EXPECT_EQ(RunSession.run.userSwitch[0], 0);
    Run({"M411 M120"});
    EXPECT_EQ(RunSession.run.cuttingEnabled, 1);
    EXPECT_EQ(RunSession.run.waitMCode, 0);
}

}  // namespace
}  // namespace mirexa
