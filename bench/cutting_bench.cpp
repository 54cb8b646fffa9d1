// Speed of the cutting core: a 10 mm flat end mill slotting a 100 x 100 x 50 mm block at
// 0.1 mm pitch, one tool step (0.1 mm) per iteration, with the three families cut one after the
// other and side by side. Reports tool steps per second and rays touched per second.
#include <benchmark/benchmark.h>

#include "simulation/cutting_core.h"
#include "simulation/dexel_grid_view.h"
#include "stock/stock_grid.h"
#include "stock/stock_hooks.h"
#include "stock/stock_shapes.h"

namespace mirexa {
namespace {

const double kBlock[6] = {0, 0, 0, 100, 100, 50};  // mm
constexpr double kPitch = 0.1;                     // mm

StockModel Block;

bool BuildBlock(benchmark::State& state) {
    if (Block.nx != 0) {
        return true;
    }
    SetStockUndoRingSize(&Block, 1);
    if (CreateBoxStockIdentity(&Block, kBlock, kPitch) != 1) {
        state.SkipWithError("the block does not fit the memory available");
        return false;
    }
    BindDexelGrids(&Block);
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
    CurrentCutter = c;
}

// Argument: the cutting threads (1 serial, 3 the families side by side).
void BM_FlatEndMillSlot(benchmark::State& state) {
    if (!BuildBlock(state)) {
        return;
    }
    SetSlotTool();
    CuttingThreadCount = static_cast<int>(state.range(0));
    const double axis[3] = {0, 0, 1};
    // Slots 5 mm deep along x, one after the other 12 mm apart, stepped by the pitch.
    double x = -5.0, y = 6.05;
    std::int64_t rays = 0;
    for (auto _ : state) {
        const double point[3] = {x, y, 45.0};
        StepRemovedVolume = 0.0;
        CutStockAtToolPose(&Block, point, axis);
        rays += CutPose.raysVisited;
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
    CuttingThreadCount = 1;
}
BENCHMARK(BM_FlatEndMillSlot)->Arg(1)->Arg(3)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace mirexa
