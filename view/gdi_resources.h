// The view's pens, brush and cursors, and the colour changes of the colour dialog: applying the
// edited colours converts each changed one and flags exactly the display lists that show it.
#pragma once

#include "config/config_records.h"
#include "platform/cursor.h"
#include "platform/gdi_objects.h"

namespace mirexa {

// The program's cursors (resource ids) and what the view shows them for.
constexpr int kCursorRotateIdle = 238;     // the rotate tool, no button down
constexpr int kCursorStockPart = 240;      // stock-part tools, measuring tools 5-7
constexpr int kCursorMeasure3 = 241;       // measuring tool 3
constexpr int kCursorMeasure4 = 246;       // measuring tool 4
constexpr int kCursorRotate = 247;         // the rotate tool, dragging
constexpr int kCursorMeasure1 = 248;       // measuring tool 1
constexpr int kCursorMeasure2 = 249;       // measuring tool 2
constexpr int kCursorZoomRectangle = 250;  // the zoom rectangle
constexpr int kCursorTool14 = 257;
constexpr int kCursorIdle = 258;    // every other tool, no button down
constexpr int kCursorSpin = 239;    // the view spinning on after a release
constexpr int kCursorDragUp = 242;  // the rubber band dragged up, right, down, left
constexpr int kCursorDragRight = 243;
constexpr int kCursorDragDown = 244;
constexpr int kCursorDragLeft = 245;
constexpr int kCursorStockPart2 = 251;  // the second stock-part tool
constexpr int kCursorMove = 252;        // panning
constexpr int kCursorZoomIn = 253;      // zooming
constexpr int kViewCursorCount = 22;
// Every cursor id of the program: 238 .. 255, 257, 258, 265, 266.
extern const int ViewCursorIds[kViewCursorCount];

// The view mouse mode of the rotate tool (the other tools are 1-9, 12-14; 0 none).
constexpr int kViewMouseModeRotate = 11;

// Pen colour lists of the path-reader plug-ins: up to 3 lists of up to 10 colours. The plug-in
// host fills them before the pens are created.
constexpr int kPluginPenLists = 3;
constexpr int kPluginPenColors = 10;
struct PluginPenColorLists {
    int listCount = {};
    int colorCount[kPluginPenLists] = {};
    ColorRef colors[kPluginPenLists][kPluginPenColors] = {};
};
extern PluginPenColorLists PluginPenColors;

// Pen styles of each plug-in colour, in the order of the pen table.
constexpr int kPluginPenStyles = 3;  // solid, dotted, dash-dot

// The view's drawing objects and cursors, from start-up to shutdown.
struct GdiResourceSet {
    GdiObjectHandle nullPen = {};
    GdiObjectHandle greyPen = {};  // solid, width 1, 0xBFBFBF
    GdiObjectHandle backgroundBrush = {};
    GdiObjectHandle pluginPens[kPluginPenLists][kPluginPenColors][kPluginPenStyles] = {};
    int pluginPensCreated = {};  // the plug-in pens are made once only
    CursorHandle arrowCursor = {};
    CursorHandle waitCursor = {};
    CursorHandle cursors[kViewCursorCount] = {};  // in the order of ViewCursorIds
    // Objects of the shell's memory drawing surface, deleted with the rest at shutdown (at most
    // kShellObjectCapacity; owned here once added).
    static constexpr int kShellObjectCapacity = 16;
    GdiObjectHandle shellObjects[kShellObjectCapacity] = {};
    int shellObjectCount = {};
};
extern GdiResourceSet GdiResources;

// Start-up: loads the cursors, creates the null and grey pens, fills the whole colour table from
// LiveColors and DisplayModes (creating the plug-in pens once), and creates the background brush.
// An earlier set is deleted first. 1, or 0 when an object could not be created.
int CreateGdiResources();
// Shutdown: deletes the shell's objects, the background brush, every plug-in pen and the null
// and grey pens; the set is empty afterwards (a second call does nothing).
void DeleteGdiResources();
// Creates three pens (solid, dotted, dash-dot; width 1) per colour of PluginPenColors, the first
// time only. Returns the pens created by this call.
int CreatePluginPens();
// Hands a shell object to the set, to be deleted at shutdown. 1, or 0 when the set is full (the
// caller keeps it).
int AddShellGdiObject(GdiObjectHandle object);

// The cursor of a resource id (the one of CreateGdiResources, or loaded now); null for an id the
// program has no cursor for.
CursorHandle GetViewCursor(int id);
// The cursor of the view with no button down: the arrow when no view tool is active (mode 0),
// 238 for the rotate tool and 258 for the others. Returns the cursor set.
CursorHandle SetIdleCursor(int viewMouseMode);

// The background brush again from LiveColors.background.
void RecreateBackgroundBrush();
// After the settings were read again: the whole GL colour table and the background brush from
// LiveColors, the current stock meshed again in them, and EditColors a copy of LiveColors.
void ShowLiveColors();

// After the colour dialog: every colour of EditColors that differs from LiveColors is copied into
// LiveColors, converted into its GlColors entry, and flags what shows it: work, pens and paint the
// current stock (every display block, the stock flag of its undo slot, and its style list built
// anew; pens 1-15 keep their GL colour while the colour mode is "TOOL-PEN"); base the basic shape;
// the paths and construction their path lists when shown; tool colours the tools list when tools
// are shown; machine colours their lists when the machine is shown; the background only its
// brush. Returns the number of colours changed.
int ApplyColorSettings();

}  // namespace mirexa
