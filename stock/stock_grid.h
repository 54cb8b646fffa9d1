// Grid set-up of a stock model (derived sizes, display blocks), allocation and release of its
// undo ring, push and pop of undo states, memory accounting, frame snapping, dirty marking of
// display blocks along a cut ray, and the release of the basic model.
#pragma once

#include <cstdint>

#include "platform/window.h"
#include "stock/stock_model.h"

namespace mirexa {

// Result codes besides those of the allocation steps (-1..-12 for the family arrays of the
// ring, -10001..-10003 for the node tables z, y, x).
constexpr int kStockGridMemoryError = -1;        // the grid would not fit the memory available
constexpr int kStockDefinitionError = -21;       // invalid sizes, pitch or radii
constexpr int kStockBlocksMemoryError = -10004;  // display blocks could not be allocated

// The menu command of difference painting, grayed when the basic model is released.
constexpr int kPaintDifferenceCommandId = 32893;

// The one place where an undo ring size is bounded: 1..kMaxStockUndoSlots.
int ClampStockUndoRingSize(int requested);
// Sets the model's ring size (the "UNDO" setting plus 1), clamped.
void SetStockUndoRingSize(StockModel* model, int requested);

// Bytes that building the model's grid takes before any ray spills, from its node counts and
// ring size alone: the ring of ClampStockUndoRingSize(size) slot records with their family
// arrays, the node tables, and the display-block tables (six node-to-block maps, the list-state
// rows and at most kStockBlockListRow dirty bytes). Saturates at 2^64 - 1 instead of wrapping.
std::uint64_t GetStockGridBytes(const StockModel& model);
// The memory check of the grid set-up: 1 when GetStockGridBytes fits the memory available (or
// that is unknown), else kStockGridMemoryError. It costs the same whatever the node count. The
// grid set-up below makes it before any node-sized table is taken; a loader may make it earlier,
// once the node counts and ring size are known, to refuse a grid before reading its rays.
int CheckStockGridMemory(const StockModel& model);

// Derives last node indices, cell weight, capacities and cell counts from nx, ny, nz and the
// pitch, checks the whole grid against the memory available (CheckStockGridMemory), then
// partitions the grid into display blocks starting from 5 x 5 x 5 cells (or, for the
// single-block form, from the whole grid). 1, kStockDefinitionError when an axis has fewer than
// 2 nodes or the pitch is not a positive number, kStockGridMemoryError with nothing allocated,
// or kStockBlocksMemoryError. Every constructor and loader sets a grid up in this order: node
// counts, pitch, origin, frame and ring size; InitStockGridBlocks (or the single-block form);
// AllocStockModel.
int InitStockGridBlocks(StockModel* model);
int InitStockGridSingleBlock(StockModel* model);
// Fills the display blocks: fewer than 1000 blocks, grown together from the given sizes (grid
// cells), dirty bytes and list-state rows zeroed, node-to-block maps filled. 1 or a negative
// code as above. Earlier display blocks of the model are released first.
int PartitionStockBlocks(StockModel* model, int bx, int by, int bz);

// Allocates every undo slot (empty rays) and the node tables, then selects slot 0. 1,
// kStockGridMemoryError when the ring and node tables would not fit the memory available, or
// the negative code of the step that failed; everything this call took is then released.
int AllocStockModel(StockModel* model);
// Points the working arrays, corners and face flags at the current slot.
void SelectStockUndoSlot(StockModel* model);
// Deep-copies the current state into the next slot around the ring and makes it current. Does
// nothing with a ring of one slot.
void PushStockUndo(StockModel* model);
// Makes the previous slot current; before slot 0 comes the highest used slot.
void PopStockUndo(StockModel* model);
// Forgets the earlier states: the current slot's state moves to slot 0, which becomes the only
// used slot (the other slots keep their arrays, which the next pushes overwrite).
void KeepOnlyCurrentUndoSlot(StockModel* model);

// Bytes held by the ring and node tables over all allocated undo slots, spilled ends included,
// by the accounting formula: 174 bytes per slot record, 8 per node, 4 + 13 * capacity per ray
// and slot, 13 per spilled end (allocator overhead not counted). A ring size changed after the
// allocation does not change it. 0 for a model without a grid.
std::uint64_t GetStockMemorySize(const StockModel& model);

// Releases every heap block of the family's cells, then its four arrays (null-safe).
void FreeDexelArrays(DexelFamily* family);
// Releases every array of the model: display blocks, node tables and the ring. Safe on null,
// never-built and partly built models, and when called twice. Node counts are left as they
// are; the caller marks the slot empty.
void FreeStockModel(StockModel* model);

// Copies a frame with values near 0 or +-1 snapped to them: |v| < 1e-9 -> 0, within 1e-4 of -1
// -> -1, within 1e-4 of 1 -> 1; an orientation row entry of exactly +-1 zeroes the rest of its
// row. The destination may be the source.
void SnapStockFrame(const StockFrame& source, StockFrame* destination);

// Sets the dirty byte of every display block that a change on one ray touches: along the ray
// axis from the block of the first end to the block of the last end, across the given block
// ranges of the other two axes (X: y then z, Y: z then x, Z: x then y). Indices are clamped to
// the grid.
void MarkDirtyBlocksAlongX(StockModel* model, int firstY, int lastY, int firstZ, int lastZ,
                           const double* ends, int n);
void MarkDirtyBlocksAlongY(StockModel* model, int firstZ, int lastZ, int firstX, int lastX,
                           const double* ends, int n);
void MarkDirtyBlocksAlongZ(StockModel* model, int firstX, int lastX, int firstY, int lastY,
                           const double* ends, int n);

// The display blocks that a change on one ray touches, as a box of block indices per model axis
// (x, y, z), clamped to the grid: what MarkDirtyBlocksAlong* marks for the same arguments, with
// `lo` and `hi` the first and last changed end along the ray axis. A cut that changes many rays
// gathers their boxes (merging neighbours) and marks each box once.
struct DirtyBlockBox {
    std::int32_t first[3] = {};
    std::int32_t last[3] = {};
};
// Returns 0 (and leaves the box) when the model has no display blocks.
int FindDirtyBlockBox(const StockModel& model, int rayAxis, int first1, int last1, int first2,
                      int last2, double lo, double hi, DirtyBlockBox* box);
// Sets the dirty byte of every block of the box (nothing without display blocks).
void MarkDirtyBlockBox(StockModel* model, const DirtyBlockBox& box);

// Releases ComparisonModel and BasicModel and clears the basic-model state; grays the
// difference-painting command, tells the user when tellUser is set and redraws the status bar.
void ClearBasicModel(WindowHandle window, int tellUser);

}  // namespace mirexa
