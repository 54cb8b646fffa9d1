// STL height-map import: the extreme surface height per reference ray, the repair of isolated
// missed rays, and the reference and side families built from the heights.
#include "stockio/stl_height_map.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "geometry/plane_triangle_tests.h"
#include "geometry/vector_math.h"
#include "platform/controls.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "stockio/dexel_reconcile.h"
#include "stockio/height_profiles.h"
#include "stockio/stl_files.h"
#include "stockio/stock_loading.h"

namespace mirexa {

namespace {

// Plane values farther than this beyond the facet's own range on c are ignored (mm): a facet
// nearly parallel to the rays.
constexpr double kHeightRangeSlack = 5.0;
// A height this close to the base counts as missed; neighbours must lie this far beyond it (mm).
constexpr double kMissedHeight = 0.0001;
constexpr double kNeighbourHeight = 0.1;

bool IsMissed(double h, double base) {
    return std::fabs(h - base) <= kMissedHeight;
}

bool IsBeyondBase(int r, double h, double base) {
    return r > 0 ? h > base + kNeighbourHeight : h < base - kNeighbourHeight;
}

// One pass of the repair over rays first, first + step, ..., (count of them).
void FillAlong(int r, double* heights, std::int64_t first, std::int64_t step, int count,
               double base) {
    for (int i = 1; i + 1 < count; ++i) {
        double* h = heights + first + step * i;
        const double before = *(h - step);
        const double after = *(h + step);
        if (IsMissed(*h, base) && IsBeyondBase(r, before, base) && IsBeyondBase(r, after, base)) {
            *h = (before + after) * 0.5;
        }
    }
}

}  // namespace

int GetReferenceAxisTriple(int r, int* a, int* b, int* c) {
    switch (r < 0 ? -r : r) {
        case 3:
            *a = 0, *b = 1, *c = 2;
            return 1;
        case 2:
            *a = 2, *b = 0, *c = 1;
            return 1;
        case 1:
            *a = 1, *b = 2, *c = 0;
            return 1;
        default:
            return 0;
    }
}

int TestPointInTriangleA(const double triangle[9], int a, int b, const double p[3]) {
    const int result = TestPointInTriangleOnAxis(triangle, p, 3 - a - b, a, b);
    return result == 21 ? 3 : result;
}

int ConvertStlHeightMap(StockModel* model, const StlConversion& conversion, int a, int b, int c,
                        int s, std::vector<double>* heights) {
    double base = 0;
    if (s < 0) {
        model->minCorner[c] = model->maxCorner[c];
        base = model->maxCorner[c];
    } else {
        model->maxCorner[c] = model->minCorner[c];
        base = model->minCorner[c];
    }
    const DexelFamily& reference = *DexelFamilyOfAxis(*model, c);
    try {
        heights->assign(static_cast<std::size_t>(reference.cellCount), base);
    } catch (const std::bad_alloc&) {
        return kStockGridTooLarge;
    }
    StlImportReader input;
    if (!OpenStlImportReader(conversion, &input)) {
        return kStockFileDataError;
    }
    const double* nodesC = StockNodeTable(*model, c);
    const int na = StockNodeCount(*model, a);
    const int nc = StockNodeCount(*model, c);
    double normal[3];
    double v[9];
    while (ReadNextImportFacet(&input, conversion, normal, v)) {
        if (normal[0] == 0.0 && normal[1] == 0.0 && normal[2] == 0.0) {
            ComputeStlFacetNormal(v, normal);
        }
        double lo[3];
        double hi[3];
        ComputeBoxBounds(v, lo, hi);
        if (!(std::fabs(normal[c]) >= 1e-8)) {
            continue;
        }
        const double d = Vec3Dot(normal, v);
        VisitFacetRays(
            *model, a, b, lo, hi, 3,
            [&](const double* p) { return TestPointInTriangleA(v, a, b, p); },
            [&](int ia, int ib, const double* p, int) {
                double value = (d - normal[a] * p[a] - normal[b] * p[b]) / normal[c];
                if (value > hi[c] + kHeightRangeSlack || value < lo[c] - kHeightRangeSlack) {
                    return;  // a facet nearly parallel to the rays: the ray stays as it is
                }
                value = std::clamp(value, lo[c], hi[c]);
                if (conversion.clipToGrid) {
                    value = std::clamp(value, nodesC[0], nodesC[nc - 1]);
                }
                double& h = (*heights)[static_cast<std::size_t>(ib) * na + ia];
                if (s < 0 && h > value) {
                    h = value;
                    model->minCorner[c] = std::min(model->minCorner[c], value);
                } else if (s > 0 && value > h) {
                    h = value;
                    model->maxCorner[c] = std::max(model->maxCorner[c], value);
                }
            });
    }
    const std::int64_t facetsRead = input.facetsRead;
    CloseStlImportReader(&input);
    return facetsRead > 0 ? 1 : kStockFileDataError;
}

void FillMissedHeights(int r, int m, int q, double* heights, double base) {
    for (int line = 0; line < q; ++line) {
        FillAlong(r, heights, static_cast<std::int64_t>(line) * m, 1, m, base);
    }
    for (int column = 0; column < m; ++column) {
        FillAlong(r, heights, column, m, q, base);
    }
}

void ClearInvertedDexelCells(StockModel* model, int family) {
    DexelFamily* f = DexelFamilyOfAxis(model, family);
    for (std::int64_t cell = 0; cell < f->cellCount; ++cell) {
        if (f->counts[cell] != 2) {
            continue;
        }
        const double* e = DexelCellEnds(cell, f->capacity, f->counts, f->ends);
        if (e[0] > e[1]) {
            SetDexelCell(cell, f->capacity, f->counts, f->ends, f->flags, f->lineStamps, nullptr,
                         nullptr, nullptr, 0);
        }
    }
}

int ConvertStlReference(StockModel* model, const StlConversion& conversion, int r, int filter) {
    int a = 0;
    int b = 0;
    int c = 0;
    if (!GetReferenceAxisTriple(r, &a, &b, &c)) {
        return kStockFileDataError;
    }
    const int s = r > 0 ? 1 : -1;
    const double base = s > 0 ? model->minCorner[c] : model->maxCorner[c];
    std::vector<double> heights;
    const int result = ConvertStlHeightMap(model, conversion, a, b, c, s, &heights);
    if (result != 1) {
        return result;
    }
    if (conversion.reportProgress) {
        EndProgress();
    }
    SetStatusBarText(MainStatusBar.load(), 0, 0, "データ整合中");
    const int na = StockNodeCount(*model, a);
    const int nb = StockNodeCount(*model, b);
    if (filter) {
        FillMissedHeights(r, na, nb, heights.data(), base);
    }
    DexelFamily* reference = DexelFamilyOfAxis(model, c);
    const std::uint8_t flags[2] = {};
    const std::int32_t stamps[2] = {};
    for (std::int64_t cell = 0; cell < reference->cellCount; ++cell) {
        const double h = heights[static_cast<std::size_t>(cell)];
        const double ends[2] = {s > 0 ? base : h, s > 0 ? h : base};
        SetDexelCell(cell, reference->capacity, reference->counts, reference->ends,
                     reference->flags, reference->lineStamps, ends, flags, stamps, 2);
    }
    if (!BuildFamilyFromProfiles(model, a, b, c, r)) {
        return kStockGridTooLarge;
    }
    ClearInvertedDexelCells(model, c);
    model->faceFlags->faces[2 * c + (s > 0 ? 0 : 1)] = 0;
    return 1;
}

}  // namespace mirexa
