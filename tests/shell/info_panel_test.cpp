// The information panel's pane texts, its clicks and manual jog on the headless backend, and the
// way a worker thread's pose, block and modes reach the panel and the status bar.
#include "shell/info_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/offset_tables.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "platform/controls.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/pointer.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "shell/main_window.h"
#include "shell/manual_jog.h"
#include "shell/status_bar.h"
#include "shell/stock_commands.h"
#include "shell_test_support.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "stock/stock_grid.h"
#include "stock/stock_model.h"
#include "stock/stock_shapes.h"
#include "view/picking.h"
#include "view/view_hooks.h"

namespace mirexa {
namespace {

std::string PaneText(const std::vector<PanelPane>& panes, int id) {
    for (const PanelPane& pane : panes) {
        if (pane.id == id) {
            return pane.text;
        }
    }
    return "(none)";
}

unsigned PaneStyle(const std::vector<PanelPane>& panes, int id) {
    for (const PanelPane& pane : panes) {
        if (pane.id == id) {
            return pane.style;
        }
    }
    return 0xFFFF;
}

TEST(InfoPanelText, ValuesFollowTheIncrementAndLabelsTheFirstModeThatApplies) {
    const struct {
        int increment;
        const char* text;
    } values[] = {{1000, "\t\t  -12.346"}, {100, "\t\t  -12.35"}, {10000, "\t\t  -12.3456"}};
    for (const auto& c : values) {
        EXPECT_EQ(FormatPanelValue(c.increment, -12.34561), c.text) << c.increment;
    }
    const struct {
        int kind, tcp, tilted, rotation, polar, cylindrical, plane, row;
    } rows[] = {
        {2, 1, 1, 1, 1, 1, 18, 2},  {1, 1, 0, 0, 0, 0, 17, 1}, {0, 1, 1, 1, 1, 1, 17, 3},
        {0, 0, 1, 1, 1, 1, 17, 4},  {0, 0, 0, 1, 1, 1, 17, 5}, {0, 0, 0, 0, 1, 1, 17, 6},
        {0, 0, 0, 0, 0, 1, -18, 7}, {0, 0, 0, 0, 0, 1, 19, 8}, {0, 0, 0, 0, 0, 0, 18, 0},
    };
    for (const auto& c : rows) {
        EXPECT_EQ(SelectAxisLabelRow(c.kind, c.tcp, c.tilted, c.rotation, c.polar, c.cylindrical,
                                     c.plane),
                  c.row);
    }
}

TEST(InfoPanelText, TheStripShowsItsSevenStates) {
    const struct {
        int state;
        int english;
        const char* caption;
        const char* text;
    } cases[] = {
        {0, 1, "\tNcdata\t", "- Not Selected -"},
        {0, 0, "\tNCﾃﾞｰﾀ\t", "- 未選択 -"},
        {1, 1, "\tNcdata\t", "/nc/part.nc"},
        {2, 1, "\t\t42:", "G01 X5."},
        {3, 1, "", "Not Cut"},
        {3, 0, "", "そこは選択中のNCデータで切削されていません"},
        {4, 1, "", "-"},
        {5, 1, "", ""},
        {6, 1, "", "G01 X5."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        InfoPanelInputs in;
        in.english = c.english;
        in.stripState = c.state;
        in.ncPath = "/nc/part.nc";
        in.lineNumber = 42;
        in.lineText = "G01 X5.";
        const std::vector<PanelPane> panes = BuildInfoPanelPanes(in);
        EXPECT_EQ(PaneText(panes, kPaneStripCaption), c.caption);
        EXPECT_EQ(PaneText(panes, kPaneStripText), c.text);
    }
    // State 6: the picked line's number in yellow (a negative pick) or red.
    for (const auto& [picked, color] : {std::pair{-17, 0x00FFFFu}, std::pair{17, 0x0000FFu}}) {
        InfoPanelInputs in;
        in.stripState = 6;
        in.pickedLine = picked;
        bool found = false;
        for (const PanelPane& pane : BuildInfoPanelPanes(in)) {
            if (pane.coloured && pane.id == kPaneStripCaption) {
                EXPECT_EQ(pane.text, "\t17: ");
                EXPECT_EQ(pane.textColor, color);
                found = true;
            }
        }
        EXPECT_TRUE(found);
    }
}

// The text of a pane as it is measured: without its alignment tabs or a tab inside it.
int MeasuredPaneText(const PanelPane& pane, int fontHeight) {
    PaintContext measure;
    measure.fontPixelHeight = fontHeight;
    int align = kTextLeft;
    std::string text = SplitPaneText(pane.text, &align);
    text.erase(std::remove(text.begin(), text.end(), '\t'), text.end());
    return MeasurePaintText(measure, text);
}

bool Overlap(const WindowRect& a, const WindowRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// At the default font and larger ones, in both languages and whatever the panel shows: the column
// is as wide as its cells (220 pixels at the default font, as before), every row is the font's
// line high, every text fits its pane with the pane's border and inset, and no panes overlap.
TEST(InfoPanelLayout, TheColumnFollowsTheFontAndEveryTextFitsItsPane) {
    const struct {
        const char* name;
        void (*set)(InfoPanelInputs*);
    } states[] = {
        {"idle", [](InfoPanelInputs*) {}},
        {"machine tool point, stock, marked trace, five axes",
         [](InfoPanelInputs* in) {
             in->coordinateKind = 2;
             in->jogRows = 5;
             in->hasStock = 1;
             in->stockMax[0] = -1234.5;
             in->traceCount = 12345;
             in->blockMarks[1] = 1;
             in->tracePoint[1] = -9999.999;
             in->radii[0] = 20000.0;
             in->syncGet = in->syncPut = 1;
             in->labels[0] = "\tX(t)";
             in->increment = 10000;
         }},
        {"a stop pending in a run, machine control point",
         [](InfoPanelInputs* in) {
             in->coordinateKind = 1;
             in->runActive = in->stopPending = in->pauseBlinkOn = 1;
             in->stripState = 2;
             in->lineNumber = 123456;
         }},
    };
    for (const int fontHeight : {0, 20, 28}) {
        CommandLine.fontHeight = fontHeight;
        const int font = PanelFontHeight();
        for (const int english : {1, 0}) {
            InfoPanelExtent first = {};
            for (const auto& state : states) {
                SCOPED_TRACE(::testing::Message()
                             << "font " << font << (english ? " English " : " Japanese ")
                             << state.name);
                InfoPanelInputs in;
                in.english = english;
                state.set(&in);
                const InfoPanelExtent extent = ComputeInfoPanelExtent(in);
                if (state.set == states[0].set) {
                    first = extent;
                } else if (in.jogRows == 3 && in.increment == 1000) {
                    // The column keeps its width while the values and modes change.
                    EXPECT_EQ(extent.columnWidth, first.columnWidth);
                }
                if (fontHeight == 0) {
                    EXPECT_EQ(extent.columnWidth, INFO_PANEL_WIDTH);
                    EXPECT_EQ(extent.stripHeight, NC_STRIP_HEIGHT);
                }
                EXPECT_GE(extent.stripHeight, PanelRowHeight(font) + 5);
                const std::vector<PanelPane> panes = BuildInfoPanelPanes(in);
                std::vector<const PanelPane*> shown;
                for (const PanelPane& pane : panes) {
                    const int width = pane.rect.right - pane.rect.left;
                    if (pane.id == kPaneNone || pane.coloured || width <= 0) {
                        continue;
                    }
                    SCOPED_TRACE(pane.text);
                    EXPECT_LE(MeasuredPaneText(pane, font) + 8, width);
                    if (pane.window == kPanelColumn) {
                        EXPECT_GE(pane.rect.left, 0);
                        EXPECT_LE(pane.rect.right, extent.columnWidth);
                        EXPECT_EQ(pane.rect.bottom - pane.rect.top, PanelRowHeight(font));
                        for (const PanelPane* other : shown) {
                            EXPECT_FALSE(Overlap(pane.rect, other->rect)) << other->text;
                        }
                        shown.push_back(&pane);
                    } else {
                        EXPECT_EQ(pane.rect.bottom, extent.stripHeight);
                        // The strip's caption lies over the column, its text beside it.
                        EXPECT_EQ(pane.id == kPaneStripCaption ? pane.rect.right : pane.rect.left,
                                  extent.columnWidth);
                    }
                }
                EXPECT_GT(shown.size(), 50u);
            }
        }
    }
    CommandLine.fontHeight = 0;
    // At the default font the cells lie where they always did: ESC in the fourth row's third cell
    // (95..135 x 132..147 of the table) spread 220/140 across and 17/15 down.
    for (const PanelPane& pane : BuildInfoPanelPanes(InfoPanelInputs{})) {
        if (pane.id == kPaneEscape) {
            EXPECT_EQ(pane.rect.left, 149);
            EXPECT_EQ(pane.rect.top, 150);
            EXPECT_EQ(pane.rect.right, 212);
            EXPECT_EQ(pane.rect.bottom, 167);
        }
    }
}

TEST(InfoPanelText, MeasuredDataAndStockRangeByTheirValues) {
    InfoPanelInputs in;
    std::vector<PanelPane> panes = BuildInfoPanelPanes(in);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(PaneText(panes, kPaneMeasure + k), "\t-") << k;
    }
    EXPECT_EQ(PaneText(panes, kPaneTrace), "\t-");
    EXPECT_EQ(PaneText(panes, kPaneRange), "\tundefined");
    EXPECT_EQ(PaneText(panes, kPaneTraceCount), "\t\t    0");

    in.traceCount = 3;
    in.tracePoint[0] = 1.5;
    in.blockMarks[0] = 1;
    in.delta[1] = -2.0;
    in.distance = 4.25;
    in.radii[0] = 0.0;      // 3D: no circle at all
    in.radii[1] = 10000.0;  // YZ: a straight line
    in.radii[2] = -3.5;     // ZX: its magnitude
    in.radii[3] = 12000.0;  // XY
    in.hasStock = 1;
    in.stockMax[2] = 0.5;
    in.pitch = 0.25;
    in.unitLabelWork = 0;
    in.minMaxWork = 0;
    panes = BuildInfoPanelPanes(in);
    const struct {
        int pane;
        const char* text;
    } cases[] = {
        {kPaneTraceCount, "\t\t    3"},      {kPaneTrace, "*\t\t    1.500"},
        {kPaneTrace + 1, "\t\t    0.000"},   {kPaneUnit, "\tXm"},
        {kPaneMeasure + 1, "\t\t   -2.000"}, {kPaneMeasure + 3, "\t\t    4.250"},
        {kPaneMeasure + 4, "\t*PLANE*"},     {kPaneMeasure + 5, "\t\t    3.500"},
        {kPaneMeasure + 6, "\t*PLANE*"},     {kPaneMeasure + 7, "\t-"},
        {kPanePitch, "\tPitch:0.250\t"},     {kPaneMinMaxLabel + 2, "\tMaxZm"},
        {kPaneRange + 2, "\t\t    0.500"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PaneText(panes, c.pane), c.text) << c.pane;
    }
    in.radii[0] = 25000.0;
    EXPECT_EQ(PaneText(BuildInfoPanelPanes(in), kPaneMeasure + 7), "\t*LINE*");
}

TEST(InfoPanelText, StopModesAndRunButtonsBySelectionAndRunState) {
    const struct {
        int stopMode, pending, blink, running;
        unsigned selector[4];  // M01, Single, Define, None
        const char* run;
        const char* escape;
        unsigned runStyle;
    } cases[] = {
        {0,
         0,
         0,
         0,
         {kPaneRaised, kPaneRaised, kPaneRaised, kPaneSunken},
         "\tSTOP",
         "\tESC",
         kPaneSunken},
        {2,
         0,
         0,
         1,
         {kPaneSunken, kPaneRaised, kPaneRaised, kPaneRaised},
         "\tSTOP",
         "\tESC",
         kPaneRaised},
        {3, 1, 1, 1, {kPaneRaised, kPaneSunken, kPaneRaised, kPaneRaised}, "\tGO", "", kPaneRaised},
        {4, 1, 0, 1, {kPaneRaised, kPaneRaised, kPaneSunken, kPaneRaised}, "", "", kPaneRaised},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stopMode);
        InfoPanelInputs in;
        in.stopMode = c.stopMode;
        in.stopPending = c.pending;
        in.pauseBlinkOn = c.blink;
        in.runActive = c.running;
        const std::vector<PanelPane> panes = BuildInfoPanelPanes(in);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(PaneStyle(panes, kPaneStopMode + k), c.selector[k]) << k;
        }
        EXPECT_EQ(PaneText(panes, kPaneRun), c.run);
        EXPECT_EQ(PaneText(panes, kPaneEscape), c.escape);
        EXPECT_EQ(PaneStyle(panes, kPaneRun), c.runStyle);
    }
}

TEST(InfoPanelJog, TheSpeedGrowsByHalfUntilItPassesAThousand) {
    const int steps[] = {1, 2, 3, 5, 7, 11, 17, 25, 38};
    double speed = 1.0;
    for (int step : steps) {
        speed = NextJogSpeed(speed);
        EXPECT_EQ(static_cast<int>(speed), step);
    }
    for (int k = 0; k < 40; ++k) {
        speed = NextJogSpeed(speed);
    }
    EXPECT_EQ(static_cast<int>(speed), 1477);
}

// The texts of the panel's last paint.
std::vector<std::string> PaintedTexts(WindowHandle window) {
    std::vector<std::string> texts;
    for (const PaintOperation& op : GetLastPaintRecord(window)) {
        texts.push_back(op.text);
    }
    return texts;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// The main window with the panel, its clicks and the commands they post.
class InfoPanelWindowTest : public ::testing::Test, public ShellWindowTest {
protected:
    void SetUp() override {
        ResetShellState();
        InfoPanelView = InfoPanelState{};
        ManualJog = ManualJogState{};
        RunKinematics.pose = MachinePose{};
        CurrentMachine = MachineGeometry{};
        // The machine position is the program position: no work origin, tool length or mode
        // an earlier test left.
        RunKinematics.workOrigin = MotionPosition{};
        RunKinematics.toolValues = KinematicsToolValues{};
        RunKinematics.modes = KinematicsModeFlags{};
        InstallInfoPanelHooks();
        OpenMainWindow();
        DeliverPending();
        previous_ = SetMessageBoxResponder([this](const MessageBoxRequest& request) {
            boxes.push_back(request.caption);
            return MBX_IDOK;
        });
    }
    void TearDown() override {
        SetMessageBoxResponder(previous_);
        WindowRun.mode.store(RunMode::kIdle);
        CloseMainWindow();
        CurrentMachine = MachineGeometry{};
        RunKinematics.pose = MachinePose{};
    }
    // The centre of a pane in its window.
    bool PaneCentre(int id, WindowHandle* window, int* x, int* y) {
        for (const PanelPane& pane : BuildInfoPanelPanes(CollectInfoPanelInputs())) {
            if (pane.id == id) {
                *window = GetInfoPanelWindow(pane.window);
                *x = (pane.rect.left + pane.rect.right) / 2;
                *y = (pane.rect.top + pane.rect.bottom) / 2;
                return true;
            }
        }
        return false;
    }
    void Press(int id) {
        WindowHandle window = {};
        int x = 0;
        int y = 0;
        ASSERT_TRUE(PaneCentre(id, &window, &x, &y)) << id;
        SendWindowMessage(window, WM_LBUTTONDOWN, 0, x | y << 16);
    }
    void Release(int id) {
        WindowHandle window = {};
        int x = 0;
        int y = 0;
        ASSERT_TRUE(PaneCentre(id, &window, &x, &y)) << id;
        SendWindowMessage(window, WM_LBUTTONUP, 0, x | y << 16);
    }
    // The commands posted to the main window since the last call (other messages are handled).
    std::vector<unsigned> TakeCommands() {
        std::vector<unsigned> commands;
        WindowMessage message;
        while (PeekWindowMessage(&message, PM_REMOVE)) {
            if (message.message == WM_COMMAND && message.window == main) {
                commands.push_back(static_cast<unsigned>(message.wparam));
            } else if (message.message != WM_QUIT) {
                DispatchWindowMessage(message);
            }
        }
        return commands;
    }
    std::vector<std::string> boxes;

private:
    MessageBoxResponder previous_;
};

TEST_F(InfoPanelWindowTest, EachPaneAnswersItsClick) {
    const struct {
        int pane;
        int running;
        std::vector<unsigned> posted;
    } commands[] = {
        {kPaneStripText, 0, {IDM_NC_EDIT}},
        {kPaneCaption, 0, {IDM_CONTROL_POINT}},
        {kPaneCaption, 1, {}},
        {kPaneDCode, 0, {IDM_RADIUS_OFFSETS}},
        {kPaneHCode, 0, {IDM_LENGTH_OFFSETS}},
        {kPaneWorkpiece, 0, {IDM_WORK_COORDINATES}},
        {kPaneRun, 0, {}},
        {kPaneEscape, 0, {}},
        {kPaneWork, 0, {IDM_STOCK_TWO_POINT}},
        {kPanePitch, 0, {IDM_PITCH}},
        {kPaneStopMode + 0, 0, {IDM_STOP_NONE + 2}},  // none -> M01
        {kPaneStopMode + 0, 0, {IDM_STOP_NONE + 1}},  // M01 again -> normal
        {kPaneStopMode + 3, 0, {IDM_STOP_NONE + 0}},  // normal -> none
        {kPaneStopMode + 3, 0, {IDM_STOP_NONE + 1}},  // none again -> normal
    };
    Controller.stopOption = 1;  // whatever an earlier test chose
    for (const auto& c : commands) {
        SCOPED_TRACE(c.pane);
        WindowRun.mode.store(c.running ? RunMode::kRealCutting : RunMode::kIdle);
        Press(c.pane);
        Release(c.pane);
        EXPECT_EQ(TakeCommands(), c.posted);
        EXPECT_EQ(WindowRun.controls.stopKeyRequest.load(), 0);
        EXPECT_EQ(InfoPanelView.pressedPane, kPaneNone);
    }
    WindowRun.mode.store(RunMode::kIdle);
    EXPECT_EQ(Controller.stopOption, 1);
    // A click that reaches the main window lands on the pane under it.
    WindowHandle column = {};
    int x = 0;
    int y = 0;
    ASSERT_TRUE(PaneCentre(kPaneDCode, &column, &x, &y));
    // The column lies below the strip in the main window's client area.
    for (const MessageLParam point :
         {x | (y + NC_STRIP_HEIGHT) << 16, (INFO_PANEL_WIDTH + 10) | 5 << 16}) {
        SendWindowMessage(main, WM_LBUTTONDOWN, 0, point);
        SendWindowMessage(main, WM_LBUTTONUP, 0, point);
    }
    EXPECT_EQ(TakeCommands(), (std::vector<unsigned>{IDM_RADIUS_OFFSETS, IDM_NC_EDIT}));

    // The display switches.
    InfoPanelState& v = InfoPanelView;
    Press(kPaneAxisLabel);
    Press(kPaneAxisValue + 1);
    EXPECT_EQ(v.coordinateKind, 2);
    Press(kPaneAxisValue + 2);
    EXPECT_EQ(v.coordinateKind, 0);
    Press(kPaneUnit + 1);
    EXPECT_EQ(v.unitLabelWork, 0);
    Press(kPaneTrace + 2);
    Press(kPaneTrace + 1);
    EXPECT_EQ(v.blockMarks[1] + 2 * v.blockMarks[2], 1);
    Press(kPaneRange + 4);
    EXPECT_EQ(v.minMaxWork, 0);

    // STOP during a run asks for a stop before the next block.
    WindowRun.mode.store(RunMode::kRealCutting);
    Press(kPaneRun);
    EXPECT_EQ(WindowRun.controls.stopKeyRequest.load(), 1);
    WindowRun.controls.stopKeyRequest.store(0);
}

// With -F20 the panel's windows and the view lie where the larger font puts the column and the
// strip, and a click on the main window at a pane's place (Define, H-Code, ESC beyond the default
// column's 220 pixels) does what it does at the default font.
TEST_F(InfoPanelWindowTest, AtALargerFontTheColumnWidensAndItsPanesTakeTheirClicks) {
    CommandLine.fontHeight = 20;
    MovePlatformWindow(main, WindowRect{0, 0, 1100, 800});  // a resize lays the window out again
    DeliverPending();
    const InfoPanelExtent extent = CurrentInfoPanelExtent();
    EXPECT_GT(extent.columnWidth, INFO_PANEL_WIDTH);
    EXPECT_GT(extent.stripHeight, NC_STRIP_HEIGHT);
    EXPECT_EQ(MainWindowData.viewRect.left, extent.columnWidth);
    EXPECT_EQ(MainWindowData.viewRect.top, extent.stripHeight);
    WindowRect column = {};
    ASSERT_TRUE(GetPlatformWindowRect(GetInfoPanelWindow(kPanelColumn), &column));
    EXPECT_EQ(column.right - column.left, extent.columnWidth);
    EXPECT_EQ(column.top, extent.stripHeight);
    Controller.stopOption = 1;
    const struct {
        int pane;
        std::vector<unsigned> posted;
    } clicks[] = {
        {kPaneStopMode + 2, {IDM_STOP_NONE + 4}},  // Define
        {kPaneHCode, {IDM_LENGTH_OFFSETS}},
        {kPaneEscape, {}},
        {kPaneStopMode + 2, {IDM_STOP_NONE + 1}},  // Define again: normal
    };
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.pane);
        WindowHandle window = {};
        int x = 0;
        int y = 0;
        ASSERT_TRUE(PaneCentre(c.pane, &window, &x, &y));
        EXPECT_GT(x, INFO_PANEL_WIDTH / 2);
        const MessageLParam point = x | (y + extent.stripHeight) << 16;
        SendWindowMessage(main, WM_LBUTTONDOWN, 0, point);
        SendWindowMessage(main, WM_LBUTTONUP, 0, point);
        EXPECT_EQ(TakeCommands(), c.posted);
    }
    CommandLine.fontHeight = 0;
}

TEST_F(InfoPanelWindowTest, HoldingAJogButtonAcceleratesUntilTheStrokeStopsIt) {
    // One click: exactly one least increment.
    Press(kPaneJogPlus);
    Release(kPaneJogPlus);
    EXPECT_DOUBLE_EQ(RunKinematics.pose.program.axis[0], 0.001);
    EXPECT_FALSE(IsWindowTimerRunning(main, IDT_JOG_REPEAT));

    // Held: 1 at the press, then after 500 ms steps of 1, 2, 3, 5, 7 increments.
    RunKinematics.pose.program.axis[1] = 0.0;
    Press(kPaneJogMinus + 1);
    std::vector<long> steps = {std::lround(-RunKinematics.pose.program.axis[1] * 1000)};
    AdvanceAndDeliver(500, 1);
    for (int tick = 0; tick < 5; ++tick) {
        if (tick > 0) {
            AdvanceAndDeliver(JOG_REPEAT_PERIOD_MS, 1);
        }
        steps.push_back(std::lround(-RunKinematics.pose.program.axis[1] * 1000));
    }
    const std::vector<long> totals = {1, 2, 4, 7, 12, 19};
    EXPECT_EQ(steps, totals);
    Release(kPaneJogMinus + 1);
    EXPECT_FALSE(IsWindowTimerRunning(main, IDT_JOG_REPEAT));

    // Beyond the stroke: the over-travel message, and the jog ends.
    CurrentMachine.strokes.enabled[2] = 1;
    CurrentMachine.strokes.min[2] = -100.0;
    CurrentMachine.strokes.max[2] = 0.0005;
    Press(kPaneJogPlus + 2);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(IsWindowTimerRunning(main, IDT_JOG_REPEAT));
    AdvanceAndDeliver(600, 10);
    EXPECT_DOUBLE_EQ(RunKinematics.pose.program.axis[2], 0.001);
    Release(kPaneJogPlus + 2);
    // No jog while a run is active.
    WindowRun.mode.store(RunMode::kRealCutting);
    Press(kPaneJogPlus);
    Release(kPaneJogPlus);
    EXPECT_DOUBLE_EQ(RunKinematics.pose.program.axis[0], 0.001);
}

TEST_F(InfoPanelWindowTest, APickedPathLineFlashesAndStaysShown) {
    UiLanguage.store(1);
    const struct {
        int picked;
        const char* text;
        int state;
        const char* shown;
        const char* number;  // the coloured line number, "" for none
    } cases[] = {
        {-12, "G01 X5.", 6, "G01 X5.", "\t12: "},
        {-12, "G01 X5.", 5, "", ""},
        {-12, "G01 X5.", 3, "G01 X5.", "\t12: "},
        {0, "", 3, "Not Cut", ""},
        {0, "", 4, "-", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        PickedPointInfo = c.picked;
        ViewCallbacks.drawNcDataStrip(c.text, c.state);
        const std::vector<std::string> strip = PaintedTexts(GetInfoPanelWindow(kPanelStrip));
        EXPECT_TRUE(Contains(strip, c.shown));
        std::string number;
        // The number lies on the strip's caption, in yellow (a negative pick) as dark as the
        // pane's face needs.
        for (const PaintOperation& op : GetLastPaintRecord(GetInfoPanelWindow(kPanelStrip))) {
            if (op.op == PaintOp::Text && op.text.find(':') != std::string::npos) {
                number = op.text;
                EXPECT_EQ(op.color, ReadableTextColor(0x00FFFFu, kPaneFaceColor));
            }
        }
        EXPECT_EQ(number, std::string(c.number).substr(c.number[0] ? 1 : 0));
    }
    PickedPointInfo = 0;
}

TEST_F(InfoPanelWindowTest, AWorkerPublishesAndTheInterfaceThreadDraws) {
    UiLanguage.store(1);
    CommandLine.fontHeight = 17;  // -F
    WindowRun.mode.store(
        RunMode::kRealCutting);  // the worker owns the pose and the interpreter's modes
    std::atomic<int> done{0};
    std::thread worker([&done] {
        for (int k = 1; k <= 50; ++k) {
            RunKinematics.pose.program.axis[0] = k * 0.5;
            PublishPanelPose();
            PublishPanelBlock(k, "G01 X" + std::to_string(k));
            RunSession.run.modal.workOffsetIndex = 2;
            RunSession.run.modal.toolCenterPointMode = 1;
            RefreshInterpreterStatus();
        }
        done.store(1);
    });
    ASSERT_TRUE(WaitUntil([&done] { return done.load() == 1; }));
    worker.join();
    DeliverPending();
    const std::vector<std::string> column = PaintedTexts(GetInfoPanelWindow(kPanelColumn));
    EXPECT_TRUE(Contains(column, "\t\t   25.000"));
    EXPECT_TRUE(Contains(column, "\tSTOP"));
    for (const PaintOperation& op : GetLastPaintRecord(GetInfoPanelWindow(kPanelColumn))) {
        EXPECT_EQ(op.fontPixelHeight, 17);
    }
    const std::vector<std::string> strip = PaintedTexts(GetInfoPanelWindow(kPanelStrip));
    EXPECT_TRUE(Contains(strip, "G01 X50"));
    EXPECT_TRUE(Contains(column, "\t\t50:") || Contains(strip, "\t\t50:"));
    WindowHandle bar = MainStatusBar.load();
    EXPECT_EQ(GetStatusBarPart(bar, STATUS_PART_WORKPIECE).text, "Workpiece(G55)");
    EXPECT_EQ(GetStatusBarPart(bar, STATUS_PART_MODE).text, "TCL TYPE1");
    WindowRun.mode.store(RunMode::kIdle);
    RunSession.run.modal = NcModalState{};
    CommandLine.fontHeight = 0;
}

// The stock's ranges in work coordinates follow the work system of the pose shown, as the control
// point does: a run's G55 moves them, and the end of the run brings back the window's.
TEST_F(InfoPanelWindowTest, TheWorkRangesFollowTheRunsWorkSystem) {
    StockModel& stock = CurrentStockModel();
    const double box[6] = {0, 0, -30, 100, 80, 0};
    ASSERT_EQ(CreateBoxStockIdentity(&stock, box, 1.0), 1);
    StockCommands.stockPresent = 1;
    WorkOffsetTable[1].axis[0] = -250.0;  // G54
    WorkOffsetTable[2].axis[0] = -100.0;  // G55
    RunSession.run.modal.workOffsetIndex = 1;
    EXPECT_EQ(CollectInfoPanelInputs().stockMin[0], 250.0);
    WindowRun.mode.store(RunMode::kRealCutting);
    std::thread worker([] {
        RunSession.run.modal.workOffsetIndex = 2;
        PublishPanelPose();  // the pose of a block in G55, published in the redraw handshake
    });
    worker.join();
    EXPECT_EQ(CollectInfoPanelInputs().stockMin[0], 100.0);
    WindowRun.mode.store(RunMode::kIdle);
    RunSession.run.modal.workOffsetIndex = 1;
    EXPECT_EQ(CollectInfoPanelInputs().stockMin[0], 250.0);
    StockCommands.stockPresent = 0;
    FreeStockModel(&stock);
    stock = StockModel{};
    WorkOffsetTable[1] = {};
    WorkOffsetTable[2] = {};
    RunSession.run.modal = NcModalState{};
}

}  // namespace
}  // namespace mirexa
