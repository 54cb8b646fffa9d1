(Work offsets set by G10 and selected by G54 to G59 and G54.1; G92, G52 and G53.)
G90 G00 X0 Y0 Z0
G10 L2 P1 X100. Y50.
G10 L2 P2 X200. Y-50. Z-10.
G10 L20 P3 X-100.
(G54: entry 1 becomes current, the program position is re-based.)
G54
X10. Y10.
G55
X10. Y10.
G54.1 P3
X10. Y10.
(Incremental G10 adds to the entry; the current entry moves the origin at once.)
G91 G10 L20 P3 X5.
G90 X10.
G54
(G92 X0 Y0 at X10 Y10: the origin moves by X10 Y10.)
X10. Y10.
G92 X0 Y0
X5.
(G52 shifts the current entry by X20.)
G52 X20.
X5.
G52 X0
X5.
(G53 is given in machine coordinates for its block only.)
G53 X0 Y0
X5.
(An external offset moves every entry.)
G10 L2 P0 Z1.
X6.
M30
