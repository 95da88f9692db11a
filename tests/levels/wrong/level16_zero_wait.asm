; a zero byte at r2 taken for "not there yet": waits for ever
label wait
load r1 r0 r2 0
addi r1 r1 0
jeq r0 r0 wait
hlt
