// Window handles, messages and rectangles of the platform layer: the shape the program's window
// procedures rely on, implemented by our own headless and real-window backends.
#pragma once

#include <cstdint>

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

}  // namespace mirexa
