// The scene renderer: rebuilds the display lists whose flags are set, then draws every list in a
// fixed order, placing table-side parts, the stock and the path in the table's moving frame and
// head-side parts and the tool in the head's moving frame.
#pragma once

#include "stock/stock_model.h"
#include "view/display_lists.h"

namespace mirexa {

// View toggles and animation state the renderer reads (set by the view's keys and timers).
struct SceneDisplayState {
    int rotationCentreShown = {};   // list 30 is rebuilt and drawn at every render
    int rubberBandActive = {};      // the selection rectangle is drawn in screen space
    int animationAxis = {};         // 3 rotary axis 1, 4 rotary axis 2, 0 none
    int animationCounter = {};      // 0 .. 35: the animated axis is turned by 10 deg per count
    int lastToolDisplayState = -1;  // the NC tool display state at the last build of list 4
};
extern SceneDisplayState SceneDisplay;

// The machine's linear position (mm) split into the table-side and head-side translations
// (display units): each axis that moves the table (tableCarries) goes to the table side
// negated and leaves the head side 0; the others go to the head side. A mounted current tool's
// station offset (mm, or null) is taken off the head side.
void SplitMachineTranslation(const double machine[3], const unsigned char tableCarries[3],
                             const double* stationOffset, double table[3], double head[3]);

// Renders one frame of the scene into the current context: the caller made the view's context
// current and set the projection (SetViewProjection), and swaps or captures afterwards. model
// is the current stock (or null) and table its list names. Returns 1, or 0 when called while a
// frame is being rendered (a paint dispatched from inside a rebuild): the view is then only
// invalidated so that it paints again afterwards; 0 also without the view's context (no list
// names reserved), drawing nothing.
int RenderScene(StockModel* model, StockListNameTable* table);

// 1 while RenderScene runs.
int IsSceneRendering();

}  // namespace mirexa
