// The shared scans of the structure checks: model lists by kind, box tests and the sorted facet
// scans of a triangle or a segment against one model.
#include "simulation/structure_scan.h"

#include <algorithm>

#include "stockio/stl_files.h"

namespace mirexa {

namespace {

constexpr int kOtherAxes[3][2] = {{1, 2}, {2, 0}, {0, 1}};

void AddModel(const MachineModel& model, const double* freeMin, const double* freeMax,
              StructureModelList* out) {
    if (model.facetCount <= 0 || out->count >= kStructureListCapacity ||
        model.records.size() < static_cast<std::size_t>(model.facetCount) ||
        model.facets.size() < static_cast<std::size_t>(model.facetCount)) {
        return;
    }
    StructureModelRef& ref = out->entries[out->count++];
    ref.model = &model;
    ref.freeMin = freeMin;
    ref.freeMax = freeMax;
}

}  // namespace

int GatherStructureModels(const MachineStructureModels& models, int kind, StructureModelList* out) {
    out->count = 0;
    switch (kind) {
        case kStructureVice:
            for (const MachineModel& vice : models.vices) {
                AddModel(vice, nullptr, nullptr, out);
            }
            break;
        case kStructureTable2:
            AddModel(models.table2, nullptr, nullptr, out);
            break;
        case kStructureTable1:
            for (const MachineModel& region : models.table1Regions) {
                AddModel(region, nullptr, nullptr, out);
            }
            break;
        case kStructureTable:
            AddModel(models.table, nullptr, nullptr, out);
            break;
        case kStructureBasic:
            if (!models.basics.empty()) {
                // Each model is excused only by its own free box.
                for (std::size_t i = 0; i < models.basics.size(); ++i) {
                    const bool boxed = models.basicFreeBoxes.size() >= 6 * (i + 1);
                    const double* box = boxed ? &models.basicFreeBoxes[6 * i] : nullptr;
                    AddModel(models.basics[i], box, boxed ? box + 3 : nullptr, out);
                }
            } else {
                for (const MachineModel& region : models.basicRegions) {
                    AddModel(region, models.basicFreeMin, models.basicFreeMax, out);
                }
            }
            break;
        default:
            break;
    }
    return out->count;
}

int BoxesOverlap(const double aMin[3], const double aMax[3], const double bMin[3],
                 const double bMax[3]) {
    for (int k = 0; k < 3; ++k) {
        if (!(aMin[k] <= bMax[k] && bMin[k] <= aMax[k])) {
            return 0;
        }
    }
    return 1;
}

int BoxStrictlyInside(const double min[3], const double max[3], const double lo[3],
                      const double hi[3]) {
    for (int k = 0; k < 3; ++k) {
        if (!(hi[k] > max[k] && min[k] > lo[k])) {
            return 0;
        }
    }
    return 1;
}

int PointStrictlyInside(const double p[3], const double lo[3], const double hi[3]) {
    return BoxStrictlyInside(p, p, lo, hi);
}

void PrepareScanTriangle(const double vertices[9], ScanTriangle* out) {
    StlFacet facet;
    std::copy(vertices, vertices + 9, facet.values + 3);
    std::copy(vertices, vertices + 9, out->vertices);
    BuildFacetRecords(1, &facet, &out->record);
    for (int k = 0; k < 3; ++k) {
        out->min[k] = out->record.min[k];
        out->max[k] = out->record.max[k];
    }
}

int SegmentHitsFacet(const FacetRecord& record, const double facet[9], const double p0[3],
                     const double p1[3]) {
    double hit[3];
    if (record.kind == 3) {
        return IntersectSegmentPlane(record.plane, facet, p0, p1, hit);
    }
    if (record.kind < 0 || record.kind > 2) {
        return 0;
    }
    const int i = record.kind;
    return IntersectSegmentAxisPlane(record.plane, facet, i, kOtherAxes[i][0], kOtherAxes[i][1], p0,
                                     p1, hit);
}

int TriangleHitsStructureModel(const ScanTriangle& triangle, const MachineModel& model) {
    const int n = std::min<int>(model.facetCount, static_cast<int>(model.records.size()));
    for (int f = 0; f < n; ++f) {
        const FacetRecord& record = model.records[f];
        if (triangle.min[2] > record.max[2]) {
            break;  // this facet and every later one lie wholly below the triangle
        }
        if (!BoxesOverlap(triangle.min, triangle.max, record.min, record.max)) {
            continue;
        }
        const double* facet = model.facets[f].values + 3;
        // The triangle's edges through the facet, then the facet's edges through the triangle:
        // a small structure corner poking through a large head facet meets it only the second
        // way.
        if (IntersectTriangleFace(facet, record, triangle.vertices) > 0 ||
            IntersectTriangleFace(triangle.vertices, triangle.record, facet) > 0) {
            return 1;
        }
    }
    return 0;
}

int SegmentHitsStructureModel(const double p0[3], const double p1[3], const MachineModel& model) {
    double lo[3], hi[3];
    for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(p0[k], p1[k]);
        hi[k] = std::max(p0[k], p1[k]);
    }
    const int n = std::min<int>(model.facetCount, static_cast<int>(model.records.size()));
    for (int f = 0; f < n; ++f) {
        const FacetRecord& record = model.records[f];
        if (lo[2] > record.max[2]) {
            break;
        }
        if (!BoxesOverlap(lo, hi, record.min, record.max)) {
            continue;
        }
        if (SegmentHitsFacet(record, model.facets[f].values + 3, p0, p1) > 0) {
            return 1;
        }
    }
    return 0;
}

}  // namespace mirexa
