// Start-up and shutdown: the order of the services still to come against recording fakes, the
// automation thread held until the first paint and joined at the end, the main window's
// placement, the frame margins, the ideal-processor guard, accelerators and the exit code.
#include "shell/startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/keys.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "shell/main_window.h"
#include "shell/run_commands.h"
#include "shell/worker_threads.h"
#include "shell_test_support.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

// Start-up runs in a directory of its own: the program reads and writes its settings there.
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetShellState();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(scratch.Path());
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        ResetShellState();
        UseManualClock(0);
    }
    testing::ScratchDirectory scratch;

private:
    std::filesystem::path previous_;
};

#define RECORDING(name) [] { RecordEvent(name); }

// The services of the features not built yet, recording their calls.
void FillRecordingServices() {
    StartupServices& s = StartupCallbacks;
    s.loadPlugins = RECORDING("plugins");
    s.createPanelBrush = RECORDING("brush");
    s.loadSoundEffects = RECORDING("sounds");
    s.freeSoundEffects = RECORDING("~sounds");
    s.unloadPlugins = RECORDING("~plugins");
    MainWindowHooks& h = MainWindowCallbacks;
    h.initPluginsAndMenus = [](WindowHandle, int, int) { RecordEvent("plugin menus"); };
    h.callPluginFreeFunctions = RECORDING("plugin free");
}

TEST_F(StartupTest, StartsAndShutsDownInOrder) {
    FillRecordingServices();
    ProgramStart start;
    start.closeWhenIdle = 1;
    EXPECT_EQ(RunProgram(start), 0);
    std::vector<std::string> expected = {"plugins", "brush", "sounds",
                                         // The window: its plug-in menu items.
                                         "plugin menus",
                                         // Closing: plug-ins released, then the shutdown order.
                                         "plugin free", "~sounds", "~plugins"};
    EXPECT_EQ(RecordedEvents(), expected);
    EXPECT_TRUE(TracePoints.empty());
    EXPECT_EQ(MainWindow.load(), nullptr);
}

// The automation thread: created held before the window, released once at the first paint,
// ends the program with WM_AUTOMATION_DONE and is joined before the shutdown frees anything.
std::atomic<int> automationRuns{0};
std::atomic<int> traceMarkSeen{0};

TEST_F(StartupTest, AutomationThreadRunsOnceAfterTheFirstPaintAndIsJoined) {
    FillRecordingServices();
    automationRuns.store(0);
    StartupCallbacks.automationThreadProc = [] {
        automationRuns.fetch_add(1);
        RecordEvent("automation");
        // The trace buffers stand while the automation works.
        traceMarkSeen.store(TracePointMarks.size() == TRACE_POINT_COUNT ? 1 : 0);
        // Paint many times: the thread still runs once.
        for (int i = 0; i < 5; ++i) {
            SendWindowMessage(MainWindow.load(), WM_PAINT, 0, 0);
        }
        PostWindowMessage(MainWindow.load(), WM_AUTOMATION_DONE, 0, 0);
    };
    ProgramStart start;
    start.commandLine = "-D(10,10,0,0,0,-5)";  // a stock given: automatic work
    EXPECT_EQ(RunProgram(start), 0);
    EXPECT_EQ(automationRuns.load(), 1);
    EXPECT_EQ(traceMarkSeen.load(), 1);
    EXPECT_FALSE(HasWorkerThread(AutomationThread));
    std::vector<std::string> events = RecordedEvents();
    auto at = [&events](const std::string& name) {
        return std::find(events.begin(), events.end(), name) - events.begin();
    };
    EXPECT_LT(at("plugin menus"), at("automation"));
    EXPECT_LT(at("automation"), at("~sounds"));
}

TEST_F(StartupTest, AutomaticRunWithoutAnAutomationBodyEndsAtOnce) {
    ProgramStart start;
    start.commandLine = "-D(10,10,0,0,0,-5)";
    EXPECT_EQ(RunProgram(start), 0);
    EXPECT_FALSE(HasWorkerThread(AutomationThread));
}

// A start begins with no stock and no basic model, whatever the slots held: a freed grid that
// still had its node counts would pass for a stock and be cut through its released tables.
TEST_F(StartupTest, AStartBeginsWithNoStockAndNoBasicModel) {
    const double box[6] = {0, 0, -10, 20, 10, 0};
    StockModel& stock = StockModels[CurrentStockIndex.load()];
    ASSERT_EQ(CreateBoxStockIdentity(&stock, box, 1.0), 1);
    ASSERT_EQ(CreateBoxStockIdentity(&BasicModel, box, 1.0), 1);
    ProgramStart start;
    start.closeWhenIdle = 1;
    EXPECT_EQ(RunProgram(start), 0);
    for (const StockModel* model : {&stock, &BasicModel}) {
        EXPECT_EQ(model->nx, 0);
        EXPECT_EQ(model->ny, 0);
        EXPECT_EQ(model->nz, 0);
        EXPECT_EQ(model->nodesX, nullptr);
    }
}

TEST_F(StartupTest, ExitCodeIsMinusOneAfterAnAbortedBatchRun) {
    EXPECT_EQ(ProgramExitCode(0, 0), 0);
    EXPECT_EQ(ProgramExitCode(3, 0), 3);
    EXPECT_EQ(ProgramExitCode(0, 1), -1);
}

// An accelerator's command reaches the main window whichever window has the key, with Alt as the
// key's message has it, not as the key stands when the loop takes the key.
TEST_F(StartupTest, AcceleratorGoesToTheMainWindowWhateverHasTheKey) {
    static std::vector<unsigned> commands;
    SetMessageObserver([](const WindowMessage& m) {
        if (m.message == WM_COMMAND && m.window == MainWindow.load()) {
            commands.push_back(static_cast<unsigned>(m.wparam));
        }
    });
    ShellWindowTest window;
    window.OpenMainWindow();
    WindowHandle view = MainWindowData.handles.view;
    ASSERT_NE(view, nullptr);
    DeliverPending();
    const struct {
        const char* description;
        int altNow;
        MessageLParam keyData;
        std::vector<unsigned> commands;
    } cases[] = {
        {"Alt+/", 1, kKeyAltHeld, {IDM_VERSION_INFO}},
        {"Alt+/, Alt let go before the loop takes the key", 0, kKeyAltHeld, {IDM_VERSION_INFO}},
        {"/, Alt held by the time the loop takes the key", 1, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        commands.clear();
        SetKeyDownState(VK_MENU, c.altNow);
        // The key went to the view (it has the focus); the command still reaches the main window.
        PostWindowMessage(view, WM_KEYDOWN, VK_OEM_2, c.keyData);
        PostLoopQuit(7);
        EXPECT_EQ(RunMainMessageLoop(), 7);
        SetKeyDownState(VK_MENU, 0);
        EXPECT_EQ(commands, c.commands);
    }
    SetMessageObserver({});
    window.CloseMainWindow();
}

TEST(MainWindowPlacement, EveryRectangleFitsTheScreen) {
    // A screen 1000 pixels high under a 40-pixel panel at the top.
    const WindowRect screen = {0, 40, 1920, 1000};
    struct Case {
        WindowRect asked, fitted;
    } cases[] = {
        {{0, 0, 1400, 1320}, {0, 40, 1400, 1000}},           // too high: shrunk, below the panel
        {{100, 100, 900, 700}, {100, 100, 900, 700}},        // fits: unchanged
        {{1500, 600, 2300, 1200}, {1120, 400, 1920, 1000}},  // partly off: moved on, same size
        {{-50, -30, 3000, 2000}, {0, 40, 1920, 1000}},       // larger both ways: the whole screen
    };
    for (const Case& c : cases) {
        const WindowRect got = FitRectToScreen(c.asked, screen);
        EXPECT_EQ(std::vector<int>({got.left, got.top, got.right, got.bottom}),
                  std::vector<int>({c.fitted.left, c.fitted.top, c.fitted.right, c.fitted.bottom}))
            << c.asked.left << "," << c.asked.top << "," << c.asked.right << "," << c.asked.bottom;
    }
    // The command line's rectangle is fitted as a saved one is.
    CommandLineSwitches options;
    options.windowRectGiven = 1;
    options.windowWidth = 1400;
    options.windowHeight = 1320;
    ProgramSettings settings;
    EXPECT_EQ(ChooseMainWindowPlacement(options, settings, SW_SHOW, 0, screen).rect.bottom, 1000);
    options.windowRectGiven = 0;
    settings.saveDisplay = 1;
    settings.windowX = settings.windowY = 0;
    settings.windowWidth = 1400;
    settings.windowHeight = 1320;
    EXPECT_EQ(ChooseMainWindowPlacement(options, settings, SW_SHOW, 0, screen).rect.bottom, 1000);
}

TEST_F(StartupTest, PlacementRules) {
    CommandLineSwitches options;
    ProgramSettings settings;
    settings.windowShow = 3;
    // DISPLAY=0, no rectangle: the default place and size, the caller's show command.
    settings.saveDisplay = 0;
    auto place = ChooseMainWindowPlacement(options, settings, SW_SHOW, 0, HEADLESS_SCREEN_RECT);
    EXPECT_EQ(place.usedDefault, 1);
    EXPECT_EQ(place.show, SW_SHOW);
    // DISPLAY=1 with the four saved values.
    settings.saveDisplay = 1;
    settings.windowX = 10;
    settings.windowY = 20;
    settings.windowWidth = 800;
    settings.windowHeight = 600;
    place = ChooseMainWindowPlacement(options, settings, SW_SHOW, 0, HEADLESS_SCREEN_RECT);
    EXPECT_EQ(place.usedDefault, 0);
    EXPECT_EQ(place.rect.left, 10);
    EXPECT_EQ(place.rect.bottom, 620);
    EXPECT_EQ(place.show, 3);
    // A command-line rectangle wins over the saved one.
    options.windowRectGiven = 1;
    options.windowLeft = 5;
    options.windowTop = 6;
    options.windowWidth = 300;
    options.windowHeight = 200;
    place = ChooseMainWindowPlacement(options, settings, SW_SHOW, 0, HEADLESS_SCREEN_RECT);
    EXPECT_EQ(place.rect.left, 5);
    EXPECT_EQ(place.rect.right, 305);
    EXPECT_EQ(place.rect.bottom, 206);
    // A minimised batch run always minimises, whatever SHOW holds.
    EXPECT_EQ(ChooseMainWindowPlacement(options, settings, SW_SHOW, 1, HEADLESS_SCREEN_RECT).show,
              SW_MINIMIZE);
    options.windowRectGiven = 0;
    // DISPLAY set with any of X, Y, WIDE, HEIGHT missing: the default place and size, never a
    // window at (-1, -1) of size -1.
    for (int missing = 0; missing < 4; ++missing) {
        ProgramSettings partial = settings;
        int* fields[4] = {&partial.windowX, &partial.windowY, &partial.windowWidth,
                          &partial.windowHeight};
        *fields[missing] = -1;
        place = ChooseMainWindowPlacement(options, partial, SW_SHOW, 0, HEADLESS_SCREEN_RECT);
        EXPECT_EQ(place.usedDefault, 1) << "missing key " << missing;
        EXPECT_EQ(place.rect.right, DEFAULT_MAIN_WINDOW_RECT.right);
        EXPECT_EQ(place.rect.bottom, DEFAULT_MAIN_WINDOW_RECT.bottom);
    }
}

TEST_F(StartupTest, MinimisedBatchRunOpensMinimisedAndSuppressesDrawing) {
    AutomaticMode.store(1);
    Settings.windowShow = 1;
    RegisterMainWindowClass();
    ASSERT_EQ(CreateMainWindow(SW_SHOW), 1);
    WindowHandle main = MainWindow.load();
    EXPECT_TRUE(IsPlatformWindowMinimised(main));
    EXPECT_EQ(DrawingSuppressed.load(), 1);
    ShellWindowTest window;
    window.main = main;
    window.CloseMainWindow();
}

TEST_F(StartupTest, NoMenuSwitchLeavesTheClassWithoutMenu) {
    RegisterMainWindowClass();
    EXPECT_EQ(MainClass.name, "MIREXA7");
    EXPECT_EQ(MainClass.menu, IDR_MAIN_MENU);
    CommandLine.noMenu = 1;
    RegisterMainWindowClass();
    EXPECT_EQ(MainClass.menu, 0);
}

}  // namespace
}  // namespace mirexa
