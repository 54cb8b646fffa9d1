// The stock's display lists: per-block surface meshes, the style list, the basic shape, and the
// message pump of a rebuild.
#include "view/stock_display.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <vector>

#include "config/config_records.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "services/shared_state.h"
#include "view/camera.h"
#include "view/driver_memory.h"
#include "view/gl_colors.h"
#include "view/machine_lists.h"
#include "view/view_hooks.h"

namespace mirexa {

std::atomic<int> StockRebuildActive{0};
StyleListRecord StyleListState[kStockModelSlots];

namespace {

// --- Small helpers ---------------------------------------------------------------------------

// The three axes of a grid: per axis (0 x, 1 y, 2 z) the ray family along it, its node
// coordinates and its node count.
struct GridAxes {
    const DexelFamily* family[3] = {};
    const double* nodes[3] = {};
    int count[3] = {};
    explicit GridAxes(const StockModel& model)
        : family{&model.x, &model.y, &model.z},
          nodes{model.nodesX, model.nodesY, model.nodesZ},
          count{model.nx, model.ny, model.nz} {}
};

bool ModelHasGrid(const StockModel& model) {
    return model.nx >= 2 && model.ny >= 2 && model.nz >= 2 && model.nodesX != nullptr &&
           model.nodesY != nullptr && model.nodesZ != nullptr && model.x.counts != nullptr &&
           model.y.counts != nullptr && model.z.counts != nullptr;
}

// A grid point (mm) placed by the frame and divided by the display unit.
void TransformDisplayPoint(const MeshTransform& transform, double p[3]) {
    TransformMeshPoint(transform, p);
    for (int i = 0; i < 3; ++i) {
        p[i] /= DisplayUnitFactor;
    }
}

void Emit(DexelMeshBuffers* b, const DexelMeshPrimitive& primitive) {
    if (!b->opened) {
        b->opened = 1;
        if (b->output.open != nullptr) {
            b->output.open(b->output.context, b->listName, b->wireFrame);
        }
    }
    if (b->output.primitive != nullptr) {
        b->output.primitive(b->output.context, primitive);
    }
    ++b->primitives;
}

// Emits a triangle of grid points (mm) with their flags, turned the right way for a mirrored
// frame. A triangle of zero area is left out, as the STL export leaves it out.
void EmitGridTriangle(DexelMeshBuffers* b, const double* const corners[3],
                      const DexelEndFlag flags[3]) {
    DexelMeshPrimitive t;
    t.vertexCount = 3;
    const int order[3] = {0, b->transform.mirrored ? 2 : 1, b->transform.mirrored ? 1 : 2};
    for (int v = 0; v < 3; ++v) {
        for (int c = 0; c < 3; ++c) {
            t.vertices[v][c] = corners[order[v]][c];
        }
        TransformDisplayPoint(b->transform, t.vertices[v]);
    }
    double e1[3], e2[3];
    for (int c = 0; c < 3; ++c) {
        e1[c] = t.vertices[1][c] - t.vertices[0][c];
        e2[c] = t.vertices[2][c] - t.vertices[0][c];
    }
    t.normal[0] = e1[1] * e2[2] - e1[2] * e2[1];
    t.normal[1] = e1[2] * e2[0] - e1[0] * e2[2];
    t.normal[2] = e1[0] * e2[1] - e1[1] * e2[0];
    if (t.normal[0] == 0.0 && t.normal[1] == 0.0 && t.normal[2] == 0.0) {
        return;
    }
    t.material = DexelTriangleMaterial(flags[0], flags[1], flags[2]);
    Emit(b, t);
}

// --- The OpenGL output -------------------------------------------------------------------------

struct GlMeshWriter {
    int wireFrame = {};
    int material = -2;  // -2 none yet
    int triangleOpen = {};
};
GlMeshWriter glWriter;

void GlOpen(void* context, std::uint32_t listName, int wireFrame) {
    auto* w = static_cast<GlMeshWriter*>(context);
    BeginSceneList(listName);
    w->wireFrame = wireFrame;
    w->material = -2;
    w->triangleOpen = 0;
}

void GlPrimitive(void* context, const DexelMeshPrimitive& p) {
    auto* w = static_cast<GlMeshWriter*>(context);
    const float* color = StockMaterialColor(p.material);
    if (w->wireFrame) {
        glColor3fv(color);
        glBegin(GL_LINE_LOOP);
        for (int v = 0; v < p.vertexCount; ++v) {
            glVertex3dv(p.vertices[v]);
        }
        glEnd();
        return;
    }
    if (p.material != w->material) {
        if (w->triangleOpen) {
            glEnd();
        }
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, color);
        glBegin(GL_TRIANGLES);
        w->triangleOpen = 1;
        w->material = p.material;
    }
    glNormal3dv(p.normal);
    for (int v = 0; v < p.vertexCount; ++v) {
        glVertex3dv(p.vertices[v]);
    }
}

void GlClose(void* context) {
    auto* w = static_cast<GlMeshWriter*>(context);
    if (w->triangleOpen) {
        glEnd();
        w->triangleOpen = 0;
    }
    glEndList();
}

// --- Messages held back during a rebuild -------------------------------------------------------

std::vector<WindowMessage> deferredMessages;
std::uint64_t lastPumpTick = 0;

// Paints, the end of the program, closing windows and the user's resizes (a resize changes the
// view's drawable) always wait. Commands and timers wait
// unless the view window says that they leave the stock alone: a command may free or change
// the stock, and the run timer may let the simulation thread cut on while the rebuild reads it.
bool MustWaitForRebuild(const WindowMessage& message) {
    if (message.message == WM_PAINT || message.message == WM_QUIT ||
        message.message == WM_DESTROY || message.message == WM_CLOSE ||
        message.message == WM_NATIVE_GEOMETRY) {
        return true;
    }
    if (ViewCallbacks.changesStock != nullptr) {
        return ViewCallbacks.changesStock(message) != 0;
    }
    return message.message == WM_COMMAND || message.message == WM_TIMER;
}

// Posts the held-back messages again, in their order.
void ReleaseDeferredMessages() {
    std::vector<WindowMessage> messages;
    messages.swap(deferredMessages);
    for (const WindowMessage& message : messages) {
        if (message.message == WM_QUIT) {
            PostLoopQuit(static_cast<int>(message.wparam));
        } else {
            PostWindowMessage(message.window, message.message, message.wparam, message.lparam);
        }
    }
}

// Marks a rebuild for the message pump and posts what it held back when the rebuild ends.
struct RebuildScope {
    RebuildScope() {
        StockRebuildActive = 1;
    }
    ~RebuildScope() {
        StockRebuildActive = 0;
        ReleaseDeferredMessages();
    }
    RebuildScope(const RebuildScope&) = delete;
    RebuildScope& operator=(const RebuildScope&) = delete;
};

// --- Candidate cells of a range -----------------------------------------------------------------

// The cells of a range that have a ray end on one of their edges, listed by their index
// (iz * cells y + iy) * cells x + ix within the range, so that sorting them gives the order
// z, then y, then x. A range without surface costs nothing.
struct RangeCells {
    int low[3] = {};
    int count[3] = {};  // cells per axis
    std::vector<std::int64_t> cells;

    // Lists the cells [c0, c1] on each axis, clipped to the range.
    void Mark(const int c0[3], const int c1[3]) {
        int lo[3], hi[3];
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::max(c0[a], low[a]);
            hi[a] = std::min(c1[a], low[a] + count[a] - 1);
            if (lo[a] > hi[a]) {
                return;
            }
        }
        for (int z = lo[2]; z <= hi[2]; ++z) {
            for (int y = lo[1]; y <= hi[1]; ++y) {
                for (int x = lo[0]; x <= hi[0]; ++x) {
                    cells.push_back(
                        (static_cast<std::int64_t>(z - low[2]) * count[1] + (y - low[1])) *
                            count[0] +
                        (x - low[0]));
                }
            }
        }
    }
    void SortUnique() {
        std::sort(cells.begin(), cells.end());
        cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    }
};

// The cells along an axis whose closed span holds v: k0..k1 (two when v is on an inner node).
bool SpansHoldingEnd(const double* nodes, int n, double v, int* k0, int* k1) {
    if (!(v >= nodes[0] && v <= nodes[n - 1])) {
        return false;
    }
    const double* upper = std::upper_bound(nodes, nodes + n, v);  // first node above v
    int k = static_cast<int>(upper - nodes) - 1;
    k = std::clamp(k, 0, n - 2);
    *k1 = k;
    *k0 = (v == nodes[k] && k > 0) ? k - 1 : k;
    return true;
}

// Lists the cells of the range next to every end of the rays of one family that run through it.
// An end on the grid's outer plane does not list a cell whose face there is under a cap: the
// cell is whole material up to that face, which the cap draws.
void MarkEndCells(const StockModel& model, const StockCapMarks& marks, int family,
                  RangeCells* cells) {
    const GridAxes grid(model);
    const DexelFamily& rays = *grid.family[family];
    const int a = (family + 1) % 3;  // the ray's node axes: X rays (y, z), Y (z, x), Z (x, y)
    const int b = (family + 2) % 3;
    const int na = grid.count[a];
    const int nb = grid.count[b];
    const double* nodes = grid.nodes[family];
    const int n = grid.count[family];
    const NodeSnap snap = MakeNodeSnap(model, family);  // the cells' reading of the ends
    const double rangeLow = nodes[cells->low[family]];
    const double rangeHigh = nodes[cells->low[family] + cells->count[family]];
    for (int ib = cells->low[b]; ib <= cells->low[b] + cells->count[b]; ++ib) {
        for (int ia = cells->low[a]; ia <= cells->low[a] + cells->count[a]; ++ia) {
            // Ray index: X iz * ny + iy, Y ix * nz + iz, Z iy * nx + ix, i.e. ib * na + ia.
            const std::int64_t r = static_cast<std::int64_t>(ib) * na + ia;
            const int count = rays.counts[r];
            if (count < 1) {
                continue;
            }
            const double* ends = DexelCellEnds(r, rays.capacity, rays.counts, rays.ends);
            for (int i = 0; i < count; ++i) {
                const double end = SnapToNode(snap, ends[i]);
                if (end < rangeLow || end > rangeHigh) {
                    continue;
                }
                int k0 = 0, k1 = 0;
                if (!SpansHoldingEnd(nodes, n, end, &k0, &k1)) {
                    continue;
                }
                int c0[3], c1[3];
                c0[family] = k0;
                c1[family] = k1;
                const int side = end == nodes[0] ? 0 : (end == nodes[n - 1] ? 1 : -1);
                if (side < 0) {
                    c0[a] = ia - 1;
                    c1[a] = ia;
                    c0[b] = ib - 1;
                    c1[b] = ib;
                    cells->Mark(c0, c1);
                    continue;
                }
                const std::uint8_t* capped = marks.faces[2 * family + side];
                for (int jb = ib - 1; jb <= ib; ++jb) {
                    for (int ja = ia - 1; ja <= ia; ++ja) {
                        if (ja < 0 || jb < 0 || ja > na - 2 || jb > nb - 2 ||
                            capped[static_cast<std::int64_t>(jb) * na + ja] == kCapMarkRectangle) {
                            continue;
                        }
                        c0[a] = c1[a] = ja;
                        c0[b] = c1[b] = jb;
                        cells->Mark(c0, c1);
                    }
                }
            }
        }
    }
}

// 1 when an X ray of the range has an interval overlapping the range along x (an interval that
// only touches the range's end node belongs to the neighbouring block).
bool RangeHoldsMaterial(const StockModel& model, const int low[3], const int high[3]) {
    const double xLow = model.nodesX[low[0]];
    const double xHigh = model.nodesX[high[0]];
    for (int iz = low[2]; iz <= high[2]; ++iz) {
        for (int iy = low[1]; iy <= high[1]; ++iy) {
            const std::int64_t r = static_cast<std::int64_t>(iz) * model.ny + iy;
            const int count = model.x.counts[r];
            const double* ends = DexelCellEnds(r, model.x.capacity, model.x.counts, model.x.ends);
            for (int i = 0; i + 1 < count; i += 2) {
                if (ends[i] < xHigh && ends[i + 1] > xLow) {
                    return true;
                }
            }
        }
    }
    return false;
}

// --- Facets of a cell back from the chaining ---------------------------------------------------

struct CellFacetContext {
    DexelMeshBuffers* buffers = {};
    const CellSegmentList* segments = {};
};

// The flag byte of a segment point at this position (the first one listed).
DexelEndFlag FlagAtPoint(const CellSegmentList& segments, const double p[3]) {
    const int count = std::min(segments.count, kMaxCellSegments);
    for (int i = 0; i < count; ++i) {
        const CellFaceSegment& s = segments.segments[i];
        if (s.from[0] == p[0] && s.from[1] == p[1] && s.from[2] == p[2]) {
            return s.fromFlag;
        }
        if (s.to[0] == p[0] && s.to[1] == p[1] && s.to[2] == p[2]) {
            return s.toFlag;
        }
    }
    return 0;
}

// The chaining writes facets in grid coordinates (an identity placement); each gets its flags
// back from the segment points it was made of.
int WriteCellFacet(void* context, const MeshFacet& facet) {
    auto* c = static_cast<CellFacetContext*>(context);
    const double* corners[3] = {facet.vertices[0], facet.vertices[1], facet.vertices[2]};
    DexelEndFlag flags[3];
    for (int v = 0; v < 3; ++v) {
        flags[v] = FlagAtPoint(*c->segments, facet.vertices[v]);
        // Noted for the cap rectangles, which take a vertex wherever a cell's lies on their
        // side; without memory they stay whole.
        c->buffers->planePointsHeld =
            c->buffers->planePointsHeld &&
            AddOuterPlanePoint(&c->buffers->planePoints, facet.vertices[v]);
    }
    EmitGridTriangle(c->buffers, corners, flags);
    return 1;
}

// --- Style lists ---------------------------------------------------------------------------------

void DrawFamilyEndPoints(const StockModel& model, int family, const float entry[3],
                         const float exit[3]) {
    const GridAxes grid(model);
    const DexelFamily& rays = *grid.family[family];
    if (rays.counts == nullptr) {
        return;
    }
    const int a = (family + 1) % 3;
    const int b = (family + 2) % 3;
    const int na = grid.count[a];
    const int nb = grid.count[b];
    const double* nodesA = grid.nodes[a];
    const double* nodesB = grid.nodes[b];
    MeshTransform transform;
    SetMeshTransform(model.frame, &transform);
    glBegin(GL_POINTS);
    for (int ib = 0; ib < nb; ++ib) {
        for (int ia = 0; ia < na; ++ia) {
            const std::int64_t r = static_cast<std::int64_t>(ib) * na + ia;
            const int count = rays.counts[r];
            const double* ends = DexelCellEnds(r, rays.capacity, rays.counts, rays.ends);
            for (int i = 0; i < count; ++i) {
                double p[3];
                p[family] = ends[i];
                p[a] = nodesA[ia];
                p[b] = nodesB[ib];
                TransformDisplayPoint(transform, p);
                glColor3fv(i % 2 == 0 ? entry : exit);
                glVertex3dv(p);
            }
        }
    }
    glEnd();
}

void BuildStyleList(const StockModel& model, int stockIndex, int style) {
    const std::uint32_t name = StyleListName(stockIndex);
    if (!BeginSceneList(name)) {
        return;
    }
    if (style >= kStockStyleXEndPoints && style <= kStockStyleAllEndPoints) {
        glPointSize(static_cast<float>(std::max(2.0, CurrentView.zoom * 0.5)));
        if (style == kStockStyleXEndPoints || style == kStockStyleAllEndPoints) {
            DrawXDexelEndPoints(model);
        }
        if (style == kStockStyleYEndPoints || style == kStockStyleAllEndPoints) {
            DrawYDexelEndPoints(model);
        }
        if (style == kStockStyleZEndPoints || style == kStockStyleAllEndPoints) {
            DrawZDexelEndPoints(model);
        }
        glPointSize(1.0f);  // the size belongs to this list only
    } else {
        DrawDiagnosticDexelLines(model);
    }
    EndSceneList();
}

}  // namespace

// --- Colours -------------------------------------------------------------------------------------

int DexelTriangleMaterial(DexelEndFlag f0, DexelEndFlag f1, DexelEndFlag f2) {
    if ((f0 & kDexelEndPainted) && (f1 & kDexelEndPainted) && (f2 & kDexelEndPainted)) {
        return kStockMaterialPaint;
    }
    const int p0 = f0 >> kDexelEndPenShift;
    const int p1 = f1 >> kDexelEndPenShift;
    const int p2 = f2 >> kDexelEndPenShift;
    if (p0 == 0 || p1 == 0 || p2 == 0) {
        return 0;
    }
    if (p0 == p1 || p0 == p2) {
        return p0;
    }
    return p1 == p2 ? p1 : 0;
}

int DexelRectangleMaterial(DexelEndFlag flag) {
    return (flag & kDexelEndPainted) ? kStockMaterialPaint : flag >> kDexelEndPenShift;
}

DexelMeshOutput GlDexelMeshOutput() {
    DexelMeshOutput output;
    output.context = &glWriter;
    output.open = GlOpen;
    output.primitive = GlPrimitive;
    output.close = GlClose;
    return output;
}

// --- Mesh state ----------------------------------------------------------------------------------

int PrepareDexelMeshBuffers(const StockModel& model, DexelMeshBuffers* buffers) {
    const GridAxes grid(model);
    FreeDexelMeshBuffers(buffers);
    if (!ModelHasGrid(model)) {
        return 0;
    }
    DexelMeshBuffers& b = *buffers;
    b.model = &model;
    SetMeshTransform(model.frame, &b.transform);
    for (int axis = 0; axis < 3; ++axis) {
        b.weld[axis] = MakeNodeSnap(model, axis);
    }
    for (int family = 0; family < 3; ++family) {
        const auto n = static_cast<std::size_t>(grid.family[family]->cellCount);
        for (int side = 0; side < 2; ++side) {
            const int k = 2 * family + side;
            b.endValues[k].reset(new (std::nothrow) double[n]());
            b.endFlags[k].reset(new (std::nothrow) DexelEndFlag[n]());
            b.markArrays[k].reset(new (std::nothrow) std::uint8_t[n]());
            if (!b.endValues[k] || !b.endFlags[k] || !b.markArrays[k]) {
                FreeDexelMeshBuffers(buffers);
                return 0;
            }
            b.marks.faces[k] = b.markArrays[k].get();
        }
        b.ends[family] = {b.endValues[2 * family].get(), b.endFlags[2 * family].get(),
                          b.endValues[2 * family + 1].get(), b.endFlags[2 * family + 1].get()};
        CollectDexelEnds(model, family, b.ends[family]);
    }
    b.memo.reset(new (std::nothrow) CellPatternMemo());
    if (!b.memo) {
        FreeDexelMeshBuffers(buffers);
        return 0;
    }
    return 1;
}

void FreeDexelMeshBuffers(DexelMeshBuffers* buffers) {
    *buffers = DexelMeshBuffers{};
}

// --- Outer faces ---------------------------------------------------------------------------------

void FindDexelBoundaryRectangles(DexelMeshBuffers* buffers, int face, const int low[3],
                                 const int high[3]) {
    DexelMeshBuffers& b = *buffers;
    const StockModel& model = *b.model;
    const GridAxes grid(model);
    const int n = face / 2;
    const int a = (n + 1) % 3;
    const int c = (n + 2) % 3;
    const bool maxFace = (face & 1) != 0;
    const int na = grid.count[a];
    const double plane = maxFace ? grid.nodes[n][grid.count[n] - 1] : grid.nodes[n][0];
    const double* ends = maxFace ? b.ends[n].lastEnds : b.ends[n].firstEnds;
    const DexelEndFlag* flags = maxFace ? b.ends[n].lastFlags : b.ends[n].firstFlags;
    std::uint8_t* marks = b.marks.faces[face];
    auto ray = [&](int i, int j) { return static_cast<std::int64_t>(j) * na + i; };
    auto onPlane = [&](int i, int j) { return ends[ray(i, j)] == plane; };
    auto cellOnPlane = [&](int i, int j) {
        return onPlane(i, j) && onPlane(i + 1, j) && onPlane(i, j + 1) && onPlane(i + 1, j + 1);
    };
    auto cellFlag = [&](int i, int j, DexelEndFlag f) {
        return flags[ray(i, j)] == f && flags[ray(i + 1, j)] == f && flags[ray(i, j + 1)] == f &&
               flags[ray(i + 1, j + 1)] == f;
    };
    for (int j = low[c]; j < high[c]; ++j) {
        for (int i = low[a]; i < high[a]; ++i) {
            std::uint8_t& mark = marks[ray(i, j)];
            if (mark != kCapMarkUnvisited) {
                continue;
            }
            const DexelEndFlag f = flags[ray(i, j)];
            if (!cellOnPlane(i, j) || !cellFlag(i, j, f)) {
                mark = kCapMarkNotCap;  // left to the cell analysis
                continue;
            }
            int iEnd = i;  // last cell column of the rectangle
            while (iEnd + 1 < high[a] && marks[ray(iEnd + 1, j)] == kCapMarkUnvisited &&
                   cellOnPlane(iEnd + 1, j) && cellFlag(iEnd + 1, j, f)) {
                ++iEnd;
            }
            int jEnd = j;  // last cell row
            while (jEnd + 1 < high[c]) {
                bool rowFits = true;
                for (int k = i; k <= iEnd && rowFits; ++k) {
                    rowFits = marks[ray(k, jEnd + 1)] == kCapMarkUnvisited &&
                              cellOnPlane(k, jEnd + 1) && cellFlag(k, jEnd + 1, f);
                }
                if (!rowFits) {
                    break;
                }
                ++jEnd;
            }
            for (int jj = j; jj <= jEnd; ++jj) {
                for (int ii = i; ii <= iEnd; ++ii) {
                    marks[ray(ii, jj)] = kCapMarkRectangle;
                }
            }
            DexelCapRectangle rectangle;
            rectangle.face = face;
            rectangle.a0 = i;
            rectangle.a1 = iEnd + 1;
            rectangle.b0 = j;
            rectangle.b1 = jEnd + 1;
            rectangle.material = DexelRectangleMaterial(f);
            b.rectangles.push_back(rectangle);
            // Its corners, on which the sides of other rectangles may end.
            for (int k = 0; k < 4; ++k) {
                double p[3];
                p[n] = plane;
                p[a] = grid.nodes[a][k == 1 || k == 2 ? rectangle.a1 : rectangle.a0];
                p[c] = grid.nodes[c][k >= 2 ? rectangle.b1 : rectangle.b0];
                b.planePointsHeld = b.planePointsHeld && AddOuterPlanePoint(&b.planePoints, p);
            }
        }
    }
}

void DrawDexelBoundaryRectangle(DexelMeshBuffers* buffers, const DexelCapRectangle& rectangle) {
    DexelMeshBuffers& b = *buffers;
    const GridAxes grid(*b.model);
    const int n = rectangle.face / 2;
    const int a = (n + 1) % 3;
    const int c = (n + 2) % 3;
    const bool maxFace = (rectangle.face & 1) != 0;
    double normal[3] = {0, 0, 0};
    normal[n] = maxFace ? 1.0 : -1.0;
    TransformMeshNormal(b.transform, normal);
    // (a, c, n) is right-handed: counter-clockwise in (a, c) faces +n; a mirrored frame turns
    // the order round again.
    const bool reverse = maxFace == (b.transform.mirrored != 0);
    const double a0 = grid.nodes[a][rectangle.a0];
    const double a1 = grid.nodes[a][rectangle.a1];
    const double c0 = grid.nodes[c][rectangle.b0];
    const double c1 = grid.nodes[c][rectangle.b1];
    std::vector<std::array<double, 3>>& triangles = b.capTriangles;
    if (!b.planePointsHeld ||
        !CapRectangleTriangles(b.planePoints, rectangle.face, a0, a1, c0, c1, &triangles)) {
        // Without memory for its outline, the rectangle as two triangles.
        const double corners[4][2] = {{a0, c0}, {a1, c0}, {a1, c1}, {a0, c1}};
        static const int kOrder[6] = {0, 1, 2, 0, 2, 3};
        triangles.assign(6, {});
        for (int v = 0; v < 6; ++v) {
            triangles[v][n] = b.planePoints.planes[rectangle.face];
            triangles[v][a] = corners[kOrder[v]][0];
            triangles[v][c] = corners[kOrder[v]][1];
        }
    }
    // Two triangles to a primitive: a rectangle without points on its sides is one.
    for (std::size_t first = 0; first < triangles.size(); first += 6) {
        DexelMeshPrimitive primitive;
        primitive.vertexCount =
            static_cast<int>(std::min<std::size_t>(6, triangles.size() - first));
        for (int v = 0; v < primitive.vertexCount; ++v) {
            const int corner = reverse && v % 3 > 0 ? v - v % 3 + 3 - v % 3 : v;
            for (int k = 0; k < 3; ++k) {
                primitive.vertices[v][k] = triangles[first + static_cast<std::size_t>(corner)][k];
            }
            TransformDisplayPoint(b.transform, primitive.vertices[v]);
        }
        for (int k = 0; k < 3; ++k) {
            primitive.normal[k] = normal[k];
        }
        primitive.material = rectangle.material;
        Emit(&b, primitive);
    }
}

// --- Block borders -------------------------------------------------------------------------------

namespace {

// Notes the points that the blocks on both sides of a block border may put on a line of outer
// face `face` running along that border: the line's nodes `from` to `to` along axis `along`
// (at node `acrossNode` of the face's other in-face axis) and the ends that the cells read in
// each span of the ray lying on it. Facets of cells have no other points on the line, and none
// of their edges along it passes over one of these. A rectangle side on the line takes them all,
// whichever block builds it, so that two blocks meet vertex for vertex however each cut its face
// into rectangles, and a block rebuilt alone stays conforming with its neighbours: both read
// the same ray.
void AddBlockBorderPoints(DexelMeshBuffers* buffers, int face, int along, int acrossNode, int from,
                          int to) {
    DexelMeshBuffers& b = *buffers;
    const StockModel& model = *b.model;
    const GridAxes grid(model);
    const int n = face / 2;
    const int across = 3 - n - along;
    int node[3];
    node[n] = (face & 1) ? grid.count[n] - 1 : 0;
    node[across] = acrossNode;
    node[along] = from;
    const int a = (along + 1) % 3;  // the ray's node axes (see RangeCells)
    const int c = (along + 2) % 3;
    const std::int64_t ray = static_cast<std::int64_t>(node[c]) * grid.count[a] + node[a];
    const NodeSnap snaps[3] = {MakeNodeSnap(model, 0), MakeNodeSnap(model, 1),
                               MakeNodeSnap(model, 2)};
    double p[3] = {grid.nodes[0][node[0]], grid.nodes[1][node[1]], grid.nodes[2][node[2]]};
    for (int k = from; k <= to && b.planePointsHeld; ++k) {
        p[along] = grid.nodes[along][k];
        b.planePointsHeld = AddOuterPlanePoint(&b.planePoints, p);
        if (k == to) {
            break;
        }
        CellEdgeCase edge;
        ClassifyCellEdge(*grid.family[along], ray, grid.nodes[along][k], grid.nodes[along][k + 1],
                         &edge, &snaps[along]);
        node[along] = k;
        if (edge.code == 9 && IslandHasEmptyFace(model, snaps, along, node)) {
            continue;  // the cells leave such an island out
        }
        for (int e = 0; e < edge.count && b.planePointsHeld; ++e) {
            p[along] = edge.ends[e];
            b.planePointsHeld = AddOuterPlanePoint(&b.planePoints, p);
        }
    }
}

// Notes the border points of every side of the rectangle that lies on a border between the
// block [low, high] and another block.
void AddRectangleBorderPoints(DexelMeshBuffers* buffers, const DexelCapRectangle& r,
                              const int low[3], const int high[3]) {
    const int n = r.face / 2;
    const int a = (n + 1) % 3;
    const int c = (n + 2) % 3;
    const int* last = buffers->model->lastNode;
    if (r.a0 == low[a] && low[a] > 0) {
        AddBlockBorderPoints(buffers, r.face, c, r.a0, r.b0, r.b1);
    }
    if (r.a1 == high[a] && high[a] < last[a]) {
        AddBlockBorderPoints(buffers, r.face, c, r.a1, r.b0, r.b1);
    }
    if (r.b0 == low[c] && low[c] > 0) {
        AddBlockBorderPoints(buffers, r.face, a, r.b0, r.a0, r.a1);
    }
    if (r.b1 == high[c] && high[c] < last[c]) {
        AddBlockBorderPoints(buffers, r.face, a, r.b1, r.a0, r.a1);
    }
}

}  // namespace

// --- Cells ---------------------------------------------------------------------------------------

void DrawDexelFacePolygons(DexelMeshBuffers* buffers, const int faceFlags[6],
                           const CellSegmentList& segments) {
    CellFacetContext context{buffers, &segments};
    const FacetSink sink{WriteCellFacet, &context};
    MeshTransform grid;  // grid coordinates: the flags are found by position
    grid.weld = buffers->weld;
    EmitDexelFaceTriangles(grid, faceFlags, segments, sink, nullptr);
}

int TriangulateDexelCells(DexelMeshBuffers* buffers, int wireFrame, int x0, int x1, int y0, int y1,
                          int z0, int z1, std::uint32_t listName, const DexelMeshOutput& output) {
    DexelMeshBuffers& b = *buffers;
    if (b.model == nullptr) {
        return -1;
    }
    const StockModel& model = *b.model;
    const int low[3] = {std::max(x0, 0), std::max(y0, 0), std::max(z0, 0)};
    const int high[3] = {std::min(x1, model.nx - 1), std::min(y1, model.ny - 1),
                         std::min(z1, model.nz - 1)};
    if (low[0] >= high[0] || low[1] >= high[1] || low[2] >= high[2]) {
        return -1;
    }
    // 1. A new list, opened when the first primitive comes.
    b.output = output;
    b.listName = listName;
    b.wireFrame = wireFrame;
    b.opened = 0;
    b.primitives = 0;
    const bool material = RangeHoldsMaterial(model, low, high);
    if (material) {
        // 2. Outer skins the range touches: bottom, top, y-min, y-max, x-min, x-max. Their
        // rectangles are found (and their cells marked) here, and drawn after the cells.
        static const int kFaceOrder[6] = {4, 5, 2, 3, 0, 1};
        b.rectangles.clear();
        InitOuterPlanePoints(model, &b.planePoints);
        b.planePointsHeld = true;
        try {
            for (int face : kFaceOrder) {
                const int axis = face / 2;
                const bool touches =
                    (face & 1) ? high[axis] == model.lastNode[axis] : low[axis] == 0;
                if (touches) {
                    FindDexelBoundaryRectangles(&b, face, low, high);
                }
            }
        } catch (const std::bad_alloc&) {
            b.rectangles.clear();  // no caps: the rest of the range is drawn
        }
        // 3-5. The cells with a ray end on an edge, z outer, then y, then x.
        RangeCells cells;
        for (int a = 0; a < 3; ++a) {
            cells.low[a] = low[a];
            cells.count[a] = high[a] - low[a];
        }
        bool listed = true;
        try {
            for (int family = 0; family < 3; ++family) {
                MarkEndCells(model, b.marks, family, &cells);
            }
            cells.SortUnique();
        } catch (const std::bad_alloc&) {
            listed = false;  // nothing of the cells is drawn; the caps stand
        }
        CellSegmentList segments;
        int faceFlags[6];
        std::int64_t lastRow = -1;
        for (std::size_t i = 0; listed && i < cells.cells.size(); ++i) {
            const std::int64_t index = cells.cells[i];
            const std::int64_t row = index / cells.count[0];
            if (row != lastRow && MessagePumpEnabled.load()) {
                PumpMessagesDuringStockRebuild();  // before every row of cells
            }
            lastRow = row;
            const int ix = low[0] + static_cast<int>(index % cells.count[0]);
            const int iy = low[1] + static_cast<int>(row % cells.count[1]);
            const int iz = low[2] + static_cast<int>(row / cells.count[1]);
            if (AnalyseStockCell(model, b.marks, ix, iy, iz, 1, faceFlags, &segments,
                                 b.memo.get())) {
                DrawDexelFacePolygons(&b, faceFlags, segments);
            }
        }
        // 6. The outer skins, their sides split at the cells' points on them and, for shaded
        // surfaces, on a border with another block at every point either block may have there
        // (a wire-frame shows no crack there, and its faces stay free of the fans' lines).
        for (std::size_t i = 0; i < b.rectangles.size() && !wireFrame; ++i) {
            AddRectangleBorderPoints(&b, b.rectangles[i], low, high);
        }
        b.planePointsHeld = b.planePointsHeld && FinishOuterPlanePoints(&b.planePoints);
        for (const DexelCapRectangle& rectangle : b.rectangles) {
            DrawDexelBoundaryRectangle(&b, rectangle);
        }
    }
    // 7. Close what was opened.
    if (b.opened && output.close != nullptr) {
        output.close(output.context);
    }
    b.output = DexelMeshOutput{};
    if (!material) {
        return -1;
    }
    return static_cast<int>(std::min<std::int64_t>(b.primitives, 0x7FFFFFFF));
}

// --- Lists of a stock ----------------------------------------------------------------------------

int BuildStockBlockLists(StockModel* model, StockListNameTable* table, int stockIndex,
                         int wireFrame, const DexelMeshOutput& output) {
    StockDisplayBlocks& blocks = model->blocks;
    const int slot = model->undo.currentSlot;
    if (table == nullptr || table->names == nullptr || blocks.dirty == nullptr ||
        blocks.listStates == nullptr || slot < 0 || slot >= table->rows ||
        slot >= blocks.listStateRows || stockIndex < 0 || stockIndex >= kStockModelSlots) {
        return 0;
    }
    // 1. Names and mesh state.
    const std::uint32_t nameBase = DefaultStockBlockListName(stockIndex, 0, 0);
    const std::size_t row = static_cast<std::size_t>(slot) * kStockBlockListRow;
    // The mesh state reads every ray of the stock: a run's redraw after steps that cut nothing
    // (no block dirty) leaves it unmade.
    const int listed = std::min(blocks.count, kStockBlockListRow);
    if (std::none_of(blocks.dirty, blocks.dirty + listed, [](std::uint8_t d) { return d != 0; })) {
        return 0;
    }
    // The driver ends the process where it runs out of memory while it compiles a list: a block
    // that might not fit with the reserve to spare gets no list (it is not drawn), and neither
    // does any block after it in this rebuild; they stay dirty, for a later rebuild with room.
    const std::uint64_t smallestList = kBlockTrianglesAtLeast * kListBytesPerTriangle;
    bool shortage = !DriverMemoryFits(smallestList);
    DexelMeshBuffers buffers;
    if (blocks.perAxis[2] < 1 || (!shortage && !PrepareDexelMeshBuffers(*model, &buffers))) {
        return 0;
    }
    const int highestRow = std::min(model->undo.highestUsedSlot, table->rows - 1);
    int rebuilt = 0;
    std::int64_t largest = 0;  // primitives of the largest block meshed so far
    // 2. Blocks with z outermost, then y, then x.
    int block = 0;
    for (int bz = 0; bz < blocks.perAxis[2]; ++bz) {
        for (int by = 0; by < blocks.perAxis[1]; ++by) {
            for (int bx = 0; bx < blocks.perAxis[0]; ++bx, ++block) {
                if (block >= kStockBlockListRow || blocks.dirty[block] == 0) {
                    continue;
                }
                // 3. A block that was found empty is never re-meshed.
                std::int32_t& content = blocks.listStates[row + block];
                if (content < 0) {
                    blocks.dirty[block] = 0;
                    continue;
                }
                // 4. A name no other undo slot's row holds for this block.
                std::uint32_t name = nameBase + static_cast<std::uint32_t>(block);
                for (int k = 0; k < kMaxStockUndoSlots; ++k) {
                    name = nameBase + static_cast<std::uint32_t>(k * kStockBlockListRow + block);
                    bool held = false;
                    for (int r = 0; r <= highestRow && !held; ++r) {
                        held = r != slot &&
                               table->names[static_cast<std::size_t>(r) * kStockBlockListRow +
                                            block] == name;
                    }
                    if (!held) {
                        break;
                    }
                }
                table->names[row + block] = name;
                // 5. The block's cells, from the end of the previous block on each axis.
                if (content > 0) {
                    DeleteSceneList(name);
                }
                const std::int64_t expected = std::max<std::int64_t>(content, largest);
                shortage = shortage || !DriverMemoryFits(std::max<std::uint64_t>(
                                           smallestList, static_cast<std::uint64_t>(expected) *
                                                             kListBytesPerTriangle));
                if (shortage) {
                    content = 0;
                    continue;
                }
                const int bi[3] = {bx, by, bz};
                int lo[3], hi[3];
                for (int a = 0; a < 3; ++a) {
                    lo[a] = bi[a] * blocks.size[a];
                    hi[a] = lo[a] +
                            (bi[a] == blocks.lastIndex[a] ? blocks.lastSize[a] : blocks.size[a]);
                }
                content = TriangulateDexelCells(&buffers, wireFrame, lo[0], hi[0], lo[1], hi[1],
                                                lo[2], hi[2], name, output);
                largest = std::max<std::int64_t>(largest, content);
                blocks.dirty[block] = 0;
                ++rebuilt;
            }
        }
    }
    FreeDexelMeshBuffers(&buffers);
    if (shortage) {
        NoteDisplayMemoryShortage();
    } else {
        EndDisplayMemoryShortage();
    }
    return rebuilt;
}

void BuildStockDisplayLists(StockModel* model, StockListNameTable* table, int stockIndex) {
    if (DisplayModes.workMode == 0 || model == nullptr || stockIndex < 0 ||
        stockIndex >= kStockModelSlots || DisplayListBase == 0) {
        return;
    }
    const int slot = model->undo.currentSlot;
    if (slot >= 0 && slot < kMaxStockUndoSlots) {
        SceneDirty.stock[slot] = 0;
    }
    RebuildScope rebuild;
    const int style = DisplayModes.stockStyle;
    if (style == kStockStyleSurfaces || style == kStockStyleWireFrame) {
        BuildStockBlockLists(model, table, stockIndex, style, GlDexelMeshOutput());
        StyleListState[stockIndex].blockStyle = style;
    } else {
        // The whole stock is in the style list now; the block lists are rebuilt in full when a
        // block style comes back.
        BuildStyleList(*model, stockIndex, style);
        StyleListState[stockIndex] = {1, slot, style, -1};
        if (model->blocks.dirty != nullptr) {
            std::fill(model->blocks.dirty, model->blocks.dirty + model->blocks.count,
                      std::uint8_t{0});
        }
    }
}

void RefreshStockDisplay(StockModel* model, StockListNameTable* table, int stockIndex) {
    if (model == nullptr || model->nx == 0 || stockIndex < 0 || stockIndex >= kStockModelSlots) {
        return;
    }
    const int slot = model->undo.currentSlot;
    if (slot < 0 || slot >= kMaxStockUndoSlots) {
        return;
    }
    const StockDisplayBlocks& blocks = model->blocks;
    bool rebuild =
        SceneDirty.stock[slot] != 0 ||
        (blocks.dirty != nullptr && std::any_of(blocks.dirty, blocks.dirty + blocks.count,
                                                [](std::uint8_t d) { return d != 0; }));
    const StyleListRecord& record = StyleListState[stockIndex];
    const int style = DisplayModes.stockStyle;
    if (style <= kStockStyleWireFrame) {
        if (record.blockStyle != style) {
            MarkStockDisplayDirty(model);
            rebuild = true;
        }
    } else {
        rebuild = rebuild || !record.built || record.undoSlot != slot || record.style != style;
    }
    if (rebuild) {
        BuildStockDisplayLists(model, table, stockIndex);
    }
}

void MarkStockDisplayDirty(StockModel* model) {
    StockDisplayBlocks& blocks = model->blocks;
    if (blocks.dirty != nullptr) {
        std::fill(blocks.dirty, blocks.dirty + blocks.count, std::uint8_t{1});
    }
    const int slot = model->undo.currentSlot;
    if (slot >= 0 && slot < kMaxStockUndoSlots) {
        SceneDirty.stock[slot] = 1;
    }
}

// --- Style lists ---------------------------------------------------------------------------------

void DrawXDexelEndPoints(const StockModel& model) {
    static const float kEntry[3] = {1.0f, 0.0f, 0.0f};
    static const float kExit[3] = {1.0f, 0.5f, 0.5f};
    DrawFamilyEndPoints(model, 0, kEntry, kExit);
}

void DrawYDexelEndPoints(const StockModel& model) {
    static const float kEntry[3] = {0.0f, 1.0f, 0.0f};
    static const float kExit[3] = {0.5f, 1.0f, 0.5f};
    DrawFamilyEndPoints(model, 1, kEntry, kExit);
}

void DrawZDexelEndPoints(const StockModel& model) {
    static const float kEntry[3] = {0.0f, 0.0f, 1.0f};
    static const float kExit[3] = {0.5f, 0.5f, 1.0f};
    DrawFamilyEndPoints(model, 2, kEntry, kExit);
}

void DrawDiagnosticDexelLines(const StockModel& model) {
    const GridAxes grid(model);
    if (!ModelHasGrid(model)) {
        return;
    }
    // (family, first node index on its first axis, on its second axis): Z rays at x 22-23 and
    // y 154-155, X rays at y 154-155 and z 10-11, Y rays at z 10-11 and x 22-23.
    struct RaySet {
        int family, a0, b0;
    };
    static const RaySet kSets[3] = {{2, 22, 154}, {0, 154, 10}, {1, 10, 22}};
    MeshTransform transform;
    SetMeshTransform(model.frame, &transform);
    glColor3f(1.0f, 0.0f, 0.0f);
    glBegin(GL_LINES);
    for (const RaySet& set : kSets) {
        const DexelFamily& rays = *grid.family[set.family];
        const int a = (set.family + 1) % 3;
        const int bAxis = (set.family + 2) % 3;
        const int na = grid.count[a];
        const int nb = grid.count[bAxis];
        for (int ib = set.b0; ib <= set.b0 + 1; ++ib) {
            for (int ia = set.a0; ia <= set.a0 + 1; ++ia) {
                if (ia >= na || ib >= nb) {
                    continue;  // the grid has no such ray
                }
                const std::int64_t r = static_cast<std::int64_t>(ib) * na + ia;
                const int count = rays.counts[r];
                const double* ends = DexelCellEnds(r, rays.capacity, rays.counts, rays.ends);
                for (int i = 0; i + 1 < count; i += 2) {
                    for (int e = 0; e < 2; ++e) {
                        double p[3];
                        p[set.family] = ends[i + e];
                        p[a] = grid.nodes[a][ia];
                        p[bAxis] = grid.nodes[bAxis][ib];
                        TransformDisplayPoint(transform, p);
                        glVertex3dv(p);
                    }
                }
            }
        }
    }
    glEnd();
}

void BuildBasicShapeList() {
    SceneDirty.basicShape = 0;
    const std::uint32_t name = FixedListName(kListBasicShape);
    if (name == 0) {
        return;
    }
    DeleteSceneList(name);
    RebuildScope rebuild;
    DexelMeshBuffers buffers;
    if (!PrepareDexelMeshBuffers(BasicModel, &buffers)) {
        return;
    }
    // The basic shape is drawn in the base colour: the work entry is swapped for it meanwhile.
    for (int i = 0; i < 4; ++i) {
        GlColors.pens[0][i] = GlColors.base[i];
    }
    TriangulateDexelCells(&buffers, 0, 0, BasicModel.nx - 1, 0, BasicModel.ny - 1, 0,
                          BasicModel.nz - 1, name, GlDexelMeshOutput());
    ColorRefToGlColor(LiveColors.work, DisplayModes.workAlpha, GlColors.pens[0]);
    FreeDexelMeshBuffers(&buffers);
}

void PumpMessagesDuringStockRebuild() {
    const std::uint64_t now = GetTickMilliseconds();
    if (now - lastPumpTick <= 3000) {
        return;
    }
    lastPumpTick = now;
    WindowMessage message;
    if (!PeekWindowMessage(&message, PM_REMOVE)) {
        return;
    }
    if (StockRebuildActive.load() && MustWaitForRebuild(message)) {
        deferredMessages.push_back(message);
        return;
    }
    DispatchWindowMessage(message);
}

}  // namespace mirexa
