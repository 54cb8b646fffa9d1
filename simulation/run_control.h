// The controls a run's thread (the worker) shares with the user-interface thread while the run
// goes: the handshakes built on them (redraw, pause at a stop block, abort) and the alarms the run
// raises. They are one run's: StartCuttingRun (through GiveRunRequest) makes them new, and the
// window again once it has taken its run's end, so that nothing a run raised (an over-travel, a
// step alarm, a pending stop, a held line, an abort) is seen by the next or between runs. What
// the window keeps between its runs (the tool mounted last, the state of the last step, the tool
// panel's repaint, the wiring's redraw call) is apart, in RunControls::kept, and no run's start
// touches it. Each run object holds its own (CuttingRun::controls); the window steers and reads
// its run's (WindowRun.controls). The run's published status (the block and the progress) is the
// window's, below.
//
// Every shared flag is a sequentially consistent atomic. A handshake has one raising side: the
// worker raises redrawRequest and pauseRequest and the user-interface thread clears them (the
// worker clears redrawRequest itself only on abort); the user-interface thread raises
// stopKeyRequest and abortRequest, which the worker only reads. The store and load of
// redrawRequest order the worker's stock writes before the user-interface thread's reads and
// those reads before the worker's next writes, so the stock needs no lock while both sides keep
// to the handshake.
#pragma once

#include <atomic>
#include <cstdint>

#include "services/run_mode.h"

namespace mirexa {

// What the window keeps between its runs, which a run's start leaves as it is.
struct RunKeptControls {
    // Called on the worker right after it raises redrawRequest (null: nothing), so that the
    // user-interface thread serves the request at once instead of at its next timer tick. Filled
    // by the wiring.
    std::atomic<void (*)()> redrawRaised{nullptr};
    // Worker: asks the user-interface thread to repaint the tool display panel at its next tick.
    std::atomic<std::int32_t> toolPanelPendingPaint{0};
    // Worker: the tool the run mounted last (-1 none yet), for the panels that show it.
    std::atomic<std::int32_t> mountedTool{-1};
    // Worker: the per-step contact state: 0 rapid without contact, 1 in material, 2 feed without
    // contact, 4 alarm; 1 at run start, kept after the run for the panels and the recording.
    std::atomic<std::int32_t> simulationState{1};
};

// What one run raises and answers; made new at the run's start (RenewRunControls).
struct RunControls {
    std::atomic<std::int32_t> abortRequest{0};     // UI: end the run now (RequestRunAbort)
    std::atomic<std::int32_t> redrawRequest{0};    // worker: repaint, then clear
    std::atomic<std::int32_t> pauseRequest{0};     // worker: waiting at a stop block
    std::atomic<std::int32_t> pauseBlink{0};       // blink phase of the STOP pane
    std::atomic<std::int32_t> lineHeld{0};         // the next NC line was read for the stop test
    std::atomic<std::int32_t> stopKeyRequest{0};   // UI: stop before the next block
    std::atomic<std::int32_t> pendingStop{0};      // UI: the next block is a stop block
    std::atomic<std::int32_t> showSteps{0};        // the current move is shown step by step
    std::atomic<std::int32_t> overTravelAxis{-1};  // first axis out of its stroke, -1 none
    std::atomic<std::int32_t> stepAlarm{0};        // the current step raised an alarm
    // UI: the stop mode (0 .. 4) the user chose during the run, -1 none; the worker takes it into
    // the run's controller copy at its next stop test.
    std::atomic<std::int32_t> stopModeRequest{-1};
    // Not the run's: what the window keeps between runs.
    RunKeptControls kept;
};

// Makes the run's part of the controls new (every flag idle, overTravelAxis and stopModeRequest
// -1); kept stays. Called with no thread of the run going.
void RenewRunControls(RunControls& controls);

// The worker's two waits sleep until the user-interface side answers and wakes them
// (WakeRunWaiters); a flag changed without a wake (from a signal handler) is still seen within
// these periods (ms).
inline constexpr int kRedrawLookMs = 5;
inline constexpr int kPauseLookMs = 100;

// --- Worker side ----------------------------------------------------------------------------

// 1 when nobody watches the run's drawing, so the worker asks for no redraw at all: drawing is
// suppressed (a batch or silent macro run, a minimised window), the run was started by a
// command-line run mode above 4 (runLogFlag, the request's), whose redraws would draw nothing, or
// it runs automatically (command-line batch or macro) on the headless backend, which shows
// nothing.
int RunDrawsNothing(int runLogFlag);

// RedrawRequest's raised values: a frame must be drawn, or (a step inside a move) it may be left
// out when the last frame shown is younger than a screen refresh.
inline constexpr std::int32_t kRedrawFrame = 1;
inline constexpr std::int32_t kRedrawFrameMayCoalesce = 2;

// Raises redrawRequest (kRedrawFrameMayCoalesce when mayCoalesce, else kRedrawFrame) and sleeps
// until the user-interface thread has cleared it. When abortRequest comes during the wait the
// worker clears redrawRequest itself, so that no redraw of an ended run is served. Returns 1 when
// the redraw was served, 0 on abort.
int RequestRedrawAndWait(RunControls& controls, bool mayCoalesce = false);

// Waits at a stop block: sets pauseRequest and pauseBlink and sleeps until the user-interface
// thread resumes (clears pauseRequest). Returns 0 when abortRequest is set before the wait,
// during it or once it ended; then 1 after clearing pendingStop.
int WaitAtStopBlock(RunControls& controls);

// --- User-interface side --------------------------------------------------------------------

// Wakes the workers' waits after a store to redrawRequest, pauseRequest or abortRequest made
// directly on the flag; the functions below wake them themselves.
void WakeRunWaiters();

// Ends the run: abortRequest first, then the pause flags, so that a worker released from a pause
// always sees the abort and never steps the held line.
void RequestRunAbort(RunControls& controls);

// Releases a worker waiting at a stop block and clears stopKeyRequest.
void ResumeRun(RunControls& controls);

// The redraw interval of a run mode: steps between redraws in real cutting ("SKIP VIEW"), lines
// in skip cutting ("SKIP BLOCK"); 1 for the other modes. The worker reads it at each step, so a
// change during a run takes effect at once.
int RunRedrawInterval(RunMode runMode);
// The keys of either window: the interval of the run mode raised or lowered by one, never below
// 1 (nothing for the other modes). Returns the new interval.
int StepRunRedrawInterval(RunMode runMode, int direction);

// Serves a pending redraw of the run: calls draw (may be null) and clears redrawRequest. Returns 1
// when a redraw was pending.
int ServeRedrawRequest(RunControls& controls, void (*draw)());

// --- Published status -----------------------------------------------------------------------

// What the worker publishes for the panels: the block being run and its line number. Readers
// take a copy under the lock; nothing of it is torn.
inline constexpr int kRunStatusTextCapacity = 256;
struct RunStatusSnapshot {
    std::int32_t lineNumber = {};  // main file, or the innermost subprogram's line counter
    std::int32_t mainLineNumber = {};
    char blockText[kRunStatusTextCapacity] = {};  // without its line end, at most 255 chars
    std::int64_t steps = {};                      // steps made since the run started
    double removedVolume = {};                    // mm^3 removed since the run started
};

// Copies the block text (up to its first line end: a trailing LF or CR LF is dropped, at most
// 255 characters) and the numbers into the published snapshot.
void PublishRunBlock(std::int32_t lineNumber, std::int32_t mainLineNumber, const char* text);
// Adds to the published step count and removed volume.
void PublishRunProgress(std::int64_t steps, double removedVolume);
// Clears the snapshot.
void ResetRunStatus();
// A consistent copy of the snapshot.
RunStatusSnapshot ReadRunStatus();

}  // namespace mirexa
