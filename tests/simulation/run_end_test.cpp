// The end of a run: the order of an aborted end and of a normal or alarm end, the alarm code and
// its message, the rewind to the start point with the work offsets, the reports closed with the
// block the run ended in, and the hooks that connect the thread to the decisions and reports.
#include "simulation/run_end.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/offset_tables.h"
#include "config/settings_define.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"
#include "platform/message_box.h"
#include "run_report_support.h"
#include "simulation/interference_flags.h"
#include "simulation/interference_reports.h"
#include "simulation/run_control.h"
#include "simulation/run_timer.h"
#include "simulation/simulation_hooks.h"
#include "stock/stock_model.h"
#include "support/test_cutting_run.h"

namespace mirexa {
namespace {

using testing::Hooks;

MotionPosition Position(double x, double y, double z) {
    MotionPosition p;
    p.axis[0] = x;
    p.axis[1] = y;
    p.axis[2] = z;
    return p;
}

class RunEndTest : public testing::RunReportTest {
protected:
    void SetUp() override {
        RunReportTest::SetUp();
        savedLine_ = RunSession.line;
        savedStack_ = RunSession.subprograms;
        std::copy(WorkOffsetTable, WorkOffsetTable + kWorkOffsetEntries, savedOffsets_);
        savedPose_ = RunKinematics.pose;
        savedMotion_ = RunKinematics.motion;
        savedTool_ = RunTools.tool.derivedFrom;
        savedCallbacks_ = SimulationCallbacks;
        savedPath_ = DefinitionFiles.ncProgramFile;
        savedStart_ = Controller.endOfRecord;
        savedIndex_ = RunSession.run.modal.workOffsetIndex;
        GiveRunRequest(TestRun, WindowRunRequest());
        ClearInterferenceFlags(run_->cutting.flags);
        run_->request.session = &RunSession;
        run_->request.stock = CurrentStockSlot();
        start_ = RunStartPoint{};
        reports_.end.workOffsetsSaved = 0;
        DefinitionFiles.ncProgramFile = "/nc/part.nc";
        ASSERT_EQ(AllocToolTables(5), 1);
        ToolTableSet.loadLimits[1].type = kToolLoadSectionLog;
        RunTools.tool.derivedFrom = 1;
        ResetInterpreterState(RunSession);
        RecordUiHooks();
        previousResponder_ = SetMessageBoxResponder([](const MessageBoxRequest& request) {
            Hooks.Add("box " + request.caption + " | " + request.text);
            return MBX_IDOK;
        });
        Hooks.Take();
    }
    void TearDown() override {
        SetMessageBoxResponder(previousResponder_);
        FreeToolTables();
        RunTools.tool.derivedFrom = savedTool_;
        SimulationCallbacks = savedCallbacks_;
        DefinitionFiles.ncProgramFile = savedPath_;
        Controller.endOfRecord = savedStart_;
        std::copy(savedOffsets_, savedOffsets_ + kWorkOffsetEntries, WorkOffsetTable);
        RunSession.run.modal.workOffsetIndex = savedIndex_;
        RunKinematics.pose = savedPose_;
        RunKinematics.motion = savedMotion_;
        RunSession.line = savedLine_;
        RunSession.subprograms = savedStack_;
        ResetInterpreterState(RunSession);
        WindowRun.mode = RunMode::kIdle;
        ClearInterferenceFlags(run_->cutting.flags);
        start_ = RunStartPoint{};
        reports_.end.workOffsetsSaved = 0;
        RunReportTest::TearDown();
    }

    // The interference step of the run's last step, as the stepping hands it to the decisions.
    InterferenceStep CurrentStep() {
        return MakeCurrentInterferenceStep(run_->cutting.flags, RunSession, CurrentStockSlot());
    }

    static void RecordUiHooks() {
        RunUiHooks& ui = RunUiCallbacks;
        ui.drawRunPane = [](int pane, const char* text, int pressed) {
            Hooks.Add(std::string(pressed ? "pressed " : "raised ") + std::to_string(pane) + text);
        };
        ui.restoreArrowCursor = [] { Hooks.Add("arrow"); };
        ui.clearViewSpin = [] { Hooks.Add("spin off"); };
        ui.markStockDirty = [] { Hooks.Add("stock dirty"); };
        ui.redrawMainWindow = [] { Hooks.Add("main window"); };
        ui.drawAxisValuePanes = [] { Hooks.Add("axis values"); };
        ui.redrawView = [] { Hooks.Add("view"); };
        ui.writeAviFrame = [] { Hooks.Add("avi frame"); };
        ui.setMacroBreak = [](int value) { Hooks.Add("macro break " + std::to_string(value)); };
        ui.markAbortedBatchRun = [] { Hooks.Add("exit -1"); };
        ui.stopSound = [] { Hooks.Add("sound off"); };
        ui.playAlarmSound = [] { Hooks.Add("alarm sound"); };
        ui.freeNurbsBuffers = [](NcSession&) { Hooks.Add("nurbs freed"); };
        ui.moveEditorCursor = [] { Hooks.Add("editor"); };
        ui.drawStatusBar = [] { Hooks.Add("status bar"); };
        ui.drawPanelAfterRun = [](int aborted) { Hooks.Add("panel " + std::to_string(aborted)); };
        ui.drawStopModeSelector = [] { Hooks.Add("stop modes"); };
        ui.finishToolLengthReport = [] { Hooks.Add("length report"); };
        ui.stopAviRecording = [] { Hooks.Add("avi stop"); };
        ui.enableMenusAfterRun = [] { Hooks.Add("menus"); };
        ui.closeAlarmFile = [](NcSession&) { Hooks.Add("alarm file"); };
    }

    // A run that stands in a subprogram block with a limit-log line and an unwritten event.
    void RunIntoSubprogram() {
        WriteLimitLogLine(reports_, 1,
                          "3:X0.000000Y0.000000Z0.000000 0.000000 0.000000:2.000000(A)\n");
        RecordInterferenceKind(reports_.kinds, kKindOverChip);
        std::snprintf(RunSession.line.text, sizeof RunSession.line.text, "G01X2.\n");
        RunSession.line.mainLineNumber = 8;
        RunSession.subprograms.depth = 1;
        std::snprintf(RunSession.subprograms.name[0], kSubprogramNameCapacity, "O300");
        RunSession.subprograms.lineCounter[0] = 4;
    }

    NcLineBuffer savedLine_;
    SubprogramStack savedStack_;
    MotionPosition savedOffsets_[kWorkOffsetEntries];
    MachinePose savedPose_;
    MotionRecord savedMotion_;
    int savedTool_ = 0;
    SimulationHooks savedCallbacks_;
    std::string savedPath_;
    char savedStart_ = ' ';
    int savedIndex_ = 1;
    MessageBoxResponder previousResponder_;
    // The window's start point as the run's end reads it.
    RunStartPoint start_;
};

TEST_F(RunEndTest, AnAbortedEndInItsOrder) {
    PrepareCuttingRun(RunSession, reports_);
    run_->mode = RunMode::kRealCutting;
    run_->controls.abortRequest = 1;
    run_->controls.pendingStop = 1;
    run_->controls.lineHeld = 1;
    run_->request.batchRun = 1;
    RunIntoSubprogram();
    EXPECT_EQ(FinishRun(*run_, start_, WindowHandle{}, 1), 0);
    run_->request.batchRun = 0;
    // The reports are shown once the window shows the end: no box about a viewer comes before
    // the last picture (and the last frame of a recording).
    EXPECT_EQ(Hooks.Take(), (std::vector<std::string>{"macro break 1",
                                                      "exit -1",
                                                      "arrow",
                                                      "spin off",
                                                      "axis values",
                                                      "stock dirty",
                                                      "view",
                                                      "sound off",
                                                      "avi frame",
                                                      "pressed 1\tESC",
                                                      "nurbs freed",
                                                      "editor",
                                                      "status bar",
                                                      "panel 1",
                                                      "viewer " + Path("limitp.txt"),
                                                      "alarm file",
                                                      "kind OVER CHIP",
                                                      "toolpanel",
                                                      "sound SystemHand",
                                                      "viewer " + Path("interference.txt"),
                                                      "length report",
                                                      "avi stop",
                                                      "menus",
                                                      "stop modes"}));
    // The event went into the report with the block the run stood in, although the subprogram
    // levels were closed before the report was.
    EXPECT_EQ(Read("interference.txt"),
              "<<< INTERFERENCE INFORMATION >>>\n--------------\nOVER CHIP\nO300:4:G01X2.\n");
    EXPECT_EQ(RunSession.subprograms.depth, 0);
    EXPECT_EQ(run_->mode.load(), RunMode::kIdle);
    EXPECT_EQ(RunSession.line.lineHeld, 0);
    EXPECT_EQ(reports_.end.endInProgress.load(), 0);
    EXPECT_EQ(reports_.limitLog.stream, nullptr);
    EXPECT_EQ(reports_.interference.stream, nullptr);
}

TEST_F(RunEndTest, AnAbortBringsBackTheStartPointAndTheWorkOffsets) {
    WorkOffsetTable[0] = Position(1.0, 0.0, 0.0);
    WorkOffsetTable[1] = Position(100.0, 50.0, -20.0);
    WorkOffsetTable[2] = Position(-300.0, 0.0, 0.0);
    RunSession.run.modal.workOffsetIndex = 1;
    RunKinematics.workOrigin = Position(101.0, 50.0, -20.0);  // the external offset and G54
    const MotionPosition start = Position(0.0, 0.0, 150.0);
    SetRunStartPoint(&start_, start);
    PrepareCuttingRun(RunSession, reports_);
    // The run went on in G55 with an offset changed under it, to a point of its own.
    WorkOffsetTable[1].axis[0] = 999.0;
    RunSession.run.modal.workOffsetIndex = 2;
    const MotionPosition reached = Position(12.0, 34.0, 5.0);
    RunKinematics.pose.program = reached;
    run_->controls.abortRequest = 1;
    FinishRun(*run_, start_, WindowHandle{}, 1);
    for (int axis = 0; axis < 5; ++axis) {
        EXPECT_EQ(RunKinematics.pose.program.axis[axis], start.axis[axis]) << axis;
        EXPECT_EQ(reports_.end.endProgram.axis[axis], reached.axis[axis]) << axis;
    }
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 1);
    EXPECT_EQ(WorkOffsetTable[1].axis[0], 100.0);
    EXPECT_EQ(RunKinematics.workOrigin.axis[0], 101.0);
    EXPECT_EQ(RunKinematics.workOrigin.axis[1], 50.0);
    EXPECT_EQ(RunKinematics.workOrigin.axis[2], -20.0);
}

TEST_F(RunEndTest, AStartPointTakenInAnotherWorkOffsetIsWhereTheMachineReturns) {
    WorkOffsetTable[0] = Position(0.0, 0.0, -0.5);
    WorkOffsetTable[1] = Position(-250.0, -180.0, -320.5);
    RunSession.run.modal.workOffsetIndex = 1;
    RunKinematics.workOrigin = Position(-250.0, -180.0, -321.0);
    SetRunStartPoint(&start_, Position(250.0, 180.0, 521.0));
    // An earlier run ended in G56, which holds no offset: the next run starts there.
    RunSession.run.modal.workOffsetIndex = 3;
    for (const int aborted : {1, 0}) {
        SCOPED_TRACE(aborted ? "abort" : "alarm");
        PrepareCuttingRun(RunSession, reports_);
        run_->mode = RunMode::kResult;
        run_->controls.kept.simulationState = aborted ? 0 : 4;
        RunKinematics.pose.program = Position(50.0, 40.0, -55.0);
        FinishRun(*run_, start_, WindowHandle{}, aborted);
        EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 3);
        const double expected[3] = {0.0, 0.0, 200.5};
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_DOUBLE_EQ(RunKinematics.pose.program.axis[axis], expected[axis]) << axis;
        }
    }
}

TEST_F(RunEndTest, AnAlarmEndShowsItsCodeAndRewinds) {
    UiLanguage = 1;
    SetRunStartPoint(&start_, Position(0.0, 0.0, 100.0));
    PrepareCuttingRun(RunSession, reports_);
    run_->mode = RunMode::kResult;
    run_->controls.kept.simulationState = 4;
    run_->cutting.flags.contact = 1;
    run_->cutting.flags.taper = 1;
    run_->cutting.flags.structure[kHeadVice] = 1;
    RunKinematics.pose.program = Position(5.0, 5.0, 5.0);
    EXPECT_EQ(FinishRun(*run_, start_, WindowHandle{}, 0), 5);
    EXPECT_EQ(
        Hooks.Take(),
        (std::vector<std::string>{
            "panel 0", "stock dirty", "view", "avi frame", "macro break 2", "toolpanel",
            "sound SystemHand",
            "box Tool side (*tapa*) interfered. | Tool side (*tapa*) interfered.\n/nc/part.nc",
            "axis values", "main window", "length report", "alarm file", "toolpanel", "avi stop",
            "menus", "status bar"}));
    EXPECT_EQ(run_->controls.kept.simulationState.load(), 0);
    EXPECT_EQ(run_->controls.kept.toolPanelPendingPaint.load(), 1);
    EXPECT_EQ(run_->mode.load(), RunMode::kIdle);
    EXPECT_EQ(RunKinematics.pose.program.axis[2], 100.0);
    // An empty limit log of the run's tool was made at the start, and is not shown.
    EXPECT_TRUE(std::filesystem::exists(Path("limitp.txt")));
}

TEST_F(RunEndTest, ANormalEndLeavesThePositionAndAnInterpreterErrorIsItsCode) {
    PrepareCuttingRun(RunSession, reports_);
    run_->mode = RunMode::kRealCutting;
    RunKinematics.pose.program = Position(7.0, 8.0, 9.0);
    EXPECT_EQ(FinishRun(*run_, start_, WindowHandle{}, 0), 0);
    EXPECT_EQ(RunKinematics.pose.program.axis[0], 7.0);
    for (const std::string& call : Hooks.Take()) {
        EXPECT_EQ(call.rfind("box", 0), std::string::npos) << call;
    }
    // A program that never reached its start character ends with error 3, logged in a logging
    // run: "(line) - " and the text as data.
    Controller.endOfRecord = '%';
    PrepareCuttingRun(RunSession, reports_);
    RunSession.run.status.started = 0;
    RunSession.line.mainLineNumber = 61;
    run_->request.runLogFlag = 1;
    UiLanguage = 1;
    EXPECT_EQ(FinishRun(*run_, start_, WindowHandle{}, 0), 103);
    EXPECT_EQ(LogText(), "(61) - Start Code(%) is Not Found !");
    PrepareCuttingRun(RunSession, reports_);
    RunSession.run.status.error = 2;
    EXPECT_EQ(FinishRun(*run_, start_, WindowHandle{}, 0), 102);
    PrepareCuttingRun(RunSession, reports_);
    run_->controls.overTravelAxis = 4;
    EXPECT_EQ(FinishRun(*run_, start_, WindowHandle{}, 0), 91);
}

TEST(AlarmCodeTest, FirstMatchWins) {
    int sound = 0;
    InterferenceStep s;
    EXPECT_EQ(ChooseAlarmCode(s, 0, 0, 0, 0, &sound), 6);
    EXPECT_EQ(sound, 1);
    EXPECT_EQ(ChooseAlarmCode(s, 0, 0, 0, 1, &sound), 7);
    s.rapid = 1;
    EXPECT_EQ(ChooseAlarmCode(s, 0, 0, 0, 1, &sound), 1);
    EXPECT_EQ(ChooseAlarmCode(s, 0, 0, 4, 1, &sound), 104);
    EXPECT_EQ(sound, 0);
    EXPECT_EQ(ChooseAlarmCode(s, 0, 1, 4, 1, &sound), 91);
    s.overChip = 1;
    EXPECT_EQ(ChooseAlarmCode(s, 0, 1, 4, 1, &sound), 4);
    s.contact = s.spindleStopped = 1;
    EXPECT_EQ(ChooseAlarmCode(s, 0, 1, 4, 1, &sound), 4);  // SPINDLE CHECK off
    EXPECT_EQ(ChooseAlarmCode(s, 2, 1, 4, 1, &sound), 9);
    s.overLength = 1;
    EXPECT_EQ(ChooseAlarmCode(s, 2, 1, 4, 1, &sound), 3);
    s.arbor = 1;
    EXPECT_EQ(ChooseAlarmCode(s, 2, 1, 4, 1, &sound), 2);
    s.attachment = 1;
    EXPECT_EQ(ChooseAlarmCode(s, 2, 1, 4, 1, &sound), 8);
    s.structure[kHeadBasic] = 1;
    EXPECT_EQ(ChooseAlarmCode(s, 2, 1, 4, 1, &sound), 45);
    s.structure[kToolBasic] = 1;
    EXPECT_EQ(ChooseAlarmCode(s, 2, 1, 4, 1, &sound), 17);
    s.structure[kToolTable] = 1;
    EXPECT_EQ(ChooseAlarmCode(s, 2, 1, 4, 1, &sound), 14);
    s.taper = 1;
    EXPECT_EQ(ChooseAlarmCode(s, 2, 1, 4, 1, &sound), 5);
    EXPECT_EQ(sound, 0);
}

TEST_F(RunEndTest, TheRunsDecisionsRecordWriteAndLog) {
    Checks.structurePairs[kHead2Vice] = 2;
    UpdateStopOnCheckFlag();
    run_->cutting.flags.structure[kHead2Vice] = 1;
    std::snprintf(RunSession.line.text, sizeof RunSession.line.text, "G00Z50.\r\n");
    RunSession.line.mainLineNumber = 3;
    EXPECT_EQ(RecordInterferenceBreak(reports_.kinds, CurrentStep(), Checks), 0);
    EXPECT_NE(reports_.kinds.eventCount.load(), kNoEvent);
    WriteInterferenceStepLine(reports_, GetCurrentReportBlock(RunSession), CurrentStep(), Checks,
                              "1/1:X...\n");  // no marker file: nothing
    run_->controls.kept.toolPanelPendingPaint = 0;
    WriteInterferenceReport(reports_, GetCurrentReportBlock(RunSession), &run_->controls);
    // A later move of the same block.
    WriteInterferenceReport(reports_, GetCurrentReportBlock(RunSession), &run_->controls);
    EXPECT_EQ(run_->controls.kept.simulationState.load(), 0);
    EXPECT_EQ(run_->controls.kept.toolPanelPendingPaint.load(), 1);
    WriteLimitLogLine(reports_, RunTools.tool.derivedFrom, "3:a\n");
    CloseInterferenceFile(reports_, GetCurrentReportBlock(RunSession));
    EXPECT_EQ(CloseLimitLog(reports_, 1), 1);
    EXPECT_EQ(Read("interference.txt"),
              "<<< INTERFERENCE INFORMATION >>>\n--------------\nHEAD2vsVICE\n3:G00Z50.\n");
    EXPECT_EQ(Read("limitp.txt"), "3:a\n");
    // A stop choice ends the run.
    Checks.structurePairs[kHead2Vice] = 1;
    UpdateStopOnCheckFlag();
    EXPECT_EQ(RecordInterferenceBreak(reports_.kinds, CurrentStep(), Checks), 1);
}

// Two runs' reports side by side: what the decisions record, write and log for one run stays in its
// reports and files, and the preparation of the other does not touch them.
TEST_F(RunEndTest, TwoRunsKeepTheirKindsReportsAndLimitLogsApart) {
    ToolTableSet.loadLimits[2].type = kToolLoadRemovalLog;
    Checks.structurePairs[kHead2Vice] = 2;
    UpdateStopOnCheckFlag();
    std::snprintf(RunSession.line.text, sizeof RunSession.line.text, "G01X1.\n");
    RunSession.line.mainLineNumber = 5;
    RunReports& first = reports_;
    RunReports second;
    PrepareCuttingRun(RunSession, first);  // tool 1 logs the cross-section
    RunTools.tool.derivedFrom = 2;         // tool 2 the removal rate
    PrepareCuttingRun(RunSession, second);
    run_->cutting.flags.structure[kHead2Vice] = 1;
    EXPECT_EQ(RecordInterferenceBreak(first.kinds, CurrentStep(), Checks), 0);
    EXPECT_NE(first.kinds.eventCount.load(), kNoEvent);
    EXPECT_EQ(second.kinds.eventCount.load(), kNoEvent);
    EXPECT_EQ(InterferenceKindSetFlag(second.kinds, KindOfStructurePair(kHead2Vice)), 0);
    RunControls secondControls;
    WriteInterferenceReport(second, GetCurrentReportBlock(RunSession),
                            &secondControls);  // no event
    EXPECT_EQ(second.interference.stream, nullptr);
    EXPECT_EQ(secondControls.kept.toolPanelPendingPaint.load(), 0);
    WriteInterferenceReport(first, GetCurrentReportBlock(RunSession), &run_->controls);
    EXPECT_NE(first.interference.stream, nullptr);
    WriteLimitLogLine(second, RunTools.tool.derivedFrom, "5:b\n");
    WriteLimitLogLine(first, RunTools.tool.derivedFrom, "5:a\n");
    EXPECT_EQ(first.limitLog.kind, kLimitLogSection);
    EXPECT_EQ(second.limitLog.kind, kLimitLogRemoval);
    EXPECT_EQ(first.limitLog.lineCount, 1);
    EXPECT_EQ(second.limitLog.lineCount, 1);
    // The second run's end closes and shows its own files only.
    CloseInterferenceFile(second, GetCurrentReportBlock(RunSession));
    EXPECT_EQ(CloseLimitLog(second, 2), 1);
    EXPECT_EQ(second.shown, std::vector<std::string>{Path("limitsp.txt")});
    EXPECT_NE(first.interference.stream, nullptr);
    EXPECT_EQ(first.kinds.eventCount.load(), kEventWritten);
    CloseInterferenceFile(first, GetCurrentReportBlock(RunSession));
    EXPECT_EQ(CloseLimitLog(first, 1), 1);
    EXPECT_EQ(first.shown,
              (std::vector<std::string>{Path("interference.txt"), Path("limitp.txt")}));
    EXPECT_EQ(Read("limitp.txt"), "5:a\n");
    EXPECT_EQ(Read("limitsp.txt"), "5:b\n");
    // A new preparation of the first run leaves the second's list as it stood.
    PrepareCuttingRun(RunSession, first);
    EXPECT_TRUE(first.shown.empty());
    EXPECT_EQ(second.shown.size(), 1u);
    testing::CloseRunReportFiles(second);
}

}  // namespace
}  // namespace mirexa
