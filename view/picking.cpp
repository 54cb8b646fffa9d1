// Software picking of stock ends and vice vertices, the measuring trace and the rubber band.
#include "view/picking.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "config/structure_models.h"
#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "platform/backend.h"
#include "stock/cut_off_removal.h"
#include "stock/stock_hooks.h"
#include "view/display_lists.h"
#include "view/marker_lists.h"
#include "view/view_hooks.h"
#include "view/view_window.h"

namespace mirexa {

std::int32_t PickedPointInfo = 0;
int PickedPointOnStock = 0;
PickAxisLockState PickAxisLocks;
MeasureTraceState MeasureTrace;

StockModel* CurrentViewStock() {
    const int index = CurrentStockIndex.load();
    if (index < 0 || index >= kStockModelSlots || StockModels[index].nx <= 0) {
        return nullptr;
    }
    return &StockModels[index];
}

std::vector<PickHit>& PickHitBuffer() {
    static std::vector<PickHit> buffer = [] {
        std::vector<PickHit> hits;
        hits.reserve(kMostStockHits);
        return hits;
    }();
    return buffer;
}

namespace {

int ViceModelLoaded() {
    for (const MachineModel& vice : StructureModels.vices) {
        if (vice.facetCount > 0 && !vice.facets.empty()) {
            return 1;
        }
    }
    return 0;
}

// A local grid point placed by the stock frame when the frame is not the identity.
void PlaceByFrame(const StockModel& model, const double local[3], double out[3]) {
    if (model.frameFlag == 0) {
        for (int i = 0; i < 3; ++i) {
            out[i] = local[i];
        }
        return;
    }
    const double* f = model.frame.values;
    for (int i = 0; i < 3; ++i) {
        out[i] = local[0] * f[i] + local[1] * f[3 + i] + local[2] * f[6 + i] + f[9 + i];
    }
}

// Projects a model point and tests it against the cursor; fills the hit's point, depth and
// pixel term when it lies within the radius (square first, then the distance).
bool ProjectNearCursor(const ViewState& view, const double point[3], int cursorX, int cursorY,
                       double radius, bool square, PickHit* hit) {
    double work[3];
    ConvertMachineToWorkPosition(RunKinematics, point, work);
    double depth = 0;
    double wx = 0;
    double wy = 0;
    if (ProjectModelPointToWindow(view, work, &depth, &wx, &wy) != 1) {
        return false;
    }
    const double dx = wx - cursorX;
    const double dy = wy - cursorY;
    if (square && (std::fabs(dx) >= radius || std::fabs(dy) >= radius)) {
        return false;
    }
    const double distance = std::sqrt(dx * dx + dy * dy);
    if (!(distance < radius)) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        hit->point[i] = work[i];
    }
    hit->depth = depth;
    hit->pixelTerm = distance / DisplayUnitFactor * view.zoom;
    return true;
}

// One family's ends: fast and slow node counts, the node tables of the fast, slow and ray axes.
struct FamilyWalk {
    const DexelFamily* family;
    std::int32_t code;  // 0 X, 1 Y, 2 Z
    int fastCount;
    int slowCount;
    const double* fastNodes;
    const double* slowNodes;
    int fastAxis;  // the coordinate index the fast node gives
    int slowAxis;
    int rayAxis;
};

// Walks one family; returns false once the hit list is full.
bool CollectFamilyHits(const ViewState& view, const StockModel& model, const FamilyWalk& walk,
                       int cursorX, int cursorY, double radius, std::vector<PickHit>* hits,
                       double* frontDepth) {
    const DexelFamily& family = *walk.family;
    if (family.counts == nullptr) {
        return true;
    }
    for (int b = 0; b < walk.slowCount; ++b) {
        for (int a = 0; a < walk.fastCount; ++a) {
            const std::int64_t cell = static_cast<std::int64_t>(b) * walk.fastCount + a;
            if (cell >= family.cellCount) {
                return true;
            }
            const int count = family.counts[cell];
            if (count <= 0) {
                continue;
            }
            const double* ends = DexelCellEnds(cell, family.capacity, family.counts, family.ends);
            const std::int32_t* stamps =
                DexelCellStamps(cell, family.capacity, family.counts, family.lineStamps);
            for (int e = 0; e < count; ++e) {
                double local[3];
                local[walk.fastAxis] = walk.fastNodes[a];
                local[walk.slowAxis] = walk.slowNodes[b];
                local[walk.rayAxis] = ends[e];
                double point[3];
                PlaceByFrame(model, local, point);
                PickHit hit;
                if (!ProjectNearCursor(view, point, cursorX, cursorY, radius, true, &hit)) {
                    continue;
                }
                hit.family = walk.code;
                hit.a = a;
                hit.b = b;
                hit.cell = cell;
                hit.end = e;
                hit.info = stamps != nullptr ? stamps[e] : 0;
                hits->push_back(hit);
                *frontDepth = std::max(*frontDepth, hit.depth);
                if (static_cast<int>(hits->size()) >= kMostStockHits) {
                    return false;
                }
            }
        }
    }
    return true;
}

// The stock's removal asks the view for the ends near the cursor.
int PickStockEndsForRemoval(int x, int y, DexelEndPick* out, int capacity, double* greatestDepth) {
    StockModel* model = CurrentViewStock();
    if (model == nullptr || out == nullptr || capacity <= 0) {
        return 0;
    }
    std::vector<PickHit>& hits = PickHitBuffer();
    double front = kNoHitDepth;
    const int count = PickStockSegmentEnds(CurrentView, *model, x, y, &hits, &front);
    const int n = std::min(count, capacity);
    for (int i = 0; i < n; ++i) {
        const PickHit& hit = hits[i];
        DexelEndPick& pick = out[i];
        for (int k = 0; k < 3; ++k) {
            pick.position[k] = hit.point[k];
        }
        pick.depth = hit.depth;
        pick.distance = hit.pixelTerm;
        pick.lineStamp = hit.info;
        pick.address.family = hit.family;
        pick.address.a = hit.a;
        pick.address.b = hit.b;
        pick.address.cell = hit.cell;
        pick.address.index = hit.end;
    }
    if (greatestDepth != nullptr) {
        *greatestDepth = front;
    }
    return n;
}

}  // namespace

double StockPickRadius(const ViewState& view, const StockModel& model) {
    const int most = std::max({model.nx, model.ny, model.nz, 1});
    const double radius = std::max(1.0, view.width * view.zoom * 0.7 / most);
    return std::min(static_cast<double>(view.height), radius);
}

int PickStockSegmentEnds(const ViewState& view, const StockModel& model, int cursorX, int cursorY,
                         std::vector<PickHit>* hits, double* frontDepth) {
    hits->clear();
    *frontDepth = kNoHitDepth;
    if (model.nx <= 0 || model.nodesX == nullptr || model.nodesY == nullptr ||
        model.nodesZ == nullptr) {
        return 0;
    }
    const double radius = StockPickRadius(view, model);
    const FamilyWalk walks[3] = {
        {&model.z, 2, model.nx, model.ny, model.nodesX, model.nodesY, 0, 1, 2},
        {&model.x, 0, model.ny, model.nz, model.nodesY, model.nodesZ, 1, 2, 0},
        {&model.y, 1, model.nz, model.nx, model.nodesZ, model.nodesX, 2, 0, 1},
    };
    for (const FamilyWalk& walk : walks) {
        if (!CollectFamilyHits(view, model, walk, cursorX, cursorY, radius, hits, frontDepth)) {
            break;
        }
    }
    return static_cast<int>(hits->size());
}

int PickViceModelVertex(const ViewState& view, int cursorX, int cursorY, std::vector<PickHit>* hits,
                        double* frontDepth) {
    hits->clear();
    *frontDepth = kNoHitDepth;
    for (const MachineModel& vice : StructureModels.vices) {
        const int facets = std::min<int>(vice.facetCount, static_cast<int>(vice.facets.size()));
        for (int f = 0; f < facets; ++f) {
            for (int v = 0; v < 3; ++v) {
                const double* vertex = &vice.facets[f].values[3 + 3 * v];
                PickHit hit;
                if (!ProjectNearCursor(view, vertex, cursorX, cursorY, kViceHitRadius, false,
                                       &hit)) {
                    continue;
                }
                hit.family = -1;
                hits->push_back(hit);
                *frontDepth = std::max(*frontDepth, hit.depth);
                if (static_cast<int>(hits->size()) >= kMostViceHits) {
                    return kMostViceHits;
                }
            }
        }
    }
    return static_cast<int>(hits->size());
}

int ChooseNearestHit(const std::vector<PickHit>& hits, double frontDepth,
                     const PickAxisLockState& locks, const double picked[3]) {
    int best = -1;
    double bestScore = 99999999.0;
    for (int i = 0; i < static_cast<int>(hits.size()); ++i) {
        const PickHit& hit = hits[i];
        if ((locks.x && hit.point[0] != picked[0]) || (locks.y && hit.point[1] != picked[1]) ||
            (locks.z && hit.point[2] != picked[2])) {
            continue;
        }
        const double behind = frontDepth - hit.depth;
        const double score = std::sqrt(hit.pixelTerm * hit.pixelTerm + behind * behind);
        if (score < bestScore) {
            best = i;
            bestScore = score;
        }
    }
    return best;
}

int PickAtCursor(int cursorX, int cursorY, bool shiftHeld) {
    StockModel* model = CurrentViewStock();
    std::vector<PickHit>& hits = PickHitBuffer();
    double front = kNoHitDepth;
    const bool vice = ViewMouseMode == kMouseModeMeasure &&
                      (model == nullptr || (shiftHeld && ViceModelLoaded()));
    if (vice) {
        PickViceModelVertex(CurrentView, cursorX, cursorY, &hits, &front);
    } else if (model != nullptr) {
        PickStockSegmentEnds(CurrentView, *model, cursorX, cursorY, &hits, &front);
    } else {
        hits.clear();
    }
    if (hits.empty()) {
        return 0;
    }
    const int best = ChooseNearestHit(hits, front, PickAxisLocks, PickedPoint);
    if (best < 0) {
        return 0;
    }
    const PickHit& hit = hits[best];
    PickedPointOnStock = vice ? 0 : 1;
    if (hit.point[0] == PickedPoint[0] && hit.point[1] == PickedPoint[1] &&
        hit.point[2] == PickedPoint[2]) {
        return 1;
    }
    for (int i = 0; i < 3; ++i) {
        PickedPoint[i] = hit.point[i];
    }
    PickedPointInfo = hit.info;
    SceneDirty.pickedPoint = 2;
    return 1;
}

int ScreenToModelPoint(int x, int y, int fallback, double point[3]) {
    double position[3];
    DexelSegmentAddress address;
    if (PickStockSegmentAtCursor(x, y, position, &address) == 1) {
        for (int i = 0; i < 3; ++i) {
            point[i] = position[i] / DisplayUnitFactor;
        }
        return 1;
    }
    if (!fallback) {
        return 0;
    }
    PanByScreenDelta(CurrentView, x - CurrentView.halfWidth, CurrentView.halfHeight - y, point);
    return 2;
}

int PickPointUnderCursor(WindowHandle window, int fallback, double point[3]) {
    int x = 0;
    int y = 0;
    WindowRect client;
    if (!GetPointerOverWindow(window, &x, &y) || !GetWindowClientRect(window, &client)) {
        return 0;
    }
    if (x < 0 || y < 0 || x > client.right || y > client.bottom) {
        return 0;
    }
    return ScreenToModelPoint(x, y, fallback, point);
}

double ArcRadiusThrough3Points(int plane, const double p1[3], const double p2[3],
                               const double p3[3]) {
    double a[3];
    double b[3];
    double c[3];
    for (int i = 0; i < 3; ++i) {
        const bool dropped = plane >= 0 && plane <= 2 && i == plane;
        a[i] = dropped ? 0.0 : p1[i];
        b[i] = dropped ? 0.0 : p2[i];
        c[i] = dropped ? 0.0 : p3[i];
    }
    // The centre x solves: (b - a) . x = (|b|^2 - |a|^2) / 2, (c - b) . x = (|c|^2 - |b|^2) / 2
    // and n . x = n . a with n = (b - a) x (c - b), the normal of the points' plane.
    const double r1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double r2[3] = {c[0] - b[0], c[1] - b[1], c[2] - b[2]};
    const double n[3] = {r1[1] * r2[2] - r1[2] * r2[1], r1[2] * r2[0] - r1[0] * r2[2],
                         r1[0] * r2[1] - r1[1] * r2[0]};
    auto dot = [](const double u[3], const double v[3]) {
        return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
    };
    const double rhs[3] = {(dot(b, b) - dot(a, a)) / 2.0, (dot(c, c) - dot(b, b)) / 2.0, dot(n, a)};
    const double* rows[3] = {r1, r2, n};
    auto det3 = [](const double* m0, const double* m1, const double* m2) {
        return m0[0] * (m1[1] * m2[2] - m1[2] * m2[1]) - m0[1] * (m1[0] * m2[2] - m1[2] * m2[0]) +
               m0[2] * (m1[0] * m2[1] - m1[1] * m2[0]);
    };
    const double det = det3(rows[0], rows[1], rows[2]);
    if (!(std::fabs(det) > 0.001)) {
        return kCollinearRadius;
    }
    double centre[3];
    for (int k = 0; k < 3; ++k) {
        // Cramer's rule: column k replaced by the right-hand side.
        double m[3][3];
        for (int r = 0; r < 3; ++r) {
            for (int col = 0; col < 3; ++col) {
                m[r][col] = col == k ? rhs[r] : rows[r][col];
            }
        }
        centre[k] = det3(m[0], m[1], m[2]) / det;
    }
    const double d[3] = {c[0] - centre[0], c[1] - centre[1], c[2] - centre[2]};
    return std::sqrt(dot(d, d));
}

void BindTraceTables(double* points, std::uint8_t* marks, int capacity) {
    MeasureTrace = {};
    MeasureTrace.points = points;
    MeasureTrace.marks = marks;
    MeasureTrace.capacity = std::clamp(capacity, 0, kTraceCapacity);
}

void ClearMeasureTrace() {
    MeasureTrace.count = 0;
}

int RecordTracePoint() {
    MeasureTraceState& trace = MeasureTrace;
    if (CurrentViewStock() == nullptr && !ViceModelLoaded()) {
        return 0;
    }
    const bool measuring = ViewMouseMode == kMouseModeMeasure;
    const bool bound = trace.points != nullptr && trace.marks != nullptr;
    const int count = std::clamp(trace.count, 0, trace.capacity);
    if (measuring && bound && count >= 2) {
        const double* p1 = &trace.points[3 * (count - 2)];
        const double* p2 = &trace.points[3 * (count - 1)];
        const int planes[4] = {kArcSpace, kArcPlaneYZ, kArcPlaneZX, kArcPlaneXY};
        for (int i = 0; i < 4; ++i) {
            trace.radii[i] = ArcRadiusThrough3Points(planes[i], p1, p2, PickedPoint);
        }
    } else {
        for (double& radius : trace.radii) {
            radius = 0.0;
        }
    }
    int stored = 0;
    if (bound && count < trace.capacity) {
        trace.marks[count] = 1;
        for (int i = 0; i < 3; ++i) {
            trace.points[3 * count + i] = PickedPoint[i];
        }
        if (measuring && count >= 1) {
            double sum = 0.0;
            for (int i = 0; i < 3; ++i) {
                trace.delta[i] = PickedPoint[i] - trace.points[3 * (count - 1) + i];
                sum += trace.delta[i] * trace.delta[i];
            }
            trace.distance = std::sqrt(sum);
        } else {
            trace.delta[0] = trace.delta[1] = trace.delta[2] = 0.0;
            trace.distance = 0.0;
        }
        if (measuring) {
            trace.count = count + 1;
        }
        stored = 1;
    }
    if (ViewCallbacks.drawTracePanes != nullptr) {
        ViewCallbacks.drawTracePanes(measuring ? 1 : 0);
    }
    return stored;
}

void DrawSelectionRectangle() {
    const ZoomRectangleState& band = ViewWindow.rectangle;
    if (band.startX == band.endX && band.startY == band.endY) {
        return;
    }
    glColor3d(1.0, 0.0, 0.0);
    glLineWidth(2.0f);
    glBegin(GL_LINE_LOOP);
    for (const auto& corner : band.corners) {
        glVertex3d(corner[0], corner[1], -1.0);
    }
    glEnd();
    glLineWidth(1.0f);
}

void InstallPickingCallbacks() {
    StockCallbacks.pickStockSegmentEnds = PickStockEndsForRemoval;
    ViewCallbacks.drawSelectionRectangle = DrawSelectionRectangle;
}

}  // namespace mirexa
