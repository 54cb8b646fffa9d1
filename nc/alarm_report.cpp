// The alarm report of a run: radius-offset alarms appended to "alarm.txt".
#include "nc/alarm_report.h"

#include <charconv>

#include "geometry/shared_state.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "platform/default_viewer.h"

namespace mirexa {

AlarmReportFile AlarmReport;

namespace {

void CloseAlarmStream() {
    if (AlarmReport.file != nullptr) {
        std::fclose(AlarmReport.file);
        AlarmReport.file = nullptr;
    }
}

}  // namespace

int WriteRadiusOffsetAlarm(int firstOfRun, double radius, int lineNumber, const char* line) {
    if (firstOfRun || AlarmReport.file == nullptr) {
        CloseAlarmStream();
        AlarmReport.file = std::fopen(AlarmReport.path.c_str(), firstOfRun ? "w" : "a");
        if (AlarmReport.file == nullptr) {
            return 0;
        }
        if (firstOfRun) {
            std::fputs("<<< ALARM INFORMATION >>>\n--------------", AlarmReport.file);
        }
    }
    // The radius is written with three decimals whatever the locale.
    char number[64] = {};
    const std::to_chars_result r =
        std::to_chars(number, number + sizeof number - 1, radius, std::chars_format::fixed, 3);
    *r.ptr = '\0';
    std::fprintf(AlarmReport.file, "\nINTERFERENCE IN RADIUS(%s) OFFSET\n", number);
    std::fprintf(AlarmReport.file, "%d:%s", lineNumber, line != nullptr ? line : "");
    AlarmReport.writtenThisRun = 1;
    return std::fflush(AlarmReport.file) == 0 ? 1 : 0;
}

void CloseAlarmFile() {
    CloseAlarmStream();
    // CHECK RADIUS OFFSET OPEN (list mode 2) shows what this run wrote.
    if (AlarmReport.writtenThisRun != 0 && NcController.radiusOffsetList == 2 &&
        AutomaticMode.load() == 0) {
        OpenInDefaultViewer(AlarmReport.path);
    }
    AlarmReport.writtenThisRun = 0;
    NcRun.compensation.radiusOffsetEvent = 0;
}

}  // namespace mirexa
