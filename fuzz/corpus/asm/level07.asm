; r3 = 1 when r1 >= r2
sub r0 r1 r2
jge r0 r0 atleast
hlt
label atleast
addi r3 r0 1
hlt
