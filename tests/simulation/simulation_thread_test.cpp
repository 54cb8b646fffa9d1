// Whole NC programs through the simulation thread on its own thread, with a scripted host that
// serves the redraw and pause requests: the cut stock, the end of each kind of run, tool
// changes, stops and aborts.
#include "simulation/simulation_thread.h"
#include "support/test_cutting_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/offset_memory.h"
#include "config/offset_tables.h"
#include "config/settings_define.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "cutting_test_support.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "run_report_support.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/worker_threads.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_run.h"
#include "simulation/interference_decisions.h"
#include "simulation/mounted_tools.h"
#include "simulation/move_stepping.h"
#include "simulation/run_control.h"
#include "simulation/run_end.h"
#include "simulation/run_reports.h"
#include "simulation/simulation_hooks.h"
#include "stock/stock_grid.h"
#include "stock/stock_model.h"
#include "stock/stock_shapes.h"
#include "structure_test_support.h"
#include "support/bounded_wait.h"
#include "support/definition_state.h"
#include "support/scratch_directory.h"
#include "support/stock_invariants.h"
#include "support/tool_records.h"

namespace mirexa {
namespace {

// The user-interface side of a run: serves redraws (counting them), and answers a pause with
// the scripted action; it ends when the run's thread has returned.
struct ScriptedHost {
    enum PauseAction { kResume, kAbort };
    PauseAction onPause = kResume;
    int abortAtPause = 1;  // with kAbort: the pause that aborts (the earlier ones resume)
    // Called at each redraw before it is cleared; may abort.
    std::function<void(int redraws)> onRedraw;
    // Called at each pause before it is answered (as a user's menu choice while paused).
    std::function<void()> whilePaused;
    int redraws = 0;
    int pauses = 0;
    // The block the thread published at each pause, and the steps made by then.
    std::vector<std::string> pausedAt;
    std::vector<std::int64_t> stepsAtPause;

    int runLogFlag = 0;  // the request's: a logged command-line run
    // A stop the user raises as the run starts, before its first block: the one-shot stop
    // request (pendingStop) or the stop key.
    int pendingStopAtStart = 0;
    int stopKeyAtStart = 0;
    void Run() {
        RunRequest request = WindowRunRequest();
        request.runLogFlag = runLogFlag;
        const int pending = pendingStopAtStart;
        const int key = stopKeyAtStart;
        ASSERT_EQ(StartCuttingRun(TestRun, std::move(request),
                                  [pending, key](CuttingRun& run) {
                                      run.controls.pendingStop = pending;
                                      run.controls.stopKeyRequest = key;
                                      RunCutting(run);
                                  }),
                  1);
        ServeTestCutToItsEnd([this] { Serve(); }, std::chrono::microseconds(300));
    }
    void Serve() {
        if (WindowRun.controls.redrawRequest.load() != 0) {
            ++redraws;
            if (onRedraw) {
                onRedraw(redraws);
            }
            ServeRedrawRequest(WindowRun.controls, nullptr);
        } else if (WindowRun.controls.pauseRequest.load() != 0) {
            ++pauses;
            pausedAt.push_back(ReadRunStatus().blockText);
            stepsAtPause.push_back(TestRun.record.steps);
            if (whilePaused) {
                whilePaused();
            }
            if (onPause == kAbort && pauses >= abortAtPause) {
                RequestRunAbort(WindowRun.controls);
            } else {
                ResumeRun(WindowRun.controls);
            }
        }
    }
};

class SimulationThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedNcHooks_ = NcUpHooks;
        savedDirectory_ = FileLocations.currentDirectory;
        // The runs' reports are written in the scratch working directory.
        FileLocations.currentDirectory = scratch_.Path();
        GiveRunRequest(TestRun, WindowRunRequest());
        SimulationCallbacks = SimulationHooks{};
        ASSERT_EQ(AllocToolTables(4), 1);
        PutTool(1, kToolFlat, 6.0f);
        PutTool(2, kToolBall, 4.0f);
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
        const double box[6] = {0, 0, 0, 40, 30, 10};
        testing::BuildBoxStock(&StockModels[0], box, 0.5);
        CurrentStockIndex = 0;
        DexelPitch.secondPitch = 0.5;
        RunKinematics.pose = MachinePose{};
        RunKinematics.pose.program.axis[2] = 50.0;
        WindowRun.mode = RunMode::kRealCutting;
    }
    void TearDown() override {
        RequestRunAbort(WindowRun.controls);
        JoinCuttingRun(TestRun);
        FreeStockModel(&StockModels[0]);
        StockModels[0] = StockModel{};
        FreeToolTables();
        RunTools.tool = CurrentToolRecord{};
        NcUpHooks = savedNcHooks_;
        FileLocations.currentDirectory = savedDirectory_;
        SimulationCallbacks = SimulationHooks{};
        WindowRun.mode = RunMode::kIdle;
        AutomaticMode = 0;
        DrawingSuppressed = 0;
    }
    static void PutTool(int n, std::uint32_t type, float d) {
        testing::PutTestTool(n, type, d);
    }
    void Program(const std::string& text) {
        DefinitionFiles.ncProgramFile = scratch_.Write("part.nc", text);
    }
    // Runs the program from the start pose (the tool at Z 50 mm), cutting, served by a host that
    // answers every redraw and resumes every pause.
    static void RunFromTheStart() {
        RunKinematics.pose = MachinePose{};
        RunKinematics.pose.program.axis[2] = 50.0;
        WindowRun.mode = RunMode::kRealCutting;
        ScriptedHost host;
        host.Run();
    }
    testing::ScopedCuttingState cutting_;
    mirexa::testing::ScratchDirectory scratch_;
    testing::ScopedRunDefinitions definitions_;
    NcHooks savedNcHooks_;
    std::string savedDirectory_;
};

const char* const kSlotProgram =
    "%\n"
    "G90 G17\n"
    "G00 X-5. Y15.1 Z20.\n"
    "Z8.\n"
    "G01 X20.1 F500.\n"
    "G00 Z20.\n"
    "M30\n"
    "%\n";

TEST_F(SimulationThreadTest, ProgramCutsAStockToItsEnd) {
    Program(kSlotProgram);
    Settings.skipView = 10;
    ScriptedHost host;
    host.Run();
    EXPECT_EQ(TestRun.result.end, kRunEndProgram);
    EXPECT_GT(host.redraws, 5);
    // The slot: Z rays within 3 of the line from x = -5 to 20.1 at y = 15.1 end at 8, and
    // their new ends carry line 5 (the G01 block) and the tool's pen.
    const StockModel& m = StockModels[0];
    const int iy = 30;                             // y = 15
    EXPECT_EQ(testing::ZRayTop(m, 20, iy), 8.0);   // x = 10
    EXPECT_EQ(testing::ZRayTop(m, 60, iy), 10.0);  // x = 30, beyond the slot's end
    const DexelRay ray = ReadDexelRay(m.z, std::int64_t{iy} * m.nx + 20);
    EXPECT_EQ(ray.stamps.back(), 5);
    EXPECT_EQ(ray.flags.back() & 0xF0, RunTools.tool.penBits);
    EXPECT_EQ(WindowRun.controls.kept.simulationState.load(), 0)
        << "the last step was a rapid without contact";
    EXPECT_TRUE(StockInvariantsHold(m, true));
    EXPECT_EQ(ReadRunStatus().steps, TestRun.record.steps);
}

// Two run objects, one after the other, each with its own session, stock and program: each cuts
// its own stock to its own program's end and keeps its own counts; neither run nor session sees
// the other's.
TEST_F(SimulationThreadTest, TwoRunsInTurnKeepToTheirOwnSessionStockAndRecords) {
    DrawingSuppressed = 1;
    const double box[6] = {0, 0, 0, 40, 30, 10};
    testing::BuildBoxStock(&StockModels[1], box, 0.5);
    auto other = std::make_unique<NcSession>();
    CopyNcSessionState(other.get(), RunSession);
    const std::string first = scratch_.Write("first.nc", kSlotProgram);
    // The second ends with a rapid into its stock: its result names the kind, the first's none.
    const std::string second = scratch_.Write(
        "second.nc",
        "%\nG90 G17 S1000 M03\nG00 X5. Y-5. Z20.\nZ6.\nG01 Y25. F500.\nG01 X8.\nG00 X20.\n"
        "M30\n%\n");
    const CheckSettings savedChecks = Checks;
    Checks.pauseOnEvents = 1;  // the rapid is recorded, the run goes on
    Checks.interference = 2;   // RECORD
    CuttingRun a, b;
    const auto body = [](CuttingRun& run) { RunCutting(run); };
    ASSERT_EQ(
        StartCuttingRun(
            a, {&RunSession, &StockModels[0], first, RunMode::kRealCutting, BatchRunKind::kNone},
            body),
        1);
    JoinCuttingRun(a);
    ASSERT_EQ(
        StartCuttingRun(
            b, {other.get(), &StockModels[1], second, RunMode::kRealCutting, BatchRunKind::kNone},
            body),
        1);
    JoinCuttingRun(b);
    ASSERT_EQ(a.state.load(), RunState::kEnded);
    ASSERT_EQ(b.state.load(), RunState::kEnded);
    EXPECT_EQ(a.result.end, kRunEndProgram);
    EXPECT_EQ(b.result.end, kRunEndProgram);
    EXPECT_EQ(a.result.moves, 4);
    EXPECT_EQ(b.result.moves, 5);
    EXPECT_NE(a.record.steps, b.record.steps);
    EXPECT_EQ(a.result.steps, a.record.steps);
    // Each session stands where its own program left it.
    EXPECT_DOUBLE_EQ(RunKinematics.pose.program.axis[0], 20.1);
    EXPECT_DOUBLE_EQ(RunKinematics.pose.program.axis[2], 20.0);
    EXPECT_DOUBLE_EQ(other->kinematics->pose.program.axis[0], 20.0);
    EXPECT_DOUBLE_EQ(other->kinematics->pose.program.axis[2], 6.0);
    // Each stock holds its own program's cut only: the slot along X at y = 15 (depth 8) in the
    // first, the slot along Y at x = 5 (depth 6) in the second.
    const int ix5 = 10, ix30 = 60, iy15 = 30, iy2 = 4;
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 20, iy15), 8.0);
    EXPECT_EQ(testing::ZRayTop(StockModels[0], ix5, iy2), 10.0);
    EXPECT_EQ(testing::ZRayTop(StockModels[1], ix5, iy2), 6.0);
    EXPECT_EQ(testing::ZRayTop(StockModels[1], ix30, iy15), 10.0);
    EXPECT_GT(a.result.removedVolume, 0.0);
    EXPECT_GT(b.result.removedVolume, 0.0);
    // The second's rapid is written to its interference report after its block; the first
    // opened none.
    EXPECT_EQ(a.reports.interference.stream, nullptr);
    ASSERT_NE(b.reports.interference.stream, nullptr);
    testing::CloseRunReportFiles(b.reports);
    const std::string report = testing::ReadWholeFile(scratch_.At("interference.txt"));
    EXPECT_NE(report.find("RAPID(G00)\n7:G00 X20.\n"), std::string::npos) << report;
    Checks = savedChecks;
    FreeStockModel(&StockModels[1]);
    StockModels[1] = StockModel{};
}

// A run on a stock slot that is not the current one (here an empty slot) takes everything of
// its own stock: a rapid into it is a contact, the tool it mounts is derived at its pitch and the
// head is checked against it.
TEST_F(SimulationThreadTest, ARunOnAnotherSlotJudgesContactsPitchAndHeadByItsOwnStock) {
    DrawingSuppressed = 1;
    const CheckSettings savedChecks = Checks;
    const int savedChanger = Machine.atcType;
    const double box[6] = {0, 0, 0, 40, 30, 10};
    testing::BuildBoxStock(&StockModels[1], box, 1.0);
    CurrentStockIndex = 2;
    ASSERT_EQ(StockModels[2].nx, 0);
    Machine.atcType = 1;
    // Tool 2 with a clearance diameter that the stock's pitch widens.
    ToolTableSet.lengths[2].kind = kToolLength2;
    ToolTableSet.lengths[2].values[5] = 10.0f;
    Checks.arborClearanceMode = 1;
    Checks.interference = 2;  // RECORD
    Checks.structurePairs[kHeadWork] = 2;
    UpdateStopOnCheckFlag();
    const double lo[3] = {-3, -3, -100}, hi[3] = {3, 3, 100};
    StructureModels.head = testing::HeadMesh(testing::BoxMeshFacets(lo, hi));
    InstallInterferenceCheckHooks();
    const std::string program = scratch_.Write(
        "other.nc",
        "%\nG90 G17 S1000 M03\nT2 M06\nG00 X5. Y-5. Z20.\nZ6.\nG01 Y25. F500.\nG00 X20.\n"
        "M30\n%\n");
    CuttingRun run;
    ASSERT_EQ(StartCuttingRun(run,
                              {&RunSession, &StockModels[1], program, RunMode::kRealCutting,
                               BatchRunKind::kNone},
                              [](CuttingRun& r) { RunCutting(r); }),
              1);
    JoinCuttingRun(run);
    EXPECT_EQ(run.result.end, kRunEndProgram);
    EXPECT_EQ(testing::ZRayTop(StockModels[1], 5, 10), 6.0) << "the run cut its own stock";
    EXPECT_EQ(InterferenceKindSetFlag(run.reports.kinds, kKindRapid), 1);
    EXPECT_EQ(InterferenceKindSetFlag(run.reports.kinds, KindOfStructurePair(kHeadWork)), 1);
    EXPECT_EQ(RunTools.tool.derivedFrom, 2);
    EXPECT_FLOAT_EQ(RunTools.tool.length.values[5], ArborClearanceDiameter(10.0f, 1.0));
    StructureModels.head = MachineModel{};
    Machine.atcType = savedChanger;
    Checks = savedChecks;
    CurrentStockIndex = 0;
    FreeStockModel(&StockModels[1]);
    StockModels[1] = StockModel{};
}

// A Tab key during a run changes the mode the interpreter reads the next blocks in: a pecking
// drill cycle pecks its holes in real cutting, and the holes read after a switch to the result
// mode are drilled in one feed.
TEST_F(SimulationThreadTest, ATabDuringTheRunChangesTheModeOfTheBlocksReadAfterIt) {
    Program(
        "%\nG90 G17\nG00 X10. Y10. Z20.\nG83 X10. Y10. Z2. R12. Q2. F300.\nX20.\nX30.\n"
        "G80\nM30\n%\n");
    const auto movesWith = [](int switchAtLine) {
        WindowRun.mode = RunMode::kRealCutting;
        ScriptedHost host;
        host.onRedraw = [switchAtLine](int) {
            if (switchAtLine > 0 && ReadRunStatus().lineNumber >= switchAtLine) {
                WindowRun.mode = RunMode::kResult;
            }
        };
        host.Run();
        EXPECT_EQ(TestRun.result.end, kRunEndProgram);
        return TestRun.result.moves;
    };
    const std::int64_t pecked = movesWith(0);
    const std::int64_t switchedAtFirstHole = movesWith(4);
    const std::int64_t switchedAtSecondHole = movesWith(5);
    EXPECT_LT(switchedAtFirstHole, switchedAtSecondHole);
    EXPECT_LT(switchedAtSecondHole, pecked);
}

// A run of its own follows the mode of its request, not the one the window's run is in: the
// pecking cycle pecks in real cutting and drills in one feed in the result mode, whichever mode
// the window holds meanwhile.
TEST_F(SimulationThreadTest, ARunFollowsTheModeOfItsRequestNotTheWindowsMode) {
    Program(
        "%\nG90 G17\nG00 X10. Y10. Z20.\nG83 X10. Y10. Z2. R12. Q2. F300.\nX20.\nG80\nM30\n%\n");
    DrawingSuppressed = 1;  // nobody serves redraws here
    const auto movesOf = [](RunMode requested, RunMode window) {
        WindowRun.mode = window;
        CuttingRun run;
        RunRequest request = WindowRunRequest();
        request.mode = requested;
        EXPECT_EQ(StartCuttingRun(run, std::move(request), [](CuttingRun& r) { RunCutting(r); }),
                  1);
        JoinCuttingRun(run);
        EXPECT_EQ(run.result.end, kRunEndProgram);
        EXPECT_EQ(run.mode.load(), requested);
        EXPECT_EQ(WindowRun.mode.load(), window) << "the window's mode is the window's";
        return run.result.moves;
    };
    const std::int64_t pecked = movesOf(RunMode::kRealCutting, RunMode::kResult);
    const std::int64_t drilled = movesOf(RunMode::kResult, RunMode::kRealCutting);
    EXPECT_EQ(pecked, movesOf(RunMode::kRealCutting, RunMode::kIdle));
    EXPECT_EQ(drilled, movesOf(RunMode::kResult, RunMode::kIdle));
    EXPECT_GT(pecked, drilled);
}

// A run that nobody watches asks for no redraw and waits for none, whatever its mode; the cut is
// the same.
TEST_F(SimulationThreadTest, ARunThatDrawsNothingAsksForNoRedraw) {
    const struct {
        int suppressed;
        int runLog;
        int automatic;  // on the headless backend of the tests
        RunMode mode;
        bool redraws;
    } cases[] = {{0, 0, 0, RunMode::kRealCutting, true},
                 {1, 0, 0, RunMode::kRealCutting, false},
                 {0, 1, 0, RunMode::kRealCutting, false},
                 {0, 1, 0, RunMode::kSkipCutting, false},
                 {0, 0, 1, RunMode::kRealCutting, false}};
    Program(kSlotProgram);
    Settings.skipView = 1;
    Settings.skipBlock = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.suppressed << c.runLog << c.automatic << static_cast<int>(c.mode));
        FreeStockModel(&StockModels[0]);
        const double box[6] = {0, 0, 0, 40, 30, 10};
        testing::BuildBoxStock(&StockModels[0], box, 0.5);
        RunKinematics.pose = MachinePose{};
        RunKinematics.pose.program.axis[2] = 50.0;
        WindowRun.mode = c.mode;
        DrawingSuppressed = c.suppressed;
        AutomaticMode = c.automatic;
        ScriptedHost host;
        host.runLogFlag = c.runLog;
        host.Run();
        EXPECT_EQ(TestRun.result.end, kRunEndProgram);
        EXPECT_EQ(host.redraws > 0, c.redraws);
        EXPECT_EQ(testing::ZRayTop(StockModels[0], 20, 30), 8.0);
    }
}

// A tool change mounts the new tool's sections. By the changer's mode: a T word changes at once
// (mode 1); in WAIT2 (mode 3) a T word prepares its tool and M06 mounts the tool prepared by
// earlier blocks, as the tool-change route decides it, while a T word in the M06 block prepares
// the next change.
TEST_F(SimulationThreadTest, ToolChangesMountByTheChangersMode) {
    const struct {
        int atcType;
        const char* change;
    } cases[] = {{1, "T2 M06\nG00 X10.1 Y10.1 Z20.\n"}, {3, "T2\nG00 X10.1 Y10.1 Z20.\nM06 T1\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.atcType);
        Machine.atcType = c.atcType;
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
        RunKinematics.pose = MachinePose{};
        RunKinematics.pose.program.axis[2] = 50.0;
        WindowRun.mode = RunMode::kRealCutting;
        FreeStockModel(&StockModels[0]);
        const double box[6] = {0, 0, 0, 40, 30, 10};
        testing::BuildBoxStock(&StockModels[0], box, 0.5);
        Program(std::string("%\nG90\n") + c.change + "G01 Z8. F200.\nG00 Z20.\nM30\n%\n");
        ScriptedHost host;
        host.Run();
        EXPECT_EQ(TestRun.result.end, kRunEndProgram);
        EXPECT_EQ(TestRun.result.toolChanges, 1);
        EXPECT_EQ(RunTools.tool.derivedFrom, 2);
        EXPECT_EQ(TestRun.cutting.cutter.shape, kToolBall);
        // The ball's tip reached z = 8 right under its centre.
        EXPECT_NEAR(testing::ZRayTop(StockModels[0], 20, 20), 8.0 + 2.0 - std::sqrt(4.0 - 0.02),
                    1e-9);
    }
    EXPECT_EQ(RunSession.run.toolChange.stagedTool, 1);
}

TEST_F(SimulationThreadTest, SkipRunsRedrawEveryFewLines) {
    std::string text = "%\nG90 G00 X-10. Y-10. Z20.\n";
    for (int i = 0; i < 12; ++i) {
        text += "X" + std::to_string(-10 + i) + ".\n";
    }
    text += "M30\n%\n";
    Program(text);
    WindowRun.mode = RunMode::kSkipCutting;
    Settings.skipBlock = 5;
    ScriptedHost host;
    std::vector<int> lines;
    host.onRedraw = [&](int) { lines.push_back(ReadRunStatus().lineNumber); };
    host.Run();
    EXPECT_EQ(TestRun.result.end, kRunEndProgram);
    ASSERT_FALSE(lines.empty());
    for (size_t k = 1; k < lines.size(); ++k) {
        EXPECT_GE(lines[k] - lines[k - 1], 5);
    }
}

TEST_F(SimulationThreadTest, StopBeforeABlockPausesAndResumes) {
    Program(kSlotProgram);
    ScriptedHost host;
    host.pendingStopAtStart = 1;
    host.Run();
    EXPECT_EQ(host.pauses, 1);
    EXPECT_EQ(TestRun.result.end, kRunEndProgram);
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 20, 30), 8.0);
}

TEST_F(SimulationThreadTest, AbortDuringAPauseEndsWithoutSteppingTheHeldLine) {
    Program(kSlotProgram);
    ScriptedHost host;
    host.pendingStopAtStart = 1;
    host.onPause = ScriptedHost::kAbort;
    host.Run();
    EXPECT_EQ(TestRun.result.end, kRunEndAbort);
    EXPECT_EQ(TestRun.record.steps, 0);
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 20, 30), 10.0);
}

// The controller's stop option reaches the thread through the stop test of each line: the run
// pauses before the line is run, with that line published, and the held line is run on resume.
TEST_F(SimulationThreadTest, StopOptionsPauseBeforeTheirLines) {
    Program(
        "%\n"
        "G90 G00 X-5. Y15.1 Z20.\n"
        "Z8.\n"
        "M01\n"
        "G01 X20.1 F500.\n"
        "M01 M08\n"
        "G00 Z20.\n"
        "M30\n"
        "%\n");
    Controller.stopOption = 2;  // M00 and M01
    {
        ScriptedHost host;
        host.Run();
        EXPECT_EQ(TestRun.result.end, kRunEndProgram);
        // "M01 M08" ends on M08: no stop.
        EXPECT_EQ(host.pausedAt, std::vector<std::string>{"M01"});
        ASSERT_EQ(host.stepsAtPause.size(), 1u);
        // The rapids of lines 2 and 3 were made: ceil(sqrt(5² + 15.1² + 30²) / 0.5) + 12 / 0.5.
        EXPECT_EQ(host.stepsAtPause[0], 68 + 24);
    }
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 20, 30), 8.0);
    // Every block stops; an abort at the fourth pause ends the run before the slot is cut.
    Controller.stopOption = 3;
    WindowRun.mode = RunMode::kRealCutting;
    FreeStockModel(&StockModels[0]);
    const double box[6] = {0, 0, 0, 40, 30, 10};
    testing::BuildBoxStock(&StockModels[0], box, 0.5);
    ScriptedHost host;
    host.onPause = ScriptedHost::kAbort;
    host.abortAtPause = 5;
    host.Run();
    EXPECT_EQ(TestRun.result.end, kRunEndAbort);
    ASSERT_EQ(host.pausedAt.size(), 5u);
    EXPECT_EQ(host.pausedAt[4], "G01 X20.1 F500.");
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 20, 30), 10.0);
    EXPECT_EQ(WindowRun.controls.pauseRequest.load(), 0);
}

// A run of its own pauses and ends through its own controls: the window's controls show none of
// its pause, and the window's abort, raised while it waits, does not end it.
TEST_F(SimulationThreadTest, ARunOfItsOwnPausesAndEndsThroughItsOwnControls) {
    Program("%\nG90 G00 X-5. Y15.1 Z20.\nZ8.\nM01\nG01 X20.1 F500.\nG00 Z20.\nM30\n%\n");
    Controller.stopOption = 2;  // M00 and M01
    DrawingSuppressed = 1;      // nobody serves redraws here
    CuttingRun run;
    ASSERT_EQ(StartCuttingRun(run, WindowRunRequest(), [](CuttingRun& r) { RunCutting(r); }), 1);
    const bool paused = testing::AwaitCondition(
        [&run] { return run.controls.pauseRequest.load() != 0; }, std::chrono::milliseconds(1));
    EXPECT_EQ(WindowRun.controls.pauseRequest.load(), 0);
    RequestRunAbort(WindowRun.controls);
    if (!paused) {
        ADD_FAILURE() << "the run did not pause at its M01";
        RequestRunAbort(run.controls);
    }
    ResumeRun(run.controls);
    JoinCuttingRun(run);
    EXPECT_EQ(run.result.end, paused ? kRunEndProgram : kRunEndAbort);
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 20, 30), 8.0);
}

// A stop mode chosen during a pause is taken at the next stop test: single blocks, then no stop.
TEST_F(SimulationThreadTest, AStopModeChosenWhilePausedIsTakenAtTheNextStopTest) {
    Program(kSlotProgram);
    Controller.stopOption = 3;
    RunSession.controller.stopOption = 3;
    ScriptedHost host;
    host.whilePaused = [] { WindowRun.controls.stopModeRequest.store(0); };
    host.Run();
    EXPECT_EQ(TestRun.result.end, kRunEndProgram);
    EXPECT_EQ(host.pauses, 1);
    EXPECT_EQ(WindowRun.controls.stopModeRequest.load(), -1);
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 20, 30), 8.0);
}

// A run without a user passes its stop blocks: each is logged once, nothing waits, and a stop
// request left standing does not stop every later block.
TEST_F(SimulationThreadTest, AnUnattendedRunPassesItsStopsWithALogLine) {
    std::string crlf;  // a program written on Windows: its CRs stay out of the log
    for (const char* c = kSlotProgram; *c != '\0'; ++c) {
        crlf += *c == '\n' ? "\r\n" : std::string(1, *c);
    }
    Program(crlf);
    testing::ScratchDirectory logs;
    FileLocations.logDirectory = logs.Path();
    AutomaticMode = 1;
    const int language = UiLanguage.load();
    UiLanguage = 1;
    ScriptedHost host;
    host.stopKeyAtStart = 1;
    host.Run();
    CloseLogFile();
    UiLanguage = language;
    FileLocations.logDirectory.clear();
    EXPECT_EQ(TestRun.result.end, kRunEndProgram);
    EXPECT_EQ(host.pauses, 0);
    EXPECT_EQ(WindowRun.controls.stopKeyRequest.load(), 0);
    const std::string log = testing::ReadWholeFile(logs.At("mirexa.log"));
    std::size_t count = 0;
    for (std::size_t at = log.find("Stop block passed"); at != std::string::npos;
         at = log.find("Stop block passed", at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 1u) << log;
    // The entry names the block's line and holds its text without the line end.
    EXPECT_NE(log.find("(1) - Stop block passed: nobody to resume the run: %\n"), std::string::npos)
        << log;
    EXPECT_EQ(testing::ZRayTop(StockModels[0], 20, 30), 8.0);
}

// A change between tools of the mounted-tool list moves the carrier: the block's move starts
// shifted by the difference of the stations and is made as a rapid; a change to a tool outside
// the list shifts nothing.
TEST_F(SimulationThreadTest, AChangeBetweenStationsShiftsTheNextMovesStart) {
    const MountedToolLayout savedLayout = MountedTools;
    MountedTools = MountedToolLayout{};
    MountedTools.count = 2;
    MountedTools.list[1] = 1;
    MountedTools.list[2] = 2;
    MountedTools.flags[1] = MountedTools.flags[2] = 1;
    MountedTools.positions[2][1] = -30.0;  // mm
    Program("%\nG90 G00 X10. Y10. Z20.\nT2\nM30\n%\n");
    RunFromTheStart();
    // The rapid from (0, 0, 50), then 30 mm from the shifted start back to (10, 10, 20).
    const std::int64_t rapid = 67;  // ceil(sqrt(10² + 10² + 30²) / 0.5)
    EXPECT_EQ(TestRun.record.steps, rapid + 60);
    EXPECT_EQ(TestRun.result.moves, 2);
    EXPECT_EQ(RunKinematics.motion.motionType, 0);
    EXPECT_EQ(RunKinematics.pose.program.axis[1], 10.0);
    // Tool 2 outside the list: no shift, the tool-change block has no move.
    MountedTools.flags[2] = 0;
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
    RunFromTheStart();
    EXPECT_EQ(TestRun.record.steps, rapid);
    MountedTools = savedLayout;
}

// True when consecutive machine positions (X, Y, Z) lie within one step length (mm) of each
// other; the first jump is printed.
::testing::AssertionResult NoStepJumps(const std::vector<MotionPosition>& machine, double step) {
    for (std::size_t i = 1; i < machine.size(); ++i) {
        double d = 0.0;
        for (int k = 0; k < 3; ++k) {
            const double e = machine[i].axis[k] - machine[i - 1].axis[k];
            d += e * e;
        }
        if (std::sqrt(d) > step + 1e-9) {
            return ::testing::AssertionFailure()
                   << "a jump of " << std::sqrt(d) << " mm at step " << i;
        }
    }
    return ::testing::AssertionSuccess();
}

// Blocks that switch a frame off make the program positions again from where the machine
// stands, so that the next move starts there: a tool length cancelled under G49 KEEP, and the
// tilted plane switched off. Neither block moves the machine.
TEST_F(SimulationThreadTest, ResynchronisedBlocksLeaveTheMachineWhereItStands) {
    const ToolOffsetMemory savedOffsets = ToolOffsets;
    ToolOffsets.h[1] = 10.0f;
    Controller.g49Mode = 1;
    // The tool stands 10 mm higher than programmed, and stays there at G49.
    Program("%\nG90 G43 H1 G00 X0 Y0 Z20.\nG49\nG00 Z25.\nM30\n%\n");
    {
        ScriptedHost host;
        host.Run();
    }
    ToolOffsets = savedOffsets;
    EXPECT_EQ(TestRun.result.end, kRunEndProgram);
    EXPECT_EQ(TestRun.result.resyncs, 1);
    EXPECT_EQ(TestRun.record.steps, 40 + 10) << "50 to 30, then 30 to 25, at 0.5 mm";
    EXPECT_NEAR(RunKinematics.pose.program.axis[2], 25.0, 1e-9);

    // A plane 10 mm along X: the tool stands at program X 10 (work) when G69 comes, and stays.
    Controller.g49Mode = 0;
    RunKinematics.pose = MachinePose{};
    RunKinematics.pose.program.axis[2] = 50.0;
    WindowRun.mode = RunMode::kRealCutting;
    // Setting the plane up takes the tool's point in the plane as the program position, so that
    // switching the plane on (G53.1) moves nothing either.
    Program("%\nG90 G68.2 X10. Y0 Z0 I0 J0 K0\nG53.1\nG00 X0 Y0 Z20.\nG69\nG00 Z25.\nM30\n%\n");
    Settings.skipView = 1;
    std::vector<MotionPosition> machine;
    {
        ScriptedHost host;
        host.onRedraw = [&](int) { machine.push_back(RunKinematics.pose.machine); };
        host.Run();
    }
    EXPECT_EQ(TestRun.result.end, kRunEndProgram);
    EXPECT_EQ(TestRun.result.resyncs, 2);
    EXPECT_TRUE(NoStepJumps(machine, 0.5));
    EXPECT_EQ(RunKinematics.plane.active, 0);
    EXPECT_NEAR(RunKinematics.pose.program.axis[0], 10.0, 1e-9);
    EXPECT_NEAR(RunKinematics.pose.program.axis[2], 25.0, 1e-9);
}

// The machine and program positions and the line number at every step of a run (SKIP VIEW 1).
struct StepTrace {
    std::vector<MotionPosition> machine;
    std::vector<MotionPosition> program;
    std::vector<int> lines;
};

StepTrace RunTracingEveryStep() {
    Settings.skipView = 1;
    StepTrace trace;
    ScriptedHost host;
    host.onRedraw = [&](int) {
        trace.machine.push_back(RunKinematics.pose.machine);
        trace.program.push_back(RunKinematics.pose.program);
        trace.lines.push_back(ReadRunStatus().lineNumber);
    };
    host.Run();
    return trace;
}

// A table-table machine: A about X, then C about Z.
void UseTableTableMachine() {
    Machine.rotaryType = 2;
    CurrentMachine.rotaryType = 2;
    CurrentMachine.rotary[0] = {0, 1, 2};
    CurrentMachine.rotary[1] = {2, 0, 1};
}

// Tool centre point control switched on and off on a table-table machine: the switching blocks
// make no step, and no step of the run jumps (consecutive machine positions lie within one step
// length).
TEST_F(SimulationThreadTest, SwitchingToolCentrePointControlMakesNoJump) {
    const ToolOffsetMemory savedOffsets = ToolOffsets;
    ToolOffsets.h[1] = 10.0f;
    UseTableTableMachine();
    Program("%\nG90 G00 X5. Y5. Z20. A0 C0\nG43.4 H1\nG00 Z25.\nG49\nG00 Z30.\nM30\n%\n");
    const StepTrace trace = RunTracingEveryStep();
    const std::vector<MotionPosition>& machine = trace.machine;
    const std::vector<int>& lines = trace.lines;
    ToolOffsets = savedOffsets;
    EXPECT_EQ(TestRun.result.end, kRunEndProgram);
    EXPECT_EQ(TestRun.result.resyncs, 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), 3), 0) << "G43.4 made steps";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), 5), 0) << "G49 made steps";
    ASSERT_GT(machine.size(), 2u);
    EXPECT_TRUE(NoStepJumps(machine, 0.5));
}

// True when consecutive machine angles of the second rotary lie within `degrees` of each other.
::testing::AssertionResult NoRotaryJumps(const std::vector<MotionPosition>& machine, int axis,
                                         double degrees) {
    for (std::size_t i = 1; i < machine.size(); ++i) {
        const double d = std::fabs(machine[i].axis[axis] - machine[i - 1].axis[axis]);
        if (d > degrees) {
            return ::testing::AssertionFailure() << "a turn of " << d << " deg at step " << i;
        }
    }
    return ::testing::AssertionSuccess();
}

// Tool centre point control with tool vector input (G43.5) on a table-table machine: a move that
// turns the tool from one vector to another keeps the tool axis in the plane of the two at every
// step (angles interpolated as numbers would sweep it over a cone), and ends on the new vector.
TEST_F(SimulationThreadTest, AToolVectorMoveTurnsTheAxisInThePlaneOfItsEnds) {
    UseTableTableMachine();
    Program(
        "%\nG90 G00 X5. Y5. Z20. A0 C0\nG43.5 H1\nG01 X5. Y5. Z20. I1. J0 K1. F500.\n"
        "G01 X6. Y5. Z20. I0 J1. K1.\nM30\n%\n");
    const StepTrace trace = RunTracingEveryStep();
    EXPECT_EQ(TestRun.result.end, kRunEndProgram);
    const double r = 1.0 / std::sqrt(2.0);
    const double v0[3] = {r, 0.0, r}, v1[3] = {0.0, r, r};
    const double normal[3] = {-0.5, -0.5, 0.5};  // v0 x v1
    int steps = 0;
    for (std::size_t i = 0; i < trace.lines.size(); ++i) {
        if (trace.lines[i] != 5) {
            continue;
        }
        ++steps;
        // The tool axis of the machine's angles at this step.
        double axis[3];
        ComputeToolAxisFromRotaryAngles(&trace.machine[i].axis[3], axis);
        const double off = axis[0] * normal[0] + axis[1] * normal[1] + axis[2] * normal[2];
        EXPECT_NEAR(off, 0.0, 1e-9) << "step " << steps;
        EXPECT_GT(axis[0] * (v0[0] + v1[0]) + axis[1] * (v0[1] + v1[1]) + axis[2] * (v0[2] + v1[2]),
                  0.0);
    }
    EXPECT_GT(steps, 10);
    double end[3];
    ComputeToolAxisFromRotaryAngles(&RunKinematics.pose.machine.axis[3], end);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(end[k], v1[k], 1e-9);
    }
}

// Polar interpolation switched on and off (G12.1, G13.1): the program maps to the machine's X
// and second rotary through radius and angle, which is no translation. The switching blocks
// make no step, and neither X, Y, Z nor the rotary jumps at the next move: the interpolated
// move starts at the Cartesian point of where the machine stands, and the move after G13.1 at
// the machine's own position.
TEST_F(SimulationThreadTest, SwitchingPolarInterpolationMakesNoJump) {
    const struct {
        int osp;
        const char* on;
        const char* off;
    } cases[] = {{0, "G12.1", "G13.1"}, {1, "G137", "G136"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.on);
        Controller.dialect.osp = c.osp;
        Controller.dialect.number = c.osp;
        RunKinematics.pose = MachinePose{};
        RunKinematics.pose.program.axis[2] = 50.0;
        WindowRun.mode = RunMode::kRealCutting;
        Program(std::string("%\nG90 G00 X20. Y0 Z20. C30.\n") + c.on + "\nG01 X10. Y5. F100.\n" +
                c.off + "\nG00 Z25.\nM30\n%\n");
        const StepTrace trace = RunTracingEveryStep();
        const std::vector<MotionPosition>& machine = trace.machine;
        const std::vector<int>& lines = trace.lines;
        EXPECT_EQ(TestRun.result.end, kRunEndProgram);
        EXPECT_EQ(TestRun.result.resyncs, 2);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), 3), 0) << "switching on made steps";
        EXPECT_EQ(std::count(lines.begin(), lines.end(), 5), 0) << "switching off made steps";
        ASSERT_GT(machine.size(), 2u);
        EXPECT_TRUE(NoStepJumps(machine, 0.5));
        // 0.5 mm at a radius of 10 mm or more turns the table by less than 3 deg.
        EXPECT_TRUE(NoRotaryJumps(machine, 4, 3.0));
        // The interpolated move ended at radius |(10, 5)| and its angle; the machine stays there.
        const MotionPosition& end = RunKinematics.pose.machine;
        EXPECT_NEAR(end.axis[0], std::sqrt(125.0), 1e-9);
        EXPECT_NEAR(end.axis[4], std::atan2(5.0, 10.0) * 180.0 / 3.14159265358979323846, 1e-9);
        EXPECT_NEAR(RunKinematics.pose.program.axis[2], 25.0, 1e-9);
    }
}

// A tool change in the HEIDENHAIN and SIEMENS dialects sets the new tool's length offset (length
// taken from the tool, measured at its bottom); TOOL CALL's DL delta is its wear.
TEST_F(SimulationThreadTest, DialectToolChangesTakeTheNewToolsLength) {
    const struct {
        int heidenhain;
        const char* program;
        double length;
    } cases[] = {{1, "%\nTOOL CALL 2 Z S3000 DL-1.5\nL X+10 Y+10 Z+20 FMAX\n%\n", 35.0 - 1.5},
                 {0, "%\nT2 M06\nG00 X10. Y10. Z20.\nM30\n%\n", 35.0}};
    Controller.autoLengthPosition = 0;
    Settings.toolBasePoint = 3;
    Machine.atcType = 1;
    ToolLengthRecord& length = ToolTableSet.lengths[2];
    length.kind = kToolLength1;
    length.values[0] = 35.0f;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        Controller.dialect.heidenhain = c.heidenhain;
        Controller.dialect.siemens = 1 - c.heidenhain;
        Controller.dialect.number = c.heidenhain != 0 ? kDialectHeidenhain : 0;
        Controller.decimalPointRule = c.heidenhain != 0 ? 3 : 0;
        SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
        Program(c.program);
        RunFromTheStart();
        EXPECT_EQ(TestRun.result.end, kRunEndProgram);
        EXPECT_EQ(TestRun.result.toolChanges, 1);
        EXPECT_EQ(RunTools.tool.derivedFrom, 2);
        EXPECT_EQ(RunSession.run.modal.lengthOffsetNumber, 2);
        EXPECT_NEAR(RunKinematics.toolValues.lengthOffset, c.length, 1e-9);
    }
}

// A HEIDENHAIN tilted plane on a table-table machine (A about X, C about Z): a move in the plane
// takes the plane's machine angles as its rotary values, so the program follows the turn that
// the pose makes; PLANE RESET turns the axes back to 0 from where the machine stands, without a
// jump.
TEST_F(SimulationThreadTest, AHeidenhainPlaneLendsItsAnglesUntilReset) {
    Controller.dialect.heidenhain = 1;
    Controller.dialect.number = kDialectHeidenhain;
    Controller.decimalPointRule = 3;
    UseTableTableMachine();
    Program(
        "%\nL X+5 Y+5 Z+20 FMAX\nPLANE SPATIAL SPA+30 SPB+0 SPC+0 STAY SEQ+\n"
        "L X+5 Y+5 Z+20 FMAX\nL X+6 FMAX\nPLANE RESET STAY\nL Z+25 FMAX\n%\n");
    const StepTrace trace = RunTracingEveryStep();
    const std::vector<MotionPosition>& machine = trace.machine;
    const std::vector<MotionPosition>& program = trace.program;
    const std::vector<int>& lines = trace.lines;
    EXPECT_EQ(TestRun.result.end, kRunEndProgram);
    ASSERT_FALSE(machine.empty());
    // In the plane, at the end of each of its moves, the machine stands at the plane's tilt of A
    // by 30 deg and the program's rotary values are the machine's angles. The first move in the
    // plane turns the table over its steps, not at its first step.
    int planeMoveEnds = 0;
    for (std::size_t i = 0; i < machine.size(); ++i) {
        if ((lines[i] == 4 || lines[i] == 5) &&
            (i + 1 == machine.size() || lines[i + 1] != lines[i])) {
            ++planeMoveEnds;
            EXPECT_NEAR(std::fabs(machine[i].axis[3]), 30.0, 1e-9) << "line " << lines[i];
            EXPECT_NEAR(program[i].axis[3], machine[i].axis[3], 1e-9) << "line " << lines[i];
            EXPECT_NEAR(program[i].axis[4], machine[i].axis[4], 1e-9) << "line " << lines[i];
        }
    }
    EXPECT_EQ(planeMoveEnds, 2);
    EXPECT_GT(std::count(lines.begin(), lines.end(), 4), 5);
    EXPECT_TRUE(NoRotaryJumps(machine, 3, 5.0));
    // PLANE RESET turned the table back from 30 deg in steps; the run ends at A 0.
    const auto reset = std::find(lines.begin(), lines.end(), 6);
    ASSERT_NE(reset, lines.begin());
    EXPECT_GT(std::count(lines.begin(), lines.end(), 6), 1);
    const std::vector<MotionPosition> after(machine.begin() + (reset - lines.begin()) - 1,
                                            machine.end());
    EXPECT_TRUE(NoRotaryJumps(after, 3, 5.0));
    EXPECT_TRUE(NoStepJumps(after, 0.5));
    EXPECT_NEAR(RunKinematics.pose.machine.axis[3], 0.0, 1e-9);
    EXPECT_NEAR(RunKinematics.pose.program.axis[3], 0.0, 1e-9);
    EXPECT_EQ(RunKinematics.plane.active, 0);
}

// Moves given in machine coordinates: a G53 move goes to its machine values with the other axes
// kept, and the last leg of a reference return goes to the reference point; both are stepped on
// the machine position.
TEST_F(SimulationThreadTest, MachineCoordinateMovesEndAtTheirMachinePositions) {
    const MotionPosition savedOffset = WorkOffsetTable[1];
    const ReferencePoint savedReference = ReferencePoints[0];
    WorkOffsetTable[1] = MotionPosition{};
    WorkOffsetTable[1].axis[2] = -100.0;
    ReferencePoints[0].present = 1;
    ReferencePoints[0].axis[2] = 150.0;
    // The G53 rapid goes into the block: no rapid check, so that the run goes on.
    const CheckSettings savedChecks = Checks;
    Checks.interference = 0;
    const std::int64_t first = 67;  // (0, 0, 50) to (10, 10, 20): ceil(33.17 / 0.5)
    const struct {
        const char* block;
        double machineZ;
        std::int64_t steps;
    } cases[] = {{"G53 G00 Z0.", 0.0, 160}, {"G91 G28 Z0.", 150.0, 460}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        Program(std::string("%\nG90 G54 G00 X10. Y10. Z20.\n") + c.block + "\nM30\n%\n");
        RunFromTheStart();
        EXPECT_EQ(TestRun.result.end, kRunEndProgram);
        EXPECT_EQ(TestRun.record.steps, first + c.steps);
        EXPECT_EQ(RunKinematics.pose.machine.axis[0], 10.0);
        EXPECT_EQ(RunKinematics.pose.machine.axis[1], 10.0);
        EXPECT_EQ(RunKinematics.pose.machine.axis[2], c.machineZ);
    }
    WorkOffsetTable[1] = savedOffset;
    ReferencePoints[0] = savedReference;
    Checks = savedChecks;
}

TEST_F(SimulationThreadTest, AbortInARedrawWaitEndsTheMove) {
    Program(kSlotProgram);
    Settings.skipView = 1;
    ScriptedHost host;
    std::int64_t stepsAtAbort = -1;
    host.onRedraw = [&](int redraws) {
        if (redraws == 20) {
            stepsAtAbort = TestRun.record.steps;
            RequestRunAbort(WindowRun.controls);
        }
    };
    host.Run();
    EXPECT_EQ(TestRun.result.end, kRunEndAbort);
    EXPECT_EQ(TestRun.record.steps, stepsAtAbort);
    EXPECT_EQ(WindowRun.controls.redrawRequest.load(), 0);
    EXPECT_EQ(host.redraws, 20);
}

TEST_F(SimulationThreadTest, RunsEndOnErrorsOverTravelAndMissingSources) {
    const ControllerDefinition savedController = Controller;
    const struct {
        const char* what;
        std::function<void()> setUp;
        int end;
        std::function<void()> check;
    } cases[] = {
        {"a cutting move without a feed, with CHECK F0 on",
         [&] {
             Program("%\nG90 G01 X10. Y10. Z5. F0\nM30\n%\n");
             Controller.checkF0 = 1;
         },
         kRunEndError, [] {}},
        {"X beyond its stroke on the third step of a line",
         [&] {
             Controller = savedController;
             Program("%\nG90 G00 X0 Y0 Z20.\nG01 X10. F100.\nM30\n%\n");
             CurrentMachine.strokes.enabled[0] = 1;
             CurrentMachine.strokes.min[0] = -50.0;
             CurrentMachine.strokes.max[0] = 1.2;
         },
         kRunEndOverTravel, [] { EXPECT_EQ(WindowRun.controls.overTravelAxis.load(), 0); }},
        {"the next run, inside the strokes, starts clean: it runs to its end and cuts",
         [&] { Program("%\nG90 G00 X0 Y0 Z20.\nG01 X1. F100.\nG01 Z5.\nM30\n%\n"); },
         kRunEndProgram,
         [] {
             EXPECT_EQ(WindowRun.controls.overTravelAxis.load(), -1);
             EXPECT_EQ(TestRun.result.alarmSteps, 0);
             EXPECT_GT(TestRun.result.removedVolume, 0.0);
             EXPECT_EQ(ReadRunStatus().steps, TestRun.record.steps);  // this run's alone
         }},
        {"a program that is not there",
         [&] {
             CurrentMachine.strokes.enabled[0] = 0;
             DefinitionFiles.ncProgramFile = scratch_.At("missing.nc");
         },
         kRunEndNoSource, [] {}},
        {"a step length of 0 never starts a run that could not end",
         [&] {
             Program(kSlotProgram);
             DexelPitch.secondPitch = 0.0;
         },
         kRunEndBadStep, [] { EXPECT_EQ(testing::ZRayTop(StockModels[0], 20, 30), 10.0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.setUp();
        RunFromTheStart();
        EXPECT_EQ(TestRun.result.end, c.end);
        c.check();
    }
    Controller = savedController;
}

}  // namespace
}  // namespace mirexa
