// Calls from the 3D view upward, to the shell, the view window procedure, the NC program's tool
// display and the parts of the view that draw paths and the selection rectangle. The shell
// fills the record at start-up; tests fill it with fakes. A null hook means "nothing there":
// no window to invalidate, the tool shown, no panels, no path.
#pragma once

#include "platform/popup_menu.h"
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

    // --- View window procedure: the shell, panels, editors, sounds and plug-ins ---
    // NC program: 1 when an NC program is selected.
    int (*ncProgramSelected)() = {};
    // Shell: refreshes the status bar's state parts; the menu check marks; the title.
    void (*drawStatusBar)() = {};
    void (*updateMenuChecks)() = {};
    void (*updateTitle)() = {};
    // Shell: the run's resume and abort, with the main window's record of its run timers.
    void (*resumeRun)(WindowHandle main) = {};
    void (*abortRun)(WindowHandle main) = {};
    // Shell: 1 when the main window is the foreground window (null reads as 1).
    int (*mainWindowForeground)() = {};
    // Editors: opens a definition file (kViewEditor values of view_window.h) in its editor.
    void (*openDefinitionEditor)(int which) = {};
    // Shell: opens the help page; opens a file with the desktop's viewer; starts a second
    // instance of the program with the EXEC_OPTION parameters.
    void (*openHelpPage)() = {};
    void (*openWithShell)(const char* path) = {};
    void (*startSecondInstance)() = {};
    // Information panel: the trace panes (and with measuring 1 the measurement panes), the
    // stock range panes, the axis value panes, and the text of the measure pane.
    void (*drawTracePanes)(int measuring) = {};
    void (*drawStockRangePanes)() = {};
    void (*drawAxisValuePanes)() = {};
    void (*setMeasureText)(const char* text) = {};
    // Information panel: draws the NC-data strip with a text in a state (3 shown, 4 the
    // element marks no line, 5 and 6 the two flash states).
    void (*drawNcDataStrip)(const char* text, int state) = {};
    // Shell: swaps the current positions and tool pose with the main window's stored copy
    // (source 0) or with the window's run's motion snapshot (source 1, none while it holds no
    // tool) and recomputes the rotary sines and cosines; 1 when swapped.
    int (*swapToolPose)(int source) = {};
    // Stock commands: brings back the stock the last replacement took away, when the current
    // stock has no earlier state of its own; 1 when it came back.
    int (*restoreReplacedStock)() = {};
    // Stock files: loads the basic model from its file when none is loaded; 1 when loaded.
    int (*loadBasicModel)() = {};
    // NC interpreter: 1 while either table-rotation flag is set.
    int (*tableRotationActive)() = {};
    // Path picking: 1 when picking an NC line from the path is on; the text of the NC line
    // (at most capacity - 1 bytes, NUL-terminated) for a line stamp, 1 when found.
    int (*pathPickingOn)() = {};
    int (*readPathLine)(int lineStamp, char* text, int capacity) = {};
    // External editor: moves a linked editor to the line.
    void (*jumpEditorToLine)(int lineNumber) = {};
    // Sounds: plays a sound of the program (kViewSound values), stops the one playing.
    void (*playSound)(int sound) = {};
    void (*stopSound)() = {};
    // Dialogs: the modeless basis-point note at a client point of the view (null when it could
    // not be made). The view destroys it; the note's click asks the view to do so with
    // kViewCloseNote.
    WindowHandle (*openBasisPointNote)(WindowHandle view, int x, int y) = {};
    // Shell: the view's popup menu (null: none).
    const PopupMenu* (*viewPopupMenu)() = {};
};

// Filled at start-up, before any thread other than the user-interface thread runs.
extern ViewHooks ViewCallbacks;

// Fills the view's hooks of the definition-file readers (DefinitionCallbacks): a new machine
// flags every scene list and takes its AXIS DIRECTION into the camera; a new tool flags the
// tools list; head changes flag the head lists; any of them marks the view changed.
void InstallViewDefinitionCallbacks();

}  // namespace mirexa
