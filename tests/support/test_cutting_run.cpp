#include "support/test_cutting_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "config/config_records.h"
#include "nc/nc_session.h"
#include "services/shared_state.h"
#include "simulation/run_control.h"
#include "stock/stock_model.h"
#include "support/bounded_wait.h"

namespace mirexa {

CuttingRun& TestRun = WindowRun;

RunRequest WindowRunRequest() {
    RunRequest request;
    request.session = &RunSession;
    request.stock = CurrentStockSlot();
    request.programPath = DefinitionFiles.ncProgramFile;
    request.mode = WindowRun.mode.load();
    return request;
}

MoveStepContext TestStepContext() {
    TestRun.request.session = &RunSession;
    TestRun.request.stock = CurrentStockSlot();
    return RunContext(TestRun);
}

void RunTestCut() {
    GiveRunRequest(TestRun, WindowRunRequest());
    RunCutting(TestRun);
}

int StartTestCut(bool prepare) {
    if (prepare) {
        return StartCuttingRun(TestRun, WindowRunRequest());
    }
    return StartCuttingRun(TestRun, WindowRunRequest(), [](CuttingRun& run) { RunCutting(run); });
}

int ServeTestCutToItsEnd(const std::function<void()>& serve, std::chrono::microseconds poll) {
    const auto served = [&serve] {
        if (CuttingRunFinished(TestRun) != 0) {
            return true;
        }
        serve();
        return false;
    };
    const int ended = testing::AwaitCondition(served, poll) ? 1 : 0;
    if (ended == 0) {
        ADD_FAILURE() << "waited " << testing::kWaitBound.count()
                      << " s in vain for the run's end; the run is aborted";
        RequestRunAbort(
            WindowRun.controls);  // which also ends the run's waits for redraws and pauses
        if (!testing::AwaitCondition([] { return CuttingRunFinished(TestRun) != 0; }, poll)) {
            std::fprintf(stderr, "the run did not end after its abort either\n");
            std::abort();
        }
    }
    JoinCuttingRun(TestRun);
    return ended;
}

namespace {

void (*StepWatcher)() = nullptr;

void WatchAndServeRedraw() {
    if (StepWatcher != nullptr) {
        StepWatcher();
    }
    TestRun.controls.redrawRequest = 0;
}

}  // namespace

StepWatch::StepWatch(void (*watch)())
    : mode_(TestRun.mode.load()),
      skipView_(Settings.skipView),
      runLogFlag_(TestRun.request.runLogFlag),
      drawingSuppressed_(DrawingSuppressed.load()),
      redrawRaised_(TestRun.controls.kept.redrawRaised.load()) {
    StepWatcher = watch;
    TestRun.mode = RunMode::kRealCutting;
    Settings.skipView = 1;
    TestRun.request.runLogFlag = 0;
    DrawingSuppressed = 0;
    TestRun.controls.kept.redrawRaised = WatchAndServeRedraw;
}

StepWatch::~StepWatch() {
    TestRun.controls.kept.redrawRaised = redrawRaised_;
    DrawingSuppressed = drawingSuppressed_;
    TestRun.request.runLogFlag = runLogFlag_;
    Settings.skipView = skipView_;
    TestRun.mode = mode_;
    StepWatcher = nullptr;
}

}  // namespace mirexa
