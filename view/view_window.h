// The view window's procedure (class "Picture"): keys, mouse tools, wheel, timers and popup
// commands turned into navigation, picking and measuring, stock backup, undo and removal,
// display-mode changes, snapshots and commands forwarded to the main window; and its state.
//
// Everything here runs on the user-interface thread. Key messages carry the key code in wparam
// and the character in lparam (platform/window.h); a key is matched by its character when the
// sender gives one, otherwise by the character its key code gives.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/cursor.h"
#include "platform/window.h"

namespace mirexa {

// The window class of the view.
inline constexpr const char* kViewWindowClass = "Picture";

// Timers of the view window.
constexpr unsigned kViewSpinTimerId = 2;     // 10 ms: spin after a flick
constexpr unsigned kViewWheelTimerId = 4;    // 25 ms: ends a wheel zoom
constexpr unsigned kViewAnimateTimerId = 7;  // 10 ms: the rotary-table animation counter
constexpr unsigned kViewSpinPeriodMs = 10;
constexpr unsigned kViewWheelPeriodMs = 25;
constexpr unsigned kViewAnimatePeriodMs = 10;
// A wheel zoom ends this long after its last step (ms).
constexpr std::uint64_t kWheelZoomEndMs = 50;
// A release this soon after the last drag move starts the spin (ms).
constexpr std::uint64_t kSpinFlickMs = 75;

// The main window's run timer, restarted by the stop key.
constexpr unsigned kViewRunTimerId = 101;
constexpr unsigned kViewRunTimerPeriodMs = 5;

// Mouse tools (ViewMouseMode).
constexpr int kMouseModeMeasure = 1;
constexpr int kMouseModeStockPartKeep = 8;
constexpr int kMouseModeStockPartRemove = 9;
constexpr int kMouseModePathPick = 5;
constexpr int kMouseModeSound = 4;
constexpr int kMouseModeRectangle = 14;

// Commands of the view (WM_COMMAND wparam), from its popup menu or the main window.
constexpr unsigned kViewCommandFirst = 248;
constexpr unsigned kViewCommandStockPartA = 248;  // tool 8
constexpr unsigned kViewCommandStockPartB = 249;  // tool 9
constexpr unsigned kViewCommandMeasure = 250;     // tool 1; 251 .. 253 tools 2 .. 4
constexpr unsigned kViewCommandPathPick = 254;    // tools 5 .. 7 for 254 .. 256
constexpr unsigned kViewCommandRotate = 257;
constexpr unsigned kViewCommandRectangle = 261;
constexpr unsigned kViewCommandLast = 261;
// Asks the view to destroy the basis-point note (sent by the note on a click).
constexpr unsigned kViewCloseNote = WM_USER + 225;

// Commands posted to the main window.
constexpr unsigned kMainCommandCutResult = 32776;  // F5
constexpr unsigned kMainCommandPath = 32777;       // F6
constexpr unsigned kMainCommandPathNoRot = 32778;  // F7
constexpr unsigned kMainCommandEditNc = 32813;     // E
constexpr unsigned kMainCommandNextStyle = 32872;  // H

// Definition files the F keys open (ViewHooks::openDefinitionEditor).
enum ViewEditorFile : int {
    kViewEditorSettings = 0,    // Ctrl+F1
    kViewEditorVerifyForm = 1,  // Ctrl+F2: "verify_form.def"
    kViewEditorTools = 2,       // F2: the holder library (when named), then the tools file
    kViewEditorController = 3,  // F3
    kViewEditorMachine = 4,     // F4
};

// Sounds the view plays (ViewHooks::playSound): the pick sound of the path tool, and the release
// sounds of the measuring tools 1 .. 5 (kViewSoundRelease + tool - 1).
constexpr int kViewSoundPick = 1;
constexpr int kViewSoundRelease = 10;

// Cursor roles of the view; SetViewCursor loads each by its name through platform/cursor.h.
enum ViewCursorRole : int {
    kViewCursorIdle = 0,  // the cursor of the current mouse tool
    kViewCursorWait,
    kViewCursorArrow,
    kViewCursorRotate,
    kViewCursorZoom,
    kViewCursorPan,
    kViewCursorMeasure,
    kViewCursorTool2,
    kViewCursorTool3,
    kViewCursorTool4,
    kViewCursorPathPick,
    kViewCursorStockPart,
    kViewCursorStockPartOther,
    kViewCursorRectangle,
    kViewCursorRectangleNE,  // the four drag directions of the rubber band
    kViewCursorRectangleNW,
    kViewCursorRectangleSE,
    kViewCursorRectangleSW,
    kViewCursorSpin,
    kViewCursorRoleCount,
};
// Makes the cursor of the role current (kViewCursorIdle: the mouse tool's cursor).
void SetViewCursor(int role);
// The cursor of the role (kViewCursorIdle: the mouse tool's cursor), without making it current.
CursorHandle GetViewRoleCursor(int role);
// The name the role's cursor is loaded by.
const char* ViewCursorName(int role);

// The mouse tool: 1 .. 7 measuring tools, 8 and 9 the stock-part tools, 11 rotate (start),
// 12 zoom, 13 pan, 14 rectangle.
extern int ViewMouseMode;

// Client size and the 24-bit image geometry, set at WM_SIZE.
struct ViewSizeState {
    int width = {};
    int height = {};
    double aspect = 1.0;
    int stride = {};          // width * 3 rounded up to a multiple of 4
    std::uint64_t size = {};  // stride * height
};

struct ViewDragState {
    int active = {};           // a navigation drag
    int rectangleActive = {};  // a tool-14 drag
    int rightHeld = {};
    int ctrlLatch = {};  // set by Ctrl in the view, cleared by the next angle key
    int pressX = {};
    int pressY = {};
    std::uint64_t lastMoveTick = {};
    std::uint64_t releaseTick = {};
    int spinSpeed = {};  // signed steps of 2.5 deg
    int spinAxis = {};   // 1 A, 2 B
};

// The zoom-to-rectangle mode of the Z key.
struct ZoomRectangleState {
    int active = {};    // rectangle mode on
    int dragging = {};  // the left button is down
    int startX = {};
    int startY = {};
    int endX = {};
    int endY = {};
    double corners[4][2] = {};  // normalised device coordinates, drawn by the renderer
};

struct WheelZoomState {
    int active = {};
    std::uint64_t lastTick = {};
};

// Everything else the view window keeps between messages.
struct ViewWindowState {
    ViewSizeState size = {};
    ViewDragState drag = {};
    ZoomRectangleState rectangle = {};
    WheelZoomState wheel = {};
    int fromPanel = {};       // set by the command panel while it sends a key
    int focus = {};           // the view had the focus last
    int stockPartState = {};  // 0, 1 or 2 (tools 8 and 9)
    int stockPartSide = {};   // 1 keep side, 0 the other
    int soundFlags[5] = {};   // release sounds of the measuring tools
    int popupActive = {};
    int noteOpen = {};
    int noteJustOpened = {};  // the right press that opened the note is not released yet
    WindowHandle note = {};
    int animationCounter = {};  // 0 .. 35
    int animationRunning = {};
    int spinRunning = {};
    int unusedPartShown = {};
    double measureValue = 999999.0;
    int viewFocusFlag = {};
    // Stock-changing input that arrived while the view rebuilt its stock or path lists; posted
    // to the view again after the rebuild.
    std::vector<WindowMessage> deferred = {};
};
extern ViewWindowState ViewWindow;

// Back to the start state (mode 11, no drag, no rectangle, nothing deferred, timers off in the
// record; the window's own timers are not touched).
void ResetViewWindowState();

// The window procedure of the view.
MessageResult ViewWndProc(WindowHandle window, unsigned message, MessageWParam wparam,
                          MessageLParam lparam);

// 1 while the view rebuilds the stock's display lists or draws the path (a paint is rendering),
// when messages dispatched by a long loop's pump must not change or free the stock.
int IsViewRebuilding();
// 1 when the message, reaching the view while it rebuilds, could change or free the stock:
// the stock-changing keys (B, C, Delete, I, J, T, A, ^, P) and left clicks of the stock tools.
// The shell installs it as ViewHooks::changesStock together with its own commands.
int ViewInputChangesStock(const WindowMessage& message);

// The view's answer to ViewHooks::changesStock: every command and timer (they may free the
// stock or let the simulation cut on), and the input of ViewInputChangesStock.
int ViewMessageChangesStock(const WindowMessage& message);

// Fills the view window's hooks (changesStock) and the picking callbacks; the shell calls it at
// start-up.
void InstallViewWindowCallbacks();

// The character a key message stands for: the view's symbol keys ("@", "^", "[", "]") as typed;
// the key's own for letter and digit keys (main row and numeric keypad), whatever other symbol
// the sender gave with Shift; else lparam's character when the sender gave one (upper case for
// letters); 0 for keys without one.
int ViewKeyCharacter(MessageWParam keyCode, MessageLParam keyData);

// Key handling of WM_KEYDOWN (view_keys.cpp); shiftHeld, ctrlHeld: Shift and Ctrl as the key's
// message has them, not as the keys stand when the message is handled.
void HandleViewKey(WindowHandle window, unsigned keyCode, int character, bool shiftHeld,
                   bool ctrlHeld);

// The view angle keys '1' .. '9', '0': sets A and B by the table of angle keys (Shift for '7'
// turns B too), then trig, triad and the Ctrl latch's zoom reset. Returns 1 when the view changed.
int ApplyViewAngleKey(int character, int shiftHeld);

// Copies the view to the clipboard as a device-independent bitmap: a 40-byte header (size 40,
// width, height, 1 plane, 24 bits, no compression, image size) and the BGR rows. 1 on success.
int CopyViewToClipboard();

// Delete: the unused-part removal at the cursor point (keep the picked piece with keepPicked).
// Returns the removal's result (0 when nothing was picked).
int RemoveUnusedPartAtCursor(WindowHandle window, int keepPicked);

// Starts the stop key's abort of a run: abort flag, pause flags cleared, status part 3 emptied,
// the main window's run timer at 5 ms when it is not running.
void AbortRunFromView(WindowHandle mainWindow);

// Marks the end of a key that asked for a redraw: scene changed, view invalidated and updated
// (unless a stop before a block is pending in a run), status part 0 emptied, idle cursor.
void FinishViewRedrawKey(WindowHandle window);

// Invalidates and paints the view now (the paint runs through the procedure).
void RedrawView(WindowHandle window);

// What the main window asks of the view around its own messages.
// The view's rectangle changed size (pixels): with rescale 1 the projection takes the new size at
// once (the view's WM_SIZE does it otherwise); the triad is rebuilt.
void NoteViewResized(int width, int height, int rescale);
// The view draws again at its next paint (after a resize or a pause).
void MarkViewForRedraw();
// A wheel zoom of the main window by steps at the tick (ms).
void ZoomViewBySteps(int steps, std::uint64_t tick);
// 1 when the wheel zoom was not running and now is: the caller starts the view's wheel timer.
int BeginViewWheelZoom();
// 1 while a wheel zoom or a drag of the view is under way.
int IsViewBusy();
// The right button of the main window: the stock-part tool keeps the other side (nothing while
// that tool is off).
void ToggleStockPartSide();
// Ctrl went down (1) or up (0) in the main window: down latches Ctrl and turns a rotating drag
// into a zoom; up clears the latch and brings the rotate tool back (a zooming drag, or any
// navigation tool without a drag). Nothing in the rectangle mode.
void NoteControlKey(int down);

}  // namespace mirexa
