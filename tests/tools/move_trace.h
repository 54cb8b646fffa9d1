// The move trace of the tests: an NC program pulled through the step driver from reset to its
// end, one text line per move, for golden files and the nctrace program.
#pragma once

#include <functional>
#include <string>

namespace mirexa::testing {

// One line per move handed out with motion: the source line (the main file's line, a subprogram's
// line in the NC file when it runs from memory, "<name>:<line>" in a subprogram file), the
// motion type, the last
// position (X Y Z and the two rotary axes), for arcs the transformed centre and the sweep, and
// the feed, all at %.4f. The run ends with a line "END state <s> error <e>"; a program whose start
// character never appeared ends with error 3, as the data check reports it.
//
// The program index is loaded first when the controller runs from memory. `afterEachCall`, when
// given, runs after every call of the step driver (tests check invariants there). At most
// `maxCalls` calls are made; a run cut there ends with "END cut".
std::string TraceNcProgram(const std::string& programPath,
                           const std::function<void()>& afterEachCall = {},
                           long maxCalls = 10000000);

// The trace line of the current move.
std::string FormatMoveLine();

}  // namespace mirexa::testing
