// Progress display and message pumps, against the recording main window and the manual clock.
#include "services/progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <thread>

#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/cursor.h"
#include "services/shared_state.h"
#include "support/fake_ui.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

class ProgressTest : public ::testing::Test {
protected:
    void BeginRun(std::uint64_t total, const char* japanese = "読込",
                  const char* english = "Read") {
        BeginProgress(ui.mainWindow, PROGRESS_MODE_TOTAL, total, nullptr, 1, japanese, english);
    }
    FakeUi ui;
};

TEST_F(ProgressTest, FormatProgressTextReportsTextsThatDoNotFit) {
    char buffer[PROGRESS_TEXT_CAPACITY];
    EXPECT_EQ(FormatProgressText(buffer, "%5.1f%c", 12.34, '%'), 6);
    EXPECT_STREQ(buffer, " 12.3%");
    EXPECT_EQ(FormatProgressText(buffer, "%s", std::string(24, 'x').c_str()), 24);
    EXPECT_EQ(FormatProgressText(buffer, "%s", std::string(25, 'x').c_str()), -1);
    EXPECT_STREQ(buffer, "");
}

TEST_F(ProgressTest, BeginShowsTheBarWithItsFullRangeAndTheCaptionInTheTitle) {
    BeginRun(400);
    EXPECT_EQ(GetProgressStatusText(), "読込");
    EXPECT_EQ(FakeAnswers.titleUpdates, 1);
    ProgressBarValue bar = GetProgressBarValue(ui.progressBar);
    EXPECT_EQ(bar.low, 0);
    EXPECT_EQ(bar.high, 1001);
    EXPECT_EQ(bar.step, 1);
    EXPECT_EQ(bar.position, 0);
    EXPECT_TRUE(IsPlatformWindowVisible(ui.progressBar));

    UiLanguage.store(1);
    BeginRun(400);
    EXPECT_EQ(GetProgressStatusText(), "Read");
}

TEST_F(ProgressTest, StatusTextIsPerMilleWithOneDecimal) {
    // Hand-worked: 1 of 3 is 333.33 per-mille, rounded to 333, shown as 33.3%.
    struct Case {
        std::uint64_t total;
        std::int64_t work;
        const char* text;
        int bar;
    };
    const Case cases[] = {
        {3, 1, " 33.3%", 333},    {3, 2, " 66.7%", 667},      {0, 1, "100.0%", 1000},
        {2000, 1, "  0.1%", 1},   {2000, 999, " 50.0%", 500}, {7, 7, "100.0%", 1000},
        {10, 15, "150.0%", 1001},  // above the total: the bar stops at its end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        BeginRun(c.total);
        AddProgressWork(c.work);
        UpdateProgress(0);
        EXPECT_EQ(GetStatusBarPart(ui.statusBar, 1).text, c.text);
        EXPECT_EQ(GetProgressBarValue(ui.progressBar).position, c.bar);
    }
}

TEST_F(ProgressTest, ZeroIsShownOnceAndForceAlwaysRedraws) {
    BeginRun(1000);
    ui.ClearRecord();
    UpdateProgress(0);
    UpdateProgress(0);
    UpdateProgress(0);
    EXPECT_EQ(ui.StatusTexts(1), std::vector<std::string>{"  0.0%"});
    // The first display moves the bar away and back so it repaints.
    EXPECT_EQ(ui.BarPositions(ui.progressBar), (std::vector<int>{10, 0}));
    UpdateProgress(1);
    UpdateProgress(1);
    EXPECT_EQ(ui.StatusTexts(1).size(), 3u);
    AddProgressWork(5);
    UpdateProgress(0);
    UpdateProgress(0);
    EXPECT_EQ(ui.StatusTexts(1).back(), "  0.5%");
    EXPECT_EQ(ui.StatusTexts(1).size(), 4u);
}

TEST_F(ProgressTest, WorkCounterNeitherWrapsNorOverflowsThePerMille) {
    BeginRun(1);
    AddProgressWork(std::numeric_limits<std::int64_t>::max());
    AddProgressWork(std::numeric_limits<std::int64_t>::max());
    AddProgressWork(std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(GetProgressPerMille(), std::numeric_limits<std::int32_t>::max());
    UpdateProgress(0);
    EXPECT_EQ(GetStatusBarPart(ui.statusBar, 1).text, "214748364.7%");
    EXPECT_EQ(GetProgressBarValue(ui.progressBar).position, 1001);

    BeginRun(10);
    AddProgressWork(3);
    AddProgressWork(-5);  // more than was done: back to 0, not a wrapped huge count
    EXPECT_EQ(GetProgressWork(), 0u);
    EXPECT_EQ(GetProgressPerMille(), 0);
    AddProgressWork(std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(GetProgressWork(), 0u);
    IncrementProgressWork();
    IncrementProgressWork();
    EXPECT_EQ(GetProgressWork(), 2u);
    EXPECT_EQ(GetProgressPerMille(), 200);
}

TEST_F(ProgressTest, TotalsByModeAndFile) {
    // A directory of its own, so that test runs side by side do not share the file.
    testing::ScratchDirectory scratch;
    const std::string path = scratch.Write("total.nc", std::string(2000, 'x'));
    struct Case {
        const char* name;
        int mode;
        int factor;
        const char* fileName;
        std::int64_t work;
        std::int32_t perMille;
    };
    FakeAnswers.readerBlockCount = 40;
    FakeAnswers.programLineCount = 250;
    const Case cases[] = {
        {"file size", PROGRESS_MODE_FILE_SIZE, 1, path.c_str(), 1000, 500},
        {"file size x 2", 7, 2, path.c_str(), 1000, 250},
        {"missing file counts 1", PROGRESS_MODE_FILE_SIZE, 1, "/nonexistent/x.nc", 1, 1000},
        {"factor 0 counts 1", PROGRESS_MODE_FILE_SIZE, 0, path.c_str(), 1, 1000},
        {"reader blocks", PROGRESS_MODE_READER_BLOCKS, 1, path.c_str(), 10, 250},
        {"program lines", PROGRESS_MODE_PROGRAM_LINES, 1, nullptr, 25, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BeginProgress(ui.mainWindow, c.mode, 0, c.fileName, c.factor, "j", "e");
        AddProgressWork(c.work);
        EXPECT_EQ(GetProgressPerMille(), c.perMille);
    }
    FakeAnswers.readerBlockCount = 0;  // a reader that counts nothing still gives a total of 1
    BeginProgress(ui.mainWindow, PROGRESS_MODE_READER_BLOCKS, 0, path.c_str(), 1, "j", "e");
    AddProgressWork(1);
    EXPECT_EQ(GetProgressPerMille(), 1000);
}

TEST_F(ProgressTest, NcFileRunFollowsTheActiveReader) {
    // A reader without a block count: no run at all, and its update and end do nothing.
    FakeAnswers.activePathReader = 0;
    BeginProgressForNcFile(ui.mainWindow, "a.nc", "j", "e");
    EXPECT_FALSE(IsPlatformWindowVisible(ui.progressBar));
    UpdateProgressForActiveReader(1);
    EndProgressForActiveReader();
    EXPECT_TRUE(ui.calls.empty());

    FakeAnswers.readerHasBlockCount = 1;
    FakeAnswers.readerBlockCount = 8;
    BeginProgressForNcFile(ui.mainWindow, "a.nc", "j", "e");
    EXPECT_TRUE(IsPlatformWindowVisible(ui.progressBar));
    AddProgressWork(2);
    UpdateProgressForActiveReader(0);
    EXPECT_EQ(GetStatusBarPart(ui.statusBar, 1).text, " 25.0%");
    EndProgressForActiveReader();
    EXPECT_FALSE(IsPlatformWindowVisible(ui.progressBar));

    // A plain NC text held in memory counts its lines.
    FakeAnswers.activePathReader = -1;
    FakeAnswers.programLineCount = 4;
    BeginProgressForNcFile(ui.mainWindow, "a.nc", "j", "e");
    AddProgressWork(1);
    EXPECT_EQ(GetProgressPerMille(), 250);
}

TEST_F(ProgressTest, EndClearsTheTextsHidesTheBarAndRestoreShowsTheTextAgain) {
    BeginRun(4);
    AddProgressWork(1);
    UpdateProgress(0);
    SetStatusBarText(ui.statusBar, 1, 0, "other");
    RestoreProgressText();
    EXPECT_EQ(GetStatusBarPart(ui.statusBar, 1).text, " 25.0%");
    EndProgress();
    for (int part : {0, 1}) {
        StatusBarPart shown = GetStatusBarPart(ui.statusBar, part);
        EXPECT_EQ(shown.text, "");
        EXPECT_EQ(shown.flags, SBT_NOBORDERS);
    }
    EXPECT_FALSE(IsPlatformWindowVisible(ui.progressBar));
    EXPECT_EQ(GetProgressStatusText(), "");
    EXPECT_EQ(FakeAnswers.titleUpdates, 2);
    SetStatusBarText(ui.statusBar, 1, 0, "other");
    RestoreProgressText();
    EXPECT_EQ(GetStatusBarPart(ui.statusBar, 1).text, "");
    EXPECT_EQ(GetStatusBarPart(ui.statusBar, 1).flags, SBT_NOBORDERS);
}

TEST_F(ProgressTest, BatchModeShowsOnlyTheCaptionInTheTitle) {
    FakeAnswers.batchMode = 1;
    FakeAnswers.progressName = "JOB7";
    BeginRun(10);
    EXPECT_EQ(GetPlatformWindowText(ui.mainWindow), "JOB7");
    EXPECT_FALSE(IsPlatformWindowVisible(ui.progressBar));
    EXPECT_EQ(FakeAnswers.titleUpdates, 0);
    BeginProgress2(ui.mainWindow, nullptr, -1);
    EXPECT_FALSE(IsPlatformWindowVisible(ui.progressBar2));
}

class ProgressTitleTest : public ProgressTest {
protected:
    void SetUp() override {
        DrawingSuppressed.store(1);
    }
    void Advance(std::int64_t work) {
        AddProgressWork(work);
        UpdateProgress(0);
    }
};

TEST_F(ProgressTitleTest, FirstDisplayThenJumpsAboveTwoHundredRewriteAtOnce) {
    BeginRun(1000, "読込", "Read");
    UpdateProgress(0);
    EXPECT_EQ(GetPlatformWindowText(ui.mainWindow), "読込:  0.0%");
    EXPECT_EQ(GetStatusBarPart(ui.statusBar, 1).text, "");  // nothing in the status bar
    Advance(100);  // the first advance meets a period of 1: rewritten
    EXPECT_EQ(GetPlatformWindowText(ui.mainWindow), "読込: 10.0%");
    // The rewrite slept 10 x 1 ms since the begin at 0 ms: period 1 x 700 / 10 = 70.
    ui.ClearRecord();
    Advance(150);  // 100 -> 250: waits for the period
    EXPECT_TRUE(ui.Titles().empty());
    Advance(100);  // 250 -> 350: a jump of 100 from the last value, still waits
    EXPECT_TRUE(ui.Titles().empty());
    Advance(201);  // 350 -> 551: more than 200 at once
    EXPECT_EQ(ui.Titles(), std::vector<std::string>{"読込: 55.1%"});
}

TEST_F(ProgressTitleTest, RewritesWaitForTheRewritePeriod) {
    BeginRun(1000);
    UpdateProgress(0);
    Advance(1);  // period becomes 70 (see above)
    ui.ClearRecord();
    for (int i = 1; i < 70; ++i) {
        Advance(1);
    }
    EXPECT_TRUE(ui.Titles().empty());
    Advance(1);  // the 70th advance
    EXPECT_EQ(ui.Titles().size(), 1u);
}

TEST_F(ProgressTitleTest, PacingSettlesNearOneRewriteEvery700Ms) {
    BeginRun(100000000);
    UpdateProgress(0);
    ui.ClearRecord();
    // One advance every 7 ms for 14 s; per-mille stays far below the 200 jump.
    for (int i = 0; i < 2000; ++i) {
        AdvanceManualClock(7);
        Advance(1000);
    }
    auto rewrites = ui.Titles().size();
    EXPECT_GE(rewrites, 14u);
    EXPECT_LE(rewrites, 30u);
}

TEST_F(ProgressTitleTest, ReachingTheEndAlwaysRewrites) {
    BeginRun(1000);
    UpdateProgress(0);
    Advance(100);
    ui.ClearRecord();
    Advance(900);
    EXPECT_EQ(ui.Titles(), std::vector<std::string>{"読込:100.0%"});
}

TEST_F(ProgressTitleTest, StopMarkAndCaptionCutToFit) {
    struct Case {
        int language;
        const char* japanese;
        const char* english;
        std::int64_t work;
        int stop;
        const char* title;
    };
    const Case cases[] = {
        {1, "切削", "Cut", 500, 1, "Cut: 50.0%-STOP!"},
        {0, "切削", "Cut", 500, 1, "切削: 50.0%-停止!"},
        {1, "", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", 1000, 0, "ABCDEFGHIJKLMNOPQ:100.0%"},
        {1, "", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", 500, 1, "ABCDEFGHIJK: 50.0%-STOP!"},
        // 24 - 7 - 8 bytes leave 9 for the caption: three whole 3-byte characters.
        {0, "データを読み込んでいます", "", 500, 1, "データ: 50.0%-停止!"},
        // 24 - 7 leave 17: five whole characters, never a broken one.
        {0, "データを読み込んでいます", "", 500, 0, "データを読: 50.0%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        UiLanguage.store(c.language);
        FakeAnswers.stopBeforeBlock = c.stop;
        BeginRun(1000, c.japanese, c.english);
        UpdateProgress(0);
        Advance(c.work);
        EXPECT_EQ(GetPlatformWindowText(ui.mainWindow), c.title);
        EXPECT_LE(GetPlatformWindowText(ui.mainWindow).size(), 24u);
    }
}

TEST_F(ProgressTitleTest, ProgressNameReplacesTheCaptionInTheTitleOnly) {
    FakeAnswers.progressName = "JOB-A";
    BeginRun(10, "読込", "Read");
    EXPECT_EQ(GetProgressStatusText(), "読込");
    UpdateProgress(0);
    EXPECT_EQ(GetPlatformWindowText(ui.mainWindow), "JOB-A:  0.0%");
}

TEST_F(ProgressTitleTest, EndLeavesTheTitleAlone) {
    BeginRun(10);
    UpdateProgress(0);
    Advance(10);
    ui.ClearRecord();
    EndProgress();
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_EQ(GetPlatformWindowText(ui.mainWindow), "読込:100.0%");
}

TEST_F(ProgressTest, RunEndedWhileMinimisedIsNotShownAfterwards) {
    BeginRun(4);
    AddProgressWork(2);
    UpdateProgress(0);
    DrawingSuppressed.store(1);  // the window is minimised, then the run ends
    EndProgress();
    EXPECT_EQ(GetStatusBarPart(ui.statusBar, 1).text, " 50.0%") << "nothing drawn meanwhile";
    DrawingSuppressed.store(0);
    EXPECT_EQ(GetProgressStatusText(), "") << "the title no longer shows the caption";
    RestoreProgressText();
    EXPECT_EQ(GetStatusBarPart(ui.statusBar, 1).text, "");
    EXPECT_EQ(GetStatusBarPart(ui.statusBar, 1).flags, SBT_NOBORDERS);
}

TEST_F(ProgressTest, NestedRunUsesItsOwnCountersAndBar) {
    BeginRun(100);
    BeginProgress2(ui.mainWindow, nullptr, 50);
    EXPECT_TRUE(IsPlatformWindowVisible(ui.progressBar2));
    EXPECT_EQ(GetProgressBarValue(ui.progressBar2).high, 1001);
    AddProgressWork(10);
    AddProgressWork2(10);
    ui.ClearRecord();
    UpdateProgress2(0);
    EXPECT_EQ(ui.BarPositions(ui.progressBar2), (std::vector<int>{210, 200}));
    UpdateProgress2(0);  // the first display does not count as shown: set once more
    UpdateProgress2(0);  // no advance: nothing
    AddProgressWork2(5);
    UpdateProgress2(0);
    EXPECT_EQ(ui.BarPositions(ui.progressBar2), (std::vector<int>{210, 200, 200, 300}));
    EXPECT_TRUE(ui.BarPositions(ui.progressBar).empty());
    EXPECT_EQ(GetProgressPerMille(), 100);

    SetStatusBarText(ui.statusBar, 2, 0, "sub");
    EndProgress2();
    EXPECT_FALSE(IsPlatformWindowVisible(ui.progressBar2));
    EXPECT_EQ(GetStatusBarPart(ui.statusBar, 2).text, "");
    EXPECT_TRUE(IsPlatformWindowVisible(ui.progressBar));

    // Without a held subprogram the file size counts; a missing file counts 1.
    BeginProgress2(ui.mainWindow, "/nonexistent/sub.nc", -1);
    AddProgressWork2(1);
    EXPECT_EQ(GetProgressPerMille2(), 1000);
}

TEST_F(ProgressTest, NestedRunShowsNothingInTitleMode) {
    BeginRun(10);
    BeginProgress2(ui.mainWindow, nullptr, -1);
    DrawingSuppressed.store(1);
    ui.ClearRecord();
    AddProgressWork2(1);
    UpdateProgress2(1);
    UpdateProgress2(0);
    SetStatusBarText(ui.statusBar, 2, 0, "sub");
    EndProgress2();
    EXPECT_EQ(GetStatusBarPart(ui.statusBar, 2).text, "sub");
    EXPECT_FALSE(IsPlatformWindowVisible(ui.progressBar2));
    EXPECT_TRUE(ui.BarPositions(ui.progressBar2).empty());
}

MessageResult CountingProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                MessageLParam lparam) {
    if (message == WM_USER + 7) {
        ++*reinterpret_cast<int*>(GetWindowUserData(window));
        return 1;
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

MessageResult UpdatingProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                MessageLParam lparam) {
    if (message == WM_USER) {
        UpdateProgress(0);  // as the run timer does on the user-interface thread
        return 0;
    }
    if (message == WM_USER + 50) {
        PostLoopQuit(0);
        return 0;
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

TEST_F(ProgressTest, WorkerAndUserInterfaceThreadUpdateTogetherWithoutDeadlock) {
    WindowHandle timerWindow = CreatePlatformWindow({.procedure = UpdatingProcedure});
    BeginRun(2000);
    std::thread worker([timerWindow] {
        for (int i = 0; i < 2000; ++i) {
            AddProgressWork(1);
            UpdateProgress(0);  // waits for the user-interface thread to set the texts
            if (i % 10 == 0) {
                PostWindowMessage(timerWindow, WM_USER, 0, 0);
            }
        }
        PostWindowMessage(timerWindow, WM_USER + 50, 0, 0);
    });
    RunMessageLoop();
    worker.join();
    UpdateProgress(1);
    EXPECT_EQ(GetStatusBarPart(ui.statusBar, 1).text, "100.0%");
    EXPECT_EQ(GetProgressBarValue(ui.progressBar).position, 1000);
    // Every shown per-mille was at least the one before it.
    std::vector<int> positions = ui.BarPositions(ui.progressBar);
    ASSERT_GE(positions.size(), 3u);
    for (std::size_t i = 3; i < positions.size(); ++i) {
        EXPECT_GE(positions[i], positions[i - 1] - 1) << "at " << i;
    }
    DestroyPlatformWindow(timerWindow);
}

TEST_F(ProgressTest, PumpDispatchesOneMessageOnlyAfterMoreThanThreeSeconds) {
    int handled = 0;
    WindowHandle window = CreatePlatformWindow({.procedure = CountingProcedure});
    SetWindowUserData(window, reinterpret_cast<std::intptr_t>(&handled));
    PostWindowMessage(window, WM_USER + 7, 0, 0);
    PostWindowMessage(window, WM_USER + 7, 0, 0);

    UseManualClock(1, 3000);
    EXPECT_EQ(PumpMessagesEvery3s(), 3000u);
    EXPECT_EQ(handled, 0);
    UseManualClock(1, 3001);
    EXPECT_EQ(PumpMessagesEvery3s(), 3001u);
    EXPECT_EQ(handled, 1);
    AdvanceManualClock(2999);
    EXPECT_EQ(PumpMessagesEvery3s(), 2999u);  // within 3 s of the dispatch: nothing
    EXPECT_EQ(handled, 1);

    // The waiting pump keeps its own time and puts the view's cursor back after a dispatch.
    FakeAnswers.viewCursor = LoadCursorHandle("cross");
    SetCursorHandle(LoadCursorHandle(CURSOR_WAIT));
    EXPECT_EQ(PumpMessagesEvery3sWait(), 6000u);
    EXPECT_EQ(handled, 2);
    EXPECT_EQ(GetCursorHandle(), FakeAnswers.viewCursor);
    DestroyPlatformWindow(window);
}

TEST_F(ProgressTest, PumpKeepsAQuitRequestForTheMainLoop) {
    PostLoopQuit(3);
    UseManualClock(1, 5000);
    PumpMessagesEvery3s();
    WindowMessage message;
    EXPECT_EQ(WaitWindowMessage(&message), 0);
    EXPECT_EQ(message.wparam, 3u);
}

}  // namespace
}  // namespace mirexa
