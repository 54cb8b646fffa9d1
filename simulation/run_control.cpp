// The run controls, the worker's two waits, the user-interface side of pause and abort, and the
// published run status.
#include "simulation/run_control.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "config/config_records.h"
#include "platform/backend.h"
#include "services/shared_state.h"

namespace mirexa {

namespace {

std::mutex StatusMutex;
RunStatusSnapshot Status;

// The worker's waits sleep on this condition variable; the sides that answer them wake it.
std::mutex WaitMutex;
std::condition_variable WaitWake;

// Sleeps until `answered` holds or the run's abortRequest is set; returns 1 when answered. A side
// that changes a flag without waking the worker (a signal handler) is seen within `lookMs`.
template <class Answered>
int WaitForAnswer(const RunControls& controls, Answered answered, int lookMs) {
    std::unique_lock<std::mutex> lock(WaitMutex);
    for (;;) {
        if (answered()) {
            return 1;
        }
        if (controls.abortRequest.load() != 0) {
            return 0;
        }
        WaitWake.wait_for(lock, std::chrono::milliseconds(lookMs));
    }
}

}  // namespace

void RenewRunControls(RunControls& controls) {
    controls.abortRequest = 0;
    controls.redrawRequest = 0;
    controls.pauseRequest = 0;
    controls.pauseBlink = 0;
    controls.lineHeld = 0;
    controls.stopKeyRequest = 0;
    controls.pendingStop = 0;
    controls.showSteps = 0;
    controls.overTravelAxis = -1;
    controls.stepAlarm = 0;
    controls.stopModeRequest = -1;
}

int RunDrawsNothing(int runLogFlag) {
    const bool nobodyThere =
        AutomaticMode.load() != 0 && GetPlatformBackend() == PlatformBackend::Headless;
    return DrawingSuppressed.load() != 0 || runLogFlag != 0 || nobodyThere ? 1 : 0;
}

void WakeRunWaiters() {
    // Taking the lock orders the caller's flag store before the worker's next look at the flags:
    // the worker either sees it before it sleeps or is asleep and gets the notification.
    { std::lock_guard<std::mutex> lock(WaitMutex); }
    WaitWake.notify_all();
}

int RequestRedrawAndWait(RunControls& controls, bool mayCoalesce) {
    controls.redrawRequest = mayCoalesce ? kRedrawFrameMayCoalesce : kRedrawFrame;
    if (void (*raised)() = controls.kept.redrawRaised.load(); raised != nullptr) {
        raised();
    }
    if (WaitForAnswer(
            controls, [&controls] { return controls.redrawRequest.load() == 0; }, kRedrawLookMs) ==
        0) {
        controls.redrawRequest = 0;
        return 0;
    }
    return 1;
}

int WaitAtStopBlock(RunControls& controls) {
    if (controls.abortRequest.load() != 0) {
        return 0;
    }
    controls.pauseRequest = 1;
    controls.pauseBlink = 1;
    if (WaitForAnswer(
            controls, [&controls] { return controls.pauseRequest.load() == 0; }, kPauseLookMs) ==
            0 ||
        controls.abortRequest.load() != 0) {
        return 0;
    }
    controls.pendingStop = 0;
    return 1;
}

void RequestRunAbort(RunControls& controls) {
    controls.abortRequest = 1;
    controls.pauseRequest = 0;
    controls.pauseBlink = 0;
    WakeRunWaiters();
}

namespace {

// The settings' interval of a run mode; null for the modes without one. The worker reads it while
// the user-interface thread may step it, so both go through atomic references.
std::int32_t* RedrawIntervalOf(RunMode runMode) {
    return runMode == RunMode::kRealCutting   ? &Settings.skipView
           : runMode == RunMode::kSkipCutting ? &Settings.skipBlock
                                              : nullptr;
}

}  // namespace

int RunRedrawInterval(RunMode runMode) {
    std::int32_t* interval = RedrawIntervalOf(runMode);
    return interval == nullptr ? 1 : std::max(1, std::atomic_ref<std::int32_t>(*interval).load());
}

int StepRunRedrawInterval(RunMode runMode, int direction) {
    std::int32_t* interval = RedrawIntervalOf(runMode);
    if (interval == nullptr) {
        return 1;
    }
    const int next = std::max(1, RunRedrawInterval(runMode) + direction);
    std::atomic_ref<std::int32_t>(*interval).store(next);
    return next;
}

void ResumeRun(RunControls& controls) {
    controls.stopKeyRequest = 0;
    controls.pauseBlink = 0;
    controls.pauseRequest = 0;
    WakeRunWaiters();
}

int ServeRedrawRequest(RunControls& controls, void (*draw)()) {
    if (controls.redrawRequest.load() == 0) {
        return 0;
    }
    if (draw != nullptr) {
        draw();
    }
    controls.redrawRequest = 0;
    WakeRunWaiters();
    return 1;
}

void PublishRunBlock(std::int32_t lineNumber, std::int32_t mainLineNumber, const char* text) {
    std::lock_guard<std::mutex> lock(StatusMutex);
    Status.lineNumber = lineNumber;
    Status.mainLineNumber = mainLineNumber;
    std::size_t n = 0;
    if (text != nullptr) {
        while (n < kRunStatusTextCapacity - 1 && text[n] != '\0' && text[n] != '\n') {
            ++n;
        }
        // A CR directly before the line end belongs to the line end.
        if (n > 0 && text[n - 1] == '\r' && (text[n] == '\n' || text[n] == '\0')) {
            --n;
        }
        std::memcpy(Status.blockText, text, n);
    }
    Status.blockText[n] = '\0';
}

void PublishRunProgress(std::int64_t steps, double removedVolume) {
    std::lock_guard<std::mutex> lock(StatusMutex);
    Status.steps += steps;
    Status.removedVolume += removedVolume;
}

void ResetRunStatus() {
    std::lock_guard<std::mutex> lock(StatusMutex);
    Status = RunStatusSnapshot{};
}

RunStatusSnapshot ReadRunStatus() {
    std::lock_guard<std::mutex> lock(StatusMutex);
    return Status;
}

}  // namespace mirexa
