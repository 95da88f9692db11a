push r1
hlt
