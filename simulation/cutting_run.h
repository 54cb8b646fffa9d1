// A cutting run as one object: what the run is asked to do (RunRequest) goes in, the run owns its
// thread, its block loop and its step record while it goes, and it ends with one RunResult.
//
// The window starts its runs through the run object it keeps (WindowRun, started by the run
// commands of shell/run_commands.h), the automation through the window's run commands, the tools
// and tests with objects of their own.
// While the run's thread goes, the user-interface thread reads only the run's state, mode and
// controls (run_control.h): redraws, pauses, aborts and the run's end go through them. Once the
// state is kEnded and the thread joined, the result and the records are the caller's.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/worker_thread.h"
#include "services/run_mode.h"
#include "simulation/cutting_state.h"
#include "simulation/move_stepping.h"
#include "simulation/run_control.h"
#include "simulation/run_reports.h"
#include "simulation/simulation_thread.h"

namespace mirexa {

struct NcSession;
struct StockModel;

// What a run is asked to do: interpret the program of the session, starting from the session's
// records, and cut the stock in the run mode.
struct RunRequest {
    NcSession* session = nullptr;
    StockModel* stock = nullptr;
    std::string programPath;
    RunMode mode = RunMode::kRealCutting;
    BatchRunKind batchKind = BatchRunKind::kNone;
    // 1 for a run started by a command-line run mode above 4: it logs and draws nothing on
    // request.
    int runLogFlag = {};
    // 1 for a batch run, one the automation started with nobody watching (a command-line run mode
    // above 4, or a macro's cut while drawing is suppressed): its abort marks the batch's exit
    // code.
    int batchRun = {};
};

// How a run ended and what it did.
struct RunResult {
    std::int32_t end = kRunEndProgram;  // SimulationRunEnd
    std::int64_t blocks = {};
    std::int64_t moves = {};
    std::int32_t toolChanges = {};
    std::int32_t resyncs = {};  // blocks whose positions were made again from the machine's
    std::int64_t steps = {};
    std::int64_t alarmSteps = {};   // steps that ended in an alarm
    double removedVolume = {};      // mm^3
    std::int32_t stepCapHits = {};  // moves whose step count was capped
    // What the run's reports hold at its end: the interference kinds it recorded (distinct), the
    // lines of its tool-load limit log and the entries of its long rotary move warning file.
    std::int32_t interferenceKinds = {};
    std::int32_t limitLogLines = {};
    std::int32_t rotaryWarnings = {};
};

enum class RunState : std::int32_t {
    kIdle,     // never started, or its result taken and the object ready for the next run
    kRunning,  // its thread interprets and cuts
    kEnded,    // its thread has ended: the result stands
};

struct CuttingRun {
    RunRequest request;
    std::atomic<RunState> state{RunState::kIdle};
    // The mode the run follows: the request's when it is given (GiveRunRequest); the keys change
    // it while the run goes (Tab), and the run reads it at each block and step. The window's run
    // holds kIdle while no run of the window goes, which the view and the panels read.
    std::atomic<RunMode> mode{RunMode::kIdle};
    // The handshakes with the user-interface thread (redraw, pause, abort, stop key) and the
    // alarms the run raises, made new when the run is given its request; and, in controls.kept,
    // what the window's run keeps between runs: the panels read the tool mounted last and the
    // state of the last step (run_control.h).
    RunControls controls;
    WorkerThread thread;
    // The block loop's bookkeeping and the step record, reset at the run's start.
    BlockLoopState loop;
    SimulationRunRecord record;
    // The state of the cut and checks at each step: the cutter the run loaded, the pose, views,
    // flags and measures. Kept after the run, so that the window's jog and control point dialog
    // cut with the cutter the run left current.
    CuttingState cutting;
    // The run's reports and end records (run_reports.h): reset when the run is prepared, closed
    // and shown by its end.
    RunReports reports;
    RunResult result;
    // Called on the run's thread once the result stands and the state is kEnded (null: nothing),
    // so that the window takes the end at once rather than at its timer's next tick.
    void (*ended)() = nullptr;
};

// The window's cutting run (one at a time): the window's run commands start it, its timer serves
// it, its end joins it; the view, the panels and the keys read and change its mode. Its reports
// are the window's outside a run too: the jog's and the control point dialog's motion snapshot,
// which the view swaps to, and the interference kinds the status bar shows.
extern CuttingRun WindowRun;

// Gives the run its request, takes the request's mode as the one the run follows, makes the
// run's controls new (RenewRunControls; what they keep between runs stays) and clears the
// published run status (ResetRunStatus: no block, steps or volume of an earlier run). Called with
// no thread of the run going: StartCuttingRun calls it, and so does whoever calls RunCutting.
void GiveRunRequest(CuttingRun& run, RunRequest request);

// The step context of the run: its session, its stock, its step record, its cutting state, its
// reports and its mode.
MoveStepContext RunContext(CuttingRun& run);

// The run whose work runs on the calling thread (its own thread's body, and RunCutting on any
// thread, bind it for their length), null on any other thread: for a report whose hook carries
// no run (a long rotary move).
CuttingRun* RunOfThisThread();

// Runs the request on the calling thread: run start, the block loop, run end. Sets the state to
// kRunning, then to kEnded with the result filled.
void RunCutting(CuttingRun& run);

// Starts the run on a thread of its own (lowered priority), running body (default: PrepareCutting
// Run then RunCutting; a test may pass a scripted body). Returns 1, 0 when the run's previous
// thread was not joined yet, -1 when the system refused the thread: the run has then ended as out
// of memory.
int StartCuttingRun(CuttingRun& run, RunRequest request,
                    std::function<void(CuttingRun&)> body = {});

// 1 once the run has ended (its state is kEnded, its thread ending) or its thread has ended (or
// there is none).
int CuttingRunFinished(const CuttingRun& run);

// 1 while the run holds a thread that was not joined.
int CuttingRunHasThread(const CuttingRun& run);

// 1 when the user-interface thread may read a stock that a run's thread cuts (the view meshing
// its blocks): no run's thread is between its start and the end of its body, or the window's run
// waits for a redraw or at a stop block (its controls' handshakes) and writes nothing. Only the
// window's run hands the window its stock to draw.
int MayReadRunStock();

// Joins the run's thread (blocking); JoinCuttingRunAnsweringMessages answers the messages sent to
// this thread's windows while it waits.
void JoinCuttingRun(CuttingRun& run);
void JoinCuttingRunAnsweringMessages(CuttingRun& run);

}  // namespace mirexa
