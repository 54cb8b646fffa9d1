// The alarm report "alarm.txt": the radius-offset alarms of a run. The file is started at the
// first alarm of a run with its header and closed at the end of the run.
#pragma once

#include <cstdio>
#include <string>

namespace mirexa {

struct AlarmReportFile {
    std::string path = "alarm.txt";  // in the working directory; tests point it elsewhere
    std::FILE* file = {};
};
extern AlarmReportFile AlarmReport;

// Appends one radius-offset alarm: "\nINTERFERENCE IN RADIUS(%.3f) OFFSET\n" with the radius
// (mm), then "%d:%s" with the main-file line number and the NC line as read (with its line end).
// `firstOfRun` 1 starts the file afresh (a file left open by an earlier run is closed first) with
// the header "<<< ALARM INFORMATION >>>\n--------------". Returns 1 when written, 0 when the file
// cannot be opened or written.
int WriteRadiusOffsetAlarm(int firstOfRun, double radius, int lineNumber, const char* line);

// Closes the alarm report when it is open.
void CloseAlarmFile();

}  // namespace mirexa
