// Time to extract the surface of a 200 x 200 x 100 mm box stock with a round pocket (60 mm
// radius, 40 mm deep) at 0.1 mm and a coarser pitch, on 1 and 3 threads, with the triangle
// count; at the coarser pitch also the plain walk over every cell, for comparison. The stock is
// built once per case; the facets are counted, not stored.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "stock/dexel_intervals.h"
#include "stock/stock_grid.h"
#include "stock/stock_hooks.h"
#include "stock/stock_shapes.h"
#include "stockio/stl_files.h"
#include "stockio/surface_extraction.h"

namespace mirexa {
namespace {

const double kBox[6] = {0, 0, 0, 200, 200, 100};  // mm
const double kCentre[2] = {100, 100};             // mm, pocket axis
const double kRadius = 60;                        // mm
const double kFloor = 60;                         // mm

// Removes [lo, hi] from one ray of a family.
void SubtractFromRay(DexelFamily* family, std::int64_t ray, double lo, double hi) {
    int count = 0;
    std::vector<double> ends(static_cast<std::size_t>(family->counts[ray]) + 2);
    std::vector<std::uint8_t> flags(ends.size());
    std::vector<std::int32_t> stamps(ends.size());
    GetDexelCell(ray, family->capacity, family->counts, family->ends, family->flags,
                 family->lineStamps, ends.data(), flags.data(), stamps.data(), &count);
    std::int32_t n = count;
    SubtractDexelInterval(ends.data(), flags.data(), stamps.data(), &n,
                          static_cast<std::int32_t>(ends.size()), lo, hi);
    SetDexelCell(ray, family->capacity, family->counts, family->ends, family->flags,
                 family->lineStamps, ends.data(), flags.data(), stamps.data(), n);
}

// Half the chord of the pocket's circle at distance d (mm) from its axis; -1 outside.
double HalfChord(double d) {
    return std::fabs(d) < kRadius ? std::sqrt(kRadius * kRadius - d * d) : -1.0;
}

// Cuts the round pocket from the top of the box: Z rays inside the circle end at the floor; X
// and Y rays above the floor lose the chord.
void CutPocket(StockModel* model) {
    for (int iy = 0; iy < model->ny; ++iy) {
        for (int ix = 0; ix < model->nx; ++ix) {
            const double dx = model->nodesX[ix] - kCentre[0];
            const double dy = model->nodesY[iy] - kCentre[1];
            if (dx * dx + dy * dy < kRadius * kRadius) {
                SubtractFromRay(&model->z, std::int64_t{iy} * model->nx + ix, kFloor, kBox[5]);
            }
        }
    }
    for (int iz = 0; iz < model->nz; ++iz) {
        if (!(model->nodesZ[iz] > kFloor)) {
            continue;
        }
        for (int iy = 0; iy < model->ny; ++iy) {
            const double w = HalfChord(model->nodesY[iy] - kCentre[1]);
            if (w > 0) {
                SubtractFromRay(&model->x, std::int64_t{iz} * model->ny + iy, kCentre[0] - w,
                                kCentre[0] + w);
            }
        }
        for (int ix = 0; ix < model->nx; ++ix) {
            const double w = HalfChord(model->nodesX[ix] - kCentre[0]);
            if (w > 0) {
                SubtractFromRay(&model->y, std::int64_t{ix} * model->nz + iz, kCentre[1] - w,
                                kCentre[1] + w);
            }
        }
    }
}

// Counts facets with the writers' zero-area rule.
int CountFacet(void* context, const MeshFacet& facet) {
    if (!facet.normalGiven) {
        const double* v = &facet.vertices[0][0];
        const double vertices[9] = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]};
        double normal[3];
        if (!ComputeStlFacetNormal(vertices, normal)) {
            return 0;
        }
    }
    ++*static_cast<std::int64_t*>(context);
    return 1;
}

// Arguments: pitch in micrometres, worker threads, 1 for the plain walk.
void BM_ExtractPocketedStock(benchmark::State& state) {
    const double pitch = static_cast<double>(state.range(0)) / 1000.0;
    const double rays =
        (200 / pitch + 1) * (200 / pitch + 1) * 2 + (200 / pitch + 1) * 2 * (100 / pitch + 1);
    if (!FitsAvailableStockMemory(static_cast<std::uint64_t>(rays * 108 * 1.5))) {
        state.SkipWithError("not enough memory for this grid");
        return;
    }
    StockModel model;
    SetStockUndoRingSize(&model, 1);
    if (CreateBoxStockIdentity(&model, kBox, pitch) != 1) {
        state.SkipWithError("the box could not be built");
        return;
    }
    CutPocket(&model);
    MeshExtractionOptions options;
    options.threads = static_cast<int>(state.range(1));
    options.plainCellWalk = static_cast<int>(state.range(2));
    std::int64_t facets = 0;
    MeshExtractionStats stats;
    for (auto _ : state) {
        facets = 0;
        if (ExtractStockMesh(model, {CountFacet, &facets}, options, &stats) < 0) {
            state.SkipWithError("the extraction failed");
            break;
        }
    }
    state.counters["triangles"] = static_cast<double>(facets);
    state.counters["cells_visited"] = static_cast<double>(stats.cellsVisited);
    FreeStockModel(&model);
}

BENCHMARK(BM_ExtractPocketedStock)
    ->Args({500, 1, 1})
    ->Args({500, 1, 0})
    ->Args({100, 1, 0})
    ->Args({100, 3, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace mirexa
