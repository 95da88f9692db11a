; starts with r3 = r1 and still multiplies r2 times: r1 to the power r2 + 1
add r3 r1 r0
label loop
mul r3 r3 r1
addi r2 r2 ff
jne r0 r0 loop
hlt
