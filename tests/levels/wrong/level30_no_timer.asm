; never sets the timer: waits for ever for a switch that does not come
iset 0 switch
label threada
jmp r0 r0 0
label switch
addi rf r0 ff
hlt
