; multiplies by r1 - 1 first: wrong for r1 = 1, where the count runs through 0
add r2 r1 r0
label loop
addi r1 r1 ff
mul r2 r2 r1
addi r0 r1 ff
jne r0 r0 loop
hlt
