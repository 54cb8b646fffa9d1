// The cutting run the simulation, view and tool tests drive: the window's request (RunSession,
// the selected NC program, RunControl's run mode and batch kind), run on the test's thread or on
// the run's own.
#pragma once

#include "simulation/cutting_run.h"

namespace mirexa {

extern CuttingRun TestRun;

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

}  // namespace mirexa
