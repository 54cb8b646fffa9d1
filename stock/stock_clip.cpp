// Clipping a stock to a box: emptying the rays outside its cross-section, trimming the rest.
#include "stock/stock_clip.h"

#include "stock/material_summary.h"
#include "stock/stock_hooks.h"
#include "stock/stock_operation_support.h"

namespace mirexa {

namespace {

// Bytes one end takes in a work list or a ray's own heap block: the end, its flag and its stamp.
constexpr std::uint64_t kBytesPerEnd = sizeof(double) + sizeof(std::uint8_t) + sizeof(std::int32_t);

}  // namespace

std::uint64_t StockClipMemoryBytes(const StockModel& model, int* longestRay) {
    std::uint64_t bytes = 0;
    int longest = 0;
    for (int axis = 0; axis < 3; ++axis) {
        const DexelFamily& family = FamilyOfAxis(model, axis);
        for (std::int64_t cell = 0; cell < family.cellCount; ++cell) {
            const int n = family.counts[cell];
            longest = n > longest ? n : longest;
            if (n > family.capacity) {
                bytes += kBytesPerEnd * static_cast<std::uint64_t>(n);
            }
        }
    }
    if (longestRay != nullptr) {
        *longestRay = longest;
    }
    return bytes + kBytesPerEnd * (static_cast<std::uint64_t>(longest) + 2);
}

int ClipStockToBox(StockModel* model, const double boxMin[3], const double boxMax[3]) {
    // 0. The memory the trim may take is found before any ray changes, so that a clip short of
    // memory leaves the stock whole.
    int longest = 0;
    if (!FitsAvailableStockMemory(StockClipMemoryBytes(*model, &longest))) {
        return kStockOperationMemoryError;
    }
    HeldDexelWorkList held;
    if (ReserveDexelWorkList(&held.list, int64_t{longest} + 2) != kDexelIntervalDone) {
        return kStockOperationMemoryError;
    }
    MarkStockRaysChanged(model);
    // 1. Rays outside the cross-section, per family over its fast and slow axes.
    for (int axis : {2, 0, 1}) {
        const int fast = (axis + 1) % 3, slow = (axis + 2) % 3;
        ClearRaysOutsideBox(NodeCountOfAxis(*model, fast), NodeTableOfAxis(*model, fast),
                            NodeCountOfAxis(*model, slow), NodeTableOfAxis(*model, slow),
                            FamilyOfAxis(model, axis), boxMin[fast], boxMax[fast], boxMin[slow],
                            boxMax[slow]);
    }
    // 2. The remaining rays along their own axis.
    for (int axis : {2, 0, 1}) {
        const int result = TrimRaysToBox(
            NodeCountOfAxis(*model, (axis + 1) % 3), NodeCountOfAxis(*model, (axis + 2) % 3),
            FamilyOfAxis(model, axis), boxMin[axis], boxMax[axis], &held.list);
        if (result != 1) {
            return result;
        }
    }
    return 1;
}

void ClearRaysOutsideBox(int fastCount, const double* fastNodes, int slowCount,
                         const double* slowNodes, DexelFamily* family, double fastMin,
                         double fastMax, double slowMin, double slowMax) {
    for (int slow = 0; slow < slowCount; ++slow) {
        const bool rowOutside = slowNodes[slow] < slowMin || slowNodes[slow] > slowMax;
        for (int fast = 0; fast < fastCount; ++fast) {
            const std::int64_t cell = static_cast<std::int64_t>(slow) * fastCount + fast;
            if (family->counts[cell] != 0 &&
                (rowOutside || fastNodes[fast] < fastMin || fastNodes[fast] > fastMax)) {
                ReleaseDexelCellBlocks(cell, family->capacity, family->counts, family->ends,
                                       family->flags, family->lineStamps);
            }
        }
    }
}

int TrimRaysToBox(int fastCount, int slowCount, DexelFamily* family, double axisMin, double axisMax,
                  DexelWorkList* work) {
    DexelWorkList& ray = *work;
    const std::int64_t cells = static_cast<std::int64_t>(fastCount) * slowCount;
    for (std::int64_t cell = 0; cell < cells; ++cell) {
        const int n = family->counts[cell];
        if (n < 1) {
            continue;
        }
        const double* e = DexelCellEnds(cell, family->capacity, family->counts, family->ends);
        if (!(axisMin > e[0]) && !(e[n - 1] > axisMax)) {
            continue;  // inside the range already: not rewritten
        }
        if (LoadDexelWorkList(*family, cell, &ray) != 1) {
            return kStockOperationMemoryError;
        }
        int result = kDexelIntervalDone;
        if (axisMin > ray.ends[0]) {
            result = SubtractDexelInterval(&ray, -kClipFarLimit, axisMin);
        }
        if (result != kDexelIntervalNoMemory && ray.count > 0 &&
            ray.ends[ray.count - 1] > axisMax) {
            result = SubtractDexelInterval(&ray, axisMax, kClipFarLimit);
        }
        if (result == kDexelIntervalNoMemory) {
            return kStockOperationMemoryError;
        }
        StoreDexelWorkList(family, cell, ray);
    }
    return 1;
}

}  // namespace mirexa
