// The alarm report "alarm.txt": the radius-offset alarms of a run. The file is started at the
// first alarm of a run with its header, closed at the end of the run (simulation or data check)
// and then shown in the default viewer when the run wrote an alarm and the controller asks for
// it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace mirexa {

struct NcSession;

struct AlarmReportFile {
    std::string path = "alarm.txt";  // in the working directory; tests point it elsewhere
    std::FILE* file = {};
    int writtenThisRun = {};  // an alarm was written since the file was last closed
    // 1 once a write, flush or close failed (until the report is started again): the failure is
    // in the program log and later alarms are not written, so every alarm written before stays
    // whole in the file.
    std::int32_t writeFailed = {};
};
extern AlarmReportFile AlarmReport;

// Appends one radius-offset alarm: "\nINTERFERENCE IN RADIUS(%.3f) OFFSET\n" with the radius
// (mm), then "%d:%s" with the main-file line number and the NC line as read (with its line end).
// `firstOfRun` 1 starts the file afresh (a file left open by an earlier run is closed first) with
// the header "<<< ALARM INFORMATION >>>\n--------------". Each alarm is written and flushed
// through the write-fault seam (platform/write_faults.h). Returns 1 when written, 0 when the
// file cannot be opened, this alarm's write or flush failed, or an earlier one's did (a failure
// is logged once: "Report not written in full: <path> (<step>: <reason>)").
int WriteRadiusOffsetAlarm(int firstOfRun, double radius, int lineNumber, const char* line);

// Closes the alarm report when it is open. When an alarm was written since the last close, the
// controller's CHECK RADIUS OFFSET is OPEN and the program does not run in automatic mode, the
// file is then opened in the default viewer (a file left from an earlier run is never shown).
// Always clears the run's radius-offset event flag. A failed close is logged and sets
// writeFailed.
void CloseAlarmFile(NcSession& session);

}  // namespace mirexa
