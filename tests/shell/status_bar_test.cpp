// The main window's title and status-bar parts, built from the shell's input record.
#include "shell/status_bar.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/machine_file.h"
#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "platform/controls.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "shell/nc_data_commands.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "support/bounded_wait.h"
#include "support/fake_ui.h"
#include "support/test_windows.h"
#include "view/camera.h"

namespace mirexa {
namespace {

class StatusBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        StatusInputs = StatusBarInputs{};
    }
    void TearDown() override {
        StatusInputs = StatusBarInputs{};
    }
    std::string Part(int part) {
        return GetStatusBarPart(ui.statusBar, part).text;
    }
    std::string Title() {
        UpdateMainTitle(ui.mainWindow);
        return GetPlatformWindowText(ui.mainWindow);
    }
    FakeUi ui;
};

TEST_F(StatusBarTest, CreateMakesTenPartsAndTwoHiddenBars) {
    WindowCreateParams params;
    params.rect = WindowRect{0, 0, 1024, 768};
    WindowHandle main = CreatePlatformWindow(params);
    ASSERT_EQ(CreateMainStatusBar(main), 1);
    EXPECT_EQ(GetStatusBarPartCount(MainStatusBar.load()), STATUS_PART_COUNT);
    for (WindowHandle bar : {MainProgressBar.load(), SecondProgressBar.load()}) {
        EXPECT_EQ(GetWindowClassName(bar), PROGRESSBAR_CLASS);
        EXPECT_EQ(GetParentWindow(bar), MainStatusBar.load());
        EXPECT_FALSE(IsPlatformWindowVisible(bar));
    }
    DestroyPlatformWindow(main);
}

TEST_F(StatusBarTest, TitleWithNothingSelected) {
    StatusInputs.machineName = "MC-5AX";
    StatusInputs.toolsFilePath = "/data/tools.TTL";
    StatusInputs.controllerFilePath = "C:\\defs\\fanuc.CTL";
    StatusInputs.machineFilePath = "defs/mc5.MTL";
    EXPECT_EQ(Title(), "MC-5AX - NCデータ未選択(tools.TTL,fanuc.CTL,mc5.MTL)");
    UiLanguage.store(1);
    EXPECT_EQ(Title(), "MC-5AX - Not Selected(tools.TTL,fanuc.CTL,mc5.MTL)");
    StatusInputs.machineName.clear();  // no machine named: the edition name
    StatusInputs.toolsFilePath.clear();
    EXPECT_EQ(Title(), "MIREXA7 - Not Selected(,fanuc.CTL,mc5.MTL)");
}

TEST_F(StatusBarTest, TitleByRunMode) {
    StatusInputs.machineName = "M";
    StatusInputs.ncProgramPath = "/nc/part1.nc";
    StatusInputs.secondNcPath = "/nc/part1b.NC";
    StatusInputs.toolsFilePath = "t.TTL";
    StatusInputs.controllerFilePath = "c.CTL";
    StatusInputs.machineFilePath = "m.MTL";
    StatusInputs.skipView = 25;
    StatusInputs.skipBlock = 3;
    const std::string head = "M - part1.nc/part1b.NC(t.TTL,c.CTL,m.MTL)";
    struct Case {
        int language;
        RunMode runMode;
        const char* tail;
    };
    const Case cases[] = {
        {1, RunMode::kIdle, ""},
        {1, RunMode::kRealCutting, " - Cutting : Real:25"},
        {0, RunMode::kRealCutting, " - 加工 : 実切削:25"},
        {1, RunMode::kSkipCutting, " - Cutting : Skip:3"},
        {0, RunMode::kSkipCutting, " - 加工 : スキップ:3"},
        {1, RunMode::kResult, " - Cutting : Result"},
        {0, RunMode::kResult, " - 加工 : 結果表示"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        UiLanguage.store(c.language);
        StatusInputs.runMode = c.runMode;
        EXPECT_EQ(Title(), head + c.tail);
    }
}

TEST_F(StatusBarTest, TitleShowsTheProgressCaptionAndKeepsStillWhileSuppressedInARun) {
    ConnectProgressToMainTitle();
    StatusInputs.machineName = "M";
    UiLanguage.store(1);
    BeginProgress(ui.mainWindow, PROGRESS_MODE_TOTAL, 10, nullptr, 1, "オフセット中", "Offset");
    EXPECT_EQ(GetPlatformWindowText(ui.mainWindow), "M - Not Selected(,,) - Offset");
    EndProgress();
    EXPECT_EQ(GetPlatformWindowText(ui.mainWindow), "M - Not Selected(,,)");

    SetPlatformWindowText(ui.mainWindow, "kept");
    DrawingSuppressed.store(1);
    StatusInputs.runMode = RunMode::kRealCutting;
    UpdateMainTitle(ui.mainWindow);
    StatusInputs.runMode = RunMode::kIdle;
    StatusInputs.stockOperationRunning = 1;
    UpdateMainTitle(ui.mainWindow);
    EXPECT_EQ(GetPlatformWindowText(ui.mainWindow), "kept");
    StatusInputs.stockOperationRunning = 0;  // suppressed but idle: rebuilt
    UpdateMainTitle(ui.mainWindow);
    EXPECT_EQ(GetPlatformWindowText(ui.mainWindow), "M - Not Selected(,,)");
}

TEST_F(StatusBarTest, WorkpiecePart) {
    struct Case {
        int language;
        int dialect;
        int index;
        const char* text;
    };
    const Case cases[] = {
        {1, 0, 0, "No Workpiece"},      {0, 0, 0, "座標系なし"},  {1, 0, 1, "Workpiece(G54)"},
        {1, 0, 6, "Workpiece(G59)"},    {0, 0, 6, "座標系(G59)"}, {1, 0, 7, "Workpiece(P1)"},
        {1, 0, 200, "Workpiece(P194)"}, {0, 0, 7, "座標系(P1)"},  {1, 1, 3, "Workpiece3"},
        {0, 11, 12, "座標系12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        UiLanguage.store(c.language);
        StatusInputs.dialect = c.dialect;
        StatusInputs.workOffsetIndex = c.index;
        DrawStatusBar();
        EXPECT_EQ(Part(STATUS_PART_WORKPIECE), c.text);
    }
}

TEST_F(StatusBarTest, MachiningModePartTakesTheFirstModeThatApplies) {
    struct Case {
        int language;
        int siemens;
        int tcp;
        int angleForm;
        int tilted;
        int rotation;
        int polar;
        int cylindrical;
        int plane;
        int named;
        const char* text;
    };
    const Case cases[] = {
        {1, 0, 0, -1, 0, 0, 0, 0, 17, 0, "Normal"},
        {0, 0, 0, -1, 0, 0, 0, 0, 17, 0, "通常加工モード"},
        {1, 0, 1, -1, 1, 1, 1, 1, 17, 0, "TCL TYPE1"},
        {1, 1, 1, -1, 0, 0, 0, 0, 17, 0, "TCL(AXIS-ROT)"},
        {0, 0, 2, -1, 0, 0, 0, 0, 17, 0, "先端点制御タイプ2"},
        {1, 1, 2, -1, 0, 0, 0, 0, 17, 0, "TCL(VECTOR)"},
        {1, 1, 2, 0, 0, 0, 0, 0, 17, 0, "TCL(EULER)"},
        {0, 1, 2, 1, 0, 0, 0, 0, 17, 0, "先端点制御(RPY)"},
        {1, 1, 2, 2, 0, 0, 0, 0, 17, 0, "TCL(RPY2)"},
        {1, 1, 2, 7, 0, 0, 0, 0, 17, 0, "TCL TYPE2"},
        {1, 0, 0, -1, 1, 1, 1, 1, 17, 0, "Work Plane"},
        {1, 0, 0, -1, 0, 1, 1, 1, 17, 0, "Coordinate Rotation"},
        {0, 0, 0, -1, 0, 1, 0, 0, 17, 1, "傾斜加工(G127)"},
        {0, 0, 0, -1, 0, 1, 0, 0, 17, 0, "3次元座標変換"},
        {1, 0, 0, -1, 0, 0, 1, 1, 17, 0, "Polar Coordinate"},
        {0, 0, 0, -1, 0, 0, 1, 0, 17, 1, "座標変換(G137)"},
        {0, 0, 0, -1, 0, 0, 1, 0, 17, 0, "極座標補間"},
        {1, 0, 0, -1, 0, 0, 0, 1, -18, 0, "Cylindrical(C-Z)"},
        {1, 0, 0, -1, 0, 0, 0, 1, 19, 0, "Cylindrical(Z-C)"},
        {0, 0, 0, -1, 0, 0, 0, 1, 18, 1, "側面創成加工(外面選択)"},
        {0, 0, 0, -1, 0, 0, 0, 1, 17, 0, "円筒補間(ZC)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        UiLanguage.store(c.language);
        StatusInputs.siemensDialect = c.siemens;
        StatusInputs.toolCenterPointMode = c.tcp;
        StatusInputs.toolCenterPointAngleForm = c.angleForm;
        StatusInputs.tiltedWorkPlane = c.tilted;
        StatusInputs.coordinateRotation = c.rotation;
        StatusInputs.polarInterpolation = c.polar;
        StatusInputs.cylindricalInterpolation = c.cylindrical;
        StatusInputs.planeCode = c.plane;
        StatusInputs.alternativeModeNames = c.named;
        DrawStatusBar();
        EXPECT_EQ(Part(STATUS_PART_MODE), c.text);
    }
}

TEST_F(StatusBarTest, BasicModelAndDisplayParts) {
    UiLanguage.store(1);
    DrawStatusBar();
    EXPECT_EQ(Part(STATUS_PART_BASIC), "Basic:NONE");
    EXPECT_EQ(Part(STATUS_PART_DISPLAY), "Disp|○|");
    struct Case {
        int side;
        const char* text;
    };
    StatusInputs.basicModelTitle = "ref.DME";
    for (Case c :
         {Case{-1, "Basic:ref.DME"}, Case{0, "Basic:ref.DME"}, Case{1, "Basic:ref.DME + -"},
          Case{2, "Basic:ref.DME +"}, Case{3, "Basic:ref.DME -"}}) {
        StatusInputs.differencePaintSide = c.side;
        DrawStatusBar();
        EXPECT_EQ(Part(STATUS_PART_BASIC), c.text);
    }
    UiLanguage.store(0);
    StatusInputs.basicModelTitle.clear();
    StatusInputs.differencePaintSide = 0;
    StatusInputs.machineHasLinearTableAxes = 1;
    StatusInputs.perspective = 1;
    StatusInputs.rotaryType = 2;
    DrawStatusBar();
    EXPECT_EQ(Part(STATUS_PART_BASIC), "基準:NONE");
    EXPECT_EQ(Part(STATUS_PART_DISPLAY), "描画 ● ");
    StatusInputs.viewFollowsTableAxes = 1;
    StatusInputs.viewFollowsRotaryAxes = 1;
    DrawStatusBar();
    EXPECT_EQ(Part(STATUS_PART_DISPLAY), "描画[●]");
}

TEST_F(StatusBarTest, StopPartsShowOnlyWhileAStopIsPending) {
    UiLanguage.store(1);
    StatusInputs.workOffsetIndex = 1;
    StatusInputs.stopPending = 1;
    StatusInputs.pauseBlinkOn = 1;
    DrawStatusBar();
    EXPECT_EQ(Part(STATUS_PART_STOP_KIND), "STOP");
    EXPECT_EQ(Part(STATUS_PART_STOP_KEYS), "G or ESC");
    StatusInputs.pauseBlinkOn = 0;
    StatusInputs.interferenceEventRecorded = 1;
    StatusInputs.interferenceKindText = "Holder";
    DrawStatusBar();
    EXPECT_EQ(Part(STATUS_PART_STOP_KIND), "Holder");
    EXPECT_EQ(Part(STATUS_PART_STOP_KEYS), "");
    StatusInputs.offsetAlarm = 1;
    UiLanguage.store(0);
    DrawStatusBar();
    EXPECT_EQ(Part(STATUS_PART_STOP_KIND), "OFFSET ALARM");

    SetStatusBarText(ui.statusBar, 2, 0, "x");
    StatusInputs.stopPending = 0;
    DrawStatusBar();
    for (int part : {2, 3, 4}) {
        EXPECT_EQ(Part(part), "");
    }
    EXPECT_EQ(Part(STATUS_PART_WORKPIECE), "座標系(G54)");  // emptied, then written again
}

TEST_F(StatusBarTest, MacroBreakAndCompletionShowOnce) {
    UiLanguage.store(1);
    StatusInputs.macro.running = 1;
    StatusInputs.macro.currentLine = "LOAD_WORK a.DME";
    DrawStatusBar();
    EXPECT_EQ(Part(STATUS_PART_MACRO), "Runnning MAC:LOAD_WORK a.DME");

    StatusInputs.macro.running = 0;
    StatusInputs.macro.breakCount = 2;
    DrawStatusBar();
    EXPECT_EQ(Part(STATUS_PART_MACRO), "Break Macro:LOAD_WORK a.DME");
    EXPECT_EQ(StatusInputs.macro.breakCount, 0);
    SetStatusBarText(ui.statusBar, STATUS_PART_MACRO, 0, "unchanged");
    DrawStatusBar();
    EXPECT_EQ(Part(STATUS_PART_MACRO), "unchanged");

    // While drawing is suppressed the completion waits, then shows once.
    StatusInputs.macro.completed = 1;
    DrawingSuppressed.store(1);
    DrawStatusBar();
    EXPECT_EQ(Part(STATUS_PART_MACRO), "unchanged");
    EXPECT_EQ(StatusInputs.macro.completed, 1);
    DrawingSuppressed.store(0);
    UiLanguage.store(0);
    DrawStatusBar();
    EXPECT_EQ(Part(STATUS_PART_MACRO), "マクロ正常終了");
    EXPECT_EQ(StatusInputs.macro.completed, 0);
}

TEST_F(StatusBarTest, OtherThreadsDrawNothingAndTheirRequestsRunOnTheInterfaceThread) {
    UiLanguage.store(1);
    StatusInputs.machineName = "M";
    SetStatusBarText(ui.statusBar, STATUS_PART_WORKPIECE, 0, "before");
    SetPlatformWindowText(ui.mainWindow, "before");
    std::thread([&] {
        EXPECT_EQ(DrawStatusBar(), 0);
        UpdateMainTitle(ui.mainWindow);
        EXPECT_EQ(RequestStatusBarRefresh([](StatusBarInputs& in) { in.workOffsetIndex = 7; }), 1);
    }).join();
    EXPECT_EQ(Part(STATUS_PART_WORKPIECE), "before");
    EXPECT_EQ(GetPlatformWindowText(ui.mainWindow), "before");
    EXPECT_EQ(StatusInputs.workOffsetIndex, 0);
    ui.ClearRecord();
    testing::DispatchPendingMessages();
    EXPECT_EQ(StatusInputs.workOffsetIndex, 7);
    EXPECT_EQ(Part(STATUS_PART_WORKPIECE), "Workpiece(P1)");
    EXPECT_EQ(GetPlatformWindowText(ui.mainWindow), "M - Not Selected(,,)");
    EXPECT_EQ(ui.StatusTexts(STATUS_PART_BASIC).size(), 1u) << "three requests, one redraw";
    EXPECT_EQ(ui.Titles().size(), 1u);

    // A change that waits runs before any drawing here; here a request runs at once.
    std::thread([] {
        RequestStatusBarRefresh([](StatusBarInputs& in) { in.workOffsetIndex = 2; });
    }).join();
    EXPECT_EQ(DrawStatusBar(), 1);
    EXPECT_EQ(Part(STATUS_PART_WORKPIECE), "Workpiece(G55)");
    EXPECT_EQ(RequestStatusBarRefresh([](StatusBarInputs& in) { in.workOffsetIndex = 3; }), 1);
    EXPECT_EQ(Part(STATUS_PART_WORKPIECE), "Workpiece(G56)");
    testing::DispatchPendingMessages();
    EXPECT_EQ(StatusInputs.workOffsetIndex, 3);
}

TEST_F(StatusBarTest, RefreshesFromAWorkerWhileTheInterfaceThreadRunsKeepTheirOrder) {
    constexpr int REQUESTS = 500;
    std::vector<int> applied;  // written by the changes, on this thread only
    std::atomic<int> done{0};
    std::thread worker([&] {
        for (int i = 1; i <= REQUESTS; ++i) {
            RequestStatusBarRefresh([i, &applied](StatusBarInputs& in) {
                in.workOffsetIndex = i % 200 + 1;
                in.macro.currentLine = std::to_string(i);
                applied.push_back(i);
            });
            if (i % 50 == 0) {
                DrawStatusBar();
                UpdateMainTitle(ui.mainWindow);
            }
        }
        done = 1;
        PostWindowMessage(ui.mainWindow, WM_NULL, 0, 0);  // wakes the loop below
    });
    StatusInputs.macro.running = 1;
    const bool served = testing::AwaitCondition(
        [&done] {
            WindowMessage message;
            while (PeekWindowMessage(&message, PM_REMOVE)) {
                DispatchWindowMessage(message);
                StatusInputs.basicModelTitle += "x";  // this thread's own writes go on meanwhile
            }
            return done.load() != 0;
        },
        std::chrono::microseconds(0));
    EXPECT_TRUE(served) << "waited in vain for the worker's last request";
    worker.join();
    testing::DispatchPendingMessages();
    ASSERT_EQ(applied.size(), static_cast<std::size_t>(REQUESTS));
    for (int i = 0; i < REQUESTS; ++i) {
        ASSERT_EQ(applied[static_cast<std::size_t>(i)], i + 1);
    }
    EXPECT_EQ(Part(STATUS_PART_MACRO), "マクロ実行中:" + std::to_string(REQUESTS));
    EXPECT_EQ(Part(STATUS_PART_WORKPIECE), "座標系(P95)");  // 500 % 200 + 1 = 101
}

TEST_F(StatusBarTest, TheProgramsRecordsFeedTheTitleAndTheParts) {
    Machine.name = "VMC3";
    Machine.rotaryType = 2;
    DefinitionFiles.toolsFile = "/defs/vmc3.ttl";
    DefinitionFiles.controllerFile = "/defs/vmc3.ctl";
    DefinitionFiles.machineFile = "/defs/vmc3.mtl";
    DefinitionFiles.ncProgramFile = "/nc/demo_part.nc";
    NcDataCommands.selectedState = 1;
    CurrentView.perspective = 1;
    SceneFollow.followRotaryAxes = 1;
    RunSession.run.modal.workOffsetIndex = 7;
    RunSession.run.modal.polarInterpolation = 1;
    const struct {
        int language;
        int running;  // the run owns the interpreter: its modes are not read here
        const char* title;
        const char* workpiece;
        const char* mode;
        const char* display;
    } cases[] = {
        {1, 0, "VMC3 - demo_part.nc(vmc3.ttl,vmc3.ctl,vmc3.mtl)", "Workpiece(P1)",
         "Polar Coordinate", "Disp|●]"},
        {0, 0, "VMC3 - demo_part.nc(vmc3.ttl,vmc3.ctl,vmc3.mtl)", "座標系(P1)", "極座標補間",
         "描画|●]"},
        {1, 1, "VMC3 - demo_part.nc(vmc3.ttl,vmc3.ctl,vmc3.mtl) - Cutting : Real:5", "No Workpiece",
         "Normal", "Disp|●]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        UiLanguage.store(c.language);
        WindowRun.mode.store(c.running ? RunMode::kRealCutting : RunMode::kIdle);
        StatusInputs = StatusBarInputs{};
        RefreshStatusInputs();
        DrawStatusBar();
        EXPECT_EQ(Title(), c.title);
        EXPECT_EQ(Part(STATUS_PART_WORKPIECE), c.workpiece);
        EXPECT_EQ(Part(STATUS_PART_MODE), c.mode);
        EXPECT_EQ(Part(STATUS_PART_DISPLAY), c.display);
    }
    WindowRun.mode.store(RunMode::kIdle);
    RunSession.run.modal = NcModalState{};
    NcDataCommands = NcDataCommandState{};
    SceneFollow = SceneFollowSettings{};
    CurrentView.perspective = 0;
    Machine = MachineDefinition{};
    DefinitionFiles = DefinitionFilePaths{};
}

}  // namespace
}  // namespace mirexa
