; Enter as the first key is taken for noise: an empty line never halts
iset 1 key
label idle
jmp r0 r0 0
label key
pop r1
load r2 r0 r0 300
addi r0 r1 f3
jne r0 r0 show
addi r0 r2 0
jne r0 r0 done
iret
label show
store r1 r0 r2 fc00
addi r2 r2 1
store r2 r0 r0 300
iret
label done
hlt
