; writes a result only where the cell is still 0
addi r5 r0 10
label next
addi r3 r0 1
add r4 r1 r0
label times
mul r3 r3 r4
addi r4 r4 ff
jne r0 r0 times
load r6 r0 r2 0
addi r0 r6 0
jne r0 r0 skip
store r3 r0 r2 0
label skip
addi r1 r1 1
addi r2 r2 1
addi r5 r5 ff
jne r0 r0 next
hlt
