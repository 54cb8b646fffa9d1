// The scans that the head, tool and holder checks share: the table-side models of each kind as
// a list of whole models or regions (with the free box that excuses each), box tests, and the
// sorted facet scans of one triangle or one segment against one model.
//
// Frames and units: every point is in machine-model coordinates (mm), as the structure models
// are loaded.
//
// Contact rules: boxes that touch overlap; a free box excuses only what lies strictly inside it
// (a head or outline touching its boundary is tested). A triangle hits a model when one of its
// edges meets a facet of the model or an edge of such a facet meets the triangle, both with the
// inclusive point-in-triangle test (a vertex or an edge counts). Coplanar triangles that only
// share their plane meet through no edge and do not hit.
#pragma once

#include <cstdint>

#include "config/structure_models.h"
#include "geometry/plane_triangle_tests.h"

namespace mirexa {

// The table-side kinds, in the order the tool and holder checks test them.
enum StructureKind : int {
    kStructureVice = 0,
    kStructureTable2 = 1,
    kStructureTable1 = 2,
    kStructureTable = 3,
    kStructureBasic = 4,
    kStructureKindCount = 5
};

// One model the checks walk: a whole model or a region of a split model. freeMin and freeMax
// point at the free box of the basic model it belongs to (null for the other kinds): no facet of
// that model enters the box.
struct StructureModelRef {
    const MachineModel* model = {};
    const double* freeMin = {};
    const double* freeMax = {};
};

// Room for the 19 regions of a split model or the five models of a list, with margin.
inline constexpr int kStructureListCapacity = 32;

// The models of one kind in test order. Only models and regions that hold facets are listed:
// the corner counters of a single basic model have no facets and never appear.
struct StructureModelList {
    std::int32_t count = {};
    StructureModelRef entries[kStructureListCapacity] = {};
};

// Fills the list of one kind from the loaded models: VICE every vice; TABLE2 and TABLE the one
// model; TABLE1 its regions (or its one model); BASIC every model with its own free box, or the
// regions of a single model, all with the single model's free box. An unknown kind or models
// beyond the capacity are left out. Returns the count.
int GatherStructureModels(const MachineStructureModels& models, int kind, StructureModelList* out);

// 1 when the two boxes overlap or touch on all three axes.
int BoxesOverlap(const double aMin[3], const double aMax[3], const double bMin[3],
                 const double bMax[3]);

// 1 when [min, max] lies strictly inside the open box (lo, hi) on all three axes.
int BoxStrictlyInside(const double min[3], const double max[3], const double lo[3],
                      const double hi[3]);

// 1 when the point lies strictly inside the open box (lo, hi).
int PointStrictlyInside(const double p[3], const double lo[3], const double hi[3]);

// A triangle prepared for the scans: its vertices, box and facet record (plane and kind), so
// that the model's facet edges can be tested against it as well.
struct ScanTriangle {
    double vertices[9] = {};
    double min[3] = {};
    double max[3] = {};
    FacetRecord record = {};
};

// Fills the record, box and vertices of a scan triangle from nine values (three vertices, mm).
void PrepareScanTriangle(const double vertices[9], ScanTriangle* out);

// 1 when the triangle hits a facet of the model. The facets are visited in their stored order
// (highest top first): the scan ends at the first facet whose top lies below the triangle's
// lowest z, and a facet whose box does not overlap the triangle's box is passed over.
int TriangleHitsStructureModel(const ScanTriangle& triangle, const MachineModel& model);

// 1 when the segment p0-p1 meets a facet of the model (a parameter in [0, 1] on the facet's
// plane, the point inside or on the facet triangle). The same sorted scan and box culling as
// above, with the segment's box.
int SegmentHitsStructureModel(const double p0[3], const double p1[3], const MachineModel& model);

// 1 when the segment meets the facet (axis planes for kinds 0 to 2, the general plane for 3).
int SegmentHitsFacet(const FacetRecord& record, const double facet[9], const double p0[3],
                     const double p1[3]);

}  // namespace mirexa
