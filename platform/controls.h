// Built-in controls of the platform layer: the status bar with its text parts and the progress
// bar. They are windows of the named classes; their messages are sent like any other, so a worker
// thread's update waits until the user-interface thread has handled it.
#pragma once

#include <string>
#include <vector>

#include "platform/window.h"

namespace mirexa {

inline constexpr const char* STATUSBAR_CLASS = "StatusBar";
inline constexpr const char* PROGRESSBAR_CLASS = "ProgressBar";

// Status bar messages. SB_SETTEXT is the value the program fixes for it.
constexpr unsigned SB_SETTEXT = WM_USER + 1;   // wparam: part | flags, lparam: const char*
constexpr unsigned SB_SETPARTS = WM_USER + 4;  // wparam: count, lparam: const int* right edges
constexpr unsigned SB_GETPARTS = WM_USER + 6;  // returns the part count
// The part is drawn without its sunken border (used when a part is cleared).
constexpr unsigned SBT_NOBORDERS = 0x100;
constexpr unsigned SB_PART_MASK = 0xFF;
constexpr int STATUSBAR_MAX_PARTS = 256;

// Progress bar messages: our own values.
constexpr unsigned PBM_SETRANGE = WM_USER + 101;  // wparam: low, lparam: high
constexpr unsigned PBM_SETSTEP = WM_USER + 102;   // wparam: step; returns the previous step
constexpr unsigned PBM_SETPOS = WM_USER + 103;    // wparam: position; returns the previous one
constexpr unsigned PBM_GETPOS = WM_USER + 104;

struct StatusBarPart {
    std::string text = {};
    unsigned flags = {};  // SBT_ flags of the last SB_SETTEXT
    int rightEdge = {};   // pixels from the bar's left edge; -1 reaches the right end
};

struct ProgressBarValue {
    int low = {};
    int high = 100;
    int step = 10;
    int position = {};  // always within low..high
};

// Creates a status bar along the bottom of the parent, with one part.
WindowHandle CreateStatusBar(WindowHandle parent, int id);
// Sets the parts by their right edges (-1 for the last reaching the end); texts of parts that
// remain are kept. Returns 0 for a count outside 1..STATUSBAR_MAX_PARTS.
int SetStatusBarParts(WindowHandle bar, const std::vector<int>& rightEdges);
// Sends SB_SETTEXT; flags are SBT_ flags. Returns 0 for a part outside the bar's parts.
int SetStatusBarText(WindowHandle bar, int part, unsigned flags, const std::string& text);
// Reads a part back (texts and flags as last set); empty for a part that does not exist.
StatusBarPart GetStatusBarPart(WindowHandle bar, int part);
int GetStatusBarPartCount(WindowHandle bar);

// Creates a hidden progress bar (range 0..100, step 10, position 0) as a child of the parent.
WindowHandle CreateProgressBar(WindowHandle parent, int id, const WindowRect& rect);
// Reads the bar's range, step and position back.
ProgressBarValue GetProgressBarValue(WindowHandle bar);

}  // namespace mirexa
