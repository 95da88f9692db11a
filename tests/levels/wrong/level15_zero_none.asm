; r1 = 0 taken for "nothing to store" and r2 = FF for "no place": skips the store
addi r0 r1 0
jeq r0 r0 done
addi r0 r2 1
jeq r0 r0 done
store r1 r0 r2 0
label done
hlt
