// The text `mirexa --help` prints: the command line's arguments and switches.
#pragma once

namespace mirexa {

// The help text, UTF-8, ending with a line end.
const char* CommandLineHelpText();

}  // namespace mirexa
