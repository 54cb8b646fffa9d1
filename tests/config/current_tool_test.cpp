// Current tool selection and the derived cutter, shank and holder values, per shape against
// hand-worked values (the OVAL root against an independent tangency search).
#include "config/current_tool.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "config/tool_profile.h"
#include "definition_test_support.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"

namespace mirexa {
namespace {

using testing::DefinitionFileTest;
using testing::HookCalls;

class CurrentToolTest : public DefinitionFileTest {
protected:
    void SetUp() override {
        DefinitionFileTest::SetUp();
        ASSERT_EQ(AllocToolTables(20), 1);
    }
    static ToolRecord& Tool(int n, std::uint32_t type, float d) {
        return PutTool(n, type, d);
    }
};

TEST_F(CurrentToolTest, BallBullAndFlatCutters) {
    ToolRecord& ball = Tool(1, kToolBall, 10);
    ball.r = 5, ball.f = 5, ball.h = 20;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
    const CurrentToolRecord& c = RunTools.tool;
    EXPECT_DOUBLE_EQ(c.cornerCentreRadius, 0.0);
    EXPECT_DOUBLE_EQ(c.cornerCentreHeight, 5.0);
    EXPECT_DOUBLE_EQ(c.bottomEdgeRadius, 0.0);
    EXPECT_DOUBLE_EQ(c.sideCotangent, 0.0);
    EXPECT_DOUBLE_EQ(c.cuttingTopRadius, 5.0);
    EXPECT_DOUBLE_EQ(c.sideOffset, 5.0);
    EXPECT_FLOAT_EQ(c.length.values[0], 30.0f) << "no length record: three diameters";
    EXPECT_DOUBLE_EQ(c.toolLength, 0.0);
    EXPECT_DOUBLE_EQ(c.maxRadius, 5.0);
    EXPECT_EQ(c.derivedFrom, 1);

    ToolRecord& bull = Tool(2, kToolBull, 10);
    bull.r = 2, bull.h = 15;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 2, 0.5);
    EXPECT_DOUBLE_EQ(c.cornerCentreRadius, 3.0);
    EXPECT_DOUBLE_EQ(c.cornerCentreHeight, 2.0);
    EXPECT_DOUBLE_EQ(c.bottomEdgeRadius, 3.0);
    EXPECT_DOUBLE_EQ(c.cornerCentreRadiusSquared, 9.0);

    Tool(3, kToolFlat, 10).h = 12;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 3, 0.5);
    EXPECT_DOUBLE_EQ(c.cornerCentreRadius, 5.0);
    EXPECT_DOUBLE_EQ(c.cornerCentreHeight, 0.0);
    EXPECT_DOUBLE_EQ(c.bottomEdgeRadius, 5.0);
    EXPECT_FLOAT_EQ(c.length.values[0], 30.0f);
    EXPECT_FLOAT_EQ(ToolTableSet.lengths[3].values[0], 0.0f) << "only the copy gets the default";
}

TEST_F(CurrentToolTest, TaperedCutterAtFortyFiveDegrees) {
    // d 10, r 1, alpha 0, beta 45, h 10: tan((0 + 45)/2 + 45) = tan 67.5 = 1 + sqrt 2.
    ToolRecord& t = Tool(1, kToolGeneralCutter, 10);
    t.r = 1, t.beta = 45, t.h = 10;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0);
    const CurrentToolRecord& c = RunTools.tool;
    const double tan675 = 1.0 + std::sqrt(2.0);
    EXPECT_NEAR(c.cornerCentreRadius, 5.0 - 1.0 / tan675, 1e-12);
    EXPECT_NEAR(c.cornerCentreHeight, 1.0, 1e-12);
    EXPECT_EQ(c.sideCotangent, 1.0) << "the tangent of 45 is taken as exactly 1";
    EXPECT_DOUBLE_EQ(c.sideOffset, -5.0);
    EXPECT_NEAR(c.sideStartRadius, 5.0 + std::sqrt(0.5) / tan675, 1e-12);
    EXPECT_DOUBLE_EQ(c.cuttingTopRadius, 15.0) << "R + (h - R tan 0) tan 45";
    EXPECT_DOUBLE_EQ(c.cuttingTopHeight, 10.0);

    // A side angle of 90 degrees is taken just below it: the values stay finite.
    t.beta = 90;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0);
    EXPECT_TRUE(std::isfinite(c.sideStartRadius));
    EXPECT_TRUE(std::isfinite(c.cuttingTopRadius));
    EXPECT_TRUE(std::isfinite(c.sideCotangent));
}

TEST_F(CurrentToolTest, OvalCuttersMeetTheirCornerArcTangentially) {
    // e = f = 8 is a circle of radius 8 centred 8 above the tip; a corner arc of radius 1 whose
    // centre lies at radius 4 touches it where the line from (0, 8) through the centre leaves
    // the circle: centre height 8 - sqrt(7^2 - 4^2), touching radius 4 * 8 / 7.
    ToolRecord& circle = Tool(1, kToolOval, 10);
    circle.e = 8, circle.f = 8, circle.r = 1, circle.h = 10;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
    const CurrentToolRecord& c = RunTools.tool;
    EXPECT_NEAR(c.cornerCentreRadius, 32.0 / 7.0, 1e-9);
    EXPECT_NEAR(c.cornerCentreHeight, 8.0 - std::sqrt(33.0), 1e-9);
    EXPECT_DOUBLE_EQ(c.bottomEdgeRadius, 4.0);
    EXPECT_EQ(c.bottomSlope, -1.0);
    EXPECT_DOUBLE_EQ(c.sideStartRadius, 5.0);

    // e = 10, f = 6: find the touching point by bisection on the ellipse, independently.
    ToolRecord& oval = Tool(2, kToolOval, 10);
    oval.e = 10, oval.f = 6, oval.r = 1, oval.h = 10;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 2, 0.5);
    const double e = 10, f = 6, r = 1;
    auto centre = [&](double x, double* cy) {
        const double y = f - f * std::sqrt(1 - x * x / (e * e));
        const double gx = x / (e * e), gy = (y - f) / (f * f);
        const double g = std::hypot(gx, gy);
        *cy = y - r * gy / g;
        return x - r * gx / g;  // the centre lies inside, against the outward gradient
    };
    double lo = 4.0, hi = 5.0, cy = 0;
    for (int i = 0; i < 200; ++i) {
        const double mid = (lo + hi) / 2;
        (centre(mid, &cy) < 4.0 ? lo : hi) = mid;
    }
    centre(lo, &cy);
    EXPECT_NEAR(c.cornerCentreRadius, lo, 1e-9);
    EXPECT_NEAR(c.cornerCentreHeight, cy, 1e-9);

    // Without a corner radius E is R; an OVAL with e = 0 gives no root instead of a division.
    ToolRecord& plain = Tool(3, kToolOval, 10);
    plain.e = 4, plain.f = 3, plain.h = 10;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 3, 0.5);
    EXPECT_DOUBLE_EQ(c.cornerCentreRadius, 5.0);
    EXPECT_DOUBLE_EQ(c.cornerCentreHeight, 3.0) << "e <= R: F is f";
    ToolRecord& flat = Tool(4, kToolOval, 10);
    flat.r = 1, flat.h = 10;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 4, 0.5);
    EXPECT_DOUBLE_EQ(c.cornerCentreRadius, 0.0);
    EXPECT_TRUE(std::isfinite(c.cornerCentreHeight));
}

TEST_F(CurrentToolTest, TSlotAndVerticalAndRadiusValues) {
    ToolRecord& t = Tool(1, kToolTThrow, 20);
    t.w = 16, t.t = 5, t.neck = 8;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0);
    const CurrentToolRecord& c = RunTools.tool;
    EXPECT_DOUBLE_EQ(c.tSlotFlatWidth, 5.0);
    EXPECT_DOUBLE_EQ(c.tSlotUpperCentre, 10.0);
    EXPECT_DOUBLE_EQ(c.shankStartRadius, 4.0) << "a T-slot's shank starts at its neck";
    EXPECT_DOUBLE_EQ(c.maxRadius, 10.0) << "the blade is wider than the neck";

    t.r = 1, t.r2 = 1, t.t = 2;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0);
    EXPECT_DOUBLE_EQ(c.tSlotFlatWidth, 0.0);
    EXPECT_DOUBLE_EQ(c.tSlotUpperCentre, 0.0);

    ToolRecord& v = Tool(2, kToolVertical, 10);
    v.k = 2, v.h = 10;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 2, 0);
    EXPECT_DOUBLE_EQ(c.innerRadiusSquared, 9.0);
    ToolRecord& radius = Tool(3, kToolRadius, 20);
    radius.r = 3, radius.f = 3, radius.e = 4;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 3, 0);
    EXPECT_DOUBLE_EQ(c.radiusOffsetSquared, 16.0);
    EXPECT_DOUBLE_EQ(c.innerRadiusSquared, 0.0);
}

TEST_F(CurrentToolTest, ShanksFromLengthRecords) {
    ToolRecord& t = Tool(1, kToolFlat, 10);
    t.h = 20;
    ToolLengthRecord& length = ToolTableSet.lengths[1];
    length.kind = kToolLength2;
    length.values[0] = 80, length.values[1] = 25, length.values[2] = 10, length.values[5] = 20;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0);
    const CurrentToolRecord& c = RunTools.tool;
    EXPECT_DOUBLE_EQ(c.shankRadius, 10.0);
    EXPECT_DOUBLE_EQ(c.shankSlope, 2.0) << "10 mm of height over 5 mm of radius";
    EXPECT_DOUBLE_EQ(c.toolLength, 80.0);

    // LENGTH3 with a second angle of 0: an infinite cotangent and the break at the cutter.
    length.kind = kToolLength3;
    length.values[3] = 0, length.values[4] = 45;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0);
    EXPECT_EQ(c.shankSecondCotangent, DBL_MAX);
    EXPECT_DOUBLE_EQ(c.shankBreakRadius, 5.0);
    EXPECT_DOUBLE_EQ(c.shankSlope, 1.0);
    EXPECT_DOUBLE_EQ(c.shankFullHeight, 15.0) << "(10 - 5) * 1 + 10";

    length.values[3] = 45;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0);
    EXPECT_DOUBLE_EQ(c.shankBreakRadius, 15.0) << "10 / cot 45 + 5";

    // A taper angle of 0 is a plain step, not an infinite slope.
    length.values[4] = 0;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0);
    EXPECT_DOUBLE_EQ(c.shankSlope, 0.0);
    EXPECT_TRUE(std::isfinite(c.shankFullHeight));
}

TEST_F(CurrentToolTest, HolderClearanceAndEnvelope) {
    ToolRecord& t = Tool(1, kToolFlat, 10);
    t.h = 20;
    ToolTableSet.lengths[1].kind = kToolLength1;
    ToolTableSet.lengths[1].values[0] = 60;
    ArborProfile& holder = ToolTableSet.arbors[1];
    holder.present = 1, holder.kind = kArborCylinders, holder.count = 1;
    holder.diameters[0] = 20, holder.lengths[0] = 50;

    Checks.arborClearanceMode = 1;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
    EXPECT_NEAR(RunTools.tool.holder.diameters[0], 2 * std::sqrt(0.0625 + 110.25), 1e-5);
    EXPECT_NEAR(RunTools.tool.holder.diameters[0], 21.006, 5e-4);
    EXPECT_FLOAT_EQ(holder.diameters[0], 20.0f) << "the tables keep the plain holder";
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0);
    EXPECT_FLOAT_EQ(RunTools.tool.holder.diameters[0], 20.0f) << "pitch 0: no clearance";
    Checks.arborClearanceMode = 2;
    Checks.arborClearance = 1.5;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
    EXPECT_FLOAT_EQ(RunTools.tool.holder.diameters[0], 23.0f);
    Checks.arborClearanceMode = 0;

    // ARBOR2 40, 30, 50: the second segment widens from 30 to 50, so its envelope is 25.
    holder.kind = kArborCones, holder.count = 2;
    holder.diameters[0] = 40, holder.diameters[1] = 30, holder.diameters[2] = 50;
    holder.lengths[0] = 10, holder.lengths[1] = 20;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
    const CurrentToolRecord& c = RunTools.tool;
    ASSERT_EQ(c.holderRadiusCount, 3);
    EXPECT_DOUBLE_EQ(c.holderRadii[0], 5.0);
    EXPECT_DOUBLE_EQ(c.holderRadii[1], 20.0);
    EXPECT_DOUBLE_EQ(c.holderRadii[2], 25.0);
    EXPECT_DOUBLE_EQ(c.holderHeights[1], 70.0);
    EXPECT_DOUBLE_EQ(c.holderHeights[2], 90.0);
    EXPECT_DOUBLE_EQ(c.topRadiusSquared, 625.0);
    EXPECT_DOUBLE_EQ(c.maxRadius, 25.0);

    // ARBOR3 adds one radius from the closing diameter.
    holder.kind = kArborCoded;
    holder.diameters[2] = 44;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
    ASSERT_EQ(c.holderRadiusCount, 4);
    EXPECT_DOUBLE_EQ(c.holderRadii[2], 20.0) << "an ARBOR3 segment takes its lower diameter";
    EXPECT_DOUBLE_EQ(c.holderRadii[3], 22.0);
}

TEST_F(CurrentToolTest, SelectionGuardsPensAndAbsentTools) {
    ToolRecord& ball = Tool(1, kToolBall, 10);
    ball.r = 5, ball.h = 20;
    ToolTableSet.pens[1] = 7;
    ToolTableSet.shifts[1] = 2.5f;
    Machine.toolHolderOffset = 100;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
    EXPECT_EQ(RunTools.tool.pen, 7);
    EXPECT_EQ(RunTools.tool.penBits, 7 * 16);
    EXPECT_DOUBLE_EQ(RunKinematics.toolValues.toolShift, 2.5);
    EXPECT_DOUBLE_EQ(RunKinematics.toolValues.gaugeLength, 130.0) << "holder offset + top of 30";

    const CurrentToolRecord before = RunTools.tool;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, -1, 0.5);
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 21, 0.5);
    EXPECT_EQ(RunTools.tool.derivedFrom, before.derivedFrom) << "numbers outside the tables";

    HookCalls.clear();
    Controller.autoLengthOffset = 1;
    RunKinematics.toolValues.lengthOffset = 50;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 5, 0.5);  // an empty pocket
    EXPECT_EQ(RunTools.tool.derivedFrom, 1);
    EXPECT_DOUBLE_EQ(RunTools.tool.cornerCentreHeight, 5.0) << "the previous cutter values stay";
    EXPECT_DOUBLE_EQ(RunKinematics.toolValues.gaugeLength, 100.0);
    EXPECT_DOUBLE_EQ(RunTools.profile.profileTop, 0.0);
    EXPECT_DOUBLE_EQ(RunKinematics.toolValues.lengthOffset, 0.0);
    EXPECT_EQ(HookCalls, (std::vector<std::string>{"clearPluginToolMark", "markToolListDirty"}));

    HookCalls.clear();
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
    EXPECT_EQ(HookCalls,
              (std::vector<std::string>{"markHeadListsDirty", "clearPluginToolMark",
                                        "setLengthOffsetForCurrentTool", "markToolListDirty"}));
    // Tool 0 with a negative pen keeps the current pen.
    Tool(0, kToolFlat, 6).h = 10;
    ToolTableSet.pens[0] = -1;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 0, 0.5);
    EXPECT_EQ(RunTools.tool.pen, 7);
}

TEST_F(CurrentToolTest, PluginToolsGetTheirDependentSizes) {
    ToolRecord ball;
    ball.type = kToolBall, ball.d = 8;
    DeriveToolShape(&ball);
    EXPECT_FLOAT_EQ(ball.r, 4.0f);
    EXPECT_FLOAT_EQ(ball.f, 4.0f);
    ToolRecord bull;
    bull.type = kToolBull, bull.d = 10, bull.r = 1.5f;
    DeriveToolShape(&bull);
    EXPECT_FLOAT_EQ(bull.e, 3.5f);
    EXPECT_FLOAT_EQ(bull.f, 1.5f);
    ToolRecord taper;
    taper.type = kToolTaperBall, taper.r = 2, taper.beta = 45;
    DeriveToolShape(&taper);  // 2 r (sin 45 tan 45 - tan 45 + cos 45) = 4 (sqrt 2 - 1)
    EXPECT_NEAR(taper.d, 4 * (std::sqrt(2.0) - 1), 1e-6);
    ToolRecord radius;
    radius.type = kToolRadius, radius.d = 10, radius.r = 2, radius.f = 3;
    DeriveToolShape(&radius);
    EXPECT_FLOAT_EQ(radius.e, 1.0f);
}

}  // namespace
}  // namespace mirexa
