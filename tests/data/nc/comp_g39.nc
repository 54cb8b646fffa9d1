(G39 makes the next outer corner a true arc of radius 5 about the programmed corner; the corner)
(after it without G39 is closed by tangent extensions again.)
G90 G17 G00 X-10. Y-10. Z0
G01 F100.
G41 D01 X0 Y0
Y20.
G39
X20.
Y0
X0
G40 X-10. Y-10.
