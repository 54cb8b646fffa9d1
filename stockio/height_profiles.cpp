// Level crossings of height profiles and the side families of height-map stocks.
#include "stockio/height_profiles.h"

#include <algorithm>
#include <new>
#include <vector>

#include "stockio/dexel_reconcile.h"

namespace mirexa {

int FindLevelCrossingsUp(const double* heights, int stride, int n, double lowest, double highest,
                         double pitch, double level, const double* nodes, double* out) {
    if (n < 1 || level > highest) {
        return 0;
    }
    if (lowest > level) {
        out[0] = nodes[0];
        out[1] = nodes[n - 1];
        return 2;
    }
    int count = 0;
    double h0 = heights[0];
    if (h0 >= level) {
        out[count++] = nodes[0];
    }
    for (int i = 0; i + 1 < n; ++i) {
        const double h1 = heights[static_cast<std::ptrdiff_t>(i + 1) * stride];
        if (h0 < level && level <= h1) {
            out[count++] = h1 == level ? nodes[i + 1] : nodes[i] + pitch * (level - h0) / (h1 - h0);
        } else if (h0 >= level && level > h1) {
            out[count++] = h0 == level ? nodes[i] : nodes[i] + pitch * (h0 - level) / (h0 - h1);
        }
        h0 = h1;
    }
    if (h0 >= level) {
        out[count++] = nodes[n - 1];
    }
    return count;
}

int FindLevelCrossingsDown(const double* heights, int stride, int n, double lowest, double highest,
                           double pitch, double level, const double* nodes, double* out) {
    if (n < 1 || level < lowest) {
        return 0;
    }
    if (highest < level) {
        out[0] = nodes[0];
        out[1] = nodes[n - 1];
        return 2;
    }
    int count = 0;
    double h0 = heights[0];
    if (level >= h0) {
        out[count++] = nodes[0];
    }
    for (int i = 0; i + 1 < n; ++i) {
        const double h1 = heights[static_cast<std::ptrdiff_t>(i + 1) * stride];
        if (h0 > level && level >= h1) {
            out[count++] = h1 == level ? nodes[i + 1] : nodes[i] + pitch * (h0 - level) / (h0 - h1);
        } else if (h0 <= level && level < h1) {
            out[count++] = h0 == level ? nodes[i] : nodes[i] + pitch * (level - h0) / (h1 - h0);
        }
        h0 = h1;
    }
    if (level >= h0) {
        out[count++] = nodes[n - 1];
    }
    return count;
}

int BuildFamilyFromProfiles(StockModel* model, int a, int b, int c, int r) {
    const int na = StockNodeCount(*model, a);
    const int nb = StockNodeCount(*model, b);
    const int nc = StockNodeCount(*model, c);
    const double* nodesA = StockNodeTable(*model, a);
    const double* nodesB = StockNodeTable(*model, b);
    const double* nodesC = StockNodeTable(*model, c);
    const DexelFamily& reference = *DexelFamilyOfAxis(*model, c);
    // A ray without ends: a height that no level reaches from the material side.
    const double none = r > 0 ? nodesC[0] - model->pitch : nodesC[nc - 1] + model->pitch;
    std::vector<double> heights;
    std::vector<double> crossings;
    std::vector<std::uint8_t> zeroFlags;
    std::vector<std::int32_t> zeroStamps;
    try {
        heights.resize(static_cast<std::size_t>(na) * static_cast<std::size_t>(nb));
        const std::size_t room = static_cast<std::size_t>(std::max(na, nb)) + 1;
        crossings.resize(room);
        zeroFlags.assign(room, 0);
        zeroStamps.assign(room, 0);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    for (std::int64_t cell = 0; cell < reference.cellCount; ++cell) {
        const int count = reference.counts[cell];
        const double* ends =
            DexelCellEnds(cell, reference.capacity, reference.counts, reference.ends);
        heights[static_cast<std::size_t>(cell)] =
            count < 1 ? none : (r > 0 ? ends[count - 1] : ends[0]);
    }
    auto crossingsAt = [&](const double* profile, int stride, int n, const double* nodes,
                           double lowest, double highest, double level) {
        return r > 0 ? FindLevelCrossingsUp(profile, stride, n, lowest, highest, model->pitch,
                                            level, nodes, crossings.data())
                     : FindLevelCrossingsDown(profile, stride, n, lowest, highest, model->pitch,
                                              level, nodes, crossings.data());
    };
    auto extremes = [](const double* profile, int stride, int n, double* lowest, double* highest) {
        *lowest = 9999999999.9;
        *highest = -9999999999.9;
        for (int i = 0; i < n; ++i) {
            const double h = profile[static_cast<std::ptrdiff_t>(i) * stride];
            *lowest = std::min(*lowest, h);
            *highest = std::max(*highest, h);
        }
    };
    // Profiles along b (fixed i_a) into the rays along b at (i_a, k).
    for (int ia = 0; ia < na; ++ia) {
        const double* profile = heights.data() + ia;
        double lowest = 0;
        double highest = 0;
        extremes(profile, na, nb, &lowest, &highest);
        for (int k = 0; k < nc; ++k) {
            const int n = crossingsAt(profile, na, nb, nodesB, lowest, highest, nodesC[k]);
            SetDexelCellByAxis(model, b, k, ia, crossings.data(), zeroFlags.data(),
                               zeroStamps.data(), n);
        }
    }
    // Profiles along a (fixed i_b) into the rays along a at (i_b, k).
    for (int ib = 0; ib < nb; ++ib) {
        const double* profile = heights.data() + static_cast<std::size_t>(ib) * na;
        double lowest = 0;
        double highest = 0;
        extremes(profile, 1, na, &lowest, &highest);
        for (int k = 0; k < nc; ++k) {
            const int n = crossingsAt(profile, 1, na, nodesA, lowest, highest, nodesC[k]);
            SetDexelCellByAxis(model, a, ib, k, crossings.data(), zeroFlags.data(),
                               zeroStamps.data(), n);
        }
    }
    return 1;
}

int BuildSideFamiliesFromHeights(StockModel* model, int sign) {
    return BuildFamilyFromProfiles(model, 0, 1, 2, sign >= 1 ? 1 : -1);
}

}  // namespace mirexa
