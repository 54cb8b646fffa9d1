// The run flags, the worker's two waits, the user-interface side of pause and abort, and the
// published run status.
#include "simulation/run_control.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace mirexa {

RunControlFlags RunControl;
std::atomic<std::int32_t> SimulationState{1};
std::atomic<std::int32_t> RunLogFlag{0};

namespace {

std::mutex StatusMutex;
RunStatusSnapshot Status;

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

void ResetRunControlFlags() {
    RunControl.runMode = 0;
    RunControl.abortRequest = 0;
    RunControl.redrawRequest = 0;
    RunControl.pauseRequest = 0;
    RunControl.pauseBlink = 0;
    RunControl.lineHeld = 0;
    RunControl.stopKeyRequest = 0;
    RunControl.pendingStop = 0;
    RunControl.viewRedrawRequest = 0;
    RunControl.showSteps = 0;
    RunControl.runError = 0;
    RunControl.overTravelAxis = -1;
    RunControl.stepAlarm = 0;
    RunControl.toolPanelPendingPaint = 0;
}

int RequestRedrawAndWait() {
    RunControl.viewRedrawRequest = 0;
    RunControl.redrawRequest = 1;
    while (RunControl.redrawRequest.load() != 0) {
        if (RunControl.abortRequest.load() != 0) {
            RunControl.redrawRequest = 0;
            return 0;
        }
        SleepMs(kRedrawPollMs);
    }
    return 1;
}

int WaitAtStopBlock() {
    if (RunControl.abortRequest.load() != 0) {
        return 0;
    }
    RunControl.pauseRequest = 1;
    RunControl.pauseBlink = 1;
    while (RunControl.pauseRequest.load() != 0) {
        if (RunControl.abortRequest.load() != 0) {
            return 0;
        }
        SleepMs(kPausePollMs);
    }
    if (RunControl.abortRequest.load() != 0) {
        return 0;
    }
    RunControl.pendingStop = 0;
    return 1;
}

void RequestRunAbort() {
    RunControl.abortRequest = 1;
    RunControl.pauseRequest = 0;
    RunControl.pauseBlink = 0;
}

void ResumeRun() {
    RunControl.stopKeyRequest = 0;
    RunControl.pauseBlink = 0;
    RunControl.pauseRequest = 0;
}

int ServeRedrawRequest(void (*draw)()) {
    if (RunControl.redrawRequest.load() == 0) {
        return 0;
    }
    if (draw != nullptr) {
        draw();
    }
    RunControl.redrawRequest = 0;
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
