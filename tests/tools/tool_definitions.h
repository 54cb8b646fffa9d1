// The start of the test tools that take the program's own command line (nctrace, nccheck): the
// arguments parsed, the settings read, then the definition files in the start-up order.
#pragma once

namespace mirexa {
struct NcSession;
}  // namespace mirexa

namespace mirexa::testing {

// Reads the arguments as the program's command line reads them (.INI settings, .TTL tools, .CTL
// controller, .MTL machine, anything else the NC program), the settings file, then the tools,
// controller and machine files (and the tools file again after the machine), and refreshes the
// interpreter's view of them. Messages and files the command line named but that are missing
// are printed to stderr after "<tool>: ". Returns 1, or 0 (with the usage printed) when no NC
// program was named. Free the tool tables with FreeToolTables when done.
int LoadToolCommandLine(NcSession& session, int argc, char** argv, const char* tool);

}  // namespace mirexa::testing
