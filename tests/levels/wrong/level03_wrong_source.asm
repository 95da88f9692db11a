; adds 5 to r2 instead of to r1
addi r2 r2 5
hlt
