(A 20 x 20 square run clockwise with G41 D01, radius 5: the tool runs outside. Corner moves)
(carry their element's line negated; the square's offset corners lie at -5 and 25.)
G90 G17 G00 X-10. Y-10. Z0
G01 Z-2. F100.
G41 D01 X0 Y0
Y20.
X20.
Y0
X0
G40 X-10. Y-10.
M30
