; load r2 from address r1: registers swapped
load r2 r0 r1 0
add r1 r2 r0
hlt
