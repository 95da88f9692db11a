load r1 r0 r2 0
hlt
