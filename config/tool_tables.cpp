// The tool tables and the shared cutter formulas.
#include "config/tool_tables.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "stock/stock_hooks.h"

namespace mirexa {

ToolTables ToolTableSet;

namespace {

constexpr double kDegreesToRadians = 3.14159265358979323846 / 180.0;

}  // namespace

double TanDegrees(double angle) {
    return angle == 45.0 ? 1.0 : std::tan(angle * kDegreesToRadians);
}

int AllocToolTables(std::int32_t maxMagazine) {
    FreeToolTables();
    if (maxMagazine < 1 || maxMagazine > kMaxMagazineLimit) {
        return 0;
    }
    const std::size_t count = static_cast<std::size_t>(maxMagazine) + 1;
    const std::uint64_t bytes =
        count * (sizeof(std::uint8_t) + sizeof(ToolRecord) + sizeof(ToolLengthRecord) +
                 sizeof(ArborProfile) + sizeof(FeedOptimizationTable) + sizeof(ToolLoadLimit) +
                 sizeof(ToolShift) + sizeof(ToolPen));
    if (!FitsAvailableStockMemory(bytes)) {
        return 0;
    }
    try {
        ToolTableSet.reserved.assign(count, 0);
        ToolTableSet.tools.assign(count, ToolRecord{});
        ToolTableSet.lengths.assign(count, ToolLengthRecord{});
        ToolTableSet.arbors.assign(count, ArborProfile{});
        ToolTableSet.feedTables.assign(count, FeedOptimizationTable{});
        ToolTableSet.loadLimits.assign(count, ToolLoadLimit{});
        ToolTableSet.shifts.assign(count, 0.0f);
        ToolTableSet.pens.assign(count, 0);
    } catch (const std::bad_alloc&) {
        FreeToolTables();
        return 0;
    }
    ToolTableSet.maxMagazine = maxMagazine;
    return 1;
}

void FreeToolTables() {
    // Swapping with empty tables releases the memory, the names included.
    ToolTables empty;
    std::swap(ToolTableSet, empty);
}

int IsToolNumberInTables(std::int32_t number) {
    return number >= 0 && number <= ToolTableSet.maxMagazine &&
                   static_cast<std::size_t>(number) < ToolTableSet.tools.size()
               ? 1
               : 0;
}

double CornerRadiusOffset(double d, double r, double f) {
    double s = r;
    if (f < r) {
        s = std::sqrt(std::max(0.0, r * r - (r - f) * (r - f)));
    }
    return d / 2.0 - r - s;
}

double ClampTipWidth(double d, double r, double alpha, double beta, double h, double w) {
    const double sinBeta = std::sin(beta * kDegreesToRadians);
    const double lower = 2.0 * (sinBeta * r / TanDegrees((alpha + beta) / 2.0 + 45.0) + d / 2.0);
    w = std::max(w, lower);
    const double upper = 2.0 * (d / 2.0 + (h - TanDegrees(alpha) * d / 2.0) * TanDegrees(beta));
    return std::min(w, upper);
}

}  // namespace mirexa
