// Test-side checks of triangle surfaces: facets collected in memory or read back from a binary
// STL file (decoded here from the byte layout), their normals, signed volume, area balance and
// closure, the latter allowing T-junctions along axis-parallel edges, and strict conformity. Also
// the test solids they are checked against: closed unions of boxes laid onto a stock grid, with
// their exact volume.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "stock/stock_model.h"
#include "stockio/surface_extraction.h"

namespace mirexa {

// A sink that keeps the facets in memory, applying the writers' rule for facets without normal:
// the normal is the unit (v2 - v1) x (v3 - v1), and a facet of zero area is left out (0).
FacetSink CollectFacets(std::vector<MeshFacet>* facets);

// Sum over the facets of v1 . (v2 x v3) / 6: the enclosed volume (mm^3) of a closed surface
// with counter-clockwise facets seen from outside.
double SignedVolume(const std::vector<MeshFacet>& facets);
// Sum of the area vectors (v2 - v1) x (v3 - v1) / 2; zero for a closed surface.
void SumAreaVectors(const std::vector<MeshFacet>& facets, double out[3]);
// Sum of the facet areas (mm^2).
double SurfaceArea(const std::vector<MeshFacet>& facets);

// The same facets in the same order, bit for bit: normal, vertices and normalGiven compared
// field by field (a facet's padding bytes are indeterminate and take no part).
::testing::AssertionResult SameFacets(const std::vector<MeshFacet>& a,
                                      const std::vector<MeshFacet>& b);

// Every facet's stored normal is a unit vector (within 1e-6) pointing to the side from which
// its vertices run counter-clockwise, and no facet has zero area.
::testing::AssertionResult NormalsAgreeWithVertexOrder(const std::vector<MeshFacet>& facets);

// Closure: every directed edge is matched by edges running the other way. Edges parallel to a
// coordinate axis may be matched piecewise (a long edge against several short ones on the same
// line, as at T-junctions); other edges must be matched exactly.
::testing::AssertionResult SurfaceIsClosed(const std::vector<MeshFacet>& facets);

// Conformity, as tools that match edges need it: every directed edge u -> v is cancelled by
// exactly as many edges v -> u between the same two vertices (identified by their exact
// coordinates), and no edge runs more than `sheets` times the same way (2: four facets where
// two pieces of material touch along a line; the four must then leave the edge at distinct
// angles, alternating forward and back around it). On failure it tells how many directed edges
// are unmatched and their length, and shows the first.
::testing::AssertionResult SurfaceIsConforming(const std::vector<MeshFacet>& facets,
                                               int sheets = 2);

// Vertices that are meant as one: no two distinct vertex positions (exact coordinates) lie
// closer than `distance` (mm) on every axis. On failure it tells how many pairs do and shows the
// closest.
::testing::AssertionResult SurfaceHasNoNearVertices(const std::vector<MeshFacet>& facets,
                                                    double distance);

// The facets of a binary STL file, decoded from its bytes: the header's count must equal the
// facets the file size holds (84 + 50 n bytes). byteSwapped reads every 32-bit word reversed.
// Coordinates come back as doubles of the stored floats; normalGiven is 1.
::testing::AssertionResult ReadBinaryStlFacets(const std::string& path, bool byteSwapped,
                                               std::vector<MeshFacet>* facets);

// An axis-aligned box (mm): min x, y, z, max x, y, z.
struct SolidBox {
    double min[3] = {};
    double max[3] = {};
};

// Builds an empty grid of nx * ny * nz nodes from the origin 0 at the pitch (ring of 1 slot)
// and fills every ray with the closed union of the boxes along it: a box contributes
// [min, max] on the ray's axis to each ray whose other two coordinates lie in the box's closed
// cross-section; overlapping and touching intervals are merged. Flags take `flag`, stamps 0.
// Returns 1 or the set-up's negative code.
int BuildBoxUnionStock(StockModel* model, int nx, int ny, int nz, double pitch,
                       const std::vector<SolidBox>& boxes, DexelEndFlag flag = 0);

// The exact volume of a union of boxes (mm^3), over the elementary cells between all their
// coordinates.
double BoxUnionVolume(const std::vector<SolidBox>& boxes);

}  // namespace mirexa
