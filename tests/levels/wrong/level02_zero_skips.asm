; a loop of additions that runs r2 times as a do-while: r2 = 0 adds 256 times
add r3 r0 r0
add r4 r2 r0
label loop
add r3 r3 r1
addi r4 r4 ff
jne r0 r0 loop
addi r0 r2 1       ; r2 = FF: one addition too many
jne r0 r0 done
add r3 r3 r1
label done
hlt
