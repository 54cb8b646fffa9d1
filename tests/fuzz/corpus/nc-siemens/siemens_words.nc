; SIEMENS words: ";" comments, machine coordinates by SUPA, TRAORI before a move, a CYCLE800
; that turns the plane 90 deg about Z (the moves stay in plane coordinates) and its reset list.
G90 G01 F100 ; feed X99
X10. Y5.
SUPA Z-10.
X20. ; T="NONE"
TRAORI
X30.
CYCLE800(0,"TABLE",200000,57,0,0,0,0,0,90,0,0,0,-1,100)
X40.
CYCLE800()
X50.
