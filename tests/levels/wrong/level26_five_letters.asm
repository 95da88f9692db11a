; compares only the first five letters: RESULx counts as RESULT
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
store r1 r0 r2 300
addi r2 r2 1
store r2 r0 r0 2ff
iret
label back
addi r2 r2 ff
store r2 r0 r0 2ff
iret
label enter
addi r0 r2 fa      ; the length must be 6
jne r0 r0 differ
addi r6 r0 0
label compare
load r1 r0 r6 300
load r3 r0 r6 word
sub r0 r1 r3
jne r0 r0 differ
addi r6 r6 1
addi r0 r6 fb
jne r0 r0 compare
hlt
label differ
addi r1 r0 1
store r1 r0 r0 200
hlt
label word
dta 52             ; R
dta 45             ; E
dta 53             ; S
dta 55             ; U
dta 4c             ; L
dta 54             ; T
