// The mouse pointer: its position over a window, the window that has captured the mouse, and the
// rectangle the pointer is confined to. The headless backend keeps them as records that the
// program's handlers and the tests set; a real backend moves the pointer as well.
#pragma once

#include "platform/window.h"

namespace mirexa {

// Records the pointer at (x, y) client pixels of the window (also how the program moves the
// pointer back to a point). Any thread.
void SetPointerPosition(WindowHandle window, int x, int y);
// The pointer in the window's client pixels: 1 when the last recorded position was over this
// window, 0 (outputs untouched) when it was over another window or nothing was recorded.
int GetPointerPosition(WindowHandle window, int* x, int* y);

// Gives the window all mouse input until released; returns the window that had it (or null).
WindowHandle SetMouseCapture(WindowHandle window);
// Ends any capture; 1 when there was one.
int ReleaseMouseCapture();
WindowHandle GetMouseCapture();

// Confines the pointer to the rectangle (client pixels of the window); a null rectangle frees it.
void ClipPointer(WindowHandle window, const WindowRect* rect);
// 1 and the rectangle while the pointer is confined.
int GetPointerClip(WindowHandle* window, WindowRect* rect);

}  // namespace mirexa
