// A fixture for the definition-file tests: a scratch directory for the files, the log written
// there, fake hooks that record their calls, and every table these readers fill put back to its
// start values before and after each test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/definition_hooks.h"
#include "config/holder_file.h"
#include "config/machine_file.h"
#include "config/machine_models.h"
#include "config/offset_memory.h"
#include "config/offset_tables.h"
#include "config/structure_models.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"
#include "nc/nc_session.h"
#include "platform/message_box.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "support/definition_state.h"
#include "support/scratch_directory.h"

namespace mirexa::testing {

// The hook calls of one test, in order.
extern std::vector<std::string> HookCalls;

class DefinitionFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLocations_ = FileLocations;
        FileLocations = {};
        FileLocations.logDirectory = scratch_.At("log");
        savedHooks_ = DefinitionCallbacks;
        savedMachine_ = CurrentMachine;
        savedKinematics_ = KinematicsController;
        savedMode_ = RunKinematics.modes;
        savedAutomatic_ = AutomaticMode.load();
        savedIncrements_ = InputIncrements;
        savedSettings_ = Settings;
        savedToolValues_ = RunKinematics.toolValues;
        savedChecks_ = Checks;
        savedCommandLine_ = CommandLine;
        savedDirectory_ = std::filesystem::current_path();
        ResetTables();
        HookCalls.clear();
        InstallRecordingHooks();
        previousResponder_ = SetMessageBoxResponder([this](const MessageBoxRequest& request) {
            boxes_.push_back(request);
            return MBX_IDOK;
        });
    }
    void TearDown() override {
        SetMessageBoxResponder(previousResponder_);
        CloseLogFile();
        ResetTables();
        DefinitionCallbacks = savedHooks_;
        CurrentMachine = savedMachine_;
        KinematicsController = savedKinematics_;
        RunKinematics.modes = savedMode_;
        AutomaticMode = savedAutomatic_;
        InputIncrements = savedIncrements_;
        Settings = savedSettings_;
        RunKinematics.toolValues = savedToolValues_;
        Checks = savedChecks_;
        CommandLine = savedCommandLine_;
        std::filesystem::current_path(savedDirectory_);
        FileLocations = savedLocations_;
    }

    static void ResetTables() {
        testing::ResetDefinitionTables();
        Checks = CheckSettings{};
        CommandLine = CommandLineSwitches{};
    }

    // Fills every hook with a recorder that appends its name to HookCalls.
    static void InstallRecordingHooks();

    // Writes a controller file into the scratch directory and reads it.
    std::string ReadController(const std::string& text, const std::string& name = "test.ctl") {
        const std::string path = scratch_.Write(name, text);
        ReadControllerFileAt(RunSession, RunKinematics, path);
        return path;
    }

    // A present tool of the given shape and diameter in pocket n of the tool tables, every other
    // value 0.
    static ToolRecord& PutTool(int n, std::uint32_t type, float d) {
        ToolRecord& t = ToolTableSet.tools[n];
        t = ToolRecord{};
        t.present = 1;
        t.type = type;
        t.d = d;
        return t;
    }

    // Writes a machine file into the scratch directory and reads it with the scratch directory
    // as the working directory (model names are relative to it).
    std::string ReadMachine(const std::string& text, int clearLists = 1,
                            const std::string& name = "test.mtl") {
        const std::string path = scratch_.Write(name, text);
        std::filesystem::current_path(scratch_.Path());
        ReadMachineFileAt(path, clearLists);
        return path;
    }

    // Writes a tools file into the scratch directory and reads it.
    std::string ReadTools(const std::string& text, const std::string& name = "test.ttl") {
        const std::string path = scratch_.Write(name, text);
        ReadToolFileAt(RunSession, RunKinematics, RunTools, path);
        return path;
    }

    std::string LogText() const {
        return ReadWholeFile(scratch_.At("log/mirexa.log"));
    }

    ScratchDirectory scratch_;
    std::vector<MessageBoxRequest> boxes_;

private:
    FileLocationSettings savedLocations_;
    DefinitionFileHooks savedHooks_;
    MachineGeometry savedMachine_;
    KinematicsControllerSettings savedKinematics_;
    KinematicsModeFlags savedMode_;
    int savedAutomatic_ = 0;
    InputIncrementSettings savedIncrements_;
    ProgramSettings savedSettings_;
    KinematicsToolValues savedToolValues_;
    CheckSettings savedChecks_;
    CommandLineSwitches savedCommandLine_;
    std::filesystem::path savedDirectory_;
    MessageBoxResponder previousResponder_;
};

}  // namespace mirexa::testing
