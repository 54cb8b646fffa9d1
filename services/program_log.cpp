// The program log mirexa.log and the message-or-log service. One mutex serialises every access
// to the log stream, so the user-interface, simulation and automation threads may all log.
#include "services/program_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/file_reading.h"
#include "platform/message_box.h"
#include "services/file_paths.h"
#include "services/shared_state.h"

namespace mirexa {

LogFileRecord LogFile;

namespace {

std::mutex logMutex;

// Reports this process failed to write in full (LogReportWriteFailure).
std::atomic<int> reportWriteFailures{0};
// Work this process gave up for want of memory (NoteMemoryShortage).
std::atomic<int> memoryShortages{0};

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

// Set from OpenLogFile to CloseLogFile: a caller holds the log open (its stream, or in automatic
// mode the fallback to standard error when it could not be opened). The entries written in
// between go where the caller's opening sent them. Guarded by logMutex.
bool logHeld = false;

// Why the log's last opening failed (an errno value; 0 when it opened). Guarded by logMutex.
int logOpenError = 0;

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

// Where this process's last write to a log ended: the file and the offset behind the write.
// When the log's end is elsewhere, another run wrote after it. Guarded by logMutex.
struct OwnLogEnd {
    dev_t device = 0;
    ino_t inode = 0;
    off_t end = -1;
};
OwnLogEnd ownLogEnd;

std::string StampEntry(const char* message);

// The entry as it is to be appended to the log open on descriptor: a line left open there (an
// alarm chain) is ended before a stamped entry, and before any entry when another run left it;
// when another run wrote last, a stamped line naming this run's process comes first, so that
// every entry can be told to its run (the entries behind such a line, up to the next one, are
// that run's).
std::string PlaceInLog(int descriptor, const std::string& entry, bool stamped) {
    struct stat info = {};
    if (fstat(descriptor, &info) != 0) {
        return entry;
    }
    char last = '\n';
    const bool endsOpen =
        info.st_size > 0 && pread(descriptor, &last, 1, info.st_size - 1) == 1 && last != '\n';
    const bool ours = ownLogEnd.device == info.st_dev && ownLogEnd.inode == info.st_ino &&
                      ownLogEnd.end == info.st_size;
    if (!ours && info.st_size > 0) {
        const std::string mark =
            ChooseLanguageText("Entries of the run of process ", "以下はプロセス ") +
            std::to_string(getpid()) + ChooseLanguageText(" follow\n", " の実行の記録です\n");
        return (endsOpen ? "\n" : "") + StampEntry(mark.c_str()) + entry;
    }
    return stamped && endsOpen ? "\n" + entry : entry;
}

// How long an entry waits for another program's lock of the log before it is written without
// it: a reader that holds the log (a shared lock, a viewer) must not stop the run.
constexpr auto kLogLockPatience = std::chrono::seconds(3);
constexpr auto kLogLockRetry = std::chrono::milliseconds(2);

// Set once an entry waited for the log's lock in vain: later entries try the lock without
// waiting, and the log has said once that it was locked. Guarded by logMutex.
bool logLockGivenUp = false;
// Set once standard error was told that the log took an entry only in part or not at all.
// Guarded by logMutex.
bool logWriteNoticeGiven = false;

// Takes the log's lock for one entry: waits a bounded time for another holder (not at all after
// one such wait was in vain, nor once the program's abort is requested). True when locked.
bool LockLogForEntry(int descriptor) {
    const auto giveUp = std::chrono::steady_clock::now() + kLogLockPatience;
    for (;;) {
        if (flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) || logLockGivenUp ||
            ReadAbortRequested() != 0) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= giveUp) {
            logLockGivenUp = true;
            return false;
        }
        std::this_thread::sleep_for(kLogLockRetry);
    }
}

// The entry with every line feed and carriage return inside it (not its own line end) written as
// "\n" and "\r": a file name or text that holds line breaks cannot start lines of its own in the
// log that pass for entries.
std::string EscapeLineBreaks(const std::string& entry) {
    const std::size_t body =
        !entry.empty() && entry.back() == '\n' ? entry.size() - 1 : entry.size();
    if (entry.find_first_of("\r\n") >= body) {
        return entry;
    }
    std::string escaped;
    escaped.reserve(entry.size() + 8);
    for (std::size_t i = 0; i < body; ++i) {
        if (entry[i] == '\n') {
            escaped += "\\n";
        } else if (entry[i] == '\r') {
            escaped += "\\r";
        } else {
            escaped += entry[i];
        }
    }
    escaped.append(entry, body, std::string::npos);
    return escaped;
}

// Sends one entry to where it goes: the open log, and in automatic mode standard error too
// when the log could not be opened or standard error is a terminal; an entry the open log did
// not take (a full disk, the file-size limit) goes to standard error, after one line saying why.
// A stamped entry first ends a line left open there. The caller holds logMutex.
void EmitLocked(const std::string& rawEntry, bool stamped) {
    if (rawEntry.empty()) {
        return;
    }
    const std::string entry = EscapeLineBreaks(rawEntry);
    bool logTook = false;
    int writeError = 0;
    if (LogFile.stream != nullptr) {
        const int descriptor = fileno(LogFile.stream);
        // Runs sharing the log take turns from the look at its end to the write. A holder that
        // keeps the lock is waited for a few seconds, then the entry is written without it (the
        // log is opened for appending, so the entry still lands whole at its end).
        const bool gaveUpBefore = logLockGivenUp;
        const bool locked = LockLogForEntry(descriptor);
        std::string placed;
        if (!locked && logLockGivenUp && !gaveUpBefore) {
            const std::string notice = StampEntry(
                ChooseLanguageText("mirexa.log is locked by another program: entries are written "
                                   "without the lock\n",
                                   "mirexa.log が他のプログラムにロックされています。"
                                   "ロックなしで記録します\n"));
            placed = PlaceInLog(descriptor, notice + entry, true);
        } else {
            placed = PlaceInLog(descriptor, entry, stamped);
        }
        logTook = WriteWhole(descriptor, placed) != 0;
        writeError = logTook ? 0 : errno;
        struct stat info = {};
        const off_t end = lseek(descriptor, 0, SEEK_CUR);
        if (logTook && fstat(descriptor, &info) == 0 && end >= 0) {
            ownLogEnd = {info.st_dev, info.st_ino, end};
        }
        if (locked) {
            flock(descriptor, LOCK_UN);
        }
    }
    const bool toStandardError =
        (LogFile.stream != nullptr && !logTook) ||
        (AutomaticMode.load() != 0 && (LogFile.stream == nullptr || isatty(STDERR_FILENO) == 1));
    if (!toStandardError) {
        return;
    }
    StandardErrorLog& e = standardErrorLog;
    const std::string path = LogFile.path.empty() ? FileLocations.logDirectory : LogFile.path;
    if (LogFile.stream == nullptr && !e.noticeGiven) {
        e.noticeGiven = true;
        const std::string notice =
            std::string(e.chainOpen ? "\n" : "") + "mirexa.log cannot be opened (" + path +
            (logOpenError != 0 ? ": " + DescribeWriteRefusal(logOpenError) : std::string()) +
            "): its entries follow here\n";
        WriteWhole(STDERR_FILENO, notice);
        e.chainOpen = false;
    }
    if (LogFile.stream != nullptr && !logTook && !logWriteNoticeGiven) {
        logWriteNoticeGiven = true;
        const std::string notice =
            std::string(e.chainOpen ? "\n" : "") + "mirexa.log cannot be written (" + path + ": " +
            DescribeFileError(writeError) + "): the entries it does not take follow here\n";
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
    // A link or FIFO planted under the log's name is neither written through nor waited on.
    LogFile.stream = OpenRegularFileForWriting(path, "a+");
    if (LogFile.stream == nullptr && errno == ENOENT && !FileLocations.logDirectory.empty()) {
        // Only the last level is created; a missing parent makes this fail too.
        mkdir(ConvertPathSeparators(FileLocations.logDirectory).c_str(), 0777);
        LogFile.stream = OpenRegularFileForWriting(path, "a+");
    }
    logOpenError = LogFile.stream == nullptr ? errno : 0;
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
    logHeld = true;
    return OpenLogFileLocked();
}

void WriteLogLine(const char* message) {
    std::lock_guard<std::mutex> lock(logMutex);
    WriteLogLineLocked(message);
}

void CloseLogFile() {
    std::lock_guard<std::mutex> lock(logMutex);
    logHeld = false;
    CloseLogFileLocked();
}

void AppendLogEntry(const std::string& message) {
    std::lock_guard<std::mutex> lock(logMutex);
    // An entry of its own opens and closes the log, unless a caller holds it: closing here
    // would end the caller's fallback to standard error, and its next entries would be lost.
    const bool wasOpen = LogFile.stream != nullptr || logHeld;
    OpenLogFileLocked();
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
    // An entry of its own opens and closes the log, unless a caller holds it: closing here
    // would end the caller's fallback to standard error, and its next entries would be lost.
    const bool wasOpen = LogFile.stream != nullptr || logHeld;
    OpenLogFileLocked();
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

void LogOutputRefusal(const std::string& path, int error) {
    reportWriteFailures.fetch_add(1);
    AppendLogEntry(
        std::string(ChooseLanguageText("Report not written: ", "レポートを書き込みません: ")) +
        path + " (" + DescribeWriteRefusal(error) + ")\n");
    errno = error;
}

void LogRemovedTemporary(const std::string& path) {
    AppendLogEntry(std::string(ChooseLanguageText("Temporary file of an interrupted save removed: ",
                                                  "中断された保存の一時ファイルを削除しました: ")) +
                   path + "\n");
}

int CountReportWriteFailures() {
    return reportWriteFailures.load();
}

void NoteMemoryShortage() {
    memoryShortages.fetch_add(1);
}

void LogMemoryShortage(const std::string& what) {
    NoteMemoryShortage();
    AppendLogEntry("Memory over! (" + what + ")\n");
}

int CountMemoryShortages() {
    return memoryShortages.load();
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
