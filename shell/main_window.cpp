// The main window's procedure: creation, layout, paint, timers 5 and 6, wheel zoom, dropped
// files, the automation's end, the commands other programs send, close and destruction.
#include "shell/main_window.h"

#include <algorithm>

#include "config/color_file.h"
#include "config/command_line.h"
#include "config/config_records.h"
#include "config/settings_writer.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_line_source.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/cursor.h"
#include "platform/text.h"
#include "resources/main_menu.h"
#include "resources/program_resources.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "shell/external_commands.h"
#include "shell/hook_calls.h"
#include "shell/info_panel.h"
#include "shell/menu_state.h"
#include "shell/message_file.h"
#include "shell/nc_data_commands.h"
#include "shell/option_commands.h"
#include "shell/run_commands.h"
#include "shell/startup.h"
#include "shell/status_bar.h"
#include "shell/stock_commands.h"
#include "shell/view_services.h"
#include "shell/worker_threads.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "simulation/run_end.h"
#include "simulation/run_timer.h"
#include "view/gdi_resources.h"
#include "view/snapshots.h"
#include "view/view_window.h"

namespace mirexa {

MainWindowState MainWindowData;
MainWindowHooks MainWindowCallbacks;

namespace {

constexpr int VIEW_WINDOW_ID = 10;

MainWindowState& S() {
    return MainWindowData;
}
const MainWindowHooks& H() {
    return MainWindowCallbacks;
}

void SetWaitCursor() {
    SetCursorHandle(LoadCursorHandle(CURSOR_WAIT));
}

void SetIdleCursor() {
    mirexa::SetIdleCursor(ViewMouseMode);
}

// The menu commands of the main window other than the run commands: the stock, NC data,
// definition-file and setting commands, and the commands the view's keys post.
void HandleMenuCommand(WindowHandle window, unsigned command) {
    if (!HandleStockCommand(window, command, 0) && !HandleNcDataCommand(window, command, 0) &&
        !HandleOptionCommand(window, command)) {
        HandleViewKeyCommand(MainWindowData.handles.view, command);
    }
}

// The extension of a path (its last four characters, when it has that many) compared with ext.
bool HasExtension4(const std::string& path, const char* ext) {
    return path.size() >= 4 &&
           EqualIgnoringCase(std::string_view(path).substr(path.size() - 4), ext) != 0;
}

bool IsStockPath(const std::string& path) {
    return HasExtension4(path, ".DME") || HasExtension4(path, ".DMF") ||
           HasExtension4(path, ".STL") ||
           (H().matchStockLoaderSuffix && H().matchStockLoaderSuffix(path));
}

bool IsNcProgramPath(const std::string& path) {
    for (const char* ext : {".TTL", ".CTL", ".MTL", ".CTC", ".STL", ".DMF", ".DME"}) {
        if (HasExtension4(path, ext)) {
            return false;
        }
    }
    return !(H().matchStockLoaderSuffix && H().matchStockLoaderSuffix(path));
}

// --- Layout ------------------------------------------------------------------------------------

void ComputeBorderAndMargins(WindowHandle window) {
    WindowRect frame = {};
    WindowRect client = {};
    GetPlatformWindowRect(window, &frame);
    GetWindowClientRect(window, &client);
    // The headless window has no frame: its rectangle is its client area.
    S().borderWidth = std::max(0, ((frame.right - frame.left) - client.right) / 2);
}

}  // namespace

int MainWindowUnseen() {
    return AutomaticMode.load() != 0 && GetPlatformBackend() == PlatformBackend::Headless ? 1 : 0;
}

namespace {

// The sizes the side panels and the information panel now take.
SidePanelSizes CurrentSidePanelSizes() {
    const InfoPanelExtent extent = CurrentInfoPanelExtent();
    SidePanelSizes sizes;
    sizes.columnWidth = extent.columnWidth;
    sizes.columnHeight = extent.columnHeight;
    sizes.stripHeight = extent.stripHeight;
    sizes.statusBarHeight = S().statusBarHeight;
    if (S().handles.toolPanel && Settings.showToolPanel) {
        sizes.toolWidth = S().toolPanelWidth;
        sizes.toolHeight = S().toolPanelHeight;
    }
    if (S().handles.commandPanel) {
        sizes.commandWidth = S().commandPanelWidth;
        sizes.commandHeight = S().commandPanelHeight;
        sizes.commandShown = Settings.showCommandPanel && !S().noMenuOption ? 1 : 0;
    }
    return sizes;
}

// A window smaller than its panels need grows to the minimum client size, and is moved back onto
// the screen's work area as far as it fits there. 1 when the window was moved.
int KeepMinimumWindowSize(WindowHandle window) {
    if (S().growingToMinimum || MainWindowUnseen() || IsPlatformWindowMinimised(window)) {
        return 0;
    }
    int width = 0;
    int height = 0;
    ComputeMinimumClientSize(CurrentSidePanelSizes(), &width, &height);
    WindowRect frame = {};
    WindowRect client = {};
    if (!GetPlatformWindowRect(window, &frame) || !GetWindowClientRect(window, &client) ||
        (client.right >= width && client.bottom >= height)) {
        return 0;
    }
    frame.right += std::max(0, width - client.right);
    frame.bottom += std::max(0, height - client.bottom);
    // Back onto the screen: left and up by what lies beyond its far edges, never past its near
    // ones.
    const auto shift = [](int* low, int* high, int screenLow, int screenHigh) {
        const int by = std::min(std::max(0, *high - screenHigh), std::max(0, *low - screenLow));
        *low -= by;
        *high -= by;
    };
    const WindowRect screen = GetScreenWorkArea();
    shift(&frame.left, &frame.right, screen.left, screen.right);
    shift(&frame.top, &frame.bottom, screen.top, screen.bottom);
    S().growingToMinimum = 1;
    MovePlatformWindow(window, frame);
    S().growingToMinimum = 0;
    return 1;
}

}  // namespace

void ComputeMinimumClientSize(const SidePanelSizes& p, int* width, int* height) {
    const int command = p.commandShown ? p.commandWidth : 0;
    *width = p.columnWidth + std::max({MINIMUM_VIEW_WIDTH, p.toolWidth, command});
    const int stacked = p.toolHeight + (p.commandShown ? p.commandHeight : 0);
    *height = p.stripHeight + std::max(p.columnHeight, stacked) + p.statusBarHeight;
}

void PlaceSidePanelRects(const WindowRect& r, int b, const SidePanelSizes& p, WindowRect* tool,
                         WindowRect* command) {
    const int s = p.statusBarHeight;
    *command = WindowRect{r.right - p.commandWidth - b, r.bottom - p.commandHeight - b - s,
                          r.right - b, r.bottom - b - s};
    const int viewLeft = r.left + b + p.columnWidth;
    int left = r.right - p.commandWidth - p.toolWidth - b;
    int top = r.bottom - p.toolHeight - b - s;
    if (left < viewLeft) {
        // No room beside the command panel: above it while it is shown, else against the
        // window's right edge; clear of the column while the view is as wide as the panel.
        left = std::min(viewLeft, r.right - b - p.toolWidth);
        if (p.commandShown) {
            left = std::max(viewLeft, r.right - b - p.toolWidth);
            top = command->top - p.toolHeight;
        }
    }
    left = std::max(r.left, left);
    top = std::max(r.top, top);
    *tool = WindowRect{left, top, left + p.toolWidth, top + p.toolHeight};
}

// The two side panels at the lower right of the window (screen pixels).
void PlaceSidePanels(WindowHandle window) {
    WindowRect r = {};
    GetPlatformWindowRect(window, &r);
    const SidePanelSizes sizes = CurrentSidePanelSizes();
    WindowRect tool = {};
    WindowRect command = {};
    PlaceSidePanelRects(r, S().borderWidth, sizes, &tool, &command);
    if (S().handles.commandPanel && Settings.showCommandPanel) {
        MovePlatformWindow(S().handles.commandPanel, command);
        ShowPlatformWindow(S().handles.commandPanel, SW_SHOW);
        SendWindowMessage(S().handles.commandPanel, WM_PAINT, 0, 0);
    }
    if (S().handles.toolPanel && Settings.showToolPanel) {
        MovePlatformWindow(S().handles.toolPanel, tool);
        ShowPlatformWindow(S().handles.toolPanel, SW_SHOW);
        SendWindowMessage(S().handles.toolPanel, WM_PAINT, 0, 0);
    }
}

namespace {

// The view's rectangle beside the information panel as the panel font lays it out.
WindowRect PanelViewRect(const WindowRect& client, int statusBarHeight) {
    const InfoPanelExtent panel = CurrentInfoPanelExtent();
    return ComputeViewRect(client.right, client.bottom, statusBarHeight, panel.columnWidth,
                           panel.stripHeight);
}

// Sets the status bar's edges and keeps the progress bars over parts 0 and 2.
void LayoutStatusBar(int clientWidth, int clientHeight) {
    WindowHandle bar = S().handles.statusBar;
    if (!bar) {
        return;
    }
    int height = S().statusBarHeight;
    MovePlatformWindow(bar, WindowRect{0, std::max(0, clientHeight - height), clientWidth,
                                       std::max(0, clientHeight)});
    std::vector<int> edges = ComputeStatusBarEdges(clientWidth);
    SetStatusBarParts(bar, edges);
    if (S().handles.progressBar) {
        MovePlatformWindow(S().handles.progressBar, WindowRect{0, 2, edges[0], height - 2});
    }
    if (S().handles.progressBar2) {
        int left = edges[1];
        int right = left + (edges[2] - edges[1]) / 2;
        MovePlatformWindow(S().handles.progressBar2, WindowRect{left, 2, right, height - 2});
    }
}

// --- Messages ----------------------------------------------------------------------------------

MessageResult OnCreate(WindowHandle window) {
    MainWindowState& s = S();
    s = MainWindowState{};
    s.handles.main = window;
    s.noMenuOption = CommandLine.noMenu;
    MainWindow.store(window);
    // The menu bar, its check marks and texts, and the plug-ins' items.
    s.handles.menu = MainClass.menu;
    SetWindowMenuBar(window, s.handles.menu ? LoadMenuResource(s.handles.menu) : nullptr);
    PrepareMenuState(GetWindowMenuBar(window));
    LoadMessageFile(GetWindowMenuBar(window));
    CallHook(H().initPluginsAndMenus, window, s.handles.menu, UiLanguage.load());
    UpdateMenuChecks();
    // The panel font, the view rectangle, the back buffer, the colour chooser.
    CallHook(H().preparePanelContext, window);
    WindowRect client = {};
    GetWindowClientRect(window, &client);
    s.viewRect = PanelViewRect(client, 0);
    s.viewWidth = s.viewRect.right - s.viewRect.left;
    s.viewHeight = s.viewRect.bottom - s.viewRect.top;
    NoteViewResized(s.viewWidth, s.viewHeight, 1);
    // With a user (or automatic work shown in the real window): the view's popup menu and the
    // side panels.
    if (!MainWindowUnseen()) {
        MessagePumpEnabled.store(1);  // this platform always pumps in long loops
        CallHook(H().createViewPopupMenu);
        ComputeBorderAndMargins(window);
        if (H().createCommandPanel) {
            s.handles.commandPanel = H().createCommandPanel(window);
        }
        if (s.handles.commandPanel) {
            WindowRect r = {};
            GetPlatformWindowRect(s.handles.commandPanel, &r);
            s.commandPanelWidth = r.right - r.left;
            s.commandPanelHeight = r.bottom - r.top;
            if (!Settings.showCommandPanel || s.noMenuOption) {
                ShowPlatformWindow(s.handles.commandPanel, SW_HIDE);
            }
        }
        if (Settings.showToolPanel && !s.noMenuOption && H().createToolPanel) {
            s.handles.toolPanel = H().createToolPanel(window);
            WindowRect r = {};
            GetPlatformWindowRect(s.handles.toolPanel, &r);
            s.toolPanelWidth = r.right - r.left;
            s.toolPanelHeight = r.bottom - r.top;
        }
    }
    // The status bar is made in every mode: the progress display of batch runs uses it too.
    if (CreateMainStatusBar(window)) {
        s.handles.statusBar = MainStatusBar.load();
        s.handles.progressBar = MainProgressBar.load();
        s.handles.progressBar2 = SecondProgressBar.load();
        WindowRect r = {};
        GetPlatformWindowRect(s.handles.statusBar, &r);
        s.statusBarHeight = r.bottom - r.top;
    }
    s.definitionWatchArmed = 1;
    PublishSelectedFiles();  // the title names the definition files start-up read
    // The start position that an alarm end rewinds to.
    MotionPosition& program = RunKinematics.pose.program;
    if (Settings.controlPointMachine) {
        double out[5];
        SubtractWorkOffset(RunKinematics, program.axis, out);
        std::copy(out, out + 5, program.axis);
    }
    SetRunStartPoint(&RunCommands.startPoint, program);
    UpdateMachinePosition(RunKinematics);
    StoreToolPose();
    // The view window; the first WM_SIZE places and shows it.
    WindowCreateParams view;
    view.className = VIEW_WINDOW_CLASS;
    view.procedure = ViewWndProc;
    view.parent = window;
    view.id = VIEW_WINDOW_ID;
    view.visible = 0;
    s.handles.view = CreatePlatformWindow(view);
    if (MainWindowUnseen() && s.handles.view) {
        ShowPlatformWindow(s.handles.view, SW_MINIMIZE);
    }
    s.ready = 1;
    // On the desktop, other programs of the user may send the commands without a menu item.
    if (GetPlatformBackend() == PlatformBackend::RealWindow) {
        StartExternalCommandReceiver();
    }
    return 0;
}

// Resumes the automation thread once, when the window is ready.
void StartAutomation() {
    if (CommandLine.automation && S().ready) {
        CommandLine.automation = 0;
        ResumeWorkerThread(&AutomationThread);
    }
}

MessageResult OnPaint(WindowHandle window) {
    if (IsPlatformWindowMinimised(window)) {
        DrawingSuppressed.store(1);
    } else {
        DrawingSuppressed.store(0);
        CallHook(H().paintInfoPanel);
        if (S().handles.view) {
            SendWindowMessage(S().handles.view, WM_PAINT, 0, 0);
        }
        if (!S().resizing) {
            RefreshStatusInputs();
            UpdateMainTitle(window);
            DrawStatusBar();
        }
        if (WindowRun.mode.load() == RunMode::kIdle) {
            EndProgress();
        } else {
            RestoreProgressText();
        }
    }
    if (S().definitionWatchArmed) {
        CallHook(H().checkDefinitionFilesChanged);
    }
    StartAutomation();
    return 0;
}

MessageResult OnSize(WindowHandle window) {
    MainWindowState& s = S();
    // A minimised automatic window gets a size message before any paint.
    if (MainWindowUnseen()) {
        StartAutomation();
    }
    // A window smaller than its panels need grows first; the layout below takes its new size.
    KeepMinimumWindowSize(window);
    // The frame's margins and the client size.
    ComputeBorderAndMargins(window);
    WindowRect client = {};
    GetWindowClientRect(window, &client);
    bool minimised = IsPlatformWindowMinimised(window) != 0;
    if (minimised) {
        // A minimised window remembers its view size and draws nothing.
        s.rememberedViewWidth = s.viewWidth;
        s.rememberedViewHeight = s.viewHeight;
        DrawingSuppressed.store(1);
    } else {
        s.viewRect = PanelViewRect(client, s.statusBarHeight);
        int width = s.viewRect.right - s.viewRect.left;
        int height = s.viewRect.bottom - s.viewRect.top;
        // A restore to the remembered size is no resize.
        bool restore = width == s.rememberedViewWidth && height == s.rememberedViewHeight;
        s.viewWidth = width;
        s.viewHeight = height;
        NoteViewResized(width, height, restore ? 0 : 1);
        // A real resize redraws once the sizing has settled.
        if (!restore) {
            s.lastSizeTick = GetTickMilliseconds();
            if (!s.resizing) {
                s.resizing = 1;
                StartWindowTimer(window, IDT_RESIZE_REDRAW, RESIZE_TIMER_PERIOD_MS);
            }
        }
        s.rememberedViewWidth = 0;
        s.rememberedViewHeight = 0;
        if (s.handles.view) {
            MovePlatformWindow(s.handles.view, s.viewRect);
            ShowPlatformWindow(s.handles.view, SW_SHOW);
        }
        // The side panels follow the window when the settings ask for it.
        if (!s.noMenuOption && AskHook(H().movePanelsOnResize)) {
            PlaceSidePanels(window);
        }
        // The status bar and the information panel.
        LayoutStatusBar(client.right, client.bottom);
        PlaceInfoPanel(window);
    }
    // A window someone sees draws again.
    if (!MainWindowUnseen() && !minimised) {
        DrawingSuppressed.store(0);
        MarkViewForRedraw();
    }
    if (!MainWindowUnseen() && WindowRun.mode.load() != RunMode::kIdle) {
        const int depth = SubprogramDepthShown.load();
        if (depth == 0) {
            UpdateProgressForActiveReader(1);
        } else {
            UpdateProgress2(1);
        }
    }
    return 0;
}

MessageResult OnMove(WindowHandle window) {
    if (!IsPlatformWindowMinimised(window) && !S().noMenuOption && AskHook(H().movePanelsOnMove)) {
        PlaceSidePanels(window);
    }
    return 0;
}

void OnPauseBlinkTimer(WindowHandle window) {
    MainWindowState& s = S();
    if (s.blinkTickRunning || IsViewBusy()) {
        return;
    }
    s.blinkTickRunning = 1;
    // The blink only repaints: raising or activating the main window twice a second would cover
    // a menu the user opens meanwhile and take the keys typed into it.
    (void)window;
    std::atomic<std::int32_t>& blink = WindowRun.controls.pauseBlink;
    blink.store(blink.load() ? 0 : 1);
    StatusInputs.pauseBlinkOn = blink.load();
    CallHook(H().drawStopModeLabels);
    DrawStatusBar();
    s.blinkTickRunning = 0;
}

void OnResizeRedrawTimer(WindowHandle window) {
    MainWindowState& s = S();
    std::uint64_t now = GetTickMilliseconds();
    if (now - s.lastSizeTick <= static_cast<std::uint64_t>(RESIZE_REDRAW_DELAY_MS)) {
        return;
    }
    SetWaitCursor();
    StopWindowTimer(window, IDT_RESIZE_REDRAW);
    s.resizing = 0;
    s.lastSizeTick = now;
    MarkViewForRedraw();
    ++s.resizeRedraws;
    RedrawMainWindow(window);
    SetIdleCursor();
}

MessageResult OnTimer(WindowHandle window, unsigned id) {
    switch (id) {
        case IDT_JOG_REPEAT:
            CallHook(H().jogRepeat, window);
            break;
        case IDT_PAUSE_BLINK:
            OnPauseBlinkTimer(window);
            break;
        case IDT_RESIZE_REDRAW:
            OnResizeRedrawTimer(window);
            break;
        case IDT_RUN_PROGRESS:
            RunProgressTimer(window);
            break;
        default:
            break;
    }
    return 0;
}

MessageResult OnWheel(int delta) {
    int steps = ComputeWheelSteps(delta, Settings.wheelZoomReversed);
    if (steps == 0) {
        return 0;
    }
    std::uint64_t tick = GetTickMilliseconds();
    ZoomViewBySteps(steps, tick);
    if (BeginViewWheelZoom() && S().handles.view) {
        StartWindowTimer(S().handles.view, IDT_VIEW_WHEEL, VIEW_WHEEL_PERIOD_MS);
    }
    return 0;
}

// The automation has ended: wait for its thread (a join, answering its last sends), then close.
MessageResult OnAutomationDone(WindowHandle window) {
    WaitForWorkerThread(&AutomationThread);
    EndRunBeforeClose(window);
    DestroyPlatformWindow(window);
    return 0;
}

MessageResult OnClose(WindowHandle window) {
    // A run still reads the tool tables, the models and the NC text: end it before they go.
    EndRunBeforeClose(window);
    DestroyPlatformWindow(window);
    return 0;
}

MessageResult OnDestroy(WindowHandle window) {
    StopExternalCommandReceiver();
    EndRunBeforeClose(window);
    if (!AutomaticMode.load()) {
        SaveMainWindowSettings(window);
    }
    CallHook(H().closeEditor);
    DestroyGlContext();
    CallHook(H().callPluginFreeFunctions);
    // The panels belong to the window: they go with it.
    for (WindowHandle* panel : {&S().handles.commandPanel, &S().handles.toolPanel}) {
        if (*panel && IsPlatformWindow(*panel)) {
            DestroyPlatformWindow(*panel);
        }
        *panel = nullptr;
    }
    MainStatusBar.store(nullptr);
    MainProgressBar.store(nullptr);
    SecondProgressBar.store(nullptr);
    DestroyMenuHandle(GetWindowMenuBar(window));
    MainWindow.store(nullptr);
    S().ready = 0;
    PostLoopQuit(0);
    return 0;
}

}  // namespace

void SaveMainWindowSettings(WindowHandle window) {
    if (DefinitionFiles.settingsPath.empty()) {
        return;  // no settings file was read: there is none to write back to
    }
    MainWindowPlacement placement;
    WindowRect rect = {};
    GetPlatformWindowRect(window, &rect);
    placement.minimised = IsPlatformWindowMinimised(window);
    placement.left = rect.left;
    placement.top = rect.top;
    placement.right = rect.right;
    placement.bottom = rect.bottom;
    placement.showCommand = placement.minimised ? SW_MINIMIZE : SW_SHOW;
    std::vector<std::string> messages;
    SaveSettingsToIni(placement, &messages);
    ReportCommandLineMessages(messages);
}

std::vector<int> ComputeStatusBarEdges(int clientWidth) {
    std::vector<int> edges = {STATUS_FIRST_EDGE, STATUS_SECOND_EDGE};
    long long rest = std::max(0, clientWidth - STATUS_SECOND_EDGE);
    for (int k = 1; k <= 7; ++k) {
        edges.push_back(STATUS_SECOND_EDGE + static_cast<int>(rest * k / 8));
    }
    edges.push_back(-1);
    return edges;
}

int ComputeWheelSteps(int delta, int reversed) {
    int steps = 0;
    if (delta > 0 && delta <= 120) {
        steps = 1;
    } else if (delta < 0 && delta >= -120) {
        steps = -1;
    } else {
        steps = delta / 120;
    }
    return reversed ? -steps : steps;
}

WindowRect ComputeViewRect(int clientWidth, int clientHeight, int statusBarHeight, int columnWidth,
                           int stripHeight) {
    WindowRect r;
    r.left = std::min(columnWidth, std::max(0, clientWidth));
    r.top = std::min(stripHeight, std::max(0, clientHeight));
    r.right = std::max(r.left, clientWidth);
    r.bottom = std::max(r.top, clientHeight - statusBarHeight);
    return r;
}

std::vector<DropAction> PlanDroppedFiles(const std::vector<std::string>& dropped) {
    // A shortcut is taken by its target; one that cannot be resolved is left out.
    std::vector<std::string> paths;
    for (std::string path : dropped) {
        if (!HasExtension4(path, ".lnk") || ResolveShortcut(&path)) {
            paths.push_back(path);
        }
    }
    struct Scan {
        DropActionKind kind;
        bool (*qualifies)(const std::string&);
    };
    const Scan scans[] = {
        {DropActionKind::MachineFile,
         [](const std::string& p) { return HasExtension4(p, ".MTL"); }},
        {DropActionKind::ControllerFile,
         [](const std::string& p) { return HasExtension4(p, ".CTL"); }},
        {DropActionKind::ToolsFile, [](const std::string& p) { return HasExtension4(p, ".TTL"); }},
        {DropActionKind::ColorFile, [](const std::string& p) { return HasExtension4(p, ".CTC"); }},
        {DropActionKind::Stock, IsStockPath},
        {DropActionKind::NcProgram, IsNcProgramPath},
    };
    std::vector<DropAction> actions;
    for (const Scan& scan : scans) {
        for (const std::string& path : paths) {
            if (scan.qualifies(path)) {
                actions.push_back(DropAction{scan.kind, path});
                break;
            }
        }
    }
    return actions;
}

void HandleDroppedFiles(WindowHandle window, const std::vector<std::string>& paths) {
    MainWindowState& s = S();
    auto send = [window](unsigned command) { SendWindowMessage(window, WM_COMMAND, command, 0); };
    std::vector<std::string> refused;
    for (std::string path : paths) {
        if (HasExtension4(path, ".lnk") && !ResolveShortcut(&path)) {
            refused.push_back(ShortcutNotSupportedMessage(path));
        }
    }
    ReportCommandLineMessages(refused);
    for (const DropAction& action : PlanDroppedFiles(paths)) {
        switch (action.kind) {
            case DropActionKind::MachineFile:
                DefinitionFiles.machineFile = action.path;
                s.presetPathFlag = 1;
                send(IDM_MACHINE_FILE);
                break;
            case DropActionKind::ControllerFile:
                DefinitionFiles.controllerFile = action.path;
                s.presetPathFlag = 1;
                send(IDM_CONTROLLER_FILE);
                break;
            case DropActionKind::ToolsFile:
                DefinitionFiles.toolsFile = action.path;
                s.presetPathFlag = 1;
                send(IDM_TOOLS_FILE);
                break;
            case DropActionKind::ColorFile:
                if (ReadColorFile(action.path) > 0) {
                    ApplyColorSettings();
                }
                if (s.handles.view) {
                    SendWindowMessage(s.handles.view, WM_PAINT, 0, 0);
                }
                SetIdleCursor();
                break;
            case DropActionKind::Stock:
                DefinitionFiles.stockFile = action.path;
                s.presetPathFlag = 1;
                send(IDM_STOCK_READ);
                s.droppedStockFlag = 1;
                break;
            case DropActionKind::NcProgram:
                DefinitionFiles.ncProgramFile = action.path;
                s.presetPathFlag = 1;
                send(IDM_NC_SELECT);
                break;
        }
    }
    s.droppedStockFlag = 0;
}

void RedrawMainWindow(WindowHandle window) {
    SendWindowMessage(window, WM_PAINT, 0, 0);
}

MessageResult MainWndProc(WindowHandle window, unsigned message, MessageWParam wparam,
                          MessageLParam lparam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(window);
        case WM_DESTROY:
            return OnDestroy(window);
        case WM_MOVE:
            return OnMove(window);
        case WM_SIZE:
            return OnSize(window);
        case WM_ACTIVATE:
            if ((wparam == WA_ACTIVE || wparam == WA_CLICKACTIVE) && S().definitionWatchArmed &&
                !S().presetPathFlag) {
                CallHook(H().checkDefinitionFilesChanged);
            }
            return 0;
        case WM_WINDOWPOSCHANGED:
            if (S().definitionWatchArmed && !S().presetPathFlag) {
                CallHook(H().checkDefinitionFilesChanged);
            }
            return DefaultWindowProcedure(window, message, wparam, lparam);
        case WM_SETFOCUS:
            return 0;
        case WM_PAINT:
            return OnPaint(window);
        case WM_CLOSE:
            return OnClose(window);
        case WM_KEYDOWN:
            HandleRunKeyDown(window, static_cast<unsigned>(wparam), lparam);
            return 0;
        case WM_KEYUP:
            HandleRunKeyUp(window, static_cast<unsigned>(wparam));
            return 0;
        case WM_COMMAND:
            if (!HandleRunCommand(window, static_cast<unsigned>(wparam), lparam)) {
                HandleMenuCommand(window, static_cast<unsigned>(wparam));
            }
            return 0;
        case WM_TIMER:
            return OnTimer(window, static_cast<unsigned>(wparam));
        case WM_MENUSELECT:
            RestoreCursorAndKillTimer(S().handles.view, kViewSpinTimerId);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            CallHook(H().panelClick, window, message, lparam);
            return 0;
        case WM_RBUTTONDOWN:
            ToggleStockPartSide();
            return 0;
        case WM_MOUSEWHEEL:
            return OnWheel(static_cast<int>(static_cast<std::intptr_t>(wparam)));
        case WM_DROPFILES:
            if (lparam) {
                HandleDroppedFiles(window,
                                   *reinterpret_cast<const std::vector<std::string>*>(lparam));
            }
            return 0;
        case WM_AUTOMATION_DONE:
            return OnAutomationDone(window);
        case WM_EXTERNAL_COMMAND:
            return AcceptExternalCommand(window, static_cast<unsigned>(wparam),
                                         reinterpret_cast<int*>(lparam));
        case WM_STATUS_REFRESH:
            return HandleStatusRefresh();
        default:
            return DefaultWindowProcedure(window, message, wparam, lparam);
    }
}

}  // namespace mirexa
