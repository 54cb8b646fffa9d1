// A plain tool for the tests that cut or draw: present, of the given shape and diameter (mm), 20 mm
// long, a ball end with its radius set.
#pragma once

#include <cstdint>

#include "config/tool_tables.h"

namespace mirexa::testing {

inline void PutTestTool(int n, std::uint32_t type, float d) {
    ToolRecord& t = ToolTableSet.tools[n];
    t = ToolRecord{};
    t.present = 1;
    t.type = type;
    t.d = d;
    t.h = 20.0f;
    if (type == kToolBall) {
        t.r = t.f = d / 2.0f;
    }
}

}  // namespace mirexa::testing
