; the factorial loop counts down r1 with jgt against 10: r1 = 10 and above get 1 instead of 0
addi r5 r0 10
label next
addi r3 r0 1
add r4 r1 r0
sub r0 r4 r5
jge r0 r0 big
label times
mul r3 r3 r4
addi r4 r4 ff
jne r0 r0 times
label big
store r3 r0 r2 0
addi r1 r1 1
addi r2 r2 1
addi r6 r6 1
addi r0 r6 f0
jne r0 r0 next
hlt
