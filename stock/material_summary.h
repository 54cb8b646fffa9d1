// A coarse summary of where each dexel family of a stock holds material, so that a pass over a
// window of rays can pass over runs of rays that hold nothing within the span it works on
// without reading their slots.
//
// A family's cells lie in rows of consecutive cells (X family: rows of ny rays, one per z; Y:
// rows of nz rays, one per x; Z: rows of nx rays, one per y). Each row is cut into groups of
// kMaterialGroupRays consecutive cells, and the family's extent along its ray axis (node 0 to
// the last node) into 64 equal spans. A group's mask has bit k set when some ray of the group
// holds material that reaches into span k: for every segment [a, b] of a ray, the bits from the
// span of a to the span of b (a coordinate's span is clamped to 0..63, so material outside the
// extent counts in the first or last span). A ray with an odd count (a list the cut repairs)
// sets every bit. The mask is a function of the rays alone: MaterialGroupMask recomputes it.
//
// A chord [lo, hi] along a ray can only meet a segment [a, b] (lo < b and a < hi) when the
// segment's bits and MaterialSpanMask(lo, hi) share one: a group whose mask shares none with
// the spans of a window along the ray axis has nothing to cut in that window.
//
// Keeping it true: the summary belongs to the owner that builds it (the cutting core keeps one
// for the current stock). Whoever changes rays of a summarised group through the summary's
// owner updates the group's mask (MaterialGroupMask); every other change of a stock's rays
// (stock operations, loading, undo, allocation) gives the model a new ray stamp
// (MarkStockRaysChanged), and a summary made under another stamp is rebuilt before it is used.
#pragma once

#include <cstdint>
#include <vector>

#include "stock/stock_model.h"

namespace mirexa {

inline constexpr int kMaterialGroupRays = 16;

// The summary of one family.
struct FamilyMaterialSummary {
    std::vector<std::uint64_t> masks;  // masks[row * groupsPerRow + group]
    std::int32_t rowLength = {};       // cells per row
    std::int32_t rows = {};
    std::int32_t groupsPerRow = {};
    double origin = {};      // coordinate of node 0 along the ray axis (mm)
    double spansPerMm = {};  // 64 / the extent along the ray axis
};

// The summary of the three families of one stock, indexed 0 X, 1 Y, 2 Z (the family of the
// rays along model axis 0, 1, 2).
struct StockMaterialSummary {
    FamilyMaterialSummary families[3];
    const StockModel* model = {};  // the stock it was built from (null: none)
    std::uint64_t rayStamp = {};   // that stock's ray stamp when it was built
    std::int32_t nodes[3] = {};    // its node counts then
};

// Gives the model's rays a new stamp, unique in the process: every summary of the model
// becomes stale. Called by every change of a stock's rays made outside a summary's owner.
void MarkStockRaysChanged(StockModel* model);

// The family of model axis `axis` (0 X, 1 Y, 2 Z) of the model's working arrays.
const DexelFamily& FamilyAlongAxis(const StockModel& model, int axis);

// The span of a coordinate along a family's ray axis, 0..63 (a NaN counts as span 0).
inline int MaterialSpan(const FamilyMaterialSummary& s, double x) {
    const double f = (x - s.origin) * s.spansPerMm;
    if (f >= 63.0) {
        return 63;
    }
    return f >= 0.0 ? static_cast<int>(f) : 0;
}
// The bits of the spans from that of lo to that of hi; every bit when lo > hi or either is NaN.
std::uint64_t MaterialSpanMask(const FamilyMaterialSummary& s, double lo, double hi);

// The mask of `group` of `row` computed from the family's rays.
std::uint64_t MaterialGroupMask(const FamilyMaterialSummary& s, const DexelFamily& family,
                                std::int32_t row, std::int32_t group);

// Makes the summary describe the model's current rays when it does not (another model, another
// stamp, other node counts): sizes and fills every mask. Returns 1 when it was rebuilt.
int EnsureMaterialSummary(StockMaterialSummary* summary, const StockModel& model);

// Frees the masks; the summary describes no stock after it.
void ReleaseMaterialSummary(StockMaterialSummary* summary);

// The masks of group 0 of `row` of family `axis`.
inline std::uint64_t* MaterialRowMasks(StockMaterialSummary* summary, int axis, std::int32_t row) {
    FamilyMaterialSummary& s = summary->families[axis];
    return s.masks.data() + std::int64_t{row} * s.groupsPerRow;
}

}  // namespace mirexa
