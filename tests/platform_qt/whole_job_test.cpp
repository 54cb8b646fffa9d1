// A user's job in the real window (offscreen, in a copy of the samples): each new, moved or
// turned stock is drawn in the view at once; the program's keys still reach the view after a
// click on a panel pane and once the pointer is back over the view; Shift with a digit key is
// that digit key.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <cstring>
#include <functional>
#include <vector>

#include "app/program_wiring.h"
#include "config/config_records.h"
#include "platform/dialogs.h"
#include "platform/menus.h"
#include "qt_test_support.h"
#include "resources/dialog_templates.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "shell/info_panel.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "shell/stock_commands.h"
#include "support/earlier_program_run.h"
#include "support/scratch_directory.h"
#include "support/stock_dialog_answers.h"
#include "view/camera.h"
#include "view/snapshots.h"
#include "view/stock_display.h"
#include "view/view_window.h"

namespace mirexa {
namespace {

class QtWholeJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ClearEarlierProgramRun();
        ConnectProgram();
    }
    void TearDown() override {
        SetDialogResponder({});
    }
    // Runs the program; steps[i] runs once the loop waits after steps[i - 1], then the window is
    // closed.
    void RunSteps(std::vector<std::function<void()>> steps) {
        static std::vector<std::function<void()>> queue;
        static std::function<void()> next;
        queue = std::move(steps);
        next = [] {
            if (queue.empty()) {
                NotifyNativeClose(MainWindow.load());
                return;
            }
            std::function<void()> step = queue.front();
            queue.erase(queue.begin());
            step();
            testing::WhenIdle(next, 100);
        };
        testing::WhenIdle(next, 300);
        ProgramStart start;
        start.commandLine = "";
        start.closeWhenIdle = 0;
        EXPECT_EQ(RunProgram(start), 0);
    }
    testing::SampleWorkingDirectory scratch;
};

// The pixels of the view's last frame that differ from its corner (the background).
int DrawnPixels() {
    const CaptureGeometry& g = ViewCapture;
    std::vector<std::uint8_t> pixels(g.size);
    if (g.size == 0 || !ReadViewPixels(kPixelsRgb, pixels.data(), pixels.size())) {
        return -1;
    }
    int drawn = 0;
    for (int y = 0; y < g.height; ++y) {
        const std::uint8_t* row = pixels.data() + static_cast<std::size_t>(y) * g.stride;
        for (int x = 0; x < g.width; ++x) {
            drawn += std::memcmp(row + 3 * x, pixels.data(), 3) != 0 ? 1 : 0;
        }
    }
    return drawn;
}

TEST_F(QtWholeJobTest, EveryNewMovedOrTurnedStockIsDrawnAtOnce) {
    SetDialogResponder(testing::FillStockDialog);
    // Move and Rotate take the command line's shift and turn when the sender gives them.
    CommandLine.moveShift[0] = 30.0;
    CommandLine.rotateAxis = 2;
    CommandLine.rotateAngle = 30.0;
    const struct {
        const char* name;
        unsigned command;
        MessageLParam lparam;
    } steps[] = {
        {"box", IDM_STOCK_TWO_POINT, 0},     {"box again", IDM_STOCK_TWO_POINT, 0},
        {"cylinder", IDM_STOCK_CYLINDER, 0}, {"box once more", IDM_STOCK_TWO_POINT, 0},
        {"moved", IDM_STOCK_MOVE, 1},        {"turned about Z", IDM_STOCK_ROTATE, 1},
    };
    std::vector<int> drawn, whole;
    std::vector<std::function<void()>> actions;
    for (const auto& step : steps) {
        actions.push_back([&step] {
            PostWindowMessage(MainWindow.load(), WM_COMMAND, step.command, step.lparam);
        });
        actions.push_back([&drawn, &whole] {
            // The picture the program drew after the command, as it stands; then the picture of
            // the whole stock meshed anew, which it must equal.
            drawn.push_back(DrawnPixels());
            MarkStockDisplayDirty(&CurrentStockModel());
            RedrawView(MainWindowData.handles.view);
            whole.push_back(DrawnPixels());
        });
    }
    RunSteps(actions);
    ASSERT_EQ(drawn.size(), std::size(steps));
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_GT(whole[i], 1000) << steps[i].name;
        EXPECT_NEAR(drawn[i], whole[i], whole[i] / 100) << steps[i].name;
    }
}

// A key event as the X server gives it: the toolkit's key and text, the hardware key code.
void SendKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers, quint32 scanCode,
             const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, scanCode, 0, 0, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, scanCode, 0, 0, text);
    QApplication::sendEvent(widget, &release);
}

TEST_F(QtWholeJobTest, KeysReachTheViewAfterAPanelClickAndShiftDigitIsTheDigit) {
    double afterPanelClick[2] = {};
    QWidget* focusAfterClick = nullptr;
    QWidget* focusAfterMove = nullptr;
    QWidget* viewWidget = nullptr;
    double beforeShift7[2] = {}, afterShift7[2] = {};
    RunSteps({
        [&] {
            // A click on a pane of the column (the stock range panes toggle their labels).
            QWidget* column = FindQtWidget(GetInfoPanelWindow(kPanelColumn));
            ASSERT_NE(column, nullptr);
            for (const PanelPane& pane : BuildInfoPanelPanes(CollectInfoPanelInputs())) {
                if (pane.id == kPaneRange) {
                    QTest::mouseClick(column, Qt::LeftButton, {},
                                      QPoint((pane.rect.left + pane.rect.right) / 2,
                                             (pane.rect.top + pane.rect.bottom) / 2));
                }
            }
        },
        [&] {
            focusAfterClick = QApplication::focusWidget();
            ASSERT_NE(focusAfterClick, nullptr);
            // 8: the view from above, whatever window holds the keyboard.
            SendKey(focusAfterClick, Qt::Key_8, {}, 17, "8");
        },
        [&] {
            afterPanelClick[0] = CurrentView.angleA;
            afterPanelClick[1] = CurrentView.angleB;
            viewWidget = FindQtWidget(MainWindowData.handles.view);
            ASSERT_NE(viewWidget, nullptr);
            QTest::mouseMove(viewWidget, QPoint(100, 100));
        },
        [&] {
            focusAfterMove = QApplication::focusWidget();
            beforeShift7[0] = CurrentView.angleA;
            beforeShift7[1] = CurrentView.angleB;
            // Shift+7 as the X server gives it on a US layout: the key "&", the key code of 7.
            SendKey(viewWidget, Qt::Key_Ampersand, Qt::ShiftModifier, 16, "&");
        },
        [&] {
            afterShift7[0] = CurrentView.angleA;
            afterShift7[1] = CurrentView.angleB;
        },
    });
    EXPECT_NE(focusAfterClick, viewWidget) << "the click left the keyboard on the panel";
    EXPECT_DOUBLE_EQ(afterPanelClick[0], 0.0);
    EXPECT_DOUBLE_EQ(afterPanelClick[1], 90.0);
    EXPECT_EQ(focusAfterMove, viewWidget);
    // 7 turns A by 180 degrees, and with Shift B too.
    EXPECT_DOUBLE_EQ(afterShift7[0], 180.0) << beforeShift7[0];
    EXPECT_DOUBLE_EQ(afterShift7[1], 270.0) << beforeShift7[1];
}

}  // namespace
}  // namespace mirexa
