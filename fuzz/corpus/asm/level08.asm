; r3 = r1 to the power r2 (r2 is 1..4)
addi r3 r0 1
label loop
mul r3 r3 r1
addi r2 r2 ff      ; r2 - 1, sets Z at 0
jne r0 r0 loop
hlt
