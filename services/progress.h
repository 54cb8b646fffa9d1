// Progress display of long operations (per-mille in the status bar and on a progress bar, or in
// the main window's title while drawing is suppressed), a second bar for nested work, and the
// message pumps that keep long loops on the user-interface thread responsive.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/window.h"

namespace mirexa {

// Capacity of the percent and title texts: 24 characters and the NUL.
constexpr int PROGRESS_TEXT_CAPACITY = 25;
// The progress bars run from 0 to 1001 per-mille, so that a full run shows a full bar.
constexpr int PROGRESS_BAR_MAX = 1001;
// A title rewrite is due at once when the per-mille jumps by more than this.
constexpr int PROGRESS_TITLE_JUMP = 200;
// Title rewrites are paced to about one per this many ms.
constexpr int PROGRESS_TITLE_PERIOD_MS = 700;
// The message pumps dispatch one message when more than this many ms have passed.
constexpr std::uint32_t MESSAGE_PUMP_INTERVAL_MS = 3000;

// Ways of finding a main run's total.
constexpr int PROGRESS_MODE_TOTAL = 1;             // the given total
constexpr int PROGRESS_MODE_READER_BLOCKS = 2;     // the active path reader's block count
constexpr int PROGRESS_MODE_PROGRAM_LINES = 1000;  // the held NC program's line count
constexpr int PROGRESS_MODE_FILE_SIZE = 0;         // any other mode: file size x factor

// One progress run. Counters are atomic: the simulation thread advances the work while the
// user-interface thread may show it.
struct ProgressState {
    std::atomic<std::uint64_t> work{0};
    std::uint64_t total = 1;
    double scale = 1000.0;  // per-mille per work unit
    std::int32_t lastShown = {};
    int firstUpdateDone = {};
    // Main run only.
    std::string caption = {};      // PROGRESS NAME, else the caption of the user's language
    std::string percentText = {};  // status-bar part 1; empty when no run shows
    char titleText[PROGRESS_TEXT_CAPACITY] = {};
    WindowHandle titleWindow = {};
    int advanceCount = {};
    std::int64_t rewritePeriod = 1;
    std::uint64_t lastRewriteMs = {};
    std::string statusText = {};  // the caption of the user's language, shown in the main title
};

struct MessagePumpTimers {
    std::uint32_t lastDispatchMs = {};
    std::uint32_t nowMs = {};
    std::uint32_t elapsedMs = {};
    WindowMessage message = {};
};

// Formats into a buffer of PROGRESS_TEXT_CAPACITY bytes; returns the length, or -1 (and an empty
// buffer) when the text does not fit.
int FormatProgressText(char (&buffer)[PROGRESS_TEXT_CAPACITY], const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Starts a main run. The total comes by mode (see PROGRESS_MODE_); it is never below 1.
void BeginProgress(WindowHandle titleWindow, int mode, std::uint64_t total, const char* fileName,
                   int factor, const char* captionJapanese, const char* captionEnglish);
// Starts a main run for reading the NC file: by the active path reader's block count (no run
// when the reader has no block count), by the held program's lines, or by the file size.
void BeginProgressForNcFile(WindowHandle titleWindow, const char* ncFileName,
                            const char* captionJapanese, const char* captionEnglish);

// Work counter += n; a negative n takes work back, never below 0.
void AddProgressWork(std::int64_t n);
void IncrementProgressWork();
// The low 32 bits of the work counter.
std::uint32_t GetProgressWork();

// Shows the main progress when it advanced (or always with force).
void UpdateProgress(int force);
void UpdateProgressForActiveReader(int force);
// Ends the main run: forgets its percent and status texts, and, unless drawing is suppressed,
// clears status-bar parts 0 and 1, hides the bar and rebuilds the main title. While drawing is
// suppressed the display is left as it is.
void EndProgress();
void EndProgressForActiveReader();
// Shows the stored percent text in status-bar part 1 again, or clears the part.
void RestoreProgressText();

// The second bar over a subprogram level: its total is the level's length when its text is
// held in memory (heldLength 0 or more), otherwise the size of its file.
void BeginProgress2(WindowHandle titleWindow, const char* fileName, std::int64_t heldLength);
void AddProgressWork2(std::int64_t n);
void UpdateProgress2(int force);
void EndProgress2();

// The caption of the user's language while a main run shows, else empty; the main title shows it.
std::string GetProgressStatusText();
// The current per-mille of the main and the second run (0 .. 2^31-1).
std::int32_t GetProgressPerMille();
std::int32_t GetProgressPerMille2();

// Dispatches one pending message of this thread when more than MESSAGE_PUMP_INTERVAL_MS have
// passed since the last dispatch; returns the elapsed ms when it did nothing, else the new tick.
// The message is handled inside the caller's loop, so it may start another command: a caller
// keeps its loop's state where such a command cannot disturb it. A quit request is left pending
// for the main loop.
std::uint32_t PumpMessagesEvery3s();
// The same with its own timers; after a dispatch it sets the view's current cursor again.
std::uint32_t PumpMessagesEvery3sWait();
// Sets both pumps' last dispatch to 0 (the start of the process clock).
void ResetMessagePumpTimers();

}  // namespace mirexa
