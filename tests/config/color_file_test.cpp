// Colour values and the colour file: the one colour rule, keyword matching and what a file
// leaves alone.
#include "config/color_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/scratch_directory.h"

namespace mirexa {
namespace {

ColorRef Parse(const char* text) {
    ColorRef color = 0x12345678;
    ParseColor(text, &color);
    return color;
}

TEST(ParseColorTest, WordsNumbersAndClamps) {
    EXPECT_EQ(Parse("BLACK"), 0u);
    EXPECT_EQ(Parse("white"), 0x00FFFFFFu);
    EXPECT_EQ(Parse(" White \r\n"), 0x00FFFFFFu);
    EXPECT_EQ(Parse("(255,0,0)"), 0x000000FFu);
    EXPECT_EQ(Parse("255,0,0"), 0x000000FFu);
    EXPECT_EQ(Parse("(10,20,30)"), MakeColorRef(10, 20, 30));
    EXPECT_EQ(Parse("(300,-5,12.9)"), MakeColorRef(255, 0, 12));
    // Values far outside the int range clamp instead of overflowing the conversion.
    EXPECT_EQ(Parse("(1e99,-1e99,1e308)"), MakeColorRef(255, 0, 255));
    // Missing numbers read as 0; a word that is no colour gives black.
    EXPECT_EQ(Parse("(200)"), MakeColorRef(200, 0, 0));
    EXPECT_EQ(Parse("(200,100"), MakeColorRef(200, 100, 0));
    EXPECT_EQ(Parse(""), 0u);
    EXPECT_EQ(Parse("BLACKISH"), 0u);
    EXPECT_EQ(Parse("WHITES"), 0u);
}

class ColorFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        live_ = ColorSet{};
        live_.work = MakeColorRef(1, 2, 3);
        live_.background = MakeColorRef(4, 5, 6);
        for (int pen = 1; pen <= 15; ++pen) {
            live_.pens[pen] = MakeColorRef(pen, pen, pen);
        }
        LiveColors = live_;
        EditColors = ColorSet{};
    }
    ColorSet live_;
    testing::ScratchDirectory scratch_;
};

TEST_F(ColorFileTest, AFileNamingOnlyTheBackgroundChangesOnlyTheBackground) {
    std::string path = scratch_.Write("night.ctc", "BACKGROUND COLOR (255,255,255)\n");
    ASSERT_EQ(ReadColorFile(path), 1);
    ColorSet expected = live_;
    expected.background = 0x00FFFFFF;
    EXPECT_EQ(std::memcmp(&EditColors, &expected, sizeof expected), 0);
    // The live set is the caller's to change.
    EXPECT_EQ(LiveColors.background, live_.background);
    RestoreColorSettingsFromEdit();
    EXPECT_EQ(LiveColors.background, 0x00FFFFFFu);
}

TEST_F(ColorFileTest, KeywordsMatchWithoutCaseAndPensByTheirWholeNumber) {
    std::string path = scratch_.Write("scheme.ctc",
                                      "; comment lines need no marker\r\n"
                                      "PEN12 COLOR=(12,0,0)\r\n"
                                      "pen1 color (0,0,1)\r\n"
                                      "Work Color WHITE\r\n"
                                      "CUT-PATH COLOR (9,9,9)\r\n"
                                      "TOP-PATH2 COLOR (7,7,7)\r\n"
                                      "TABLE1 COLOR 1,2,3\r\n"
                                      "HEAD2 COLOR");  // only the keyword, no line end
    ASSERT_EQ(ReadColorFile(path), 1);
    EXPECT_EQ(EditColors.pens[12], MakeColorRef(12, 0, 0));
    EXPECT_EQ(EditColors.pens[1], MakeColorRef(0, 0, 1));
    EXPECT_EQ(EditColors.pens[2], live_.pens[2]);
    EXPECT_EQ(EditColors.work, 0x00FFFFFFu);
    EXPECT_EQ(EditColors.topPath2, MakeColorRef(9, 9, 9));  // CUT-PATH names top path 2
    EXPECT_EQ(EditColors.table1, MakeColorRef(1, 2, 3));
    EXPECT_EQ(EditColors.table, 0u);  // TABLE1's line is not read as TABLE
    EXPECT_EQ(EditColors.head2, 0u);  // an empty value is black
}

TEST_F(ColorFileTest, AMissingFileChangesNothing) {
    EditColors.work = 77;
    EXPECT_EQ(ReadColorFile(scratch_.At("none.ctc")), 0);
    EXPECT_EQ(EditColors.work, 77u);
    EXPECT_EQ(LiveColors.work, live_.work);
}

}  // namespace
}  // namespace mirexa
