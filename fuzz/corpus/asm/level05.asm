; r1 = r1 * 3 + A; the second instruction has to be hlt
jmp r0 r0 8        ; 0000: over the hlt
hlt                ; 0004
muli r1 r1 3       ; 0008
addi r1 r1 a       ; 000C
jmp r0 r0 -c       ; 0010: back to 0004
