// Interpreter services that set the kinematics inputs.
#include "nc/kinematics_services.h"

#include <gtest/gtest.h>

#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "nc/nc_run_state.h"

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
        NcRun = {};
        NcRun.modal.workOffsetIndex = 0;
        WorkOrigin = {};
        Orientation = {};
        WorkOffsetSource = {};
        CurrentToolValues = {};
        KinematicsController = {};
        CurrentMachine = {};
        KinematicsMode = {};
    }
};

TEST_F(KinematicsServicesTest, WorkOriginSumsTheExternalAndCurrentEntries) {
    NcRun.transforms.workOffsets[0] = {{1, 2, 3, 4, 5}};
    NcRun.transforms.workOffsets[3] = {{10, 20, 30, 40, 50}};
    ApplyCurrentWorkOffset();
    EXPECT_EQ(WorkOrigin.axis[0], 1.0);
    EXPECT_EQ(WorkOrigin.axis[4], 5.0);
    EXPECT_EQ(Orientation.viewDirty, 1);
    NcRun.modal.workOffsetIndex = 3;
    Orientation.viewDirty = 0;
    ApplyCurrentWorkOffset();
    const double expected[5] = {11, 22, 33, 44, 55};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(WorkOrigin.axis[i], expected[i]);
        EXPECT_EQ(Orientation.workPosition.axis[i], expected[i]);
    }
    EXPECT_EQ(Orientation.viewDirty, 1);
    // An index outside the table counts as none.
    NcRun.modal.workOffsetIndex = 201;
    ApplyCurrentWorkOffset();
    EXPECT_EQ(WorkOrigin.axis[0], 1.0);
}

TEST_F(KinematicsServicesTest, ToolVectorFromAngle) {
    CurrentToolValues.lengthOffset = 80;
    SetToolVectorFromAngle(90);
    EXPECT_EQ(CurrentToolValues.fixedHeadOffset[0], 80.0);
    EXPECT_EQ(CurrentToolValues.fixedHeadOffset[1], 0.0);
    EXPECT_EQ(CurrentToolValues.fixedHeadOffset[2], 0.0);
    SetToolVectorFromAngle(180);
    EXPECT_EQ(CurrentToolValues.fixedHeadOffset[0], 0.0);
    EXPECT_EQ(CurrentToolValues.fixedHeadOffset[2], -80.0);
    KinematicsController.mazak = 1;
    SetToolVectorFromAngle(90);
    EXPECT_EQ(CurrentToolValues.fixedHeadOffset[0], 0.0);
    EXPECT_EQ(CurrentToolValues.fixedHeadOffset[2], 80.0);
    // A lathe or a fixed angle head keeps the turned vector.
    KinematicsController.lathe = 1;
    SetToolVectorFromAngle(90);
    EXPECT_EQ(CurrentToolValues.fixedHeadOffset[0], 80.0);
    KinematicsController.lathe = 0;
    CurrentMachine.headRotation = 1;
    SetToolVectorFromAngle(-90);
    EXPECT_EQ(CurrentToolValues.fixedHeadOffset[0], -80.0);
}

// Only axes that may turn a full turn and are not locked take the switch.
TEST_F(KinematicsServicesTest, ShortestPathSkipsLockedAndShortStrokeAxes) {
    StrokeLimits& s = CurrentMachine.strokes;
    s.enabled[3] = 1, s.min[3] = 0, s.max[3] = 270;
    s.enabled[4] = 1, s.min[4] = -180, s.max[4] = 180;
    SetRotaryShortestPath(1);
    EXPECT_EQ(KinematicsMode.shortestPath[0], 0);
    EXPECT_EQ(KinematicsMode.shortestPath[1], 1);
    s.enabled[3] = 0;
    CurrentMachine.shortestPathLock[1] = 1;
    SetRotaryShortestPath(0);
    EXPECT_EQ(KinematicsMode.shortestPath[0], 0);
    EXPECT_EQ(KinematicsMode.shortestPath[1], 1);
    SetRotaryShortestPath(1);
    EXPECT_EQ(KinematicsMode.shortestPath[0], 1);
}

}  // namespace
}  // namespace mirexa
