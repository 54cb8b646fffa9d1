// The fixture of the interpreter tests.
#include "nc_test_fixture.h"

#include <cstdio>
#include <cstring>

#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/definition_hooks.h"
#include "config/machine_file.h"
#include "config/offset_memory.h"
#include "config/offset_tables.h"
#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "geometry/vector_math.h"
#include "nc/block_interpreter.h"
#include "nc/kinematics_services.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"
#include "nc/step_driver.h"
#include "services/ui_hooks.h"
#include "support/definition_state.h"
#include "support/nc_invariants.h"
#include "support/nc_run_records.h"
#include "tools/move_trace.h"

namespace mirexa::testing {

namespace {

std::string Number(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", v);
    return std::string(text) == "-0.0000" ? "0.0000" : text;
}

void ExpectInvariants() {
    const std::string broken = CheckNcInvariants();
    if (!broken.empty()) {
        ADD_FAILURE() << broken << " (line " << RunSession.line.displayedLineNumber << ")";
    }
}

}  // namespace

void NcInterpreterTest::SetUp() {
    // What the definition files read by an earlier test filled (settings, tool tables, mounted
    // tools, machine models) starts from its start values.
    ResetDefinitionState();
    ClearAll();
}

void NcInterpreterTest::TearDown() {
    CloseNcProgramSource(RunSession);
    FreeNcProgramIndex(RunSession);
    ClearConfiguration();
    RunSession.controller = {};
    RunSession.run = {};
    WorkOffsetSource = {};
    DefinitionCallbacks = {};
    UiHooks = {};
}

void NcInterpreterTest::ClearConfiguration() {
    Controller = ControllerDefinition{};
    Machine = MachineDefinition{};
    RunTools.tool = CurrentToolRecord{};
    ReplaceTable.clear();
    OptionalBlockSkipFlags = {};
    ToolOffsets = {};
    for (float& f : FeedMemory) {
        f = 0.0f;
    }
    for (ReferencePoint& p : ReferencePoints) {
        p = {};
    }
}

void NcInterpreterTest::ClearAll() {
    ResetRunInterpreterRecords();
    for (MotionPosition& e : WorkOffsetTable) {
        e = {};
    }
    ClearConfiguration();
    InstallNcServiceHooks();
    RunSession.controller.offsets.dOffset = dOffset;
    RunSession.controller.offsets.dWear = dWear;
    RunSession.controller.offsets.hOffset = hOffset;
    RunSession.controller.offsets.hWear = hWear;
    RunSession.controller.offsets.feedMemory = feedMemory;
    ResetInterpreterState(RunSession);
}

std::string NcInterpreterTest::Trace(const std::string& program, const std::string& name) {
    return TraceProgramFile(dir.Write(name, program));
}

std::string NcInterpreterTest::TraceProgramFile(const std::string& path, bool withMachine) {
    return TraceNcProgram(RunSession, path, ExpectInvariants, 10000000, withMachine);
}

void NcInterpreterTest::Run(std::initializer_list<const char*> lines) {
    for (const char* line : lines) {
        ClearBlockWords(RunSession);
        std::snprintf(RunSession.line.text, sizeof RunSession.line.text, "%s\n", line);
        InterpretNcBlock(RunSession, RunSession.line.text);
        ExpectInvariants();
    }
}

std::string NcInterpreterTest::Move(int line, int type, double x, double y, double z, double feed) {
    return std::to_string(line) + " G" + std::to_string(type) + " X" + Number(x) + " Y" +
           Number(y) + " Z" + Number(z) + " A0.0000 B0.0000 F" + Number(feed) + "\n";
}

std::string NcInterpreterTest::Arc(int line, int type, double x, double y, double z, double cx,
                                   double cy, double cz, double sweep, double feed) {
    return std::to_string(line) + " G" + std::to_string(type) + " X" + Number(x) + " Y" +
           Number(y) + " Z" + Number(z) + " A0.0000 B0.0000 C" + Number(cx) + "," + Number(cy) +
           "," + Number(cz) + " S" + Number(sweep) + " F" + Number(feed) + "\n";
}

}  // namespace mirexa::testing
