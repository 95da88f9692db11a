; the loop multiplies down to 0 as well: always 0
addi r2 r0 1
label loop
mul r2 r2 r1
addi r1 r1 ff
jge r0 r0 loop
hlt
