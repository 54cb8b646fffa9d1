// The tools file (.TTL): the magazine's tools with their cutter shape and sizes, length record,
// holder, shift, pen, load limits, feed-optimisation tables and mounting positions, read into
// the tool tables; and the display name of a tool.
//
// Layout: an optional header (holder lines ARBOR/ARBOR2/ARBOR3 and an ATL holder file that every
// following tool receives), "I" lines naming the start tool, "#" comments, and MAGAZINE lines
// whose items (shape keywords, then LENGTH, ARBOR, ATL, SHIFT, PEN, LIMIT, OPT-F, LAYOUT1,
// NAME=) may continue on the following lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "config/holder_file.h"
#include "config/tool_tables.h"
#include "platform/file_info.h"

namespace mirexa {

struct NcSession;

struct KinematicsSessionRecords;
struct ToolSessionRecords;

// The largest size of a tool or its holder (mm, and deg for angles): a larger or non-finite one
// makes the tool unusable (it is taken out of the magazine with a log line).
inline constexpr float kToolSizeLimit = 10000.0f;

// The tools mounted at fixed positions (LAYOUT1), for tool numbers 0 .. 200 whatever MAX
// MAGAZINE is. The list is 1-based: list[1 .. count].
inline constexpr int kMountedToolEntries = 201;
struct MountedToolLayout {
    std::uint32_t flags[kMountedToolEntries] = {};
    double positions[kMountedToolEntries][3] = {};  // mm
    std::int32_t list[kMountedToolEntries] = {};
    std::int32_t count = {};
};
extern MountedToolLayout MountedTools;

struct ToolFileState {
    std::int32_t status = {};        // 1 read, -1 not opened
    std::int32_t refusedTools = {};  // tools of the last reading with a size no machine has
    // Holder files the last reading named that gave no holder (missing, no regular file, empty
    // or without an ARBOR line), and the first of them with its reason, for the message.
    std::int32_t unusableHolderFiles = {};
    std::string holderFileProblem = {};
    std::string path = {};
    FileWriteTime fileTime = {};
    std::int32_t highestTool = 11;  // the pockets the tool panel shows (at least 11)
    std::int32_t currentTool = 1;
    std::int32_t initialTool = 1;
    ArborProfile stagedHolder = {};  // the header's holder, given to every following tool
};
extern ToolFileState ToolFile;

// The first size of tool n of the tool tables (its shape, lengths and holder, mm or deg) that is
// not finite or beyond kToolSizeLimit, or a diameter of zero and below (but for a scribing tool)
// or a negative radius or cutting length, by name into *what; false when every size is one a
// machine can have.
bool FindSizeOfNoMachine(std::size_t n, std::string* what);

// True when any tool of the tool tables is present.
bool ToolTablesHoldATool();

// What a reading of the tools file replaces: kept before a reading that may yield nothing to use,
// so that the records in use can be put back.
struct ToolFileReading {
    ToolTables tables = {};
    ToolFileState file = {};
    MountedToolLayout mounted = {};
    HolderFileState holder = {};
};
ToolFileReading KeepToolFileReading();
// Puts the kept records back and makes the kept current tool current again.
void RestoreToolFileReading(NcSession& session, KinematicsSessionRecords& kinematics,
                            ToolSessionRecords& tools, const ToolFileReading& kept);

// Reads the file named by the tools path of the definition file paths; see ReadToolFileAt.
void ReadToolFile(NcSession& session, KinematicsSessionRecords& kinematics,
                  ToolSessionRecords& tools);

// The shift that puts tool n's length on the TOOL BASE POINT of the settings: the ball's radius
// (BALL-CENTER, ball tools only), the corner centre's height (F-CENTER), the length value
// (LENGTH-TOP) or the top of the tool's profile (ARBOR-TOP); 0 at the tool's bottom.
float BasePointShift(int n);

// Clears the tool tables' tools (names freed), reads the file into entries 1 .. MAX MAGAZINE,
// applies the KEGAKI and no-length rules and the TOOL BASE POINT shifts, takes the command
// line's start tool, and makes the start tool current at the current dexel pitch. A missing
// file: status -1, the cleared tables, no tool selected. A MAGAZINE number outside 1 .. MAX
// MAGAZINE stops the reading there (logged). Start tool numbers outside the tables keep 1.
void ReadToolFileAt(NcSession& session, KinematicsSessionRecords& kinematics,
                    ToolSessionRecords& tools, const std::string& path);

// 1 when the text holds "%" and "," and the first "%" comes before the first ","; else 0.
int HasPercentBeforeComma(const char* text);

// The display name of a tool into buffer (capacity bytes, NUL included; cut at a character
// boundary when it does not fit): "No Tool" for an empty pocket, the tool's own name when it
// has one, else the name of its shape, in the language of the user interface.
void GetToolTypeName(const ToolRecord& tool, char* buffer, std::size_t capacity);

}  // namespace mirexa
