; the timer interrupt ends the wait
iset 0 tick
sck r0 r0 10
label idle
jmp r0 r0 0
label tick
addi rf r0 ff
hlt
