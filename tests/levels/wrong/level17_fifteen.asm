; F results instead of 10 (sixteen): counts in decimal
addi r5 r0 f
label next
call r0 r0 fact
store r3 r0 r2 0
addi r1 r1 1
addi r2 r2 1
addi r5 r5 ff
jne r0 r0 next
hlt
label fact
addi r3 r0 1
add r4 r1 r0
label times
mul r3 r3 r4
addi r4 r4 ff
jne r0 r0 times
ret
