// The stock commands: kinds and variants by name, the frame rotation, the replacement of the
// current stock, reading, saving and the operations, with the invariant checker after each.
#include "shell/stock_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/plugin_slots.h"
#include "platform/file_dialog.h"
#include "platform/menus.h"
#include "resources/main_menu.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/automation_steps.h"
#include "shell/main_window.h"
#include "shell/plugin_host.h"
#include "shell/run_commands.h"
#include "simulation/cutting_core.h"
#include "simulation/run_control.h"
#include "stock/stock_clip.h"
#include "stock/stock_grid.h"
#include "stock/stock_hooks.h"
#include "stock/stock_shapes.h"
#include "stockio/dme_file.h"
#include "support/scoped_log_directory.h"
#include "support/scratch_directory.h"
#include "support/stl_test_meshes.h"
#include "support/stock_invariants.h"
#include "view/camera.h"
#include "view/display_lists.h"

namespace mirexa {
namespace {

TEST(StockCommandNamesTest, ReadKindByExtensionInItsOrder) {
    EXPECT_EQ(ChooseStockReadKind("/w/block.DMF", 1), kStockReadDmf);  // before the plug-ins
    EXPECT_EQ(ChooseStockReadKind("/w/block.dmf", -1), kStockReadDmf);
    EXPECT_EQ(ChooseStockReadKind("/w/block.dme", 0), kStockReadPlugin);  // before .DME
    EXPECT_EQ(ChooseStockReadKind("/w/block.xyz", 2), kStockReadPlugin + 2);
    EXPECT_EQ(ChooseStockReadKind("/w/block.Dme", -1), kStockReadDme);
    EXPECT_EQ(ChooseStockReadKind("/w/block.stl", -1), kStockReadStl);
    EXPECT_EQ(ChooseStockReadKind("/w/block", -1), kStockReadStl);
    EXPECT_EQ(ChooseStockReadKind("", -1), kStockReadStl);
}

TEST(StockCommandNamesTest, SaveKindGivesTheVariantAndABareNameTheStockDirectory) {
    EXPECT_EQ(ChooseStockSaveVariant(1), 0);
    EXPECT_EQ(ChooseStockSaveVariant(2), 0);
    EXPECT_EQ(ChooseStockSaveVariant(3), 1);
    EXPECT_EQ(ChooseStockSaveVariant(4), 2);
    for (int kind : {0, 5, 7, 9, -1}) {
        EXPECT_EQ(ChooseStockSaveVariant(kind), -1) << kind;
    }
    const std::string saved = Settings.dmeDirectory;
    Settings.dmeDirectory = "/data/stock";
    EXPECT_EQ(ResolveStockSavePath("cut.dme"), "/data/stock/cut.dme");
    EXPECT_EQ(ResolveStockSavePath("out/cut.dme"), "out/cut.dme");
    EXPECT_EQ(ResolveStockSavePath("/abs/cut.stl"), "/abs/cut.stl");
    Settings.dmeDirectory = "";
    EXPECT_EQ(ResolveStockSavePath("cut.dme"), "cut.dme");
    Settings.dmeDirectory = saved;
}

TEST(StockCommandNamesTest, QuarterTurnsOfTheFrameAreExact) {
    // Rows of the identity turned by +90 deg: about X y -> z, about Y z -> x, about Z x -> y.
    const double expected[3][9] = {
        {1, 0, 0, 0, 0, 1, 0, -1, 0},
        {0, 0, -1, 0, 1, 0, 1, 0, 0},
        {0, 1, 0, -1, 0, 0, 0, 0, 1},
    };
    for (int axis = 0; axis < 3; ++axis) {
        StockFrame frame;
        frame.values[0] = frame.values[4] = frame.values[8] = 1.0;
        frame.values[9] = 5.0;
        RotateStockFrame(&frame, axis, 90.0);
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(frame.values[i], expected[axis][i]) << "axis " << axis << " value " << i;
        }
        EXPECT_EQ(frame.values[9], 5.0);
        // Four quarter turns come back to the identity exactly.
        for (int k = 0; k < 3; ++k) {
            RotateStockFrame(&frame, axis, 90.0);
        }
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(frame.values[i], i % 4 == 0 ? 1.0 : 0.0) << "axis " << axis;
        }
    }
    // Any other angle: the row turned in its plane, against the rotation written out.
    StockFrame frame;
    frame.values[0] = 0.6;
    frame.values[1] = 0.8;
    frame.values[8] = 1.0;
    RotateStockFrame(&frame, 2, 30.0);
    const double c = std::cos(std::numbers::pi / 6), s = std::sin(std::numbers::pi / 6);
    EXPECT_NEAR(frame.values[0], c * 0.6 - s * 0.8, 1e-15);
    EXPECT_NEAR(frame.values[1], c * 0.8 + s * 0.6, 1e-15);
}

// The recorded calls of the hooks.
struct HookRecord {
    StockClipLimits clip = {};
    int state = {};
    StockBoxChoice box = {};
    const double* typedBox = {};  // the corners the user types into the two-point dialog
};
HookRecord Hooks;

class StockCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        Hooks = HookRecord{};
        savedHooks_ = StockCommandCallbacks;
        savedInitial_ = InitialStock;
        savedFiles_ = DefinitionFiles;
        savedCommandLine_ = CommandLine;
        savedSettings_ = Settings;
        savedPitch_ = DexelPitch;
        savedAutomatic_ = AutomaticMode.load();
        AutomaticMode.store(1);
        UiLanguage.store(1);
        AutomationOutcome = AutomationOutcomeRecord{};
        BatchFailureCode.store(0);
        ResetStockCommands();
        FreeStockModel(&CurrentStockModel());
        CurrentStockModel() = StockModel{};
        StockCommandHooks& h = StockCommandCallbacks;
        h = StockCommandHooks{};
        h.clipDialog = [](StockClipLimits* limits) {
            *limits = Hooks.clip;
            return 1;
        };
        h.stateDialog = [](int* state) {
            *state = Hooks.state;
            return 1;
        };
        h.twoPointDialog = [](StockBoxChoice* choice) {
            *choice = Hooks.box;
            if (Hooks.typedBox != nullptr) {
                std::copy(Hooks.typedBox, Hooks.typedBox + 6, InitialStock.box);
            }
            return 1;
        };
        Settings.undoRingSize = 3;
        Settings.dmeDirectory = scratch.Path();
        DexelPitch.automatic = 0;
        DexelPitch.requestedPitch = 1.0;
        CommandLine = CommandLineSwitches{};
    }
    void TearDown() override {
        if (window_) {
            DestroyPlatformWindow(window_);
            MainWindow.store(nullptr);
        }
        FreeStockModel(&CurrentStockModel());
        CurrentStockModel() = StockModel{};
        ClearBasicModel(nullptr, 0);
        StockCommandCallbacks = savedHooks_;
        InitialStock = savedInitial_;
        DefinitionFiles = savedFiles_;
        CommandLine = savedCommandLine_;
        Settings = savedSettings_;
        DexelPitch = savedPitch_;
        AutomaticMode.store(savedAutomatic_);
        UiLanguage.store(0);
        BatchFailureCode.store(0);
        ResetStockCommands();
    }
    // A main window with the main menu bar, whose stock items the commands grey and enable.
    MenuHandle OpenMenuBar() {
        window_ = CreatePlatformWindow(WindowCreateParams{});
        SetWindowMenuBar(window_, LoadMenuResource(IDR_MAIN_MENU));
        MainWindow.store(window_);
        return GetWindowMenuBar(window_);
    }
    static int Grey(MenuHandle bar, unsigned command) {
        return (GetMenuEntryState(bar, command, MENU_BYCOMMAND) & MENU_GRAYED) != 0;
    }
    WindowHandle window_ = {};
    // The command line's box stock (-D), read through the stock command.
    void BuildBox(double x0, double y0, double z0, double x1, double y1, double z1) {
        InitialStock.kind = kStockBox;
        const double box[6] = {x0, y0, z0, x1, y1, z1};
        std::copy(box, box + 6, InitialStock.box);
        CommandLine.stockGiven = 1;
        DefinitionFiles.stockFile.clear();
        ASSERT_EQ(HandleStockCommand(nullptr, IDM_STOCK_READ, 0), 1);
        ASSERT_EQ(AutomationOutcome.stockLoadResult, 1);
    }
    // Saves the current stock as DME under the name (in the stock directory) and reads it back.
    void SaveAndReadBack(const std::string& name, StockModel* back) {
        DefinitionFiles.saveFile = name;
        HandleStockCommand(nullptr, IDM_STOCK_SAVE, 1);
        EXPECT_EQ(AutomationOutcome.saveResult, 1);
        SetStockUndoRingSize(back, 1);
        ASSERT_EQ(ReadDmeStock(back, scratch.At(name)), 1);
    }
    void Extent(double lo[3], double hi[3]) {
        GetStockExtent(CurrentStockModel(), lo, hi);
    }
    std::string Log() {
        CloseLogFile();
        return testing::ReadWholeFile(scratch.At("mirexa.log"));
    }

    testing::ScratchDirectory scratch;
    testing::ScopedLogDirectory log{scratch.Path()};

private:
    StockCommandHooks savedHooks_;
    StockDefinition savedInitial_;
    DefinitionFilePaths savedFiles_;
    CommandLineSwitches savedCommandLine_;
    ProgramSettings savedSettings_;
    DexelPitchSettings savedPitch_;
    int savedAutomatic_ = 0;
};

TEST_F(StockCommandTest, TheCommandLineBoxAndCylinderAreBuiltWithoutADialog) {
    BuildBox(0, 0, -20, 50, 40, 0);
    const StockModel& model = CurrentStockModel();
    EXPECT_TRUE(StockInvariantsHold(model, true));
    EXPECT_EQ(StockCommands.stockPresent, 1);
    EXPECT_EQ(model.undo.size, 3);
    // The view has the list names of every undo slot and draws the stock to its size.
    EXPECT_EQ(StockListNames[CurrentStockIndex.load()].rows, 3);
    EXPECT_DOUBLE_EQ(DisplayUnitFactor, 50.0);
    double lo[3], hi[3];
    Extent(lo, hi);
    EXPECT_DOUBLE_EQ(lo[0], 0.0);
    EXPECT_DOUBLE_EQ(hi[1], 40.0);
    EXPECT_DOUBLE_EQ(lo[2], -20.0);

    InitialStock.kind = kStockCylinder;
    const double cylinder[6] = {0, 0, 0, 30, 20, 0};  // along X, 30 long, 20 across
    std::copy(cylinder, cylinder + 6, InitialStock.cylinder);
    InitialStock.cylinderAxis = 0;
    ASSERT_EQ(HandleStockCommand(nullptr, IDM_STOCK_READ, 0), 1);
    EXPECT_EQ(AutomationOutcome.stockLoadResult, 1);
    EXPECT_TRUE(StockInvariantsHold(CurrentStockModel(), true));
    Extent(lo, hi);
    EXPECT_NEAR(hi[1] - lo[1], 20.0, 1.0);
    EXPECT_NEAR(hi[0] - lo[0], 30.0, 1e-9);
}

// A defined box is turned onto the table only when it is given in work coordinates and the work
// offset turns the table of a table-table or mixed machine.
TEST_F(StockCommandTest, ADefinedBoxTurnsWithTheTableOnlyInWorkCoordinates) {
    const MachineGeometry savedMachine = CurrentMachine;
    const MotionPosition savedOffset = RunSession.run.transforms.workOffsets[1];
    const int savedIndex = RunSession.run.modal.workOffsetIndex;
    struct Case {
        int inputInWork, rotaryType;
        double angle1, angle2;  // deg, of G54
        int turned;
    };
    const Case cases[] = {
        {1, 3, 0, 90, 1}, {0, 3, 0, 90, 0}, {1, 3, 90, 0, 0},  {1, 2, 90, 0, 1},
        {1, 2, 0, 0, 0},  {1, 1, 0, 90, 0}, {0, 2, 30, 30, 0},
    };
    for (const Case& c : cases) {
        Settings.inputInWork = c.inputInWork;
        CurrentMachine.rotaryType = c.rotaryType;
        RunSession.run.modal.workOffsetIndex = 1;
        RunSession.run.transforms.workOffsets[1] = MotionPosition{};
        RunSession.run.transforms.workOffsets[1].axis[3] = c.angle1;
        RunSession.run.transforms.workOffsets[1].axis[4] = c.angle2;
        BuildBox(0, 0, 0, 20, 10, 5);
        const StockModel& model = CurrentStockModel();
        EXPECT_EQ(model.frameFlag != 0 ? 1 : 0, c.turned)
            << "input in work " << c.inputInWork << ", type " << c.rotaryType << ", angles "
            << c.angle1 << " " << c.angle2;
        if (!c.turned) {
            EXPECT_EQ(model.frame.values[0], 1.0);
            EXPECT_EQ(model.frame.values[4], 1.0);
        }
    }
    CurrentMachine = savedMachine;
    RunSession.run.transforms.workOffsets[1] = savedOffset;
    RunSession.run.modal.workOffsetIndex = savedIndex;
}

TEST_F(StockCommandTest, ReversedCornersKeepTheOldStock) {
    BuildBox(0, 0, 0, 20, 20, 10);
    const StockModel before = CurrentStockModel();
    InitialStock.box[1] = 30;  // min Y above max Y
    ASSERT_EQ(HandleStockCommand(nullptr, IDM_STOCK_TWO_POINT, 0), 1);
    EXPECT_EQ(CurrentStockModel().z.ends, before.z.ends);
    EXPECT_EQ(CurrentStockModel().nx, before.nx);
    EXPECT_EQ(StockCommands.stockPresent, 1);
    EXPECT_NE(Log().find("(0) - The maximum and the minimum of Y value are reversed."),
              std::string::npos);
}

TEST_F(StockCommandTest, WhileARunIsActiveNoCommandChangesTheStockItCuts) {
    BuildBox(0, 0, 0, 20, 16, 10);
    const StockModel before = CurrentStockModel();
    InitialStock.box[3] = 40;
    Hooks.clip = StockClipLimits{{2, 3, 1}, {15, 12, 8}};
    WindowRun.mode.store(RunMode::kRealCutting);
    for (unsigned command : {IDM_STOCK_TWO_POINT, IDM_STOCK_XYZ_CUT, IDM_STOCK_READ}) {
        EXPECT_EQ(HandleStockCommand(nullptr, command, 0), 1) << command;
        EXPECT_EQ(CurrentStockModel().z.ends, before.z.ends) << command;
        EXPECT_EQ(CurrentStockModel().undo.currentSlot, before.undo.currentSlot) << command;
    }
    WindowRun.mode.store(RunMode::kIdle);
    ASSERT_EQ(HandleStockCommand(nullptr, IDM_STOCK_TWO_POINT, 0), 1);
    EXPECT_NE(CurrentStockModel().nx, before.nx);  // the same command once the run has ended
}

// A definition or read that fails leaves the cut stock as it stood: drawn, with its undo states,
// savable (the file holds the cut), and the stock kept for C stays. A refused size and its pitch
// are not kept.
TEST_F(StockCommandTest, AFailedDefinitionOrReadKeepsTheCutStock) {
    AutomaticMode.store(0);  // a user's stocks: the one taken away is kept for C
    const ScopedStockHooks hooks;
    const std::string broken = scratch.Write("broken.dme", "not a stock at all\n");
    static const double kHuge[6] = {0, 0, -30.5, 99999999, 80, 0};
    static const double kLarge[6] = {0, 0, 0, 200, 200, 100};
    const struct {
        const char* what;
        std::function<void()> fail;
    } cases[] = {
        {"a box too large for the memory",
         [] {
             Hooks.typedBox = kHuge;
             HandleStockCommand(nullptr, IDM_STOCK_TWO_POINT, 0);
         }},
        {"a box the memory refuses while a stock is kept for C",
         [] {
             StockCallbacks.allowAllocation = [](std::size_t bytes) { return bytes < 65536; };
             Hooks.typedBox = kLarge;
             HandleStockCommand(nullptr, IDM_STOCK_TWO_POINT, 0);
             StockCallbacks.allowAllocation = nullptr;
         }},
        {"a broken stock file",
         [&] {
             CommandLine.stockGiven = 1;
             DefinitionFiles.stockFile = broken;
             HandleStockCommand(nullptr, IDM_STOCK_READ, 0);
         }},
    };
    double lo[3], hi[3];
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Hooks.typedBox = nullptr;
        BuildBox(0, 0, 0, 30, 8, 6);
        BuildBox(0, 0, -6, 10, 8, 0);  // the 30 mm box is kept for C
        StockModel& cut = CurrentStockModel();
        PushStockUndo(&cut);
        ASSERT_EQ(ClipStockToBox(&cut, std::array<double, 3>{0, 0, -6}.data(),
                                 std::array<double, 3>{10, 8, -2}.data()),
                  1);
        const double* ends = cut.z.ends;
        const StockDefinition definition = InitialStock;
        const DexelPitchSettings pitch = DexelPitch;
        BatchFailureCode.store(0);
        c.fail();
        const StockModel& model = CurrentStockModel();
        EXPECT_EQ(StockCommands.stockPresent, 1);
        EXPECT_EQ(model.z.ends, ends);
        EXPECT_EQ(model.undo.highestUsedSlot, 1);
        EXPECT_TRUE(StockInvariantsHold(model, true));
        EXPECT_EQ(std::vector<double>(InitialStock.box, InitialStock.box + 6),
                  std::vector<double>(definition.box, definition.box + 6));
        EXPECT_EQ(DexelPitch.currentPitch, pitch.currentPitch);
        EXPECT_EQ(DexelPitch.requestedPitch, pitch.requestedPitch);
        // The second action: the save writes the cut.
        StockModel back;
        SaveAndReadBack("after.dme", &back);
        GetStockExtent(back, lo, hi);
        EXPECT_DOUBLE_EQ(hi[0] - lo[0], 10.0);
        EXPECT_DOUBLE_EQ(hi[2], -2.0);
        FreeStockModel(&back);
    }
    // The stock kept for C is not given to a build short of memory: C still brings it back.
    BuildBox(0, 0, 0, 30, 8, 6);
    BuildBox(0, 0, 0, 10, 8, 6);
    cases[1].fail();
    Extent(lo, hi);
    EXPECT_DOUBLE_EQ(hi[0] - lo[0], 10.0);
    ASSERT_EQ(RestoreReplacedStock(), 1);
    Extent(lo, hi);
    EXPECT_DOUBLE_EQ(hi[0] - lo[0], 30.0);
}

TEST_F(StockCommandTest, ReadingAStockFileClearsTheBasicModelAndAReadFailureKeepsTheStock) {
    BuildBox(0, 0, 0, 10, 8, 6);
    const std::string dme = scratch.At("block.DME");
    ASSERT_EQ(WriteDmeFile(CurrentStockModel(), dme), 1);
    // A basic model on the grid.
    SetStockUndoRingSize(&BasicModel, 1);
    ASSERT_EQ(CreateBoxStockIdentity(&BasicModel, InitialStock.box, 1.0), 1);
    BasicModelState.present = 1;

    CommandLine.stockGiven = 1;
    DefinitionFiles.stockFile = dme;
    HandleStockCommand(nullptr, IDM_STOCK_READ, 0);
    EXPECT_EQ(AutomationOutcome.stockLoadResult, 1);
    EXPECT_EQ(BasicModel.nx, 0);
    EXPECT_EQ(BasicModelState.present, 0);
    EXPECT_EQ(StockCommands.loadedPath, dme);
    EXPECT_TRUE(StockInvariantsHold(CurrentStockModel(), true));

    // A corrupt file (-20): the stock read before stays.
    const double* ends = CurrentStockModel().z.ends;
    DefinitionFiles.stockFile = scratch.Write("broken.dme", "V1.0        garbage");
    HandleStockCommand(nullptr, IDM_STOCK_READ, 0);
    EXPECT_EQ(AutomationOutcome.stockLoadResult, 0);
    EXPECT_EQ(StockCommands.stockPresent, 1);
    EXPECT_EQ(CurrentStockModel().z.ends, ends);
    EXPECT_EQ(StockCommands.loadedPath, dme);
    EXPECT_EQ(BatchFailureCode.load(), kBatchExitFileError);
    const std::string logged = Log();
    EXPECT_NE(logged.find("(0) - Data Destroyed!"), std::string::npos);
    EXPECT_NE(logged.find("broken.dme - The Work data could not be read."), std::string::npos);
}

// A stock file the user chooses becomes the basic model of the difference painting only once it
// is read: a file that cannot be read leaves the basic model named before, and the next file read
// is named.
TEST_F(StockCommandTest, WorkReadNamesTheBasicModelOnlyAfterTheFileIsRead) {
    AutomaticMode.store(0);
    MainWindowData.presetPathFlag = 0;
    BuildBox(0, 0, 0, 10, 8, 6);
    CommandLine.stockGiven = 0;
    const std::string good = scratch.At("good.dme");
    ASSERT_EQ(WriteDmeFile(CurrentStockModel(), good), 1);
    const std::string broken = scratch.Write("broken.dme", "not a stock at all\n");
    static std::string chosen;
    const FileDialogResponder previous = SetFileDialogResponder([](const FileDialogRequest&) {
        FileDialogResult answer;
        answer.ok = 1;
        answer.path = chosen;
        return answer;
    });
    DefinitionFiles.basicModelFile = "/old/basic.stl";
    const struct {
        std::string path;
        int read;
        std::string basicModel;
    } steps[] = {{broken, 0, "/old/basic.stl"}, {good, 1, good}, {broken, 0, good}};
    for (const auto& step : steps) {
        chosen = step.path;
        HandleStockCommand(nullptr, IDM_STOCK_READ, 0);
        EXPECT_EQ(AutomationOutcome.stockLoadResult, step.read) << step.path;
        EXPECT_EQ(DefinitionFiles.basicModelFile, step.basicModel) << step.path;
    }
    SetFileDialogResponder(previous);
}

TEST_F(StockCommandTest, AMissingStockFileKeepsTheOldStock) {
    BuildBox(0, 0, 0, 10, 8, 6);
    const double* ends = CurrentStockModel().z.ends;
    CommandLine.stockGiven = 1;
    DefinitionFiles.stockFile = "no-such-stock.dme";
    HandleStockCommand(nullptr, IDM_STOCK_READ, 0);
    EXPECT_EQ(AutomationOutcome.stockLoadResult, 0);
    EXPECT_EQ(CurrentStockModel().z.ends, ends);
    EXPECT_EQ(StockCommands.stockPresent, 1);
    EXPECT_NE(Log().find("no-such-stock.dme - The Work data does not exist."), std::string::npos);
    EXPECT_EQ(BatchFailureCode.load(), kBatchExitFileError);
    // Nothing named, no dialog in automatic mode: nothing happens.
    CommandLine.stockGiven = 0;
    HandleStockCommand(nullptr, IDM_STOCK_READ, 0);
    EXPECT_EQ(CurrentStockModel().z.ends, ends);
}

// The automation's steps with the real stock commands behind them: a stand-in that runs each call
// at once and hands the command to the stock commands.
const AutomationStandIn kStockCommandsDirectly = {
    .runOnMainThread =
        [](const std::function<void()>& call) {
            call();
            return 1;
        },
    .sendCommand = [](unsigned command,
                      MessageLParam lparam) { HandleStockCommand(nullptr, command, lparam); },
    .sendSystemCommand = [](unsigned) {},
    .runActive = [] { return 0; },
    .requestRunAbort = [] {},
    .postDone = [] {},
    .pollPause = [] {},
    .runProgram = [](const std::string&, const std::string&) { return 0; },
};

TEST_F(StockCommandTest, TheStepsRequestsNameTheFilesTheStockCommandsTakeWithoutADialog) {
    BuildBox(0, 0, 0, 12, 10, 5);
    ResetAutomationRun();
    SetAutomationStandIn(&kStockCommandsDirectly);
    const std::string kept = scratch.At("kept.dme");
    const std::string other = scratch.At("other.dme");
    EXPECT_EQ(SaveStockStep(1, &kept), 1);
    EXPECT_EQ(DefinitionFiles.saveFile, kept);
    EXPECT_EQ(SaveStockStep(1, nullptr), 1);  // the save file named before
    BuildBox(0, 0, 0, 30, 20, 5);
    EXPECT_EQ(SaveStockStep(1, &other), 1);
    // No stock flag of the command line and no dialog: the request alone names the stock.
    CommandLine.stockGiven = 0;
    const struct {
        const std::string* path;
        double width;                                        // mm along X of the stock read
    } cases[] = {{&other, 30}, {&kept, 12}, {nullptr, 12}};  // none: the stock file named before
    for (const auto& c : cases) {
        EXPECT_EQ(LoadStockStep(c.path, 1), 1);
        EXPECT_EQ(DefinitionFiles.stockFile, c.path != nullptr ? *c.path : kept);
        EXPECT_EQ(InitialStock.kind, kStockFromFile);
        EXPECT_EQ(CommandLine.stockGiven, 0);
        EXPECT_EQ(CurrentAutomationRequest(), nullptr);
        double lo[3], hi[3];
        Extent(lo, hi);
        EXPECT_NEAR(hi[0] - lo[0], c.width, 1.0);
    }
    // Without a request the menu's command asks its dialog, which no user answers here.
    EXPECT_EQ(HandleStockCommand(nullptr, IDM_STOCK_READ, 0), 1);
    EXPECT_EQ(AutomationOutcome.stockLoadResult, 0);
    SetAutomationStandIn(nullptr);
}

TEST_F(StockCommandTest, SavingWritesTheWholeFileOrSaysWhyNot) {
    BuildBox(0, 0, 0, 12, 10, 5);
    // A bare name goes to the stock directory.
    StockModel back;
    SaveAndReadBack("cut.dme", &back);
    EXPECT_EQ(back.nx, CurrentStockModel().nx);
    EXPECT_EQ(ReadDexelRay(back.z, 5), ReadDexelRay(CurrentStockModel().z, 5));
    FreeStockModel(&back);
    EXPECT_EQ(BatchFailureCode.load(), 0);

    struct Case {
        std::string path;
        int kind;
        const char* message;
    };
    const Case refused[] = {
        {"cut.dmf", 1, "must end in .DME or .STL"},
        {"cut.dme", 7, "stock-saver plug-in is not supported"},
        {"cut.dme", 5, "must end in .DME or .STL"},
        {scratch.At("no/such/dir/cut.dme"), 1, "could not be written"},
    };
    for (const Case& c : refused) {
        BatchFailureCode.store(0);
        DefinitionFiles.saveFile = c.path;
        HandleStockCommand(nullptr, IDM_STOCK_SAVE, c.kind);
        EXPECT_EQ(AutomationOutcome.saveResult, 0) << c.path;
        EXPECT_EQ(BatchFailureCode.load(), kBatchExitFileError) << c.path;
        EXPECT_NE(Log().find(c.message), std::string::npos) << c.message;
    }
    // An ASCII STL of the surface.
    DefinitionFiles.saveFile = "cut.stl";
    HandleStockCommand(nullptr, IDM_STOCK_SAVE, 2);
    EXPECT_EQ(AutomationOutcome.saveResult, 1);
    const std::string stl = testing::ReadWholeFile(scratch.At("cut.stl"));
    EXPECT_EQ(stl.rfind("solid", 0), 0u);
    EXPECT_NE(stl.find("endsolid"), std::string::npos);
    // Only the saved files stand: no partial file is left behind.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.Path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"cut.dme", "cut.stl", "mirexa.log"}));

    // A stock cut away whole writes no file without a face, and says so.
    PushStockUndo(&CurrentStockModel());
    ASSERT_EQ(ClipStockToBox(&CurrentStockModel(), std::array<double, 3>{5, 5, 5}.data(),
                             std::array<double, 3>{0, 0, 0}.data()),
              1);
    for (const char* name : {"empty.stl", "empty.dme"}) {
        BatchFailureCode.store(0);
        DefinitionFiles.saveFile = name;
        HandleStockCommand(nullptr, IDM_STOCK_SAVE, HasFileExtension(name, ".STL") ? 2 : 1);
        EXPECT_EQ(AutomationOutcome.saveResult, 0) << name;
        EXPECT_EQ(BatchFailureCode.load(), kBatchExitFileError) << name;
        EXPECT_FALSE(std::filesystem::exists(scratch.At(name))) << name;
    }
    EXPECT_NE(Log().find("empty.stl - The work holds no material; nothing was written."),
              std::string::npos);

    // Without a stock a save writes nothing and says so.
    HandleStockCommand(nullptr, IDM_STOCK_STATE, 0);  // state 0: available, nothing changes
    Hooks.state = kStockDelete;
    HandleStockCommand(nullptr, IDM_STOCK_STATE, 0);
    BatchFailureCode.store(0);
    DefinitionFiles.saveFile = "again.dme";
    HandleStockCommand(nullptr, IDM_STOCK_SAVE, 1);
    EXPECT_EQ(AutomationOutcome.saveResult, 0);
    EXPECT_NE(Log().find("There is no work to save"), std::string::npos);
}

TEST_F(StockCommandTest, DeletingTheStockGreysTheStockMenus) {
    MenuHandle bar = OpenMenuBar();
    BuildBox(0, 0, 0, 10, 8, 6);
    EXPECT_EQ(Grey(bar, IDM_STOCK_SAVE), 0);
    Hooks.state = kStockDelete;
    HandleStockCommand(nullptr, IDM_STOCK_STATE, 0);
    EXPECT_EQ(StockCommands.stockPresent, 0);
    EXPECT_EQ(CurrentStockModel().useState, kStockAvailable);
    EXPECT_EQ(CurrentStockModel().nx, 0);
    for (unsigned command : {IDM_STOCK_SAVE, IDM_STOCK_STATE, IDM_PAINT_ALL, IDM_BASIC_MODEL}) {
        EXPECT_EQ(Grey(bar, command), 1) << command;
    }
    EXPECT_EQ(Grey(bar, IDM_STOCK_READ), 0);
    Hooks.state = kStockIgnored;
    HandleStockCommand(nullptr, IDM_STOCK_STATE, 0);
    EXPECT_EQ(CurrentStockModel().useState, kStockIgnored);
    // The state is the stock slot's: a new stock read into it is not cut either.
    BuildBox(0, 0, 0, 10, 8, 6);
    EXPECT_EQ(CurrentStockModel().useState, kStockIgnored);
    CurrentStockModel().useState = kStockAvailable;
}

// A user's stock that a command takes away comes back with C (the view's undo), with the cut it
// had as it stood; C again brings back the stock it left.
TEST_F(StockCommandTest, EveryStockTakenAwayComesBackWithItsCut) {
    AutomaticMode.store(0);
    const std::string dme = scratch.At("wide.dme");
    BuildBox(0, 0, 0, 30, 8, 6);
    ASSERT_EQ(WriteDmeFile(CurrentStockModel(), dme), 1);
    const struct {
        const char* what;
        std::function<void()> replace;
        double widthAfter;  // mm along X; 0: no stock
    } cases[] = {
        {"a box defined",
         [] {
             const double box[6] = {0, 0, 0, 20, 8, 6};
             std::copy(box, box + 6, InitialStock.box);
             HandleStockCommand(nullptr, IDM_STOCK_TWO_POINT, 0);
         },
         20},
        {"a stock file read",
         [&] {
             CommandLine.stockGiven = 1;
             DefinitionFiles.stockFile = dme;
             HandleStockCommand(nullptr, IDM_STOCK_READ, 0);
         },
         30},
        {"the stock deleted",
         [] {
             Hooks.state = kStockDelete;
             HandleStockCommand(nullptr, IDM_STOCK_STATE, 0);
         },
         0},
    };
    double lo[3], hi[3];
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BuildBox(0, 0, 0, 10, 8, 6);
        // A cut of the stock: the undo point a run pushes, then the material it removes.
        StockModel& cut = CurrentStockModel();
        PushStockUndo(&cut);
        ASSERT_EQ(ClipStockToBox(&cut, std::array<double, 3>{0, 0, 0}.data(),
                                 std::array<double, 3>{10, 8, 4}.data()),
                  1);
        c.replace();
        EXPECT_EQ(CurrentStockModel().nx != 0 ? 1 : 0, c.widthAfter != 0 ? 1 : 0);
        ASSERT_EQ(RestoreReplacedStock(), 1);
        EXPECT_EQ(StockCommands.stockPresent, 1);
        EXPECT_TRUE(StockInvariantsHold(CurrentStockModel(), true));
        Extent(lo, hi);
        EXPECT_DOUBLE_EQ(hi[0] - lo[0], 10.0);
        EXPECT_DOUBLE_EQ(hi[2], 4.0);  // the cut as it stood
        EXPECT_EQ(CurrentStockModel().undo.highestUsedSlot, 0);
        if (c.widthAfter != 0) {
            ASSERT_EQ(RestoreReplacedStock(), 1);
            Extent(lo, hi);
            EXPECT_DOUBLE_EQ(hi[0] - lo[0], c.widthAfter);
            EXPECT_EQ(RestoreReplacedStock(), 1);
        } else {
            EXPECT_EQ(RestoreReplacedStock(), 0);  // nothing was left to keep
        }
    }
    // A stock worked on since has earlier states of its own: C steps through them instead.
    BuildBox(0, 0, 0, 12, 8, 6);
    PushStockUndo(&CurrentStockModel());
    EXPECT_EQ(RestoreReplacedStock(), 0);
    // Unattended work keeps nothing to bring back.
    AutomaticMode.store(1);
    BuildBox(0, 0, 0, 10, 8, 6);
    BuildBox(0, 0, 0, 12, 8, 6);
    EXPECT_EQ(RestoreReplacedStock(), 0);
}

TEST_F(StockCommandTest, AnXyzCutPushesAnUndoStateFirst) {
    BuildBox(0, 0, 0, 20, 16, 10);
    StockModel& model = CurrentStockModel();
    const int slot = model.undo.currentSlot;
    Hooks.clip = StockClipLimits{{2, 3, 1}, {15, 12, 8}};
    HandleStockCommand(nullptr, IDM_STOCK_XYZ_CUT, 0);
    EXPECT_NE(model.undo.currentSlot, slot);
    // The new slot draws with the lists of the slot it was copied from until a block changes.
    const StockListNameTable& names = StockListNames[CurrentStockIndex.load()];
    ASSERT_GT(names.rows, model.undo.currentSlot);
    EXPECT_NE(names.names[slot * kStockBlockListRow], 0u);
    EXPECT_EQ(names.names[model.undo.currentSlot * kStockBlockListRow],
              names.names[slot * kStockBlockListRow]);
    EXPECT_TRUE(StockInvariantsHold(model, true));
    double lo[3], hi[3];
    Extent(lo, hi);
    EXPECT_DOUBLE_EQ(lo[2], 1.0);
    EXPECT_DOUBLE_EQ(hi[2], 8.0);
    EXPECT_DOUBLE_EQ(model.maxCorner[2], 8.0);
    // The undo brings the whole box back.
    PopStockUndo(&model);
    Extent(lo, hi);
    EXPECT_DOUBLE_EQ(lo[2], 0.0);
    EXPECT_DOUBLE_EQ(hi[2], 10.0);
}

// An XYZ cut short of memory changes nothing: the stock stays whole, drawn and savable, with no
// undo state of its own, and the log says "Memory over!"; the cut asked again once there is
// memory is made.
TEST_F(StockCommandTest, AnXyzCutShortOfMemoryLeavesTheStockWhole) {
    BuildBox(0, 0, 0, 20, 16, 10);
    StockModel& model = CurrentStockModel();
    const StockUndoRing ring = model.undo;
    Hooks.clip = StockClipLimits{{2, 3, 1}, {15, 12, 8}};
    StockCallbacks.availableMemoryBytes = [] { return std::uint64_t{1}; };
    HandleStockCommand(nullptr, IDM_STOCK_XYZ_CUT, 0);
    StockCallbacks.availableMemoryBytes = nullptr;
    EXPECT_EQ(model.undo.currentSlot, ring.currentSlot);
    EXPECT_EQ(model.undo.highestUsedSlot, ring.highestUsedSlot);
    EXPECT_TRUE(StockInvariantsHold(model, true));
    EXPECT_NE(Log().find("Memory over!"), std::string::npos);
    StockModel back;
    SaveAndReadBack("whole.dme", &back);
    double lo[3], hi[3];
    GetStockExtent(back, lo, hi);
    EXPECT_EQ(std::vector<double>({lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]}),
              std::vector<double>({0, 0, 0, 20, 16, 10}));
    FreeStockModel(&back);
    HandleStockCommand(nullptr, IDM_STOCK_XYZ_CUT, 0);
    Extent(lo, hi);
    EXPECT_EQ(std::vector<double>({lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]}),
              std::vector<double>({2, 3, 1, 15, 12, 8}));
}

TEST_F(StockCommandTest, MoveAndRotateTakeTheCommandLineValues) {
    BuildBox(0, 0, 0, 50, 40, 10);
    StockModel& model = CurrentStockModel();
    CommandLine.moveShift[0] = 5;
    CommandLine.moveShift[2] = -10;
    HandleStockCommand(nullptr, IDM_STOCK_MOVE, 1);
    EXPECT_DOUBLE_EQ(model.frame.values[9], 5.0);
    EXPECT_DOUBLE_EQ(model.frame.values[11], -10.0);
    EXPECT_DOUBLE_EQ(model.minCorner[2], -10.0);

    CommandLine.rotateAxis = 2;
    CommandLine.rotateAngle = 90;
    HandleStockCommand(nullptr, IDM_STOCK_ROTATE, 1);
    EXPECT_EQ(model.frame.values[0], 0.0);
    EXPECT_EQ(model.frame.values[1], 1.0);
    EXPECT_EQ(model.frame.values[3], -1.0);
    // The box 0..50 x 0..40 turned about the frame's origin (5, 0): x from 5 - 40 to 5.
    EXPECT_NEAR(model.minCorner[0], -35.0, 1e-9);
    EXPECT_NEAR(model.maxCorner[0], 5.0, 1e-9);
    EXPECT_NEAR(model.maxCorner[1], 50.0, 1e-9);
    EXPECT_TRUE(StockInvariantsHold(model, true));
}

// Move, Rotate and the XYZ cut change the stock's ranges: the panel's panes are redrawn at once.
TEST_F(StockCommandTest, MoveRotateAndXyzCutRedrawTheRangePanes) {
    BuildBox(0, 0, 0, 20, 16, 10);
    AutomaticMode.store(0);
    static int redraws = 0;
    StockCommandCallbacks.redrawWorkPane = [] { ++redraws; };
    Hooks.clip = StockClipLimits{{2, 3, 1}, {15, 12, 8}};
    CommandLine.moveShift[0] = 5;
    const struct {
        unsigned command;
        MessageLParam lparam;
    } cases[] = {{IDM_STOCK_MOVE, 1}, {IDM_STOCK_ROTATE, 1}, {IDM_STOCK_XYZ_CUT, 0}};
    for (const auto& c : cases) {
        redraws = 0;
        HandleStockCommand(nullptr, c.command, c.lparam);
        EXPECT_EQ(redraws, 1) << c.command;
    }
}

// Sets every end of the three families to the pen with the paint bit.
void PenEverything(StockModel* model, int pen) {
    for (DexelFamily* family : {&model->z, &model->x, &model->y}) {
        for (std::int64_t cell = 0; cell < family->cellCount; ++cell) {
            std::vector<std::uint8_t> flags(family->counts[cell],
                                            static_cast<std::uint8_t>(pen << 4 | 1));
            SetDexelCellFlags(cell, family->capacity, family->counts, family->flags, flags.data());
        }
    }
}

std::uint8_t FlagOfFirstEnd(const StockModel& model) {
    return ReadDexelRay(model.z, 0).flags.at(0);
}

TEST_F(StockCommandTest, PeelingPen16ClearsEveryPenAndOnePenOnlyThatOne) {
    BuildBox(0, 0, 0, 6, 6, 6);
    StockModel& model = CurrentStockModel();
    PenEverything(&model, 5);
    HandleStockCommand(nullptr, IDM_PEEL_PEN_COLOR, 4);
    EXPECT_EQ(FlagOfFirstEnd(model), 5 << 4 | 1);
    HandleStockCommand(nullptr, IDM_PEEL_PEN_COLOR, 5);
    EXPECT_EQ(FlagOfFirstEnd(model), 1);
    PenEverything(&model, 9);
    HandleStockCommand(nullptr, IDM_PEEL_PEN_COLOR, kPeelAllPens);
    for (DexelFamily* family : {&model.z, &model.x, &model.y}) {
        for (std::int64_t cell = 0; cell < family->cellCount; ++cell) {
            for (std::uint8_t flag : ReadDexelRay(*family, cell).flags) {
                ASSERT_EQ(flag, 1);
            }
        }
    }
    HandleStockCommand(nullptr, IDM_PEEL_PAINT, 0);
    EXPECT_EQ(FlagOfFirstEnd(model), 0);
    HandleStockCommand(nullptr, IDM_PAINT_ALL, 0);
    EXPECT_EQ(FlagOfFirstEnd(model), 1);
}

TEST_F(StockCommandTest, DifferencePaintingWithoutABasicModelPathDoesNothing) {
    BuildBox(0, 0, 0, 6, 6, 6);
    StockModel& model = CurrentStockModel();
    const int slot = model.undo.currentSlot;
    DefinitionFiles.basicModelFile.clear();
    HandleStockCommand(nullptr, IDM_PAINT_DIFFERENCE, 1);
    EXPECT_EQ(model.undo.currentSlot, slot);
    EXPECT_EQ(FlagOfFirstEnd(model), 0);
    EXPECT_EQ(BatchFailureCode.load(), 0);

    // A path that cannot be read: an undo state, then the failure of the batch.
    DefinitionFiles.basicModelFile = scratch.At("missing.stl");
    HandleStockCommand(nullptr, IDM_PAINT_DIFFERENCE, 1);
    EXPECT_EQ(BatchFailureCode.load(), kBatchExitFileError);
    EXPECT_NE(Log().find("missing.stl - The basic model could not be read."), std::string::npos);
}

// The reason a stock file was refused for is told with its failure, and with nothing else: a basic
// model that cannot be read afterwards is reported without it.
TEST_F(StockCommandTest, AStockFilesReasonIsToldWithItsOwnFailureOnly) {
    CommandLine.stockGiven = 1;
    DefinitionFiles.stockFile = scratch.Write("broken.dme", "V1.0        garbage");
    HandleStockCommand(nullptr, IDM_STOCK_READ, 0);
    const auto told = [this] {
        const std::string log = Log();
        int count = 0;
        for (std::size_t at = log.find("Data Destroyed! - "); at != std::string::npos;
             at = log.find("Data Destroyed! - ", at + 1)) {
            ++count;
        }
        return count;
    };
    ASSERT_EQ(told(), 1) << "the stock file's reason: " << Log();
    BuildBox(0, 0, 0, 6, 6, 6);
    DefinitionFiles.basicModelFile = scratch.At("missing.stl");
    HandleStockCommand(nullptr, IDM_PAINT_DIFFERENCE, 1);
    EXPECT_NE(Log().find("missing.stl - The basic model could not be read."), std::string::npos);
    EXPECT_EQ(told(), 1) << Log();
}

TEST_F(StockCommandTest, SelectingABasicModelDropsTheLoadedOne) {
    MenuHandle bar = OpenMenuBar();
    BuildBox(0, 0, 0, 6, 6, 6);
    SetStockUndoRingSize(&BasicModel, 1);
    ASSERT_EQ(CreateBoxStockIdentity(&BasicModel, InitialStock.box, 1.0), 1);
    BasicModelState.present = 1;
    const std::string longName(80, 'b');
    SelectBasicModelPath(nullptr, "/models/" + longName + ".stl");
    EXPECT_EQ(BasicModel.nx, 0);
    EXPECT_EQ(BasicModelState.present, 0);
    EXPECT_EQ(DefinitionFiles.basicModelFile, "/models/" + longName + ".stl");
    EXPECT_EQ(DefinitionFiles.basicModelTitle, longName.substr(0, 64));
    EXPECT_EQ(Grey(bar, IDM_PAINT_DIFFERENCE), 0);
    SelectBasicModelPath(nullptr, "");
    EXPECT_EQ(Grey(bar, IDM_PAINT_DIFFERENCE), 1);
}

// Kinds 7 to 9 save through the stock savers of slots 0 to 2, which receive the stock as a DME
// file; a stock loader's suffix reads the file through its plug-in.
TEST_F(StockCommandTest, StockSaverAndLoaderPlugins) {
    for (const char* family : {"save", "load"}) {
        std::filesystem::copy_file(std::string(MIREXA_SAMPLE_PLUGINS) + "/sample_" + family + ".so",
                                   scratch.At(std::string("mx") + family + ".so"));
    }
    LoadPluginsFrom({scratch.Path()}, nullptr);
    StockCommandHooks& h = StockCommandCallbacks;
    h.saveStockWithPlugin = SaveStockWithPlugin;
    h.loadStockWithPlugin = LoadStockWithPlugin;
    h.stockLoaderSlot = [](const std::string& path) {
        return FindPluginSuffixSlot(kPluginLoad, path);
    };
    BuildBox(0, 0, 0, 12, 10, 5);
    DefinitionFiles.saveFile = "plain.dme";
    HandleStockCommand(nullptr, IDM_STOCK_SAVE, 1);
    DefinitionFiles.saveFile = "saved.smp";
    HandleStockCommand(nullptr, IDM_STOCK_SAVE, kStockSavePluginFirst);
    EXPECT_EQ(AutomationOutcome.saveResult, 1);
    // The sample saver writes the DME it was given as it stands.
    EXPECT_EQ(testing::ReadWholeFile(scratch.At("saved.smp")),
              testing::ReadWholeFile(scratch.At("plain.dme")));
    DefinitionFiles.saveFile = "none.smp";
    HandleStockCommand(nullptr, IDM_STOCK_SAVE, kStockSavePluginFirst + 1);
    EXPECT_EQ(AutomationOutcome.saveResult, 0);
    EXPECT_FALSE(std::filesystem::exists(scratch.At("none.smp")));

    // The sample loader takes an STL under its own suffix.
    scratch.Write("part.sm2", testing::AsciiStl(testing::BoxMesh({0, 0, 0}, {20, 8, 4})));
    DefinitionFiles.stockFile = scratch.At("part.sm2");
    CommandLine.stockGiven = 1;
    HandleStockCommand(nullptr, IDM_STOCK_READ, 0);
    EXPECT_EQ(AutomationOutcome.stockLoadResult, 1);
    double lo[3];
    double hi[3];
    Extent(lo, hi);
    EXPECT_NEAR(hi[0] - lo[0], 20.0, 1.0);
    EXPECT_NEAR(hi[1] - lo[1], 8.0, 1.0);
    UnloadPlugins();
}

}  // namespace
}  // namespace mirexa
