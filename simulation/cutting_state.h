// The state of the cut and of the checks at one tool pose, as one record: the cutter's sections,
// the pose of the last cut, the three dexel grid views of the stock it cut, the section of the
// shank or holder pass, the step's interference flags, the tool-length measures, the mounted
// tools' results and the counters of the passes and checks.
//
// Ownership: a cutting run owns one (CuttingRun::cutting) and hands it to every step of its
// moves (MoveStepContext::cutting); the window keeps its run's between runs, so that the jog and
// the control point dialog cut with the cutter the last run loaded; a drawing, a test or a
// benchmark keeps its own. Two records never see each other's pose, flags or measures.
//
// Threads: the owner's thread only. Inside a cut the pool's threads read the record's cutter and
// pose through the pointer the cut hands them, and write nothing of it: what they find is
// gathered on the calling thread.
#pragma once

#include <cstdint>

#include "simulation/cutting_core.h"
#include "simulation/dexel_grid_view.h"
#include "simulation/head_interference.h"
#include "simulation/holder_checks.h"
#include "simulation/interference_flags.h"
#include "simulation/mounted_tools.h"
#include "simulation/structure_checks.h"
#include "simulation/tool_length_report.h"

namespace mirexa {

struct CuttingState {
    // The values of the current tool that the section solids read (LoadCutterSections).
    CutterSections cutter = {};
    // The per-pose geometry, rewritten by every cut (model coordinates).
    CutPoseGeometry pose = {};
    // Running totals of the cutter passes, for the benchmarks.
    CuttingTotalsRecord totals = {};
    // Threads that share one cut (1: all on the calling thread; at most the processors). A run
    // sets it from the settings' MULTI THREAD.
    std::int32_t threadCount = 1;
    // The three views of the stock cut last, indexed by DexelViewIndex; a cut binds them again
    // when they describe another model or stale arrays.
    DexelGridView views[3] = {};
    // The section the shank and holder passes test.
    ShankSectionValues shankSection = {};
    // The tool-length measures of the tool in use (running maxima; the report line clears them).
    ToolLengthMeasurements measured = {};
    // The flags of the step: cleared before each step, set by its cut and checks.
    InterferenceFlagSet flags = {};
    // What the mounted-tools pass found for each tool of the carrier at the last step.
    MountedToolResults mountedResults = {};
    // Counters of the head and structure checks; only ever added to.
    HeadCheckCounters headChecks = {};
    SweepCheckCounters sweepChecks = {};
};

}  // namespace mirexa
