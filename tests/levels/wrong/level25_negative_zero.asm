; a difference below zero is kept at 0 instead of wrapping (3-5 must give FE)
iset 1 key
label idle
jmp r0 r0 0
label key
pop r1
load r2 r0 r0 2ff
addi r0 r1 f8      ; delete (08)
jeq r0 r0 back
addi r0 r1 f3      ; Enter (0D)
jeq r0 r0 enter
addi r2 r2 1
store r1 r0 r2 2ff
store r2 r0 r0 2ff
iret
label back
addi r2 r2 ff
store r2 r0 r0 2ff
iret
; r6 walks the text, r3 is the number being read, r4 the first number, r5 the sign
label enter
addi r6 r0 1
label parse
sub r0 r2 r6       ; borrow once r6 passed the length
jlt r0 r0 finish
load r1 r0 r6 2ff
addi r6 r6 1
addi r0 r1 95      ; plus (6B)
jeq r0 r0 plus
addi r0 r1 93      ; minus (6D)
jeq r0 r0 minus
addi r1 r1 d0
muli r3 r3 a
add r3 r3 r1
jmp r0 r0 parse
label plus
addi r5 r0 1
add r4 r3 r0
addi r3 r0 0
jmp r0 r0 parse
label minus
addi r5 r0 2
add r4 r3 r0
addi r3 r0 0
jmp r0 r0 parse
label finish
addi r0 r5 ff      ; Z when the sign was plus
jeq r0 r0 doadd
sub r4 r4 r3
jge r0 r0 save
addi r4 r0 0
jmp r0 r0 save
label doadd
add r4 r4 r3
label save
store r4 r0 r0 200
hlt
