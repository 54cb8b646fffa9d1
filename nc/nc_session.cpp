// The NC session: the session of the run, the binding of a session to a thread, and the open,
// pull and close every puller goes through.
#include "nc/nc_session.h"

#include "nc/step_driver.h"

namespace mirexa {

constinit NcSession RunSession(&RunKinematics, &RunTools);

// The names of the interpreter's records, bound on each thread to the run's session until a
// puller binds its own.
thread_local constinit NcRunState* BoundNcRun = &RunSession.run;
thread_local constinit NcLineBuffer* BoundNcLine = &RunSession.line;
thread_local constinit SubprogramStack* BoundSubprograms = &RunSession.subprograms;
thread_local constinit NcProgramSource* BoundNcSource = &RunSession.source;
thread_local constinit NcSourceLocation* BoundNcSourceLocation = &RunSession.location;
thread_local constinit NurbsCurveData* BoundNurbsCurve = &RunSession.nurbs;
thread_local constinit NcDialectState* BoundDialectState = &RunSession.dialect;
thread_local constinit NcWordSettings* BoundNcWords = &RunSession.words;
thread_local constinit NcControllerView* BoundNcController = &RunSession.controller;

namespace {

thread_local constinit NcSession* boundSession = &RunSession;

void BindNcSession(NcSession* s) {
    boundSession = s;
    BoundNcRun = &s->run;
    BoundNcLine = &s->line;
    BoundSubprograms = &s->subprograms;
    BoundNcSource = &s->source;
    BoundNcSourceLocation = &s->location;
    BoundNurbsCurve = &s->nurbs;
    BoundDialectState = &s->dialect;
    BoundNcWords = &s->words;
    BoundNcController = &s->controller;
    BindKinematicsRecords(s->kinematics);
    BindToolRecords(s->tools);
}

}  // namespace

NcSession* BoundNcSession() {
    return boundSession;
}

NcSessionBinding::NcSessionBinding(NcSession* session) : previous(boundSession) {
    BindNcSession(session);
}

NcSessionBinding::~NcSessionBinding() {
    BindNcSession(previous);
}

void CopyNcSessionState(NcSession* to, const NcSession& from) {
    to->run = from.run;
    to->controller = from.controller;
    to->words = from.words;
    to->dialect = from.dialect;
    *to->kinematics = *from.kinematics;
    *to->tools = *from.tools;
}

int OpenNcSession(NcSession* session, const std::string& path, const NcMoveReader& reader) {
    if (NcController.runTypeMemory != 0) {
        LoadNcProgramIndex(path);
    }
    ResetInterpreterState();
    session->reader = reader;
    session->readerOpen = reader.open != nullptr && reader.open(path.c_str()) != 0 ? 1 : 0;
    session->fileOpen = 0;
    if (session->readerOpen == 0) {
        session->fileOpen = OpenNcProgramSource(path);
    }
    return session->readerOpen != 0 || session->fileOpen != 0 ? 1 : 0;
}

int NextNcMove(NcSession* session) {
    NcRunStatus& status = session->run.status;
    if (status.endState >= kRunEnded) {
        return kNcSessionEnded;
    }
    ComputeNextMove();
    if (status.error > 0) {
        return kNcMoveError;
    }
    return status.started == 0 || status.subprogramEnd != 0 ? kNcNoMove : kNcMoveReady;
}

void CloseNcSession(NcSession* session) {
    if (session->readerOpen != 0 && session->reader.close != nullptr) {
        session->reader.close();
    }
    CloseNcProgramSource();
    session->readerOpen = 0;
    session->fileOpen = 0;
}

}  // namespace mirexa
