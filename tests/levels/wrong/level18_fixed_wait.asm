; waits a fixed time and reads address 100 once instead of polling
addi r2 r0 40
label wait
addi r2 r2 ff
jne r0 r0 wait
load r1 r0 r0 100
hlt
