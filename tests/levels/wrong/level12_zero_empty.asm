; a zero on the stack taken for "empty stack": it is not popped
load r2 r0 r0 fd00
addi r0 r2 0
jeq r0 r0 done
pop r1
label done
hlt
