// The program's start-up wiring: every hooks record filled with the real function, and the list
// of hooks that wait for a feature not built yet.
#include "app/program_wiring.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "config/config_hooks.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/definition_hooks.h"
#include "config/machine_file.h"
#include "config/settings_file.h"
#include "config/settings_writer.h"
#include "config/structure_models.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "dialogs/check_dialogs.h"
#include "dialogs/color_dialogs.h"
#include "dialogs/command_panel.h"
#include "dialogs/offset_dialogs.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/stock_dialogs.h"
#include "dialogs/tool_panel.h"
#include "geometry/orientation_frames.h"
#include "geometry/rotary_solutions.h"
#include "nc/data_check.h"
#include "nc/kinematics_services.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/plugin_queries.h"
#include "nc/plugin_slots.h"
#include "platform/backend.h"
#include "platform/cursor.h"
#include "platform/default_viewer.h"
#include "platform/file_replacement.h"
#include "platform/keys.h"
#include "platform/menus.h"
#include "platform/message_box.h"
#include "platform/system_info.h"
#include "platform/window.h"
#include "resources/cursor_images.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "shell/automation_steps.h"
#include "shell/automation_thread.h"
#include "shell/definition_watch.h"
#include "shell/editor_bridge.h"
#include "shell/info_panel.h"
#include "shell/main_window.h"
#include "shell/menu_state.h"
#include "shell/nc_data_commands.h"
#include "shell/option_commands.h"
#include "shell/plugin_host.h"
#include "shell/run_commands.h"
#include "shell/sound_effects.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "shell/stock_commands.h"
#include "shell/view_popup.h"
#include "shell/view_services.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_run.h"
#include "simulation/mounted_tools.h"
#include "simulation/rotary_warning_file.h"
#include "simulation/run_control.h"
#include "simulation/run_end.h"
#include "simulation/run_timer.h"
#include "simulation/run_ui_hooks.h"
#include "simulation/simulation_hooks.h"
#include "simulation/tool_length_report.h"
#include "stock/stock_grid.h"
#include "stock/stock_hooks.h"
#include "stock/stock_model.h"
#include "stockio/stl_import.h"
#include "view/avi_recording.h"
#include "view/camera.h"
#include "view/gdi_resources.h"
#include "view/snapshots.h"
#include "view/stock_view.h"
#include "view/tool_path.h"
#include "view/view_hooks.h"
#include "view/view_window.h"

namespace mirexa {
namespace {

// The run: the interpreter's services and the long rotary move warning file; the simulation thread
// with run control, its interference checks, decisions and reports; the run's end joined to the
// shell; the view's answers to changed definitions and its video recording.
void ConnectRunAndView() {
    InstallNcServiceHooks();
    // A long rotary move goes to the warning file of the run whose thread solved it, or, solved
    // outside a run, to the window's run's, which its next run closes and shows.
    RotaryMoveCallbacks.longRotaryMove = [](double from1, double from2, double to1, double to2) {
        ReportLongRotaryMove(WindowRun, from1, from2, to1, to2);
    };
    ConnectRunEndToShell();
    InstallInterferenceCheckHooks();
    InstallViewDefinitionCallbacks();
    InstallViewWindowCallbacks();
    InstallToolPathDrawing();
    InstallAviRecordingHooks();
}

// Hooks through which the configuration, the interpreter and the stock reach the view and the
// shell.
void ConnectDefinitionAndProgress() {
    ConfigCallbacks.updateViewTrig = TakeViewAnglesFromSettings;
    DefinitionCallbacks.setSnapshotToolNumber = [](int toolNumber) {
        WindowRun.reports.motionSnapshot.toolNumber = toolNumber;
    };
    StlImportCallbacks.workOffset = [](double out[3]) { ReadCurrentWorkOffset(RunSession, out); };
    ConnectProgressToMainTitle();
    ProgressHooks& p = UiHooks;
    p.progressName = [] { return Settings.progressName.c_str(); };
    p.batchMode = [] {
        return CommandLine.batchRun != 0 || CommandLine.batch != 0 ||
                       (WindowRun.request.batchRun != 0 &&
                        WindowRun.state.load() != RunState::kIdle)
                   ? 1
                   : 0;
    };
    p.stopBeforeBlockRequested = [] {
        return WindowRun.controls.stopKeyRequest.load() != 0 ? 1 : 0;
    };
    p.viewCursor = [] { return GetViewRoleCursor(kViewCursorIdle); };
    p.currentToolTypeName = [](char* out, std::size_t capacity) {
        GetToolTypeName(RunTools.tool.tool, out, capacity);
    };
    StockHooks& k = StockCallbacks;
    k.drawStatusBar = [] { DrawStatusBar(); };
    k.showMessageBox = [](WindowHandle owner, const char* text, const char* caption,
                          unsigned style) { return ShowMessageBox(owner, text, caption, style); };
    k.availableMemoryBytes = GetAvailableMemoryBytes;
    k.allowAllocation = [](std::size_t bytes) { return FitsAvailableStockMemory(bytes); };
    k.stopKeyDown = [] { return IsKeyDown(static_cast<unsigned>(Settings.stopKey)); };
    NcUpHooks.redrawStatus = RefreshInterpreterStatus;
}

WindowHandle ViewWindowHandle() {
    return MainWindowData.handles.view;
}

// A controller read that applies the active work offset also moves the origin with which the
// dialogs convert between work and machine coordinates.
void (*applyInterpreterWorkOffset)(NcSession& session) = nullptr;

void ApplyWorkOffsetAndControlOrigin(NcSession& session) {
    if (applyInterpreterWorkOffset != nullptr) {
        applyInterpreterWorkOffset(session);
    }
    TakeControlOriginFromController();
}

void ConnectControlOrigin() {
    if (DefinitionCallbacks.applyCurrentWorkOffset != ApplyWorkOffsetAndControlOrigin) {
        applyInterpreterWorkOffset = DefinitionCallbacks.applyCurrentWorkOffset;
        DefinitionCallbacks.applyCurrentWorkOffset = ApplyWorkOffsetAndControlOrigin;
    }
}

// Hooks through which the run reaches the shell and the view.
void ConnectRunToShell() {
    RunUiHooks& ui = RunUiCallbacks;
    ui.setCollisionKindText = [](const char* text) {
        const std::string kind = text != nullptr ? text : "";
        RequestStatusBarRefresh([kind](StatusBarInputs& in) { in.interferenceKindText = kind; });
    };
    ui.restoreArrowCursor = [] { SetCursorHandle(LoadCursorHandle(CURSOR_ARROW)); };
    ui.clearViewSpin = [] { ViewWindow.spinRunning = 0; };
    ui.pauseKeyHeld = [] { return IsKeyDown(static_cast<unsigned>(RunCommands.pauseKey)); };
}

// Hooks through which the view reaches the shell.
void ConnectViewToShell() {
    ViewHooks& v = ViewCallbacks;
    v.invalidateView = [] {
        if (ViewWindowHandle() != nullptr) {
            PostWindowMessage(ViewWindowHandle(), WM_PAINT, 0, 0);
        }
    };
    v.repaintViewNow = [] { RedrawView(ViewWindowHandle()); };
    v.ncProgramSelected = [] { return NcDataCommands.selectedState != 0 ? 1 : 0; };
    // The view's keys change the state the title and the bar show (run mode, perspective).
    v.drawStatusBar = [] { ShowProgramStatus(MainWindow.load()); };
    v.updateMenuChecks = UpdateMenuChecks;
    v.updateTitle = [] { ShowProgramStatus(MainWindow.load()); };
    v.openWithShell = [](const char* path) {
        if (AutomaticMode.load() == 0 && TellWhenNoViewer(path)) {
            OpenInDefaultViewer(path);
        }
    };
    v.loadBasicModel = [] {
        if (LoadBasicModelForStock(CurrentStockModel(), &BasicModel) != 1) {
            BasicModel.nx = 0;
            return 0;
        }
        BasicModelState.present = 1;
        return 1;
    };
    v.swapToolPose = SwapToolPose;
    v.restoreReplacedStock = RestoreReplacedStock;
    v.startSecondInstance = [] { StartSecondInstance(); };
    v.openHelpPage = [] { OpenHelpPage(); };
}

// The sound effects: loaded at start-up while sound is on, played by the view, the run and the
// stock commands (the headless backend records them instead of playing them); and the watch of
// the definition files, which plays them too.
void ConnectSoundsAndWatch() {
    StartupCallbacks.loadSoundEffects = [] {
        LoadSoundEffects(Settings.sound, DefinitionFiles.programDirectory);
    };
    StartupCallbacks.freeSoundEffects = FreeSoundEffects;
    RunUiHooks& ui = RunUiCallbacks;
    ui.playSystemSound = [](const char*) { PlayAlarmTone(1); };
    ui.stopSound = StopSoundEffect;
    ui.playAlarmSound = [] { PlaySoundEffect(SoundEffect::Pokin); };
    ViewCallbacks.playSound = [](int sound) { PlaySoundEffect(ViewSoundEffect(sound)); };
    ViewCallbacks.stopSound = StopSoundEffect;
    MainWindowCallbacks.checkDefinitionFilesChanged = [] {
        CheckDefinitionFilesChanged(MainWindow.load());
    };
    StockCommandCallbacks.playSound = [](int sound) {
        PlaySoundEffect(StockCommandSoundEffect(sound));
    };
}

// The external editor: the view's editor keys, the picked line and the run's line steps.
void ConnectEditorBridge() {
    NcUpHooks.editorLinked = EditorLinked;
    NcUpHooks.editorCanJump = EditorCanJump;
    NcUpHooks.advanceEditorLine = [] { MoveEditorCursor(0); };
    NcUpHooks.showEditorLine = JumpEditorToLine;
    RunUiCallbacks.moveEditorCursor = [] { MoveEditorCursor(1); };
    ViewCallbacks.openDefinitionEditor = [](int which) {
        OpenDefinitionFileInEditor(MainWindow.load(), which);
    };
    ViewCallbacks.jumpEditorToLine = JumpEditorToLine;
    MainWindowCallbacks.closeEditor = CloseEditor;
}

// The view's popup menu and path picking, the menu item the stock greys, and the save dialog's
// state that the pause blink reads.
void ConnectViewPopupAndPicking() {
    MainWindowCallbacks.createViewPopupMenu = CreateViewPopupMenu;
    ViewCallbacks.viewPopupMenu = GetViewPopupMenu;
    ViewCallbacks.pathPickingOn = PathPickingOn;
    ViewCallbacks.readPathLine = ReadPickedPathLine;
    StockCallbacks.grayMenuCommand = [](int commandId) {
        EnableMainMenuCommand(static_cast<unsigned>(commandId), 0);
    };
    MainWindowCallbacks.stockSaveDialogOpen = [] { return StockCommands.saveDialogOpen; };
}

// The stock commands' dialogs.
void ConnectStockDialogs() {
    StockCommandHooks& s = StockCommandCallbacks;
    s.twoPointDialog = OpenTwoPointStockDialog;
    s.cylinderDialog = OpenCylinderStockDialog;
    s.originBoxDialog = OpenOriginStockDialog;
    s.moveDialog = OpenStockMoveDialog;
    s.rotateDialog = OpenStockRotateDialog;
    s.offsetDialog = OpenStockOffsetDialog;
    s.clipDialog = OpenStockClipDialog;
    s.stateDialog = OpenStockStateDialog;
    s.swingDialog = OpenSwingDialog;
    s.reverseDialog = OpenReverseDialog;
    s.stlReadDialog = OpenStlReadDialog;
    s.peelPenDialog = OpenPeelPenDialog;
    s.differenceDialog = OpenDifferencePaintDialog;
}

// The settings and colour dialogs of the menus, and the two panels beside the main window: made
// with it, shown and hidden by their commands, hidden by the view while it captures frames or
// zooms by rectangle, moved with the window as the resize dialog chose, the tool panel repainted
// after tool changes.
void ConnectDialogsAndPanels() {
    MainWindowHooks& m = MainWindowCallbacks;
    m.createCommandPanel = CreateCommandPanel;
    m.createToolPanel = CreateToolPanel;
    m.movePanelsOnResize = [] { return ResizeOptions.moveOnResize; };
    m.movePanelsOnMove = [] { return ResizeOptions.moveOnMove; };
    RunCallbacks.repaintToolPanel = [] { RepaintToolPanel(kToolPanelPaintAll); };
    NcUpHooks.repaintToolPanel = [] { RepaintToolPanel(kToolPanelPaintAll); };
    // The menu commands' dialogs, run with the main window as owner.
    OptionCommandHooks& o = OptionCommandCallbacks;
    o.optionalBlockSkipDialog = [] { return OpenOptionalBlockSkipDialog(MainWindow.load()); };
    o.movieDialog = [] { return OpenMovieSettingsDialog(MainWindow.load()); };
    o.colorDialog = [] { return OpenColorSettingsDialog(MainWindow.load()); };
    o.displayModeDialog = [] { return OpenDisplayModeDialog(MainWindow.load()); };
    o.pitchDialog = [] {
        const int taken = OpenPitchDialog(MainWindow.load());
        if (taken == 1) {
            RepaintToolPanel(kToolPanelPaintAll);  // its title shows the move pitch
        }
        return taken;
    };
    o.initialConditionDialog = [] {
        // The panels' shown flags are also what the next start shows: a change shows or hides
        // the panels now, so that the check marks and the panels agree.
        const int command = Settings.showCommandPanel;
        const int tool = Settings.showToolPanel;
        const int taken = OpenInitialConditionDialog(MainWindow.load());
        const unsigned toggles[2] = {
            Settings.showCommandPanel != command ? IDM_SHOW_COMMAND_PANEL : 0u,
            Settings.showToolPanel != tool ? IDM_SHOW_TOOL_DIALOG : 0u};
        Settings.showCommandPanel = command;
        Settings.showToolPanel = tool;
        for (const unsigned toggle : toggles) {
            if (toggle != 0) {
                SendWindowMessage(MainWindow.load(), WM_COMMAND, toggle, 0);
            }
        }
        return taken;
    };
    o.resizeDialog = [] { return OpenResizeSettingsDialog(MainWindow.load()); };
    o.toolParametersDialog = [] { return OpenToolParameterDialog(MainWindow.load()); };
    o.expandRateDialog = [] { return OpenExpandRateDialog(MainWindow.load()); };
    o.discolorationDialog = [] { return OpenDiscolorationDialog(MainWindow.load()); };
    NcDataCommandCallbacks.versionDialog = [] { return OpenVersionDialog(MainWindow.load()); };
    // Another tools file read shows its current tool and names it in the panel's title.
    DefinitionCallbacks.resetToolPanel = [] {
        ToolPanel.pictureMode = 0;
        RepaintToolPanel(kToolPanelPaintAll);
    };
    ViewHooks& v = ViewCallbacks;
    v.panelEnabled = [](int panel) {
        return panel == kViewPanelCommand ? Settings.showCommandPanel : Settings.showToolPanel;
    };
    v.showPanel = [](int panel, int show) {
        const MainWindowHandles& h = MainWindowData.handles;
        ShowPlatformWindow(panel == kViewPanelCommand ? h.commandPanel : h.toolPanel, show);
    };
    v.repaintPanel = [](int panel) {
        if (panel == kViewPanelToolDisplay) {
            RepaintToolPanel(kToolPanelPaintAll);
        }
    };
}

// The dialogs of the machining menu's offset, work coordinate, control point and check commands,
// and the view's basis-point note.
void ConnectOptionDialogs() {
    ViewCallbacks.openBasisPointNote = OpenBasisPointNote;
    OptionCommandHooks& o = OptionCommandCallbacks;
    o.interferenceDialog = OpenInterferenceCheckDialog;
    o.structureInterferenceDialog = OpenStructureInterferenceDialog;
    o.controlPointDialog = OpenControlPointDialog;
    o.offsetDialog = OpenOffsetCodeDialog;
    o.workCoordinatesDialog = OpenWorkCoordinatesDialog;
}

// An editor plug-in's rewrite of an [ExecEditor] value; 0 without one.
int AskEditorPlugin(int exportIndex, std::string* value) {
    auto exec = PluginExport<MxeditorExecFn>(kPluginEditor, 0, exportIndex);
    if (exec == nullptr || !IsPluginLoaded(kPluginEditor, 0)) {
        return 0;
    }
    char text[2 * MIREXA_PLUGIN_TEXT_SIZE] = {};
    value->copy(text, MIREXA_PLUGIN_TEXT_SIZE - 1);
    exec(text);
    *value = TakePluginText(text, MIREXA_PLUGIN_TEXT_SIZE);
    return 1;
}

// The plug-in host: loading and release at start-up and shutdown, the menu items, the path
// readers, the NC communication, the stock loaders and savers, the editor and the
// synchronisation plug-in.
void ConnectPluginHost() {
    StartupServices& s = StartupCallbacks;
    s.loadPlugins = LoadPlugins;
    s.unloadPlugins = UnloadPlugins;
    MainWindowHooks& w = MainWindowCallbacks;
    w.initPluginsAndMenus = [](WindowHandle window, int, int language) {
        InitPluginsAndMenus(GetWindowMenuBar(window), language, nullptr);
        RedrawMenuBar(window);
    };
    w.callPluginFreeFunctions = CallPluginFreeFunctions;
    w.matchStockLoaderSuffix = [](const std::string& path) {
        return FindPluginSuffixSlot(kPluginLoad, path) >= 0 ? 1 : 0;
    };
    ConfigCallbacks.editorProgram = [](std::string* program) {
        return AskEditorPlugin(kEditorExecProgram, program);
    };
    ConfigCallbacks.editorOption = [](std::string* option) {
        AskEditorPlugin(kEditorExecOption, option);
    };
    DefinitionCallbacks.announceMachineName = [](const char* name) {
        if (auto getName = PluginExport<MxsyncGetNameFn>(kPluginSync, 0, kSyncGetName)) {
            char text[2 * MIREXA_PLUGIN_TEXT_SIZE] = {};
            std::string(name != nullptr ? name : "").copy(text, MIREXA_PLUGIN_TEXT_SIZE - 1);
            int enabled = 0;
            getName(text, &enabled);
            PluginSlots.syncPanesEnabled.store(enabled != 0 ? 1 : 0);
        }
    };
    DefinitionCallbacks.clearPluginToolMark = [](NcSession& session) {
        session.run.pluginToolSupplied = 0;
        CurrentToolState.fromPlugin = 0;
    };
    ProgressHooks& p = UiHooks;
    p.activePathReader = [] { return NcDataCommands.activePathReader; };
    p.activeReaderHasBlockCount = ActiveReaderHasBlockCount;
    p.readActiveReaderBlockCount = ReadActiveReaderBlockCount;
    NcUpHooks.loadToolFromPlugin = LoadToolFromPlugin;
    DataCheckCallbacks.openPathReader = OpenPathReaderForRun;
    DataCheckCallbacks.closePathReader = ClosePathReaderAfterRun;
    SimulationCallbacks.openPathReader = OpenPathReaderForRun;
    SimulationCallbacks.closePathReader = ClosePathReaderAfterRun;
    RunCallbacks.simulationPluginLoaded = [](int slot) { return IsPluginLoaded(kPluginSim, slot); };
    NcDataCommandCallbacks.pathReaderSlot = [](const std::string& path) {
        return FindPluginSuffixSlot(kPluginRead, path);
    };
    StockCommandHooks& k = StockCommandCallbacks;
    k.stockLoaderSlot = [](const std::string& path) {
        return FindPluginSuffixSlot(kPluginLoad, path);
    };
    k.loadStockWithPlugin = LoadStockWithPlugin;
    k.saveStockWithPlugin = SaveStockWithPlugin;
}

}  // namespace

void ConnectProgram() {
    // A save that removes a temporary file a killed writer left says so in the log.
    SetTemporaryRemovalObserver(LogRemovedTemporary);
    ConnectRunAndView();
    ConnectControlOrigin();
    ConnectPluginHost();
    ConnectAutomation();
    ConnectDefinitionAndProgress();
    ConnectRunToShell();
    ConnectViewToShell();
    ConnectSoundsAndWatch();
    ConnectEditorBridge();
    ConnectStockDialogs();
    ConnectViewPopupAndPicking();
    InstallInfoPanelHooks();
    ConnectDialogsAndPanels();
    ConnectOptionDialogs();
}

#define MIREXA_HOOK_RECORD(type, global) \
    HookRecordEntry {                    \
#type, &global, sizeof(type)     \
    }

const std::vector<HookRecordEntry>& ListHookRecords() {
    static const std::vector<HookRecordEntry> records = {
        MIREXA_HOOK_RECORD(ConfigHooks, ConfigCallbacks),
        MIREXA_HOOK_RECORD(DefinitionFileHooks, DefinitionCallbacks),
        MIREXA_HOOK_RECORD(StlImportHooks, StlImportCallbacks),
        MIREXA_HOOK_RECORD(WorkOffsetHooks, WorkOffsetSource),
        MIREXA_HOOK_RECORD(ProgressHooks, UiHooks),
        MIREXA_HOOK_RECORD(RotaryMoveHooks, RotaryMoveCallbacks),
        MIREXA_HOOK_RECORD(StockHooks, StockCallbacks),
        MIREXA_HOOK_RECORD(NcHooks, NcUpHooks),
        MIREXA_HOOK_RECORD(DataCheckHooks, DataCheckCallbacks),
        MIREXA_HOOK_RECORD(SimulationHooks, SimulationCallbacks),
        MIREXA_HOOK_RECORD(RunUiHooks, RunUiCallbacks),
        MIREXA_HOOK_RECORD(ViewHooks, ViewCallbacks),
        MIREXA_HOOK_RECORD(StartupServices, StartupCallbacks),
        MIREXA_HOOK_RECORD(MainWindowHooks, MainWindowCallbacks),
        MIREXA_HOOK_RECORD(RunHooks, RunCallbacks),
        MIREXA_HOOK_RECORD(NcDataCommandHooks, NcDataCommandCallbacks),
        MIREXA_HOOK_RECORD(StockCommandHooks, StockCommandCallbacks),
        MIREXA_HOOK_RECORD(OptionCommandHooks, OptionCommandCallbacks),
        MIREXA_HOOK_RECORD(RealWindowBackend, GetRegisteredRealWindowBackend()),
        MIREXA_HOOK_RECORD(GuiPump, GetGuiPump()),
        MIREXA_HOOK_RECORD(MenuBackendHooks, GetMenuBackendHooks()),
        // A single hook the run's worker reads, atomic since the user-interface thread fills it.
        HookRecordEntry{"WindowRun.controls.kept.redrawRaised",
                        &WindowRun.controls.kept.redrawRaised,
                        sizeof WindowRun.controls.kept.redrawRaised},
        // The window run's end, called on the run's thread.
        HookRecordEntry{"WindowRun.ended", &WindowRun.ended, sizeof WindowRun.ended},
    };
    static_assert(sizeof WindowRun.controls.kept.redrawRaised == sizeof(void*));
    static_assert(sizeof WindowRun.ended == sizeof(void*));
    return records;
}

// The features not built yet that fill the waiting hooks.
constexpr const char* kWaitsMessageFile = "the message file";
constexpr const char* kWaitsWindow = "the real-window backend";
// The interpreter keeps neither state: no word of a program switches the tool display, and it
// has no table-rotation flags (the view animates the tables of kind 4 without them).
constexpr const char* kWaitsNC =
    "an NC word that switches the tool display (the interpreter has no such state)";
constexpr const char* kWaitsTableTurning =
    "the interpreter's table-rotation flags (the interpreter has no such state)";

#define MIREXA_WAITING(type, field, feature)          \
    WaitingHook {                                     \
#type, #field, offsetof(type, field), feature \
    }

const std::vector<WaitingHook>& ListWaitingHooks() {
    static const std::vector<WaitingHook> waiting = {
        MIREXA_WAITING(ViewHooks, toolDisplayState, kWaitsNC),
        MIREXA_WAITING(ViewHooks, tableRotationActive, kWaitsTableTurning),
        MIREXA_WAITING(ViewHooks, mainWindowForeground, kWaitsWindow),
        MIREXA_WAITING(MainWindowHooks, isForegroundWindow, kWaitsWindow),
        MIREXA_WAITING(MainWindowHooks, activateWindow, kWaitsWindow),
        MIREXA_WAITING(MainWindowHooks, setWindowState, kWaitsWindow),
        // The native side of the desktop: the program built with the GUI registers the Qt backend
        // in main when a display is there; it then fills these records, installs its event pump,
        // follows the menus and gives the shell the desktop's foreground state. A run on the
        // headless backend (and every test program without Qt) leaves them empty.
        MIREXA_WAITING(RealWindowBackend, start, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.windowCreated, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.windowDestroyed, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.windowTextChanged, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.windowShown, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.windowMoved, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.controlChanged, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.windowEnabled, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.focusChanged, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.framePresented, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.painted, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.measureText, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.cursorChanged, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.clipboardChanged, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.languageChanged, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.screenWorkArea, kWaitsWindow),
        MIREXA_WAITING(RealWindowBackend, hooks.pointerOverWindow, kWaitsWindow),
        MIREXA_WAITING(GuiPump, wake, kWaitsWindow),
        MIREXA_WAITING(GuiPump, wait, kWaitsWindow),
        MIREXA_WAITING(GuiPump, poll, kWaitsWindow),
        MIREXA_WAITING(MenuBackendHooks, menuChanged, kWaitsWindow),
        MIREXA_WAITING(MenuBackendHooks, menuBarChanged, kWaitsWindow),
    };
    return waiting;
}

}  // namespace mirexa
