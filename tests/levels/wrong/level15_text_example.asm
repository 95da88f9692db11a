; the example's offset 300: stores at 300 + r2, not at r2
store r1 r0 r2 300
hlt
