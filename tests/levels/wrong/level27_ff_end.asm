; pops the two values but takes FF for "stack empty" and stops
pop r2
addi r0 r2 1
jeq r0 r0 one
pop r1
store r1 r0 r0 201
store r2 r0 r0 202
addi r3 r0 2
store r3 r0 r0 200
hlt
label one
addi r3 r0 1
store r3 r0 r0 200
store r2 r0 r0 201
hlt
