; waits while the byte is not positive as a signed number: 80 counts as "not yet"
label wait
load r1 r0 r0 100
andi r2 r1 80
jne r0 r0 wait
addi r1 r1 0
jeq r0 r0 wait
hlt
