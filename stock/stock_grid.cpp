// Grid set-up, display blocks, the undo ring (allocation, push, pop, release), memory
// accounting, frame snapping, dirty marking and the release of the basic model.
#include "stock/stock_grid.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/message_box.h"
#include "services/shared_state.h"
#include "stock/grid_node_index.h"
#include "stock/material_summary.h"
#include "stock/stock_hooks.h"

namespace mirexa {

namespace {

// Bytes per undo slot that the accounting formula counts for the 15 slot-table pointers, the
// two corners and the face flags.
constexpr std::uint64_t kSlotTableBytes = 120;
constexpr std::uint64_t kSlotCornerBytes = 48;
constexpr std::uint64_t kSlotFaceFlagBytes = 6;
// Bytes per spilled end: one double, one stamp, one flag.
constexpr std::uint64_t kBytesPerEnd = 13;

DexelFamily* SlotFamily(StockUndoSlot& slot, int f) {
    return f == 0 ? &slot.z : (f == 1 ? &slot.x : &slot.y);
}

// Byte counts that saturate instead of wrapping: a grid too large for 64 bits must fail the
// memory check, not pass it with a small wrapped size.
constexpr std::uint64_t kSaturatedBytes = ~std::uint64_t{0};

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > kSaturatedBytes - b ? kSaturatedBytes : a + b;
}

std::uint64_t SaturatingMultiply(std::uint64_t a, std::uint64_t b) {
    return b != 0 && a > kSaturatedBytes / b ? kSaturatedBytes : a * b;
}

// Bytes of one slot's family arrays: counts plus inline ends, flags and stamps.
std::uint64_t FamilyArrayBytes(const DexelFamily& family) {
    return SaturatingMultiply(static_cast<std::uint64_t>(family.cellCount),
                              4 + kBytesPerEnd * static_cast<std::uint64_t>(family.capacity));
}

// Bytes of the display-block tables: the six node-to-block maps (nodes = nx + ny + nz), the
// list-state rows of the ring and one dirty byte per block.
std::uint64_t BlockTableBytes(std::uint64_t nodes, int ringSize, std::uint64_t blocks) {
    const std::uint64_t maps = SaturatingMultiply(nodes, 2 * sizeof(std::int32_t));
    const std::uint64_t rows =
        static_cast<std::uint64_t>(ringSize) * kStockBlockListRow * sizeof(std::int32_t);
    return SaturatingAdd(SaturatingAdd(maps, rows), blocks);
}

// A node count as an unsigned factor (a negative count counts as 0).
std::uint64_t Nodes(std::int32_t n) {
    return n < 0 ? 0 : static_cast<std::uint64_t>(n);
}

// The bytes a grid needs before any cell spills, by the accounting formula.
std::uint64_t GridBytes(const StockModel& model, int ringSize) {
    const std::uint64_t r = static_cast<std::uint64_t>(ringSize < 1 ? 1 : ringSize);
    std::uint64_t bytes = r * (kSlotTableBytes + kSlotCornerBytes + kSlotFaceFlagBytes);
    bytes += (static_cast<std::uint64_t>(model.nx) + static_cast<std::uint64_t>(model.ny) +
              static_cast<std::uint64_t>(model.nz)) *
             8;
    const std::uint64_t families =
        SaturatingAdd(SaturatingAdd(FamilyArrayBytes(model.z), FamilyArrayBytes(model.x)),
                      FamilyArrayBytes(model.y));
    return SaturatingAdd(bytes, SaturatingMultiply(r, families));
}

void CopyFamilyArrays(const DexelFamily& from, DexelFamily* to) {
    const std::size_t cells = static_cast<std::size_t>(from.cellCount);
    const std::size_t slots = cells * static_cast<std::size_t>(from.capacity);
    std::memcpy(to->counts, from.counts, cells * sizeof(std::int32_t));
    std::memcpy(to->ends, from.ends, slots * sizeof(double));
    std::memcpy(to->flags, from.flags, slots);
    std::memcpy(to->lineStamps, from.lineStamps, slots * sizeof(std::int32_t));
}

// Forgets the family's four arrays; its capacity and cell count stay.
void ClearFamilyArrays(DexelFamily* family) {
    family->counts = nullptr;
    family->ends = nullptr;
    family->flags = nullptr;
    family->lineStamps = nullptr;
}

void FreeDisplayBlocks(StockDisplayBlocks* blocks) {
    std::free(blocks->dirty);
    std::free(blocks->listStates);
    for (int a = 0; a < 3; ++a) {
        std::free(blocks->lowMap[a]);
        std::free(blocks->highMap[a]);
    }
    *blocks = StockDisplayBlocks{};
}

// Releases the ring and the node tables and clears the working pointers.
void FreeRingAndNodeTables(StockModel* model) {
    if (model->undo.slots) {
        for (int s = 0; s < model->undo.allocatedSlots; ++s) {
            for (int f = 0; f < 3; ++f) {
                FreeDexelArrays(SlotFamily(model->undo.slots[s], f));
            }
        }
        std::free(model->undo.slots);
    }
    model->undo.slots = nullptr;
    model->undo.allocatedSlots = 0;
    model->undo.currentSlot = 0;
    model->undo.highestUsedSlot = 0;
    std::free(model->nodesX);
    std::free(model->nodesY);
    std::free(model->nodesZ);
    model->nodesX = model->nodesY = model->nodesZ = nullptr;
    for (DexelFamily* family : {&model->z, &model->x, &model->y}) {
        ClearFamilyArrays(family);
    }
    model->maxCorner = nullptr;
    model->minCorner = nullptr;
    model->faceFlags = nullptr;
    ++model->workingGeneration;
    MarkStockRaysChanged(model);
}

// Slots the ring operations may use: the ring size, bounded by what was allocated.
int UsableSlots(const StockModel& model) {
    int size = ClampStockUndoRingSize(model.undo.size);
    return size < model.undo.allocatedSlots ? size : model.undo.allocatedSlots;
}

int NodeCount(const StockModel& model, int axis) {
    return axis == 0 ? model.nx : (axis == 1 ? model.ny : model.nz);
}

// Node index of a coordinate on an axis: the node line at or below it, clamped to the grid.
int ClampedNodeIndex(const StockModel& model, int axis, double value) {
    const int last = NodeCount(model, axis) - 1;
    const double index = NodeIndexAtOrBelow(value, model.origin[axis], model.pitch);
    if (!(index >= 0.0)) {
        return 0;
    }
    if (index >= static_cast<double>(last)) {
        return last;
    }
    return static_cast<int>(index);
}

void ClampBlockRange(int count, int* first, int* last) {
    *first = *first < 0 ? 0 : (*first >= count ? count - 1 : *first);
    *last = *last < 0 ? 0 : (*last >= count ? count - 1 : *last);
    if (*first > *last) {
        int t = *first;
        *first = *last;
        *last = t;
    }
}

// Marks the blocks along a ray of the given axis; first1/last1 are the block range of axis
// (axis + 1) % 3, first2/last2 that of axis (axis + 2) % 3.
void MarkDirtyBlocksAlong(StockModel* model, int axis, int first1, int last1, int first2, int last2,
                          const double* ends, int n) {
    DirtyBlockBox box;
    if (ends != nullptr && n >= 1 &&
        FindDirtyBlockBox(*model, axis, first1, last1, first2, last2, ends[0], ends[n - 1], &box) !=
            0) {
        MarkDirtyBlockBox(model, box);
    }
}

int DeriveGridSizes(StockModel* model) {
    if (model->nx < 2 || model->ny < 2 || model->nz < 2 || !std::isfinite(model->pitch) ||
        !(model->pitch > 0.0)) {
        return kStockDefinitionError;
    }
    SetStockUndoRingSize(model, model->undo.size);
    model->lastNode[0] = model->nx - 1;
    model->lastNode[1] = model->ny - 1;
    model->lastNode[2] = model->nz - 1;
    model->cellWeight = model->pitch * model->pitch;
    const std::int64_t nx = model->nx, ny = model->ny, nz = model->nz;
    model->z.cellCount = nx * ny;
    model->x.cellCount = ny * nz;
    model->y.cellCount = nx * nz;
    for (DexelFamily* family : {&model->z, &model->x, &model->y}) {
        family->capacity = kDexelInlineCapacity;
    }
    return 1;
}

}  // namespace

int ClampStockUndoRingSize(int requested) {
    if (requested < 1) {
        return 1;
    }
    return requested > kMaxStockUndoSlots ? kMaxStockUndoSlots : requested;
}

void SetStockUndoRingSize(StockModel* model, int requested) {
    model->undo.size = ClampStockUndoRingSize(requested);
}

std::uint64_t GetStockGridBytes(const StockModel& model) {
    const int ringSize = ClampStockUndoRingSize(model.undo.size);
    const std::uint64_t r = static_cast<std::uint64_t>(ringSize);
    const std::uint64_t nx = Nodes(model.nx), ny = Nodes(model.ny), nz = Nodes(model.nz);
    const std::uint64_t nodes = nx + ny + nz;
    const std::uint64_t rays =
        SaturatingAdd(SaturatingAdd(SaturatingMultiply(nx, ny), SaturatingMultiply(ny, nz)),
                      SaturatingMultiply(nx, nz));
    // Per ray and slot: its count, and its inline ends, flags and stamps.
    const std::uint64_t rayBytes = sizeof(std::int32_t) + kBytesPerEnd * kDexelInlineCapacity;
    std::uint64_t bytes = r * sizeof(StockUndoSlot);
    bytes = SaturatingAdd(bytes, SaturatingMultiply(r, SaturatingMultiply(rays, rayBytes)));
    bytes = SaturatingAdd(bytes, nodes * sizeof(double));
    return SaturatingAdd(bytes, BlockTableBytes(nodes, ringSize, kStockBlockListRow));
}

int CheckStockGridMemory(const StockModel& model) {
    return FitsAvailableStockMemory(GetStockGridBytes(model)) ? 1 : kStockGridMemoryError;
}

int InitStockGridBlocks(StockModel* model) {
    int result = DeriveGridSizes(model);
    if (result == 1) {
        result = CheckStockGridMemory(*model);
    }
    return result == 1 ? PartitionStockBlocks(model, 5, 5, 5) : result;
}

int InitStockGridSingleBlock(StockModel* model) {
    int result = DeriveGridSizes(model);
    if (result == 1) {
        result = CheckStockGridMemory(*model);
    }
    return result == 1 ? PartitionStockBlocks(model, model->nx, model->ny, model->nz) : result;
}

int PartitionStockBlocks(StockModel* model, int bx, int by, int bz) {
    StockDisplayBlocks& blocks = model->blocks;
    FreeDisplayBlocks(&blocks);
    const std::int64_t cells[3] = {static_cast<std::int64_t>(model->nx) - 1,
                                   static_cast<std::int64_t>(model->ny) - 1,
                                   static_cast<std::int64_t>(model->nz) - 1};
    if (cells[0] < 1 || cells[1] < 1 || cells[2] < 1) {
        return kStockDefinitionError;
    }
    const int ringSize = ClampStockUndoRingSize(model->undo.size);
    // The maps, dirty bytes and list-state rows are compared with the memory available before
    // anything is taken (the grid set-up has checked the whole grid before this).
    const std::uint64_t nodes = static_cast<std::uint64_t>(cells[0] + cells[1] + cells[2] + 3);
    if (!FitsAvailableStockMemory(BlockTableBytes(nodes, ringSize, kStockBlockListRow))) {
        return kStockBlocksMemoryError;
    }
    std::int64_t size[3] = {bx < 1 ? 1 : bx, by < 1 ? 1 : by, bz < 1 ? 1 : bz};
    std::int64_t perAxis[3] = {};
    for (;;) {
        // The product stops growing once it reaches the cap, so that three large per-axis
        // counts cannot overflow 64 bits.
        std::int64_t count = 1;
        for (int a = 0; a < 3; ++a) {
            if (size[a] > cells[a]) {
                size[a] = cells[a];
            }
            perAxis[a] = (cells[a] + size[a] - 1) / size[a];
            count = count < kStockBlockListRow ? count * perAxis[a] : count;
        }
        if (count < kStockBlockListRow) {
            blocks.count = static_cast<std::int32_t>(count);
            break;
        }
        for (int a = 0; a < 3; ++a) {
            ++size[a];
        }
    }
    for (int a = 0; a < 3; ++a) {
        blocks.perAxis[a] = static_cast<std::int32_t>(perAxis[a]);
        blocks.lastIndex[a] = static_cast<std::int32_t>(perAxis[a] - 1);
        blocks.size[a] = static_cast<std::int32_t>(size[a]);
        const std::int64_t rest = cells[a] - (perAxis[a] - 1) * size[a];
        blocks.lastSize[a] =
            static_cast<std::int32_t>(perAxis[a] * size[a] != cells[a] ? rest : size[a]);
    }
    blocks.dirty = static_cast<std::uint8_t*>(AllocateStockArray(blocks.count, 1));
    blocks.listStates = static_cast<std::int32_t*>(AllocateStockArray(
        static_cast<std::uint64_t>(ringSize) * kStockBlockListRow, sizeof(std::int32_t)));
    blocks.listStateRows = ringSize;
    bool ok = blocks.dirty && blocks.listStates;
    for (int a = 0; a < 3 && ok; ++a) {
        const std::int64_t nodes = cells[a] + 1;
        blocks.lowMap[a] = static_cast<std::int32_t*>(AllocateStockArray(nodes, 4));
        blocks.highMap[a] = static_cast<std::int32_t*>(AllocateStockArray(nodes, 4));
        ok = blocks.lowMap[a] && blocks.highMap[a];
        if (!ok) {
            break;
        }
        for (std::int64_t i = 0; i < nodes; ++i) {
            const std::int64_t q = i / size[a];
            std::int64_t low = q, high = q;
            if (q == 0) {
                low = high = 0;
            } else if (q >= perAxis[a]) {
                low = high = perAxis[a] - 1;
            } else if (i == q * size[a]) {
                low = q - 1;
            }
            blocks.lowMap[a][i] = static_cast<std::int32_t>(low);
            blocks.highMap[a][i] = static_cast<std::int32_t>(high);
        }
    }
    if (!ok) {
        FreeDisplayBlocks(&blocks);
        return kStockBlocksMemoryError;
    }
    return 1;
}

int AllocStockModel(StockModel* model) {
    SetStockUndoRingSize(model, model->undo.size);
    if (model->z.cellCount < 1 || model->x.cellCount < 1 || model->y.cellCount < 1 ||
        model->z.capacity < kDexelInlineCapacity) {
        return kStockDefinitionError;
    }
    FreeRingAndNodeTables(model);
    const int ringSize = model->undo.size;
    if (!FitsAvailableStockMemory(GridBytes(*model, ringSize))) {
        return kStockGridMemoryError;
    }
    model->undo.slots =
        static_cast<StockUndoSlot*>(AllocateStockArray(ringSize, sizeof(StockUndoSlot)));
    if (!model->undo.slots) {
        return -1;
    }
    model->undo.allocatedSlots = ringSize;
    const DexelFamily* shapes[3] = {&model->z, &model->x, &model->y};
    for (int s = 0; s < ringSize; ++s) {
        for (int f = 0; f < 3; ++f) {
            DexelFamily* family = SlotFamily(model->undo.slots[s], f);
            family->capacity = shapes[f]->capacity;
            family->cellCount = shapes[f]->cellCount;
            const std::uint64_t cells = static_cast<std::uint64_t>(family->cellCount);
            const std::uint64_t slots = cells * static_cast<std::uint64_t>(family->capacity);
            const int code = -4 * f;
            family->counts = static_cast<std::int32_t*>(AllocateStockArray(cells, 4));
            if (!family->counts) {
                FreeRingAndNodeTables(model);
                return code - 1;
            }
            family->ends = static_cast<double*>(AllocateStockArray(slots, sizeof(double)));
            if (!family->ends) {
                FreeRingAndNodeTables(model);
                return code - 2;
            }
            family->flags = static_cast<std::uint8_t*>(AllocateStockArray(slots, 1));
            if (!family->flags) {
                FreeRingAndNodeTables(model);
                return code - 3;
            }
            family->lineStamps = static_cast<std::int32_t*>(AllocateStockArray(slots, 4));
            if (!family->lineStamps) {
                FreeRingAndNodeTables(model);
                return code - 4;
            }
        }
    }
    double** tables[3] = {&model->nodesZ, &model->nodesY, &model->nodesX};
    const int axes[3] = {2, 1, 0};
    for (int t = 0; t < 3; ++t) {
        const int axis = axes[t];
        const int nodes = NodeCount(*model, axis);
        *tables[t] = static_cast<double*>(AllocateStockArray(nodes, sizeof(double)));
        if (!*tables[t]) {
            FreeRingAndNodeTables(model);
            return -10001 - t;
        }
        for (int i = 0; i < nodes; ++i) {
            (*tables[t])[i] = i * model->pitch + model->origin[axis];
        }
    }
    model->undo.currentSlot = 0;
    model->undo.highestUsedSlot = 0;
    SelectStockUndoSlot(model);
    MarkStockRaysChanged(model);
    return 1;
}

void SelectStockUndoSlot(StockModel* model) {
    if (!model->undo.slots || model->undo.currentSlot < 0 ||
        model->undo.currentSlot >= model->undo.allocatedSlots) {
        return;
    }
    StockUndoSlot& slot = model->undo.slots[model->undo.currentSlot];
    model->z = slot.z;
    model->x = slot.x;
    model->y = slot.y;
    model->maxCorner = slot.maxCorner;
    model->minCorner = slot.minCorner;
    model->faceFlags = &slot.faceFlags;
    ++model->workingGeneration;
}

void PushStockUndo(StockModel* model) {
    StockUndoRing& ring = model->undo;
    const int slots = UsableSlots(*model);
    if (!ring.slots || slots <= 1 || ring.currentSlot >= slots) {
        return;
    }
    const int from = ring.currentSlot;
    const int to = from + 1 == slots ? 0 : from + 1;
    if (to > ring.highestUsedSlot) {
        ring.highestUsedSlot = to;
    }
    StockUndoSlot& source = ring.slots[from];
    StockUndoSlot& target = ring.slots[to];
    for (int f = 0; f < 3; ++f) {
        ReleaseSpilledDexelBlocks(SlotFamily(target, f));
    }
    if (model->blocks.listStates && to < model->blocks.listStateRows &&
        from < model->blocks.listStateRows) {
        std::memcpy(model->blocks.listStates + static_cast<std::int64_t>(to) * kStockBlockListRow,
                    model->blocks.listStates + static_cast<std::int64_t>(from) * kStockBlockListRow,
                    kStockBlockListRow * sizeof(std::int32_t));
    }
    for (int f = 0; f < 3; ++f) {
        CopyFamilyArrays(*SlotFamily(source, f), SlotFamily(target, f));
    }
    std::memcpy(target.maxCorner, source.maxCorner, sizeof target.maxCorner);
    std::memcpy(target.minCorner, source.minCorner, sizeof target.minCorner);
    target.faceFlags = source.faceFlags;
    ring.currentSlot = to;
    SelectStockUndoSlot(model);
    // The copy holds the same rays (its ray stamp stays) unless a spilled ray could not be
    // copied.
    int lost = 0;
    for (int f = 0; f < 3; ++f) {
        lost += CopySpilledDexelBlocks(SlotFamily(target, f));
    }
    if (lost != 0) {
        MarkStockRaysChanged(model);
    }
}

void PopStockUndo(StockModel* model) {
    StockUndoRing& ring = model->undo;
    if (!ring.slots) {
        return;
    }
    ring.currentSlot = ring.currentSlot - 1 < 0 ? ring.highestUsedSlot : ring.currentSlot - 1;
    SelectStockUndoSlot(model);
    MarkStockRaysChanged(model);
}

void KeepOnlyCurrentUndoSlot(StockModel* model) {
    StockUndoRing& ring = model->undo;
    if (!ring.slots || ring.currentSlot <= 0 || ring.currentSlot >= ring.allocatedSlots) {
        ring.highestUsedSlot = 0;
        return;
    }
    std::swap(ring.slots[0], ring.slots[ring.currentSlot]);
    ring.currentSlot = 0;
    ring.highestUsedSlot = 0;
    SelectStockUndoSlot(model);
}

std::uint64_t GetStockMemorySize(const StockModel& model) {
    if (model.nx == 0 || !model.undo.slots) {
        return 0;
    }
    // The slots allocated, not the ring size: the size may have changed since.
    std::uint64_t bytes = GridBytes(model, model.undo.allocatedSlots);
    // Slots above the highest used one have only empty cells.
    for (int s = 0; s <= model.undo.highestUsedSlot && s < model.undo.allocatedSlots; ++s) {
        for (int f = 0; f < 3; ++f) {
            const DexelFamily& family = *SlotFamily(model.undo.slots[s], f);
            for (std::int64_t cell = 0; cell < family.cellCount; ++cell) {
                if (family.counts[cell] > family.capacity) {
                    bytes += kBytesPerEnd * static_cast<std::uint64_t>(family.counts[cell]);
                }
            }
        }
    }
    return bytes;
}

void FreeDexelArrays(DexelFamily* family) {
    if (!family) {
        return;
    }
    ReleaseSpilledDexelBlocks(family);
    std::free(family->counts);
    std::free(family->ends);
    std::free(family->flags);
    std::free(family->lineStamps);
    ClearFamilyArrays(family);
}

void FreeStockModel(StockModel* model) {
    if (!model) {
        return;
    }
    FreeDisplayBlocks(&model->blocks);
    FreeRingAndNodeTables(model);
}

void SnapStockFrame(const StockFrame& source, StockFrame* destination) {
    StockFrame frame = source;
    for (double& v : frame.values) {
        if (std::fabs(v) < 1e-9) {
            v = 0.0;
        } else if (std::fabs(v + 1.0) < 0.0001) {
            v = -1.0;
        } else if (std::fabs(v - 1.0) < 0.0001) {
            v = 1.0;
        }
    }
    for (int row = 0; row < 3; ++row) {
        double* r = frame.values + 3 * row;
        for (int i = 0; i < 3; ++i) {
            if (r[i] == 1.0 || r[i] == -1.0) {
                for (int j = 0; j < 3; ++j) {
                    if (j != i) {
                        r[j] = 0.0;
                    }
                }
            }
        }
    }
    *destination = frame;
}

int FindDirtyBlockBox(const StockModel& model, int rayAxis, int first1, int last1, int first2,
                      int last2, double lo, double hi, DirtyBlockBox* box) {
    const StockDisplayBlocks& blocks = model.blocks;
    if (!blocks.dirty || !blocks.lowMap[rayAxis] || rayAxis < 0 || rayAxis > 2) {
        return 0;
    }
    int first[3] = {}, last[3] = {};
    first[rayAxis] = blocks.lowMap[rayAxis][ClampedNodeIndex(model, rayAxis, lo)];
    last[rayAxis] = blocks.highMap[rayAxis][ClampedNodeIndex(model, rayAxis, hi)];
    const int a1 = (rayAxis + 1) % 3, a2 = (rayAxis + 2) % 3;
    first[a1] = first1;
    last[a1] = last1;
    first[a2] = first2;
    last[a2] = last2;
    for (int a = 0; a < 3; ++a) {
        ClampBlockRange(blocks.perAxis[a], &first[a], &last[a]);
        box->first[a] = first[a];
        box->last[a] = last[a];
    }
    return 1;
}

void MarkDirtyBlockBox(StockModel* model, const DirtyBlockBox& box) {
    StockDisplayBlocks& blocks = model->blocks;
    if (!blocks.dirty) {
        return;
    }
    for (std::int64_t bz = box.first[2]; bz <= box.last[2]; ++bz) {
        for (std::int64_t by = box.first[1]; by <= box.last[1]; ++by) {
            const std::int64_t row = (bz * blocks.perAxis[1] + by) * blocks.perAxis[0];
            for (std::int64_t bx = box.first[0]; bx <= box.last[0]; ++bx) {
                blocks.dirty[row + bx] = 1;
            }
        }
    }
}

void MarkDirtyBlocksAlongX(StockModel* model, int firstY, int lastY, int firstZ, int lastZ,
                           const double* ends, int n) {
    MarkDirtyBlocksAlong(model, 0, firstY, lastY, firstZ, lastZ, ends, n);
}

void MarkDirtyBlocksAlongY(StockModel* model, int firstZ, int lastZ, int firstX, int lastX,
                           const double* ends, int n) {
    MarkDirtyBlocksAlong(model, 1, firstZ, lastZ, firstX, lastX, ends, n);
}

void MarkDirtyBlocksAlongZ(StockModel* model, int firstX, int lastX, int firstY, int lastY,
                           const double* ends, int n) {
    MarkDirtyBlocksAlong(model, 2, firstX, lastX, firstY, lastY, ends, n);
}

void ClearBasicModel(WindowHandle window, int tellUser) {
    // The model half: release both models and mark them absent.
    FreeStockModel(&ComparisonModel);
    ComparisonModel.nx = 0;
    BasicModelState.comparisonPresent = 0;
    FreeStockModel(&BasicModel);
    BasicModel.nx = 0;
    BasicModelState.rebuildRequested = 0;
    BasicModelState.present = 0;
    // The user-interface half, through the hooks.
    if (StockCallbacks.grayMenuCommand) {
        StockCallbacks.grayMenuCommand(kPaintDifferenceCommandId);
    }
    if (tellUser) {
        const char* text = ChooseLanguageText(
            "When you use function of [Paint Difference]. Please respecify Basic Model.",
            "差分塗り機能使用時は、基準形状を再指定して下さい。");
        if (StockCallbacks.showMessageBox) {
            StockCallbacks.showMessageBox(window, text, BasicModelState.path, MBX_OK | MBX_TOPMOST);
        } else {
            ShowMessageBox(window, text, BasicModelState.path, MBX_OK | MBX_TOPMOST);
        }
    }
    BasicModelState.path[0] = '\0';
    BasicModelState.displayName[0] = '\0';
    if (StockCallbacks.drawStatusBar) {
        StockCallbacks.drawStatusBar();
    }
}

}  // namespace mirexa
