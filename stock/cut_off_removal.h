// Removal of cut-off pieces: the material connected to a picked segment is found by a
// depth-first flood over segments (two segments of different families are connected where one
// crosses the other at a grid node), then either that piece (mode 1) or everything else
// (mode 0) is deleted.
//
// Memory: one mark byte per segment, found through a per-ray table of first segment indices
// (8 bytes per ray), a remaining-segments counter per ray (4 bytes) and a stack of at most one
// 16-byte entry per segment. That is less than the stock's own single undo state holds (13
// bytes per end and 108 per ray), and it is checked against the memory available before it is
// taken.
#pragma once

#include <cstdint>

#include "stock/stock_hooks.h"
#include "stock/stock_model.h"

namespace mirexa {

// Modes: what DeleteMarkedSegments removes.
constexpr int kRemoveAllButPicked = 0;  // Shift+Delete: keep the picked piece
constexpr int kRemovePickedPiece = 1;   // Delete: remove the picked piece

// Results of the flood fill (and of RemoveCutOffPiece).
constexpr int kFloodFillPartsRemain = 1;   // segments not connected to the seed remain
constexpr int kFloodFillWholeStock = -1;   // every segment is connected to the seed
constexpr int kFloodFillInvalidSeed = -2;  // the seed names no segment of the stock
constexpr int kFloodFillStopped = -3;      // the stop key ended the search

// Mark values.
constexpr std::uint8_t kSegmentUnvisited = 0;
constexpr std::uint8_t kSegmentOnStack = 1;
constexpr std::uint8_t kSegmentProcessed = 2;

// Processed segments between two polls of the stop key (and progress, message pump and wait
// cursor): a key-state query is a round trip to the display server.
constexpr std::int64_t kFloodPollInterval = 4096;

struct SegmentStackEntry {
    std::int64_t cell = {};
    std::int32_t index = {};   // segment within the ray
    std::int32_t family = {};  // 0 X, 1 Y, 2 Z
};

// The arrays of one removal, per family (index 0 X, 1 Y, 2 Z).
struct UnusedPartMarks {
    std::int64_t totalSegments = {};
    std::int64_t* firstSegment[3] = {};  // cells + 1 entries: ray -> its first mark
    std::uint8_t* marks[3] = {};         // one per segment
    std::int32_t* remaining[3] = {};     // per ray: segments not found yet
    SegmentStackEntry* stack = {};
    std::int64_t stackCapacity = {};
    std::int64_t stackCount = {};
};

// Total segments (count / 2 over every ray of X, Y and Z) and the most segments on one ray of
// each family.
std::int64_t CountDexelSegments(const StockModel& model, std::int32_t* maxX, std::int32_t* maxY,
                                std::int32_t* maxZ);

// Bytes AllocUnusedPartMarks takes for the model.
std::uint64_t UnusedPartMarksBytes(const StockModel& model);

// Checks the memory available, allocates the arrays for the model (stack capacity: every
// segment) and fills the first-segment tables. 1, or kStockOperationMemoryError with nothing
// held.
int AllocUnusedPartMarks(const StockModel& model, UnusedPartMarks* marks);
// Every ray: counter = count / 2, its marks 0; the stack empty.
void ClearUnusedPartMarks(const StockModel& model, UnusedPartMarks* marks);
// Releases the arrays (safe on a zeroed or released record).
void FreeUnusedPartMarks(UnusedPartMarks* marks);

// Asks the view for the ends near the cursor and picks the one with the least
// sqrt(distance^2 + (greatest depth - depth)^2), the first found among equals. 1 with its
// position (work coordinates) and address (index: the end within its ray), or 0 when nothing
// lies near the cursor (outputs untouched).
int PickStockSegmentAtCursor(int x, int y, double outPosition[3], DexelSegmentAddress* outAddress);

// Depth-first flood from the seed segment (address index: the segment within its ray) over
// crossing segments; marks end as 2 (connected) or 0 (not). Returns one of the kFloodFill
// codes; -2 also for a seed whose cell does not match its node indices or whose segment does
// not exist. Between polls it advances the progress, polls the stop key, runs the message pump
// when enabled and sets the wait cursor: the caller holds the running-operation mark.
int FloodFillConnectedSegments(const StockModel& model, const DexelSegmentAddress& seed,
                               UnusedPartMarks* marks);

// Pushes the unvisited segments that cross the segment at a grid node it covers. A node
// within kNodeSlack of the pitch of the segment counts as covered, and a crossing segment holds the
// node point within the same slack (the families of a stock agree at nodes only up to rounding).
void VisitConnectedSegments(const StockModel& model, const SegmentStackEntry& segment,
                            UnusedPartMarks* marks);

// 1 when some segment's mark is 0 (X rays first, then Y, then Z), else 0.
int TestUnmarkedSegments(const StockModel& model, const UnusedPartMarks& marks);

// Removes the segments marked 2 (mode 1) or 0 (mode 0) from the current slot; the other
// segments keep their ends, flags and line stamps. The display blocks each removed segment
// spans are marked dirty. 1, or kStockOperationMemoryError when a ray could not be read (the
// deletion then stopped part-way; the undo state before it holds the whole stock).
int DeleteMarkedSegments(StockModel* model, int mode, const UnusedPartMarks& marks);

// The removal from a seed: counts, allocates and clears the marks, floods with progress
// ("Searching Remain"/"残す部分検索中" in mode 0, "Searching Unused"/"削除部検索中" in mode 1),
// and when parts remain pushes an undo state and deletes by the mode. Returns the flood fill's
// code, kStockOperationMemoryError (also when the deletion could not finish), kStockOperationBusy
// (another stock operation runs) or kStockDefinitionError (no stock or a mode other than 0 and 1);
// only 1 changes the stock.
int RemoveCutOffPiece(StockModel* model, int mode, const DexelSegmentAddress& seed);

// The removal at a cursor point of the view: the pick, RemoveCutOffPiece from the picked
// segment, and the message for a whole stock ("The Whole is selected for used part" in mode 0,
// "The Whole is selected for disused part." in mode 1, caption "Invalid") or for memory
// ("Memory over!"). 0 when nothing was picked; otherwise RemoveCutOffPiece's result. The picked
// point is written to outPosition when one was picked and outPosition is not null.
int RemoveCutOffPieceAtCursor(StockModel* model, int mode, int x, int y, double outPosition[3]);

}  // namespace mirexa
