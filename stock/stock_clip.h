// Clipping a stock to an axis-aligned box in its local grid coordinates: rays whose node lies
// outside the box's cross-section are emptied, the others trimmed along their own axis.
#pragma once

#include <cstdint>

#include "stock/dexel_intervals.h"
#include "stock/stock_model.h"

namespace mirexa {

// The far ends of the intervals the trim removes (mm).
constexpr double kClipFarLimit = 99999999.0;

// Clips the current undo slot of the model in place: ClearRaysOutsideBox on the Z (x, y), X
// (y, z) and Y (z, x) families, then TrimRaysToBox on Z with [zmin, zmax], X with [xmin, xmax]
// and Y with [ymin, ymax]. The tests are strict: a ray on a box face stays, and an end on a
// face is not moved. New ends made by the trim have flag 0 and stamp 0; the other ends keep
// theirs. A box with a minimum above its maximum empties the stock. No display block is marked
// (the caller pushes an undo state before and marks every block dirty after). 1, or
// kStockOperationMemoryError, with no ray changed, when StockClipMemoryBytes does not fit the
// memory available or the work list for the longest ray cannot be had. (A ray held outside the
// grid whose new block cannot be had after that check stays as it was.)
int ClipStockToBox(StockModel* model, const double boxMin[3], const double boxMax[3]);

// The bytes a clip of the current undo slot may take beyond the grid: a work list for the longest
// ray with room for one split, and a new heap block for every ray held outside the grid. The
// longest ray's count of ends goes to *longestRay when it is not null.
std::uint64_t StockClipMemoryBytes(const StockModel& model, int* longestRay);

// Empties (count 0, heap blocks released) every ray of the family whose slow node coordinate
// lies outside [slowMin, slowMax] or whose fast node coordinate lies outside [fastMin, fastMax].
// Node tables and counts give the family's fast and slow axes; rays are not read.
void ClearRaysOutsideBox(int fastCount, const double* fastNodes, int slowCount,
                         const double* slowNodes, DexelFamily* family, double fastMin,
                         double fastMax, double slowMin, double slowMax);

// Trims every ray of the family to [axisMin, axisMax]: removes [-kClipFarLimit, axisMin] when
// axisMin is above the first end, then [axisMax, kClipFarLimit] when the last end is above
// axisMax. Rays that change are written back with their flags and stamps. `work` is the list
// each ray is read into (grown as needed). 1, or kStockOperationMemoryError when it cannot grow.
int TrimRaysToBox(int fastCount, int slowCount, DexelFamily* family, double axisMin, double axisMax,
                  DexelWorkList* work);

}  // namespace mirexa
