// Facet planes, segment/facet intersections, point-in-triangle tests and ray-end tests.
#include "geometry/plane_triangle_tests.h"

#include <cmath>

#include "geometry/vector_math.h"

namespace mirexa {

CuttingCheckSettings CuttingChecks;

namespace {

constexpr double kVertexDistance = 0.01;   // mm: a point this close to a vertex is on it
constexpr double kEdgeCosine = -0.999999;  // two vertex directions this opposed: on the edge
constexpr double kInsideAngleSum = 6.0;    // rad: just below 2*pi

bool ValidAxis(int axis) {
    return axis >= 0 && axis <= 2;
}

bool DistinctAxes(int i, int j, int k) {
    return ValidAxis(i) && ValidAxis(j) && ValidAxis(k) && i != j && j != k && k != i;
}

// The angle (rad) between two unit vectors, negative when the orientation component of their
// cross product opposes the reference.
double SignedAngle(double cosine, double component, double reference) {
    const double angle = std::acos(cosine);
    return component * reference < 0.0 ? -angle : angle;
}

}  // namespace

void ComputePlaneFromThreePoints(const double triangle[9], double plane[4]) {
    const double* p0 = triangle;
    double e1[3], e2[3], n[3];
    Vec3Sub(triangle + 3, p0, e1);
    Vec3Sub(triangle + 6, p0, e2);
    Vec3Cross(e1, e2, n);
    const double length = Vec3Length(n);
    if (!(length > 0.0) || !std::isfinite(length)) {
        plane[0] = plane[1] = plane[2] = plane[3] = 0.0;
        return;
    }
    double result[4] = {n[0] / length, n[1] / length, n[2] / length, 0.0};
    result[3] = -Vec3Dot(result, p0);
    const double first = result[0] != 0.0 ? result[0] : (result[1] != 0.0 ? result[1] : result[2]);
    for (int i = 0; i < 4; ++i) {
        plane[i] = first < 0.0 ? -result[i] : result[i];
    }
}

int TestPointInTriangle(const double triangle[9], const double p[3]) {
    double e[3][3];
    for (int n = 0; n < 3; ++n) {
        Vec3Sub(triangle + 3 * n, p, e[n]);
        const double length = Vec3Length(e[n]);
        if (length < kVertexDistance) {
            return 1;
        }
        for (int i = 0; i < 3; ++i) {
            e[n][i] /= length;
        }
    }
    const double c01 = ClampToUnitRange(Vec3Dot(e[0], e[1]));
    const double c12 = ClampToUnitRange(Vec3Dot(e[1], e[2]));
    const double c20 = ClampToUnitRange(Vec3Dot(e[2], e[0]));
    if (c01 < kEdgeCosine || c12 < kEdgeCosine || c20 < kEdgeCosine) {
        return 2;
    }
    double x01[3], x12[3], x20[3];
    Vec3Cross(e[0], e[1], x01);
    Vec3Cross(e[1], e[2], x12);
    Vec3Cross(e[2], e[0], x20);
    // Orientation reference: the z component, else x, else y.
    int component = 2;
    int code = 21;
    if (x01[2] == 0.0) {
        component = 0;
        code = 22;
        if (x01[0] == 0.0) {
            component = 1;
            code = 23;
            if (x01[1] == 0.0) {
                return 0;
            }
        }
    }
    const double reference = x01[component];
    const double sum = std::acos(c01) + SignedAngle(c12, x12[component], reference) +
                       SignedAngle(c20, x20[component], reference);
    return std::fabs(sum) > kInsideAngleSum ? code : 0;
}

int TestPointInTriangleOnAxis(const double triangle[9], const double p[3], int axis, int j, int k) {
    if (!ValidAxis(axis) || !ValidAxis(j) || !ValidAxis(k)) {
        return 0;
    }
    double e[3][2];
    for (int n = 0; n < 3; ++n) {
        const double dj = triangle[3 * n + j] - p[j];
        const double dk = triangle[3 * n + k] - p[k];
        const double length = std::sqrt(dj * dj + dk * dk);
        if (length < kVertexDistance) {
            return 1;
        }
        e[n][0] = dj / length;
        e[n][1] = dk / length;
    }
    const double c01 = ClampToUnitRange(e[0][0] * e[1][0] + e[0][1] * e[1][1]);
    const double c12 = ClampToUnitRange(e[1][0] * e[2][0] + e[1][1] * e[2][1]);
    const double c20 = ClampToUnitRange(e[2][0] * e[0][0] + e[2][1] * e[0][1]);
    if (c01 < kEdgeCosine || c12 < kEdgeCosine || c20 < kEdgeCosine) {
        return 2;
    }
    const double x01 = e[0][0] * e[1][1] - e[0][1] * e[1][0];
    if (x01 == 0.0) {
        return 0;
    }
    const double x12 = e[1][0] * e[2][1] - e[1][1] * e[2][0];
    const double x20 = e[2][0] * e[0][1] - e[2][1] * e[0][0];
    const double sum = std::acos(c01) + SignedAngle(c12, x12, x01) + SignedAngle(c20, x20, x01);
    return std::fabs(sum) > kInsideAngleSum ? 21 : 0;
}

int IntersectSegmentAxisPlane(const double plane[4], const double faceTriangle[9], int i, int j,
                              int k, const double p0[3], const double p1[3], double hit[3]) {
    if (!ValidAxis(i) || !ValidAxis(j) || !ValidAxis(k)) {
        return 0;
    }
    const double denominator = plane[i] * (p1[i] - p0[i]);
    if (denominator == 0.0) {
        return 0;
    }
    const double t = -(plane[i] * p0[i] + plane[3]) / denominator;
    if (!(t >= 0.0 && t <= 1.0)) {
        return 0;
    }
    for (int n = 0; n < 3; ++n) {
        hit[n] = p0[n] + t * (p1[n] - p0[n]);
    }
    return TestPointInTriangleOnAxis(faceTriangle, hit, i, j, k) >= 1 ? 1 : 0;
}

int IntersectSegmentPlane(const double plane[4], const double faceTriangle[9], const double p0[3],
                          const double p1[3], double hit[3]) {
    double d[3];
    Vec3Sub(p1, p0, d);
    const double denominator = Vec3Dot(plane, d);
    if (denominator == 0.0) {
        return 0;
    }
    const double t = -(Vec3Dot(plane, p0) + plane[3]) / denominator;
    if (!(t >= 0.0 && t <= 1.0)) {
        return 0;
    }
    for (int n = 0; n < 3; ++n) {
        hit[n] = p0[n] + t * d[n];
    }
    return TestPointInTriangle(faceTriangle, hit) >= 1 ? 1 : 0;
}

int IntersectTriangleFace(const double faceTriangle[9], const FacetRecord& face,
                          const double triangle[9]) {
    static const int kOtherAxes[3][2] = {{1, 2}, {2, 0}, {0, 1}};
    if (face.kind < 0 || face.kind > 3) {
        return 0;
    }
    for (int edge = 0; edge < 3; ++edge) {
        const double* p0 = triangle + 3 * edge;
        const double* p1 = triangle + 3 * ((edge + 1) % 3);
        double hit[3];
        int result = 0;
        if (face.kind == 3) {
            result = IntersectSegmentPlane(face.plane, faceTriangle, p0, p1, hit);
        } else {
            result = IntersectSegmentAxisPlane(face.plane, faceTriangle, face.kind,
                                               kOtherAxes[face.kind][0], kOtherAxes[face.kind][1],
                                               p0, p1, hit);
        }
        if (result > 0) {
            return result;
        }
    }
    return 0;
}

void TestPointsInsideRadius(int i, int j, int k, double u, double v, const double w[2],
                            uint8_t out[2]) {
    if (!DistinctAxes(i, j, k)) {
        return;
    }
    const CuttingCheckSettings& s = CuttingChecks;
    const double directionSquared = Vec3Dot(s.checkDirection, s.checkDirection);
    for (int n = 0; n < 2; ++n) {
        double q[3];
        q[i] = u;
        q[j] = v;
        q[k] = w[n];
        double d[3];
        Vec3Sub(s.checkPoint, q, d);
        double distanceSquared = Vec3Dot(d, d);
        if (directionSquared > 0.0) {
            const double along = Vec3Dot(d, s.checkDirection);
            distanceSquared -= along * along / directionSquared;
        }
        if (distanceSquared < s.checkRadiusSquared) {
            out[n] |= 1;
        }
    }
}

void TestAxisOutsideTolerance(int axis, const double values[2], uint8_t out[2]) {
    const CuttingCheckSettings& s = CuttingChecks;
    for (int n = 0; n < 2; ++n) {
        out[n] = s.penFlagByte;
        if (ValidAxis(axis) &&
            std::fabs(s.axisFactors[axis] * values[n] + s.axialConstant) > s.tolerance) {
            out[n] |= 1;
        }
    }
}

}  // namespace mirexa
