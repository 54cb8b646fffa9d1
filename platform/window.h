// Window handles, messages and rectangles of the platform layer: the shape the program's window
// procedures rely on, implemented by our own headless and real-window backends. Also the window
// functions, the per-thread message queues with post and send, timers and the message loop.
//
// Threads. Every window belongs to the thread that created it (its owner), and its procedure is
// only ever called on that thread. The other functions here may be called from any thread. A
// thread that exits leaves its windows behind as records that refuse posts, sends and
// destruction, so a thread destroys its windows before it ends.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mirexa {

// A window of the backend. Opaque to the program: it is created, addressed and destroyed only
// through the platform functions.
struct PlatformWindow;
using WindowHandle = PlatformWindow*;

// Message parameters: the first is an unsigned word, the second a signed word wide enough to
// carry a pointer.
using MessageWParam = std::uintptr_t;
using MessageLParam = std::intptr_t;
using MessageResult = std::intptr_t;

using WindowProcedure = MessageResult (*)(WindowHandle window, unsigned message,
                                          MessageWParam wparam, MessageLParam lparam);

struct WindowMessage {
    WindowHandle window = {};
    unsigned message = {};
    MessageWParam wparam = {};
    MessageLParam lparam = {};
};

struct WindowRect {
    int left = {};
    int top = {};
    int right = {};
    int bottom = {};
};

// Messages. Values below WM_USER are the platform's own; the program's private messages start at
// WM_USER.
constexpr unsigned WM_NULL = 0;
constexpr unsigned WM_CREATE = 1;   // sent by CreatePlatformWindow before it returns
constexpr unsigned WM_DESTROY = 2;  // sent by DestroyPlatformWindow, children after the parent
// Sent by MovePlatformWindow; wparam: width, lparam: height (pixels).
constexpr unsigned WM_SIZE = 3;
constexpr unsigned WM_SETTEXT = 4;  // lparam: const char* (UTF-8); default handling stores it
constexpr unsigned WM_CLOSE = 6;    // default handling destroys the window
constexpr unsigned WM_PAINT = 7;
constexpr unsigned WM_TIMER = 8;    // wparam: timer id
constexpr unsigned WM_COMMAND = 9;  // wparam: command id
constexpr unsigned WM_QUIT = 10;    // never dispatched: WaitWindowMessage returns 0 on it
// Input and window-state messages that the backend delivers to the program's windows (the
// headless backend only when a test or the program sends them).
constexpr unsigned WM_MOVE = 11;              // the window moved
constexpr unsigned WM_ACTIVATE = 12;          // wparam: WA_ state
constexpr unsigned WM_SETFOCUS = 13;          // the window took the keyboard focus
constexpr unsigned WM_WINDOWPOSCHANGED = 14;  // after a move, size or z-order change
// wparam: key code (VK_ values of platform/keys.h); lparam: the character the key gives (a
// code point, 0 when the sender gives none), so that a key without a key code of its own, such
// as '@', can be sent by its character.
constexpr unsigned WM_KEYDOWN = 15;
constexpr unsigned WM_KEYUP = 16;        // wparam: key code
constexpr unsigned WM_LBUTTONDOWN = 17;  // lparam: x | y << 16 (client pixels)
constexpr unsigned WM_LBUTTONUP = 18;
constexpr unsigned WM_RBUTTONDOWN = 19;
// wparam: signed wheel delta (120 per notch) as an intptr_t; lparam: x | y << 16.
constexpr unsigned WM_MOUSEWHEEL = 20;
// Files dropped on the window, sent: lparam is a const std::vector<std::string>* of the dropped
// paths at full length, valid for the duration of the call.
constexpr unsigned WM_DROPFILES = 21;
constexpr unsigned WM_MENUSELECT = 22;  // a menu item is highlighted
// wparam: the MK_ buttons held; lparam: x | y << 16 (client pixels).
constexpr unsigned WM_MOUSEMOVE = 23;
constexpr unsigned WM_RBUTTONUP = 24;  // lparam: x | y << 16
constexpr unsigned WM_ENABLE = 25;     // wparam: 1 enabled, 0 disabled
constexpr unsigned WM_KILLFOCUS = 26;  // wparam: the window taking the focus (or null)
// Notifications of the native side (NotifyNativeGeometry, NotifyNativeFocus): posted to the
// window, and turned by DispatchWindowMessage into the record change and the messages above; the
// window's procedure never receives them. A loop that holds messages back holds these too.
constexpr unsigned WM_NATIVE_GEOMETRY = 900;
constexpr unsigned WM_NATIVE_FOCUS = 901;
// Buttons held, in the wparam of WM_MOUSEMOVE.
constexpr unsigned MK_LBUTTON = 0x1;
constexpr unsigned MK_RBUTTON = 0x2;
constexpr unsigned WM_USER = 1024;
// Posted by the automation thread to the main window when its work has ended.
constexpr unsigned WM_AUTOMATION_DONE = WM_USER;

// Show commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 1;
// Minimises a top-level window (shown, client size 0 x 0 until restored; sends WM_SIZE 0, 0).
constexpr int SW_MINIMIZE = 6;
// Restores a minimised window to its rectangle (sends WM_SIZE with the rectangle's size).
constexpr int SW_RESTORE = 9;

// WM_ACTIVATE states.
constexpr int WA_INACTIVE = 0;
constexpr int WA_ACTIVE = 1;
constexpr int WA_CLICKACTIVE = 2;

struct WindowCreateParams {
    std::string className = {};  // built-in control classes: see controls.h
    std::string text = {};
    WindowProcedure procedure = {};  // null: the class's built-in procedure or the default one
    WindowHandle parent = {};
    WindowRect rect = {};
    int id = {};  // child id, found again with GetChildWindow
    int visible = {};
};

// Creates a window owned by the calling thread (whose queue receives its posted messages and
// timers), sends it WM_CREATE and returns it; null when the procedure answers WM_CREATE with -1,
// and when the parent belongs to another thread or is being destroyed (a parent that is not a
// live window is ignored: the window is a top-level one).
WindowHandle CreatePlatformWindow(const WindowCreateParams& params);

// Destroys the window and its children on the owner's thread: from another thread the call is
// handed to the owner, as a send is, and waits. Once the destruction has begun, nothing more
// reaches the window or its children from outside: messages posted to them are dropped, their
// timers stop, sends from other threads return 0 at once and those already waiting are answered
// with 0. Then each gets WM_DESTROY, parents first, and is gone as soon as its WM_DESTROY has
// returned (the owner's own sends reach a child until its WM_DESTROY). Returns 1 when done; 0
// for an unknown handle, for a destruction already under way (for example from the window's own
// WM_DESTROY), and, leaving the window as it is, when the owner's message loop has ended or the
// owner has exited, since then nobody can run WM_DESTROY.
int DestroyPlatformWindow(WindowHandle window);

// 1 while the handle names a live window.
int IsPlatformWindow(WindowHandle window);

// 1 when the handle names a live window owned by the calling thread.
int IsWindowOfCallingThread(WindowHandle window);

// The handling of every message a procedure does not handle itself.
MessageResult DefaultWindowProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                     MessageLParam lparam);

// Sets the window text (the title of a top-level window) through WM_SETTEXT.
int SetPlatformWindowText(WindowHandle window, const std::string& text);
std::string GetPlatformWindowText(WindowHandle window);

// Shows (SW_SHOW), hides (SW_HIDE), minimises (SW_MINIMIZE) or restores (SW_RESTORE) the window;
// returns 1 when it was visible before. Any command but SW_MINIMIZE ends a minimised state.
int ShowPlatformWindow(WindowHandle window, int show);
int IsPlatformWindowVisible(WindowHandle window);
// 1 while the window is minimised.
int IsPlatformWindowMinimised(WindowHandle window);

// The client rectangle, origin at 0, 0 (empty while minimised). MovePlatformWindow sets the
// window's rectangle and sends WM_SIZE (while minimised, the rectangle it is restored to).
int GetWindowClientRect(WindowHandle window, WindowRect* rect);
// The window's rectangle as last placed (in its parent's client pixels, or the screen's for a
// top-level window), kept while minimised.
int GetPlatformWindowRect(WindowHandle window, WindowRect* rect);
int MovePlatformWindow(WindowHandle window, const WindowRect& rect);

WindowHandle GetParentWindow(WindowHandle window);
std::vector<WindowHandle> GetChildWindows(WindowHandle window);
// The live top-level windows of every thread, in the order they were made.
std::vector<WindowHandle> GetTopLevelWindows();
WindowHandle GetChildWindow(WindowHandle parent, int id);
std::string GetWindowClassName(WindowHandle window);

// A word of the program's own per window (a pointer to its state).
int SetWindowUserData(WindowHandle window, std::intptr_t data);
std::intptr_t GetWindowUserData(WindowHandle window);

// Queues a message for the window's thread; returns 0 when the window does not exist, is being
// destroyed, or its thread has exited.
int PostWindowMessage(WindowHandle window, unsigned message, MessageWParam wparam,
                      MessageLParam lparam);

// Calls the window's procedure and returns its result. From the window's own thread the call is
// direct. From another thread the message is handed to the window's thread, which handles it at
// its next WaitWindowMessage or PeekWindowMessage; the caller waits for the result meanwhile (and
// handles messages sent to its own windows). From another thread it returns 0 without waiting
// when the window does not exist, is being destroyed, or its thread's message loop has ended or
// the thread has exited, and 0 as soon as one of these happens while it waits.
MessageResult SendWindowMessage(WindowHandle window, unsigned message, MessageWParam wparam,
                                MessageLParam lparam);

// As PostWindowMessage, but when the last message queued for the window's thread is the same
// message to the same window, its parameters are replaced instead, so that a slow procedure never
// builds a backlog of mouse moves.
int PostOrReplaceWindowMessage(WindowHandle window, unsigned message, MessageWParam wparam,
                               MessageLParam lparam);

// Asks the calling thread's message loop to end with the given code.
void PostLoopQuit(int exitCode);

// Takes the next message of the calling thread (posted messages in order, then the quit request,
// then a WM_PAINT for an invalid visible window, then due timers), first handling the messages
// other threads had sent to its windows when it looked (sends that arrive meanwhile wait for the
// next look, so a stream of sends cannot hold back the posted messages). Waits while there is none.
// Returns 0 for WM_QUIT (message->wparam holds the code), 1 otherwise. Once it has returned 0,
// sends from other threads return 0 until the thread calls WaitWindowMessage again.
int WaitWindowMessage(WindowMessage* message);

// As WaitWindowMessage without waiting: returns 1 and fills the message when one is pending
// (removing it when remove is 1), 0 when there is none.
constexpr int PM_NOREMOVE = 0;
constexpr int PM_REMOVE = 1;
int PeekWindowMessage(WindowMessage* message, int remove);

// Calls the procedure of the message's window; 0 when the window no longer exists or belongs to
// another thread (it is not called then).
MessageResult DispatchWindowMessage(const WindowMessage& message);

// WaitWindowMessage and DispatchWindowMessage until WM_QUIT; returns the quit code.
int RunMessageLoop();

// Starts (or restarts) a timer of the window: WM_TIMER with wparam id every elapse ms of the
// platform clock (at least 1 ms; at least kGuiTimerFloorMs on a thread with a GUI pump), taken from
// the window's thread queue when no posted message is pending. Returns id, or 0 when the window
// does not exist or is being destroyed.
unsigned StartWindowTimer(WindowHandle window, unsigned id, unsigned elapseMs);
int StopWindowTimer(WindowHandle window, unsigned id);
// 1 while the window has a timer of that id.
int IsWindowTimerRunning(WindowHandle window, unsigned id);

// --- Painting ------------------------------------------------------------------------------------
// A window is invalid from InvalidatePlatformWindow until it is next called with WM_PAINT (sent or
// dispatched). The loop of the window's thread synthesises that WM_PAINT when the window, its
// ancestors included, is visible and not minimised; any thread may invalidate.

// Marks the window and its descendants invalid; 0 for a window that is not live.
int InvalidatePlatformWindow(WindowHandle window);
// Sends WM_PAINT to the window at once when it is invalid; 1 when sent, 0 otherwise.
int UpdatePlatformWindow(WindowHandle window);
int IsPlatformWindowInvalid(WindowHandle window);

// --- Enabled state and focus -------------------------------------------------------------------
// Enables (1) or disables (0) the window and sends it WM_ENABLE when the state changes; a window
// that loses its enabled state also loses the focus. Returns 1 when the window was enabled
// before, 0 when it was disabled or is unknown.
int EnablePlatformWindow(WindowHandle window, int enable);
// 1 for a live enabled window (new windows are enabled).
int IsPlatformWindowEnabled(WindowHandle window);
// Gives the window the keyboard focus: WM_KILLFOCUS to the window that had it, then WM_SETFOCUS
// to the new one (null takes the focus away). Returns the window that had the focus; the focus is
// unchanged for a window that is not live or disabled.
WindowHandle SetFocusWindow(WindowHandle window);
WindowHandle GetFocusWindow();

// --- The native side -------------------------------------------------------------------------
// A real-window backend reports what the user did to a window with these calls, from any thread.
// Each only posts to the window's thread; the change is made when the loop dispatches it, so that
// program code runs only inside the program's own loop. Geometry notifications of one window are
// coalesced: only the last rectangle counts.

// The user moved, resized, minimised or restored the window. On dispatch the record takes the
// rectangle, and the window gets WM_SIZE (on a change of size or of the minimised state), WM_MOVE
// (lparam: left | top << 16, on a change of position) and then WM_WINDOWPOSCHANGED.
int NotifyNativeGeometry(WindowHandle window, const WindowRect& rect, int minimised);
// The window was activated (WA_ACTIVE, WA_CLICKACTIVE) or deactivated (WA_INACTIVE): posts
// WM_ACTIVATE. Deactivation also releases every key held at once (no stuck Ctrl after switching
// programs: the key-up goes to the other program).
int NotifyNativeActivate(WindowHandle window, int state);
// The window took the keyboard focus: as SetFocusWindow.
int NotifyNativeFocus(WindowHandle window);
// The close box was pressed: posts WM_CLOSE.
int NotifyNativeClose(WindowHandle window);

// --- The GUI pump ------------------------------------------------------------------------------
// A real-window backend whose toolkit has its own event queue registers a pump on its GUI thread,
// so that the layer's loop stays the outer loop: WaitWindowMessage waits in the toolkit instead of
// on the layer's queue, PeekWindowMessage lets the toolkit run first, and every change that would
// wake the GUI thread's loop also calls wake. Toolkit handlers only post to the layer (the
// NotifyNative calls, input messages), so program code still runs only where it runs headless.
struct GuiPump {
    // Any thread, possibly with the layer's lock held: makes the current or next wait return
    // (a wake-up before the wait is kept).
    void (*wake)() = {};
    // GUI thread: handles toolkit events, waiting for one or a wake-up, or at most timeoutMs
    // (-1: no limit).
    void (*wait)(std::int64_t timeoutMs) = {};
    // GUI thread: handles pending toolkit events without waiting; with excludeInput the user's
    // input stays queued in the toolkit.
    void (*poll)(int excludeInput) = {};
};
// The least period of a timer on the GUI thread (ms): shorter periods would make the toolkit's
// wait spin.
constexpr unsigned kGuiTimerFloorMs = 10;
// Makes the calling thread the GUI thread with the pump (copied); null removes the pump.
void SetGuiPump(const GuiPump* pump);
// The installed pump (every field empty when none); read it while no thread installs one.
const GuiPump& GetGuiPump();

// Sees every message a procedure is called with (sent or dispatched), on the procedure's thread,
// before the procedure. For tests and traces; an empty function removes it. Returns the previous
// one once no other thread runs it any more, so that what it uses may be freed then; an observer
// therefore never waits for another thread.
using MessageObserver = std::function<void(const WindowMessage& message)>;
MessageObserver SetMessageObserver(MessageObserver observer);

}  // namespace mirexa
