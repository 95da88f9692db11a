; stores r2 at address r1: right only when r1 = r2
store r2 r0 r1 0
hlt
