// Height profiles turned into dexel rays: the crossings of a sampled height profile with a
// level, and the two side families of a height-map stock built from them level by level.
#pragma once

#include "stock/stock_model.h"

namespace mirexa {

// Crossings of the profile h[0], h[stride], ... (n samples at the node coordinates nodes[0..n-1],
// spaced by pitch, mm) with the level, as ascending positions in out (room for n + 1 values).
// Up: material where h >= level. Down: material where h <= level. lowest and highest are the
// profile's extremes; they give the quick answers (no crossing, or the whole line nodes[0],
// nodes[n-1]). Otherwise a sample at the level starts or ends material exactly at its node and
// a segment crossing the level is interpolated, with d = h[i+1] - h[i]:
//   Up, rising (h[i] < L <= h[i+1]):    x[i+1] if h[i+1] = L, else x[i] + pitch * (L - h[i]) / d;
//   Up, falling (h[i] >= L > h[i+1]):   x[i] if h[i] = L, else x[i] + pitch * (h[i] - L) / -d;
//   Down, falling (h[i] > L >= h[i+1]): x[i+1] if h[i+1] = L, else x[i] + pitch * (h[i] - L) / -d;
//   Down, rising (h[i] <= L < h[i+1]):  x[i] if h[i] = L, else x[i] + pitch * (L - h[i]) / d;
// with nodes[0] first when the first sample is material and nodes[n-1] last when the last one
// is. For finite heights the count is even. Returns the count (0 for n below 1).
int FindLevelCrossingsUp(const double* heights, int stride, int n, double lowest, double highest,
                         double pitch, double level, const double* nodes, double* out);
int FindLevelCrossingsDown(const double* heights, int stride, int n, double lowest, double highest,
                           double pitch, double level, const double* nodes, double* out);

// Builds the two families across a height map. The reference family runs along axis c (axis
// triple (a, b, c), a cyclic order of 0 X, 1 Y, 2 Z); the height of its ray at (i_a, i_b) is
// the ray's second end when r > 0 (material from below up to the height) and its first end when
// r < 0 (material from the height up). For every node level k along c, the crossings of each
// profile along b (fixed i_a) become the ray along b at (i_a, k), and those of each profile
// along a (fixed i_b) the ray along a at (i_b, k); flags and stamps 0. A reference ray without
// ends has no material at any level. 1, or 0 when the height map cannot be allocated (the
// families are then left as they were).
int BuildFamilyFromProfiles(StockModel* model, int a, int b, int c, int r);

// The X and Y families of a stock whose Z family holds one interval per ray: the top ends are
// the heights for sign >= 1, the bottom ends for sign < 1. 1, or 0 as above.
int BuildSideFamiliesFromHeights(StockModel* model, int sign);

}  // namespace mirexa
