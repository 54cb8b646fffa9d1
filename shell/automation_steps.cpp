// The steps of the unattended work: commands sent on the user-interface thread with what they
// need set around them, the wait for a cutting run, and the batch's failure record.
#include "shell/automation_steps.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/automation_thread.h"
#include "shell/main_window.h"
#include "shell/nc_data_commands.h"
#include "shell/run_commands.h"
#include "shell/stock_commands.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "stock/stock_model.h"

namespace mirexa {

AutomationOutcomeRecord AutomationOutcome;
AutomationRunState AutomationRun;
std::atomic<int> BatchFailureCode{0};
std::atomic<int> AbortSignalReceived{0};
std::atomic<int> AutomationEndLogged{0};

namespace {

std::atomic<const AutomationStandIn*> standInInPlace{nullptr};

// The request of the command being handled; set and read on the user-interface thread only.
const AutomationRequest* requestInHand = nullptr;

// The window's run ends that are done, counted by the user-interface thread, and the wake of the
// automation's wait for the next.
struct RunEndsDone {
    std::mutex mutex;
    std::condition_variable wake;
    std::uint64_t count = 0;
};
RunEndsDone runEndsDone;

// The wait between two looks at the run when no end wakes it (ms): an abort signal is seen
// within it.
constexpr int kRunLookMs = 100;

std::uint64_t CountRunEndsDone() {
    const std::lock_guard<std::mutex> lock(runEndsDone.mutex);
    return runEndsDone.count;
}

// Sleeps until a run's end is done after the count seen, or a look period has passed.
void AwaitRunEndDone(std::uint64_t seen) {
    std::unique_lock<std::mutex> lock(runEndsDone.mutex);
    runEndsDone.wake.wait_for(lock, std::chrono::milliseconds(kRunLookMs),
                              [seen] { return runEndsDone.count != seen; });
}

const AutomationStandIn* StandIn() {
    return standInInPlace.load();
}

void SendCommand(unsigned command, MessageLParam lparam) {
    if (StandIn()) {
        StandIn()->sendCommand(command, lparam);
    } else {
        SendCommandToMainWindow(command, lparam);
    }
}

int RunActive() {
    return StandIn() ? StandIn()->runActive() : IsRunActive();
}

void AbortTheRun() {
    if (StandIn()) {
        StandIn()->requestRunAbort();
    } else {
        RequestRunAbort(WindowRun.controls);
    }
}

// 1 while the window's run goes on: until its end after the count seen is done, or the main
// window is gone (a stand-in is asked whether its run is active).
int RunGoesOn(std::uint64_t seen) {
    if (StandIn()) {
        int active = 0;
        return RunOnMainThread([&active] { active = RunActive(); }) != 0 ? active : 0;
    }
    return CountRunEndsDone() == seen && AutomationWindowsStand() != 0 ? 1 : 0;
}

// The pause between two looks at the run: the stand-in's poll, else until a run's end after the
// count seen is done or the look period has passed.
void PauseForRunEnd(std::uint64_t seen) {
    if (StandIn()) {
        StandIn()->pollPause();
    } else {
        AwaitRunEndDone(seen);
    }
}

}  // namespace

void SetAutomationStandIn(const AutomationStandIn* standIn) {
    standInInPlace.store(standIn);
}

void SendAutomationSystemCommand(unsigned code) {
    if (StandIn()) {
        StandIn()->sendSystemCommand(code);
    } else {
        SendSystemCommandToMainWindow(code);
    }
}

int RunAutomationProgram(const std::string& program, const std::string& argument) {
    return StandIn() ? StandIn()->runProgram(program, argument) : SpawnAndWait(program, argument);
}

void NoteRunEndForAutomation(int kind) {
    AutomationOutcome.runEnd = kind;
}

void NoteWindowRunEndDone() {
    {
        const std::lock_guard<std::mutex> lock(runEndsDone.mutex);
        ++runEndsDone.count;
    }
    runEndsDone.wake.notify_all();
}

void RecordBatchFailure(const std::string& logText) {
    if (AutomaticMode.load() == 0) {
        return;
    }
    std::string entry = logText;
    if (entry.empty() || entry.back() != '\n') {
        entry += '\n';
    }
    AppendLogEntry(entry);
    int none = 0;
    BatchFailureCode.compare_exchange_strong(none, kBatchExitFileError);
}

void ResetAutomationRun() {
    AutomationRun = AutomationRunState{};
    AutomationEndLogged.store(0);
}

int AbortSignalled() {
    if (AbortSignalReceived.load() != 0) {
        AutomationRun.stopped = 1;
        return 1;
    }
    return 0;
}

int RunOnMainThread(const std::function<void()>& call) {
    if (AutomationRun.windowGone) {
        return 0;
    }
    const int ran = StandIn() ? StandIn()->runOnMainThread(call) : RunCallOnWindowThread(call);
    if (!ran) {
        AutomationRun.windowGone = 1;
        AutomationRun.stopped = 1;
    }
    return ran;
}

int SendAutomationCommand(unsigned command, MessageLParam lparam,
                          const std::function<void()>& before, const std::function<void()>& after) {
    if (AutomationRun.stopped || AbortSignalled()) {
        return 0;
    }
    return RunOnMainThread([&] {
        if (before) {
            before();
        }
        SendCommand(command, lparam);
        if (after) {
            after();
        }
    });
}

const AutomationRequest* CurrentAutomationRequest() {
    return requestInHand;
}

int SendAutomationRequest(unsigned command, MessageLParam lparam, const AutomationRequest& request,
                          const std::function<void()>& after) {
    auto hold = [&request] { requestInHand = &request; };
    auto release = [&after] {
        requestInHand = nullptr;
        if (after) {
            after();
        }
    };
    return SendAutomationCommand(command, lparam, hold, release);
}

void PostAutomationDone() {
    if (AutomationRun.donePosted) {
        return;
    }
    AutomationRun.donePosted = 1;
    if (StandIn()) {
        StandIn()->postDone();
    } else {
        PostDoneToMainWindow();
    }
}

int WaitForWindowRunEnd() {
    // Counted before the look, so that an end done after it ends the wait.
    const std::uint64_t seen = CountRunEndsDone();
    int active = 0;
    if (!RunOnMainThread([&active] { active = RunActive(); })) {
        return kCutAborted;
    }
    while (active != 0) {
        if (AbortSignalReceived.load() != 0) {
            AbortTheRun();
        }
        PauseForRunEnd(seen);
        active = RunGoesOn(seen);
    }
    int end = kCutAborted;
    if (!RunOnMainThread([&end] { end = AutomationOutcome.runEnd; })) {
        return kCutAborted;
    }
    return AbortSignalled() ? kCutAborted : end;
}

void IgnoreStopOptionInBatch() {
    if (AutomaticMode.load() == 0 || Controller.stopOption == 0) {
        return;
    }
    Controller.stopOption = 0;
    AppendLogEntry(ChooseLanguageText("STOP OPTION ignored in an unattended run\n",
                                      "無人運転のため STOP OPTION を無視します\n"));
}

int RunCutStep(CutKind kind, int resultSilent) {
    const bool silent = DrawingSuppressed.load() != 0;
    AutomationRequest request;
    request.batchKind = BatchRunKind::kResultUnseen;
    request.batchRun = silent ? 1 : 0;
    if (!silent) {
        switch (kind) {
            case CutKind::kReal:
                request.batchKind = BatchRunKind::kReal;
                break;
            case CutKind::kSkip:
                request.batchKind = BatchRunKind::kSkip;
                break;
            case CutKind::kResult:
                request.batchKind =
                    resultSilent ? BatchRunKind::kResultLogged : BatchRunKind::kResult;
                break;
        }
    }
    const unsigned command = RunCommandOfMode(RunModeOfBatchKind(request.batchKind));
    int end = kCutAborted;
    if (SendAutomationRequest(command, 0, request)) {
        end = WaitForWindowRunEnd();
    }
    CloseCuttingLog(end);
    if (end == kCutAlarm) {
        AutomationRun.breakCount = 2;
    } else if (end == kCutAborted) {
        AutomationRun.breakCount = 1;
    }
    return end;
}

void CloseCuttingLog(int end) {
    const char* closing =
        end == kCutCompleted ? ChooseLanguageText("End of cutting\n", "切削終了\n")
        : end == kCutAlarm
            ? ChooseLanguageText("Cutting ended on an alarm\n", "アラームで切削終了\n")
            : ChooseLanguageText("Cutting aborted\n", "切削中断\n");
    WriteLogLine(closing);
    CloseLogFile();
}

int LoadStockStep(const std::string* path, int clearFlagAfter) {
    AutomationRequest request;
    if (path) {
        request.path = *path;
    }
    int loaded = 0;
    auto after = [&] {
        loaded = AutomationOutcome.stockLoadResult;
        if (clearFlagAfter) {
            CommandLine.stockGiven = 0;  // the command line's stock is taken
        }
    };
    SendAutomationRequest(IDM_STOCK_READ, 0, request, after);
    return loaded;
}

int SaveStockStep(int kind, const std::string* path) {
    // Work the memory ran out in (a run cut short, a program not held, settings not taken, a
    // ray of the stock that could not grow) left no stock worth saving: the earlier file stays.
    if (CountMemoryShortages() != 0 || DexelMemoryShortage.load() != 0) {
        NoteMemoryShortage();
        AppendLogEntry(ChooseLanguageText("The work ran out of memory: the stock is not saved\n",
                                          "メモリが足りなかったため、被切削材を保存しません\n"));
        return 0;
    }
    AutomationRequest request;
    if (path) {
        request.path = *path;
    }
    int written = 0;
    auto after = [&] { written = AutomationOutcome.saveResult; };
    SendAutomationRequest(IDM_STOCK_SAVE, kind, request, after);
    return written;
}

int SelectNcStep(const std::string* path, int optimalStock) {
    AutomationRequest request;
    if (path) {
        request.path = *path;
    }
    int error = -1;
    auto after = [&] { error = AutomationOutcome.selectionError; };
    SendAutomationRequest(optimalStock ? IDM_NC_SELECT_OPTIMAL_STOCK : IDM_NC_SELECT, 0, request,
                          after);
    return error;
}

int ReportStep(int reportMode, MessageLParam silent) {
    AutomationRequest request;
    request.kind = reportMode;
    int error = -1;
    auto after = [&] { error = AutomationOutcome.reportError; };
    SendAutomationRequest(IDM_NC_REPORT, silent, request, after);
    return error;
}

int DefinitionFileStep(unsigned command, const std::string* path) {
    AutomationRequest request;
    if (path) {
        request.path = *path;
    }
    int read = 0;
    auto after = [&] { read = AutomationOutcome.definitionResult; };
    SendAutomationRequest(command, 0, request, after);
    return read;
}

}  // namespace mirexa
