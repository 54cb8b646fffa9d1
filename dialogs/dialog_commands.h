// The main window's menu commands that open a settings, colour or panel dialog.
//
// Threads. User-interface thread only.
#pragma once

#include "platform/window.h"

namespace mirexa {

// Runs the command's dialog (or shows or hides its panel) with the main window as owner, and
// redraws the view when what it drew changed. Returns 1 when the command is one of these, 0
// otherwise (nothing done).
int HandleDialogCommand(WindowHandle window, unsigned command);

}  // namespace mirexa
