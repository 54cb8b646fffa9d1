(A slot pocket with ends of radius 10 and a tool of radius 5 inside it: each offset end arc)
(has half the programmed radius and runs at half the feed; the straight sides keep it.)
G90 G17 G00 X0 Y0 Z0
G01 F200.
G41 D01 X0 Y-10.
X20.
G03 X20. Y10. R10.
G01 X0
G03 X0 Y-10. R10.
G40 G01 X10.
