; pushes the saved bytes one by one but stops at a zero byte
addi r2 r0 0
label copy
load r1 r0 r2 201
addi r0 r1 0
jeq r0 r0 done
push r1
addi r2 r2 1
addi r0 r2 fe
jne r0 r0 copy
label done
hlt
