; stops taking keys at Y: Z (5A) is taken for the end and not shown
iset 1 key
label idle
jmp r0 r0 0
label key
pop r1
addi r0 r1 a6
jeq r0 r0 done
store r1 r0 r0 fc00
label done
hlt
