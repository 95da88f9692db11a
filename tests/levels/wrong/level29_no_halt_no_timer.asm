; sets the timer but never enables its handler: the timer interrupt goes to address 0 and loops
sck r0 r0 10
label idle
jmp r0 r0 0
addi rf r0 ff
hlt
