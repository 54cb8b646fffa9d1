// Surface extraction of a tri-dexel stock: orientation and placement, end maps, outer cap
// rectangles, the analysis and loops of one cell, and the whole surface.
#include "stockio/surface_extraction.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "geometry/vector_math.h"
#include "stockio/cell_hole_closure.h"
#include "stockio/surface_cell_walk.h"

namespace mirexa {

// --- Orientation and placement --------------------------------------------------------------

int ClassifyStockOrientation(const StockFrame& frame) {
    const double* m = frame.values;
    const double m00 = m[0], m01 = m[1], m02 = m[2];
    const double m10 = m[3], m11 = m[4], m12 = m[5];
    const double m20 = m[6], m21 = m[7], m22 = m[8];
    // Each row: the two entries of a pair and the values they must have.
    struct Pair {
        double first, firstValue, second, secondValue;
        int orientation;
    };
    auto firstMatch = [](const Pair(&pairs)[4]) {
        for (const Pair& pair : pairs) {
            if (pair.first == pair.firstValue && pair.second == pair.secondValue) {
                return pair.orientation;
            }
        }
        return -1;
    };
    int found = -1;
    if (m22 == 1.0) {
        const Pair pairs[4] = {
            {m00, 1, m11, 1, 1}, {m01, 1, m10, -1, 2}, {m00, -1, m11, -1, 3}, {m01, -1, m10, 1, 4}};
        found = firstMatch(pairs);
    } else if (m22 == -1.0) {
        const Pair pairs[4] = {
            {m00, 1, m11, -1, 5}, {m01, 1, m10, 1, 6}, {m00, -1, m11, 1, 7}, {m01, -1, m10, -1, 8}};
        found = firstMatch(pairs);
    } else if (m21 == 1.0) {
        const Pair pairs[4] = {{m00, 1, m12, -1, 11},
                               {m02, -1, m10, -1, 12},
                               {m00, -1, m12, 1, 13},
                               {m02, 1, m10, 1, 14}};
        found = firstMatch(pairs);
    } else if (m21 == -1.0) {
        const Pair pairs[4] = {{m00, 1, m12, 1, 15},
                               {m02, 1, m10, -1, 16},
                               {m00, -1, m12, -1, 17},
                               {m02, -1, m10, 1, 18}};
        found = firstMatch(pairs);
    } else if (m20 == 1.0) {
        const Pair pairs[4] = {{m02, -1, m11, 1, 21},
                               {m01, 1, m12, 1, 22},
                               {m02, 1, m11, -1, 23},
                               {m01, -1, m12, -1, 24}};
        found = firstMatch(pairs);
    } else if (m20 == -1.0) {
        const Pair pairs[4] = {{m02, 1, m11, 1, 25},
                               {m01, 1, m12, -1, 26},
                               {m02, -1, m11, -1, 27},
                               {m01, -1, m12, 1, 28}};
        found = firstMatch(pairs);
    }
    if (found >= 0) {
        return found;
    }
    if (m00 == 1.0) {
        return 101;
    }
    if (m11 == 1.0) {
        return 103;
    }
    return 0;
}

void SetMeshTransform(const StockFrame& frame, MeshTransform* transform) {
    *transform = MeshTransform{};
    static const double kIdentity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int i = 0; i < 9; ++i) {
        transform->rows[i] = frame.values[i];
        if (frame.values[i] != kIdentity[i]) {
            transform->rotate = 1;
        }
    }
    for (int i = 0; i < 3; ++i) {
        transform->offset[i] = frame.values[9 + i];
        if (frame.values[9 + i] != 0.0) {
            transform->translate = 1;
        }
    }
    if (transform->rotate) {
        InvertMatrix3(transform->rows, transform->inverse);
        const double* m = transform->rows;
        const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                           m[2] * (m[3] * m[7] - m[4] * m[6]);
        transform->mirrored = det < 0.0 ? 1 : 0;
    }
}

void TransformMeshPoint(const MeshTransform& transform, double point[3]) {
    if (transform.rotate) {
        const double* m = transform.rows;
        const double p[3] = {point[0], point[1], point[2]};
        for (int j = 0; j < 3; ++j) {
            point[j] = p[0] * m[j] + p[1] * m[3 + j] + p[2] * m[6 + j];
        }
    }
    if (transform.translate) {
        for (int j = 0; j < 3; ++j) {
            point[j] += transform.offset[j];
        }
    }
}

void TransformMeshNormal(const MeshTransform& transform, double normal[3]) {
    if (!transform.rotate) {
        return;
    }
    const double* n = transform.inverse;
    const double v[3] = {normal[0], normal[1], normal[2]};
    for (int i = 0; i < 3; ++i) {
        normal[i] = n[3 * i] * v[0] + n[3 * i + 1] * v[1] + n[3 * i + 2] * v[2];
    }
    const double length = Vec3Length(normal);
    if (length > 0.0 && length != 1.0) {
        for (int i = 0; i < 3; ++i) {
            normal[i] /= length;
        }
    }
}

// --- Work arrays ----------------------------------------------------------------------------

namespace {

// Arrays whose allocation failure is reported instead of thrown.
template <class T>
std::unique_ptr<T[]> AllocateZeroed(std::int64_t n) {
    if (n < 0) {
        return nullptr;
    }
    return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<std::size_t>(n)]());
}

// The family of an axis (0 X, 1 Y, 2 Z) and its node table.
const DexelFamily& FamilyOf(const StockModel& model, int family) {
    return family == 0 ? model.x : (family == 1 ? model.y : model.z);
}
const double* NodesOf(const StockModel& model, int axis) {
    return axis == 0 ? model.nodesX : (axis == 1 ? model.nodesY : model.nodesZ);
}
int NodeCountOf(const StockModel& model, int axis) {
    return axis == 0 ? model.nx : (axis == 1 ? model.ny : model.nz);
}

bool SamePoint(const double a[3], const double b[3]) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

// Whether the triangle of grid points a, b, c has zero area (exactly, as the writers find it for
// points on one axis-parallel line).
bool FlatTriangle(const double* a, const double* b, const double* c) {
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    return u[1] * v[2] - u[2] * v[1] == 0.0 && u[2] * v[0] - u[0] * v[2] == 0.0 &&
           u[0] * v[1] - u[1] * v[0] == 0.0;
}

// The six face planes of a cell (low[axis], high[axis], mm), which the fans of its loops keep
// off.
struct CellFacePlanes {
    double low[3] = {};
    double high[3] = {};
};

// Whether the points a, b, c all lie in one face plane of the cell.
bool OnOneFacePlane(const CellFacePlanes& planes, const double* a, const double* b,
                    const double* c) {
    for (int k = 0; k < 3; ++k) {
        for (const double v : {planes.low[k], planes.high[k]}) {
            if (a[k] == v && b[k] == v && c[k] == v) {
                return true;
            }
        }
    }
    return false;
}

// Whether every point of the loop lies in one face plane of the cell.
bool LoopOnOneFacePlane(const CellFacePlanes& planes, const double* const* points, int count) {
    for (int k = 0; k < 3; ++k) {
        for (const double v : {planes.low[k], planes.high[k]}) {
            bool all = true;
            for (int i = 0; i < count && all; ++i) {
                all = points[i][k] == v;
            }
            if (all) {
                return true;
            }
        }
    }
    return false;
}

// The first point of a loop from which a fan gives no triangle of zero area, or -1. A triangle
// of zero area is left out by the writers, and with it the points its edges pass through: the
// loop's neighbours would meet a long edge there. With the planes of the loop's cell, the fan
// also keeps its triangles off the cell's faces, unless the loop lies in one: a loop that runs
// partly along a face (where its piece meets the face polygon that closes it, or a piece of the
// cell beside it) would lay triangles over that polygon or over the other cell's. -1 then too
// when every point lays one, and the fan goes around the centroid, which lies off the faces.
int FanApex(const double* const* points, int count, const CellFacePlanes* planes) {
    const bool offFaces = planes != nullptr && !LoopOnOneFacePlane(*planes, points, count);
    int first = -1;
    for (int k = 0; k < count; ++k) {
        bool flat = false;
        bool onFace = false;
        for (int i = 1; i + 1 < count && !flat; ++i) {
            const double* b = points[(k + i) % count];
            const double* c = points[(k + i + 1) % count];
            flat = FlatTriangle(points[k], b, c);
            onFace = onFace || (offFaces && OnOneFacePlane(*planes, points[k], b, c));
        }
        if (!flat && !onFace) {
            return k;
        }
        first = first < 0 && !flat ? k : first;
    }
    return offFaces ? -1 : first;
}

// Writes the triangle of grid points, mapped into the placement.
int EmitTriangle(const MeshTransform& transform, const double* a, const double* b, const double* c,
                 const FacetSink& sink) {
    MeshFacet facet;
    const double* corners[3] = {a, b, c};
    if (transform.mirrored) {
        std::swap(corners[1], corners[2]);
    }
    const bool placed = transform.rotate || transform.translate;
    for (int v = 0; v < 3; ++v) {
        for (int k = 0; k < 3; ++k) {
            facet.vertices[v][k] = corners[v][k];
        }
        if (placed) {
            TransformMeshPoint(transform, facet.vertices[v]);
        }
    }
    return sink.write(sink.context, facet);
}

// Whether the loop turns back on itself: a point whose two neighbours are one point, the tip
// of a spike of no area.
bool LoopHasSpike(const double* const* points, int count) {
    for (int i = 0; count >= 3 && i < count; ++i) {
        if (SamePoint(points[(i + count - 1) % count], points[(i + 1) % count])) {
            return true;
        }
    }
    return false;
}

std::int64_t EmitFan(const MeshTransform& transform, const double* const* points, int count,
                     const FacetSink& sink, const CellFacePlanes* planes = nullptr);

// Writes the loop without its spikes: a fan over a spike would write a triangle and its
// reverse, a sheet of no area on both sides of which other facets meet.
std::int64_t EmitFanWithoutSpikes(const MeshTransform& transform, const double* const* points,
                                  int count, const FacetSink& sink, const CellFacePlanes* planes) {
    std::vector<const double*> loop;
    try {
        loop.assign(points, points + count);
    } catch (const std::bad_alloc&) {
        return kMeshExtractionNoMemory;
    }
    for (bool cut = true; cut && loop.size() >= 3;) {
        cut = false;
        const std::size_t n = loop.size();
        for (std::size_t i = 0; i < n && !cut; ++i) {
            if (SamePoint(loop[(i + n - 1) % n], loop[(i + 1) % n])) {
                // The tip and the point after it go; the point before it stays.
                const std::size_t next = (i + 1) % n;
                loop.erase(loop.begin() + static_cast<std::ptrdiff_t>(std::max(i, next)));
                loop.erase(loop.begin() + static_cast<std::ptrdiff_t>(std::min(i, next)));
                cut = true;
            }
        }
    }
    return loop.size() >= 3
               ? EmitFan(transform, loop.data(), static_cast<int>(loop.size()), sink, planes)
               : 0;
}

// Writes the loop with its points welded (see MakeNodeSnap): a point that the weld puts
// onto the one before it goes, and the fan is chosen among the welded points, so that no
// triangle of zero area comes out of the weld. The edges of the loop between points that fall
// into one vanish; their reverses in the neighbouring loops fall into one alike.
std::int64_t EmitWeldedFan(const MeshTransform& transform, const double* const* points, int count,
                           const FacetSink& sink, const CellFacePlanes* planes) {
    // Loops of a cell have a few points; longer ones (hole closures) take the heap.
    constexpr int kInPlace = 64;
    std::array<double, 3> inPlace[kInPlace];
    const double* inPlaceLoop[kInPlace];
    std::vector<std::array<double, 3>> spilled;
    std::vector<const double*> spilledLoop;
    std::array<double, 3>* welded = inPlace;
    const double** kept = inPlaceLoop;
    if (count > kInPlace) {
        try {
            spilled.resize(static_cast<std::size_t>(count));
            spilledLoop.resize(static_cast<std::size_t>(count));
        } catch (const std::bad_alloc&) {
            return kMeshExtractionNoMemory;
        }
        welded = spilled.data();
        kept = spilledLoop.data();
    }
    int n = 0;
    for (int i = 0; i < count; ++i) {
        for (int k = 0; k < 3; ++k) {
            welded[i][k] = SnapToNode(transform.weld[k], points[i][k]);
        }
        if (n == 0 || !SamePoint(kept[n - 1], welded[i].data())) {
            kept[n++] = welded[i].data();
        }
    }
    while (n > 1 && SamePoint(kept[n - 1], kept[0])) {
        --n;
    }
    if (n < 3) {
        return 0;
    }
    MeshTransform placement = transform;
    placement.weld = nullptr;
    return EmitFan(placement, kept, n, sink, planes);
}

// Writes a loop of grid points as a fan from the point FanApex chooses; when there is none
// (points on a line on several sides, or a loop of a cell that no point keeps off its faces), as
// a fan around the loop's centroid. A loop with a spike is written without it.
std::int64_t EmitFan(const MeshTransform& transform, const double* const* points, int count,
                     const FacetSink& sink, const CellFacePlanes* planes) {
    if (transform.weld != nullptr) {
        return EmitWeldedFan(transform, points, count, sink, planes);
    }
    if (LoopHasSpike(points, count)) {
        return EmitFanWithoutSpikes(transform, points, count, sink, planes);
    }
    std::int64_t written = 0;
    const int apex = count > 3 ? FanApex(points, count, planes) : 0;
    if (apex >= 0) {
        for (int i = 1; i + 1 < count; ++i) {
            const int result = EmitTriangle(transform, points[apex], points[(apex + i) % count],
                                            points[(apex + i + 1) % count], sink);
            if (result < 0) {
                return result;
            }
            written += result;
        }
        return written;
    }
    double centre[3] = {0, 0, 0};
    for (int i = 0; i < count; ++i) {
        for (int k = 0; k < 3; ++k) {
            centre[k] += points[i][k];
        }
    }
    for (double& c : centre) {
        c /= count;
    }
    for (int i = 0; i < count; ++i) {
        const int result =
            EmitTriangle(transform, centre, points[i], points[(i + 1) % count], sink);
        if (result < 0) {
            return result;
        }
        written += result;
    }
    return written;
}

}  // namespace

std::int64_t EmitMeshFan(const MeshTransform& transform, const double* const* points, int count,
                         const FacetSink& sink) {
    return EmitFan(transform, points, count, sink);
}

void CollectDexelEnds(const StockModel& model, int family, const DexelEndMap& map) {
    const DexelFamily& rays = FamilyOf(model, family);
    const double* nodes = NodesOf(model, family);
    const int n = NodeCountOf(model, family);
    const NodeSnap snap = MakeNodeSnap(model, family);
    for (std::int64_t r = 0; r < rays.cellCount; ++r) {
        const int count = rays.counts[r];
        if (count < 1) {
            map.firstEnds[r] = nodes[n - 1];
            map.lastEnds[r] = nodes[0];
            map.firstFlags[r] = 0;
            map.lastFlags[r] = 0;
            continue;
        }
        const double* ends = DexelCellEnds(r, rays.capacity, rays.counts, rays.ends);
        const DexelEndFlag* flags = DexelCellFlags(r, rays.capacity, rays.counts, rays.flags);
        // The caps read the first and last ends by the node rule of the cells.
        map.firstEnds[r] = SnapToNode(snap, ends[0]);
        map.firstFlags[r] = flags[0];
        map.lastEnds[r] = SnapToNode(snap, ends[count - 1]);
        map.lastFlags[r] = flags[count - 1];
    }
}

// --- Points on the outer planes -------------------------------------------------------------

void InitOuterPlanePoints(const StockModel& model, OuterPlanePoints* points) {
    for (int face = 0; face < 6; ++face) {
        const int axis = face / 2;
        const double* nodes = NodesOf(model, axis);
        points->planes[face] = (face & 1) ? nodes[NodeCountOf(model, axis) - 1] : nodes[0];
        points->byA[face].clear();
        points->byB[face].clear();
    }
}

bool StoreOuterPlanePoint(OuterPlanePoints* points, const double p[3]) {
    try {
        for (int face = 0; face < 6; ++face) {
            const int n = face / 2;
            if (p[n] == points->planes[face]) {
                points->byB[face].push_back({p[(n + 2) % 3], p[(n + 1) % 3]});
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool FinishOuterPlanePoints(OuterPlanePoints* points) {
    try {
        for (int face = 0; face < 6; ++face) {
            std::vector<std::array<double, 2>>& byB = points->byB[face];
            std::sort(byB.begin(), byB.end());
            byB.erase(std::unique(byB.begin(), byB.end()), byB.end());
            std::vector<std::array<double, 2>>& byA = points->byA[face];
            byA.resize(byB.size());
            for (std::size_t i = 0; i < byB.size(); ++i) {
                byA[i] = {byB[i][1], byB[i][0]};
            }
            std::sort(byA.begin(), byA.end());
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

namespace {

// Appends the points of `sorted` (pairs (line, along), sorted) on the line strictly between
// `from` and `to` (either way round), in the order from `from` to `to`, as values along.
void PointsAlongSide(const std::vector<std::array<double, 2>>& sorted, double line, double from,
                     double to, std::vector<double>* along) {
    const double lo = std::min(from, to);
    const double hi = std::max(from, to);
    auto first = std::upper_bound(sorted.begin(), sorted.end(), std::array<double, 2>{line, lo});
    auto last = std::lower_bound(first, sorted.end(), std::array<double, 2>{line, hi});
    along->clear();
    for (auto it = first; it != last; ++it) {
        along->push_back((*it)[1]);
    }
    if (from > to) {
        std::reverse(along->begin(), along->end());
    }
}

// The outline of the rectangle [a0, a1] x [b0, b1] (mm, in-face coordinates) on outer face
// `face`, counter-clockwise in (a, b) from (a0, b0), with every point of the face that lies
// strictly inside one of its four sides; as grid points (mm). false when memory ran out.
bool CapRectangleOutline(const OuterPlanePoints& points, int face, double a0, double a1, double b0,
                         double b1, std::vector<std::array<double, 3>>* outline) {
    const int n = face / 2;
    const int axisA = (n + 1) % 3;
    const int axisB = (n + 2) % 3;
    // The sides from each corner to the next: along a at b0, along b at a1, back along a at
    // b1, back along b at a0.
    const double corners[4][2] = {{a0, b0}, {a1, b0}, {a1, b1}, {a0, b1}};
    try {
        outline->clear();
        std::vector<double> along;
        auto add = [&](double a, double b) {
            std::array<double, 3> p;
            p[n] = points.planes[face];
            p[axisA] = a;
            p[axisB] = b;
            outline->push_back(p);
        };
        for (int side = 0; side < 4; ++side) {
            const double* from = corners[side];
            const double* to = corners[(side + 1) % 4];
            add(from[0], from[1]);
            if (side % 2 == 0) {  // along a
                PointsAlongSide(points.byB[face], from[1], from[0], to[0], &along);
                for (double a : along) {
                    add(a, from[1]);
                }
            } else {
                PointsAlongSide(points.byA[face], from[0], from[1], to[1], &along);
                for (double b : along) {
                    add(from[0], b);
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

bool CapRectangleTriangles(const OuterPlanePoints& points, int face, double a0, double a1,
                           double b0, double b1, std::vector<std::array<double, 3>>* triangles) {
    std::vector<std::array<double, 3>> outline;
    if (!CapRectangleOutline(points, face, a0, a1, b0, b1, &outline)) {
        return false;
    }
    const int count = static_cast<int>(outline.size());
    try {
        // The outline is convex: a fan from a corner, or from a point on a side when every
        // corner has points on its sides; around the centre when every point has.
        int apex = 0;
        if (count > 4) {
            std::vector<const double*> ring;
            for (const std::array<double, 3>& q : outline) {
                ring.push_back(q.data());
            }
            apex = FanApex(ring.data(), count, nullptr);
        }
        triangles->clear();
        auto at = [&](int i) { return outline[static_cast<std::size_t>(i % count)]; };
        if (apex >= 0) {
            for (int t = 0; t + 2 < count; ++t) {
                triangles->insert(triangles->end(), {at(apex), at(apex + t + 1), at(apex + t + 2)});
            }
            return true;
        }
        const int n = face / 2;
        std::array<double, 3> centre;
        centre[n] = points.planes[face];
        centre[(n + 1) % 3] = 0.5 * (a0 + a1);
        centre[(n + 2) % 3] = 0.5 * (b0 + b1);
        for (int t = 0; t < count; ++t) {
            triangles->insert(triangles->end(), {centre, at(t), at(t + 1)});
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// --- Outer caps -----------------------------------------------------------------------------

namespace {

// One outer face: its number, node counts and tables of the in-face axes a and b, its plane
// coordinate, the end of each of its rays (first ends on a min face, last ends on a max face)
// and its cap marks, indexed by the ray a + b * na.
struct CapFace {
    int face = {};
    int na = {};
    int nb = {};
    const double* nodesA = {};
    const double* nodesB = {};
    double plane = {};
    const double* ends = {};
    std::uint8_t* marks = {};

    bool AtPlane(int a, int b) const {
        return ends[a + static_cast<std::int64_t>(b) * na] == plane;
    }
    std::uint8_t& Mark(int a, int b) const {
        return marks[a + static_cast<std::int64_t>(b) * na];
    }
};

// A cap rectangle: its outer face and its corners' node indices along the in-face axes.
struct CapRectangle {
    int face = {};
    int a0 = {};
    int a1 = {};
    int b0 = {};
    int b1 = {};
};

// Writes a cap rectangle [a0, a1] x [b0, b1] (node indices of the face's in-face axes) with the
// face's outward normal, as the triangles of CapRectangleTriangles.
std::int64_t EmitCapRectangle(const StockModel& model, const MeshTransform& transform,
                              const OuterPlanePoints& points, const CapRectangle& r,
                              std::vector<std::array<double, 3>>* triangles,
                              const FacetSink& sink) {
    const int normalAxis = r.face / 2;
    const double* nodesA = NodesOf(model, (normalAxis + 1) % 3);
    const double* nodesB = NodesOf(model, (normalAxis + 2) % 3);
    if (!CapRectangleTriangles(points, r.face, nodesA[r.a0], nodesA[r.a1], nodesB[r.b0],
                               nodesB[r.b1], triangles)) {
        return kMeshExtractionNoMemory;
    }
    double normal[3] = {0, 0, 0};
    const bool maxFace = (r.face & 1) != 0;
    normal[normalAxis] = maxFace ? 1.0 : -1.0;
    TransformMeshNormal(transform, normal);
    // (a, b, normal axis) is right-handed: counter-clockwise in (a, b) faces +normal, so the
    // max faces take the triangles' order and the min faces the reverse.
    const bool reverse = maxFace == (transform.mirrored != 0);
    std::int64_t written = 0;
    for (std::size_t t = 0; t + 2 < triangles->size(); t += 3) {
        MeshFacet facet;
        facet.normalGiven = 1;
        for (int k = 0; k < 3; ++k) {
            facet.normal[k] = normal[k];
        }
        for (int v = 0; v < 3; ++v) {
            const int corner = reverse && v > 0 ? 3 - v : v;
            for (int k = 0; k < 3; ++k) {
                facet.vertices[v][k] = (*triangles)[t + static_cast<std::size_t>(corner)][k];
            }
            TransformMeshPoint(transform, facet.vertices[v]);
        }
        const int result = sink.write(sink.context, facet);
        if (result < 0) {
            return result;
        }
        written += result;
    }
    return written;
}

// Greedy maximal rectangles over the cap cells of one outer face: row by row (b), and along
// each row (a); a rectangle grows first along a, then row after row along b. Marks their cells.
void FindCapRectangles(const CapFace& cap, std::vector<CapRectangle>* rectangles) {
    for (int b = 0; b + 1 < cap.nb; ++b) {
        for (int a = 0; a + 1 < cap.na; ++a) {
            if (cap.Mark(a, b) != kCapMarkUnvisited) {
                continue;
            }
            if (!(cap.AtPlane(a, b) && cap.AtPlane(a + 1, b) && cap.AtPlane(a, b + 1) &&
                  cap.AtPlane(a + 1, b + 1))) {
                cap.Mark(a, b) = kCapMarkNotCap;
                continue;
            }
            int aEnd = a;  // last cell column of the rectangle
            while (aEnd + 2 < cap.na && cap.Mark(aEnd + 1, b) == kCapMarkUnvisited &&
                   cap.AtPlane(aEnd + 2, b) && cap.AtPlane(aEnd + 2, b + 1)) {
                ++aEnd;
            }
            int bEnd = b;  // last cell row of the rectangle
            while (bEnd + 2 < cap.nb) {
                bool rowAtPlane = true;
                for (int i = a; i <= aEnd + 1 && rowAtPlane; ++i) {
                    rowAtPlane = cap.AtPlane(i, bEnd + 2);
                }
                if (!rowAtPlane) {
                    break;
                }
                ++bEnd;
            }
            for (int j = b; j <= bEnd; ++j) {
                for (int i = a; i <= aEnd; ++i) {
                    cap.Mark(i, j) = kCapMarkRectangle;
                }
            }
            rectangles->push_back({cap.face, a, aEnd + 1, b, bEnd + 1});
        }
    }
}

bool RayIsFullSpan(const DexelFamily& family, std::int64_t ray, double first, double last) {
    if (family.counts[ray] != 2) {
        return false;
    }
    const double* ends = DexelCellEnds(ray, family.capacity, family.counts, family.ends);
    return ends[0] == first && ends[1] == last;
}

// Every ray of the three families holds exactly the segment from its axis's first to its last
// node: an untouched box.
bool IsFullBox(const StockModel& model) {
    for (int f = 0; f < 3; ++f) {
        const DexelFamily& rays = FamilyOf(model, f);
        const double* nodes = NodesOf(model, f);
        const int n = NodeCountOf(model, f);
        for (std::int64_t r = 0; r < rays.cellCount; ++r) {
            if (!RayIsFullSpan(rays, r, nodes[0], nodes[n - 1])) {
                return false;
            }
        }
    }
    return true;
}

// Finds the cap rectangles of the six outer faces (Z faces, then Y, then X) and marks their
// cells. 0, or kMeshExtractionNoMemory.
int FindOuterCaps(const StockModel& model, const StockCapMarks& marks,
                  std::vector<CapRectangle>* rectangles) {
    std::int64_t largest = std::max({model.x.cellCount, model.y.cellCount, model.z.cellCount});
    auto firstEnds = AllocateZeroed<double>(largest);
    auto lastEnds = AllocateZeroed<double>(largest);
    auto firstFlags = AllocateZeroed<DexelEndFlag>(largest);
    auto lastFlags = AllocateZeroed<DexelEndFlag>(largest);
    if (!firstEnds || !lastEnds || !firstFlags || !lastFlags) {
        return kMeshExtractionNoMemory;
    }
    const DexelEndMap map = {firstEnds.get(), firstFlags.get(), lastEnds.get(), lastFlags.get()};
    try {
        for (int family : {2, 1, 0}) {
            CollectDexelEnds(model, family, map);
            const int a = (family + 1) % 3;
            const int b = (family + 2) % 3;
            const double* nodes = NodesOf(model, family);
            for (int side = 0; side < 2; ++side) {
                CapFace cap;
                cap.face = 2 * family + side;
                cap.na = NodeCountOf(model, a);
                cap.nb = NodeCountOf(model, b);
                cap.nodesA = NodesOf(model, a);
                cap.nodesB = NodesOf(model, b);
                cap.plane = side == 0 ? nodes[0] : nodes[NodeCountOf(model, family) - 1];
                cap.ends = side == 0 ? map.firstEnds : map.lastEnds;
                cap.marks = marks.faces[cap.face];
                FindCapRectangles(cap, rectangles);
            }
        }
    } catch (const std::bad_alloc&) {
        return kMeshExtractionNoMemory;
    }
    return 0;
}

// Adds the corners of the cap rectangles to the points of the outer planes (a corner on an
// edge of the grid lies on two planes). false when memory ran out.
bool AddCapCorners(const StockModel& model, const std::vector<CapRectangle>& rectangles,
                   OuterPlanePoints* points) {
    for (const CapRectangle& r : rectangles) {
        const int n = r.face / 2;
        const int axisA = (n + 1) % 3;
        const int axisB = (n + 2) % 3;
        for (int c = 0; c < 4; ++c) {
            double p[3];
            p[n] = points->planes[r.face];
            p[axisA] = NodesOf(model, axisA)[c == 1 || c == 2 ? r.a1 : r.a0];
            p[axisB] = NodesOf(model, axisB)[c >= 2 ? r.b1 : r.b0];
            if (!AddOuterPlanePoint(points, p)) {
                return false;
            }
        }
    }
    return true;
}

// Writes the cap rectangles in their order. Returns the facets written or a negative code.
std::int64_t EmitOuterCaps(const StockModel& model, const MeshTransform& transform,
                           const std::vector<CapRectangle>& rectangles,
                           const OuterPlanePoints& points, const FacetSink& sink) {
    std::vector<std::array<double, 3>> triangles;
    std::int64_t written = 0;
    for (const CapRectangle& r : rectangles) {
        const std::int64_t result = EmitCapRectangle(model, transform, points, r, &triangles, sink);
        if (result < 0) {
            return result;
        }
        written += result;
    }
    return written;
}

}  // namespace

// --- One cell -------------------------------------------------------------------------------

namespace {

// Whether the edge of `family` from node (its low end) to the next node along the family's axis
// is empty, read by the node rule.
bool EdgeIsEmpty(const StockModel& model, const NodeSnap snaps[3], int family, const int node[3]) {
    const NodeSnap& snap = snaps[family];
    CellEdgeCase edge;
    ClassifyCellEdge(FamilyOf(model, family), RayThroughNode(model, family, node),
                     snap.nodes[node[family]], snap.nodes[node[family] + 1], &edge, &snap);
    return edge.code == 0;
}

}  // namespace

// An island (code 9: material strictly between two nodes, both nodes void) is seen by the one
// ray that holds it. Each of the four cell faces around its edge builds the island's outline
// only when one of the face's other three edges holds material, so when one of those faces has
// none, the cells around the edge would disagree about it and leave a hole. Such an island is
// not represented, like a gap strictly between two nodes, by every cell around the edge alike.
// node is the edge's low node.
bool IslandHasEmptyFace(const StockModel& model, const NodeSnap snaps[3], int axis,
                        const int node[3]) {
    const int count[3] = {model.nx, model.ny, model.nz};
    for (int turn = 1; turn <= 2; ++turn) {
        const int side = (axis + turn) % 3;  // the face's other axis
        for (int step : {-1, 1}) {
            int far[3] = {node[0], node[1], node[2]};  // the parallel edge's low node
            far[side] += step;
            if (far[side] < 0 || far[side] >= count[side]) {
                continue;  // no face beyond the grid
            }
            int across[3] = {node[0], node[1], node[2]};  // the low node of the side edges
            across[side] = std::min(node[side], far[side]);
            int acrossHigh[3] = {across[0], across[1], across[2]};
            acrossHigh[axis] += 1;
            if (EdgeIsEmpty(model, snaps, axis, far) && EdgeIsEmpty(model, snaps, side, across) &&
                EdgeIsEmpty(model, snaps, side, acrossHigh)) {
                return true;
            }
        }
    }
    return false;
}

namespace {

// Empties the island edges of a cell that IslandHasEmptyFace finds on an empty face. Returns
// whether an X edge of the cell still holds material.
bool KeepSeenIslands(const StockModel& model, const NodeSnap snaps[3], int ix, int iy, int iz,
                     CellEdgeCase edges[kCellEdgeCount]) {
    const int cellNode[3] = {ix, iy, iz};
    bool anyX = false;
    for (int edge = 0; edge < kCellEdgeCount; ++edge) {
        if (edges[edge].code == 9) {
            const int axis = CellEdgeAxis(edge);
            int d1 = 0, d2 = 0;
            CellEdgeOffsets(edge, &d1, &d2);  // along (x, y, z) without the edge's own axis
            int node[3] = {cellNode[0], cellNode[1], cellNode[2]};
            node[axis == 0 ? 1 : 0] += d1;
            node[axis == 2 ? 1 : 2] += d2;
            if (IslandHasEmptyFace(model, snaps, axis, node)) {
                edges[edge] = CellEdgeCase{};
            }
        }
        anyX = anyX || (edge <= kEdgeX11 && edges[edge].code != 0);
    }
    return anyX;
}

}  // namespace

int AnalyseStockCell(const StockModel& model, const StockCapMarks& marks, int ix, int iy, int iz,
                     int allInsideSkip, int outFaceFlags[6], CellSegmentList* segments,
                     CellPatternMemo* memo) {
    segments->count = 0;
    segments->overflow = 0;
    segments->model = &model;
    segments->marks = &marks;
    segments->cell[0] = ix;
    segments->cell[1] = iy;
    segments->cell[2] = iz;
    const double low[3] = {model.nodesX[ix], model.nodesY[iy], model.nodesZ[iz]};
    const double high[3] = {model.nodesX[ix + 1], model.nodesY[iy + 1], model.nodesZ[iz + 1]};
    const std::int64_t nx = model.nx, ny = model.ny, nz = model.nz;
    const NodeSnap snaps[3] = {MakeNodeSnap(model, 0), MakeNodeSnap(model, 1),
                               MakeNodeSnap(model, 2)};
    CellEdgeCase edges[kCellEdgeCount];
    int allZero = 1;
    bool islands = false;
    for (int edge = kEdgeX00; edge <= kEdgeX11; ++edge) {
        int dy = 0, dz = 0;
        CellEdgeOffsets(edge, &dy, &dz);
        ClassifyCellEdge(model.x, (iz + dz) * ny + (iy + dy), low[0], high[0], &edges[edge],
                         &snaps[0]);
        allZero = allZero && edges[edge].code == 0;
        islands = islands || edges[edge].code == 9;
    }
    if (allZero) {
        return 0;
    }
    for (int edge = kEdgeY00; edge <= kEdgeY11; ++edge) {
        int dx = 0, dz = 0;
        CellEdgeOffsets(edge, &dx, &dz);
        ClassifyCellEdge(model.y, (ix + dx) * nz + (iz + dz), low[1], high[1], &edges[edge],
                         &snaps[1]);
        islands = islands || edges[edge].code == 9;
    }
    for (int edge = kEdgeZ00; edge <= kEdgeZ11; ++edge) {
        int dx = 0, dy = 0;
        CellEdgeOffsets(edge, &dx, &dy);
        ClassifyCellEdge(model.z, (iy + dy) * nx + (ix + dx), low[2], high[2], &edges[edge],
                         &snaps[2]);
        islands = islands || edges[edge].code == 9;
    }
    if (islands && !KeepSeenIslands(model, snaps, ix, iy, iz, edges)) {
        return 0;  // no X edge holds material any more
    }
    AddZeroWidthTouches(edges, low, high);
    // Only touches on all four edges of one axis: nothing of the cell's interior is material.
    for (int axis = 0; axis < 3; ++axis) {
        const CellEdgeCase* e = &edges[4 * axis];
        for (int touch : {10, 11}) {
            if (e[0].code == touch && e[1].code == touch && e[2].code == touch &&
                e[3].code == touch) {
                return 0;
            }
        }
    }
    if (allInsideSkip) {
        bool allFull = true;
        for (const CellEdgeCase& e : edges) {
            allFull = allFull && e.code == 1;
        }
        if (allFull) {
            return 0;  // no node can trigger a merge, and no code exceeds 1
        }
    }
    MergeCellCorners(edges, low, high);
    int ends = 0;
    bool aboveFull = false;
    for (const CellEdgeCase& e : edges) {
        ends += e.count;
        aboveFull = aboveFull || e.code > 1;
    }
    if (!aboveFull || ends < 3) {
        return 0;
    }
    GetCellBoundaryFlags(model, ix, iy, iz, marks, outFaceFlags);
    std::uint64_t pattern = 0;
    std::uint64_t slot = 0;
    if (memo != nullptr) {
        for (const CellEdgeCase& e : edges) {
            pattern = (pattern << 4) | static_cast<std::uint64_t>(e.code);
        }
        for (int face = 0; face < 6; ++face) {
            pattern = (pattern << 1) | (outFaceFlags[face] != 0 ? 1u : 0u);
        }
        slot = (pattern * 0x9E3779B97F4A7C15ull) >> 52;  // 12 bits: kCellPatternMemoSize
        if (memo->keys[slot] == pattern + 1 && memo->silent[slot]) {
            return 0;
        }
    }
    for (int face = 0; face < 6; ++face) {
        const int* faceEdges = kCellFaceEdges[face];
        if (edges[faceEdges[0]].code > 0 || edges[faceEdges[1]].code > 0 ||
            edges[faceEdges[2]].code > 0 || edges[faceEdges[3]].code > 0) {
            BuildDexelCellEdges(face, low, high, outFaceFlags, edges, segments);
        }
    }
    if (memo != nullptr) {
        bool silent = segments->overflow == 0;
        for (int i = 0; i < segments->count && silent; ++i) {
            const int id = segments->segments[i].id;
            silent = id < 10 && outFaceFlags[id] != 0;  // dropped on a capped face
        }
        memo->keys[slot] = pattern + 1;
        memo->silent[slot] = silent ? 1 : 0;
    }
    return segments->count > 2 ? 1 : 0;
}

namespace {

// A segment taking part in the loops of a cell: its points in the direction used.
struct LoopEdge {
    const double* from = {};
    const double* to = {};
    bool cornerFrom = {};  // `from` is a face's sharp corner
};

// How a chaining ended.
enum class ChainEnd { AllClosed, LeftEdgeSegments, LeftCrossingSegments };

// Chains loops from the edges in list order: a loop starts at the first free edge and takes, each
// time, the first free edge after its start whose first point equals the loop's last point,
// until it returns to its first point. Closed loops of at least 3 points are written as fans,
// kept off the faces of the cell when its planes are given.
// Stops at the first chain that cannot be closed (its edges stay free) and tells whether the
// edges left free include a crossing one (crossing may be null: none is). Returns the facets
// written. used marks the edges consumed (in and out).
std::int64_t ChainLoops(const MeshTransform& transform, const LoopEdge* edges, const bool* crossing,
                        int count, bool* used, const FacetSink& sink, ChainEnd* end,
                        const CellFacePlanes* planes = nullptr) {
    *end = ChainEnd::AllClosed;
    std::int64_t written = 0;
    int chain[kMaxCellSegments];
    const double* points[kMaxCellSegments];
    for (;;) {
        int start = 0;
        while (start < count && used[start]) {
            ++start;
        }
        if (start == count) {
            return written;
        }
        int length = 0;
        chain[length++] = start;
        used[start] = true;
        const double* first = edges[start].from;
        const double* last = edges[start].to;
        while (!SamePoint(last, first)) {
            int next = start + 1;
            while (next < count && (used[next] || !SamePoint(edges[next].from, last))) {
                ++next;
            }
            if (next == count) {
                break;
            }
            chain[length++] = next;
            used[next] = true;
            last = edges[next].to;
        }
        if (!SamePoint(last, first)) {
            for (int i = 0; i < length; ++i) {
                used[chain[i]] = false;  // given back
            }
            *end = ChainEnd::LeftEdgeSegments;
            for (int i = 0; i < count && crossing != nullptr; ++i) {
                if (!used[i] && crossing[i]) {
                    *end = ChainEnd::LeftCrossingSegments;
                }
            }
            return written;
        }
        if (length >= 3) {
            // A loop that turns at a face's sharp corner folds there from one plane into the
            // other: the fan goes from that corner, so that its triangles lie in the planes.
            int apex = 0;
            while (apex < length && !edges[chain[apex]].cornerFrom) {
                ++apex;
            }
            apex = apex == length ? 0 : apex;
            for (int i = 0; i < length; ++i) {
                points[i] = edges[chain[(apex + i) % length]].from;
            }
            const std::int64_t result = EmitFan(transform, points, length, sink, planes);
            if (result < 0) {
                return result;
            }
            written += result;
        }
    }
}

// The fallback of a cell whose loops cannot all be closed: the free edges are chained as far as
// they go both ways (from the first free edge, taking at each end the first free edge that
// continues the chain), and every chain that holds a crossing edge is closed by the straight way
// from its last point back to its first and written as a fan, so that its crossing edges are
// not left out. Chains of edge segments alone are left to the neighbour cells that build them.
// With the cell's planes, a chain that lies wholly in one face plane is not closed either: the
// straight way back would lay a wall on the node plane that the cells beside already meet
// (a sheet that the hole closure would then cover with its reverse); what stays open there is
// the hole closure's.
std::int64_t CloseOpenChains(const MeshTransform& transform, const LoopEdge* edges,
                             const bool* crossing, int count, bool* used, const FacetSink& sink,
                             const CellFacePlanes* planes) {
    std::int64_t written = 0;
    // The chain's points grow both ways from the middle of the buffer.
    const double* buffer[2 * kMaxCellSegments + 2];
    for (int start = 0; start < count; ++start) {
        if (used[start]) {
            continue;
        }
        used[start] = true;
        bool holdsCrossing = crossing[start];
        int first = kMaxCellSegments;
        int end = first;  // one past the last point
        buffer[end++] = edges[start].from;
        buffer[end++] = edges[start].to;
        for (bool grown = true; grown && !SamePoint(buffer[end - 1], buffer[first]);) {
            grown = false;
            for (int i = 0; i < count; ++i) {
                if (used[i]) {
                    continue;
                }
                if (SamePoint(edges[i].from, buffer[end - 1])) {
                    buffer[end++] = edges[i].to;
                } else if (SamePoint(edges[i].to, buffer[first])) {
                    buffer[--first] = edges[i].from;
                } else {
                    continue;
                }
                used[i] = true;
                holdsCrossing = holdsCrossing || crossing[i];
                grown = true;
                break;
            }
        }
        if (SamePoint(buffer[end - 1], buffer[first])) {
            --end;  // closed after all: the first point is not repeated
        }
        const bool inFacePlane =
            planes != nullptr && LoopOnOneFacePlane(*planes, buffer + first, end - first);
        if (holdsCrossing && end - first >= 3 && !inFacePlane) {
            const std::int64_t result = EmitFan(transform, buffer + first, end - first, sink);
            if (result < 0) {
                return result;
            }
            written += result;
        }
    }
    return written;
}

// Whether the segments (indices into s) close into loops: as many start at each point as end
// there, so chaining them leaves none over.
bool SegmentsCloseIntoLoops(const CellFaceSegment* s, const int* member, int n) {
    for (int k = 0; k < n; ++k) {
        const double* point = s[member[k]].from;
        int balance = 0;
        for (int m = 0; m < n; ++m) {
            balance += SamePoint(s[member[m]].from, point) ? 1 : 0;
            balance -= SamePoint(s[member[m]].to, point) ? 1 : 0;
        }
        if (balance != 0) {
            return false;
        }
    }
    return true;
}

// The kept segments of face g's in-plane polygon (tagged g or g + 10) into member; their count.
int FaceGroup(const CellFaceSegment* s, int count, const bool* kept, int g, int* member) {
    int n = 0;
    for (int i = 0; i < count; ++i) {
        if (kept[i] && (s[i].id == g || s[i].id == g + 10)) {
            member[n++] = i;
        }
    }
    return n;
}

// The segment that retraces edge segment i (tagged with face g) in the cell loops: a crossing
// segment of another face running the same way (the loops take crossings reversed), else an
// edge segment of another tag running the other way whose own face polygon does not close
// (closedFace, per face): one that closes is written with its face, never in the cell loops, as
// where a tool touches a stock face at a node beside a corner and the cell holds material on
// both faces of the corner. -1 when there is none free.
int FindRetracing(const CellFaceSegment* s, int count, const bool* kept, const bool* matched, int i,
                  int g, const bool closedFace[6]) {
    for (int j = 0; j < count; ++j) {
        if (kept[j] && !matched[j] && s[j].id >= 10 && s[j].id != g + 10 &&
            SamePoint(s[j].from, s[i].from) && SamePoint(s[j].to, s[i].to)) {
            return j;
        }
    }
    for (int j = 0; j < count; ++j) {
        if (kept[j] && !matched[j] && s[j].id < 10 && s[j].id != g && !closedFace[s[j].id] &&
            SamePoint(s[j].from, s[i].to) && SamePoint(s[j].to, s[i].from)) {
            return j;
        }
    }
    return -1;
}

// Whether the cell loops can still close through every point that the chains of the kept
// crossing segments reach: at each, the loops' segments (crossings reversed, edge segments as
// they run) leave at least as often as they arrive. The chains go on along edge segments, so
// the points reached are the crossings' own and those at the far end of edge segments leaving a
// point reached. A crossing chain that ends where nothing leaves would be closed by the
// fallback instead, across the wall that was to be left out.
bool CrossingsCanClose(const CellFaceSegment* s, int count, const bool* kept) {
    const auto loopFrom = [&](int k) { return s[k].id >= 10 ? s[k].to : s[k].from; };
    const auto loopTo = [&](int k) { return s[k].id >= 10 ? s[k].from : s[k].to; };
    const double* reached[2 * kMaxCellSegments];
    int n = 0;
    const auto reach = [&](const double* point) {
        for (int i = 0; i < n; ++i) {
            if (SamePoint(reached[i], point)) {
                return;
            }
        }
        reached[n++] = point;
    };
    for (int j = 0; j < count; ++j) {
        if (kept[j] && s[j].id >= 10) {
            reach(s[j].from);
            reach(s[j].to);
        }
    }
    for (int i = 0; i < n; ++i) {
        int balance = 0;
        for (int k = 0; k < count; ++k) {
            if (!kept[k]) {
                continue;
            }
            if (SamePoint(loopFrom(k), reached[i])) {
                ++balance;
                reach(loopTo(k));
            }
            balance -= SamePoint(loopTo(k), reached[i]) ? 1 : 0;
        }
        if (balance < 0) {
            return false;
        }
    }
    return true;
}

// A wall on a node plane that the cell only borders: the face's in-plane polygon (its edge
// segments tagged with the face, from the cell's other faces, and its own crossing segments) is
// retraced segment for segment by crossing segments of the cell, each lying on the face's
// outline. The face polygon and the cell loop those crossings close would be each other's
// reverse, a sheet of no thickness on top of the wall that the cell on the other side builds:
// both are left out (not kept), which changes no edge's balance. Members are matched to distinct
// segments: a crossing of the face itself to itself, an edge segment to what retraces it.
void DropBorderedWalls(const CellFaceSegment* s, int count, bool* kept) {
    bool closedFace[6] = {};
    for (int g = 0; g < 6; ++g) {
        int member[kMaxCellSegments];
        const int n = FaceGroup(s, count, kept, g, member);
        closedFace[g] = n >= 3 && SegmentsCloseIntoLoops(s, member, n);
    }
    for (int g = 0; g < 6; ++g) {
        int member[kMaxCellSegments];
        const int n = FaceGroup(s, count, kept, g, member);
        if (n < 3 || !SegmentsCloseIntoLoops(s, member, n)) {
            continue;
        }
        bool matched[kMaxCellSegments] = {};
        bool all = true;
        for (int k = 0; k < n && all; ++k) {
            const int i = member[k];
            if (s[i].id == g + 10) {
                matched[i] = true;
                continue;
            }
            const int j = FindRetracing(s, count, kept, matched, i, g, closedFace);
            all = j >= 0;
            if (all) {
                matched[i] = true;
                matched[j] = true;
            }
        }
        if (!all) {
            continue;
        }
        bool left[kMaxCellSegments];
        for (int i = 0; i < count; ++i) {
            left[i] = kept[i] && !matched[i];
        }
        if (CrossingsCanClose(s, count, left)) {
            std::copy(left, left + count, kept);
        }
    }
}

// The face g (0 to 5) on which every kept segment lies (tagged g or g + 10), with a crossing
// among them and closing into loops: the cell holds a polygon of that face and nothing of its
// interior, a sheet of no thickness (a wall thinner than the pitch, seen by one family, whose
// material lies in the cell on the other side of the face). -1 when there is none.
int LoneFaceSheet(const CellFaceSegment* s, int count, const bool* kept) {
    int face = -1;
    bool anyCrossing = false;
    int member[kMaxCellSegments];
    int n = 0;
    for (int i = 0; i < count; ++i) {
        if (!kept[i]) {
            continue;
        }
        const int g = s[i].id % 10;
        if (face >= 0 && g != face) {
            return -1;
        }
        face = g;
        anyCrossing = anyCrossing || s[i].id >= 10;
        member[n++] = i;
    }
    return face >= 0 && anyCrossing && n >= 3 && SegmentsCloseIntoLoops(s, member, n) ? face : -1;
}

// Whether the segment lies in the plane of a face of the cell that a cap covers. The cap's outline
// runs through every point of the stock's outer plane, so a crossing that the rays leave a hair
// inside a capped face (its corners' rays reach the plane, an edge of it does not quite) is
// covered by the cap already, and so is a crossing of a side face that runs along its edge there;
// the cells beside it meet the cap's outline.
bool OnCappedPlane(const StockModel* model, const int cell[3], const int faceFlags[6],
                   const CellFaceSegment& s) {
    if (model == nullptr) {
        return false;
    }
    for (int face = 0; face < 6; ++face) {
        if (faceFlags[face] != 0) {
            const int axis = face / 2;
            const double plane = NodesOf(*model, axis)[cell[axis] + (face & 1)];
            if (s.from[axis] == plane && s.to[axis] == plane) {
                return true;
            }
        }
    }
    return false;
}

// The segments of a cell that take part in its surface: not of zero length, not on a face that a
// cap covers (nor crossings in its plane), and without the walls that the cell only borders
// (DropBorderedWalls). A cell that holds only a sheet on one face (LoneFaceSheet) keeps nothing:
// the cell on the other side of that face builds it, with the material behind it.
void KeepCellSegments(const int faceFlags[6], const CellSegmentList& segments, int count,
                      bool* kept) {
    const CellFaceSegment* s = segments.segments;
    for (int i = 0; i < count; ++i) {
        kept[i] = !SamePoint(s[i].from, s[i].to) && !(s[i].id < 10 && faceFlags[s[i].id] != 0) &&
                  !(s[i].id >= 10 && OnCappedPlane(segments.model, segments.cell, faceFlags, s[i]));
    }
    DropBorderedWalls(s, count, kept);
    if (LoneFaceSheet(s, count, kept) >= 0) {
        std::fill(kept, kept + count, false);
    }
}

// Whether the in-plane polygon of face g (its members in a) is, segment for segment, the
// reverse of the polygon of the same face that the cell on its other side builds (face g ^ 1,
// members in b).
bool ReversedGroups(const CellFaceSegment* a, const int* aMember, int an, const CellFaceSegment* b,
                    const int* bMember, int bn) {
    if (an != bn) {
        return false;
    }
    bool taken[kMaxCellSegments] = {};
    for (int k = 0; k < an; ++k) {
        const CellFaceSegment& x = a[aMember[k]];
        bool found = false;
        for (int m = 0; m < bn && !found; ++m) {
            const CellFaceSegment& y = b[bMember[m]];
            found = !taken[m] && SamePoint(x.from, y.to) && SamePoint(x.to, y.from);
            taken[m] = taken[m] || found;
        }
        if (!found) {
            return false;
        }
    }
    return true;
}

// Whether the cell on the other side of face g builds no polygon of that face (its face g ^ 1
// group, members in b, does not close) but keeps, for its loops, the reverse of every crossing
// of this cell's polygon of face g (members in a): its material lies behind the whole polygon,
// and the two cells' loops meet each other along those crossings, so the polygon would be a
// sheet inside the material that only a hole's fill could meet, with its reverse. Happens where
// a ray ends on a node that the other two rays through it pass a hair beyond: the cell on one
// side reads a wall on the node plane, the cell on the other side material against it.
bool CrossingsMetInLoops(const CellFaceSegment* a, const int* aMember, int an,
                         const CellFaceSegment* b, const int* bMember, int bn) {
    if (bn >= 3 && SegmentsCloseIntoLoops(b, bMember, bn)) {
        return false;
    }
    for (int k = 0; k < an; ++k) {
        const CellFaceSegment& x = a[aMember[k]];
        bool found = x.id < 10;
        for (int m = 0; m < bn && !found; ++m) {
            const CellFaceSegment& y = b[bMember[m]];
            found = y.id >= 10 && SamePoint(x.from, y.to) && SamePoint(x.to, y.from);
        }
        if (!found) {
            return false;
        }
    }
    return true;
}

// Marks the faces of the cell whose in-plane polygon (with a crossing among its segments) the
// cell on the other side of the face builds too, the other way round: material of a wall
// thinner than the pitch lies on both sides, and each cell closes its piece with that polygon.
// Both cells leave it out (the two pieces join there); their crossings stay in their loops and
// meet each other. A polygon whose crossings the other cell's loops meet without a polygon of
// its own (CrossingsMetInLoops) is left out by this cell alone.
void FindSharedFacePolygons(const CellSegmentList& segments, const bool* kept, bool silent[6]) {
    const StockModel& model = *segments.model;
    const int count = std::min(segments.count, kMaxCellSegments);
    const CellFaceSegment* s = segments.segments;
    const int nodes[3] = {model.nx, model.ny, model.nz};
    std::unique_ptr<CellSegmentList> other;
    for (int g = 0; g < 6; ++g) {
        int member[kMaxCellSegments];
        const int n = FaceGroup(s, count, kept, g, member);
        bool crossing = false;
        for (int k = 0; k < n; ++k) {
            crossing = crossing || s[member[k]].id >= 10;
        }
        if (n < 3 || !crossing || !SegmentsCloseIntoLoops(s, member, n)) {
            continue;
        }
        int cell[3] = {segments.cell[0], segments.cell[1], segments.cell[2]};
        const int axis = g / 2;
        cell[axis] += (g & 1) ? 1 : -1;
        if (cell[axis] < 0 || cell[axis] + 1 >= nodes[axis]) {
            continue;  // an outer face
        }
        if (!other) {
            other.reset(new (std::nothrow) CellSegmentList());
            if (!other) {
                return;
            }
        }
        int flags[6];
        if (!AnalyseStockCell(model, *segments.marks, cell[0], cell[1], cell[2], 1, flags,
                              other.get())) {
            continue;
        }
        const int otherCount = std::min(other->count, kMaxCellSegments);
        bool otherKept[kMaxCellSegments];
        KeepCellSegments(flags, *other, otherCount, otherKept);
        int otherMember[kMaxCellSegments];
        const int on = FaceGroup(other->segments, otherCount, otherKept, g ^ 1, otherMember);
        silent[g] = ReversedGroups(s, member, n, other->segments, otherMember, on) ||
                    CrossingsMetInLoops(s, member, n, other->segments, otherMember, on);
    }
}

}  // namespace

std::int64_t EmitDexelFaceTriangles(const MeshTransform& transform, const int faceFlags[6],
                                    const CellSegmentList& segments, const FacetSink& sink,
                                    MeshExtractionStats* stats) {
    const int count = std::min(segments.count, kMaxCellSegments);
    const CellFaceSegment* s = segments.segments;
    // 1. The segments that take part (KeepCellSegments), and the face polygons that the
    // neighbour cells build too.
    bool kept[kMaxCellSegments];
    KeepCellSegments(faceFlags, segments, count, kept);
    bool silent[6] = {};
    if (segments.model != nullptr && segments.marks != nullptr) {
        FindSharedFacePolygons(segments, kept, silent);
    }
    std::int64_t written = 0;
    bool usedInFace[kMaxCellSegments] = {};
    // 2. Polygons in the plane of a face, from its edge-tagged and crossing segments; a polygon
    // that the cell on the other side builds too is chained but not written.
    const FacetSink nothing = {[](void*, const MeshFacet&) { return 0; }, nullptr};
    for (int g = 0; g < 6; ++g) {
        LoopEdge group[kMaxCellSegments];
        int member[kMaxCellSegments];
        int n = 0;
        for (int i = 0; i < count; ++i) {
            if (kept[i] && (s[i].id == g || s[i].id == g + 10)) {
                group[n] = {s[i].from, s[i].to};
                member[n++] = i;
            }
        }
        if (n < 3) {
            continue;
        }
        bool used[kMaxCellSegments] = {};
        ChainEnd end = ChainEnd::AllClosed;
        const std::int64_t result =
            ChainLoops(transform, group, nullptr, n, used, silent[g] ? nothing : sink, &end);
        if (result < 0) {
            return result;
        }
        written += result;
        if (end != ChainEnd::AllClosed && stats != nullptr) {
            ++stats->unclosedFaceChains;
        }
        for (int k = 0; k < n; ++k) {
            usedInFace[member[k]] = used[k];
        }
    }
    // 3. Cell loops: every kept crossing segment reversed, then the edge segments no face
    // polygon used; pairs of crossing segments that are each other's reverse cancel.
    LoopEdge gathered[kMaxCellSegments];
    bool crossing[kMaxCellSegments];
    int n = 0;
    for (int i = 0; i < count; ++i) {
        if (kept[i] && s[i].id >= 10) {
            crossing[n] = true;
            gathered[n++] = {s[i].to, s[i].from, (s[i].corner & 2) != 0};
        }
    }
    for (int i = 0; i < count; ++i) {
        if (kept[i] && s[i].id < 10 && !usedInFace[i]) {
            crossing[n] = false;
            gathered[n++] = {s[i].from, s[i].to};
        }
    }
    bool used[kMaxCellSegments] = {};
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n && crossing[i] && !used[i]; ++j) {
            if (crossing[j] && !used[j] && SamePoint(gathered[i].from, gathered[j].to) &&
                SamePoint(gathered[i].to, gathered[j].from)) {
                used[i] = true;
                used[j] = true;
            }
        }
    }
    // The cell's face planes, when the segments name their cell.
    CellFacePlanes planes;
    if (segments.model != nullptr) {
        for (int k = 0; k < 3; ++k) {
            const double* nodes = NodesOf(*segments.model, k);
            planes.low[k] = nodes[segments.cell[k]];
            planes.high[k] = nodes[segments.cell[k] + 1];
        }
    }
    ChainEnd end = ChainEnd::AllClosed;
    std::int64_t result = ChainLoops(transform, gathered, crossing, n, used, sink, &end,
                                     segments.model != nullptr ? &planes : nullptr);
    if (result < 0) {
        return result;
    }
    written += result;
    if (end == ChainEnd::LeftCrossingSegments) {
        result = CloseOpenChains(transform, gathered, crossing, n, used, sink,
                                 segments.model != nullptr ? &planes : nullptr);
        if (result < 0) {
            return result;
        }
        written += result;
        if (segments.model != nullptr && segments.marks != nullptr && !segments.noHoleClosure) {
            result = CloseFallbackHoles(*segments.model, *segments.marks, segments.cell, transform,
                                        sink, stats);
            if (result < 0) {
                return result;
            }
            written += result;
        }
    }
    if (stats != nullptr) {
        stats->fallbackCells += end == ChainEnd::LeftCrossingSegments ? 1 : 0;
        stats->leftoverEdgeChains += end == ChainEnd::LeftEdgeSegments ? 1 : 0;
    }
    return written;
}
// --- The whole surface ----------------------------------------------------------------------

namespace {

bool ModelHasGrid(const StockModel& model) {
    return model.nx >= 2 && model.ny >= 2 && model.nz >= 2 && model.nodesX != nullptr &&
           model.nodesY != nullptr && model.nodesZ != nullptr && model.x.counts != nullptr &&
           model.y.counts != nullptr && model.z.counts != nullptr && model.pitch > 0.0;
}

}  // namespace

std::int64_t ExtractStockMesh(const StockModel& model, const FacetSink& sink,
                              const MeshExtractionOptions& options, MeshExtractionStats* stats) {
    MeshExtractionStats local;
    MeshExtractionStats* counters = stats != nullptr ? stats : &local;
    *counters = MeshExtractionStats{};
    if (!ModelHasGrid(model) || sink.write == nullptr) {
        return kMeshExtractionNoModel;
    }
    MeshTransform transform;
    SetMeshTransform(model.frame, &transform);

    std::unique_ptr<std::uint8_t[]> markArrays[6];
    StockCapMarks marks;
    for (int face = 0; face < 6; ++face) {
        markArrays[face] = AllocateZeroed<std::uint8_t>(FamilyOf(model, face / 2).cellCount);
        if (!markArrays[face]) {
            return kMeshExtractionNoMemory;
        }
        marks.faces[face] = markArrays[face].get();
    }
    std::vector<CapRectangle> rectangles;
    if (FindOuterCaps(model, marks, &rectangles) < 0) {
        return kMeshExtractionNoMemory;
    }
    OuterPlanePoints points;
    InitOuterPlanePoints(model, &points);
    if (!AddCapCorners(model, rectangles, &points)) {
        return kMeshExtractionNoMemory;
    }
    std::int64_t cells = 0;
    if (!(rectangles.size() == 6 && IsFullBox(model))) {
        cells = WriteStockCellSurfaces(model, marks, transform, options, sink, &points, counters);
        if (cells < 0) {
            return cells;
        }
    }
    counters->cellFacets = cells;
    if (!FinishOuterPlanePoints(&points)) {
        return kMeshExtractionNoMemory;
    }
    const std::int64_t caps = EmitOuterCaps(model, transform, rectangles, points, sink);
    if (caps < 0) {
        return caps;
    }
    counters->capFacets = caps;
    return caps + cells;
}

}  // namespace mirexa
