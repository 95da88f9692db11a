; r1 = 0 taken for "nothing to multiply": r3 = 1 instead of 0
addi r3 r0 1
addi r0 r1 0
jeq r0 r0 done
label loop
mul r3 r3 r1
addi r2 r2 ff
jne r0 r0 loop
label done
hlt
