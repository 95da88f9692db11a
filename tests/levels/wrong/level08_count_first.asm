; decrements before multiplying: one multiplication too few
addi r3 r0 1
label loop
addi r2 r2 ff
jeq r0 r0 done
mul r3 r3 r1
jmp r0 r0 loop
label done
hlt
