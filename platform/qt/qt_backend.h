// The real-window backend on Qt 6 Widgets: its registration with the platform layer, the check for
// a display, the end of the toolkit after the program's loop, and the desktop state the shell asks.
#pragma once

#include <string>

#include "platform/window.h"

class QWidget;

namespace mirexa {

// 1 when there is a display to show windows on: a local X display (DISPLAY) that answers on its
// socket, a remote one, WAYLAND_DISPLAY, or a toolkit platform chosen through QT_QPA_PLATFORM
// (the offscreen one of the tests included). Otherwise 0, with *reason (when not null) saying why.
int IsQtDisplayAvailable(std::string* reason);
// 1 when the environment names a display (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM set and not
// empty), whether or not it answers.
int IsQtDisplayNamed();

// What the program says when the toolkit cannot go on: the display could not be opened as the
// backend started (starting 1), or it went away under the running program (0). Called once, on
// the thread where the toolkit found it, with the toolkit's message; the process then ends at once
// with exit code 2. (The toolkit would end it through exit() or abort() while the program's
// threads still run, which can hang in exit() for ever.) Null: nothing is said.
void SetQtDisplayLossHandler(void (*handler)(int starting, const std::string& message));

// Registers the backend (RegisterRealWindowBackend); StartPlatformBackend(RealWindow) then makes
// the application object on the calling thread, which becomes the GUI thread.
void RegisterQtBackend();

// On the GUI thread after the program's loop ended: deletes every widget and the application
// object, and takes the pump, the menu hooks and the responders back from the layer.
void StopQtBackend();

// 1 when the window's top-level widget is the active window of the desktop.
int IsQtForegroundWindow(WindowHandle window);
// Raises and activates the window's top-level widget.
void ActivateQtWindow(WindowHandle window);
// Asks the window manager to show the window's top-level widget minimised (state 1), maximised
// (2) or normal (0), as its frame's buttons do; the new state and geometry come back as the
// window's WM_SIZE.
void SetQtWindowState(WindowHandle window, int state);

// The widget showing the window, or null (a window without a widget: not on the GUI thread, or a
// top-level window that was never shown).
QWidget* FindQtWidget(WindowHandle window);

}  // namespace mirexa
