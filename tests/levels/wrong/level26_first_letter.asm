; compares only the first letter
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
store r1 r0 r2 300
addi r2 r2 1
store r2 r0 r0 2ff
iret
label back
addi r2 r2 ff
store r2 r0 r0 2ff
iret
label enter
load r1 r0 r0 300
addi r0 r1 ae
jeq r0 r0 same
addi r1 r0 1
store r1 r0 r0 200
label same
hlt
