// Holder and shank checks: the section layouts against hand-worked values (LENGTH2, LENGTH3,
// the taper search's widened neck, ARBOR, ARBOR2 and ARBOR3 envelopes).
#include "simulation/holder_checks.h"

#include <gtest/gtest.h>

#include <cmath>

#include "structure_test_support.h"

namespace mirexa {
namespace {

using testing::PutFlatTool;
using testing::ScopedCheckState;

constexpr double kDegree = M_PI / 180.0;

class SectionLayout : public ::testing::Test {
protected:
    ScopedCheckState state;
    // A 6 mm flat end mill (body radius 3) as tool 1.
    void SetUp() override {
        PutFlatTool(1, 6, 12);
    }
    static void SetLength(std::uint32_t kind, std::initializer_list<float> values) {
        ToolLengthRecord& l = ToolTableSet.lengths[1];
        l.kind = kind;
        int i = 0;
        for (float v : values) {
            l.values[i++] = v;
        }
    }
    static void SetHolder(std::uint32_t kind, std::initializer_list<float> diameters,
                          std::initializer_list<float> lengths,
                          std::initializer_list<int> codes = {}) {
        ArborProfile& h = ToolTableSet.arbors[1];
        h.present = 1;
        h.kind = kind;
        h.count = static_cast<int>(lengths.size());
        int i = 0;
        for (float d : diameters) {
            h.diameters[i++] = d;
        }
        i = 0;
        for (float l : lengths) {
            h.lengths[i++] = l;
        }
        i = 0;
        for (int c : codes) {
            h.codes[i++] = c;
        }
    }
};

TEST_F(SectionLayout, LengthTwoNeckWidensToTheShank) {
    // LENGTH2 a 60, b 20 (neck start), c 15 (neck length), g 16 (shank diameter).
    SetLength(kToolLength2, {60, 20, 15, 0, 0, 16});
    SelectCurrentTool(1, 0.0);
    ShankSectionValues s[3];
    ASSERT_EQ(LayoutShankSections(CurrentTool, 20.0, -1.0, s), 3);
    EXPECT_DOUBLE_EQ(s[0].start, 20.0);
    EXPECT_DOUBLE_EQ(s[0].length, 15.0);
    EXPECT_DOUBLE_EQ(s[0].coneStartRadius, 3.0);
    EXPECT_DOUBLE_EQ(s[0].topRadius, 8.0);
    EXPECT_DOUBLE_EQ(s[0].windowRadius, 8.0);
    EXPECT_EQ(s[1].length, 0.0) << "LENGTH2 has no taper";
    EXPECT_DOUBLE_EQ(s[2].start, 35.0);
    EXPECT_DOUBLE_EQ(s[2].length, 25.0);
    EXPECT_DOUBLE_EQ(s[2].topRadius, 8.0);
    EXPECT_EQ(s[2].index, 2);
    // Laid out from another neck start with the search's long shank.
    ASSERT_EQ(LayoutShankSections(CurrentTool, 31.5, kSearchShankLength, s), 3);
    EXPECT_DOUBLE_EQ(s[2].start, 46.5);
    EXPECT_DOUBLE_EQ(s[2].length, 500.0);
}

TEST_F(SectionLayout, LengthThreeNeckTaperAndShank) {
    // LENGTH3 a 60, b 20, c 10, neck angle p 1 deg, taper angle q 30 deg, g 16.
    SetLength(kToolLength3, {60, 20, 10, 1, 30, 16});
    SelectCurrentTool(1, 0.0);
    ShankSectionValues s[3];
    ASSERT_EQ(LayoutShankSections(CurrentTool, 20.0, -1.0, s), 3);
    const double neckTop = 3.0 + 10.0 * std::tan(1.0 * kDegree);
    const double taper = (8.0 - neckTop) / std::tan(30.0 * kDegree);
    EXPECT_NEAR(s[0].topRadius, neckTop, 1e-9);
    EXPECT_DOUBLE_EQ(s[0].length, 10.0);
    EXPECT_NEAR(s[1].coneStartRadius, neckTop, 1e-9);
    EXPECT_NEAR(s[1].length, taper, 1e-9);
    EXPECT_DOUBLE_EQ(s[1].start, 30.0);
    EXPECT_NEAR(s[2].start, 30.0 + taper, 1e-9);
    EXPECT_NEAR(s[2].length, 30.0 - taper, 1e-9);

    // The taper search widens the neck as the tool's own neck widens.
    ASSERT_EQ(LayoutTaperSearchSections(CurrentTool, 4.0, s), 3);
    EXPECT_NEAR(s[0].topRadius, 3.0 + 4.0 * std::tan(1.0 * kDegree), 1e-9);
    EXPECT_DOUBLE_EQ(s[1].start, 24.0);
    EXPECT_DOUBLE_EQ(s[2].length, 500.0);
    // A neck that would pass the shank radius ends the search.
    EXPECT_EQ(LayoutTaperSearchSections(CurrentTool, 400.0, s), -1);
    // A length of 0 leaves the neck out.
    ASSERT_EQ(LayoutTaperSearchSections(CurrentTool, 0.0, s), 3);
    EXPECT_EQ(s[0].length, 0.0);
    EXPECT_DOUBLE_EQ(s[1].coneStartRadius, 3.0);

    // A neck angle of 0: no neck section; the taper starts at the body radius.
    SetLength(kToolLength3, {60, 20, 10, 0, 30, 16});
    SelectCurrentTool(1, 0.0);
    ASSERT_EQ(LayoutShankSections(CurrentTool, 20.0, -1.0, s), 3);
    EXPECT_EQ(s[0].length, 0.0);
    EXPECT_DOUBLE_EQ(s[1].coneStartRadius, 3.0);
    EXPECT_NEAR(s[1].length, 5.0 / std::tan(30.0 * kDegree), 1e-9);
}

TEST_F(SectionLayout, NoShankPassesWithoutAWiderShank) {
    ShankSectionValues s[3];
    SetLength(kToolLength1, {50});
    SelectCurrentTool(1, 0.0);
    EXPECT_EQ(HasShankPasses(CurrentTool), 0);
    EXPECT_EQ(LayoutShankSections(CurrentTool, 0.0, -1.0, s), 0);
    EXPECT_EQ(LayoutTaperSearchSections(CurrentTool, 1.0, s), 0);
    // A shank no wider than the body.
    SetLength(kToolLength2, {60, 20, 15, 0, 0, 6});
    SelectCurrentTool(1, 0.0);
    EXPECT_EQ(HasShankPasses(CurrentTool), 0);
}

TEST_F(SectionLayout, HolderSectionsFollowTheEnvelope) {
    SetLength(kToolLength1, {50});
    ShankSectionValues s[kArborMaxSegments];
    // ARBOR: cylinders.
    SetHolder(kArborCylinders, {20, 40}, {10, 30});
    SelectCurrentTool(1, 0.0);
    ASSERT_EQ(LayoutHolderSections(CurrentTool, 50.0, s), 2);
    EXPECT_DOUBLE_EQ(s[0].start, 50.0);
    EXPECT_DOUBLE_EQ(s[0].coneStartRadius, 10.0);
    EXPECT_DOUBLE_EQ(s[0].topRadius, 10.0);
    EXPECT_DOUBLE_EQ(s[1].start, 60.0);
    EXPECT_DOUBLE_EQ(s[1].windowRadius, 20.0);
    // Laid out from a searched holder start.
    ASSERT_EQ(LayoutHolderSections(CurrentTool, 72.5, s), 2);
    EXPECT_DOUBLE_EQ(s[1].start, 82.5);

    // ARBOR2 that narrows (40, then 30, then 50): the first cone starts at the shank radius and
    // every window reaches the wide end of its section.
    SetHolder(kArborCones, {40, 30, 50}, {15, 25});
    SelectCurrentTool(1, 0.0);
    ASSERT_EQ(LayoutHolderSections(CurrentTool, 50.0, s), 2);
    EXPECT_DOUBLE_EQ(s[0].coneStartRadius, CurrentTool.shankRadius);
    EXPECT_GE(s[0].topRadius, 20.0);
    EXPECT_GE(s[1].windowRadius, 20.0);
    EXPECT_GE(s[1].coneStartRadius, 20.0) << "no narrowing cone";
    EXPECT_GE(s[1].topRadius, s[1].coneStartRadius);

    // ARBOR3: code 0 a cylinder, otherwise a cone to the next radius.
    SetHolder(kArborCoded, {20, 30, 30}, {15, 25}, {1, 0});
    SelectCurrentTool(1, 0.0);
    ASSERT_EQ(LayoutHolderSections(CurrentTool, 50.0, s), 2);
    EXPECT_DOUBLE_EQ(s[0].coneStartRadius, 10.0);
    EXPECT_DOUBLE_EQ(s[0].topRadius, 15.0);
    EXPECT_DOUBLE_EQ(s[1].coneStartRadius, 15.0);
    EXPECT_DOUBLE_EQ(s[1].topRadius, 15.0);

    ToolTableSet.arbors[1].present = 0;
    SelectCurrentTool(1, 0.0);
    EXPECT_EQ(LayoutHolderSections(CurrentTool, 50.0, s), 0);
}

}  // namespace
}  // namespace mirexa
