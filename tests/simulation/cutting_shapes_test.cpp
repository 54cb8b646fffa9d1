// Every tool shape as the tools file gives it, made current by the tool selection: plunged and
// swept through a box stock, the families agree and keep their volume books; plunge tops follow
// the tool's own profile. Then the special rules of T-THROW, RADIUS, OVAL and concave corners.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "cutting_test_support.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "simulation/cutting_core.h"
#include "simulation/dexel_grid_view.h"
#include "simulation/interference_flags.h"
#include "simulation/tool_length_report.h"
#include "stock/stock_grid.h"
#include "support/stock_invariants.h"
#include "support/test_cutting_run.h"

namespace mirexa {
namespace {

using testing::BuildBoxStock;
using testing::CutAndCheck;
using testing::VolumeBooks;

constexpr double kUp[3] = {0, 0, 1};

class CuttingShapesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(AllocToolTables(4), 1);
    }
    void TearDown() override {
        FreeStockModel(&model_);
        FreeToolTables();
        RunTools.tool = CurrentToolRecord{};
    }
    // Makes the record tool 1 and current, at the stock's pitch.
    void Select(const ToolRecord& record, double pitch) {
        ToolTableSet.tools[1] = record;
        ToolTableSet.tools[1].present = 1;
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, pitch);
        LoadCutterSections(RunTools.tool, &TestRun.cutting.cutter);
    }
    testing::ScopedCuttingState state_;
    StockModel model_;
    VolumeBooks books_;
};

ToolRecord Record(std::uint32_t type, float d, float r, float e, float f, float alpha, float beta,
                  float h) {
    ToolRecord t;
    t.type = type;
    t.d = d, t.r = r, t.e = e, t.f = f, t.alpha = alpha, t.beta = beta, t.h = h;
    return t;
}

// The distance (mm) of the point (rho, height) from the cutting part's outline, a polyline of
// (radius, height) points from the tip.
double DistanceToProfile(const ToolProfile& p, double rho, double height) {
    double best = 1e300;
    for (int i = 0; i + 1 < p.cutterPointCount; ++i) {
        const double r0 = p.radii[i], h0 = p.heights[i];
        const double dr = p.radii[i + 1] - r0, dh = p.heights[i + 1] - h0;
        const double len2 = dr * dr + dh * dh;
        double s = len2 > 0.0 ? ((rho - r0) * dr + (height - h0) * dh) / len2 : 0.0;
        s = std::clamp(s, 0.0, 1.0);
        best = std::min(best, std::hypot(rho - (r0 + s * dr), height - (h0 + s * dh)));
    }
    return best;
}

// The lowest height of the outline at radius rho (mm above the tip).
double LowestProfileHeight(const ToolProfile& p, double rho) {
    double lowest = 1e300;
    for (int i = 0; i + 1 < p.cutterPointCount; ++i) {
        const double r0 = p.radii[i], r1 = p.radii[i + 1];
        if ((rho - r0) * (rho - r1) <= 0.0 && r0 != r1) {
            const double s = (rho - r0) / (r1 - r0);
            lowest = std::min(lowest, p.heights[i] + s * (p.heights[i + 1] - p.heights[i]));
        }
    }
    return lowest;
}

struct ShapeCase {
    std::string name;
    ToolRecord record;
};

std::vector<ShapeCase> ConvexShapes() {
    std::vector<ShapeCase> shapes;
    shapes.push_back({"ball", Record(kToolBall, 8, 4, 0, 4, 0, 0, 20)});
    shapes.push_back({"flat", Record(kToolFlat, 8, 0, 0, 0, 0, 0, 20)});
    shapes.push_back({"bull", Record(kToolBull, 8, 1.5, 2.5, 1.5, 0, 0, 20)});
    shapes.push_back({"bull with a spindle corner", Record(kToolBull, 8, 3, 1, 3, 0, 0, 20)});
    shapes.push_back({"tapered with corner", Record(kToolGeneralCutter, 6, 1, 0, 0, 0, 10, 8)});
    shapes.push_back({"drill point", Record(kToolGeneralCutter, 8, 0, 0, 0, 31, 0, 20)});
    shapes.push_back({"pointed with corner", Record(kToolGeneralCutter, 8, 1, 0, 0, 20, 0, 20)});
    shapes.push_back({"pointed, corner, taper", Record(kToolGeneralCutter, 6, 1, 0, 0, 20, 15, 9)});
    shapes.push_back({"vee 90", Record(kToolKegaki, 8, 0, 0, 0, 45, 0, 20)});
    shapes.push_back({"oval", Record(kToolOval, 8, 1, 6, 3, 0, 0, 20)});
    shapes.push_back({"taper ball", Record(kToolTaperBall, 0, 2, 0, 0, 0, 8, 12)});
    shapes.push_back({"sphere", Record(kToolSphere, 8, 4, 0, 4, 0, 0, 20)});
    ToolRecord vertical = Record(kToolVertical, 8, 0, 0, 0, 0, 0, 20);
    vertical.k = 1;
    shapes.push_back({"vertical", vertical});
    return shapes;
}

// A plunge of each convex shape: Z tops against the tool's outline, then a tilted sweep; the
// families agree and every family's books balance after each cut.
TEST_F(CuttingShapesTest, EveryShapePlungesToItsProfileAndSweepsCleanly) {
    for (const ShapeCase& shape : ConvexShapes()) {
        SCOPED_TRACE(shape.name);
        const double pitch = 0.25;
        const double box[6] = {0, 0, 0, 24, 16, 12};
        BuildBoxStock(&model_, box, pitch);
        ToolRecord record = shape.record;
        DeriveToolShape(&record);
        Select(record, pitch);
        testing::OpenVolumeBooks(model_, &books_);
        const double xc = 6.1, yc = 7.95, depth = 2.5, tipZ = 12.0 - depth;
        const double p[3] = {xc, yc, tipZ};
        ASSERT_TRUE(CutAndCheck(&model_, p, kUp, &books_));
        EXPECT_GT(testing::LastCutVolume, 0.0);
        const double R = TestRun.cutting.cutter.topRadius;
        for (int iy = 0; iy < model_.ny; ++iy) {
            for (int ix = 0; ix < model_.nx; ++ix) {
                const double rho = std::hypot(model_.nodesX[ix] - xc, model_.nodesY[iy] - yc);
                if (rho > R - 0.05) {
                    continue;
                }
                // The Z ray's new top lies on the outline; the profile samples its arcs by
                // radius steps, whose chords sag by up to 0.1 mm on the steep end of a ball.
                const double top = testing::ZRayTop(model_, ix, iy);
                if (top < 12.0) {
                    ASSERT_LT(DistanceToProfile(RunTools.profile, rho, top - tipZ), 0.1)
                        << "rho " << rho << " height " << top - tipZ;
                } else {
                    ASSERT_GT(LowestProfileHeight(RunTools.profile, rho), depth - 0.1)
                        << "rho " << rho;
                }
            }
        }
        // A tilted sweep across the block.
        for (int i = 0; i <= 12; ++i) {
            const double axis[3] = {0.34202014332566871, 0.0, 0.93969262078590832};  // 20 deg
            const double q[3] = {8.0 + i * 0.9, 8.3, 9.0 - 0.1 * i};
            ASSERT_TRUE(CutAndCheck(&model_, q, axis, &books_)) << "step " << i;
        }
        ASSERT_TRUE(testing::VolumeBooksBalance(model_, books_));
    }
}

// T-slot cutters, with and without corners, a neck wider or narrower than the disc, and a
// lower corner above half the disc height (its chord split by the cylinder above p1).
TEST_F(CuttingShapesTest, TSlotCuttersUndercutAndKeepTheirBooks) {
    struct TCase {
        const char* name;
        float d, r, r2, t, neck;
    };
    const TCase cases[] = {
        {"square disc, narrow neck", 12, 0, 0, 3, 6},
        {"square disc, wide neck", 8, 0, 0, 3, 10},
        {"corners", 12, 1, 0.5, 4, 6},
        {"lower corner above half the disc", 12, 1.5, 0, 2.5, 6},
        {"round disc", 12, 1.5, 1.5, 3, 6},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const double pitch = 0.25;
        const double box[6] = {0, 0, 0, 30, 20, 10};
        BuildBoxStock(&model_, box, pitch);
        ToolRecord record = Record(kToolTThrow, c.d, c.r, 0, 0, 0, 0, 20);
        record.r2 = c.r2;
        record.t = c.t;
        record.neck = c.neck;
        Select(record, pitch);
        testing::OpenVolumeBooks(model_, &books_);
        // Enter from the side at mid height, then run along x.
        for (int i = 0; i <= 20; ++i) {
            const double p[3] = {-4.0 + i * 0.8, 10.1, 4.1};
            ASSERT_TRUE(CutAndCheck(&model_, p, kUp, &books_)) << "step " << i;
        }
        ASSERT_TRUE(testing::VolumeBooksBalance(model_, books_));
        // The slot is cut under material: a Z ray through the disc's path keeps a bridge above.
        const int ix = static_cast<int>(std::lround(6.0 / pitch));
        const int iy = static_cast<int>(std::lround(10.0 / pitch));
        const DexelRay ray = ReadDexelRay(model_.z, std::int64_t{iy} * model_.nx + ix);
        ASSERT_EQ(ray.ends.size(), 4u);
        EXPECT_NEAR(ray.ends[1], 4.1, 0.3);
        EXPECT_DOUBLE_EQ(ray.ends[3], 10.0);
    }
}

// RADIUS tools: the three parts cut by themselves; with CHIP-W CHECK 1 the probe raises its
// height by 0.1 while it would remove material, without cutting the stock (the books balance).
TEST_F(CuttingShapesTest, RadiusToolPartsAndProbe) {
    for (int chip : {0, 2, 1}) {
        SCOPED_TRACE(chip);
        Checks.chipWidthCheck = chip;
        ClearToolLengthMeasurements(TestRun.cutting.measured);
        const double pitch = 0.25;
        const double box[6] = {0, 0, 0, 20, 20, 10};
        BuildBoxStock(&model_, box, pitch);
        ToolRecord record = Record(kToolRadius, 10, 2, 0, 3, 0, 0, 20);
        DeriveToolShape(&record);
        Select(record, pitch);
        testing::OpenVolumeBooks(model_, &books_);
        for (int i = 0; i <= 10; ++i) {
            const double p[3] = {4.0 + i, 10.1, 7.0};
            ASSERT_TRUE(CutAndCheck(&model_, p, kUp, &books_)) << "step " << i;
            if (chip == 2 && i == 0) {
                EXPECT_EQ(TestRun.cutting.flags.overChip, 1);
            }
        }
        // Tilted both ways: the body's inner cylinder comes out of the body chord whichever way
        // the rays run against the axis.
        for (int i = 0; i <= 6; ++i) {
            const double s = i % 2 == 0 ? 0.5 : -0.5;
            const double axis[3] = {s, 0.0, std::sqrt(0.75)};
            const double p[3] = {5.0 + 1.5 * i, 15.2, 7.5};
            ASSERT_TRUE(CutAndCheck(&model_, p, axis, &books_)) << "tilted step " << i;
        }
        ASSERT_TRUE(testing::VolumeBooksBalance(model_, books_));
        if (chip == 1) {
            const double h = TestRun.cutting.measured.centreHeight;
            EXPECT_GT(h, 0.0);
            EXPECT_NEAR(h / 0.1, std::round(h / 0.1), 1e-6);
            // The stock top lies 3 above the upright tip; tilted by 30 deg, 2.5 / cos 30 plus
            // the probe's radius times tan 30 along the axis.
            EXPECT_LE(h, 2.5 / std::sqrt(0.75) + 5.0 * std::sqrt(1.0 / 3.0) + 0.1);
        } else {
            EXPECT_EQ(TestRun.cutting.measured.centreHeight, 0.0);
        }
    }
}

// A concave corner (a corner-rounding cutter): the torus of the corner is taken out of the body,
// leaving a rounded edge on the stock.
TEST_F(CuttingShapesTest, ConcaveCornerLeavesARoundedEdge) {
    const double pitch = 0.2;
    const double box[6] = {0, 0, 0, 20, 20, 10};
    BuildBoxStock(&model_, box, pitch);
    ToolRecord record = Record(kToolBull, 8, -2, 0, 2, 0, 0, 20);
    Select(record, pitch);
    ASSERT_LT(TestRun.cutting.cutter.cornerRadius, 0.0);
    testing::OpenVolumeBooks(model_, &books_);
    // Along the edge x = 20, y running: the tool axis stands outside the block.
    for (int i = 0; i <= 20; ++i) {
        const double p[3] = {20.0 + TestRun.cutting.cutter.cornerTopRadius - 0.05, i * 1.0, 7.9};
        ASSERT_TRUE(CutAndCheck(&model_, p, kUp, &books_)) << "step " << i;
    }
    ASSERT_TRUE(testing::VolumeBooksBalance(model_, books_));
    EXPECT_GT(books_.removed[kDexelViewZ], 0.0);
}

}  // namespace
}  // namespace mirexa
