; pushes the count byte too: FD00 holds 02 and the values move up one
load r1 r0 r0 200
push r1
load r1 r0 r0 201
push r1
load r1 r0 r0 202
push r1
hlt
