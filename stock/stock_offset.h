// Stock offset: a new model whose material is the stock grown or shrunk by a signed distance,
// by balls swept over the dexel ends (Normal growth and every shrink), and the clean-up that
// closes the gaps a ball sampling leaves between node lines. The Z and Horizon growth sweeps are
// in stock_offset_axis.h; both use the chord batch declared here.
//
// Sampling: every end of every ray is a sample of the surface. A shrink removes from the rays
// of all three families the chords of a ball of radius |d| centred at every end. A Normal
// growth adds to every ray of a family the segments of its neighbours within d, grown by the
// half-chord of their lateral distance (the capsule along each segment seen from its own
// family), and to the rays of the two crossing families the chords of a ball at every end.
// The inside of a segment adds nothing to a crossing ray beyond what that ray's own growth and
// the crossing family's end balls add, as long as the three families agree at the nodes (which
// every stock builder and loader leaves them doing): so the cost grows with the ends times the
// ball's footprint, (2k + 1)^2 rays, not with the material's nodes.
#pragma once

#include <cstdint>
#include <vector>

#include "stock/stock_model.h"
#include "stock/stock_operation_support.h"

namespace mirexa {

// Direction modes of a positive offset; a negative offset always shrinks with balls.
constexpr int kOffsetModeNormal = 1;
constexpr int kOffsetModeZ = 2;
constexpr int kOffsetModeHorizontal = 3;  // any other value acts as this one too

// The offset command's parameters (dialog IDD_STOCK_OFFSET, the value also "OFFSET VALUE").
struct StockOffsetParameters {
    int mode = kOffsetModeNormal;
    double value = {};  // d, mm; > 0 grows, < 0 shrinks
};

// Cell radius k = ceil(|d| / pitch) of the stock's own pitch: the node steps a ball of radius
// |d| can reach. -1 for a non-finite d, a pitch that is not positive, or a k above 2^30.
int ComputeOffsetCellRadius(double value, double pitch);

// The whole offset command on the stock side, into a new model:
//  1. d = 0: nothing (0). Checks: a stock, finite d, a usable k (kStockDefinitionError);
//     no other stock operation running (kStockOperationBusy).
//  2. The destination grid: for d > 0 the source's node counts + 2k and origin - k * pitch,
//     else the source grid; the source's pitch and frame. The destination's ring size must be
//     set (the UNDO setting + 1). The grid set-up checks the memory available before anything
//     node-sized is taken; a failure returns its negative code and leaves the destination with
//     nx = 0. The source is never changed.
//  3. CopyDexelModelWithMargin, the sweeps of OffsetDexelModel with progress ("オフセット中",
//     "Offset") and message pumping, then the destination's material corners, face flags,
//     reserved node group and derived frame fields, and every display block dirty.
// 1 on success. k comes from the source's own pitch, never from the pitch setting of the next
// stock.
int RunStockOffset(const StockModel& source, const StockOffsetParameters& parameters,
                   StockModel* destination);

// The progress work units that OffsetDexelModel reports for this mode and sign: one per source
// ray a sweep visits, one per destination ray of a re-synchronised family and clean-up.
std::uint64_t OffsetProgressTotal(const StockModel& source, const StockModel& destination, int mode,
                                  double value);

// Copies every ray of the three families into the destination ray m node steps further along
// both of its indices, with its ends, flags and line stamps. The destination must be allocated
// with at least the source's node counts + 2m and its rays empty.
void CopyDexelModelWithMargin(const StockModel& source, int margin, StockModel* destination);

// Runs the sweeps of the mode and the sign of d from the source into the destination (which
// holds the copy, with margin k for d > 0 and none otherwise), then CleanOffsetCells. Every ray
// a sweep touches is written with zero flags and stamps; others keep what the copy gave them.
// 1, or kStockOperationMemoryError when the sweeps' tables or a ray's work list do not fit (the
// destination is then incomplete and must be released).
int OffsetDexelModel(const StockModel& source, int k, int mode, double value,
                     StockModel* destination);

// The clean-up of an offset: every ray goes through MergeSubPitchGapsAtNodes and then
// MergeSubPitchGaps (node lines measured from the model's first node of the ray's axis); a ray
// whose count changed is written back with zero flags and stamps. Reports progress per row.
// 1, or kStockOperationMemoryError when a ray could not be read.
int CleanOffsetCells(StockModel* model);

// The two joins of the clean-up, on an ascending list of count ends. For an end v,
// t = (v - origin) / pitch, idx(v) = t truncated toward zero, and v lies on a node line when
// idx(v) == t exactly (so at pitches like 0.1 a decision can turn on the last bit of a value).
// The first segment is kept; each next segment [a, b] joins the last kept one (its exit b' is
// set to b) or is appended:
//  - MergeSubPitchGapsAtNodes joins when b' and a both lie on node lines, idx(a) = idx(b') + 1
//    and the kept segment or [a, b] has zero length;
//  - MergeSubPitchGaps joins when a gap holds no node line strictly inside: a on a node line
//    with idx(a) = idx(b') + 1, or a off the node lines with idx(a) = idx(b'). Segments that
//    touch on a node line stay apart.
// out must hold count entries and may be in. 1, or kDexelIntervalOddCount for an odd count
// (out then holds the list unchanged: a corrupt ray is never emptied).
int MergeSubPitchGapsAtNodes(const double* in, int count, double pitch, double origin, double* out,
                             int* outCount);
int MergeSubPitchGaps(const double* in, int count, double pitch, double origin, double* out,
                      int* outCount);

// --- Chord batch ---------------------------------------------------------------------------

// One interval for one destination ray.
struct OffsetChord {
    std::int64_t cell = {};
    double lo = {};
    double hi = {};
    std::int32_t next = {};  // the ray's previous chord, -1 for none
};

// Chords gathered for the rays of a destination and applied one ray at a time: each touched
// ray is read once, changed by all its chords in a row, and written once. Union and
// subtraction of intervals do not depend on the order, so this gives the same rays as writing
// each chord on its own.
struct OffsetChordBatch {
    StockModel* destination = {};
    int subtract = {};          // 1: the chords are removed (only from rays that hold ends)
    int writeChangedOnly = {};  // 1: a ray whose ends did not change is not written
    int clipToRange = {};       // 1: after its chords, a ray is cut to [rangeLo, rangeHi]
    double rangeLo[3] = {};     // mm, per ray axis
    double rangeHi[3] = {};
    std::vector<OffsetChord> chords = {};
    std::vector<std::int32_t> head[3] = {};     // per ray axis: cell -> its last chord, -1 none
    std::vector<std::int64_t> touched[3] = {};  // per ray axis: cells with chords
    int failed = {};  // 1 once a ray's work list could not grow; later chords are dropped
    HeldDexelWorkList ray = {};
    std::vector<double> before = {};
};

// Bytes the batch's per-ray tables take for the destination.
std::uint64_t OffsetChordBatchBytes(const StockModel& destination);
// Sizes the batch for the destination (every head -1). Returns 1, or
// kStockOperationMemoryError when the tables do not fit the memory available.
int PrepareOffsetChordBatch(OffsetChordBatch* batch, StockModel* destination, int subtract);
// Adds the chord [lo, hi] for the ray `cell` of family `axis`; applies the batch when many chords
// are waiting, so that its memory stays bounded.
void AddOffsetChord(OffsetChordBatch* batch, int axis, std::int64_t cell, double lo, double hi);
// Applies and forgets every chord gathered so far. Written rays get zero flags and stamps. When
// memory runs out for a ray's work list, the batch is marked failed and writes nothing more.
void FlushOffsetChords(OffsetChordBatch* batch);

// The geometry every sweep reads: the source, the destination's node counts and tables, the
// margin m between their indices, k, d and the pitch.
struct OffsetSweepGrid {
    const StockModel* source = {};
    const StockModel* destination = {};
    int margin = {};
    int k = {};
    double value = {};  // d, mm
    double pitch = {};  // mm
    int count[3] = {};  // destination nodes per axis
    const double* nodes[3] = {};
};
OffsetSweepGrid MakeOffsetSweepGrid(const StockModel& source, const StockModel& destination,
                                    int margin, int k, double value);

// Calls visit(fast, slow, ends, count) for every source ray of the family with at least two
// ends, row by row (slow outer, fast inner; ends is the ray's own storage, count even), then
// advances the progress by the row's rays (and pumps messages).
template <class Visit>
void SweepSourceRays(const OffsetSweepGrid& grid, int axis, Visit visit) {
    const StockModel& source = *grid.source;
    const DexelFamily& family = FamilyOfAxis(source, axis);
    const int fastCount = NodeCountOfAxis(source, (axis + 1) % 3);
    const int slowCount = NodeCountOfAxis(source, (axis + 2) % 3);
    for (int slow = 0; slow < slowCount; ++slow) {
        for (int fast = 0; fast < fastCount; ++fast) {
            const std::int64_t cell = static_cast<std::int64_t>(slow) * fastCount + fast;
            const int count = family.counts[cell] & ~1;
            if (count >= 2) {
                visit(fast, slow, DexelCellEnds(cell, family.capacity, family.counts, family.ends),
                      count);
            }
        }
        AdvanceStockProgress(fastCount);
    }
}

// The ball sweeps of a shrink (d <= 0) and of the Normal growth (d > 0), for the source
// families Z, Y and X into all three families of the destination; every window is clamped to
// the destination grid, so a margin of 0 serves a destination on the source's own grid. Flushes
// the batch at the end.
void SweepOffsetBalls(const OffsetSweepGrid& grid, OffsetChordBatch* batch);

}  // namespace mirexa
