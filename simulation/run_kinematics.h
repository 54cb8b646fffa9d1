// The kinematics inputs that a cutting run keeps up to date: the run mode, the table frame of tool
// centre point control and the programmed-angles flag of moves in a tilted plane.
#pragma once

#include <string>

#include "services/run_mode.h"

#include "simulation/simulation_thread.h"

namespace mirexa {

struct NcSession;

// Run start: modes.runMode and modes.batchKind take the run's (the NC branches that depend on the
// kind of run read them; the run mode follows the Tab keys at each block), and the warning file is
// named after the program `path` until the line source says where the interpreter stands. Called
// before the interpreter's reset.
void BeginRunKinematics(NcSession& session, const std::string& path, RunMode mode,
                        BatchRunKind batchKind);

// Run end: no run is active for the kinematics any more (kIdle, kNone).
void EndRunKinematics(NcSession& session);

// Tool centre point control switched on since NoteBlockEntry (or on from the start of the run,
// when loop->toolCentreFrame is still 0): fills the session's tool centre point frame from the
// program's rotary values where the block starts (FillTcpTableFrame). Under TCL COORDINATE TABLE
// the rotary values then count from those reference angles; the program's rotary values that the
// block does not name are moved by them, so that the machine stays where it stands. Switched off:
// the rotary values are moved back by the reference angles, and the frame is cleared.
void FollowToolCentreSwitch(NcSession& session, BlockLoopState* loop);

// A move in a tilted plane whose rotary values stand for the plane's angles (`planeAngles` 1, as
// TakePlaneRotaryAngles sets them) turns the rotary axes with the program's rotary values over
// its steps (modes.keepProgrammedAngles set); any other block clears the flag.
void SetKeepProgrammedAngles(NcSession& session, int planeAngles);

}  // namespace mirexa
