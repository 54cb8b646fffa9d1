(The square of comp_square mirrored in X and run the other way with G42 D01: the trace is)
(comp_square's mirrored in X.)
G90 G17 G00 X10. Y-10. Z0
G01 Z-2. F100.
G42 D01 X0 Y0
Y20.
X-20.
Y0
X0
G40 X10. Y-10.
M30
