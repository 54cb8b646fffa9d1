// Windows of the headless backend made in one call, and the pump that dispatches what is
// pending, for the tests that drive windows by hand.
#pragma once

#include <string>

#include "platform/window.h"

namespace mirexa::testing {

// A window with the given procedure, text, parent, rectangle, child id and visibility.
inline WindowHandle MakeTestWindow(WindowProcedure procedure, const std::string& text,
                                   WindowHandle parent, WindowRect rect, int id = 0,
                                   int visible = 0) {
    WindowCreateParams params;
    params.text = text;
    params.procedure = procedure;
    params.parent = parent;
    params.rect = rect;
    params.id = id;
    params.visible = visible;
    return CreatePlatformWindow(params);
}

// Takes and dispatches every pending message of the calling thread.
inline void DispatchPendingMessages() {
    WindowMessage message;
    while (PeekWindowMessage(&message, PM_REMOVE)) {
        DispatchWindowMessage(message);
    }
}

}  // namespace mirexa::testing
