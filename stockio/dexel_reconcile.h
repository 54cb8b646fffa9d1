// Clean-up of converted dexel rays: sorting ends with their tags, merging equal ends, repairing
// odd counts, clipping to the grid, and the reconciliation that rebuilds a ray gap by gap from
// the crossing rays of the two other families.
//
// While an import runs, a ray may hold an odd count of ends (a grazed or missed facet). Such rays
// never enter the model's cells, which hold even counts only: they wait in the odd-ray store of
// a DexelReconcileState, with their cell emptied, until the reconciliation makes them even or
// gives up on them (the ray then stays empty). Probes see a waiting ray with its odd count.
//
// Family indices here are the ray axes: 0 the X family, 1 Y, 2 Z. A ray along axis d at node
// indices i1 (axis (d + 1) % 3) and i2 (axis (d + 2) % 3) is cell i2 * n[(d + 1) % 3] + i1.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "stock/stock_model.h"

namespace mirexa {

// Gap codes of the rebuild.
constexpr std::uint8_t kGapMaterial = 1;
constexpr std::uint8_t kGapNoNode = 250;     // undecided: no grid node inside the gap
constexpr std::uint8_t kGapUndecided = 251;  // undecided: no probe found
constexpr std::uint8_t kGapVoid = 252;

// One ray's ends with their flag bytes (tags during an import) and line stamps; count entries of
// each are valid. Growable: no fixed limit per ray.
struct DexelRayList {
    std::vector<double> ends = {};
    std::vector<std::uint8_t> flags = {};
    std::vector<std::int32_t> stamps = {};
    int count = {};
};

// Makes room for n entries (the count is not changed).
void ReserveDexelRay(DexelRayList* ray, int n);
// Appends one end.
void AppendDexelRayEnd(DexelRayList* ray, double end, std::uint8_t flag, std::int32_t stamp);

// What the clean-up keeps between its passes.
struct DexelReconcileState {
    // Rays with an odd count, by family and cell; their cells in the model are empty.
    std::unordered_map<std::int64_t, DexelRayList> oddRays[3] = {};
    // Count snapshots taken before the first reconciliation pass (odd rays with their count).
    std::vector<std::int32_t> snapshots[3] = {};
    // Set by the first pass when it left a ray of that family odd.
    int markers[3] = {};
};

// The family of ray axis d (0 X, 1 Y, 2 Z).
DexelFamily* DexelFamilyOfAxis(StockModel* model, int d);
const DexelFamily* DexelFamilyOfAxis(const StockModel& model, int d);
// Node count and node table of an axis.
int StockNodeCount(const StockModel& model, int axis);
const double* StockNodeTable(const StockModel& model, int axis);

// The ray's count: the waiting odd list's when there is one, else the cell's.
int GetImportRayCount(const StockModel& model, const DexelReconcileState& state, int d,
                      std::int64_t cell);
// Copies the ray (waiting odd list or cell) into the list.
void ReadImportRay(const StockModel& model, const DexelReconcileState& state, int d,
                   std::int64_t cell, DexelRayList* out);
// Stores the first ray.count ends: an even list goes into the cell (and any waiting odd list is
// dropped); an odd list waits in the store and the cell is emptied.
void StoreImportRay(StockModel* model, DexelReconcileState* state, int d, std::int64_t cell,
                    const DexelRayList& ray);

// Sorts values ascending, each tag moving with its value (stable: equal values keep their
// order). n = 1 copies the value and its tag into the second place, so both arrays must then
// hold 2 entries. Nothing for n below 1.
void SortValuesWithTags(int n, double* values, std::uint8_t* tags);

// Clips a sorted list to [lo, hi]. Even lists: each pair becomes its intersection with the
// range; pairs that fall outside or that only touch the range are dropped; an end moved to lo
// or hi gets flag 0 and stamp 0. Odd lists: the first and last ends beyond the range are
// replaced by lo and hi at the place where the range starts and ends (flag 0, stamp 0) and the
// ends outside are dropped; the reconciliation then decides. An empty range (lo > hi, NaN)
// empties the list.
void ClipDexelCellToRange(int* count, double* ends, std::uint8_t* flags, std::int32_t* stamps,
                          double lo, double hi);

// Normalises one list in place: sort with tags, merge equal ends (ORing their tags) when there
// are more than two, a single end doubled, three ends reduced to the first and the last (the
// last end's tag and stamp kept). Other counts, odd ones of five or more included, stay.
// With clip set the list is then clipped to [lo, hi].
void NormalizeDexelRay(DexelRayList* ray, bool clip, double lo, double hi);

// Normalises every non-empty ray of the model (and every waiting odd ray) family by family, Z,
// then X, then Y; the Stl form also clips each ray to its own axis's node range. The message
// pump runs after each family while pumping is enabled.
void NormalizeLoadedDexelCells(StockModel* model, DexelReconcileState* state);
void NormalizeStlDexelCells(StockModel* model, DexelReconcileState* state);

// Takes the count snapshots of the three families. 1, or 0 when they cannot be allocated.
int TakeDexelCountSnapshots(const StockModel& model, DexelReconcileState* state);

// One reconciliation pass (0 first, 1 second) over the X, Y and Z families in that order:
// every ray with more than two ends (second pass: more than two and odd, and only in families
// whose marker is set) is rebuilt gap by gap from probes of the two other families (X: Z then
// Y; Y: Z then X; Z: X then Y). A rebuilt ray that stays odd sets its family's marker in the
// first pass and is emptied in the second. Sequential: probes see rays rebuilt earlier.
void SyncDexelDirections(StockModel* model, DexelReconcileState* state, int pass);

// The whole reconciliation: snapshots, markers cleared, first pass, second pass when a marker is
// set, then every ray still waiting odd is dropped (its cell stays empty). 1, or 0 when the
// snapshots cannot be allocated.
int ReconcileDexelFamilies(StockModel* model, DexelReconcileState* state);

// The code of every gap of a ray (ray.count - 1 codes) along axis d at the given cell: no grid
// node strictly inside the gap (node indices clamped to the grid) gives kGapNoNode; otherwise
// a probe of each probe family is chosen among the crossing rays at those nodes (even counts
// only; the fewest ends, ties toward the middle node; the walk stops at a two-end ray after the
// first node). A probe with at most two ends decides, the first family before the second; else
// the probe with fewer ends, on equal counts the first unless its snapshot count is the greater;
// no probe gives kGapUndecided. A deciding probe gives kGapMaterial when one of its intervals
// (ends included) holds the ray's coordinate on the probe's axis, else kGapVoid.
void DecideDexelRayGaps(const StockModel& model, const DexelReconcileState& state, int d,
                        std::int64_t cell, const DexelRayList& ray, std::uint8_t* gapCodes);

// Rebuilds a ray from its gap codes into out, starting from the first end: a material gap keeps
// its upper end as an exit (or moves the last exit to it); a void gap that is not the last opens
// a new entry (or moves the last entry to it; when only the ray's first end is out, the ends
// before the gap close material first); a void last gap adds nothing; an undecided gap that is
// not the last keeps its upper end (flag 0) unless that end carries a tag; an undecided last gap
// ends the ray with its last end.
void RebuildDexelRayFromGaps(const DexelRayList& ray, const std::uint8_t* gapCodes,
                             DexelRayList* out);

}  // namespace mirexa
