; the key arrives by interrupt 1; its handler pops the key code
iset 1 key
addi r2 r0 40      ; wait a while; key 0 is never delivered
label wait
addi r2 r2 ff
jne r0 r0 wait
hlt                ; no key came: r1 stays 0
label key
pop r1
hlt
