; 100 - 5 is FB, not FC: subtracts only 4
addi r1 r1 fc
hlt
