// Planes through facets, segment/plane and segment/facet intersections, angle-sum
// point-in-triangle tests, and the two ray-end tests the cutting core applies to new dexel ends.
#pragma once

#include <cstdint>

namespace mirexa {

// One facet of an interference model: kind 0, 1, 2 for a plane normal to X, Y, Z (only the
// matching coefficient of the plane is used), 3 for a general plane a*x + b*y + c*z + d = 0;
// and the facet's bounding box (mm).
struct FacetRecord {
    int32_t kind = {};
    double plane[4] = {};
    double min[3] = {};
    double max[3] = {};
};

// The plane (a, b, c, d) through three points (9 doubles): the unit normal of
// (p1 - p0) x (p2 - p0) with the first non-zero of a, b, c made positive, d = -n . p0.
// A facet of zero area (or one too large to normalise) gives (0, 0, 0, 0), which no segment
// ever meets.
void ComputePlaneFromThreePoints(const double triangle[9], double plane[4]);

// Angle-sum test of p against a triangle (9 doubles). Codes: 1 when p lies within 0.01 of a
// vertex; 2 when p lies on an edge (an angle cosine below -0.999999); 21, 22, 23 when inside,
// with the z, x or y component of the cross products as the orientation reference; 0 outside
// (also when the first two vertex directions are parallel).
int TestPointInTriangle(const double triangle[9], const double p[3]);

// The same test in the plane of the coordinates j and k (axis is the plane's normal axis):
// 1 near a vertex, 2 on an edge, 21 inside, 0 outside or when the first two vertex directions
// are parallel. Axis indices outside 0..2 give 0.
int TestPointInTriangleOnAxis(const double triangle[9], const double p[3], int axis, int j, int k);

// Meets the segment p0-p1 with the axis plane of a facet (normal along axis i): t =
// -(plane[i] * p0[i] + d) / (plane[i] * (p1 - p0)[i]). When t lies in [0, 1] the point goes
// to hit, and the result is 1 when it lies in the facet triangle (TestPointInTriangleOnAxis
// on j, k gives 1 or more). 0 when the segment is parallel to the plane or misses.
int IntersectSegmentAxisPlane(const double plane[4], const double faceTriangle[9], int i, int j,
                              int k, const double p0[3], const double p1[3], double hit[3]);

// The same for a general plane: t = -(n . p0 + d) / (n . (p1 - p0)), the point tested with
// TestPointInTriangle.
int IntersectSegmentPlane(const double plane[4], const double faceTriangle[9], const double p0[3],
                          const double p1[3], double hit[3]);

// Tests the edges p0-p1, p1-p2, p2-p0 of triangle against the facet and returns the first
// positive result (1), else 0. Unknown facet kinds give 0.
int IntersectTriangleFace(const double faceTriangle[9], const FacetRecord& face,
                          const double triangle[9]);

// State of the cutting core's current pose that the two ray-end tests read. The cutting core
// fills it for every pose and ray; tests set it directly.
struct CuttingCheckSettings {
    double checkPoint[3] = {};       // a point of the tool axis line (mm)
    double checkDirection[3] = {};   // direction of the tool axis line
    double checkRadiusSquared = {};  // squared radius inside which the tool may not cut (mm^2)
    double axisFactors[3] = {};      // per model axis: the tool axis component
    double axialConstant = {};       // the ray's axial offset (mm)
    double tolerance = {};           // the cutting height (mm)
    uint8_t penFlagByte = {};        // current pen in bits 4-7, painted bit 0
};
extern CuttingCheckSettings CuttingChecks;

// For the two points q[n] with q[i] = u, q[j] = v, q[k] = w[n]: sets bit 0 of out[n] when q[n]
// lies strictly inside the check radius around the check line (squared distance below the
// squared radius). Other bits are kept. A zero check direction measures the distance to the
// check point. Axes that are not a permutation of 0, 1, 2 change nothing.
void TestPointsInsideRadius(int i, int j, int k, double u, double v, const double w[2],
                            uint8_t out[2]);

// Sets both bytes to the pen flag byte, then bit 0 of out[n] when
// |axisFactors[axis] * values[n] + axialConstant| > tolerance. An axis outside 0..2 leaves
// bit 0 as the pen byte has it.
void TestAxisOutsideTolerance(int axis, const double values[2], uint8_t out[2]);

}  // namespace mirexa
