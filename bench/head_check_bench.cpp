// Time per step of the head model check: a 10,000-facet head (a sphere of 25 mm) posed at a new
// position every step and tested against a 100 x 100 x 50 mm box stock at 0.5 mm and a box vice,
// touching neither. Case 0: the head stands off the stock's top corner; its box overlaps the
// stock's and the vice's, so all its facets are posed, but each facet is culled by the stock's
// bounds. Case 1: the head hangs 10 mm above the floor of a 60 x 60 x 40 mm pocket, 5 mm from
// its walls, so every facet below the stock's top reads the rays under it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "config/structure_models.h"
#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"
#include "simulation/head_interference.h"
#include "simulation/structure_scan.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"

namespace mirexa {
namespace {

constexpr int kLatitudes = 50;
constexpr int kLongitudes = 100;  // 2 * 50 * 100 = 10,000 facets
constexpr double kRadius = 25.0;  // mm

void AddFacet(const double a[3], const double b[3], const double c[3], MachineModel* mesh) {
    StlFacet f;
    for (int k = 0; k < 3; ++k) {
        f.values[3 + k] = a[k];
        f.values[6 + k] = b[k];
        f.values[9 + k] = c[k];
    }
    mesh->facets.push_back(f);
}

MachineModel SphereHead() {
    MachineModel mesh;
    auto point = [](int i, int j, double p[3]) {
        const double theta = M_PI * i / kLatitudes;
        const double phi = 2.0 * M_PI * j / kLongitudes;
        p[0] = kRadius * std::sin(theta) * std::cos(phi);
        p[1] = kRadius * std::sin(theta) * std::sin(phi);
        p[2] = kRadius * std::cos(theta);
    };
    for (int i = 0; i < kLatitudes; ++i) {
        for (int j = 0; j < kLongitudes; ++j) {
            double a[3], b[3], c[3], d[3];
            point(i, j, a);
            point(i + 1, j, b);
            point(i + 1, j + 1, c);
            point(i, j + 1, d);
            AddFacet(a, b, c, &mesh);
            AddFacet(a, c, d, &mesh);
        }
    }
    mesh.facetCount = static_cast<std::int32_t>(mesh.facets.size());
    for (int k = 0; k < 3; ++k) {
        mesh.min[k] = -kRadius;
        mesh.max[k] = kRadius;
    }
    ListBoxCorners(mesh.min, mesh.max, mesh.corners);
    return mesh;
}

MachineModel BoxViceModel() {
    const double lo[3] = {102, -60, 0}, hi[3] = {160, 120, 40};
    MachineModel vice;
    double c[24];
    ListBoxCorners(lo, hi, c);
    static const int kTriangles[12][3] = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6},
                                          {0, 1, 5}, {0, 5, 4}, {2, 6, 7}, {2, 7, 3},
                                          {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
    for (const auto& t : kTriangles) {
        AddFacet(c + 3 * t[0], c + 3 * t[1], c + 3 * t[2], &vice);
    }
    vice.facetCount = 12;
    for (int k = 0; k < 3; ++k) {
        vice.min[k] = lo[k];
        vice.max[k] = hi[k];
    }
    vice.records.assign(12, FacetRecord{});
    BuildFacetRecords(12, vice.facets.data(), vice.records.data());
    SortFacetsByTopZ(12, vice.facets.data(), vice.records.data());
    return vice;
}

void SetRay(DexelFamily* f, std::int64_t cell, const double* ends, int n) {
    const std::uint8_t flags[4] = {};
    const std::int32_t stamps[4] = {};
    SetDexelCell(cell, f->capacity, f->counts, f->ends, f->flags, f->lineStamps, ends, flags,
                 stamps, n);
}

// Carves the pocket [20, 80] x [20, 80] x [10, 50] out of the three families.
void CarvePocket(StockModel* stock) {
    auto inside = [](double c) { return c > 20.0 && c < 80.0; };
    const double floor[2] = {0, 10}, walls[4] = {0, 20, 80, 100};
    for (int iy = 0; iy < stock->ny; ++iy) {
        for (int ix = 0; ix < stock->nx; ++ix) {
            if (inside(stock->nodesX[ix]) && inside(stock->nodesY[iy])) {
                SetRay(&stock->z, std::int64_t{iy} * stock->nx + ix, floor, 2);
            }
        }
    }
    for (int iz = 0; iz < stock->nz; ++iz) {
        if (!(stock->nodesZ[iz] > 10.0)) {
            continue;
        }
        for (int i = 0; i < stock->ny; ++i) {  // X rays at (y, z), Y rays at (z, x)
            if (inside(stock->nodesY[i])) {
                SetRay(&stock->x, std::int64_t{iz} * stock->ny + i, walls, 4);
            }
            if (inside(stock->nodesX[i])) {
                SetRay(&stock->y, std::int64_t{i} * stock->nz + iz, walls, 4);
            }
        }
    }
}

// Argument: 0 off the corner, 1 in the pocket.
void BM_HeadCheckPerStep(benchmark::State& state) {
    StockModel stock;
    SetStockUndoRingSize(&stock, 1);
    const double box[6] = {0, 0, 0, 100, 100, 50};
    if (CreateBoxStockIdentity(&stock, box, 0.5) != 1) {
        state.SkipWithError("the stock could not be built");
        return;
    }
    const bool pocket = state.range(0) == 1;
    if (pocket) {
        CarvePocket(&stock);
    }
    const MachineModel head = SphereHead();
    MachineStructureModels models;
    models.vices.push_back(BoxViceModel());
    StructureModelList vices;
    GatherStructureModels(models, kStructureVice, &vices);
    PosedHeadMesh posed;
    HeadCheckCounters counters;
    posed.counters = &counters;
    std::int64_t steps = 0, hits = 0;
    for (auto _ : state) {
        // A new position every step, 0.01 mm apart, off the stock's top corner.
        const double shift = 0.01 * static_cast<double>(steps % 100);
        const double corner[3] = {122 + shift, 122, 72};
        const double inPocket[3] = {50 + shift, 50, 45};
        BeginHeadPose(&head, nullptr, RunKinematics.pose, pocket ? inPocket : corner, &posed);
        hits += PosedHeadHitsStock(&posed, stock);
        hits += PosedHeadHitsStructures(&posed, vices);
        ++steps;
    }
    if (hits != 0) {
        state.SkipWithError("the head touched something");
    }
    state.counters["facets"] = head.facetCount;
    state.counters["rays_per_step"] =
        static_cast<double>(counters.raysTested) / static_cast<double>(steps);
    state.counters["posed_vertices_per_step"] =
        static_cast<double>(counters.posedVertices) / static_cast<double>(steps);
    FreeStockModel(&stock);
}
BENCHMARK(BM_HeadCheckPerStep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirexa
