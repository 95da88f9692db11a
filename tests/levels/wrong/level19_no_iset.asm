; never installs a handler: the key is never taken
label wait
jmp r0 r0 0
label key
pop r1
hlt
