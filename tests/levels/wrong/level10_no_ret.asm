; the function has no ret: it runs on into the zero word
call r0 r0 8
hlt
addi r1 r1 5
