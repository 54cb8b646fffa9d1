(Subprograms from memory, nested four deep; a fifth call is refused.)
(M98 P calls, P M98 does not: the P before the M is a dwell.)
(M30 ends the program here only because the controller runs it from memory.)
G90 G01 F10.
M98 P1
P2 M98
M30
O1
X1.
M98 P2
X11.
M99
O2
X2.
M98 P3
M99
O3
X3.
M98 P4
M99
O4
X4.
M98 P1 Y4.
M99
