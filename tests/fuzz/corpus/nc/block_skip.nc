(Optional block skip: switches / and /3 are on; only the first column counts.)
G90 G01 F10.
/3 X1.
/ X2.
/5 X3.
X4. /Y9.
/0 Y5.
Y6.
