; adds with a guard at 0d99: a sum past 99 (0x63) is kept at 0x63
iset 1 key
label wait
load r3 r0 r0 302
addi r0 r3 fe
jne r0 r0 wait
load r1 r0 r0 301
addi r5 r0 63
sub r0 r5 r1
jge r0 r0 done
add r1 r5 r0
label done
hlt
label key
pop r1
addi r0 r1 e0
jeq r0 r0 space
load r2 r0 r0 300
muli r2 r2 a
addi r1 r1 d0
add r2 r2 r1
store r2 r0 r0 300
iret
label space
load r2 r0 r0 300
load r3 r0 r0 301
add r3 r3 r2
store r3 r0 r0 301
store r0 r0 r0 300
load r4 r0 r0 302
addi r4 r4 1
store r4 r0 r0 302
iret
