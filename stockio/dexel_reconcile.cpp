// Normalisation of converted rays, clipping to the grid, and the reconciliation of the three
// families through probes of crossing rays.
#include "stockio/dexel_reconcile.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>

#include "services/progress.h"
#include "services/shared_state.h"
#include "stock/material_summary.h"

namespace mirexa {

namespace {

void PumpIfEnabled() {
    if (MessagePumpEnabled.load(std::memory_order_relaxed)) {
        PumpMessagesEvery3s();
    }
}

// Sorts longer lists through an index permutation; short lists by insertion. Both are stable.
void SortLongValuesWithTags(int n, double* values, std::uint8_t* tags) {
    std::vector<int> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [values](int a, int b) { return values[a] < values[b]; });
    std::vector<double> v(values, values + n);
    std::vector<std::uint8_t> t(tags, tags + n);
    for (int i = 0; i < n; ++i) {
        values[i] = v[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])];
        tags[i] = t[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])];
    }
}

// Clip of an even list: pair by pair.
void ClipEvenList(int* count, double* ends, std::uint8_t* flags, std::int32_t* stamps, double lo,
                  double hi) {
    int out = 0;
    for (int k = 0; k + 1 < *count; k += 2) {
        double a = ends[k];
        double b = ends[k + 1];
        if (a >= lo && b <= hi) {
            // Inside (a zero-length pair inside the range stays).
        } else {
            const double ca = std::max(a, lo);
            const double cb = std::min(b, hi);
            if (!(ca < cb)) {
                continue;  // outside, or touching the range only
            }
            a = ca;
            b = cb;
        }
        std::uint8_t fa = flags[k];
        std::uint8_t fb = flags[k + 1];
        std::int32_t sa = stamps[k];
        std::int32_t sb = stamps[k + 1];
        if (a != ends[k]) {
            fa = 0;
            sa = 0;
        }
        if (b != ends[k + 1]) {
            fb = 0;
            sb = 0;
        }
        ends[out] = a;
        flags[out] = fa;
        stamps[out] = sa;
        ends[out + 1] = b;
        flags[out + 1] = fb;
        stamps[out + 1] = sb;
        out += 2;
    }
    *count = out;
}

// Clip of an odd list: the start and end indices where the range begins and ends.
void ClipOddList(int* count, double* ends, std::uint8_t* flags, std::int32_t* stamps, double lo,
                 double hi) {
    const int n = *count;
    if (ends[0] >= hi || lo >= ends[n - 1]) {
        *count = 0;
        return;
    }
    int s = 0;
    if (lo > ends[0]) {
        for (int j = 1; j < n; ++j) {
            if (ends[j] == lo) {
                s = j;
                break;
            }
            if (ends[j] > lo) {
                s = j - 1;
                ends[s] = lo;
                flags[s] = 0;
                stamps[s] = 0;
                break;
            }
        }
    }
    int t = n - 1;
    if (ends[n - 1] > hi) {
        for (int j = n - 2; j >= 0; --j) {
            if (ends[j] == hi) {
                t = j;
                break;
            }
            if (ends[j] < hi) {
                t = j + 1;
                ends[t] = hi;
                flags[t] = 0;
                stamps[t] = 0;
                break;
            }
        }
    }
    if (t < s) {
        *count = 0;
        return;
    }
    for (int i = s; i <= t; ++i) {
        ends[i - s] = ends[i];
        flags[i - s] = flags[i];
        stamps[i - s] = stamps[i];
    }
    *count = t - s + 1;
}

std::int64_t CellOfNodes(const StockModel& model, int d, const int node[3]) {
    const int a1 = (d + 1) % 3;
    const int a2 = (d + 2) % 3;
    return static_cast<std::int64_t>(node[a2]) * StockNodeCount(model, a1) + node[a1];
}

// The (read-only) ends of a ray: the waiting odd list's or the cell's storage.
const double* ImportRayEnds(const StockModel& model, const DexelReconcileState& state, int d,
                            std::int64_t cell, int* count) {
    const auto& odd = state.oddRays[d];
    if (!odd.empty()) {
        auto found = odd.find(cell);
        if (found != odd.end()) {
            *count = found->second.count;
            return found->second.ends.data();
        }
    }
    const DexelFamily& family = *DexelFamilyOfAxis(model, d);
    *count = family.counts[cell];
    return DexelCellEnds(cell, family.capacity, family.counts, family.ends);
}

bool RayContains(const double* ends, int count, double value) {
    for (int k = 0; k + 1 < count; k += 2) {
        if (value >= ends[k] && value <= ends[k + 1]) {
            return true;
        }
    }
    return false;
}

// The probe chosen in one family for the nodes first..last of the ray's axis.
struct ProbeChoice {
    bool found = false;
    int count = 0;
    int snapshot = 0;
    bool contains = false;
};

ProbeChoice ChooseProbe(const StockModel& model, const DexelReconcileState& state, int d, int p,
                        const int rayNode[3], int first, int last) {
    ProbeChoice choice;
    const int middle = (first + last) / 2;
    int node[3] = {rayNode[0], rayNode[1], rayNode[2]};
    std::int64_t chosenCell = -1;
    int chosenNode = -1;
    for (int i = first; i <= last; ++i) {
        node[d] = i;
        const std::int64_t cell = CellOfNodes(model, p, node);
        const int count = GetImportRayCount(model, state, p, cell);
        if (count % 2 != 0) {
            continue;
        }
        if (chosenCell < 0 || count < choice.count || (count == choice.count && i < middle)) {
            chosenCell = cell;
            chosenNode = i;
            choice.count = count;
            if (count == 2 && i > first) {
                break;
            }
        }
    }
    if (chosenCell < 0) {
        return choice;
    }
    choice.found = true;
    const auto& snapshot = state.snapshots[p];
    choice.snapshot = static_cast<std::size_t>(chosenCell) < snapshot.size()
                          ? snapshot[static_cast<std::size_t>(chosenCell)]
                          : choice.count;
    node[d] = chosenNode;
    int count = 0;
    const double* ends = ImportRayEnds(model, state, p, chosenCell, &count);
    // The probe tests the ray's own coordinate on the probe's axis.
    const double coordinate = StockNodeTable(model, p)[rayNode[p]];
    choice.contains = RayContains(ends, count, coordinate);
    return choice;
}

std::uint8_t DecideGap(const ProbeChoice& first, const ProbeChoice& second) {
    auto code = [](const ProbeChoice& c) { return c.contains ? kGapMaterial : kGapVoid; };
    if (first.found && first.count <= 2) {
        return code(first);
    }
    if (second.found && second.count <= 2) {
        return code(second);
    }
    if (first.found && second.found) {
        if (first.count == second.count) {
            return first.snapshot > second.snapshot ? code(second) : code(first);
        }
        return first.count < second.count ? code(first) : code(second);
    }
    if (first.found) {
        return code(first);
    }
    if (second.found) {
        return code(second);
    }
    return kGapUndecided;
}

// The grid nodes of the ray's axis strictly inside (lowEnd, highEnd), clamped to the grid.
// Returns false when there is none.
bool NodesInsideGap(const StockModel& model, int d, double lowEnd, double highEnd, int* first,
                    int* last) {
    const double* nodes = StockNodeTable(model, d);
    const int n = StockNodeCount(model, d);
    const double origin = model.origin[d];
    const double pitch = model.pitch;
    double lo = std::ceil((lowEnd - origin) / pitch);
    double hi = std::trunc((highEnd - origin) / pitch);
    if (!(lo == lo) || !(hi == hi)) {
        return false;
    }
    lo = std::clamp(lo, -1.0, static_cast<double>(n));
    hi = std::clamp(hi, -1.0, static_cast<double>(n));
    int iLo = static_cast<int>(lo);
    int iHi = static_cast<int>(hi);
    if (iLo >= 0 && iLo < n && nodes[iLo] <= lowEnd) {
        ++iLo;
    }
    if (iHi >= 0 && iHi < n && nodes[iHi] >= highEnd) {
        --iHi;
    }
    iLo = std::max(iLo, 0);
    iHi = std::min(iHi, n - 1);
    *first = iLo;
    *last = iHi;
    return iLo <= iHi;
}

// The two probe families of a ray family, in their order.
void ProbeFamilies(int d, int* first, int* second) {
    if (d == 0) {
        *first = 2;
        *second = 1;
    } else if (d == 1) {
        *first = 2;
        *second = 0;
    } else {
        *first = 0;
        *second = 1;
    }
}

// Normalises every ray of one family, in cell order, from the cells and the waiting odd lists.
void NormalizeFamily(StockModel* model, DexelReconcileState* state, int d, bool clip) {
    const DexelFamily& family = *DexelFamilyOfAxis(*model, d);
    const double* nodes = StockNodeTable(*model, d);
    const double lo = nodes[0];
    const double hi = nodes[StockNodeCount(*model, d) - 1];
    DexelRayList ray;
    for (std::int64_t cell = 0; cell < family.cellCount; ++cell) {
        if (GetImportRayCount(*model, *state, d, cell) < 1) {
            continue;
        }
        ReadImportRay(*model, *state, d, cell, &ray);
        NormalizeDexelRay(&ray, clip, lo, hi);
        StoreImportRay(model, state, d, cell, ray);
    }
}

void NormalizeAllFamilies(StockModel* model, DexelReconcileState* state, bool clip) {
    for (int d : {2, 0, 1}) {
        NormalizeFamily(model, state, d, clip);
        PumpIfEnabled();
    }
}

}  // namespace

void ReserveDexelRay(DexelRayList* ray, int n) {
    if (n < 1) {
        return;
    }
    const std::size_t size = static_cast<std::size_t>(n);
    if (ray->ends.size() < size) {
        ray->ends.resize(size);
        ray->flags.resize(size);
        ray->stamps.resize(size);
    }
}

void AppendDexelRayEnd(DexelRayList* ray, double end, std::uint8_t flag, std::int32_t stamp) {
    const std::size_t i = static_cast<std::size_t>(ray->count);
    if (ray->ends.size() <= i) {
        ReserveDexelRay(ray, std::max(8, 2 * ray->count));
    }
    ray->ends[i] = end;
    ray->flags[i] = flag;
    ray->stamps[i] = stamp;
    ++ray->count;
}

DexelFamily* DexelFamilyOfAxis(StockModel* model, int d) {
    return d == 0 ? &model->x : (d == 1 ? &model->y : &model->z);
}

const DexelFamily* DexelFamilyOfAxis(const StockModel& model, int d) {
    return d == 0 ? &model.x : (d == 1 ? &model.y : &model.z);
}

int StockNodeCount(const StockModel& model, int axis) {
    return axis == 0 ? model.nx : (axis == 1 ? model.ny : model.nz);
}

const double* StockNodeTable(const StockModel& model, int axis) {
    return axis == 0 ? model.nodesX : (axis == 1 ? model.nodesY : model.nodesZ);
}

int GetImportRayCount(const StockModel& model, const DexelReconcileState& state, int d,
                      std::int64_t cell) {
    const auto& odd = state.oddRays[d];
    if (!odd.empty()) {
        auto found = odd.find(cell);
        if (found != odd.end()) {
            return found->second.count;
        }
    }
    return DexelFamilyOfAxis(model, d)->counts[cell];
}

void ReadImportRay(const StockModel& model, const DexelReconcileState& state, int d,
                   std::int64_t cell, DexelRayList* out) {
    const auto& odd = state.oddRays[d];
    if (!odd.empty()) {
        auto found = odd.find(cell);
        if (found != odd.end()) {
            const DexelRayList& source = found->second;
            ReserveDexelRay(out, source.count + 2);
            std::copy_n(source.ends.begin(), source.count, out->ends.begin());
            std::copy_n(source.flags.begin(), source.count, out->flags.begin());
            std::copy_n(source.stamps.begin(), source.count, out->stamps.begin());
            out->count = source.count;
            return;
        }
    }
    const DexelFamily& family = *DexelFamilyOfAxis(model, d);
    const int count = family.counts[cell];
    ReserveDexelRay(out, count + 2);
    out->count = 0;
    GetDexelCell(cell, family.capacity, family.counts, family.ends, family.flags, family.lineStamps,
                 out->ends.data(), out->flags.data(), out->stamps.data(), &out->count);
    out->count = std::max(count, 0);
}

void StoreImportRay(StockModel* model, DexelReconcileState* state, int d, std::int64_t cell,
                    const DexelRayList& ray) {
    MarkStockRaysChanged(model);
    DexelFamily* family = DexelFamilyOfAxis(model, d);
    auto& odd = state->oddRays[d];
    if (ray.count % 2 != 0) {
        DexelRayList& waiting = odd[cell];
        ReserveDexelRay(&waiting, ray.count);
        std::copy_n(ray.ends.begin(), ray.count, waiting.ends.begin());
        std::copy_n(ray.flags.begin(), ray.count, waiting.flags.begin());
        std::copy_n(ray.stamps.begin(), ray.count, waiting.stamps.begin());
        waiting.count = ray.count;
        SetDexelCell(cell, family->capacity, family->counts, family->ends, family->flags,
                     family->lineStamps, nullptr, nullptr, nullptr, 0);
        return;
    }
    if (!odd.empty()) {
        odd.erase(cell);
    }
    SetDexelCell(cell, family->capacity, family->counts, family->ends, family->flags,
                 family->lineStamps, ray.ends.data(), ray.flags.data(), ray.stamps.data(),
                 ray.count);
}

void SortValuesWithTags(int n, double* values, std::uint8_t* tags) {
    if (n < 1) {
        return;
    }
    if (n == 1) {
        values[1] = values[0];
        tags[1] = tags[0];
        return;
    }
    if (n > 32) {
        SortLongValuesWithTags(n, values, tags);
        return;
    }
    for (int i = 1; i < n; ++i) {
        const double v = values[i];
        const std::uint8_t t = tags[i];
        int j = i;
        while (j > 0 && values[j - 1] > v) {
            values[j] = values[j - 1];
            tags[j] = tags[j - 1];
            --j;
        }
        values[j] = v;
        tags[j] = t;
    }
}

void ClipDexelCellToRange(int* count, double* ends, std::uint8_t* flags, std::int32_t* stamps,
                          double lo, double hi) {
    if (*count < 1) {
        *count = 0;
        return;
    }
    if (!(lo <= hi)) {
        *count = 0;
        return;
    }
    if (ends[0] >= lo && ends[*count - 1] <= hi) {
        return;
    }
    if (*count % 2 == 0) {
        ClipEvenList(count, ends, flags, stamps, lo, hi);
    } else {
        ClipOddList(count, ends, flags, stamps, lo, hi);
    }
}

void NormalizeDexelRay(DexelRayList* ray, bool clip, double lo, double hi) {
    if (ray->count < 1) {
        ray->count = 0;
        return;
    }
    ReserveDexelRay(ray, ray->count + 1);
    double* e = ray->ends.data();
    std::uint8_t* f = ray->flags.data();
    std::int32_t* s = ray->stamps.data();
    SortValuesWithTags(ray->count, e, f);
    if (ray->count > 2) {
        int kept = 1;
        for (int i = 1; i < ray->count; ++i) {
            if (e[i] == e[kept - 1]) {
                f[kept - 1] |= f[i];
            } else {
                e[kept] = e[i];
                f[kept] = f[i];
                s[kept] = s[i];
                ++kept;
            }
        }
        ray->count = kept;
    }
    if (ray->count == 1) {
        e[1] = e[0];
        f[1] = f[0];
        s[1] = s[0];
        ray->count = 2;
    } else if (ray->count == 3) {
        e[1] = e[2];
        f[1] = f[2];
        s[1] = s[2];
        ray->count = 2;
    }
    if (clip) {
        ClipDexelCellToRange(&ray->count, e, f, s, lo, hi);
    }
}

void NormalizeLoadedDexelCells(StockModel* model, DexelReconcileState* state) {
    NormalizeAllFamilies(model, state, false);
}

void NormalizeStlDexelCells(StockModel* model, DexelReconcileState* state) {
    NormalizeAllFamilies(model, state, true);
}

int TakeDexelCountSnapshots(const StockModel& model, DexelReconcileState* state) {
    try {
        for (int d = 0; d < 3; ++d) {
            const DexelFamily& family = *DexelFamilyOfAxis(model, d);
            auto& snapshot = state->snapshots[d];
            snapshot.assign(family.counts, family.counts + family.cellCount);
            for (const auto& [cell, ray] : state->oddRays[d]) {
                snapshot[static_cast<std::size_t>(cell)] = ray.count;
            }
        }
    } catch (const std::bad_alloc&) {
        for (auto& snapshot : state->snapshots) {
            std::vector<std::int32_t>().swap(snapshot);
        }
        return 0;
    }
    return 1;
}

void RebuildDexelRayFromGaps(const DexelRayList& ray, const std::uint8_t* gapCodes,
                             DexelRayList* out) {
    const int n = ray.count;
    out->count = 0;
    if (n < 1) {
        return;
    }
    ReserveDexelRay(out, n + 2);
    auto append = [&](int k, bool zeroFlag) {
        AppendDexelRayEnd(out, ray.ends[static_cast<std::size_t>(k)],
                          zeroFlag ? 0 : ray.flags[static_cast<std::size_t>(k)],
                          ray.stamps[static_cast<std::size_t>(k)]);
    };
    // Whether the output's first end is still the ray's first end.
    bool startsAtFirst = true;
    auto replaceLast = [&](int k) {
        const std::size_t i = static_cast<std::size_t>(out->count - 1);
        out->ends[i] = ray.ends[static_cast<std::size_t>(k)];
        out->flags[i] = ray.flags[static_cast<std::size_t>(k)];
        out->stamps[i] = ray.stamps[static_cast<std::size_t>(k)];
        startsAtFirst = startsAtFirst && i > 0;
    };
    append(0, false);
    for (int j = 0; j + 1 < n; ++j) {
        const bool lastGap = j + 2 == n;
        const std::uint8_t code = gapCodes[j];
        const bool odd = out->count % 2 != 0;
        if (code == kGapMaterial) {
            if (odd) {
                append(j + 1, false);
            } else {
                replaceLast(j + 1);
            }
        } else if (code >= kGapVoid) {
            if (lastGap) {
                continue;
            }
            if (!odd) {
                append(j + 1, false);
            } else if (out->count == 1 && startsAtFirst && j >= 1) {
                // Only the first end is out: the ends before this void gap close material.
                append(j, false);
                append(j + 1, false);
            } else {
                replaceLast(j + 1);
            }
        } else if (!lastGap) {
            if (ray.flags[static_cast<std::size_t>(j + 1)] == 0) {
                append(j + 1, true);
            }
        } else if (odd) {
            append(n - 1, false);
        } else {
            replaceLast(n - 1);
        }
    }
}

void DecideDexelRayGaps(const StockModel& model, const DexelReconcileState& state, int d,
                        std::int64_t cell, const DexelRayList& ray, std::uint8_t* gapCodes) {
    int probeFirst = 0;
    int probeSecond = 0;
    ProbeFamilies(d, &probeFirst, &probeSecond);
    const int a1 = (d + 1) % 3;
    const int n1 = StockNodeCount(model, a1);
    int node[3] = {};
    node[a1] = static_cast<int>(cell % n1);
    node[(d + 2) % 3] = static_cast<int>(cell / n1);
    for (int j = 0; j + 1 < ray.count; ++j) {
        int first = 0;
        int last = 0;
        gapCodes[j] = kGapNoNode;
        if (NodesInsideGap(model, d, ray.ends[static_cast<std::size_t>(j)],
                           ray.ends[static_cast<std::size_t>(j + 1)], &first, &last)) {
            const ProbeChoice p1 = ChooseProbe(model, state, d, probeFirst, node, first, last);
            const ProbeChoice p2 = ChooseProbe(model, state, d, probeSecond, node, first, last);
            gapCodes[j] = DecideGap(p1, p2);
        }
    }
}

void SyncDexelDirections(StockModel* model, DexelReconcileState* state, int pass) {
    DexelRayList ray;
    DexelRayList rebuilt;
    std::vector<std::uint8_t> gaps;
    for (int d : {0, 1, 2}) {
        if (pass == 1 && !state->markers[d]) {
            continue;
        }
        const DexelFamily& family = *DexelFamilyOfAxis(*model, d);
        for (std::int64_t cell = 0; cell < family.cellCount; ++cell) {
            const int count = GetImportRayCount(*model, *state, d, cell);
            if (count <= 2 || (pass == 1 && count % 2 == 0)) {
                continue;
            }
            ReadImportRay(*model, *state, d, cell, &ray);
            gaps.resize(static_cast<std::size_t>(ray.count - 1));
            DecideDexelRayGaps(*model, *state, d, cell, ray, gaps.data());
            RebuildDexelRayFromGaps(ray, gaps.data(), &rebuilt);
            if (rebuilt.count % 2 != 0) {
                if (pass == 1) {
                    rebuilt.count = 0;
                } else {
                    state->markers[d] = 1;
                }
            }
            StoreImportRay(model, state, d, cell, rebuilt);
        }
        PumpIfEnabled();
    }
}

int ReconcileDexelFamilies(StockModel* model, DexelReconcileState* state) {
    if (!TakeDexelCountSnapshots(*model, state)) {
        return 0;
    }
    state->markers[0] = state->markers[1] = state->markers[2] = 0;
    SyncDexelDirections(model, state, 0);
    if (state->markers[0] || state->markers[1] || state->markers[2]) {
        SyncDexelDirections(model, state, 1);
    }
    for (int d = 0; d < 3; ++d) {
        std::vector<std::int32_t>().swap(state->snapshots[d]);
        state->oddRays[d].clear();
    }
    return 1;
}

}  // namespace mirexa
