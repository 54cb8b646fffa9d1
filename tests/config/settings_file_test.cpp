// The settings file: defaults of every key (an empty file against a golden dump), every key set
// (a file against a golden dump), location and path resolution, the stock values, the words of
// the section Define and the refusal of values that would harm later users.
#include "config/settings_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "config/config_hooks.h"
#include "config/settings_define.h"
#include "config/tool_tables.h"
#include "config_dump.h"
#include "config_test_support.h"
#include "services/file_paths.h"

namespace mirexa {
namespace {

using testing::ReplaceAll;

class SettingsFileTest : public testing::ConfigFixture {
protected:
    SettingsFileTest() : ConfigFixture("work") {}
    void SetUp() override {
        ConfigFixture::SetUp();
        scratch_.MakeDirectory("bin");
    }
    static void ResetAll() {
        testing::ResetConfigurationState();
    }
    // Writes the settings file into the working directory ("\n" becomes lineEnd).
    void WriteSettings(const std::string& text, const std::string& lineEnd = "\n") {
        scratch_.Write("work/mirexa.ini", ReplaceAll(text, "\n", lineEnd));
    }
    int Read() {
        messages_.clear();
        return ReadSettingsFrom(scratch_.At("work"), scratch_.At("bin/mirexa"), &messages_);
    }
    // Reads "[Define]" with one key set.
    void ReadDefine(const std::string& line) {
        ResetAll();
        WriteSettings("[Define]\n" + line + "\n");
        Read();
    }
    std::string Dump() {
        return testing::DumpConfiguration(scratch_.Path());
    }
    // Compares with a golden file of tests/data/config; MIREXA_UPDATE_GOLDEN=1 rewrites it.
    void ExpectGolden(const std::string& text, const std::string& name) {
        const std::string path = std::string(MIREXA_TEST_DATA) + "/config/" + name;
        if (std::getenv("MIREXA_UPDATE_GOLDEN")) {
            std::ofstream(path, std::ios::binary) << text;
        }
        EXPECT_EQ(text, testing::ReadWholeFile(path)) << "golden file " << path;
    }
};

TEST_F(SettingsFileTest, AMissingFileAndAnEmptyFileGiveEveryDefault) {
    EXPECT_EQ(Read(), 0);
    const std::string missing = Dump();
    EXPECT_TRUE(messages_.empty());
    ResetAll();
    WriteSettings("");
    EXPECT_EQ(Read(), 0);  // an empty file holds no value
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(Dump(), ReplaceAll(missing, "<root>/bin/mirexa.ini", "<root>/work/mirexa.ini"));
    ExpectGolden(Dump(), "defaults.golden");
}

TEST_F(SettingsFileTest, EveryKeySetToAnotherValue) {
    scratch_.Write("stock/part.stl", "solid x\nendsolid x\n");
    scratch_.Write("tools/shop.ttl", "");
    std::string text =
        testing::ReadWholeFile(std::string(MIREXA_TEST_DATA) + "/config/every_key.ini");
    ASSERT_FALSE(text.empty());
    int programCalls = 0;
    static int* calls = nullptr;
    calls = &programCalls;
    ConfigCallbacks.updateViewTrig = [] { ++*calls; };
    WriteSettings(ReplaceAll(text, "<root>", scratch_.Path()));
    EXPECT_EQ(Read(), 1);
    EXPECT_EQ(programCalls, 1);  // the view angles were handed on once
    ExpectGolden(Dump(), "every_key.golden");
}

TEST_F(SettingsFileTest, CrlfFilesReadLikeLfFiles) {
    std::string text =
        testing::ReadWholeFile(std::string(MIREXA_TEST_DATA) + "/config/every_key.ini");
    text = ReplaceAll(text, "<root>", scratch_.Path());
    WriteSettings(text);
    Read();
    const std::string lf = Dump();
    ResetAll();
    WriteSettings(text, "\r\n");
    Read();
    EXPECT_EQ(Dump(), lf);
}

TEST_F(SettingsFileTest, TheSampleLoadsWithoutAMessage) {
    WriteSettings(testing::ReadWholeFile(std::string(MIREXA_SAMPLES) + "/mirexa.ini"));
    EXPECT_EQ(Read(), 1);
    EXPECT_TRUE(messages_.empty()) << messages_.front();
    EXPECT_EQ(Settings.maxMagazine, 24);
    EXPECT_EQ(ToolTableSet.tools.size(), 25u);
    EXPECT_EQ(InitialStock.box[4], 80.0);
    EXPECT_EQ(Checks.structurePairs[kToolVice], 2);
    EXPECT_EQ(Checks.pauseOnEvents, 1);
    EXPECT_NEAR(Settings.lightAzimuth, 300.96, 0.005);
    EXPECT_NEAR(Settings.lightTilt, 30.25, 0.005);
    EXPECT_EQ(DexelPitch.sizeLimit, 50000);
    EXPECT_EQ(DexelPitch.secondPitch, 2.0);
    EXPECT_EQ(LiveColors.background, MakeColorRef(32, 32, 48));
    EXPECT_EQ(Settings.difference.pen, 7);
    EXPECT_EQ(Settings.undoRingSize, 4);
}

TEST_F(SettingsFileTest, TheProgramDirectorysCopyIsReadWhenTheWorkingDirectoryHasNone) {
    scratch_.Write("bin/mirexa.ini", "[Define]\nSKIP VIEW=9\n");
    EXPECT_EQ(Read(), 1);
    EXPECT_EQ(DefinitionFiles.settingsPath, scratch_.At("bin/mirexa.ini"));
    EXPECT_EQ(Settings.skipView, 9);
    WriteSettings("[Define]\nSKIP VIEW=3\n");  // the working directory's copy wins
    EXPECT_EQ(Read(), 1);
    EXPECT_EQ(Settings.skipView, 3);
    // A settings name with a directory part is taken as it stands.
    scratch_.Write("elsewhere/site.ini", "[Define]\nSKIP VIEW=4\n");
    ResetAll();
    DefinitionFiles.settingsName = scratch_.At("elsewhere/site.ini");
    EXPECT_EQ(Read(), 1);
    EXPECT_EQ(Settings.skipView, 4);
}

TEST_F(SettingsFileTest, DefinitionFilesAreFoundInTheirDirectoryTheWorkingOneOrBesideTheProgram) {
    WriteSettings("[Table]\nTarget_TTLdir=\nTOOL_TABLE=shop.ttl\nTarget_CTLdir=" +
                  scratch_.At("ctl") + "\nCONTROLLER_TABLE=vmc.ctl\n");
    scratch_.Write("ctl/vmc.ctl", "");
    scratch_.Write("work/vmc.ctl", "");
    Read();
    EXPECT_EQ(DefinitionFiles.controllerFile, scratch_.At("ctl/vmc.ctl"));  // its directory first
    EXPECT_EQ(DefinitionFiles.toolsFile, scratch_.At("bin/shop.ttl"));      // found nowhere
    scratch_.Write("work/shop.ttl", "");
    Read();
    EXPECT_NE(DefinitionFiles.toolsFile.find("shop.ttl"), std::string::npos);
    EXPECT_EQ(DefinitionFiles.toolsFile.find("bin/"), std::string::npos);  // the working one
    // The command line's name wins over the key.
    ResetAll();
    WriteSettings("[Table]\nTOOL_TABLE=shop.ttl\n");
    ParseCommandLine("-T other", nullptr);
    Read();
    EXPECT_NE(DefinitionFiles.toolsFile.find("other.ttl"), std::string::npos);
}

TEST_F(SettingsFileTest, OverLongPathsAreRefusedWithAMessage) {
    WriteSettings("[Table]\nTarget_TTLdir=" + std::string(300, 'd') + "\nTOOL_TABLE=t.ttl\n" +
                  "[DMEdata]\nBASIC MODEL=" + std::string(400, 'b') + ".stl\n");
    Read();
    EXPECT_EQ(Settings.basicModelPresent, 0);
    EXPECT_TRUE(DefinitionFiles.basicModelFile.empty());
    EXPECT_LE(DefinitionFiles.toolsFile.size(), kPathLimit);
    EXPECT_FALSE(messages_.empty());
}

TEST_F(SettingsFileTest, TheCommandLinesStockAndControlPointAreKept) {
    ParseCommandLine("-D(10,10,10,0,0,0) -S(1,2,3)", nullptr);
    WriteSettings(
        "[DMEdata]\nINITIAL SIZE=(0,0,0,50,50,50)\nCYLINDER=Z(0,0,0,1,2,0)\n"
        "[Define]\nCONTROL POINT=(9,9,9,9,9)\n");
    Read();
    EXPECT_EQ(InitialStock.kind, kStockBox);
    EXPECT_EQ(InitialStock.box[3], 10.0);
    EXPECT_EQ(InitialStock.cylinderAxis, 2);  // the other stock values are read
    EXPECT_EQ(Settings.controlPoint[0], 1.0);
    EXPECT_EQ(Settings.controlPoint[3], 0.0);
}

TEST_F(SettingsFileTest, ValueWordsArePrefixesWithoutCase) {
    struct Case {
        const char* section;
        const char* line;
        int* field;
        int expected;
    } cases[] = {
        {"DMEdata", "STL SELECT=off", &StlImport.stlSelect, 0},
        {"DMEdata", "STL SELECT=ON", &StlImport.stlSelect, 1},
        {"DMEdata", "STL SELECT=OFFLINE", &StlImport.stlSelect, 0},
        {"OUTPUTdata", "NAMING MODE(LENGTH)=fixed", &Settings.namingModeLength, 1},
        {"OUTPUTdata", "NAMING MODE(LENGTH)=AUTO", &Settings.namingModeLength, 2},
        {"OUTPUTdata", "NAMING MODE(LENGTH)=NO", &Settings.namingModeLength, 0},
        {"OUTPUTdata", "CREATE MODE(VERIFY)=appen", &Settings.createModeVerify, 1},
        {"Optimize", "OPT-NC=OPEN", &Settings.optimizedNc, 2},
        {"Optimize", "OPT-AIRCUT=other", &Settings.optimizeAirCut, 3},
        {"Define", "TOOL-VICE CHECK=stop", &Checks.structurePairs[kToolVice], 2},
        {"Define", "TOOL-VICE CHECK=YES", &Checks.structurePairs[kToolVice], 1},
        {"Define", "TOOL-VICE CHECK=", &Checks.structurePairs[kToolVice], 1},
        {"Define", "INTERFERENCE=ARBOR", &Checks.interference, 0},
        {"Define", "INTERFERENCE=TOOL", &Checks.interference, 1},
        {"Define", "ARBOR CHECK=STOP", &Checks.arborCheck, 4},
        {"Define", "HEIGHT CHECK=maybe", &Checks.heightCheck, 2},
        {"Define", "MULTI THREAD=4", &Settings.multiThreadCount, 4},
        {"Define", "MULTI THREAD=OFF", &Settings.multiThreadCount, 1},
        {"Define", "NEW CONTROL POINTD=SPECIFIED", &Settings.newControlPointD, 2},
        {"Define", "NEW CONTROL POINTD=nothing", &Settings.newControlPointD, 0},
        {"Mouse", "MOVE SWITCH=RBUTTONDOWN", &Settings.rightButtonMove, 1},
        {"Video", "TIMING=UPDATE", &Settings.recordTriggerCount, 1},
    };
    for (const Case& c : cases) {
        ResetAll();
        WriteSettings(std::string("[") + c.section + "]\n" + c.line + "\n");
        Read();
        EXPECT_EQ(*c.field, c.expected) << c.line;
    }
}

TEST_F(SettingsFileTest, StockValuesAreParsedAndIncompleteOnesKept) {
    StockDefinition stock;
    EXPECT_EQ(ParseInitialSize2Setting("(RIGHT,10,1,2,BACK,20,3,4,TOP,30,5,6)", &stock), 1);
    EXPECT_EQ(stock.sideReference[0], 1);
    EXPECT_EQ(stock.sideReference[1], 1);
    EXPECT_EQ(stock.sideReference[2], 1);
    EXPECT_EQ(stock.sideSize[1], 20.0);
    EXPECT_EQ(stock.sideHighMargin[2], 6.0);
    EXPECT_EQ(ParseInitialSize2Setting("(CENTER,10,0,0,CENTER,20,0,0,CENTER,30,0,0)", &stock), 1);
    EXPECT_EQ(stock.sideReference[0], 0);
    EXPECT_EQ(stock.sideReference[1], 0);  // not the "T" of a FRONT further on
    EXPECT_EQ(stock.sideReference[2], 0);
    EXPECT_EQ(stock.sideSize[2], 30.0);
    EXPECT_EQ(ParseInitialSize2Setting("(LEFT,10,0,0,FRONT,20,0,0,BOTTOM,30,0,0)", &stock), 1);
    EXPECT_EQ(stock.sideReference[2], -1);

    const StockDefinition before = stock;
    for (const char* bad : {"", "0,0,0,1,1,1", "(0,0,0,1,1", "(", "X"}) {
        EXPECT_EQ(ParseInitialSizeSetting(bad, &stock), 0) << bad;
        EXPECT_EQ(stock.box[3], before.box[3]);
    }
    EXPECT_EQ(ParseInitialSize2Setting("(LEFT,10,0", &stock), 0);
    EXPECT_EQ(ParseInitialSize2Setting("(LEFT,10,0,0,FRONT,20", &stock), 0);
    EXPECT_EQ(stock.sideSize[0], before.sideSize[0]);
    EXPECT_EQ(ParseCylinderSetting("Z(1,2,3", &stock), 0);
    EXPECT_EQ(stock.cylinderAxis, before.cylinderAxis);
    EXPECT_EQ(ParseCylinderSetting("(1,2,3,4,5,6)", &stock), 1);  // no axis: unchanged
    EXPECT_EQ(stock.cylinder[0], before.cylinder[0]);
    EXPECT_EQ(ParseCylinderSetting("z( 1, 2 ,3,40,50,abc)", &stock), 1);
    EXPECT_EQ(stock.cylinderAxis, 2);
    EXPECT_EQ(stock.cylinder[1], 2.0);
    EXPECT_EQ(stock.cylinder[5], 0.0);  // a number that does not parse reads 0

    WriteSettings("[DMEdata]\nINITIAL SIZE=100\n");
    Read();
    EXPECT_EQ(InitialStock.box[3], 100.0);  // the start box stays
    EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(SettingsFileTest, DisplayModesFollowTheAlphas) {
    ReadDefine("WORK DISPLAY=PERS\nWORK ALPHA=1.5");
    EXPECT_EQ(DisplayModes.workAlpha, 1.0f);
    EXPECT_EQ(DisplayModes.workMode, 1);
    ReadDefine("WORK DISPLAY=PERS\nWORK ALPHA=0");
    EXPECT_EQ(DisplayModes.workMode, 0);
    ReadDefine("WORK DISPLAY=PERS\nWORK ALPHA=-3");
    EXPECT_EQ(DisplayModes.workAlpha, 0.0f);
    ReadDefine("BASE DISPLAY=PERS\nBASE ALPHA=0.3");
    EXPECT_EQ(DisplayModes.baseMode, 2);
}

TEST_F(SettingsFileTest, PitchWordsAndRefusedPitches) {
    ReadDefine("PITCH(WORK)=AUTO");
    EXPECT_EQ(DexelPitch.automatic, 1);
    EXPECT_EQ(DexelPitch.currentPitch, 1.0);
    EXPECT_EQ(DexelPitch.sizeLimit, 20000);
    ReadDefine("PITCH(WORK)=auto50000");
    EXPECT_EQ(DexelPitch.sizeLimit, 50000);
    ReadDefine("PITCH(WORK)=AUTO-5");
    EXPECT_EQ(DexelPitch.sizeLimit, 20000);
    ReadDefine("PITCH(WORK)=0.25\nPITCH(MOVE)=AUTO4");
    EXPECT_EQ(DexelPitch.currentPitch, 0.25);
    EXPECT_EQ(DexelPitch.secondPitch, 1.0);
    for (const char* bad :
         {"PITCH(WORK)=0", "PITCH(WORK)=-1", "PITCH(MOVE)=0", "PITCH(WORK)=abc"}) {
        ReadDefine(bad);
        EXPECT_EQ(DexelPitch.currentPitch, 1.0) << bad;
        EXPECT_EQ(DexelPitch.secondPitch, 1.0) << bad;
        EXPECT_EQ(messages_.size(), 1u) << bad;
    }
    // The command line's pitches win.
    ResetAll();
    ParseCommandLine("-P(0.5,0.8)", nullptr);
    WriteSettings("[Define]\nPITCH(WORK)=2\nPITCH(MOVE)=3\n");
    Read();
    EXPECT_EQ(DexelPitch.currentPitch, 0.5);
    EXPECT_EQ(DexelPitch.secondPitch, 0.8);
}

TEST_F(SettingsFileTest, DifferenceChoicesAndTheirPens) {
    ReadDefine("DIFFERENCE COLOR=PEN7");
    EXPECT_EQ(Settings.difference.penColor, 1);
    EXPECT_EQ(Settings.difference.pen, 7);
    ReadDefine("DIFFERENCE COLOR=PEN20");
    EXPECT_EQ(Settings.difference.pen, 1);
    ReadDefine("DIFFERENCE COLOR=PENKI");
    EXPECT_EQ(Settings.difference.penColor, 0);
    ReadDefine("DIFFERENCE TARGET=pen15");
    EXPECT_EQ(Settings.difference.targetPenGiven, 1);
    EXPECT_EQ(Settings.difference.targetPen, 15);
    // A kept -XD wins over the keys.
    ResetAll();
    scratch_.Write("work/b.dme", "");
    ParseCommandLine("b.dme -O c -XD0.4H3", nullptr);
    WriteSettings("[Define]\nDIFFERENCE MARGIN=0.9\nDIFFERENCE COLOR=PEN9\n");
    Read();
    EXPECT_EQ(Settings.difference.margin, 0.4);
    EXPECT_EQ(Settings.difference.pen, 3);
}

TEST_F(SettingsFileTest, LightAnglesAndALightOfNoLength) {
    ReadDefine("LIGHT VECTOR=(0,-1,0)");
    EXPECT_DOUBLE_EQ(Settings.lightAzimuth, 270.0);
    EXPECT_DOUBLE_EQ(Settings.lightTilt, 90.0);
    ReadDefine("LIGHT VECTOR=(0,0,-2)");
    EXPECT_EQ(Settings.lightVector[2], -1.0);
    EXPECT_EQ(Settings.lightAzimuth, 0.0);
    EXPECT_EQ(Settings.lightTilt, 0.0);
    ReadDefine("LIGHT VECTOR=(0,0,0)");
    EXPECT_EQ(Settings.lightVector[2], 1.0);
    EXPECT_FALSE(std::isnan(Settings.lightAzimuth));
    EXPECT_EQ(messages_.size(), 1u);
    // Independent check of the angles for a general vector.
    double light[3] = {3.0 / 13.0, 4.0 / 13.0, 12.0 / 13.0};
    double azimuth = 0.0;
    double tilt = 0.0;
    ComputeLightAngles(light, &azimuth, &tilt);
    EXPECT_NEAR(azimuth, std::atan2(4.0, 3.0) * 180.0 / M_PI, 1e-12);
    EXPECT_NEAR(tilt, std::asin(5.0 / 13.0) * 180.0 / M_PI, 1e-12);
}

TEST_F(SettingsFileTest, TheStopFlagFollowsEveryPauseChoice) {
    struct Case {
        const char* line;
        int pause;
    } cases[] = {
        {"INTERFERENCE=YES", 0},     {"INTERFERENCE=STOP", 1},  {"ARBOR CHECK=YES", 0},
        {"ARBOR CHECK=STOP", 1},     {"HEIGHT CHECK=STOP", 1},  {"CHIP-W CHECK=STOP", 1},
        {"CHIP-W CHECK=YES", 0},     {"SPINDLE CHECK=STOP", 1}, {"HEAD-BASIC CHECK=STOP", 1},
        {"HEAD-BASIC CHECK=YES", 0},
    };
    for (const Case& c : cases) {
        ReadDefine(c.line);
        EXPECT_EQ(Checks.pauseOnEvents, c.pause) << c.line;
    }
    // A dialog's change is seen by the recomputation.
    Checks = CheckSettings{};
    UpdateStopOnCheckFlag();
    EXPECT_EQ(Checks.pauseOnEvents, 0);
    Checks.structurePairs[kArborTable1] = 2;
    UpdateStopOnCheckFlag();
    EXPECT_EQ(Checks.pauseOnEvents, 1);
}

TEST_F(SettingsFileTest, CountsFromTheFileAreBoundedBeforeTheyAreUsed) {
    ReadDefine("UNDO=-7");
    EXPECT_EQ(Settings.undoRingSize, 1);
    EXPECT_EQ(Settings.undoMarks.size(), 1u);
    ReadDefine("UNDO=2147483647");
    EXPECT_EQ(Settings.undoRingSize, 20);
    EXPECT_EQ(Settings.undoMarks.size(), 20u);
    ReadDefine("MAX MAGAZINE=-1");
    EXPECT_EQ(Settings.maxMagazine, 200);
    EXPECT_EQ(ToolTableSet.tools.size(), 201u);
    EXPECT_EQ(messages_.size(), 1u);
    ReadDefine("MAX MAGAZINE=99999999999");
    EXPECT_EQ(Settings.maxMagazine, 200);
    ReadDefine("MAX MAGAZINE=10000");
    EXPECT_EQ(ToolTableSet.tools.size(), 10001u);
    ReadDefine("SKIP BLOCK=0\nSKIP VIEW=-4");
    EXPECT_EQ(Settings.skipBlock, 1);
    EXPECT_EQ(Settings.skipView, 1);
    ReadDefine("MULTI THREAD=0");
    EXPECT_EQ(Settings.multiThreadCount, 1);
    ReadDefine("WELDING(PEN)=16\nPAPER(PEN)=-1");
    EXPECT_EQ(Settings.weldingPen, 0);
    EXPECT_EQ(Settings.paperPen, 0);
    EXPECT_EQ(messages_.size(), 2u);
    ReadDefine("RAPID FEEDRATE=0");
    EXPECT_EQ(Checks.rapidFeedrate, 999999999.0);
    // Huge values never reach an integer conversion unchecked; a value that is not a finite
    // number is refused and the default stands.
    ReadDefine("WORK COLOR=(1e99,0,-1e300)\nOFFSET VALUE=1e999\nANGLE-A=inf");
    EXPECT_EQ(LiveColors.work, MakeColorRef(255, 0, 0));
    EXPECT_TRUE(std::isfinite(Settings.offsetValue));
    EXPECT_EQ(Settings.angleA, 315.0);
    ReadDefine("WORK COLOR=(1e99,nan,-1e300)");
    EXPECT_NE(LiveColors.work, MakeColorRef(255, 0, 0));
    // A start tool beyond the tables is dropped.
    ResetAll();
    ParseCommandLine("-T t,30", nullptr);
    WriteSettings("[Define]\nMAX MAGAZINE=24\n");
    Read();
    EXPECT_EQ(CommandLine.startTool, 0);
}

TEST_F(SettingsFileTest, ALongLineIsOneLineAndTextFieldsAreCut) {
    // The tail of the long line would set SKIP VIEW if it were read as a line of its own.
    ReadDefine("PROGRESS NAME=" + std::string(1100, 'p') + "SKIP VIEW=9");
    EXPECT_EQ(Settings.skipView, 5);
    EXPECT_EQ(Settings.progressName, std::string(23, 'p'));
    // Cuts never split a UTF-8 character: 8 three-byte characters are 24 bytes.
    ReadDefine("PROGRESS NAME=荒加工荒加工荒加工");
    EXPECT_EQ(Settings.progressName, "荒加工荒加工荒");
    ReadDefine("STL MATRIX=" + std::string(100, 'm'));
    EXPECT_EQ(StlImport.matrixFileName.size(), 63u);
}

TEST_F(SettingsFileTest, EditorPluginHooksAndBatchModes) {
    ConfigCallbacks.editorProgram = [](std::string* program) {
        *program = "plugin-" + *program;
        return 1;
    };
    static std::string option;
    ConfigCallbacks.editorOption = [](std::string* value) { option = *value; };
    WriteSettings("[ExecEditor]\nEXEC_PROGRAM=vi\nEXEC_OPTION=-n %1\n");
    Read();
    EXPECT_EQ(Settings.editorProgram, "plugin-vi");
    EXPECT_EQ(Settings.editorKind, kEditorPlugin);
    EXPECT_EQ(Settings.toolsEditor, "plugin-vi");
    EXPECT_EQ(option, "-n %1");
    // Without an editor plug-in to answer, the editor stays the settings file's.
    ResetAll();
    ConfigCallbacks.editorProgram = [](std::string*) { return 0; };
    WriteSettings("[ExecEditor]\nEXEC_PROGRAM=vi\n");
    Read();
    EXPECT_EQ(Settings.editorProgram, "vi");
    EXPECT_NE(Settings.editorKind, kEditorPlugin);

    ResetAll();
    scratch_.Write("work/part.nc", "");
    ParseCommandLine("part.nc -X6", nullptr);
    WriteSettings("[Save]\nVIEW_T=1\n");
    Read();
    EXPECT_EQ(DisplayModes.toolMode, 0);
    EXPECT_EQ(Settings.showToolPanel, 0);
}

TEST_F(SettingsFileTest, AColourFileOnTheCommandLineBecomesLive) {
    scratch_.Write("work/night.ctc", "BACKGROUND COLOR (1,2,3)\n");
    ParseCommandLine("night.ctc", nullptr);
    WriteSettings("[Define]\nBACKGROUND=(9,9,9)\nWORK COLOR=(7,7,7)\n");
    Read();
    EXPECT_EQ(LiveColors.background, MakeColorRef(1, 2, 3));
    EXPECT_EQ(LiveColors.work, MakeColorRef(7, 7, 7));
    EXPECT_EQ(CommandLine.colorFileGiven, 0);
    ResetAll();
    ParseCommandLine("-IC gone", nullptr);
    Read();
    EXPECT_EQ(messages_.size(), 1u);
}

TEST(InfoPanelLayoutTest, RowsFollowTheAxisCount) {
    InfoPanelLayout layout;
    BuildInfoPanelLayout(5, &layout);
    EXPECT_EQ(layout.axisCells[4][3].top, 37 + 60);
    EXPECT_EQ(layout.axisCells[4][3].right, 135);
    const int r = 37 + 15 * 5;
    EXPECT_EQ(layout.belowAxes[3].left, 71);
    EXPECT_EQ(layout.belowAxes[3].top, r + 15);
    EXPECT_EQ(layout.fourthRow[2].bottom, r + 65);
    EXPECT_EQ(layout.valueLeft[0].right, 135);
    EXPECT_EQ(layout.valueLeft[1].right, 65);
    EXPECT_EQ(layout.valueRight[0].right, 0);
    EXPECT_EQ(layout.valueRight[12].top, r + 68 + 180);
    EXPECT_EQ(layout.extraLeft[0].top, r + 68 + 195 + 3);
    EXPECT_EQ(layout.extraRight[6].bottom, r + 68 + 195 + 3 + 90 + 15);
    BuildInfoPanelLayout(3, &layout);
    EXPECT_EQ(layout.belowAxes[0].top, 37 + 45);
    EXPECT_EQ(layout.axisCells[3][0].top, 0);  // rows beyond the axes stay empty
}

}  // namespace
}  // namespace mirexa
