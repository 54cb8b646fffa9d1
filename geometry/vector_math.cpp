// Vector, matrix, angle and box helpers.
#include "geometry/vector_math.h"

#include <cmath>
#include <cstdint>

namespace mirexa {

PolarOffsetSettings PolarOffsets;
InputIncrementSettings InputIncrements;

double Vec3Length(const double v[3]) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

void Vec3Add(const double a[3], const double b[3], double out[3]) {
    double r0 = a[0] + b[0], r1 = a[1] + b[1], r2 = a[2] + b[2];
    out[0] = r0;
    out[1] = r1;
    out[2] = r2;
}

void Vec3Sub(const double a[3], const double b[3], double out[3]) {
    double r0 = a[0] - b[0], r1 = a[1] - b[1], r2 = a[2] - b[2];
    out[0] = r0;
    out[1] = r1;
    out[2] = r2;
}

void Vec3Cross(const double a[3], const double b[3], double out[3]) {
    // Computed into locals first so that out may alias a or b.
    double r0 = a[1] * b[2] - a[2] * b[1];
    double r1 = a[2] * b[0] - a[0] * b[2];
    double r2 = a[0] * b[1] - a[1] * b[0];
    out[0] = r0;
    out[1] = r1;
    out[2] = r2;
}

double Vec3Dot(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void TransformPoint(const double transform[12], const double p[3], double out[3]) {
    double r[3];
    for (int i = 0; i < 3; ++i) {
        r[i] = p[0] * transform[i] + p[1] * transform[3 + i] + p[2] * transform[6 + i] +
               transform[9 + i];
    }
    out[0] = r[0];
    out[1] = r[1];
    out[2] = r[2];
}

void InvertMatrix3(const double m[9], double out[9]) {
    const double a = m[0], b = m[1], c = m[2];
    const double d = m[3], e = m[4], f = m[5];
    const double g = m[6], h = m[7], i = m[8];
    const double det = a * (e * i - f * h) + b * (f * g - d * i) + c * (d * h - e * g);
    double r[9] = {
        (e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
        (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
        (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det,
    };
    for (int k = 0; k < 9; ++k) {
        out[k] = r[k];
    }
}

void SinCosDegrees(double angle, int sign, double* outSin, double* outCos) {
    // Exact quadrant values for every integer multiple of 90 degrees, so that turns by right
    // angles keep exact zeros and ones.
    if (std::isfinite(angle) && std::fabs(angle) < 1e15) {
        double quarters = angle / 90.0;
        if (quarters == std::trunc(quarters) && quarters * 90.0 == angle) {
            long long q = static_cast<long long>(quarters) % 4;
            if (q < 0) {
                q += 4;
            }
            double s = 0.0, c = 0.0;
            switch (q) {
                case 0:
                    s = 0.0, c = 1.0;
                    break;
                case 1:
                    s = 1.0, c = 0.0;
                    break;
                case 2:
                    s = 0.0, c = -1.0;
                    break;
                default:
                    s = -1.0, c = 0.0;
                    break;
            }
            *outSin = s == 0.0 ? 0.0 : s * sign;
            *outCos = c;
            return;
        }
    }
    double x = sign * angle / 180.0 * M_PI;
    *outSin = std::sin(x);
    *outCos = std::cos(x);
}

int32_t RoundToInputIncrements(double value) {
    const double scaled = value * InputIncrements.leastInputIncrement;
    const double rounded = scaled > 0.0 ? std::trunc(scaled + 0.5) : std::trunc(scaled - 0.5);
    if (std::isnan(rounded)) {
        return 0;
    }
    // Saturate instead of converting out of range, which is undefined.
    if (rounded >= 2147483647.0) {
        return INT32_MAX;
    }
    if (rounded <= -2147483648.0) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(rounded);
}

void ConvertCartesianToPolar(const double position[5], int flag, double out[5]) {
    const double x = position[0];
    const double y = position[1];
    double radius = 0.0;
    double angle = 0.0;
    if (y == 0.0) {
        radius = x >= 0.0 ? x : -x;
        angle = x >= 0.0 ? 0.0 : 180.0;
    } else if (x == 0.0) {
        radius = y >= 0.0 ? y : -y;
        angle = y >= 0.0 ? 90.0 : 270.0;
    } else {
        radius = std::sqrt(x * x + y * y);
        const double toDegrees = 180.0 / M_PI;
        if (x > 0.0 && y > 0.0) {
            angle = std::atan(y / x) * toDegrees;
        } else if (x > 0.0) {
            angle = 360.0 - std::atan(-y / x) * toDegrees;
        } else if (y > 0.0) {
            angle = 180.0 - std::atan(-y / x) * toDegrees;
        } else {
            angle = 180.0 + std::atan(y / x) * toDegrees;
        }
    }
    double z = position[2];
    const double rotary1 = position[3];
    angle += PolarOffsets.angleOffset;
    if (flag != 0 && PolarOffsets.offsetSwitch != 0) {
        radius += PolarOffsets.radiusOffset;
        z += PolarOffsets.zOffset;
    }
    out[0] = radius;
    out[1] = 0.0;
    out[2] = z;
    out[3] = rotary1;
    out[4] = angle;
}

void ListBoxCorners(const double min[3], const double max[3], double out[24]) {
    for (int n = 0; n < 8; ++n) {
        out[3 * n + 0] = (n & 1) ? max[0] : min[0];
        out[3 * n + 1] = (n & 2) ? max[1] : min[1];
        out[3 * n + 2] = (n & 4) ? max[2] : min[2];
    }
}

namespace {

void Widen(double value, double* min, double* max) {
    if (value < *min) {
        *min = value;
    }
    if (value > *max) {
        *max = value;
    }
}

// Whether the swept angle range [lo, hi] (rad) reaches phi within the quadrant tolerance.
bool ArcRangeReaches(double lo, double hi, double phi) {
    const double t = kArcQuadrantTolerance;
    return hi >= phi - t && phi + t >= lo;
}

// The bounds of count points (3 doubles each), each moved by shift when it is given, starting
// from 1e12 / -1e12. Gathered in locals so that the outputs may alias the points.
void BoundPoints(const double* points, int count, const double* shift, double outMin[3],
                 double outMax[3]) {
    double lo[3] = {1e12, 1e12, 1e12};
    double hi[3] = {-1e12, -1e12, -1e12};
    for (int n = 0; n < count; ++n) {
        for (int i = 0; i < 3; ++i) {
            const double c = points[3 * n + i];
            Widen(shift != nullptr ? c + shift[i] : c, &lo[i], &hi[i]);
        }
    }
    for (int i = 0; i < 3; ++i) {
        outMin[i] = lo[i];
        outMax[i] = hi[i];
    }
}

}  // namespace

void TransformBoxBounds(const double min[3], const double max[3], const double shift[3],
                        double outMin[3], double outMax[3]) {
    double corners[24];
    ListBoxCorners(min, max, corners);
    BoundPoints(corners, 8, shift, outMin, outMax);
}

void ComputeBoxBounds(const double triangle[9], double outMin[3], double outMax[3]) {
    BoundPoints(triangle, 3, nullptr, outMin, outMax);
}

int OffsetPointAlongDirection(const double p0[3], const double u[3], const double v[3],
                              const double w[3], double r, double a, double b, double c,
                              double out[3]) {
    const double d[3] = {a * u[0] + b * v[0], a * u[1] + b * v[1], a * u[2] + b * v[2]};
    const double length = Vec3Length(d);
    if (!(length > 0.0) || !std::isfinite(length)) {
        return 0;
    }
    const double k = r / length;
    double result[3];
    for (int i = 0; i < 3; ++i) {
        result[i] = p0[i] + k * d[i] + c * w[i];
    }
    out[0] = result[0];
    out[1] = result[1];
    out[2] = result[2];
    return 1;
}

void ExtendBoxByArc(int u, int v, int w, int direction, const double start[3], const double end[3],
                    const double centre[3], double radius, double sweep, double min[3],
                    double max[3]) {
    if (u < 0 || u > 2 || v < 0 || v > 2 || w < 0 || w > 2) {
        return;
    }
    // 1. The linear axis takes the start and end.
    Widen(start[w], &min[w], &max[w]);
    Widen(end[w], &min[w], &max[w]);

    // 2. Full circle.
    const double twoPi = 2.0 * M_PI;
    if (std::fabs(twoPi - sweep) < kArcQuadrantTolerance) {
        Widen(centre[u] - radius, &min[u], &max[u]);
        Widen(centre[u] + radius, &min[u], &max[u]);
        Widen(centre[v] - radius, &min[v], &max[v]);
        Widen(centre[v] + radius, &min[v], &max[v]);
        return;
    }

    // 3. The end points, then the start angle.
    Widen(start[u], &min[u], &max[u]);
    Widen(end[u], &min[u], &max[u]);
    Widen(start[v], &min[v], &max[v]);
    Widen(end[v], &min[v], &max[v]);
    const double du = start[u] - centre[u];
    const double dv = start[v] - centre[v];
    const double length = std::sqrt(du * du + dv * dv);
    if (!(length >= 0.001)) {
        return;
    }
    double theta = std::acos(ClampToUnitRange(du / length));
    if (dv < 0.0) {
        theta = twoPi - theta;
    }

    // 4. The swept range.
    double lo = theta;
    double hi = theta + sweep;
    if (direction == 2) {
        lo = theta - sweep;
        hi = theta;
    } else if (hi >= twoPi) {
        lo -= twoPi;
        hi -= twoPi;
    }

    // 5. Quadrant points inside the range push the box out to the circle.
    const double halfPi = 0.5 * M_PI;
    if (ArcRangeReaches(lo, hi, 0.0)) {
        Widen(centre[u] + radius, &min[u], &max[u]);
    }
    if (ArcRangeReaches(lo, hi, halfPi) || ArcRangeReaches(lo, hi, -3.0 * halfPi)) {
        Widen(centre[v] + radius, &min[v], &max[v]);
    }
    if (ArcRangeReaches(lo, hi, M_PI) || ArcRangeReaches(lo, hi, -M_PI)) {
        Widen(centre[u] - radius, &min[u], &max[u]);
    }
    if (ArcRangeReaches(lo, hi, 3.0 * halfPi) || ArcRangeReaches(lo, hi, -halfPi)) {
        Widen(centre[v] - radius, &min[v], &max[v]);
    }
}

}  // namespace mirexa
