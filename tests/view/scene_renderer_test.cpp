// The scene renderer: the table/head split, what each machine type and display mode draws, the
// picked point's states, the basic shape, the view following the rotary table, and the tool in
// the head's frame.
#include "view/scene_renderer.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/machine_models.h"
#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "view/camera.h"
#include "view/gl_colors.h"
#include "view/kept_stock_frame.h"
#include "view/marker_lists.h"
#include "view/snapshots.h"
#include "view/stock_display.h"
#include "view/view_hooks.h"
#include "view_test_support.h"

namespace mirexa {
namespace {

// Makes the current tool a flat cylinder of that radius and height (mm) above its tip, as the
// tool's swept profile mesh.
void MountCylinderTool(double radius, double height) {
    RunTools.tool = CurrentToolRecord{};
    RunTools.tool.tool.present = 1;
    RunTools.profile = ToolProfile{};
    ToolProfile& p = RunTools.profile;
    p.pointCount = p.cutterPointCount = 3;
    const double radii[3] = {0, radius, radius}, heights[3] = {0, 0, height};
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < kProfileSweepSteps; ++k) {
            double* v = &p.rotatedMesh[(i * kProfileSweepSteps + k) * 3];
            v[0] = radii[i] * std::cos(k * M_PI / 18);
            v[1] = radii[i] * std::sin(k * M_PI / 18);
            v[2] = heights[i];
        }
    }
}

using testing::ColorNear;
using testing::LitColor;
using testing::OffscreenView;

const double kUp[3] = {0, 0, 1};

std::vector<std::uint8_t> Capture() {
    std::vector<std::uint8_t> pixels(ViewCapture.size);
    EXPECT_EQ(ReadViewPixels(kPixelsRgb, pixels.data(), pixels.size()), 1);
    return pixels;
}

int DifferingPixels(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    int n = 0;
    for (std::size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3) {
        n += (a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2]) ? 1 : 0;
    }
    return n;
}

TEST(SceneSplit, TableAxesGoNegatedToTheTableAndTheStationComesOffTheHead) {
    const double saved = DisplayUnitFactor;
    DisplayUnitFactor = 10.0;
    const double machine[3] = {10, 20, 30};
    const unsigned char carries[3] = {1, 1, 0};
    double table[3], head[3];
    SplitMachineTranslation(machine, carries, nullptr, table, head);
    EXPECT_EQ(table[0], -1.0);
    EXPECT_EQ(table[1], -2.0);
    EXPECT_EQ(table[2], 0.0);
    EXPECT_EQ(head[0], 0.0);
    EXPECT_EQ(head[2], 3.0);
    const double station[3] = {1, 2, 3};
    SplitMachineTranslation(machine, carries, station, table, head);
    EXPECT_DOUBLE_EQ(head[0], -0.1);
    EXPECT_DOUBLE_EQ(head[1], -0.2);
    EXPECT_DOUBLE_EQ(head[2], 2.7);
    EXPECT_EQ(table[0], -1.0);
    DisplayUnitFactor = saved;
    // Without the view's context nothing is drawn or compiled.
    const std::uint32_t base = DisplayListBase;
    DisplayListBase = 0;
    EXPECT_EQ(RenderScene(nullptr, nullptr), 0);
    DisplayListBase = base;
}

std::string Sample(const char* name) {
    return std::string(MIREXA_SAMPLES) + "/" + name;
}

TEST(SceneRenderer, NoRotaryTypeDrawsNoViceAndNoFirstTable) {
    OffscreenView view(100, 100);
    ASSERT_TRUE(view.ok());
    DisplayUnitFactor = 200.0;
    DisplayModes.toolMode = 0;
    MachineModelNames.viceNames = {Sample("vice.stl")};
    const double onVice[3] = {0, 0, 20};
    for (int type : {0, 1}) {
        Machine.rotaryType = type;
        MarkMachineListsDirty();
        ASSERT_EQ(view.Render(), 1);
        if (type == 0) {
            EXPECT_TRUE(ColorNear(view.PixelAt(onVice), {0, 0, 0}, 0));
        } else {
            EXPECT_TRUE(ColorNear(view.PixelAt(onVice), LitColor(GlColors.vice, kUp)));
        }
    }
    // The machine hidden: nothing of it.
    DisplayModes.machineMode = 0;
    ASSERT_EQ(view.Render(), 1);
    EXPECT_TRUE(ColorNear(view.PixelAt(onVice), {0, 0, 0}, 0));
}

TEST(SceneRenderer, HidingTheMachineKeepsTheStockInPlace) {
    OffscreenView view(100, 100);
    ASSERT_TRUE(view.ok());
    DisplayUnitFactor = 50.0;
    DisplayModes.toolMode = 0;
    Machine.tableCarries[0] = 1;
    RunKinematics.pose.machine.axis[0] = 20.0;  // the table moved 20 mm to -X
    const double lo[3] = {-10, -10, -5}, hi[3] = {10, 10, 0};
    ASSERT_EQ(testing::MakeBoxStock(0, lo, hi, 1.0, 1), 1);
    const double moved[3] = {-20, 0, 0}, home[3] = {12, 0, 0};
    for (int mode : {1, 0}) {
        DisplayModes.machineMode = mode;
        ASSERT_EQ(view.Render(), 1);
        EXPECT_TRUE(ColorNear(view.PixelAt(moved), LitColor(GlColors.pens[0], kUp))) << mode;
        EXPECT_TRUE(ColorNear(view.PixelAt(home), {0, 0, 0}, 0)) << mode;
    }
    // A point picked where the stock is drawn goes back to where the stock is.
    double picked[3];
    ConvertMachineToWorkPosition(RunKinematics, moved, picked);
    EXPECT_NEAR(picked[0], 0.0, 1e-12);
    EXPECT_NEAR(picked[1], 0.0, 1e-12);
    // The view following the table's linear axes keeps the stock where it was made.
    SceneFollow.followLinearAxes = 1;
    ASSERT_EQ(view.Render(), 1);
    const double origin[3] = {0, 0, 0};
    EXPECT_TRUE(ColorNear(view.PixelAt(origin), LitColor(GlColors.pens[0], kUp)));
}

// The light follows the settings' light vector: the stock's top face, seen from straight above,
// takes the shade of its normal against each vector, down to ambient light only.
TEST(SceneRenderer, TopFaceShadeFollowsTheLightVector) {
    OffscreenView view(100, 100);
    ASSERT_TRUE(view.ok());
    DisplayUnitFactor = 50.0;
    DisplayModes.toolMode = 0;
    DisplayModes.machineMode = 0;
    const double lo[3] = {-10, -10, -5}, hi[3] = {10, 10, 0};
    ASSERT_EQ(testing::MakeBoxStock(0, lo, hi, 1.0, 1), 1);
    const double top[3] = {2, 3, 0};
    const double lights[][3] = {{0, 0, 1}, {0.6, 0, 0.8}, {0, -0.8, 0.6}, {1, 0, 0}};
    std::vector<std::array<int, 3>> shades;
    for (const auto& light : lights) {
        std::copy(light, light + 3, Settings.lightVector);
        ASSERT_EQ(view.Render(), 1);
        shades.push_back(view.PixelAt(top));
        EXPECT_TRUE(ColorNear(shades.back(), LitColor(GlColors.pens[0], kUp)))
            << light[0] << ", " << light[1] << ", " << light[2];
    }
    EXPECT_NE(shades[0], shades[1]);
    EXPECT_NE(shades[1], shades[3]);
}

TEST(SceneRenderer, PickedPointAndBasicShapeLists) {
    OffscreenView view(100, 100);
    ASSERT_TRUE(view.ok());
    DisplayModes.toolMode = 0;
    DisplayUnitFactor = 100.0;
    // The picked point: built at state 2, drawn while the state is above 0.
    PickedPoint[0] = 30.0;
    SceneDirty.pickedPoint = 2;
    ASSERT_EQ(view.Render(), 1);
    EXPECT_EQ(SceneDirty.pickedPoint.load(), 1);
    const double picked[3] = {30, 0, 0};
    EXPECT_TRUE(ColorNear(view.PixelAt(picked), {255, 0, 0}, 0));
    ASSERT_EQ(view.Render(), 1);
    EXPECT_TRUE(ColorNear(view.PixelAt(picked), {255, 0, 0}, 0));
    SceneDirty.pickedPoint = 0;
    ASSERT_EQ(view.Render(), 1);
    EXPECT_TRUE(ColorNear(view.PixelAt(picked), {0, 0, 0}, 0));
    // A basic model is drawn in the base colour; without one its list is deleted.
    const double box[6] = {-20, -20, -10, 20, 20, 0};
    SetStockUndoRingSize(&BasicModel, 1);
    ASSERT_EQ(CreateBoxStockIdentity(&BasicModel, box, 2.0), 1);
    DisplayModes.baseMode = 1;
    SceneDirty.basicShape = 1;
    ASSERT_EQ(view.Render(), 1);
    EXPECT_TRUE(glIsList(FixedListName(kListBasicShape)));
    const double onBasic[3] = {0, 0, 0};
    EXPECT_TRUE(ColorNear(view.PixelAt(onBasic), LitColor(GlColors.base, kUp)));
    float work[4];
    ColorRefToGlColor(LiveColors.work, DisplayModes.workAlpha, work);
    EXPECT_EQ(GlColors.pens[0][0], work[0]);  // the work colour is back
    FreeStockModel(&BasicModel);
    BasicModel = StockModel{};
    ASSERT_EQ(view.Render(), 1);
    EXPECT_FALSE(glIsList(FixedListName(kListBasicShape)));
    EXPECT_TRUE(ColorNear(view.PixelAt(onBasic), {0, 0, 0}, 0));
}

// With the view following the rotary table, turning the table leaves its picture where it was.
TEST(SceneRenderer, FollowingTheRotaryTableUndoesItsTurn) {
    for (int type : {2, 3}) {
        OffscreenView view(120, 120);
        ASSERT_TRUE(view.ok());
        DisplayUnitFactor = 60.0;
        DisplayModes.toolMode = 0;
        CurrentView.angleA = 20.0;
        CurrentView.angleB = 50.0;
        UpdateViewTrig(&CurrentView);
        Machine.rotaryType = type;
        Machine.rotary[0].ownAxis = 0;
        Machine.rotary[0].direction[0] = 1.0;
        Machine.rotary[1].ownAxis = 2;
        Machine.rotary[1].direction[0] = 0.0;
        Machine.rotary[1].direction[2] = 1.0;
        Machine.tablePosition[2] = -30.0;
        Machine.secondTableCentre[0] = 5.0;
        Machine.secondTableCentre[2] = -20.0;
        // The stock on the last table is what the view follows; the machine parts below it
        // and the head do move on screen, so they are hidden here.
        DisplayModes.machineMode = 0;
        const double lo[3] = {5, -10, -8}, hi[3] = {30, 15, 4};  // off the pivots
        ASSERT_EQ(testing::MakeBoxStock(0, lo, hi, 1.0, 1), 1);
        ASSERT_EQ(view.Render(), 1);
        const auto still = Capture();
        RunKinematics.pose.machine.axis[3] = 25.0;
        RunKinematics.pose.machine.axis[4] = 37.0;
        ASSERT_EQ(view.Render(), 1);
        const auto turned = Capture();
        EXPECT_GT(DifferingPixels(still, turned), 300) << "type " << type;
        SceneFollow.followRotaryAxes = 1;
        SceneDisplay.animationAxis = 4;  // an animated axis is followed as well
        SceneDisplay.animationCounter = 3;
        ASSERT_EQ(view.Render(), 1);
        EXPECT_LT(DifferingPixels(still, Capture()), 40) << "type " << type;
    }
}

// The tool hangs in the head's frame: it follows the head's axes, and the NC program's tool
// display state 0 draws it in the background colour.
TEST(SceneRenderer, ToolIsDrawnInTheHeadFrame) {
    OffscreenView view(120, 120);
    ASSERT_TRUE(view.ok());
    DisplayUnitFactor = 50.0;
    CurrentView.angleA = 0.0;
    CurrentView.angleB = 90.0;  // from the front: +Z up, +Y away
    UpdateViewTrig(&CurrentView);
    LiveColors.background = MakeColorRef(10, 30, 50);
    FillGlColorTable(LiveColors, DisplayModes);
    const CurrentToolRecord savedTool = RunTools.tool;
    const ToolProfile savedProfile = RunTools.profile;
    const KinematicsToolValues savedValues = RunKinematics.toolValues;
    // A cylinder of radius 5 and height 30 above its tip.
    MountCylinderTool(5.0, 30.0);
    RunKinematics.toolValues.gaugeLength = 30.0;
    RunKinematics.pose.machine.axis[0] = 40.0;  // the head at X 40, Z 30: the tip at (40, 0, 0)
    RunKinematics.pose.machine.axis[2] = 30.0;
    SceneDirty.tools = 1;
    ASSERT_EQ(view.Render(), 1);
    // The facet between 270 and 280 degrees faces the viewer, turned 5 degrees to +X.
    const double facet[3] = {41.5, -5.0, 15.0};
    const double eyeNormal[3] = {std::sin(5 * M_PI / 180), 0, std::cos(5 * M_PI / 180)};
    EXPECT_TRUE(ColorNear(view.PixelAt(facet), LitColor(GlColors.toolTop, eyeNormal)));
    const double centre[3] = {0, -5, 15};
    EXPECT_TRUE(ColorNear(view.PixelAt(centre), {10, 30, 50}, 1));
    static int displayState = 0;
    displayState = 0;
    ViewCallbacks.toolDisplayState = [] { return displayState; };
    ASSERT_EQ(view.Render(), 1);
    EXPECT_TRUE(ColorNear(view.PixelAt(facet), LitColor(GlColors.background, eyeNormal)));
    // Hidden tools are not drawn at all.
    DisplayModes.toolMode = 0;
    ASSERT_EQ(view.Render(), 1);
    EXPECT_TRUE(ColorNear(view.PixelAt(facet), {10, 30, 50}, 1));
    RunTools.tool = savedTool;
    RunTools.profile = savedProfile;
    RunKinematics.toolValues = savedValues;
}

// A redraw that puts back the kept stock frame shows, byte for byte, what a full redraw shows:
// after a head move (the kept frame is used) and after each change that must not use it.
TEST(SceneRenderer, KeptStockFrameRedrawEqualsAFullRedraw) {
    OffscreenView view(120, 100);
    ASSERT_TRUE(view.ok());
    DisplayUnitFactor = 50.0;
    CurrentView.angleA = 30.0;
    CurrentView.angleB = 60.0;
    UpdateViewTrig(&CurrentView);
    const double lo[3] = {-20, -15, -10}, hi[3] = {20, 15, 0};
    ASSERT_EQ(testing::MakeBoxStock(0, lo, hi, 1.0, 1), 1);
    const CurrentToolRecord savedTool = RunTools.tool;
    const ToolProfile savedProfile = RunTools.profile;
    MountCylinderTool(4.0, 25.0);
    SceneDirty.tools = 1;
    struct Case {
        const char* change;
        void (*apply)();
        bool kept;  // the redraw may use the kept frame
    };
    const Case cases[] = {
        {"head move", [] { RunKinematics.pose.machine.axis[0] += 7.0; }, true},
        {"head plunge", [] { RunKinematics.pose.machine.axis[2] = -3.0; }, true},
        {"light", [] { Settings.lightVector[0] = 0.6, Settings.lightVector[2] = 0.8; }, false},
        {"background",
         [] {
             LiveColors.background = MakeColorRef(10, 30, 50);
             FillGlColorTable(LiveColors, DisplayModes);
         },
         false},
        {"view turned",
         [] {
             CurrentView.angleA += 5.0;
             UpdateViewTrig(&CurrentView);
         },
         false},
        {"zoom", [] { CurrentView.zoom *= 1.2; }, false},
        {"coordinate axes hidden", [] { DisplayModes.basicAxis = 0; }, false},
        {"stock transparent", [] { DisplayModes.workMode = 2; }, false},
        {"wire frame", [] { DisplayModes.stockStyle = kStockStyleWireFrame; }, false},
        {"table carries X", [] { Machine.tableCarries[0] = 1; }, false},
        {"after the table moved", [] { RunKinematics.pose.machine.axis[0] += 4.0; }, false},
        {"view resized", [] { ResizeGlContext(130, 90); }, false},
        {"head move after the resize", [] { RunKinematics.pose.machine.axis[1] += 5.0; }, true},
    };
    ASSERT_EQ(view.Render(), 1);
    for (const Case& c : cases) {
        const std::uint64_t generation = SceneListGeneration;
        c.apply();
        ASSERT_EQ(view.Render(), 1) << c.change;
        const std::vector<std::uint8_t> redrawn = Capture();
        if (c.kept) {
            EXPECT_EQ(SceneListGeneration, generation) << c.change << ": the stock was rebuilt";
        }
        DropKeptStockFrame();
        ASSERT_EQ(view.Render(), 1) << c.change;
        const std::vector<std::uint8_t> full = Capture();
        EXPECT_EQ(DifferingPixels(redrawn, full), 0) << c.change;
        EXPECT_GT(DifferingPixels(full, std::vector<std::uint8_t>(full.size(), 0)), 100)
            << c.change;
    }
    RunTools.tool = savedTool;
    RunTools.profile = savedProfile;
    Machine.tableCarries[0] = 0;
}

TEST(SceneRenderer, TriadSitsInTheLowerLeftCorner) {
    OffscreenView view(160, 120);
    ASSERT_TRUE(view.ok());
    DisplayModes.toolMode = 0;
    ASSERT_EQ(view.Render(), 1);
    // At A = B = 0 the X arm runs 30 px to the right of the origin 40 px from the corner.
    const auto upper = view.Pixel(55, 120 - 41);
    const auto lower = view.Pixel(55, 120 - 40);
    EXPECT_TRUE(ColorNear(upper, {255, 0, 0}, 0) || ColorNear(lower, {255, 0, 0}, 0));
    // The Z arm points at the viewer: no blue anywhere near the origin.
    for (int y = 60; y < 120; ++y) {
        for (int x = 0; x < 60; ++x) {
            EXPECT_EQ(view.Pixel(x, y)[2], 0) << x << ", " << y;
        }
    }
}

}  // namespace
}  // namespace mirexa
