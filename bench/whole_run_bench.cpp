// Speed of a whole run: a generated ball-end raster finishing program (10 mm ball, zigzag rows
// over a wavy surface, about 5,000 moves) cut from a 100 x 100 x 50 mm box by the simulation
// thread on its own thread, headless and without drawing. Reports steps and rays cut per second,
// wall and process CPU time (and its part in the kernel), the cutting threads asked for and used,
// the peak memory of the process and the machine's load average when the run started (on a
// shared machine wall times only compare at like loads).
//
// The quick cases (the first rows of the program at 0.25 and 0.1 mm) always run; the whole program
// at 0.25 and 0.1 mm on 1 and 8 threads runs when MIREXA_BENCH_WHOLE_RUN=1 is set, one case per
// process for a true peak memory: --benchmark_filter=BM_WholeRun/pitch_um:100/threads:8.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_controller_view.h"
#include "services/shared_state.h"
#include "simulation/cutting_core.h"
#include "simulation/dexel_grid_view.h"
#include "simulation/move_stepping.h"
#include "simulation/run_control.h"
#include "simulation/simulation_thread.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"

namespace mirexa {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRows = 75;           // raster rows over the 100 mm of Y
constexpr double kPointStep = 1.5;  // mm between the points of a row

// The finished surface (mm): a wave of +-2.5 mm about Z 45.
double SurfaceHeight(double x, double y) {
    return 45.0 + 2.5 * std::sin(2.0 * kPi * x / 40.0) * std::cos(2.0 * kPi * y / 50.0);
}

std::string SamplesDirectory() {
    std::string file = __FILE__;
    file.erase(file.find_last_of('/'));
    file.erase(file.find_last_of('/') + 1);
    return file + "samples/";
}

std::string WriteText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f != nullptr) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    return path;
}

// The program's first `rows` rows: the tool goes down beside the block, then runs each row along
// X over the surface, the rows joined by a step over in Y, alternating direction.
std::string RasterProgram(int rows) {
    std::string nc = "%\nO3000 (BALL R5 RASTER FINISH)\nG90 G17 G40 G49 G80\nT1 M06\n";
    nc += "G56 G00 X-3. Y0. S8000 M03\nZ60.\n";
    char line[96];
    std::snprintf(line, sizeof line, "G01 Z%.3f F2500.\n", SurfaceHeight(-3.0, 0.0));
    nc += line;
    const int points = static_cast<int>(std::ceil(106.0 / kPointStep));
    for (int r = 0; r < rows; ++r) {
        const double y = 100.0 * r / (kRows - 1);
        for (int p = 0; p <= points; ++p) {
            const double t = -3.0 + kPointStep * p;
            const double x = (r % 2 == 0) ? t : 103.0 - (t + 3.0);
            std::snprintf(line, sizeof line, "X%.3f Y%.3f Z%.3f\n", x, y, SurfaceHeight(x, y));
            nc += line;
        }
    }
    nc += "G00 Z60.\nM30\n%\n";
    return nc;
}

double ProcessCpuSeconds() {
    timespec t = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double WallSeconds() {
    timespec t = {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// CPU time the process spent in the kernel (s): sleeping and waking threads shows here.
double ProcessKernelSeconds() {
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(usage.ru_stime.tv_usec);
}

// The load average of the last minute (runnable threads of the whole machine).
double MachineLoad() {
    double load[1] = {};
    return getloadavg(load, 1) == 1 ? load[0] : -1.0;
}

double PeakMegabytes() {
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The definition files once: a 10 mm ball without a holder, the sample controller.
void ReadDefinitions(const std::string& directory) {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    InstallNcServiceHooks();
    AllocToolTables(Settings.maxMagazine);
    ReadToolFileAt(WriteText(directory + "/raster.ttl",
                             "I1\nMAGAZINE 1 BALL 10,30 \"BALL R5\" LENGTH 60 PEN 2\n"));
    ReadControllerFileAt(SamplesDirectory() + "vmc3.ctl");
}

// Arguments: the pitch and step length (um), the cutting threads, the rows of the program.
void BM_WholeRun(benchmark::State& state) {
    const double pitch = static_cast<double>(state.range(0)) / 1000.0;
    const int threads = static_cast<int>(state.range(1));
    const int rows = static_cast<int>(state.range(2));
    char directory[] = "/tmp/mirexa_whole_run_XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        state.SkipWithError("no scratch directory");
        return;
    }
    ReadDefinitions(directory);
    DefinitionFiles.ncProgramFile =
        WriteText(std::string(directory) + "/raster.nc", RasterProgram(rows));
    DexelPitch.secondPitch = pitch;
    Settings.multiThreadCount = threads;
    CuttingThreadCount = threads;
    DrawingSuppressed = 1;
    const double box[6] = {0, 0, 0, 100, 100, 50};
    StockModel& stock = StockModels[0];
    CurrentStockIndex = 0;
    std::int64_t steps = 0, rays = 0;
    double wall = 0.0, cpu = 0.0, kernel = 0.0;
    const double load = MachineLoad();
    for (auto _ : state) {
        state.PauseTiming();
        FreeStockModel(&stock);
        stock = StockModel{};
        SetStockUndoRingSize(&stock, 1);
        if (CreateBoxStockIdentity(&stock, box, pitch) != 1) {
            state.SkipWithError("the box does not fit the memory available");
            break;
        }
        BindDexelGrids(&stock);
        ResetRunControlFlags();
        RunControl.runMode = kRunResult;
        CurrentMachinePose = MachinePose{};
        CurrentMachinePose.program.axis[2] = 200.0;
        state.ResumeTiming();
        CuttingTotals = CuttingTotalsRecord{};
        const double wall0 = WallSeconds();
        const double cpu0 = ProcessCpuSeconds();
        const double kernel0 = ProcessKernelSeconds();
        std::thread run(SimulationThreadProc);
        run.join();
        wall += WallSeconds() - wall0;
        cpu += ProcessCpuSeconds() - cpu0;
        kernel += ProcessKernelSeconds() - kernel0;
        steps += RunSimulationRecord.steps;
        rays += RunSimulationRecord.raysVisited;
    }
    if (LastRunSummary.end != kRunEndProgram) {
        state.SkipWithError("the raster program did not run to its end");
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["steps_per_s"] = static_cast<double>(steps) / wall;
    state.counters["rays_per_s"] = static_cast<double>(rays) / wall;
    state.counters["wall_s"] = wall / runs;
    state.counters["cpu_s"] = cpu / runs;
    state.counters["sys_s"] = kernel / runs;
    state.counters["load"] = load;
    state.counters["threads"] = CuttingThreadCount.load();
    // The threads a step's cut used on average (small windows stay on one thread).
    state.counters["threads_used"] = CuttingTotals.passes > 0
                                         ? static_cast<double>(CuttingTotals.threadsUsed) /
                                               static_cast<double>(CuttingTotals.passes)
                                         : 0.0;
    state.counters["peak_MB"] = PeakMegabytes();
    FreeStockModel(&stock);
    stock = StockModel{};
    ReleaseCuttingBuffers();
    std::remove(DefinitionFiles.ncProgramFile.c_str());
    std::remove((std::string(directory) + "/raster.ttl").c_str());
    std::remove(directory);
}
BENCHMARK(BM_WholeRun)
    ->ArgNames({"pitch_um", "threads", "rows"})
    ->Args({250, 1, 6})
    ->Args({250, 8, 6})
    ->Args({100, 1, 2})
    ->Args({100, 8, 2})
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The whole program, on request only (minutes of CPU).
const bool kWholeRunsRegistered = [] {
    const char* wanted = std::getenv("MIREXA_BENCH_WHOLE_RUN");
    if (wanted == nullptr || std::string(wanted) != "1") {
        return false;
    }
    for (int pitch : {250, 100}) {
        for (int threads : {1, 8}) {
            benchmark::RegisterBenchmark("BM_WholeRun", BM_WholeRun)
                ->ArgNames({"pitch_um", "threads", "rows"})
                ->Args({pitch, threads, kRows})
                ->Iterations(1)
                ->UseRealTime()
                ->Unit(benchmark::kSecond);
        }
    }
    return true;
}();

}  // namespace
}  // namespace mirexa
