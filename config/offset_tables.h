// The work offset table of the controller definition: entry 0 is the external offset, entries
// 1 to 200 the work coordinate systems.
#pragma once

#include "geometry/machine_kinematics.h"

namespace mirexa {

constexpr int kWorkOffsetEntries = 201;

// X, Y, Z (mm), rotary 1, rotary 2 (deg) per entry; filled by the controller file reader and the
// offset dialogs.
extern MotionPosition WorkOffsetTable[kWorkOffsetEntries];

}  // namespace mirexa
