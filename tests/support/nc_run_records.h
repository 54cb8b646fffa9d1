// The run's interpreter and machine records put back to their start values, so that an NC test
// or a hostile-input sweep starts the run's session from a known state.
#pragma once

#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "geometry/vector_math.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"

namespace mirexa::testing {

// Closes the run's program and its index, then clears the run session's controller view, run
// state, line, subprograms and words, the used codes and input increments, the run's motion,
// pose, work origin, modes, tool values and tilted plane, the machine geometry, the kinematics
// controller settings and the orientation frames.
inline void ResetRunInterpreterRecords() {
    CloseNcProgramSource(RunSession);
    FreeNcProgramIndex(RunSession);
    RunSession.controller = {};
    RunSession.run = {};
    RunSession.line = {};
    RunSession.subprograms = {};
    RunSession.words = {};
    UsedCodes = {};
    InputIncrements = {};
    RunKinematics.motion = {};
    RunKinematics.pose = {};
    CurrentMachine = {};
    RunKinematics.workOrigin = {};
    RunKinematics.modes = {};
    KinematicsController = {};
    RunKinematics.toolValues = {};
    RunKinematics.plane = {};
    Orientation = {};
}

}  // namespace mirexa::testing
