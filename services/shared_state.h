// Program-wide switches that every subsystem reads. They live here, at the bottom of the
// program, so that lower subsystems can read what the configuration and the shell set; the
// writers are named beside each one. Atomic because the simulation and automation threads read
// them while the user-interface thread may change them.
#pragma once

#include <atomic>

#include "platform/window.h"

namespace mirexa {

// 0 Japanese, 1 English; every user-visible text exists in both and is chosen at each use.
// Set by the shell when the English message file is present.
extern std::atomic<int> UiLanguage;

// 1 when the program runs without a user (batch switches or a macro file): message boxes go to
// the log, nothing waits for a user. Set by the command-line reader.
extern std::atomic<int> AutomaticMode;

// 1 while the main window is minimised and in batch modes: drawing is skipped and progress goes
// to the window title. Set by the shell.
extern std::atomic<int> DrawingSuppressed;

// 1 when long loops on the user-interface thread may dispatch pending messages. Set by the
// shell.
extern std::atomic<int> MessagePumpEnabled;

// The main window: the owner of every message box. Set by the shell when it creates the window;
// null before that (and in tests), which the platform accepts as "no owner".
extern std::atomic<WindowHandle> MainWindow;

// Picks the text of the current language.
inline const char* ChooseLanguageText(const char* english, const char* japanese) {
    return UiLanguage.load(std::memory_order_relaxed) == 1 ? english : japanese;
}

}  // namespace mirexa
