; r1 = r1 - 5: there is no subi, so add 100 - 5 = FB
addi r1 r1 fb
hlt
