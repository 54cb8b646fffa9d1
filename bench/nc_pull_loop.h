// The pullers' loop of the NC benchmarks: a session each benchmark owns, and a program pulled
// through the step driver from reset to its end in it.
#pragma once

#include <memory>
#include <string>

#include "nc/nc_session.h"
#include "nc/step_driver.h"

namespace mirexa {

// A session of the benchmark's own.
struct OwnedNcSession {
    std::unique_ptr<NcSession> session = std::make_unique<NcSession>();
};

// Opens the program in the session and pulls every move; returns the
// count of moves finished (0 when the program cannot be opened).
inline long PullAllMoves(NcSession* session, const std::string& path) {
    long moves = 0;
    if (OpenNcSession(session, path, NcMoveReader{})) {
        int next = kNcNoMove;
        while ((next = NextNcMove(session)) != kNcSessionEnded && next != kNcMoveError) {
            if (next == kNcMoveReady) {
                FinishBlockPosition(*session);
                ++moves;
            }
        }
    }
    CloseNcSession(session);
    return moves;
}

}  // namespace mirexa
