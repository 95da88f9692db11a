; r2 = FF read as the end of memory: loads from C0 instead
addi r0 r2 1
jne r0 r0 go
addi r2 r0 c0
label go
load r1 r0 r2 0
hlt
