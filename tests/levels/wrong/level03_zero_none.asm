; r1 = 0 taken for "no input": leaves r2 at 0
addi r0 r1 0
jeq r0 r0 done
addi r2 r1 5
label done
hlt
