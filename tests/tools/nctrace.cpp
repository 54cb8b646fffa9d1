// nctrace: prints the move trace of an NC program. The arguments are read as the program's own
// command line reads them (.INI settings, .TTL tools, .CTL controller, .MTL machine, anything
// else the NC program); the settings file is read next, then the definition files in the
// start-up order (tools, controller, machine, tools again), the interpreter is reset and every
// move is pulled through the step driver.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/machine_file.h"
#include "config/settings_file.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "nc/nc_controller_view.h"
#include "tools/move_trace.h"

namespace {

// A definition file is read when it exists. The settings name defaults for files the command
// line did not give, which need not exist; a file the command line named and that is missing
// is reported.
bool Readable(const std::string& path, int given) {
    std::error_code error;
    if (!path.empty() && std::filesystem::is_regular_file(path, error)) {
        return true;
    }
    if (given) {
        std::fprintf(stderr, "nctrace: cannot read %s\n", path.c_str());
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace mirexa;
    std::vector<std::string> messages;
    ParseCommandLine(JoinCommandLineArguments(argc, argv), &messages);
    ReadSettings(&messages);
    for (const std::string& message : messages) {
        std::fprintf(stderr, "nctrace: %s\n", message.c_str());
    }
    const DefinitionFilePaths& files = DefinitionFiles;
    const std::string program = files.ncProgramFile;
    if (program.empty()) {
        std::fprintf(stderr,
                     "usage: nctrace [file.INI] [file.TTL] [file.CTL] [file.MTL] program\n");
        return 2;
    }
    InstallNcServiceHooks();
    AllocToolTables(Settings.maxMagazine);
    const bool tools = Readable(files.toolsFile, CommandLine.toolsGiven);
    if (tools) {
        ReadToolFileAt(files.toolsFile);
    }
    if (Readable(files.controllerFile, CommandLine.controllerGiven)) {
        ReadControllerFileAt(files.controllerFile);
    }
    if (Readable(files.machineFile, CommandLine.machineGiven)) {
        ReadMachineFileAt(files.machineFile, 1);
        if (tools) {
            ReadToolFileAt(files.toolsFile);
        }
    }
    RefreshNcControllerView();
    const std::string trace = testing::TraceNcProgram(program);
    std::fputs(trace.c_str(), stdout);
    FreeToolTables();
    return 0;
}
