// The MAZAK dialect: the head angle mode and the head offset it turns.
#include "nc/dialect_mazak.h"

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
#include "nc/kinematics_services.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"
#include "nc/step_driver.h"

namespace mirexa {
namespace {

using testing::DialectTest;

TEST_F(DialectTest, MazakHeadAngleModeTurnsTheHeadOffset) {
    UseDialect("MAZAK");
    KinematicsController.mazak = 1;
    RunSession.controller.automaticToolOffset = 1;
    RunKinematics.toolValues.lengthOffset = 80.0;
    const double* v = RunKinematics.toolValues.fixedHeadOffset;
    // Without the mode a milling head keeps the tool along Z whatever the angle.
    SetToolVectorFromAngle(RunSession, 90);
    EXPECT_EQ(v[0], 0.0);
    EXPECT_EQ(v[2], 80.0);
    // P1 after T sets the mode: the head offset turns by the B value of the block end.
    RunKinematics.motion.end.axis[3] = 90.0;
    Run({"T1 P1"});
    EXPECT_EQ(RunSession.dialect.mazakHeadAngleMode, 1);
    EXPECT_EQ(v[0], 80.0);
    EXPECT_EQ(v[2], 0.0);
    // A P without T or G43 is a dwell and leaves the mode; P0 after G43 clears it.
    Run({"P0"});
    EXPECT_EQ(RunSession.dialect.mazakHeadAngleMode, 1);
    hOffset[1] = 50.0f;
    Run({"G43 H1 P0"});
    EXPECT_EQ(RunSession.dialect.mazakHeadAngleMode, 0);
    EXPECT_EQ(v[0], 0.0);
    EXPECT_EQ(v[2], 50.0);
}

}  // namespace
}  // namespace mirexa
