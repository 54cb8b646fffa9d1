(A Z-only block between two XY moves under G41 D01: it is handed out after the first XY move's)
(compensated end, at its own feed; the outer corner moves after it run at the new depth and at)
(the feed of the element after the corner.)
G90 G17 G00 X-10. Y0 Z0
G01 F100.
G41 D01 X0 Y0
X20.
Z-3. F40.
Y-20. F80.
X0
G40 X-10.
