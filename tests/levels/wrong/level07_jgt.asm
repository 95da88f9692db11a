; jgt misses r1 = r2
sub r0 r1 r2
jgt r0 r0 atleast
hlt
label atleast
addi r3 r0 1
hlt
