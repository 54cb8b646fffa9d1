%
(G43.4 with H1 on a head-head machine, then G49: the trace goes on from where the machine stands)
G90 G00 X0 Y0 Z100. C0 A0
G43.4 H1
G01 X10. Y0 Z0 C90. A30. F1000.
X20.
G49
G00 Z150.
X0
M30
%
