// The alarm report of a run: radius-offset alarms appended to "alarm.txt".
#include "nc/alarm_report.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "platform/default_viewer.h"
#include "platform/file_reading.h"
#include "platform/write_faults.h"
#include "services/program_log.h"
#include "services/shared_state.h"

namespace mirexa {

AlarmReportFile AlarmReport;

namespace {

// Logs the first failed write, flush or close of the report. Reads errno: call it straight after
// the failed call.
void NoteAlarmWriteFailure(const char* step) {
    const int error = errno;
    if (AlarmReport.writeFailed != 0) {
        return;
    }
    AlarmReport.writeFailed = 1;
    LogReportWriteFailure(AlarmReport.path, step, error);
}

// Closes the stream when it is open; 0 when the close failed (logged).
int CloseAlarmStream() {
    if (AlarmReport.file == nullptr) {
        return 1;
    }
    const int closed = CloseStream(AlarmReport.file) == 0 ? 1 : 0;
    AlarmReport.file = nullptr;
    if (!closed) {
        NoteAlarmWriteFailure("close");
    }
    return closed;
}

}  // namespace

int WriteRadiusOffsetAlarm(int firstOfRun, double radius, int lineNumber, const char* line) {
    std::string text;
    if (firstOfRun || AlarmReport.file == nullptr) {
        CloseAlarmStream();
        // A link or FIFO planted under the report's name is neither written through nor
        // waited on: the report is then not written, and the log says why.
        AlarmReport.file = OpenRegularFileForWriting(AlarmReport.path, firstOfRun ? "w" : "a");
        if (AlarmReport.file == nullptr) {
            LogOutputRefusal(AlarmReport.path, errno);
            return 0;
        }
        AlarmReport.writeFailed = 0;
        if (firstOfRun) {
            text = "<<< ALARM INFORMATION >>>\n--------------";
        }
    }
    if (AlarmReport.writeFailed != 0) {
        return 0;
    }
    // The radius is written with three decimals whatever the locale.
    char number[64] = {};
    const std::to_chars_result r =
        std::to_chars(number, number + sizeof number - 1, radius, std::chars_format::fixed, 3);
    *r.ptr = '\0';
    text += std::string("\nINTERFERENCE IN RADIUS(") + number + ") OFFSET\n" +
            std::to_string(lineNumber) + ":" + (line != nullptr ? line : "");
    if (WriteStream(text.data(), 1, text.size(), AlarmReport.file) != text.size()) {
        NoteAlarmWriteFailure("write");
        return 0;
    }
    AlarmReport.writtenThisRun = 1;
    if (FlushStream(AlarmReport.file) != 0) {
        NoteAlarmWriteFailure("flush");
        return 0;
    }
    return 1;
}

void CloseAlarmFile(NcSession& session) {
    CloseAlarmStream();
    // CHECK RADIUS OFFSET OPEN (list mode 2) shows what this run wrote.
    if (AlarmReport.writtenThisRun != 0 && session.controller.radiusCheckListMode == 2 &&
        AutomaticMode.load() == 0) {
        OpenInDefaultViewer(AlarmReport.path);
    }
    AlarmReport.writtenThisRun = 0;
    session.run.compensation.radiusOffsetEvent = 0;
}

}  // namespace mirexa
