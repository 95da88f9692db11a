; jge also jumps when r1 = r2
sub r0 r1 r2
jge r0 r0 greater
hlt
label greater
addi r3 r0 1
hlt
