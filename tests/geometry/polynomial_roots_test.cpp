// Root solvers checked by residuals |p(x)| and by Vieta's sums of the roots, not by re-running
// the formulas.
#include "geometry/polynomial_roots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace mirexa {
namespace {

using Cx = std::complex<double>;

Cx ToCx(ComplexNumber z) {
    return {z.re, z.im};
}

// The elementary symmetric sums e1..en of the roots.
std::vector<Cx> SymmetricSums(const ComplexNumber* roots, int n) {
    std::vector<Cx> e(n + 1, Cx(0));
    e[0] = 1;
    for (int r = 0; r < n; ++r) {
        for (int k = r + 1; k >= 1; --k) {
            e[k] += e[k - 1] * ToCx(roots[r]);
        }
    }
    return e;
}

// Vieta: for a monic polynomial x^n + c1 x^(n-1) + ... + cn, e_k = (-1)^k c_k.
void ExpectVieta(const ComplexNumber* roots, const std::vector<double>& coefficients,
                 double tolerance) {
    const int n = static_cast<int>(coefficients.size()) - 1;
    const std::vector<Cx> e = SymmetricSums(roots, n);
    for (int k = 1; k <= n; ++k) {
        const double expected = (k % 2 ? -1.0 : 1.0) * coefficients[k] / coefficients[0];
        EXPECT_NEAR(e[k].real(), expected, tolerance * (1 + std::fabs(expected))) << "e" << k;
        EXPECT_NEAR(e[k].imag(), 0.0, tolerance * (1 + std::fabs(expected))) << "e" << k;
    }
}

Cx Evaluate(const std::vector<double>& coefficients, Cx x) {
    Cx sum = 0;
    for (double c : coefficients) {
        sum = sum * x + c;
    }
    return sum;
}

// |p(x)| relative to the sum of the magnitudes of its terms at max(|x|, 1): the rounding
// scale of p near x (roots near 0 are judged on the scale of 1).
double RelativeResidual(const std::vector<double>& coefficients, Cx x) {
    double scale = 0;
    for (double c : coefficients) {
        scale = scale * std::max(std::abs(x), 1.0) + std::fabs(c);
    }
    return std::abs(Evaluate(coefficients, x)) / scale;
}

TEST(ComplexSqrt, SignConventions) {
    struct Case {
        double x, y, re, im;
    };
    const Case cases[] = {
        {4, 0, 2, 0}, {-4, 0, 0, -2}, {0, 0, 0, 0}, {3, 4, 2, 1}, {3, -4, 2, -1}, {-3, 4, 1, 2},
    };
    for (const Case& c : cases) {
        const ComplexNumber r = ComplexSqrt({c.x, c.y});
        EXPECT_EQ(r.re, c.re) << c.x << "," << c.y;
        EXPECT_EQ(r.im, c.im) << c.x << "," << c.y;
        EXPECT_FALSE(std::signbit(r.im) && r.im == 0.0);
    }
}

TEST(SolveQuadratic, RootsAndTheDegenerateCase) {
    ComplexNumber roots[2];
    SolveQuadratic(1, -3, 2, roots);
    EXPECT_EQ(roots[0].re, 2.0);
    EXPECT_EQ(roots[1].re, 1.0);
    EXPECT_EQ(roots[0].im, 0.0);
    EXPECT_EQ(roots[1].im, 0.0);
    SolveQuadratic(1, 0, 1, roots);
    EXPECT_EQ(roots[0].re, 0.0);
    EXPECT_EQ(roots[0].im, 1.0);
    EXPECT_EQ(roots[1].im, -1.0);
    roots[1] = {-99, -99};
    SolveQuadratic(0, 2, -4, roots);
    EXPECT_EQ(roots[0].re, 2.0);
    EXPECT_EQ(roots[0].im, 0.0);
    EXPECT_EQ(roots[1].re, -99.0);  // only root 0 is written
    SolveQuadratic(0, 0, 5, roots);
    EXPECT_EQ(roots[0].re, 0.0);
    // Roots far apart: the small one comes from the product, not from -p + sqrt(D) = 0.
    SolveQuadratic(1, 1e8, 1, roots);
    EXPECT_NEAR(roots[0].re, -1e-8, 1e-23);
    EXPECT_EQ(roots[1].re, -1e8);
    SolveQuadratic(2, -4e8, 6, roots);
    EXPECT_EQ(roots[0].re, 2e8);
    EXPECT_NEAR(roots[1].re, 1.5e-8, 1e-23);
}

// Coefficients that are not numbers give roots that are not numbers, never a real root.
TEST(SolveQuartic, NonFiniteCoefficientsGiveNoRealRoot) {
    const double nan = std::nan("");
    const double cases[][5] = {{1, nan, 2, 3, 4}, {1, 2, nan, 3, 4}, {1, 2, 3, 4, nan}};
    for (const auto& c : cases) {
        ComplexNumber roots[4];
        SolveQuartic(c[0], c[1], c[2], c[3], c[4], roots);
        for (const ComplexNumber& r : roots) {
            EXPECT_FALSE(r.im == 0.0 && std::isfinite(r.re));
        }
        SolveCubic(c[1], c[2], c[3], c[4], roots);
        for (int n = 0; n < 3; ++n) {
            EXPECT_FALSE(roots[n].im == 0.0 && std::isfinite(roots[n].re));
        }
    }
}

TEST(SolveCubic, WorkedCases) {
    ComplexNumber roots[3];
    SolveCubic(1, -6, 11, -6, roots);
    const double expected[3] = {3, 2, 1};
    for (int n = 0; n < 3; ++n) {
        EXPECT_NEAR(roots[n].re, expected[n], 1e-14);
        EXPECT_EQ(roots[n].im, 0.0);
    }
    SolveCubic(1, 0, 0, -8, roots);
    EXPECT_EQ(roots[0].re, 2.0);
    EXPECT_EQ(roots[0].im, 0.0);
    EXPECT_NEAR(roots[1].re, -1, 1e-15);
    EXPECT_NEAR(roots[1].im, std::sqrt(3.0), 1e-15);
    EXPECT_NEAR(roots[2].im, -std::sqrt(3.0), 1e-15);
    SolveCubic(1, -3, 3, -1, roots);  // (x - 1)^3: the triple-root branch
    for (const ComplexNumber& r : roots) {
        EXPECT_EQ(r.re, 1.0);
        EXPECT_EQ(r.im, 0.0);
    }
    SolveCubic(2, -6, 4, 0, roots);  // zero constant: 0 and the quadratic's roots 2, 1
    EXPECT_EQ(roots[0].re, 0.0);
    EXPECT_EQ(roots[1].re, 2.0);
    EXPECT_EQ(roots[2].re, 1.0);
    SolveCubic(0, 1, -3, 2, roots);
    EXPECT_EQ(roots[0].re, 2.0);
    EXPECT_EQ(roots[1].re, 1.0);
}

// Cubics with a double root sit on the boundary between the trigonometric and the Cardano
// branch; rounding must not push the cosine argument out of [-1, 1] and give NaN roots.
TEST(SolveCubic, RandomCubicsIncludingDoubleRoots) {
    const unsigned seed = 120;
    std::printf("random cubics, seed %u\n", seed);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> value(-10, 10);
    for (int trial = 0; trial < 20000; ++trial) {
        const double r0 = value(rng);
        const double r1 = trial % 2 ? r0 : value(rng);
        const double r2 = value(rng);
        const std::vector<double> c = {1, -(r0 + r1 + r2), r0 * r1 + r1 * r2 + r2 * r0,
                                       -r0 * r1 * r2};
        ComplexNumber roots[3];
        SolveCubic(c[0], c[1], c[2], c[3], roots);
        for (const ComplexNumber& r : roots) {
            ASSERT_TRUE(std::isfinite(r.re) && std::isfinite(r.im)) << "trial " << trial;
            EXPECT_LT(RelativeResidual(c, ToCx(r)), 1e-10) << "trial " << trial;
        }
        ExpectVieta(roots, c, 1e-6);
    }
}

TEST(SolveQuartic, WorkedCases) {
    ComplexNumber roots[4];
    SolveQuartic(1, -10, 35, -50, 24, roots);  // (x-1)(x-2)(x-3)(x-4)
    std::vector<double> found;
    for (const ComplexNumber& r : roots) {
        EXPECT_EQ(r.im, 0.0);
        found.push_back(r.re);
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<double>{1, 2, 3, 4}));

    SolveQuartic(1, 0, 0, 0, -1, roots);  // x^4 - 1
    int real = 0;
    for (const ComplexNumber& r : roots) {
        if (r.im == 0.0) {
            ++real;
            EXPECT_EQ(std::fabs(r.re), 1.0);
        } else {
            EXPECT_NEAR(r.re, 0.0, 1e-15);
            EXPECT_NEAR(std::fabs(r.im), 1.0, 1e-15);
        }
    }
    EXPECT_EQ(real, 2);
    ExpectVieta(roots, {1, 0, 0, 0, -1}, 1e-14);

    SolveQuartic(1, 0, -5, 0, 4, roots);  // (x^2 - 1)(x^2 - 4)
    found.clear();
    for (const ComplexNumber& r : roots) {
        EXPECT_EQ(r.im, 0.0);
        found.push_back(r.re);
    }
    std::sort(found.begin(), found.end());
    const std::vector<double> expected = {-2, -1, 1, 2};
    for (int n = 0; n < 4; ++n) {
        EXPECT_NEAR(found[n], expected[n], 1e-14);
    }

    SolveQuartic(0, 1, -6, 11, -6, roots);  // degree 3
    EXPECT_NEAR(roots[0].re, 3, 1e-14);
}

// Roots symmetric about a point (c - a, c - b, c + b, c + a) make the depressed quartic's odd
// term vanish; every such quartic must come out with four exactly real roots.
TEST(SolveQuartic, SymmetricRootsStayReal) {
    const unsigned seed = 4;
    std::printf("random symmetric quartics, seed %u\n", seed);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> value(-10, 10);
    int complexSets = 0;
    for (int trial = 0; trial < 30000; ++trial) {
        const double c = value(rng), a = value(rng), b = value(rng);
        const double r[4] = {c - a, c - b, c + b, c + a};
        const ComplexNumber asRoots[4] = {{r[0], 0}, {r[1], 0}, {r[2], 0}, {r[3], 0}};
        const std::vector<Cx> e = SymmetricSums(asRoots, 4);
        const std::vector<double> coefficients = {1, -e[1].real(), e[2].real(), -e[3].real(),
                                                  e[4].real()};
        ComplexNumber roots[4];
        SolveQuartic(1, coefficients[1], coefficients[2], coefficients[3], coefficients[4], roots);
        bool allReal = true;
        for (const ComplexNumber& root : roots) {
            allReal = allReal && root.im == 0.0;
            // Nearly double roots (a or b near 0, or a near b) are only found to about the
            // square root of the rounding.
            EXPECT_LT(RelativeResidual(coefficients, ToCx(root)), 1e-7) << "trial " << trial;
        }
        complexSets += allReal ? 0 : 1;
        ExpectVieta(roots, coefficients, 1e-6);
    }
    EXPECT_EQ(complexSets, 0);
}

// Two real roots a few micrometres apart stay two distinct real roots: only a radicand that
// rounding pushed below 0 is taken as 0, never a small positive squared root gap.
TEST(SolveQuartic, CloseRealRootsStayDistinct) {
    for (const double gap : {1e-4, 1e-5, 1e-6, 3e-7}) {
        const ComplexNumber want[4] = {{1, 0}, {1 + gap, 0}, {3, 0}, {4.5, 0}};
        const std::vector<Cx> e = SymmetricSums(want, 4);
        ComplexNumber roots[4];
        SolveQuartic(1, -e[1].real(), e[2].real(), -e[3].real(), e[4].real(), roots);
        std::vector<double> found;
        for (const ComplexNumber& r : roots) {
            EXPECT_EQ(r.im, 0.0) << "gap " << gap;
            found.push_back(r.re);
        }
        std::sort(found.begin(), found.end());
        EXPECT_NEAR(found[0], 1.0, 1e-8) << "gap " << gap;
        EXPECT_NEAR(found[1], 1.0 + gap, 1e-8) << "gap " << gap;
        EXPECT_NEAR(found[2], 3.0, 1e-12) << "gap " << gap;
        EXPECT_NEAR(found[3], 4.5, 1e-12) << "gap " << gap;
    }
}

// General quartics with real and complex roots: Vieta's sums, residuals, and conjugate pairs.
TEST(SolveQuartic, RandomQuarticsSatisfyVieta) {
    const unsigned seed = 1120;
    std::printf("random quartics, seed %u\n", seed);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> value(-5, 5);
    for (int trial = 0; trial < 20000; ++trial) {
        ComplexNumber want[4];
        const int pairs = trial % 3;  // 0, 1 or 2 complex pairs
        for (int n = 0; n < 4; n += 2) {
            const double re = value(rng), im = value(rng);
            if (n / 2 < pairs) {
                want[n] = {re, im};
                want[n + 1] = {re, -im};
            } else {
                want[n] = {re, 0};
                want[n + 1] = {im, 0};
            }
        }
        const double lead = trial % 7 == 0 ? -2.5 : 1.0;
        const std::vector<Cx> e = SymmetricSums(want, 4);
        const std::vector<double> coefficients = {lead, -lead * e[1].real(), lead * e[2].real(),
                                                  -lead * e[3].real(), lead * e[4].real()};
        ComplexNumber roots[4];
        SolveQuartic(coefficients[0], coefficients[1], coefficients[2], coefficients[3],
                     coefficients[4], roots);
        ExpectVieta(roots, coefficients, 1e-7);
        int realFound = 0;
        for (const ComplexNumber& root : roots) {
            ASSERT_TRUE(std::isfinite(root.re) && std::isfinite(root.im)) << "trial " << trial;
            EXPECT_LT(RelativeResidual(coefficients, ToCx(root)), 1e-8) << "trial " << trial;
            realFound += root.im == 0.0 ? 1 : 0;
        }
        EXPECT_GE(realFound, 4 - 2 * pairs) << "trial " << trial;
    }
}

// --- Families with known roots --------------------------------------------------------------

// A polynomial built from its roots: lead * prod (x - root), expanded in double.
struct BuiltPolynomial {
    std::vector<Cx> roots;
    std::vector<bool> doubled;  // the root is half of a double root
    std::vector<double> coefficients;
};

BuiltPolynomial Build(double lead, const std::vector<Cx>& roots, int doubleRoots = 0) {
    BuiltPolynomial p;
    p.roots = roots;
    p.doubled.assign(roots.size(), false);
    for (int n = 0; n < doubleRoots; ++n) {
        p.doubled[n] = true;
    }
    std::vector<ComplexNumber> asRoots;
    for (const Cx& r : roots) {
        asRoots.push_back({r.real(), r.imag()});
    }
    const std::vector<Cx> e = SymmetricSums(asRoots.data(), static_cast<int>(roots.size()));
    for (size_t k = 0; k < e.size(); ++k) {
        p.coefficients.push_back((k % 2 ? -lead : lead) * e[k].real());
    }
    return p;
}

// Why a solved root set misses the roots that built it, or empty when it does not: each built
// root must be found (greedy nearest match) within 1e-9 relative (to its magnitude, at least
// 1), half of a double root within 1e-6 (a double root moves with the square root of
// rounding); a real root with an imaginary part of exactly 0, a complex one with a non-zero one.
std::string Miss(const BuiltPolynomial& p, const ComplexNumber* found) {
    const size_t n = p.roots.size();
    std::vector<bool> used(n, false);
    std::ostringstream why;
    for (size_t i = 0; i < n; ++i) {
        size_t best = n;
        for (size_t j = 0; j < n; ++j) {
            if (!used[j] && (best == n || std::abs(ToCx(found[j]) - p.roots[i]) <
                                              std::abs(ToCx(found[best]) - p.roots[i]))) {
                best = j;
            }
        }
        used[best] = true;
        const double scale = std::max(std::abs(p.roots[i]), 1.0);
        const double error = std::abs(ToCx(found[best]) - p.roots[i]);
        const bool real = p.roots[i].imag() == 0.0;
        if (!(error <= (p.doubled[i] ? 1e-6 : 1e-9) * scale) || real != (found[best].im == 0.0)) {
            why << "root " << p.roots[i] << " found as " << ToCx(found[best]) << " (off by "
                << error / scale << " relative); ";
        }
    }
    return why.str();
}

// Runs a family and checks that no case misses, reporting the miss rate and the first misses.
template <typename Make, typename Solve>
void ExpectNoMisses(const char* family, unsigned seed, int cases, Make make, Solve solve) {
    std::printf("%s, seed %u\n", family, seed);
    std::mt19937 rng(seed);
    int misses = 0;
    std::string first;
    for (int trial = 0; trial < cases; ++trial) {
        const BuiltPolynomial p = make(rng, trial);
        ComplexNumber found[4];
        solve(p.coefficients, found);
        const std::string why = Miss(p, found);
        if (!why.empty()) {
            if (++misses <= 3) {
                first += "\n  trial " + std::to_string(trial) + ": " + why;
            }
        }
    }
    EXPECT_EQ(misses, 0) << family << ": " << misses << " of " << cases << " missed ("
                         << 100.0 * misses / cases << " %)" << first;
}

void SolveQuarticOf(const std::vector<double>& c, ComplexNumber* roots) {
    SolveQuartic(c[0], c[1], c[2], c[3], c[4], roots);
}

void SolveCubicOf(const std::vector<double>& c, ComplexNumber* roots) {
    SolveCubic(c[0], c[1], c[2], c[3], roots);
}

double Uniform(std::mt19937& rng, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

// Magnitudes spread evenly over [lo, hi] on a log scale.
double LogUniform(std::mt19937& rng, double lo, double hi) {
    return std::exp(Uniform(rng, std::log(lo), std::log(hi)));
}

// Leading coefficients of every sign and size: the roots must not depend on them.
double Lead(std::mt19937& rng) {
    const double leads[] = {1.0, -2.5, 1e-3, -7e4, 0.3};
    return leads[rng() % 5];
}

// n real values in [-r, r] at least gap apart.
std::vector<Cx> SeparatedReals(std::mt19937& rng, int n, double r, double gap) {
    for (;;) {
        std::vector<double> v;
        for (int k = 0; k < n; ++k) {
            v.push_back(Uniform(rng, -r, r));
        }
        std::sort(v.begin(), v.end());
        bool apart = true;
        for (int k = 1; k < n; ++k) {
            apart = apart && v[k] - v[k - 1] >= gap;
        }
        if (apart) {
            return std::vector<Cx>(v.begin(), v.end());
        }
    }
}

TEST(SolveQuartic, RealPairWithImaginaryPairKeepsItsRealRoots) {
    struct Case {
        double c, e, real, imaginary;
    };
    // (x^2 - 0.04)(x^2 + 0.5625) and (x^2 - 0.5625)(x^2 + 7.84).
    const Case cases[] = {{0.5225, -0.0225, 0.2, 0.75}, {7.2775, -4.41, 0.75, 2.8}};
    for (const Case& c : cases) {
        ComplexNumber roots[4];
        SolveQuartic(1, 0, c.c, 0, c.e, roots);
        std::vector<double> real;
        for (const ComplexNumber& r : roots) {
            if (r.im == 0.0) {
                real.push_back(r.re);
            } else {
                EXPECT_NEAR(r.re, 0.0, 1e-15);
                EXPECT_NEAR(std::fabs(r.im), c.imaginary, 1e-15);
            }
        }
        std::sort(real.begin(), real.end());
        EXPECT_EQ(real.size(), 2u) << c.c;
        if (real.size() == 2) {
            EXPECT_NEAR(real[0], -c.real, 1e-15);
            EXPECT_NEAR(real[1], c.real, 1e-15);
        }
    }
    // Random such quartics, plain and shifted: (x - s)^2 - p^2 times (x - s)^2 + q^2.
    ExpectNoMisses(
        "real pair and imaginary pair", 2311, 100000,
        [](std::mt19937& rng, int trial) {
            const double s = trial % 2 ? 0.0 : Uniform(rng, -3, 3);
            const double p = LogUniform(rng, 0.1, 10), q = LogUniform(rng, 0.1, 10);
            return Build(Lead(rng), {Cx(s + p), Cx(s - p), Cx(s, q), Cx(s, -q)});
        },
        SolveQuarticOf);
}

TEST(SolveQuartic, RandomFamiliesFindTheRootsThatBuiltThem) {
    ExpectNoMisses(
        "four real roots", 2312, 100000,
        [](std::mt19937& rng, int) { return Build(Lead(rng), SeparatedReals(rng, 4, 10, 0.1)); },
        SolveQuarticOf);
    ExpectNoMisses(
        "two complex pairs", 2313, 50000,
        [](std::mt19937& rng, int) {
            const double u = Uniform(rng, -5, 5), v = LogUniform(rng, 0.1, 5);
            const double w = Uniform(rng, -5, 5), z = LogUniform(rng, 0.1, 5);
            return Build(Lead(rng), {Cx(u, v), Cx(u, -v), Cx(w, z), Cx(w, -z)});
        },
        SolveQuarticOf);
    // A double root with two real roots, a complex pair or a second double root, at least 0.5
    // from it.
    ExpectNoMisses(
        "double roots", 2314, 100000,
        [](std::mt19937& rng, int trial) {
            std::vector<Cx> r = SeparatedReals(rng, 3, 3, 0.5);
            std::swap(r[0], r[trial % 3]);
            const Cx d = r[0];
            if (trial % 3 == 0) {
                return Build(Lead(rng), {d, d, r[1], r[2]}, 2);
            }
            if (trial % 3 == 1) {
                const double v = LogUniform(rng, 0.5, 3);
                return Build(Lead(rng), {d, d, Cx(r[1].real(), v), Cx(r[1].real(), -v)}, 2);
            }
            return Build(Lead(rng), {d, d, r[1], r[1]}, 4);
        },
        SolveQuarticOf);
}

// A leading coefficient negligible against the others: one root near -b/a, the others
// moderate, for quartics and cubics.
TEST(SolveQuarticAndCubic, NegligibleLeadingCoefficient) {
    const std::vector<double> quartic = {1e-8, 1, -6, 11, -6};
    ComplexNumber roots[4];
    SolveQuartic(quartic[0], quartic[1], quartic[2], quartic[3], quartic[4], roots);
    std::vector<double> found;
    for (const ComplexNumber& r : roots) {
        EXPECT_EQ(r.im, 0.0);
        found.push_back(r.re);
        EXPECT_LT(RelativeResidual(quartic, ToCx(r)), 1e-15) << r.re;
    }
    std::sort(found.begin(), found.end());
    EXPECT_NEAR(found[0] / -1e8, 1.0, 1e-7);
    for (int n = 1; n < 4; ++n) {
        EXPECT_NEAR(found[n], n, 1e-6);
    }
    const std::vector<double> cubic = {1e-8, 1, -3, 2};
    SolveCubic(cubic[0], cubic[1], cubic[2], cubic[3], roots);
    found.clear();
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(roots[n].im, 0.0);
        found.push_back(roots[n].re);
        EXPECT_LT(RelativeResidual(cubic, ToCx(roots[n])), 1e-15) << roots[n].re;
    }
    std::sort(found.begin(), found.end());
    EXPECT_NEAR(found[0] / -1e8, 1.0, 1e-7);
    EXPECT_NEAR(found[1], 1.0, 1e-6);
    EXPECT_NEAR(found[2], 2.0, 1e-6);

    // Leading coefficients a (or a^2) of 1e-3 to 1e-14 with one (two) roots of about 1/a (for two,
    // a real pair or a complex pair), the other roots real or complex.
    auto family = [](int degree, int huge) {
        return [degree, huge](std::mt19937& rng, int trial) {
            const double a = std::pow(10.0, -Uniform(rng, 3, 14));
            std::vector<Cx> r = SeparatedReals(rng, degree - huge, 5, 0.5);
            if (trial % 2 && degree - huge >= 2) {
                const double v = LogUniform(rng, 0.5, 3);
                r[0] = Cx(r[0].real(), v);
                r[1] = Cx(r[0].real(), -v);
            }
            const double h = (trial % 4 < 2 ? 1 : -1) * Uniform(rng, 0.5, 2) / a;
            if (huge == 1) {
                r.push_back(Cx(h));
            } else if (trial % 3) {
                r.push_back(Cx(h, 0.7 * h));
                r.push_back(Cx(h, -0.7 * h));
            } else {
                r.push_back(Cx(h));
                r.push_back(Cx(-0.6 * h));
            }
            return Build(huge == 1 ? a : a * a, r);
        };
    };
    ExpectNoMisses("quartics with a huge root", 2315, 30000, family(4, 1), SolveQuarticOf);
    ExpectNoMisses("quartics with two huge roots", 2317, 30000, family(4, 2), SolveQuarticOf);
    ExpectNoMisses("cubics with a huge root", 2316, 30000, family(3, 1), SolveCubicOf);
    ExpectNoMisses("cubics with two huge roots", 2318, 30000, family(3, 2), SolveCubicOf);
}

// A constant term negligible against the others: a root near 0 beside moderate ones.
TEST(SolveQuarticAndCubic, NegligibleConstantTerm) {
    auto family = [](int degree) {
        return [degree](std::mt19937& rng, int trial) {
            std::vector<Cx> r = SeparatedReals(rng, degree - 1, 5, 0.5);
            if (trial % 2) {
                const double v = LogUniform(rng, 0.5, 3);
                r[0] = Cx(r[0].real(), v);
                r[1] = Cx(r[0].real(), -v);
            }
            r.push_back(Cx((trial % 4 < 2 ? 1 : -1) * std::pow(10.0, -Uniform(rng, 3, 12))));
            return Build(Lead(rng), r);
        };
    };
    ExpectNoMisses("quartics with a tiny root", 2319, 30000, family(4), SolveQuarticOf);
    ExpectNoMisses("cubics with a tiny root", 2320, 30000, family(3), SolveCubicOf);
}

TEST(SolveCubic, RandomFamiliesFindTheRootsThatBuiltThem) {
    ExpectNoMisses(
        "three real roots", 2321, 100000,
        [](std::mt19937& rng, int) { return Build(Lead(rng), SeparatedReals(rng, 3, 10, 0.1)); },
        SolveCubicOf);
    ExpectNoMisses(
        "real root and complex pair", 2322, 100000,
        [](std::mt19937& rng, int) {
            const double u = Uniform(rng, -5, 5), v = LogUniform(rng, 0.01, 5);
            return Build(Lead(rng), {Cx(Uniform(rng, -5, 5)), Cx(u, v), Cx(u, -v)});
        },
        SolveCubicOf);
    ExpectNoMisses(
        "double root", 2323, 100000,
        [](std::mt19937& rng, int) {
            const std::vector<Cx> r = SeparatedReals(rng, 2, 5, 0.5);
            return Build(Lead(rng), {r[0], r[0], r[1]}, 2);
        },
        SolveCubicOf);
}

}  // namespace
}  // namespace mirexa
