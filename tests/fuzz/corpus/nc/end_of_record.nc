(Lines before the first % are passed over; the second % ends the program.)
G00 X99.
%
G90 G00 X1.
 %
G00 X98.
