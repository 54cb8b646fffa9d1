// The program's own start-up on the Qt backend (offscreen, in a copy of the samples): the real
// main window opens with the main menu and the status bar, the view's widget shows exactly the
// pixels the captures read from the off-screen render, a menu command reaches the main window,
// and the close box ends the program. Also: the backend fills every record the layer left to it,
// and the program without a display says so and fails.
#include <gtest/gtest.h>

#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>

#include "app/program_wiring.h"
#include "config/config_records.h"
#include "platform/backend.h"
#include "platform/menus.h"
#include "platform/paint.h"
#include "platform/sound.h"
#include "qt_test_support.h"
#include "resources/dialog_templates.h"
#include "resources/main_menu.h"
#include "services/shared_state.h"
#include "shell/automation_thread.h"
#include "shell/info_panel.h"
#include "shell/main_window.h"
#include "shell/run_commands.h"
#include "shell/sound_effects.h"
#include "shell/startup.h"
#include "shell/stock_commands.h"
#include "stock/stock_model.h"
#include "support/bounded_wait.h"
#include "support/earlier_program_run.h"
#include "support/scratch_directory.h"
#include "view/avi_recording.h"
#include "view/snapshots.h"
#include "view/view_hooks.h"

namespace mirexa {
namespace {

// Every word of the record is a filled function pointer.
bool AllFilled(const void* record, std::size_t size) {
    const auto* words = static_cast<const std::uintptr_t*>(record);
    for (std::size_t i = 0; i < size / sizeof(void*); ++i) {
        if (words[i] == 0) {
            return false;
        }
    }
    return true;
}

TEST(QtBackend, FillsEveryRecordTheLayerLeavesToARealWindowBackend) {
    EXPECT_EQ(GetPlatformBackend(), PlatformBackend::RealWindow);
    EXPECT_TRUE(AllFilled(&GetRegisteredRealWindowBackend(), sizeof(RealWindowBackend)));
    EXPECT_TRUE(AllFilled(&GetGuiPump(), sizeof(GuiPump)));
    EXPECT_TRUE(AllFilled(&GetMenuBackendHooks(), sizeof(MenuBackendHooks)));
    EXPECT_EQ(HasFramePresenter(), 1);
}

TEST(QtProgram, WithoutADisplayTheProgramSaysSoInOneLineAndFails) {
    // No display named: nothing to do without the window (exit 1). A display named whose X
    // server is not there: the window asked for cannot be opened (exit 2).
    const struct {
        const char* display;
        int exitCode;
        const char* said;
    } starts[] = {
        {"DISPLAY", 1, "no display"},
        {"DISPLAY=:4242", 2, "the display could not be opened"},
    };
    for (const auto& start : starts) {
        std::vector<std::string> command = {"env", "-u", "WAYLAND_DISPLAY", "-u",
                                            "QT_QPA_PLATFORM"};
        if (std::string(start.display) == "DISPLAY") {
            command.push_back("-u");
        }
        command.push_back(start.display);
        command.push_back(MIREXA_PROGRAM);
        int status = -1;
        const std::string output = testing::CaptureProgramOutput(command, &status);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == start.exitCode)
            << start.display << ": " << status;
        EXPECT_NE(output.find(start.said), std::string::npos) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    }
}

class QtProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ClearEarlierProgramRun();
        ConnectProgram();
    }
    // The next start in English (the samples' message file, as set up) or, without that file,
    // in Japanese.
    void StartInLanguage(bool english) {
        if (!english) {
            testing::ClearEarlierProgramRun();
            ConnectProgram();
            std::remove(scratch.At("mirexa7.mes").c_str());
        }
    }
    testing::SampleWorkingDirectory scratch;
};

// How the view's widget differs from the frame the captures read: empty when it shows that frame
// pixel for pixel, at its own size.
std::string DifferenceFromTheCapture(QWidget* view) {
    const QImage shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const CaptureGeometry& g = ViewCapture;
    std::vector<std::uint8_t> pixels(g.size);
    if (!ReadViewPixels(kPixelsBgr, pixels.data(), pixels.size())) {
        return "no capture";
    }
    if (shown.width() != g.width || shown.height() != g.height) {
        return "widget " + std::to_string(shown.width()) + " x " + std::to_string(shown.height()) +
               ", capture " + std::to_string(g.width) + " x " + std::to_string(g.height);
    }
    for (int y = 0; y < g.height; ++y) {
        const std::uint8_t* row = pixels.data() + std::size_t(g.height - 1 - y) * g.stride;
        for (int x = 0; x < g.width; ++x) {
            if (shown.pixel(x, y) != qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x])) {
                return "first difference at " + std::to_string(x) + ", " + std::to_string(y);
            }
        }
    }
    return "";
}

TEST_F(QtProgramTest, StartUpOpensTheMainWindowAndTheViewShowsTheOffscreenRender) {
    int menus = -1, commandSeen = 0;
    QString title;
    QSize viewSize, resizedViewSize;
    bool viewVisible = false;
    std::string difference = "not looked at", differenceAfterResize = "not looked at";
    SetMessageObserver([&](const WindowMessage& m) {
        if (m.message == WM_COMMAND && m.wparam == IDM_CHECK_RAPID_ON &&
            m.window == MainWindow.load()) {
            commandSeen = 1;
        }
    });
    // Once the view shows its first frame: look at the window and the view, choose a menu
    // command, resize the window as a user does; once the view shows the frame of its new size,
    // press the close box.
    const auto view = [] { return FindQtWidget(MainWindowData.handles.view); };
    testing::WhenStarted([&] {
        testing::WhenReady(
            "the view showing the captured frame",
            [&] {
                return view() != nullptr && (difference = DifferenceFromTheCapture(view())).empty();
            },
            [&] {
                auto* frame = qobject_cast<QMainWindow*>(FindQtWidget(MainWindow.load()));
                ASSERT_NE(frame, nullptr);
                title = frame->windowTitle();
                menus =
                    frame->menuWidget() ? static_cast<int>(frame->menuBar()->actions().size()) : 0;
                viewVisible = view()->isVisible();
                viewSize = view()->size();
                ChooseMenuCommand(MainWindow.load(), IDM_CHECK_RAPID_ON, 0);
                // Wider and lower: the window is no narrower than its panels need.
                frame->resize(frame->width() + 120, frame->height() - 80);
                testing::WhenReady(
                    "the view showing the captured frame at its new size",
                    [&] {
                        resizedViewSize = view()->size();
                        differenceAfterResize = DifferenceFromTheCapture(view());
                        return resizedViewSize == viewSize + QSize(120, -80) &&
                               differenceAfterResize.empty();
                    },
                    [] { FindQtWidget(MainWindow.load())->close(); });
            });
    });
    ProgramStart start;
    start.commandLine = "";
    start.closeWhenIdle = 0;
    EXPECT_EQ(RunProgram(start), 0);
    SetMessageObserver({});
    // The title names the machine and says that no NC program is selected yet.
    EXPECT_TRUE(title.contains("Not Selected")) << "[" << title.toStdString() << "]";
    EXPECT_EQ(menus, MAIN_MENU_HELP + 1);
    EXPECT_TRUE(viewVisible);
    EXPECT_GT(viewSize.width(), 100);
    EXPECT_EQ(difference, "");
    // The view's surface follows the window: the new frame has the widget's new size.
    EXPECT_EQ(resizedViewSize, viewSize + QSize(120, -80));
    EXPECT_EQ(differenceAfterResize, "");
    EXPECT_EQ(commandSeen, 1);
    EXPECT_EQ(FindQtWidget(MainWindow.load()), nullptr) << "the main window is gone";
}

TEST_F(QtProgramTest, AWindowLargerThanTheScreenOpensWithinIt) {
    QRect frameGeometry, screen;
    testing::WhenStarted([&] {
        QWidget* frame = FindQtWidget(MainWindow.load());
        frameGeometry = frame->geometry();
        screen = QGuiApplication::primaryScreen()->availableGeometry();
        frame->close();
    });
    ProgramStart start;
    start.commandLine = "-N -(0,0,1400,1320)";
    start.closeWhenIdle = 0;
    EXPECT_EQ(RunProgram(start), 0);
    ASSERT_FALSE(screen.isEmpty());
    // The client area, status bar included, takes no more than the screen, from a place on it
    // (the desktop's frame decoration comes around it).
    EXPECT_TRUE(screen.contains(frameGeometry.topLeft()));
    EXPECT_LE(frameGeometry.width(), screen.width());
    EXPECT_LE(frameGeometry.height(), screen.height());
}

// The run's end on a desktop without a viewer: the run's files (the recording, the length
// report) have their names, whole, before the box says that nothing can show the report.
TEST_F(QtProgramTest, AProgramOpenedThroughTheMenuRunsWithItsKey) {
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", scratch.Path().c_str(), 1);  // no xdg-open there
    std::string ini = testing::ReadWholeFile(scratch.At("mirexa.ini"));
    ini.replace(ini.find("Target_VIDEOdir="), 16, "Target_VIDEOdir=" + scratch.Path());
    ini.replace(ini.find("TIMING=NO"), 9, "TIMING=TOOL");
    scratch.Write("mirexa.ini", ini);
    const std::string report = scratch.At("demo_part_length.txt");
    scratch.Write("demo_part_length.txt", "an earlier report");
    std::string reportAtBox, recordingAtBox;
    int temporariesAtBox = -1;
    std::string chosen;
    QString viewerBox;
    int endedBefore = -1;
    int ended = 0;
    // Each step runs from a toolkit timer inside the program's loop once the last is done.
    std::function<void()> pressRunKey;
    testing::WhenStarted([&] {
        testing::ChooseFileThroughMenu(IDM_NC_SELECT, scratch.At("demo_part.nc"));
        testing::WhenReady(
            "the program chosen", [] { return !DefinitionFiles.ncProgramFile.empty(); },
            pressRunKey);
    });
    pressRunKey = [&] {
        chosen = DefinitionFiles.ncProgramFile;
        endedBefore = RunCommands.endedRuns;
        QTest::keyClick(FindQtWidget(MainWindowData.handles.view), Qt::Key_F5);
        // The run's end shows its tool length report, or says in a box that nothing can; the
        // end is complete once the box is answered.
        const auto answerTheBoxUntilTheEnd = [&] {
            if (auto* box = testing::FindTopLevel<QMessageBox>()) {
                viewerBox = box->text();
                reportAtBox = testing::ReadWholeFile(report);
                recordingAtBox = testing::ReadWholeFile(AviRecorder.path).substr(0, 4);
                temporariesAtBox =
                    static_cast<int>(testing::LeftoverTemporaries(report).size() +
                                     testing::LeftoverTemporaries(AviRecorder.path).size());
                box->button(QMessageBox::Ok)->click();
            }
            return RunCommands.endedRuns > endedBefore;
        };
        testing::WhenReady("the run's end", answerTheBoxUntilTheEnd, [&] {
            ended = RunCommands.endedRuns - endedBefore;
            NotifyNativeClose(MainWindow.load());
        });
    };
    ProgramStart start;
    start.closeWhenIdle = 0;
    EXPECT_EQ(RunProgram(start), 0);
    EXPECT_EQ(chosen, scratch.At("demo_part.nc"));
    EXPECT_EQ(ended, 1);
    setenv("PATH", path.c_str(), 1);
    EXPECT_TRUE(viewerBox.contains("xdg-open")) << viewerBox.toStdString();
    EXPECT_EQ(reportAtBox.rfind(chosen + "\nT01:", 0), 0u) << reportAtBox;
    EXPECT_NE(reportAtBox.find("\nT04:"), std::string::npos) << reportAtBox;
    EXPECT_EQ(recordingAtBox, "RIFF");
    EXPECT_EQ(temporariesAtBox, 0);
}

TEST_F(QtProgramTest, AStockTypedIntoItsDialogOpenedByTheMenuIsTheStockMade) {
    // Machine coordinates (mm) typed into the two-point dialog: minimum, then maximum.
    const struct {
        int id;
        const char* text;
        double value;
    } fields[] = {{142, "-10", -10}, {143, "5", 5},   {144, "-30", -30},
                  {145, "40", 40},   {146, "25", 25}, {147, "0", 0}};
    int typed = 0;
    int made = 0;
    double box[6] = {};
    double origin[3] = {};
    double far[3] = {};
    double pitch = 0;
    int panelColors = 0;
    std::function<void()> chooseMachineCoordinates, typeAndConfirm, look;
    chooseMachineCoordinates = [&] {
        QDialog* dialog = testing::ShownDialogWith(142);
        ASSERT_NE(dialog, nullptr);
        // The fields show machine coordinates once that button is chosen (it is greyed while
        // the origin is the machine's).
        auto* machine = dialog->findChild<QRadioButton*>("item1423");
        ASSERT_NE(machine, nullptr);
        if (machine->isEnabled()) {
            QTest::mouseClick(machine, Qt::LeftButton, {}, QPoint(5, 5));
        }
        testing::WhenReady(
            "the fields in machine coordinates",
            [machine] { return !machine->isEnabled() || machine->isChecked(); }, typeAndConfirm);
    };
    typeAndConfirm = [&] {
        QDialog* dialog = testing::ShownDialogWith(142);
        ASSERT_NE(dialog, nullptr);
        for (const auto& field : fields) {
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("item%1").arg(field.id));
            ASSERT_NE(edit, nullptr) << field.id;
            edit->setFocus();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, field.text);
            typed += edit->text() == field.text ? 1 : 0;
        }
        QTest::mouseClick(dialog->findChild<QPushButton*>("item1"), Qt::LeftButton);
        testing::WhenReady(
            "the stock dialog's end", [] { return testing::ShownDialogWith(142) == nullptr; },
            look);
    };
    look = [&] {
        made = StockCommands.stockPresent;
        // The tool panel shows what its procedure painted in its drawing area (the magazine and
        // the tool), where no control lies.
        if (QDialog* panel = testing::ShownDialogWith(1016)) {
            const QImage shown = panel->grab().toImage();
            const ControlTemplate* area = nullptr;
            for (const ControlTemplate& c : FindDialogTemplate(IDD_TOOL_DISPLAY)->controls) {
                area = c.kind == ControlKind::Custom ? &c : area;
            }
            ASSERT_NE(area, nullptr);
            const WindowRect r = DialogUnitsToPixels(area->x, area->y, area->w, area->h);
            QSet<QRgb> colors;
            for (int y = r.top; y < r.bottom; y += 2) {
                for (int x = r.left; x < r.right; x += 2) {
                    colors.insert(shown.pixel(x, y));
                }
            }
            panelColors = static_cast<int>(colors.size());
        }
        std::copy(InitialStock.box, InitialStock.box + 6, box);
        const StockModel& model = CurrentStockModel();
        const int counts[3] = {model.nx, model.ny, model.nz};
        pitch = model.pitch;
        for (int axis = 0; axis < 3; ++axis) {
            origin[axis] = model.origin[axis];
            far[axis] = model.origin[axis] + (counts[axis] - 1) * model.pitch;
        }
        NotifyNativeClose(MainWindow.load());
    };
    testing::WhenStarted([&] {
        testing::WhenReady(
            "the two-point stock dialog", [] { return testing::ShownDialogWith(142) != nullptr; },
            chooseMachineCoordinates);
        ChooseMenuCommand(MainWindow.load(), IDM_STOCK_TWO_POINT, 0);
    });
    ProgramStart start;
    start.closeWhenIdle = 0;
    EXPECT_EQ(RunProgram(start), 0);
    EXPECT_EQ(typed, 6);
    EXPECT_EQ(made, 1);
    EXPECT_GE(panelColors, 4) << "the tool panel shows its picture";
    for (int i = 0; i < 6; ++i) {
        EXPECT_DOUBLE_EQ(box[i], fields[i].value) << i;
    }
    // The stock's nodes span the box typed, to within a pitch.
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(origin[axis], fields[axis].value, pitch + 1e-9) << axis;
        EXPECT_NEAR(far[axis], fields[axis + 3].value, pitch + 1e-9) << axis;
    }
}

// What a person sees of one pane: its fill (the commonest colour inside its border) and the
// colour inside it that stands out most from the fill.
struct PaneSeen {
    QRgb fill = 0;
    double textContrast = 1.0;
};

std::uint32_t BgrOf(QRgb color) {
    return static_cast<std::uint32_t>(qRed(color)) |
           (static_cast<std::uint32_t>(qGreen(color)) << 8) |
           (static_cast<std::uint32_t>(qBlue(color)) << 16);
}

PaneSeen LookAtPane(const QImage& image, const WindowRect& r) {
    std::map<QRgb, int> counts;
    for (int y = r.top + 2; y < r.bottom - 2 && y < image.height(); ++y) {
        for (int x = r.left + 2; x < r.right - 2 && x < image.width(); ++x) {
            ++counts[image.pixel(x, y)];
        }
    }
    PaneSeen seen;
    int most = 0;
    for (const auto& [color, count] : counts) {
        if (count > most) {
            most = count;
            seen.fill = color;
        }
    }
    for (const auto& [color, count] : counts) {
        seen.textContrast =
            std::max(seen.textContrast, ColorContrastRatio(BgrOf(color), BgrOf(seen.fill)));
    }
    return seen;
}

// Every pane of the information panel in its real window, in English (the samples' message file)
// and in Japanese (without it), at the default font and at -F20: filled with the pane face, its
// text standing out from the fill at least 4.5:1, wide enough for its text in the panel's font,
// and within its window (the column as wide as its panes).
TEST_F(QtProgramTest, EveryInformationPanelPaneIsFilledAndItsTextReadableAndWhole) {
    for (const bool english : {true, false})
        for (const int font : {0, 20}) {
            SCOPED_TRACE(::testing::Message()
                         << (english ? "English" : "Japanese") << " -F" << font);
            if (font > 0) {
                testing::ClearEarlierProgramRun();
                ConnectProgram();
            }
            StartInLanguage(english);
            std::vector<PanelPane> panes;
            QImage pictures[2];
            testing::WhenStarted([&] {
                for (int which : {kPanelStrip, kPanelColumn}) {
                    QWidget* widget = FindQtWidget(GetInfoPanelWindow(which));
                    ASSERT_NE(widget, nullptr);
                    pictures[which] = widget->grab().toImage();
                }
                panes = BuildInfoPanelPanes(CollectInfoPanelInputs());
                NotifyNativeClose(MainWindow.load());
            });
            ProgramStart start;
            start.closeWhenIdle = 0;
            start.commandLine = font > 0 ? "-F" + std::to_string(font) : "";
            ASSERT_EQ(RunProgram(start), 0);
            int looked = 0;
            PaintContext measure;
            measure.fontPixelHeight = font > 0 ? font : 13;
            for (const PanelPane& pane : panes) {
                // The text as it shows: a trailing tab ("\tWork\t") draws nothing.
                int align = 0;
                std::string text = SplitPaneText(pane.text, &align);
                text.erase(std::remove(text.begin(), text.end(), '\t'), text.end());
                if (text.empty() || pane.coloured) {
                    continue;
                }
                const PaneSeen seen = LookAtPane(pictures[pane.window], pane.rect);
                EXPECT_EQ(BgrOf(seen.fill), kPaneFaceColor) << pane.text;
                EXPECT_GE(seen.textContrast, 4.5) << pane.text;
                EXPECT_LE(MeasurePaintText(measure, text) + 6, pane.rect.right - pane.rect.left)
                    << pane.text;
                const QImage& picture = pictures[pane.window];
                EXPECT_LE(pane.rect.bottom, picture.height()) << pane.text;
                if (pane.window == kPanelColumn) {
                    EXPECT_LE(pane.rect.right, picture.width()) << pane.text;
                }
                ++looked;
            }
            EXPECT_GT(looked, 40);
            // The strip's caption lies over the column, its text beside it, in the strip's window.
            for (const PanelPane& pane : panes) {
                if (pane.id == kPaneStripCaption) {
                    EXPECT_EQ(pane.window, kPanelStrip);
                    EXPECT_EQ(pane.rect.left, 0);
                }
            }
        }
}

// The tool panel in both languages: its check box in the interface's language, its title naming
// another tools file read through the menu at once; and Qt's own texts (message-box buttons)
// Japanese in a Japanese interface.
TEST_F(QtProgramTest, TheToolPanelAndQtsOwnTextsFollowTheLanguageAndTheToolsFile) {
    std::filesystem::copy_file(scratch.At("vmc3.ttl"), scratch.At("other.ttl"));
    for (const bool english : {true, false}) {
        SCOPED_TRACE(english ? "English" : "Japanese");
        StartInLanguage(english);
        QString fixed, titleBefore, titleAfter, cancel;
        const auto readTools = [&] {
            QDialog* panel = testing::ShownDialogWith(1010);
            ASSERT_NE(panel, nullptr);
            fixed = panel->findChild<QWidget*>("item1010")->property("text").toString();
            titleBefore = panel->windowTitle();
            QMessageBox box;
            box.setStandardButtons(QMessageBox::Cancel);
            cancel = box.button(QMessageBox::Cancel)->text();
            testing::ChooseFileThroughMenu(IDM_TOOLS_FILE, scratch.At("other.ttl"));
            // Until the file dialog has been answered and the file read.
            testing::WhenReady(
                "the tool panel's title naming other.ttl",
                [&] {
                    const QDialog* panel = testing::ShownDialogWith(1010);
                    titleAfter = panel != nullptr ? panel->windowTitle() : QString();
                    return testing::FindTopLevel<QFileDialog>() == nullptr &&
                           titleAfter.contains("other.ttl");
                },
                [] { NotifyNativeClose(MainWindow.load()); });
        };
        testing::WhenStarted(readTools);
        ProgramStart start;
        start.closeWhenIdle = 0;
        ASSERT_EQ(RunProgram(start), 0);
        EXPECT_EQ(fixed, english ? "Fixed" : "固定");
        EXPECT_TRUE(titleBefore.contains("vmc3.ttl")) << titleBefore.toStdString();
        EXPECT_TRUE(titleAfter.contains("other.ttl")) << titleAfter.toStdString();
        EXPECT_EQ(cancel == "Cancel", english) << cancel.toStdString();
    }
}

// Without the desktop's viewer, F1 (the help page) and the view's picture of Ctrl+P say so in a
// box alike, naming the viewer; the tool length report after them is not told again.
TEST_F(QtProgramTest, WithoutTheDesktopsViewerEveryFileToShowIsToldAlike) {
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", scratch.Path().c_str(), 1);  // no xdg-open there
    scratch.Write("HELP/index.htm", "<html></html>");
    // F1 is posted to the view, to be taken by the loop; the other two show in the call, whose
    // box (if any) shows and is answered before the call returns.
    const struct {
        const char* name;
        std::function<void()> show;
        bool posted;
    } shows[] = {
        {"F1", [] { QTest::keyClick(FindQtWidget(MainWindowData.handles.view), Qt::Key_F1); },
         true},
        {"the view's picture", [] { ViewCallbacks.openWithShell("tmp.png"); }, false},
        {"the length report", [] { OpenReportInViewer("demo_part_length.txt"); }, false}};
    std::vector<QString> told;
    bool returned[std::size(shows)] = {};
    std::size_t next = 0;
    std::function<void()> show;
    show = [&] {
        if (next == std::size(shows)) {
            NotifyNativeClose(MainWindow.load());
            return;
        }
        const std::size_t which = next;
        testing::WhenReady(
            std::string("a box, or the return of ") + shows[which].name,
            [&, which] {
                return testing::FindTopLevel<QMessageBox>() != nullptr || returned[which];
            },
            [&] {
                auto* box = testing::FindTopLevel<QMessageBox>();
                told.push_back(box != nullptr ? box->text() : QString());
                ++next;
                if (box != nullptr) {
                    box->button(QMessageBox::Ok)->click();
                }
                testing::WhenIdle(show);
            });
        shows[which].show();
        returned[which] = !shows[which].posted;
    };
    testing::WhenStarted(show);
    ProgramStart start;
    start.closeWhenIdle = 0;
    EXPECT_EQ(RunProgram(start), 0);
    setenv("PATH", path.c_str(), 1);
    ASSERT_EQ(told.size(), std::size(shows));
    for (const QString& text : told) {
        if (&text != &told.back()) {
            EXPECT_TRUE(text.contains("xdg-open")) << text.toStdString();
        }
    }
    // The files shown through the viewer say it once a session: the report comes without a box.
    EXPECT_TRUE(told.back().isEmpty()) << told.back().toStdString();
}

// With sound on and no audio device, the window session's log says why there is no sound.
TEST_F(QtProgramTest, WithoutAnAudioDeviceTheLogSaysSo) {
    std::string settings = testing::ReadWholeFile(scratch.At("mirexa.ini"));
    const std::string key = "SOUND=OFF";
    if (settings.find(key) != std::string::npos) {
        settings.replace(settings.find(key), key.size(), "SOUND=ON");
    }
    scratch.Write("mirexa.ini", settings);
    // The tool-change sound of the first paint: a short 8-bit mono WAV file.
    std::string wav = "RIFF";
    const auto le32 = [](std::uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    wav += le32(36 + 8) + "WAVEfmt " + le32(16);
    wav += std::string{1, 0, 1, 0} + le32(8000) + le32(8000) + std::string{1, 0, 8, 0};
    wav += "data" + le32(8) + std::string(8, char(0x80));
    scratch.Write("toolchg.wav", wav);
    FreeSoundEffects();  // what an earlier start in this process loaded and found
    testing::WhenStarted([] { NotifyNativeClose(MainWindow.load()); });
    ProgramStart start;
    start.closeWhenIdle = 0;
    EXPECT_EQ(RunProgram(start), 0);
    // Where the log does not say so, the device is there.
    const std::string log = testing::ReadWholeFile(scratch.At("mirexa.log"));
    if (log.find("no audio device") == std::string::npos) {
        EXPECT_EQ(SoundOutputState(), 1) << log;
    }
    ResetSoundOutput();
}

}  // namespace
}  // namespace mirexa
