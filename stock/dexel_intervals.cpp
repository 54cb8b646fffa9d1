// Subtraction, stamping cut and union of one interval on a dexel ray's end list, in place on
// caller arrays or on a growing work list.
#include "stock/dexel_intervals.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "stock/grid_node_index.h"

namespace mirexa {

namespace {

// What a cut does to a segment [a, b] with a < lo and b > hi.
enum class ContainingCut { Split, KeepBelow, KeepAbove };

// The narrow-cut rule. Node indices by floor/ceil (not truncation toward zero), so that cuts
// below node 0 see the nodes there too, and with the grid's slack, so that an end on a node line
// (a box face) holds that node whichever way the division rounds.
ContainingCut ClassifyContainingCut(double a, double b, double lo, double hi, double pitch,
                                    double origin) {
    if (pitch > hi - lo) {
        const double nodeBelowLo = NodeIndexAtOrBelow(lo, origin, pitch);
        const double nodeAboveHi = NodeIndexAtOrAbove(hi, origin, pitch);
        if (nodeBelowLo + 1.0 == nodeAboveHi) {
            // No node lies strictly inside the cut.
            if (NodeIndexAtOrBelow(b, origin, pitch) == nodeBelowLo) {
                return ContainingCut::KeepBelow;  // none between the cut and the exit b
            }
            if (NodeIndexAtOrAbove(a, origin, pitch) == nodeAboveHi) {
                return ContainingCut::KeepAbove;  // none between the entry a and the cut
            }
        }
    }
    return ContainingCut::Split;
}

// The stamping cut's extra inputs and outputs; null for the plain subtractions.
struct CutContext {
    double pitch = {};
    double origin = {};
    double cellWeight = {};
    double* removedVolume = {};
    double* removedEnds = {};
    int32_t* removedCount = {};
    uint8_t flagLo = {}, flagHi = {};
    int32_t stampLo = {}, stampHi = {};
};

void RecordPiece(CutContext* cut, double from, double to) {
    if (cut != nullptr) {
        const int32_t n = *cut->removedCount;
        cut->removedEnds[n] = from;
        cut->removedEnds[n + 1] = to;
        *cut->removedCount = n + 2;
        *cut->removedVolume += (to - from) * cut->cellWeight;
    }
}

// One end list with optional per-end flags and stamps (both null for a plain list).
struct EndList {
    double* ends = {};
    uint8_t* flags = {};
    int32_t* stamps = {};

    void Set(int32_t at, double value, uint8_t flag, int32_t stamp) const {
        ends[at] = value;
        if (flags != nullptr) {
            flags[at] = flag;
            stamps[at] = stamp;
        }
    }
    uint8_t Flag(int32_t at) const {
        return flags != nullptr ? flags[at] : 0;
    }
    int32_t Stamp(int32_t at) const {
        return stamps != nullptr ? stamps[at] : 0;
    }
    void Copy(int32_t from, int32_t to) const {
        ends[to] = ends[from];
        if (flags != nullptr) {
            flags[to] = flags[from];
            stamps[to] = stamps[from];
        }
    }
    // Moves entries [from, from + n) to [to, to + n); the ranges may overlap.
    void Move(int32_t from, int32_t to, int32_t n) const {
        if (n <= 0 || from == to) {
            return;
        }
        std::memmove(ends + to, ends + from, sizeof(double) * static_cast<size_t>(n));
        if (flags != nullptr) {
            std::memmove(flags + to, flags + from, static_cast<size_t>(n));
            std::memmove(stamps + to, stamps + from, sizeof(int32_t) * static_cast<size_t>(n));
        }
    }
};

// Entries the walk reads: a count below 2 reads none, an odd count drops its last end.
int32_t WalkedCount(int32_t count) {
    return count < 2 ? 0 : (count & ~1);
}

// Whether the walk below would lengthen the list: it does so at the first segment that
// strictly contains the interval, unless the narrow-cut rule keeps one side.
bool SubtractionGrows(const double* e, int32_t n, double lo, double hi, const CutContext* cut) {
    for (int32_t r = 0; r < n; r += 2) {
        if (lo > e[r] && e[r + 1] > hi) {
            return cut == nullptr || ClassifyContainingCut(e[r], e[r + 1], lo, hi, cut->pitch,
                                                           cut->origin) == ContainingCut::Split;
        }
    }
    return false;
}

// The walk shared by the three subtracting operations. New ends at lo and hi get the cut's
// flags and stamps, or 0 without a cut.
int SubtractWalk(const EndList& list, int32_t* count, int32_t capacity, double lo, double hi,
                 CutContext* cut) {
    if (!(lo <= hi)) {
        return kDexelIntervalRejected;
    }
    if (*count > capacity) {
        return kDexelIntervalNoRoom;
    }
    const int32_t n = WalkedCount(*count);
    // Room for a split, counted in 64 bits so that n + 2 cannot wrap.
    if (int64_t{n} + 2 > capacity && SubtractionGrows(list.ends, n, lo, hi, cut)) {
        return kDexelIntervalNoRoom;
    }
    const uint8_t flagLo = cut != nullptr ? cut->flagLo : 0;
    const uint8_t flagHi = cut != nullptr ? cut->flagHi : 0;
    const int32_t stampLo = cut != nullptr ? cut->stampLo : 0;
    const int32_t stampHi = cut != nullptr ? cut->stampHi : 0;
    double* e = list.ends;
    int32_t w = 0;
    for (int32_t r = 0; r < n; r += 2) {
        const double a = e[r];
        const double b = e[r + 1];
        if (a >= hi || lo >= b) {
            // Untouched (touching at one point included). w <= r - 2 when they differ, so the
            // two entries never overlap their new place.
            if (w != r) {
                list.Copy(r, w);
                list.Copy(r + 1, w + 1);
            }
            w += 2;
            continue;
        }
        if (a >= lo && hi >= b) {
            RecordPiece(cut, a, b);  // inside: dropped whole
            continue;
        }
        if (lo > a && b > hi) {
            // Strictly containing: no other segment can meet the interval, the walk ends here.
            const uint8_t flagA = list.Flag(r), flagB = list.Flag(r + 1);
            const int32_t stampA = list.Stamp(r), stampB = list.Stamp(r + 1);
            const int32_t tail = n - (r + 2);
            const ContainingCut kind =
                cut != nullptr ? ClassifyContainingCut(a, b, lo, hi, cut->pitch, cut->origin)
                               : ContainingCut::Split;
            if (kind == ContainingCut::KeepBelow) {
                list.Move(r + 2, w + 2, tail);
                list.Set(w, a, flagA, stampA);
                list.Set(w + 1, lo, flagLo, stampLo);
                RecordPiece(cut, lo, b);
                *count = w + 2 + tail;
            } else if (kind == ContainingCut::KeepAbove) {
                list.Move(r + 2, w + 2, tail);
                list.Set(w, hi, flagHi, stampHi);
                list.Set(w + 1, b, flagB, stampB);
                RecordPiece(cut, a, hi);
                *count = w + 2 + tail;
            } else {
                list.Move(r + 2, w + 4, tail);
                list.Set(w, a, flagA, stampA);
                list.Set(w + 1, lo, flagLo, stampLo);
                list.Set(w + 2, hi, flagHi, stampHi);
                list.Set(w + 3, b, flagB, stampB);
                RecordPiece(cut, lo, hi);
                *count = w + 4 + tail;
            }
            return kDexelIntervalDone;
        }
        if (a >= lo) {
            // Bottom trimmed: [hi, b].
            list.Set(w, hi, flagHi, stampHi);
            list.Copy(r + 1, w + 1);
            RecordPiece(cut, a, hi);
        } else {
            // Top trimmed: [a, lo].
            list.Copy(r, w);
            list.Set(w + 1, lo, flagLo, stampLo);
            RecordPiece(cut, lo, b);
        }
        w += 2;
    }
    *count = w;
    return kDexelIntervalDone;
}

// Grows one array of a work list to n entries; null (the array still valid) on failure.
template <class T>
T* GrowArray(T* array, int64_t n) {
    return static_cast<T*>(std::realloc(array, static_cast<size_t>(n) * sizeof(T)));
}

// Room for one split or insertion beyond the list's count.
int ReserveGrowth(DexelWorkList* list) {
    return ReserveDexelWorkList(list, int64_t{list->count < 0 ? 0 : list->count} + 2);
}

}  // namespace

int ReserveDexelWorkList(DexelWorkList* list, int64_t n) {
    if (n <= list->capacity) {
        return kDexelIntervalDone;
    }
    if (n > INT32_MAX) {
        return kDexelIntervalNoMemory;
    }
    int64_t room = 2 * int64_t{list->capacity};
    room = room < n ? n : (room > INT32_MAX ? INT32_MAX : room);
    room = room < 16 ? 16 : room;
    // Each array that grows is kept even when a later one fails: the capacity, raised only
    // when all three have grown, then still describes all of them.
    double* ends = GrowArray(list->ends, room);
    if (ends == nullptr) {
        return kDexelIntervalNoMemory;
    }
    list->ends = ends;
    uint8_t* flags = GrowArray(list->flags, room);
    if (flags == nullptr) {
        return kDexelIntervalNoMemory;
    }
    list->flags = flags;
    int32_t* stamps = GrowArray(list->lineStamps, room);
    if (stamps == nullptr) {
        return kDexelIntervalNoMemory;
    }
    list->lineStamps = stamps;
    list->capacity = static_cast<int32_t>(room);
    return kDexelIntervalDone;
}

void FreeDexelWorkList(DexelWorkList* list) {
    if (list == nullptr) {
        return;
    }
    std::free(list->ends);
    std::free(list->flags);
    std::free(list->lineStamps);
    *list = DexelWorkList{};
}

int SubtractDexelInterval(double* ends, uint8_t* flags, int32_t* lineStamps, int32_t* count,
                          int32_t capacity, double lo, double hi) {
    return SubtractWalk({ends, flags, lineStamps}, count, capacity, lo, hi, nullptr);
}

int SubtractPlainInterval(double* ends, int32_t* count, int32_t capacity, double lo, double hi) {
    return SubtractWalk({ends, nullptr, nullptr}, count, capacity, lo, hi, nullptr);
}

int CutDexelInterval(double* ends, uint8_t* flags, int32_t* lineStamps, int32_t* count,
                     int32_t capacity, double pitch, double origin, double cellWeight,
                     double* removedVolume, double* removedEnds, int32_t* removedCount,
                     int32_t removedCapacity, const double cut[2], const uint8_t cutFlags[2],
                     const int32_t cutStamps[2]) {
    *removedCount = 0;
    if (removedCapacity < WalkedCount(*count)) {
        return kDexelIntervalNoRoom;
    }
    CutContext context;
    context.pitch = pitch;
    context.origin = origin;
    context.cellWeight = cellWeight;
    context.removedVolume = removedVolume;
    context.removedEnds = removedEnds;
    context.removedCount = removedCount;
    context.flagLo = cutFlags[0];
    context.flagHi = cutFlags[1];
    context.stampLo = cutStamps[0];
    context.stampHi = cutStamps[1];
    return SubtractWalk({ends, flags, lineStamps}, count, capacity, cut[0], cut[1], &context);
}

int UnionDexelInterval(double* ends, int32_t* count, int32_t capacity, double lo, double hi) {
    if (!(lo <= hi)) {
        return kDexelIntervalRejected;
    }
    if ((*count & 1) != 0) {
        return kDexelIntervalOddCount;
    }
    if (*count < 0) {
        *count = 0;
    }
    const int32_t n = *count;
    if (n > capacity) {
        return kDexelIntervalNoRoom;
    }
    if (lo == hi) {
        return kDexelIntervalDone;
    }
    const EndList list{ends, nullptr, nullptr};
    // The first segment that reaches lo.
    int32_t f = 0;
    while (f < n && ends[f + 1] < lo) {
        f += 2;
    }
    if (f == n || ends[f] > hi) {
        // Clear of every segment: insert in order.
        if (int64_t{n} + 2 > capacity) {
            return kDexelIntervalNoRoom;
        }
        list.Move(f, f + 2, n - f);
        ends[f] = lo;
        ends[f + 1] = hi;
        *count = n + 2;
        return kDexelIntervalDone;
    }
    // Merge every segment that overlaps or touches the growing union.
    const double mergedLo = ends[f] < lo ? ends[f] : lo;
    double mergedHi = ends[f + 1] > hi ? ends[f + 1] : hi;
    int32_t l = f;
    while (l + 2 < n && ends[l + 2] <= mergedHi) {
        l += 2;
        mergedHi = ends[l + 1] > mergedHi ? ends[l + 1] : mergedHi;
    }
    ends[f] = mergedLo;
    ends[f + 1] = mergedHi;
    list.Move(l + 2, f + 2, n - (l + 2));
    *count = n - (l - f);
    return kDexelIntervalDone;
}

int SubtractDexelInterval(DexelWorkList* list, double lo, double hi) {
    if (ReserveGrowth(list) != kDexelIntervalDone) {
        return kDexelIntervalNoMemory;
    }
    return SubtractDexelInterval(list->ends, list->flags, list->lineStamps, &list->count,
                                 list->capacity, lo, hi);
}

int CutDexelInterval(DexelWorkList* list, double pitch, double origin, double cellWeight,
                     double* removedVolume, DexelWorkList* removed, const double cut[2],
                     const uint8_t cutFlags[2], const int32_t cutStamps[2]) {
    removed->count = 0;
    if (ReserveGrowth(list) != kDexelIntervalDone ||
        ReserveDexelWorkList(removed, list->count) != kDexelIntervalDone) {
        return kDexelIntervalNoMemory;
    }
    return CutDexelInterval(list->ends, list->flags, list->lineStamps, &list->count, list->capacity,
                            pitch, origin, cellWeight, removedVolume, removed->ends,
                            &removed->count, removed->capacity, cut, cutFlags, cutStamps);
}

int UnionDexelInterval(DexelWorkList* list, double lo, double hi) {
    if (ReserveGrowth(list) != kDexelIntervalDone) {
        return kDexelIntervalNoMemory;
    }
    return UnionDexelInterval(list->ends, &list->count, list->capacity, lo, hi);
}

}  // namespace mirexa
