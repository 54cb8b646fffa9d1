// nctrace: prints the move trace of an NC program. The arguments are read as the program's own
// command line reads them (.INI settings, .TTL tools, .CTL controller, .MTL machine, anything
// else the NC program); the settings file is read next, then the definition files in the
// start-up order (tools, controller, machine, tools again), the interpreter is reset and every
// move is pulled through the step driver. With "--machine" as the first argument each move line
// also shows where the machine stands at the move's end.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "config/config_records.h"
#include "config/tool_tables.h"
#include "nc/nc_session.h"
#include "tools/move_trace.h"
#include "tools/tool_definitions.h"

int main(int argc, char** argv) {
    using namespace mirexa;
    // "--machine" first: each move line also shows the machine position.
    const bool machine = argc > 1 && std::strcmp(argv[1], "--machine") == 0;
    if (machine) {
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    // The trace owns its interpretation: every record the definitions and the moves fill is its
    // session's.
    auto session = std::make_unique<NcSession>();
    if (!testing::LoadToolCommandLine(*session, argc, argv, "nctrace")) {
        return 2;
    }
    testing::StreamNcProgramTrace(
        *session, DefinitionFiles.ncProgramFile,
        [](const std::string& lines) { std::fwrite(lines.data(), 1, lines.size(), stdout); }, {},
        10000000, machine);
    FreeToolTables();
    return 0;
}
