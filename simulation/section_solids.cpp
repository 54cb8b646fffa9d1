// Line-against-solid routines of the tool's section solids (cone frustum, cylinders, ellipsoid,
// torus), each with its exact special cases for rays parallel and perpendicular to the axis.
#include "simulation/section_solids.h"

#include <cmath>
#include <utility>

#include "geometry/polynomial_roots.h"

namespace mirexa {

using namespace section_frame;

int IntersectLineCone(const double base[3], const double axis[3], double r0, double slope,
                      double length, double lu, double lv, SectionHits* hits) {
    hits->count = 0;
    const RayFrame f = MakeRayFrame(base, axis, lu, lv);
    const double bw = base[2];
    const double aw = axis[2];
    if (f.parallel) {
        // The radius reaches the ray's distance d at t* = (d - r0) / slope; inside is above t*
        // for a widening cone, below it for a narrowing one, and everywhere (r0 > d, strict, by
        // more than the rounding of a ray on the side) for a cone of constant radius.
        const double d = std::sqrt(f.du * f.du + f.dv * f.dv);
        double tIn = 0.0;
        double tOut = length;
        if (slope > 0.0) {
            const double ts = (d - r0) / slope;
            if (!(ts <= length)) {
                return 0;
            }
            tIn = ts > 0.0 ? ts : 0.0;
        } else if (slope < 0.0) {
            const double ts = (d - r0) / slope;
            if (!(ts >= 0.0)) {
                return 0;
            }
            tOut = ts < length ? ts : length;
        } else if (!(r0 - d > kParallelTangentShare * r0)) {
            return 0;
        }
        PushHit(hits, bw + tIn * aw, tIn);
        PushHit(hits, bw + tOut * aw, tOut);
        SortHitsByDepth(hits);
        return hits->count;
    }
    if (f.perpendicular) {
        const double t = f.t0;
        if (!(t >= 0.0 && t <= length)) {
            return 0;
        }
        const double rad = r0 + slope * t;
        return PerpendicularChord(bw, rad * rad - f.c0, t, hits);
    }
    // The two end discs, inclusive of their rims.
    const double sBase = -f.t0 / aw;
    if (r0 >= 0.0 && r0 * r0 >= f.du * f.du + f.dv * f.dv + sBase * sBase) {
        PushHit(hits, bw + sBase, 0.0);
    }
    const double sTop = (length - f.t0) / aw;
    const double rTop = r0 + slope * length;
    const double eu = f.du - length * axis[0];
    const double ev = f.dv - length * axis[1];
    const double ew = sTop - length * aw;
    if (rTop >= 0.0 && rTop * rTop >= eu * eu + ev * ev + ew * ew) {
        PushHit(hits, bw + sTop, length);
    }
    if (hits->count < 2) {
        // The lateral surface: radial^2(s) = (r0 + slope t(s))^2.
        const double rho0 = r0 + slope * f.t0;
        const double A = f.c2 - slope * slope * aw * aw;
        const double Bh = f.c1 - rho0 * slope * aw;
        const double C = f.c0 - rho0 * rho0;
        double s[2] = {};
        int n = 0;
        if (std::fabs(A) < kSectionLinearFallback) {
            if (Bh != 0.0) {
                s[0] = -C / (2.0 * Bh);
                n = 1;
            }
        } else {
            n = SolveHalfQuadratic(A, Bh, C, s);
        }
        double t[2] = {f.t0 + aw * s[0], f.t0 + aw * s[1]};
        if (n == 2 && t[1] < t[0]) {
            std::swap(t[0], t[1]);
            std::swap(s[0], s[1]);
        }
        for (int k = 0; k < n && hits->count < 2; ++k) {
            if (t[k] > 0.0 && t[k] < length) {
                PushHit(hits, bw + s[k], t[k]);
            }
        }
    }
    SortHitsByDepth(hits);
    return hits->count;
}

int IntersectLineCylinder(const double base[3], const double axis[3], double radius, double length,
                          double lu, double lv, SectionHits* hits) {
    hits->count = 0;
    if (!(length >= 0.0)) {
        return 0;
    }
    const RayFrame f = MakeRayFrame(base, axis, lu, lv);
    if (f.perpendicular) {
        if (!(f.t0 >= 0.0 && f.t0 <= length)) {
            return 0;
        }
        return PerpendicularChord(base[2], radius * radius - f.c0, f.t0, hits);
    }
    return CylinderChord(base, axis, radius, length, f, hits);
}

int IntersectLineEllipsoid(const double base[3], const double axis[3], double b, double c,
                           double clipLength, double lu, double lv, SectionHits* hits) {
    hits->count = 0;
    if (!(c > 0.0) || !(b > 0.0)) {
        return 0;
    }
    const RayFrame f = MakeRayFrame(base, axis, lu, lv);
    const double bw = base[2];
    const double aw = axis[2];
    // The solid: radial^2 <= m^2 t (2c - t), m = b / c.
    const double m2 = (b / c) * (b / c);
    if (f.perpendicular) {
        const double t = f.t0;
        if (t > clipLength) {
            return 0;
        }
        return PerpendicularChord(bw, m2 * t * (2.0 * c - t) - f.c0, t, hits);
    }
    double s[2];
    double t[2];
    if (f.parallel) {
        // m^2 t^2 - 2 (b^2 / c) t + d^2 = 0, solved in t.
        double roots[2];
        if (SolveHalfQuadratic(m2, -b * b / c, f.du * f.du + f.dv * f.dv, roots) == 0) {
            return 0;
        }
        for (int k = 0; k < 2; ++k) {
            t[k] = roots[k];
            s[k] = roots[k] * aw;
        }
    } else {
        const double A = f.c2 + m2 * aw * aw;
        const double Bh = f.c1 - m2 * c * aw + m2 * f.t0 * aw;
        const double C = f.c0 - 2.0 * m2 * c * f.t0 + m2 * f.t0 * f.t0;
        if (SolveHalfQuadratic(A, Bh, C, s) == 0) {
            return 0;
        }
        t[0] = f.t0 + aw * s[0];
        t[1] = f.t0 + aw * s[1];
    }
    if ((t[0] > clipLength && t[1] > clipLength) || (t[0] < 0.0 && t[1] < 0.0)) {
        return 0;
    }
    PushHit(hits, bw + s[0], t[0]);
    PushHit(hits, bw + s[1], t[1]);
    SortHitsByDepth(hits);
    // Leaving above the clip length: the chord shrinks to the end below it.
    if (hits->axial[0] > clipLength) {
        hits->depth[0] = hits->depth[1];
        hits->axial[0] = hits->axial[1];
    } else if (hits->axial[1] > clipLength) {
        hits->depth[1] = hits->depth[0];
        hits->axial[1] = hits->axial[0];
    }
    return 2;
}

int IntersectLineTorus(const double base[3], const double axis[3], double ring, double tube,
                       double lu, double lv, SectionHits* hits) {
    hits->count = 0;
    if (!(tube > 0.0) || !(ring >= 0.0)) {
        return 0;
    }
    const RayFrame f = MakeRayFrame(base, axis, lu, lv);
    const double bw = base[2];
    const double aw = axis[2];
    if (f.perpendicular) {
        // The slice at height t is the ring between ring - s and ring + s; with ring - s <= 0
        // it is a full disc (a torus without a hole).
        const double t = f.t0;
        if (!(t > 0.0 && t < 2.0 * tube)) {
            return 0;
        }
        const double s = std::sqrt(t * (2.0 * tube - t));
        const double outer = ring + s;
        if (PerpendicularChord(bw, outer * outer - f.c0, t, hits) == 0) {
            return 0;
        }
        const double inner = ring - s;
        if (inner > 0.0) {
            PerpendicularChord(bw, inner * inner - f.c0, t, hits);
        }
        SortHitsByDepth(hits);
        return hits->count;
    }
    if (f.parallel) {
        const double d = std::sqrt(f.du * f.du + f.dv * f.dv);
        const double g = ring - d;
        if (!(g * g < tube * tube)) {
            return 0;
        }
        const double h = std::sqrt(tube * tube - g * g);
        PushHit(hits, bw + (tube - h) * aw, tube - h);
        PushHit(hits, bw + (tube + h) * aw, tube + h);
        SortHitsByDepth(hits);
        return 2;
    }
    // General ray: the quartic in the depth offset s from the torus centre C = B + tube a,
    // (|P|^2 + ring^2 - tube^2)^2 = 4 ring^2 radial^2 with P = (lu, lv, C_w + s) - C.
    const double pu = f.du - tube * axis[0];
    const double pv = f.dv - tube * axis[1];
    const double h0 = pu * axis[0] + pv * axis[1];
    const double qu = pu - h0 * axis[0];
    const double qv = pv - h0 * axis[1];
    const double qw = -h0 * aw;
    const double radial2 = qu * qu + qv * qv + qw * qw;
    const double p2 = pu * pu + pv * pv;
    const double beta = p2 + ring * ring - tube * tube;
    const double r4 = 4.0 * ring * ring;
    const double c2 = 2.0 * beta - r4 * (1.0 - aw * aw);
    const double c1 = r4 * 2.0 * h0 * aw;
    const double c0 = beta * beta - r4 * radial2;
    ComplexNumber roots[4];
    SolveQuartic(1.0, 0.0, c2, c1, c0, roots);
    const double cw = bw + tube * aw;
    const double margin = 1e-9 * (1.0 + ring + tube);
    for (const ComplexNumber& root : roots) {
        if (root.im != 0.0) {
            continue;
        }
        // Two Newton steps sharpen a root that the closed form left a little off.
        double s = root.re;
        for (int k = 0; k < 2; ++k) {
            const double value = ((s * s + c2) * s + c1) * s + c0;
            const double slope = (4.0 * s * s + 2.0 * c2) * s + c1;
            if (slope == 0.0) {
                break;
            }
            const double next = s - value / slope;
            const double nextValue = ((next * next + c2) * next + c1) * next + c0;
            if (!(std::fabs(nextValue) < std::fabs(value))) {
                break;
            }
            s = next;
        }
        const double h = h0 + aw * s;
        const double t = tube + h;
        if (!(t >= -margin && t <= 2.0 * tube + margin)) {
            continue;
        }
        // A root on the inner self-crossing surface of a torus without a hole is no boundary.
        const double r2 = p2 + s * s - h * h;
        const double r = r2 > 0.0 ? std::sqrt(r2) : 0.0;
        const double onOuter = (r - ring) * (r - ring) + h * h - tube * tube;
        const double onInner = (r + ring) * (r + ring) + h * h - tube * tube;
        if (std::fabs(onOuter) > std::fabs(onInner)) {
            continue;
        }
        PushHit(hits, cw + s, t);
    }
    SortHitsByDepth(hits);
    return hits->count;
}

}  // namespace mirexa
