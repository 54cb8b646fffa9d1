// STL import into dexels: vertex adjustments and the import transform, the ray-piercing pass of
// one family with crossings grouped by ray, the standard conversion and the loading of a mesh
// onto a template stock's grid.
#include "stockio/stl_import.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "geometry/vector_math.h"
#include "platform/controls.h"
#include "services/file_paths.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "stock/grid_node_index.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "stockio/stl_files.h"
#include "stockio/stl_height_map.h"
#include "stockio/stock_loading.h"

namespace mirexa {

StlImportHooks StlImportCallbacks;

namespace {

const double kIdentity3[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

void PumpIfEnabled() {
    if (MessagePumpEnabled.load(std::memory_order_relaxed)) {
        PumpMessagesEvery3s();
    }
}

// A value as the binary form would carry it: rounded to f32, magnitudes below 1e-14 taken as 0.
double AsFileFloat(double v) {
    const double f = static_cast<float>(v);
    return std::fabs(f) < 1e-14 ? 0.0 : f;
}

// Puts each coordinate of a facet's vertices (mm, grid placement) that lies within the grid's
// slack of a node line onto that line: a mesh's float32 coordinates are rarely the decimal its
// designer typed (a face at 1 is 0.99999994), and the rays through the node line must see the
// face there as the surface will.
void SnapVerticesToNodeLines(const StockModel& model, double vertices[9]) {
    for (int axis = 0; axis < 3; ++axis) {
        const double* nodes = StockNodeTable(model, axis);
        const int count = StockNodeCount(model, axis);
        const double slack = kNodeSlack * model.pitch;
        for (int v = 0; v < 3; ++v) {
            double& x = vertices[3 * v + axis];
            const double index = std::nearbyint((x - nodes[0]) / model.pitch);
            if (index >= 0.0 && index <= count - 1.0 &&
                std::fabs(x - nodes[static_cast<int>(index)]) <= slack) {
                x = nodes[static_cast<int>(index)];
            }
        }
    }
}

// Turns a direction by the inverse orientation (no offset).
void RotateByInverse(const StlImportTransform& transform, double v[3]) {
    const double* m = transform.inverse;
    const double q[3] = {v[0], v[1], v[2]};
    for (int j = 0; j < 3; ++j) {
        v[j] = q[0] * m[j] + q[1] * m[3 + j] + q[2] * m[6 + j];
    }
}

// The crossing value on c at the ray point (pa, pb) for a TestPointInTriangleB result.
double CrossingValue(int result, const double* v, int a, int b, int c, const double normal[3],
                     double d, double pa, double pb, double minC, double maxC) {
    if (result >= 1 && result <= 3) {
        return v[3 * (result - 1) + c];
    }
    double value = 0;
    if (result >= 4 && result <= 6) {
        const double* e = v + 3 * (result - 4);
        const double* f = v + 3 * ((result - 3) % 3);
        if (e[c] == f[c]) {
            return e[c];
        }
        const double dE = std::hypot(pa - e[a], pb - e[b]);
        const double dF = std::hypot(pa - f[a], pb - f[b]);
        value = (f[c] * dE + e[c] * dF) / (dE + dF);
    } else {
        value = (d - normal[a] * pa - normal[b] * pb) / normal[c];
    }
    return std::clamp(value, minC, maxC);
}

// One crossing of the flat list of a pass.
struct Crossing {
    std::int64_t cell;
    double value;
    std::uint8_t tag;
};

// Groups the crossings by cell (stable: each ray keeps the file order), normalises each ray and
// stores it.
void StoreCrossings(StockModel* model, DexelReconcileState* state, int c, bool clip,
                    const std::vector<Crossing>& crossings) {
    const DexelFamily& family = *DexelFamilyOfAxis(*model, c);
    std::vector<std::int64_t> start(static_cast<std::size_t>(family.cellCount) + 1, 0);
    for (const Crossing& x : crossings) {
        ++start[static_cast<std::size_t>(x.cell) + 1];
    }
    for (std::size_t i = 1; i < start.size(); ++i) {
        start[i] += start[i - 1];
    }
    std::vector<std::int32_t> order(crossings.size());
    std::vector<std::int64_t> next(start.begin(), start.end() - 1);
    for (std::size_t k = 0; k < crossings.size(); ++k) {
        order[static_cast<std::size_t>(next[static_cast<std::size_t>(crossings[k].cell)]++)] =
            static_cast<std::int32_t>(k);
    }
    const double* nodes = StockNodeTable(*model, c);
    const double lo = nodes[0];
    const double hi = nodes[StockNodeCount(*model, c) - 1];
    DexelRayList ray;
    for (std::int64_t cell = 0; cell < family.cellCount; ++cell) {
        const std::int64_t first = start[static_cast<std::size_t>(cell)];
        const std::int64_t last = start[static_cast<std::size_t>(cell) + 1];
        if (first == last) {
            continue;
        }
        ray.count = 0;
        for (std::int64_t k = first; k < last; ++k) {
            const Crossing& x =
                crossings[static_cast<std::size_t>(order[static_cast<std::size_t>(k)])];
            AppendDexelRayEnd(&ray, x.value, x.tag, 0);
        }
        NormalizeDexelRay(&ray, clip, lo, hi);
        StoreImportRay(model, state, c, cell, ray);
    }
}

// Empties every ray of a family and forgets its waiting odd rays.
void EmptyFamily(StockModel* model, DexelReconcileState* state, int c) {
    DexelFamily* family = DexelFamilyOfAxis(model, c);
    for (std::int64_t cell = 0; cell < family->cellCount; ++cell) {
        if (family->counts[cell] != 0) {
            SetDexelCell(cell, family->capacity, family->counts, family->ends, family->flags,
                         family->lineStamps, nullptr, nullptr, nullptr, 0);
        }
    }
    state->oddRays[c].clear();
}

}  // namespace

bool GetImportRayWindow(double low, double high, double origin, double pitch, int lastIndex,
                        int* first, int* last) {
    // A facet's minimum on a node line (as the vertex snap puts it) opens the window at that
    // node however the division rounds: -0.4 on a grid from -1 at 0.1 mm is 6.000000000000001
    // pitches up, and a plain ceiling left the rays through the facet's edge there empty.
    const double f =
        std::clamp(NodeIndexAtOrAbove(low, origin, pitch), 0.0, static_cast<double>(lastIndex));
    const double l =
        std::clamp(std::ceil((high - origin) / pitch), 0.0, static_cast<double>(lastIndex));
    *first = static_cast<int>(f);
    *last = static_cast<int>(l);
    return *first <= *last;
}

void SetImportTransform(StlImportTransform* transform, const StockModel& stock) {
    *transform = StlImportTransform{};
    const double* f = stock.frame.values;
    if (!std::equal(f, f + 9, kIdentity3)) {
        transform->rotation = 1;
        InvertMatrix3(f, transform->inverse);
    }
    if (f[9] != 0.0 || f[10] != 0.0 || f[11] != 0.0) {
        transform->offset = 1;
        for (int a = 0; a < 3; ++a) {
            transform->negatedOffset[a] = -f[9 + a];
        }
    }
    transform->any = transform->rotation || transform->offset;
}

void ResetImportTransform(StlImportTransform* transform) {
    transform->any = 0;
    transform->offset = 0;
    transform->rotation = 0;
}

void ApplyImportTransform(const StlImportTransform& transform, double p[3]) {
    if (transform.offset) {
        for (int a = 0; a < 3; ++a) {
            p[a] += transform.negatedOffset[a];
        }
    }
    if (transform.rotation) {
        RotateByInverse(transform, p);
    }
}

void ApplyImportScaleMirror(const StlImportAdjustments& settings, double p[3]) {
    for (int a = 0; a < 3; ++a) {
        if (settings.scaleOn[a]) {
            p[a] =
                (p[a] - settings.scaleCentre[a]) * settings.scaleRate[a] + settings.scaleCentre[a];
        }
    }
    for (int a = 0; a < 3; ++a) {
        if (settings.mirrorOn[a]) {
            p[a] = 2.0 * settings.mirrorCentre[a] - p[a];
        }
    }
    if (settings.coordinateSystem == 1 && StlImportCallbacks.workOffset != nullptr) {
        double offset[3] = {};
        StlImportCallbacks.workOffset(offset);
        for (int a = 0; a < 3; ++a) {
            p[a] += offset[a];
        }
    }
}

void ApplyImportMirrorToNormal(const StlImportAdjustments& settings, double n[3]) {
    const int scaled = settings.scaleOn[0] + settings.scaleOn[1] + settings.scaleOn[2];
    const bool uniform =
        scaled == 0 || (settings.scaleOn[0] && settings.scaleOn[1] && settings.scaleOn[2] &&
                        settings.scaleRate[0] == settings.scaleRate[1] &&
                        settings.scaleRate[1] == settings.scaleRate[2]);
    if (!uniform) {
        n[0] = n[1] = n[2] = 0.0;
        return;
    }
    for (int a = 0; a < 3; ++a) {
        if (settings.mirrorOn[a]) {
            n[a] = -n[a];
        }
    }
}

// The fractions along an edge (see TestPointInTriangleB) that tell a point on it: a few units of
// their last place.
constexpr double kEdgeFractionSlack = 1e-14;

int TestPointInTriangleB(const double triangle[9], int a, int b, const double p[3]) {
    const double* v[3] = {triangle, triangle + 3, triangle + 6};
    for (int k = 0; k < 3; ++k) {
        if (v[k][a] == p[a] && v[k][b] == p[b]) {
            return k + 1;
        }
    }
    double u[3][2];
    bool marked[3];
    for (int k = 0; k < 3; ++k) {
        const double da = v[k][a] - p[a];
        const double db = v[k][b] - p[b];
        const double length = std::sqrt(da * da + db * db);
        u[k][0] = da / length;
        u[k][1] = db / length;
        // A direction that rounding made axis-parallel although the point is off that axis.
        marked[k] =
            (std::fabs(u[k][0]) >= 1.0 && db != 0.0) || (std::fabs(u[k][1]) >= 1.0 && da != 0.0);
    }
    auto strictlyBetween = [](double x, double e, double f) {
        return (e < x && x < f) || (f < x && x < e);
    };
    for (int k = 0; k < 3; ++k) {
        const double* e = v[k];
        const double* f = v[(k + 1) % 3];
        const int m = (k + 1) % 3;
        if ((e[a] == p[a] && f[a] == p[a] && strictlyBetween(p[b], e[b], f[b])) ||
            (e[b] == p[b] && f[b] == p[b] && strictlyBetween(p[a], e[a], f[a]))) {
            return 4 + k;
        }
        const double cosine = ClampToUnitRange(u[k][0] * u[m][0] + u[k][1] * u[m][1]);
        if (cosine == -1.0 && !marked[k] && !marked[m]) {
            return 7;
        }
        if (e[a] != f[a] && e[b] != f[b]) {
            // The two triangles that share the edge take its ends in opposite orders and round
            // the two fractions differently: a point on the edge is on it to a few units of the
            // fractions' last place, so that at least one of them holds the point (their equal
            // crossings are one end of the ray).
            const double ta = (p[a] - e[a]) / (f[a] - e[a]);
            const double tb = (p[b] - e[b]) / (f[b] - e[b]);
            if (std::fabs(ta - tb) <= kEdgeFractionSlack && ta >= 0.0 && ta <= 1.0) {
                return 7;
            }
        }
    }
    double sum = 0;
    for (int k = 0; k < 3; ++k) {
        const int m = (k + 1) % 3;
        const double angle = std::acos(ClampToUnitRange(u[k][0] * u[m][0] + u[k][1] * u[m][1]));
        const double cross = u[k][0] * u[m][1] - u[k][1] * u[m][0];
        sum += cross < 0.0 ? -angle : angle;
    }
    return std::fabs(sum) > 6.0 ? 7 : 0;
}

void SnapDiagonalNormal(const double v[3], double n[3]) {
    if (v[0] == 0.0 && v[1] == 0.0 && v[2] == 0.0) {
        return;
    }
    // For each zero component, the two others in index order.
    static const int kPairs[3][2] = {{1, 2}, {0, 2}, {0, 1}};
    for (int zero = 0; zero < 3; ++zero) {
        const int i = kPairs[zero][0];
        const int j = kPairs[zero][1];
        if (v[zero] == 0.0 && v[i] != 0.0 && std::fabs(v[i]) == std::fabs(v[j])) {
            const double first = v[i] > 0.0 ? 1.0 : -1.0;
            const bool sameSign = (v[i] > 0.0) == (v[j] > 0.0);
            n[zero] = 0.0;
            n[i] = first;
            n[j] = sameSign ? first : -first;
            return;
        }
    }
    const double length = Vec3Length(v);
    for (int a = 0; a < 3; ++a) {
        n[a] = v[a] / length;
    }
}

int PrepareImportFacet(const StlConversion& conversion, const double rawNormal[3],
                       const double rawVertices[9], double normal[3], double vertices[9]) {
    for (int i = 0; i < 9; ++i) {
        vertices[i] = AsFileFloat(rawVertices[i]);
    }
    for (int a = 0; a < 3; ++a) {
        normal[a] = static_cast<float>(rawNormal[a]);
    }
    const bool adjust = conversion.settings != nullptr && conversion.settings->adjustmentsOn;
    for (int v = 0; v < 3; ++v) {
        if (adjust) {
            ApplyImportScaleMirror(*conversion.settings, vertices + 3 * v);
        }
        if (conversion.transform.any) {
            ApplyImportTransform(conversion.transform, vertices + 3 * v);
        }
    }
    if (adjust) {
        ApplyImportMirrorToNormal(*conversion.settings, normal);
    }
    if (conversion.transform.rotation) {
        RotateByInverse(conversion.transform, normal);
    }
    return std::all_of(vertices, vertices + 9, [](double x) { return std::isfinite(x); }) ? 1 : 0;
}

int OpenStlImportReader(const StlConversion& conversion, StlImportReader* input) {
    *input = StlImportReader{};
    return OpenStlFacetReader(conversion.format, conversion.path, &input->reader);
}

int ReadNextImportFacet(StlImportReader* input, const StlConversion& conversion, double normal[3],
                        double vertices[9]) {
    StlRawFacet raw;
    while (ReadNextStlFacet(&input->reader, &raw)) {
        if (conversion.reportProgress) {
            const std::uint64_t position = input->reader.input.position;
            AddProgressWork(static_cast<std::int64_t>(position - input->progressed));
            input->progressed = position;
            UpdateProgress(0);
        }
        PumpIfEnabled();
        if (IsStlFacetFinite(raw) &&
            PrepareImportFacet(conversion, raw.normal, raw.vertices, normal, vertices)) {
            ++input->facetsRead;
            return 1;
        }
    }
    return 0;
}

void CloseStlImportReader(StlImportReader* input) {
    CloseStlFacetReader(&input->reader);
    *input = StlImportReader{};
}

int ConvertStlToFamily(StockModel* model, DexelReconcileState* state,
                       const StlConversion& conversion, int a, int b, int c) {
    EmptyFamily(model, state, c);
    model->maxCorner[c] = -999999999.9;
    model->minCorner[c] = 999999999.9;
    StlImportReader input;
    if (!OpenStlImportReader(conversion, &input)) {
        return kStockFileDataError;
    }
    const int na = StockNodeCount(*model, a);
    std::vector<Crossing> crossings;
    double normal[3];
    double v[9];
    try {
        while (ReadNextImportFacet(&input, conversion, normal, v)) {
            SnapVerticesToNodeLines(*model, v);
            // Degenerate in the ray plane: two vertices with equal a and b.
            bool degenerate = false;
            for (int k = 0; k < 3; ++k) {
                const double* p = v + 3 * k;
                const double* q = v + 3 * ((k + 1) % 3);
                degenerate = degenerate || (p[a] == q[a] && p[b] == q[b]);
            }
            if (degenerate) {
                continue;
            }
            if (v[0] == v[3] && v[0] == v[6]) {
                normal[0] = 1, normal[1] = 0, normal[2] = 0;
            } else if (v[1] == v[4] && v[1] == v[7]) {
                normal[0] = 0, normal[1] = 1, normal[2] = 0;
            } else if (v[2] == v[5] && v[2] == v[8]) {
                normal[0] = 0, normal[1] = 0, normal[2] = 1;
            } else {
                double e1[3];
                double e2[3];
                double cross[3];
                Vec3Sub(v + 3, v, e1);
                Vec3Sub(v + 6, v, e2);
                Vec3Cross(e1, e2, cross);
                SnapDiagonalNormal(cross, normal);
            }
            if (normal[c] == 0.0 || !std::isfinite(normal[c])) {
                continue;
            }
            const double d = Vec3Dot(normal, v);
            double lo[3];
            double hi[3];
            ComputeBoxBounds(v, lo, hi);
            VisitFacetRays(
                *model, a, b, lo, hi, 7,
                [&](const double* p) { return TestPointInTriangleB(v, a, b, p); },
                [&](int ia, int ib, const double* p, int result) {
                    const double value =
                        CrossingValue(result, v, a, b, c, normal, d, p[a], p[b], lo[c], hi[c]);
                    model->maxCorner[c] = std::max(model->maxCorner[c], value);
                    model->minCorner[c] = std::min(model->minCorner[c], value);
                    const std::uint8_t tag = static_cast<std::uint8_t>(
                        (p[a] == lo[a] ? 1 : 0) | (p[a] == hi[a] ? 2 : 0) |
                        (p[b] == lo[b] ? 4 : 0) | (p[b] == hi[b] ? 8 : 0));
                    crossings.push_back(
                        Crossing{static_cast<std::int64_t>(ib) * na + ia, value, tag});
                });
        }
        const std::int64_t facetsRead = input.facetsRead;
        CloseStlImportReader(&input);
        if (facetsRead == 0) {
            return kStockFileDataError;
        }
        if (crossings.size() > static_cast<std::size_t>(INT32_MAX)) {
            return kStockGridTooLarge;
        }
        StoreCrossings(model, state, c, conversion.clipToGrid != 0, crossings);
        return 1;
    } catch (const std::bad_alloc&) {
        CloseStlImportReader(&input);
        return kStockGridTooLarge;
    }
}

void RestoreDexelCells(StockModel* model) {
    std::vector<double> ends;
    std::vector<std::uint8_t> zeroFlags;
    std::vector<std::int32_t> zeroStamps;
    for (int d : {2, 0, 1}) {
        DexelFamily* family = DexelFamilyOfAxis(model, d);
        for (std::int64_t cell = 0; cell < family->cellCount; ++cell) {
            const int count = family->counts[cell];
            if (count < 1) {
                continue;
            }
            const std::size_t n = static_cast<std::size_t>(count);
            if (ends.size() < n) {
                ends.resize(n);
                zeroFlags.assign(n, 0);
                zeroStamps.assign(n, 0);
            }
            int got = 0;
            GetDexelCellValues(cell, family->capacity, family->counts, family->ends, ends.data(),
                               &got);
            SetDexelCell(cell, family->capacity, family->counts, family->ends, family->flags,
                         family->lineStamps, ends.data(), zeroFlags.data(), zeroStamps.data(), got);
        }
        PumpIfEnabled();
    }
}

int ConvertStlStandard(StockModel* model, const StlConversion& conversion) {
    DexelReconcileState state;
    static const int kTriples[3][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}};
    for (const auto& t : kTriples) {
        const int result = ConvertStlToFamily(model, &state, conversion, t[0], t[1], t[2]);
        if (result != 1) {
            return result;
        }
    }
    if (conversion.reportProgress) {
        EndProgress();
    }
    SetStatusBarText(MainStatusBar.load(), 0, 0, "データ整合中");
    try {
        if (!ReconcileDexelFamilies(model, &state)) {
            return kStockGridTooLarge;
        }
    } catch (const std::bad_alloc&) {
        return kStockGridTooLarge;
    }
    RestoreDexelCells(model);
    return 1;
}

int DetectStlImportFormat(std::string_view path, int referenceDirection, int* format) {
    int a = 0;
    int b = 0;
    int c = 0;
    if (referenceDirection != 0 && !GetReferenceAxisTriple(referenceDirection, &a, &b, &c)) {
        return kStockDefinitionError;
    }
    *format = DetectStlFormat(path);
    return *format == kStlFormatNone ? kStockFileDataError : 1;
}

int RunStlConversion(WindowHandle owner, StockModel* model, StlConversion conversion,
                     int referenceDirection) {
    BeginProgress(owner, PROGRESS_MODE_FILE_SIZE, 0, std::string(conversion.path).c_str(),
                  referenceDirection == 0 ? 4 : 2, "STL読み込み計算", "Reading STL");
    *model->faceFlags = StockFaceFlags{{1, 1, 1, 1, 1, 1}};
    conversion.reportProgress = 1;
    const int result = referenceDirection == 0
                           ? ConvertStlStandard(model, conversion)
                           : ConvertStlReference(model, conversion, referenceDirection,
                                                 StockLoadOptions.stlFilter);
    if (result != 1) {
        EndProgress();
        return AbandonStockLoad(model, result);
    }
    return 1;
}

int LoadStlAsDexelModel(WindowHandle owner, StockModel* target, std::string_view path,
                        const StockModel& stockTemplate, int referenceDirection) {
    StlImportAdjustments adjustments = StockLoadOptions.stlAdjustments;
    if (adjustments.basicModelInWork) {
        adjustments.coordinateSystem = 1;
        adjustments.adjustmentsOn = 1;
    }
    FreeStockModel(target);
    if (!HasFileExtension(path, ".STL") || stockTemplate.nx < 2 || stockTemplate.ny < 2 ||
        stockTemplate.nz < 2 || stockTemplate.nodesX == nullptr ||
        stockTemplate.nodesY == nullptr || stockTemplate.nodesZ == nullptr) {
        return AbandonStockLoad(target, kStockFileDataError);
    }
    int format = 0;
    int result = DetectStlImportFormat(path, referenceDirection, &format);
    if (result != 1) {
        return AbandonStockLoad(target, result);
    }
    target->frame = stockTemplate.frame;
    target->pitch = stockTemplate.pitch;
    target->nx = stockTemplate.nx;
    target->ny = stockTemplate.ny;
    target->nz = stockTemplate.nz;
    target->origin[0] = stockTemplate.nodesX[0];
    target->origin[1] = stockTemplate.nodesY[0];
    target->origin[2] = stockTemplate.nodesZ[0];
    SetStockUndoRingSize(target, 1);
    result = BuildLoadedGrid(target, true);
    if (result != 1) {
        return AbandonStockLoad(target, result);
    }
    RefreshStockFrame(target);
    if (referenceDirection != 0) {
        for (int axis = 0; axis < 3; ++axis) {
            target->minCorner[axis] = StockNodeTable(*target, axis)[0];
            target->maxCorner[axis] =
                StockNodeTable(*target, axis)[StockNodeCount(*target, axis) - 1];
        }
    }
    StlConversion conversion;
    conversion.format = format;
    conversion.path = path;
    conversion.settings = &adjustments;
    conversion.clipToGrid = 1;
    SetImportTransform(&conversion.transform, *target);
    result = RunStlConversion(owner, target, conversion, referenceDirection);
    if (result != 1) {
        return result;
    }
    FinishLoadedStock(target);
    return 1;
}

}  // namespace mirexa
