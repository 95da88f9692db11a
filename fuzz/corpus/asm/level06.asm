; r3 = 1 when r1 > r2
sub r0 r1 r2       ; only the flags stay
jgt r0 r0 greater
hlt
label greater
addi r3 r0 1
hlt
