// Picking on a 100 x 100 x 50 mm box stock at 0.5 mm pitch (about 220,000 rays): one click
// projects every dexel end of the three families. Reports ends visited per second.
#include <benchmark/benchmark.h>

#include <vector>

#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "view/camera.h"
#include "view/picking.h"

namespace mirexa {
namespace {

void BM_PickStockSegmentEnds(benchmark::State& state) {
    StockModel model;
    const double box[6] = {0, 0, 0, 100, 100, 50};  // mm
    if (CreateBoxStockIdentity(&model, box, 0.5) != 1) {
        state.SkipWithError("no stock");
        return;
    }
    ViewState view;
    ResetViewState(&view);
    SetViewSize(&view, 1000, 800);
    DisplayUnitFactor = 100.0;
    std::vector<PickHit>& hits = PickHitBuffer();
    double front = 0;
    const std::int64_t ends = 2 * (model.z.cellCount + model.x.cellCount + model.y.cellCount);
    for (auto _ : state) {
        benchmark::DoNotOptimize(PickStockSegmentEnds(view, model, 500, 400, &hits, &front));
    }
    state.SetItemsProcessed(state.iterations() * ends);
    FreeStockModel(&model);
}
BENCHMARK(BM_PickStockSegmentEnds)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirexa
