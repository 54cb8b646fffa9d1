// Inside of the platform layer: the window record and the per-thread message queue, shared by the
// window functions and the built-in controls. Not for use outside platform/.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/menus.h"
#include "platform/paint.h"
#include "platform/window.h"

namespace mirexa {

// A message sent from another thread, waiting for its result; or, with destroy set, a
// DestroyPlatformWindow handed to the window's own thread.
struct PendingSend {
    WindowMessage message = {};
    MessageResult result = {};
    int done = {};
    int destroy = {};
};

struct WindowTimer {
    WindowHandle window = {};
    unsigned id = {};
    unsigned elapseMs = {};
    std::uint64_t dueMs = {};
};

// The message queue of one user-interface thread. A thread owns a window when the window's queue
// is the thread's own queue object (thread ids are reused by later threads; queues are not).
struct ThreadMessageQueue {
    std::deque<WindowMessage> posted = {};
    std::deque<std::shared_ptr<PendingSend>> sent = {};
    std::vector<WindowTimer> timers = {};
    int quitPending = {};
    int quitCode = {};
    int loopEnded = {};   // WaitWindowMessage returned 0 and has not been called since
    int threadGone = {};  // the owning thread has exited
    // Windows invalidated since their last WM_PAINT, in the order of invalidation (entries whose
    // window was painted or destroyed meanwhile are dropped when met).
    std::vector<WindowHandle> paintPending = {};
};

}  // namespace mirexa

struct mirexa::PlatformWindow {
    std::shared_ptr<ThreadMessageQueue> queue = {};
    WindowProcedure procedure = {};
    std::string className = {};
    std::string text = {};
    WindowHandle parent = {};
    std::vector<WindowHandle> children = {};
    WindowRect rect = {};
    int visible = {};
    int minimised = {};
    int id = {};
    std::intptr_t userData = {};
    // DestroyPlatformWindow has begun on it (or on an ancestor): posts, timers and sends from
    // other threads no longer reach it.
    int destroying = {};
    // Built-in controls.
    std::vector<StatusBarPart> parts = {};
    ProgressBarValue progress = {};
    MenuHandle menuBar = {};  // null without a menu bar
    int invalid = {};         // needs a WM_PAINT
    int disabled = {};
    // The last geometry the native side reported, applied when its notification is dispatched.
    WindowRect nativeRect = {};
    int nativeMinimised = {};
    int nativeGeometryPending = {};
    std::vector<PaintOperation> lastPaint = {};  // the last ended paint record
};

namespace mirexa {

// Guards every window record and queue.
std::mutex& PlatformMutex();
// Wakes every thread waiting in WaitWindowMessage or SendWindowMessage (after a change of the
// clock).
void WakeAllMessageQueues();
// The live window record, or null; call with PlatformMutex held.
PlatformWindow* FindLiveWindow(WindowHandle window);

// Wakes every thread waiting on a queue, the GUI pump included; call with PlatformMutex held.
void NotifyQueuesLocked();
// Takes the focus from the window if it has it (no messages); call with PlatformMutex held.
void ForgetFocusLocked(WindowHandle window);
// The native side's notifications (WM_NATIVE_...), handled by DispatchWindowMessage.
inline bool IsNativeNotification(unsigned message) {
    return message == WM_NATIVE_GEOMETRY || message == WM_NATIVE_FOCUS;
}
MessageResult HandleNativeNotification(const WindowMessage& message);

// Procedures of the built-in control classes.
MessageResult StatusBarProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                 MessageLParam lparam);
MessageResult ProgressBarProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                   MessageLParam lparam);

}  // namespace mirexa
