// Calls from the 3D view upward, to the shell, the view window procedure, the NC program's tool
// display and the parts of the view that draw paths and the selection rectangle. The shell
// fills the record at start-up; tests fill it with fakes. A null hook means "nothing there":
// no window to invalidate, the tool shown, no panels, no path.
#pragma once

#include "platform/window.h"

namespace mirexa {

// The two floating panels over the view.
constexpr int kViewPanelCommand = 0;
constexpr int kViewPanelToolDisplay = 1;

struct ViewHooks {
    // View window: invalidates the view so that it paints again (a paint asked for while a
    // frame was being rendered, or deferred during a stock rebuild, comes back this way).
    void (*invalidateView)() = {};
    // View window: invalidates and updates the view at once (before a capture).
    void (*repaintViewNow)() = {};
    // NC program: the tool display state (0 draws the tool in the background colour); null
    // reads as 1.
    int (*toolDisplayState)() = {};
    // Tool path drawing: emits the path into the open list (0 with rotary interpolation, 1
    // without).
    void (*drawToolPath)(int withoutRotary) = {};
    // Picking: draws the rubber-band rectangle in normalised device coordinates.
    void (*drawSelectionRectangle)() = {};
    // Panels: 1 when the panel is enabled (shown with the view); shows or hides it; repaints it
    // after it was shown again.
    int (*panelEnabled)(int panel) = {};
    void (*showPanel)(int panel, int show) = {};
    void (*repaintPanel)(int panel) = {};
    // View window procedure: 1 when the message, dispatched while a stock rebuild runs, could
    // change or free the stock (undo, backup, removal, stock commands, the run timer that lets
    // the simulation thread cut on). Null treats every command and every timer as such.
    int (*changesStock)(const WindowMessage& message) = {};
};

// Filled at start-up, before any thread other than the user-interface thread runs.
extern ViewHooks ViewCallbacks;

// Fills the view's hooks of the definition-file readers (DefinitionCallbacks): a new machine
// flags every scene list and takes its AXIS DIRECTION into the camera; a new tool flags the
// tools list; head changes flag the head lists; any of them marks the view changed.
void InstallViewDefinitionCallbacks();

}  // namespace mirexa
