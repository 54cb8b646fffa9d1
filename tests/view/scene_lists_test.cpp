// The builders of the fixed lists: box and prism faces, the triad's arms, the tool's ring
// colours and placement, mounted-tool colours, the default rotary parts, and the lock between
// the mounted-tool drawing and a pass that selects tools on another thread.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "view/display_lists.h"
#include "view/machine_lists.h"
#include "view/marker_lists.h"
#include "view/scene_renderer.h"
#include "view/solid_primitives.h"
#include "view/tool_lists.h"
#include "view_test_support.h"

namespace mirexa {
namespace {

void Cross(const double* a, const double* b, double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// The direction of the face's first two edges' cross product, unit.
void FaceTurn(const SolidFace& face, double out[3]) {
    const double* v = face.vertices.data();
    const double e1[3] = {v[3] - v[0], v[4] - v[1], v[5] - v[2]};
    const double e2[3] = {v[6] - v[3], v[7] - v[4], v[8] - v[5]};
    Cross(e1, e2, out);
    const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
    for (int i = 0; i < 3; ++i) {
        out[i] /= length;
    }
}

TEST(SolidPrimitives, BoxFacesTurnOutwardInTheirOrder) {
    const double lo[3] = {-1, 2, 3}, hi[3] = {4, 5, 9};
    std::vector<SolidFace> faces;
    BoxSolidFaces(lo, hi, &faces);
    ASSERT_EQ(faces.size(), 6u);
    const double expected[6][3] = {{1, 0, 0},  {0, 1, 0},  {-1, 0, 0},
                                   {0, -1, 0}, {0, 0, -1}, {0, 0, 1}};
    for (int f = 0; f < 6; ++f) {
        ASSERT_EQ(faces[f].vertices.size(), 12u);
        double turn[3];
        FaceTurn(faces[f], turn);
        for (int i = 0; i < 3; ++i) {
            EXPECT_DOUBLE_EQ(turn[i], expected[f][i]) << "face " << f;
            EXPECT_EQ(faces[f].normals[i], expected[f][i]) << "face " << f;
        }
        // Every vertex lies on the face's plane.
        const int axis = f == 0 || f == 2 ? 0 : (f == 1 || f == 3 ? 1 : 2);
        const double plane = expected[f][axis] > 0 ? hi[axis] : lo[axis];
        for (int v = 0; v < 4; ++v) {
            EXPECT_EQ(faces[f].vertices[v * 3 + axis], plane);
        }
    }
}

TEST(SolidPrimitives, PrismVerticesNormalsAndCaps) {
    const double base[3] = {1, 2, 3};
    for (int n : {4, 9, 10, 20}) {
        for (int axis = 0; axis < 3; ++axis) {
            std::vector<SolidFace> faces;
            CylinderSolidFaces(base, 2.0, axis, 5.0, n, &faces);
            ASSERT_EQ(faces.size(), static_cast<std::size_t>(n + 2));
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            for (int i = 0; i < n; ++i) {
                const SolidFace& side = faces[i];
                ASSERT_EQ(side.cap, 0);
                const double t = i * 2 * M_PI / n + M_PI / n;
                EXPECT_NEAR(side.vertices[u], base[u] + 2 * std::cos(t), 1e-12);
                EXPECT_NEAR(side.vertices[v], base[v] + 2 * std::sin(t), 1e-12);
                EXPECT_EQ(side.vertices[axis], base[axis]);
                EXPECT_EQ(side.vertices[6 + axis], base[axis] + 5.0);
                // Outward: the first edges turn away from the axis.
                double turn[3];
                FaceTurn(side, turn);
                const double mid = (i + 0.5) * 2 * M_PI / n + M_PI / n;
                EXPECT_GT(turn[u] * std::cos(mid) + turn[v] * std::sin(mid), 0.99);
                // From 10 sides each edge has its radial normal, below one per quad.
                const double n0 = n >= 10 ? t : mid;
                EXPECT_NEAR(side.normals[u], std::cos(n0), 1e-12);
                EXPECT_NEAR(side.normals[v], std::sin(n0), 1e-12);
                EXPECT_EQ(side.normals[axis], 0.0);
            }
            const SolidFace& far = faces[n];
            const SolidFace& near = faces[n + 1];
            ASSERT_EQ(far.cap, 1);
            ASSERT_EQ(far.vertices.size(), static_cast<std::size_t>(3 * n));
            double turn[3];
            FaceTurn(far, turn);
            EXPECT_NEAR(turn[axis], 1.0, 1e-12);
            EXPECT_EQ(far.normals[axis], 1.0);
            EXPECT_EQ(far.vertices[axis], base[axis] + 5.0);
            FaceTurn(near, turn);
            EXPECT_NEAR(turn[axis], -1.0, 1e-12);
            EXPECT_EQ(near.normals[axis], -1.0);
            // The near cap runs the vertices backwards: it starts at the last one.
            const double t = (n - 1) * 2 * M_PI / n + M_PI / n;
            EXPECT_NEAR(near.vertices[u], base[u] + 2 * std::cos(t), 1e-12);
        }
    }
    std::vector<SolidFace> none;
    CylinderSolidFaces(base, 1.0, 2, 1.0, 2, &none);
    CylinderSolidFaces(base, 1.0, 3, 1.0, 8, &none);
    EXPECT_TRUE(none.empty());
}

TEST(Triad, ArmsSnapNearRightAnglesAndSkipAxesAtTheViewer) {
    ViewState view;
    view.angleA = 90.05;
    view.angleB = 0.02;
    UpdateViewTrig(&view);
    TriadArm arms[3];
    ComputeTriadArms(view, arms);
    // As at exactly 90 / 0: X points up, Y left, Z straight at the viewer (no arm).
    EXPECT_EQ(arms[0].visible, 1);
    EXPECT_EQ(arms[0].direction[0], 0.0);
    EXPECT_EQ(arms[0].direction[1], 1.0);
    EXPECT_EQ(arms[1].direction[0], -1.0);
    EXPECT_EQ(arms[1].direction[1], 0.0);
    EXPECT_EQ(arms[2].visible, 0);
    // Orientation code 1 turns -Y to the right.
    view.angleA = 0.0;
    view.angleB = 45.0;
    view.orientationCode = 1;
    UpdateViewTrig(&view);
    ComputeTriadArms(view, arms);
    EXPECT_EQ(arms[1].direction[0], -1.0);
    EXPECT_NEAR(arms[2].direction[1], std::sqrt(0.5), 1e-12);
    // Away from right angles the view's own trig is used.
    view.orientationCode = 0;
    view.angleA = 30.0;
    view.angleB = 60.0;
    UpdateViewTrig(&view);
    ComputeTriadArms(view, arms);
    EXPECT_NEAR(arms[0].direction[0], std::cos(M_PI / 6), 1e-12);
    EXPECT_NEAR(arms[0].direction[1], 0.5 * 0.5, 1e-12);
    EXPECT_NEAR(arms[2].direction[1], std::sin(M_PI / 3), 1e-12);
}

TEST(ToolLists, RingColoursPlacementAndMountedColours) {
    ToolProfile profile;
    profile.pointCount = 7;
    profile.cutterPointCount = 3;
    const double heights[7] = {0, 1, 5, 20, 40, 40, 60};
    for (int i = 0; i < 7; ++i) {
        profile.heights[i] = heights[i];
    }
    int side = 0, holder = 0;
    ToolRingColorStarts(profile, 1, 40.0, &side, &holder);
    EXPECT_EQ(side, 2);
    EXPECT_EQ(holder, 4);
    ToolRingColorStarts(profile, 0, 40.0, &side, &holder);
    EXPECT_EQ(holder, 7);
    // Placement by the machine: plain, with a tool direction, on a head-head machine.
    const MachineDefinition savedMachine = Machine;
    const MachineGeometry savedGeometry = CurrentMachine;
    const KinematicsToolValues savedValues = RunKinematics.toolValues;
    RunKinematics.toolValues.gaugeLength = 150.0;
    double p[3];
    ToolMeshPlacement(p);
    EXPECT_EQ(p[0], 0.0);
    EXPECT_EQ(p[2], -150.0);
    CurrentMachine.toolDirectionTilted = 1;
    CurrentMachine.toolDirection[0] = 1.0;
    CurrentMachine.toolDirection[2] = 0.0;
    ToolMeshPlacement(p);
    EXPECT_EQ(p[0], -150.0);
    EXPECT_EQ(p[2], 0.0);
    Machine.rotaryType = 1;  // a head-head machine's place wins over the tool direction
    Machine.headPosition[2] = 10.0;
    Machine.headOffset[0] = 3.0;
    ToolMeshPlacement(p);
    EXPECT_EQ(p[0], -3.0);
    EXPECT_EQ(p[2], -160.0);
    Machine = savedMachine;
    CurrentMachine = savedGeometry;
    RunKinematics.toolValues = savedValues;
    // Mounted tools: the arbor colour except the current tool; every tool in pen mode.
    EXPECT_EQ(MountedToolColorChoice(5, 5, 0), 0);
    EXPECT_EQ(MountedToolColorChoice(6, 5, 0), 1);
    EXPECT_EQ(MountedToolColorChoice(6, 5, 1), 2);
}

// The outline radius of a missing tool counts as 0: the default head block keeps its minimum
// and the default head cylinders are left out, without reading outside the profile.
TEST(MachineLists, DefaultHeadPartsWithoutATool) {
    testing::OffscreenView view(32, 32);
    ASSERT_TRUE(view.ok());
    const ToolProfile saved = RunTools.profile;
    RunTools.profile = ToolProfile{};
    RunTools.profile.pointCount = 0;
    EXPECT_EQ(CurrentToolOutlineRadius(), 0.0);
    RunTools.profile.pointCount = kProfilePointCapacity + 5;  // corrupt: still no read beyond
    EXPECT_EQ(CurrentToolOutlineRadius(), 0.0);
    RunTools.profile.pointCount = 0;
    Machine.rotaryType = 1;
    BuildHead1PartList();
    BuildHead2PartList();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(glIsList(FixedListName(kListHead1)));
    EXPECT_TRUE(glIsList(FixedListName(kListHead2)));
    RunTools.profile = saved;
}

// The record of built fixed lists, which spares the renderer the GL's search for a missing list,
// follows every build and deletion and forgets a context that went.
TEST(SceneLists, BuiltFixedListsFollowBuildsDeletionsAndTheContext) {
    for (int round = 0; round < 2; ++round) {  // a second context gets the same list names
        testing::OffscreenView view(32, 32);
        ASSERT_TRUE(view.ok());
        EXPECT_EQ(IsFixedListBuilt(kListTools), 0) << "round " << round;
        ASSERT_EQ(BeginSceneList(FixedListName(kListTools)), 1);
        EndSceneList();
        EXPECT_EQ(IsFixedListBuilt(kListTools), 1);
        EXPECT_EQ(IsFixedListBuilt(kListHead), 0);
        EXPECT_TRUE(glIsList(FixedListName(kListTools)));
        DeleteSceneList(FixedListName(kListTools));
        EXPECT_EQ(IsFixedListBuilt(kListTools), 0);
        EXPECT_FALSE(glIsList(FixedListName(kListTools)));
        ASSERT_EQ(BeginSceneList(FixedListName(kListTools)), 1);
        EndSceneList();
    }
    EXPECT_EQ(IsFixedListBuilt(0), 0);  // not a fixed list
}

// Default rotary tables: TYPE 2 without model files draws both tables; TYPE 1 without a TABLE1
// file draws no first table.
TEST(MachineLists, DefaultRotaryTablesByRotaryType) {
    testing::OffscreenView view(120, 120);
    ASSERT_TRUE(view.ok());
    DisplayModes.workMode = 0;
    DisplayModes.toolMode = 0;
    DisplayUnitFactor = 500.0;
    auto tablePixels = [&](int rotaryType) {
        Machine.rotaryType = rotaryType;
        Machine.rotary[0].ownAxis = 0;
        Machine.rotary[0].direction[0] = 1;
        Machine.rotary[1].ownAxis = 2;
        Machine.rotary[1].direction[0] = 0;
        Machine.rotary[1].direction[2] = 1;
        MarkMachineListsDirty();
        EXPECT_EQ(view.Render(), 1);
        const double centre[3] = {0, 0, 0};
        return view.PixelAt(centre);
    };
    const auto none = tablePixels(1);
    EXPECT_TRUE(testing::ColorNear(none, {0, 0, 0}, 0));
    const auto two = tablePixels(2);
    EXPECT_GT(two[0] + two[1] + two[2], 30);
}

// The mounted-tool drawing waits while a pass on another thread selects tools, and the two
// never touch the current tool at once (a thread sanitizer build reports any overlap).
TEST(ToolLists, MountedDrawingWaitsForThePass) {
    testing::OffscreenView view(64, 64);
    ASSERT_TRUE(view.ok());
    ASSERT_EQ(AllocToolTables(24), 1);
    ReadToolFileAt(RunSession, RunKinematics, RunTools, std::string(MIREXA_SAMPLES) + "/vmc3.ttl");
    ASSERT_EQ(ToolFile.status, 1);
    MountedTools = MountedToolLayout{};
    MountedTools.count = 2;
    MountedTools.list[1] = 1;
    MountedTools.list[2] = 2;
    MountedTools.flags[1] = MountedTools.flags[2] = 1;
    MountedTools.positions[2][0] = 120.0;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.0);
    // Exclusion: a pass holding the tools is waited for.
    std::atomic<bool> locked{false}, released{false};
    std::thread holder([&] {
        std::lock_guard<const MountedToolsSide> lock(MountedToolsForSimulation);
        locked = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        released = true;
    });
    while (!locked) {
        std::this_thread::yield();
    }
    SceneDirty.tools = 1;
    BuildMountedToolsList();
    EXPECT_TRUE(released.load());
    holder.join();
    EXPECT_TRUE(glIsList(FixedListName(kListTools)));
    EXPECT_EQ(SceneDirty.tools.load(), 0);
    // Stress: the pass keeps switching the current tool under the lock while frames rebuild the
    // tools list.
    std::atomic<bool> stop{false};
    std::thread pass([&] {
        int n = 1;
        while (!stop) {
            {
                std::lock_guard<const MountedToolsSide> lock(MountedToolsForSimulation);
                n = n == 1 ? 2 : 1;
                RunTools.tool.derivedFrom = n;
                RunTools.profile.pointCount = RunTools.profile.pointCount;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    for (int i = 0; i < 40; ++i) {
        SceneDirty.tools = 1;
        EXPECT_EQ(view.Render(), 1);
    }
    stop = true;
    pass.join();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    MountedTools = MountedToolLayout{};
    FreeToolTables();
}

}  // namespace
}  // namespace mirexa
