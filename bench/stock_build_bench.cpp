// Time and memory to build a 200 x 200 x 100 mm box stock with the default undo ring (2 slots),
// at 0.1 mm and two coarser pitches, and to push one undo state of it. Reports the accounted
// bytes, the bytes per ray and the peak resident memory of the process.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "stock/stock_grid.h"
#include "stock/stock_hooks.h"
#include "stock/stock_shapes.h"

namespace mirexa {
namespace {

const double kBox[6] = {0, 0, 0, 200, 200, 100};  // mm

// Peak resident set of the process (VmHWM), bytes; 0 when unknown.
double PeakResidentBytes() {
    double bytes = 0;
    if (std::FILE* file = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, file)) {
            unsigned long long kib = 0;
            if (std::sscanf(line, "VmHWM: %llu kB", &kib) == 1) {
                bytes = static_cast<double>(kib) * 1024.0;
            }
        }
        std::fclose(file);
    }
    return bytes;
}

// Rays of the box at a pitch, and whether twice the grid's bytes fit the memory available.
bool FitsInMemory(double pitch, benchmark::State& state) {
    const double n[3] = {200 / pitch + 1, 200 / pitch + 1, 100 / pitch + 1};
    const double rays = n[0] * n[1] + n[1] * n[2] + n[0] * n[2];
    const double bytes = 2 * 108 * rays;  // two slots of 108 bytes per ray
    if (!FitsAvailableStockMemory(static_cast<std::uint64_t>(bytes * 1.5))) {
        state.SkipWithError("not enough memory for this grid");
        return false;
    }
    return true;
}

void SetCounters(benchmark::State& state, const StockModel& model) {
    const double rays =
        static_cast<double>(model.z.cellCount + model.x.cellCount + model.y.cellCount);
    const double bytes = static_cast<double>(GetStockMemorySize(model));
    state.counters["rays"] = rays;
    state.counters["MiB"] = bytes / (1024.0 * 1024.0);
    state.counters["bytes_per_ray"] = bytes / rays;
    state.counters["peak_rss_MiB"] = PeakResidentBytes() / (1024.0 * 1024.0);
}

// Argument: pitch in micrometres.
void BM_BuildBoxStock(benchmark::State& state) {
    const double pitch = static_cast<double>(state.range(0)) / 1000.0;
    if (!FitsInMemory(pitch, state)) {
        return;
    }
    StockModel model;
    for (auto _ : state) {
        SetStockUndoRingSize(&model, 2);
        if (CreateBoxStockIdentity(&model, kBox, pitch) != 1) {
            state.SkipWithError("the box could not be built");
            return;
        }
        state.PauseTiming();
        SetCounters(state, model);
        FreeStockModel(&model);
        state.ResumeTiming();
    }
}

void BM_PushBoxStockUndo(benchmark::State& state) {
    const double pitch = static_cast<double>(state.range(0)) / 1000.0;
    if (!FitsInMemory(pitch, state)) {
        return;
    }
    StockModel model;
    SetStockUndoRingSize(&model, 2);
    if (CreateBoxStockIdentity(&model, kBox, pitch) != 1) {
        state.SkipWithError("the box could not be built");
        return;
    }
    for (auto _ : state) {
        PushStockUndo(&model);
    }
    SetCounters(state, model);
    FreeStockModel(&model);
}

BENCHMARK(BM_BuildBoxStock)->Arg(1000)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PushBoxStockUndo)->Arg(1000)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirexa
