// The OSP dialect on the block scanner: subprogram calls and returns, the inclined-plane call,
// and its own G and M codes.
#pragma once

#include "nc/block_scanner.h"

namespace mirexa {

struct NcSession;

extern const ScannerDialect OspScanner;

// OSP "CALL OO88"; the cursor stands behind "OO88". PH is the source work offset, PP the target
// (both 0 .. 200, else the call is refused), PA and PB the rotary angles (deg), PX, PY, PZ the
// shift (mm), PCA, PCB, PCC the rotary values of the target. The target is the source plus the
// shift turned through the rotary table (both axes about their table centres; a head machine
// turns nothing), then selected as the work offset with every position register re-based.
// Returns 1 when the target was written, 0 when refused.
int ApplyOo88InclinedPlaneCall(NcSession& session, int* cursor, const char* line);

// "CALL O..." of the OSP dialect; the cursor stands on the "O". From memory the number after the
// O enters that subprogram; otherwise the word from the O to the next blank is a file name.
// Returns 1 when a level was entered.
int CallOspSubprogram(NcSession& session, int* cursor, const char* line);

}  // namespace mirexa
