; jgt does not compare its registers: it only reads the flags
jgt r1 r2 greater
hlt
label greater
addi r3 r0 1
hlt
