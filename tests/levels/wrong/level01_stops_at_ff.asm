; adds r2 one at a time but stops at FF: the carry past FF is lost
add r3 r1 r0
add r4 r2 r0
label loop
addi r0 r4 0
jeq r0 r0 done
addi r0 r3 1
jeq r0 r0 done
addi r3 r3 1
addi r4 r4 ff
jmp r0 r0 loop
label done
hlt
