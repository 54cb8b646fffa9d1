// The main window on the headless backend with the manual clock: creation order, layout and the
// status-bar edges, the resize debounce, restore after minimising, wheel steps, the automation's
// single resume, dropped files routed in the fixed order, and closing.
#include "shell/main_window.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "resources/program_resources.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/external_commands.h"
#include "shell/run_commands.h"
#include "shell/worker_threads.h"
#include "shell_test_support.h"
#include "simulation/run_control.h"
#include "support/scoped_log_directory.h"
#include "support/scratch_directory.h"
#include "support/test_windows.h"
#include "view/camera.h"
#include "view/gl_colors.h"
#include "view/view_window.h"

namespace mirexa {
namespace {

class MainWindowTest : public ::testing::Test, public ShellWindowTest {
protected:
    void SetUp() override {
        ResetShellState();
    }
    void TearDown() override {
        CloseMainWindow();
        ResetShellState();
        UseManualClock(0);
    }
};

// --- Pure rules ---------------------------------------------------------------------------------

TEST(MainWindowRules, StatusBarEdgesForAClientWidth) {
    // W = 1000 - 190 = 810: 190 + 810 k / 8 truncated.
    std::vector<int> expected = {140, 190, 291, 392, 493, 595, 696, 797, 898, -1};
    EXPECT_EQ(ComputeStatusBarEdges(1000), expected);
    // A window narrower than 190 pixels gives no edges going backwards.
    std::vector<int> narrow = ComputeStatusBarEdges(100);
    ASSERT_EQ(narrow.size(), 10u);
    for (std::size_t i = 1; i + 1 < narrow.size(); ++i) {
        EXPECT_GE(narrow[i], narrow[i - 1]);
    }
}

TEST(MainWindowRules, WheelSteps) {
    struct Case {
        int delta;
        int steps;
    };
    for (Case c : {Case{120, 1}, Case{-120, -1}, Case{360, 3}, Case{-60, -1}, Case{60, 1},
                   Case{250, 2}, Case{-361, -3}, Case{0, 0}}) {
        EXPECT_EQ(ComputeWheelSteps(c.delta, 0), c.steps) << c.delta;
        EXPECT_EQ(ComputeWheelSteps(c.delta, 1), -c.steps) << c.delta;
    }
}

TEST(MainWindowRules, ViewRectLeavesPanelStripAndStatusBar) {
    WindowRect r = ComputeViewRect(1000, 700, 22);
    EXPECT_EQ(r.left, INFO_PANEL_WIDTH);
    EXPECT_EQ(r.top, NC_STRIP_HEIGHT);
    EXPECT_EQ(r.right, 1000);
    EXPECT_EQ(r.bottom, 678);
    r = ComputeViewRect(100, 10, 22);  // too small: an empty view, never a negative size
    EXPECT_GE(r.right, r.left);
    EXPECT_GE(r.bottom, r.top);
}

TEST(MainWindowRules, SidePanelsFitAWindowOfTheMinimumSizeOrLarger) {
    // The panels of the default font and of a large one, with the command panel shown and hidden:
    // in a window of the minimum client size (or wider or taller) they lie below the strip,
    // right of the column, inside the window and apart, and the column fits above the status bar.
    const SidePanelSizes fonts[] = {
        {220, 540, 22, 22, 619, 169, 247, 212, 0},
        {280, 780, 28, 22, 907, 233, 247, 212, 0},
    };
    for (SidePanelSizes sizes : fonts) {
        for (int shown : {0, 1}) {
            sizes.commandShown = shown;
            int width = 0;
            int height = 0;
            ComputeMinimumClientSize(sizes, &width, &height);
            EXPECT_GE(height, sizes.stripHeight + sizes.columnHeight + sizes.statusBarHeight);
            for (int extra : {0, 150, 400}) {
                SCOPED_TRACE(std::to_string(sizes.columnWidth) + " shown " + std::to_string(shown) +
                             " extra " + std::to_string(extra));
                const WindowRect window = {10, 20, 10 + width + extra, 20 + height + extra / 2};
                WindowRect tool = {};
                WindowRect command = {};
                PlaceSidePanelRects(window, 0, sizes, &tool, &command);
                EXPECT_GE(tool.left, window.left + sizes.columnWidth);
                EXPECT_GE(tool.top, window.top + sizes.stripHeight);
                EXPECT_LE(tool.right, window.right);
                EXPECT_EQ(tool.right - tool.left, sizes.toolWidth);
                EXPECT_LE(tool.bottom, window.bottom - sizes.statusBarHeight);
                if (shown) {
                    EXPECT_GE(command.left, window.left + sizes.columnWidth);
                    EXPECT_EQ(command.right, window.right);
                    EXPECT_EQ(command.bottom, window.bottom - sizes.statusBarHeight);
                    const bool apart = tool.right <= command.left || tool.bottom <= command.top;
                    EXPECT_TRUE(apart);
                }
            }
        }
    }
}

// --- Creation, layout, paint --------------------------------------------------------------------

TEST_F(MainWindowTest, CreationLaysOutStatusBarProgressBarsAndView) {
    MainWindowCallbacks.initPluginsAndMenus = [](WindowHandle, int, int) {
        RecordEvent("plugin menus");
    };
    OpenMainWindow({0, 0, 1000, 700});
    EXPECT_EQ(RecordedEvents(), (std::vector<std::string>{"plugin menus"}));
    const MainWindowHandles& h = MainWindowData.handles;
    EXPECT_EQ(MainWindowData.ready, 1);
    EXPECT_EQ(MainWindowData.definitionWatchArmed, 1);
    ASSERT_NE(h.statusBar, nullptr);
    EXPECT_EQ(GetStatusBarPartCount(h.statusBar), 10);
    for (int part = 0; part < 10; ++part) {
        EXPECT_EQ(GetStatusBarPart(h.statusBar, part).rightEdge, ComputeStatusBarEdges(1000)[part]);
    }
    // The progress bars lie over part 0 and the left half of part 2.
    WindowRect first = {};
    WindowRect second = {};
    GetPlatformWindowRect(h.progressBar, &first);
    GetPlatformWindowRect(h.progressBar2, &second);
    EXPECT_EQ(first.left, 0);
    EXPECT_EQ(first.right, 140);
    EXPECT_EQ(second.left, 190);
    EXPECT_EQ(second.right, 190 + (291 - 190) / 2);
    // The view is shown beside the panel column, above the status bar.
    WindowRect view = {};
    GetPlatformWindowRect(h.view, &view);
    EXPECT_EQ(view.left, INFO_PANEL_WIDTH);
    EXPECT_EQ(view.bottom, 700 - MainWindowData.statusBarHeight);
    EXPECT_TRUE(IsPlatformWindowVisible(h.view));
    EXPECT_EQ(GetWindowClassName(h.view), VIEW_WINDOW_CLASS);
}

TEST_F(MainWindowTest, ResizeRedrawComesAfterTheLastSizeEvent) {
    OpenMainWindow({0, 0, 1000, 700});
    AdvanceAndDeliver(1000);  // the first layout's redraw
    int before = MainWindowData.resizeRedraws;
    std::uint64_t t0 = GetTickMilliseconds();
    // Sizes 200 ms apart: no redraw in between; one after the last.
    for (int i = 0; i < 4; ++i) {
        MovePlatformWindow(main, WindowRect{0, 0, 900 - 10 * i, 650});
        AdvanceAndDeliver(200);
        EXPECT_EQ(MainWindowData.resizeRedraws, before) << "within 350 ms of a size event";
    }
    std::uint64_t lastSize = t0 + 600;
    while (MainWindowData.resizeRedraws == before) {
        AdvanceAndDeliver(1);
        ASSERT_LT(GetTickMilliseconds(), lastSize + 1000);
    }
    std::uint64_t after = GetTickMilliseconds() - lastSize;
    EXPECT_GT(after, 350u);
    EXPECT_LE(after, 400u);
    AdvanceAndDeliver(1000);
    EXPECT_EQ(MainWindowData.resizeRedraws, before + 1);
}

TEST_F(MainWindowTest, TheViewFollowsItsRectangleAndAMinimisedWindowDrawsNothing) {
    OpenMainWindow({0, 0, 1000, 700});
    ShowPlatformWindow(main, SW_MINIMIZE);
    EXPECT_EQ(DrawingSuppressed.load(), 1);
    SendWindowMessage(main, WM_PAINT, 0, 0);
    EXPECT_EQ(DrawingSuppressed.load(), 1);
    ShowPlatformWindow(main, SW_RESTORE);
    EXPECT_EQ(DrawingSuppressed.load(), 0);
    // The view's own procedure gives its camera the size of its rectangle, after a restore and
    // after a real resize.
    EXPECT_EQ(CurrentView.width, MainWindowData.viewWidth);
    EXPECT_EQ(CurrentView.height, MainWindowData.viewHeight);
    MovePlatformWindow(main, WindowRect{0, 0, 800, 600});
    EXPECT_EQ(CurrentView.width, MainWindowData.viewWidth);
    EXPECT_EQ(CurrentView.height, MainWindowData.viewHeight);
    EXPECT_LT(MainWindowData.viewWidth, 800);
}

TEST_F(MainWindowTest, WheelZoomsAndStartsTheViewTimerOnce) {
    ResetViewWindowState();
    OpenMainWindow();
    ViewState expected = CurrentView;
    for (int delta : {120, -360, 30}) {
        SendWindowMessage(main, WM_MOUSEWHEEL, static_cast<MessageWParam>(delta), 0);
    }
    Settings.wheelZoomReversed = 1;
    SendWindowMessage(main, WM_MOUSEWHEEL, 240, 0);
    for (std::int16_t steps : {1, -3, 1, -2}) {
        ZoomBySteps(&expected, steps);
    }
    EXPECT_DOUBLE_EQ(CurrentView.zoom, expected.zoom);
    EXPECT_EQ(ViewWindow.wheel.active, 1);
    EXPECT_TRUE(IsWindowTimerRunning(MainWindowData.handles.view, kViewWheelTimerId));
}

// The automation thread is resumed at the first paint after creation, and only then: a thread
// held later is not released by later paints.
std::atomic<int> automationBodies{0};

TEST_F(MainWindowTest, AutomationResumedExactlyOnceAcrossManyPaints) {
    automationBodies.store(0);
    CommandLine.automation = 1;
    ASSERT_EQ(CreateWorkerThread(
                  &AutomationThread, [] { automationBodies.fetch_add(1); }, 1, 0),
              1);
    OpenMainWindow();
    SendWindowMessage(main, WM_PAINT, 0, 0);
    ASSERT_TRUE(WaitUntil([] { return IsWorkerThreadFinished(AutomationThread) != 0; }));
    EXPECT_EQ(automationBodies.load(), 1);
    JoinWorkerThread(&AutomationThread);
    // A second held thread is never resumed by the window's later paints.
    ASSERT_EQ(CreateWorkerThread(
                  &AutomationThread, [] { automationBodies.fetch_add(1); }, 1, 0),
              1);
    for (int i = 0; i < 20; ++i) {
        SendWindowMessage(main, WM_PAINT, 0, 0);
    }
    EXPECT_EQ(AutomationThread.resumed, 0);
    JoinWorkerThread(&AutomationThread);  // cancelled: its body never runs
    EXPECT_EQ(automationBodies.load(), 1);
}

TEST_F(MainWindowTest, AutomationDoneJoinsThenCloses) {
    CommandLine.automation = 1;
    AutomaticMode.store(1);
    ASSERT_EQ(CreateWorkerThread(
                  &AutomationThread,
                  [] {
                      // A send right before the end: the window answers it while it waits.
                      SendWindowMessage(MainWindow.load(), WM_COMMAND, 1, 0);
                      PostWindowMessage(MainWindow.load(), WM_AUTOMATION_DONE, 0, 0);
                      SendWindowMessage(MainWindow.load(), WM_COMMAND, 2, 0);
                  },
                  1, 0),
              1);
    static std::vector<unsigned> commands;
    commands.clear();
    SetMessageObserver([](const WindowMessage& m) {
        if (m.message == WM_COMMAND) {
            commands.push_back(static_cast<unsigned>(m.wparam));
        }
    });
    OpenMainWindow();
    ASSERT_TRUE(WaitUntil([this] { return !IsPlatformWindow(main); }));
    SetMessageObserver({});
    EXPECT_FALSE(HasWorkerThread(AutomationThread));
    EXPECT_EQ(commands, (std::vector<unsigned>{1, 2}));
}

// --- Dropped files ---------------------------------------------------------------------------

struct DropFixture : MainWindowTest {
    void SetUp() override {
        MainWindowTest::SetUp();
        commands().clear();
        // The commands run in automatic mode, their messages logged in a directory of their own.
        AutomaticMode.store(1);
        SetMessageObserver([](const WindowMessage& m) {
            if (m.message != WM_COMMAND) {
                return;
            }
            const auto id = static_cast<unsigned>(m.wparam);
            std::string path;
            if (id == IDM_MACHINE_FILE) {
                path = DefinitionFiles.machineFile;
            } else if (id == IDM_CONTROLLER_FILE) {
                path = DefinitionFiles.controllerFile;
            } else if (id == IDM_TOOLS_FILE) {
                path = DefinitionFiles.toolsFile;
            } else if (id == IDM_STOCK_READ) {
                path = DefinitionFiles.stockFile;
            } else if (id == IDM_NC_SELECT) {
                path = DefinitionFiles.ncProgramFile;
            }
            EXPECT_EQ(MainWindowData.presetPathFlag, 1);
            commands().push_back({id, path});
        });
        OpenMainWindow();
    }
    void TearDown() override {
        SetMessageObserver({});
        MainWindowTest::TearDown();
    }
    testing::ScratchDirectory scratch;
    testing::ScopedLogDirectory log{scratch.Path()};
    static std::vector<std::pair<unsigned, std::string>>& commands() {
        static std::vector<std::pair<unsigned, std::string>> list;
        return list;
    }
    void Drop(const std::vector<std::string>& paths) {
        SendWindowMessage(main, WM_DROPFILES, 0, reinterpret_cast<MessageLParam>(&paths));
    }
};

TEST_F(DropFixture, DefinitionFilesThenNcProgramInAnyOrder) {
    std::vector<std::string> files = {"/w/a.nc", "/w/m.mtl", "/w/t.TTL"};
    std::sort(files.begin(), files.end());
    int permutations = 0;
    do {
        commands().clear();
        Drop(files);
        std::vector<unsigned> ids;
        for (auto& c : commands()) {
            ids.push_back(c.first);
        }
        EXPECT_EQ(ids, (std::vector<unsigned>{32783, 32781, 32771}));
        ++permutations;
    } while (std::next_permutation(files.begin(), files.end()));
    EXPECT_EQ(permutations, 6);
    EXPECT_EQ(MainWindowData.droppedStockFlag, 0);
}

TEST_F(DropFixture, FirstStockOnlyAndLoaderSuffixIsAStock) {
    static int stockFlagDuringRead = -1;
    Drop({"/w/one.stl", "/w/two.STL"});
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0], (std::pair<unsigned, std::string>{IDM_STOCK_READ, "/w/one.stl"}));
    // A stock-loader plug-in's suffix makes a stock, not an NC program.
    commands().clear();
    MainWindowCallbacks.matchStockLoaderSuffix = [](const std::string& path) {
        return path.size() > 4 && path.substr(path.size() - 4) == ".igs" ? 1 : 0;
    };
    Drop({"/w/p.nc", "/w/model.igs"});
    ASSERT_EQ(commands().size(), 2u);
    EXPECT_EQ(commands()[0].first, IDM_STOCK_READ);
    EXPECT_EQ(commands()[0].second, "/w/model.igs");
    EXPECT_EQ(commands()[1].first, IDM_NC_SELECT);
    (void)stockFlagDuringRead;
}

TEST_F(DropFixture, LongPathsAndShortNamesAreKeptWhole) {
    std::string deep = "/w/" + std::string(300, 'd') + "/program.nc";
    Drop({"x", "ab", deep});  // names shorter than an extension fall to the NC scan safely
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0].second, "x");
    commands().clear();
    Drop({deep});
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0].second, deep);
    EXPECT_EQ(commands()[0].second.size(), deep.size());
}

TEST_F(DropFixture, AShortcutThatCannotBeResolvedIsLeftOut) {
    Drop({"/w/link.lnk", "/w/part.nc"});
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0], (std::pair<unsigned, std::string>{IDM_NC_SELECT, "/w/part.nc"}));
    CloseLogFile();
    EXPECT_NE(testing::ReadWholeFile(scratch.At("mirexa.log")).find("/w/link.lnk"),
              std::string::npos);
}

TEST_F(DropFixture, ColourFileChangesColoursWithoutACommand) {
    GlColors.pens[0][0] = 0.0f;
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("mirexa_drop_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "colours.ctc").string();
    std::FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("WORK COLOR=(10,20,30)\n", file);
    std::fclose(file);
    Drop({path});
    EXPECT_TRUE(commands().empty());
    // The view takes the new work colour (10/255).
    EXPECT_NEAR(GlColors.pens[0][0], 10.0f / 255.0f, 1e-6f);
    // An unreadable colour file leaves the colours alone.
    GlColors.pens[0][0] = 0.5f;
    Drop({(dir / "missing.CTC").string()});
    EXPECT_EQ(GlColors.pens[0][0], 0.5f);
    std::filesystem::remove_all(dir);
}

// Another program's command: posted as the menu's command when the window is free, refused
// while a run is active, a dialog disables the window or automatic work drives it, and dropped
// when its sender gave up before the answer reached it.
TEST_F(MainWindowTest, SentCommandsAreRefusedAsTheMenusAre) {
    OpenMainWindow();
    static std::vector<unsigned> commands;
    commands.clear();
    SetMessageObserver([](const WindowMessage& m) {
        if (m.message == WM_COMMAND && m.window == MainWindow.load()) {
            commands.push_back(static_cast<unsigned>(m.wparam));
        }
    });
    auto send = [this](unsigned command) {
        return static_cast<int>(SendWindowMessage(main, WM_EXTERNAL_COMMAND, command, 0));
    };
    EXPECT_EQ(send(IDM_CUT_REAL), kExternalNotSendable);
    WindowRun.mode.store(RunMode::kRealCutting);
    EXPECT_EQ(send(IDM_DISCOLORATION_REGION), kExternalRunActive);
    WindowRun.mode.store(RunMode::kIdle);
    EnablePlatformWindow(main, 0);
    EXPECT_EQ(send(IDM_DISCOLORATION_REGION), kExternalDialogOpen);
    EnablePlatformWindow(main, 1);
    ASSERT_EQ(CreateWorkerThread(
                  &AutomationThread, [] {}, 1, 0),
              1);
    EXPECT_EQ(send(IDM_SOUND), kExternalBusy);
    JoinWorkerThread(&AutomationThread);
    // A sender that gave up waiting before the answer: its command is not carried out.
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    close(pair[1]);
    int connection = pair[0];
    EXPECT_EQ(SendWindowMessage(main, WM_EXTERNAL_COMMAND, IDM_SOUND,
                                reinterpret_cast<MessageLParam>(&connection)),
              kExternalAccepted);
    EXPECT_EQ(connection, -1);  // answered and closed
    testing::DispatchPendingMessages();
    EXPECT_EQ(commands, std::vector<unsigned>{});
    EXPECT_EQ(send(IDM_STOCK_DISPLAY_STYLE), kExternalAccepted);
    testing::DispatchPendingMessages();
    SetMessageObserver({});
    EXPECT_EQ(commands, std::vector<unsigned>{IDM_STOCK_DISPLAY_STYLE});
}

}  // namespace
}  // namespace mirexa
