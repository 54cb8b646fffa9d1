// Pointer position, mouse capture and pointer clip records, guarded by one mutex.
#include "platform/pointer.h"

#include <mutex>

namespace mirexa {

namespace {

struct PointerRecord {
    WindowHandle window = {};
    int x = {};
    int y = {};
    WindowHandle capture = {};
    WindowHandle clipWindow = {};
    WindowRect clip = {};
    int clipped = {};
};

std::mutex PointerMutex;
PointerRecord Pointer;

}  // namespace

void SetPointerPosition(WindowHandle window, int x, int y) {
    std::lock_guard<std::mutex> lock(PointerMutex);
    Pointer.window = window;
    Pointer.x = x;
    Pointer.y = y;
}

int GetPointerPosition(WindowHandle window, int* x, int* y) {
    std::lock_guard<std::mutex> lock(PointerMutex);
    if (window == nullptr || Pointer.window != window) {
        return 0;
    }
    *x = Pointer.x;
    *y = Pointer.y;
    return 1;
}

WindowHandle SetMouseCapture(WindowHandle window) {
    std::lock_guard<std::mutex> lock(PointerMutex);
    WindowHandle previous = Pointer.capture;
    Pointer.capture = window;
    return previous;
}

int ReleaseMouseCapture() {
    std::lock_guard<std::mutex> lock(PointerMutex);
    const int had = Pointer.capture != nullptr ? 1 : 0;
    Pointer.capture = nullptr;
    return had;
}

WindowHandle GetMouseCapture() {
    std::lock_guard<std::mutex> lock(PointerMutex);
    return Pointer.capture;
}

void ClipPointer(WindowHandle window, const WindowRect* rect) {
    std::lock_guard<std::mutex> lock(PointerMutex);
    if (rect == nullptr) {
        Pointer.clipped = 0;
        Pointer.clipWindow = nullptr;
        Pointer.clip = {};
        return;
    }
    Pointer.clipped = 1;
    Pointer.clipWindow = window;
    Pointer.clip = *rect;
}

int GetPointerClip(WindowHandle* window, WindowRect* rect) {
    std::lock_guard<std::mutex> lock(PointerMutex);
    if (!Pointer.clipped) {
        return 0;
    }
    if (window != nullptr) {
        *window = Pointer.clipWindow;
    }
    if (rect != nullptr) {
        *rect = Pointer.clip;
    }
    return 1;
}

}  // namespace mirexa
