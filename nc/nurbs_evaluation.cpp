// NURBS curves: buffers, validation, the B-spline basis, point evaluation, span and curve lengths,
// the control point transform and the per-span stepping.
#include "nc/nurbs_evaluation.h"

#include <cmath>
#include <new>

#include "geometry/machine_kinematics.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"

namespace mirexa {

int AllocNurbsBuffers(NcSession& session) {
    NurbsCurveData& c = session.nurbs;
    if (c.present) {
        return 1;
    }
    try {
        c.x.assign(kNurbsPointsMax, 0.0);
        c.y.assign(kNurbsPointsMax, 0.0);
        c.z.assign(kNurbsPointsMax, 0.0);
        c.weight.assign(kNurbsPointsMax, 1.0);
        c.knot.assign(kNurbsKnotsMax, 0.0);
    } catch (const std::bad_alloc&) {
        FreeNurbsBuffers(session);
        return 0;
    }
    c.present = 1;
    c.order = kNurbsOrderDefault;
    c.pointCount = c.knotCount = 0;
    return 1;
}

void FreeNurbsBuffers(NcSession& session) {
    session.nurbs = NurbsCurveData{};
}

int ValidateNurbsCurve(const NurbsCurveData& c) {
    const int k = c.order, n = c.pointCount;
    if (k < kNurbsOrderMin || k > kNurbsOrderMax) {
        return kNurbsBadOrder;
    }
    if (n < k) {
        return kNurbsTooFewPoints;
    }
    const auto fits = [n](const std::vector<double>& v) {
        return static_cast<long>(v.size()) >= n;
    };
    if (n > kNurbsPointsMax || c.knotCount != n + k || c.knotCount > kNurbsKnotsMax ||
        static_cast<long>(c.knot.size()) < c.knotCount || !fits(c.x) || !fits(c.y) || !fits(c.z) ||
        !fits(c.weight)) {
        return kNurbsTooMany;
    }
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(c.x[i]) || !std::isfinite(c.y[i]) || !std::isfinite(c.z[i])) {
            return kNurbsBadPoint;
        }
        if (!(c.weight[i] > 0.0) || !std::isfinite(c.weight[i])) {
            return kNurbsBadWeight;
        }
    }
    for (int i = 0; i < c.knotCount; ++i) {
        if (!std::isfinite(c.knot[i]) || (i > 0 && c.knot[i] < c.knot[i - 1])) {
            return kNurbsKnotsOutOfOrder;
        }
    }
    if (!(c.knot[n] > c.knot[k - 1])) {
        return kNurbsEmptyDomain;
    }
    return kNurbsValid;
}

int FirstNurbsSpan(const NurbsCurveData& curve) {
    return curve.order - 1;
}

int LastNurbsSpan(const NurbsCurveData& curve) {
    return curve.pointCount - 1;
}

// The triangular form of the recursion: at degree j the values N[0..j] of the functions that
// are non-zero on span i, built from those of degree j-1 with the knot distances left[] and
// right[] of u.
int ComputeBsplineBasis(int order, int knotCount, const double* knots, int span, double u,
                        double* basis) {
    for (int r = 0; r < order && r < kNurbsOrderMax; ++r) {
        basis[r] = 0.0;
    }
    if (order < 1 || order > kNurbsOrderMax || span < order - 1 || span > knotCount - order - 1) {
        return 0;
    }
    double left[kNurbsOrderMax] = {};
    double right[kNurbsOrderMax] = {};
    basis[0] = 1.0;
    for (int j = 1; j < order; ++j) {
        left[j] = u - knots[span + 1 - j];
        right[j] = knots[span + j] - u;
        double saved = 0.0;
        for (int r = 0; r < j; ++r) {
            const double denominator = right[r + 1] + left[j - r];
            const double term = denominator != 0.0 ? basis[r] / denominator : 0.0;
            basis[r] = saved + right[r + 1] * term;
            saved = left[j - r] * term;
        }
        basis[j] = saved;
    }
    return 1;
}

int EvaluateNurbsPoint(const NurbsCurveData& c, int span, double u, double point[3]) {
    const int k = c.order;
    if (k < 1 || k > kNurbsOrderMax || span < k - 1 || span >= c.pointCount ||
        c.knotCount > static_cast<int>(c.knot.size()) ||
        c.pointCount > static_cast<int>(c.weight.size())) {
        return 0;
    }
    double basis[kNurbsOrderMax];
    if (!ComputeBsplineBasis(k, c.knotCount, c.knot.data(), span, u, basis)) {
        return 0;
    }
    double sum[3] = {0, 0, 0};
    double weightSum = 0.0;
    for (int r = 0; r < k; ++r) {
        const int j = span - k + 1 + r;
        const double nw = basis[r] * c.weight[j];
        sum[0] += nw * c.x[j];
        sum[1] += nw * c.y[j];
        sum[2] += nw * c.z[j];
        weightSum += nw;
    }
    if (weightSum == 0.0 || !std::isfinite(weightSum)) {
        return 0;
    }
    for (int a = 0; a < 3; ++a) {
        point[a] = sum[a] / weightSum;
    }
    return 1;
}

namespace {

// Steps of a span's length (in step lengths) that count as rounding noise.
constexpr double kNurbsStepSlack = 1e-9;

bool SpanInRange(const NurbsCurveData& c, int span) {
    return span >= c.order - 1 && span < c.pointCount && span + 1 < c.knotCount &&
           span + 1 < static_cast<int>(c.knot.size());
}

double Distance(const double a[3], const double b[3]) {
    const double dx = b[0] - a[0], dy = b[1] - a[1], dz = b[2] - a[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

double MeasureNurbsSpan(const NurbsCurveData& c, int span) {
    if (!SpanInRange(c, span) || !(c.knot[span + 1] > c.knot[span])) {
        return 0.0;
    }
    double previous[3];
    if (!EvaluateNurbsPoint(c, span, c.knot[span], previous)) {
        return 0.0;
    }
    double length = 0.0;
    for (int j = 1; j <= kNurbsSpanChords; ++j) {
        double p[3];
        if (!EvaluateNurbsSpanStep(c, span, j, kNurbsSpanChords, p)) {
            return 0.0;
        }
        length += Distance(previous, p);
        for (int a = 0; a < 3; ++a) {
            previous[a] = p[a];
        }
    }
    return length;
}

double MeasureNurbsLength(const NurbsCurveData& c) {
    double length = 0.0;
    for (int span = FirstNurbsSpan(c); span <= LastNurbsSpan(c); ++span) {
        length += MeasureNurbsSpan(c, span);
    }
    return length;
}

void TransformNurbsControlPoints(NcSession& session, NurbsCurveData* curve) {
    const NcTransformState& t = session.run.transforms;
    const int n = curve->pointCount;
    const bool rotate = t.transformState == kTransformActive && session.run.modal.gCode != 68;
    for (int i = 0; i < n && i < static_cast<int>(curve->x.size()) &&
                    i < static_cast<int>(curve->y.size()) && i < static_cast<int>(curve->z.size());
         ++i) {
        double p[3] = {curve->x[i], curve->y[i], curve->z[i]};
        for (int level = rotate ? t.rotationCount - 1 : -1; level >= 0; --level) {
            const RotationLevel& r = t.rotation[level];
            RotatePointInPlane(p, r.axes, r.cosine, r.sine, r.centre, r.kind != 0);
        }
        for (int a = 0; a < 3; ++a) {
            if (t.mirror[a]) {
                p[a] = 2.0 * t.mirrorCentre[a] - p[a];
            }
        }
        curve->x[i] = p[0];
        curve->y[i] = p[1];
        curve->z[i] = p[2];
    }
}

std::int64_t CountNurbsSpanSteps(const NurbsCurveData& c, int span, double stepLength) {
    if (!SpanInRange(c, span) || !(c.knot[span + 1] > c.knot[span])) {
        return 0;
    }
    if (!(stepLength > 0.0)) {
        return 1;
    }
    // The chords of a span add rounding noise to its length: a straight 5 mm span must not
    // measure 5.000000000001 mm and take a sixth step.
    const double m = std::ceil(MeasureNurbsSpan(c, span) / stepLength - kNurbsStepSlack);
    if (!(m >= 1.0)) {
        return 1;
    }
    return m >= static_cast<double>(kNurbsSpanStepsMax) ? kNurbsSpanStepsMax
                                                        : static_cast<std::int64_t>(m);
}

double NurbsSpanStepParameter(const NurbsCurveData& c, int span, std::int64_t j, std::int64_t m) {
    if (!SpanInRange(c, span)) {
        return 0.0;
    }
    const double a = c.knot[span], b = c.knot[span + 1];
    if (j >= m || m <= 0) {
        return b;
    }
    return a + static_cast<double>(j) * (b - a) / static_cast<double>(m);
}

int EvaluateNurbsSpanStep(const NurbsCurveData& c, int span, std::int64_t j, std::int64_t m,
                          double point[3]) {
    if (!SpanInRange(c, span)) {
        return 0;
    }
    return EvaluateNurbsPoint(c, span, NurbsSpanStepParameter(c, span, j, m), point);
}

void FinishNurbsStepPosition(NcSession& session, const double point[3]) {
    for (int a = 0; a < 3; ++a) {
        session.kinematics->motion.end.axis[a] = point[a];
    }
    FinishBlockPosition(session);
}

}  // namespace mirexa
