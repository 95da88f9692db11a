; reads FD00 with load instead of pop: SP stays FD01
load r1 r0 r0 fd00
hlt
