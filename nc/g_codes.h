// The G codes of the block scanner: the dialect's own codes first, then the common codes by modal
// group (motion, plane, compensation, coordinates, cycles, transforms).
#pragma once

#include "nc/block_scanner.h"

namespace mirexa {

// Reads the G word at the cursor (behind the "G") and applies it. An unlisted decimal form
// (G91.1, G90.1, G41.1 ...) is stored as the block's G code and otherwise ignored.
void ApplyGWord(BlockScan* scan);

// The codes in which the word-address dialects other than the plain one (OSP, HEIDENHAIN) part
// from the common set: G10, G12, G13, G43, G44, G49, G52, G54 to G59 (G56 excepted) and G68/G69
// are nothing, G50 ends scaling, G51 scales with one common factor and G56 is length
// compensation +.
extern const DialectGCode WordAddressGCodes[];
extern const int WordAddressGCodeCount;

// Dialect G code handlers shared by several dialects: a code that does nothing, and the G01 to
// G03 motion types of a code whose last two digits give them.
int IgnoreGCode(BlockScan* scan, GWord g);
int ApplyMotionCode(BlockScan* scan, GWord g);

// G04: a dwell block; the time is the value behind the first of the letters in the rest of the
// line.
void StartDwell(BlockScan* scan, const char* letters);

}  // namespace mirexa
