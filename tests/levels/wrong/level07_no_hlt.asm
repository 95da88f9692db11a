; the not-taken branch runs into the label instead of halting
sub r0 r1 r2
jge r0 r0 atleast
addi r3 r0 0
label atleast
addi r3 r0 1
hlt
