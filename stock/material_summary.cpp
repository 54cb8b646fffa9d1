// The material summary of a stock's dexel families: masks of the spans along the ray axis where
// each group of rays holds material (see material_summary.h).
#include "stock/material_summary.h"

#include <algorithm>
#include <atomic>

namespace mirexa {
namespace {

// Stamps are never reused, so that a model freed and rebuilt at the same address (or reset to
// its defaults) is never taken for the one a summary was made from.
std::atomic<std::uint64_t> LastRayStamp{0};

constexpr std::uint64_t kAllSpans = ~std::uint64_t{0};

std::int32_t NodeCountAlong(const StockModel& model, int axis) {
    return axis == 0 ? model.nx : axis == 1 ? model.ny : model.nz;
}

// Cells per row of the family along `axis`: the node count of the axis that varies fastest in
// its cell numbering (X: y, Y: z, Z: x).
std::int32_t RowLengthAlong(const StockModel& model, int axis) {
    return axis == 0 ? model.ny : axis == 1 ? model.nz : model.nx;
}

}  // namespace

void MarkStockRaysChanged(StockModel* model) {
    model->rayStamp = LastRayStamp.fetch_add(1) + 1;
}

const DexelFamily& FamilyAlongAxis(const StockModel& model, int axis) {
    return axis == 0 ? model.x : axis == 1 ? model.y : model.z;
}

std::uint64_t MaterialSpanMask(const FamilyMaterialSummary& s, double lo, double hi) {
    if (!(lo <= hi)) {
        return kAllSpans;
    }
    const int first = MaterialSpan(s, lo);
    const int last = MaterialSpan(s, hi);
    return (kAllSpans >> (63 - last)) & (kAllSpans << first);
}

std::uint64_t MaterialGroupMask(const FamilyMaterialSummary& s, const DexelFamily& family,
                                std::int32_t row, std::int32_t group) {
    const std::int32_t first = group * kMaterialGroupRays;
    const std::int32_t last = std::min(first + kMaterialGroupRays, s.rowLength) - 1;
    std::uint64_t mask = 0;
    for (std::int32_t i = first; i <= last; ++i) {
        const std::int64_t cell = std::int64_t{row} * s.rowLength + i;
        const std::int32_t n = family.counts[cell];
        if (n <= 0) {
            continue;
        }
        if ((n & 1) != 0) {
            return kAllSpans;
        }
        const double* ends = DexelCellEnds(cell, family.capacity, family.counts, family.ends);
        for (std::int32_t k = 0; k < n; k += 2) {
            mask |= MaterialSpanMask(s, ends[k], ends[k + 1]);
        }
        if (mask == kAllSpans) {
            break;
        }
    }
    return mask;
}

int EnsureMaterialSummary(StockMaterialSummary* summary, const StockModel& model) {
    if (summary->model == &model && summary->rayStamp == model.rayStamp &&
        summary->nodes[0] == model.nx && summary->nodes[1] == model.ny &&
        summary->nodes[2] == model.nz) {
        return 0;
    }
    for (int axis = 0; axis < 3; ++axis) {
        FamilyMaterialSummary& s = summary->families[axis];
        const DexelFamily& family = FamilyAlongAxis(model, axis);
        const std::int32_t nodes = NodeCountAlong(model, axis);
        s.rowLength = RowLengthAlong(model, axis);
        s.rows = s.rowLength > 0 ? static_cast<std::int32_t>(family.cellCount / s.rowLength) : 0;
        s.groupsPerRow = (s.rowLength + kMaterialGroupRays - 1) / kMaterialGroupRays;
        s.origin = model.origin[axis];
        const double extent = (nodes - 1) * model.pitch;
        s.spansPerMm = extent > 0.0 ? 64.0 / extent : 0.0;
        s.masks.assign(static_cast<std::size_t>(s.rows) * s.groupsPerRow, 0);
        if (family.counts == nullptr) {
            continue;
        }
        for (std::int32_t row = 0; row < s.rows; ++row) {
            for (std::int32_t group = 0; group < s.groupsPerRow; ++group) {
                s.masks[static_cast<std::size_t>(row) * s.groupsPerRow + group] =
                    MaterialGroupMask(s, family, row, group);
            }
        }
    }
    summary->model = &model;
    summary->rayStamp = model.rayStamp;
    summary->nodes[0] = model.nx;
    summary->nodes[1] = model.ny;
    summary->nodes[2] = model.nz;
    return 1;
}

void ReleaseMaterialSummary(StockMaterialSummary* summary) {
    *summary = StockMaterialSummary{};
}

}  // namespace mirexa
