// The setting commands of the machining, display and options menus, the commands without a menu
// item and the view's mouse tools.
#include "shell/option_commands.h"

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/current_tool_brief.h"
#include "config/settings_define.h"
#include "config/structure_models.h"
#include "config/tool_profile.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/plugin_queries.h"
#include "nc/plugin_slots.h"
#include "platform/cursor.h"
#include "platform/message_box.h"
#include "resources/program_resources.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/hook_calls.h"
#include "shell/main_window.h"
#include "shell/menu_state.h"
#include "shell/run_commands.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "shell/stock_commands.h"
#include "shell/view_services.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "simulation/run_ui_hooks.h"
#include "stock/stock_shapes.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/gdi_resources.h"
#include "view/snapshots.h"
#include "view/stock_display.h"
#include "view/tool_path.h"
#include "view/view_window.h"

namespace mirexa {

OptionCommandHooks OptionCommandCallbacks;
OptionCommandState OptionCommands;

namespace {

const OptionCommandHooks& H() {
    return OptionCommandCallbacks;
}

// A modal dialog of the commands: 1 only for OK from a dialog that is there.
int RunDialog(int (*dialog)()) {
    return dialog != nullptr && dialog() == 1 ? 1 : 0;
}

WindowHandle View() {
    return MainWindowData.handles.view;
}

void RedrawViewArea() {
    MarkViewForRedraw();
    if (View()) {
        RedrawView(View());
    }
}

void Toggle(std::int32_t* flag) {
    *flag = *flag ? 0 : 1;
}

// Runs work under the wait cursor, then gives the view's mouse tool its cursor back.
template <typename Work>
void WithWaitCursor(Work work) {
    SetCursorHandle(LoadCursorHandle(CURSOR_WAIT));
    work();
    SetIdleCursor(ViewMouseMode);
}

// After the colour and display-mode dialogs: the view drawn anew with the new colours, and the
// set-up sound.
void AfterAppearanceDialog() {
    MarkAllSceneListsDirty();
    RedrawViewArea();
    SetIdleCursor(ViewMouseMode);
    if (Settings.sound) {
        CallHook(StockCommandCallbacks.playSound, kSoundSetUp);
    }
}

// Stop mode 0 .. 4 for the controller; a run (paused or not) takes it into its own copy at its
// next stop test, an idle interpreter at once.
void ChooseStopMode(int mode) {
    Controller.stopOption = mode;
    if (IsRunActive()) {
        WindowRun.controls.stopModeRequest.store(mode);
    } else {
        RunSession.controller.stopOption = mode;
    }
    CallHook(MainWindowCallbacks.drawStopModeLabels);
    UpdateMenuChecks();
}

// The tool-centre-point type 0 .. 2 and its saved copy, which every run starts from; the
// interpreter and the kinematics take it at once unless a run is using them.
void ChooseToolCenterPointType(int type) {
    Controller.toolCenterControl = type;
    Controller.resetToolCenterControl = type;
    if (IsRunActive()) {
        UpdateMenuChecks();
        return;
    }
    RunSession.controller.resetToolCenterControl = type;
    RunKinematics.modes.toolCenterControl = type;
    RunSession.run.modal.toolCenterPointMode = type;
    UpdateMachinePosition(RunKinematics);
    DrawStatusBar();
    UpdateMenuChecks();
    RedrawMainWindow(MainWindow.load());
}

// The interference-check choices of the machining menu. A choice that is already in force stays
// as it is (the "other" item stands for the break-off and the pause choice alike).
void ChooseCheck(std::int32_t* check, int choice, int others) {
    if (choice < others || *check < others) {
        *check = choice;
    }
    UpdateStopOnCheckFlag();
    UpdateMenuChecks();
}

// The command panel and the tool display panel follow their setting (not the menu's check mark,
// which is not there without a menu bar).
// A panel made at its first showing, its size kept for the placement beside the main window.
WindowHandle MakeSidePanel(WindowHandle (*create)(WindowHandle), WindowHandle window, int* width,
                           int* height) {
    WindowHandle panel = create != nullptr ? create(window) : nullptr;
    if (panel != nullptr) {
        WindowRect r = {};
        GetPlatformWindowRect(panel, &r);
        *width = r.right - r.left;
        *height = r.bottom - r.top;
    }
    return panel;
}

// Shows a panel beside the main window or hides it; the panel is made at its first command (an
// unattended start makes none) and a hidden one is kept and shown again.
void ShowSidePanel(WindowHandle window, WindowHandle* panel, int shown,
                   WindowHandle (*create)(WindowHandle), int* width, int* height) {
    if (*panel == nullptr) {
        *panel = MakeSidePanel(create, window, width, height);
    }
    if (*panel == nullptr) {
        return;
    }
    if (shown) {
        PlaceSidePanels(window);
    } else {
        ShowPlatformWindow(*panel, SW_HIDE);
    }
}

void ToggleCommandPanel(WindowHandle window) {
    MainWindowState& s = MainWindowData;
    Toggle(&Settings.showCommandPanel);
    ShowSidePanel(window, &s.handles.commandPanel, Settings.showCommandPanel,
                  MainWindowCallbacks.createCommandPanel, &s.commandPanelWidth,
                  &s.commandPanelHeight);
    UpdateMenuChecks();
    SetFocusWindow(window);
}

void ToggleToolPanel(WindowHandle window) {
    MainWindowState& s = MainWindowData;
    Toggle(&Settings.showToolPanel);
    ShowSidePanel(window, &s.handles.toolPanel, Settings.showToolPanel,
                  MainWindowCallbacks.createToolPanel, &s.toolPanelWidth, &s.toolPanelHeight);
    CallHook(RunCallbacks.repaintToolPanel);
    UpdateMenuChecks();
}

void TogglePathPoints() {
    if (IsRunActive()) {
        return;
    }
    Toggle(&DisplayModes.constructionPoint);
    if (DisplayModes.pathDisplay || DisplayModes.pathDisplay2) {
        SceneDirty.path = 1;
        SceneDirty.pathNoRotary = 1;
        ToolPathDisplay.listBuilt[0] = ToolPathDisplay.listBuilt[1] = 0;
    }
    UpdateMenuChecks();
    RedrawViewArea();
}

void TogglePerspective() {
    CurrentView.perspective = CurrentView.perspective ? 0 : 1;
    DisplayModes.perspective = CurrentView.perspective;
    CurrentView.viewChanged = 1;
    UpdateMenuChecks();
    RequestStatusBarRefresh(
        [](StatusBarInputs& inputs) { inputs.perspective = CurrentView.perspective; });
    ClearViewWindow();
    RedrawViewArea();
}

void ControlPointCommand(WindowHandle window) {
    if (IsRunActive() || !RunDialog(H().controlPointDialog)) {
        return;
    }
    WithWaitCursor([window] {
        UpdateMachinePosition(RunKinematics);
        RedrawMainWindow(window);
    });
}

void OffsetCommand(WindowHandle window, int mode) {
    OptionCommands.offsetDialogMode = mode;
    if (H().offsetDialog && H().offsetDialog(mode) == 1) {
        RedrawMainWindow(window);
    }
}

// The requested pitch becomes the current one at once without a stock; with a stock it waits for
// the next stock, and the user is told when it differs.
void PitchCommand(WindowHandle window) {
    if (!RunDialog(H().pitchDialog)) {
        return;
    }
    DexelPitchSettings& p = DexelPitch;
    if (!StockCommands.stockPresent) {
        if (DexelPitchUsable(p.requestedPitch)) {
            p.currentPitch = p.requestedPitch;
            SelectCurrentTool(RunSession, RunKinematics, RunTools, ToolFile.currentTool,
                              p.currentPitch);
        }
    } else if (p.requestedPitch != p.currentPitch) {
        ShowMessageOrLog(0, ChooseLanguageText(kPitchLaterText, kPitchLaterTextJapanese),
                         EDITION_NAME, MBX_OK | MBX_ICONINFORMATION | MBX_TOPMOST);
    }
    RedrawMainWindow(window);
}

void ToggleSound() {
    Toggle(&Settings.sound);
    if (Settings.sound) {
        CallHook(StartupCallbacks.loadSoundEffects);
    } else {
        CallHook(RunUiCallbacks.stopSound);
    }
    UpdateMenuChecks();
}

void ToggleOptimizedDrawing() {
    Toggle(&DisplayModes.optimizeDrawing);
    if (StockCommands.stockPresent) {
        WithWaitCursor(RedrawViewArea);
    }
    UpdateMenuChecks();
}

// The NC communication plug-in switched off: the tools come from the tools file again; switched
// on: the plug-in gives the tools of the selected program.
void ToggleNcCommunication() {
    const int off = PluginSlots.nccomSwitchedOff.load() != 0 ? 0 : 1;
    PluginSlots.nccomSwitchedOff.store(off);
    UpdateMenuChecks();
    if (off) {
        RunSession.run.pluginToolSupplied = 0;
        CurrentToolState.fromPlugin = 0;
        ReadToolFile(RunSession, RunKinematics, RunTools);
        MainWindowData.presetPathFlag = 0;
        UpdateMainTitle(MainWindow.load());
    } else {
        LoadToolFromPluginAtStart(RunSession, DefinitionFiles.ncProgramFile);
    }
    CallHook(RunCallbacks.repaintToolPanel);
}

void ColorModeCommand(int toolPen) {
    if (DisplayModes.stockStyle != 0) {
        return;  // the items are grey: the colours of a wire frame or dexels do not change
    }
    DisplayModes.colorMode = toolPen;
    MarkStockDisplayDirty(&CurrentStockModel());
    UpdateMenuChecks();
    RedrawViewArea();
}

// Commands with one dialog and nothing else to do, and the dialog of each.
struct PlainDialog {
    unsigned command;
    int (*OptionCommandHooks::*dialog)();
};
constexpr PlainDialog PlainDialogs[] = {
    {IDM_OPTIONAL_BLOCK_SKIP, &OptionCommandHooks::optionalBlockSkipDialog},
    {IDM_INTERFERENCE_SETTINGS, &OptionCommandHooks::interferenceDialog},
    {IDM_MOVIE_SETTINGS, &OptionCommandHooks::movieDialog},
    {IDM_INITIAL_CONDITION, &OptionCommandHooks::initialConditionDialog},
    {IDM_RESIZE_SETTINGS, &OptionCommandHooks::resizeDialog},
    {IDM_TOOL_PARAMETERS, &OptionCommandHooks::toolParametersDialog},
    {IDM_EXPAND_RATE, &OptionCommandHooks::expandRateDialog},
};

int PlainDialogCommand(unsigned command) {
    for (const PlainDialog& entry : PlainDialogs) {
        if (entry.command == command) {
            if (RunDialog(H().*entry.dialog)) {
                UpdateMenuChecks();  // the choices the dialog changed are ticked in the menus too
            }
            return 1;
        }
    }
    if (command == IDM_DISCOLORATION_REGION) {
        if (RunDialog(H().discolorationDialog)) {
            RedrawViewArea();
        }
        return 1;
    }
    return 0;
}

// Machining menu: modes, stop modes, checks, tool centre point and the setting dialogs.
int MachiningCommand(WindowHandle window, unsigned command) {
    if (command >= IDM_STOP_NONE && command <= IDM_STOP_AT_POSITION) {
        ChooseStopMode(static_cast<int>(command - IDM_STOP_NONE));
        return 1;
    }
    if (command >= IDM_TCP_NORMAL && command <= IDM_TCP_FORCED_TYPE2) {
        ChooseToolCenterPointType(static_cast<int>(command - IDM_TCP_NORMAL));
        return 1;
    }
    switch (command) {
        case IDM_ROTARY_REAL_CUT_MODE:
            Toggle(&Settings.realRotation);
            break;
        case IDM_RAPID_REAL_CUT_MODE:
            Toggle(&Settings.realRapid);
            break;
        case IDM_CHECK_RAPID_ON:
        case IDM_CHECK_RAPID_OFF:
            Checks.ignoreG00 = command == IDM_CHECK_RAPID_OFF ? 1 : 0;
            break;
        case IDM_ARBOR_CHECK_0:
        case IDM_ARBOR_CHECK_1:
        case IDM_ARBOR_CHECK_2:
        case IDM_ARBOR_CHECK_OTHER:
            ChooseCheck(&Checks.arborCheck,
                        command == IDM_ARBOR_CHECK_0   ? 0
                        : command == IDM_ARBOR_CHECK_1 ? 1
                        : command == IDM_ARBOR_CHECK_2 ? 2
                                                       : 3,
                        3);
            return 1;
        case IDM_HEIGHT_CHECK_0:
        case IDM_HEIGHT_CHECK_1:
        case IDM_HEIGHT_CHECK_OTHER:
            ChooseCheck(&Checks.heightCheck,
                        command == IDM_HEIGHT_CHECK_0   ? 0
                        : command == IDM_HEIGHT_CHECK_1 ? 1
                                                        : 2,
                        2);
            return 1;
        case IDM_CHIP_CHECK_0:
        case IDM_CHIP_CHECK_1:
        case IDM_CHIP_CHECK_OTHER:
            ChooseCheck(&Checks.chipWidthCheck,
                        command == IDM_CHIP_CHECK_0   ? 0
                        : command == IDM_CHIP_CHECK_1 ? 1
                                                      : 2,
                        2);
            return 1;
        case IDM_STRUCTURE_INTERFERENCE_SETTINGS:
            if (RunDialog(H().structureInterferenceDialog)) {
                WithWaitCursor(EnsureMachineModelsLoaded);
            }
            return 1;
        case IDM_CONTROL_POINT:
            ControlPointCommand(window);
            return 1;
        case IDM_RADIUS_OFFSETS:
        case IDM_LENGTH_OFFSETS:
            OffsetCommand(window, command == IDM_LENGTH_OFFSETS ? 1 : 0);
            return 1;
        case IDM_WORK_COORDINATES:
            if (RunDialog(H().workCoordinatesDialog)) {
                UpdateMachinePosition(RunKinematics);
                RedrawMainWindow(window);
            }
            return 1;
        default:
            return 0;
    }
    // The toggles above: the check mark, and the status bar's marks.
    UpdateMenuChecks();
    DrawStatusBar();
    return 1;
}

int DisplayCommand(WindowHandle window, unsigned command) {
    switch (command) {
        case IDM_SHOW_COMMAND_PANEL:
            ToggleCommandPanel(window);
            return 1;
        case IDM_SHOW_TOOL_DIALOG:
            ToggleToolPanel(window);
            return 1;
        case IDM_SHOW_PATH_POINTS:
            TogglePathPoints();
            return 1;
        case IDM_SHOW_AXES:
            DisplayModes.basicAxis = DisplayModes.basicAxis == 1 ? 0 : 1;
            SceneDirty.axes = 1;
            UpdateMenuChecks();
            RedrawViewArea();
            return 1;
        case IDM_COLOR_SETTINGS:
            if (RunDialog(H().colorDialog)) {
                AfterAppearanceDialog();
            }
            return 1;
        case IDM_DISPLAY_MODE:
            SetCursorHandle(LoadCursorHandle(CURSOR_WAIT));
            if (RunDialog(H().displayModeDialog)) {
                AfterAppearanceDialog();
            }
            SetIdleCursor(ViewMouseMode);
            return 1;
        case IDM_PERSPECTIVE:
            TogglePerspective();
            return 1;
        case IDM_COLOR_MODE_NORMAL:
        case IDM_COLOR_MODE_TOOL_PEN:
            ColorModeCommand(command == IDM_COLOR_MODE_TOOL_PEN ? 1 : 0);
            return 1;
        default:
            return 0;
    }
}

int OtherCommand(WindowHandle window, unsigned command) {
    switch (command) {
        case IDM_PITCH:
            PitchCommand(window);
            return 1;
        case IDM_SOUND:
            ToggleSound();
            return 1;
        case IDM_STOCK_DISPLAY_STYLE:
            SelectNextStockStyle(View());
            UpdateMenuChecks();
            return 1;
        case IDM_OPTIMIZE_DRAWING:
            ToggleOptimizedDrawing();
            return 1;
        case IDM_SHOW_TOOL:
            PostWindowMessage(window, WM_KEYDOWN, 'T', 0);
            return 1;
        case IDM_DISABLE_NCCOM:
            ToggleNcCommunication();
            return 1;
        case IDM_MOD_PLUGIN_1:
        case IDM_MOD_PLUGIN_2:
        case IDM_MOD_PLUGIN_3:
            return 1;  // the stock-modifier plug-ins' items do nothing of their own
        default:
            break;
    }
    // The view's mouse tools: the view sets the tool, its cursor and its resets.
    if (command >= IDM_VIEW_TOOL_FIRST && command <= IDM_VIEW_TOOL_LAST) {
        if (View()) {
            SendWindowMessage(View(), WM_COMMAND, command, 0);
        }
        return 1;
    }
    return 0;
}

}  // namespace

int HandleOptionCommand(WindowHandle window, unsigned command) {
    if (RefusedDuringRun(command)) {
        return 1;
    }
    return MachiningCommand(window, command) || DisplayCommand(window, command) ||
           PlainDialogCommand(command) || OtherCommand(window, command);
}

}  // namespace mirexa
