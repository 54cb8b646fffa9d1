// The simulation thread: plays the NC program against the current stock. It pulls one move at a
// time from the step driver, mounts tools, steps every move (move_stepping.h) and hands every
// redraw and pause to the user-interface thread through the run flags (run_control.h).
//
// The program is DefinitionFiles.ncProgramFile; the stock is StockModels[CurrentStockIndex]; the
// run mode, abort and the other requests are RunControl. The thread never draws: it publishes the
// block it runs (PublishRunBlock) and raises requests.
#pragma once

#include <cstdint>

#include "simulation/move_stepping.h"

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
};
extern SimulationRunSummary LastRunSummary;

// --- The block loop's bookkeeping, shared with the tool path drawing ---------------------------
// Whoever pulls moves to step them (the simulation thread, the path drawing) takes each block the
// step driver produced through TakeFetchedBlock, so that tool changes, blocks without steps and
// the position rules agree between the cut and the drawn path.

// What a fetched block asks of its puller.
enum FetchedBlockKind : int {
    kBlockNoMove = 0,       // nothing more to do: not started, a subprogram end, G68 programming
    kBlockPositionSet = 1,  // G92: the program position was taken and the pose updated
    kBlockMove = 2,         // a rapid, line or arc: the StepBlockInfo is filled for stepping
    kBlockNurbs = 3,        // a NURBS move: the StepBlockInfo is filled as for kBlockMove
};

// The state of one puller's block loop, reset at its start.
struct BlockLoopState {
    // The tool that the last T word prepared (tool-change modes 2 and 3); -1 none.
    std::int32_t preparedTool = -1;
    // Mounts a tool: the puller's own work around MountToolForStepping. Null mounts with
    // MountToolForStepping alone.
    void (*mountTool)(int tool) = {};
};

// Makes a tool current as every puller must for its poses: SelectCurrentTool at the current
// stock's pitch (0 without a stock), then the length offset of the new tool in the HEIDENHAIN
// and SIEMENS dialects. A number outside the tool tables changes nothing.
void MountToolForStepping(int tool);

// The bookkeeping of the block that ComputeNextMove has just produced (the caller has tested the
// error code): a block that produced no move; the tool change by the machine's tool-change mode
// (mode 1, or M06 in another mode, mounts the T word's tool at once; M06 in mode 3 mounts the
// tool the previous T word prepared; any other T word only prepares its tool); a rotation
// programming block; FinishBlockPosition; a G92 block; a NURBS move; otherwise the move's
// StepBlockInfo (line stamp, subprogram, cycle and spindle state, plane, ends, machine
// coordinates for the final reference leg and G53 moves, the short-move rule). Returns the
// FetchedBlockKind; info is filled for kBlockMove and kBlockNurbs.
int TakeFetchedBlock(BlockLoopState* loop, StepBlockInfo* info);

// The thread's procedure: run start, the block loop, run end (see the .cpp for the order). The
// main window starts it with StartSimulationRunThread after setting RunMode; tests and the
// headless driver may call it on their own thread.
void SimulationThreadProc();

}  // namespace mirexa
