// Choice of the platform backend at start-up. Windows, queues, timers and controls are records of
// the platform layer in every backend; a backend adds the native side (real windows, drawing,
// input) through the hooks below. The headless backend has no native side and leaves them empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

namespace mirexa {

struct PaintOperation;

enum class PlatformBackend {
    Headless,    // records only; OpenGL off-screen through EGL
    RealWindow,  // windows on the desktop, when a real-window backend is registered
};

// A finished picture of a program-drawn window (the 3D view), for the native side to show:
// 24-bit BGR rows from the bottom up, `stride` bytes apart, valid during the call.
struct PresentedFrame {
    const std::uint8_t* pixels = {};
    int width = {};   // pixels
    int height = {};  // pixels
    int stride = {};  // bytes per row
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
    void (*windowEnabled)(WindowHandle window, int enabled) = {};
    // The program moved the focus (not called for focus changes the native side reported).
    void (*focusChanged)(WindowHandle window) = {};
    // Shows the window's new picture; null when the backend shows no pictures (then nobody
    // reads one back for it).
    void (*framePresented)(WindowHandle window, const PresentedFrame& frame) = {};
    // Replays an ended paint record (platform/paint.h) on the window's retained picture.
    void (*painted)(WindowHandle window, const std::vector<PaintOperation>& operations) = {};
    // The width (pixels) of a UTF-8 text in the paint font of that pixel height.
    int (*measureText)(int fontPixelHeight, const std::string& text) = {};
    // The program's current cursor changed (SetCursorHandle); any thread.
    void (*cursorChanged)() = {};
    // A block of that format was put on the clipboard (SetClipboardData); any thread.
    void (*clipboardChanged)(unsigned format) = {};
    // The interface's language became English (1) or Japanese (0): the toolkit's own texts
    // (file dialogs, message-box buttons) follow it. User-interface thread.
    void (*languageChanged)(int english) = {};
    // The part of the primary screen windows may take (without panels and docks), in screen
    // pixels; 1, or 0 when the backend does not know it.
    int (*screenWorkArea)(WindowRect* out) = {};
    // Where the pointer is now, in the window's client pixels: 1 when it is over the window (not
    // over a window in front of it), 0 when it is elsewhere, -1 when the backend cannot tell.
    int (*pointerOverWindow)(WindowHandle window, int* x, int* y) = {};
};

// A real-window backend: start makes its toolkit ready (1) or fails (0); the hooks are then the
// layer's. Registered by the program before StartPlatformBackend, from a library of its own so
// that the layer never depends on the toolkit; null unregisters.
struct RealWindowBackend {
    int (*start)() = {};
    PlatformBackendHooks hooks = {};
};
void RegisterRealWindowBackend(const RealWindowBackend* backend);
// The registered backend; an empty one when none is registered.
const RealWindowBackend& GetRegisteredRealWindowBackend();

// Selects the backend; call once at start-up before the first window. Returns 1 on success, 0
// when the backend is not available in this build or did not start (then the headless one stays
// selected).
int StartPlatformBackend(PlatformBackend backend);
PlatformBackend GetPlatformBackend();
const PlatformBackendHooks& GetPlatformBackendHooks();

// The screen's work area (see PlatformBackendHooks::screenWorkArea); the headless backend has a
// fixed screen of HEADLESS_SCREEN_RECT.
inline constexpr WindowRect HEADLESS_SCREEN_RECT = {0, 0, 4096, 4096};
WindowRect GetScreenWorkArea();

// Hands the window's finished picture to the backend; 0 when the backend shows no pictures.
int PresentWindowFrame(WindowHandle window, const PresentedFrame& frame);
// 1 when the selected backend shows pictures (worth reading them back for).
int HasFramePresenter();

// The pointer over the window, in its client pixels (1), or elsewhere (0): where the backend
// finds it now, else where the window's last mouse message put it (GetPointerPosition). A
// window that had the last mouse message may have lost the pointer since without a message of
// its own (the pointer gone to a window that takes no moves, or moved under a menu's grab).
int GetPointerOverWindow(WindowHandle window, int* x, int* y);

// Tells the backend the interface's language: 1 English, 0 Japanese.
void SetInterfaceLanguage(int english);

}  // namespace mirexa
