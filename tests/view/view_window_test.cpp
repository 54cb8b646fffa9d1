// The view window procedure driven by scripted events on the headless backend with a manual
// clock: wheel, angle keys, rectangle zoom, the measuring trace, backup and undo, removal,
// snapshots, run keys, the popup and the note, and input held back during a rebuild.
#include "view/view_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/machine_file.h"
#include "config/structure_models.h"
#include "geometry/orientation_frames.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/keys.h"
#include "platform/message_box.h"
#include "platform/pointer.h"
#include "platform/popup_menu.h"
#include "services/shared_state.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "simulation/tool_length_report.h"
#include "stock/cut_off_removal.h"
#include "stock/stock_hooks.h"
#include "stock/stock_operation_support.h"
#include "stock/stock_shapes.h"
#include "support/scratch_directory.h"
#include "support/test_cutting_run.h"
#include "support/test_windows.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/marker_lists.h"
#include "view/picking.h"
#include "view/scene_renderer.h"
#include "view/snapshots.h"
#include "view/stock_display.h"
#include "view/view_hooks.h"
#include "view_test_support.h"

namespace mirexa {
namespace {

using testing::MakeBoxStock;
using testing::OffscreenView;

constexpr int kSize = 400;

std::vector<WindowMessage> mainCommands;

MessageResult MainProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                            MessageLParam lparam) {
    if (message == WM_COMMAND || message == WM_DROPFILES) {
        mainCommands.push_back({window, message, wparam, lparam});
        return 0;
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

MessageLParam Point(int x, int y) {
    return static_cast<MessageLParam>((x & 0xFFFF) | ((y & 0xFFFF) << 16));
}

class ViewWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(view_.ok());
        ResetConfigurationRecords();
        ResetViewWindowState();
        GiveRunRequest(TestRun, WindowRunRequest());
        // No work offset: a program an earlier test ran may have left its offsets behind.
        WorkOffsetSource = WorkOffsetHooks{};
        ReleaseAllKeys();
        StockOperationRunning = 0;
        EmptyClipboard();
        mainCommands.clear();
        UseManualClock(1, 10000);
        DisplayUnitFactor = 20.0;
        points_.assign(3 * kTraceCapacity, 0.0);
        marks_.assign(kTraceCapacity, 0);
        BindTraceTables(points_.data(), marks_.data(), kTraceCapacity);
        InstallPickingCallbacks();
        for (double& p : PickedPoint) {
            p = 0.0;
        }
        PickAxisLocks = PickAxisLockState{};
        WindowCreateParams main;
        main.className = "MainTest";
        main.procedure = MainProcedure;
        main.rect = {0, 0, kSize, kSize + 50};
        main_ = CreatePlatformWindow(main);
        WindowCreateParams params;
        params.className = kViewWindowClass;
        params.procedure = ViewWndProc;
        params.parent = main_;
        params.rect = {0, 0, kSize, kSize};
        params.visible = 1;
        window_ = CreatePlatformWindow(params);
        ASSERT_NE(window_, nullptr);
        SendWindowMessage(window_, WM_SIZE, kSize, kSize);
    }
    void TearDown() override {
        DestroyPlatformWindow(main_);
        testing::DispatchPendingMessages();  // the view's quit request
        SetMessageBoxResponder({});
        SetPopupMenuResponder({});
        BindTraceTables(nullptr, nullptr, 0);
        StockCallbacks = StockHooks{};
        ReleaseAllKeys();
        ReleaseMouseCapture();
        UseManualClock(0);
        ResetViewWindowState();
        WindowRun.mode = RunMode::kIdle;
    }
    void Key(unsigned code, MessageLParam character = 0) {
        SendWindowMessage(window_, WM_KEYDOWN, code, character);
    }
    void Send(unsigned message, int x, int y, MessageWParam wparam = 0) {
        SendWindowMessage(window_, message, wparam, Point(x, y));
    }
    void Click(int x, int y) {
        Send(WM_LBUTTONDOWN, x, y);
        Send(WM_LBUTTONUP, x, y);
    }
    // The client point of a model point (mm).
    static void Cursor(const double point[3], int* x, int* y) {
        double depth, wx, wy;
        ASSERT_EQ(ProjectModelPointToWindow(CurrentView, point, &depth, &wx, &wy), 1);
        *x = static_cast<int>(std::lround(wx));
        *y = static_cast<int>(std::lround(wy));
    }
    OffscreenView view_{kSize, kSize};
    WindowHandle main_ = nullptr;
    WindowHandle window_ = nullptr;
    std::vector<double> points_;
    std::vector<std::uint8_t> marks_;
};

TEST_F(ViewWindowTest, WheelStepsAndTheirReversal) {
    SendWindowMessage(window_, WM_MOUSEWHEEL, static_cast<MessageWParam>(60), Point(5, 5));
    EXPECT_NEAR(CurrentView.zoom, 1.1, 1e-12);  // a part notch is one step in
    EXPECT_EQ(IsWindowTimerRunning(window_, kViewWheelTimerId), 1);
    EXPECT_EQ(ViewWindow.wheel.active, 1);
    SendWindowMessage(window_, WM_MOUSEWHEEL, static_cast<MessageWParam>(-240), Point(5, 5));
    EXPECT_NEAR(CurrentView.zoom, 1.1 / 1.21, 1e-12);  // two steps out

    // 50 ms after the last step the next tick ends the wheel zoom.
    AdvanceManualClock(30);
    testing::DispatchPendingMessages();
    EXPECT_EQ(ViewWindow.wheel.active, 1);
    AdvanceManualClock(30);
    testing::DispatchPendingMessages();
    EXPECT_EQ(ViewWindow.wheel.active, 0);
    EXPECT_EQ(IsWindowTimerRunning(window_, kViewWheelTimerId), 0);

    Settings.wheelZoomReversed = 1;
    CurrentView.zoom = 1.0;
    SendWindowMessage(window_, WM_MOUSEWHEEL, static_cast<MessageWParam>(120), Point(5, 5));
    EXPECT_NEAR(CurrentView.zoom, 1.0 / 1.1, 1e-12);
    SendWindowMessage(window_, WM_MOUSEWHEEL, static_cast<MessageWParam>(-1), Point(5, 5));
    EXPECT_NEAR(CurrentView.zoom, 1.0, 1e-12);
}

TEST_F(ViewWindowTest, NumberKeysSetTheOrientationAngles) {
    struct Case {
        unsigned key;
        double a, b;  // before
        int shift;
        double wantA, wantB;
    };
    const Case cases[] = {
        {'1', 100, 30, 0, 225, 30},
        {'2', 100, 30, 0, 135, 30},
        {'3', 100, 30, 0, 45, 30},
        {'4', 100, 30, 0, 315, 30},
        {'5', 100, 200, 0, 115, 200},
        {'5', 100, 100, 0, 85, 100},
        {'5', 10, 100, 0, 355, 100},
        {'6', 350, 100, 0, 5, 100},
        {'6', 100, 200, 0, 85, 200},
        {'7', 300, 30, 0, 120, 30},
        {'7', 300, 30, 1, 120, 210},
        {'8', 100, 30, 0, 0, 90},
        {'9', 100, 30, 0, 270, 90},
        {'0', 100, 30, 0, 0, 0},
        {VK_NUMPAD0 + 9, 100, 30, 0, 270, 90},
    };
    ViewWindow.fromPanel = 1;  // the centre stays where it is
    for (const Case& c : cases) {
        CurrentView.angleA = c.a;
        CurrentView.angleB = c.b;
        // Shift as the key's message has it, not as the key stands when the message is handled.
        SetKeyDownState(VK_SHIFT, c.shift ? 0 : 1);
        Key(c.key, c.shift ? kKeyShiftHeld : 0);
        SetKeyDownState(VK_SHIFT, 0);
        EXPECT_DOUBLE_EQ(CurrentView.angleA, c.wantA) << "key " << c.key << " from " << c.a;
        EXPECT_DOUBLE_EQ(CurrentView.angleB, c.wantB) << "key " << c.key << " from " << c.b;
        EXPECT_NEAR(CurrentView.cosA, std::cos(c.wantA * M_PI / 180.0), 1e-15);
    }
}

TEST_F(ViewWindowTest, KeyEightAgainChangesNothingWithoutTheCtrlLatch) {
    ViewWindow.fromPanel = 1;
    Key('8');
    CurrentView.zoom = 2.0;
    SceneDirty.triad = 0;
    Key('8');
    EXPECT_EQ(CurrentView.zoom, 2.0);
    Key(VK_CONTROL);
    EXPECT_EQ(ViewWindow.drag.ctrlLatch, 1);
    Key('8');
    EXPECT_EQ(CurrentView.zoom, 1.0);  // the latch resets the zoom and is cleared
    EXPECT_EQ(ViewWindow.drag.ctrlLatch, 0);
}

TEST_F(ViewWindowTest, AngleKeyMovesTheCentreToThePointUnderTheCursor) {
    const double lo[3] = {-5, -5, 0};
    const double hi[3] = {5, 5, 4};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 2), 1);
    const double target[3] = {3, -2, 4};
    int x, y;
    Cursor(target, &x, &y);
    Send(WM_MOUSEMOVE, x, y);
    Key('3');
    EXPECT_DOUBLE_EQ(CurrentView.centre[0], 3.0 / DisplayUnitFactor);
    EXPECT_DOUBLE_EQ(CurrentView.centre[1], -2.0 / DisplayUnitFactor);
    EXPECT_DOUBLE_EQ(CurrentView.centre[2], 4.0 / DisplayUnitFactor);
    EXPECT_EQ(CurrentView.angleA, 45.0);
}

TEST_F(ViewWindowTest, RectangleZoomNeedsFivePixelsAndZoomsByTheSmallerQuotient) {
    Key('Z');
    ASSERT_EQ(ViewWindow.rectangle.active, 1);
    Send(WM_LBUTTONDOWN, 100, 100);
    Send(WM_MOUSEMOVE, 104, 150, MK_LBUTTON);
    EXPECT_EQ(SceneDisplay.rubberBandActive, 1);
    EXPECT_DOUBLE_EQ(ViewWindow.rectangle.corners[1][0], 2.0 * 104 / kSize - 1.0);
    Key('R');  // keys are ignored in rectangle mode
    Send(WM_LBUTTONUP, 104, 150);
    EXPECT_EQ(ViewWindow.rectangle.active, 1);  // 4 pixels wide: stays open
    EXPECT_EQ(CurrentView.zoom, 1.0);

    // 100 x 40 pixels: quotients 4 and 10, the smaller zooms.
    Send(WM_MOUSEMOVE, 200, 140, MK_LBUTTON);
    Send(WM_LBUTTONUP, 200, 140);
    EXPECT_EQ(ViewWindow.rectangle.active, 0);
    EXPECT_EQ(SceneDisplay.rubberBandActive, 0);
    EXPECT_EQ(CurrentView.zoom, 4.0);
    // Nothing under the middle (150, 120): the centre moved in the view plane by the screen
    // delta (-50, 80) pixels, 50 / 200 and 80 / 200 display units at zoom 1 looking down.
    EXPECT_NEAR(CurrentView.centre[0], -0.25, 1e-12);
    EXPECT_NEAR(CurrentView.centre[1], 0.4, 1e-12);
    EXPECT_EQ(GetPointerClip(nullptr, nullptr), 0);
}

TEST_F(ViewWindowTest, MeasuringTraceFindsTheRadiusOfACylinderFromThreePicks) {
    StockModel* model = &StockModels[0];
    const double base[3] = {0, 0, 0};
    ASSERT_EQ(CreateCylinderStock(model, base, 2, 5.0, 24.0, 0.0, 1.0), 0);
    CurrentStockIndex = 0;
    ASSERT_EQ(AllocateModelListNames(*model, &StockListNames[0]), 1);
    SendWindowMessage(window_, WM_COMMAND, kViewCommandMeasure, 0);
    ASSERT_EQ(ViewMouseMode, kMouseModeMeasure);
    // Three top-face nodes 10 mm from the axis: the circle through them has radius 10 about
    // the axis, in space and in the XY plane; the top lies at z = 5.
    const double picks[3][3] = {{6, 8, 5}, {8, -6, 5}, {-10, 0, 5}};
    for (const auto& pick : picks) {
        int x, y;
        Cursor(pick, &x, &y);
        Click(x, y);
    }
    ASSERT_EQ(MeasureTrace.count, 3);
    EXPECT_EQ(points_[6], -10.0);
    EXPECT_EQ(points_[8], 5.0);
    EXPECT_NEAR(MeasureTrace.radii[0], 10.0, 1e-9);
    EXPECT_NEAR(MeasureTrace.radii[3], 10.0, 1e-9);
    EXPECT_NEAR(MeasureTrace.distance, std::hypot(18.0, 6.0), 1e-9);
    EXPECT_EQ(MeasureTrace.delta[0], -18.0);

    // A miss leaves the trace; the popup's measuring command empties it unless Ctrl is held.
    Click(2, 2);
    EXPECT_EQ(MeasureTrace.count, 3);
    SetKeyDownState(VK_CONTROL, 1);
    SendWindowMessage(window_, WM_COMMAND, kViewCommandMeasure, 0);
    EXPECT_EQ(MeasureTrace.count, 3);
    SetKeyDownState(VK_CONTROL, 0);
    SendWindowMessage(window_, WM_COMMAND, kViewCommandRotate, 0);
    EXPECT_EQ(MeasureTrace.count, 3);  // the rotate tool keeps the trace
    SendWindowMessage(window_, WM_COMMAND, 255, 0);
    EXPECT_EQ(ViewMouseMode, 6);
    EXPECT_EQ(MeasureTrace.count, 0);
}

// A Shift-click of the measuring tool picks the vice's vertex in front of the stock: Shift as the
// click's message has it, not as the key stands when the message is handled.
TEST_F(ViewWindowTest, AShiftClickMeasuresTheViceByTheClicksShift) {
    const double lo[3] = {-5, -5, 0};
    const double hi[3] = {5, 5, 4};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 2), 1);
    MachineModel vice;  // one facet, all three corners at (1, 1, 1)
    StlFacet facet;
    for (int k = 3; k < 12; ++k) {
        facet.values[k] = 1.0;
    }
    vice.facets.push_back(facet);
    vice.facetCount = 1;
    StructureModels.vices.push_back(vice);
    SendWindowMessage(window_, WM_COMMAND, kViewCommandMeasure, 0);
    ASSERT_EQ(ViewMouseMode, kMouseModeMeasure);
    const double corner[3] = {1, 1, 1};
    int x, y;
    Cursor(corner, &x, &y);
    const struct {
        const char* description;
        int shiftNow;
        MessageWParam click;
        int onStock;
        double z;
    } cases[] = {
        {"Shift in the click, let go before it is handled", 0, kKeyShiftHeld, 0, 1.0},
        {"a plain click, Shift held by the time it is handled", 1, 0, 1, 4.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        PickedPoint[2] = -99.0;
        SetKeyDownState(VK_SHIFT, c.shiftNow);
        Send(WM_LBUTTONDOWN, x, y, c.click);
        Send(WM_LBUTTONUP, x, y);
        SetKeyDownState(VK_SHIFT, 0);
        EXPECT_EQ(PickedPointOnStock, c.onStock);
        EXPECT_EQ(PickedPoint[2], c.z);
    }
    StructureModels.vices.clear();
}

TEST_F(ViewWindowTest, BackupThenUndoKeepsTheListNameRowsInStep) {
    const double lo[3] = {-5, -5, 0};
    const double hi[3] = {5, 5, 4};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 3), 1);
    Settings.undoRingSize = 3;
    StockModel* model = &StockModels[0];
    StockListNameTable& names = StockListNames[0];
    const int blocks = model->blocks.count;
    Key('C');  // nothing to undo yet
    EXPECT_EQ(model->undo.currentSlot, 0);
    Key('B');
    ASSERT_EQ(model->undo.currentSlot, 1);
    for (int b = 0; b < blocks; ++b) {
        EXPECT_EQ(names.names[kStockBlockListRow + b], names.names[b]) << "block " << b;
    }
    EXPECT_EQ(SceneDirty.stock[1].load(), 0);  // the paint rebuilt the new slot
    Key('C');
    EXPECT_EQ(model->undo.currentSlot, 0);
    // During a run or a stock operation neither key touches the stock.
    WindowRun.mode = RunMode::kRealCutting;
    Key('B');
    EXPECT_EQ(model->undo.currentSlot, 0);
    WindowRun.mode = RunMode::kIdle;
    StockOperationRunning = 1;
    Key('B');
    EXPECT_EQ(model->undo.currentSlot, 0);
    StockOperationRunning = 0;
    Key('B');
    Key('C', 'c');
    EXPECT_EQ(model->undo.currentSlot, 0);
}

TEST_F(ViewWindowTest, DeleteRemovesThePickedPieceAndRefusesTheWholeStock) {
    const double lo[3] = {-10, -5, 0};
    const double hi[3] = {10, 5, 4};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 2), 1);
    Settings.undoRingSize = 2;
    std::vector<std::string> boxes;
    SetMessageBoxResponder([&](const MessageBoxRequest& request) {
        boxes.push_back(request.caption + ": " + request.text);
        return MBX_IDOK;
    });
    UiLanguage = 1;
    const double inside[3] = {-6, 0, 4};
    int x, y;
    Cursor(inside, &x, &y);
    Send(WM_MOUSEMOVE, x, y);
    Key(VK_DELETE);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Invalid: The Whole is selected for disused part.");
    EXPECT_EQ(StockModels[0].undo.currentSlot, 0);

    // Cut a slot through the middle: two pieces. Delete removes the picked left one.
    const double slotLo[3] = {-1.5, -6, -1};
    const double slotHi[3] = {1.5, 6, 5};
    testing::CarveBox(&StockModels[0], slotLo, slotHi, 0);
    Key(VK_DELETE);
    EXPECT_EQ(boxes.size(), 1u);
    StockModel& model = StockModels[0];
    EXPECT_EQ(model.undo.currentSlot, 1);
    // Z rays left of the slot are empty now, those right of it keep their material.
    const std::int64_t leftCell = 5 * model.nx + 2;
    const std::int64_t rightCell = 5 * model.nx + (model.nx - 3);
    EXPECT_EQ(model.z.counts[leftCell], 0);
    EXPECT_EQ(model.z.counts[rightCell], 2);
    EXPECT_EQ(PickedPoint[0], -6.0);

    // Undo, then Shift+Delete keeps the picked piece and removes the rest.
    Key('C');
    ASSERT_EQ(model.undo.currentSlot, 0);
    EXPECT_EQ(model.z.counts[leftCell], 2);
    Key(VK_DELETE, kKeyShiftHeld);
    EXPECT_EQ(model.z.counts[leftCell], 2);
    EXPECT_EQ(model.z.counts[rightCell], 0);
    UiLanguage = 0;
}

TEST_F(ViewWindowTest, ClipboardCopyHoldsAHeaderAndTheRowsAndCtrlPWritesThePng) {
    Key('C', kKeyCtrlHeld);
    std::vector<std::uint8_t> dib;
    ASSERT_EQ(GetClipboardData(CLIPBOARD_DIB, &dib), 1);
    const std::size_t stride = (kSize * 3 + 3) & ~3u;
    ASSERT_EQ(dib.size(), 40 + stride * kSize);
    auto word = [&](int offset, int bytes) {
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            v |= static_cast<std::uint32_t>(dib[offset + i]) << (8 * i);
        }
        return v;
    };
    EXPECT_EQ(word(0, 4), 40u);
    EXPECT_EQ(word(4, 4), static_cast<std::uint32_t>(kSize));
    EXPECT_EQ(word(8, 4), static_cast<std::uint32_t>(kSize));
    EXPECT_EQ(word(12, 2), 1u);
    EXPECT_EQ(word(14, 2), 24u);
    EXPECT_EQ(word(16, 4), 0u);
    EXPECT_EQ(word(20, 4), stride * kSize);

    testing::ScratchDirectory scratch;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(scratch.Path());
    std::string opened;
    static std::string* openedPath = nullptr;
    openedPath = &opened;
    ViewCallbacks.openWithShell = [](const char* path) { *openedPath = path; };
    Key('P', kKeyCtrlHeld);
    std::filesystem::current_path(previous);
    EXPECT_TRUE(std::filesystem::exists(scratch.At("tmp.png")));
    EXPECT_EQ(opened, "tmp.png");
}

TEST_F(ViewWindowTest, RunKeysTabAndTheStopKey) {
    static int selected = 0;
    ViewCallbacks.ncProgramSelected = [] { return selected; };
    WindowRun.mode = RunMode::kRealCutting;
    Key(VK_TAB);  // no NC program: nothing
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kRealCutting);
    selected = 1;
    Key(VK_TAB);
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kSkipCutting);
    Key(VK_TAB);
    Key(VK_TAB);  // the result run is the last: Tab stops there, as in the main window
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kResult);
    // Shift as the key's message has it, not as the key stands when the message is handled.
    Key(VK_TAB, kKeyShiftHeld);
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kSkipCutting);
    Key(VK_TAB, kKeyShiftHeld);
    SetKeyDownState(VK_SHIFT, 1);
    Key(VK_TAB, kKeyShiftHeld);  // and Shift+Tab stops at real cutting
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kRealCutting);
    Key(VK_TAB);  // Shift held again after a plain Tab was typed
    SetKeyDownState(VK_SHIFT, 0);
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kSkipCutting);

    WindowRun.mode = RunMode::kIdle;
    Key(VK_TAB);  // from no run mode nothing starts
    EXPECT_EQ(WindowRun.mode.load(), RunMode::kIdle);

    // F5 posts the run command; E and H post theirs.
    Key(VK_F5);
    Key('E');
    Key('H', 'h');
    testing::DispatchPendingMessages();
    ASSERT_EQ(mainCommands.size(), 3u);
    EXPECT_EQ(mainCommands[0].wparam, kMainCommandCutResult);
    EXPECT_EQ(mainCommands[1].wparam, kMainCommandEditNc);
    EXPECT_EQ(mainCommands[2].wparam, kMainCommandNextStyle);

    // The pause key (Ctrl by default) is no abort: Ctrl+drag zooms during a run.
    WindowRun.mode = RunMode::kRealCutting;
    WindowRun.controls.pauseRequest = 1;
    Key(VK_CONTROL);
    EXPECT_EQ(WindowRun.controls.abortRequest.load(), 0);
    EXPECT_EQ(IsWindowTimerRunning(main_, kViewRunTimerId), 0);
    // The abort key (Esc by default) during a run aborts it and starts the run timer.
    Key(VK_ESCAPE);
    EXPECT_EQ(WindowRun.controls.abortRequest.load(), 1);
    EXPECT_EQ(WindowRun.controls.pauseRequest.load(), 0);
    EXPECT_EQ(IsWindowTimerRunning(main_, kViewRunTimerId), 1);
    StopWindowTimer(main_, kViewRunTimerId);
    selected = 0;
}

TEST_F(ViewWindowTest, ReleaseSoonAfterTheLastMoveSpins) {
    Send(WM_LBUTTONDOWN, 200, 200);
    ASSERT_EQ(ViewWindow.drag.active, 1);
    Key('R');  // keys are ignored during a drag
    EXPECT_EQ(ViewWindow.drag.active, 1);
    AdvanceManualClock(20);
    Send(WM_MOUSEMOVE, 230, 200, MK_LBUTTON);
    ASSERT_NE(ViewWindow.drag.spinSpeed, 0);
    AdvanceManualClock(74);
    Send(WM_LBUTTONUP, 230, 200);
    EXPECT_EQ(IsWindowTimerRunning(window_, kViewSpinTimerId), 1);
    const double a = CurrentView.angleA;
    AdvanceManualClock(10);
    testing::DispatchPendingMessages();
    EXPECT_NE(CurrentView.angleA, a);
    // A new press stops the spin; a release 75 ms after the last move does not start it.
    Send(WM_LBUTTONDOWN, 200, 200);
    EXPECT_EQ(IsWindowTimerRunning(window_, kViewSpinTimerId), 0);
    AdvanceManualClock(20);
    Send(WM_MOUSEMOVE, 230, 200, MK_LBUTTON);
    AdvanceManualClock(75);
    Send(WM_LBUTTONUP, 230, 200);
    EXPECT_EQ(IsWindowTimerRunning(window_, kViewSpinTimerId), 0);
}

TEST_F(ViewWindowTest, DisplayModeKeysCycleWithTheAlphaRules) {
    const double lo[3] = {-5, -5, 0};
    const double hi[3] = {5, 5, 4};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 2), 1);
    DisplayModes.toolMode = 1;
    DisplayModes.toolAlpha = 0.5f;
    Key('T');
    EXPECT_EQ(DisplayModes.toolMode, 0);
    Key('T');
    EXPECT_EQ(DisplayModes.toolMode, 2);
    DisplayModes.toolMode = 0;
    DisplayModes.toolAlpha = 0.0f;
    Key('T');
    EXPECT_EQ(DisplayModes.toolMode, 0);  // alpha 0: semi-transparent shows nothing
    DisplayModes.toolAlpha = 1.0f;
    Key('T', 't');  // the character decides, in either case
    EXPECT_EQ(DisplayModes.toolMode, 1);

    DisplayModes.machineMode = 0;
    DisplayModes.machineAlpha = 1.0f;
    Key('Q');
    EXPECT_EQ(DisplayModes.machineMode, 1);
    DisplayModes.workMode = 2;
    Key('A');
    EXPECT_EQ(DisplayModes.workMode, 1);

    // ^ without a basic model and no loader: nothing.
    DisplayModes.baseMode = 0;
    Key('^', '^');
    EXPECT_EQ(DisplayModes.baseMode, 0);

    // The perspective key is sent by its character.
    const int perspective = CurrentView.perspective;
    Key(0, '@');
    EXPECT_EQ(CurrentView.perspective, 1 - perspective);
}

TEST_F(ViewWindowTest, PopupCommandsAndTheBasisPointNote) {
    static PopupMenu menu;
    menu.items = {{250, "Measure", 0, 0}, {261, "Rectangle", 0, 0}};
    ViewCallbacks.viewPopupMenu = [] { return static_cast<const PopupMenu*>(&menu); };
    unsigned choice = 261;
    SetPopupMenuResponder([&](const PopupMenu&, int, int) { return choice; });
    Send(WM_RBUTTONDOWN, 200, 200);
    Send(WM_RBUTTONUP, 200, 200);
    testing::DispatchPendingMessages();
    EXPECT_EQ(ViewMouseMode, kMouseModeRectangle);
    EXPECT_EQ(ViewWindow.popupActive, 0);  // the next click is not swallowed
    Send(WM_LBUTTONDOWN, 100, 100);
    EXPECT_EQ(ViewWindow.rectangle.dragging, 1);
    Send(WM_MOUSEMOVE, 300, 200, MK_LBUTTON);
    Send(WM_LBUTTONUP, 300, 200);
    EXPECT_EQ(CurrentView.zoom, 2.0);  // 400 / 200 and 400 / 100
    EXPECT_EQ(ViewWindow.rectangle.active, 0);

    // A dismissed menu swallows the click that dismissed it.
    choice = 0;
    Send(WM_RBUTTONDOWN, 200, 200);
    EXPECT_EQ(ViewWindow.popupActive, 1);
    Send(WM_LBUTTONDOWN, 100, 100);
    EXPECT_EQ(ViewWindow.popupActive, 0);
    EXPECT_EQ(ViewWindow.rectangle.dragging, 0);

    // The note near the top-left corner: its own release keeps it, the note's click asks the
    // view to destroy it.
    static WindowHandle note = nullptr;
    ViewCallbacks.openBasisPointNote = [](WindowHandle view, int, int) {
        WindowCreateParams params;
        params.className = "Note";
        params.parent = view;
        note = CreatePlatformWindow(params);
        return note;
    };
    Send(WM_RBUTTONDOWN, 5, 5);
    Send(WM_RBUTTONUP, 5, 5);
    ASSERT_EQ(ViewWindow.noteOpen, 1);
    EXPECT_EQ(IsPlatformWindow(note), 1);
    SendWindowMessage(window_, kViewCloseNote, 0, 0);
    EXPECT_EQ(ViewWindow.noteOpen, 0);
    EXPECT_EQ(IsPlatformWindow(note), 0);
    Send(WM_RBUTTONDOWN, 5, 5);
    Send(WM_RBUTTONUP, 5, 5);
    Send(WM_LBUTTONDOWN, 50, 50);  // a click in the view closes it too
    EXPECT_EQ(ViewWindow.noteOpen, 0);
    EXPECT_EQ(IsPlatformWindow(note), 0);
}

// What each remaining key asks of the shell, recorded through the hooks.
std::vector<std::string> shellCalls;

void Record(const std::string& call) {
    shellCalls.push_back(call);
}

TEST_F(ViewWindowTest, ShellKeysCallTheirHooksUnderTheirConditions) {
    shellCalls.clear();
    ViewCallbacks.openDefinitionEditor = [](int which) {
        Record("editor " + std::to_string(which));
    };
    ViewCallbacks.openHelpPage = [] { Record("help"); };
    ViewCallbacks.startSecondInstance = [] { Record("second"); };
    // The shell swaps to the snapshot only while it holds a tool.
    static int snapshotTool = -1;
    ViewCallbacks.swapToolPose = [](int source) {
        Record("swap " + std::to_string(source));
        return source == 1 && snapshotTool < 0 ? 0 : 1;
    };
    ViewCallbacks.drawAxisValuePanes = [] { Record("axes"); };
    ViewCallbacks.drawStatusBar = [] { Record("status"); };
    std::vector<std::string> boxes;
    SetMessageBoxResponder([&](const MessageBoxRequest& request) {
        boxes.push_back(request.caption);
        EXPECT_NE(request.style & MBX_TOPMOST, 0u);
        return MBX_IDOK;
    });
    UiLanguage = 1;
    Key(VK_F1);
    Key(VK_F2);
    Key(VK_F3);
    Key(VK_F4);
    Key(VK_F1, kKeyCtrlHeld);
    Key(VK_F2, kKeyCtrlHeld);
    Key('X');
    DisplayModes.toolMode = 0;
    Key('I');  // the tool is not displayed
    DisplayModes.toolMode = 1;
    Key('I');
    snapshotTool = -1;
    Key('J');  // the snapshot holds no tool: no swap, no axis values
    snapshotTool = 3;
    Key('J');
    snapshotTool = -1;
    Machine.tableCarriedCount = 0;
    Key('[', '[');
    EXPECT_EQ(SceneFollow.followLinearAxes, 0);
    Machine.tableCarriedCount = 2;
    Key('[', '[');
    EXPECT_EQ(SceneFollow.followLinearAxes, 1);
    Machine.rotaryType = 1;
    Key(']', ']');
    EXPECT_EQ(SceneFollow.followRotaryAxes, 0);
    Machine.rotaryType = 2;
    Key(']', ']');
    EXPECT_EQ(SceneFollow.followRotaryAxes, 1);
    UiLanguage = 0;
    const std::vector<std::string> want = {
        "help",   "editor 2", "editor 3", "editor 4", "editor 0", "editor 1", "second",
        "swap 0", "axes",     "swap 1",   "swap 1",   "axes",     "status",   "status"};
    EXPECT_EQ(shellCalls, want);
    EXPECT_EQ(boxes, std::vector<std::string>{"Editing INI-FILE"});
}

// The view's Ctrl keys take Ctrl as the key's message has it, not as the key stands when the
// message is handled: on a busy machine Ctrl is up again before a quickly typed Ctrl+P is taken,
// or already down before a plain P is.
TEST_F(ViewWindowTest, CtrlKeysTakeCtrlFromTheirMessage) {
    ViewCallbacks.openDefinitionEditor = [](int which) {
        Record("editor " + std::to_string(which));
    };
    ViewCallbacks.openHelpPage = [] { Record("help"); };
    ViewCallbacks.openWithShell = [](const char* path) { Record(std::string("open ") + path); };
    SetMessageBoxResponder([](const MessageBoxRequest&) { return MBX_IDOK; });
    const struct {
        const char* description;
        unsigned key;
        int ctrlNow;
        MessageLParam keyData;
        const char* want;  // the shell's call, or the clipboard's copy
    } cases[] = {
        {"Ctrl+P, Ctrl let go before it is handled", 'P', 0, kKeyCtrlHeld, "open tmp.png"},
        {"P, Ctrl held by the time it is handled", 'P', 1, 0, ""},
        {"Ctrl+C, Ctrl let go before it is handled", 'C', 0, kKeyCtrlHeld, "clipboard"},
        {"C, Ctrl held by the time it is handled", 'C', 1, 0, ""},
        {"Ctrl+F1, Ctrl let go before it is handled", VK_F1, 0, kKeyCtrlHeld, "editor 0"},
        {"F1, Ctrl held by the time it is handled", VK_F1, 1, 0, "help"},
        {"Ctrl+F2, Ctrl let go before it is handled", VK_F2, 0, kKeyCtrlHeld, "editor 1"},
        {"F2, Ctrl held by the time it is handled", VK_F2, 1, 0, "editor 2"},
    };
    testing::ScratchDirectory scratch;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(scratch.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        shellCalls.clear();
        EmptyClipboard();
        SetKeyDownState(VK_CONTROL, c.ctrlNow);
        Key(c.key, c.keyData);
        SetKeyDownState(VK_CONTROL, 0);
        std::vector<std::uint8_t> dib;
        if (GetClipboardData(CLIPBOARD_DIB, &dib) == 1) {
            Record("clipboard");
        }
        const std::string want = c.want;
        EXPECT_EQ(shellCalls,
                  want.empty() ? std::vector<std::string>{} : std::vector<std::string>{want});
    }
    std::filesystem::current_path(previous);
}

// A press after the Ctrl latch starts a zooming drag when Ctrl was held at the click, as the
// click's message has it; the moves of the drag then follow Ctrl as it stands.
TEST_F(ViewWindowTest, APressZoomsByTheClicksCtrl) {
    Key(VK_CONTROL);
    ASSERT_EQ(ViewWindow.drag.ctrlLatch, 1);
    const struct {
        const char* description;
        int ctrlNow;
        MessageWParam click;
        int wantMode;
    } cases[] = {
        {"Ctrl in the click, let go before it is handled", 0, kKeyCtrlHeld, kMouseModeZoom},
        {"a plain click, Ctrl held by the time it is handled", 1, 0, kMouseModeRotate},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        ViewMouseMode = kMouseModeRotate;
        SetKeyDownState(VK_CONTROL, c.ctrlNow);
        Send(WM_LBUTTONDOWN, 50, 50, c.click);
        EXPECT_EQ(ViewMouseMode, c.wantMode);
        EXPECT_EQ(ViewWindow.drag.active, 1);
        Send(WM_LBUTTONUP, 50, 50);
        SetKeyDownState(VK_CONTROL, 0);
    }
}

TEST_F(ViewWindowTest, CameraKeysTurnZoomAndReset) {
    ViewWindow.fromPanel = 1;
    CurrentView.angleB = 355.0;
    Key('D');
    EXPECT_DOUBLE_EQ(CurrentView.angleB, 5.0);
    Key('U');
    Key('U');
    EXPECT_DOUBLE_EQ(CurrentView.angleB, 345.0);
    Key('W');
    EXPECT_EQ(CurrentView.zoom, 5.0);  // the default zoom step multiplies fivefold
    Settings.expandRate = 2.0;
    Key('S');
    EXPECT_EQ(CurrentView.zoom, 2.5);
    CurrentView.startAngleA = 30.0;
    CurrentView.startAngleB = 60.0;
    CurrentView.centre[0] = 7.0;
    Key('R');
    EXPECT_EQ(CurrentView.angleA, 30.0);
    EXPECT_EQ(CurrentView.angleB, 60.0);
    EXPECT_EQ(CurrentView.zoom, 1.0);
    EXPECT_EQ(CurrentView.centre[0], 0.0);  // no stock: the work offset, zero here
    CurrentView.zoom = 3.0;
    Key('F');
    EXPECT_EQ(CurrentView.zoom, 1.0);
}

TEST_F(ViewWindowTest, RunKeysStepTheRedrawIntervalAndResumeAPause) {
    WindowRun.mode = RunMode::kRealCutting;
    Settings.skipView = 2;
    Key(VK_RIGHT);
    EXPECT_EQ(Settings.skipView, 3);
    for (int i = 0; i < 4; ++i) {
        Key(VK_LEFT);
    }
    EXPECT_EQ(Settings.skipView, 1);  // never below 1
    WindowRun.mode = RunMode::kSkipCutting;
    Settings.skipBlock = 5;
    Key(VK_RIGHT);
    EXPECT_EQ(Settings.skipBlock, 6);
    EXPECT_EQ(Settings.skipView, 1);

    Key('G');  // no stop pending: the run timer stays off
    EXPECT_EQ(IsWindowTimerRunning(main_, kViewRunTimerId), 0);
    WindowRun.controls.pendingStop = 1;
    Key('G');
    EXPECT_EQ(IsWindowTimerRunning(main_, kViewRunTimerId), 1);
    StopWindowTimer(main_, kViewRunTimerId);

    // Dropped files go on to the main window unchanged.
    const std::vector<std::string> files = {"a.nc"};
    SendWindowMessage(window_, WM_DROPFILES, 0, reinterpret_cast<MessageLParam>(&files));
    ASSERT_EQ(mainCommands.size(), 1u);
    EXPECT_EQ(mainCommands[0].lparam, reinterpret_cast<MessageLParam>(&files));
}

TEST_F(ViewWindowTest, PathPickShowsTheLineOfThePickedEndAndFlashesIt) {
    const double lo[3] = {-5, -5, 0};
    const double hi[3] = {5, 5, 4};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 2), 1);
    StockModel& model = StockModels[0];
    for (std::int64_t cell = 0; cell < model.z.cellCount; ++cell) {
        ASSERT_LE(model.z.counts[cell], model.z.capacity);
        model.z.lineStamps[cell * model.z.capacity + 1] = -42;  // a look-ahead replay of 42
    }
    static std::vector<int> strip;
    static std::vector<int> sounds;
    static int jumped = 0;
    strip.clear();
    sounds.clear();
    ViewCallbacks.ncProgramSelected = [] { return 1; };
    ViewCallbacks.pathPickingOn = [] { return 1; };
    ViewCallbacks.readPathLine = [](int line, char* text, int capacity) {
        std::snprintf(text, capacity, "N%d G01 X1.", line);
        return 1;
    };
    ViewCallbacks.drawNcDataStrip = [](const char* text, int state) {
        EXPECT_STREQ(text, "N42 G01 X1.");
        strip.push_back(state);
    };
    ViewCallbacks.playSound = [](int sound) { sounds.push_back(sound); };
    ViewCallbacks.jumpEditorToLine = [](int line) { jumped = line; };
    SendWindowMessage(window_, WM_COMMAND, kViewCommandPathPick, 0);
    const double top[3] = {1, 1, 4};
    int x, y;
    Cursor(top, &x, &y);
    const std::uint64_t before = GetTickMilliseconds();
    Click(x, y);
    EXPECT_EQ(PickedPointInfo, -42);
    EXPECT_EQ(strip, (std::vector<int>{6, 5, 6, 5, 6, 5, 3}));
    EXPECT_EQ(GetTickMilliseconds() - before, 600u);  // three flashes of 100 ms steps
    EXPECT_EQ(sounds, std::vector<int>{kViewSoundPick});
    EXPECT_EQ(jumped, 42);
    EXPECT_EQ(MeasureTrace.count, 0);  // the path tool marks a slot without counting it
    EXPECT_EQ(marks_[0], 0);           // the release cleared the pick's mark
}

TEST_F(ViewWindowTest, PaintRunsTheTableAnimationOnlyWhileARotaryTableTurns) {
    WindowRun.mode = RunMode::kRealCutting;
    Machine.rotaryType = 2;
    Machine.tableType[0] = 4;
    SendWindowMessage(window_, WM_PAINT, 0, 0);
    ASSERT_EQ(IsWindowTimerRunning(window_, kViewAnimateTimerId), 1);
    for (int i = 0; i < 37; ++i) {
        AdvanceManualClock(10);
        testing::DispatchPendingMessages();
    }
    EXPECT_EQ(ViewWindow.animationCounter, 1);  // 37 ticks: 36 wrapped to 0, then 1
    Machine.tableType[0] = 1;
    SendWindowMessage(window_, WM_PAINT, 0, 0);
    EXPECT_EQ(IsWindowTimerRunning(window_, kViewAnimateTimerId), 0);
    EXPECT_EQ(ViewWindow.animationCounter, 0);
}

// The path drawing's message pump dispatches input in the middle of the paint: the undo, the
// removal and the measuring click wait until the paint has ended, then run in their order.
TEST_F(ViewWindowTest, StockChangingInputWaitsForTheRebuildToEnd) {
    const double lo[3] = {-10, -5, 0};
    const double hi[3] = {10, 5, 4};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 3), 1);
    Settings.undoRingSize = 3;
    StockModel& model = StockModels[0];
    Key('B');
    ASSERT_EQ(model.undo.currentSlot, 1);
    SendWindowMessage(window_, WM_COMMAND, kViewCommandMeasure, 0);
    static int slotSeenInPump = -1;
    static std::vector<int> pumped;
    pumped.clear();
    ViewCallbacks.drawToolPath = [](int) {
        WindowMessage message;
        while (PeekWindowMessage(&message, PM_REMOVE)) {
            pumped.push_back(static_cast<int>(message.message));
            DispatchWindowMessage(message);
        }
        slotSeenInPump = StockModels[0].undo.currentSlot;
    };
    const double inside[3] = {-6, 0, 4};
    int x, y;
    Cursor(inside, &x, &y);
    PostWindowMessage(window_, WM_KEYDOWN, 'C', 0);
    PostWindowMessage(window_, WM_LBUTTONDOWN, 0, Point(x, y));
    PostWindowMessage(window_, WM_LBUTTONUP, 0, Point(x, y));
    PostWindowMessage(window_, WM_KEYDOWN, 'F', 0);
    DisplayModes.pathDisplay = 1;  // the path list is built only while it is shown
    SceneDirty.path = 1;
    SendWindowMessage(window_, WM_PAINT, 0, 0);
    EXPECT_EQ(pumped.size(), 4u);
    EXPECT_EQ(slotSeenInPump, 1);  // the undo did not run inside the paint
    EXPECT_EQ(MeasureTrace.count, 0);
    EXPECT_TRUE(ViewWindow.deferred.empty());  // posted again when the paint ended
    ViewCallbacks.drawToolPath = nullptr;
    DisplayModes.pathDisplay = 0;
    testing::DispatchPendingMessages();
    EXPECT_EQ(model.undo.currentSlot, 0);
    EXPECT_EQ(MeasureTrace.count, 1);
    EXPECT_EQ(GetMouseCapture(), nullptr);  // the release came after its press
    EXPECT_TRUE(ViewWindow.deferred.empty());

    // The stock rebuild's own pump holds them back through the view's hook as well.
    WindowMessage key{window_, WM_KEYDOWN, VK_DELETE, 0};
    EXPECT_EQ(ViewInputChangesStock(key), 1);
    key.wparam = 'F';
    EXPECT_EQ(ViewInputChangesStock(key), 0);
    EXPECT_EQ(ViewMessageChangesStock(key), 0);
    EXPECT_EQ(ViewMessageChangesStock({window_, WM_TIMER, kViewSpinTimerId, 0}), 1);
}

}  // namespace
}  // namespace mirexa
