// The simulation thread: plays the NC program against the current stock. It pulls one move at a
// time from the step driver, mounts tools, steps every move (move_stepping.h) and hands every
// redraw and pause to the user-interface thread through the run flags (run_control.h).
//
// The program is DefinitionFiles.ncProgramFile; the stock is StockModels[CurrentStockIndex]; the
// run mode, abort and the other requests are RunControl. The thread never draws: it publishes the
// block it runs (PublishRunBlock) and raises requests.
#pragma once

#include <cstdint>

namespace mirexa {

// How a run ended.
enum SimulationRunEnd : int {
    kRunEndProgram = 0,       // the end of the program was reached
    kRunEndError = 1,         // an interpreter error (RunError set; the code in NcRun)
    kRunEndOverTravel = 2,    // an axis left its stroke (OverTravelAxis)
    kRunEndInterference = 3,  // an interference broke off the run
    kRunEndAbort = 4,         // AbortRequest
    kRunEndNoSource = 5,      // the NC program could not be opened
    kRunEndBadStep = 6,       // the step length is not a positive number
};

// What the last run did: how it ended, and the blocks and moves it went through.
struct SimulationRunSummary {
    std::int32_t end = {};  // SimulationRunEnd
    std::int64_t blocks = {};
    std::int64_t moves = {};
    std::int32_t toolChanges = {};
    std::int32_t resyncs = {};  // blocks whose positions were made again from the machine's
};
extern SimulationRunSummary LastRunSummary;

// The thread's procedure: run start, the block loop, run end (see the .cpp for the order). The
// main window starts it with StartSimulationRunThread after setting RunMode; tests and the
// headless driver may call it on their own thread.
void SimulationThreadProc();

// Joins the stop test of the NC lines to run control: the user's stop request (the one-shot
// PendingStop, consumed, or StopKeyRequest) and the wait at a stop block (the block published,
// then WaitAtStopBlock). Filled once at start-up (InstallRunControlHooks calls it).
void InstallStopBlockHooks();

}  // namespace mirexa
