// The program's own start-up, run in this process on the headless backend in a copy of the
// samples: what the wiring gives the view, the settings and a run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/program_wiring.h"
#include "config/axis_label_table.h"
#include "config/command_line.h"
#include "config/config_records.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "platform/backend.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/file_dialog.h"
#include "platform/keys.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/pointer.h"
#include "platform/sound.h"
#include "platform/window.h"
#include "resources/dialog_templates.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "shell/definition_watch.h"
#include "shell/info_panel.h"
#include "shell/main_window.h"
#include "shell/message_file.h"
#include "shell/run_commands.h"
#include "shell/sound_effects.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "shell/stock_commands.h"
#include "simulation/cutting_core.h"
#include "simulation/dexel_grid_view.h"
#include "simulation/run_control.h"
#include "simulation/simulation_thread.h"
#include "simulation/tool_length_report.h"
#include "stock/cut_off_removal.h"
#include "stock/stock_model.h"
#include "stock/stock_shapes.h"
#include "support/earlier_program_run.h"
#include "support/scratch_directory.h"
#include "support/test_windows.h"
#include "view/avi_recording.h"
#include "view/camera.h"
#include "view/snapshots.h"
#include "view/view_window.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;

// The software rasteriser draws on the calling thread (its worker threads are not built for the
// thread sanitizer). Set before any context exists.
const int kRasteriserOnCallingThread = setenv("LP_NUM_THREADS", "0", 0);

class ProgramStartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ClearEarlierProgramRun();
        StartPlatformBackend(PlatformBackend::Headless);
        ConnectProgram();
    }
    void TearDown() override {
        SetMessageObserver({});
    }
    int Run(const std::string& commandLine, int closeWhenIdle = 1) {
        ProgramStart start;
        start.commandLine = commandLine;
        start.closeWhenIdle = closeWhenIdle;
        return RunProgram(start);
    }
    testing::SampleWorkingDirectory scratch;
};

TEST_F(ProgramStartupTest, TheViewWindowTakesItsSizeAndTheSettingsAngles) {
    std::string ini = testing::ReadWholeFile(scratch.At("mirexa.ini"));
    ini.replace(ini.find("ANGLE-A=315.0"), 13, "ANGLE-A=300.0");
    scratch.Write("mirexa.ini", ini);
    WindowRun.reports.motionSnapshot.toolNumber = 7;
    ResetViewWindowState();
    EXPECT_EQ(Run(""), 0);
    // The view's own procedure sized its camera when the main window placed it.
    EXPECT_GT(ViewWindow.size.width, 0);
    EXPECT_EQ(CurrentView.width, ViewWindow.size.width);
    EXPECT_DOUBLE_EQ(CurrentView.startAngleA, 300.0);
    EXPECT_DOUBLE_EQ(CurrentView.angleA, 300.0);
    EXPECT_DOUBLE_EQ(CurrentView.angleB, 45.0);
    // Reading the tools file emptied the saved motion state's tool; reading the machine file
    // built the axis labels.
    EXPECT_EQ(WindowRun.reports.motionSnapshot.toolNumber, -1);
    EXPECT_STREQ(AxisLabelTable.labels[1][0], "\tXm");
}

// A user's resize of the main window, reported by the native side: the loop applies it, the
// view's drawable (made 1 x 1 beforehand, as the view's creation with an empty rectangle makes
// it on a desktop; headless start-ups make none) follows the view's new size, and the loop itself
// then paints the view (after the resize's messages, before any timer), which closes the window.
struct ResizeProbe {
    int stage = 0;  // 1: resize reported, 2: applied, 3: view painted
    int surfaceWidth = 0;
    int surfaceHeight = 0;
    WindowRect view = {};
};
ResizeProbe probe;

TEST_F(ProgramStartupTest, AUserResizeResizesTheViewsDrawableAndTheLoopRepaintsIt) {
    probe = {};
    ASSERT_EQ(CreateGlContext(1, 1), 1);
    SetMessageObserver([](const WindowMessage& m) {
        WindowHandle main = MainWindow.load();
        if (probe.stage == 0 && m.window == main && m.message == WM_PAINT) {
            WindowRect rect;
            GetPlatformWindowRect(main, &rect);
            rect.right += 120;
            rect.bottom += 80;
            NotifyNativeGeometry(main, rect, 0);
            probe.stage = 1;
        } else if (probe.stage == 1 && m.window == main && m.message == WM_WINDOWPOSCHANGED) {
            probe.stage = 2;
        } else if (probe.stage == 2 && m.window == MainWindowData.handles.view &&
                   m.message == WM_PAINT) {
            probe.stage = 3;
            probe.surfaceWidth = ViewContext.surface.width;
            probe.surfaceHeight = ViewContext.surface.height;
            GetWindowClientRect(m.window, &probe.view);
            PostWindowMessage(main, WM_CLOSE, 0, 0);
        } else if (probe.stage >= 1 && m.message == WM_TIMER) {
            PostWindowMessage(main, WM_CLOSE, 0, 0);  // no paint came first: end the run
        }
    });
    EXPECT_EQ(Run("", 0), 0);
    SetMessageObserver({});
    DestroyGlContext();
    ASSERT_EQ(probe.stage, 3);
    EXPECT_GT(probe.view.right, 1);
    EXPECT_EQ(probe.surfaceWidth, probe.view.right);
    EXPECT_EQ(probe.surfaceHeight, probe.view.bottom);
}

// The style key of the view, pressed as the window closes: the command it posts to the main
// window is served by the pump of a long loop.
std::atomic<int> keyPressed{0};
std::atomic<int> styleBefore{-1};

TEST_F(ProgramStartupTest, TheViewsStyleKeyReachesTheMainWindow) {
    keyPressed = 0;
    SetMessageObserver([](const WindowMessage& m) {
        if (m.message != WM_CLOSE || m.window != MainWindow.load() || keyPressed++ != 0) {
            return;
        }
        styleBefore = DisplayModes.stockStyle;
        SendWindowMessage(MainWindowData.handles.view, WM_KEYDOWN, 'H', 'h');
        testing::DispatchPendingMessages();
    });
    EXPECT_EQ(Run(""), 0);
    SetMessageObserver({});
    ASSERT_EQ(keyPressed.load() > 0, true);
    EXPECT_EQ(DisplayModes.stockStyle, (styleBefore.load() + 1) % 6);
}

TEST_F(ProgramStartupTest, ARunKeepsAnUndoPointOfTheStockItCut) {
    ASSERT_EQ(Run("-D(100,80,0,0,0,-30.5) demo_part.nc -X6 -O out.dme"), 0);
    ASSERT_TRUE(fs::exists(scratch.At("out.dme")));
    const StockModel& stock = StockModels[CurrentStockIndex.load()];
    ASSERT_GT(stock.nx, 0);
    // The sample keeps three undo slots: the run began on a new one.
    EXPECT_EQ(stock.undo.highestUsedSlot, 1);
    EXPECT_EQ(stock.undo.currentSlot, 1);
}

// What a batch run showed in the main window's title, and what the view's delete key found
// under the pointer once the batch was done.
struct SeenInRun {
    std::mutex mutex;  // guards titles, which other threads' sends add to
    std::vector<std::string> titles;
    int stopAtTimer = 0;
    int holdStopKey = 0;
    int removal = 99;
    int dones = 0;
} seen;

void WatchTitleAndStopKey(const WindowMessage& m) {
    if (m.window != MainWindow.load()) {
        return;
    }
    if (m.message == WM_SETTEXT && m.lparam != 0) {
        std::lock_guard<std::mutex> lock(seen.mutex);
        seen.titles.emplace_back(reinterpret_cast<const char*>(m.lparam));
    } else if (m.message == WM_TIMER && m.wparam == IDT_RUN_PROGRESS && seen.stopAtTimer) {
        // The user asks for a stop before the next block, as the pause key does.
        WindowRun.controls.stopKeyRequest = 1;
    } else if (m.message == WM_AUTOMATION_DONE && seen.dones++ == 0) {
        WindowHandle view = MainWindowData.handles.view;
        WindowRect client = {};
        GetWindowClientRect(view, &client);
        SetPointerPosition(view, client.right / 2, client.bottom / 2);
        SetKeyDownState(static_cast<unsigned>(Settings.stopKey), seen.holdStopKey);
        seen.removal = RemoveUnusedPartAtCursor(view, 0);
        ReleaseAllKeys();
    }
}

TEST_F(ProgramStartupTest, BatchTitleShowsTheProgressNameTheStopMarkAndTheStopKeyEndsASearch) {
    const struct {
        const char* progressName;
        int stopAtTimer;
        int holdStopKey;
        const char* captionTitle;  // the caption alone, shown as the run starts (null: the run's)
        bool stopMark;
    } cases[] = {
        {"JOB7", 0, 0, "JOB7", false},
        {"", 0, 1, nullptr, false},
        {"JOB7", 1, 0, "JOB7", true},
    };
    const std::string ini = testing::ReadWholeFile(scratch.At("mirexa.ini"));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.progressName) + " stop " + std::to_string(c.stopAtTimer));
        std::string edited = ini;
        edited.insert(edited.find("[Define]") + 9,
                      std::string("PROGRESS NAME=") + c.progressName + "\n");
        scratch.Write("mirexa.ini", edited);
        {
            std::lock_guard<std::mutex> lock(seen.mutex);
            seen.titles.clear();
            seen.stopAtTimer = c.stopAtTimer;
            seen.holdStopKey = c.holdStopKey;
            seen.removal = 99;
            seen.dones = 0;
        }
        SetMessageObserver(WatchTitleAndStopKey);
        EXPECT_EQ(Run("-D(100,80,0,0,0,-30.5) demo_part.nc -X6"), 0);
        SetMessageObserver({});
        WindowRun.controls.stopKeyRequest = 0;
        std::lock_guard<std::mutex> lock(seen.mutex);
        const std::string caption =
            c.captionTitle ? c.captionTitle : ChooseLanguageText("Cut", "切削");
        int captionOnly = 0;
        int percent = 0;
        int stopMarks = 0;
        for (const std::string& title : seen.titles) {
            captionOnly += title == caption;
            percent += title.rfind(caption + ":", 0) == 0;
            stopMarks += title.find("-STOP!") != std::string::npos;
        }
        EXPECT_GE(captionOnly, 1);
        EXPECT_GE(percent, 1);
        EXPECT_EQ(stopMarks > 0, c.stopMark);
        // The search under the pointer found the stock; the held stop key ended it.
        EXPECT_NE(seen.removal, 0);
        EXPECT_EQ(seen.removal == kFloodFillStopped, c.holdStopKey != 0);
    }
}

// Menu commands sent to the program's own main window: an NC program chosen in the file dialog
// reaches the title and its data check, and the options a user switched come back at the next
// start through the settings file.
struct MenuSeenAtClose {
    int closes = 0;
    std::string chosen;
    std::string title;
    std::string box;
} menuSeen;

// A user at a desktop, put in at the first close of the main window (the headless start-up runs
// unattended, which writes no settings and updates no title): the file dialog answers with
// menuSeen.chosen and message boxes are read into menuSeen.box, until the scope ends. Returns
// false for every other message.
struct DesktopUser {
    explicit DesktopUser(const WindowMessage& m, int* closes) {
        active = m.message == WM_CLOSE && m.window == MainWindow.load() && (*closes)++ == 0;
        if (!active) {
            return;
        }
        AutomaticMode.store(0);
        dialog = SetFileDialogResponder([](const FileDialogRequest&) {
            return FileDialogResult{.ok = 1, .path = menuSeen.chosen};
        });
        box = SetMessageBoxResponder([](const MessageBoxRequest& request) {
            menuSeen.box = request.text;
            return MBX_IDOK;
        });
    }
    ~DesktopUser() {
        if (active) {
            SetFileDialogResponder(dialog);
            SetMessageBoxResponder(box);
        }
    }
    bool active = false;
    FileDialogResponder dialog;
    MessageBoxResponder box;
};

// As a user would before quitting: four options switched, the sample program chosen and its
// extents checked.
void SwitchOptionsAndCheckAProgram(const WindowMessage& m) {
    const DesktopUser user(m, &menuSeen.closes);
    if (!user.active) {
        return;
    }
    WindowHandle main = MainWindow.load();
    for (unsigned command :
         {IDM_SOUND, IDM_SHOW_AXES, IDM_ARBOR_CHECK_2, IDM_ROTARY_REAL_CUT_MODE}) {
        SendWindowMessage(main, WM_COMMAND, command, 0);
    }
    // The structure checks: tool against vice from pause to ignore.
    const DialogResponder previous = SetDialogResponder([](WindowHandle dialog, int id, int round) {
        if (id != IDD_STRUCTURE_INTERFERENCE || round > 1) {
            return 0;
        }
        return ClickDlgItem(dialog, round == 0 ? 1467 : IDOK);
    });
    SendWindowMessage(main, WM_COMMAND, IDM_STRUCTURE_INTERFERENCE_SETTINGS, 0);
    SetDialogResponder(previous);
    SendWindowMessage(main, WM_COMMAND, IDM_NC_SELECT, 0);
    menuSeen.title = GetPlatformWindowText(main);
    SendWindowMessage(main, WM_COMMAND, IDM_NC_CHECK_MIN_MAX, 0);
}

TEST_F(ProgramStartupTest, AChosenProgramIsCheckedAndSwitchedOptionsComeBackAtTheNextStart) {
    menuSeen = MenuSeenAtClose{};
    CommandLine = CommandLineSwitches{};  // no switches of an earlier start in this process
    menuSeen.chosen = scratch.At("pocket.nc");
    SetMessageObserver(SwitchOptionsAndCheckAProgram);
    EXPECT_EQ(Run(""), 0);
    SetMessageObserver({});
    ASSERT_EQ(menuSeen.closes, 1);
    EXPECT_NE(menuSeen.title.find("pocket.nc(vmc3.ttl,vmc3.ctl,vmc3.mtl)"), std::string::npos)
        << menuSeen.title;
    EXPECT_NE(menuSeen.box.find("X "), std::string::npos) << menuSeen.box;
    const std::string ini = testing::ReadWholeFile(scratch.At("mirexa.ini"));
    EXPECT_NE(ini.find("SOUND=ON"), std::string::npos);
    EXPECT_NE(ini.find("ARBOR CHECK=CUT"), std::string::npos);
    EXPECT_NE(ini.find("ARBOR CHECK=CUT"), std::string::npos) << ini;
    EXPECT_NE(ini.find("TOOL-VICE CHECK=NO"), std::string::npos) << ini;

    ResetConfigurationRecords();
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(Settings.sound, 1);
    EXPECT_EQ(DisplayModes.basicAxis, 0);
    EXPECT_EQ(Checks.arborCheck, 2);
    EXPECT_EQ(Checks.structurePairs[0], 0);
    EXPECT_EQ(Settings.realRotation, 1);
}

// A user at a desktop chooses the sample part's program in the file dialog and cuts the part's
// block: the run that follows cuts that program, to its end.
struct ChosenRun {
    int closes = 0;
    int stockNodes = 0;
    int ended = 0;
    RunResult summary = {};
    std::string watched;        // a file looked at while the run is active ("": none)
    std::string watchedBefore;  // what it held before the run
    int watchedChanged = 0;     // it held anything else than that or a finished AVI file
} chosenRun;

// The sample part's block, as the batch runs define it, defined from the main window.
void DefineThePartsBlock(WindowHandle main) {
    InitialStock.kind = kStockBox;
    const double block[6] = {0, 0, -30.5, 100, 80, 0};
    std::copy(block, block + 6, InitialStock.box);
    ChooseDexelPitch();
    BuildDefinedStock(main);
}

// F5's run from the menu, served as the window serves it (look is called at every turn) until
// the run's end is complete or 60 s have passed; 1 when it ended.
int CutAndServeToTheEnd(WindowHandle main, const std::function<void()>& look = {}) {
    SendWindowMessage(main, WM_COMMAND, IDM_CUT_RESULT, 0);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (IsRunActive() && std::chrono::steady_clock::now() < limit) {
        if (look) {
            look();
        }
        testing::DispatchPendingMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return IsRunActive() ? 0 : 1;
}

void ChooseAProgramAndCutIt(const WindowMessage& m) {
    const DesktopUser user(m, &chosenRun.closes);
    if (!user.active) {
        return;
    }
    WindowHandle main = MainWindow.load();
    SendWindowMessage(main, WM_COMMAND, IDM_NC_SELECT, 0);
    DefineThePartsBlock(main);
    chosenRun.stockNodes = StockModels[CurrentStockIndex.load()].nx;
    chosenRun.ended = CutAndServeToTheEnd(main, [] {
        if (!chosenRun.watched.empty()) {
            const std::string now = testing::ReadWholeFile(chosenRun.watched);
            chosenRun.watchedChanged |= now != chosenRun.watchedBefore && now.rfind("RIFF", 0) != 0;
        }
    });
    chosenRun.summary = WindowRun.result;
}

TEST_F(ProgramStartupTest, AProgramChosenInTheFileDialogIsTheOneTheNextRunCuts) {
    chosenRun = ChosenRun{};
    menuSeen.chosen = scratch.At("demo_part.nc");
    CommandLine = CommandLineSwitches{};  // no switches of an earlier start in this process
    SetMessageObserver(ChooseAProgramAndCutIt);
    EXPECT_EQ(Run(""), 0);
    SetMessageObserver({});
    ASSERT_EQ(chosenRun.closes, 1);
    EXPECT_GT(chosenRun.stockNodes, 0);
    ASSERT_EQ(chosenRun.ended, 1);
    EXPECT_EQ(chosenRun.summary.end, kRunEndProgram);
    EXPECT_GT(chosenRun.summary.moves, 10);
}

// A user at a desktop runs a program that leaves the X stroke, answers the alarm, then runs one
// well inside the strokes in the same window: that run starts clean, without the first run's
// alarm, and cuts to its program's end.
struct RunAfterAnAlarm {
    int closes = 0;
    std::vector<std::string> programs;  // chosen in the file dialog, one per run
    std::vector<RunResult> results;
    std::vector<std::vector<std::string>> boxes;  // the captions each run showed
} afterAlarm;

void CutTwoProgramsInOneWindow(const WindowMessage& m) {
    const DesktopUser user(m, &afterAlarm.closes);
    if (!user.active) {
        return;
    }
    const MessageBoxResponder desktop = SetMessageBoxResponder([](const MessageBoxRequest& r) {
        afterAlarm.boxes.back().push_back(r.caption);
        return MBX_IDOK;
    });
    WindowHandle main = MainWindow.load();
    DefineThePartsBlock(main);
    for (const std::string& program : afterAlarm.programs) {
        menuSeen.chosen = program;
        SendWindowMessage(main, WM_COMMAND, IDM_NC_SELECT, 0);
        afterAlarm.boxes.emplace_back();
        if (CutAndServeToTheEnd(main) == 0) {
            break;
        }
        afterAlarm.results.push_back(WindowRun.result);
    }
    SetMessageBoxResponder(desktop);
}

TEST_F(ProgramStartupTest, ARunAfterAnOverTravelAlarmStartsClean) {
    afterAlarm = RunAfterAnAlarm{};
    afterAlarm.programs = {scratch.Write("over.nc",
                                         "%\nO13\nG90 G17 G40 G49 G80\nT1 M06\n"
                                         "G56 G00 X50. Y40. Z20. S3000 M03\nG00 X2000.\nM30\n%\n"),
                           scratch.Write("inside.nc",
                                         "%\nO14\nG90 G17 G40 G49 G80\nT1 M06\n"
                                         "G56 G00 X20. Y20. Z20. S3000 M03\nG01 Z-2. F500.\nX60.\n"
                                         "G00 Z50.\nM30\n%\n")};
    CommandLine = CommandLineSwitches{};
    SetMessageObserver(CutTwoProgramsInOneWindow);
    EXPECT_EQ(Run(""), 0);
    SetMessageObserver({});
    ASSERT_EQ(afterAlarm.results.size(), 2u);
    EXPECT_EQ(afterAlarm.results[0].end, kRunEndOverTravel);
    EXPECT_EQ(afterAlarm.boxes[0], std::vector<std::string>{"Over Stroke of X-axis!"});
    EXPECT_EQ(afterAlarm.results[1].end, kRunEndProgram);
    EXPECT_EQ(afterAlarm.results[1].alarmSteps, 0);
    EXPECT_GT(afterAlarm.results[1].removedVolume, 500.0);  // a 10 mm slot 40 mm long, 2 mm deep
    EXPECT_TRUE(afterAlarm.boxes[1].empty()) << afterAlarm.boxes[1].front();
}

// During a run the status bar's work system and the panel's stock ranges in work coordinates
// follow the program's work systems, as the control point does: seen while the run stands in
// its G55 block, then the window's again at the end, also of a run aborted in G55.
struct WorkSystemsSeen {
    int closes = 0;
    std::string program;
    std::vector<std::string> workpieces;  // status part 5 while the run is past its G55 block
    std::vector<double> stockMinX;        // the panel's least X of the stock then (work, mm)
    double stockMinXBefore = 0.0;
    std::vector<std::string> workpiecesAfter;  // after each run's end
    std::vector<double> stockMinXAfter;
} workSystems;

void RunThroughTwoWorkSystems(const WindowMessage& m) {
    const DesktopUser user(m, &workSystems.closes);
    if (!user.active) {
        return;
    }
    WindowHandle main = MainWindow.load();
    DefineThePartsBlock(main);
    menuSeen.chosen = workSystems.program;
    SendWindowMessage(main, WM_COMMAND, IDM_NC_SELECT, 0);
    // The user watches the runs: they wait for each step's redraw, which the loop below serves.
    const int suppressed = DrawingSuppressed.exchange(0);
    workSystems.stockMinXBefore = CollectInfoPanelInputs().stockMin[0];
    // The first run is resumed at its M01 in G55 and goes to its end; the second is ended there
    // by Esc. The stop is a point where the run waits for the user after its G55 move, so what
    // the window shows then is what a person reads, however busy the machine.
    for (int run = 0; run < 2; ++run) {
        SendWindowMessage(main, WM_COMMAND, IDM_CUT_REAL, 0);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        bool stopped = false;
        while (IsRunActive() && std::chrono::steady_clock::now() < limit) {
            testing::DispatchPendingMessages();
            if (!stopped && WindowRun.controls.pauseRequest.load() != 0) {
                stopped = true;
                // What the run posted before it stopped reaches the window first.
                testing::DispatchPendingMessages();
                workSystems.workpieces.push_back(
                    GetStatusBarPart(MainStatusBar.load(), STATUS_PART_WORKPIECE).text);
                workSystems.stockMinX.push_back(CollectInfoPanelInputs().stockMin[0]);
                if (run == 0) {
                    ResumeRunTimer(main);
                } else {
                    AbortRun(main, 0);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        testing::DispatchPendingMessages();
        workSystems.workpiecesAfter.push_back(
            GetStatusBarPart(MainStatusBar.load(), STATUS_PART_WORKPIECE).text);
        workSystems.stockMinXAfter.push_back(CollectInfoPanelInputs().stockMin[0]);
    }
    DrawingSuppressed.store(suppressed);
}

TEST_F(ProgramStartupTest, TheStatusBarAndThePanelFollowTheRunsWorkSystems) {
    workSystems = WorkSystemsSeen{};
    // vmc3.ctl: G54 X -250, G55 X -100 (mm), and M01 stops the run.
    workSystems.program =
        scratch.Write("systems.nc",
                      "%\nO15\nG90 G17 G40 G49 G80\nT1 M06\nG54 G00 X250. Y180. Z400.\n"
                      "G55 G00 X100. Y180. Z400.\nG01 X150. F5000.\nM01\nG54 G00 X250.\nM30\n%\n");
    CommandLine = CommandLineSwitches{};
    SetMessageObserver(RunThroughTwoWorkSystems);
    EXPECT_EQ(Run(""), 0);
    SetMessageObserver({});
    // At the stop in G55: the status bar in both runs; the panel's stock range in the first,
    // whose last step before the stop was drawn (X 0 of the machine is X 100 in G55).
    EXPECT_EQ(workSystems.workpieces,
              (std::vector<std::string>{"Workpiece(G55)", "Workpiece(G55)"}));
    ASSERT_FALSE(workSystems.stockMinX.empty());
    EXPECT_EQ(workSystems.stockMinX.front(), 100.0);
    // The program's end is in G54, where the window starts; the end of the run aborted in G55
    // goes back to the system the run started in, on the status bar as on the panel.
    EXPECT_EQ(workSystems.workpiecesAfter,
              (std::vector<std::string>{"Workpiece(G54)", "Workpiece(G54)"}));
    EXPECT_EQ(workSystems.stockMinXBefore, 250.0);
    EXPECT_EQ(workSystems.stockMinXAfter, (std::vector<double>{250.0, 250.0}));
}

// A run recorded at a desktop: the earlier recording of that name stays whole until the new
// one is finished and takes its place (a recording that cannot be finished leaves it).
TEST_F(ProgramStartupTest, ARecordedRunKeepsTheEarlierRecordingUntilItsOwnIsFinished) {
    std::string ini = testing::ReadWholeFile(scratch.At("mirexa.ini"));
    ini.replace(ini.find("Target_VIDEOdir="), 16, "Target_VIDEOdir=" + scratch.Path());
    ini.replace(ini.find("TIMING=NO"), 9, "TIMING=BLOCK");
    scratch.Write("mirexa.ini", ini);
    chosenRun = ChosenRun{};
    chosenRun.watched = scratch.At("demo_part.AVI");  // named after the program
    chosenRun.watchedBefore = "an earlier recording";
    scratch.Write("demo_part.AVI", chosenRun.watchedBefore);
    menuSeen.chosen = scratch.At("demo_part.nc");
    CommandLine = CommandLineSwitches{};
    SetMessageObserver(ChooseAProgramAndCutIt);
    EXPECT_EQ(Run(""), 0);
    SetMessageObserver({});
    ASSERT_EQ(chosenRun.ended, 1);
    EXPECT_EQ(AviRecorder.path, chosenRun.watched) << "the run was recorded";
    EXPECT_EQ(chosenRun.watchedChanged, 0);
    const std::string after = testing::ReadWholeFile(chosenRun.watched);
    EXPECT_TRUE(after == chosenRun.watchedBefore || after.rfind("RIFF", 0) == 0) << after.size();
    EXPECT_TRUE(testing::LeftoverTemporaries(chosenRun.watched).empty());
}

}  // namespace
}  // namespace mirexa

namespace mirexa {
namespace {

TEST_F(ProgramStartupTest, WithSoundOnTheEffectsLoadAndTheStockCommandsPlayThem) {
    std::string ini = testing::ReadWholeFile(scratch.At("mirexa.ini"));
    ini.replace(ini.find("SOUND=OFF"), 9, "SOUND=ON");
    scratch.Write("mirexa.ini", ini);
    scratch.Write("wav/workset.wav", "stock set");
    TakeRecordedSoundEffects();
    std::vector<std::string> played;
    SetMessageObserver([&](const WindowMessage& m) {
        if (m.message == WM_AUTOMATION_DONE) {
            // Taken before shutdown frees the clips (they are named by their clip).
            for (const std::string& name : TakeRecordedSoundEffects()) {
                played.push_back(name);
            }
        }
    });
    EXPECT_EQ(Run("-D(100,80,0,0,0,-30.5)"), 0);
    EXPECT_EQ(played, std::vector<std::string>{"workset.wav"});
    EXPECT_EQ(SoundEffects.loaded, 0);  // freed at shutdown
}

// A tools file edited while the program idles is read again once, at the next activation; one
// edited while a run is active waits until the run is over.
TEST_F(ProgramStartupTest, AnEditedToolsFileIsReadAgainOnceWhenTheWindowIsActivated) {
    struct Step {
        int runActive;  // the run mode while the activation is handled
        int edit;       // edit the tools file before this activation
    };
    const Step steps[] = {{0, 1}, {0, 0}, {1, 1}, {0, 0}, {0, 0}};
    std::vector<int> reReadAt;  // step numbers at which the tools file was read again
    int step = -1;
    FileWriteTime before = {};
    SetMessageObserver([&](const WindowMessage& m) {
        const WindowHandle main = MainWindow.load();
        if (m.window != main || (m.message != WM_PAINT && m.message != WM_ACTIVATE)) {
            return;
        }
        if (step >= 0 && !(ToolFile.fileTime == before)) {
            reReadAt.push_back(step);
            before = ToolFile.fileTime;
        }
        WindowRun.mode.store(RunMode::kIdle);
        if (step == -1) {
            before = ToolFile.fileTime;
        }
        if (m.message == WM_ACTIVATE || step == -1) {
            if (++step >= static_cast<int>(std::size(steps))) {
                PostWindowMessage(main, WM_CLOSE, 0, 0);
                return;
            }
            if (steps[step].edit) {
                const std::string path = scratch.At("vmc3.ttl");
                scratch.Write("vmc3.ttl", testing::ReadWholeFile(path) + "\n");
                fs::last_write_time(path,
                                    fs::last_write_time(path) + std::chrono::seconds(10 + step));
            }
            WindowRun.mode.store(steps[step].runActive ? RunMode::kRealCutting : RunMode::kIdle);
            PostWindowMessage(main, WM_ACTIVATE, WA_ACTIVE, 0);
        }
    });
    EXPECT_EQ(Run("", 0), 0);
    SetMessageObserver({});
    WindowRun.mode.store(RunMode::kIdle);
    EXPECT_EQ(reReadAt, (std::vector<int>{0, 3}));
    const std::string log = testing::ReadWholeFile(scratch.At("mirexa.log"));
    std::size_t messages = 0;
    for (std::size_t at = 0; (at = log.find("the TTL-file has been update", at)) != log.npos;
         ++at) {
        ++messages;
    }
    EXPECT_EQ(messages, 2u) << log;
}

// A tools file replaced by something that cannot be read (a FIFO, a folder, nothing, a file
// without a tool) is not taken: the tools in use stay, a box names the file and the reason once,
// and the file is read again when it comes back.
TEST_F(ProgramStartupTest, AnUnreadableToolsFileKeepsTheToolsInUseAndIsReadWhenItComesBack) {
    const std::string path = scratch.At("vmc3.ttl");
    const std::string tools = testing::ReadWholeFile(path);
    int stamp = 0;
    auto replace = [&](const std::function<void()>& make) {
        fs::remove_all(path);
        make();
        if (fs::exists(path)) {
            fs::last_write_time(
                path, fs::file_time_type::clock::now() + std::chrono::seconds(10 + ++stamp));
        }
    };
    const struct {
        std::function<void()> make;  // null: the file stays as it is
        std::vector<std::string> boxes;
    } steps[] = {
        {[&] { mkfifo(path.c_str(), 0600); },
         {"vmc3.ttl - The file cannot be read: not a regular"}},
        {nullptr, {}},
        {[&] { fs::create_directory(path); }, {"vmc3.ttl - The file cannot be read: a folder."}},
        {[] {}, {"vmc3.ttl - The TTL-file is not found."}},
        {[&] { scratch.Write("vmc3.ttl", "# no tool\n"); },
         {"the TTL-file has been update", "vmc3.ttl - The tools file holds no tool."}},
        {[&] { scratch.Write("vmc3.ttl", tools); }, {"the TTL-file has been update"}},
    };
    // The log entries of each step (the boxes of a program without a user go to the log).
    std::vector<std::string> shown;
    std::vector<int> toolsHeld;
    std::size_t logSeen = 0;
    auto newLogEntries = [&] {
        const std::string log = testing::ReadWholeFile(scratch.At("mirexa.log"));
        const std::string entries = log.substr(std::min(logSeen, log.size()));
        logSeen = log.size();
        return entries;
    };
    // Each step: the file replaced, an activation, then a message of the test's own that comes
    // once the activation was handled.
    constexpr unsigned kStepDone = WM_USER + 777;
    int step = -1;
    SetMessageObserver([&](const WindowMessage& m) {
        const WindowHandle main = MainWindow.load();
        if (m.window != main || (m.message != kStepDone && (m.message != WM_PAINT || step >= 0))) {
            return;
        }
        if (step >= 0) {
            toolsHeld.push_back(ToolTablesHoldATool() ? 1 : 0);
            shown.push_back(newLogEntries());
        } else {
            newLogEntries();
        }
        if (++step >= static_cast<int>(std::size(steps))) {
            PostWindowMessage(main, WM_CLOSE, 0, 0);
            return;
        }
        if (steps[step].make) {
            replace(steps[step].make);
        }
        WindowRun.mode.store(RunMode::kIdle);
        PostWindowMessage(main, WM_ACTIVATE, WA_ACTIVE, 0);
        PostWindowMessage(main, kStepDone, 0, 0);
    });
    UiLanguage.store(1);
    EXPECT_EQ(Run("", 0), 0);
    SetMessageObserver({});
    ASSERT_EQ(shown.size(), std::size(steps));
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        std::size_t at = 0;
        for (const std::string& box : steps[i].boxes) {
            at = shown[i].find(box, at);
            EXPECT_NE(at, std::string::npos) << box << "\n" << shown[i];
        }
        if (steps[i].boxes.empty()) {
            EXPECT_EQ(shown[i], "");
        }
    }
    EXPECT_EQ(toolsHeld, std::vector<int>(std::size(steps), 1));
    EXPECT_EQ(ToolFile.status, 1);
}

// What the panel showed once a hand-worked batch program was done, and a jog step into the stock.
struct PanelAfterRun {
    int seen = 0;
    double program[3] = {};
    double machine[3] = {};
    std::string zProgramPane;
    double volumeBefore = 0;
    double volumeAfterJog = 0;
    double volumeAfterUndo = 0;
    double jogRemoved = 0;
    double rangeShift[6] = {};  // machine minus work value of each stock range pane
    double raysUnderTool = 0;   // Z rays whose node lies inside the cutter's circle
    double cellWeight = 0;
} panelRun;

// The material of the Z rays of the current stock (mm^3).
double StockZVolume() {
    const StockModel& stock = StockModels[CurrentStockIndex.load()];
    double volume = 0.0;
    std::vector<double> ends;
    for (std::int64_t cell = 0; cell < stock.z.cellCount; ++cell) {
        ends.resize(static_cast<std::size_t>(std::max(0, stock.z.counts[cell])));
        int count = 0;
        GetDexelCellValues(cell, stock.z.capacity, stock.z.counts, stock.z.ends, ends.data(),
                           &count);
        for (int k = 0; k + 1 < count; k += 2) {
            volume += ends[k + 1] - ends[k];
        }
    }
    return volume * stock.cellWeight;
}

// Sends a left click to the centre of a pane of the panel's column.
void ClickColumnPane(int paneId) {
    for (const PanelPane& pane : BuildInfoPanelPanes(CollectInfoPanelInputs())) {
        if (pane.id == paneId && pane.window == kPanelColumn) {
            const int x = (pane.rect.left + pane.rect.right) / 2;
            const int y = (pane.rect.top + pane.rect.bottom) / 2;
            WindowHandle column = GetInfoPanelWindow(kPanelColumn);
            SendWindowMessage(column, WM_LBUTTONDOWN, 0, x | y << 16);
            SendWindowMessage(column, WM_LBUTTONUP, 0, x | y << 16);
            return;
        }
    }
}

void WatchPanelAtTheEnd(const WindowMessage& m) {
    if (m.window != MainWindow.load() || m.message != WM_AUTOMATION_DONE || panelRun.seen++) {
        return;
    }
    InfoPanelView.coordinateKind = 0;
    InfoPanelInputs shown = CollectInfoPanelInputs();
    std::copy(shown.values, shown.values + 3, panelRun.program);
    for (const PanelPane& pane : BuildInfoPanelPanes(shown)) {
        if (pane.id == kPaneAxisValue + 2) {
            panelRun.zProgramPane = pane.text;
        }
    }
    InfoPanelView.coordinateKind = 1;
    InfoPanelView.minMaxWork = 0;
    const InfoPanelInputs machine = CollectInfoPanelInputs();
    std::copy(machine.values, machine.values + 3, panelRun.machine);
    for (int axis = 0; axis < 3; ++axis) {
        panelRun.rangeShift[axis] = machine.stockMax[axis] - shown.stockMax[axis];
        panelRun.rangeShift[3 + axis] = machine.stockMin[axis] - shown.stockMin[axis];
    }
    InfoPanelView.coordinateKind = 0;
    InfoPanelView.minMaxWork = 1;
    // The tool tip over the middle of the stock (off the nodes by a third of the pitch) and on
    // its top face: one "-" step of Z cuts one least increment (0.001 mm) deep.
    const StockModel& stock = StockModels[CurrentStockIndex.load()];
    const double target[3] = {(stock.minCorner[0] + stock.maxCorner[0]) / 2 + stock.pitch / 3,
                              (stock.minCorner[1] + stock.maxCorner[1]) / 2 + stock.pitch / 3,
                              stock.maxCorner[2]};
    for (int axis = 0; axis < 3; ++axis) {
        UpdateMachinePosition(RunKinematics);
        RunKinematics.pose.program.axis[axis] +=
            std::round((target[axis] - RunKinematics.pose.tool.point[axis]) * 1000.0) / 1000.0;
    }
    UpdateMachinePosition(RunKinematics);
    const double* tip = RunKinematics.pose.tool.point;
    for (int iy = 0; iy < stock.ny; ++iy) {
        for (int ix = 0; ix < stock.nx; ++ix) {
            const double dx = stock.nodesX[ix] - tip[0];
            const double dy = stock.nodesY[iy] - tip[1];
            panelRun.raysUnderTool += dx * dx + dy * dy < 25.0 ? 1 : 0;  // FLAT D10
        }
    }
    panelRun.cellWeight = stock.cellWeight;
    panelRun.volumeBefore = StockZVolume();
    ClickColumnPane(kPaneJogMinus + 2);
    panelRun.volumeAfterJog = StockZVolume();
    panelRun.jogRemoved = WindowRun.cutting.views[kDexelViewZ].removedVolume;  // the jog's cut
    SendWindowMessage(MainWindowData.handles.view, WM_KEYDOWN, 'C', 'c');      // undo
    panelRun.volumeAfterUndo = StockZVolume();
}

TEST_F(ProgramStartupTest, ThePanelShowsProgramAndMachinePositionsAndAJogStepIsUndone) {
    scratch.Write("hand.nc",
                  "%\nO1\nG90 G17 G40 G49 G80\nT1 M06\nG54 G00 X10. Y20.\nZ400.\nM30\n%\n");
    panelRun = {};
    SetMessageObserver(WatchPanelAtTheEnd);
    EXPECT_EQ(Run("-D(100,80,0,0,0,-30.5) hand.nc -X6"), 0);
    SetMessageObserver({});
    ASSERT_EQ(panelRun.seen, 1);
    // Machine = program + external offset (0, 0, -0.5) + G54 (-250, -180, -320.5) + the tool's
    // length along Z: LENGTH 45 of tool 1 and 75 of its chuck's three segments.
    const double program[3] = {10, 20, 400};
    const double machine[3] = {10 - 250, 20 - 180, 400 - 0.5 - 320.5 + 45 + 75};
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(panelRun.program[axis], program[axis], 1e-9) << axis;
        EXPECT_NEAR(panelRun.machine[axis], machine[axis], 1e-9) << axis;
    }
    EXPECT_EQ(panelRun.zProgramPane, "\t\t  400.000");
    // The stock range in work coordinates: less the external offset and G54.
    const double origin[3] = {-250, -180, -0.5 - 320.5};
    for (int k = 0; k < 6; ++k) {
        EXPECT_NEAR(panelRun.rangeShift[k], origin[k % 3], 1e-9) << k;
    }
    // One increment deep under the cutter's circle, and back after the undo.
    ASSERT_GT(panelRun.raysUnderTool, 0);
    const double expected = panelRun.raysUnderTool * panelRun.cellWeight * 0.001;
    EXPECT_NEAR(panelRun.jogRemoved, expected, expected * 1e-6);
    EXPECT_NEAR(panelRun.volumeBefore - panelRun.volumeAfterJog, expected, expected * 1e-4);
    EXPECT_EQ(panelRun.volumeAfterUndo, panelRun.volumeBefore);
}

// The panel's column as the program drew it on its own start-up, seen as the window closes.
struct PanelPaint {
    int mainPaints = 0;
    int closing = 0;
    std::vector<std::string> texts;
} panelPaint;

TEST_F(ProgramStartupTest, ThePanelIsDrawnWhenTheProgramStarts) {
    panelPaint = {};
    ASSERT_EQ(CreateGlContext(1, 1), 1);
    SetMessageObserver([](const WindowMessage& m) {
        WindowHandle main = MainWindow.load();
        WindowHandle column = GetInfoPanelWindow(kPanelColumn);
        const int mainPaint = m.window == main && m.message == WM_PAINT;
        panelPaint.mainPaints += mainPaint;
        if (mainPaint && panelPaint.mainPaints == 1) {
            // The sample's settings start the window minimised: the user restores it.
            ShowPlatformWindow(main, SW_RESTORE);
            InvalidatePlatformWindow(main);
        } else if (!panelPaint.closing &&
                   ((m.window == column && m.message == WM_PAINT) || panelPaint.mainPaints > 10)) {
            panelPaint.closing = 1;  // the restored window's paint draws the panel
            PostWindowMessage(main, WM_CLOSE, 0, 0);
        } else if (m.window == main && m.message == WM_CLOSE && column != nullptr) {
            for (const PaintOperation& op : GetLastPaintRecord(column)) {
                panelPaint.texts.push_back(op.text);
            }
        }
    });
    EXPECT_EQ(Run("", 0), 0);
    SetMessageObserver({});
    DestroyGlContext();
    // The sample's message file makes the interface English; no stock yet.
    for (const char* text : {"\tControl Point", "\tD-Code", "\tMaxXw", "\tundefined", "\tSTOP"}) {
        EXPECT_NE(std::find(panelPaint.texts.begin(), panelPaint.texts.end(), text),
                  panelPaint.texts.end())
            << text;
    }
}

// Exit as a user at a desktop: the window closes with the settings written back, and the
// message boxes of that are read into exitBoxes.
std::vector<std::string> exitBoxes;
void CloseAsADesktopUser(const WindowMessage& m) {
    if (m.message == WM_CLOSE && m.window == MainWindow.load()) {
        AutomaticMode.store(0);
        SetMessageBoxResponder([](const MessageBoxRequest& request) {
            exitBoxes.push_back(request.text);
            return MBX_IDOK;
        });
    }
}

// Exit while another program holds the settings files' lock: after a few seconds the user hears
// that the settings file is in use and was not written, instead of a window that hangs. A
// write leaves no lock file beside the user's settings.
TEST_F(ProgramStartupTest, ExitGivesUpOnASettingsFileInUseAndSaysSo) {
    const std::string ini = scratch.At("mirexa.ini");
    const std::string before = testing::ReadWholeFile(ini);
    const int folder = open(scratch.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(flock(folder, LOCK_EX), 0);
    for (const bool held : {true, false}) {
        SCOPED_TRACE(held ? "held by another program" : "free");
        if (!held) {
            close(folder);  // releases the lock
        }
        exitBoxes.clear();
        const MessageBoxResponder previous = SetMessageBoxResponder({});
        SetMessageObserver(CloseAsADesktopUser);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Run(""), 0);
        const auto waited = std::chrono::steady_clock::now() - start;
        SetMessageObserver({});
        SetMessageBoxResponder(previous);
        EXPECT_LT(waited, std::chrono::seconds(30));
        std::string boxes;
        for (const std::string& text : exitBoxes) {
            boxes += text + "\n";
        }
        const bool inUse =
            boxes.find("in use") != std::string::npos || boxes.find("使用中") != std::string::npos;
        EXPECT_EQ(inUse, held) << boxes;
        if (held) {
            EXPECT_NE(boxes.find(ini), std::string::npos) << boxes;
            EXPECT_EQ(testing::ReadWholeFile(ini), before);
        }
        EXPECT_FALSE(fs::exists(ini + ".lock"));
    }
}

// Lines of the settings file that the start-up refuses (a colour, an alpha and a stock box that
// are no numbers the program takes) are named in the log, their defaults stand, and Exit at a
// desktop leaves them as the user wrote them while it writes the lines it took.
TEST_F(ProgramStartupTest, ExitLeavesTheRefusedSettingsLinesAsWritten) {
    const std::string ini = scratch.At("mirexa.ini");
    std::string text = testing::ReadWholeFile(ini);
    const char* const refused[] = {"WORK COLOR=(nan,160,200)", "TOOL ALPHA=inf",
                                   "INITIAL SIZE=(0,0,-30.5,100,80)"};
    for (const char* line : refused) {
        const std::string key = std::string(line).substr(0, std::string(line).find('=') + 1);
        const std::size_t at = text.find("\n" + key);
        ASSERT_NE(at, std::string::npos) << key;
        text.replace(at + 1, text.find('\n', at + 1) - at - 1, line);
    }
    scratch.Write("mirexa.ini", text);
    const MessageBoxResponder previous = SetMessageBoxResponder({});
    SetMessageObserver(CloseAsADesktopUser);
    EXPECT_EQ(Run(""), 0);
    SetMessageObserver({});
    SetMessageBoxResponder(previous);
    const std::string written = testing::ReadWholeFile(ini);
    const std::string log = testing::ReadWholeFile(scratch.At("mirexa.log"));
    for (const char* line : refused) {
        EXPECT_NE(written.find(std::string("\n") + line), std::string::npos) << line;
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    }
    EXPECT_NE(written.find("\nBASE COLOR=(128,128,0)"), std::string::npos);
}

// The command panel's captions and the tool labels from the program's own start-up: the
// defaults without the message file (Japanese), the file's English over the defaults with
// it, mnemonics kept.
TEST_F(ProgramStartupTest, MessageTextsStartFromTheirDefaultsWithAndWithoutTheMessageFile) {
    const struct {
        bool file;
        const char* firstButton;
    } cases[] = {{false, "初期(&R)"}, {true, "(&R)"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        if (!c.file) {
            fs::remove(scratch.At("mirexa7.mes"));
        } else {
            fs::copy_file(MIREXA_SAMPLES "/mirexa7.mes", scratch.At("mirexa7.mes"));
            testing::ClearEarlierProgramRun();
            ConnectProgram();
        }
        EXPECT_EQ(Run(""), 0);
        EXPECT_NE(CommandPanelCaptions[1].find(c.firstButton), std::string::npos)
            << CommandPanelCaptions[1];
        for (int i = 1; i < COMMAND_PANEL_CAPTION_COUNT; ++i) {
            EXPECT_NE(CommandPanelCaptions[static_cast<std::size_t>(i)].find("(&"),
                      std::string::npos)
                << i;
        }
        for (const int label : {0, 8, 9, 13, 14, 15, 16, 19}) {
            EXPECT_FALSE(ToolDimensionLabels[static_cast<std::size_t>(label)].empty()) << label;
        }
    }
}

}  // namespace
}  // namespace mirexa
