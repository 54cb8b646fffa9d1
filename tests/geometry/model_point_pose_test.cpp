// Posing structure-model vertices: against Rodrigues turns about the rotary axes of random
// machines, the zero-angle identity, the table-table forward map, the placement inverse and the
// tool-axis snap.
#include "geometry/model_point_pose.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"
#include "support/kinematics_test_support.h"

namespace mirexa {
namespace {

using testing::Distance3;
using testing::ResetKinematicsState;
using testing::Rodrigues;
using testing::SetRandomMachine;

// Sets the sine and cosine cache of the machine pose for the two machine angles (deg).
void SetMachineAngles(double angle1, double angle2) {
    SinCosDegrees(angle1, CurrentMachine.rotary[0].sign, &RunKinematics.pose.sin1,
                  &RunKinematics.pose.cos1);
    SinCosDegrees(angle2, CurrentMachine.rotary[1].sign, &RunKinematics.pose.sin2,
                  &RunKinematics.pose.cos2);
}

// The turn of axis index k by the signed angle (deg) about its direction, by Rodrigues; plain
// turns use the bare machine axis.
void Turn(int k, bool plain, double angle, const double v[3], double out[3]) {
    double n[3] = {0, 0, 0};
    if (plain) {
        n[CurrentMachine.rotary[k].axis] = 1.0;
    } else {
        RotaryAxisDirection(k, n);
    }
    Rodrigues(n, CurrentMachine.rotary[k].sign * angle * M_PI / 180.0, v, out);
}

void Add(const double a[3], const double b[3], double out[3]) {
    for (int i = 0; i < 3; ++i) {
        out[i] = a[i] + b[i];
    }
}

void Sub(const double a[3], const double b[3], double out[3]) {
    for (int i = 0; i < 3; ++i) {
        out[i] = a[i] - b[i];
    }
}

// On axis 2's plane indices, v turned plainly by angle 2 about the centre; index a2 kept.
void TurnAboutSecond(double angle2, const double v[3], const double centre[3], double out[3]) {
    double d[3];
    Sub(v, centre, d);
    Turn(1, true, angle2, d, d);
    const int a2 = CurrentMachine.rotary[1].axis;
    Add(d, centre, out);
    out[a2] = v[a2];
}

class ModelPointPose : public ::testing::Test {
protected:
    void SetUp() override {
        ResetKinematicsState();
    }
    void TearDown() override {
        ResetKinematicsState();
    }
};

TEST_F(ModelPointPose, PosesMatchTurnsAboutTheRotaryAxes) {
    const unsigned seed = 1104;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> coordinate(-200, 200);
    std::uniform_real_distribution<double> angle(-180, 180);
    for (int trial = 0; trial < 400; ++trial) {
        const int type = 1 + trial % 3;
        SetRandomMachine(rng, type, trial % 3, 0);
        const MachineGeometry& m = CurrentMachine;
        const double a1 = angle(rng), a2 = angle(rng);
        SetMachineAngles(a1, a2);
        const double origin[3] = {coordinate(rng), coordinate(rng), coordinate(rng)};
        const double vertex[3] = {coordinate(rng), coordinate(rng), coordinate(rng)};
        double got[3], want[3], t[3];

        PoseModelPoint(RunKinematics.pose, origin, vertex, got);
        if (type == 3) {
            Sub(vertex, m.headPosition, t);
            Turn(0, false, a1, t, t);
            Add(t, m.headPosition, t);
        } else {
            Turn(0, true, a1, vertex, t);
        }
        Add(t, origin, want);
        EXPECT_LT(Distance3(got, want), 1e-9) << "PoseModelPoint, trial " << trial;

        PoseModelPointPivot(RunKinematics.pose, origin, vertex, got);
        Sub(vertex, m.headPosition, t);
        Turn(0, false, a1, t, t);
        Add(t, m.headPosition, t);
        Add(t, origin, t);
        TurnAboutSecond(a2, t, m.tablePosition, want);
        EXPECT_LT(Distance3(got, want), 1e-9) << "PoseModelPointPivot, trial " << trial;

        PoseModelPointAxes(RunKinematics.pose, origin, vertex, got);
        double headOffset[3] = {m.headOffset[0], m.headOffset[1], m.headOffset[2]};
        headOffset[m.rotary[1].axis] = 0.0;  // HO on axis 2's plane indices only
        Add(vertex, headOffset, t);
        Turn(1, false, a2, t, t);
        Sub(t, headOffset, t);
        Turn(0, true, a1, t, t);
        Add(t, origin, want);
        EXPECT_LT(Distance3(got, want), 1e-9) << "PoseModelPointAxes, trial " << trial;

        PoseModelPointOffset(RunKinematics.pose, origin, vertex, got);
        Add(origin, vertex, t);
        if (type == 2) {
            Sub(t, m.tablePosition, t);
            Turn(0, false, a1, t, t);
            Add(t, m.tablePosition, want);
        } else if (type == 3) {
            TurnAboutSecond(a2, t, m.tablePosition, want);
        } else {
            Add(origin, vertex, want);
        }
        EXPECT_LT(Distance3(got, want), 1e-9) << "PoseModelPointOffset, trial " << trial;

        PoseModelPointCentre(RunKinematics.pose, origin, vertex, got);
        Add(origin, vertex, t);
        Sub(t, m.tablePosition, t);
        Turn(0, false, a1, t, t);
        double tableOffset[3] = {m.tableOffset[0], m.tableOffset[1], m.tableOffset[2]};
        tableOffset[m.rotary[1].axis] = 0.0;
        Sub(t, tableOffset, t);
        Turn(1, true, a2, t, t);
        Add(t, tableOffset, t);
        Add(t, m.tablePosition, want);
        EXPECT_LT(Distance3(got, want), 1e-9) << "PoseModelPointCentre, trial " << trial;
    }
}

TEST_F(ModelPointPose, ZeroAnglesLeaveOriginPlusVertexForEveryLayout) {
    // The offsets taken off before a turn are put back after it; with both angles 0 every
    // operation gives origin + vertex, also on a machine without a rotary type (a table model
    // there stays where it is placed instead of being left unset).
    std::mt19937_64 rng(5);
    for (int type = 0; type <= 3; ++type) {
        for (int tilt = 0; tilt < 3; ++tilt) {
            SetRandomMachine(rng, type, tilt, 0);
            SetMachineAngles(0, 0);
            const double origin[3] = {12.5, -40, 7};
            const double vertex[3] = {-3, 250.25, 18};
            double want[3];
            Add(origin, vertex, want);
            void (*poses[5])(const MachinePose&, const double*, const double*, double*) = {
                PoseModelPoint, PoseModelPointPivot, PoseModelPointAxes, PoseModelPointOffset,
                PoseModelPointCentre};
            for (int p = 0; p < 5; ++p) {
                double got[3] = {-999, -999, -999};
                poses[p](RunKinematics.pose, origin, vertex, got);
                EXPECT_LT(Distance3(got, want), 1e-9) << "type " << type << " pose " << p;
            }
        }
    }
}

TEST_F(ModelPointPose, CentrePoseIsTheTableTableForwardMap) {
    std::mt19937_64 rng(17);
    for (int trial = 0; trial < 50; ++trial) {
        SetRandomMachine(rng, 2, trial % 3, 0);
        RunKinematics.toolValues.gaugeLength = 0.0;
        const double machine[5] = {31.5, -72, 140, -35.0 + trial, 110.0 - 3 * trial};
        SetMachineAngles(machine[3], machine[4]);
        double point[3], axis[3], posed[3];
        ComputeToolTipAndAxis(RunKinematics, machine, point, axis);
        const double zero[3] = {0, 0, 0};
        PoseModelPointCentre(RunKinematics.pose, zero, machine, posed);
        EXPECT_LT(Distance3(point, posed), 1e-9) << "trial " << trial;
    }
}

TEST_F(ModelPointPose, PlacementUndoesTheStockFrame) {
    // A quarter turn about z, a turn about a skew axis, each with an offset.
    const double c = std::cos(0.3), s = std::sin(0.3);
    const double frames[2][12] = {{0, 1, 0, -1, 0, 0, 0, 0, 1, 10, -20, 30},
                                  {c, 0, -s, 0, 1, 0, s, 0, c, -5.5, 2, 100}};
    const double points[3][3] = {{0, 0, 0}, {12.25, -3, 99}, {-400, 250, 0.5}};
    for (const auto& frame : frames) {
        double inverse[9];
        InvertMatrix3(frame, inverse);
        const double negated[3] = {-frame[9], -frame[10], -frame[11]};
        for (const auto& p : points) {
            double world[3];
            TransformPoint(frame, p, world);
            ApplyModelPlacement(inverse, negated, 1, world);
            EXPECT_LT(Distance3(world, p), 1e-9);
        }
    }
    double point[3] = {1, 2, 3};
    const double anything[9] = {0, 1, 0, 1, 0, 0, 0, 0, 1};
    ApplyModelPlacement(anything, anything, 0, point);  // identity placement: unchanged
    EXPECT_EQ(point[0], 1);
    EXPECT_EQ(point[1], 2);
    EXPECT_EQ(point[2], 3);
}

TEST(AxisVectorSnap, NearlyAxisParallelVectorsBecomeExact) {
    double a[3] = {0.0001, 0, 0.99999};
    SnapAxisVector(a);
    EXPECT_EQ(a[0], 0.0);
    EXPECT_EQ(a[1], 0.0);
    EXPECT_EQ(a[2], 1.0);
    double b[3] = {0.0001, 0.7, 0.7};
    SnapAxisVector(b);
    EXPECT_EQ(b[0], 0.0);
    EXPECT_DOUBLE_EQ(b[1], std::sqrt(0.5));
    EXPECT_DOUBLE_EQ(b[2], std::sqrt(0.5));
    double c[3] = {0.3, 0.4, 0.866};
    SnapAxisVector(c);
    EXPECT_EQ(c[0], 0.3);
    EXPECT_EQ(c[1], 0.4);
    EXPECT_EQ(c[2], 0.866);
    // Zeros already there do not ask for a renormalisation; a negative survivor becomes -1.
    double d[3] = {0, 0.6, 0.79};
    SnapAxisVector(d);
    EXPECT_EQ(d[2], 0.79);
    double e[3] = {-0.0002, 0, -0.98};
    SnapAxisVector(e);
    EXPECT_EQ(e[0], 0.0);
    EXPECT_EQ(e[2], -1.0);
    // The threshold itself is kept; a vector with nothing left stays as it was given.
    double f[3] = {0.00025, 0.0, 0.5};
    SnapAxisVector(f);
    EXPECT_EQ(f[0], 0.00025);
    double g[3] = {0.0001, -0.0002, 0.0001};
    SnapAxisVector(g);
    EXPECT_EQ(g[0], 0.0001);
    EXPECT_EQ(g[1], -0.0002);
    EXPECT_EQ(g[2], 0.0001);
}

}  // namespace
}  // namespace mirexa
