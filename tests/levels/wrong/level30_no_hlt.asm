; sets Rf but never halts: the timer handler returns into the loop
iset 0 tick
sck r0 r0 8
label idle
jmp r0 r0 0
label tick
addi rf r0 ff
iret
