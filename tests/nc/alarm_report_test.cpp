// The alarm report with every write, flush and close failed in turn, called as the compensation
// calls it (a fresh start until an alarm has been written): the failure is returned and logged
// once, every alarm reported written stays whole in the file, nothing crashes.
#include "nc/alarm_report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/config_records.h"
#include "nc/nc_session.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "support/report_write_faults.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

using testing::ReadWholeFile;

class AlarmReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLog_ = FileLocations.logDirectory;
        savedLanguage_ = UiLanguage.load();
        CloseLogFile();
        FileLocations.logDirectory = dir_.Path();
        UiLanguage = 1;
        AlarmReport.path = dir_.At("alarm.txt");
    }
    void TearDown() override {
        DisarmWriteFaults();
        CloseAlarmFile(RunSession);
        AlarmReport = {};
        CloseLogFile();
        FileLocations.logDirectory = savedLog_;
        UiLanguage = savedLanguage_;
    }
    std::string Log() {
        CloseLogFile();
        return ReadWholeFile(dir_.At("mirexa.log"));
    }

    testing::ScratchDirectory dir_;
    int opened_ = 0;  // an alarm of this run was written (the compensation's flag)

private:
    std::string savedLog_;
    int savedLanguage_ = 0;
};

TEST_F(AlarmReportTest, EveryFailedStepIsReportedAndKeepsTheAlarmsWrittenBefore) {
    testing::ReportWriteScenario s;
    s.start = [this] {
        CloseAlarmFile(RunSession);
        CloseLogFile();
        std::filesystem::remove(dir_.At("mirexa.log"));
        opened_ = 0;
    };
    auto alarm = [this](double radius, int line, const char* text) {
        return [this, radius, line, text] {
            const int written = WriteRadiusOffsetAlarm(opened_ ? 0 : 1, radius, line, text);
            opened_ |= written;
            return written;
        };
    };
    s.steps = {{"<<< ALARM INFORMATION >>>\n--------------", [] { return 1; }},
               {"\nINTERFERENCE IN RADIUS(5.000) OFFSET\n4:Y-7.\r\n", alarm(5.0, 4, "Y-7.\r\n")},
               {"\nINTERFERENCE IN RADIUS(0.125) OFFSET\n9:X3.\n", alarm(0.125, 9, "X3.\n")},
               {"\nINTERFERENCE IN RADIUS(12.000) OFFSET\n10:", alarm(12.0, 10, nullptr)}};
    s.finish = [] {
        CloseAlarmFile(RunSession);
        return AlarmReport.writeFailed == 0 ? 1 : 0;
    };
    s.read = [this] { return ReadWholeFile(AlarmReport.path); };
    s.failureReported = [this] {
        const std::string log = Log();
        const std::string note = "Report not written in full: " + AlarmReport.path + " (";
        return log.find(note) != std::string::npos ? 1 : 0;
    };
    // After a failed first alarm the next one starts the report afresh: the file need not be a
    // prefix of the clean one, but it holds every alarm reported written.
    s.stopsAtFailure = false;
    testing::SweepReportWriteFaults(s);
}

TEST_F(AlarmReportTest, AfterAFailureLaterAlarmsOfTheRunAreRefusedAndTheNextRunStartsClean) {
    ASSERT_EQ(WriteRadiusOffsetAlarm(1, 1.0, 1, "G41\n"), 1);
    ArmWriteFaults(1, kWriteFaultWrite);
    EXPECT_EQ(WriteRadiusOffsetAlarm(0, 2.0, 2, "X1.\n"), 0);
    DisarmWriteFaults();
    // No hole: the third alarm is not written behind the lost second.
    EXPECT_EQ(WriteRadiusOffsetAlarm(0, 3.0, 3, "X2.\n"), 0);
    CloseAlarmFile(RunSession);
    EXPECT_EQ(ReadWholeFile(AlarmReport.path),
              "<<< ALARM INFORMATION >>>\n--------------\nINTERFERENCE IN RADIUS(1.000) "
              "OFFSET\n1:G41\n");
    const std::string log = Log();
    EXPECT_NE(log.find("(write: No space left on device)"), std::string::npos) << log;
    EXPECT_EQ(WriteRadiusOffsetAlarm(1, 4.0, 4, "X3.\n"), 1);
    CloseAlarmFile(RunSession);
    EXPECT_EQ(ReadWholeFile(AlarmReport.path),
              "<<< ALARM INFORMATION >>>\n--------------\nINTERFERENCE IN RADIUS(4.000) "
              "OFFSET\n4:X3.\n");
}

}  // namespace
}  // namespace mirexa
