// Interval operations on dexel rays: worked cases, room limits, and random lists against a
// closed-interval set model.
#include "stock/dexel_intervals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <random>
#include <utility>
#include <vector>

namespace mirexa {
namespace {

using Segments = std::vector<std::pair<double, double>>;

// A ray's work lists with room to spare; stamps number the original ends 100, 101, ...
struct Ray {
    std::vector<double> ends;
    std::vector<uint8_t> flags;
    std::vector<int32_t> stamps;
    int32_t count = 0;

    explicit Ray(const std::vector<double>& values, int32_t room = 4) {
        count = static_cast<int32_t>(values.size());
        ends = values;
        ends.resize(values.size() + room, -777.0);
        flags.resize(ends.size(), 0xEE);
        stamps.resize(ends.size(), -777);
        for (int32_t n = 0; n < count; ++n) {
            flags[n] = static_cast<uint8_t>(0x10 * (n % 16) + 1);
            stamps[n] = 100 + n;
        }
    }
    int32_t Capacity() const {
        return static_cast<int32_t>(ends.size());
    }
    std::vector<double> Values() const {
        return std::vector<double>(ends.begin(), ends.begin() + count);
    }
};

Segments Pairs(const double* e, int32_t count) {
    Segments s;
    for (int32_t n = 0; n + 1 < count; n += 2) {
        s.push_back({e[n], e[n + 1]});
    }
    return s;
}

// The point set of a list without measure-zero parts: positive-length segments, sorted, with
// overlapping and touching ones merged.
Segments Regularise(Segments s) {
    Segments in;
    for (const auto& seg : s) {
        if (seg.second > seg.first) {
            in.push_back(seg);
        }
    }
    std::sort(in.begin(), in.end());
    Segments out;
    for (const auto& seg : in) {
        if (!out.empty() && seg.first <= out.back().second) {
            out.back().second = std::max(out.back().second, seg.second);
        } else {
            out.push_back(seg);
        }
    }
    return out;
}

// closure(S \ (lo, hi)) up to measure-zero points.
Segments SetDifference(const Segments& s, double lo, double hi) {
    Segments out;
    for (const auto& [a, b] : Regularise(s)) {
        out.push_back({a, std::min(b, lo)});
        out.push_back({std::max(a, hi), b});
    }
    return Regularise(out);
}

Segments SetUnion(Segments s, double lo, double hi) {
    s.push_back({lo, hi});
    return Regularise(s);
}

// Even count and non-descending ends.
void ExpectWellFormed(const double* e, int32_t count, const char* what) {
    EXPECT_EQ(count % 2, 0) << what;
    for (int32_t n = 1; n < count; ++n) {
        ASSERT_LE(e[n - 1], e[n]) << what << " at end " << n;
    }
}

// How many segments of a list cover the open gap around m.
int Cover(const Segments& s, double m) {
    int c = 0;
    for (const auto& [a, b] : s) {
        c += (a < m && m < b) ? 1 : 0;
    }
    return c;
}

// Exact length accounting: on every elementary gap between the coordinates involved, the old
// list covers it exactly as often as the new list and the removed pieces together.
void ExpectLengthConserved(const Segments& before, const Segments& after, const Segments& removed) {
    std::vector<double> xs;
    for (const Segments* s : {&before, &after, &removed}) {
        for (const auto& [a, b] : *s) {
            xs.push_back(a);
            xs.push_back(b);
        }
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    for (size_t n = 0; n + 1 < xs.size(); ++n) {
        const double m = 0.5 * (xs[n] + xs[n + 1]);
        EXPECT_EQ(Cover(before, m), Cover(after, m) + Cover(removed, m)) << "gap at " << m;
        EXPECT_LE(Cover(removed, m), 1) << "removed twice at " << m;
    }
}

double Length(const Segments& s) {
    double sum = 0;
    for (const auto& [a, b] : s) {
        sum += b - a;
    }
    return sum;
}

// Every end of the result is an original end with its own value and flag (in the original
// order), or a new end at lo or hi with the attributes given for it.
void ExpectAttributesTravel(const Ray& before, const Ray& after, double lo, double hi,
                            uint8_t flagLo, int32_t stampLo, uint8_t flagHi, int32_t stampHi) {
    int32_t lastOriginal = -1;
    for (int32_t n = 0; n < after.count; ++n) {
        const int32_t id = after.stamps[n] - 100;
        if (id >= 0 && id < before.count) {
            EXPECT_EQ(after.ends[n], before.ends[id]) << "end " << n;
            EXPECT_EQ(after.flags[n], before.flags[id]) << "end " << n;
            EXPECT_GT(id, lastOriginal) << "original ends out of order";
            lastOriginal = id;
        } else if (after.stamps[n] == stampLo && after.flags[n] == flagLo && after.ends[n] == lo) {
        } else {
            EXPECT_EQ(after.stamps[n], stampHi) << "end " << n;
            EXPECT_EQ(after.flags[n], flagHi) << "end " << n;
            EXPECT_EQ(after.ends[n], hi) << "end " << n;
        }
    }
}

struct CutResult {
    int rc = 0;
    std::vector<double> removed;
    double volume = 0;
};

// CutDexelInterval with cut flags 0x31 / 0x51 and stamps -7 / -9 for the ends made at lo / hi.
CutResult Cut(Ray& ray, double lo, double hi, double pitch = 1.0, double origin = 0.0,
              double weight = 1.0) {
    static const uint8_t kFlags[2] = {0x31, 0x51};
    static const int32_t kStamps[2] = {-7, -9};
    CutResult result;
    result.removed.assign(ray.Capacity() + 2, -555.0);
    int32_t removedCount = -1;
    const double cut[2] = {lo, hi};
    result.rc = CutDexelInterval(ray.ends.data(), ray.flags.data(), ray.stamps.data(), &ray.count,
                                 ray.Capacity(), pitch, origin, weight, &result.volume,
                                 result.removed.data(), &removedCount,
                                 static_cast<int32_t>(result.removed.size()), cut, kFlags, kStamps);
    result.removed.resize(std::max(removedCount, 0));
    return result;
}

// A list, an interval and the list expected after the operation.
struct Case {
    std::vector<double> ends;
    double lo, hi;
    std::vector<double> expected;
};

TEST(SubtractIntervals, WorkedCases) {
    const Case cases[] = {
        {{0, 10}, 2, 3, {0, 2, 3, 10}},
        {{0, 10}, 10, 12, {0, 10}},
        {{0, 10}, -2, 0, {0, 10}},
        {{0, 10}, 0, 10, {}},
        {{0, 10, 20, 30}, -1, 11, {20, 30}},
        {{0, 10, 20, 30}, 5, 25, {0, 5, 25, 30}},
        {{0, 10, 20, 30}, 10, 20, {0, 10, 20, 30}},
        {{0, 10}, 4, 4, {0, 4, 4, 10}},
        {{0, 10, 20, 30, 40, 50}, 22, 28, {0, 10, 20, 22, 28, 30, 40, 50}},
        {{0, 10, 20, 30, 40, 50}, 5, 45, {0, 5, 45, 50}},
        {{5, 5, 8, 9}, 4, 6, {8, 9}},
        {{5, 5, 8, 9}, 5, 6, {5, 5, 8, 9}},
        {{0, 10}, -5, -1, {0, 10}},
        {{}, 1, 2, {}},
        {{0, 10, 20}, 12, 15, {0, 10}},  // odd count: the dangling end goes
    };
    for (const Case& c : cases) {
        Ray dexel(c.ends);
        ASSERT_EQ(SubtractDexelInterval(dexel.ends.data(), dexel.flags.data(), dexel.stamps.data(),
                                        &dexel.count, dexel.Capacity(), c.lo, c.hi),
                  kDexelIntervalDone);
        EXPECT_EQ(dexel.Values(), c.expected) << "dexel [" << c.lo << ", " << c.hi << "]";
        ExpectAttributesTravel(Ray(c.ends), dexel, c.lo, c.hi, 0, 0, 0, 0);

        Ray plain(c.ends);
        ASSERT_EQ(
            SubtractPlainInterval(plain.ends.data(), &plain.count, plain.Capacity(), c.lo, c.hi),
            kDexelIntervalDone);
        EXPECT_EQ(plain.Values(), c.expected) << "plain [" << c.lo << ", " << c.hi << "]";
    }
}

TEST(SubtractIntervals, CountBelowTwoEmptiesTheList) {
    for (int32_t count : {0, 1, -3}) {
        Ray ray({7, 8});
        ray.count = count;
        EXPECT_EQ(SubtractDexelInterval(ray.ends.data(), ray.flags.data(), ray.stamps.data(),
                                        &ray.count, ray.Capacity(), 0, 100),
                  kDexelIntervalDone);
        EXPECT_EQ(ray.count, 0);
        Ray plain({7, 8});
        plain.count = count;
        SubtractPlainInterval(plain.ends.data(), &plain.count, plain.Capacity(), 0, 100);
        EXPECT_EQ(plain.count, 0);
    }
}

TEST(SubtractIntervals, ReversedOrNanBoundsLeaveTheListUnchanged) {
    const double nan = std::nan("");
    const std::pair<double, double> bounds[] = {{6, 4}, {nan, 4}, {6, nan}, {nan, nan}};
    for (const auto& [lo, hi] : bounds) {
        Ray dexel({0, 10});
        EXPECT_EQ(SubtractDexelInterval(dexel.ends.data(), dexel.flags.data(), dexel.stamps.data(),
                                        &dexel.count, dexel.Capacity(), lo, hi),
                  kDexelIntervalRejected);
        EXPECT_EQ(dexel.Values(), (std::vector<double>{0, 10}));
        Ray plain({0, 10});
        EXPECT_EQ(SubtractPlainInterval(plain.ends.data(), &plain.count, plain.Capacity(), lo, hi),
                  kDexelIntervalRejected);
        EXPECT_EQ(plain.Values(), (std::vector<double>{0, 10}));
        Ray cut({0, 10});
        const CutResult r = Cut(cut, lo, hi);
        EXPECT_EQ(r.rc, kDexelIntervalRejected);
        EXPECT_EQ(cut.Values(), (std::vector<double>{0, 10}));
        EXPECT_TRUE(r.removed.empty());
        EXPECT_EQ(r.volume, 0.0);
        Ray merged({0, 10});
        EXPECT_EQ(UnionDexelInterval(merged.ends.data(), &merged.count, merged.Capacity(), lo, hi),
                  kDexelIntervalRejected);
        EXPECT_EQ(merged.Values(), (std::vector<double>{0, 10}));
    }
}

TEST(CutDexelInterval, WorkedCases) {
    struct Case {
        std::vector<double> ends;
        double lo, hi;
        std::vector<double> expected, removed;
        double pitch = 1.0, origin = 0.0;
    };
    const Case cases[] = {
        {{0, 10, 20, 30}, 5, 25, {0, 5, 25, 30}, {5, 10, 20, 25}},
        // Narrow cuts between nodes 3 and 4 (pitch 1, node 0 at 0).
        {{0, 3.7}, 3.2, 3.4, {0, 3.2}, {3.2, 3.7}},
        {{0, 10}, 3.2, 3.4, {0, 3.2, 3.4, 10}, {3.2, 3.4}},
        {{3.1, 10}, 3.2, 3.4, {3.4, 10}, {3.1, 3.4}},
        {{3.1, 3.7}, 3.2, 3.4, {3.1, 3.2}, {3.2, 3.7}},  // the exit side is tried first
        {{0, 10}, 10, 12, {0, 10}, {}},
        {{0, 10}, -3, 0, {0, 10}, {}},
        {{0, 10}, 0, 10, {}, {0, 10}},
        {{0, 10}, 8, 12, {0, 8}, {8, 10}},
        {{0, 10}, -1, 2, {2, 10}, {0, 2}},
        // A cut touching a node from below or above still has no node strictly inside.
        {{0, 10}, 3, 3.5, {0, 3, 3.5, 10}, {3, 3.5}},
        {{0, 3.6}, 3, 3.5, {0, 3}, {3, 3.6}},
        {{3.2, 10}, 3.5, 4, {4, 10}, {3.2, 4}},
        // A zero-length cut off a node removes the sliver to the exit; on a node it splits.
        {{0, 3.7}, 3.5, 3.5, {0, 3.5}, {3.5, 3.7}},
        {{0, 10}, 3, 3, {0, 3, 3, 10}, {3, 3}},
        // A cut longer than the pitch always splits.
        {{3.1, 3.9}, 3.2, 4.5, {3.1, 3.2}, {3.2, 3.9}},
        {{0, 10}, 3.25, 4.5, {0, 3.25, 4.5, 10}, {3.25, 4.5}},
        // Below node 0 the nodes still count: node 0 lies inside this cut, so it splits.
        {{-0.875, 0.875}, -0.5, 0.25, {-0.875, -0.5, 0.25, 0.875}, {-0.5, 0.25}},
        // Node 0 at 0.3 puts node 3.3 inside [3.2, 3.4]; a pitch of 0 or NaN has no narrow rule.
        {{0, 3.7}, 3.2, 3.4, {0, 3.2, 3.4, 3.7}, {3.2, 3.4}, 1.0, 0.3},
        {{0, 3.7}, 3.2, 3.4, {0, 3.2, 3.4, 3.7}, {3.2, 3.4}, 0.0},
        {{0, 3.7}, 3.2, 3.4, {0, 3.2, 3.4, 3.7}, {3.2, 3.4}, std::nan("")},
        // An exit on node 153 that (exit - origin) / pitch puts at 152.99999999999997 holds it.
        {{-9.895, 36.004999999999995},
         35.8,
         35.9,
         {-9.895, 35.8, 35.9, 36.004999999999995},
         {35.8, 35.9},
         0.3,
         -9.895},
    };
    for (const Case& c : cases) {
        Ray ray(c.ends);
        const CutResult r = Cut(ray, c.lo, c.hi, c.pitch, c.origin, 0.5);
        ASSERT_EQ(r.rc, kDexelIntervalDone);
        EXPECT_EQ(ray.Values(), c.expected) << "[" << c.lo << ", " << c.hi << "]";
        EXPECT_EQ(r.removed, c.removed) << "[" << c.lo << ", " << c.hi << "]";
        EXPECT_NEAR(r.volume, 0.5 * Length(Pairs(c.removed.data(), c.removed.size())), 1e-12);
        ExpectAttributesTravel(Ray(c.ends), ray, c.lo, c.hi, 0x31, -7, 0x51, -9);
    }
}

TEST(UnionDexelInterval, WorkedCases) {
    const Case cases[] = {
        {{}, 3, 4, {3, 4}},
        {{0, 10}, 10, 20, {0, 20}},
        {{0, 10}, 12, 14, {0, 10, 12, 14}},
        {{0, 10}, -4, -2, {-4, -2, 0, 10}},
        {{0, 10}, -4, 0, {-4, 10}},
        {{0, 10}, 2, 3, {0, 10}},
        {{0, 10}, -1, 11, {-1, 11}},
        {{0, 10, 20, 30}, 12, 14, {0, 10, 12, 14, 20, 30}},
        {{0, 10, 20, 30}, 5, 25, {0, 30}},
        {{0, 10, 20, 30}, 3, 3, {0, 10, 20, 30}},
        {{0, 10, 20, 30}, -5, -3, {-5, -3, 0, 10, 20, 30}},
        {{0, 10, 20, 30}, 31, 40, {0, 10, 20, 30, 31, 40}},
        {{0, 10, 20, 30}, 10, 20, {0, 30}},
        {{0, 10, 20, 30, 40, 50}, 15, 20, {0, 10, 15, 30, 40, 50}},
        {{0, 10, 20, 30, 40, 50}, 9, 41, {0, 50}},
        // Touching segments next to the merged one join it.
        {{0, 10, 10, 20, 30, 40}, 5, 6, {0, 20, 30, 40}},
    };
    for (const Case& c : cases) {
        Ray ray(c.ends);
        ASSERT_EQ(UnionDexelInterval(ray.ends.data(), &ray.count, ray.Capacity(), c.lo, c.hi),
                  kDexelIntervalDone);
        EXPECT_EQ(ray.Values(), c.expected) << "[" << c.lo << ", " << c.hi << "]";
    }
}

TEST(UnionDexelInterval, OddOrNegativeCounts) {
    Ray odd({0, 10, 20});
    EXPECT_EQ(UnionDexelInterval(odd.ends.data(), &odd.count, odd.Capacity(), 1, 2),
              kDexelIntervalOddCount);
    EXPECT_EQ(odd.count, 3);
    odd.count = 1;
    EXPECT_EQ(UnionDexelInterval(odd.ends.data(), &odd.count, odd.Capacity(), 1, 2),
              kDexelIntervalOddCount);
    Ray empty({0, 10});
    empty.count = -2;
    EXPECT_EQ(UnionDexelInterval(empty.ends.data(), &empty.count, empty.Capacity(), 1, 1),
              kDexelIntervalDone);
    EXPECT_EQ(empty.count, 0);
    Ray negative({0, 10});
    negative.count = -2;
    EXPECT_EQ(UnionDexelInterval(negative.ends.data(), &negative.count, negative.Capacity(), 1, 2),
              kDexelIntervalDone);
    EXPECT_EQ(negative.Values(), (std::vector<double>{1, 2}));
}

// The operations that lengthen a list refuse when the caller's arrays have no room, leaving
// everything as it was, and succeed once the room is there. Operations that do not grow the
// list work on a full buffer.
TEST(DexelIntervalRoom, FullBuffersAreRefusedUntouched) {
    std::vector<double> full;
    for (int n = 0; n < 10000; ++n) {
        full.push_back(n);  // 5000 segments [2k, 2k+1]
    }
    const double lo = 5000.25, hi = 5000.5;  // inside segment [5000, 5001]

    for (int32_t room : {0, 1, 2}) {
        Ray ray(full, room);
        const Ray before = ray;
        const int expected = room >= 2 ? kDexelIntervalDone : kDexelIntervalNoRoom;
        EXPECT_EQ(SubtractDexelInterval(ray.ends.data(), ray.flags.data(), ray.stamps.data(),
                                        &ray.count, ray.Capacity(), lo, hi),
                  expected);
        if (expected == kDexelIntervalNoRoom) {
            EXPECT_EQ(ray.ends, before.ends);
            EXPECT_EQ(ray.flags, before.flags);
            EXPECT_EQ(ray.stamps, before.stamps);
            EXPECT_EQ(ray.count, 10000);
        } else {
            EXPECT_EQ(ray.count, 10002);
            ExpectWellFormed(ray.ends.data(), ray.count, "split at 10,000 ends");
        }
        Ray plain(full, room);
        EXPECT_EQ(SubtractPlainInterval(plain.ends.data(), &plain.count, plain.Capacity(), lo, hi),
                  expected);
        Ray cut(full, room);
        // Pitch 0.1 puts node 50002.5 / 10 = 5000.3 inside the cut: a true split.
        EXPECT_EQ(Cut(cut, lo, hi, 0.05, 0.0).rc, expected);
        Ray merged(full, room);
        EXPECT_EQ(UnionDexelInterval(merged.ends.data(), &merged.count, merged.Capacity(), 5001.25,
                                     5001.75),
                  expected);
        EXPECT_EQ(merged.count, room >= 2 ? 10002 : 10000);
    }
    // No growth needed: trims, merges and narrow cuts work on a full buffer.
    Ray trim(full, 0);
    EXPECT_EQ(Cut(trim, 4999.5, 5001.5).rc, kDexelIntervalDone);
    EXPECT_EQ(trim.count, 9998);
    Ray narrow(full, 0);
    EXPECT_EQ(Cut(narrow, 5000.25, 5000.5, 1.0, 0.1).rc, kDexelIntervalDone);
    EXPECT_EQ(narrow.count, 10000);
    Ray merged(full, 0);
    EXPECT_EQ(UnionDexelInterval(merged.ends.data(), &merged.count, merged.Capacity(), 1, 2),
              kDexelIntervalDone);
    EXPECT_EQ(merged.count, 9998);
}

TEST(DexelIntervalRoom, RemovedListSmallerThanTheRayIsRefused) {
    Ray ray({0, 10, 20, 30});
    double removed[3];
    int32_t removedCount = 5;
    double volume = 0;
    const double cut[2] = {5, 25};
    const uint8_t flags[2] = {1, 1};
    const int32_t stamps[2] = {1, 1};
    EXPECT_EQ(CutDexelInterval(ray.ends.data(), ray.flags.data(), ray.stamps.data(), &ray.count,
                               ray.Capacity(), 1.0, 0.0, 1.0, &volume, removed, &removedCount, 3,
                               cut, flags, stamps),
              kDexelIntervalNoRoom);
    EXPECT_EQ(removedCount, 0);
    EXPECT_EQ(ray.Values(), (std::vector<double>{0, 10, 20, 30}));
    Ray claimsTooMuch({0, 10});
    EXPECT_EQ(SubtractPlainInterval(claimsTooMuch.ends.data(), &claimsTooMuch.count, 1, 2, 3),
              kDexelIntervalNoRoom);
}

// Work lists make their own room: random subtractions, cuts and unions on one list that starts
// empty and grows past 10,000 ends give what the array form gives on arrays with room to spare.
TEST(DexelWorkList, GrowsWithTheRayAndMatchesTheArrayForm) {
    const unsigned seed = 5150;
    std::printf("random work lists, seed %u\n", seed);
    std::mt19937 rng(seed);
    DexelWorkList list, removed;
    Ray reference({}, 40000);
    const uint8_t cutFlags[2] = {0x31, 0x51};
    const int32_t cutStamps[2] = {-7, -9};
    double volume = 0, referenceVolume = 0;
    std::vector<double> referenceRemoved(40000);
    for (int step = 0; step < 30000; ++step) {
        // Mostly short unions spread over [0, 60000] mm, so that the list keeps growing.
        const double lo = std::uniform_int_distribution<int>(0, 240000)(rng) / 4.0;
        const double hi = lo + std::uniform_int_distribution<int>(0, 8)(rng) / 4.0;
        const int op = step % 5;
        int rc = 0, expected = 0;
        if (op < 3) {
            rc = UnionDexelInterval(&list, lo, hi);
            expected = UnionDexelInterval(reference.ends.data(), &reference.count,
                                          reference.Capacity(), lo, hi);
        } else if (op == 3) {
            rc = SubtractDexelInterval(&list, lo, hi);
            expected = SubtractDexelInterval(reference.ends.data(), reference.flags.data(),
                                             reference.stamps.data(), &reference.count,
                                             reference.Capacity(), lo, hi);
        } else {
            const double cut[2] = {lo, hi};
            int32_t removedCount = 0;
            rc =
                CutDexelInterval(&list, 0.5, 0.0, 2.0, &volume, &removed, cut, cutFlags, cutStamps);
            expected = CutDexelInterval(
                reference.ends.data(), reference.flags.data(), reference.stamps.data(),
                &reference.count, reference.Capacity(), 0.5, 0.0, 2.0, &referenceVolume,
                referenceRemoved.data(), &removedCount,
                static_cast<int32_t>(referenceRemoved.size()), cut, cutFlags, cutStamps);
            ASSERT_EQ(std::vector<double>(removed.ends, removed.ends + removed.count),
                      std::vector<double>(referenceRemoved.begin(),
                                          referenceRemoved.begin() + removedCount))
                << "step " << step;
        }
        ASSERT_EQ(rc, expected) << "step " << step;
        ASSERT_EQ(list.count, reference.count) << "step " << step;
        ASSERT_LE(list.count, list.capacity);
        ASSERT_TRUE(std::equal(list.ends, list.ends + list.count, reference.ends.begin()))
            << "step " << step;
    }
    EXPECT_GT(list.count, 10002);
    EXPECT_EQ(volume, referenceVolume);
    FreeDexelWorkList(&list);
    FreeDexelWorkList(&removed);
}

TEST(DexelWorkList, ReserveKeepsTheEntriesAndRefusesBeyondTheCount) {
    DexelWorkList list;
    ASSERT_EQ(ReserveDexelWorkList(&list, 3), kDexelIntervalDone);
    EXPECT_GE(list.capacity, 3);
    list.count = 2;
    list.ends[0] = 1.5, list.ends[1] = 2.5;
    list.flags[1] = 0x21, list.lineStamps[1] = -4;
    const int32_t before = list.capacity;
    ASSERT_EQ(ReserveDexelWorkList(&list, before + 1), kDexelIntervalDone);
    EXPECT_GE(list.capacity, 2 * before);
    EXPECT_EQ(list.count, 2);
    EXPECT_EQ(list.ends[1], 2.5);
    EXPECT_EQ(list.flags[1], 0x21);
    EXPECT_EQ(list.lineStamps[1], -4);
    // A count that 32 bits cannot hold is refused, the list unchanged.
    const double* ends = list.ends;
    const int32_t capacity = list.capacity;
    EXPECT_EQ(ReserveDexelWorkList(&list, int64_t{INT32_MAX} + 1), kDexelIntervalNoMemory);
    EXPECT_EQ(list.ends, ends);
    EXPECT_EQ(list.capacity, capacity);
    EXPECT_EQ(list.count, 2);
    FreeDexelWorkList(&list);
    EXPECT_EQ(list.ends, nullptr);
    EXPECT_EQ(list.capacity, 0);
    FreeDexelWorkList(nullptr);
}

// Random lists of quarter values (so that touching and zero-length segments are common and all
// arithmetic is exact), cut by intervals taken from the ends, from node values, from outside
// the list and with lo = hi.
class RandomLists : public ::testing::Test {
protected:
    static constexpr unsigned kSeed = 20261207;
    std::mt19937 rng{kSeed};

    void SetUp() override {
        std::printf("random dexel lists, seed %u\n", kSeed);
    }
    double Quarter(int lo, int hi) {
        return std::uniform_int_distribution<int>(lo * 4, hi * 4)(rng) / 4.0;
    }
    std::vector<double> List() {
        const int pairs = std::uniform_int_distribution<int>(0, 8)(rng);
        std::vector<double> v;
        for (int n = 0; n < 2 * pairs; ++n) {
            v.push_back(Quarter(0, 20));
        }
        std::sort(v.begin(), v.end());
        return v;
    }
    std::pair<double, double> Interval(const std::vector<double>& ends) {
        double a = 0, b = 0;
        switch (std::uniform_int_distribution<int>(0, 4)(rng)) {
            case 0:
                if (!ends.empty()) {
                    a = ends[rng() % ends.size()];
                    b = ends[rng() % ends.size()];
                    break;
                }
                [[fallthrough]];
            case 1:
                a = Quarter(0, 20), b = Quarter(0, 20);
                break;
            case 2:
                a = Quarter(-5, 25), b = Quarter(-5, 25);
                break;
            case 3:
                a = b = Quarter(0, 20);
                break;
            default:
                a = std::uniform_int_distribution<int>(0, 40)(rng) * 0.5;
                b = a + std::uniform_int_distribution<int>(0, 3)(rng) * 0.25;
                break;
        }
        return {std::min(a, b), std::max(a, b)};
    }
};

TEST_F(RandomLists, SubtractionsEqualTheSetDifference) {
    for (int trial = 0; trial < 20000; ++trial) {
        const std::vector<double> ends = List();
        const auto [lo, hi] = Interval(ends);
        Ray dexel(ends);
        ASSERT_EQ(SubtractDexelInterval(dexel.ends.data(), dexel.flags.data(), dexel.stamps.data(),
                                        &dexel.count, dexel.Capacity(), lo, hi),
                  kDexelIntervalDone);
        ExpectWellFormed(dexel.ends.data(), dexel.count, "subtract");
        const Segments before = Pairs(ends.data(), ends.size());
        ASSERT_EQ(Regularise(Pairs(dexel.ends.data(), dexel.count)), SetDifference(before, lo, hi))
            << "trial " << trial << " [" << lo << ", " << hi << "]";
        ExpectAttributesTravel(Ray(ends), dexel, lo, hi, 0, 0, 0, 0);

        Ray plain(ends);
        SubtractPlainInterval(plain.ends.data(), &plain.count, plain.Capacity(), lo, hi);
        ASSERT_EQ(plain.Values(), dexel.Values()) << "trial " << trial;
    }
}

TEST_F(RandomLists, UnionEqualsTheSetUnion) {
    for (int trial = 0; trial < 20000; ++trial) {
        const std::vector<double> ends = List();
        const auto [lo, hi] = Interval(ends);
        Ray ray(ends);
        ASSERT_EQ(UnionDexelInterval(ray.ends.data(), &ray.count, ray.Capacity(), lo, hi),
                  kDexelIntervalDone);
        ExpectWellFormed(ray.ends.data(), ray.count, "union");
        const Segments before = Pairs(ends.data(), ends.size());
        const Segments expected = lo < hi ? SetUnion(before, lo, hi) : Regularise(before);
        ASSERT_EQ(Regularise(Pairs(ray.ends.data(), ray.count)), expected)
            << "trial " << trial << " [" << lo << ", " << hi << "]";
        // Segments away from the interval are kept as they were.
        for (const auto& seg : Pairs(ray.ends.data(), ray.count)) {
            if (seg.second < lo || seg.first > hi) {
                EXPECT_NE(std::find(before.begin(), before.end(), seg), before.end());
            }
        }
        EXPECT_LE(ray.count, static_cast<int32_t>(ends.size()) + 2);
    }
}

TEST_F(RandomLists, CutConservesLengthAndOnlyWidensBetweenNodes) {
    const double pitches[] = {0.25, 0.5, 1.0, 2.0};
    const double origins[] = {0.0, -0.75, 0.5};
    for (int trial = 0; trial < 20000; ++trial) {
        const std::vector<double> ends = List();
        const auto [lo, hi] = Interval(ends);
        const double pitch = pitches[rng() % 4];
        const double origin = origins[rng() % 3];
        Ray ray(ends);
        const CutResult r = Cut(ray, lo, hi, pitch, origin, 0.75);
        ASSERT_EQ(r.rc, kDexelIntervalDone);
        ExpectWellFormed(ray.ends.data(), ray.count, "cut");
        ExpectAttributesTravel(Ray(ends), ray, lo, hi, 0x31, -7, 0x51, -9);

        const Segments before = Pairs(ends.data(), ends.size());
        const Segments after = Pairs(ray.ends.data(), ray.count);
        const Segments removed = Pairs(r.removed.data(), r.removed.size());
        ExpectLengthConserved(before, after, removed);
        // Quarter values: these sums are exact.
        ASSERT_EQ(Length(before) - Length(after), Length(removed)) << "trial " << trial;
        EXPECT_NEAR(r.volume, 0.75 * Length(removed), 1e-12);

        // Whatever is removed beyond [lo, hi] is a sliver of a narrow cut, with no node in it.
        ASSERT_EQ(Regularise(SetDifference(after, lo, hi)), Regularise(after));
        bool sliver = false;
        for (const auto& [x, y] : removed) {
            const bool below = x<lo, above = y> hi;
            if (!below && !above) {
                continue;
            }
            sliver = true;
            EXPECT_LT(hi - lo, pitch) << "trial " << trial;
            EXPECT_EQ(std::floor((lo - origin) / pitch) + 1, std::ceil((hi - origin) / pitch))
                << "a node lies inside the narrow cut, trial " << trial;
            const double from = below ? x : hi, to = below ? lo : y;
            for (double t = std::ceil((from - origin) / pitch); origin + t * pitch <= to; ++t) {
                const double node = origin + t * pitch;
                const bool onCut = below ? node == lo : node == hi;
                EXPECT_TRUE(onCut) << "node " << node << " in sliver [" << from << ", " << to
                                   << "], trial " << trial;
            }
        }
        // Without a sliver the cut is exactly the plain subtraction.
        Ray plain(ends);
        SubtractPlainInterval(plain.ends.data(), &plain.count, plain.Capacity(), lo, hi);
        if (!sliver) {
            EXPECT_EQ(ray.Values(), plain.Values()) << "trial " << trial;
        }
    }
}

}  // namespace
}  // namespace mirexa
