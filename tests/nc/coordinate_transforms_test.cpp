// Block coordinate transforms: plane table, exact rotations, tilted plane matrices against
// independent rotation matrices, work offsets through the table, length offsets per tool base
// point, the reset, and the automatic tool offset applied once each way.
#include "nc/coordinate_transforms.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "config/offset_tables.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"
#include "nc/step_driver.h"
#include "nc_test_fixture.h"

namespace mirexa {
namespace {

using CoordinateTransformsTest = testing::NcInterpreterTest;

using Matrix = std::array<double, 9>;

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix r = {};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) {
                r[3 * i + j] += a[3 * i + k] * b[3 * k + j];
            }
        }
    }
    return r;
}

// The right-handed rotation about machine axis `axis` by `deg`.
Matrix Rotation(int axis, double deg) {
    const double c = std::cos(deg * M_PI / 180), s = std::sin(deg * M_PI / 180);
    Matrix r = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const int p = (axis + 1) % 3, q = (axis + 2) % 3;
    r[3 * p + p] = c, r[3 * p + q] = -s, r[3 * q + p] = s, r[3 * q + q] = c;
    return r;
}

TEST_F(CoordinateTransformsTest, PlaneTable) {
    const struct {
        int codes[3];
        int program;
        int plane;
        PlaneAxes axes;
    } cases[] = {
        {{17, 18, 19}, 18, 18, {2, 0, 1}},     {{17, 18, 19}, 19, 19, {1, 2, 0}},
        {{17, -18, 19}, 18, -18, {2, 0, 1}},   {{-17, -18, 19}, 17, -17, {0, 1, 2}},
        {{-18, -17, -19}, 17, -18, {2, 0, 1}}, {{-18, -17, -19}, 19, -19, {1, 2, 0}},
        {{17, 18, 19}, 42, 19, {1, 2, 0}},
    };
    for (const auto& c : cases) {
        for (int i = 0; i < 3; ++i) {
            RunSession.controller.axes.planeCodes[i] = c.codes[i];
        }
        RunSession.run.modal.planeCode = c.program;
        SelectPlaneAxes(RunSession);
        EXPECT_EQ(RunSession.run.modal.planeCode, c.plane) << c.program;
        EXPECT_EQ(RunSession.run.modal.plane.first, c.axes.first) << c.program;
        EXPECT_EQ(RunSession.run.modal.plane.second, c.axes.second) << c.program;
        EXPECT_EQ(RunSession.run.modal.plane.normal, c.axes.normal) << c.program;
    }
}

TEST_F(CoordinateTransformsTest, RotationsAtQuarterTurnsAreExact) {
    double point[3] = {1, 0, 0};
    const double centre[3] = {0, 0, 0};
    RotatePointInPlane(point, {0, 1, 2}, 0.0, 1.0, centre, 0);
    EXPECT_EQ(point[0], 0.0);
    EXPECT_EQ(point[1], 1.0);
    RunKinematics.plane.rotationOrderCode = 57;
    RunKinematics.plane.planeAngles[0] = 90;
    ASSERT_EQ(BuildTiltedPlaneMatrix(RunSession, 0), 1);
    const double expected[9] = {1, 0, 0, 0, 0, 1, 0, -1, 0};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(RunKinematics.plane.matrix[i], expected[i]) << i;
        EXPECT_EQ(RunKinematics.plane.transposed[i], expected[3 * (i % 3) + i / 3]) << i;
    }
}

TEST_F(CoordinateTransformsTest, TiltedPlaneOrdersMatchRotationMatrices) {
    const unsigned seed = 977;
    std::mt19937 rng(seed);
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::uniform_real_distribution<double> angle(-180, 180);
    // Codes with bit 7 set (155 and up) apply the first two angles only, the second negated.
    const struct {
        int code;
        int axes[3];
        bool twoAngles;
    } orders[] = {{57, {0, 1, 2}, false},  {45, {0, 2, 1}, false}, {54, {1, 0, 2}, false},
                  {30, {1, 2, 0}, false},  {39, {2, 0, 1}, false}, {27, {2, 1, 0}, false},
                  {125, {2, 1, 0}, false}, {185, {0, 1, 2}, true}, {173, {0, 2, 1}, true},
                  {155, {2, 1, 0}, true}};
    for (const auto& order : orders) {
        for (int n = 0; n < 50; ++n) {
            TiltedWorkPlane& plane = RunKinematics.plane;
            for (double& a : plane.planeAngles) {
                a = angle(rng);
            }
            plane.rotationOrderCode = order.code;
            ASSERT_EQ(BuildTiltedPlaneMatrix(RunSession, 0), 1);
            Matrix frame = {1, 0, 0, 0, 1, 0, 0, 0, 1};
            for (int step = 0; step < (order.twoAngles ? 2 : 3); ++step) {
                const double a = plane.planeAngles[step];
                frame = Multiply(frame,
                                 Rotation(order.axes[step], order.twoAngles && step == 1 ? -a : a));
            }
            // The plane's rows are the turned axes: the columns of the frame.
            for (int r = 0; r < 3; ++r) {
                for (int k = 0; k < 3; ++k) {
                    EXPECT_NEAR(plane.matrix[3 * r + k], frame[3 * k + r], 1e-12) << order.code;
                }
            }
        }
    }
    // Codes that name no order never reach the matrix.
    const TiltedWorkPlane before = RunKinematics.plane;
    for (int code : {0, 58, 63, 100, 128, 154, 255, 256, -27}) {
        RunKinematics.plane.rotationOrderCode = code;
        EXPECT_EQ(BuildTiltedPlaneMatrix(RunSession, 0), 0) << code;
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(RunKinematics.plane.matrix[i], before.matrix[i]);
        }
    }
}

TEST_F(CoordinateTransformsTest, EulerPlaneOfG682) {
    const double angles[3] = {30, 45, 60};
    BuildEulerPlaneMatrix(RunSession, angles);
    const Matrix frame = Multiply(Multiply(Rotation(2, 30), Rotation(0, 45)), Rotation(2, 60));
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(RunKinematics.plane.matrix[3 * r + k], frame[3 * k + r], 1e-12);
        }
    }
}

TEST_F(CoordinateTransformsTest, WorkOffsetsThroughTheTableRefuseUnknownTargets) {
    RunSession.run.transforms.workOffsets[1] = {{10, 20, 30, 0, 0}};
    RunSession.run.modal.workOffsetIndex = 1;
    const MotionPosition position = {{0, 0, 0, 15, 25}};
    for (int target : {0, -1, 49, 54, 60, 1000}) {
        EXPECT_EQ(ApplyWorkOffsetWithTable(RunSession, position, target), 0) << target;
    }
    for (int i = 2; i < kWorkOffsetEntries; ++i) {
        EXPECT_EQ(RunSession.run.transforms.workOffsets[i].axis[0], 0.0) << i;
    }
    EXPECT_EQ(ApplyWorkOffsetWithTable(RunSession, position, 1), 1);
    EXPECT_EQ(RunSession.run.transforms.workOffsets[7].axis[0], 10.0);  // no rotary table: unturned
    EXPECT_EQ(RunSession.run.transforms.workOffsets[7].axis[3], 15.0);
    EXPECT_EQ(ApplyWorkOffsetWithTable(RunSession, position, 59), 1);
    EXPECT_EQ(RunSession.run.transforms.workOffsets[6].axis[4], 25.0);
    const double origin[3] = {0, 0, 0}, angles[2] = {0, 0};
    EXPECT_EQ(CopyWorkOffsetWithTable(RunSession, 53, origin, angles, 55), 0);
    EXPECT_EQ(CopyWorkOffsetWithTable(RunSession, 54, origin, angles, 60), 0);
    EXPECT_EQ(CopyWorkOffsetWithTable(RunSession, 54, origin, angles, 56), 1);
    EXPECT_EQ(RunSession.run.transforms.workOffsets[3].axis[2], 30.0);
}

TEST_F(CoordinateTransformsTest, LengthOffsetByToolBasePoint) {
    NcCurrentToolView& tool = RunSession.controller.currentTool;
    tool = {12, 1, 3.0, 2.5, 80.0, 120.0};
    RunSession.controller.toolHolderOffset = 50.0;
    RunSession.words.toolDeltaLength = -0.2;
    const struct {
        int basePoint;
        int autoPosition;
        int type;
        double h;
        double wear;
        double length;
    } cases[] = {
        {0, 0, 1, 0, 0, 0},         {1, 0, 1, 3.0, 0, 3.0},
        {1, 0, 2, 0, 0, 0},         {2, 0, 1, 2.5, 0, 2.5},
        {3, 1, 1, 77.0, 0, 77.0},   {3, 1, 2, 80.0, 0, 80.0},
        {3, 2, 1, 77.5, 0, 77.5},   {3, 0, 1, 80.0, -0.2, 79.8},
        {4, 1, 1, 117.0, 0, 167.0}, {4, 0, 4, 120.0, -0.2, 169.8},
    };
    for (const auto& c : cases) {
        RunSession.controller.toolBasePoint = c.basePoint;
        RunSession.controller.autoLengthPosition = c.autoPosition;
        tool.type = c.type;
        hOffset[12] = 99.0f;
        SetLengthOffsetForCurrentTool(RunSession);
        EXPECT_EQ(RunSession.run.modal.lengthOffsetNumber, 12);
        EXPECT_FLOAT_EQ(hOffset[12], static_cast<float>(c.h)) << c.basePoint << c.autoPosition;
        EXPECT_FLOAT_EQ(hWear[12], static_cast<float>(c.wear)) << c.basePoint << c.autoPosition;
        EXPECT_NEAR(RunKinematics.toolValues.lengthOffset, c.length, 1e-12)
            << c.basePoint << c.autoPosition;
    }
    tool.number = 5000;  // beyond the offset memory: nothing written, the number kept
    SetLengthOffsetForCurrentTool(RunSession);
    EXPECT_EQ(RunSession.run.modal.lengthOffsetNumber, 12);
}

TEST_F(CoordinateTransformsTest, ResetChoosesTheLengthAxisAndKeepsOffsetNumbers) {
    RunSession.controller.initialPlane = 18;
    RunSession.controller.lengthOffsetType = 1;  // FANUC-B: the normal of the current plane
    ResetInterpreterState(RunSession);
    EXPECT_EQ(RunKinematics.modes.lengthCompensationAxis, 1);
    RunSession.controller.lengthOffsetType = 0;  // FANUC-A: the fixed axis
    ResetInterpreterState(RunSession);
    EXPECT_EQ(RunKinematics.modes.lengthCompensationAxis, 2);
    RunSession.run.modal.workOffsetIndex = 4;
    RunSession.run.modal.lengthOffsetNumber = 8;
    RunSession.run.modal.radiusOffsetNumber = 9;
    RunSession.run.modal.incremental = 1;
    RunSession.controller.decimalPointRule = 3;
    RunSession.controller.endOfRecord = '%';
    ResetInterpreterState(RunSession);
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 4);
    EXPECT_EQ(RunSession.run.modal.lengthOffsetNumber, 8);
    EXPECT_EQ(RunSession.run.modal.radiusOffsetNumber, 9);
    EXPECT_EQ(RunSession.run.modal.incremental, 0);
    EXPECT_EQ(RunSession.run.modal.planeCode, 18);
    EXPECT_EQ(RunSession.words.inputUnitMode, 3);
    EXPECT_EQ(RunSession.run.status.started, 0);
}

// The reset after tool centre point control: HEIDENHAIN and SIEMENS take the machine position
// back through the kinematics (machine minus work origin; Z less the gauge length minus the
// shift); the other dialects the tool point plus the length offset along the tool axis.
TEST_F(CoordinateTransformsTest, ResetToTheStartPointByDialect) {
    const double origin[5] = {100.0, 50.0, -20.0, 0.0, 0.0};
    const double machine[5] = {110.0, 60.0, 40.0, 0.0, 0.0};
    for (int dialect = 0; dialect < 3; ++dialect) {
        SCOPED_TRACE(dialect);
        ClearAll();
        RunSession.controller.dialect.heidenhain = dialect == 1;
        RunSession.controller.dialect.siemens = dialect == 2;
        for (int i = 0; i < 5; ++i) {
            RunKinematics.workOrigin.axis[i] = origin[i];
            RunKinematics.pose.machine.axis[i] = machine[i];
        }
        RunKinematics.toolValues.gaugeLength = 30.0;
        RunKinematics.toolValues.toolShift = 5.0;
        RunKinematics.toolValues.lengthOffset = 7.0;
        // A tool point that the machine position does not give: the plain dialect uses it.
        RunKinematics.pose.tool.point[0] = 120.0;
        RunKinematics.pose.tool.point[1] = 40.0;
        RunKinematics.pose.tool.point[2] = 3.0;
        RunKinematics.pose.tool.axis[2] = 1.0;
        RunKinematics.motion.end.axis[3] = 15.0;
        ResetPositionsToStartPoint(RunSession);
        const double expected[3] = {dialect == 0 ? 20.0 : 10.0, dialect == 0 ? -10.0 : 10.0,
                                    dialect == 0 ? 30.0 : 35.0};
        for (const MotionPosition* p : {&RunKinematics.motion.start, &RunKinematics.motion.end,
                                        &RunKinematics.motion.lastPosition,
                                        &RunSession.run.programmed, &RunKinematics.pose.program}) {
            for (int i = 0; i < 3; ++i) {
                EXPECT_DOUBLE_EQ(p->axis[i], expected[i]) << i;
            }
        }
        // The kinematics modes are left as they were.
        EXPECT_EQ(RunKinematics.modes.positionSource, 0);
    }
}

TEST_F(CoordinateTransformsTest, AutomaticToolOffsetIsAppliedOnceEachWay) {
    RunSession.controller.automaticToolOffset = 1;
    ResetInterpreterState(RunSession);
    RunKinematics.toolValues.fixedHeadOffset[0] = 5.0;
    RunKinematics.toolValues.fixedHeadOffset[2] = 100.0;
    EXPECT_EQ(Trace("G90 G01 X10. Z0 F100.\n"),
              Move(1, 1, 15, 0, 100, 100) + "END state 2 error 0\n");
    // Forward: the program position (the last position) goes to the machine unchanged.
    RunKinematics.pose.program = RunKinematics.motion.lastPosition;
    UpdateMachinePosition(RunKinematics);
    EXPECT_EQ(RunKinematics.pose.machine.axis[0], 15.0);
    EXPECT_EQ(RunKinematics.pose.machine.axis[2], 100.0);
    // Back: from the machine position the block end comes out once more without the offset.
    RunKinematics.motion.end = {};
    RunKinematics.modes.positionSource = 2;
    UpdateMachinePosition(RunKinematics);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 10.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[2], 0.0);
}

}  // namespace
}  // namespace mirexa
