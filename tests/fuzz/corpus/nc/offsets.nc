(Length offsets from the controller's memory: G43 H1 and H1 G43 give the same length.)
G90 G00 X0 Y0 Z0
G43 H1 Z10.
G49 Z10.
H1 G43 Z10.
G49 Z10.
(G10 with memory type C: L10 sets the H offset, L11 its wear.)
G10 L10 P2 R50.
G10 L11 P2 R-0.5
G43 H2 Z10.
G49
(Work offsets from the controller's memory.)
G55 X0 Y0
G54 X0 Y0
