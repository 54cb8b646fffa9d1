// The cutting-information report, byte for byte: elapsed times, keyword matching and its
// prefixes, lists, extents and offsets, lines that end in a keyword or a "$" without a line end,
// the fixed summary in both languages, the report's path, appending, and the viewer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "nc/data_check.h"
#include "nc/nc_session.h"
#include "platform/default_viewer.h"
#include "platform/write_faults.h"
#include "services/file_paths.h"
#include "services/shared_state.h"
#include "simulation/cutting_info_report.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

using testing::ReadWholeFile;
using testing::ScratchDirectory;

std::string Elapsed(int seconds) {
    std::FILE* f = std::tmpfile();
    WriteElapsedTime(f, seconds);
    std::rewind(f);
    char text[64] = {};
    const size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    return std::string(text, n);
}

class CuttingReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        in.check.tUsed.assign(25, 0);
        in.magazineCount = 24;
        in.ncPath = "/nc/part.nc";
    }
    void TearDown() override {
        Settings = ProgramSettings{};
        FileLocations = FileLocationSettings{};
        DefinitionFiles = DefinitionFilePaths{};
        DataCheckResult = DataCheckRecord{};
        UiLanguage.store(0);
        TakeRecordedViewerOpens();
    }
    std::string Expand(const std::string& text) const {
        return ExpandReportTemplate(text, in);
    }

    CuttingReportInputs in;
    ScratchDirectory dir;
};

TEST(ElapsedTime, HoursMinutesSecondsWithALeadingBlank) {
    EXPECT_EQ(Elapsed(3600), " 01:00:00");
    EXPECT_EQ(Elapsed(359999), " 99:59:59");
    EXPECT_EQ(Elapsed(360000), " 100:00:00");
    EXPECT_EQ(Elapsed(61), " 00:01:01");
    EXPECT_EQ(Elapsed(-5), " 00:00:00");
    EXPECT_EQ(RoundForReport(2.5), 3);
    EXPECT_EQ(RoundForReport(2.49), 2);
    EXPECT_EQ(RoundForReport(1e300), 2147483647);
    EXPECT_EQ(RoundForReport(NAN), 0);
}

TEST_F(CuttingReportTest, ListsAndTheirPrefixKeywords) {
    in.check.tUsed[1] = in.check.tUsed[3] = 1;
    EXPECT_EQ(Expand("T=$TCODE\n"), "T=01,03\n");
    EXPECT_EQ(Expand("D=$DCODE H=$HCODE\n"), "D=None H=None\n");
    in.check.dUsed[0] = 1;  // D0 is not listed
    in.check.dUsed[120] = 1;
    EXPECT_EQ(Expand("$DCODE\n"), "120\n");
    // A tool flagged beyond the magazine is not listed.
    in.check.tUsed[24] = 1;
    in.magazineCount = 20;
    EXPECT_EQ(Expand("$TCODE\n"), "01,03\n");
    // $GCODEW takes G54 to G59 out of the G list in the NORMAL dialect only.
    in.gUsed[1] = in.gUsed[54] = in.gUsed[55] = 1;
    in.mUsed[3] = in.mUsed[30] = 1;
    EXPECT_EQ(Expand("W=$GCODEW G=$GCODE M=$MCODE\n"), "W=54,55 G=01 M=03,30\n");
    in.normalDialect = 0;
    EXPECT_EQ(Expand("W=$GCODEW\n"), "W=01,54,55W\n");
}

TEST_F(CuttingReportTest, NumbersTimesAndLongerKeywordsFirst) {
    MachiningTimeSums& t = in.times;
    t.rapidTime = 12.4;
    t.cuttingTime = 3599.5;
    t.nonCuttingTime = 100.2;
    t.feedMoveTime = 49.6;
    t.rapidLength = 10.5;
    t.cuttingLength = 20.4;
    t.rapidMoveLength = 7.5;
    t.feedMoveLength = 30.0;
    // $TIMER is the rapid time, not $TIME followed by "R".
    EXPECT_EQ(Expand("$TIMER|$TIMEF|$TIME1|$TIME2|$TIME\n"),
              "     12|   3600|    100|     50|    150\n");
    EXPECT_EQ(Expand("$TIMR|$TIMF|$TIM1|$TIM2|$TIM\n"),
              " 00:00:12| 01:00:00| 00:01:40| 00:00:50| 00:02:30\n");
    EXPECT_EQ(Expand("$LENR|$LENF|$LEN1|$LEN2|$LEN\n"),
              "     11|     20|      8|     30|     38\n");
    in.check.maxFeed = 6000.9;
    in.check.maxCuttingFeed = 2500.7;
    in.check.minFeed = 100.2;
    in.check.maxSpindle = 12000;
    EXPECT_EQ(Expand("$MAXF2,$MAXF,$MINF,$MAXS\n"), "   2500,   6000,    100,   12000\n");
    EXPECT_EQ(Expand("$RAPIDFEEDRATE\n"), "NO\n");
    in.rapidFeedrate = 5000;
    in.machineRapid[2] = 24000;
    EXPECT_EQ(Expand("$RAPIDFEEDRATE $RAPIDFZ\n"), "   5000   24000\n");
    // Sizes past 32 bits keep their digits.
    in.ncFileSize = 5000000000ull;
    in.ncLineCount = 42;
    EXPECT_EQ(Expand("$SIZE|$LINES\n"), "5000000000|      42\n");
    in.ncFileSize = 1234;
    EXPECT_EQ(Expand("$SIZE\n"), "     1234\n");
    EXPECT_EQ(Expand("$NC $TTL.\n"), "/nc/part.nc .\n");
}

TEST_F(CuttingReportTest, TheSixExtentsOfEachAxis) {
    DataCheckRecord& c = in.check;
    c.toolPointWork.max[0] = 1;
    c.toolPoint.max[0] = 30;
    c.program.max[0] = 4;
    c.machine.max[0] = 60;
    c.machine.min[2] = -7.25;
    in.workOffsets[0] = {{10, 0, 0.5, 0, 0}};
    EXPECT_EQ(Expand("$MAXX2W|$MAXX2E|$MAXX2|$MAXXW|$MAXXE|$MAXX\n"),
              "    1.000|   20.000|   30.000|    4.000|   50.000|   60.000\n");
    EXPECT_EQ(Expand("$MINZE|$MINZ\n"), "   -7.750|   -7.250\n");
    // Values wider than their column keep it, in scientific form.
    c.machine.max[0] = 1e79;
    c.machine.min[2] = -123456789.0;
    EXPECT_EQ(Expand("$MAXX|$MINZ\n"), "1.000e+79|-1.23e+08\n");
}

TEST_F(CuttingReportTest, WorkOffsetsAndUnknownKeywords) {
    in.workOffsets[0] = {{1, 2, 3, 4, 5}};
    in.workOffsets[1] = {{-1.5, 0, 0, 0, 0}};
    in.workOffsets[6] = {{9, 0, 0, 0, 0}};
    in.workOffsets[150] = {{150, 0, 0, 0, 0}};
    in.workOffsets[99] = {{99, 0, 0, 0, 0}};
    const std::string zero = "(    0.000,    0.000,    0.000,    0.000,    0.000)";
    EXPECT_EQ(Expand("$EXOFS\n"), "(    1.000,    2.000,    3.000,    4.000,    5.000)\n");
    // "$G5" takes one digit: the ")" after it stays.
    EXPECT_EQ(Expand("($G54)\n"), "((   -1.500,    0.000,    0.000,    0.000,    0.000))\n");
    EXPECT_EQ(Expand("$G59|$G53|$G5x\n"),
              "(    9.000,    0.000,    0.000,    0.000,    0.000)||x\n");
    // "$WK" takes up to three digits while the entry stays within the table.
    EXPECT_EQ(Expand("$WK150;$WK999\n"),
              "(  150.000,    0.000,    0.000,    0.000,    0.000);"
              "(   99.000,    0.000,    0.000,    0.000,    0.000)9\n");
    EXPECT_EQ(Expand("$WK2.$WK\n"), zero + ".\n");
    // A "$" that is no keyword goes with the character after it.
    EXPECT_EQ(Expand("$XYZ\n"), "YZ\n");
    EXPECT_EQ(Expand("a$$b\n"), "ab\n");
}

TEST_F(CuttingReportTest, LinesEndingWithoutALineEnd) {
    in.check.tUsed[1] = in.check.tUsed[3] = 1;
    // A keyword or a "$" at the very end of the last line: never read past it; the line gets
    // its line end.
    EXPECT_EQ(Expand("T=$TCODE"), "T=01,03\n");
    EXPECT_EQ(Expand("a\nb$"), "a\nb\n");
    EXPECT_EQ(Expand("x$G5"), "x\n");
    EXPECT_EQ(Expand("x$WK"), "x\n");
    EXPECT_EQ(Expand("x$W"), "x\n");
    // A line without keywords is copied as it is, CR included.
    EXPECT_EQ(Expand("plain\r\nlast"), "plain\r\nlast");
    EXPECT_EQ(Expand("T=$TCODE\r\n"), "T=01,03\r\n");
    // Japanese text passes through.
    EXPECT_EQ(Expand("工具 $TCODE 本\n"), "工具 01,03 本\n");
}

TEST_F(CuttingReportTest, ToolTimesPerOrdinal) {
    in.check.toolCount = 3;
    in.check.toolList[1] = 1;
    in.check.toolList[2] = 120;
    in.check.toolList[3] = 7;
    in.times.toolTime[1] = 3600;
    in.times.toolTime[2] = 60.6;
    in.times.toolTime[3] = 0;
    EXPECT_EQ(Expand("$EP_INFO\n"),
              "  1 | T01  | 01:00:00\n"
              "  2 | T120 | 00:01:01\n"
              "  3 | T07  | 00:00:00\n\n");
}

TEST_F(CuttingReportTest, FixedSummaryInBothLanguages) {
    in.times.rapidMoveLength = 120.4;
    in.times.feedMoveLength = 300.5;
    in.times.nonCuttingTime = 10.5;
    in.times.feedMoveTime = 20.4;
    in.check.machine.max[0] = 100;
    in.check.machine.max[1] = 50.5;
    in.check.machine.max[2] = 5;
    in.check.machine.min[0] = -1;
    in.check.machine.min[1] = -2;
    in.check.machine.min[2] = -3.25;
    in.english = 1;
    EXPECT_EQ(FormatFixedSummary(in),
              "<<< \"/nc/part.nc\" Cutting Information >>>\n"
              "※:\"verify_form.def\" is not found.\n"
              "Length of Rapid Path:    120\n"
              "Length of Feed Path:    301\n"
              "Time:     31\n"
              "Maximum X:  100.000 ,Y:   50.500 ,Z:    5.000\n"
              "Minimum X:   -1.000 ,Y:   -2.000 ,Z:   -3.250\n");
    in.english = 0;
    EXPECT_EQ(FormatFixedSummary(in),
              "<<< \"/nc/part.nc\" の加工情報出力 >>>\n"
              "※:\"verify_form.def\"が見つかりません。一部適当に出力しておきます。\n"
              "早送り長さ:    120\n"
              "切削送り長さ:    301\n"
              "全加工時間:     31\n"
              "最大 X:  100.000 ,Y:   50.500 ,Z:    5.000\n"
              "最小 X:   -1.000 ,Y:   -2.000 ,Z:   -3.250\n");
}

TEST_F(CuttingReportTest, PathsByNamingMode) {
    Settings.verifyDirectory = "/out/reports";
    EXPECT_EQ(ComposeCuttingReportPath("/nc/a.nc"), "/out/reports/verify.txt");
    Settings.verifyDirectory = "";
    Settings.verifySuffix = "csv";
    EXPECT_EQ(ComposeCuttingReportPath("/nc/a.nc"), "verify.csv");
    Settings.namingModeVerify = 2;
    Settings.verifySuffix = "txt";
    EXPECT_EQ(ComposeCuttingReportPath("a\\b.nc"), "a\\b_verify.txt");
    EXPECT_EQ(ComposeCuttingReportPath("a.b\\c"), "a.b\\c_verify.txt");
    EXPECT_EQ(ComposeCuttingReportPath("a.b/c"), "a.b/c_verify.txt");
    EXPECT_EQ(ComposeCuttingReportPath("/nc/part.v2.nc"), "/nc/part.v2_verify.txt");
    EXPECT_EQ(ComposeCuttingReportPath("plain"), "plain_verify.txt");
}

// A write, flush, close or rename that fails is reported (0 and a log line naming the step),
// never taken as written; a new report keeps the old one whole, and the next report over the
// same path is whole again.
TEST_F(CuttingReportTest, FailedWritesAreReported) {
    const std::string report = dir.At("verify.txt");
    const std::string form = dir.Write("verify_form.def", "Time:$TIME\n");
    FileLocations.logDirectory = dir.Path();
    AutomaticMode.store(1);
    const struct {
        int append;
        unsigned kind;
        const char* step;
    } cases[] = {
        {1, kWriteFaultWrite, "write"},   {1, kWriteFaultFlush, "flush"},
        {1, kWriteFaultClose, "close"},   {0, kWriteFaultWrite, "write"},
        {0, kWriteFaultClose, "replace"}, {0, kWriteFaultRename, "replace"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        dir.Write("verify.txt", "old report\n");
        ArmWriteFaults(1, c.kind);
        EXPECT_EQ(WriteCuttingReportFile(report, c.append, form, in), 0);
        EXPECT_EQ(WasWriteFaultInjected(), 1);
        DisarmWriteFaults();
        if (c.append == 0) {
            EXPECT_EQ(ReadWholeFile(report), "old report\n");
            EXPECT_TRUE(testing::LeftoverTemporaries(report).empty());
        }
        EXPECT_NE(ReadWholeFile(dir.At("mirexa.log")).find(report + " (" + c.step + ": "),
                  std::string::npos);
    }
    AutomaticMode.store(0);
    ASSERT_EQ(WriteCuttingReportFile(report, 0, form, in), 1);
    EXPECT_EQ(ReadWholeFile(report), "Time:      0\n");
}

TEST_F(CuttingReportTest, AppendingWritingAndTheViewer) {
    const std::string report = dir.At("out/verify.txt");
    const std::string form = dir.Write("verify_form.def", "Time:$TIME\n");
    in.times.feedMoveTime = 10;
    // The missing directory is made; a second report is appended after the first.
    ASSERT_EQ(WriteCuttingReportFile(report, 1, form, in), 1);
    ASSERT_EQ(WriteCuttingReportFile(report, 1, form, in), 1);
    EXPECT_EQ(ReadWholeFile(report), "Time:     10\nTime:     10\n");
    ASSERT_EQ(WriteCuttingReportFile(report, 0, form, in), 1);
    EXPECT_EQ(ReadWholeFile(report), "Time:     10\n");
    // Without a template (or one that cannot be read) the fixed summary.
    ASSERT_EQ(WriteCuttingReportFile(report, 0, dir.At("none.def"), in), 1);
    EXPECT_EQ(ReadWholeFile(report).rfind("<<< \"/nc/part.nc\"", 0), 0u);
    // A report that cannot be opened writes nothing (its message goes to the log).
    FileLocations.logDirectory = dir.Path();
    AutomaticMode.store(1);
    EXPECT_EQ(WriteCuttingReportFile(form + "/x/y.txt", 0, form, in), 0);
    AutomaticMode.store(0);

    // The whole call: the template of the current directory, the FIXED report in the settings'
    // directory, shown unless silent.
    FileLocations.currentDirectory = dir.Path();
    Settings.verifyDirectory = dir.At("out");
    DefinitionFiles.ncProgramFile = dir.Write("p.nc", "G01 X1\nG01 X2");
    TakeRecordedViewerOpens();
    ASSERT_EQ(WriteCuttingReport(RunSession, nullptr, 1), 1);
    EXPECT_TRUE(TakeRecordedViewerOpens().empty());
    ASSERT_EQ(WriteCuttingReport(RunSession, nullptr, 0), 1);
    EXPECT_EQ(TakeRecordedViewerOpens(), std::vector<std::string>{report});
    std::string found;
    ASSERT_EQ(FindReportTemplate(&found), 1);
    EXPECT_EQ(found, form);
    CuttingReportInputs collected;
    CollectCuttingReportInputs(RunSession, &collected);
    EXPECT_EQ(collected.ncLineCount, 2);
    EXPECT_EQ(collected.ncFileSize, 13u);
}

}  // namespace
}  // namespace mirexa
