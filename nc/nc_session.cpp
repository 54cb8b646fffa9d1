// The NC session: the session of the run, and the open,
// pull and close every puller goes through.
#include "nc/nc_session.h"

#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"
#include "nc/step_driver.h"

namespace mirexa {

// The run's session is built before any other global of the program can reach it. g++ builds it
// at compile time; clang before 15 cannot evaluate the standard library's string constructor at
// compile time (the fuzzing tree's compiler), so there it is built first of all dynamic
// initialisers of the program.
#if defined(__clang__) && __clang_major__ < 15
__attribute__((init_priority(101))) NcSession RunSession(&RunKinematics, &RunTools);
#else
constinit NcSession RunSession(&RunKinematics, &RunTools);
#endif

void CopyNcSessionState(NcSession* to, const NcSession& from) {
    to->run = from.run;
    to->controller = from.controller;
    to->words = from.words;
    to->dialect = from.dialect;
    *to->kinematics = *from.kinematics;
    *to->tools = *from.tools;
}

int OpenNcSession(NcSession* session, const std::string& path, const NcMoveReader& reader) {
    // A program too large to be held in memory is not run from the file instead.
    const int held =
        session->controller.runTypeMemory != 0 ? LoadNcProgramIndex(*session, path) : 1;
    ResetInterpreterState(*session);
    session->reader = reader;
    if (held < 0) {
        session->readerOpen = 0;
        session->fileOpen = 0;
        return 0;
    }
    session->readerOpen =
        reader.open != nullptr && reader.open(*session, path.c_str()) != 0 ? 1 : 0;
    session->fileOpen = 0;
    if (session->readerOpen == 0) {
        session->fileOpen = OpenNcProgramSource(*session, path);
    }
    return session->readerOpen != 0 || session->fileOpen != 0 ? 1 : 0;
}

int NextNcMove(NcSession* session) {
    NcRunStatus& status = session->run.status;
    if (status.endState >= kRunEnded) {
        return kNcSessionEnded;
    }
    ComputeNextMove(*session);
    if (status.error > 0) {
        return kNcMoveError;
    }
    return status.started == 0 || status.subprogramEnd != 0 ? kNcNoMove : kNcMoveReady;
}

void CloseNcSession(NcSession* session) {
    if (session->readerOpen != 0 && session->reader.close != nullptr) {
        session->reader.close();
    }
    CloseNcProgramSource(*session);
    session->readerOpen = 0;
    session->fileOpen = 0;
}

}  // namespace mirexa
