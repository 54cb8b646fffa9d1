// nctrace: prints the move trace of an NC program. The arguments are read as the program's own
// command line reads them (.INI settings, .TTL tools, .CTL controller, .MTL machine, anything
// else the NC program); the settings file is read next, then the definition files in the
// start-up order (tools, controller, machine, tools again), the interpreter is reset and every
// move is pulled through the step driver.
#include <cstdio>
#include <string>

#include "config/config_records.h"
#include "config/tool_tables.h"
#include "tools/move_trace.h"
#include "tools/tool_definitions.h"

int main(int argc, char** argv) {
    using namespace mirexa;
    if (!testing::LoadToolCommandLine(argc, argv, "nctrace")) {
        return 2;
    }
    testing::StreamNcProgramTrace(DefinitionFiles.ncProgramFile, [](const std::string& lines) {
        std::fwrite(lines.data(), 1, lines.size(), stdout);
    });
    FreeToolTables();
    return 0;
}
