// Golden move traces: every NC program in tests/data/nc traced from reset to its end must give
// its .trace file byte for byte, read with the controller and machine files of the same name when
// there are some (as nctrace reads them). The traces were checked by hand once; the comments of
// each program say what it shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/machine_file.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "nc_test_fixture.h"
#include "support/scratch_directory.h"
#include "tools/move_trace.h"

namespace mirexa {
namespace {

using GoldenTraceTest = testing::NcInterpreterTest;

std::vector<std::filesystem::path> GoldenPrograms() {
    std::vector<std::filesystem::path> programs;
    for (const auto& entry : std::filesystem::directory_iterator(MIREXA_TEST_DATA "/nc")) {
        if (entry.path().extension() == ".nc") {
            programs.push_back(entry.path());
        }
    }
    std::sort(programs.begin(), programs.end());
    return programs;
}

TEST_F(GoldenTraceTest, EveryProgramGivesItsTrace) {
    const std::vector<std::filesystem::path> programs = GoldenPrograms();
    ASSERT_FALSE(programs.empty());
    // A machine file may change settings (a head machine's tool base point): each program
    // starts from the same ones.
    const ProgramSettings settings = Settings;
    for (const std::filesystem::path& program : programs) {
        SCOPED_TRACE(program.filename().string());
        Settings = settings;
        ClearAll();
        std::filesystem::path controllerPath = program;
        controllerPath.replace_extension(".ctl");
        if (std::filesystem::exists(controllerPath)) {
            ReadControllerFileAt(RunSession, RunKinematics, controllerPath.string());
            ASSERT_EQ(Controller.status, 1);
            RefreshNcControllerView(RunSession);
        }
        std::filesystem::path machinePath = program;
        machinePath.replace_extension(".mtl");
        if (std::filesystem::exists(machinePath)) {
            ReadMachineFileAt(machinePath.string(), 1);
            ASSERT_EQ(Machine.status, 1);
            RefreshNcControllerView(RunSession);
        }
        std::filesystem::path expectedPath = program;
        expectedPath.replace_extension(".trace");
        const std::string expected = testing::ReadWholeFile(expectedPath.string());
        ASSERT_FALSE(expected.empty()) << "no trace file " << expectedPath;
        // The five-axis traces show the machine position of every move as well.
        const bool machine = program.filename().string().rfind("five_axis_", 0) == 0;
        EXPECT_EQ(TraceProgramFile(program.string(), machine), expected);
    }
    Settings = settings;
}

// Two sessions pulled in turn on one thread, as a tool path is pulled while the run waits at a
// stop block: the run's session has made a few moves when the other starts from where it stands;
// then each makes one call of the step driver in turn. Both traces are their golden ones, and no
// call of the second session changes a record of the run's.
TEST_F(GoldenTraceTest, TwoSessionsPulledInTurnGiveTheirTraces) {
    const std::string runProgram = MIREXA_TEST_DATA "/nc/arcs.nc";
    const std::string pathProgram = MIREXA_TEST_DATA "/nc/cycle_planes.nc";
    std::string runTrace, pathTrace;
    auto toRun = [&runTrace](const std::string& lines) { runTrace += lines; };
    auto toPath = [&pathTrace](const std::string& lines) { pathTrace += lines; };
    testing::NcTrace run, path;
    ASSERT_EQ(testing::OpenNcTrace(&run, RunSession, runProgram, toRun), 1);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(testing::StepNcTrace(&run, toRun), 1);
    }
    auto drawing = std::make_unique<NcSession>();
    CopyNcSessionState(drawing.get(), RunSession);
    ASSERT_EQ(testing::OpenNcTrace(&path, *drawing, pathProgram, toPath), 1);
    auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    bool runGoes = true, pathGoes = true;
    while (runGoes || pathGoes) {
        if (pathGoes) {
            const KinematicsSessionRecords kinematics = RunKinematics;
            const NcRunStatus status = RunSession.run.status;
            const int line = RunSession.line.mainLineNumber;
            pathGoes = testing::StepNcTrace(&path, toPath) != 0;
            ASSERT_TRUE(same(kinematics.pose, RunKinematics.pose));
            ASSERT_TRUE(same(kinematics.motion, RunKinematics.motion));
            ASSERT_TRUE(same(kinematics.workOrigin, RunKinematics.workOrigin));
            ASSERT_TRUE(same(kinematics.modes, RunKinematics.modes));
            ASSERT_TRUE(same(status, RunSession.run.status));
            ASSERT_EQ(line, RunSession.line.mainLineNumber);
        }
        if (runGoes) {
            runGoes = testing::StepNcTrace(&run, toRun) != 0;
        }
    }
    EXPECT_EQ(runTrace, testing::ReadWholeFile(MIREXA_TEST_DATA "/nc/arcs.trace"));
    EXPECT_EQ(pathTrace, testing::ReadWholeFile(MIREXA_TEST_DATA "/nc/cycle_planes.trace"));
}

// The bundled sample program with the bundled tools, controller and machine files, read in the
// start-up order as nctrace reads them: the pocket in G56 without a length offset (the tools file
// gives the length), and the start and end character of the controller file, show in the trace.
TEST_F(GoldenTraceTest, SampleProgramWithTheSampleMachine) {
    ASSERT_EQ(AllocToolTables(Settings.maxMagazine), 1);
    const std::string samples = MIREXA_SAMPLES;
    ReadToolFileAt(RunSession, RunKinematics, RunTools, samples + "/vmc3.ttl");
    ReadControllerFileAt(RunSession, RunKinematics, samples + "/vmc3.ctl");
    ReadMachineFileAt(samples + "/vmc3.mtl", 1);
    ReadToolFileAt(RunSession, RunKinematics, RunTools, samples + "/vmc3.ttl");
    RefreshNcControllerView(RunSession);
    const std::string expected =
        testing::ReadWholeFile(MIREXA_TEST_DATA "/nc/sample_pocket_vmc3.trace");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(TraceProgramFile(samples + "/pocket.nc"), expected);
    FreeToolTables();
}

}  // namespace
}  // namespace mirexa
