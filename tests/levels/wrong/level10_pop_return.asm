; the function pops one byte of the return address and jumps back: SP is left at FD01
call r0 r0 8
hlt
addi r1 r1 5
pop r2
jmp r0 r0 -c
