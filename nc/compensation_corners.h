// Plane geometry of cutter radius compensation corners: the intersections of two offset path
// elements (line and line, line and arc, arc and arc) and the straight tangent extensions that
// close an outer corner.
//
// Every point here is given in plane order: [0] the first plane axis, [1] the second plane axis,
// [2] the plane's normal (the third axis, carried along and interpolated). Lengths in mm, angles
// in radians. Nothing here allocates; the caller owns every output array.
#pragma once

namespace mirexa {

// Status of an intersection.
constexpr int kIntersectOk = 1;        // at least one point lies on both elements
constexpr int kIntersectOutside = -1;  // the carriers meet, but outside an element
constexpr int kIntersectNone = -2;     // no solution: parallel lines, a zero-length line, a
                                       // zero radius, concentric or separate circles

// One offset element as the corner sees it. Lines (motion type 0 or 1) use start and end; arcs
// (2 clockwise, 3 counter-clockwise) also use the centre, the radius (mm; its magnitude is used,
// an inside-out offset arc has a negative one) and the sweep (rad, 0 < sweep <= 2 pi).
struct PathElement {
    int motionType = {};
    double start[3] = {};
    double end[3] = {};
    double centre[2] = {};
    double radius = {};
    double sweep = {};
};

// One meeting point of two elements: its parameter on each element (0 at the element's start, 1
// at its end; on an arc the angle from the start in the arc's direction over the sweep) and the
// point as it lies on each element (the same plane coordinates, each element's own third axis).
struct PathIntersection {
    double parameter[2] = {};
    double point[2][3] = {};
};

// Intersects the first element with the second, dispatching by their motion types (a line and
// an arc in either order; the results always refer to the first element first). Fills out[0]
// and out[1] and sets *count to the points found (0 to 2). Returns kIntersectOk when *count is at
// least 1, else kIntersectOutside or kIntersectNone (and *count 0, except for two lines, which
// always report their one carrier point with kIntersectOutside when it misses an element).
int IntersectPathElements(const PathElement& first, const PathElement& second,
                          PathIntersection out[2], int* count);

// Two lines a0-a1 and b0-b1: the meeting point of their carriers. Parameters outside [0, 1]
// give kIntersectOutside (with the point in out and *count 1); parallel or zero-length lines
// give kIntersectNone.
int IntersectLineLine(const PathElement& a, const PathElement& b, PathIntersection* out,
                      int* count);

// A line and an arc: up to two points inside both elements (two with equal line parameters count
// as one).
int IntersectLineArc(const PathElement& line, const PathElement& arc, PathIntersection out[2],
                     int* count);

// Two arcs: up to two points inside both elements. The points are tried in the order of their
// parameter on the first arc, so that with two valid points out[0] is the one the first arc
// reaches first.
int IntersectArcArc(const PathElement& first, const PathElement& second, PathIntersection out[2],
                    int* count);

// Closes an outer corner around the programmed corner c, from s (the previous element's offset
// end) to e (the next element's offset start), with the compensation radius `radius` (mm, > 0);
// `clockwise` is the corner's turning direction. Writes up to three points to points[] (capacity
// 3) and returns their count: one tangent meeting point for a turn of 90 deg or less, two
// extension points of length `radius` along the two tangents beyond it (the second left out when
// it equals the first), then e itself. A corner whose ends lie within 0.001 mm (summed over the
// two plane axes) gives e alone. Extension points take s's third axis, the second one e's.
int ExtendCompensationCorner(int clockwise, const double s[3], const double e[3], const double c[3],
                             double radius, double points[3][3]);

}  // namespace mirexa
