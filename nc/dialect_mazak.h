// The MAZAK dialect: the head angle mode word, the diameter mode word of G10.9 and the diameter
// programming codes G122.1 and G123.1, read on the block scanner.
#pragma once

#include "nc/block_scanner.h"

namespace mirexa {

extern const ScannerDialect MazakScanner;

}  // namespace mirexa
