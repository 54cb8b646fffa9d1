// The main window's commands that change settings rather than data: the machining menu's modes,
// stop modes, tool-centre-point types and setting dialogs; the display menu's panels, path
// points, axes, colours, display modes and perspective; the options menu; the commands without
// a menu item (sound, stock display style, optimised drawing, the tool key, the NC communication
// switch, the stock-modifier items); and the view's mouse tools. Every toggle and choice updates
// the menu's check marks; the settings file keeps the values at shutdown (SaveSettingsToIni).
//
// Threads. Everything here runs on the user-interface thread.
#pragma once

#include "platform/window.h"

namespace mirexa {

// The dialogs of these commands and the plug-in calls, which are built apart from them. Each
// dialog edits the records it shows and returns 1 for OK; any other answer, and a null hook, is a
// cancelled dialog that changes nothing.
struct OptionCommandHooks {
    // --- Machining menu ---
    int (*optionalBlockSkipDialog)() = {};
    int (*interferenceDialog)() = {};
    int (*structureInterferenceDialog)() = {};
    int (*controlPointDialog)() = {};
    int (*offsetDialog)(int mode) = {};  // 0 radius (D codes), 1 length (H codes)
    int (*workCoordinatesDialog)() = {};
    int (*movieDialog)() = {};
    // --- Display menu ---
    int (*colorDialog)() = {};
    int (*displayModeDialog)() = {};
    // --- Options menu; the pitch dialog edits DexelPitch.requestedPitch (mm) ---
    int (*pitchDialog)() = {};
    int (*initialConditionDialog)() = {};
    // --- Commands without a menu item ---
    int (*resizeDialog)() = {};
    int (*toolParametersDialog)() = {};
    int (*expandRateDialog)() = {};
    int (*discolorationDialog)() = {};
};
extern OptionCommandHooks OptionCommandCallbacks;

// The commands' own state.
struct OptionCommandState {
    int offsetDialogMode = {};  // 0 D codes, 1 H codes: what the offset dialog edits
};
extern OptionCommandState OptionCommands;

// The message of the pitch dialog when a stock exists and the pitch changed.
inline constexpr const char* kPitchLaterText = "Work pitch is reflected, When redefining work.";
inline constexpr const char* kPitchLaterTextJapanese = "被切削材の精度は、再定義時に反映されます。";

// Handles a command of this group with the main window; returns 1 when the command is one of
// them, also when it does nothing now: during a run the path points (32800), the control point
// (154), the real-cut modes, the cutting checks and the sound, which the run reads as it goes, do
// not change; a stop mode reaches the run at its next stop test, a tool-centre-point type the
// next run.
int HandleOptionCommand(WindowHandle window, unsigned command);

}  // namespace mirexa
