(G28 through an intermediate point to reference point 1, G30 P2 to point 2, G29 back.)
G90 G00 X10. Y20. Z30.
G91 G28 Z0
G90 G30 P2 X0 Y0
G29 X5. Y5.
