// STL import as a height map seen from one side (+-X, +-Y, +-Z): for open or gappy meshes. Each
// ray of the reference family (the rays along the viewing axis) gets one interval from the far
// side of the grid (the base) to the extreme surface point; undercuts seen from that side are
// filled. The two other families follow from the heights by level crossings.
#pragma once

#include <vector>

#include "stock/stock_model.h"
#include "stockio/stl_import.h"

namespace mirexa {

// The axis triple (a, b, c) of a reference direction (c the viewing axis): |r| = 3 (0, 1, 2),
// |r| = 2 (2, 0, 1), |r| = 1 (1, 2, 0). 1, or 0 for a direction outside +-1..+-3.
int GetReferenceAxisTriple(int r, int* a, int* b, int* c);

// Where the point (coordinates a and b) lies against the triangle's projection, with
// tolerances: 1 within 0.01 of a vertex, 2 on an edge (an angle cosine below -0.999999), 3
// inside, 0 outside.
int TestPointInTriangleA(const double triangle[9], int a, int b, const double p[3]);

// The heights of the reference family along c for the sign s (+1 looking from +c down onto the
// mesh: material from the base min[c] up to the highest surface point; -1 looking from -c:
// from the lowest surface point up to the base max[c]). heights gets one value per reference
// ray (cell i_b * n_a + i_a), starting at the base. Per facet: vertices and normal adjusted and
// transformed (a zero normal is replaced by the unit normal of the vertices), facets with
// |n_c| < 1e-8 skipped; for each ray in the facet's box that TestPointInTriangleA places on the
// facet (a row ends at the first miss after an inside hit), the plane's value: more than 5.0
// beyond the facet's range on c it is ignored, else clamped into that range (and into the grid
// when the conversion clips). The material bound on c grows with the heights. 1;
// kStockFileDataError when the file cannot be read; kStockGridTooLarge when the heights cannot
// be allocated.
int ConvertStlHeightMap(StockModel* model, const StlConversion& conversion, int a, int b, int c,
                        int s, std::vector<double>* heights);

// Repairs isolated missed rays of a height map of m x q rays (m along a line): first along each
// line, then along each column, a height within 0.0001 of the base whose two neighbours lie
// more than 0.1 beyond it (above for r > 0, below for r < 0) becomes their mean. Changes apply
// at once, so two missed rays side by side stay missed.
void FillMissedHeights(int r, int m, int q, double* heights, double base);

// Empties every ray of the family (0 X, 1 Y, 2 Z) that holds two ends, the first above the
// second.
void ClearInvertedDexelCells(StockModel* model, int family);

// The whole height-map import after the grid is allocated: heights, the repair when filter is
// set, the reference rays (base, height) or (height, base), the two other families from
// profiles, inverted reference rays cleared, and the face flag of the reference face cleared
// (+X clears X min, -X X max, ... +Z Z min, -Z Z max). Progress ends after the heights. 1 or the
// negative code of the step that failed.
int ConvertStlReference(StockModel* model, const StlConversion& conversion, int r, int filter);

}  // namespace mirexa
