0 BEGIN PGM CONTOUR MM
1 ; Straight lines, a circle about CC, polar blocks about the same pole; ";" and "*" end a block.
2 BLK FORM 0.1 Z X+0 Y+0 Z-20
3 TOOL CALL 1 Z S3000 DL+0.1 DR-0.05
4 L Z+50 R0 FMAX
5 L X+10 Y+0 F200 ; X+99 is a comment
6 CC X+0 Y+0
7 C X+0 Y+10 DR+ * X+77
8 LP PR+10 PA+180
9 CP IPA-90 DR-
10 L IX+5 IY-10 R0 FMAX
11 CP IPA+360 IZ-2 DR+
12 ; a block without motion after a circle makes no circle
13 L Z+100 R0 FMAX
14 END PGM CONTOUR MM
15 L X+500
