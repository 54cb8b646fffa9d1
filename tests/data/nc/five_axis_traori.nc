; TRAORI on a head-head machine, then TRAFOOF: the trace goes on from where the machine stands
G90 G00 X0 Y0 Z100. C0 A0
TRAORI
G01 X10. Y0 Z0 C90. A30. F1000.
X20.
TRAFOOF
G00 Z150.
X0
M30
