// Root solvers checked by residuals |p(x)| and by Vieta's sums of the roots, not by re-running
// the formulas.
#include "geometry/polynomial_roots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
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

}  // namespace
}  // namespace mirexa
