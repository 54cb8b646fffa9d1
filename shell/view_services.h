// What the shell does for the view's keys: the tool pose swapped with a stored one (I and J),
// and a second instance of the program started (X).
#pragma once

namespace mirexa {

// Swaps the current positions and tool pose with the main window's stored copy (source 0; it
// holds the start pose until the first swap) or with MotionSnapshot (source 1, only when it
// holds a tool), then recomputes the rotary sines and cosines. Returns 1 when swapped.
int SwapToolPose(int source);

// The main window's stored copy takes the current positions and tool pose (at its creation).
void StoreToolPose();

// Starts a second instance of this program with the [ExecSelf] EXEC_OPTION words as arguments,
// in the program directory, without a shell and without waiting. Nothing in automatic mode.
// Returns 1 when started.
int StartSecondInstance();

}  // namespace mirexa
