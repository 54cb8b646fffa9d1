// Inside of the platform layer: the window record and the per-thread message queue, shared by the
// window functions and the built-in controls. Not for use outside platform/.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/controls.h"
#include "platform/window.h"

namespace mirexa {

// A message sent from another thread, waiting for its result.
struct PendingSend {
    WindowMessage message = {};
    MessageResult result = {};
    int done = {};
};

struct WindowTimer {
    WindowHandle window = {};
    unsigned id = {};
    unsigned elapseMs = {};
    std::uint64_t dueMs = {};
};

// The message queue of one user-interface thread.
struct ThreadMessageQueue {
    std::thread::id owner = {};
    std::deque<WindowMessage> posted = {};
    std::deque<std::shared_ptr<PendingSend>> sent = {};
    std::vector<WindowTimer> timers = {};
    int quitPending = {};
    int quitCode = {};
    int loopEnded = {};   // WaitWindowMessage returned 0 and has not been called since
    int threadGone = {};  // the owning thread has exited
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
    int id = {};
    std::intptr_t userData = {};
    int destroying = {};  // DestroyPlatformWindow has begun on it
    // Built-in controls.
    std::vector<StatusBarPart> parts = {};
    ProgressBarValue progress = {};
};

namespace mirexa {

// Guards every window record and queue.
std::mutex& PlatformMutex();
// Wakes every thread waiting in WaitWindowMessage or SendWindowMessage (after a change of the
// clock).
void WakeAllMessageQueues();
// The live window record, or null; call with PlatformMutex held.
PlatformWindow* FindLiveWindow(WindowHandle window);

// Procedures of the built-in control classes.
MessageResult StatusBarProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                 MessageLParam lparam);
MessageResult ProgressBarProcedure(WindowHandle window, unsigned message, MessageWParam wparam,
                                   MessageLParam lparam);

}  // namespace mirexa
