; on delete moves back but also shows the 08
iset 1 key
label idle
jmp r0 r0 0
label key
pop r1
addi r0 r1 f3
jeq r0 r0 done
load r2 r0 r0 300
addi r0 r1 f8
jeq r0 r0 back
store r1 r0 r2 fc00
addi r2 r2 1
store r2 r0 r0 300
iret
label back
addi r2 r2 ff
store r2 r0 r0 300
addi r2 r2 1
store r1 r0 r2 fc00
iret
label done
hlt
