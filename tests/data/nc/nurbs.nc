(NURBS moves: a weighted quadrant and a cubic Bezier, both stepped by knot span.)
G90 G17 G00 X10. Y0 Z0
G01 F200.
(Radius 10 about the origin, weights 1, 0.7071, 1: the middle of the span is X7.0711 Y7.0711.)
G06.2 P3 K0. X10. Y0 R1.
K0. X10. Y10. R0.70710678
K0. X0 Y10. R1.
K1.
K1.
K1.
(A cubic Bezier written with G132 and Q knots: its middle is P0 + 3 P1 + 3 P2 + P3 over 8, X-7.5 Y15 Z-3.)
G132 P4 Q0. X0 Y10. Z0 F150.
Q0. X-10. Y10. Z-2.
Q0. X-10. Y20. Z-4.
Q0. X0 Y20. Z-6.
Q1.
Q1.
Q1.
Q1.
(After a curve a block without a motion code is a rapid.)
X0 Y0 Z5.
M30
