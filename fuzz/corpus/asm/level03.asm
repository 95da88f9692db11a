; r2 = r1 + 5
addi r2 r1 5
hlt
