; copies the two stack bytes by hand but forgets the count
load r1 r0 r0 fd00
load r2 r0 r0 fd01
store r1 r0 r0 201
store r2 r0 r0 202
hlt
