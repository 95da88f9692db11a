; the function ends with a jmp back to the hlt instead of ret: the return address stays on the stack
call r0 r0 8
hlt
addi r1 r1 5
jmp r0 r0 -8
