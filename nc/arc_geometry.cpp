// Arc geometry of a move: centre, radial vectors, radii, sweep and length, and the radius checks.
#include "nc/arc_geometry.h"

#include <cmath>

#include "geometry/vector_math.h"

namespace mirexa {

namespace {

constexpr double kTwoPi = 2.0 * M_PI;

// An end this close to the start in the plane (mm) is the start itself: far below any input
// increment, far above the rounding of computed end points (polar ends, offset paths).
constexpr double kClosedArcGap = 1e-9;

bool EndsAtStart(const PlaneAxes& plane, const double start[5], const double end[5]) {
    return std::hypot(end[plane.first] - start[plane.first],
                      end[plane.second] - start[plane.second]) <= kClosedArcGap;
}

// The in-plane vector from the centre to a point, its length, and the unit vector (zero when the
// length is 0).
double RadialVector(const PlaneAxes& plane, const double point[5], const double centre[3],
                    double unit[3]) {
    unit[0] = unit[1] = unit[2] = 0.0;
    const double a = point[plane.first] - centre[plane.first];
    const double b = point[plane.second] - centre[plane.second];
    const double r = std::hypot(a, b);
    if (r > 0.0) {
        unit[plane.first] = a / r;
        unit[plane.second] = b / r;
    }
    return r;
}

// The angle between the radial vectors in the arc's direction. It is taken from both the dot
// and the cross product: the arc cosine alone turns the rounding of two equal unit vectors into
// an angle of about 1e-8, which would make a full circle a point.
double SweepFromRadials(const PlaneAxes& plane, const double s[3], const double e[3], int type) {
    const double c = s[plane.first] * e[plane.first] + s[plane.second] * e[plane.second];
    const double cross = s[plane.first] * e[plane.second] - s[plane.second] * e[plane.first];
    double sweep = std::fabs(std::atan2(cross, c));
    if ((type == kMotionClockwise && cross > 0.0) ||
        (type == kMotionCounterClockwise && cross < 0.0)) {
        sweep = kTwoPi - sweep;
    }
    return sweep == 0.0 ? kTwoPi : sweep;
}

void SetArcAxis(const PlaneAxes& plane, MotionRecord* move) {
    for (int i = 0; i < 3; ++i) {
        move->arcAxis[i] = i == plane.normal ? 1.0 : 0.0;
    }
    move->arcNormalAxis = plane.normal;
}

}  // namespace

void ComputeArcFromCentre(const PlaneAxes& plane, MotionRecord* move) {
    SetArcAxis(plane, move);
    move->radius = RadialVector(plane, move->start.axis, move->arcCentre, move->startRadial);
    move->endRadius = RadialVector(plane, move->end.axis, move->arcCentre, move->endRadial);
    move->sweep =
        EndsAtStart(plane, move->start.axis, move->end.axis)
            ? kTwoPi
            : SweepFromRadials(plane, move->startRadial, move->endRadial, move->motionType);
    move->length = (move->radius + move->endRadius) * move->sweep / 2.0;
}

void ComputeArcGeometry(const PlaneAxes& plane, const ArcWords& words, double tolerance,
                        double minimumRadius, MotionRecord* move, int* error) {
    const int a = plane.first, b = plane.second, n = plane.normal;
    const double* start = move->start.axis;
    const double* end = move->end.axis;
    SetArcAxis(plane, move);
    double* centre = move->arcCentre;
    for (int i = 0; i < 3; ++i) {
        centre[i] = start[i];
    }
    const bool closed = EndsAtStart(plane, start, end);
    if (closed && words.centreSource != kCentreOffsets && !words.directionGiven) {
        // An R arc (or one without a centre word) back to its start is no circle.
        for (int i = 0; i < 3; ++i) {
            move->startRadial[i] = move->endRadial[i] = 0.0;
        }
        move->radius = move->endRadius = 0.0;
        move->sweep = 0.0;
        move->length = 0.0;
        return;
    }
    if (words.centreSource == kCentreOffsets) {
        centre[a] = start[a] + words.offsets[a];
        centre[b] = start[b] + words.offsets[b];
    } else if (words.centreSource == kCentreRadius && !closed) {
        const double da = (end[a] - start[a]) / 2.0, db = (end[b] - start[b]) / 2.0;
        const double halfChord = std::hypot(da, db);
        const double r = words.radius;
        const double h2 = r * r - halfChord * halfChord;
        const double h = h2 > 0.0 ? std::sqrt(h2) : 0.0;
        if (halfChord - std::fabs(r) >= tolerance) {
            *error = kNcErrorArcRadius;
        }
        double pa = db, pb = -da;
        if ((move->motionType == kMotionClockwise && r < 0.0) ||
            (move->motionType == kMotionCounterClockwise && r > 0.0)) {
            pa = -pa, pb = -pb;
        }
        const double p = std::hypot(pa, pb);
        centre[a] = start[a] + da + h * pa / p;
        centre[b] = start[b] + db + h * pb / p;
    }
    centre[n] = start[n];
    ComputeArcFromCentre(plane, move);
    // The radii are differences of coordinates, which round by a few units of their last place:
    // a circle of one least increment comes out a hair under it at some places and not at
    // others, so the minimum is compared with the same gap as a closed arc's ends.
    const double least = minimumRadius - kClosedArcGap;
    if (std::fabs(move->radius - move->endRadius) >= tolerance || move->radius < least ||
        move->endRadius < least) {
        *error = kNcErrorArcRadius;
    }
}

}  // namespace mirexa
