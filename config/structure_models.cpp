// The machine's structure models: loading by the checks that need them, facet records, the
// sort by top height, the free box of a base model and the region splits.
#include "config/structure_models.h"

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <new>
#include <string>

#include "config/config_records.h"
#include "config/machine_file.h"
#include "config/machine_models.h"
#include "geometry/vector_math.h"
#include "platform/message_box.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "stock/stock_hooks.h"
#include "stockio/stl_files.h"

namespace mirexa {

MachineStructureModels StructureModels;

namespace {

constexpr int kSortRunSize = 5000;
constexpr int kMaxSortRuns = 50;

// H, L and M of a facet on one axis.
constexpr int kAbove = 0;
constexpr int kBelow = 1;
constexpr int kAcross = 2;

// Region codes by [z][x][y] position.
constexpr int kRegionCodes[3][3][3] = {
    {{11, 11, 11}, {10, 10, 10}, {13, 12, 5}},
    {{7, 7, 7}, {6, 6, 6}, {9, 8, 2}},
    {{17, 16, 3}, {15, 14, 0}, {4, 1, 18}},
};

bool AnyCheckOn(std::initializer_list<StructurePair> pairs) {
    for (StructurePair pair : pairs) {
        if (Checks.structurePairs[pair] >= 1) {
            return true;
        }
    }
    return false;
}

double Top(const FacetRecord& record) {
    return record.max[2];
}

int AxisPosition(const StlFacet& facet, int axis, double lo, double hi) {
    const double* v = facet.values;
    const double a = v[3 + axis], b = v[6 + axis], c = v[9 + axis];
    if (a >= hi && b >= hi && c >= hi) {
        return kAbove;
    }
    if (a <= lo && b <= lo && c <= lo) {
        return kBelow;
    }
    return kAcross;
}

void ResetRegionBox(MachineModel* region) {
    for (int k = 0; k < 3; ++k) {
        region->min[k] = 1e9;
        region->max[k] = -1e9;
    }
}

// A model too large for the memory: counted as unusable (an unattended run then exits 2) and
// named with its facet count (logged, or shown to a user).
void ReportModelMemory(const std::string& path, std::int64_t facets) {
    UnusableMachineModels.fetch_add(1);
    ShowMessageOrLog(0,
                     (path.empty() ? std::string("Machine model") : path) + " - " +
                         std::to_string(facets) +
                         ChooseLanguageText(" facets do not fit the memory; the model is not used.",
                                            " 面がメモリに収まりません。形状を使いません"),
                     "Data size error", MBX_OK | MBX_ICONWARNING);
}

// Gives facets and records to a model, built and sorted.
// A model whose records or sort cannot get their memory is left empty, counted as unusable and
// logged.
void PrepareForChecks(MachineModel* model) {
    const int n = model->facetCount;
    try {
        model->records.assign(static_cast<std::size_t>(n), FacetRecord{});
        BuildFacetRecords(n, model->facets.data(), model->records.data());
        SortFacetsByTopZ(n, model->facets.data(), model->records.data());
    } catch (const std::bad_alloc&) {
        *model = MachineModel{};
        ReportModelMemory("", n);
    }
}

// Distributes the facets of a model over 19 regions by code, in file order, then builds and
// sorts each region.
void FillRegions(const MachineModel& model, const double lo[3], const double hi[3],
                 std::vector<MachineModel>* regions, std::int32_t* cornerCounts) {
    regions->assign(kModelRegionCount, MachineModel{});
    for (MachineModel& region : *regions) {
        ResetRegionBox(&region);
    }
    for (int i = 0; i < model.facetCount; ++i) {
        const StlFacet& facet = model.facets[i];
        MachineModel& region = (*regions)[FacetRegionCode(facet, lo, hi)];
        try {
            region.facets.push_back(facet);
        } catch (const std::bad_alloc&) {
            regions->assign(kModelRegionCount, MachineModel{});
            for (MachineModel& emptied : *regions) {
                ResetRegionBox(&emptied);
            }
            if (cornerCounts != nullptr) {
                std::fill(cornerCounts, cornerCounts + 8, 0);
            }
            ReportModelMemory("", model.facetCount);
            return;
        }
        ++region.facetCount;
        for (int v = 0; v < 3; ++v) {
            for (int k = 0; k < 3; ++k) {
                region.min[k] = std::min(region.min[k], facet.values[3 + 3 * v + k]);
                region.max[k] = std::max(region.max[k], facet.values[3 + 3 * v + k]);
            }
        }
        if (cornerCounts != nullptr) {
            const int x = AxisPosition(facet, 0, lo[0], hi[0]);
            const int y = AxisPosition(facet, 1, lo[1], hi[1]);
            const int z = AxisPosition(facet, 2, lo[2], hi[2]);
            if (x != kAcross && y != kAcross && z != kAcross) {
                ++cornerCounts[(x == kAbove ? 1 : 0) + (y == kAbove ? 2 : 0) +
                               (z == kAbove ? 4 : 0)];
            }
        }
    }
    for (MachineModel& region : *regions) {
        PrepareForChecks(&region);
    }
}

// The centre of a model's top face, or the fallback when the model holds nothing.
void TopFaceCentre(const MachineModel& model, const double fallback[3], double p[3]) {
    if (model.facetCount == 0) {
        p[0] = fallback[0], p[1] = fallback[1], p[2] = fallback[2];
        return;
    }
    p[0] = (model.min[0] + model.max[0]) / 2.0;
    p[1] = (model.min[1] + model.max[1]) / 2.0;
    p[2] = model.max[2];
}

// The point a base model's free box is built around.
void BasicReferencePoint(double p[3]) {
    static const double kOrigin[3] = {};
    const MachineStructureModels& s = StructureModels;
    if (Machine.rotaryType == 2) {
        TopFaceCentre(s.table2, Machine.tablePosition, p);
    } else if (Machine.rotaryType == 3) {
        const bool one = s.table1Regions.size() == 1;
        TopFaceCentre(one ? s.table1Regions[0] : MachineModel{}, Machine.tablePosition, p);
    } else {
        TopFaceCentre(s.table, kOrigin, p);
    }
}

std::int64_t FacetTotal(const std::vector<MachineModel>& models) {
    std::int64_t total = 0;
    for (const MachineModel& model : models) {
        total += model.facetCount;
    }
    return total;
}

void LoadSlot(int slot, bool prepare, MachineModel* model) {
    const MachineModelEntries& names = MachineModelNames;
    LoadModelFacets(names.slots[slot].c_str(), names.slotOffsets[slot], model);
    if (prepare) {
        PrepareForChecks(model);
    } else {
        ListBoxCorners(model->min, model->max, model->corners);
    }
}

void LoadTable1() {
    MachineStructureModels& s = StructureModels;
    s.table1Regions.clear();
    MachineModel whole;
    LoadSlot(kModelTable1, false, &whole);
    if (Machine.rotaryType == 2) {
        BinFacetsByRegion2(whole, &s.table1Regions);
    } else {
        PrepareForChecks(&whole);
        s.table1Regions.push_back(std::move(whole));
    }
}

void LoadModels(bool onlyMissing) {
    MachineStructureModels& s = StructureModels;
    const int rotary = Machine.rotaryType;
    auto wanted = [onlyMissing](std::int64_t facets) { return !onlyMissing || facets == 0; };
    if (AnyCheckOn({kToolTable, kArborTable, kHeadTable, kHead1Table, kHead2Table}) &&
        wanted(s.table.facetCount)) {
        LoadSlot(kModelTable, true, &s.table);
    }
    if (AnyCheckOn({kToolTable1, kArborTable1, kHeadTable1, kHead1Table1}) &&
        (rotary == 2 || rotary == 3) && wanted(FacetTotal(s.table1Regions))) {
        LoadTable1();
    }
    if (AnyCheckOn({kToolTable2, kArborTable2, kHeadTable2}) && rotary == 2 &&
        wanted(s.table2.facetCount)) {
        LoadSlot(kModelTable2, true, &s.table2);
    }
    if (wanted(FacetTotal(s.vices))) {
        LoadViceModels();
    }
    if (AnyCheckOn({kHead2Work, kHead2Vice, kHead2Table, kHead2Basic}) && rotary == 1 &&
        wanted(s.head2.facetCount)) {
        LoadSlot(kModelHead2, false, &s.head2);
    }
    if (AnyCheckOn({kHead1Work, kHead1Vice, kHead1Table1, kHead1Table, kHead1Basic}) &&
        rotary != 2 && wanted(s.head1.facetCount)) {
        LoadSlot(kModelHead1, false, &s.head1);
    }
    if (AnyCheckOn({kHeadWork, kHeadVice, kHeadTable2, kHeadTable1, kHeadTable, kHeadBasic}) &&
        wanted(s.head.facetCount)) {
        LoadSlot(kModelHead, false, &s.head);
    }
    if (AnyCheckOn({kToolBasic, kArborBasic, kHead2Basic, kHead1Basic, kHeadBasic}) &&
        wanted(FacetTotal(s.basics) + FacetTotal(s.basicRegions))) {
        LoadBasicModels();
    }
}

}  // namespace

int LoadModelFacets(const char* path, const double offset[3], MachineModel* model) {
    *model = MachineModel{};
    for (int k = 0; k < 3; ++k) {
        model->min[k] = 1e11;
        model->max[k] = -1e11;
    }
    if (path == nullptr || path[0] == '\0') {
        return 0;
    }
    const int format = DetectStlFormat(path);
    const int count = CountStlFacets(format, path);
    if (count <= 0) {
        // A folder, random bytes or an empty mesh: the checks would run without this model.
        UnusableMachineModels.fetch_add(1);
        AppendLogEntry(std::string(path) +
                       ChooseLanguageText(" - The model holds no facet; it is not used.\n",
                                          " - 形状に面がありません。使いません\n"));
        return 0;
    }
    // The facets and their records, and as much again while they are sorted or split into
    // regions.
    const std::uint64_t bytes =
        2 * static_cast<std::uint64_t>(count) * (sizeof(StlFacet) + sizeof(FacetRecord));
    try {
        if (!FitsAvailableStockMemory(bytes)) {
            throw std::bad_alloc();
        }
        model->facets.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        *model = MachineModel{};
        ReportModelMemory(path, count);
        return 0;
    }
    const int stored =
        ReadStlFacets(format, count, path, offset, model->min, model->max, model->facets.data());
    model->facets.resize(static_cast<std::size_t>(std::max(stored, 0)));
    model->facetCount = static_cast<std::int32_t>(model->facets.size());
    // Facets that are all not numbers (left out above) or of no area give the checks nothing to
    // hit: the model is told as one without a facet.
    const bool anyArea =
        std::any_of(model->facets.begin(), model->facets.end(), [](const StlFacet& f) {
            double normal[3];
            return ComputeStlFacetNormal(f.values + 3, normal) != 0;
        });
    if (!anyArea) {
        *model = MachineModel{};
        UnusableMachineModels.fetch_add(1);
        ShowMessageOrLog(
            0,
            std::string(path) +
                ChooseLanguageText(" - The model holds no facet with an area (its "
                                   "facets are not numbers or of no area); it is not "
                                   "used.",
                                   " - 形状に面積のある面がありません (数値でないか面積 "
                                   "0 の面)。使いません"),
            "Data error", MBX_OK | MBX_ICONWARNING);
        return 0;
    }
    return 1;
}

void BuildFacetRecords(int n, const StlFacet* facets, FacetRecord* records) {
    for (int i = 0; i < n; ++i) {
        const double* v = facets[i].values + 3;
        FacetRecord& r = records[i];
        ComputePlaneFromThreePoints(v, r.plane);
        for (int k = 0; k < 3; ++k) {
            r.min[k] = std::min({v[k], v[3 + k], v[6 + k]});
            r.max[k] = std::max({v[k], v[3 + k], v[6 + k]});
        }
        r.kind = 3;
        for (int k = 0; k < 3; ++k) {
            if (v[k] == v[3 + k] && v[k] == v[6 + k]) {
                r.kind = k;
                break;
            }
        }
    }
}

int FacetSortRunCount(int n) {
    if (n < kSortRunSize) {
        return 1;
    }
    const int k = n / kSortRunSize;
    return k < 3 ? 2 : std::min(k, kMaxSortRuns);
}

void SortFacetRun(int n, StlFacet* facets, FacetRecord* records) {
    if (n < 2) {
        return;
    }
    std::vector<int> order(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [records](int a, int b) { return Top(records[a]) > Top(records[b]); });
    const std::vector<StlFacet> facetCopy(facets, facets + n);
    const std::vector<FacetRecord> recordCopy(records, records + n);
    for (int i = 0; i < n; ++i) {
        facets[i] = facetCopy[order[i]];
        records[i] = recordCopy[order[i]];
    }
}

void SortFacetsByTopZ(int n, StlFacet* facets, FacetRecord* records) {
    const int runs = FacetSortRunCount(n);
    if (runs == 1) {
        SortFacetRun(n, facets, records);
        return;
    }
    std::vector<int> begin(runs + 1);
    for (int r = 0; r < runs; ++r) {
        begin[r] = r * (n / runs);
    }
    begin[runs] = n;  // the last run takes the rest
    for (int r = 0; r < runs; ++r) {
        SortFacetRun(begin[r + 1] - begin[r], facets + begin[r], records + begin[r]);
    }
    const std::vector<StlFacet> facetCopy(facets, facets + n);
    const std::vector<FacetRecord> recordCopy(records, records + n);
    std::vector<int> next(begin.begin(), begin.end() - 1);
    int out = 0;
    while (out < n) {
        // The run whose next record is highest; the lowest-numbered run wins among equals.
        // Every finite height can be picked: the search starts below all of them.
        int best = -1;
        double bestTop = -std::numeric_limits<double>::infinity();
        for (int r = 0; r < runs; ++r) {
            if (next[r] < begin[r + 1] && Top(recordCopy[next[r]]) > bestTop) {
                best = r;
                bestTop = Top(recordCopy[next[r]]);
            }
        }
        // A height that compares with nothing (NaN) is never picked above: take the first
        // unfinished run, so the merge always moves on.
        for (int r = 0; best < 0 && r < runs; ++r) {
            if (next[r] < begin[r + 1]) {
                best = r;
                bestTop = Top(recordCopy[next[r]]);
            }
        }
        do {
            facets[out] = facetCopy[next[best]];
            records[out] = recordCopy[next[best]];
            ++out;
            ++next[best];
        } while (next[best] < begin[best + 1] && Top(recordCopy[next[best]]) == bestTop);
    }
}

void FacetArrayBounds(int n, const StlFacet* facets, const double p[3], double lo[3],
                      double hi[3]) {
    for (int k = 0; k < 3; ++k) {
        lo[k] = -1e11;
        hi[k] = 1e11;
    }
    for (int i = 0; i < n; ++i) {
        const double* v = facets[i].values + 3;
        double mn[3], mx[3], separation[3];
        bool high[3];
        for (int k = 0; k < 3; ++k) {
            mn[k] = std::min({v[k], v[3 + k], v[6 + k]});
            mx[k] = std::max({v[k], v[3 + k], v[6 + k]});
            high[k] = false;
            separation[k] = 0.0;
            if (p[k] - mx[k] > 0.0) {
                separation[k] = p[k] - mx[k];
            } else if (mn[k] - p[k] > 0.0) {
                separation[k] = mn[k] - p[k];
                high[k] = true;
            }
        }
        if (separation[0] == 0.0 && separation[1] == 0.0 && separation[2] == 0.0) {
            continue;  // the facet's box holds p: no side of p is free of it
        }
        const int axis = (separation[0] >= separation[1] && separation[0] >= separation[2])   ? 0
                         : (separation[1] >= separation[0] && separation[1] >= separation[2]) ? 1
                                                                                              : 2;
        const int a = (axis + 1) % 3, b = (axis + 2) % 3;
        if (mx[a] >= hi[a] && mn[a] <= lo[a] && mx[b] >= hi[b] && mn[b] <= lo[b]) {
            continue;
        }
        if (high[axis]) {
            hi[axis] = std::min(hi[axis], mn[axis]);
        } else {
            lo[axis] = std::max(lo[axis], mx[axis]);
        }
    }
}

int FacetRegionCode(const StlFacet& facet, const double lo[3], const double hi[3]) {
    const int x = AxisPosition(facet, 0, lo[0], hi[0]);
    const int y = AxisPosition(facet, 1, lo[1], hi[1]);
    const int z = AxisPosition(facet, 2, lo[2], hi[2]);
    return kRegionCodes[z][x][y];
}

void BinFacetsByRegion2(const MachineModel& model, std::vector<MachineModel>* regions) {
    double lo[3], hi[3];
    for (int k = 0; k < 3; ++k) {
        const double span = model.max[k] - model.min[k];
        lo[k] = model.min[k] + span / 3.0;
        hi[k] = model.min[k] + 2.0 * span / 3.0;
    }
    FillRegions(model, lo, hi, regions, nullptr);
}

void BinFacetsByRegion(const MachineModel& model, const double lo[3], const double hi[3],
                       std::vector<MachineModel>* regions, std::int32_t cornerCounts[8]) {
    std::fill(cornerCounts, cornerCounts + 8, 0);
    FillRegions(model, lo, hi, regions, cornerCounts);
}

void LoadViceModels() {
    FreeViceModels();
    const MachineModelEntries& names = MachineModelNames;
    for (std::size_t i = 0; i < names.viceNames.size(); ++i) {
        MachineModel model;
        LoadModelFacets(names.viceNames[i].c_str(), names.viceOffsets[i], &model);
        PrepareForChecks(&model);
        StructureModels.vices.push_back(std::move(model));
    }
}

void LoadBasicModels() {
    FreeModelFacetArrays();
    MachineStructureModels& s = StructureModels;
    const MachineModelEntries& names = MachineModelNames;
    double p[3];
    BasicReferencePoint(p);
    if (names.basicNames.size() == 1) {
        MachineModel whole;
        LoadModelFacets(names.basicNames[0].c_str(), names.basicOffset, &whole);
        FacetArrayBounds(whole.facetCount, whole.facets.data(), p, s.basicFreeMin, s.basicFreeMax);
        BinFacetsByRegion(whole, s.basicFreeMin, s.basicFreeMax, &s.basicRegions,
                          s.basicCornerCounts);
        return;
    }
    for (const std::string& name : names.basicNames) {
        MachineModel model;
        LoadModelFacets(name.c_str(), names.basicOffset, &model);
        double lo[3], hi[3];
        FacetArrayBounds(model.facetCount, model.facets.data(), p, lo, hi);
        s.basicFreeBoxes.insert(s.basicFreeBoxes.end(), {lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]});
        PrepareForChecks(&model);
        s.basics.push_back(std::move(model));
    }
}

void LoadMachineModels() {
    LoadModels(false);
}

void EnsureMachineModelsLoaded() {
    LoadModels(true);
}

void FreeMachineModels() {
    MachineStructureModels& s = StructureModels;
    s.table = MachineModel{};
    s.table1Regions.clear();
    s.table2 = MachineModel{};
    s.head = MachineModel{};
    s.head1 = MachineModel{};
    s.head2 = MachineModel{};
    FreeModelFacetArrays();
    FreeViceModels();
}

void FreeModelFacetArrays() {
    MachineStructureModels& s = StructureModels;
    s.basics.clear();
    s.basicFreeBoxes.clear();
    s.basicRegions.clear();
    std::fill(s.basicCornerCounts, s.basicCornerCounts + 8, 0);
}

void FreeViceModels() {
    StructureModels.vices.clear();
}

}  // namespace mirexa
