// Corner geometry of cutter radius compensation: element intersections and tangent extensions.
#include "nc/compensation_corners.h"

#include <cmath>

namespace mirexa {

namespace {

constexpr double kTwoPi = 2.0 * M_PI;
// Parameters this close outside [0, 1] still count as on the element (round-off of a point that
// lies at an element's end).
constexpr double kParameterSlack = 1e-9;
// Ends of an outer corner closer than this (mm, summed over the two plane axes) need no extension.
constexpr double kCornerPointTolerance = 0.001;

bool IsLine(int type) {
    return type == 0 || type == 1;
}

bool IsArc(int type) {
    return type == 2 || type == 3;
}

bool OnElement(double parameter) {
    return parameter >= -kParameterSlack && parameter <= 1.0 + kParameterSlack;
}

// The line parameter of point p on a0-a1, read on the axis where the line moves more.
double LineParameter(const PathElement& line, const double p[2]) {
    const double d0 = line.end[0] - line.start[0], d1 = line.end[1] - line.start[1];
    return std::fabs(d0) >= std::fabs(d1) ? (p[0] - line.start[0]) / d0
                                          : (p[1] - line.start[1]) / d1;
}

// The arc parameter of a point on the arc's circle: its angle from the arc's start point in the
// arc's direction, over the sweep. A point just before the start reads as a small negative
// value rather than as one near 2 pi / sweep.
double ArcParameter(const PathElement& arc, const double p[2]) {
    const double a0 = std::atan2(arc.start[1] - arc.centre[1], arc.start[0] - arc.centre[0]);
    const double a1 = std::atan2(p[1] - arc.centre[1], p[0] - arc.centre[0]);
    double turn = arc.motionType == 2 ? a0 - a1 : a1 - a0;
    turn = std::fmod(turn, kTwoPi);
    if (turn < 0.0) {
        turn += kTwoPi;
    }
    const double sweep = arc.sweep > 0.0 ? arc.sweep : kTwoPi;
    double parameter = turn / sweep;
    if (parameter > 0.5 * kTwoPi / sweep + 0.5) {
        parameter -= kTwoPi / sweep;
    }
    return parameter;
}

double Interpolate(double from, double to, double parameter) {
    return from + parameter * (to - from);
}

// Fills one result from a plane point and the two parameters.
void SetResult(const PathElement& first, const PathElement& second, const double p[2], double t,
               double u, PathIntersection* out) {
    out->parameter[0] = t;
    out->parameter[1] = u;
    for (int k = 0; k < 2; ++k) {
        out->point[k][0] = p[0];
        out->point[k][1] = p[1];
    }
    out->point[0][2] = Interpolate(first.start[2], first.end[2], t);
    out->point[1][2] = Interpolate(second.start[2], second.end[2], u);
}

void SwapResult(PathIntersection* r) {
    const double t = r->parameter[0];
    r->parameter[0] = r->parameter[1];
    r->parameter[1] = t;
    for (int i = 0; i < 3; ++i) {
        const double v = r->point[0][i];
        r->point[0][i] = r->point[1][i];
        r->point[1][i] = v;
    }
}

}  // namespace

int IntersectLineLine(const PathElement& a, const PathElement& b, PathIntersection* out,
                      int* count) {
    *count = 0;
    const double d0 = a.end[0] - a.start[0], d1 = a.end[1] - a.start[1];
    const double e0 = b.end[0] - b.start[0], e1 = b.end[1] - b.start[1];
    const double den = e1 * d0 - e0 * d1;
    if (den == 0.0 || !std::isfinite(den)) {
        return kIntersectNone;
    }
    const double t = ((b.start[0] - a.start[0]) * e1 - (b.start[1] - a.start[1]) * e0) / den;
    const double p[2] = {a.start[0] + t * d0, a.start[1] + t * d1};
    const double u = LineParameter(b, p);
    SetResult(a, b, p, t, u, out);
    *count = 1;
    return OnElement(t) && OnElement(u) ? kIntersectOk : kIntersectOutside;
}

int IntersectLineArc(const PathElement& line, const PathElement& arc, PathIntersection out[2],
                     int* count) {
    *count = 0;
    const double radius = std::fabs(arc.radius);
    const double d0 = line.end[0] - line.start[0], d1 = line.end[1] - line.start[1];
    const double length2 = d0 * d0 + d1 * d1;
    if (!(radius > 0.0) || !(length2 > 0.0)) {
        return kIntersectNone;
    }
    // The foot of the centre on the line's carrier and the centre's distance from it.
    const double tf =
        ((arc.centre[0] - line.start[0]) * d0 + (arc.centre[1] - line.start[1]) * d1) / length2;
    const double foot[2] = {line.start[0] + tf * d0, line.start[1] + tf * d1};
    const double distance = std::hypot(arc.centre[0] - foot[0], arc.centre[1] - foot[1]);
    if (distance > radius) {
        return kIntersectNone;
    }
    const double length = std::sqrt(length2);
    const double h = std::sqrt(std::fmax(0.0, radius * radius - distance * distance));
    int n = 0;
    double lastT = 0.0;
    for (int k = 0; k < 2; ++k) {
        const double sign = k == 0 ? -1.0 : 1.0;
        const double p[2] = {foot[0] + sign * h * d0 / length, foot[1] + sign * h * d1 / length};
        const double t = LineParameter(line, p);
        if (!OnElement(t) || (n > 0 && t == lastT)) {
            continue;
        }
        const double u = ArcParameter(arc, p);
        if (!OnElement(u)) {
            continue;
        }
        SetResult(line, arc, p, t, u, &out[n]);
        lastT = t;
        ++n;
    }
    *count = n;
    return n > 0 ? kIntersectOk : kIntersectOutside;
}

int IntersectArcArc(const PathElement& first, const PathElement& second, PathIntersection out[2],
                    int* count) {
    *count = 0;
    const double r1 = std::fabs(first.radius), r2 = std::fabs(second.radius);
    if (!(r1 > 0.0) || !(r2 > 0.0)) {
        return kIntersectNone;
    }
    const double dx = second.centre[0] - first.centre[0];
    const double dy = second.centre[1] - first.centre[1];
    const double distance = std::hypot(dx, dy);
    if (!(distance > 0.0) || distance > r1 + r2 || distance < std::fabs(r1 - r2)) {
        return kIntersectNone;
    }
    // The chord of the two circles: its middle at a from the first centre, half length h.
    const double a = (r1 * r1 - r2 * r2 + distance * distance) / (2.0 * distance);
    const double h = std::sqrt(std::fmax(0.0, r1 * r1 - a * a));
    const double mid[2] = {first.centre[0] + a * dx / distance,
                           first.centre[1] + a * dy / distance};
    double points[2][2] = {{mid[0] - h * dy / distance, mid[1] + h * dx / distance},
                           {mid[0] + h * dy / distance, mid[1] - h * dx / distance}};
    double t[2] = {ArcParameter(first, points[0]), ArcParameter(first, points[1])};
    int candidates = t[0] == t[1] ? 1 : 2;
    if (candidates == 2 && t[1] < t[0]) {
        // The point the first arc reaches first is tried first.
        for (int i = 0; i < 2; ++i) {
            const double v = points[0][i];
            points[0][i] = points[1][i];
            points[1][i] = v;
        }
        const double v = t[0];
        t[0] = t[1];
        t[1] = v;
    }
    int n = 0;
    for (int k = 0; k < candidates; ++k) {
        if (!OnElement(t[k])) {
            continue;
        }
        const double u = ArcParameter(second, points[k]);
        if (!OnElement(u)) {
            continue;
        }
        SetResult(first, second, points[k], t[k], u, &out[n]);
        ++n;
    }
    *count = n;
    return n > 0 ? kIntersectOk : kIntersectOutside;
}

int IntersectPathElements(const PathElement& first, const PathElement& second,
                          PathIntersection out[2], int* count) {
    *count = 0;
    if (IsLine(first.motionType) && IsLine(second.motionType)) {
        return IntersectLineLine(first, second, &out[0], count);
    }
    if (IsLine(first.motionType) && IsArc(second.motionType)) {
        return IntersectLineArc(first, second, out, count);
    }
    if (IsArc(first.motionType) && IsLine(second.motionType)) {
        const int status = IntersectLineArc(second, first, out, count);
        for (int k = 0; k < *count; ++k) {
            SwapResult(&out[k]);
        }
        return status;
    }
    if (IsArc(first.motionType) && IsArc(second.motionType)) {
        return IntersectArcArc(first, second, out, count);
    }
    return kIntersectNone;
}

int ExtendCompensationCorner(int clockwise, const double s[3], const double e[3], const double c[3],
                             double radius, double points[3][3]) {
    int n = 0;
    const auto add = [&](double x, double y, double z) {
        points[n][0] = x;
        points[n][1] = y;
        points[n][2] = z;
        ++n;
    };
    const double u[2] = {s[0] - c[0], s[1] - c[1]};
    const double w[2] = {e[0] - c[0], e[1] - c[1]};
    const double cosine = (u[0] * w[0] + u[1] * w[1]) / (radius * radius);
    if (std::fabs(s[0] - e[0]) + std::fabs(s[1] - e[1]) < kCornerPointTolerance ||
        !(cosine < 1.0)) {
        add(e[0], e[1], e[2]);
        return n;
    }
    double theta = std::acos(std::fmax(-1.0, cosine));
    const double cross = u[0] * w[1] - u[1] * w[0];
    if ((clockwise && cross > 0.0) || (!clockwise && cross < 0.0)) {
        theta = kTwoPi - theta;
    }
    // The tangents at s and e: the radial vectors turned a quarter in the corner's direction.
    const double ts[2] = {clockwise ? u[1] : -u[1], clockwise ? -u[0] : u[0]};
    const double te[2] = {clockwise ? w[1] : -w[1], clockwise ? -w[0] : w[0]};
    if (theta <= M_PI / 2.0) {
        const double k = std::tan(theta / 2.0);
        add(s[0] + k * ts[0], s[1] + k * ts[1], s[2]);
    } else {
        add(s[0] + ts[0], s[1] + ts[1], s[2]);
        const double second[2] = {e[0] - te[0], e[1] - te[1]};
        if (second[0] != points[0][0] || second[1] != points[0][1]) {
            add(second[0], second[1], e[2]);
        }
    }
    add(e[0], e[1], e[2]);
    return n;
}

}  // namespace mirexa
