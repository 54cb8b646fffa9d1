// Two cutting states side by side: each cuts its own stock with its own cutter, and what one cut
// leaves in its state (pose, views, flags, measures) is never seen or changed by the other's.
#include "simulation/cutting_state.h"

#include <gtest/gtest.h>

#include <cstring>

#include "config/config_records.h"
#include "cutting_test_support.h"
#include "stock/stock_grid.h"

namespace mirexa {
namespace {

constexpr double kUp[3] = {0, 0, 1};
constexpr double kBox[6] = {0, 0, 0, 20, 20, 10};

// One side of a case: the tool, where it stands and what its state must show after its cut.
struct Side {
    CutterSections tool;
    double point[3];
    int contact;
    int overLength;
    double edgeHeight;
};

struct Case {
    const char* name;
    int heightCheck;
    Side a;
    Side b;
};

double Cut(CuttingState& state, StockModel* stock, const Side& side) {
    ClearInterferenceFlags(state.flags);
    const CutMoveFacts move = {1, 1, nullptr, testing::CutMark};
    return CutStockAtToolPose(state, stock, side.point, kUp, move);
}

// What a state holds after its cut: its pose, flags and measures as they were left.
void ExpectSide(const CuttingState& state, const StockModel& stock, const Side& side,
                const char* which) {
    SCOPED_TRACE(which);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(state.pose.tip[k], side.point[k]);
        EXPECT_EQ(state.views[k].model, &stock) << "view " << k;
    }
    EXPECT_EQ(state.flags.contact, side.contact);
    EXPECT_EQ(state.flags.overLength, side.overLength);
    EXPECT_NEAR(state.measured.edgeHeight, side.edgeHeight, 1e-12);
}

TEST(CuttingStates, TwoStatesCutTwoStocksInTurnWithoutSeeingEachOther) {
    const Case cases[] = {
        {"one in the material, one in the air",
         1,
         {testing::FlatTool(6.0), {10.1, 10.1, 7.0}, 1, 0, 3.0},
         {testing::BallTool(4.0), {10.1, 10.1, 20.0}, 0, 0, 0.0}},
        {"over its cutting length on one side only",
         2,
         {testing::FlatTool(6.0, 2.0), {10.1, 10.1, 7.0}, 1, 1, 0.0},
         {testing::FlatTool(6.0), {4.1, 10.1, 9.0}, 1, 0, 0.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::ScopedCuttingState scoped;
        Checks.heightCheck = c.heightCheck;
        StockModel stockA, stockB;
        testing::BuildBoxStock(&stockA, kBox, 0.5);
        testing::BuildBoxStock(&stockB, kBox, 0.5);
        CuttingState a, b;
        a.cutter = c.a.tool;
        b.cutter = c.b.tool;

        const double removedA = Cut(a, &stockA, c.a);
        EXPECT_EQ(removedA > 0.0, c.a.contact != 0);
        const CutPoseGeometry keptPose = a.pose;
        const InterferenceFlagSet keptFlags = a.flags;
        const ToolLengthMeasurements keptMeasures = a.measured;

        Cut(b, &stockB, c.b);
        ExpectSide(b, stockB, c.b, "b");
        ExpectSide(a, stockA, c.a, "a after b's cut");
        EXPECT_EQ(std::memcmp(&a.pose, &keptPose, sizeof keptPose), 0);
        EXPECT_EQ(std::memcmp(&a.flags, &keptFlags, sizeof keptFlags), 0);
        EXPECT_EQ(std::memcmp(&a.measured, &keptMeasures, sizeof keptMeasures), 0);

        // A's second cut at its pose finds its own cut in its own stock: nothing more to remove,
        // and b's state stays as b's cut left it.
        EXPECT_EQ(Cut(a, &stockA, c.a), 0.0);
        ExpectSide(b, stockB, c.b, "b after a's second cut");
        FreeStockModel(&stockA);
        FreeStockModel(&stockB);
    }
}

}  // namespace
}  // namespace mirexa
