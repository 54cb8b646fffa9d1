// The tool profile: point lists per shape against hand-worked points, the sampling limits, the
// worst-case point count, the angled head's exact quarter turns, and the boxes.
#include "config/tool_profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "definition_test_support.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"

namespace mirexa {
namespace {

using testing::DefinitionFileTest;

using Points = std::vector<std::pair<double, double>>;

class ToolProfileTest : public DefinitionFileTest {
protected:
    void SetUp() override {
        DefinitionFileTest::SetUp();
        ASSERT_EQ(AllocToolTables(20), 1);
    }
    static ToolRecord& Tool(std::uint32_t type, float d) {
        return PutTool(1, type, d);
    }
    static Points Select(double pitch) {
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, pitch);
        Points points;
        for (int i = 0; i < RunTools.profile.pointCount; ++i) {
            points.emplace_back(RunTools.profile.radii[i], RunTools.profile.heights[i]);
        }
        return points;
    }
    static void ExpectPoints(const Points& actual, const Points& expected) {
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(actual[i].first, expected[i].first, 1e-12) << "point " << i;
            EXPECT_NEAR(actual[i].second, expected[i].second, 1e-12) << "point " << i;
        }
    }
};

TEST_F(ToolProfileTest, BallSamplingFollowsThePitchWithinItsLimits) {
    ToolRecord& ball = Tool(kToolBall, 10);
    ball.r = 5, ball.h = 20;
    Points expected = {{0, 0}};
    for (int j = 1; j <= 10; ++j) {
        const double rho = 0.5 * j;
        expected.emplace_back(rho, 5 - std::sqrt(25 - rho * rho));
    }
    expected.emplace_back(5, 20);  // up the side to the cutting height
    expected.emplace_back(5, 30);  // the default length of three diameters
    ExpectPoints(Select(0.5), expected);
    EXPECT_EQ(RunTools.profile.cutterPointCount, 12);

    const Points coarse = Select(2.0);  // 5 / 2 gives 2, raised to 5 points
    ASSERT_EQ(coarse.size(), 8u);
    EXPECT_NEAR(coarse[1].first, 1.0, 1e-12);
    EXPECT_NEAR(coarse[3].second, 5 - 4, 1e-12) << "radius 3 lies 1 above the tip";
    EXPECT_EQ(Select(0.0).size(), 8u) << "pitch 0 samples with the fewest points";
    EXPECT_EQ(Select(0.01).size(), 13u) << "at most 10 corner points";
}

TEST_F(ToolProfileTest, FlatBullAndHolder) {
    ToolRecord& flat = Tool(kToolFlat, 10);
    flat.h = 20;
    ExpectPoints(Select(0.5), {{0, 0}, {5, 0}, {5, 20}, {5, 30}});

    // ARBOR 40, 50 above LENGTH 60.
    ToolTableSet.lengths[1].kind = kToolLength1;
    ToolTableSet.lengths[1].values[0] = 60;
    ArborProfile& holder = ToolTableSet.arbors[1];
    holder.present = 1, holder.kind = kArborCylinders, holder.count = 1;
    holder.diameters[0] = 40, holder.lengths[0] = 50;
    Machine.toolHolderOffset = 12;
    ExpectPoints(Select(0.5), {{0, 0}, {5, 0}, {5, 20}, {5, 60}, {20, 60}, {20, 110}});
    EXPECT_DOUBLE_EQ(RunTools.profile.profileTop, 110.0);
    EXPECT_DOUBLE_EQ(RunTools.profile.toolTopHeight, 122.0);
    EXPECT_DOUBLE_EQ(RunKinematics.toolValues.gaugeLength, 122.0);
    EXPECT_DOUBLE_EQ(RunTools.profile.cutterMax[2], 20.0);
    EXPECT_DOUBLE_EQ(RunTools.profile.cutterMax[0], 5.0);
    EXPECT_EQ(RunTools.profile.holderBoxGrown, 1);
    EXPECT_DOUBLE_EQ(RunTools.profile.holderMin[2], 20.0) << "from the last cutter point";
    EXPECT_DOUBLE_EQ(RunTools.profile.holderMax[0], 20.0);
    EXPECT_DOUBLE_EQ(RunTools.profile.holderMin[1], -20.0);

    // BULL 10 with r 2: the corner arc from radius 3 to 5 around (3, 2).
    holder.present = 0;
    ToolRecord& bull = Tool(kToolBull, 10);
    bull.r = 2, bull.h = 20;
    const Points points = Select(0.4);  // 2 / 0.4 = 5 points
    ASSERT_EQ(points.size(), 9u);
    EXPECT_NEAR(points[1].first, 3.0, 1e-12);
    EXPECT_NEAR(points[1].second, 0.0, 1e-12);
    EXPECT_NEAR(points[3].first, 3.8, 1e-12);
    EXPECT_NEAR(points[3].second, 2 - std::sqrt(4 - 0.64), 1e-12);
    EXPECT_NEAR(points[6].first, 5.0, 1e-12);
    EXPECT_NEAR(points[6].second, 2.0, 1e-12);
}

TEST_F(ToolProfileTest, WorstCaseFillsTheFixedArraysExactly) {
    // The largest outline a tool can have: the tip and the corner start (2), ten corner points,
    // a T-slot's flat rim, second corner and neck (7), the taper top (1), a LENGTH3 shank (3),
    // the top (1) and an ARBOR3 of ten stepped segments (21): 45 of the 46 places. (A concave
    // corner would start its arc at j = 0, but its centre then lies outside the side start, so
    // it draws no arc.)
    ToolRecord& t = Tool(kToolTThrow, 40);
    t.r = 2, t.r2 = 1, t.t = 6, t.neck = 10;
    t.beta = 10, t.h = 6;
    ToolLengthRecord& length = ToolTableSet.lengths[1];
    length.kind = kToolLength3;
    length.values[0] = 50, length.values[1] = 20, length.values[2] = 5;
    length.values[3] = 30, length.values[4] = 30, length.values[5] = 60;
    ArborProfile& holder = ToolTableSet.arbors[1];
    holder.present = 1, holder.kind = kArborCoded, holder.count = 10;
    for (int i = 0; i <= 10; ++i) {
        holder.diameters[i] = 70.0f + i;
    }
    for (int i = 0; i < 10; ++i) {
        holder.lengths[i] = 5;
        holder.codes[i] = 0;
    }
    Select(0.01);
    EXPECT_EQ(RunTools.profile.pointCount, 45);
    EXPECT_EQ(RunTools.profile.droppedPoints, 0);
    EXPECT_EQ(RunTools.profile.vertexCount, 45 * kProfileSweepSteps);
    EXPECT_EQ(RunTools.profile.cutterPointCount, 20);

    // A holder count beyond the lists (a plug-in's record) must not read or write past them.
    holder.count = 11;
    Select(0.01);
    EXPECT_LE(RunTools.profile.pointCount, kProfilePointCapacity);
}

TEST_F(ToolProfileTest, OvalAndRadiusShapes) {
    ToolRecord& oval = Tool(kToolOval, 10);
    oval.e = 8, oval.f = 8, oval.r = 1, oval.h = 10;
    const Points points = Select(0.0);  // 4 ellipse points, then 2 corner points
    ASSERT_GE(points.size(), 7u);
    const double E = 32.0 / 7.0;
    EXPECT_NEAR(points[4].first, E, 1e-9);
    EXPECT_NEAR(points[4].second, 8 - std::sqrt(64 - E * E), 1e-9);
    EXPECT_NEAR(points[6].first, 5.0, 1e-12);
    EXPECT_NEAR(points[6].second, 8 - std::sqrt(33.0), 1e-9);

    // RADIUS d 20, r 3, f 3: e = 10 - 3 - 3 = 4; the tip point becomes (0, f).
    ToolRecord& radius = Tool(kToolRadius, 20);
    radius.r = 3, radius.f = 3, radius.e = 4;
    const Points r = Select(0.5);
    EXPECT_NEAR(r[0].second, 3.0, 1e-12);
    EXPECT_NEAR(r[1].first, 4.0, 1e-12);
    // Radii 4 + 0.6 i for i = 1 .. 10 (i = 0 is not beyond e); i = 1: u = 2.4 and height
    // (1 - sqrt(1 - 2.4^2 / 9)) * 3 = 1.2; i = 10 ends at (10, F = 3); the top is 6 * 10.
    ASSERT_EQ(r.size(), 13u);
    EXPECT_NEAR(r[2].first, 4.6, 1e-12);
    EXPECT_NEAR(r[2].second, 1.2, 1e-12);
    EXPECT_NEAR(r[6].second, 0.0, 1e-12);
    EXPECT_NEAR(r[11].first, 10.0, 1e-12);
    EXPECT_NEAR(r[11].second, 3.0, 1e-12);
    EXPECT_NEAR(r[12].second, 60.0, 1e-12);
}

TEST_F(ToolProfileTest, AngledHeadTurnsExactlyAtQuarterTurns) {
    ToolRecord& flat = Tool(kToolFlat, 10);
    flat.h = 20;
    Machine.headAngles[1] = 90;
    Select(0.5);
    // Point (5, 30) at sweep step 0 is (5, 0, 30); a quarter turn about Y gives (30, 0, -5).
    const int last = RunTools.profile.pointCount - 1;
    const double* v = &RunTools.profile.rotatedMesh[(last * kProfileSweepSteps) * 3];
    EXPECT_EQ(v[0], 30.0);
    EXPECT_EQ(v[1], 0.0);
    EXPECT_EQ(v[2], -5.0);
    const double* plain = &RunTools.profile.mesh[(last * kProfileSweepSteps) * 3];
    EXPECT_EQ(plain[2], 30.0) << "the swept mesh itself is not turned";
    // Step 9 is 90 degrees: exactly (0, 5, 30).
    const double* quarter = &RunTools.profile.mesh[(last * kProfileSweepSteps + 9) * 3];
    EXPECT_EQ(quarter[0], 0.0);
    EXPECT_EQ(quarter[1], 5.0);

    Machine.headAngles[1] = 0;
    Machine.headAngles[0] = -90;
    Machine.headAngles[2] = 90;
    Select(0.5);
    // About X by -90: (y, z) -> (z, -y) gives (5, 30, 0); then about Z by 90: (x, y) -> (-y, x).
    v = &RunTools.profile.rotatedMesh[(last * kProfileSweepSteps) * 3];
    EXPECT_EQ(v[0], -30.0);
    EXPECT_EQ(v[1], 5.0);
    EXPECT_EQ(v[2], 0.0);

    double x = 0, y = 0;
    RotatePointDegrees(30, 2, 0, &x, &y);
    EXPECT_NEAR(x, std::sqrt(3.0), 1e-15);
    EXPECT_NEAR(y, 1.0, 1e-15);
}

}  // namespace
}  // namespace mirexa
