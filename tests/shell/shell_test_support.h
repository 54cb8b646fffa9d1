// A main window of the shell on the headless backend for tests: the shell's hooks records and
// program-wide switches reset, a manual clock at 0, a trace of named events the fake hooks
// record, and helpers that deliver due timers and posted messages.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/window.h"

namespace mirexa {

// Named events recorded by fake hooks, in order; any thread may record.
void RecordEvent(const std::string& name);
std::vector<std::string> RecordedEvents();
void ClearRecordedEvents();

// Resets the shell's records, hooks and switches to their start values (and the manual clock).
void ResetShellState();

// Delivers every posted message and due timer of this thread; returns how many.
int DeliverPending();

// Advances the manual clock by step ms at a time up to total ms, delivering what falls due.
void AdvanceAndDeliver(std::uint64_t totalMs, std::uint64_t stepMs = 1);

// Waits (real time, bounded) until the condition holds, delivering this thread's messages
// meanwhile; false when the bound passed.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(30));

class ShellWindowTest {
public:
    // Creates the main window with MainWndProc at the rectangle and lays it out.
    WindowHandle OpenMainWindow(WindowRect rect = {0, 0, 1000, 700});
    // Closes it (when still there) and drains the quit request.
    void CloseMainWindow();
    WindowHandle main = {};
};

}  // namespace mirexa
