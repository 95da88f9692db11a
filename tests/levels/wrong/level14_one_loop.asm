; r1 = 1 runs the loop from 0 down: multiplies by 0 at the end
add r2 r1 r0
label loop
addi r1 r1 ff
mul r2 r2 r1
addi r0 r1 ff
jne r0 r0 loop
hlt
