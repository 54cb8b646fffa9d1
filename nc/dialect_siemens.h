// The SIEMENS dialect: tool orientation words, TRAORI and TRAFOOF, CYCLE800 tilted planes, SUPA
// and tools by name, read on the block scanner.
#pragma once

#include "nc/block_scanner.h"

namespace mirexa {

struct NcSession;

// The dialect as the block scanner takes it: ";" ends the block.
extern const ScannerDialect SiemensScanner;

// SIEMENS "CYCLE800("; the cursor stands behind "CYCLE800". Fills dialect.cycle800. Returns
// 1 for a complete list (a rotation order and its values), 0 for a reset list (",\"0...") or an
// empty one, or a list cut off by the line's end. The cursor ends behind the ")" (or at the end).
int ParseCycle800Arguments(NcSession& session, int* cursor, const char* line);

}  // namespace mirexa
