// Roots of polynomials up to degree four, with complex roots. The quadratic formula, Cardano's
// cubic and Ferrari's quartic give first approximations; the cubic and quartic roots are then
// polished by Newton steps on the polynomial as given, and a root counts as real (imaginary part
// exactly 0) when the polynomial is zero within its rounding there. The tool-shape
// intersections keep the roots whose imaginary part is exactly 0.
#pragma once

namespace mirexa {

struct ComplexNumber {
    double re = {};
    double im = {};
};

// Principal-style square root: real part sqrt((|z| + x) / 2), imaginary part
// sqrt((|z| - x) / 2), positive when y > 0 and negative when y < 0. A real radicand gives an
// imaginary part of exactly +0 for x >= 0 and a negative one for x < 0.
ComplexNumber ComplexSqrt(ComplexNumber z);

// Roots of a*x^2 + b*x + c, in the order (sqrt(D) - p)/2, (-p - sqrt(D))/2 (p = b/a,
// D = p^2 - 4c/a); of two real roots the smaller in magnitude comes from their product c/a, free
// of cancellation. With a = 0 only roots[0] is written (-c/b, or 0 when b is 0 too); roots[1]
// keeps what the caller put there. Real roots have an imaginary part of exactly 0.
void SolveQuadratic(double a, double b, double c, ComplexNumber roots[2]);

// Roots of a*x^3 + b*x^2 + c*x + d. Root 0 is always real (for a != 0). With a = 0 the
// quadratic b, c, d is solved and the roots it does not write keep their old values.
// Roots of very different sizes (a leading or constant coefficient negligible against the
// others) are approximated group by group; then every root is polished and judged as below.
void SolveCubic(double a, double b, double c, double d, ComplexNumber roots[3]);

// Roots of a*x^4 + b*x^3 + c*x^2 + d*x + e. First approximations: a root 0 is divided out
// exactly; roots of very different sizes (a negligible leading or constant coefficient) are
// found group by group; a quartic whose depressed form has no odd term (up to rounding) is
// solved as a quadratic in the square; otherwise Ferrari's method. Every root is then polished
// by Newton steps on the quartic as given. A root is real, with an imaginary part of exactly
// 0, when the quartic is zero within its rounding there (a double root split into a close
// pair by rounding is real); complex roots come as exact conjugate pairs. With a = 0 the cubic
// b, c, d, e is solved (roots it does not write keep their old values).
void SolveQuartic(double a, double b, double c, double d, double e, ComplexNumber roots[4]);

// Largest residual |x^4 + B x^3 + C x^2 + D x + E| at which Ferrari's first root set is taken
// without trying the second (the double epsilon).
inline constexpr double kQuarticAcceptResidual = 2.220446049250313e-16;

}  // namespace mirexa
