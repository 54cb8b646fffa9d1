// The SIEMENS dialect: CYCLE800 argument lists and planes, TRAORI/TRAFOOF and orientation words.
#include "nc/dialect_siemens.h"

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
#include "nc/dialect_siemens.h"
#include "nc/kinematics_services.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"
#include "nc/step_driver.h"

namespace mirexa {
namespace {

using testing::DialectTest;

TEST_F(DialectTest, Cycle800ArgumentLists) {
    int cursor = 0;
    const char* full = "(1,\"HEAD1\",200001,57,10,20,30,0,45,90,1,2,3,-1,100)\n";
    EXPECT_EQ(ParseCycle800Arguments(RunSession, &cursor, full), 1);
    const Cycle800Arguments& a = RunSession.dialect.cycle800;
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
    EXPECT_EQ(ParseCycle800Arguments(RunSession, &cursor, "(,\"A,B\",100000,27,0,0,0,10,0,0)\n"),
              1);
    EXPECT_EQ(a.swivelDigits[5], 0);
    EXPECT_STREQ(a.swivelName, "A,B");
    EXPECT_DOUBLE_EQ(a.angles[0], 10.0);
    EXPECT_EQ(a.direction, 0);  // omitted trailing fields read 0
    // Reset and empty lists give 0, as does a rotation order of 0; a list cut off by the line's
    // end is no list at all (-1).
    cursor = 0;
    EXPECT_EQ(ParseCycle800Arguments(RunSession, &cursor, "(,\"0\",0,0)\n"), 0);
    cursor = 0;
    EXPECT_EQ(ParseCycle800Arguments(RunSession, &cursor, "()\n"), 0);
    cursor = 0;
    EXPECT_EQ(ParseCycle800Arguments(RunSession, &cursor, "(0,\"T\",1,0,1,2,3)\n"), 0);
    cursor = 0;
    EXPECT_EQ(ParseCycle800Arguments(RunSession, &cursor, "(0,\"T\",1,57,1,2\n"), -1);
    // A very long name is cut to the field, never past it.
    std::string longName = "(0,\"" + std::string(300, 'N') + "\",1,57)\n";
    cursor = 0;
    EXPECT_EQ(ParseCycle800Arguments(RunSession, &cursor, longName.c_str()), 1);
    EXPECT_EQ(std::strlen(a.swivelName), static_cast<size_t>(kSwivelNameCapacity - 1));
}

TEST_F(DialectTest, Cycle800TiltsThePlaneAndIncrementsOnIt) {
    UseDialect("SIEMENS");
    // 90 deg about Z, twice with the incremental digit: 180 deg in all.
    Run({"CYCLE800(0,\"T\",200000,57,0,0,0,0,0,90,0,0,0,-1,100)"});
    const TiltedWorkPlane& plane = RunKinematics.plane;
    EXPECT_EQ(RunSession.run.modal.gCode, 682);
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
    EXPECT_EQ(RunSession.run.modal.gCode, 69);
    EXPECT_EQ(plane.active, 0);
    EXPECT_EQ(RunSession.run.modal.lengthCompensation, 0);
    // An unknown rotation order leaves the plane as it was; a cut-off list changes nothing.
    Run({"CYCLE800(0,\"T\",200000,99,0,0,0,0,0,90,0,0,0,-1,100)", "CYCLE800(0,\"T\",1"});
    EXPECT_EQ(plane.active, 0);
}

TEST_F(DialectTest, SiemensToolCentreAndOrientationWords) {
    UseDialect("SIEMENS");
    RunSession.controller.magazineCount = 10;
    Run({"TRAORI", "G01 X10 Y0 Z5 F100"});
    EXPECT_EQ(RunSession.run.modal.toolCenterPointMode, 1);
    EXPECT_EQ(RunSession.run.modal.lengthCompensation, 1);
    // TRAFOOF ends it and puts every position register where the machine stands.
    RunKinematics.pose.machine.axis[0] = 10.0;
    RunKinematics.pose.machine.axis[2] = 5.0;
    Run({"TRAFOOF X20."});
    EXPECT_EQ(RunSession.run.modal.toolCenterPointMode, 0);
    EXPECT_EQ(RunSession.run.modal.gCode, 49);
    EXPECT_DOUBLE_EQ(RunKinematics.motion.start.axis[0], 10.0);
    EXPECT_DOUBLE_EQ(RunKinematics.motion.end.axis[0], 20.0);  // the scan goes on behind TRAFOOF
    // A3=, B3=, C3=: tool vector input; the vector becomes the tool axis.
    RunSession.controller.rotaryType = 2;
    Run({"G01 X1 A3=0 B3=0 C3=2"});
    EXPECT_EQ(RunSession.run.modal.toolCenterPointMode, 2);
    EXPECT_NEAR(RunKinematics.pose.tool.axis[2], 1.0, 1e-12);
    // Orientation angles: B2=90 under ORIEULER tilts the tool axis into the XY plane.
    Run({"ORIEULER", "G01 X2 A2=0 B2=90 C2=0"});
    const double* axis = RunKinematics.pose.tool.axis;
    EXPECT_NEAR(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2], 1.0, 1e-12);
    EXPECT_NEAR(axis[2], 0.0, 1e-12);
    // Orientation conventions.
    Run({"ORIRPY2"});
    EXPECT_EQ(RunSession.dialect.orientation.convention, 2);
    Run({"ORIEULER"});
    EXPECT_EQ(RunSession.dialect.orientation.convention, 0);
    Run({"ORIRPY"});
    EXPECT_EQ(RunSession.dialect.orientation.convention, 1);
    // T=n selects by number; a number beyond the magazine and an unknown name are refused.
    Run({"T=4 X99"});
    EXPECT_EQ(RunSession.run.modal.nextTool, 4);
    Run({"T=11", "T=\"NO SUCH TOOL\"", "T=\"UNCLOSED"});
    EXPECT_EQ(RunSession.run.modal.nextTool, 4);
}

}  // namespace
}  // namespace mirexa
