// Opening input files and fixed-name output files (regular files only: a FIFO or a device never
// holds a reader or a writer, and a link never redirects an output), the bounds
// on what a reader takes, and the abort request that every read loop honours.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <string>

namespace mirexa {

// The most bytes of a file read whole (settings, report template): a larger one is no file of
// ours, and reading it would only fill the memory.
inline constexpr std::size_t kWholeFileReadLimit = std::size_t{64} << 20;
// The most bytes a line reader skips behind a line it cut at its length limit before it gives up
// on the file: a text file of ours has no such line, a binary or endless one does.
inline constexpr long kLineTailLimit = 1L << 20;
// A read loop tests the abort request at least once per this many bytes.
inline constexpr long kAbortTestInterval = 1L << 16;

// Opens path for reading with an fopen read mode ("r", "rb", "r+" ...). The file is opened
// without waiting (a FIFO with no writer does not block) and kept only when it is a regular
// file; anything else (a directory, a FIFO, a device such as /dev/zero, a socket) is closed
// again and null returned with errno EISDIR for a directory, else EINVAL. Other failures leave
// the errno of open. Any other mode returns null with EINVAL.
std::FILE* OpenRegularFile(const std::string& path, const char* mode);

// Opens path for writing ("w", "wb": emptied) or appending ("a", "ab", "a+": reading too) for
// the reports and logs of fixed names. A symbolic link of that name is not followed (null, errno
// ELOOP), a FIFO, device or directory is not waited on and not kept (null, errno EINVAL or
// EISDIR); a missing file is created (mode 0666 less the umask). A file is emptied only once it
// is known to be a regular file. Other failures leave the errno of open.
std::FILE* OpenRegularFileForWriting(const std::string& path, const char* mode);

// The reason an open of OpenRegularFileForWriting failed, for the log: "a symbolic link",
// "not a regular file", else the system's text of the error number.
std::string DescribeWriteRefusal(int errorNumber);

// The reason an open of OpenRegularFile failed, for messages: "not a regular file" for EINVAL,
// else the system's text of the error number.
std::string DescribeReadFailure(int errorNumber);

// Whether a read or a file replacement gives way to the program's abort request
// (ReadAbortRequested). The settings file is the user's, not an output of the work the abort
// stops: its reads and writes take no notice (Ignore), so that a window that ends on an abort
// signal still reads and writes its settings as at any end.
enum class AbortRule { Honour, Ignore };

// Reads the whole regular file at path into *content (replacing it). Returns 1, 0 when the file
// does not exist, -1 when it cannot be opened or read, is no regular file, is larger than limit
// bytes, or the abort request came while reading under AbortRule::Honour (errno EFBIG for the
// size, EINTR for the abort).
int ReadWholeRegularFile(const std::string& path, std::string* content,
                         std::size_t limit = kWholeFileReadLimit,
                         AbortRule abortRule = AbortRule::Honour);

// The abort request of the running program: the flag its abort signals raise (non-zero: abort).
// Set once at start-up; null (the default) means reads are never aborted. Safe from any thread.
void SetReadAbortFlag(const std::atomic<int>* flag);
// 1 when the flag set above is raised; 0 otherwise. Any thread.
int ReadAbortRequested();

}  // namespace mirexa
