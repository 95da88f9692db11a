; ignores the sign and always adds
iset 1 key
label idle
jmp r0 r0 0
label key
pop r1
load r2 r0 r0 2ff
addi r0 r1 f8
jeq r0 r0 back
addi r0 r1 f3
jeq r0 r0 enter
addi r2 r2 1
store r1 r0 r2 2ff
store r2 r0 r0 2ff
iret
label back
addi r2 r2 ff
store r2 r0 r0 2ff
iret
label enter
addi r6 r0 1
label parse
sub r0 r2 r6
jlt r0 r0 finish
load r1 r0 r6 2ff
addi r6 r6 1
addi r0 r1 95
jeq r0 r0 sign
addi r0 r1 93
jeq r0 r0 sign
addi r1 r1 d0
muli r3 r3 a
add r3 r3 r1
jmp r0 r0 parse
label sign
add r4 r3 r0
addi r3 r0 0
jmp r0 r0 parse
label finish
add r4 r4 r3
store r4 r0 r0 200
hlt
