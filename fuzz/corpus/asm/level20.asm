; two digit keys: memory 300 counts them, 301 and 302 hold the digits
iset 1 key
label wait
load r3 r0 r0 300
addi r0 r3 fe      ; Z when two digits arrived
jne r0 r0 wait
load r1 r0 r0 301
muli r1 r1 a
load r2 r0 r0 302
add r1 r1 r2
hlt
; registers are restored by iret, so everything is kept in memory
label key
pop r1
addi r1 r1 d0      ; key code - 30
load r2 r0 r0 300
addi r2 r2 1
store r2 r0 r0 300
store r1 r0 r2 300
iret
