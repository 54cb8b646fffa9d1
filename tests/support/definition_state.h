// The configuration the definition readers fill and the tool they select, put back to its start
// values (or to what it was before the test), so that a test starts from a known state whatever
// ran before it in the same process.
#pragma once

#include "config/config_hooks.h"
#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
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
#include "stock/stock_shapes.h"

namespace mirexa::testing {

// No current tool: its record, its profile (large, so reset in place from one empty copy) and
// its kinematic values (gauge length, length offset).
inline void ResetCurrentTool() {
    static const ToolProfile emptyProfile{};
    RunTools.tool = CurrentToolRecord{};
    RunTools.profile = emptyProfile;
    RunKinematics.toolValues = KinematicsToolValues{};
}

// The tables of the controller, machine, tools and holder files: replace table, block-skip
// switches, offset, feed and reference memories, work offsets, machine models (and the count of
// unusable ones), tool tables and mounted tools, and the current tool. The settings records are
// left as they are.
inline void ResetDefinitionTables() {
    FreeToolTables();
    Controller = ControllerDefinition{};
    ReplaceTable.clear();
    OptionalBlockSkipFlags = {};
    ToolOffsets = ToolOffsetMemory{};
    for (MotionPosition& entry : WorkOffsetTable) {
        entry = {};
    }
    for (float& feed : FeedMemory) {
        feed = 0;
    }
    for (ReferencePoint& point : ReferencePoints) {
        point = {};
    }
    Machine = MachineDefinition{};
    MachineModelNames = MachineModelEntries{};
    FreeMachineModels();
    UnusableMachineModels.store(0);
    ResetCurrentTool();
    MountedTools = MountedToolLayout{};
    ToolFile = ToolFileState{};
    StagedHolderFile = HolderFileState{};
}

// The definition tables, the settings records and the configuration hooks.
inline void ResetDefinitionState() {
    ResetConfigurationRecords();
    ResetDefinitionTables();
    ConfigCallbacks = ConfigHooks{};
}

// Restores what a run reads from its definitions (settings, dexel pitch, file paths, machine
// geometry, controller and machine files) when the test ends.
struct ScopedRunDefinitions {
    ProgramSettings settings = Settings;
    DexelPitchSettings pitch = DexelPitch;
    DefinitionFilePaths files = DefinitionFiles;
    MachineGeometry machine = CurrentMachine;
    ControllerDefinition controller = Controller;
    MachineDefinition machineDefinition = Machine;
    ~ScopedRunDefinitions() {
        Settings = settings;
        DexelPitch = pitch;
        DefinitionFiles = files;
        CurrentMachine = machine;
        Controller = controller;
        Machine = machineDefinition;
    }
};

}  // namespace mirexa::testing
