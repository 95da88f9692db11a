; thread B sets Rf to F0 instead of FF
iset 0 switch
sck r0 r0 8
label threada
jmp r0 r0 0
label switch
addi rf r0 f0
hlt
