// The tool's section solids against one dexel ray: the stretch of a ray that lies inside a cone
// frustum, a finite or half-infinite cylinder, an ellipsoid of revolution or a torus.
//
// Frame: every routine works in the order of a dexel grid view (u, v, w): the ray is the line
// {(lu, lv, w)} along w. A solid is given by its base point B (mm), its unit axis a (tip to
// spindle) and its sizes (mm). A point x of the ray has the axial parameter t = (x - B).a (mm)
// and the radial distance |x - B - t a|.
//
// Results: hits->count depths w along the ray with the axial parameters t of the same points.
// A count of 2 is one chord [depth[0], depth[1]], ordered by depth; the torus may give 4, two
// chords [depth[0], depth[1]] and [depth[2], depth[3]]; any other count is no hit. Only the
// first hits->count entries are written. Each routine returns the count.
//
// Boundaries: radial tests are strict (a ray exactly on the surface misses) unless said
// otherwise; the axial range of each solid is given with its routine. Special cases of the
// axis are taken exactly: a_w = 0 (the ray is perpendicular to the axis) and a = (0, 0, +-1)
// (the ray is parallel); rays in between solve a quadratic (a quartic for the torus) in the
// depth, which needs no division by a_w.
#pragma once

#include <cstdint>

namespace mirexa {

struct SectionHits {
    std::int32_t count = {};
    double depth[4] = {};  // w of each hit (mm)
    double axial[4] = {};  // t of each hit (mm)
};

// Below this magnitude the leading coefficient of the cone's quadratic counts as zero and the
// single linear root is used (the ray runs along a generator line of the cone).
inline constexpr double kSectionLinearFallback = 1e-14;
// Axial parameter (mm) of the open end of a half cylinder met by a parallel ray: beyond any
// stock.
inline constexpr double kHalfCylinderFarEnd = 1e7;

// Cone frustum of radius r0 + slope * t for 0 <= t <= length (inclusive). Both end discs are
// tested first (inclusive); a ray through both never solves the lateral surface. Lateral hits
// need 0 < t < length (strict). The radius may widen (slope > 0), narrow (slope < 0) or stay
// (slope 0) along the axis.
int IntersectLineCone(const double base[3], const double axis[3], double r0, double slope,
                      double length, double lu, double lv, SectionHits* hits);

// Finite cylinder of the radius for 0 <= t <= length; the chord is clamped to the end planes.
int IntersectLineCylinder(const double base[3], const double axis[3], double radius, double length,
                          double lu, double lv, SectionHits* hits);

// Cylinder of the radius from the base plane (t >= 0) without far end; a parallel ray's chord
// reaches t = kHalfCylinderFarEnd.
int IntersectLineHalfCylinder(const double base[3], const double axis[3], double radius, double lu,
                              double lv, SectionHits* hits);

// Ellipsoid of revolution with its lowest point at B: radial semi-axis b, axial semi-axis c
// (centre B + c a), clipped at t = clipLength. A ray that leaves the solid above the clip length
// gives a chord of zero length at its end below it (the solids above take over from there);
// one that lies wholly above it misses.
int IntersectLineEllipsoid(const double base[3], const double axis[3], double b, double c,
                           double clipLength, double lu, double lv, SectionHits* hits);

// Torus whose tube (radius tube) is centred on the circle of radius ring at height tube above B,
// so that it spans 0 <= t <= 2 tube. Up to 4 hits sorted by depth. A ring radius below the tube
// radius gives a torus without a hole (the inner self-crossing surface is not a boundary). A
// perpendicular ray needs 0 < t < 2 tube (strict); roots of the quartic are kept within a
// rounding margin of that range.
int IntersectLineTorus(const double base[3], const double axis[3], double ring, double tube,
                       double lu, double lv, SectionHits* hits);

}  // namespace mirexa
