// Choice of the platform backend at start-up. Windows, queues, timers and controls are records of
// the platform layer in every backend; a backend adds the native side (real windows, drawing,
// input) through the hooks below. The headless backend has no native side and leaves them empty.
#pragma once

#include <string>

#include "platform/window.h"

namespace mirexa {

enum class PlatformBackend {
    Headless,    // records only; OpenGL off-screen through EGL
    RealWindow,  // windows on the desktop (not built yet)
};

// Called by the platform layer after each change of a window record, on the thread that made
// the change. Any of them may be null.
struct PlatformBackendHooks {
    void (*windowCreated)(WindowHandle window) = {};
    void (*windowDestroyed)(WindowHandle window) = {};
    void (*windowTextChanged)(WindowHandle window, const std::string& text) = {};
    void (*windowShown)(WindowHandle window, int visible) = {};
    void (*windowMoved)(WindowHandle window, const WindowRect& rect) = {};
    // A control's value changed (status bar text, progress bar position): redraw it.
    void (*controlChanged)(WindowHandle control) = {};
};

// Selects the backend; call once at start-up before the first window. Returns 1 on success, 0
// when the backend is not available in this build (then the headless one stays selected).
int StartPlatformBackend(PlatformBackend backend);
PlatformBackend GetPlatformBackend();
const PlatformBackendHooks& GetPlatformBackendHooks();

}  // namespace mirexa
