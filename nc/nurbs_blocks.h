// The NURBS block reader: a G06.2 block (knot letter K), or a G132 block outside the OSP dialect
// (knot letter Q), read over several NC lines into the session's NURBS curve as one move of motion
// type 132.
//
// The curve's lines: the G word's line and the lines after it give one control point each
// (X, Y, Z as axis words, weight R, knot K or Q); a coordinate a line does not give repeats the
// previous point's (on the first line the current end), a missing weight is 1. The first line
// may also give the order P (default 4) and the feed F. The first line without X, Y, Z and R
// ends the control points; it and the lines after it give one knot each, until the knot count
// (control points + order) is complete. Lines without any word (blank or comment only) are
// passed over. Knots and weights are coordinates (ReadWordCoordinate): without a decimal point
// they are divided by the least input increment unless real input is set, so "R1" and "R1."
// written side by side give weights 1,000 apart.
#pragma once

#include "nc/nurbs_evaluation.h"

namespace mirexa {

struct NcSession;

// Further results of ReadNurbsBlocks besides the ValidateNurbsCurve codes.
constexpr int kNurbsMissingKnot = -8;  // a line without the knot letter before the curve ended
constexpr int kNurbsCutOff = -9;       // the program or subprogram file ended mid-curve
constexpr int kNurbsNoMemory = -10;    // the curve buffers could not be allocated

// Reads the curve that starts at line[cursor] (just behind the G06.2 or G132 word), reading
// further lines with ReadNextline. A line that does not belong to the curve (no knot letter,
// or control point words among the knot lines) ends the reading and is pushed back
// (PushBackNcLine): the next read hands it on as a block of its own.
//
// Returns 1 for a complete, valid curve: the session's NURBS curve holds it (in program
// coordinates), the block's start and end X, Y, Z are the last control point, the programmed values
// follow the control points, and the block counts as moving, with the axes its points named. CHECK
// F0 with feed 0 then sets error 2. Otherwise returns the failure's negative code (kNurbs... of
// nurbs_evaluation.h or above) and sets interpreter error kNcErrorNurbs: the block makes no move
// (its end back at its start), and the session's NURBS curve holds no curve (counts 0).
int ReadNurbsBlocks(NcSession& session, const char* line, int cursor, char knotLetter);

}  // namespace mirexa
