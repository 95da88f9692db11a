; a tens digit 0 is taken for "no key": the units digit is read as the tens
iset 1 key
label wait
load r3 r0 r0 300
addi r0 r3 fe
jne r0 r0 wait
load r1 r0 r0 301
muli r1 r1 a
load r2 r0 r0 302
add r1 r1 r2
hlt
label key
pop r1
addi r1 r1 d0
load r2 r0 r0 300
addi r0 r1 0
jne r0 r0 keep
addi r0 r2 0
jeq r0 r0 skip
label keep
addi r2 r2 1
store r2 r0 r0 300
store r1 r0 r2 300
label skip
iret
