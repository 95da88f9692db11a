; waits for Enter and reports a difference every time
iset 1 key
label idle
jmp r0 r0 0
label key
pop r1
addi r0 r1 f3
jne r0 r0 more
addi r1 r0 1
store r1 r0 r0 200
hlt
label more
iret
