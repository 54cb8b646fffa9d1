// The tri-dexel stock model record, the storage of one ray (dexel cell), the whole-model flag
// passes, the mark arrays of difference painting and the material extent.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "stock/dexel_intervals.h"

namespace mirexa {

// Inline capacity of a cell: up to 8 ends live in the cell's slots of the family arrays. The
// value is load-bearing: a spilled cell keeps a heap pointer in the first 8 bytes of its flag
// slot, which is exactly 8 bytes long.
constexpr int kDexelInlineCapacity = 8;
// A ray has no fixed limit on its ends (see "Long rays" in stock/dexel_intervals.h): readers
// size their buffers by the cell's own count, and LoadDexelWorkList does so. This constant, the
// size of the fixed work lists of old, is kept only until the code written against it has moved
// to work lists; nothing may rely on it as a bound.
[[deprecated(
    "rays have no fixed limit: size buffers by the cell's count (DexelWorkList)")]] constexpr int
    kMaxDexelEnds = 10000;
// Slots of StockModels.
constexpr int kStockModelSlots = 20;
// Most states of an undo ring (the view reserves display-list names for 20 slots per stock).
constexpr int kMaxStockUndoSlots = 20;
// The display blocks of one stock stay below this count; each undo slot has a row this long.
constexpr int kStockBlockListRow = 1000;

// Per-end flag byte: bit 0 painted, bits 1-3 kept untouched by this subsystem, bits 4-7 pen.
using DexelEndFlag = std::uint8_t;
constexpr DexelEndFlag kDexelEndPainted = 0x01;
constexpr DexelEndFlag kDexelEndLowBits = 0x0F;
constexpr int kDexelEndPenShift = 4;

// Places the local grid in work coordinates: a local point p lies at
// p.x * row 0 + p.y * row 1 + p.z * row 2 + offset (values 0-8 the rows, 9-11 the offset, mm).
struct StockFrame {
    double values[12] = {};
};

// One byte per face of the grid box (X min, X max, Y min, Y max, Z min, Z max): 1 when the
// material does not reach that face everywhere. Zero for box and cylinder stocks.
struct StockFaceFlags {
    std::uint8_t faces[6] = {};
};

// One ray family (Z, X or Y): structure-of-arrays storage of its cells. Cell k owns element k
// of counts and slot k (capacity elements, starting at k * capacity) of ends, flags and line
// stamps. A cell with more ends than the capacity keeps pointers to three heap blocks of exactly
// count elements in the first 8 bytes of its three slots.
struct DexelFamily {
    std::int32_t capacity = {};
    std::int64_t cellCount = {};
    std::int32_t* counts = {};
    double* ends = {};              // mm, local coordinates along the ray axis
    std::uint8_t* flags = {};       // DexelEndFlag per end
    std::int32_t* lineStamps = {};  // NC line that made the end (negative for look-ahead replays)
};

// One undo state: the three families' arrays, the material bounds and the face flags.
struct StockUndoSlot {
    DexelFamily z = {};
    DexelFamily x = {};
    DexelFamily y = {};
    double maxCorner[3] = {};  // mm, work coordinates
    double minCorner[3] = {};  // mm, work coordinates
    StockFaceFlags faceFlags = {};
};

// The ring of undo states. Every slot is allocated when the model is built.
struct StockUndoRing {
    std::int32_t size = {};  // 1..kMaxStockUndoSlots once the model is built
    std::int32_t currentSlot = {};
    std::int32_t highestUsedSlot = {};
    StockUndoSlot* slots = {};  // allocatedSlots records
    // Slots actually allocated; ring operations never go beyond it, even if size is changed
    // after the allocation.
    std::int32_t allocatedSlots = {};
};

// The grid cells divided into fewer than 1000 display blocks; axis index 0 x, 1 y, 2 z.
struct StockDisplayBlocks {
    std::uint8_t* dirty = {};         // one per block; 1 asks the view to rebuild the block
    std::int32_t* listStates = {};    // kStockBlockListRow per undo slot, the view's record
    std::int32_t listStateRows = {};  // rows allocated in listStates
    std::int32_t count = {};
    std::int32_t perAxis[3] = {};    // blocks along x, y, z
    std::int32_t lastIndex[3] = {};  // perAxis - 1
    std::int32_t size[3] = {};       // block size in grid cells
    std::int32_t lastSize[3] = {};   // cells of the last block
    std::int32_t* lowMap[3] = {};    // node -> block; a border node maps to the lower block
    std::int32_t* highMap[3] = {};   // node -> block; a border node maps to the upper block
};

// The tri-dexel solid. The family arrays, corners and face flags are working pointers into the
// current undo slot; SelectStockUndoSlot re-points them.
struct StockModel {
    StockFrame frame = {};
    std::int32_t nx = {};  // node counts; nx == 0 marks a slot without a model
    std::int32_t ny = {};
    std::int32_t nz = {};
    double pitch = {};              // mm, node spacing on all three axes
    double origin[3] = {};          // mm, coordinate of node 0 on x, y, z
    std::int32_t lastNode[3] = {};  // n - 1 per axis: grid cells per axis
    double cellWeight = {};         // mm^2, pitch^2: removed length * weight = removed volume
    std::int32_t reservedNodes[4] = {};
    double reservedValue = {};
    double* nodesX = {};  // node coordinates, mm: nodesX[i] = i * pitch + origin[0]
    double* nodesY = {};
    double* nodesZ = {};
    DexelFamily z = {};  // rays along z, cell iy * nx + ix
    DexelFamily x = {};  // rays along x, cell iz * ny + iy
    DexelFamily y = {};  // rays along y, cell ix * nz + iz
    double inverseOrientation[9] = {};
    double negatedOffset[3] = {};
    std::int32_t frameFlag = {};  // 0 when the frame is exactly the identity with zero offset
    double* maxCorner = {};
    double* minCorner = {};
    StockFaceFlags* faceFlags = {};
    StockUndoRing undo = {};
    StockDisplayBlocks blocks = {};
    // Counts every re-pointing of the working arrays, so that holders of raw copies of them can
    // tell that they must rebind.
    std::uint32_t workingGeneration = {};
    // Stamp of the rays' contents (MarkStockRaysChanged in stock/material_summary.h): renewed by
    // every change of the rays outside the cutting passes, so that a summary of them made under
    // an older stamp is known to be stale. Copying the current state to the next undo slot
    // keeps it.
    std::uint64_t rayStamp = {};
    // Whether the cuts use the stock: 0 available, 1 ignored (not cut), 2 to be deleted. Set by
    // the stock's state command, which is refused while a run goes; kept when the slot is
    // emptied for a new stock.
    std::int32_t useState = {};
};

// The stock slots of the program and the index of the current one (0..kStockModelSlots-1).
extern StockModel StockModels[kStockModelSlots];
extern std::atomic<int> CurrentStockIndex;
// The slot CurrentStockIndex names; null when it names none.
StockModel* CurrentStockSlot();
// The pitch (mm) a tool's holder is derived at for the stock: its pitch when it has a grid, 0
// without a stock or grid.
double ToolDerivationPitch(const StockModel* stock);
// The reference stock of difference painting and its copy on the current stock's grid.
extern StockModel BasicModel;
extern StockModel ComparisonModel;

// What the program knows about the basic model besides its grid. The settings reader and the
// stock dialogs fill it; ClearBasicModel empties it.
struct BasicModelStatus {
    int present = {};            // 1 when BasicModel holds a model
    int comparisonPresent = {};  // 1 when ComparisonModel holds a model
    int rebuildRequested = {};   // 1 asks the view to rebuild the basic shape's display list
    char path[260] = {};         // file of the basic model
    char displayName[260] = {};  // shown in the status bar
};
extern BasicModelStatus BasicModelState;

// --- Cell operations -----------------------------------------------------------------------
// They take the raw arrays of one family so that they serve any undo slot or copy of them.

// Makes the cell hold the n given ends, flags and line stamps. n < 0 acts as 0; an odd n fails
// a debug assertion; there is no upper limit. The source may overlap the cell's own storage
// (inline slots or heap blocks). Heap blocks are sized exactly to n; a new block is allocated
// before the old one is released. When the memory for it is out, the cell stays as it was and
// DexelMemoryShortage is raised.
void SetDexelCell(std::int64_t cell, int capacity, std::int32_t* counts, double* ends,
                  std::uint8_t* flags, std::int32_t* lineStamps, const double* sourceEnds,
                  const std::uint8_t* sourceFlags, const std::int32_t* sourceStamps, int n);

// SetDexelCell on the model's working arrays. Axis 2: Z family, cell i2 * nx + i1 (i1 = ix,
// i2 = iy); axis 1: Y family, cell i2 * nz + i1 (i1 = iz, i2 = ix); any other axis: X family,
// cell i2 * ny + i1 (i1 = iy, i2 = iz).
void SetDexelCellByAxis(StockModel* model, int axis, int i1, int i2, const double* sourceEnds,
                        const std::uint8_t* sourceFlags, const std::int32_t* sourceStamps, int n);

// Long rays: a cell holds any even count of ends. The work-list pair below is the way to read
// a ray, change it and write it back; the plain readers after it copy into caller buffers,
// which the caller sizes by counts[cell] (never by a constant).

// Copies the cell's ends, flags and stamps into the work list, first growing it to hold them
// (a count below 1 reads as an empty list). 1, or kDexelIntervalNoMemory with the list
// unchanged.
int LoadDexelWorkList(const DexelFamily& family, std::int64_t cell, DexelWorkList* list);
// SetDexelCell with the work list's count entries.
void StoreDexelWorkList(DexelFamily* family, std::int64_t cell, const DexelWorkList& list);

// Readers: copy the cell's count and lists (nothing when the count is below 1). Each out
// buffer must hold counts[cell] values.
void GetDexelCell(std::int64_t cell, int capacity, const std::int32_t* counts, const double* ends,
                  const std::uint8_t* flags, const std::int32_t* lineStamps, double* outEnds,
                  std::uint8_t* outFlags, std::int32_t* outStamps, int* outCount);
void GetDexelCellValues(std::int64_t cell, int capacity, const std::int32_t* counts,
                        const double* ends, double* outEnds, int* outCount);
void GetDexelCellValuesStamps(std::int64_t cell, int capacity, const std::int32_t* counts,
                              const double* ends, const std::int32_t* lineStamps, double* outEnds,
                              std::int32_t* outStamps, int* outCount);
void GetDexelCellValuesFlags(std::int64_t cell, int capacity, const std::int32_t* counts,
                             const double* ends, const std::uint8_t* flags, double* outEnds,
                             std::uint8_t* outFlags, int* outCount);
// Overwrites or copies the cell's count flag bytes; the count is not changed.
void SetDexelCellFlags(std::int64_t cell, int capacity, const std::int32_t* counts,
                       std::uint8_t* flags, const std::uint8_t* sourceFlags);
void GetDexelCellFlags(std::int64_t cell, int capacity, const std::int32_t* counts,
                       const std::uint8_t* flags, std::uint8_t* outFlags);

// Where the cell's values lie right now (its inline slot or its heap block). Valid until the
// cell is next written.
const double* DexelCellEnds(std::int64_t cell, int capacity, const std::int32_t* counts,
                            const double* ends);
const std::uint8_t* DexelCellFlags(std::int64_t cell, int capacity, const std::int32_t* counts,
                                   const std::uint8_t* flags);
const std::int32_t* DexelCellStamps(std::int64_t cell, int capacity, const std::int32_t* counts,
                                    const std::int32_t* lineStamps);

// Releases the heap blocks of every spilled cell of the family (skipping arrays that are null);
// the counts are left as they are.
void ReleaseSpilledDexelBlocks(DexelFamily* family);
// Gives every spilled cell of the family its own copy of the heap blocks its slots point at:
// after the family's arrays were copied from another family, both would share them. A cell whose
// copy finds no memory is emptied in this family (DexelMemoryShortage raised).
// Returns the rays that lost their ends for want of memory (0 when every copy was made).
int CopySpilledDexelBlocks(DexelFamily* family);

// Releases the cell's heap blocks (if any) and makes it empty.
void ReleaseDexelCellBlocks(std::int64_t cell, int capacity, std::int32_t* counts, double* ends,
                            std::uint8_t* flags, std::int32_t* lineStamps);

// Raised (1) when a cell could not grow for want of memory (it was left as it was) or a copy of
// a family lost a ray; the run that sees it ends as out of memory. Cleared by whoever starts
// work that watches it. Any thread.
extern std::atomic<int> DexelMemoryShortage;

// --- Whole-model passes over every end of the Z, X and Y families --------------------------

// Ends whose pen number (bits 4-7) equals pen keep only bits 0-3.
void ClearStockPenNumber(StockModel* model, int pen);
// Every end keeps only bits 0-3.
void ClearAllStockPenNumbers(StockModel* model);
// Clears bit 0 (painted) of every end.
void StripStockPaint(StockModel* model);
// Sets bit 0 (painted) of every end.
void PaintWholeStock(StockModel* model);

// --- Mark arrays of difference painting ----------------------------------------------------

// Byte arrays laid out like the model's flag arrays, with their own record of the counts they
// were laid out for, so that freeing never depends on the model's counts at that time.
// Index 0 Z, 1 X, 2 Y.
struct DexelFlagCopies {
    std::uint8_t* marks[3] = {};
    std::int32_t* counts[3] = {};  // counts at the last snapshot; zero before any snapshot
    std::int64_t cellCount[3] = {};
    std::int32_t capacity[3] = {};
};

// Allocates zeroed mark arrays for the model's three families. 1, or -1 (Z), -2 (X), -3 (Y) when
// that family's arrays cannot be allocated; whatever was taken is then released.
int AllocDexelFlagCopies(DexelFlagCopies* copies, const StockModel& model);
// Lays the mark arrays out for the model's current counts, every mark 0 (inline when the count
// fits the capacity, else in a heap block of count bytes). Blocks of an earlier snapshot are
// released first. Returns 1, or 0 when a heap block could not be allocated: the layout is then
// incomplete (not to be marked), and FreeDexelFlagCopies still releases it whole.
int SnapshotStockFlags(const StockModel& model, DexelFlagCopies* copies);
// Releases the heap blocks (by the recorded counts) and the arrays. Safe on zeroed records and
// when no snapshot was taken.
void FreeDexelFlagCopies(DexelFlagCopies* copies);

// --- Extent --------------------------------------------------------------------------------

// Material bounds in local coordinates (mm) from the first and last ends of every non-empty ray.
// Starts from min 1e12 and max -1e12, which a model without material keeps.
void GetStockExtent(const StockModel& model, double outMin[3], double outMax[3]);

}  // namespace mirexa
