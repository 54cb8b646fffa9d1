(Subprogram files by name and by number, nested four deep.)
(A fifth level and missing files are ignored and the calling level goes on.)
G90 G01 F50.
M98<SUB1>
M98<1234> X5.
M198 P100
M198 P999 X6.
X9.
M30
