// The tool display panel: a modeless panel beside the main window with the current tool's
// picture and dimension cells, and the magazine as a ring of eleven slots around the ready slot,
// turned by clicks, arrows, the wheel and "1-st"; "Editor" opens the tools file, "Change" reads
// another one. Other threads never touch it: the run asks for a repaint through
// WindowRun.controls.kept.toolPanelPendingPaint, which the run's timer turns into RepaintToolPanel
// on the user-interface thread.
//
// Threads. Everything here runs on the user-interface thread unless marked otherwise.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "config/current_tool.h"
#include "platform/paint.h"
#include "platform/window.h"

namespace mirexa {

inline constexpr int kMagazineSlots = 11;
inline constexpr int kMiddleSlot = 5;

// Paint modes: the picture, description and slots; the slots only; everything.
inline constexpr int kToolPanelPaintTool = 1;
inline constexpr int kToolPanelPaintSlots = 2;
inline constexpr int kToolPanelPaintAll = 3;

struct ToolPanelState {
    int magazinePosition = 1;  // the position in the middle (ready) slot, 1 .. slot count
    int readyToolNumber = {};  // the tool last painted as ready
    int pictureMode = {};      // 0, 1, 2: the scale rule of the picture
    int arrow = {};            // +1 ">>" pressed, -1 "<<" pressed, 0 none
    int repeatTicks = {};
    // The repaint handshake: 0 idle, 1 a paint was asked for, 2 a paint was skipped in a run.
    int paintState = {};
    int pendingMode = {};   // 0, or the mode asked for
    int stepDelayMs = 100;  // the wait between two magazine steps of a click (50 for "1-st")
};
extern ToolPanelState ToolPanel;

// Set while the current tool came from an NC communication or path-reader plug-in: the panel
// shows "TMP" instead of the magazine and takes no input. Any thread.
extern std::atomic<int> PluginToolActive;

// What the panel's texts take in the panel font (pixels): the description's cells hold the widest
// label with a value of "%6.2f", the picture's labels hold a value of "%5.2f". The cells are never
// smaller than the panel's original 80 x 15 and 70 x 15.
struct ToolPanelMetrics {
    int fontHeight = 13;
    int lineHeight = 15;       // a line of text: a description cell's height, a label's line
    int cellWidth = 80;        // a cell of the tool's dimensions
    int holderCellWidth = 70;  // a cell of the holder's column
    int labelWidth = 40;       // a picture label ("100.00") with its margins
};
// The metrics for a font height, measured with the current dimension labels (their language).
ToolPanelMetrics MeasureToolPanelMetrics(int fontHeight);
// The drawing area's size for the metrics: at least the template's width x height, enlarged
// until the picture's labels stack in each slot, the description's rows fit the picture's height
// and its two columns the room left of the magazine.
void FitToolPanelArea(const ToolPanelMetrics& metrics, int* width, int* height);

// The panel's boxes for a drawing area of width x height pixels (integer arithmetic).
struct ToolPanelLayout {
    WindowRect picture = {};
    WindowRect slots[kMagazineSlots] = {};
    WindowRect forwardArrow = {};   // ">>", under slot 3
    WindowRect backwardArrow = {};  // "<<", under slot 4
};
ToolPanelLayout ComputeToolPanelLayout(int width, int height);

// The magazine position slot i shows around the middle position: position - 5 + i wrapped
// into 1 .. count.
int MagazineSlotPosition(int position, int count, int slot);
// One step forward (+1) or back (-1), wrapped into 1 .. count.
int StepMagazinePosition(int position, int count, int direction);
// The wheel's steps: delta / 120 beyond one notch, else +1 (delta >= 1) or -1.
int MagazineWheelSteps(int delta);
// The wheel's new position: position + steps; past count it becomes 1, below 1 it becomes count.
int WheelMagazinePosition(int position, int count, int steps);
// The positions "1-st" passes on its way to 1, the shorter way round.
std::vector<int> FirstToolPath(int position, int count);

// One dimension cell of the description: its box and text ("Dia = 10.00").
struct ToolDescriptionCell {
    WindowRect rect = {};
    std::string text = {};
};
// The cells of a tool next to a picture box: the type's cells, the length record's and the
// holder's second column, in the metrics' cell sizes.
std::vector<ToolDescriptionCell> FormatToolDescription(const WindowRect& picture,
                                                       const ToolRecord& tool,
                                                       const ToolLengthRecord& length,
                                                       const ArborProfile& holder,
                                                       const ToolPanelMetrics& metrics);
// The lines of a box's labels: the diameter's and the length's side by side on the first line
// when both fit the box's width, else one under the other, and the tool number on the line
// after them (each box of lineHeight from 2 pixels below the box's top).
struct ToolPictureLabels {
    WindowRect diameter = {};
    WindowRect length = {};
    WindowRect number = {};
};
ToolPictureLabels PlaceToolPictureLabels(const WindowRect& box, const ToolPanelMetrics& metrics);
// The panel's title for the tool: its type name, the holder note, the tools file and the move
// pitch, and " *" while the NC communication plug-in is loaded.
std::string FormatToolPanelTitle(const ToolRecord& tool, const ArborProfile& holder);

// Draws one tool (its derived record) into the box: outline, holder steps, control point, the
// diameter (yellow), length (magenta) and number (cyan) labels where PlaceToolPictureLabels puts
// them; the drawing is centred and scaled to keep clear of the number. Nothing for a tool without
// a shape or with a zero-sized picture.
void DrawToolPicture(PaintContext* context, const WindowRect& box, int toolNumber,
                     const CurrentToolRecord& tool, const ToolPanelMetrics& metrics);

// Paints the panel in a mode (nothing in automatic mode or without a panel).
void PaintToolPanel(int mode);

// Makes the panel (hidden) with the main window as owner; null when it cannot be made. Only one
// panel exists: a second call gives the first one.
WindowHandle CreateToolPanel(WindowHandle mainWindow);
// Asks the panel to paint in a mode through its handshake (the paint happens in its WM_PAINT).
// Any thread: off the main window's thread it only sets
// WindowRun.controls.kept.toolPanelPendingPaint.
void RepaintToolPanel(int mode);

// Restores the panel's state (tests); the panel window is left alone.
void ResetToolPanelState();

}  // namespace mirexa
