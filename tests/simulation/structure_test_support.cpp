// Box and triangle meshes for the structure check tests.
#include "structure_test_support.h"

#include <algorithm>
#include <utility>

#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"
#include "simulation/interference_flags.h"
#include "simulation/simulation_hooks.h"
#include "simulation/tool_length_report.h"
#include "support/test_cutting_run.h"

namespace mirexa::testing {

namespace {

void SetBox(MachineModel* model) {
    for (int k = 0; k < 3; ++k) {
        model->min[k] = 1e11;
        model->max[k] = -1e11;
    }
    for (const StlFacet& f : model->facets) {
        for (int v = 0; v < 3; ++v) {
            for (int k = 0; k < 3; ++k) {
                model->min[k] = std::min(model->min[k], f.values[3 + 3 * v + k]);
                model->max[k] = std::max(model->max[k], f.values[3 + 3 * v + k]);
            }
        }
    }
    ListBoxCorners(model->min, model->max, model->corners);
}

}  // namespace

StlFacet TriangleFacet(const double vertices[9]) {
    StlFacet f;
    std::copy(vertices, vertices + 9, f.values + 3);
    return f;
}

std::vector<StlFacet> BoxMeshFacets(const double lo[3], const double hi[3]) {
    // Corner c of ListBoxCorners has x from bit 0, y from bit 1, z from bit 2; each face is two
    // triangles of corner numbers, wound outward.
    static const int kTriangles[12][3] = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6},
                                          {0, 1, 5}, {0, 5, 4}, {2, 6, 7}, {2, 7, 3},
                                          {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
    double corners[24];
    ListBoxCorners(lo, hi, corners);
    std::vector<StlFacet> facets;
    for (const auto& t : kTriangles) {
        double v[9];
        for (int i = 0; i < 3; ++i) {
            std::copy(corners + 3 * t[i], corners + 3 * t[i] + 3, v + 3 * i);
        }
        facets.push_back(TriangleFacet(v));
    }
    return facets;
}

MachineModel PreparedModel(std::vector<StlFacet> facets) {
    MachineModel model;
    model.facetCount = static_cast<std::int32_t>(facets.size());
    model.facets = std::move(facets);
    SetBox(&model);
    model.records.assign(model.facets.size(), FacetRecord{});
    BuildFacetRecords(model.facetCount, model.facets.data(), model.records.data());
    SortFacetsByTopZ(model.facetCount, model.facets.data(), model.records.data());
    return model;
}

MachineModel BoxModel(const double lo[3], const double hi[3]) {
    return PreparedModel(BoxMeshFacets(lo, hi));
}

MachineModel HeadMesh(std::vector<StlFacet> facets) {
    MachineModel model;
    model.facetCount = static_cast<std::int32_t>(facets.size());
    model.facets = std::move(facets);
    SetBox(&model);
    return model;
}

struct ScopedCheckState::Saved {
    MachineDefinition machine = Machine;
    MachineGeometry geometry = CurrentMachine;
    MachinePose pose = RunKinematics.pose;
    KinematicsToolValues toolValues = RunKinematics.toolValues;
    CheckSettings checks = Checks;
    MachineStructureModels models = std::move(StructureModels);
    CurrentToolRecord tool = RunTools.tool;
    std::unique_ptr<ToolProfile> profile = std::make_unique<ToolProfile>(RunTools.profile);
    ToolTables tables = std::move(ToolTableSet);
    std::unique_ptr<MountedToolLayout> mounted = std::make_unique<MountedToolLayout>(MountedTools);
    ToolLengthMeasurements measured = TestRun.cutting.measured;
    SimulationHooks hooks = SimulationCallbacks;
};

namespace {

void ClearCheckState() {
    static const ToolProfile emptyProfile{};
    static const MountedToolLayout emptyLayout{};
    Machine = MachineDefinition{};
    CurrentMachine = MachineGeometry{};
    RunKinematics.pose = MachinePose{};
    RunKinematics.toolValues = KinematicsToolValues{};
    Checks = CheckSettings{};
    StructureModels = MachineStructureModels{};
    RunTools.tool = CurrentToolRecord{};
    RunTools.profile = emptyProfile;
    ToolTableSet = ToolTables{};
    MountedTools = emptyLayout;
    TestRun.cutting.measured = ToolLengthMeasurements{};
    ClearInterferenceFlags(TestRun.cutting.flags);
}

}  // namespace

ScopedCheckState::ScopedCheckState() : saved_(std::make_unique<Saved>()) {
    ClearCheckState();
}

ScopedCheckState::~ScopedCheckState() {
    Machine = saved_->machine;
    CurrentMachine = saved_->geometry;
    RunKinematics.pose = saved_->pose;
    RunKinematics.toolValues = saved_->toolValues;
    Checks = saved_->checks;
    StructureModels = std::move(saved_->models);
    RunTools.tool = saved_->tool;
    RunTools.profile = *saved_->profile;
    ToolTableSet = std::move(saved_->tables);
    MountedTools = *saved_->mounted;
    TestRun.cutting.measured = saved_->measured;
    SimulationCallbacks = saved_->hooks;
    ClearInterferenceFlags(TestRun.cutting.flags);
}

void SetMachineAngles(double first, double second) {
    MachinePose& pose = RunKinematics.pose;
    pose.machine.axis[3] = first;
    pose.machine.axis[4] = second;
    SinCosDegrees(first, CurrentMachine.rotary[0].sign, &pose.sin1, &pose.cos1);
    SinCosDegrees(second, CurrentMachine.rotary[1].sign, &pose.sin2, &pose.cos2);
}

ToolRecord& PutFlatTool(int n, float d, float h) {
    if (ToolTableSet.maxMagazine == 0) {
        AllocToolTables(20);
    }
    ToolRecord& t = ToolTableSet.tools[n];
    t.present = 1;
    t.type = kToolFlat;
    t.d = d;
    t.h = h;
    return t;
}

void PutLengthRecord(int n, std::uint32_t kind, std::initializer_list<float> values) {
    ToolLengthRecord& l = ToolTableSet.lengths[n];
    l = ToolLengthRecord{};
    l.kind = kind;
    std::copy(values.begin(), values.begin() + std::min<std::size_t>(values.size(), 6), l.values);
}

void PutHolder(int n, std::uint32_t kind, std::initializer_list<float> diameters,
               std::initializer_list<float> lengths, std::initializer_list<int> codes) {
    ArborProfile& h = ToolTableSet.arbors[n];
    h = ArborProfile{};
    h.present = 1;
    h.kind = kind;
    h.count = static_cast<int>(std::min<std::size_t>(lengths.size(), kArborMaxSegments));
    std::copy(diameters.begin(),
              diameters.begin() + std::min<std::size_t>(diameters.size(), kArborMaxSegments + 1),
              h.diameters);
    std::copy(lengths.begin(), lengths.begin() + h.count, h.lengths);
    std::copy(codes.begin(), codes.begin() + std::min<std::size_t>(codes.size(), h.count), h.codes);
}

}  // namespace mirexa::testing
