// Cutter radius compensation (G41 tool left of the path, G42 right, G40 cancel) with a look-ahead
// of three blocks: the previous element, the last element and the live block. Every line and arc
// of the current plane is offset by the compensation radius; corners are joined by intersection
// (inner corners), by tangent extensions or, after G39, by a true arc (outer corners). The step
// driver runs it: an element is handed out only once the next element that moves in the plane
// is known.
//
// The state lives in run.compensation (nc/compensation_state.h) and run.compensationPhase
// (0 off, 1 active, 2 cancel pending); ResetInterpreterState clears both. The interpreter sets
// the phase (G41/G42 when it is 0: 1; G40 when it is 1: 2), the side and the G39 request.
//
// How the step driver calls in (see step_driver.cpp):
// - after a block was interpreted on the plain path: PrepareCompensationStart, and when it
//   returns 1, StartCompensation makes the start-up move;
// - before reading a block: StepCompensation hands out what the look-ahead holds or reads on.
//
// Decisions beyond the plain rules, for sound results:
// - the compensation starts at the first block that moves in the plane; a G41/G42 block that
//   moves only along the tool axis (or not at all) passes as it is;
// - a block the look-ahead cannot offset (a reference return, a canned-cycle position, a tool
//   change, a NURBS or machine-coordinate move, a move of other axes) ends the contour: the held
//   element is handed out to its offset end, the block runs as a plain block, and the
//   compensation starts again at the next block that moves in the plane;
// - a work-offset change ends the reading at its block; the held element goes out in the old
//   work coordinates and the change is held until the queued moves are done. A change in a block
//   without plane motion restarts the compensation at the next block that moves in the plane;
// - at the end of the program the held element is handed out, and a pending cancel moves the
//   tool back onto the programmed end;
// - G39 applies to the next corner only, inner or outer;
// - of two intersection points on both elements the one nearer the programmed corner is taken.
#pragma once

#include "nc/compensation_state.h"

namespace mirexa {

struct NcSession;

// Results of StepCompensation.
constexpr int kCompensationIdle = 0;         // nothing held: the step driver reads the next block
constexpr int kCompensationMoveMade = 1;     // a move (or an error) was produced
constexpr int kCompensationFinishBlock = 2;  // the driver finishes the held block as a plain block

// G41 or G42 read: the side (+1 tool left of the path, -1 right) is kept for the radius, which
// is taken afresh (see UpdateCompensationRadius).
void SetCompensationSide(NcSession& session, int side);

// The signed compensation radius from the side set by G41 or G42 and the D offset (D offset plus
// D wear of RadiusOffsetNumber). Called by the interpreter at D. After G40 the radius is kept for
// the cancel move; a mirror that swaps the displayed side later does not change it (the mirror
// turns the compensated path as a whole).
void UpdateCompensationRadius(NcSession& session);

// Offsets the live block (the session's motion) into run.compensation.live. Mode 0 start-up: the
// start stays, the end is offset. Mode 1: both ends offset. Mode 2 cancel: the start is offset (a
// line starts at the last slot's offset end), the end stays. Arcs are offset along their radial
// vectors by the radius rounded to single precision; lines by the single-precision left normal
// of their plane delta (a zero delta gives no offset). With CONCAVE-ARC FEED a concave offset arc
// runs at the feed times its offset radius over its radius. With CHECK REVERSE ARC an offset
// radius below zero (in least increments) sets error 6.
void ComputeCompensatedPosition(NcSession& session, int mode);

// 1 when the corner between the previous and the last slot is an outer corner for the
// compensation side (the tool has to go round the programmed corner); 0 for an inner corner and
// for tangent or reversing elements.
int ComputeCompensationCorner(NcSession& session);

// Look-ahead slots: last -> previous, live block -> last (ShiftBlockLookahead, declared in
// nc/sub_moves.h). RestoreBlockStateNext makes the last slot's programmed block live again (for
// the interpreter to read on from); RestoreBlockStateCurrent and RestoreBlockStatePrevious make
// the last or previous slot's offset element the move handed out.
void RestoreBlockStateNext(NcSession& session);
void RestoreBlockStateCurrent(NcSession& session);
void RestoreBlockStatePrevious(NcSession& session);

// Reads and interprets look-ahead lines until one needs the caller. Blocks without motion are
// passed over; a block that moves only along the tool axis is queued as a tool-axis move (with
// the tool orientation input on, an orientation-only block as a tool-vector change). Returns one
// of the kLookahead... codes of cutter_compensation.cpp's reading: a block that moves in the
// plane, the end of the program, an error, a block for the plain path, a work-offset change, or
// in the RESET cancel mode a block without motion.
int SkipBlocksWithoutMotion(NcSession& session);

// Called for a block just interpreted on the plain path while the phase is not 0: 1 when it
// starts the compensation (it moves in the plane and can be offset); 0 to let it run plain (a G40
// before any element switches the compensation off again).
int PrepareCompensationStart(NcSession& session);

// The start-up: offsets the live block (mode 0), reads on to the next element and hands out the
// start-up move, ending at the offset start of the next element.
void StartCompensation(NcSession& session);

// The look-ahead's part of a step driver call, made once the queues are empty: the cancel move,
// a block held for the plain path, or the next element with its corner. Returns a
// kCompensation... result.
int StepCompensation(NcSession& session);

// 1 while an element is held, so that queued cycle points are corner or connecting moves.
int CompensationHoldsElement(NcSession& session);

// The step driver hands out queued tool-axis move `index`: its line and feed become the move's.
void NoteToolAxisMoveHandedOut(NcSession& session, int index);

// The source line of the move just handed out when the look-ahead made it (an element, a queued
// tool-axis move, a corner or connecting move), else null. Corner and connecting moves
// (motion.lookaheadReplay 1) carry the line of the element after the corner; the pullers
// record it negated. The line is also set as line.displayedLineNumber, which the line source
// does not count on while the phase is on.
const NcMoveLine* CompensatedMoveLine(NcSession& session);

}  // namespace mirexa
