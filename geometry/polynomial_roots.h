// Roots of polynomials up to degree four, with complex roots: the quadratic formula, Cardano's
// cubic and Ferrari's quartic. The tool-shape intersections keep the roots whose imaginary
// part is exactly 0.
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

// Roots of a*x^2 + b*x + c. With a = 0 only roots[0] is written (-c/b, or 0 when b is 0 too);
// roots[1] keeps what the caller put there. Real roots have an imaginary part of exactly 0.
void SolveQuadratic(double a, double b, double c, ComplexNumber roots[2]);

// Roots of a*x^3 + b*x^2 + c*x + d. Root 0 is always real (for a != 0). With a = 0 the
// quadratic b, c, d is solved and the roots it does not write keep their old values.
void SolveCubic(double a, double b, double c, double d, ComplexNumber roots[3]);

// Roots of a*x^4 + b*x^3 + c*x^2 + d*x + e by Ferrari's method. A real root has an imaginary
// part of exactly 0. With a = 0 the cubic b, c, d, e is solved (roots it does not write keep
// their old values).
void SolveQuartic(double a, double b, double c, double d, double e, ComplexNumber roots[4]);

// Largest residual |x^4 + B x^3 + C x^2 + D x + E| at which a quartic root set is accepted at
// once (the double epsilon).
inline constexpr double kQuarticAcceptResidual = 2.220446049250313e-16;

}  // namespace mirexa
