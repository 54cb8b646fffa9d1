// The offset-contour generator of the compensation tests: plane geometry in double precision.
#include "offset_contour_reference.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace mirexa::testing {

namespace {

constexpr double kTwoPi = 2.0 * M_PI;

struct Vec {
    double x = {};
    double y = {};
};

Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y};
}
Vec operator*(double k, Vec a) {
    return {k * a.x, k * a.y};
}
double Dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y;
}
double Cross(Vec a, Vec b) {
    return a.x * b.y - a.y * b.x;
}
double Norm(Vec a) {
    return std::hypot(a.x, a.y);
}
Vec Unit(Vec a) {
    return (1.0 / Norm(a)) * a;
}
Vec Left(Vec a) {
    return {-a.y, a.x};
}
Vec ToVec(const double p[2]) {
    return {p[0], p[1]};
}

// An element moved sideways: its ends, and for arcs the centre and the moved radius.
struct Moved {
    int type = 1;
    Vec from, to, centre;
    double radius = {};
    Vec startTangent, endTangent;  // unit directions of travel
};

// The unit direction of travel on an arc at point p.
Vec ArcTangent(int type, Vec centre, Vec p) {
    const Vec radial = Unit(p - centre);
    return type == 3 ? Left(radial) : -1.0 * Left(radial);
}

// The angle from a to b about c in the arc's direction, 2 pi for a closed arc.
double ArcSweep(int type, Vec c, Vec a, Vec b) {
    const double a0 = std::atan2(a.y - c.y, a.x - c.x);
    const double a1 = std::atan2(b.y - c.y, b.x - c.x);
    double turn = type == 3 ? a1 - a0 : a0 - a1;
    while (turn <= 1e-12) {
        turn += kTwoPi;
    }
    while (turn > kTwoPi + 1e-12) {
        turn -= kTwoPi;
    }
    return turn;
}

// The meeting points of a line (through p along d) and a circle.
int LineCircle(Vec p, Vec d, Vec c, double r, Vec out[2]) {
    const Vec u = Unit(d);
    const double along = Dot(c - p, u);
    const Vec foot = p + along * u;
    const double h2 = r * r - Dot(c - foot, c - foot);
    if (h2 < 0.0) {
        return 0;
    }
    const double h = std::sqrt(h2);
    out[0] = foot - h * u;
    out[1] = foot + h * u;
    return 2;
}

int CircleCircle(Vec c1, double r1, Vec c2, double r2, Vec out[2]) {
    const double d = Norm(c2 - c1);
    if (d == 0.0 || d > r1 + r2 || d < std::fabs(r1 - r2)) {
        return 0;
    }
    const double a = (r1 * r1 - r2 * r2 + d * d) / (2.0 * d);
    const double h = std::sqrt(std::fmax(0.0, r1 * r1 - a * a));
    const Vec u = Unit(c2 - c1);
    const Vec mid = c1 + a * u;
    out[0] = mid + h * Left(u);
    out[1] = mid - h * Left(u);
    return 2;
}

// Where the carriers of two moved elements cross, nearest the programmed corner.
Vec CrossingNear(const Moved& a, const Moved& b, Vec corner) {
    Vec points[2];
    int n = 0;
    if (a.type == 1 && b.type == 1) {
        const Vec d = a.to - a.from, e = b.to - b.from;
        const double t = Cross(b.from - a.from, e) / Cross(d, e);
        return a.from + t * d;
    }
    if (a.type == 1) {
        n = LineCircle(a.from, a.to - a.from, b.centre, b.radius, points);
    } else if (b.type == 1) {
        n = LineCircle(b.from, b.to - b.from, a.centre, a.radius, points);
    } else {
        n = CircleCircle(a.centre, a.radius, b.centre, b.radius, points);
    }
    if (n == 0) {
        std::abort();  // the test contours always meet at inner corners
    }
    return Norm(points[0] - corner) <= Norm(points[1] - corner) ? points[0] : points[1];
}

// Meeting point of the line through s along t1 and the line through e along t2.
Vec TangentsMeet(Vec s, Vec t1, Vec e, Vec t2) {
    const double a = Cross(e - s, t2) / Cross(t1, t2);
    return s + a * t1;
}

ExpectedMove Line(Vec to) {
    ExpectedMove m;
    m.type = 1;
    m.end[0] = to.x;
    m.end[1] = to.y;
    return m;
}

ExpectedMove Arc(int type, Vec from, Vec to, Vec centre) {
    ExpectedMove m;
    m.type = type;
    m.end[0] = to.x;
    m.end[1] = to.y;
    m.centre[0] = centre.x;
    m.centre[1] = centre.y;
    m.sweep = ArcSweep(type, centre, from, to);
    return m;
}

std::string Number(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", v);
    return text;
}

// v as written with six decimals and read back.
double Written(double v) {
    return std::strtod(Number(v).c_str(), nullptr);
}

}  // namespace

std::vector<ExpectedMove> OffsetContour(const Contour& contour, double radius, bool cornerArcs) {
    // Move every element sideways: lines along their left normal, arcs along their radius.
    std::vector<Moved> moved;
    Vec from = ToVec(contour.start);
    std::vector<Vec> corners;
    for (const ContourElement& e : contour.elements) {
        Moved m;
        m.type = e.type;
        const Vec to = ToVec(e.to);
        if (e.type == 1) {
            const Vec n = Left(Unit(to - from));
            m.from = from + radius * n;
            m.to = to + radius * n;
            m.startTangent = m.endTangent = Unit(to - from);
        } else {
            m.centre = ToVec(e.centre);
            // Left of a counter-clockwise arc is its centre.
            const double toward = e.type == 3 ? radius : -radius;
            m.from = from + toward * Unit(m.centre - from);
            m.to = to + toward * Unit(m.centre - to);
            m.radius = Norm(from - m.centre) - toward;
            m.startTangent = ArcTangent(e.type, m.centre, from);
            m.endTangent = ArcTangent(e.type, m.centre, to);
        }
        moved.push_back(m);
        corners.push_back(to);
        from = to;
    }
    // The corners: outer ones get their closing moves, inner ones cut both elements.
    std::vector<std::vector<ExpectedMove>> closing(moved.size());
    for (size_t k = 0; k + 1 < moved.size(); ++k) {
        Moved& a = moved[k];
        Moved& b = moved[k + 1];
        const double turn =
            std::atan2(Cross(a.endTangent, b.startTangent), Dot(a.endTangent, b.startTangent));
        if (std::fabs(turn) < 1e-9) {
            continue;
        }
        const Vec corner = corners[k];
        if (radius * turn < 0.0) {
            const Vec s = a.to, e = b.from;
            if (cornerArcs) {
                closing[k].push_back(Arc(radius > 0.0 ? 2 : 3, s, e, corner));
            } else if (std::fabs(turn) <= M_PI / 2.0 + 1e-12) {
                closing[k].push_back(Line(TangentsMeet(s, a.endTangent, e, b.startTangent)));
                closing[k].push_back(Line(e));
            } else {
                const double r = std::fabs(radius);
                closing[k].push_back(Line(s + r * a.endTangent));
                closing[k].push_back(Line(e - r * b.startTangent));
                closing[k].push_back(Line(e));
            }
            continue;
        }
        const Vec x = CrossingNear(a, b, corner);
        a.to = x;
        b.from = x;
    }
    std::vector<ExpectedMove> path;
    path.push_back(Line(moved.front().from));
    for (size_t k = 0; k < moved.size(); ++k) {
        const Moved& m = moved[k];
        path.push_back(m.type == 1 ? Line(m.to) : Arc(m.type, m.from, m.to, m.centre));
        path.insert(path.end(), closing[k].begin(), closing[k].end());
    }
    path.push_back(Line(ToVec(contour.leave)));
    return path;
}

std::string ContourProgram(Contour* contour, int plane, const std::string& startCode) {
    static const char* const kAxes[3][2] = {{"X", "Y"}, {"Z", "X"}, {"Y", "Z"}};
    static const char* const kCentres[3][2] = {{"I", "J"}, {"K", "I"}, {"J", "K"}};
    const int p = plane - 17;
    const auto words = [&](double* point) {
        point[0] = Written(point[0]);
        point[1] = Written(point[1]);
        return std::string(kAxes[p][0]) + Number(point[0]) + " " + kAxes[p][1] + Number(point[1]);
    };
    std::string text = "G90 G" + std::to_string(plane) + " G00 " + words(contour->approach) + "\n";
    text += "G01 F100.\n";
    text += startCode + " " + words(contour->start) + "\n";
    double previous[2] = {contour->start[0], contour->start[1]};
    for (ContourElement& e : contour->elements) {
        std::string line = "G0" + std::to_string(e.type) + " " + words(e.to);
        if (e.type != 1) {
            const double i = Written(e.centre[0] - previous[0]);
            const double j = Written(e.centre[1] - previous[1]);
            e.centre[0] = previous[0] + i;
            e.centre[1] = previous[1] + j;
            line +=
                std::string(" ") + kCentres[p][0] + Number(i) + " " + kCentres[p][1] + Number(j);
        }
        text += line + "\n";
        previous[0] = e.to[0];
        previous[1] = e.to[1];
    }
    text += "G40 G01 " + words(contour->leave) + "\n";
    return text;
}

}  // namespace mirexa::testing
