; memory 300 holds the next screen position
iset 1 key
label idle
jmp r0 r0 0
label key
pop r1
addi r0 r1 f3      ; Z for Enter (0D)
jeq r0 r0 done
load r2 r0 r0 300
store r1 r0 r2 fc00
addi r2 r2 1
store r2 r0 r0 300
iret
label done
hlt
