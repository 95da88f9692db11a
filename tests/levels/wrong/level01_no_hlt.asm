; no hlt: the run ends on the zero word after the program
add r3 r1 r2
