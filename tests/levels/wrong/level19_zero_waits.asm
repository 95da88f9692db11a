; the text's example: key 00 never interrupts, so it waits for ever
iset 1 key
label idle
jmp r0 r0 0
label key
pop r1
hlt
