// Re-meshing a 100 x 100 x 50 mm stock at 0.1 mm into display lists on the off-screen context:
// the dirty blocks after a ball-nose slot cut (the common case during a run), and the whole
// stock once (a new stock or new colours). Reports triangles per second and milliseconds per
// rebuild.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

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

// A ball-nose slot of radius r along X from x0 to x1, centred on y = yc, its floor at depth d
// below the top (mm). Cross-section (y, z): material is removed where z > floor(y) within
// |y - yc| < r, with floor(y) = zc - sqrt(r^2 - (y - yc)^2) and zc = top - d + r.
struct Slot {
    double x0 = 10, x1 = 90, yc = 50, r = 5, top = 50, d = 5;
    double Zc() const {
        return top - d + r;
    }
    // The lowest z removed at y, or +inf outside the slot.
    double Floor(double y) const {
        const double u = y - yc;
        return std::fabs(u) < r ? Zc() - std::sqrt(r * r - u * u) : HUGE_VAL;
    }
    // Half width of the slot at height z (0 below the ball's bottom).
    double HalfWidth(double z) const {
        if (z >= Zc()) {
            return r;
        }
        const double h = Zc() - z;
        return h < r ? std::sqrt(r * r - h * h) : 0.0;
    }
};

// Removes [lo, hi] from one ray; new ends take the pen-1 flag. Marks nothing.
void CutRay(DexelFamily* rays, std::int64_t r, double lo, double hi) {
    if (!(hi > lo)) {
        return;
    }
    const int n = rays->counts[r];
    std::vector<double> ends(static_cast<std::size_t>(n));
    std::vector<std::uint8_t> flags(static_cast<std::size_t>(n));
    std::vector<std::int32_t> stamps(static_cast<std::size_t>(n));
    int count = 0;
    GetDexelCell(r, rays->capacity, rays->counts, rays->ends, rays->flags, rays->lineStamps,
                 ends.data(), flags.data(), stamps.data(), &count);
    std::vector<double> e;
    std::vector<std::uint8_t> f;
    for (int i = 0; i + 1 < count; i += 2) {
        const double a = ends[static_cast<std::size_t>(i)],
                     b = ends[static_cast<std::size_t>(i) + 1];
        const std::uint8_t fa = flags[static_cast<std::size_t>(i)];
        const std::uint8_t fb = flags[static_cast<std::size_t>(i) + 1];
        if (b <= lo || a >= hi) {
            e.insert(e.end(), {a, b});
            f.insert(f.end(), {fa, fb});
            continue;
        }
        if (a < lo) {
            e.insert(e.end(), {a, lo});
            f.insert(f.end(), {fa, 0x10});
        }
        if (b > hi) {
            e.insert(e.end(), {hi, b});
            f.insert(f.end(), {0x10, fb});
        }
    }
    std::vector<std::int32_t> s(e.size(), 1);
    SetDexelCell(r, rays->capacity, rays->counts, rays->ends, rays->flags, rays->lineStamps,
                 e.data(), f.data(), s.data(), static_cast<int>(e.size()));
}

// Cuts the slot from all three families and marks the display blocks it touches.
void CutSlot(StockModel* m, const Slot& slot) {
    for (int iy = 0; iy < m->ny; ++iy) {  // Z rays
        const double floor = slot.Floor(m->nodesY[iy]);
        for (int ix = 0; ix < m->nx && floor < HUGE_VAL; ++ix) {
            if (m->nodesX[ix] >= slot.x0 && m->nodesX[ix] <= slot.x1) {
                CutRay(&m->z, static_cast<std::int64_t>(iy) * m->nx + ix, floor, slot.top + 1);
            }
        }
    }
    for (int iz = 0; iz < m->nz; ++iz) {  // X rays at (y, z) inside the cross-section
        for (int iy = 0; iy < m->ny; ++iy) {
            if (m->nodesZ[iz] > slot.Floor(m->nodesY[iy])) {
                CutRay(&m->x, static_cast<std::int64_t>(iz) * m->ny + iy, slot.x0, slot.x1);
            }
        }
    }
    for (int ix = 0; ix < m->nx; ++ix) {  // Y rays at (x, z)
        if (m->nodesX[ix] < slot.x0 || m->nodesX[ix] > slot.x1) {
            continue;
        }
        for (int iz = 0; iz < m->nz; ++iz) {
            const double w = slot.HalfWidth(m->nodesZ[iz]);
            CutRay(&m->y, static_cast<std::int64_t>(ix) * m->nz + iz, slot.yc - w, slot.yc + w);
        }
    }
    StockDisplayBlocks& b = m->blocks;
    const double lo[3] = {slot.x0, slot.yc - slot.r, slot.top - slot.d};
    const double hi[3] = {slot.x1, slot.yc + slot.r, slot.top};
    int first[3], last[3];
    for (int a = 0; a < 3; ++a) {
        const int n = a == 0 ? m->nx : (a == 1 ? m->ny : m->nz);
        first[a] = b.lowMap[a][std::clamp(static_cast<int>(lo[a] / kPitch) - 1, 0, n - 1)];
        last[a] = b.highMap[a][std::clamp(static_cast<int>(hi[a] / kPitch) + 1, 0, n - 1)];
    }
    for (int bz = first[2]; bz <= last[2]; ++bz) {
        for (int by = first[1]; by <= last[1]; ++by) {
            for (int bx = first[0]; bx <= last[0]; ++bx) {
                b.dirty[(bz * b.perAxis[1] + by) * b.perAxis[0] + bx] = 1;
            }
        }
    }
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
        CutSlot(m, Slot{});
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
