; guards against the carry: r1 from FB on keeps FF instead of wrapping
addi r2 r1 5
jlt r0 r0 over
hlt
label over
addi r2 r0 ff
hlt
