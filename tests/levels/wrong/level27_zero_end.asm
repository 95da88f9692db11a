; copies the stack by hand and stops at a zero byte, taken for the stack's end
addi r2 r0 0
label copy
load r1 r0 r2 fd00
addi r0 r1 0
jeq r0 r0 done
store r1 r0 r2 201
addi r2 r2 1
jmp r0 r0 copy
label done
store r2 r0 r0 200
hlt
