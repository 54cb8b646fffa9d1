// The cell stage of the surface extraction: which cells are analysed and in what order, on one
// thread or several, with the facets always written in the order of the cells.
#pragma once

#include <cstdint>

#include "stock/stock_model.h"
#include "stockio/cell_edges.h"
#include "stockio/surface_extraction.h"

namespace mirexa {

// Writes the polygons of every cell of the model, in (iz, iy, ix) order, through the sink,
// placed by the transform; every point of theirs on an outer plane of the grid (in grid
// coordinates) is added to points, for the caps, which are written after the cells. The
// plain walk visits every cell of every row with material on its X edges; the sparse walk only
// the cells that have a ray end on one of their edges (every other cell has only full and empty
// edges and gives nothing) and skips cells whose twelve edges are all full. Rows are taken in
// bands of one slab of cells along z; with several threads the bands are built in parallel
// into buffers and written in order, so the facets are the same, byte for byte. Returns the
// facets written or a negative code (kMeshExtractionNoMemory, or the sink's); stats gathers the
// cell counters.
std::int64_t WriteStockCellSurfaces(const StockModel& model, const StockCapMarks& marks,
                                    const MeshTransform& transform,
                                    const MeshExtractionOptions& options, const FacetSink& sink,
                                    OuterPlanePoints* points, MeshExtractionStats* stats);

}  // namespace mirexa
