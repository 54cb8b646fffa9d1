// Window states a real window has beside its record: invalidation for WM_PAINT, the enabled state,
// the keyboard focus, and the notifications by which the native side reports what the user did.
#include <algorithm>

#include "platform/backend.h"
#include "platform/keys.h"
#include "platform/window_internal.h"

namespace mirexa {

namespace {

WindowHandle focusWindow = nullptr;  // guarded by PlatformMutex()

// The live record that may still receive posts, or null; call with the mutex held.
PlatformWindow* PostableWindow(WindowHandle window) {
    PlatformWindow* record = FindLiveWindow(window);
    return record && !record->destroying && !record->queue->threadGone ? record : nullptr;
}

void MarkInvalid(PlatformWindow* window) {
    if (window->destroying) {
        return;
    }
    window->invalid = 1;
    auto& pending = window->queue->paintPending;
    if (std::find(pending.begin(), pending.end(), window) == pending.end()) {
        pending.push_back(window);
    }
    for (WindowHandle child : window->children) {
        MarkInvalid(child);
    }
}

MessageLParam PackPosition(int x, int y) {
    return static_cast<MessageLParam>((x & 0xFFFF) | ((y & 0xFFFF) << 16));
}

// Applies the last geometry the native side reported and sends what changed.
void ApplyNativeGeometry(WindowHandle window) {
    WindowRect before;
    WindowRect after;
    int wasMinimised = 0;
    int minimised = 0;
    {
        std::lock_guard<std::mutex> lock(PlatformMutex());
        PlatformWindow* record = FindLiveWindow(window);
        if (!record || !record->nativeGeometryPending) {
            return;
        }
        record->nativeGeometryPending = 0;
        before = record->rect;
        wasMinimised = record->minimised;
        minimised = record->nativeMinimised;
        // A minimised window keeps the rectangle it is restored to.
        after = minimised ? before : record->nativeRect;
        record->rect = after;
        record->minimised = minimised;
    }
    const int width = after.right - after.left;
    const int height = after.bottom - after.top;
    const bool sized = minimised != wasMinimised || width != before.right - before.left ||
                       height != before.bottom - before.top;
    const bool moved = after.left != before.left || after.top != before.top;
    if (sized) {
        SendWindowMessage(window, WM_SIZE, static_cast<MessageWParam>(minimised ? 0 : width),
                          minimised ? 0 : height);
    }
    if (moved) {
        SendWindowMessage(window, WM_MOVE, 0, PackPosition(after.left, after.top));
    }
    if (sized || moved) {
        SendWindowMessage(window, WM_WINDOWPOSCHANGED, 0, 0);
    }
}

// Moves the focus; the hook is told only of changes the native side has not made itself.
WindowHandle MoveFocus(WindowHandle window, int fromNative) {
    WindowHandle previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(PlatformMutex());
        PlatformWindow* record = FindLiveWindow(window);
        if (window && (!record || record->destroying || record->disabled)) {
            return focusWindow;
        }
        previous = focusWindow;
        if (previous == window) {
            return previous;
        }
        focusWindow = window;
    }
    if (previous) {
        SendWindowMessage(previous, WM_KILLFOCUS, reinterpret_cast<MessageWParam>(window), 0);
    }
    if (!fromNative) {
        if (auto hook = GetPlatformBackendHooks().focusChanged) {
            hook(window);
        }
    }
    if (window) {
        SendWindowMessage(window, WM_SETFOCUS, reinterpret_cast<MessageWParam>(previous), 0);
    }
    return previous;
}

// Posts a message of the native side to the window.
int PostNative(WindowHandle window, unsigned message, MessageWParam wparam) {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    PlatformWindow* record = PostableWindow(window);
    if (!record) {
        return 0;
    }
    record->queue->posted.push_back(WindowMessage{window, message, wparam, 0});
    NotifyQueuesLocked();
    return 1;
}

}  // namespace

void ForgetFocusLocked(WindowHandle window) {
    if (focusWindow == window) {
        focusWindow = nullptr;
    }
}

int InvalidatePlatformWindow(WindowHandle window) {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    PlatformWindow* record = FindLiveWindow(window);
    if (!record) {
        return 0;
    }
    MarkInvalid(record);
    NotifyQueuesLocked();
    return 1;
}

int UpdatePlatformWindow(WindowHandle window) {
    if (!IsPlatformWindowInvalid(window)) {
        return 0;
    }
    SendWindowMessage(window, WM_PAINT, 0, 0);
    return 1;
}

int IsPlatformWindowInvalid(WindowHandle window) {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    PlatformWindow* record = FindLiveWindow(window);
    return record ? record->invalid : 0;
}

int EnablePlatformWindow(WindowHandle window, int enable) {
    const int disable = enable ? 0 : 1;
    int wasEnabled = 0;
    bool loseFocus = false;
    {
        std::lock_guard<std::mutex> lock(PlatformMutex());
        PlatformWindow* record = FindLiveWindow(window);
        if (!record) {
            return 0;
        }
        wasEnabled = record->disabled ? 0 : 1;
        if (record->disabled == disable) {
            return wasEnabled;
        }
        record->disabled = disable;
        loseFocus = disable && focusWindow == window;
    }
    if (loseFocus) {
        MoveFocus(nullptr, 0);
    }
    if (auto hook = GetPlatformBackendHooks().windowEnabled) {
        hook(window, enable ? 1 : 0);
    }
    SendWindowMessage(window, WM_ENABLE, enable ? 1 : 0, 0);
    return wasEnabled;
}

int IsPlatformWindowEnabled(WindowHandle window) {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    PlatformWindow* record = FindLiveWindow(window);
    return record && !record->disabled ? 1 : 0;
}

WindowHandle SetFocusWindow(WindowHandle window) {
    return MoveFocus(window, 0);
}

WindowHandle GetFocusWindow() {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    return FindLiveWindow(focusWindow) ? focusWindow : nullptr;
}

int PostOrReplaceWindowMessage(WindowHandle window, unsigned message, MessageWParam wparam,
                               MessageLParam lparam) {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    PlatformWindow* record = PostableWindow(window);
    if (!record) {
        return 0;
    }
    auto& posted = record->queue->posted;
    if (!posted.empty() && posted.back().window == window && posted.back().message == message) {
        posted.back().wparam = wparam;
        posted.back().lparam = lparam;
    } else {
        posted.push_back(WindowMessage{window, message, wparam, lparam});
    }
    NotifyQueuesLocked();
    return 1;
}

int NotifyNativeGeometry(WindowHandle window, const WindowRect& rect, int minimised) {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    PlatformWindow* record = PostableWindow(window);
    if (!record) {
        return 0;
    }
    record->nativeRect = rect;
    record->nativeMinimised = minimised ? 1 : 0;
    if (!record->nativeGeometryPending) {
        record->nativeGeometryPending = 1;
        record->queue->posted.push_back(WindowMessage{window, WM_NATIVE_GEOMETRY, 0, 0});
        NotifyQueuesLocked();
    }
    return 1;
}

int NotifyNativeActivate(WindowHandle window, int state) {
    if (state == WA_INACTIVE) {
        ReleaseAllKeys();
    }
    return PostNative(window, WM_ACTIVATE, static_cast<MessageWParam>(state));
}

int NotifyNativeFocus(WindowHandle window) {
    return PostNative(window, WM_NATIVE_FOCUS, 0);
}

int NotifyNativeClose(WindowHandle window) {
    return PostNative(window, WM_CLOSE, 0);
}

MessageResult HandleNativeNotification(const WindowMessage& message) {
    if (!IsWindowOfCallingThread(message.window)) {
        return 0;
    }
    switch (message.message) {
        case WM_NATIVE_GEOMETRY:
            ApplyNativeGeometry(message.window);
            return 1;
        case WM_NATIVE_FOCUS:
            MoveFocus(message.window, 1);
            return 1;
        default:
            return 0;
    }
}

}  // namespace mirexa
