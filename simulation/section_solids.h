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

#include <cmath>
#include <cstdint>
#include <utility>

namespace mirexa {

struct SectionHits {
    std::int32_t count = {};
    double depth[4] = {};  // w of each hit (mm)
    double axial[4] = {};  // t of each hit (mm)
};

// Below this magnitude the leading coefficient of the cone's quadratic counts as zero and the
// single linear root is used (the ray runs along a generator line of the cone).
inline constexpr double kSectionLinearFallback = 1e-14;
// A ray along the axis of a cylinder lies on its side, and only touches it, when its distance
// falls short of the radius by no more than this share of the radius: the rounding of a distance
// that is the radius (a tool's side through a node line), where a ray across the cylinder meets
// it in a chord too short to cut. So both agree that the side touches the material there.
inline constexpr double kParallelTangentShare = 1e-12;
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
// (Defined below, inline: the cut calls it for most rays of a step.)
inline int IntersectLineHalfCylinder(const double base[3], const double axis[3], double radius,
                                     double lu, double lv, SectionHits* hits);

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

// --- The ray frame and the cylinder chords, inline for the cut's loop over rays --------------

namespace section_frame {

// The ray seen from the solid: the point of the ray at the base's depth, its axial parameter
// and radial vector, and the radial distance along the ray as a quadratic in the depth offset
// s = w - B_w: radial^2(s) = c0 + 2 c1 s + c2 s^2, t(s) = t0 + a_w s.
struct RayFrame {
    double du = {};  // lu - B_u (mm)
    double dv = {};  // lv - B_v (mm)
    double t0 = {};
    double c0 = {};
    double c1 = {};
    double c2 = {};
    bool parallel = {};       // a = (0, 0, +-1)
    bool perpendicular = {};  // a_w = 0
};

inline RayFrame MakeRayFrame(const double base[3], const double axis[3], double lu, double lv) {
    RayFrame f;
    f.du = lu - base[0];
    f.dv = lv - base[1];
    f.parallel = axis[0] == 0.0 && axis[1] == 0.0;
    f.perpendicular = axis[2] == 0.0;
    f.t0 = f.du * axis[0] + f.dv * axis[1];
    // The radial vector of the point at s = 0, taken component by component so that an axis
    // along u or v leaves the other component exact.
    const double r0 = f.du - f.t0 * axis[0];
    const double r1 = f.dv - f.t0 * axis[1];
    const double r2 = -f.t0 * axis[2];
    f.c0 = r0 * r0 + r1 * r1 + r2 * r2;
    f.c1 = -axis[2] * f.t0;
    f.c2 = 1.0 - axis[2] * axis[2];
    return f;
}

inline void PushHit(SectionHits* hits, double depth, double axial) {
    hits->depth[hits->count] = depth;
    hits->axial[hits->count] = axial;
    ++hits->count;
}

inline void SortHitsByDepth(SectionHits* hits) {
    for (int i = 1; i < hits->count; ++i) {
        for (int j = i; j > 0 && hits->depth[j - 1] > hits->depth[j]; --j) {
            std::swap(hits->depth[j - 1], hits->depth[j]);
            std::swap(hits->axial[j - 1], hits->axial[j]);
        }
    }
}

// The chord bw -+ sqrt(h2) of a ray perpendicular to the axis, all at axial parameter t, when
// h2 > 0 (strict).
inline int PerpendicularChord(double bw, double h2, double t, SectionHits* hits) {
    if (!(h2 > 0.0)) {
        return 0;
    }
    const double h = std::sqrt(h2);
    PushHit(hits, bw - h, t);
    PushHit(hits, bw + h, t);
    return 2;
}

// Roots of A s^2 + 2 Bh s + C = 0 when the discriminant Bh^2 - A C is strictly positive, in the
// cancellation-free form. A must not be 0. Returns 0 without real distinct roots.
inline int SolveHalfQuadratic(double A, double Bh, double C, double roots[2]) {
    const double discriminant = Bh * Bh - A * C;
    if (!(discriminant > 0.0)) {
        return 0;
    }
    const double q = -(Bh + std::copysign(std::sqrt(discriminant), Bh));
    roots[0] = q / A;
    roots[1] = C / q;
    return 2;
}

// The two roots of a cylinder-like quadratic as (t, s) pairs ordered by t.
struct AxialPair {
    double tLo = {};
    double sLo = {};
    double tHi = {};
    double sHi = {};
};

inline AxialPair OrderByAxial(const RayFrame& f, double aw, const double s[2]) {
    AxialPair p;
    const double t0 = f.t0 + aw * s[0];
    const double t1 = f.t0 + aw * s[1];
    if (t0 <= t1) {
        p = {t0, s[0], t1, s[1]};
    } else {
        p = {t1, s[1], t0, s[0]};
    }
    return p;
}

// A cylinder of the radius met by a ray that is not perpendicular to its axis, between t = 0 and
// t = length (length < 0: no far end, the chord reaches kHalfCylinderFarEnd along the axis).
inline int CylinderChord(const double base[3], const double axis[3], double radius, double length,
                         const RayFrame& f, SectionHits* hits) {
    const double aw = axis[2];
    const double bw = base[2];
    const bool open = length < 0.0;
    // The depth offset of the point of the ray at axial parameter t.
    auto depthAt = [&](double t) { return (t - f.t0) / aw; };
    if (f.parallel || !(f.c2 > 0.0)) {
        // Along the axis (or so near it that the radial distance cannot change along the ray):
        // inside when the ray is strictly within the radius, by more than the rounding of a ray
        // on the side, from end plane to end plane.
        const bool inside =
            f.parallel
                ? radius - std::sqrt(f.du * f.du + f.dv * f.dv) > kParallelTangentShare * radius
                : radius * radius - f.c0 > 2.0 * kParallelTangentShare * radius * radius;
        if (!inside) {
            return 0;
        }
        const double far = open ? kHalfCylinderFarEnd : length;
        PushHit(hits, bw + depthAt(0.0), 0.0);
        PushHit(hits, bw + depthAt(far), far);
        SortHitsByDepth(hits);
        return hits->count;
    }
    double s[2];
    if (SolveHalfQuadratic(f.c2, f.c1, f.c0 - radius * radius, s) == 0) {
        return 0;
    }
    AxialPair p = OrderByAxial(f, aw, s);
    if (p.tHi < 0.0 || (!open && p.tLo > length)) {
        return 0;
    }
    if (p.tLo < 0.0) {
        p.tLo = 0.0;
        p.sLo = depthAt(0.0);
    }
    if (!open && p.tHi > length) {
        p.tHi = length;
        p.sHi = depthAt(length);
    }
    PushHit(hits, bw + p.sLo, p.tLo);
    PushHit(hits, bw + p.sHi, p.tHi);
    SortHitsByDepth(hits);
    return hits->count;
}

}  // namespace section_frame

inline int IntersectLineHalfCylinder(const double base[3], const double axis[3], double radius,
                                     double lu, double lv, SectionHits* hits) {
    hits->count = 0;
    const section_frame::RayFrame f = section_frame::MakeRayFrame(base, axis, lu, lv);
    if (f.perpendicular) {
        if (!(f.t0 >= 0.0)) {
            return 0;
        }
        return section_frame::PerpendicularChord(base[2], radius * radius - f.c0, f.t0, hits);
    }
    return section_frame::CylinderChord(base, axis, radius, -1.0, f, hits);
}

}  // namespace mirexa
