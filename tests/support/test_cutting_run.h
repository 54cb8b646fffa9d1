// The cutting run the simulation, view and tool tests drive: the window's run with the window's
// request of a user's run (RunSession, the current stock, the selected NC program, the window's
// run's mode), run on the test's thread or on the run's own.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "simulation/cutting_run.h"

namespace mirexa {

extern CuttingRun& TestRun;  // the window's run

// The request a run command of the window makes.
RunRequest WindowRunRequest();

// TestRun's step context on RunSession (for stepping single moves).
MoveStepContext TestStepContext();

// Runs the window's request in TestRun on this thread (no run preparation: the test set up what
// it needs).
void RunTestCut();

// Starts the window's request in TestRun on its own thread; with prepare, the run's preparation
// first as the window's runs have it. Returns StartCuttingRun's answer.
int StartTestCut(bool prepare = false);

// Serves TestRun, started on its own thread, from this thread until the run has ended, then joins
// it: serve (which answers the run's redraws and pauses) runs at every look, one each poll. A run
// that has not ended within the wait bound fails the test and is aborted; one that the abort
// does not end either ends the process with that failure, as a join would hang. Returns 1 when
// the run ended by itself.
int ServeTestCutToItsEnd(const std::function<void()>& serve, std::chrono::microseconds poll);

// Calls watch at every step TestRun makes while the watch lives, as the window sees the steps: a
// run in real cutting with SKIP VIEW 1 asks for a redraw after each step, which the watch serves
// at once on the run's thread (the pose is the step's then). It sets the mode, the interval and
// the drawing flags for that, and puts them back at its end.
class StepWatch {
public:
    explicit StepWatch(void (*watch)());
    ~StepWatch();
    StepWatch(const StepWatch&) = delete;
    StepWatch& operator=(const StepWatch&) = delete;

private:
    RunMode mode_;
    std::int32_t skipView_;
    int runLogFlag_;
    int drawingSuppressed_;
    void (*redrawRaised_)();
};

}  // namespace mirexa
