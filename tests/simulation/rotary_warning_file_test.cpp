// The long rotary move warning file: its name, its entries as the rotary solutions report long
// moves, and the paths it refuses.
#include "simulation/rotary_warning_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "geometry/machine_kinematics.h"
#include "geometry/rotary_solutions.h"
#include "nc/nc_session.h"
#include "nc/nc_source_location.h"
#include "simulation/cutting_run.h"
#include "support/kinematics_test_support.h"

namespace mirexa {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The run whose warning file takes the long moves solved outside any run's thread.
CuttingRun OutsideRun;
WarningFileState& OutsideFile = OutsideRun.reports.warningFile;

std::string TempDirectory() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr ? dir : "/tmp";
}

TEST(RotaryWarningFileTest, WarningFileNaming) {
    struct Case {
        const char *in, *out;
    };
    const Case cases[] = {
        {"part", "part_warning.txt"},
        {"part.nc", "part_warning.txt"},
        {"dir.x/part", "dir.x/part_warning.txt"},
        {"dir.x\\part", "dir.x\\part_warning.txt"},
        {"/a/b/prog.v2.nc", "/a/b/prog.v2_warning.txt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MakeWarningFilePath(c.in), c.out);
    }
}

class WarningFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetKinematicsState();
        RotaryMoveCallbacks.longRotaryMove = [](double from1, double from2, double to1,
                                                double to2) {
            ReportLongRotaryMove(OutsideRun, from1, from2, to1, to2);
        };
        base_ = TempDirectory() + "/mirexa_warning_test_" + std::to_string(::getpid());
        RunSession.location.programPath = base_ + ".nc";
        path_ = base_ + "_warning.txt";
        std::remove(path_.c_str());
        // A 2 -> 1 drop: B-C machine, B limited to positive angles so that only (30, 0) fits.
        CurrentMachine.rotaryType = 3;
        CurrentMachine.rotary[0] = testing::AxisAbout(1);
        CurrentMachine.rotary[1] = testing::AxisAbout(2);
        RunKinematics.motion.motionType = 1;
        RunKinematics.modes.toolCenterControl = 2;
        RunKinematics.modes.runMode = RunMode::kRealCutting;
        RunKinematics.modes.previousSolutionCount = 2;
        const double angles[2] = {30, 0};
        ComputeToolAxisFromRotaryAngles(angles, t_);
    }
    void TearDown() override {
        CloseWarningFile(OutsideFile);
        RunSession.location = {};
        OutsideFile = {};
        RotaryMoveCallbacks = {};
        testing::ResetKinematicsState();
        std::remove(path_.c_str());
    }
    int Solve(double previous1, double previous2) {
        const int flags[2] = {1, 0};
        const double range1[2] = {0, 90};
        const double range2[2] = {0, 0};
        const double previous[2] = {previous1, previous2};
        double result[2];
        return SolveRotaryAngles(RunKinematics, t_, previous, flags, range1, range2, result);
    }
    std::string base_, path_;
    double t_[3] = {};
};

TEST_F(WarningFileTest, JumpThresholdAndDropCondition) {
    Solve(30, -160);  // C from -160 to 0: exactly 160, no entry
    EXPECT_EQ(RunKinematics.modes.previousSolutionCount, 1);
    EXPECT_EQ(OutsideFile.count, 0);
    RunKinematics.modes.previousSolutionCount = 2;
    Solve(30, -160.000001);
    EXPECT_EQ(OutsideFile.count, 1);
    // Still one candidate: no second entry without a new drop from two.
    Solve(30, -170);
    EXPECT_EQ(OutsideFile.count, 1);
    // No entry outside a cutting run, for rapid moves, or without tool centre control type 2.
    for (int variant = 0; variant < 3; ++variant) {
        RunKinematics.modes.previousSolutionCount = 2;
        RunKinematics.modes.runMode = variant == 0 ? RunMode::kIdle : RunMode::kRealCutting;
        RunKinematics.motion.motionType = variant == 1 ? 0 : 1;
        RunKinematics.modes.toolCenterControl = variant == 2 ? 1 : 2;
        Solve(30, -170);
        EXPECT_EQ(OutsideFile.count, 1) << variant;
    }
    EXPECT_EQ(CloseWarningFile(OutsideFile), 1);
    EXPECT_EQ(OutsideFile.count, 0);  // a later run starts from no entries
    EXPECT_EQ(CloseWarningFile(OutsideFile), 0);
}

TEST_F(WarningFileTest, GoldenContentMainAndSubprogram) {
    RunSession.location.mainLine = 12;
    RunSession.location.blockText = "G01 B30. C0.\n";
    ASSERT_EQ(WriteLongRotaryMoveWarning(OutsideFile, RunSession, 30, -170, 30, 0), 1);
    RunSession.location.inSubprogram = 1;
    RunSession.location.subprogramName = "O1234";
    RunSession.location.subprogramLine = 3;
    RunSession.location.blockText = "G01 C180.\r\n";
    ASSERT_EQ(WriteLongRotaryMoveWarning(OutsideFile, RunSession, 0, 0, -1.5, 180), 1);
    EXPECT_EQ(CloseWarningFile(OutsideFile), 2);
    EXPECT_EQ(ReadFile(path_),
              "<<< WARNING INFORMATION >>>\n-----------\n"
              "12:G01 B30. C0.\n"
              "* Long movement of rotary axis *\n"
              "( 30.000000 , -170.000000 ) -> ( 30.000000 , 0.000000 )\n\n"
              "O1234:3:G01 C180.\r\n"
              "* Long movement of rotary axis *\n"
              "( 0.000000 , 0.000000 ) -> ( -1.500000 , 180.000000 )\n\n");
    // Reopening starts a new file.
    ASSERT_EQ(OpenWarningFile(OutsideFile, RunSession), 1);
    EXPECT_EQ(CloseWarningFile(OutsideFile), 0);
    EXPECT_EQ(ReadFile(path_), "<<< WARNING INFORMATION >>>\n-----------\n");
}

TEST_F(WarningFileTest, UnwritableOrOverlongPathWritesNothing) {
    RunSession.location.programPath = "/nonexistent-dir-for-mirexa/part.nc";
    EXPECT_EQ(WriteLongRotaryMoveWarning(OutsideFile, RunSession, 0, 0, 180, 0), 0);
    EXPECT_EQ(OutsideFile.count, 0);
    EXPECT_EQ(CloseWarningFile(OutsideFile), 0);
    RunSession.location.programPath = TempDirectory() + "/" + std::string(5000, 'p') + ".nc";
    EXPECT_EQ(OpenWarningFile(OutsideFile, RunSession), 0);
    EXPECT_EQ(WriteLongRotaryMoveWarning(OutsideFile, RunSession, 0, 0, 180, 0), 0);
    EXPECT_EQ(CloseWarningFile(OutsideFile), 0);
    // Warning level 0 writes no file at all.
    RunSession.location.programPath = base_ + ".nc";
    KinematicsController.warningLevel = 0;
    EXPECT_EQ(WriteLongRotaryMoveWarning(OutsideFile, RunSession, 0, 0, 180, 0), 0);
    EXPECT_EQ(ReadFile(path_), "");
}

// A long move solved on a run's thread goes to that run's file at its session's block; one solved
// on another thread goes to the outside run's file at the run session's block.
TEST_F(WarningFileTest, TheRunOfTheSolvingThreadTakesTheEntry) {
    NcSession other;
    other.location.programPath = base_ + "_other.nc";
    other.location.mainLine = 7;
    other.location.blockText = "G01 C0.\n";
    const std::string otherPath = base_ + "_other_warning.txt";
    std::remove(otherPath.c_str());
    CuttingRun run;
    RunRequest request;
    request.session = &other;
    ASSERT_EQ(StartCuttingRun(run, request, [this](CuttingRun&) { Solve(30, -170); }), 1);
    JoinCuttingRun(run);
    EXPECT_EQ(RunOfThisThread(), nullptr);
    EXPECT_EQ(run.reports.warningFile.count, 1);
    EXPECT_EQ(OutsideFile.count, 0);
    RunKinematics.modes.previousSolutionCount = 2;
    Solve(30, -170);
    EXPECT_EQ(OutsideFile.count, 1);
    EXPECT_EQ(run.reports.warningFile.count, 1);
    EXPECT_EQ(CloseWarningFile(run.reports.warningFile), 1);
    EXPECT_EQ(ReadFile(otherPath),
              "<<< WARNING INFORMATION >>>\n-----------\n"
              "7:G01 C0.\n"
              "* Long movement of rotary axis *\n"
              "( 30.000000 , -170.000000 ) -> ( 30.000000 , 0.000000 )\n\n");
    std::remove(otherPath.c_str());
}

}  // namespace
}  // namespace mirexa
