// Holder outlines: the ARBOR, ARBOR2 and ARBOR3 lists (read the same way in a tools file's
// header, in a MAGAZINE item and in a holder file) and the holder file, which holds one holder.
#pragma once

#include <cstdint>
#include <string>

#include "config/tool_tables.h"
#include "platform/file_info.h"
#include "services/line_scanner.h"

namespace mirexa {

// Tests the start of line for "ARBOR3", "ARBOR2" and "ARBOR", in this order and without regard
// to case. Returns the keyword's length (6, 6 or 5) and sets *kind, or returns 0 when none
// matches.
int MatchArborKeyword(const char* line, std::uint32_t* kind);

// Reads a holder list of the given kind from line, starting at *cursor (the first value is the
// first number at or behind it; the others each behind the next ","). At most ten segments:
//   ARBOR:  d0, L0, d1, L1, ...   a diameter of 0 ends the list; count = cylinders read.
//   ARBOR2: d0, L0, d1, L1, ..., dn   the list ends where both L(i-1) and d(i) are 0; count =
//           diameters read - 1 (the last diameter closes the last segment).
//   ARBOR3: d0, L0, c0, d1, L1, c1, d2, ...   the list ends where both L(i) and d(i+1) are 0;
//           codes take the integer part of c(i).
// The profile is cleared first (every list entry 0), then present := 1, kind and count are set.
// Missing values read as 0. The cursor is left where the last value was found. Returns the
// count.
int ReadArborList(std::uint32_t kind, LineCursor* cursor, const char* line, ArborProfile* profile);

// 1 when the profile describes a holder the checks can use: at least one segment, every segment
// of a finite length above 0, every diameter it uses finite and not below 0 (a cylinder's above
// 0). An ARBOR line of zeros, of text or of a single value gives none.
int IsUsableArborProfile(const ArborProfile& profile);

// What the shell keeps of the holder file named in the tools file's header (the staged holder):
// the path read, its last-write time (the tools file is read again when it changes) and the
// status: 1 read, -1 it could not be opened, 0 no holder file named.
struct HolderFileState {
    std::string path = {};
    FileWriteTime writeTime = {};
    int status = {};
};
extern HolderFileState StagedHolderFile;

inline constexpr int kHolderFileRead = 1;       // the first ARBOR line was read
inline constexpr int kHolderFileNoHolder = 0;   // the file holds no ARBOR line
inline constexpr int kHolderFileMissing = -1;   // the file cannot be opened
inline constexpr int kHolderFileBadName = -2;   // empty name, or the full path is too long
inline constexpr int kHolderFileUnusable = -3;  // the ARBOR line gives no usable holder

// The longest holder-file path accepted (bytes, without the terminating NUL).
inline constexpr std::size_t kHolderPathLimit = 1023;

// Reads the holder file `name` into profile. The profile is cleared first (no holder). A name
// without a directory part ("/" or "\\") is taken from the directory of toolsFilePath; the path
// used is written to *resolvedPath when it is not null. Lines starting with "#" are comments; the
// first line that starts with an ARBOR keyword is read with ReadArborList (the values start
// right behind the keyword) and the rest of the file is ignored. Lines longer than 1,023
// characters are read as one line whose tail is dropped.
//
// staged is the shell's record of the tools file's own holder file, or null for a tool's own
// holder: when given, it receives the path, the write time (taken before the read) and the
// status (1 opened, -1 not).
//
// Returns kHolderFileRead, kHolderFileNoHolder, kHolderFileMissing, kHolderFileBadName or
// kHolderFileUnusable (IsUsableArborProfile); the profile stays cleared unless the result is
// kHolderFileRead.
int ReadArborFile(const std::string& name, const std::string& toolsFilePath, ArborProfile* profile,
                  HolderFileState* staged, std::string* resolvedPath);

}  // namespace mirexa
