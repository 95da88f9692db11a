; swaps through the stack's memory with load and store: SP is left at FD02
push r1
push r2
load r1 r0 r0 fd01
load r2 r0 r0 fd00
hlt
