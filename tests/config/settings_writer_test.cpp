// The settings writer: number and value formats read back by the reader, the groups the user
// keeps, the window placement, and a file that nothing changed keeping every byte.
#include "config/settings_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "config/settings_file.h"
#include "config/tool_tables.h"
#include "config_test_support.h"
#include "services/file_paths.h"

namespace mirexa {
namespace {

TEST(SettingsFormatTest, StockNumbersAreIntegersOrCutFixedForms) {
    EXPECT_EQ(FormatStockNumber(30.5), "30.5");
    EXPECT_EQ(FormatStockNumber(100.0), "100");
    EXPECT_EQ(FormatStockNumber(-0.25), "-0.25");
    EXPECT_EQ(FormatStockNumber(-0.0), "0");
    EXPECT_EQ(FormatStockNumber(1e-9), "0");
    EXPECT_EQ(FormatStockNumber(-1e-9), "0");
    EXPECT_EQ(FormatStockNumber(2147483647.0), "2147483647");
    EXPECT_EQ(FormatStockNumber(-2147483648.0), "-2147483648");
    // Beyond the int range no integer conversion is made.
    EXPECT_EQ(FormatStockNumber(2147483648.0), "2147483648");
    EXPECT_EQ(FormatStockNumber(1e15 + 0.5), "1000000000000000.5");
    EXPECT_EQ(FormatStockNumber(1e300).size(), 301u);
    EXPECT_EQ(FormatStockNumber(std::nan("")), "0");
    EXPECT_EQ(FormatColorSetting(MakeColorRef(10, 20, 30)), "(10,20,30)");
}

TEST(SettingsFormatTest, TheThreeStockValuesReadBackAsWritten) {
    StockDefinition stock;
    stock.box[5] = 30.5;
    EXPECT_EQ(FormatInitialSizeSetting(stock), "(0,0,0,100,100,30.5)");
    EXPECT_EQ(FormatInitialSize2Setting(StockDefinition{}),
              "(LEFT,100,0,0,FRONT,200,0,0,BOTTOM,50,0,0)");
    EXPECT_EQ(FormatCylinderSetting(StockDefinition{}), "X(-80,0,0,80,100,40)");

    const unsigned seed = 20240607;
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> sixtyFourths(-64000, 64000);
    std::uniform_int_distribution<int> reference(-1, 1);
    for (int trial = 0; trial < 200; ++trial) {
        StockDefinition written;
        for (double& v : written.box) {
            v = sixtyFourths(random) / 64.0;  // exact in six decimals
        }
        for (int a = 0; a < 3; ++a) {
            written.sideReference[a] = reference(random);
            written.sideSize[a] = sixtyFourths(random) / 64.0;
            written.sideLowMargin[a] = sixtyFourths(random) / 64.0;
            written.sideHighMargin[a] = sixtyFourths(random) / 64.0;
        }
        written.cylinderAxis = trial % 3;
        for (double& v : written.cylinder) {
            v = sixtyFourths(random) / 64.0;
        }
        StockDefinition read;
        ASSERT_EQ(ParseInitialSizeSetting(FormatInitialSizeSetting(written).c_str(), &read), 1);
        ASSERT_EQ(ParseInitialSize2Setting(FormatInitialSize2Setting(written).c_str(), &read), 1);
        ASSERT_EQ(ParseCylinderSetting(FormatCylinderSetting(written).c_str(), &read), 1);
        for (int i = 0; i < 6; ++i) {
            ASSERT_EQ(read.box[i], written.box[i]) << "seed " << seed << " trial " << trial;
            ASSERT_EQ(read.cylinder[i], written.cylinder[i]) << "seed " << seed;
        }
        for (int a = 0; a < 3; ++a) {
            ASSERT_EQ(read.sideReference[a], written.sideReference[a]) << "seed " << seed;
            ASSERT_EQ(read.sideSize[a], written.sideSize[a]) << "seed " << seed;
            ASSERT_EQ(read.sideLowMargin[a], written.sideLowMargin[a]) << "seed " << seed;
            ASSERT_EQ(read.sideHighMargin[a], written.sideHighMargin[a]) << "seed " << seed;
        }
        ASSERT_EQ(read.cylinderAxis, written.cylinderAxis);
    }
}

class SettingsWriterTest : public testing::ConfigFixture {
protected:
    static void ResetAll() {
        testing::ResetConfigurationState();
    }
    std::string Settle(const std::string& text) {
        std::string path = scratch_.Write("mirexa.ini", text);
        ResetAll();
        ReadSettingsFrom(scratch_.Path(), scratch_.At("bin/mirexa"), nullptr);
        return path;
    }
    int Save(const MainWindowPlacement& placement) {
        messages_.clear();
        return SaveSettingsToIni(placement, &messages_);
    }
    const MainWindowPlacement samplePlacement_ = {0, 40, 30, 1440, 930, 1};
    const MainWindowPlacement minimised_ = {1, 0, 0, 10, 10, 2};
};

TEST_F(SettingsWriterTest, TheSampleComesBackByteForByteWhenNothingChanged) {
    const std::string sample = testing::ReadWholeFile(std::string(MIREXA_SAMPLES) + "/mirexa.ini");
    ASSERT_FALSE(sample.empty());
    for (const MainWindowPlacement& placement : {samplePlacement_, minimised_}) {
        std::string path = Settle(sample);
        EXPECT_EQ(Save(placement), 1);
        EXPECT_EQ(testing::ReadWholeFile(path), sample);
    }
}

TEST_F(SettingsWriterTest, ChangedValuesReadBackAndEverythingElseStays) {
    const std::string original =
        "; shop settings\r\n[Define]\r\nWORK COLOR=(1,1,1)\r\nMY OWN KEY=kept\r\n"
        "[Other]\r\nA=1\r\n";
    std::string path = Settle(original);
    LiveColors.work = MakeColorRef(10, 20, 30);
    LiveColors.pens[12] = MakeColorRef(1, 2, 3);
    LiveColors.background = MakeColorRef(4, 5, 6);
    DisplayModes.workAlpha = 0.25f;  // written with one decimal
    DisplayModes.toolTopColorMode = 0;
    // The display modes the display-mode dialog chose: semi-transparent, off, on.
    DisplayModes.workMode = 2;
    DisplayModes.toolMode = 0;
    DisplayModes.machineMode = 2;
    DisplayModes.baseMode = 1;
    InitialStock.box[5] = 30.5;
    InitialStock.sideReference[1] = 0;
    InitialStock.cylinderAxis = 2;
    EXPECT_EQ(Save(samplePlacement_), 1);
    const std::string text = testing::ReadWholeFile(path);
    EXPECT_NE(text.find("; shop settings\r\n"), std::string::npos);
    EXPECT_NE(text.find("MY OWN KEY=kept\r\n"), std::string::npos);
    EXPECT_NE(text.find("[Other]\r\nA=1\r\n"), std::string::npos);
    EXPECT_NE(text.find("WORK COLOR=(10,20,30)\r\n"), std::string::npos);
    EXPECT_NE(text.find("INITIAL SIZE=(0,0,0,100,100,30.5)\r\n"), std::string::npos);
    EXPECT_EQ(text.find("BASE ALPHA"), std::string::npos);  // never written
    EXPECT_EQ(text.find('\n', 0), text.find("\r\n", 0) + 1);

    ResetAll();
    ReadSettingsFrom(scratch_.Path(), scratch_.At("bin/mirexa"), nullptr);
    EXPECT_EQ(LiveColors.work, MakeColorRef(10, 20, 30));
    EXPECT_EQ(LiveColors.pens[12], MakeColorRef(1, 2, 3));
    EXPECT_EQ(LiveColors.background, MakeColorRef(4, 5, 6));
    EXPECT_EQ(DisplayModes.workAlpha, 0.2f);
    EXPECT_EQ(DisplayModes.toolTopColorMode, 0);
    EXPECT_EQ(std::vector<int>({DisplayModes.workMode, DisplayModes.toolMode,
                                DisplayModes.machineMode, DisplayModes.baseMode}),
              std::vector<int>({2, 0, 2, 1}));
    EXPECT_EQ(InitialStock.box[5], 30.5);
    EXPECT_EQ(InitialStock.sideReference[1], 0);
    EXPECT_EQ(InitialStock.cylinderAxis, 2);
    EXPECT_EQ(Settings.windowWidth, 1400);
    EXPECT_EQ(Settings.windowHeight, 900);
}

TEST_F(SettingsWriterTest, GroupsWhoseFlagIsOffKeepTheirOldValues) {
    std::string path = Settle(
        "[Save]\nWORK COLOR=0\nLINE COLOR=2\nBACKGROUND=2\nDISPLAY=1\nX=5\n"
        "[Define]\nWORK COLOR=(1,1,1)\nWORK ALPHA=0.9\nBACKGROUND=(2,2,2)\nTOP-PATH "
        "COLOR=(3,3,3)\n");
    LiveColors.work = MakeColorRef(50, 50, 50);
    LiveColors.pens[1] = MakeColorRef(50, 50, 50);
    LiveColors.background = MakeColorRef(60, 60, 60);
    LiveColors.topPath = MakeColorRef(70, 70, 70);
    DisplayModes.workAlpha = 0.1f;
    EXPECT_EQ(Save(minimised_), 1);
    const std::string text = testing::ReadWholeFile(path);
    EXPECT_NE(text.find("WORK COLOR=(1,1,1)"), std::string::npos);
    EXPECT_EQ(text.find("PEN1 COLOR"), std::string::npos);
    EXPECT_NE(text.find("WORK ALPHA=0.9"), std::string::npos);
    EXPECT_NE(text.find("BACKGROUND=(2,2,2)"), std::string::npos);         // only 1 writes it
    EXPECT_NE(text.find("TOP-PATH COLOR=(70,70,70)"), std::string::npos);  // any non-zero
    EXPECT_NE(text.find("TOOL-TOP COLOR="), std::string::npos);
    // A minimised window writes no placement.
    EXPECT_NE(text.find("X=5"), std::string::npos);
    EXPECT_EQ(text.find("WIDE="), std::string::npos);
    EXPECT_EQ(text.find("SHOW="), std::string::npos);
}

TEST_F(SettingsWriterTest, StockValuesInWorkCoordinatesStartTheSameStockAgain) {
    const double origin[3] = {-250, -180, -321};
    const struct {
        const char* input;   // INPUT COORDINATE
        int commandLineBox;  // the command line gave a box (machine mm) in place of INITIAL SIZE
        double box[6];       // machine mm after the start
        double cylinderBase[3];
    } cases[] = {
        {"WORK", 0, {-250, -180, -321, -150, -100, -291}, {-200, -140, -321}},
        {"WORK", 1, {1, 2, 3, 4, 5, 6}, {-200, -140, -321}},
        {"MACHINE", 0, {0, 0, 0, 100, 80, 30}, {50, 40, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.input) + (c.commandLineBox ? " with -D" : ""));
        const std::string file = std::string("[DMEdata]\nINPUT COORDINATE=") + c.input +
                                 "\nINITIAL SIZE=(0,0,0,100,80,30)\n"
                                 "INITIAL SIZE2=(LEFT,100,0,0,FRONT,80,0,0,BOTTOM,30,0,0)\n"
                                 "CYLINDER=Z(50,40,0,30,80,0)\n";
        const std::string path = scratch_.Write("mirexa.ini", file);
        ResetAll();
        if (c.commandLineBox) {
            CommandLine.stockGiven = 1;
            InitialStock.kind = kStockBox;
            std::copy(c.box, c.box + 6, InitialStock.box);
        }
        ReadSettingsFrom(scratch_.Path(), scratch_.At("bin/mirexa"), nullptr);
        PlaceSettingsStockAtWorkOrigin(origin);
        PlaceSettingsStockAtWorkOrigin(origin);  // placed once only
        EXPECT_EQ(std::vector<double>(InitialStock.box, InitialStock.box + 6),
                  std::vector<double>(c.box, c.box + 6));
        EXPECT_EQ(std::vector<double>(InitialStock.cylinder, InitialStock.cylinder + 3),
                  std::vector<double>(c.cylinderBase, c.cylinderBase + 3));
        // Exit, then a new start: the same stock in the same place, and a file that nothing
        // changed keeps its text.
        const StockDefinition before = InitialStock;
        EXPECT_EQ(Save(minimised_), 1);
        if (!c.commandLineBox) {
            EXPECT_NE(testing::ReadWholeFile(path).find(file.substr(file.find("INITIAL"))),
                      std::string::npos);
        }
        ResetAll();
        ReadSettingsFrom(scratch_.Path(), scratch_.At("bin/mirexa"), nullptr);
        PlaceSettingsStockAtWorkOrigin(origin);
        for (int i = 0; i < 6; ++i) {
            EXPECT_DOUBLE_EQ(InitialStock.box[i], before.box[i]) << i;
            EXPECT_DOUBLE_EQ(InitialStock.cylinder[i], before.cylinder[i]) << i;
        }
    }
}

// A stock line the reader refuses (five numbers, no parenthesis) counts as a missing one: its
// default stands where a missing key's default stands (placed at the work origin in work
// coordinates), the message names the line, and Exit leaves the line as it was written, unless
// the value was changed since.
TEST_F(SettingsWriterTest, ARefusedStockLineStaysAsWrittenAndItsDefaultStandsInPlace) {
    const double origin[3] = {-250, -180, -321};
    const std::string lines =
        "INITIAL SIZE=(0,0,-30.5,100,80)\n"
        "INITIAL SIZE2=LEFT,100\n"
        "CYLINDER=Z(50,40,0,30)\n";
    for (const char* input : {"WORK", "MACHINE"}) {
        SCOPED_TRACE(input);
        const std::string file = std::string("[DMEdata]\nINPUT COORDINATE=") + input + "\n" + lines;
        const std::string path = scratch_.Write("mirexa.ini", file);
        ResetAll();
        std::vector<std::string> messages;
        ReadSettingsFrom(scratch_.Path(), scratch_.At("bin/mirexa"), &messages);
        PlaceSettingsStockAtWorkOrigin(origin);
        // Where a file without these keys puts its stock.
        const StockDefinition refused = InitialStock;
        scratch_.Write("mirexa.ini", std::string("[DMEdata]\nINPUT COORDINATE=") + input + "\n");
        ResetAll();
        ReadSettingsFrom(scratch_.Path(), scratch_.At("bin/mirexa"), nullptr);
        PlaceSettingsStockAtWorkOrigin(origin);
        EXPECT_EQ(std::vector<double>(refused.box, refused.box + 6),
                  std::vector<double>(InitialStock.box, InitialStock.box + 6));
        EXPECT_EQ(std::vector<double>(refused.cylinder, refused.cylinder + 6),
                  std::vector<double>(InitialStock.cylinder, InitialStock.cylinder + 6));
        EXPECT_EQ(refused.sideSize[1], InitialStock.sideSize[1]);
        std::string said;
        for (const std::string& m : messages) {
            said += m;
        }
        EXPECT_NE(said.find("INITIAL SIZE=(0,0,-30.5,100,80)"), std::string::npos) << said;
        EXPECT_NE(said.find("CYLINDER=Z(50,40,0,30)"), std::string::npos) << said;
        // Exit keeps the lines; a box changed since is written.
        scratch_.Write("mirexa.ini", file);
        ResetAll();
        ReadSettingsFrom(scratch_.Path(), scratch_.At("bin/mirexa"), nullptr);
        PlaceSettingsStockAtWorkOrigin(origin);
        EXPECT_EQ(Save(minimised_), 1);
        EXPECT_NE(testing::ReadWholeFile(path).find(lines), std::string::npos);
        InitialStock.box[3] += 10;
        EXPECT_EQ(Save(minimised_), 1);
        const std::string text = testing::ReadWholeFile(path);
        EXPECT_EQ(text.find("INITIAL SIZE=(0,0,-30.5,100,80)\n"), std::string::npos);
        EXPECT_NE(text.find("CYLINDER=Z(50,40,0,30)\n"), std::string::npos);
    }
}

// The lines of [Define] that the reader refuses (a value that is no finite number) are kept by
// Exit as the stock lines are: as written while their defaults stand, rewritten once the value
// changed.
TEST_F(SettingsWriterTest, RefusedDefineLinesStayAsWrittenUntilTheirValueChanges) {
    const struct {
        const char* line;
        std::function<void()> change;
        const char* changed;
    } cases[] = {
        {"WORK COLOR=(nan,0,0)", [] { LiveColors.work = MakeColorRef(1, 2, 3); },
         "WORK COLOR=(1,2,3)"},
        {"BACKGROUND=(0,INF,0)", [] { LiveColors.background = MakeColorRef(4, 5, 6); },
         "BACKGROUND=(4,5,6)"},
        {"TOOL ALPHA=-inf", [] { DisplayModes.toolAlpha = 0.7f; }, "TOOL ALPHA=0.7"},
        {"MACHINE DISPLAY=NaN", [] { DisplayModes.machineMode = 0; }, "MACHINE DISPLAY=OFF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string file = std::string("[Define]\n") + c.line + "\n";
        const std::string path = scratch_.Write("mirexa.ini", file);
        ResetAll();
        ReadSettingsFrom(scratch_.Path(), scratch_.At("bin/mirexa"), nullptr);
        EXPECT_EQ(Save(minimised_), 1);
        std::string text = testing::ReadWholeFile(path);
        EXPECT_NE(text.find(std::string(c.line) + "\n"), std::string::npos) << text;
        c.change();
        EXPECT_EQ(Save(minimised_), 1);
        text = testing::ReadWholeFile(path);
        EXPECT_EQ(text.find(c.line), std::string::npos) << text;
        EXPECT_NE(text.find(c.changed), std::string::npos) << text;
    }
}

TEST_F(SettingsWriterTest, BatchRunsWriteNothingAndFailuresAreReported) {
    std::string path = Settle("[Save]\nX=5\n");
    CommandLine.batch = 1;
    EXPECT_EQ(Save(samplePlacement_), 1);
    EXPECT_EQ(testing::ReadWholeFile(path), "[Save]\nX=5\n");
    CommandLine.batch = 0;
    AutomaticMode.store(1);
    EXPECT_EQ(Save(samplePlacement_), 1);
    EXPECT_EQ(testing::ReadWholeFile(path), "[Save]\nX=5\n");
    AutomaticMode.store(0);

    DefinitionFiles.settingsPath = scratch_.At("missing/dir/mirexa.ini");
    EXPECT_EQ(Save(samplePlacement_), 0);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find("missing/dir/mirexa.ini"), std::string::npos);
}

}  // namespace
}  // namespace mirexa
