// Tool change moves and stop blocks: the route step by step, the tool each ATC TYPE mounts, the
// length compensation the route switches off, and the stop test by option and dialect with its
// hooks (the user's stop request, the wait, automatic runs that never wait).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"
#include "nc/tool_change_moves.h"
#include "nc_test_fixture.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"

namespace mirexa {
namespace {

class ToolChangeTest : public testing::NcInterpreterTest {
protected:
    // A route of the given steps (axis letters per step) to (100, 50, 300).
    void SetRoute(int atcType, std::initializer_list<const char*> steps) {
        RunSession.controller.atcType = atcType;
        RunSession.controller.toolChangePosition[0] = 100;
        RunSession.controller.toolChangePosition[1] = 50;
        RunSession.controller.toolChangePosition[2] = 300;
        int step = 0;
        for (const char* axes : steps) {
            for (const char* c = axes; *c != '\0'; ++c) {
                RunSession.controller.toolChangeRoute[step][*c - 'X'] = 1;
            }
            ++step;
        }
        RunSession.controller.toolChangeRouteSteps = step;
    }

    // Interprets one block and reports the tool it mounts (-1 none), dropping the armed route.
    int MountedBy(const char* line) {
        const int before = RunSession.run.toolChange.mountedTool;
        Run({line});
        const bool armed = RunSession.run.pending.toolChangeCount > 0;
        EXPECT_EQ(armed, RunSession.run.toolChange.mountedTool != before) << line;
        RunSession.run.pending.toolChangeCount = RunSession.run.pending.toolChangeIndex = 0;
        return armed ? RunSession.run.toolChange.mountedTool : -1;
    }
};

struct Call {
    int line;
    int hasMotion;
    double x, y, z;
};

TEST_F(ToolChangeTest, RouteOfThreeStepsWithAStepThatMovesNothing) {
    SetRoute(1, {"Z", "XY", "Z"});
    hOffset[1] = 50.0f;
    const std::string path =
        dir.Write("route.nc", "G90 G43 H1 G00 X10. Y20. Z5.\nT3\nG91 G01 X-100. F100.\n");
    ResetInterpreterState(RunSession);
    ASSERT_EQ(OpenNcProgramSource(RunSession, path), 1);
    std::vector<Call> calls;
    std::vector<double> lastZ;
    while (RunSession.run.status.endState < 2) {
        ComputeNextMove(RunSession);
        if (RunSession.run.status.subprogramEnd) {
            continue;
        }
        FinishBlockPosition(RunSession);
        const MotionPosition& e = RunKinematics.motion.end;
        calls.push_back({RunSession.line.mainLineNumber, RunKinematics.motion.blockHasMotion,
                         e.axis[0], e.axis[1], e.axis[2]});
        lastZ.push_back(RunKinematics.motion.lastPosition.axis[2]);
        if (calls.size() == 2) {
            EXPECT_EQ(RunKinematics.motion.motionType, kMotionRapid);
            EXPECT_EQ(RunSession.run.modal.lengthCompensation, 0);
            EXPECT_EQ(RunKinematics.modes.lengthCompensation, 0);
        }
    }
    CloseNcProgramSource(RunSession);
    ASSERT_EQ(calls.size(), 5u);
    const Call expected[5] = {
        {1, 1, 10, 20, 5},
        {2, 1, 10, 20, 300},
        {2, 1, 100, 50, 300},
        {2, 0, 100, 50, 300},
        {3, 1, 0, 50, 300}};  // the incremental block counts from the tool change position
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].line, expected[i].line);
        EXPECT_EQ(calls[i].hasMotion, expected[i].hasMotion);
        EXPECT_EQ(calls[i].x, expected[i].x);
        EXPECT_EQ(calls[i].y, expected[i].y);
        EXPECT_EQ(calls[i].z, expected[i].z);
    }
    // The length offset counts until the route switches it off.
    EXPECT_EQ(lastZ, (std::vector<double>{55, 300, 300, 300, 300}));
}

TEST_F(ToolChangeTest, RouteStepsAreMadeInTheWorkCoordinates) {
    SetRoute(1, {"XYZ"});
    Run({"T2"});
    RunKinematics.workOrigin.axis[0] = 30.0;
    RunKinematics.workOrigin.axis[2] = -100.0;
    RunSession.run.pending.toolChangeIndex = 0;
    RunKinematics.motion.end = {};
    StepToolChangeMove(RunSession);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 70.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[1], 50.0);
    EXPECT_EQ(RunKinematics.motion.end.axis[2], 400.0);
    EXPECT_EQ(RunSession.run.pending.toolChangeCount, 0);
    // Nothing pending: an empty move.
    StepToolChangeMove(RunSession);
    EXPECT_EQ(RunKinematics.motion.blockHasMotion, 0);
    EXPECT_EQ(RunKinematics.motion.end.axis[0], 70.0);
}

TEST_F(ToolChangeTest, ToolMountedByEachAtcType) {
    SetRoute(1, {"Z"});
    EXPECT_EQ(MountedBy("T3 T4"), 4);  // the last T word of the block is mounted
    EXPECT_EQ(MountedBy("T4"), -1);
    EXPECT_EQ(MountedBy("M06"), -1);
    EXPECT_EQ(MountedBy("T0"), 0);

    ClearAll();
    SetRoute(2, {"Z"});
    EXPECT_EQ(MountedBy("T3"), -1);
    EXPECT_EQ(MountedBy("M06"), 3);
    EXPECT_EQ(MountedBy("M06"), -1);
    EXPECT_EQ(MountedBy("M06 T4"), 4);
    EXPECT_EQ(MountedBy("T5 M06"), 5);

    // WAIT2: M06 mounts the tool prepared by the T word of an earlier block; a T word in the
    // M06 block prepares the next change, in either word order.
    ClearAll();
    SetRoute(3, {"Z"});
    EXPECT_EQ(MountedBy("M06"), -1);  // nothing prepared yet
    EXPECT_EQ(MountedBy("T5"), -1);
    EXPECT_EQ(MountedBy("M06"), 5);
    EXPECT_EQ(MountedBy("T6"), -1);
    EXPECT_EQ(MountedBy("M06 T7"), 6);
    EXPECT_EQ(MountedBy("T8 M06"), 7);
    EXPECT_EQ(MountedBy("M06"), 8);
    EXPECT_EQ(MountedBy("M06"), -1);  // 8 is on the spindle already
}

// --- Stop blocks --------------------------------------------------------------------------

using StopBlockTest = testing::NcInterpreterTest;

int StopRequests = 0;
int TakeStopRequest() {
    const int taken = StopRequests > 0 ? 1 : 0;
    StopRequests = 0;
    return taken;
}
int Comments = 0;
void CountComment(NcSession&) {
    ++Comments;
}
int Waits = 0;
int WaitResult = 1;
int WaitAtStop(NcSession&, const char*) {
    ++Waits;
    return WaitResult;
}
int PathReaderIndex() {
    return 0;
}

TEST_F(StopBlockTest, StopByOptionAndDialect) {
    enum Dialect { kPlain, kSiemens, kHeidenhain };
    const struct {
        int option;
        Dialect dialect;
        const char* line;
        int stop;
    } cases[] = {
        {2, kPlain, "M01\n", 1},
        {2, kPlain, "N10 M1\n", 1},
        {2, kPlain, "M00\n", 1},
        {2, kPlain, "M01 M08\n", 0},  // the last M number decides
        {2, kPlain, "M08 M01\n", 1},
        {2, kPlain, "M010\n", 0},
        {2, kPlain, "G00 X1.\n", 0},
        {2, kPlain, "M01 (M08)\n", 1},  // comments are skipped
        {2, kPlain, "MX M01\n", 0},     // an M without a number ends the scan
        {2, kPlain, "M123456789012 M1\n", 1},
        {2, kPlain, "M1 M123456789012\n", 0},
        {1, kPlain, "M00\n", 1},
        {1, kPlain, "M0\n", 1},
        {1, kPlain, "M01\n", 0},
        {1, kPlain, "G04 M1 (M0)\n", 0},
        {1, kPlain, "M2 M00 M5\n", 0},
        {3, kPlain, "G00 X1.\n", 1},
        {0, kPlain, "M00\n", 0},
        {7, kPlain, "M00\n", 0},
        {4, kPlain, "G00 X1. (CHECK HERE)\n", 1},
        {4, kPlain, "G00 X1. (CHECK\n", 1},
        {4, kPlain, "G00 X1. (HECK)\n", 0},
        {1, kSiemens, "G00 ; M00\n", 0},
        {1, kPlain, "G00 ; M00\n", 1},
        {1, kHeidenhain, "L X0 M0 M3\n", 1},  // only M0 is read
        {1, kPlain, "L X0 M0 M3\n", 0},
        {2, kHeidenhain, "L X0 M1 M5\n", 1},
        {2, kHeidenhain, "L X0 M1 M5 ; M0\n", 1},
        {1, kHeidenhain, "L X0 M1\n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        RunSession.controller = {};
        RunSession.controller.stopOption = c.option;
        RunSession.controller.stopStrings = {"", "CHECK"};
        RunSession.controller.dialect.siemens = c.dialect == kSiemens;
        RunSession.controller.dialect.heidenhain = c.dialect == kHeidenhain;
        EXPECT_EQ(IsStopBlock(RunSession, c.line), c.stop) << "option " << c.option;
    }
}

TEST_F(StopBlockTest, HooksOfTheStopTest) {
    NcUpHooks.takeStopRequest = TakeStopRequest;
    NcUpHooks.loadToolFromPlugin = CountComment;
    RunSession.controller.stopOption = 2;
    // The user's stop request stops once, whatever the line.
    StopRequests = 1;
    EXPECT_EQ(IsStopBlock(RunSession, "G00 X1.\n"), 1);
    EXPECT_EQ(IsStopBlock(RunSession, "G00 X1.\n"), 0);
    // Each comment offers its tool to the NC communication plug-in.
    Comments = 0;
    EXPECT_EQ(IsStopBlock(RunSession, "(T1 D10)(T2) M01\n"), 1);
    EXPECT_EQ(Comments, 2);
    // A path reader's blocks stop only on request or in single-block mode.
    UiHooks.activePathReader = PathReaderIndex;
    EXPECT_EQ(IsStopBlock(RunSession, "M01\n"), 0);
    RunSession.controller.stopOption = 3;
    EXPECT_EQ(IsStopBlock(RunSession, "G01 X1.\n"), 1);
    NcUpHooks = {};
}

TEST_F(StopBlockTest, PauseWaitsThroughTheHookButARunWithoutAUserNever) {
    testing::ScratchDirectory logs;
    FileLocations.logDirectory = logs.Path();
    RunSession.controller.stopOption = 1;
    // Without a hook nothing waits.
    EXPECT_EQ(PauseAtStopBlock(RunSession, "M00\n"), 1);
    NcUpHooks.waitAtStopBlock = WaitAtStop;
    Waits = 0;
    WaitResult = 1;
    EXPECT_EQ(PauseAtStopBlock(RunSession, "G00 X1.\n"), 1);
    EXPECT_EQ(Waits, 0);
    EXPECT_EQ(PauseAtStopBlock(RunSession, "M00\n"), 1);
    EXPECT_EQ(Waits, 1);
    WaitResult = 0;  // aborted while waiting
    EXPECT_EQ(PauseAtStopBlock(RunSession, "M00\n"), 0);
    // Automatic mode passes the stop and logs it.
    AutomaticMode.store(1);
    RunSession.line.mainLineNumber = 12;
    EXPECT_EQ(PauseAtStopBlock(RunSession, "M00 (MEASURE)\r\n"), 1);
    AutomaticMode.store(0);
    EXPECT_EQ(Waits, 2);
    const std::string log = testing::ReadWholeFile(logs.At("mirexa.log"));
    EXPECT_NE(log.find("(12) - "), std::string::npos) << log;
    EXPECT_NE(log.find("M00 (MEASURE)\n"), std::string::npos) << log;
    NcUpHooks = {};
    FileLocations.logDirectory.clear();
}

}  // namespace
}  // namespace mirexa
