// The interference report in both forms and the limit logs, byte for byte against texts written
// by hand from the report formats; opening, closing and showing; unwritable directories.
#include "simulation/interference_reports.h"

#include <gtest/gtest.h>

#include <string>

#include "config/settings_define.h"
#include "config/tool_tables.h"
#include "nc/nc_line_source.h"
#include "nc/nc_session.h"
#include "run_report_support.h"

namespace mirexa {
namespace {

using testing::Hooks;

ReportBlock MainBlock(int line, const char* text) {
    ReportBlock block;
    block.mainLineNumber = line;
    block.ncLine = text;
    return block;
}

ReportBlock SubprogramBlock(const char* name, int counter, const char* text) {
    ReportBlock block;
    block.mainLineNumber = 99;
    block.inSubprogram = 1;
    block.subprogramName = name;
    block.subprogramLine = counter;
    block.ncLine = text;
    return block;
}

class InterferenceReportTest : public testing::RunReportTest {
protected:
    // Records kinds as a step's decision would, for the first form.
    void Record(std::initializer_list<int> kinds) {
        for (const int kind : kinds) {
            RecordInterferenceKind(reports_.kinds, kind);
        }
    }
};

TEST_F(InterferenceReportTest, FirstFormEntriesOfAMainBlockAndASubprogramBlock) {
    Record({kKindRapid});
    EXPECT_EQ(WriteInterferenceReport(reports_, MainBlock(12, "G00X50.Y25.Z15.\r\n")), 1);
    EXPECT_EQ(reports_.kinds.eventCount.load(), kEventWritten);
    // The later moves of the same block find the event written: nothing more, no second sound.
    EXPECT_EQ(WriteInterferenceReport(reports_, MainBlock(12, "G00X50.Y25.Z15.\r\n")), 0);
    EXPECT_EQ(Hooks.Take(),
              (std::vector<std::string>{"kind RAPID(G00)干渉", "toolpanel", "sound SystemHand"}));
    // The next block: the interpreter clears the count.
    reports_.kinds.eventCount = kNoEvent;
    Record({kKindOverLength, KindOfStructurePair(kArborVice), KindOfStructurePair(kArborTable),
            kKindAttachment});
    UiLanguage = 1;
    WriteInterferenceReport(reports_, SubprogramBlock("O1000", 3, "G01X10.\n"));
    EXPECT_EQ(CloseInterferenceFile(reports_, MainBlock(13, "M30\n")), 1);
    // The file written by hand from the report's format.
    EXPECT_EQ(Read("interference.txt"),
              testing::ReadWholeFile(std::string(MIREXA_TEST_DATA) +
                                     "/simulation/interference_example.txt"));
    EXPECT_EQ(Hooks.Take(),
              (std::vector<std::string>{"kind OVER LENGTH", "toolpanel", "sound SystemHand",
                                        "viewer " + Path("interference.txt")}));
    EXPECT_EQ(reports_.kinds.eventCount.load(), kNoEvent);
    EXPECT_EQ(reports_.interference.stream, nullptr);
}

TEST_F(InterferenceReportTest, EveryKindInReportOrderAndAGroupWithNothingBefore) {
    for (int kind = 0; kind < kNamedKindCount; ++kind) {
        RecordInterferenceKind(reports_.kinds, kind);
    }
    EXPECT_EQ(BuildFirstFormKindList(reports_.kinds),
              "RAPID(G00) + ARBOR + OVER LENGTH + OVER CHIP + TAPER + TOO FAST + SPINDLE + VICE + "
              "TABLE2 + TABLE1 + TABLE + BASIC + ARBORvsVICE,TABLE2,TABLE1,TABLE,BASIC + "
              "HEAD2vsWORK,VICE,TABLE,BASIC + HEAD1vsWORK,VICE,TABLE1,TABLE,BASIC + "
              "HEADvsWORK,VICE,TABLE2,TABLE1,TABLE,BASIC");
    ResetInterferenceKinds(reports_.kinds);
    Record({KindOfStructurePair(kHead1Table1), KindOfStructurePair(kHeadBasic), kKindAttachment});
    EXPECT_EQ(BuildFirstFormKindList(reports_.kinds), "HEAD1vsTABLE1 + HEADvsBASIC");
}

TEST_F(InterferenceReportTest, LongLinesAndLineEndsGiveOneLineEndEach) {
    const std::string longLine(1023, 'X');
    Record({kKindTaper});
    WriteInterferenceReport(reports_, MainBlock(1, longLine.c_str()));
    reports_.kinds.eventCount = kNoEvent;
    Record({kKindSpindle});
    WriteInterferenceReport(reports_, SubprogramBlock("O7", 2, "G01Z-1.\r\r\n"));
    reports_.kinds.eventCount = kNoEvent;
    Record({kKindBasic});
    WriteInterferenceReport(reports_, MainBlock(3, nullptr));
    CloseInterferenceFile(reports_, MainBlock(3, nullptr));
    EXPECT_EQ(Read("interference.txt"),
              "<<< INTERFERENCE INFORMATION >>>\n--------------\nTAPER\n1:" + longLine +
                  "\n\nSPINDLE\nO7:2:G01Z-1.\n\nBASIC\n3:\n");
}

TEST_F(InterferenceReportTest, CloseWritesAnUnwrittenEventAndShowsNothingWhenEmpty) {
    EXPECT_EQ(CloseInterferenceFile(reports_, MainBlock(5, "G01\n")), 0);
    EXPECT_TRUE(Hooks.Take().empty());
    Settings.sound = 0;
    Record({kKindTable2});
    AutomaticMode = 1;  // nobody there: the log names the report
    EXPECT_EQ(CloseInterferenceFile(reports_, MainBlock(5, "G01\n")), 1);
    EXPECT_EQ(Read("interference.txt"),
              "<<< INTERFERENCE INFORMATION >>>\n--------------\nTABLE2\n5:G01\n");
    EXPECT_EQ(Hooks.Take(), std::vector<std::string>{"kind TABLE2干渉"});
    EXPECT_NE(LogText().find("Report written: " + Path("interference.txt") + "\n"),
              std::string::npos);
}

// The second form: the user's marker file, one block line and several step lines.
class SecondFormReportTest : public InterferenceReportTest {
protected:
    void SetUp() override {
        InterferenceReportTest::SetUp();
        Checks.heightCheck = 3;
        Checks.structurePairs[kArborVice] = 2;
        Checks.structurePairs[kArborTable] = 2;
        Checks.structurePairs[kHeadWork] = 2;
        Checks.structurePairs[kToolBasic] = 2;
        UpdateStopOnCheckFlag();
    }
    // One interfering step as the simulation thread handles it: the report line, the decision.
    void Step(const ReportBlock& block, const InterferenceStep& step, int i, int n) {
        const std::string line = std::to_string(i) + "/" + std::to_string(n) +
                                 ":X1.000000Y2.000000Z3.000000B90.000000C0.000000\n";
        WriteInterferenceStepLine(reports_, block, step, Checks, line.c_str());
        RecordInterferenceBreak(reports_.kinds, step, Checks);
    }
};

TEST_F(SecondFormReportTest, StepLinesUnderTheirBlockLines) {
    scratch_.Write("interference2.txt", "");  // left empty by the user
    InterferenceStep step;
    step.contact = step.stockAvailable = 1;
    step.overLength = 1;
    step.structure[kArborVice] = 1;
    const ReportBlock first = MainBlock(7, "G01X1.\r\n");
    Step(first, step, 1, 3);
    step.structure[kArborTable] = 1;
    step.structure[kHeadWork] = 1;
    Step(first, step, 2, 3);
    // A BASIC pair is never listed: a step line with an empty kind list.
    InterferenceStep basic;
    basic.structure[kToolBasic] = 1;
    Step(first, basic, 3, 3);
    EXPECT_EQ(WriteInterferenceReport(reports_, first), 1);
    // The same counter in a subprogram is another block; so is the next main line.
    reports_.kinds.eventCount = kNoEvent;
    Step(SubprogramBlock("O2000", 7, "G02X5.\n"), step, 1, 1);
    Step(MainBlock(8, "G00Z5.\n"), basic, 1, 1);
    EXPECT_EQ(CloseInterferenceFile(reports_, MainBlock(8, "G00Z5.\n")), 1);
    const char* xyz = "X1.000000Y2.000000Z3.000000B90.000000C0.000000\n";
    EXPECT_EQ(Read("interference2.txt"),
              std::string("<<< INTERFERENCE2 INFORMATION >>>\n--------------\n7:G01X1.\n") +
                  "LENGTH+ARBORvsVICE:1/3:" + xyz +
                  "LENGTH+ARBORvsVICE,TABLE+HEADvsWORK:2/3:" + xyz + ":3/3:" + xyz +
                  "\nO2000:7:G02X5.\nLENGTH+ARBORvsVICE,TABLE+HEADvsWORK:1/1:" + xyz +
                  "\n8:G00Z5.\n:1/1:" + xyz);
    EXPECT_FALSE(std::filesystem::exists(Path("interference.txt")));
    const std::vector<std::string> calls = Hooks.Take();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "viewer " + Path("interference2.txt"));
}

TEST_F(SecondFormReportTest, EveryKindOfTheSecondFormInItsOrder) {
    CheckSettings all;
    all.interference = 2;
    all.arborCheck = 4;
    all.heightCheck = 3;
    all.chipWidthCheck = 3;
    all.spindleCheck = 2;
    InterferenceStep step;
    step.contact = 1;
    step.tooFast = 1;
    step.overLength = step.overChip = 1;
    step.arbor = 1;
    step.attachment = 1;
    step.spindleStopped = 1;
    for (int pair = 0; pair < kStructurePairCount; ++pair) {
        all.structurePairs[pair] = 2;
        step.structure[pair] = 1;
    }
    EXPECT_EQ(BuildSecondFormKindList(step, all),
              "TOO FAST+LENGTH+CHIP+ARBOR+SPINDLE+VICE+TABLE+TABLE1+TABLE2+"
              "ARBORvsVICE,TABLE,TABLE1,TABLE2+HEADvsWORK,VICE,TABLE,TABLE1,TABLE2+"
              "HEAD1vsWORK,VICE,TABLE,TABLE1+HEAD2vsWORK,VICE,TABLE");
    step.rapid = 1;
    step.taper = 1;
    all.structurePairs[kToolVice] = 1;  // stop choices are not listed
    EXPECT_EQ(BuildSecondFormKindList(step, all).substr(0, 41),
              "RAPID(G00)+LENGTH+CHIP+TAPER+SPINDLE+TABL");
    // Without contact the rapid, too-fast and spindle kinds drop out.
    step.contact = 0;
    EXPECT_EQ(BuildSecondFormKindList(step, all).substr(0, 23), "LENGTH+CHIP+TAPER+TABLE");
}

TEST_F(SecondFormReportTest, TheUsersFileIsRewrittenOnlyForARecordedInterference) {
    scratch_.Write("interference2.txt", "the user's old text\n");
    InterferenceStep stopOnly;
    stopOnly.structure[kHeadVice] = 1;
    Checks.structurePairs[kHeadVice] = 1;
    EXPECT_EQ(OpenInterference2Report(reports_, stopOnly, Checks), 0);
    EXPECT_EQ(Read("interference2.txt"), "the user's old text\n");
    InterferenceStep recorded;
    recorded.structure[kHeadWork] = 1;
    EXPECT_EQ(OpenInterference2Report(reports_, recorded, Checks), 1);
    CloseInterferenceFile(reports_, MainBlock(1, "\n"));
    EXPECT_EQ(Read("interference2.txt"), "<<< INTERFERENCE2 INFORMATION >>>\n--------------");
}

TEST_F(SecondFormReportTest, WithoutTheMarkerFileTheFirstFormTakesTheEvents) {
    scratch_.MakeDirectory("interference2.txt/inside");  // a directory is no marker
    FileLocations.currentDirectory = scratch_.At("work");
    scratch_.MakeDirectory("work");
    InterferenceStep step;
    step.structure[kHeadWork] = 1;
    Step(MainBlock(4, "G01Y3.\n"), step, 1, 2);
    EXPECT_EQ(reports_.interference.stream, nullptr);
    EXPECT_EQ(reports_.interference.secondForm, 0);
    scratch_.MakeDirectory("work/interference2.txt");
    Step(MainBlock(4, "G01Y3.\n"), step, 2, 2);
    EXPECT_EQ(reports_.interference.stream, nullptr);
    WriteInterferenceReport(reports_, MainBlock(4, "G01Y3.\n"));
    CloseInterferenceFile(reports_, MainBlock(4, "G01Y3.\n"));
    EXPECT_EQ(Read("work/interference.txt"),
              "<<< INTERFERENCE INFORMATION >>>\n--------------\nHEADvsWORK\n4:G01Y3.\n");
}

TEST_F(SecondFormReportTest, AnUnwritableDirectoryWritesNothingAndShowsNothing) {
    FileLocations.currentDirectory = scratch_.At("missing/dir");
    InterferenceStep step;
    step.structure[kHeadWork] = 1;
    Step(MainBlock(4, "G01Y3.\n"), step, 1, 1);
    EXPECT_EQ(WriteInterferenceReport(reports_, MainBlock(4, "G01Y3.\n")), 1);
    EXPECT_EQ(CloseInterferenceFile(reports_, MainBlock(4, "G01Y3.\n")), 0);
    for (const std::string& call : Hooks.Take()) {
        EXPECT_EQ(call.rfind("viewer", 0), std::string::npos) << call;
    }
    EXPECT_FALSE(std::filesystem::exists(scratch_.At("missing")));
}

TEST_F(InterferenceReportTest, TheCurrentBlockIsTheInnermostLevelOfTheLastLineRead) {
    const NcLineBuffer savedLine = RunSession.line;
    const SubprogramStack savedStack = RunSession.subprograms;
    RunSession.line = NcLineBuffer{};
    RunSession.subprograms = SubprogramStack{};
    std::snprintf(RunSession.line.text, sizeof RunSession.line.text, "G01X5.\n");
    RunSession.line.mainLineNumber = 40;
    ReportBlock block = GetCurrentReportBlock(RunSession);
    EXPECT_EQ(block.inSubprogram, 0);
    EXPECT_EQ(block.mainLineNumber, 40);
    EXPECT_STREQ(block.ncLine, "G01X5.\n");
    RunSession.subprograms.depth = 2;
    std::snprintf(RunSession.subprograms.name[0], kSubprogramNameCapacity, "O100");
    std::snprintf(RunSession.subprograms.name[1], kSubprogramNameCapacity, "O200");
    RunSession.subprograms.lineCounter[0] = 7;
    RunSession.subprograms.lineCounter[1] = 3;
    block = GetCurrentReportBlock(RunSession);
    EXPECT_EQ(block.inSubprogram, 1);
    EXPECT_STREQ(block.subprogramName, "O200");
    EXPECT_EQ(block.subprogramLine, 3);
    RunSession.line = savedLine;
    RunSession.subprograms = savedStack;
}

// Limit logs of tools 1 (cross-section, type 11), 2 (removal rate, type 12) and 3 (no log).
class LimitLogTest : public testing::RunReportTest {
protected:
    void SetUp() override {
        RunReportTest::SetUp();
        ASSERT_EQ(AllocToolTables(10), 1);
        ToolTableSet.loadLimits[1].type = kToolLoadSectionLog;
        ToolTableSet.loadLimits[2].type = kToolLoadRemovalLog;
        ToolTableSet.loadLimits[3].type = kToolLoadSectionAlarm;
    }
    void TearDown() override {
        FreeToolTables();
        RunReportTest::TearDown();
    }
};

TEST_F(LimitLogTest, AnEmptyLogIsCreatedAndNotShown) {
    EXPECT_EQ(OpenLimitFile(reports_, 1), 1);
    EXPECT_EQ(CloseLimitLog(reports_, 1), 0);
    EXPECT_TRUE(std::filesystem::exists(Path("limitp.txt")));
    EXPECT_EQ(Read("limitp.txt"), "");
    EXPECT_TRUE(Hooks.Take().empty());
    EXPECT_EQ(OpenLimitFile(reports_, 3), 0);
    EXPECT_EQ(OpenLimitFile(reports_, 77), 0);
    EXPECT_EQ(reports_.limitLog.stream, nullptr);
}

TEST_F(LimitLogTest, LinesAreWrittenAsGivenAndTheLogIsShownOnce) {
    const char* a = "12:X1.000000Y2.000000Z3.000000 0.000000 0.000000:4.500000(A)\n";
    const char* b = "O100:4:X0.000000Y0.000000Z-1.000000A0.000000B0.000000:5.000000(A)\n";
    WriteLimitLogLine(reports_, 1, a);  // opens the log for the tool
    WriteLimitLogLine(reports_, 1, b);
    EXPECT_EQ(reports_.limitLog.lineCount, 2);
    EXPECT_EQ(CloseLimitLog(reports_, 1), 1);
    EXPECT_EQ(Read("limitp.txt"), std::string(a) + b);
    EXPECT_EQ(Hooks.Take(), std::vector<std::string>{"viewer " + Path("limitp.txt")});
    // The next run logs nothing: the previous lines are not shown again.
    EXPECT_EQ(OpenLimitFile(reports_, 3), 0);
    EXPECT_EQ(CloseLimitLog(reports_, 1), 0);
    EXPECT_TRUE(Hooks.Take().empty());
    // A tool without a log writes nothing.
    WriteLimitLogLine(reports_, 3, a);
    EXPECT_EQ(reports_.limitLog.lineCount, 0);
    EXPECT_EQ(CloseLimitLog(reports_, 3), 0);
}

TEST_F(LimitLogTest, TheRemovalRateLogIsShownOnlyWhileTheLastToolStillLogsIt) {
    WriteLimitLogLine(reports_, 2, "3:X0.000000Y0.000000Z0.000000 0.000000 0.000000:9.000000(A)\n");
    EXPECT_EQ(reports_.limitLog.kind, kLimitLogRemoval);
    EXPECT_EQ(CloseLimitLog(reports_, 3), 0);
    EXPECT_TRUE(Hooks.Take().empty());
    WriteLimitLogLine(reports_, 2, "3:X0.000000Y0.000000Z0.000000 0.000000 0.000000:9.000000(A)\n");
    AutomaticMode = 1;  // shown in every mode: the log names it when nobody is there
    EXPECT_EQ(CloseLimitLog(reports_, 2), 1);
    EXPECT_TRUE(Hooks.Take().empty());
    EXPECT_NE(LogText().find("Report written: " + Path("limitsp.txt")), std::string::npos);
}

TEST_F(LimitLogTest, ReopeningClosesTheOpenLogAndAnUnwritableDirectoryCountsNothing) {
    WriteLimitLogLine(reports_, 1, "1:a\n");
    EXPECT_EQ(OpenLimitFile(reports_, 2), 1);  // a tool change to another logging tool at run start
    WriteLimitLogLine(reports_, 2, "2:b\n");
    EXPECT_EQ(CloseLimitLog(reports_, 2), 1);
    EXPECT_EQ(Read("limitp.txt"), "1:a\n");
    EXPECT_EQ(Read("limitsp.txt"), "2:b\n");
    FileLocations.currentDirectory = scratch_.At("missing/dir");
    WriteLimitLogLine(reports_, 1, "1:c\n");
    EXPECT_EQ(reports_.limitLog.lineCount, 0);
    EXPECT_EQ(CloseLimitLog(reports_, 1), 0);
}

}  // namespace
}  // namespace mirexa
