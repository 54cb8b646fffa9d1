// Controller dialects together: programs of every dialect with hostile words end cleanly.
#include "nc/controller_dialects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "config/offset_tables.h"
#include "dialect_test_fixture.h"
#include "geometry/machine_kinematics.h"
#include "geometry/rotary_solutions.h"
#include "nc/block_interpreter.h"
#include "nc/coordinate_transforms.h"
#include "nc/kinematics_services.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_words.h"
#include "nc/step_driver.h"

namespace mirexa {
namespace {

using testing::DialectTest;

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
