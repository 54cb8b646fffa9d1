// The view's redraw of the sample's box (100 x 80 x 30.5 mm at 0.25 mm) on the off-screen
// context at 1280 x 880: the redraw a run asks for after a step that cut nothing (the stock flag
// raised, no block dirty; the kept stock frame put back), the same redraw drawing the stock's
// lists again, and the redraw of a new stock (every block meshed again). Reports milliseconds
// per frame.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <algorithm>
#include <chrono>

#include "config/config_records.h"
#include "simulation/dexel_grid_view.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/gl_colors.h"
#include "view/kept_stock_frame.h"
#include "view/scene_renderer.h"
#include "view/snapshots.h"
#include "view/stock_display.h"

namespace mirexa {
namespace {

const double kBox[6] = {0, 0, -30.5, 100, 80, 0};  // mm
constexpr double kPitch = 0.25;                    // mm
constexpr int kWidth = 1280;
constexpr int kHeight = 880;

struct RedrawFixture {
    bool ready = false;
    RedrawFixture() {
        StockModel* m = &StockModels[0];
        SetStockUndoRingSize(m, 1);
        if (CreateBoxStockIdentity(m, kBox, kPitch) != 1 || !CreateGlContext(kWidth, kHeight) ||
            !AllocateModelListNames(*m, &StockListNames[0])) {
            return;
        }
        CurrentStockIndex = 0;
        FillGlColorTable(LiveColors, DisplayModes);
        DisplayUnitFactor = 100.0;
        ResetViewState(&CurrentView);
        SetViewSize(&CurrentView, kWidth, kHeight);
        SetRotationCentre(&CurrentView);
        MarkAllSceneListsDirty();
        MarkStockDisplayDirty(m);
        ready = Draw();
    }
    static bool Draw() {
        if (!MakeViewContextCurrent()) {
            return false;
        }
        SetViewProjection(&CurrentView);
        const int drawn = RenderScene(&StockModels[0], &StockListNames[0]);
        glFinish();
        return drawn == 1;
    }
};

RedrawFixture& Fixture() {
    static RedrawFixture fixture;
    return fixture;
}

enum class Step { kUncut, kUncutDrawnInFull, kNewStock };

void Redraw(benchmark::State& state, Step step) {
    if (!Fixture().ready) {
        state.SkipWithError("no stock or no off-screen context");
        return;
    }
    StockModel* m = &StockModels[0];
    double milliseconds = 0.0;
    for (auto _ : state) {
        if (step == Step::kNewStock) {
            MarkStockDisplayDirty(m);
        } else {
            SceneDirty.stock[m->undo.currentSlot] = 1;  // the run's handshake after a step
        }
        if (step == Step::kUncutDrawnInFull) {
            DropKeptStockFrame();
        }
        const auto start = std::chrono::steady_clock::now();
        RedrawFixture::Draw();
        milliseconds +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
    }
    state.counters["ms_per_frame"] = milliseconds / static_cast<double>(state.iterations());
}

void BM_RedrawAfterAnUncutStep(benchmark::State& state) {
    Redraw(state, Step::kUncut);
}
BENCHMARK(BM_RedrawAfterAnUncutStep)->Unit(benchmark::kMillisecond);

void BM_RedrawAfterAnUncutStepDrawnInFull(benchmark::State& state) {
    Redraw(state, Step::kUncutDrawnInFull);
}
BENCHMARK(BM_RedrawAfterAnUncutStepDrawnInFull)->Unit(benchmark::kMillisecond);

void BM_RedrawOfAWholeNewStock(benchmark::State& state) {
    Redraw(state, Step::kNewStock);
}
BENCHMARK(BM_RedrawOfAWholeNewStock)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirexa
