// NC word readers: where values end, how values without a point are scaled, and bounds.
#include "nc/nc_words.h"

#include <gtest/gtest.h>

#include <string>

#include "geometry/vector_math.h"
#include "nc/nc_session.h"

namespace mirexa {
namespace {

class NcWordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunSession.words = {};
        InputIncrements = {};
    }
    void TearDown() override {
        RunSession.words = {};
        InputIncrements = {};
    }
};

TEST_F(NcWordsTest, CoordinatesScaleByTheIncrementUnlessWrittenWithAPoint) {
    struct Case {
        const char* line;
        int modeBefore;
        int increment;
        double value;
        int modeAfter;
        int cursorAfter;
    };
    const Case cases[] = {
        {"X1000\n", 1, 1000, 1.0, 1, 5},     {"X1000.\n", 1, 1000, 1000.0, 2, 6},
        {"X-25Y3\n", 2, 1000, -0.025, 1, 4}, {"X1000\n", 3, 1000, 1000.0, 3, 5},
        {"X1234\n", 1, 10000, 0.1234, 1, 5}, {"X+2.5(c)\n", 1, 1000, 2.5, 2, 5},
        {"X Y10\n", 1, 1000, 0.0, 1, 2},     {"X.5\n", 1, 100, 0.5, 2, 3},
        {"X-.5e\n", 1, 1000, -0.5, 2, 4},    {"X12x\n", 1, 100, 0.12, 1, 3},
    };
    for (const Case& c : cases) {
        RunSession.words.inputUnitMode = c.modeBefore;
        InputIncrements.leastInputIncrement = c.increment;
        int cursor = 1;
        EXPECT_DOUBLE_EQ(ReadWordCoordinate(RunSession, &cursor, c.line), c.value) << c.line;
        EXPECT_EQ(RunSession.words.inputUnitMode, c.modeAfter) << c.line;
        EXPECT_EQ(cursor, c.cursorAfter) << c.line;
    }
}

TEST_F(NcWordsTest, ReadersThatLeaveTheCursor) {
    int cursor = 1;
    EXPECT_DOUBLE_EQ(ReadWordMilliAlways(&cursor, "P1500\n"), 1.5);
    EXPECT_DOUBLE_EQ(ReadWordMilliAlways(&cursor, "P1.5\n"), 1.5);
    RunSession.words.inputUnitMode = 3;
    EXPECT_DOUBLE_EQ(ReadWordMilliAlways(&cursor, "P1500\n"), 1.5);
    EXPECT_DOUBLE_EQ(ReadWordMilli(RunSession, &cursor, "P1500\n"), 1500.0);
    RunSession.words.inputUnitMode = 1;
    EXPECT_DOUBLE_EQ(ReadWordMilli(RunSession, &cursor, "P1500\n"), 1.5);
    EXPECT_DOUBLE_EQ(ReadWordScaled(&cursor, "R9000\n", 100), 90.0);
    EXPECT_DOUBLE_EQ(ReadWordScaled(&cursor, "R90.\n", 100), 90.0);
    EXPECT_DOUBLE_EQ(ReadWordScaled(&cursor, "R90\n", 0), 90.0);
    EXPECT_EQ(cursor, 1);
    EXPECT_EQ(RunSession.words.inputUnitMode, 1);
}

TEST_F(NcWordsTest, IntegersStopAtTheNextWordOrEndTheBlockWhenEmpty) {
    int cursor = 1;
    EXPECT_EQ(ReadWordInteger(&cursor, "P12X5\n"), 12);
    EXPECT_EQ(cursor, 3);
    cursor = 1;
    EXPECT_EQ(ReadWordInteger(&cursor, "PX5\n"), 0);
    EXPECT_EQ(cursor, 4);  // on the NUL: the scan of the block ends
    cursor = 1;
    EXPECT_EQ(ReadWordInteger(&cursor, "G-1\n"), -1);
    cursor = 1;
    EXPECT_EQ(ReadWordInteger(&cursor, "G91.1\n"), 91);
    EXPECT_EQ(cursor, 5);
    cursor = 1;
    EXPECT_EQ(ReadWordInteger(&cursor, "T99999999999999\n"), 2147483647);
    cursor = 1;
    EXPECT_EQ(ReadWordInteger(&cursor, "T-99999999999999\n"), -2147483647 - 1);
    cursor = 1;
    EXPECT_EQ(ReadWordInteger(&cursor, "T"), 0);
    EXPECT_EQ(cursor, 1);
}

TEST_F(NcWordsTest, ValueToBlankRunsOverUnseparatedWords) {
    int cursor = 1;
    EXPECT_DOUBLE_EQ(ReadWordValueToBlank(&cursor, "Q12.5 Y3\n"), 12.5);
    EXPECT_EQ(cursor, 5);
    cursor = 1;
    EXPECT_DOUBLE_EQ(ReadWordValueToBlank(&cursor, "Q12.5Y3 Z1\n"), 12.5);
    EXPECT_EQ(cursor, 7);
    cursor = 1;
    EXPECT_DOUBLE_EQ(ReadWordValueToBlank(&cursor, "Q7;rest\n"), 7.0);
    EXPECT_EQ(cursor, 2);
    cursor = 1;
    EXPECT_DOUBLE_EQ(ReadWordValueToBlank(&cursor, "Q-4"), -4.0);
    EXPECT_EQ(cursor, 3);
}

TEST_F(NcWordsTest, OverlongValuesAreCutAtTheBuffer) {
    // 100 digits: only the first 79 are converted, the cursor still passes them all.
    const std::string line = "X" + std::string(100, '1') + "Y2\n";
    int cursor = 1;
    RunSession.words.inputUnitMode = 3;
    const double value = ReadWordCoordinate(RunSession, &cursor, line.c_str());
    EXPECT_EQ(cursor, 101);
    EXPECT_GT(value, 1.1e78);
    EXPECT_LT(value, 1.2e78);
    // A number beyond the double range reads as 0 rather than infinity.
    EXPECT_EQ(ConvertWordNumber("1e999", 5), 0.0);
    EXPECT_EQ(ConvertWordNumber("--1", 3), 0.0);
}

TEST_F(NcWordsTest, MachineUnitsRoundHalfAwayFromZero) {
    EXPECT_EQ(ToMachineUnits(0.0015), 2);
    EXPECT_EQ(ToMachineUnits(-0.0015), -2);
    EXPECT_EQ(ToMachineUnits(0.0004), 0);
    EXPECT_EQ(ToMachineUnits(0.0), 0);
    InputIncrements.leastInputIncrement = 10000;
    EXPECT_EQ(ToMachineUnits(1.23456), 12346);
}

TEST_F(NcWordsTest, TrailingBlanksAndLeftRightValues) {
    EXPECT_EQ(SkipTrailingBlanks(7, "G54 \t  "), 3);
    EXPECT_EQ(SkipTrailingBlanks(3, "   "), 0);
    ReadLeftRightValues(RunSession, " DL+0.1 DR-0.05\n");
    EXPECT_DOUBLE_EQ(RunSession.words.toolDeltaLength, 0.1);
    EXPECT_DOUBLE_EQ(RunSession.words.toolDeltaRadius, -0.05);
    ReadLeftRightValues(RunSession, " DR0.2 S100\n");
    EXPECT_DOUBLE_EQ(RunSession.words.toolDeltaLength, 0.0);
    EXPECT_DOUBLE_EQ(RunSession.words.toolDeltaRadius, 0.2);
    ReadLeftRightValues(RunSession, " D\n");
    EXPECT_EQ(RunSession.words.toolDeltaRadius, 0.0);
}

}  // namespace
}  // namespace mirexa
