// The information panel as a control surface: what a left click on each pane does (dialogs by
// posted commands, display kinds, stop modes, pause, resume and abort of a run) and manual jog,
// which moves one axis step by step with cutting and the interference checks on.
//
// Threads: user-interface thread only (the clicks and the jog's timer arrive there).
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace mirexa {

// The jog repeat timer: first after 500 ms, then every JOG_REPEAT_PERIOD_MS. The repeat period is
// kept at 10 ms or more, the shortest period a desktop timer keeps, so that the acceleration is
// the same on every platform.
constexpr unsigned JOG_FIRST_DELAY_MS = 500;
constexpr unsigned JOG_REPEAT_PERIOD_MS = 10;
// The jog speed grows by this factor per repeat while it is below JOG_SPEED_LIMIT.
constexpr double JOG_SPEED_FACTOR = 1.5;
constexpr double JOG_SPEED_LIMIT = 1000.0;

struct ManualJogState {
    int pressedButton = {};     // 0 none, 1..10 (two per axis row, odd "+"), -1 after leaving it
    double speed = 1.0;         // least increments per repeat (truncated)
    int undoPushed = {};        // this press made an undo point of the stock
    double removedVolume = {};  // mm^3 removed by this press
    int overTravel = {};        // the last step went beyond a stroke
};
extern ManualJogState ManualJog;

// The speed after one more repeat: times JOG_SPEED_FACTOR while below JOG_SPEED_LIMIT.
double NextJogSpeed(double speed);

// Results of one jog step.
constexpr int kJogMoved = 0;         // moved (and cut); nothing was hit
constexpr int kJogOverTravel = 91;   // the axis is beyond its stroke: nothing was cut
constexpr int kJogInterference = 1;  // the step touched the stock or a structure

// One jog step: the program position of the axis (0..4) moves by increments least input
// increments (signed) and is rounded to whole increments; the move counts as a rapid; the
// over-travel check, then the cut and the enabled structure checks run at the new pose. On
// over-travel or interference the message is shown and the motion state saved.
int JogAxisStep(WindowHandle window, int axis, int increments);

// A left button press or release on a pane of the panel window (kPanelStrip, kPanelColumn) at
// its client point.
void HandleInfoPanelMouse(int panelWindow, unsigned message, int x, int y);
// The same for a point of the main window's client area (the panel lies over its strip and
// column).
void HandleMainWindowPanelClick(WindowHandle mainWindow, unsigned message, MessageLParam point);
// Timer IDT_JOG_REPEAT of the main window.
void JogRepeatTick(WindowHandle mainWindow);

}  // namespace mirexa
