// Positive offsets along Z only (mode 2) and in the horizontal plane only (mode 3): the growth
// sweeps of the families that grow, and the re-synchronisation that rebuilds the families the
// sweeps do not grow from pairs of neighbouring rays. OffsetDexelModel runs them between the
// copy into the widened grid (margin k) and the clean-up.
//
// Mode 2: every Z segment [a, b] becomes [a - d, b + d]; every X and Y ray is copied into the
// rays of its own family m = trunc(d / pitch) node layers above and below; then the X and Y rays
// are rebuilt from neighbouring Z rays.
// Mode 3: every Z ray is copied unchanged into the Z rays within the disc of radius d around it;
// every X and Y segment grows by the disc's half-chord into the rays of its own family in its z
// layer, and each X or Y end adds the chords of a disc of radius d to the rays of the other
// horizontal family in its layer; then the Z rays are rebuilt from neighbouring X and Y rays.
// A Z ray's material adds nothing to a crossing X or Y ray in mode 3 beyond what that ray's own
// growth and the other horizontal family's end discs add, as long as the families agree at the
// nodes, so the Z rays are not swept across.
//
// Every ray a sweep touches is written with zero flags and stamps. The re-synchronisation writes
// a ray only when its ends changed, then with zero flags and stamps; an unchanged ray keeps the
// flags the copy gave it.
#pragma once

#include "stock/stock_offset.h"

namespace mirexa {

// m = trunc(d / pitch): the whole node layers the Z mode spreads the X and Y rays (m <= k).
int ComputeZOffsetLayers(double value, double pitch);

// Mode 2 sweeps, in the order Z, Y, X.
void GrowAlongZ(const OffsetSweepGrid& grid, OffsetChordBatch* batch);
void GrowAlongZSameFamilyZ(const OffsetSweepGrid& grid, OffsetChordBatch* batch);
void GrowAlongZSameFamilyY(const OffsetSweepGrid& grid, OffsetChordBatch* batch);
void GrowAlongZSameFamilyX(const OffsetSweepGrid& grid, OffsetChordBatch* batch);

// Mode 3 sweeps: Z, then Y with its crossing into X, then X with its crossing into Y.
void GrowHorizontal(const OffsetSweepGrid& grid, OffsetChordBatch* batch);
void GrowHorizontalSameFamilyZ(const OffsetSweepGrid& grid, OffsetChordBatch* batch);
void GrowHorizontalSameFamilyY(const OffsetSweepGrid& grid, OffsetChordBatch* batch);
void GrowHorizontalYToX(const OffsetSweepGrid& grid, OffsetChordBatch* batch);
void GrowHorizontalSameFamilyX(const OffsetSweepGrid& grid, OffsetChordBatch* batch);
void GrowHorizontalXToY(const OffsetSweepGrid& grid, OffsetChordBatch* batch);

// Re-synchronisation after mode 2: for every y and every pair of neighbouring x nodes, the X ray
// at (y, z) gets [x(i), x(i + 1)] at every z node that lies inside a segment of both Z rays
// (ends included); then the same across y into the Y rays. Flushes the batch first and last.
void SyncFamiliesAfterZOffset(StockModel* model, OffsetChordBatch* batch);
// Re-synchronisation after mode 3: for every pair of neighbouring z nodes, the Z ray at (x, y)
// gets [z(i), z(i + 1)] where x lies inside a segment of both X rays at (y, z(i)) and
// (y, z(i + 1)); then the same with the Y rays, testing y. A new Z ray thus ends on z nodes.
void SyncFamiliesAfterHorizontalOffset(StockModel* model, OffsetChordBatch* batch);

// The pass both re-synchronisations are made of: wherever the rays of family `source` at pair
// axis nodes i and i + 1 (same outer node) both hold a node of the source axis, the ray of
// family `pair` through that node gets [node(i), node(i + 1)]. Runs of neighbouring pairs are
// joined before they are added, so a ray gets one interval per run. Progress per outer node.
void SyncNeighbourRayPairs(StockModel* model, OffsetChordBatch* batch, int source, int pair);

}  // namespace mirexa
