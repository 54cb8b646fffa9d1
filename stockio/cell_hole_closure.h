// Closure of the holes that cells whose loops cannot all be closed leave against their
// neighbours: the open edges around such cells are found from the facets of the cells around
// them and filled, so that the surface stays closed.
#pragma once

#include <cstdint>

#include "stock/stock_model.h"
#include "stockio/cell_edges.h"
#include "stockio/surface_extraction.h"

namespace mirexa {

// Cells that fall back (see EmitDexelFaceTriangles) and touch one another, by corners
// included, form one cluster. The first cell of a cluster in the walk's (iz, iy, ix) order
// writes the fill of the whole cluster's hole; the others write nothing here. The fill is found
// from the facets that the cluster's cells and every cell touching them write, and the cap
// squares of their capped outer faces: each edge inside a cluster cell whose triangles do not
// cancel is an edge of the hole, and the hole's loops are written as triangle fans. Every cell
// reads only the model, so the fill is the same whichever cell or thread asks, and the cells
// around the cluster are written as before. cell is the asking cell's low corner (ix, iy, iz).
// Returns the facets written, the sink's negative code or kMeshExtractionNoMemory; stats (may
// be null) counts the filled loops in holeLoops.
std::int64_t CloseFallbackHoles(const StockModel& model, const StockCapMarks& marks,
                                const int cell[3], const MeshTransform& transform,
                                const FacetSink& sink, MeshExtractionStats* stats);

}  // namespace mirexa
