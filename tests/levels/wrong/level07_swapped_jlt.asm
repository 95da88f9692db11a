; r2 < r1 is r1 > r2: equal values give 0
sub r0 r2 r1
jlt r0 r0 atleast
hlt
label atleast
addi r3 r0 1
hlt
