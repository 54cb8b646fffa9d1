// The machine's structure models (tables, heads, vices, base) loaded from the STL files the
// machine file names, prepared for the interference checks: a FacetRecord per facet (plane,
// kind, box), facets sorted by descending top height, and large models split into regions with
// their own boxes. A model is loaded only when a structure check that needs it is on.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/plane_triangle_tests.h"
#include "stockio/stl_files.h"

namespace mirexa {

// One model, or one region of a split model. Facets carry the model's offset. The box starts
// inverted (1e9 / -1e9 for regions, 1e11 / -1e11 for whole models as the STL reader reports it)
// and grows by every vertex, so an empty model or region keeps an inverted box.
struct MachineModel {
    std::int32_t facetCount = {};
    std::vector<StlFacet> facets = {};
    std::vector<FacetRecord> records = {};  // empty for the heads
    double min[3] = {};
    double max[3] = {};
    double corners[24] = {};  // the heads: the box's corners, x varying fastest
};

// Region codes of a split model: 0 .. 18 by the H/L/M position of a facet on z, x and y.
inline constexpr int kModelRegionCount = 19;

struct MachineStructureModels {
    MachineModel table = {};
    // TABLE1: 19 regions on a TABLE machine, one model on a MIX machine, none otherwise.
    std::vector<MachineModel> table1Regions = {};
    MachineModel table2 = {};
    MachineModel head = {};
    MachineModel head1 = {};
    MachineModel head2 = {};
    std::vector<MachineModel> vices = {};  // one per VICE name, with its own offset
    // Two or more BASIC names: one model each with its free box.
    std::vector<MachineModel> basics = {};
    std::vector<double> basicFreeBoxes = {};  // 6 per model: lo x, y, z, hi x, y, z
    // Exactly one BASIC name: its regions around its free box, and the corner counters of the
    // facets beyond the free box on all three axes (index: +1 beyond hi in x, +2 in y, +4 in z).
    std::vector<MachineModel> basicRegions = {};
    std::int32_t basicCornerCounts[8] = {};
    double basicFreeMin[3] = {};
    double basicFreeMax[3] = {};
};
extern MachineStructureModels StructureModels;

// Loads every model whose checks are on, whether loaded or not (after a machine file reading).
void LoadMachineModels();
// Loads each model whose checks are on and which holds no facet yet (after a check change).
void EnsureMachineModelsLoaded();
// The two lists.
void LoadBasicModels();
void LoadViceModels();

// Frees TABLE, the TABLE1 regions, TABLE2, the heads and both lists.
void FreeMachineModels();
// Frees the BASIC list, and the VICE list.
void FreeModelFacetArrays();
void FreeViceModels();

// Reads an STL file into a model with the offset (mm): 1 when it holds facets, 0 when the file
// cannot be read as STL, holds no facet, or the memory for it cannot be had (the model is then
// empty and the log says why; a file without a facet, or whose facets are all not finite or of
// no area, also counts in UnusableMachineModels). Facets with values that are not finite are
// left out.
int LoadModelFacets(const char* path, const double offset[3], MachineModel* model);

// Plane, box and kind of every facet: kind 0 when the three vertices share x, else 1 when they
// share y, else 2 when they share z, else 3 (exact comparisons).
void BuildFacetRecords(int n, const StlFacet* facets, FacetRecord* records);

// The number of runs the sort works in: 1 below 5,000 facets, else n / 5000 limited to 2 .. 50.
int FacetSortRunCount(int n);

// Sorts facets and records together by descending top height (the record's max z). Each run is
// sorted on its own and the runs are merged, the lowest-numbered run first among equal heights;
// among equal heights the order of the file is kept.
void SortFacetsByTopZ(int n, StlFacet* facets, FacetRecord* records);

// Sorts one run in place by descending top height, equal heights in their order.
void SortFacetRun(int n, StlFacet* facets, FacetRecord* records);

// The free box around point p (mm) of a facet array: starts at +-1e11 and is cut at each facet
// on the axis of its largest separation from p, unless the facet covers the box on both other
// axes. Facets whose box holds p cannot be kept out of the box and are passed over.
void FacetArrayBounds(int n, const StlFacet* facets, const double p[3], double lo[3], double hi[3]);

// The region code of a facet against the cuts lo and hi: per axis H when all three vertices
// are at or above hi, L when all are at or below lo, else M; codes by z, then x, then y.
int FacetRegionCode(const StlFacet& facet, const double lo[3], const double hi[3]);

// Splits a model into its 19 regions by the thirds of its box (TABLE1 on a TABLE machine).
void BinFacetsByRegion2(const MachineModel& model, std::vector<MachineModel>* regions);

// Splits a model into its 19 regions around the box [lo, hi] (a single BASIC model), counting
// the facets beyond the box on all three axes in cornerCounts as well.
void BinFacetsByRegion(const MachineModel& model, const double lo[3], const double hi[3],
                       std::vector<MachineModel>* regions, std::int32_t cornerCounts[8]);

}  // namespace mirexa
