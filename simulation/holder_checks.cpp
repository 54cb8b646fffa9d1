// Holder and shank checks: the section layout of the shank and holder, the per-view passes and
// the required-length searches.
#include "simulation/holder_checks.h"

#include <algorithm>
#include <cfloat>

namespace mirexa {

namespace {

void SetSection(int index, double start, double length, double startRadius, double topRadius,
                ShankSectionValues* out) {
    out->index = index;
    out->start = start;
    out->length = length;
    out->coneStartRadius = startRadius;
    out->topRadius = topRadius;
    out->windowRadius = std::max(startRadius, topRadius);
}

bool NeckHasAngle(const CurrentToolRecord& tool) {
    return tool.shankSecondCotangent > 0.0 && tool.shankSecondCotangent < DBL_MAX;
}

}  // namespace

int HasShankPasses(const CurrentToolRecord& tool) {
    const std::uint32_t kind = tool.length.kind;
    return (kind == kToolLength2 || kind == kToolLength3) &&
                   tool.shankRadius > tool.shankStartRadius
               ? 1
               : 0;
}

int LayoutShankSections(const CurrentToolRecord& tool, double neckStart, double shankLength,
                        ShankSectionValues out[kShankSectionCount]) {
    if (!HasShankPasses(tool)) {
        return 0;
    }
    const float* v = tool.length.values;
    const double neckLength = v[2];
    const double body = tool.shankStartRadius;
    const double shank = tool.shankRadius;
    double taperStart = neckStart + neckLength;
    if (tool.length.kind == kToolLength2) {
        // The neck widens to the shank radius itself; there is no taper.
        SetSection(0, neckStart, neckLength, body, shank, &out[0]);
        SetSection(1, taperStart, 0.0, shank, shank, &out[1]);
    } else {
        const double neckTop = tool.shankBreakRadius;
        SetSection(0, neckStart, NeckHasAngle(tool) ? neckLength : 0.0, body, neckTop, &out[0]);
        SetSection(1, taperStart, (shank - neckTop) * tool.shankSlope, neckTop, shank, &out[1]);
    }
    const double shankStart = taperStart + std::max(out[1].length, 0.0);
    const double length = shankLength >= 0.0 ? shankLength : v[0] - shankStart;
    SetSection(2, shankStart, length, shank, shank, &out[2]);
    return kShankSectionCount;
}

int LayoutTaperSearchSections(const CurrentToolRecord& tool, double taperLength,
                              ShankSectionValues out[kShankSectionCount]) {
    if (!HasShankPasses(tool)) {
        return 0;
    }
    const double neckStart = tool.length.values[1];
    const double body = tool.shankStartRadius;
    const double shank = tool.shankRadius;
    double neckTop = body;
    double neckLength = 0.0;
    if (taperLength > 0.0 && NeckHasAngle(tool)) {
        // The neck widens as the tool's own neck does: by 1 / cot(angle) per mm of length.
        neckTop = body + taperLength / tool.shankSecondCotangent;
        neckLength = taperLength;
        if (neckTop > shank) {
            return -1;
        }
    }
    SetSection(0, neckStart, neckLength, body, neckTop, &out[0]);
    const double taperStart = neckStart + std::max(taperLength, 0.0);
    SetSection(1, taperStart, (shank - neckTop) * tool.shankSlope, neckTop, shank, &out[1]);
    SetSection(2, taperStart + std::max(out[1].length, 0.0), kSearchShankLength, shank, shank,
               &out[2]);
    return kShankSectionCount;
}

int LayoutHolderSections(const CurrentToolRecord& tool, double start,
                         ShankSectionValues out[kArborMaxSegments]) {
    const ArborProfile& holder = tool.holder;
    if (!holder.present) {
        return 0;
    }
    const int count = std::clamp(holder.count, 0, kArborMaxSegments);
    const int radii = std::clamp(tool.holderRadiusCount, 0, kHolderEnvelopeEntries);
    const double* rho = tool.holderRadii;
    auto radius = [&](int i) { return rho[std::min(i, radii - 1)]; };
    if (radii == 0) {
        return 0;
    }
    double at = start;
    for (int i = 0; i < count; ++i) {
        const double length = holder.lengths[i];
        double from = radius(i + 1), to = radius(i + 1);
        if (holder.kind == kArborCones) {
            from = radius(i);
        } else if (holder.kind == kArborCoded && holder.codes[i] != 0) {
            to = radius(i + 2);
        }
        SetSection(i, at, length, from, to, &out[i]);
        at += std::max(length, 0.0);
    }
    return count;
}

}  // namespace mirexa
