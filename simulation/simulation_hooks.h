// What the simulation thread calls that lives in the view, the shell and the plug-in host, or in
// the checks, decisions and reports of this subsystem that are built beside it. The owners fill
// the hooks at start-up; tests fill them with scripted fakes. A null hook means "nothing there":
// no check runs, no report is written, nothing is drawn, an alarm step does not end the run.
#pragma once

#include <cstdint>

namespace mirexa {

struct CuttingState;
struct CurrentToolRecord;
struct NcSession;
struct RunControls;
struct RunReports;
struct StockModel;

struct SimulationHooks {
    // --- Checks of a step ---
    // The shank and holder passes of the checks: run by the cut after its cutter passes at every
    // pose (also when the tool lies outside the grid) on the cut's state; returns the volume they
    // removed (mm^3). A hook, so that the cut's core stays below the checks built on it (the
    // passes use its views and rays), and its own tests cut the cutter alone or count the passes.
    double (*shankAndHolderPasses)(CuttingState& cutting, const CurrentToolRecord& tool,
                                   StockModel* model) = {};

    // --- Interference decisions and reports (of the session whose move is stepped and the stock
    // it cuts, into the reports of its run) ---
    // An alarm step (state 4, its flags those of the cutting state) is recorded; nonzero ends
    // the run.
    int (*recordInterferenceBreak)(const CuttingState& cutting, NcSession& session,
                                   const StockModel* stock, RunReports& reports) = {};
    // 1 when an event of the block is recorded and the run pauses on events.
    int (*blockHasPauseEvent)(const RunReports& reports) = {};
    // After a block: writes the block's events to the interference report when there are any,
    // and tells the run's controls.
    void (*writeInterferenceReport)(NcSession& session, RunReports& reports,
                                    RunControls& controls) = {};

    // --- Reports ---
    // A second-form report line of an alarm step ("%d/%d:X..\n", its flags those of the cutting
    // state), after the kind list; the report is opened when none is.
    void (*writeSecondFormLine)(const CuttingState& cutting, NcSession& session,
                                const StockModel* stock, RunReports& reports,
                                const char* line) = {};
    // A limit-log line, complete with its ending; the log is opened when it is not.
    void (*writeLimitLogLine)(NcSession& session, RunReports& reports, const char* line) = {};

    // --- View, shell and plug-ins ---
    // Starts the run's video recording (when enabled and the run is not automatic).
    void (*startVideoRecording)() = {};
    // The active path-reader plug-in: opens the NC file and takes its tools and start point
    // (1 when it took the source), and closes it at the end.
    int (*openPathReader)(NcSession& session, const char* path) = {};
    void (*closePathReader)() = {};
};
extern SimulationHooks SimulationCallbacks;

}  // namespace mirexa
