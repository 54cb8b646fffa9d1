// Helpers of the structure check tests: box and triangle meshes as machine models prepared the
// way the loader prepares them (records, sort by top height, box and corners).
#pragma once

#include <vector>

#include "config/structure_models.h"

namespace mirexa::testing {

// The twelve facets of the box [lo, hi] (mm), outward normals.
std::vector<StlFacet> BoxMeshFacets(const double lo[3], const double hi[3]);

// One facet from nine vertex values.
StlFacet TriangleFacet(const double vertices[9]);

// A model of the facets: records built, facets sorted by top height, box and corners set.
MachineModel PreparedModel(std::vector<StlFacet> facets);

// A model of the box [lo, hi].
MachineModel BoxModel(const double lo[3], const double hi[3]);

// A mesh without records (as the heads are loaded): facets, box and corners.
MachineModel HeadMesh(std::vector<StlFacet> facets);

}  // namespace mirexa::testing
