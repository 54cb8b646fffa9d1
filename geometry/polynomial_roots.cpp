// Quadratic, cubic and quartic root solvers with complex roots.
#include "geometry/polynomial_roots.h"

#include <cmath>
#include <initializer_list>

#include "geometry/vector_math.h"

namespace mirexa {

namespace {

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
    const double p = b / a;
    const double discriminant = p * p - 4.0 * c / a;
    if (discriminant < 0.0) {
        const double half = std::sqrt(-discriminant) / 2.0;
        roots[0] = {-p / 2.0, half};
        roots[1] = {-p / 2.0, -half};
    } else {
        const double root = std::sqrt(discriminant);
        roots[0] = {(root - p) / 2.0, 0.0};
        roots[1] = {(-p - root) / 2.0, 0.0};
    }
}

void SolveCubic(double a, double b, double c, double d, ComplexNumber roots[3]) {
    if (a == 0.0) {
        SolveQuadratic(b, c, d, roots);
        return;
    }
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

void SolveQuartic(double a, double b, double c, double d, double e, ComplexNumber roots[4]) {
    // 1. Degree below four.
    if (a == 0.0) {
        SolveCubic(b, c, d, e, roots);
        return;
    }
    // 2. Normalise and depress: x = y - B/4 gives y^4 + P y^2 + Q y + R.
    const double B = b / a, C = c / a, Dd = d / a, E = e / a;
    const double B2 = B * B;
    const double P = C - 3.0 * B2 / 8.0;
    const double Q = (B2 / 8.0 - C / 2.0) * B + Dd;
    const double R = ((C / 16.0 - 3.0 * B2 / 256.0) * B - Dd / 4.0) * B + E;

    // 3. One root of the resolvent cubic z^3 - (P/2) z^2 - R z + (4PR - Q^2)/8.
    ComplexNumber zc;
    const double constant = (4.0 * P * R - Q * Q) / 8.0;
    if (constant != 0.0) {
        ComplexNumber resolvent[3];
        SolveCubic(1.0, -P / 2.0, -R, constant, resolvent);
        zc = resolvent[0];
    }
    const double z = zc.re;

    // 4. The square roots of Ferrari's two quadratic factors.
    const ComplexNumber u =
        ClampRealRadicand({2.0 * z - P, 0.0}, Max3(2.0 * std::fabs(z), std::fabs(P), 0.0));
    const ComplexNumber s = ComplexSqrt(u);
    const ComplexNumber w =
        ComplexSqrt(ClampRealRadicand({z * z - R, 0.0}, Max3(z * z, std::fabs(R), 0.0)));
    const ComplexNumber zw1 = Scale(Add(zc, w), 4.0);
    const ComplexNumber zw2 = Scale(Sub(zc, w), 4.0);
    const double termScale =
        Max3(std::fabs(u.re), 4.0 * std::hypot(zc.re, zc.im), 4.0 * std::hypot(w.re, w.im));
    const ComplexNumber t1 = ComplexSqrt(ClampRealRadicand(Sub(u, zw1), termScale, true));
    const ComplexNumber t2 = ComplexSqrt(ClampRealRadicand(Sub(u, zw2), termScale, true));

    // 5. The first set.
    const double shift = -B / 4.0;
    ComplexNumber first[4] = {Scale(Add(s, t1), 0.5), Scale(Sub(s, t1), 0.5),
                              Scale(Sub(t2, s), 0.5), Scale(Sub(Scale(s, -1.0), t2), 0.5)};
    for (ComplexNumber& root : first) {
        root.re += shift;
    }
    // 6. Accept it when its first real root fits to the double epsilon.
    const double firstResidual = SetResidual(first, B, C, Dd, E);
    const ComplexNumber* chosen = first;
    ComplexNumber second[4];
    if (!(firstResidual <= kQuarticAcceptResidual)) {
        // 7. The second set, with -s in place of s; it replaces the first only when its first
        // real root fits better (a tie keeps the first set).
        const ComplexNumber ms = Scale(s, -1.0);
        second[0] = Scale(Add(ms, t1), 0.5);
        second[1] = Scale(Sub(ms, t1), 0.5);
        second[2] = Scale(Add(t2, s), 0.5);
        second[3] = Scale(Sub(s, t2), 0.5);
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

}  // namespace mirexa
