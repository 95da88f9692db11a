; r1 = FF taken for -1 with its own answer: 3 * -1 + A is 7, not 9
jmp r0 r0 8
hlt
addi r0 r1 1
jeq r0 r0 minus
muli r1 r1 3
addi r1 r1 a
jmp r0 r0 -14
label minus
addi r1 r0 9
jmp r0 r0 -1c
