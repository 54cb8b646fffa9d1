// NC line source: line ends and overlong lines, skip switches, the character check,
// replacements, the in-memory program index and the subprogram stack.
#include "nc/nc_line_source.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "platform/file_reading.h"
#include "support/nc_run_records.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

using mirexa::testing::ScratchDirectory;

class NcLineSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clear();
    }
    void TearDown() override {
        Clear();
    }
    static void Clear() {
        testing::ResetRunInterpreterRecords();
    }
    // Reads every line of the open source; each entry is the text handed on.
    static std::vector<std::string> ReadAll() {
        std::vector<std::string> lines;
        while (RunSession.run.status.endState < 2 && RunSession.run.status.error == 0) {
            if (ReadNextNcLine(RunSession)) {
                lines.emplace_back(RunSession.line.text);
            }
        }
        return lines;
    }
    ScratchDirectory dir;
};

// Lines up to the limit are handed on whole with their numbers; a longer one is not handed on
// cut: it is the line error of its line.
TEST_F(NcLineSourceTest, LineEndsKeepTheNumberingAndAnOverlongLineIsAnError) {
    const std::string a(1021, 'a'), b(1022, 'b'), c(1500, 'c');
    const std::string path =
        dir.Write("main.nc", a + "\r\n" + b + "\nG01 X1\r\n\nG02\r\n" + c + "\nG03\n");
    ASSERT_EQ(OpenNcProgramSource(RunSession, path), 1);
    const std::vector<std::string> expected = {a + "\n", b + "\n", "G01 X1\n", "\n", "G02\n"};
    std::vector<int> numbers;
    std::vector<std::string> lines;
    while (ReadNextNcLine(RunSession)) {
        lines.emplace_back(RunSession.line.text);
        numbers.push_back(RunSession.line.mainLineNumber);
        EXPECT_EQ(RunSession.line.length, static_cast<int>(lines.back().size()));
    }
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(RunSession.run.status.error, kNcErrorLineTooLong);
    EXPECT_EQ(RunSession.line.mainLineNumber, 6);
    EXPECT_EQ(RunSession.line.displayedLineNumber, 6);
    EXPECT_NE(RunSession.run.status.endState, 2);
}

// A line running on past a megabyte is the line error of its line; the abort request ends the
// read.
TEST_F(NcLineSourceTest, AnEndlessLineIsAnErrorAndTheAbortRequestEndsTheRead) {
    const std::string path =
        dir.Write("endless.nc", "G00 X1\n" + std::string(3 << 20, 'x') + "\nG01 X2\n");
    ASSERT_EQ(OpenNcProgramSource(RunSession, path), 1);
    const std::vector<std::string> lines = ReadAll();
    EXPECT_EQ(lines, std::vector<std::string>{"G00 X1\n"});
    EXPECT_EQ(RunSession.run.status.error, kNcErrorLineTooLong);
    EXPECT_EQ(RunSession.line.mainLineNumber, 2);
    std::atomic<int> abort{2};
    SetReadAbortFlag(&abort);
    Clear();
    ASSERT_EQ(OpenNcProgramSource(RunSession, dir.Write("long.nc", std::string(200000, 'y'))), 1);
    EXPECT_EQ(ReadNextNcLine(RunSession), 0);
    EXPECT_EQ(RunSession.run.status.endState, 2);
    SetReadAbortFlag(nullptr);
}

TEST_F(NcLineSourceTest, HeldLineAndEndWithCyclePointsPending) {
    const std::string path = dir.Write("main.nc", "G90\n");
    ASSERT_EQ(OpenNcProgramSource(RunSession, path), 1);
    RunSession.run.modal.incremental = 1;
    ASSERT_EQ(ReadNextNcLine(RunSession), 1);
    RunSession.line.lineHeld = 1;
    ASSERT_EQ(ReadNextNcLine(RunSession), 1);
    EXPECT_STREQ(RunSession.line.text, "G90\n");
    RunSession.run.pending.cyclePointCount = 2;
    EXPECT_EQ(ReadNextNcLine(RunSession), 0);
    EXPECT_EQ(RunSession.run.status.endState, 1);
    EXPECT_EQ(RunSession.run.modal.incremental, 0);
}

TEST_F(NcLineSourceTest, OptionalBlockSkipLooksAtTheFirstColumnOnly) {
    const std::string path =
        dir.Write("main.nc", "/3 G01 X1\n/ G01 X2\n/A1\nG01 /X3\n/0 X4\n/9X5\n");
    RunSession.controller.blockSkip[3] = 1;
    RunSession.controller.blockSkipAny = 1;
    ASSERT_EQ(OpenNcProgramSource(RunSession, path), 1);
    EXPECT_EQ(ReadAll(),
              (std::vector<std::string>{"/ G01 X2\n", "/A1\n", "G01 /X3\n", "/0 X4\n", "/9X5\n"}));
    EXPECT_EQ(RunSession.line.mainLineNumber, 6);  // dropped lines are counted
    RunSession.run = {};
    RunSession.controller.blockSkip[3] = 0;
    RunSession.controller.blockSkip[0] = 1;
    ASSERT_EQ(OpenNcProgramSource(RunSession, path), 1);
    EXPECT_EQ(ReadAll(), (std::vector<std::string>{"/3 G01 X1\n", "G01 /X3\n", "/9X5\n"}));
}

TEST_F(NcLineSourceTest, CharacterCheck) {
    RunSession.controller.hasAllowedCharacters = 1;
    RunSession.controller.allowedCharacters = "GXYZ.()# ";
    struct Case {
        const char* line;
        int error;
        int position;
    };
    const Case cases[] = {
        {"G01 X1.5 (any text!)\r\n", 0, 0},
        {"G01 X1..5\n", 5, 8},
        {"G01 X1.5Y2.5\n", 0, 0},
        {"X1.5 #1.2\n", 0, 0},
        {"G01 F100\n", 4, 5},
        {"G01 (F ( F) F\n", 4, 13},
        {"(unclosed F\n", 0, 0},
    };
    for (const Case& c : cases) {
        RunSession.run = {};
        int position = 0;
        EXPECT_EQ(CheckNcLineCharacters(RunSession, c.line, &position), c.error != 0 ? 1 : 0)
            << c.line;
        EXPECT_EQ(RunSession.run.status.error, c.error) << c.line;
        EXPECT_EQ(position, c.position) << c.line;
    }
    // The decimal point rule holds with no allowed set too.
    RunSession.controller.allowedCharacters.clear();
    RunSession.run = {};
    int position = 0;
    EXPECT_EQ(CheckNcLineCharacters(RunSession, "F1.2.3\n", &position), 1);
    EXPECT_EQ(RunSession.run.status.error, 5);
    EXPECT_EQ(RunSession.run.status.errorCharacter, '.');
    // Through the reader: the failing line stops the reading.
    const std::string path = dir.Write("main.nc", "G01 X1\nG01 X1..2\nG01 X3\n");
    RunSession.controller.codeCheck = 1;
    RunSession.run = {};
    ASSERT_EQ(OpenNcProgramSource(RunSession, path), 1);
    EXPECT_EQ(ReadNextNcLine(RunSession), 1);
    EXPECT_EQ(ReadNextNcLine(RunSession), 0);
    EXPECT_EQ(RunSession.run.status.error, 5);
    EXPECT_EQ(RunSession.run.status.errorPosition, 8);
}

TEST_F(NcLineSourceTest, ReplacementsResumeBehindTheCharacterAfterAMatch) {
    RunSession.controller.replacements = {{"AB", "X"}, {"#", ""}, {"Q", "QQQ"}};
    const auto replace = [](std::string text, int capacity = 1024) {
        char line[1024] = {};
        text.copy(line, text.size());
        int length = static_cast<int>(text.size());
        ApplyReplaceTable(RunSession, &length, line, capacity);
        EXPECT_EQ(length, static_cast<int>(std::string(line).size()));
        return std::string(line);
    };
    EXPECT_EQ(replace("ABAB"), "XAB");
    EXPECT_EQ(replace("AB AB"), "X X");
    EXPECT_EQ(replace("G#1"), "G1");
    EXPECT_EQ(replace("Q1"), "QQQ1");
    // Lengthening stops at the capacity; at most 32 matches are replaced in one line.
    EXPECT_EQ(replace("Q Q Q Q", 8), "QQQ QQQ");
    const std::string many = [] {
        std::string s;
        for (int i = 0; i < 40; ++i) {
            s += "Q ";
        }
        return s;
    }();
    const std::string out = replace(many);
    EXPECT_EQ(out.size(), many.size() + 2 * 32);
}

TEST_F(NcLineSourceTest, ProgramIndexFindsSubprogramsAndKeepsTheirLineNumbers) {
    const std::string program =
        "O1000\r\n"
        "G00 M30 (not the end: first word G)\n"
        "N10 M30\n"
        "O100\n"
        "G01 X1\n"
        "M99\n"
        "(between)\n"
        "O200 (second)\n"
        "G01 X2\n"
        "G01 X3\n"
        "M99\n"
        "O300\n"
        "M30\n"
        "O100\n"
        "M99\n";
    const std::string path = dir.Write("main.nc", program);
    RunSession.controller.runTypeMemory = 1;
    RunSession.controller.replacements = {{"X3", "X33"}};
    ASSERT_EQ(LoadNcProgramIndex(RunSession, path), 1);
    EXPECT_EQ(ProgramIndex.count, 3);
    EXPECT_EQ(ProgramIndex.mainLength, 7 + 36 + 8);
    EXPECT_EQ(FindSubprogram(100), 0);  // the first match in file order wins
    EXPECT_EQ(FindSubprogram(200), 1);
    EXPECT_EQ(FindSubprogram(300), -1);  // ended by M30, not recorded
    EXPECT_EQ(ProgramIndex.firstLine[1], 7);
    EXPECT_EQ(ProgramIndex.lineCount, 15);
    ASSERT_EQ(EnterSubprogramFromMemory(RunSession, 200), 1);
    std::vector<std::string> lines;
    std::vector<int> numbers;
    for (int i = 0; i < 4 && ReadNextNcLine(RunSession); ++i) {
        lines.emplace_back(RunSession.line.text);
        numbers.push_back(RunSession.line.subprogramLineNumber);
    }
    EXPECT_EQ(lines,
              (std::vector<std::string>{"O200 (second)\n", "G01 X2\n", "G01 X33\n", "M99\n"}));
    EXPECT_EQ(numbers, (std::vector<int>{8, 9, 10, 11}));
    EXPECT_STREQ(RunSession.subprograms.name[0], "O0200");
    EXPECT_EQ(ReturnFromSubprogram(RunSession), 1);
    EXPECT_EQ(RunSession.subprograms.depth, 0);
    EXPECT_EQ(ReturnFromSubprogram(RunSession), 0);
    // An unchanged file keeps its index; an unknown number is refused.
    EXPECT_EQ(LoadNcProgramIndex(RunSession, path), 1);
    EXPECT_EQ(EnterSubprogramFromMemory(RunSession, 999), 0);
    RunSession.controller.runTypeMemory = 0;
    EXPECT_EQ(EnterSubprogramFromMemory(RunSession, 100), 0);
    EXPECT_EQ(LoadNcProgramIndex(RunSession, dir.At("missing.nc")), 0);
    EXPECT_EQ(FindSubprogram(100), -1);
}

TEST_F(NcLineSourceTest, InMemorySubprogramsEndAtTheirLastLine) {
    // The return of O1 is skipped: the level ends at its own last line, not in O2. OSP keeps
    // the RTS line in the subprogram although its length is not counted.
    const std::string path =
        dir.Write("main.nc", "M30\nO1\nG01 X1\n/M99\nO2\nG01 X2\nM99\nO3\nG01 X3\nRTS\n");
    RunSession.controller.runTypeMemory = 1;
    RunSession.controller.dialect.osp = 1;
    RunSession.controller.blockSkip[0] = 1;
    RunSession.controller.blockSkipAny = 1;
    ASSERT_EQ(LoadNcProgramIndex(RunSession, path), 1);
    ASSERT_EQ(ProgramIndex.count, 3);
    EXPECT_EQ(ProgramIndex.length[2], 3 + 7);
    ASSERT_EQ(EnterSubprogramFromMemory(RunSession, 1), 1);
    std::vector<std::string> lines;
    while (RunSession.subprograms.depth > 0) {
        if (ReadNextNcLine(RunSession)) {
            lines.emplace_back(RunSession.line.text);
        }
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"O1\n", "G01 X1\n"}));
    ASSERT_EQ(EnterSubprogramFromMemory(RunSession, 3), 1);
    lines.clear();
    while (RunSession.subprograms.depth > 0) {
        if (ReadNextNcLine(RunSession)) {
            lines.emplace_back(RunSession.line.text);
        }
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"O3\n", "G01 X3\n", "RTS\n"}));
}

TEST_F(NcLineSourceTest, SubprogramFilesNestToFourLevelsAndPopAtTheirEnd) {
    dir.Write("O5", "G01 X5\n");
    dir.Write("O0007", "G01 X7\n");
    dir.Write("sub1", "G01 X9");  // found without regard to case
    const std::string path = dir.Write("main.nc", "G00 X0\n");
    ASSERT_EQ(OpenNcProgramSource(RunSession, path), 1);
    ASSERT_EQ(OpenSubprogramByNumber(RunSession, 5), 1);
    ASSERT_EQ(OpenSubprogramByNumber(RunSession, 7), 1);  // "O7" is missing, "O0007" opens
    ASSERT_EQ(OpenSubprogramByName(RunSession, "SUB1", 4), 1);
    ASSERT_EQ(OpenSubprogramByNumber(RunSession, 5), 1);
    EXPECT_EQ(RunSession.subprograms.depth, 4);
    EXPECT_EQ(OpenSubprogramByNumber(RunSession, 5), 0);  // a fifth level is refused
    EXPECT_EQ(OpenSubprogramByNumber(RunSession, 8), 0);
    EXPECT_EQ(OpenSubprogramByName(RunSession, "NOPE", 4), 0);
    EXPECT_EQ(OpenSubprogramByName(RunSession, std::string(40, 'S').c_str(), 40), 0);
    EXPECT_EQ(RunSession.subprograms.depth, 4);
    std::vector<std::string> lines;
    std::vector<int> depths;
    for (int i = 0; i < 12 && RunSession.run.status.endState < 2; ++i) {
        if (ReadNextNcLine(RunSession)) {
            lines.emplace_back(RunSession.line.text);
            depths.push_back(RunSession.subprograms.depth);
        }
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"G01 X5\n", "G01 X9\n", "G01 X7\n", "G01 X5\n",
                                               "G00 X0\n"}));
    EXPECT_EQ(depths, (std::vector<int>{4, 3, 2, 1, 0}));
    EXPECT_EQ(RunSession.line.mainLineNumber, 1);
    EXPECT_EQ(RunSession.run.status.endState, 2);
}

}  // namespace
}  // namespace mirexa
