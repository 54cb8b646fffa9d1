// Stock offset: the command body, the copy into the destination grid, the ball sweeps of a
// shrink and of the Normal growth, the chord batch and the clean-up of sub-pitch gaps.
#include "stock/stock_offset.h"

#include <cmath>
#include <cstring>

#include "services/progress.h"
#include "stock/dexel_intervals.h"
#include "stock/material_summary.h"
#include "stock/stock_grid.h"
#include "stock/stock_hooks.h"
#include "stock/stock_offset_axis.h"
#include "stock/stock_shapes.h"

namespace mirexa {

namespace {

// Chords the batch gathers before it applies them: bounds its memory (24 bytes a chord) and
// keeps the chains it walks in the cache.
constexpr std::size_t kChordFlushThreshold = std::size_t{1} << 14;

// Where an end lies against the node lines of its axis.
struct NodeLinePlace {
    double index = {};  // (v - origin) / pitch truncated toward zero
    bool onLine = {};   // the quotient is exactly that whole number
};

NodeLinePlace PlaceOnNodeLines(double v, double origin, double pitch) {
    const double t = (v - origin) / pitch;
    NodeLinePlace place;
    place.index = std::trunc(t);
    place.onLine = place.index == t;
    return place;
}

// The walk shared by both joins: keeps the first segment, then joins each next segment [a, b]
// to the last kept one when join(keptEntry, keptExit, a, b) says so. in and out may be one list:
// every write lands at or below the entries already read.
template <class Join>
int MergeGaps(const double* in, int count, double* out, int* outCount, Join join) {
    if (count < 0) {
        count = 0;
    }
    if ((count & 1) != 0 || count <= 2) {
        if (out != in && count > 0) {
            std::memmove(out, in, static_cast<std::size_t>(count) * sizeof(double));
        }
        *outCount = count;
        return (count & 1) != 0 ? kDexelIntervalOddCount : 1;
    }
    double keptEntry = in[0], keptExit = in[1];
    int w = 0;
    for (int r = 2; r < count; r += 2) {
        const double a = in[r], b = in[r + 1];
        if (join(keptEntry, keptExit, a, b)) {
            keptExit = b;
        } else {
            out[w] = keptEntry;
            out[w + 1] = keptExit;
            w += 2;
            keptEntry = a;
            keptExit = b;
        }
    }
    out[w] = keptEntry;
    out[w + 1] = keptExit;
    *outCount = w + 2;
    return 1;
}

// Cuts the ray to [lo, hi]: segments wholly outside go, the others are clamped.
void ClipWorkRayToRange(DexelWorkList* ray, double lo, double hi) {
    int w = 0;
    for (int r = 0; r + 1 < ray->count; r += 2) {
        const double a = ray->ends[r] < lo ? lo : ray->ends[r];
        const double b = ray->ends[r + 1] > hi ? hi : ray->ends[r + 1];
        if (a <= b) {
            ray->ends[w] = a;
            ray->ends[w + 1] = b;
            w += 2;
        }
    }
    ray->count = w;
}

bool SameEnds(const DexelWorkList& list, const std::vector<double>& ends) {
    return static_cast<std::size_t>(list.count) == ends.size() &&
           (list.count == 0 ||
            std::memcmp(list.ends, ends.data(), ends.size() * sizeof(double)) == 0);
}

// The node index window [first, last] of the nodes within radius of v on an axis of count
// nodes from origin, clamped to the grid; first > last when none.
void NodeWindow(double v, double radius, double origin, double pitch, int count, int* first,
                int* last) {
    double lo = std::floor((v - radius - origin) / pitch);
    double hi = std::ceil((v + radius - origin) / pitch);
    lo = lo < 0.0 ? 0.0 : lo;
    hi = hi > count - 1.0 ? count - 1.0 : hi;
    if (!(lo <= hi)) {
        *first = 1;
        *last = 0;
        return;
    }
    *first = static_cast<int>(lo);
    *last = static_cast<int>(hi);
}

bool InsideGrid(const int node[3], const int count[3]) {
    return node[0] >= 0 && node[0] < count[0] && node[1] >= 0 && node[1] < count[1] &&
           node[2] >= 0 && node[2] < count[2];
}

// The destination of a positive offset is k nodes wider on every side; a shrink keeps the grid.
void SetOffsetDestinationGrid(const StockModel& source, int margin, StockModel* destination) {
    destination->nx = source.nx + 2 * margin;
    destination->ny = source.ny + 2 * margin;
    destination->nz = source.nz + 2 * margin;
    destination->pitch = source.pitch;
    for (int a = 0; a < 3; ++a) {
        destination->origin[a] = source.origin[a] - margin * source.pitch;
    }
    destination->frame = source.frame;
}

}  // namespace

int ComputeOffsetCellRadius(double value, double pitch) {
    if (!std::isfinite(value) || !std::isfinite(pitch) || !(pitch > 0.0)) {
        return -1;
    }
    const double k = std::ceil(std::fabs(value) / pitch);
    if (!(k <= 1073741824.0)) {
        return -1;
    }
    return static_cast<int>(k);
}

std::uint64_t OffsetProgressTotal(const StockModel& source, const StockModel& destination, int mode,
                                  double value) {
    const std::uint64_t sourceCells =
        static_cast<std::uint64_t>(source.z.cellCount + source.x.cellCount + source.y.cellCount);
    const std::uint64_t cleanUp = static_cast<std::uint64_t>(
        destination.z.cellCount + destination.x.cellCount + destination.y.cellCount);
    if (value <= 0.0 || mode == kOffsetModeNormal) {
        return sourceCells + cleanUp;
    }
    if (mode == kOffsetModeZ) {
        return sourceCells + 2 * static_cast<std::uint64_t>(destination.z.cellCount) + cleanUp;
    }
    // Horizon: the Y and X families are swept twice (own family, then the crossing one).
    return static_cast<std::uint64_t>(source.z.cellCount) +
           2 * static_cast<std::uint64_t>(source.x.cellCount + source.y.cellCount) +
           static_cast<std::uint64_t>(destination.x.cellCount + destination.y.cellCount) + cleanUp;
}

int RunStockOffset(const StockModel& source, const StockOffsetParameters& parameters,
                   StockModel* destination) {
    const double value = parameters.value;
    if (value == 0.0) {
        return 0;
    }
    if (destination == &source || source.nx == 0 || !source.undo.slots) {
        return kStockDefinitionError;
    }
    const int k = ComputeOffsetCellRadius(value, source.pitch);
    if (k < 0) {
        return kStockDefinitionError;
    }
    const int margin = value > 0.0 ? k : 0;
    for (const std::int64_t nodes : {source.nx, source.ny, source.nz}) {
        if (nodes + 2 * std::int64_t{margin} > 2147483647) {
            return kStockDefinitionError;
        }
    }
    StockOperationScope scope;
    if (!scope.acquired) {
        return kStockOperationBusy;
    }
    // 1. The destination grid; the set-up and the allocation check the memory first.
    const int ringSize = destination->undo.size;
    FreeStockModel(destination);
    *destination = StockModel{};
    SetStockUndoRingSize(destination, ringSize);
    SetOffsetDestinationGrid(source, margin, destination);
    int result = InitStockGridBlocks(destination);
    if (result == 1) {
        result = AllocStockModel(destination);
    }
    if (result != 1) {
        FreeStockModel(destination);
        destination->nx = 0;
        return result;
    }
    // 2. Copy, sweeps and clean-up.
    CopyDexelModelWithMargin(source, margin, destination);
    BeginStockProgress(OffsetProgressTotal(source, *destination, parameters.mode, value),
                       "オフセット中", "Offset");
    result = OffsetDexelModel(source, k, parameters.mode, value, destination);
    EndProgress();
    if (result != 1) {
        FreeStockModel(destination);
        destination->nx = 0;
        return result;
    }
    // 3. What a new model needs besides its rays.
    for (int a = 0; a < 3; ++a) {
        destination->reservedNodes[a] = destination->lastNode[a];
    }
    SetStockCornersFromExtent(destination);
    SetStockFaceFlagsFromRays(destination);
    RefreshStockFrame(destination);
    MarkAllStockBlocksDirty(destination);
    return 1;
}

void CopyDexelModelWithMargin(const StockModel& source, int margin, StockModel* destination) {
    MarkStockRaysChanged(destination);
    for (int axis : {2, 0, 1}) {
        const DexelFamily& from = FamilyOfAxis(source, axis);
        DexelFamily* to = FamilyOfAxis(destination, axis);
        const int fastAxis = (axis + 1) % 3, slowAxis = (axis + 2) % 3;
        const int fastCount = NodeCountOfAxis(source, fastAxis);
        const int slowCount = NodeCountOfAxis(source, slowAxis);
        for (int slow = 0; slow < slowCount; ++slow) {
            for (int fast = 0; fast < fastCount; ++fast) {
                const std::int64_t cell = static_cast<std::int64_t>(slow) * fastCount + fast;
                const int n = from.counts[cell] & ~1;
                if (n < 2) {
                    continue;
                }
                int node[3] = {};
                node[fastAxis] = fast + margin;
                node[slowAxis] = slow + margin;
                SetDexelCell(CellOfNode(*destination, axis, node), to->capacity, to->counts,
                             to->ends, to->flags, to->lineStamps,
                             DexelCellEnds(cell, from.capacity, from.counts, from.ends),
                             DexelCellFlags(cell, from.capacity, from.counts, from.flags),
                             DexelCellStamps(cell, from.capacity, from.counts, from.lineStamps), n);
            }
        }
    }
}

int OffsetDexelModel(const StockModel& source, int k, int mode, double value,
                     StockModel* destination) {
    OffsetChordBatch batch;
    const int prepared = PrepareOffsetChordBatch(&batch, destination, value <= 0.0 ? 1 : 0);
    if (prepared != 1) {
        return prepared;
    }
    const int margin = value > 0.0 ? k : 0;
    const OffsetSweepGrid grid = MakeOffsetSweepGrid(source, *destination, margin, k, value);
    if (value <= 0.0 || mode == kOffsetModeNormal) {
        SweepOffsetBalls(grid, &batch);
    } else if (mode == kOffsetModeZ) {
        GrowAlongZ(grid, &batch);
        SyncFamiliesAfterZOffset(destination, &batch);
    } else {
        GrowHorizontal(grid, &batch);
        SyncFamiliesAfterHorizontalOffset(destination, &batch);
    }
    if (batch.failed) {
        return kStockOperationMemoryError;
    }
    return CleanOffsetCells(destination);
}

int CleanOffsetCells(StockModel* model) {
    MarkStockRaysChanged(model);
    HeldDexelWorkList held;
    DexelWorkList& ray = held.list;
    for (int axis : {2, 0, 1}) {
        DexelFamily* family = FamilyOfAxis(model, axis);
        const double origin = NodeTableOfAxis(*model, axis)[0];
        const int fastCount = NodeCountOfAxis(*model, (axis + 1) % 3);
        const int slowCount = NodeCountOfAxis(*model, (axis + 2) % 3);
        for (int slow = 0; slow < slowCount; ++slow) {
            for (int fast = 0; fast < fastCount; ++fast) {
                const std::int64_t cell = static_cast<std::int64_t>(slow) * fastCount + fast;
                const int before = family->counts[cell];
                if (before <= 2) {
                    continue;  // nothing to join
                }
                if (LoadDexelWorkList(*family, cell, &ray) != 1) {
                    return kStockOperationMemoryError;
                }
                int joined = 0;
                if (MergeSubPitchGapsAtNodes(ray.ends, before, model->pitch, origin, ray.ends,
                                             &joined) != 1 ||
                    MergeSubPitchGaps(ray.ends, joined, model->pitch, origin, ray.ends, &joined) !=
                        1) {
                    continue;  // a corrupt (odd) ray is left as it is
                }
                if (joined != before) {
                    ray.count = joined;
                    ZeroDexelWorkListMarks(&ray);
                    StoreDexelWorkList(family, cell, ray);
                }
            }
            AdvanceStockProgress(fastCount);
        }
    }
    return 1;
}

int MergeSubPitchGapsAtNodes(const double* in, int count, double pitch, double origin, double* out,
                             int* outCount) {
    return MergeGaps(in, count, out, outCount,
                     [&](double keptEntry, double keptExit, double a, double b) {
                         const NodeLinePlace exit = PlaceOnNodeLines(keptExit, origin, pitch);
                         const NodeLinePlace entry = PlaceOnNodeLines(a, origin, pitch);
                         return exit.onLine && entry.onLine && entry.index == exit.index + 1.0 &&
                                (keptExit - keptEntry == 0.0 || b - a == 0.0);
                     });
}

int MergeSubPitchGaps(const double* in, int count, double pitch, double origin, double* out,
                      int* outCount) {
    return MergeGaps(in, count, out, outCount, [&](double, double keptExit, double a, double) {
        const NodeLinePlace exit = PlaceOnNodeLines(keptExit, origin, pitch);
        const NodeLinePlace entry = PlaceOnNodeLines(a, origin, pitch);
        return entry.onLine ? entry.index == exit.index + 1.0 : entry.index == exit.index;
    });
}

// --- Chord batch ---------------------------------------------------------------------------

std::uint64_t OffsetChordBatchBytes(const StockModel& destination) {
    const std::uint64_t cells = static_cast<std::uint64_t>(
        destination.z.cellCount + destination.x.cellCount + destination.y.cellCount);
    return cells * sizeof(std::int32_t) + kChordFlushThreshold * sizeof(OffsetChord);
}

int PrepareOffsetChordBatch(OffsetChordBatch* batch, StockModel* destination, int subtract) {
    if (!FitsAvailableStockMemory(OffsetChordBatchBytes(*destination))) {
        return kStockOperationMemoryError;
    }
    batch->destination = destination;
    batch->subtract = subtract;
    batch->writeChangedOnly = 0;
    batch->clipToRange = 0;
    batch->failed = 0;
    batch->chords.clear();
    for (int axis = 0; axis < 3; ++axis) {
        batch->head[axis].assign(
            static_cast<std::size_t>(FamilyOfAxis(*destination, axis).cellCount), -1);
        batch->touched[axis].clear();
    }
    return 1;
}

void AddOffsetChord(OffsetChordBatch* batch, int axis, std::int64_t cell, double lo, double hi) {
    std::int32_t& head = batch->head[axis][static_cast<std::size_t>(cell)];
    if (head < 0) {
        batch->touched[axis].push_back(cell);
    }
    OffsetChord chord;
    chord.cell = cell;
    chord.lo = lo;
    chord.hi = hi;
    chord.next = head;
    batch->chords.push_back(chord);
    head = static_cast<std::int32_t>(batch->chords.size() - 1);
    if (batch->chords.size() >= kChordFlushThreshold) {
        FlushOffsetChords(batch);
    }
}

void FlushOffsetChords(OffsetChordBatch* batch) {
    MarkStockRaysChanged(batch->destination);
    DexelWorkList& ray = batch->ray.list;
    for (int axis = 0; axis < 3; ++axis) {
        DexelFamily* family = FamilyOfAxis(batch->destination, axis);
        std::vector<std::int32_t>& heads = batch->head[axis];
        for (const std::int64_t cell : batch->touched[axis]) {
            std::int32_t chord = heads[static_cast<std::size_t>(cell)];
            heads[static_cast<std::size_t>(cell)] = -1;
            if (batch->failed || (batch->subtract && family->counts[cell] < 2)) {
                continue;  // a shrink touches only rays that hold ends
            }
            if (LoadDexelWorkList(*family, cell, &ray) != 1) {
                batch->failed = 1;
                continue;
            }
            if (batch->writeChangedOnly) {
                batch->before.assign(ray.ends, ray.ends + ray.count);
            }
            int result = kDexelIntervalDone;
            for (; chord >= 0 && result != kDexelIntervalNoMemory;
                 chord = batch->chords[static_cast<std::size_t>(chord)].next) {
                const OffsetChord& c = batch->chords[static_cast<std::size_t>(chord)];
                if (batch->subtract) {
                    result = SubtractDexelInterval(&ray, c.lo, c.hi);
                    if (ray.count == 0) {
                        break;
                    }
                } else {
                    result = UnionDexelInterval(&ray, c.lo, c.hi);
                }
            }
            if (result == kDexelIntervalNoMemory) {
                batch->failed = 1;
                continue;
            }
            if (batch->clipToRange) {
                ClipWorkRayToRange(&ray, batch->rangeLo[axis], batch->rangeHi[axis]);
            }
            if (batch->writeChangedOnly && SameEnds(ray, batch->before)) {
                continue;
            }
            ZeroDexelWorkListMarks(&ray);
            StoreDexelWorkList(family, cell, ray);
        }
        batch->touched[axis].clear();
    }
    batch->chords.clear();
}

OffsetSweepGrid MakeOffsetSweepGrid(const StockModel& source, const StockModel& destination,
                                    int margin, int k, double value) {
    OffsetSweepGrid grid;
    grid.source = &source;
    grid.destination = &destination;
    grid.margin = margin;
    grid.k = k;
    grid.value = value;
    grid.pitch = source.pitch;
    for (int a = 0; a < 3; ++a) {
        grid.count[a] = NodeCountOfAxis(destination, a);
        grid.nodes[a] = NodeTableOfAxis(destination, a);
    }
    return grid;
}

// --- Ball sweeps ---------------------------------------------------------------------------

void SweepOffsetBalls(const OffsetSweepGrid& grid, OffsetChordBatch* batch) {
    const bool grow = grid.value > 0.0;
    const double d2 = grid.value * grid.value;
    const double radius = std::fabs(grid.value);
    const double p = grid.pitch;
    const int k = grid.k;
    const StockModel& destination = *grid.destination;
    // Source families Z, Y, X; each into its own family, then the next and the third.
    for (int axis : {2, 1, 0}) {
        const int fastAxis = (axis + 1) % 3, slowAxis = (axis + 2) % 3;
        SweepSourceRays(grid, axis, [&](int fast, int slow, const double* e, int n) {
            int node[3] = {};
            node[fastAxis] = fast + grid.margin;
            node[slowAxis] = slow + grid.margin;
            // Same family: the rays within k steps on both lateral axes.
            int target[3] = {};
            for (int ds = -k; ds <= k; ++ds) {
                for (int df = -k; df <= k; ++df) {
                    target[axis] = 0;
                    target[fastAxis] = node[fastAxis] + df;
                    target[slowAxis] = node[slowAxis] + ds;
                    if (!InsideGrid(target, grid.count)) {
                        continue;
                    }
                    const double q = d2 - (df * p) * (df * p) - (ds * p) * (ds * p);
                    const std::int64_t cell = CellOfNode(destination, axis, target);
                    if (grow && q >= 0.0) {
                        const double h = std::sqrt(q);
                        for (int i = 0; i < n; i += 2) {
                            AddOffsetChord(batch, axis, cell, e[i] - h, e[i + 1] + h);
                        }
                    } else if (!grow && q > 0.0) {
                        const double h = std::sqrt(q);
                        for (int i = 0; i < n; ++i) {
                            AddOffsetChord(batch, axis, cell, e[i] - h, e[i] + h);
                        }
                    }
                }
            }
            // Crossing families: the chords of a ball at every end, on the rays through the
            // nodes of the source axis within the radius and k lateral steps.
            const double* axisNodes = grid.nodes[axis];
            for (int i = 0; i < n; ++i) {
                int first = 0, last = 0;
                NodeWindow(e[i], radius, axisNodes[0], p, grid.count[axis], &first, &last);
                for (int t = first; t <= last; ++t) {
                    const double axial = axisNodes[t] - e[i];
                    for (int targetAxis : {fastAxis, slowAxis}) {
                        const int lateral = targetAxis == fastAxis ? slowAxis : fastAxis;
                        const double centre = grid.nodes[targetAxis][node[targetAxis]];
                        for (int dl = -k; dl <= k; ++dl) {
                            target[axis] = t;
                            target[targetAxis] = node[targetAxis];
                            target[lateral] = node[lateral] + dl;
                            if (!InsideGrid(target, grid.count)) {
                                continue;
                            }
                            const double q = d2 - (dl * p) * (dl * p) - axial * axial;
                            if (q <= 0.0) {
                                continue;  // a ball that only touches the ray adds nothing
                            }
                            const double h = std::sqrt(q);
                            AddOffsetChord(batch, targetAxis,
                                           CellOfNode(destination, targetAxis, target), centre - h,
                                           centre + h);
                        }
                    }
                }
            }
        });
    }
    FlushOffsetChords(batch);
}

}  // namespace mirexa
