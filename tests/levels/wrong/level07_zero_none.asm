; r1 = 0 taken for "nothing to compare": r3 stays 0 even when r2 is 0 too
addi r0 r1 0
jeq r0 r0 done
sub r0 r1 r2
jge r0 r0 atleast
hlt
label atleast
addi r3 r0 1
label done
hlt
