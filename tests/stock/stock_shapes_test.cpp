// Pitch choice, box and cylinder stocks against hand-worked rays and analytic volumes, and the
// placement of a stock.
#include "stock/stock_shapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

#include "geometry/vector_math.h"
#include "stock/grid_node_index.h"
#include "stock/stock_grid.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

// Rays by node indices, by the family index rules.
DexelRay ZRay(const StockModel& m, int ix, int iy) {
    return ReadDexelRay(m.z, static_cast<std::int64_t>(iy) * m.nx + ix);
}
DexelRay XRay(const StockModel& m, int iy, int iz) {
    return ReadDexelRay(m.x, static_cast<std::int64_t>(iz) * m.ny + iy);
}
DexelRay YRay(const StockModel& m, int ix, int iz) {
    return ReadDexelRay(m.y, static_cast<std::int64_t>(ix) * m.nz + iz);
}

// Volume (mm^3) of one family: each ray's material length times its share of the cross
// section, with half weights on the outermost node lines (trapezoid rule across the rays).
double FamilyVolume(const StockModel& m, int axis) {
    const int n[3] = {m.nx, m.ny, m.nz};
    const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
    auto weight = [&](int i, int count) { return (i == 0 || i == count - 1) ? 0.5 : 1.0; };
    double volume = 0;
    for (int i1 = 0; i1 < n[a1]; ++i1) {
        for (int i2 = 0; i2 < n[a2]; ++i2) {
            int idx[3] = {};
            idx[a1] = i1;
            idx[a2] = i2;
            DexelRay ray = axis == 2
                               ? ZRay(m, idx[0], idx[1])
                               : (axis == 0 ? XRay(m, idx[1], idx[2]) : YRay(m, idx[0], idx[2]));
            double length = 0;
            for (std::size_t k = 0; k + 1 < ray.ends.size(); k += 2) {
                length += ray.ends[k + 1] - ray.ends[k];
            }
            volume += length * weight(i1, n[a1]) * weight(i2, n[a2]) * m.cellWeight;
        }
    }
    return volume;
}

class ShapeTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetStockUndoRingSize(&model, 2);
    }
    void TearDown() override {
        FreeStockModel(&model);
    }
    StockModel model;
};

TEST(ChooseDexelPitch, AutomaticFixedMinimumAndFallback) {
    const DexelPitchSettings savedPitch = DexelPitch;
    const StockDefinition savedStock = InitialStock;
    struct Case {
        double box[6];
        int automatic;
        double requested, minimum;
        int limit;
        double expected;
    };
    const Case cases[] = {
        // 101 x 101 x 51 nodes at 1 mm are too many; 1.5 mm gives 18,496 ends.
        {{0, 0, 0, 100, 100, 50}, 1, 1.0, 0.01, 20000, 1.5},
        {{0, 0, 0, 100, 100, 50}, 1, 1.0, 2.0, 20000, 2.0},
        {{0, 0, 0, 100, 100, 50}, 0, 0.3, 0.01, 20000, 0.3},
        // Nothing fits: the coarsest candidate, not the finer requested pitch.
        {{0, 0, 0, 100, 100, 50}, 1, 1.0, 0.01, 10, 10.0},
        // 500 mm cube: at 0.001 mm nx * ny alone is 2.5e11; 0.025 gives 2.4e9 ends, 0.05 6.0e8.
        {{0, 0, 0, 500, 500, 500}, 1, 1.0, 0.0, 2000000000, 0.05},
        {{0, 0, 0, 500, 500, 200}, 1, 1.0, 0.01, 20000, 7.0},
    };
    for (const Case& c : cases) {
        std::copy(std::begin(c.box), std::end(c.box), InitialStock.box);
        DexelPitch = DexelPitchSettings{};
        DexelPitch.automatic = c.automatic;
        DexelPitch.requestedPitch = c.requested;
        DexelPitch.minimumPitch = c.minimum;
        DexelPitch.sizeLimit = c.limit;
        DexelPitch.secondPitchAutomatic = 1;
        DexelPitch.secondPitchFactor = 2.0;
        ChooseDexelPitch();
        EXPECT_EQ(DexelPitch.currentPitch, c.expected) << c.limit << " " << c.minimum;
        EXPECT_EQ(DexelPitch.requestedPitch, c.automatic ? c.expected : c.requested);
        EXPECT_EQ(DexelPitch.secondPitch, 2.0 * c.expected);
    }
    DexelPitch = savedPitch;
    InitialStock = savedStock;
}

TEST_F(ShapeTest, BoxRaysSpanTheBoxOrLieBeyondIt) {
    const double exact[6] = {0, 0, 0, 100, 10, 10};
    ASSERT_EQ(CreateBoxStockIdentity(&model, exact, 1.0), 1);
    ASSERT_TRUE(StockInvariantsHold(model, true));
    EXPECT_EQ(model.nx, 101);
    const DexelRay full{{0, 100}, {0, 0}, {0, 0}};
    for (int iy = 0; iy < model.ny; ++iy) {
        EXPECT_EQ(XRay(model, iy, 3), full);
    }
    const double wider[6] = {0, 0, 0, 100.5, 10, 10};
    ASSERT_EQ(CreateBoxStockIdentity(&model, wider, 1.0), 1);
    ASSERT_TRUE(StockInvariantsHold(model, true));
    EXPECT_EQ(model.nx, 102);
    EXPECT_TRUE(ZRay(model, 101, 4).ends.empty());
    EXPECT_TRUE(YRay(model, 101, 4).ends.empty());
    EXPECT_EQ(ZRay(model, 100, 4).ends, (std::vector<double>{0, 10}));
    EXPECT_EQ(XRay(model, 4, 4).ends, (std::vector<double>{0, 100.5}));
    EXPECT_EQ(model.frameFlag, 0);
    EXPECT_EQ(model.reservedNodes[0], 101);
}

// Decimal extents whose last node rounds a hair beyond the face keep their last node line.
TEST_F(ShapeTest, DecimalBoxesKeepTheirLastNodeLine) {
    const double boxes[][6] = {{0, 0, 0, 3.3, 0.5, 0.4}, {10, 0, 0, 13.3, 0.3, 0.7}};
    for (const auto& box : boxes) {
        ASSERT_EQ(CreateBoxStockIdentity(&model, box, 0.01), 1);
        EXPECT_EQ(model.nx, 331);
        for (int iz = 0; iz < model.nz; ++iz) {
            EXPECT_EQ(YRay(model, model.nx - 1, iz).ends.size(), 2u) << box[0] << " iz " << iz;
        }
        ASSERT_TRUE(StockInvariantsHold(model, true)) << box[0];
    }
}

TEST_F(ShapeTest, RandomBoxesFollowTheRayRule) {
    const unsigned seed = 99;
    std::printf("random seed %u\n", seed);
    std::mt19937 rng(seed);
    const double pitches[] = {0.1, 0.2, 0.25, 0.3, 0.5, 0.7, 1.0};
    for (int round = 0; round < 40; ++round) {
        const double p = pitches[rng() % std::size(pitches)];
        double box[6];
        for (int a = 0; a < 3; ++a) {
            box[a] = (static_cast<int>(rng() % 1000) - 500) / 10.0;
            box[a + 3] = box[a] + (1 + rng() % (a == 2 ? 300 : 1500)) / 100.0;
        }
        ASSERT_EQ(CreateBoxStockIdentity(&model, box, p), 1);
        ASSERT_TRUE(StockInvariantsHold(model, true)) << "round " << round;
        const double* nodes[3] = {model.nodesX, model.nodesY, model.nodesZ};
        const int n[3] = {model.nx, model.ny, model.nz};
        for (int a = 0; a < 3; ++a) {
            // The grid covers the box and no more than one node line beyond it.
            ASSERT_GE(nodes[a][n[a] - 1], box[a + 3] - 1e-9);
            ASSERT_LT(nodes[a][n[a] - 2], box[a + 3]);
        }
        // A max face within the grid's slack of the last node line lies on it.
        const double lastX = model.nodesX[model.nx - 1];
        const double top = std::fabs(box[3] - lastX) <= kNodeSlack * p ? lastX : box[3];
        for (int iz = 0; iz < model.nz; ++iz) {
            for (int iy = 0; iy < model.ny; ++iy) {
                const bool inside = model.nodesY[iy] <= box[4] + kNodeSlack * p &&
                                    model.nodesZ[iz] <= box[5] + kNodeSlack * p;
                const DexelRay ray = XRay(model, iy, iz);
                const std::vector<double> expected =
                    inside ? std::vector<double>{box[0], top} : std::vector<double>{};
                ASSERT_EQ(ray.ends, expected);
            }
        }
    }
}

TEST_F(ShapeTest, BoxVolumesMatchTheAnalyticVolume) {
    const double onNodes[6] = {0, 0, 0, 10, 6, 4};
    const double offNodes[6] = {0.3, 0, -0.1, 10.6, 6.2, 4.1};
    for (double p : {1.0, 0.5, 0.25}) {
        for (const double* box : {onNodes, offNodes}) {
            ASSERT_EQ(CreateBoxStockIdentity(&model, box, p), 1);
            ASSERT_TRUE(StockInvariantsHold(model, true));
            const double e[3] = {box[3] - box[0], box[4] - box[1], box[5] - box[2]};
            const double volume = e[0] * e[1] * e[2];
            const double surface = 2 * (e[0] * e[1] + e[1] * e[2] + e[2] * e[0]);
            for (int axis = 0; axis < 3; ++axis) {
                const double v = FamilyVolume(model, axis);
                if (box == onNodes) {
                    EXPECT_NEAR(v, volume, 1e-9 * volume) << "pitch " << p << " axis " << axis;
                } else {
                    EXPECT_NEAR(v, volume, surface * p / 2) << "pitch " << p << " axis " << axis;
                }
            }
        }
    }
}

TEST_F(ShapeTest, FramedBoxStoresWorkBoundsAndItsInverse) {
    // Local x runs along work y, local y along work -x; offset (10, 20, 30).
    StockFrame frame;
    const double values[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, 10, 20, 30};
    std::copy(std::begin(values), std::end(values), frame.values);
    const double box[6] = {0, 0, 0, 4, 3, 2};
    ASSERT_EQ(CreateBoxStock(&model, box, frame, 1.0), 1);
    ASSERT_TRUE(StockInvariantsHold(model, true));
    const double lo[3] = {7, 20, 30}, hi[3] = {10, 24, 32};
    for (int a = 0; a < 3; ++a) {
        EXPECT_EQ(model.minCorner[a], lo[a]);
        EXPECT_EQ(model.maxCorner[a], hi[a]);
        EXPECT_EQ(model.negatedOffset[a], -values[9 + a]);
    }
    EXPECT_EQ(model.frameFlag, 1);
    // inverse * orientation = identity
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            double s = 0;
            for (int k = 0; k < 3; ++k) {
                s += model.inverseOrientation[3 * i + k] * values[3 * k + j];
            }
            EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-15);
        }
    }
}

TEST_F(ShapeTest, InvalidDefinitionsAreRefusedWithoutAGrid) {
    const double good[6] = {0, 0, 0, 10, 10, 10};
    const double flat[6] = {0, 0, 0, 10, 0, 10};
    const double inverted[6] = {0, 0, 0, -10, 10, 10};
    const double huge[6] = {0, 0, 0, 1e10, 1, 1};
    const double nan[6] = {0, 0, 0, std::nan(""), 1, 1};
    struct Case {
        const double* box;
        double pitch;
    };
    const Case cases[] = {{good, 0.0},     {good, -1.0}, {good, std::nan("")}, {flat, 1.0},
                          {inverted, 1.0}, {huge, 1.0},  {nan, 1.0},           {good, 1e-12}};
    for (const Case& c : cases) {
        EXPECT_EQ(CreateBoxStockIdentity(&model, c.box, c.pitch), kStockDefinitionError)
            << c.box[3] << " " << c.pitch;
        EXPECT_EQ(model.nx, 0);
        EXPECT_EQ(model.undo.slots, nullptr);
    }
    const double base[3] = {0, 0, 0};
    struct CylinderCase {
        int axis;
        double length, outer, inner, pitch;
    };
    const CylinderCase cylinders[] = {
        {3, 10, 5, 0, 1}, {-1, 10, 5, 0, 1}, {2, 0, 5, 0, 1},   {2, 10, 0, 0, 1},
        {2, 10, 5, 5, 1}, {2, 10, 5, 6, 1},  {2, 10, 5, -1, 1}, {2, 10, 5, 0, 0},
    };
    for (const CylinderCase& c : cylinders) {
        EXPECT_EQ(CreateCylinderStock(&model, base, c.axis, c.length, c.outer, c.inner, c.pitch),
                  kStockDefinitionError)
            << c.axis << " " << c.length << " " << c.outer << " " << c.inner;
        EXPECT_EQ(model.nx, 0);
    }
}

TEST_F(ShapeTest, TubeAlongZHasTheHandWorkedRays) {
    const double base[3] = {5, -3, 2};
    ASSERT_EQ(CreateCylinderStock(&model, base, 2, 30, 50, 20, 10), 0);
    ASSERT_TRUE(StockInvariantsHold(model, true));
    ASSERT_EQ(model.nx, 11);
    ASSERT_EQ(model.ny, 11);
    ASSERT_EQ(model.nz, 4);
    EXPECT_EQ(model.origin[0], -45.0);
    EXPECT_TRUE(ZRay(model, 5, 5).ends.empty());  // on the axis: inside the bore
    EXPECT_EQ(ZRay(model, 8, 5).ends, (std::vector<double>{2, 32}));  // 30 from the axis
    EXPECT_TRUE(ZRay(model, 10, 10).ends.empty());                    // corner, outside
    // X rays at y = base + 10 (through the bore), + 30, + 50 (touching).
    const double a = std::sqrt(2500.0 - 100.0), b = std::sqrt(400.0 - 100.0);
    const std::vector<double> four = {5 - a, 5 - b, 5 + b, 5 + a};
    const DexelRay bore = XRay(model, 6, 1);
    ASSERT_EQ(bore.ends.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(bore.ends[i], four[i], 1e-12);
    }
    const double c = std::sqrt(2500.0 - 900.0);
    EXPECT_EQ(XRay(model, 8, 0).ends, (std::vector<double>{5 - c, 5 + c}));
    EXPECT_EQ(XRay(model, 10, 3).ends, (std::vector<double>{5, 5}));
    EXPECT_EQ(YRay(model, 0, 2).ends, (std::vector<double>{-3, -3}));
    EXPECT_EQ(model.minCorner[0], -45.0);
    EXPECT_EQ(model.maxCorner[2], 32.0);
    EXPECT_EQ(model.frameFlag, 0);
}

TEST_F(ShapeTest, CylinderAndTubeVolumesMatchTheAnalyticVolume) {
    const double base[3] = {-8, 1.5, 0.25};
    const double length = 12, outer = 10;
    for (double inner : {0.0, 4.0}) {
        for (int axis = 0; axis < 3; ++axis) {
            for (double p : {1.0, 0.5, 0.25}) {
                ASSERT_EQ(CreateCylinderStock(&model, base, axis, length, outer, inner, p), 0);
                ASSERT_TRUE(StockInvariantsHold(model, true))
                    << "axis " << axis << " pitch " << p << " inner " << inner;
                const double volume = std::numbers::pi * (outer * outer - inner * inner) * length;
                // A lattice sampling of the section errs by at most a band of about half a
                // pitch along its boundary.
                const double bound = std::numbers::pi * (outer + inner) * p * length;
                for (int family = 0; family < 3; ++family) {
                    EXPECT_NEAR(FamilyVolume(model, family), volume, bound)
                        << "axis " << axis << " pitch " << p << " family " << family;
                }
            }
        }
    }
}

TEST_F(ShapeTest, NegativeLengthStartsTheCylinderEarlier) {
    const double shifted[3] = {0, 0, 10}, plain[3] = {0, 0, 0};
    ASSERT_EQ(CreateCylinderStock(&model, shifted, 2, -10, 3, 1, 0.5), 0);
    StockModel reference;
    ASSERT_EQ(CreateCylinderStock(&reference, plain, 2, 10, 3, 1, 0.5), 0);
    ASSERT_TRUE(StockInvariantsHold(model, true));
    ASSERT_EQ(model.nz, reference.nz);
    for (std::int64_t cell = 0; cell < model.x.cellCount; ++cell) {
        ASSERT_EQ(ReadDexelRay(model.x, cell), ReadDexelRay(reference.x, cell));
    }
    EXPECT_EQ(model.minCorner[2], 0.0);
    EXPECT_EQ(model.maxCorner[2], 10.0);
    FreeStockModel(&reference);
}

TEST_F(ShapeTest, TranslationMovesThePlacementAndRefreshesTheFrame) {
    const double box[6] = {0, 0, 0, 4, 3, 2};
    ASSERT_EQ(CreateBoxStockIdentity(&model, box, 1.0), 1);
    PushStockUndo(&model);  // two undo states share the one frame
    const DexelRay before = ZRay(model, 1, 1);
    const double step[3] = {10, 0, 0};
    TranslateStock(&model, step);
    TranslateStock(&model, step);
    EXPECT_EQ(model.frame.values[9], 20.0);
    EXPECT_EQ(model.negatedOffset[0], -20.0);
    EXPECT_EQ(model.minCorner[0], 20.0);
    EXPECT_EQ(model.maxCorner[0], 24.0);
    EXPECT_EQ(model.frameFlag, 1);  // a moved stock must be cut where it now lies
    EXPECT_EQ(ZRay(model, 1, 1), before);
    EXPECT_EQ(model.nodesX[0], 0.0);
    PopStockUndo(&model);  // the earlier state moved with the frame too
    EXPECT_EQ(model.minCorner[0], 20.0);
    EXPECT_EQ(model.maxCorner[0], 24.0);
    const double back[3] = {-20, 0, 0};
    TranslateStock(&model, back);
    EXPECT_EQ(model.frameFlag, 0);
    ASSERT_TRUE(StockInvariantsHold(model, true));
    // A cylinder based on the stock's own corner, which the rebuild releases.
    ASSERT_EQ(CreateCylinderStock(&model, model.maxCorner, 2, 1, 1, 0, 0.5), 0);
    EXPECT_EQ(model.origin[2], 2.0);
    EXPECT_EQ(model.origin[0], 3.0);
}

}  // namespace
}  // namespace mirexa
