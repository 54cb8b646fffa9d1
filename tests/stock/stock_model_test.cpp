// Dexel cells against a reference copy (inline and spilled storage), the flag passes, the mark
// arrays of difference painting and the material extent.
#include "stock/stock_model.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "support/bounded_wait.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

// A ray of n ascending ends whose flags and stamps are derived from a tag, so that a mix-up of
// ends, flags or stamps between rays or positions shows.
DexelRay MakeRay(int n, int tag) {
    DexelRay ray;
    for (int i = 0; i < n; ++i) {
        ray.ends.push_back(tag * 0.5 + i * 0.25);
        ray.flags.push_back(static_cast<std::uint8_t>(tag * 7 + i));
        ray.stamps.push_back((i % 3 == 0 ? -1 : 1) * (tag * 1000 + i));
    }
    return ray;
}

void Store(DexelFamily& family, std::int64_t cell, const DexelRay& ray) {
    SetDexelCell(cell, family.capacity, family.counts, family.ends, family.flags, family.lineStamps,
                 ray.ends.data(), ray.flags.data(), ray.stamps.data(),
                 static_cast<int>(ray.ends.size()));
}

// Reads the cell back through every reader and checks each against the expected ray.
void ExpectCell(const DexelFamily& family, std::int64_t cell, const DexelRay& expected) {
    const int cap = family.capacity;
    const int n = static_cast<int>(expected.ends.size());
    std::vector<double> ends(n + 1, -7.0);
    std::vector<std::uint8_t> flags(n + 1, 0xAB);
    std::vector<std::int32_t> stamps(n + 1, -77);
    int count = -1;
    GetDexelCell(cell, cap, family.counts, family.ends, family.flags, family.lineStamps,
                 ends.data(), flags.data(), stamps.data(), &count);
    ASSERT_EQ(count, n) << "cell " << cell;
    EXPECT_EQ(std::vector<double>(ends.begin(), ends.begin() + n), expected.ends);
    EXPECT_EQ(std::vector<std::uint8_t>(flags.begin(), flags.begin() + n), expected.flags);
    EXPECT_EQ(std::vector<std::int32_t>(stamps.begin(), stamps.begin() + n), expected.stamps);
    EXPECT_EQ(ends[n], -7.0) << "reader wrote past the count";
    EXPECT_EQ(flags[n], 0xAB);
    EXPECT_EQ(stamps[n], -77);

    std::vector<double> e2(n + 1);
    std::vector<std::uint8_t> f2(n + 1);
    std::vector<std::int32_t> s2(n + 1);
    GetDexelCellValues(cell, cap, family.counts, family.ends, e2.data(), &count);
    EXPECT_EQ(count, n);
    GetDexelCellValuesStamps(cell, cap, family.counts, family.ends, family.lineStamps, e2.data(),
                             s2.data(), &count);
    EXPECT_EQ(std::vector<std::int32_t>(s2.begin(), s2.begin() + n), expected.stamps);
    GetDexelCellValuesFlags(cell, cap, family.counts, family.ends, family.flags, e2.data(),
                            f2.data(), &count);
    EXPECT_EQ(std::vector<std::uint8_t>(f2.begin(), f2.begin() + n), expected.flags);
    EXPECT_EQ(std::vector<double>(e2.begin(), e2.begin() + n), expected.ends);
    std::fill(f2.begin(), f2.end(), 0);
    GetDexelCellFlags(cell, cap, family.counts, family.flags, f2.data());
    EXPECT_EQ(std::vector<std::uint8_t>(f2.begin(), f2.begin() + n), expected.flags);
}

class DexelCellTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(BuildEmptyStock(&model, 4, 3, 2, 1.0, 2), 1);
    }
    void TearDown() override {
        EXPECT_TRUE(StockInvariantsHold(model));
        FreeStockModel(&model);
    }
    StockModel model;
};

TEST_F(DexelCellTest, RoundTripsEveryStorageSize) {
    DexelFamily& z = model.z;
    for (int n : {0, 2, 8, 10, 12, 100, 10000, 10002, 40000}) {
        for (std::int64_t cell : {std::int64_t{0}, z.cellCount - 1}) {
            const DexelRay ray = MakeRay(n, n + static_cast<int>(cell));
            Store(z, cell, ray);
            ExpectCell(z, cell, ray);
            ASSERT_TRUE(StockInvariantsHold(model));
        }
    }
}

// Fine-pitch cutting splits one ray far beyond the 10,000 ends of the fixed work lists of old:
// rounds of load, 500 cuts and store through the cell layer take a Z ray from one segment to
// 24,002 ends, and every reader sized by the ray's count reads it back whole.
TEST_F(DexelCellTest, LongRaysGrowThroughWorkLists) {
    DexelFamily& z = model.z;
    const std::int64_t cell = 5;
    const double top = 24000.0;  // mm; quarter values keep every end exact
    Store(z, cell, DexelRay{{0.0, top}, {0x11, 0x12}, {1, 2}});
    const std::uint8_t cutFlags[2] = {0x31, 0x51};
    const std::int32_t cutStamps[2] = {-7, -9};
    DexelWorkList ray, removed;
    double volume = 0;
    // The oracle: cut i removes [c - 0.25, c + 0.25] around c = 1 + 2i from the last segment.
    DexelRay expected{{0.0}, {0x11}, {1}};
    int cuts = 0;
    for (int round = 0; round < 24; ++round) {
        ASSERT_EQ(LoadDexelWorkList(z, cell, &ray), 1);
        ASSERT_EQ(ray.count, 2 + 2 * cuts);
        for (int k = 0; k < 500; ++k, ++cuts) {
            const double c = 1.0 + 2.0 * cuts;
            const double cut[2] = {c - 0.25, c + 0.25};
            ASSERT_EQ(CutDexelInterval(&ray, 0.125, 0.0, 0.25, &volume, &removed, cut, cutFlags,
                                       cutStamps),
                      kDexelIntervalDone)
                << "cut " << cuts;
            ASSERT_EQ(removed.count, 2);
            ASSERT_EQ(removed.ends[0], cut[0]);
            ASSERT_EQ(removed.ends[1], cut[1]);
            expected.ends.insert(expected.ends.end(), {cut[0], cut[1]});
            expected.flags.insert(expected.flags.end(), {0x31, 0x51});
            expected.stamps.insert(expected.stamps.end(), {-7, -9});
        }
        StoreDexelWorkList(&z, cell, ray);
        ASSERT_TRUE(StockInvariantsHold(model)) << "round " << round;
    }
    expected.ends.push_back(top);
    expected.flags.push_back(0x12);
    expected.stamps.push_back(2);
    ASSERT_EQ(z.counts[cell], 24002);
    ExpectCell(z, cell, expected);
    EXPECT_EQ(ReadDexelRay(z, cell), expected);
    EXPECT_EQ(volume, 12000 * 0.5 * 0.25);
    // Undo copies and the reader of a copied slot see the whole ray too.
    PushStockUndo(&model);
    ExpectCell(model.z, cell, expected);
    ASSERT_EQ(LoadDexelWorkList(model.undo.slots[0].z, cell, &ray), 1);
    EXPECT_EQ(std::vector<double>(ray.ends, ray.ends + ray.count), expected.ends);
    FreeDexelWorkList(&ray);
    FreeDexelWorkList(&removed);
    FreeDexelWorkList(&removed);  // twice is harmless
}

TEST_F(DexelCellTest, GrowsReusesShrinksAndReleasesBlocks) {
    DexelFamily& x = model.x;
    const std::int64_t cell = 3;
    const double* inlineSlot = x.ends + cell * x.capacity;
    Store(x, cell, MakeRay(8, 1));
    EXPECT_EQ(DexelCellEnds(cell, x.capacity, x.counts, x.ends), inlineSlot);
    Store(x, cell, MakeRay(10, 2));
    const double* block = DexelCellEnds(cell, x.capacity, x.counts, x.ends);
    EXPECT_NE(block, inlineSlot);
    Store(x, cell, MakeRay(10, 3));  // same count: the blocks are reused
    EXPECT_EQ(DexelCellEnds(cell, x.capacity, x.counts, x.ends), block);
    ExpectCell(x, cell, MakeRay(10, 3));
    Store(x, cell, MakeRay(12, 4));
    ExpectCell(x, cell, MakeRay(12, 4));
    Store(x, cell, MakeRay(6, 5));
    EXPECT_EQ(DexelCellEnds(cell, x.capacity, x.counts, x.ends), inlineSlot);
    ExpectCell(x, cell, MakeRay(6, 5));
    // Zero into a spilled cell, and a negative count, release the blocks (LSan checks).
    Store(x, cell, MakeRay(14, 6));
    Store(x, cell, DexelRay{});
    ExpectCell(x, cell, DexelRay{});
    Store(x, cell, MakeRay(16, 7));
    SetDexelCell(cell, x.capacity, x.counts, x.ends, x.flags, x.lineStamps, nullptr, nullptr,
                 nullptr, -4);
    EXPECT_EQ(x.counts[cell], 0);
}

// A cell that cannot grow for want of memory stays as it was and raises the shortage, in an
// inline slot and in heap blocks alike; the program goes on.
TEST_F(DexelCellTest, ACellThatCannotGrowStaysAsItWas) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "an address-space limit cannot be set under a sanitizer";
#endif
    const pid_t child = fork();
    if (child == 0) {
        // A limit just above what the process holds: no block of a quarter gigabyte fits.
        unsigned long long held = 0;
        if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, status) != nullptr &&
                   std::sscanf(line, "VmSize: %llu kB", &held) != 1) {
            }
            std::fclose(status);
        }
        const rlimit limit = {(held + 65536) * 1024, (held + 65536) * 1024};
        if (held == 0 || setrlimit(RLIMIT_AS, &limit) != 0) {
            _exit(3);
        }
        DexelFamily& x = model.x;
        const DexelRay small = MakeRay(6, 1), spilled = MakeRay(12, 2);
        const int huge = 1 << 25;  // 256 MB of ends
        int ok = 1;
        for (const DexelRay* before : {&small, &spilled}) {
            Store(x, 3, *before);
            DexelMemoryShortage.store(0);
            SetDexelCell(3, x.capacity, x.counts, x.ends, x.flags, x.lineStamps,
                         before->ends.data(), before->flags.data(), before->stamps.data(), huge);
            ok &= DexelMemoryShortage.load() == 1 &&
                  x.counts[3] == static_cast<int>(before->ends.size()) &&
                  std::equal(before->ends.begin(), before->ends.end(),
                             DexelCellEnds(3, x.capacity, x.counts, x.ends));
        }
        _exit(ok == 1 ? 0 : 4);
    }
    int status = 0;
    ASSERT_TRUE(testing::AwaitChildExit(child, &status, "the child's end"));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Sources inside the cell's own storage, as the in-place cut of an inline ray passes them.
TEST_F(DexelCellTest, SourceMayOverlapTheCellsOwnStorage) {
    DexelFamily& y = model.y;
    const std::int64_t cell = 2;
    const int cap = y.capacity;
    auto storeFromCell = [&](int from, int n) {
        const double* e = DexelCellEnds(cell, cap, y.counts, y.ends);
        const std::uint8_t* f = DexelCellFlags(cell, cap, y.counts, y.flags);
        const std::int32_t* s = DexelCellStamps(cell, cap, y.counts, y.lineStamps);
        SetDexelCell(cell, cap, y.counts, y.ends, y.flags, y.lineStamps, e + from, f + from,
                     s + from, n);
    };
    auto tail = [](const DexelRay& ray, int from, int n) {
        DexelRay t;
        t.ends.assign(ray.ends.begin() + from, ray.ends.begin() + from + n);
        t.flags.assign(ray.flags.begin() + from, ray.flags.begin() + from + n);
        t.stamps.assign(ray.stamps.begin() + from, ray.stamps.begin() + from + n);
        return t;
    };
    const DexelRay inlineRay = MakeRay(8, 3);
    Store(y, cell, inlineRay);
    storeFromCell(2, 6);  // inline -> inline, shifted down
    ExpectCell(y, cell, tail(inlineRay, 2, 6));

    const DexelRay wide = MakeRay(20, 4);
    Store(y, cell, wide);
    storeFromCell(2, 18);  // block -> new block, read from the old one
    ExpectCell(y, cell, tail(wide, 2, 18));
    storeFromCell(0, 18);  // same count onto itself
    ExpectCell(y, cell, tail(wide, 2, 18));
    storeFromCell(10, 6);  // block -> inline, read from the block being released
    ExpectCell(y, cell, tail(wide, 12, 6));
}

TEST_F(DexelCellTest, RandomTransitionsMatchAReferenceCopy) {
    const unsigned seed = 20261207;
    std::printf("random seed %u\n", seed);
    std::mt19937 rng(seed);
    const int sizes[] = {0, 2, 4, 8, 10, 12, 14, 16, 30, 100, 2, 0, 6};
    DexelFamily* families[3] = {&model.z, &model.x, &model.y};
    std::vector<std::vector<DexelRay>> reference(3);
    for (int f = 0; f < 3; ++f) {
        reference[f].resize(static_cast<std::size_t>(families[f]->cellCount));
    }
    for (int step = 0; step < 600; ++step) {
        const int f = static_cast<int>(rng() % 3);
        const std::int64_t cell = rng() % families[f]->cellCount;
        const int n = sizes[rng() % std::size(sizes)];
        const DexelRay ray = MakeRay(n, step);
        Store(*families[f], cell, ray);
        reference[f][cell] = ray;
        if (step % 50 == 0 || step == 599) {
            for (int g = 0; g < 3; ++g) {
                for (std::int64_t c = 0; c < families[g]->cellCount; ++c) {
                    ASSERT_EQ(ReadDexelRay(*families[g], c), reference[g][c])
                        << "step " << step << " family " << g << " cell " << c;
                }
            }
            ASSERT_TRUE(StockInvariantsHold(model)) << "step " << step;
        }
    }
    ExpectCell(model.z, 0, reference[0][0]);
}

TEST_F(DexelCellTest, ByAxisUsesEachFamilysIndexRule) {
    // nx = 4, ny = 3, nz = 2.
    struct Case {
        int axis, i1, i2;
        DexelFamily* family;
        std::int64_t cell;
    };
    const Case cases[] = {
        {2, 3, 2, &model.z, 2 * 4 + 3},  // Z: i1 = ix, i2 = iy
        {1, 1, 3, &model.y, 3 * 2 + 1},  // Y: i1 = iz, i2 = ix
        {0, 2, 1, &model.x, 1 * 3 + 2},  // X: i1 = iy, i2 = iz
        {7, 1, 1, &model.x, 1 * 3 + 1},  // any other axis is X
    };
    int tag = 1;
    for (const Case& c : cases) {
        const DexelRay ray = MakeRay(2, tag++);
        SetDexelCellByAxis(&model, c.axis, c.i1, c.i2, ray.ends.data(), ray.flags.data(),
                           ray.stamps.data(), 2);
        EXPECT_EQ(ReadDexelRay(*c.family, c.cell), ray) << "axis " << c.axis;
    }
}

TEST_F(DexelCellTest, FlagPassesChangeOnlyTheirBits) {
    const std::uint8_t start[] = {0xC1, 0x51, 0xF1, 0x20, 0x0E, 0xCE, 0xFF, 0x00};
    struct Pass {
        const char* name;
        void (*run)(StockModel*);
        std::uint8_t expected[8];
    };
    const Pass passes[] = {
        {"pen 12",
         [](StockModel* m) { ClearStockPenNumber(m, 12); },
         {0x01, 0x51, 0xF1, 0x20, 0x0E, 0x0E, 0xFF, 0x00}},
        {"all pens", ClearAllStockPenNumbers, {0x01, 0x01, 0x01, 0x00, 0x0E, 0x0E, 0x0F, 0x00}},
        {"strip", StripStockPaint, {0xC0, 0x50, 0xF0, 0x20, 0x0E, 0xCE, 0xFE, 0x00}},
        {"paint", PaintWholeStock, {0xC1, 0x51, 0xF1, 0x21, 0x0F, 0xCF, 0xFF, 0x01}},
    };
    for (const Pass& pass : passes) {
        // The eight flags in an inline cell of each family and, repeated, in a spilled cell.
        DexelRay small = MakeRay(8, 1), wide = MakeRay(16, 2);
        for (int i = 0; i < 16; ++i) {
            wide.flags[i] = start[i % 8];
            if (i < 8) {
                small.flags[i] = start[i];
            }
        }
        for (DexelFamily* family : {&model.z, &model.x, &model.y}) {
            Store(*family, 0, small);
            Store(*family, 1, wide);
        }
        pass.run(&model);
        for (DexelFamily* family : {&model.z, &model.x, &model.y}) {
            DexelRay a = ReadDexelRay(*family, 0), b = ReadDexelRay(*family, 1);
            for (int i = 0; i < 16; ++i) {
                EXPECT_EQ(b.flags[i], pass.expected[i % 8]) << pass.name << " end " << i;
                if (i < 8) {
                    EXPECT_EQ(a.flags[i], pass.expected[i]) << pass.name << " end " << i;
                }
            }
            EXPECT_EQ(a.ends, small.ends);
            EXPECT_EQ(b.stamps, wide.stamps);
        }
    }
}

TEST_F(DexelCellTest, MarkArraysStayConsistentWhenTheStockChanges) {
    DexelFlagCopies copies;
    FreeDexelFlagCopies(&copies);  // a zeroed record frees nothing
    ASSERT_EQ(AllocDexelFlagCopies(&copies, model), 1);
    FreeDexelFlagCopies(&copies);  // no snapshot taken
    ASSERT_EQ(AllocDexelFlagCopies(&copies, model), 1);

    DexelRay painted = MakeRay(12, 9);
    std::fill(painted.flags.begin(), painted.flags.end(), 0xF1);
    Store(model.z, 1, painted);
    Store(model.x, 0, MakeRay(4, 1));
    Store(model.y, 5, painted);
    PaintWholeStock(&model);
    SnapshotStockFlags(model, &copies);
    SnapshotStockFlags(model, &copies);  // a second snapshot releases the first one's blocks
    std::uint8_t marks[16] = {};
    std::uint8_t ones[16];
    std::fill(std::begin(ones), std::end(ones), 1);
    const std::int64_t cells[3][2] = {{1, 0}, {0, 2}, {5, 1}};
    for (int f = 0; f < 3; ++f) {
        for (std::int64_t cell : cells[f]) {
            std::fill(std::begin(marks), std::end(marks), 0x55);
            GetDexelCellFlags(cell, copies.capacity[f], copies.counts[f], copies.marks[f], marks);
            for (int i = 0; i < copies.counts[f][cell]; ++i) {
                EXPECT_EQ(marks[i], 0) << "family " << f << " cell " << cell;
            }
            SetDexelCellFlags(cell, copies.capacity[f], copies.counts[f], copies.marks[f], ones);
        }
    }
    // The stock changes between the snapshot and the release (a pumped message ran another
    // command): the marks are still released by their own record.
    Store(model.z, 1, MakeRay(2, 1));
    Store(model.x, 0, MakeRay(20, 2));
    FreeDexelFlagCopies(&copies);

    ScopedStockHooks hooks;
    static int allowed;
    StockCallbacks.allowAllocation = [](std::size_t) { return allowed-- > 0; };
    for (int granted = 0; granted < 6; granted += 2) {
        allowed = granted;
        EXPECT_EQ(AllocDexelFlagCopies(&copies, model), -(granted / 2 + 1));
        EXPECT_EQ(copies.marks[0], nullptr);
    }
    // A snapshot whose block finds no memory says so, and what it laid out (blocks of the earlier
    // snapshot behind the failed cell) is still released by its record.
    allowed = 100;
    ASSERT_EQ(AllocDexelFlagCopies(&copies, model), 1);
    ASSERT_EQ(SnapshotStockFlags(model, &copies), 1);
    allowed = 0;
    EXPECT_EQ(SnapshotStockFlags(model, &copies), 0);
    FreeDexelFlagCopies(&copies);
}

TEST(GetStockExtent, BoxCornersAndEmptyModel) {
    StockModel model;
    const double box[6] = {0, 0, 0, 100, 50, 20};
    SetStockUndoRingSize(&model, 2);
    ASSERT_EQ(CreateBoxStockIdentity(&model, box, 2.5), 1);
    ASSERT_TRUE(StockInvariantsHold(model, true));
    double lo[3], hi[3];
    GetStockExtent(model, lo, hi);
    for (int a = 0; a < 3; ++a) {
        EXPECT_EQ(lo[a], box[a]);
        EXPECT_EQ(hi[a], box[a + 3]);
    }
    ASSERT_EQ(BuildEmptyStock(&model, 3, 3, 3, 1.0, 1), 1);
    GetStockExtent(model, lo, hi);
    for (int a = 0; a < 3; ++a) {
        EXPECT_EQ(lo[a], 1e12);
        EXPECT_EQ(hi[a], -1e12);
    }
    FreeStockModel(&model);
}

}  // namespace
}  // namespace mirexa
