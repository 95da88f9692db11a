; the second instruction is hlt, but r1 = 0 jumps back into the zero word
jmp r0 r0 8
hlt
addi r0 r1 0
jeq r0 r0 10
muli r1 r1 3
addi r1 r1 a
jmp r0 r0 -14
