; r1 = r2 taken as a shortcut that shifts r1 by 2 (r1*4) instead of by 1
sub r0 r1 r2
jeq r0 r0 same
add r3 r1 r2
hlt
label same
shli r3 r1 2
hlt
