(Collinear lines under G42 D01, radius 5: they meet at their common offset point, so no)
(corner moves are made between them. The left turn at X35 is an outer corner for the tool on)
(the right: two moves with the next line negated close it.)
G90 G17 G00 X-10. Y0 Z0
G01 F100.
G42 D01 X0 Y0
X10.
X20.
X35.
X35. Y10.
Y20.
G40 X50.
