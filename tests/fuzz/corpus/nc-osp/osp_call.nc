(A subprogram called from memory by CALL O and left by RTS; the cycle returns to the separate)
(level that G71 sets under M53.)
G90 G01 F100
CALL O100
X5.
G71 Z20.
M53
G81 X10. Y0 Z-5. R2. F50
G80
M02
O100
X1.
Y1.
RTS
