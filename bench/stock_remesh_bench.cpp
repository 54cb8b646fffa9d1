// Re-meshing a 100 x 100 x 50 mm stock at 0.1 mm into display lists on the off-screen context:
// the dirty blocks after a ball-nose slot cut by the cutting core (the common case during a
// run), and the whole stock once (a new stock or new colours). Reports triangles per second and
// milliseconds per rebuild.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "config/tool_tables.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_state.h"
#include "simulation/dexel_grid_view.h"
#include "stock/stock_grid.h"
#include "stock/stock_hooks.h"
#include "stock/stock_shapes.h"
#include "view/display_lists.h"
#include "view/snapshots.h"
#include "view/stock_display.h"

namespace mirexa {
namespace {

const double kBox[6] = {0, 0, 0, 100, 100, 50};  // mm
constexpr double kPitch = 0.1;                   // mm

// A ball end mill of 10 mm (the section values the cutting core reads).
CutterSections BallEndMill() {
    CutterSections c;
    c.shape = kToolBall;
    c.diameter = 10.0;
    c.cornerRadius = 5.0;
    c.cornerCentreHeight = 5.0;
    c.cornerTopRadius = 5.0;
    c.topRadius = 5.0;
    c.taperStartHeight = c.taperEndHeight = 5.0;
    c.cuttingLength = 1000.0;
    c.toolLength = 30.0;
    c.penBits = 1 << 4;
    return c;
}

// A slot 5 mm deep along X from 10 to 90 mm at y = 50.3 mm, cut by the cutting core in steps of
// 0.2 mm as a run steps a feed move; the cut marks the display blocks it touches.
void CutSlot(StockModel* m) {
    CuttingState cutting;
    cutting.cutter = BallEndMill();
    const CutEndMarkRecord mark = MakeCutEndMark(cutting.cutter.penBits, false, 0);
    RunKinematics.motion.motionType = 1;
    const double axis[3] = {0, 0, 1};
    for (double x = 10.0; x <= 90.0; x += 0.2) {
        const double point[3] = {x, 50.3, kBox[5] - 5.0};
        CutStockAtToolPose(cutting, RunSession, m, point, axis, mark);
    }
    ReleaseCuttingBuffers();
}

// The stock with its slot, its list names and a context, made once for all cases.
struct RemeshFixture {
    bool ready = false;
    std::vector<std::uint8_t> slotDirty;
    RemeshFixture() {
        StockModel* m = &StockModels[0];
        SetStockUndoRingSize(m, 1);
        if (CreateBoxStockIdentity(m, kBox, kPitch) != 1 || !CreateGlContext(64, 64) ||
            !AllocateModelListNames(*m, &StockListNames[0])) {
            return;
        }
        CurrentStockIndex = 0;
        std::fill(m->blocks.dirty, m->blocks.dirty + m->blocks.count, std::uint8_t{0});
        CutSlot(m);
        slotDirty.assign(m->blocks.dirty, m->blocks.dirty + m->blocks.count);
        ready = true;
    }
};

RemeshFixture& Fixture() {
    static RemeshFixture fixture;
    return fixture;
}

// Counts what the GL output compiles.
struct CountingOutput {
    DexelMeshOutput gl = GlDexelMeshOutput();
    std::int64_t triangles = 0;
};
CountingOutput counting;

DexelMeshOutput CountingGlOutput() {
    DexelMeshOutput out;
    out.context = &counting;
    out.open = [](void* c, std::uint32_t name, int wire) {
        auto* o = static_cast<CountingOutput*>(c);
        o->gl.open(o->gl.context, name, wire);
    };
    out.primitive = [](void* c, const DexelMeshPrimitive& p) {
        auto* o = static_cast<CountingOutput*>(c);
        o->triangles += p.vertexCount / 3;
        o->gl.primitive(o->gl.context, p);
    };
    out.close = [](void* c) {
        auto* o = static_cast<CountingOutput*>(c);
        o->gl.close(o->gl.context);
    };
    return out;
}

void Remesh(benchmark::State& state, bool whole) {
    RemeshFixture& f = Fixture();
    if (!f.ready) {
        state.SkipWithError("no stock or no off-screen context");
        return;
    }
    StockModel* m = &StockModels[0];
    counting.triangles = 0;
    int blocks = 0;
    double milliseconds = 0.0;
    for (auto _ : state) {
        if (whole) {
            std::fill(m->blocks.dirty, m->blocks.dirty + m->blocks.count, std::uint8_t{1});
        } else {
            std::copy(f.slotDirty.begin(), f.slotDirty.end(), m->blocks.dirty);
        }
        const auto start = std::chrono::steady_clock::now();
        blocks = BuildStockBlockLists(m, &StockListNames[0], 0, 0, CountingGlOutput());
        milliseconds +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
    }
    state.counters["blocks"] = blocks;
    state.counters["triangles_per_rebuild"] =
        static_cast<double>(counting.triangles) / static_cast<double>(state.iterations());
    state.counters["triangles_per_s"] =
        benchmark::Counter(static_cast<double>(counting.triangles), benchmark::Counter::kIsRate);
    state.counters["ms_per_rebuild"] = milliseconds / static_cast<double>(state.iterations());
}

void BM_RemeshDirtyBlocksAfterSlot(benchmark::State& state) {
    Remesh(state, false);
}
BENCHMARK(BM_RemeshDirtyBlocksAfterSlot)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_RemeshWholeStock(benchmark::State& state) {
    Remesh(state, true);
}
BENCHMARK(BM_RemeshWholeStock)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace mirexa
