// Interpreter services that set the kinematics inputs.
#include "nc/kinematics_services.h"

#include <gtest/gtest.h>

#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"

namespace mirexa {
namespace {

class KinematicsServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
        InstallWorkOffsetSource();
    }
    void TearDown() override {
        Reset();
    }
    static void Reset() {
        RunSession.run = {};
        RunSession.run.modal.workOffsetIndex = 0;
        RunKinematics.workOrigin = {};
        Orientation = {};
        WorkOffsetSource = {};
        RunKinematics.toolValues = {};
        KinematicsController = {};
        CurrentMachine = {};
        RunKinematics.modes = {};
    }
};

TEST_F(KinematicsServicesTest, WorkOriginSumsTheExternalAndCurrentEntries) {
    RunSession.run.transforms.workOffsets[0] = {{1, 2, 3, 4, 5}};
    RunSession.run.transforms.workOffsets[3] = {{10, 20, 30, 40, 50}};
    ApplyCurrentWorkOffset(RunSession);
    EXPECT_EQ(RunKinematics.workOrigin.axis[0], 1.0);
    EXPECT_EQ(RunKinematics.workOrigin.axis[4], 5.0);
    EXPECT_EQ(Orientation.viewDirty, 1);
    RunSession.run.modal.workOffsetIndex = 3;
    Orientation.viewDirty = 0;
    ApplyCurrentWorkOffset(RunSession);
    const double expected[5] = {11, 22, 33, 44, 55};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(RunKinematics.workOrigin.axis[i], expected[i]);
        EXPECT_EQ(Orientation.workPosition.axis[i], expected[i]);
    }
    EXPECT_EQ(Orientation.viewDirty, 1);
    // An index outside the table counts as none.
    RunSession.run.modal.workOffsetIndex = 201;
    ApplyCurrentWorkOffset(RunSession);
    EXPECT_EQ(RunKinematics.workOrigin.axis[0], 1.0);
}

TEST_F(KinematicsServicesTest, ToolVectorFromAngle) {
    RunKinematics.toolValues.lengthOffset = 80;
    SetToolVectorFromAngle(RunSession, 90);
    EXPECT_EQ(RunKinematics.toolValues.fixedHeadOffset[0], 80.0);
    EXPECT_EQ(RunKinematics.toolValues.fixedHeadOffset[1], 0.0);
    EXPECT_EQ(RunKinematics.toolValues.fixedHeadOffset[2], 0.0);
    SetToolVectorFromAngle(RunSession, 180);
    EXPECT_EQ(RunKinematics.toolValues.fixedHeadOffset[0], 0.0);
    EXPECT_EQ(RunKinematics.toolValues.fixedHeadOffset[2], -80.0);
    KinematicsController.mazak = 1;
    SetToolVectorFromAngle(RunSession, 90);
    EXPECT_EQ(RunKinematics.toolValues.fixedHeadOffset[0], 0.0);
    EXPECT_EQ(RunKinematics.toolValues.fixedHeadOffset[2], 80.0);
    // A lathe or a fixed angle head keeps the turned vector.
    KinematicsController.lathe = 1;
    SetToolVectorFromAngle(RunSession, 90);
    EXPECT_EQ(RunKinematics.toolValues.fixedHeadOffset[0], 80.0);
    KinematicsController.lathe = 0;
    CurrentMachine.headRotation = 1;
    SetToolVectorFromAngle(RunSession, -90);
    EXPECT_EQ(RunKinematics.toolValues.fixedHeadOffset[0], -80.0);
}

// Only axes that may turn a full turn and are not locked take the switch.
TEST_F(KinematicsServicesTest, ShortestPathSkipsLockedAndShortStrokeAxes) {
    StrokeLimits& s = CurrentMachine.strokes;
    s.enabled[3] = 1, s.min[3] = 0, s.max[3] = 270;
    s.enabled[4] = 1, s.min[4] = -180, s.max[4] = 180;
    SetRotaryShortestPath(RunSession, 1);
    EXPECT_EQ(RunKinematics.modes.shortestPath[0], 0);
    EXPECT_EQ(RunKinematics.modes.shortestPath[1], 1);
    s.enabled[3] = 0;
    CurrentMachine.shortestPathLock[1] = 1;
    SetRotaryShortestPath(RunSession, 0);
    EXPECT_EQ(RunKinematics.modes.shortestPath[0], 0);
    EXPECT_EQ(RunKinematics.modes.shortestPath[1], 1);
    SetRotaryShortestPath(RunSession, 1);
    EXPECT_EQ(RunKinematics.modes.shortestPath[0], 1);
}

}  // namespace
}  // namespace mirexa
