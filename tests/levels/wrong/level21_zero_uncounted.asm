; a number 0 ("0 ") taken for "no number": its space is not counted, so it waits for a third number
iset 1 key
label wait
load r3 r0 r0 302
addi r0 r3 fe
jne r0 r0 wait
load r1 r0 r0 301
hlt
label key
pop r1
addi r0 r1 e0      ; Z for the space key 20
jeq r0 r0 space
load r2 r0 r0 300
muli r2 r2 a
addi r1 r1 d0
add r2 r2 r1
store r2 r0 r0 300
iret
label space
load r2 r0 r0 300
addi r0 r2 0
jeq r0 r0 nothing
load r3 r0 r0 301
add r3 r3 r2
store r3 r0 r0 301
store r0 r0 r0 300
load r4 r0 r0 302
addi r4 r4 1
store r4 r0 r0 302
label nothing
iret
