// The NC session: the whole state of one interpretation of a program (run state, line source,
// subprograms, dialect state, words, NURBS curve, controller view, and the machine and tool
// records it moves) with its open, pull and close, and the session of the run.
//
// Every function of the interpreter that reads or writes a session's records takes the session.
// The run interprets in RunSession; the tool path, drawn on the user-interface thread while the
// run waits on its own thread, and the data check interpret in sessions of their own and leave
// the run's untouched.
//
// Every puller goes the same way: refresh the session's controller view when the definition
// files may have changed, OpenNcSession, then NextNcMove until it answers kNcSessionEnded or
// kNcMoveError, then CloseNcSession.
#pragma once

#include <string>

#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"
#include "nc/controller_dialects.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_source_location.h"
#include "nc/nc_words.h"
#include "nc/nurbs_evaluation.h"

namespace mirexa {

// A source of moves other than the NC file (a path reader plug-in): open answers 1 when it
// reads the program named by the path; close ends it. Null members: no such source.
struct NcSession;
struct NcMoveReader {
    int (*open)(NcSession& session, const char* path) = {};
    void (*close)() = {};
};

struct NcSession {
    NcRunState run = {};
    NcLineBuffer line = {};
    SubprogramStack subprograms = {};
    NcProgramSource source = {};
    NcSourceLocation location = {};
    NurbsCurveData nurbs = {};
    NcDialectState dialect = {};
    NcWordSettings words = {};
    NcControllerView controller = {};
    // The machine and tool records the session moves: its own, except for the run's session,
    // which moves the run's records (RunKinematics, RunTools).
    KinematicsSessionRecords ownKinematics = {};
    ToolSessionRecords ownTools = {};
    KinematicsSessionRecords* kinematics = &ownKinematics;
    ToolSessionRecords* tools = &ownTools;
    // What OpenNcSession opened: the reader (kept for the close), or the NC file.
    NcMoveReader reader = {};
    int readerOpen = {};
    int fileOpen = {};

    NcSession() = default;
    constexpr NcSession(KinematicsSessionRecords* runKinematics, ToolSessionRecords* runTools)
        : kinematics(runKinematics), tools(runTools) {}
    NcSession(const NcSession&) = delete;
    NcSession& operator=(const NcSession&) = delete;
};

// The session of the run: the simulation run's interpretation.
extern NcSession RunSession;

// Starts a session from where another stands: its run state, controller view, words, dialect
// state and its machine and tool records are copied; its line source, subprograms and NURBS
// curve are not (the session opens its own).
void CopyNcSessionState(NcSession* to, const NcSession& from);

// Opens the session on the program: the in-memory index (re)built when the controller runs from
// memory, the interpreter reset, then the reader when it takes the path, else the NC file. 1 when
// a source is open, 0 when none opened (also for a program too large to be held in memory when
// the controller runs from memory).
int OpenNcSession(NcSession* session, const std::string& path, const NcMoveReader& reader);

// What NextNcMove handed out.
enum NcMoveKind : int {
    kNcSessionEnded = 0,  // the end of the program was reached before this call; nothing done
    kNcMoveReady = 1,     // a block or sub-move with a move in the session's motion, to finish
    kNcNoMove = 2,        // nothing to move: before the start character, or a subprogram end
    kNcMoveError = -1,    // the interpreter stopped on an error (run.status.error above 0)
};

// Pulls the next move of the session through the step driver and says what it is.
int NextNcMove(NcSession* session);

// Closes what OpenNcSession opened: the reader, or the NC file and every subprogram file.
void CloseNcSession(NcSession* session);

}  // namespace mirexa
