// NURBS evaluation against curves worked out independently: Bezier forms by hand, the rational
// circle quadrant, straight curves, and a textbook Cox-de Boor recursion written here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nurbs_evaluation.h"

namespace mirexa {
namespace {

struct Point3 {
    double x, y, z;
};

NurbsCurveData MakeCurve(int order, const std::vector<Point3>& points,
                         const std::vector<double>& knots,
                         const std::vector<double>& weights = {}) {
    NurbsCurveData c;
    c.order = order;
    c.pointCount = static_cast<int>(points.size());
    c.knotCount = static_cast<int>(knots.size());
    for (size_t i = 0; i < points.size(); ++i) {
        c.x.push_back(points[i].x);
        c.y.push_back(points[i].y);
        c.z.push_back(points[i].z);
        c.weight.push_back(weights.empty() ? 1.0 : weights[i]);
    }
    c.knot = knots;
    return c;
}

// The textbook recursion over every function of the knot vector, degree by degree: N(i, 0) is 1
// on the chosen span only (so that the right end of the range belongs to the last span),
// N(i, d) = (u - t[i]) / (t[i+d] - t[i]) N(i, d-1) + (t[i+d+1] - u) / (t[i+d+1] - t[i+1])
// N(i+1, d-1), with 0/0 taken as 0.
double ReferenceBasis(const std::vector<double>& t, int span, int i, int degree, double u) {
    const int count = static_cast<int>(t.size()) - 1;
    std::vector<double> n(static_cast<size_t>(count), 0.0);
    n[static_cast<size_t>(span)] = 1.0;
    for (int d = 1; d <= degree; ++d) {
        for (int j = 0; j + d + 1 < static_cast<int>(t.size()); ++j) {
            double value = 0.0;
            const double a = t[j + d] - t[j];
            if (a != 0.0) {
                value += (u - t[j]) / a * n[j];
            }
            const double b = t[j + d + 1] - t[j + 1];
            if (b != 0.0) {
                value += (t[j + d + 1] - u) / b * n[j + 1];
            }
            n[j] = value;  // n[j + 1] still holds degree d - 1 for the next j
        }
    }
    return n[static_cast<size_t>(i)];
}

// The rational point from the reference basis, summed over every control point.
Point3 ReferencePoint(const NurbsCurveData& c, int span, double u) {
    double sx = 0, sy = 0, sz = 0, sw = 0;
    for (int i = 0; i < c.pointCount; ++i) {
        const double nw = ReferenceBasis(c.knot, span, i, c.order - 1, u) * c.weight[i];
        sx += nw * c.x[i];
        sy += nw * c.y[i];
        sz += nw * c.z[i];
        sw += nw;
    }
    return {sx / sw, sy / sw, sz / sw};
}

Point3 Evaluate(const NurbsCurveData& c, int span, double u) {
    double p[3] = {NAN, NAN, NAN};
    EXPECT_EQ(EvaluateNurbsPoint(c, span, u, p), 1) << "span " << span << " u " << u;
    return {p[0], p[1], p[2]};
}

void ExpectNear(const Point3& a, const Point3& b, double tolerance) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// Bezier curves written as NURBS (one span, clamped knots) against their Bernstein forms.
TEST(NurbsEvaluationTest, BezierCurvesAsNurbs) {
    const Point3 a{0, 0, 0}, b{4, 8, 2}, c{10, 2, -2}, d{12, 12, 6};
    // Quadratic: (1-u)^2 A + 2u(1-u) B + u^2 C.
    const NurbsCurveData quadratic = MakeCurve(3, {a, b, c}, {0, 0, 0, 1, 1, 1});
    ASSERT_EQ(ValidateNurbsCurve(quadratic), kNurbsValid);
    for (const double u : {0.0, 0.25, 0.5, 0.75, 1.0}) {
        const double p = (1 - u) * (1 - u), q = 2 * u * (1 - u), r = u * u;
        ExpectNear(
            Evaluate(quadratic, 2, u),
            {p * a.x + q * b.x + r * c.x, p * a.y + q * b.y + r * c.y, p * a.z + q * b.z + r * c.z},
            1e-12);
    }
    // Cubic on knots [0,0,0,0,1,1,1,1]: the midpoint is (A + 3B + 3C + D) / 8 = (6.75, 5.25,
    // 0.75).
    const NurbsCurveData cubic = MakeCurve(4, {a, b, c, d}, {0, 0, 0, 0, 1, 1, 1, 1});
    ExpectNear(Evaluate(cubic, 3, 0.5), {6.75, 5.25, 0.75}, 1e-12);
    // The same cubic on the knots [2,2,2,2,6,6,6,6]: the parameter only shifts and scales.
    const NurbsCurveData shifted = MakeCurve(4, {a, b, c, d}, {2, 2, 2, 2, 6, 6, 6, 6});
    ExpectNear(Evaluate(shifted, 3, 4.0), {6.75, 5.25, 0.75}, 1e-12);
    // A clamped curve starts and ends on its end points.
    ExpectNear(Evaluate(cubic, 3, 0.0), a, 0.0);
    ExpectNear(Evaluate(cubic, 3, 1.0), d, 0.0);
}

// The rational quadratic quadrant (weights 1, sqrt(2)/2, 1) lies on its circle everywhere.
TEST(NurbsEvaluationTest, WeightedQuadrantLiesOnTheCircle) {
    const double r = 50.0, cx = 10.0, cy = -20.0, z = 5.0;
    const NurbsCurveData quadrant =
        MakeCurve(3, {{cx + r, cy, z}, {cx + r, cy + r, z}, {cx, cy + r, z}}, {0, 0, 0, 1, 1, 1},
                  {1.0, std::sqrt(0.5), 1.0});
    ASSERT_EQ(ValidateNurbsCurve(quadrant), kNurbsValid);
    for (int j = 0; j <= 100; ++j) {
        const Point3 p = Evaluate(quadrant, 2, j / 100.0);
        EXPECT_NEAR(std::hypot(p.x - cx, p.y - cy), r, 1e-9) << "u " << j / 100.0;
        EXPECT_DOUBLE_EQ(p.z, z);
    }
    // The measure is 10 chords between the points of the rational Bernstein form at u = j / 10,
    // a little short of the quarter circle's pi r / 2.
    const auto bernstein = [&](double u) {
        const double b0 = (1 - u) * (1 - u), b1 = 2 * u * (1 - u) * std::sqrt(0.5), b2 = u * u;
        const double w = b0 + b1 + b2;
        return Point3{(b0 * (cx + r) + b1 * (cx + r) + b2 * cx) / w,
                      (b0 * cy + b1 * (cy + r) + b2 * (cy + r)) / w, z};
    };
    double chords = 0.0;
    for (int j = 1; j <= 10; ++j) {
        const Point3 a = bernstein((j - 1) / 10.0), b = bernstein(j / 10.0);
        chords += std::hypot(b.x - a.x, b.y - a.y);
    }
    EXPECT_NEAR(MeasureNurbsLength(quadrant), chords, 1e-9);
    EXPECT_LT(chords, 3.14159265358979 * r / 2.0);
}

// The basis against the recursion for random orders (2..17) and knot vectors with repeats.
TEST(NurbsEvaluationTest, BasisMatchesTheRecursionOnRandomCurves) {
    const unsigned seed = 20261207;
    std::printf("seed %u\n", seed);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> coordinate(-100.0, 100.0);
    std::uniform_real_distribution<double> weight(0.1, 5.0);
    for (int round = 0; round < 200; ++round) {
        const int order = 2 + static_cast<int>(random() % 16);
        const int count = order + static_cast<int>(random() % 12);
        std::vector<double> knots;
        double t = 0.0;
        for (int i = 0; i < count + order; ++i) {
            if (random() % 3 != 0) {
                t += 1.0 + static_cast<double>(random() % 4);  // a third of the knots repeat
            }
            knots.push_back(t);
        }
        std::vector<Point3> points;
        std::vector<double> weights;
        for (int i = 0; i < count; ++i) {
            points.push_back({coordinate(random), coordinate(random), coordinate(random)});
            weights.push_back(weight(random));
        }
        const NurbsCurveData c = MakeCurve(order, points, knots, weights);
        if (ValidateNurbsCurve(c) != kNurbsValid) {
            continue;  // every knot of the range repeated: no curve
        }
        for (int span = FirstNurbsSpan(c); span <= LastNurbsSpan(c); ++span) {
            if (!(knots[span + 1] > knots[span])) {
                continue;
            }
            for (const double f : {0.0, 0.3, 1.0}) {
                const double u = knots[span] + f * (knots[span + 1] - knots[span]);
                double basis[kNurbsOrderMax];
                ASSERT_EQ(ComputeBsplineBasis(order, c.knotCount, knots.data(), span, u, basis), 1);
                double sum = 0.0;
                for (int r = 0; r < order; ++r) {
                    const double expected =
                        ReferenceBasis(knots, span, span - order + 1 + r, order - 1, u);
                    ASSERT_NEAR(basis[r], expected, 1e-9)
                        << "round " << round << " order " << order << " span " << span;
                    sum += basis[r];
                }
                EXPECT_NEAR(sum, 1.0, 1e-9);
                const Point3 expected = ReferencePoint(c, span, u);
                ExpectNear(Evaluate(c, span, u), expected, 1e-7);
            }
        }
    }
}

// A repeated inner knot makes an empty span: it has no steps and no length, the curve's length
// is the sum of its other spans, and the spans beside it meet.
TEST(NurbsEvaluationTest, RepeatedInnerKnotAddsNothing) {
    const NurbsCurveData c =
        MakeCurve(4, {{0, 0, 0}, {10, 20, 0}, {20, -5, 0}, {30, 10, 4}, {40, 0, 4}, {55, 15, 0}},
                  {0, 0, 0, 0, 1, 1, 2, 2, 2, 2});
    ASSERT_EQ(ValidateNurbsCurve(c), kNurbsValid);
    EXPECT_EQ(MeasureNurbsSpan(c, 4), 0.0);
    EXPECT_EQ(CountNurbsSpanSteps(c, 4, 0.5), 0);
    EXPECT_EQ(MeasureNurbsLength(c), MeasureNurbsSpan(c, 3) + MeasureNurbsSpan(c, 5));
    // Each span's measure is 10 chords of the reference curve.
    for (const int span : {3, 5}) {
        double length = 0.0;
        Point3 previous = ReferencePoint(c, span, c.knot[span]);
        for (int j = 1; j <= 10; ++j) {
            const double u = c.knot[span] + j * (c.knot[span + 1] - c.knot[span]) / 10.0;
            const Point3 p = ReferencePoint(c, span, u);
            length += std::sqrt((p.x - previous.x) * (p.x - previous.x) +
                                (p.y - previous.y) * (p.y - previous.y) +
                                (p.z - previous.z) * (p.z - previous.z));
            previous = p;
        }
        EXPECT_NEAR(MeasureNurbsSpan(c, span), length, 1e-9) << "span " << span;
    }
    ExpectNear(Evaluate(c, 3, 1.0), Evaluate(c, 5, 1.0), 1e-12);
}

// Control points on one line, in order, with equal weights: the curve runs along the chord.
TEST(NurbsEvaluationTest, CollinearPointsGiveTheChordLength) {
    const NurbsCurveData c = MakeCurve(
        3, {{1, 2, 3}, {2, 4, 5}, {4, 8, 9}, {5, 10, 11}, {7, 14, 15}}, {0, 0, 0, 1, 2, 3, 3, 3});
    ASSERT_EQ(ValidateNurbsCurve(c), kNurbsValid);
    EXPECT_NEAR(MeasureNurbsLength(c), std::sqrt(6.0 * 6 + 12.0 * 12 + 12.0 * 12), 1e-9);
}

// Scaling every weight alike leaves every point of the curve in place.
TEST(NurbsEvaluationTest, UniformWeightsGiveTheSameCurve) {
    const std::vector<Point3> points = {{0, 0, 0}, {3, 7, 1}, {9, -2, 4}, {12, 5, 0}, {20, 1, 2}};
    const std::vector<double> knots = {0, 0, 0, 0, 0.4, 1, 1, 1, 1};
    const NurbsCurveData plain = MakeCurve(4, points, knots);
    const NurbsCurveData heavy = MakeCurve(4, points, knots, {2.5, 2.5, 2.5, 2.5, 2.5});
    for (int span = 3; span <= 4; ++span) {
        for (int j = 0; j <= 8; ++j) {
            const double u = knots[span] + j * (knots[span + 1] - knots[span]) / 8.0;
            ExpectNear(Evaluate(heavy, span, u), Evaluate(plain, span, u), 1e-12);
        }
    }
}

// The last step of a span is the curve at exactly t[i+1], whatever the step count.
TEST(NurbsEvaluationTest, SpanStepsEndExactlyOnTheNextKnot) {
    const NurbsCurveData c = MakeCurve(3, {{0, 0, 0}, {10, 10, 0}, {20, 0, 0}, {30, 10, 0}},
                                       {0, 0, 0, 0.1, 0.7, 0.7, 0.7});
    for (int span = 2; span <= 3; ++span) {
        for (const std::int64_t m : {1, 3, 7, 49}) {
            EXPECT_EQ(NurbsSpanStepParameter(c, span, m, m), c.knot[span + 1]);
            double step[3], end[3];
            ASSERT_EQ(EvaluateNurbsSpanStep(c, span, m, m, step), 1);
            ASSERT_EQ(EvaluateNurbsPoint(c, span, c.knot[span + 1], end), 1);
            EXPECT_EQ(step[0], end[0]);
            EXPECT_EQ(step[1], end[1]);
        }
        EXPECT_EQ(CountNurbsSpanSteps(c, span, 1e9), 1);
    }
    // The clamped end is the last control point.
    ExpectNear(Evaluate(c, 3, 0.7), {30, 10, 0}, 1e-12);
}

// Bad curves are refused with their code, and evaluation never divides by zero or reads
// outside the arrays.
TEST(NurbsEvaluationTest, BadCurvesAreRefused) {
    const std::vector<Point3> four = {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}};
    const std::vector<double> knots = {0, 0, 0, 0, 1, 1, 1, 1};
    NurbsCurveData c = MakeCurve(4, four, knots);
    ASSERT_EQ(ValidateNurbsCurve(c), kNurbsValid);
    const auto refused = [&](NurbsCurveData bad) { return ValidateNurbsCurve(bad); };
    NurbsCurveData b = c;
    b.order = 1;
    EXPECT_EQ(refused(b), kNurbsBadOrder);
    b.order = 18;
    EXPECT_EQ(refused(b), kNurbsBadOrder);
    b = MakeCurve(5, four, {0, 0, 0, 0, 0, 1, 1, 1, 1});
    EXPECT_EQ(refused(b), kNurbsTooFewPoints);
    b = c;
    b.knotCount = 7;
    EXPECT_EQ(refused(b), kNurbsTooMany);
    b = c;
    b.x.resize(3);
    EXPECT_EQ(refused(b), kNurbsTooMany);
    for (const double w : {0.0, -1.0, double(NAN), double(INFINITY)}) {
        b = c;
        b.weight[2] = w;
        EXPECT_EQ(refused(b), kNurbsBadWeight) << w;
    }
    b = c;
    b.knot = {0, 0, 0, 0.5, 0.4, 1, 1, 1};
    EXPECT_EQ(refused(b), kNurbsKnotsOutOfOrder);
    b = c;
    b.knot = {1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(refused(b), kNurbsEmptyDomain);
    b = c;
    b.y[1] = NAN;
    EXPECT_EQ(refused(b), kNurbsBadPoint);

    // Spans outside the range, and the basis beyond order 17.
    double p[3] = {7, 7, 7};
    EXPECT_EQ(EvaluateNurbsPoint(c, 2, 0.0, p), 0);
    EXPECT_EQ(EvaluateNurbsPoint(c, 4, 1.0, p), 0);
    EXPECT_EQ(MeasureNurbsSpan(c, 4), 0.0);
    EXPECT_EQ(CountNurbsSpanSteps(c, -1, 1.0), 0);
    double basis[kNurbsOrderMax];
    EXPECT_EQ(ComputeBsplineBasis(18, 40, std::vector<double>(40, 0.0).data(), 20, 0.0, basis), 0);
    // Weights that cancel: sum(N w) = 0 at u = 0.5 of a straight order-2 curve.
    NurbsCurveData cancel = MakeCurve(2, {{0, 0, 0}, {10, 0, 0}}, {0, 0, 1, 1}, {1.0, -1.0});
    EXPECT_EQ(EvaluateNurbsPoint(cancel, 1, 0.5, p), 0);
    cancel.weight = {0.0, 0.0};
    EXPECT_EQ(EvaluateNurbsPoint(cancel, 1, 0.25, p), 0);
    EXPECT_EQ(p[0], 7);
}

// The control points take the rotation levels and the mirror like a block end; the curve of
// the transformed points is the transformed curve.
TEST(NurbsEvaluationTest, TransformedControlPointsGiveTheTransformedCurve) {
    RunSession.run = NcRunState{};
    NcTransformState& t = RunSession.run.transforms;
    t.transformState = 2;
    t.rotationCount = 1;
    RotationLevel& level = t.rotation[0];
    level.centre[0] = 5.0;
    level.centre[1] = 5.0;
    level.cosine = 0.0;  // 90 deg about (5, 5) in XY
    level.sine = 1.0;
    t.mirror[2] = 1;
    t.mirrorCentre[2] = 1.0;  // Z becomes 2 - Z
    const auto transform = [](const Point3& p) {
        return Point3{5.0 - (p.y - 5.0), 5.0 + (p.x - 5.0), 2.0 - p.z};
    };
    const NurbsCurveData original =
        MakeCurve(3, {{0, 0, 0}, {10, 0, 1}, {10, 10, 2}}, {0, 0, 0, 1, 1, 1}, {1, 0.5, 1});
    NurbsCurveData moved = original;
    TransformNurbsControlPoints(RunSession, &moved);
    ExpectNear({moved.x[1], moved.y[1], moved.z[1]}, {10, 10, 1}, 1e-12);
    for (int j = 0; j <= 4; ++j) {
        ExpectNear(Evaluate(moved, 2, j / 4.0), transform(Evaluate(original, 2, j / 4.0)), 1e-12);
    }
    RunSession.run = NcRunState{};
}

}  // namespace
}  // namespace mirexa
