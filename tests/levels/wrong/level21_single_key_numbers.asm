; adds the digits instead of the numbers
iset 1 key
label wait
load r3 r0 r0 302
addi r0 r3 fe
jne r0 r0 wait
load r1 r0 r0 301
hlt
label key
pop r1
addi r0 r1 e0
jeq r0 r0 space
load r2 r0 r0 301
addi r1 r1 d0
add r2 r2 r1
store r2 r0 r0 301
iret
label space
load r4 r0 r0 302
addi r4 r4 1
store r4 r0 r0 302
iret
