// The offset memories of the controller definition file: tool length and radius offsets with
// their wear, the feed memory, the work offsets and the reference points; the MEMORY lines that
// hold them, read by the controller reader and rewritten from the tables by the rewriters.
//
// Line forms (keyword at position 0, case ignored; blanks and "=" between the parts free):
//   MEMORY D<n>= offset[,wear]   MEMORY H<n>= offset[,wear]   MEMORY F<n>= feed
//   MEMORY EXOFS= (x,y,z,a,b)    MEMORY WK<n>= (...)           MEMORY G5<d>= (...)  d 4..9
//   MEMORY REF-PT[1..4]= (...)   and bare D<n>=, H<n>=, F<n>= with the number right behind the
//   letter.
// Offset and feed numbers are 0..999, work offset numbers 0..200 (WK0 is the external offset,
// like EXOFS). A line whose number is missing or outside its table is ignored when read and
// copied unchanged when rewritten.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "services/line_scanner.h"

namespace mirexa {

inline constexpr int kToolOffsetCount = 1000;
inline constexpr int kFeedMemoryCount = 1000;
inline constexpr int kReferencePointCount = 4;

// Offset memory types: 1 A (no wear), 2 B, 3 C (a wear value beside every offset).
struct ToolOffsetMemory {
    float d[kToolOffsetCount] = {};      // radius offsets (mm)
    float dWear[kToolOffsetCount] = {};  // their wear (mm)
    float h[kToolOffsetCount] = {};      // length offsets (mm)
    float hWear[kToolOffsetCount] = {};  // their wear (mm)
    std::int32_t type = 3;
};
extern ToolOffsetMemory ToolOffsets;

// Feeds (mm/min) of indirect F words, by F number.
extern float FeedMemory[kFeedMemoryCount];

// X, Y, Z (mm), rotary 1, rotary 2 (deg) of the four reference points.
struct ReferencePoint {
    float axis[5] = {};
    std::int32_t present = {};  // 1 once a MEMORY REF-PT line set the point
};
extern ReferencePoint ReferencePoints[kReferencePointCount];

enum OffsetLineKind {
    kOffsetLineNone = 0,      // not an offset line this module takes
    kOffsetLineD = 1,         // number: offset number
    kOffsetLineH = 2,         // number: offset number
    kOffsetLineF = 3,         // number: F number
    kOffsetLineExternal = 4,  // EXOFS; number 0
    kOffsetLineWork = 5,      // WK; number: entry
    kOffsetLineG5 = 6,        // number: the digit 4..9 (entry digit - 3)
    kOffsetLineReference = 7  // number: reference point 1..4
};

// What a MEMORY line or a bare D/H/F line holds, as the reader takes it.
struct OffsetLineInfo {
    OffsetLineKind kind = kOffsetLineNone;
    std::int32_t number = {};
    LineCursor values = {};  // where the value scans start
};

// Recognises the offset line (line: the readers' text of one line, see DefinitionLine). bare 0
// for a line that matched the keyword "MEMORY", 1 for one that matched none of the controller
// keywords but starts with "D", "H" or "F". Returns 1 with info filled when the line addresses an
// entry of a table, 0 when it is to be ignored (info.kind kOffsetLineNone).
int ParseOffsetMemoryLine(const char* line, int bare, OffsetLineInfo* info);

// Reads the values of a recognised line into its table.
void StoreOffsetMemoryValues(const char* line, const OffsetLineInfo& info);

// Clears the four offset arrays (the type stays). The work offsets are cleared by the controller
// reader; the feed memory and the reference points are never cleared.
void ClearToolOffsetMemory();

// Writes "(" and the five values, each printed with six decimals and stripped of trailing zeros
// and of a bare decimal point, separated by ",", then ")". (10, 20.5, -3, 0, 0) gives
// "(10,20.5,-3,0,0)".
std::string FormatOffsetTuple(const double values[5]);

// --- Rewriting the controller file --------------------------------------------------------

// Which memories a rewrite renews.
inline constexpr unsigned kRewriteDOffsets = 1;
inline constexpr unsigned kRewriteHOffsets = 2;
inline constexpr unsigned kRewriteWorkOffsets = 4;

// Results of the rewriters. On every failure the controller file is left as it was, no
// temporary copy is left behind, and the stored write time is unchanged.
inline constexpr int kOffsetRewriteDone = 1;
inline constexpr int kOffsetRewriteNoFile = -1;         // the file cannot be read
inline constexpr int kOffsetRewriteChangedOnDisk = -2;  // changed since the last reading
inline constexpr int kOffsetRewriteWriteFailed = -3;    // the new copy could not be written
inline constexpr int kOffsetRewriteBackupFailed = -4;   // the ".bak" copy could not be made
inline constexpr int kOffsetRewriteReplaceFailed = -5;  // the copy could not replace the file

// The file's text with the chosen memories renewed from the tables; every other line, and
// every line's own line end, kept byte for byte. A renewed line is written anew in MEMORY form
// (keeping its line end) or dropped when its entry is zero; entries with no line are appended
// in ascending order after the last line, with the file's dominant line end (a line end is first
// added to a last line that has none). D and H: the one-value form for memory type 1, the
// offset-and-wear form otherwise; number 0 is never appended. Work offsets: entry 0 as EXOFS,
// entries 1-6 as G54-G59 in dialect 0 and as WK1-WK6 otherwise, entries 7-200 as WK.
std::string RewriteOffsetMemoryText(std::string_view content, unsigned kinds);

// Renews the chosen memories in the controller file named by the controller path, through a
// temporary copy of its own beside it (written, checked, flushed to disk, then renamed over the
// file in one step; platform/file_replacement.h) and path + ".bak" (a copy of the file as it
// was). Refuses when the file's write time differs from
// the one stored at the last reading or rewrite (an outside edit would otherwise be lost).
// Stores the new write time on success. Returns one of the kOffsetRewrite codes.
int UpdateCtlOffsetMemories(unsigned kinds);

// kind 0 renews the D lines, kind 1 the H lines.
int UpdateCtlToolOffsets(int kind);
// Renews the EXOFS, G5 and WK lines.
int UpdateCtlWorkOffsets();

// Between Begin and End, only the first successful rewrite makes the ".bak", so the backup holds
// the file as it was before the whole batch (the plug-in path renews D, H and the work offsets
// back to back). Batches nest.
void BeginOffsetRewriteBatch();
void EndOffsetRewriteBatch();

}  // namespace mirexa
