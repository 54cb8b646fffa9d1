// Tool change moves: the route step by step, the tool each ATC TYPE mounts, and the length
// compensation the route switches off.
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

}  // namespace
}  // namespace mirexa
