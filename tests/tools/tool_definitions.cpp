// The command line and definition files of the test tools.
#include "tools/tool_definitions.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/machine_file.h"
#include "config/settings_file.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_session.h"
#include "services/file_paths.h"

namespace mirexa::testing {

namespace {

// A definition file is read when it exists. The settings name defaults for files the command
// line did not give, which need not exist; a file the command line named and that is missing
// is reported.
bool Readable(const std::string& path, int given, const char* tool) {
    std::error_code error;
    if (!path.empty() && std::filesystem::is_regular_file(path, error)) {
        return true;
    }
    if (given) {
        std::fprintf(stderr, "%s: cannot read %s\n", tool, path.c_str());
    }
    return false;
}

// The folder of the tool's log: the one MIREXA_TOOL_LOG_DIR names (the test entries give a
// folder of the build tree), else a folder of the tool's own in the temporary folder, removed
// with what it holds when the tool ends; never the shared temporary folder itself, where runs
// in parallel would write one file.
std::string ToolLogDirectory() {
    if (const char* named = std::getenv("MIREXA_TOOL_LOG_DIR"); named != nullptr && *named) {
        return named;
    }
    static std::string own;
    std::error_code error;
    std::string pattern =
        (std::filesystem::temp_directory_path(error) / "mirexa-tool-XXXXXX").string();
    if (error || mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    own = pattern;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(own, ignored);
    });
    return own;
}

}  // namespace

int LoadToolCommandLine(NcSession& session, int argc, char** argv, const char* tool) {
    std::vector<std::string> messages;
    ParseCommandLine(JoinCommandLineArguments(argc, argv), &messages);
    ReadSettings(&messages);
    // The tools run in folders of the source tree: their log entries (a subprogram passed over,
    // a cut line) go to a folder of their own, never beside the files they read.
    FileLocations.logDirectory = ToolLogDirectory();
    for (const std::string& message : messages) {
        std::fprintf(stderr, "%s: %s\n", tool, message.c_str());
    }
    const DefinitionFilePaths& files = DefinitionFiles;
    if (files.ncProgramFile.empty()) {
        std::fprintf(stderr, "usage: %s [file.INI] [file.TTL] [file.CTL] [file.MTL] program\n",
                     tool);
        return 0;
    }
    InstallNcServiceHooks();
    AllocToolTables(Settings.maxMagazine);
    const bool tools = Readable(files.toolsFile, CommandLine.toolsGiven, tool);
    if (tools) {
        ReadToolFileAt(session, *session.kinematics, *session.tools, files.toolsFile);
    }
    if (Readable(files.controllerFile, CommandLine.controllerGiven, tool)) {
        ReadControllerFileAt(session, *session.kinematics, files.controllerFile);
    }
    if (Readable(files.machineFile, CommandLine.machineGiven, tool)) {
        ReadMachineFileAt(files.machineFile, 1);
        if (tools) {
            ReadToolFileAt(session, *session.kinematics, *session.tools, files.toolsFile);
        }
    }
    RefreshNcControllerView(session);
    return 1;
}

}  // namespace mirexa::testing
