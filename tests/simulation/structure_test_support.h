// Helpers of the structure check tests: box and triangle meshes as machine models prepared the
// way the loader prepares them (records, sort by top height, box and corners).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/structure_models.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"

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

// Saves the machine, pose, tool, check, structure-model, tool-length measurement and simulation
// hook records the checks use, starts each test from cleared ones (no rotary axes, no models,
// every check off, no interference flag) and puts the saved ones back at the end.
class ScopedCheckState {
public:
    ScopedCheckState();
    ~ScopedCheckState();
    ScopedCheckState(const ScopedCheckState&) = delete;
    ScopedCheckState& operator=(const ScopedCheckState&) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

// Sets the machine angles (deg) of CurrentMachinePose with their sines and cosines.
void SetMachineAngles(double first, double second);

// Puts a FLAT tool of diameter d and cutting height h (mm) into the tool tables at number n
// (tables of 20 tools are allocated when none are).
ToolRecord& PutFlatTool(int n, float d, float h);

// Gives tool n a length record of the kind with the values (mm, deg) from the first on.
void PutLengthRecord(int n, std::uint32_t kind, std::initializer_list<float> values);

// Gives tool n a holder of the kind: the diameters and lengths (mm) and the ARBOR3 codes.
void PutHolder(int n, std::uint32_t kind, std::initializer_list<float> diameters,
               std::initializer_list<float> lengths, std::initializer_list<int> codes = {});

}  // namespace mirexa::testing
