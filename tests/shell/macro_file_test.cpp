// Macro files: line and argument reading, the DIFF and EXEC grammars, and whole macros run
// against a recording command sink.
#include "shell/macro_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "config/config_records.h"
#include "config/machine_models.h"
#include "config/tools_file.h"
#include "shell/automation_test_support.h"
#include "support/scoped_log_directory.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

using testing::Record;
using testing::RecordingSink;
using testing::Script;
using testing::SentCommand;

TEST(MacroLineTest, KeywordsMatchWithoutCaseOverTheirOwnLength) {
    for (const MacroKeyword& keyword : MacroKeywords) {
        std::string lower = keyword.text;
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        EXPECT_EQ(ParseMacroLine(lower).command, keyword.command) << lower;
        EXPECT_EQ(ParseMacroLine(std::string(keyword.text) + " x").command, keyword.command);
    }
    // Prefix matching: whatever follows the keyword's own length.
    EXPECT_EQ(ParseMacroLine("EXITNOW").command, MacroCommand::kExit);
    EXPECT_EQ(ParseMacroLine("Cut(Real) now").command, MacroCommand::kCutReal);
    // "VERIFY SILENT" is tried first; any other VERIFY line is the report command.
    EXPECT_EQ(ParseMacroLine("verify silent").command, MacroCommand::kVerifySilent);
    EXPECT_EQ(ParseMacroLine("VERIFY").command, MacroCommand::kVerify);
    EXPECT_EQ(ParseMacroLine("VERIFY  SILENT").command, MacroCommand::kVerify);
    // Comments, leading blanks and unknown words are no command.
    EXPECT_EQ(ParseMacroLine("#CUT(REAL)").command, MacroCommand::kMacroNone);
    EXPECT_EQ(ParseMacroLine(" CUT(REAL)").command, MacroCommand::kMacroNone);
    EXPECT_EQ(ParseMacroLine("CUT(FAST)").command, MacroCommand::kMacroNone);
    EXPECT_EQ(ParseMacroLine("").command, MacroCommand::kMacroNone);
    EXPECT_EQ(ParseMacroLine("\r\n").command, MacroCommand::kMacroNone);
}

TEST(MacroLineTest, ArgumentsQuotedUnquotedAndMissing) {
    MacroLine line = ParseMacroLine("LOAD_WORK \"/data/my work/block 1.dme\"  trailing");
    ASSERT_TRUE(line.hasArgument);
    EXPECT_EQ(line.argument, "/data/my work/block 1.dme");
    line = ParseMacroLine("load_work\t  /data/block.dme \t\r");
    ASSERT_TRUE(line.hasArgument);
    EXPECT_EQ(line.argument, "/data/block.dme");
    // No closing quote, empty quotes, nothing behind the keyword, no blank behind it.
    EXPECT_FALSE(ParseMacroLine("LOAD_WORK \"/data/my work/block.dme").hasArgument);
    EXPECT_FALSE(ParseMacroLine("LOAD_WORK \"\"").hasArgument);
    EXPECT_FALSE(ParseMacroLine("LOAD_WORK   \r\n").hasArgument);
    EXPECT_FALSE(ParseMacroLine("LOAD_WORK/data/block.dme").hasArgument);

    std::string out = "kept";
    EXPECT_EQ(GetMacroArgument(" \"ab\" c", &out), 5u);
    EXPECT_EQ(out, "ab");
    EXPECT_EQ(GetMacroArgument(" \"open", &out), kNoMacroArgument);
    EXPECT_EQ(out, "ab");
    EXPECT_EQ(GetMacroArgument("  x y  ", &out), 5u);
    EXPECT_EQ(out, "x y");
}

TEST(MacroLineTest, ResultSilentNeedsTheWordOneCharacterBehindTheKeyword) {
    EXPECT_EQ(ParseMacroLine("CUT(RESULT) SILENT").resultSilent, 1);
    EXPECT_EQ(ParseMacroLine("cut(result) silent\r").resultSilent, 1);
    EXPECT_EQ(ParseMacroLine("CUT(RESULT)\tSilen").resultSilent, 1);
    EXPECT_EQ(ParseMacroLine("CUT(RESULT)  SILENT").resultSilent, 0);
    EXPECT_EQ(ParseMacroLine("CUT(RESULT) SILE").resultSilent, 0);
    EXPECT_EQ(ParseMacroLine("CUT(RESULT)").resultSilent, 0);
}

TEST(MacroLineTest, DiffArgumentsWithAndWithoutASign) {
    DifferencePaintChoices d;
    d.targetPenGiven = 1;
    d.targetPen = 7;
    ASSERT_EQ(ParseDiffArgument("+0.5HP", &d), 1);
    EXPECT_EQ(d.area, 1);
    EXPECT_DOUBLE_EQ(d.margin, 0.5);
    EXPECT_EQ(d.penColor, 0);
    EXPECT_EQ(d.recolor, 1);
    EXPECT_DOUBLE_EQ(d.offset, 0.0);
    EXPECT_EQ(d.targetPen, 7);  // not part of the grammar: kept

    ASSERT_EQ(ParseDiffArgument("-1.0N3K,0.2", &d), 1);
    EXPECT_EQ(d.area, -1);
    EXPECT_DOUBLE_EQ(d.margin, 1.0);
    EXPECT_EQ(d.penColor, 1);
    EXPECT_EQ(d.pen, 3);
    EXPECT_EQ(d.recolor, 0);
    EXPECT_DOUBLE_EQ(d.offset, 0.2);

    // Without a sign the side is +1, and a negative value behind the comma is the value, not the
    // start of the argument.
    ASSERT_EQ(ParseDiffArgument("0.3H12", &d), 1);
    EXPECT_EQ(d.area, 1);
    EXPECT_DOUBLE_EQ(d.margin, 0.3);
    EXPECT_EQ(d.pen, 12);
    EXPECT_EQ(d.recolor, 1);
    ASSERT_EQ(ParseDiffArgument("0.3H12,-0.2", &d), 1);
    EXPECT_EQ(d.area, 1);
    EXPECT_DOUBLE_EQ(d.margin, 0.3);
    EXPECT_DOUBLE_EQ(d.offset, -0.2);
    ASSERT_EQ(ParseDiffArgument(".25n1", &d), 1);
    EXPECT_DOUBLE_EQ(d.margin, 0.25);
    EXPECT_EQ(d.pen, 1);

    const DifferencePaintChoices before = d;
    for (const char* bad : {"", "HP", "0.3X12", "0.3H16", "0.3H0", "0.3H", "0.3H12,", "0.3H12x",
                            "1e3HP", "+-0.5HP", "0.3H12,nan", "inf HP"}) {
        EXPECT_EQ(ParseDiffArgument(bad, &d), 0) << bad;
        EXPECT_EQ(d.margin, before.margin) << bad;
        EXPECT_EQ(d.pen, before.pen) << bad;
    }
}

TEST(MacroLineTest, ExecSplitsAQuotedProgramFromItsOneArgument) {
    std::string program;
    std::string argument;
    ASSERT_EQ(SplitExecArgument(" \"/opt/my tools/post\"  -v  out file.nc ", &program, &argument),
              1);
    EXPECT_EQ(program, "/opt/my tools/post");
    EXPECT_EQ(argument, "-v  out file.nc");
    ASSERT_EQ(SplitExecArgument("\tconvert", &program, &argument), 1);
    EXPECT_EQ(program, "convert");
    EXPECT_EQ(argument, "");
    EXPECT_EQ(SplitExecArgument(" \"open", &program, &argument), 0);
    EXPECT_EQ(SplitExecArgument("", &program, &argument), 0);
    EXPECT_EQ(SplitExecArgument("prog", &program, &argument), 0);
}

TEST(MacroLineTest, ReadingLinesKeepsEveryCharacterAndRefusesOverlongLines) {
    testing::ScratchDirectory scratch;
    const std::string longLine(kMacroLineLimit + 1, 'a');
    const std::string fitting(kMacroLineLimit, 'b');
    const std::string path = scratch.Write(
        "m.mac", "LOAD_WORK a b.dme\r\n\r\n" + longLine + "\r\n" + fitting + "\nEXIT c.dme");
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    std::string line;
    EXPECT_EQ(ReadMacroLine(stream, &line), 1);
    EXPECT_EQ(line, "LOAD_WORK a b.dme");
    EXPECT_EQ(ReadMacroLine(stream, &line), 1);
    EXPECT_EQ(line, "");
    EXPECT_EQ(ReadMacroLine(stream, &line), -1);
    EXPECT_EQ(line, "");
    EXPECT_EQ(ReadMacroLine(stream, &line), 1);
    EXPECT_EQ(line, fitting);
    EXPECT_EQ(ReadMacroLine(stream, &line), 1);
    EXPECT_EQ(line, "EXIT c.dme");  // the last line without a line end loses nothing
    EXPECT_EQ(ReadMacroLine(stream, &line), 0);
    std::fclose(stream);
}

class MacroRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        AutomaticMode.store(1);
        DrawingSuppressed.store(1);
        UiLanguage.store(1);
        // No definition file of an earlier test is in use: the macro's first work checks them.
        ResetConfigurationRecords();
        ToolFile = ToolFileState{};
        UnusableMachineModels.store(0);
    }
    void TearDown() override {
        UiLanguage.store(0);
    }
    void RunMacro(const std::string& text) {
        DefinitionFiles.macroFile = scratch.Write("job.mac", text);
        RunMacroFile();
    }
    std::string Log() {
        CloseLogFile();
        return testing::ReadWholeFile(scratch.At("mirexa.log"));
    }
    testing::ScratchDirectory scratch;
    testing::ScopedLogDirectory log{scratch.Path()};
    RecordingSink sink;
};

TEST_F(MacroRunTest, SilentBatchMacroSendsTheCommandsWithTheirPathsAndPostsDoneOnExit) {
    RunMacro(
        "# unattended job\r\n"
        "LOAD_TTL \"/defs/my tools.ttl\"\r\n"
        "LOAD_CTL /defs/vmc.ctl\r\n"
        "LOAD_MTL /defs/vmc.mtl\r\n"
        "LOAD_WORK \"/stock/raw block.dme\"\r\n"
        "SELECT_NCDATA /nc/part.nc\r\n"
        "VERIFY SILENT\r\n"
        "CUT(REAL)\r\n"
        "SAVE_WORK /out/cut.dme\r\n"
        "EXIT\r\n"
        "CUT(REAL)\r\n");
    const std::vector<unsigned> expected = {IDM_TOOLS_FILE, IDM_CONTROLLER_FILE, IDM_MACHINE_FILE,
                                            IDM_STOCK_READ, IDM_NC_SELECT,       IDM_NC_REPORT,
                                            IDM_CUT_RESULT, IDM_STOCK_SAVE};
    ASSERT_EQ(RecordingSink::Ids(), expected);
    const auto& c = Record.commands;
    EXPECT_EQ(c[0].toolsFile, "/defs/my tools.ttl");
    EXPECT_EQ(c[0].presetPath, 1);
    EXPECT_EQ(c[1].controllerFile, "/defs/vmc.ctl");
    EXPECT_EQ(c[2].machineFile, "/defs/vmc.mtl");
    EXPECT_EQ(c[3].stockFile, "/stock/raw block.dme");
    EXPECT_EQ(c[3].stockGiven, 1);
    EXPECT_EQ(c[4].ncFile, "/nc/part.nc");
    EXPECT_EQ(c[4].ncGiven, 1);
    EXPECT_EQ(c[5].lparam, 1);
    EXPECT_EQ(c[5].reportMode, 6);
    // A silent cut is a result run of batch kind 6 with the batch-run flag.
    EXPECT_EQ(c[6].batchKind, BatchRunKind::kResultUnseen);
    EXPECT_EQ(c[6].batchRun, 1);
    EXPECT_EQ(c[7].lparam, 1);
    EXPECT_EQ(c[7].saveKind, 1);
    EXPECT_EQ(c[7].saveFile, "/out/cut.dme");
    EXPECT_EQ(Record.donePosts, 1);
    EXPECT_GE(Record.polls, Script.runPolls);
    // Every flag is back once its command is done.
    EXPECT_EQ(CommandLine.stockGiven, 0);
    EXPECT_EQ(CommandLine.ncGiven, 0);
    EXPECT_EQ(CommandLine.reportMode, 0);
    EXPECT_EQ(CommandLine.batchRun, 0);
    EXPECT_EQ(CommandLine.saveKind, 0);
    EXPECT_EQ(MainWindowData.presetPathFlag, 0);
    EXPECT_EQ(StatusInputs.macro.running, 0);
}

TEST_F(MacroRunTest, CutsAndReportsOfAShownWindowKeepTheirKinds) {
    DrawingSuppressed.store(0);
    RunMacro(
        "CUT(REAL)\nCUT(SKIP)\nCUT(RESULT)\nCUT(RESULT) SILENT\nVERIFY\nVERIFY SILENT\n"
        "MINIMIZE_WINDOW\nMAXIMIZE_WINDOW\nRESTORE_WINDOW\n");
    const std::vector<unsigned> expected = {IDM_CUT_REAL,   IDM_CUT_SKIP,  IDM_CUT_RESULT,
                                            IDM_CUT_RESULT, IDM_NC_REPORT, IDM_NC_REPORT};
    ASSERT_EQ(RecordingSink::Ids(), expected);
    const auto& c = Record.commands;
    EXPECT_EQ(c[0].batchKind, BatchRunKind::kReal);
    EXPECT_EQ(c[1].batchKind, BatchRunKind::kSkip);
    EXPECT_EQ(c[2].batchKind, BatchRunKind::kResult);
    EXPECT_EQ(c[3].batchKind, BatchRunKind::kResultLogged);
    EXPECT_EQ(c[0].batchRun, 0);
    EXPECT_EQ(c[4].reportMode, 1);
    EXPECT_EQ(c[4].lparam, 0);
    EXPECT_EQ(c[5].reportMode, 5);
    EXPECT_EQ(c[5].lparam, 1);
    EXPECT_EQ(Record.systemCommands, (std::vector<unsigned>{SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE}));
    // The end of the file is no EXIT: nothing is posted, the macro shows as complete.
    EXPECT_EQ(Record.donePosts, 0);
    EXPECT_EQ(StatusInputs.macro.completed, 1);
    EXPECT_EQ(StatusInputs.macro.breakCount, 0);
}

TEST_F(MacroRunTest, AnAlarmEndBreaksTheMacroWithoutDone) {
    Script.runEnd = kCutAlarm;
    RunMacro("CUT(RESULT)\nSAVE_WORK a.dme\nEXIT\n");
    EXPECT_EQ(RecordingSink::Ids(), std::vector<unsigned>{IDM_CUT_RESULT});
    EXPECT_EQ(AutomationRun.breakCount, 2);
    EXPECT_EQ(StatusInputs.macro.breakCount, 2);
    EXPECT_EQ(StatusInputs.macro.completed, 0);
    EXPECT_EQ(StatusInputs.macro.currentLine, "CUT(RESULT)");
    EXPECT_EQ(Record.donePosts, 0);
    EXPECT_NE(Log().find("Cutting ended on an alarm"), std::string::npos);
}

TEST_F(MacroRunTest, AnAbortSignalDuringACutAbortsTheRunAndEndsTheMacro) {
    Script.runPolls = 50;
    Script.signalAtPoll = 2;
    RunMacro("CUT(REAL)\nSAVE_WORK a.dme\nEXIT\n");
    EXPECT_EQ(RecordingSink::Ids(), std::vector<unsigned>{IDM_CUT_RESULT});
    EXPECT_GE(Record.abortRequests, 1);
    EXPECT_LT(Record.polls, 10);
    EXPECT_EQ(AutomationRun.breakCount, 1);
    EXPECT_EQ(Record.donePosts, 0);
    // Once the run is over, the batch flags of the cut are back as they were.
    EXPECT_EQ(CommandLine.batchRun, 0);
}

TEST_F(MacroRunTest, CommentsUnknownLinesAndMissingArgumentsChangeNothing) {
    DefinitionFiles.stockFile = "/old/stock.dme";
    DefinitionFiles.ncProgramFile = "/old/part.nc";
    const std::string overlong(kMacroLineLimit + 10, 'x');
    RunMacro("#LOAD_WORK /x.dme\nHELLO\n  CUT(REAL)\nLOAD_WORK\nSELECT_NCDATA \"unclosed\n" +
             overlong + "\nSAVE_WORK\n");
    // The line too long to run stops the macro: the save behind it is named, not sent.
    ASSERT_EQ(RecordingSink::Ids(), (std::vector<unsigned>{IDM_STOCK_READ, IDM_NC_SELECT}));
    EXPECT_EQ(Record.commands[0].stockFile, "/old/stock.dme");
    EXPECT_EQ(Record.commands[1].ncFile, "/old/part.nc");
    EXPECT_NE(Log().find("(6) - The macro line is longer than 1,024 characters"),
              std::string::npos);
    EXPECT_NE(Log().find("(7) - not run after the break: SAVE_WORK"), std::string::npos);
}

TEST_F(MacroRunTest, DiffReadsItsArgumentAndARefusedOneSendsNothing) {
    RunMacro("DIFF 0.3H12,-0.2\nDIFF -0.3Q\nDIFF\n");
    ASSERT_EQ(RecordingSink::Ids(),
              (std::vector<unsigned>{IDM_PAINT_DIFFERENCE, IDM_PAINT_DIFFERENCE}));
    const SentCommand& first = Record.commands[0];
    EXPECT_EQ(first.differencePaint, 1);
    EXPECT_EQ(first.lparam, 1);
    EXPECT_EQ(first.difference.area, 1);
    EXPECT_DOUBLE_EQ(first.difference.offset, -0.2);
    EXPECT_EQ(first.difference.pen, 12);
    // DIFF without an argument paints with the values that stand.
    EXPECT_EQ(Record.commands[1].difference.pen, 12);
    EXPECT_EQ(CommandLine.differencePaint, 0);
    EXPECT_NE(Log().find("DIFF -0.3Q"), std::string::npos);
}

TEST_F(MacroRunTest, ExecRunsTheProgramWithItsArgumentAndSkipsOneThatCannotStart) {
    Script.programStatus = -1;
    RunMacro("EXEC \"/opt/my post/run\" part 1.nc\nEXEC\nLOAD_WORK x.dme\n");
    ASSERT_EQ(Record.programs.size(), 1u);
    EXPECT_EQ(Record.programs[0].first, "/opt/my post/run");
    EXPECT_EQ(Record.programs[0].second, "part 1.nc");
    EXPECT_EQ(RecordingSink::Ids(), std::vector<unsigned>{IDM_STOCK_READ});
    const std::string log = Log();
    EXPECT_NE(log.find("EXEC /opt/my post/run"), std::string::npos);
}

TEST_F(MacroRunTest, AMacroThatCannotBeOpenedIsAFailureShownAsABreak) {
    DefinitionFiles.macroFile = scratch.At("missing.mac");
    RunMacroFile();
    EXPECT_TRUE(Record.commands.empty());
    EXPECT_EQ(BatchFailureCode.load(), kBatchExitFileError);
    EXPECT_EQ(StatusInputs.macro.completed, 0);
    EXPECT_EQ(StatusInputs.macro.breakCount, 1);
    EXPECT_NE(Log().find("missing.mac"), std::string::npos);
}

TEST_F(MacroRunTest, TheCommandLineStockComesFirstAndAFailedLoadEndsTheWork) {
    CommandLine.stockGiven = 1;
    DefinitionFiles.stockFile = "/cmd/stock.dme";
    RunMacro("SELECT_NCDATA a.nc\n");
    EXPECT_EQ(RecordingSink::Ids(), (std::vector<unsigned>{IDM_STOCK_READ, IDM_NC_SELECT}));
    EXPECT_EQ(Record.commands[0].stockFile, "/cmd/stock.dme");
    EXPECT_EQ(CommandLine.stockGiven, 0);

    Record = testing::SinkRecord{};
    CommandLine.stockGiven = 1;
    Script.loadResult = 0;
    RunMacro("SELECT_NCDATA a.nc\n");
    EXPECT_EQ(RecordingSink::Ids(), std::vector<unsigned>{IDM_STOCK_READ});
    EXPECT_EQ(Record.donePosts, 1);
}

TEST_F(MacroRunTest, AMainWindowThatGoesAwayEndsTheMacro) {
    Script.windowGoneAfterCommands = 1;
    RunMacro("LOAD_WORK a.dme\nLOAD_WORK b.dme\nEXIT\n");
    EXPECT_EQ(RecordingSink::Ids(), std::vector<unsigned>{IDM_STOCK_READ});
    EXPECT_EQ(Record.donePosts, 0);
    EXPECT_EQ(AutomationRun.windowGone, 1);
}

}  // namespace
}  // namespace mirexa
