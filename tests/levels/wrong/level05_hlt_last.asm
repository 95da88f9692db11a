; right result, but the second instruction is not hlt
muli r1 r1 3
addi r1 r1 a
hlt
