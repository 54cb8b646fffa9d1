// Time and memory to build a 200 x 200 x 100 mm box stock with the default undo ring (2 slots),
// at 0.1 mm and two coarser pitches, to push one undo state of it, and to refuse a box whose
// pitch is far too fine. Reports the accounted bytes, the bytes per ray and the peak resident
// memory of the process.
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

// Whether the box's grid at a pitch fits the memory available with half as much again to
// spare for the rest of the process.
bool FitsInMemory(double pitch, benchmark::State& state) {
    StockModel grid;
    grid.nx = static_cast<int>(kBox[3] / pitch) + 1;
    grid.ny = static_cast<int>(kBox[4] / pitch) + 1;
    grid.nz = static_cast<int>(kBox[5] / pitch) + 1;
    SetStockUndoRingSize(&grid, 2);
    if (!FitsAvailableStockMemory(GetStockGridBytes(grid) / 2 * 3)) {
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

// Refusal of a box whose pitch was mistyped (argument in picometres: 1e-6 to 1e-7 mm, 2e8 to
// 2e9 nodes along x): it must not grow with the node count.
void BM_RefuseOversizedBoxStock(benchmark::State& state) {
    const double pitch = static_cast<double>(state.range(0)) * 1e-9;
    StockModel model;
    for (auto _ : state) {
        SetStockUndoRingSize(&model, 2);
        if (CreateBoxStockIdentity(&model, kBox, pitch) != kStockGridMemoryError) {
            state.SkipWithError("the box was not refused for memory");
            FreeStockModel(&model);
            return;
        }
    }
}

BENCHMARK(BM_BuildBoxStock)->Arg(1000)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PushBoxStockUndo)->Arg(1000)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefuseOversizedBoxStock)->Arg(1000)->Arg(300)->Arg(100);

}  // namespace
}  // namespace mirexa
