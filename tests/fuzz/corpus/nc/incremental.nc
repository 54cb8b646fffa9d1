(Absolute and incremental words; decimal codes not listed are ignored, never read as G90 or G91.)
G90 G00 X10. Y10. Z5.
G91 G01 X5. F200.
Y-2.5 Z-1.
G90 X0
(G91.1 is an unknown code: the next words stay absolute.)
G90 G91.1 X20. Y20.
X30.
(G90.1 under G91 keeps the incremental mode.)
G91 G90.1 X1.
X1.
G90
(Values without a decimal point count in thousandths.)
X1000 Y-250
M30
