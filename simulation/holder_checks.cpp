// Holder and shank checks: the section layout of the shank and holder, the per-view passes and
// the required-length searches.
#include "simulation/holder_checks.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "config/config_records.h"
#include "nc/nc_session.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_state.h"
#include "simulation/interference_flags.h"
#include "simulation/section_solids.h"
#include "simulation/tool_length_report.h"
#include "stock/dexel_intervals.h"
#include "stock/material_summary.h"
#include "stock/stock_grid.h"

namespace mirexa {

namespace {

// The ray copy and the removed pieces of the passes, kept between calls.
DexelWorkList PassRay;
DexelWorkList PassRemoved;

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

// --- The passes ---------------------------------------------------------------------------------

namespace {

// The chord of the section's solid on the ray (lu, lv) of the view: 1 with [lo, hi].
bool SectionChord(const ShankSectionValues& s, const DexelGridView& view, double lu, double lv,
                  double cut[2]) {
    SectionHits hits;
    int n = 0;
    if (s.coneStartRadius == s.topRadius) {
        n = IntersectLineCylinder(view.tip, view.axis, s.topRadius, s.length, lu, lv, &hits);
    } else {
        const double slope = (s.topRadius - s.coneStartRadius) / s.length;
        n = IntersectLineCone(view.tip, view.axis, s.coneStartRadius, slope, s.length, lu, lv,
                              &hits);
    }
    if (n != 2) {
        return false;
    }
    cut[0] = hits.depth[0];
    cut[1] = hits.depth[1];
    return true;
}

void MarkDirty(DexelGridView* view, int iu, int iv, const double* ends, int n) {
    const int firstU = view->uBlockLow[iu], lastU = view->uBlockHigh[iu];
    const int firstV = view->vBlockLow[iv], lastV = view->vBlockHigh[iv];
    if (view->wAxis == 0) {
        MarkDirtyBlocksAlongX(view->model, firstU, lastU, firstV, lastV, ends, n);
    } else if (view->wAxis == 1) {
        MarkDirtyBlocksAlongY(view->model, firstU, lastU, firstV, lastV, ends, n);
    } else {
        MarkDirtyBlocksAlongZ(view->model, firstU, lastU, firstV, lastV, ends, n);
    }
}

// The pass of both kinds over one view's window.
int RunSectionPass(CuttingState& cutting, DexelGridView* view) {
    const ShankSectionValues& section = cutting.shankSection;
    if (!(section.length > 0.0)) {
        return 0;
    }
    const bool probeOnly = Checks.arborCheck == 1;
    DexelFamily family;
    family.capacity = view->capacity;
    family.cellCount = std::int64_t{view->nu} * view->nv;
    family.counts = view->counts;
    family.ends = view->ends;
    family.flags = view->flags;
    family.lineStamps = view->lineStamps;
    const std::uint8_t flag = static_cast<std::uint8_t>(cutting.cutter.penBits | kDexelEndPainted);
    const std::int32_t* stamps = cutting.pose.mark.stamps;
    const std::uint8_t flags[2] = {flag, flag};
    const double pitch2 = view->pitch * view->pitch;
    for (std::int32_t iv = view->vLo; iv <= view->vHi; ++iv) {
        const double lv = view->vCoords[iv];
        const double vWeight = (iv == 0 || iv == view->lastV) ? pitch2 / 2.0 : pitch2;
        double rowVolume = 0.0;
        for (std::int32_t iu = view->uLo; iu <= view->uHi; ++iu) {
            const std::int64_t cell = std::int64_t{iv} * view->nu + iu;
            const std::int32_t count = view->counts[cell];
            if (count < 2) {
                continue;
            }
            double cut[2];
            if (!SectionChord(section, *view, view->uCoords[iu], lv, cut)) {
                continue;
            }
            // A chord that only touches the ray's material from outside changes nothing.
            const double* ends = DexelCellEnds(cell, view->capacity, view->counts, view->ends);
            if (cut[1] <= ends[0] || cut[0] >= ends[count - 1]) {
                continue;
            }
            if (LoadDexelWorkList(family, cell, &PassRay) != kDexelIntervalDone) {
                continue;  // no memory for the copy: the ray is left as it is
            }
            const double weight = (iu == 0 || iu == view->lastU) ? vWeight / 2.0 : vWeight;
            double volume = 0.0;
            if (CutDexelInterval(&PassRay, view->pitch, view->wCoords[0], weight, &volume,
                                 &PassRemoved, cut, flags, stamps) != kDexelIntervalDone ||
                PassRemoved.count == 0) {
                continue;
            }
            if (probeOnly) {
                return 1;
            }
            StoreDexelWorkList(&family, cell, PassRay);
            MarkStockRaysChanged(view->model);
            MarkDirty(view, iu, iv, PassRemoved.ends, PassRemoved.count);
            rowVolume += volume;
        }
        view->removedVolume += rowVolume;
    }
    return 0;
}

const double* NodeTable(const StockModel& model, int axis) {
    return axis == 0 ? model.nodesX : (axis == 1 ? model.nodesY : model.nodesZ);
}

// Sets the views for a section: its start point, the pose's axis and the node windows around
// the section. Returns 0 when the section lies wholly outside the grid.
int SetSectionViews(CuttingState& cutting, const StockModel& model,
                    const ShankSectionValues& section) {
    const CutPoseGeometry& pose = cutting.pose;
    double start[3];
    int low[3], high[3];
    for (int k = 0; k < 3; ++k) {
        start[k] = pose.tip[k] + pose.axis[k] * section.start;
        const double end = start[k] + pose.axis[k] * section.length;
        const double R = section.windowRadius;
        const double origin = NodeTable(model, k)[0];
        const int last = model.lastNode[k];
        double lo = std::ceil((std::min(start[k], end) - R - origin) / model.pitch);
        double hi = std::floor((std::max(start[k], end) + R - origin) / model.pitch);
        if (!(lo <= last) || !(hi >= 0.0) || !(lo <= hi)) {
            return 0;
        }
        low[k] = static_cast<int>(std::max(lo, 0.0));
        high[k] = static_cast<int>(std::min(hi, static_cast<double>(last)));
    }
    for (DexelGridView& view : cutting.views) {
        PermuteToView(view, start, view.tip);
        PermuteToView(view, pose.axis, view.axis);
        view.uLo = low[view.uAxis];
        view.uHi = high[view.uAxis];
        view.vLo = low[view.vAxis];
        view.vHi = high[view.vAxis];
        view.sectionIndex = section.index;
        view.removedVolume = 0.0;
    }
    cutting.shankSection = section;
    return 1;
}

using SectionPass = int (*)(CuttingState&, DexelGridView*);

// Cuts the sections on the X, Y and Z views; returns the sum over the sections of the largest
// of the three views' volumes.
double CutSections(CuttingState& cutting, const StockModel& model,
                   const ShankSectionValues* sections, int count, SectionPass pass) {
    double total = 0.0;
    for (int i = 0; i < count; ++i) {
        if (!(sections[i].length > 0.0) || !SetSectionViews(cutting, model, sections[i])) {
            continue;
        }
        double largest = 0.0;
        for (int v : {kDexelViewX, kDexelViewY, kDexelViewZ}) {
            pass(cutting, &cutting.views[v]);
            largest = std::max(largest, cutting.views[v].removedVolume);
        }
        total += largest;
    }
    return total;
}

// 1 when some section would remove material, testing the views in the given order and
// stopping at the first hit.
bool AnySectionHits(CuttingState& cutting, const StockModel& model,
                    const ShankSectionValues* sections, int count, SectionPass pass,
                    const int order[3]) {
    for (int i = 0; i < count; ++i) {
        if (!(sections[i].length > 0.0) || !SetSectionViews(cutting, model, sections[i])) {
            continue;
        }
        for (int v = 0; v < 3; ++v) {
            if (pass(cutting, &cutting.views[order[v]]) != 0) {
                return true;
            }
        }
    }
    return false;
}

// The next value of a search on the 0.1 mm lattice (exact, whatever the rounding of sums).
double NextSearchValue(double value) {
    return (std::floor(value / kSearchStep + 0.5) + 1.0) * kSearchStep;
}

constexpr int kZYX[3] = {kDexelViewZ, kDexelViewY, kDexelViewX};
constexpr int kXYZ[3] = {kDexelViewX, kDexelViewY, kDexelViewZ};

void SearchNeckLength(CuttingState& cutting, const StockModel& model,
                      const CurrentToolRecord& tool) {
    ToolLengthMeasurements& m = cutting.measured;
    ShankSectionValues sections[kShankSectionCount];
    for (;;) {
        const int n = LayoutShankSections(tool, m.neckLu, kSearchShankLength, sections);
        if (!AnySectionHits(cutting, model, sections, n, CheckShankInDexelGrid, kZYX) ||
            m.neckLu >= kNeckSearchLimit) {
            break;
        }
        m.neckLu = NextSearchValue(m.neckLu);
    }
    // The report takes the neck length as not settled when the two values are equal: when the
    // search stopped at its bound.
    m.neckSearch[0] = m.neckLu;
    m.neckSearch[1] = m.neckLu >= kNeckSearchLimit ? m.neckLu : kNeckSearchLimit;
}

void SearchTaperLength(CuttingState& cutting, const StockModel& model,
                       const CurrentToolRecord& tool) {
    ToolLengthMeasurements& m = cutting.measured;
    ShankSectionValues sections[kShankSectionCount];
    while (m.neckLt >= 0.0) {
        const int n = LayoutTaperSearchSections(tool, m.neckLt, sections);
        if (n < 0) {
            m.neckLt = -1.0;
            break;
        }
        const bool hit = AnySectionHits(cutting, model, sections, n, CheckShankInDexelGrid, kZYX);
        if (m.neckLt >= kTaperSearchLimit) {
            m.neckLt = -1.0;
            break;
        }
        if (!hit) {
            break;
        }
        m.neckLt = NextSearchValue(m.neckLt);
    }
}

void SearchHolderLength(CuttingState& cutting, const StockModel& model,
                        const CurrentToolRecord& tool) {
    ToolLengthMeasurements& m = cutting.measured;
    m.stickOut = std::max(m.stickOut, m.neckLu);
    ShankSectionValues sections[kArborMaxSegments];
    for (;;) {
        const int n = LayoutHolderSections(tool, m.stickOut, sections);
        if (!AnySectionHits(cutting, model, sections, n, CheckArborInDexelGrid, kXYZ) ||
            m.stickOut >= kNeckSearchLimit) {
            break;
        }
        m.stickOut = NextSearchValue(m.stickOut);
    }
}

}  // namespace

int CheckShankInDexelGrid(CuttingState& cutting, DexelGridView* view) {
    return RunSectionPass(cutting, view);
}

int CheckArborInDexelGrid(CuttingState& cutting, DexelGridView* view) {
    return RunSectionPass(cutting, view);
}

double RunShankAndHolderPasses(CuttingState& cutting, const CurrentToolRecord& tool,
                               StockModel* model) {
    const int mode = Checks.arborCheck;
    if (mode < 1 || model == nullptr || model->nx < 2 || !(model->pitch > 0.0) ||
        !DexelGridsMatchModel(cutting.views, model)) {
        return 0.0;
    }
    double removed = 0.0;
    const bool shank = HasShankPasses(tool) != 0;
    const bool holder = tool.holder.present != 0;
    if (mode == 1) {
        if (shank) {
            SearchNeckLength(cutting, *model, tool);
            SearchTaperLength(cutting, *model, tool);
        }
        if (holder) {
            SearchHolderLength(cutting, *model, tool);
        }
        return 0.0;
    }
    if (shank) {
        ShankSectionValues sections[kShankSectionCount];
        const int n = LayoutShankSections(tool, tool.length.values[1], -1.0, sections);
        const double m = CutSections(cutting, *model, sections, n, CheckShankInDexelGrid);
        if (mode >= 3 && m > 0.0) {
            cutting.flags.taper = 1;
        }
        removed += m;
    }
    if (holder) {
        ShankSectionValues sections[kArborMaxSegments];
        const int n = LayoutHolderSections(tool, tool.length.values[0], sections);
        const double m = CutSections(cutting, *model, sections, n, CheckArborInDexelGrid);
        if (mode >= 3 && m > 0.0) {
            cutting.flags.arbor = 1;
        }
        removed += m;
    }
    if (removed > 0.0) {
        cutting.flags.contact = 1;
    }
    return removed;
}

void ReleaseHolderCheckBuffers() {
    FreeDexelWorkList(&PassRay);
    FreeDexelWorkList(&PassRemoved);
}

}  // namespace mirexa
