; r2 <= r1 is r1 >= r2, not r1 > r2
sub r0 r2 r1
jle r0 r0 greater
hlt
label greater
addi r3 r0 1
hlt
