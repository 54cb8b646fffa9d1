// What the run's reports, alarm messages and end-of-run work call in the shell, the view and the
// panels. The shell fills the hooks at start-up; tests fill them with recording fakes. A null
// hook means "nothing there": no viewer opens, no sound plays, nothing is drawn.
#pragma once

namespace mirexa {

struct RunEndHooks {
    // --- Reports ---
    // Opens a written report in the desktop's viewer (never called in automatic mode).
    void (*openInViewer)(const char* path) = {};
    // Plays a system sound and returns when it has played ("SystemHand").
    void (*playSystemSound)(const char* name) = {};
    // The status bar's text of the recorded interference kind (UTF-8).
    void (*setCollisionKindText)(const char* text) = {};
    // Repaints the tool display panel when it is shown.
    void (*repaintToolPanel)() = {};
};
extern RunEndHooks RunEndCallbacks;

}  // namespace mirexa
