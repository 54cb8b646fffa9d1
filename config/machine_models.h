// The machine file's structure model entries: the STL file names and offsets of the table, head
// and base parts and of the vices, the check that a named file can be read, and the clearing of
// the entries before each reading of the machine file.
//
// Names are used as written: a relative name is opened relative to the working directory, not
// to the machine file's folder.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace mirexa {

// The single model slots. HEAD is also named HEAD(XYZ); HEAD(XY) also HEAD(YX); HEAD(YZ) also
// HEAD(ZY); HEAD(ZX) also HEAD(XZ).
enum MachineModelSlot : int {
    kModelTable,
    kModelTableX,
    kModelTableY,
    kModelTableZ,
    kModelTable1,
    kModelTable2,
    kModelHead,
    kModelHeadX,
    kModelHeadY,
    kModelHeadZ,
    kModelHeadXY,
    kModelHeadYZ,
    kModelHeadZX,
    kModelHead1,
    kModelHead2,
    kModelSlotCount
};

inline constexpr std::size_t kModelListCapacity = 5;
inline constexpr std::size_t kModelNameChars = 255;

struct MachineModelEntries {
    std::string slots[kModelSlotCount] = {};  // empty: none
    double slotOffsets[kModelSlotCount][3] = {};
    std::vector<std::string> basicNames = {};  // at most 5, sharing one offset
    double basicOffset[3] = {};
    std::vector<std::string> viceNames = {};  // at most 5
    double viceOffsets[kModelListCapacity][3] = {};
    int viceOffsetCount = {};
    // Set by the shell: a reading of the machine file with clearLists 0 keeps the VICE list,
    // names and offsets together, and passes over the file's VICE lines.
    int keepVice = {};
    // 1 while the current reading keeps the VICE list.
    int viceKept = {};
};
extern MachineModelEntries MachineModelNames;

// Models of the current machine file that could not be used: a name whose file does not open
// (CheckFileReadable) or a file without a facet (LoadModelFacets). Cleared with the names before
// each reading of the machine file; an unattended run counts it as a failure. Any thread.
extern std::atomic<int> UnusableMachineModels;

// 1 when the file is a regular file that opens for reading. Otherwise the user is told (the path
// and the reason, "missing.stl - No such file or directory", as the text, "The file does not
// exist or cannot be read!" as the caption, in the interface's language, on top; logged in
// automatic mode) and 0 is returned.
int CheckFileReadable(const std::string& path);

// Before each reading: empties the BASIC list; clearLists 1 clears the keep mark; when
// clearLists is 1 or the keep mark is clear, empties the VICE list with its offsets; empties
// every single slot and zeroes every single and BASIC offset.
void ClearMachineModelNames(int clearLists);

// Non-zero when a BASIC or VICE model is listed or any single slot holds a name.
int HasMachineModels();

// The model keywords of the machine file ("... MODEL OFFSET" lines first, then "... MODEL"
// lines). Returns 1 when the line starts with one of them (the line is then taken), else 0.
// A name is taken only when its file is readable and it is at most 255 characters long; a
// sixth BASIC or VICE name and a sixth VICE offset are passed over.
int ApplyMachineModelLine(const char* line);
// 1 when the line starts with one of those keywords (nothing is taken), else 0.
int IsMachineModelLine(const char* line);

// After the file: when the VICE list holds more models than offsets and at least one offset was
// given, every model without its own offset gets a copy of the last offset given.
void FillMissingViceOffsets();

}  // namespace mirexa
