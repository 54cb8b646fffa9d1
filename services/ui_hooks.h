// What the shared services of the lower subsystems need from the shell, the NC interpreter, the
// plug-in host and the settings: the main window's controls, and a hooks record of function
// pointers that those higher subsystems fill at start-up (tests fill it with fakes). An empty
// hook takes the branch of "nothing there": no plug-in, no program in memory, not batch mode.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/cursor.h"
#include "platform/window.h"

namespace mirexa {

// The main window's status bar and its two progress bars (the main run's and the nested run's).
// Created and set by the shell before any progress run; null before that, which the progress
// display accepts by showing nothing.
extern std::atomic<WindowHandle> MainStatusBar;
extern std::atomic<WindowHandle> MainProgressBar;
extern std::atomic<WindowHandle> SecondProgressBar;

struct ProgressHooks {
    // Shell: rebuilds the main window's title (it reads GetProgressStatusText).
    void (*updateMainTitle)(WindowHandle mainWindow) = {};
    // Plug-in host: the index of the path-reader plug-in that reads the selected NC file,
    // negative for a plain NC text file.
    int (*activePathReader)() = {};
    // Plug-in host: 1 when the active path reader has a block-count export.
    int (*activeReaderHasBlockCount)() = {};
    // Plug-in host: calls the active reader's block-count export for the file; returns 1 and the
    // count, or 0.
    int (*readActiveReaderBlockCount)(const char* fileName, std::int32_t* count) = {};
    // NC interpreter: the line count of the NC program held in memory, 0 when none is held.
    std::int64_t (*heldProgramLineCount)() = {};
    // Settings: the PROGRESS NAME value (may be empty or null).
    const char* (*progressName)() = {};
    // Command line: 1 in a batch mode.
    int (*batchMode)() = {};
    // Simulation: 1 while the window's run's stop-before-block request is set.
    int (*stopBeforeBlockRequested)() = {};
    // View: the view's current cursor, set again after a pumped message.
    CursorHandle (*viewCursor)() = {};
    // Dialogs: the display name of the current tool, written NUL-terminated into out within
    // capacity bytes.
    void (*currentToolTypeName)(char* out, std::size_t capacity) = {};
};

// Filled at start-up, before any thread other than the user-interface thread runs.
extern ProgressHooks UiHooks;

}  // namespace mirexa
