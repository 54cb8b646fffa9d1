// The setting commands sent to the main window as menu commands: each toggle and choice with its
// setting and check mark, the settings file round trip, the commands refused during a run, the
// dialog commands, sound, the stock display style and the view's mouse tools.
#include "shell/option_commands.h"
#include "nc/plugin_slots.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/settings_file.h"
#include "config/settings_writer.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_session.h"
#include "platform/menus.h"
#include "platform/message_box.h"
#include "resources/main_menu.h"
#include "shell/main_window.h"
#include "shell/run_commands.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "shell/stock_commands.h"
#include "shell_test_support.h"
#include "simulation/run_control.h"
#include "simulation/run_ui_hooks.h"
#include "stock/stock_shapes.h"
#include "support/saved_globals.h"
#include "support/scratch_directory.h"
#include "view/camera.h"
#include "view/view_window.h"

namespace mirexa {
namespace {

class OptionCommandTest : public ::testing::Test, public ShellWindowTest {
protected:
    void SetUp() override {
        saved_.Keep(Controller, MainClass, RunUiCallbacks, DexelPitch, DefinitionFiles);
        ResetShellState();
        RunUiCallbacks = RunUiHooks{};
        MainClass.menu = IDR_MAIN_MENU;
        CurrentView.perspective = DisplayModes.perspective;
        OpenMainWindow();
        menu = GetWindowMenuBar(main);
    }
    void TearDown() override {
        CloseMainWindow();
        SetMessageBoxResponder({});
        saved_.Restore();
        StockCommands = StockCommandState{};
        ResetShellState();
    }
    void Send(unsigned command) {
        SendWindowMessage(main, WM_COMMAND, command, 0);
    }
    int Checked(unsigned command) {
        return (GetMenuEntryState(menu, command, MENU_BYCOMMAND) & MENU_CHECKED) != 0 ? 1 : 0;
    }
    MenuHandle menu = {};
    testing::ScratchDirectory scratch;

private:
    testing::SavedGlobals saved_;
};

// A toggle: its command, its setting, and the item whose check mark shows it (0: none in the
// menu).
struct ToggleCase {
    unsigned command;
    std::int32_t* (*setting)();
    unsigned checkItem;
};
const ToggleCase kToggles[] = {
    {IDM_ROTARY_REAL_CUT_MODE, [] { return &Settings.realRotation; }, IDM_ROTARY_REAL_CUT_MODE},
    {IDM_RAPID_REAL_CUT_MODE, [] { return &Settings.realRapid; }, IDM_RAPID_REAL_CUT_MODE},
    {IDM_SHOW_PATH_POINTS, [] { return &DisplayModes.constructionPoint; }, IDM_SHOW_PATH_POINTS},
    {IDM_SHOW_AXES, [] { return &DisplayModes.basicAxis; }, IDM_SHOW_AXES},
    {IDM_PERSPECTIVE, [] { return &DisplayModes.perspective; }, IDM_PERSPECTIVE},
    {IDM_SHOW_COMMAND_PANEL, [] { return &Settings.showCommandPanel; }, IDM_SHOW_COMMAND_PANEL},
    {IDM_SHOW_TOOL_DIALOG, [] { return &Settings.showToolPanel; }, IDM_SHOW_TOOL_DIALOG},
    {IDM_SOUND, [] { return &Settings.sound; }, 0},
    {IDM_OPTIMIZE_DRAWING, [] { return &DisplayModes.optimizeDrawing; }, 0},
};

// A choice: its command, the setting and the value it gives.
struct ChoiceCase {
    unsigned command;
    std::int32_t* (*setting)();
    int value;
};
const ChoiceCase kChoices[] = {
    {IDM_STOP_AT_POSITION, [] { return &Controller.stopOption; }, 4},
    {IDM_STOP_SINGLE_BLOCK, [] { return &Controller.stopOption; }, 3},
    {IDM_STOP_M01, [] { return &Controller.stopOption; }, 2},
    {IDM_STOP_M00, [] { return &Controller.stopOption; }, 1},
    {IDM_STOP_NONE, [] { return &Controller.stopOption; }, 0},
    {IDM_TCP_FORCED_TYPE2, [] { return &Controller.toolCenterControl; }, 2},
    {IDM_TCP_FORCED_TYPE1, [] { return &Controller.resetToolCenterControl; }, 1},
    {IDM_TCP_NORMAL, [] { return &Controller.toolCenterControl; }, 0},
    {IDM_CHECK_RAPID_OFF, [] { return &Checks.ignoreG00; }, 1},
    {IDM_CHECK_RAPID_ON, [] { return &Checks.ignoreG00; }, 0},
    {IDM_ARBOR_CHECK_OTHER, [] { return &Checks.arborCheck; }, 3},
    {IDM_ARBOR_CHECK_2, [] { return &Checks.arborCheck; }, 2},
    {IDM_ARBOR_CHECK_1, [] { return &Checks.arborCheck; }, 1},
    {IDM_ARBOR_CHECK_0, [] { return &Checks.arborCheck; }, 0},
    {IDM_HEIGHT_CHECK_OTHER, [] { return &Checks.heightCheck; }, 2},
    {IDM_HEIGHT_CHECK_1, [] { return &Checks.heightCheck; }, 1},
    {IDM_CHIP_CHECK_OTHER, [] { return &Checks.chipWidthCheck; }, 2},
    {IDM_CHIP_CHECK_0, [] { return &Checks.chipWidthCheck; }, 0},
    {IDM_COLOR_MODE_TOOL_PEN, [] { return &DisplayModes.colorMode; }, 1},
    {IDM_COLOR_MODE_NORMAL, [] { return &DisplayModes.colorMode; }, 0},
};

TEST_F(OptionCommandTest, EachToggleFlipsItsSettingAndItsCheckMarkAndBack) {
    for (const ToggleCase& c : kToggles) {
        const std::int32_t before = *c.setting();
        Send(c.command);
        EXPECT_EQ(*c.setting(), before ? 0 : 1) << c.command;
        if (c.checkItem != 0) {
            EXPECT_EQ(Checked(c.checkItem), *c.setting()) << c.command;
        }
        Send(c.command);
        EXPECT_EQ(*c.setting(), before) << c.command;
    }
    // The perspective is the view's, and the setting follows it; the status bar's mark shows
    // the new state at once.
    for (int pass = 0; pass < 2; ++pass) {
        Send(IDM_PERSPECTIVE);
        EXPECT_EQ(CurrentView.perspective, DisplayModes.perspective);
        EXPECT_EQ(StatusInputs.perspective, CurrentView.perspective);
    }
}

TEST_F(OptionCommandTest, EachChoiceSetsItsValueAndChecksItsItemAlone) {
    for (const ChoiceCase& c : kChoices) {
        Send(c.command);
        EXPECT_EQ(*c.setting(), c.value) << c.command;
        EXPECT_EQ(Checked(c.command), 1) << c.command;
    }
    // The running interpreter's copies: a paused run takes them at its next stop test.
    Send(IDM_STOP_SINGLE_BLOCK);
    EXPECT_EQ(RunSession.controller.stopOption, 3);
    EXPECT_EQ(Checked(IDM_STOP_NONE), 0);
    // "Stop" stands for the break-off and the pause choice: a pause in force stays.
    Checks.arborCheck = 4;
    Send(IDM_ARBOR_CHECK_OTHER);
    EXPECT_EQ(Checks.arborCheck, 4);
    EXPECT_EQ(Checks.pauseOnEvents, 1);
    EXPECT_EQ(Checked(IDM_ARBOR_CHECK_OTHER), 1);
    // The colour mode does not change while the stock is drawn as wire frame or dexels.
    DisplayModes.stockStyle = 2;
    Send(IDM_COLOR_MODE_TOOL_PEN);
    EXPECT_EQ(DisplayModes.colorMode, 0);
}

TEST_F(OptionCommandTest, TogglesAndChecksSurviveTheSettingsFile) {
    const std::string ini = scratch.At("mirexa.ini");
    std::filesystem::copy(std::string(MIREXA_SAMPLES) + "/mirexa.ini", ini);
    DefinitionFiles.settingsName = ini;
    ASSERT_EQ(ReadSettingsFrom(scratch.Path(), scratch.At("mirexa"), nullptr), 1);
    for (const ToggleCase& c : kToggles) {
        Send(c.command);
    }
    for (unsigned command :
         {IDM_CHECK_RAPID_OFF, IDM_ARBOR_CHECK_2, IDM_HEIGHT_CHECK_OTHER, IDM_CHIP_CHECK_1}) {
        Send(command);
    }
    Send(IDM_STOCK_DISPLAY_STYLE);  // wire frame: MESH MODE
    std::vector<std::int32_t> saved;
    const std::vector<std::int32_t* (*)()> settings = {
        [] { return &Checks.ignoreG00; }, [] { return &Checks.arborCheck; },
        [] { return &Checks.heightCheck; }, [] { return &Checks.chipWidthCheck; },
        [] { return &DisplayModes.stockStyle; }};
    for (const ToggleCase& c : kToggles) {
        saved.push_back(*c.setting());
    }
    for (auto setting : settings) {
        saved.push_back(*setting());
    }
    ASSERT_EQ(SaveSettingsToIni(MainWindowPlacement{}, nullptr), 1);

    ResetConfigurationRecords();
    DefinitionFiles.settingsName = ini;
    ASSERT_EQ(ReadSettingsFrom(scratch.Path(), scratch.At("mirexa"), nullptr), 1);
    std::size_t i = 0;
    for (const ToggleCase& c : kToggles) {
        EXPECT_EQ(*c.setting(), saved[i++]) << c.command;
    }
    for (auto setting : settings) {
        EXPECT_EQ(*setting(), saved[i]) << i;
        ++i;
    }
    // Saved again with nothing changed, the file keeps every byte.
    const std::string text = testing::ReadWholeFile(ini);
    ASSERT_EQ(SaveSettingsToIni(MainWindowPlacement{}, nullptr), 1);
    EXPECT_EQ(testing::ReadWholeFile(ini), text);
}

int controlPointDialogs = 0;

TEST_F(OptionCommandTest, RunSettingsWaitWhileARunIsActive) {
    controlPointDialogs = 0;
    OptionCommandCallbacks.controlPointDialog = [] { return ++controlPointDialogs, 1; };
    WindowRun.mode.store(RunMode::kRealCutting);
    const std::int32_t points = DisplayModes.constructionPoint;
    Send(IDM_SHOW_PATH_POINTS);
    Send(IDM_CONTROL_POINT);
    EXPECT_EQ(DisplayModes.constructionPoint, points);
    EXPECT_EQ(controlPointDialogs, 0);
    // A stop mode chosen during the run waits for the run's next stop test; so does the
    // tool-centre-point type, for the next run.
    RunSession.controller.stopOption = 0;
    RunSession.controller.resetToolCenterControl = 0;
    Send(IDM_STOP_SINGLE_BLOCK);
    Send(IDM_TCP_FORCED_TYPE1);
    EXPECT_EQ(RunSession.controller.stopOption, 0);
    EXPECT_EQ(WindowRun.controls.stopModeRequest.load(), 3);
    EXPECT_EQ(Checked(IDM_STOP_SINGLE_BLOCK), 1);
    EXPECT_EQ(RunSession.controller.resetToolCenterControl, 0);
    EXPECT_EQ(Controller.resetToolCenterControl, 1);
    EXPECT_EQ(Checked(IDM_TCP_FORCED_TYPE1), 1);
    // What the run reads as it goes stays as it is until the run ends.
    const std::int32_t arbor = Checks.arborCheck;
    const std::int32_t sound = Settings.sound;
    Send(arbor == 2 ? IDM_ARBOR_CHECK_1 : IDM_ARBOR_CHECK_2);
    Send(IDM_SOUND);
    OptionCommandCallbacks.pitchDialog = [] { return ++controlPointDialogs, 0; };
    Send(IDM_PITCH);  // the pitch of the stock being cut
    EXPECT_EQ(controlPointDialogs, 0);
    EXPECT_EQ(Checks.arborCheck, arbor);
    EXPECT_EQ(Settings.sound, sound);
    WindowRun.mode.store(RunMode::kIdle);
    Send(IDM_CONTROL_POINT);
    EXPECT_EQ(controlPointDialogs, 1);
}

double requestedPitch = 0.0;
std::vector<std::string> boxes;

TEST_F(OptionCommandTest, ThePitchIsTakenAtOnceWithoutAStockAndLaterWithOne) {
    boxes.clear();
    SetMessageBoxResponder([](const MessageBoxRequest& request) {
        boxes.push_back(request.text);
        return MBX_IDOK;
    });
    OptionCommandCallbacks.pitchDialog = [] {
        if (requestedPitch <= 0.0) {
            return 0;  // cancelled
        }
        DexelPitch.requestedPitch = requestedPitch;
        return 1;
    };
    DexelPitch.currentPitch = 1.0;
    requestedPitch = 0.0;
    Send(IDM_PITCH);
    EXPECT_DOUBLE_EQ(DexelPitch.currentPitch, 1.0);
    requestedPitch = 0.5;
    Send(IDM_PITCH);
    EXPECT_DOUBLE_EQ(DexelPitch.currentPitch, 0.5);
    EXPECT_TRUE(boxes.empty());
    StockCommands.stockPresent = 1;
    requestedPitch = 0.25;
    Send(IDM_PITCH);
    EXPECT_DOUBLE_EQ(DexelPitch.currentPitch, 0.5);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], kPitchLaterTextJapanese);
}

TEST_F(OptionCommandTest, SoundOnLoadsTheSoundsAndOffStopsThem) {
    StartupCallbacks.loadSoundEffects = [] { RecordEvent("load"); };
    RunUiCallbacks.stopSound = [] { RecordEvent("stop"); };
    Settings.sound = 1;
    Send(IDM_SOUND);
    Send(IDM_SOUND);
    EXPECT_EQ(RecordedEvents(), (std::vector<std::string>{"stop", "load"}));
}

TEST_F(OptionCommandTest, TheStockStyleCyclesBackAndTheViewTakesItsMouseTools) {
    const std::int32_t start = DisplayModes.stockStyle;
    for (int i = 1; i <= 6; ++i) {
        Send(IDM_STOCK_DISPLAY_STYLE);
        EXPECT_EQ(DisplayModes.stockStyle, (start + i) % 6);
        // The colour-mode items are grey unless the stock is drawn as surfaces.
        EXPECT_EQ(
            (GetMenuEntryState(menu, IDM_COLOR_MODE_NORMAL, MENU_BYCOMMAND) & MENU_GRAYED) != 0,
            DisplayModes.stockStyle != 0);
    }
    const struct {
        unsigned command;
        int mode;
    } tools[] = {{250, 1}, {254, 5}, {256, 7}, {248, 8}, {249, 9}, {261, 14}, {257, 11}};
    for (const auto& t : tools) {
        Send(t.command);
        EXPECT_EQ(ViewMouseMode, t.mode) << t.command;
    }
    // The tool key: the view switches the tool display.
    const std::int32_t toolMode = DisplayModes.toolMode;
    Send(IDM_SHOW_TOOL);
    DeliverPending();
    EXPECT_NE(DisplayModes.toolMode, toolMode);
}

TEST_F(OptionCommandTest, DialogsChangeNothingUnlessAnsweredOk) {
    static int answer = 0;
    OptionCommandCallbacks.offsetDialog = [](int mode) {
        return RecordEvent(std::to_string(mode)), answer;
    };
    Send(IDM_LENGTH_OFFSETS);
    EXPECT_EQ(OptionCommands.offsetDialogMode, 1);
    Send(IDM_RADIUS_OFFSETS);
    EXPECT_EQ(OptionCommands.offsetDialogMode, 0);
    // Without a dialog (not there) the command is taken and nothing happens.
    for (unsigned command :
         {IDM_OPTIONAL_BLOCK_SKIP, IDM_INTERFERENCE_SETTINGS, IDM_MOVIE_SETTINGS,
          IDM_COLOR_SETTINGS, IDM_DISPLAY_MODE, IDM_INITIAL_CONDITION, IDM_RESIZE_SETTINGS,
          IDM_TOOL_PARAMETERS, IDM_EXPAND_RATE, IDM_DISCOLORATION_REGION, IDM_MOD_PLUGIN_2}) {
        EXPECT_EQ(HandleOptionCommand(main, command), 1) << command;
    }
    EXPECT_EQ(HandleOptionCommand(main, 32903), 0);
    // A dialog's OK ticks the choices it changed in the menus at once.
    const std::int32_t heightCheck = Checks.heightCheck;
    Send(IDM_HEIGHT_CHECK_0);
    OptionCommandCallbacks.interferenceDialog = [] {
        Checks.heightCheck = 1;
        return 1;
    };
    Send(IDM_INTERFERENCE_SETTINGS);
    EXPECT_EQ(Checked(IDM_HEIGHT_CHECK_1), 1);
    EXPECT_EQ(Checked(IDM_HEIGHT_CHECK_0), 0);
    Checks.heightCheck = heightCheck;
    // The NC communication switch: off, the tools file's tools; on again, the plug-in's (none is
    // loaded here).
    Send(IDM_DISABLE_NCCOM);
    EXPECT_EQ(PluginSlots.nccomSwitchedOff.load(), 1);
    EXPECT_EQ(RecordedEvents(), (std::vector<std::string>{"1", "0"}));
    Send(IDM_DISABLE_NCCOM);
    EXPECT_EQ(PluginSlots.nccomSwitchedOff.load(), 0);
}

}  // namespace
}  // namespace mirexa
