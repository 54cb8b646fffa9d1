// What the shell does for the view's keys: the tool pose swapped with a stored one (I and J), a
// second instance of the program started (X), the NC program opened in the editor (E, command
// 32813) and the next stock display style (H, command 32872).
#pragma once

#include "platform/window.h"
#include "resources/program_resources.h"

namespace mirexa {

// Swaps the current positions and tool pose with the main window's stored copy (source 0; it
// holds the start pose until the first swap) or with the window's run's motion snapshot (source
// 1, only when it holds a tool), then recomputes the rotary sines and cosines. Returns 1 when
// swapped.
int SwapToolPose(int source);

// The main window's stored copy takes the current positions and tool pose (at its creation).
void StoreToolPose();

// Starts a second instance of this program with the [ExecSelf] EXEC_OPTION words as arguments,
// in the program directory, without a shell and without waiting, and logs the start. Words other
// than the built-in kDefaultSelfOption are asked for first (MayStartSettingsCommand, the files
// they name bound by a Yes). Nothing in automatic mode. Returns 1 when started.
int StartSecondInstance();

// The stock display style goes 0, 1, ... 5 and back to 0; a stock's display blocks of the current
// undo slot are rebuilt and the view redrawn.
void SelectNextStockStyle(WindowHandle view);

// Handles IDM_NC_EDIT and IDM_STOCK_DISPLAY_STYLE; 1 when the command is one of them.
int HandleViewKeyCommand(WindowHandle view, unsigned command);

}  // namespace mirexa
