óT1N10 G1 X10 Y-5.5 (DRILL  2 mm)	Z1
n20 g0 x5 y5
N30 T2 M6 'tool

