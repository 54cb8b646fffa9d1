(Arcs by R of both signs and by centre offsets in the three planes, from hand-worked centres.)
G90 G17 G00 X0 Y0 Z0
G01 F100.
(From the origin, R10 to X10 Y10: centre X10 Y0, a quarter turn.)
G02 X10. Y10. R10.
(Back by R-10 counter-clockwise: the long way, centre X0 Y10, three quarters.)
G03 X0 Y0 R-10.
(The same words by G03 and R+10: centre X0 Y10, a quarter.)
G03 X10. Y10. R10.
(Half circle by R5 to X20 Y10: centre X15 Y10.)
G02 X20. Y10. R5.
(Full circle by I and J: centre X15 Y10.)
G03 X20. Y10. I-5. J0
(The same circle by I and J alone: a whole circle names no axis, yet it moves.)
G03 I-5. J0
(R back to the start gives no circle: sweep 0.)
G02 X20. Y10. R5.
(G18: from X20 Z0 to X10 Z10 by R10, clockwise seen from +Y: centre X10 Z0.)
G18 G02 X10. Z10. R10.
(G18 by I K: centre X10 Z5, half circle.)
G03 X10. Z0 I0 K-5.
(G19: from Y10 Z0 to Y20 Z10 by R10: centre Y20 Z0.)
G19 G02 Y20. Z10. R10.
(G19 by J K, counter-clockwise quarter to Y30 Z0: centre Y30 Z10.)
G03 Y30. Z0 J10. K0
(A helix in G17: the centre keeps the start height.)
G17 G02 X10. Y40. Z-5. I0 J5.
M30
