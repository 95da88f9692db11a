; keeps the line in a 6-letter buffer: a seventh letter is dropped
iset 1 key
label idle
jmp r0 r0 0
label key
pop r1
addi r0 r1 f3
jeq r0 r0 done
load r2 r0 r0 300
addi r0 r1 f8
jeq r0 r0 back
addi r0 r2 fa
jeq r0 r0 full
store r1 r0 r2 fc00
addi r2 r2 1
store r2 r0 r0 300
label full
iret
label back
addi r2 r2 0
jeq r0 r0 ignore
addi r2 r2 ff
store r0 r0 r2 fc00
store r2 r0 r0 300
label ignore
iret
label done
hlt
