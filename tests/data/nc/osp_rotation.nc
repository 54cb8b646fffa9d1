(G127 in the G138 mode turns the moves about Y through the origin by the B angle, without a)
(move of its own; G126 cancels the turn. G119 on this milling machine takes the ZX plane, so)
(the arc turns about Y.)
G90 G01 X10. Y0 Z5. F100
G138
G127 B90.
G01 X10. Y0 Z0
G126
G01 X20. Y0 Z0
G119
G02 X0 Z-20. I-20. K0
M02
