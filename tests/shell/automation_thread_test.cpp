// The automation thread: the command line's stock operations and sequences against a recording
// command sink, the exit code, the abort signals, the headless settings, and the calls made on
// the user-interface thread from a real second thread.
#include "shell/automation_thread.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include "config/controller_file.h"
#include "platform/backend.h"
#include "platform/message_box.h"
#include "shell/automation_test_support.h"
#include "support/bounded_wait.h"
#include "support/scoped_log_directory.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

using testing::Record;
using testing::RecordingSink;
using testing::Script;

class CommandLineBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        AutomaticMode.store(1);
        DrawingSuppressed.store(1);
        UiLanguage.store(1);
        CommandLine = CommandLineSwitches{};
        DefinitionFiles.stockFile = "/s/block.dme";
        DefinitionFiles.ncProgramFile = "/nc/part.nc";
        DefinitionFiles.saveFile = "/out/cut.dme";
    }
    void TearDown() override {
        UiLanguage.store(0);
    }
    // A new thread's start: nothing recorded, nothing posted yet.
    static void Fresh() {
        Record = testing::SinkRecord{};
        ResetAutomationRun();
        BatchFailureCode.store(0);
    }
    // A stock file, an NC program and a save file with the batch kind.
    void Batch(BatchRunKind batchKind, int saveKind = 1) {
        CommandLine.stockGiven = 1;
        CommandLine.ncGiven = 1;
        CommandLine.batchKind = batchKind;
        CommandLine.batchRun = BatchKindLogsRun(batchKind);
        CommandLine.saveKind = saveKind;
    }
    testing::ScratchDirectory scratch;
    testing::ScopedLogDirectory log{scratch.Path()};
    RecordingSink sink;
};

TEST_F(CommandLineBatchTest, StockOperationsRunTheFirstOneSetBetweenLoadAndSave) {
    struct Case {
        void (*set)();
        unsigned command;
        MessageLParam lparam;
    };
    const Case cases[] = {
        {[] { CommandLine.moveStock = 1, CommandLine.rotateStock = 1; }, IDM_STOCK_MOVE, 1},
        {[] { CommandLine.rotateStock = 1, CommandLine.paintStock = 1; }, IDM_STOCK_ROTATE, 1},
        {[] { CommandLine.paintStock = 1; }, IDM_PAINT_ALL, 1},
        {[] { CommandLine.paintStock = 2; }, IDM_PEEL_PAINT, 1},
        {[] { CommandLine.paintStock = 2, CommandLine.paintPen = 5; }, IDM_PEEL_PEN_COLOR, 5},
        {[] { CommandLine.paintStock = 2, CommandLine.paintPen = 16; }, IDM_PEEL_PEN_COLOR, 16},
        {[] { CommandLine.differencePaint = 1; }, IDM_PAINT_DIFFERENCE, 1},
    };
    for (const Case& c : cases) {
        Fresh();
        CommandLine = CommandLineSwitches{};
        CommandLine.stockGiven = 1;
        CommandLine.saveKind = 3;
        c.set();
        ASSERT_EQ(RunCommandLineStockOperation(), 1);
        ASSERT_EQ(RecordingSink::Ids(),
                  (std::vector<unsigned>{IDM_STOCK_READ, c.command, IDM_STOCK_SAVE}));
        EXPECT_EQ(Record.commands[1].lparam, c.lparam);
        EXPECT_EQ(Record.commands[2].lparam, 3);
        EXPECT_EQ(Record.donePosts, 1);
    }
    // The operation's flag is cleared once it ran; without an operation nothing is done.
    EXPECT_EQ(CommandLine.differencePaint, 0);
    Fresh();
    EXPECT_EQ(RunCommandLineStockOperation(), 0);
    EXPECT_TRUE(Record.commands.empty());
}

TEST_F(CommandLineBatchTest, AStockOperationStopsOnAFailedLoadAndSavesNoFailedResult) {
    CommandLine.stockGiven = 1;
    CommandLine.saveKind = 1;
    CommandLine.moveStock = 1;
    Script.loadResult = 0;
    RunCommandLineStockOperation();
    EXPECT_EQ(RecordingSink::Ids(), std::vector<unsigned>{IDM_STOCK_READ});
    EXPECT_EQ(Record.donePosts, 1);

    Fresh();
    Script.loadResult = 1;
    CommandLine.moveStock = 0;
    CommandLine.differencePaint = 1;
    Script.failCommand = IDM_PAINT_DIFFERENCE;
    RunCommandLineStockOperation();
    EXPECT_EQ(RecordingSink::Ids(), (std::vector<unsigned>{IDM_STOCK_READ, IDM_PAINT_DIFFERENCE}));
    EXPECT_EQ(Record.donePosts, 1);
}

TEST_F(CommandLineBatchTest, RunModesSelectCutSaveAndCloseInTheirOrder) {
    struct Case {
        int digit;
        unsigned cut;
        int done;
    };
    for (const Case& c :
         {Case{2, IDM_CUT_REAL, 0}, Case{3, IDM_CUT_SKIP, 0}, Case{4, IDM_CUT_RESULT, 0},
          Case{5, IDM_CUT_RESULT, 1}, Case{6, IDM_CUT_RESULT, 1}}) {
        Fresh();
        const BatchRunKind kind = BatchRunKindOfDigit(c.digit);
        Batch(kind);
        EXPECT_EQ(RunCommandLineSequence(), c.done) << c.digit;
        ASSERT_EQ(RecordingSink::Ids(),
                  (std::vector<unsigned>{IDM_STOCK_READ, IDM_NC_SELECT, c.cut, IDM_STOCK_SAVE}))
            << c.digit;
        // The cut finds the command line's run mode; the save comes after the run's end.
        EXPECT_EQ(Record.commands[2].batchKind, kind);
        EXPECT_EQ(Record.commands[3].lparam, 1);
        EXPECT_EQ(Record.polls, Script.runPolls);
        EXPECT_EQ(Record.donePosts, c.done);
    }
}

TEST_F(CommandLineBatchTest, SelectionWithTheOptimalStockOnlyWithoutAStock) {
    CommandLine.ncGiven = 1;
    CommandLine.batchKind = BatchRunKind::kSelectOnly;
    EXPECT_EQ(RunCommandLineSequence(), 0);
    EXPECT_EQ(RecordingSink::Ids(), std::vector<unsigned>{IDM_NC_SELECT_OPTIMAL_STOCK});

    Fresh();
    CommandLine.selectWithoutOptimalStock = 1;
    RunCommandLineSequence();
    EXPECT_EQ(RecordingSink::Ids(), std::vector<unsigned>{IDM_NC_SELECT});

    Fresh();
    CommandLine = CommandLineSwitches{};
    CommandLine.ncGiven = 1;  // no run mode: plain selection
    RunCommandLineSequence();
    EXPECT_EQ(RecordingSink::Ids(), std::vector<unsigned>{IDM_NC_SELECT});
}

TEST_F(CommandLineBatchTest, BatchRunsStopOnAFailedLoadOrAnAlarmedSelection) {
    Batch(BatchRunKind::kResultUnseen);
    Script.loadResult = 0;
    EXPECT_EQ(RunCommandLineSequence(), 1);
    EXPECT_EQ(RecordingSink::Ids(), std::vector<unsigned>{IDM_STOCK_READ});

    // Run mode 2 goes on without the stock.
    Fresh();
    Batch(BatchRunKind::kReal);
    RunCommandLineSequence();
    EXPECT_EQ(RecordingSink::Ids().size(), 4u);

    Fresh();
    Batch(BatchRunKind::kResultUnseen);
    Script.loadResult = 1;
    Script.selectionError = 101;
    EXPECT_EQ(RunCommandLineSequence(), 1);
    EXPECT_EQ(RecordingSink::Ids(), (std::vector<unsigned>{IDM_STOCK_READ, IDM_NC_SELECT}));
    EXPECT_EQ(Record.donePosts, 1);
}

TEST_F(CommandLineBatchTest, ReportModesSendTheReportAndStopAfterIt) {
    // -V5 without a run: a silent report, then the end.
    CommandLine.ncGiven = 1;
    CommandLine.reportMode = 5;
    EXPECT_EQ(RunCommandLineSequence(), 1);
    ASSERT_EQ(RecordingSink::Ids(), (std::vector<unsigned>{IDM_NC_SELECT, IDM_NC_REPORT}));
    EXPECT_EQ(Record.commands[1].lparam, 1);
    EXPECT_EQ(Record.commands[1].reportMode, 5);
    EXPECT_EQ(CommandLine.reportMode, 5);  // the command line's mode is kept

    // -V with -X2: shown in the viewer (lparam 0), then the cut.
    Fresh();
    Batch(BatchRunKind::kReal);
    CommandLine.reportMode = 1;
    RunCommandLineSequence();
    ASSERT_EQ(RecordingSink::Ids(),
              (std::vector<unsigned>{IDM_STOCK_READ, IDM_NC_SELECT, IDM_NC_REPORT, IDM_CUT_REAL,
                                     IDM_STOCK_SAVE}));
    EXPECT_EQ(Record.commands[2].lparam, 0);

    // -V with -X5: silent; a report that raised alarms ends the batch.
    Fresh();
    Batch(BatchRunKind::kResultLogged);
    CommandLine.reportMode = 1;
    Script.reportError = 4;
    EXPECT_EQ(RunCommandLineSequence(), 1);
    ASSERT_EQ(RecordingSink::Ids(),
              (std::vector<unsigned>{IDM_STOCK_READ, IDM_NC_SELECT, IDM_NC_REPORT}));
    EXPECT_EQ(Record.commands[2].lparam, 1);

    // A selection with alarms gets no report.
    Fresh();
    Batch(BatchRunKind::kReal);
    CommandLine.reportMode = 1;
    Script.selectionError = 7;
    RunCommandLineSequence();
    EXPECT_EQ(RecordingSink::Ids(),
              (std::vector<unsigned>{IDM_STOCK_READ, IDM_NC_SELECT, IDM_CUT_REAL, IDM_STOCK_SAVE}));
}

TEST_F(CommandLineBatchTest, AnAbortedBatchRunSavesNothingAndClosesTheLog) {
    Batch(BatchRunKind::kResultUnseen);
    Script.runEnd = kCutAborted;
    EXPECT_EQ(RunCommandLineSequence(), 1);
    EXPECT_EQ(RecordingSink::Ids(),
              (std::vector<unsigned>{IDM_STOCK_READ, IDM_NC_SELECT, IDM_CUT_RESULT}));
    EXPECT_EQ(Record.donePosts, 1);
    EXPECT_EQ(LogFile.stream, nullptr);
    CloseLogFile();
    EXPECT_NE(testing::ReadWholeFile(scratch.At("mirexa.log")).find("Cutting aborted"),
              std::string::npos);
}

TEST_F(CommandLineBatchTest, AStopOptionIsIgnoredWithOneLogLine) {
    Batch(BatchRunKind::kResultUnseen);
    Controller.stopOption = 3;
    RunCommandLineSequence();
    EXPECT_EQ(Controller.stopOption, 0);
    CloseLogFile();
    const std::string logged = testing::ReadWholeFile(scratch.At("mirexa.log"));
    EXPECT_NE(logged.find("STOP OPTION ignored"), std::string::npos);
    EXPECT_EQ(logged.find("STOP OPTION ignored"), logged.rfind("STOP OPTION ignored"));
}

TEST_F(CommandLineBatchTest, HeadlessTheProcessEndsWithTheThreadWithOneDone) {
    ASSERT_EQ(GetPlatformBackend(), PlatformBackend::Headless);
    Batch(BatchRunKind::kReal);  // run mode 2 leaves the window open: headless, DONE still comes
    AutomationThreadProc();
    EXPECT_EQ(Record.donePosts, 1);

    Fresh();
    CommandLine = CommandLineSwitches{};
    CommandLine.macroGiven = 1;
    DefinitionFiles.macroFile = scratch.Write("x.mac", "LOAD_WORK a.dme\nEXIT\n");
    AutomationThreadProc();
    EXPECT_EQ(RecordingSink::Ids(), std::vector<unsigned>{IDM_STOCK_READ});
    EXPECT_EQ(Record.donePosts, 1);
}

TEST(AutomationExitTest, ExitCodeOfAbortsFailuresAndCompletedWork) {
    BatchFailureCode.store(0);
    AbortSignalReceived.store(0);
    EXPECT_EQ(ChooseProgramExitCode(0), 0);
    EXPECT_EQ(ChooseProgramExitCode(-1), -1);
    BatchFailureCode.store(kBatchExitFileError);
    EXPECT_EQ(ChooseProgramExitCode(0), 2);
    EXPECT_EQ(ChooseProgramExitCode(-1), -1);
    AbortSignalReceived.store(SIGTERM);
    EXPECT_EQ(ChooseProgramExitCode(0), -1);
    BatchFailureCode.store(0);
    AbortSignalReceived.store(0);
    // A failure outside automatic mode was shown to the user: the exit code stays.
    AutomaticMode.store(0);
    RecordBatchFailure("not logged");
    EXPECT_EQ(BatchFailureCode.load(), 0);
}

TEST(AutomationExitTest, SignalsRaiseTheAbortRequest) {
    // The test program may have been started with SIGINT ignored (in the background of a
    // script), which the handlers leave alone: it starts here at its default.
    struct sigaction byDefault = {};
    struct sigaction started = {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ASSERT_EQ(sigaction(SIGINT, &byDefault, &started), 0);
    std::atomic<std::int32_t> abortRequest{0};
    AbortSignalReceived.store(0);
    ASSERT_EQ(InstallAbortSignalHandlers(&abortRequest), 1);
    std::raise(SIGTERM);
    EXPECT_EQ(AbortSignalReceived.load(), SIGTERM);
    EXPECT_EQ(abortRequest.load(), 1);
    abortRequest.store(0);
    std::raise(SIGINT);
    EXPECT_EQ(AbortSignalReceived.load(), SIGINT);
    EXPECT_EQ(abortRequest.load(), 1);
    RestoreAbortSignalHandlers();
    AbortSignalReceived.store(0);
    sigaction(SIGINT, &started, nullptr);
}

// Once the automation is over and the window stays for the user, SIGTERM ends the program as it
// ends any window; a batch that posted its end keeps the handlers until the program ends.
TEST(AutomationExitTest, AWindowLeftToTheUserGetsTheSignalsBack) {
    auto handler = [] {
        struct sigaction current = {};
        sigaction(SIGTERM, nullptr, &current);
        return current.sa_handler;
    };
    const auto before = handler();
    std::atomic<std::int32_t> abortRequest{0};
    AbortSignalReceived.store(0);
    for (const int donePosted : {1, 0}) {
        ASSERT_EQ(InstallAbortSignalHandlers(&abortRequest), 1);
        ResetAutomationRun();
        AutomationRun.donePosted = donePosted;
        HandBackAbortSignals();
        EXPECT_EQ(handler() == before, donePosted == 0) << donePosted;
        RestoreAbortSignalHandlers();
    }
    ResetAutomationRun();
}

// A SIGTERM that came after the work chose to leave the window to the user, before the handlers
// were handed back, ends the program as SIGTERM ends any window instead of being swallowed.
TEST(AutomationExitDeathTest, ASignalCaughtWhileTheWindowIsHandedOverEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atomic<std::int32_t> abortRequest{0};
            AbortSignalReceived.store(0);
            InstallAbortSignalHandlers(&abortRequest);
            ResetAutomationRun();
            std::raise(SIGTERM);
            HandBackAbortSignals();
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGTERM), "");
}

TEST(AutomationHeadlessTest, HeadlessChoiceMessageBoxesAndViewers) {
    EXPECT_EQ(ChooseHeadlessBackend(0, 0), 1);
    EXPECT_EQ(ChooseHeadlessBackend(1, 1), 1);
    EXPECT_EQ(ChooseHeadlessBackend(1, 0), 0);
    // Silent work never asks for a display; other work takes the window when there is one; a
    // display named that does not answer refuses every start that wanted the window; without
    // any display named, work runs unattended, and a start with nothing to do needs the window.
    const struct {
        int silent, work, display, named;
        ProgramWindowChoice choice;
    } starts[] = {
        {1, 1, 1, 1, {0, 0, 0, 0}}, {1, 1, 0, 0, {0, 0, 0, 0}}, {1, 0, 0, 1, {0, 0, 0, 0}},
        {0, 1, 1, 1, {1, 0, 0, 0}}, {0, 0, 1, 1, {1, 0, 0, 0}}, {0, 1, 0, 0, {0, 1, 0, 0}},
        {0, 0, 0, 0, {0, 0, 1, 0}}, {0, 1, 0, 1, {0, 0, 0, 1}}, {0, 0, 0, 1, {0, 0, 0, 1}},
    };
    for (const auto& s : starts) {
        const ProgramWindowChoice c = ChooseProgramWindow(s.silent, s.work, s.display, s.named);
        SCOPED_TRACE(std::to_string(s.silent) + std::to_string(s.work) + std::to_string(s.display) +
                     std::to_string(s.named));
        EXPECT_EQ(c.realWindow, s.choice.realWindow);
        EXPECT_EQ(c.noDisplay, s.choice.noDisplay);
        EXPECT_EQ(c.refused, s.choice.refused);
        EXPECT_EQ(c.displayUnreachable, s.choice.displayUnreachable);
    }
    // In the window, a macro, run mode 5 and report mode 5 run without a user.
    CommandLineSwitches o;
    EXPECT_EQ(WindowWorkIsUnattended(o), 0);
    o.batchKind = BatchRunKind::kResult;
    o.reportMode = 1;
    EXPECT_EQ(WindowWorkIsUnattended(o), 0);
    for (std::int32_t CommandLineSwitches::*field :
         {&CommandLineSwitches::macroGiven, &CommandLineSwitches::batchRun}) {
        CommandLineSwitches one;
        one.*field = 1;
        EXPECT_EQ(WindowWorkIsUnattended(one), 1);
    }
    o.reportMode = 5;
    EXPECT_EQ(WindowWorkIsUnattended(o), 1);

    testing::ScratchDirectory scratch;
    testing::ScopedLogDirectory log(scratch.Path());
    const int automatic = AutomaticMode.load();
    const int suppressed = DrawingSuppressed.load();
    ApplyHeadlessAutomation();
    EXPECT_EQ(AutomaticMode.load(), 1);
    EXPECT_EQ(DrawingSuppressed.load(), 1);
    // Nobody answers: the default answer, and the question in the log.
    EXPECT_EQ(ShowMessageBox(nullptr, "Replace the stock?", "Q", MBX_YESNO | MBX_DEFBUTTON2),
              MBX_IDNO);
    EXPECT_EQ(OpenReportInViewer("/out/report.txt"), 1);
    SetMessageBoxResponder({});
    AutomaticMode.store(automatic);
    DrawingSuppressed.store(suppressed);
    CloseLogFile();
    const std::string logged = testing::ReadWholeFile(scratch.At("mirexa.log"));
    EXPECT_NE(logged.find("(0) - Replace the stock?"), std::string::npos);
    EXPECT_NE(logged.find("/out/report.txt"), std::string::npos);
}

// The program's hooks between a real automation thread and this thread as the user-interface
// thread: calls and commands run here, while the other thread waits.
MessageResult RecordingMainProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                     MessageLParam lparam);
std::vector<std::pair<unsigned, std::thread::id>> mainCommands;

MessageResult RecordingMainProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                     MessageLParam lparam) {
    if (message == WM_COMMAND) {
        mainCommands.emplace_back(static_cast<unsigned>(wparam), std::this_thread::get_id());
        return 0;
    }
    if (message == WM_AUTOMATION_DONE) {
        mainCommands.emplace_back(WM_AUTOMATION_DONE, std::this_thread::get_id());
        return 0;
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

TEST(AutomationCallWindowTest, CallsRunOnTheWindowThreadUntilTheMainWindowGoes) {
    mainCommands.clear();
    WindowHandle main = CreatePlatformWindow({.procedure = RecordingMainProcedure});
    ASSERT_NE(main, nullptr);
    MainWindow.store(main);
    ASSERT_EQ(OpenAutomationCallWindow(), 1);
    ResetAutomationRun();

    std::atomic<int> finished{0};
    std::thread::id callThread;
    int sentAfterClose = -1;
    std::thread automation([&] {
        RunOnMainThread([&] { callThread = std::this_thread::get_id(); });
        SendAutomationCommand(IDM_CUT_REAL, 0);
        PostAutomationDone();
        // The test closes the main window on DONE; then nothing more reaches it.
        while (IsPlatformWindow(MainWindow.load())) {
            std::this_thread::yield();
        }
        sentAfterClose = SendAutomationCommand(IDM_NC_REPORT, 0);
        finished.store(1);
    });
    WindowMessage message;
    const bool ended = testing::AwaitCondition(
        [&] {
            while (PeekWindowMessage(&message, PM_REMOVE)) {
                DispatchWindowMessage(message);
                if (message.message == WM_AUTOMATION_DONE) {
                    MainWindow.store(nullptr);
                    DestroyPlatformWindow(main);
                }
            }
            return finished.load() != 0;
        },
        std::chrono::microseconds(0));
    if (!ended) {
        ADD_FAILURE() << "waited in vain for the automation thread's end (done "
                      << (MainWindow.load() == nullptr ? "came)" : "never came)");
        if (MainWindow.load() != nullptr) {
            MainWindow.store(nullptr);  // the automation thread goes on to its end
            DestroyPlatformWindow(main);
        }
    }
    automation.join();
    CloseAutomationCallWindow();

    EXPECT_EQ(callThread, std::this_thread::get_id());
    ASSERT_EQ(mainCommands.size(), 2u);
    EXPECT_EQ(mainCommands[0].first, IDM_CUT_REAL);
    EXPECT_EQ(mainCommands[0].second, std::this_thread::get_id());
    EXPECT_EQ(mainCommands[1].first, WM_AUTOMATION_DONE);
    EXPECT_EQ(sentAfterClose, 0);
    EXPECT_EQ(AutomationRun.windowGone, 1);
}

}  // namespace
}  // namespace mirexa
