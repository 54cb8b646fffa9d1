// The cutting core against closed forms: a flat end mill's slot (ray tops, ray gaps, volume), a
// ball-end groove's exact cross-section at nodes, plunge profiles of each shape, the volume
// books of every family, the end marks, the windows, the rebinding, and the side-by-side cut.
#include "simulation/cutting_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "config/config_records.h"
#include "config/tool_tables.h"
#include "cutting_test_support.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "simulation/dexel_grid_view.h"
#include "simulation/interference_flags.h"
#include "simulation/simulation_hooks.h"
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

class CuttingCoreTest : public ::testing::Test {
protected:
    void TearDown() override {
        FreeStockModel(&model_);
    }
    testing::ScopedCuttingState state_;
    StockModel model_;
    VolumeBooks books_;
};

TEST_F(CuttingCoreTest, ViewsNumberRaysLikeTheirFamilies) {
    const double box[6] = {0, 0, 0, 3, 4, 5};
    BuildBoxStock(&model_, box, 1.0);
    BindDexelGridViews(&model_, TestRun.cutting.views);
    const DexelGridView& y = TestRun.cutting.views[kDexelViewY];
    EXPECT_EQ(y.nu, model_.nz);
    EXPECT_EQ(y.nv, model_.nx);
    // The Y view's ray (iu = iz, iv = ix) is the Y family's cell ix * nz + iz.
    const int iz = 3, ix = 2;
    EXPECT_EQ(std::int64_t{ix} * y.nu + iz, std::int64_t{ix} * model_.nz + iz);
    EXPECT_EQ(y.counts, model_.y.counts);
    EXPECT_EQ(y.uCoords[iz], model_.nodesZ[iz]);
    EXPECT_EQ(y.vCoords[ix], model_.nodesX[ix]);
    EXPECT_EQ(y.wCoords, model_.nodesY);
    const DexelGridView& x = TestRun.cutting.views[kDexelViewX];
    EXPECT_EQ(x.nu, model_.ny);
    EXPECT_EQ(x.nw, model_.nx);
    EXPECT_EQ(x.uBlockLow, model_.blocks.lowMap[1]);
    EXPECT_EQ(x.vBlockHigh, model_.blocks.highMap[2]);
    EXPECT_EQ(DexelGridsMatchModel(TestRun.cutting.views, &model_), 1);
}

// A straight slot of a flat end mill (D 10, depth 3, 20 mm long) with its centre line off the
// node lattice: the Z tops, the X and Y gaps and the volume against closed forms.
TEST_F(CuttingCoreTest, FlatEndMillSlotMatchesClosedForms) {
    const double pitch = 0.5;
    const double box[6] = {0, 0, 0, 40, 30, 12};
    BuildBoxStock(&model_, box, pitch);
    testing::OpenVolumeBooks(model_, &books_);
    TestRun.cutting.cutter = testing::FlatTool(10.0);
    const double R = 5.0, h = 3.0, y0 = 15.25, tipZ = 12.0 - h;
    const double x1 = 10.1, step = 0.8;
    const int steps = 25;
    std::vector<double> xs;
    double lastStepVolume = 0.0;
    for (int i = 0; i <= steps; ++i) {
        xs.push_back(x1 + i * step);
        const double p[3] = {xs.back(), y0, tipZ};
        ASSERT_TRUE(CutAndCheck(&model_, p, kUp, &books_)) << "step " << i;
        lastStepVolume = testing::LastCutVolume;
        ASSERT_EQ(TestRun.cutting.flags.contact, 1);
    }
    const double xn = xs.back();
    ASSERT_TRUE(testing::VolumeBooksBalance(model_, books_));
    // Z tops: exactly the tip height where some step centre lies strictly within R.
    for (int iy = 0; iy < model_.ny; ++iy) {
        for (int ix = 0; ix < model_.nx; ++ix) {
            const double x = model_.nodesX[ix], y = model_.nodesY[iy];
            bool inside = false;
            for (double xi : xs) {
                inside = inside || (x - xi) * (x - xi) + (y - y0) * (y - y0) < R * R;
            }
            ASSERT_EQ(testing::ZRayTop(model_, ix, iy), inside ? tipZ : 12.0) << x << ", " << y;
        }
    }
    // X rays above the tip within R - 1 of the centre line: one gap [x1 - w, xn + w].
    for (int iz = 0; iz < model_.nz; ++iz) {
        for (int iy = 0; iy < model_.ny; ++iy) {
            const double y = model_.nodesY[iy], z = model_.nodesZ[iz];
            if (z < tipZ || std::fabs(y - y0) >= R - 1.0) {
                continue;
            }
            const double w = std::sqrt(R * R - (y - y0) * (y - y0));
            const DexelRay ray = ReadDexelRay(model_.x, std::int64_t{iz} * model_.ny + iy);
            ASSERT_EQ(ray.ends.size(), 4u) << y << ", " << z;
            EXPECT_NEAR(ray.ends[1], x1 - w, 1e-9);
            EXPECT_NEAR(ray.ends[2], xn + w, 1e-9);
        }
    }
    // Y rays above the tip: the gap is y0 -+ the widest chord of any step at that x.
    for (int iz = 0; iz < model_.nz; ++iz) {
        for (int ix = 0; ix < model_.nx; ++ix) {
            const double x = model_.nodesX[ix], z = model_.nodesZ[iz];
            double widest = -1.0;
            for (double xi : xs) {
                if (std::fabs(x - xi) < R - 0.5) {
                    widest = std::max(widest, std::sqrt(R * R - (x - xi) * (x - xi)));
                }
            }
            if (z < tipZ || widest < 0.0) {
                continue;
            }
            const DexelRay ray = ReadDexelRay(model_.y, std::int64_t{ix} * model_.nz + iz);
            ASSERT_EQ(ray.ends.size(), 4u) << x << ", " << z;
            EXPECT_NEAR(ray.ends[1], y0 - widest, 1e-9);
            EXPECT_NEAR(ray.ends[2], y0 + widest, 1e-9);
        }
    }
    // Volume: h (2 R L + pi R^2) within the lattice error of the Z family (about 2 %).
    const double analytic = h * (2.0 * R * (xn - x1) + M_PI * R * R);
    const double zRemoved = books_.removed[kDexelViewZ];
    EXPECT_NEAR(zRemoved, analytic, 0.02 * analytic);
    // Steady state: each step removes a cross-section of D h over the step length.
    EXPECT_NEAR(lastStepVolume / step, 2.0 * R * h, 0.1 * 2.0 * R * h);
}

// The lattice error of the slot volume shrinks as the pitch is halved.
TEST_F(CuttingCoreTest, SlotVolumeConvergesWithThePitch) {
    TestRun.cutting.cutter = testing::FlatTool(10.0);
    const double R = 5.0, h = 2.0, L = 12.0;
    const double analytic = h * (2.0 * R * L + M_PI * R * R);
    double error[2] = {};
    const double pitches[2] = {0.5, 0.25};
    for (int k = 0; k < 2; ++k) {
        const double box[6] = {0, 0, 0, 30, 20, 6};
        BuildBoxStock(&model_, box, pitches[k]);
        testing::OpenVolumeBooks(model_, &books_);
        for (double x = 8.13; x <= 8.13 + L + 1e-9; x += 0.1) {
            const double p[3] = {x, 10.37, 6.0 - h};
            ASSERT_TRUE(CutAndCheck(&model_, p, kUp, &books_, false));
        }
        ASSERT_TRUE(testing::VolumeBooksBalance(model_, books_));
        error[k] = std::fabs(books_.removed[kDexelViewZ] - analytic) / analytic;
    }
    EXPECT_LT(error[0], 0.02);
    EXPECT_LT(error[1], error[0]);
}

// A ball-end groove along x on the node lattice, step length = pitch.
TEST_F(CuttingCoreTest, BallGrooveCrossSectionIsExactAtNodes) {
    const double pitch = 0.5;
    const double box[6] = {0, 0, 0, 30, 24, 12};
    BuildBoxStock(&model_, box, pitch);
    testing::OpenVolumeBooks(model_, &books_);
    TestRun.cutting.cutter = testing::BallTool(8.0);
    const double R = 4.0, y0 = 12.0, tipZ = 9.5, zc = tipZ + R;
    std::vector<double> xs;
    for (double x = 6.0; x <= 24.0; x += pitch) {
        xs.push_back(x);
        const double p[3] = {x, y0, tipZ};
        ASSERT_TRUE(CutAndCheck(&model_, p, kUp, &books_));
    }
    ASSERT_TRUE(testing::VolumeBooksBalance(model_, books_));
    // Z tops at interior nodes of the path: zc - sqrt(R^2 - dy^2).
    for (int ix = 0; ix < model_.nx; ++ix) {
        const double x = model_.nodesX[ix];
        if (x < 10.0 || x > 20.0) {
            continue;
        }
        for (int iy = 0; iy < model_.ny; ++iy) {
            const double dy = model_.nodesY[iy] - y0;
            const double expected = std::fabs(dy) < R ? zc - std::sqrt(R * R - dy * dy) : 12.0;
            ASSERT_NEAR(testing::ZRayTop(model_, ix, iy), std::min(12.0, expected), 1e-12);
        }
    }
    // X rays: material at mid-path exactly outside the cross-section (circle below zc, slot
    // above it).
    const double xMid = 15.0;
    for (int iz = 0; iz < model_.nz; ++iz) {
        for (int iy = 0; iy < model_.ny; ++iy) {
            const double y = model_.nodesY[iy], z = model_.nodesZ[iz];
            const double dy = y - y0, dz = z - zc;
            const bool removed = dy * dy + dz * dz < R * R || (z >= zc && std::fabs(dy) < R);
            const bool material =
                testing::RayHasMaterialAt(model_.x, std::int64_t{iz} * model_.ny + iy, xMid);
            if (z < 12.0) {
                ASSERT_EQ(material, !removed) << y << ", " << z;
            }
        }
    }
    // Y rays at a step centre: the gap is y0 -+ sqrt(R^2 - (z - zc)^2) below zc.
    const int ix = static_cast<int>(std::lround(15.0 / pitch));
    for (int iz = 0; iz < model_.nz; ++iz) {
        const double dz = model_.nodesZ[iz] - zc;
        if (dz >= 0.0 || dz * dz >= R * R) {
            continue;
        }
        const DexelRay ray = ReadDexelRay(model_.y, std::int64_t{ix} * model_.nz + iz);
        ASSERT_EQ(ray.ends.size(), 4u);
        EXPECT_NEAR(ray.ends[1], y0 - std::sqrt(R * R - dz * dz), 1e-12);
        EXPECT_NEAR(ray.ends[2], y0 + std::sqrt(R * R - dz * dz), 1e-12);
    }
}

// Plunges of each shape: the Z tops follow the tool's profile, the Z volume its profile volume.
struct PlungeCase {
    const char* name;
    CutterSections tool;
    double (*profile)(double rho);  // height of the tool's underside above the tip (mm)
};

double BallProfile(double rho) {
    return 4.0 - std::sqrt(16.0 - rho * rho);
}
double FlatProfile(double) {
    return 0.0;
}
double BullProfile(double rho) {
    return rho <= 2.5 ? 0.0 : 1.5 - std::sqrt(2.25 - (rho - 2.5) * (rho - 2.5));
}
double VeeProfile(double rho) {
    return rho * 1.7320508075688772;
}

TEST_F(CuttingCoreTest, PlungesFollowEachShapesProfile) {
    const PlungeCase cases[] = {
        {"ball", testing::BallTool(8.0), BallProfile},
        {"flat", testing::FlatTool(8.0), FlatProfile},
        {"bull", testing::BullTool(8.0, 1.5), BullProfile},
        {"vee 60", testing::VeeTool(8.0, 1.7320508075688772), VeeProfile},
    };
    for (const PlungeCase& c : cases) {
        const double pitch = 0.25;
        const double box[6] = {0, 0, 0, 16, 16, 12};
        BuildBoxStock(&model_, box, pitch);
        testing::OpenVolumeBooks(model_, &books_);
        TestRun.cutting.cutter = c.tool;
        const double xc = 8.1, yc = 7.95, depth = 3.5, tipZ = 12.0 - depth;
        const double p[3] = {xc, yc, tipZ};
        ASSERT_TRUE(CutAndCheck(&model_, p, kUp, &books_)) << c.name;
        ASSERT_TRUE(testing::VolumeBooksBalance(model_, books_)) << c.name;
        double profileVolume = 0.0;  // the tool's volume below the stock top, by rings
        const double R = c.tool.topRadius;
        const int rings = 20000;
        for (int k = 0; k < rings; ++k) {
            const double rho = (k + 0.5) * R / rings;
            profileVolume += 2.0 * M_PI * rho * (R / rings) * std::max(0.0, depth - c.profile(rho));
        }
        for (int iy = 0; iy < model_.ny; ++iy) {
            for (int ix = 0; ix < model_.nx; ++ix) {
                const double rho = std::hypot(model_.nodesX[ix] - xc, model_.nodesY[iy] - yc);
                const double expected = rho < R ? std::min(12.0, tipZ + c.profile(rho)) : 12.0;
                ASSERT_NEAR(testing::ZRayTop(model_, ix, iy), expected, 1e-9)
                    << c.name << " at rho " << rho;
            }
        }
        EXPECT_NEAR(books_.removed[kDexelViewZ], profileVolume, 0.02 * profileVolume) << c.name;
    }
}

// A pointed tool whose tip cone rises above p1 - R (tan of the tip angle above 1): the X and Y
// rays between the tip and p1 - R are cut too, and the families agree.
TEST_F(CuttingCoreTest, WindowsReachBelowTheCornerCentre) {
    const double box[6] = {0, 0, 0, 16, 16, 12};
    BuildBoxStock(&model_, box, 0.25);
    testing::OpenVolumeBooks(model_, &books_);
    TestRun.cutting.cutter = testing::VeeTool(4.0, 4.0);  // F = 8 above the tip, R = 2
    const double p[3] = {8.1, 7.9, 4.0};
    ASSERT_TRUE(CutAndCheck(&model_, p, kUp, &books_));
    // The X ray through the axis at 2 mm above the tip (radius 0.5 there) has a gap.
    const int iy = static_cast<int>(std::lround(7.9 / 0.25)), iz = static_cast<int>(6.0 / 0.25);
    const DexelRay ray = ReadDexelRay(model_.x, std::int64_t{iz} * model_.ny + iy);
    EXPECT_EQ(ray.ends.size(), 4u);
    ASSERT_TRUE(testing::VolumeBooksBalance(model_, books_));
}

TEST_F(CuttingCoreTest, BorderRaysCountHalfTheirCellAndCornersAQuarter) {
    const double box[6] = {0, 0, 0, 10, 10, 5};
    BuildBoxStock(&model_, box, 1.0);
    TestRun.cutting.cutter = testing::FlatTool(100.0);
    const double p[3] = {5.0, 5.0, 3.0};
    ASSERT_TRUE(CutAndCheck(&model_, p, kUp, nullptr));
    // The trapezoid rule of the weights makes the Z family's removal the layer's exact volume.
    EXPECT_DOUBLE_EQ(TestRun.cutting.views[kDexelViewZ].removedVolume, 10.0 * 10.0 * 2.0);
    // The X and Y rays of the layers z = 3, 4 and 5 (the last a border row) go whole: 2.5 rows.
    EXPECT_DOUBLE_EQ(TestRun.cutting.views[kDexelViewX].removedVolume, 10.0 * 10.0 * 2.5);
    EXPECT_DOUBLE_EQ(TestRun.cutting.views[kDexelViewY].removedVolume, 10.0 * 10.0 * 2.5);
    EXPECT_DOUBLE_EQ(testing::LastCutVolume, 250.0);
}

TEST_F(CuttingCoreTest, SecondCutAtTheSamePoseRemovesNothing) {
    const double box[6] = {0, 0, 0, 20, 20, 10};
    BuildBoxStock(&model_, box, 0.5);
    TestRun.cutting.cutter = testing::BullTool(6.0, 1.0);
    const double axis[3] = {0.3, -0.2, 0.9327379053088815};
    const double p[3] = {10.2, 9.7, 6.3};
    ASSERT_TRUE(CutAndCheck(&model_, p, axis, nullptr));
    EXPECT_GT(testing::LastCutVolume, 0.0);
    ASSERT_TRUE(CutAndCheck(&model_, p, axis, nullptr));
    EXPECT_EQ(testing::LastCutVolume, 0.0);
    EXPECT_EQ(TestRun.cutting.flags.contact, 0);
}

TEST_F(CuttingCoreTest, ToolOutsideTheGridCutsNothingButTheHolderPassesRun) {
    const double box[6] = {0, 0, 0, 10, 10, 5};
    BuildBoxStock(&model_, box, 0.5);
    TestRun.cutting.cutter = testing::FlatTool(6.0);
    static int holderCalls;
    holderCalls = 0;
    SimulationCallbacks.shankAndHolderPasses = [](CuttingState&, const CurrentToolRecord&,
                                                  StockModel*) {
        ++holderCalls;
        return 0.0;
    };
    const double far[3] = {50.0, 5.0, 1.0};
    EXPECT_EQ(CutStockAtToolPose(TestRun.cutting, RunSession, &model_, far, kUp, testing::CutMark),
              0.0);
    EXPECT_EQ(holderCalls, 1);
    // A garbage pose far beyond the int range of the indices is refused the same way.
    const double garbage[3] = {1e12, -3e15, 2e300};
    CutStockAtToolPose(TestRun.cutting, RunSession, &model_, garbage, kUp, testing::CutMark);
    EXPECT_EQ(holderCalls, 2);
    EXPECT_TRUE(StockInvariantsHold(model_, true));
    // A stock marked as ignored is not cut at all, nor is any stock after the cutting-off word.
    model_.useState = 1;
    const double inside[3] = {5.0, 5.0, 1.0};
    EXPECT_EQ(
        CutStockAtToolPose(TestRun.cutting, RunSession, &model_, inside, kUp, testing::CutMark),
        0.0);
    EXPECT_EQ(holderCalls, 2);
    model_.useState = 0;
    RunSession.run.cuttingEnabled = 0;
    EXPECT_EQ(
        CutStockAtToolPose(TestRun.cutting, RunSession, &model_, inside, kUp, testing::CutMark),
        0.0);
    RunSession.run.cuttingEnabled = 1;
    EXPECT_EQ(holderCalls, 2);
}

TEST_F(CuttingCoreTest, NewEndsCarryPenPaintAndLine) {
    const double box[6] = {0, 0, 0, 20, 20, 10};
    BuildBoxStock(&model_, box, 0.5);
    TestRun.cutting.cutter = testing::FlatTool(6.0, 2.0);  // cutting length 2
    TestRun.cutting.cutter.penBits = 5 << 4;
    // Feed: new ends painted only above the cutting length, stamped with the line.
    RunKinematics.motion.motionType = 1;
    testing::CutMark.stamps[0] = testing::CutMark.stamps[1] = 42;
    const double p[3] = {5.1, 10.1, 6.0};
    ASSERT_TRUE(CutAndCheck(&model_, p, kUp, nullptr));
    const int iy = 20;  // y = 10, 0.1 from the axis
    for (int iz = 0; iz < model_.nz; ++iz) {
        const DexelRay ray = ReadDexelRay(model_.x, std::int64_t{iz} * model_.ny + iy);
        if (ray.ends.size() != 4) {
            continue;
        }
        const double height = model_.nodesZ[iz] - 6.0;
        for (int e : {1, 2}) {
            EXPECT_EQ(ray.stamps[e], 42);
            EXPECT_EQ(ray.flags[e], (5 << 4) | (height > 2.0 ? 1 : 0)) << "height " << height;
        }
    }
    // Rapid: the flags come as given (pen with the painted bit), whatever the height.
    RunKinematics.motion.motionType = 0;
    testing::CutMark.flags[0] = testing::CutMark.flags[1] = (5 << 4) | 1;
    testing::CutMark.stamps[0] = testing::CutMark.stamps[1] = -43;
    const double q[3] = {15.1, 10.1, 6.0};
    ASSERT_TRUE(CutAndCheck(&model_, q, kUp, nullptr));
    const DexelRay zRay = ReadDexelRay(model_.z, std::int64_t{iy} * model_.nx + 30);
    ASSERT_EQ(zRay.ends.size(), 2u);
    EXPECT_EQ(zRay.ends[1], 6.0);
    EXPECT_EQ(zRay.flags[1], (5 << 4) | 1);
    EXPECT_EQ(zRay.stamps[1], -43);
}

// The move's facts given to the cut decide the feed painting and the cutting-on switch, whatever
// the run's move and switch say; the stock comes out as the session form's with those facts in
// the session.
TEST_F(CuttingCoreTest, GivenMoveFactsDecideTheCutNotTheBoundRecords) {
    const double box[6] = {0, 0, 0, 20, 20, 10};
    TestRun.cutting.cutter =
        testing::FlatTool(6.0, 2.0);  // cutting length 2: deeper feed ends painted
    TestRun.cutting.cutter.penBits = 3 << 4;
    testing::CutMark.flags[0] = testing::CutMark.flags[1] = 3 << 4;
    testing::CutMark.stamps[0] = testing::CutMark.stamps[1] = 17;
    const double p[3] = {10.1, 10.1, 5.0};
    const CutMoveFacts cases[] = {{1, 1}, {0, 1}, {1, 0}, {0, 0}};
    for (CutMoveFacts facts : cases) {
        facts.mark = testing::CutMark;
        StockModel given, bound;
        BuildBoxStock(&given, box, 0.5);
        BuildBoxStock(&bound, box, 0.5);
        // The run's records say the opposite of the facts.
        RunKinematics.motion.motionType = facts.feedMove != 0 ? 0 : 1;
        RunSession.run.cuttingEnabled = facts.cuttingEnabled != 0 ? 0 : 1;
        const double givenVolume = CutStockAtToolPose(TestRun.cutting, &given, p, kUp, facts);
        EXPECT_EQ(RunKinematics.motion.motionType, facts.feedMove != 0 ? 0 : 1);
        EXPECT_EQ(RunSession.run.cuttingEnabled, facts.cuttingEnabled != 0 ? 0 : 1);
        EXPECT_EQ(givenVolume > 0.0, facts.cuttingEnabled != 0) << facts.feedMove;
        if (facts.cuttingEnabled != 0) {
            EXPECT_EQ(TestRun.cutting.pose.feedMove, facts.feedMove);
        }
        RunKinematics.motion.motionType = facts.feedMove;
        RunSession.run.cuttingEnabled = facts.cuttingEnabled;
        EXPECT_EQ(CutStockAtToolPose(TestRun.cutting, RunSession, &bound, p, kUp, testing::CutMark),
                  givenVolume);
        for (std::int64_t cell = 0; cell < given.z.cellCount; ++cell) {
            ASSERT_EQ(ReadDexelRay(given.z, cell), ReadDexelRay(bound.z, cell))
                << "cell " << cell << " feed " << facts.feedMove;
        }
        FreeStockModel(&given);
        FreeStockModel(&bound);
    }
    RunKinematics.motion.motionType = 0;
    RunSession.run.cuttingEnabled = 1;
}

TEST_F(CuttingCoreTest, HeightAndChipMeasures) {
    const double box[6] = {0, 0, 0, 20, 20, 10};
    BuildBoxStock(&model_, box, 0.5);
    TestRun.cutting.cutter = testing::FlatTool(6.0, 2.0);
    Checks.heightCheck = 1;
    const double p[3] = {10.1, 10.1, 7.0};
    ASSERT_TRUE(CutAndCheck(&model_, p, kUp, nullptr));
    EXPECT_NEAR(TestRun.cutting.measured.edgeHeight, 3.0, 1e-12);  // the stock top, 3 above the tip
    EXPECT_EQ(TestRun.cutting.flags.overLength, 0);
    Checks.heightCheck = 2;
    const double q[3] = {4.1, 10.1, 7.5};
    ASSERT_TRUE(CutAndCheck(&model_, q, kUp, nullptr));
    EXPECT_EQ(TestRun.cutting.flags.overLength, 1);
    // A VERTICAL tool may not cut within D/2 - k of its axis.
    Checks.heightCheck = 0;
    Checks.chipWidthCheck = 2;
    TestRun.cutting.cutter = testing::FlatTool(6.0);
    TestRun.cutting.cutter.shape = kToolVertical;
    TestRun.cutting.cutter.chipWidthLimit = 1.0;
    const double side[3] = {22.5, 3.1, 5.0};  // 0.5 into the material's side at x = 20
    ASSERT_TRUE(CutAndCheck(&model_, side, kUp, nullptr));
    EXPECT_EQ(TestRun.cutting.flags.overChip, 0);
    const double deep[3] = {20.5, 16.0, 5.0};
    ASSERT_TRUE(CutAndCheck(&model_, deep, kUp, nullptr));
    EXPECT_EQ(TestRun.cutting.flags.overChip, 1);
    Checks.chipWidthCheck = 1;
    ClearToolLengthMeasurements(TestRun.cutting.measured);
    const double third[3] = {21.0, 9.0, 5.0};
    ASSERT_TRUE(CutAndCheck(&model_, third, kUp, nullptr));
    // The deepest removed end is the face x = 20, 1 from the axis: 2 inside the radius of 3.
    EXPECT_DOUBLE_EQ(TestRun.cutting.measured.tipWidth, 2.0);
}

// Undo slots move the family arrays: a cut after PushStockUndo without rebinding lands in the
// new slot and leaves the previous one as it was.
TEST_F(CuttingCoreTest, CutRebindsAfterTheUndoSlotMoved) {
    const double box[6] = {0, 0, 0, 10, 10, 5};
    BuildBoxStock(&model_, box, 0.5, 3);
    BindDexelGridViews(&model_, TestRun.cutting.views);
    TestRun.cutting.cutter = testing::FlatTool(4.0);
    PushStockUndo(&model_);
    const double p[3] = {5.1, 5.1, 3.0};
    ASSERT_TRUE(CutAndCheck(&model_, p, kUp, nullptr));
    EXPECT_EQ(TestRun.cutting.views[kDexelViewZ].counts, model_.z.counts);
    EXPECT_LT(testing::ZRayTop(model_, 10, 10), 5.0);
    PopStockUndo(&model_);
    EXPECT_EQ(testing::ZRayTop(model_, 10, 10), 5.0);
    EXPECT_TRUE(StockInvariantsHold(model_, true));
}

// The removed material of one ray (old intervals less new ones), as its hull; false when nothing
// was removed.
bool RemovedHull(const DexelRay& before, const DexelRay& after, double* lo, double* hi) {
    bool any = false;
    for (std::size_t i = 0; i + 1 < before.ends.size(); i += 2) {
        double from = before.ends[i];
        const double to = before.ends[i + 1];
        for (std::size_t j = 0; j + 1 < after.ends.size() && from < to; j += 2) {
            const double a = after.ends[j], b = after.ends[j + 1];
            if (a > from) {
                const double end = std::min(a, to);
                *lo = any ? std::min(*lo, from) : from;
                *hi = any ? std::max(*hi, end) : end;
                any = true;
            }
            from = std::max(from, b);
        }
        if (from < to) {
            *lo = any ? std::min(*lo, from) : from;
            *hi = any ? std::max(*hi, to) : to;
            any = true;
        }
    }
    return any;
}

// The cut spread over 2 and 8 threads gives, bit for bit, the rays (ends, pens, line stamps), the
// volumes, the flags and the dirty blocks of the cut on one thread, on random tilted poses with
// windows large enough to be split; and every block in which a ray lost material is dirty.
TEST_F(CuttingCoreTest, CutOnManyThreadsIsBitIdenticalToOneThread) {
    const unsigned seed = 77031;
    std::printf("seed %u\n", seed);
    const int threadCounts[3] = {1, 2, 8};
    StockModel models[3];
    const double box[6] = {0, 0, 0, 24, 20, 10};
    for (StockModel& m : models) {
        BuildBoxStock(&m, box, 0.1);
    }
    TestRun.cutting.cutter = testing::BullTool(10.0, 1.0);
    TestRun.cutting.cutter.cuttingLength =
        3.0;  // deeper cuts paint their ends and raise over-length
    Checks.heightCheck = 1;
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> coord(2.0, 22.0), tilt(-0.4, 0.4);
    std::vector<double> results[3];
    for (int step = 0; step < 24; ++step) {
        double axis[3] = {tilt(rng), tilt(rng), 1.0};
        const double n = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + 1.0);
        for (double& a : axis) {
            a /= n;
        }
        const double p[3] = {coord(rng), coord(rng) * 0.9, 6.0 + tilt(rng) * 5.0};
        testing::CutMark.stamps[0] = testing::CutMark.stamps[1] = 100 + step;
        TestRun.cutting.cutter.penBits = static_cast<std::uint8_t>((step % 15 + 1) << 4);
        for (int k = 0; k < 3; ++k) {
            StockModel& m = models[k];
            std::fill(m.blocks.dirty, m.blocks.dirty + m.blocks.count, 0);
            std::vector<DexelRay> before;
            if (k == 0) {
                for (std::int64_t cell = 0; cell < m.z.cellCount; ++cell) {
                    before.push_back(ReadDexelRay(m.z, cell));
                }
            }
            TestRun.cutting.threadCount = threadCounts[k];
            TestRun.cutting.flags = InterferenceFlagSet{};
            ClearToolLengthMeasurements(TestRun.cutting.measured);
            results[k].push_back(
                CutStockAtToolPose(TestRun.cutting, RunSession, &m, p, axis, testing::CutMark));
            results[k].push_back(TestRun.cutting.flags.contact);
            results[k].push_back(TestRun.cutting.flags.overLength);
            results[k].push_back(TestRun.cutting.measured.edgeHeight);
            for (const DexelGridView& v : TestRun.cutting.views) {
                results[k].push_back(v.removedVolume);
            }
            for (std::int32_t b = 0; b < m.blocks.count; ++b) {
                results[k].push_back(m.blocks.dirty[b]);
            }
            // Every Z ray that lost material has the blocks of the lost stretch marked.
            for (std::int64_t cell = 0; k == 0 && cell < m.z.cellCount; ++cell) {
                double lo = 0.0, hi = 0.0;
                if (!RemovedHull(before[cell], ReadDexelRay(m.z, cell), &lo, &hi)) {
                    continue;
                }
                const int ix = static_cast<int>(cell % m.nx), iy = static_cast<int>(cell / m.nx);
                DirtyBlockBox expected;
                ASSERT_EQ(FindDirtyBlockBox(m, 2, m.blocks.lowMap[0][ix], m.blocks.highMap[0][ix],
                                            m.blocks.lowMap[1][iy], m.blocks.highMap[1][iy], lo, hi,
                                            &expected),
                          1);
                for (int bz = expected.first[2]; bz <= expected.last[2]; ++bz) {
                    for (int by = expected.first[1]; by <= expected.last[1]; ++by) {
                        for (int bx = expected.first[0]; bx <= expected.last[0]; ++bx) {
                            const int block =
                                (bz * m.blocks.perAxis[1] + by) * m.blocks.perAxis[0] + bx;
                            ASSERT_EQ(m.blocks.dirty[block], 1) << "cell " << cell;
                        }
                    }
                }
            }
        }
    }
    const auto family = [](const StockModel& m, int f) {
        return f == 0 ? &m.x : (f == 1 ? &m.y : &m.z);
    };
    for (int k = 1; k < 3; ++k) {
        SCOPED_TRACE(threadCounts[k]);
        ASSERT_EQ(results[k].size(), results[0].size());
        EXPECT_EQ(std::memcmp(results[0].data(), results[k].data(), results[0].size() * 8), 0);
        for (int f = 0; f < 3; ++f) {
            const DexelFamily& a = *family(models[0], f);
            const DexelFamily& b = *family(models[k], f);
            for (std::int64_t cell = 0; cell < a.cellCount; ++cell) {
                ASSERT_EQ(ReadDexelRay(a, cell), ReadDexelRay(b, cell)) << f << " " << cell;
            }
        }
        EXPECT_TRUE(StockInvariantsHold(models[k], true));
    }
    for (StockModel& m : models) {
        FreeStockModel(&m);
    }
}

// Whether the ray of a family (DexelViewIndex: rays along model axis w = view, cells numbered
// along u = w + 1, then v = w + 2) through (lu, lv) has material inside the ball of centre c and
// radius r: tested at five points of its chord through the ball.
bool MaterialInsideBall(const StockModel& m, int view, std::int64_t cell, double lu, double lv,
                        const double c[3], double r) {
    const DexelFamily& f = view == kDexelViewX ? m.x : (view == kDexelViewY ? m.y : m.z);
    const int u = (view + 1) % 3, v = (view + 2) % 3;
    const double d2 = (lu - c[u]) * (lu - c[u]) + (lv - c[v]) * (lv - c[v]);
    if (d2 >= r * r) {
        return false;
    }
    const double h = std::sqrt(r * r - d2);
    for (double t : {-0.9, -0.5, 0.0, 0.5, 0.9}) {
        if (testing::RayHasMaterialAt(f, cell, c[view] + t * h)) {
            return true;
        }
    }
    return false;
}

// A ball pocketing a deep box in layers, upright and tilted: each step's side rays pass through
// the pocket already cut. On 1, 2 and 8 threads the rays come out bit for bit alike, and after
// every step no ray of any family keeps material inside the ball (less a pitch), on the rows
// nearest the tip too.
TEST_F(CuttingCoreTest, DeepLayeredPocketIsCutWholeAndAlikeOnEveryThreadCount) {
    const double box[6] = {0, 0, 0, 24, 24, 16};
    const double pitch = 0.25, radius = 3.0;
    const int threadCounts[3] = {1, 2, 8};
    StockModel models[3];
    for (StockModel& m : models) {
        BuildBoxStock(&m, box, pitch);
    }
    TestRun.cutting.cutter = testing::BallTool(2.0 * radius);
    const double tilted[3] = {0.05, -0.03, std::sqrt(1.0 - 0.05 * 0.05 - 0.03 * 0.03)};
    for (const double* axis : {kUp, tilted}) {
        for (int layer = 1; layer <= 3; ++layer) {
            // Upright, the tip lies on a node line, tilted between two.
            const double z = 16.0 - 3.0 * layer + (axis == kUp ? 0.0 : 0.05);
            // A square contour of half-width 5 about (12, 12), in steps of two pitches.
            for (int s = 0; s < 4 * 20; ++s) {
                const int side = s / 20;
                const double t = -5.0 + 10.0 * (s % 20) / 20.0;
                const double xy[4][2] = {{5.0, t}, {-t, 5.0}, {-5.0, -t}, {t, -5.0}};
                const double p[3] = {12.03 + xy[side][0], 11.96 + xy[side][1], z};
                for (int k = 0; k < 3; ++k) {
                    TestRun.cutting.threadCount = threadCounts[k];
                    CutStockAtToolPose(TestRun.cutting, RunSession, &models[k], p, axis,
                                       testing::CutMark);
                }
                const StockModel& m = models[0];
                const double c[3] = {p[0] + axis[0] * radius, p[1] + axis[1] * radius,
                                     p[2] + axis[2] * radius};
                const double* nodes[3] = {m.nodesX, m.nodesY, m.nodesZ};
                const int counts[3] = {m.nx, m.ny, m.nz};
                // The node lines within the ball's reach along axis k.
                const auto first = [&](int k) { return std::max(0, int((c[k] - radius) / pitch)); };
                const auto last = [&](int k) {
                    return std::min(counts[k] - 1, int((c[k] + radius) / pitch) + 1);
                };
                for (int view = 0; view < 3; ++view) {
                    const int u = (view + 1) % 3, v = (view + 2) % 3;
                    for (int j = first(v); j <= last(v); ++j) {
                        for (int i = first(u); i <= last(u); ++i) {
                            const std::int64_t cell = std::int64_t{j} * counts[u] + i;
                            ASSERT_FALSE(MaterialInsideBall(m, view, cell, nodes[u][i], nodes[v][j],
                                                            c, radius - pitch))
                                << "family " << view << " cell " << cell << " step " << s;
                        }
                    }
                }
            }
        }
    }
    EXPECT_TRUE(StockInvariantsHold(models[0], true));
    for (int k = 1; k < 3; ++k) {
        for (const auto& [a, b] :
             {std::pair{&models[0].x, &models[k].x}, std::pair{&models[0].y, &models[k].y},
              std::pair{&models[0].z, &models[k].z}}) {
            for (std::int64_t cell = 0; cell < a->cellCount; ++cell) {
                ASSERT_EQ(ReadDexelRay(*a, cell), ReadDexelRay(*b, cell)) << threadCounts[k];
            }
        }
    }
    for (StockModel& m : models) {
        FreeStockModel(&m);
    }
}

// The helper threads of the cut take the move's type from the session that cuts: a feed move of
// a session of its own marks the new ends with the pen on 8 threads as on 1, though the run's
// records hold a rapid.
TEST_F(CuttingCoreTest, HelperThreadsMarkEndsByTheCuttingThreadsMove) {
    StockModel models[2];
    const double box[6] = {0, 0, 0, 24, 20, 10};
    for (StockModel& m : models) {
        BuildBoxStock(&m, box, 0.1);
    }
    TestRun.cutting.cutter = testing::BallTool(10.0);
    TestRun.cutting.cutter.penBits = 0x40;
    testing::CutMark.flags[0] = testing::CutMark.flags[1] = 0x10;
    testing::CutMark.stamps[0] = testing::CutMark.stamps[1] = 9;
    RunKinematics.motion.motionType = 0;
    NcSession own;
    own.kinematics->motion.motionType = 1;
    const double p[3] = {12.0, 10.0, 7.0};
    const int threadCounts[2] = {1, 8};
    for (int k = 0; k < 2; ++k) {
        TestRun.cutting.threadCount = threadCounts[k];
        CutStockAtToolPose(TestRun.cutting, own, &models[k], p, kUp, testing::CutMark);
    }
    std::int64_t penEnds = 0;
    for (std::int64_t cell = 0; cell < models[0].z.cellCount; ++cell) {
        const DexelRay ray = ReadDexelRay(models[0].z, cell);
        ASSERT_EQ(ray, ReadDexelRay(models[1].z, cell)) << cell;
        for (const std::uint8_t f : ray.flags) {
            EXPECT_NE(f, 0x10) << "a rapid's mark on cell " << cell;
            penEnds += (f & 0x40) != 0 ? 1 : 0;
        }
    }
    EXPECT_GT(penEnds, 1000);
    for (StockModel& m : models) {
        FreeStockModel(&m);
    }
}

}  // namespace
}  // namespace mirexa
