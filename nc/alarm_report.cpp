// The alarm report of a run: radius-offset alarms appended to "alarm.txt".
#include "nc/alarm_report.h"

#include <charconv>

namespace mirexa {

AlarmReportFile AlarmReport;

int WriteRadiusOffsetAlarm(int firstOfRun, double radius, int lineNumber, const char* line) {
    if (firstOfRun || AlarmReport.file == nullptr) {
        CloseAlarmFile();
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
    return std::fflush(AlarmReport.file) == 0 ? 1 : 0;
}

void CloseAlarmFile() {
    if (AlarmReport.file != nullptr) {
        std::fclose(AlarmReport.file);
        AlarmReport.file = nullptr;
    }
}

}  // namespace mirexa
