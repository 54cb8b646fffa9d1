// The command line: arguments in, records out. NC programs are files made in a scratch
// directory that the tests work in.
#include "config/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config_test_support.h"

namespace mirexa {
namespace {

class CommandLineTest : public testing::ConfigFixture {
protected:
    void SetUp() override {
        ConfigFixture::SetUp();
        scratch_.Write("part.nc", "G0X0\n");
        scratch_.Write("my part v2.nc", "G0X0\n");
    }
    int Parse(const std::string& text) {
        messages_.clear();
        return ParseCommandLine(text, &messages_);
    }
};

TEST_F(CommandLineTest, AnEmptyLineKeepsEveryStartValue) {
    EXPECT_EQ(Parse(""), 1);
    EXPECT_EQ(DefinitionFiles.settingsName, "mirexa.ini");
    EXPECT_EQ(CommandLine.automation, 0);
    EXPECT_EQ(InitialStock.kind, kStockBox);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(CommandLineTest, ABoxStockRunForUnattendedCutting) {
    EXPECT_EQ(Parse("part.nc -D(100,100,30,0,0,0) -X3"), 1);
    EXPECT_EQ(DefinitionFiles.ncProgramFile, "part.nc");
    EXPECT_EQ(CommandLine.ncGiven, 1);
    EXPECT_EQ(CommandLine.stockGiven, 1);
    EXPECT_EQ(InitialStock.kind, kStockBox);
    const double expected[6] = {0, 0, 0, 100, 100, 30};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(InitialStock.box[i], expected[i]) << i;
    }
    EXPECT_EQ(CommandLine.batchKind, BatchRunKind::kSkip);
    EXPECT_EQ(CommandLine.automation, 1);
    EXPECT_EQ(AutomaticMode.load(), 1);
}

TEST_F(CommandLineTest, BoxCornersInEitherOrderGiveTheSameBox) {
    EXPECT_EQ(Parse("-D(0,100,30,100,0,0)"), 1);
    const double expected[6] = {0, 0, 0, 100, 100, 30};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(InitialStock.box[i], expected[i]) << i;
    }
}

TEST_F(CommandLineTest, CylinderAndStockFileForms) {
    EXPECT_EQ(Parse("-DZ(0,0,-50,50,80,20)"), 1);
    EXPECT_EQ(InitialStock.kind, kStockCylinder);
    EXPECT_EQ(InitialStock.cylinderAxis, 2);
    EXPECT_EQ(InitialStock.cylinder[2], -50.0);
    EXPECT_EQ(InitialStock.cylinder[5], 20.0);
    EXPECT_TRUE(DefinitionFiles.stockFile.empty());

    ResetConfigurationRecords();
    EXPECT_EQ(Parse("-D blank.stl+Z,W,MX10,S(1,2,3)(2,2,0.5)"), 1);
    EXPECT_EQ(InitialStock.kind, kStockFromFile);
    EXPECT_EQ(DefinitionFiles.stockFile, "blank.stl");
    EXPECT_EQ(StlImport.referenceDirection, 3);
    EXPECT_EQ(StlImport.coordinateKind, 1);
    EXPECT_EQ(StlImport.stockInWork, 1);
    EXPECT_EQ(StlImport.basicInWork, 0);
    EXPECT_EQ(StlImport.mirrorFlags[0], 1);
    EXPECT_EQ(StlImport.mirrorCentres[0], 10.0);
    EXPECT_EQ(StlImport.scaleCentres[2], 3.0);
    EXPECT_EQ(StlImport.scaleRates[2], 0.5);
    EXPECT_EQ(StlImport.scaleFlags[0], 1);
    EXPECT_EQ(StlImport.transformFlag, 1);

    ResetConfigurationRecords();
    EXPECT_EQ(Parse("-Dblank"), 1);
    EXPECT_EQ(DefinitionFiles.stockFile, "blank.dme");
}

TEST_F(CommandLineTest, ABareScaleOptionTakesTheDialogsRates) {
    StlImport.dialogScaleFlags[1] = 1;
    StlImport.dialogScaleRates[1] = 2.5;
    StlImport.scaleCentres[0] = 7.0;
    EXPECT_EQ(Parse("-K model.stl,S"), 1);
    EXPECT_EQ(DefinitionFiles.basicModelFile, "model.stl");
    EXPECT_EQ(DefinitionFiles.basicModelTitle, "model.stl");
    EXPECT_EQ(StlImport.scaleRates[0], 1.0);
    EXPECT_EQ(StlImport.scaleRates[1], 2.5);
    EXPECT_EQ(StlImport.scaleFlags[1], 1);
    EXPECT_EQ(StlImport.scaleCentres[0], 0.0);  // no centre given: cleared
    EXPECT_EQ(Parse("-K other.stl,S2"), 1);
    EXPECT_EQ(StlImport.scaleRates[0], 2.0);
    EXPECT_EQ(StlImport.scaleRates[2], 2.0);
}

TEST_F(CommandLineTest, AnUnquotedPathWithBlanksIsFoundPrefixByPrefix) {
    EXPECT_EQ(Parse("my part v2.nc -X1"), 1);
    EXPECT_EQ(DefinitionFiles.ncProgramFile, "my part v2.nc");
    EXPECT_EQ(CommandLine.batchKind, BatchRunKind::kSelectOnly);
    ResetConfigurationRecords();
    EXPECT_EQ(Parse("\"my part v2.nc\" -X2"), 1);
    EXPECT_EQ(DefinitionFiles.ncProgramFile, "my part v2.nc");
    EXPECT_EQ(CommandLine.batchKind, BatchRunKind::kReal);
}

TEST_F(CommandLineTest, AnNcNameThatNeverOpensIsRefusedAndTheArgumentsBehindItAreRead) {
    // Grown over the blanks, "missing.nc -X3 -O out.dme" would end in ".dme" and pass for a
    // stock file: only a grown name that exists counts.
    EXPECT_EQ(Parse("missing.nc -X3 -N -O out.dme vmc3.ttl"), 0);
    EXPECT_EQ(CommandLine.ncGiven, 0);
    EXPECT_EQ(CommandLine.stockGiven, 0);
    EXPECT_EQ(CommandLine.noMenu, 1);
    EXPECT_EQ(DefinitionFiles.toolsFile, "vmc3.ttl");
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find(": missing.nc"), std::string::npos) << messages_[0];
    EXPECT_EQ(messages_[0].find("-X3"), std::string::npos) << messages_[0];
}

// Arguments that ask for something this program cannot do are refused with a message.
TEST_F(CommandLineTest, UnknownRunModesStrayQuotesAndUnusablePitchesAreRefused) {
    const struct {
        const char* text;
        const char* shown;  // in the message
    } refused[] = {
        {"part.nc -X9", "-X9"},
        {"part.nc -X0", "-X0"},
        {"part.nc -XQ", "-XQ"},
        {"part.nc -XMX", "-XMX"},
        {"\"part.nc -X6 -O out.dme", "\"part.nc -X6"},
        {"part.nc -O \"out.dme", "\"out.dme"},
        {"-P(0.5,1e-9)", "-P(0.5,1e-9)"},
        {"-P(1e-300,1)", "-P(1e-300,1)"},
        {"-P(1e300,1e300)", "-P(1e300"},
        {"-P(1,200)", "-P(1,200)"},
    };
    for (const auto& c : refused) {
        ResetConfigurationRecords();
        EXPECT_EQ(Parse(c.text), 0) << c.text;
        ASSERT_FALSE(messages_.empty()) << c.text;
        EXPECT_NE(messages_[0].find(c.shown), std::string::npos) << messages_[0];
        EXPECT_EQ(CommandLine.pitchGiven, 0) << c.text;
        EXPECT_TRUE(DefinitionFiles.saveFile.empty()) << c.text;
    }
    // A bad pitch is called a pitch; the finest move pitch kept is a hundredth of the stock's.
    ResetConfigurationRecords();
    Parse("-P(0.5,1e-9)");
    EXPECT_NE(messages_[0].find("ピッチ"), std::string::npos) << messages_[0];
    ResetConfigurationRecords();
    EXPECT_EQ(Parse("-P(0.5,0.005)"), 1);
    EXPECT_EQ(DexelPitch.secondPitch, 0.005);
}

TEST_F(CommandLineTest, DefinitionFilesFirstArgumentCountsButSwitchesReplace) {
    EXPECT_EQ(Parse("a.TTL b.ttl one.ctc -IC two -T tools,12 -C fanuc -M vmc -I site"), 1);
    EXPECT_EQ(DefinitionFiles.toolsFile, "tools.ttl");  // the switch replaces
    EXPECT_EQ(CommandLine.startTool, 12);
    EXPECT_EQ(DefinitionFiles.colorFile, "two.ctc");
    EXPECT_EQ(DefinitionFiles.controllerFile, "fanuc.ctl");
    EXPECT_EQ(DefinitionFiles.machineFile, "vmc.mtl");
    EXPECT_EQ(DefinitionFiles.settingsName, "site.ini");
    ResetConfigurationRecords();
    EXPECT_EQ(Parse("a.TTL b.ttl -IC two one.ctc"), 1);
    EXPECT_EQ(DefinitionFiles.toolsFile, "a.TTL");
    EXPECT_EQ(DefinitionFiles.colorFile, "two.ctc");  // the argument fills only an empty kind
    EXPECT_EQ(CommandLine.automation, 0);
}

TEST_F(CommandLineTest, StartToolsOutsideTheTablesAreNotKept) {
    EXPECT_EQ(Parse("-T atc,0"), 1);
    EXPECT_EQ(CommandLine.startTool, 0);  // below 1: the file's own tool
    EXPECT_EQ(Parse("-T atc,99999999"), 0);
    EXPECT_EQ(CommandLine.startTool, 0);
    EXPECT_EQ(DefinitionFiles.toolsFile, "atc.ttl");
}

TEST_F(CommandLineTest, SaveKindsFollowTheNamesEnd) {
    struct Case {
        const char* argument;
        const char* path;
        int kind;
    } cases[] = {
        {"-O out.STL,b", "out.STL", 3}, {"-O out.stl,b2", "out.stl", 4},
        {"-O out.stl", "out.stl", 2},   {"-O out", "out.dme", 1},
        {"-O out.DMF", "out.DMF", 1},
    };
    for (const Case& c : cases) {
        ResetConfigurationRecords();
        EXPECT_EQ(Parse(std::string("part.nc -X2 ") + c.argument), 1) << c.argument;
        EXPECT_EQ(DefinitionFiles.saveFile, c.path) << c.argument;
        EXPECT_EQ(CommandLine.saveKind, c.kind) << c.argument;
    }
    // Without a use (no operation, no run of mode 2 or more) the save request is dropped.
    ResetConfigurationRecords();
    EXPECT_EQ(Parse("part.nc -X1 -O out.stl"), 1);
    EXPECT_EQ(CommandLine.saveKind, 0);
    EXPECT_TRUE(DefinitionFiles.saveFile.empty());
}

TEST_F(CommandLineTest, RunModeSuffixes) {
    struct Case {
        const char* text;
        int mode, zero, silent, noDisplay, batchRun, batch;
    } cases[] = {
        {"part.nc -X5n", 5, 0, 0, 1, 1, 0},  {"part.nc -X50", 5, 1, 0, 0, 1, 0},
        {"part.nc -X50n", 5, 1, 0, 0, 1, 0}, {"part.nc -X3n", 3, 0, 1, 0, 0, 0},
        {"part.nc -X40n", 4, 1, 1, 0, 0, 0}, {"part.nc -X 6", 6, 0, 0, 0, 1, 1},
        {"-X3", 0, 0, 0, 0, 0, 0},  // no NC program: no run
    };
    for (const Case& c : cases) {
        ResetConfigurationRecords();
        EXPECT_EQ(Parse(c.text), 1) << c.text;
        EXPECT_EQ(CommandLine.batchKind, BatchRunKindOfDigit(c.mode)) << c.text;
        EXPECT_EQ(CommandLine.selectWithoutOptimalStock, c.zero) << c.text;
        EXPECT_EQ(CommandLine.reportSilent, c.silent) << c.text;
        EXPECT_EQ(CommandLine.noReportDisplay, c.noDisplay) << c.text;
        EXPECT_EQ(CommandLine.batchRun, c.batchRun) << c.text;
        EXPECT_EQ(CommandLine.batch, c.batch) << c.text;
    }
}

TEST_F(CommandLineTest, ReportModesAreLimitedInARun) {
    EXPECT_EQ(Parse("-V6"), 1);
    EXPECT_EQ(CommandLine.reportMode, 6);
    EXPECT_EQ(CommandLine.drawingSuppressed, 1);
    ResetConfigurationRecords();
    EXPECT_EQ(Parse("part.nc -X1 -V5"), 1);
    EXPECT_EQ(CommandLine.reportMode, 1);
    ResetConfigurationRecords();
    EXPECT_EQ(Parse("-V3"), 1);
    EXPECT_EQ(CommandLine.reportMode, 1);
}

TEST_F(CommandLineTest, StockOperationsNeedAStockAndASaveFile) {
    EXPECT_EQ(Parse("part.nc -X3 -XM(1,2,3)"), 0);
    EXPECT_EQ(CommandLine.moveStock, 0);
    EXPECT_EQ(CommandLine.batchKind, BatchRunKind::kNone);  // cleared all the same
    EXPECT_EQ(CommandLine.ncGiven, 0);

    ResetConfigurationRecords();
    EXPECT_EQ(Parse("blank.dme -O cut -XM (1,2,-3) -XRZ90 -XP12C"), 1);
    EXPECT_EQ(CommandLine.moveStock, 1);
    EXPECT_EQ(CommandLine.moveShift[2], -3.0);
    EXPECT_EQ(CommandLine.rotateStock, 1);
    EXPECT_EQ(CommandLine.rotateAxis, 2);
    EXPECT_EQ(CommandLine.rotateAngle, 90.0);
    EXPECT_EQ(CommandLine.paintStock, 2);
    EXPECT_EQ(CommandLine.paintPen, 12);
    EXPECT_EQ(CommandLine.saveKind, 1);
    EXPECT_EQ(CommandLine.batch, 1);
    EXPECT_EQ(CommandLine.automation, 1);
}

TEST_F(CommandLineTest, PaintAndDifferenceGrammars) {
    EXPECT_EQ(Parse("b.dme -O c -XPAC"), 1);
    EXPECT_EQ(CommandLine.paintPen, 16);
    EXPECT_EQ(Parse("b.dme -O c -XPP"), 1);
    EXPECT_EQ(CommandLine.paintStock, 1);

    ResetConfigurationRecords();
    EXPECT_EQ(Parse("b.dme -O c -XD-0.25H7K,1.5"), 1);
    EXPECT_EQ(CommandLine.differencePaint, 1);
    EXPECT_EQ(Settings.difference.area, -1);
    EXPECT_EQ(Settings.difference.margin, 0.25);
    EXPECT_EQ(Settings.difference.marginStart, 0.25);
    EXPECT_EQ(Settings.difference.penColor, 1);
    EXPECT_EQ(Settings.difference.pen, 7);
    EXPECT_EQ(Settings.difference.recolor, 0);
    EXPECT_EQ(Settings.difference.offset, 1.5);

    ResetConfigurationRecords();
    EXPECT_EQ(Parse("b.dme -O c -XD0.1NP"), 1);
    EXPECT_EQ(Settings.difference.penColor, 0);
    EXPECT_EQ(Settings.difference.recolor, 1);
}

TEST_F(CommandLineTest, OutOfRangePensAndIncompleteGrammarsAreRefused) {
    const char* refused[] = {
        "b.dme -O c -XP99C",   // pens are 0..15
        "b.dme -O c -XP7",     // the number needs its C
        "b.dme -O c -XD0.1P",  // H or N is required
        "b.dme -O c -XD0.1H20", "b.dme -O c -XD0.1H0",
    };
    for (const char* text : refused) {
        ResetConfigurationRecords();
        EXPECT_EQ(Parse(text), 0) << text;
        EXPECT_EQ(CommandLine.paintStock, 0) << text;
        EXPECT_EQ(CommandLine.differencePaint, 0) << text;
        EXPECT_FALSE(messages_.empty()) << text;
    }
}

TEST_F(CommandLineTest, NumericSwitchesNeverReadPastTheirText) {
    const char* incomplete[] = {
        "-D(100,100,30,0,0", "-D(100,100,30", "-D(",       "-S(1,2)",     "-P(1)",
        "-P(0,1)",           "-P(-1,1)",      "-P(1,nan)", "-P(1e999,1)", "-DX(1,2,3",
        "-XM(1,2",           "-XR",           "-G",        "-Fx"};
    for (const char* text : incomplete) {
        ResetConfigurationRecords();
        EXPECT_EQ(Parse(text), 0) << text;
        EXPECT_EQ(InitialStock.box[3], 100.0) << text;
        EXPECT_EQ(InitialStock.kind, kStockBox) << text;
        EXPECT_EQ(CommandLine.stockGiven, 0) << text;
        EXPECT_EQ(CommandLine.pitchGiven, 0) << text;
        EXPECT_EQ(CommandLine.controlPointGiven, 0) << text;
    }
    // The window rectangle without its ")" stops the parse.
    ResetConfigurationRecords();
    EXPECT_EQ(Parse("-(1,2,3 -N"), 0);
    EXPECT_EQ(CommandLine.windowRectGiven, 0);
    EXPECT_EQ(CommandLine.noMenu, 0);
}

TEST_F(CommandLineTest, TheProcessorSwitchIsReadAndChangesNothing) {
    ASSERT_EQ(Parse("part.nc"), 1);
    const CommandLineSwitches without = CommandLine;
    for (const char* text : {"-G 0 part.nc", "-G99999 part.nc", "/G -5 part.nc", "part.nc -g 3"}) {
        ResetConfigurationRecords();
        EXPECT_EQ(Parse(text), 1) << text;
        EXPECT_TRUE(messages_.empty()) << text;
        EXPECT_EQ(DefinitionFiles.ncProgramFile, "part.nc") << text;
        EXPECT_TRUE(CommandLine == without) << text;
    }
}

// What the records hold of the command line's parts, for comparison with a parsed value.
struct CommandLineRecordView {
    CommandLineSwitches switches;
    std::string nc, stock, save;
    int stockKind;
    double boxTop, scaleX, pitch, controlX;
    int controlMachine, automatic;
    bool operator==(const CommandLineRecordView&) const = default;
};

CommandLineRecordView ViewOf(const CommandLineOptions& o) {
    return {o.switches,
            o.files.ncProgramFile,
            o.files.stockFile,
            o.files.saveFile,
            o.stock.kind,
            o.stock.box[5],
            o.stlImport.scaleRates[0],
            o.pitch.currentPitch,
            o.controlPoint[0],
            o.controlPointMachine,
            o.automatic};
}

TEST_F(CommandLineTest, TheParseFillsOneValueThatOnlyApplyingMakesTheProgramsRecords) {
    struct Case {
        const char* text;
        int stockKind;
        double boxTop, scaleX, pitch, controlX;
        int controlMachine, automatic;
    };
    const Case cases[] = {
        {"part.nc -D(100,80,30,0,0,-5) -P(0.5,1) -SM(7,2,3) -X6", kStockBox, 30, 1, 0.5, 7, 1, 1},
        {"-D cube.stl,S2 -O out.dme -XM(1,2,3)", kStockFromFile, 30, 2, 1, 0, 0, 1},
        {"-G 2 -N", kStockBox, 30, 1, 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        ResetConfigurationRecords();
        AutomaticMode.store(0);
        CommandLineOptions options = TakeCommandLineStartValues();
        const CommandLineRecordView before = ViewOf(options);
        EXPECT_EQ(ParseCommandLineOptions(c.text, &options, &messages_), 1) << c.text;
        EXPECT_TRUE(ViewOf(TakeCommandLineStartValues()) == before) << c.text;
        const CommandLineRecordView parsed = ViewOf(options);
        EXPECT_EQ(parsed.stockKind, c.stockKind) << c.text;
        EXPECT_EQ(parsed.boxTop, c.boxTop) << c.text;
        EXPECT_EQ(parsed.scaleX, c.scaleX) << c.text;
        EXPECT_EQ(parsed.pitch, c.pitch) << c.text;
        EXPECT_EQ(parsed.controlX, c.controlX) << c.text;
        EXPECT_EQ(parsed.controlMachine, c.controlMachine) << c.text;
        EXPECT_EQ(parsed.automatic, c.automatic) << c.text;
        ApplyCommandLineOptions(options);
        EXPECT_TRUE(ViewOf(TakeCommandLineStartValues()) == parsed) << c.text;
        EXPECT_EQ(AutomaticMode.load(), c.automatic) << c.text;
    }
}

TEST_F(CommandLineTest, ControlPointPitchWindowAndClamps) {
    EXPECT_EQ(Parse("-SM(1,2,3,45) -P(0.5,2) -(10,20,800,600) -N -F 500 -G 99999"), 1);
    EXPECT_EQ(CommandLine.controlPointGiven, 1);
    EXPECT_EQ(Settings.controlPointMachine, 1);
    EXPECT_EQ(Settings.controlPoint[3], 45.0);
    EXPECT_EQ(Settings.controlPoint[4], 0.0);
    EXPECT_EQ(DexelPitch.currentPitch, 0.5);
    EXPECT_EQ(DexelPitch.requestedPitch, 0.5);
    EXPECT_EQ(DexelPitch.secondPitch, 2.0);
    EXPECT_EQ(CommandLine.windowRectGiven, 1);
    EXPECT_EQ(CommandLine.windowWidth, 800);
    EXPECT_EQ(CommandLine.noMenu, 1);
    EXPECT_EQ(CommandLine.fontHeight, 100);
    ResetConfigurationRecords();
    EXPECT_EQ(Parse("-(1,2,0,600)"), 0);  // a window of no size
    EXPECT_EQ(CommandLine.windowRectGiven, 0);
}

TEST_F(CommandLineTest, FileKindsByExtension) {
    EXPECT_EQ(Parse("\"blank.stl\"+Z run.MAC"), 1);
    EXPECT_EQ(DefinitionFiles.stockFile, "blank.stl");
    EXPECT_EQ(StlImport.referenceDirection, 3);
    EXPECT_EQ(DefinitionFiles.macroFile, "run.MAC");
    EXPECT_EQ(CommandLine.automation, 1);
    ResetConfigurationRecords();
    EXPECT_EQ(Parse("blank.STL-X"), 1);
    EXPECT_EQ(DefinitionFiles.stockFile, "blank.STL");
    EXPECT_EQ(StlImport.referenceDirection, -1);
}

TEST_F(CommandLineTest, ShortcutsAndOverLongArgumentsAreRefusedWithAMessage) {
    EXPECT_EQ(Parse("part.lnk"), 0);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find("part.lnk"), std::string::npos);
    EXPECT_EQ(CommandLine.ncGiven, 0);

    const std::string longName(300, 'a');
    EXPECT_EQ(Parse("-T " + longName + " -N"), 0);
    EXPECT_TRUE(DefinitionFiles.toolsFile.empty());
    EXPECT_EQ(CommandLine.noMenu, 1);  // the parse goes on
    EXPECT_EQ(Parse("\"" + longName + ".ttl\""), 0);
    EXPECT_TRUE(DefinitionFiles.toolsFile.empty());
    EXPECT_EQ(Parse(longName + ".stl"), 0);
    EXPECT_TRUE(DefinitionFiles.stockFile.empty());
}

TEST_F(CommandLineTest, SlashSwitchesAndAbsolutePaths) {
    const std::string absolute = scratch_.At("part.nc");
    EXPECT_EQ(Parse(absolute + " /X2 /N"), 1);
    EXPECT_EQ(DefinitionFiles.ncProgramFile, absolute);
    EXPECT_EQ(CommandLine.batchKind, BatchRunKind::kReal);
    EXPECT_EQ(CommandLine.noMenu, 1);
}

TEST_F(CommandLineTest, JoinedArgumentsWithBlanksAreQuotedUnlessTheyAreSwitches) {
    const char* argv[] = {"mirexa", "my part v2.nc", "-X3", "-D(1,1,1,0,0,0)", "-T", "a b.ttl,3"};
    EXPECT_EQ(JoinCommandLineArguments(6, argv),
              "\"my part v2.nc\" -X3 -D(1,1,1,0,0,0) -T \"a b.ttl\",3");
    // The joined text reads back as the arguments meant.
    ResetConfigurationRecords();
    EXPECT_EQ(ParseCommandLine(JoinCommandLineArguments(6, argv), nullptr), 1);
    EXPECT_EQ(DefinitionFiles.toolsFile, "a b.ttl");
    EXPECT_EQ(CommandLine.startTool, 3);
    ResetConfigurationRecords();
}

}  // namespace
}  // namespace mirexa
