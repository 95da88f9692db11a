; "bad" is read as the number BAD, not as the label
addi r3 r0 1
label bad
mul r3 r3 r1
addi r2 r2 ff
jne r0 r0 bad
hlt
