// The information panel: the NC-data strip above the view and the column beside it, two child
// windows of the main window that draw status-bar-like panes (axis values, stop modes, measured
// data, stock pitch and extents) from the panel's state through the layer's paint context.
//
// Threads. The panel's windows, InfoPanelView and the pane list belong to the user-interface
// thread: only it paints. Another thread (the simulation thread) publishes what the panel should
// show (the pose, the block of a stop) with the Publish calls and asks for a redraw, which
// invalidates the panel's windows; their next WM_PAINT on the user-interface thread draws it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"
#include "shell/main_window.h"

namespace mirexa {

inline constexpr const char* INFO_PANEL_CLASS = "InfoPanel";
constexpr int INFO_STRIP_WINDOW_ID = 20;
constexpr int INFO_COLUMN_WINDOW_ID = 21;

// The two windows of the panel.
enum PanelWindow : int { kPanelStrip = 0, kPanelColumn = 1 };

// Every pane of the panel; a pane of a row of five or eight has the row's first id plus its index.
enum PanelPaneId : int {
    kPaneNone = -1,
    kPaneStripCaption = 0,
    kPaneStripText,
    kPaneTitle,  // the controller's name in its colours
    kPaneCaption,
    kPaneAxisLabel,  // + axis 0..4
    kPaneAxisValue = kPaneAxisLabel + 5,
    kPaneJogPlus = kPaneAxisValue + 5,
    kPaneJogMinus = kPaneJogPlus + 5,
    kPaneDCode = kPaneJogMinus + 5,
    kPaneHCode,
    kPaneWorkpiece,
    kPaneStopMode,  // + selector pane 0..3: stop modes 2, 3, 4 and 0
    kPaneRun = kPaneStopMode + 4,
    kPaneEscape,
    kPaneMeasuredCaption,
    kPaneCountLabel,
    kPaneTraceCount,
    kPaneUnit,                           // + axis 0..2
    kPaneTrace = kPaneUnit + 3,          // + axis 0..2: the block-position panes
    kPaneMeasureLabel = kPaneTrace + 3,  // + 0..7
    kPaneMeasure = kPaneMeasureLabel + 8,
    kPaneWork = kPaneMeasure + 8,
    kPanePitch,
    kPaneMinMaxLabel,  // + 0..5: MaxX, MaxY, MaxZ, MinX, MinY, MinZ
    kPaneRange = kPaneMinMaxLabel + 6,
    kPaneSyncGet = kPaneRange + 6,  // the offset synchronisation plug-in's GET and PUT
    kPaneSyncPut,
};

// The stop mode of each pane of the selector ("M01", "Single", "Define", "None").
inline constexpr int kStopModeOfPane[4] = {2, 3, 4, 0};

// Pane styles of DrawStatusPane: sunken, flat, raised.
constexpr unsigned kPaneSunken = 0;
constexpr unsigned kPaneFlat = 0x100;
constexpr unsigned kPaneRaised = 0x200;

struct PanelPane {
    int id = kPaneNone;
    int window = kPanelColumn;
    WindowRect rect = {};  // in the window's client pixels
    std::string text = {};
    unsigned style = {};
    std::uint32_t textColor = {};  // 0x00BBGGRR; the picked line number of strip state 6
    int coloured = {};             // 1: text drawn in textColor, vertically centred
};

// The panel's own state: what its clicks switch and what its strip shows. User-interface thread.
struct InfoPanelState {
    // 0 program position, 1 machine position of the control point, 2 of the tool point.
    int coordinateKind = {};
    int unitLabelWork = 1;   // the unit-label flag: 1 the measured data in work coordinates
    int blockMarks[3] = {};  // the block-position flags: the trace pane of that axis is marked
    int minMaxWork = 1;      // the min/max flag: 1 the stock range in work coordinates
    int stripState = {};     // 0..6, see BuildInfoPanelPanes
    std::int64_t currentLine = {};
    std::int64_t pickedLine = {};  // signed: negative picks are drawn yellow, positive red
    std::string lineText = {};     // the block of state 2, the element of state 6
    int pressedPane = kPaneNone;   // a button drawn pressed until its release
    int jogRows = 3;               // axis rows shown (3 + the machine's rotary axes)
    int painted = {};              // 1 after the first paint (which plays the tool-change sound)
};
extern InfoPanelState InfoPanelView;

// Everything one drawing of the panel shows, gathered on the user-interface thread.
struct InfoPanelInputs {
    int english = 1;
    int increment = 1000;  // the controller's least input increment (per mm)
    int jogRows = 3;
    std::string labels[5] = {"\tX", "\tY", "\tZ", "\tA", "\tB"};
    double values[5] = {};
    int coordinateKind = {};
    std::string controllerName = {};
    std::uint32_t nameColor = {};
    int stopMode = {};  // 0 none, 1 normal, 2 M01, 3 single, 4 define
    int syncGet = {};   // the offset synchronisation plug-in's GET pane is shown
    int syncPut = {};   // and its PUT pane
    int stopPending = {};
    int pauseBlinkOn = {};
    int runActive = {};
    int unitLabelWork = 1;
    std::string axisLetters[3] = {"X", "Y", "Z"};
    int traceCount = {};
    double tracePoint[3] = {};  // already in the shown coordinates
    int blockMarks[3] = {};
    double delta[3] = {};
    double distance = {};
    double radii[4] = {};  // space, YZ, ZX, XY
    double pitch = {};
    int hasStock = {};
    double stockMax[3] = {};  // already in the shown coordinates
    double stockMin[3] = {};
    int minMaxWork = 1;
    int stripState = {};
    std::string ncPath = {};
    std::int64_t lineNumber = {};
    std::int64_t pickedLine = {};
    std::string lineText = {};
    int clientRight = 1000;  // the main window's client width (pixels)
    int clientBottom = 700;  // the bottom of the column (pixels)
};

// A value pane's text by the least input increment: 1000 "\t\t%9.3f", 100 "\t\t%8.2f", any other
// "\t\t%10.4f".
std::string FormatPanelValue(int increment, double value);

// The row of the axis-label table for the modes, first that applies: coordinate display 1 or 2,
// tool-tip control, tilted work plane, coordinate rotation, polar, cylindrical (18 or other
// planes), normal.
int SelectAxisLabelRow(int coordinateKind, int toolTipControl, int tiltedPlane, int rotation,
                       int polar, int cylindrical, int planeCode);

// Every pane of both windows with its rectangle (in its window's client pixels), text and style,
// in drawing order, in the cells of the settings' panel layout for the rows shown, spread in
// the panel font's measures: every row as high as the font's line (PanelRowHeight), and the
// column as wide as the widest text its panes can show for the inputs' language, value format
// and rows (the values filled to their format's width) needs, at least INFO_PANEL_WIDTH.
std::vector<PanelPane> BuildInfoPanelPanes(const InfoPanelInputs& in);

// The panel font's height (pixels): the command line's -F, else kDefaultPanelFontHeight.
inline constexpr int kDefaultPanelFontHeight = 13;
int PanelFontHeight();
// The height of a pane row for a font height: the font's line and the pane's border (pixels).
constexpr int PanelRowHeight(int fontHeight) {
    return fontHeight + 4;
}
// The layout table's row height (its units), which the rows are scaled from.
inline constexpr int kPanelRowUnits = 15;
// The strip's height for a font height: NC_STRIP_HEIGHT at the default font, more for a larger
// one (pixels).
int PanelStripHeight(int fontHeight);

// Where the panel's two windows end in the main window's client area (pixels): the column's
// width and the strip's height. INFO_PANEL_WIDTH and NC_STRIP_HEIGHT at the default font; a
// larger font widens and heightens them as its texts need, and the view lies beside them.
struct InfoPanelExtent {
    int columnWidth = INFO_PANEL_WIDTH;
    int stripHeight = NC_STRIP_HEIGHT;
    int columnHeight = {};  // down to the last pane's bottom and a margin below it
};
// The extent for the language, value format, rows and buttons of the inputs in the panel font.
InfoPanelExtent ComputeInfoPanelExtent(const InfoPanelInputs& in);
// The extent of the program's panel now (its language, controller and plug-ins).
InfoPanelExtent CurrentInfoPanelExtent();
// The inputs the extent depends on, from the program's state: language, the controller's
// least input increment and axis rows, and the offset synchronisation's buttons.
InfoPanelInputs PanelFormatInputs();

// The pane of the window under the client point, kPaneNone when none.
int FindPanelPane(const std::vector<PanelPane>& panes, int window, int x, int y);

// Gathers the inputs from the program's state (user-interface thread; during a run the pose and
// the block come from what the simulation thread published).
InfoPanelInputs CollectInfoPanelInputs();

// Creates the panel's two windows over the main window's strip and column; 1, or 0 when a window
// could not be made. Their positions follow the main window's size (PlaceInfoPanel).
int CreateInfoPanel(WindowHandle mainWindow);
void PlaceInfoPanel(WindowHandle mainWindow);
WindowHandle GetInfoPanelWindow(int which);

// Any thread: asks for a redraw of the whole panel (its windows are invalidated; nothing is
// drawn on the calling thread).
void RequestInfoPanelRedraw();
// As RequestInfoPanelRedraw, and on the user-interface thread the panel is drawn before the
// call returns (the main window's paint; the strip's flashes, which the caller paces with sleeps).
void DrawInfoPanelNow();
// Any thread: the current pose (read on the calling thread, which must own it: the simulation
// thread during a run, the user-interface thread otherwise) becomes what the axis panes show.
void PublishPanelPose();
// Any thread: the block shown in the strip (state 2).
void PublishPanelBlock(std::int64_t lineNumber, const std::string& text);
// Any thread: a strip state with its text (3 not cut, 4 no line, 5 and 6 the flash of a pick).
void PublishPanelStrip(int state, const std::string& text);

// The paint of a panel window (user-interface thread): the panes of that window.
void PaintInfoPanelWindow(WindowHandle window);

// The panel's background colour (0x00BBGGRR), made from the controller's panel colour at
// start-up and whenever the controller file is read again.
extern std::uint32_t InfoPanelBackground;
void CreatePanelBackground();

// Fills the hooks through which the run, the view, the interpreter and the main window reach
// the panel.
void InstallInfoPanelHooks();

}  // namespace mirexa
