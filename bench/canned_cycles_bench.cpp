// Canned cycle speed: a 10,000-hole G83 program with five pecks per hole pulled through the step
// driver from reset to the end, reported as cycle points per second; and the expansion of one
// hole alone.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/nc_pull_loop.h"
#include "nc/canned_cycles.h"
#include "nc/kinematics_services.h"

namespace mirexa {
namespace {

constexpr int kHoles = 10000;

// Writes the program once: a 100 x 100 grid of holes 15 mm deep from R1 in pecks of 3 mm.
std::string WriteProgram() {
    const std::string path =
        (std::filesystem::temp_directory_path() / "mirexa_canned_cycles_bench.nc").string();
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) {
        return "";
    }
    std::fprintf(f, "G90 G17 G00 X0 Y0 Z10.\nG99 G83 X0 Y0 Z-14. R1. Q3. F120.\n");
    for (int i = 1; i < kHoles; ++i) {
        std::fprintf(f, "X%d. Y%d.\n", (i % 100) * 8, (i / 100) * 8);
    }
    std::fprintf(f, "G80\nM30\n");
    std::fclose(f);
    return path;
}

void BM_TraceTenThousandPeckedHoles(benchmark::State& state) {
    static const std::string path = WriteProgram();
    if (path.empty()) {
        state.SkipWithError("cannot write the program");
        return;
    }
    InstallWorkOffsetSource();
    OwnedNcSession owned;
    long moves = 0;
    for (auto _ : state) {
        moves += PullAllMoves(owned.session.get(), path);
    }
    benchmark::DoNotOptimize(moves);
    state.counters["points/s"] =
        benchmark::Counter(static_cast<double>(moves), benchmark::Counter::kIsRate);
    state.counters["points/program"] =
        static_cast<double>(moves) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TraceTenThousandPeckedHoles)->Unit(benchmark::kMillisecond);

void BM_ExpandOnePeckedHole(benchmark::State& state) {
    DrillingCycleInput in;
    in.cycleCode = 83;
    in.start.axis[2] = 10.0;
    in.hole.axis[0] = 8.0;
    in.rWord = 1.0;
    in.depthWord = -14.0;
    in.peck = 3.0;
    in.initialLevel = 10.0;
    static int types[kCyclePointsMax];
    static MotionPosition points[kCyclePointsMax];
    long count = 0;
    for (auto _ : state) {
        const DrillingCycleLevels levels = ComputeDrillingCycleLevels(in);
        count += ExpandDrillingHole(in, levels, in.start, in.hole, types, points);
        benchmark::DoNotOptimize(points);
    }
    state.counters["points/s"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExpandOnePeckedHole);

}  // namespace
}  // namespace mirexa
