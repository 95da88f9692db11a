; the handler forgets to pop the key code
iset 1 key
label idle
jmp r0 r0 0
label key
hlt
