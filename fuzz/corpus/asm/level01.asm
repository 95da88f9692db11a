; r3 = r1 + r2
add r3 r1 r2
hlt
