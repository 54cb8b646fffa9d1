// The step driver: hands out the NC program one move at a time, queued sub-moves first, and
// finishes each move's transformed end; and the one reset of the interpreter's run state.
//
// Calling order of every puller: RefreshNcControllerView (after the definition files were read),
// LoadNcProgramIndex when the controller runs from memory, ResetInterpreterState, open the
// source; then while the end
// state is below 2: ComputeNextMove; stop on an error above 0; skip the call when started is 0
// or subprogram end is 1 (no move); otherwise FinishBlockPosition and use the move from its
// start point to its last position.
#pragma once

namespace mirexa {

struct NcSession;

// Produces at most one move in the session's motion, in this order: a tool-change move; a rapid
// leg; a tool-axis move; a tool-orientation change; a cycle or corner point; the final leg of a
// reference return; the end of the program; otherwise the next block (start and stop character
// lines produce no move).
void ComputeNextMove(NcSession& session);

// Turns the move's end into its last position: small values snapped to 0, the tool length or the
// fixed head offset added, the rotation stack and the mirror applied (an arc's direction swapped
// once per move when exactly one plane axis is mirrored; its centres reflected with it).
void FinishBlockPosition(NcSession& session);

// Applies a work-offset change held by the compensation look-ahead: the end and the last position
// go into the new work coordinates and the new work origin becomes current.
void ApplyHeldWorkOffsetChange(NcSession& session);

// 1 when the line is the controller's start and stop character line: the character first, or a
// blank and then it (never with a blank or no character configured).
int IsEndOfRecordLine(NcSession& session, const char* line);

// Resets the whole run state from the controller values and the current program position. The
// work offset index and the length and radius offset numbers keep their values.
void ResetInterpreterState(NcSession& session);

}  // namespace mirexa
