// Time of a 1 mm offset of a 200 x 200 x 100 mm box stock: Normal growth at 1 mm and 0.5 mm
// pitch, and a shrink and the Z and Horizon growths at 1 mm. Reports the rays and ends of the
// result.
#include <benchmark/benchmark.h>

#include "stock/stock_grid.h"
#include "stock/stock_hooks.h"
#include "stock/stock_offset.h"
#include "stock/stock_shapes.h"

namespace mirexa {
namespace {

const double kBox[6] = {0, 0, 0, 200, 200, 100};  // mm

std::uint64_t CountEnds(const StockModel& model) {
    std::uint64_t ends = 0;
    for (const DexelFamily* family : {&model.z, &model.x, &model.y}) {
        for (std::int64_t cell = 0; cell < family->cellCount; ++cell) {
            ends += static_cast<std::uint64_t>(family->counts[cell]);
        }
    }
    return ends;
}

// Arguments: pitch in micrometres, direction mode, offset in micrometres (signed).
void BM_OffsetBoxStock(benchmark::State& state) {
    const double pitch = static_cast<double>(state.range(0)) / 1000.0;
    StockOffsetParameters parameters;
    parameters.mode = static_cast<int>(state.range(1));
    parameters.value = static_cast<double>(state.range(2)) / 1000.0;
    StockModel source;
    SetStockUndoRingSize(&source, 2);
    if (CreateBoxStockIdentity(&source, kBox, pitch) != 1) {
        state.SkipWithError("the box could not be built");
        return;
    }
    StockModel result;
    for (auto _ : state) {
        SetStockUndoRingSize(&result, 2);
        if (RunStockOffset(source, parameters, &result) != 1) {
            state.SkipWithError("the offset failed");
            break;
        }
        state.PauseTiming();
        state.counters["rays"] =
            static_cast<double>(result.z.cellCount + result.x.cellCount + result.y.cellCount);
        state.counters["ends"] = static_cast<double>(CountEnds(result));
        FreeStockModel(&result);
        state.ResumeTiming();
    }
    FreeStockModel(&source);
}

BENCHMARK(BM_OffsetBoxStock)
    ->Args({1000, 1, 1000})
    ->Args({500, 1, 1000})
    ->Args({1000, 1, -1000})
    ->Args({1000, 2, 1000})
    ->Args({1000, 3, 1000})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirexa
