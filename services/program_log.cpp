// The program log mirexa.log and the message-or-log service. One mutex serialises every access
// to the log stream, so the user-interface, simulation and automation threads may all log.
#include "services/program_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/message_box.h"
#include "services/file_paths.h"
#include "services/shared_state.h"

namespace mirexa {

LogFileRecord LogFile;

namespace {

std::mutex logMutex;

// Reports this process failed to write in full (LogReportWriteFailure).
std::atomic<int> reportWriteFailures{0};

int ReadSystemLocalTime(std::tm* out) {
    std::time_t now = std::time(nullptr);
    return localtime_r(&now, out) != nullptr ? 1 : 0;
}

std::atomic<LogTimeSource> logTimeSource{&ReadSystemLocalTime};

// What this process has sent to standard error: whether the notice of an unopened log was
// given, and whether the last entry there lacked its line end. Guarded by logMutex.
struct StandardErrorLog {
    bool noticeGiven = false;
    bool chainOpen = false;
};
StandardErrorLog standardErrorLog;

// Set while entries go to standard error because the log could not be opened (automatic mode),
// from the failed open until CloseLogFile. Guarded by logMutex.
bool logFallback = false;

// Writes all the bytes with as few write calls as the system allows (one for an entry of a
// regular file); 1, or 0 when a write failed. Not through the write-fault seam: the log replaces
// no user's file, and a fault plan armed around a writer must not count its log lines.
int WriteWhole(int descriptor, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = write(descriptor, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return 0;
        }
        done += static_cast<std::size_t>(count);
    }
    return 1;
}

// 1 when the log file ends in the middle of a line (a chain of alarm messages, of this process
// or of another run writing the same log).
int LogEndsOpen(int descriptor) {
    struct stat info = {};
    char last = '\n';
    return fstat(descriptor, &info) == 0 && info.st_size > 0 &&
                   pread(descriptor, &last, 1, info.st_size - 1) == 1 && last != '\n'
               ? 1
               : 0;
}

// Sends one entry to where it goes: the open log, and in automatic mode standard error too
// when the log could not be opened or standard error is a terminal. A stamped entry first ends
// a line left open there. The caller holds logMutex.
void EmitLocked(const std::string& entry, bool stamped) {
    if (entry.empty()) {
        return;
    }
    if (LogFile.stream != nullptr) {
        const int descriptor = fileno(LogFile.stream);
        WriteWhole(descriptor, stamped && LogEndsOpen(descriptor) ? "\n" + entry : entry);
    }
    const bool toStandardError =
        AutomaticMode.load() != 0 && (LogFile.stream == nullptr || isatty(STDERR_FILENO) == 1);
    if (!toStandardError) {
        return;
    }
    StandardErrorLog& e = standardErrorLog;
    if (LogFile.stream == nullptr && !e.noticeGiven) {
        e.noticeGiven = true;
        const std::string notice =
            std::string(e.chainOpen ? "\n" : "") + "mirexa.log cannot be opened (" +
            (LogFile.path.empty() ? FileLocations.logDirectory : LogFile.path) +
            "): its entries follow here\n";
        WriteWhole(STDERR_FILENO, notice);
        e.chainOpen = false;
    }
    WriteWhole(STDERR_FILENO, stamped && e.chainOpen ? "\n" + entry : entry);
    e.chainOpen = entry.back() != '\n';
}

// Opens the log for appending (and reading its last byte); the caller holds logMutex.
int OpenLogFileLocked() {
    if (LogFile.stream != nullptr) {
        return 1;
    }
    char path[4096];
    if (!JoinPath(FileLocations.logDirectory, "mirexa.log", path, sizeof path)) {
        logFallback = AutomaticMode.load() != 0;
        return 0;
    }
    LogFile.path = path;
    LogFile.stream = std::fopen(path, "a+");
    if (LogFile.stream == nullptr && errno == ENOENT && !FileLocations.logDirectory.empty()) {
        // Only the last level is created; a missing parent makes this fail too.
        mkdir(ConvertPathSeparators(FileLocations.logDirectory).c_str(), 0777);
        LogFile.stream = std::fopen(path, "a+");
    }
    if (LogFile.stream != nullptr) {
        fcntl(fileno(LogFile.stream), F_SETFD, FD_CLOEXEC);
    }
    logFallback = LogFile.stream == nullptr && AutomaticMode.load() != 0;
    return LogFile.stream != nullptr ? 1 : 0;
}

// The entry with its time stamp "YYYY/MM/DD hh:mm:ss：" (full-width colon).
std::string StampEntry(const char* message) {
    std::tm time = {};
    if (!logTimeSource.load()(&time)) {
        time = std::tm{};
        time.tm_mday = 1;
        time.tm_year = 70;
    }
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d\xEF\xBC\x9A",
                  time.tm_year + 1900, time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min,
                  time.tm_sec);
    return std::string(stamp) + message;
}

// Writes one entry; the caller holds logMutex. Nothing goes anywhere while the log is closed,
// unless its opening failed in automatic mode.
void WriteLogLineLocked(const char* message) {
    if ((LogFile.stream == nullptr && !logFallback) || message == nullptr) {
        return;
    }
    EmitLocked(StampEntry(message), true);
}

void CloseLogFileLocked() {
    if (LogFile.stream != nullptr) {
        std::fclose(LogFile.stream);
        LogFile.stream = nullptr;
    }
    logFallback = false;
}

}  // namespace

LogTimeSource SetLogTimeSource(LogTimeSource source) {
    return logTimeSource.exchange(source != nullptr ? source : &ReadSystemLocalTime);
}

int OpenLogFile() {
    std::lock_guard<std::mutex> lock(logMutex);
    return OpenLogFileLocked();
}

void WriteLogLine(const char* message) {
    std::lock_guard<std::mutex> lock(logMutex);
    WriteLogLineLocked(message);
}

void CloseLogFile() {
    std::lock_guard<std::mutex> lock(logMutex);
    CloseLogFileLocked();
}

void AppendLogEntry(const std::string& message) {
    std::lock_guard<std::mutex> lock(logMutex);
    const bool wasOpen = LogFile.stream != nullptr;
    if (!wasOpen) {
        OpenLogFileLocked();
    }
    WriteLogLineLocked(message.c_str());
    if (!wasOpen) {
        CloseLogFileLocked();
    }
}

void AppendLogText(const char* text) {
    if (text == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(logMutex);
    const bool wasOpen = LogFile.stream != nullptr;
    if (!wasOpen) {
        OpenLogFileLocked();
    }
    if (LogFile.stream != nullptr || logFallback) {
        EmitLocked(text, false);
    }
    if (!wasOpen) {
        CloseLogFileLocked();
    }
}

void LogReportWriteFailure(const std::string& path, const char* step, int error) {
    reportWriteFailures.fetch_add(1);
    AppendLogEntry(std::string(ChooseLanguageText("Report not written in full: ",
                                                  "レポートを最後まで書き込めません: ")) +
                   path + " (" + step + ": " + std::strerror(error) + ")\n");
}

int CountReportWriteFailures() {
    return reportWriteFailures.load();
}

int ShowMessageOrLog(int lineNumber, const std::string& text, const std::string& caption,
                     unsigned style) {
    if (AutomaticMode.load() != 0) {
        AppendLogEntry(FormatAutomaticMessageLogEntry(lineNumber, text));
        return GetDefaultMessageBoxAnswer(style);
    }
    return ShowMessageBox(MainWindow.load(), text, caption, style | MBX_TOPMOST, lineNumber);
}

}  // namespace mirexa
