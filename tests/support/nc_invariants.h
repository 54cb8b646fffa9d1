// Invariants of the NC interpreter's run state, checked after every call of the step driver in
// the interpreter tests.
#pragma once

#include <string>

namespace mirexa::testing {

// "" when the run state is consistent, else a description of the first rule found broken.
std::string CheckNcInvariants();

}  // namespace mirexa::testing
