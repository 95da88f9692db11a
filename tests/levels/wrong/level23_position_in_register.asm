; keeps the position in a register, which iret restores to 0
iset 1 key
label idle
jmp r0 r0 0
label key
pop r1
addi r0 r1 f3
jeq r0 r0 done
store r1 r0 r2 fc00
addi r2 r2 1
iret
label done
hlt
