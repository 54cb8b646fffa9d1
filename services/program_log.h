// The program log mirexa.log: time-stamped entries appended by automatic runs, and the shared
// "show a message, or log it in automatic mode" service.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

namespace mirexa {

// The log's stream (null while closed) and the path it was opened with. Changed only by the
// functions below, which serialise every access, so any thread may log.
struct LogFileRecord {
    std::FILE* stream = {};
    std::string path = {};
};
extern LogFileRecord LogFile;

// Fills the local time of a log entry; returns 1, or 0 when the time is not available.
using LogTimeSource = int (*)(std::tm* out);

// Replaces the clock of the log entries (null restores the system's local time); tests use it
// to stamp entries with a fixed time. Returns the previous source.
LogTimeSource SetLogTimeSource(LogTimeSource source);

// Opens mirexa.log in FileLocations.logDirectory for appending, creating that directory (one
// level) when it is missing. An already open log stays open. Returns 1 when the log is open; on
// failure the stream stays null and entries are dropped, except in automatic mode: there they go
// to standard error until CloseLogFile (the first says once that the log could not be opened).
//
// Every entry is written with one write call, so entries of threads and of runs that share the
// log never mix inside a line. When another run (process) wrote to the log after this one, the
// next entry first ends a line that run left open and writes a stamped line naming this run's
// process id, so every entry can be told to its run. In automatic mode with standard error on a
// terminal, every entry also goes to standard error. The log is opened without following a link
// of its name and without waiting on a FIFO: such a log counts as one that cannot be opened.
// Until CloseLogFile the caller holds the log: entries of AppendLogEntry and AppendLogText go
// where this opening sent them (standard error included).
int OpenLogFile();

// Appends "YYYY/MM/DD hh:mm:ss：" and the message (full-width colon, UTF-8 bytes EF BC 9A). No
// line end is added after it: the message carries its own. When the log ends inside a line (a
// chain of AppendLogText messages, or an entry without its line end, of this or another
// process), a line end comes first, so each time-stamped entry starts its own line. Nothing is
// written while the log is closed (see OpenLogFile for automatic mode).
void WriteLogLine(const char* message);

// Closes the log; the stream becomes null.
void CloseLogFile();

// Writes one entry whether or not the log is open: into the open log, or by opening, writing
// and closing it.
void AppendLogEntry(const std::string& message);

// Writes the text as it is, without a time stamp and without a line end (the alarm messages of
// a run follow each other on one line, until the next time-stamped entry ends the line), into
// the open log, or by opening, writing and closing it. The text is data: a "%" in it is written
// as it stands.
void AppendLogText(const char* text);

// Logs "Report not written in full: <path> (<step>: <reason>)" for a report whose write, flush,
// close or rename (step) failed with the errno value error, and counts it: an unattended run
// that lost a report does not end with success.
void LogReportWriteFailure(const std::string& path, const char* step, int error);
// Logs "Report not written: <path> (<reason>)" for an output of a fixed name that could not be
// opened (a symbolic link, a FIFO or device, or the errno value error otherwise) and counts it
// as LogReportWriteFailure does. Keeps errno.
void LogOutputRefusal(const std::string& path, int error);

// Logs "Temporary file of an interrupted save removed: <path>" (a save found it in its folder).
// Any thread.
void LogRemovedTemporary(const std::string& path);

// The reports of this process logged by LogReportWriteFailure and LogOutputRefusal.
int CountReportWriteFailures();

// Counts work that ran out of memory and was given up (its message shown or logged by the
// caller): an unattended run that ran out of memory does not end with success. Any thread.
void NoteMemoryShortage();
// Logs "Memory over! (<what>)" and counts it as NoteMemoryShortage does. Any thread.
void LogMemoryShortage(const std::string& what);
// The shortages counted by NoteMemoryShortage and LogMemoryShortage.
int CountMemoryShortages();

// Shows a message box owned by the main window and kept on top, and returns the answer. In
// automatic mode no box is shown: the log receives "(lineNumber) - " and the text (with a line
// feed added when the text has none), and the box's default answer is returned. lineNumber is
// the NC line the message is about, 0 for messages that concern no NC line.
int ShowMessageOrLog(int lineNumber, const std::string& text, const std::string& caption,
                     unsigned style);

}  // namespace mirexa
