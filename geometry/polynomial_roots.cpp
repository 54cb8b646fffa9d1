// Quadratic, cubic and quartic root solvers with complex roots: closed forms (Cardano, Ferrari)
// give the first approximation, Newton steps on the original polynomial polish it, and a
// rounding-noise test decides which roots are real.
#include "geometry/polynomial_roots.h"

#include <cmath>
#include <complex>
#include <initializer_list>

#include "geometry/vector_math.h"

namespace mirexa {

namespace {

using Cx = std::complex<double>;

constexpr double kEpsilon = 2.220446049250313e-16;
// A value of a polynomial within this many roundings of its terms' magnitude is zero as far as
// the coefficients can tell (their own rounding and Horner's are a few each).
constexpr double kNoiseRoundings = 64.0;
// Most Newton steps per root; each step must lower |p|, so polishing stops well before.
constexpr int kMaxNewtonSteps = 40;
// Most halvings of a Newton step that does not lower |p|.
constexpr int kMaxHalvings = 4;
// A Newton step below this fraction of the root is the last: near a simple root the error left
// is about the square of the step, and a multiple root is not known better than this anyway.
constexpr double kLastStep = 1.5e-8;
// Relative distance from the real axis at which a real approximation that is no root starts
// again, in search of a complex pair.
constexpr double kOffAxis = 1e-3;
// Polished roots closer than this fraction of their magnitude may be one root found twice.
constexpr double kCloseRoots = 1e-3;
// Groups of roots this many binary orders of magnitude apart in size (2^10, about 1e3) are
// approximated apart.
constexpr double kSpreadBinades = 10.0;
// The depressed quartic's odd term counts as 0 below this fraction of the other terms at the
// sizes of the roots.
constexpr double kTinyOddTerm = 1e-6;

ComplexNumber Add(ComplexNumber a, ComplexNumber b) {
    return {a.re + b.re, a.im + b.im};
}

ComplexNumber Sub(ComplexNumber a, ComplexNumber b) {
    return {a.re - b.re, a.im - b.im};
}

ComplexNumber Scale(ComplexNumber a, double k) {
    return {a.re * k, a.im * k};
}

// A real radicand that is 0 up to rounding of the terms that formed it (magnitude scale) is
// taken as exactly 0. Without this, a value like -1e-17 from z^2 - R turns into an imaginary
// part of about 3e-9 that every root inherits, and real roots are reported as complex.
// With keepPositive set only a slightly negative radicand is clamped: the radicands under t1
// and t2 are the squared gaps of two roots, and zeroing a small positive one would merge two
// distinct real roots up to 1e-6 apart into a double root.
ComplexNumber ClampRealRadicand(ComplexNumber z, double scale, bool keepPositive = false) {
    if (z.im == 0.0 && (!keepPositive || z.re < 0.0) && std::fabs(z.re) <= 1e-12 * scale) {
        z.re = 0.0;
    }
    return z;
}

// A pair of roots (+-s +- t)/2 with the given product: the one of smaller magnitude is taken
// from the product and the larger one, since the sum or difference that gives it directly
// cancels when the two roots differ greatly in size.
void SteadyPair(ComplexNumber pair[2], ComplexNumber product) {
    const double size0 = pair[0].re * pair[0].re + pair[0].im * pair[0].im;
    const double size1 = pair[1].re * pair[1].re + pair[1].im * pair[1].im;
    const int large = size0 >= size1 ? 0 : 1;
    const ComplexNumber big = pair[large];
    if (big.re == 0.0 && big.im == 0.0) {
        return;
    }
    if (big.im == 0.0 && product.im == 0.0) {
        pair[1 - large] = {product.re / big.re, 0.0};
        return;
    }
    const double norm = big.re * big.re + big.im * big.im;
    pair[1 - large] = {(product.re * big.re + product.im * big.im) / norm,
                       (product.im * big.re - product.re * big.im) / norm};
}

double Max3(double a, double b, double c) {
    double m = a > b ? a : b;
    return m > c ? m : c;
}

// How well a root set fits x^4 + B x^3 + C x^2 + D x + E: the residual at its first root
// with an imaginary part of exactly 0 (Horner form). A set without such a root is judged by
// the complex residual at its root 0, so that of two all-complex sets the right one is kept
// (the other solves the quartic with the opposite odd term).
double SetResidual(const ComplexNumber set[4], double B, double C, double D, double E) {
    for (int n = 0; n < 4; ++n) {
        if (set[n].im == 0.0) {
            const double x = set[n].re;
            return std::fabs((((x + B) * x + C) * x + D) * x + E);
        }
    }
    const ComplexNumber x = set[0];
    ComplexNumber sum = {1.0, 0.0};
    for (const double coefficient : {B, C, D, E}) {
        sum = {sum.re * x.re - sum.im * x.im + coefficient, sum.re * x.im + sum.im * x.re};
    }
    return std::hypot(sum.re, sum.im);
}

// p(x) and p'(x) of c[0] x^n + c[1] x^(n-1) + ... + c[n] by Horner; T is double or Cx.
template <class T>
void Evaluate(const double* c, int n, T x, T* value, T* slope) {
    T p = c[0], dp = 0.0;
    for (int k = 1; k <= n; ++k) {
        dp = dp * x + p;
        p = p * x + c[k];
    }
    *value = p;
    *slope = dp;
}

double ValueAt(const double* c, int n, double x) {
    double p = 0.0, dp = 0.0;
    Evaluate(c, n, x, &p, &dp);
    return p;
}

// The rounding noise of p near a point of magnitude r: the sum of its terms' magnitudes there,
// times the roundings that the coefficients and the evaluation bring.
double Noise(const double* c, int n, double r) {
    double sum = 0.0;
    for (int k = 0; k <= n; ++k) {
        sum = sum * r + std::fabs(c[k]);
    }
    return kNoiseRoundings * kEpsilon * sum;
}

// p / dp without the special cases of the library's complex division (dp != 0).
Cx Divide(Cx p, Cx dp) {
    return p * std::conj(dp) / std::norm(dp);
}

double Divide(double p, double dp) {
    return p / dp;
}

// Newton steps from x while they lower |p| (a step that does not is halved, up to
// kMaxHalvings times: near a close pair of roots a full step overshoots both), until a step
// is below kLastStep of the root; *size gets |p| at the root returned. T is double (a
// real start stays real, the common case) or Cx.
template <class T>
T PolishInPlace(const double* c, int n, T x, double* size) {
    T p, dp;
    Evaluate(c, n, x, &p, &dp);
    for (int step = 0; step < kMaxNewtonSteps && std::norm(p) > 0.0 && std::norm(dp) > 0.0;
         ++step) {
        T move = Divide(p, dp), pNext, dpNext;
        bool lower = false;
        for (int halving = 0; halving <= kMaxHalvings && !lower; ++halving, move *= 0.5) {
            Evaluate(c, n, x - move, &pNext, &dpNext);
            lower = std::norm(pNext) < std::norm(p);
        }
        if (!lower) {
            break;
        }
        move *= 2.0;  // the step taken
        x -= move, p = pNext, dp = dpNext;
        if (std::norm(move) <= kLastStep * kLastStep * std::norm(x)) {
            break;
        }
    }
    *size = std::sqrt(std::norm(p));  // std::abs of a complex value calls the slower hypot
    return x;
}

Cx PolishRoot(const double* c, int n, Cx start, double* size) {
    if (start.imag() == 0.0) {
        return Cx(PolishInPlace(c, n, start.real(), size), 0.0);
    }
    return PolishInPlace(c, n, start, size);
}

Cx PolishRoot(const double* c, int n, Cx start) {
    double size = 0.0;
    return PolishRoot(c, n, start, &size);
}

// The first root k of the n that lies within kCloseRoots of an earlier one, or -1.
int FindCloseRoot(const Cx* z, int n) {
    for (int k = 1; k < n; ++k) {
        for (int j = 0; j < k; ++j) {
            const double larger = std::fmax(std::norm(z[k]), std::norm(z[j]));
            if (std::norm(z[k] - z[j]) <= kCloseRoots * kCloseRoots * larger) {
                return k;
            }
        }
    }
    return -1;
}

// Whether a root off the real axis by |im| is real as far as the coefficients can tell: p is
// at its rounding noise at its real part and at that part plus and minus |im| (a double real
// root split by rounding into a close pair; a simple real root that Newton has brought to
// within rounding of the axis). Three points, so that a complex pair whose real part happens
// to be another, real, root is not taken for real.
bool IsNumericallyReal(const double* c, int n, Cx root) {
    const double x = root.real(), h = std::fabs(root.imag());
    const double noise = Noise(c, n, std::fabs(x) + h);
    for (double at : {x, x - h, x + h}) {
        if (!(std::fabs(ValueAt(c, n, at)) <= noise)) {
            return false;
        }
    }
    return true;
}

// Polishes the n first approximations of the roots of c (degree n, c[0] != 0) with Newton
// steps on c itself, and decides which roots are real. A real approximation that reaches no
// root starts again off the axis; two roots drawn together are checked against the sum of the
// roots; roots that IsNumericallyReal accepts get an imaginary part of exactly 0; the others
// are paired into exact conjugates, and one left without a mate is real too. Roots that are
// not finite stay as they are.
void SettleRoots(const double* c, int n, ComplexNumber* roots) {
    Cx r[4];
    bool real[4];
    double side = 1.0;
    for (int k = 0; k < n; ++k) {
        double size = 0.0;
        r[k] = PolishRoot(c, n, Cx(roots[k].re, roots[k].im), &size);
        // A real approximation of a complex pair stops where |p| is least on the real axis,
        // short of any root: Newton from just off the axis finds the pair (the halves on
        // alternate sides; the pairing below makes them conjugates either way).
        const double x = r[k].real();
        if (r[k].imag() == 0.0 && !(size <= Noise(c, n, std::fabs(x)))) {
            double offSize = 0.0;
            const Cx z = PolishRoot(c, n, Cx(x, side * kOffAxis * std::fmax(std::fabs(x), 1e-300)),
                                    &offSize);
            if (offSize < size) {
                r[k] = z;
                side = -side;
            }
        }
    }
    // Two roots drawn together are a multiple root, or one simple root found twice and another
    // lost: the roots sum to -c[1]/c[0], which gives the lost one back (and a multiple root
    // again).
    const int twice = FindCloseRoot(r, n);
    if (twice >= 0) {
        Cx rest = -c[1] / c[0];
        for (int k = 0; k < n; ++k) {
            rest -= k == twice ? 0.0 : r[k];
        }
        r[twice] = PolishRoot(c, n, rest);
    }
    for (int k = 0; k < n; ++k) {
        real[k] = r[k].imag() == 0.0 || IsNumericallyReal(c, n, r[k]);
    }
    // Complex roots of a real polynomial come in conjugate pairs: each other root is paired
    // with the one nearest its mirror image in the real axis, if that lies nearer to the
    // mirror image than the root lies to the axis, and the two become exact conjugates. A root
    // without such a mate lies off the axis by rounding only, and is real.
    bool paired[4] = {};
    for (int k = 0; k < n; ++k) {
        if (real[k] || paired[k] || !std::isfinite(r[k].real()) || !std::isfinite(r[k].imag())) {
            continue;
        }
        const Cx mirror = std::conj(r[k]);
        int mate = -1;
        for (int j = k + 1; j < n; ++j) {
            if (!real[j] && !paired[j] &&
                (mate < 0 || std::norm(r[j] - mirror) < std::norm(r[mate] - mirror))) {
                mate = j;
            }
        }
        if (mate < 0 || !(std::norm(r[mate] - mirror) <= r[k].imag() * r[k].imag())) {
            real[k] = true;
            continue;
        }
        const double re = 0.5 * (r[k].real() + r[mate].real());
        const double im = 0.5 * (std::fabs(r[k].imag()) + std::fabs(r[mate].imag()));
        const double sign = r[k].imag() < 0.0 ? -1.0 : 1.0;
        r[k] = Cx(re, sign * im);
        r[mate] = Cx(re, -sign * im);
        paired[k] = paired[mate] = true;
    }
    for (int k = 0; k < n; ++k) {
        if (real[k] && r[k].imag() != 0.0) {
            r[k] = PolishRoot(c, n, Cx(r[k].real(), 0.0));
        }
    }
    for (int k = 0; k < n; ++k) {
        roots[k] = {r[k].real(), real[k] ? 0.0 : r[k].imag()};
    }
}

// The quadratic's roots without cancellation: the root of larger magnitude from the formula,
// the other from the product c/a. Roots in the order (sqrt(D) - p)/2, (-p - sqrt(D))/2.
void SolveQuadraticStably(double a, double b, double c, ComplexNumber roots[2]) {
    const double p = b / a;
    const double discriminant = p * p - 4.0 * c / a;
    if (discriminant < 0.0) {
        const double half = std::sqrt(-discriminant) / 2.0;
        roots[0] = {-p / 2.0, half};
        roots[1] = {-p / 2.0, -half};
        return;
    }
    const double root = std::sqrt(discriminant);
    double first = (root - p) / 2.0, second = (-p - root) / 2.0;
    if (p > 0.0 && second != 0.0) {
        first = (c / a) / second;
    } else if (p < 0.0 && first != 0.0) {
        second = (c / a) / first;
    }
    roots[0] = {first, 0.0};
    roots[1] = {second, 0.0};
}

// Where the roots of c (degree n, c[0] != 0) split into two groups of very different size, by
// the Newton polygon: the upper convex hull of the points (i, log|coefficient of x^i|) has an
// edge for each group of roots of about one size, minus the log of that size being its slope.
// (Binary exponents serve as the logs: the sizes need no more than a factor 2.) Returns the
// power k (1..n-1) at the hull vertex between the two adjacent groups furthest apart, when
// they lie at least kSpreadBinades apart: the n - k larger roots are then about those of
// the terms of x^n..x^k, the k smaller ones those of the terms of x^k..x^0. 0 for no split.
// The closed forms, whose rounding follows the largest roots, would lose the smaller ones.
int FindRootSizeGap(const double* c, int n) {
    int hull[5] = {};
    double height[5] = {};
    int count = 0;
    for (int i = 0; i <= n; ++i) {
        const double coefficient = c[n - i];  // of x^i
        if (coefficient == 0.0) {
            continue;
        }
        const double y = std::logb(coefficient);
        // Drop hull points on or below the line from the point before them to this one.
        while (count >= 2 && (hull[count - 1] - hull[count - 2]) * (y - height[count - 2]) >=
                                 (height[count - 1] - height[count - 2]) * (i - hull[count - 2])) {
            --count;
        }
        hull[count] = i;
        height[count] = y;
        ++count;
    }
    int split = 0;
    double widest = kSpreadBinades;
    for (int k = 1; k + 1 < count; ++k) {
        // Log sizes of the roots of the edges before and after vertex k.
        const double below = (height[k - 1] - height[k]) / (hull[k] - hull[k - 1]);
        const double above = (height[k] - height[k + 1]) / (hull[k + 1] - hull[k]);
        if (above - below >= widest) {
            widest = above - below;
            split = hull[k];
        }
    }
    return split;
}

// The n roots of c (degree n, c[0] != 0) by the closed forms, n <= 3.
void SolveSmallDegree(const double* c, int n, ComplexNumber* roots) {
    if (n == 1) {
        roots[0] = {-c[1] / c[0], 0.0};
    } else if (n == 2) {
        SolveQuadraticStably(c[0], c[1], c[2], roots);
    } else {
        SolveCubic(c[0], c[1], c[2], c[3], roots);
    }
}

// How far apart the roots of a x^2 + b x + c lie against their size: 0 for a double root, 1
// for a pair of opposite roots or a pair on a line through 0.
double PairSeparation(double a, double b, double c) {
    const double square = b * b, product = 4.0 * std::fabs(a * c);
    return square + product > 0.0 ? std::fabs(square - 4.0 * a * c) / (square + product) : 0.0;
}

// The quotient (n - m + 1 coefficients) of c (degree n) by a monic factor f (f[0] = 1, degree
// m), the remainder dropped. A factor holding the smallest roots of c is divided out from the
// leading term down, one holding the largest from the constant term up: the direction in which
// the division does not amplify rounding.
void DivideOut(const double* c, int n, const double* f, int m, bool largest, double* quotient) {
    const int last = n - m;
    if (!largest) {
        for (int i = 0; i <= last; ++i) {
            double q = c[i];
            for (int j = 1; j <= m && j <= i; ++j) {
                q -= f[j] * quotient[i - j];
            }
            quotient[i] = q;
        }
        return;
    }
    for (int i = n; i >= m; --i) {
        // c[i] = sum over j of f[j] quotient[i - j]; the terms with i - j > last are 0.
        double q = c[i];
        for (int j = 0; j < m; ++j) {
            q -= i - j <= last ? f[j] * quotient[i - j] : 0.0;
        }
        quotient[i - m] = q / f[m];
    }
}

// First approximations for c (degree n) whose roots split into two groups of very different
// size at power k (FindRootSizeGap). The terms of x^n..x^k alone give the n - k larger roots,
// those of x^k..x^0 the k smaller, each to about the ratio of the group sizes; that is too
// coarse for two close roots, which could come out complex instead of real. So one group is
// taken from its terms and polished on c: a single root, or of two pairs the one whose roots
// lie further apart. It is divided out of c, and the quotient gives the other group.
void SolveRootGroups(const double* c, int n, int k, ComplexNumber* roots) {
    const int upper = n - k;
    // Only a quartic can split into two pairs (upper == k == 2).
    const bool largeFirst = upper == 1 || (k != 1 && PairSeparation(c[0], c[1], c[2]) >=
                                                         PairSeparation(c[2], c[3], c[4]));
    const int m = largeFirst ? upper : k;
    ComplexNumber* first = largeFirst ? roots : roots + upper;
    ComplexNumber* rest = largeFirst ? roots + upper : roots;
    SolveSmallDegree(largeFirst ? c : c + upper, m, first);
    Cx found[2];
    for (int j = 0; j < m; ++j) {
        found[j] = PolishRoot(c, n, Cx(first[j].re, first[j].im));
        first[j] = {found[j].real(), found[j].imag()};
    }
    double factor[3] = {1.0, -found[0].real(), 0.0};
    if (m == 2) {
        factor[1] = -(found[0] + found[1]).real();
        factor[2] = (found[0] * found[1]).real();
    }
    double quotient[4] = {};
    DivideOut(c, n, factor, m, largeFirst, quotient);
    if (quotient[0] != 0.0 && std::isfinite(quotient[0])) {
        SolveSmallDegree(quotient, n - m, rest);
    } else {
        SolveSmallDegree(largeFirst ? c + upper : c, n - m, rest);
    }
}

// The first approximation of a cubic's roots (a != 0), by Cardano's formulas.
void SolveCubicByCardano(double a, double b, double c, double d, ComplexNumber roots[3]) {
    const double p = b / a;
    const double q = c / a;
    const double r = d / a;
    roots[0].im = roots[1].im = roots[2].im = 0.0;
    if (r == 0.0) {
        roots[0].re = 0.0;
        SolveQuadratic(1.0, p, q, roots + 1);
        return;
    }
    const double Q = (3.0 * q - p * p) / 9.0;
    const double R = (2.0 * p * p * p - 9.0 * p * q + 27.0 * r) / 54.0;
    const double D = R * R + Q * Q * Q;
    const double shift = p / 3.0;
    if (D == 0.0) {
        const double s = std::cbrt(-R);
        roots[0].re = 2.0 * s - shift;
        roots[1].re = -s - shift;
        roots[2].re = -s - shift;
    } else if (D < 0.0) {
        // Three real roots. Q < 0 here; the cosine argument can leave [-1, 1] by rounding.
        const double cosine = ClampToUnitRange(-R / std::sqrt(-(Q * Q * Q)));
        const double theta = std::acos(cosine) / 3.0;
        const double k = 2.0 * std::sqrt(-Q);
        roots[0].re = k * std::cos(theta) - shift;
        roots[1].re = -k * std::cos(theta + M_PI / 3.0) - shift;
        roots[2].re = -k * std::cos(theta - M_PI / 3.0) - shift;
    } else {
        const double root = std::sqrt(D);
        const double s1 = std::cbrt(root - R);
        const double s2 = std::cbrt(-R - root);
        roots[0].re = s1 + s2 - shift;
        roots[1].re = -(s1 + s2) / 2.0 - shift;
        roots[2].re = roots[1].re;
        roots[1].im = std::sqrt(3.0) / 2.0 * (s1 - s2);
        roots[2].im = -roots[1].im;
    }
}

// The first approximation of a quartic's roots (a != 0), by Ferrari's method; a depressed
// quartic without odd term (or with one at rounding noise) is solved as a quadratic in y^2.
void SolveQuarticByFerrari(double a, double b, double c, double d, double e,
                           ComplexNumber roots[4]) {
    // Normalise and depress: x = y - B/4 gives y^4 + P y^2 + Q y + R.
    const double B = b / a, C = c / a, Dd = d / a, E = e / a;
    const double B2 = B * B;
    const double P = C - 3.0 * B2 / 8.0;
    const double Q = (B2 / 8.0 - C / 2.0) * B + Dd;
    const double R = ((C / 16.0 - 3.0 * B2 / 256.0) * B - Dd / 4.0) * B + E;
    const double shift = -B / 4.0;

    // Biquadratic: y^2 = v for the two roots v of v^2 + P v + R, when the odd term Q y is
    // negligible against the others at both root sizes |y| = sqrt|v|, or is rounding noise.
    // Ferrari's factors degenerate there (their square root s is 0 up to rounding) and lose a
    // real pair.
    ComplexNumber v[2];
    SolveQuadraticStably(1.0, P, R, v);
    bool biquadratic =
        std::fabs(Q) <=
        8.0 * kEpsilon * (std::fabs(B2 * B) / 8.0 + std::fabs(C * B) / 2.0 + std::fabs(Dd));
    if (!biquadratic) {
        biquadratic = true;
        for (const ComplexNumber& root : v) {
            const double size = std::hypot(root.re, root.im);  // |y|^2
            const double terms = size * size + std::fabs(P) * size + std::fabs(R);
            biquadratic = biquadratic && std::fabs(Q) * std::sqrt(size) <= kTinyOddTerm * terms;
        }
    }
    if (biquadratic) {
        for (int k = 0; k < 2; ++k) {
            const ComplexNumber y = ComplexSqrt(v[k]);
            roots[2 * k] = {shift + y.re, y.im};
            roots[2 * k + 1] = {shift - y.re, -y.im};
        }
        return;
    }

    // One root of the resolvent cubic z^3 - (P/2) z^2 - R z + (4PR - Q^2)/8.
    ComplexNumber zc;
    const double constant = (4.0 * P * R - Q * Q) / 8.0;
    if (constant != 0.0) {
        ComplexNumber resolvent[3];
        SolveCubicByCardano(1.0, -P / 2.0, -R, constant, resolvent);
        zc = resolvent[0];
    }
    const double z = zc.re;

    // The square roots of Ferrari's two quadratic factors.
    const ComplexNumber u =
        ClampRealRadicand({2.0 * z - P, 0.0}, Max3(2.0 * std::fabs(z), std::fabs(P), 0.0));
    const ComplexNumber s = ComplexSqrt(u);
    const ComplexNumber w =
        ComplexSqrt(ClampRealRadicand({z * z - R, 0.0}, Max3(z * z, std::fabs(R), 0.0)));
    const ComplexNumber zw1 = Scale(Add(zc, w), 4.0);
    const ComplexNumber zw2 = Scale(Sub(zc, w), 4.0);
    const double termScale =
        Max3(std::fabs(u.re), 4.0 * std::hypot(zc.re, zc.im), 4.0 * std::hypot(w.re, w.im));
    const ComplexNumber radicand1 = ClampRealRadicand(Sub(u, zw1), termScale, true);
    const ComplexNumber radicand2 = ClampRealRadicand(Sub(u, zw2), termScale, true);
    const ComplexNumber t1 = ComplexSqrt(radicand1);
    const ComplexNumber t2 = ComplexSqrt(radicand2);
    // Each set pairs its roots as (+-s +- t)/2; the two of a pair multiply to (s^2 - t^2)/4.
    const ComplexNumber product1 = Scale(Sub(u, radicand1), 0.25);
    const ComplexNumber product2 = Scale(Sub(u, radicand2), 0.25);

    // The first set.
    ComplexNumber first[4] = {Scale(Add(s, t1), 0.5), Scale(Sub(s, t1), 0.5),
                              Scale(Sub(t2, s), 0.5), Scale(Sub(Scale(s, -1.0), t2), 0.5)};
    SteadyPair(first, product1);
    SteadyPair(first + 2, product2);
    for (ComplexNumber& root : first) {
        root.re += shift;
    }
    // Accept it when its first real root fits to the double epsilon.
    const double firstResidual = SetResidual(first, B, C, Dd, E);
    const ComplexNumber* chosen = first;
    ComplexNumber second[4];
    if (!(firstResidual <= kQuarticAcceptResidual)) {
        // The second set, with -s in place of s; it replaces the first only when its first
        // real root fits better (a tie keeps the first set).
        const ComplexNumber ms = Scale(s, -1.0);
        second[0] = Scale(Add(ms, t1), 0.5);
        second[1] = Scale(Sub(ms, t1), 0.5);
        second[2] = Scale(Add(t2, s), 0.5);
        second[3] = Scale(Sub(s, t2), 0.5);
        SteadyPair(second, product1);
        SteadyPair(second + 2, product2);
        for (ComplexNumber& root : second) {
            root.re += shift;
        }
        const double secondResidual = SetResidual(second, B, C, Dd, E);
        if (secondResidual <= kQuarticAcceptResidual || firstResidual > secondResidual) {
            chosen = second;
        }
    }
    for (int n = 0; n < 4; ++n) {
        roots[n] = chosen[n];
    }
}

}  // namespace

ComplexNumber ComplexSqrt(ComplexNumber z) {
    const double modulus = std::hypot(z.re, z.im);
    ComplexNumber r;
    r.re = std::sqrt((modulus + z.re) / 2.0);
    const double im = std::sqrt((modulus - z.re) / 2.0);
    r.im = im == 0.0 ? 0.0 : (z.im > 0.0 ? im : -im);
    return r;
}

void SolveQuadratic(double a, double b, double c, ComplexNumber roots[2]) {
    if (a == 0.0) {
        roots[0] = {b == 0.0 ? 0.0 : -c / b, 0.0};
        return;
    }
    SolveQuadraticStably(a, b, c, roots);
}

void SolveCubic(double a, double b, double c, double d, ComplexNumber roots[3]) {
    if (a == 0.0) {
        SolveQuadratic(b, c, d, roots);
        return;
    }
    // First approximation: roots of very different sizes (a negligible leading coefficient
    // gives one far beyond the others) group by group, else by Cardano's formulas.
    const double coefficients[4] = {a, b, c, d};
    const int gap = FindRootSizeGap(coefficients, 3);
    if (gap > 0) {
        SolveRootGroups(coefficients, 3, gap, roots);
    } else {
        SolveCubicByCardano(a, b, c, d, roots);
    }
    SettleRoots(coefficients, 3, roots);
    // Root 0 is real: a cubic has at least one real root.
    if (roots[0].im != 0.0) {
        const int real = roots[1].im == 0.0 ? 1 : 2;
        const ComplexNumber swap = roots[0];
        roots[0] = roots[real];
        roots[real] = swap;
    }
}

void SolveQuartic(double a, double b, double c, double d, double e, ComplexNumber roots[4]) {
    // 1. Degree below four.
    if (a == 0.0) {
        SolveCubic(b, c, d, e, roots);
        return;
    }
    // 2. First approximation: a root 0 divided out exactly; roots of very different sizes (a
    // negligible leading coefficient gives one far beyond the others) group by group; else
    // Ferrari's method.
    const double coefficients[5] = {a, b, c, d, e};
    const int gap = FindRootSizeGap(coefficients, 4);
    if (e == 0.0) {
        roots[3] = {0.0, 0.0};
        SolveCubic(a, b, c, d, roots);
    } else if (gap > 0) {
        SolveRootGroups(coefficients, 4, gap, roots);
    } else {
        SolveQuarticByFerrari(a, b, c, d, e, roots);
    }
    // 3. Polish on the original quartic and decide which roots are real.
    SettleRoots(coefficients, 4, roots);
}

}  // namespace mirexa
