; shows the key but never halts: the run never ends
iset 1 key
label idle
jmp r0 r0 0
label key
pop r1
store r1 r0 r0 fc00
iret
