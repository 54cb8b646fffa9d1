// The pullers' loop of the NC benchmarks: a program pulled through the step driver from reset to
// its end, in the session bound on the thread.
#pragma once

#include <string>

#include "nc/nc_session.h"
#include "nc/step_driver.h"

namespace mirexa {

// Opens the program in the bound session and pulls every move; returns the count of moves
// finished (0 when the program cannot be opened).
inline long PullAllMoves(const std::string& path) {
    NcSession* session = BoundNcSession();
    long moves = 0;
    if (OpenNcSession(session, path, NcMoveReader{})) {
        int next = kNcNoMove;
        while ((next = NextNcMove(session)) != kNcSessionEnded && next != kNcMoveError) {
            if (next == kNcMoveReady) {
                FinishBlockPosition();
                ++moves;
            }
        }
    }
    CloseNcSession(session);
    return moves;
}

}  // namespace mirexa
