// The program log mirexa.log and the message-or-log service. One mutex serialises every access
// to the log stream, so the user-interface, simulation and automation threads may all log.
#include "geometry/program_log.h"

#include <atomic>
#include <mutex>

#include "geometry/file_paths.h"
#include "geometry/shared_state.h"
#include "platform/message_box.h"

namespace mirexa {

LogFileRecord LogFile;

namespace {

std::mutex logMutex;

int ReadSystemLocalTime(std::tm* out) {
    std::time_t now = std::time(nullptr);
    return localtime_r(&now, out) != nullptr ? 1 : 0;
}

std::atomic<LogTimeSource> logTimeSource{&ReadSystemLocalTime};

// Opens the log; the caller holds logMutex.
int OpenLogFileLocked() {
    if (LogFile.stream != nullptr) {
        return 1;
    }
    char path[4096];
    if (!JoinPath(FileLocations.logDirectory, "mirexa.log", path, sizeof path)) {
        return 0;
    }
    LogFile.path = path;
    LogFile.stream = OpenOutputFile(1, path, FileLocations.logDirectory, 0);
    return LogFile.stream != nullptr ? 1 : 0;
}

// Writes one entry; the caller holds logMutex.
void WriteLogLineLocked(const char* message) {
    if (LogFile.stream == nullptr || message == nullptr) {
        return;
    }
    std::tm time = {};
    if (!logTimeSource.load()(&time)) {
        time = std::tm{};
        time.tm_mday = 1;
        time.tm_year = 70;
    }
    std::fprintf(LogFile.stream, "%04d/%02d/%02d %02d:%02d:%02d\xEF\xBC\x9A%s", time.tm_year + 1900,
                 time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec, message);
    // Flushed per entry, so that the log of an automatic run survives a crash.
    std::fflush(LogFile.stream);
}

void CloseLogFileLocked() {
    if (LogFile.stream != nullptr) {
        std::fclose(LogFile.stream);
        LogFile.stream = nullptr;
    }
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
    bool wasOpen = LogFile.stream != nullptr;
    if (!wasOpen && !OpenLogFileLocked()) {
        return;
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
    bool wasOpen = LogFile.stream != nullptr;
    if (!wasOpen && !OpenLogFileLocked()) {
        return;
    }
    std::fputs(text, LogFile.stream);
    std::fflush(LogFile.stream);
    if (!wasOpen) {
        CloseLogFileLocked();
    }
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
