; copies the two bytes to FD00 with load and store: the stack looks right but SP stays FD00
load r1 r0 r0 201
store r1 r0 r0 fd00
load r1 r0 r0 202
store r1 r0 r0 fd01
hlt
