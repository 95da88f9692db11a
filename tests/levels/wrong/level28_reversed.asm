; pushes the two bytes in the wrong order
load r1 r0 r0 201
load r2 r0 r0 202
push r2
push r1
hlt
