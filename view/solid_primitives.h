// The two solids the default machine parts are made of, a box and an n-sided prism, as faces
// with outward normals and counter-clockwise vertices seen from outside, and their drawing.
#pragma once

#include <vector>

namespace mirexa {

// One planar face: up to 4 side vertices or a cap of many, each vertex with its normal.
struct SolidFace {
    int cap = {};                       // 1 for a prism cap (drawn as a polygon), 0 for a quad
    std::vector<double> vertices = {};  // 3 per vertex
    std::vector<double> normals = {};   // 3 per vertex
};

// The six faces of the box [lo, hi] in the order +X, +Y, -X, -Y, -Z, +Z, each with its outward
// unit normal on every vertex.
void BoxSolidFaces(const double lo[3], const double hi[3], std::vector<SolidFace>* faces);

// A prism of n sides (n >= 3; smaller counts give nothing) along axis 0 (X), 1 (Y) or 2 (Z)
// from base[axis] to base[axis] + length. Its cross-section uses the coordinates (Y, Z), (Z, X)
// or (X, Y): vertex i lies at base + radius * (cos t, sin t) with t = i * 2 pi / n + pi / n.
// The sides come first (quad i from vertex i to i + 1): with 10 or more sides each vertical
// edge has its own radial normal, with fewer each quad has the normal of its middle angle. Then
// the far cap (normal +axis, vertices in ascending i) and the near cap (normal -axis,
// descending i).
void CylinderSolidFaces(const double base[3], double radius, int axis, double length, int n,
                        std::vector<SolidFace>* faces);

// Draws faces in the current GL state (quads for sides, polygons for caps), flat shaded.
void DrawSolidFaces(const std::vector<SolidFace>& faces);
// The two solids drawn at once.
void DrawBoxSolid(const double lo[3], const double hi[3]);
void DrawCylinderSolid(const double base[3], double radius, int axis, double length, int n);

}  // namespace mirexa
