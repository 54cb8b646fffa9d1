// Clipping a stock to a box: worked cases on a box stock, and random rays and boxes against an
// independent per-segment oracle.
#include "stock/stock_clip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "analytic_stock.h"
#include "stock/stock_grid.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

using Ends = std::vector<double>;

class ClipTest : public ::testing::Test {
protected:
    void SetUp() override {
        const int nodes[3] = {11, 11, 11};
        const double origin[3] = {0, 0, 0};
        ASSERT_EQ(
            BuildAnalyticStock(&model, nodes, 1.0, origin, BoxSolid(0, 0, 0, 10, 10, 10), true), 1);
    }
    void TearDown() override {
        FreeStockModel(&model);
    }
    StockModel model;
};

TEST_F(ClipTest, BoxOfTheExtentChangesNothing) {
    double lo[3], hi[3];
    GetStockExtent(model, lo, hi);
    std::vector<DexelRay> before;
    for (const DexelFamily* f : {&model.z, &model.x, &model.y}) {
        for (std::int64_t c = 0; c < f->cellCount; ++c) {
            before.push_back(ReadDexelRay(*f, c));
        }
    }
    ClipStockToBox(&model, lo, hi);
    std::size_t i = 0;
    for (const DexelFamily* f : {&model.z, &model.x, &model.y}) {
        for (std::int64_t c = 0; c < f->cellCount; ++c) {
            EXPECT_EQ(ReadDexelRay(*f, c), before[i++]);
        }
    }
}

TEST_F(ClipTest, ZSlabKeepsItsFaceLayersAndUnpaintsNewEnds) {
    const double lo[3] = {-1, -1, 2}, hi[3] = {11, 11, 5};
    ClipStockToBox(&model, lo, hi);
    EXPECT_TRUE(StockInvariantsHold(model, true));
    const DexelRay z = FamilyRay(model, 2, 4, 4);
    EXPECT_EQ(z.ends, (Ends{2, 5}));
    EXPECT_EQ(z.flags, (std::vector<std::uint8_t>{0, 0}));
    EXPECT_EQ(z.stamps, (std::vector<std::int32_t>{0, 0}));
    for (int iz = 0; iz <= 10; ++iz) {
        const bool kept = iz >= 2 && iz <= 5;
        const DexelRay x = FamilyRay(model, 0, 3, iz);
        EXPECT_EQ(x.ends, kept ? (Ends{0, 10}) : Ends{}) << iz;
        if (kept) {
            EXPECT_EQ(x.flags, (std::vector<std::uint8_t>{0x21, 0x21}));  // not rewritten
        }
        EXPECT_EQ(FamilyRay(model, 1, iz, 3).ends, kept ? (Ends{0, 10}) : Ends{}) << iz;
    }
}

TEST_F(ClipTest, StraddlingSegmentKeepsItsOldEndsMark) {
    const double lo[3] = {0, 0, 4}, hi[3] = {10, 10, 10};
    ClipStockToBox(&model, lo, hi);
    const DexelRay z = FamilyRay(model, 2, 0, 10);  // on two box faces: kept
    EXPECT_EQ(z.ends, (Ends{4, 10}));
    EXPECT_EQ(z.flags, (std::vector<std::uint8_t>{0, 0x21}));
    EXPECT_EQ(z.stamps, (std::vector<std::int32_t>{0, 7}));
}

TEST_F(ClipTest, InvertedBoxEmptiesTheStock) {
    const double lo[3] = {0, 0, 6}, hi[3] = {10, 10, 4};
    ClipStockToBox(&model, lo, hi);
    for (const DexelFamily* f : {&model.z, &model.x, &model.y}) {
        for (std::int64_t c = 0; c < f->cellCount; ++c) {
            EXPECT_EQ(f->counts[c], 0);
        }
    }
    EXPECT_TRUE(StockInvariantsHold(model));
}

TEST(ClipLongRay, RaysBeyondTenThousandEndsAreTrimmedWhole) {
    StockModel model;
    ASSERT_EQ(BuildEmptyStock(&model, 3, 3, 4, 1.0, 1), 1);
    // 7,000 segments of 0.1 mm every 0.4 mm on one Z ray: 14,000 ends from z = 0 to 2800.
    std::vector<double> comb;
    for (int i = 0; i < 7000; ++i) {
        comb.push_back(i * 0.4);
        comb.push_back(i * 0.4 + 0.1);
    }
    const std::vector<std::uint8_t> flags(comb.size(), 0x11);
    const std::vector<std::int32_t> stamps(comb.size(), 3);
    SetDexelCell(4, model.z.capacity, model.z.counts, model.z.ends, model.z.flags,
                 model.z.lineStamps, comb.data(), flags.data(), stamps.data(),
                 static_cast<int>(comb.size()));
    const double lo[3] = {0, 0, 0.05}, hi[3] = {2, 2, 2799.5};
    ASSERT_EQ(ClipStockToBox(&model, lo, hi), 1);
    const DexelRay ray = FamilyRay(model, 2, 1, 1);
    ASSERT_EQ(ray.ends.size(), comb.size() - 2);  // the last segment lies above 2799.5
    EXPECT_EQ(ray.ends.front(), 0.05);
    EXPECT_EQ(ray.flags.front(), 0);
    EXPECT_EQ(ray.ends[1], 0.1);
    EXPECT_EQ(ray.flags[1], 0x11);
    EXPECT_EQ(ray.ends.back(), comb[comb.size() - 3]);
    EXPECT_TRUE(StockInvariantsHold(model));
    FreeStockModel(&model);
}

// What a clip must leave of one ray: nothing when its node lies outside the cross-section,
// else every segment cut to the box (a piece of zero length only where the segment was a point
// already), a moved end unmarked.
DexelRay ClippedRay(const DexelRay& ray, bool nodeInside, double lo, double hi) {
    DexelRay out;
    if (!nodeInside) {
        return out;
    }
    for (std::size_t i = 0; i + 1 < ray.ends.size(); i += 2) {
        const double a = std::max(ray.ends[i], lo), b = std::min(ray.ends[i + 1], hi);
        const bool point = ray.ends[i] == ray.ends[i + 1];
        if (a < b || (point && a == b)) {
            out.ends.push_back(a);
            out.ends.push_back(b);
            out.flags.push_back(a == ray.ends[i] ? ray.flags[i] : 0);
            out.flags.push_back(b == ray.ends[i + 1] ? ray.flags[i + 1] : 0);
            out.stamps.push_back(a == ray.ends[i] ? ray.stamps[i] : 0);
            out.stamps.push_back(b == ray.ends[i + 1] ? ray.stamps[i + 1] : 0);
        }
    }
    return out;
}

TEST(ClipRandom, EveryRayIsItsOriginalCutToTheBox) {
    const unsigned seed = 917;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    StockModel model;
    for (int round = 0; round < 40; ++round) {
        ASSERT_EQ(BuildEmptyStock(&model, 7, 6, 5, 0.5, 2), 1);
        // Random rays of up to 30 ends on a quarter-millimetre lattice (so that ends, nodes and
        // box faces coincide often), some of them past the grid and some of zero length.
        for (DexelFamily* f : {&model.z, &model.x, &model.y}) {
            for (std::int64_t c = 0; c < f->cellCount; ++c) {
                std::vector<double> ends;
                const int n = 2 * static_cast<int>(rng() % 16);
                for (int i = 0; i < n; ++i) {
                    ends.push_back(static_cast<int>(rng() % 17) * 0.25 - 0.5);
                }
                std::sort(ends.begin(), ends.end());
                std::vector<std::uint8_t> flags(ends.size());
                std::vector<std::int32_t> stamps(ends.size());
                for (std::size_t i = 0; i < ends.size(); ++i) {
                    flags[i] = static_cast<std::uint8_t>(1 + rng() % 255);
                    stamps[i] = static_cast<std::int32_t>(1 + rng() % 1000);
                }
                SetDexelCell(c, f->capacity, f->counts, f->ends, f->flags, f->lineStamps,
                             ends.data(), flags.data(), stamps.data(), n);
            }
        }
        double lo[3], hi[3];
        for (int a = 0; a < 3; ++a) {
            lo[a] = static_cast<int>(rng() % 13) * 0.25 - 0.5;
            hi[a] = static_cast<int>(rng() % 13) * 0.25 + (round % 8 == 0 ? -1.0 : 0.5);
        }
        std::vector<DexelRay> before[3];
        const DexelFamily* families[3] = {&model.x, &model.y, &model.z};
        for (int a = 0; a < 3; ++a) {
            for (std::int64_t c = 0; c < families[a]->cellCount; ++c) {
                before[a].push_back(ReadDexelRay(*families[a], c));
            }
        }
        ClipStockToBox(&model, lo, hi);
        ASSERT_TRUE(StockInvariantsHold(model)) << "round " << round;
        const int counts[3] = {model.nx, model.ny, model.nz};
        for (int a = 0; a < 3; ++a) {
            const int u = (a + 1) % 3, v = (a + 2) % 3;
            for (int j = 0; j < counts[v]; ++j) {
                for (int i = 0; i < counts[u]; ++i) {
                    const double cu = i * 0.5, cv = j * 0.5;
                    const bool inside = cu >= lo[u] && cu <= hi[u] && cv >= lo[v] && cv <= hi[v];
                    const std::int64_t c = static_cast<std::int64_t>(j) * counts[u] + i;
                    const DexelRay got = ReadDexelRay(*families[a], c);
                    EXPECT_EQ(got, ClippedRay(before[a][c], inside, lo[a], hi[a]))
                        << "round " << round << " axis " << a << " cell " << c;
                }
            }
        }
        // A second clip with the same box changes nothing.
        std::vector<DexelRay> once;
        for (int a = 0; a < 3; ++a) {
            for (std::int64_t c = 0; c < families[a]->cellCount; ++c) {
                once.push_back(ReadDexelRay(*families[a], c));
            }
        }
        ClipStockToBox(&model, lo, hi);
        std::size_t k = 0;
        for (int a = 0; a < 3; ++a) {
            for (std::int64_t c = 0; c < families[a]->cellCount; ++c) {
                ASSERT_EQ(ReadDexelRay(*families[a], c), once[k++]) << "round " << round;
            }
        }
    }
    FreeStockModel(&model);
}

}  // namespace
}  // namespace mirexa
