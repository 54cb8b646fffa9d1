// Speed of a whole run: a generated ball-end program cut from a 100 x 100 x 50 mm box by the
// simulation thread on its own thread, headless and without drawing. Two programs:
// - BM_WholeRun, a raster finish: a 10 mm ball in zigzag rows over a wavy surface about 5 mm
//   deep, about 5,000 moves; its steps touch few rays beside the tool.
// - BM_DeepPocket, a deep pocket: the same ball clearing a tapered rounded-square pocket in 3 mm
//   layers down to 30 mm, contour by contour from the centre out, about 4,700 moves of a median
//   0.5 mm (6 m of path); each step cuts many rays of the side families (X and Y).
// Reports steps and rays cut per second, wall and process CPU time (and its part in the kernel),
// the cutting threads asked for and used, the peak memory of the process and the machine's load
// average when the run started (on a shared machine wall times only compare at like loads), and a
// digest of the cut stock, which is the same on every thread count. Every run starts from the
// session the definitions left, so a case gives the same digest alone or after other cases.
//
// The quick cases (the raster's first rows at 0.25 and 0.1 mm, the pocket's first four layers
// at 0.25 mm) always run; the whole programs (raster at 0.25 and 0.1 mm, pocket at 0.25, 0.1 and
// 0.05 mm, on 1 and 8 threads) run when MIREXA_BENCH_WHOLE_RUN=1 is set, one case per process for a
// true peak memory:
// --benchmark_filter=BM_DeepPocket/pitch_um:100/threads:8/layers:10. After a whole program the
// surface of the stock is extracted and saved as binary STL, timed apart from the run (kept at
// the path MIREXA_BENCH_KEEP_STL names, when it is set).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

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
#include "simulation/dexel_grid_view.h"
#include "simulation/move_stepping.h"
#include "simulation/run_control.h"
#include "simulation/simulation_thread.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "stockio/stl_files.h"
#include "stockio/stock_saving.h"
#include "stockio/surface_extraction.h"

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
    return MIREXA_SAMPLES "/";
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

// The pocket: layers 3 mm apart down to 30 mm (Z 47 to 20). At depth d the pocket's wall is a
// rounded square about the block's centre of half-width 42 - d/2 (the walls taper inwards); the
// ball's centre runs on contours 7 mm apart inside it, innermost first, each a rounded square of
// corner radius up to 7 mm: sides in moves of at most 4 mm, corners in chords of about 0.5 mm.
constexpr int kLayers = 10;
constexpr double kLayerStep = 3.0;
constexpr double kContourStep = 7.0;
constexpr double kSideMove = 4.0;
constexpr double kCornerChord = 0.5;
constexpr double kContourCorner = 7.0;

void AddPoint(std::string* nc, double x, double y) {
    char line[64];
    std::snprintf(line, sizeof line, "X%.3f Y%.3f\n", x, y);
    *nc += line;
}

// One contour at half-width a about (50, 50), counter-clockwise from the middle of its +X side.
void AddContour(std::string* nc, double a) {
    const double rc = std::min(a, kContourCorner);
    const double s = a - rc;  // half the length of a straight side
    const int sideMoves = s > 0.0 ? static_cast<int>(std::ceil(2.0 * s / kSideMove)) : 0;
    const int cornerMoves = static_cast<int>(std::ceil(rc * kPi / 2.0 / kCornerChord));
    AddPoint(nc, 50.0 + a, 50.0 - s);
    for (int side = 0; side < 4; ++side) {
        // Side `side` runs towards the corner at angle 90 * side degrees.
        const double c = std::cos(kPi / 2.0 * side), sn = std::sin(kPi / 2.0 * side);
        const double cx = 50.0 + s * (c - sn), cy = 50.0 + s * (sn + c);
        const double fromX = 50.0 + a * c + s * sn, fromY = 50.0 + a * sn - s * c;
        for (int m = 1; m <= sideMoves; ++m) {
            const double t = static_cast<double>(m) / sideMoves;
            AddPoint(nc, fromX + t * (cx + rc * c - fromX), fromY + t * (cy + rc * sn - fromY));
        }
        for (int m = 1; m <= cornerMoves; ++m) {
            const double angle = kPi / 2.0 * (side + static_cast<double>(m) / cornerMoves);
            AddPoint(nc, cx + rc * std::cos(angle), cy + rc * std::sin(angle));
        }
    }
}

// The program's first `layers` layers: each plunges at the centre, runs its contours from the
// innermost out and rises to Z 52 above the block.
std::string DeepPocketProgram(int layers) {
    std::string nc = "%\nO3001 (BALL R5 DEEP POCKET)\nG90 G17 G40 G49 G80\nT1 M06\n";
    nc += "G56 G00 X50. Y50. S8000 M03\nZ60.\n";
    char line[64];
    for (int layer = 0; layer < layers; ++layer) {
        const double depth = kLayerStep * (layer + 1);
        std::snprintf(line, sizeof line, "G00 X50. Y50.\nZ52.\nG01 Z%.3f F2500.\n", 50.0 - depth);
        nc += line;
        const double wall = 42.0 - depth / 2.0;
        const int contours = static_cast<int>(std::ceil((wall - 5.0 - 0.5) / kContourStep));
        for (int k = contours - 1; k >= 0; --k) {
            AddContour(&nc, wall - 5.0 - kContourStep * k);
        }
        nc += "G00 Z52.\n";
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
// The run session as the definitions left it, before any run: every run starts from it, so that
// a case does not start in the work origin, modes or tool the previous case's program left, and
// the cases of one process cut as each would alone.
NcSession& StartingSession() {
    static NcSession session;
    return session;
}

void ReadDefinitions(const std::string& directory) {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    InstallNcServiceHooks();
    AllocToolTables(Settings.maxMagazine);
    ReadToolFileAt(RunSession, RunKinematics, RunTools,
                   WriteText(directory + "/raster.ttl",
                             "I1\nMAGAZINE 1 BALL 10,30 \"BALL R5\" LENGTH 60 PEN 2\n"));
    ReadControllerFileAt(RunSession, RunKinematics, SamplesDirectory() + "vmc3.ctl");
    // The cut is measured, not the checks: a rapid of the programs touches the stock, and with the
    // rapid check on its first alarm step would end the run.
    Checks.interference = 0;
    CopyNcSessionState(&StartingSession(), RunSession);
}

// FNV-1a over bytes, continued from `hash`.
std::uint64_t HashBytes(std::uint64_t hash, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    }
    return hash;
}

// A digest of the cut stock (every ray's ends, pens and line stamps in the three families), its
// hex digits: equal digests show that runs on other thread counts or builds cut alike.
std::string StockDigest(const StockModel& stock) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const DexelFamily* f : {&stock.x, &stock.y, &stock.z}) {
        for (std::int64_t cell = 0; cell < f->cellCount; ++cell) {
            const std::int32_t n = f->counts[cell];
            hash = HashBytes(hash, &n, sizeof n);
            if (n <= 0) {
                continue;
            }
            const std::size_t count = static_cast<std::size_t>(n);
            hash = HashBytes(hash, DexelCellEnds(cell, f->capacity, f->counts, f->ends),
                             count * sizeof(double));
            hash = HashBytes(hash, DexelCellFlags(cell, f->capacity, f->counts, f->flags), count);
            hash = HashBytes(hash, DexelCellStamps(cell, f->capacity, f->counts, f->lineStamps),
                             count * sizeof(std::int32_t));
        }
    }
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::int64_t FileBytes(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return 0;
    }
    std::fseek(f, 0, SEEK_END);
    const std::int64_t bytes = std::ftell(f);
    std::fclose(f);
    return bytes;
}

int CountFacet(void* context, const MeshFacet&) {
    ++*static_cast<std::int64_t*>(context);
    return 1;
}

// The surface of the cut stock, as a user who saves the result gets it, on the run's threads:
// the extraction alone (facets counted, not kept), then the binary STL save (extraction and
// writing). Reports both times, the file's size and the peak memory that the save reached.
void MeasureSurface(benchmark::State& state, const StockModel& stock, int threads,
                    const std::string& directory) {
    MeshExtractionOptions options;
    options.threads = threads;
    std::int64_t facets = 0;
    double wall0 = WallSeconds();
    if (ExtractStockMesh(stock, {CountFacet, &facets}, options) < 0) {
        state.SkipWithError("the surface could not be extracted");
        return;
    }
    state.counters["extract_s"] = WallSeconds() - wall0;
    state.counters["facets"] = static_cast<double>(facets);
    const std::string path = directory + "/stock.stl";
    const double origin[3] = {0, 0, 0};
    wall0 = WallSeconds();
    if (SaveStockFile(stock, path, kStlWriteBinary, 0, origin, threads) != kStockSaveDone) {
        state.SkipWithError("the stock could not be saved");
    }
    state.counters["stl_save_s"] = WallSeconds() - wall0;
    state.counters["stl_MB"] = static_cast<double>(FileBytes(path)) / 1e6;
    state.counters["peak_save_MB"] = PeakMegabytes();
    // MIREXA_BENCH_KEEP_STL names a path that keeps the saved file, for a look at the surface.
    const char* keep = std::getenv("MIREXA_BENCH_KEEP_STL");
    if (keep == nullptr || *keep == '\0' || std::rename(path.c_str(), keep) != 0) {
        std::remove(path.c_str());
    }
}

// Runs the program on the box. Arguments: the pitch and step length (um), the cutting threads,
// and the program's size (its rows or layers), which `program` turns into its text; the stock
// of the whole program (`wholeSize`) is also extracted and saved.
void RunWholeProgram(benchmark::State& state, std::string (*program)(int), int wholeSize) {
    const double pitch = static_cast<double>(state.range(0)) / 1000.0;
    const int threads = static_cast<int>(state.range(1));
    char directory[] = "/tmp/mirexa_whole_run_XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        state.SkipWithError("no scratch directory");
        return;
    }
    ReadDefinitions(directory);
    DefinitionFiles.ncProgramFile = WriteText(std::string(directory) + "/program.nc",
                                              program(static_cast<int>(state.range(2))));
    DexelPitch.secondPitch = pitch;
    Settings.multiThreadCount = threads;
    DrawingSuppressed = 1;
    const double box[6] = {0, 0, 0, 100, 100, 50};
    StockModel& stock = StockModels[0];
    CurrentStockIndex = 0;
    std::int64_t steps = 0, rays = 0;
    double wall = 0.0, cpu = 0.0, kernel = 0.0;
    const double load = MachineLoad();
    CuttingRun cut;
    for (auto _ : state) {
        state.PauseTiming();
        FreeStockModel(&stock);
        stock = StockModel{};
        SetStockUndoRingSize(&stock, 1);
        if (CreateBoxStockIdentity(&stock, box, pitch) != 1) {
            state.SkipWithError("the box does not fit the memory available");
            break;
        }
        BindDexelGridViews(&stock, cut.cutting.views);
        CopyNcSessionState(&RunSession, StartingSession());
        RunKinematics.pose = MachinePose{};
        RunKinematics.pose.program.axis[2] = 200.0;
        state.ResumeTiming();
        cut.cutting.totals = CuttingTotalsRecord{};
        const double wall0 = WallSeconds();
        const double cpu0 = ProcessCpuSeconds();
        const double kernel0 = ProcessKernelSeconds();
        GiveRunRequest(cut, RunRequest{&RunSession, &stock, DefinitionFiles.ncProgramFile,
                                       RunMode::kResult, BatchRunKind::kNone});
        std::thread thread([&cut] { RunCutting(cut); });
        thread.join();
        wall += WallSeconds() - wall0;
        cpu += ProcessCpuSeconds() - cpu0;
        kernel += ProcessKernelSeconds() - kernel0;
        steps += cut.record.steps;
        rays += cut.record.raysVisited;
    }
    if (cut.result.end != kRunEndProgram) {
        state.SkipWithError("the program did not run to its end");
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["steps_per_s"] = static_cast<double>(steps) / wall;
    state.counters["rays_per_s"] = static_cast<double>(rays) / wall;
    state.counters["wall_s"] = wall / runs;
    state.counters["cpu_s"] = cpu / runs;
    state.counters["sys_s"] = kernel / runs;
    state.counters["load"] = load;
    state.counters["threads"] = cut.cutting.threadCount;
    // The threads a step's cut used on average (small windows stay on one thread).
    const CuttingTotalsRecord& totals = cut.cutting.totals;
    state.counters["threads_used"] = totals.passes > 0 ? static_cast<double>(totals.threadsUsed) /
                                                             static_cast<double>(totals.passes)
                                                       : 0.0;
    // Rays of the tool's windows per step: visited (cut or tested), and passed over by the
    // material summary without reading their slots.
    const double perStep = steps > 0 ? 1.0 / static_cast<double>(steps) : 0.0;
    state.counters["rays_visited_per_step"] = static_cast<double>(totals.raysVisited) * perStep;
    state.counters["rays_skipped_per_step"] = static_cast<double>(totals.raysSkipped) * perStep;
    state.counters["peak_MB"] = PeakMegabytes();
    state.SetLabel("digest " + StockDigest(stock));
    if (state.range(2) == wholeSize && cut.result.end == kRunEndProgram) {
        MeasureSurface(state, stock, threads, directory);
    }
    FreeStockModel(&stock);
    stock = StockModel{};
    ReleaseCuttingBuffers();
    std::remove(DefinitionFiles.ncProgramFile.c_str());
    std::remove((std::string(directory) + "/raster.ttl").c_str());
    std::remove(directory);
}

void BM_WholeRun(benchmark::State& state) {
    RunWholeProgram(state, RasterProgram, kRows);
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

void BM_DeepPocket(benchmark::State& state) {
    RunWholeProgram(state, DeepPocketProgram, kLayers);
}
BENCHMARK(BM_DeepPocket)
    ->ArgNames({"pitch_um", "threads", "layers"})
    ->Args({250, 1, 4})
    ->Args({250, 8, 4})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The whole programs, on request only (minutes of CPU).
const bool kWholeRunsRegistered = [] {
    const char* wanted = std::getenv("MIREXA_BENCH_WHOLE_RUN");
    if (wanted == nullptr || std::string(wanted) != "1") {
        return false;
    }
    for (int pitch : {250, 100, 50}) {
        for (int threads : {1, 8}) {
            if (pitch != 50) {
                benchmark::RegisterBenchmark("BM_WholeRun", BM_WholeRun)
                    ->ArgNames({"pitch_um", "threads", "rows"})
                    ->Args({pitch, threads, kRows})
                    ->Iterations(1)
                    ->UseRealTime()
                    ->Unit(benchmark::kSecond);
            }
            benchmark::RegisterBenchmark("BM_DeepPocket", BM_DeepPocket)
                ->ArgNames({"pitch_um", "threads", "layers"})
                ->Args({pitch, threads, kLayers})
                ->Iterations(1)
                ->UseRealTime()
                ->Unit(benchmark::kSecond);
        }
    }
    return true;
}();

}  // namespace
}  // namespace mirexa
