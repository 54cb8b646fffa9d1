// The tool path display: recorded strips of small programs (short moves, rapids dashed or left
// out, a five-axis line without rotary interpolation, an arc's exact end, an interpreter error),
// the state left as it was, no report lines, refused nesting, and the bundled sample's path
// against the step points of the simulation thread cutting the same program.
#include "view/tool_path.h"

#include <gtest/gtest.h>

#include <chrono>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/offset_memory.h"
#include "config/offset_tables.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/alarm_report.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "services/file_paths.h"
#include "services/shared_state.h"
#include "simulation/cutting_core.h"
#include "simulation/move_stepping.h"
#include "simulation/run_control.h"
#include "simulation/simulation_hooks.h"
#include "simulation/simulation_thread.h"
#include "simulation/tool_length_report.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "stockio/stock_saving.h"
#include "support/definition_state.h"
#include "support/scratch_directory.h"
#include "support/test_cutting_run.h"
#include "support/tool_records.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/gl_colors.h"
#include "view/view_hooks.h"
#include "view_test_support.h"

namespace mirexa {
namespace {

// The strips a path drawing emitted.
struct Strip {
    int dashed = {};
    std::vector<std::array<double, 3>> points;
};
struct PathRecord {
    std::vector<Strip> strips;
    std::vector<std::array<double, 3>> constructionPoints;
    int openStrips = {};
    // Called at each vertex (a nested drawing, an abort).
    void (*onVertex)(PathRecord* record) = {};

    ToolPathOutput Output() {
        ToolPathOutput o;
        o.context = this;
        o.beginStrip = [](void* c, int dashed) {
            auto* r = static_cast<PathRecord*>(c);
            r->strips.push_back(Strip{dashed, {}});
            ++r->openStrips;
        };
        o.vertex = [](void* c, const double p[3]) {
            auto* r = static_cast<PathRecord*>(c);
            ASSERT_FALSE(r->strips.empty());
            r->strips.back().points.push_back({p[0], p[1], p[2]});
            if (r->onVertex != nullptr) {
                r->onVertex(r);
            }
        };
        o.endStrip = [](void* c) { --static_cast<PathRecord*>(c)->openStrips; };
        o.constructionPoint = [](void* c, const double p[3]) {
            static_cast<PathRecord*>(c)->constructionPoints.push_back({p[0], p[1], p[2]});
        };
        return o;
    }
    int Count(int dashed) const {
        int n = 0;
        for (const Strip& s : strips) {
            n += s.dashed == dashed ? 1 : 0;
        }
        return n;
    }
};

bool SamePose(const MachinePose& a, const MachinePose& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class ToolPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetDefinitionState();
        RunSession.controller = NcControllerView{};
        InstallNcServiceHooks();
        GiveRunRequest(TestRun, WindowRunRequest());
        SimulationCallbacks = SimulationHooks{};
        ToolPathDisplay = ToolPathOptions{};
        CurrentMachine = MachineGeometry{};
        RunKinematics.modes = KinematicsModeFlags{};
        RunKinematics.workOrigin = MotionPosition{};
        DisplayUnitFactor = 1.0;
        ASSERT_EQ(AllocToolTables(4), 1);
        PutTool(1, kToolFlat, 6.0f);
        PutTool(2, kToolBall, 4.0f);
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
        DexelPitch.secondPitch = 0.5;
        RunKinematics.pose = MachinePose{};
        RunKinematics.pose.program.axis[2] = 50.0;
        UpdateMachinePosition(RunKinematics);
    }
    void TearDown() override {
        CloseNcProgramSource(RunSession);
        CloseAlarmFile(RunSession);
        AlarmReport = AlarmReportFile{};
        FreeStockModel(&StockModels[0]);
        StockModels[0] = StockModel{};
        testing::ResetDefinitionState();
        RunSession.controller = NcControllerView{};
        CurrentMachine = MachineGeometry{};
        SimulationCallbacks = SimulationHooks{};
        TestRun.reports.toolLength = ToolLengthReportOutput{};
        ToolPathDisplay = ToolPathOptions{};
        WindowRun.mode = RunMode::kIdle;
        DisplayUnitFactor = 1.0;
    }
    static void PutTool(int n, std::uint32_t type, float d) {
        testing::PutTestTool(n, type, d);
    }
    void Program(const std::string& text) {
        DefinitionFiles.ncProgramFile = scratch_.Write("part.nc", text);
    }
    int Trace(PathRecord* record, int withoutRotary = 0) {
        const int result = TraceToolPath(withoutRotary, record->Output());
        EXPECT_EQ(record->openStrips, 0) << "every strip begun is ended";
        return result;
    }
    testing::ScratchDirectory scratch_;
};

TEST_F(ToolPathTest, ShortMovesRapidsAndTheirHiding) {
    // A rapid down, a move shorter than the coordinate tolerance (0.0005 mm), a 10 mm line at
    // the 0.5 mm step, a rapid up.
    Program("%\nG90 G00 X10. Y0 Z5.\nG01 X10.0003 F100.\nX20.\nG00 Z50.\nM30\n%\n");
    PathRecord all;
    ASSERT_EQ(Trace(&all), kToolPathDrawn);
    // The short move draws nothing: the one solid strip is the 10 mm line, its start and 20
    // steps, ending exactly at X20.
    ASSERT_EQ(all.Count(0), 1);
    const Strip* line = nullptr;
    for (const Strip& s : all.strips) {
        if (s.dashed == 0) {
            line = &s;
        }
    }
    ASSERT_EQ(line->points.size(), 21u);
    EXPECT_EQ(line->points.front()[0], 10.0);
    EXPECT_EQ(line->points.back()[0], 20.0);
    EXPECT_EQ(line->points.back()[1], 0.0);
    for (const auto& p : line->points) {
        EXPECT_EQ(p[2], line->points.front()[2]) << "the line stays at its height";
    }
    // The rapids are dashed, and each strip starts where the one before ended.
    EXPECT_GE(all.Count(1), 2);
    for (size_t k = 1; k < all.strips.size(); ++k) {
        EXPECT_EQ(all.strips[k].points.front(), all.strips[k - 1].points.back());
    }
    EXPECT_TRUE(all.constructionPoints.empty());

    // Shift: no rapid strips, the same line. IGNORE G00: no rapid strips either.
    ToolPathDisplay.hideRapids = 1;
    PathRecord hidden;
    ASSERT_EQ(Trace(&hidden), kToolPathDrawn);
    EXPECT_EQ(hidden.Count(1), 0);
    ASSERT_EQ(hidden.strips.size(), 1u);
    EXPECT_EQ(hidden.strips[0].points, line->points);
    ToolPathDisplay.hideRapids = 0;
    Checks.ignoreG00 = 1;
    PathRecord ignored;
    ASSERT_EQ(Trace(&ignored), kToolPathDrawn);
    EXPECT_EQ(ignored.Count(1), 0);
    ASSERT_EQ(ignored.strips.size(), 1u);
    EXPECT_EQ(ignored.strips[0].points.back()[0], 20.0);
    Checks.ignoreG00 = 0;

    // Construction points: one at the start of every drawn move.
    DisplayModes.constructionPoint = 1;
    PathRecord marked;
    ASSERT_EQ(Trace(&marked), kToolPathDrawn);
    ASSERT_EQ(marked.constructionPoints.size(), marked.strips.size());
    for (size_t k = 0; k < marked.strips.size(); ++k) {
        EXPECT_EQ(marked.constructionPoints[k], marked.strips[k].points.front());
    }
}

TEST_F(ToolPathTest, ArcEndsExactlyAtTheBlockEnd) {
    // A clockwise half circle of radius 5 about (15, 0), from X10 to X20.
    Program("%\nG90 G00 X10. Y0 Z5.\nG02 X20. Y0 I5. J0 F100.\nM30\n%\n");
    ToolPathDisplay.hideRapids = 1;
    PathRecord r;
    ASSERT_EQ(Trace(&r), kToolPathDrawn);
    ASSERT_EQ(r.strips.size(), 1u);
    const auto& points = r.strips[0].points;
    // n = ceil(5 pi / 0.5) = 32 steps.
    ASSERT_EQ(points.size(), 33u);
    EXPECT_EQ(points.back()[0], 20.0);
    EXPECT_EQ(points.back()[1], 0.0);
    for (const auto& p : points) {
        EXPECT_NEAR(std::hypot(p[0] - 15.0, p[1]), 5.0, 1e-9);
        EXPECT_GE(p[1], -1e-9) << "a clockwise arc from X10 to X20 passes through +Y";
    }
}

TEST_F(ToolPathTest, NurbsCurveIsSteppedByKnotSpan) {
    // An order-2 curve: down from (5,5,12) to (5,5,2), a span of 10 mm (20 steps of 0.5), then
    // to (5,10,12), a span of sqrt(125) = 11.18 mm (23 steps).
    Program(
        "%\nG90 G17 G00 X5. Y5. Z12.\nG01 F300.\nG06.2 P2 K0. X5. Y5. Z12.\nK0. Z2.\n"
        "K1. Y10. Z12.\nK2.\nK2.\nG00 Y5.\nM30\n%\n");
    ToolPathDisplay.hideRapids = 1;
    PathRecord r;
    ASSERT_EQ(Trace(&r), kToolPathDrawn);
    ASSERT_EQ(r.strips.size(), 1u);
    const auto& points = r.strips[0].points;
    ASSERT_EQ(points.size(), 1u + 20u + 23u);
    const double z0 = points[0][2] - 12.0;  // the tool point's height over the program's
    for (int j = 1; j <= 20; ++j) {
        EXPECT_NEAR(points[j][2] - z0, 12.0 - 0.5 * j, 1e-9);
    }
    for (int j = 1; j <= 23; ++j) {
        EXPECT_NEAR(points[20 + j][1], 5.0 + 5.0 * j / 23.0, 1e-9);
        EXPECT_NEAR(points[20 + j][2] - z0, 2.0 + 10.0 * j / 23.0, 1e-9);
    }
    EXPECT_EQ(points.back()[1], 10.0);
}

TEST_F(ToolPathTest, FiveAxisLineWithoutRotaryInterpolationIsOneSegment) {
    // A table turning about X; the line moves X and turns A by 90 deg at 20 mm from the axis.
    CurrentMachine.rotaryType = 2;
    Machine.rotaryType = 2;
    Controller.axes.rotaryLetters[0] = 'A';
    RunKinematics.pose.program.axis[1] = 20.0;
    RunKinematics.pose.program.axis[2] = 0.0;
    UpdateMachinePosition(RunKinematics);
    Program("%\nG90 G01 X10. A90. F100.\nM30\n%\n");
    PathRecord curved;
    ASSERT_EQ(Trace(&curved, 0), kToolPathDrawn);
    PathRecord straight;
    ASSERT_EQ(Trace(&straight, 1), kToolPathDrawn);
    ASSERT_EQ(curved.strips.size(), 1u);
    ASSERT_EQ(straight.strips.size(), 1u);
    const auto& c = curved.strips[0].points;
    const auto& s = straight.strips[0].points;
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s.front(), c.front());
    EXPECT_EQ(s.back(), c.back());
    // The interpolated path is a curve through the kinematics: its middle point keeps its
    // distance from the X axis, which the chord's middle does not.
    ASSERT_GT(c.size(), 10u);
    const auto& mid = c[c.size() / 2];
    const double r0 = std::hypot(c.front()[1], c.front()[2]);
    EXPECT_NEAR(std::hypot(mid[1], mid[2]), r0, 1e-9);
    EXPECT_GT(r0 - std::hypot((s[0][1] + s[1][1]) / 2, (s[0][2] + s[1][2]) / 2), 1.0);
}

TEST_F(ToolPathTest, InterpreterErrorKeepsTheMovesBeforeIt) {
    Controller.checkF0 = 1;
    Program("%\nG90 G01 X10. Y0 Z5. F100.\nG01 X20. F0\nX30.\nM30\n%\n");
    PathRecord r;
    EXPECT_EQ(Trace(&r), kToolPathError);
    EXPECT_EQ(LastToolPath.error, kNcErrorFeedZero);
    ASSERT_EQ(r.strips.size(), 1u);
    EXPECT_EQ(r.strips[0].points.back()[0], 10.0);
}

TEST_F(ToolPathTest, DrawingLeavesToolPositionWorkOffsetAndInterpreterAsTheyWere) {
    // The program changes the tool, the work offset and the position; G92 sets coordinates.
    WorkOffsetTable[2].axis[0] = 100.0;  // G55
    RunSession.run.modal.workOffsetIndex = 1;
    Program("%\nG90 G55 G00 X10. Y10. Z5.\nT2 M06\nG01 X20. F100.\nG92 X0 Y0\nG01 X5.\nM30\n%\n");
    RefreshNcControllerView(RunSession);
    ResetInterpreterState(RunSession);
    UpdateMachinePosition(RunKinematics);
    const MachinePose pose = RunKinematics.pose;
    const MotionPosition origin = RunKinematics.workOrigin;
    const int offsetIndex = RunSession.run.modal.workOffsetIndex;
    const double gauge = RunKinematics.toolValues.gaugeLength;
    PathRecord r;
    ASSERT_EQ(Trace(&r), kToolPathDrawn);
    // The path itself saw the tool change (the ball's length moves the tool point) and G55.
    ASSERT_GE(r.strips.size(), 3u);
    EXPECT_EQ(r.strips.back().points.back()[0], 125.0) << "X5 after G92 X0 at X20 of G55";
    EXPECT_EQ(RunTools.tool.derivedFrom, 1);
    EXPECT_EQ(RunTools.tool.tool.type, kToolFlat);
    EXPECT_EQ(RunKinematics.toolValues.gaugeLength, gauge);
    EXPECT_TRUE(SamePose(RunKinematics.pose, pose));
    EXPECT_EQ(std::memcmp(&RunKinematics.workOrigin, &origin, sizeof origin), 0);
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, offsetIndex);
    EXPECT_EQ(RunSession.run.status.endState, 0);
    EXPECT_EQ(IsToolPathDrawing(), 0);
    // A second drawing draws the same path.
    PathRecord again;
    ASSERT_EQ(Trace(&again), kToolPathDrawn);
    ASSERT_EQ(again.strips.size(), r.strips.size());
    for (size_t k = 0; k < r.strips.size(); ++k) {
        EXPECT_EQ(again.strips[k].points, r.strips[k].points);
    }
    // Without a selected tool, none is left selected.
    RunTools.tool = CurrentToolRecord{};
    PathRecord untooled;
    ASSERT_EQ(Trace(&untooled), kToolPathDrawn);
    EXPECT_EQ(RunTools.tool.derivedFrom, -1);
}

TEST_F(ToolPathTest, DrawingWritesNoReportLines) {
    // A tool-length report asked for and open, a radius-offset alarm listed to "alarm.txt" (the
    // compensated contour has an element shorter than the radius).
    ToolOffsets.d[1] = 5.0f;
    Controller.radiusCheckAny = 1;
    Controller.radiusCheckListMode = 1;
    AlarmReport.path = scratch_.At("alarm.txt");
    std::FILE* report = std::tmpfile();
    ASSERT_NE(report, nullptr);
    TestRun.reports.toolLength.stream = report;
    TestRun.reports.toolLength.arborCheck = kToolLengthCheckOutput;
    // The run's reports are written in the scratch working directory, the second form of the
    // interference report among them (its file is there).
    const std::string savedDirectory = FileLocations.currentDirectory;
    FileLocations.currentDirectory = scratch_.Path();
    scratch_.Write("interference2.txt", "");
    Program(
        "%\nG90 G00 X-10. Y-10. Z0\nG01 F100.\nG41 D1 X0 Y-10.\nX20.\nY-7.\nX30.\nY10.\n"
        "G40 X0 Y0\nT2 M06\nG01 X10.\nT1 M06\nM30\n%\n");
    RefreshNcControllerView(RunSession);
    for (int pass = 0; pass < 2; ++pass) {
        PathRecord r;
        ASSERT_EQ(Trace(&r), kToolPathDrawn);
        EXPECT_GT(r.strips.size(), 5u);
    }
    EXPECT_EQ(std::ftell(report), 0L) << "no tool-length report line";
    EXPECT_FALSE(std::filesystem::exists(AlarmReport.path)) << "no alarm report";
    EXPECT_EQ(TestRun.reports.interference.stream, nullptr) << "no interference report";
    EXPECT_EQ(TestRun.reports.limitLog.stream, nullptr) << "no limit log";
    EXPECT_FALSE(std::filesystem::exists(scratch_.At("interference.txt")));
    EXPECT_EQ(testing::ReadWholeFile(scratch_.At("interference2.txt")), "");
    EXPECT_EQ(RunSession.controller.radiusCheckListMode, 1) << "the controller view is as it was";
    // The cut of the same program writes both reports.
    const double box[6] = {-20, -20, -10, 40, 20, 0};
    SetStockUndoRingSize(&StockModels[0], 1);
    ASSERT_EQ(CreateBoxStockIdentity(&StockModels[0], box, 0.5), 1);
    CurrentStockIndex = 0;
    BindDexelGridViews(&StockModels[0], TestRun.cutting.views);
    WindowRun.mode = RunMode::kSkipCutting;
    DrawingSuppressed = 1;
    RunTestCut();
    DrawingSuppressed = 0;
    WindowRun.mode = RunMode::kIdle;
    ReleaseCuttingBuffers();
    BindDexelGridViews(nullptr, TestRun.cutting.views);
    CloseAlarmFile(RunSession);
    EXPECT_GT(std::ftell(report), 0L);
    EXPECT_TRUE(std::filesystem::exists(AlarmReport.path));
    TestRun.reports.toolLength.stream = nullptr;
    std::fclose(report);
    FileLocations.currentDirectory = savedDirectory;
}

TEST_F(ToolPathTest, NestedDrawingsAndDrawingsDuringARunAreRefused) {
    Program("%\nG90 G01 X10. Y0 Z5. F100.\nX20.\nM30\n%\n");
    static int nested = -99;
    static int drawingSeen = 0;
    nested = -99;
    drawingSeen = 0;
    PathRecord r;
    r.onVertex = [](PathRecord*) {
        drawingSeen = IsToolPathDrawing();
        PathRecord inner;
        nested = TraceToolPath(0, inner.Output());
        EXPECT_TRUE(inner.strips.empty());
    };
    ASSERT_EQ(Trace(&r), kToolPathDrawn);
    EXPECT_EQ(nested, kToolPathRefused);
    EXPECT_EQ(drawingSeen, 1);
    EXPECT_EQ(IsToolPathDrawing(), 0);
    // While a cutting run is active the interpreter belongs to it.
    WindowRun.mode = RunMode::kRealCutting;
    const MachinePose pose = RunKinematics.pose;
    PathRecord during;
    EXPECT_EQ(Trace(&during), kToolPathRefused);
    EXPECT_TRUE(during.strips.empty());
    EXPECT_TRUE(SamePose(RunKinematics.pose, pose));
    WindowRun.mode = RunMode::kIdle;
    RunSession.run.dataCheckActive = 1;
    EXPECT_EQ(Trace(&during), kToolPathRefused);
    EXPECT_TRUE(during.strips.empty());
    RunSession.run.dataCheckActive = 0;
    // The stop key during the drawing ends it after the move, and aborts no run but one that
    // waits at a stop block; the next drawing draws the whole path.
    const struct {
        const char* description;
        RunMode mode;
        int runAborted;
    } stops[] = {
        {"no run", RunMode::kIdle, 0},
        {"a run waiting at a stop block", RunMode::kRealCutting, 1},
    };
    for (const auto& c : stops) {
        SCOPED_TRACE(c.description);
        WindowRun.mode = c.mode;
        WindowRun.controls.pauseRequest = c.mode == RunMode::kIdle ? 0 : 1;
        PathRecord aborted;
        aborted.onVertex = [](PathRecord*) { AbortWindowJob(); };
        EXPECT_EQ(Trace(&aborted), kToolPathAborted);
        EXPECT_EQ(aborted.strips.size(), 1u);
        EXPECT_EQ(WindowRun.controls.abortRequest.load(), c.runAborted);
        RenewRunControls(WindowRun.controls);
        WindowRun.mode = RunMode::kIdle;
        PathRecord whole;
        EXPECT_EQ(Trace(&whole), kToolPathDrawn);
        EXPECT_GT(whole.strips.size(), 1u);
    }
    // No program: nothing drawn.
    DefinitionFiles.ncProgramFile = scratch_.At("missing.nc");
    PathRecord none;
    EXPECT_EQ(Trace(&none), kToolPathNoSource);
    EXPECT_TRUE(none.strips.empty());
}

// Messages that arrive while the path is drawn: the stop key reaches its window and ends the
// drawing; a command waits until the drawing has ended and then comes in its order.
TEST_F(ToolPathTest, KeysReachTheirWindowAndOtherMessagesWait) {
    UseManualClock(1, 100000);
    static std::vector<unsigned> seen;
    static int commandsDuringPath = 0;
    seen.clear();
    commandsDuringPath = 0;
    WindowCreateParams params;
    params.procedure = [](WindowHandle w, unsigned m, MessageWParam wp, MessageLParam lp) {
        if (m == WM_KEYDOWN || m == WM_COMMAND) {
            seen.push_back(m);
            if (m == WM_KEYDOWN) {
                AbortWindowJob();  // the stop key
            } else if (IsToolPathDrawing() != 0) {
                ++commandsDuringPath;
            }
            return MessageResult{0};
        }
        return DefaultWindowProcedure(w, m, wp, lp);
    };
    const WindowHandle window = CreatePlatformWindow(params);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(PostWindowMessage(window, WM_COMMAND, 1, 0), 1);
    ASSERT_EQ(PostWindowMessage(window, WM_KEYDOWN, 27, 0), 1);
    Program("%\nG90 G01 X10. Y0 Z5. F100.\nX20.\nX30.\nX40.\nM30\n%\n");
    PathRecord r;
    r.onVertex = [](PathRecord*) { AdvanceManualClock(1000); };
    EXPECT_EQ(Trace(&r), kToolPathAborted);
    EXPECT_EQ(seen, std::vector<unsigned>{WM_KEYDOWN});
    EXPECT_LT(r.strips.size(), 4u);
    WindowMessage message;
    while (PeekWindowMessage(&message, PM_REMOVE) != 0) {
        DispatchWindowMessage(message);
    }
    EXPECT_EQ(seen, (std::vector<unsigned>{WM_KEYDOWN, WM_COMMAND}));
    EXPECT_EQ(commandsDuringPath, 0);
    DestroyPlatformWindow(window);
    UseManualClock(0);
}

// Through the renderer: list 31 holds the path, rapids dashed and feed moves solid.
TEST_F(ToolPathTest, RenderedPathShowsRapidsDashedAndCutsSolid) {
    testing::OffscreenView view(200, 200);
    ASSERT_TRUE(view.ok());
    DisplayUnitFactor = 100.0;
    DisplayModes.toolMode = 0;
    DisplayModes.machineMode = 0;
    DisplayModes.workMode = 0;
    const float green[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    std::copy(green, green + 4, GlColors.topPath);
    InstallToolPathDrawing();
    // The lines lie between pixel rows (a line along a row boundary may light no pixel).
    Program("%\nG90 G00 X-30. Y21.7 Z0\nX30.\nG01 Y-18.3 F100.\nX-30.\nM30\n%\n");
    DisplayModes.pathDisplay = 1;
    SceneDirty.path = 1;
    SceneDirty.pathNoRotary = 0;  // list 32 is not shown
    ASSERT_EQ(view.Render(), 1);
    EXPECT_EQ(LastToolPath.result, kToolPathDrawn);
    EXPECT_EQ(SceneDirty.path.load(), 0);
    // Samples along a line: a hit when the pixel or one beside it across the line is green.
    auto hits = [&](double y, int* misses) {
        int count = 0;
        *misses = 0;
        for (double x = -25.0; x <= 25.0; x += 0.25) {
            bool hit = false;
            for (double dy : {-0.3, 0.0, 0.3}) {
                const double p[3] = {x, y + dy, 0.0};
                hit = hit || testing::ColorNear(view.PixelAt(p), {0, 255, 0}, 8);
            }
            count += hit ? 1 : 0;
            *misses += hit ? 0 : 1;
        }
        return count;
    };
    int misses = 0;
    EXPECT_GT(hits(-18.3, &misses), 150);
    EXPECT_EQ(misses, 0) << "the feed move is solid";
    EXPECT_GT(hits(21.7, &misses), 40);
    EXPECT_GT(misses, 40) << "the rapid is dashed";
    // Off the path: background.
    const double away[3] = {0.0, 0.0, 0.0};
    EXPECT_TRUE(testing::ColorNear(view.PixelAt(away), {0, 0, 0}, 0));
    ViewCallbacks = ViewHooks{};
}

// The path commands: outside a run the toggle switches the path on with the command's Shift and
// asks for the list; during a run (the interpreter is the run's) the flag only toggles over a list
// that was built from the NC file as it still is.
TEST_F(ToolPathTest, PathCommandsToggleTheDisplayAndRespectARun) {
    testing::OffscreenView view(64, 64);
    ASSERT_TRUE(view.ok());
    InstallToolPathDrawing();
    Program("%\nG90 G00 X10. Y0 Z0\nG01 X20. F100.\nM30\n%\n");
    DisplayModes.pathDisplay = DisplayModes.pathDisplay2 = 0;
    SceneDirty.path = SceneDirty.pathNoRotary = 0;
    EXPECT_EQ(ToggleToolPathDisplay(0, 1, false), 0) << "no list built yet";
    EXPECT_EQ(DisplayModes.pathDisplay, 0);
    EXPECT_EQ(ToggleToolPathDisplay(0, 0, true), 1);
    EXPECT_EQ(DisplayModes.pathDisplay, 1);
    EXPECT_EQ(ToolPathDisplay.hideRapids, 1);
    EXPECT_EQ(SceneDirty.path.load(), 1);
    ASSERT_EQ(view.Render(), 1);
    EXPECT_EQ(LastToolPath.result, kToolPathDrawn);
    // During a run: off and on again over the built list, no rebuild asked for.
    EXPECT_EQ(ToggleToolPathDisplay(0, 1, false), 1);
    EXPECT_EQ(DisplayModes.pathDisplay, 0);
    EXPECT_EQ(ToggleToolPathDisplay(0, 1, false), 1);
    EXPECT_EQ(DisplayModes.pathDisplay, 1);
    EXPECT_EQ(SceneDirty.path.load(), 0);
    EXPECT_EQ(ToggleToolPathDisplay(1, 1, false), 0) << "list 32 was never built";
    // The file changed since the list was built: the run keeps the display as it is.
    const std::filesystem::path file = DefinitionFiles.ncProgramFile;
    std::filesystem::last_write_time(
        file, std::filesystem::last_write_time(file) - std::chrono::seconds(10));
    EXPECT_EQ(ToggleToolPathDisplay(0, 1, false), 0);
    EXPECT_EQ(DisplayModes.pathDisplay, 1);
    // Outside a run switching off asks for nothing.
    EXPECT_EQ(ToggleToolPathDisplay(0, 0, false), 1);
    EXPECT_EQ(DisplayModes.pathDisplay, 0);
    EXPECT_EQ(SceneDirty.path.load(), 0);
    ViewCallbacks = ViewHooks{};
}

// The bundled sample with its tools and controller: the path's vertices are the tool points of
// the simulation thread's steps, bit for bit, and each strip starts where the one before ended.
// The bundled sample with its tools and controller, on a fresh 100 x 80 x 30.5 mm stock at 1 mm,
// tool 1 mounted 100 mm above the work origin.
void LoadSampleOnFreshStock() {
    const std::string samples = MIREXA_SAMPLES;
    DefinitionFiles.toolsFile = samples + "/vmc3.ttl";
    DefinitionFiles.controllerFile = samples + "/vmc3.ctl";
    ReadToolFile(RunSession, RunKinematics, RunTools);
    ReadControllerFile(RunSession, RunKinematics);
    ASSERT_EQ(Controller.status, 1);
    ASSERT_EQ(ToolFile.status, 1);
    DefinitionFiles.ncProgramFile = samples + "/demo_part.nc";
    DexelPitch.secondPitch = 1.0;
    const double box[6] = {0, 0, -30.5, 100, 80, 0};
    StockModel& stock = StockModels[0];
    FreeStockModel(&stock);
    stock = StockModel{};
    SetStockUndoRingSize(&stock, 1);
    ASSERT_EQ(CreateBoxStockIdentity(&stock, box, 1.0), 1);
    CurrentStockIndex = 0;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, stock.pitch);
    RunKinematics.pose = MachinePose{};
    RunKinematics.pose.program.axis[2] = 100.0;
    UpdateMachinePosition(RunKinematics);
}

TEST_F(ToolPathTest, SamplePathIsTheSimulationsStepPoints) {
    LoadSampleOnFreshStock();
    StockModel& stock = StockModels[0];
    const MachinePose startPose = RunKinematics.pose;

    PathRecord path;
    ASSERT_EQ(Trace(&path), kToolPathDrawn);
    EXPECT_TRUE(SamePose(RunKinematics.pose, startPose));
    EXPECT_EQ(RunTools.tool.derivedFrom, 1) << "the program ends with tool 4 mounted";

    // The same program cut by the simulation thread, every step's tool point recorded.
    static std::vector<std::array<double, 3>> steps;
    steps.clear();
    BindDexelGridViews(&stock, TestRun.cutting.views);
    {
        const StepWatch watch([] {
            const double* p = RunKinematics.pose.tool.point;
            steps.push_back({p[0], p[1], p[2]});
        });
        RunTestCut();
    }
    ReleaseCuttingBuffers();
    BindDexelGridViews(nullptr, TestRun.cutting.views);
    ASSERT_EQ(TestRun.result.end, kRunEndProgram);

    std::vector<std::array<double, 3>> vertices;
    for (size_t k = 0; k < path.strips.size(); ++k) {
        const auto& points = path.strips[k].points;
        ASSERT_GE(points.size(), 2u);
        if (k > 0) {
            EXPECT_EQ(points.front(), path.strips[k - 1].points.back()) << "strip " << k;
        }
        vertices.insert(vertices.end(), points.begin() + 1, points.end());
    }
    ASSERT_GT(steps.size(), 1000u);
    ASSERT_EQ(vertices.size(), steps.size());
    for (size_t i = 0; i < steps.size(); ++i) {
        ASSERT_EQ(vertices[i], steps[i]) << "step " << i;
    }
    EXPECT_EQ(path.strips.size(), static_cast<size_t>(TestRun.result.moves));
    EXPECT_GT(path.Count(1), 10) << "the sample's rapids are dashed";
}

// What a cutting run of the sample leaves: every step's tool point, the pose, the tool and the
// summary at its end, and the stock as a saved file.
struct SampleRunOutcome {
    std::vector<std::array<double, 3>> steps;
    MachinePose pose = {};
    int tool = {};
    RunResult summary = {};
    std::string stockFile;
    std::vector<int> pathResults;  // the drawings made while the run waited
};

std::vector<std::array<double, 3>> RunSteps;

// Cuts the sample on the run's own thread, stopping at its changes to tools 1 and 4; this thread
// serves it as the user-interface thread, and at each stop draws the tool path (when asked)
// before it resumes the run.
SampleRunOutcome CutSampleWithStops(const std::string& stockPath, bool drawAtStops) {
    SampleRunOutcome out;
    LoadSampleOnFreshStock();
    Controller.stopOption = 4;  // stop at the lines holding a stop text
    Controller.stopStrings = {"T1 M06", "T4 M06"};
    StockModel& stock = StockModels[0];
    RunSteps.clear();
    BindDexelGridViews(&stock, TestRun.cutting.views);
    std::optional<StepWatch> watch;
    watch.emplace([] {
        const double* p = RunKinematics.pose.tool.point;
        RunSteps.push_back({p[0], p[1], p[2]});
    });
    StartTestCut();
    ServeTestCutToItsEnd(
        [&out, drawAtStops] {
            if (WindowRun.controls.pauseRequest.load() != 0) {
                if (drawAtStops) {
                    for (const int variant : {0, 1}) {
                        PathRecord path;
                        out.pathResults.push_back(TraceToolPath(variant, path.Output()));
                        EXPECT_GT(path.strips.size(), 10u);
                    }
                }
                ResumeRun(WindowRun.controls);
            }
        },
        std::chrono::microseconds(200));
    watch.reset();
    ReleaseCuttingBuffers();
    BindDexelGridViews(nullptr, TestRun.cutting.views);
    out.steps = RunSteps;
    out.pose = RunKinematics.pose;
    out.tool = RunTools.tool.derivedFrom;
    out.summary = TestRun.result;
    const double origin[3] = {};
    EXPECT_EQ(SaveStockFile(stock, stockPath, 0, 0, origin, 1), kStockSaveDone);
    std::ifstream file(stockPath, std::ios::binary);
    out.stockFile.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return out;
}

// The tool path drawn (both variants) while a run waits at its stop blocks is drawn in its own
// session: the run then goes on exactly as a run that only waited, step for step, to the same
// pose and tool and to a stock that saves to the same bytes.
TEST_F(ToolPathTest, APathDrawnWhileTheRunWaitsLeavesTheRunAsItWas) {
    testing::ScopedRunDefinitions definitions;
    const SampleRunOutcome waited = CutSampleWithStops(scratch_.At("waited.dme"), false);
    const SampleRunOutcome drawn = CutSampleWithStops(scratch_.At("drawn.dme"), true);

    EXPECT_EQ(drawn.pathResults,
              (std::vector<int>{kToolPathDrawn, kToolPathDrawn, kToolPathDrawn, kToolPathDrawn}));
    ASSERT_EQ(waited.summary.end, kRunEndProgram);
    EXPECT_EQ(drawn.summary.end, kRunEndProgram);
    EXPECT_EQ(drawn.summary.moves, waited.summary.moves);
    ASSERT_GT(waited.steps.size(), 1000u);
    EXPECT_TRUE(drawn.steps == waited.steps);
    EXPECT_TRUE(SamePose(drawn.pose, waited.pose));
    EXPECT_EQ(drawn.tool, waited.tool);
    ASSERT_GT(waited.stockFile.size(), 1000u);
    EXPECT_TRUE(drawn.stockFile == waited.stockFile) << "the stocks save to the same bytes";
}

}  // namespace
}  // namespace mirexa
