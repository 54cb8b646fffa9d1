// The work offset table of the controller definition.
#include "config/offset_tables.h"

namespace mirexa {

MotionPosition WorkOffsetTable[kWorkOffsetEntries];

}  // namespace mirexa
