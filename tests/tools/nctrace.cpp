// nctrace: prints the move trace of an NC program. The files are given as to the program itself,
// told apart by their extension: .INI settings, .TTL tools, .CTL controller, .MTL machine,
// anything else the NC program. They are read in the start-up order (tools, controller,
// machine), the interpreter is reset and every move is pulled through the step driver.
#include <cstdio>
#include <string>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/machine_file.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/file_paths.h"
#include "nc/nc_controller_view.h"
#include "tools/move_trace.h"

int main(int argc, char** argv) {
    using namespace mirexa;
    std::string program, tools, controller, machine;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (HasFileExtension(arg, "INI")) {
            std::fprintf(stderr, "nctrace: the settings file is not read: %s\n", arg.c_str());
        } else if (HasFileExtension(arg, "TTL")) {
            tools = arg;
        } else if (HasFileExtension(arg, "CTL")) {
            controller = arg;
        } else if (HasFileExtension(arg, "MTL")) {
            machine = arg;
        } else {
            program = arg;
        }
    }
    if (program.empty()) {
        std::fprintf(stderr,
                     "usage: nctrace [file.INI] [file.TTL] [file.CTL] [file.MTL] program\n");
        return 2;
    }
    InstallNcServiceHooks();
    AllocToolTables(Settings.maxMagazine);
    if (!tools.empty()) {
        ReadToolFileAt(tools);
    }
    if (!controller.empty()) {
        ReadControllerFileAt(controller);
    }
    if (!machine.empty()) {
        ReadMachineFileAt(machine, 1);
        if (!tools.empty()) {
            ReadToolFileAt(tools);
        }
    }
    RefreshNcControllerView();
    const std::string trace = testing::TraceNcProgram(program);
    std::fputs(trace.c_str(), stdout);
    FreeToolTables();
    return 0;
}
