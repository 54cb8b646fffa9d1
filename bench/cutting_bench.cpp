// Speed of the cutting: a 10 mm flat end mill slotting a 100 x 100 x 50 mm block at 0.1 mm
// pitch, one tool step (0.1 mm) per iteration, on one thread and with the rows spread over 2, 4
// and 8 threads; and the sample NC program run by the simulation thread over a fresh box
// stock per iteration. Reports tool steps per second and rays touched per second.
#include <benchmark/benchmark.h>

#include <string>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_session.h"
#include "services/shared_state.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_run.h"
#include "simulation/cutting_state.h"
#include "simulation/dexel_grid_view.h"
#include "simulation/move_stepping.h"
#include "simulation/run_control.h"
#include "simulation/simulation_thread.h"
#include "stock/stock_grid.h"
#include "stock/stock_hooks.h"
#include "stock/stock_shapes.h"

namespace mirexa {
namespace {

const double kBlock[6] = {0, 0, 0, 100, 100, 50};  // mm
constexpr double kPitch = 0.1;                     // mm

StockModel Block;
CuttingState Cutting;  // the cut state of the slot cases

bool BuildBlock(benchmark::State& state) {
    if (Block.nx != 0) {
        return true;
    }
    SetStockUndoRingSize(&Block, 1);
    if (CreateBoxStockIdentity(&Block, kBlock, kPitch) != 1) {
        state.SkipWithError("the block does not fit the memory available");
        return false;
    }
    return true;
}

void SetSlotTool() {
    CutterSections c;
    c.shape = 2;  // FLAT
    c.diameter = 10.0;
    c.topRadius = c.cornerTopRadius = c.flatRadius = c.cornerCentreRadius = 5.0;
    c.cuttingLength = 30.0;
    c.toolLength = 60.0;
    c.penBits = 1 << 4;
    Cutting.cutter = c;
}

// Argument: the cutting threads.
void BM_FlatEndMillSlot(benchmark::State& state) {
    if (!BuildBlock(state)) {
        return;
    }
    SetSlotTool();
    Cutting.threadCount = static_cast<int>(state.range(0));
    const double axis[3] = {0, 0, 1};
    // Slots 5 mm deep along x, one after the other 12 mm apart, stepped by the pitch.
    double x = -5.0, y = 6.05;
    std::int64_t rays = 0;
    for (auto _ : state) {
        const double point[3] = {x, y, 45.0};
        CutStockAtToolPose(Cutting, RunSession, &Block, point, axis, CutEndMarkRecord{});
        rays += Cutting.pose.raysVisited;
        x += kPitch;
        if (x > 105.0) {
            x = -5.0;
            y = y + 12.0 > 95.0 ? 6.05 : y + 12.0;
        }
    }
    state.counters["steps_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["rays_per_s"] =
        benchmark::Counter(static_cast<double>(rays), benchmark::Counter::kIsRate);
    Cutting.threadCount = 1;
}
BENCHMARK(BM_FlatEndMillSlot)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// The samples folder of the source tree.
std::string SamplesDirectory() {
    return MIREXA_SAMPLES "/";
}

// The sample program (facing, pocket, ball-end finish, drilling) over a 100 x 80 x 30.5 mm box
// at 0.25 mm, as scripts/demo runs it; the stock is rebuilt outside the timing.
void BM_SampleProgram(benchmark::State& state) {
    const std::string samples = SamplesDirectory();
    InstallNcServiceHooks();
    AllocToolTables(Settings.maxMagazine);
    ReadToolFileAt(RunSession, RunKinematics, RunTools, samples + "vmc3.ttl");
    ReadControllerFileAt(RunSession, RunKinematics, samples + "vmc3.ctl");
    DefinitionFiles.ncProgramFile = samples + "demo_part.nc";
    DexelPitch.secondPitch = 0.25;
    DrawingSuppressed = 1;
    const double box[6] = {0, 0, -30.5, 100, 80, 0};
    StockModel& stock = StockModels[0];
    CurrentStockIndex = 0;
    std::int64_t steps = 0, rays = 0;
    CuttingRun run;
    for (auto _ : state) {
        state.PauseTiming();
        FreeStockModel(&stock);
        stock = StockModel{};
        SetStockUndoRingSize(&stock, 1);
        CreateBoxStockIdentity(&stock, box, 0.25);
        RunKinematics.pose = MachinePose{};
        RunKinematics.pose.program.axis[2] = 200.0;
        GiveRunRequest(run, RunRequest{&RunSession, &stock, DefinitionFiles.ncProgramFile,
                                       RunMode::kSkipCutting, BatchRunKind::kNone});
        state.ResumeTiming();
        RunCutting(run);
        steps += run.record.steps;
        rays += run.record.raysVisited;
    }
    if (run.result.end != kRunEndProgram) {
        state.SkipWithError("the sample program did not run to its end");
    }
    state.counters["steps_per_s"] =
        benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
    state.counters["rays_per_s"] =
        benchmark::Counter(static_cast<double>(rays), benchmark::Counter::kIsRate);
    FreeStockModel(&stock);
    FreeToolTables();
}
BENCHMARK(BM_SampleProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace mirexa
