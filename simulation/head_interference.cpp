// Head model interference: posing a head mesh once per pose, the head against the stock's dexel
// rays and against the table-side models.
#include "simulation/head_interference.h"

#include <algorithm>
#include <cmath>

#include "config/config_records.h"
#include "config/machine_file.h"
#include "geometry/machine_kinematics.h"
#include "geometry/model_point_pose.h"
#include "geometry/vector_math.h"
#include "nc/nc_session.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_state.h"
#include "simulation/interference_flags.h"
#include "stockio/stock_loading.h"

namespace mirexa {

namespace {

// The node window [first, last] of the values [lo, hi] (mm) on one axis; 0 when it holds no
// node. Bounds are limited in double before they become indices.
int NodeWindow(double lo, double hi, double origin, double pitch, int lastNode, int* first,
               int* last) {
    double a = std::ceil((lo - origin) / pitch);
    double b = std::floor((hi - origin) / pitch);
    if (!(a <= b) || !(a <= lastNode) || !(b >= 0.0)) {
        return 0;
    }
    a = std::max(a, 0.0);
    b = std::min(b, static_cast<double>(lastNode));
    *first = static_cast<int>(a);
    *last = static_cast<int>(b);
    return 1;
}

// 1 when all three vertices lie beyond the box on the same side of one axis.
bool BeyondOneSide(const double v[9], const double min[3], const double max[3]) {
    for (int k = 0; k < 3; ++k) {
        if ((v[k] > max[k] && v[3 + k] > max[k] && v[6 + k] > max[k]) ||
            (v[k] < min[k] && v[3 + k] < min[k] && v[6 + k] < min[k])) {
            return true;
        }
    }
    return false;
}

// One mapped triangle against the three families of the stock. A family is visited over the
// node windows of its two cross axes; the window along its own rays does not matter.
int TriangleHitsStock(const double local[9], const StockModel& stock, std::int64_t* raysTested) {
    double lo[3], hi[3];
    ComputeBoxBounds(local, lo, hi);
    int first[3], last[3];
    bool open[3];
    for (int k = 0; k < 3; ++k) {
        open[k] = NodeWindow(lo[k], hi[k], stock.origin[k], stock.pitch, stock.lastNode[k],
                             &first[k], &last[k]) != 0;
    }
    const DexelFamily& z = stock.z;
    if (open[0] && open[1] &&
        TriangleHitsDexelGrid(local, 2, 0, 1, first[0], last[0], first[1], last[1], stock.nx,
                              stock.nodesX, stock.nodesY, z.capacity, z.counts, z.ends,
                              raysTested)) {
        return 1;
    }
    const DexelFamily& x = stock.x;
    if (open[1] && open[2] &&
        TriangleHitsDexelGrid(local, 0, 1, 2, first[1], last[1], first[2], last[2], stock.ny,
                              stock.nodesY, stock.nodesZ, x.capacity, x.counts, x.ends,
                              raysTested)) {
        return 1;
    }
    const DexelFamily& y = stock.y;
    return open[2] && open[0] &&
           TriangleHitsDexelGrid(local, 1, 2, 0, first[2], last[2], first[0], last[0], stock.nz,
                                 stock.nodesZ, stock.nodesX, y.capacity, y.counts, y.ends,
                                 raysTested);
}

// How a check poses its head for the BASIC pair.
enum BasicPose : int {
    kBasicAsOtherPairs = 0,  // the check's own pose routine (moved only at angles 0, 0)
    kBasicFirstAngle = 1,    // moved only when the first angle is 0, else PoseModelPoint
    kBasicMoveOnly = 2,      // always moved only
};

// A table-side pair of a check.
struct HeadPair {
    StructurePair pair;
    int kind;  // StructureKind
};

struct HeadCheck {
    const MachineModel* mesh = {};
    ModelPointPoser poser = {};  // when a rotary angle is not 0
    StructurePair work = {};
    const HeadPair* pairs = {};  // the table-side pairs but BASIC, in order
    int pairCount = {};
    StructurePair basic = {};
    int basicPose = {};
};

bool PairOn(StructurePair pair) {
    return Checks.structurePairs[pair] > 0;
}

void RunHeadCheck(CuttingState& cutting, const HeadCheck& check, const MachinePose& pose,
                  const StockModel* stock) {
    const MachineModel& mesh = *check.mesh;
    if (mesh.facetCount <= 0) {
        return;
    }
    const double* machine = pose.machine.axis;
    const bool turned = machine[3] != 0.0 || machine[4] != 0.0;
    thread_local PosedHeadMesh posed;
    thread_local PosedHeadMesh basicPosed;
    posed.counters = basicPosed.counters = &cutting.headChecks;
    bool begun = false;
    auto head = [&]() -> PosedHeadMesh* {
        if (!begun) {
            BeginHeadPose(&mesh, turned ? check.poser : MoveModelPointOnly, pose, machine, &posed);
            begun = true;
        }
        return &posed;
    };
    InterferenceFlagSet& flags = cutting.flags;
    // WORK.
    if (PairOn(check.work) && stock != nullptr && stock->useState == 0 && stock->nx >= 2 &&
        PosedHeadHitsStock(head(), *stock)) {
        flags.structure[check.work] = 1;
    }
    // The table-side pairs.
    StructureModelList list;
    for (int i = 0; i < check.pairCount; ++i) {
        const HeadPair& p = check.pairs[i];
        if (PairOn(p.pair) && GatherStructureModels(StructureModels, p.kind, &list) > 0 &&
            PosedHeadHitsStructures(head(), list)) {
            flags.structure[p.pair] = 1;
        }
    }
    // BASIC, seen from the base.
    if (!PairOn(check.basic) ||
        GatherStructureModels(StructureModels, kStructureBasic, &list) == 0) {
        return;
    }
    double origin[3];
    for (int k = 0; k < 3; ++k) {
        origin[k] = Machine.tableCarries[k] ? 0.0 : machine[k];
    }
    ModelPointPoser poser = MoveModelPointOnly;
    if (check.basicPose == kBasicAsOtherPairs && turned) {
        poser = check.poser;
    } else if (check.basicPose == kBasicFirstAngle && machine[3] != 0.0) {
        poser = PoseModelPoint;
    }
    BeginHeadPose(&mesh, poser, pose, origin, &basicPosed);
    if (PosedHeadHitsStructures(&basicPosed, list)) {
        flags.structure[check.basic] = 1;
    }
}

constexpr HeadPair kHead2Pairs[] = {{kHead2Vice, kStructureVice}, {kHead2Table, kStructureTable}};
constexpr HeadPair kHead1Pairs[] = {
    {kHead1Vice, kStructureVice}, {kHead1Table1, kStructureTable1}, {kHead1Table, kStructureTable}};
constexpr HeadPair kHeadPairs[] = {{kHeadVice, kStructureVice},
                                   {kHeadTable2, kStructureTable2},
                                   {kHeadTable1, kStructureTable1},
                                   {kHeadTable, kStructureTable}};

}  // namespace

int CheckHead2Model(CuttingState& cutting, const MachinePose& pose, const StockModel* stock) {
    RunHeadCheck(cutting,
                 {.mesh = &StructureModels.head2,
                  .poser = PoseModelPointAxes,
                  .work = kHead2Work,
                  .pairs = kHead2Pairs,
                  .pairCount = 2,
                  .basic = kHead2Basic,
                  .basicPose = kBasicAsOtherPairs},
                 pose, stock);
    return 0;
}

int CheckHead1Model(CuttingState& cutting, const MachinePose& pose, const StockModel* stock) {
    const bool head = CurrentMachine.rotaryType == 1;
    RunHeadCheck(cutting,
                 {.mesh = &StructureModels.head1,
                  .poser = head ? PoseModelPoint : PoseModelPointPivot,
                  .work = kHead1Work,
                  .pairs = kHead1Pairs,
                  .pairCount = 3,
                  .basic = kHead1Basic,
                  .basicPose = kBasicFirstAngle},
                 pose, stock);
    return 0;
}

int CheckHeadModel(CuttingState& cutting, const MachinePose& pose, const StockModel* stock) {
    const int type = CurrentMachine.rotaryType;
    RunHeadCheck(cutting,
                 {.mesh = &StructureModels.head,
                  .poser = type == 1   ? MoveModelPointOnly
                           : type == 2 ? PoseModelPointCentre
                                       : PoseModelPointOffset,
                  .work = kHeadWork,
                  .pairs = kHeadPairs,
                  .pairCount = 4,
                  .basic = kHeadBasic,
                  .basicPose = kBasicMoveOnly},
                 pose, stock);
    return 0;
}

int CheckHead2Model(CuttingState& cutting, NcSession& session, const StockModel* stock) {
    return CheckHead2Model(cutting, session.kinematics->pose, stock);
}

int CheckHead1Model(CuttingState& cutting, NcSession& session, const StockModel* stock) {
    return CheckHead1Model(cutting, session.kinematics->pose, stock);
}

int CheckHeadModel(CuttingState& cutting, NcSession& session, const StockModel* stock) {
    return CheckHeadModel(cutting, session.kinematics->pose, stock);
}

int CheckNothing() {
    return 0;
}

void MoveModelPointOnly(const MachinePose&, const double origin[3], const double vertex[3],
                        double out[3]) {
    Vec3Add(origin, vertex, out);
}

void BeginHeadPose(const MachineModel* mesh, ModelPointPoser poser, const MachinePose& pose,
                   const double origin[3], PosedHeadMesh* out) {
    out->mesh = mesh;
    out->pose = &pose;
    out->poser = poser != nullptr ? poser : MoveModelPointOnly;
    std::copy(origin, origin + 3, out->origin);
    out->facetsPosed = 0;
    double corners[24];
    ListBoxCorners(mesh->min, mesh->max, corners);
    for (int k = 0; k < 3; ++k) {
        out->boxMin[k] = 1e12;
        out->boxMax[k] = -1e12;
    }
    for (int c = 0; c < 8; ++c) {
        double p[3];
        out->poser(pose, out->origin, corners + 3 * c, p);
        for (int k = 0; k < 3; ++k) {
            out->boxMin[k] = std::min(out->boxMin[k], p[k]);
            out->boxMax[k] = std::max(out->boxMax[k], p[k]);
        }
    }
    if (out->counters != nullptr) {
        out->counters->posedVertices += 8;
    }
}

void PoseHeadFacets(PosedHeadMesh* head) {
    if (head->facetsPosed) {
        return;
    }
    const MachineModel& mesh = *head->mesh;
    const int n = std::min<int>(mesh.facetCount, static_cast<int>(mesh.facets.size()));
    head->triangles.resize(static_cast<std::size_t>(std::max(n, 0)));
    for (int f = 0; f < n; ++f) {
        const double* v = mesh.facets[f].values + 3;
        double posed[9];
        for (int i = 0; i < 3; ++i) {
            head->poser(*head->pose, head->origin, v + 3 * i, posed + 3 * i);
        }
        PrepareScanTriangle(posed, &head->triangles[f]);
    }
    if (head->counters != nullptr) {
        head->counters->posedVertices += 3 * std::int64_t{n};
    }
    head->facetsPosed = 1;
}

int GetStockCullBounds(const StockModel& stock, double min[3], double max[3]) {
    if (stock.nx < 2 || stock.ny < 2 || stock.nz < 2) {
        return 0;
    }
    if (stock.frameFlag == 0 && stock.minCorner != nullptr && stock.maxCorner != nullptr) {
        std::copy(stock.minCorner, stock.minCorner + 3, min);
        std::copy(stock.maxCorner, stock.maxCorner + 3, max);
        return 1;
    }
    for (int k = 0; k < 3; ++k) {
        min[k] = stock.origin[k];
        max[k] = stock.origin[k] + stock.lastNode[k] * stock.pitch;
    }
    TransformBoxToBounds(stock.frame, min, max);
    return 1;
}

int PosedHeadHitsStock(PosedHeadMesh* head, const StockModel& stock) {
    double min[3], max[3];
    if (!GetStockCullBounds(stock, min, max) || !(stock.pitch > 0.0) ||
        !BoxesOverlap(head->boxMin, head->boxMax, min, max)) {
        return 0;
    }
    PoseHeadFacets(head);
    for (const ScanTriangle& t : head->triangles) {
        if (BeyondOneSide(t.vertices, min, max)) {
            continue;
        }
        double local[9];
        std::copy(t.vertices, t.vertices + 9, local);
        for (int i = 0; i < 3; ++i) {
            ApplyModelPlacement(stock.inverseOrientation, stock.negatedOffset, stock.frameFlag,
                                local + 3 * i);
        }
        if (TriangleHitsStock(local, stock,
                              head->counters != nullptr ? &head->counters->raysTested : nullptr)) {
            return 1;
        }
    }
    return 0;
}

int PosedHeadHitsStructures(PosedHeadMesh* head, const StructureModelList& list) {
    for (int m = 0; m < list.count; ++m) {
        const StructureModelRef& ref = list.entries[m];
        const MachineModel& model = *ref.model;
        if (!BoxesOverlap(head->boxMin, head->boxMax, model.min, model.max)) {
            continue;
        }
        const bool freeBox = ref.freeMin != nullptr && ref.freeMax != nullptr;
        // The free box keeps every facet of its own model out: a head strictly inside it cannot
        // touch that model, whatever the other models do.
        if (freeBox && BoxStrictlyInside(head->boxMin, head->boxMax, ref.freeMin, ref.freeMax)) {
            continue;
        }
        PoseHeadFacets(head);
        for (const ScanTriangle& t : head->triangles) {
            if (!BoxesOverlap(t.min, t.max, model.min, model.max) ||
                (freeBox && BoxStrictlyInside(t.min, t.max, ref.freeMin, ref.freeMax))) {
                continue;
            }
            if (head->counters != nullptr) {
                ++head->counters->facetModelTests;
            }
            if (TriangleHitsStructureModel(t, model)) {
                return 1;
            }
        }
    }
    return 0;
}

int TriangleHitsDexelGrid(const double triangle[9], int wAxis, int uAxis, int vAxis, int uLo,
                          int uHi, int vLo, int vHi, int nu, const double* uCoords,
                          const double* vCoords, std::uint32_t capacity, const std::int32_t* counts,
                          const double* ends, std::int64_t* raysTested) {
    if (wAxis < 0 || wAxis > 2 || uAxis < 0 || uAxis > 2 || vAxis < 0 || vAxis > 2) {
        return 0;
    }
    double plane[4];
    ComputePlaneFromThreePoints(triangle, plane);
    const double nw = plane[wAxis];
    if (nw == 0.0) {
        return 0;  // the plane holds the rays' direction (or the triangle has no area)
    }
    const int inlineCapacity = static_cast<int>(capacity);
    std::int64_t tested = 0;
    const auto answer = [&](int hit) {
        if (raysTested != nullptr) {
            *raysTested += tested;
        }
        return hit;
    };
    for (int iv = vLo; iv <= vHi; ++iv) {
        const double v = vCoords[iv];
        for (int iu = uLo; iu <= uHi; ++iu) {
            const std::int64_t cell = std::int64_t{iv} * nu + iu;
            const int n = counts[cell];
            if (n < 2) {
                continue;
            }
            ++tested;
            const double u = uCoords[iu];
            // Where the plane crosses the ray: n . p + d = 0 along w.
            const double w = -(plane[uAxis] * u + plane[vAxis] * v + plane[3]) / nw;
            const double* e = DexelCellEnds(cell, inlineCapacity, counts, ends);
            if (!(w >= e[0] && w <= e[n - 1])) {
                continue;
            }
            bool inMaterial = false;
            for (int s = 0; s + 1 < n && !inMaterial; s += 2) {
                inMaterial = w >= e[s] && w <= e[s + 1];
            }
            if (!inMaterial) {
                continue;
            }
            double p[3];
            p[uAxis] = u;
            p[vAxis] = v;
            p[wAxis] = w;
            if (TestPointInTriangleOnAxis(triangle, p, wAxis, uAxis, vAxis) > 0) {
                return answer(1);
            }
        }
    }
    return answer(0);
}

}  // namespace mirexa
