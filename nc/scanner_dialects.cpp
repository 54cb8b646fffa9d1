// The plain dialect of the block scanner: the common word-address codes with no hooks.
#include "nc/scanner_dialects.h"

namespace mirexa {

const ScannerDialect PlainScanner = {};

}  // namespace mirexa
