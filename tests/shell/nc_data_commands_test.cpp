// The NC data and definition-file commands: program paths, the optimal box, the selection, the
// report and the definition files, in automatic mode with the log in a temporary directory.
#include "shell/nc_data_commands.h"

#include <gtest/gtest.h>

#include "config/config_records.h"
#include "config/tools_file.h"
#include "geometry/program_log.h"
#include "geometry/scratch_directory.h"
#include "geometry/shared_state.h"
#include "platform/file_dialog.h"
#include "platform/menus.h"
#include "resources/main_menu.h"
#include "shell/automation_steps.h"
#include "shell/stock_commands.h"
#include "stock/stock_grid.h"
#include "stockio/scoped_log_directory.h"

namespace mirexa {
namespace {

struct NcHookRecord {
    int interpreterError = {};
    int selected = {};
    int resets = {};
    std::vector<int> alarms;
    std::vector<int> reports;
    DataCheckExtents check = {};
    int presetPath = {};
};
NcHookRecord NcHooks;

class NcDataCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        NcHooks = NcHookRecord{};
        savedHooks_ = NcDataCommandCallbacks;
        savedFiles_ = DefinitionFiles;
        savedCommandLine_ = CommandLine;
        savedSettings_ = Settings;
        savedInitial_ = InitialStock;
        savedPitch_ = DexelPitch;
        AutomaticMode.store(1);
        UiLanguage.store(1);
        BatchFailureCode.store(0);
        AutomationOutcome = AutomationOutcomeRecord{};
        NcDataCommands = NcDataCommandState{};
        NcDataCommandHooks& h = NcDataCommandCallbacks;
        h = NcDataCommandHooks{};
        h.presetPathFlag = [] { return NcHooks.presetPath; };
        h.clearPresetPath = [] { NcHooks.presetPath = 0; };
        h.setInterpreterError = [](int error) { NcHooks.interpreterError = error; };
        h.programSelected = [] { ++NcHooks.selected; };
        h.resetForNewProgram = [] { ++NcHooks.resets; };
        h.showAlarmMessage = [](int code) { NcHooks.alarms.push_back(code); };
        h.writeCuttingReport = [](int silent) { NcHooks.reports.push_back(silent); };
        CommandLine = CommandLineOptions{};
        Settings.ncDirectory.clear();
        DefinitionFiles.programDirectory.clear();
        DexelPitch.automatic = 0;
        DexelPitch.requestedPitch = 1.0;
    }
    void TearDown() override {
        FreeStockModel(&CurrentStockModel());
        CurrentStockModel() = StockModel{};
        ResetStockCommands();
        NcDataCommandCallbacks = savedHooks_;
        DefinitionFiles = savedFiles_;
        CommandLine = savedCommandLine_;
        Settings = savedSettings_;
        InitialStock = savedInitial_;
        DexelPitch = savedPitch_;
        UiLanguage.store(0);
        BatchFailureCode.store(0);
    }
    void WithDataCheck() {
        NcDataCommandCallbacks.runDataCheck = [](DataCheckExtents* out) { *out = NcHooks.check; };
    }
    std::string Log() {
        CloseLogFile();
        return testing::ReadWholeFile(scratch.At("mirexa.log"));
    }
    testing::ScratchDirectory scratch;
    testing::ScopedLogDirectory log{scratch.Path()};

private:
    NcDataCommandHooks savedHooks_;
    DefinitionFilePaths savedFiles_;
    CommandLineOptions savedCommandLine_;
    ProgramSettings savedSettings_;
    StockDefinition savedInitial_;
    DexelPitchSettings savedPitch_;
};

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

TEST_F(NcDataCommandTest, OptimalBoxAroundThePathInWholePitches) {
    DataCheckExtents e;
    const double tool[6] = {10, 20, -5, 60, 45, 2};
    std::copy(tool, tool + 3, e.toolMin);
    std::copy(tool + 3, tool + 6, e.toolMax);
    const double margin[3] = {2, 3, 1};
    double box[6];
    ComputeOptimalStockBox(e, margin, 0.0, box);
    const double rough[6] = {8, 17, -15, 62, 48, 3};
    for (int i = 0; i < 6; ++i) {
        EXPECT_DOUBLE_EQ(box[i], rough[i]) << i;
    }
    // Pitch 4: X 54 mm -> floor(13.5 + 1.5) = 15 nodes, 56 mm; Y 31 -> 9 nodes, 32; Z 18 -> 6, 20.
    ComputeOptimalStockBox(e, margin, 4.0, box);
    EXPECT_DOUBLE_EQ(box[3], 8 + 56.0);
    EXPECT_DOUBLE_EQ(box[4], 17 + 32.0);
    EXPECT_DOUBLE_EQ(box[5], -15 + 20.0);
    const double none[3] = {0, 0, 0};
    // A path no wider than a pitch still gets two nodes.
    e.toolMax[0] = e.toolMin[0];
    ComputeOptimalStockBox(e, none, 5.0, box);
    EXPECT_DOUBLE_EQ(box[3] - box[0], 5.0);
    // No tool-point extent in X: the program's, top 5 below its lowest Z, 20 deep.
    e.toolMin[0] = 1;
    e.toolMax[0] = 0;
    const double program[6] = {-1, -2, 4, 7, 9, 8};
    std::copy(program, program + 3, e.programMin);
    std::copy(program + 3, program + 6, e.programMax);
    ComputeOptimalStockBox(e, none, 0.0, box);
    const double fallback[6] = {-1, -2, -21, 7, 9, -1};
    for (int i = 0; i < 6; ++i) {
        EXPECT_DOUBLE_EQ(box[i], fallback[i]) << i;
    }
}

TEST_F(NcDataCommandTest, AMissingProgramIsError101AndAFailureOfTheBatch) {
    CommandLine.ncGiven = 1;
    CommandLine.runMode = 6;
    DefinitionFiles.ncProgramFile = scratch.At("absent.nc");
    ASSERT_EQ(HandleNcDataCommand(nullptr, IDM_NC_SELECT, 0), 1);
    EXPECT_EQ(AutomationOutcome.selectionError, kNcProgramMissingError);
    EXPECT_EQ(NcHooks.interpreterError, kNcProgramMissingError);
    EXPECT_EQ(CommandLine.runMode, 0);
    EXPECT_EQ(NcHooks.selected, 0);
    EXPECT_EQ(BatchFailureCode.load(), kBatchExitFileError);
    EXPECT_NE(Log().find("absent.nc - The NC data does not exist."), std::string::npos);

    // A program that is there is selected.
    const std::string present = scratch.Write("part.nc", "%\n");
    DefinitionFiles.ncProgramFile = present;
    HandleNcDataCommand(nullptr, IDM_NC_SELECT, 0);
    EXPECT_EQ(AutomationOutcome.selectionError, 0);
    EXPECT_EQ(NcHooks.selected, 1);
    EXPECT_EQ(NcHooks.resets, 1);
    EXPECT_EQ(NcDataCommands.selectedState, 1);
    EXPECT_EQ(DefinitionFiles.ncProgramFile, present);
    // Without a preset path and without a user nothing is selected.
    CommandLine.ncGiven = 0;
    HandleNcDataCommand(nullptr, IDM_NC_SELECT, 0);
    EXPECT_EQ(NcHooks.selected, 1);
}

TEST_F(NcDataCommandTest, OptimalStockFromTheDataCheckOrTheStockDefinition) {
    CommandLine.ncGiven = 1;
    DefinitionFiles.ncProgramFile = scratch.Write("part.nc", "%\n");
    // Without the data check: the stock definition, with a log line.
    InitialStock.kind = kStockBox;
    const double box[6] = {0, 0, 0, 10, 10, 5};
    std::copy(box, box + 6, InitialStock.box);
    HandleNcDataCommand(nullptr, IDM_NC_SELECT_OPTIMAL_STOCK, 0);
    EXPECT_EQ(AutomationOutcome.stockLoadResult, 1);
    EXPECT_EQ(CurrentStockModel().nx, 11);
    EXPECT_NE(Log().find("optimal work needs the data check"), std::string::npos);

    WithDataCheck();
    const double tool[6] = {0, 0, -3, 20, 10, 0};
    std::copy(tool, tool + 3, NcHooks.check.toolMin);
    std::copy(tool + 3, tool + 6, NcHooks.check.toolMax);
    HandleNcDataCommand(nullptr, IDM_NC_SELECT_OPTIMAL_STOCK, 0);
    EXPECT_EQ(AutomationOutcome.stockLoadResult, 1);
    EXPECT_EQ(CurrentStockModel().nx, 21);
    EXPECT_DOUBLE_EQ(InitialStock.box[2], -13.0);

    // An interpreter error in the data check: its alarm, and the stock stays.
    NcHooks.check.error = 5;
    AutomationOutcome.stockLoadResult = 0;
    HandleNcDataCommand(nullptr, IDM_NC_SELECT_OPTIMAL_STOCK, 0);
    EXPECT_EQ(NcHooks.alarms, std::vector<int>{105});
    EXPECT_EQ(CurrentStockModel().nx, 21);
}

TEST_F(NcDataCommandTest, TheReportNeedsTheDataCheck) {
    HandleNcDataCommand(nullptr, IDM_NC_REPORT, 1);
    EXPECT_EQ(AutomationOutcome.reportError, 0);
    EXPECT_TRUE(NcHooks.reports.empty());
    EXPECT_NE(Log().find("report needs the data check, which is not available yet"),
              std::string::npos);

    WithDataCheck();
    HandleNcDataCommand(nullptr, IDM_NC_REPORT, 1);
    EXPECT_EQ(NcHooks.reports, std::vector<int>{1});
    NcHooks.check.error = 2;
    CommandLine.reportMode = 5;
    DefinitionFiles.ncProgramFile = "/nc/bad.nc";
    HandleNcDataCommand(nullptr, IDM_NC_REPORT, 1);
    EXPECT_EQ(AutomationOutcome.reportError, 2);
    EXPECT_EQ(NcHooks.alarms, std::vector<int>{102});
    EXPECT_EQ(NcHooks.reports.size(), 1u);
    EXPECT_NE(Log().find("/nc/bad.nc"), std::string::npos);
}

TEST_F(NcDataCommandTest, DefinitionFilesAreReadOrTheBatchFails) {
    NcHooks.presetPath = 1;
    DefinitionFiles.toolsFile = std::string(MIREXA_SAMPLES) + "/vmc3.ttl";
    HandleNcDataCommand(nullptr, IDM_TOOLS_FILE, 0);
    EXPECT_EQ(AutomationOutcome.definitionResult, 1);
    EXPECT_EQ(ToolFile.status, 1);
    EXPECT_EQ(NcHooks.presetPath, 0);
    EXPECT_EQ(BatchFailureCode.load(), 0);

    NcHooks.presetPath = 1;
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
    NcHooks.presetPath = 0;
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

}  // namespace
}  // namespace mirexa
