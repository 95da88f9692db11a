; first in, last out: popping in the same order swaps
push r1
push r2
pop r1
pop r2
hlt
