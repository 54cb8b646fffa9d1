(Blocks without motion inside the compensation: a dwell, spindle words, a comment and a repeated)
(position are passed over; the inner corner joins the elements on either side of them.)
G90 G17 G00 X-10. Y0 Z0
G01 F100.
G41 D01 X0 Y0
X20.
G04 P500
M05
(A comment line)
S1000 M03
X20. Y0
Y20.
G40 X-10.
