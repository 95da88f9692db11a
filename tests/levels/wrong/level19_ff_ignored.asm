; key FF taken for "no key" by the handler: keeps waiting for another
iset 1 key
nop
hlt
label key
pop r1
addi r0 r1 1
jeq r0 r0 again
hlt
label again
iret
