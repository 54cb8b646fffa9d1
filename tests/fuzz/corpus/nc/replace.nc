(Replacements: the controller turns "AB" into "X", deletes "#" and doubles "Y".)
G90 G01 F10.
AB5.
(G01 #Y1. becomes G01 YY1.: the first Y has no value and reads as Y0, then Y1.)
G01 #Y1.
(AB6.AB becomes X6.X: the second X has no value and reads as X0.)
AB6.AB
