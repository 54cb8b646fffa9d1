// The pullers' loop of the NC benchmarks: a program pulled through the step driver from reset to
// its end.
#pragma once

#include <string>

#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/step_driver.h"

namespace mirexa {

// Resets the interpreter, opens the program and pulls every move; returns the count of moves
// finished (0 when the program cannot be opened).
inline long PullAllMoves(const std::string& path) {
    ResetInterpreterState();
    if (!OpenNcProgramSource(path)) {
        return 0;
    }
    long moves = 0;
    while (NcRun.status.endState < 2 && NcRun.status.error == 0) {
        ComputeNextMove();
        if (NcRun.status.subprogramEnd) {
            continue;
        }
        FinishBlockPosition();
        ++moves;
    }
    CloseNcProgramSource();
    return moves;
}

}  // namespace mirexa
