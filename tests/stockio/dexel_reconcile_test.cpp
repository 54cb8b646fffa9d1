// Normalisation, clipping and reconciliation of converted rays: worked lists, the rebuild rules,
// a reference selection sort on random lists, and box stocks with corrupted rays that the
// reconciliation must restore.
#include "stockio/dexel_reconcile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

DexelRayList MakeList(const std::vector<double>& ends, const std::vector<std::uint8_t>& flags = {},
                      const std::vector<std::int32_t>& stamps = {}) {
    DexelRayList ray;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        AppendDexelRayEnd(&ray, ends[i], i < flags.size() ? flags[i] : 0,
                          i < stamps.size() ? stamps[i] : 0);
    }
    return ray;
}

std::vector<double> Ends(const DexelRayList& ray) {
    return std::vector<double>(ray.ends.begin(), ray.ends.begin() + ray.count);
}

std::vector<std::uint8_t> Flags(const DexelRayList& ray) {
    return std::vector<std::uint8_t>(ray.flags.begin(), ray.flags.begin() + ray.count);
}

std::vector<std::int32_t> Stamps(const DexelRayList& ray) {
    return std::vector<std::int32_t>(ray.stamps.begin(), ray.stamps.begin() + ray.count);
}

TEST(NormalizeDexelRay, SortsMergesAndRepairsCounts) {
    DexelRayList pair = MakeList({5, 3}, {1, 0});
    NormalizeDexelRay(&pair, false, 0, 0);
    EXPECT_EQ(Ends(pair), (std::vector<double>{3, 5}));
    EXPECT_EQ(Flags(pair), (std::vector<std::uint8_t>{0, 1}));

    DexelRayList merged = MakeList({7, 2, 9, 7, 2, 7}, {1, 2, 4, 8, 1, 2});
    NormalizeDexelRay(&merged, false, 0, 0);
    // 2, 7, 9 after merging (tags ORed), then three ends become the first and the last.
    EXPECT_EQ(Ends(merged), (std::vector<double>{2, 9}));
    EXPECT_EQ(Flags(merged), (std::vector<std::uint8_t>{3, 4}));

    DexelRayList single = MakeList({4}, {6}, {9});
    NormalizeDexelRay(&single, false, 0, 0);
    EXPECT_EQ(Ends(single), (std::vector<double>{4, 4}));
    EXPECT_EQ(Flags(single), (std::vector<std::uint8_t>{6, 6}));
    EXPECT_EQ(Stamps(single), (std::vector<std::int32_t>{9, 9}));

    DexelRayList five = MakeList({5, 1, 4, 2, 3});
    NormalizeDexelRay(&five, false, 0, 0);
    EXPECT_EQ(Ends(five), (std::vector<double>{1, 2, 3, 4, 5}));

    DexelRayList equalPair = MakeList({4, 4}, {1, 2});
    NormalizeDexelRay(&equalPair, false, 0, 0);
    EXPECT_EQ(Flags(equalPair), (std::vector<std::uint8_t>{1, 2}));

    DexelRayList clipped = MakeList({-3, 20});
    NormalizeDexelRay(&clipped, true, 0, 10);
    EXPECT_EQ(Ends(clipped), (std::vector<double>{0, 10}));
}

// The sort as first specified: selection of the first strictly smaller value after each place.
void SelectionSortWithTags(int n, double* v, std::uint8_t* t) {
    for (int i = 0; i + 1 < n; ++i) {
        int best = -1;
        for (int j = i + 1; j < n; ++j) {
            if (v[j] < (best < 0 ? v[i] : v[best])) {
                best = j;
            }
        }
        if (best >= 0) {
            std::swap(v[i], v[best]);
            std::swap(t[i], t[best]);
        }
    }
}

TEST(NormalizeDexelRay, AgreesWithTheSelectionSortAfterMerging) {
    const unsigned seed = 7031;
    std::printf("seed %u\n", seed);
    std::mt19937 random(seed);
    for (int trial = 0; trial < 2000; ++trial) {
        const int n = 3 + static_cast<int>(random() % 60);
        std::vector<double> values(static_cast<std::size_t>(n));
        std::vector<std::uint8_t> tags(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            values[i] = static_cast<double>(random() % 12);
            tags[i] = static_cast<std::uint8_t>(1u << (random() % 4));
        }
        DexelRayList ours = MakeList(values, tags);
        NormalizeDexelRay(&ours, false, 0, 0);
        std::vector<double> v = values;
        std::vector<std::uint8_t> t = tags;
        SelectionSortWithTags(n, v.data(), t.data());
        std::vector<double> keptValues = {v[0]};
        std::vector<std::uint8_t> keptTags = {t[0]};
        for (int i = 1; i < n; ++i) {
            if (v[i] == keptValues.back()) {
                keptTags.back() |= t[i];
            } else {
                keptValues.push_back(v[i]);
                keptTags.push_back(t[i]);
            }
        }
        if (keptValues.size() == 1) {
            keptValues.push_back(keptValues[0]);
            keptTags.push_back(keptTags[0]);
        } else if (keptValues.size() == 3) {
            keptValues = {keptValues[0], keptValues[2]};
            keptTags = {keptTags[0], keptTags[2]};
        }
        ASSERT_EQ(Ends(ours), keptValues) << "trial " << trial;
        ASSERT_EQ(Flags(ours), keptTags) << "trial " << trial;
    }
}

TEST(ClipDexelCellToRange, KeepsPairsIntactAtEveryCut) {
    struct Case {
        std::vector<double> ends;
        double lo, hi;
        std::vector<double> expected;
    };
    const Case cases[] = {
        {{1, 3, 6, 9}, 2, 8, {2, 3, 6, 8}},
        {{1, 3, 6, 9}, 10, 20, {}},
        {{1, 3, 6, 9}, 4, 20, {6, 9}},  // lo in a gap: the void stays void
        {{1, 3, 6, 9}, 0, 5, {1, 3}},   // hi in a gap
        {{1, 3, 6, 9}, 3, 20, {6, 9}},  // an exit exactly at lo only touches the range
        {{1, 3, 6, 9}, 1, 9, {1, 3, 6, 9}},
        {{4, 4}, 0, 10, {4, 4}},                 // a zero-length pair inside stays
        {{1, 3, 5, 7, 9}, 4, 20, {4, 5, 7, 9}},  // odd lists keep the first procedure
        {{1, 3, 5, 7, 9}, 0, 6, {1, 3, 5, 6}},
        {{1, 3}, 5, 4, {}},  // an empty range
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> flags(c.ends.size(), 7);
        std::vector<std::int32_t> stamps(c.ends.size(), 70);
        std::vector<double> ends = c.ends;
        int count = static_cast<int>(ends.size());
        ClipDexelCellToRange(&count, ends.data(), flags.data(), stamps.data(), c.lo, c.hi);
        ends.resize(static_cast<std::size_t>(count));
        EXPECT_EQ(ends, c.expected) << c.lo << " " << c.hi;
    }
    // Ends moved to the range get flag 0 and stamp 0; the others keep theirs.
    std::vector<double> ends = {1, 3, 6, 9};
    std::vector<std::uint8_t> flags = {1, 2, 3, 4};
    std::vector<std::int32_t> stamps = {10, 20, 30, 40};
    int count = 4;
    ClipDexelCellToRange(&count, ends.data(), flags.data(), stamps.data(), 2, 8);
    EXPECT_EQ(flags, (std::vector<std::uint8_t>{0, 2, 3, 0}));
    EXPECT_EQ(stamps, (std::vector<std::int32_t>{0, 20, 30, 0}));
}

TEST(RebuildDexelRayFromGaps, FollowsTheGapRules) {
    struct Case {
        std::vector<double> ends;
        std::vector<std::uint8_t> flags;
        std::vector<std::uint8_t> codes;
        std::vector<double> expected;
    };
    const std::uint8_t M = kGapMaterial, V = kGapVoid, U = kGapUndecided, N = kGapNoNode;
    const Case cases[] = {
        {{0, 1, 2, 3}, {0, 0, 0, 0}, {M, M, M}, {0, 3}},
        {{0, 1, 2, 3}, {0, 0, 0, 0}, {M, V, M}, {0, 1, 2, 3}},
        {{0, 1, 2, 3, 4}, {0, 0, 0, 0, 0}, {M, V, M, V}, {0, 1, 2, 3}},
        // A tagged end after an undecided gap is dropped; then a void gap with only the first
        // end out closes the material before it.
        {{0, 1, 2, 3}, {0, 5, 0, 0}, {U, V, M}, {0, 1, 2, 3}},
        // Void gaps from the start move the entry forward.
        {{0, 1, 2, 3}, {0, 0, 0, 0}, {V, V, M}, {2, 3}},
        // An untagged end after an undecided gap is kept; an undecided last gap closes.
        {{0, 1, 2, 3}, {0, 0, 0, 0}, {N, U, N}, {0, 1, 2, 3}},
        {{0, 1, 2}, {0, 3, 0}, {U, U}, {0, 2}},
    };
    for (const Case& c : cases) {
        DexelRayList ray = MakeList(c.ends, c.flags);
        DexelRayList out;
        RebuildDexelRayFromGaps(ray, c.codes.data(), &out);
        EXPECT_EQ(Ends(out), c.expected)
            << c.ends.size() << " ends, codes " << int(c.codes[0]) << " " << int(c.codes[1]);
    }
}

// A 9 x 9 x 9 box stock at pitch 1 (coordinates 0..8) whose families agree.
StockModel Box() {
    StockModel model;
    SetStockUndoRingSize(&model, 1);
    const double box[6] = {0, 0, 0, 8, 8, 8};
    EXPECT_EQ(CreateBoxStockIdentity(&model, box, 1.0), 1);
    return model;
}

TEST(DecideDexelRayGaps, ProbesTheCrossingRays) {
    StockModel model = Box();
    DexelReconcileState state;
    ASSERT_EQ(TakeDexelCountSnapshots(model, &state), 1);
    // An X ray at (y 2, z 2): gap (1.2, 1.5) holds no node; (1.5, 4.5) holds nodes 2..4, where
    // the Z probes contain z = 2; (4.5, 20) reaches beyond the grid (nodes clamped).
    const std::int64_t cell = 2 * model.ny + 2;
    DexelRayList ray = MakeList({0.5, 1.2, 1.5, 4.5, 20});
    std::uint8_t codes[4] = {};
    DecideDexelRayGaps(model, state, 0, cell, ray, codes);
    EXPECT_EQ(codes[0], kGapMaterial);
    EXPECT_EQ(codes[1], kGapNoNode);
    EXPECT_EQ(codes[2], kGapMaterial);
    EXPECT_EQ(codes[3], kGapMaterial);
    // Empty the Z and Y rays through x = 3, y = 2 / z = 2: the gap around node 3 becomes void.
    const std::uint8_t noFlags[2] = {};
    const std::int32_t noStamps[2] = {};
    SetDexelCellByAxis(&model, 2, 3, 2, nullptr, noFlags, noStamps, 0);
    SetDexelCellByAxis(&model, 1, 2, 3, nullptr, noFlags, noStamps, 0);
    DexelRayList narrow = MakeList({0, 2.5, 3.5, 8});
    DecideDexelRayGaps(model, state, 0, cell, narrow, codes);
    EXPECT_EQ(codes[1], kGapVoid);
    // Ends far outside the grid index nothing outside the families.
    DexelRayList wild = MakeList({-1e300, -50, 1e9, 1e300});
    DecideDexelRayGaps(model, state, 0, cell, wild, codes);
    EXPECT_EQ(codes[0], kGapNoNode);
    EXPECT_EQ(codes[2], kGapNoNode);
    FreeStockModel(&model);
}

TEST(ReconcileDexelFamilies, RestoresCorruptedRaysFromTheOtherFamilies) {
    StockModel model = Box();
    const std::vector<DexelRay> original = {ReadDexelRay(model.x, 3 * 9 + 4),
                                            ReadDexelRay(model.y, 5 * 9 + 2)};
    DexelReconcileState state;
    // An extra pair of ends (a false void) in an X ray, an odd Y ray, an odd Z ray with a
    // missing exit.
    StoreImportRay(&model, &state, 0, 3 * 9 + 4, MakeList({0, 2.5, 3.5, 8}));
    StoreImportRay(&model, &state, 1, 5 * 9 + 2, MakeList({0, 4.5, 6.5, 7.5, 8}));
    StoreImportRay(&model, &state, 2, 6 * 9 + 6, MakeList({0, 3.5, 5.5}));
    EXPECT_EQ(model.y.counts[5 * 9 + 2], 0);  // odd rays wait outside the model
    EXPECT_EQ(GetImportRayCount(model, state, 1, 5 * 9 + 2), 5);
    EXPECT_TRUE(StockInvariantsHold(model));
    ASSERT_EQ(ReconcileDexelFamilies(&model, &state), 1);
    EXPECT_EQ(ReadDexelRay(model.x, 3 * 9 + 4), original[0]);
    EXPECT_EQ(ReadDexelRay(model.y, 5 * 9 + 2), original[1]);
    // The rebuild spans the ray's own ends only: the missing exit is not invented.
    EXPECT_EQ(ReadDexelRay(model.z, 6 * 9 + 6).ends, (std::vector<double>{0, 5.5}));
    EXPECT_TRUE(StockInvariantsHold(model));
    EXPECT_TRUE(state.oddRays[2].empty());
    FreeStockModel(&model);
}

TEST(ReconcileDexelFamilies, LeavesEveryRayEvenAfterRandomDamage) {
    const unsigned seed = 99173;
    std::printf("seed %u\n", seed);
    std::mt19937 random(seed);
    for (int trial = 0; trial < 20; ++trial) {
        StockModel model = Box();
        DexelReconcileState state;
        for (int k = 0; k < 25; ++k) {
            const int d = static_cast<int>(random() % 3);
            const std::int64_t cell = static_cast<std::int64_t>(random() % 81);
            DexelRayList ray;
            ReadImportRay(model, state, d, cell, &ray);
            // Add one or two ends at quarter positions, possibly outside the grid.
            const int extra = 1 + static_cast<int>(random() % 2);
            for (int e = 0; e < extra; ++e) {
                AppendDexelRayEnd(&ray, -2.0 + 0.25 * static_cast<double>(random() % 48), 0, 0);
            }
            NormalizeDexelRay(&ray, false, 0, 0);
            StoreImportRay(&model, &state, d, cell, ray);
        }
        NormalizeStlDexelCells(&model, &state);
        ASSERT_EQ(ReconcileDexelFamilies(&model, &state), 1);
        ASSERT_TRUE(StockInvariantsHold(model)) << "trial " << trial;
        FreeStockModel(&model);
    }
}

TEST(NormalizeStlDexelCells, ClipsEveryFamilyToItsOwnAxis) {
    StockModel model;
    ASSERT_EQ(BuildEmptyStock(&model, 4, 5, 6, 1.0, 1), 1);
    DexelReconcileState state;
    StoreImportRay(&model, &state, 0, 0, MakeList({-1, 9}));
    StoreImportRay(&model, &state, 1, 0, MakeList({-1, 9}));
    StoreImportRay(&model, &state, 2, 0, MakeList({-1, 9}));
    StoreImportRay(&model, &state, 2, 1, MakeList({2, 1, 1}));
    NormalizeStlDexelCells(&model, &state);
    EXPECT_EQ(ReadDexelRay(model.x, 0).ends, (std::vector<double>{0, 3}));
    EXPECT_EQ(ReadDexelRay(model.y, 0).ends, (std::vector<double>{0, 4}));
    EXPECT_EQ(ReadDexelRay(model.z, 0).ends, (std::vector<double>{0, 5}));
    EXPECT_EQ(ReadDexelRay(model.z, 1).ends, (std::vector<double>{1, 2}));
    EXPECT_TRUE(state.oddRays[2].empty());
    FreeStockModel(&model);
}

}  // namespace
}  // namespace mirexa
