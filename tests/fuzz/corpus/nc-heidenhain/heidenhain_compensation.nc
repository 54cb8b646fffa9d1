0 BEGIN PGM COMP MM
1 ; A 20 x 20 square run clockwise with RL: the radius is D1 (5) plus the tool call's DR (1), so
2 ; the offset corners lie at -6 and 26; R0 cancels.
3 TOOL CALL 1 Z S2000 DR+1
4 L X-10 Y-10 Z+0 R0 FMAX
5 L Z-2 F100
6 L X+0 Y+0 RL
7 L Y+20
8 L X+20
9 L Y+0
10 L X+0
11 L X-10 Y-10 R0
12 END PGM COMP MM
