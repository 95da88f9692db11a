; halts after the first digit: the tens digit alone
iset 1 key
label wait
load r3 r0 r0 300
addi r0 r3 ff
jne r0 r0 wait
load r1 r0 r0 301
hlt
label key
pop r1
addi r1 r1 d0
load r2 r0 r0 300
addi r2 r2 1
store r2 r0 r0 300
store r1 r0 r2 300
iret
