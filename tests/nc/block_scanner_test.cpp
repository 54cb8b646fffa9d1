// The block scanner's dialects: the controller's flags choose the dialect record, and the same
// line reads as each dialect's own table and hooks direct it.
#include "nc/block_scanner.h"

#include <gtest/gtest.h>

#include "dialect_test_fixture.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/scanner_dialects.h"

namespace mirexa {
namespace {

using testing::DialectTest;

TEST_F(DialectTest, TheControllerChoosesTheScannerDialect) {
    const struct {
        const char* dialect;
        const ScannerDialect* scanner;
        const char* blockEnds;
    } cases[] = {
        {"PLAIN", &PlainScanner, ""},      {"HEIDENHAIN", &HeidenhainScanner, ";*"},
        {"SIEMENS", &SiemensScanner, ";"}, {"OSP", &OspScanner, ""},
        {"MAZAK", &MazakScanner, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dialect);
        UseDialect(c.dialect);
        EXPECT_EQ(&ActiveScannerDialect(RunSession), c.scanner);
        EXPECT_STREQ(ActiveScannerDialect(RunSession).blockEnds, c.blockEnds);
    }
}

// What a line left in the modal state and the move, read in one dialect.
struct DialectReading {
    const char* dialect;
    const char* line;
    double (*value)();
    double expected;
};

double EndX() {
    return RunKinematics.motion.end.axis[0];
}
double WorkOffset() {
    return RunSession.run.modal.workOffsetIndex;
}
double LengthCompensation() {
    return RunSession.run.modal.lengthCompensation;
}
double CycleCode() {
    return RunSession.run.modal.cycleCode;
}
double DefinedCycle() {
    return RunSession.run.modal.heidenhainCycleCode;
}
double DiameterProgramming() {
    return RunSession.run.modal.diameterProgramming;
}
double MotionType() {
    return RunKinematics.motion.motionType;
}
double ReturnLevel() {
    return RunSession.run.modal.returnLevel;
}

TEST_F(DialectTest, EachDialectReadsItsOwnCodes) {
    const DialectReading cases[] = {
        // G56: the third work offset in the plain dialects, length compensation + in the
        // word-address ones.
        {"PLAIN", "G56", WorkOffset, 3},
        {"SIEMENS", "G56", WorkOffset, 3},
        {"OSP", "G56", LengthCompensation, 1},
        {"OSP", "G56", WorkOffset, 1},
        {"HEIDENHAIN", "G56", LengthCompensation, 1},
        // G81: a canned cycle, or the cycle a HEIDENHAIN CYCL CALL calls.
        {"PLAIN", "G81 Z-5. R1.", CycleCode, 81},
        {"HEIDENHAIN", "G81", CycleCode, kNoCycle},
        {"HEIDENHAIN", "G81", DefinedCycle, 81},
        // G283: the OSP form of G83, nothing elsewhere.
        {"OSP", "G283 Z-5. R1.", CycleCode, 83},
        {"PLAIN", "G283 Z-5. R1.", CycleCode, kNoCycle},
        // G10.9 X1: the MAZAK diameter mode; elsewhere an unknown decimal form.
        {"MAZAK", "G10.9 X1.", DiameterProgramming, 1},
        {"PLAIN", "G10.9 X1.", DiameterProgramming, 0},
        // G133 and G102: OSP arcs; G102 is nothing elsewhere.
        {"OSP", "G133", MotionType, kMotionCounterClockwise},
        {"OSP", "G102", MotionType, kMotionClockwise},
        {"PLAIN", "G102", MotionType, kMotionRapid},
        // M53: the OSP separate return level; an M code without effect elsewhere.
        {"OSP", "M53", ReturnLevel, kReturnToSeparateLevel},
        {"PLAIN", "M53", ReturnLevel, kReturnToInitialLevel},
        // The block ends at ";" for SIEMENS and HEIDENHAIN, at "*" for HEIDENHAIN alone.
        {"SIEMENS", "G01 X5. ; X9.", EndX, 5},
        {"PLAIN", "G01 X5. ; X9.", EndX, 9},
        {"HEIDENHAIN", "L X+5 * X+9", EndX, 5},
    };
    for (const DialectReading& c : cases) {
        SCOPED_TRACE(std::string(c.dialect) + ": " + c.line);
        ClearAll();  // work offset, diameter mode and position outlive a reset
        UseDialect(c.dialect);
        Run({c.line});
        EXPECT_EQ(c.value(), c.expected);
    }
}

}  // namespace
}  // namespace mirexa
