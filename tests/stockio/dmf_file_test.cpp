// ".DMF" height maps built byte by byte: encodings, layers, the origin rule, heights below the
// bottom, hostile and truncated files; and the level crossings of height profiles against a
// node-membership oracle on random profiles.
#include "stockio/dmf_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "stock/stock_grid.h"
#include "stockio/height_profiles.h"
#include "stockio/stock_loading.h"
#include "support/scratch_directory.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

using testing::ScratchDirectory;

template <class T>
void PutAt(std::string* bytes, std::size_t offset, T value) {
    std::memcpy(bytes->data() + offset, &value, sizeof(T));
}

template <class T>
void Append(std::string* bytes, T value) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    bytes->append(raw, sizeof(T));
}

struct DmfSpec {
    int nx = 2;
    int ny = 2;
    double pitch = 1.0;
    double scale = 0.0;
    int layers = 0;
    int single = 0;
    double values[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
};

// A file: the head, the heights (f32, or i32 when the scale is set), flags and stamps as the
// layers field asks, two ignored words and the bottom.
std::string DmfFile(const DmfSpec& spec, const std::vector<double>& heights, double bottom,
                    const std::vector<std::uint8_t>& flags = {},
                    const std::vector<std::int32_t>& stamps = {}) {
    std::string b(kDmfHeadBytes, '\0');
    for (int i = 0; i < 12; ++i) {
        PutAt(&b, 16 + 8 * i, spec.values[i]);
    }
    PutAt<std::int32_t>(&b, 112, spec.nx);
    PutAt<std::int32_t>(&b, 116, spec.ny);
    PutAt<std::int32_t>(&b, 120, 777);
    PutAt(&b, 124, spec.pitch);
    PutAt(&b, 132, 55.5);
    PutAt(&b, 140, spec.scale);
    PutAt<std::int32_t>(&b, 148, spec.layers);
    PutAt<std::int32_t>(&b, 152, spec.single);
    auto value = [&](double h) {
        if (spec.scale == 0.0) {
            Append(&b, static_cast<float>(h));
        } else {
            Append(&b, static_cast<std::int32_t>(h));
        }
    };
    for (double h : heights) {
        value(h);
    }
    if (spec.layers >= 1) {
        for (std::uint8_t f : flags) {
            Append(&b, f);
        }
    }
    if (spec.layers >= 2) {
        for (std::int32_t s : stamps) {
            Append(&b, s);
        }
    }
    Append<std::int32_t>(&b, -1);
    Append<std::int32_t>(&b, -1);
    value(bottom);
    return b;
}

int Load(const std::string& path, StockModel* model) {
    SetStockUndoRingSize(model, 2);
    return LoadStockModel(nullptr, model, path, 1.0, 0);
}

TEST(ReadDmfStock, ReadsTheSingleFormAndBuildsTheSides) {
    ScratchDirectory dir;
    DmfSpec spec;
    spec.nx = 3;
    spec.single = 1;
    StockModel model;
    ASSERT_EQ(Load(dir.Write("a.dmf", DmfFile(spec, {10.0}, 0.0)), &model), 1);
    EXPECT_EQ(model.nz, 11);
    EXPECT_TRUE(StockInvariantsHold(model, true));
    for (std::int64_t cell = 0; cell < model.z.cellCount; ++cell) {
        EXPECT_EQ(ReadDexelRay(model.z, cell).ends, (std::vector<double>{0, 10}));
    }
    EXPECT_EQ(ReadDexelRay(model.x, 0).ends, (std::vector<double>{0, 2}));
    EXPECT_EQ(ReadDexelRay(model.y, 0).ends, (std::vector<double>{0, 1}));
    const std::uint8_t expected[6] = {1, 1, 1, 1, 0, 1};
    for (int f = 0; f < 6; ++f) {
        EXPECT_EQ(model.faceFlags->faces[f], expected[f]) << f;
    }
    EXPECT_EQ(model.maxCorner[2], 10);
    EXPECT_EQ(model.maxCorner[0], 2);
    FreeStockModel(&model);
}

TEST(ReadDmfStock, DecodesScaledHeightsLayersAndTheOrigin) {
    ScratchDirectory dir;
    DmfSpec spec;
    spec.scale = 0.01;
    spec.layers = 2;
    const double identityOrigin[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 7, 8, 9};
    std::copy(identityOrigin, identityOrigin + 12, spec.values);
    std::string bytes =
        DmfFile(spec, {1234, 1000, 1000, 1000}, 500, {0x11, 0x22, 0x33, 0x44}, {5, 6, 7, 8});
    ASSERT_EQ(bytes.size(), 156u + 16 + 4 + 16 + 8 + 4);
    StockModel model;
    ASSERT_EQ(Load(dir.Write("a.DMF", bytes), &model), 1);
    DexelRay first = ReadDexelRay(model.z, 0);
    EXPECT_EQ(first.ends, (std::vector<double>{static_cast<float>(500 * 0.01),
                                               static_cast<float>(1234 * 0.01)}));
    EXPECT_EQ(first.flags, (std::vector<std::uint8_t>{0, 0x11}));
    EXPECT_EQ(first.stamps, (std::vector<std::int32_t>{0, 5}));
    EXPECT_EQ(ReadDexelRay(model.z, 3).stamps, (std::vector<std::int32_t>{0, 8}));
    EXPECT_EQ(model.origin[0], 7);
    EXPECT_EQ(model.origin[1], 8);
    EXPECT_EQ(model.origin[2], 500 * 0.01);  // the grid's z0 is the product in double
    FreeStockModel(&model);
    // Any other header values: the origin comes from values 3 and 7.
    spec.values[0] = 0.5;
    spec.values[3] = -4;
    spec.values[7] = 6;
    ASSERT_EQ(Load(dir.Write("b.dmf", DmfFile(spec, {1234, 1000, 1000, 1000}, 500, {1, 2, 3, 4},
                                              {5, 6, 7, 8})),
                   &model),
              1);
    EXPECT_EQ(model.origin[0], -4);
    EXPECT_EQ(model.origin[1], 6);
    FreeStockModel(&model);
}

TEST(ReadDmfStock, LeavesNodesBelowTheBottomEmpty) {
    ScratchDirectory dir;
    DmfSpec spec;
    spec.nx = 3;
    StockModel model;
    ASSERT_EQ(Load(dir.Write("a.dmf", DmfFile(spec, {4, -2, 4, 4, 4, 4}, 0)), &model), 1);
    EXPECT_TRUE(StockInvariantsHold(model, true));
    EXPECT_EQ(ReadDexelRay(model.z, 1).ends, (std::vector<double>{}));
    // The X ray of row 0 at z = 2 has a gap around x = 1.
    DexelRay row = ReadDexelRay(model.x, 2 * model.ny + 0);
    ASSERT_EQ(row.ends.size(), 4u);
    EXPECT_DOUBLE_EQ(row.ends[1], 1.0 / 3.0);
    // Every height below the bottom: no material, still a grid of 2 z nodes.
    ASSERT_EQ(Load(dir.Write("b.dmf", DmfFile(spec, {-4, -2, -4, -4, -4, -4}, 0)), &model), 1);
    EXPECT_EQ(model.nz, 2);
    EXPECT_EQ(ReadDexelRay(model.z, 0).ends, (std::vector<double>{}));
    FreeStockModel(&model);
}

TEST(ReadDmfStock, RefusesHostileAndTruncatedFiles) {
    ScratchDirectory dir;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    DmfSpec good;
    good.layers = 2;
    const std::string valid = DmfFile(good, {1, 2, 3, 4}, 0, {1, 1, 1, 1}, {2, 2, 2, 2});
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::vector<Case> cases;
    DmfSpec s = good;
    s.nx = 0;
    cases.push_back({"nx 0", DmfFile(s, {}, 0)});
    s = good;
    s.pitch = 0;
    cases.push_back({"pitch 0", DmfFile(s, {1, 2, 3, 4}, 0, {1, 1, 1, 1}, {2, 2, 2, 2})});
    s = good;
    s.scale = nan;
    cases.push_back({"scale nan", DmfFile(s, {1, 2, 3, 4}, 0, {1, 1, 1, 1}, {2, 2, 2, 2})});
    cases.push_back({"height nan", DmfFile(good, {1, nan, 3, 4}, 0, {1, 1, 1, 1}, {2, 2, 2, 2})});
    cases.push_back(
        {"bottom inf", DmfFile(good, {1, 2, 3, 4}, std::numeric_limits<double>::infinity(),
                               {1, 1, 1, 1}, {2, 2, 2, 2})});
    s = good;
    s.nx = 100000;
    s.ny = 100000;
    cases.push_back({"grid beyond the file", DmfFile(s, {1, 2, 3, 4}, 0)});
    for (const Case& c : cases) {
        StockModel model;
        model.nx = 3;
        EXPECT_EQ(Load(dir.Write("bad.dmf", c.bytes), &model), kStockFileDataError) << c.name;
        EXPECT_EQ(model.nx, 0) << c.name;
    }
    for (std::size_t size = 0; size < valid.size(); ++size) {
        StockModel model;
        ASSERT_EQ(Load(dir.Write("cut.dmf", valid.substr(0, size)), &model), kStockFileDataError)
            << size;
        ASSERT_EQ(model.nx, 0);
    }
    // The single form with layers 0 holds no flag or stamp: its exact size reads.
    DmfSpec single;
    single.single = 1;
    const std::string exact = DmfFile(single, {3}, 0);
    ASSERT_EQ(exact.size(), 156u + 4 + 8 + 4);
    StockModel model;
    EXPECT_EQ(Load(dir.Write("single.dmf", exact), &model), 1);
    FreeStockModel(&model);
}

TEST(FindLevelCrossings, WorkedProfiles) {
    const double nodes[3] = {0, 1, 2};
    double out[4];
    const double valley[3] = {5, 1, 5};
    ASSERT_EQ(FindLevelCrossingsUp(valley, 1, 3, 1, 5, 1.0, 3.0, nodes, out), 4);
    EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{0, 0.5, 1.5, 2}));
    const double peak[3] = {1, 3, 1};
    ASSERT_EQ(FindLevelCrossingsUp(peak, 1, 3, 1, 3, 1.0, 3.0, nodes, out), 2);
    EXPECT_EQ(out[0], 1);  // touching the level: a zero-length pair at the node
    EXPECT_EQ(out[1], 1);
    EXPECT_EQ(FindLevelCrossingsUp(peak, 1, 3, 1, 3, 1.0, 3.5, nodes, out), 0);
    ASSERT_EQ(FindLevelCrossingsUp(peak, 1, 3, 1, 3, 1.0, 0.5, nodes, out), 2);
    EXPECT_EQ(out[1], 2);  // below the lowest: the whole line
    ASSERT_EQ(FindLevelCrossingsDown(valley, 1, 3, 1, 5, 1.0, 3.0, nodes, out), 2);
    EXPECT_EQ(std::vector<double>(out, out + 2), (std::vector<double>{0.5, 1.5}));
    ASSERT_EQ(FindLevelCrossingsDown(peak, 1, 3, 1, 3, 1.0, 1.0, nodes, out), 4);
    EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{0, 0, 2, 2}));
    const double one[1] = {2};
    ASSERT_EQ(FindLevelCrossingsUp(one, 1, 1, 2, 2, 1.0, 2.0, nodes, out), 2);
    EXPECT_EQ(out[0], out[1]);
}

TEST(FindLevelCrossings, CoverExactlyTheNodesOnTheMaterialSide) {
    const unsigned seed = 20240611;
    std::printf("seed %u\n", seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> length(1, 12);
    std::uniform_int_distribution<int> level(0, 8);
    for (int trial = 0; trial < 3000; ++trial) {
        const int n = length(random);
        std::vector<double> heights(static_cast<std::size_t>(2 * n));
        std::vector<double> nodes(static_cast<std::size_t>(n));
        double lowest = 1e300;
        double highest = -1e300;
        for (int i = 0; i < n; ++i) {
            // Stride 2: the other samples are noise the function must not read.
            heights[2 * i] = level(random) * 0.5;
            heights[2 * i + 1] = -1000;
            nodes[i] = 10 + 0.5 * i;
            lowest = std::min(lowest, heights[2 * i]);
            highest = std::max(highest, heights[2 * i]);
        }
        const double l = level(random) * 0.5;
        for (int up = 0; up < 2; ++up) {
            std::vector<double> out(static_cast<std::size_t>(n + 1));
            const int count = up ? FindLevelCrossingsUp(heights.data(), 2, n, lowest, highest, 0.5,
                                                        l, nodes.data(), out.data())
                                 : FindLevelCrossingsDown(heights.data(), 2, n, lowest, highest,
                                                          0.5, l, nodes.data(), out.data());
            ASSERT_EQ(count % 2, 0) << "trial " << trial;
            ASSERT_LE(count, n + 1);
            for (int k = 1; k < count; ++k) {
                ASSERT_LE(out[k - 1], out[k]) << "trial " << trial;
            }
            for (int i = 0; i < n; ++i) {
                const double h = heights[2 * i];
                const bool material = up ? h >= l : h <= l;
                bool covered = false;
                for (int k = 0; k + 1 < count; k += 2) {
                    covered = covered || (nodes[i] >= out[k] && nodes[i] <= out[k + 1]);
                }
                ASSERT_EQ(covered, material) << "trial " << trial << " node " << i;
            }
        }
    }
}

}  // namespace
}  // namespace mirexa
