// The HEIDENHAIN dialect on the block scanner: keyword blocks, conversational moves (L, C, CC,
// LP, CP), Q parameters, cycle definitions and calls, PLANE.
#pragma once

#include "nc/block_scanner.h"

namespace mirexa {

struct NcSession;

// The dialect as the block scanner takes it: ";" and "*" end the block.
extern const ScannerDialect HeidenhainScanner;

// HEIDENHAIN ISO cycle word: the cursor stands behind the "P"; reads P01 to P05 into the cycle
// parameters by the defined cycle (73 and 83 differ from the others). Returns 1 when the word
// was one of them (cursor behind its value), 0 otherwise (cursor unchanged).
int ParseHeidenhainIsoCycleWord(NcSession& session, int* cursor, const char* line);

// HEIDENHAIN cycle definition; the cursor stands behind "CYCL DEF" (or "CYCLDEF"). 7.0 is
// nothing; 7.1 to 7.3 "#n" select work offset n (0 .. 200), an axis word sets that axis of
// work offset 1; 247 selects the work offset of its Q339 (0 .. 200); 200 to 209 become the
// defined cycle. Q words later in the line are read as parameters. Returns 1 when the definition
// was understood; 0 for an unknown cycle number or a work offset beyond 0 .. 200 (nothing
// changed). The cursor ends at the line's end.
int ParseHeidenhainCyclDef(NcSession& session, int* cursor, const char* line);

// Stores Q parameter n (0 .. kQParameterCount-1); Q202, Q206, Q211 and the other named
// parameters set their cycle values too, and Q339 under a defined cycle 247 selects the work
// offset. Returns 0 (nothing stored) for a number beyond the table.
int SetHeidenhainQParameter(NcSession& session, int n, double value);

// HEIDENHAIN "PLANE"; the cursor stands behind "PLANE". SPATIAL: the SPA, SPB, SPC angles and
// SEQ (+1, -1, 0, which is also the preferred rotary sign); the plane is built at the block's end
// (G code 682). RESET: angles and the rotary values of the end and the programmed position 0,
// G code 69, the plane off. Returns 1 for SPATIAL or RESET, 0 for any other plane form (ignored).
int ParseHeidenhainPlane(NcSession& session, int* cursor, const char* line);

}  // namespace mirexa
