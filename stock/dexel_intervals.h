// Interval operations on one dexel ray: remove [lo, hi] from an ascending list of material
// ends, or merge it in. The cutting kernel of the tri-dexel stock.
//
// Lists: ends e[0..count-1] non-descending, in (entry, exit) pairs; segment k is
// [e[2k], e[2k+1]]. The flagged variants move one DexelEndFlag byte and one line stamp with
// every end. Every operation compares exactly, without tolerance, and exists in two forms.
//
// Long rays: a ray has no fixed limit on its ends (a fine pitch gives tens of thousands, about
// two per node along it), only the 32-bit count. Whoever works on a ray sizes its buffers by
// that ray's own count, never by a constant:
// - The work-list form (DexelWorkList, below) is the one to use: the list grows with the ray,
//   so an operation never fails for room, only when memory runs out (kDexelIntervalNoMemory).
// - The array form works in place on arrays the caller provides (read out of a cell, or the
//   cell's own inline slots) and allocates nothing. `capacity` is the number of entries the
//   caller's arrays hold (ends, and flags and stamps where given). A split or an inserted
//   interval lengthens a list by 2; when the result would not fit, the operation returns
//   kDexelIntervalNoRoom and leaves everything unchanged, and the caller grows its buffers to
//   count + 2 and calls again. A count above the capacity is refused the same way.
#pragma once

#include <cstdint>

namespace mirexa {

inline constexpr int kDexelIntervalDone = 1;       // list updated (possibly unchanged)
inline constexpr int kDexelIntervalRejected = 0;   // lo > hi or a NaN bound: list unchanged
inline constexpr int kDexelIntervalNoRoom = -1;    // result would exceed capacity: unchanged
inline constexpr int kDexelIntervalOddCount = -2;  // union of an odd-count list: unchanged
inline constexpr int kDexelIntervalNoMemory = -3;  // a work list could not grow: unchanged

// A work list for one ray, growing with it: entries 0..count-1 of ends, flags and line stamps,
// room for capacity entries in each array. It owns its three arrays: start it as {}, keep it
// for a whole pass over many rays (it only grows), and release it with FreeDexelWorkList. A
// list used for plain ends (union, removed pieces) still carries flags and stamps, unread.
struct DexelWorkList {
    double* ends = {};
    uint8_t* flags = {};
    int32_t* lineStamps = {};
    int32_t count = {};
    int32_t capacity = {};
};

// Makes room for at least n entries (n <= INT32_MAX), keeping the count and the entries; the
// room grows at least twofold when it grows. kDexelIntervalDone, or kDexelIntervalNoMemory with
// the list unchanged when n is too large or memory runs out.
int ReserveDexelWorkList(DexelWorkList* list, int64_t n);
// Releases the arrays and empties the list (null-safe; safe twice).
void FreeDexelWorkList(DexelWorkList* list);

// Removes [lo, hi] from the list. Segments that only touch the interval stay; segments inside
// it go; overlapping ones are trimmed; a segment strictly containing it is split in two (also
// when lo == hi, giving two touching segments). Ends the interval creates get flag 0 and stamp
// 0; existing ends keep theirs. A count below 2 becomes 0; an odd count drops its last end.
int SubtractDexelInterval(double* ends, uint8_t* flags, int32_t* lineStamps, int32_t* count,
                          int32_t capacity, double lo, double hi);

// The same on a plain list of ends.
int SubtractPlainInterval(double* ends, int32_t* count, int32_t capacity, double lo, double hi);

// The stamping cut: removes cut = [lo, hi] like SubtractDexelInterval, but the end made at lo
// takes cutFlags[0] and cutStamps[0] and the end made at hi takes cutFlags[1] and
// cutStamps[1]. Every removed piece is appended to removedEnds as a pair (removedCount is
// reset first, so it describes this call only; 0 means nothing changed), and
// piece length * cellWeight (mm^3) is added to *removedVolume.
//
// Narrow cuts: when the cut is shorter than the pitch (mm) and no grid node (origin + i *
// pitch, origin the coordinate of node 0 of the ray's axis) lies strictly inside it, a
// containing segment is not split: if no node lies between the cut and the segment's exit, the
// sliver above goes too (the segment becomes [a, lo]); else, if none lies between its entry
// and the cut, the sliver below goes (it becomes [hi, b]). A split only happens where a node
// keeps material on both sides.
//
// removedCapacity must be at least the list's count (the most the pieces can take); otherwise
// the call returns kDexelIntervalNoRoom with nothing changed.
int CutDexelInterval(double* ends, uint8_t* flags, int32_t* lineStamps, int32_t* count,
                     int32_t capacity, double pitch, double origin, double cellWeight,
                     double* removedVolume, double* removedEnds, int32_t* removedCount,
                     int32_t removedCapacity, const double cut[2], const uint8_t cutFlags[2],
                     const int32_t cutStamps[2]);

// Merges [lo, hi] into a plain list: segments it overlaps or touches join it (with anything
// touching those), otherwise it is inserted in order. lo == hi changes nothing. A negative
// count counts as 0; an odd count returns kDexelIntervalOddCount.
int UnionDexelInterval(double* ends, int32_t* count, int32_t capacity, double lo, double hi);

// --- Work-list form ------------------------------------------------------------------------
// The same operations on a DexelWorkList, which first gets room for count + 2 entries (and the
// removed list room for count): the results above, with kDexelIntervalNoMemory (everything
// unchanged) in place of kDexelIntervalNoRoom.

int SubtractDexelInterval(DexelWorkList* list, double lo, double hi);
// Removed pieces go to removed->ends as pairs, removed->count of them.
int CutDexelInterval(DexelWorkList* list, double pitch, double origin, double cellWeight,
                     double* removedVolume, DexelWorkList* removed, const double cut[2],
                     const uint8_t cutFlags[2], const int32_t cutStamps[2]);
// Merges into the list's ends; its flags and stamps are not touched.
int UnionDexelInterval(DexelWorkList* list, double lo, double hi);

}  // namespace mirexa
