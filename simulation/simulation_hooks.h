// What the simulation thread calls that lives in the view, the shell and the plug-in host, or in
// the checks of this subsystem that are built on the cut. The owners fill the hooks at start-up;
// tests fill them with scripted fakes. A null hook means "nothing there": no check runs, nothing
// is drawn.
#pragma once

#include <cstdint>

namespace mirexa {

struct CuttingState;
struct CurrentToolRecord;
struct NcSession;
struct StockModel;

struct SimulationHooks {
    // --- Checks of a step ---
    // The shank and holder passes of the checks: run by the cut after its cutter passes at every
    // pose (also when the tool lies outside the grid) on the cut's state; returns the volume they
    // removed (mm^3). A hook, so that the cut's core stays below the checks built on it (the
    // passes use its views and rays), and its own tests cut the cutter alone or count the passes.
    double (*shankAndHolderPasses)(CuttingState& cutting, const CurrentToolRecord& tool,
                                   StockModel* model) = {};

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
