// Path and file services: opening streams, joining and splitting paths, finding data files in
// the usual places and without regard to case, and opening output files.
//
// Separators: "/" is the separator we write (JoinPath inserts it). Paths read from files authored
// on Windows may hold "\\", so every splitting and testing function takes both "/" and "\\" as
// separators, and every function that touches the file system first turns "\\" into "/". A drive
// prefix such as "C:" is kept as text by the splitters and has no meaning to the file system.
// Paths are UTF-8, whose multi-byte characters never contain a "/" or "\\" byte, so every such
// byte is a separator.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/text.h"  // EqualIgnoringCase for the readers

namespace mirexa {

// Directories that the configuration reader fills at start-up, before any worker thread runs.
struct FileLocationSettings {
    // The settings value "Target_LOGdir": where mirexa.log is written. Empty: the working
    // directory.
    std::string logDirectory = {};
    // The directory of the program; data files not found elsewhere are taken from there.
    std::string programDirectory = {};
    // The current directory recorded at start-up. Empty: the process's working directory.
    std::string currentDirectory = {};
};
extern FileLocationSettings FileLocations;

// Why a file could not be opened, read or written, from the error number the failure left, in
// the interface's language: "not found", "not a regular file" (EINVAL of OpenRegularFile), "a
// folder", "no permission", "the disk is full", "read-only file system", "the file-size limit
// was reached", and the system's text for others.
std::string DescribeFileError(int errorNumber);

// The error with which the file at path does not open for reading as OpenFileStream opens it
// (a regular file only): 0 when it opens, ENOENT for an empty path.
int FileOpenError(const std::string& path);

// The error of a file the program looked for: FileOpenError at path, with *refusedPath set to
// path. When the file is not there (ENOENT) and a file of its name in the directory (ending in
// "/"; the working folder, where a name is looked for before the program's folder) is there but
// does not open (a FIFO, a device, a folder, no permission), that is the file the user meant:
// its error, with *refusedPath set to it.
int FindFileRefusal(const std::string& path, const std::string& directory,
                    std::string* refusedPath);

// The message of a file that could not be used: missing (the caller's words for a file that is
// not there) when error is 0 or ENOENT; else refused (the caller's words for a file that is there
// but cannot be read, ending in ": ") and the reason (DescribeFileError: "not a regular file" for
// a FIFO or a device).
std::string MissingOrRefusedText(int error, const char* missing, const char* refused);

// Opens a stream in the given mode ("r", "w", "a", binary modes as given), or returns null.
// A read mode falls back to a file whose name matches without regard to case and opens regular
// files only (OpenRegularFile: a directory, a FIFO or a device is refused without waiting).
std::FILE* OpenFileStream(std::string_view fileName, const char* mode);

// Functions with an output buffer return 1 and write a NUL-terminated text, or return 0 and
// leave the buffer unchanged when the text (with its NUL) does not fit the capacity. The output
// may be the same buffer as an input.

// out := name when the directory is empty; else the directory, "/" unless it already ends in a
// separator, and the name.
int JoinPath(std::string_view directory, std::string_view name, char* out, std::size_t capacity);

// The drive and directory part of a path, ending in its separator ("" when the path has none).
int GetPathDirectory(std::string_view path, char* out, std::size_t capacity);

// The file name part of a path, with its extension (from the last ".", dot included) when
// withExtension is non-zero.
int GetPathFileName(std::string_view path, int withExtension, char* out, std::size_t capacity);

// Checks that the file or directory exists and writes its path as the file system spells it:
// the source with "/" separators, or, when only a name differing in case exists, that name.
// Returns 0 when nothing matches or the result does not fit (a result as long as the capacity
// does not fit).
int ExpandLongPath(std::string_view source, char* out, std::size_t capacity);

// Locates a data file: a name holding a separator is taken as a path relative to the current
// directory; otherwise the first readable of (directory, name), (current directory, name), and
// else (program directory, name) without a test. Names are matched without regard to case.
// Returns 1 with the path written, 0 for an empty name or a path that does not fit; whether the
// file exists is for the caller to find out by opening it.
int ResolveDataFile(std::string_view directory, std::string_view name, char* out,
                    std::size_t capacity);

// Opens an output file for appending (append non-zero) or writing. When a directory of the path
// is missing and directory is not empty, creates that one directory level and tries again. On
// failure, with showMessage set, tells the user "Write protect" in a box with the path as its
// caption (logged instead in automatic mode). Returns the stream or null.
std::FILE* OpenOutputFile(int append, std::string_view path, std::string_view directory,
                          int showMessage);

// --- Helpers for readers -------------------------------------------------------------------

// The path with every "\\" turned into "/".
std::string ConvertPathSeparators(std::string_view path);

// 1 when the path's extension equals the given one ignoring case; the extension may be given
// with or without its dot (".STL" and "stl" both match "part.stl").
int HasFileExtension(std::string_view path, std::string_view extension);

// Finds an existing file or directory: the path itself, or else, component by component, the
// entry whose name matches without regard to case (the first in byte order when several do).
// Returns 1 with the path as the file system spells it, or 0.
int FindFileIgnoringCase(std::string_view path, std::string* found);

}  // namespace mirexa
