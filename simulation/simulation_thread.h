// The block loop of a run's thread (RunCutting, cutting_run.h): plays the run's NC program against
// the run's stock. It pulls one move at a time from the step driver, mounts tools, steps every
// move (move_stepping.h) and hands every redraw and pause to the user-interface thread through the
// run's controls (run_control.h).
//
// The program, the session and the stock are the run's request (RunRequest); the mode it follows
// during the run is the run's, the abort and the other requests are its controls. The thread never
// draws: it publishes the block it runs (PublishRunBlock) and raises requests. Here too: the run's
// ends and the block bookkeeping that the tool path drawing shares.
#pragma once

#include <cstdint>

#include "simulation/move_stepping.h"

namespace mirexa {

struct NcSession;
struct RunReports;
struct StockModel;

// How a run ended.
enum SimulationRunEnd : int {
    kRunEndProgram = 0,  // the end of the program was reached
    kRunEndError = 1,    // an interpreter error (RunError set; the code in the session's run state)
    kRunEndOverTravel = 2,    // an axis left its stroke (OverTravelAxis)
    kRunEndInterference = 3,  // an interference broke off the run
    kRunEndAbort = 4,         // the run's abortRequest
    kRunEndNoSource = 5,      // the NC program could not be opened
    kRunEndBadStep = 6,       // the step length is not a positive number
    kRunEndMemory = 7,        // the memory ran out (a ray could not grow, an allocation failed)
};

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
    // The positions were made again from where the machine stands (a tool length kept under
    // G49, the tilted plane switched off or set up, tool centre point control or polar
    // interpolation switched): no move.
    kBlockResynchronised = 4,
};

// The state of one puller's block loop, reset at its start.
struct BlockLoopState {
    // Mounts a tool: the puller's own work around MountToolForStepping, with the loop's stock,
    // cutting state and reports below. Null mounts with MountToolForStepping alone.
    void (*mountTool)(NcSession& session, const BlockLoopState& loop, int tool) = {};
    // The stock whose pitch the mounted tools are derived at (null: pitch 0).
    const StockModel* stock = {};
    // The cutting state whose cutter the loop's tool changes load (the run's; none: no cut).
    CuttingState* cutting = {};
    // The run's reports, which a mount writes the tool-length line of the tool put away to
    // (null: none).
    RunReports* reports = {};
    // The run's controls, which a mount publishes the mounted tool and a panel repaint to (null:
    // none).
    RunControls* controls = {};
    // Before the block was fetched (NoteBlockEntry): the tilted plane's active flag and the tool
    // centre point mode, which the re-synchronisations compare with.
    std::int32_t entryPlaneActive = {};
    std::int32_t entryToolCentrePoint = {};
    std::int32_t entryPolar = {};  // polar interpolation in force
    // 1 when the last block was re-synchronised and goes on with a turn of the rotary axes alone
    // (a HEIDENHAIN PLANE RESET).
    std::int32_t resyncTurn = {};
    // A change between stations of the mounted-tool list: the tool before it (-1 none) and 1
    // while the next move is still to take the station shift.
    std::int32_t previousTool = -1;
    std::int32_t shiftPending = {};
    // 1 while tool centre point control is on with its table frame filled (FollowToolCentreSwitch).
    std::int32_t toolCentreFrame = {};
    // PluginToolMounts when the cutter was last loaded: a plug-in that made its tool current
    // since then has the cutter loaded again before the next block steps.
    std::int32_t pluginToolMounts = {};
    std::int32_t toolChanges = {};  // tools mounted by the loop's blocks
    // The work coordinate system the window was last told of (the modal index), so that every
    // change the run's blocks make reaches the status bar.
    std::int32_t workOffsetShown = {};
};

// Makes a tool current as every puller must for its poses: SelectCurrentTool at the pitch of the
// puller's stock (ToolDerivationPitch: 0 without a stock), then the length offset of the new tool
// in the HEIDENHAIN and SIEMENS dialects. A number outside the tool tables changes nothing.
void MountToolForStepping(NcSession& session, const StockModel* stock, int tool);

// Notes what the next block's re-synchronisation compares with; called before each
// ComputeNextMove.
void NoteBlockEntry(NcSession& session, BlockLoopState* loop);

// The bookkeeping of the block that ComputeNextMove has just produced (the caller has tested the
// error code): a block that produced no move; the tool change by the machine's tool-change mode
// (mode 1, or M06 in mode 2, mounts the T word's tool at once; in mode 3 M06 mounts the tool the
// tool-change route staged), a change between mounted-tool stations marking the next move for
// the station shift; the table frame of tool centre point control switched on or off
// (FollowToolCentreSwitch); a rotation programming block; the re-synchronisations;
// FinishBlockPosition (a move after a station change becomes a rapid); the plane's angles of a
// HEIDENHAIN move in a tilted plane with the programmed-angles flag; a G92 block; otherwise the
// move's StepBlockInfo (line stamp, subprogram, cycle and spindle state, plane, ends, machine
// coordinates for the final reference leg and G53 moves, the short-move rule, the station
// shift of its start). Returns the FetchedBlockKind; info is filled for kBlockMove and
// kBlockNurbs.
int TakeFetchedBlock(NcSession& session, BlockLoopState* loop, StepBlockInfo* info);

}  // namespace mirexa
