// Stock offset in all modes: hand-worked rays, analytic shapes sampled at the nodes, and random
// solids against a plain reference that runs every sweep chord by chord over every node of
// every segment (the slow way the batched, end-driven sweeps must agree with).
#include "stock/stock_offset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "analytic_stock.h"
#include "services/progress.h"
#include "stock/dexel_intervals.h"
#include "stock/stock_grid.h"
#include "stock/stock_offset_axis.h"
#include "stock/stock_shapes.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

using Ends = std::vector<double>;

// --- The reference: plain rays, one chord at a time ------------------------------------------

struct PlainModel {
    int n[3] = {};
    double pitch = {};
    double origin[3] = {};
    std::vector<Ends> rays[3];  // by ray axis (0 X, 1 Y, 2 Z) and cell

    double Node(int axis, int i) const {
        return i * pitch + origin[axis];
    }
    Ends& Ray(int axis, const int node[3]) {
        const int fast = (axis + 1) % 3, slow = (axis + 2) % 3;
        return rays[axis][static_cast<std::size_t>(node[slow]) * n[fast] + node[fast]];
    }
    bool Inside(const int node[3]) const {
        for (int a = 0; a < 3; ++a) {
            if (node[a] < 0 || node[a] >= n[a]) {
                return false;
            }
        }
        return true;
    }
};

PlainModel PlainFromStock(const StockModel& m) {
    PlainModel plain;
    plain.n[0] = m.nx, plain.n[1] = m.ny, plain.n[2] = m.nz;
    plain.pitch = m.pitch;
    for (int a = 0; a < 3; ++a) {
        plain.origin[a] = m.origin[a];
    }
    const DexelFamily* families[3] = {&m.x, &m.y, &m.z};
    for (int a = 0; a < 3; ++a) {
        for (std::int64_t cell = 0; cell < families[a]->cellCount; ++cell) {
            plain.rays[a].push_back(ReadDexelRay(*families[a], cell).ends);
        }
    }
    return plain;
}

PlainModel WidenedCopy(const PlainModel& source, int margin) {
    PlainModel out;
    out.pitch = source.pitch;
    for (int a = 0; a < 3; ++a) {
        out.n[a] = source.n[a] + 2 * margin;
        out.origin[a] = source.origin[a] - margin * source.pitch;
    }
    for (int a = 0; a < 3; ++a) {
        out.rays[a].resize(static_cast<std::size_t>(out.n[(a + 1) % 3]) * out.n[(a + 2) % 3]);
        int node[3] = {};
        const int f = (a + 1) % 3, s = (a + 2) % 3;
        for (node[s] = 0; node[s] < source.n[s]; ++node[s]) {
            for (node[f] = 0; node[f] < source.n[f]; ++node[f]) {
                int shifted[3] = {node[0] + margin, node[1] + margin, node[2] + margin};
                out.Ray(a, shifted) = const_cast<PlainModel&>(source).Ray(a, node);
            }
        }
    }
    return out;
}

void UnionInto(Ends& ray, double lo, double hi) {
    std::int32_t count = static_cast<std::int32_t>(ray.size());
    ray.resize(ray.size() + 2);
    ASSERT_EQ(UnionDexelInterval(ray.data(), &count, count + 2, lo, hi), kDexelIntervalDone);
    ray.resize(static_cast<std::size_t>(count));
}

void SubtractFrom(Ends& ray, double lo, double hi) {
    std::int32_t count = static_cast<std::int32_t>(ray.size());
    ray.resize(ray.size() + 2);
    ASSERT_EQ(SubtractPlainInterval(ray.data(), &count, count + 2, lo, hi), kDexelIntervalDone);
    ray.resize(static_cast<std::size_t>(count));
}

int Clamp(double v, int n) {
    return v < 0 ? 0 : (v > n - 1 ? n - 1 : static_cast<int>(v));
}

// Calls visit(axis, node, ends) for every ray with ends of the source, families Z, Y, X.
template <class Visit>
void ForSourceRays(PlainModel& source, Visit visit) {
    for (int axis : {2, 1, 0}) {
        const int f = (axis + 1) % 3, s = (axis + 2) % 3;
        int node[3] = {};
        for (node[s] = 0; node[s] < source.n[s]; ++node[s]) {
            for (node[f] = 0; node[f] < source.n[f]; ++node[f]) {
                const Ends e = source.Ray(axis, node);
                if (!e.empty()) {
                    visit(axis, node, e);
                }
            }
        }
    }
}

void ReferenceShrink(PlainModel& source, PlainModel& dest, int k, double d) {
    const double p = source.pitch;
    ForSourceRays(source, [&](int axis, const int* node, const Ends& e) {
        const int f = (axis + 1) % 3, s = (axis + 2) % 3;
        for (int ds = -k; ds <= k; ++ds) {
            for (int df = -k; df <= k; ++df) {
                int t[3] = {node[0], node[1], node[2]};
                t[f] += df, t[s] += ds, t[axis] = 0;
                const double q = d * d - (df * p) * (df * p) - (ds * p) * (ds * p);
                if (!dest.Inside(t) || q <= 0) {
                    continue;
                }
                for (double v : e) {
                    if (!dest.Ray(axis, t).empty()) {
                        SubtractFrom(dest.Ray(axis, t), v - std::sqrt(q), v + std::sqrt(q));
                    }
                }
            }
        }
        for (double v : e) {
            const double o = dest.Node(axis, 0);
            const int first = Clamp(std::trunc((v + d - o) / p), dest.n[axis]);
            const int last = Clamp(std::ceil((v - d - o) / p), dest.n[axis]);
            for (int t = first; t <= last; ++t) {
                for (int target : {f, s}) {
                    const int lateral = target == f ? s : f;
                    for (int dl = -k; dl <= k; ++dl) {
                        int at[3] = {node[0], node[1], node[2]};
                        at[axis] = t, at[lateral] += dl;
                        const double axial = dest.Node(axis, t) - v;
                        const double q = d * d - (dl * p) * (dl * p) - axial * axial;
                        if (!dest.Inside(at) || q <= 0 || dest.Ray(target, at).empty()) {
                            continue;
                        }
                        const double c = dest.Node(target, node[target]);
                        SubtractFrom(dest.Ray(target, at), c - std::sqrt(q), c + std::sqrt(q));
                    }
                }
            }
        }
    });
}

// Normal growth: the capsule of every segment, node by node along the whole segment.
void ReferenceGrowNormal(PlainModel& source, PlainModel& dest, int k, double d) {
    const double p = source.pitch;
    ForSourceRays(source, [&](int axis, const int* node, const Ends& e) {
        const int f = (axis + 1) % 3, s = (axis + 2) % 3;
        for (int ds = -k; ds <= k; ++ds) {
            for (int df = -k; df <= k; ++df) {
                int t[3] = {node[0] + k, node[1] + k, node[2] + k};
                t[f] += df, t[s] += ds, t[axis] = 0;
                const double q = d * d - (df * p) * (df * p) - (ds * p) * (ds * p);
                if (!dest.Inside(t) || q < 0) {
                    continue;
                }
                for (std::size_t i = 0; i < e.size(); i += 2) {
                    UnionInto(dest.Ray(axis, t), e[i] - std::sqrt(q), e[i + 1] + std::sqrt(q));
                }
            }
        }
        for (std::size_t i = 0; i < e.size(); i += 2) {
            const double a = e[i], b = e[i + 1], o = dest.Node(axis, 0);
            const int first = Clamp(std::trunc((a - d - o) / p), dest.n[axis]);
            const int last = Clamp(std::ceil((b + d - o) / p), dest.n[axis]);
            for (int t = first; t <= last; ++t) {
                const double tc = dest.Node(axis, t);
                const double axial = tc < a ? tc - a : (tc > b ? tc - b : 0.0);
                for (int target : {f, s}) {
                    const int lateral = target == f ? s : f;
                    for (int dl = -k; dl <= k; ++dl) {
                        int at[3] = {node[0] + k, node[1] + k, node[2] + k};
                        at[axis] = t, at[lateral] += dl;
                        const double q = d * d - (dl * p) * (dl * p) - axial * axial;
                        if (!dest.Inside(at) || q < 0) {
                            continue;
                        }
                        const double c = dest.Node(target, node[target] + k);
                        UnionInto(dest.Ray(target, at), c - std::sqrt(q), c + std::sqrt(q));
                    }
                }
            }
        }
    });
}

// Rays of family `source` paired along `pair`: the ray of family `pair` through each node both
// hold gets the pair interval, one node and one pair at a time.
void ReferenceSync(PlainModel& m, int source, int pair) {
    const int outer = 3 - source - pair;
    int node[3] = {};
    for (node[outer] = 0; node[outer] < m.n[outer]; ++node[outer]) {
        for (int i = 0; i + 1 < m.n[pair]; ++i) {
            node[pair] = i;
            const Ends a = m.Ray(source, node);
            node[pair] = i + 1;
            const Ends b = m.Ray(source, node);
            for (int j = 0; j < m.n[source]; ++j) {
                const double v = m.Node(source, j);
                if (RayHolds(a, v) && RayHolds(b, v)) {
                    int at[3] = {node[0], node[1], node[2]};
                    at[source] = j;
                    UnionInto(m.Ray(pair, at), m.Node(pair, i), m.Node(pair, i + 1));
                }
            }
        }
    }
}

void ReferenceGrowZ(PlainModel& source, PlainModel& dest, int k, double d) {
    const int layers = static_cast<int>(std::trunc(d / source.pitch));
    ForSourceRays(source, [&](int axis, const int* node, const Ends& e) {
        int t[3] = {node[0] + k, node[1] + k, node[2] + k};
        for (int dz = axis == 2 ? 0 : -layers; dz <= (axis == 2 ? 0 : layers); ++dz) {
            int at[3] = {t[0], t[1], t[2] + dz};
            if ((axis != 2 && dz == 0) || !dest.Inside(at)) {
                continue;
            }
            for (std::size_t i = 0; i < e.size(); i += 2) {
                const double grow = axis == 2 ? d : 0.0;
                UnionInto(dest.Ray(axis, at), e[i] - grow, e[i + 1] + grow);
            }
        }
    });
    ReferenceSync(dest, 2, 0);
    ReferenceSync(dest, 2, 1);
}

void ReferenceGrowHorizontal(PlainModel& source, PlainModel& dest, int k, double d) {
    const double p = source.pitch;
    ForSourceRays(source, [&](int axis, const int* node, const Ends& e) {
        const int base[3] = {node[0] + k, node[1] + k, node[2] + k};
        if (axis == 2) {
            for (int dy = -k; dy <= k; ++dy) {
                for (int dx = -k; dx <= k; ++dx) {
                    int at[3] = {base[0] + dx, base[1] + dy, 0};
                    if (dest.Inside(at) && (dx * p) * (dx * p) + (dy * p) * (dy * p) <= d * d) {
                        for (std::size_t i = 0; i < e.size(); i += 2) {
                            UnionInto(dest.Ray(2, at), e[i], e[i + 1]);
                        }
                    }
                }
            }
            // Every z node inside a segment gives the crossing X and Y rays a disc chord.
            for (std::size_t i = 0; i < e.size(); i += 2) {
                for (int t = 0; t < dest.n[2]; ++t) {
                    const double z = dest.Node(2, t);
                    if (z < e[i] || z > e[i + 1]) {
                        continue;
                    }
                    for (int target : {0, 1}) {
                        const int lateral = 1 - target;
                        for (int dl = -k; dl <= k; ++dl) {
                            int at[3] = {base[0], base[1], t};
                            at[lateral] += dl;
                            const double q = d * d - (dl * p) * (dl * p);
                            if (dest.Inside(at) && q >= 0) {
                                const double c = dest.Node(target, base[target]);
                                UnionInto(dest.Ray(target, at), c - std::sqrt(q), c + std::sqrt(q));
                            }
                        }
                    }
                }
            }
            return;
        }
        const int lateral = 1 - axis;
        for (int dl = -k; dl <= k; ++dl) {
            int at[3] = {base[0], base[1], base[2]};
            at[lateral] += dl;
            const double q = d * d - (dl * p) * (dl * p);
            if (dest.Inside(at) && q >= 0) {
                for (std::size_t i = 0; i < e.size(); i += 2) {
                    UnionInto(dest.Ray(axis, at), e[i] - std::sqrt(q), e[i + 1] + std::sqrt(q));
                }
            }
        }
        for (std::size_t i = 0; i < e.size(); i += 2) {
            const double a = e[i], b = e[i + 1];
            for (int u = 0; u < dest.n[axis]; ++u) {
                const double v = dest.Node(axis, u);
                double h = -1;
                if (a <= v && v <= b) {
                    h = d;
                } else if (v < a && d > a - v) {
                    h = std::sqrt(d * d - (a - v) * (a - v));
                } else if (v > b && d > v - b) {
                    h = std::sqrt(d * d - (v - b) * (v - b));
                }
                if (h >= 0) {
                    int at[3] = {base[0], base[1], base[2]};
                    at[axis] = u;
                    const double c = dest.Node(lateral, base[lateral]);
                    UnionInto(dest.Ray(lateral, at), c - h, c + h);
                }
            }
        }
    });
    ReferenceSync(dest, 0, 2);
    ReferenceSync(dest, 1, 2);
}

void ReferenceClean(PlainModel& m) {
    for (int axis = 0; axis < 3; ++axis) {
        for (Ends& ray : m.rays[axis]) {
            if (ray.size() <= 2) {
                continue;
            }
            int count = 0;
            ASSERT_EQ(MergeSubPitchGapsAtNodes(ray.data(), static_cast<int>(ray.size()), m.pitch,
                                               m.origin[axis], ray.data(), &count),
                      1);
            ASSERT_EQ(
                MergeSubPitchGaps(ray.data(), count, m.pitch, m.origin[axis], ray.data(), &count),
                1);
            ray.resize(static_cast<std::size_t>(count));
        }
    }
}

PlainModel ReferenceOffset(const StockModel& stock, int mode, double d) {
    PlainModel source = PlainFromStock(stock);
    const int k = static_cast<int>(std::ceil(std::fabs(d) / stock.pitch));
    PlainModel dest = WidenedCopy(source, d > 0 ? k : 0);
    if (d <= 0) {
        ReferenceShrink(source, dest, k, d);
    } else if (mode == kOffsetModeNormal) {
        ReferenceGrowNormal(source, dest, k, d);
    } else if (mode == kOffsetModeZ) {
        ReferenceGrowZ(source, dest, k, d);
    } else {
        ReferenceGrowHorizontal(source, dest, k, d);
    }
    ReferenceClean(dest);
    return dest;
}

::testing::AssertionResult SameRays(const StockModel& model, const PlainModel& reference) {
    const PlainModel got = PlainFromStock(model);
    int problems = 0;
    std::string text;
    for (int a = 0; a < 3; ++a) {
        if (got.rays[a].size() != reference.rays[a].size()) {
            return ::testing::AssertionFailure() << "family sizes differ";
        }
        for (std::size_t c = 0; c < got.rays[a].size(); ++c) {
            if (got.rays[a][c] != reference.rays[a][c] && ++problems <= 5) {
                char line[400];
                std::snprintf(
                    line, sizeof line, "axis %d cell %zu: got %zu ends (%g..%g), want %zu\n", a, c,
                    got.rays[a][c].size(), got.rays[a][c].empty() ? 0.0 : got.rays[a][c].front(),
                    got.rays[a][c].empty() ? 0.0 : got.rays[a][c].back(),
                    reference.rays[a][c].size());
                text += line;
            }
        }
    }
    if (problems == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << problems << " ray(s) differ:\n" << text;
}

// --- Fixture -------------------------------------------------------------------------------

class OffsetTest : public ::testing::Test {
protected:
    void TearDown() override {
        FreeStockModel(&source);
        FreeStockModel(&result);
    }
    int Offset(int mode, double d) {
        SetStockUndoRingSize(&result, 2);
        StockOffsetParameters parameters;
        parameters.mode = mode;
        parameters.value = d;
        return RunStockOffset(source, parameters, &result);
    }
    void BuildBox(double pitch, double x0, double y0, double z0, double x1, double y1, double z1,
                  bool marked = false) {
        const int nodes[3] = {static_cast<int>(std::lround((x1 - x0) / pitch)) + 1,
                              static_cast<int>(std::lround((y1 - y0) / pitch)) + 1,
                              static_cast<int>(std::lround((z1 - z0) / pitch)) + 1};
        const double origin[3] = {x0, y0, z0};
        ASSERT_EQ(BuildAnalyticStock(&source, nodes, pitch, origin,
                                     BoxSolid(x0, y0, z0, x1, y1, z1), marked),
                  1);
    }
    StockModel source;
    StockModel result;
};

DexelRay ZRay(const StockModel& m, int ix, int iy) {
    return FamilyRay(m, 2, ix, iy);
}
DexelRay XRay(const StockModel& m, int iy, int iz) {
    return FamilyRay(m, 0, iy, iz);
}
DexelRay YRay(const StockModel& m, int ix, int iz) {
    return FamilyRay(m, 1, iz, ix);
}

// Every ray whose ends changed from the source carries flag 0 and stamp 0 on every end.
::testing::AssertionResult ChangedRaysUnmarked(const StockModel& model) {
    for (const DexelFamily* family : {&model.z, &model.x, &model.y}) {
        for (std::int64_t cell = 0; cell < family->cellCount; ++cell) {
            const DexelRay ray = ReadDexelRay(*family, cell);
            for (std::size_t i = 0; i < ray.ends.size(); ++i) {
                if (ray.flags[i] != ray.flags[0] || ray.stamps[i] != ray.stamps[0] ||
                    (ray.flags[i] != 0 && ray.flags[i] != 0x21)) {
                    return ::testing::AssertionFailure() << "mixed marks on cell " << cell;
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// --- Worked cases --------------------------------------------------------------------------

TEST_F(OffsetTest, ShrinkOfTenMillimetreBoxByOne) {
    BuildBox(1.0, 0, 0, 0, 10, 10, 10, true);
    ASSERT_EQ(Offset(kOffsetModeZ, -1.0), 1);  // a shrink ignores the mode
    EXPECT_TRUE(StockInvariantsHold(result, true));
    EXPECT_EQ(result.nx, 11);
    EXPECT_EQ(result.origin[0], 0.0);
    for (int ix = 0; ix <= 10; ++ix) {
        for (int iy = 0; iy <= 10; ++iy) {
            const bool face = ix == 0 || ix == 10 || iy == 0 || iy == 10;
            const DexelRay z = ZRay(result, ix, iy);
            EXPECT_EQ(z.ends, face ? Ends{} : (Ends{1, 9})) << ix << "," << iy;
            EXPECT_EQ(z.flags, std::vector<std::uint8_t>(z.ends.size(), 0));
            EXPECT_EQ(XRay(result, ix, iy).ends, face ? Ends{} : (Ends{1, 9}));
            EXPECT_EQ(YRay(result, ix, iy).ends, face ? Ends{} : (Ends{1, 9}));
        }
    }
    EXPECT_TRUE(ModelContains(source, result));
    EXPECT_EQ(result.faceFlags->faces[0], 1);
}

TEST_F(OffsetTest, ZeroValueChangesNothingAndNegativeIgnoresMode) {
    BuildBox(1.0, 0, 0, 0, 6, 6, 6);
    EXPECT_EQ(Offset(kOffsetModeNormal, 0.0), 0);
    EXPECT_EQ(result.nx, 0);
    ASSERT_EQ(Offset(kOffsetModeHorizontal, -1.5), 1);
    const ModelRays horizontal = CopyModelRays(result);
    ASSERT_EQ(Offset(kOffsetModeNormal, -1.5), 1);
    const ModelRays normal = CopyModelRays(result);
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(horizontal.family[f], normal.family[f]);
    }
}

TEST_F(OffsetTest, GrowthWidensTheGridByTheCellRadius) {
    BuildBox(1.0, 0, 0, 0, 10, 10, 10);
    ASSERT_EQ(Offset(kOffsetModeNormal, 2.5), 1);
    EXPECT_TRUE(StockInvariantsHold(result, true));
    EXPECT_EQ(result.nx, 17);
    EXPECT_EQ(result.ny, 17);
    EXPECT_EQ(result.nz, 17);
    EXPECT_EQ(result.origin[0], -3.0);
    EXPECT_EQ(result.origin[2], -3.0);
    EXPECT_EQ(result.pitch, 1.0);
    // A lone Z segment grows by d at both ends; a Z ray at lateral distance 2 by sqrt(2.25).
    EXPECT_EQ(ZRay(result, 8, 8).ends, (Ends{-2.5, 12.5}));
    EXPECT_EQ(ZRay(result, 1, 8).ends, (Ends{-std::sqrt(2.25), 10 + std::sqrt(2.25)}));
    EXPECT_TRUE(ModelContains(result, source));
    // The bounds follow the material: a box grown by 2.5 on every side.
    EXPECT_EQ(result.minCorner[0], -2.5);
    EXPECT_EQ(result.maxCorner[2], 12.5);
}

TEST_F(OffsetTest, TiesAddAndRemoveNothing) {
    // Growth by exactly 2 pitches: the ray 2 pitches away gets the segment itself (q = 0 gives
    // [a, b]), the crossing rays no chord at all; 3 pitches away nothing.
    BuildBox(1.0, 0, 0, 0, 4, 4, 4);
    ASSERT_EQ(Offset(kOffsetModeNormal, 2.0), 1);
    EXPECT_EQ(ZRay(result, 0, 4).ends, (Ends{0, 4}));  // x = -2: lateral distance exactly 2
    EXPECT_EQ(ZRay(result, 0, 0).ends, Ends{});        // (-2, -2): beyond
    EXPECT_EQ(XRay(result, 4, 0).ends, (Ends{0, 4}));  // z = -2 below the bottom face
    // Shrink by 1 of a 2 mm slab: shrinking by half a segment's length removes the segment.
    FreeStockModel(&source);
    BuildBox(1.0, 0, 0, 0, 4, 4, 2);
    ASSERT_EQ(Offset(kOffsetModeNormal, -1.0), 1);
    EXPECT_EQ(ZRay(result, 2, 2).ends, Ends{});
    EXPECT_EQ(XRay(result, 2, 1).ends, (Ends{1, 3}));
    EXPECT_TRUE(StockInvariantsHold(result));
}

TEST_F(OffsetTest, CellRadiusComesFromTheStocksOwnPitch) {
    const DexelPitchSettings saved = DexelPitch;
    DexelPitch.currentPitch = 5.0;  // the pitch of the next stock, not of this one
    BuildBox(0.5, 0, 0, 0, 3, 3, 3);
    ASSERT_EQ(Offset(kOffsetModeNormal, 1.0), 1);
    EXPECT_EQ(result.nx, source.nx + 4);
    EXPECT_EQ(result.origin[1], -1.0);
    DexelPitch = saved;
}

TEST_F(OffsetTest, GrowthToTheLastNodeOfAFinePitchStaysOnTheGrid) {
    // 0.3 / 0.1 rounds so that the top end plus d lands past the last node of the widened grid.
    BuildBox(0.1, 0, 0, 0, 1, 1, 1);
    ASSERT_EQ(Offset(kOffsetModeNormal, 0.3), 1);
    EXPECT_EQ(result.nx, source.nx + 6);
    EXPECT_TRUE(StockInvariantsHold(result));
    EXPECT_TRUE(ModelContains(result, source));
}

TEST_F(OffsetTest, FramedStockKeepsItsFrameAndDerivedFields) {
    const double box[6] = {0, 0, 0, 4, 4, 4};
    StockFrame frame;
    frame.values[1] = 1, frame.values[3] = -1, frame.values[8] = 1;  // 90 deg about Z
    frame.values[9] = 10, frame.values[10] = 20, frame.values[11] = 30;
    SetStockUndoRingSize(&source, 2);
    ASSERT_EQ(CreateBoxStock(&source, box, frame, 1.0), 1);
    ASSERT_EQ(Offset(kOffsetModeNormal, 1.0), 1);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(result.frame.values[i], frame.values[i]);
    }
    EXPECT_EQ(result.frameFlag, 1);
    EXPECT_EQ(result.negatedOffset[2], -30.0);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(result.inverseOrientation[i], source.inverseOrientation[i]);
    }
    // Local x -1..5 turns into work y -1..5 (+20), local y into work -x (+10).
    EXPECT_EQ(result.minCorner[1], 19.0);
    EXPECT_EQ(result.maxCorner[1], 25.0);
    EXPECT_EQ(result.minCorner[0], 5.0);
}

TEST_F(OffsetTest, RefusalsLeaveTheSourceAlone) {
    BuildBox(1.0, 0, 0, 0, 6, 6, 6);
    const ModelRays before = CopyModelRays(source);
    {
        ScopedStockHooks hooks;
        StockCallbacks.availableMemoryBytes = [] { return std::uint64_t{1000}; };
        EXPECT_LT(Offset(kOffsetModeNormal, 1.0), 0);
        EXPECT_EQ(result.nx, 0);
    }
    {
        StockOperationScope running;
        ASSERT_EQ(running.acquired, 1);
        EXPECT_EQ(Offset(kOffsetModeNormal, 1.0), kStockOperationBusy);
    }
    EXPECT_EQ(Offset(kOffsetModeNormal, std::nan("")), kStockDefinitionError);
    const ModelRays after = CopyModelRays(source);
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(before.family[f], after.family[f]);
    }
    EXPECT_EQ(StockOperationRunning.load(), 0);
}

TEST_F(OffsetTest, ProgressReachesTheEndInEveryMode) {
    BuildBox(1.0, 0, 0, 0, 5, 4, 3);
    for (int mode : {1, 2, 3}) {
        for (double d : {1.5, -1.0}) {
            const int k = ComputeOffsetCellRadius(d, source.pitch);
            const int margin = d > 0 ? k : 0;
            FreeStockModel(&result);
            ASSERT_EQ(BuildEmptyStock(&result, source.nx + 2 * margin, source.ny + 2 * margin,
                                      source.nz + 2 * margin, 1.0, 2),
                      1);
            CopyDexelModelWithMargin(source, margin, &result);
            BeginProgress(WindowHandle{}, PROGRESS_MODE_TOTAL,
                          OffsetProgressTotal(source, result, mode, d), nullptr, 0, "j", "e");
            ASSERT_EQ(OffsetDexelModel(source, k, mode, d, &result), 1);
            EXPECT_EQ(GetProgressPerMille(), 1000) << "mode " << mode << " d " << d;
            EndProgress();
        }
    }
}

// --- Analytic shapes -----------------------------------------------------------------------

// A box whose faces lie on nodes, grown by d: every ray of every family is the chord of the
// box's Minkowski sum with a ball, sampled at the ray's node.
TEST_F(OffsetTest, NormalGrowthOfABoxIsTheRoundedBox) {
    for (const double pitch : {1.0, 0.5, 0.25}) {
        for (const double d : {0.5, 1.0, 1.75}) {
            FreeStockModel(&source);
            BuildBox(pitch, 1, 2, 0, 4, 5, 3, true);
            ASSERT_EQ(Offset(kOffsetModeNormal, d), 1);
            ASSERT_TRUE(StockInvariantsHold(result, true));
            const double lo[3] = {1, 2, 0}, hi[3] = {4, 5, 3};
            int mismatches = 0;
            for (int axis = 0; axis < 3; ++axis) {
                const int u = (axis + 1) % 3, v = (axis + 2) % 3;
                const int counts[3] = {result.nx, result.ny, result.nz};
                int node[3] = {};
                for (node[v] = 0; node[v] < counts[v]; ++node[v]) {
                    for (node[u] = 0; node[u] < counts[u]; ++node[u]) {
                        double rho2 = 0;
                        for (int a : {u, v}) {
                            const double c = node[a] * pitch + result.origin[a];
                            const double gap = c < lo[a] ? lo[a] - c : (c > hi[a] ? c - hi[a] : 0);
                            rho2 += gap * gap;
                        }
                        Ends want;
                        if (rho2 <= d * d) {
                            const double h = std::sqrt(d * d - rho2);
                            want = {lo[axis] - h, hi[axis] + h};
                        }
                        const std::int64_t cell =
                            static_cast<std::int64_t>(node[v]) * counts[u] + node[u];
                        const DexelFamily& f =
                            axis == 2 ? result.z : (axis == 0 ? result.x : result.y);
                        const DexelRay got = ReadDexelRay(f, cell);
                        mismatches += got.ends != want;
                        if (!want.empty()) {
                            mismatches += got.flags != std::vector<std::uint8_t>(2, 0);
                        }
                    }
                }
            }
            EXPECT_EQ(mismatches, 0) << "pitch " << pitch << " d " << d;
        }
    }
}

// A Z cylinder shrunk by 1 is the cylinder one smaller in radius and 1 shorter at both ends.
TEST_F(OffsetTest, ShrunkCylinderIsTheSmallerCylinder) {
    AnalyticSolid cylinder;
    AnalyticPart part;
    part.kind = AnalyticPart::kZCylinder;
    part.a[0] = 5, part.a[1] = 5, part.a[2] = 0;
    part.b[0] = 4, part.b[2] = 10;
    cylinder.parts.push_back(part);
    const int nodes[3] = {41, 41, 41};
    const double origin[3] = {0, 0, 0};
    ASSERT_EQ(BuildAnalyticStock(&source, nodes, 0.25, origin, cylinder), 1);
    ASSERT_EQ(Offset(kOffsetModeNormal, -1.0), 1);
    EXPECT_TRUE(StockInvariantsHold(result, true));
    AnalyticSolid smaller = cylinder;
    smaller.parts[0].b[0] = 3, smaller.parts[0].a[2] = 1, smaller.parts[0].b[2] = 9;
    EXPECT_TRUE(MatchesSolidAtNodes(result, smaller, 0.1));
    EXPECT_TRUE(ModelContains(source, result));
}

TEST_F(OffsetTest, ZModeGrowsAlongZOnly) {
    BuildBox(1.0, 0, 0, 0, 6, 6, 10, true);
    ASSERT_EQ(Offset(kOffsetModeZ, 2.5), 1);
    EXPECT_TRUE(StockInvariantsHold(result, true));
    ASSERT_EQ(result.nz, 17);
    for (int ix = 0; ix < result.nx; ++ix) {
        for (int iy = 0; iy < result.ny; ++iy) {
            const bool footprint = ix >= 3 && ix <= 9 && iy >= 3 && iy <= 9;
            EXPECT_EQ(ZRay(result, ix, iy).ends, footprint ? (Ends{-2.5, 12.5}) : Ends{});
        }
    }
    // X and Y rays: layers z = -2..12 hold the footprint, z = -3 and 13 are empty.
    for (int iz = 0; iz < result.nz; ++iz) {
        const double z = iz - 3.0;
        const bool filled = z >= -2 && z <= 12;
        EXPECT_EQ(XRay(result, 6, iz).ends, filled ? (Ends{0, 6}) : Ends{}) << z;
        EXPECT_EQ(YRay(result, 6, iz).ends, filled ? (Ends{0, 6}) : Ends{}) << z;
    }
    // Every old layer got copies of its neighbours, so it lost its marks.
    EXPECT_EQ(XRay(result, 6, 8).flags, (std::vector<std::uint8_t>{0, 0}));
    EXPECT_TRUE(ChangedRaysUnmarked(result));
    EXPECT_TRUE(ModelContains(result, source));
}

TEST_F(OffsetTest, ZModeResyncWritesOnlyRaysItChanges) {
    // d below the pitch spreads no layer: the X and Y rays of the old layers are rebuilt with
    // the same ends and keep their marks; the Z rays grew and lost theirs.
    BuildBox(1.0, 0, 0, 0, 4, 4, 4, true);
    ASSERT_EQ(Offset(kOffsetModeZ, 0.5), 1);
    EXPECT_TRUE(StockInvariantsHold(result, true));
    EXPECT_EQ(ZRay(result, 3, 3).ends, (Ends{-0.5, 4.5}));
    EXPECT_EQ(ZRay(result, 3, 3).flags, (std::vector<std::uint8_t>{0, 0}));
    for (int iz = 1; iz <= 5; ++iz) {
        const DexelRay x = XRay(result, 3, iz);
        EXPECT_EQ(x.ends, (Ends{0, 4}));
        EXPECT_EQ(x.flags, (std::vector<std::uint8_t>{0x21, 0x21}));
        EXPECT_EQ(x.stamps, (std::vector<std::int32_t>{7, 7}));
    }
    EXPECT_EQ(XRay(result, 3, 0).ends, Ends{});
}

TEST_F(OffsetTest, HorizonModeKeepsZExtents) {
    BuildBox(1.0, 0, 0, 2, 6, 6, 8);
    ASSERT_EQ(Offset(kOffsetModeHorizontal, 2.0), 1);
    EXPECT_TRUE(StockInvariantsHold(result, true));
    double lo[3], hi[3];
    GetStockExtent(result, lo, hi);
    EXPECT_EQ(lo[2], 2.0);
    EXPECT_EQ(hi[2], 8.0);
    EXPECT_EQ(lo[0], -2.0);
    EXPECT_EQ(hi[1], 8.0);
    // Z rays within the disc of the footprint hold [2, 8]; the end discs give the crossing rays
    // at u = a - d nothing beyond what their own family gave them.
    EXPECT_EQ(ZRay(result, 0, 5).ends, (Ends{2, 8}));  // x = -2
    EXPECT_EQ(ZRay(result, 0, 0).ends, Ends{});        // (-2, -2): 2.83 away
    EXPECT_EQ(XRay(result, 0, 5).ends, (Ends{0, 6}));  // y = -2: q = 0 copies the segment
    EXPECT_EQ(XRay(result, 1, 5).ends, (Ends{-std::sqrt(3.0), 6 + std::sqrt(3.0)}));
    EXPECT_TRUE(ModelContains(result, source));
}

// --- Random solids against the reference ----------------------------------------------------

// Unions of up to three boxes and balls, all within [0.05, size - 0.05] mm.
AnalyticSolid RandomSolid(std::mt19937& rng, double size) {
    std::uniform_real_distribution<double> position(1.0, size - 1.0);
    std::uniform_real_distribution<double> centre(3.0, size - 3.0);
    std::uniform_int_distribution<int> kinds(0, 2);
    AnalyticSolid solid;
    const int parts = 1 + static_cast<int>(rng() % 3);
    for (int i = 0; i < parts; ++i) {
        AnalyticPart part;
        if (kinds(rng) == 0) {
            part.kind = AnalyticPart::kBall;
            for (double& c : part.a) {
                c = centre(rng);
            }
            part.b[0] = 1.1 + 0.37 * (rng() % 6);
        } else {
            part.kind = AnalyticPart::kBox;
            for (int a = 0; a < 3; ++a) {
                // Faces on quarter millimetres: on nodes at some pitches, between them at others.
                const double u = std::round(position(rng) * 4) / 4;
                const double v = std::round(position(rng) * 4) / 4;
                part.a[a] = std::min(u, v);
                part.b[a] = std::max(u, v) + 0.75;
            }
        }
        solid.parts.push_back(part);
    }
    return solid;
}

TEST_F(OffsetTest, RandomSolidsMatchTheReferenceInEveryMode) {
    const unsigned seed = 20240611;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    const double values[] = {0.5, 0.75, 1.0, 1.6, -0.5, -0.8, -1.3};
    for (int round = 0; round < 24; ++round) {
        const double pitch = round % 3 == 0 ? 1.0 : 0.5;
        const AnalyticSolid solid = RandomSolid(rng, 8.0);
        const int n = static_cast<int>(8.0 / pitch) + 1;
        const int nodes[3] = {n, n, n};
        const double origin[3] = {0, 0, 0};
        ASSERT_EQ(BuildAnalyticStock(&source, nodes, pitch, origin, solid, true), 1);
        ASSERT_TRUE(StockInvariantsHold(source, true));
        const int mode = 1 + round % 3;
        const double d = values[rng() % 7];
        SCOPED_TRACE(::testing::Message()
                     << "round " << round << " mode " << mode << " d " << d << " pitch " << pitch);
        ASSERT_EQ(Offset(mode, d), 1);
        EXPECT_TRUE(StockInvariantsHold(result));
        EXPECT_TRUE(SameRays(result, ReferenceOffset(source, mode, d)));
        EXPECT_TRUE(d > 0 ? ModelContains(result, source) : ModelContains(source, result));
        EXPECT_TRUE(ChangedRaysUnmarked(result));
    }
}

// --- Clean-up joins ------------------------------------------------------------------------

TEST(MergeSubPitchGaps, ClosesOnlyGapsWithoutANodeLine) {
    struct Case {
        Ends in;
        Ends gaps;     // after MergeSubPitchGaps
        Ends atNodes;  // after MergeSubPitchGapsAtNodes
    };
    const Case cases[] = {
        {{0, 3.2, 3.7, 6}, {0, 6}, {0, 3.2, 3.7, 6}},
        {{0, 3.5, 4.5, 6}, {0, 3.5, 4.5, 6}, {0, 3.5, 4.5, 6}},
        {{0, 3, 4, 6}, {0, 6}, {0, 3, 4, 6}},
        {{0, 3, 3, 6}, {0, 3, 3, 6}, {0, 3, 3, 6}},    // touching on a node line
        {{0, 2.5, 2.5, 6}, {0, 6}, {0, 2.5, 2.5, 6}},  // touching between node lines
        {{3, 3, 4, 6}, {3, 6}, {3, 6}},                // zero-length kept segment
        {{0, 3, 4, 4, 7.5, 8}, {0, 4, 7.5, 8}, {0, 4, 7.5, 8}},
        {{1, 2}, {1, 2}, {1, 2}},
    };
    for (const Case& c : cases) {
        Ends out(c.in.size());
        int count = -1;
        ASSERT_EQ(MergeSubPitchGaps(c.in.data(), static_cast<int>(c.in.size()), 1.0, 0.0,
                                    out.data(), &count),
                  1);
        out.resize(static_cast<std::size_t>(count));
        EXPECT_EQ(out, c.gaps);
        Ends inPlace = c.in;
        ASSERT_EQ(MergeSubPitchGapsAtNodes(inPlace.data(), static_cast<int>(inPlace.size()), 1.0,
                                           0.0, inPlace.data(), &count),
                  1);
        inPlace.resize(static_cast<std::size_t>(count));
        EXPECT_EQ(inPlace, c.atNodes);
    }
    // Node lines counted from the origin of the ray's axis.
    const Ends shifted = {0.5, 3.7, 4.2, 6};
    Ends out(4);
    int count = 0;
    MergeSubPitchGaps(shifted.data(), 4, 1.0, 0.5, out.data(), &count);
    EXPECT_EQ(count, 2);
}

TEST(MergeSubPitchGaps, OddListIsKeptNotEmptied) {
    const Ends odd = {1, 2, 3};
    Ends out(3, -1);
    int count = 0;
    EXPECT_EQ(MergeSubPitchGaps(odd.data(), 3, 1.0, 0.0, out.data(), &count),
              kDexelIntervalOddCount);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(out, odd);
    EXPECT_EQ(MergeSubPitchGapsAtNodes(odd.data(), 1, 1.0, 0.0, out.data(), &count),
              kDexelIntervalOddCount);
    EXPECT_EQ(count, 1);
}

}  // namespace
}  // namespace mirexa
