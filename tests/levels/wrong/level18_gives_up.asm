; polls only 0x40 times (about 0x140 steps), then halts with whatever is there
addi r3 r0 c0
label wait
load r1 r0 r0 100
addi r1 r1 0
jne r0 r0 done
addi r3 r3 1
jne r0 r0 wait
label done
hlt
