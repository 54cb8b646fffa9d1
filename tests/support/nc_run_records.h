// The run's interpreter and machine records put back to their start values, so that an NC test
// or a hostile-input sweep starts the run's session from a known state.
#pragma once

#include "geometry/vector_math.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"
#include "support/kinematics_test_support.h"

namespace mirexa::testing {

// Closes the run's program and its index, then clears the run session's controller view, run
// state, line, subprograms and words, the used codes and input increments, and the run's machine
// records with the shared kinematics (ResetKinematicsState).
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
    ResetKinematicsState();
}

}  // namespace mirexa::testing
