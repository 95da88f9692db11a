; r2 = 0 taken for "nothing to compare": r3 stays 0 even for r1 > 0
addi r0 r2 0
jeq r0 r0 done
sub r0 r1 r2
jgt r0 r0 greater
hlt
label greater
addi r3 r0 1
label done
hlt
