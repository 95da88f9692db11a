label a
label a
jmp r0 r0 a
add r1
xyz
;c
Õ\
data 1ff
