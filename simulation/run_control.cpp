// The run flags, the worker's two waits, the user-interface side of pause and abort, the
// published run status and the run's thread.
#include "simulation/run_control.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace mirexa {

RunControlFlags RunFlags;
std::atomic<std::int32_t> SimulationState{1};
std::atomic<std::int32_t> RunLogFlag{0};
SimulationRunThread SimulationRun;

namespace {

std::mutex StatusMutex;
RunStatusSnapshot Status;

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

void ResetRunControlFlags() {
    RunFlags.runMode = 0;
    RunFlags.abortRequest = 0;
    RunFlags.redrawRequest = 0;
    RunFlags.pauseRequest = 0;
    RunFlags.pauseBlink = 0;
    RunFlags.lineHeld = 0;
    RunFlags.stopKeyRequest = 0;
    RunFlags.pendingStop = 0;
    RunFlags.viewRedrawRequest = 0;
    RunFlags.showSteps = 0;
    RunFlags.runError = 0;
    RunFlags.overTravelAxis = -1;
    RunFlags.stepAlarm = 0;
    RunFlags.toolPanelPendingPaint = 0;
}

int RequestRedrawAndWait() {
    RunFlags.viewRedrawRequest = 0;
    RunFlags.redrawRequest = 1;
    while (RunFlags.redrawRequest.load() != 0) {
        if (RunFlags.abortRequest.load() != 0) {
            RunFlags.redrawRequest = 0;
            return 0;
        }
        SleepMs(kRedrawPollMs);
    }
    return 1;
}

int WaitAtStopBlock() {
    if (RunFlags.abortRequest.load() != 0) {
        return 0;
    }
    RunFlags.pauseRequest = 1;
    RunFlags.pauseBlink = 1;
    while (RunFlags.pauseRequest.load() != 0) {
        if (RunFlags.abortRequest.load() != 0) {
            return 0;
        }
        SleepMs(kPausePollMs);
    }
    if (RunFlags.abortRequest.load() != 0) {
        return 0;
    }
    RunFlags.pendingStop = 0;
    return 1;
}

void RequestRunAbort() {
    RunFlags.abortRequest = 1;
    RunFlags.pauseRequest = 0;
    RunFlags.pauseBlink = 0;
}

void ResumeRun() {
    RunFlags.stopKeyRequest = 0;
    RunFlags.pauseBlink = 0;
    RunFlags.pauseRequest = 0;
}

int ServeRedrawRequest(void (*draw)()) {
    if (RunFlags.redrawRequest.load() == 0) {
        return 0;
    }
    if (draw != nullptr) {
        draw();
    }
    RunFlags.redrawRequest = 0;
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

int StartSimulationRunThread(void (*body)()) {
    if (SimulationRun.running.load() != 0 || SimulationRun.thread.joinable()) {
        return 0;
    }
    SimulationRun.finished = 0;
    SimulationRun.running = 1;
    SimulationRun.thread = std::thread([body] {
        // Below-normal priority, best effort: a nicer value for this thread only.
        const long tid = syscall(SYS_gettid);
        const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
        setpriority(PRIO_PROCESS, static_cast<id_t>(tid), current + 2);
        body();
        SimulationRun.finished.store(1, std::memory_order_release);
    });
    return 1;
}

int SimulationRunFinished() {
    return SimulationRun.finished.load(std::memory_order_acquire) != 0 ? 1 : 0;
}

void JoinSimulationRun() {
    if (SimulationRun.thread.joinable()) {
        SimulationRun.thread.join();
    }
    SimulationRun.running = 0;
}

void AbortAndJoinSimulationRun() {
    if (SimulationRun.thread.joinable()) {
        RequestRunAbort();
        SimulationRun.thread.join();
    }
    SimulationRun.running = 0;
}

}  // namespace mirexa
