// The brief of the current tool.
#include "config/current_tool_brief.h"

namespace mirexa {

CurrentToolBrief CurrentToolState;

}  // namespace mirexa
