// The tools file: item search, shapes and their inferred types, holders, limits, pens, layout,
// start tools, the base-point shifts, bounds on numbers from the file, the sample, and the
// display names of tools.
#include "config/tools_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "config/tool_profile.h"
#include "definition_test_support.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"

namespace mirexa {
namespace {

using testing::DefinitionFileTest;
using testing::HookCalls;

class ToolsFileTest : public DefinitionFileTest {
protected:
    void SetUp() override {
        DefinitionFileTest::SetUp();
        ASSERT_EQ(AllocToolTables(20), 1);
    }
    static const ToolRecord& T(int n) {
        return ToolTableSet.tools[n];
    }
};

TEST_F(ToolsFileTest, ItemSearchFindsKeywordsWhereverItStops) {
    ReadTools(
        "MAGAZINE 12 BALL 10\nMAGAZINE 3 LENGTH 50 BALL 10 ARBOR 20,30\nMAGAZINE 4 XBALL 4\n");
    EXPECT_EQ(ToolFile.status, 1);
    EXPECT_EQ(T(12).present, 1u);
    EXPECT_EQ(T(12).type, kToolBall);
    EXPECT_FLOAT_EQ(T(12).d, 10.0f);
    EXPECT_FLOAT_EQ(T(12).r, 5.0f);
    EXPECT_FLOAT_EQ(T(12).e, 0.0f);
    EXPECT_FLOAT_EQ(T(12).f, 5.0f);
    EXPECT_FLOAT_EQ(T(3).h, 30.0f) << "BALL has no comma of its own: h is searched forward";
    EXPECT_EQ(ToolTableSet.arbors[3].present, 0u) << "the name search ran to the line end";
    EXPECT_EQ(ToolTableSet.lengths[3].kind, kToolLength1);
    EXPECT_EQ(T(4).type, kToolBall);
    EXPECT_EQ(ToolFile.highestTool, 12);
    EXPECT_EQ(T(5).present, 0u);

    ReadTools("MAGAZINE 1 BALL 10,30 ARBOR 20,30 LENGTH 40\n");
    EXPECT_EQ(ToolTableSet.arbors[1].present, 1u) << "a blank ends the name search";
    EXPECT_FLOAT_EQ(ToolTableSet.arbors[1].diameters[0], 20.0f);
}

TEST_F(ToolsFileTest, ShapesAndTheCutterTypeInference) {
    ReadTools(
        "MAGAZINE 1 CUTTER 10,5,0,5,0,0,20\nMAGAZINE 2 CUTTER 10,0,0,0,0,0,20\n"
        "MAGAZINE 3 CUTTER 10,2,3,2,0,0,20\nMAGAZINE 4 CUTTER 10,2,3,2,10,0,20\n"
        "MAGAZINE 5 TAPERBALL 2,45,20\nMAGAZINE 6 OVALR 10,6,8,1,20\nMAGAZINE 7 OVAL 10,6,4,20\n"
        "MAGAZINE 8 T-THROW 20;16,5,1,1,8\nMAGAZINE 9 T-THROW 20,3,2,1,8\n"
        "MAGAZINE 10 SPHERE 12,6\nMAGAZINE 11 RADIUS 20,3,2\nMAGAZINE 13 VERTICAL 10,2,15\n"
        "MAGAZINE 14 BULL 10,2,15 \"B\"\nMAGAZINE 15 KEGAKI 1,5\n");
    EXPECT_EQ(T(1).type, kToolBall);
    EXPECT_EQ(T(2).type, kToolFlat);
    EXPECT_EQ(T(3).type, kToolBull);
    EXPECT_EQ(T(4).type, kToolGeneralCutter);
    EXPECT_EQ(T(5).type, kToolTaperBall);
    EXPECT_NEAR(T(5).d, 4 * (std::sqrt(2.0) - 1), 1e-6) << "2r (sin b tan b - tan b + cos b)";
    EXPECT_EQ(T(6).type, kToolOval);
    EXPECT_FLOAT_EQ(T(6).f, 6.0f);
    EXPECT_FLOAT_EQ(T(6).e, 8.0f);
    EXPECT_FLOAT_EQ(T(6).r, 1.0f);
    EXPECT_FLOAT_EQ(T(7).r, 0.0f);
    EXPECT_FLOAT_EQ(T(8).w, 16.0f);
    EXPECT_FLOAT_EQ(T(8).r, 0.0f) << "a width other than d clears both corners";
    EXPECT_FLOAT_EQ(T(8).h, 25.0f);
    EXPECT_FLOAT_EQ(T(8).t, 5.0f);
    EXPECT_FLOAT_EQ(T(9).t, 4.0f) << "t grows to 2r";
    EXPECT_FLOAT_EQ(T(9).h, 15.0f) << "h is 5 t as read";
    EXPECT_FLOAT_EQ(T(10).h, 60.0f);
    EXPECT_FLOAT_EQ(T(10).neck, 6.0f);
    EXPECT_FLOAT_EQ(T(11).e, 10 - 3 - static_cast<float>(std::sqrt(9.0 - 1.0)));
    EXPECT_FLOAT_EQ(T(11).h, 3.0f);
    EXPECT_FLOAT_EQ(T(13).k, 2.0f);
    EXPECT_EQ(T(14).name, "B");
    EXPECT_FLOAT_EQ(T(14).e, 3.0f);
    EXPECT_EQ(T(15).type, kToolKegaki);

    // A taper angle of 90 degrees or more is taken just below it, and said in the log.
    ReadTools("MAGAZINE 1 TAPERBALL 2,90,20\n");
    EXPECT_FLOAT_EQ(T(1).beta, 89.99f);
    EXPECT_TRUE(std::isfinite(T(1).d));
    EXPECT_NE(LogText().find("tool 1 has an angle of 90"), std::string::npos);
}

TEST_F(ToolsFileTest, KegakiToolsLoseLengthAndHolder) {
    ReadTools(
        "ARBOR 40,50\nMAGAZINE 1 FLAT 1,5 \"KEGAKI 1\" LENGTH 30 ARBOR 20,10\n"
        "MAGAZINE 2 FLAT 10,20 \"END MILL\" LENGTH 30\nMAGAZINE 3 FLAT 10,20\n");
    EXPECT_EQ(T(1).type, kToolKegaki);
    EXPECT_EQ(ToolTableSet.lengths[1].kind, 0u);
    EXPECT_EQ(ToolTableSet.arbors[1].present, 0u);
    EXPECT_EQ(T(2).type, kToolFlat);
    EXPECT_EQ(ToolTableSet.arbors[2].present, 1u) << "the staged header holder";
    EXPECT_FLOAT_EQ(ToolTableSet.arbors[2].diameters[0], 40.0f);
    EXPECT_EQ(ToolTableSet.arbors[3].present, 0u) << "no length record, no holder";
}

TEST_F(ToolsFileTest, HoldersFromHeaderItemsAndHolderFiles) {
    scratch_.Write("tools/chuck.hld", "# chuck\nARBOR2 32,40,50,30,50\nARBOR 99,99\n");
    scratch_.Write("tools/own.hld", "ARBOR3 20,15,1,30,25,0,30\n");
    ReadTools(
        "ATL = chuck.hld\nMAGAZINE 1 FLAT 10,20 LENGTH 50\n"
        "ARBOR 60,10\n"  // after the first MAGAZINE line: an item of tool 1
        "MAGAZINE 2 FLAT 10,20 LENGTH 50\nMAGAZINE 3 FLAT 10,20 LENGTH 50 ATL own.hld\n",
        "tools/t.ttl");
    EXPECT_EQ(StagedHolderFile.status, 1);
    const ArborProfile& first = ToolTableSet.arbors[1];
    EXPECT_EQ(first.kind, kArborCylinders);
    EXPECT_FLOAT_EQ(first.diameters[0], 60.0f);
    const ArborProfile& second = ToolTableSet.arbors[2];
    EXPECT_EQ(second.kind, kArborCones);
    EXPECT_EQ(second.count, 2);
    EXPECT_FLOAT_EQ(second.diameters[1], 50.0f);
    const ArborProfile& third = ToolTableSet.arbors[3];
    EXPECT_EQ(third.kind, kArborCoded);
    EXPECT_EQ(third.codes[0], 1);

    ReadTools("ATL missing.hld\nMAGAZINE 1 FLAT 10,20 LENGTH 50\n", "tools/t.ttl");
    EXPECT_EQ(StagedHolderFile.status, -1);
    EXPECT_EQ(ToolTableSet.arbors[1].present, 0u);
}

TEST_F(ToolsFileTest, LimitsPensShiftsAndFeedTables) {
    ReadTools(
        "MAGAZINE 1 FLAT 10,20 LIMIT 50% PEN 20 SHIFT 1.5\n"
        "MAGAZINE 2 FLAT 10,20 LIMITSP 10%,20,30%,40% PEN 0\n"
        "MAGAZINE 3 FLAT 10,20 LIMITP 7 PEN -3\n"
        "MAGAZINE 4 FLAT 10,20 PEN 1e30 OPT-F V 100,1,200,2,300,0,400\n"
        "MAGAZINE 5 FLAT 10,20 OPT-F D 50\n");
    const ToolLoadLimit& a = ToolTableSet.loadLimits[1];
    EXPECT_EQ(a.type, kToolLoadSectionAlarm);
    for (float l : a.limits) {
        EXPECT_NEAR(l, 39.27, 0.005) << "50 % of the 78.54 mm2 cross-section";
    }
    EXPECT_EQ(ToolTableSet.pens[1], 15);
    EXPECT_FLOAT_EQ(ToolTableSet.shifts[1], 1.5f);
    const ToolLoadLimit& b = ToolTableSet.loadLimits[2];
    EXPECT_EQ(b.type, kToolLoadRemovalLog);
    EXPECT_NEAR(b.limits[0], 7.854, 0.001);
    EXPECT_FLOAT_EQ(b.limits[1], 20.0f);
    EXPECT_NEAR(b.limits[2], 23.562, 0.001);
    EXPECT_NEAR(b.limits[3], 31.416, 0.001);
    EXPECT_EQ(ToolTableSet.pens[2], 0);
    EXPECT_EQ(ToolTableSet.loadLimits[3].type, kToolLoadSectionLog);
    EXPECT_FLOAT_EQ(ToolTableSet.loadLimits[3].limits[3], 7.0f);
    EXPECT_EQ(ToolTableSet.pens[3], 0);
    EXPECT_EQ(ToolTableSet.pens[4], 15);
    const FeedOptimizationTable& f = ToolTableSet.feedTables[4];
    EXPECT_EQ(f.used[1], 1u);
    EXPECT_FLOAT_EQ(f.levels[1][0], 100.0f);
    EXPECT_FLOAT_EQ(f.steps[1][0], 1.0f);
    EXPECT_FLOAT_EQ(f.levels[1][1], 200.0f);
    EXPECT_FLOAT_EQ(f.steps[1][1], 2.0f);
    EXPECT_FLOAT_EQ(f.levels[1][2], 300.0f);
    EXPECT_EQ(f.pairs[1], 2) << "a step of 0 ends the table";
    EXPECT_EQ(ToolTableSet.feedTables[5].used[3], 1u);
    EXPECT_EQ(HasPercentBeforeComma("5%,6"), 1);
    EXPECT_EQ(HasPercentBeforeComma("5,6%"), 0);
    EXPECT_EQ(HasPercentBeforeComma("5%"), 0);
}

TEST_F(ToolsFileTest, MountedToolLayoutIsBounded) {
    ReadTools("MAGAZINE 1 FLAT 10,20 LAYOUT1 1,2,3\n");
    EXPECT_EQ(MountedTools.count, 0) << "a single mounted tool is no layout";
    EXPECT_EQ(MountedTools.flags[1], 0u);

    ReadTools("MAGAZINE 1 FLAT 10,20 LAYOUT1 1,2,3\nMAGAZINE 2 FLAT 10,20\n LAYOUT1 4,5,6\n");
    ASSERT_EQ(MountedTools.count, 2);
    EXPECT_EQ(MountedTools.list[1], 1);
    EXPECT_EQ(MountedTools.list[2], 2);
    EXPECT_DOUBLE_EQ(MountedTools.positions[2][2], 6.0);

    ASSERT_EQ(AllocToolTables(300), 1);
    std::string text;
    for (int n = 1; n <= 250; ++n) {
        text += "MAGAZINE " + std::to_string(n) + " FLAT 10,20 LAYOUT1 1,1,1\n";
    }
    ReadTools(text);
    EXPECT_EQ(MountedTools.count, 200);
    EXPECT_EQ(MountedTools.list[200], 200);
    EXPECT_NE(LogText().find("LAYOUT1 of tool 201"), std::string::npos);
}

TEST_F(ToolsFileTest, NumbersOutsideTheMagazineAreRefused) {
    ReadTools(
        "Continuation before any tool LENGTH 40\nI 3\nMAGAZINE 2 FLAT 10,20\n"
        "MAGAZINE 21 FLAT 8,20\nMAGAZINE 4 FLAT 6,20\n");
    EXPECT_EQ(T(2).present, 1u);
    EXPECT_EQ(T(21 - 1).present, 0u);
    EXPECT_EQ(T(4).present, 0u) << "reading stops at a number beyond MAX MAGAZINE";
    EXPECT_NE(LogText().find("names no pocket"), std::string::npos);
    EXPECT_EQ(ToolFile.currentTool, 3);

    ReadTools("I-5\nMAGAZINE 1 FLAT 10,20\n");
    EXPECT_EQ(ToolFile.currentTool, 1) << "a start tool outside the tables keeps 1";
    ReadTools("I 99\nMAGAZINE 1 FLAT 10,20\n");
    EXPECT_EQ(ToolFile.currentTool, 1);
    CommandLine.startTool = 500;
    ReadTools("I 2\nMAGAZINE 2 FLAT 10,20\n");
    EXPECT_EQ(ToolFile.currentTool, 2);
    CommandLine.startTool = 5;
    ReadTools("MAGAZINE 5 FLAT 10,20\n");
    EXPECT_EQ(ToolFile.currentTool, 5);
    EXPECT_EQ(RunTools.tool.derivedFrom, 5);
    ReadTools("MAGAZINE=5 FLAT 10,20\n");
    EXPECT_EQ(T(5).present, 0u) << "the number must follow MAGAZINE";
}

TEST_F(ToolsFileTest, ReReadingClearsTheTools) {
    ReadTools("MAGAZINE 7 BALL 10 \"OLD\"\n");
    EXPECT_EQ(T(7).name, "OLD");
    ReadTools("MAGAZINE 1 FLAT 10,20\n");
    EXPECT_EQ(T(7).present, 0u);
    EXPECT_TRUE(T(7).name.empty());
    ReadToolFileAt(RunSession, RunKinematics, RunTools, scratch_.At("missing.ttl"));
    EXPECT_EQ(ToolFile.status, -1);
    EXPECT_EQ(T(1).present, 0u);

    HookCalls.clear();
    ReadTools("MAGAZINE 1 FLAT 10,20\r\nPEN 3\r\n");
    EXPECT_EQ(ToolTableSet.pens[1], 3);
    EXPECT_EQ(HookCalls.front(), "setSnapshotToolNumber -1");
    EXPECT_EQ(HookCalls.back(), "clearPluginToolMark");
}

TEST_F(ToolsFileTest, BasePointShiftsLeaveTheOffsetMemoriesAlone) {
    const std::string text =
        "MAGAZINE 1 BALL 10,20 LENGTH 50 SHIFT 1\nMAGAZINE 2 BULL 10,2,20 LENGTH 60\n"
        "MAGAZINE 3 FLAT 10,20\n";
    Settings.toolBasePoint = 1;  // BALL-CENTER
    ReadTools(text);
    EXPECT_FLOAT_EQ(ToolTableSet.shifts[1], 6.0f);
    EXPECT_FLOAT_EQ(ToolTableSet.shifts[2], 0.0f);
    Settings.toolBasePoint = 2;  // F-CENTER
    ReadTools(text);
    EXPECT_FLOAT_EQ(ToolTableSet.shifts[2], 2.0f);
    EXPECT_FLOAT_EQ(ToolTableSet.shifts[3], 0.0f) << "only tools with a length record";
    Settings.toolBasePoint = 3;  // LENGTH-TOP
    ReadTools(text);
    EXPECT_FLOAT_EQ(ToolTableSet.shifts[2], 60.0f);

    Settings.toolBasePoint = 4;  // ARBOR-TOP: holder offset plus the profile top
    Machine.toolHolderOffset = 5;
    Controller.autoLengthOffset = 1;
    ToolOffsets.h[2] = 77;
    HookCalls.clear();
    ReadTools(text + "I 3\n");
    EXPECT_FLOAT_EQ(ToolTableSet.shifts[1], 1.0f + 55.0f);
    EXPECT_FLOAT_EQ(ToolTableSet.shifts[2], 65.0f);
    EXPECT_FLOAT_EQ(ToolOffsets.h[2], 77.0f);
    int lengthOffsets = 0;
    for (const std::string& call : HookCalls) {
        lengthOffsets += call == "setLengthOffsetForCurrentTool";
    }
    EXPECT_EQ(lengthOffsets, 1) << "only the final selection sets a length offset";
    EXPECT_EQ(RunTools.tool.derivedFrom, 3);
}

TEST_F(ToolsFileTest, BundledSampleToolsAndProfiles) {
    DexelPitch.currentPitch = 1.0;
    ReadToolFileAt(RunSession, RunKinematics, RunTools, std::string(MIREXA_SAMPLES) + "/vmc3.ttl");
    ASSERT_EQ(ToolFile.status, 1);
    EXPECT_EQ(StagedHolderFile.status, 1);
    EXPECT_TRUE(LogText().empty()) << LogText();
    EXPECT_EQ(T(1).type, kToolFlat);
    EXPECT_EQ(T(2).type, kToolBall);
    EXPECT_EQ(T(3).type, kToolBull);
    EXPECT_EQ(T(4).type, kToolGeneralCutter);
    EXPECT_EQ(T(4).name, "DRILL D8.5");
    EXPECT_EQ(ToolTableSet.arbors[3].kind, kArborCylinders) << "its own holder";
    EXPECT_EQ(ToolTableSet.arbors[4].kind, kArborCones) << "the holder file's";

    // The points listed in samples/README.md, at pitch 1.
    struct Expected {
        int tool;
        std::vector<std::pair<double, double>> points;
    };
    const double drillTip = 4.25 * std::tan(31.0 * 3.141592653589793 / 180.0);
    const Expected expected[] = {
        {1, {{0, 0}, {5, 0}, {5, 25}, {5, 45}, {25, 80}, {31.5, 105}, {31.5, 120}}},
        {3,
         {{0, 0},
          {6, 0},
          {6.4, 2 - std::sqrt(4 - 0.16)},
          {6.8, 2 - std::sqrt(4 - 0.64)},
          {7.2, 2 - std::sqrt(4 - 1.44)},
          {7.6, 2 - std::sqrt(4 - 2.56)},
          {8, 2},
          {8, 30},
          {8, 40},
          {8, 50},
          {8, 70},
          {25, 70},
          {25, 130},
          {31.5, 130},
          {31.5, 170}}},
        {4,
         {{0, 0}, {4.25, drillTip}, {4.25, 40}, {4.25, 80}, {25, 115}, {31.5, 140}, {31.5, 155}}},
    };
    for (const Expected& e : expected) {
        SelectCurrentTool(RunSession, RunKinematics, RunTools, e.tool, 1.0);
        ASSERT_EQ(RunTools.profile.pointCount, static_cast<int>(e.points.size())) << e.tool;
        for (std::size_t i = 0; i < e.points.size(); ++i) {
            EXPECT_NEAR(RunTools.profile.radii[i], e.points[i].first, 1e-5)
                << "tool " << e.tool << " point " << i;
            EXPECT_NEAR(RunTools.profile.heights[i], e.points[i].second, 1e-5)
                << "tool " << e.tool << " point " << i;
        }
    }
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 2, 1.0);
    ASSERT_EQ(RunTools.profile.pointCount, 11);
    EXPECT_NEAR(RunTools.profile.radii[1], 0.6, 1e-12);
    EXPECT_NEAR(RunTools.profile.heights[1], 3 - std::sqrt(9 - 0.36), 1e-12);
    EXPECT_NEAR(RunTools.profile.heights[10], 115.0, 1e-12);
}

TEST_F(ToolsFileTest, ToolTypeNamesInBothLanguages) {
    struct Case {
        std::uint32_t type;
        float e;
        const char* english;
        const char* japanese;
    };
    const Case cases[] = {
        {kToolBall, 0, "Ball End mill", "ボールエンドミル"},
        {kToolFlat, 0, "Flat End mill", "フラットエンドミル"},
        {kToolBull, 0, "Bull End mill", "ブルエンドミル"},
        {kToolTaperBall, 0, "Taper Ball End mill", "テーパーボールエンドミル"},
        {kToolVertical, 0, "Vertical Mill", "バーティカルミル"},
        {kToolOval, 5, "Oval Mill", "オーバルミル"},
        {kToolOval, 6, "Oval-R Mill", "複合楕円ミル"},
        {kToolTThrow, 0, "T-Throw", "Tスロー"},
        {kToolSphere, 0, "Other Tool", "その他の工具"},
        {kToolRadius, 0, "Radius Mill", "ラジアスミル"},
        {kToolKegaki, 0, "Kegaki Tool", "ケガキ工具"},
        {kToolGeneralCutter, 0, "Other Tool", "その他の工具"},
    };
    char buffer[64];
    for (const Case& c : cases) {
        ToolRecord tool;
        tool.present = 1, tool.type = c.type, tool.d = 10, tool.e = c.e;
        UiLanguage = 1;
        GetToolTypeName(tool, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, c.english);
        UiLanguage = 0;
        GetToolTypeName(tool, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, c.japanese);
    }
    ToolRecord named;
    named.present = 1, named.type = kToolBall, named.name = "MY BALL";
    GetToolTypeName(named, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "MY BALL");
    named.present = 0;
    UiLanguage = 1;
    GetToolTypeName(named, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "No Tool") << "presence is tested before the name";

    // A small buffer gets a cut, terminated text; Japanese is cut between characters.
    named.present = 1, named.name = std::string(100, 'x');
    char small[8];
    GetToolTypeName(named, small, sizeof small);
    EXPECT_EQ(std::strlen(small), 7u);
    UiLanguage = 0;
    ToolRecord ball;
    ball.present = 1, ball.type = kToolBall;
    GetToolTypeName(ball, small, sizeof small);
    EXPECT_STREQ(small, "ボー") << "7 bytes hold two of the three-byte characters";
    UiLanguage = 1;
}

}  // namespace
}  // namespace mirexa
