// The tool display panel on the headless backend: the magazine ring's arithmetic, the tool
// picture and its dimension cells read back from the paint record for every tool type, and the
// repaint handshake with a run.
#include "dialogs/tool_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "config/config_records.h"
#include "config/tools_file.h"
#include "platform/dialogs.h"
#include "platform/paint.h"
#include "services/shared_state.h"
#include "shell/message_file.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "support/test_windows.h"

namespace mirexa {
namespace {

TEST(ToolPanelMagazine, RingWheelAndFirstToolSteps) {
    std::vector<int> shown;
    for (int slot = 0; slot < kMagazineSlots; ++slot) {
        shown.push_back(MagazineSlotPosition(1, 20, slot));
    }
    EXPECT_EQ(shown, (std::vector<int>{16, 17, 18, 19, 20, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(FirstToolPath(18, 20), (std::vector<int>{19, 20, 1}));
    EXPECT_EQ(FirstToolPath(5, 20), (std::vector<int>{4, 3, 2, 1}));
    EXPECT_TRUE(FirstToolPath(1, 20).empty());
    const struct {
        int delta, steps, from, to;
    } wheel[] = {{-240, -2, 10, 8}, {60, 1, 10, 11}, {-240, -2, 1, 20}, {360, 3, 19, 1}};
    for (const auto& w : wheel) {
        EXPECT_EQ(MagazineWheelSteps(w.delta), w.steps) << w.delta;
        EXPECT_EQ(WheelMagazinePosition(w.from, 20, w.steps), w.to) << w.delta;
    }
    EXPECT_EQ(StepMagazinePosition(20, 20, 1), 1);
    EXPECT_EQ(StepMagazinePosition(1, 20, -1), 20);
    // The middle slot sits left of the upper row's inner slot, centred between the rows.
    const ToolPanelLayout l = ComputeToolPanelLayout(506, 114);
    EXPECT_EQ(l.slots[kMiddleSlot].right, l.slots[4].left - 2);
    EXPECT_LT(l.slots[0].bottom, l.forwardArrow.top);
    EXPECT_LT(l.forwardArrow.bottom, l.slots[10].top);
    EXPECT_LT(l.picture.right, l.slots[kMiddleSlot].left);
}

class ToolPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetConfigurationRecords();
        ResetMessageTexts();
        ResetToolPanelState();
        AutomaticMode.store(0);
        ASSERT_EQ(AllocToolTables(20), 1);
        ToolFile.highestTool = 20;
        ToolFile.currentTool = 3;
        panel_ = CreateToolPanel(nullptr);
        ASSERT_NE(panel_, nullptr);
    }
    void TearDown() override {
        DestroyPlatformWindow(panel_);
        WindowRun.mode.store(RunMode::kIdle);
        WindowRun.controls.kept.mountedTool.store(-1);
        FreeToolTables();
        ToolFile = ToolFileState{};
        ResetToolPanelState();
    }
    // The panel's last paint: the dimension cells and the picture's yellow labels.
    void ReadPaint(std::vector<std::string>* cells, std::vector<std::string>* yellow,
                   int* outlines) {
        for (const PaintOperation& op : GetLastPaintRecord(panel_)) {
            if (op.op == PaintOp::StatusPane && op.text.find('=') != std::string::npos) {
                cells->push_back(op.text);
            } else if (op.op == PaintOp::Text && op.color == 0x00FFFF) {
                yellow->push_back(op.text);
            } else if (op.op == PaintOp::Polyline) {
                ++*outlines;
            }
        }
    }
    WindowHandle panel_ = {};
};

std::string Cell(int label, double value) {
    char text[32];
    std::snprintf(text, sizeof text, "=%6.2f", value);
    return ToolDimensionLabels[label] + text;
}

TEST_F(ToolPanelTest, EachToolTypeShowsItsDimensionsAndItsDiameterLabel) {
    struct Case {
        const char* name;
        ToolRecord tool;
        ToolLengthRecord length;
        std::vector<std::pair<int, double>> cells;
        const char* diameter;
    };
    auto tool = [](std::uint32_t type, float d, float r, float e, float f, float alpha, float beta,
                   float w, float h) {
        ToolRecord t;
        t.present = 1;
        t.type = type;
        t.d = d;
        t.r = r;
        t.e = e;
        t.f = f;
        t.alpha = alpha;
        t.beta = beta;
        t.w = w;
        t.h = h;
        return t;
    };
    ToolRecord tThrow = tool(kToolTThrow, 20, 1, 0, 0, 0, 0, 20, 10);
    tThrow.t = 5;
    tThrow.r2 = 0.5f;
    tThrow.neck = 8;
    ToolRecord vertical = tool(kToolVertical, 10, 0, 0, 0, 0, 0, 0, 12);
    vertical.k = 4;
    const ToolLengthRecord none;
    const ToolLengthRecord length3{kToolLength3, {40, 30, 20, 10, 5, 15}};
    const Case cases[] = {
        {"ball", tool(kToolBall, 10, 5, 0, 5, 0, 0, 0, 20), none, {{0, 10}, {6, 20}}, "10.00"},
        {"flat", tool(kToolFlat, 8, 0, 0, 0, 0, 0, 0, 16), none, {{0, 8}, {6, 16}}, " 8.00"},
        {"bull",
         tool(kToolBull, 10, 2, 3, 2, 0, 0, 0, 25),
         none,
         {{0, 10}, {1, 2}, {6, 25}},
         "10.00"},
        {"taper ball",
         tool(kToolTaperBall, 0, 3, 0, 3, 0, 5, 8, 30),
         none,
         {{8, 3}, {5, 5}, {18, 8}, {6, 30}},
         " 3.00"},
        {"vertical", vertical, none, {{0, 10}, {9, 4}, {6, 12}}, "10.00"},
        {"oval-R",
         tool(kToolOval, 10, 1, 6, 2, 0, 0, 0, 20),
         none,
         {{0, 10}, {13, 2}, {14, 6}, {1, 1}, {6, 20}},
         "10.00"},
        {"t-slot", tThrow, none, {{0, 20}, {20, 5}, {21, 1}, {22, 0.5}, {23, 8}}, "20.00"},
        {"radius",
         tool(kToolRadius, 10, 2, 3, 3, 0, 0, 0, 15),
         none,
         {{0, 10}, {1, 2}, {17, 3}},
         "10.00"},
        {"general",
         tool(kToolGeneralCutter, 10, -1, 0, 2, 5, 10, 12, 30),
         none,
         {{0, 10}, {1, -1}, {3, 2}, {4, 5}, {5, 10}, {18, 12}, {6, 30}},
         "10.00"},
        // Five type cells: the last at 65, so Lu, Tp-L and Len follow, not Aang, Bang or Ds.
        {"length kind 3",
         tool(kToolOval, 10, 1, 6, 2, 0, 0, 0, 20),
         length3,
         {{0, 10}, {13, 2}, {14, 6}, {1, 1}, {6, 20}, {10, 30}, {11, 20}, {7, 40}},
         "10.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ToolTableSet.tools[3] = c.tool;
        ToolTableSet.lengths[3] = c.length;
        RepaintToolPanel(kToolPanelPaintAll);
        std::vector<std::string> cells, yellow;
        int outlines = 0;
        ReadPaint(&cells, &yellow, &outlines);
        std::vector<std::string> expected;
        for (const auto& [label, value] : c.cells) {
            expected.push_back(Cell(label, value));
        }
        EXPECT_EQ(cells, expected);
        EXPECT_EQ(yellow, std::vector<std::string>{c.diameter});
        EXPECT_EQ(outlines, 1);
    }
}

TEST_F(ToolPanelTest, HolderCellsAndAToolWithoutExtent) {
    ToolTableSet.tools[3] = ToolRecord{1, kToolFlat, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20};
    ArborProfile& holder = ToolTableSet.arbors[3];
    holder.present = 1;
    holder.count = 2;
    holder.diameters[0] = 30;
    holder.diameters[1] = 40;
    holder.lengths[0] = 50;
    holder.lengths[1] = 20;
    RepaintToolPanel(kToolPanelPaintAll);
    std::vector<std::string> cells, yellow;
    int outlines = 0;
    ReadPaint(&cells, &yellow, &outlines);
    EXPECT_EQ(cells, (std::vector<std::string>{Cell(0, 10), Cell(6, 20), "D1= 30.00", "H1= 50.00",
                                               "D2= 40.00", "H2= 20.00"}));
    EXPECT_NE(GetPlatformWindowText(panel_).find("(保持具定義有り)"), std::string::npos);
    // A tool of no size has no scale: its picture is left out, its cells are not.
    ToolTableSet.tools[3] = ToolRecord{1, kToolFlat};
    ToolTableSet.arbors[3] = ArborProfile{};
    cells.clear();
    yellow.clear();
    outlines = 0;
    RepaintToolPanel(kToolPanelPaintAll);
    ReadPaint(&cells, &yellow, &outlines);
    EXPECT_EQ(outlines, 0);
    EXPECT_TRUE(yellow.empty());
    EXPECT_EQ(cells, (std::vector<std::string>{Cell(0, 0), Cell(6, 0)}));
}

TEST_F(ToolPanelTest, ClicksTurnTheRingAndTheMiddleSlotMountsItsTool) {
    ToolPanel.stepDelayMs = 0;
    ToolTableSet.tools[3] = ToolRecord{1, kToolFlat, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20};
    ToolTableSet.tools[7] = ToolTableSet.tools[3];
    // The template's area, enlarged as the panel font's texts need.
    const WindowRect area = DialogUnitsToPixels(2, 20, 336, 70);
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    FitToolPanelArea(MeasureToolPanelMetrics(13), &width, &height);
    const ToolPanelLayout l = ComputeToolPanelLayout(width, height);
    auto click = [&](const WindowRect& r) {
        const int x = area.left + (r.left + r.right) / 2;
        const int y = area.top + (r.top + r.bottom) / 2;
        SendWindowMessage(panel_, WM_LBUTTONDOWN, 0, static_cast<MessageLParam>(x | (y << 16)));
        SendWindowMessage(panel_, WM_LBUTTONUP, 0, 0);
    };
    const struct {
        const char* name;
        WindowRect target;
        int position;  // the middle slot afterwards
        int current;   // the current tool afterwards
    } steps[] = {
        {"middle slot holds the current tool", l.slots[kMiddleSlot], 3, 3},
        {"upper row, outer slot", l.slots[0], 18, 3},
        {"lower row, outer slot", l.slots[10], 3, 3},
        {"upper row, inner slot", l.slots[4], 2, 3},
        {">> arrow", l.forwardArrow, 3, 3},
        {"lower row, second slot", l.slots[9], 7, 3},
        {"middle slot holds tool 7", l.slots[kMiddleSlot], 7, 7},
        {"picture", l.picture, 7, 7},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        click(step.target);
        EXPECT_EQ(ToolPanel.magazinePosition, step.position);
        EXPECT_EQ(ToolFile.currentTool, step.current);
    }
    EXPECT_EQ(ToolPanel.pictureMode, 1);
    // "1-st" turns the shorter way round.
    ClickDlgItem(panel_, 1016);
    testing::DispatchPendingMessages();
    EXPECT_EQ(ToolPanel.magazinePosition, 1);
}

// Where a painted text's glyphs lie: its measured width placed in its box by its alignment, one
// font height high about the box's middle.
WindowRect InkOf(const PaintOperation& op, const std::string& text, int align) {
    PaintContext measure;
    measure.fontPixelHeight = op.fontPixelHeight;
    const int width = MeasurePaintText(measure, text);
    int left = op.rect.left + (op.op == PaintOp::StatusPane ? 3 : 0);
    int right = op.rect.right - (op.op == PaintOp::StatusPane ? 3 : 0);
    if (align == kTextCenter) {
        left = (left + right - width) / 2;
    } else if (align == kTextRight) {
        left = right - width;
    }
    const int middle = (op.rect.top + op.rect.bottom) / 2;
    return WindowRect{left, middle - op.fontPixelHeight / 2, left + width,
                      middle + (op.fontPixelHeight + 1) / 2};
}

bool Within(const WindowRect& inner, const WindowRect& outer) {
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

bool Overlap(const WindowRect& a, const WindowRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// At the default font and larger ones, in both languages, the whole panel painted: every text's
// glyphs lie within its cell (the cell's border and inset kept), its slot or picture box and the
// panel; no two texts overprint, nor a tool number a tool's drawing; every description row lies
// within the picture's height.
TEST_F(ToolPanelTest, AtEveryFontEachTextFitsItsCellAndNoneOverprintsAnother) {
    // Tool 3 (current): eight dimension cells and eight holder cells; tools 2, 4 and 5 drawn in
    // the slots, tool 4 ready in the middle slot.
    ToolRecord general{1, kToolGeneralCutter, 16, -1, 0, 0, 2, 5, 10, 12, 0, 0, 0, 30};
    ToolTableSet.tools[3] = general;
    ToolTableSet.lengths[3] = ToolLengthRecord{kToolLength1, {45, 0, 0, 0, 0, 0}};
    ArborProfile& holder = ToolTableSet.arbors[3];
    holder.present = 1;
    holder.count = 4;
    for (int i = 0; i < 4; ++i) {
        holder.diameters[i] = 50.0f + 10.0f * i;
        holder.lengths[i] = 100.0f + i;
    }
    // Face mills as wide as they are long: their pictures fill their slots' width.
    for (int n : {2, 4, 5}) {
        ToolTableSet.tools[n] = ToolRecord{1, kToolFlat, 60, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20};
        ToolTableSet.lengths[n] = ToolLengthRecord{kToolLength1, {40, 0, 0, 0, 0, 0}};
    }
    for (const int fontHeight : {0, 20, 28}) {
        for (const bool english : {true, false}) {
            SCOPED_TRACE(::testing::Message()
                         << "-F" << fontHeight << (english ? " English" : " Japanese"));
            CommandLine.fontHeight = fontHeight;
            ResetMessageTexts();
            UiLanguage.store(0);
            if (english) {
                ApplyMessageText(nullptr, "");
            }
            DestroyPlatformWindow(panel_);
            panel_ = CreateToolPanel(nullptr);
            ASSERT_NE(panel_, nullptr);
            ToolPanel.magazinePosition = 4;
            RepaintToolPanel(kToolPanelPaintAll);
            WindowRect client = {};
            ASSERT_TRUE(GetWindowClientRect(panel_, &client));
            std::vector<std::pair<WindowRect, std::string>> inks;
            std::vector<WindowRect> numbers, drawings;
            WindowRect clip = client;
            int cells = 0;
            for (const PaintOperation& op : GetLastPaintRecord(panel_)) {
                if (op.op == PaintOp::Clip) {
                    clip = op.rect.right > op.rect.left ? op.rect : client;
                    continue;
                }
                if ((op.op == PaintOp::Polyline || op.op == PaintOp::Polygon) &&
                    !op.points.empty()) {
                    WindowRect box{op.points[0].x, op.points[0].y, op.points[0].x, op.points[0].y};
                    for (const PaintPoint& p : op.points) {
                        box =
                            WindowRect{std::min(box.left, p.x), std::min(box.top, p.y),
                                       std::max(box.right, p.x + 1), std::max(box.bottom, p.y + 1)};
                    }
                    drawings.push_back(box);
                    continue;
                }
                if ((op.op != PaintOp::Text && op.op != PaintOp::StatusPane) || op.text.empty()) {
                    continue;
                }
                int align = kTextLeft;
                std::string text = op.text;
                if (op.op == PaintOp::StatusPane) {
                    text = SplitPaneText(op.text, &align);
                    cells += op.text.find('=') != std::string::npos ? 1 : 0;
                } else {
                    align = op.flags & kTextAlignMask;
                }
                SCOPED_TRACE(text);
                const WindowRect ink = InkOf(op, text, align);
                EXPECT_TRUE(Within(ink, op.rect));
                EXPECT_TRUE(Within(ink, clip));
                EXPECT_TRUE(Within(op.rect, client));
                if (op.op == PaintOp::StatusPane) {
                    // A cell's border and its text's inset: 4 pixels on each side.
                    EXPECT_LE(ink.right - ink.left + 8, op.rect.right - op.rect.left);
                }
                for (const auto& [other, otherText] : inks) {
                    EXPECT_FALSE(Overlap(ink, other)) << "over " << otherText;
                }
                inks.emplace_back(ink, text);
                if (op.op == PaintOp::Text && op.color == 0xFFFF00) {
                    numbers.push_back(ink);
                }
            }
            // No tool number is printed over a tool's drawing.
            EXPECT_GE(drawings.size(), 4u);
            for (const WindowRect& number : numbers) {
                for (const WindowRect& drawing : drawings) {
                    EXPECT_FALSE(Overlap(number, drawing))
                        << "number at " << number.left << ", " << number.top << " over a drawing "
                        << drawing.left << ".." << drawing.right;
                }
            }
            EXPECT_EQ(cells, 16);
            EXPECT_GE(inks.size(), 30u);
            // The panel's frame grew with its area.
            WindowRect frame = {};
            ASSERT_TRUE(GetPlatformWindowRect(panel_, &frame));
            EXPECT_EQ(frame.right - frame.left, client.right - client.left);
        }
    }
    CommandLine.fontHeight = 0;
    ResetMessageTexts();
    UiLanguage.store(0);
}

TEST_F(ToolPanelTest, DuringARunOnlyAskedPaintsHappen) {
    ToolTableSet.tools[3] = ToolRecord{1, kToolFlat, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20};
    WindowRun.mode.store(RunMode::kRealCutting);
    SendWindowMessage(panel_, WM_PAINT, 0, 0);  // the system's own paint: skipped
    EXPECT_EQ(ToolPanel.paintState, 2);
    EXPECT_TRUE(GetLastPaintRecord(panel_).empty());
    RepaintToolPanel(kToolPanelPaintSlots);  // asked for: painted, slots only
    EXPECT_EQ(ToolPanel.paintState, 0);
    EXPECT_EQ(ToolPanel.pendingMode, 0);
    std::vector<std::string> cells, yellow;
    int outlines = 0;
    ReadPaint(&cells, &yellow, &outlines);
    EXPECT_TRUE(cells.empty());
    EXPECT_FALSE(GetLastPaintRecord(panel_).empty());
    // The tool the run mounted is the one shown.
    ToolTableSet.tools[7] = ToolRecord{1, kToolFlat, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12};
    WindowRun.controls.kept.mountedTool.store(7);
    RepaintToolPanel(kToolPanelPaintAll);
    ReadPaint(&cells, &yellow, &outlines);
    EXPECT_EQ(cells, (std::vector<std::string>{Cell(0, 6), Cell(6, 12)}));
    // The run's thread only asks; the window is left alone.
    MainWindow.store(panel_);
    WindowRun.controls.kept.toolPanelPendingPaint.store(0);
    ToolPanel.paintState = 2;
    std::thread([] { RepaintToolPanel(kToolPanelPaintAll); }).join();
    MainWindow.store(nullptr);
    EXPECT_EQ(WindowRun.controls.kept.toolPanelPendingPaint.load(), 1);
    EXPECT_EQ(ToolPanel.paintState, 2);
    // Busy: the wheel turns nothing.
    SendWindowMessage(panel_, WM_MOUSEWHEEL, static_cast<MessageWParam>(-240), 0);
    EXPECT_EQ(ToolPanel.magazinePosition, 3);
    WindowRun.mode.store(RunMode::kIdle);
    SendWindowMessage(panel_, WM_MOUSEWHEEL, static_cast<MessageWParam>(-240), 0);
    EXPECT_EQ(ToolPanel.magazinePosition, 1);
}

}  // namespace
}  // namespace mirexa
