// Pitch choice, box and cylinder stocks filled analytically ray by ray, and stock placement.
#include "stock/stock_shapes.h"

#include <cmath>
#include <cstdint>

#include "geometry/vector_math.h"
#include "stock/grid_node_index.h"
#include "stock/stock_grid.h"

namespace mirexa {

DexelPitchSettings DexelPitch;
StockDefinition InitialStock;

const double kDexelPitchCandidates[kDexelPitchCandidateCount] = {
    0.001, 0.002, 0.005, 0.01, 0.02, 0.025, 0.05, 0.1, 0.2, 0.25, 0.5, 1,
    1.5,   2,     2.5,   3,    4,    5,     6,    7,   8,   9,    10};

namespace {

// Nodes needed to cover an extent (mm) at a pitch (mm), or 0 when the count is not a usable
// 32-bit node count of at least 2.
std::int32_t NodesForExtent(double extent, double pitch) {
    const double n = NodeIndexAtOrAbove(extent, 0.0, pitch) + 1.0;
    if (!(n >= 2.0) || !(n <= 2147483647.0)) {
        return 0;
    }
    return static_cast<std::int32_t>(n);
}

int AbandonStock(StockModel* model, int code) {
    FreeStockModel(model);
    model->nx = 0;
    return code;
}

void SetIdentityFrame(StockFrame* frame) {
    *frame = StockFrame{};
    frame->values[0] = frame->values[4] = frame->values[8] = 1.0;
}

// Sets up and allocates the grid whose nx, ny, nz, pitch, origin and frame are set.
int BuildEmptyGrid(StockModel* model) {
    int result = InitStockGridBlocks(model);
    if (result == 1) {
        result = AllocStockModel(model);
    }
    return result;
}

// Fills every ray of the three families: rayEnds(axis, node, ends) gets the ray axis (0 x,
// 1 y, 2 z) and the ray's node coordinates on the other two axes (mm), writes up to four
// ascending ends and returns their count. Flags and stamps are 0.
template <class RayEnds>
void FillStockRays(StockModel* model, RayEnds rayEnds) {
    const double* tables[3] = {model->nodesX, model->nodesY, model->nodesZ};
    const int nodes[3] = {model->nx, model->ny, model->nz};
    const std::uint8_t flags[4] = {};
    const std::int32_t stamps[4] = {};
    for (int axis = 0; axis < 3; ++axis) {
        const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
        double node[3] = {};
        for (int i2 = 0; i2 < nodes[a2]; ++i2) {
            node[a2] = tables[a2][i2];
            for (int i1 = 0; i1 < nodes[a1]; ++i1) {
                node[a1] = tables[a1][i1];
                double ends[4] = {};
                const int count = rayEnds(axis, node, ends);
                if (count > 0) {
                    SetDexelCellByAxis(model, axis, i1, i2, ends, flags, stamps, count);
                }
            }
        }
    }
}

}  // namespace

int DexelPitchUsable(double pitch) {
    return pitch >= kLeastStockPitch && pitch <= kGreatestStockPitch ? 1 : 0;
}

int DexelPitchesUsable(double pitch, double movePitch) {
    return DexelPitchUsable(pitch) && movePitch >= pitch * kLeastMovePitchShare &&
                   movePitch <= kGreatestStockPitch
               ? 1
               : 0;
}

void ChooseDexelPitch() {
    DexelPitchSettings& settings = DexelPitch;
    if (settings.automatic != 1) {
        settings.currentPitch = settings.requestedPitch;
        if (settings.secondPitchAutomatic == 1) {
            settings.secondPitch = settings.secondPitchFactor * settings.requestedPitch;
        }
        return;
    }
    double extent[3] = {};
    for (int a = 0; a < 3; ++a) {
        extent[a] = InitialStock.box[a + 3] - InitialStock.box[a];
    }
    // When no candidate keeps within the limit, the coarsest one is the closest to it.
    double pitch = kDexelPitchCandidates[kDexelPitchCandidateCount - 1];
    for (double candidate : kDexelPitchCandidates) {
        // Counts and products in double: fine candidates on large boxes exceed 32 bits.
        double n[3] = {};
        for (int a = 0; a < 3; ++a) {
            n[a] = std::trunc(extent[a] / candidate + 1.5);
            if (!(n[a] >= 2.0)) {
                n[a] = 2.0;
            }
        }
        const double endCount = 2.0 * (n[0] * n[1] + n[1] * n[2] + n[2] * n[0]);
        if (endCount <= static_cast<double>(settings.sizeLimit)) {
            pitch = candidate;
            break;
        }
    }
    settings.requestedPitch = pitch;
    if (settings.minimumPitch > 0.0 && !(pitch > settings.minimumPitch)) {
        pitch = settings.minimumPitch;
        settings.requestedPitch = pitch;
    }
    settings.currentPitch = pitch;
    if (settings.secondPitchAutomatic == 1) {
        settings.secondPitch = settings.secondPitchFactor * pitch;
    }
}

int CreateBoxStock(StockModel* model, const double box[6], const StockFrame& frame, double pitch) {
    FreeStockModel(model);
    if (!std::isfinite(pitch) || !(pitch > 0.0)) {
        return AbandonStock(model, kStockDefinitionError);
    }
    std::int32_t nodes[3] = {};
    for (int a = 0; a < 3; ++a) {
        const double extent = box[a + 3] - box[a];
        if (!std::isfinite(box[a]) || !std::isfinite(extent) || !(extent > 0.0)) {
            return AbandonStock(model, kStockDefinitionError);
        }
        nodes[a] = NodesForExtent(extent, pitch);
        if (nodes[a] == 0) {
            return AbandonStock(model, kStockDefinitionError);
        }
    }
    // 1. Grid.
    model->nx = nodes[0];
    model->ny = nodes[1];
    model->nz = nodes[2];
    model->pitch = pitch;
    // 2. Frame and origin (the min corner), then the ring.
    model->frame = frame;
    for (int a = 0; a < 3; ++a) {
        model->origin[a] = box[a];
    }
    int result = BuildEmptyGrid(model);
    if (result != 1) {
        return AbandonStock(model, result);
    }
    // 3. Material corners: the work-coordinate bounds of the placed box.
    double corners[24] = {};
    ListBoxCorners(box, box + 3, corners);
    for (int c = 0; c < 8; ++c) {
        double p[3] = {};
        TransformPoint(frame.values, corners + 3 * c, p);
        for (int a = 0; a < 3; ++a) {
            if (c == 0 || p[a] < model->minCorner[a]) {
                model->minCorner[a] = p[a];
            }
            if (c == 0 || p[a] > model->maxCorner[a]) {
                model->maxCorner[a] = p[a];
            }
        }
    }
    // 4. One segment [min, max] per ray; a ray whose node lies beyond the box on one of the
    // other two axes (only the last node line can) stays empty. A max face within the slack of
    // the last node line lies on it, for the rays along the face as for those across it.
    const double slack = kNodeSlack * pitch;
    double top[3] = {};
    const double* tables[3] = {model->nodesX, model->nodesY, model->nodesZ};
    for (int a = 0; a < 3; ++a) {
        const double last = tables[a][nodes[a] - 1];
        top[a] = std::fabs(box[a + 3] - last) <= slack ? last : box[a + 3];
    }
    FillStockRays(model, [box, top, slack](int axis, const double* node, double* ends) {
        const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
        if (node[a1] > box[a1 + 3] + slack || node[a2] > box[a2 + 3] + slack) {
            return 0;
        }
        ends[0] = box[axis];
        ends[1] = top[axis];
        return 2;
    });
    // 5. Reserved group and face flags.
    for (int a = 0; a < 3; ++a) {
        model->reservedNodes[a] = model->lastNode[a];
    }
    model->reservedNodes[3] = 0;
    model->reservedValue = 0.0;
    *model->faceFlags = StockFaceFlags{};
    // 6. Derived frame fields.
    RefreshStockFrame(model);
    return 1;
}

int CreateBoxStockIdentity(StockModel* model, const double box[6], double pitch) {
    StockFrame frame;
    SetIdentityFrame(&frame);
    return CreateBoxStock(model, box, frame, pitch);
}

int CreateCylinderStock(StockModel* model, const double base[3], int axis, double length,
                        double outerRadius, double innerRadius, double pitch) {
    double b[3] = {base[0], base[1], base[2]};  // before the release: base may be a corner
    FreeStockModel(model);
    if (axis < 0 || axis > 2 || !std::isfinite(pitch) || !(pitch > 0.0) || !std::isfinite(length) ||
        !std::isfinite(outerRadius) || !std::isfinite(innerRadius) || !std::isfinite(b[0]) ||
        !std::isfinite(b[1]) || !std::isfinite(b[2])) {
        return AbandonStock(model, kStockDefinitionError);
    }
    if (length < 0.0) {
        b[axis] += length;
        length = -length;
    }
    if (!(length > 0.0) || !(outerRadius > 0.0) || !(innerRadius >= 0.0) ||
        !(innerRadius < outerRadius)) {
        return AbandonStock(model, kStockDefinitionError);
    }
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    // 1. Grid: k nodes on each side of the axis, covering the outer radius.
    const std::int32_t along = NodesForExtent(length, pitch);
    const double k = NodeIndexAtOrAbove(outerRadius, 0.0, pitch);
    if (along == 0 || !(k >= 1.0) || !(2.0 * k + 1.0 <= 2147483647.0)) {
        return AbandonStock(model, kStockDefinitionError);
    }
    std::int32_t nodes[3] = {};
    nodes[axis] = along;
    nodes[u] = nodes[v] = static_cast<std::int32_t>(2.0 * k + 1.0);
    model->nx = nodes[0];
    model->ny = nodes[1];
    model->nz = nodes[2];
    model->pitch = pitch;
    // 2. Identity frame.
    SetIdentityFrame(&model->frame);
    // 3. Origin: the base along the axis, k pitches before the base across it.
    model->origin[axis] = b[axis];
    model->origin[u] = b[u] - k * pitch;
    model->origin[v] = b[v] - k * pitch;
    int result = BuildEmptyGrid(model);
    if (result != 1) {
        return AbandonStock(model, result);
    }
    // 4. Material corners and face flags.
    model->minCorner[axis] = b[axis];
    model->maxCorner[axis] = b[axis] + length;
    for (int a : {u, v}) {
        model->minCorner[a] = b[a] - outerRadius;
        model->maxCorner[a] = b[a] + outerRadius;
    }
    *model->faceFlags = StockFaceFlags{};
    // 5. Rays: along the axis a full-length segment where the node lies in the ring; across it
    // the chords of the outer circle, split by the bore where the ray passes through it.
    const double top = b[axis] + length;
    const double slack = kNodeSlack * pitch;
    const double outer2 = outerRadius * outerRadius;
    const double inner2 = innerRadius * innerRadius;
    FillStockRays(model, [&](int rayAxis, const double* node, double* ends) {
        if (rayAxis == axis) {
            const double du = node[u] - b[u], dv = node[v] - b[v];
            const double d2 = du * du + dv * dv;
            if (d2 < inner2 || d2 > outer2) {
                return 0;
            }
            ends[0] = b[axis];
            ends[1] = top;
            return 2;
        }
        if (node[axis] > top + slack) {
            return 0;
        }
        const int other = rayAxis == u ? v : u;
        const double h = std::fabs(node[other] - b[other]);
        if (h > outerRadius) {
            return 0;
        }
        const double centre = b[rayAxis];
        const double half = std::sqrt(outer2 - h * h);
        if (h < innerRadius) {
            const double bore = std::sqrt(inner2 - h * h);
            ends[0] = centre - half;
            ends[1] = centre - bore;
            ends[2] = centre + bore;
            ends[3] = centre + half;
            return 4;
        }
        ends[0] = centre - half;
        ends[1] = centre + half;
        return 2;
    });
    RefreshStockFrame(model);
    return 0;
}

void TranslateStock(StockModel* model, const double vector[3]) {
    for (int a = 0; a < 3; ++a) {
        model->frame.values[9 + a] += vector[a];
    }
    // The frame is shared by every undo state, so the material of each used slot moves with
    // it: all their corners move, not only the current slot's, or an undo after the move would
    // bring back bounds that no longer enclose the material.
    StockUndoRing& ring = model->undo;
    for (int s = 0; ring.slots && s <= ring.highestUsedSlot && s < ring.allocatedSlots; ++s) {
        for (int a = 0; a < 3; ++a) {
            ring.slots[s].minCorner[a] += vector[a];
            ring.slots[s].maxCorner[a] += vector[a];
        }
    }
    RefreshStockFrame(model);
}

void RefreshStockFrame(StockModel* model) {
    const double* f = model->frame.values;
    InvertMatrix3(f, model->inverseOrientation);
    for (int a = 0; a < 3; ++a) {
        model->negatedOffset[a] = -f[9 + a];
    }
    static const double kIdentity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    int flag = 0;
    for (int i = 0; i < 12; ++i) {
        if (f[i] != kIdentity[i]) {
            flag = 1;
        }
    }
    model->frameFlag = flag;
}

}  // namespace mirexa
