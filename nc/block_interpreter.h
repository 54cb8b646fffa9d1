// The block interpreter: one NC line turned into changes of the modal state and the target of
// the current move, word by word from left to right, then completed as a block.
#pragma once

namespace mirexa {

struct NcSession;

// Interprets one line (NUL-terminated, normally ending in "\n", at most 1,023 characters read).
// Reads and writes the session's run state, the session's motion and the transform and kinematics
// mode records; may push or pop a subprogram level; sets the error of the run status only through
// the block checks. Unknown G and M codes (decimal forms the interpreter does not list, such as
// G91.1, included) are ignored; unknown letters and other characters are skipped. Words whose value
// would index outside a table (negative or huge G, M, T, D, H, P, F indices) are ignored and the
// previous value is kept.
void InterpretNcBlock(NcSession& session, const char* line);

// An F word from the cursor (just behind the letter): the feed (mm/min), or in the indexed feed
// modes the feed memory entry it names; an index outside the feed memory is refused. Sets the
// move's and the modal feed; the cursor moves behind the value.
void ApplyFeedWord(NcSession& session, int* cursor, const char* line);

// Clears the per-block words of the modal state, as the step driver does before each block.
void ClearBlockWords(NcSession& session);

// Publishes the interpreter's modes to the kinematics inputs (length compensation and its axis,
// incremental mode, polar and cylindrical interpolation, machine-coordinate blocks, tool centre
// point control, the tilted plane).
void PublishKinematicsModes(NcSession& session);

}  // namespace mirexa
