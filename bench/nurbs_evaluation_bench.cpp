// NURBS evaluation: points of order 4 and of the largest order 17, and the length of a curve of
// the largest size (1,000 control points), as the data check measures it.
#include <benchmark/benchmark.h>

#include <cmath>

#include "nc/nurbs_evaluation.h"

namespace mirexa {
namespace {

// A clamped curve of `count` points of the order along a wave, with uniform inner knots.
NurbsCurveData MakeWave(int order, int count) {
    NurbsCurveData c;
    c.order = order;
    c.pointCount = count;
    c.knotCount = count + order;
    for (int i = 0; i < count; ++i) {
        c.x.push_back(i * 2.0);
        c.y.push_back(10.0 * std::sin(i * 0.3));
        c.z.push_back(std::cos(i * 0.2));
        c.weight.push_back(1.0 + 0.5 * (i % 3));
    }
    for (int i = 0; i < c.knotCount; ++i) {
        const int inner = i - order + 1;
        c.knot.push_back(inner < 0 ? 0.0 : inner > count - order ? count - order + 1.0 : inner);
    }
    return c;
}

void EvaluatePoints(benchmark::State& state) {
    const int order = static_cast<int>(state.range(0));
    const NurbsCurveData c = MakeWave(order, 100);
    int span = order - 1;
    double u = 0.0;
    for (auto _ : state) {
        double p[3];
        EvaluateNurbsPoint(c, span, c.knot[span] + u, p);
        benchmark::DoNotOptimize(p);
        u += 0.37;
        if (u >= 1.0) {
            u -= 1.0;
            span = span + 1 < c.pointCount ? span + 1 : order - 1;
        }
    }
}
BENCHMARK(EvaluatePoints)->Arg(4)->Arg(17);

void MeasureLargestCurve(benchmark::State& state) {
    const NurbsCurveData c = MakeWave(4, kNurbsPointsMax);
    for (auto _ : state) {
        benchmark::DoNotOptimize(MeasureNurbsLength(c));
    }
}
BENCHMARK(MeasureLargestCurve);

}  // namespace
}  // namespace mirexa
