(ONLY G40 RESET: a G40 block without motion takes the tool back onto the programmed point at)
(once; the Z retract and the rapid after it run without compensation.)
G90 G17 G00 X-10. Y0 Z0
G01 F100.
G41 D01 X0 Y0
X20.
Y20.
X0
G40
G00 Z10.
X-10. Y0
