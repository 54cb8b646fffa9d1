(G10.9 X1 and G123.1 take X as a diameter, G10.9 X0 and G122.1 as a radius.)
G90 G01 F100
X20. Y0
G10.9 X1
X20. Y5.
G122.1
X20. Y10.
G123.1 X30.
G10.9 X0
X30.
T1 T0
