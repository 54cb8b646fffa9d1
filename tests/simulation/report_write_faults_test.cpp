// The interference report (both forms) and the limit logs with every write, flush and close they
// make failed in turn: the failure is logged and marked, every entry written before it stays
// whole in the file, nothing is written after it, and nothing crashes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/tool_tables.h"
#include "run_report_support.h"
#include "simulation/interference_reports.h"
#include "support/report_write_faults.h"

namespace mirexa {
namespace {

ReportBlock Block(int line, const char* text) {
    ReportBlock block;
    block.mainLineNumber = line;
    block.ncLine = text;
    return block;
}

class ReportWriteFaultTest : public testing::RunReportTest {
protected:
    void SetUp() override {
        RunReportTest::SetUp();
        ASSERT_EQ(AllocToolTables(4), 1);
        ToolTableSet.loadLimits[1].type = kToolLoadSectionLog;
        ToolTableSet.loadLimits[2].type = kToolLoadRemovalLog;
        AutomaticMode = 1;  // the log names the reports; no viewer
        UiLanguage = 1;
    }
    void TearDown() override {
        DisarmWriteFaults();
        FreeToolTables();
        RunReportTest::TearDown();
    }
    // A fresh report state and an empty program log.
    void Restart() {
        CloseLogFile();
        std::filesystem::remove(Path("mirexa.log"));
        ResetInterferenceKinds(reports_.kinds);
        reports_.shown.clear();
    }
    // The log holds one failure note for the report.
    bool LogsFailureOf(const char* name) {
        CloseLogFile();
        const std::string log = LogText();
        const std::string note = "Report not written in full: " + Path(name) + " (";
        const std::size_t first = log.find(note);
        return first != std::string::npos && log.find(note, first + 1) == std::string::npos;
    }
};

TEST_F(ReportWriteFaultTest, FirstFormReportKeepsEveryEntryBeforeAFailure) {
    testing::ReportWriteScenario s;
    s.start = [this] { Restart(); };
    auto entry = [this](int kind, int line, const char* text) {
        return [this, kind, line, text] {
            reports_.kinds.eventCount = kNoEvent;
            RecordInterferenceKind(reports_.kinds, kind);
            WriteInterferenceReport(reports_, Block(line, text));
            return reports_.interference.writeFailed == 0 ? 1 : 0;
        };
    };
    s.steps = {
        {"<<< INTERFERENCE INFORMATION >>>\n--------------\nRAPID(G00)\n12:G00X50.\n",
         entry(kKindRapid, 12, "G00X50.\r\n")},
        {"\nTABLE2\n13:G01Z-5.\n", entry(kKindTable2, 13, "G01Z-5.\n")},
        {"\nRAPID(G00)\n14:G00Z50.\n", entry(kKindRapid, 14, "G00Z50.")},
    };
    s.finish = [this] {
        EXPECT_EQ(CloseInterferenceFile(reports_, Block(15, "M30\n")), 1);
        return reports_.interference.writeFailed == 0 ? 1 : 0;
    };
    s.read = [this] { return Read(kInterferenceReportName); };
    s.failureReported = [this] {
        return reports_.interference.writeFailed == 1 && LogsFailureOf(kInterferenceReportName);
    };
    testing::SweepReportWriteFaults(s);
    // A failed report is still shown: it holds what was written before the failure.
    EXPECT_EQ(reports_.shown, std::vector<std::string>{Path(kInterferenceReportName)});
}

TEST_F(ReportWriteFaultTest, SecondFormReportKeepsEveryStepLineBeforeAFailure) {
    Checks.heightCheck = 3;
    testing::ReportWriteScenario s;
    s.start = [this] {
        Restart();
        scratch_.Write(kInterferenceReport2Name, "");  // the user's marker
    };
    auto step = [this](int line, const char* stepLine) {
        return [this, line, stepLine] {
            InterferenceStep overLength;
            overLength.contact = overLength.stockAvailable = overLength.overLength = 1;
            WriteInterferenceStepLine(reports_, Block(line, "G01X1."), overLength, Checks,
                                      stepLine);
            return reports_.interference.writeFailed == 0 ? 1 : 0;
        };
    };
    s.steps = {
        {"<<< INTERFERENCE2 INFORMATION >>>\n--------------\n7:G01X1.\nLENGTH:1/2:X1\n",
         step(7, "1/2:X1\n")},
        {"LENGTH:2/2:X2\n", step(7, "2/2:X2\n")},
        {"\n8:G01X1.\nLENGTH:1/1:X3\n", step(8, "1/1:X3\n")},
    };
    s.finish = [this] {
        CloseInterferenceFile(reports_, Block(9, "M30\n"));
        return reports_.interference.writeFailed == 0 ? 1 : 0;
    };
    s.read = [this] { return Read(kInterferenceReport2Name); };
    s.failureReported = [this] {
        return reports_.interference.writeFailed == 1 && LogsFailureOf(kInterferenceReport2Name);
    };
    testing::SweepReportWriteFaults(s);
}

TEST_F(ReportWriteFaultTest, LimitLogsKeepEveryLineBeforeAFailure) {
    for (const int tool : {1, 2}) {
        const char* name = tool == 1 ? kSectionLimitLogName : kRemovalLimitLogName;
        SCOPED_TRACE(name);
        testing::ReportWriteScenario s;
        s.start = [this] { Restart(); };
        auto line = [this, tool](const char* text) {
            return [this, tool, text] {
                WriteLimitLogLine(reports_, tool, text);
                return reports_.limitLog.writeFailed == 0 ? 1 : 0;
            };
        };
        s.steps = {{"1:X0.0Y0.0Z0.0:9.0\n", line("1:X0.0Y0.0Z0.0:9.0\n")},
                   {"2:X1.0Y0.0Z0.0:9.5\n", line("2:X1.0Y0.0Z0.0:9.5\n")},
                   {"3:X2.0Y0.0Z0.0:9.9\n", line("3:X2.0Y0.0Z0.0:9.9\n")}};
        s.finish = [this, tool] {
            const int failedBefore = reports_.limitLog.writeFailed;
            const int lines = reports_.limitLog.lineCount;
            // Shown when a line was written, whatever failed after it.
            EXPECT_EQ(CloseLimitLog(reports_, tool), lines > 0 ? 1 : 0);
            return failedBefore == 0 && reports_.limitLog.writeFailed == 0 ? 1 : 0;
        };
        s.read = [this, name] { return Read(name); };
        s.failureReported = [this, name] {
            return reports_.limitLog.writeFailed == 1 && LogsFailureOf(name);
        };
        testing::SweepReportWriteFaults(s);
    }
}

// A log still open when the next logging tool opens its own is closed first; a failed close of
// the first is that log's failure, and the second starts clean.
TEST_F(ReportWriteFaultTest, AFailedCloseOfTheEarlierLogDoesNotMarkTheNextOne) {
    Restart();
    WriteLimitLogLine(reports_, 1, "1:a\n");
    ArmWriteFaults(1, kWriteFaultClose);
    EXPECT_EQ(OpenLimitFile(reports_, 2), 1);
    DisarmWriteFaults();
    EXPECT_TRUE(LogsFailureOf(kSectionLimitLogName));
    EXPECT_EQ(reports_.limitLog.writeFailed, 0);
    WriteLimitLogLine(reports_, 2, "2:b\n");
    EXPECT_EQ(CloseLimitLog(reports_, 2), 1);
    EXPECT_EQ(Read(kSectionLimitLogName), "1:a\n");
    EXPECT_EQ(Read(kRemovalLimitLogName), "2:b\n");
}

}  // namespace
}  // namespace mirexa
