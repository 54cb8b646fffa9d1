// The main window: its procedure (creation of the status bar, the view and the panels, layout on
// size and move, paint, timers 5 and 6, wheel zoom, dropped files, the automation's end, close
// and destruction), its state, and the calls it makes into parts of the program built apart
// from it (view, panels, dialogs, menus, plug-ins, editor) through MainWindowCallbacks.
//
// Threads. The procedure and every record here belong to the user-interface thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

namespace mirexa {

inline constexpr const char* VIEW_WINDOW_CLASS = "Picture";

// The panel column and the NC-data strip of the information panel, beside and above the view, at
// the default panel font (a larger one widens and heightens them: CurrentInfoPanelExtent).
constexpr int INFO_PANEL_WIDTH = 220;    // pixels
constexpr int NC_STRIP_HEIGHT = 22;      // pixels
constexpr int STATUS_FIRST_EDGE = 140;   // pixels
constexpr int STATUS_SECOND_EDGE = 190;  // pixels
constexpr int RESIZE_REDRAW_DELAY_MS = 350;
constexpr unsigned RESIZE_TIMER_PERIOD_MS = 50;
constexpr unsigned PAUSE_BLINK_PERIOD_MS = 500;
constexpr unsigned VIEW_WHEEL_PERIOD_MS = 25;

struct MainWindowHandles {
    WindowHandle main = {};
    WindowHandle view = {};
    WindowHandle statusBar = {};
    WindowHandle progressBar = {};
    WindowHandle progressBar2 = {};
    WindowHandle commandPanel = {};
    WindowHandle toolPanel = {};
    int menu = {};  // the menu resource in use; 0 without a menu bar
};

struct MainWindowState {
    MainWindowHandles handles = {};
    int ready = {};                 // MainWindowReady
    int definitionWatchArmed = {};  // DefinitionWatchArmed
    int presetPathFlag = {};        // PresetPathFlag
    int droppedStockFlag = {};      // DroppedStockFlag
    int resizing = {};              // ResizeState: a resize redraw is pending
    std::uint64_t lastSizeTick = {};
    int noMenuOption = {};  // NoMenuOption
    // The view size remembered when the window was minimised (0 x 0 when none).
    int rememberedViewWidth = {};
    int rememberedViewHeight = {};
    WindowRect viewRect = {};  // in the main window's client pixels
    int viewWidth = {};
    int viewHeight = {};
    int borderWidth = {};
    int statusBarHeight = {};
    int commandPanelWidth = {};
    int commandPanelHeight = {};
    int toolPanelWidth = {};
    int toolPanelHeight = {};
    int blinkTickRunning = {};  // re-entry guard of timer 5
    int resizeRedraws = {};     // whole-window redraws by timer 6 (for traces)
    int growingToMinimum = {};  // the window is being grown to its minimum size
};
extern MainWindowState MainWindowData;

// Calls of the main window into the parts not built yet: the message file, the menus, the
// panels, the dialogs, the plug-ins, the editor, the file watch and the real window's focus. A
// null hook means "nothing there".
struct MainWindowHooks {
    // --- Message file, plug-ins, menus (creation) ---
    void (*initPluginsAndMenus)(WindowHandle window, int menu, int language) = {};
    // Makes the panel font and its paint context on the window.
    void (*preparePanelContext)(WindowHandle window) = {};
    void (*createViewPopupMenu)() = {};
    // The modeless panels (command panel 226, tool display panel 214); null when not made.
    WindowHandle (*createCommandPanel)(WindowHandle window) = {};
    WindowHandle (*createToolPanel)(WindowHandle window) = {};
    // --- Panels ---
    void (*paintInfoPanel)() = {};
    void (*drawStopModeLabels)() = {};
    void (*panelClick)(WindowHandle window, unsigned message, MessageLParam point) = {};
    void (*jogRepeat)(WindowHandle window) = {};
    // The move-panels choices of the resize dialog: on window resize, on window move.
    int (*movePanelsOnResize)() = {};
    int (*movePanelsOnMove)() = {};
    // 1 while the stock-save file dialog is open (timer 5 then leaves the focus alone).
    int (*stockSaveDialogOpen)() = {};
    // --- Files ---
    void (*checkDefinitionFilesChanged)() = {};
    // 1 when the path's extension is in a stock-loader plug-in's suffix list.
    int (*matchStockLoaderSuffix)(const std::string& path) = {};
    // --- Shutdown ---
    void (*closeEditor)() = {};
    void (*callPluginFreeFunctions)() = {};
    // --- Input state (the real-window backend fills these) ---
    int (*isForegroundWindow)(WindowHandle window) = {};
    void (*activateWindow)(WindowHandle window) = {};
    // Asks the desktop to show the window minimised (1), maximised (2) or normal (0), as the
    // frame's buttons do (a macro's window lines).
    void (*setWindowState)(WindowHandle window, int state) = {};
};
extern MainWindowHooks MainWindowCallbacks;

// 1 when nobody sees the main window: automatic work on the headless backend. Such a window makes
// no popup menu or side panels, opens minimised and keeps its view minimised.
int MainWindowUnseen();

// The procedure of the main window.
MessageResult MainWndProc(WindowHandle window, unsigned message, MessageWParam wparam,
                          MessageLParam lparam);

// Status-bar part edges for a client width: 140, 190, then 190 + (W - 190) * k / 8 for k = 1..7
// (W below 190 counts as 190), then -1.
std::vector<int> ComputeStatusBarEdges(int clientWidth);

// Zoom steps of a wheel delta (120 per notch): +-1 up to one notch, else delta / 120 truncated;
// 0 for no delta; the sign inverted with reversed set.
int ComputeWheelSteps(int delta, int reversed);

// The view rectangle in a client area: the client less the panel column on the left, the NC
// strip on top and the status bar at the bottom (never negative in size); the column's width and
// the strip's height are those of the default panel font unless given.
WindowRect ComputeViewRect(int clientWidth, int clientHeight, int statusBarHeight,
                           int columnWidth = INFO_PANEL_WIDTH, int stripHeight = NC_STRIP_HEIGHT);

// The side panels beside the information panel's column (pixels; zero sizes for a panel not
// shown), and where they go in a window.
inline constexpr int MINIMUM_VIEW_WIDTH = 200;  // pixels
struct SidePanelSizes {
    int columnWidth = INFO_PANEL_WIDTH;
    int columnHeight = {};  // the column's panes, down to their last row
    int stripHeight = NC_STRIP_HEIGHT;
    int statusBarHeight = {};
    int toolWidth = {};
    int toolHeight = {};
    int commandWidth = {};  // kept free right of the tool panel even while hidden
    int commandHeight = {};
    int commandShown = {};
};
// The smallest client area (width, height in pixels) in which the column is whole below the strip
// and above the status bar, beside a view of at least MINIMUM_VIEW_WIDTH, and the side panels
// shown lie right of the column and below the strip (the tool panel over the command panel where
// the two are not side by side).
void ComputeMinimumClientSize(const SidePanelSizes& sizes, int* width, int* height);
// The panels' rectangles in a window whose frame is `window` and whose frame border is `border`
// (screen pixels): the command panel in the lower right corner above the status bar; the tool
// panel left of it, or, where that would cover the column, right-aligned above the command panel
// (over the view against the window's edge while the command panel is hidden); neither above the
// window's top.
void PlaceSidePanelRects(const WindowRect& window, int border, const SidePanelSizes& sizes,
                         WindowRect* tool, WindowRect* command);

// What a dropped file set does, in the order the drop runs it.
enum class DropActionKind { MachineFile, ControllerFile, ToolsFile, ColorFile, Stock, NcProgram };
struct DropAction {
    DropActionKind kind = {};
    std::string path = {};
};

// Scans the dropped paths six times (machine ".MTL", controller ".CTL", tools ".TTL", colour
// ".CTC", stock ".DME"/".DMF"/".STL" or a stock-loader suffix, NC program: anything else); each
// scan takes the first path that qualifies. Extensions compare without regard to case; a
// ".lnk" path is taken by its target, or left out when it cannot be resolved. Paths are kept at
// full length.
std::vector<DropAction> PlanDroppedFiles(const std::vector<std::string>& paths);

// Runs the drop: stores each path, sets PresetPathFlag and sends its command (the colour file
// is read at once); the stock's DroppedStockFlag lasts until the drop is done. A shortcut that
// cannot be resolved is reported and left out.
void HandleDroppedFiles(WindowHandle window, const std::vector<std::string>& paths);

// Writes the window's placement and the settings the user may change back to the settings file
// (nothing in automatic mode, or when no settings file was read).
void SaveMainWindowSettings(WindowHandle window);

// Places the shown side panels (command panel, tool display panel) at the lower right of the
// window and shows them.
void PlaceSidePanels(WindowHandle window);

// Sends WM_PAINT to the main window (and so to the view), the headless form of invalidating and
// updating the whole client area.
void RedrawMainWindow(WindowHandle window);

}  // namespace mirexa
