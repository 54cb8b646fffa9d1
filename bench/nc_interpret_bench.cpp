// NC interpretation speed: a 100,000-line program of mixed G01, G02 and G03 moves pulled through
// the step driver from reset to the end, the move trace of the tests printing every move of it,
// and the data check of the same program with its time estimate, extents and statistics; each
// reported as lines per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "bench/nc_pull_loop.h"
#include "nc/data_check.h"
#include "nc/kinematics_services.h"
#include "nc/nc_session.h"
#include "tools/move_trace.h"

namespace mirexa {
namespace {

constexpr int kLines = 100000;

// Writes the program once: lines, arcs by R and by I/J in turn, feeds and incremental blocks.
std::string WriteProgram() {
    const std::string path =
        (std::filesystem::temp_directory_path() / "mirexa_nc_interpret_bench.nc").string();
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) {
        return "";
    }
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> coordinate(-100, 100), depth(-5, 0);
    std::fprintf(f, "G90 G17 G00 X0 Y0 Z5.\n");
    double x = 0, y = 0;
    for (int i = 1; i < kLines; ++i) {
        const int kind = i % 4;
        const double nx = coordinate(rng), ny = coordinate(rng);
        if (kind == 0) {
            std::fprintf(f, "N%d G01 X%.3f Y%.3f Z%.3f F%d\n", i, nx, ny, depth(rng),
                         500 + i % 7 * 100);
        } else if (kind == 1) {
            const double r = std::hypot(nx - x, ny - y) * 0.75;
            std::fprintf(f, "G02 X%.3f Y%.3f R%.3f\n", nx, ny, i % 8 == 1 ? -r : r);
        } else if (kind == 2) {
            std::fprintf(f, "G03 X%.3f Y%.3f I%.3f J%.3f (arc %d)\n", nx, ny, (nx - x) / 2,
                         (ny - y) / 2, i);
        } else {
            std::fprintf(f, "G91 G01 X1.5 Y-0.5\nG90\n");
            ++i;
        }
        x = nx, y = ny;
    }
    std::fclose(f);
    return path;
}

void BM_InterpretMixedProgram(benchmark::State& state) {
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
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(kLines) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InterpretMixedProgram)->Unit(benchmark::kMillisecond);

void BM_MoveTraceMixedProgram(benchmark::State& state) {
    static const std::string path = WriteProgram();
    if (path.empty()) {
        state.SkipWithError("cannot write the program");
        return;
    }
    InstallWorkOffsetSource();
    OwnedNcSession owned;
    size_t characters = 0;
    for (auto _ : state) {
        characters += testing::TraceNcProgram(*owned.session, path).size();
    }
    benchmark::DoNotOptimize(characters);
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(kLines) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MoveTraceMixedProgram)->Unit(benchmark::kMillisecond);

void BM_DataCheckMixedProgram(benchmark::State& state) {
    static const std::string path = WriteProgram();
    if (path.empty()) {
        state.SkipWithError("cannot write the program");
        return;
    }
    InstallWorkOffsetSource();
    OwnedNcSession owned;  // each check starts its own session from this one
    long completed = 0;
    for (auto _ : state) {
        completed += RunNcDataCheck(*owned.session, nullptr, path, kDataCheckAll).ran;
    }
    benchmark::DoNotOptimize(completed);
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(kLines) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DataCheckMixedProgram)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirexa
