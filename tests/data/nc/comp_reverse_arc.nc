(A concave arc of radius 3 with a tool of radius 5: the offset arc would turn inside out, and)
(with CHECK REVERSE ARC the run stops cleanly with error 6 before the arc.)
G90 G17 G00 X0 Y0 Z0
G01 F100.
G41 D01 X0 Y-3.
X20.
G03 X20. Y3. R3.
G01 X0
G40 X0 Y0
