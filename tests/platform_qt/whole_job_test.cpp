// A user's job in the real window (offscreen, in a copy of the samples): each new, moved or
// turned stock is drawn in the view at once; after a run that ended on an alarm the panel shows
// the rewound machine position and a jog goes on from there; after Work > Delete the panel's
// ranges say so; the program's keys still reach the view after a click on a panel pane and once
// the pointer is back over the view; Shift with a digit key is that digit key.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/program_wiring.h"
#include "config/config_records.h"
#include "geometry/machine_kinematics.h"
#include "platform/dialogs.h"
#include "platform/menus.h"
#include "platform/paint.h"
#include "qt_test_support.h"
#include "resources/dialog_templates.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "shell/automation_steps.h"
#include "shell/info_panel.h"
#include "shell/main_window.h"
#include "shell/run_commands.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "shell/stock_commands.h"
#include "simulation/run_control.h"
#include "support/earlier_program_run.h"
#include "support/scratch_directory.h"
#include "support/stock_dialog_answers.h"
#include "view/camera.h"
#include "view/snapshots.h"
#include "view/stock_display.h"
#include "view/view_window.h"

namespace mirexa {
namespace {

// What the panel and a jog showed after a run that was cut short.
struct AfterRewind {
    std::vector<std::string> boxes;  // the texts of the message boxes, in order
    int escapeInRun = 0;             // 1 when Esc was typed while the last run went
    int lastRunEnd = -1;             // how the last run ended (a kCut kind)
    int staleAxes = 0;               // axis value panes drawn with another position than the pose's
    double shown[3] = {};            // the machine position the panel shows
    double afterJog = 0.0;           // its X after a "+" jog of X
    // The number of boxes that said the text.
    long Said(const char* text) const {
        return std::count_if(boxes.begin(), boxes.end(), [text](const std::string& box) {
            return box.find(text) != std::string::npos;
        });
    }
};

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
    // closed. A step that calls Again(what) runs once more after a short wait, until the wait
    // bound has passed since it first ran: then the test fails, saying which step waited for what.
    void RunSteps(std::vector<std::function<void()>> steps) {
        static std::vector<std::function<void()>> queue;
        static std::function<void()> next;
        static std::size_t total = 0;
        static std::chrono::steady_clock::time_point firstTry;
        static bool retrying = false;
        total = steps.size();
        queue = std::move(steps);
        retrying = false;
        next = [] {
            if (queue.empty()) {
                NotifyNativeClose(MainWindow.load());
                return;
            }
            if (!retrying) {
                firstTry = std::chrono::steady_clock::now();
            }
            const std::function<void()> step = queue.front();
            waitingFor = nullptr;
            step();
            retrying = waitingFor != nullptr;
            if (!retrying) {
                queue.erase(queue.begin());
            } else if (std::chrono::steady_clock::now() - firstTry > testing::kWaitBound) {
                testing::EndWhatTheTestOpened(
                    "step " + std::to_string(total - queue.size() + 1) + " of " +
                    std::to_string(total) + " waited " +
                    std::to_string(testing::kWaitBound.count()) + " s in vain for " + waitingFor +
                    "; run mode " + std::to_string(static_cast<int>(WindowRun.mode.load())) +
                    ", box " + (testing::FindTopLevel<QMessageBox>() != nullptr ? "1" : "0") +
                    ", program " + DefinitionFiles.ncProgramFile);
                return;
            }
            testing::WhenIdle(next, retrying ? 50 : 100);
        };
        testing::WhenStarted(next);
        ProgramStart start;
        start.commandLine = "";
        start.closeWhenIdle = 0;
        EXPECT_EQ(RunProgram(start), 0);
    }
    static void Again(const char* what) {
        waitingFor = what;
    }
    static inline const char* waitingFor = nullptr;
    AfterRewind JogAfterACutShortRun(const std::string& second, bool escape);
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

// What tells one stock from another: the stamp of its rays' contents (a new stock gets new ones)
// and its frame (a move or a turn changes it).
struct StockMark {
    std::uint64_t rays = 0;
    double frame[12] = {};
    bool operator==(const StockMark& other) const {
        return rays == other.rays && std::equal(frame, frame + 12, other.frame);
    }
};
StockMark MarkOfTheStock() {
    const StockModel& model = CurrentStockModel();
    StockMark mark;
    mark.rays = model.rayStamp;
    std::copy(model.frame.values, model.frame.values + 12, mark.frame);
    return mark;
}

TEST_F(QtWholeJobTest, EveryNewMovedOrTurnedStockIsDrawnAtOnce) {
    // The stocks' dialogs as a user fills them; Move: 30 mm along X, Rotate: 30 degrees about Z.
    SetDialogResponder([](WindowHandle dialog, int templateId, int round) {
        if (round > 0 || (templateId != IDD_STOCK_MOVE && templateId != IDD_STOCK_ROTATE)) {
            return testing::FillStockDialog(dialog, templateId, round);
        }
        if (templateId == IDD_STOCK_MOVE) {
            TypeDlgItemText(dialog, 1045, "30");
        } else {
            ClickDlgItem(dialog, 1143);
            TypeDlgItemText(dialog, 1148, "30");
        }
        ClickDlgItem(dialog, IDOK);
        return 1;
    });
    const struct {
        const char* name;
        unsigned command;
    } steps[] = {
        {"box", IDM_STOCK_TWO_POINT},     {"box again", IDM_STOCK_TWO_POINT},
        {"cylinder", IDM_STOCK_CYLINDER}, {"box once more", IDM_STOCK_TWO_POINT},
        {"moved", IDM_STOCK_MOVE},        {"turned about Z", IDM_STOCK_ROTATE},
    };
    std::vector<int> drawn, whole;
    // The stock before each command and after it: each command makes a new stock (a new one
    // has new rays; a moved or turned one another frame).
    std::vector<StockMark> before, after;
    std::vector<std::function<void()>> actions;
    for (const auto& step : steps) {
        actions.push_back([&step, &before] {
            before.push_back(MarkOfTheStock());
            PostWindowMessage(MainWindow.load(), WM_COMMAND, step.command, 0);
        });
        actions.push_back([&drawn, &whole, &before, &after] {
            // Until the command has made its stock (a busy machine's program gets it late),
            // the view shows the old one.
            const StockMark now = MarkOfTheStock();
            if (now == before.back()) {
                Again("the command's new stock");
                return;
            }
            // The picture the program drew after the command, as it stands; then the picture of
            // the whole stock meshed anew, which it must equal. A view without a stock in it
            // after the redraw has not got the command yet: the look is made again.
            const int shown = DrawnPixels();
            MarkStockDisplayDirty(&CurrentStockModel());
            RedrawView(MainWindowData.handles.view);
            const int meshed = DrawnPixels();
            if (meshed <= 1000) {
                Again("the command's stock in the view");
                return;
            }
            drawn.push_back(shown);
            whole.push_back(meshed);
            after.push_back(now);
        });
    }
    RunSteps(actions);
    ASSERT_EQ(drawn.size(), std::size(steps));
    ASSERT_EQ(after.size(), std::size(steps));
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_GT(whole[i], 1000) << steps[i].name;
        EXPECT_NEAR(drawn[i], whole[i], whole[i] / 100) << steps[i].name;
    }
    // The move shifts the stock by 30 mm along X; the turn turns it.
    const std::size_t moved = std::size(steps) - 2, turned = std::size(steps) - 1;
    EXPECT_NEAR(after[moved].frame[9] - before[moved].frame[9], 30.0, 1e-9);
    EXPECT_NE(std::vector<double>(after[turned].frame, after[turned].frame + 9),
              std::vector<double>(before[turned].frame, before[turned].frame + 9));
}

// The centre of the pane of the panel's column, and its text as the panel shows it now.
QPoint ColumnPaneCentre(int id) {
    for (const PanelPane& pane : BuildInfoPanelPanes(CollectInfoPanelInputs())) {
        if (pane.id == id && pane.window == kPanelColumn) {
            return QPoint((pane.rect.left + pane.rect.right) / 2,
                          (pane.rect.top + pane.rect.bottom) / 2);
        }
    }
    return QPoint(-1, -1);
}
double ColumnPaneValue(int id) {
    for (const PanelPane& pane : BuildInfoPanelPanes(CollectInfoPanelInputs())) {
        if (pane.id == id && pane.window == kPanelColumn) {
            return std::strtod(pane.text.c_str(), nullptr);
        }
    }
    return std::nan("");
}

// The texts the panel's column drew last.
std::vector<std::string> DrawnColumnTexts() {
    std::vector<std::string> drawn;
    for (const PaintOperation& op : GetLastPaintRecord(GetInfoPanelWindow(kPanelColumn))) {
        drawn.push_back(op.text);
    }
    return drawn;
}

// Keeps the text of a message box on show and answers it with OK.
void AnswerMessageBox(std::vector<std::string>* texts) {
    if (auto* box = testing::FindTopLevel<QMessageBox>()) {
        texts->push_back(box->text().toStdString());
        box->accept();
    }
}

// On the sample program's box (machine X 0..100, Y 0..80, Z -30.5..0): a run that ends normally
// in G56 (as the sample program does), so that the next run starts in another work offset than
// the start point was taken in; then the program `second`, run with F5 and, with `escape`, ended
// by Esc at once; then the panel switched to machine positions and a "+" jog of X.
AfterRewind QtWholeJobTest::JogAfterACutShortRun(const std::string& second, bool escape) {
    SetDialogResponder([](WindowHandle dialog, int templateId, int round) {
        if (templateId != IDD_STOCK_TWO_POINT || round > 0) {
            return 0;
        }
        ClickDlgItem(dialog, 1423);
        const char* corners[] = {"0", "0", "-30.5", "100", "80", "0"};
        for (int k = 0; k < 6; ++k) {
            TypeDlgItemText(dialog, 142 + k, corners[k]);
        }
        ClickDlgItem(dialog, IDOK);
        return 1;
    });
    scratch.Write("first.nc", "%\nO1\nT1 M06\nG56 G00 X10. Y70. Z50.\nM30\n%\n");
    AfterRewind seen;
    int endedBefore = 0;  // the runs ended before the last F5
    std::vector<std::function<void()>> steps = {
        [] { PostWindowMessage(MainWindow.load(), WM_COMMAND, IDM_STOCK_TWO_POINT, 0); }};
    for (const std::string& name : {std::string("first.nc"), second}) {
        const std::string path = scratch.At(name);
        steps.push_back([path] { testing::ChooseFileThroughMenu(IDM_NC_SELECT, path); });
        steps.push_back([path, &endedBefore] {
            if (DefinitionFiles.ncProgramFile != path) {
                return Again("the program chosen");
            }
            endedBefore = RunCommands.endedRuns;
            QTest::keyClick(FindQtWidget(MainWindowData.handles.view), Qt::Key_F5);
        });
        if (escape && name == second) {
            steps.push_back([&endedBefore, &seen] {
                // Esc once the run goes (a run that has ended already leaves nothing to stop).
                if (WindowRun.mode.load() == RunMode::kIdle &&
                    RunCommands.endedRuns == endedBefore) {
                    return Again("the run's start");
                }
                seen.escapeInRun = RunCommands.endedRuns == endedBefore ? 1 : 0;
                QTest::keyClick(FindQtWidget(MainWindowData.handles.view), Qt::Key_Escape);
            });
        }
        steps.push_back([&seen, &endedBefore] {
            AnswerMessageBox(&seen.boxes);
            if (RunCommands.endedRuns == endedBefore) {
                return Again("the run's end");
            }
            seen.lastRunEnd = AutomationOutcome.runEnd;
        });
    }
    steps.push_back([&seen] {
        // What the panel drew last, against what it draws for the pose now.
        const std::vector<std::string> drawn = DrawnColumnTexts();
        for (const PanelPane& pane : BuildInfoPanelPanes(CollectInfoPanelInputs())) {
            if (pane.id >= kPaneAxisValue && pane.id < kPaneAxisValue + 3) {
                seen.staleAxes += std::find(drawn.begin(), drawn.end(), pane.text) == drawn.end();
            }
        }
    });
    steps.push_back([] {
        // A click on an axis value: the panel shows the machine position.
        QTest::mouseClick(FindQtWidget(GetInfoPanelWindow(kPanelColumn)), Qt::LeftButton, {},
                          ColumnPaneCentre(kPaneAxisValue));
    });
    steps.push_back([&seen] {
        for (int axis = 0; axis < 3; ++axis) {
            seen.shown[axis] = ColumnPaneValue(kPaneAxisValue + axis);
        }
        // The "+" of X, pressed and released.
        QWidget* column = FindQtWidget(GetInfoPanelWindow(kPanelColumn));
        const QPoint plus = ColumnPaneCentre(kPaneJogPlus);
        QTest::mousePress(column, Qt::LeftButton, {}, plus);
        QTest::mouseRelease(column, Qt::LeftButton, {}, plus);
    });
    steps.push_back([&seen] {
        // A box the jog shows is answered first.
        if (testing::FindTopLevel<QMessageBox>() != nullptr) {
            AnswerMessageBox(&seen.boxes);
            return Again("the jog's boxes answered");
        }
        seen.afterJog = ColumnPaneValue(kPaneAxisValue);
    });
    RunSteps(steps);
    return seen;
}

// The machine went back to its start point, inside the strokes, the panel shows it, and a jog
// goes on from there without a stroke alarm.
void ExpectJogFromTheStartPoint(const AfterRewind& seen) {
    EXPECT_EQ(seen.Said("Over Stroke"), 0);
    EXPECT_EQ(seen.staleAxes, 0) << "the panel still shows the pose before the rewind";
    // The sample's control point: machine X 0, Y 0 (Z 200 at the tool's tip).
    EXPECT_NEAR(seen.shown[0], 0.0, 1e-9);
    EXPECT_NEAR(seen.shown[1], 0.0, 1e-9);
    const StrokeLimits& strokes = CurrentMachine.strokes;
    EXPECT_GT(seen.shown[2], strokes.min[2] + 1.0);
    EXPECT_LT(seen.shown[2], strokes.max[2] - 1.0);
    EXPECT_NEAR(seen.afterJog, seen.shown[0] + 0.001, 1e-9);
}

TEST_F(QtWholeJobTest, AJogAfterARunEndedOnAnAlarmStartsWhereThePanelShowsTheMachine) {
    // Down with the chuck deep into the stock: the run ends on the arbor's alarm (the other
    // boxes say that no viewer shows the length reports).
    scratch.Write("plunge.nc",
                  "%\nO1\nT1 M06\nG56 G00 X50. Y40. S3000 M03\nZ20.\n"
                  "G01 Z-55. F300.\nG00 Z20.\nM30\n%\n");
    const AfterRewind seen = JogAfterACutShortRun("plunge.nc", false);
    EXPECT_EQ(seen.Said("Arbor interfered"), 1);
    ExpectJogFromTheStartPoint(seen);
}

TEST_F(QtWholeJobTest, AJogAfterARunEndedByEscStartsWhereThePanelShowsTheMachine) {
    const AfterRewind seen = JogAfterACutShortRun("demo_part.nc", true);
    // Typed while the run went, Esc ended it (the sample program's end would also leave the
    // machine at the start point).
    ASSERT_EQ(seen.escapeInRun, 1) << "the run ended before Esc";
    EXPECT_EQ(seen.lastRunEnd, kCutAborted);
    ExpectJogFromTheStartPoint(seen);
}

TEST_F(QtWholeJobTest, AfterWorkDeleteThePanelsRangesSayUndefined) {
    SetDialogResponder([](WindowHandle dialog, int templateId, int round) {
        if (templateId != IDD_STOCK_STATE || round > 0) {
            return testing::FillStockDialog(dialog, templateId, round);
        }
        ClickDlgItem(dialog, 1396);  // Delete
        ClickDlgItem(dialog, IDOK);
        return 1;
    });
    std::vector<std::string> withStock, deleted;
    RunSteps({
        [] { ChooseMenuCommand(MainWindow.load(), IDM_STOCK_TWO_POINT, 0); },
        [&] {
            // The panel shows the box once it has drawn again after the command.
            withStock = DrawnColumnTexts();
            if (std::count(withStock.begin(), withStock.end(), "\tundefined") != 0) {
                return Again("the panel drawn with the box's ranges");
            }
            ChooseMenuCommand(MainWindow.load(), IDM_STOCK_STATE, 0);
        },
        [&] {
            deleted = DrawnColumnTexts();
            if (std::count(deleted.begin(), deleted.end(), "\tundefined") == 0) {
                return Again("the panel drawn with undefined ranges");
            }
        },
    });
    const auto undefined = [](const std::vector<std::string>& texts) {
        return std::count(texts.begin(), texts.end(), "\tundefined");
    };
    // The box's six ranges, then none.
    EXPECT_EQ(undefined(withStock), 0);
    EXPECT_EQ(undefined(deleted), 6);
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
    int perspectiveBefore = 0;
    int perspectiveAfter = 0;
    int markAfter = 0;
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
            QTest::mouseClick(column, Qt::LeftButton, {}, ColumnPaneCentre(kPaneRange));
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
            perspectiveBefore = CurrentView.perspective;
            // Shift+2 on a US layout types "@" (the key code of 2): the view's perspective key.
            SendKey(viewWidget, Qt::Key_At, Qt::ShiftModifier, 11, "@");
        },
        [&] {
            perspectiveAfter = CurrentView.perspective;
            markAfter = StatusInputs.perspective;
        },
    });
    EXPECT_NE(perspectiveAfter, perspectiveBefore) << "Shift+2 typing @ did not switch";
    EXPECT_EQ(markAfter, perspectiveAfter);
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
