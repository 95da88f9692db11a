; r3 = r1 * r2 (low 8 bits)
mul r3 r1 r2
hlt
