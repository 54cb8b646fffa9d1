// Quartic and cubic solves per second on pools of polynomials built from random roots: four
// real, a real pair with a complex pair, two complex pairs, and a double root (the tool-shape
// intersections solve one quartic per ray and tool section).
#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <vector>

#include "geometry/polynomial_roots.h"

namespace mirexa {
namespace {

// 4096 quartics x^4 + c1 x^3 + ... + c4 from roots in [-5, 5], family by pool index.
std::vector<std::array<double, 5>> MakeQuartics() {
    std::mt19937 rng(77);
    std::uniform_real_distribution<double> value(-5, 5);
    std::vector<std::array<double, 5>> pool;
    for (int n = 0; n < 4096; ++n) {
        const double u = value(rng), v = value(rng), w = value(rng), z = value(rng);
        // (x^2 + p1 x + q1)(x^2 + p2 x + q2): real roots u, v or the pair u +- i|v|; same for w, z.
        const int family = n % 4;
        const double p1 = family == 2 ? -2 * u : -(u + v);
        const double q1 = family == 2 ? u * u + v * v : u * v;
        const double p2 = family >= 1 && family <= 2 ? -2 * w : -(w + (family == 3 ? w : z));
        const double q2 = family >= 1 && family <= 2 ? w * w + z * z : w * (family == 3 ? w : z);
        pool.push_back({1.0, p1 + p2, q1 + q2 + p1 * p2, p1 * q2 + p2 * q1, q1 * q2});
    }
    return pool;
}

void BM_SolveQuartic(benchmark::State& state) {
    static const std::vector<std::array<double, 5>> pool = MakeQuartics();
    ComplexNumber roots[4];
    size_t n = 0;
    for (auto _ : state) {
        const std::array<double, 5>& c = pool[n++ & 4095];
        SolveQuartic(c[0], c[1], c[2], c[3], c[4], roots);
        benchmark::DoNotOptimize(roots);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_SolveQuartic)->MinTime(0.5);

void BM_SolveCubic(benchmark::State& state) {
    static const std::vector<std::array<double, 5>> pool = MakeQuartics();
    ComplexNumber roots[3];
    size_t n = 0;
    for (auto _ : state) {
        const std::array<double, 5>& c = pool[n++ & 4095];
        SolveCubic(c[1], c[2], c[3], c[4], roots);
        benchmark::DoNotOptimize(roots);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_SolveCubic)->MinTime(0.5);

}  // namespace
}  // namespace mirexa
