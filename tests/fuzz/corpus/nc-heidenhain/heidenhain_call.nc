0 BEGIN PGM MAIN MM
1 ; CALL PGM opens the file beside the program (found without regard to case); its END PGM
2 ; returns here. A program that cannot be opened is no call.
3 L X+0 Y+0 Z+0 R0 FMAX
4 CALL PGM hsub.h
5 L Y+5 F200
6 CALL PGM NOSUCH.H
7 CALL PGM HSUB.H
8 END PGM MAIN MM
