; keeps the digits in registers, which iret restores
iset 1 key
label wait
addi r0 r4 fe
jne r0 r0 wait
muli r1 r5 a
add r1 r1 r6
hlt
label key
pop r1
addi r1 r1 d0
addi r4 r4 1
add r5 r6 r0
add r6 r1 r0
iret
