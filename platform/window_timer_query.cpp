// Whether a window's timer runs: read under the platform mutex from the owner's timer list.
#include <algorithm>
#include <mutex>

#include "platform/window.h"
#include "platform/window_internal.h"

namespace mirexa {

int IsWindowTimerRunning(WindowHandle window, unsigned id) {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    PlatformWindow* record = FindLiveWindow(window);
    if (!record || record->destroying) {
        return 0;
    }
    const auto& timers = record->queue->timers;
    return std::any_of(timers.begin(), timers.end(),
                       [&](const WindowTimer& t) { return t.window == window && t.id == id; })
               ? 1
               : 0;
}

}  // namespace mirexa
