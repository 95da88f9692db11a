; stores r1 at FD00 instead of pushing it: SP stays FD00
store r1 r0 r0 fd00
hlt
