; r1 = 1 taken as "r3 = r1" instead of r3 = r2
addi r0 r1 ff
jeq r0 r0 one
mul r3 r1 r2
hlt
label one
add r3 r1 r0
hlt
