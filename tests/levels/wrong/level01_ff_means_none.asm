; r2 = FF taken for "nothing to add": r3 = r1
addi r0 r2 1
jeq r0 r0 none
add r3 r1 r2
hlt
label none
add r3 r1 r0
hlt
