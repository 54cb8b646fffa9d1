// The OSP dialect: the inclined-plane call, work offset words, diameter values and turning modes,
// G469 planes, rotation about Y and cylindrical planes.
#include "nc/dialect_osp.h"

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
#include "nc/dialect_osp.h"
#include "nc/kinematics_services.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"
#include "nc/step_driver.h"

namespace mirexa {
namespace {

using testing::DialectTest;

TEST_F(DialectTest, OspInclinedPlaneCallWritesAGuardedTarget) {
    UseDialect("OSP");
    RunSession.controller.axes.rotaryLetters[0] = 'A';
    RunSession.controller.axes.rotaryLetters[1] = 'C';
    FillWorkOffsets();
    // A head machine turns nothing: the target is the source plus the shift.
    Run({"CALL OO88 PH=2 PP=10 PA=30 PB=45 PX=1 PY=2 PZ=3 PCA=15 PCC=-20 PC=1"});
    const MotionPosition& t = RunSession.run.transforms.workOffsets[10];
    EXPECT_DOUBLE_EQ(t.axis[0], 201.0);
    EXPECT_DOUBLE_EQ(t.axis[1], 2.0);
    EXPECT_DOUBLE_EQ(t.axis[2], 3.0);
    EXPECT_DOUBLE_EQ(t.axis[3], 15.0);   // PCA: rotary axis A
    EXPECT_DOUBLE_EQ(t.axis[4], -20.0);  // PCC: rotary axis C
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 10);
    EXPECT_DOUBLE_EQ(RunKinematics.workOrigin.axis[0], 201.0);
    // A table machine turns the point about the table; the distance to the centre stays.
    CurrentMachine.rotaryType = 2;
    CurrentMachine.rotary[0] = {0, 1, 2};
    CurrentMachine.rotary[1] = {2, 0, 1};
    CurrentMachine.rotary[0].sign = 1;
    CurrentMachine.rotary[1].sign = 1;
    Run({"CALL OO88 PH=1 PP=11 PA=0 PB=90"});
    const MotionPosition& u = RunSession.run.transforms.workOffsets[11];
    EXPECT_NEAR(std::hypot(u.axis[0], u.axis[1]), 100.0, 1e-9);
    EXPECT_NEAR(u.axis[0], 0.0, 1e-9);
    // Targets and sources outside the table, and the external offset as a target, are refused.
    const MotionPosition external = RunSession.run.transforms.workOffsets[0];
    Run({"CALL OO88 PH=1 PP=201", "CALL OO88 PH=1 PP=0", "CALL OO88 PH=999999 PP=12",
         "CALL OO88 PH=1"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 11);
    EXPECT_EQ(RunSession.run.transforms.workOffsets[0].axis[0], external.axis[0]);
    EXPECT_EQ(RunSession.run.transforms.workOffsets[12].axis[0], 0.0);
}

TEST_F(DialectTest, OspWorkOffsetWordsAndCodes) {
    UseDialect("OSP");
    FillWorkOffsets();
    // G15 H: the entry becomes the origin at once; the block end moves with it.
    Run({"G01 X50. F100", "G15 H2"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 2);
    EXPECT_DOUBLE_EQ(RunKinematics.workOrigin.axis[0], 200.0);
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[0], -50.0);
    // H beyond the table is refused.
    Run({"G15 H201", "G16 H99999"});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 2);
    // G16 H: the end moves at the end of the block; the origin stays.
    Run({"G16 H3 X10."});
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 3);
    EXPECT_DOUBLE_EQ(RunKinematics.workOrigin.axis[0], 200.0);
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[0], -90.0);
    // Motion codes 100 to 103 and the OSP arcs; return levels by M52, M53, M54.
    Run({"G101 X0", "G132 X10. Y0 L5."});
    EXPECT_EQ(RunKinematics.motion.motionType, kMotionClockwise);
    EXPECT_NEAR(RunKinematics.motion.sweep, M_PI, 1e-12);
    Run({"M53"});
    EXPECT_EQ(RunSession.run.modal.returnLevel, 2);
    Run({"M54"});
    EXPECT_EQ(RunSession.run.modal.returnLevel, 0);
    // RTS in the main program returns nowhere and ends nothing.
    Run({"RTS", "G100 X1."});
    EXPECT_EQ(RunSession.run.status.endState, 0);
    EXPECT_EQ(RunKinematics.motion.motionType, kMotionRapid);
}

TEST_F(DialectTest, OspDiameterValuesAndTurningModes) {
    UseDialect("OSP");
    RunSession.run.modal.diameterProgramming = 1;
    Run({"G01 X40. Y5. F100"});
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[0], 20.0);
    // Under polar interpolation (G137) and in the G138 mode X is taken as written.
    Run({"G137", "X40."});
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[0], 40.0);
    Run({"G136", "G138", "X30. Y5."});
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[0], 30.0);
    // G136 ends the G138 mode with the Y value zeroed; diameters are halved again.
    Run({"G136"});
    EXPECT_EQ(RunKinematics.motion.end.axis[1], 0.0);
    Run({"X30."});
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[0], 15.0);
    // OSP cycle codes G274, G283 and G284 are the cycles 74, 83 and 84.
    Run({"G283 X0 Z-5. R1."});
    EXPECT_EQ(RunSession.run.modal.cycleCode, 83);
    EXPECT_EQ(RunSession.run.modal.gCode, 83);
}

TEST_F(DialectTest, OspG469BuildsThePlaneOnlyUnderItsCode) {
    UseDialect("OSP");
    // Without P1 the plane code is 0: the block builds and switches on nothing.
    Run({"G469 X10. I0 J90. K0"});
    EXPECT_EQ(RunKinematics.plane.active, 0);
    EXPECT_EQ(RunSession.run.transforms.tiltedPlaneReady, 0);
    // P1 takes the controller's code 313: the Euler plane (here a quarter turn about X, which
    // takes the tool axis to -Y) is built about the origin the block names and switched on.
    Run({"G469 X10. Y0 Z0 I0 J90. K0 P1"});
    EXPECT_EQ(RunSession.run.modal.gCode, 682);
    EXPECT_EQ(RunKinematics.plane.active, 1);
    EXPECT_DOUBLE_EQ(RunKinematics.plane.origin[0], 10.0);
    const double* q = RunKinematics.plane.matrix;
    EXPECT_NEAR(q[6], 0.0, 1e-12);
    EXPECT_NEAR(q[7], -1.0, 1e-12);
    EXPECT_NEAR(q[8], 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[0],
                     0.0);  // the block's X is the origin, no move
    Run({"G468"});
    EXPECT_EQ(RunSession.run.modal.gCode, 69);
    EXPECT_EQ(RunKinematics.plane.active, 0);
    // A Q word replaces a non-zero code: any code but 313 builds nothing.
    Run({"G469 X50. I0 J45. K0 P1 Q312"});
    EXPECT_EQ(RunSession.dialect.ospPlaneCode, 312);
    EXPECT_EQ(RunKinematics.plane.active, 0);
    // The old plane is untouched, its origin and angles included.
    EXPECT_NEAR(RunKinematics.plane.matrix[7], -1.0, 1e-12);
    EXPECT_DOUBLE_EQ(RunKinematics.plane.origin[0], 10.0);
    EXPECT_DOUBLE_EQ(RunKinematics.plane.planeAngles[1], 90.0);
    // Q313 brings the code back; without P1 the plane is built but stays off.
    Run({"G469 I0 J45. K0 Q313"});
    EXPECT_EQ(RunKinematics.plane.active, 0);
    EXPECT_NEAR(RunKinematics.plane.matrix[7], -std::sqrt(0.5), 1e-12);
    // A controller without the code: P1 takes 0, and a Q word cannot replace a zero code.
    UseDialect("OSP");
    RunSession.controller.ospTiltedPlaneCode = 0;
    Run({"G469 I0 J90. K0 P1 Q313"});
    EXPECT_EQ(RunSession.dialect.ospPlaneCode, 0);
    EXPECT_EQ(RunKinematics.plane.active, 0);
    EXPECT_EQ(RunSession.run.transforms.tiltedPlaneReady, 0);
}

TEST_F(DialectTest, OspRotationAboutYAndCylindricalPlanes) {
    UseDialect("OSP");
    // G127 needs the G138 mode and no polar interpolation.
    Run({"G127 B90."});
    EXPECT_EQ(RunSession.run.transforms.rotationCount, 0);
    Run({"G137", "G138", "G127 B90."});
    EXPECT_EQ(RunSession.run.transforms.rotationCount, 0);
    // With them: a turn about Y (axes Z, X) about the origin by the B angle; the block's own B
    // is the angle, not a rotary move.
    Run({"G136", "G138", "G127 B90."});
    ASSERT_EQ(RunSession.run.transforms.rotationCount, 1);
    const RotationLevel& level = RunSession.run.transforms.rotation[0];
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
    EXPECT_EQ(RunSession.run.transforms.rotationCount, 1);
    Run({"G126"});
    EXPECT_EQ(RunSession.run.transforms.transformState, 3);
    // G119: cylindrical interpolation; a turning machine leaves its ZX plane for YZ.
    UseDialect("OSP");
    RunSession.controller.lathe[0] = 1;
    Run({"G18", "G119"});
    EXPECT_EQ(RunSession.run.modal.cylindricalInterpolation, 1);
    EXPECT_EQ(RunSession.run.modal.planeCode, 19);
    // G138 returns to the turning plane; M109 leaves it again.
    Run({"G138"});
    EXPECT_EQ(RunSession.run.modal.planeCode, 18);
    Run({"M109"});
    EXPECT_EQ(RunSession.run.modal.planeCode, 19);
    EXPECT_EQ(RunSession.run.modal.plane.normal, 0);
    // Without cylindrical interpolation M109 keeps the plane; a milling machine's G119 takes ZX.
    UseDialect("OSP");
    RunSession.controller.lathe[0] = 0;
    Run({"G18", "M109"});
    EXPECT_EQ(RunSession.run.modal.planeCode, 18);
    Run({"G17", "G119"});
    EXPECT_EQ(RunSession.run.modal.planeCode, 18);
}

}  // namespace
}  // namespace mirexa
