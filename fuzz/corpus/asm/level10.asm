; addresses 0..7 are fixed: call r0 r0 8 and hlt
call r0 r0 8
hlt
label plusfive
addi r1 r1 5
ret
