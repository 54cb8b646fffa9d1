// The NC data and definition-file commands: program paths, the optimal box, the selection, the
// report and the definition files, in automatic mode with the log in a temporary directory; then
// the same commands, the data checks and help as a user sends them from the menu. The data check
// runs on small programs under the sample controller.
#include "shell/nc_data_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/machine_file.h"
#include "config/tools_file.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "platform/default_viewer.h"
#include "platform/file_dialog.h"
#include "platform/menus.h"
#include "platform/message_box.h"
#include "resources/main_menu.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/automation_steps.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "shell/stock_commands.h"
#include "shell_test_support.h"
#include "stock/stock_grid.h"
#include "stock/stock_hooks.h"
#include "stock/stock_model.h"
#include "support/definition_state.h"
#include "support/saved_globals.h"
#include "support/scoped_log_directory.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

class NcDataCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_.Keep(DefinitionFiles, CommandLine, Settings, InitialStock, DexelPitch, Controller,
                    Machine);
        // No tool tables and no tool mounted, whatever definitions an earlier test read (a
        // mounted T1 would make the programs' T1 M06 no change at all), and none of the modes
        // an interpreter reset keeps from an earlier run (its work offset number).
        testing::ResetDefinitionTables();
        RunSession.run = NcRunState{};
        AutomaticMode.store(1);
        UiLanguage.store(1);
        BatchFailureCode.store(0);
        AutomationOutcome = AutomationOutcomeRecord{};
        NcDataCommands = NcDataCommandState{};
        MainWindowData.presetPathFlag = 0;
        CommandLine = CommandLineSwitches{};
        Settings.ncDirectory.clear();
        Settings.verifyDirectory = scratch.Path();
        DefinitionFiles.programDirectory.clear();
    }
    void TearDown() override {
        FreeStockModel(&CurrentStockModel());
        CurrentStockModel() = StockModel{};
        ResetStockCommands();
        // The tool tables and machine models the sample definitions filled, and the count of
        // models they could not use, which an unattended run would take for a failure.
        testing::ResetDefinitionTables();
        saved_.Restore();
        MainWindowData.presetPathFlag = 0;
        UiLanguage.store(0);
        BatchFailureCode.store(0);
    }
    // The sample controller, machine and tools, read as the controller command reads them.
    void ReadSampleDefinitions() {
        DefinitionFiles.controllerFile = std::string(MIREXA_SAMPLES) + "/vmc3.ctl";
        DefinitionFiles.machineFile = std::string(MIREXA_SAMPLES) + "/vmc3.mtl";
        DefinitionFiles.toolsFile = std::string(MIREXA_SAMPLES) + "/vmc3.ttl";
        Settings.maxMagazine = 24;
        MainWindowData.presetPathFlag = 1;
        ASSERT_EQ(HandleNcDataCommand(nullptr, IDM_CONTROLLER_FILE, 0), 1);
        ASSERT_EQ(AutomationOutcome.definitionResult, 1);
    }
    // Selects a program of the given text from the command line.
    void SelectProgram(const std::string& text, unsigned command) {
        CommandLine.ncGiven = 1;
        DefinitionFiles.ncProgramFile = scratch.Write("part.nc", text);
        ASSERT_EQ(HandleNcDataCommand(nullptr, command, 0), 1);
    }
    std::string Log() {
        CloseLogFile();
        return testing::ReadWholeFile(scratch.At("mirexa.log"));
    }
    testing::ScratchDirectory scratch;
    testing::ScopedLogDirectory log{scratch.Path()};

private:
    testing::SavedGlobals saved_;
};

// A pocket floor of the sample part: X 10..40, Y 5..25 at Z -3 with the first sample tool.
const char* const kPocket =
    "%\nO1\nG90 G17 G40 G49 G80\nT1 M06\nG54 G00 X10. Y5. Z10. S3000 M03\nG01 Z-3. F300.\n"
    "X40.\nY25.\nX10.\nY5.\nG00 Z50.\nM30\n%\n";
// The same with a feed of zero in its sixth line.
const char* const kZeroFeed =
    "%\nO2\nG90 G17 G40 G49 G80\nT1 M06\nG54 G00 X10. Y5. Z10. S3000 M03\nG01 Z-3. F0\n"
    "X40.\nM30\n%\n";

TEST_F(NcDataCommandTest, ProgramPathsAreFoundWhereTheyLie) {
    const std::string given = scratch.Write("nc/part.nc", "%\n");
    std::string path = given;
    EXPECT_EQ(ResolveNcProgramPath(&path), 1);
    EXPECT_EQ(path, given);
    // A bare name in the NC directory, and with ".NC" appended.
    Settings.ncDirectory = scratch.At("nc");
    path = "part.nc";
    EXPECT_EQ(ResolveNcProgramPath(&path), 1);
    EXPECT_EQ(path, given);
    path = "part";
    EXPECT_EQ(ResolveNcProgramPath(&path), 1);
    EXPECT_EQ(path, given);
    // The program's folder after the question (answered Yes without a user).
    const std::string beside = scratch.Write("bin/other.nc", "%\n");
    DefinitionFiles.programDirectory = scratch.At("bin") + "/";
    path = "/elsewhere/other.nc";
    EXPECT_EQ(ResolveNcProgramPath(&path), 1);
    EXPECT_EQ(path, beside);
    path = "/elsewhere/none.nc";
    EXPECT_EQ(ResolveNcProgramPath(&path), 0);
    EXPECT_EQ(path, "/elsewhere/none.nc");
}

TEST_F(NcDataCommandTest, OptimalBoxAroundTheCutInWholePitches) {
    DataCheckExtents e;
    const double cut[6] = {10, 20, -5, 60, 45, 2};
    std::copy(cut, cut + 3, e.cutMin);
    std::copy(cut + 3, cut + 6, e.cutMax);
    const double path[6] = {-1, -2, -5, 70, 90, 400};
    std::copy(path, path + 3, e.pathMin);
    std::copy(path + 3, path + 6, e.pathMax);
    const double margin[3] = {2, 3, 1};
    double box[6];
    ComputeOptimalStockBox(e, margin, 0.0, box);
    const double rough[6] = {8, 17, -15, 62, 48, 3};
    for (int i = 0; i < 6; ++i) {
        EXPECT_DOUBLE_EQ(box[i], rough[i]) << i;
    }
    // Pitch 4: X 54 mm -> 15 nodes, 56 mm; Y 31 -> 9 nodes, 32; Z 18 -> 6 nodes, 20, down from
    // the top, which stays where the cutting begins.
    ComputeOptimalStockBox(e, margin, 4.0, box);
    const double whole[6] = {8, 17, 3 - 20.0, 8 + 56.0, 17 + 32.0, 3};
    for (int i = 0; i < 6; ++i) {
        EXPECT_DOUBLE_EQ(box[i], whole[i]) << i;
    }
    const double none[3] = {0, 0, 0};
    // A cut no wider than a pitch still gets two nodes.
    e.cutMax[0] = e.cutMin[0];
    ComputeOptimalStockBox(e, none, 5.0, box);
    EXPECT_DOUBLE_EQ(box[3] - box[0], 5.0);
    // Nothing cut (no feed move): the path's X and Y, the top 5 below its lowest Z, 20 deep.
    e.cutMin[0] = 1;
    e.cutMax[0] = 0;
    EXPECT_EQ(ComputeOptimalStockBox(e, none, 0.0, box), 1);
    const double fallback[6] = {-1, -2, -30, 70, 90, -10};
    for (int i = 0; i < 6; ++i) {
        EXPECT_DOUBLE_EQ(box[i], fallback[i]) << i;
    }
    // A program without motion gets no box (not one of the empty extents' 1e7 bounds).
    DataCheckExtents still;
    for (int a = 0; a < 3; ++a) {
        still.cutMin[a] = still.pathMin[a] = kDataCheckExtentStart;
        still.cutMax[a] = still.pathMax[a] = -kDataCheckExtentStart;
    }
    EXPECT_EQ(ComputeOptimalStockBox(still, none, 0.0, box), 0);
    EXPECT_DOUBLE_EQ(box[0], -1.0);
}

TEST_F(NcDataCommandTest, AMissingProgramIsError101AndAFailureOfTheBatch) {
    CommandLine.ncGiven = 1;
    CommandLine.batchKind = BatchRunKind::kResultUnseen;
    DefinitionFiles.ncProgramFile = scratch.At("absent.nc");
    ASSERT_EQ(HandleNcDataCommand(nullptr, IDM_NC_SELECT, 0), 1);
    EXPECT_EQ(AutomationOutcome.selectionError, kNcProgramMissingError);
    EXPECT_EQ(RunSession.run.status.error, kNcProgramMissingError);
    EXPECT_EQ(CommandLine.batchKind, BatchRunKind::kNone);
    EXPECT_EQ(NcDataCommands.selectedState, 0);
    EXPECT_EQ(BatchFailureCode.load(), kBatchExitFileError);
    EXPECT_NE(Log().find("absent.nc - The NC data does not exist."), std::string::npos);

    // A program that is there is selected, and the path shown for the last one is not.
    DisplayModes.pathDisplay = 1;
    const std::string present = scratch.Write("part.nc", "%\n");
    DefinitionFiles.ncProgramFile = present;
    HandleNcDataCommand(nullptr, IDM_NC_SELECT, 0);
    EXPECT_EQ(AutomationOutcome.selectionError, 0);
    EXPECT_EQ(NcDataCommands.selectedState, 1);
    EXPECT_EQ(DisplayModes.pathDisplay, 0);
    EXPECT_EQ(DefinitionFiles.ncProgramFile, present);
    // Without a preset path and without a user nothing is selected.
    CommandLine.ncGiven = 0;
    HandleNcDataCommand(nullptr, IDM_NC_SELECT, 0);
    EXPECT_EQ(NcDataCommands.selectedState, 1);
}

TEST_F(NcDataCommandTest, TheOptimalStockSurroundsThePathOrTheSelectionFails) {
    ReadSampleDefinitions();
    SelectProgram(kPocket, IDM_NC_SELECT_OPTIMAL_STOCK);
    EXPECT_EQ(AutomationOutcome.selectionError, 0);
    EXPECT_EQ(AutomationOutcome.stockLoadResult, 1);
    // Where the pocket is cut, in machine coordinates (the frame the stock is built in): the
    // 10 mm cutter's centre from X 10 to 40, Y 5 to 25 and the plunge from Z 10 to the floor at
    // Z -3 in G54, which the sample controller places at (-250, -180, -320.5) with its external
    // offset's Z -0.5. X and Y widened by the margins, the bottom 10 mm below the floor, the top
    // at the plunge's start raised by the Z margin.
    const double origin[3] = {-250.0, -180.0, -321.0};
    const double* box = InitialStock.box;
    EXPECT_LE(box[0], origin[0] + 10.0 - Settings.workMargin[0]);
    EXPECT_GE(box[3], origin[0] + 40.0 + Settings.workMargin[0]);
    EXPECT_LE(box[1], origin[1] + 5.0 - Settings.workMargin[1]);
    EXPECT_GE(box[4], origin[1] + 25.0 + Settings.workMargin[1]);
    EXPECT_LT(box[3] - box[0], 30.0 + 2 * Settings.workMargin[0] + 2 * DexelPitch.currentPitch);
    EXPECT_LT(box[4] - box[1], 20.0 + 2 * Settings.workMargin[1] + 2 * DexelPitch.currentPitch);
    EXPECT_DOUBLE_EQ(box[5], origin[2] + 10.0 + Settings.workMargin[2]);
    EXPECT_LE(box[2], origin[2] - 3.0 - 10.0);
    EXPECT_GT(box[2], origin[2] - 3.0 - 10.0 - DexelPitch.currentPitch);
    EXPECT_GT(CurrentStockModel().nx, 0);
    // A full circle ends where it starts: its bulge is cut all the same.
    SelectProgram(
        "%\nO4\nG90 G17\nT1 M06\nG54 G00 X10. Y0. Z1.\nG01 Z-1. F300.\n"
        "G02 I-10. F300.\nG00 Z50.\nM30\n%\n",
        IDM_NC_SELECT_OPTIMAL_STOCK);
    EXPECT_LE(box[0], origin[0] - 10.0);
    EXPECT_GE(box[3], origin[0] + 10.0);
    EXPECT_LE(box[1], origin[1] - 10.0);
    EXPECT_GE(box[4], origin[1] + 10.0);

    // A box the memory refuses: the stock and the settings' box and pitch stay those of the
    // stock that stands (the dialogs show them and Exit writes them).
    const int nx = CurrentStockModel().nx;
    const std::vector<double> standing(box, box + 6);
    const double pitch = DexelPitch.currentPitch;
    StockCallbacks.allowAllocation = [](std::size_t) { return false; };
    SelectProgram(kPocket, IDM_NC_SELECT_OPTIMAL_STOCK);
    StockCallbacks.allowAllocation = nullptr;
    EXPECT_EQ(AutomationOutcome.stockLoadResult, 0);
    EXPECT_EQ(std::vector<double>(box, box + 6), standing);
    EXPECT_EQ(DexelPitch.currentPitch, pitch);
    EXPECT_EQ(CurrentStockModel().nx, nx);

    // A program the data check cannot follow: its alarm with the line, no new stock, and an
    // unattended run that stops.
    CommandLine.batchKind = BatchRunKind::kResultUnseen;
    SelectProgram(kZeroFeed, IDM_NC_SELECT_OPTIMAL_STOCK);
    EXPECT_EQ(AutomationOutcome.selectionError, 102);
    EXPECT_EQ(BatchFailureCode.load(), kBatchExitFileError);
    EXPECT_EQ(CurrentStockModel().nx, nx);
    EXPECT_NE(Log().find("(6) - Zero Feedrate!"), std::string::npos);

    // A program that makes no move: no stock, and the batch fails.
    BatchFailureCode.store(0);
    SelectProgram("%\nO3\nG90 G17\nM30\n%\n", IDM_NC_SELECT_OPTIMAL_STOCK);
    EXPECT_EQ(BatchFailureCode.load(), kBatchExitFileError);
    EXPECT_EQ(CurrentStockModel().nx, nx);
    EXPECT_NE(Log().find("part.nc - The NC program makes no move"), std::string::npos);
}

TEST_F(NcDataCommandTest, TheReportIsWrittenOrItsAlarmLogged) {
    ReadSampleDefinitions();
    SelectProgram(kPocket, IDM_NC_SELECT);
    HandleNcDataCommand(nullptr, IDM_NC_REPORT, 1);
    EXPECT_EQ(AutomationOutcome.reportError, 0);
    SelectProgram(kZeroFeed, IDM_NC_SELECT);
    CommandLine.reportMode = 5;
    HandleNcDataCommand(nullptr, IDM_NC_REPORT, 1);
    EXPECT_EQ(AutomationOutcome.reportError, 2);
    const std::string text = Log();
    EXPECT_NE(text.find("part.nc\n"), std::string::npos);
    EXPECT_NE(text.find("(6) - Zero Feedrate!"), std::string::npos) << text;
}

TEST_F(NcDataCommandTest, DefinitionFilesAreReadOrTheBatchFails) {
    MainWindowData.presetPathFlag = 1;
    DefinitionFiles.toolsFile = std::string(MIREXA_SAMPLES) + "/vmc3.ttl";
    HandleNcDataCommand(nullptr, IDM_TOOLS_FILE, 0);
    EXPECT_EQ(AutomationOutcome.definitionResult, 1);
    EXPECT_EQ(ToolFile.status, 1);
    EXPECT_EQ(MainWindowData.presetPathFlag, 0);
    EXPECT_EQ(BatchFailureCode.load(), 0);

    MainWindowData.presetPathFlag = 1;
    DefinitionFiles.machineFile = scratch.At("absent.mtl");
    HandleNcDataCommand(nullptr, IDM_MACHINE_FILE, 0);
    EXPECT_EQ(AutomationOutcome.definitionResult, 0);
    EXPECT_EQ(BatchFailureCode.load(), kBatchExitFileError);
    EXPECT_NE(Log().find("absent.mtl - The definition file cannot be read."), std::string::npos);
}

TEST_F(NcDataCommandTest, FileCommandsOpenTheirDialogsAndAProgramEnablesItsMenuItems) {
    WindowHandle window = CreatePlatformWindow(WindowCreateParams{});
    SetWindowMenuBar(window, LoadMenuResource(IDR_MAIN_MENU));
    MainWindow.store(window);
    const MenuHandle bar = GetWindowMenuBar(window);
    MainWindowData.presetPathFlag = 0;
    DefinitionFiles.toolsFile = "/old/tools.ttl";
    static std::string chosen;
    FileDialogResponder previous = SetFileDialogResponder([](const FileDialogRequest&) {
        FileDialogResult answer;
        answer.ok = chosen.empty() ? 0 : 1;
        answer.path = chosen;
        return answer;
    });
    chosen.clear();
    HandleNcDataCommand(window, IDM_TOOLS_FILE, 0);
    EXPECT_EQ(DefinitionFiles.toolsFile, "/old/tools.ttl");  // cancelled
    chosen = std::string(MIREXA_SAMPLES) + "/vmc3.ttl";
    HandleNcDataCommand(window, IDM_TOOLS_FILE, 0);
    EXPECT_EQ(DefinitionFiles.toolsFile, chosen);
    EXPECT_EQ(ToolFile.status, 1);

    EXPECT_EQ(GetMenuEntryState(bar, IDM_CUT_RESULT, MENU_BYCOMMAND),
              static_cast<int>(MENU_GRAYED));
    chosen = scratch.Write("part.nc", "%\nG00 X0\n%\n");
    HandleNcDataCommand(window, IDM_NC_SELECT, 0);
    EXPECT_EQ(DefinitionFiles.ncProgramFile, chosen);
    for (unsigned command : {IDM_NC_REPORT, IDM_CUT_RESULT, IDM_PATH_DISPLAY_NO_ROTARY}) {
        EXPECT_EQ(GetMenuEntryState(bar, command, MENU_BYCOMMAND), 0) << command;
    }
    SetFileDialogResponder(previous);
    MainWindow.store(nullptr);
    DestroyMenuHandle(bar);
    DestroyPlatformWindow(window);
}

// The commands as a user sends them from the menu of the main window: the program chosen in the
// file dialog, the checks and their display, the help page with and without a viewer, the exit.
std::vector<std::string> boxes;
std::string chosen;

class NcDataMenuTest : public NcDataCommandTest, public ShellWindowTest {
protected:
    void SetUp() override {
        NcDataCommandTest::SetUp();
        savedClass_ = MainClass;
        savedPath_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
        ReadSampleDefinitions();  // unattended: the machine's models lie beside the samples
        AutomaticMode.store(0);
        MainClass.menu = IDR_MAIN_MENU;
        OpenMainWindow();
        boxes.clear();
        chosen.clear();
        previousBox_ = SetMessageBoxResponder([](const MessageBoxRequest& request) {
            boxes.push_back(request.caption + "\n" + request.text);
            return MBX_IDOK;
        });
        previousDialog_ = SetFileDialogResponder([](const FileDialogRequest&) {
            return FileDialogResult{.ok = chosen.empty() ? 0 : 1, .path = chosen};
        });
        TakeRecordedViewerOpens();
    }
    void TearDown() override {
        CloseMainWindow();
        SetMessageBoxResponder(previousBox_);
        SetFileDialogResponder(previousDialog_);
        setenv("PATH", savedPath_.c_str(), 1);
        MainClass = savedClass_;
        ResetShellState();
        NcDataCommandTest::TearDown();
    }
    void Send(unsigned command) {
        SendWindowMessage(main, WM_COMMAND, command, 0);
    }
    std::string LastBox() {
        return boxes.empty() ? "" : boxes.back();
    }

private:
    MainWindowClass savedClass_;
    std::string savedPath_;
    MessageBoxResponder previousBox_;
    FileDialogResponder previousDialog_;
};

// A pocket floor from X 10 to the given end, Y 5..25 at Z -3 with the first sample tool, beyond
// the sample machine's start point (X 250, Y 180) in X.
std::string PocketTo(const char* xEnd) {
    return std::string(
               "%\nO1\nG90 G17 G40 G49 G80\nT1 M06\nG54 G00 X10. Y5. Z10. S3000 M03\n"
               "G01 Z-3. F300.\nX") +
           xEnd + "\nY25.\nX10.\nY5.\nG00 Z50.\nM30\n%\n";
}

TEST_F(NcDataMenuTest, TheChosenProgramReachesTheTitleAndItsChecksReadTheFileAsItIsNow) {
    // A cancelled dialog changes nothing, not even the path display.
    DisplayModes.pathDisplay = 1;
    Send(IDM_NC_SELECT);
    EXPECT_EQ(NcDataCommands.selectedState, 0);
    EXPECT_EQ(DisplayModes.pathDisplay, 1);
    // Without a program the checks have nothing to check.
    Send(IDM_NC_CHECK_MIN_MAX);
    EXPECT_TRUE(boxes.empty());

    chosen = scratch.Write("part.nc", PocketTo("300."));
    Send(IDM_NC_SELECT);
    EXPECT_EQ(DefinitionFiles.ncProgramFile, chosen);
    EXPECT_NE(GetPlatformWindowText(main).find("part.nc"), std::string::npos)
        << GetPlatformWindowText(main);
    Send(IDM_NC_CHECK_MIN_MAX);
    EXPECT_NE(LastBox().find(".. 300.000  Y 0.000 .. 180.000"), std::string::npos) << LastBox();
    EXPECT_EQ(LastBox().find("Feed"), std::string::npos);

    // The file changed on disk: the next check reads it anew.
    scratch.Write("part.nc", PocketTo("320."));
    Send(IDM_NC_CHECK_DATA);
    const std::string summary = LastBox();
    EXPECT_NE(summary.find(".. 320.000  Y 0.000 .. 180.000"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Feed max / cutting max / min (mm/min): "), std::string::npos);
    EXPECT_NE(summary.find("Spindle max (min-1): 3000"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Tools in order of use: T1\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Machining time: 0:0"), std::string::npos) << summary;

    // A program the check cannot follow shows its alarm instead.
    scratch.Write("part.nc", "%\nO2\nG90 G17\nT1 M06\nG54 G00 X10. Y5. Z10.\nG01 Z-3. F0\n%\n");
    Send(IDM_NC_CHECK_DATA);
    EXPECT_NE(LastBox().find("Zero Feedrate"), std::string::npos) << LastBox();
}

TEST_F(NcDataMenuTest, AnEmptyExtentShowsADash) {
    DataCheckRecord record;
    EXPECT_EQ(FormatDataCheckSummary(record, kDataCheckMinMax),
              "Program: -\nMachine: -\nTool point (work): -\n");
}

TEST_F(NcDataMenuTest, HelpSaysWhenThePageOrTheViewerIsMissing) {
    DefinitionFiles.helpPath = scratch.At("HELP/index.htm");
    Send(IDM_HELP);
    EXPECT_NE(LastBox().find("The help page cannot be found."), std::string::npos) << LastBox();
    scratch.Write("HELP/index.htm", "<html></html>\n");
    setenv("PATH", scratch.At("HELP").c_str(), 1);
    Send(IDM_HELP);
    EXPECT_NE(LastBox().find("There is no viewer to show the help page (xdg-open)."),
              std::string::npos)
        << LastBox();
    EXPECT_TRUE(TakeRecordedViewerOpens().empty());
    // A desktop with a viewer: the page goes to it, and nothing is said.
    const std::string viewer = scratch.Write("bin/xdg-open", "#!/bin/sh\nexit 0\n");
    chmod(viewer.c_str(), 0755);
    setenv("PATH", (scratch.At("none") + ":" + scratch.At("bin")).c_str(), 1);
    boxes.clear();
    Send(IDM_HELP);
    Send(IDM_HOME_PAGE);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(TakeRecordedViewerOpens(),
              (std::vector<std::string>{DefinitionFiles.helpPath, DefinitionFiles.helpPath}));
    // Nothing opens in automatic mode.
    AutomaticMode.store(1);
    Send(IDM_HELP);
    AutomaticMode.store(0);
    EXPECT_TRUE(TakeRecordedViewerOpens().empty());
}

TEST_F(NcDataMenuTest, AnotherSettingsFileBringsItsSettingsAndDefinitionFiles) {
    // The file in use gets the options switched so far before the other one is read.
    const std::string old = scratch.Write("old.ini", "[Define]\nSOUND=OFF\n");
    DefinitionFiles.settingsPath = old;
    DefinitionFiles.settingsName = old;
    Send(IDM_ROTARY_REAL_CUT_MODE);
    const std::string samples = MIREXA_SAMPLES;
    chosen = scratch.Write("other.ini", "[Table]\nTOOL_TABLE=" + samples +
                                            "/vmc3.ttl\nCONTROLLER_TABLE=" + samples +
                                            "/vmc3.ctl\nMACHINE_TABLE=" + samples +
                                            "/vmc3.mtl\n[Define]\nSOUND=ON\nARBOR CHECK=CUT\n"
                                            "BASIC AXIS=NO\nMAX MAGAZINE=24\n");
    Send(IDM_SETTINGS_FILE);
    EXPECT_NE(testing::ReadWholeFile(old).find("REAL ROTATION=YES"), std::string::npos);
    EXPECT_EQ(DefinitionFiles.settingsPath, chosen);
    EXPECT_EQ(Settings.sound, 1);
    EXPECT_EQ(Settings.realRotation, 0);
    EXPECT_EQ(Checks.arborCheck, 2);
    EXPECT_EQ(DisplayModes.basicAxis, 0);
    EXPECT_EQ(Controller.status, 1);
    EXPECT_EQ(
        GetMenuEntryState(GetWindowMenuBar(main), IDM_SHOW_AXES, MENU_BYCOMMAND) & MENU_CHECKED, 0);
    EXPECT_NE(GetPlatformWindowText(main).find("(vmc3.ttl,vmc3.ctl,vmc3.mtl)"), std::string::npos);
    // A file without settings is refused, and the one in use stays.
    chosen = scratch.Write("empty.ini", "; nothing\n");
    Send(IDM_SETTINGS_FILE);
    EXPECT_NE(LastBox().find("The file holds no settings"), std::string::npos) << LastBox();
    EXPECT_EQ(DefinitionFiles.settingsPath, scratch.At("other.ini"));
    EXPECT_EQ(Checks.arborCheck, 2);
    // A file too large to be read is refused as such, not called empty (a sparse file).
    chosen = scratch.Write("huge.ini", "[Define]\nSOUND=OFF\n");
    std::filesystem::resize_file(chosen, std::uintmax_t{65} << 20);
    Send(IDM_SETTINGS_FILE);
    EXPECT_NE(LastBox().find("too large (over 64 MB)"), std::string::npos) << LastBox();
    EXPECT_EQ(DefinitionFiles.settingsPath, scratch.At("other.ini"));
}

TEST_F(NcDataMenuTest, ExitClosesTheWindow) {
    Send(IDM_EXIT);
    EXPECT_FALSE(IsPlatformWindow(main));
}

}  // namespace
}  // namespace mirexa
