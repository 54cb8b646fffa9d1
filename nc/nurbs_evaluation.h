// NURBS curves: the curve record of a NURBS move (control points, weights, knots, order), its
// buffers, the Cox-de Boor basis, rational point evaluation, span and curve lengths, the
// transform of the control points, and the per-span stepping that the pullers share.
//
// A curve of order k with n control points has n + k knots t[0..n+k-1]. Its parameter runs over
// the spans i = k-1 .. n-1 (knot interval [t[i], t[i+1]]); a span with t[i+1] == t[i] is empty
// and is skipped by every length and stepping function. Coordinates are program coordinates (mm).
#pragma once

#include <cstdint>
#include <vector>

namespace mirexa {

struct NcSession;

constexpr int kNurbsPointsMax = 1000;  // control points of one curve
constexpr int kNurbsKnotsMax = 1010;   // knots of one curve (points + order)
constexpr int kNurbsOrderMax = 17;     // the basis table holds order 17
constexpr int kNurbsOrderMin = 2;      // order 1 would be a set of points, not a path
constexpr int kNurbsOrderDefault = 4;
// Chords that measure one span.
constexpr int kNurbsSpanChords = 10;
// Most steps of one span: a bound that a tiny step length over a long span cannot pass.
constexpr std::int64_t kNurbsSpanStepsMax = 100000000;

// Results of ValidateNurbsCurve (and of the NURBS block reader).
constexpr int kNurbsValid = 1;
constexpr int kNurbsBadOrder = -1;         // order outside 2..17
constexpr int kNurbsTooFewPoints = -2;     // fewer control points than the order
constexpr int kNurbsTooMany = -3;          // more than 1,000 points or 1,010 knots, or the buffers
                                           // are smaller than the counts
constexpr int kNurbsBadWeight = -4;        // a weight that is not a positive finite number
constexpr int kNurbsKnotsOutOfOrder = -5;  // a knot below the one before it, or not finite
constexpr int kNurbsEmptyDomain = -6;      // t[k-1] == t[n]: the curve has no parameter range
constexpr int kNurbsBadPoint = -7;         // a control point coordinate that is not finite

// The curve of the current NURBS move. The arrays are sized by AllocNurbsBuffers (1,000 points,
// 1,010 knots); tests may size them to their curve. pointCount and knotCount never exceed the
// array sizes when ValidateNurbsCurve accepted the record.
struct NurbsCurveData {
    std::vector<double> x;
    std::vector<double> y;
    std::vector<double> z;
    std::vector<double> weight;
    std::vector<double> knot;
    int present = {};  // 1 while the buffers are allocated
    int order = kNurbsOrderDefault;
    int pointCount = {};
    int knotCount = {};  // pointCount + order once the curve is complete
};

// Allocates the five arrays of the session's NURBS curve (1,000 doubles each, 1,010 for the knots)
// when they are not present and sets the present flag. Returns 1, or 0 when memory ran out (the
// record is then empty and not present).
int AllocNurbsBuffers(NcSession& session);
// Frees the arrays and clears the record (present 0, counts 0, order 4).
void FreeNurbsBuffers(NcSession& session);

// Checks a complete curve: order 2..17, order <= pointCount <= 1,000, knotCount ==
// pointCount + order <= 1,010 and within the arrays, finite points, positive finite weights,
// non-decreasing finite knots and a non-empty parameter range. Returns kNurbsValid or the first
// failure's negative code. Every function below assumes an accepted curve and still refuses out
// of range spans.
int ValidateNurbsCurve(const NurbsCurveData& curve);

// The first and last span of the parameter range: order - 1 and pointCount - 1.
int FirstNurbsSpan(const NurbsCurveData& curve);
int LastNurbsSpan(const NurbsCurveData& curve);

// Cox-de Boor: the `order` basis values of span i at u, for the control points i-order+1 .. i,
// into basis[0 .. order-1]. A term whose knot difference is 0 counts as 0. Returns 1, or 0 (and
// the basis all 0) when the order is outside 1..17 or i is outside order-1 .. knotCount-order-1
// of the knot array (knotCount = the array's used length).
int ComputeBsplineBasis(int order, int knotCount, const double* knots, int span, double u,
                        double* basis);

// The curve point of span i at u: sum(N w P) / sum(N w) over the span's control points. Returns 1,
// or 0 when the span is out of range or sum(N w) is 0 (the point is then left unchanged).
int EvaluateNurbsPoint(const NurbsCurveData& curve, int span, double u, double point[3]);

// The length of span i (mm): the curve at t[i] + j (t[i+1] - t[i]) / 10, j = 0..10 (j = 10 exactly
// t[i+1]), summed as 10 chords. 0 for an empty or out of range span.
double MeasureNurbsSpan(const NurbsCurveData& curve, int span);
// The length of the whole curve (mm): the sum over its non-empty spans.
double MeasureNurbsLength(const NurbsCurveData& curve);

// Applies the active coordinate rotation levels (innermost first, while the transform state is
// 2 and the block is no G68 block) and the mirror of the interpreter's transform state to every
// control point in place, as the step driver finishes a block end. Weights and knots stay.
void TransformNurbsControlPoints(NcSession& session, NurbsCurveData* curve);

// --- Per-span stepping, shared by the simulation and the tool path ---------------------------

// The step count m of span i for a step length (mm): 0 for an empty or out of range span, else
// max(1, ceil(MeasureNurbsSpan / stepLength - 1e-9)) (the slack absorbs the rounding of the
// chord sum), at most kNurbsSpanStepsMax; a step length that is not positive gives one step.
std::int64_t CountNurbsSpanSteps(const NurbsCurveData& curve, int span, double stepLength);
// The parameter of step j of m of span i: t[i] + j (t[i+1] - t[i]) / m, exactly t[i+1] at j = m
// (0 for an out of range span).
double NurbsSpanStepParameter(const NurbsCurveData& curve, int span, std::int64_t j,
                              std::int64_t m);
// The curve point at step j (1..m) of span i: EvaluateNurbsPoint at NurbsSpanStepParameter.
// Returns 1, or 0 as EvaluateNurbsPoint.
int EvaluateNurbsSpanStep(const NurbsCurveData& curve, int span, std::int64_t j, std::int64_t m,
                          double point[3]);

// Puts a curve point (program coordinates, mm) as the end X, Y, Z of the current move and
// finishes it like a block end (FinishBlockPosition): motion.lastPosition is then the
// position of the step, with the tool length, rotation and mirror applied.
void FinishNurbsStepPosition(NcSession& session, const double point[3]);

}  // namespace mirexa
