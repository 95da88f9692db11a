; below 5 it keeps 0 instead of wrapping to FB..FF
addi r2 r1 fb
jlt r0 r0 ok
add r1 r0 r0
hlt
label ok
add r1 r2 r0
hlt
